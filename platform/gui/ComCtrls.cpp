// Page controls with their tab sheets, and status bars.
#include "platform/gui/ComCtrls.h"

#include <algorithm>

#include "platform/rtl/Lifetime.h"

namespace {

constexpr int kTabPadding = 6;
constexpr int kImageGap = 3;
constexpr int kButtonGap = 3;

}  // namespace

// ---------------------------------------------------------------- TTabSheet

TTabSheet::TTabSheet(TComponent* AOwner) : TCustomControl(AOwner) {
  controlStyle_ = {csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  visible_ = false;
  align_ = alClient;
}

TTabSheet::~TTabSheet() {
  SetPageControl(nullptr);
}

void TTabSheet::SetPageControl(TPageControl* Value) {
  if (pageControl_ == Value) return;
  if (pageControl_) pageControl_->RemovePage(this);
  if (Value) {
    SetParent(Value);
    Value->InsertPage(this);
  } else {
    pageControl_ = nullptr;
  }
}

int TTabSheet::PageIndex() const {
  if (!pageControl_) return -1;
  auto& p = pageControl_->pages_;
  return static_cast<int>(std::find(p.begin(), p.end(), this) - p.begin());
}

void TTabSheet::SetPageIndex(int Value) {
  if (!pageControl_) return;
  auto& p = pageControl_->pages_;
  p.erase(std::find(p.begin(), p.end(), this));
  Value = std::clamp(Value, 0, static_cast<int>(p.size()));
  p.insert(p.begin() + Value, this);
  pageControl_->LayoutTabs();
  pageControl_->Invalidate();
}

int TTabSheet::TabIndex() const {
  if (!pageControl_ || !tabVisible_) return -1;
  int i = 0;
  for (TTabSheet* s : pageControl_->pages_) {
    if (s == this) return i;
    if (s->tabVisible_) ++i;
  }
  return -1;
}

void TTabSheet::SetTabVisible(bool Value) {
  if (tabVisible_ == Value) return;
  tabVisible_ = Value;
  if (!pageControl_) return;
  if (!Value && pageControl_->activePage_ == this)
    pageControl_->SetActivePage(pageControl_->FindNextPage(this, true, true));
  pageControl_->LayoutTabs();
  pageControl_->Realign();
  pageControl_->Invalidate();
}

void TTabSheet::SetImageIndex(int Value) {
  if (imageIndex_ == Value) return;
  imageIndex_ = Value;
  if (pageControl_) {
    pageControl_->LayoutTabs();
    pageControl_->Invalidate();
  }
}

void TTabSheet::Paint() {
  Canvas()->Brush()->SetColor(Color());
  Canvas()->FillRect(ClientRect());
}

void TTabSheet::Dispatch(TMessage& m) {
  if (m.Msg == CM_SHOWINGCHANGED) {
    TCustomControl::Dispatch(m);
    if (Showing()) {
      InvokeEvent(OnShow, this);
    } else {
      InvokeEvent(OnHide, this);
    }
    return;
  }
  if (m.Msg == CM_TEXTCHANGED && pageControl_) {
    pageControl_->LayoutTabs();
    pageControl_->Invalidate();
  }
  TCustomControl::Dispatch(m);
}

// ---------------------------------------------------------------- TPageControl

TPageControl::TPageControl(TComponent* AOwner) : TCustomControl(AOwner) {
  width_ = 289;
  height_ = 193;
  controlStyle_ = {csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  SetTabStop(true);
  imageLink_.OnChange = [this](TObject*) {
    LayoutTabs();
    Invalidate();
  };
}

TPageControl::~TPageControl() {
  for (TTabSheet* s : pages_) s->pageControl_ = nullptr;
  if (images_) images_->UnRegisterChanges(&imageLink_);
}

void TPageControl::InsertPage(TTabSheet* Page) {
  pages_.push_back(Page);
  Page->pageControl_ = this;
  if (!activePage_ && Page->TabVisible())
    SetActivePage(Page);
  else
    Page->SetVisible(false);
  LayoutTabs();
  Realign();
  Invalidate();
}

void TPageControl::RemovePage(TTabSheet* Page) {
  TTabSheet* next = activePage_ == Page ? FindNextPage(Page, true, true) : activePage_;
  if (next == Page) next = nullptr;
  pages_.erase(std::remove(pages_.begin(), pages_.end(), Page), pages_.end());
  Page->pageControl_ = nullptr;
  if (activePage_ == Page) {
    activePage_ = nullptr;
    SetActivePage(next);
  }
  LayoutTabs();
  Invalidate();
}

std::vector<TTabSheet*> TPageControl::VisibleTabs() const {
  std::vector<TTabSheet*> out;
  for (TTabSheet* s : pages_)
    if (s->TabVisible()) out.push_back(s);
  return out;
}

void TPageControl::SetActivePage(TTabSheet* Page) {
  if (Page && Page->pageControl_ != this) return;
  if (activePage_ == Page) return;
  TTabSheet* old = activePage_;
  activePage_ = Page;
  if (Page) {
    Page->BringToFront();
    Page->SetVisible(true);
  }
  if (old) old->SetVisible(false);
  // the focus does not stay on a hidden page
  if (TCustomForm* form = GetParentForm(this); form && old && old->ContainsControl(form->ActiveControl())) {
    if (Page && Page->CanFocus())
      Page->SelectNext(nullptr, true, true);
    else if (CanFocus())
      SetFocus();
  }
  LayoutTabs();
  Invalidate();
}

void TPageControl::SetActivePageIndex(int Value) {
  SetActivePage(Value >= 0 && Value < PageCount() ? pages_[static_cast<std::size_t>(Value)] : nullptr);
}

void TPageControl::SetStyle(TTabStyle Value) {
  style_ = Value;
  LayoutTabs();
  Realign();
  Invalidate();
}

void TPageControl::SetMultiLine(bool Value) {
  multiLine_ = Value;
  LayoutTabs();
  Realign();
  Invalidate();
}

void TPageControl::SetTabHeight(int Value) {
  tabHeight_ = std::max(0, Value);
  LayoutTabs();
  Realign();
  Invalidate();
}

void TPageControl::SetImages(TCustomImageList* Value) {
  SetImageListOf(this, images_, imageLink_, Value);
  ImagesChanged();
}

void TPageControl::ImagesChanged() {
  LayoutTabs();
  Realign();
  Invalidate();
}

void TPageControl::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomControl::Notification(AComponent, Operation);
  if (ForgetImageListOf(images_, AComponent, Operation)) ImagesChanged();
}

void TPageControl::LayoutTabs() {
  tabRects_.clear();
  auto tabs = VisibleTabs();
  int textHeight = TextExtentOf(Font(), "Wg").cy;
  int h = tabHeight_ > 0 ? tabHeight_ : std::max(textHeight, images_ ? images_->Height() : 0) + 6;
  int maxWidth = std::max(40, ClientWidth() - 4);
  int x = 2, row = 0;
  std::vector<int> rowOf;
  bool buttons = style_ != tsTabs;
  for (TTabSheet* s : tabs) {
    int w = TextExtentOf(Font(), StripHotkey(s->Caption())).cx + 2 * kTabPadding;
    if (images_ && s->ImageIndex() >= 0) w += images_->Width() + kImageGap;
    if (multiLine_ && x > 2 && x + w > maxWidth) {
      ++row;
      x = 2;
    }
    tabRects_.push_back(Rect(x, 0, x + w, h));
    rowOf.push_back(row);
    x += w + (buttons ? kButtonGap : 0);
  }
  rows_ = row + 1;
  // rows stack upward; the active tab's row is brought next to the page
  int activeRow = 0;
  for (std::size_t i = 0; i < tabs.size(); ++i)
    if (tabs[i] == activePage_) activeRow = rowOf[i];
  for (std::size_t i = 0; i < tabRects_.size(); ++i) {
    int r = rowOf[i];
    int shown = r == activeRow ? rows_ - 1 : (r > activeRow ? r - 1 : r);
    if (rows_ == 1) shown = 0;
    int top = 2 + shown * h;
    tabRects_[i].Top = top;
    tabRects_[i].Bottom = top + h;
  }
}

int TPageControl::RowCount() {
  LayoutTabs();
  return rows_;
}

TRect TPageControl::TabRect(int TabIndex) {
  LayoutTabs();
  if (TabIndex < 0 || TabIndex >= static_cast<int>(tabRects_.size())) return {};
  return tabRects_[static_cast<std::size_t>(TabIndex)];
}

TTabSheet* TPageControl::TabAt(TPoint P) {
  LayoutTabs();
  auto tabs = VisibleTabs();
  for (std::size_t i = 0; i < tabRects_.size(); ++i)
    if (PtInRect(tabRects_[i], P)) return tabs[i];
  return nullptr;
}

void TPageControl::AdjustClientRect(TRect& Rect) {
  LayoutTabs();
  int tabsBottom = 0;
  for (const TRect& r : tabRects_) tabsBottom = std::max(tabsBottom, static_cast<int>(r.Bottom));
  Rect.Top += tabsBottom;
  if (style_ == tsTabs)
    InflateRect(Rect, -4, 0), Rect.Top += 2, Rect.Bottom -= 4;
  else
    Rect.Top += 3;
}

TTabSheet* TPageControl::FindNextPage(TTabSheet* CurPage, bool GoForward, bool CheckTabVisible) {
  int n = PageCount();
  if (n == 0) return nullptr;
  int start = CurPage ? CurPage->PageIndex() : (GoForward ? n - 1 : 0);
  for (int k = 1; k <= n; ++k) {
    int i = ((start + (GoForward ? k : -k)) % n + n) % n;
    TTabSheet* s = pages_[static_cast<std::size_t>(i)];
    if (!CheckTabVisible || s->TabVisible()) return s;
  }
  return nullptr;
}

void TPageControl::SelectNextPage(bool GoForward, bool CheckTabVisible) {
  TTabSheet* next = FindNextPage(activePage_, GoForward, CheckTabVisible);
  if (next && next != activePage_ && CanChange()) {
    SetActivePage(next);
    Change();
  }
}

bool TPageControl::CanChange() {
  bool allow = true;
  InvokeEvent(OnChanging, this, allow);
  return allow;
}

void TPageControl::Change() {
  InvokeEvent(OnChange, this);
}

void TPageControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  TTabSheet* s = TabAt({X, Y});
  if (!s) return;
  if (s != activePage_ && CanChange()) {
    SetActivePage(s);
    Change();
  }
  if (CanFocus() && !Focused() && (!activePage_ || !activePage_->ContainsControl(Screen->ActiveControl())))
    SetFocus();
}

void TPageControl::MouseMove(TShiftState Shift, int X, int Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (!hotTrack_) return;
  TTabSheet* s = TabAt({X, Y});
  int hot = s ? s->TabIndex() : -1;
  if (hot != hotTab_) {
    hotTab_ = hot;
    Invalidate();
  }
}

void TPageControl::Paint() {
  TCanvas* c = Canvas();
  c->Brush()->SetColor(Color());
  c->FillRect(ClientRect());
  LayoutTabs();
  auto tabs = VisibleTabs();
  TRect page = ClientRect();
  AdjustClientRect(page);
  if (style_ == tsTabs) {
    RECT frame = Rect(0, page.Top - 2, Width(), Height());
    DrawEdge(c->Handle(), frame, EDGE_RAISED, BF_RECT);
  }
  c->Font()->Assign(Font());
  for (std::size_t i = 0; i < tabs.size(); ++i) {
    TTabSheet* s = tabs[i];
    TRect r = tabRects_[i];
    bool active = s == activePage_;
    bool hot = hotTrack_ && static_cast<int>(i) == hotTab_;
    if (style_ == tsTabs) {
      if (active) InflateRect(r, 2, 2), r.Bottom -= 1;
      RECT edge = r;
      c->Brush()->SetColor(Color());
      c->FillRect(r);
      DrawEdge(c->Handle(), edge, EDGE_RAISED, BF_LEFT | BF_TOP | BF_RIGHT | BF_SOFT);
      if (active) {
        // the active tab opens into the page
        c->FillRect(Rect(r.Left + 1, r.Bottom - 1, r.Right - 2, r.Bottom + 2));
      }
    } else {
      RECT edge = r;
      c->Brush()->SetColor(Color());
      c->FillRect(r);
      if (active)
        DrawEdge(c->Handle(), edge, style_ == tsFlatButtons ? BDR_SUNKENOUTER : EDGE_SUNKEN, BF_RECT);
      else if (style_ == tsButtons || hot)
        DrawEdge(c->Handle(), edge, style_ == tsFlatButtons ? BDR_RAISEDINNER : EDGE_RAISED, BF_RECT);
    }
    int x = r.Left + kTabPadding;
    if (images_ && s->ImageIndex() >= 0) {
      images_->Draw(c, x, r.Top + (r.Height() - images_->Height()) / 2, s->ImageIndex(), s->Enabled());
      x += images_->Width() + kImageGap;
    }
    TRect text = Rect(x, r.Top, r.Right - kTabPadding + 4, r.Bottom);
    c->Font()->SetColor(hot && !active ? clHotLight : Font()->Color());
    DrawControlCaption(c, s->Caption(), text, DT_SINGLELINE | DT_VCENTER | DrawTextBiDiModeFlagsReadingOnly(),
                       s->Enabled());
    if (active && Focused()) {
      TRect f = r;
      InflateRect(f, -3, -3);
      c->DrawFocusRect(f);
    }
  }
}

void TPageControl::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_GETDLGCODE:
      m.Result = DLGC_WANTARROWS;
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      TCustomControl::Dispatch(m);
      Invalidate();
      return;
    case WM_KEYDOWN: {
      WORD key = static_cast<WORD>(m.WParam);
      if (key == VK_LEFT || key == VK_RIGHT) {
        SelectNextPage(key == VK_RIGHT);
        return;
      }
      break;
    }
    case CM_DIALOGKEY:
      // Ctrl+Tab and Ctrl+Shift+Tab turn the pages wherever the focus is on them
      if (m.WParam == VK_TAB && GetKeyState(VK_CONTROL) < 0 && Showing()) {
        SelectNextPage(GetKeyState(VK_SHIFT) >= 0);
        m.Result = 1;
        return;
      }
      break;
    case CM_DIALOGCHAR:
      for (TTabSheet* s : VisibleTabs())
        if (IsAccel(static_cast<char32_t>(m.WParam), s->Caption()) && CanFocus() && Showing()) {
          if (s != activePage_ && CanChange()) {
            SetActivePage(s);
            Change();
          }
          m.Result = 1;
          return;
        }
      break;
    case WM_SIZE:
    case CM_FONTCHANGED:
      LayoutTabs();
      break;
    case CM_MOUSELEAVE:
      if (hotTab_ >= 0) {
        hotTab_ = -1;
        Invalidate();
      }
      break;
    default:
      break;
  }
  TCustomControl::Dispatch(m);
}

// ---------------------------------------------------------------- status bar

void TStatusPanel::Changed() {
  owner_->Invalidate();
}

void TStatusPanel::SetText(const std::string& Value) {
  if (text_ == Value) return;
  text_ = Value;
  Changed();
}

void TStatusPanel::SetWidth(int Value) {
  width_ = std::max(0, Value);
  Changed();
}

void TStatusPanel::SetAlignment(TAlignment Value) {
  alignment_ = Value;
  Changed();
}

void TStatusPanel::SetStyle(TStatusPanelStyle Value) {
  style_ = Value;
  Changed();
}

void TStatusPanel::SetBevel(TStatusPanelBevel Value) {
  bevel_ = Value;
  Changed();
}

int TStatusPanel::Index() const {
  auto& p = owner_->panels_.panels_;
  for (std::size_t i = 0; i < p.size(); ++i)
    if (p[i].get() == this) return static_cast<int>(i);
  return -1;
}

TStatusPanel* TStatusPanels::Add() {
  panels_.push_back(std::make_unique<TStatusPanel>(owner_));
  owner_->Invalidate();
  return panels_.back().get();
}

void TStatusPanels::Delete(int Index) {
  panels_.erase(panels_.begin() + Index);
  owner_->Invalidate();
}

void TStatusPanels::Clear() {
  panels_.clear();
  owner_->Invalidate();
}

TStatusBar::TStatusBar(TComponent* AOwner) : TCustomControl(AOwner) {
  color_ = clBtnFace;
  parentColor_ = false;
  brush_.SetColor(clBtnFace);
  height_ = 19;
  width_ = 200;
  align_ = alBottom;
  controlStyle_ = {csCaptureMouse, csClickEvents, csDoubleClicks, csOpaque};
}

void TStatusBar::SetSimplePanel(bool Value) {
  simplePanel_ = Value;
  Invalidate();
}

void TStatusBar::SetSimpleText(const std::string& Value) {
  simpleText_ = Value;
  if (simplePanel_) Invalidate();
}

void TStatusBar::SetSizeGrip(bool Value) {
  sizeGrip_ = Value;
  Invalidate();
}

TRect TStatusBar::PanelRect(int Index) {
  TRect c = ClientRect();
  int x = 0;
  int n = panels_.Count();
  for (int i = 0; i < n; ++i) {
    int w = panels_.Items(i)->Width();
    // the last panel takes what is left
    int right =
        i == n - 1 ? std::max(x + w, static_cast<int>(c.Right) - (sizeGrip_ ? c.Height() : 0)) : x + w;
    if (i == Index) return Rect(x, c.Top + 2, right, c.Bottom);
    x = right + 2;
  }
  return {};
}

void TStatusBar::DrawPanel(TStatusPanel* Panel, const TRect& Rect) {
  if (OnDrawPanel) {
    InvokeEvent(OnDrawPanel, this, Panel, Rect);
    return;
  }
  Canvas()->FillRect(Rect);
}

void TStatusBar::Paint() {
  TCanvas* c = Canvas();
  TRect client = ClientRect();
  // the canvas lives on between paints: an owner-drawn panel may have left a hollow brush in it
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(Color());
  c->FillRect(client);
  c->Font()->Assign(Font());
  if (simplePanel_ || panels_.Count() == 0) {
    TRect r =
        Rect(client.Left, client.Top + 2, client.Right - (sizeGrip_ ? client.Height() : 0), client.Bottom);
    RECT edge = r;
    DrawEdge(c->Handle(), edge, BDR_SUNKENOUTER, BF_RECT);
    TRect text = Rect(r.Left + 2, r.Top + 1, r.Right - 2, r.Bottom - 1);
    DrawControlCaption(c, simplePanel_ ? simpleText_ : Caption(), text,
                       DrawTextBiDiModeFlags(DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS),
                       true);
  } else {
    for (int i = 0; i < panels_.Count(); ++i) {
      TStatusPanel* p = panels_.Items(i);
      TRect r = PanelRect(i);
      if (p->Bevel() != pbNone) {
        RECT edge = r;
        DrawEdge(c->Handle(), edge, p->Bevel() == pbLowered ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
      }
      TRect inner = Rect(r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1);
      // owner drawing gets the panel's inside with the canvas clipped to it
      int saved = SaveDC(c->Handle());
      IntersectClipRect(c->Handle(), inner.Left, inner.Top, inner.Right, inner.Bottom);
      if (p->Style() == psOwnerDraw) {
        c->Brush()->SetStyle(bsSolid);
        c->Brush()->SetColor(Color());
        c->Font()->Assign(Font());
        DrawPanel(p, inner);
      } else {
        static constexpr UINT kAlign[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
        c->Font()->Assign(Font());  // an owner-drawn panel before may have changed it
        TRect text = Rect(inner.Left + 2, inner.Top, inner.Right - 2, inner.Bottom);
        DrawControlCaption(
            c, p->Text(), text,
            DrawTextBiDiModeFlags(DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | kAlign[p->Alignment()]), true);
      }
      RestoreDC(c->Handle(), saved);
    }
  }
  if (sizeGrip_) {
    RECT grip = Rect(client.Right - client.Height(), client.Top, client.Right, client.Bottom);
    DrawFrameControl(c->Handle(), grip, DFC_SCROLL, DFCS_SCROLLSIZEGRIP);
  }
}
