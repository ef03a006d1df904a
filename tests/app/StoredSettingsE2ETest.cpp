// Stored settings gone wrong, met by the program on a desktop (openbox): a damaged settings file, main
// window bounds off the screen or out of range, a settings folder that cannot be written (when the
// program closes, from its start, on a full disk, or while options are confirmed), and a pipe at the
// settings file's name; a main window the user left partly off the screen, which stays there; and two
// copies of the program on one settings folder.
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "E2EHarness.h"
#include "tests/ChildWait.h"

namespace {

using e2e::Output;
using e2e::Shell;
using e2e::Stacking;
using e2e::WaitFor;
using e2e::WindowNamed;

// The screen's rectangle.
TRect ScreenRect() {
  std::istringstream size(Output("xdotool getdisplaygeometry"));
  int width = 0, height = 0;
  size >> width >> height;
  return TRect(0, 0, width, height);
}

std::string Text(const TRect& R) {
  return std::to_string(R.Left) + "," + std::to_string(R.Top) + " " + std::to_string(R.Width()) + "x" +
         std::to_string(R.Height());
}

// A rectangle a user can reach and work in: on the screen, of a usable size.
bool Reachable(const TRect& R) {
  const TRect screen = ScreenRect();
  return R.Left >= screen.Left && R.Top >= screen.Top && R.Right <= screen.Right &&
         R.Bottom <= screen.Bottom && R.Width() >= 200 && R.Height() >= 150;
}

class StoredSettings : public e2e::DesktopProgramTest {
 protected:
  // With a settings folder that cannot be written: the program logs on from what it read and shows
  // its main window with no box, and closing shows one box; the settings file is still Before.
  void ClosesAfterOneBoxWithTheSettingsAsTheyWere(const std::string& Before);
  // The main window closed by the window manager: one box, answered, and the program ends with the
  // settings file as Before.
  void ClosedAfterOneBox(const std::string& Main, const std::string& Before);
  std::filesystem::path Folder() const { return dir_ / "config" / "talvik"; }
  static void WriteFile(const std::filesystem::path& File, const std::string& Content) {
    std::ofstream(File, std::ios::binary) << Content;
  }
  static std::string ReadFile(const std::filesystem::path& File) {
    std::ifstream f(File, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  // The program's message boxes (titled as the program) that show: the program's window of one pixel
  // that bears its name too is none of them.
  static std::vector<std::string> Boxes() {
    std::vector<std::string> boxes;
    std::istringstream ids(Output("xdotool search --onlyvisible --name '^Talvik$' 2>/dev/null"));
    for (std::string id; std::getline(ids, id);)
      if (!id.empty() && FrameOf(id).Width() > 1) boxes.push_back(id);
    return boxes;
  }
  // The program's message box, once it shows.
  std::string AwaitBox() {
    std::string box;
    WaitFor([&] {
      const auto boxes = Boxes();
      if (!boxes.empty()) box = boxes.back();
      return !box.empty();
    });
    return box;
  }
  // One box stands and is answered, and the logon dialog (Logon) follows it with no second box.
  void OneBoxThenTheLogon(std::string& Logon) {
    const std::string box = AwaitBox();
    ASSERT_FALSE(box.empty()) << "no box";
    Picture("box");
    Keys(box, "Return");
    Logon = Await("Oracle Logon");
    ASSERT_FALSE(Logon.empty()) << "no logon dialog";
    EXPECT_TRUE(Boxes().empty()) << "a second box";
  }
};

// A settings file of random bytes: one box says it was damaged and where it went, then the logon
// dialog comes, with nothing prefilled; the damaged file is kept beside an earlier one.
TEST_F(StoredSettings, ADamagedFileReachesTheLogonDialogAfterOneBox) {
  std::filesystem::create_directories(Folder());
  std::mt19937 random(82);
  std::string garbage(3000, '\0');
  for (char& c : garbage) c = static_cast<char>(random());
  WriteFile(Folder() / "HKCU.reg", garbage);
  WriteFile(Folder() / "HKCU.reg.bad", "an earlier damaged file");
  Start();
  std::string logon;
  ASSERT_NO_FATAL_FAILURE(OneBoxThenTheLogon(logon));
  Picture("logon");
  EXPECT_EQ(ReadFile(Folder() / "HKCU.reg.bad"), "an earlier damaged file");
  EXPECT_EQ(ReadFile(Folder() / "HKCU.reg.bad2"), garbage);
  Keys(logon, "Escape");
  EXPECT_EQ(Exit(), 0) << Said();
}

// Main window bounds stored off the screen or out of range (the lines of the "MainForm" section in
// Values): the window shows on the screen with a usable size, and closing saves it there.
class StoredBounds : public StoredSettings {
 protected:
  void ShownOnTheScreenAndSavedThere(const std::string& Values) {
    const std::string main = Main("\n[HKEY_CURRENT_USER\\Software\\Talvik\\MainForm]\n" + Values);
    ASSERT_FALSE(main.empty()) << "no main window";
    EXPECT_TRUE(WaitFor([&] {
      return Reachable(FrameOf(main)) &&
             Output("xwininfo -id " + main + " 2>/dev/null").find("IsViewable") != std::string::npos;
    })) << Text(FrameOf(main))
        << " on a screen of " << Text(ScreenRect());
    Picture("shown");
    Shell("wmctrl -i -c " + main);
    ASSERT_EQ(Exit(), 0) << Said();
    const TRect saved(std::stoi(Stored("Left")), std::stoi(Stored("Top")),
                      std::stoi(Stored("Left")) + std::stoi(Stored("Width")),
                      std::stoi(Stored("Top")) + std::stoi(Stored("Height")));
    EXPECT_TRUE(Reachable(saved)) << Text(saved);
  }
};

TEST_F(StoredBounds, TooTall) {
  ShownOnTheScreenAndSavedThere("\"Height\"=\"999999999\"\n");
}

TEST_F(StoredBounds, FarAbove) {
  ShownOnTheScreenAndSavedThere("\"Top\"=\"-2147483648\"\n");
}

TEST_F(StoredBounds, NoSizeFarAway) {
  ShownOnTheScreenAndSavedThere(
      "\"Left\"=\"-30000\"\n\"Top\"=\"-2147483648\"\n\"Width\"=\"-5\"\n\"Height\"=\"999999999\"\n");
}

// A window left on a monitor that is gone.
TEST_F(StoredBounds, OnAMonitorThatIsGone) {
  ShownOnTheScreenAndSavedThere("\"Left\"=\"-3000\"\n\"Top\"=\"-2000\"\n");
}

// A window the user leaves partly off the screen, its title bar on it (as a desktop lets the user
// do): the next start shows it there, the user drags it by its title bar further out, and closing
// keeps it where it then stands.
TEST_F(StoredSettings, AWindowPartlyOffTheScreenStaysWhereTheUserLeftIt) {
  constexpr int kOnTheScreen = 400;         // of the frame's width and height, the rest off the screen
  constexpr int kDragX = 150, kDragY = 60;  // how far the user drags it further out
  const TRect screen = ScreenRect();
  const TRect place = Bounds(screen.Right - kOnTheScreen, screen.Bottom - kOnTheScreen, 800, 600);
  const std::string main =
      Main("\n[HKEY_CURRENT_USER\\Software\\Talvik\\MainForm]\n\"Left\"=\"" + std::to_string(place.Left) +
           "\"\n\"Top\"=\"" + std::to_string(place.Top) + "\"\n\"Width\"=\"" + std::to_string(place.Width()) +
           "\"\n\"Height\"=\"" + std::to_string(place.Height()) + "\"\n");
  ASSERT_FALSE(main.empty()) << "no main window";
  ASSERT_TRUE(WaitFor([&] {
    return FrameOf(main) == place &&
           Output("xwininfo -id " + main + " 2>/dev/null").find("IsViewable") != std::string::npos;
  })) << Text(FrameOf(main))
      << " on a screen of " << Text(ScreenRect()) << ", stored " << Text(place);
  Picture("shown");
  // the title bar taken in its middle part, held while the window follows the pointer
  const TRect dragged = Bounds(place.Left + kDragX, place.Top + kDragY, place.Width(), place.Height());
  const std::string grip =
      std::to_string(place.Left + kOnTheScreen / 2) + " " + std::to_string(place.Top + 8);
  Shell("xdotool mousemove " + grip + " sleep 0.1 mousedown 1 sleep 0.1 mousemove_relative 10 10" +
        " sleep 0.1 mousemove_relative " + std::to_string(kDragX - 10) + " " + std::to_string(kDragY - 10));
  const bool followed = WaitFor([&] { return FrameOf(main) == dragged; });
  Shell("xdotool mouseup 1");
  ASSERT_TRUE(followed) << Text(FrameOf(main)) << ", dragged to " << Text(dragged);
  Picture("dragged");
  Shell("wmctrl -i -c " + main);
  ASSERT_EQ(Exit(), 0) << Said();
  EXPECT_EQ(Stored("Left") + "," + Stored("Top") + " " + Stored("Width") + "x" + Stored("Height"),
            Text(dragged));
}

// Whether a file can be made in the folder now.
bool Writable(const std::filesystem::path& Folder);

void StoredSettings::ClosesAfterOneBoxWithTheSettingsAsTheyWere(const std::string& Before) {
  Start();
  const std::string main = LogOn("manager");
  ASSERT_FALSE(main.empty()) << "no main window";
  EXPECT_TRUE(Boxes().empty()) << "a box before closing";
  Picture("main");
  ClosedAfterOneBox(main, Before);
}

void StoredSettings::ClosedAfterOneBox(const std::string& Main, const std::string& Before) {
  Shell("wmctrl -i -c " + Main);
  const std::string box = AwaitBox();
  ASSERT_FALSE(box.empty()) << "no box";
  Picture("box");
  Keys(box, "Return");
  EXPECT_EQ(Exit(), 0) << Said();
  EXPECT_EQ(Settings(), Before);
}

bool Writable(const std::filesystem::path& Folder) {
  const std::string probe = (Folder / ".probe").string();
  const int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (fd < 0) return false;
  close(fd);
  unlink(probe.c_str());
  return true;
}

// The settings folder made unwritable while the program runs: closing shows one box (the settings
// could not be saved), and the program ends; the file on disk stays as it was. The folder is made
// immutable (chattr +i, which holds for root too); where that is not to be had, read-only (chmod
// 0555, which holds for users other than root).
TEST_F(StoredSettings, AFolderThatCannotBeWrittenLetsTheProgramCloseAfterOneBox) {
  const std::string main = Main();
  ASSERT_FALSE(main.empty()) << "no main window";
  const std::string before = Settings();
  const std::string folder = Folder().string();
  const TScopeExit writableAgain([folder] {
    Shell("chattr -i '" + folder + "'");
    chmod(folder.c_str(), 0700);
  });
  if (!Shell("chattr +i '" + folder + "'") || Writable(Folder())) chmod(folder.c_str(), 0555);
  ASSERT_FALSE(Writable(Folder())) << "the settings folder cannot be made unwritable here";
  ClosedAfterOneBox(main, before);
}

// The settings folder cannot be written from the start (immutable over a file that holds the last
// logon only): the program reaches its main window, works, and closes after one box that says the
// settings were not saved; the file stays as it was.
TEST_F(StoredSettings, AFolderThatCannotBeWrittenFromTheStartReachesTheMainWindowAndClosesAfterOneBox) {
  Prefill("SYSTEM", "SIM");
  const std::string before = Settings();
  const std::string folder = Folder().string();
  const TScopeExit writableAgain([folder] {
    Shell("chattr -i '" + folder + "'");
    chmod(folder.c_str(), 0700);
  });
  if (!Shell("chattr +i '" + folder + "'") || Writable(Folder())) chmod(folder.c_str(), 0555);
  if (Writable(Folder())) GTEST_SKIP() << "neither chattr nor the folder's mode makes it unwritable here";
  ClosesAfterOneBoxWithTheSettingsAsTheyWere(before);
}

// The settings folder on a full small file system: the same.
TEST_F(StoredSettings, AFolderOnAFullDiskReachesTheMainWindowAndClosesAfterOneBox) {
  std::filesystem::create_directories(Folder());
  const std::string folder = Folder().string();
  if (mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k,mode=0700") != 0)
    GTEST_SKIP() << "no file system can be mounted here: " << std::strerror(errno);
  const TScopeExit unmount([folder] { umount2(folder.c_str(), MNT_DETACH); });
  Prefill("SYSTEM", "SIM");
  const std::string before = Settings();
  {
    std::ofstream filler(Folder() / "filler", std::ios::binary);
    const std::string block(4096, 'x');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) && filler.flush()) {
    }
  }
  {
    std::ofstream probe(Folder() / ".probe", std::ios::binary);
    ASSERT_FALSE(probe.write("x", 1).flush()) << "the file system is not full";
  }
  std::filesystem::remove(Folder() / ".probe");
  ClosesAfterOneBoxWithTheSettingsAsTheyWere(before);
}

// A pipe at the settings file's name: the program waits on nothing, says in one box that it cannot
// read the file, and reaches the logon dialog; the pipe stays.
TEST_F(StoredSettings, APipeAtTheSettingsFileNameReachesTheLogonDialog) {
  std::filesystem::create_directories(Folder());
  ASSERT_EQ(mkfifo((Folder() / "HKCU.reg").c_str(), 0600), 0);
  Start();
  std::string logon;
  ASSERT_NO_FATAL_FAILURE(OneBoxThenTheLogon(logon));
  Keys(logon, "Escape");
  EXPECT_EQ(Exit(), 0) << Said();
  struct stat st {};
  ASSERT_EQ(lstat((Folder() / "HKCU.reg").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// Options set in "Настройка" (the last item of the menu "Просмотр") as a user sets them: the places of
// the dialog's controls in its client area (482 x 400).
constexpr int kViewMenuX = 126, kMenuBarY = 10;                      // "Просмотр" on the menu bar
constexpr int kIntervalX = 7 + 206 + 20, kIntervalY = 27 + 15 + 11;  // the interval's spin edit
constexpr int kTrayBoxX = 7 + 8 + 6, kTrayBoxY = 27 + 305 + 8;       // the middle of the tray check box
constexpr int kOkX = 482 - 5 - 75 - 8 - 37, kOkY = 386;              // "Ok"

class StoredOptions : public StoredSettings {
 protected:
  void SetUp() override {
    StoredSettings::SetUp();
    if (const char* platform = std::getenv("QT_QPA_PLATFORM")) platform_ = platform;
    setenv("QT_QPA_PLATFORM", "xcb", 1);  // this process reads the clipboard the program fills
  }
  void TearDown() override {
    StoredSettings::TearDown();
    if (platform_)
      setenv("QT_QPA_PLATFORM", platform_->c_str(), 1);
    else
      unsetenv("QT_QPA_PLATFORM");
  }
  static void ClickIn(const std::string& Window, int X, int Y) {
    Shell("xdotool mousemove --window " + Window + " " + std::to_string(X) + " " + std::to_string(Y) +
          " click 1");
  }
  // Opens "Настройка" from the main window Main: the dialog's window.
  std::string OpenOptions(const std::string& Main) {
    ClickIn(Main, kViewMenuX, kMenuBarY);
    Keys(Main, "Up Return");
    return Await("Настройка");
  }
  static void SetInterval(const std::string& Options, const std::string& Seconds) {
    ClickIn(Options, kIntervalX, kIntervalY);
    Keys(Options, "ctrl+a BackSpace");
    Type(Options, Seconds);
  }
  // The interval the dialog shows, copied out of its spin edit once it is Expected (at most 5 s).
  std::string ShownInterval(const std::string& Options, const std::string& Expected) {
    ClickIn(Options, kIntervalX, kIntervalY);
    Keys(Options, "ctrl+a ctrl+c");
    std::string shown;
    WaitFor([&] { return (shown = ClipboardText()) == Expected; }, 5000);
    return shown;
  }
  // The tray check box as the dialog Options shows it now: the colours of its square, row by row.
  std::vector<COLORREF> TrayBox(const std::string& Options, const std::string& What) {
    std::istringstream at(
        Output("xwininfo -id " + Options + " | grep -E 'Absolute upper-left [XY]' | cut -d: -f2"));
    int x = 0, y = 0;
    at >> x >> y;
    const guitest::Picture shown = Picture(What);
    constexpr int kHalf = 6;
    std::vector<COLORREF> square;
    for (int row = y + kTrayBoxY - kHalf; row <= y + kTrayBoxY + kHalf; ++row)
      for (int column = x + kTrayBoxX - kHalf; column <= x + kTrayBoxX + kHalf; ++column)
        square.push_back(shown.At(column, row));
    return square;
  }
  // Confirms the dialog with "Ok" and waits until it has gone.
  static bool Confirm(const std::string& Options) {
    ClickIn(Options, kOkX, kOkY);
    return WaitFor([] { return WindowNamed("Настройка").empty(); });
  }
  bool Holds(const std::string& Line) { return Settings().find(Line) != std::string::npos; }

  std::optional<std::string> platform_;  // as the test found it; none when unset
};

// The settings folder made immutable while the program runs: the interval and the tray option set in
// "Настройка" and confirmed take effect with no box, and the dialog opened again shows them. Once
// the folder can be written again, closing writes both, and no box says they were not saved.
TEST_F(StoredOptions, OptionsConfirmedWhileTheFolderIsImmutableAreShownAgainAndStoredAtTheClose) {
  const std::string main = Main();
  ASSERT_FALSE(main.empty()) << "no main window";
  const std::string folder = Folder().string();
  const TScopeExit writableAgain([folder] { Shell("chattr -i '" + folder + "'"); });
  if (!Shell("chattr +i '" + folder + "'") || Writable(Folder()))
    GTEST_SKIP() << "chattr cannot make the settings folder immutable here";
  const std::string before = Settings();

  std::string options = OpenOptions(main);
  ASSERT_FALSE(options.empty()) << "no options dialog";
  const std::vector<COLORREF> unticked = TrayBox(options, "unticked");
  ClickIn(options, kTrayBoxX, kTrayBoxY);
  SetInterval(options, "12");
  const std::vector<COLORREF> ticked = TrayBox(options, "ticked");
  ASSERT_NE(ticked, unticked) << "the tray box did not take the click";
  ASSERT_TRUE(Confirm(options)) << "the dialog stayed";
  EXPECT_TRUE(Boxes().empty()) << "a box when the options were confirmed";
  EXPECT_EQ(Settings(), before);

  options = OpenOptions(main);
  ASSERT_FALSE(options.empty()) << "no options dialog the second time";
  EXPECT_TRUE(TrayBox(options, "reopened") == ticked) << "the tray box is not ticked";
  EXPECT_EQ(ShownInterval(options, "12"), "12");
  Keys(options, "Escape");
  ASSERT_TRUE(WaitFor([] { return WindowNamed("Настройка").empty(); })) << "Esc left the dialog open";

  ASSERT_TRUE(Shell("chattr -i '" + folder + "'"));
  ASSERT_TRUE(Writable(Folder()));
  Shell("wmctrl -i -c " + main);
  std::string box;
  ASSERT_TRUE(WaitFor([&] {
    if (const auto boxes = Boxes(); !boxes.empty()) box = boxes.back();
    return !box.empty() || childwait::ProcessState(pid_) == 'Z';
  })) << "the program neither ended nor showed a box";
  if (!box.empty()) {
    ADD_FAILURE() << "a box at the close";
    Picture("box");
    Keys(box, "Return");
  }
  EXPECT_EQ(Exit(), 0) << Said();
  EXPECT_TRUE(Holds("\"IntervalAutoRefresh\"=\"12\"")) << Settings();
  EXPECT_TRUE(Holds("\"TrayIcon\"=\"1\"")) << Settings();
}

// Two copies of the program on one settings folder, each changing a different option in "Настройка",
// then closed, the one that changed the interval first or last: the file holds both options.
class TwoCopies : public StoredOptions {
 protected:
  void TearDown() override {
    childwait::End(second_, "the second copy of the program (talvik)");
    if (HasFailure()) std::fprintf(stderr, "--- the second copy said:\n%s\n", Said(kSecondSaid).c_str());
    StoredOptions::TearDown();
  }
  // The visible window of the program Pid whose name holds Name ("" when there is none).
  static std::string WindowOf(pid_t Pid, const std::string& Name) {
    const std::string ids = Output("xdotool search --all --onlyvisible --pid " + std::to_string(Pid) +
                                   " --name '" + Name + "' 2>/dev/null");
    return ids.substr(0, ids.find('\n'));
  }
  // Brings the main window Main of a copy above the other's, where the user's clicks reach it.
  static void Raise(const std::string& Main) {
    Shell("xdotool windowactivate " + Main);
    EXPECT_TRUE(WaitFor([&] { return !Stacking().empty() && Stacking().back() == Main; }))
        << "window " << Main << " did not come to the top";
  }
  // Closes the main window Main of the program Pid, which ends with no box.
  void Close(const std::string& Main, pid_t& Pid) {
    Shell("wmctrl -i -c " + Main);
    const std::optional<int> code = childwait::WaitFor(Pid, std::chrono::milliseconds(e2e::kTimeoutMs));
    EXPECT_EQ(code, std::optional<int>(0)) << "a copy did not end (a box?)";
    if (code) Pid = 0;
  }

  // The first copy sets the interval, the second the tray option; the one that set the interval closes
  // first or last.
  void EachSetsAnOptionAndCloses(bool IntervalFirst);

  static constexpr const char* kSecondSaid = "second.out";
  pid_t second_ = 0;
};

void TwoCopies::EachSetsAnOptionAndCloses(bool IntervalFirst) {
  const std::string first = Main();
  ASSERT_FALSE(first.empty()) << "no main window";
  Start(&second_, kSecondSaid);
  const std::string logon = Await("Oracle Logon");
  ASSERT_FALSE(logon.empty()) << "no logon dialog of the second copy";
  Type(logon, "manager");
  Keys(logon, "Return");
  std::string second;
  ASSERT_TRUE(WaitFor([&] { return !(second = WindowOf(second_, "Talvik for Oracle")).empty(); }))
      << "no main window of the second copy";

  Raise(first);
  std::string options = OpenOptions(first);
  ASSERT_FALSE(options.empty()) << "no options dialog of the first copy";
  SetInterval(options, "12");
  ASSERT_TRUE(Confirm(options)) << "the dialog stayed";
  EXPECT_TRUE(WaitFor([&] { return Holds("\"IntervalAutoRefresh\"=\"12\""); })) << Settings();

  Raise(second);
  options = OpenOptions(second);
  ASSERT_FALSE(options.empty()) << "no options dialog of the second copy";
  ClickIn(options, kTrayBoxX, kTrayBoxY);
  ASSERT_TRUE(Confirm(options)) << "the dialog stayed";
  EXPECT_TRUE(WaitFor([&] { return Holds("\"TrayIcon\"=\"1\""); })) << Settings();

  if (IntervalFirst) {
    Close(first, pid_);
    Close(second, second_);
  } else {
    Close(second, second_);
    Close(first, pid_);
  }
  EXPECT_TRUE(Holds("\"IntervalAutoRefresh\"=\"12\"")) << Settings();
  EXPECT_TRUE(Holds("\"TrayIcon\"=\"1\"")) << Settings();
}

TEST_F(TwoCopies, BothOptionsAreStoredWhenTheIntervalsCopyClosesFirst) {
  EachSetsAnOptionAndCloses(true);
}

TEST_F(TwoCopies, BothOptionsAreStoredWhenTheTrayOptionsCopyClosesFirst) {
  EachSetsAnOptionAndCloses(false);
}

}  // namespace
