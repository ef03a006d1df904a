// The grid's mouse and keyboard through injected input: title clicks sorting through the statement
// (at once, or when Ctrl is released), a pressed title becoming a column drag, the automatic scrolling's
// steps and pace, width fitting by a double click, Down at the end, Ctrl+Delete's question, and the
// incremental search on a fake clock.
#include <gtest/gtest.h>

#include <memory>

#include "GridFeaturesSupport.h"
#include "GridTestSupport.h"
#include "grid/DBGridEx.h"
#include "grid/DatasetFeatures.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/Dialogs.h"
#include "platform/rtl/ScopeExit.h"

namespace {

using namespace gridtest;
using talvik::gui::ShiftKeys;

class GridInput : public GridGuiTest {
 protected:
  void SetUp() override {
    GridGuiTest::SetUp();
    ClearDatasetFeatures();
    RegisterDatasetFeatures(FeaturesClass<TSQLDatasetFeaturesEx>(), TSqlMemDataSet::StaticClass());
    SetClipboardBackend(MakeMemoryClipboard());
    talvik::gui::SetMessageBoxHandler([this](HWND, const std::string& Text, const std::string&, UINT) {
      questions.push_back(Text);
      return answer;
    });
    for (const char* n : {"SID", "SERVER_PID", "SERIAL", "ORACLE_USER", "STATUS"})
      ds.FieldDefs()->Add(n, n == std::string("SID") ? ftInteger : ftString,
                          n == std::string("SID") ? 0 : 20);
    static const char* kUsers[] = {"SYS", "Иванов", "ivanova", "PETROV", "Сидоров", "SYSTEM"};
    for (int i = 0; i < 60; ++i)
      ds.AddRow({i + 1, std::to_string(1000 + i), std::to_string(i * 7),
                 kUsers[i % 6] + std::to_string(i / 6), i % 3 ? "INACTIVE" : "ACTIVE"});
    ds.SQL.SetText(
        "SELECT s.sid, p.spid server_pid, s.serial#, s.username oracle_user, s.status\r\n"
        "FROM v$session s, v$process p\r\nORDER BY s.status\r\n");
    source.SetDataSet(&ds);
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 640, 400);
    grid = new TDBGridEx(form.get());
    grid->SetParent(form.get());
    grid->SetBounds(0, 0, 620, 380);
    grid->SetOptionsEx(grid->OptionsEx() + dghAutoSortMarking + dghMultiSortMarking + dghIncSearch);
    grid->SetReadOnly(true);
    form->Show();
    grid->SetDataSource(&source);
    ds.Open();
    for (const char* n : {"SID", "SERVER_PID", "SERIAL", "ORACLE_USER", "STATUS"}) {
      TColumnEx* c = grid->Columns()->Add();
      c->SetFieldName(n);
      c->Title()->SetTitleButton(true);
      c->SetWidth(100);
    }
    grid->SetFocus();
    Pump();
    ds.Opens = ds.Closes = 0;
  }
  void TearDown() override {
    form.reset();
    talvik::gui::SetMessageBoxHandler(nullptr);
    SetClipboardBackend(nullptr);
    ClearDatasetFeatures();
    GridGuiTest::TearDown();
  }
  static void Pump() { talvik::gui::ProcessPending(); }
  POINT Screen(int X, int Y) {
    const TPoint p = grid->ClientToScreen(TPoint{X, Y});
    return POINT{p.X, p.Y};
  }
  void Mouse(UINT Message, int X, int Y, ShiftKeys Shift = {}) {
    talvik::gui::InjectMouse(Message, Screen(X, Y), Shift);
    Pump();
  }
  // A click well after the last one (never a double click).
  void Click(int X, int Y, ShiftKeys Shift = {}) {
    Advance(600);
    Mouse(WM_LBUTTONDOWN, X, Y, Shift);
    Mouse(WM_LBUTTONUP, X, Y, Shift);
  }
  static void Key(WORD Vk, char32_t Ch = 0, ShiftKeys Shift = {}) {
    TypeKey(Vk, Ch, Shift);
    Pump();
  }
  static void Type(const std::u32string& Text) {
    for (char32_t c : Text) Key(c < 128 ? static_cast<WORD>(std::toupper(static_cast<int>(c))) : 0, c);
  }
  // The middle of a column's title cell (Column counts the data columns from 0).
  TPoint Title(int Column) {
    const TRect r = grid->CellRect(Column + grid->IndicatorOffset(), 0);
    return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2 - 3};
  }
  TPoint Cell(int Column, int Row) {
    const TRect r = grid->CellRect(Column + grid->IndicatorOffset(), Row + grid->TitleOffset());
    return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
  }
  std::string OrderBy() {
    TStringList l;
    l.SetText(ds.SQL.Text());
    for (int i = 0; i < l.Count(); ++i)
      if (l.Strings(i).rfind("ORDER BY", 0) == 0 || (i == l.Count() - 1)) return l.Strings(i);
    return "?";
  }
  int RecNo() { return ds.FieldByName("SID")->AsInteger(); }
  TSqlMemDataSet ds;
  TDataSource source{nullptr};
  std::unique_ptr<TForm> form;
  TDBGridEx* grid = nullptr;
  std::vector<std::string> questions;
  int answer = mrOk;
};

TEST_F(GridInput, TitleClicksSortAtOnceCtrlClicksWhenCtrlIsReleased) {
  const TPoint status = Title(4), sid = Title(0);
  Click(status.X, status.Y);
  EXPECT_EQ(OrderBy(), "ORDER BY 5");
  EXPECT_EQ(ds.Closes, 1);
  EXPECT_EQ(ds.Opens, 1);
  Click(status.X, status.Y);
  EXPECT_EQ(OrderBy(), "ORDER BY 5 DESC");

  // Ctrl-click: the markers change now, the statement when Ctrl goes up
  talvik::gui::InjectKey(VK_CONTROL, true, 0, {false, true, false});
  Click(sid.X, sid.Y, {false, true, false});
  EXPECT_EQ(grid->Columns()->Items(0)->Title()->SortMarker(), smDownEx);
  EXPECT_EQ(OrderBy(), "ORDER BY 5 DESC");
  EXPECT_EQ(ds.Opens, 2);
  EXPECT_TRUE(grid->SortMarkingPending());
  talvik::gui::InjectKey(VK_CONTROL, false, 0, {});
  Pump();
  EXPECT_EQ(OrderBy(), "ORDER BY 5 DESC, 1");
  EXPECT_EQ(ds.Opens, 3);
  EXPECT_EQ(ds.Closes, 3);

  // a plain click marks that column alone
  Click(status.X, status.Y);
  EXPECT_EQ(OrderBy(), "ORDER BY 5");
  EXPECT_EQ(grid->Columns()->Items(0)->Title()->SortMarker(), smNoneEx);

  // cycling the last marker away with Ctrl leaves no ORDER BY
  for (int i = 0; i < 2; ++i) {
    talvik::gui::InjectKey(VK_CONTROL, true, 0, {false, true, false});
    Click(status.X, status.Y, {false, true, false});
    talvik::gui::InjectKey(VK_CONTROL, false, 0, {});
    Pump();
  }
  EXPECT_EQ(grid->Columns()->Items(4)->Title()->SortMarker(), smNoneEx);
  EXPECT_EQ(ds.SQL.Text().find("ORDER BY"), std::string::npos);
  EXPECT_TRUE(ds.Active());
}

TEST_F(GridInput, PressedTitleMovedThreePixelsStaysAPressFourStartsADrag) {
  const TPoint t = Title(1);
  Mouse(WM_LBUTTONDOWN, t.X, t.Y);
  Mouse(WM_MOUSEMOVE, t.X + 3, t.Y, {});
  EXPECT_EQ(grid->GridState(), gsNormal);
  Mouse(WM_MOUSEMOVE, t.X + 4, t.Y, {});
  EXPECT_EQ(grid->GridState(), gsColMoving);
  Mouse(WM_LBUTTONUP, t.X + 4, t.Y);
  EXPECT_EQ(ds.Opens, 0);  // a drag is no title click
  EXPECT_EQ(grid->Columns()->Items(1)->Title()->SortMarker(), smNoneEx);
}

TEST_F(GridInput, AutoScrollStepsAndPaceFollowTheDistance) {
  const TPoint c = Cell(1, 2);
  Mouse(WM_LBUTTONDOWN, c.X, c.Y);
  const TRect box = grid->DataBox();
  // 30 pixels below the data: 5 records a tick, no pause between ticks (a window timer's least, 10 ms)
  Mouse(WM_MOUSEMOVE, c.X, box.Bottom + 29, {});
  EXPECT_EQ(grid->AutoScrollInterval(), 0);
  int before = RecNo();
  Advance(10);
  EXPECT_EQ(RecNo() - before, 5);
  before = RecNo();
  Advance(10);
  EXPECT_EQ(RecNo() - before, 5);

  // 6 pixels below: one record every 110 ms
  Mouse(WM_MOUSEMOVE, c.X, box.Bottom + 5, {});
  EXPECT_EQ(grid->AutoScrollInterval(), 110);
  before = RecNo();
  Advance(109);
  EXPECT_EQ(RecNo(), before);
  Advance(1);
  EXPECT_EQ(RecNo() - before, 1);
  Mouse(WM_LBUTTONUP, c.X, box.Bottom + 5);
  EXPECT_FALSE(grid->AutoScrollTimerOn());
  before = RecNo();
  Advance(500);
  EXPECT_EQ(RecNo(), before);
}

TEST_F(GridInput, DoubleClickOnATitleBorderFitsTheWidthVisitingEveryRecord) {
  grid->SetOptionsEx(grid->OptionsEx() + dghDblClickOptimizeColWidth);
  ds.First();
  ds.MoveBy(7);
  const int here = RecNo();
  const TRect r = grid->CellRect(4 + grid->IndicatorOffset(), 0);
  grid->Columns()->Items(3)->SetWidth(20);
  const TRect user = grid->CellRect(3 + grid->IndicatorOffset(), 0);
  Mouse(WM_LBUTTONDOWN, user.Right, (user.Top + user.Bottom) / 2);
  Mouse(WM_LBUTTONUP, user.Right, (user.Top + user.Bottom) / 2);
  Mouse(WM_LBUTTONDBLCLK, user.Right, (user.Top + user.Bottom) / 2);
  Mouse(WM_LBUTTONUP, user.Right, (user.Top + user.Bottom) / 2);
  EXPECT_EQ(grid->OptimizeVisits(), 60);
  EXPECT_EQ(RecNo(), here);
  const int width = grid->Columns()->Items(3)->Width();
  EXPECT_GT(width, 40);
  (void)r;
}

TEST_F(GridInput, DownAtTheEndAppendsDownOnAnUntouchedInsertCancels) {
  grid->SetReadOnly(false);
  ds.Last();
  Key(VK_DOWN);
  EXPECT_EQ(ds.State(), dsInsert);
  Key(VK_UP);
  EXPECT_EQ(ds.State(), dsBrowse);
  EXPECT_EQ(ds.RecordCount(), 60);
  Key(VK_DOWN);
  ASSERT_EQ(ds.State(), dsInsert);
  Key(VK_DOWN);  // an appended record nobody touched: nothing at the end
  EXPECT_EQ(ds.State(), dsInsert);
}

TEST_F(GridInput, CtrlDeleteAsksFirst) {
  grid->SetReadOnly(false);
  ds.First();
  answer = mrCancel;
  Key(VK_DELETE, 0, {false, true, false});
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0], "Delete record?");
  EXPECT_EQ(ds.RecordCount(), 60);
  answer = mrOk;
  Key(VK_DELETE, 0, {false, true, false});
  EXPECT_EQ(ds.RecordCount(), 59);
  EXPECT_EQ(RecNo(), 2);
}

TEST_F(GridInput, IncrementalSearchOnAFakeClock) {
  grid->SetSelectedIndex(3);  // ORACLE_USER
  ds.First();
  Type(U"pe");
  EXPECT_TRUE(grid->IncSearching());
  EXPECT_EQ(grid->IncSearchText(), "PE");  // the record's own letters
  EXPECT_EQ(ds.FieldByName("ORACLE_USER")->AsString(), "PETROV0");
  Type(U"x");  // no match: the text and the place stay
  EXPECT_EQ(grid->IncSearchText(), "PE");
  EXPECT_EQ(ds.FieldByName("ORACLE_USER")->AsString(), "PETROV0");
  Key(VK_BACK);
  EXPECT_EQ(grid->IncSearchText(), "P");

  // 1.5 s of silence ends the search; the next letters start anew, the current record first
  Advance(1499);
  EXPECT_TRUE(grid->IncSearching());
  Advance(1);
  EXPECT_FALSE(grid->IncSearching());
  Type(U"И");  // Cyrillic in either case
  EXPECT_EQ(grid->IncSearchText(), "И");
  EXPECT_EQ(ds.FieldByName("ORACLE_USER")->AsString(), "Иванов0");
  Type(U"ВАНОВА");
  EXPECT_EQ(grid->IncSearchText(), "Иванов");  // no "Иванова": the text stays
  Key(VK_ESCAPE);
  EXPECT_FALSE(grid->IncSearching());
  ds.First();
  Type(U"iv");
  EXPECT_EQ(ds.FieldByName("ORACLE_USER")->AsString(), "ivanova0");

  // Ctrl+F: a search without time-out; a second Ctrl+F opens the find dialog with its text
  Key(VK_ESCAPE);
  std::vector<std::pair<std::string, bool>> dialogs;
  // the find dialog unit's own hook (set when the grid unit started, for the grid made above) comes
  // back for the tests after this one
  TScopeExit restore([saved = FindDialogProc] { FindDialogProc = saved; });
  FindDialogProc = [&](TCustomDBGridEx* G, const std::string& Text, bool Modal, TStrings* Entries) {
    EXPECT_EQ(G, grid);
    EXPECT_EQ(Entries, nullptr);
    dialogs.emplace_back(Text, Modal);
  };
  Key('F', 0, {false, true, false});
  EXPECT_TRUE(grid->IncSearching());
  EXPECT_EQ(grid->IncSearchTimeOut(), -1);
  Type(U"sys");
  Advance(60000);
  EXPECT_TRUE(grid->IncSearching());
  EXPECT_EQ(grid->IncSearchText(), "SYS");
  Key('F', 0, {false, true, false});
  EXPECT_FALSE(grid->IncSearching());
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].first, "SYS");
  EXPECT_TRUE(dialogs[0].second);
}

TEST_F(GridInput, SearchNextPriorAndClipboardTextAndCopyFromThePreviousRecord) {
  grid->SetSelectedIndex(3);
  ds.First();
  Type(U"sys");
  EXPECT_EQ(ds.FieldByName("ORACLE_USER")->AsString(), "SYS0");
  Key(VK_RETURN, 0, {false, true, false});  // Ctrl+Enter: the next match
  EXPECT_EQ(ds.FieldByName("ORACLE_USER")->AsString(), "SYSTEM0");
  Key(VK_RETURN, 0, {false, true, false});
  EXPECT_EQ(ds.FieldByName("ORACLE_USER")->AsString(), "SYS1");
  Key(VK_RETURN, 0, {true, true, false});  // Ctrl+Shift+Enter: back
  EXPECT_EQ(ds.FieldByName("ORACLE_USER")->AsString(), "SYSTEM0");
  EXPECT_TRUE(grid->IncSearching());
  Clipboard()->SetAsText("te");
  Key(VK_INSERT, 0, {true, false, false});  // Shift+Insert adds the clipboard's text to the search
  EXPECT_EQ(grid->IncSearchText(), "SYSTE");
  Key(VK_DOWN);  // another record: the search ends
  EXPECT_FALSE(grid->IncSearching());

  // Ctrl+': the value above into the current record
  grid->SetReadOnly(false);
  ds.First();
  ds.Next();
  Key(222, 0, {false, true, false});
  EXPECT_EQ(ds.State(), dsEdit);
  EXPECT_EQ(ds.FieldByName("ORACLE_USER")->AsString(), "SYS0");
  ds.Cancel();
}

TEST_F(GridInput, ScreenshotTwoSortMarkersDuringASearch) {
  grid->Columns()->Items(4)->Title()->SetSortMarker(smDownEx);
  grid->Columns()->Items(0)->Title()->SetSortMarker(smUpEx);
  grid->SetSelectedIndex(3);
  ds.First();
  Type(U"Си");
  ASSERT_TRUE(grid->IncSearching());
  ASSERT_TRUE(
      talvik::gui::RenderWindowToPng(form->Handle(), ScreenshotDir() + "/grid-incsearch-sortmarkers.png"));
}

}  // namespace

// Under a real X server with input from xdotool: Ctrl-clicks on two titles and typed letters give two
// numbered sort markers and a running search; the display is saved.
#include "gui/X11TestSupport.h"

namespace {

TEST(X11GridInput, TwoSortMarkersAndASearchOnTheDisplay) {
  X11TEST_START_TOOLKIT();
  x11test::UsKeyboard();
  TMemDataSet ds;
  ds.FieldDefs()->Add("SID", ftInteger);
  ds.FieldDefs()->Add("ORACLE_USER", ftString, 20);
  ds.FieldDefs()->Add("STATUS", ftString, 10);
  for (int i = 1; i <= 30; ++i)
    ds.AddRow({i, (i % 2 ? "SYS" : "PETROV") + std::to_string(i), i % 3 ? "INACTIVE" : "ACTIVE"});
  TDataSource source(nullptr);
  source.SetDataSet(&ds);
  auto form = std::make_unique<TForm>(nullptr);
  form->SetBorderStyle(bsNone);
  form->SetBounds(40, 40, 520, 360);
  form->SetCaption("TalvikX11GridInput");
  auto* grid = new TDBGridEx(form.get());
  grid->SetParent(form.get());
  grid->SetBounds(10, 10, 500, 340);
  grid->SetOptionsEx(grid->OptionsEx() + dghAutoSortMarking + dghMultiSortMarking + dghIncSearch);
  grid->SetReadOnly(true);
  grid->SetDataSource(&source);
  ds.Open();
  for (const char* n : {"SID", "ORACLE_USER", "STATUS"}) {
    TColumnEx* c = grid->Columns()->Add();
    c->SetFieldName(n);
    c->Title()->SetTitleButton(true);
    c->SetWidth(140);
  }
  int sorted = 0;
  grid->OnSortMarkingChanged = [&](TObject*) { ++sorted; };
  form->Show();
  ASSERT_TRUE(x11test::WaitFor([] { return x11test::Shell("xdotool search --name TalvikX11GridInput"); }));
  x11test::Shell("xdotool search --name TalvikX11GridInput windowfocus");
  grid->SetFocus();
  Application->ProcessMessages();
  auto at = [&](int Col) {
    const TRect r = grid->CellRect(Col + grid->IndicatorOffset(), 0);
    const TPoint p = grid->ClientToScreen({(r.Left + r.Right) / 2, r.Top + 4});
    return std::to_string(p.X) + " " + std::to_string(p.Y);
  };
  x11test::Shell("xdotool keydown ctrl mousemove " + at(2) + " click 1 sleep 0.7 mousemove " + at(0) +
                 " click 1 keyup ctrl");
  ASSERT_TRUE(x11test::WaitFor([&] { return sorted == 1; }));  // once, when Ctrl went up
  EXPECT_EQ(grid->Columns()->Items(2)->Title()->SortIndex(), 1);
  EXPECT_EQ(grid->Columns()->Items(0)->Title()->SortIndex(), 2);
  grid->SetSelectedIndex(1);
  x11test::Shell("xdotool type --delay 50 pe");
  ASSERT_TRUE(x11test::WaitFor([&] { return grid->IncSearchText() == "PE"; }));
  EXPECT_EQ(ds.FieldByName("ORACLE_USER")->AsString(), "PETROV2");
  ASSERT_TRUE(
      talvik::gui::GrabDisplayToPng(x11test::ScreenshotDir() + "/grid-x11-incsearch-sortmarkers.png"));
}

}  // namespace
