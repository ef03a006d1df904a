// Dragging within the program: one drag at a time, its source holding the mouse, CM_DRAG telling the
// control under the cursor as the drag enters, moves over, leaves or drops on it.
#include <cstdlib>

#include "platform/gui/Controls.h"
#include "platform/gui/GuiPrivate.h"
#include "platform/rtl/Lifetime.h"

namespace {

struct DragState {
  TControl* source = nullptr;
  bool started = false;  // false: waiting for the mouse to move past the threshold
  TPoint start;          // screen
  int threshold = 0;
  TControl* target = nullptr;
  bool accepted = false;
  HWND capture = nullptr;
};

DragState g_drag;

bool Tell(TControl* target, TDragMessage message, TPoint pos, TControl* source) {
  TDragRec rec;
  rec.Pos = pos;
  rec.Source = source;
  rec.Target = target;
  target->Perform(CM_DRAG, static_cast<WPARAM>(message), reinterpret_cast<LPARAM>(&rec));
  return rec.Accepted;
}

// The drag cursor of the source, its copying form while Ctrl is held, or the refusal.
void ShowCursor() {
  TCursor cursor = crNoDrop;
  if (g_drag.accepted) {
    cursor = g_drag.source->DragCursor();
    if (cursor == crDrag && GetKeyState(VK_CONTROL) < 0) cursor = crMultiDrag;
  }
  ::SetCursor(CursorHandle(cursor));
}

void DragTo(TPoint pos) {
  TControl* t = FindDragTarget(pos, false);
  if (t != g_drag.target) {
    if (g_drag.target) Tell(g_drag.target, dmDragLeave, pos, g_drag.source);
    g_drag.target = t;
    g_drag.accepted = t && Tell(t, dmDragEnter, pos, g_drag.source);
  } else if (t) {
    g_drag.accepted = Tell(t, dmDragMove, pos, g_drag.source);
  }
  ShowCursor();
}

POINT CursorNow() {
  POINT p;
  GetCursorPos(p);
  return p;
}

void Start() {
  g_drag.started = true;
  POINT p;
  GetCursorPos(p);
  DragTo(p);
}

void Finish(bool drop) {
  DragState d = g_drag;
  g_drag = DragState{};
  if (!d.source) return;
  if (!d.started) {
    // never started: the press goes on as a press (a click), holding the mouse only if the source does
    if (d.capture && GetCapture() == d.capture && !d.source->MouseCapture()) ReleaseCapture();
    return;
  }
  if (d.capture && GetCapture() == d.capture) ReleaseCapture();
  // the press that began it is over for the source too
  d.source->Perform(CM_CANCELMODE, 0, reinterpret_cast<LPARAM>(d.source));
  POINT p;
  GetCursorPos(p);
  bool dropped = drop && d.target && d.accepted;
  if (d.target && !dropped) Tell(d.target, dmDragLeave, p, d.source);
  if (dropped) Tell(d.target, dmDragDrop, p, d.source);
  ::SetCursor(CursorHandle(crDefault));
  d.source->Perform(CM_DRAG, dmDragCancel, dropped ? reinterpret_cast<LPARAM>(d.target) : 0);
}

}  // namespace

TControl* DragSource() {
  return g_drag.source;
}

void CancelDrag() {
  Finish(false);
}

void TControl::BeginDrag(bool Immediate, int Threshold) {
  if (g_drag.source) return;
  TWinControl* holder = dynamic_cast<TWinControl*>(this);
  if (!holder) holder = parent_;
  if (!holder) return;
  g_drag.source = this;
  g_drag.threshold = Threshold < 0 ? GetSystemMetrics(SM_CXDRAG) : Threshold;
  POINT p;
  GetCursorPos(p);
  g_drag.start = p;
  g_drag.capture = holder->Handle();
  SetCapture(g_drag.capture);
  if (Immediate) {
    DoStartDrag();
    Start();
  }
}

void TControl::EndDrag(bool Drop) {
  if (g_drag.source == this) Finish(Drop);
}

bool TControl::Dragging() const {
  return g_drag.source == this && g_drag.started;
}

void TControl::DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept) {
  Accept = false;
  if (OnDragOver) {
    Accept = true;
    InvokeEvent(OnDragOver, this, Source, X, Y, State, Accept);
  }
}

void TControl::DragDrop(TObject* Source, int X, int Y) {
  InvokeEvent(OnDragDrop, this, Source, X, Y);
}

void TControl::DoStartDrag() {
  InvokeEvent(OnStartDrag, this);
}

void TControl::DoEndDrag(TObject* Target, int X, int Y) {
  InvokeEvent(OnEndDrag, this, Target, X, Y);
}

namespace talvik::gui::detail {

bool DragInput(const MSG& msg) {
  if (!g_drag.source) return false;
  if (g_drag.capture && GetCapture() != g_drag.capture) {
    Finish(false);
    return false;
  }
  switch (msg.message) {
    case WM_MOUSEMOVE: {
      POINT p;
      GetCursorPos(p);
      if (!g_drag.started) {
        if (std::abs(p.X - g_drag.start.X) < g_drag.threshold &&
            std::abs(p.Y - g_drag.start.Y) < g_drag.threshold)
          return false;
        g_drag.source->DoStartDrag();
        Start();
        return true;
      }
      DragTo(p);
      return true;
    }
    case WM_LBUTTONUP:
      if (!g_drag.started) {
        Finish(false);  // a click, not a drag
        return false;
      }
      Finish(true);
      return true;
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      Finish(false);
      return true;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (msg.wParam == VK_ESCAPE) {
        Finish(false);
        return true;
      }
      if (g_drag.started && msg.wParam == VK_CONTROL) DragTo(CursorNow());  // copy or move
      return g_drag.started;
    case WM_KEYUP:
      if (g_drag.started && msg.wParam == VK_CONTROL) DragTo(CursorNow());
      return g_drag.started;
    case WM_CHAR:
      return g_drag.started;
    default:
      return false;
  }
}

void DragCaptureLost(HWND hwnd) {
  if (g_drag.source && g_drag.capture == hwnd) Finish(false);
}

void DragControlDestroyed(TControl* Control) {
  if (g_drag.target == Control) {
    g_drag.target = nullptr;
    g_drag.accepted = false;
  }
  if (g_drag.source != Control) return;
  // The source is going: the drag ends without a drop, and nothing asks the source anything more.
  DragState d = g_drag;
  g_drag = DragState{};
  if (d.capture && GetCapture() == d.capture) ReleaseCapture();
  if (d.started) ::SetCursor(CursorHandle(crDefault));
}

}  // namespace talvik::gui::detail
