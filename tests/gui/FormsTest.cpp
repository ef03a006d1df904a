#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <thread>

#include "GuiTestSupport.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/GuiPrivate.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"

using namespace guitest;
using talvik::gui::InjectKey;
using talvik::gui::InjectMouse;
using talvik::gui::ShiftKeys;

namespace {

// A focusable control that records what reaches it.
class TProbe : public TCustomControl {
 public:
  explicit TProbe(TComponent* owner) : TCustomControl(owner) {
    SetTabStop(true);
    SetBounds(0, 0, 50, 20);
  }
  std::vector<std::string> events;
  LRESULT dlgCode = 0;

 protected:
  void KeyDown(WORD& Key, TShiftState Shift) override {
    events.push_back("down:" + std::to_string(Key) + (Shift.Contains(ssCtrl) ? "+ctrl" : ""));
    TCustomControl::KeyDown(Key, Shift);
  }
  void KeyPress(char32_t& Key) override {
    events.push_back("press:" + std::to_string(static_cast<unsigned>(Key)));
    TCustomControl::KeyPress(Key);
  }
  void DoEnter() override {
    events.push_back("enter");
    TCustomControl::DoEnter();
  }
  void DoExit() override {
    events.push_back("exit");
    TCustomControl::DoExit();
  }
  void Dispatch(TMessage& m) override {
    if (m.Msg == WM_GETDLGCODE) {
      m.Result = dlgCode;
      return;
    }
    if (m.Msg == CM_MOUSEENTER) events.push_back("mouseenter");
    if (m.Msg == CM_MOUSELEAVE) events.push_back("mouseleave");
    if (m.Msg == CM_HINTSHOW) events.push_back("hintshow");
    TCustomControl::Dispatch(m);
  }
};

class TDot : public TGraphicControl {
 public:
  explicit TDot(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 20, 20); }
  std::vector<std::string> events;

 protected:
  void MouseDown(TMouseButton, TShiftState, int X, int Y) override {
    events.push_back("down " + std::to_string(X) + "," + std::to_string(Y));
  }
  void Paint() override {
    Canvas()->Brush()->SetColor(clRed);
    Canvas()->FillRect(Rect(0, 0, Width(), Height()));
  }
};

class Forms : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    CreateApplication();
    talvik::gui::SetMessageBoxHandler(
        [this](HWND, const std::string& text, const std::string& caption, UINT type) {
          boxes.push_back({text, caption, type});
          return IDOK;
        });
  }
  void TearDown() override {
    talvik::gui::SetMessageBoxHandler(nullptr);
    GuiTest::TearDown();
  }
  struct Box {
    std::string text, caption;
    UINT type;
  };
  std::vector<Box> boxes;

  // Form (borderless, at the screen's corner) shown with a probe at 10,10 that shows a hint, and the
  // mouse moved onto the probe: the hint waits for its pause.
  TProbe* ShowHintedProbe(TForm& form) {
    form.SetBorderStyle(bsNone);
    form.SetBounds(0, 0, 200, 150);
    auto* p = new TProbe(&form);
    p->SetParent(&form);
    p->SetBounds(10, 10, 50, 50);
    p->SetHint("Обновить список сеансов");
    p->SetShowHint(true);
    form.Show();
    Application->ProcessMessages();
    InjectMouse(WM_MOUSEMOVE, Point(20, 20));
    Application->ProcessMessages();
    return p;
  }
};

}  // namespace

TEST_F(Forms, TabAndFocusRunEnterAndExitInOrder) {
  TForm form(nullptr);
  form.SetBounds(100, 100, 300, 200);
  auto* a = new TProbe(&form);
  auto* b = new TProbe(&form);
  a->SetParent(&form);
  b->SetParent(&form);
  b->SetLeft(60);
  form.Show();
  a->SetFocus();
  Application->ProcessMessages();
  EXPECT_TRUE(a->Focused());
  EXPECT_EQ(form.ActiveControl(), a);
  EXPECT_EQ(Screen->ActiveControl(), a);
  a->events.clear();
  InjectKey(VK_TAB, true, U'\t', {});
  Application->ProcessMessages();
  EXPECT_TRUE(b->Focused());
  EXPECT_EQ(a->events, std::vector<std::string>{"exit"});
  ASSERT_FALSE(b->events.empty());
  EXPECT_EQ(b->events.back(), "enter");
  // a control that wants Tab keeps it
  b->dlgCode = DLGC_WANTTAB | DLGC_WANTCHARS;
  b->events.clear();
  InjectKey(VK_TAB, false, 0, {});
  InjectKey(VK_TAB, true, U'\t', {});
  Application->ProcessMessages();
  EXPECT_TRUE(b->Focused());
  EXPECT_EQ(b->events, (std::vector<std::string>{"down:9", "press:9"}));
  // Shift+Tab goes back
  b->dlgCode = 0;
  InjectKey(VK_TAB, true, U'\t', ShiftKeys{true, false, false});
  Application->ProcessMessages();
  EXPECT_TRUE(a->Focused());
  // keys with Ctrl reach KeyDown with the shift state; Ctrl+C types the control character
  a->events.clear();
  InjectKey('C', true, 3, ShiftKeys{false, true, false});
  Application->ProcessMessages();
  EXPECT_EQ(a->events, (std::vector<std::string>{"down:67+ctrl", "press:3"}));
  InjectKey('C', false, 0, {});
  // KeyPreview lets the form see keys first and swallow them
  form.SetKeyPreview(true);
  form.OnKeyDown = [](TObject*, WORD& key, TShiftState) {
    if (key == VK_F5) key = 0;
  };
  a->events.clear();
  InjectKey(VK_F5, true, 0, {});
  Application->ProcessMessages();
  EXPECT_TRUE(a->events.empty());
  // a disabled control loses the focus to the form
  a->SetEnabled(false);
  EXPECT_FALSE(a->Focused());
  EXPECT_FALSE(a->CanFocus());
}

TEST_F(Forms, MouseReachesWindowlessChildrenAndClicks) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 150);
  form.SetBorderStyle(bsNone);
  auto* dot = new TDot(&form);
  dot->SetParent(&form);
  dot->SetBounds(40, 30, 20, 20);
  int clicks = 0;
  dot->OnClick = [&](TObject*) { ++clicks; };
  form.Show();
  Application->ProcessMessages();
  EXPECT_EQ(talvik::gui::WindowPixel(form.Handle(), 45, 35), RGB(255, 0, 0));  // painted by its parent
  InjectMouse(WM_LBUTTONDOWN, Point(45, 37));
  InjectMouse(WM_LBUTTONUP, Point(45, 37));
  Application->ProcessMessages();
  EXPECT_EQ(dot->events, std::vector<std::string>{"down 5,7"});
  EXPECT_EQ(clicks, 1);
  // releasing outside is no click
  InjectMouse(WM_LBUTTONDOWN, Point(45, 37));
  InjectMouse(WM_MOUSEMOVE, Point(150, 100));
  InjectMouse(WM_LBUTTONUP, Point(150, 100));
  Application->ProcessMessages();
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(FindDragTarget(Point(45, 37), false), dot);
}

TEST_F(Forms, MouseEnterLeaveAndHints) {
  TForm form(nullptr);
  TProbe* p = ShowHintedProbe(form);
  EXPECT_NE(std::find(p->events.begin(), p->events.end(), "mouseenter"), p->events.end());
  FakeNow() += 600;  // the hint pause
  Application->ProcessMessages();
  EXPECT_NE(std::find(p->events.begin(), p->events.end(), "hintshow"), p->events.end());
  ASSERT_NE(Application->HintWindow(), nullptr);
  EXPECT_TRUE(IsWindowVisible(Application->HintWindow()->Handle()));
  EXPECT_EQ(Application->HintWindow()->Caption(), "Обновить список сеансов");
  InjectMouse(WM_MOUSEMOVE, Point(150, 120));
  Application->ProcessMessages();
  EXPECT_NE(std::find(p->events.begin(), p->events.end(), "mouseleave"), p->events.end());
  EXPECT_FALSE(IsWindowVisible(Application->HintWindow()->Handle()));
}

// A press before the hint's pause is over takes the hint away: none comes up once the pause is over
// (wherever the mouse went meanwhile).
TEST_F(Forms, APressBeforeTheHintPauseKeepsTheHintAway) {
  TForm form(nullptr);
  TProbe* p = ShowHintedProbe(form);
  FakeNow() += 100;
  InjectMouse(WM_LBUTTONDOWN, Point(20, 20));
  InjectMouse(WM_LBUTTONUP, Point(20, 20));
  Application->ProcessMessages();
  FakeNow() += 600;  // the hint pause
  Application->ProcessMessages();
  EXPECT_EQ(std::count(p->events.begin(), p->events.end(), "hintshow"), 0) << "a hint came after the press";
  EXPECT_TRUE(!Application->HintWindow() || !IsWindowVisible(Application->HintWindow()->Handle()));
}

TEST_F(Forms, ShowModalReturnsTheModalResultAndDisablesOtherForms) {
  TForm mainForm(nullptr);
  mainForm.Show();
  TForm dialog(nullptr);
  dialog.SetBorderStyle(bsDialog);
  dialog.SetPosition(poScreenCenter);
  dialog.SetBounds(0, 0, 200, 100);
  auto* ok = new TProbe(&dialog);
  ok->SetParent(&dialog);
  ok->OnClick = [&](TObject*) { dialog.SetModalResult(mrOk); };
  bool mainDisabled = false;
  dialog.OnShow = [&](TObject*) {
    mainDisabled = !IsWindowEnabled(mainForm.Handle());
    PostMessage(ok->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessage(ok->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  };
  EXPECT_EQ(dialog.ShowModal(), mrOk);
  EXPECT_TRUE(mainDisabled);
  EXPECT_TRUE(IsWindowEnabled(mainForm.Handle()));
  EXPECT_FALSE(dialog.Visible());
  EXPECT_EQ(dialog.Left(), (1024 - 200) / 2);  // centred in the work area
  // OnCloseQuery can refuse; Close in a modal form answers mrCancel
  int asked = 0;
  dialog.OnCloseQuery = [&](TObject*, bool& can) { can = ++asked > 1; };
  dialog.OnShow = [&](TObject*) {
    PostMessage(dialog.Handle(), WM_CLOSE);
    PostMessage(dialog.Handle(), WM_CLOSE);
  };
  EXPECT_EQ(dialog.ShowModal(), mrCancel);
  EXPECT_EQ(asked, 2);
  EXPECT_THROW(mainForm.ShowModal(), EInvalidOperation);  // already visible
}

// A modal form without a window owner is owned, while it runs, by the window that was active when it
// began (the desktop keeps it above that window); a press on that window, which the dialog disabled,
// brings the dialog back to the front and leaves the window as it was.
TEST_F(Forms, AModalFormIsOwnedByTheWindowItWasOpenedFromAndAPressThereBringsItForward) {
  TForm mainForm(nullptr);
  mainForm.SetBounds(0, 0, 400, 300);
  mainForm.Show();
  ASSERT_EQ(GetActiveWindow(), mainForm.Handle());
  TForm dialog(nullptr);
  dialog.SetBorderStyle(bsDialog);
  dialog.SetBounds(500, 100, 200, 100);
  HWND ownerWhileShown = nullptr, topAfterPress = nullptr, activeAfterPress = nullptr;
  dialog.OnActivate = [&](TObject*) {
    if (ownerWhileShown) return;
    ownerWhileShown = GetWindow(dialog.Handle(), GW_OWNER);
    // the desktop raised the disabled main window over the dialog, then the user pressed on it
    SetWindowPos(mainForm.Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    InjectMouse(WM_LBUTTONDOWN, Point(50, 50));
    InjectMouse(WM_LBUTTONUP, Point(50, 50));
    // (the first of the two in z-order, whatever other windows stand above them)
    for (HWND h : GetTopLevelWindows())
      if (h == dialog.Handle() || h == mainForm.Handle()) {
        topAfterPress = h;
        break;
      }
    activeAfterPress = GetActiveWindow();
    PostMessage(dialog.Handle(), WM_CLOSE);
  };
  EXPECT_EQ(dialog.ShowModal(), mrCancel);
  EXPECT_EQ(ownerWhileShown, mainForm.Handle());
  EXPECT_EQ(topAfterPress, dialog.Handle());
  EXPECT_EQ(activeAfterPress, dialog.Handle());
  // given back once it ends: shown on its own later, it has no owner
  EXPECT_EQ(GetWindow(dialog.Handle(), GW_OWNER), nullptr);
  EXPECT_EQ(GetActiveWindow(), mainForm.Handle());
}

// The window a modal form was opened from goes while it runs: the form's window goes with it, and
// the modal loop ends as cancelled rather than wait for a window no one sees.
TEST_F(Forms, AModalFormWhoseOwnerGoesEndsCancelled) {
  auto* mainForm = new TForm(nullptr);
  mainForm->Show();
  TForm dialog(nullptr);
  dialog.OnShow = [&](TObject*) {
    PostMessage(nullptr, WM_NULL);  // the loop wakes once
    delete mainForm;
  };
  EXPECT_EQ(dialog.ShowModal(), mrCancel);
  EXPECT_FALSE(dialog.HandleAllocated());
}

TEST_F(Forms, ANestedModalLoopPassesWmQuitOn) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        TForm dialog(nullptr);
        dialog.OnShow = [](TObject*) { PostQuitMessage(5); };
        TModalResult r = dialog.ShowModal();
        MSG m;
        bool requeued = PeekMessage(m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && m.wParam == 5;
        std::exit(r == mrCancel && requeued && Application->Terminated() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(Forms, CloseActionsHideOrFreeTheForm) {
  TForm mainForm(nullptr);
  Application->SetMainForm(&mainForm);
  auto* other = new TForm(nullptr);
  bool destroyed = false;
  other->OnDestroy = [&](TObject*) { destroyed = true; };
  other->Show();
  other->Close();
  EXPECT_FALSE(other->Visible());
  EXPECT_FALSE(destroyed);
  other->OnClose = [](TObject*, TCloseAction& a) { a = caFree; };
  other->Show();
  other->Close();
  EXPECT_FALSE(destroyed);  // freed by a posted message, not inside Close
  Application->ProcessMessages();
  EXPECT_TRUE(destroyed);
  Application->SetMainForm(nullptr);
}

// The desktop maximises a form (its title bar, its window manager): the form reads maximised and
// keeps its bounds from before as the normal ones; minimised and restored it comes back maximised;
// restored from maximised by the desktop it stands at those bounds again.
TEST_F(Forms, TheDesktopsMaximiseKeepsTheNormalBoundsAndARestoredIconComesBackMaximised) {
  TForm form(nullptr);
  form.SetBounds(10, 20, 300, 200);
  form.Show();
  const HWND h = form.Handle();
  const RECT normal = Rect(10, 20, 310, 220);
  talvik::gui::detail::DesktopMaximized(h, true);
  EXPECT_EQ(form.WindowState(), wsMaximized);
  SetWindowPos(h, nullptr, 0, 0, 1024, 728, SWP_NOZORDER | SWP_NOACTIVATE);  // where the desktop put it
  WINDOWPLACEMENT p;
  ASSERT_TRUE(GetWindowPlacement(h, p));
  EXPECT_EQ(p.showCmd, static_cast<UINT>(SW_SHOWMAXIMIZED));
  EXPECT_EQ(p.rcNormalPosition, normal);
  ShowWindow(h, SW_MINIMIZE);
  EXPECT_EQ(form.WindowState(), wsMinimized);
  ShowWindow(h, SW_RESTORE);
  EXPECT_EQ(form.WindowState(), wsMaximized);
  EXPECT_TRUE(IsZoomed(h));
  talvik::gui::detail::DesktopMaximized(h, false);
  EXPECT_EQ(form.WindowState(), wsNormal);
  RECT r;
  GetWindowRect(h, r);
  EXPECT_EQ(r, normal);
  // the normal show command leaves both states at once
  form.SetWindowState(wsMaximized);
  ShowWindow(h, SW_MINIMIZE);
  ShowWindow(h, SW_SHOWNORMAL);
  EXPECT_FALSE(IsIconic(h));
  EXPECT_FALSE(IsZoomed(h));
  GetWindowRect(h, r);
  EXPECT_EQ(r, normal);
  EXPECT_EQ(form.WindowState(), wsNormal);
}

TEST_F(Forms, MdiChildrenActivateInTurn) {
  auto* frame = new TForm(nullptr);
  frame->SetFormStyle(fsMDIForm);
  frame->SetBounds(0, 0, 600, 400);
  Application->SetMainForm(frame);
  frame->Show();
  ASSERT_NE(frame->ClientHandle(), nullptr);
  std::vector<std::string> log;
  auto child = [&](const char* name, int x) {
    auto* c = new TForm(frame);
    c->SetName(name);
    c->SetFormStyle(fsMDIChild);
    c->SetBounds(x, 10, 200, 150);
    c->OnActivate = [&log, c](TObject*) { log.push_back("activate " + c->Name()); };
    c->OnDeactivate = [&log, c](TObject*) { log.push_back("deactivate " + c->Name()); };
    c->Show();
    return c;
  };
  TCustomForm* one = child("One", 10);
  TCustomForm* two = child("Two", 250);
  EXPECT_EQ(frame->MDIChildCount(), 2);
  EXPECT_EQ(frame->ActiveMDIChild(), two);
  EXPECT_EQ(reinterpret_cast<HWND>(SendMessage(frame->ClientHandle(), WM_MDIGETACTIVE)), two->Handle());
  log.clear();
  // a click into the first child activates it
  POINT p{30, 60};
  ClientToScreen(one->Handle(), p);
  InjectMouse(WM_LBUTTONDOWN, p);
  InjectMouse(WM_LBUTTONUP, p);
  Application->ProcessMessages();
  EXPECT_EQ(frame->ActiveMDIChild(), one);
  EXPECT_EQ(log, (std::vector<std::string>{"deactivate Two", "activate One"}));
  EXPECT_EQ(Screen->ActiveForm(), one);
  frame->Next();
  EXPECT_EQ(frame->ActiveMDIChild(), two);
  // a freed child leaves the list and the other becomes active
  delete two;
  EXPECT_EQ(frame->MDIChildCount(), 1);
  EXPECT_EQ(frame->ActiveMDIChild(), one);
  Application->SetMainForm(nullptr);
  delete frame;
}

TEST_F(Forms, AChildMadeBeforeItsFrameShowsLivesInTheFramesClientAreaBelowItsDocks) {
  auto* frame = new TForm(nullptr);
  frame->SetFormStyle(fsMDIForm);
  frame->SetBounds(0, 0, 600, 400);
  Application->SetMainForm(frame);
  auto* bar = new TPanel(frame);  // a dock along the top
  bar->SetParent(frame);
  bar->SetHeight(40);
  bar->SetAlign(alTop);
  ASSERT_FALSE(frame->HandleAllocated());
  auto* child = new TForm(frame);
  child->SetFormStyle(fsMDIChild);
  child->SetWindowState(wsMaximized);
  child->Show();
  frame->Show();
  Application->ProcessMessages();
  ASSERT_NE(frame->ClientHandle(), nullptr);
  EXPECT_EQ(GetParent(child->Handle()), frame->ClientHandle());
  POINT origin{0, 0};
  ClientToScreen(child->Handle(), origin);
  POINT barBottom{0, bar->Height()};
  ClientToScreen(bar->Handle(), barBottom);
  EXPECT_GE(origin.Y, barBottom.Y) << "the child covers the dock";
  // the dock grows after the child was maximised: the child still fills the client area exactly
  bar->SetHeight(60);
  Application->ProcessMessages();
  RECT client;
  GetClientRect(frame->ClientHandle(), client);
  EXPECT_EQ(child->BoundsRect(), Rect(0, 0, client.Width(), client.Height()));
  Application->SetMainForm(nullptr);
  delete frame;
}

// Windows placed and sized at the ends of int (stored values gone wrong): a frame far out with its
// maximised child, and a control on that child as large as int goes. The window layer holds places
// and sizes within the range it works in, so its sums of places stay within int.
TEST_F(Forms, PlacesAndSizesAtTheEndsOfTheIntRangeKeepTheArithmeticWithinIt) {
  const POINT places[] = {
      {INT_MAX, INT_MAX}, {-INT_MAX, -INT_MAX}, {INT_MIN, INT_MIN}, {2147483000, -2147483000}};
  for (const POINT& at : places) {
    auto* frame = new TForm(nullptr);
    frame->SetFormStyle(fsMDIForm);
    frame->SetBounds(at.X, at.Y, 600, 400);
    Application->SetMainForm(frame);
    auto* child = new TForm(frame);
    child->SetFormStyle(fsMDIChild);
    child->SetWindowState(wsMaximized);
    child->Show();
    auto* panel = new TPanel(child);
    panel->SetParent(child);
    panel->SetBounds(at.X, at.Y, INT_MAX, INT_MAX);
    frame->Show();
    Application->ProcessMessages();
    RECT client;
    GetClientRect(frame->Handle(), client);
    EXPECT_EQ(client.Width(), frame->ClientWidth());
    EXPECT_GT(child->Width(), 0);
    EXPECT_GT(panel->Width(), 0);
    POINT origin{0, 0};
    ClientToScreen(panel->Handle(), origin);
    EXPECT_LT(std::llabs(origin.X), 1LL << 26);  // a place a window can be told at
    EXPECT_LT(std::llabs(origin.Y), 1LL << 26);
    Application->SetMainForm(nullptr);
    delete frame;
  }
}

TEST_F(Forms, ExceptionsShowAsErrorBoxesUnderTheTitle) {
  Application->SetTitle("Talvik");
  auto raise = [&](auto e) {
    try {
      throw e;
    } catch (...) {
      Application->HandleException(nullptr);
    }
  };
  raise(Exception("Bad value"));
  raise(Exception("Already done."));
  raise(Exception("Why?"));
  raise(Exception("Ошибка"));
  raise(Exception("(code 5)"));
  raise(EAbort());
  raise(std::runtime_error("plain"));
  ASSERT_EQ(boxes.size(), 6u);
  EXPECT_EQ(boxes[0].text, "Bad value.");
  EXPECT_EQ(boxes[0].caption, "Talvik");
  EXPECT_EQ(boxes[0].type, MB_OK | MB_ICONSTOP);
  EXPECT_EQ(boxes[1].text, "Already done.");
  EXPECT_EQ(boxes[2].text, "Why?.");  // '?' sorts above '.'
  EXPECT_EQ(boxes[3].text, "Ошибка.");
  EXPECT_EQ(boxes[4].text, "(code 5)");
  EXPECT_EQ(boxes[5].text, "plain.");
  // OnException takes over, except for EAbort
  int seen = 0;
  Application->OnException = [&](TObject*, const Exception&) { ++seen; };
  raise(Exception("x"));
  raise(EAbort());
  EXPECT_EQ(seen, 1);
  Application->OnException = nullptr;
  // an exception in a message handler reaches the box, not the loop
  TForm form(nullptr);
  form.OnClick = [](TObject*) { throw EConvertError("'x' is not a valid integer value"); };
  form.Show();
  PostMessage(form.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  PostMessage(form.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  Application->ProcessMessages();
  EXPECT_EQ(boxes.back().text, "'x' is not a valid integer value.");
}

TEST_F(Forms, TimersAndQueuedThreadWorkRunInTheMessageLoop) {
  TTimer timer(nullptr);
  int ticks = 0;
  timer.SetInterval(100);
  timer.SetOnTimer([&](TObject*) { ++ticks; });
  FakeNow() += 100;
  Application->ProcessMessages();
  EXPECT_EQ(ticks, 1);
  timer.SetEnabled(false);
  FakeNow() += 100;
  Application->ProcessMessages();
  EXPECT_EQ(ticks, 1);
  timer.SetEnabled(true);
  timer.SetInterval(0);  // never fires
  FakeNow() += 1000;
  Application->ProcessMessages();
  EXPECT_EQ(ticks, 1);
  // work queued by another thread runs in the main loop
  bool ran = false;
  std::thread worker([&] { TThread::Queue(nullptr, [&] { ran = true; }); });
  worker.join();
  for (int i = 0; i < 10 && !ran; ++i) Application->HandleMessage();
  EXPECT_TRUE(ran);
}

TEST_F(Forms, AlignmentAnchorsAndPanels) {
  TForm form(nullptr);
  form.SetBorderStyle(bsNone);
  form.SetBounds(0, 0, 300, 200);
  auto* top = new TPanel(&form);
  top->SetParent(&form);
  top->SetAlign(alTop);
  top->SetHeight(30);
  auto* left = new TPanel(&form);
  left->SetParent(&form);
  left->SetAlign(alLeft);
  left->SetWidth(50);
  auto* client = new TPanel(&form);
  client->SetParent(&form);
  client->SetAlign(alClient);
  auto* anchored = new TPanel(client);
  anchored->SetParent(client);
  anchored->SetBounds(200, 10, 20, 20);
  anchored->SetAnchors({akTop, akRight});
  form.Show();
  EXPECT_EQ(top->BoundsRect(), Rect(0, 0, 300, 30));
  EXPECT_EQ(left->BoundsRect(), Rect(0, 30, 50, 200));
  EXPECT_EQ(client->BoundsRect(), Rect(50, 30, 300, 200));
  form.SetBounds(0, 0, 400, 300);
  EXPECT_EQ(client->BoundsRect(), Rect(50, 30, 400, 300));
  EXPECT_EQ(anchored->Left(), 300);  // kept its distance to the right edge
  // the panel's raised bevel
  EXPECT_EQ(talvik::gui::WindowPixel(form.Handle(), 0, 0), RGB(255, 255, 255));
  EXPECT_EQ(talvik::gui::WindowPixel(form.Handle(), 299, 29), RGB(128, 128, 128));
}

namespace {
// A form class of the program's own, declared without a class identity of its own.
class TPlainForm : public TForm {
 public:
  using TForm::TForm;
};
}  // namespace

TEST_F(Forms, AControlsParentFormIsTheNearestFormAboveIt) {
  TPlainForm outer(nullptr);
  auto* panel = new TPanel(&outer);
  panel->SetParent(&outer);
  auto* inner = new TForm(&outer);  // a form docked into a panel of another
  inner->SetParent(panel);
  auto* innerPanel = new TPanel(inner);
  innerPanel->SetParent(inner);
  auto* deep = new TDot(inner);
  deep->SetParent(innerPanel);
  auto* onOuter = new TDot(&outer);
  onOuter->SetParent(panel);
  auto* loose = new TPanel(&outer);  // no parent at all
  TCustomForm* const outerForm = &outer;
  EXPECT_EQ(GetParentForm(&outer), outerForm);
  EXPECT_EQ(GetParentForm(panel), outerForm);
  EXPECT_EQ(GetParentForm(onOuter), outerForm);
  EXPECT_EQ(GetParentForm(inner), inner);
  EXPECT_EQ(GetParentForm(innerPanel), inner);
  EXPECT_EQ(GetParentForm(deep), inner);
  EXPECT_EQ(GetParentForm(loose), nullptr);
  EXPECT_EQ(GetParentForm(nullptr), nullptr);
  inner->SetParent(nullptr);  // undocked: its controls' form stays itself, the panel's the outer
  EXPECT_EQ(GetParentForm(deep), inner);
  deep->SetParent(panel);
  EXPECT_EQ(GetParentForm(deep), outerForm);
}

TEST(Clipboard, FormatsTravelAsBytesAndCommitOnClose) {
  SetClipboardBackend(MakeMemoryClipboard());
  UINT csv = RegisterClipboardFormat("Csv");
  EXPECT_EQ(RegisterClipboardFormat("CSV"), csv);
  EXPECT_GE(csv, 0xC000u);
  EXPECT_THROW(RegisterClipboardFormat(""), EInvalidOperation);
  Clipboard()->SetAsText("Сеанс 42");
  EXPECT_TRUE(Clipboard()->HasFormat(CF_TEXT));
  EXPECT_EQ(Clipboard()->AsText(), "Сеанс 42");
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_FALSE(OpenClipboard(nullptr));
  EmptyClipboard();
  std::string block(
      "\x02"
      "abc\0",
      5);
  SetClipboardData(csv, block);
  SetClipboardData(CF_TEXT, "abc");
  ASSERT_TRUE(CloseClipboard());
  std::string out;
  ASSERT_TRUE(GetClipboardData(csv, out));
  EXPECT_EQ(out, block);  // zero bytes survive
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT));
  EXPECT_EQ(Clipboard()->AsText(), "abc");
  SetClipboardBackend(nullptr);
}

TEST_F(Forms, ParentFontAndColourFlowDownAndSurviveRecreation) {
  TForm form(nullptr);
  auto* panel = new TPanel(&form);
  panel->SetParent(&form);
  auto* probe = new TProbe(&form);
  probe->SetParent(panel);
  form.Font()->SetName("Courier New");
  form.Font()->SetSize(12);
  EXPECT_EQ(panel->Font()->Name(), "Courier New");
  EXPECT_EQ(probe->Font()->Size(), 12);
  EXPECT_TRUE(probe->ParentFont());
  probe->Font()->SetStyle({fsBold});  // its own font from now on
  EXPECT_FALSE(probe->ParentFont());
  form.Font()->SetName("Arial");
  EXPECT_EQ(probe->Font()->Name(), "Courier New");
  panel->SetColor(clRed);
  EXPECT_EQ(probe->Color(), clRed);
  form.Show();
  HWND before = probe->Handle();
  probe->SetBounds(5, 6, 70, 20);
  panel->RecreateWnd();
  EXPECT_NE(probe->Handle(), before);
  EXPECT_EQ(probe->BoundsRect(), Bounds(5, 6, 70, 20));
  EXPECT_EQ(GetParent(probe->Handle()), panel->Handle());
}

TEST_F(Forms, MainWindowHooksSeeUnhandledKeysAndTheMenuKey) {
  TForm form(nullptr);
  auto* p = new TProbe(&form);
  p->SetParent(&form);
  form.Show();
  p->SetFocus();
  std::vector<UINT> seen;
  int id = Application->HookMainWindow([&](TMessage& m) {
    if (m.Msg == CM_APPKEYDOWN || m.Msg == CM_APPSYSCOMMAND) seen.push_back(m.Msg);
    return m.Msg == CM_APPKEYDOWN;
  });
  p->events.clear();
  InjectKey(VK_F7, true, 0, {});
  Application->ProcessMessages();
  EXPECT_EQ(seen, std::vector<UINT>{CM_APPKEYDOWN});
  EXPECT_TRUE(p->events.empty());  // the hook took it
  InjectKey(VK_F7, false, 0, {});
  InjectKey(VK_MENU, true, 0, ShiftKeys{false, false, true});
  InjectKey(VK_MENU, false, 0, {});
  Application->ProcessMessages();
  EXPECT_EQ(seen.back(), CM_APPSYSCOMMAND);
  Application->UnhookMainWindow(id);
  seen.clear();
  InjectKey(VK_F7, true, 0, {});
  Application->ProcessMessages();
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(p->events, std::vector<std::string>{"down:118"});
}

TEST_F(Forms, PrintingAWindowIntoABitmapTakesFrameClientAndChildren) {
  TForm form(nullptr);
  form.SetBorderStyle(bsNone);
  form.SetBounds(0, 0, 100, 80);
  auto* panel = new TPanel(&form);
  panel->SetParent(&form);
  panel->SetBounds(10, 10, 40, 30);
  panel->SetColor(clLime);
  panel->SetBevelOuter(bvNone);
  form.Show();
  TBitmap bmp;
  bmp.SetSize(100, 80);
  bmp.Canvas()->Brush()->SetColor(clBlack);
  bmp.Canvas()->FillRect(Rect(0, 0, 100, 80));
  SendMessage(form.Handle(), WM_PRINT, reinterpret_cast<WPARAM>(bmp.Canvas()->Handle()), 2 | 4 | 8 | 16);
  EXPECT_EQ(bmp.Canvas()->Pixels(5, 5), static_cast<TColor>(RGB(212, 208, 200)));
  EXPECT_EQ(bmp.Canvas()->Pixels(20, 20), clLime);
}

TEST_F(Forms, TheCaretBlinksAndNestsItsHiding) {
  TForm form(nullptr);
  form.SetBorderStyle(bsNone);
  form.SetBounds(0, 0, 100, 50);
  auto* p = new TProbe(&form);
  p->SetParent(&form);
  form.Show();
  HWND h = p->Handle();
  ASSERT_TRUE(CreateCaret(h, nullptr, 2, 14));
  SetCaretPos(10, 3);
  RECT caret;
  EXPECT_FALSE(talvik::gui::CaretShownIn(form.Handle(), caret));  // created hidden
  ShowCaret(h);
  EXPECT_TRUE(talvik::gui::CaretShownIn(form.Handle(), caret));
  EXPECT_EQ(caret, Bounds(10, 3, 2, 14));
  HideCaret(h);
  HideCaret(h);
  ShowCaret(h);
  EXPECT_FALSE(talvik::gui::CaretShownIn(form.Handle(), caret));  // hidden twice, shown once
  ShowCaret(h);
  EXPECT_TRUE(talvik::gui::CaretShownIn(form.Handle(), caret));
  FakeNow() += GetCaretBlinkTime();
  MSG m;
  PeekMessage(m, nullptr, 0, 0, PM_NOREMOVE);
  EXPECT_FALSE(talvik::gui::CaretShownIn(form.Handle(), caret));  // blinked off
  SetCaretPos(20, 3);                                             // moving shows it again at once
  EXPECT_TRUE(talvik::gui::CaretShownIn(form.Handle(), caret));
  EXPECT_EQ(caret.Left, 20);
  DestroyCaret();
  EXPECT_FALSE(talvik::gui::CaretShownIn(form.Handle(), caret));
}

namespace {

// Which control has the focus when a form with three tab stops (the first one disabled when asked)
// is shown: a form of its own, or a child window of the active multiple-document frame.
struct FirstFocusCase {
  const char* name;
  bool firstDisabled;
  int chosen;    // the control given as ActiveControl before showing (-1: none)
  int expected;  // the control focused after showing
  bool mdiChild;
};
void PrintTo(const FirstFocusCase& Case, std::ostream* Out) {
  *Out << Case.name;
}
class FirstFocus : public Forms, public ::testing::WithParamInterface<FirstFocusCase> {};

TEST_P(FirstFocus, AShownFormFocusesItsChosenControlElseTheFirstOfItsTabOrder) {
  TForm frame(nullptr);
  const TScopeExit noMainForm([] { Application->SetMainForm(nullptr); });
  if (GetParam().mdiChild) {
    frame.SetFormStyle(fsMDIForm);
    frame.SetBounds(0, 0, 600, 400);
    Application->SetMainForm(&frame);
    frame.Show();
    SetActiveWindow(frame.Handle());
    Application->ProcessMessages();
    ASSERT_EQ(GetFocus(), frame.Handle());
  }
  TForm form(nullptr);
  if (GetParam().mdiChild) form.SetFormStyle(fsMDIChild);
  form.SetBounds(10, 10, 300, 200);
  std::vector<TProbe*> probes;
  for (int i = 0; i < 3; ++i) {
    auto* p = new TProbe(&form);
    p->SetParent(&form);
    p->SetTop(30 * i);
    probes.push_back(p);
  }
  // tab order against the order of creation
  probes[2]->SetTabOrder(0);
  probes[0]->SetTabOrder(1);
  probes[1]->SetTabOrder(2);
  probes[2]->SetEnabled(!GetParam().firstDisabled);
  if (GetParam().chosen >= 0) form.SetActiveControl(probes[static_cast<size_t>(GetParam().chosen)]);
  form.Show();
  if (!GetParam().mdiChild) SetActiveWindow(form.Handle());
  Application->ProcessMessages();
  EXPECT_EQ(GetFocus(), probes[static_cast<size_t>(GetParam().expected)]->Handle());
  EXPECT_EQ(form.ActiveControl(), probes[static_cast<size_t>(GetParam().expected)]);
}

const FirstFocusCase kFirstFocus[] = {
    {"FirstOfTheTabOrder", false, -1, 2, false},
    {"DisabledOneSkipped", true, -1, 0, false},
    {"ChosenControlKept", false, 1, 1, false},
    {"ChildOfTheActiveFrameFirstOfTheTabOrder", false, -1, 2, true},
    {"ChildOfTheActiveFrameDisabledOneSkipped", true, -1, 0, true},
    {"ChildOfTheActiveFrameChosenControlKept", false, 1, 1, true},
};
INSTANTIATE_TEST_SUITE_P(Cases, FirstFocus, ::testing::ValuesIn(kFirstFocus),
                         [](const auto& Info) { return std::string(Info.param.name); });

}  // namespace
