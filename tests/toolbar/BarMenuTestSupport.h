// A small host for menu tests: a control owning a toolbar-style root view (entering the menu loop on
// a left press), a form around it on a fake clock, a menu tree, and a way to drive the modal loop
// step by step.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"
#include "toolbar/BarPopup.h"
#include "toolbar/BarViewTestSupport.h"
#include "toolbar/ToolbarTestSupport.h"

namespace toolbartest {

// The root view of the host: a horizontal toolbar view with the test font and a priority list.
class THostView : public TBarView {
  TALVIK_CLASS(THostView, TBarView)
  THostView(TBarCustomItem* Root, TWinControl* Window)
      : TBarView(nullptr, nullptr, Root, Window, true, false, true) {}
  TFont* GetFont() override { return TestFont(); }
};

class TBarTestHost : public TCustomControl {
  TALVIK_CLASS(TBarTestHost, TCustomControl)
  TBarTestHost(TComponent* AOwner, TBarCustomItem* Root) : TCustomControl(AOwner) {
    SetColor(clBtnFace);
    view_ = std::make_unique<THostView>(Root, this);
  }
  ~TBarTestHost() override { view_.reset(); }
  THostView* View() const { return view_.get(); }

  void WndProc(TMessage& Message) override {
    if (view_ && (Message.Msg == WM_MOUSEMOVE || Message.Msg == WM_LBUTTONDOWN)) {
      const TPoint client(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
      const TPoint screen = ClientToScreen(client);
      view_->TrackMouse(&screen, true);
      if (Message.Msg == WM_LBUTTONDOWN && view_->ViewerFromPoint(client) && view_->Selected())
        view_->RunMenuLoop(TBarMenuLoopOptions{mloMousePress});
      return;
    }
    TCustomControl::WndProc(Message);
  }

 protected:
  void Paint() override { view_->DrawSubitems(Canvas()); }

 private:
  std::unique_ptr<THostView> view_;
};

// A form that notes the system commands it receives.
class TRecordingForm : public TForm {
  TALVIK_CLASS(TRecordingForm, TForm)
  using TForm::TForm;
  std::vector<std::pair<WPARAM, LPARAM>> SysCommands;
  bool PassSysCommands = false;  // noted, then handled as by any form
  void WndProc(TMessage& Message) override {
    if (Message.Msg == WM_SYSCOMMAND) {
      SysCommands.emplace_back(Message.WParam, Message.LParam);
      if (!PassSysCommands) return;
    }
    TForm::WndProc(Message);
  }
};

// A backend that only counts beeps (the window layer runs without a toolkit otherwise).
class TBeepCounter : public talvik::gui::Backend {
 public:
  std::unique_ptr<talvik::gui::Host> CreateHost(HWND) override { return nullptr; }
  void Pump(bool, int) override {}
  void Wake() override {}
  std::vector<MONITORINFO> Screens() override { return {}; }
  POINT CursorPos() override { return {}; }
  void Beep() override { ++Beeps; }
  int Beeps = 0;
};

inline std::uint64_t& FakeNow() {
  static std::uint64_t now = 1000;
  return now;
}

class BarMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    talvik::gui::UseQtBackend();  // the toolkit application object, for fonts and images
    talvik::gui::SetBackend(&beeps_);
    talvik::gui::SetClock([] { return FakeNow(); });
    MONITORINFO mi;
    mi.rcMonitor = Rect(0, 0, 1024, 768);
    mi.rcWork = Rect(0, 0, 1024, 768);
    mi.dwFlags = MONITORINFOF_PRIMARY;
    talvik::gui::SetScreens({mi});
    CreateApplication();
    SystemParametersInfo(SPI_SETMENUANIMATION, 0, nullptr, 0);
    SystemParametersInfo(SPI_SETMENUSHOWDELAY, kDelay, nullptr, 0);
    root_ = new TBarRootItem(&owner_);
    form_ = std::make_unique<TRecordingForm>(nullptr);
    form_->SetBorderStyle(bsNone);
    form_->SetBounds(100, 100, 600, 300);
  }
  void TearDown() override {
    SetMenuLoopIdleHook(nullptr);
    form_.reset();
    talvik::gui::ProcessPending();
    ReleaseCapture();
    SystemParametersInfo(SPI_SETMENUANIMATION, 0, reinterpret_cast<void*>(1), 0);
    SystemParametersInfo(SPI_SETFLATMENU, 0, nullptr, 0);
    SystemParametersInfo(SPI_SETKEYBOARDCUES, 0, reinterpret_cast<void*>(1), 0);
    talvik::gui::SetBackend(nullptr);
    talvik::gui::SetClock(nullptr);
    talvik::gui::SetScreens({});
  }

  // Shows the host with the items added so far.
  void ShowHost() {
    host_ = new TBarTestHost(form_.get(), root_);
    host_->SetParent(form_.get());
    host_->SetBounds(0, 0, 600, 22);
    form_->Show();
    talvik::gui::ProcessPending();
  }
  THostView* View() const { return host_->View(); }

  template <typename I = TBarItem>
  I* Add(TBarCustomItem* Parent, const std::string& Caption) {
    auto* item = new I(&owner_);
    item->SetCaption(Caption);
    Parent->Add(item);
    return item;
  }
  // An item whose clicks are noted with whether a menu was still open then.
  TBarItem* Command(TBarCustomItem* Parent, const std::string& Caption) {
    TBarItem* item = Add(Parent, Caption);
    item->SetOnClick([this, Caption](TObject*) {
      Clicks.push_back(Caption);
      ClickedInsideLoop = ClickedInsideLoop || (host_ && host_->View()->InModalLoop());
    });
    return item;
  }
  TBarSeparatorItem* Separator(TBarCustomItem* Parent) { return Add<TBarSeparatorItem>(Parent, ""); }

  // The centre of an item's viewer in a view, on the screen.
  static TPoint Centre(TBarView* View, TBarCustomItem* Item) {
    View->ValidatePositions();
    TBarItemViewer* v = View->Find(Item);
    EXPECT_TRUE(v) << "no viewer";
    if (!v) return {};
    const TRect r = v->BoundsRect;
    return View->Window()->ClientToScreen(TPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2));
  }
  static void Key(WORD Vk, char32_t Ch = 0, talvik::gui::ShiftKeys Shift = {}) {
    talvik::gui::InjectKey(Vk, true, Ch, Shift);
    talvik::gui::InjectKey(Vk, false, 0, Shift);
  }
  static void Move(TPoint P) { talvik::gui::InjectMouse(WM_MOUSEMOVE, P); }
  static void Click(TPoint P) {
    talvik::gui::InjectMouse(WM_LBUTTONDOWN, P);
    talvik::gui::InjectMouse(WM_LBUTTONUP, P);
  }
  static void Advance(std::uint64_t Ms) { FakeNow() += Ms; }

  // Runs the steps one by one whenever the menu loop has nothing left to do. A loop still running
  // after the last step is ended (LeftOpen notes it).
  void Drive(std::vector<std::function<void()>> Steps) {
    steps_ = std::move(Steps);
    next_ = 0;
    LeftOpen = false;
    SetMenuLoopIdleHook([this] {
      if (next_ < steps_.size()) {
        steps_[next_++]();
      } else {
        LeftOpen = true;
        ReleaseCapture();
      }
      PostMessage(Application->Handle(), WM_NULL);  // the loop wakes up whatever the step did
    });
  }
  bool AllStepsRan() const { return next_ == steps_.size(); }

  // Enters the loop from the keyboard with Item selected.
  void EnterByKeyboard(TBarCustomItem* Item) {
    View()->SelectViewer(View()->Find(Item));
    View()->RunMenuLoop(TBarMenuLoopOptions{mloKeyboardEntry});
  }
  // Presses the mouse on an item of the host; the loop runs inside.
  void PressOn(TBarCustomItem* Item) {
    talvik::gui::InjectMouse(WM_LBUTTONDOWN, Centre(View(), Item));
    talvik::gui::ProcessPending();
  }

  // The views of the open menu, from the root down.
  std::vector<TBarView*> Chain() const {
    std::vector<TBarView*> out;
    for (TBarView* v = View(); v; v = v->OpenView()) out.push_back(v);
    return out;
  }
  TBarCustomItem* SelectedItem(TBarView* V) const {
    return V && V->Selected() ? V->Selected()->Item() : nullptr;
  }
  // The item whose popup is the innermost open one (nullptr when no popup is open).
  TBarCustomItem* OpenPopupItem() const {
    std::vector<TBarView*> c = Chain();
    return c.size() > 1 ? c.back()->ParentItem() : nullptr;
  }

  static constexpr int kDelay = 400;
  TComponent owner_{nullptr};
  TBarRootItem* root_ = nullptr;
  std::unique_ptr<TRecordingForm> form_;
  TBarTestHost* host_ = nullptr;
  TBeepCounter beeps_;

 public:
  // what the tests read back: the items clicked, and whether a click ran inside the loop or left a
  // menu open
  std::vector<std::string> Clicks;
  bool ClickedInsideLoop = false;
  bool LeftOpen = false;

 private:
  std::vector<std::function<void()>> steps_;
  size_t next_ = 0;
};

}  // namespace toolbartest
