// What the desktop is told of our framed windows, read back from a real X server with xprop (run
// through xvfb-run -a): the title bar's buttons and the sizing a form's border asks for, the dialog
// type, and the window a dialog is transient for, so that the desktop keeps it above that window; which
// windows the taskbar lists, which dialog is modal, and that a floating tool window takes no focus.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "X11TestSupport.h"
#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"

using x11test::Output;
using x11test::WaitFor;

namespace {

// The X window of a shown top-level window, found by its caption (decimal, as xdotool writes it).
std::string XWindow(const std::string& Caption) {
  std::string id;
  WaitFor([&] {
    id = Output("xdotool search --onlyvisible --name '^" + Caption + "$' 2>/dev/null");
    return !id.empty();
  });
  return id.substr(0, id.find('\n'));
}

std::string Property(const std::string& Window, const std::string& Name) {
  return Output("xprop -id " + Window + " " + Name + " 2>/dev/null");
}

// The values after '=' or '#' in xprop's answer, read as hexadecimal numbers.
std::vector<unsigned long> Numbers(const std::string& Answer, char After) {
  std::vector<unsigned long> values;
  const auto at = Answer.find(After);
  if (at == std::string::npos) return values;
  std::istringstream list(Answer.substr(at + 1));
  for (std::string v; std::getline(list, v, ',');) values.push_back(std::stoul(v, nullptr, 16));
  return values;
}

// "program specified minimum size: 146 by 102" ("" when the hints hold none).
std::string SizeHint(const std::string& Hints, const std::string& Name) {
  const auto at = Hints.find(Name);
  if (at == std::string::npos) return "";
  const auto from = at + Name.size();
  return Hints.substr(from, Hints.find('\n', from) - from);
}

// The bits of _MOTIF_WM_HINTS: flags, functions, decorations.
constexpr unsigned long kFuncClose = 0x20, kFuncMinimize = 0x8, kFuncMaximize = 0x10;
constexpr unsigned long kDecorMinimize = 0x20, kDecorMaximize = 0x40;

struct BorderCase {
  const char* name;
  TFormBorderStyle style;
  TBorderIcons icons;
  bool minimise, maximise, sizeable, dialog;
};

const BorderCase kBorders[] = {
    {"Dialog", bsDialog, {biSystemMenu, biMinimize, biMaximize}, false, false, false, true},
    {"Single", bsSingle, {biSystemMenu, biMinimize, biMaximize}, true, true, false, false},
    {"Sizeable", bsSizeable, {biSystemMenu, biMinimize, biMaximize}, true, true, true, false},
    {"SizeableWithoutMaximise", bsSizeable, {biSystemMenu, biMinimize}, true, false, true, false},
};

class X11DesktopHints : public x11test::ToolkitTest, public ::testing::WithParamInterface<BorderCase> {};

// The border and its icons decide the title bar's buttons, whether the desktop may size the window
// (one size, the window's own, where it may not), and the window's type.
TEST_P(X11DesktopHints, TheBorderDecidesTheButtonsTheSizingAndTheType) {
  const BorderCase& c = GetParam();
  TForm form(nullptr);
  const std::string caption = std::string("TalvikHints") + c.name;
  form.SetCaption(caption);
  form.SetBorderStyle(c.style);
  form.SetBorderIcons(c.icons);
  form.SetBounds(100, 100, 300, 200);
  form.Show();
  const std::string window = XWindow(caption);
  ASSERT_FALSE(window.empty());
  const auto motif = Numbers(Property(window, "_MOTIF_WM_HINTS"), '=');
  ASSERT_GE(motif.size(), 3u);
  EXPECT_EQ((motif[1] & kFuncMinimize) != 0, c.minimise) << std::hex << motif[1];
  EXPECT_EQ((motif[1] & kFuncMaximize) != 0, c.maximise) << std::hex << motif[1];
  EXPECT_NE(motif[1] & kFuncClose, 0u) << std::hex << motif[1];
  EXPECT_EQ((motif[2] & kDecorMinimize) != 0, c.minimise) << std::hex << motif[2];
  EXPECT_EQ((motif[2] & kDecorMaximize) != 0, c.maximise) << std::hex << motif[2];
  const std::string hints = Property(window, "WM_NORMAL_HINTS");
  const std::string least = SizeHint(hints, "minimum size: "), most = SizeHint(hints, "maximum size: ");
  if (c.sizeable) {
    EXPECT_TRUE(most.empty() || least != most) << hints;
  } else {
    EXPECT_FALSE(least.empty()) << hints;
    EXPECT_EQ(least, most) << hints;
    // the size the desktop is told of is the window's client
    EXPECT_EQ(least, std::to_string(form.ClientWidth()) + " by " + std::to_string(form.ClientHeight()))
        << hints;
  }
  const std::string type = Property(window, "_NET_WM_WINDOW_TYPE");
  EXPECT_EQ(type.find("_NET_WM_WINDOW_TYPE_DIALOG") != std::string::npos, c.dialog) << type;
  // the program resizes a window the desktop may not: the one size follows
  form.SetBounds(100, 100, 340, 220);
  if (!c.sizeable) {
    EXPECT_TRUE(WaitFor([&] {
      return SizeHint(Property(window, "WM_NORMAL_HINTS"), "maximum size: ") ==
             std::to_string(form.ClientWidth()) + " by " + std::to_string(form.ClientHeight());
    })) << Property(window, "WM_NORMAL_HINTS");
  }
}

INSTANTIATE_TEST_SUITE_P(X11Borders, X11DesktopHints, ::testing::ValuesIn(kBorders),
                         [](const auto& info) { return std::string(info.param.name); });

class X11Transient : public x11test::ToolkitTest {};

// A form owned by a form is a dialog transient for its owner's window; a modal form without an owner
// is one for the window it was opened from while it runs.
TEST_F(X11Transient, OwnedAndModalFormsAreTransientForTheirOwners) {
  TForm mainForm(nullptr);
  mainForm.SetCaption("TalvikTransientMain");
  mainForm.SetBounds(50, 50, 400, 300);
  mainForm.Show();
  const std::string main = XWindow("TalvikTransientMain");
  ASSERT_FALSE(main.empty());
  {
    TForm owned(&mainForm);
    owned.SetCaption("TalvikTransientOwned");
    owned.SetBounds(100, 100, 200, 100);
    owned.Show();
    const std::string window = XWindow("TalvikTransientOwned");
    ASSERT_FALSE(window.empty());
    const auto transient = Numbers(Property(window, "WM_TRANSIENT_FOR"), '#');
    ASSERT_EQ(transient.size(), 1u);
    EXPECT_EQ(std::to_string(transient[0]), main);
    EXPECT_NE(Property(window, "_NET_WM_WINDOW_TYPE").find("_NET_WM_WINDOW_TYPE_DIALOG"), std::string::npos);
  }
  TForm dialog(nullptr);  // sizeable: no dialog's frame, a dialog for the desktop only while it runs
  dialog.SetCaption("TalvikTransientModal");
  dialog.SetBounds(150, 150, 200, 100);
  std::string transientWhileModal;
  dialog.OnShow = [&](TObject*) { PostMessage(dialog.Handle(), WM_NULL); };
  dialog.OnPaint = [&](TObject*) {
    if (!transientWhileModal.empty()) return;
    const std::string window = XWindow("TalvikTransientModal");
    const auto transient = Numbers(Property(window, "WM_TRANSIENT_FOR"), '#');
    transientWhileModal = transient.empty() ? "none" : std::to_string(transient[0]);
    dialog.SetModalResult(mrOk);
  };
  EXPECT_EQ(dialog.ShowModal(), mrOk);
  EXPECT_EQ(transientWhileModal, main);
}

// The window manager's states the window holds, as xprop names them.
std::string States(const std::string& Window) {
  return Property(Window, "_NET_WM_STATE");
}
bool Holds(const std::string& States, const std::string& State) {
  const auto at = States.find('=');
  if (at == std::string::npos) return false;
  std::istringstream list(States.substr(at + 1));
  for (std::string name; std::getline(list, name, ',');)
    if (name.find_first_not_of(' ') != std::string::npos &&
        name.substr(name.find_first_not_of(' '), name.find_last_not_of(" \n") - name.find_first_not_of(' ') +
                                                     1) == "_NET_WM_STATE_" + State)
      return true;
  return false;
}

// A floating tool window over its form, as a floating toolbar's: framed by us, managed by the desktop.
class TToolWindow : public TForm {
 public:
  TToolWindow(TForm* Owner) : TForm(nullptr), owner_(Owner) {}

 protected:
  void CreateParams(TCreateParams& Params) override {
    TForm::CreateParams(Params);
    Params.Style =
        (Params.Style & ~(WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_CHILD)) | WS_POPUP | WS_BORDER;
    Params.ExStyle |= WS_EX_TOOLWINDOW | talvik::gui::WS_EX_MANAGEDTOOL;
    Params.WndParent = owner_->Handle();
  }

 private:
  TForm* owner_;
};

class X11DesktopStates : public x11test::ToolkitTest {};

// The taskbar lists the main window alone: a floating tool window and a dialog its form owns stand for
// it, the tool window on the pager too; a modal dialog says so. The tool window takes no focus from the
// desktop: its activation is its owner's.
TEST_F(X11DesktopStates, ToolWindowsAndOwnedDialogsStayOffTheTaskbarAndAModalDialogSaysSo) {
  TForm mainForm(nullptr);
  mainForm.SetCaption("TalvikStatesMain");
  mainForm.SetBounds(50, 50, 400, 300);
  mainForm.Show();
  const std::string main = XWindow("TalvikStatesMain");
  ASSERT_FALSE(main.empty());
  EXPECT_FALSE(Holds(States(main), "SKIP_TASKBAR")) << States(main);

  TToolWindow tool(&mainForm);
  tool.SetCaption("TalvikStatesTool");
  tool.SetBounds(300, 300, 120, 40);
  tool.Show();
  const std::string toolWindow = XWindow("TalvikStatesTool");
  ASSERT_FALSE(toolWindow.empty());
  const std::string toolStates = States(toolWindow);
  EXPECT_TRUE(Holds(toolStates, "SKIP_TASKBAR")) << toolStates;
  EXPECT_TRUE(Holds(toolStates, "SKIP_PAGER")) << toolStates;
  EXPECT_FALSE(Holds(toolStates, "MODAL")) << toolStates;
  const std::string hints = Property(toolWindow, "WM_HINTS");
  EXPECT_NE(hints.find("accepts input or input focus: False"), std::string::npos) << hints;

  {
    TForm owned(&mainForm);
    owned.SetCaption("TalvikStatesOwned");
    owned.SetBounds(100, 100, 200, 100);
    owned.Show();
    const std::string window = XWindow("TalvikStatesOwned");
    ASSERT_FALSE(window.empty());
    const std::string states = States(window);
    EXPECT_TRUE(Holds(states, "SKIP_TASKBAR")) << states;
    EXPECT_FALSE(Holds(states, "SKIP_PAGER")) << states;
    EXPECT_FALSE(Holds(states, "MODAL")) << states;
  }

  TForm dialog(nullptr);
  dialog.SetCaption("TalvikStatesModal");
  dialog.SetBorderStyle(bsDialog);
  dialog.SetBounds(150, 150, 200, 100);
  std::string whileModal;
  dialog.OnShow = [&](TObject*) { PostMessage(dialog.Handle(), WM_NULL); };
  dialog.OnPaint = [&](TObject*) {
    if (!whileModal.empty()) return;
    whileModal = States(XWindow("TalvikStatesModal"));
    if (whileModal.empty()) whileModal = "none";
    dialog.SetModalResult(mrOk);
  };
  EXPECT_EQ(dialog.ShowModal(), mrOk);
  EXPECT_TRUE(Holds(whileModal, "MODAL")) << whileModal;
  EXPECT_TRUE(Holds(whileModal, "SKIP_TASKBAR")) << whileModal;
}

}  // namespace
