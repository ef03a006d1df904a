// The column filter and the options dialog in the program under a real X server, driven with xdotool:
// a custom query typed into the options dialog, F7 / F8 / Esc on the session list (its rows counted on
// the display against the instance's count), and the options shown, confirmed and cancelled.
#include <algorithm>
#include <sstream>

#include "E2EHarness.h"
#include "tests/oracle_sim/MonitorStatements.h"

namespace {

using e2e::CreateInstance;
using e2e::Output;
using e2e::Shell;
using e2e::SystemQuery;
using e2e::WaitFor;
using e2e::WindowNamed;

using e2e::kEvenRow;
using e2e::kOddRow;

struct Geometry {
  int x = 0, y = 0, width = 0, height = 0;
};

Geometry GeometryOf(const std::string& Window) {
  std::istringstream in(Output("xdotool getwindowgeometry --shell " + Window +
                               " | grep -E '^(X|Y|WIDTH|HEIGHT)=' | cut -d= -f2"));
  Geometry g;
  in >> g.x >> g.y >> g.width >> g.height;
  return g;
}

void ClickAt(int X, int Y) {
  Shell("xdotool mousemove " + std::to_string(X) + " " + std::to_string(Y) + " click 1");
}

// A point of a window, in its own coordinates, clicked.
void ClickIn(const std::string& Window, int X, int Y) {
  Shell("xdotool mousemove --window " + Window + " " + std::to_string(X) + " " + std::to_string(Y) +
        " click 1");
}

// Where the session window's parts are in the main window as it first opens (800 x 600): the list's
// first row, and the detail panel's tab headers (the second one when a custom query is set).
constexpr int kFirstRowY = 141, kTabsY = 245, kDetailTabX = 49, kCustomTabX = 136;

class FilterOptionsJourney : public e2e::ProgramTest {
 protected:
  static std::string SimProgram(const std::filesystem::path& Db) {
    const char* bin = std::getenv("TALVIK_BINARY_DIR");
    return std::string(bin ? bin : ".") + "/oracle_sim/talvik-sim " + Db.string();
  }
  void SetUp() override {
    e2e::ProgramTest::SetUp();
    setenv("QT_QPA_PLATFORM", "xcb", 1);  // this process reads the display the program shows on
  }
  void TearDown() override {
    if (workload_ > 0) {
      Shell(SimProgram(dir_ / "sim.db") + " stop");
      childwait::End(workload_, "the workload, told to stop,", 0);
    }
    e2e::ProgramTest::TearDown();
  }
  // The instance with a workload's sessions in place, its clock frozen; the workload takes no step in
  // the test's time, so that the sessions stay as they are.
  void Workload(int Sessions) {
    CreateInstance();
    const std::string sim = SimProgram(dir_ / "sim.db");
    ASSERT_TRUE(Shell(sim + " clock freeze"));
    workload_ = childwait::StartShell(
        sim + " run --sessions " + std::to_string(Sessions) +
        " --busy 30 --period 100000 --seconds 120 --no-lock-chain --no-long-active >/dev/null 2>&1");
    ASSERT_GT(workload_, 0);
    ASSERT_TRUE(WaitFor([&] { return Listed() >= Sessions; })) << "the workload's sessions are not there";
  }
  // The user sessions the program's statement lists with Condition on its columns (the asking one
  // among them, unless the condition leaves it out).
  static int Listed(const std::string& Condition = "") {
    std::string list = monitor_sql::kSessionList;
    list = list.substr(0, list.rfind("ORDER BY"));
    return std::stoi(Rows("select count(*) from (" + list + ") where prname = 'USER'" + Condition)[0]);
  }
  pid_t workload_ = 0;

  // The message boxes (and the session window: they share the program's name) that show.
  static int Boxes() {
    const std::string ids = Output("xdotool search --onlyvisible --name '^Talvik$' 2>/dev/null");
    return ids.empty() ? 0 : static_cast<int>(std::count(ids.begin(), ids.end(), '\n')) + 1;
  }
  // The first column of a statement's rows, run as SYSTEM on a connection of its own.
  static std::vector<std::string> Rows(const std::string& Sql) {
    SystemQuery r(Sql);
    TOracleQuery& q = r.query;
    std::vector<std::string> rows;
    for (; !q.Eof(); q.Next()) rows.push_back(q.Field(0).AsString());
    return rows;
  }
  // The rows the session list shows on the display: the bands a row high in a vertical line through
  // the SID column, from the first data row down to the empty area (the current row is drawn in the
  // selection's colour, the others in the zebra's).
  int ListedRows(const Geometry& Main) {
    std::vector<COLORREF> pixels;
    int width = 0, height = 0;
    if (!talvik::gui::GrabDisplayPixels(pixels, width, height)) return -1;
    const int x = Main.x + 30;
    const int top = Main.y + 60, bottom = std::min(height, Main.y + Main.height);
    if (x >= width || top >= bottom) return -1;
    auto at = [&](int y) { return pixels[static_cast<std::size_t>(y) * width + x]; };
    auto zebra = [&](int y) { return at(y) == kOddRow || at(y) == kEvenRow; };
    int first = top;
    while (first < bottom && !zebra(first)) ++first;
    int rows = 0;
    // above the first zebra band: the current row, when it is the first one shown
    int y = first - 1;
    while (y > top && first - y <= 2 && !zebra(y)) --y;  // the grid line
    if (y > top) {
      const COLORREF c = at(y);
      int run = 0;
      while (y > top && at(y) == c) --y, ++run;
      const bool title = c == GetSysColor(COLOR_BTNFACE);
      if (run >= kMinRowHeight && run <= kMaxRowHeight && !title) ++rows;
    }
    for (y = first; y < bottom;) {
      const COLORREF c = at(y);
      int run = 0;
      while (y < bottom && at(y) == c) ++y, ++run;
      if (run <= kLineHeight) continue;  // a grid line
      // the empty area below the rows, or what stands below the grid
      if (run > kMaxRowHeight || run < kMinRowHeight || (c != kOddRow && c != kEvenRow)) break;
      ++rows;
    }
    return rows;
  }
  static constexpr int kMinRowHeight = 8, kMaxRowHeight = 30, kLineHeight = 2;

  // Opens "Настройка" from the menu bar's "Просмотр" (its last item); the dialog's window.
  std::string OpenOptions(const std::string& Main) {
    ClickAt(126, 10);
    Keys(Main, "Up Return");
    return Await("Настройка");
  }
  // A point of the options dialog's client area on the screen (client 482 x 400, frame alike on
  // every side, the caption above).
  static std::pair<int, int> InDialog(const std::string& Dialog, int X, int Y) {
    const Geometry g = GeometryOf(Dialog);
    const int frame = (g.width - 482) / 2;
    return {g.x + frame + X, g.y + g.height - frame - 400 + Y};
  }
  static void ClickInDialog(const std::string& Dialog, int X, int Y) {
    const auto [sx, sy] = InDialog(Dialog, X, Y);
    ClickAt(sx, sy);
  }
  // "Ok" and "Отмена" stand at the bottom right, 75 x 23 each, 8 apart.
  static void ClickOk(const std::string& Dialog) { ClickInDialog(Dialog, 482 - 5 - 75 - 8 - 37, 386); }
};

// Journey: F7 on the MACHINE column, a pattern, F8: the list shows as many rows as the instance has
// matching user sessions; F7 and Esc give every session back.
TEST_F(FilterOptionsJourney, F7APatternAndF8ListTheMatchingSessionsEscListsAll) {
  Workload(12);
  // a main window tall enough for every row above the detail panel that the click opens
  Prefill(
      "SYSTEM", "SIM",
      "\n[HKEY_CURRENT_USER\\Software\\Talvik\\MainForm]\n\"Left\"=\"0\"\n\"Top\"=\"0\"\n\"Width\"=\"1000\"\n"
      "\"Height\"=\"1000\"\n");
  Start();
  const std::string main = LogOn("manager");
  ASSERT_FALSE(main.empty()) << "no main window";
  const Geometry g = GeometryOf(main);
  const std::string pattern = "appsrv%";
  const int all = Listed() - 1;  // the program's own session is listed, the asking one is not
  const int matching = Listed(" and machine like '" + pattern + "'");  // the asking one is no appsrv
  ASSERT_GT(matching, 0);
  ASSERT_LT(matching, all);
  ASSERT_TRUE(WaitFor([&] { return ListedRows(g) == all; })) << ListedRows(g) << " rows listed of " << all;

  // the first row's SID cell, then right to MACHINE (SID, status, Oracle user, OS user, machine)
  int firstRow = 0;
  {
    std::vector<COLORREF> pixels;
    int w = 0, h = 0;
    ASSERT_TRUE(talvik::gui::GrabDisplayPixels(pixels, w, h));
    for (int y = g.y + 60; y < g.y + g.height && !firstRow; ++y)
      if (pixels[static_cast<std::size_t>(y) * w + g.x + 30] == kOddRow) firstRow = y + 5;
  }
  ASSERT_GT(firstRow, 0) << "no rows on the display";
  ClickAt(g.x + 30, firstRow);
  Keys(main, "Right Right Right Right F7");
  Shell("xdotool type --delay 30 '" + pattern + "'");
  Picture("combo");
  Keys(main, "F8");
  EXPECT_TRUE(WaitFor([&] { return ListedRows(g) == matching; }))
      << ListedRows(g) << " rows listed, " << matching << " sessions match " << pattern;
  Picture("filtered");
  Keys(main, "F7 Escape");
  EXPECT_TRUE(WaitFor([&] { return ListedRows(g) == all; })) << ListedRows(g) << " rows listed of " << all;
}

// Journey: the options as stored show in the dialog; "Ok" writes what was changed, "Отмена" (Esc)
// leaves the store alone.
TEST_F(FilterOptionsJourney, OptionsShowTheStoreOkWritesCancelDoesNot) {
  Prefill("SYSTEM", "SIM",
          "\n[HKEY_CURRENT_USER\\Software\\Talvik]\n\"IntervalAutoRefresh\"=\"9\"\n\"TrayIcon\"=\"0\"\n");
  Start();
  const std::string main = LogOn("manager");
  ASSERT_FALSE(main.empty()) << "no main window";
  std::string options = OpenOptions(main);
  ASSERT_FALSE(options.empty()) << "no options dialog";
  Picture("general");
  // the interval's spin edit on the first tab, then the tray box below it
  ClickInDialog(options, 7 + 206 + 20, 27 + 15 + 11);
  Keys(options, "ctrl+a BackSpace");
  Type(options, "3");
  ClickInDialog(options, 7 + 8 + 6, 27 + 305 + 8);
  ClickOk(options);
  ASSERT_TRUE(WaitFor([&] { return WindowNamed("Настройка").empty(); })) << "the dialog stayed";
  EXPECT_TRUE(WaitFor([&] { return Settings().find("\"IntervalAutoRefresh\"=\"3\"") != std::string::npos; }))
      << Settings();
  EXPECT_NE(Settings().find("\"TrayIcon\"=\"1\""), std::string::npos) << Settings();

  options = OpenOptions(main);
  ASSERT_FALSE(options.empty()) << "no options dialog the second time";
  ClickInDialog(options, 7 + 206 + 20, 27 + 15 + 11);
  Keys(options, "ctrl+a BackSpace");
  Type(options, "44");
  Keys(options, "Escape");
  ASSERT_TRUE(WaitFor([&] { return WindowNamed("Настройка").empty(); })) << "Esc left the dialog open";
  EXPECT_NE(Settings().find("\"IntervalAutoRefresh\"=\"3\""), std::string::npos) << Settings();
}

// Journey: a custom query typed into the options dialog's second tab is stored for the database, and
// after "Ok" the session window's tab "Дополнительная" shows its result for the session clicked; a query
// the server rejects brings the error once and takes the tab away.
TEST_F(FilterOptionsJourney, ACustomQueryTypedIntoTheOptionsIsKeptForTheDatabaseAndShown) {
  Prefill("SYSTEM", "SIM");
  Start();
  const std::string main = LogOn("manager");
  ASSERT_FALSE(main.empty()) << "no main window";
  std::string options = OpenOptions(main);
  ASSERT_FALSE(options.empty()) << "no options dialog";
  ClickInDialog(options, 5 + 100, 5 + 10);  // the tab "Дополнительная"
  ClickInDialog(options, 240, 200);         // into the editor
  Keys(options, "ctrl+Home");
  Type(options, "SELECT :MACHINE info FROM dual");
  Picture("custom");
  ClickOk(options);
  ASSERT_TRUE(WaitFor([&] { return WindowNamed("Настройка").empty(); })) << "the dialog stayed";
  EXPECT_TRUE(WaitFor([&] {
    const std::string s = Settings();
    return s.find("CustomInfo\\SIM]") != std::string::npos &&
           s.find("\"SQL\"=\"SELECT :MACHINE info FROM dual\"") != std::string::npos;
  })) << Settings();

  // the first row (the program's own session, the only active one) opens the panel; the query's
  // result is copied out of the tab's read-only editor
  ClickIn(main, 150, kFirstRowY);
  ClickIn(main, kCustomTabX, kTabsY);
  ClickIn(main, 300, kTabsY + 150);
  Keys(main, "ctrl+a ctrl+c");
  const std::string machine = Rows("select machine from v$session where client_info = 'Talvik'")[0];
  std::string shown;
  EXPECT_TRUE(WaitFor([&] { return (shown = ClipboardText()) == machine; })) << shown << " for " << machine;
  Picture("session-window");

  // a bind variable that names no column of the list: the error once, the tab gone
  options = OpenOptions(main);
  ASSERT_FALSE(options.empty()) << "no options dialog the second time";
  ClickInDialog(options, 5 + 100, 5 + 10);
  ClickInDialog(options, 240, 200);
  Keys(options, "ctrl+a");
  Type(options, "SELECT :FOO info FROM dual");
  const int boxes = Boxes();
  ClickOk(options);
  ASSERT_TRUE(WaitFor([&] { return Boxes() > boxes; })) << "no error shown";
  Picture("error");
  Keys(Output("xdotool search --onlyvisible --name '^Talvik$' | tail -1"), "Return");
  ASSERT_TRUE(WaitFor([&] { return Boxes() == boxes; })) << "the box stayed";
  EXPECT_FALSE(WaitFor([&] { return Boxes() > boxes; }, 2000)) << "a second box";
  // the second tab is now "Транзакции": from the first one, a click there runs its statement and not
  // the custom one
  ClickIn(main, kDetailTabX, kTabsY);
  const Runs before = Executions();
  ClickIn(main, kCustomTabX, kTabsY);
  const std::vector<std::string> pieces = {"v$transaction", ":FOO"};
  EXPECT_TRUE(WaitFor([&] { return Ran(before, pieces) == std::vector<std::string>{"v$transaction"}; }))
      << ::testing::PrintToString(Ran(before, pieces));
  Picture("tab-gone");
}

// Journey: a query without an INFO column, typed into the options, is no error: no box, and the tab
// stays and runs it. A CREATE TABLE and an INSERT are refused at "Ok" with a box, the dialog stays on
// them, and the instance has neither the table nor the row afterwards.
TEST_F(FilterOptionsJourney, ACustomQueryWithoutInfoKeepsItsTabAndStatementsThatAreNoQueryChangeNothing) {
  CreateInstance();
  const SystemQuery table("CREATE TABLE h2probe (x NUMBER)");
  Prefill("SYSTEM", "SIM");
  Start();
  const std::string main = LogOn("manager");
  ASSERT_FALSE(main.empty()) << "no main window";
  auto typeQuery = [&](const std::string& Options, const std::string& Sql) {
    ClickInDialog(Options, 5 + 100, 5 + 10);  // the tab "Дополнительная"
    ClickInDialog(Options, 240, 200);         // into the editor
    Keys(Options, "ctrl+a");
    Type(Options, Sql);
  };
  std::string options = OpenOptions(main);
  ASSERT_FALSE(options.empty()) << "no options dialog";
  typeQuery(options, "select sysdate from dual");
  const int boxes = Boxes();
  ClickOk(options);
  ASSERT_TRUE(WaitFor([&] { return WindowNamed("Настройка").empty(); })) << "the dialog stayed";
  EXPECT_FALSE(WaitFor([&] { return Boxes() > boxes; }, 2000)) << "a box for a query without INFO";
  ClickIn(main, 150, kFirstRowY);
  const Runs before = Executions();
  ClickIn(main, kCustomTabX, kTabsY);
  EXPECT_TRUE(WaitFor([&] { return !Ran(before, {"select sysdate from dual"}).empty(); }))
      << "the tab did not run the query";
  Picture("without-info");
  EXPECT_EQ(Boxes(), boxes);

  for (const char* sql : {"CREATE TABLE h2probe2 (x NUMBER)", "INSERT INTO h2probe VALUES (1)"}) {
    SCOPED_TRACE(sql);
    options = OpenOptions(main);
    ASSERT_FALSE(options.empty()) << "no options dialog";
    typeQuery(options, sql);
    ClickOk(options);
    ASSERT_TRUE(WaitFor([&] { return Boxes() > boxes; })) << "no refusal shown";
    Picture("refused");
    Keys(Output("xdotool search --onlyvisible --name '^Talvik$' | tail -1"), "Return");
    ASSERT_TRUE(WaitFor([&] { return Boxes() == boxes; })) << "the box stayed";
    EXPECT_FALSE(WindowNamed("Настройка").empty()) << "the dialog closed";
    ClickInDialog(options, 482 - 5 - 37, 386);  // "Отмена"
    ASSERT_TRUE(WaitFor([&] { return WindowNamed("Настройка").empty(); })) << "the dialog stayed";
  }
  EXPECT_THROW(Rows("select count(*) from h2probe2"), EOracleError);
  EXPECT_EQ(Rows("select count(*) from h2probe"), std::vector<std::string>{"0"});
  EXPECT_EQ(Rows("select count(*) from v$transaction t, v$session s where t.addr = s.taddr and "
                 "s.client_info = 'Talvik'"),
            std::vector<std::string>{"0"});
}

}  // namespace
