// The session window in the program under a real X server: journeys a user makes through it, with
// the instance shaped by its workload program.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <set>

#include "E2EHarness.h"
#include "platform/gui/Graphics.h"
#include "platform/rtl/SysUtils.h"

namespace {

using e2e::CreateInstance;
using e2e::SystemQuery;

class SessionJourney : public e2e::ProgramTest {
 protected:
  // The settings the program starts with: the last logon and values of the settings key.
  void Settings(const std::vector<std::pair<std::string, std::string>>& Values,
                const std::string& Extra = "") {
    std::filesystem::create_directories(dir_ / "config" / "talvik");
    std::ofstream f(dir_ / "config" / "talvik" / "HKCU.reg");
    f << "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Talvik]\n";
    for (const auto& [name, value] : Values) f << "\"" << name << "\"=\"" << value << "\"\n";
    f << "\n[HKEY_CURRENT_USER\\Software\\Talvik\\LastLogon]\n\"UserName\"=\"SYSTEM\"\n\"DataBase\"="
         "\"SIM\"\n"
      << Extra;
  }
  // Runs the workload program on the instance for a while: `busy` percent of its sessions in a call.
  std::string Sim() const {
    const char* bin = std::getenv("TALVIK_BINARY_DIR");
    return std::string(bin ? bin : ".") + "/oracle_sim/talvik-sim " + (dir_ / "sim.db").string();
  }
  void Workload(int Sessions, int Busy, int Seconds) {
    const std::string sim = Sim();
    ASSERT_TRUE(e2e::Shell(sim + " clock freeze"));
    workload_ = childwait::StartShell(sim + " run --sessions " + std::to_string(Sessions) + " --busy " +
                                      std::to_string(Busy) + " --seconds " + std::to_string(Seconds) +
                                      " >/dev/null 2>&1");
    ASSERT_GT(workload_, 0);
  }
  void TearDown() override {
    if (workload_ > 0) {
      e2e::Shell(Sim() + " stop");
      childwait::End(workload_, "the workload, told to stop,", 0);
    }
    e2e::ProgramTest::TearDown();
  }
  // Logs on with the prefilled user: only the password is typed. The main window's id.
  std::string LogOn() {
    const std::string logon = Await("Oracle Logon");
    EXPECT_FALSE(logon.empty()) << "no logon dialog";
    Type(logon, "manager");
    Keys(logon, "Return");
    const std::string main = Await("Talvik for Oracle");
    EXPECT_FALSE(main.empty()) << "no main window";
    return main;
  }
  // "sid serial" of the program's own session.
  static std::string SessionPair() {
    return SystemQuery("select sid || ',' || serial# from v$session where client_info = 'Talvik'").First();
  }
  // The largest sample of a 16-bit PCM WAV file (0 when it holds none).
  static int Loudest(const std::filesystem::path& Wav) {
    std::ifstream in(Wav, std::ios::binary);
    const std::string b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t data = b.find("data");
    if (b.compare(0, 4, "RIFF") != 0 || data == std::string::npos) return 0;
    int loudest = 0;
    for (std::size_t at = data + 8; at + 1 < b.size(); at += 2) {
      int16_t sample;
      std::memcpy(&sample, b.data() + at, sizeof sample);
      loudest = std::max(loudest, std::abs(static_cast<int>(sample)));
    }
    return loudest;
  }

  pid_t workload_ = 0;
};

// Journey: alarms on with sound; the first listing finds too many active sessions and speaks the
// alarm into a sound file that holds speech.
TEST_F(SessionJourney, AlarmsAreSpokenIntoSoundFiles) {
  const auto wavs = dir_ / "speech";
  std::filesystem::create_directories(wavs);
  setenv("TALVIK_SPEECH_WAV", wavs.c_str(), 1);
  Settings({{"Alarm", "1"}, {"Sound", "1"}, {"AlarmActiveCount", "1"}, {"AlarmActiveDurationOn", "0"}});
  // the instance exists once a session has logged on; then its workload keeps sessions busy
  CreateInstance();
  Workload(6, 100, 60);
  Start();
  LogOn();
  std::vector<std::filesystem::path> files;
  ASSERT_TRUE(e2e::WaitFor([&] {
    files.clear();
    for (const auto& e : std::filesystem::directory_iterator(wavs))
      if (e.path().extension() == ".wav") files.push_back(e.path());
    return !files.empty();
  })) << "nothing was spoken";
  EXPECT_TRUE(e2e::WaitFor([&] { return Loudest(files.front()) > 1000; })) << "the file holds no speech";
  Picture("alarms");
  unsetenv("TALVIK_SPEECH_WAV");
}

}  // namespace

namespace {

// The windows whose name is exactly Name.
int WindowsNamed(const std::string& Name) {
  const std::string ids = e2e::Output("xdotool search --onlyvisible --name '^" + Name + "$' 2>/dev/null");
  return ids.empty() ? 0 : static_cast<int>(std::count(ids.begin(), ids.end(), '\n')) + 1;
}

// Journey: auto-refresh switched on from the grid's popup menu, then the line to the server is cut:
// one "Ошибка обновления" box, auto-refresh off, and no box after it.
TEST_F(SessionJourney, ACutUnderAutoRefreshShowsOneBoxThenNone) {
  Settings({{"IntervalAutoRefresh", "1"}});
  Start();
  const std::string main = LogOn();
  ASSERT_FALSE(main.empty());
  const int before = WindowsNamed("Talvik");
  // the grid's popup menu: its first item is "Автообновление"
  e2e::Shell("xdotool mousemove --window " + main + " 300 200 click 3");
  e2e::Shell("xdotool key --delay 100 Down Return");
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // a tick or two go through
  EXPECT_EQ(WindowsNamed("Talvik"), before) << "a tick failed before the cut";
  const std::string pair = SessionPair();
  ASSERT_FALSE(pair.empty());
  ASSERT_TRUE(
      e2e::Shell(Sim() + " cut " + pair.substr(0, pair.find(',')) + " " + pair.substr(pair.find(',') + 1)));
  ASSERT_TRUE(e2e::WaitFor([&] { return WindowsNamed("Talvik") > before; })) << "no box";
  Picture("box");
  const std::string box = e2e::Output("xdotool search --onlyvisible --name '^Talvik$' | tail -1");
  Keys(box, "Return");
  ASSERT_TRUE(e2e::WaitFor([&] { return WindowsNamed("Talvik") == before; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(3000));  // three intervals: no tick runs
  EXPECT_EQ(WindowsNamed("Talvik"), before);
}

}  // namespace

namespace {

// The session list as the display shows it: the grid's rows told apart by their alternating paper,
// the ACTIVE ones by their red text, and the row the grid's indicator points at.
struct ShownList {
  int rows = 0;
  int active = 0;
  int current = -1;  // 0-based; -1 when no row shows the indicator
};

// Where the session window's grid sits in the maximised main window (the main window at (0,0)).
constexpr int kFirstRowTop = 133, kRowPitch = 15, kProbeX = 40, kLastRowBottom = 500;
constexpr int kStatusLeft = 68, kStatusRight = 126, kIndicatorLeft = 13, kIndicatorRight = 21;
constexpr TColor kOddPaper = 0xC6BEBD, kEvenPaper = 0xDED7D6;
const TRect kPanel3 = Rect(530, 558, 678, 588);  // the status bar's fourth panel
constexpr TColor kIndicatorFace = 0xC8D0D4, kIndicatorLine = 0x808080;
// A point of the grid's row (0-based) in the main window.
int RowY(int Row) {
  return kFirstRowTop + Row * kRowPitch + kRowPitch / 2;
}

class ListJourney : public SessionJourney {
 protected:
  ShownList Shown(const std::string& What) {
    const guitest::Picture shot = Picture(What);
    const auto pixel = [&shot](int x, int y) { return static_cast<TColor>(shot.At(x, y)); };
    ShownList list;
    // a row is a band of the indicator column's face colour closed by a grid line
    for (int top = kFirstRowTop; top + kRowPitch <= kLastRowBottom; top += kRowPitch) {
      if (pixel(kIndicatorLeft, top + 2) != kIndicatorFace ||
          pixel(kIndicatorLeft, top + kRowPitch - 1) != kIndicatorLine)
        break;
      bool red = false, pointed = false;
      for (int y = top; y < top + kRowPitch - 1; ++y) {
        for (int x = kStatusLeft; x < kStatusRight; ++x) {
          const TColor p = pixel(x, y);
          red = red || (GetRValue(p) > 200 && GetGValue(p) < 80 && GetBValue(p) < 80);
        }
        for (int x = kIndicatorLeft; x < kIndicatorRight; ++x) pointed = pointed || pixel(x, y) == clBlack;
      }
      // a record's row has its number's paper but the current one, which is highlighted (an empty
      // list shows one blank row of neither)
      if (!pointed && pixel(kProbeX, top + 2) != (list.rows % 2 ? kEvenPaper : kOddPaper)) break;
      if (pointed) list.current = list.rows;
      list.active += red;
      ++list.rows;
    }
    return list;
  }
  // Whether the status bar's restricted-logins panel shows red text.
  bool RestrictedNoteShown(const std::string& What) {
    const guitest::Picture shot = Picture(What);
    for (int y = kPanel3.Top; y < kPanel3.Bottom; ++y)
      for (int x = kPanel3.Left; x < kPanel3.Right; ++x) {
        const TColor p = static_cast<TColor>(shot.At(x, y));
        if (GetRValue(p) > 200 && GetGValue(p) < 80 && GetBValue(p) < 80) return true;
      }
    return false;
  }
  // The instance's user sessions (status counted where given).
  static int AllSessions() {
    return std::stoi(
        Value("select count(*) from v$session where sid <> (select sid from v$mystat where rownum = 1)"));
  }
  static int UserSessions(const std::string& Status = "") {
    // (the session asking is not counted)
    return std::stoi(
        Value("select count(*) from v$session where type = 'USER' and sid <> (select sid from "
              "v$mystat where rownum = 1)" +
              (Status.empty() ? std::string() : " and status = '" + Status + "'")));
  }
  static std::string Value(const std::string& Sql) { return SystemQuery(Sql).First(); }
  // A session of another program, idle, logged on as long as the object lives.
  static std::unique_ptr<TOracleSession> Client(const std::string& User, const std::string& Password) {
    auto s = std::make_unique<TOracleSession>(nullptr);
    s->SetLogonUsername(User);
    s->SetLogonPassword(Password);
    s->SetLogonDatabase("SIM");
    s->LogOn();
    return s;
  }
  static std::string SidOf(const std::string& User) {
    return Value("select sid from v$session where username = '" + User + "' and client_info is null");
  }
  // Clicks a row of the grid, then opens its popup menu and picks its item (1-based).
  void Click(int Row) {
    e2e::Shell("xdotool mousemove --window " + main_ + " 150 " + std::to_string(RowY(Row)) + " click 1");
  }
  void PopupItem(int Row, int Item) {
    e2e::Shell("xdotool mousemove --window " + main_ + " 150 " + std::to_string(RowY(Row)) + " click 3");
    std::string keys;
    for (int i = 0; i < Item; ++i) keys += " Down";
    e2e::Shell("xdotool key --delay 80" + keys + " Return");
  }
  // The main window's menu at its caption's x, and its item (1-based).
  void MenuItem(int X, int Item) {
    e2e::Shell("xdotool mousemove --window " + main_ + " " + std::to_string(X) + " 10 click 1");
    std::string keys;
    for (int i = 0; i < Item; ++i) keys += " Down";
    e2e::Shell("xdotool key --delay 80" + keys + " Return");
  }
  void F5() {
    Keys(main_, "F5");
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
  }
  // Answers the "Warning" question with Yes; false when none came.
  bool AnswerYes() {
    std::string warning;
    if (!e2e::WaitFor([&] { return !(warning = e2e::WindowNamed("^Warning$")).empty(); })) return false;
    Keys(warning, "Return");
    return e2e::WaitFor([&] { return e2e::WindowNamed("^Warning$") != warning; });
  }
  // Closes a message box ("Talvik", like the session window) when one shows; whether one did.
  bool CloseMessageBox(int Windows) {
    if (!e2e::WaitFor([&] { return WindowsNamed("Talvik") > Windows; }, 3000)) return false;
    Keys(e2e::Output("xdotool search --onlyvisible --name '^Talvik$' | tail -1"), "Return");
    return e2e::WaitFor([&] { return WindowsNamed("Talvik") == Windows; });
  }
  void StartAndLogOn(const std::vector<std::pair<std::string, std::string>>& Values = {},
                     const std::string& Extra = "") {
    Settings(Values, Extra);
    Start();
    main_ = LogOn();
    ASSERT_FALSE(main_.empty());
  }

  std::string main_;
};

// A main window tall enough that every row of the list stays above the detail panel a click on a
// session opens.
constexpr int kTallHeight = 1000;
constexpr const char* kTallMainWindow =
    "\n[HKEY_CURRENT_USER\\Software\\Talvik\\MainForm]\n\"Left\"=\"0\"\n\"Top\"=\"0\"\n\"Width\"=\"800\"\n"
    "\"Height\"=\"1000\"\n";

constexpr int kMenuSessions = 182;  // "Сеансы"
constexpr int kPopupTrace = 6, kPopupUserSessions = 7, kPopupSystemSessions = 8, kPopupKill = 9;
constexpr int kMenuKillAll = 6, kMenuRestrictOn = 7, kMenuRestrictOff = 8;

// Journey: sessions come and go; F5 lists them and the current row keeps its place on the screen.
TEST_F(ListJourney, F5ListsTheInstancesSessionsAndTheCurrentRowKeepsItsPlace) {
  auto a = Client("scott", "tiger"), b = Client("scott", "tiger"), c = Client("scott", "tiger");
  StartAndLogOn({}, kTallMainWindow);
  F5();
  ShownList shown = Shown("first");
  EXPECT_EQ(shown.rows, UserSessions());
  EXPECT_EQ(shown.active, 1);  // the program's own, while it reads the list
  Click(2);
  shown = Shown("clicked");
  EXPECT_EQ(shown.current, 2);
  a.reset();
  auto d = Client("scott", "tiger"), e = Client("scott", "tiger");
  F5();
  shown = Shown("refreshed");
  EXPECT_EQ(shown.rows, UserSessions());
  EXPECT_EQ(shown.current, 2);
  Keys(main_, "Down");
  EXPECT_EQ(Shown("down").current, 3);
}

// Journey: with the line to the server cut, F5 shows the server's error in a box.
TEST_F(ListJourney, F5WithTheLineCutShowsTheErrorBox) {
  StartAndLogOn();
  const std::string pair = SessionPair();
  ASSERT_TRUE(
      e2e::Shell(Sim() + " cut " + pair.substr(0, pair.find(',')) + " " + pair.substr(pair.find(',') + 1)));
  const int windows = WindowsNamed("Talvik");
  F5();
  Picture("box");
  EXPECT_TRUE(CloseMessageBox(windows)) << "no error box";
}

// Journey: the user/background switches of the popup menu pick the rows.
TEST_F(ListJourney, TheProcessSwitchesPickUserBackgroundAllOrNoRows) {
  auto a = Client("scott", "tiger");
  StartAndLogOn();
  const int users = UserSessions();
  const int all = AllSessions();
  ASSERT_GT(all, users);
  EXPECT_EQ(Shown("users").rows, users);
  PopupItem(0, kPopupSystemSessions);
  EXPECT_EQ(Shown("all").rows, all);
  PopupItem(0, kPopupUserSessions);
  EXPECT_EQ(Shown("background").rows, all - users);
  PopupItem(0, kPopupSystemSessions);
  EXPECT_EQ(Shown("none").rows, 0);
}

// Journey: a session chosen in the list is killed from the popup menu after "Warning" was answered
// Yes; after the instance changed, F5 lists what the instance holds.
TEST_F(ListJourney, ASessionKilledFromThePopupAfterTheWarning) {
  auto scott = Client("scott", "tiger");
  const std::string sid = SidOf("SCOTT");
  StartAndLogOn({}, kTallMainWindow);
  F5();
  ASSERT_EQ(Shown("listed").rows, 2);  // the program's own (active) and the client's
  Click(1);
  PopupItem(1, kPopupKill);
  ASSERT_TRUE(AnswerYes()) << "no warning";
  EXPECT_EQ(Value("select status from v$session where sid = " + sid), "KILLED");
  // the workload program takes one step (and then waits long): its sessions come in, idle but for its
  // steady ones (a long-active session, a lock chain)
  const int before = UserSessions();
  workload_ = childwait::StartShell(
      Sim() + " run --sessions 6 --busy 0 --period 600000 --seconds 600 >/dev/null 2>&1");
  ASSERT_GT(workload_, 0);
  ASSERT_TRUE(e2e::WaitFor([&] { return UserSessions() >= before + 6; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the step has ended
  F5();
  const ShownList shown = Shown("after-shape");
  EXPECT_EQ(shown.rows, UserSessions());
  EXPECT_EQ(shown.active, UserSessions("ACTIVE") + 1);  // and the program's own, while it reads the list
  // the program's own session (the first row) cannot be killed: the server's refusal in a box
  const int windows = WindowsNamed("Talvik");
  Click(0);
  PopupItem(0, kPopupKill);
  ASSERT_TRUE(AnswerYes()) << "no warning";
  EXPECT_TRUE(CloseMessageBox(windows)) << "no refusal shown";
}

// Journey: kill all from the main menu: two questions, every other session killed, the refusal for
// the program's own session shown.
TEST_F(ListJourney, KillAllAsksTwiceAndKillsEveryOtherSession) {
  auto a = Client("scott", "tiger"), b = Client("scott", "tiger");
  StartAndLogOn();
  F5();
  const int windows = WindowsNamed("Talvik");
  MenuItem(kMenuSessions, kMenuKillAll);
  ASSERT_TRUE(AnswerYes()) << "no first question";
  ASSERT_TRUE(AnswerYes()) << "no second question";
  EXPECT_TRUE(CloseMessageBox(windows)) << "the own session's refusal was not shown";
  // the walk goes on after the box
  EXPECT_TRUE(e2e::WaitFor([] { return UserSessions("KILLED") == 2; })) << UserSessions("KILLED");
}

// Journey: SQL trace switched on for the chosen session from the popup menu.
TEST_F(ListJourney, TraceSwitchesSqlTraceOnForTheChosenSession) {
  auto scott = Client("scott", "tiger");
  const std::string sid = SidOf("SCOTT");
  StartAndLogOn();
  F5();
  Click(1);
  PopupItem(1, kPopupTrace);
  ASSERT_TRUE(AnswerYes()) << "no warning";
  EXPECT_EQ(Value("select sql_trace from v$session where sid = " + sid), "ENABLED");
}

// Journey: restricted logins on from the main menu keep a plain user out; off lets him in again.
TEST_F(ListJourney, RestrictedLoginsKeepAPlainUserOutUntilSwitchedOff) {
  StartAndLogOn();
  MenuItem(kMenuSessions, kMenuRestrictOn);
  ASSERT_TRUE(AnswerYes()) << "no question";
  EXPECT_EQ(Value("select logins from v$instance"), "RESTRICTED");
  EXPECT_THROW(Client("scott", "tiger"), EOracleError);
  EXPECT_TRUE(RestrictedNoteShown("restricted"));
  MenuItem(kMenuSessions, kMenuRestrictOff);
  ASSERT_TRUE(AnswerYes()) << "no question";
  EXPECT_EQ(Value("select logins from v$instance"), "ALLOWED");
  EXPECT_NO_THROW(Client("scott", "tiger"));
  EXPECT_FALSE(RestrictedNoteShown("allowed"));
}

}  // namespace

namespace {

constexpr int kMenuFile = 28, kMenuFileExit = 2;  // "Файл", "Выход"
constexpr int kTitleY = 117, kTitleCpuX = 556, kTitleLogicalReadsX = 637;
constexpr int kChooserMachine = 7, kPopupSnapshot = 10;

class LayoutJourney : public ListJourney {
 protected:
  // Leaves the program through "Файл" → "Выход"; whether it ended.
  bool Quit() {
    MenuItem(kMenuFile, kMenuFileExit);
    return Exit() == 0;
  }
  // The text of the session list's statement the program has open in the instance ("" when none).
  static std::string OpenSessionList() {
    const std::string sid = Value("select sid from v$session where client_info = 'Talvik'");
    SystemQuery r("select rawtohex(t.address), t.sql_text from v$open_cursor o, v$sqltext t where o.sid = " +
                  sid + " and t.address = o.address order by 1, t.piece");
    TOracleQuery& q = r.query;
    std::map<std::string, std::string> texts;
    for (; !q.Eof(); q.Next()) texts[q.Field(0).AsString()] += q.Field(1).AsString();
    for (const auto& [address, text] : texts)
      if (text.find("v$session_wait") != std::string::npos) return text;
    return "";
  }
  // The order the list was last asked for: what follows its last ORDER BY.
  static std::string ListOrder() {
    const std::string text = OpenSessionList();
    const std::size_t at = text.rfind("ORDER BY");
    return at == std::string::npos ? "<none>" : Trim(text.substr(at + 8));
  }
  // A stored column's layout word (1-based: index, width, marker, visible, sort index...).
  std::string StoredLayout(const std::string& Field, int Word) {
    const std::string settings = e2e::ProgramTest::Settings();
    const std::string key = "\"dbgSession." + Field + "\"=\"";
    const std::size_t at = settings.find(key);
    if (at == std::string::npos) return "<none>";
    const std::string value =
        settings.substr(at + key.size(), settings.find('"', at + key.size()) - at - key.size());
    std::stringstream words(value);
    std::string word;
    for (int i = 0; i < Word && std::getline(words, word, ','); ++i) {
    }
    return word;
  }
};

// Journey: a click on the title "CPU" orders the rows by it on the server, a Ctrl+click adds a second
// key; the next start asks for the same order.
TEST_F(LayoutJourney, TitleClicksOrderTheListOnTheServerAndTheOrderSurvivesARestart) {
  StartAndLogOn();
  EXPECT_EQ(ListOrder(), "s.status");
  e2e::Shell("xdotool mousemove --window " + main_ + " " + std::to_string(kTitleCpuX) + " " +
             std::to_string(kTitleY) + " click 1");
  ASSERT_TRUE(e2e::WaitFor([] { return ListOrder().rfind("13", 0) == 0; })) << ListOrder();
  const std::string byCpu = ListOrder();
  e2e::Shell("xdotool mousemove --window " + main_ + " " + std::to_string(kTitleLogicalReadsX) + " " +
             std::to_string(kTitleY) + " keydown ctrl click 1 keyup ctrl");
  ASSERT_TRUE(e2e::WaitFor([&] { return ListOrder().rfind(byCpu + ", 8", 0) == 0; })) << ListOrder();
  const std::string twoKeys = ListOrder();
  Picture("sorted");
  ASSERT_TRUE(Quit());
  Start();
  main_ = LogOn();
  ASSERT_FALSE(main_.empty());
  EXPECT_TRUE(e2e::WaitFor([&] { return ListOrder() == twoKeys; })) << ListOrder();
  EXPECT_TRUE(e2e::WaitFor([&] { return Shown("restarted").rows > 0; }));
}

// Journey: a column unticked in the chooser on the title row stays hidden after a restart.
TEST_F(LayoutJourney, AColumnHiddenInTheChooserStaysHiddenAfterARestart) {
  StartAndLogOn();
  e2e::Shell("xdotool mousemove --window " + main_ + " 150 " + std::to_string(kTitleY) + " click 3");
  Picture("chooser");
  std::string keys;
  for (int i = 0; i < kChooserMachine; ++i) keys += " Down";
  e2e::Shell("xdotool key --delay 80" + keys + " Return");
  Picture("hidden");
  ASSERT_TRUE(Quit());
  EXPECT_EQ(StoredLayout("MACHINE", 4), "0");
  EXPECT_EQ(StoredLayout("SID", 4), "1");
  Start();
  main_ = LogOn();
  ASSERT_FALSE(main_.empty());
  ASSERT_TRUE(e2e::WaitFor([&] { return Shown("restarted").rows > 0; }));
  ASSERT_TRUE(Quit());
  EXPECT_EQ(StoredLayout("MACHINE", 4), "0");  // the restored layout kept it hidden
}

// Journey: the snapshot from the popup menu: the file dialog proposes "session", the file is a
// spreadsheet.
TEST_F(LayoutJourney, TheSnapshotIsSavedWhereTheFileDialogSays) {
  auto scott = Client("scott", "tiger");
  StartAndLogOn();
  F5();
  PopupItem(0, kPopupSnapshot);
  const std::string dialog = Await("^Save As$");
  ASSERT_FALSE(dialog.empty()) << "no file dialog";
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // it paints
  Picture("dialog");
  const std::string file = (dir_ / "snapshot.xls").string();
  Keys(dialog, "ctrl+a");
  Type(dialog, file);
  Keys(dialog, "Return");
  ASSERT_TRUE(
      e2e::WaitFor([&] { return std::filesystem::exists(file) && std::filesystem::file_size(file) > 0; }));
  std::ifstream in(file, std::ios::binary);
  const std::string sheet((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GE(sheet.size(), 2u);
  EXPECT_EQ(sheet.substr(0, 2), std::string("\x09\x08", 2));  // a worksheet's first record
  // both listed sessions' users are in it
  EXPECT_NE(sheet.find("SYSTEM"), std::string::npos);
  EXPECT_NE(sheet.find("SCOTT"), std::string::npos);
}

}  // namespace

namespace {

// The tabs of the detail panel in the tall main window: where their headers are, and a piece of each
// statement the tab runs when it shows (and again at each refresh while it shows).
struct DetailTab {
  const char* name;
  int x;
  std::vector<std::string> statements;
};
constexpr int kTabsY = 645;
const char* const kCustom = "SELECT :SID info FROM dual";
const char* const kStatementText = "v$sqltext_with_newlines";
const std::vector<std::string> kPanelStatements = {kCustom,         "v$transaction", "DECODE(block",
                                                   "w.request > 0", "h.block = 1",   "v$open_cursor c",
                                                   kStatementText,  "v$statname n",  "v$session_event"};
const DetailTab kDetailTabs[] = {
    {"custom", 136, {kCustom}},
    {"transactions", 222, {"v$transaction"}},
    {"locks", 308, {"DECODE(block", "w.request > 0", "h.block = 1"}},
    {"cursors", 381, {"v$open_cursor c", kStatementText}},  // and the text of the cursor in the row
    {"statistics", 462, {"v$statname n"}},
    {"waits", 551, {"v$session_event"}},
    {"detail", 49, {kStatementText}},
};

// The custom query a user keeps for the database: the session's SID.
constexpr const char* kCustomSid =
    "\n[HKEY_CURRENT_USER\\Software\\Talvik\\CustomInfo\\SIM]\n\"SQL\"=\"SELECT :SID info FROM dual\"\n";

// The captions' column of the tab "Детальная" in the tall main window (no value reaches into it).
const TRect kDetailCaptions = Rect(14, 655, 60, 940);

class DetailJourney : public LayoutJourney {
 protected:
  // The statements of the panel (by a piece of each) that ran since Before.
  static std::vector<std::string> RunSince(const Runs& Before) { return Ran(Before, kPanelStatements); }
};

// Journey: the list ordered by SID, a click on the session that holds the row lock others queue behind
// opens the panel; each tab in turn runs its statements when it shows and again at F5, and those of
// no other tab; the custom one shows the session's SID; the session is killed from the popup menu;
// once the workload has noticed (the queue it headed falls apart and forms anew), F5 lists the
// instance's sessions.
TEST_F(DetailJourney, ClickASessionLookThroughEachTabKillItAndRefresh) {
  CreateInstance();
  // idle users that stay logged on, and a lock chain: a holder, a session queued behind it and one
  // queued behind that
  constexpr int kUsers = 4, kChain = 3;
  workload_ = childwait::StartShell(Sim() + " run --sessions " + std::to_string(kUsers) +
                                    " --busy 0 --no-long-active --no-logoffs --period 1000 --seconds 600 "
                                    ">/dev/null 2>&1");
  ASSERT_GT(workload_, 0);
  // (the program's own session counts once it has logged on)
  auto chainInPlace = [](int Users) {
    return UserSessions() == Users &&
           Value("select count(*) from v$session_wait where event = 'enqueue'") == "2";
  };
  ASSERT_TRUE(e2e::WaitFor([&] { return chainInPlace(kUsers + kChain); })) << "the workload did not start";
  const std::string holder = Value(
      "select sid from v$session where status = 'INACTIVE' and sid in (select sid from v$lock where block = "
      "1)");
  ASSERT_FALSE(holder.empty());
  const std::string holderPair = Value("select sid || ',' || serial# from v$session where sid = " + holder);
  StartAndLogOn({}, std::string(kTallMainWindow) + kCustomSid);
  const int listed = UserSessions();
  // the title "SID" orders the list by it: the holder's row follows from the SIDs before it
  e2e::Shell("xdotool mousemove --window " + main_ + " 45 " + std::to_string(kTitleY) + " click 1");
  ASSERT_TRUE(e2e::WaitFor([] { return ListOrder().rfind("1", 0) == 0; })) << ListOrder();
  const int row = std::stoi(Value("select count(*) from v$session where type = 'USER' and sid < " + holder +
                                  " and sid <> (select sid from v$mystat where rownum = 1)"));
  ASSERT_EQ(Shown("listed").rows, listed);
  Click(row);
  const guitest::Picture clicked = Picture("clicked");

  std::string sidShown;
  guitest::Picture detail;
  for (const DetailTab& tab : kDetailTabs) {
    SCOPED_TRACE(tab.name);
    Runs before = Executions();
    e2e::Shell("xdotool mousemove --window " + main_ + " " + std::to_string(tab.x) + " " +
               std::to_string(kTabsY) + " click 1");
    EXPECT_TRUE(e2e::WaitFor([&] { return RunSince(before) == tab.statements; }))
        << "shown: " << ::testing::PrintToString(RunSince(before));
    const guitest::Picture shown = Picture("tab-" + std::string(tab.name));
    if (std::string(tab.name) == "detail") detail = shown;
    before = Executions();
    Keys(main_, "F5");
    EXPECT_TRUE(e2e::WaitFor([&] { return RunSince(before) == tab.statements; }))
        << "refreshed: " << ::testing::PrintToString(RunSince(before));
    if (std::string(tab.name) == "custom") {
      // the query's result, copied out of the tab's read-only editor
      e2e::Shell("xdotool mousemove --window " + main_ + " 300 800 click 1");
      Keys(main_, "ctrl+a ctrl+c");
      EXPECT_TRUE(e2e::WaitFor([&] { return (sidShown = ClipboardText()) == holder; })) << sidShown;
    }
  }

  // "Детальная" shown again paints its captions as it did when the panel opened
  EXPECT_EQ(e2e::Differing(clicked, detail, kDetailCaptions), 0);

  PopupItem(row, kPopupKill);
  ASSERT_TRUE(AnswerYes()) << "no warning";
  // killed (or already gone: the workload may have taken its step)
  EXPECT_NE(Value("select status from v$session where sid || ',' || serial# = '" + holderPair + "'"),
            "INACTIVE");
  // the workload notices at its next step: the chain's sessions leave, and at the step after it a new
  // chain stands
  ASSERT_TRUE(e2e::WaitFor(
      [&] {
        return chainInPlace(listed) &&
               Value("select count(*) from v$session where sid || ',' || serial# = '" + holderPair + "'") ==
                   "0" &&
               Value("select count(*) from v$session where status = 'KILLED'") == "0";
      },
      30000))
      << "the killed session is still there";
  F5();
  EXPECT_EQ(Shown("refreshed").rows, UserSessions());
  EXPECT_EQ(UserSessions(), listed);
}

}  // namespace

namespace {

// The custom query that names the session of the current row: the detail panel's tab "Дополнительная"
// shows its SID and serial number, and after them a number that grows at each run of the query.
constexpr const char* kCustomPair =
    "\n[HKEY_CURRENT_USER\\Software\\Talvik\\CustomInfo\\SIM]\n\"SQL\"=\"SELECT :SID || ',' || :SERIAL || ' "
    "' || "
    "h2run.NEXTVAL info FROM dual\"\n";
constexpr int kPanelTabsY = 645, kCustomTabX = 136, kWaitsTabX = 551;
constexpr int kMenuView = 126, kViewAutoRefresh = 3;  // "Просмотр", "Автообновление"
constexpr int kSessionsMonitor = 1, kSessionsKill = 5;  // "Наблюдать сеанс", "Уничтожить сеанс"

// The first data row's cells of the waits tab in the tall main window: the waits' count, the total
// time and the longest wait.
const TRect kTotalWaitsCell = Rect(215, 706, 284, 720), kTimeWaitedCell = Rect(365, 706, 422, 720),
            kMaxWaitCell = Rect(502, 706, 594, 720);

// Where a cell's text stands: the box round its dark (text) pixels.
constexpr int kDark = 64;
struct TextBox {
  int left = 0, top = 0, width = 0, height = 0;
};
TextBox TextIn(const guitest::Picture& Shot, const TRect& Cell) {
  int left = Cell.Right, top = Cell.Bottom, right = Cell.Left, bottom = Cell.Top;
  for (int y = Cell.Top; y < Cell.Bottom; ++y)
    for (int x = Cell.Left; x < Cell.Right; ++x) {
      const COLORREF p = Shot.At(x, y);
      if (GetRValue(p) + GetGValue(p) + GetBValue(p) >= 3 * kDark) continue;
      left = std::min(left, x), right = std::max(right, x + 1);
      top = std::min(top, y), bottom = std::max(bottom, y + 1);
    }
  return right > left ? TextBox{left, top, right - left, bottom - top} : TextBox{};
}
// Whether two boxes hold the same text: the same pixels, dark or not, at the same places.
bool SameText(const guitest::Picture& Shot, const TextBox& A, const TextBox& B) {
  if (A.width != B.width || A.height != B.height || A.width == 0) return false;
  for (int y = 0; y < A.height; ++y)
    for (int x = 0; x < A.width; ++x) {
      const COLORREF a = Shot.At(A.left + x, A.top + y), b = Shot.At(B.left + x, B.top + y);
      const bool darkA = GetRValue(a) + GetGValue(a) + GetBValue(a) < 3 * kDark;
      const bool darkB = GetRValue(b) + GetGValue(b) + GetBValue(b) < 3 * kDark;
      if (darkA != darkB) return false;
    }
  return true;
}

class CurrentRowJourney : public ListJourney {
 protected:
  // This process reads the clipboard of the display the program shows on.
  void SetUp() override {
    ListJourney::SetUp();
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    platform_ = platform ? std::optional<std::string>(platform) : std::nullopt;
    setenv("QT_QPA_PLATFORM", "xcb", 1);
  }
  void TearDown() override {
    ListJourney::TearDown();
    if (platform_)
      setenv("QT_QPA_PLATFORM", platform_->c_str(), 1);
    else
      unsetenv("QT_QPA_PLATFORM");
  }
  // A height of the detail panel, which stands at the bottom of the tall main window, in the main window
  // as it shows: a window manager may have left it shorter than the stored height.
  int InPanel(int Y) {
    if (!shortBy_) {
      std::istringstream height(
          e2e::Output("xwininfo -id " + main_ + " | grep -E '^ *Height:' | cut -d: -f2"));
      int shown = kTallHeight;
      height >> shown;
      shortBy_ = kTallHeight - shown;
    }
    return Y - *shortBy_;
  }
  // The session the detail panel shows, "sid,serial", copied out of the custom tab's editor once the
  // tab has run its query again ("" when it did not).
  std::string PanelSession() {
    std::string shown;
    for (int attempt = 0; attempt < 2 && (shown.empty() || shown == lastShown_); ++attempt) {
      e2e::Shell("xdotool mousemove --window " + main_ + " 300 " + std::to_string(InPanel(800)) + " click 1");
      Keys(main_, "ctrl+a ctrl+c");
      e2e::WaitFor([&] { return (shown = ClipboardText()) != lastShown_ && !shown.empty(); }, 2000);
    }
    if (shown == lastShown_) return "";
    lastShown_ = shown;
    return shown.substr(0, shown.find(' '));
  }
  // The instance ready for the journey: the sequence the custom query reads.
  static void CreateInstanceWithSequence() {
    CreateInstance();
    const SystemQuery sequence("CREATE SEQUENCE h2run");
  }
  std::string lastShown_;
  std::optional<std::string> platform_;
  std::optional<int> shortBy_;
  static bool Lives(const std::string& Pair) {
    return Value("select count(*) from v$session where sid || ',' || serial# = '" + Pair + "'") == "1";
  }
  static std::string PairOf(const std::string& Sid) {
    return Value("select sid || ',' || serial# from v$session where sid = " + Sid);
  }
  // Workload sessions that log on and off, go busy and idle, every few tenths of a second: the rows
  // above an idle session come and go between two refreshes.
  void ChangingWorkload() {
    workload_ = childwait::StartShell(Sim() +
                                      " run --sessions 14 --busy 50 --period 250 --seconds 600 "
                                      "--no-lock-chain --no-long-active >/dev/null 2>&1");
    ASSERT_GT(workload_, 0);
    ASSERT_TRUE(e2e::WaitFor([] { return UserSessions() >= 14; })) << "the workload did not start";
  }
  // The first row clicked, the detail panel opens; its tab "Дополнительная" shows. Whether it did.
  bool OpenCustomTab() {
    for (int attempt = 0; attempt < 3; ++attempt) {
      F5();
      Click(0);
      e2e::Shell("xdotool mousemove --window " + main_ + " " + std::to_string(kCustomTabX) + " " +
                 std::to_string(InPanel(kPanelTabsY)) + " click 1");
      if (!PanelSession().empty()) return true;
    }
    return false;
  }
  // Clicks rows from the top until the detail panel shows the session Pair; its row (-1: not found).
  int ClickSession(const std::string& Pair, int Rows) {
    for (int row = 0; row < Rows; ++row) {
      Click(row);
      if (PanelSession() == Pair) return row;
    }
    return -1;
  }
};

// Journey: a session of another program, idle while the workload's sessions log on and off above it,
// is clicked: through ten F5, through the timer and after a kill question stood open over the list
// (no tick refreshing under it), the detail panel shows that session, as long as the instance lists it;
// the kill then kills it.
TEST_F(CurrentRowJourney, TheClickedSessionStaysCurrentThroughF5TheTimerAndAKillQuestion) {
  CreateInstanceWithSequence();
  auto client = Client("scott", "tiger");
  const std::string pair = PairOf(SidOf("SCOTT"));
  ASSERT_FALSE(pair.empty());
  ChangingWorkload();
  StartAndLogOn({{"IntervalAutoRefresh", "1"}}, std::string(kTallMainWindow) + kCustomPair);
  ASSERT_TRUE(OpenCustomTab());
  const int row = ClickSession(pair, 30);
  ASSERT_GE(row, 0) << "the session " << pair << " is not listed";
  Picture("clicked");
  std::set<std::string> listsSeen;  // the instance's user sessions at each refresh
  for (int press = 0; press < 10; ++press) {
    SCOPED_TRACE(press);
    listsSeen.insert(Value("select count(*) from v$session where status = 'ACTIVE'") + "/" +
                     std::to_string(UserSessions()));
    Keys(main_, "F5");
    ASSERT_TRUE(Lives(pair));
    EXPECT_EQ(PanelSession(), pair);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the workload takes a step
  }
  EXPECT_GT(listsSeen.size(), 1u) << "the instance did not change between the presses";
  Picture("after-f5");
  // the timer, each second
  MenuItem(kMenuView, kViewAutoRefresh);
  Picture("auto-refresh");
  const Runs before = Executions();
  ASSERT_TRUE(e2e::WaitFor([&] { return Ran(before, {"h2run"}).size() == 1; }))
      << "the timer refreshes nothing";
  std::this_thread::sleep_for(std::chrono::milliseconds(3000));
  EXPECT_EQ(PanelSession(), pair);
  // the kill question stands open while three of the timer's seconds pass: no tick refreshes under it;
  // No, and the ticks go on, the panel showing the session still
  MenuItem(kMenuSessions, kSessionsKill);
  std::string warning;
  ASSERT_TRUE(e2e::WaitFor([&] { return !(warning = e2e::WindowNamed("^Warning$")).empty(); }))
      << "no question";
  const Runs underQuestion = Executions();
  std::this_thread::sleep_for(std::chrono::milliseconds(3000));
  EXPECT_EQ(Ran(underQuestion, {"h2run"}), std::vector<std::string>{}) << "a tick under the question";
  Picture("question");
  Keys(warning, "Escape");
  ASSERT_TRUE(e2e::WaitFor([&] { return e2e::WindowNamed("^Warning$").empty(); }));
  const Runs afterQuestion = Executions();
  ASSERT_TRUE(e2e::WaitFor([&] { return Ran(afterQuestion, {"h2run"}).size() == 1; }))
      << "no tick after the question";
  EXPECT_EQ(PanelSession(), pair);
  // asked again, Yes: the kill goes to that session
  MenuItem(kMenuSessions, kSessionsKill);
  ASSERT_TRUE(AnswerYes()) << "no question";
  EXPECT_TRUE(e2e::WaitFor([&] {
    return Value("select status from v$session where sid || ',' || serial# = '" + pair + "'") == "KILLED";
  })) << "the session "
      << pair << " was not killed";
  EXPECT_EQ(Value("select count(*) from v$session where status = 'KILLED' and sid || ',' || serial# <> '" +
                  pair + "'"),
            "0");
}

// Journey: watch mode follows the watched session by SID and serial number: once it has gone and a new
// session took its SID, the list does not move to the newcomer.
TEST_F(CurrentRowJourney, WatchModeFollowsSidAndSerialAndNotANewcomerWithTheSid) {
  CreateInstanceWithSequence();
  auto client = Client("scott", "tiger");
  const std::string sid = SidOf("SCOTT");
  const std::string pair = PairOf(sid);
  StartAndLogOn({}, std::string(kTallMainWindow) + kCustomPair);
  ASSERT_TRUE(OpenCustomTab());
  ASSERT_GE(ClickSession(pair, 10), 0) << "the session " << pair << " is not listed";
  MenuItem(kMenuSessions, kSessionsMonitor);
  // others come above it: the watched session is followed
  auto a = Client("system", "manager"), b = Client("system", "manager");
  Keys(main_, "F5");
  EXPECT_EQ(PanelSession(), pair);
  // it leaves, and a newcomer takes its SID
  client.reset();
  auto newcomer = Client("scott", "tiger");
  ASSERT_EQ(SidOf("SCOTT"), sid) << "the newcomer has another SID";
  const std::string newcomerPair = PairOf(sid);
  ASSERT_NE(newcomerPair, pair);
  Keys(main_, "F5");
  const std::string shown = PanelSession();
  EXPECT_NE(shown, newcomerPair);
  EXPECT_FALSE(shown.empty());
  Picture("newcomer");
}

// Journey: the waits tab of a session whose one wait event the instance counts 120 times for 12
// hundredths of a second in all: "общее" under "Время ожидания (милисекунды)" reads as "Общее количество
// ожиданий" beside it does, 120 (the two cells' text drawn alike).
TEST_F(CurrentRowJourney, TheWaitsTabShowsTheInstancesTimesInMilliseconds) {
  CreateInstanceWithSequence();
  auto client = Client("scott", "tiger");
  const std::string sid = SidOf("SCOTT");
  const std::string pair = PairOf(sid);
  ASSERT_TRUE(e2e::Shell(
      "sqlite3 " + (dir_ / "sim.db").string() + " \"DELETE FROM sim\\$sess_event WHERE sid = " + sid +
      "; INSERT INTO sim\\$sess_event VALUES (" + sid + ", 'log file sync', 120, 0, 12, 12)\""));
  ASSERT_EQ(Value("select total_waits || '/' || time_waited from v$session_event where sid = " + sid),
            "120/12");
  StartAndLogOn({}, std::string(kTallMainWindow) + kCustomPair);
  ASSERT_TRUE(OpenCustomTab());
  ASSERT_GE(ClickSession(pair, 10), 0) << "the session " << pair << " is not listed";
  e2e::Shell("xdotool mousemove --window " + main_ + " " + std::to_string(kWaitsTabX) + " " +
             std::to_string(kPanelTabsY) + " click 1");
  const guitest::Picture shot = Picture("waits");
  const TextBox totalWaits = TextIn(shot, kTotalWaitsCell), timeWaited = TextIn(shot, kTimeWaitedCell),
                maxWait = TextIn(shot, kMaxWaitCell);
  ASSERT_GT(totalWaits.width, 0) << "no text in the cell of the waits' count";
  const auto box = [](const TextBox& b) {
    return std::to_string(b.left) + "," + std::to_string(b.top) + " " + std::to_string(b.width) + "x" +
           std::to_string(b.height);
  };
  EXPECT_TRUE(SameText(shot, totalWaits, timeWaited))
      << "the total time does not read 120: " << box(totalWaits) << " against " << box(timeWaited);
  EXPECT_TRUE(SameText(shot, totalWaits, maxWait))
      << "the longest wait does not read 120: " << box(totalWaits) << " against " << box(maxWait);
}

}  // namespace

namespace {

// The first item of the menu "Сеансы" (it reads "Наблюдать сеанс" and carries the check mark of watch
// mode), as the menu shows it, a little inside the menu window's left, top and right edges.
constexpr int kMenuEdge = 3, kMenuItemHeight = 20;

// The journeys on a desktop: a window manager (openbox) frames the program's windows.
class WatchJourney : public CurrentRowJourney {
 protected:
  void SetUp() override {
    CurrentRowJourney::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_TRUE(StartWindowManager()) << "no window manager (openbox)";
  }
  // Workload sessions that log off and on every half second, each taking a SID another has left.
  void ReusingWorkload() {
    workload_ = childwait::StartShell(Sim() +
                                      " run --sessions 3 --busy 100 --period 500 --seconds 600 "
                                      "--no-lock-chain --no-long-active >/dev/null 2>&1");
    ASSERT_GT(workload_, 0);
    ASSERT_TRUE(e2e::WaitFor([] { return UserSessions() >= 3; })) << "the workload did not start";
  }
  // The program's menu window that shows ("" while none does).
  static std::string ShownMenu() {
    std::istringstream ids(e2e::Output("xdotool search --onlyvisible --classname '^talvik$' 2>/dev/null"));
    for (std::string id; std::getline(ids, id);)
      if (e2e::Output("xdotool getwindowname " + id + " 2>/dev/null") == "talvik" &&
          !e2e::Output("xwininfo -id " + id + " 2>/dev/null | grep 'Override Redirect State: yes'").empty())
        return id;
    return "";
  }
  // Opens the menu "Сеансы" and takes a picture of the display with it; Item is set to where its first
  // item stands. The menu closes again. False when it did not show.
  bool WatchItem(const std::string& What, guitest::Picture& Shot, TRect& Item) {
    e2e::Shell("xdotool mousemove --window " + main_ + " " + std::to_string(kMenuSessions) + " 10 click 1");
    std::string menu;
    if (!e2e::WaitFor([&] { return !(menu = ShownMenu()).empty(); }, 5000)) return false;
    const TRect frame = FrameOf(menu);  // (a menu has no frame of the window manager's)
    Item = Rect(frame.Left + kMenuEdge, frame.Top + kMenuEdge, frame.Right - kMenuEdge,
                frame.Top + kMenuEdge + kMenuItemHeight);
    Shot = Picture(What);
    e2e::Shell("xdotool key Escape Escape");
    return e2e::WaitFor([] { return ShownMenu().empty(); }, 5000);
  }
  // The kill statements the instance ran since Before, each with the session it names.
  static std::vector<std::string> KillsSince(const Runs& Before) {
    std::vector<std::string> kills;
    for (const auto& [text, runs] : Executions()) {
      const auto was = Before.find(text);
      if (text.rfind("ALTER SYSTEM KILL SESSION", 0) == 0 && runs > (was == Before.end() ? 0 : was->second))
        kills.push_back(text);
    }
    return kills;
  }
};

// Journey: a session of a workload that reuses SIDs is watched, then killed from outside and gone: the
// next F5 ends watch mode (the menu's check mark goes) and the refreshes after it watch nothing; a kill
// then names and reaches the session of the current row, and only it.
TEST_F(WatchJourney, WatchModeEndsWithTheWatchedSessionAndAKillReachesTheCurrentRowOnly) {
  CreateInstanceWithSequence();
  auto client = Client("scott", "tiger");
  const std::string scott = PairOf(SidOf("SCOTT"));
  ASSERT_FALSE(scott.empty());
  ReusingWorkload();
  StartAndLogOn({}, std::string(kTallMainWindow) + kCustomPair);
  ASSERT_TRUE(OpenCustomTab());
  const std::string own = SessionPair();
  guitest::Picture unwatched, shot;
  TRect item;
  ASSERT_TRUE(WatchItem("unwatched", unwatched, item)) << "no menu";
  // a workload session chosen in the list, and watched
  std::string watched;
  for (int row = 0; row < 8 && watched.empty(); ++row) {
    Click(row);
    const std::string shown = PanelSession();
    if (!shown.empty() && shown != own && shown != scott) watched = shown;
  }
  ASSERT_FALSE(watched.empty()) << "no workload session is listed";
  MenuItem(kMenuSessions, kSessionsMonitor);
  ASSERT_TRUE(WatchItem("watching", shot, item));
  ASSERT_GT(e2e::Differing(unwatched, shot, item), 0) << "watch mode shows no check mark";
  // killed from outside (unless it has just left by itself), and gone: the workload ended it
  const std::string sid = watched.substr(0, watched.find(',')),
                    serial = watched.substr(watched.find(',') + 1);
  e2e::Shell(Sim() + " kill " + sid + " " + serial);
  ASSERT_TRUE(e2e::WaitFor([&] { return !Lives(watched); })) << "the session " << watched << " stays";
  F5();
  ASSERT_TRUE(WatchItem("ended", shot, item));
  EXPECT_EQ(e2e::Differing(unwatched, shot, item), 0) << "watch mode goes on after " << watched << " left";
  // the refreshes after it watch nothing
  for (int press = 0; press < 3; ++press) {
    F5();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the workload takes a step
  }
  ASSERT_TRUE(WatchItem("after", shot, item));
  EXPECT_EQ(e2e::Differing(unwatched, shot, item), 0) << "watching again";
  // the user's session of choice, killed: the question's Yes reaches it alone
  ASSERT_GE(ClickSession(scott, 8), 0) << "the session " << scott << " is not listed";
  const Runs before = Executions();
  MenuItem(kMenuSessions, kSessionsKill);
  ASSERT_TRUE(AnswerYes()) << "no question";
  EXPECT_TRUE(e2e::WaitFor([&] {
    return Value("select status from v$session where sid || ',' || serial# = '" + scott + "'") == "KILLED";
  })) << "the session "
      << scott << " was not killed";
  EXPECT_EQ(KillsSince(before), std::vector<std::string>{"ALTER SYSTEM KILL SESSION '" + scott + "'"});
  EXPECT_EQ(Value("select count(*) from v$session where status = 'KILLED' and sid || ',' || serial# <> '" +
                  scott + "'"),
            "0");
}

// Journey: auto-refresh each second over a workload that reuses SIDs; the popup menu is opened on a
// session chosen in the list and stands while that session logs off and a newcomer logs on, three of
// the timer's seconds passing: no tick refreshes under the menu, and "Уничтожить сеанс" with Yes sends
// the kill of the session chosen alone (its being gone is the server's to say); no other session of
// the instance is killed.
TEST_F(WatchJourney, APopupMenuStandsOverTheTimerAndItsKillNamesOnlyTheSessionChosen) {
  CreateInstanceWithSequence();
  auto client = Client("scott", "tiger");
  const std::string sid = SidOf("SCOTT");
  const std::string pair = PairOf(sid);
  ASSERT_FALSE(pair.empty());
  ReusingWorkload();
  StartAndLogOn({{"IntervalAutoRefresh", "1"}}, std::string(kTallMainWindow) + kCustomPair);
  ASSERT_TRUE(OpenCustomTab());
  const int row = ClickSession(pair, 10);
  ASSERT_GE(row, 0) << "the session " << pair << " is not listed";
  // the list takes the keys on the chosen row (it stands still until the timer runs); the ticks keep
  // the session current while the workload moves its row
  Click(row);
  MenuItem(kMenuView, kViewAutoRefresh);
  const Runs ticking = Executions();
  ASSERT_TRUE(e2e::WaitFor([&] { return Ran(ticking, {"h2run"}).size() == 1; })) << "no tick refreshed";
  // the list's popup menu on the chosen row, wherever the ticks have put it: opened by the menu key
  const Runs before = Executions();
  Keys(main_, "Menu");
  ASSERT_TRUE(e2e::WaitFor([] { return !ShownMenu().empty(); }, 5000))
      << "no popup menu (the keyboard: " << e2e::Output("setxkbmap -query 2>&1 | grep options") << ")";
  // the session leaves and a newcomer comes (the workload's or this one) while the menu stands
  client.reset();
  auto newcomer = Client("scott", "tiger");
  const std::string newcomerPair = PairOf(SidOf("SCOTT"));
  ASSERT_NE(newcomerPair, pair);
  const Runs underMenu = Executions();
  std::this_thread::sleep_for(std::chrono::milliseconds(3000));  // three of the timer's seconds
  Picture("menu");
  EXPECT_EQ(Ran(underMenu, {"h2run"}), std::vector<std::string>{}) << "a tick refreshed under the menu";
  ASSERT_FALSE(ShownMenu().empty()) << "the menu closed by itself";
  std::string keys;
  for (int i = 0; i < kPopupKill; ++i) keys += " Down";
  e2e::Shell("xdotool key --delay 80" + keys + " Return");
  const int windows = WindowsNamed("Talvik");
  ASSERT_TRUE(AnswerYes()) << "no question";
  CloseMessageBox(windows);  // the server's word that the session chosen is gone
  EXPECT_EQ(KillsSince(before), std::vector<std::string>{"ALTER SYSTEM KILL SESSION '" + pair + "'"});
  EXPECT_EQ(Value("select count(*) from v$session where status = 'KILLED'"), "0");
  EXPECT_TRUE(Lives(newcomerPair));
  // the ticks go on after the menu
  const Runs after = Executions();
  EXPECT_TRUE(e2e::WaitFor([&] { return Ran(after, {"h2run"}).size() == 1; })) << "no tick after the menu";
}

}  // namespace
