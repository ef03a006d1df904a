// The filter row's editor beside the grid's cell editor: what is typed into a filter cell through
// the grid lands there as typed, a key in a cell of ten thousand characters takes little time, the
// filter editor stays hidden once its editing ends (its focus handed back, its column freed, the
// grid hidden meanwhile), neither editor ever stands on a hidden column, a filter text goes into no
// other column's filter than its own, a press on a title reaches the grid while the filter editor has
// the focus, what the user typed into a filter cell stays there through presses and focus changes,
// no filter editor stays over a filter cell that cannot take keys, a filter cell stays edited with
// what was typed while the records scroll or the data opens again under an always-shown cell editor,
// a filter cell the user emptied stays empty when left, the filter editor follows its cell however
// the first visible column moves or the grid narrows, hidden while the cell is out of view, a letter
// typed meanwhile brings the cell back into view, a title drag or a title border drag leaves what was
// typed as it was, a filter text keeps the kind of value it was typed for when its column takes
// another field, and the keys pressed on entering another column's filter cell, once the program
// scrolls the edited cell back into view, or once the focus comes back to the grid, go into the
// filter, not into the record under an always shown cell editor.
#include <gtest/gtest.h>
#include <time.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "GridFormSupport.h"
#include "db/MemDataSet.h"
#include "grid/DBGridEx.h"
#include "grid/DBGridExFilterEdit.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/ScopeExit.h"

using namespace gridtest;

namespace {

// A focused grid over N, NAME and SALARY with its filter row shown.
class FilterRowEditors : public GridOnForm {
 protected:
  FilterRowEditors() : GridOnForm(Rect(40, 40, 440, 260), Rect(0, 0, 400, 200)) {}
  void SetUp() override {
    GridOnForm::SetUp();
    ds.FieldDefs()->Add("N", ftInteger);
    ds.FieldDefs()->Add("NAME", ftString, 20);
    ds.FieldDefs()->Add("SALARY", ftFloat);
    for (int i = 1; i <= 5; ++i) ds.AddRow({i, "session " + std::to_string(i), i * 12.5});
    source.SetDataSet(&ds);
    ds.Open();
    for (const char* n : {"N", "NAME", "SALARY"}) grid->Columns()->Add()->SetFieldName(n);
    grid->SetDataSource(&source);
    grid->STFilter()->SetVisible(true);
    grid->SetFocus();
    Pump();
  }
  TInplaceFilterEditEx* Editor() { return grid->FilterEditor(); }
  // The filter cell's editing ended and Column's filter emptied, for the next case to begin afresh.
  void StartOver(TColumnEx* Column) {
    grid->HideFilterEditor();
    Column->STFilter()->SetFilterText("");
    Pump();
  }
  // A press and release of the left button (or the right one) DX, DY pixels into R.
  void Click(const TRect& R, int DX, int DY, bool Right = false) {
    Mouse(Right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, R.Left + DX, R.Top + DY);
    Mouse(Right ? WM_RBUTTONUP : WM_LBUTTONUP, R.Left + DX, R.Top + DY);
  }
  // The filter cell of NAME with no room left in the grid: the editor hides and the grid keeps the
  // focus, so what is typed reaches the editor through the grid.
  void NameCellWithoutRoom() {
    grid->ShowFilterEditor(1);
    Pump();
    grid->SetBounds(0, 0, 35, 14);
    Pump();
    grid->ShowFilterEditor(1);
    Pump();
    ASSERT_TRUE(grid->FilterEditorShown());
    ASSERT_FALSE(FilterEditorShows());
    ASSERT_TRUE(grid->Focused());
  }

  TMemDataSet ds;
  TDataSource source{nullptr};
};

// Reduced from a random walk: each character typed through the grid placed the editor again, which
// loaded the filter's text (the typed text read back with its value quoted) over what was typed, and
// the next character went in front of it: the text doubled its quotes with every key.
TEST_F(FilterRowEditors, TextTypedThroughTheGridIntoACellWithoutRoomStaysAsTyped) {
  NameCellWithoutRoom();
  Type("иcu");
  Key(VK_END);
  Type("mmё");
  Type("😀");
  Type("\"");
  Key(VK_F2);
  Type("OZZ");
  EXPECT_EQ(Editor()->Text(), "иcummё😀\"OZZ");
  EXPECT_EQ(grid->Columns()->Items(1)->STFilter()->FilterText(), "иcummё😀\"OZZ");
  // placing the editor again shows the filter's own text, selected: what is typed replaces it
  grid->ShowFilterEditor(1);
  Pump();
  Type("щ4м");
  EXPECT_EQ(Editor()->Text(), "щ4м");
}

// Every key in a filter cell stores the text and reads it into the filter: that costs time in
// proportion to the text, whether the editor shows or the cell has no room.
TEST_F(FilterRowEditors, AKeyInACellOfTenThousandCharactersTakesLittleTime) {
  std::string unreadable, quoted = "~ '";
  while (unreadable.size() < 10000) unreadable += "a'b (c) [d] \"e\" ";
  while (quoted.size() < 10000) quoted += "x''y (z) [w] ";
  quoted += "'";
  constexpr auto kLimit = std::chrono::milliseconds(300);  // the sanitizer build
  // the time this thread spends on a key: what other programs on a busy machine take is not counted
  const auto busy = [] {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
  };
  auto typeInto = [&](const std::string& Text, const char* Where) {
    Editor()->SetText(Text);
    Pump();
    Editor()->SetSelStart(0);  // typing goes in front of the text, as after a click there
    Editor()->SetSelLength(0);
    for (int i = 0; i < 8; ++i) {
      const auto start = busy();
      if (i % 4 == 3)
        Key(VK_BACK, 8);
      else
        Type("q");
      const auto took = busy() - start;
      ASSERT_LT(took, kLimit) << "key " << i << " " << Where << " took "
                              << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
      ASSERT_LE(Editor()->Text().size(), Text.size() + i + 1) << Where;
    }
  };
  grid->ShowFilterEditor(1);
  Pump();
  ASSERT_TRUE(Editor()->Focused());
  typeInto(unreadable, "in the shown cell");
  typeInto(quoted, "in the shown cell");
  NameCellWithoutRoom();
  typeInto(unreadable, "through the grid");
  typeInto(quoted, "through the grid");
}

// The editor handed the focus back to the grid while the editing still went on, and the grid placed
// the editor again: it stayed on the screen with no filter cell being edited.
TEST_F(FilterRowEditors, EndingTheEditingOfAFocusedCellHidesTheEditor) {
  grid->ShowFilterEditor(1);
  Pump();
  ASSERT_TRUE(Editor()->Focused());
  grid->HideFilterEditor();
  Pump();
  EXPECT_FALSE(FilterEditorShows());
  EXPECT_TRUE(grid->Focused());
  // freeing the edited column ends the editing the same way
  grid->ShowFilterEditor(2);
  Pump();
  ASSERT_TRUE(Editor()->Focused());
  delete grid->Columns()->Items(2);
  Pump();
  EXPECT_FALSE(grid->FilterEditorShown());
  EXPECT_FALSE(FilterEditorShows());
}

// Under a hidden grid the editor does not show, but it is still placed: ending the editing there
// must hide it, or it comes back with the grid.
TEST_F(FilterRowEditors, AnEditorHiddenUnderAHiddenGridStaysHiddenWhenTheGridShows) {
  grid->ShowFilterEditor(1);
  Pump();
  grid->SetVisible(false);
  Pump();
  delete grid->Columns()->Items(1);
  Pump();
  grid->SetVisible(true);
  Pump();
  EXPECT_FALSE(grid->FilterEditorShown());
  EXPECT_FALSE(FilterEditorShows());
}

// Reduced from a random walk: a flat grid's windows were made again while it was hidden, and the
// layout inside freed the edited column before the editor had its window back. An editor without a
// window must be hidden all the same, or its window comes back shown.
TEST_F(FilterRowEditors, AnEditorHiddenWithoutItsWindowComesBackHidden) {
  grid->ShowFilterEditor(1);
  Pump();
  ASSERT_TRUE(FilterEditorShows());
  grid->SetParent(nullptr);  // the windows go
  ASSERT_FALSE(Editor()->HandleAllocated());
  delete grid->Columns()->Items(1);
  grid->SetParent(form.get());
  grid->HandleNeeded();
  Pump();
  EXPECT_FALSE(grid->FilterEditorShown());
  EXPECT_FALSE(FilterEditorShows());
}

// Reduced from a random walk over a hidden column: Left in the filter row went on to the hidden
// column's filter cell, which put the grid's current column on it, where the cell editor followed.
// Whatever puts the current column on a hidden one, the cell editor does not show there.
TEST_F(FilterRowEditors, NeitherEditorStandsOnAHiddenColumn) {
  grid->SetOptions(grid->Options() + dgAlwaysShowEditor);
  grid->Columns()->Items(2)->EditButtons()->Add();
  for (const char* n : {"N", "NAME"}) grid->Columns()->Add()->SetFieldName(n);  // room to scroll
  grid->Columns()->Items(1)->SetVisible(false);
  for (int i = 0; i < 5; ++i) grid->Columns()->Items(i)->SetWidth(300);
  Pump();
  const int salary = grid->DataToRawColumn(2);
  grid->SetLeftCol(salary);
  Pump();
  const TRect cell = Cell(2, 0);
  Mouse(WM_LBUTTONDOWN, cell.Right - 4, cell.Top + 3);  // on the edit button
  Mouse(WM_LBUTTONUP, cell.Right - 4, cell.Top + 3);
  const TRect filterCell = grid->FilterCellRect(2);
  Click(filterCell, 4, 3);
  ASSERT_TRUE(grid->FilterEditorShown());
  ASSERT_EQ(grid->FilterColumn(), 2);
  Key(VK_LEFT);
  EXPECT_NE(grid->FilterColumn(), 1) << "the filter editor went to the hidden column";
  EXPECT_TRUE(grid->FocusedColumn() && grid->FocusedColumn()->Visible())
      << "the current column is the hidden one";
  Key(VK_ESCAPE, 27);
  grid->SetVisible(false);
  Pump();
  grid->SetVisible(true);
  Pump();
  grid->HideFilterEditor();
  grid->SetLeftCol(salary);  // the hidden column out of view to the left
  grid->ShowEditor();
  Pump();
  ASSERT_NE(grid->FocusedColumn(), nullptr);
  if (grid->InplaceEditor() && grid->InplaceEditor()->Visible()) {
    EXPECT_TRUE(grid->FocusedColumn()->Visible()) << "the editor is shown on a hidden column";
  }
  // the program puts the current column on the hidden column: the editor stays hidden there
  grid->SetCol(grid->DataToRawColumn(1));
  grid->SetLeftCol(salary);
  grid->ShowEditor();
  Pump();
  ASSERT_EQ(grid->FocusedColumn(), grid->Columns()->Items(1));
  EXPECT_FALSE(grid->InplaceEditor() && grid->InplaceEditor()->Visible())
      << "the editor is shown on a hidden column";
}

}  // namespace

namespace {

// Reduced from a random walk: the program moved a column in front of the one whose filter cell was
// being edited, and what was typed next went into the filter of the column that took its place.
// Typing, and the editing's end, reach the filter cell's own column wherever it moves.
TEST_F(FilterRowEditors, WhatIsTypedReachesTheFilterOfItsColumnAfterTheColumnsMoved) {
  TColumnEx* name = grid->Columns()->Items(1);
  grid->ShowFilterEditor(1);
  Pump();
  ASSERT_TRUE(FilterEditorShows());
  Type("ab");
  ASSERT_EQ(name->STFilter()->FilterText(), "ab");
  grid->Columns()->Items(2)->SetIndex(0);  // SALARY, N, NAME
  Pump();
  Type("c");
  grid->HideFilterEditor();
  Pump();
  EXPECT_EQ(name->STFilter()->FilterText(), "abc");
  for (int i = 0; i < grid->Columns()->Count(); ++i) {
    if (TColumnEx* c = grid->Columns()->Items(i); c != name) {
      EXPECT_EQ(c->STFilter()->FilterText(), "") << "the filter of " << c->FieldName();
    }
  }
}

// Reduced from a random walk: the filter cell of N, a default column, was edited without room for the
// editor when the program moved NAME in front of it (which moves NAME's field in the dataset); the
// layout that followed placed the editor again, which loaded the filter text of the column that now
// stood at N's old place, and the editing's end stored NAME's text into N's filter (where it did not
// read as a number).
TEST_F(FilterRowEditors, AMovedDefaultColumnLeavesTheTextOfTheEditedFilterCellItsOwn) {
  grid->Columns()->Clear();  // default columns of N, NAME and SALARY
  Pump();
  ASSERT_EQ(grid->Columns()->Count(), 3);
  TColumnEx* n = grid->Columns()->Items(0);
  TColumnEx* name = grid->Columns()->Items(1);
  ASSERT_EQ(name->FieldName(), "NAME");
  name->STFilter()->SetFilterText("ab");
  grid->ShowFilterEditor(0);
  Pump();
  grid->SetBounds(0, 0, 35, 14);
  Pump();
  grid->ShowFilterEditor(0);
  Pump();
  ASSERT_TRUE(grid->FilterEditorShown());
  ASSERT_FALSE(FilterEditorShows());
  ASSERT_EQ(Editor()->Text(), "");
  name->SetIndex(0);  // NAME, N, SALARY
  Pump();
  ASSERT_EQ(grid->Columns()->Items(1), n);
  EXPECT_EQ(grid->FilterColumn(), 1);
  EXPECT_EQ(Editor()->Text(), "") << "the editor of N's filter cell holds another column's text";
  grid->HideFilterEditor();
  Pump();
  EXPECT_EQ(n->STFilter()->FilterText(), "");
  EXPECT_EQ(name->STFilter()->FilterText(), "ab");
  ds.FieldByName("NAME")->SetIndex(1);  // the dataset's own order again
}

// Within a batch of the columns the program moves NAME, a default column, in front of N, whose filter
// cell is edited, and hides NAME: the layout pass of the move takes the editing along with N, so the
// hide ends nothing of it and N's cell is edited on.
TEST_F(FilterRowEditors, DefaultColumnsMovedAndHiddenInABatchLeaveTheFilterEditingWithItsColumn) {
  grid->Columns()->Clear();  // default columns of N, NAME and SALARY
  Pump();
  ASSERT_EQ(grid->Columns()->Count(), 3);
  TColumnEx* n = grid->Columns()->Items(0);
  TColumnEx* name = grid->Columns()->Items(1);
  grid->ShowFilterEditor(0);
  Pump();
  ASSERT_TRUE(FilterEditorShows());
  Type("5");
  grid->Columns()->BeginUpdate();
  {
    TScopeExit end([&] { grid->Columns()->EndUpdate(); });
    name->SetIndex(0);  // NAME, N, SALARY
    name->SetVisible(false);
  }
  Pump();
  ASSERT_EQ(grid->Columns()->Items(1), n);
  EXPECT_TRUE(grid->FilterEditorShown()) << "hiding NAME ended the editing of N's filter cell";
  EXPECT_EQ(grid->FilterColumn(), 1);
  Type("2");
  grid->HideFilterEditor();
  Pump();
  EXPECT_EQ(n->STFilter()->FilterText(), "52");
  EXPECT_EQ(name->STFilter()->FilterText(), "");
  name->SetVisible(true);
  ds.FieldByName("NAME")->SetIndex(1);  // the dataset's own order again
}

}  // namespace

namespace {

// Reduced from a random walk: the grid's default columns were made again when its data source came
// (the column whose filter cell was edited went with them, its editing dropped), and a filter cell
// the editor could not show over yet (a selection stood) took the text the editor still held: ending
// that cell's editing stored the dropped column's text into another column's filter.
TEST_F(FilterRowEditors, TextOfAFilterCellDroppedWithItsColumnReachesNoOtherColumn) {
  grid->SetDataSource(nullptr);
  grid->Columns()->Clear();
  Pump();
  ASSERT_EQ(grid->Columns()->Count(), 1);  // a default column of no field
  grid->ShowFilterEditor(0);
  Pump();
  ASSERT_TRUE(FilterEditorShows());
  Type("с");
  grid->SetDataSource(&source);  // N, NAME and SALARY made again: the edited column goes
  Pump();
  ASSERT_EQ(grid->Columns()->Count(), 3);
  ASSERT_FALSE(grid->FilterEditing());
  grid->Selection()->SelectAll();
  grid->ShowFilterEditor(0);
  Pump();
  grid->Selection()->Clear();
  grid->ShowFilterEditor(2);
  grid->HideFilterEditor();
  Pump();
  for (int i = 0; i < grid->Columns()->Count(); ++i) {
    TColumnEx* c = grid->Columns()->Items(i);
    EXPECT_EQ(c->STFilter()->FilterText(), "") << "the filter of " << c->FieldName();
  }
}

}  // namespace

namespace {

// The filter editor keeps the focus the grid takes on a press: a right-button press on a title still
// reaches the grid's handler (where a program picks the titles' menu by the row pressed), whether the
// grid takes it as the left button's (the column resize on) or not.
TEST_F(FilterRowEditors, APressOnATitleWhileTheFilterEditorHasTheFocusReachesTheGridsHandler) {
  const TDBGridOptions saved = grid->Options();
  for (const bool resize : {true, false}) {
    SCOPED_TRACE(resize ? "column resize" : "no column resize");
    TDBGridOptions options = saved;
    if (resize)
      options.Include(dgColumnResize);
    else
      options.Exclude(dgColumnResize);
    grid->SetOptions(options);
    grid->ShowFilterEditor(1);
    Pump();
    ASSERT_TRUE(FilterEditorShows());
    ASSERT_TRUE(Editor()->Focused());
    std::vector<int> presses;  // the rows pressed, as the handler reads them
    grid->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int Y) { presses.push_back(Y); };
    const TRect title = grid->CellRect(grid->DataToRawColumn(0), 0);
    Click(title, 5, 3, true);
    grid->OnMouseDown = nullptr;
    EXPECT_EQ(presses, std::vector<int>{title.Top + 3});
  }
  grid->SetOptions(saved);
}

}  // namespace

namespace {

// What the user typed into a filter cell stays there until they apply it or cancel it: a press on a
// title (the left button, or the right one on the way to a column menu) and the program focusing the
// grid leave the cell's editing and its text as they were; a press in the data ends the editing with
// the text kept in the column's filter. Applied, the cell shows the filter as it reads.
TEST_F(FilterRowEditors, WhatWasTypedIntoAFilterCellStaysThroughPressesAndFocus) {
  TColumnEx* name = grid->Columns()->Items(1);
  const TRect title = grid->CellRect(grid->DataToRawColumn(0), 0);
  const TRect data = Cell(2, 2);
  const struct {
    const char* name;
    bool endsEditing;
    std::function<void()> act;
  } ways[] = {
      {"a right press on a title", false, [&] { Click(title, 5, 3, true); }},
      {"a left press on a title", false, [&] { Click(title, 5, 3); }},
      {"the grid focused by the program", false,
       [&] {
         grid->SetFocus();
         Pump();
       }},
      {"a right press on a data cell", true, [&] { Click(data, 5, 3, true); }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.name);
    grid->ShowFilterEditor(1);
    Pump();
    ASSERT_TRUE(Editor()->Focused());
    Type("sc");
    ASSERT_EQ(Editor()->Text(), "sc");
    way.act();
    EXPECT_EQ(name->STFilter()->FilterText(), "sc");
    if (way.endsEditing) {
      EXPECT_FALSE(grid->FilterEditing());
      EXPECT_FALSE(FilterEditorShows());
    } else {
      EXPECT_TRUE(grid->FilterEditing());
      EXPECT_TRUE(FilterEditorShows());
      EXPECT_EQ(Editor()->Text(), "sc");
      // typing goes on where it stopped
      Type("x");
      EXPECT_EQ(name->STFilter()->FilterText(), "scx");
    }
    StartOver(name);
  }
  // a cell whose editing begins over a filter (typed there before, or set by the program) shows the
  // filter's text, which a press keeps as well
  const struct {
    const char* name;
    std::function<void()> begin;
  } begins[] = {
      {"typed, then the cell left and edited again",
       [&] {
         grid->ShowFilterEditor(1);
         Pump();
         Type("sc");
         Key(VK_RIGHT);  // SALARY's cell
         Key(VK_LEFT);
       }},
      {"set by the program",
       [&] {
         name->STFilter()->SetFilterText("sc");
         grid->SetFocus();
         grid->ShowFilterEditor(1);
         Pump();
       }},
  };
  for (const auto& begin : begins) {
    SCOPED_TRACE(begin.name);
    begin.begin();
    ASSERT_EQ(grid->FilterColumn(), 1);
    ASSERT_TRUE(Editor()->Focused());
    EXPECT_EQ(Editor()->Text(), "~ 'sc'");
    Click(title, 5, 3, true);
    EXPECT_EQ(Editor()->Text(), "~ 'sc'");
    EXPECT_EQ(name->STFilter()->GetFilterText(), "~ 'sc'");
    StartOver(name);
  }
  // applied, the text gives way to the filter as it reads
  grid->ShowFilterEditor(1);
  Pump();
  Type("sc");
  Key(VK_RETURN);
  EXPECT_TRUE(grid->FilterEditing());
  EXPECT_EQ(Editor()->Text(), "~ 'sc'");
  StartOver(name);
}

// A press on the edge of the filter cell being edited, beside its editor, reaches the grid, which
// places the editor there again: it keeps what was typed, not the filter as it reads that text (only
// a cell whose editing begins takes that).
TEST_F(FilterRowEditors, APressBesideTheEditorOfTheEditedFilterCellKeepsWhatWasTyped) {
  TColumnEx* name = grid->Columns()->Items(1);
  grid->ShowFilterEditor(1);
  Pump();
  Type("sc");
  ASSERT_EQ(name->STFilter()->FilterText(), "sc");
  const TRect edge = grid->CellRect(grid->DataToRawColumn(1), 1);
  ASSERT_LT(edge.Left, grid->FilterCellRect(1).Left);
  Click(edge, 0, 3);
  EXPECT_TRUE(FilterEditorShows());
  EXPECT_EQ(Editor()->Text(), "sc") << "the editor took the filter's reading of what was typed";
  EXPECT_EQ(name->STFilter()->FilterText(), "sc");
}

}  // namespace

namespace {

// No filter editor stays over a filter cell that cannot take keys: a selection of everything made
// while a filter cell is edited (by the program, or a press on the indicator's title) hides the editor
// until the selection goes, and what was typed comes back with it; a filter cell that hides takes no
// more keys.
TEST_F(FilterRowEditors, NoFilterEditorStaysOverACellThatCannotTakeKeys) {
  TColumnEx* name = grid->Columns()->Items(1);
  const TDBGridOptions saved = grid->Options();
  grid->SetOptions(saved + dgMultiSelect);
  const TRect corner = grid->CellRect(0, 0);  // the indicator's title: everything, or nothing
  const struct {
    const char* name;
    std::function<void()> selectAll;
  } ways[] = {
      {"the program", [&] { grid->Selection()->SelectAll(); }},
      {"a press on the indicator's title", [&] { Click(corner, 3, 3); }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.name);
    grid->ShowFilterEditor(1);
    Pump();
    Type("An");
    ASSERT_EQ(name->STFilter()->FilterText(), "An");
    way.selectAll();
    Pump();
    ASSERT_EQ(grid->Selection()->SelectionType(), gstAll);
    EXPECT_FALSE(FilterEditorShows()) << "the editor stays over a cell it cannot edit";
    Type("x");
    EXPECT_EQ(name->STFilter()->FilterText(), "An");
    grid->Selection()->Clear();
    Pump();
    EXPECT_TRUE(FilterEditorShows());
    EXPECT_EQ(Editor()->Text(), "An");
    Type("y");
    EXPECT_EQ(name->STFilter()->FilterText(), "Any");
    StartOver(name);
  }
  grid->SetOptions(saved);

  // the program hides the filter cell being edited: the editor goes, and what is typed next reaches
  // the grid's current cell, not that filter
  grid->ShowFilterEditor(1);
  Pump();
  Type("An");
  name->STFilter()->SetVisible(false);
  Pump();
  EXPECT_FALSE(FilterEditorShows()) << "the editor stays over a hidden filter cell";
  Type("x");
  Type("y");
  EXPECT_EQ(name->STFilter()->FilterText(), "An");
  EXPECT_TRUE(grid->InplaceEditor() && grid->InplaceEditor()->Visible() &&
              grid->InplaceEditor()->Text() == "xy")
      << "what was typed did not reach the current cell";
  Key(VK_ESCAPE, 27);
  ds.Cancel();
  name->STFilter()->SetVisible(true);
  Pump();
  // within a batch of the filter settings the editor is not placed again: over the cell that hid it
  // takes no key
  grid->ShowFilterEditor(1);
  Pump();
  ASSERT_TRUE(Editor()->Focused());
  grid->STFilter()->BeginUpdate();
  name->STFilter()->SetVisible(false);
  Pump();
  Type("xy");
  grid->STFilter()->EndUpdate();
  EXPECT_EQ(name->STFilter()->GetFilterText(), "~ 'An'");
  name->STFilter()->SetVisible(true);
  grid->HideFilterEditor();
  name->STFilter()->SetFilterText("");
  grid->SetOptions(saved);
  Pump();
}

}  // namespace

namespace {

// Within a batch of the columns the filter cell's column may move before one goes (its index not yet
// caught up by a layout): the editing ends only with its own column, and goes on with it otherwise.
TEST_F(FilterRowEditors, AColumnGoneWithinABatchEndsOnlyTheEditingOfItsOwnFilterCell) {
  for (const bool own : {true, false}) {
    SCOPED_TRACE(own ? "the edited column goes" : "another column goes");
    TColumnEx* name = grid->Columns()->Items(1);
    grid->ShowFilterEditor(1);
    Pump();
    Type("ab");
    grid->Columns()->BeginUpdate();
    grid->Columns()->Items(2)->SetIndex(0);  // SALARY, N, NAME
    delete (own ? name : grid->Columns()->Items(1));
    grid->Columns()->EndUpdate();
    Pump();
    if (own) {
      EXPECT_FALSE(grid->FilterEditing());
      EXPECT_FALSE(FilterEditorShows());
    } else {
      ASSERT_TRUE(grid->FilterEditing()) << "the editing ended with another column";
      EXPECT_EQ(grid->FilterColumn(), name->Index());
      Type("c");
      grid->HideFilterEditor();
      Pump();
      EXPECT_EQ(name->STFilter()->FilterText(), "abc");
    }
    Type("z");
    for (int i = 0; i < grid->Columns()->Count(); ++i) {
      if (TColumnEx* c = grid->Columns()->Items(i); c != name) {
        EXPECT_EQ(c->STFilter()->FilterText(), "") << "the filter of " << c->FieldName();
      }
    }
    grid->HideFilterEditor();
    grid->Columns()->Clear();
    for (const char* n : {"N", "NAME", "SALARY"}) grid->Columns()->Add()->SetFieldName(n);
    Pump();
  }
}

// A column dragged elsewhere puts the filter row's editing on the current column (with rows selected
// whole, the cell edited may lie elsewhere): what was typed into the cell edited before stays in that
// cell's filter, and what is typed next goes into the current column's.
TEST_F(FilterRowEditors, AColumnDraggedElsewhereMovesTheFilterEditingToTheCurrentColumn) {
  const TDBGridOptions saved = grid->Options();
  grid->SetOptions(saved + dgRowSelect + dgColumnResize);
  Pump();
  TColumnEx* n = grid->Columns()->Items(0);
  TColumnEx* name = grid->Columns()->Items(1);
  ASSERT_EQ(grid->FocusedColumn(), n);
  grid->ShowFilterEditor(1);
  Pump();
  Type("ab");
  ASSERT_EQ(grid->FocusedColumn(), n);
  DragTitle(2, 1, 10);  // SALARY's title onto NAME's: N, SALARY, NAME
  ASSERT_EQ(grid->Columns()->Items(1)->FieldName(), "SALARY");
  ASSERT_EQ(grid->FilterColumn(), n->Index());
  EXPECT_EQ(Editor()->Text(), "") << "the editor shows the text of the cell it edited before";
  Type("5");
  grid->Columns()->Items(2)->SetIndex(1);  // a layout: N, NAME, SALARY
  Pump();
  Type("6");
  grid->HideFilterEditor();
  Pump();
  EXPECT_EQ(name->STFilter()->FilterText(), "ab");
  EXPECT_EQ(n->STFilter()->FilterText(), "56");
  grid->SetOptions(saved);
}

// Reduced from a random walk: the editor moving onto a filter cell showed the text it held for the
// cell before while it took its new cell's list and style, and each such change of its text was
// stored into the new cell's filter. A drop-down list's chosen value was given up that way.
TEST_F(FilterRowEditors, TheEditingMovedOntoAListCellLeavesTheValueChosenThere) {
  TMemDataSet depts;
  depts.FieldDefs()->Add("DEPT_ID", ftInteger);
  depts.FieldDefs()->Add("DNAME", ftString, 20);
  depts.AddRow({10, "Продажи"});
  depts.AddRow({20, "Склад"});
  TDataSource deptSource(nullptr);
  deptSource.SetDataSet(&depts);
  depts.Open();
  TSTColumnFilterEx* chosen = grid->Columns()->Items(1)->STFilter();
  chosen->SetKeyField("DEPT_ID");
  chosen->SetListField("DNAME");
  chosen->SetListSource(&deptSource);
  TScopeExit unlist([&] {
    grid->HideFilterEditor();
    chosen->SetListSource(nullptr);
  });
  chosen->SetValue("Склад", 20);
  grid->ShowFilterEditor(2);
  Pump();
  Type("5");
  ASSERT_EQ(Editor()->Text(), "5");
  Key(VK_LEFT, 0, talvik::gui::ShiftKeys{.ctrl = true});  // Ctrl+Left: NAME's filter cell
  ASSERT_EQ(grid->FilterColumn(), 1);
  EXPECT_EQ(Editor()->Text(), "Склад");
  EXPECT_EQ(chosen->FilterText(), "Склад") << "the value chosen in the list was given up";
  EXPECT_EQ(chosen->KeyValue().AsString(), "20");
  EXPECT_EQ(grid->Columns()->Items(2)->STFilter()->FilterText(), "5");
}

// A filter cell of a column that shows no field takes what is typed as it is; emptied, it holds no
// filter (it kept the text deleted: its filter has no kind of value to write an expression back in).
TEST_F(FilterRowEditors, AFilterCellOfAColumnWithoutAFieldEmptiedHoldsNothing) {
  grid->Columns()->Add()->SetFieldName("NO_SUCH");
  Pump();
  grid->ShowFilterEditor(3);
  Pump();
  ASSERT_TRUE(FilterEditorShows());
  Type("xy");
  TSTColumnFilterEx* filter = grid->Columns()->Items(3)->STFilter();
  EXPECT_EQ(filter->FilterText(), "xy");
  Key(VK_BACK, 8);
  EXPECT_EQ(filter->FilterText(), "x");
  Key(VK_BACK, 8);
  EXPECT_EQ(Editor()->Text(), "");
  EXPECT_EQ(filter->FilterText(), "") << "the text deleted stays in the filter";
  grid->HideFilterEditor();
  EXPECT_EQ(filter->FilterText(), "");
}

// Reduced from a random walk: a filter cell the editing left as it was loaded stores nothing, though
// its text reads otherwise now (its column shows a field of another kind since): the user sees no
// error about a text they did not type.
TEST_F(FilterRowEditors, AFilterCellLeftAsLoadedStoresNothing) {
  TColumnEx* name = grid->Columns()->Items(1);
  TScopeExit back([&] { name->SetFieldName("NAME"); });
  name->STFilter()->SetFilterText("sc");
  grid->ShowFilterEditor(1);
  Pump();
  ASSERT_EQ(Editor()->Text(), "~ 'sc'");
  name->SetFieldName("SALARY");  // by the program: the filter keeps its condition on a text
  Pump();
  EXPECT_NO_THROW(grid->ShowFilterEditor(0));
  Pump();
  EXPECT_EQ(name->STFilter()->FilterText(), "sc");
  EXPECT_EQ(grid->FilterColumn(), 0);
}

}  // namespace

namespace {

// Reduced from a random walk: a column added by the program (not one of the stored layout) is
// dropped by the layout that follows a drag of its title; the filter row's editing, put on the
// current column by where the grid thought it would stand after the move, stayed on another column
// (hidden, or none at all), and a press on a filter cell then stored the editor's text into that
// column's filter.
TEST_F(FilterRowEditors, AColumnDraggedAndDroppedLeavesNoFilterEditingOnACellThatIsNotShown) {
  const TDBGridOptions saved = grid->Options();
  grid->SetOptions(saved + dgColumnResize);
  TScopeExit restore([&] { grid->SetOptions(saved); });
  TColumnEx* n = grid->Columns()->Items(0);
  n->SetIndex(2);  // NAME, SALARY, N
  n->STFilter()->SetFilterText("5");
  n->SetVisible(false);
  grid->Columns()->AddDefault();  // NAME, SALARY, N (hidden), the added one
  Pump();
  ASSERT_EQ(grid->Columns()->Count(), 4);
  grid->ShowFilterEditor(1);
  Pump();
  Type("7");
  ASSERT_EQ(grid->FocusedColumn(), grid->Columns()->Items(1));
  DragTitle(3, 0, 3);  // the added column's title onto NAME's
  ASSERT_EQ(grid->Columns()->Count(), 3) << "the added column stays";
  if (grid->FilterEditorShown()) {
    const int c = grid->FilterColumn();
    ASSERT_TRUE(c >= 0 && c < grid->Columns()->Count()) << "the filter row is edited at no column: " << c;
    EXPECT_TRUE(grid->Columns()->Items(c)->Visible()) << "the filter row is edited at a hidden column";
  }
  const TRect nameCell = grid->FilterCellRect(0);
  Click(nameCell, 4, 3);
  EXPECT_EQ(n->STFilter()->FilterText(), "5") << "the hidden column's filter took the editor's text";
  EXPECT_EQ(grid->Columns()->Items(1)->STFilter()->FilterText(), "7");
}

// Reduced from a random walk: with the cell editor always shown, a filter cell edited puts the cell
// editor on that column too, beside the filter editor; a record deleted by the program then left the
// cell editor with the deleted record's text, which a key would have written into the next record.
TEST_F(FilterRowEditors, TheCellEditorBesideAnEditedFilterCellShowsTheRecordNow) {
  for (int i = 6; i <= 30; ++i) ds.AddRow({i, "session " + std::to_string(i), i * 12.5});  // more than show
  ds.First();
  const TDBGridOptions saved = grid->Options();
  grid->SetOptions(saved + dgAlwaysShowEditor);
  TScopeExit restore([&] { grid->SetOptions(saved); });
  Pump();
  grid->ShowFilterEditor(1);
  Pump();
  ASSERT_TRUE(FilterEditorShows());
  TInplaceEdit* cell = grid->InplaceEditor();
  ASSERT_TRUE(cell && cell->Visible());
  ASSERT_FALSE(grid->EditorMode());
  ASSERT_EQ(cell->Text(), "session 1");
  ds.Delete();
  Pump();
  ASSERT_EQ(ds.FieldByName("NAME")->Text(), "session 2");
  EXPECT_EQ(cell->Text(), "session 2") << "the cell editor shows the deleted record";
  EXPECT_TRUE(FilterEditorShows());
}

}  // namespace

namespace {

// A grid that always shows its cell editor, over more records than show, with a letter typed into the
// filter cell of N (a number column): stored, that letter reads as no number and raises an error.
class FilterCellBesideAnAlwaysShownEditor : public FilterRowEditors {
 protected:
  void SetUp() override {
    FilterRowEditors::SetUp();
    for (int i = 6; i <= 40; ++i) ds.AddRow({i, "session " + std::to_string(i), i * 12.5});
    ds.First();
    grid->SetOptions(grid->Options() + dgAlwaysShowEditor);
    savedOnException_ = Application->OnException;
    Application->OnException = [this](TObject*, const Exception& E) { errors.push_back(E.Message()); };
    Pump();
  }
  void TearDown() override {
    Application->OnException = savedOnException_;
    FilterRowEditors::TearDown();
  }
  // The filter cell of N edited with a letter typed into it.
  void LetterTypedIntoNumbersCell() {
    grid->SetFocus();
    grid->ShowFilterEditor(0);
    Pump();
    ASSERT_TRUE(Editor()->Focused());
    Type("a");
    ASSERT_EQ(Editor()->Text(), "a");
  }
  // What the program did left the filter cell edited with the letter, no error raised, and the
  // letters go on into the cell; leaving it emptied brings the cell editor back.
  void ExpectTheLetterStillEdited(const std::string& Thrown) {
    EXPECT_EQ(Thrown, "") << "the program's call raised the error";
    EXPECT_TRUE(errors.empty()) << errors.front();
    EXPECT_TRUE(grid->FilterEditing());
    EXPECT_TRUE(FilterEditorShows());
    EXPECT_TRUE(Editor()->Focused());
    EXPECT_EQ(Editor()->Text(), "a");
    Type("b");
    EXPECT_EQ(Editor()->Text(), "ab");
    Key(VK_BACK, 8);
    Key(VK_BACK, 8);
    Key(VK_DOWN);
    EXPECT_FALSE(grid->FilterEditorShown());
    EXPECT_TRUE(grid->EditorMode());
    EXPECT_TRUE(grid->InplaceEditor() && grid->InplaceEditor()->Visible());
    EXPECT_TRUE(errors.empty()) << errors.front();
    EXPECT_EQ(grid->Columns()->Items(0)->STFilter()->FilterText(), "");
  }
  // The filter row left unedited and N's filter empty on the first record, whatever the case before
  // left, for the next case to begin afresh.
  void StartOver() {
    if (grid->FilterEditorShown()) {
      Editor()->SetText("");
      grid->HideFilterEditor();
    }
    grid->Columns()->Items(0)->STFilter()->SetFilterText("");
    ds.First();
    Pump();
    errors.clear();
  }
  // Runs Act (the program's doing), what it raised caught as the program's caller would.
  static std::string Caught(const std::function<void()>& Act) {
    try {
      Act();
      Pump();
    } catch (const Exception& E) {
      return E.Message();
    }
    return "";
  }

  std::vector<std::string> errors;

 private:
  TExceptionEvent savedOnException_;
};

// As with the incremental search's time-out: records scrolled past the rows in view (by the program's
// own call, a program's timer falling due, the scroll bar, the wheel over the data while the edited
// cell is scrolled out of view) brought the always-shown cell editor back over the new rows, which
// ended the filter cell's editing and stored the letter half typed there: an error the user did
// nothing for. The cell editor waits while the filter row is edited.
TEST_F(FilterCellBesideAnAlwaysShownEditor, RecordsScrolledPastTheViewLeaveTheFilterCellEdited) {
  TTimer timer(nullptr);
  timer.SetEnabled(false);
  timer.SetInterval(1000);
  timer.OnTimer = [&](TObject*) {
    for (int i = 0; i < 15; ++i) ds.Next();
  };
  const struct {
    const char* name;
    std::function<void()> act;
  } ways[] = {
      {"the program moving on by 20 records", [&] { ds.MoveBy(20); }},
      {"a program's timer moving on record by record",
       [&] {
         timer.SetEnabled(true);
         Advance(1000);
         timer.SetEnabled(false);
       }},
      {"a page down on the scroll bar",
       [&] {
         grid->Perform(WM_VSCROLL, SB_PAGEDOWN, 0);
         grid->Perform(WM_VSCROLL, SB_PAGEDOWN, 0);
       }},
      {"the wheel over the data while the edited cell is scrolled out of view",
       [&] {
         std::vector<int> widths;
         for (int i = 0; i < grid->Columns()->Count(); ++i) {
           widths.push_back(grid->Columns()->Items(i)->Width());
           grid->Columns()->Items(i)->SetWidth(300);
         }
         TScopeExit narrow([&] {
           for (int i = 0; i < grid->Columns()->Count(); ++i) grid->Columns()->Items(i)->SetWidth(widths[i]);
         });
         grid->Perform(WM_HSCROLL, SB_PAGERIGHT, 0);
         grid->Perform(WM_HSCROLL, SB_PAGERIGHT, 0);
         Pump();
         ASSERT_FALSE(FilterEditorShows());
         for (int i = 0; i < 15; ++i) Wheel(grid, -120);
         grid->Perform(WM_HSCROLL, SB_LEFT, 0);
         Pump();
       }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.name);
    StartOver();
    LetterTypedIntoNumbersCell();
    const int recNo = ds.RecNo();
    const std::string thrown = Caught(way.act);
    EXPECT_GT(ds.RecNo(), recNo + 10) << "the records did not move on past the view";
    ExpectTheLetterStillEdited(thrown);
  }
}

// The data opened again under the grid (a program refreshing its query, the grid linked to its data
// source again) brought the always-shown cell editor back, which ended the filter cell's editing and
// stored the letter half typed there: the error reached the program's own call.
TEST_F(FilterCellBesideAnAlwaysShownEditor, DataOpenedAgainLeavesTheFilterCellEdited) {
  const struct {
    const char* name;
    std::function<void()> act;
  } ways[] = {
      {"the dataset closed and opened again",
       [&] {
         ds.Close();
         ds.Open();
       }},
      {"the data source unlinked and linked again",
       [&] {
         grid->SetDataSource(nullptr);
         grid->SetDataSource(&source);
       }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.name);
    StartOver();
    LetterTypedIntoNumbersCell();
    const std::string thrown = Caught(way.act);
    ASSERT_TRUE(ds.Active());
    ExpectTheLetterStillEdited(thrown);
  }
}

// Reduced from a random walk: a filter cell whose editing began over a filter keeps the filter's text
// as the editor's value; emptied by the user and left, the editor wrote that value back on losing the
// focus and showed it again, and the grid stored it into the filter the user had just cleared. The
// text was the filter as it read with the field its column showed before, which the column's field
// now could not convert: the user saw an error about a text they never typed.
TEST_F(FilterRowEditors, AFilterCellEmptiedByTheUserStaysEmptyWhenLeft) {
  TColumnEx* name = grid->Columns()->Items(1);
  const TRect data = Cell(2, 2);
  const struct {
    const char* name;
    std::function<void()> empty;
  } empties[] = {
      {"its text selected and deleted",
       [&] {
         Editor()->SelectAllText();
         Key(VK_DELETE);
       }},
      {"its text deleted backwards",
       [&] {
         Key(VK_END);
         for (int n = Utf8Length(Editor()->Text()); n > 0; --n) Key(VK_BACK, 8);
       }},
  };
  const struct {
    const char* name;
    std::function<void()> leave;
  } leaves[] = {
      {"a press on a data cell", [&] { Click(data, 5, 3); }},
      {"the next filter cell", [&] { Key(VK_TAB, 9); }},
      {"the grid focused by the program",
       [&] {
         grid->SetFocus();
         Pump();
       }},
  };
  for (const auto& empty : empties)
    for (const auto& leave : leaves) {
      SCOPED_TRACE(std::string(empty.name) + ", left by " + leave.name);
      name->STFilter()->SetFilterText("sc");
      grid->ShowFilterEditor(1);
      Pump();
      ASSERT_TRUE(Editor()->Focused());
      ASSERT_EQ(Editor()->Text(), "~ 'sc'");
      empty.empty();
      ASSERT_EQ(Editor()->Text(), "");
      EXPECT_EQ(name->STFilter()->FilterText(), "");
      leave.leave();
      EXPECT_EQ(name->STFilter()->FilterText(), "") << "the emptied filter cell took its old text back";
      EXPECT_EQ(name->STFilter()->GetFilterText(), "");
      StartOver(name);
    }
  // the walk's way: the column shows a field of another kind meanwhile, whose filter cannot read the
  // text loaded (a condition on a text), and a press on a data cell leaves the cell
  std::vector<std::string> errors;
  TScopeExit restore([saved = Application->OnException] { Application->OnException = saved; });
  Application->OnException = [&](TObject*, const Exception& E) { errors.push_back(E.Message()); };
  TScopeExit back([&] { name->SetFieldName("NAME"); });
  name->STFilter()->SetFilterText("sc");
  grid->ShowFilterEditor(1);
  Pump();
  ASSERT_EQ(Editor()->Text(), "~ 'sc'");
  name->SetFieldName("SALARY");  // by the program
  Pump();
  Editor()->SelectAllText();
  Key(VK_DELETE);
  ASSERT_EQ(Editor()->Text(), "");
  Click(data, 5, 3);
  EXPECT_EQ(errors, std::vector<std::string>{}) << "an error box for a text the user did not type";
  EXPECT_EQ(name->STFilter()->FilterText(), "");
  StartOver(name);
}

}  // namespace

namespace {

// A rectangle as the failure messages show it.
std::string Box(const TRect& R) {
  return "(" + std::to_string(R.Left) + ", " + std::to_string(R.Top) + ")-(" + std::to_string(R.Right) +
         ", " + std::to_string(R.Bottom) + ")";
}

// The first visible column moves while a filter cell is edited, by the program (its first column, or
// its current one set elsewhere), by the grid grown wider, or by a key: the editor stands over its own
// cell wherever that cell now is, hides while the cell is out of view (over another column's cell, it
// would take the text for the wrong filter) and comes back over it with what was typed, which the
// scrolling neither loses nor applies.
TEST_F(FilterRowEditors, TheFilterEditorFollowsItsCellWhereverTheFirstColumnMoves) {
  TColumnEx* name = grid->Columns()->Items(1);
  for (int i = 0; i < grid->Columns()->Count(); ++i) grid->Columns()->Items(i)->SetWidth(200);
  const TDBGridOptions saved = grid->Options();
  const TRect bounds = grid->BoundsRect();
  int applied = 0;
  grid->OnApplyFilter = [&](TObject*) { ++applied; };
  TScopeExit restore([&] {
    grid->OnApplyFilter = nullptr;
    grid->SetOptions(saved);
    grid->SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
  });
  Pump();
  const int nameRaw = grid->DataToRawColumn(1);
  // NAME's cell is the first one in view
  auto begin = [&] {
    grid->SetLeftCol(nameRaw);
    grid->ShowFilterEditor(1);
    Pump();
    Type("sc");
    ASSERT_EQ(grid->LeftCol(), nameRaw);
    ASSERT_TRUE(FilterEditorShows());
    ASSERT_EQ(Box(Editor()->BoundsRect()), Box(grid->FilterCellRect(1)));
  };
  // The editor over NAME's cell, wherever it is now, holding what was typed, and typing goes on there.
  auto overItsCell = [&](const char* after) {
    SCOPED_TRACE(after);
    const TRect cell = grid->FilterCellRect(1);
    ASSERT_FALSE(cell.IsEmpty());
    EXPECT_TRUE(FilterEditorShows()) << "the editor did not come back over its cell";
    EXPECT_EQ(Box(Editor()->BoundsRect()), Box(cell)) << "the editor stands elsewhere than over its cell";
    EXPECT_EQ(Editor()->Text(), "sc");
    EXPECT_TRUE(Editor()->Focused());
    Type("x");
    EXPECT_EQ(Editor()->Text(), "scx");
    EXPECT_EQ(name->STFilter()->FilterText(), "scx");
    Key(VK_BACK, 8);
  };
  // NAME's cell out of view: no editor shows, over another column's cell least of all.
  auto hidden = [&](const char* after) {
    SCOPED_TRACE(after);
    ASSERT_TRUE(grid->FilterCellRect(1).IsEmpty());
    EXPECT_FALSE(FilterEditorShows())
        << "the editor stays over the cell of "
        << grid->Columns()->Items(grid->RawToDataColumn(grid->LeftCol()))->FieldName();
    EXPECT_TRUE(grid->FilterEditing());
    EXPECT_EQ(Editor()->Text(), "sc");
  };
  // as the user sees it: NAME's cell edited, then the first column moved on by the program past it
  // and back to the column before it
  begin();
  Shot("filter-editor-left-col-1-editing.png");
  grid->SetLeftCol(nameRaw + 1);
  Pump();
  Shot("filter-editor-left-col-2-scrolled-past.png");
  grid->SetLeftCol(nameRaw - 1);
  Pump();
  Shot("filter-editor-left-col-3-scrolled-back.png");
  EXPECT_EQ(Box(Editor()->BoundsRect()), Box(grid->FilterCellRect(1)));
  StartOver(name);

  const struct {
    const char* name;
    bool rowSelect;
    std::function<void()> out;   // scrolls NAME's cell out of view (none: it only moves)
    std::function<void()> back;  // scrolls it in again
    int backLeft;                // the first column then
  } ways[] = {
      {"the program's first column", false, [&] { grid->SetLeftCol(nameRaw + 1); },
       [&] { grid->SetLeftCol(nameRaw - 1); }, nameRaw - 1},
      {"the program's current column", false, [&] { grid->SetSelectedIndex(2); },
       [&] { grid->SetSelectedIndex(0); }, nameRaw - 1},
      {"the grid grown wider", false, nullptr,
       [&] { grid->SetBounds(bounds.Left, bounds.Top, 700, bounds.Height()); }, nameRaw - 1},
      // the editor hidden hands the focus to the grid, whose key scrolls a whole-row grid
      {"a key in the grid, rows selected whole", true, [&] { grid->SetLeftCol(nameRaw + 1); },
       [&] {
         ASSERT_TRUE(grid->Focused());
         Key(VK_LEFT);
       },
       nameRaw},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.name);
    grid->SetOptions(way.rowSelect ? saved + dgRowSelect : saved);
    begin();
    if (way.out) {
      way.out();
      Pump();
      hidden("scrolled out");
    }
    way.back();
    Pump();
    EXPECT_EQ(grid->LeftCol(), way.backLeft);
    overItsCell("scrolled back");
    EXPECT_EQ(applied, 0) << "the scrolling applied the filter";
    StartOver(name);
    grid->SetOptions(saved);
    grid->SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
  }
}

// The grid narrowed while a filter cell is edited, its first column staying where it was, by the
// program or by its form resized: the editor stands over what shows of its cell (a wider editor, cut
// off by the grid's edge, would show a text it cannot scroll into view), hides while the cell is out of
// view (still focused, it would take keys no one sees) and comes back over it with what was typed once
// the grid is wide again, where typing goes on.
TEST_F(FilterRowEditors, TheFilterEditorFollowsItsCellWhenTheGridNarrows) {
  TColumnEx* name = grid->Columns()->Items(1);
  for (int i = 0; i < grid->Columns()->Count(); ++i) grid->Columns()->Items(i)->SetWidth(200);
  const TRect bounds = grid->BoundsRect();
  const TRect formBounds = form->BoundsRect();
  int applied = 0;
  grid->OnApplyFilter = [&](TObject*) { ++applied; };
  TScopeExit restore([&] {
    grid->OnApplyFilter = nullptr;
    grid->SetAlign(alNone);
    form->SetBounds(formBounds.Left, formBounds.Top, formBounds.Width(), formBounds.Height());
    grid->SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
  });
  Pump();
  const int left = grid->DataToRawColumn(0);
  // NAME's cell edited, N's the first one in view
  auto begin = [&] {
    grid->ShowFilterEditor(1);
    Pump();
    Type("sc");
    grid->SetLeftCol(left);
    Pump();
    ASSERT_TRUE(FilterEditorShows());
    ASSERT_TRUE(Editor()->Focused());
    ASSERT_EQ(Box(Editor()->BoundsRect()), Box(grid->FilterCellRect(1)));
  };
  const struct {
    const char* name;
    std::function<void(int)> width;  // the grid made this wide
  } ways[] = {
      {"the program's width", [&](int W) { grid->SetWidth(W); }},
      {"the program's bounds", [&](int W) { grid->SetBounds(bounds.Left, bounds.Top, W, bounds.Height()); }},
      {"the form resized under a grid filling it",
       [&](int W) {
         grid->SetAlign(alClient);
         form->SetBounds(formBounds.Left, formBounds.Top, W, formBounds.Height());
       }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.name);
    begin();
    // a part of NAME's cell in view
    way.width(300);
    Pump();
    {
      SCOPED_TRACE("narrowed over a part of the cell");
      ASSERT_EQ(grid->LeftCol(), left);
      const TRect cell = grid->FilterCellRect(1);
      ASSERT_FALSE(cell.IsEmpty());
      ASSERT_LE(cell.Right, grid->ClientWidth());
      EXPECT_TRUE(FilterEditorShows());
      EXPECT_EQ(Box(Editor()->BoundsRect()), Box(cell)) << "the editor stands elsewhere than over its cell";
      EXPECT_EQ(Editor()->Text(), "sc");
    }
    // NAME's cell out of view
    way.width(200);
    Pump();
    {
      SCOPED_TRACE("narrowed past the cell");
      ASSERT_EQ(grid->LeftCol(), left);
      ASSERT_TRUE(grid->FilterCellRect(1).IsEmpty());
      EXPECT_FALSE(FilterEditorShows())
          << "the editor shows at " << Box(Editor()->BoundsRect()) << " while its cell is out of view";
      EXPECT_FALSE(Editor()->Focused()) << "the hidden editor keeps the focus";
      EXPECT_TRUE(grid->FilterEditing());
      EXPECT_EQ(Editor()->Text(), "sc");
    }
    // wide again
    way.width(bounds.Width());
    Pump();
    {
      SCOPED_TRACE("wide again");
      const TRect cell = grid->FilterCellRect(1);
      ASSERT_FALSE(cell.IsEmpty());
      EXPECT_TRUE(FilterEditorShows()) << "the editor did not come back over its cell";
      EXPECT_EQ(Box(Editor()->BoundsRect()), Box(cell)) << "the editor stands elsewhere than over its cell";
      EXPECT_EQ(Editor()->Text(), "sc");
      EXPECT_TRUE(Editor()->Focused());
      Type("x");
      EXPECT_EQ(Editor()->Text(), "scx");
      EXPECT_EQ(name->STFilter()->FilterText(), "scx");
    }
    EXPECT_EQ(applied, 0) << "the resizing applied the filter";
    StartOver(name);
    grid->SetAlign(alNone);
    form->SetBounds(formBounds.Left, formBounds.Top, formBounds.Width(), formBounds.Height());
    grid->SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
    Pump();
  }
}

}  // namespace

namespace {

// The grid over N, NAME and SALARY with its filter row shown, editable, its cell editor shown on
// demand or always; the error boxes the application would show are kept.
class FilterCellTyping : public FilterRowEditors, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    FilterRowEditors::SetUp();
    grid->SetOptions(grid->Options() + dgEditing + dgColumnResize +
                     (GetParam() ? dgAlwaysShowEditor : dgEditing));
    savedOnException_ = Application->OnException;
    Application->OnException = [this](TObject*, const Exception& E) { errors.push_back(E.Message()); };
    Pump();
  }
  void TearDown() override {
    Application->OnException = savedOnException_;
    FilterRowEditors::TearDown();
  }
  // NAME's filter cell edited, Text typed into it (NAME the current column: an always shown cell
  // editor coming up over another column as the cell is entered would take the focus).
  void TypeIntoName(const std::string& Text) {
    grid->SetSelectedIndex(1);
    grid->SetFocus();
    Pump();
    grid->ShowFilterEditor(1);
    Pump();
    ASSERT_TRUE(Editor()->Focused());
    Type(Text);
    ASSERT_EQ(Editor()->Text(), Text);
  }

  // "bo" typed into NAME's filter cell, the filter editor holds the focus and what was typed, and the
  // next letter goes on after it, into the filter and nowhere else; then NAME's filter starts over.
  void ExpectTypingGoesOnInName(TColumnEx* Name) {
    EXPECT_TRUE(Editor()->Focused()) << "the filter editor has not the focus";
    EXPECT_EQ(Editor()->Text(), "bo");
    Type("b");
    EXPECT_EQ(Editor()->Text(), "bob");
    EXPECT_EQ(Name->STFilter()->FilterText(), "bob");
    EXPECT_EQ(ds.State(), dsBrowse) << "the letter put the record in edit";
    EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "session 1");
    EXPECT_TRUE(errors.empty()) << errors.front();
    if (ds.State() != dsBrowse) ds.Cancel();
    StartOver(Name);
  }

  std::vector<std::string> errors;

 private:
  TExceptionEvent savedOnException_;
};

// NAME's filter cell goes out of view while "sc" is typed into it (the program sets the first column
// past it, or the form narrows a grid that fills it): its editor hides and the grid takes the focus. A
// letter typed next brings the cell back into view, as an edit scrolls to its caret, and goes on after
// what was typed, where the user sees it; hidden, the editor took it unseen.
TEST_P(FilterCellTyping, ALetterTypedWhileTheEditedCellIsOutOfViewBringsTheCellBack) {
  TColumnEx* name = grid->Columns()->Items(1);
  for (int i = 0; i < grid->Columns()->Count(); ++i) grid->Columns()->Items(i)->SetWidth(250);
  const TRect bounds = grid->BoundsRect();
  const TRect formBounds = form->BoundsRect();
  int applied = 0;
  grid->OnApplyFilter = [&](TObject*) { ++applied; };
  auto wide = [&] {
    grid->SetAlign(alNone);
    form->SetBounds(formBounds.Left, formBounds.Top, formBounds.Width(), formBounds.Height());
    grid->SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
  };
  TScopeExit restore([&] {
    grid->OnApplyFilter = nullptr;
    wide();
  });
  Pump();
  const int nameRaw = grid->DataToRawColumn(1);
  const struct {
    const char* name;
    std::function<void()> out;  // puts NAME's cell out of view
  } ways[] = {
      {"the program's first column past it", [&] { grid->SetLeftCol(nameRaw + 1); }},
      {"the form narrowed under a grid filling it",
       [&] {
         grid->SetAlign(alClient);
         form->SetBounds(formBounds.Left, formBounds.Top, 200, formBounds.Height());
       }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.name);
    errors.clear();
    TypeIntoName("sc");
    grid->SetLeftCol(grid->DataToRawColumn(0));  // NAME's cell the second in view
    Pump();
    ASSERT_TRUE(FilterEditorShows());
    way.out();
    Pump();
    ASSERT_TRUE(grid->FilterCellRect(1).IsEmpty());
    ASSERT_FALSE(FilterEditorShows());
    ASSERT_TRUE(grid->Focused());
    Type("x");
    const TRect cell = grid->FilterCellRect(1);
    EXPECT_FALSE(cell.IsEmpty()) << "the letter left the cell out of view";
    EXPECT_TRUE(FilterEditorShows()) << "the letter went into the hidden editor";
    EXPECT_EQ(Box(Editor()->BoundsRect()), Box(cell)) << "the editor stands elsewhere than over its cell";
    EXPECT_TRUE(Editor()->Focused());
    EXPECT_EQ(Editor()->Text(), "scx");
    EXPECT_EQ(name->STFilter()->FilterText(), "scx");
    Type("y");
    EXPECT_EQ(Editor()->Text(), "scxy");
    if (way.name == ways[0].name)
      Shot(std::string("filter-cell-letter-out-of-view-") + (GetParam() ? "always.png" : "on-demand.png"));
    EXPECT_EQ(applied, 0) << "the letter applied the filter";
    EXPECT_TRUE(errors.empty()) << errors.front();
    StartOver(name);
    wide();
    Pump();
  }
}

// The user drags a title while a filter cell is edited (another column's title past the edited one,
// or the edited column's own): the editor stays on its cell with what was typed, the caret where it
// was, and the next letter goes on after it; the text selected anew, the letter replaced it.
TEST_P(FilterCellTyping, ATitleDragKeepsWhatWasTypedIntoTheFilterCell) {
  TColumnEx* name = grid->Columns()->Items(1);
  const struct {
    const char* name;
    int from, to;  // the title dragged onto another's
    const char* moved;
  } ways[] = {
      {"SALARY's title onto N's", 2, 0, "SALARY"},
      {"NAME's own title onto N's", 1, 0, "NAME"},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.name);
    errors.clear();
    TypeIntoName("bo");
    DragTitle(way.from, way.to, 5);
    ASSERT_EQ(grid->Columns()->Items(way.to)->FieldName(), way.moved);
    EXPECT_EQ(grid->FilterColumn(), name->Index());
    EXPECT_TRUE(FilterEditorShows());
    EXPECT_EQ(Box(Editor()->BoundsRect()), Box(grid->FilterCellRect(name->Index())));
    EXPECT_EQ(Editor()->Text(), "bo");
    EXPECT_EQ(Editor()->SelLength(), 0) << "what was typed is selected, for the next key to replace";
    Type("b");
    EXPECT_EQ(Editor()->Text(), "bob");
    EXPECT_EQ(name->STFilter()->FilterText(), "bob");
    EXPECT_TRUE(errors.empty()) << errors.front();
    StartOver(name);
    for (const char* n : {"N", "NAME", "SALARY"})
      for (int i = 0; i < grid->Columns()->Count(); ++i)
        if (grid->Columns()->Items(i)->FieldName() == n)
          grid->Columns()->Items(i)->SetIndex(grid->Columns()->Count() - 1);
    Pump();
  }
}

// The user drags a title border by 30 pixels while a filter cell is edited (the border of the column
// before the edited one, or the edited column's own; with the sizing line, or the column sized as the
// mouse moves): the editor stays on its cell, where that is now, with what was typed and the focus,
// and the next letter goes on after it. The cell editor the grid shows always came back over the
// current column with the new width and took the focus, and the next letter edited the record.
TEST_P(FilterCellTyping, AColumnBorderDragKeepsWhatWasTypedIntoTheFilterCell) {
  TColumnEx* name = grid->Columns()->Items(1);
  TScopeExit restore([&] {
    grid->SetOptionsEx(grid->OptionsEx() - dghTraceColSizing);
    for (int i = 0; i < grid->Columns()->Count(); ++i) grid->Columns()->Items(i)->SetWidth(64);
  });
  const struct {
    const char* name;
    int border;  // the data column whose right title border is dragged
    bool trace;  // the column sized as the mouse moves
  } ways[] = {
      {"N's border, the sizing line", 0, false},
      {"NAME's own border, the sizing line", 1, false},
      {"N's border, sized as the mouse moves", 0, true},
      {"NAME's own border, sized as the mouse moves", 1, true},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.name);
    errors.clear();
    grid->SetOptionsEx(way.trace ? grid->OptionsEx() + dghTraceColSizing
                                 : grid->OptionsEx() - dghTraceColSizing);
    ds.First();
    TypeIntoName("bo");
    const TRect title = grid->CellRect(grid->DataToRawColumn(way.border), 0);
    const int before = grid->Columns()->Items(way.border)->Width();
    Mouse(WM_LBUTTONDOWN, title.Right, title.Top + 3);
    Mouse(WM_MOUSEMOVE, title.Right + 15, title.Top + 3);
    Mouse(WM_MOUSEMOVE, title.Right + 30, title.Top + 3);
    Mouse(WM_LBUTTONUP, title.Right + 30, title.Top + 3);
    ASSERT_EQ(grid->Columns()->Items(way.border)->Width(), before + 30) << "the border was not dragged";
    EXPECT_EQ(grid->FilterColumn(), 1);
    EXPECT_TRUE(FilterEditorShows());
    EXPECT_EQ(Box(Editor()->BoundsRect()), Box(grid->FilterCellRect(1)));
    ExpectTypingGoesOnInName(name);
    grid->Columns()->Items(way.border)->SetWidth(64);
    Pump();
  }
}

// The focus comes to the grid while a filter cell is edited, "bo" typed into it: the user presses a
// title, or comes back from another control of the form. The filter cell takes the focus with what was
// typed, the caret where it was, and the next letter goes on after it. The cell editor the grid shows
// always came back with the focus and took it, and the next letter replaced what was typed.
TEST_P(FilterCellTyping, TheFocusComingToTheGridGoesOnInTheEditedFilterCell) {
  TColumnEx* name = grid->Columns()->Items(1);
  auto* other = new TEdit(form.get());
  TScopeExit drop([&] { delete other; });
  other->SetParent(form.get());
  other->SetBounds(0, 205, 100, 14);
  const struct {
    const char* name;
    std::function<void()> focus;  // the focus taken from the filter cell and given to the grid
  } ways[] = {
      {"a click on SALARY's title", [&] { Click(grid->CellRect(grid->DataToRawColumn(2), 0), 20, 3); }},
      {"back from another control",
       [&] {
         other->SetFocus();
         Pump();
         ASSERT_TRUE(other->Focused());
         grid->SetFocus();
       }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.name);
    errors.clear();
    ds.First();
    TypeIntoName("bo");
    Advance(1000);  // (not a double click with the case before's)
    way.focus();
    Pump();
    EXPECT_TRUE(FilterEditorShows());
    ExpectTypingGoesOnInName(name);
  }
}

// The user enters the filter cell of a column other than the current one (a click on it, or the
// program's call), coming from the column before it or after it, with the columns narrow or so wide
// that the grid scrolls to NAME's as it becomes the current column: the keys pressed next go into the
// filter, where the user aimed them. The record is not edited; an always shown cell editor that came
// up over the column as the grid scrolled there kept the focus, and a Delete emptied the record's
// field.
TEST_P(FilterCellTyping, KeysPressedOnEnteringAnotherColumnsFilterCellGoIntoThatFilter) {
  TColumnEx* name = grid->Columns()->Items(1);
  TScopeExit narrow([&] {
    for (int i = 0; i < grid->Columns()->Count(); ++i) grid->Columns()->Items(i)->SetWidth(64);
  });
  const struct {
    const char* name;
    int width, from;      // the columns' width, the current column as the cell is entered
    bool click, editing;  // a click (or the program's call); the cell editor open on the current column
  } ways[] = {
      {"a click, from the column before", 64, 0, true, false},
      {"a click, from the column after", 64, 2, true, false},
      {"a click, from the column before, wide columns", 250, 0, true, false},
      {"a click, from the column before, its cell edited", 64, 0, true, true},
      {"the program's call, from the column before", 64, 0, false, false},
      {"the program's call, from the column after", 64, 2, false, false},
      {"the program's call, from the column after, wide columns", 250, 2, false, false},
      {"the program's call, from the column after, wide columns, its cell edited", 250, 2, false, true},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.name);
    errors.clear();
    for (int i = 0; i < grid->Columns()->Count(); ++i) grid->Columns()->Items(i)->SetWidth(way.width);
    ds.First();
    grid->SetLeftCol(grid->DataToRawColumn(0));
    grid->SetSelectedIndex(way.from);
    grid->SetFocus();
    Pump();
    if (way.editing) {
      grid->ShowEditor();
      Pump();
      ASSERT_TRUE(grid->InplaceEditor() && grid->InplaceEditor()->Focused());
    }
    ASSERT_EQ(grid->GetSelectedIndex(), way.from);
    if (way.click) {
      Advance(1000);  // (not a double click with the case before's)
      const TRect cell = grid->FilterCellRect(1);
      ASSERT_FALSE(cell.IsEmpty());
      Click(cell, 5, 3);
    } else {
      grid->ShowFilterEditor(1);
      Pump();
    }
    ASSERT_EQ(grid->FilterColumn(), 1);
    EXPECT_TRUE(FilterEditorShows());
    EXPECT_TRUE(Editor()->Focused()) << "the filter editor has not the focus";
    Key(VK_DELETE);
    Type("sc");
    EXPECT_EQ(Editor()->Text(), "sc");
    EXPECT_EQ(name->STFilter()->FilterText(), "sc");
    EXPECT_EQ(ds.State(), dsBrowse) << "the keys put the record in edit";
    EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "session 1");
    if (way.width == 250 && !way.click && !way.editing)
      Shot(std::string("filter-cell-entered-from-another-column-") +
           (GetParam() ? "always.png" : "on-demand.png"));
    EXPECT_TRUE(errors.empty()) << errors.front();
    if (ds.State() != dsBrowse) ds.Cancel();
    StartOver(name);
  }
}

// NAME's filter cell, "sc" typed into it, goes out of view as the program sets the first column past
// it, and comes back into view as the program sets the first column back (to NAME's, or to the first
// one): the filter editor comes back over it with the focus the grid held for it meanwhile, and the
// keys pressed next go on into the filter. The record is not edited; an always shown cell editor that
// came back into view with the cell took the focus, and a Delete emptied the record's field.
TEST_P(FilterCellTyping, TheFilterCellScrolledBackIntoViewByTheProgramTakesTheKeysAgain) {
  TColumnEx* name = grid->Columns()->Items(1);
  for (int i = 0; i < grid->Columns()->Count(); ++i) grid->Columns()->Items(i)->SetWidth(250);
  TScopeExit narrow([&] {
    for (int i = 0; i < grid->Columns()->Count(); ++i) grid->Columns()->Items(i)->SetWidth(64);
  });
  Pump();
  const int nameRaw = grid->DataToRawColumn(1);
  const struct {
    const char* name;
    int from;    // the current column as the cell is entered
    int backTo;  // the first column set back
  } ways[] = {
      {"NAME current, back to NAME's column", 1, 1},
      {"NAME current, back to the first column", 1, 0},
      {"entered from N, back to NAME's column", 0, 1},
      {"entered from N, back to the first column", 0, 0},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.name);
    errors.clear();
    ds.First();
    grid->SetLeftCol(grid->DataToRawColumn(0));
    grid->SetSelectedIndex(way.from);
    grid->SetFocus();
    Pump();
    grid->ShowFilterEditor(1);
    Pump();
    ASSERT_TRUE(Editor()->Focused());
    Type("sc");
    ASSERT_EQ(Editor()->Text(), "sc");
    grid->SetLeftCol(nameRaw + 1);
    Pump();
    ASSERT_FALSE(FilterEditorShows());
    ASSERT_TRUE(grid->Focused());
    grid->SetLeftCol(grid->DataToRawColumn(way.backTo));
    Pump();
    ASSERT_FALSE(grid->FilterCellRect(1).IsEmpty());
    EXPECT_TRUE(FilterEditorShows());
    EXPECT_TRUE(Editor()->Focused()) << "the filter editor has not the focus";
    Key(VK_DELETE);
    Type("x");
    EXPECT_EQ(Editor()->Text(), "scx");
    EXPECT_EQ(name->STFilter()->FilterText(), "scx");
    EXPECT_EQ(ds.State(), dsBrowse) << "the keys put the record in edit";
    EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "session 1");
    EXPECT_TRUE(errors.empty()) << errors.front();
    if (ds.State() != dsBrowse) ds.Cancel();
    StartOver(name);
  }
}

// The program gives the column whose filter cell is being edited another field, SALARY, while "a"
// typed into it waits there (by the field's name or the field itself): the text stays a condition on
// the text it was typed as, and a press on another record's cell moves there without an error box
// about it. So too when the cell, emptied, is given back the text it was loaded with (Esc): the
// filter is as it was then, and no error box tells of a text the user did not type.
TEST_P(FilterCellTyping, AFilterTextKeepsTheKindItWasTypedForThroughItsColumnsNewField) {
  TColumnEx* name = grid->Columns()->Items(1);
  TScopeExit back([&] { name->SetFieldName("NAME"); });
  const std::function<void()> byName = [&] { name->SetFieldName("SALARY"); };
  const std::function<void()> byField = [&] { name->SetField(ds.FieldByName("SALARY")); };
  const struct {
    const char* name;
    const std::function<void()>& bind;
    bool loaded;  // "sc" stored before, the cell emptied and Esc
  } ways[] = {
      {"typed, the field's name given", byName, false},
      {"typed, the field given", byField, false},
      {"loaded, emptied and restored by Esc", byName, true},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.name);
    errors.clear();
    ds.First();
    if (way.loaded) {
      name->STFilter()->SetFilterText("sc");
      grid->SetFocus();
      grid->ShowFilterEditor(1);
      Pump();
      ASSERT_EQ(Editor()->Text(), "~ 'sc'");
    } else {
      TypeIntoName("a");
    }
    way.bind();
    Pump();
    ASSERT_EQ(name->Field(), ds.FieldByName("SALARY"));
    if (way.loaded) {
      Editor()->SelectAll();
      Key(VK_BACK, 8);
      ASSERT_EQ(Editor()->Text(), "");
      Key(VK_ESCAPE);
      ASSERT_EQ(Editor()->Text(), "~ 'sc'");
    }
    EXPECT_TRUE(errors.empty()) << errors.front();
    const int row = 2 + static_cast<int>(&way - ways);  // (not where the case before pressed)
    Click(Cell(0, row), 5, 3);
    EXPECT_TRUE(errors.empty()) << errors.front();
    EXPECT_EQ(ds.FieldByName("N")->AsInteger(), row + 1) << "the press did not move the record";
    EXPECT_FALSE(grid->FilterEditorShown());
    EXPECT_EQ(name->STFilter()->FilterText(), way.loaded ? "sc" : "a");
    EXPECT_EQ(name->STFilter()->Expression().ExpressionType, stfvtString);
    EXPECT_EQ(name->STFilter()->GetFilterText(), way.loaded ? "~ 'sc'" : "~ 'a'");
    if (grid->FilterEditorShown()) Editor()->SetText("");  // (a text left there would be read again)
    StartOver(name);
    name->SetFieldName("NAME");
    Pump();
  }
}

INSTANTIATE_TEST_SUITE_P(EditorShown, FilterCellTyping, ::testing::Values(true, false),
                         [](const auto& Info) { return Info.param ? "Always" : "OnDemand"; });

}  // namespace
