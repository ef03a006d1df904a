// The modal loops of dockable windows: dragging between docks and floating, and sizing the floating
// frame.
#include <algorithm>
#include <cassert>
#include <memory>

#include "platform/rtl/Lifetime.h"
#include "platform/rtl/ScopeExit.h"
#include "toolbar/BarDock.h"
#include "toolbar/BarUtils.h"

namespace {

constexpr int kDockGrow = 3;          // a dock catches a little outside itself
constexpr int kDockCatchZone = 25;    // and at least this far across
constexpr int kRowLockDistance = 10;  // a move along a crowded row that locks the row

const char* const kOutlineClass = "TBarDragOutline";

LRESULT OutlineWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(Wnd, ps);
    RECT r;
    GetClientRect(Wnd, r);
    FillRect(dc, r, GetSysColorBrush(COLOR_BTNSHADOW));
    EndPaint(Wnd, ps);
    return 0;
  }
  if (Msg == WM_NCHITTEST) return HTTRANSPARENT;
  return DefWindowProc(Wnd, Msg, WParam, LParam);
}

// The outline of a drag without SmoothDrag: an unmanaged window shaped as a frame of the given
// thickness (the desktop itself cannot be drawn on).
class TDragOutline {
 public:
  TDragOutline() {
    WNDCLASS wc;
    if (!GetClassInfo(kOutlineClass, wc)) {
      wc.lpfnWndProc = &OutlineWndProc;
      wc.lpszClassName = kOutlineClass;
      RegisterClass(wc);
    }
    wnd_ = CreateWindowEx(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, kOutlineClass, "", WS_POPUP, 0,
                          0, 0, 0, nullptr, 0, nullptr, nullptr);
  }
  ~TDragOutline() {
    if (wnd_) DestroyWindow(wnd_);
  }
  TDragOutline(const TDragOutline&) = delete;
  TDragOutline& operator=(const TDragOutline&) = delete;

  void Show(const TRect& R, int Thickness) {
    if (!wnd_) return;
    if (R == rect_ && Thickness == thickness_ && shown_) return;
    rect_ = R;
    thickness_ = Thickness;
    SetWindowPos(wnd_, HWND_TOPMOST, R.Left, R.Top, R.Width(), R.Height(), SWP_NOACTIVATE);
    HRGN outer = CreateRectRgn(0, 0, R.Width(), R.Height());
    HRGN inner = CreateRectRgn(Thickness, Thickness, R.Width() - Thickness, R.Height() - Thickness);
    CombineRgn(outer, outer, inner, RGN_DIFF);
    DeleteObject(inner);
    SetWindowRgn(wnd_, outer, true);
    if (!shown_) ShowWindow(wnd_, SW_SHOWNA);
    shown_ = true;
  }
  void Hide() {
    if (wnd_ && shown_) ShowWindow(wnd_, SW_HIDE);
    shown_ = false;
  }

 private:
  HWND wnd_ = nullptr;
  TRect rect_;
  int thickness_ = 0;
  bool shown_ = false;
};

bool ControlHeld() {
  return GetKeyState(VK_CONTROL) < 0;
}

TRect ScreenRectOf(TWinControl* Control) {
  RECT r;
  GetWindowRect(Control->Handle(), r);
  return r;
}

}  // namespace

bool TBarCustomDockableWindow::IsFloatingAllowed() const {
  return dockMode_ == dmCanFloat;
}

void TBarCustomDockableWindow::BeginMoving(TPoint InitialScreenPos) {
  DragLoop(InitialScreenPos);
}

void TBarCustomDockableWindow::BeginSizing(int SizeHandle) {
  SizeLoop(SizeHandle);
}

// The docks a drag may end on, in the order they are tried.
static void CollectDocks(TWinControl* Parent, const TBarCustomDockableWindow* Window,
                         std::vector<TBarDock*>& Docks) {
  static constexpr TBarDockPosition kOrder[] = {dpTop, dpBottom, dpLeft, dpRight};
  for (TBarDockPosition position : kOrder)
    for (int I = 0; I < Parent->ControlCount(); ++I) {
      auto* D = dynamic_cast<TBarDock*>(Parent->Controls(I));
      if (!D || D->Position() != position || !D->Showing() || !D->AllowDrag() ||
          !Window->DockableTo().Contains(D->Position()))
        continue;
      if (std::find(Docks.begin(), Docks.end(), D) == Docks.end()) Docks.push_back(D);
    }
  for (int I = 0; I < Parent->ControlCount(); ++I) {
    auto* C = dynamic_cast<TWinControl*>(Parent->Controls(I));
    if (!C || dynamic_cast<TBarDock*>(C) || C == Window || !C->Showing()) continue;
    CollectDocks(C, Window, Docks);
  }
}

void TBarCustomDockableWindow::DragLoop(TPoint InitialScreenPos) {
  TCustomForm* form = OwnerForm();
  std::vector<TBarDock*> docks;
  if (docked_ && currentDock_->AllowDrag() && dockableTo_.Contains(currentDock_->Position()))
    docks.push_back(currentDock_);
  if (dockMode_ != dmCannotFloatOrChangeDocks) {
    std::vector<TCustomForm*> forms;
    if (form) forms.push_back(form);
    for (TCustomForm* F : dockForms_)
      if (std::find(forms.begin(), forms.end(), F) == forms.end()) forms.push_back(F);
    if (Screen) {
      // the screen's form order
      std::stable_sort(forms.begin(), forms.end(), [](TCustomForm* A, TCustomForm* B) {
        int IA = -1, IB = -1;
        for (int I = 0; I < Screen->FormCount(); ++I) {
          if (Screen->Forms(I) == A) IA = I;
          if (Screen->Forms(I) == B) IB = I;
        }
        return IA < IB;
      });
    }
    for (TCustomForm* F : forms) CollectDocks(F, this, docks);
  }
  // The docks are watched for the drag's length: one that goes stops being a target.
  std::vector<TComponentRef<TBarDock>> refs;
  refs.reserve(docks.size());
  for (TBarDock* D : docks) refs.emplace_back(D);
  auto alive = [&](size_t I) { return refs[I].Get() != nullptr; };
  // And so is the window itself: a message handled meanwhile may free it.
  const TComponentRef<TBarCustomDockableWindow> self(this);
  const HWND wnd = Handle();

  const int startRow = dockRow_, startPos = dockPos_;
  TBarDock* const startDock = docked_ ? currentDock_ : nullptr;
  int startEffectiveRow = effectiveDockRow_;
  bool startCrowded = false;
  if (startDock) {
    startDock->SetDraggingWindow(this);
    startDock->SetRowLocked(false);
    startDock->SetCrowded(false);
    startDock->SetCommitNewPositions(true);
    startDock->ArrangeToolbars();
    startCrowded = startDock->Crowded();
    startEffectiveRow = effectiveDockRow_;
  }

  // Where the cursor holds the window: in the window, and in its floating frame.
  RECT window;
  GetWindowRect(Handle(), window);
  TPoint grab(InitialScreenPos.X - window.Left, InitialScreenPos.Y - window.Top);
  TPoint border;
  int caption = 0;
  GetFloatingNCAreaSize(border, caption);
  TPoint floatGrab = floating_ ? TPoint(InitialScreenPos.X - FloatingParent()->Left(),
                                        InitialScreenPos.Y - FloatingParent()->Top())
                               : TPoint(grab.X + border.X, grab.Y + border.Y + caption);
  TPoint dockGrab = grab;
  if (floating_)
    dockGrab = TPoint(std::max(0, floatGrab.X - border.X), std::max(0, floatGrab.Y - border.Y - caption));

  bool ctrl = ControlHeld();
  TPoint last = InitialScreenPos;
  std::unique_ptr<TDragOutline> outline;
  if (!smoothDrag_) outline = std::make_unique<TDragOutline>();

  // What the last move step decided (applied at once with SmoothDrag, else at the end).
  struct Target {
    TBarDock* Dock = nullptr;  // nullptr: floating
    bool Valid = false;        // floating not allowed and no dock: nothing
    int Row = 0, Pos = 0;
    bool NewRow = false;
    TPoint FloatPos;
  } target;
  bool rowLocked = false;

  auto apply = [&](const Target& T) {
    if (!T.Valid) return;
    ++disableOnMove_;
    TScopeExit onMove([this] { --disableOnMove_; });
    if (T.Dock) {
      dockRow_ = T.Row;
      dockPos_ = T.Pos;
      insertRowBefore_ = T.NewRow;
      TScopeExit clearNewRow([this] { insertRowBefore_ = false; });
      T.Dock->SetDraggingWindow(this);
      T.Dock->SetCommitNewPositions(true);
      if (Parent() != T.Dock)
        SetParent(T.Dock);
      else
        T.Dock->ArrangeToolbars();
    } else {
      floatingPosition_ = T.FloatPos;
      if (!floating_) {
        SetFloating(true);
      } else if (TBarFloatingWindowParent* P = FloatingParent()) {
        P->SetBounds(T.FloatPos.X, T.FloatPos.Y, P->Width(), P->Height());
      }
    }
  };

  auto moveStep = [&](TPoint Cursor) {
    Target T;
    T.Valid = true;
    TBarDock* dock = nullptr;
    if (rowLocked && docked_) {
      dock = currentDock_;
    } else if (!ctrl) {
      for (size_t I = 0; I < docks.size() && !dock; ++I) {
        if (!alive(I)) continue;
        TBarDock* D = docks[I];
        if (!D->Showing()) continue;
        TRect r = ScreenRectOf(D);
        InflateRect(r, kDockGrow, kDockGrow);
        switch (D->Position()) {
          case dpTop:
            r.Bottom = std::max(r.Bottom, r.Top + kDockCatchZone);
            break;
          case dpBottom:
            r.Top = std::min(r.Top, r.Bottom - kDockCatchZone);
            break;
          case dpLeft:
            r.Right = std::max(r.Right, r.Left + kDockCatchZone);
            break;
          case dpRight:
            r.Left = std::min(r.Left, r.Right - kDockCatchZone);
            break;
        }
        if (!PtInRect(r, Cursor)) continue;
        const TSize size = CalcSizeForDockType(D->DockType());
        const int handle = D->AllowDrag() ? HandleSizeFor(dragHandleStyle_, closeButtonWhenDocked_) : 0;
        const int frame = DockedBorderSize * 2;
        const TSize docked = D->IsVertical() ? TSize(size.cx + frame, size.cy + frame + handle)
                                             : TSize(size.cx + frame + handle, size.cy + frame);
        const TPoint g(std::min(dockGrab.X, std::max(0, docked.cx - 1)),
                       std::min(dockGrab.Y, std::max(0, docked.cy - 1)));
        const TRect dockedRect = Bounds(Cursor.X - g.X, Cursor.Y - g.Y, docked.cx, docked.cy);
        TRect common;
        if (!IntersectRect(common, r, dockedRect)) continue;
        if (D->OnRequestDock) {
          bool accept = true;
          D->OnRequestDock(D, this, accept);
          if (!accept) continue;
        }
        dock = D;
      }
    }
    if (!dock) {
      if (!IsFloatingAllowed()) {
        ::SetCursor(LoadCursor(nullptr, IDC_NO));
        T.Valid = false;
        return T;
      }
      ::SetCursor(LoadCursor(nullptr, IDC_ARROW));
      const TSize size = CalcSizeForDockType(dtFloating);
      const TSize frame(size.cx + border.X * 2, size.cy + border.Y * 2 + caption);
      TRect r = Bounds(Cursor.X - std::min(floatGrab.X, frame.cx - 1),
                       Cursor.Y - std::min(floatGrab.Y, frame.cy - 1), frame.cx, frame.cy);
      TRect work;
      GetRectOfMonitorContainingPoint(Cursor, true, work);
      if (r.Right > work.Right) OffsetRect(r, work.Right - r.Right, 0);
      if (r.Bottom > work.Bottom) OffsetRect(r, 0, work.Bottom - r.Bottom);
      if (r.Left < work.Left) OffsetRect(r, work.Left - r.Left, 0);
      if (r.Top < work.Top) OffsetRect(r, 0, work.Top - r.Top);
      T.FloatPos = TPoint(r.Left, r.Top);
      if (outline) outline->Show(r, border.X);
      return T;
    }
    T.Dock = dock;
    POINT origin{0, 0};
    ::ClientToScreen(dock->Handle(), origin);
    const bool vertical = dock->IsVertical();
    const int across = vertical ? Cursor.X - origin.X : Cursor.Y - origin.Y;
    const int along = vertical ? Cursor.Y - origin.Y : Cursor.X - origin.X;
    const int grabAlong = vertical ? dockGrab.Y : dockGrab.X;
    // The row from the cursor's distance across the dock; the outer quarter of a row asks for a new one.
    int row = 0, offset = 0;
    bool newRow = false;
    const int rows = dock->RowCount();
    if (rows == 0 || across < 0) {
      row = 0;
      newRow = rows != 0;
    } else {
      row = rows;
      newRow = true;
      for (int R = 0; R < rows; ++R) {
        const int size = dock->RowSize(R);
        if (across < offset + size) {
          const int inRow = across - offset;
          const int edge = fullSize_ ? size / 2 : size / 4;
          if (inRow < edge) {
            row = R;
            newRow = true;
          } else if (inRow >= size - edge) {
            row = R + 1;
            newRow = true;
          } else {
            row = R;
            newRow = false;
          }
          break;
        }
        offset += size;
      }
    }
    if (rowLocked && docked_) {
      row = effectiveDockRow_;
      newRow = false;
    }
    // A crowded row where the drag began locks once the window moved far enough along it.
    if (!rowLocked && dock == startDock && docked_ && !newRow && row == startEffectiveRow && startCrowded) {
      const int moved = vertical ? Cursor.Y - InitialScreenPos.Y : Cursor.X - InitialScreenPos.X;
      if (moved >= kRowLockDistance || moved <= -kRowLockDistance) {
        rowLocked = true;
        dock->SetRowLocked(true);
      }
    }
    if (rowLocked) ::SetCursor(LoadCursor(nullptr, vertical ? IDC_SIZENS : IDC_SIZEWE));
    T.Row = row;
    T.Pos = along - grabAlong;
    T.NewRow = newRow;
    if (outline) {
      const TSize size = CalcSizeForDockType(dock->DockType());
      const TSize nc = GetDockedNCAreaSize();
      outline->Show(Bounds(Cursor.X - dockGrab.X, Cursor.Y - dockGrab.Y, size.cx + nc.cx, size.cy + nc.cy),
                    1);
    }
    return T;
  };

  inDrag_ = true;
  TBarFloatingWindowParent* const keptBefore = keptFloatingParent_;
  bool accepted = false;
  {
    TScopeExit endDrag([&] {
      if (GetCapture() == wnd) ReleaseCapture();
      if (outline) outline->Hide();
      if (!self) return;
      inDrag_ = false;
      for (size_t I = 0; I < docks.size(); ++I)
        if (alive(I) && docks[I]->DraggingWindow() == this) {
          docks[I]->SetDraggingWindow(nullptr);
          docks[I]->SetRowLocked(false);
        }
    });
    SetCapture(wnd);
    MSG msg;
    while (self && GetCapture() == wnd) {
      if (!GetMessage(msg, nullptr, 0, 0)) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
      bool step = false;
      switch (msg.message) {
        case WM_MOUSEMOVE:
          if (msg.pt.X != last.X || msg.pt.Y != last.Y) {
            last = msg.pt;
            step = true;
          }
          break;
        case WM_KEYDOWN:
        case WM_KEYUP:
          if (msg.wParam == VK_CONTROL) {
            const bool now = msg.message == WM_KEYDOWN;
            if (now != ctrl) {
              ctrl = now;
              step = true;
            }
          } else if (msg.wParam == VK_ESCAPE && msg.message == WM_KEYDOWN) {
            ReleaseCapture();
          }
          break;
        case WM_LBUTTONUP:
          accepted = true;
          last = msg.pt;
          ReleaseCapture();
          break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
          ReleaseCapture();
          break;
        default:
          if ((msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) ||
              (msg.message >= WM_NCMOUSEMOVE && msg.message <= WM_NCMBUTTONDBLCLK))
            break;  // other buttons are swallowed
          TranslateMessage(msg);
          DispatchMessage(msg);
          break;
      }
      if (step && self) {
        target = moveStep(last);
        if (smoothDrag_) {
          apply(target);
          // moving the window to another parent or top-level window does not end the drag
          if (self && GetCapture() != wnd && IsWindow(wnd)) SetCapture(wnd);
        }
      }
    }
  }
  if (!self) return;
  if (accepted) {
    target = moveStep(last);
    apply(target);
  }
  if (useLastDock_ && docked_) SetLastDock(currentDock_);
  // Floating parents made during the drag that are no longer used go.
  if (keptBefore && keptBefore != keptFloatingParent_ && keptBefore != Parent()) delete keptBefore;
  if (floating_) {
    dockRow_ = startRow;
    dockPos_ = startPos;
  }
}

void TBarCustomDockableWindow::SizeLoop(int SizeHandle) {
  TBarFloatingWindowParent* P = FloatingParent();
  if (!P) return;
  SizingBegin(SizeHandle);
  ProcessPaintMessages();
  const TRect start = P->BoundsRect();
  POINT startCursor;
  GetCursorPos(startCursor);
  TPoint border;
  int caption = 0;
  GetFloatingNCAreaSize(border, caption);
  const int minWidth = border.X * 2 + 1, minHeight = border.Y * 2 + caption + 1;
  const bool left = SizeHandle == HTLEFT || SizeHandle == HTTOPLEFT || SizeHandle == HTBOTTOMLEFT;
  const bool right = SizeHandle == HTRIGHT || SizeHandle == HTTOPRIGHT || SizeHandle == HTBOTTOMRIGHT;
  const bool top = SizeHandle == HTTOP || SizeHandle == HTTOPLEFT || SizeHandle == HTTOPRIGHT;
  const bool bottom = SizeHandle == HTBOTTOM || SizeHandle == HTBOTTOMLEFT || SizeHandle == HTBOTTOMRIGHT;
  TRect current = start;
  auto applyRect = [&](const TRect& R) {
    ++updatingBounds_;
    TScopeExit done([this] { --updatingBounds_; });
    P->SetBounds(R.Left, R.Top, R.Width(), R.Height());
    TCustomControl::SetBounds(0, 0, R.Width() - border.X * 2, R.Height() - border.Y * 2 - caption);
    SizeChanged();
  };
  bool accepted = false;
  {
    TScopeExit release([this] {
      if (GetCapture() == Handle()) ReleaseCapture();
    });
    SetCapture(Handle());
    MSG msg;
    while (GetCapture() == Handle()) {
      if (!GetMessage(msg, nullptr, 0, 0)) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
      if (msg.message == WM_MOUSEMOVE) {
        const int dx = msg.pt.X - startCursor.X, dy = msg.pt.Y - startCursor.Y;
        TRect r = start;
        if (left) r.Left = std::min(start.Left + dx, start.Right - minWidth);
        if (right) r.Right = std::max(start.Right + dx, start.Left + minWidth);
        if (top) r.Top = std::min(start.Top + dy, start.Bottom - minHeight);
        if (bottom) r.Bottom = std::max(start.Bottom + dy, start.Top + minHeight);
        SizingTrack(SizeHandle, r);
        if (r != current) {
          current = r;
          applyRect(r);  // the system drags full windows
        }
      } else if (msg.message == WM_LBUTTONUP) {
        accepted = true;
        break;
      } else if ((msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) || msg.message == WM_LBUTTONDOWN ||
                 msg.message == WM_LBUTTONDBLCLK) {
        break;
      } else if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) {
        // swallowed
      } else {
        TranslateMessage(msg);
        DispatchMessage(msg);
      }
    }
  }
  if (accepted) {
    applyRect(current);
    Arrange();
    MoveOnScreen(true);
  } else if (current != start) {
    applyRect(start);
  }
  SizingEnd();
}
