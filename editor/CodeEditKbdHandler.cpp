#include "editor/CodeEditKbdHandler.h"

namespace {

// Sets a running flag for the length of one chain run, also when a handler raises.
class TRunning {
 public:
  explicit TRunning(bool& flag) : flag_(flag) { flag_ = true; }
  ~TRunning() { flag_ = false; }
  TRunning(const TRunning&) = delete;
  TRunning& operator=(const TRunning&) = delete;

 private:
  bool& flag_;
};

// Runs a chain last added first, stopping when `stop` answers true. A copy is walked, so a
// handler may add or remove handlers.
template <typename F, typename Call, typename Stop>
void RunChain(const TMethodList<F>& list, Call call, Stop stop) {
  std::vector<F> snapshot;
  snapshot.reserve(static_cast<size_t>(list.Count()));
  for (int i = 0; i < list.Count(); ++i) snapshot.push_back(list.Items(i));
  for (size_t i = snapshot.size(); i-- > 0;) {
    call(snapshot[i]);
    if (stop()) return;
  }
}

}  // namespace

void TCodeEditKbdHandler::ExecuteKeyPress(TObject* sender, char32_t& key) {
  if (inKeyPress_) return;
  TRunning running(inKeyPress_);
  RunChain(
      keyPress_, [&](const TKeyPressEvent& h) { h(sender, key); }, [&] { return key == 0; });
}

void TCodeEditKbdHandler::ExecuteKeyDown(TObject* sender, uint16_t& key, TShiftState shift) {
  if (inKeyDown_) return;
  TRunning running(inKeyDown_);
  RunChain(
      keyDown_, [&](const TKeyEvent& h) { h(sender, key, shift); }, [&] { return key == 0; });
}

void TCodeEditKbdHandler::ExecuteKeyUp(TObject* sender, uint16_t& key, TShiftState shift) {
  if (inKeyUp_) return;
  TRunning running(inKeyUp_);
  RunChain(
      keyUp_, [&](const TKeyEvent& h) { h(sender, key, shift); }, [&] { return key == 0; });
}

void TCodeEditKbdHandler::ExecuteMouseDown(TObject* sender, TMouseButton button, TShiftState shift, int x,
                                           int y) {
  if (inMouseDown_) return;
  TRunning running(inMouseDown_);
  RunChain(
      mouseDown_, [&](const TMouseEvent& h) { h(sender, button, shift, x, y); }, [] { return false; });
}

void TCodeEditKbdHandler::ExecuteMouseUp(TObject* sender, TMouseButton button, TShiftState shift, int x,
                                         int y) {
  if (inMouseUp_) return;
  TRunning running(inMouseUp_);
  RunChain(
      mouseUp_, [&](const TMouseEvent& h) { h(sender, button, shift, x, y); }, [] { return false; });
}

void TCodeEditKbdHandler::ExecuteMouseCursor(TObject* sender, const TBufferCoord& lineCharPos,
                                             TCursor& cursor) {
  if (inMouseCursor_) return;
  TRunning running(inMouseCursor_);
  RunChain(
      mouseCursor_, [&](const TMouseCursorEvent& h) { h(sender, lineCharPos, cursor); },
      [] { return false; });
}
