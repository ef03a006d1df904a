// The look-up grid (its height for a number of rows, the special row chosen for its value or for a key
// missing from the list, the incremental search on a fake clock, the keys at the list's edges, a press
// ending however the grid learns of its end, the scroll bar with and without record numbers, moving
// columns, look-up mode) and the popup data grid (closing by the mouse inside and outside, hot tracking,
// never activated).
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "GridDataSupport.h"
#include "GridTestSupport.h"
#include "db/MemDataSet.h"
#include "grid/DBLookupGridEx.h"
#include "platform/db/DBConsts.h"
#include "platform/gui/StdCtrls.h"
#include "platform/gui/WinManager.h"

using namespace gridtest;

namespace {

constexpr int kSpecKey = -1;

// A list dataset that cannot number its records.
class TUnsequencedDataSet : public TMemDataSet {
  TALVIK_CLASS(TUnsequencedDataSet, TMemDataSet)

 public:
  using TMemDataSet::TMemDataSet;
  bool IsSequenced() override { return false; }

 protected:
  int GetRecNo() override { return -1; }
};

template <class DataSet>
void FillDepartments(DataSet& ds, int Count) {
  ds.FieldDefs()->Add("DEPTNO", ftInteger);
  ds.FieldDefs()->Add("DNAME", ftString, 40);
  ds.FieldDefs()->Add("LOC", ftString, 20);
  static const char* const kNames[] = {"ACCOUNTING", "RESEARCH", "SALES", "OPERATIONS", "Отдел кадров"};
  for (int i = 0; i < Count; ++i) {
    const std::string name = i < 5 ? kNames[i] : "DEPT " + std::to_string(1000 + i);
    ds.AddRow({(i + 1) * 10, name, "LOC" + std::to_string(i)});
  }
}

class LookupGrid : public GridGuiTest {
 protected:
  void SetUp() override {
    GridGuiTest::SetUp();
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(20, 20, 420, 320);
    other = new TEdit(form.get());
    other->SetParent(form.get());
    other->SetBounds(300, 280, 100, 21);
    form->Show();
    grid = new TDBLookupGridEx(form.get());
    grid->SetParent(form.get());
    grid->SetBounds(10, 10, 260, 100);
  }
  void TearDown() override {
    form.reset();
    GridGuiTest::TearDown();
  }
  void List(int Count = 8, bool Sequenced = true) {
    if (Sequenced) {
      list = std::make_unique<TMemDataSet>();
    } else {
      list = std::make_unique<TUnsequencedDataSet>();
    }
    FillDepartments(*list, Count);
    list->Open();
    source.SetDataSet(list.get());
    grid->SetListSource(&source);
    grid->SetKeyField("DEPTNO");
    grid->SetListField("DNAME");
    grid->SetRowCount(5);
    Drain();
  }
  void Special(bool ShowIfNotInKeyList = false) {
    grid->SpecRow()->SetCellsText("<none>");
    grid->SpecRow()->SetValue(kSpecKey);
    grid->SpecRow()->SetShowIfNotInKeyList(ShowIfNotInKeyList);
    grid->SpecRow()->SetVisible(true);
    Drain();
  }
  void Key(WORD Vk) {
    grid->Perform(WM_KEYDOWN, Vk, 0);
    grid->Perform(WM_KEYUP, Vk, 0);
  }
  void Type(char32_t Ch) { grid->Perform(WM_CHAR, Ch, 0); }
  int KeyInt() const { return grid->KeyValue().IsNull() ? 0 : grid->KeyValue().AsInteger(); }
  COLORREF Pixel(int X, int Y) { return FormPixel(form.get(), grid, X, Y); }
  // The middle of a data row (0-based).
  TPoint RowPoint(int DataRow) {
    const TRect r = grid->DataRect();
    return {20, r.Top + DataRow * grid->DefaultRowHeight() + grid->DefaultRowHeight() / 2};
  }
  std::unique_ptr<TForm> form;
  TEdit* other = nullptr;
  TDBLookupGridEx* grid = nullptr;
  std::unique_ptr<TMemDataSet> list;
  TDataSource source{nullptr};
};

// ---- rows and height

struct RowsCase {
  const char* name;
  int asked;
  int kept;
  bool titles;
};

class LookupGridRows : public LookupGrid, public ::testing::WithParamInterface<RowsCase> {};

TEST_P(LookupGridRows, ClampedAndTheClientHoldsExactlyThoseRows) {
  List(120);
  grid->SetShowTitles(GetParam().titles);
  grid->SetRowCount(GetParam().asked);
  Drain();
  EXPECT_EQ(grid->RowCount(), GetParam().kept);
  const int title = GetParam().titles ? grid->TitleRowHeight() : 0;
  EXPECT_EQ(grid->ClientHeight() - title, GetParam().kept * grid->DefaultRowHeight());
  EXPECT_EQ(grid->VisibleDataRowCount(), GetParam().kept);
}

INSTANTIATE_TEST_SUITE_P(Table, LookupGridRows,
                         ::testing::Values(RowsCase{"ZeroBecomesOne", 0, 1, false},
                                           RowsCase{"HundredFiftyBecomesHundred", 150, 100, false},
                                           RowsCase{"FiveStayFive", 5, 5, false},
                                           RowsCase{"FiveUnderTitles", 5, 5, true}),
                         [](const auto& Info) { return std::string(Info.param.name); });

TEST_F(LookupGrid, TheSpecialRowAddsOneRowOfHeight) {
  List();
  const int before = grid->Height();
  Special();
  EXPECT_EQ(grid->Height() - before, grid->DefaultRowHeight());
  EXPECT_EQ(grid->VisibleDataRowCount(), 5);
}

// ---- the special row

TEST_F(LookupGrid, TheSpecialRowIsChosenForItsValueAndDrawnHighlighted) {
  List();
  Special();
  grid->SetKeyValue(kSpecKey);
  EXPECT_TRUE(grid->SpecRowSelected());
  EXPECT_EQ(grid->SelectedText(), "<none>");
  const TRect spec = grid->SpecRowRect();
  EXPECT_EQ(Pixel(spec.Left + 40, spec.Top + spec.Height() / 2), ColorToRGB(clHighlight));
  // no data row shows chosen meanwhile
  EXPECT_NE(Pixel(RowPoint(0).X + 60, RowPoint(0).Y), ColorToRGB(clHighlight));
  ASSERT_TRUE(talvik::gui::RenderScreenToPng(ScreenshotDir() + "/grid-lookupgrid-specrow.png",
                                             Rect(20, 20, 300, 140)));

  grid->SetKeyValue(30);
  EXPECT_FALSE(grid->SpecRowSelected());
  EXPECT_EQ(grid->SelectedText(), "SALES");
  EXPECT_EQ(list->FieldByName("DEPTNO")->AsInteger(), 30);
  EXPECT_EQ(Pixel(RowPoint(2).X + 60, RowPoint(2).Y), ColorToRGB(clHighlight));
}

struct MissingKeyCase {
  const char* name;
  bool specialRow;
  bool showIfNotInKeyList;
  bool specSelected;
};

class LookupGridMissingKey : public LookupGrid, public ::testing::WithParamInterface<MissingKeyCase> {};

TEST_P(LookupGridMissingKey, LeavesTheFirstRecordWithoutHighlightOrChoosesTheSpecialRow) {
  List();
  if (GetParam().specialRow) Special(GetParam().showIfNotInKeyList);
  grid->SetKeyValue(30);
  grid->SetKeyValue(77);
  // the list leaves the record it was on only for its first one when nothing stands for the key
  EXPECT_EQ(list->RecNo(), GetParam().specSelected ? 3 : 1);
  EXPECT_EQ(grid->SpecRowSelected(), GetParam().specSelected);
  EXPECT_EQ(grid->SelectedText(), GetParam().specSelected ? "<none>" : "");
  for (int row = 0; row < 5; ++row)
    EXPECT_NE(Pixel(RowPoint(row).X + 60, RowPoint(row).Y), ColorToRGB(clHighlight)) << row;
}

INSTANTIATE_TEST_SUITE_P(Table, LookupGridMissingKey,
                         ::testing::Values(MissingKeyCase{"NoSpecialRow", false, false, false},
                                           MissingKeyCase{"SpecialRowOnlyForItsValue", true, false, false},
                                           MissingKeyCase{"ShowIfNotInKeyList", true, true, true}),
                         [](const auto& Info) { return std::string(Info.param.name); });

// ---- incremental search

TEST_F(LookupGrid, SearchTypesOnWithinThePauseAndStartsAgainAfterIt) {
  List();
  grid->SetKeyValue(10);
  Type(U'r');
  EXPECT_EQ(KeyInt(), 20);
  EXPECT_EQ(grid->SearchText(), "r");
  Advance(1999);
  Type(U'E');
  EXPECT_EQ(grid->SearchText(), "rE");
  EXPECT_EQ(KeyInt(), 20);
  Type(U'x');  // "rEx" matches nothing: the key and the text stay
  EXPECT_EQ(grid->SearchText(), "rE");
  EXPECT_EQ(KeyInt(), 20);
  Advance(2001);
  Type(U's');
  EXPECT_EQ(grid->SearchText(), "s");
  EXPECT_EQ(KeyInt(), 30);
  Type(U'\b');
  EXPECT_EQ(grid->SearchText(), "");
  // Cyrillic is searched without regard to case
  Type(U'о');
  Type(U'Т');
  EXPECT_EQ(KeyInt(), 50);
  EXPECT_EQ(grid->SearchText(), "оТ");
}

TEST_F(LookupGrid, SearchStopsAtThirtyTwoCharacters) {
  list = std::make_unique<TMemDataSet>();
  list->FieldDefs()->Add("DEPTNO", ftInteger);
  list->FieldDefs()->Add("DNAME", ftString, 60);
  const std::string longName = "Ж" + std::string(40, 'a');
  list->AddRow({1, "b"});
  list->AddRow({2, longName});
  list->Open();
  source.SetDataSet(list.get());
  grid->SetListSource(&source);
  grid->SetKeyField("DEPTNO");
  grid->SetListField("DNAME");
  for (char32_t c : Utf8Chars(longName)) Type(c);
  EXPECT_EQ(KeyInt(), 2);
  EXPECT_EQ(Utf8Length(grid->SearchText()), kLookupSearchMaxLength);
}

TEST_F(LookupGrid, SearchOnlyInStringFields) {
  List();
  grid->SetListField("DEPTNO");
  grid->SetKeyValue(10);
  Type(U'3');
  EXPECT_EQ(KeyInt(), 10);
  EXPECT_EQ(grid->SearchText(), "");
}

// ---- keys at the edges

TEST_F(LookupGrid, KeysMoveOntoAndOffTheSpecialRowAndStopAtTheEnds) {
  List(8);
  Special();
  grid->SetKeyValue(20);
  Key(VK_UP);
  EXPECT_EQ(KeyInt(), 10);
  Key(VK_UP);
  EXPECT_TRUE(grid->SpecRowSelected());
  EXPECT_EQ(KeyInt(), kSpecKey);
  Key(VK_UP);
  EXPECT_TRUE(grid->SpecRowSelected());
  Key(VK_DOWN);
  EXPECT_FALSE(grid->SpecRowSelected());
  EXPECT_EQ(KeyInt(), 10);
  Key(VK_END);
  EXPECT_EQ(KeyInt(), 80);
  Key(VK_DOWN);
  EXPECT_EQ(KeyInt(), 80);
  Key(VK_PRIOR);  // a page is the visible rows less one
  EXPECT_EQ(KeyInt(), 40);
  Key(VK_HOME);
  EXPECT_EQ(KeyInt(), 10);
  Key(VK_NEXT);
  EXPECT_EQ(KeyInt(), 50);
  // without a visible special row Up stays on the first record
  grid->SpecRow()->SetVisible(false);
  Key(VK_HOME);
  Key(VK_UP);
  EXPECT_EQ(KeyInt(), 10);
  EXPECT_FALSE(grid->SpecRowSelected());
}

TEST_F(LookupGrid, KeysFromAKeyOutsideTheListStartAtTheFirstRecord) {
  List(8);
  grid->SetKeyValue(555);
  Key(VK_DOWN);
  EXPECT_EQ(KeyInt(), 10);
  grid->SetKeyValue(555);
  Key(VK_UP);
  EXPECT_EQ(KeyInt(), 10);
}

// ---- the mouse

TEST_F(LookupGrid, APressChoosesTheRowOrTheSpecialRowAndEndsTheSearch) {
  List(8);
  Special();
  grid->SetKeyValue(10);
  Type(U's');
  ASSERT_EQ(grid->SearchText(), "s");
  TPoint p = RowPoint(3);
  grid->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.X, p.Y));
  grid->Perform(WM_LBUTTONUP, 0, MAKELPARAM(p.X, p.Y));
  EXPECT_EQ(grid->SearchText(), "");
  const int chosen = KeyInt();
  EXPECT_EQ(list->FieldByName("DEPTNO")->AsInteger(), chosen);
  const TRect spec = grid->SpecRowRect();
  grid->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, spec.Top + 2));
  grid->Perform(WM_LBUTTONUP, 0, MAKELPARAM(30, spec.Top + 2));
  EXPECT_TRUE(grid->SpecRowSelected());
  EXPECT_EQ(KeyInt(), kSpecKey);
}

TEST_F(LookupGrid, DraggingBeyondTheEdgesScrollsFasterFurtherAwayUpOntoTheSpecialRow) {
  List(20);
  Special();
  grid->SetKeyValue(20);
  TPoint p = RowPoint(1);
  // the button really held: the scrolling goes on while it is down
  const auto mouse = [this](UINT Message, TPoint At) {
    const TPoint s = grid->ClientToScreen(At);
    talvik::gui::InjectMouse(Message, POINT{s.X, s.Y}, {});
    talvik::gui::ProcessPending();
  };
  mouse(WM_LBUTTONDOWN, p);
  EXPECT_EQ(KeyInt(), 20);
  // 10 pixels below the rows: one record every 200 - 150 = 50 ms
  const int below = grid->ClientHeight() + 9;
  grid->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.X, below));
  Advance(50);
  EXPECT_EQ(KeyInt(), 30);
  Advance(50);
  Advance(50);
  EXPECT_EQ(KeyInt(), 50);
  // far above the top edge: no interval (the timers' shortest, 10 ms), one record up a tick, then the
  // special row
  grid->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.X, -40));
  for (int i = 0; i < 6; ++i) Advance(10);
  EXPECT_TRUE(grid->SpecRowSelected());
  EXPECT_EQ(KeyInt(), kSpecKey);
  mouse(WM_LBUTTONUP, {p.X, -40});
  const int key = KeyInt();
  Advance(200);
  EXPECT_EQ(KeyInt(), key);  // the release stopped the scrolling
}

// ---- the end of a press

// The look-up grid's press ends however the grid learns of its end, not only by its release: input that
// comes faster than the program reads it goes to the windows under the pointer as it comes, so of a
// quick drag out of the grid the grid takes the press (and the moves still over it) and the form the
// rest.
class LookupGridPressEnds : public LookupGrid {
 protected:
  void SetUp() override {
    LookupGrid::SetUp();
    List(20);
    grid->SetShowTitles(true);
    grid->SetKeyValue(20);
    grid->SetFocus();
    talvik::gui::ProcessPending();
  }
  POINT Screen(TPoint At) {
    const TPoint p = grid->ClientToScreen(At);
    return POINT{p.X, p.Y};
  }
  // Mouse input at points of the grid's client area, each read as it comes or all before any is read.
  void Mouse(UINT Message, TPoint At) {
    talvik::gui::InjectMouse(Message, Screen(At), {});
    talvik::gui::ProcessPending();
  }
  void Quick(std::initializer_list<std::pair<UINT, TPoint>> Input) {
    for (const auto& [message, at] : Input) talvik::gui::InjectMouse(message, Screen(at), {});
    talvik::gui::ProcessPending();
  }
  // Time going by, the timers falling due as often as they ask.
  static void TimePasses(unsigned Ms) {
    for (unsigned t = 0; t < Ms; t += 10) Advance(10);
  }
  // A point of the form above the grid.
  TPoint AboveTheGrid() const { return {20, -5}; }
};

// A quick press on a row and a release above the grid: the pointer then passing over the rows and below
// the grid, no button held, chooses nothing.
TEST_F(LookupGridPressEnds, APointerWithNoButtonHeldChoosesNothingAfterAReleaseElsewhere) {
  Quick({{WM_LBUTTONDOWN, RowPoint(1)}, {WM_MOUSEMOVE, AboveTheGrid()}, {WM_LBUTTONUP, AboveTheGrid()}});
  ASSERT_EQ(KeyInt(), 20);
  Mouse(WM_MOUSEMOVE, RowPoint(3));
  EXPECT_EQ(KeyInt(), 20) << "the key followed a pointer with no button held";
  Mouse(WM_MOUSEMOVE, {20, grid->ClientHeight() + 9});
  TimePasses(500);
  EXPECT_EQ(KeyInt(), 20) << "the list scrolled below a pointer with no button held";
  EXPECT_NE(GetCapture(), grid->Handle());
}

// A quick drag up over the titles and out above the grid: the move over the titles set the scrolling
// going, and the first tick, finding the button up, stops it.
TEST_F(LookupGridPressEnds, TheScrollingStopsAtATickThatFindsTheButtonUp) {
  const TPoint titles{20, grid->DataRect().Top - 4};
  Quick({{WM_LBUTTONDOWN, RowPoint(3)},
         {WM_MOUSEMOVE, titles},
         {WM_MOUSEMOVE, AboveTheGrid()},
         {WM_LBUTTONUP, AboveTheGrid()}});
  ASSERT_EQ(KeyInt(), 40);
  TimePasses(1000);
  EXPECT_EQ(KeyInt(), 40) << "the list scrolled on after the release";
  EXPECT_NE(GetCapture(), grid->Handle());
}

// The program drops a list down while the button is held below the grid: the list holds the mouse, the
// grid stops scrolling at once and leaves the mouse to the list.
TEST_F(LookupGridPressEnds, AListTakingTheMouseStopsTheScrollingOfAHeldButton) {
  auto* combo = new TComboBox(form.get());
  combo->SetParent(form.get());
  combo->SetBounds(300, 10, 100, 24);
  combo->Items()->SetText("один\nдва");
  Mouse(WM_LBUTTONDOWN, RowPoint(1));
  const TPoint below{20, grid->ClientHeight() + 9};  // a record every 50 ms
  Mouse(WM_MOUSEMOVE, below);
  TimePasses(50);
  EXPECT_EQ(KeyInt(), 30);
  combo->SetDroppedDown(true);
  talvik::gui::ProcessPending();
  EXPECT_NE(GetCapture(), grid->Handle());
  TimePasses(500);
  EXPECT_EQ(KeyInt(), 30) << "the list scrolled on after the combo box took the mouse";
  EXPECT_TRUE(combo->DroppedDown()) << "the grid took the mouse back";
  combo->SetDroppedDown(false);
  Mouse(WM_LBUTTONUP, below);
  EXPECT_EQ(KeyInt(), 30);
}

// ---- the scroll bar

TEST_F(LookupGrid, ScrollBarFollowsRecordNumbersOnASequencedList) {
  List(40);
  SCROLLINFO si;
  si.fMask = SIF_ALL;
  grid->SetKeyValue(400);
  ::GetScrollInfo(grid->Handle(), SB_VERT, si);
  EXPECT_EQ(si.nMin, 0);
  EXPECT_EQ(si.nMax, 39);
  EXPECT_EQ(si.nPage, 5u);
  EXPECT_EQ(si.nPos, si.nMax - static_cast<int>(si.nPage) + 1);  // the thumb at the end
  grid->Perform(WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 9), 0);
  EXPECT_EQ(list->RecNo(), 10);
  grid->Perform(WM_VSCROLL, SB_TOP, 0);
  EXPECT_EQ(list->RecNo(), 1);
}

TEST_F(LookupGrid, ScrollBarHasThreePositionsOnAnUnsequencedList) {
  List(40, false);
  SCROLLINFO si;
  si.fMask = SIF_ALL;
  grid->SetKeyValue(10);
  Key(VK_HOME);
  ::GetScrollInfo(grid->Handle(), SB_VERT, si);
  EXPECT_EQ(si.nMax, 4);
  EXPECT_EQ(si.nPos, 0);
  grid->Perform(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 4), 0);
  EXPECT_TRUE(list->Eof() || list->FieldByName("DEPTNO")->AsInteger() == 400);
  ::GetScrollInfo(grid->Handle(), SB_VERT, si);
  EXPECT_EQ(si.nPos, 4);
  const int before = list->FieldByName("DEPTNO")->AsInteger();
  grid->Perform(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 2), 0);  // the middle moves nothing
  EXPECT_EQ(list->FieldByName("DEPTNO")->AsInteger(), before);
  grid->Perform(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 0), 0);
  EXPECT_EQ(list->FieldByName("DEPTNO")->AsInteger(), 10);
}

// ---- columns

TEST_F(LookupGrid, MovingAColumnReordersTheSpecialRowAndRewritesListField) {
  List(8);
  grid->SetListField("DNAME;LOC;DEPTNO");
  grid->SpecRow()->SetCellsText("none;nowhere;0");
  grid->SpecRow()->SetVisible(true);
  ASSERT_EQ(grid->Columns()->Count(), 3);
  EXPECT_EQ(grid->DisplayedListField()->FieldName(), "DNAME");
  grid->Columns()->Items(0)->SetIndex(2);
  EXPECT_EQ(grid->ListField(), "LOC;DEPTNO;DNAME");
  EXPECT_EQ(grid->SpecRow()->CellsText(), "nowhere;0;none");
  EXPECT_EQ(grid->ListFieldIndex(), 2);
  auto* first = static_cast<TDBLookupGridColumnEx*>(grid->Columns()->Items(0));
  EXPECT_EQ(first->SpecCell()->Text(), "nowhere");
}

// ---- look-up mode

TEST_F(LookupGrid, ALookupFieldGivesTheListAndTheKeyIsWrittenToItsKeyField) {
  People people;
  grid->SetDataSource(&people.source);
  grid->SetDataField("DEPT_NAME");
  EXPECT_TRUE(grid->LookupMode());
  EXPECT_EQ(grid->ListSource(), nullptr);
  EXPECT_EQ(grid->KeyField(), "DEPT_ID");
  EXPECT_EQ(grid->MasterFieldNames(), "DEPT");
  EXPECT_EQ(KeyInt(), 1);
  EXPECT_EQ(grid->SelectedText(), "Sales");
  Key(VK_DOWN);
  EXPECT_EQ(people.F("DEPT")->AsInteger(), 2);
  EXPECT_EQ(grid->SelectedText(), "Accounts");
  for (auto set :
       {+[](TDBLookupGridEx* g) { g->SetKeyField("X"); }, +[](TDBLookupGridEx* g) { g->SetListField("X"); },
        +[](TDBLookupGridEx* g) { g->SetListSource(nullptr); }}) {
    try {
      set(grid);
      ADD_FAILURE() << "no error";
    } catch (const EDatabaseError& e) {
      EXPECT_NE(std::string(e.Message()).find(SPropDefByLookup), std::string::npos);
    }
  }
  people.ds.Next();
  EXPECT_EQ(KeyInt(), 3);
  EXPECT_EQ(grid->SelectedText(), "Research");
  grid->SetDataField("");
  EXPECT_FALSE(grid->LookupMode());
}

// A list whose master is the edited record's source.
class TDetailDataSet : public TMemDataSet {
  TALVIK_CLASS(TDetailDataSet, TMemDataSet)

 public:
  using TMemDataSet::TMemDataSet;
  TDataSource* Master = nullptr;
  TDataSource* GetDataSource() const override { return Master; }
};

TEST_F(LookupGrid, AListLinkedToTheEditedSourceIsRefusedAsCircular) {
  People people;
  TDetailDataSet detail;
  FillDepartments(detail, 2);
  detail.Master = &people.source;
  detail.Open();
  source.SetDataSet(&detail);
  grid->SetListSource(&source);
  grid->SetKeyField("DEPTNO");
  grid->SetDataSource(&people.source);
  try {
    grid->SetDataField("DEPT");
    ADD_FAILURE() << "no error";
  } catch (const EDatabaseError& e) {
    EXPECT_NE(std::string(e.Message()).find(SCircularDataLink), std::string::npos);
  }
  source.SetDataSet(nullptr);
}

// ---- the popup grid

class PopupDataGrid : public LookupGrid {
 protected:
  void SetUp() override {
    LookupGrid::SetUp();
    popup = new TPopupDataGridEx(form.get());
    popup->OnMouseCloseUp = [this](TObject*, bool Accept) { closes.push_back(Accept); };
    popup->OnUserKeyValueChange = [this](TObject*) { ++userChanges; };
    list = std::make_unique<TMemDataSet>();
    FillDepartments(*list, 8);
    list->Open();
    source.SetDataSet(list.get());
    popup->SetListSource(&source);
    popup->SetKeyField("DEPTNO");
    popup->SetListField("DNAME");
    popup->SetRowCount(5);
    popup->SetBounds(100, 150, 200, popup->HeightForRows(5));
    ShowWindow(popup->Handle(), SW_SHOWNOACTIVATE);
    popup->SetVisible(true);
    other->SetFocus();
    Drain();
  }
  TPoint Row(int DataRow) {
    const TRect r = popup->DataRect();
    return {20, r.Top + DataRow * popup->DefaultRowHeight() + popup->DefaultRowHeight() / 2};
  }
  TPopupDataGridEx* popup = nullptr;
  std::vector<bool> closes;
  int userChanges = 0;
};

TEST_F(PopupDataGrid, ReleaseInsideTheRowsAcceptsOutsideRejects) {
  TPoint p = Row(2);
  popup->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.X, p.Y));
  popup->Perform(WM_LBUTTONUP, 0, MAKELPARAM(p.X, p.Y));
  ASSERT_EQ(closes.size(), 1u);
  EXPECT_TRUE(closes[0]);
  EXPECT_EQ(popup->KeyValue().AsInteger(), 30);
  popup->Perform(WM_LBUTTONUP, 0, MAKELPARAM(p.X, -30));
  ASSERT_EQ(closes.size(), 2u);
  EXPECT_FALSE(closes[1]);
  popup->Perform(WM_LBUTTONUP, 0, MAKELPARAM(popup->ClientWidth() + 5, p.Y));
  ASSERT_EQ(closes.size(), 3u);
  EXPECT_FALSE(closes[2]);
}

TEST_F(PopupDataGrid, HotTrackingChoosesTheRowUnderAMovedMouseAndReportsAUserChange) {
  popup->SetKeyValue(10);
  userChanges = 0;
  TPoint p = Row(3);
  popup->Perform(WM_MOUSEMOVE, 0, MAKELPARAM(p.X, p.Y));
  EXPECT_EQ(popup->KeyValue().AsInteger(), 40);
  EXPECT_EQ(userChanges, 1);
  // a key set by code is no user change
  popup->SetKeyValue(20);
  EXPECT_EQ(userChanges, 1);
  // a mouse that did not move (the list scrolled under it) chooses nothing
  popup->Perform(WM_MOUSEMOVE, 0, MAKELPARAM(p.X, p.Y));
  EXPECT_EQ(popup->KeyValue().AsInteger(), 20);
  popup->SetReadOnly(true);
  p = Row(4);
  popup->Perform(WM_MOUSEMOVE, 0, MAKELPARAM(p.X, p.Y));
  EXPECT_EQ(popup->KeyValue().AsInteger(), 20);
}

TEST_F(PopupDataGrid, NeverActivatedNorFocusedAndItsGripFollowsItsSize) {
  EXPECT_EQ(popup->Perform(WM_MOUSEACTIVATE, 0, 0), MA_NOACTIVATE);
  TPoint p = Row(1);
  popup->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.X, p.Y));
  popup->Perform(WM_LBUTTONUP, 0, MAKELPARAM(p.X, p.Y));
  EXPECT_TRUE(other->Focused());
  EXPECT_EQ(GetWindowLong(popup->Handle(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW, WS_EX_TOOLWINDOW);
  popup->SizeGrip()->SetVisible(true);
  popup->SetBounds(100, 150, 240, 160);
  EXPECT_EQ(popup->SizeGrip()->Left() + popup->SizeGrip()->Width(), popup->ClientWidth());
  EXPECT_EQ(popup->SizeGrip()->Top() + popup->SizeGrip()->Height(), popup->ClientHeight());
  EXPECT_TRUE(popup->SizeChanged());
  popup->SetBounds(100, 150, 2, 2);
  EXPECT_GE(popup->Width(), GetSystemMetrics(SM_CXVSCROLL));
  EXPECT_GE(popup->Height(), GetSystemMetrics(SM_CYVSCROLL));
}

}  // namespace
