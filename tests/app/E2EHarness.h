// The harness of the program's end-to-end tests under a real X server (run through xvfb-run -a):
// each test has its own settings folder and its own instance file, starts `talvik` as a child
// process, finds its windows by name with xdotool, waits on states with time-outs, and on a failure
// leaves a picture of the display and what the program wrote.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "X11Display.h"
#include "gui/WindowPicture.h"
#include "gui/X11TestSupport.h"
#include "oracle/OracleCI.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/Process.h"
#include "platform/rtl/ScopeExit.h"
#include "rtl/TempDir.h"
#include "tests/ChildWait.h"

extern char** environ;

namespace e2e {

// A shell command (xdotool, xwininfo, xprop) run to its end, bounded: one that hangs is killed and
// fails the test. Whether it succeeded.
inline bool Shell(const std::string& command) {
  return childwait::RunShell(command + " >/dev/null 2>&1") == 0;
}

inline constexpr int kTimeoutMs = 15000;
// The selections (of the screen, whose number follows) of the window manager and the notification area.
inline constexpr const char* kWindowManagerSelection = "WM_S";
inline constexpr const char* kTraySelection = "_NET_SYSTEM_TRAY_S";
// The zebra colours of the session list's rows.
inline constexpr COLORREF kOddRow = RGB(0xBD, 0xBE, 0xC6), kEvenRow = RGB(0xD6, 0xD7, 0xDE);

inline std::string Output(const std::string& command) {
  std::string out;
  childwait::RunShell(command, &out);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

inline bool WaitFor(const std::function<bool()>& done, int ms = kTimeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

// A connection of the test's own to the instance, as SYSTEM (the instance file exists once a
// session has logged on).
struct SystemConnection {
  TOracleSession session{nullptr};
  SystemConnection() {
    session.SetLogonUsername("system");
    session.SetLogonPassword("manager");
    session.SetLogonDatabase("SIM");
    session.LogOn();
  }
};

// The instance file exists once a session has logged on: logs on and off once.
inline void CreateInstance() {
  SystemConnection once;
}

// A statement run as SYSTEM on a connection of its own; its rows are read from `query`.
struct SystemQuery : SystemConnection {
  TOracleQuery query{nullptr};
  explicit SystemQuery(const std::string& Sql) {
    query.SetSession(&session);
    query.SQL()->SetText(Sql);
    query.Execute();
  }
  // The first column of the first row ("" when there is none).
  std::string First() { return query.Eof() ? "" : query.Field(0).AsString(); }
};

// The first visible window whose name holds Name ("" when there is none).
inline std::string WindowNamed(const std::string& name) {
  std::string ids = Output("xdotool search --onlyvisible --name '" + name + "' 2>/dev/null");
  return ids.substr(0, ids.find('\n'));
}

// Gives the keyboard focus to a window and waits until it holds it, giving it again every half
// second: the window manager may move the focus elsewhere meanwhile (to a window it has just framed or
// raised), and a wait for the focus given once would then wait for ever. Whether the window holds it.
inline bool GiveFocus(const std::string& window) {
  constexpr int kGiveAgainMs = 500;
  for (int waited = 0; waited < kTimeoutMs; waited += kGiveAgainMs) {
    Shell("xdotool windowfocus " + window);
    if (WaitFor([&] { return Output("xdotool getwindowfocus -f 2>/dev/null") == window; }, kGiveAgainMs))
      return true;
  }
  return false;
}

// The window ids of an X property's value ("NAME(WINDOW): window id # 0x1c00007, 0x..."), as xdotool
// writes them (decimal).
inline std::vector<std::string> WindowIds(const std::string& Property) {
  std::vector<std::string> ids;
  const auto hash = Property.find('#');
  if (hash == std::string::npos) return ids;
  std::istringstream list(Property.substr(hash + 1));
  for (std::string id; std::getline(list, id, ',');)
    ids.push_back(std::to_string(std::stoul(id, nullptr, 16)));
  return ids;
}

// The managed windows as the window manager stacks them, bottom first.
inline std::vector<std::string> Stacking() {
  return WindowIds(Output("xprop -root _NET_CLIENT_LIST_STACKING 2>/dev/null"));
}

// A picture of the display through `grab` once two grabs in a row agree (at most 5 s): the program
// paints in its own time. A grab that fails fails the test, naming the picture (`what`), and gives
// an empty picture, which differs from every other.
inline guitest::Picture SettledPicture(const std::function<bool(guitest::Picture&)>& grab,
                                       const std::string& what) {
  bool failed = false;
  auto once = [&] {
    guitest::Picture p;
    if (!failed && grab(p)) return p;
    failed = true;
    return guitest::Picture{};
  };
  guitest::Picture last = once();
  WaitFor(
      [&] {
        if (failed) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        guitest::Picture now = once();
        return std::exchange(last, now) == now;
      },
      5000);
  if (!failed) return last;
  ADD_FAILURE() << "the display could not be grabbed for the picture \"" << what << "\"";
  return {};
}

// The pixels of Area that differ between two pictures of the display. Pictures of different sizes
// differ in every pixel, and so does a pixel outside the pictures: an empty picture equals none.
inline int Differing(const guitest::Picture& first, const guitest::Picture& second, const TRect& area) {
  const bool sameSize = first.width == second.width && first.height == second.height;
  int differing = 0;
  for (int y = area.Top; y < area.Bottom; ++y)
    for (int x = area.Left; x < area.Right; ++x) {
      const COLORREF a = first.At(x, y);
      differing += !sameSize || a == CLR_INVALID || a != second.At(x, y);
    }
  return differing;
}

// A desktop the program can run on: a window manager, and where its notification area comes from.
struct Desktop {
  // How the desktop's notification area comes.
  enum class Tray {
    kPanel,    // a panel of its own, started when a test asks for the area and ended alone
    kManager,  // the window manager holds it (its task bar, its toolbar): it comes and goes with it
  };
  const char* name = "";             // as a test's name carries it ("Icewm", "MetacityTint2")
  std::vector<std::string> manager;  // the window manager's program and arguments
  Tray tray = Tray::kPanel;
  std::vector<std::string> panel;  // the panel's program and arguments (Tray::kPanel)
  // The window manager keeps its settings in a service of the session's message bus: it runs with a
  // bus of its own.
  bool ownBus = false;
  // How the window manager is asked to end, when not by SIGTERM: a shell command (fluxbox's handler of
  // SIGTERM talks to the display and hangs when the signal comes while it waits on the display; a
  // command through its root window's property ends it in its own time).
  std::string endCommand;
  // The files its programs read, written into their own home folder (HOME, with the XDG folders under
  // it) before they start: what the user's own files say reaches no test.
  std::vector<std::pair<std::string, std::string>> files;
};

// A panel at the bottom of the screen holding a task bar and the notification area, quiet.
inline const std::pair<std::string, std::string> kTint2Configuration{
    ".config/tint2/tint2rc",
    "panel_items = TS\npanel_size = 100% 32\npanel_margin = 0 0\npanel_padding = 0 0 0\n"
    "panel_position = bottom center horizontal\npanel_layer = top\npanel_dock = 0\nwm_menu = 0\n"
    "strut_policy = follow_size\nautohide = 0\nmouse_effects = 0\ntooltip = 0\n"
    "taskbar_mode = single_desktop\nsystray_padding = 2 2 2\nsystray_icon_size = 24\n"
    "systray_sort = ascending\n"};

// The desktops: openbox (the default, with trayer as its notification area when one is asked for),
// icewm and fluxbox with the areas of their own task bar and toolbar, and metacity and xfwm4 with a
// tint2 panel.
inline const Desktop kOpenbox{
    .name = "Openbox",
    .manager = {"openbox", "--sm-disable"},
    .tray = Desktop::Tray::kPanel,
    .panel = {"trayer", "--edge", "bottom", "--align", "right", "--widthtype", "pixel", "--width", "100",
              "--height", "32", "--SetDockType", "false"},
    .ownBus = false,
    .endCommand = "",
    .files = {}};
inline const Desktop kIcewm{
    .name = "Icewm",
    .manager = {"icewm"},
    .tray = Desktop::Tray::kManager,
    .panel = {},
    .ownBus = false,
    .endCommand = "",
    .files = {{".icewm/preferences",
               "TaskBarShowClock=0\nTaskBarShowWorkspaces=0\nTaskBarShowCPUStatus=0\nTaskBarShowMEMStatus=0\n"
               "TaskBarShowNetStatus=0\nTaskBarShowMailboxStatus=0\nTaskBarShowAPMStatus=0\n"
               "TaskBarShowStartMenu=0\nTaskBarEnableSystemTray=1\nShowPopupsAbovePointer=0\n"}}};
inline const Desktop kMetacityTint2{.name = "MetacityTint2",
                                    .manager = {"metacity"},
                                    .tray = Desktop::Tray::kPanel,
                                    .panel = {"tint2"},
                                    .ownBus = false,
                                    .endCommand = "",
                                    .files = {kTint2Configuration}};
inline const Desktop kXfwm4Tint2{.name = "Xfwm4Tint2",
                                 .manager = {"xfwm4", "--compositor=off"},
                                 .tray = Desktop::Tray::kPanel,
                                 .panel = {"tint2"},
                                 .ownBus = true,
                                 .endCommand = "",
                                 .files = {kTint2Configuration}};
inline const Desktop kFluxbox{
    .name = "Fluxbox",
    .manager = {"fluxbox"},
    .tray = Desktop::Tray::kManager,
    .panel = {},
    .ownBus = false,
    .endCommand = "xprop -root -f _FLUXBOX_ACTION 8s -set _FLUXBOX_ACTION Exit",
    .files = {
        {".fluxbox/init",
         "session.screen0.workspaces: 1\nsession.screen0.allowRemoteActions: true\n"
         "session.screen0.toolbar.visible: true\nsession.screen0.toolbar.placement: BottomCenter\n"
         "session.screen0.toolbar.widthPercent: 100\nsession.screen0.toolbar.tools: iconbar, systemtray\n"
         "session.screen0.toolbar.autoHide: false\n"}}};

// A journey's name for the desktop it runs on ("…/Icewm").
inline std::string DesktopName(const ::testing::TestParamInfo<const Desktop*>& Param) {
  return Param.param->name;
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    X11TEST_REQUIRE_DISPLAY();
    dir_ = ProcessTempFolder() / ("talvik_e2e_" + TestName() + "_" + std::to_string(getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "config");
    setenv("TALVIK_SIM_DB", (dir_ / "sim.db").c_str(), 1);
    SetCommandLine(std::vector<std::string>{"e2e"});
    InitClientLibrary();
  }
  void TearDown() override {
    // (without an X server, under CI, there is nothing to take a picture of)
    if (HasFailure() && x11test::HaveDisplay()) Picture("failed");
    Stop();
    if (HasFailure()) std::fprintf(stderr, "--- the program said:\n%s\n", Said().c_str());
    unsetenv("TALVIK_SIM_DB");
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  // The test's name as a file's name carries it: a journey's on a desktop ("Case/Icewm") as "Case-Icewm".
  static std::string TestName() {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '-');
    return name;
  }
  // Starts the program with this test's settings and instance.
  void Start() {
    const char* bin = std::getenv("TALVIK_BINARY_DIR");
    std::string program = std::string(bin ? bin : ".") + "/app/talvik";
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      std::string v = *e;
      if (v.rfind("XDG_CONFIG_HOME=", 0) == 0 || v.rfind("QT_QPA_PLATFORM=", 0) == 0) continue;
      env.push_back(v);
    }
    env.push_back("XDG_CONFIG_HOME=" + (dir_ / "config").string());
    env.push_back("QT_QPA_PLATFORM=xcb");
    std::vector<char*> envp;
    for (auto& v : env) envp.push_back(v.data());
    envp.push_back(nullptr);
    char* argv[] = {program.data(), nullptr};
    // what the program says goes to a file that a failing test shows
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    const std::string out = (dir_ / "talvik.out").string();
    posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&files, 1, 2);
    const int spawned = posix_spawn(&pid_, program.c_str(), &files, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&files);
    ASSERT_EQ(spawned, 0) << program;
  }
  // What the program wrote so far.
  std::string Said() const {
    std::ifstream f(dir_ / "talvik.out");
    std::stringstream text;
    text << f.rdbuf();
    return text.str();
  }
  // Waits for the program to end; its exit code (-1 when it did not end in time, or was not started).
  int Exit(int ms = kTimeoutMs) {
    if (pid_ <= 0) return -1;
    const std::optional<int> code = childwait::WaitFor(pid_, std::chrono::milliseconds(ms));
    if (!code) return -1;
    pid_ = 0;
    return *code;
  }
  // Ends what the test started: the program, the notification area and the window manager, each sent
  // SIGTERM and given Patience to end. One that does not is killed, and the test fails naming it.
  void Stop(std::chrono::milliseconds patience = childwait::kEndPatience) {
    const std::pair<pid_t*, std::string> children[] = {{&pid_, "the program (talvik)"},
                                                       {&trayHost_, TrayHostName()}};
    for (const auto& [pid, what] : children) childwait::End(*pid, what, SIGTERM, patience);
    EndManager(patience);
  }
  // Ends the window manager as it is asked to end, giving it Patience; whether it ended in time.
  bool EndManager(std::chrono::milliseconds patience = childwait::kEndPatience) {
    if (windowManager_ > 0 && !desktop_->endCommand.empty() && Shell(desktop_->endCommand))
      return childwait::End(windowManager_, WindowManagerName(), 0, patience);
    return childwait::End(windowManager_, WindowManagerName(), SIGTERM, patience);
  }
  // The desktop's programs as a failure names them.
  std::string WindowManagerName() const { return "the window manager (" + desktop_->manager.front() + ")"; }
  std::string TrayHostName() const {
    return "the notification area (" +
           (desktop_->tray == Desktop::Tray::kPanel ? desktop_->panel.front() : desktop_->manager.front()) +
           ")";
  }
  // Starts the desktop's notification area and waits until it takes icons: it owns the screen's tray
  // selection; false when it cannot. A panel (trayer: a panel at the bottom right of the screen; tint2)
  // is started; a window manager that holds the area itself is started when it does not run. The
  // previous area may hold the selection a little longer than its process lives, and a second one
  // finding it taken would never take icons: the start waits for the selection to be free. Trayer
  // may hold its panel back until the next X event reaches it (it owns the selection by then): an
  // icon docking there brings one, so nothing waits here for the panel to show.
  bool StartTrayHost() {
    if (desktop_->tray == Desktop::Tray::kManager) {
      if (windowManager_ <= 0 && !StartWindowManager()) return false;
      return WaitFor([] { return ScreenSelectionOwner(kTraySelection) != 0; });
    }
    if (!WaitFor([] { return ScreenSelectionOwner(kTraySelection) == 0; })) return false;
    if (!StartDesktopProgram(desktop_->panel, false, trayHost_)) return false;
    return WaitFor([] { return ScreenSelectionOwner(kTraySelection) != 0; });
  }
  // Ends the desktop's notification area (with the window manager, where that holds it) and waits
  // until its selection is free; false when it does not end in time.
  bool EndTrayHost() {
    if (desktop_->tray == Desktop::Tray::kManager
            ? !EndManager()
            : !childwait::End(trayHost_, TrayHostName(), SIGTERM, childwait::kEndPatience))
      return false;
    return WaitFor([] { return ScreenSelectionOwner(kTraySelection) == 0; });
  }
  // Starts the desktop's window manager on the display and waits until it manages windows: it owns
  // the screen's window manager selection (or, one that takes none, names its own window on the root
  // window) and, where it holds the notification area, the tray selection; false when it cannot. The
  // program then meets what a desktop does: frames, the title bar's close button, the manager's own
  // activation. A manager finding the previous test's still there would end at once: the start waits
  // for it to go.
  bool StartWindowManager() {
    const bool ownTray = desktop_->tray == Desktop::Tray::kManager;
    if (!WaitFor(
            [&] { return !WindowManagerRuns() && (!ownTray || ScreenSelectionOwner(kTraySelection) == 0); }))
      return false;
    if (!StartDesktopProgram(desktop_->manager, desktop_->ownBus, windowManager_)) return false;
    return WaitFor(
        [&] { return WindowManagerRuns() && (!ownTray || ScreenSelectionOwner(kTraySelection) != 0); });
  }
  // Ends the window manager and waits until it has gone from the display; false when it does not end
  // in time.
  bool EndWindowManager() {
    if (!EndManager()) return false;
    return WaitFor([] { return !WindowManagerRuns(); });
  }
  // Starts a program of the desktop (Argv; with a message bus of its own when OwnBus) in a process
  // group of its own, so that ending it ends what it starts; what it says goes to a file of the
  // test's. Its home folder is one of the test's, with the desktop's files: it reads no file of the
  // user's, and reaches no message bus of the user's.
  bool StartDesktopProgram(const std::vector<std::string>& Argv, bool OwnBus, pid_t& Pid) {
    const std::filesystem::path home = dir_ / "desktop";
    for (const auto& [name, text] : desktop_->files) {
      std::filesystem::create_directories((home / name).parent_path());
      std::ofstream(home / name) << text;
    }
    std::filesystem::create_directories(home / ".config");
    const std::map<std::string, std::string> own{{"HOME", home.string()},
                                                 {"XDG_CONFIG_HOME", (home / ".config").string()},
                                                 {"XDG_DATA_HOME", (home / ".local/share").string()},
                                                 {"XDG_CACHE_HOME", (home / ".cache").string()},
                                                 {"GSETTINGS_BACKEND", "memory"},
                                                 {"NO_AT_BRIDGE", "1"}};
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      const std::string v = *e, name = v.substr(0, v.find('='));
      if (!own.count(name) && name != "DBUS_SESSION_BUS_ADDRESS") env.push_back(v);
    }
    for (const auto& [name, value] : own) env.push_back(name + "=" + value);
    std::vector<char*> envp, argv;
    for (auto& v : env) envp.push_back(v.data());
    envp.push_back(nullptr);
    std::vector<std::string> args =
        OwnBus ? std::vector<std::string>{"dbus-run-session", "--"} : std::vector<std::string>{};
    args.insert(args.end(), Argv.begin(), Argv.end());
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string log = (dir_ / (Argv.front() + ".out")).string();
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&files, 1, 2);
    // (with no signal blocked that the test's threads block: it hears the SIGTERM that ends it)
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
    posix_spawnattr_setpgroup(&attributes, 0);
    const int spawned = posix_spawnp(&Pid, argv.front(), &files, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&files);
    if (spawned != 0) Pid = 0;
    return spawned == 0;
  }
  // The bounds of a top-level window's frame on the screen: the window and the borders the window
  // manager put round it.
  static TRect FrameOf(const std::string& window) {
    std::istringstream g(Output("xwininfo -id " + window +
                                " | grep -E 'Absolute upper-left [XY]|^ *(Width|Height):' | cut -d: -f2"));
    int x = 0, y = 0, w = 0, h = 0;
    g >> x >> y >> w >> h;
    // "_NET_FRAME_EXTENTS(CARDINAL) = left, right, top, bottom"
    std::string extents = Output("xprop -id " + window + " _NET_FRAME_EXTENTS 2>/dev/null");
    int left = 0, right = 0, top = 0, bottom = 0;
    if (const auto eq = extents.find('='); eq != std::string::npos) {
      std::replace(extents.begin(), extents.end(), ',', ' ');
      std::istringstream e(extents.substr(eq + 1));
      e >> left >> right >> top >> bottom;
    }
    return TRect(x - left, y - top, x + w + right, y + h + bottom);
  }
  // The program's icon in the notification area ("" while it shows none).
  static constexpr int kSmallestTrayIcon = 8, kLargestTrayIcon = 64;
  static std::string TrayIconWindow() {
    std::istringstream ids(Output("xdotool search --onlyvisible --classname '^talvik$' 2>/dev/null"));
    for (std::string id; std::getline(ids, id);) {
      // the icon is a small window embedded in the panel: its parent is not the root window (nor is
      // the main window's, which a window manager frames; the toolkit's window of one pixel is none)
      const int width = FrameOf(id).Width();
      if (width < kSmallestTrayIcon || width > kLargestTrayIcon) continue;
      const std::string tree = Output("xwininfo -tree -id " + id + " | grep 'Parent window id'");
      if (!tree.empty() && tree.find("(the root window)") == std::string::npos) return id;
    }
    return "";
  }
  // The program's menus that show: top-level windows without a title of their own (the toolkit names
  // them after the program) that the window manager leaves alone.
  static int OpenMenus() {
    std::istringstream ids(Output("xdotool search --onlyvisible --classname '^talvik$' 2>/dev/null"));
    int n = 0;
    for (std::string id; std::getline(ids, id);) {
      const std::string parent =
          Output("xwininfo -tree -id " + id + " 2>/dev/null | grep 'Parent window id'");
      if (Output("xdotool getwindowname " + id + " 2>/dev/null") == "talvik" &&
          parent.find("(the root window)") != std::string::npos &&
          !Output("xwininfo -id " + id + " 2>/dev/null | grep 'Override Redirect State: yes'").empty())
        ++n;
    }
    return n;
  }
  // The window named Name, once it shows.
  std::string Await(const std::string& name) {
    std::string id;
    WaitFor([&] { return !(id = WindowNamed(name)).empty(); });
    return id;
  }
  static void Keys(const std::string& window, const std::string& keys) {
    if (!e2e::GiveFocus(window)) {
      ADD_FAILURE() << "window " << window << " did not take the focus for the keys " << keys << " (it is on "
                    << Output("xdotool getwindowfocus -f 2>&1") << ")";
      return;
    }
    Shell("xdotool key --delay 30 " + keys);
  }
  // Keys typed until Done answers true (at most three tries, each waited on for 5 s; Escape three
  // times between tries): a window just made may still be taking the focus when the first keys come.
  static bool KeysUntil(const std::string& window, const std::string& keys,
                        const std::function<bool()>& done) {
    for (int attempt = 0; attempt < 3; ++attempt) {
      if (attempt > 0) Keys(window, "Escape Escape Escape");
      Keys(window, keys);
      if (WaitFor(done, 5000)) return true;
    }
    return false;
  }
  static void Type(const std::string& window, const std::string& text) {
    if (!e2e::GiveFocus(window)) {
      ADD_FAILURE() << "window " << window << " did not take the focus for the text " << text;
      return;
    }
    Shell("xdotool type --delay 30 '" + text + "'");
  }
  std::string Settings() {
    std::ifstream f(dir_ / "config" / "talvik" / "HKCU.reg");
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  // A value of the store's "MainForm" section ("<none>" when it holds none).
  std::string Stored(const std::string& Name) {
    const std::string store = Settings();
    const std::string header = "[HKEY_CURRENT_USER\\Software\\Talvik\\MainForm]\n";
    const auto section = store.find(header);
    if (section == std::string::npos) return "<none>";
    const auto end = store.find("\n[", section + header.size());
    const std::string body = store.substr(section + header.size(), end - section - header.size());
    const std::string key = "\"" + Name + "\"=\"";
    const auto at = ("\n" + body).find("\n" + key);
    if (at == std::string::npos) return "<none>";
    const auto value = at + key.size();
    return body.substr(value, body.find('"', value) - value);
  }
  // The store as a user left it: the last logon, and whatever further sections Extra holds (in the
  // store file's own format).
  void Prefill(const std::string& user, const std::string& database, const std::string& extra = "") {
    std::filesystem::create_directories(dir_ / "config" / "talvik");
    std::ofstream f(dir_ / "config" / "talvik" / "HKCU.reg");
    f << "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Talvik\\LastLogon]\n\"UserName\"=\"" << user
      << "\"\n\"DataBase\"=\"" << database << "\"\n"
      << extra;
  }
  // Logs on from the prefilled dialog with Password; the main window's id.
  std::string LogOn(const std::string& password) {
    std::string logon = Await("Oracle Logon");
    if (logon.empty()) return "";
    Type(logon, password);
    Keys(logon, "Return");
    return Await("Talvik for Oracle");
  }
  // What the instance says of the program's session.
  static std::string SessionOf(const std::string& user) {
    return SystemQuery("select client_info from v$session where username = '" + user +
                       "' and client_info is not null")
        .First();
  }

  // What the program put on the clipboard ("" while nothing is there).
  static std::string ClipboardText() {
    MSG m;
    PeekMessage(m, nullptr, 0, 0, PM_NOREMOVE);  // this process hears of the clipboard's new owner
    return Clipboard()->AsText();
  }
  // How often the instance has run each statement (by its text) so far.
  using Runs = std::map<std::string, long>;
  static Runs Executions() {
    SystemQuery r("select sql_text, executions from v$sqlarea");
    TOracleQuery& q = r.query;
    Runs runs;
    for (; !q.Eof(); q.Next()) runs[q.Field(0).AsString()] += q.Field(1).AsInteger();
    return runs;
  }
  // Which of the statements named by a piece of their text ran since Before.
  static std::vector<std::string> Ran(const Runs& Before, const std::vector<std::string>& Pieces) {
    std::vector<std::string> ran;
    const Runs now = Executions();
    for (const std::string& piece : Pieces)
      for (const auto& [text, runs] : now) {
        const auto was = Before.find(text);
        if (text.find(piece) != std::string::npos && runs > (was == Before.end() ? 0 : was->second)) {
          ran.push_back(piece);
          break;
        }
      }
    return ran;
  }

  // A picture of the whole display once it settles, also written to screenshots/e2e-<test>-<what>.png
  // under the build tree for people to look at: a test looks at the picture returned, never at the
  // file, which another test process may be writing at that moment.
  guitest::Picture Picture(const std::string& what) {
    // this process draws nothing itself; it only reads the display the program shows on
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    TScopeExit restore([was = std::string(platform ? platform : ""), unset = !platform] {
      if (unset)
        unsetenv("QT_QPA_PLATFORM");
      else
        setenv("QT_QPA_PLATFORM", was.c_str(), 1);
    });
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    const std::string path = x11test::ScreenshotDir() + "/e2e-" + TestName() + "-" + what + ".png";
    const guitest::Picture last = SettledPicture(
        [](guitest::Picture& p) { return talvik::gui::GrabDisplayPixels(p.pixels, p.width, p.height); },
        what);
    if (last.width > 0) talvik::gui::SavePixelsPng(last.pixels, last.width, last.height, path);
    return last;
  }

  std::filesystem::path dir_;
  pid_t pid_ = 0;
  pid_t trayHost_ = 0;
  pid_t windowManager_ = 0;
  const Desktop* desktop_ = &kOpenbox;  // the desktop the program runs on
};

// The program on a desktop: a window manager (openbox, unless the journey runs on another desktop)
// frames and manages its windows.
class DesktopProgramTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_TRUE(StartWindowManager()) << "no " << WindowManagerName();
  }
  // Logs on as SYSTEM (prefilled, with the further sections Extra holds): the main window's id.
  std::string Main(const std::string& Extra = "") {
    Prefill("SYSTEM", "SIM", Extra);
    Start();
    return LogOn("manager");
  }
};

// A journey of Fixture (a DesktopProgramTest) run on each desktop it is instantiated with, named after
// it: INSTANTIATE_TEST_SUITE_P(Name, Suite, ::testing::Values(&e2e::kIcewm, &e2e::kMetacityTint2),
// e2e::DesktopName<::testing::TestParamInfo<const e2e::Desktop*>>).
template <class Fixture>
class OnDesktops : public Fixture, public ::testing::WithParamInterface<const Desktop*> {
 protected:
  OnDesktops() { this->desktop_ = this->GetParam(); }
};

}  // namespace e2e
