// Neither of the grid's editors stands on a hidden column: whatever shows the in-place cell editor
// again or leaves it shown (the grid or its form shown, windows made again, the current column hidden
// while the grid is hidden, the always-shown editor, a layout, the dataset reopened, the filter row,
// an edit button, the editor's own Show), it shows only on a visible column, and the filter editor
// only on a visible column's filter cell.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "GridFormSupport.h"
#include "db/MemDataSet.h"
#include "grid/DBGridEx.h"
#include "grid/DBGridExFilterEdit.h"
#include "grid/DBGridExInplace.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"
#include "platform/rtl/ScopeExit.h"

using namespace gridtest;

namespace {

// The column menu a program gives the grid's titles: an item per column, ticked while the column
// shows, whose click shows or hides it. It opens without a loop of its own: the test clicks its items.
class TColumnMenu : public TPopupMenu {
 public:
  TColumnMenu(TComponent* Owner, TDBGridEx* Grid) : TPopupMenu(Owner), grid_(Grid) {}
  void Popup(int, int) override {
    ++popups;
    Items()->Clear();
    for (int i = 0; i < grid_->Columns()->Count(); ++i) {
      TColumnEx* column = grid_->Columns()->Items(i);
      auto* item = new TMenuItem(this);
      item->SetCaption(column->FieldName());
      item->SetChecked(column->Visible());
      item->SetAutoCheck(true);
      item->OnClick = [column, item](TObject*) { column->SetVisible(item->Checked()); };
      Items()->Add(item);
    }
  }
  int popups = 0;

 private:
  TDBGridEx* grid_;
};

// A focused grid over sessions with a look-up of their department's name (the departments a second
// dataset beside them), its filter row shown and an edit button on STATUS; the current column is
// SID.
class HiddenColumnEditor : public GridOnForm {
 protected:
  HiddenColumnEditor() : GridOnForm(Rect(40, 40, 600, 380), Rect(5, 5, 560, 300)) {}
  void SetUp() override {
    GridOnForm::SetUp();
    depts = std::make_unique<TMemDataSet>();
    depts->FieldDefs()->Add("DEPT_ID", ftInteger);
    depts->FieldDefs()->Add("DNAME", ftString, 20);
    for (int i = 1; i <= 3; ++i) depts->AddRow({i, "dept " + std::to_string(i)});
    sessions.FieldDefs()->Add("SID", ftInteger);
    sessions.FieldDefs()->Add("USERNAME", ftString, 20);
    sessions.FieldDefs()->Add("DEPT", ftInteger);
    sessions.FieldDefs()->Add("STATUS", ftString, 10);
    sessions.FieldDefs()->Add("ONLINE", ftBoolean);  // no column shows it unless a test adds one
    for (int i = 1; i <= 8; ++i)
      sessions.AddRow({i, "user " + std::to_string(i), 1 + i % 3, i % 3 ? "INACTIVE" : "ACTIVE", true});
    for (int i = 0; i < sessions.FieldDefs()->Count(); ++i)
      sessions.FieldDefs()->Items(i)->CreateField(&sessions);
    AddLookupField(&sessions, "DEPT_NAME", 20, "DEPT", depts.get(), "DEPT_ID", "DNAME");
    source.SetDataSet(&sessions);
    sessions.Open();
    for (const char* n : {"SID", "USERNAME", "DEPT_NAME", "STATUS"}) grid->Columns()->Add()->SetFieldName(n);
    grid->Columns()->Items(3)->EditButtons()->Add();
    grid->SetDataSource(&source);
    grid->STFilter()->SetVisible(true);
    grid->SetFocus();
    Pump();
  }

  void SetOption(TDBGridOption Option, bool On) {
    grid->SetOptions(On ? grid->Options() + Option : grid->Options() - Option);
    Pump();
  }
  void AlwaysShowEditor() {
    SetOption(dgEditing, true);
    SetOption(dgAlwaysShowEditor, true);
    if (!CellEditorShown()) Key(VK_F2);  // the option's layout may take the editor down again
  }
  TColumnEx* Column(int Index) { return grid->Columns()->Items(Index); }
  // Whether the in-place editor shows: it has a window and counts as shown (under a hidden grid too).
  bool CellEditorShown() { return grid->InplaceEditor() && grid->InplaceEditor()->Visible(); }
  // Neither editor shows on a hidden column.
  void ExpectNoEditorOnAHiddenColumn(const std::string& When) {
    if (CellEditorShown()) {
      TColumnEx* c = grid->FocusedColumn();
      EXPECT_TRUE(c && c->Visible()) << When << ": the cell editor is shown on hidden column " << grid->Col();
    }
    if (FilterEditorShows()) {
      const int c = grid->FilterColumn();
      EXPECT_TRUE(c >= 0 && c < grid->Columns()->Count() && Column(c)->Visible())
          << When << ": the filter editor is shown on hidden column " << c;
    }
  }
  void ShowGrid() {
    grid->SetVisible(true);
    Pump();
  }
  // A right click on a column's title opens the grid's column menu, whose item then hides the column.
  void HideByColumnMenu(int Index) {
    if (!columnMenu) {
      columnMenu = new TColumnMenu(form.get(), grid);
      grid->SetPopupMenu(columnMenu);
    }
    const int popups = columnMenu->popups;
    const TRect title = grid->CellRect(grid->DataToRawColumn(Index), 0);
    Mouse(WM_RBUTTONDOWN, title.Left + 3, title.Top + 3);
    Mouse(WM_RBUTTONUP, title.Left + 3, title.Top + 3);
    ASSERT_EQ(columnMenu->popups, popups + 1) << "the right click on the title opens no column menu";
    TMenuItem* item = columnMenu->Items()->Items(Index);
    ASSERT_TRUE(item->Checked());
    item->Click();
    Pump();
    ASSERT_FALSE(Column(Index)->Visible());
  }
  void HideGrid() {
    grid->SetVisible(false);
    Pump();
  }

  std::unique_ptr<TMemDataSet> depts;
  TColumnMenu* columnMenu = nullptr;
  TMemDataSet sessions;
  TDataSource source{nullptr};
};

// Reduced from a random walk: the editor stood on SID while the grid was hidden and the form's
// windows were made again; the column was hidden meanwhile, with no window to hide the editor's, and
// the editor came back with the grid on the hidden column.
TEST_F(HiddenColumnEditor, ComesBackHiddenWithTheGridAfterItsColumnHidWithoutAWindow) {
  SetOption(dgRowSelect, true);
  SetOption(dgRowSelect, false);
  grid->Columns()->Clear();
  Pump();
  SetOption(dgRowSelect, true);
  SetOption(dgRowSelect, false);
  SetOption(dgEditing, !grid->Options().Contains(dgEditing));
  SetOption(dgAlwaysShowEditor, true);
  Key(VK_F2);  // the option's layout took the editor down again
  ASSERT_TRUE(CellEditorShown());
  ASSERT_EQ(grid->FocusedColumn(), Column(0));
  HideGrid();
  depts.reset();
  Pump();
  form->RecreateWnd();
  Pump();
  grid->Columns()->Add();  // in place of the default columns
  Pump();
  Column(0)->SetVisible(false);
  Pump();
  ShowGrid();
  ExpectNoEditorOnAHiddenColumn("the grid shown");
}

// The filter editor the same way: its column hid while the grid had no window.
TEST_F(HiddenColumnEditor, FilterEditorComesBackHiddenAfterItsColumnHidWithoutAWindow) {
  grid->ShowFilterEditor(0);
  Pump();
  ASSERT_TRUE(FilterEditorShows());
  HideGrid();
  form->RecreateWnd();
  Pump();
  Column(0)->SetVisible(false);
  Pump();
  ShowGrid();
  ExpectNoEditorOnAHiddenColumn("the grid shown");
}

// The filter editor's window made again while its cell may no longer be edited (the cells selected,
// or the column's filter cell hidden, while the grid had no window): it comes back hidden.
TEST_F(HiddenColumnEditor, FilterEditorComesBackHiddenOverACellNoLongerEditedWithoutAWindow) {
  const struct {
    const char* name;
    std::function<void()> run;
  } ways[] = {
      {"the cells selected", [&] { grid->Selection()->SelectAll(); }},
      {"the filter cell hidden", [&] { Column(1)->STFilter()->SetVisible(false); }},
  };
  for (const auto& way : ways) {
    grid->ShowFilterEditor(1);
    Pump();
    ASSERT_TRUE(FilterEditorShows()) << way.name;
    HideGrid();
    form->RecreateWnd();
    Pump();
    ASSERT_FALSE(grid->FilterEditor()->HandleAllocated()) << way.name;
    way.run();
    Pump();
    ShowGrid();
    EXPECT_FALSE(FilterEditorShows() && !grid->FilterEditorMayShow())
        << way.name << ": the filter editor shows over a cell no longer edited";
    grid->Selection()->Clear();
    Column(1)->STFilter()->SetVisible(true);
    grid->HideFilterEditor();
    Pump();
  }
}

// Reduced from a random walk: the filter editor placed over a grid without a window made the grid's
// window, whose layout freed the edited default column (its field no longer shown) and so ended the
// editing; the editor showed all the same, over no column.
TEST_F(HiddenColumnEditor, FilterEditorPlacedOverAGridWithoutAWindowShowsOnlyWhileItsCellIsEdited) {
  grid->Columns()->Clear();
  grid->SetAutoFitColWidths(true);
  Pump();
  HideGrid();
  form->RecreateWnd();
  Pump();
  ASSERT_FALSE(grid->HandleAllocated());
  {
    sessions.DisableControls();
    TScopeExit enable([this] { sessions.EnableControls(); });  // also when an assertion ends the test
    sessions.FieldByName("USERNAME")->SetVisible(false);       // the grid learns of it with its next layout
    grid->ShowFilterEditor(1);
    if (FilterEditorShows()) {
      EXPECT_TRUE(grid->FilterEditorShown()) << "the filter editor shows with no cell edited";
      ExpectNoEditorOnAHiddenColumn("the filter editor placed");
    }
  }
  ShowGrid();
  if (FilterEditorShows()) {
    EXPECT_TRUE(grid->FilterEditorShown()) << "the filter editor shows with no cell edited";
  }
  ExpectNoEditorOnAHiddenColumn("the grid shown");
}

// Reduced from a random walk: what was typed into a cell was written into the field of the column
// that stood there after the program had moved columns meanwhile; it goes to the field it was typed
// for.
TEST_F(HiddenColumnEditor, WhatWasTypedGoesToItsColumnsFieldAfterTheColumnsMoved) {
  grid->SetSelectedIndex(1);
  Key(VK_F2);
  ASSERT_TRUE(CellEditorShown());
  Type("zz");
  ASSERT_EQ(grid->InplaceEditor()->Text(), "user 1zz");
  Column(3)->SetIndex(1);  // STATUS now stands where USERNAME stood
  Pump();
  ASSERT_EQ(grid->FocusedColumn(), Column(1));
  sessions.Next();
  sessions.First();
  EXPECT_EQ(sessions.FieldByName("USERNAME")->AsString(), "user 1zz");
  EXPECT_EQ(sessions.FieldByName("STATUS")->AsString(), "INACTIVE");
}

// The program puts the current column on a hidden one and shows the editor itself.
TEST_F(HiddenColumnEditor, TheEditorsOwnShowLeavesItHiddenOnAHiddenColumn) {
  AlwaysShowEditor();
  ASSERT_TRUE(CellEditorShown());
  Column(1)->SetVisible(false);
  grid->SetCol(grid->DataToRawColumn(1));
  Pump();
  ASSERT_EQ(grid->FocusedColumn(), Column(1));
  grid->InplaceEditor()->Show();
  Pump();
  ExpectNoEditorOnAHiddenColumn("the editor's Show");
  EXPECT_FALSE(CellEditorShown());
}

// With the current column on a hidden one (put there by the program), nothing that shows the editor
// again puts it there: each way below runs in turn and neither editor may stand on the column after it.
TEST_F(HiddenColumnEditor, NoWayBackShowsAnEditorOnTheHiddenCurrentColumn) {
  AlwaysShowEditor();
  const struct {
    const char* name;
    std::function<void()> run;
  } ways[] = {
      {"the grid hidden and shown", [&] { HideGrid(), ShowGrid(); }},
      {"the form hidden and shown",
       [&] {
         form->Hide();
         Pump();
         form->Show();
       }},
      {"the form's window made again", [&] { form->RecreateWnd(); }},
      {"the form's window made again under a hidden grid",
       [&] {
         HideGrid();
         form->RecreateWnd();
         Pump();
         ShowGrid();
       }},
      {"the always-shown editor switched off and on",
       [&] {
         SetOption(dgAlwaysShowEditor, false);
         SetOption(dgAlwaysShowEditor, true);
       }},
      {"a column's width", [&] { Column(2)->SetWidth(Column(2)->Width() + 7); }},
      {"the grid's font", [&] { grid->Font()->SetSize(grid->Font()->Size() + 1); }},
      {"the grid resized", [&] { grid->SetBounds(5, 5, 500, 280); }},
      {"the grid's flat look", [&] { grid->SetFlat(!grid->Flat()); }},
      {"the dataset reopened",
       [&] {
         sessions.Close();
         sessions.Open();
       }},
      {"the filter row switched off and on",
       [&] {
         grid->STFilter()->SetVisible(false);
         Pump();
         grid->STFilter()->SetVisible(true);
       }},
      {"F2", [&] { Key(VK_F2); }},
      // from the hidden current column the click moves it to STATUS, and the editor comes up there
      {"a click on STATUS's edit button",
       [&] {
         const bool fromHidden = !grid->FocusedColumn()->Visible();
         const TRect cell = Cell(3, 0);
         Mouse(WM_LBUTTONDOWN, cell.Right - 4, cell.Top + 3);
         Mouse(WM_LBUTTONUP, cell.Right - 4, cell.Top + 3);
         if (!fromHidden) return;
         EXPECT_EQ(grid->FocusedColumn(), Column(3)) << "the click on STATUS's edit button";
         ASSERT_TRUE(CellEditorShown()) << "the click on STATUS's edit button";
         EXPECT_TRUE(PtInRect(cell, Middle(grid->InplaceEditor()->BoundsRect())))
             << "the editor stands outside STATUS's cell after the click on its edit button";
       }},
      {"ShowEditor", [&] { grid->ShowEditor(); }},
  };
  for (const auto& way : ways) {
    grid->SetCol(grid->DataToRawColumn(0));
    if (!CellEditorShown()) grid->ShowEditor();
    Pump();
    ASSERT_TRUE(CellEditorShown()) << way.name << ": the cell editor is not shown before its column hides";
    Column(0)->SetVisible(false);
    grid->SetCol(grid->DataToRawColumn(0));
    Pump();
    ASSERT_EQ(grid->FocusedColumn(), Column(0)) << way.name;
    way.run();
    Pump();
    ExpectNoEditorOnAHiddenColumn(way.name);
    // the filter editor on the column to be hidden next time
    Column(0)->SetVisible(true);
    Pump();
    grid->ShowFilterEditor(0);
    Pump();
    ASSERT_TRUE(FilterEditorShows()) << way.name
                                     << ": the filter editor is not shown before its column hides";
    Column(0)->SetVisible(false);
    Pump();
    way.run();
    Pump();
    ExpectNoEditorOnAHiddenColumn(std::string(way.name) + ", from the filter row");
    grid->HideFilterEditor();
    Column(0)->SetVisible(true);
    Pump();
  }
}

// What is typed after the edited filter cell's column hid goes into no filter: the column shows no
// filter cell any more, hidden by the program (STATUS) or by the user through the column menu
// (USERNAME).
TEST_F(HiddenColumnEditor, TypingGoesIntoNoFilterOfAColumnHiddenWhileItsCellWasEdited) {
  const struct {
    const char* name;
    int column;
    std::function<void()> hide;
  } ways[] = {
      {"STATUS hidden by the program", 3, [&] { Column(3)->SetVisible(false); }},
      {"USERNAME hidden through the column menu", 1, [&] { HideByColumnMenu(1); }},
  };
  for (const auto& way : ways) {
    grid->ShowFilterEditor(way.column);
    Pump();
    ASSERT_TRUE(FilterEditorShows()) << way.name;
    way.hide();
    Pump();
    EXPECT_FALSE(FilterEditorShows()) << way.name;
    Type("xyz");
    Key(VK_RETURN);
    EXPECT_EQ(Column(way.column)->STFilter()->FilterText(), "") << way.name;
    int rows = 0;
    for (sessions.First(); !sessions.Eof(); sessions.Next()) ++rows;
    EXPECT_EQ(rows, 8) << way.name << ": the rows are filtered";
    sessions.Cancel();
    Column(way.column)->SetVisible(true);
    Pump();
  }
}

// The editing of a filter cell ends when its column hides: the column shown again (by the program or
// through the column menu) brings no filter editor back by itself, and the focus stays with the grid.
TEST_F(HiddenColumnEditor, TheFilterCellsEditingEndsWhenItsColumnHides) {
  const struct {
    const char* name;
    std::function<void()> hide, show;
  } ways[] = {
      {"by the program", [&] { Column(1)->SetVisible(false); }, [&] { Column(1)->SetVisible(true); }},
      {"through the column menu", [&] { HideByColumnMenu(1); }, [&] { Column(1)->SetVisible(true); }},
  };
  for (const auto& way : ways) {
    grid->ShowFilterEditor(1);
    Pump();
    ASSERT_TRUE(FilterEditorShows()) << way.name;
    Type("us");
    way.hide();
    Pump();
    EXPECT_FALSE(FilterEditorShows()) << way.name;
    way.show();
    Pump();
    EXPECT_FALSE(FilterEditorShows()) << way.name << ": the filter editor came back with the column";
    EXPECT_FALSE(grid->FilterEditorShown()) << way.name << ": the filter cell is still edited";
    EXPECT_TRUE(grid->Focused()) << way.name;
    Column(1)->STFilter()->SetFilterText("");
    grid->HideFilterEditor();
    Pump();
  }
}

// With the current column on a hidden one (put there by the program or a restored layout), no key
// edits its field: neither Space nor Delete on a check box, nor typing, pasting or the key that copies
// the value above on a text; the arrows still take the user to a visible column.
TEST_F(HiddenColumnEditor, NoKeyChangesTheFieldOfAHiddenCheckBoxColumn) {
  SetOption(dgEditing, true);
  grid->Columns()->Add()->SetFieldName("ONLINE");
  Pump();
  ASSERT_EQ(Column(4)->GetColumnType(), ctCheckboxes);
  Column(4)->SetVisible(false);
  grid->SetCol(grid->DataToRawColumn(4));
  Pump();
  ASSERT_EQ(grid->FocusedColumn(), Column(4));
  TField* online = sessions.FieldByName("ONLINE");
  Key(VK_SPACE, U' ');
  EXPECT_TRUE(online->AsBoolean()) << "Space toggled the hidden check box";
  Key(VK_DELETE);
  EXPECT_FALSE(online->IsNull()) << "Delete cleared the hidden check box";
  EXPECT_EQ(sessions.State(), dsBrowse);
  sessions.Cancel();
  Key(VK_LEFT);
  EXPECT_TRUE(grid->FocusedColumn() && grid->FocusedColumn()->Visible());
}

TEST_F(HiddenColumnEditor, NoKeyChangesTheFieldOfAHiddenTextColumn) {
  SetOption(dgEditing, true);
  grid->SetEditActions(grid->EditActions() + geaPasteEx);
  const std::string clipboard = Clipboard()->AsText();
  TScopeExit restore([&] { Clipboard()->SetAsText(clipboard); });
  Column(1)->SetVisible(false);
  sessions.Next();  // a record above to copy from
  grid->SetCol(grid->DataToRawColumn(1));
  Pump();
  ASSERT_EQ(grid->FocusedColumn(), Column(1));
  const std::string row = sessions.FieldByName("USERNAME")->AsString() + "|" +
                          sessions.FieldByName("DEPT")->AsString() + "|" +
                          sessions.FieldByName("STATUS")->AsString();
  ASSERT_EQ(row, "user 2|3|INACTIVE");
  auto now = [&] {
    return sessions.FieldByName("USERNAME")->AsString() + "|" + sessions.FieldByName("DEPT")->AsString() +
           "|" + sessions.FieldByName("STATUS")->AsString();
  };
  Type("zz");
  EXPECT_FALSE(CellEditorShown()) << "typing";
  EXPECT_EQ(now(), row) << "typing";
  Key(VK_DELETE);
  EXPECT_EQ(now(), row) << "Delete";
  Clipboard()->SetAsText("dept 1\tACTIVE");
  Key('V', 0, {.ctrl = true});
  EXPECT_EQ(now(), row) << "Ctrl+V";
  Key(VK_INSERT, 0, {.shift = true});
  EXPECT_EQ(now(), row) << "Shift+Insert";
  Key(222, 0, {.ctrl = true});
  EXPECT_EQ(now(), row) << "Ctrl+' (the value above)";
  EXPECT_EQ(sessions.State(), dsBrowse);
  sessions.Cancel();
  Key(VK_RIGHT);
  EXPECT_TRUE(grid->FocusedColumn() && grid->FocusedColumn()->Visible());
}

// Within a batch of the columns a column that hid keeps its place on the screen until the batch ends:
// the cell editor does not show on it when the current column is there, neither for a typed key nor
// when the program asks, and its field takes nothing typed.
TEST_F(HiddenColumnEditor, NoEditorShowsOnTheCurrentColumnHiddenWithinABatchOfTheColumns) {
  SetOption(dgEditing, true);
  grid->SetSelectedIndex(1);  // USERNAME
  Pump();
  ASSERT_FALSE(CellEditorShown());
  grid->Columns()->BeginUpdate();
  Column(1)->SetVisible(false);
  ASSERT_EQ(grid->FocusedColumn(), Column(1));
  Type("zz");
  EXPECT_FALSE(CellEditorShown()) << "typing showed the editor on the hidden column";
  grid->ShowEditor();
  Pump();
  EXPECT_FALSE(CellEditorShown()) << "the program showed the editor on the hidden column";
  Type("zz");
  grid->Columns()->EndUpdate();
  Pump();
  EXPECT_EQ(sessions.FieldByName("USERNAME")->AsString(), "user 1");
  sessions.Cancel();
  Column(1)->SetVisible(true);
  Pump();
}

// The user hides the column being edited through the column menu: what was typed is written as a move
// off the cell writes it, with the always-shown editor as without it, and the field's error shows when
// it refuses the text.
class HiddenEditedColumn : public HiddenColumnEditor, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    HiddenColumnEditor::SetUp();
    Application->OnException = [this](TObject*, const Exception& E) { errors.push_back(E.Message()); };
  }
  void TearDown() override {
    Application->OnException = nullptr;
    HiddenColumnEditor::TearDown();
  }
  // The editor shown on a column, the text typed at its end.
  void TypeInto(int Index, const std::string& Text) {
    if (GetParam())
      AlwaysShowEditor();
    else
      SetOption(dgEditing, true);
    grid->SetSelectedIndex(Index);
    Pump();
    if (!CellEditorShown()) Key(VK_F2);
    ASSERT_TRUE(CellEditorShown());
    Key(VK_END);
    Type(Text);
  }
  std::vector<std::string> errors;
};

TEST_P(HiddenEditedColumn, WritesWhatWasTypedOrShowsTheFieldsError) {
  TypeInto(0, "9999999999");  // beyond an integer
  ASSERT_EQ(grid->InplaceEditor()->Text(), "19999999999");
  HideByColumnMenu(0);
  ExpectNoEditorOnAHiddenColumn("SID hidden");
  EXPECT_EQ(errors.size(), 1u) << "SID hid without the field's error";
  if (!errors.empty()) {
    EXPECT_NE(errors.front().find("19999999999"), std::string::npos) << errors.front();
  }
  EXPECT_EQ(sessions.FieldByName("SID")->AsInteger(), 1);

  TypeInto(1, "aa");
  ASSERT_EQ(grid->InplaceEditor()->Text(), "user 1aa");
  HideByColumnMenu(1);
  ExpectNoEditorOnAHiddenColumn("USERNAME hidden");
  if (CellEditorShown()) {
    EXPECT_NE(grid->InplaceEditor()->Text(), "user 1aa") << "the typed text went along with the editor";
  }
  Key(VK_DOWN);
  EXPECT_EQ(errors.size(), 1u) << "an error after the column hid";
  sessions.First();
  EXPECT_EQ(sessions.FieldByName("USERNAME")->AsString(), "user 1aa");
  EXPECT_EQ(sessions.FieldByName("SID")->AsInteger(), 1);
}

// Reduced from a random walk: a layout (the filter row switched off) took the editor down while what
// was typed was still to be written, and the column hid then; the next record move wrote the text into
// the hidden column, or showed the field's error about a column the user no longer saw. A column that
// hides settles what was typed into it then, whether its editor shows or not, and nothing is written
// into it afterwards.
TEST_P(HiddenEditedColumn, SettlesWhatWasTypedWhenItHidesWithTheEditorTakenDown) {
  const struct {
    const char* name;
    int column;
    std::function<void()> type;
    std::string written;  // the field's text once the column hid; empty when the field refuses it
  } ways[] = {
      {"USERNAME typed into", 1, [&] { Type("aa"); }, "user 1aa"},
      {"USERNAME emptied", 1,
       [&] {
         grid->InplaceEditor()->SelectAll();
         Key(VK_DELETE, 0, {.shift = true, .ctrl = true});  // cut
       },
       ""},
      {"SID past an integer", 0, [&] { Type("9999999999"); }, ""},
  };
  const std::string clipboard = Clipboard()->AsText();
  TScopeExit restore([&] { Clipboard()->SetAsText(clipboard); });
  for (const auto& way : ways) {
    errors.clear();
    sessions.First();
    TypeInto(way.column, "");
    way.type();
    const std::string typed = grid->InplaceEditor()->Text();
    grid->STFilter()->SetVisible(!grid->STFilter()->Visible());
    Pump();
    ASSERT_FALSE(CellEditorShown() && grid->InplaceEditor()->Text() != typed)
        << way.name << ": the layout took the editor's text";
    HideByColumnMenu(way.column);
    TField* field = Column(way.column)->Field();
    const bool refused = way.column == 0;
    if (refused) {
      EXPECT_EQ(errors.size(), 1u) << way.name << ": the column hid without the field's error";
    } else {
      EXPECT_TRUE(errors.empty()) << way.name << ": " << errors.front();
      EXPECT_EQ(field->AsString(), way.written) << way.name << ": the column hid with the text unwritten";
    }
    const std::string held = field->AsString();
    Key(VK_DOWN);
    EXPECT_EQ(errors.size(), refused ? 1u : 0u) << way.name << ": an error after the column hid";
    sessions.First();
    EXPECT_EQ(field->AsString(), held) << way.name << ": written into the hidden column after it hid";
    EXPECT_EQ(sessions.FieldByName("SID")->AsInteger(), 1) << way.name;
    Column(way.column)->SetVisible(true);
    sessions.Cancel();
    Pump();
  }
}

INSTANTIATE_TEST_SUITE_P(EditorShown, HiddenEditedColumn, ::testing::Values(true, false),
                         [](const auto& Info) { return Info.param ? "Always" : "OnDemand"; });

// Reduced from a random walk: the program moved the current column away, and a check-box column came
// to stand under the always-shown editor (shown beside an edited filter cell), which went on showing
// the moved column's text there.
TEST_F(HiddenColumnEditor, TheAlwaysShownEditorLeavesACellItCannotEditThatMovedUnderIt) {
  AlwaysShowEditor();
  TColumnEx* online = grid->Columns()->Add();
  online->SetFieldName("ONLINE");
  online->KeyList()->SetText("True\r\nFalse");
  online->SetCheckboxes(true);
  online->SetIndex(2);  // SID, USERNAME, ONLINE, DEPT_NAME, STATUS
  Pump();
  // USERNAME's filter cell edited: the cell editor shows beside it, put there by the grid on its own
  grid->ShowFilterEditor(1);
  Pump();
  ASSERT_EQ(grid->FocusedColumn(), Column(1));
  ASSERT_TRUE(CellEditorShown());
  ASSERT_FALSE(grid->EditorMode());
  ASSERT_EQ(grid->InplaceEditor()->Text(), "user 1");
  Column(1)->SetIndex(4);  // ONLINE comes under the editor
  Pump();
  ASSERT_EQ(grid->FocusedColumn(), online);
  EXPECT_FALSE(CellEditorShown()) << "the editor shows '" << grid->InplaceEditor()->Text()
                                  << "' over the check box";
}

}  // namespace
