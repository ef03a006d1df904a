// The base grid driven through messages and injected input: cell geometry under scrolling, hidden
// columns and right-to-left; counts that shrink; keys with refused cells; sizing and moving with the
// mouse; the automatic scroll on the fake clock; scroll-bar positions past 16 bits; and the in-place
// editor's protocol (the order of the grid's slots, key forwarding and reuse across cells, and what
// the program does to it while the grid has no window).
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "GuiTestSupport.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Grids.h"
#include "platform/gui/WinManager.h"

using namespace guitest;
using talvik::gui::InjectKey;
using talvik::gui::InjectMouse;
using talvik::gui::ShiftKeys;

namespace {

constexpr ShiftKeys kShift{true, false, false};
constexpr ShiftKeys kCtrl{false, true, false};

// An editor that reports the slots the grid drives on it.
class TLoggingEdit : public TInplaceEdit {
 public:
  TLoggingEdit(TComponent* owner, std::vector<std::string>* log) : TInplaceEdit(owner), log_(log) {}

 protected:
  void BoundsChanged() override {
    log_->push_back("BoundsChanged");
    TInplaceEdit::BoundsChanged();
  }
  void UpdateContents() override {
    log_->push_back("UpdateContents");
    TInplaceEdit::UpdateContents();
  }

 private:
  std::vector<std::string>* log_;
};

// A grid that keeps its cells' texts and logs the slots the base calls.
class TTestGrid : public TDrawGrid {
 public:
  using TDrawGrid::TDrawGrid;
  std::vector<std::string> log;
  std::map<std::pair<int, int>, std::string> texts;
  std::set<std::pair<int, int>> refused;
  int colWidthsChanged = 0, rowHeightsChanged = 0, topLeftChanged = 0, editorsMade = 0;
  std::vector<std::pair<int, int>> moved;
  std::vector<TGridScrollDirections> timed;
  bool modifiable = true;

  using TCustomGrid::CalcDrawInfo;
  using TCustomGrid::FocusCell;
  using TCustomGrid::GridState;
  TGridCoord Current() const { return {Col(), Row()}; }
  void Clear() { log.clear(); }

 protected:
  TInplaceEdit* CreateEditor() override {
    log.push_back("CreateEditor");
    ++editorsMade;
    return new TLoggingEdit(this, &log);
  }
  bool CanEditShow() override {
    log.push_back("CanEditShow");
    return TDrawGrid::CanEditShow();
  }
  std::string GetEditText(int c, int r) override {
    log.push_back("GetEditText");
    return texts[{c, r}];
  }
  std::string GetEditMask(int, int) override {
    log.push_back("GetEditMask");
    return {};
  }
  int GetEditLimit() override {
    log.push_back("GetEditLimit");
    return 0;
  }
  void SetEditText(int c, int r, const std::string& v) override {
    log.push_back("SetEditText " + std::to_string(c) + "," + std::to_string(r) + "=" + v);
    texts[{c, r}] = v;
  }
  bool CanEditModify() override { return modifiable; }
  bool SelectCell(int c, int r) override { return !refused.count({c, r}); }
  void ColWidthsChanged() override {
    ++colWidthsChanged;
    TDrawGrid::ColWidthsChanged();
  }
  void RowHeightsChanged() override {
    ++rowHeightsChanged;
    TDrawGrid::RowHeightsChanged();
  }
  void ColumnMoved(int from, int to) override {
    moved.push_back({from, to});
    TDrawGrid::ColumnMoved(from, to);
  }
  void TopLeftChanged() override {
    ++topLeftChanged;
    TDrawGrid::TopLeftChanged();
  }
  void TimedScroll(TGridScrollDirections d) override {
    timed.push_back(d);
    TDrawGrid::TimedScroll(d);
  }
};

class Grids : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    CreateApplication();
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(100, 100, 420, 320);
    grid = new TTestGrid(form.get());
    grid->SetParent(form.get());
    grid->SetBorderStyle(bsNone);
    grid->SetScrollBars(ssNone);
    grid->SetBounds(10, 10, 300, 200);
    grid->SetColCount(10);
    grid->SetRowCount(20);
  }
  void TearDown() override {
    form.reset();
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
  TPoint Screen(int x, int y) { return grid->ClientToScreen({x, y}); }
  void Mouse(UINT msg, int x, int y, ShiftKeys shift = {}) {
    guitest::MouseStep(msg, Screen(x, y), shift);
    Application->ProcessMessages();
  }
  static void Later(int ms) {
    talvik::gui::SetClock([] { return FakeNow(); });
    FakeNow() += static_cast<std::uint64_t>(ms);
  }
  std::unique_ptr<TForm> form;
  TTestGrid* grid = nullptr;
};

// ---------------------------------------------------------------- geometry

struct GeometryCase {
  const char* name;
  int fixedCols, fixedRows, leftCol, topRow;
  std::map<int, int> widths;  // columns with their own width
  bool rightToLeft;
  int col, row;
  TRect expected;  // empty: out of view
};

class GridGeometry : public Grids, public ::testing::WithParamInterface<GeometryCase> {};

// 10 columns of 64 and 20 rows of 24 with 1-pixel lines in a 300x200 client area.
const GeometryCase kGeometry[] = {
    {"FixedCorner", 1, 1, 1, 1, {}, false, 0, 0, Rect(0, 0, 64, 24)},
    {"FirstScrolledCell", 1, 1, 1, 1, {}, false, 1, 1, Rect(65, 25, 129, 49)},
    {"PartlyVisibleColumnIsCut", 1, 1, 1, 1, {}, false, 4, 1, Rect(260, 25, 300, 49)},
    {"ColumnPastTheWindow", 1, 1, 1, 1, {}, false, 5, 1, TRect{}},
    {"ScrolledDownFixedColumnFollows", 1, 1, 1, 12, {}, false, 0, 13, Rect(0, 50, 64, 74)},
    {"ScrolledOutRowIsEmpty", 1, 1, 1, 12, {}, false, 1, 11, TRect{}},
    {"ScrolledRightTitleFollows", 1, 1, 3, 1, {}, false, 4, 0, Rect(130, 0, 194, 24)},
    {"TwoFixedColumns", 2, 1, 2, 1, {}, false, 2, 1, Rect(130, 25, 194, 49)},
    {"HiddenColumnTakesNoRoom", 1, 1, 1, 1, {{2, 0}}, false, 3, 1, Rect(130, 25, 194, 49)},
    {"ColumnWidthMinusOneHides", 1, 1, 1, 1, {{1, -1}}, false, 2, 1, Rect(65, 25, 129, 49)},
    {"HiddenColumnItselfIsEmpty", 1, 1, 1, 1, {{2, 0}}, false, 2, 1, TRect{}},
    {"WideColumnOwnWidth", 1, 1, 1, 1, {{1, 100}}, false, 2, 1, Rect(166, 25, 230, 49)},
    {"RightToLeftMirrors", 1, 1, 1, 1, {}, true, 1, 1, Rect(171, 25, 235, 49)},
    {"RightToLeftFixedAtTheRight", 1, 1, 1, 1, {}, true, 0, 0, Rect(236, 0, 300, 24)},
};

TEST_P(GridGeometry, CellRectOfOneCell) {
  const GeometryCase& c = GetParam();
  grid->SetFixedCols(c.fixedCols);
  grid->SetFixedRows(c.fixedRows);
  for (auto [col, width] : c.widths) grid->SetColWidths(col, width);
  if (c.rightToLeft) grid->SetBiDiMode(bdRightToLeft);
  form->Show();
  grid->SetLeftCol(c.leftCol);
  grid->SetTopRow(c.topRow);
  ASSERT_EQ(grid->LeftCol(), c.leftCol);
  ASSERT_EQ(grid->TopRow(), c.topRow);
  TRect r = grid->CellRect(c.col, c.row);
  if (c.expected.IsEmpty()) {
    EXPECT_TRUE(r.IsEmpty()) << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom;
  } else {
    EXPECT_EQ(r, c.expected) << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom;
  }
}

// Every cell in view is found again at its own centre, whatever the scroll, hiding and direction.
TEST_P(GridGeometry, MouseCoordFindsEveryCellInViewAtItsCentre) {
  const GeometryCase& c = GetParam();
  grid->SetFixedCols(c.fixedCols);
  grid->SetFixedRows(c.fixedRows);
  for (auto [col, width] : c.widths) grid->SetColWidths(col, width);
  if (c.rightToLeft) grid->SetBiDiMode(bdRightToLeft);
  form->Show();
  grid->SetLeftCol(c.leftCol);
  grid->SetTopRow(c.topRow);
  int seen = 0;
  for (int row = 0; row < grid->RowCount(); ++row)
    for (int col = 0; col < grid->ColCount(); ++col) {
      TRect r = grid->CellRect(col, row);
      if (r.IsEmpty()) continue;
      ++seen;
      TGridCoord hit = grid->MouseCoord((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
      EXPECT_EQ(hit.X, col) << "row " << row;
      EXPECT_EQ(hit.Y, row) << "col " << col;
    }
  EXPECT_GT(seen, 20);
  EXPECT_EQ(grid->MouseCoord(c.rightToLeft ? 299 : 0, 199).Y, 7 + c.topRow - 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, GridGeometry, ::testing::ValuesIn(kGeometry),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Grids, DrawInfoAndVisibleCountsFollowTheWindow) {
  form->Show();
  TGridDrawInfo info;
  grid->CalcDrawInfo(info);
  EXPECT_EQ(info.Horz.FixedBoundary, 65);
  EXPECT_EQ(info.Vert.FixedBoundary, 25);
  EXPECT_EQ(info.Horz.LastFullVisibleCell, 3);
  EXPECT_EQ(info.Vert.LastFullVisibleCell, 7);
  EXPECT_EQ(info.Vert.FullVisBoundary, 200);
  EXPECT_EQ(info.Horz.GridBoundary, 300);
  EXPECT_EQ(grid->VisibleColCount(), 3);
  EXPECT_EQ(grid->VisibleRowCount(), 7);
  grid->SetOptions(grid->Options() - TGridOptions{goVertLine, goFixedVertLine});
  grid->CalcDrawInfo(info);
  EXPECT_EQ(info.Horz.EffectiveLineWidth, 0);
  EXPECT_EQ(info.Horz.FixedBoundary, 64);
  EXPECT_EQ(grid->CellRect(2, 1).Left, 128);
}

TEST_F(Grids, GeometryCostsTheSameDeepInAHundredThousandRows) {
  grid->SetRowCount(100000);
  grid->SetRowHeights(99995, 40);
  form->Show();
  grid->SetTopRow(99990);
  EXPECT_EQ(grid->TopRow(), 99990);
  EXPECT_EQ(grid->CellRect(1, 99991), Rect(65, 50, 129, 74));
  EXPECT_EQ(grid->CellRect(1, 99995), Rect(65, 150, 129, 190));
  EXPECT_EQ(grid->MouseCoord(70, 160).Y, 99995);
  // the end: the last row shows whole at the bottom
  grid->SetTopRow(100000);
  EXPECT_EQ(grid->TopRow(), 99994);
  TRect last = grid->CellRect(1, 99999);
  EXPECT_LE(last.Bottom, 200);
  EXPECT_FALSE(last.IsEmpty());
}

TEST_F(Grids, ShrinkingCountsKeepTheFocusAndForgetExtentsOfGoneCells) {
  grid->SetColWidths(8, 100);
  grid->SetRowHeights(15, 50);
  form->Show();
  grid->FocusCell(8, 15, true);
  EXPECT_EQ(grid->Col(), 8);
  grid->SetColCount(5);
  grid->SetRowCount(10);
  EXPECT_EQ(grid->Col(), 4);
  EXPECT_EQ(grid->Row(), 9);
  EXPECT_EQ(grid->Selection(), (TGridRect{4, 9, 4, 9}));
  grid->SetColCount(10);
  grid->SetRowCount(20);
  EXPECT_EQ(grid->ColWidths(8), 64);
  EXPECT_EQ(grid->RowHeights(15), 24);
  // counts below the fixed ones take the fixed ones with them
  grid->SetColCount(1);
  EXPECT_EQ(grid->FixedCols(), 0);
  EXPECT_EQ(grid->Col(), 0);
}

TEST_F(Grids, DefaultRowHeightResetsEveryRow) {
  grid->SetRowHeights(3, 40);
  grid->SetDefaultRowHeight(18);
  EXPECT_EQ(grid->RowHeights(3), 18);
  EXPECT_EQ(grid->RowHeights(19), 18);
}

// ---------------------------------------------------------------- keys

TEST_F(Grids, KeysMoveTheFocusAndRefusedCellsStopIt) {
  grid->SetColWidths(3, 0);  // hidden: the arrows pass it
  ShowFocused();
  Key(VK_RIGHT);
  Key(VK_RIGHT);
  EXPECT_EQ(grid->Col(), 4);
  grid->refused.insert({4, 2});
  Key(VK_DOWN);
  EXPECT_EQ(grid->Row(), 1) << "a refused cell keeps the focus where it was";
  grid->refused.clear();
  Key(VK_DOWN);
  EXPECT_EQ(grid->Row(), 2);
  Key(VK_NEXT);
  EXPECT_EQ(grid->Row(), 9);
  EXPECT_EQ(grid->TopRow(), 8);
  Key(VK_END, 0, kCtrl);
  EXPECT_EQ(grid->Current(), (TGridCoord{9, 19}));
  EXPECT_EQ(grid->TopRow(), 13);
  EXPECT_EQ(grid->LeftCol(), 7);
  Key(VK_HOME, 0, kCtrl);
  EXPECT_EQ(grid->Current(), (TGridCoord{1, 1}));
  EXPECT_EQ(grid->TopRow(), 1);
  Key(VK_DOWN, 0, kShift);
  Key(VK_RIGHT, 0, kShift);
  EXPECT_EQ(grid->Selection(), (TGridRect{1, 1, 2, 2}));
}

TEST_F(Grids, TabFollowsTheTabStopsAndWrapsToTheNextRow) {
  grid->SetOptions(grid->Options() + goTabs);
  grid->SetColCount(4);
  grid->SetTabStops(2, false);
  ShowFocused();
  Key(VK_TAB);
  EXPECT_EQ(grid->Current(), (TGridCoord{3, 1}));
  Key(VK_TAB);
  EXPECT_EQ(grid->Current(), (TGridCoord{1, 2}));
  Key(VK_TAB, 0, kShift);
  EXPECT_EQ(grid->Current(), (TGridCoord{3, 1}));
}

TEST_F(Grids, WheelMovesTheFocusedRow) {
  ShowFocused();
  TPoint p = Screen(100, 100);
  InjectMouse(WM_MOUSEMOVE, p);
  talvik::gui::InjectMouse(WM_MOUSEWHEEL, p, {}, -WHEEL_DELTA);
  Application->ProcessMessages();
  EXPECT_EQ(grid->Row(), 2);
  talvik::gui::InjectMouse(WM_MOUSEWHEEL, p, {}, WHEEL_DELTA);
  Application->ProcessMessages();
  EXPECT_EQ(grid->Row(), 1);
}

// ---------------------------------------------------------------- scroll bars

TEST_F(Grids, ThumbPositionsPastSixteenBitsReachTheirRow) {
  grid->SetScrollBars(ssVertical);
  grid->SetRowCount(100000);
  form->Show();
  SCROLLINFO si;
  si.fMask = SIF_ALL;
  ASSERT_TRUE(GetScrollInfo(grid->Handle(), SB_VERT, si));
  EXPECT_EQ(si.nMax, 100000 - 2);
  EXPECT_EQ(si.nMax - static_cast<int>(si.nPage) + 1, grid->RowCount() - 7 - 1);
  si.fMask = SIF_POS;
  si.nPos = 70000;
  SetScrollInfo(grid->Handle(), SB_VERT, si, false);
  SendMessage(grid->Handle(), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 70000 & 0xFFFF), 0);
  EXPECT_EQ(grid->TopRow(), 70001);
  SendMessage(grid->Handle(), WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(grid->TopRow(), 70002);
  EXPECT_EQ(GetScrollPos(grid->Handle(), SB_VERT), 70001);
  SendMessage(grid->Handle(), WM_VSCROLL, SB_BOTTOM, 0);
  EXPECT_EQ(grid->TopRow(), 100000 - 7);
}

// ---------------------------------------------------------------- mouse

TEST_F(Grids, DraggingAColumnBorderSizesItOnceOnReleaseAndLeavesNoTrace) {
  grid->SetOptions(grid->Options() + goColSizing);
  ShowFocused();
  HWND top = form->Handle();
  Mouse(WM_MOUSEMOVE, 129, 10);
  Mouse(WM_LBUTTONDOWN, 129, 10);
  EXPECT_EQ(grid->GridState(), gsColSizing);
  RECT wr;
  GetWindowRect(top, wr);
  auto pixel = [&](int x, int y) {
    TPoint p = Screen(x, y);
    return talvik::gui::WindowPixel(top, p.X - wr.Left, p.Y - wr.Top);
  };
  const COLORREF window = ColorToRGB(clWindow);
  EXPECT_NE(pixel(129, 100), window) << "the inverted line marks the border";
  Mouse(WM_MOUSEMOVE, 139, 10);
  Mouse(WM_MOUSEMOVE, 149, 12);
  EXPECT_EQ(grid->colWidthsChanged, 0) << "nothing changes while the button is held";
  EXPECT_NE(pixel(149, 100), window);
  EXPECT_EQ(pixel(139, 100), window) << "the line's earlier places are clean again";
  EXPECT_EQ(grid->ColWidths(1), 64);
  Mouse(WM_LBUTTONUP, 149, 12);
  EXPECT_EQ(grid->GridState(), gsNormal);
  EXPECT_EQ(grid->ColWidths(1), 84);
  EXPECT_EQ(grid->colWidthsChanged, 1);
  talvik::gui::UpdateAllWindows(top);
  // no inverted line is left where the border passed (inside column 1 now, plain window colour)
  EXPECT_EQ(pixel(139, 100), window);
  EXPECT_EQ(pixel(148, 100), window);
}

TEST_F(Grids, DraggingAFixedCellMovesItsColumnOnce) {
  grid->SetOptions(grid->Options() + goColMoving);
  grid->SetColWidths(1, 70);
  ShowFocused();
  Mouse(WM_MOUSEMOVE, 90, 10);
  Mouse(WM_LBUTTONDOWN, 90, 10);
  EXPECT_EQ(grid->GridState(), gsColMoving);
  Mouse(WM_MOUSEMOVE, 93, 10);
  EXPECT_TRUE(grid->moved.empty());
  Mouse(WM_MOUSEMOVE, 230, 10);
  Mouse(WM_LBUTTONUP, 230, 10);
  ASSERT_EQ(grid->moved.size(), 1u);
  EXPECT_EQ(grid->moved[0], (std::pair<int, int>{1, 3}));
  EXPECT_EQ(grid->ColWidths(3), 70) << "the width goes with its column";
  EXPECT_EQ(grid->ColWidths(1), 64);
  // a press without travel moves nothing
  Mouse(WM_LBUTTONDOWN, 90, 10);
  Mouse(WM_LBUTTONUP, 91, 10);
  EXPECT_EQ(grid->moved.size(), 1u);
}

TEST_F(Grids, RowsAreSizedAndMovedByTheirFixedCells) {
  grid->SetOptions(grid->Options() + TGridOptions{goRowSizing, goRowMoving});
  std::vector<std::pair<int, int>> rowsMoved;
  grid->OnRowMoved = [&](TObject*, int from, int to) { rowsMoved.push_back({from, to}); };
  ShowFocused();
  // the border under row 2 (y = 74) in the fixed column
  Mouse(WM_MOUSEMOVE, 30, 74);
  Mouse(WM_LBUTTONDOWN, 30, 74);
  EXPECT_EQ(grid->GridState(), gsRowSizing);
  Mouse(WM_MOUSEMOVE, 30, 84);
  Mouse(WM_LBUTTONUP, 30, 84);
  EXPECT_EQ(grid->RowHeights(2), 34);
  EXPECT_EQ(grid->rowHeightsChanged, 1);
  EXPECT_EQ(grid->colWidthsChanged, 0);
  // row 1 dragged by its fixed cell onto row 3
  Later(1000);
  Mouse(WM_LBUTTONDOWN, 30, 37);
  EXPECT_EQ(grid->GridState(), gsRowMoving);
  Mouse(WM_MOUSEMOVE, 30, 100);
  Mouse(WM_LBUTTONUP, 30, 100);
  ASSERT_EQ(rowsMoved.size(), 1u);
  EXPECT_EQ(rowsMoved[0], (std::pair<int, int>{1, 3}));
  EXPECT_EQ(grid->RowHeights(1), 34) << "the rows between move up one place with their heights";
  EXPECT_EQ(grid->RowHeights(2), 24);
}

TEST_F(Grids, SelectingBelowTheCellsScrollsOnTheTimer) {
  grid->SetOptions(grid->Options() + goRangeSelect);
  ShowFocused();
  Later(1000);
  Mouse(WM_MOUSEMOVE, 100, 60);
  Mouse(WM_LBUTTONDOWN, 100, 60);
  EXPECT_EQ(grid->Current(), (TGridCoord{1, 2}));
  EXPECT_EQ(grid->GridState(), gsSelecting);
  Mouse(WM_MOUSEMOVE, 100, 260);  // below the grid
  for (int i = 0; i < 10; ++i) {
    Later(60);
    talvik::gui::ProcessPending();
  }
  ASSERT_GE(grid->timed.size(), 9u);
  EXPECT_TRUE(grid->timed[0].Contains(sdDown));
  EXPECT_FALSE(grid->timed[0].Contains(sdUp));
  EXPECT_GE(grid->Row(), 11);
  EXPECT_GT(grid->TopRow(), 1);
  EXPECT_EQ(grid->Selection().Top, 2);
  Mouse(WM_LBUTTONUP, 100, 260);
  std::size_t steps = grid->timed.size();
  Later(500);
  talvik::gui::ProcessPending();
  EXPECT_EQ(grid->timed.size(), steps) << "the release stops the timer";
}

// ---------------------------------------------------------------- painting

TEST_F(Grids, PaintCallsDrawCellOnlyForCellsInTheClipBoxWithTheirState) {
  std::vector<std::tuple<int, int, TGridDrawState>> drawn;
  grid->OnDrawCell = [&](TObject*, int c, int r, TRect, TGridDrawState s) { drawn.emplace_back(c, r, s); };
  ShowFocused();
  talvik::gui::UpdateAllWindows(form->Handle());
  drawn.clear();
  grid->Invalidate();
  talvik::gui::UpdateAllWindows(form->Handle());
  ASSERT_FALSE(drawn.empty());
  int fixedCount = 0;
  for (auto& [c, r, s] : drawn) {
    EXPECT_EQ(s.Contains(gdFixed), c == 0 || r == 0);
    if (s.Contains(gdFixed)) ++fixedCount;
    EXPECT_EQ(s.Contains(gdFocused), c == 1 && r == 1);
  }
  EXPECT_EQ(fixedCount, 5 + 8 - 1);
  drawn.clear();
  grid->InvalidateCell(3, 5);
  talvik::gui::UpdateAllWindows(form->Handle());
  for (auto& [c, r, s] : drawn) {
    EXPECT_GE(c, 3);
    EXPECT_LE(c, 4);
    EXPECT_GE(r, 5);
    EXPECT_LE(r, 6);
  }
  EXPECT_EQ(drawn.size(), 1u);
}

TEST_F(Grids, ScrollingByARowMovesTheImageAndPaintsOnlyTheRowThatCameIntoView) {
  std::vector<TGridCoord> drawn;
  grid->OnDrawCell = [&](TObject*, int c, int r, TRect rect, TGridDrawState) {
    drawn.push_back({c, r});
    grid->Canvas()->TextRect(rect, rect.Left + 2, rect.Top + 2, std::to_string(c) + ":" + std::to_string(r));
  };
  form->Show();
  talvik::gui::UpdateAllWindows(form->Handle());
  HWND top = form->Handle();
  RECT wr;
  GetWindowRect(top, wr);
  auto pixel = [&](int x, int y) {
    TPoint p = Screen(x, y);
    return talvik::gui::WindowPixel(top, p.X - wr.Left, p.Y - wr.Top);
  };
  // a row's picture before the scroll: row 3's text
  std::vector<COLORREF> row3;
  for (int x = 66; x < 128; ++x) row3.push_back(pixel(x, 25 * 3 + 8));
  drawn.clear();
  grid->SetTopRow(2);
  talvik::gui::UpdateAllWindows(top);
  ASSERT_FALSE(drawn.empty());
  for (const TGridCoord& c : drawn) EXPECT_EQ(c.Y, 8) << "only the row that came into view paints";
  EXPECT_EQ(drawn.size(), 5u);
  // row 3 now stands one row higher, moved, not repainted
  std::vector<COLORREF> moved;
  for (int x = 66; x < 128; ++x) moved.push_back(pixel(x, 25 * 2 + 8));
  EXPECT_EQ(moved, row3);
  // a scroll by more than the window repaints the whole scrolled area
  drawn.clear();
  grid->SetTopRow(13);
  talvik::gui::UpdateAllWindows(top);
  EXPECT_GE(drawn.size(), 7u * 5u);
}

TEST_F(Grids, RightToLeftPaintsTheFixedColumnAtTheRightAndSizesFromThere) {
  grid->SetBiDiMode(bdRightToLeft);
  grid->SetOptions(grid->Options() + goColSizing);
  std::vector<std::pair<TGridCoord, TRect>> drawn;
  grid->OnDrawCell = [&](TObject*, int c, int r, TRect rect, TGridDrawState) {
    drawn.push_back({{c, r}, rect});
  };
  ShowFocused();
  talvik::gui::UpdateAllWindows(form->Handle());
  HWND top = form->Handle();
  RECT wr;
  GetWindowRect(top, wr);
  auto pixel = [&](int x, int y) {
    TPoint p = Screen(x, y);
    return talvik::gui::WindowPixel(top, p.X - wr.Left, p.Y - wr.Top);
  };
  // cells are drawn in the grid's own left-to-right terms; the device shows them mirrored
  EXPECT_EQ(pixel(290, 105), ColorToRGB(clBtnFace)) << "the fixed column is at the right";
  EXPECT_EQ(pixel(200, 105), ColorToRGB(clWindow));
  EXPECT_EQ(pixel(300 - 65, 105), ColorToRGB(clBlack)) << "the fixed column's line";
  EXPECT_EQ(pixel(300 - 130, 105), ColorToRGB(clSilver)) << "the first scrolled column's line";
  // the border of column 1 lies at x = 300 - 129: dragging it left widens the column
  Mouse(WM_MOUSEMOVE, 300 - 129, 10);
  Mouse(WM_LBUTTONDOWN, 300 - 129, 10);
  EXPECT_EQ(grid->GridState(), gsColSizing);
  Mouse(WM_MOUSEMOVE, 300 - 149, 10);
  Mouse(WM_LBUTTONUP, 300 - 149, 10);
  EXPECT_EQ(grid->ColWidths(1), 84);
  EXPECT_EQ(grid->colWidthsChanged, 1);
}

// ---------------------------------------------------------------- the in-place editor

class GridEditor : public Grids {
 protected:
  void SetUp() override {
    Grids::SetUp();
    grid->SetOptions(grid->Options() + goEditing);
    grid->texts[{1, 1}] = "первая";
    grid->texts[{1, 2}] = "вторая";
  }
};

TEST_F(GridEditor, F2ShowsTheEditorInTheProtocolsOrder) {
  ShowFocused();
  grid->Clear();
  Key(VK_F2);
  std::vector<std::string> expected = {"CanEditShow", "CreateEditor", "UpdateContents", "GetEditMask",
                                       "GetEditText", "GetEditLimit", "BoundsChanged"};
  EXPECT_EQ(grid->log, expected);
  TInplaceEdit* ed = grid->InplaceEditor();
  ASSERT_NE(ed, nullptr);
  EXPECT_TRUE(ed->Visible());
  EXPECT_TRUE(ed->Focused());
  EXPECT_EQ(ed->BoundsRect(), grid->CellRect(1, 1));
  EXPECT_EQ(ed->Text(), "первая");
  EXPECT_EQ(ed->SelLength(), 0) << "F2 puts the caret after the text";
  EXPECT_EQ(ed->SelStart(), 6);
}

TEST_F(GridEditor, TypedTextGoesToTheCellAndEnterEndsEditing) {
  ShowFocused();
  Key('X', U'ж');  // typing on the grid opens the editor with the character in it
  TInplaceEdit* ed = grid->InplaceEditor();
  ASSERT_NE(ed, nullptr);
  EXPECT_EQ(ed->Text(), "ж");
  EXPECT_EQ(grid->texts[(std::pair<int, int>{1, 1})], "ж");
  Key('Y', U'ы');
  EXPECT_EQ(grid->texts[(std::pair<int, int>{1, 1})], "жы");
  Key(VK_RETURN, U'\r');
  EXPECT_FALSE(ed->Visible());
  EXPECT_FALSE(grid->EditorMode());
  EXPECT_TRUE(grid->Focused());
  Key(VK_RETURN, U'\r');
  EXPECT_TRUE(ed->Visible()) << "Enter on the grid opens it again";
}

TEST_F(GridEditor, EditorIsReusedAcrossCellsAndNavigationKeysReachTheGrid) {
  grid->SetOptions(grid->Options() + goAlwaysShowEditor);
  ShowFocused();
  TInplaceEdit* ed = grid->InplaceEditor();
  ASSERT_NE(ed, nullptr);
  EXPECT_TRUE(ed->Focused());
  Key(VK_DOWN);
  EXPECT_EQ(grid->Row(), 2);
  EXPECT_EQ(grid->InplaceEditor(), ed);
  EXPECT_EQ(grid->editorsMade, 1);
  EXPECT_EQ(ed->Text(), "вторая");
  EXPECT_EQ(ed->BoundsRect(), grid->CellRect(1, 2));
  // Left inside the text moves the caret; at the start it moves to the next cell
  ed->SetSelStart(3);
  ed->SetSelLength(0);
  Key(VK_LEFT);
  EXPECT_EQ(grid->Col(), 1);
  EXPECT_EQ(ed->SelStart(), 2);
  ed->SetSelStart(0);
  Key(VK_LEFT);
  EXPECT_EQ(grid->Col(), 1) << "column 0 is fixed";
  ed->SetSelStart(6);
  Key(VK_RIGHT);
  EXPECT_EQ(grid->Col(), 2);
  EXPECT_EQ(grid->editorsMade, 1);
}

TEST_F(GridEditor, EscGivesBackTheOriginalTextAndCanEditModifyGuardsTyping) {
  ShowFocused();
  Key(VK_F2);
  Key('A', U'!');
  EXPECT_EQ(grid->texts[(std::pair<int, int>{1, 1})], "первая!");
  grid->Clear();
  Key(VK_ESCAPE, 27);
  EXPECT_EQ(grid->texts[(std::pair<int, int>{1, 1})], "первая");
  EXPECT_FALSE(grid->EditorMode());
  grid->modifiable = false;
  Key(VK_F2);
  Key('B', U'б');
  Key(VK_BACK, 8);
  EXPECT_EQ(grid->InplaceEditor()->Text(), "первая");
}

TEST_F(GridEditor, MovingTheFocusWithTheMouseCommitsAndHides) {
  ShowFocused();
  Key(VK_F2);
  Key('Q', U'q');
  TRect other = grid->CellRect(2, 3);
  Later(1000);
  Mouse(WM_LBUTTONDOWN, other.Left + 5, other.Top + 5);
  Mouse(WM_LBUTTONUP, other.Left + 5, other.Top + 5);
  EXPECT_EQ(grid->Current(), (TGridCoord{2, 3}));
  EXPECT_EQ(grid->texts[(std::pair<int, int>{1, 1})], "перваяq");
  EXPECT_FALSE(grid->InplaceEditor()->Visible());
  // a second click on the focused cell opens the editor there
  Later(1000);
  Mouse(WM_LBUTTONDOWN, other.Left + 5, other.Top + 5);
  Mouse(WM_LBUTTONUP, other.Left + 5, other.Top + 5);
  EXPECT_TRUE(grid->InplaceEditor()->Visible());
  EXPECT_EQ(grid->InplaceEditor()->BoundsRect(), other);
}

TEST_F(GridEditor, ScrollingMovesTheEditorWithItsCellOrHidesIt) {
  ShowFocused();
  Key(VK_F2);
  TInplaceEdit* ed = grid->InplaceEditor();
  grid->SetTopRow(2);
  EXPECT_FALSE(ed->Visible()) << "its cell scrolled out of view";
  grid->SetTopRow(1);
  grid->SetLeftCol(1);
  EXPECT_TRUE(ed->Visible());
  EXPECT_EQ(ed->BoundsRect(), grid->CellRect(1, 1));
}

// The grid hidden and its form's windows made again: until the grid shows again neither it nor its
// editor has a window. What the program does to the editor meanwhile counts as it would with the
// windows there: the editor it took down (hidden, or moved off its cell) does not come back with them.
class GridEditorWithoutWindows : public GridEditor, public ::testing::WithParamInterface<bool> {
 protected:
  // The grid hidden; without its windows for the parameter's case.
  void HideGrid() {
    grid->SetVisible(false);
    if (GetParam()) {
      form->RecreateWnd();
      Application->ProcessMessages();
      ASSERT_FALSE(grid->HandleAllocated());
      ASSERT_FALSE(grid->InplaceEditor()->HandleAllocated());
    }
  }
  void ShowGrid() {
    grid->SetVisible(true);
    Application->ProcessMessages();
  }
  bool EditorShown() { return grid->InplaceEditor()->Visible(); }
};

TEST_P(GridEditorWithoutWindows, AMoveOffTheCellTakesTheEditorDown) {
  ShowFocused();
  Key(VK_F2);
  Key('Q', U'q');
  HideGrid();
  grid->FocusCell(2, 3, true);
  grid->FocusCell(1, 1, true);  // and back
  ShowGrid();
  EXPECT_FALSE(grid->EditorMode());
  EXPECT_FALSE(EditorShown()) << "the editor came back after the move off its cell";
  EXPECT_EQ(grid->texts[(std::pair<int, int>{1, 1})], "перваяq");
}

TEST_P(GridEditorWithoutWindows, TheAlwaysShownEditorHiddenStaysHidden) {
  grid->SetOptions(grid->Options() + goAlwaysShowEditor);
  ShowFocused();
  ASSERT_TRUE(EditorShown());
  HideGrid();
  grid->HideEditor();
  ShowGrid();
  EXPECT_FALSE(EditorShown()) << "the editor came back after it was hidden";
  grid->FocusCell(1, 2, true);  // the next move shows it again, on its new cell
  EXPECT_TRUE(EditorShown());
  EXPECT_EQ(grid->InplaceEditor()->BoundsRect(), grid->CellRect(1, 2));
}

TEST_P(GridEditorWithoutWindows, TheEditorStandsOnlyOverItsCellWhenTheGridNarrowed) {
  grid->texts[{4, 1}] = "четвёртая";
  ShowFocused();
  grid->FocusCell(4, 1, true);
  Key(VK_F2);
  ASSERT_TRUE(EditorShown());
  HideGrid();
  grid->SetBounds(10, 10, 150, 200);  // the cell out of view
  ShowGrid();
  if (EditorShown()) {
    EXPECT_FALSE(grid->CellRect(4, 1).IsEmpty()) << "the editor stands over a cell out of view";
    EXPECT_EQ(grid->InplaceEditor()->BoundsRect(), grid->CellRect(4, 1));
  }
}

INSTANTIATE_TEST_SUITE_P(Grid, GridEditorWithoutWindows, ::testing::Bool(),
                         [](const auto& Info) { return Info.param ? "WindowsMadeAgain" : "WindowsKept"; });

// ---- cell pictures ---------------------------------------------------------------------------------

// What a cell is drawn from, added piece by piece: inputs that differ anywhere (a byte of a text at
// any place of its last word, the order, a value split differently between pieces) give other
// numbers, or the cell would keep a stale picture.
struct PictureInputs {
  const char* name;
  std::vector<std::string> a, b;  // texts; "#n" adds the number n instead
};

std::uint64_t PictureOf(const std::vector<std::string>& Pieces) {
  TRowPictureHash h;
  for (const std::string& p : Pieces)
    if (p.size() > 1 && p[0] == '#')
      h.Add(static_cast<std::uint64_t>(std::stoull(p.substr(1))));
    else
      h.Add(p);
  return h.Value();
}

class CellPictureNumber : public ::testing::TestWithParam<PictureInputs> {};

TEST_P(CellPictureNumber, DiffersWhenTheInputsDiffer) {
  EXPECT_NE(PictureOf(GetParam().a), PictureOf(GetParam().b));
  EXPECT_EQ(PictureOf(GetParam().a), PictureOf(GetParam().a)) << "the same inputs, the same number";
  EXPECT_NE(PictureOf(GetParam().a), 0u) << "never the unknown picture";
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, CellPictureNumber,
    ::testing::Values(PictureInputs{"SwappedLetters", {"ab"}, {"ba"}},
                      PictureInputs{"EmptyAndZeroByte", {""}, {std::string(1, '\0')}},
                      PictureInputs{"LastByteOfSeven", {"1234567"}, {"1234568"}},
                      PictureInputs{"LastByteOfEight", {"12345678"}, {"12345679"}},
                      PictureInputs{"LastByteOfNine", {"123456789"}, {"123456780"}},
                      PictureInputs{"TrailingZeroByte", {"1234567"}, {std::string("1234567\0", 8)}},
                      PictureInputs{"TextSplitOtherwise", {"ab", "c"}, {"a", "bc"}},
                      PictureInputs{"Order", {"#1", "#2"}, {"#2", "#1"}},
                      PictureInputs{"NumberBeside", {"#0", "x"}, {"x", "#0"}},
                      PictureInputs{"HighBit", {"#9223372036854775808"}, {"#0"}},
                      PictureInputs{"OneLowBit", {"#2"}, {"#3"}},
                      PictureInputs{"CyrillicLetter", {"Машина"}, {"Машинa"}}),
    [](const ::testing::TestParamInfo<PictureInputs>& i) { return std::string(i.param.name); });

// Numbers close to each other, and texts that differ in one character, all get numbers of their own.
TEST(CellPictureNumbers, NeighbouringValuesAndTextsNeverShareANumber) {
  std::set<std::uint64_t> seen;
  for (std::uint64_t v = 0; v < 20000; ++v) {
    TRowPictureHash h;
    h.Add(v);
    EXPECT_TRUE(seen.insert(h.Value()).second) << v;
  }
  for (int i = 0; i < 2000; ++i) {
    TRowPictureHash h;
    h.Add("row " + std::to_string(i) + " of the list");
    EXPECT_TRUE(seen.insert(h.Value()).second) << i;
  }
}

}  // namespace
