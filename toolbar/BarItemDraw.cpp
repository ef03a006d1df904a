// Item viewers: measuring and painting in toolbar style (buttons) and menu style (menu lines), and the
// view's drawing of its viewers.
#include <algorithm>

#include "platform/rtl/ScopeExit.h"
#include "toolbar/BarImageList.h"
#include "toolbar/BarItem.h"
#include "toolbar/BarUtils.h"

namespace {

constexpr int kToolbarPadding = 6;        // a toolbar button's frame and margins
constexpr int kSplitArrowWidth = 11;      // the arrow part of a split button
constexpr int kSplitArrowFrameInset = 2;  // the arrow part's frame stops short of the right edge
constexpr int kDropdownArrowWidth = 8;    // the drop-down arrow of a toolbar button
constexpr int kMenuSeparatorInset = 12;   // a menu separator's line, from both ends

int TextHeightOf(TCanvas* Canvas) {
  return GetTextHeight(Canvas->Handle());
}

int ExternalLeadingOf(TCanvas* Canvas) {
  TEXTMETRIC tm;
  GetTextMetrics(Canvas->Handle(), tm);
  return tm.tmExternalLeading;
}

// The height of the rotated font (the width a rotated caption takes).
int RotatedTextHeight(TCanvas* Canvas) {
  HDC dc = Canvas->Handle();
  HFONT font = CreateRotatedFont(dc);
  if (!font) return TextHeightOf(Canvas);
  HGDIOBJ old = SelectObject(dc, font);
  int h = GetTextHeight(dc);
  SelectObject(dc, old);
  DeleteObject(font);
  return h;
}

// The width of the image column of a menu line of the given height.
int ImageColumnWidth(TCustomImageList* Images, int Height) {
  return Images ? MulDiv(Images->Width() + 3, Height, Images->Height() + 3) : Height;
}

// The 8 by 8 dither of button highlight and face that fills a checked button.
TBitmap* CheckedPattern() {
  thread_local std::unique_ptr<TBitmap> bitmap;
  thread_local COLORREF light = CLR_INVALID, face = CLR_INVALID;
  const COLORREF l = GetSysColor(COLOR_BTNHIGHLIGHT), f = GetSysColor(COLOR_BTNFACE);
  if (!bitmap || l != light || f != face) {
    bitmap = std::make_unique<TBitmap>();
    bitmap->SetSize(8, 8);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x)
        bitmap->Canvas()->SetPixels(x, y, static_cast<TColor>(((x + y) & 1) ? f : l));
    light = l;
    face = f;
  }
  return bitmap.get();
}

// A triangle of rows 5, 3 and 1 pixels wide pointing down at (X, Y), or of columns 1, 3 and 5 pixels
// tall pointing left.
void Triangle(TCanvas* Canvas, int X, int Y, bool PointLeft, COLORREF Color) {
  HBRUSH brush = CreateSolidBrush(Color);
  for (int i = 0; i < 3; ++i) {
    const TRect r = PointLeft ? Bounds(X + i, Y + 2 - i, 1, 1 + 2 * i) : Bounds(X + i, Y + i, 5 - 2 * i, 1);
    ::FillRect(Canvas->Handle(), r, brush);
  }
  DeleteObject(brush);
}

// The submenu arrow of a menu line: a triangle pointing right, 4 by 7, centred in R.
void MenuArrow(TCanvas* Canvas, const TRect& R, COLORREF Color) {
  HBRUSH brush = CreateSolidBrush(Color);
  const int x = R.Left + (R.Width() - 4) / 2;
  const int y = R.Top + (R.Height() - 7) / 2;
  for (int i = 0; i < 4; ++i) ::FillRect(Canvas->Handle(), Bounds(x + i, y + i, 1, 7 - 2 * i), brush);
  DeleteObject(brush);
}

// An item's image; a toolbar image list draws the one of the item's state.
void DrawItemImage(TCustomImageList* Images, TCanvas* Canvas, int X, int Y, int Index, bool Enabled, bool Hot,
                   bool Checked) {
  if (auto* bar = dynamic_cast<TBarCustomImageList*>(Images))
    bar->DrawState(Canvas, X, Y, Index, Enabled, Hot, Checked);
  else
    Images->Draw(Canvas, X, Y, Index, Enabled);
}

}  // namespace

HDC SelectCanvasFont(TCanvas* Canvas) {
  HDC dc = Canvas->Handle();
  SelectObject(dc, Canvas->Font()->Handle());
  SetTextColor(dc, ColorToRGB(Canvas->Font()->Color()));
  return dc;
}

// ---------------------------------------------------------------------------------------------------
// Measuring

void TBarItemViewer::MeasureItem(TCanvas* Canvas, int& AWidth, int& AHeight) {
  TBarCustomItem* item = Item();
  const bool toolbarStyle = IsToolbarStyle();
  const bool rotated = IsRotated();
  const TBarItemOptions options = item->EffectiveOptions();
  TCustomImageList* images = GetImageList();
  const int T = TextHeightOf(Canvas);
  AWidth = AHeight = toolbarStyle ? kToolbarPadding : 0;

  const bool captionShown = CaptionShown();
  if (captionShown || !toolbarStyle) {
    const std::string caption = CaptionBeforeTab();
    if (rotated) {
      AWidth += RotatedTextHeight(Canvas);
      AHeight += View()->MeasureTextWidth(Canvas, caption, true);
      if (toolbarStyle) AHeight += kToolbarPadding;
    } else {
      AWidth += View()->MeasureTextWidth(Canvas, caption, true);
      AHeight += T;
      if (toolbarStyle) AWidth += kToolbarPadding;
    }
  }

  if (toolbarStyle && ImageShown() && images) {
    if (!rotated && !options.Contains(tboImageAboveCaption)) {
      AWidth += images->Width() + 1;
      AHeight = std::max(AHeight, images->Height() + kToolbarPadding);
    } else {
      AHeight += images->Height();
      AWidth = std::max(AWidth, images->Width() + 7);
    }
  }

  if (toolbarStyle) {
    const TBarItemStyle style = item->ItemStyle();
    if (style.Contains(tisSplitButton))
      AWidth += kSplitArrowWidth;
    else if (options.Contains(tboDropdownArrow)) {
      if (View()->Orientation() == tbvoVertical)
        AHeight += kDropdownArrowWidth;
      else
        AWidth += kDropdownArrowWidth;
    }
    return;
  }

  // A menu line: image column, caption, shortcut text and room for the submenu arrow.
  AHeight += ExternalLeadingOf(Canvas) + 4;
  if (images) AHeight = std::max(AHeight, images->Height() + 3);
  AWidth += ImageColumnWidth(images, AHeight) + 6;
  const std::string shortCut = item->GetShortCutText();
  if (!shortCut.empty()) AWidth += View()->MeasureTextWidth(Canvas, shortCut, false) + (AHeight - 6);
  AWidth += AHeight;
}

void TBarSeparatorItemViewer::MeasureItem(TCanvas* Canvas, int& AWidth, int& AHeight) {
  if (IsToolbarStyle()) {
    AWidth = AHeight = kToolbarPadding;
    return;
  }
  AWidth = 0;
  AHeight = DivRoundAway(2 * TextHeightOf(Canvas), 3);
}

// ---------------------------------------------------------------------------------------------------
// Painting

void TBarItemViewer::DrawCaptionText(TCanvas* Canvas, TRect Rect, const std::string& Caption, UINT Format,
                                     bool Disabled) {
  HDC dc = Canvas->Handle();
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  auto draw = [&](TRect r) {
    if (IsRotated())
      DrawRotatedText(dc, Caption, r, Format);
    else
      DrawText(dc, Caption, r, Format);
  };
  if (Disabled) {
    const COLORREF oldColor = GetTextColor(dc);
    SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    draw(Bounds(Rect.Left + 1, Rect.Top + 1, Rect.Width(), Rect.Height()));
    SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
    draw(Rect);
    SetTextColor(dc, oldColor);
  } else {
    draw(Rect);
  }
  SetBkMode(dc, oldMode);
}

void TBarItemViewer::DrawDropdownArrow(TCanvas* Canvas, const TRect& R, bool Rotated, bool Disabled) {
  const int w = Rotated ? 3 : 5, h = Rotated ? 5 : 3;
  const int x = R.Left + (R.Width() - w) / 2;
  const int y = R.Top + (R.Height() - h) / 2;
  if (Disabled) {
    Triangle(Canvas, x + 1, y + 1, Rotated, GetSysColor(COLOR_BTNHIGHLIGHT));
    Triangle(Canvas, x, y, Rotated, GetSysColor(COLOR_BTNSHADOW));
  } else {
    Triangle(Canvas, x, y, Rotated, GetTextColor(Canvas->Handle()));
  }
}

void TBarItemViewer::Paint(TCanvas* Canvas, const TRect& ClientAreaRect, bool IsSelected, bool IsPushed,
                           bool UseDisabledShadow) {
  TBarCustomItem* item = Item();
  TBarView* view = View();
  HDC dc = Canvas->Handle();
  const TRect R = ClientAreaRect;
  const bool toolbarStyle = IsToolbarStyle();
  const bool rotated = IsRotated();
  const TBarItemStyle style = item->ItemStyle();
  const TBarItemOptions options = item->EffectiveOptions();
  const bool split = style.Contains(tisSplitButton);
  const bool enabled = item->Enabled() || view->Customizing();
  const bool checked = item->Checked();
  const bool popupOpen = view->OpenViewer() == this;
  const bool disabledLook = !enabled && UseDisabledShadow;
  TCustomImageList* images = GetImageList();
  const bool imageShown = ImageShown() && images && item->ImageIndex() >= 0;
  const bool hideAccels = view->Style().Contains(vsUseHiddenAccels) && !view->State().Contains(vsShowAccels);
  const COLORREF textColor = GetTextColor(dc);

  if (toolbarStyle) {
    TRect button = R;
    TRect arrow;
    if (split) {
      arrow = Rect(R.Right - kSplitArrowWidth, R.Top, R.Right, R.Bottom);
      button.Right = arrow.Left;
    }
    // 1. frames, and the dither of a checked button
    if (enabled && (IsSelected || IsPushed || checked)) {
      const bool buttonPushed = (IsPushed && !(split && popupOpen)) || checked;
      if (checked && !(IsSelected && item->Enabled())) {
        TBrush pattern;
        pattern.SetBitmap(CheckedPattern());
        ::FillRect(dc, button, pattern.Handle());
      }
      TRect b = button;
      DrawEdge(dc, b, buttonPushed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
      if (split && (IsSelected || popupOpen)) {
        TRect a = arrow;
        a.Right -= kSplitArrowFrameInset;
        DrawEdge(dc, a, popupOpen ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
      }
    }
    // 2. pushed or checked content moves by one pixel
    TRect content = button;
    if (!split && !rotated && options.Contains(tboDropdownArrow))
      content.Right -= kDropdownArrowWidth;
    else if (!split && rotated && options.Contains(tboDropdownArrow))
      content.Bottom -= kDropdownArrowWidth;
    if ((IsPushed && !(split && popupOpen)) || checked) {
      content.Left += 1;
      content.Top += 1;
      content.Right += 1;
      content.Bottom += 1;
    }
    // image and caption
    const bool captionShown = CaptionShown() && !item->Caption().empty();
    TRect textRect = content;
    if (imageShown) {
      const bool beside = !rotated && !options.Contains(tboImageAboveCaption);
      int x, y;
      if (captionShown && beside) {
        x = content.Left + 3;
        y = content.Top + (content.Height() - images->Height()) / 2;
        textRect.Left = x + images->Width() + 1;
      } else if (captionShown) {
        x = content.Left + (content.Width() - images->Width()) / 2;
        y = content.Top + 3;
        textRect.Top = y + images->Height() + 1;
      } else {
        x = content.Left + (content.Width() - images->Width()) / 2;
        y = content.Top + (content.Height() - images->Height()) / 2;
      }
      DrawItemImage(images, Canvas, x, y, item->ImageIndex(), item->Enabled() || view->Customizing(),
                    IsSelected, checked);
    }
    if (captionShown) {
      UINT format = DT_SINGLELINE | DT_VCENTER | DT_CENTER | (hideAccels ? DT_HIDEPREFIX : 0);
      DrawCaptionText(Canvas, textRect, CaptionBeforeTab(), format, disabledLook);
    }
    // 7. the drop-down arrow
    if (split) {
      TRect a = arrow;
      if (popupOpen) OffsetRect(a, 1, 1);
      DrawDropdownArrow(Canvas, a, false, disabledLook);
    } else if (options.Contains(tboDropdownArrow)) {
      TRect a = rotated ? Rect(button.Left, button.Bottom - kDropdownArrowWidth, button.Right, button.Bottom)
                        : Rect(button.Right - kDropdownArrowWidth, button.Top, button.Right, button.Bottom);
      if (IsPushed || checked) OffsetRect(a, 1, 1);
      DrawDropdownArrow(Canvas, a, rotated, disabledLook);
    }
    return;
  }

  // ---- a menu line ----
  const int column = ImageColumnWidth(images, R.Height());
  const int menuCheck = GetSystemMetrics(SM_CXMENUCHECK);
  // 3. the selection band
  if (IsSelected) {
    TRect band = R;
    if (imageShown || checked) band.Left = R.Left + column;
    if (split && item->Enabled()) band.Right -= menuCheck;
    ::FillRect(dc, band, Canvas->Brush()->Handle());
  }
  // 4. caption
  TRect textRect = Rect(R.Left + column + 3, R.Top, R.Right, R.Bottom);
  DrawCaptionText(Canvas, textRect, CaptionBeforeTab(),
                  DT_SINGLELINE | DT_VCENTER | (hideAccels ? DT_HIDEPREFIX : 0), disabledLook);
  // 5. shortcut text
  const std::string shortCut = item->GetShortCutText();
  if (!shortCut.empty()) {
    TRect sc = Rect(R.Left, R.Top, R.Right - R.Height(), R.Bottom);
    DrawCaptionText(Canvas, sc, shortCut, DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_NOPREFIX, disabledLook);
  }
  // 6. submenu arrow
  if (style.Contains(tisHasSubmenu)) {
    if (split) {
      TRect line = Rect(R.Right - menuCheck, R.Top, R.Right - menuCheck + 2, R.Bottom);
      DrawEdge(dc, line, EDGE_ETCHED, BF_LEFT);
    }
    TRect a = Rect(R.Right - menuCheck, R.Top, R.Right, R.Bottom);
    if (disabledLook) {
      MenuArrow(Canvas, Bounds(a.Left + 1, a.Top + 1, a.Width(), a.Height()),
                GetSysColor(COLOR_BTNHIGHLIGHT));
      MenuArrow(Canvas, a, GetSysColor(COLOR_BTNSHADOW));
    } else {
      MenuArrow(Canvas, a, textColor);
    }
  }
  // 8. image or check
  TRect cell = Rect(R.Left, R.Top, R.Left + column, R.Bottom);
  if (checked) {
    TRect c = cell;
    DrawEdge(dc, c, BDR_SUNKENOUTER, BF_RECT | BF_MIDDLE);
    if (!imageShown) {
      const int cx = cell.Left + cell.Width() / 2 - 2, cy = cell.Top + cell.Height() / 2 + 1;
      auto at = [&](int x, int y) { return TPoint(cx + x, cy + y); };
      HPEN pen = CreatePen(PS_SOLID, 1, textColor);
      HGDIOBJ oldPen = SelectObject(dc, pen);
      const TPoint first[] = {at(-2, -2), at(0, 0), at(4, -4), at(4, -3), at(0, 1), at(-2, -1), at(-2, -2)};
      const TPoint second[] = {at(-3, -2), at(-3, -1), at(0, 2), at(5, -3), at(5, -5)};
      ::Polyline(dc, first, 7);
      ::Polyline(dc, second, 5);
      SelectObject(dc, oldPen);
      DeleteObject(pen);
    }
  }
  if (imageShown)
    DrawItemImage(images, Canvas, cell.Left + (column - images->Width()) / 2,
                  R.Top + (R.Height() - images->Height()) / 2, item->ImageIndex(),
                  item->Enabled() || view->Customizing(), IsSelected, checked);
}

void TBarSeparatorItemViewer::Paint(TCanvas* Canvas, const TRect& ClientAreaRect, bool, bool, bool) {
  auto* separator = dynamic_cast<TBarSeparatorItem*>(Item());
  if (separator && separator->Blank()) return;
  HDC dc = Canvas->Handle();
  const TRect R = ClientAreaRect;
  const bool toolbarStyle = IsToolbarStyle();
  bool horizontal = !toolbarStyle || View()->Orientation() == tbvoVertical;
  if (LineBreak) horizontal = !horizontal;
  if (horizontal) {
    int inset = 0;
    if (!toolbarStyle)
      inset = kMenuSeparatorInset;
    else if (LineBreak)
      inset = View()->Orientation() == tbvoFloating ? 1 : 4;
    TRect line =
        Rect(R.Left + inset, R.Top + R.Height() / 2 - 1, R.Right - inset, R.Top + R.Height() / 2 + 1);
    DrawEdge(dc, line, EDGE_ETCHED, BF_TOP);
  } else {
    const int inset = LineBreak ? 4 : 0;
    TRect line =
        Rect(R.Left + R.Width() / 2 - 1, R.Top + inset, R.Left + R.Width() / 2 + 1, R.Bottom - inset);
    DrawEdge(dc, line, EDGE_ETCHED, BF_LEFT);
  }
}

// ---------------------------------------------------------------------------------------------------
// The view's painting

void TBarView::RepaintViewer(TBarItemViewer* Viewer) {
  if (!positionsValid_ || !window_ || !window_->HandleAllocated()) return;
  if (!Viewer->Show || Viewer->BoundsRect.IsEmpty()) return;
  Viewer->RepaintPending = true;
  InvalidateRect(window_->Handle(), &Viewer->BoundsRect, false);
}

void TBarView::DrawSubitems(TCanvas* Canvas) {
  {
    drawing_ = true;
    TScopeExit done([this] { drawing_ = false; });
    ValidatePositions();
  }
  for (TBarItemViewer* v : viewers_)
    if (v != selected_) PaintViewer(Canvas, v, false);
  if (selected_) PaintViewer(Canvas, selected_, false);
}

void TBarView::PaintViewer(TCanvas* Canvas, TBarItemViewer* Viewer, bool Offscreen) {
  if (Viewer->RepaintPending) {
    Offscreen = true;
    Viewer->RepaintPending = false;
  }
  if (!Viewer->Show || Viewer->BoundsRect.IsEmpty() || dynamic_cast<TBarControlItem*>(Viewer->Item())) return;
  TBarCustomItem* item = Viewer->Item();
  const TRect R = Viewer->BoundsRect;
  const bool toolbarStyle = Viewer->IsToolbarStyle();
  const bool isSelected = Viewer == selected_;
  const bool isPushed = isSelected && (openViewer_ == Viewer || (mouseOverSplit_ && splitTracking_));
  const bool enabled = item->Enabled() || customizing_;
  const TColor windowColor = backgroundColor_ != clDefault ? backgroundColor_
                             : window_                     ? window_->Color()
                                                           : (isToolbar_ ? clBtnFace : clMenu);

  TBitmap bitmap;
  TCanvas* target = Canvas;
  TRect area = R;
  if (Offscreen) {
    bitmap.SetSize(R.Width(), R.Height());
    target = bitmap.Canvas();
    target->Brush()->SetColor(windowColor);
    target->FillRect(Rect(0, 0, R.Width(), R.Height()));
    area = Rect(0, 0, R.Width(), R.Height());
  }
  HDC dc = target->Handle();
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, area.Left, area.Top, area.Right, area.Bottom);

  target->Font()->Assign(GetFont());
  if (item->EffectiveOptions().Contains(tboDefault))
    target->Font()->SetStyle(target->Font()->Style() + fsBold);
  if (isSelected && !toolbarStyle) {
    target->Brush()->SetColor(AreFlatMenusEnabled() ? clMenuHighlight : clHighlight);
    target->Brush()->SetStyle(bsSolid);
  } else {
    target->Brush()->SetStyle(bsClear);
  }
  TColor textColor;
  if (enabled)
    textColor = (isSelected && !toolbarStyle) ? clHighlightText : toolbarStyle ? clBtnText : clMenuText;
  else
    textColor = clGrayText;
  target->Font()->SetColor(textColor);
  dc = SelectCanvasFont(target);
  if (target->Brush()->Style() == bsClear) SetBkMode(dc, TRANSPARENT);
  const bool shadow = !enabled && (toolbarStyle || (!isSelected && windowColor == clBtnFace) ||
                                   ColorToRGB(windowColor) == ColorToRGB(clGrayText));
  Viewer->Paint(target, area, isSelected, isPushed, shadow);
  RestoreDC(dc, saved);
  if (Offscreen) BitBlt(Canvas->Handle(), R.Left, R.Top, R.Width(), R.Height(), dc, 0, 0, SRCCOPY);
}
