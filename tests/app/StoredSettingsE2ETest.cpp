// Stored settings gone wrong, met by the program on a desktop (openbox): a damaged settings file, main
// window bounds off the screen or out of range, a settings folder that cannot be written (when the
// program closes, from its start, or on a full disk), and a pipe at the settings file's name; and a
// main window the user left partly off the screen, which stays there.
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "E2EHarness.h"

namespace {

using e2e::Output;
using e2e::Shell;
using e2e::WaitFor;

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

}  // namespace
