// The grid's multiple selection on a shown grid over an in-memory dataset: the kinds and their edge
// cases, the bookmark list's lookups, Shift extension of columns, repainting only what changed, deleting
// bookmarked records, records that went while the selection named them, record marking while moving, and
// bringing the user back to the same record at the same screen row after a re-query.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "GridDataSupport.h"
#include "GridTestSupport.h"
#include "db/MemDataSet.h"
#include "grid/DBGridEx.h"
#include "grid/DBGridExExport.h"
#include "grid/DBGridExImport.h"

using namespace gridtest;

namespace {

class TSelGrid : public TDBGridEx {
 public:
  using TDBGridEx::CanEditShow;
  using TDBGridEx::KeyDown;
  using TDBGridEx::TDBGridEx;
};

class Selection : public GridGuiTest {
 protected:
  void SetUp() override {
    GridGuiTest::SetUp();
    ds.FieldDefs()->Add("ID", ftInteger);
    ds.FieldDefs()->Add("NAME", ftString, 20);
    ds.FieldDefs()->Add("CITY", ftString, 20);
    ds.FieldDefs()->Add("AGE", ftInteger);
    ds.FieldDefs()->Add("NOTE", ftString, 20);
    for (int i = 1; i <= 40; ++i) ds.AddRow({i, "n" + std::to_string(i), "c", 20 + i, "x"});
    source.SetDataSet(&ds);
    ds.Open();
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(50, 50, 600, 400);
    grid = new TSelGrid(form.get());
    grid->SetParent(form.get());
    grid->SetBounds(0, 0, 560, 300);
    grid->SetOptions(grid->Options() + dgMultiSelect);
    grid->SetDataSource(&source);
    form->Show();
    Drain();
  }
  void TearDown() override {
    form.reset();
    GridGuiTest::TearDown();
  }
  // Makes the grid show exactly N data rows.
  void ShowRows(int N) {
    const int line = grid->GridLineWidth();
    const int pitch = grid->DefaultRowHeight() + line;
    const int frame = grid->Height() - grid->ClientHeight();
    grid->SetBounds(0, 0, 560, frame + grid->TitleRowHeight() + line + N * pitch + pitch / 2);
    ASSERT_EQ(grid->DataLink()->RecordCount(), N);
  }
  int Id() { return ds.FieldByName("ID")->AsInteger(); }
  TBookmarkStr Goto(int Id) {
    ds.Locate("ID", Id, {});
    return ds.Bookmark();
  }
  std::vector<int> SelectedColumns() {
    std::vector<int> out;
    for (TColumnEx* c : *grid->Selection()->Columns()) out.push_back(c->Index());
    return out;
  }
  std::vector<int> MarkedIds() {
    std::vector<int> out;
    const TBookmarkStr here = ds.Bookmark();
    for (const TBookmarkStr& b : grid->SelectedRows()->List()) {
      ds.GotoBookmark(b);
      out.push_back(Id());
    }
    ds.GotoBookmark(here);
    return out;
  }
  TEnableFailingDataSet ds;
  TDataSource source{nullptr};
  std::unique_ptr<TForm> form;
  TSelGrid* grid = nullptr;
};

// ---- the edge cases of the kinds

TEST_F(Selection, ARectangleOfOneCellIsNoSelection) {
  TDBGridExSelectionRect* rect = grid->Selection()->Rect();
  const TBookmarkStr b = Goto(3);
  rect->Select(1, b, false);
  rect->Select(1, b, true);
  EXPECT_EQ(grid->Selection()->SelectionType(), gstNon);
  rect->Select(2, Goto(5), true);  // the anchor stayed: the rectangle grows from it
  EXPECT_EQ(grid->Selection()->SelectionType(), gstRectangle);
  EXPECT_EQ(rect->LeftCol(), 1);
  EXPECT_EQ(rect->RightCol(), 2);
  EXPECT_TRUE(grid->Selection()->DataCellSelected(1, Goto(4)));
  EXPECT_FALSE(grid->Selection()->DataCellSelected(0, Goto(4)));
  EXPECT_FALSE(grid->Selection()->DataCellSelected(-1, Goto(4)));
  EXPECT_FALSE(grid->Selection()->DataCellSelected(2, Goto(6)));
}

TEST_F(Selection, CtrlClickOnTheOnlySelectedColumnLeavesNone) {
  TDBGridExSelectionCols* cols = grid->Selection()->Columns();
  cols->Select(grid->Columns()->Items(2), false);
  EXPECT_EQ(grid->Selection()->SelectionType(), gstColumns);
  cols->InvertSelect(grid->Columns()->Items(2));
  EXPECT_EQ(grid->Selection()->SelectionType(), gstNon);
  EXPECT_TRUE(cols->empty());
}

TEST_F(Selection, MarkingARecordWhileARectangleIsHeldMakesARecordSelection) {
  grid->Selection()->Rect()->Select(0, Goto(2), false);
  grid->Selection()->Rect()->Select(1, Goto(4), true);
  ASSERT_EQ(grid->Selection()->SelectionType(), gstRectangle);
  Goto(7);
  grid->SelectedRows()->SetCurrentRowSelected(true);
  EXPECT_EQ(grid->Selection()->SelectionType(), gstRecordBookmarks);
  EXPECT_EQ(grid->Selection()->Rect()->AnchorCol(), -1);
  EXPECT_EQ(MarkedIds(), (std::vector<int>{7}));
  grid->SelectedRows()->SetCurrentRowSelected(false);  // the last one unmarked: nothing is held
  EXPECT_EQ(grid->Selection()->SelectionType(), gstNon);
}

TEST_F(Selection, AClosedDatasetRefusesTheCurrentRowAndTheRectanglesCorners) {
  grid->Selection()->Rect()->Select(0, Goto(2), false);
  ds.Close();
  try {
    grid->SelectedRows()->CurrentRow();
    FAIL();
  } catch (const EInvalidGridOperation& e) {
    EXPECT_STREQ(e.what(), "Cannot perform this operation on a closed dataset");
  }
  try {
    grid->Selection()->Rect()->BottomRow();
    FAIL();
  } catch (const EInvalidGridOperation& e) {
    EXPECT_STREQ(e.what(), "Error in TDBGridExSelectionRect.GetBottomRow");
  }
  try {
    grid->Selection()->Rect()->CellSelected(0, "");
    FAIL();
  } catch (const EInvalidGridOperation& e) {
    EXPECT_STREQ(e.what(), "Error in function TDBGridExSelectionRect.CellSelected");
  }
}

// ---- the bookmark list

TEST_F(Selection, BookmarksStayInDatasetOrderAndTheLastLookupIsCached) {
  TBookmarkListEx* rows = grid->SelectedRows();
  for (int id : {9, 2, 30, 5}) {
    Goto(id);
    rows->SetCurrentRowSelected(true);
  }
  EXPECT_EQ(MarkedIds(), (std::vector<int>{2, 5, 9, 30}));
  const TBookmarkStr nine = Goto(9);
  const int hits = rows->CacheHits();
  EXPECT_EQ(rows->IndexOf(nine), 2);
  EXPECT_EQ(rows->IndexOf(nine), 2);
  EXPECT_EQ(rows->CacheHits(), hits + 1);
  int at = -1;
  EXPECT_FALSE(rows->Find(Goto(6), at));
  EXPECT_EQ(at, 2);  // where it would go
  Goto(1);
  rows->SetCurrentRowSelected(true);  // the list changed: the cache must not answer for it
  EXPECT_EQ(rows->IndexOf(nine), 3);
}

TEST_F(Selection, DeletingBookmarkedRecordsGoesFromTheLastToTheFirst) {
  std::vector<int> deleted;
  ds.BeforeDelete = [&](TDataSet* D) { deleted.push_back(D->FieldByName("ID")->AsInteger()); };
  for (int id : {4, 12, 8}) {
    Goto(id);
    grid->SelectedRows()->SetCurrentRowSelected(true);
  }
  grid->SelectedRows()->Delete();
  EXPECT_EQ(deleted, (std::vector<int>{12, 8, 4}));
  EXPECT_EQ(ds.RecordCount(), 37);
  EXPECT_EQ(grid->Selection()->SelectionType(), gstNon);
  EXPECT_FALSE(ds.ControlsDisabled());
}

TEST_F(Selection, ADeleteFailingMidwayKeepsTheRestMarkedAndGivesTheControlsBack) {
  ds.BeforeDelete = [&](TDataSet* D) {
    if (D->FieldByName("ID")->AsInteger() == 8) throw Exception("locked");
  };
  for (int id : {4, 8, 12}) {
    Goto(id);
    grid->SelectedRows()->SetCurrentRowSelected(true);
  }
  EXPECT_THROW(grid->SelectedRows()->Delete(), Exception);
  EXPECT_FALSE(ds.ControlsDisabled());
  EXPECT_EQ(ds.RecordCount(), 39);
  EXPECT_EQ(MarkedIds(), (std::vector<int>{4, 8}));
  EXPECT_EQ(grid->Selection()->SelectionType(), gstRecordBookmarks);
}

TEST_F(Selection, ADeleteWhoseControlsFailToComeBackStillEndsTheEmptiedSelection) {
  for (int id : {4, 8}) {
    Goto(id);
    grid->SelectedRows()->SetCurrentRowSelected(true);
  }
  ds.failNextEnable = true;
  EXPECT_THROW(grid->SelectedRows()->Delete(), EDatabaseError);
  EXPECT_FALSE(ds.ControlsDisabled());
  EXPECT_EQ(ds.RecordCount(), 38);
  EXPECT_EQ(grid->SelectedRows()->Count(), 0);
  EXPECT_EQ(grid->Selection()->SelectionType(), gstNon) << "no record selection without records";
}

// ---- records that went while the selection still names them

TEST_F(Selection, ARectangleWhoseCornerRecordWentIsNeitherDeletedNorCopied) {
  // Ctrl+Delete without the delete edit action deletes the current record, which is the corner the
  // user moved the rectangle to
  grid->SetOptions(grid->Options() - dgConfirmDelete);
  grid->SetSelectedIndex(1);
  Goto(10);
  grid->MoveBy(true, 2, false, false);
  ASSERT_EQ(grid->Selection()->SelectionType(), gstRectangle);
  ASSERT_EQ(Id(), 12);
  WORD key = VK_DELETE;
  grid->KeyDown(key, TShiftState{ssCtrl});
  ASSERT_EQ(ds.RecordCount(), 39);
  TStringStream text;
  EXPECT_NO_THROW(WriteGridToExportStream(ExportClass<TDBGridExExportAsText>(), grid, &text, false,
                                          TExportTextEncoding::Utf8));
  EXPECT_NO_THROW(DeleteGridSelection(grid, false));
  EXPECT_EQ(grid->Selection()->SelectionType(), gstNon);
  Goto(11);
  EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "n11") << "no cell of a forgotten rectangle is cleared";
  EXPECT_FALSE(ds.ControlsDisabled());
}

TEST_F(Selection, DeletingMarkedRecordsPassesOverOnesThatWent) {
  grid->SetOptions(grid->Options() - dgConfirmDelete);
  auto mark = [&](std::initializer_list<int> Ids) {
    for (int id : Ids) {
      Goto(id);
      grid->SelectedRows()->SetCurrentRowSelected(true);
    }
  };
  mark({4, 8, 12});
  Goto(8);
  ds.Delete();  // the program's, while the grid still shows it marked
  EXPECT_NO_THROW(grid->SelectedRows()->Delete());
  EXPECT_EQ(ds.RecordCount(), 37);
  EXPECT_EQ(grid->Selection()->SelectionType(), gstNon);
  mark({5, 9, 13});
  Goto(9);
  ds.Delete();
  EXPECT_NO_THROW(DeleteGridSelection(grid, false));
  EXPECT_EQ(ds.RecordCount(), 34);
  EXPECT_FALSE(ds.Locate("ID", 5, {}));
  EXPECT_FALSE(ds.Locate("ID", 13, {}));
  EXPECT_EQ(grid->Selection()->SelectionType(), gstNon);
  EXPECT_FALSE(ds.ControlsDisabled());
}

// ---- columns

struct ShiftCase {
  const char* name;
  std::vector<int> before;  // selected first (the last one by a plain or Ctrl click is the anchor)
  bool invertAnchor;        // the anchor was Ctrl-clicked (so it may be unselected)
  std::vector<int> shifts;  // Shift+clicks in order
  std::vector<int> after;
};

class SelectionShift : public Selection, public ::testing::WithParamInterface<ShiftCase> {};

TEST_P(SelectionShift, ExtendsFromTheAnchorAndUndoesWhatTheGestureDidWhenShrinking) {
  TDBGridExSelectionCols* cols = grid->Selection()->Columns();
  TDBGridColumnsEx* all = grid->Columns();
  const ShiftCase& c = GetParam();
  for (size_t i = 0; i < c.before.size(); ++i) {
    if (i + 1 == c.before.size() && c.invertAnchor) {
      cols->InvertSelect(all->Items(c.before[i]));
    } else {
      cols->Select(all->Items(c.before[i]), i > 0);
    }
  }
  for (int s : c.shifts) cols->SelectShift(all->Items(s));
  EXPECT_EQ(SelectedColumns(), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SelectionShift,
    ::testing::Values(
        ShiftCase{"Grows", {1}, false, {3}, {1, 2, 3}}, ShiftCase{"ShrinksBack", {1}, false, {3, 2}, {1, 2}},
        ShiftCase{"CrossesTheAnchor", {2}, false, {4, 0}, {0, 1, 2}},
        ShiftCase{"KeepsWhatWasSelectedBefore", {0, 2}, true, {4, 1}, {0, 1, 2}},
        ShiftCase{"UnselectedAnchorRemoves", {0, 1, 2, 3, 4, 1}, true, {3}, {0, 4}},
        ShiftCase{"UnselectedAnchorRestoresWhenShrinking", {0, 1, 2, 3, 4, 1}, true, {3, 2}, {0, 3, 4}}),
    [](const auto& Info) { return std::string(Info.param.name); });

TEST_F(Selection, AColumnThatGoesLeavesTheColumnSelection) {
  TDBGridExSelectionCols* cols = grid->Selection()->Columns();
  for (const char* name : {"ID", "NAME", "CITY"}) grid->Columns()->Add()->SetFieldName(name);
  cols->Select(grid->Columns()->Items(1), false);
  cols->Select(grid->Columns()->Items(2), true);
  delete grid->Columns()->Items(1);
  EXPECT_EQ(SelectedColumns(), (std::vector<int>{1}));
  EXPECT_EQ(grid->Selection()->SelectionToGridRect().Left, grid->DataToRawColumn(1));
}

// ---- what repaints

TEST_F(Selection, GrowingARectangleRepaintsOnlyTheCellsItGained) {
  ds.First();
  const TBookmarkStr two = Goto(2), three = Goto(3), four = Goto(4);
  ds.First();
  TDBGridExSelectionRect* rect = grid->Selection()->Rect();
  rect->Select(1, two, false);
  rect->Select(2, three, true);
  Drain();  // painted: nothing left to update
  RECT r;
  ASSERT_FALSE(GetUpdateRect(grid->Handle(), &r, false));
  rect->Select(2, four, true);  // one row more
  ASSERT_TRUE(GetUpdateRect(grid->Handle(), &r, false));
  // the cells and the grid line after them
  const int row = grid->TitleOffset() + 3;  // the fourth record on the fourth data row
  auto box = [&](int L, int T, int R, int B) {
    TRect b = grid->BoxRect(L, T, R, B);
    b.Right += grid->GridLineWidth();
    b.Bottom += grid->GridLineWidth();
    return b;
  };
  EXPECT_EQ(r, box(grid->DataToRawColumn(1), row, grid->DataToRawColumn(2), row));
  Drain();
  rect->Select(1, four, true);  // back to one column: only the other column's cells repaint
  ASSERT_TRUE(GetUpdateRect(grid->Handle(), &r, false));
  const int raw = grid->DataToRawColumn(2);
  EXPECT_EQ(r, box(raw, grid->TitleOffset() + 1, raw, row));
}

// ---- marking records while moving

TEST_F(Selection, MovingWithShiftMarksFromTheAnchorAndUnmarksOnTheWayBack) {
  ds.First();
  grid->MoveBy(true, 1, true, false);
  grid->MoveBy(true, 1, true, false);
  EXPECT_EQ(MarkedIds(), (std::vector<int>{1, 2, 3}));
  EXPECT_TRUE(grid->MultiSelectAnchorSet());
  grid->MoveBy(true, -1, true, false);
  EXPECT_EQ(MarkedIds(), (std::vector<int>{1, 2}));
  grid->MoveBy(true, -2, true, false);  // past the anchor: on the other side again
  EXPECT_EQ(MarkedIds(), (std::vector<int>{1}));
  grid->MoveBy(false, 1, true, false);  // without Shift the selection goes
  EXPECT_TRUE(MarkedIds().empty());
  EXPECT_FALSE(grid->MultiSelectAnchorSet());
}

TEST_F(Selection, InToggleModeTheGestureFlipsTheAnchorsStateAndGivesItBackWhenShrinking) {
  for (int id : {5, 6, 7}) {
    Goto(id);
    grid->SelectedRows()->SetCurrentRowSelected(true);
  }
  grid->SetKeepSelection(true);
  Goto(5);  // a marked anchor: the gesture unmarks
  grid->MoveBy(true, 1, true, false);
  EXPECT_EQ(MarkedIds(), (std::vector<int>{7}));
  grid->MoveBy(true, -1, true, false);  // back: 6 gets the anchor's state again
  EXPECT_EQ(MarkedIds(), (std::vector<int>{6, 7}));
}

TEST_F(Selection, MovingWithShiftOutsideRecordModeGrowsARectangle) {
  grid->SetSelectedIndex(1);
  Goto(10);
  grid->MoveBy(true, 2, false, false);
  ASSERT_EQ(grid->Selection()->SelectionType(), gstRectangle);
  EXPECT_TRUE(grid->Selection()->DataCellSelected(1, Goto(11)));
  EXPECT_FALSE(grid->Selection()->DataCellSelected(1, Goto(13)));
  EXPECT_FALSE(grid->CanEditShow());
}

// ---- the same record at the same screen row

TEST_F(Selection, TheMiddleRowsRecordComesBackFirstAndTheOffsetAfterIt) {
  ShowRows(10);
  ds.First();
  ds.MoveBy(3);  // the fourth row
  ASSERT_EQ(grid->DataLink()->ActiveRecord(), 3);
  grid->SaveBookmark();
  EXPECT_EQ(grid->SavedRecordOffset(), -1);
  EXPECT_EQ(Id(), 4);
  ds.GotoBookmark(grid->SavedBookmark());
  EXPECT_EQ(Id(), 5);  // the fifth row's record
  ds.Refresh();
  ds.First();
  grid->RestoreBookmark();
  EXPECT_EQ(Id(), 4);
  EXPECT_EQ(grid->DataLink()->ActiveRecord(), 3);
}

TEST_F(Selection, ARefreshFarDownKeepsTheScreenRow) {
  ShowRows(10);
  ds.Last();
  ds.MoveBy(-15);  // record 25, on the last row of its window
  const int row = grid->Row();
  grid->SaveBookmark();
  ds.Refresh();
  ds.First();
  grid->RestoreBookmark();
  EXPECT_EQ(Id(), 25);
  EXPECT_EQ(grid->Row(), row);
}

}  // namespace
