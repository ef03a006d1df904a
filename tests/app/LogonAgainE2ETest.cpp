// A logon made again while the program runs, on a desktop (openbox) under a real X server, with
// auto-refresh on at a one-second interval: a wrong password given up with Cancel, and a user who may
// not read the session views. What the caption, the connections box and the session count then show,
// and the boxes that stand meanwhile.
#include "E2EHarness.h"

namespace {

using e2e::Output;
using e2e::Shell;
using e2e::WaitFor;
using e2e::WindowNamed;

// Where things stand in the main window's client area.
constexpr int kListX = 300, kListY = 200;                     // a point of the session list
constexpr int kPopupAutoRefresh = 1, kPopupUserSessions = 7;  // items of the list's popup menu
const TRect kConnectionsText = Rect(42, 29, 126, 42);         // the connections box's text
// Status panel 0 ("Всего сеансов: "): its left, its width, and its text's top and bottom measured up
// from the client area's bottom.
constexpr int kCountLeft = 8, kCountWidth = 104, kCountTop = 33, kCountBottom = 17;
constexpr const char* kNoConnection = "Talvik for Oracle - ";

// The windows whose name is exactly Name.
int WindowsNamed(const std::string& Name) {
  const std::string ids = Output("xdotool search --onlyvisible --name '^" + Name + "$' 2>/dev/null");
  return ids.empty() ? 0 : static_cast<int>(std::count(ids.begin(), ids.end(), '\n')) + 1;
}

class LogonAgain : public e2e::DesktopProgramTest {
 protected:
  // Starts the program with auto-refresh every second, logs on as SYSTEM and switches auto-refresh
  // on from the list's popup menu. Before that, the count of an empty list is taken as a picture:
  // the list shows no rows while neither user nor background sessions are chosen.
  void StartWithAutoRefresh() {
    main_ = Main("\n[HKEY_CURRENT_USER\\Software\\Talvik]\n\"IntervalAutoRefresh\"=\"1\"\n");
    ASSERT_FALSE(main_.empty()) << "no main window";
    boxes_ = WindowsNamed("Talvik");
    PopupItem(kPopupUserSessions);
    emptyCount_ = Settled(CountArea(), "no-rows");
    PopupItem(kPopupUserSessions);
    ASSERT_TRUE(WaitFor([&] { return Settled(CountArea(), "listed") != emptyCount_; }))
        << "the count did not change with the rows";
    PopupItem(kPopupAutoRefresh);
    // a tick or two go through without a box
    EXPECT_FALSE(WaitFor([&] { return WindowsNamed("Talvik") > boxes_; }, 2500)) << "a tick failed";
  }
  void PopupItem(int Item) {
    Shell("xdotool mousemove --window " + main_ + " " + std::to_string(kListX) + " " +
          std::to_string(kListY) + " click 3");
    ASSERT_TRUE(WaitFor([&] { return OpenMenus() > 0; })) << "no popup menu";
    std::string keys;
    for (int i = 0; i < Item; ++i) keys += " Down";
    Shell("xdotool key --delay 80" + keys + " Return");
    ASSERT_TRUE(WaitFor([&] { return OpenMenus() == 0; })) << "the popup menu stayed";
  }
  // "Файл" → "Подключиться ...": the logon dialog, the user kept and the password asked again.
  std::string LogonDialog() {
    std::string logon;
    EXPECT_TRUE(KeysUntil(main_, "F10 Down Return", [&] {
      return !(logon = WindowNamed("Oracle Logon")).empty();
    })) << "no logon dialog";
    return logon;
  }
  // The message box that shows over the others ("" when none comes).
  std::string AwaitBox() {
    if (!WaitFor([&] { return WindowsNamed("Talvik") > boxes_; })) return "";
    return Output("xdotool search --onlyvisible --name '^Talvik$' | tail -1");
  }
  // The main window's client area on the screen.
  TRect Client() const {
    std::istringstream g(Output("xwininfo -id " + main_ +
                                " | grep -E 'Absolute upper-left [XY]|^ *(Width|Height):' | cut -d: -f2"));
    int x = 0, y = 0, w = 0, h = 0;
    g >> x >> y >> w >> h;
    return TRect(x, y, x + w, y + h);
  }
  TRect CountArea() const {
    const TRect c = Client();
    return TRect(c.Left + kCountLeft, c.Bottom - kCountTop, c.Left + kCountLeft + kCountWidth,
                 c.Bottom - kCountBottom);
  }
  // The pixels of an area of the display once it settles.
  std::vector<COLORREF> Settled(const TRect& Area, const std::string& What) {
    const guitest::Picture shot = Picture(What);
    std::vector<COLORREF> pixels;
    for (int y = Area.Top; y < Area.Bottom; ++y)
      for (int x = Area.Left; x < Area.Right; ++x) pixels.push_back(shot.At(x, y));
    return pixels;
  }
  // Whether the connections box shows any text: a dark pixel where its text stands.
  bool ConnectionsBoxShowsText(const std::string& What) {
    const TRect c = Client();
    const guitest::Picture shot = Picture(What);
    for (int y = c.Top + kConnectionsText.Top; y < c.Top + kConnectionsText.Bottom; ++y)
      for (int x = c.Left + kConnectionsText.Left; x < c.Left + kConnectionsText.Right; ++x) {
        const COLORREF p = shot.At(x, y);
        if (GetRValue(p) + GetGValue(p) + GetBValue(p) < 3 * 96) return true;
      }
    return false;
  }
  // Closes the boxes that stand, the top one first; whether they all went.
  bool CloseBoxes() {
    for (int i = 0; i < 4 && WindowsNamed("Talvik") > boxes_; ++i) {
      const int standing = WindowsNamed("Talvik");
      Keys(Output("xdotool search --onlyvisible --name '^Talvik$' | tail -1"), "Return");
      WaitFor([&] { return WindowsNamed("Talvik") < standing; });
    }
    return WindowsNamed("Talvik") == boxes_;
  }
  // No further box for a while: three intervals of auto-refresh.
  void NoBoxFollows(const std::string& What) {
    EXPECT_FALSE(WaitFor([&] { return WindowsNamed("Talvik") > boxes_; }, 3000)) << "a box came " << What;
  }

  std::string main_;
  int boxes_ = 0;
  std::vector<COLORREF> emptyCount_;
};

// A wrong password, the server's refusal, Cancel: while the refusal's box stands no other box comes
// over it; then the caption, the connections box and the count name no connection, and no tick runs.
TEST_F(LogonAgain, AWrongPasswordGivenUpLeavesNoConnectionShownAndOneBox) {
  ASSERT_NO_FATAL_FAILURE(StartWithAutoRefresh());
  ASSERT_TRUE(ConnectionsBoxShowsText("connected"));
  std::string logon = LogonDialog();
  ASSERT_FALSE(logon.empty());
  Type(logon, "wrong");
  Keys(logon, "Return");
  const std::string box = AwaitBox();
  ASSERT_FALSE(box.empty()) << "no box for the refusal";
  // three intervals pass under the box
  EXPECT_FALSE(WaitFor([&] { return WindowsNamed("Talvik") > boxes_ + 1; }, 3000))
      << "a second box came over the first";
  Picture("refused");
  ASSERT_TRUE(CloseBoxes()) << "a box stayed";
  logon = Await("Oracle Logon");
  ASSERT_FALSE(logon.empty()) << "the dialog did not come back";
  Keys(logon, "Escape");
  ASSERT_TRUE(WaitFor([&] { return WindowNamed("Oracle Logon").empty(); })) << "the dialog stayed";
  EXPECT_TRUE(WaitFor([&] { return Output("xdotool getwindowname " + main_) == kNoConnection; }))
      << Output("xdotool getwindowname " + main_);
  EXPECT_FALSE(ConnectionsBoxShowsText("given-up"));
  EXPECT_TRUE(Settled(CountArea(), "given-up-count") == emptyCount_) << "the count names sessions";
  NoBoxFollows("with nothing connected");
}

// SCOTT may not read the session views: the server's refusal shows in one box, none over it and none
// after it, and the count names no sessions beside the empty list.
TEST_F(LogonAgain, AUserWhoCannotListGetsOneBoxAndACountOfNone) {
  ASSERT_NO_FATAL_FAILURE(StartWithAutoRefresh());
  const std::string logon = LogonDialog();
  ASSERT_FALSE(logon.empty());
  Keys(logon, "shift+Tab ctrl+a BackSpace");
  Type(logon, "scott");
  Keys(logon, "Tab");
  Type(logon, "tiger");
  Keys(logon, "Return");
  const std::string box = AwaitBox();
  ASSERT_FALSE(box.empty()) << "no box for the refusal";
  EXPECT_FALSE(WaitFor([&] { return WindowsNamed("Talvik") > boxes_ + 1; }, 3000))
      << "a second box came over the first";
  Picture("refused");
  ASSERT_TRUE(CloseBoxes()) << "a box stayed";
  EXPECT_EQ(Output("xdotool getwindowname " + main_), "Talvik for Oracle -  [SCOTT@SIM] ");
  EXPECT_TRUE(Settled(CountArea(), "scott-count") == emptyCount_) << "the count names sessions";
  NoBoxFollows("after the refusal");
}

}  // namespace
