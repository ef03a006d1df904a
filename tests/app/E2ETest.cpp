// The program itself under a real X server (run through xvfb-run -a), driven with xdotool as a user
// would: each test has its own settings folder and its own instance file, starts `talvik`, waits on
// window names and mapped states with time-outs, and checks what the instance and the store saw.
#include "E2EHarness.h"

using e2e::Output;
using e2e::WaitFor;
using e2e::WindowNamed;
using e2e::Shell;
using E2E = e2e::ProgramTest;

TEST_F(E2E, FirstLogonPrefilledAWrongPasswordThenTheRightOne) {
  Prefill("SYSTEM", "SIM");
  Start();
  std::string logon = Await("Oracle Logon");
  ASSERT_FALSE(logon.empty()) << "no logon dialog";
  // the user and the alias are there: only the password is typed
  Type(logon, "wrong");
  Keys(logon, "Return");
  std::string error;
  ASSERT_TRUE(WaitFor([&] { return !(error = WindowNamed("Talvik")).empty() && error != logon; }))
      << "no error box";
  Keys(error, "Return");  // the ORA-01017 box
  logon = Await("Oracle Logon");
  ASSERT_FALSE(logon.empty()) << "the dialog did not come back";
  Keys(logon, "ctrl+a BackSpace");
  Type(logon, "manager");
  Keys(logon, "Return");
  std::string main = Await("Talvik for Oracle");
  ASSERT_FALSE(main.empty()) << "no main window";
  EXPECT_EQ(Output("xdotool getwindowname " + main), "Talvik for Oracle -  [SYSTEM@SIM] ");
  std::string geometry = Output("xwininfo -id " + main + " | grep -E 'Width|Height' | tr -d ' '");
  EXPECT_NE(geometry.find("Width:800"), std::string::npos) << geometry;
  EXPECT_EQ(SessionOf("SYSTEM"), "Talvik");
  Picture("main-window");
}

TEST_F(E2E, EscapeInTheLogonDialogEndsTheProgramWithNothingWritten) {
  Start();
  std::string logon = Await("Oracle Logon");
  ASSERT_FALSE(logon.empty()) << "no logon dialog";
  Keys(logon, "Escape");
  EXPECT_EQ(Exit(), 0);
  EXPECT_EQ(Settings().find("LastLogon"), std::string::npos);
}

TEST_F(E2E, TheAboutBoxOpensFromTheHelpMenuAndOkClosesIt) {
  Prefill("SYSTEM", "SIM");
  Start();
  std::string main = LogOn("manager");
  ASSERT_FALSE(main.empty()) << "no main window";
  // a click on "Помощь" of the menu bar (the main window stands at 0, 0), then its first item
  Shell("xdotool mousemove 233 10 click 1");
  Keys(main, "Down Return");
  std::string about = Await("О программе");
  ASSERT_FALSE(about.empty()) << "no About box";
  EXPECT_EQ(Output("xdotool getwindowname " + about), "О программе: Talvik");
  Picture("about");
  // "Ok" stands centred 60 pixels above the box's bottom edge
  std::istringstream geometry(Output("xdotool getwindowgeometry --shell " + about +
                                     " | grep -E '^(X|Y|WIDTH|HEIGHT)=' | cut -d= -f2"));
  int x = 0, y = 0, w = 0, h = 0;
  geometry >> x >> y >> w >> h;
  Shell("xdotool mousemove " + std::to_string(x + w / 2) + " " + std::to_string(y + h - 50) + " click 1");
  EXPECT_TRUE(WaitFor([&] { return WindowNamed("О программе").empty(); })) << "the box stayed";
  EXPECT_FALSE(WindowNamed("Talvik for Oracle").empty()) << "the program went with it";
}

TEST_F(E2E, LeavingThroughTheMenuWhileMaximisedKeepsTheLastNormalBoundsAndRestartsMaximised) {
  Prefill("SYSTEM", "SIM",
          "\n[HKEY_CURRENT_USER\\Software\\Talvik\\MainForm]\n\"Left\"=\"5\"\n\"Top\"=\"7\"\n"
          "\"Width\"=\"640\"\n\"Height\"=\"480\"\n\"WindowState\"=\"2\"\n");
  Start();
  std::string main = LogOn("manager");
  ASSERT_FALSE(main.empty()) << "no main window";
  std::string geometry = Output("xwininfo -id " + main + " | grep -E 'Width|Height' | tr -d ' '");
  EXPECT_EQ(geometry.find("Width:640"), std::string::npos) << "not maximised: " << geometry;
  Picture("maximised");
  // a click on "Файл" of the menu bar, then up to its last item "Выход"
  Shell("xdotool mousemove 28 10 click 1");
  Keys(main, "Up Return");
  ASSERT_EQ(Exit(), 0);
  const std::string store = Settings();
  EXPECT_NE(store.find("\"WindowState\"=\"2\""), std::string::npos) << store;
  EXPECT_NE(store.find("\"Width\"=\"640\""), std::string::npos) << "the normal bounds were overwritten";
  EXPECT_NE(store.find("\"UserName\"=\"SYSTEM\""), std::string::npos) << store;
  EXPECT_NE(store.find("Talvik\\Toolbars\\ToolBarView]"), std::string::npos) << "no toolbar positions";
}

TEST_F(E2E, F10AndTheArrowsReachTheAboutBox) {
  Prefill("SYSTEM", "SIM");
  Start();
  std::string main = LogOn("manager");
  ASSERT_FALSE(main.empty()) << "no main window";
  // the session window has the focus; F10 selects "Файл", Left wraps round to "Помощь", Down opens it
  std::string about;
  ASSERT_TRUE(KeysUntil(main, "F10 Left Down Return", [&] {
    return !(about = WindowNamed("О программе")).empty();
  })) << "no About box";
  Picture("about");
  Keys(about, "Return");
  EXPECT_TRUE(WaitFor([&] { return WindowNamed("О программе").empty(); })) << "the box stayed";
}

TEST_F(E2E, TheTrayIconHidesTheMainWindowShowsItAgainAndEndsTheProgramWritingNothing) {
  ASSERT_TRUE(StartTrayHost()) << "no notification area (trayer)";
  Prefill("SYSTEM", "SIM", "\n[HKEY_CURRENT_USER\\Software\\Talvik]\n\"TrayIcon\"=\"1\"\n");
  Start();
  std::string main = LogOn("manager");
  ASSERT_FALSE(main.empty()) << "no main window";
  std::string icon;
  ASSERT_TRUE(WaitFor([&] { return !(icon = TrayIconWindow()).empty(); })) << "no icon in the tray";
  const std::string store = Settings();
  auto trayMenu = [&](const std::string& keys, const std::string& picture = "") {
    Shell("xdotool mousemove --window " + icon + " 10 10 click 3");
    ASSERT_TRUE(WaitFor([&] { return OpenMenus() > 0; })) << "no tray menu";
    if (!picture.empty()) Picture(picture);
    Shell("xdotool key --delay 50 " + keys);
  };
  // "Показать", "Скрыть", a line, "Выход"
  trayMenu("Down Down Return", "tray-menu");
  EXPECT_TRUE(WaitFor([&] { return WindowNamed("Talvik for Oracle").empty(); })) << "the window stayed";
  Shell("xdotool mousemove --window " + icon + " 10 10 click 1");
  EXPECT_TRUE(WaitFor([&] { return !WindowNamed("Talvik for Oracle").empty(); }))
      << "the window did not come back";
  trayMenu("Up Return");
  EXPECT_EQ(Exit(), 0);
  EXPECT_EQ(Settings(), store) << "the store changed";
}

TEST_F(E2E, TheConnectionsBoxListsEachLogonAndTakesTheUserBackToTheFirst) {
  Prefill("SYSTEM", "SIM");
  Start();
  std::string main = LogOn("manager");
  ASSERT_FALSE(main.empty()) << "no main window";
  // "Файл" → "Подключиться ...": the dialog keeps the user; the password is asked again
  std::string logon;
  ASSERT_TRUE(KeysUntil(main, "F10 Down Return", [&] {
    return !(logon = WindowNamed("Oracle Logon")).empty();
  })) << "no logon dialog";
  Keys(logon, "shift+Tab ctrl+a BackSpace");
  Type(logon, "sys");
  Keys(logon, "Tab");
  Type(logon, "change_on_install");
  Keys(logon, "Return");
  ASSERT_TRUE(WaitFor([&] {
    return Output("xdotool getwindowname " + main) == "Talvik for Oracle -  [SYS@SIM] ";
  })) << Output("xdotool getwindowname " + main);
  // the connections box (on "Соединения", right of the key button) drops its list; the first line
  Shell("xdotool mousemove 90 35 click 1");
  ASSERT_TRUE(WaitFor([&] { return OpenMenus() > 0; })) << "the list did not drop";
  Picture("connections");
  Shell("xdotool mousemove 60 56 click 1");
  EXPECT_TRUE(WaitFor([&] {
    return Output("xdotool getwindowname " + main) == "Talvik for Oracle -  [SYSTEM@SIM] ";
  })) << Output("xdotool getwindowname " + main);
  EXPECT_EQ(SessionOf("SYSTEM"), "Talvik");
}
