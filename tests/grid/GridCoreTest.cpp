// The grid's core on a real form: option translation, layout batches and deferred layouts, columns
// from fields or customised, fixed columns, rows and the data link's buffer, row heights fitted to
// text, the data link's notifications, a field freed under the grid, row and tab movement, exit,
// scaling and streaming of the columns.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "GridDataSupport.h"
#include "GridTestSupport.h"
#include "grid/DBGridEx.h"

using namespace gridtest;

namespace {

// The grid with its protected slots reachable and a pass that can be made to fail.
class TTestGrid : public TDBGridEx {
 public:
  using TDBGridEx::ChangeScale;
  using TDBGridEx::DoExit;
  using TDBGridEx::TDBGridEx;
  void UpdateRowCount() override {
    if (failNext) {
      failNext = false;
      throw Exception("layout failed");
    }
    TDBGridEx::UpdateRowCount();
  }
  bool failNext = false;
  TGridOptions BaseOptions() const { return TCustomGrid::Options(); }
};

class GridCore : public GridGuiTest {
 protected:
  void SetUp() override {
    GridGuiTest::SetUp();
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(50, 50, 480, 300);
    grid = new TTestGrid(form.get());
    grid->SetParent(form.get());
    grid->SetBounds(0, 0, 460, 280);
    form->Show();
  }
  void TearDown() override {
    form.reset();
    people.reset();
    GridGuiTest::TearDown();
  }
  void Bind() {
    people = std::make_unique<People>();
    grid->SetDataSource(&people->source);
  }
  std::vector<std::string> FieldNames() {
    std::vector<std::string> out;
    for (int i = 0; i < grid->Columns()->Count(); ++i) out.push_back(grid->Columns()->Items(i)->FieldName());
    return out;
  }
  std::unique_ptr<TForm> form;
  TTestGrid* grid = nullptr;
  std::unique_ptr<People> people;
};

TEST_F(GridCore, DefaultsAndAnEmptyGridOfTwoByTwo) {
  EXPECT_EQ(grid->ColCount(), 2);
  EXPECT_EQ(grid->RowCount(), 2);
  EXPECT_EQ(grid->FixedCols(), 1);
  EXPECT_EQ(grid->FixedRows(), 1);
  EXPECT_EQ(grid->VTitleMargin(), 10);
  EXPECT_TRUE(grid->Options().Contains(dgCancelOnExit));
  EXPECT_TRUE(grid->OptionsEx().Contains(dghDialogFind));
  EXPECT_EQ(grid->AllowedOperations().Count(), 4);
  grid->SetOptions(grid->Options() + dgAlwaysShowEditor);
  EXPECT_FALSE(grid->EditorMode());
  EXPECT_EQ(grid->ColWidths(0), kIndicatorWidth);
  EXPECT_EQ(grid->Style(), DefaultGridStyle());
}

struct OptionCase {
  const char* name;
  TDBGridOption option;
  bool laysOut;
};

class OptionChanges : public GridCore, public ::testing::WithParamInterface<OptionCase> {};

TEST_P(OptionChanges, OnlyTheLayoutOptionsRunAPass) {
  const OptionCase& c = GetParam();
  const int before = grid->LayoutPasses();
  TDBGridOptions o = grid->Options();
  if (o.Contains(c.option)) {
    o.Exclude(c.option);
  } else {
    o.Include(c.option);
  }
  grid->SetOptions(o);
  EXPECT_EQ(grid->LayoutPasses() - before, c.laysOut ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OptionChanges,
    ::testing::Values(OptionCase{"ConfirmDelete", dgConfirmDelete, false},
                      OptionCase{"CancelOnExit", dgCancelOnExit, false}, OptionCase{"Tabs", dgTabs, false},
                      OptionCase{"ColumnResize", dgColumnResize, false},
                      OptionCase{"MultiSelect", dgMultiSelect, false}, OptionCase{"Titles", dgTitles, true},
                      OptionCase{"Indicator", dgIndicator, true}, OptionCase{"ColLines", dgColLines, true},
                      OptionCase{"AlwaysShowSelection", dgAlwaysShowSelection, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GridCore, RowSelectStripsEditingAndTheBaseOptionsFollow) {
  grid->SetOptions(grid->Options() + dgRowSelect + dgAlwaysShowEditor);
  EXPECT_FALSE(grid->Options().Contains(dgEditing));
  EXPECT_FALSE(grid->Options().Contains(dgAlwaysShowEditor));
  EXPECT_TRUE(grid->BaseOptions().Contains(goRowSelect));
  EXPECT_FALSE(grid->BaseOptions().Contains(goEditing));
  EXPECT_TRUE(grid->BaseOptions().Contains(goColMoving));
  grid->SetOptions({dgTitles, dgTabs});
  EXPECT_FALSE(grid->BaseOptions().Contains(goVertLine));
  EXPECT_TRUE(grid->BaseOptions().Contains(goTabs));
  grid->SetRowSizingAllowed(true);
  EXPECT_TRUE(grid->BaseOptions().Contains(goRowSizing));
}

TEST_F(GridCore, NestedBatchesRunOnePassAndDeferredLayoutPostsOnce) {
  const int before = grid->LayoutPasses();
  ASSERT_TRUE(grid->BeginLayout());
  EXPECT_FALSE(grid->BeginLayout());
  grid->LayoutChanged();
  grid->SetFrozenCols(1);
  grid->EndLayout();
  EXPECT_EQ(grid->LayoutPasses() - before, 1);
  EXPECT_EQ(grid->LayoutLock(), 0);
  EXPECT_EQ(grid->UpdateLock(), 0);

  Drain();
  ASSERT_TRUE(grid->BeginLayout());
  grid->DeferLayout();
  ASSERT_TRUE(grid->BeginLayout());
  grid->DeferLayout();
  int queued = 0;
  MSG m;
  while (PeekMessage(m, grid->Handle(), WM_DEFERLAYOUT, WM_DEFERLAYOUT, PM_REMOVE)) {
    ++queued;
    DispatchMessage(m);
  }
  EXPECT_EQ(queued, 1);
  EXPECT_EQ(grid->LayoutPasses() - before, 2);
  // a pass removes a queued request
  ASSERT_TRUE(grid->BeginLayout());
  grid->DeferLayout();
  grid->LayoutChanged();
  EXPECT_FALSE(PeekMessage(m, grid->Handle(), WM_DEFERLAYOUT, WM_DEFERLAYOUT, PM_NOREMOVE));
}

TEST_F(GridCore, ARaisingPassGivesTheLocksBack) {
  Bind();
  grid->failNext = true;
  EXPECT_THROW(grid->LayoutChanged(), Exception);
  EXPECT_EQ(grid->LayoutLock(), 0);
  EXPECT_EQ(grid->UpdateLock(), 0);
  EXPECT_FALSE(grid->LayoutRunning());
  const int before = grid->LayoutPasses();
  grid->LayoutChanged();
  EXPECT_EQ(grid->LayoutPasses() - before, 1);
}

TEST_F(GridCore, DefaultColumnsFollowTheVisibleFields) {
  Bind();
  EXPECT_EQ(grid->Columns()->State(), csDefault);
  EXPECT_EQ(FieldNames(), (std::vector<std::string>{"ID", "NAME", "SALARY", "ACTIVE", "FLAG", "DEPT", "NOTES",
                                                    "PHOTO", "DEPT_NAME"}));
  EXPECT_EQ(grid->ColCount(), 10);
  people->F("FLAG")->SetVisible(false);
  EXPECT_EQ(grid->Columns()->Count(), 8);
  EXPECT_FALSE(grid->DataLink()->SparseMap());
  // closing a dataset of default fields empties the columns
  people->ds.Close();
  EXPECT_EQ(grid->ColCount(), 2);
}

TEST_F(GridCore, CustomisedColumnsMapSparselyAndDropTheDefaultOnes) {
  Bind();
  TColumnEx* first = grid->Columns()->Items(0);
  EXPECT_FALSE(first->Persistent());
  TColumnEx* name = grid->Columns()->Add();  // a customised column after default ones
  name->SetFieldName("NAME");
  EXPECT_EQ(FieldNames(), (std::vector<std::string>{"NAME"}));
  TColumnEx* missing = grid->Columns()->Add();
  missing->SetFieldName("NOPE");
  EXPECT_TRUE(grid->DataLink()->SparseMap());
  EXPECT_EQ(grid->DataLink()->GetMappedIndex(1), -1);
  EXPECT_EQ(grid->DataLink()->GetMappedField(0), people->F("NAME"));
  EXPECT_EQ(grid->ColCount(), 3);
}

TEST_F(GridCore, FrozenColumnsCountAHiddenFirstColumn) {
  Bind();
  for (const char* n : {"ID", "NAME", "SALARY", "FLAG"}) grid->Columns()->Add()->SetFieldName(n);
  grid->Columns()->Items(0)->SetVisible(false);
  grid->SetFrozenCols(2);
  EXPECT_EQ(grid->FixedCols(), 4);  // the indicator and three columns
  EXPECT_EQ(grid->ColWidths(1), -1);
  grid->SetOptions(grid->Options() - dgIndicator);
  EXPECT_EQ(grid->FixedCols(), 3);
  EXPECT_NE(grid->ColWidths(0), kIndicatorWidth);
}

TEST_F(GridCore, RowsFollowTheRecordsAndTheBufferTheHeight) {
  Bind();
  EXPECT_EQ(grid->RowCount(), 1 + 3);
  const int pitch = grid->DefaultRowHeight() + grid->GridLineWidth();
  const int used = grid->TitleRowHeight() + grid->GridLineWidth();
  EXPECT_EQ(grid->DataLink()->BufferCount(), (grid->ClientHeight() - used) / pitch);
  for (int i = 4; i <= 40; ++i) people->ds.AppendRecord({i, "x" + std::to_string(i)});
  const int rows = grid->DataLink()->BufferCount();
  EXPECT_EQ(grid->RowCount(), 1 + rows);
  people->ds.First();
  people->ds.MoveBy(rows + 3);
  EXPECT_EQ(grid->Row(), grid->DataLink()->ActiveRecord() + 1);
  grid->SetFooterRowCount(1);  // one row less for the footer, the separator row fills the gap
  EXPECT_EQ(grid->DataLink()->BufferCount(), rows - 1);
  EXPECT_EQ(grid->RowCount(), 1 + (rows - 1) + 1 + 1);
}

TEST_F(GridCore, FitRowHeightToTextRoundsToWholeLines) {
  Bind();
  const int margin = 3 + grid->GridLineWidth();
  const int text = grid->DefaultRowHeight() - margin;
  grid->SetRowHeight(margin + text + text / 2 + 1);  // more than half a line over: two lines
  grid->SetOptionsEx(grid->OptionsEx() + dghFitRowHeightToText);
  EXPECT_EQ(grid->DefaultRowHeight(), 2 * text + margin);
  EXPECT_EQ(grid->RowLines(), 2);
  EXPECT_EQ(grid->RowHeight(), margin);
  grid->LayoutChanged();  // a second pass keeps it
  EXPECT_EQ(grid->DefaultRowHeight(), 2 * text + margin);
  grid->SetOptionsEx(grid->OptionsEx() - dghFitRowHeightToText);
  grid->SetRowLines(0);
  grid->SetRowHeight(margin + text + text / 2);  // at most half a line over: one line
  grid->SetOptionsEx(grid->OptionsEx() + dghFitRowHeightToText);
  EXPECT_EQ(grid->DefaultRowHeight(), text + margin);
  EXPECT_EQ(grid->RowLines(), 1);
}

TEST_F(GridCore, TheDataLinkDrivesTheGrid) {
  Bind();
  grid->SetSelectedIndex(1);  // NAME
  people->ds.Next();
  EXPECT_EQ(grid->Row(), 2);  // scrolled
  grid->SetOptions(grid->Options() + dgAlwaysShowEditor);
  grid->ShowEditor();
  ASSERT_TRUE(grid->EditorMode());
  EXPECT_EQ(grid->InplaceEditor()->Text(), "Bob");
  people->ds.Edit();
  people->F("NAME")->SetAsString("Bobby");  // record changed: the editor follows
  EXPECT_EQ(grid->InplaceEditor()->Text(), "Bobby");
  EXPECT_EQ(grid->EditText(), "Bobby");
  people->ds.Cancel();
  people->ds.Close();  // inactive: the editor hides
  EXPECT_FALSE(grid->InplaceEditor()->Visible());
  people->ds.Open();
  EXPECT_EQ(grid->Columns()->Count(), 9);
  // a field asked to take the focus selects its column
  people->F("SALARY")->FocusControl();
  EXPECT_EQ(grid->GetSelectedField(), people->F("SALARY"));
}

TEST_F(GridCore, AFieldFreedUnderTheGridLeavesNoColumnBoundToIt) {
  Bind();
  TColumnEx* salary = grid->Columns()->Add();
  salary->SetFieldName("SALARY");
  grid->Columns()->Add()->SetFieldName("NAME");
  ASSERT_EQ(salary->Field(), people->F("SALARY"));
  delete people->F("SALARY");  // closes the dataset and leaves the fields
  EXPECT_EQ(salary->CachedField(), nullptr);
  people->ds.Open();
  EXPECT_EQ(salary->Field(), nullptr);
  EXPECT_NE(grid->Columns()->Items(1)->Field(), nullptr);
  Drain();
}

TEST_F(GridCore, NextRowAppendsAtTheEndAndCancelsAnUntouchedInsert) {
  Bind();
  people->ds.Last();
  grid->NextRow(false);
  EXPECT_EQ(people->ds.State(), dsInsert);
  grid->NextRow(false);  // an untouched insert at the end: nothing at all
  EXPECT_EQ(people->ds.State(), dsInsert);
  grid->PriorRow(false);  // cancels it
  EXPECT_EQ(people->ds.State(), dsBrowse);
  EXPECT_EQ(people->ds.RecordCount(), 3);
  grid->SetReadOnly(true);
  people->ds.Last();
  grid->NextRow(false);
  EXPECT_EQ(people->ds.State(), dsBrowse);
}

TEST_F(GridCore, TabWrapsToTheNextRowAndSkipsColumnsThatAreNoStops) {
  Bind();
  for (const char* n : {"ID", "NAME", "SALARY"}) grid->Columns()->Add()->SetFieldName(n);
  grid->Columns()->Items(1)->SetReadOnly(true);  // no tab stop after the next layout
  grid->LayoutChanged();
  grid->SetSelectedIndex(0);
  grid->Tab(true);
  EXPECT_EQ(grid->GetSelectedIndex(), 2);
  grid->Tab(true);
  EXPECT_EQ(grid->GetSelectedIndex(), 0);
  EXPECT_EQ(people->ds.RecNo(), 2);
  grid->Tab(false);
  EXPECT_EQ(grid->GetSelectedIndex(), 2);
  EXPECT_EQ(people->ds.RecNo(), 1);
}

TEST_F(GridCore, CancelOnExitDropsAnUntouchedInsertAndWritesOtherwise) {
  Bind();
  people->ds.Append();
  grid->DoExit();
  EXPECT_EQ(people->ds.State(), dsBrowse);
  grid->SetOptions(grid->Options() - dgCancelOnExit);
  people->ds.Append();
  grid->DoExit();
  EXPECT_EQ(people->ds.State(), dsInsert);
  people->ds.Cancel();
}

TEST_F(GridCore, ChangeScaleKeepsTheSumOfTheWidths) {
  for (int w : {33, 33, 34}) grid->Columns()->Add()->SetWidth(w);
  grid->ChangeScale(3, 2);
  std::vector<int> widths;
  for (int i = 0; i < 3; ++i) widths.push_back(grid->Columns()->Items(i)->Width());
  EXPECT_EQ(widths, (std::vector<int>{50, 49, 51}));
}

TEST_F(GridCore, ASystemColourChangeEmptiesTheButtonFaceCache) {
  TBitmap face;
  face.SetSize(20, 20);
  DrawEditButton(face.Canvas()->Handle(), Rect(0, 0, 17, 17), clWindow, bcsDropDownEx, 0, false, false, true,
                 cbUnchecked);
  ASSERT_GT(ButtonsBitmapCacheCount(), 0);
  const int index = COLOR_BTNFACE;
  const COLORREF old = GetSysColor(COLOR_BTNFACE);
  SetSysColors(1, &index, &old);
  EXPECT_EQ(ButtonsBitmapCacheCount(), 0);
}

TEST_F(GridCore, TheDefaultStyleDestroyedUnderTheGridLeavesItWithoutAndLaidOut) {
  ASSERT_EQ(grid->Style(), DefaultGridStyle());
  const int before = grid->LayoutPasses();
  FreeDefaultGridStyle();
  EXPECT_EQ(grid->Style(), nullptr);
  EXPECT_EQ(grid->LayoutPasses(), before + 1);
  TColor color = clWindow;
  TFont font;  // without a style the same rules apply, unblended
  EXPECT_FALSE(grid->HighlightDataCell(1, 1, {}, color, &font));
  CreateDefaultGridStyle();
  grid->SetStyle(nullptr);  // nil takes the default style
  EXPECT_EQ(grid->Style(), DefaultGridStyle());
  EXPECT_TRUE(DefaultGridStyle()->IsGridRegistered(grid));
}

TEST_F(GridCore, DeleteConfirmationAsksForOneOrForAllSelected) {
  std::vector<std::string> asked;
  int answer = IDOK;
  talvik::gui::SetMessageBoxHandler([&](HWND, const std::string& text, const std::string&, UINT) {
    asked.push_back(text);
    return answer;
  });
  EXPECT_TRUE(grid->ConfirmDelete(1));
  answer = IDCANCEL;
  EXPECT_FALSE(grid->ConfirmDelete(3));
  EXPECT_EQ(asked, (std::vector<std::string>{"Delete record?", "Delete all selected records?"}));
  grid->SetOptions(grid->Options() - dgConfirmDelete);
  EXPECT_TRUE(grid->ConfirmDelete(3));
  EXPECT_EQ(asked.size(), 2u);
  talvik::gui::SetMessageBoxHandler(nullptr);
}

TEST_F(GridCore, LightenColorAddsAnEighth) {
  EXPECT_EQ(static_cast<COLORREF>(TCustomDBGridEx::LightenColor(static_cast<TColor>(RGB(200, 100, 250)), 8)),
            RGB(225, 113, 255));
}

TEST_F(GridCore, ColumnsAreStreamedOnlyWhenCustomisedAndReadBackEqual) {
  Bind();
  auto stream = [](TPersistent* p) {
    auto s = std::make_unique<TMemoryStream>();
    TWriter w(s.get());
    w.WriteProperties(p);
    w.WriteListEnd();
    return s;
  };
  auto defaults = stream(grid);
  TStringStream probe;
  probe.CopyFrom(defaults.get(), 0);
  EXPECT_EQ(probe.DataString().find("Columns"), std::string::npos);

  TColumnEx* c = grid->Columns()->Add();
  c->SetFieldName("NAME");
  c->SetWidth(123);
  c->Title()->SetCaption("Имя");
  c->SetColor(clYellow);
  grid->Columns()->Add()->SetFieldName("SALARY");
  grid->Columns()->Items(1)->SetVisible(false);
  auto custom = stream(grid);

  TTestGrid copy(form.get());
  copy.SetParent(form.get());
  custom->SetPosition(0);
  TReader r(custom.get());
  r.ReadProperties(&copy);
  ASSERT_EQ(copy.Columns()->Count(), 2);
  TColumnEx* read = copy.Columns()->Items(0);
  EXPECT_EQ(read->FieldName(), "NAME");
  EXPECT_EQ(read->Width(), 123);
  EXPECT_EQ(read->Title()->Caption(), "Имя");
  EXPECT_EQ(read->Color(), clYellow);
  EXPECT_FALSE(copy.Columns()->Items(1)->Visible());
  EXPECT_FALSE(read->IsAssigned(cvAlignment));
}

}  // namespace
