// The grid's find dialog: the search engine stepping through a grid's dataset (directions, the next
// match in the same record, empty patterns per match type, Ctrl reversing, one column or all, case
// folding of Cyrillic, displayed against stored text), and the form driven through injected keys
// (the column choice, Enter and Esc, the pattern history, the not-found message, the modal dialog the
// grid opens with Ctrl+F), and the grid's columns freed under the open dialog.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "GridDataSupport.h"
#include "GridTestSupport.h"
#include "grid/DBGridExFindDlg.h"
#include "platform/gui/Dialogs.h"

namespace {

using namespace gridtest;
using talvik::gui::ShiftKeys;

// ID, NAME, CITY, SALARY (shown as "0.00")
struct FindData {
  TMemDataSet ds;
  TDataSource source{nullptr};
  FindData() {
    ds.FieldDefs()->Add("ID", ftInteger);
    ds.FieldDefs()->Add("NAME", ftString, 20);
    ds.FieldDefs()->Add("CITY", ftString, 20);
    ds.FieldDefs()->Add("SALARY", ftFloat);
    ds.AddRow({1, "Иванов", "Иваново", 10.0});
    ds.AddRow({2, "Петров", "Тверь", 12.5});
    ds.AddRow({3, "", "Омск", Null()});
    ds.AddRow({4, "Сидоров", "Иваново", 7.25});
    ds.AddRow({5, "петрова", "Москва", 12.0});
    source.SetDataSet(&ds);
  }
};

class FindFixture : public GridGuiTest {
 protected:
  void SetUp() override {
    GridGuiTest::SetUp();
    talvik::gui::SetMessageBoxHandler([this](HWND, const std::string& Text, const std::string&, UINT) {
      messages.push_back(Text);
      return IDOK;
    });
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 500, 260);
    grid = new TDBGridEx(form.get());
    grid->SetParent(form.get());
    grid->SetBounds(0, 0, 480, 240);
    grid->SetReadOnly(true);
    grid->SetDataSource(&data.source);
    for (const char* n : {"NAME", "CITY", "SALARY"}) grid->Columns()->Add()->SetFieldName(n);
    Column("SALARY")->SetDisplayFormat("0.00");
    Column("NAME")->Title()->SetCaption("Фамилия");
    Column("CITY")->Title()->SetCaption("Город");
    Column("SALARY")->Title()->SetCaption("Оклад");
    data.ds.Open();
    form->Show();
    Pump();
  }
  void TearDown() override {
    if (GridFindDialog()) delete GridFindDialog();
    form.reset();
    talvik::gui::SetMessageBoxHandler(nullptr);
    GridGuiTest::TearDown();
  }
  static void Pump() { talvik::gui::ProcessPending(); }
  static void Key(WORD Vk, char32_t Ch = 0, ShiftKeys Shift = {}) {
    TypeKey(Vk, Ch, Shift);
    Pump();
  }
  TColumnEx* Column(const std::string& Field) {
    for (int i = 0; i < grid->Columns()->Count(); ++i)
      if (grid->Columns()->Items(i)->FieldName() == Field) return grid->Columns()->Items(i);
    return nullptr;
  }
  // "<ID>:<field of the focused column>"
  std::string Where() {
    TColumnEx* c = grid->FocusedColumn();
    return std::to_string(data.ds.FieldByName("ID")->AsInteger()) + ":" + (c ? c->FieldName() : "?");
  }
  void GoTo(int Id) {
    data.ds.First();
    while (data.ds.FieldByName("ID")->AsInteger() != Id) data.ds.Next();
  }

  FindData data;
  std::unique_ptr<TForm> form;
  TDBGridEx* grid = nullptr;
  std::vector<std::string> messages;
};

// ---------------------------------------------------------------- the engine

struct FindCase {
  const char* name;
  int startId;
  const char* pattern;
  const char* column;  // nullptr: every column
  TGridFindMatchType matchType;
  TGridFindDirection direction;
  bool caseSensitive;
  bool useFormat;
  bool reverse;
  // what each search in turn ends on: "<ID>:<field>", or "-<ID>" for no match with the grid back on ID
  // (where that search started)
  const char* expected;
};

std::ostream& operator<<(std::ostream& os, const FindCase& c) {
  return os << c.name;
}

const FindCase kFindCases[] = {
    {"AllFindsAMatchBeforeTheCurrentRecord", 4, "Петров", "NAME", gfmAnyPart, gfdAll, true, true, false,
     "2:NAME -2"},
    {"DownMissesAMatchBeforeTheCurrentRecord", 4, "Петров", "NAME", gfmAnyPart, gfdDown, true, true, false,
     "-4"},
    {"AgainFindsTheNextMatchAlsoInTheSameRecord", 3, "иванов", nullptr, gfmAnyPart, gfdAll, false, true,
     false, "1:NAME 1:CITY 4:CITY -4"},
    {"DownStartsWithTheCurrentRecordsFirstColumn", 4, "Иваново", nullptr, gfmWholeField, gfdDown, false, true,
     false, "4:CITY -4"},
    {"UpStartsWithTheCurrentRecordsLastColumn", 4, "Иваново", nullptr, gfmWholeField, gfdUp, false, true,
     false, "4:CITY 1:CITY -1"},
    {"CtrlTurnsDownIntoUp", 4, "петров", "NAME", gfmAnyPart, gfdDown, false, true, true, "2:NAME -2"},
    {"WithoutCtrlDownGoesOn", 4, "петров", "NAME", gfmAnyPart, gfdDown, false, true, false, "5:NAME -5"},
    {"EmptyPatternFromTheStartMatchesEveryCell", 2, "", nullptr, gfmFromBeginning, gfdAll, false, true, false,
     "1:NAME 1:CITY 1:SALARY 2:NAME"},
    {"EmptyPatternWholeFieldMatchesEmptyCellsOnly", 1, "", nullptr, gfmWholeField, gfdAll, false, true, false,
     "3:NAME 3:SALARY -3"},
    {"CyrillicFoldsWithoutCase", 1, "ПЕТРОВА", "NAME", gfmWholeField, gfdAll, false, true, false,
     "5:NAME -5"},
    {"CyrillicKeepsCaseWithIt", 1, "ПЕТРОВА", "NAME", gfmWholeField, gfdAll, true, true, false, "-1"},
    {"FromTheStartNeedsTheFirstCharacters", 1, "ИВА", nullptr, gfmFromBeginning, gfdAll, false, true, false,
     "1:NAME 1:CITY 4:CITY -4"},
    {"OneColumnSearchesThatColumnOnly", 1, "Иваново", "CITY", gfmAnyPart, gfdAll, false, true, false,
     "1:CITY 4:CITY -4"},
    {"DisplayedTextWithFormat", 1, "12.50", "SALARY", gfmWholeField, gfdAll, false, true, false,
     "2:SALARY -2"},
    {"StoredValueWithoutFormat", 1, "12.50", "SALARY", gfmWholeField, gfdAll, false, false, false, "-1"},
    {"StoredValueMatchesItsOwnText", 1, "12.5", "SALARY", gfmWholeField, gfdAll, false, false, false,
     "2:SALARY -2"},
};

class FindEngine : public FindFixture, public ::testing::WithParamInterface<FindCase> {};

TEST_P(FindEngine, StepsFromMatchToMatch) {
  const FindCase& c = GetParam();
  TGridFindEngine engine;
  engine.SetGrid(grid);
  TColumnsExList columns;
  if (c.column) {
    columns.push_back(Column(c.column));
  } else {
    for (TColumnEx* col : grid->VisibleColumns()) columns.push_back(col);
  }
  engine.SetColumns(columns, c.direction);
  GoTo(c.startId);
  grid->SetSelectedIndex(0);
  TGridFindOptions o;
  o.MatchType = c.matchType;
  o.Direction = c.direction;
  o.CaseSensitive = c.caseSensitive;
  o.UseFormat = c.useFormat;
  std::istringstream steps(c.expected);
  std::string want;
  while (steps >> want) {
    const TGridFindResult r = engine.FindNext(c.pattern, o, c.reverse);
    if (want[0] == '-') {
      EXPECT_EQ(r, gfrNotFound) << want;
      EXPECT_EQ(std::to_string(data.ds.FieldByName("ID")->AsInteger()), want.substr(1));
    } else {
      EXPECT_EQ(r, gfrFound) << want;
      EXPECT_EQ(Where(), want);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EdgeCases, FindEngine, ::testing::ValuesIn(kFindCases),
                         [](const ::testing::TestParamInfo<FindCase>& i) {
                           return std::string(i.param.name);
                         });

TEST_F(FindFixture, NothingToSearchDoesNothing) {
  TGridFindEngine engine;
  TGridFindOptions o;
  EXPECT_EQ(engine.FindNext("x", o, false), gfrSkipped);
  engine.SetGrid(grid);
  EXPECT_EQ(engine.FindNext("Омск", o, false), gfrSkipped);  // no columns
  engine.SetColumns({Column("CITY")}, gfdAll);
  data.ds.Close();
  EXPECT_EQ(engine.FindNext("Омск", o, false), gfrSkipped);
  data.ds.Open();
  // a listed column that has gone with the grid's columns is dropped
  delete Column("CITY");
  EXPECT_EQ(engine.FindNext("Омск", o, false), gfrSkipped);
  EXPECT_TRUE(engine.Columns().empty());
}

// ---------------------------------------------------------------- the form

TEST_F(FindFixture, OpeningListsTheVisibleColumnsThenAllAndPreselectsTheFocusedOne) {
  Column("CITY")->SetVisible(false);
  grid->Columns()->Items(2)->SetIndex(0);  // SALARY first
  grid->SetSelectedIndex(Column("NAME")->Index());
  ExecuteGridFindDialog(grid, "Пет", false, nullptr);
  TDBGridExFindDlg* dlg = GridFindDialog();
  ASSERT_NE(dlg, nullptr);
  EXPECT_EQ(dlg->Owner(), Application);
  EXPECT_TRUE(dlg->Visible());
  EXPECT_EQ(dlg->FormStyle(), fsStayOnTop);
  EXPECT_EQ(dlg->Caption(), "Поиск");
  EXPECT_EQ(dlg->cbText->Text(), "Пет");
  EXPECT_EQ(dlg->ActiveControl(), dlg->cbText);
  TStrings* items = dlg->cbFindIn->Items();
  ASSERT_EQ(items->Count(), 3);
  EXPECT_EQ(items->Strings(0), "Оклад");
  EXPECT_EQ(items->Strings(1), "Фамилия");
  EXPECT_EQ(items->Strings(2), "<All>");
  EXPECT_EQ(items->Objects(1), Column("NAME"));
  EXPECT_EQ(items->Objects(2), nullptr);
  EXPECT_EQ(dlg->cbFindIn->ItemIndex(), 1);
  EXPECT_EQ(dlg->Engine().Columns(), TColumnsExList{Column("NAME")});
  EXPECT_EQ(dlg->cbMatchinType->Text(), "С любой части поля");
  EXPECT_EQ(dlg->cbFindDirection->Text(), "Все");
  EXPECT_FALSE(dlg->cbCharCase->Checked());
  EXPECT_TRUE(dlg->cbUseFormat->Checked());
  // "<All>" lists every entry's column but its own; the same dialog serves the next opening
  dlg->cbFindIn->SetItemIndex(2);
  EXPECT_EQ(dlg->Engine().Columns(), (TColumnsExList{Column("SALARY"), Column("NAME")}));
  TStringList entries;
  entries.AddObject("Город проживания", Column("CITY"));
  ExecuteGridFindDialog(grid, "", false, &entries);
  EXPECT_EQ(GridFindDialog(), dlg);
  ASSERT_EQ(items->Count(), 2);
  EXPECT_EQ(items->Strings(0), "Город проживания");
  EXPECT_EQ(dlg->cbFindIn->ItemIndex(), 1);  // no entry carries the focused column's caption
}

TEST_F(FindFixture, EnterSearchesRemembersThePatternAndEscClosesTheNonModalDialog) {
  GoTo(4);
  ExecuteGridFindDialog(grid, "", false, nullptr);
  TDBGridExFindDlg* dlg = GridFindDialog();
  dlg->cbFindIn->SetItemIndex(dlg->cbFindIn->Items()->Count() - 1);
  dlg->cbText->SetFocus();
  for (char32_t ch : std::u32string(U"омск")) Key(0, ch);
  EXPECT_EQ(dlg->cbText->Text(), "омск");
  Key(VK_RETURN, 13);
  EXPECT_EQ(Where(), "3:CITY");
  EXPECT_EQ(dlg->cbText->Items()->IndexOf("омск"), 0);
  EXPECT_FALSE(dlg->cbText->Modified());
  EXPECT_TRUE(dlg->Visible());
  // the next Enter finds nothing more: the message, and the grid back on the match
  Key(VK_RETURN, 13);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Строка \"омск\" не найдена.");
  EXPECT_EQ(Where(), "3:CITY");
  EXPECT_EQ(dlg->cbText->Items()->Count(), 1);  // searched before: not listed twice
  Key(VK_ESCAPE, 27);
  EXPECT_FALSE(dlg->Visible());
}

TEST_F(FindFixture, EnterAndEscGoToAnOpenListFirst) {
  ExecuteGridFindDialog(grid, "", false, nullptr);
  TDBGridExFindDlg* dlg = GridFindDialog();
  dlg->cbFindDirection->SetFocus();
  Key(VK_DOWN, 0, {false, false, true});  // Alt+Down opens the list
  ASSERT_TRUE(dlg->cbFindDirection->ListVisible());
  Key(VK_ESCAPE, 27);
  EXPECT_FALSE(dlg->cbFindDirection->ListVisible());
  EXPECT_TRUE(dlg->Visible());
  Key(VK_DOWN, 0, {false, false, true});
  Key(VK_UP);
  Key(VK_RETURN, 13);
  EXPECT_EQ(dlg->cbFindDirection->Text(), "Вниз");
  EXPECT_TRUE(messages.empty());  // Enter chose from the list and did not search
  EXPECT_TRUE(dlg->Visible());
}

TEST_F(FindFixture, CtrlFOpensTheModalDialogAndItsCancelButtonClosesIt) {
  grid->SetOptionsEx(grid->OptionsEx() + dghDialogFind);
  GoTo(2);
  grid->SetSelectedIndex(Column("CITY")->Index());
  // made once non-modally, so the test can watch it open again
  ExecuteGridFindDialog(grid, "", false, nullptr);
  TDBGridExFindDlg* dlg = GridFindDialog();
  dlg->Close();
  ASSERT_FALSE(dlg->Visible());
  bool modal = false;
  std::string text;
  dlg->OnShow = [&](TObject*) {
    modal = dlg->Modal();
    text = dlg->cbText->Text();
    // Ctrl goes up, then Esc: the cancel button answers it
    talvik::gui::InjectKey(VK_CONTROL, false, 0, {});
    talvik::gui::InjectKey(VK_ESCAPE, true, 27, {});
    talvik::gui::InjectKey(VK_ESCAPE, false, 0, {});
  };
  grid->SetFocus();
  Key('F', 0, {false, true, false});
  EXPECT_TRUE(modal);
  EXPECT_EQ(text, "Тверь");
  EXPECT_FALSE(dlg->Visible());
  EXPECT_EQ(dlg->ModalResult(), mrCancel);
  EXPECT_EQ(dlg->FormStyle(), fsNormal);
}

TEST_F(FindFixture, AFreedGridIsForgotten) {
  ExecuteGridFindDialog(grid, "Омск", false, nullptr);
  TDBGridExFindDlg* dlg = GridFindDialog();
  form.reset();
  grid = nullptr;
  EXPECT_EQ(dlg->Engine().Grid(), nullptr);
  EXPECT_EQ(dlg->cbFindIn->Items()->Count(), 0);
  dlg->bFind->Click();  // nothing to search: no message
  EXPECT_TRUE(messages.empty());
}

// ---------------------------------------------------------------- columns freed under the open dialog

// What the dialog holds of the grid's columns, compared by address only: a freed column is never read.
class FindFreedColumns : public FindFixture {
 protected:
  TDBGridExFindDlg* Open(const std::string& Text, TStrings* Entries = nullptr) {
    ExecuteGridFindDialog(grid, Text, false, Entries);
    return GridFindDialog();
  }
  bool Live(const TObject* Column) const {
    for (int i = 0; i < grid->Columns()->Count(); ++i)
      if (grid->Columns()->Items(i) == Column) return true;
    return false;
  }
  // The objects of the column choice's entries ("<All>" has none).
  static std::vector<const TObject*> Choice(TDBGridExFindDlg* Dlg) {
    std::vector<const TObject*> objects;
    TStrings* items = Dlg->cbFindIn->Items();
    for (int i = 0; i < items->Count(); ++i) objects.push_back(items->Objects(i));
    return objects;
  }
  // Every column the dialog names is one of the grid's; the entries' keys follow their captions.
  void ExpectOnlyLiveColumns(TDBGridExFindDlg* Dlg) {
    for (TColumnEx* c : Dlg->Engine().Columns()) EXPECT_TRUE(Live(c)) << "searched: " << c;
    const std::vector<const TObject*> objects = Choice(Dlg);
    for (std::size_t i = 0; i < objects.size(); ++i)
      EXPECT_TRUE(!objects[i] || Live(objects[i])) << "entry " << i << ": " << objects[i];
    EXPECT_EQ(Dlg->cbFindIn->KeyItems()->Text(), Dlg->cbFindIn->Items()->Text());
  }
  void Choose(TDBGridExFindDlg* Dlg, int Entry) {
    Dlg->cbFindIn->SetItemIndex(Entry);
    Dlg->cbFindInChange(Dlg->cbFindIn);
  }
};

TEST_F(FindFreedColumns, TheChosenColumnFreedLeavesTheChoiceAndAllSearchesTheRest) {
  TColumnEx* name = Column("NAME");
  TColumnEx* salary = Column("SALARY");
  grid->SetSelectedIndex(Column("CITY")->Index());
  TDBGridExFindDlg* dlg = Open("Сидоров");
  ASSERT_EQ(dlg->cbFindIn->Text(), "Город");
  delete Column("CITY");
  ExpectOnlyLiveColumns(dlg);
  EXPECT_EQ(Choice(dlg), (std::vector<const TObject*>{name, salary, nullptr}));
  EXPECT_EQ(dlg->cbFindIn->ItemIndex(), 2);
  EXPECT_EQ(dlg->cbFindIn->Text(), "<All>");
  EXPECT_EQ(dlg->Engine().Columns(), (TColumnsExList{name, salary}));
  dlg->bFind->Click();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(Where(), "4:NAME");
}

TEST_F(FindFreedColumns, AllGoesOnOverTheRemainingColumns) {
  TColumnEx* city = Column("CITY");
  TColumnEx* salary = Column("SALARY");
  TDBGridExFindDlg* dlg = Open("ов");
  Choose(dlg, 3);
  dlg->bFind->Click();
  ASSERT_EQ(Where(), "1:NAME");
  grid->Columns()->Delete(Column("NAME")->Index());
  ExpectOnlyLiveColumns(dlg);
  EXPECT_EQ(Choice(dlg), (std::vector<const TObject*>{city, salary, nullptr}));
  EXPECT_EQ(dlg->cbFindIn->Text(), "<All>");
  EXPECT_EQ(dlg->Engine().Columns(), (TColumnsExList{city, salary}));
  // the list changed: the search starts again from the first record
  std::string found;
  for (int i = 0; i < 3; ++i) {
    dlg->bFind->Click();
    found += Where() + " ";
  }
  EXPECT_EQ(found, "1:CITY 4:CITY 4:CITY ");
  EXPECT_EQ(messages.size(), 1u);
}

TEST_F(FindFreedColumns, AnotherColumnFreedKeepsTheChoiceAndTheSearchGoesOn) {
  TColumnEx* city = Column("CITY");
  TColumnEx* salary = Column("SALARY");
  TDBGridExFindDlg* dlg = Open("Иваново");
  Choose(dlg, 1);
  dlg->bFind->Click();
  ASSERT_EQ(Where(), "1:CITY");
  delete Column("NAME");  // the entry before the chosen one
  ExpectOnlyLiveColumns(dlg);
  EXPECT_EQ(Choice(dlg), (std::vector<const TObject*>{city, salary, nullptr}));
  EXPECT_EQ(dlg->cbFindIn->ItemIndex(), 0);
  EXPECT_EQ(dlg->cbFindIn->Text(), "Город");
  EXPECT_EQ(dlg->Engine().Columns(), TColumnsExList{city});
  dlg->bFind->Click();  // the next match, not the first one again
  EXPECT_EQ(Where(), "4:CITY");
  EXPECT_TRUE(messages.empty());
}

TEST_F(FindFreedColumns, TheCallersEntriesLoseTheFreedColumnToo) {
  TColumnEx* name = Column("NAME");
  TStringList entries;
  entries.AddObject("Город проживания", Column("CITY"));
  entries.AddObject("Имя", name);
  TDBGridExFindDlg* dlg = Open("Петров", &entries);
  Choose(dlg, 0);
  ASSERT_EQ(dlg->Engine().Columns(), TColumnsExList{Column("CITY")});
  grid->Columns()->Delete(Column("CITY")->Index());
  ExpectOnlyLiveColumns(dlg);
  EXPECT_EQ(Choice(dlg), (std::vector<const TObject*>{name, nullptr}));
  EXPECT_EQ(dlg->cbFindIn->Text(), "<All>");
  EXPECT_EQ(dlg->Engine().Columns(), TColumnsExList{name});
  dlg->bFind->Click();
  EXPECT_EQ(Where(), "2:NAME");
  EXPECT_TRUE(messages.empty());
}

TEST_F(FindFreedColumns, AColumnTheCallerListsTwiceTakesBothEntries) {
  TColumnEx* city = Column("CITY");
  TStringList entries;
  entries.AddObject("Фамилия", Column("NAME"));
  entries.AddObject("Город", city);
  entries.AddObject("Фамилия и имя", Column("NAME"));
  TDBGridExFindDlg* dlg = Open("Омск", &entries);
  Choose(dlg, 2);
  delete Column("NAME");
  ExpectOnlyLiveColumns(dlg);
  EXPECT_EQ(Choice(dlg), (std::vector<const TObject*>{city, nullptr}));
  EXPECT_EQ(dlg->cbFindIn->Text(), "<All>");
  EXPECT_EQ(dlg->Engine().Columns(), TColumnsExList{city});
}

TEST_F(FindFreedColumns, AChosenEntryWhoseCaptionRepeatsFallsBackToAll) {
  TColumnEx* city = Column("CITY");
  TStringList entries;
  entries.AddObject("Данные", Column("NAME"));
  entries.AddObject("Данные", city);
  TDBGridExFindDlg* dlg = Open("Омск", &entries);
  Choose(dlg, 0);
  ASSERT_EQ(dlg->Engine().Columns(), TColumnsExList{Column("NAME")});
  dlg->Hide();  // kept hidden between openings
  delete Column("NAME");
  ExpectOnlyLiveColumns(dlg);
  EXPECT_EQ(Choice(dlg), (std::vector<const TObject*>{city, nullptr}));
  EXPECT_EQ(dlg->cbFindIn->Text(), "<All>");
  EXPECT_EQ(dlg->Engine().Columns(), TColumnsExList{city});
  dlg->bFind->Click();
  EXPECT_EQ(Where(), "3:CITY");
  EXPECT_TRUE(messages.empty());
}

TEST_F(FindFreedColumns, DefaultColumnsRebuiltByALayoutChangeLeaveTheChoice) {
  grid->Columns()->Clear();  // default columns: ID, NAME, CITY, SALARY
  Pump();
  ASSERT_EQ(grid->Columns()->Count(), 4);
  TColumnEx* id = Column("ID");
  TColumnEx* name = Column("NAME");
  TColumnEx* salary = Column("SALARY");
  grid->SetSelectedIndex(Column("CITY")->Index());
  TDBGridExFindDlg* dlg = Open("Сидоров");
  ASSERT_EQ(dlg->Engine().Columns(), TColumnsExList{Column("CITY")});
  data.ds.FieldByName("CITY")->SetVisible(false);  // its default column goes
  Pump();
  ASSERT_EQ(Column("CITY"), nullptr);
  ExpectOnlyLiveColumns(dlg);
  EXPECT_EQ(Choice(dlg), (std::vector<const TObject*>{id, name, salary, nullptr}));
  EXPECT_EQ(dlg->cbFindIn->Text(), "<All>");
  dlg->bFind->Click();
  EXPECT_EQ(Where(), "4:NAME");
  EXPECT_TRUE(messages.empty());

  // a closed dataset leaves one column of no field, made anew by each layout pass
  data.ds.Close();
  Pump();
  ExpectOnlyLiveColumns(dlg);
  EXPECT_EQ(Choice(dlg), std::vector<const TObject*>{nullptr});
  EXPECT_TRUE(dlg->Engine().Columns().empty());
  dlg = Open("Сидоров");
  ASSERT_EQ(grid->Columns()->Count(), 1);
  ASSERT_EQ(Choice(dlg).size(), 2u);
  grid->SetFooterRowCount(1);
  Pump();
  ExpectOnlyLiveColumns(dlg);
  EXPECT_EQ(Choice(dlg), std::vector<const TObject*>{nullptr});
  EXPECT_TRUE(dlg->Engine().Columns().empty());
  dlg->bFind->Click();  // nothing left to search: no message
  EXPECT_TRUE(messages.empty());
}

TEST_F(FindFixture, Screenshot) {
  GoTo(2);
  ExecuteGridFindDialog(grid, "Иваново", false, nullptr);
  TDBGridExFindDlg* dlg = GridFindDialog();
  dlg->SetBounds(40, 120, dlg->Width(), dlg->Height());
  dlg->cbFindIn->SetItemIndex(dlg->cbFindIn->Items()->Count() - 1);
  dlg->bFind->Click();
  EXPECT_EQ(Where(), "1:CITY");
  Drain();
  EXPECT_TRUE(
      talvik::gui::RenderScreenToPng(ScreenshotDir() + "/grid-find-dialog.png", Rect(0, 0, 520, 330)));
}

}  // namespace
