// The window manager: geometry, visibility, enabled state, invalidation and painting.
#include <algorithm>
#include <cassert>
#include <optional>
#include <utility>

#include "platform/gui/Windows.h"
#include "platform/gui/WindowsState.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"

using namespace talvik::gui::detail;

namespace talvik::gui::detail {

namespace {

// Whether a change of the window's state goes to the desktop: not one the layer takes from it.
bool TellsDesktop(const Wnd* w) {
  return w->host && S().takingDesktopState != w->handle;
}

// The layer has just told the desktop a state of the window: what the desktop holds until it shows
// it is the way there.
void AskedDesktop(Wnd* w) {
  w->desktopAsked = std::max<std::uint64_t>(Ticks(), 1);
  w->desktopDiffers = 0;
}

// a - b as a list of rectangles
void Subtract(std::vector<RECT>& rects, const RECT& b) {
  std::vector<RECT> out;
  for (const RECT& a : rects) {
    RECT i;
    if (!IntersectRect(i, a, b)) {
      out.push_back(a);
      continue;
    }
    if (a.Top < i.Top) out.push_back({a.Left, a.Top, a.Right, i.Top});
    if (i.Bottom < a.Bottom) out.push_back({a.Left, i.Bottom, a.Right, a.Bottom});
    if (a.Left < i.Left) out.push_back({a.Left, i.Top, i.Left, i.Bottom});
    if (i.Right < a.Right) out.push_back({i.Right, i.Top, a.Right, i.Bottom});
  }
  rects.swap(out);
}

void Intersect(std::vector<RECT>& rects, const RECT& b) {
  std::vector<RECT> out;
  for (const RECT& a : rects) {
    RECT i;
    if (IntersectRect(i, a, b)) out.push_back(i);
  }
  rects.swap(out);
}

// What a window covers in top-level coordinates: its rectangle, or its window region.
void SubtractWindow(std::vector<RECT>& rects, const Wnd* c) {
  RECT r = RectInRoot(c);
  if (!c->windowRgn) {
    Subtract(rects, r);
    return;
  }
  for (RECT part : RegionRects(c->windowRgn)) {
    OffsetRect(part, r.Left, r.Top);
    RECT clipped;
    if (IntersectRect(clipped, part, r)) Subtract(rects, clipped);
  }
}

// The visible part of `area` (in w's window coordinates) in top-level window coordinates: clipped by
// the ancestors' client areas, by siblings above each window on the way up and by w's own children.
std::vector<RECT> VisibleRects(Wnd* w, RECT area, bool clipChildren) {
  RECT inRoot = RectInRoot(w);
  OffsetRect(area, inRoot.Left, inRoot.Top);
  std::vector<RECT> rects{area};
  if (clipChildren) {
    for (Wnd* c : w->children)
      if (c->style & WS_VISIBLE) SubtractWindow(rects, c);
  }
  for (Wnd* cur = w; cur->parent; cur = cur->parent) {
    Wnd* p = cur->parent;
    RECT pr = RectInRoot(p);
    RECT pc = p->client;
    OffsetRect(pc, pr.Left, pr.Top);
    Intersect(rects, pc);
    for (Wnd* sib : p->children) {
      if (sib == cur) break;  // only those above
      if (sib->style & WS_VISIBLE) SubtractWindow(rects, sib);
    }
  }
  if (w->windowRgn) {
    // the window region limits drawing to its bounding rectangles
    std::vector<RECT> limited;
    for (RECT r : RegionRects(w->windowRgn)) {
      OffsetRect(r, inRoot.Left, inRoot.Top);
      for (const RECT& a : rects) {
        RECT i;
        if (IntersectRect(i, a, r)) limited.push_back(i);
      }
    }
    rects.swap(limited);
  }
  return rects;
}

// More separate rectangles than this and the update area becomes their bounding box.
constexpr std::size_t kMaxUpdateParts = 16;

bool Holds(const RECT& outer, const RECT& inner) {
  return outer.Left <= inner.Left && outer.Top <= inner.Top && outer.Right >= inner.Right &&
         outer.Bottom >= inner.Bottom;
}

// The one rectangle two make when one holds the other or they line up edge to edge (the same
// columns touching or overlapping vertically, or the same rows horizontally).
bool Joined(const RECT& a, const RECT& b, RECT& out) {
  const bool columns = a.Left == b.Left && a.Right == b.Right && a.Top <= b.Bottom && b.Top <= a.Bottom;
  const bool rows = a.Top == b.Top && a.Bottom == b.Bottom && a.Left <= b.Right && b.Left <= a.Right;
  if (!Holds(a, b) && !Holds(b, a) && !columns && !rows) return false;
  UnionRect(out, a, b);
  return true;
}

void AddUpdate(Wnd* w, RECT clientRect, bool erase) {
  RECT c = Bounds(0, 0, w->client.Width(), w->client.Height());
  RECT r;
  if (!IntersectRect(r, clientRect, c)) return;
  if (erase) w->erase = true;
  std::vector<RECT>& parts = w->updateParts;
  for (bool merged = true; merged;) {
    merged = false;
    for (auto it = parts.begin(); it != parts.end(); ++it) {
      RECT joined;
      if (!Joined(*it, r, joined)) continue;
      if (EqualRect(joined, *it)) return;  // already waiting for paint
      r = joined;
      parts.erase(it);
      merged = true;
      break;
    }
  }
  parts.push_back(r);
  UnionRect(w->update, w->update, r);
  if (parts.size() > kMaxUpdateParts) parts.assign(1, w->update);
}

void InvalidateTree(Wnd* w, RECT clientRect, bool erase, bool children) {
  AddUpdate(w, clientRect, erase);
  if (!children) return;
  for (Wnd* c : w->children) {
    if (!(c->style & WS_VISIBLE)) continue;
    RECT inChild = clientRect;
    OffsetRect(inChild, -(c->rect.Left + c->client.Left), -(c->rect.Top + c->client.Top));
    RECT whole = Bounds(-c->client.Left, -c->client.Top, c->rect.Width(), c->rect.Height());
    RECT i;
    if (IntersectRect(i, inChild, whole)) {
      RECT clientOnly;
      if (!IntersectRect(clientOnly, i, Bounds(0, 0, c->client.Width(), c->client.Height())) ||
          !EqualRect(clientOnly, i))
        InvalidateFrame(c);
      InvalidateTree(c, inChild, erase, true);
    }
  }
}

}  // namespace

RECT ClientRectInWindowImpl(Wnd* w) {
  return w->client;
}

void ReleaseCaptureOf(Wnd* w) {
  auto& s = S();
  if (s.capture != w->handle) return;
  s.capture = nullptr;
  if (Wnd* root = Root(w); root && root->host) root->host->GrabChanged(false);
  // A window being destroyed hears it too (before its WM_DESTROY): a drag or a tracking loop it
  // runs ends there.
  Send(w, WM_CAPTURECHANGED, 0, 0);
}

}  // namespace talvik::gui::detail

// ---------------------------------------------------------------- geometry

bool GetWindowRect(HWND hwnd, RECT& r) {
  Wnd* w = W(hwnd);
  if (!w) return false;
  POINT o = WindowOriginOnScreen(w);
  r = Bounds(o.X, o.Y, w->rect.Width(), w->rect.Height());
  return true;
}

bool GetClientRect(HWND hwnd, RECT& r) {
  Wnd* w = W(hwnd);
  if (!w) return false;
  r = Bounds(0, 0, w->client.Width(), w->client.Height());
  return true;
}

bool ClientToScreen(HWND hwnd, POINT& p) {
  Wnd* w = W(hwnd);
  if (!w) return false;
  POINT o = ClientOriginOnScreen(w);
  p.X += o.X;
  p.Y += o.Y;
  return true;
}

bool ScreenToClient(HWND hwnd, POINT& p) {
  Wnd* w = W(hwnd);
  if (!w) return false;
  POINT o = ClientOriginOnScreen(w);
  p.X -= o.X;
  p.Y -= o.Y;
  return true;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
  POINT a{0, 0}, b{0, 0};
  if (from) ClientToScreen(from, a);
  if (to) ClientToScreen(to, b);
  int dx = a.X - b.X, dy = a.Y - b.Y;
  for (UINT i = 0; i < count; ++i) {
    points[i].X += dx;
    points[i].Y += dy;
  }
  return MAKELPARAM(dx, dy);
}

namespace {

// Shows or hides a window; `redraw` false (SWP_NOREDRAW) leaves a window being shown unpainted, for
// a caller that draws it itself.
void ApplyShowState(Wnd* w, bool show, bool redraw) {
  auto& s = S();
  bool was = w->style & WS_VISIBLE;
  if (was == show) return;
  if (show) {
    w->style |= WS_VISIBLE;
    if (redraw) {
      InvalidateFrame(w);
      // every visible window under it becomes visible with it: they all repaint, however deep (what
      // their areas showed was painted by whatever stood there before)
      InvalidateTree(w, Bounds(0, 0, w->client.Width(), w->client.Height()), true, true);
    }
  } else {
    if (w->parent && Visible(w->parent)) {
      RECT r = w->rect;
      OffsetRect(r, -w->parent->client.Left, -w->parent->client.Top);
      RECT r2 = w->rect;
      InvalidateRect(w->parent->handle, &r2, true);
    }
    w->style &= ~WS_VISIBLE;
    // focus, capture and activation leave hidden windows
    if (Wnd* c = W(s.capture); c && (c == w || IsChild(w->handle, c->handle))) ReleaseCaptureOf(c);
    if (Wnd* f = W(s.focus); f && (f == w || IsChild(w->handle, f->handle))) {
      if (w->parent)
        SetFocus(w->parent->handle);
      else
        SetFocus(nullptr);
    }
    if (!w->parent && s.active == w->handle) {
      // activate the owner, else the next visible, enabled top-level window
      Wnd* next = (w->owner && Visible(w->owner) && !(w->owner->style & WS_DISABLED)) ? w->owner : nullptr;
      if (!next)
        for (Wnd* t : s.topLevels)
          if (t != w && (t->style & WS_VISIBLE) && !(t->style & WS_DISABLED) &&
              !(t->exStyle & WS_EX_NOACTIVATE) && !(t->exStyle & WS_EX_TOOLWINDOW && t->style & WS_POPUP)) {
            next = t;
            break;
          }
      if (next)
        SetActiveWindow(next->handle);
      else
        SetActiveWindow(nullptr);
    }
  }
  if (!w->parent && w->host) {
    if (show) SizeLimitsChanged(w->handle);
    if (W(w->handle) == w && w->host) {
      w->host->VisibilityChanged(show);
      AskedDesktop(w);
    }
  }
}

// The top-level windows that W owns stand above it, as they stood among themselves: a window moved
// up in the order takes them along.
void KeepOwnedAbove(Wnd* w) {
  auto& list = S().topLevels;
  std::vector<Wnd*> owned;
  for (auto it = std::find(list.begin(), list.end(), w); it != list.end(); ++it)
    if ((*it)->owner == w && ((*it)->exStyle & WS_EX_TOPMOST) == (w->exStyle & WS_EX_TOPMOST))
      owned.push_back(*it);
  if (owned.empty()) return;
  for (Wnd* o : owned) list.erase(std::find(list.begin(), list.end(), o));
  list.insert(std::find(list.begin(), list.end(), w), owned.begin(), owned.end());
  for (Wnd* o : owned) KeepOwnedAbove(o);
}

}  // namespace

void SizeLimitsChanged(HWND hwnd) {
  Wnd* w = W(hwnd);
  if (!w || w->parent || !w->host) return;
  MINMAXINFO mm;
  Send(w, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mm));
  if (!(w = W(hwnd)) || !w->host) return;
  // the system's own least size and the screen-wide most are the desktop's business already
  constexpr int kNoMost = 32767;
  const SIZE least{mm.ptMinTrackSize.X > GetSystemMetrics(SM_CXMIN) ? mm.ptMinTrackSize.X : 0,
                   mm.ptMinTrackSize.Y > GetSystemMetrics(SM_CYMIN) ? mm.ptMinTrackSize.Y : 0};
  const SIZE most{mm.ptMaxTrackSize.X > 0 && mm.ptMaxTrackSize.X < kNoMost ? mm.ptMaxTrackSize.X : 0,
                  mm.ptMaxTrackSize.Y > 0 && mm.ptMaxTrackSize.Y < kNoMost ? mm.ptMaxTrackSize.Y : 0};
  w->host->SizeLimitsChanged(least, most);
}

bool SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  Wnd* w = W(hwnd);
  if (!w) return false;
  auto& s = S();
  WINDOWPOS pos;
  pos.hwnd = hwnd;
  pos.hwndInsertAfter = insertAfter;
  pos.x = (flags & SWP_NOMOVE) ? w->rect.Left : x;
  pos.y = (flags & SWP_NOMOVE) ? w->rect.Top : y;
  pos.cx = (flags & SWP_NOSIZE) ? w->rect.Width() : std::max(0, cx);
  pos.cy = (flags & SWP_NOSIZE) ? w->rect.Height() : std::max(0, cy);
  pos.flags = flags;
  if (!(flags & SWP_NOSENDCHANGING)) Send(w, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
  if (!(w = W(hwnd))) return false;
  flags = pos.flags;
  RECT oldRect = w->rect;
  RECT oldClient = w->client;
  RECT newRect = WindowBounds(pos.x, pos.y, pos.cx, pos.cy);
  bool moved = newRect.Left != oldRect.Left || newRect.Top != oldRect.Top;
  bool sized = newRect.Width() != oldRect.Width() || newRect.Height() != oldRect.Height();
  bool visible = Visible(w);
  if (moved || sized || (flags & SWP_FRAMECHANGED)) {
    if (visible && w->parent && !(flags & SWP_NOREDRAW)) InvalidateRect(w->parent->handle, &oldRect, true);
    w->rect = newRect;
    if (sized || (flags & SWP_FRAMECHANGED)) RecalcClient(w, &pos);
    if (!w->parent) {
      if (w->surface) ResizeSurface(w->surface, std::max(1, newRect.Width()), std::max(1, newRect.Height()));
      if (w->host) w->host->GeometryChanged(w->rect);
    }
    if (!(flags & SWP_NOREDRAW)) {
      InvalidateFrame(w);
      bool whole = sized && (!w->parent || (w->cls.style & (CS_HREDRAW | CS_VREDRAW)) || true);
      if (whole || moved) InvalidateTree(w, Bounds(0, 0, w->client.Width(), w->client.Height()), true, true);
      if (visible && w->parent) InvalidateRect(w->parent->handle, &w->rect, true);
    }
  }
  if (!(flags & SWP_NOZORDER)) {
    if (insertAfter == HWND_TOPMOST && !w->parent) w->exStyle |= WS_EX_TOPMOST;
    if (insertAfter == HWND_NOTOPMOST && !w->parent) w->exStyle &= ~WS_EX_TOPMOST;
    RemoveFromZ(w);
    if (insertAfter == HWND_BOTTOM)
      InsertZ(w, nullptr, false);
    else if (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST)
      InsertZ(w, nullptr, true);
    else
      InsertZ(w, W(insertAfter), true);
    if (!w->parent) KeepOwnedAbove(w);
    if (!w->parent && w->host && (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST)) w->host->Raise();
    if (w->parent && visible) InvalidateRect(w->parent->handle, &w->rect, true);
  }
  if (flags & SWP_SHOWWINDOW) ApplyShowState(w, true, !(flags & SWP_NOREDRAW));
  if (flags & SWP_HIDEWINDOW) ApplyShowState(w, false, true);
  if (!(w = W(hwnd))) return true;
  if ((flags & SWP_SHOWWINDOW) && !w->parent && !(flags & SWP_NOACTIVATE) && !(w->exStyle & WS_EX_NOACTIVATE))
    SetActiveWindow(hwnd);
  if (!(w = W(hwnd))) return true;
  pos.x = w->rect.Left;
  pos.y = w->rect.Top;
  pos.cx = w->rect.Width();
  pos.cy = w->rect.Height();
  bool clientSized = oldClient.Width() != w->client.Width() || oldClient.Height() != w->client.Height();
  bool clientMoved = oldClient.Left != w->client.Left || oldClient.Top != w->client.Top;
  if (!moved && !clientMoved)
    pos.flags |= SWP_NOMOVE;
  else
    pos.flags &= ~SWP_NOMOVE;
  if (!sized && !clientSized)
    pos.flags |= SWP_NOSIZE;
  else
    pos.flags &= ~SWP_NOSIZE;
  Send(w, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
  (void)s;
  return true;
}

bool MoveWindow(HWND hwnd, int x, int y, int width, int height, bool repaint) {
  return SetWindowPos(hwnd, nullptr, x, y, width, height,
                      SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

bool BringWindowToTop(HWND hwnd) {
  return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

namespace {

// A window's place told again as it stands (WM_WINDOWPOSCHANGING and WM_WINDOWPOSCHANGED, nothing
// moved): it went to its icon or came back from it.
constexpr UINT kPlaceUnchanged = SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;

// A minimised window comes back in the state it went down from, maximised or normal.
void Unminimize(Wnd* w) {
  if (!w->minimized) return;
  w->minimized = false;
  if (!w->parent && TellsDesktop(w)) {
    w->host->MinimizedChanged(false);
    AskedDesktop(w);
  }
  const HWND hwnd = w->handle;
  Send(w, WM_SIZE, w->maximized ? SIZE_MAXIMIZED : SIZE_RESTORED,
       MAKELPARAM(w->client.Width(), w->client.Height()));
  // the window came back from its icon to its place: those that follow its place and showing (the
  // floating windows it owns) hear of it
  if ((w = W(hwnd)) && !w->parent) SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, kPlaceUnchanged);
}

}  // namespace

bool ShowWindow(HWND hwnd, int cmd) {
  Wnd* w = W(hwnd);
  if (!w) return false;
  bool was = w->style & WS_VISIBLE;
  bool show = cmd != SW_HIDE;
  if (show != was) Send(w, WM_SHOWWINDOW, show, 0);
  if (!(w = W(hwnd))) return was;
  UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER;
  bool activate =
      !(cmd == SW_SHOWNA || cmd == SW_SHOWNOACTIVATE || cmd == SW_SHOWMINNOACTIVE || cmd == SW_HIDE);
  if (!activate) flags |= SWP_NOACTIVATE;
  switch (cmd) {
    case SW_HIDE:
      if (!was) return false;
      return SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, flags | SWP_HIDEWINDOW), was;
    case SW_SHOWMAXIMIZED:
      if (!w->maximized && !w->parent) {
        CallHooks(WH_CBT, HCBT_MINMAX, reinterpret_cast<WPARAM>(hwnd), cmd);
        w->restoreRect = w->rect;
        w->maximized = true;
        if (w->minimized) {
          w->minimized = false;
          if (TellsDesktop(w)) {
            w->host->MinimizedChanged(false);
            AskedDesktop(w);
          }
        }
        MONITORINFO mi;
        GetMonitorInfo(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), mi);
        RECT a = mi.rcWork;
        SetWindowPos(hwnd, nullptr, a.Left, a.Top, a.Width(), a.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
        // the desktop is told once the window stands there: a size asked of a window the desktop
        // maximised ends its maximised state
        if ((w = W(hwnd)) && w->maximized && TellsDesktop(w)) {
          w->host->MaximizedChanged(true);
          AskedDesktop(w);
        }
      } else if (w->parent && !w->maximized) {
        w->restoreRect = w->rect;
        w->maximized = true;
        RECT pc;
        GetClientRect(w->parent->handle, pc);
        SetWindowPos(hwnd, nullptr, 0, 0, pc.Width(), pc.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
      } else {
        Unminimize(w);
      }
      break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
      if (!w->parent) {
        // what holds the mouse (a dropped-down list, a menu) lets go: nothing stays on the desktop
        // over a window that went down
        if (HWND capture = S().capture) SendMessage(capture, WM_CANCELMODE, 0, 0);
        if (!(w = W(hwnd))) return was;
        const bool already = w->minimized;
        w->minimized = true;
        if (!already && TellsDesktop(w)) {
          w->host->MinimizedChanged(true);
          AskedDesktop(w);
        }
        Send(w, WM_SIZE, SIZE_MINIMIZED, 0);
        if (!already && W(hwnd))
          SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, kPlaceUnchanged);  // went to its icon
        if (!(w = W(hwnd))) return was;
        if (S().active == hwnd) SetActiveWindow(H(w->owner));
      } else {
        w->minimized = true;
      }
      return was;
    case SW_RESTORE:
    case SW_SHOWNORMAL: {
      // restoring a minimised window brings back the state it went down from; the normal show
      // command leaves both states
      const bool unmaximize = w->maximized && (cmd == SW_SHOWNORMAL || !w->minimized);
      if (unmaximize) {
        w->maximized = false;
        if (!w->parent && TellsDesktop(w)) {
          w->host->MaximizedChanged(false);
          AskedDesktop(w);
        }
      }
      Unminimize(w);
      if (!(w = W(hwnd))) return was;
      if (unmaximize) {
        RECT r = w->restoreRect;
        SetWindowPos(hwnd, nullptr, r.Left, r.Top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
      }
      break;
    }
    default:
      break;
  }
  if (!(w = W(hwnd))) return was;
  if (!(w->style & WS_VISIBLE))
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, flags | SWP_SHOWWINDOW);
  else if (activate && !w->parent && !(w->exStyle & WS_EX_NOACTIVATE))
    SetActiveWindow(hwnd);
  return was;
}

void talvik::gui::detail::DesktopMaximized(HWND hwnd, bool maximized) {
  Wnd* w = W(hwnd);
  if (!w || w->parent || w->maximized == maximized) return;
  w->maximized = maximized;
  if (maximized) {
    w->restoreRect = w->rect;
    Send(w, WM_SIZE, w->minimized ? SIZE_MINIMIZED : SIZE_MAXIMIZED,
         MAKELPARAM(w->client.Width(), w->client.Height()));
    return;
  }
  RECT r = w->restoreRect;
  const SIZE before{w->rect.Width(), w->rect.Height()};
  SetWindowPos(hwnd, nullptr, r.Left, r.Top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
  // the desktop may have put the window at its normal bounds already: it hears of the restore anyway
  if ((w = W(hwnd)) && !w->maximized && w->rect.Width() == before.cx && w->rect.Height() == before.cy)
    Send(w, WM_SIZE, w->minimized ? SIZE_MINIMIZED : SIZE_RESTORED,
         MAKELPARAM(w->client.Width(), w->client.Height()));
}

namespace {

// Whether the desktop shows the window in the state the layer holds. A window that has an owner goes
// down to an icon and comes back with it, as the desktop keeps owned windows: its own state is only
// maximised or not; down to an icon, a window keeps its maximised state for when it comes back.
bool DesktopAgrees(const Wnd* w, const talvik::gui::DesktopWindowState& desktop) {
  if (!w->owner && desktop.iconic != w->minimized) return false;
  return desktop.iconic || desktop.maximized == w->maximized;
}

}  // namespace

std::uint64_t talvik::gui::detail::DesktopStateChanged(HWND hwnd, DesktopRead read) {
  Wnd* w = W(hwnd);
  if (!w || w->parent || !w->host || !Visible(w)) return 0;  // a hidden window's state is the layer's alone
  const std::optional<talvik::gui::DesktopWindowState> desktop = w->host->DesktopState();
  if (!desktop || !desktop->managed) return 0;  // withdrawn, or being taken in: nothing settled to read
  const std::uint64_t now = Ticks();
  if (DesktopAgrees(w, *desktop)) {
    w->desktopAsked = w->desktopDiffers = 0;
    return 0;
  }
  if (w->desktopAsked) {
    // on its way to what it was told, until it had its time for it and would not
    const std::uint64_t since = now - w->desktopAsked;
    if (since < kDesktopAnswerMs) return kDesktopAnswerMs - since;
    w->desktopAsked = 0;
    w->desktopDiffers = now - kDesktopSteadyMs;  // what it shows now stands as its own
    w->desktopDiffersRect = w->rect;
  }
  // A state of the desktop's own counts once it holds a moment: a window manager taking a window in
  // shows its states, clears them for a moment and sets them again.
  if (!w->desktopDiffers) {
    w->desktopDiffers = now;
    // the bounds before the desktop's change, which may have begun with its moves
    w->desktopDiffersRect =
        w->desktopMoved && now - w->desktopMoved <= kDesktopChangeMs ? w->desktopMovedFrom : w->rect;
  }
  if (read == DesktopRead::kSteady && now - w->desktopDiffers < kDesktopSteadyMs)
    return kDesktopSteadyMs - (now - w->desktopDiffers);
  const RECT before = w->desktopDiffersRect;
  w->desktopDiffers = 0;
  // The desktop's own change (the user's, through its frame or its window list), heard as the frame's
  // commands would be: a minimise and a restore as system commands, a maximise as the desktop's.
  {
    const HWND taking = std::exchange(S().takingDesktopState, hwnd);
    TScopeExit restore([taking] { S().takingDesktopState = taking; });
    if (!w->owner && desktop->iconic != w->minimized)
      SendMessage(hwnd, WM_SYSCOMMAND, desktop->iconic ? SC_MINIMIZE : SC_RESTORE, 0);
    if ((w = W(hwnd)) && !desktop->iconic && desktop->maximized != w->maximized && w->host) {
      w->host->DesktopMaximizing(desktop->maximized);
      DesktopMaximized(hwnd, desktop->maximized);
      // (the desktop may have moved the window meanwhile: its normal bounds are those it had before)
      if ((w = W(hwnd)) && w->maximized) w->restoreRect = before;
    }
  }
  if (!(w = W(hwnd)) || !Visible(w) || !w->host) return 0;
  if (DesktopAgrees(w, *desktop)) {
    w->desktopAsked = 0;  // whatever the window told on the way, the desktop shows it
  } else {
    // the program kept a state of its own (it refused the command): the desktop is told it again
    if (!w->owner && desktop->iconic != w->minimized) w->host->MinimizedChanged(w->minimized);
    if (!w->minimized && desktop->maximized != w->maximized) w->host->MaximizedChanged(w->maximized);
    AskedDesktop(w);
  }
  // one state: the desktop shows the layer's, or has just been told it
  assert(DesktopAgrees(w, *desktop) || w->desktopAsked != 0);
  return w->desktopAsked ? kDesktopAnswerMs : 0;
}

void talvik::gui::detail::DesktopMoving(HWND hwnd) {
  Wnd* w = W(hwnd);
  if (!w || w->parent || w->minimized || w->maximized) return;
  const std::uint64_t now = Ticks();
  if (!w->desktopMoved || now - w->desktopMoved > kDesktopChangeMs) w->desktopMovedFrom = w->rect;
  w->desktopMoved = std::max<std::uint64_t>(now, 1);
}

bool IsWindowVisible(HWND hwnd) {
  Wnd* w = W(hwnd);
  return w && Visible(w);
}

bool IsIconic(HWND hwnd) {
  Wnd* w = W(hwnd);
  return w && w->minimized;
}

bool IsZoomed(HWND hwnd) {
  Wnd* w = W(hwnd);
  return w && w->maximized;
}

bool GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT& placement) {
  Wnd* w = W(hwnd);
  if (!w) return false;
  placement.flags = 0;
  placement.showCmd = w->minimized ? SW_SHOWMINIMIZED : w->maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
  placement.ptMinPosition = POINT{-1, -1};
  placement.ptMaxPosition = w->maximized ? POINT{w->rect.Left, w->rect.Top} : POINT{-1, -1};
  placement.rcNormalPosition = w->maximized ? w->restoreRect : w->rect;
  return true;
}

bool SetWindowPlacement(HWND hwnd, const WINDOWPLACEMENT& placement) {
  Wnd* w = W(hwnd);
  if (!w) return false;
  const RECT& r = placement.rcNormalPosition;
  if (w->maximized)
    w->restoreRect = r;
  else
    SetWindowPos(hwnd, nullptr, r.Left, r.Top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
  if (!(w = W(hwnd))) return false;
  switch (placement.showCmd) {
    case SW_SHOWMAXIMIZED:
      if (!w->maximized || w->minimized) ShowWindow(hwnd, SW_SHOWMAXIMIZED);
      break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
      if (!w->minimized) ShowWindow(hwnd, static_cast<int>(placement.showCmd));
      break;
    case SW_HIDE:
      ShowWindow(hwnd, SW_HIDE);
      break;
    default:
      if (w->maximized || w->minimized) ShowWindow(hwnd, SW_SHOWNORMAL);
      break;
  }
  return true;
}

bool EnableWindow(HWND hwnd, bool enable) {
  Wnd* w = W(hwnd);
  if (!w) return false;
  bool wasDisabled = w->style & WS_DISABLED;
  if (enable == !wasDisabled) return wasDisabled;
  auto& s = S();
  if (!enable) {
    // a window being disabled gives up the mouse and, with it, any mode it runs
    if (Wnd* c = W(s.capture); c && (c == w || IsChild(hwnd, c->handle))) Send(c, WM_CANCELMODE, 0, 0);
    w->style |= WS_DISABLED;
    if (Wnd* f = W(s.focus); f && (f == w || IsChild(hwnd, f->handle))) {
      if (w->parent) SetFocus(nullptr);
    }
  } else {
    w->style &= ~WS_DISABLED;
  }
  if (W(hwnd)) Send(w, WM_ENABLE, enable, 0);
  return wasDisabled;
}

bool IsWindowEnabled(HWND hwnd) {
  Wnd* w = W(hwnd);
  return w && !(w->style & WS_DISABLED);
}

HWND ChildWindowFromPoint(HWND parent, POINT client) {
  Wnd* p = W(parent);
  if (!p) return nullptr;
  if (!PtInRect(Bounds(0, 0, p->client.Width(), p->client.Height()), client)) return nullptr;
  for (Wnd* c : p->children)
    if ((c->style & WS_VISIBLE) && PtInRect(c->rect, client)) return c->handle;
  return parent;
}

namespace {

// The deepest visible, enabled window under a point given in w's window coordinates.
Wnd* HitChild(Wnd* w, POINT inWindow) {
  POINT inClient{inWindow.X - w->client.Left, inWindow.Y - w->client.Top};
  if (!PtInRect(Bounds(0, 0, w->client.Width(), w->client.Height()), inClient)) return w;
  for (Wnd* c : w->children) {
    if (!(c->style & WS_VISIBLE) || !PtInRect(c->rect, inClient)) continue;
    if (c->windowRgn) {
      bool inside = false;
      for (const RECT& r : RegionRects(c->windowRgn))
        if (PtInRect(r, POINT{inClient.X - c->rect.Left, inClient.Y - c->rect.Top})) inside = true;
      if (!inside) continue;
    }
    if (c->style & WS_DISABLED) return w;  // disabled windows pass the point to their parent
    return HitChild(c, POINT{inClient.X - c->rect.Left, inClient.Y - c->rect.Top});
  }
  return w;
}

}  // namespace

HWND WindowFromPoint(POINT screen) {
  for (Wnd* t : S().topLevels) {
    if (!(t->style & WS_VISIBLE) || t->minimized || !PtInRect(t->rect, screen)) continue;
    return HitChild(t, POINT{screen.X - t->rect.Left, screen.Y - t->rect.Top})->handle;
  }
  return nullptr;
}

// ---------------------------------------------------------------- invalidation and painting

bool InvalidateRect(HWND hwnd, const RECT* r, bool erase) {
  if (!hwnd) {
    for (Wnd* t : S().topLevels) InvalidateRect(t->handle, nullptr, erase);
    return true;
  }
  Wnd* w = W(hwnd);
  if (!w) return false;
  RECT area = r ? *r : Bounds(0, 0, w->client.Width(), w->client.Height());
  InvalidateTree(w, area, erase, !(w->style & WS_CLIPCHILDREN));
  return true;
}

bool ValidateRect(HWND hwnd, const RECT* r) {
  Wnd* w = W(hwnd);
  if (!w) return false;
  if (!r) {
    w->update = RECT{};
    w->updateParts.clear();
    w->erase = false;
    w->internalPaint = false;
    return true;
  }
  // each rectangle of the update area shrinks only when an edge of it is covered completely
  std::vector<RECT> kept;
  RECT box{};
  for (RECT u : w->updateParts) {
    if (r->Left <= u.Left && r->Right >= u.Right) {
      if (r->Top <= u.Top) u.Top = std::max(u.Top, r->Bottom);
      if (r->Bottom >= u.Bottom) u.Bottom = std::min(u.Bottom, r->Top);
    }
    if (r->Top <= u.Top && r->Bottom >= u.Bottom) {
      if (r->Left <= u.Left) u.Left = std::max(u.Left, r->Right);
      if (r->Right >= u.Right) u.Right = std::min(u.Right, r->Left);
    }
    if (u.IsEmpty()) continue;
    kept.push_back(u);
    UnionRect(box, box, u);
  }
  w->updateParts.swap(kept);
  w->update = box;
  return true;
}

bool GetUpdateRect(HWND hwnd, RECT* r, bool) {
  Wnd* w = W(hwnd);
  if (!w) return false;
  if (r) *r = w->update;
  return !w->update.IsEmpty();
}

bool UpdateWindow(HWND hwnd) {
  Wnd* w = W(hwnd);
  if (!w) return false;
  if (Visible(w) && (!w->update.IsEmpty() || w->frameDirty || w->internalPaint)) {
    Send(w, WM_PAINT, 0, 0);
    if ((w = W(hwnd))) {
      w->internalPaint = false;
      w->frameDirty = false;
    }
  }
  return true;
}

bool RedrawWindow(HWND hwnd, const RECT* r, HRGN region, UINT flags) {
  Wnd* w = W(hwnd);
  if (!w) return false;
  RECT area = r ? *r : Bounds(0, 0, w->client.Width(), w->client.Height());
  if (region) {
    RECT box;
    for (const RECT& rr : RegionRects(region)) UnionRect(box, box, rr);
    area = box;
  }
  bool children = (flags & RDW_ALLCHILDREN) || (!(flags & RDW_NOCHILDREN) && !(w->style & WS_CLIPCHILDREN));
  if (flags & RDW_INVALIDATE) {
    InvalidateTree(w, area, flags & RDW_ERASE, children);
    if (flags & RDW_FRAME) InvalidateFrame(w);
    if (flags & RDW_INTERNALPAINT) w->internalPaint = true;
  }
  if (flags & RDW_VALIDATE) {
    ValidateRect(hwnd, r);
    if (flags & RDW_NOFRAME) w->frameDirty = false;
  }
  if (flags & (RDW_UPDATENOW | RDW_ERASENOW)) {
    std::vector<HWND> list{hwnd};
    if (children)
      EnumChildWindows(hwnd, [&](HWND c) {
        list.push_back(c);
        return true;
      });
    for (HWND h : list) UpdateWindow(h);
  }
  return true;
}

int ScrollWindowEx(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN, RECT* updateRect,
                   UINT flags) {
  Wnd* w = W(hwnd);
  if (!w) return 0;
  RECT client = Bounds(0, 0, w->client.Width(), w->client.Height());
  RECT area = scroll ? *scroll : client;
  RECT c = clip ? *clip : client;
  IntersectRect(c, c, client);
  RECT src;
  IntersectRect(src, area, c);
  if (flags & SW_SCROLLCHILDREN)
    for (Wnd* ch : w->children) {
      RECT cr = ch->rect;
      RECT i;
      if (!scroll || IntersectRect(i, cr, area))
        SetWindowPos(ch->handle, nullptr, cr.Left + dx, cr.Top + dy, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  // The image moves when the whole area shows and none of it waits for paint: then only what came into
  // view paints. Otherwise (covered by children or siblings, or stale) the scrolled area repaints whole.
  bool moved = false;
  RECT exposed[2];
  int exposedCount = 0;
  Wnd* root = Root(w);
  if ((dx || dy) && !(flags & SW_SCROLLCHILDREN) && Visible(w) && root->surface &&
      std::abs(dx) < src.Width() && std::abs(dy) < src.Height()) {
    RECT inWindow = src;
    OffsetRect(inWindow, w->client.Left, w->client.Top);
    std::vector<RECT> shown = VisibleRects(w, inWindow, true);
    RECT whole = inWindow, pending;
    RECT inRoot = RectInRoot(w);
    OffsetRect(whole, inRoot.Left, inRoot.Top);
    bool stale = !IsRectEmpty(w->update) && IntersectRect(pending, w->update, src);
    if (!stale && shown.size() == 1 && EqualRect(shown[0], whole)) {
      ScrollSurface(root->surface, whole, dx, dy);
      NotifyHostDirty(w, inWindow);
      moved = true;
      if (dy > 0) exposed[exposedCount++] = Rect(src.Left, src.Top, src.Right, src.Top + dy);
      if (dy < 0) exposed[exposedCount++] = Rect(src.Left, src.Bottom + dy, src.Right, src.Bottom);
      if (dx > 0) exposed[exposedCount++] = Rect(src.Left, src.Top, src.Left + dx, src.Bottom);
      if (dx < 0) exposed[exposedCount++] = Rect(src.Right + dx, src.Top, src.Right, src.Bottom);
    }
  }
  if (!moved) {
    exposed[0] = src;
    exposedCount = 1;
  }
  if (updateRect) {
    *updateRect = exposed[0];
    if (exposedCount > 1) UnionRect(*updateRect, exposed[0], exposed[1]);
  }
  if (flags & SW_INVALIDATE)
    for (int i = 0; i < exposedCount; ++i) InvalidateRect(hwnd, &exposed[i], flags & SW_ERASE);
  return src.IsEmpty() ? 1 : 2;
}

bool ScrollWindow(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip) {
  return ScrollWindowEx(hwnd, dx, dy, scroll, clip, nullptr, nullptr,
                        SW_INVALIDATE | SW_ERASE | (scroll ? 0 : SW_SCROLLCHILDREN)) != 0;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT& ps) {
  Wnd* w = W(hwnd);
  ps = PAINTSTRUCT{};
  if (!w) return nullptr;
  if (w->frameDirty) {
    w->frameDirty = false;
    const RECT part = w->frameArea;
    if (part.IsEmpty()) {
      Send(w, WM_NCPAINT, 1, 0);
    } else {
      // a part of the frame: its region in screen coordinates, as the frame paint expects it
      RECT onScreen = part;
      RECT wr;
      GetWindowRect(hwnd, wr);
      OffsetRect(onScreen, wr.Left, wr.Top);
      HRGN region = CreateRectRgnIndirect(onScreen);
      TScopeExit freeRegion([&] { DeleteObject(region); });
      Send(w, WM_NCPAINT, reinterpret_cast<WPARAM>(region), 0);
    }
    if (!(w = W(hwnd))) return nullptr;
  }
  RECT update = w->update;
  bool erase = w->erase;
  w->update = RECT{};
  w->paintedParts.clear();
  w->paintedParts.swap(w->updateParts);
  w->erase = false;
  w->internalPaint = false;
  ps.rcPaint = update;
  Wnd* root = Root(w);
  RECT clientArea = w->client;
  RECT u = update;
  OffsetRect(u, w->client.Left, w->client.Top);
  RECT paintArea;
  IntersectRect(paintArea, u, clientArea);
  RECT inRoot = RectInRoot(w);
  std::vector<RECT> clip =
      Visible(w) && root->surface ? VisibleRects(w, paintArea, true) : std::vector<RECT>{};
  // the parts of the update area in window coordinates; the clip keeps to them
  for (RECT& part : w->paintedParts) OffsetRect(part, w->client.Left, w->client.Top);
  if (w->paintedParts.size() > 1) {
    std::vector<RECT> limited;
    for (RECT part : w->paintedParts) {
      OffsetRect(part, inRoot.Left, inRoot.Top);
      for (const RECT& a : clip) {
        RECT i;
        if (IntersectRect(i, a, part)) limited.push_back(i);
      }
    }
    clip.swap(limited);
  }
  HDC dc =
      NewWindowDC(hwnd, root->surface, POINT{inRoot.Left + w->client.Left, inRoot.Top + w->client.Top}, clip);
  ps.hdc = dc;
  if (erase) ps.fErase = Send(w, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0;
  return dc;
}

bool EndPaint(HWND hwnd, const PAINTSTRUCT& ps) {
  if (ps.hdc) FreeWindowDC(ps.hdc);
  Wnd* w = W(hwnd);
  if (w) {
    RECT r = ps.rcPaint;
    OffsetRect(r, w->client.Left, w->client.Top);
    if (w->paintedParts.size() > 1) {
      for (const RECT& part : w->paintedParts) NotifyHostDirty(w, part);
    } else {
      NotifyHostDirty(w, r);
    }
    w->paintedParts.clear();
  }
  return true;
}

HDC GetDC(HWND hwnd) {
  Wnd* w = W(hwnd);
  if (!w) return nullptr;
  Wnd* root = Root(w);
  RECT inRoot = RectInRoot(w);
  std::vector<RECT> clip =
      Visible(w) && root->surface ? VisibleRects(w, w->client, true) : std::vector<RECT>{};
  return NewWindowDC(hwnd, root->surface, POINT{inRoot.Left + w->client.Left, inRoot.Top + w->client.Top},
                     clip);
}

HDC GetWindowDC(HWND hwnd) {
  Wnd* w = W(hwnd);
  if (!w) return nullptr;
  Wnd* root = Root(w);
  RECT inRoot = RectInRoot(w);
  std::vector<RECT> clip = Visible(w) && root->surface
                               ? VisibleRects(w, Bounds(0, 0, w->rect.Width(), w->rect.Height()), true)
                               : std::vector<RECT>{};
  return NewWindowDC(hwnd, root->surface, POINT{inRoot.Left, inRoot.Top}, clip);
}

int ReleaseDC(HWND hwnd, HDC dc) {
  if (!dc) return 0;
  FreeWindowDC(dc);
  if (Wnd* w = W(hwnd)) NotifyHostDirty(w, Bounds(0, 0, w->rect.Width(), w->rect.Height()));
  return 1;
}

int SetWindowRgn(HWND hwnd, HRGN region, bool redraw) {
  Wnd* w = W(hwnd);
  if (!w) return 0;
  if (w->windowRgn) DeleteRegionObject(w->windowRgn);
  w->windowRgn = region;
  if (redraw && w->parent) InvalidateRect(w->parent->handle, &w->rect, true);
  if (!w->parent && w->host) {
    if (region) {
      const std::vector<RECT> rects = RegionRects(region);
      w->host->ShapeChanged(&rects);
    } else {
      w->host->ShapeChanged(nullptr);
    }
  }
  return 1;
}

int GetWindowRgn(HWND hwnd, HRGN region) {
  Wnd* w = W(hwnd);
  if (!w || !w->windowRgn || !region) return ERROR;
  return CombineRgn(region, w->windowRgn, nullptr, RGN_COPY);
}

namespace talvik::gui::detail {
Surface* SurfaceOf(HWND topLevel) {
  Wnd* w = W(topLevel);
  return w ? Root(w)->surface : nullptr;
}
RECT ClientRectInWindow(HWND hwnd) {
  Wnd* w = W(hwnd);
  return w ? w->client : RECT{};
}
}  // namespace talvik::gui::detail

namespace talvik::gui {

void UpdateAllWindows(HWND topLevel) {
  Wnd* w = W(topLevel);
  if (!w) return;
  // parents before children, as the queue would hand them out
  for (int guard = 0; guard < 10000; ++guard) {
    MSG m;
    if (!PeekMessage(m, topLevel, WM_PAINT, WM_PAINT, PM_REMOVE | PM_NOYIELD)) break;
    DispatchMessage(m);
    if (!W(topLevel)) return;
  }
}

bool RenderWindowToPng(HWND topLevel, const std::string& path) {
  Wnd* w = W(topLevel);
  if (!w) return false;
  w = Root(w);
  UpdateAllWindows(w->handle);
  RECT caret;
  if (VisibleCaret(w->handle, caret)) return SaveSurfacePngWithCaret(w->surface, path, caret);
  return SaveSurfacePng(w->surface, path);
}

bool WindowPixels(HWND topLevel, std::vector<COLORREF>& pixels, int& width, int& height) {
  Wnd* w = W(topLevel);
  if (!w) return false;
  w = Root(w);
  UpdateAllWindows(w->handle);
  RECT caret;
  const bool caretShown = VisibleCaret(w->handle, caret);
  SurfacePixels(w->surface, caretShown ? &caret : nullptr, pixels, width, height);
  return w->surface != nullptr;
}

bool CaretShownIn(HWND topLevel, RECT& caret) {
  return VisibleCaret(topLevel, caret);
}

bool RenderScreenToPng(const std::string& path, const RECT& area) {
  std::vector<ComposedLayer> layers;
  auto& tops = S().topLevels;
  for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
    Wnd* w = *it;
    if (!(w->style & WS_VISIBLE) || w->minimized || !w->surface) continue;
    UpdateAllWindows(w->handle);
    ComposedLayer layer{w->surface, w->rect, {}, w->windowRgn != nullptr};
    if (w->windowRgn) layer.shape = RegionRects(w->windowRgn);
    layers.push_back(std::move(layer));
  }
  return SaveComposedPng(layers, area, path);
}

bool WindowPaintedPixels(HWND topLevel, std::vector<COLORREF>& pixels, int& width, int& height) {
  Wnd* w = W(topLevel);
  if (!w) return false;
  w = Root(w);
  UpdateAllWindows(w->handle);
  if (!w->surface) return false;
  SurfacePixels(w->surface, nullptr, pixels, width, height);
  return true;
}

COLORREF WindowPixel(HWND topLevel, int x, int y) {
  Wnd* w = W(topLevel);
  if (!w) return 0;
  w = Root(w);
  UpdateAllWindows(w->handle);
  return SurfacePixel(w->surface, x, y);
}

}  // namespace talvik::gui
