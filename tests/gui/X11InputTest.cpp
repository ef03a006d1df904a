// Real input under an X server (run through xvfb-run -a): keys and clicks come from xdotool through
// the X server and the toolkit into our message queue. Each step waits on a state with a time-out.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "X11TestSupport.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/GuiPrivate.h"
#include "platform/gui/StdCtrls.h"
#include "platform/gui/WinManager.h"

using x11test::ClickAt;
using x11test::ScreenshotDir;
using x11test::Shell;
using x11test::WaitFor;

namespace {

class X11Input : public ::testing::Test {
 protected:
  void SetUp() override {
    X11TEST_START_TOOLKIT();
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);  // unframed: it stands where we put it, with or without a window manager
    form->SetBounds(50, 50, 400, 260);
    form->SetCaption("TalvikX11Input");
  }
  void TearDown() override {
    form.reset();
    x11test::UsKeyboard();
  }
  void ShowForm() {
    form->Show();
    ASSERT_TRUE(WaitFor([] { return Shell("xdotool search --name TalvikX11Input"); }));
    Shell("xdotool search --name TalvikX11Input windowfocus");
    Application->ProcessMessages();
  }
  std::unique_ptr<TForm> form;
};

}  // namespace

TEST_F(X11Input, TabAndCyrillicTypedThroughARussianLayout) {
  auto* first = new TEdit(form.get());
  first->SetParent(form.get());
  first->SetBounds(10, 10, 200, 24);
  auto* second = new TEdit(form.get());
  second->SetParent(form.get());
  second->SetBounds(10, 50, 200, 24);
  ShowForm();
  first->SetFocus();
  ASSERT_TRUE(x11test::UsKeyboard());
  Shell("xdotool key s q l Tab");
  EXPECT_TRUE(WaitFor([&] { return second->Focused(); }));
  EXPECT_EQ(first->Text(), "sql");
  // the Russian layout: xdotool presses the physical keys that carry these letters there
  ASSERT_TRUE(Shell("setxkbmap ru"));
  Shell("xdotool key Cyrillic_es Cyrillic_ie Cyrillic_a Cyrillic_en Cyrillic_es");
  EXPECT_TRUE(WaitFor([&] { return second->Text() == "сеанс"; })) << second->Text();
  EXPECT_EQ(second->SelStart(), 5);
}

TEST_F(X11Input, ComboDropDownOpensChoosesAndClosesOnAClickOutside) {
  auto* combo = new TComboBox(form.get());
  combo->SetParent(form.get());
  combo->SetBounds(10, 10, 200, 24);
  combo->SetStyle(csDropDownList);
  for (const char* s : {"Все сеансы", "Активные", "Блокирующие"}) combo->Items()->Add(s);
  combo->SetItemIndex(0);
  ShowForm();
  ClickAt(combo->ClientToScreen({20, 10}));
  ASSERT_TRUE(WaitFor([&] { return combo->DroppedDown(); }));
  TCustomListBox* list = combo->DropDownList();
  ClickAt(list->ClientToScreen({20, 2 * list->ItemHeight() + list->ItemHeight() / 2}));
  ASSERT_TRUE(WaitFor([&] { return !combo->DroppedDown(); }));
  EXPECT_EQ(combo->Text(), "Блокирующие");
  ClickAt(combo->ClientToScreen({20, 10}));
  ASSERT_TRUE(WaitFor([&] { return combo->DroppedDown(); }));
  ClickAt({700, 600});  // the desktop, outside every window of ours
  EXPECT_TRUE(WaitFor([&] { return !combo->DroppedDown(); }));
  EXPECT_EQ(combo->Text(), "Блокирующие");
}

TEST_F(X11Input, MessageDlgAnsweredByEnterAndByTheNoAccelerator) {
  ShowForm();
  auto answer = [](const std::string& keys) {
    return std::thread([keys] {
      // --sync waits until the dialog's window is there
      Shell("xdotool search --sync --name Confirm windowfocus --sync");
      Shell("xdotool key " + keys);
    });
  };
  std::thread byEnter = answer("Return");
  int first = MessageDlg("Завершить сеанс?", mtConfirmation, mbYesNoCancel);
  byEnter.join();
  EXPECT_EQ(first, mrYes);
  WaitFor([] { return !Shell("xdotool search --onlyvisible --name Confirm"); });
  std::thread byNo = answer("n");
  int second = MessageDlg("Завершить сеанс?", mtConfirmation, mbYesNoCancel);
  byNo.join();
  EXPECT_EQ(second, mrNo);
}

namespace {

// What a command prints (empty when it cannot run), its complaints left out.
std::string Output(const std::string& command) {
  return x11test::Output(command + " 2>/dev/null");
}

// The X window's size as xwininfo reports it ("wxh").
std::string XSize(const std::string& id) {
  const std::string info = Output("xwininfo -id " + id);
  auto field = [&](const std::string& name) {
    auto at = info.find(name);
    return at == std::string::npos ? std::string("?")
                                   : std::to_string(std::atoi(info.c_str() + at + name.size()));
  };
  return field("Width: ") + "x" + field("Height: ");
}

}  // namespace

TEST_F(X11Input, ASizedFormTellsTheDesktopItsLimitsAndRefusesSizesBeyondThem) {
  form->SetBorderStyle(bsSizeable);
  form->Constraints()->SetMinWidth(300);
  form->Constraints()->SetMinHeight(200);
  form->Constraints()->SetMaxWidth(500);
  form->Constraints()->SetMaxHeight(400);
  ShowForm();
  std::string id = Output("xdotool search --name TalvikX11Input");
  id = id.substr(0, id.find('\n'));
  ASSERT_FALSE(id.empty());
  auto hints = [&] { return Output("xprop -id " + id + " WM_NORMAL_HINTS"); };
  EXPECT_TRUE(WaitFor([&] { return hints().find("minimum size: 300 by 200") != std::string::npos; }))
      << hints();
  EXPECT_NE(hints().find("maximum size: 500 by 400"), std::string::npos) << hints();

  // sized from outside beyond the limits (no window manager holds them here): the form keeps them
  // and the X window comes back to the form's size
  Shell("xdotool windowsize " + id + " 900 700");
  EXPECT_TRUE(WaitFor([&] { return XSize(id) == "500x400"; })) << XSize(id);
  EXPECT_EQ(form->Width(), 500);
  EXPECT_EQ(form->Height(), 400);
  Shell("xdotool windowsize " + id + " 100 50");
  EXPECT_TRUE(WaitFor([&] { return XSize(id) == "300x200"; })) << XSize(id);
  EXPECT_EQ(form->Width(), 300);
  EXPECT_EQ(form->Height(), 200);

  // limits changed while shown reach the desktop at once
  form->Constraints()->SetMaxWidth(450);
  EXPECT_TRUE(WaitFor([&] { return hints().find("maximum size: 450 by 400") != std::string::npos; }))
      << hints();
  Shell("xdotool windowsize " + id + " 480 300");
  EXPECT_TRUE(WaitFor([&] { return XSize(id) == "450x300"; })) << XSize(id);
  EXPECT_EQ(form->Width(), 450);
}

// A window manager stacks the windows as it decides: a click goes to the window the display shows on
// top where it was made, whatever order our windows were shown in.
TEST_F(X11Input, AClickGoesToTheWindowTheDisplayShowsOnTop) {
  int formPresses = 0, otherPresses = 0;
  form->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++formPresses; };
  ShowForm();
  TForm other(nullptr);
  other.SetBorderStyle(bsNone);
  other.SetCaption("TalvikX11Other");
  other.SetBounds(250, 100, 300, 200);  // over the form's right part, shown after it
  other.OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++otherPresses; };
  other.Show();
  ASSERT_TRUE(WaitFor([] { return Shell("xdotool search --name TalvikX11Other"); }));
  // the display raises the form over it (xwininfo lists the windows on top first)
  Shell("xdotool search --name TalvikX11Input windowraise");
  const auto raised = [] {
    const std::string stack = x11test::Output("xwininfo -root -children");
    const auto input = stack.find("TalvikX11Input"), over = stack.find("TalvikX11Other");
    return input != std::string::npos && over != std::string::npos && input < over;
  };
  ASSERT_TRUE(WaitFor(raised));
  Shell("xdotool mousemove 300 150 sleep 0.1 mousedown 1 sleep 0.1 mouseup 1");
  EXPECT_TRUE(WaitFor([&] { return formPresses > 0; })) << "the window under it took the click";
  EXPECT_EQ(otherPresses, 0);
}

// When the display gives the keyboard to a window not of ours (another program, or the desktop
// itself), the program hears that it is no longer active, and it is active again when the display
// gives one of its windows the keyboard back.
TEST_F(X11Input, TheProgramIsNoLongerActiveWhileTheDisplayFocusesAWindowNotOfOurs) {
  ShowForm();
  ASSERT_TRUE(WaitFor([&] { return GetActiveWindow() == form->Handle(); }));
  std::string root = x11test::Output("xwininfo -root | awk '/Window id:/ {print $4}'");
  root.erase(root.find_last_not_of(" \n") + 1);
  ASSERT_FALSE(root.empty());
  ASSERT_TRUE(Shell("xdotool windowfocus " + root));
  EXPECT_TRUE(WaitFor([] { return GetActiveWindow() == nullptr; }))
      << "the form is still active with the keyboard on the root window";
  Shell("xdotool search --name TalvikX11Input windowfocus");
  EXPECT_TRUE(WaitFor([&] { return GetActiveWindow() == form->Handle(); }))
      << "the form is not active again with the keyboard back on it";
}

namespace {

// X11Input on each desktop (x11test::Desktop).
class X11InputOnDesktop : public X11Input, public ::testing::WithParamInterface<x11test::Desktop> {
 protected:
  void SetUp() override {
    X11Input::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    X11TEST_START_DESKTOP(GetParam(), windowManager_);
  }
  std::optional<x11test::WindowManager> windowManager_;
};

INSTANTIATE_TEST_SUITE_P(, X11InputOnDesktop, ::testing::ValuesIn(x11test::kDesktops), x11test::DesktopName);

}  // namespace

// A click on a scroll bar's arrow scrolls one line whether the press and release come together (a
// tap, a click into a busy program) or the button is held a moment; then a click on a button beside
// reaches the button, and the list scrolled no further.
TEST_P(X11InputOnDesktop, AQuickOrHeldClickOnAScrollArrowScrollsOneLineAndTheNextClickReachesItsTarget) {
  auto* list = new TListBox(form.get());
  list->SetParent(form.get());
  list->SetBounds(10, 10, 200, 150);
  for (int i = 0; i < 100; ++i) list->Items()->Add("строка " + std::to_string(i));
  auto* button = new TButton(form.get());
  button->SetParent(form.get());
  button->SetBounds(250, 200, 100, 30);
  int clicks = 0;
  button->OnClick = [&](TObject*) { ++clicks; };
  ShowForm();
  ASSERT_TRUE(WaitFor([this] { return x11test::ShowsWhereItIsSaidToBe("TalvikX11Input", form->Handle()); }));
  const auto l = talvik::gui::detail::GetScrollBarLayout(list->Handle(), SB_VERT);
  RECT window;
  GetWindowRect(list->Handle(), window);
  const TPoint arrow(window.Left + (l.arrow2.Left + l.arrow2.Right) / 2,
                     window.Top + (l.arrow2.Top + l.arrow2.Bottom) / 2);
  const TPoint beside = button->ClientToScreen({50, 15});
  const auto at = [](TPoint P) { return std::to_string(P.X) + " " + std::to_string(P.Y); };
  int top = 0;
  for (const char* way : {"mousedown 1 mouseup 1", "mousedown 1 sleep 0.1 mouseup 1"})
    for (int i = 0; i < 5; ++i) {
      ++top;
      x11test::LoopBreaker breaker;
      Shell("xdotool mousemove " + at(arrow) + " " + way);
      ASSERT_TRUE(WaitFor([&] { return list->TopIndex() >= top; })) << way << ", click " << i;
      const int before = clicks;
      Shell("xdotool mousemove " + at(beside) + " mousedown 1 mouseup 1");
      ASSERT_TRUE(WaitFor([&] { return clicks > before; })) << "the click after " << way << " was eaten";
      ASSERT_EQ(list->TopIndex(), top) << way << ", click " << i;
      ASSERT_EQ(breaker.Escapes(), 0)
          << way << ", click " << i << ": the arrow waited for a release that had come";
    }
}
