// The window manager: default message handling, non-client scroll bars, system colours and metrics.
#include <algorithm>
#include <cassert>

#include "platform/gui/Graphics.h"
#include "platform/gui/Windows.h"
#include "platform/gui/WindowsState.h"
#include "platform/rtl/SysUtils.h"

using namespace talvik::gui::detail;

namespace talvik::gui::detail {

bool IsNativeFramed(HWND hwnd) {
  Wnd* w = W(hwnd);
  return w && !w->parent && (w->style & WS_CAPTION) == WS_CAPTION;
}

namespace {

int FrameWidth(const Wnd* w) {
  if (!w->parent && (w->style & WS_CAPTION) == WS_CAPTION) return 0;
  int b = 0;
  if (w->style & WS_THICKFRAME)
    b = GetSystemMetrics(SM_CXFRAME);
  else if ((w->style & WS_DLGFRAME) || (w->exStyle & WS_EX_DLGMODALFRAME))
    b = GetSystemMetrics(SM_CXDLGFRAME);
  else if (w->style & WS_BORDER)
    b = GetSystemMetrics(SM_CXBORDER);
  if (w->exStyle & WS_EX_CLIENTEDGE) b += GetSystemMetrics(SM_CXEDGE);
  if (w->exStyle & WS_EX_STATICEDGE) b += 1;
  return b;
}

int CaptionHeight(const Wnd* w) {
  if (!w->parent || (w->style & WS_CAPTION) != WS_CAPTION) return 0;
  return (w->exStyle & WS_EX_TOOLWINDOW) ? GetSystemMetrics(SM_CYSMCAPTION) : GetSystemMetrics(SM_CYCAPTION);
}

bool Scrollable(const ScrollBarState& b) {
  long long range = static_cast<long long>(b.max) - b.min + 1;
  return b.max > b.min && (b.page == 0 || static_cast<long long>(b.page) < range);
}

int MaxPos(const ScrollBarState& b) {
  return std::max(b.min, b.max - std::max(static_cast<int>(b.page) - 1, 0));
}

}  // namespace

ScrollBarLayout GetScrollBarLayout(HWND hwnd, int bar) {
  ScrollBarLayout l;
  Wnd* w = W(hwnd);
  if (!w || (bar != SB_HORZ && bar != SB_VERT)) return l;
  bool vert = bar == SB_VERT;
  l.visible = w->style & (vert ? WS_VSCROLL : WS_HSCROLL);
  if (!l.visible) return l;
  const ScrollBarState& b = w->bars[bar];
  int size = GetSystemMetrics(vert ? SM_CXVSCROLL : SM_CYHSCROLL);
  RECT c = w->client;
  if (vert) {
    bool left = w->exStyle & WS_EX_LEFTSCROLLBAR;
    l.bar =
        left ? RECT{c.Left - size, c.Top, c.Left, c.Bottom} : RECT{c.Right, c.Top, c.Right + size, c.Bottom};
  } else {
    l.bar = {c.Left, c.Bottom, c.Right, c.Bottom + size};
  }
  int len = vert ? l.bar.Height() : l.bar.Width();
  int arrow = std::min(size, len / 2);
  if (vert) {
    l.arrow1 = {l.bar.Left, l.bar.Top, l.bar.Right, l.bar.Top + arrow};
    l.arrow2 = {l.bar.Left, l.bar.Bottom - arrow, l.bar.Right, l.bar.Bottom};
  } else {
    l.arrow1 = {l.bar.Left, l.bar.Top, l.bar.Left + arrow, l.bar.Bottom};
    l.arrow2 = {l.bar.Right - arrow, l.bar.Top, l.bar.Right, l.bar.Bottom};
  }
  l.arrowsDisabled = b.arrowsDisabled;
  l.disabled = !Scrollable(b) || b.arrowsDisabled == ESB_DISABLE_BOTH || (w->style & WS_DISABLED);
  l.pressedPart = b.pressedPart;
  int track = len - 2 * arrow;
  long long range = static_cast<long long>(b.max) - b.min + 1;
  int thumb = b.page
                  ? static_cast<int>(std::max<long long>(8, track * static_cast<long long>(b.page) / range))
                  : GetSystemMetrics(vert ? SM_CYVTHUMB : SM_CXHTHUMB);
  if (!l.disabled && track >= thumb && thumb > 0) {
    int span = MaxPos(b) - b.min;
    int at = b.pressedPart == 3 ? b.trackPos : b.pos;
    int offset = span > 0 ? static_cast<int>(static_cast<long long>(at - b.min) * (track - thumb) / span) : 0;
    offset = std::clamp(offset, 0, track - thumb);
    if (vert)
      l.thumb = {l.bar.Left, l.arrow1.Bottom + offset, l.bar.Right, l.arrow1.Bottom + offset + thumb};
    else
      l.thumb = {l.arrow1.Right + offset, l.bar.Top, l.arrow1.Right + offset + thumb, l.bar.Bottom};
  }
  return l;
}

namespace {

constexpr std::uintptr_t kScrollRepeatTimer = 0xFFF0;

int PartAt(const ScrollBarLayout& l, POINT p, bool vert) {
  if (PtInRect(l.arrow1, p)) return 1;
  if (PtInRect(l.arrow2, p)) return 2;
  if (!l.thumb.IsEmpty() && PtInRect(l.thumb, p)) return 3;
  if (!PtInRect(l.bar, p)) return 0;
  if (l.thumb.IsEmpty()) return 0;
  return (vert ? p.Y < l.thumb.Top : p.X < l.thumb.Left) ? 4 : 5;
}

int CodeFor(int part) {
  switch (part) {
    case 1:
      return SB_LINEUP;
    case 2:
      return SB_LINEDOWN;
    case 4:
      return SB_PAGEUP;
    case 5:
      return SB_PAGEDOWN;
    default:
      return -1;
  }
}

}  // namespace

// The scroll-bar mouse loop: arrows and page areas repeat while held, the thumb tracks the mouse.
LRESULT DefScrollBarNcButton(Wnd* w, int hit, POINT screen) {
  HWND h = w->handle;
  int bar = hit == HTVSCROLL ? SB_VERT : SB_HORZ;
  bool vert = bar == SB_VERT;
  UINT msgId = vert ? WM_VSCROLL : WM_HSCROLL;
  ScrollBarLayout l = GetScrollBarLayout(h, bar);
  POINT origin = WindowOriginOnScreen(w);
  POINT p{screen.X - origin.X, screen.Y - origin.Y};
  int part = PartAt(l, p, vert);
  if (l.disabled || part == 0) return 0;
  if ((part == 1 || part == 4) && (l.arrowsDisabled & ESB_DISABLE_UP)) return 0;
  if ((part == 2 || part == 5) && (l.arrowsDisabled & ESB_DISABLE_DOWN)) return 0;
  auto send = [&](int code, int pos) {
    if (Wnd* ww = W(h)) Send(ww, msgId, MAKEWPARAM(code, pos), 0);
  };
  int grab = part == 3 ? (vert ? p.Y - l.thumb.Top : p.X - l.thumb.Left) : 0;
  w->bars[bar].trackPos = w->bars[bar].pos;
  w->bars[bar].pressedPart = part;
  InvalidateFrame(w);
  SetCapture(h);
  if (part != 3) {
    send(CodeFor(part), 0);
    SetTimer(h, kScrollRepeatTimer, 400, nullptr);
  }
  MSG m;
  bool quit = false;
  while (GetCapture() == h) {
    if (!GetMessage(m, nullptr, 0, 0)) {
      quit = true;
      break;
    }
    if (m.hwnd == h && m.message == WM_LBUTTONUP) break;
    if (m.hwnd == h && m.message == WM_MOUSEMOVE) {
      Wnd* ww = W(h);
      if (!ww) break;
      POINT q{GET_X_LPARAM(m.lParam) + ww->client.Left, GET_Y_LPARAM(m.lParam) + ww->client.Top};
      if (part == 3) {
        ScrollBarLayout cur = GetScrollBarLayout(h, bar);
        ScrollBarState& b = ww->bars[bar];
        int thumb = vert ? cur.thumb.Height() : cur.thumb.Width();
        int track =
            (vert ? cur.bar.Height() : cur.bar.Width()) -
            (vert ? cur.arrow1.Height() + cur.arrow2.Height() : cur.arrow1.Width() + cur.arrow2.Width());
        int offset = (vert ? q.Y - cur.arrow1.Bottom : q.X - cur.arrow1.Right) - grab;
        int span = MaxPos(b) - b.min;
        int pos = track > thumb
                      ? b.min + static_cast<int>(static_cast<long long>(offset) * span / (track - thumb))
                      : b.min;
        pos = std::clamp(pos, b.min, MaxPos(b));
        if (pos != b.trackPos) {
          b.trackPos = pos;
          InvalidateFrame(ww);
          send(SB_THUMBTRACK, pos);
        }
      }
      continue;
    }
    if (m.hwnd == h && m.message == WM_TIMER && m.wParam == kScrollRepeatTimer) {
      Wnd* ww = W(h);
      if (!ww) break;
      POINT cur = S().cursorPos.load();
      POINT o = WindowOriginOnScreen(ww);
      POINT q{cur.X - o.X, cur.Y - o.Y};
      if (PartAt(GetScrollBarLayout(h, bar), q, vert) == part) send(CodeFor(part), 0);
      SetTimer(h, kScrollRepeatTimer, 50, nullptr);
      continue;
    }
    if (m.message == WM_KEYDOWN && m.wParam == VK_ESCAPE) break;
    if ((m.message >= WM_KEYFIRST && m.message <= WM_KEYLAST) ||
        (m.message >= WM_MOUSEFIRST && m.message <= WM_MOUSELAST) ||
        (m.message >= WM_NCMOUSEMOVE && m.message <= WM_NCMBUTTONDBLCLK))
      continue;  // the loop owns the input while it runs
    TranslateMessage(m);
    DispatchMessage(m);
  }
  KillTimer(h, kScrollRepeatTimer);
  if (GetCapture() == h) ReleaseCapture();
  if (Wnd* ww = W(h)) {
    if (part == 3) send(SB_THUMBPOSITION, ww->bars[bar].trackPos);
    send(SB_ENDSCROLL, 0);
    if ((ww = W(h))) {
      ww->bars[bar].pressedPart = 0;
      InvalidateFrame(ww);
    }
  }
  if (quit) PostQuitMessage(static_cast<int>(m.wParam));
  return 0;
}

void InitSysColors(State& s) {
  static const COLORREF table[COLOR_ENDCOLORS] = {
      RGB(212, 208, 200),  // COLOR_SCROLLBAR
      RGB(58, 110, 165),   // COLOR_BACKGROUND
      RGB(10, 36, 106),    // COLOR_ACTIVECAPTION
      RGB(128, 128, 128),  // COLOR_INACTIVECAPTION
      RGB(212, 208, 200),  // COLOR_MENU
      RGB(255, 255, 255),  // COLOR_WINDOW
      RGB(0, 0, 0),        // COLOR_WINDOWFRAME
      RGB(0, 0, 0),        // COLOR_MENUTEXT
      RGB(0, 0, 0),        // COLOR_WINDOWTEXT
      RGB(255, 255, 255),  // COLOR_CAPTIONTEXT
      RGB(212, 208, 200),  // COLOR_ACTIVEBORDER
      RGB(212, 208, 200),  // COLOR_INACTIVEBORDER
      RGB(128, 128, 128),  // COLOR_APPWORKSPACE
      RGB(10, 36, 106),    // COLOR_HIGHLIGHT
      RGB(255, 255, 255),  // COLOR_HIGHLIGHTTEXT
      RGB(212, 208, 200),  // COLOR_BTNFACE
      RGB(128, 128, 128),  // COLOR_BTNSHADOW
      RGB(128, 128, 128),  // COLOR_GRAYTEXT
      RGB(0, 0, 0),        // COLOR_BTNTEXT
      RGB(212, 208, 200),  // COLOR_INACTIVECAPTIONTEXT
      RGB(255, 255, 255),  // COLOR_BTNHIGHLIGHT
      RGB(64, 64, 64),     // COLOR_3DDKSHADOW
      RGB(212, 208, 200),  // COLOR_3DLIGHT
      RGB(0, 0, 0),        // COLOR_INFOTEXT
      RGB(255, 255, 225),  // COLOR_INFOBK
      RGB(181, 181, 181),  // 25 (unused)
      RGB(0, 0, 128),      // COLOR_HOTLIGHT
      RGB(166, 202, 240),  // COLOR_GRADIENTACTIVECAPTION
      RGB(192, 192, 192),  // COLOR_GRADIENTINACTIVECAPTION
      RGB(49, 106, 197),   // COLOR_MENUHILIGHT
      RGB(212, 208, 200),  // COLOR_MENUBAR
  };
  std::copy(std::begin(table), std::end(table), s.sysColors);
}

}  // namespace talvik::gui::detail

// ---------------------------------------------------------------- the default window procedure

namespace {

void PrintWindow(Wnd* w, HDC dc, LPARAM flags);

}  // namespace

LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Wnd* w = W(hwnd);
  if (!w) return 0;
  auto& s = S();
  switch (msg) {
    case WM_NCCREATE:
      return 1;
    case WM_NCCALCSIZE: {
      if (!lParam) return 0;
      RECT& r = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0];
      int b = FrameWidth(w);
      InflateRect(r, -b, -b);
      r.Top += CaptionHeight(w);
      if (!w->parent && w->host) {
        const RECT frame = w->host->FrameMargins();  // drawn by the desktop
        r.Left += frame.Left;
        r.Top += frame.Top;
        r.Right -= frame.Right;
        r.Bottom -= frame.Bottom;
      }
      if ((w->style & WS_VSCROLL) && r.Width() > 0) {
        int sb = std::min(GetSystemMetrics(SM_CXVSCROLL), r.Width());
        if (w->exStyle & WS_EX_LEFTSCROLLBAR)
          r.Left += sb;
        else
          r.Right -= sb;
      }
      if ((w->style & WS_HSCROLL) && r.Height() > 0)
        r.Bottom -= std::min(GetSystemMetrics(SM_CYHSCROLL), r.Height());
      if (r.Right < r.Left) r.Right = r.Left;
      if (r.Bottom < r.Top) r.Bottom = r.Top;
      return 0;
    }
    case WM_NCHITTEST: {
      POINT o = WindowOriginOnScreen(w);
      POINT p{GET_X_LPARAM(lParam) - o.X, GET_Y_LPARAM(lParam) - o.Y};
      RECT whole = Bounds(0, 0, w->rect.Width(), w->rect.Height());
      if (!PtInRect(whole, p)) return HTNOWHERE;
      if (PtInRect(w->client, p)) return HTCLIENT;
      if (PtInRect(GetScrollBarLayout(hwnd, SB_VERT).bar, p)) return HTVSCROLL;
      if (PtInRect(GetScrollBarLayout(hwnd, SB_HORZ).bar, p)) return HTHSCROLL;
      int b = FrameWidth(w);
      if (w->style & WS_THICKFRAME) {
        int corner = GetSystemMetrics(SM_CYCAPTION);
        bool left = p.X < b, right = p.X >= whole.Right - b, top = p.Y < b, bottom = p.Y >= whole.Bottom - b;
        bool nearLeft = p.X < corner, nearRight = p.X >= whole.Right - corner;
        bool nearTop = p.Y < corner, nearBottom = p.Y >= whole.Bottom - corner;
        if ((top && nearLeft) || (left && nearTop)) return HTTOPLEFT;
        if ((top && nearRight) || (right && nearTop)) return HTTOPRIGHT;
        if ((bottom && nearLeft) || (left && nearBottom)) return HTBOTTOMLEFT;
        if ((bottom && nearRight) || (right && nearBottom)) return HTBOTTOMRIGHT;
        if (left) return HTLEFT;
        if (right) return HTRIGHT;
        if (top) return HTTOP;
        if (bottom) return HTBOTTOM;
      }
      int cap = CaptionHeight(w);
      if (cap && p.Y >= b && p.Y < b + cap) {
        if (p.X >= whole.Right - b - cap) return HTCLOSE;
        return HTCAPTION;
      }
      return HTBORDER;
    }
    case WM_NCPAINT: {
      // the frame alone: the client area keeps its pixels, and only the frame's strips go to the screen;
      // with a region (screen coordinates), only the part of the frame in it
      HDC dc = GetWindowDC(hwnd);
      if (!dc) return 0;
      const RECT c = w->client;
      RECT area = Bounds(0, 0, w->rect.Width(), w->rect.Height());
      if (wParam > 1) {
        RECT box, wr;
        GetRgnBox(reinterpret_cast<HRGN>(wParam), box);
        GetWindowRect(hwnd, wr);
        OffsetRect(box, -wr.Left, -wr.Top);
        IntersectRect(area, area, box);
        IntersectClipRect(dc, area.Left, area.Top, area.Right, area.Bottom);
      }
      ExcludeClipRect(dc, c.Left, c.Top, c.Right, c.Bottom);
      if (!area.IsEmpty()) PaintDefaultFrame(hwnd, dc);
      FreeWindowDC(dc);
      if ((w = W(hwnd))) {
        const int width = w->rect.Width(), height = w->rect.Height();
        for (RECT strip : {Rect(0, 0, width, c.Top), Rect(0, c.Bottom, width, height),
                           Rect(0, c.Top, c.Left, c.Bottom), Rect(c.Right, c.Top, width, c.Bottom)})
          if (IntersectRect(strip, strip, area)) NotifyHostDirty(w, strip);
      }
      return 0;
    }
    case WM_ERASEBKGND: {
      HBRUSH brush = w->cls.hbrBackground;
      if (!brush) return 0;
      auto v = reinterpret_cast<std::uintptr_t>(brush);
      if (v <= static_cast<std::uintptr_t>(COLOR_ENDCOLORS)) brush = SystemBrush(static_cast<int>(v) - 1);
      FillRectWithBrush(reinterpret_cast<HDC>(wParam), Bounds(0, 0, w->client.Width(), w->client.Height()),
                        brush);
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd, ps);
      EndPaint(hwnd, ps);
      return 0;
    }
    case WM_PRINT:
      PrintWindow(w, reinterpret_cast<HDC>(wParam), lParam);
      return 0;
    case WM_PRINTCLIENT:
      // a window that paints only in WM_PAINT paints into the given DC
      Send(w, WM_PAINT, wParam, 0);
      return 0;
    case WM_CHANGEUISTATE: {
      // Every top-level window keeps one state for itself and its children.
      if (w->parent) return Send(Root(w), WM_CHANGEUISTATE, wParam, lParam);
      const WORD flags = HIWORD(wParam) & (UISF_HIDEFOCUS | UISF_HIDEACCEL);
      switch (LOWORD(wParam)) {
        case UIS_INITIALIZE:
          // hidden after mouse input, shown after a key
          w->uiState = s.lastInputWasKey ? 0 : (UISF_HIDEFOCUS | UISF_HIDEACCEL);
          break;
        case UIS_SET:
          w->uiState |= flags;
          break;
        case UIS_CLEAR:
          w->uiState &= static_cast<WORD>(~flags);
          break;
        default:
          return 0;
      }
      if (s.keyboardCues) w->uiState &= static_cast<WORD>(~UISF_HIDEACCEL);
      return 0;
    }
    case WM_QUERYUISTATE: {
      WORD state = Root(w)->uiState;
      if (s.keyboardCues) state &= static_cast<WORD>(~UISF_HIDEACCEL);
      return state;
    }
    case WM_SETTEXT:
      w->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
      if (w->host) w->host->TitleChanged(w->text);
      if (CaptionHeight(w)) InvalidateFrame(w);
      return 1;
    case WM_GETTEXT:
      if (lParam) *reinterpret_cast<std::string*>(lParam) = w->text;
      return static_cast<LRESULT>(w->text.size());
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w->text.size());
    case WM_SETCURSOR: {
      if (w->parent && Send(w->parent, WM_SETCURSOR, wParam, lParam)) return 1;
      int hit = static_cast<short>(LOWORD(static_cast<std::uintptr_t>(lParam)));
      switch (hit) {
        case HTCLIENT:
          if (w->cls.hCursor) {
            SetCursor(w->cls.hCursor);
            return 1;
          }
          return 0;
        case HTLEFT:
        case HTRIGHT:
          SetCursor(LoadCursor(nullptr, IDC_SIZEWE));
          return 1;
        case HTTOP:
        case HTBOTTOM:
          SetCursor(LoadCursor(nullptr, IDC_SIZENS));
          return 1;
        case HTTOPLEFT:
        case HTBOTTOMRIGHT:
          SetCursor(LoadCursor(nullptr, IDC_SIZENWSE));
          return 1;
        case HTTOPRIGHT:
        case HTBOTTOMLEFT:
          SetCursor(LoadCursor(nullptr, IDC_SIZENESW));
          return 1;
        case HTERROR:
          return 0;
        default:
          SetCursor(LoadCursor(nullptr, IDC_ARROW));
          return 1;
      }
    }
    case WM_MOUSEACTIVATE:
      if (w->parent) {
        LRESULT r = Send(w->parent, WM_MOUSEACTIVATE, wParam, lParam);
        if (r) return r;
      }
      return MA_ACTIVATE;
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_SYSKEYDOWN:
      // F10 alone asks for the menu when it goes up; Shift+F10 is the context-menu key of the window
      // with the focus and opens its menu at once, whichever key the hand lets go first
      if (wParam == VK_F10 && !(lParam & (static_cast<LPARAM>(KF_REPEAT) << 16))) {
        s.f10Alone = GetKeyState(VK_SHIFT) >= 0;
        if (!s.f10Alone) Send(w, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), -1);
      }
      return 0;
    case WM_SYSKEYUP: {
      const bool menu =
          (wParam == VK_MENU && (lParam & (LPARAM(1) << 25))) || (wParam == VK_F10 && s.f10Alone);
      if (wParam == VK_F10) s.f10Alone = false;
      if (menu) Send(Root(w), WM_SYSCOMMAND, SC_KEYMENU, 0);
      return 0;
    }
    case WM_KEYUP:
      if (wParam == VK_APPS) Send(w, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), -1);
      return 0;
    case WM_IME_COMPOSITION:
      // a result string types its characters, as keys would
      if (lParam & static_cast<LPARAM>(GCS_RESULTSTR)) {
        HIMC imc = ImmGetContext(hwnd);
        long n = ImmGetCompositionString(imc, GCS_RESULTSTR, nullptr, 0);
        std::string text(static_cast<std::size_t>(std::max(n, 0L)), '\0');
        if (n > 0) ImmGetCompositionString(imc, GCS_RESULTSTR, text.data(), static_cast<DWORD>(n));
        ImmReleaseContext(hwnd, imc);
        for (char32_t c : Utf8ToUtf32(text)) PostMessage(hwnd, WM_CHAR, static_cast<WPARAM>(c), 1);
      }
      return 0;
    case WM_SYSCHAR:
      if (wParam != VK_TAB && wParam != VK_ESCAPE)
        Send(Root(w), WM_SYSCOMMAND, SC_KEYMENU, static_cast<LPARAM>(wParam));
      return 0;
    case WM_SYSCOMMAND:
      if (CallHooks(WH_CBT, HCBT_SYSCOMMAND, wParam, lParam) != 0) return 0;
      switch (wParam & 0xFFF0) {
        case SC_CLOSE:
          Send(w, WM_CLOSE, 0, 0);
          break;
        case SC_MINIMIZE:
          ShowWindow(hwnd, SW_MINIMIZE);
          break;
        case SC_MAXIMIZE:
          ShowWindow(hwnd, SW_MAXIMIZE);
          break;
        case SC_RESTORE:
          ShowWindow(hwnd, SW_RESTORE);
          break;
        default:
          break;
      }
      return 0;
    case WM_CANCELMODE:
      if (s.capture == hwnd) ReleaseCapture();
      return 0;
    case WM_RBUTTONUP: {
      POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ClientToScreen(hwnd, p);
      Send(w, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(p.X, p.Y));
      return 0;
    }
    case WM_NCRBUTTONUP:
      Send(w, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), lParam);
      return 0;
    case WM_CONTEXTMENU:
    case WM_MOUSEWHEEL:
      if (w->parent) return Send(w->parent, msg, wParam, lParam);
      return 0;
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
      if (wParam == HTVSCROLL || wParam == HTHSCROLL)
        return DefScrollBarNcButton(w, static_cast<int>(wParam),
                                    POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      if (wParam == HTCLOSE) Send(w, WM_SYSCOMMAND, SC_CLOSE, lParam);
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && !w->minimized) SetFocus(hwnd);
      return 0;
    case WM_NCACTIVATE:
      if (CaptionHeight(w)) InvalidateFrame(w);
      return 1;
    case WM_WINDOWPOSCHANGED: {
      auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
      // (a window down to an icon stays there whatever its bounds: a maximised one only comes back so)
      if (pos && !(pos->flags & SWP_NOSIZE))
        Send(w, WM_SIZE,
             w->minimized   ? SIZE_MINIMIZED
             : w->maximized ? SIZE_MAXIMIZED
                            : SIZE_RESTORED,
             MAKELPARAM(w->client.Width(), w->client.Height()));
      if (pos && !(pos->flags & SWP_NOMOVE) && W(hwnd))
        Send(w, WM_MOVE, 0, MAKELPARAM(w->rect.Left + w->client.Left, w->rect.Top + w->client.Top));
      return 0;
    }
    case WM_SETREDRAW:
      w->redraw = wParam != 0;
      return 0;
    case WM_GETMINMAXINFO: {
      auto* mm = reinterpret_cast<MINMAXINFO*>(lParam);
      if (mm) {
        mm->ptMinTrackSize = {GetSystemMetrics(SM_CXMIN), GetSystemMetrics(SM_CYMIN)};
        mm->ptMaxTrackSize = {32767, 32767};
      }
      return 0;
    }
    default:
      return 0;
  }
}

namespace {

// Paints a window (frame, background, client, children) into a DC whose origin is the window's
// top-left corner: what WM_PRINT asks for.
void PrintWindow(Wnd* w, HDC dc, LPARAM flags) {
  constexpr LPARAM PRF_CHECKVISIBLE = 1, PRF_NONCLIENT = 2, PRF_CLIENT = 4, PRF_ERASEBKGND = 8,
                   PRF_CHILDREN = 16;
  if ((flags & PRF_CHECKVISIBLE) && !Visible(w)) return;
  HWND h = w->handle;
  if (flags & PRF_NONCLIENT) PaintDefaultFrame(h, dc);
  int saved = SaveDC(dc);
  OffsetViewportOrgEx(dc, w->client.Left, w->client.Top, nullptr);
  IntersectClipRect(dc, 0, 0, w->client.Width(), w->client.Height());
  if ((flags & PRF_ERASEBKGND) && W(h)) Send(w, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  if ((flags & PRF_CLIENT) && W(h)) Send(w, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), flags);
  if ((flags & PRF_CHILDREN) && W(h)) {
    std::vector<Wnd*> children(w->children.rbegin(), w->children.rend());  // bottom first
    for (Wnd* c : children) {
      if (!W(c->handle) || !(c->style & WS_VISIBLE)) continue;
      int inner = SaveDC(dc);
      OffsetViewportOrgEx(dc, c->rect.Left, c->rect.Top, nullptr);
      IntersectClipRect(dc, 0, 0, c->rect.Width(), c->rect.Height());
      Send(c, WM_PRINT, reinterpret_cast<WPARAM>(dc), flags | PRF_NONCLIENT);
      RestoreDC(dc, inner);
    }
  }
  RestoreDC(dc, saved);
}

}  // namespace

namespace talvik::gui::detail {

void FocusMovedBetween(HWND from, HWND to) {
  auto captioned = [](HWND h) {
    std::vector<Wnd*> out;
    for (Wnd* w = W(h); w; w = w->parent)
      if (CaptionHeight(w)) out.push_back(w);
    return out;
  };
  const std::vector<Wnd*> left = captioned(from), entered = captioned(to);
  auto among = [](const std::vector<Wnd*>& v, Wnd* w) { return std::find(v.begin(), v.end(), w) != v.end(); };
  for (Wnd* w : left)
    if (!among(entered, w)) InvalidateFrame(w);
  for (Wnd* w : entered)
    if (!among(left, w)) InvalidateFrame(w);
}

}  // namespace talvik::gui::detail

// ---------------------------------------------------------------- scroll bars

namespace {

// The part of a scroll bar (window coordinates) that looks otherwise from `was` to `now`: nothing when
// it looks the same, the two places of the thumb when only the thumb moved or changed its length, else
// the whole bar. (The track's dither is anchored to the window, so a part of it drawn again joins.)
RECT ChangedPartOfBar(const ScrollBarLayout& was, const ScrollBarLayout& now) {
  const bool sameFrame = was.visible == now.visible && was.disabled == now.disabled &&
                         was.arrowsDisabled == now.arrowsDisabled && was.pressedPart == now.pressedPart &&
                         EqualRect(was.bar, now.bar) && EqualRect(was.arrow1, now.arrow1) &&
                         EqualRect(was.arrow2, now.arrow2);
  // a pressed page shows from the thumb to the end of the track: it follows the thumb
  if (!sameFrame || now.pressedPart == 4 || now.pressedPart == 5) return now.bar;
  if (EqualRect(was.thumb, now.thumb)) return RECT{};
  if (was.thumb.IsEmpty() || now.thumb.IsEmpty()) return now.bar;
  RECT both;
  UnionRect(both, was.thumb, now.thumb);
  return both;
}

}  // namespace

int SetScrollInfo(HWND hwnd, int bar, const SCROLLINFO& si, bool redraw) {
  Wnd* w = W(hwnd);
  if (!w || (bar != SB_HORZ && bar != SB_VERT)) return 0;
  ScrollBarState& b = w->bars[bar];
  const ScrollBarState was = b;
  const ScrollBarLayout looked = GetScrollBarLayout(hwnd, bar);
  if (si.fMask & SIF_RANGE) {
    b.min = si.nMin;
    b.max = std::max(si.nMin, si.nMax);
  }
  if (si.fMask & SIF_PAGE) {
    long long range = static_cast<long long>(b.max) - b.min + 1;
    b.page = static_cast<UINT>(std::min<long long>(si.nPage, range));
  }
  if (si.fMask & SIF_POS) b.pos = si.nPos;
  b.pos = std::clamp(b.pos, b.min, MaxPos(b));
  bool want = Scrollable(b) || (si.fMask & SIF_DISABLENOSCROLL);
  bool has = w->style & (bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL);
  if ((si.fMask & (SIF_RANGE | SIF_PAGE)) && want != has)
    ShowScrollBar(hwnd, bar, want);
  else if (redraw && (b.min != was.min || b.max != was.max || b.page != was.page || b.pos != was.pos))
    // the part of the bar that looks otherwise, and nothing when it looks the same
    InvalidateFramePart(w, ChangedPartOfBar(looked, GetScrollBarLayout(hwnd, bar)));
  return b.pos;
}

bool GetScrollInfo(HWND hwnd, int bar, SCROLLINFO& si) {
  Wnd* w = W(hwnd);
  if (!w || (bar != SB_HORZ && bar != SB_VERT)) return false;
  const ScrollBarState& b = w->bars[bar];
  if (si.fMask & SIF_RANGE) {
    si.nMin = b.min;
    si.nMax = b.max;
  }
  if (si.fMask & SIF_PAGE) si.nPage = b.page;
  if (si.fMask & SIF_POS) si.nPos = b.pos;
  if (si.fMask & SIF_TRACKPOS) si.nTrackPos = b.pressedPart == 3 ? b.trackPos : b.pos;
  return true;
}

int SetScrollPos(HWND hwnd, int bar, int pos, bool redraw) {
  Wnd* w = W(hwnd);
  if (!w || (bar != SB_HORZ && bar != SB_VERT)) return 0;
  int old = w->bars[bar].pos;
  SCROLLINFO si;
  si.fMask = SIF_POS;
  si.nPos = pos;
  SetScrollInfo(hwnd, bar, si, redraw);
  return old;
}

int GetScrollPos(HWND hwnd, int bar) {
  Wnd* w = W(hwnd);
  return w && (bar == SB_HORZ || bar == SB_VERT) ? w->bars[bar].pos : 0;
}

bool SetScrollRange(HWND hwnd, int bar, int minPos, int maxPos, bool redraw) {
  SCROLLINFO si;
  si.fMask = SIF_RANGE;
  si.nMin = minPos;
  si.nMax = maxPos;
  return SetScrollInfo(hwnd, bar, si, redraw) >= 0 || true;
}

bool ShowScrollBar(HWND hwnd, int bar, bool show) {
  Wnd* w = W(hwnd);
  if (!w) return false;
  DWORD bits = bar == SB_VERT   ? WS_VSCROLL
               : bar == SB_HORZ ? WS_HSCROLL
               : bar == SB_BOTH ? (WS_VSCROLL | WS_HSCROLL)
                                : 0;
  if (!bits) return false;
  DWORD style = show ? (w->style | bits) : (w->style & ~bits);
  if (style == w->style) return true;
  w->style = style;
  SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
               SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  return true;
}

bool EnableScrollBar(HWND hwnd, UINT bar, UINT arrows) {
  Wnd* w = W(hwnd);
  if (!w) return false;
  bool changed = false;
  auto apply = [&](int b) {
    changed = changed || w->bars[b].arrowsDisabled != arrows;
    w->bars[b].arrowsDisabled = arrows;
  };
  if (bar == SB_BOTH) {
    apply(SB_HORZ);
    apply(SB_VERT);
  } else if (bar == SB_HORZ || bar == SB_VERT) {
    apply(static_cast<int>(bar));
  } else {
    return false;
  }
  // the bars alone, and only when their arrows look otherwise
  if (changed)
    for (int b : {SB_HORZ, SB_VERT})
      if (bar == SB_BOTH || static_cast<int>(bar) == b)
        InvalidateFramePart(w, GetScrollBarLayout(hwnd, b).bar);
  return true;
}

// ---------------------------------------------------------------- system colours and metrics

COLORREF GetSysColor(int index) {
  if (index < 0 || index >= COLOR_ENDCOLORS) return 0;
  return S().sysColors[index];
}

HBRUSH GetSysColorBrush(int index) {
  return SystemBrush(index);
}

bool SetSysColors(int count, const int* indexes, const COLORREF* colors) {
  for (int i = 0; i < count; ++i)
    if (indexes[i] >= 0 && indexes[i] < COLOR_ENDCOLORS) S().sysColors[indexes[i]] = colors[i];
  for (Wnd* t : std::vector<Wnd*>(S().topLevels)) {
    Send(t, WM_SYSCOLORCHANGE, 0, 0);
    RedrawWindow(t->handle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  }
  return true;
}

int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXSCREEN: {
      auto m = talvik::gui::Screens();
      return m.empty() ? 0 : m.front().rcMonitor.Width();
    }
    case SM_CYSCREEN: {
      auto m = talvik::gui::Screens();
      return m.empty() ? 0 : m.front().rcMonitor.Height();
    }
    case SM_CXFULLSCREEN: {
      auto m = talvik::gui::Screens();
      return m.empty() ? 0 : m.front().rcWork.Width();
    }
    case SM_CYFULLSCREEN: {
      auto m = talvik::gui::Screens();
      return m.empty() ? 0 : m.front().rcWork.Height() - 19;
    }
    case SM_CXVIRTUALSCREEN:
    case SM_CYVIRTUALSCREEN: {
      RECT u;
      for (auto& m : talvik::gui::Screens()) UnionRect(u, u, m.rcMonitor);
      return index == SM_CXVIRTUALSCREEN ? u.Width() : u.Height();
    }
    case SM_CMONITORS:
      return static_cast<int>(talvik::gui::Screens().size());
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB:
      return 17;
    case SM_CYCAPTION:
      return 19;
    case SM_CXBORDER:
    case SM_CYBORDER:
      return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
      return 3;
    case SM_CXFRAME:
    case SM_CYFRAME:
      return 4;
    case SM_CXEDGE:
    case SM_CYEDGE:
      return 2;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
      return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
      return 16;
    case SM_CYMENU:
      return 19;
    case SM_CXSIZE:
    case SM_CYSIZE:
      return 18;
    case SM_CXSMSIZE:
      return 12;
    case SM_CYSMSIZE:
      return 15;
    case SM_CYSMCAPTION:
      return 16;
    case SM_CXMENUSIZE:
    case SM_CYMENUSIZE:
      return 18;
    case SM_CXMIN:
      return 112;
    case SM_CYMIN:
      return 27;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
      return 4;
    case SM_CXDRAG:
    case SM_CYDRAG:
      return 4;
    case SM_CXMENUCHECK:
    case SM_CYMENUCHECK:
      return 13;
    case SM_MOUSEWHEELPRESENT:
      return 1;
    case SM_SWAPBUTTON:
    case SM_MENUDROPALIGNMENT:  // menus drop down left-aligned under their button
      return 0;
    default:
      return 0;
  }
}

namespace {

// The Boolean system parameter a get or set action reads or writes.
bool* BoolParameter(UINT action) {
  static const std::pair<UINT, bool State::*> table[] = {
      {SPI_GETFLATMENU, &State::flatMenus},          {SPI_SETFLATMENU, &State::flatMenus},
      {SPI_GETKEYBOARDCUES, &State::keyboardCues},   {SPI_SETKEYBOARDCUES, &State::keyboardCues},
      {SPI_GETMENUANIMATION, &State::menuAnimation}, {SPI_SETMENUANIMATION, &State::menuAnimation},
      {SPI_GETMENUFADE, &State::menuFade},           {SPI_SETMENUFADE, &State::menuFade}};
  for (const auto& [a, field] : table)
    if (a == action) return &(S().*field);
  assert(false && "not a Boolean system parameter");
  return nullptr;
}

}  // namespace

bool SystemParametersInfo(UINT action, UINT param, void* value, UINT) {
  switch (action) {
    case SPI_GETWORKAREA: {
      auto m = talvik::gui::Screens();
      if (!value || m.empty()) return false;
      *static_cast<RECT*>(value) = m.front().rcWork;
      return true;
    }
    case SPI_GETWHEELSCROLLLINES:
      if (!value) return false;
      *static_cast<UINT*>(value) = 3;
      return true;
    case SPI_GETMENUSHOWDELAY:
      if (!value) return false;
      *static_cast<int*>(value) = S().menuShowDelay;
      return true;
    case SPI_SETMENUSHOWDELAY:
      S().menuShowDelay = static_cast<int>(param);
      return true;
    case SPI_GETFLATMENU:
    case SPI_GETKEYBOARDCUES:
    case SPI_GETMENUANIMATION:
    case SPI_GETMENUFADE:
      if (!value) return false;
      *static_cast<bool*>(value) = *BoolParameter(action);
      return true;
    case SPI_SETFLATMENU:
    case SPI_SETKEYBOARDCUES:
    case SPI_SETMENUANIMATION:
    case SPI_SETMENUFADE:
      // The new value travels in the value pointer itself, as the system's own call has it.
      *BoolParameter(action) = value != nullptr;
      return true;
    case SPI_GETNONCLIENTMETRICS: {
      if (!value) return false;
      auto& m = *static_cast<NONCLIENTMETRICS*>(value);
      m = NONCLIENTMETRICS();
      LOGFONT lf;
      lf.lfHeight = -11;  // 8 points at 96 pixels per inch
      lf.lfFaceName = MapFontFamily("Tahoma");
      m.lfCaptionFont = m.lfSmCaptionFont = m.lfStatusFont = m.lfMessageFont = lf;
      m.lfCaptionFont.lfWeight = FW_BOLD;
      m.lfMenuFont = S().menuFontSet ? S().menuFont : lf;
      return true;
    }
    case SPI_SETNONCLIENTMETRICS:
      if (!value) return false;
      S().menuFont = static_cast<const NONCLIENTMETRICS*>(value)->lfMenuFont;
      S().menuFontSet = true;
      return true;
    default:
      return false;
  }
}

bool PlaySound(const std::string& sound, HINSTANCE, DWORD flags) {
  auto sink = S().soundSink;  // a sink may replace itself while it runs
  if (sink) sink(sound, flags);
  return true;
}

UINT GetDoubleClickTime() {
  return S().doubleClickTime;
}
bool SetDoubleClickTime(UINT ms) {
  S().doubleClickTime = ms ? ms : 500;
  return true;
}

void MessageBeep(UINT) {
  if (auto* b = S().backend) b->Beep();
}

// ---------------------------------------------------------------- monitors

namespace talvik::gui {

void SetScreens(const std::vector<MONITORINFO>& monitors) {
  detail::S().screens = monitors;
}

void SetSoundSink(SoundSink sink) {
  detail::S().soundSink = std::move(sink);
}

int InstalledHookCount(int hookType) {
  int n = 0;
  for (auto& h : detail::S().hooks) n += h.type == hookType;
  return n;
}

std::vector<MONITORINFO> Screens() {
  auto& s = detail::S();
  if (!s.screens.empty()) return s.screens;
  if (s.backend) {
    auto m = s.backend->Screens();
    if (!m.empty()) return m;
  }
  MONITORINFO mi;
  mi.rcMonitor = Rect(0, 0, 1920, 1080);
  mi.rcWork = Rect(0, 0, 1920, 1040);
  mi.dwFlags = MONITORINFOF_PRIMARY;
  return {mi};
}

}  // namespace talvik::gui

namespace {

HMONITOR MonitorHandle(std::size_t index) {
  return reinterpret_cast<HMONITOR>(index + 1);
}

long long DistanceSq(const RECT& r, POINT p) {
  long long dx = p.X < r.Left ? r.Left - p.X : p.X >= r.Right ? p.X - r.Right + 1 : 0;
  long long dy = p.Y < r.Top ? r.Top - p.Y : p.Y >= r.Bottom ? p.Y - r.Bottom + 1 : 0;
  return dx * dx + dy * dy;
}

}  // namespace

HMONITOR MonitorFromRect(const RECT& r, DWORD flags) {
  auto m = talvik::gui::Screens();
  std::size_t best = m.size();
  long long bestArea = 0;
  for (std::size_t i = 0; i < m.size(); ++i) {
    RECT x;
    if (IntersectRect(x, r, m[i].rcMonitor)) {
      long long a = static_cast<long long>(x.Width()) * x.Height();
      if (a > bestArea) {
        bestArea = a;
        best = i;
      }
    }
  }
  if (best < m.size()) return MonitorHandle(best);
  if (flags == MONITOR_DEFAULTTONULL || m.empty()) return nullptr;
  if (flags == MONITOR_DEFAULTTOPRIMARY) return MonitorHandle(0);
  POINT c{(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
  std::size_t nearest = 0;
  for (std::size_t i = 1; i < m.size(); ++i)
    if (DistanceSq(m[i].rcMonitor, c) < DistanceSq(m[nearest].rcMonitor, c)) nearest = i;
  return MonitorHandle(nearest);
}

HMONITOR MonitorFromPoint(POINT p, DWORD flags) {
  return MonitorFromRect(Bounds(p.X, p.Y, 1, 1), flags);
}

HMONITOR MonitorFromWindow(HWND hwnd, DWORD flags) {
  RECT r;
  if (!GetWindowRect(hwnd, r)) return flags == MONITOR_DEFAULTTONULL ? nullptr : MonitorHandle(0);
  return MonitorFromRect(r, flags);
}

bool GetMonitorInfo(HMONITOR monitor, MONITORINFO& info) {
  auto m = talvik::gui::Screens();
  auto i = reinterpret_cast<std::uintptr_t>(monitor);
  if (i == 0 || i > m.size()) return false;
  info = m[i - 1];
  return true;
}
