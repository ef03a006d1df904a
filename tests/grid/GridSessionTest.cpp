// The session window's grid over the simulated instance with its workload running: the session list
// statement in a grid set up as the session window sets up its own (multi-level titles, zebra, red
// ACTIVE rows, sort markers), the drawn row's record number in the cell-parameters event, and pictures
// of it offscreen.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "GridOracleSupport.h"
#include "GridTestSupport.h"
#include "grid/DBGridEx.h"
#include "grid/DBGridExFindDlg.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/SysUtils.h"
#include "tests/TemporaryFiles.h"
#include "tests/gui/X11TestSupport.h"

using namespace gridtest;

namespace {

constexpr TColor kOddRow = static_cast<TColor>(0xC6BEBD);
constexpr TColor kEvenRow = static_cast<TColor>(0xDED7D6);

struct SessionColumn {
  const char* field;
  const char* title;  // nullptr: the field's own label
  bool visible;
  int width;  // 0: the default width
};

// The session window's grid, column by column.
const SessionColumn kSessionColumns[] = {
    {"SID", nullptr, true, 46},
    {"SERVER_PID", "SPID", false, 46},
    {"SERIAL", "Serial#", false, 49},
    {"STATUS", "Статус", true, 62},
    {"ORACLE_USER", "Oracle user", true, 80},
    {"OS_USER", "OS user", true, 59},
    {"MACHINE", "Компьютер", true, 78},
    {"COMMAND", "Команда", true, 61},
    {"CLIENT_PROGRAM", "Программа", true, 110},
    {"ACTION", "Действие", false, 153},
    {"CPU_USAGE", "CPU", true, 60},
    {"LOGICAL_READS", "Логич. чтений", true, 0},
    {"PHYSICAL_READS", "Физич. чтений", true, 54},
    {"BLOCK_CHANGES", "Изменено блоков", false, 0},
    {"CONSISTENT_GETS", "Целостных чтений", false, 66},
    {"BLOCK_GETS", "Прочитано блоков", false, 66},
    {"WAIT_ID", "Ожидание|SEQ#", false, 46},
    {"WAIT_STATE", "Ожидание|Cтатус (время)", false, 109},
    {"WAIT_EVENT", "Ожидание|Событие", false, 114},
    {"LOGON_TIME", "Время соединения", true, 108},
    {"LAST_CALL_ET", "Время простоя", true, 74},
};

// The session window's grid as it sets it up, with its zebra and red ACTIVE rows; every drawn row's
// record number goes to DrawnRecNos.
void SetUpAsSessionGrid(TDBGridEx* grid, TDataSet* ds, std::vector<int>* DrawnRecNos) {
  grid->SetReadOnly(true);
  grid->SetFlat(true);
  grid->SetColor(kEvenRow);
  grid->SetUseMultiTitle(true);
  TFont bold;
  bold.Assign(grid->TitleFont());
  bold.SetStyle({fsBold});
  grid->SetTitleFont(&bold);
  grid->SetOptionsEx({dghHighlightFocus, dghClearSelection, dghAutoSortMarking, dghMultiSortMarking,
                      dghIncSearch, dghPreferIncSearch, dghRowHighlight});
  grid->SetShowHint(true);
  grid->Columns()->BeginUpdate();
  for (const SessionColumn& s : kSessionColumns) {
    TColumnEx* c = grid->Columns()->Add();
    c->SetFieldName(s.field);
    if (s.title) c->Title()->SetCaption(s.title);
    c->Title()->SetTitleButton(true);
    c->Title()->SetHint(s.field);
    c->SetVisible(s.visible);
    if (s.width > 0) c->SetWidth(s.width);
  }
  grid->Columns()->EndUpdate();
  grid->OnGetCellParams = [ds, DrawnRecNos](TObject*, TColumnEx*, TFont* AFont, TColor& Background,
                                            TGridDrawState) {
    if (DrawnRecNos) DrawnRecNos->push_back(ds->RecNo());
    Background = ds->RecNo() % 2 == 1 ? kOddRow : kEvenRow;
    if (ds->FieldByName("STATUS")->AsString() == "ACTIVE") AFont->SetColor(clRed);
  };
}

TColumnEx* ColumnOf(TDBGridEx* grid, const std::string& Field) {
  for (int i = 0; i < grid->Columns()->Count(); ++i)
    if (grid->Columns()->Items(i)->FieldName() == Field) return grid->Columns()->Items(i);
  return nullptr;
}

class GridSession : public GridGuiTest {
 protected:
  void SetUp() override {
    GridGuiTest::SetUp();
    sim = std::make_unique<SimSessionList>();
    sim->SetReadOnly(true);
    sim->StartWorkload(14);
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 900, 420);
    grid = new TDBGridEx(form.get());
    grid->SetParent(form.get());
    grid->SetAlign(alClient);
    SetUpAsSessionGrid(grid, sim->DataSet(), &drawnRecNos);
    source.SetDataSet(sim->DataSet());
    sim->DataSet()->Open();
    grid->SetDataSource(&source);
    form->Show();
  }
  void TearDown() override {
    form.reset();
    sim.reset();
    GridGuiTest::TearDown();
  }
  TColumnEx* ColumnOf(const std::string& Field) { return ::ColumnOf(grid, Field); }
  void Shot(const std::string& Name) {
    grid->Invalidate();
    Drain();
    EXPECT_TRUE(talvik::gui::RenderWindowToPng(form->Handle(), ScreenshotDir() + "/" + Name));
  }
  std::unique_ptr<SimSessionList> sim;
  std::unique_ptr<TForm> form;
  TDBGridEx* grid = nullptr;
  TDataSource source{nullptr};
  std::vector<int> drawnRecNos;
};

TEST_F(GridSession, TheSessionListDrawsWithItsZebraAndRedActiveRows) {
  TDataSet* ds = sim->DataSet();
  ASSERT_GT(ds->RecordCount(), 10);
  EXPECT_EQ(grid->Columns()->Count(), 21);
  // the drawn rows' own record numbers, whatever the current record
  ds->MoveBy(4);
  drawnRecNos.clear();
  Shot("grid-session-flat.png");
  ASSERT_FALSE(drawnRecNos.empty());
  EXPECT_EQ(drawnRecNos.front(), 1);
  EXPECT_EQ(*std::max_element(drawnRecNos.begin(), drawnRecNos.end()),
            std::min(ds->RecordCount(), grid->VisibleDataRowCount()));
  EXPECT_EQ(ds->RecNo(), 5);
  int active = 0;
  for (ds->First(); !ds->Eof(); ds->Next()) active += ds->FieldByName("STATUS")->AsString() == "ACTIVE";
  EXPECT_GT(active, 0);
  // the wait columns shown: their common upper title
  for (const char* f : {"WAIT_ID", "WAIT_STATE", "WAIT_EVENT"}) ColumnOf(f)->SetVisible(true);
  THeadTreeNode* wait = grid->LeafOf(ColumnOf("WAIT_STATE"))->Host;
  EXPECT_EQ(wait->Text, "Ожидание");
  EXPECT_EQ(grid->LeafOf(ColumnOf("WAIT_EVENT"))->Host, wait);
  // two numbered sort markers
  ColumnOf("STATUS")->Title()->SetSortMarker(smDownEx);
  ColumnOf("CPU_USAGE")->Title()->SetSortMarker(smUpEx);
  EXPECT_EQ(ColumnOf("CPU_USAGE")->Title()->SortIndex(), 2);
  ds->First();
  ds->MoveBy(2);
  Shot("grid-session-multi-level-markers.png");
}

TEST_F(GridSession, SaveBookmarkRefreshAndRestoreBookmarkKeepTheScreenRow) {
  TDataSet* ds = sim->DataSet();
  ds->MoveBy(6);
  grid->Invalidate();
  Drain();
  const int screenRow = grid->Row();
  ASSERT_EQ(screenRow, grid->TitleOffset() + 6);
  grid->SaveBookmark();
  sim->StepWorkload();
  ds->Refresh();
  grid->RestoreBookmark();
  EXPECT_EQ(grid->Row(), screenRow);
  // and the drawn rows still read their own record numbers
  drawnRecNos.clear();
  grid->Invalidate();
  Drain();
  ASSERT_FALSE(drawnRecNos.empty());
  EXPECT_EQ(drawnRecNos.front(), 1);
}

TEST_F(GridSession, TheFindDialogFindsASessionByItsUserName) {
  TDataSet* ds = sim->DataSet();
  // the user whose first session comes last in the list
  std::map<std::string, int> first;
  for (ds->First(); !ds->Eof(); ds->Next())
    first.emplace(ds->FieldByName("ORACLE_USER")->AsString(), ds->RecNo());
  first.erase("");
  ASSERT_FALSE(first.empty());
  auto wanted = std::max_element(first.begin(), first.end(),
                                 [](const auto& a, const auto& b) { return a.second < b.second; });
  ASSERT_GT(wanted->second, 1);
  std::vector<std::string> messages;
  talvik::gui::SetMessageBoxHandler([&](HWND, const std::string& Text, const std::string&, UINT) {
    messages.push_back(Text);
    return IDOK;
  });
  ds->First();
  grid->SetSelectedIndex(ColumnOf("ORACLE_USER")->Index());
  ExecuteGridFindDialog(grid, AnsiLowerCase(wanted->first), false, nullptr);
  TDBGridExFindDlg* dlg = GridFindDialog();
  ASSERT_NE(dlg, nullptr);
  EXPECT_EQ(dlg->cbFindIn->Text(), "Oracle user");
  dlg->cbMatchinType->SetItemIndex(1);  // the whole field
  dlg->bFind->Click();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(ds->RecNo(), wanted->second);
  EXPECT_EQ(grid->FocusedColumn(), ColumnOf("ORACLE_USER"));
  // nobody of that name: the message, and the grid stays on the session found
  dlg->cbText->SetText("NO_SUCH_USER");
  dlg->bFind->Click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Строка \"NO_SUCH_USER\" не найдена.");
  EXPECT_EQ(ds->RecNo(), wanted->second);
  delete dlg;
  talvik::gui::SetMessageBoxHandler(nullptr);
}

// A test's instance lives in its process's own folder: nothing else is made in the temporary
// directory, and nothing stays.
TEST(SimSessionListFolder, IsInTheProcessFolder) {
  ExpectOnlyTheProcessFolderMade("GridOnInstance.AReadOnlyDatasetTakesNoEdits");
}

}  // namespace

// Under a real X server: the same grid through the toolkit's windows, pictured from the display.
TEST(X11GridSession, TheSessionGridOnTheDisplay) {
  X11TEST_START_TOOLKIT();
  SimSessionList sim;
  sim.SetReadOnly(true);
  sim.StartWorkload(14);
  TForm form(nullptr);
  form.SetCaption("TalvikSessionGrid");
  form.SetBorderStyle(bsNone);
  form.SetBounds(40, 40, 900, 420);
  auto* grid = new TDBGridEx(&form);
  grid->SetParent(&form);
  grid->SetAlign(alClient);
  SetUpAsSessionGrid(grid, sim.DataSet(), nullptr);
  TDataSource source(nullptr);
  source.SetDataSet(sim.DataSet());
  sim.DataSet()->Open();
  grid->SetDataSource(&source);
  for (const char* f : {"WAIT_ID", "WAIT_STATE", "WAIT_EVENT"}) ColumnOf(grid, f)->SetVisible(true);
  ColumnOf(grid, "STATUS")->Title()->SetSortMarker(smDownEx);
  ColumnOf(grid, "CPU_USAGE")->Title()->SetSortMarker(smUpEx);
  form.Show();
  ASSERT_TRUE(x11test::WaitFor([&] { return IsWindowVisible(form.Handle()); }));
  x11test::Settle();
  const std::string dir = x11test::ScreenshotDir();
  EXPECT_TRUE(talvik::gui::RenderWindowToPng(form.Handle(), dir + "/grid-session-x11.png"));
  EXPECT_TRUE(talvik::gui::GrabDisplayToPng(dir + "/grid-session-display.png"));
  // a zebra pixel, through the toolkit's window
  // (the second row: the first is the focused one; the program column's right end, clear of its text)
  const TRect cell = grid->CellRect(grid->DataToRawColumn(8), grid->TitleOffset() + 1);
  TPoint p = grid->ClientToScreen(TPoint{cell.Right - 3, cell.Top + 3});
  RECT f;
  GetWindowRect(form.Handle(), f);
  EXPECT_EQ(talvik::gui::WindowPixel(form.Handle(), p.X - f.Left, p.Y - f.Top), ColorToRGB(kEvenRow));
  grid->SetDataSource(nullptr);
}
