// The classic 3-D look: edges, frame controls, captions and the default non-client frame.
#include <algorithm>

#include "platform/gui/Graphics.h"
#include "platform/gui/GuiPrivate.h"

using namespace talvik::gui::detail;

namespace {

void HLine(HDC dc, int x1, int x2, int y, int color) {
  if (x2 > x1) FillRect(dc, Rect(x1, y, x2, y + 1), SystemBrush(color));
}
void VLine(HDC dc, int x, int y1, int y2, int color) {
  if (y2 > y1) FillRect(dc, Rect(x, y1, x + 1, y2), SystemBrush(color));
}

// One ring of an edge: top-left colour on the left and top sides, bottom-right colour on the others.
void Ring(HDC dc, const RECT& r, UINT flags, int tl, int br) {
  if (flags & BF_LEFT) VLine(dc, r.Left, r.Top, r.Bottom - 1, tl);
  if (flags & BF_TOP) HLine(dc, r.Left, r.Right - 1, r.Top, tl);
  if (flags & BF_RIGHT) VLine(dc, r.Right - 1, r.Top, r.Bottom, br);
  if (flags & BF_BOTTOM) HLine(dc, r.Left, r.Right, r.Bottom - 1, br);
}

void Shrink(RECT& r, UINT flags) {
  if (flags & BF_LEFT) ++r.Left;
  if (flags & BF_TOP) ++r.Top;
  if (flags & BF_RIGHT) --r.Right;
  if (flags & BF_BOTTOM) --r.Bottom;
}

// A filled triangle glyph (an arrow) centred in r, pointing in `dir` (0 up, 1 down, 2 left, 3 right).
void Arrow(HDC dc, const RECT& r, int dir, int color) {
  int size = std::min(r.Width(), r.Height());
  int rows = std::max(1, (size + 1) / 4);
  HBRUSH b = SystemBrush(color);
  int cx = r.Left + r.Width() / 2, cy = r.Top + r.Height() / 2;
  for (int i = 0; i < rows; ++i) {
    int half = rows - 1 - i;  // widest row first for "down" and "right"
    switch (dir) {
      case 0:
        FillRect(dc, Rect(cx - i, cy - rows / 2 + i, cx + i + 1, cy - rows / 2 + i + 1), b);
        break;
      case 1:
        FillRect(dc, Rect(cx - half, cy - rows / 2 + i, cx + half + 1, cy - rows / 2 + i + 1), b);
        break;
      case 2:
        FillRect(dc, Rect(cx - rows / 2 + i, cy - i, cx - rows / 2 + i + 1, cy + i + 1), b);
        break;
      default:
        FillRect(dc, Rect(cx - rows / 2 + i, cy - half, cx - rows / 2 + i + 1, cy + half + 1), b);
        break;
    }
  }
}

void CheckMark(HDC dc, const RECT& box, int color) {
  // a 7x7 tick, three pixels thick, in the middle of the box
  HBRUSH b = SystemBrush(color);
  int x = box.Left + (box.Width() - 7) / 2, y = box.Top + (box.Height() - 7) / 2;
  for (int i = 0; i < 7; ++i) {
    int yy = i < 3 ? y + 2 + i : y + 4 - (i - 2);
    FillRect(dc, Rect(x + i, yy, x + i + 1, yy + 3), b);
  }
}

}  // namespace

bool DrawEdge(HDC dc, RECT& r, UINT edge, UINT flags) {
  RECT rc = r;
  if (flags & BF_MONO) {
    if (edge & BDR_OUTER) {
      Ring(dc, rc, flags, COLOR_WINDOWFRAME, COLOR_WINDOWFRAME);
      Shrink(rc, flags);
    }
    if (edge & BDR_INNER) {
      Ring(dc, rc, flags, COLOR_WINDOW, COLOR_WINDOW);
      Shrink(rc, flags);
    }
  } else if (flags & BF_FLAT) {
    if (edge & BDR_OUTER) {
      Ring(dc, rc, flags, COLOR_BTNSHADOW, COLOR_BTNSHADOW);
      Shrink(rc, flags);
    }
    if (edge & BDR_INNER) {
      Ring(dc, rc, flags, COLOR_BTNFACE, COLOR_BTNFACE);
      Shrink(rc, flags);
    }
  } else {
    bool soft = flags & BF_SOFT;
    if (edge & BDR_RAISEDOUTER) {
      Ring(dc, rc, flags, soft ? COLOR_BTNHIGHLIGHT : COLOR_3DLIGHT, COLOR_3DDKSHADOW);
      Shrink(rc, flags);
    } else if (edge & BDR_SUNKENOUTER) {
      Ring(dc, rc, flags, soft ? COLOR_3DDKSHADOW : COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT);
      Shrink(rc, flags);
    }
    if (edge & BDR_RAISEDINNER) {
      Ring(dc, rc, flags, soft ? COLOR_3DLIGHT : COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW);
      Shrink(rc, flags);
    } else if (edge & BDR_SUNKENINNER) {
      Ring(dc, rc, flags, soft ? COLOR_BTNSHADOW : COLOR_3DDKSHADOW, COLOR_3DLIGHT);
      Shrink(rc, flags);
    }
  }
  if (flags & BF_MIDDLE) FillRect(dc, rc, SystemBrush((flags & BF_MONO) ? COLOR_WINDOW : COLOR_BTNFACE));
  if (flags & BF_ADJUST) r = rc;
  return true;
}

bool DrawFrameControl(HDC dc, RECT& r, UINT type, UINT state) {
  bool pushed = state & DFCS_PUSHED, inactive = state & DFCS_INACTIVE, flat = state & DFCS_FLAT;
  switch (type) {
    case DFC_BUTTON: {
      UINT kind = state & 0x1F;
      if (kind == DFCS_BUTTONPUSH) {
        RECT rc = r;
        if (pushed) {
          if (flat) {
            DrawEdge(dc, rc, BDR_SUNKENOUTER, BF_RECT | BF_MIDDLE | BF_ADJUST);
          } else {
            FrameRect(dc, rc, SystemBrush(COLOR_WINDOWFRAME));
            InflateRect(rc, -1, -1);
            FrameRect(dc, rc, SystemBrush(COLOR_BTNSHADOW));
            InflateRect(rc, -1, -1);
            FillRect(dc, rc, SystemBrush(COLOR_BTNFACE));
          }
        } else {
          DrawEdge(dc, rc, flat ? BDR_RAISEDINNER : EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST);
        }
        if (state & DFCS_ADJUSTRECT) r = rc;
        return true;
      }
      if (kind == DFCS_BUTTONCHECK || kind == DFCS_BUTTON3STATE) {
        // a 13x13 box centred vertically at the left of r
        int size = 13;
        RECT box = Bounds(r.Left, r.Top + (r.Height() - size) / 2, size, size);
        if (flat) {
          FrameRect(dc, box, SystemBrush(COLOR_BTNSHADOW));
          InflateRect(box, -1, -1);
        } else {
          DrawEdge(dc, box, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
        }
        bool grey = pushed || inactive || (kind == DFCS_BUTTON3STATE && (state & DFCS_CHECKED));
        FillRect(dc, box, SystemBrush(grey ? COLOR_BTNFACE : COLOR_WINDOW));
        if (state & DFCS_CHECKED)
          CheckMark(dc, box, inactive || kind == DFCS_BUTTON3STATE ? COLOR_BTNSHADOW : COLOR_WINDOWTEXT);
        return true;
      }
      if (kind == DFCS_BUTTONRADIO || kind == DFCS_BUTTONRADIOIMAGE) {
        int size = 12;
        RECT box = Bounds(r.Left, r.Top + (r.Height() - size) / 2, size, size);
        HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
        HGDIOBJ oldBrush = SelectObject(dc, SystemBrush(COLOR_BTNSHADOW));
        Ellipse(dc, box.Left, box.Top, box.Right, box.Bottom);
        SelectObject(dc, SystemBrush(COLOR_BTNHIGHLIGHT));
        Ellipse(dc, box.Left + 1, box.Top + 1, box.Right + 1, box.Bottom + 1);
        SelectObject(dc, SystemBrush(inactive || pushed ? COLOR_BTNFACE : COLOR_WINDOW));
        Ellipse(dc, box.Left + 1, box.Top + 1, box.Right, box.Bottom);
        if (state & DFCS_CHECKED) {
          SelectObject(dc, SystemBrush(inactive ? COLOR_BTNSHADOW : COLOR_WINDOWTEXT));
          Ellipse(dc, box.Left + 4, box.Top + 4, box.Right - 3, box.Bottom - 3);
        }
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldPen);
        return true;
      }
      return false;
    }
    case DFC_SCROLL:
    case DFC_CAPTION:
    case DFC_MENU: {
      UINT kind = state & 0xFF;
      RECT rc = r;
      if (type == DFC_MENU) {
        // menu glyphs are drawn on the current background, no button face
        int color = inactive ? COLOR_GRAYTEXT : COLOR_MENUTEXT;
        if (kind == DFCS_MENUARROW)
          Arrow(dc, rc, 3, color);
        else if (kind == DFCS_MENUCHECK)
          CheckMark(dc, rc, color);
        else {
          RECT dot = Bounds(rc.Left + rc.Width() / 2 - 2, rc.Top + rc.Height() / 2 - 2, 5, 5);
          FillRect(dc, dot, SystemBrush(color));
        }
        return true;
      }
      if (type == DFC_SCROLL && kind == DFCS_SCROLLSIZEGRIP) {
        FillRect(dc, rc, SystemBrush(COLOR_BTNFACE));
        // three diagonal grooves in the corner
        int n = std::min(rc.Width(), rc.Height());
        for (int i = 0; i < 3; ++i) {
          int o = 4 * i + 2;
          for (int k = 0; k + o < n; ++k) {
            int x = rc.Right - 1 - k, y = rc.Bottom - (n - o) + k;
            FillRect(dc, Bounds(x, y - 1, 1, 1), SystemBrush(COLOR_BTNHIGHLIGHT));
            FillRect(dc, Bounds(x, y, 1, 2), SystemBrush(COLOR_BTNSHADOW));
          }
        }
        return true;
      }
      if (pushed) {
        if (flat || type == DFC_SCROLL) {
          FrameRect(dc, rc, SystemBrush(COLOR_BTNSHADOW));
          InflateRect(rc, -1, -1);
          FillRect(dc, rc, SystemBrush(COLOR_BTNFACE));
        } else {
          DrawEdge(dc, rc, EDGE_SUNKEN, BF_RECT | BF_MIDDLE | BF_ADJUST);
        }
        OffsetRect(rc, 1, 1);
      } else {
        DrawEdge(dc, rc, flat ? BDR_RAISEDINNER : EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST);
      }
      auto glyph = [&](int color, int shift) {
        RECT g = rc;
        OffsetRect(g, shift, shift);
        if (type == DFC_SCROLL) {
          int dir = kind == DFCS_SCROLLUP      ? 0
                    : kind == DFCS_SCROLLLEFT  ? 2
                    : kind == DFCS_SCROLLRIGHT ? 3
                                               : 1;
          Arrow(dc, g, dir, color);
        } else if (kind == DFCS_CAPTIONCLOSE) {
          int s = std::max(2, std::min(g.Width(), g.Height()) / 2 - 1);
          int x = g.Left + (g.Width() - s) / 2, y = g.Top + (g.Height() - s) / 2;
          for (int i = 0; i < s; ++i) {
            FillRect(dc, Bounds(x + i, y + i, 2, 1), SystemBrush(color));
            FillRect(dc, Bounds(x + s - 1 - i, y + i, 2, 1), SystemBrush(color));
          }
        } else if (kind == DFCS_CAPTIONMIN) {
          FillRect(dc, Bounds(g.Left + 3, g.Bottom - 4, std::max(2, g.Width() / 2), 2), SystemBrush(color));
        } else if (kind == DFCS_CAPTIONMAX || kind == DFCS_CAPTIONRESTORE) {
          RECT box = Bounds(g.Left + 2, g.Top + 1, g.Width() - 5, g.Height() - 4);
          FrameRect(dc, box, SystemBrush(color));
          FillRect(dc, Rect(box.Left, box.Top, box.Right, box.Top + 2), SystemBrush(color));
        } else if (kind == DFCS_CAPTIONHELP) {
          Arrow(dc, g, 0, color);
        }
      };
      if (inactive) {
        glyph(COLOR_BTNHIGHLIGHT, 1);
        glyph(COLOR_BTNSHADOW, 0);
      } else {
        glyph(COLOR_BTNTEXT, 0);
      }
      return true;
    }
    default:
      return false;
  }
}

bool DrawCaption(HWND hwnd, HDC dc, const RECT& r, UINT flags) {
  bool active = flags & DC_ACTIVE;
  int from = active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION;
  int to = active ? COLOR_GRADIENTACTIVECAPTION : COLOR_GRADIENTINACTIVECAPTION;
  if (flags & DC_GRADIENT) {
    COLORREF a = GetSysColor(from), b = GetSysColor(to);
    int w = std::max(1, r.Width());
    for (int x = 0; x < r.Width(); ++x) {
      auto mix = [&](int ca, int cb) { return ca + (cb - ca) * x / w; };
      HBRUSH br = CreateSolidBrush(RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)),
                                       mix(GetBValue(a), GetBValue(b))));
      FillRect(dc, Rect(r.Left + x, r.Top, r.Left + x + 1, r.Bottom), br);
      DeleteObject(br);
    }
  } else {
    FillRect(dc, r, SystemBrush(from));
  }
  if (flags & DC_TEXT) {
    LOGFONT lf;
    lf.lfHeight = (flags & DC_SMALLCAP) ? -10 : -11;
    lf.lfWeight = FW_BOLD;
    lf.lfFaceName = "MS Sans Serif";
    HFONT font = CreateFontIndirect(lf);
    HGDIOBJ old = SelectObject(dc, font);
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF oldColor = SetTextColor(dc, GetSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
    RECT t = r;
    t.Left += 3;
    DrawText(dc, GetWindowText(hwnd), t, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
    SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
    SelectObject(dc, old);
    DeleteObject(font);
  }
  return true;
}

namespace talvik::gui::detail {

namespace {

void PaintScrollBar(HWND hwnd, HDC dc, int bar) {
  ScrollBarLayout l = GetScrollBarLayout(hwnd, bar);
  if (!l.visible || l.bar.IsEmpty()) return;
  bool vert = bar == SB_VERT;
  // the track: a dither of face and highlight, as the classic scroll bars have
  HBITMAP pattern = nullptr;
  {
    static const WORD bits[8] = {0xAAAA, 0x5555, 0xAAAA, 0x5555, 0xAAAA, 0x5555, 0xAAAA, 0x5555};
    BYTE raw[16];
    for (int i = 0; i < 8; ++i) {
      raw[i * 2] = static_cast<BYTE>(bits[i] >> 8);
      raw[i * 2 + 1] = static_cast<BYTE>(bits[i]);
    }
    pattern = CreateBitmap(8, 8, 1, 1, raw);
  }
  HBRUSH track = CreatePatternBrush(pattern);
  COLORREF oldText = SetTextColor(dc, GetSysColor(COLOR_BTNFACE));
  COLORREF oldBk = SetBkColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
  RECT trackRect = vert ? RECT{l.bar.Left, l.arrow1.Bottom, l.bar.Right, l.arrow2.Top}
                        : RECT{l.arrow1.Right, l.bar.Top, l.arrow2.Left, l.bar.Bottom};
  FillRect(dc, trackRect, track);
  if (l.pressedPart == 4 || l.pressedPart == 5) {
    RECT page = trackRect;
    if (vert) {
      if (l.pressedPart == 4)
        page.Bottom = l.thumb.Top;
      else
        page.Top = l.thumb.Bottom;
    } else {
      if (l.pressedPart == 4)
        page.Right = l.thumb.Left;
      else
        page.Left = l.thumb.Right;
    }
    FillRect(dc, page, SystemBrush(COLOR_3DDKSHADOW));
  }
  SetTextColor(dc, oldText);
  SetBkColor(dc, oldBk);
  DeleteObject(track);
  DeleteObject(pattern);
  UINT up = vert ? DFCS_SCROLLUP : DFCS_SCROLLLEFT, down = vert ? DFCS_SCROLLDOWN : DFCS_SCROLLRIGHT;
  RECT a1 = l.arrow1, a2 = l.arrow2;
  UINT dis1 = (l.disabled || (l.arrowsDisabled & ESB_DISABLE_UP)) ? DFCS_INACTIVE : 0;
  UINT dis2 = (l.disabled || (l.arrowsDisabled & ESB_DISABLE_DOWN)) ? DFCS_INACTIVE : 0;
  // (the arrows only where the frame is painted: a moved thumb repaints its places alone)
  if (RectVisible(dc, a1))
    DrawFrameControl(dc, a1, DFC_SCROLL, up | dis1 | (l.pressedPart == 1 ? DFCS_PUSHED : 0));
  if (RectVisible(dc, a2))
    DrawFrameControl(dc, a2, DFC_SCROLL, down | dis2 | (l.pressedPart == 2 ? DFCS_PUSHED : 0));
  if (!l.thumb.IsEmpty()) {
    RECT t = l.thumb;
    DrawEdge(dc, t, EDGE_RAISED, BF_RECT | BF_MIDDLE);
  }
}

}  // namespace

void PaintDefaultFrame(HWND hwnd, HDC dc) {
  if (!dc || IsNativeFramed(hwnd)) {
    if (dc) {
      PaintScrollBar(hwnd, dc, SB_VERT);
      PaintScrollBar(hwnd, dc, SB_HORZ);
    }
    return;
  }
  RECT wr;
  GetWindowRect(hwnd, wr);
  RECT r = Bounds(0, 0, wr.Width(), wr.Height());
  DWORD style = static_cast<DWORD>(GetWindowLongPtr(hwnd, GWL_STYLE));
  DWORD ex = static_cast<DWORD>(GetWindowLongPtr(hwnd, GWL_EXSTYLE));
  if (style & WS_THICKFRAME) {
    DrawEdge(dc, r, EDGE_RAISED, BF_RECT | BF_ADJUST);
    for (int i = 0; i < GetSystemMetrics(SM_CXFRAME) - 2; ++i) {
      FrameRect(dc, r, SystemBrush(COLOR_BTNFACE));
      InflateRect(r, -1, -1);
    }
  } else if ((style & WS_DLGFRAME) || (ex & WS_EX_DLGMODALFRAME)) {
    DrawEdge(dc, r, EDGE_RAISED, BF_RECT | BF_ADJUST);
    FrameRect(dc, r, SystemBrush(COLOR_BTNFACE));
    InflateRect(r, -1, -1);
  } else if (style & WS_BORDER) {
    FrameRect(dc, r, SystemBrush(COLOR_WINDOWFRAME));
    InflateRect(r, -1, -1);
  }
  if (ex & WS_EX_CLIENTEDGE) DrawEdge(dc, r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  if (ex & WS_EX_STATICEDGE) DrawEdge(dc, r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
  // a caption of a child window (MDI children)
  RECT client = ClientRectInWindow(hwnd);
  if ((style & WS_CAPTION) == WS_CAPTION && GetAncestor(hwnd, GA_PARENT)) {
    int h = (ex & WS_EX_TOOLWINDOW) ? GetSystemMetrics(SM_CYSMCAPTION) : GetSystemMetrics(SM_CYCAPTION);
    RECT cap{r.Left, r.Top, r.Right, r.Top + h - 1};
    HWND parent = GetAncestor(hwnd, GA_PARENT);
    bool active = GetAncestor(GetFocus(), GA_ROOT) == GetAncestor(hwnd, GA_ROOT) &&
                  (GetFocus() == hwnd || IsChild(hwnd, GetFocus()));
    (void)parent;
    DrawCaption(
        hwnd, dc, cap,
        DC_TEXT | DC_GRADIENT | (active ? DC_ACTIVE : 0) | ((ex & WS_EX_TOOLWINDOW) ? DC_SMALLCAP : 0));
    HLine(dc, r.Left, r.Right, r.Top + h - 1, COLOR_BTNFACE);
    if (style & WS_SYSMENU) {
      RECT close = Bounds(cap.Right - h + 1, cap.Top + 2, h - 4, h - 5);
      DrawFrameControl(dc, close, DFC_CAPTION, DFCS_CAPTIONCLOSE);
    }
  }
  PaintScrollBar(hwnd, dc, SB_VERT);
  PaintScrollBar(hwnd, dc, SB_HORZ);
  // the corner between two scroll bars
  if ((style & WS_VSCROLL) && (style & WS_HSCROLL)) {
    ScrollBarLayout v = GetScrollBarLayout(hwnd, SB_VERT), h = GetScrollBarLayout(hwnd, SB_HORZ);
    FillRect(dc, Rect(v.bar.Left, h.bar.Top, v.bar.Right, h.bar.Bottom), SystemBrush(COLOR_BTNFACE));
  }
  (void)client;
}

}  // namespace talvik::gui::detail
