// What long random input found wrong with the grid, each case on its own: a grid freed while it
// always shows its editor, a column's field freed under it, records marked that do not exist, a
// column used after the layout freed it, a filter text that cannot be read while a column goes,
// the find dialog on freed columns, an export of no visible column, a paste that cannot post its
// record, a memory table used after its dataset went, rows that grow at every layout pass, and the
// focused column past the last after a column drag.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "GridDataSupport.h"
#include "GridFormSupport.h"
#include "grid/DBGridEx.h"
#include "grid/DBGridExDataService.h"
#include "grid/DBGridExExport.h"
#include "grid/DBGridExFilterEdit.h"
#include "grid/DBGridExFindDlg.h"
#include "grid/DBGridExImport.h"
#include "platform/gui/Clipbrd.h"
#include "platform/rtl/ScopeExit.h"

using namespace gridtest;
using talvik::gui::ShiftKeys;

namespace {

// The people grid with the helpers these cases share.
class GridRobustness : public PeopleGrid {
 protected:
  // Every bookmark the grid holds as selected names a record of the dataset.
  void ExpectSelectedRecordsExist() {
    TBookmarkListEx* rows = grid->SelectedRows();
    for (int i = 0; i < rows->Count(); ++i)
      EXPECT_TRUE(people->ds.BookmarkValid(rows->Items(i)))
          << "selected bookmark " << i << " names no record";
  }
  void Click(int X, int Y, ShiftKeys Shift = {}) {
    Mouse(WM_LBUTTONDOWN, X, Y, Shift);
    Mouse(WM_LBUTTONUP, X, Y, Shift);
    LetGo(Shift);
    Pump();
  }
};

using GridOnFormRobustness = GridOnForm;

TEST_F(GridRobustness, AGridThatAlwaysShowsItsEditorIsFreedOverAnOpenDataset) {
  grid->SetOptions(grid->Options() + dgAlwaysShowEditor + dgMultiSelect);
  Edit(1);
  ASSERT_TRUE(grid->EditorMode());
  grid->HideEditor();  // Esc in a cell with nothing typed
  delete grid;         // unlinking the data source on the way out shows the editor no more
  grid = nullptr;
  Pump();
  // nothing of the grid stays behind: no editor window on the form, no focus on a window that went,
  // and the dataset browses on, its source linked to no control
  EXPECT_EQ(form->ControlCount(), 0);
  EXPECT_EQ(GetWindow(form->Handle(), GW_CHILD), nullptr);
  EXPECT_EQ(form->ActiveControl(), form.get()) << "the focus went back to the grid's parent";
  EXPECT_TRUE(GetFocus() == nullptr || GetFocus() == form->Handle());
  EXPECT_EQ(people->ds.State(), dsBrowse);
  EXPECT_EQ(people->source.DataLinkCount(), 0);
}

// A dataset whose fields are made when it opens and freed when it closes, as a query's are.
struct DefaultFieldSessions {
  TStatusSessions ds{12, "SID", "Сеанс ", 20};
  TDataSource source{nullptr};
  DefaultFieldSessions() {
    source.SetDataSet(&ds);
    ds.Open();
  }
};

TEST_F(GridRobustness, AColumnForgetsAFieldThatGoesAndADisabledSourceNeitherGivesOneNorSorts) {
  DefaultFieldSessions sessions;
  grid->SetDataSource(&sessions.source);
  grid->Columns()->Add()->SetFieldName("NAME");
  grid->Columns()->Items(0)->Title()->SetTitleButton(true);
  grid->SetOptionsEx(grid->OptionsEx() + dghAutoSortMarking);
  int sorts = 0;
  DBGridExDataService()->ApplySortingHook = [&](TCustomDBGridEx*) {
    ++sorts;
    sessions.ds.Close();  // re-querying frees the fields
    sessions.ds.Open();
  };
  TScopeExit unhook([] { DBGridExDataService()->ApplySortingHook = nullptr; });
  TColumnEx* name = grid->Columns()->Items(0);
  Pump();

  // a field found by name outside a layout pass is watched like the mapped ones
  grid->Columns()->BeginUpdate();
  name->SetFieldName("STATUS");
  ASSERT_NE(name->Field(), nullptr);
  sessions.ds.Close();
  EXPECT_EQ(name->CachedField(), nullptr) << "the column keeps a freed field";
  sessions.ds.Open();
  name->SetFieldName("NAME");
  grid->Columns()->EndUpdate();
  Pump();

  // through a disabled source the column has no field and a title click sorts nothing
  sessions.source.SetEnabled(false);
  Pump();
  EXPECT_EQ(name->Field(), nullptr);
  const TPoint title = Middle(Cell(0, -1));
  Click(title.X, title.Y);
  Pump();
  EXPECT_EQ(sorts, 0);
  sessions.source.SetEnabled(true);
  Pump();
  ASSERT_NE(name->Field(), nullptr);
  Advance(1000);  // a click of its own, not the second of a double click
  Click(title.X, title.Y);
  Pump();  // the title paints with the fields the reopened dataset made
  EXPECT_EQ(sorts, 1);
  EXPECT_EQ(name->Title()->Caption(), "NAME");
  form.reset();
}

TEST_F(GridRobustness, ShiftClickOnAnotherRowDuringAnInsertMarksOnlyRecordsThatExist) {
  grid->SetOptions(grid->Options() + dgMultiSelect);
  grid->SetFocus();
  people->ds.Insert();
  people->F("NAME")->SetAsString("Dan");
  people->F("ID")->SetAsInteger(4);
  Pump();
  const TPoint indicator = Middle(Cell(-1, 3));
  Click(indicator.X, indicator.Y, ShiftKeys{.shift = true});
  EXPECT_EQ(people->ds.State(), dsBrowse);
  EXPECT_GT(grid->SelectedRows()->Count(), 0);
  ExpectSelectedRecordsExist();
}

TEST_F(GridRobustness, ShiftDownDuringAnInsertAnchorsOnTheRecordOnceItIsPosted) {
  grid->SetOptions(grid->Options() + dgMultiSelect + dgRowSelect);  // whole records, one per step
  grid->SetFocus();
  people->ds.Insert();
  people->F("NAME")->SetAsString("Dan");
  people->F("ID")->SetAsInteger(4);
  Pump();
  Key(VK_DOWN, 0, ShiftKeys{.shift = true});
  EXPECT_EQ(people->ds.State(), dsBrowse);
  EXPECT_EQ(grid->SelectedRows()->Count(), 2);
  ExpectSelectedRecordsExist();
}

class EmptyMultiSelect : public GridOverSessions {
 protected:
  EmptyMultiSelect() : GridOverSessions("SID", "Сеанс ", 20) {}
  void SetUp() override {
    GridOverSessions::SetUp();
    BindSessions(0);
    grid->SetOptions(grid->Options() + dgMultiSelect - dgEditing);
    grid->SetFocus();
    Pump();
  }
};

TEST_F(EmptyMultiSelect, ShiftKeysAndADoubleClickMarkNoRecord) {
  Key(VK_DOWN, 0, ShiftKeys{.shift = true});
  EXPECT_EQ(grid->SelectedRows()->Count(), 0) << "Shift+Down";
  Key(VK_HOME, 0, ShiftKeys{.shift = true});
  EXPECT_EQ(grid->SelectedRows()->Count(), 0) << "Shift+Home";
  const TPoint p = Middle(Cell(0, 0));
  Mouse(WM_LBUTTONDOWN, p.X, p.Y);
  Mouse(WM_LBUTTONUP, p.X, p.Y);
  Mouse(WM_LBUTTONDBLCLK, p.X, p.Y);
  Mouse(WM_LBUTTONUP, p.X, p.Y);
  EXPECT_EQ(grid->SelectedRows()->Count(), 0) << "double click";
  EXPECT_FALSE(grid->SelectedRows()->CurrentRowSelected());
  grid->SelectedRows()->SetCurrentRowSelected(true);
  EXPECT_EQ(grid->SelectedRows()->Count(), 0) << "marking the current row of no record";
}

TEST_F(GridRobustness, ANameThatIsNoFieldOnADefaultColumnLeavesTheDefaultColumns) {
  grid->SetAutoFitColWidths(true);  // a column's change lays the grid out at once
  Pump();
  const int fields = grid->Columns()->Count();
  ASSERT_GT(fields, 2);
  ASSERT_NE(grid->Columns()->State(), csCustomized);
  grid->Columns()->Items(1)->SetFieldName("NO_SUCH_FIELD");  // the layout frees the column meanwhile
  Pump();
  EXPECT_EQ(grid->Columns()->Count(), fields);
  for (int i = 0; i < grid->Columns()->Count(); ++i)
    EXPECT_NE(grid->Columns()->Items(i)->FieldName(), "") << "column " << i << " shows no field";
}

// A grid over records with a date, its filter row shown.
class DateFilterRow : public GridOnForm {
 protected:
  DateFilterRow() : GridOnForm(Rect(40, 40, 520, 260), TRect{}) {}
  void SetUp() override {
    GridOnForm::SetUp();
    ds.FieldDefs()->Add("ID", ftInteger);
    ds.FieldDefs()->Add("BORN", ftDateTime);
    ds.FieldDefs()->Add("NAME", ftString, 20);
    ds.AddRow({1, TVariant(EncodeDate(1990, 5, 17)), "Ann"});
    ds.AddRow({2, TVariant(EncodeDate(1985, 1, 2)), "Bob"});
    source.SetDataSet(&ds);
    ds.Open();
    grid->SetDataSource(&source);
    for (const char* n : {"ID", "NAME", "BORN"}) grid->Columns()->Add()->SetFieldName(n);
    grid->SetOptions(grid->Options() + dgAlwaysShowEditor);
    grid->STFilter()->SetVisible(true);
    grid->SetFocus();
    Pump();
  }
  void TearDown() override {
    form.reset();
    GridOnForm::TearDown();
  }
  TMemDataSet ds;
  TDataSource source{nullptr};
};

TEST_F(DateFilterRow, FreeingTheColumnOfAnUnreadableFilterTextDropsTheText) {
  grid->ShowFilterEditor(2);
  ASSERT_TRUE(grid->FilterEditorShown());
  Key('F', U'а');  // no date
  ASSERT_EQ(grid->FilterEditor()->Text(), "а");
  delete grid->Columns()->Items(2);  // no exception may leave the column's destructor
  Pump();
  ASSERT_EQ(grid->Columns()->Count(), 2);
  grid->HideFilterEditor();
  for (int i = 0; i < grid->Columns()->Count(); ++i)
    EXPECT_EQ(grid->Columns()->Items(i)->STFilter()->GetFilterText(), "") << "column " << i;
}

TEST_F(DateFilterRow, AFilterTextStaysWithItsColumnWhenAColumnLeftOfItGoes) {
  grid->ShowFilterEditor(1);
  Key('F', U'а');
  delete grid->Columns()->Items(0);  // the text would land in the date column now at index 1
  Pump();
  ASSERT_EQ(grid->Columns()->Count(), 2);
  grid->HideFilterEditor();
  EXPECT_NE(grid->Columns()->Items(0)->STFilter()->GetFilterText(), "");
  EXPECT_EQ(grid->Columns()->Items(0)->FieldName(), "NAME");
  EXPECT_EQ(grid->Columns()->Items(1)->STFilter()->GetFilterText(), "");
}

TEST_F(DateFilterRow, AnUnreadableTextOutlivesAnotherColumnGoingAndFailsWhereItIsStored) {
  grid->ShowFilterEditor(2);
  Key('F', U'а');
  delete grid->Columns()->Items(1);  // the layout that follows leaves the filter row being edited
  Pump();
  EXPECT_TRUE(grid->FilterEditorShown());
  EXPECT_EQ(grid->FilterColumn(), 1);
  EXPECT_EQ(grid->FilterEditor()->Text(), "а");
  EXPECT_THROW(grid->HideFilterEditor(), EConvertError);  // an error box in the program
}

TEST_F(GridRobustness, TheFindDialogSearchesOnlyColumnsThatStillExist) {
  Columns({"ID", "NAME", "FLAG"});
  Pump();
  ExecuteGridFindDialog(grid, "Bob", false, nullptr);
  TDBGridExFindDlg* dialog = GridFindDialog();
  ASSERT_NE(dialog, nullptr);
  TScopeExit close([dialog] { dialog->Hide(); });
  delete grid->Columns()->Items(1);
  // the freed column's entry has gone from the choice
  ASSERT_EQ(dialog->cbFindIn->Items()->Count(), 3);
  EXPECT_EQ(dialog->cbFindIn->Items()->Objects(1), grid->Columns()->Items(1));
  dialog->cbFindIn->SetItemIndex(dialog->cbFindIn->Items()->Count() - 1);  // every column
  dialog->cbFindInChange(dialog->cbFindIn);
  ASSERT_EQ(dialog->Engine().Columns().size(), 2u);
  EXPECT_EQ(dialog->Engine().Columns()[1], grid->Columns()->Items(1));
  EXPECT_EQ(dialog->Engine().FindNext("N", dialog->Options(), false), gfrFound);  // "n" in FLAG
}

TEST_F(GridRobustness, MultiLevelTitlesOverNoVisibleColumnExportAndCopy) {
  Columns({"ID", "NAME"});
  grid->Columns()->Items(0)->Title()->SetCaption("Сотрудник|Номер");
  grid->Columns()->Items(1)->Title()->SetCaption("Сотрудник|Имя");
  grid->SetUseMultiTitle(true);
  for (int i = 0; i < grid->Columns()->Count(); ++i) grid->Columns()->Items(i)->SetVisible(false);
  Pump();
  TStringStream s;
  WriteGridToExportStream(ExportClass<TDBGridExExportAsRTF>(), grid, &s, true, TExportTextEncoding::Cp1251);
  EXPECT_EQ(s.DataString().rfind("{\\rtf", 0), 0u);
  EXPECT_EQ(s.DataString().back(), '}');
  SetClipboardBackend(MakeMemoryClipboard());
  TScopeExit system([] { SetClipboardBackend(nullptr); });
  grid->Selection()->SelectAll();
  CopyGridToClipboard(grid, false);
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
}

TEST_F(GridRobustness, APasteThatLeavesARecordItCannotPostFailsOnceAndGivesTheRecordUp) {
  Columns({"NAME", "SALARY"});
  people->F("SALARY")->SetRequired(true);
  SetClipboardBackend(MakeMemoryClipboard());
  TScopeExit system([] { SetClipboardBackend(nullptr); });
  Clipboard()->SetAsText("Zed\t\r\nYan\t\r\n");  // Bob, the second, has no salary
  grid->SetFocus();
  Pump();
  EXPECT_THROW(PasteGridFromClipboard(grid, false), EDatabaseError);  // an error box in the program
  EXPECT_EQ(people->ds.State(), dsBrowse);
  EXPECT_FALSE(people->ds.ControlsDisabled());
  EXPECT_EQ(people->F("NAME")->AsString(), "Zed");  // back where the paste began
  people->ds.Next();
  EXPECT_EQ(people->F("NAME")->AsString(), "Bob");  // the record that failed is given up
}

TEST_F(GridOnFormRobustness, AMemoryTableFreedUnderADisabledSourceLeavesTheGridNothingOfIt) {
  TDataSource source(nullptr);
  auto presented = std::make_unique<TPresentedSessions>(30);
  source.SetDataSet(presented.get());
  presented->Open();
  grid->SetDataSource(&source);
  Pump();
  ASSERT_NE(grid->MemTable(), nullptr);
  source.SetEnabled(false);
  presented.reset();
  TStatusSessions sessions(7, "SID", "Сеанс ", 20);
  source.SetDataSet(&sessions);
  sessions.Open();
  source.SetEnabled(true);
  Pump();
  EXPECT_EQ(grid->MemTable(), nullptr);
  EXPECT_EQ(grid->RowCount() - grid->TitleOffset(), grid->DataLink()->RecordCount());
  form.reset();
}

TEST_F(GridOnFormRobustness, AMemoryTableClosingInItsDestructorIsNotAskedForItsRows) {
  TDataSource source(nullptr);
  auto presented = std::make_unique<TPresentedSessions>(4);  // fewer than the rows shown
  source.SetDataSet(presented.get());
  presented->Open();
  grid->SetDataSource(&source);
  grid->SetFocus();
  Pump();
  ASSERT_NE(grid->MemTable(), nullptr);
  presented.reset();  // it closes in its base's destructor, its memory-table part gone
  EXPECT_EQ(grid->MemTable(), nullptr);
  Pump();
  form.reset();
}

class FittedRows : public GridRobustness, public ::testing::WithParamInterface<int> {};

TEST_P(FittedRows, KeepTheirHeightFromOneLayoutPassToTheNext) {
  grid->Font()->SetSize(GetParam());
  grid->SetOptionsEx(grid->OptionsEx() + dghFitRowHeightToText);
  Pump();
  const int height = grid->DefaultRowHeight(), lines = grid->RowLines();
  for (int pass = 0; pass < 3; ++pass) {
    grid->SetRowLines(grid->RowLines());  // unchanged: no pass; a layout request runs one
    grid->LayoutChanged();
    EXPECT_EQ(grid->DefaultRowHeight(), height) << "after pass " << pass;
    EXPECT_EQ(grid->RowLines(), lines) << "after pass " << pass;
  }
  grid->SetRowLines(3);
  const int three = grid->DefaultRowHeight();
  EXPECT_EQ(grid->RowLines(), 3);
  grid->LayoutChanged();
  EXPECT_EQ(grid->DefaultRowHeight(), three);
}

INSTANTIATE_TEST_SUITE_P(FontSizes, FittedRows, ::testing::Values(1, 2, 4, 6, 8, 10, 14),
                         [](const auto& info) { return "Size" + std::to_string(info.param); });

TEST_F(GridRobustness, AColumnDraggedAfterADefaultColumnWasAddedLeavesTheFocusOnAColumn) {
  Columns({"ID", "NAME", "SALARY", "FLAG"});
  grid->SetOptions(grid->Options() + dgColumnResize);
  Pump();
  grid->Columns()->AddDefault();
  grid->SetSelectedIndex(grid->Columns()->Count() - 1);
  const TPoint from = Middle(Cell(grid->Columns()->Count() - 1, -1)), to = Middle(Cell(0, -1));
  Mouse(WM_LBUTTONDOWN, from.X, from.Y);
  for (int i = 1; i <= 4; ++i) Mouse(WM_MOUSEMOVE, from.X + (to.X - from.X) * i / 4, from.Y);
  Mouse(WM_LBUTTONUP, to.X, to.Y);
  Pump();
  EXPECT_LT(grid->Col(), grid->ColCount());
  EXPECT_GE(grid->GetSelectedIndex(), 0);
  EXPECT_LT(grid->GetSelectedIndex(), grid->Columns()->Count());
}

}  // namespace
