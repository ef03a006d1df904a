// The grid's look-up cells and filter row: a look-up column's drop-down data grid (opened by the keys
// or the button, moved with the arrows, accepted with Enter or a click, dropped with Esc, its key
// written to the record), and the filter row's editor (a list choice becomes an "In" filter, Enter
// applies it, the keys between the filter cells, Up from the first record into the row, a press on a
// filter cell); an open data list or filter editor keeping the wheel from the records.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "GridFormSupport.h"
#include "grid/DBGridEx.h"
#include "grid/DBGridExFilterEdit.h"
#include "grid/DBLookupGridEx.h"

using namespace gridtest;
using talvik::gui::ShiftKeys;

namespace {

class GridLookupCells : public PeopleGrid {};

TEST_F(GridLookupCells, ALookupColumnDropsDownItsDataGridAndWritesTheChosenKey) {
  Columns({"NAME", "DEPT_NAME"});
  TDBGridInplaceEdit* e = Edit(1);
  ASSERT_NE(e, nullptr);
  ASSERT_EQ(e->EditStyle(), esDataList);
  AltDown();
  ASSERT_TRUE(e->ListVisible());
  TPopupDataGridEx* list = grid->Columns()->Items(1)->DataGrid();
  EXPECT_EQ(e->ActiveList(), list);
  EXPECT_TRUE(IsWindowVisible(list->Handle()));
  EXPECT_EQ(list->KeyValue().AsInteger(), 1);  // the record's department
  EXPECT_EQ(list->RowCount(), 3);              // three departments, fewer than the rows asked for
  EXPECT_GE(list->Width(), e->Width());
  Key(VK_DOWN);
  EXPECT_EQ(list->KeyValue().AsInteger(), 2);
  EXPECT_EQ(e->Text(), "Accounts");
  Key(VK_RETURN);
  EXPECT_FALSE(e->ListVisible());
  EXPECT_FALSE(IsWindowVisible(list->Handle()));
  EXPECT_EQ(grid->EditKeyValue().AsInteger(), 2);
  Key(VK_RETURN);  // the grid posts the edit
  EXPECT_EQ(people->F("DEPT")->AsInteger(), 2);
  EXPECT_EQ(people->F("DEPT_NAME")->AsString(), "Accounts");
}

TEST_F(GridLookupCells, EscLeavesTheCellAsItWasAndAClickInTheListAccepts) {
  Columns({"DEPT_NAME"});
  TDBGridInplaceEdit* e = Edit(0);
  ASSERT_NE(e, nullptr);
  AltDown();
  TPopupDataGridEx* list = grid->Columns()->Items(0)->DataGrid();
  Key(VK_DOWN);
  Key(VK_DOWN);
  EXPECT_EQ(e->Text(), "Research");
  Key(VK_ESCAPE);
  EXPECT_FALSE(e->ListVisible());
  EXPECT_EQ(e->Text(), "Sales");
  AltDown();
  ASSERT_TRUE(e->ListVisible());
  const TRect rows = list->DataRect();
  const int y = rows.Top + 2 * list->DefaultRowHeight() + 3;
  list->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, y));
  list->Perform(WM_LBUTTONUP, 0, MAKELPARAM(10, y));
  EXPECT_FALSE(e->ListVisible());
  EXPECT_EQ(e->Text(), "Research");
  EXPECT_EQ(grid->EditKeyValue().AsInteger(), 3);
  EXPECT_TRUE(e->Focused());
}

TEST_F(GridLookupCells, TypingCompletesAndTheOpenListFollows) {
  Columns({"DEPT_NAME"});
  TDBGridInplaceEdit* e = Edit(0);
  ASSERT_NE(e, nullptr);
  AltDown();
  TPopupDataGridEx* list = grid->Columns()->Items(0)->DataGrid();
  e->SelectAll();
  Key('R', U'r');
  EXPECT_EQ(e->Text(), "Research");
  EXPECT_EQ(grid->EditKeyValue().AsInteger(), 3);
  EXPECT_EQ(list->KeyValue().AsInteger(), 3);
}

TEST_F(GridLookupCells, AnOpenDataListSwallowsTheWheel) {
  Columns({"NAME", "DEPT_NAME"});
  TDBGridInplaceEdit* e = Edit(1);
  ASSERT_NE(e, nullptr);
  AltDown();
  ASSERT_TRUE(e->ListVisible());
  TPopupDataGridEx* list = grid->Columns()->Items(1)->DataGrid();
  Wheel(e, -WHEEL_DELTA);
  grid->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), MAKELPARAM(10, 10));
  EXPECT_EQ(list->KeyValue().AsInteger(), 1);
  EXPECT_EQ(e->Text(), "Sales");
  EXPECT_EQ(people->F("ID")->AsInteger(), 1);
  Key(VK_ESCAPE);
  Wheel(e, -WHEEL_DELTA);
  EXPECT_EQ(people->F("ID")->AsInteger(), 2);
}

TEST_F(GridLookupCells, ScreenshotACellWithItsDataGridDroppedDown) {
  Columns({"NAME", "DEPT_NAME", "SALARY"});
  grid->Columns()->Items(1)->SetDropDownShowTitles(true);
  grid->Columns()->Items(1)->SetDropDownSizing(true);
  TDBGridInplaceEdit* e = Edit(1);
  ASSERT_NE(e, nullptr);
  AltDown();
  ASSERT_TRUE(e->ListVisible());
  Drain();
  ASSERT_TRUE(
      talvik::gui::RenderScreenToPng(ScreenshotDir() + "/grid-cell-datalist.png", Rect(50, 50, 450, 200)));
  Key(VK_ESCAPE);
}

}  // namespace

// ---- the filter row

class GridFilterRow : public GridLookupCells {
 protected:
  void SetUp() override {
    GridLookupCells::SetUp();
    deptSource.SetDataSet(&people->depts);
    people->depts.Open();
    Columns({"NAME", "SALARY", "DEPT"});
    TSTColumnFilterEx* dept = grid->Columns()->Items(2)->STFilter();
    dept->SetListSource(&deptSource);
    dept->SetKeyField("DEPT_ID");
    dept->SetListField("DNAME");
    grid->STFilter()->SetVisible(true);
    grid->OnApplyFilter = [this](TObject*) {
      for (int i = 0; i < grid->Columns()->Count(); ++i)
        applied.push_back(grid->Columns()->Items(i)->STFilter()->GetFilterText());
    };
    grid->SetFocus();
    Pump();
  }
  TSTColumnFilterEx* Filter(int Col) { return grid->Columns()->Items(Col)->STFilter(); }
  TDataSource deptSource{nullptr};
  std::vector<std::string> applied;
};

TEST_F(GridFilterRow, AListChoiceFiltersInThatTextAndEnterAppliesIt) {
  grid->SetSelectedIndex(2);
  Key(VK_UP);  // on the first record: into the filter row
  ASSERT_TRUE(grid->FilterEditorShown());
  TInplaceFilterEditEx* editor = grid->FilterEditor();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(grid->FilterColumn(), 2);
  EXPECT_TRUE(editor->Focused());
  EXPECT_TRUE(editor->EditButton()->Visible());
  editor->DropDown();
  ASSERT_TRUE(editor->DroppedDown());
  Key(VK_DOWN);
  Key(VK_DOWN);
  Key(VK_RETURN);  // closes the list accepting
  EXPECT_FALSE(editor->DroppedDown());
  EXPECT_EQ(editor->Text(), "Accounts");
  EXPECT_EQ(editor->KeyValue().AsInteger(), 2);
  EXPECT_TRUE(applied.empty());
  Key(VK_RETURN);  // applies the filter
  ASSERT_EQ(applied.size(), 3u);
  EXPECT_EQ(applied[2], "Accounts");
  EXPECT_EQ(Filter(2)->Expression().Operator1, foIn);
  EXPECT_EQ(Filter(2)->Operand1().AsString(), "Accounts");
  EXPECT_EQ(Filter(2)->KeyValue().AsInteger(), 2);
  EXPECT_TRUE(grid->FilterEditorShown());  // the editor stays for the next change
}

TEST_F(GridFilterRow, APressOnAFilterCellEditsItAndTheKeysMoveBetweenCells) {
  const TRect cell = grid->FilterCellRect(0);
  grid->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(cell.Left + 5, cell.Top + 3));
  grid->Perform(WM_LBUTTONUP, 0, MAKELPARAM(cell.Left + 5, cell.Top + 3));
  ASSERT_TRUE(grid->FilterEditorShown());
  TInplaceFilterEditEx* editor = grid->FilterEditor();
  EXPECT_EQ(grid->FilterColumn(), 0);
  EXPECT_FALSE(editor->EditButton()->Visible());  // a plain text cell
  RECT r;
  GetWindowRect(editor->Handle(), r);
  EXPECT_EQ(r.Left, grid->ClientToScreen(TPoint(cell.Left, 0)).X);
  for (char32_t c : std::u32string(U"~A*")) Key(0, c);
  EXPECT_EQ(editor->Text(), "~A*");
  Key(VK_RIGHT);  // at the end of the text: the next filter cell
  EXPECT_EQ(grid->FilterColumn(), 1);
  EXPECT_EQ(Filter(0)->FilterText(), "~A*");
  Key(VK_END, 0, ShiftKeys{false, true, false});
  EXPECT_EQ(grid->FilterColumn(), 2);
  Key(VK_RIGHT, 0, ShiftKeys{false, true, false});  // wraps to the first
  EXPECT_EQ(grid->FilterColumn(), 0);
  Key(VK_LEFT, 0, ShiftKeys{false, true, false});
  EXPECT_EQ(grid->FilterColumn(), 2);
  Key(VK_UP);  // swallowed
  EXPECT_TRUE(grid->FilterEditorShown());
  people->ds.Last();
  Key(VK_DOWN);  // back to the grid at the first visible record
  EXPECT_FALSE(grid->FilterEditorShown());
  EXPECT_TRUE(grid->Focused());
  EXPECT_EQ(people->ds.RecNo(), 1);
}

TEST_F(GridFilterRow, AnOpenFilterEditorKeepsTheWheelAwayFromTheRecords) {
  grid->SetSelectedIndex(2);
  Key(VK_UP);
  ASSERT_TRUE(grid->FilterEditorShown());
  TInplaceFilterEditEx* editor = grid->FilterEditor();
  ASSERT_TRUE(editor->Focused());
  Wheel(editor, -WHEEL_DELTA);  // the editor has it first; the grid does not move the records after it
  Wheel(editor, -WHEEL_DELTA);
  EXPECT_EQ(people->F("ID")->AsInteger(), 1);
  // the editor open but another control focused: the grid's own wheel goes to the editor
  auto* other = new TEdit(form.get());
  other->SetParent(form.get());
  other->SetBounds(0, 285, 100, 14);
  other->SetFocus();
  Pump();
  ASSERT_FALSE(editor->Focused());
  ASSERT_TRUE(grid->FilterEditorShown());
  grid->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), MAKELPARAM(10, 10));
  EXPECT_EQ(people->F("ID")->AsInteger(), 1);
  // out of the filter row the wheel moves the records again
  grid->SetFocus();
  Pump();
  Key(VK_DOWN);
  ASSERT_FALSE(grid->FilterEditorShown());
  Wheel(grid, -WHEEL_DELTA);
  EXPECT_EQ(people->F("ID")->AsInteger(), 2);
}

TEST_F(GridFilterRow, UpEntersTheRowOnlyFromTheFirstRecordOrWithCtrl) {
  people->ds.Next();
  Key(VK_UP);  // to the first record, not into the row
  EXPECT_FALSE(grid->FilterEditorShown());
  EXPECT_EQ(people->ds.RecNo(), 1);
  people->ds.Last();
  Key(VK_UP, 0, ShiftKeys{false, true, false});
  EXPECT_TRUE(grid->FilterEditorShown());
  // hiding the filter row ends its editing
  grid->STFilter()->SetVisible(false);
  EXPECT_FALSE(grid->FilterEditorShown());
  EXPECT_FALSE(IsWindowVisible(grid->FilterEditor()->Handle()));
}
