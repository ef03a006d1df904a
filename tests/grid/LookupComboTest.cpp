// The look-up combo box: the drop-down grid's rows and width, the special row's shortcut, the arrows at
// the list's edges, Delete against Required, look-up mode from a look-up field, free text in the
// drop-down style (emptied, with or without a field: no value, unless a blank special row was chosen),
// the not-in-list answer, pasting, the wheel, the mouse handed from the control to the open grid, and
// the picture of the open grid with its size grip.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "GridFormSupport.h"
#include "grid/DBLookupComboboxEx.h"
#include "platform/db/DBConsts.h"
#include "platform/gui/Clipbrd.h"

using namespace gridtest;

namespace {

class LookupCombo : public FormOverPeople {
 protected:
  LookupCombo() : FormOverPeople(TRect(40, 40, 500, 340), TRect(10, 250, 110, 271)) {}
  void SetUp() override {
    FormOverPeople::SetUp();
    combo = new TDBLookupComboboxEx(form.get());
    combo->SetParent(form.get());
    combo->SetBounds(10, 10, 150, 21);
  }
  void TearDown() override {
    form.reset();
    people.reset();
    list.reset();
    FormOverPeople::TearDown();
  }
  // A list of its own: Count departments, keys 10, 20, ...
  void OwnList(int Count) {
    list = std::make_unique<TMemDataSet>();
    list->FieldDefs()->Add("DEPTNO", ftInteger);
    list->FieldDefs()->Add("DNAME", ftString, 30);
    static const char* const kNames[] = {"ACCOUNTING", "RESEARCH", "SALES", "OPERATIONS"};
    for (int i = 0; i < Count; ++i)
      list->AddRow({(i + 1) * 10, i < 4 ? std::string(kNames[i]) : "DEPARTMENT NUMBER " + std::to_string(i)});
    list->Open();
    listSource.SetDataSet(list.get());
    combo->SetListSource(&listSource);
    combo->SetKeyField("DEPTNO");
    combo->SetListField("DNAME");
  }
  // Bound to the people's look-up field DEPT_NAME (the key DEPT).
  void BindLookup() {
    combo->SetDataSource(&people->source);
    combo->SetDataField("DEPT_NAME");
  }
  void Focus() {
    combo->SetFocus();
    Pump();
  }
  void Key(WORD Vk, TShiftState Shift = {}) {
    WORD k = Vk;
    combo->Perform(WM_KEYDOWN, k, 0);
    (void)Shift;
  }
  void Type(char32_t Ch) { combo->Perform(WM_CHAR, Ch, 0); }
  int KeyInt() const { return combo->KeyValue().IsNull() ? 0 : combo->KeyValue().AsInteger(); }
  TDBLookupComboboxEx* combo = nullptr;
  std::unique_ptr<TMemDataSet> list;
  TDataSource listSource{nullptr};
};

// ---- the drop-down's rows and width

struct RowsCase {
  const char* name;
  int records;
  int boxRows;
  int shown;
};

class LookupComboRows : public LookupCombo, public ::testing::WithParamInterface<RowsCase> {};

TEST_P(LookupComboRows, ASequencedListShowsNoMoreRowsThanRecords) {
  OwnList(GetParam().records);
  combo->DropDownBox()->SetRows(GetParam().boxRows);
  Focus();
  combo->DropDown();
  ASSERT_TRUE(combo->DroppedDown());
  EXPECT_EQ(combo->DataList()->RowCount(), GetParam().shown);
  EXPECT_EQ(combo->DataList()->VisibleDataRowCount(), GetParam().shown);
  combo->CloseUp(false);
}

INSTANTIATE_TEST_SUITE_P(Table, LookupComboRows,
                         ::testing::Values(RowsCase{"ThreeOfSeven", 3, 7, 3},
                                           RowsCase{"SevenOfTwenty", 20, 7, 7},
                                           RowsCase{"TwoOfTwo", 2, 2, 2}),
                         [](const auto& Info) { return std::string(Info.param.name); });

struct WidthCase {
  const char* name;
  int controlWidth;
  int boxWidth;
  bool asColumns;  // else as the control
};

class LookupComboWidth : public LookupCombo, public ::testing::WithParamInterface<WidthCase> {};

TEST_P(LookupComboWidth, ZeroTheControlMinusOneTheColumnsNeverNarrower) {
  OwnList(6);
  combo->SetListField("DNAME;DEPTNO");
  combo->SetWidth(GetParam().controlWidth);
  combo->DropDownBox()->SetWidth(GetParam().boxWidth);
  combo->DropDownBox()->SetAutoFitColWidths(false);
  Focus();
  combo->DropDown();
  TPopupDataGridEx* grid = combo->DataList();
  const int columns = grid->ColumnsWidth() + (grid->Width() - grid->ClientWidth());
  if (GetParam().asColumns)
    EXPECT_EQ(grid->Width(), columns);
  else
    EXPECT_EQ(grid->Width(), GetParam().controlWidth);
  EXPECT_GE(grid->Width(), combo->Width());
  combo->CloseUp(false);
}

INSTANTIATE_TEST_SUITE_P(Table, LookupComboWidth,
                         ::testing::Values(WidthCase{"ZeroIsTheControl", 150, 0, false},
                                           WidthCase{"MinusOneIsTheColumns", 60, -1, true},
                                           WidthCase{"MinusOneNeverNarrowerThanTheControl", 420, -1, false}),
                         [](const auto& Info) { return std::string(Info.param.name); });

// ---- keys

TEST_F(LookupCombo, AltDelChoosesTheSpecialRow) {
  OwnList(4);
  combo->DropDownBox()->SpecRow()->SetCellsText("(нет)");
  combo->DropDownBox()->SpecRow()->SetValue(0);
  combo->DropDownBox()->SpecRow()->SetVisible(true);
  combo->SetKeyValue(20);
  EXPECT_EQ(combo->Text(), "RESEARCH");
  Focus();
  combo->Perform(WM_SYSKEYDOWN, VK_DELETE, LPARAM(KF_ALTDOWN) << 16);
  EXPECT_EQ(combo->KeyValue().AsInteger(), 0);
  EXPECT_EQ(combo->Text(), "(нет)");
}

TEST_F(LookupCombo, UpOnTheFirstStaysDownFromAMissingKeyGoesToTheFirst) {
  OwnList(4);
  Focus();
  combo->SetKeyValue(10);
  Key(VK_UP);
  EXPECT_EQ(KeyInt(), 10);
  Key(VK_DOWN);
  EXPECT_EQ(KeyInt(), 20);
  EXPECT_EQ(combo->Text(), "RESEARCH");
  EXPECT_EQ(combo->SelLength(), Utf8Length(combo->Text()));
  combo->SetKeyValue(999);
  EXPECT_EQ(combo->Text(), "");
  Key(VK_DOWN);
  EXPECT_EQ(KeyInt(), 10);
  Key(VK_END);  // no list key: the edit's own
  EXPECT_EQ(KeyInt(), 10);
}

TEST_F(LookupCombo, DeleteWithTheWholeTextSelectedClearsTheKeyUnlessRequired) {
  BindLookup();
  Focus();
  ASSERT_EQ(people->F("DEPT")->AsInteger(), 1);
  combo->SelectAll();
  Key(VK_DELETE);
  EXPECT_TRUE(people->F("DEPT")->IsNull());
  EXPECT_TRUE(combo->KeyValue().IsNull());
  EXPECT_EQ(combo->Text(), "");
  people->ds.Cancel();
  people->F("DEPT")->SetRequired(true);
  combo->SelectAll();
  Key(VK_DELETE);
  EXPECT_EQ(people->F("DEPT")->AsInteger(), 1);
  EXPECT_EQ(combo->Text(), "Sales");
}

TEST_F(LookupCombo, TypingSearchesThePrefixAndSelectsTheRest) {
  OwnList(4);
  Focus();
  Type(U'r');
  EXPECT_EQ(KeyInt(), 20);
  EXPECT_EQ(combo->Text(), "RESEARCH");
  EXPECT_EQ(combo->SelStart(), 1);
  EXPECT_EQ(combo->SelLength(), 7);
  Type(U'x');  // no "RX...": nothing changes
  EXPECT_EQ(KeyInt(), 20);
  Type(U'\b');  // the typed prefix shrinks: the whole text is selected
  EXPECT_EQ(combo->SelStart(), 0);
  Type(U's');
  EXPECT_EQ(KeyInt(), 30);
}

// ---- look-up mode

TEST_F(LookupCombo, ALookupFieldBringsTheListAndRefusesListProperties) {
  BindLookup();
  EXPECT_TRUE(combo->LookupMode());
  EXPECT_EQ(combo->ListSource(), nullptr);
  EXPECT_EQ(combo->KeyField(), "");
  EXPECT_EQ(combo->MasterFieldNames(), "DEPT");
  EXPECT_EQ(combo->Text(), "Sales");
  people->ds.Next();
  EXPECT_EQ(combo->Text(), "Research");
  for (auto set : {+[](TDBLookupComboboxEx* c) { c->SetKeyField("DEPT_ID"); },
                   +[](TDBLookupComboboxEx* c) { c->SetListField("DNAME"); },
                   +[](TDBLookupComboboxEx* c) { c->SetListSource(nullptr); }}) {
    try {
      set(combo);
      ADD_FAILURE() << "no error";
    } catch (const EDatabaseError& e) {
      EXPECT_NE(std::string(e.Message()).find(SPropDefByLookup), std::string::npos);
    }
  }
  Focus();
  Key(VK_DOWN);
  EXPECT_EQ(people->F("DEPT")->AsInteger(), 3);  // Research is the last department: Down stays
  Key(VK_UP);
  EXPECT_EQ(people->F("DEPT")->AsInteger(), 2);
  EXPECT_EQ(combo->Text(), "Accounts");
}

// ---- the drop-down style and writing back

TEST_F(LookupCombo, FreeTextIsWrittenAsTextInTheDropDownStyle) {
  // the key field is the name itself: a list of suggestions for a text field
  TMemDataSet names;
  names.FieldDefs()->Add("NAME", ftString, 20);
  names.AddRow({"Anna"});
  names.AddRow({"Boris"});
  names.Open();
  TDataSource namesSource(nullptr);
  namesSource.SetDataSet(&names);
  combo->SetStyle(csDropDownEx);
  combo->SetListSource(&namesSource);
  combo->SetKeyField("NAME");
  combo->SetDataSource(&people->source);
  combo->SetDataField("NAME");
  EXPECT_EQ(combo->Text(), "Ann");  // not a list entry: shown as written
  Focus();
  EXPECT_TRUE(combo->ListActive());
  combo->SelectAll();
  Type(U'B');
  EXPECT_EQ(combo->Text(), "Boris");
  EXPECT_EQ(combo->KeyValue().AsString(), "Boris");
  combo->SetSelStart(1);
  combo->SetSelLength(4);
  Type(U'e');
  Type(U'n');
  EXPECT_EQ(combo->Text(), "Ben");
  EXPECT_TRUE(combo->KeyValue().IsNull());
  other->SetFocus();
  Pump();
  EXPECT_EQ(people->F("NAME")->AsString(), "Ben");
  combo->SetListSource(nullptr);
}

// Without a field the control keeps its value itself, and in the drop-down style a text of its own
// is that value: emptied by the user, it holds none when the focus leaves, as the plain edit does. It
// wrote the key it held before back and showed that key's text again.
TEST_F(LookupCombo, FreeTextEmptiedWithoutAFieldLeavesNoValue) {
  combo->SetStyle(csDropDownEx);
  combo->SetValue(TVariant(std::string("Anna")));
  ASSERT_EQ(combo->Text(), "Anna");
  Focus();
  combo->SelectAll();
  Type(U'\b');
  ASSERT_EQ(combo->Text(), "");
  other->SetFocus();
  Pump();
  EXPECT_EQ(combo->Text(), "") << "the emptied text came back";
  EXPECT_TRUE(combo->Value().IsNull());
  // a text typed in its place is the value
  Focus();
  Type(U'B');
  other->SetFocus();
  Pump();
  EXPECT_EQ(combo->Text(), "B");
  EXPECT_EQ(combo->Value().AsString(), "B");
}

// Bound to a field, the drop-down style writes the key back when the focus leaves or the record is
// posted, and a text the user emptied clears the field, whichever key emptied it. Only a typed
// character looked the empty text up; emptied by Delete, Ctrl+Del or a cut key, the text still stood
// for the key it showed before: the field kept its value and the old text came back, the user's
// clearing silently undone.
TEST_F(LookupCombo, FreeTextEmptiedOverAFieldClearsTheField) {
  using talvik::gui::ShiftKeys;
  TDataSource depts(nullptr);
  depts.SetDataSet(&people->depts);
  // the key is the name itself: a list of suggestions for a text field
  TMemDataSet namesList;
  namesList.FieldDefs()->Add("NAME", ftString, 20);
  namesList.AddRow({"Ann"});
  namesList.AddRow({"Bob"});
  namesList.Open();
  TDataSource names(nullptr);
  names.SetDataSet(&namesList);
  const auto unbind = [&] {
    combo->SetDataSource(nullptr);
    combo->SetDataField("");
    combo->SetListSource(nullptr);
  };
  TScopeExit unbound(unbind);
  const struct {
    const char* name;
    std::function<void()> bind;
    const char* field;
    const char* text;
  } binds[] = {
      {"the key field with a list",
       [&] {
         combo->SetDataSource(&people->source);
         combo->SetDataField("DEPT");
         combo->SetKeyField("DEPT_ID");
         combo->SetListField("DNAME");
         combo->SetListSource(&depts);
       },
       "DEPT", "Sales"},
      {"a look-up field", [&] { BindLookup(); }, "DEPT", "Sales"},
      {"a text field with a list of names",
       [&] {
         combo->SetDataSource(&people->source);
         combo->SetDataField("NAME");
         combo->SetKeyField("NAME");
         combo->SetListField("NAME");
         combo->SetListSource(&names);
       },
       "NAME", "Ann"},
  };
  const auto selectAll = [] {
    FormInput::Key(VK_END);
    FormInput::Key(VK_HOME, 0, ShiftKeys{.shift = true});
  };
  const struct {
    const char* name;
    std::function<void()> empty;
    bool textOnly = false;  // a numeric field takes no Ctrl+Backspace, as the plain edit over it
  } empties[] = {
      {"its text selected and deleted",
       [&] {
         selectAll();
         FormInput::Key(VK_DELETE);
       }},
      {"its text deleted backwards",
       [&] {
         FormInput::Key(VK_END);
         for (int n = Utf8Length(combo->Text()); n > 0; --n) FormInput::Key(VK_BACK, 8);
       }},
      {"Ctrl+Del at its start",
       [&] {
         FormInput::Key(VK_HOME);
         FormInput::Key(VK_DELETE, 0, ShiftKeys{.ctrl = true});
       }},
      {"Ctrl+Backspace at its end",
       [&] {
         FormInput::Key(VK_END);
         FormInput::Key(VK_BACK, 127, ShiftKeys{.ctrl = true});
       },
       true},
      {"its text cut by Ctrl+X",
       [&] {
         selectAll();
         FormInput::Key('X', 24, ShiftKeys{.ctrl = true});
       }},
      {"its text cut by Shift+Del",
       [&] {
         selectAll();
         FormInput::Key(VK_DELETE, 0, ShiftKeys{.shift = true});
       }},
      {"its text cut from the menu",
       [&] {
         selectAll();
         combo->Perform(WM_CUT, 0, 0);
         Pump();
       }},
  };
  const struct {
    const char* name;
    std::function<void()> leave;
  } leaves[] = {
      {"the focus moving on",
       [&] {
         other->SetFocus();
         Pump();
       }},
      {"the record posted", [&] { people->ds.Post(); }},
  };
  combo->SetStyle(csDropDownEx);
  for (const auto& bind : binds)
    for (const auto& empty : empties)
      for (const auto& leave : leaves) {
        if (empty.textOnly && people->F(bind.field)->DataType() != ftString) continue;
        SCOPED_TRACE(std::string("bound to ") + bind.name + ", " + empty.name + ", left by " + leave.name);
        TField* field = people->F(bind.field);
        const TVariant before = field->Value();
        bind.bind();
        ASSERT_EQ(combo->Text(), bind.text);
        Focus();
        empty.empty();
        ASSERT_EQ(combo->Text(), "");
        leave.leave();
        EXPECT_TRUE(field->IsNull()) << "the field kept " << field->AsString() << " the user emptied";
        EXPECT_EQ(combo->Text(), "") << "the emptied text came back";
        EXPECT_TRUE(combo->KeyValue().IsNull());
        // unbound, and the record as it was
        other->SetFocus();
        Pump();
        if (people->ds.State() != dsBrowse) people->ds.Cancel();
        unbind();
        people->ds.Edit();
        field->SetValue(before);
        people->ds.Post();
      }
}

// A visible special row stands for what its text shows; without a field, the special row chosen by
// Alt+Del with a blank text is the value when the focus leaves, not a text the user emptied.
TEST_F(LookupCombo, ABlankSpecialRowChosenIsNoEmptiedText) {
  TDataSource depts(nullptr);
  depts.SetDataSet(&people->depts);
  TScopeExit unbind([&] { combo->SetListSource(nullptr); });
  combo->SetStyle(csDropDownEx);
  combo->SetListSource(&depts);
  combo->SetKeyField("DEPT_ID");
  combo->SetListField("DNAME");
  TSpecRowEx* spec = combo->DropDownBox()->SpecRow();
  spec->SetValue(0);
  spec->SetVisible(true);
  combo->SetValue(1);
  ASSERT_EQ(combo->Text(), "Sales");
  Focus();
  FormInput::Key(VK_DELETE, 0, talvik::gui::ShiftKeys{.alt = true});
  ASSERT_EQ(combo->Text(), "");
  ASSERT_EQ(KeyInt(), 0);
  ASSERT_FALSE(combo->Value().IsNull());
  other->SetFocus();
  Pump();
  EXPECT_FALSE(combo->Value().IsNull()) << "the special row's value was lost";
  EXPECT_EQ(KeyInt(), 0);
}

TEST_F(LookupCombo, NotInListMayAddTheTextAndAskForARecheck) {
  OwnList(2);
  combo->SetStyle(csDropDownEx);
  std::vector<std::string> asked;
  combo->OnNotInList = [&](TObject*, std::string NewText, bool& Recheck) {
    asked.push_back(NewText);
    list->AddRow({99, NewText});
    Recheck = true;
  };
  Focus();
  const std::string typed = "Логистика";
  for (char32_t c : Utf8Chars(typed)) Type(c);
  other->SetFocus();
  Pump();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], "Логистика");
  EXPECT_EQ(KeyInt(), 99);
  // a text that is a list entry asks nothing
  combo->SetFocus();
  Pump();
  combo->SelectAll();
  Type(U'A');
  other->SetFocus();
  Pump();
  EXPECT_EQ(asked.size(), 1u);
  EXPECT_EQ(KeyInt(), 10);
}

// ---- paste and the wheel

TEST_F(LookupCombo, PasteSearchesAsIfTypedAndTheWheelSteps) {
  OwnList(4);
  Focus();
  Clipboard()->SetAsText("sa");
  combo->Perform(WM_PASTE, 0, 0);
  EXPECT_EQ(KeyInt(), 30);
  EXPECT_EQ(combo->Text(), "SALES");
  combo->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), MAKELPARAM(60, 50));
  EXPECT_EQ(KeyInt(), 40);
  combo->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(60, 50));
  combo->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(60, 50));
  EXPECT_EQ(KeyInt(), 20);
}

// ---- the mouse

TEST_F(LookupCombo, APressDropsDownAndADragHandsTheMouseToTheGrid) {
  OwnList(6);
  combo->SetKeyValue(10);
  Focus();
  combo->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 8));
  ASSERT_TRUE(combo->DroppedDown());
  TPopupDataGridEx* grid = combo->DataList();
  const TRect rows = grid->DataRect();
  const TPoint inGrid{rows.Left + 20, rows.Top + 3 * grid->DefaultRowHeight() + 3};
  const TPoint at = combo->ScreenToClient(grid->ClientToScreen(inGrid));
  combo->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(at.X, at.Y));
  EXPECT_FALSE(combo->MouseCapture());
  EXPECT_EQ(grid->KeyValue().AsInteger(), 40);
  EXPECT_EQ(combo->Text(), "OPERATIONS");
  EXPECT_EQ(KeyInt(), 10);  // chosen only when the grid closes accepting
  grid->Perform(WM_LBUTTONUP, 0, MAKELPARAM(inGrid.X, inGrid.Y));
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(KeyInt(), 40);
  // a press on the text of the open grid closes it without accepting
  combo->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 8));
  ASSERT_TRUE(combo->DroppedDown());
  grid->Perform(WM_KEYDOWN, VK_DOWN, 0);
  combo->Perform(WM_LBUTTONUP, 0, MAKELPARAM(20, 8));
  combo->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 8));
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(KeyInt(), 40);
  EXPECT_EQ(combo->Text(), "OPERATIONS");
}

TEST_F(LookupCombo, EnterAcceptsEscRejectsAndTheOpenGridTakesTheArrows) {
  OwnList(6);
  combo->SetKeyValue(20);
  Focus();
  combo->DropDown();
  ASSERT_TRUE(combo->DroppedDown());
  EXPECT_EQ(combo->DataList()->KeyValue().AsInteger(), 20);
  Key(VK_DOWN);
  Key(VK_DOWN);
  EXPECT_EQ(KeyInt(), 20);
  Type(U'\x1b');
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(KeyInt(), 20);
  EXPECT_EQ(combo->Text(), "RESEARCH");
  combo->DropDown();
  Key(VK_DOWN);
  Type(U'\r');
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(KeyInt(), 30);
}

TEST_F(LookupCombo, TheDropDownGridPaintsThroughTheControlsCellEvent) {
  OwnList(3);
  std::vector<std::string> painted;
  combo->OnDropDownBoxGetCellParams = [&](TObject*, TColumnEx*, TFont*, TColor& Background, TGridDrawState) {
    painted.push_back(list->FieldByName("DNAME")->AsString());
    Background = clYellow;
  };
  Focus();
  combo->DropDown();
  ASSERT_TRUE(combo->DroppedDown());
  combo->DataList()->Repaint();
  Drain();
  EXPECT_NE(std::find(painted.begin(), painted.end(), "SALES"), painted.end());
  combo->CloseUp(false);
}

TEST_F(LookupCombo, DroppedDownWithItsSizeGrip) {
  BindLookup();
  combo->DropDownBox()->SetSizable(true);
  combo->DropDownBox()->SetShowTitles(true);
  combo->DropDownBox()->SpecRow()->SetCellsText("(нет отдела)");
  combo->DropDownBox()->SpecRow()->SetVisible(true);
  Focus();
  combo->DropDown();
  ASSERT_TRUE(combo->DroppedDown());
  TPopupDataGridEx* grid = combo->DataList();
  EXPECT_TRUE(grid->SizeGrip()->Visible());
  RECT r;
  GetWindowRect(grid->Handle(), r);
  const TPoint below = combo->ClientToScreen(TPoint{0, combo->Height()});
  EXPECT_EQ(r.Top, below.Y - (combo->Height() - combo->ClientHeight()) / 2);
  Drain();
  ASSERT_TRUE(talvik::gui::RenderScreenToPng(ScreenshotDir() + "/grid-lookupcombo-dropdown.png",
                                             Rect(40, 40, 260, 180)));
  combo->CloseUp(false);
}

}  // namespace
