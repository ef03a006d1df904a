// The tray icon on a notification area of the test's own: clicks and their timing, the menu, the
// hint, minimising to the tray, a restarted shell, and the icon leaving with its component.
#include <gtest/gtest.h>

#include "app/SysTrayIcon.h"
#include "gui/GuiTestSupport.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"

using guitest::FakeNow;
using guitest::GuiTest;

class SysTrayIconTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    talvik::gui::SetTrayShell(&shell);
    CreateApplication();
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(10, 10, 300, 200);
    Application->SetMainForm(form.get());
    tray = new TSysTrayIcon(form.get());
  }
  void TearDown() override {
    Application->SetMainForm(nullptr);
    form.reset();
    talvik::gui::SetTrayShell(nullptr);
    GuiTest::TearDown();
  }
  void Input(UINT mouseMessage) {
    talvik::gui::TrayIconInput(tray->IconData().hWnd, tray->IconId(), mouseMessage);
    Pump();
  }
  void Advance(unsigned ms) {
    FakeNow() += ms;
    Pump();
  }
  bool Shown() { return talvik::gui::TrayIcons().count({tray->IconData().hWnd, tray->IconId()}) != 0; }

  talvik::gui::FakeTrayShell shell;
  std::unique_ptr<TForm> form;
  TSysTrayIcon* tray = nullptr;
};

TEST_F(SysTrayIconTest, WithoutDoubleClickHandlerAClickFiresOnRelease) {
  tray->SetIconVisible(true);
  std::vector<std::string> events;
  tray->OnClick = [&](TObject*) { events.push_back("click"); };
  tray->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { events.push_back("down"); };
  tray->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { events.push_back("up"); };
  Input(WM_LBUTTONDOWN);
  Input(WM_LBUTTONUP);
  EXPECT_EQ(events, (std::vector<std::string>{"down", "click", "up"}));
}

TEST_F(SysTrayIconTest, WithADoubleClickHandlerTheClickWaitsForTheDoubleClickTime) {
  tray->SetIconVisible(true);
  int clicks = 0, doubles = 0;
  tray->OnClick = [&](TObject*) { ++clicks; };
  tray->OnDblClick = [&](TObject*) { ++doubles; };
  Input(WM_LBUTTONDOWN);
  Input(WM_LBUTTONUP);
  EXPECT_EQ(clicks, 0);
  Advance(GetDoubleClickTime());
  EXPECT_EQ(clicks, 1);
  // a double click: no click at all
  Input(WM_LBUTTONDOWN);
  Input(WM_LBUTTONUP);
  Input(WM_LBUTTONDBLCLK);
  Input(WM_LBUTTONUP);
  Advance(GetDoubleClickTime());
  EXPECT_EQ(doubles, 1);
  EXPECT_EQ(clicks, 1);
}

TEST_F(SysTrayIconTest, DisabledIconIgnoresTheMouseButHearsBalloons) {
  tray->SetIconVisible(true);
  tray->SetEnabled(false);
  int clicks = 0, balloons = 0;
  tray->OnClick = [&](TObject*) { ++clicks; };
  tray->OnBalloonHintClick = [&](TObject*) { ++balloons; };
  Input(WM_LBUTTONDOWN);
  Input(WM_LBUTTONUP);
  Input(NIN_BALLOONUSERCLICK);
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(balloons, 1);
  EXPECT_TRUE(Shown());
}

TEST_F(SysTrayIconTest, HintIsCutTo127CharactersAndOnlyShownWithShowHint) {
  tray->SetIconVisible(true);
  tray->SetHint(std::string(200, 'x'));
  EXPECT_EQ(std::string(tray->IconData().szTip), std::string(127, 'x'));
  EXPECT_EQ(talvik::gui::TrayIcons().at({tray->IconData().hWnd, tray->IconId()}).tip, std::string(127, 'x'));
  tray->SetHint(std::string(126, 'x') + "ЖЖ");  // never cut inside a character
  EXPECT_EQ(std::string(tray->IconData().szTip), std::string(126, 'x') + "Ж");
  std::string cyrillic, wide;
  for (int i = 0; i < 300; ++i) cyrillic += "Ж";
  tray->SetHint(cyrillic);  // the property holds 255 characters, the tip 127 of them
  EXPECT_EQ(Utf8Length(tray->Hint()), 255);
  EXPECT_EQ(std::string(tray->IconData().szTip), Utf8Copy(cyrillic, 1, 127));
  EXPECT_EQ(talvik::gui::TrayIcons().at({tray->IconData().hWnd, tray->IconId()}).tip,
            Utf8Copy(cyrillic, 1, 127));
  for (int i = 0; i < 130; ++i) wide += "\U0001F512";  // four bytes each
  tray->SetHint(wide);
  EXPECT_EQ(std::string(tray->IconData().szTip), Utf8Copy(wide, 1, 127));
  tray->SetShowHint(false);
  EXPECT_EQ(std::string(tray->IconData().szTip), "");
}

TEST_F(SysTrayIconTest, RightButtonOpensTheMenuAtTheCursorWithTheIconAsItsComponent) {
  tray->SetIconVisible(true);
  auto* menu = new TPopupMenu(form.get());
  auto* item = new TMenuItem(menu);
  item->SetCaption("Показать");
  menu->Items()->Add(item);
  int popups = 0;
  menu->OnPopup = [&](TObject*) {
    ++popups;
    EXPECT_EQ(menu->PopupComponent(), tray);
    talvik::gui::InjectKey(VK_ESCAPE, true, 0, {});  // closes the menu once its loop runs
    talvik::gui::InjectKey(VK_ESCAPE, false, 0, {});
  };
  tray->SetPopupMenu(menu);
  Input(WM_RBUTTONDOWN);
  EXPECT_EQ(popups, 1);
  menu->SetAutoPopup(false);
  Input(WM_RBUTTONDOWN);
  EXPECT_EQ(popups, 1);
  delete menu;  // the icon forgets it
  EXPECT_EQ(tray->PopupMenu(), nullptr);
  Input(WM_RBUTTONDOWN);
}

TEST_F(SysTrayIconTest, DoubleClickRunsTheDefaultItemWithTheLowestIndex) {
  auto* menu = new TPopupMenu(form.get());
  std::string ran;
  for (const char* name : {"a", "b", "c"}) {
    auto* item = new TMenuItem(menu);
    item->SetCaption(name);
    item->SetDefault(std::string(name) != "a");
    item->OnClick = [&ran, name](TObject*) { ran += name; };
    menu->Items()->Add(item);
  }
  tray->SetPopupMenu(menu);
  tray->SetIconVisible(true);
  Input(WM_LBUTTONDBLCLK);
  EXPECT_EQ(ran, "b");
}

TEST_F(SysTrayIconTest, MinimisingHidesTheMainFormShowsTheIconAndAClickBringsItBack) {
  tray->SetMinimizeToTray(true);
  tray->OnClick = [&](TObject*) { tray->ShowMainForm(); };
  form->Show();
  EXPECT_FALSE(Shown());
  Application->Minimize();
  EXPECT_FALSE(form->Visible());
  EXPECT_TRUE(tray->IconVisible());
  EXPECT_TRUE(Shown());
  Input(WM_LBUTTONDOWN);
  Input(WM_LBUTTONUP);
  EXPECT_TRUE(form->Visible());
}

// A desktop without a notification area: minimising leaves the main form where the desktop keeps
// minimised windows, for nothing could bring it back from a tray; once an area comes, the icon shows
// there and minimising hides the form into it again.
TEST_F(SysTrayIconTest, WithoutANotificationAreaMinimisingKeepsTheFormUntilAnAreaComes) {
  shell.available = false;
  tray->SetMinimizeToTray(true);
  tray->SetIconVisible(true);
  tray->OnClick = [&](TObject*) { tray->ShowMainForm(); };
  form->Show();
  Application->Minimize();
  Pump();
  EXPECT_TRUE(form->Visible());
  EXPECT_TRUE(IsIconic(form->Handle()));
  EXPECT_FALSE(Shown());
  Application->Restore();
  Pump();
  shell.available = true;
  talvik::gui::TrayRestarted();
  Pump();
  EXPECT_TRUE(Shown());
  Application->Minimize();
  Pump();
  EXPECT_FALSE(form->Visible());
  Input(WM_LBUTTONDOWN);
  Input(WM_LBUTTONUP);
  EXPECT_TRUE(form->Visible());
}

// The notification area goes away while the main form is hidden in it: the form shows again, down to
// an icon where the desktop keeps minimised windows, and its icon comes back with the next area.
TEST_F(SysTrayIconTest, TheMainFormHiddenInTheTrayShowsAgainWhenTheAreaGoes) {
  tray->SetMinimizeToTray(true);
  form->Show();
  Application->Minimize();
  Pump();
  ASSERT_FALSE(form->Visible());
  shell.available = false;
  talvik::gui::TrayGone();
  Pump();
  EXPECT_TRUE(form->Visible());
  EXPECT_TRUE(IsIconic(form->Handle()));
  shell.available = true;
  talvik::gui::TrayRestarted();
  Pump();
  EXPECT_TRUE(Shown());
  // a form shown all along stays as it is when an area goes
  Application->Restore();
  Pump();
  talvik::gui::TrayGone();
  Pump();
  EXPECT_TRUE(form->Visible());
  EXPECT_FALSE(IsIconic(form->Handle()));
}

// Whichever way the main form went to the tray (minimised, or hidden from its normal or maximised
// state as "Скрыть" does), the area going away shows it the one way: down to an icon from the moment
// it shows, keeping its maximised state for when it comes back, and not activated.
TEST_F(SysTrayIconTest, TheMainFormShowsAgainMinimisedWhicheverWayItWentToTheTray) {
  tray->SetMinimizeToTray(true);
  // whether the form was down to an icon each time it showed
  std::vector<bool> shownIconic;
  const TWndMethod saved = form->WindowProc;
  form->WindowProc = [&](TMessage& m) {
    if (m.Msg == WM_WINDOWPOSCHANGED && (reinterpret_cast<WINDOWPOS*>(m.LParam)->flags & SWP_SHOWWINDOW))
      shownIconic.push_back(IsIconic(form->Handle()));
    saved(m);
  };
  const TScopeExit restore([&] { form->WindowProc = saved; });
  struct Way {
    const char* name;
    TWindowState state;
    bool minimise;
  };
  for (const Way& way : {Way{"minimised", wsNormal, true}, Way{"hidden normal", wsNormal, false},
                         Way{"hidden maximised", wsMaximized, false}}) {
    SCOPED_TRACE(way.name);
    form->SetWindowState(way.state);
    form->Show();
    Pump();
    if (way.minimise)
      Application->Minimize();
    else
      tray->HideMainForm();
    Pump();
    ASSERT_FALSE(form->Visible());
    shownIconic.clear();
    talvik::gui::TrayGone();
    Pump();
    EXPECT_TRUE(form->Visible());
    EXPECT_EQ(shownIconic, std::vector<bool>{true});
    EXPECT_TRUE(IsIconic(form->Handle()));
    EXPECT_EQ(IsZoomed(form->Handle()), way.state == wsMaximized);
    EXPECT_NE(GetActiveWindow(), form->Handle());
    tray->ShowMainForm();
    Pump();
    EXPECT_FALSE(IsIconic(form->Handle()));
    EXPECT_EQ(IsZoomed(form->Handle()), way.state == wsMaximized);
  }
}

// The area gone while the main form, maximised, is hidden in it, and a new desktop framing the form
// anew while it is down to an icon (its bounds change): the form still reads minimised, and one click
// on the next area's icon brings it back maximised.
TEST_F(SysTrayIconTest, AMaximisedFormFramedAnewDownToAnIconComesBackMaximisedByOneClick) {
  tray->SetMinimizeToTray(true);
  tray->OnClick = [&](TObject*) { tray->ShowMainForm(); };
  form->SetWindowState(wsMaximized);
  form->Show();
  Pump();
  Application->Minimize();
  Pump();
  ASSERT_FALSE(form->Visible());
  talvik::gui::TrayGone();
  Pump();
  ASSERT_TRUE(IsIconic(form->Handle()));
  RECT r;
  GetWindowRect(form->Handle(), r);
  SetWindowPos(form->Handle(), nullptr, r.Left + 4, r.Top + 20, r.Width() - 8, r.Height() - 24,
               SWP_NOZORDER | SWP_NOACTIVATE);
  Pump();
  EXPECT_TRUE(IsIconic(form->Handle()));
  EXPECT_EQ(form->WindowState(), wsMinimized);
  shell.available = true;
  talvik::gui::TrayRestarted();
  Pump();
  ASSERT_TRUE(Shown());
  Input(WM_LBUTTONDOWN);
  Input(WM_LBUTTONUP);
  EXPECT_FALSE(IsIconic(form->Handle()));
  EXPECT_TRUE(IsZoomed(form->Handle()));
  EXPECT_EQ(form->WindowState(), wsMaximized);
}

TEST_F(SysTrayIconTest, ARestartedShellGetsTheVisibleIconBack) {
  tray->SetIconVisible(true);
  talvik::gui::TrayRestarted();
  Pump();
  EXPECT_TRUE(Shown());
}

TEST_F(SysTrayIconTest, TheIconLeavesWithItsComponentAndAHandlerMayFreeIt) {
  tray->SetIconVisible(true);
  const HWND window = tray->IconData().hWnd;
  const UINT id = tray->IconId();
  tray->OnClick = [&](TObject*) {
    delete tray;
    tray = nullptr;
  };
  tray->OnMouseUp = [](TObject*, TMouseButton, TShiftState, int, int) { FAIL() << "called on a freed icon"; };
  talvik::gui::TrayIconInput(window, id, WM_LBUTTONDOWN);
  talvik::gui::TrayIconInput(window, id, WM_LBUTTONUP);
  Pump();
  EXPECT_EQ(tray, nullptr);
  EXPECT_EQ(talvik::gui::TrayIcons().count({window, id}), 0u);
  EXPECT_EQ(TrayIconHandlerUsers(), 0);
  talvik::gui::TrayIconInput(window, id, WM_LBUTTONDOWN);  // nobody there: nothing happens
  Pump();
}

TEST_F(SysTrayIconTest, EnterAndExitComeFromMovesAndThePoll) {
  tray->SetIconVisible(true);
  tray->SetWantEnterExitEvents(true);
  std::string seen;
  tray->OnMouseEnter = [&](TObject*) { seen += "enter "; };
  tray->OnMouseExit = [&](TObject*) { seen += "exit "; };
  SetCursorPos(100, 100);
  Input(WM_MOUSEMOVE);
  Input(WM_MOUSEMOVE);
  Advance(20);
  EXPECT_EQ(seen, "enter ");
  SetCursorPos(300, 100);
  Advance(20);
  EXPECT_EQ(seen, "enter exit ");
}
