// The grid's look-up cells and filter row: a look-up column's drop-down data grid (opened by the keys
// or the button, moved with the arrows, accepted with Enter or a click, dropped with Esc, its key
// written to the record), and the filter row's editor (a list choice becomes an "In" filter, Enter
// applies it, the keys between the filter cells, Up from the first record into the row, a press on a
// filter cell).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "GridDataSupport.h"
#include "GridTestSupport.h"
#include "grid/DBGridEx.h"
#include "grid/DBGridExFilterEdit.h"
#include "grid/DBLookupGridEx.h"

using namespace gridtest;
using talvik::gui::ShiftKeys;

namespace {

class GridLookupCells : public GridGuiTest {
 protected:
  void SetUp() override {
    GridGuiTest::SetUp();
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(50, 50, 600, 300);
    grid = new TDBGridEx(form.get());
    grid->SetParent(form.get());
    grid->SetBounds(0, 0, 580, 280);
    form->Show();
    people = std::make_unique<People>();
    grid->SetDataSource(&people->source);
  }
  void TearDown() override {
    form.reset();
    people.reset();
    GridGuiTest::TearDown();
  }
  void Columns(std::initializer_list<const char*> names) {
    for (const char* n : names) grid->Columns()->Add()->SetFieldName(n);
  }
  TDBGridInplaceEdit* Edit(int Column) {
    grid->SetSelectedIndex(Column);
    grid->ShowEditor();
    auto* e = dynamic_cast<TDBGridInplaceEdit*>(grid->InplaceEditor());
    EXPECT_NE(e, nullptr);
    if (e) {
      e->SetFocus();
      Pump();
    }
    return e;
  }
  static void Pump() { talvik::gui::ProcessPending(); }
  static void Key(WORD vk, char32_t ch = 0, ShiftKeys s = {}) {
    talvik::gui::InjectKey(vk, true, ch, s);
    talvik::gui::InjectKey(vk, false, 0, s);
    Pump();
  }
  static void AltDown() { Key(VK_DOWN, 0, ShiftKeys{false, false, true}); }
  std::unique_ptr<TForm> form;
  TDBGridEx* grid = nullptr;
  std::unique_ptr<People> people;
};

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
