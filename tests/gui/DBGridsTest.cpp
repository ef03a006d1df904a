// The plain data grid and the data-aware label and rich edit following a TMemDataSet: columns from the
// fields, rows that follow the window, keys, wheel, mouse and scroll bar moving the dataset, editing
// through the in-place editor, cancel, insert, refresh, close and reopen, and DisableControls.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "GuiTestSupport.h"
#include "db/MemDataSet.h"
#include "platform/gui/Calendar.h"
#include "platform/gui/DBCtrls.h"
#include "platform/gui/DBGrids.h"
#include "platform/gui/Forms.h"
#include "platform/gui/GuiPrivate.h"
#include "platform/gui/Mask.h"
#include "platform/gui/WinManager.h"

using namespace guitest;
using talvik::gui::InjectKey;
using talvik::gui::InjectMouse;
using talvik::gui::ShiftKeys;

namespace {

constexpr ShiftKeys kCtrl{false, true, false};

void DefineSessions(TMemDataSet* ds, int count) {
  ds->FieldDefs()->Add("SID", ftInteger, 0, true);
  ds->FieldDefs()->Add("USERNAME", ftString, 60);
  ds->FieldDefs()->Add("CPU", ftFloat);
  ds->FieldDefs()->Add("INFO", ftMemo);
  for (int i = 1; i <= count; ++i)
    ds->AddRow(
        {i, i == 3 ? TVariant() : TVariant("Пользователь" + IntToStr(i)), i * 2.5,
         i == 2 ? TVariant("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 Строка\\par вторая}") : TVariant()});
}

class DBGrids : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    CreateApplication();
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(100, 100, 560, 400);
    ds = new TMemDataSet(form.get());
    DefineSessions(ds, 50);
    source = new TDataSource(form.get());
    source->SetDataSet(ds);
    grid = new TDBGrid(form.get());
    grid->SetParent(form.get());
    grid->SetBounds(10, 10, 500, 200);
    grid->SetDataSource(source);
    ds->Open();
  }
  void TearDown() override {
    form.reset();
    TCustomDBGrid::ConfirmDelete = nullptr;
    GuiTest::TearDown();
  }
  void ShowFocused() {
    form->Show();
    grid->SetFocus();
    Application->ProcessMessages();
  }
  static void Key(WORD vk, char32_t ch = 0, ShiftKeys shift = {}) {
    guitest::TypeKey(vk, ch, shift);
    Application->ProcessMessages();
  }
  static void Type(const std::string& utf8) {
    for (char32_t c : Utf8ToUtf32(utf8)) Key('A', c);
  }
  void Click(int x, int y) {
    FakeNow() += 1000;
    TPoint p = grid->ClientToScreen({x, y});
    InjectMouse(WM_MOUSEMOVE, p);
    InjectMouse(WM_LBUTTONDOWN, p);
    InjectMouse(WM_LBUTTONUP, p);
    Application->ProcessMessages();
  }
  int DataRows() { return grid->RowCount() - 1; }
  std::unique_ptr<TForm> form;
  TMemDataSet* ds = nullptr;
  TDataSource* source = nullptr;
  TDBGrid* grid = nullptr;
};

TEST_F(DBGrids, DefaultColumnsComeFromTheVisibleFieldsAndFollowThem) {
  ShowFocused();
  ASSERT_EQ(grid->Columns()->Count(), 4);
  EXPECT_EQ(grid->ColCount(), 5) << "the indicator and four fields";
  EXPECT_EQ(grid->Columns()->Items(1)->Title()->Caption(), "USERNAME");
  EXPECT_EQ(grid->Columns()->Items(2)->Alignment(), taRightJustify) << "a number aligns right";
  ds->FieldByName("CPU")->SetVisible(false);
  EXPECT_EQ(grid->Columns()->Count(), 3);
  ds->FieldByName("USERNAME")->SetDisplayLabel("Пользователь");
  EXPECT_EQ(grid->Columns()->Items(1)->Title()->Caption(), "Пользователь");
  // columns the program makes stay as they are
  grid->Columns()->Clear();
  TColumn* c = grid->Columns()->Add();
  c->SetFieldName("SID");
  c->Title()->SetCaption("№");
  c->SetWidth(40);
  EXPECT_EQ(grid->Columns()->State(), csCustomized);
  ds->FieldByName("CPU")->SetVisible(true);
  EXPECT_EQ(grid->Columns()->Count(), 1);
  EXPECT_EQ(grid->ColCount(), 2);
  EXPECT_EQ(grid->ColWidths(1), 40);
}

TEST_F(DBGrids, RowsFollowTheWindowNotTheRecordCount) {
  ShowFocused();
  const int pitch = grid->DefaultRowHeight() + 1;
  EXPECT_EQ(DataRows(), (grid->ClientHeight() - pitch) / pitch);
  EXPECT_EQ(grid->DataLink()->BufferCount(), DataRows());
  int before = DataRows();
  grid->SetHeight(grid->Height() + 3 * pitch);
  Application->ProcessMessages();
  EXPECT_EQ(DataRows(), before + 3);
  EXPECT_EQ(grid->DataLink()->BufferCount(), before + 3);
  EXPECT_EQ(grid->TopRow(), 1) << "the grid itself never scrolls its rows";
}

TEST_F(DBGrids, KeysAndWheelMoveTheDatasetAndTheRowFollows) {
  ShowFocused();
  Key(VK_DOWN);
  EXPECT_EQ(ds->RecNo(), 2);
  EXPECT_EQ(grid->Row(), 2);
  Key(VK_NEXT);
  EXPECT_EQ(ds->RecNo(), 2 + DataRows());
  EXPECT_EQ(grid->Row(), 1 + grid->DataLink()->ActiveRecord());
  Key(VK_END, 0, kCtrl);
  EXPECT_TRUE(ds->Eof() || ds->RecNo() == 50);
  EXPECT_EQ(grid->Row(), DataRows());
  Key(VK_HOME, 0, kCtrl);
  EXPECT_EQ(ds->RecNo(), 1);
  EXPECT_EQ(grid->Row(), 1);
  Key(VK_UP);
  EXPECT_EQ(ds->RecNo(), 1);
  TPoint p = grid->ClientToScreen({100, 100});
  InjectMouse(WM_MOUSEMOVE, p);
  InjectMouse(WM_MOUSEWHEEL, p, {}, -WHEEL_DELTA);
  InjectMouse(WM_MOUSEWHEEL, p, {}, -WHEEL_DELTA);
  Application->ProcessMessages();
  EXPECT_EQ(ds->RecNo(), 3);
  // columns move through the base grid
  Key(VK_RIGHT);
  EXPECT_EQ(grid->SelectedIndex(), 1);
  EXPECT_EQ(grid->SelectedField(), ds->FieldByName("USERNAME"));
}

TEST_F(DBGrids, TheProgramsKeyHandlerRunsOnceWithOrWithoutAnOpenDataset) {
  ShowFocused();
  int calls = 0;
  grid->OnKeyDown = [&](TObject*, WORD&, TShiftState) { ++calls; };
  Key(VK_RIGHT);
  EXPECT_EQ(calls, 1) << "a column key on an open dataset";
  ds->Close();
  Key(VK_RIGHT);
  EXPECT_EQ(calls, 2) << "a key with the dataset closed";
  EXPECT_TRUE(static_cast<bool>(grid->OnKeyDown)) << "the handler is still there afterwards";
}

TEST_F(DBGrids, ClicksMoveToTheRecordAndTellTheColumn) {
  ShowFocused();
  std::vector<std::string> clicked;
  grid->OnCellClick = [&](TColumn* c) { clicked.push_back(c->FieldName()); };
  grid->OnTitleClick = [&](TColumn* c) { clicked.push_back("title " + c->FieldName()); };
  TRect cell = grid->CellRect(2, 4);
  Click(cell.Left + 3, cell.Top + 3);
  EXPECT_EQ(ds->RecNo(), 4);
  EXPECT_EQ(grid->SelectedIndex(), 1);
  TRect title = grid->CellRect(3, 0);
  Click(title.Left + 3, title.Top + 3);
  EXPECT_EQ(clicked, (std::vector<std::string>{"USERNAME", "title CPU"}));
  EXPECT_EQ(ds->RecNo(), 4);
}

TEST_F(DBGrids, TheThumbShowsTheRecordNumberAndMovesToIt) {
  grid->SetScrollBars(ssBoth);
  ShowFocused();
  SCROLLINFO si;
  si.fMask = SIF_ALL;
  ASSERT_TRUE(GetScrollInfo(grid->Handle(), SB_VERT, si));
  EXPECT_EQ(si.nMin, 1);
  EXPECT_EQ(si.nPos, 1);
  EXPECT_EQ(static_cast<int>(si.nPage), DataRows());
  EXPECT_EQ(si.nMax, 50 + DataRows() - 1);
  si.fMask = SIF_POS;
  si.nPos = 40;
  SetScrollInfo(grid->Handle(), SB_VERT, si, false);
  SendMessage(grid->Handle(), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 40), 0);
  EXPECT_EQ(ds->RecNo(), 40);
  SendMessage(grid->Handle(), WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(ds->RecNo(), 41);
  EXPECT_EQ(GetScrollPos(grid->Handle(), SB_VERT), 41);
}

TEST_F(DBGrids, EditingWritesTheFieldAndLeavingTheRecordPostsIt) {
  ShowFocused();
  grid->SetSelectedIndex(1);
  Key(VK_F2);
  ASSERT_NE(grid->InplaceEditor(), nullptr);
  EXPECT_EQ(grid->InplaceEditor()->Text(), "Пользователь1");
  Type("Ж");
  EXPECT_EQ(ds->State(), dsEdit) << "the first change puts the record in edit";
  Key(VK_RETURN, U'\r');
  EXPECT_EQ(ds->FieldByName("USERNAME")->AsString(), "Пользователь1Ж");
  EXPECT_FALSE(grid->InplaceEditor()->Visible());
  Key(VK_DOWN);
  EXPECT_EQ(ds->State(), dsBrowse);
  ds->First();
  EXPECT_EQ(ds->FieldByName("USERNAME")->AsString(), "Пользователь1Ж");
  // a field's check of characters holds in the editor: digits only for the number
  grid->SetSelectedIndex(0);
  Key(VK_F2);
  Type("7x");
  Key(VK_RETURN, U'\r');
  EXPECT_EQ(ds->FieldByName("SID")->AsInteger(), 17);
}

TEST_F(DBGrids, EscTakesBackTheTextThenTheRecord) {
  ShowFocused();
  grid->SetSelectedIndex(1);
  Key(VK_F2);
  Type("Q");
  Key(VK_ESCAPE, 27);
  EXPECT_EQ(ds->FieldByName("USERNAME")->AsString(), "Пользователь1");
  EXPECT_EQ(ds->State(), dsEdit);
  Key(VK_ESCAPE, 27);
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(ds->FieldByName("USERNAME")->AsString(), "Пользователь1");
}

TEST_F(DBGrids, InsertAppendAndAnUntouchedInsertGoesAway) {
  ShowFocused();
  Key(VK_DOWN);
  Key(VK_INSERT);
  EXPECT_EQ(ds->State(), dsInsert);
  Key(VK_UP);
  EXPECT_EQ(ds->State(), dsBrowse) << "Up leaves an untouched new record";
  EXPECT_EQ(ds->RecordCount(), 50);
  Key(VK_END, 0, kCtrl);
  Key(VK_DOWN);
  EXPECT_EQ(ds->State(), dsInsert) << "Down past the last record appends";
  grid->SetSelectedIndex(0);
  Key(VK_F2);
  Type("99");
  Key(VK_RETURN, U'\r');
  Key(VK_UP);
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(ds->RecordCount(), 51);
  // deleting asks first
  std::string asked;
  TCustomDBGrid::ConfirmDelete = [&](const std::string& t) {
    asked = t;
    return false;
  };
  Key(VK_DELETE, 0, kCtrl);
  EXPECT_EQ(asked, "Delete record?");
  EXPECT_EQ(ds->RecordCount(), 51);
}

TEST_F(DBGrids, RowSelectionTurnsEditingOff) {
  grid->SetOptions(grid->Options() + TDBGridOptions{dgRowSelect, dgEditing});
  EXPECT_FALSE(grid->Options().Contains(dgEditing));
  ShowFocused();
  Key(VK_F2);
  EXPECT_TRUE(grid->InplaceEditor() == nullptr || !grid->InplaceEditor()->Visible());
  Key('A', U'a');
  EXPECT_EQ(ds->State(), dsBrowse);
}

TEST_F(DBGrids, EachDrawnRowShowsItsOwnRecord) {
  std::map<std::pair<int, std::string>, std::string> shown;
  grid->OnDrawColumnCell = [&](TObject*, const TRect& r, int, TColumn* c, TGridDrawState) {
    int row = grid->MouseCoord(r.Left + 1, r.Top + 1).Y;
    shown[{row, c->FieldName()}] = c->Field()->DisplayText();
  };
  ShowFocused();
  ds->MoveBy(5);
  talvik::gui::UpdateAllWindows(form->Handle());
  shown.clear();
  grid->Invalidate();
  talvik::gui::UpdateAllWindows(form->Handle());
  for (int row = 1; row <= DataRows(); ++row) {
    int recNo = row;  // the window starts at the first record
    EXPECT_EQ((shown[{row, "SID"}]), IntToStr(recNo)) << row;
  }
  EXPECT_EQ((shown[{3, "USERNAME"}]), "") << "null shows empty";
  EXPECT_EQ(ds->RecNo(), 6) << "drawing leaves the active record where it was";
}

TEST_F(DBGrids, RefreshCloseReopenAndDisabledControls) {
  ShowFocused();
  Key(VK_DOWN);
  Key(VK_DOWN);
  ds->Refresh();
  Application->ProcessMessages();
  EXPECT_EQ(grid->Row(), 1 + grid->DataLink()->ActiveRecord());
  ds->Close();
  EXPECT_EQ(grid->Columns()->Count(), 0);
  EXPECT_EQ(grid->ColCount(), 2);
  ds->Open();
  EXPECT_EQ(grid->Columns()->Count(), 4);
  EXPECT_EQ(grid->Row(), 1);
  ds->DisableControls();
  ds->MoveBy(3);
  EXPECT_EQ(grid->Row(), 1) << "the grid hears nothing while controls are disabled";
  ds->EnableControls();
  EXPECT_EQ(grid->Row(), 4);
  // a change of a field's value shows in the open editor
  grid->SetSelectedIndex(1);
  Key(VK_F2);
  ds->Edit();
  ds->FieldByName("USERNAME")->SetAsString("другой");
  EXPECT_EQ(grid->InplaceEditor()->Text(), "другой");
}

TEST_F(DBGrids, ScreenshotOfTheGridWithItsEditorOpenBesideAMaskedEditAndACalendar) {
  form->SetBounds(100, 100, 760, 420);
  auto* masked = new TMaskEdit(form.get());
  masked->SetParent(form.get());
  masked->SetBounds(520, 10, 150, 24);
  masked->SetEditMask("!99/99/0000;1;_");
  masked->SetText("07/12/20");
  auto* calendar = new TMonthCalendar(form.get());
  calendar->SetParent(form.get());
  calendar->SetBounds(520, 50, 220, 190);
  calendar->SetToday(EncodeDate(2026, 12, 7));
  calendar->SetDate(EncodeDate(2026, 12, 9));
  ShowFocused();
  Key(VK_DOWN);
  grid->SetSelectedIndex(1);
  Key(VK_F2);
  Type("_X");
  ASSERT_TRUE(grid->InplaceEditor()->Visible());
  const char* dir = std::getenv("TALVIK_BINARY_DIR");
  std::string shots = std::string(dir ? dir : ".") + "/screenshots";
  std::filesystem::create_directories(shots);
  ASSERT_TRUE(talvik::gui::RenderWindowToPng(form->Handle(), shots + "/dbgrid-editor.png"));
  // the editor lies over its cell; the indicator shows the record in edit
  TRect cell = grid->CellRect(2, 2);
  EXPECT_EQ(grid->InplaceEditor()->BoundsRect(), cell);
  EXPECT_EQ(ds->State(), dsEdit);
}

// ---------------------------------------------------------------- data-aware label and rich edit

TEST_F(DBGrids, DBTextAndRichEditFollowTheRecordAndShowNullEmpty) {
  auto* text = new TDBText(form.get());
  text->SetParent(form.get());
  text->SetBounds(10, 220, 200, 20);
  text->SetDataSource(source);
  text->SetDataField("USERNAME");
  auto* rich = new TDBRichEdit(form.get());
  rich->SetParent(form.get());
  rich->SetBounds(10, 250, 300, 100);
  rich->SetDataSource(source);
  rich->SetDataField("INFO");
  ShowFocused();
  EXPECT_FALSE(text->AutoSize());
  EXPECT_EQ(text->Width(), 200);
  EXPECT_EQ(text->FieldText(), "Пользователь1");
  EXPECT_TRUE(rich->ReadOnly());
  EXPECT_EQ(rich->ScrollBars(), ssBoth);
  EXPECT_EQ(rich->Text(), "");
  Key(VK_DOWN);
  EXPECT_EQ(text->FieldText(), "Пользователь2");
  EXPECT_EQ(rich->Text(), "Строка\r\nвторая");
  Key(VK_DOWN);
  EXPECT_EQ(text->FieldText(), "");
  EXPECT_EQ(rich->Text(), "");
  ds->Close();
  EXPECT_EQ(text->FieldText(), "");
  // the field's FocusControl reaches the windowed control through the installed handler
  ds->Open();
  ds->FieldByName("INFO")->SetVisible(false);  // the grid would take the focus for its own column
  ds->FieldByName("INFO")->FocusControl();
  EXPECT_TRUE(rich->Focused());
}

class TCountingDBText : public TDBText {
 public:
  using TDBText::TDBText;
  int Paints = 0;

 protected:
  void Paint() override {
    ++Paints;
    TDBText::Paint();
  }
};

// What a rectangle of the form shows, pixel by pixel.
std::vector<COLORREF> Pixels(TForm* form, const TRect& r) {
  std::vector<COLORREF> out;
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) out.push_back(talvik::gui::WindowPixel(form->Handle(), x, y));
  return out;
}

TEST_F(DBGrids, DBTextPaintsAgainOnlyWhenItsTextChanges) {
  auto* status = new TMemDataSet(form.get());
  status->FieldDefs()->Add("STATUS", ftString, 20);
  for (const char* s : {"ACTIVE", "ACTIVE", "INACTIVE", "INACTIVE"}) status->AddRow({TVariant(s)});
  auto* statusSource = new TDataSource(form.get());
  statusSource->SetDataSet(status);
  auto* text = new TCountingDBText(form.get());
  text->SetParent(form.get());
  text->SetBounds(10, 220, 200, 20);
  text->SetDataSource(statusSource);
  text->SetDataField("STATUS");
  status->Open();
  ShowFocused();
  talvik::gui::UpdateAllWindows(form->Handle());
  // the label's area in the form's image (window coordinates: past the frame and caption)
  const TPoint origin = form->ScreenToClient(text->ClientToScreen({0, 0}));
  RECT client = talvik::gui::detail::ClientRectInWindow(form->Handle());
  const TRect area = Rect(client.Left + origin.X, client.Top + origin.Y, client.Left + origin.X + 200,
                          client.Top + origin.Y + 20);
  const std::vector<COLORREF> active = Pixels(form.get(), area);
  struct Step {
    const char* what;
    bool repainted;
  };
  const Step steps[] = {
      {"the same value on the next record", false}, {"another value", true}, {"the same value again", false}};
  for (const Step& step : steps) {
    text->Paints = 0;
    status->Next();
    talvik::gui::UpdateAllWindows(form->Handle());
    EXPECT_EQ(text->Paints > 0, step.repainted) << step.what;
  }
  EXPECT_EQ(text->FieldText(), "INACTIVE");
  const std::vector<COLORREF> inactive = Pixels(form.get(), area);
  EXPECT_NE(inactive, active) << "the new text is on screen";
  // and what shows is what a full repaint draws
  InvalidateRect(form->Handle(), nullptr, true);
  EXPECT_EQ(Pixels(form.get(), area), inactive);
  text->Paints = 0;
  status->Close();
  talvik::gui::UpdateAllWindows(form->Handle());
  EXPECT_GT(text->Paints, 0) << "closed: the text goes";
}

class TNotingDBGrid : public TDBGrid {
 public:
  using TDBGrid::TDBGrid;
  std::vector<std::pair<int, int>> Drawn;  // (raw column, row)

 protected:
  void DrawCell(int ACol, int ARow, TRect ARect, TGridDrawState AState) override {
    Drawn.emplace_back(ACol, ARow);
    TDBGrid::DrawCell(ACol, ARow, ARect, AState);
  }
};

TEST_F(DBGrids, RecordsReadAgainRepaintOnlyTheCellsThatChanged) {
  grid->SetVisible(false);
  auto* noting = new TNotingDBGrid(form.get());
  noting->SetParent(form.get());
  noting->SetBounds(10, 10, 500, 200);
  noting->SetDataSource(source);
  form->Show();
  noting->SetFocus();
  Application->ProcessMessages();
  talvik::gui::UpdateAllWindows(form->Handle());
  auto readAgain = [&](const std::function<void()>& change) {
    noting->Drawn.clear();
    ds->DisableControls();
    if (change) change();
    ds->First();
    ds->EnableControls();
    talvik::gui::UpdateAllWindows(form->Handle());
  };
  readAgain({});
  EXPECT_TRUE(noting->Drawn.empty()) << "nothing shows otherwise";
  // fewer records than rows: the rows below the last one stay as they are until records come into them
  const int rows = ds->RecordCount();
  readAgain([&] {
    while (ds->RecordCount() > 3) {
      ds->Last();
      ds->Delete();
    }
  });
  ASSERT_EQ(ds->RecordCount(), 3);
  for (const auto& [col, row] : noting->Drawn) EXPECT_GE(row, noting->TitleOffset() + 3) << "a row above";
  readAgain({});
  EXPECT_TRUE(noting->Drawn.empty()) << "the emptied rows are kept too";
  EXPECT_LT(ds->RecordCount(), rows);
  readAgain([&] {
    ds->SetRecNo(2);
    ds->Edit();
    ds->FieldByName("USERNAME")->SetAsString("Другой");
    ds->Post();
  });
  ASSERT_FALSE(noting->Drawn.empty());
  // the update area is one rectangle: at most the box from the current record's row to the cell
  const int nameCol = 2, changedRow = noting->TitleOffset() + 1;
  EXPECT_NE(std::find(noting->Drawn.begin(), noting->Drawn.end(), std::make_pair(nameCol, changedRow)),
            noting->Drawn.end());
  for (const auto& [col, row] : noting->Drawn) {
    EXPECT_LE(row, changedRow) << "a row below";
    EXPECT_LE(col, nameCol) << "a column right of the name";
  }
  // what shows is what a whole repaint draws
  const TRect area = Rect(10, 10, 510, 210);
  RECT client = talvik::gui::detail::ClientRectInWindow(form->Handle());
  const TRect inImage = Rect(client.Left + area.Left, client.Top + area.Top, client.Left + area.Right,
                             client.Top + area.Bottom);
  const std::vector<COLORREF> shown = Pixels(form.get(), inImage);
  InvalidateRect(form->Handle(), nullptr, true);
  RedrawWindow(noting->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
  EXPECT_EQ(Pixels(form.get(), inImage), shown);
}

struct RichCase {
  const char* name;
  const char* rtf;
  const char* plain;
};
class RichText : public ::testing::TestWithParam<RichCase> {};
TEST_P(RichText, GivesThePlainText) {
  EXPECT_EQ(RichTextToPlainText(GetParam().rtf), GetParam().plain);
}
const RichCase kRich[] = {
    {"NotRich", "просто текст", "просто текст"},
    {"Paragraphs", "{\\rtf1 one\\par two\\line three}", "one\r\ntwo\r\nthree"},
    {"TablesAreSkipped",
     "{\\rtf1{\\fonttbl{\\f0\\fswiss Arial;}}{\\colortbl;\\red0\\green0\\blue0;}\\f0 text}", "text"},
    {"IgnorableDestination", "{\\rtf1{\\*\\generator Riched20;}a}", "a"},
    {"EscapedBraces", "{\\rtf1 a\\{b\\}c\\\\d}", "a{b}c\\d"},
    {"CodePageCharacters", "{\\rtf1 \\'cf\\'f0\\'e8}", "При"},
    {"UnicodeWithFallback", "{\\rtf1 \\u1046?\\u-4000?}", "Ж\xEF\x81\xA0"},
    {"TrailingParagraphMark", "{\\rtf1 last\\par }", "last"},
};
INSTANTIATE_TEST_SUITE_P(Cases, RichText, ::testing::ValuesIn(kRich),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
