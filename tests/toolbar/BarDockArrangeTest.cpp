#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolbar/BarDock.h"

namespace {

// A fake docked window: what the dock reads of it.
struct FakeWindow {
  int row, pos, length, minimum;
  TBarShrinkMode mode;
  bool fullSize = false, stretch = false, visible = true, newRow = false;
};

// Where the arrangement put it.
struct Placed {
  int row, pos, length;
};

struct ArrangeCase {
  const char* name;
  int inner;
  bool limitToOneRow;
  std::vector<FakeWindow> windows;
  std::vector<Placed> expected;
  int rows;
};

void PrintTo(const ArrangeCase& c, std::ostream* os) {
  *os << c.name;
}

std::vector<TBarDockSlot> SlotsOf(const std::vector<FakeWindow>& Windows) {
  std::vector<TBarDockSlot> Slots;
  for (const FakeWindow& W : Windows) {
    TBarDockSlot S;
    S.DockRow = W.row;
    S.DockPos = W.pos;
    S.BaseLength = W.length - 4;  // the docked frame
    S.NonClientLength = 4;
    S.MinimumLength = W.minimum;
    S.ShrinkMode = W.mode;
    S.FullSize = W.fullSize;
    S.Stretch = W.stretch;
    S.Visible = W.visible;
    S.NewRow = W.newRow;
    Slots.push_back(S);
  }
  return Slots;
}

// The main window's menu bar and its three toolbars: "Соединения", "Просмотр", "Сеансы".
const FakeWindow kMenuBar{0, 0, 200, 40, tbsmWrap, true};
const FakeWindow kConnect{1, 0, 150, 40, tbsmChevron};
const FakeWindow kView{1, 160, 50, 30, tbsmChevron};
const FakeWindow kSession{1, 215, 80, 30, tbsmChevron};

const ArrangeCase kArrangeCases[] = {
    {"DesignLayoutKeptWhenItFits",
     600,
     false,
     {kMenuBar, kConnect, kView, kSession},
     {{0, 0, 600}, {1, 0, 150}, {1, 160, 50}, {1, 215, 80}},
     2},
    // 280 of lengths and 15 of gaps in 285: the last gaps close first.
    {"NarrowingClosesTheLastGapsFirst",
     285,
     false,
     {kMenuBar, kConnect, kView, kSession},
     {{0, 0, 285}, {1, 0, 150}, {1, 155, 50}, {1, 205, 80}},
     2},
    // Overflowing by 30: the windows pack, then the last chevron toolbar shrinks.
    {"OverflowShrinksTheLastChevronToolbar",
     250,
     false,
     {kMenuBar, kConnect, kView, kSession},
     {{0, 0, 250}, {1, 0, 150}, {1, 150, 50}, {1, 200, 50}},
     2},
    // The minimums (40 + 30 + 30) exceed 90: "Сеансы" wraps; the others shrink from the last.
    {"TooNarrowForTheMinimumsWraps",
     90,
     false,
     {kMenuBar, kConnect, kView, kSession},
     {{0, 0, 200}, {1, 0, 60}, {1, 60, 30}, {2, 10, 80}},
     3},
    {"FullSizePushesItsRowmatesDown",
     300,
     false,
     {{0, 0, 100, 0, tbsmNone}, {0, 50, 80, 0, tbsmWrap, true}},
     {{1, 0, 100}, {0, 0, 300}},
     2},
    {"FullSizeAloneKeepsItsRow",
     300,
     false,
     {{2, 0, 80, 0, tbsmWrap, true}, {0, 0, 100, 0, tbsmNone}},
     {{1, 0, 300}, {0, 0, 100}},
     2},
    {"LimitToOneRowShrinksInsteadOfWrapping",
     200,
     true,
     {{0, 0, 100, 30, tbsmChevron}, {1, 0, 100, 30, tbsmChevron}, {2, 0, 100, 30, tbsmChevron}},
     {{0, 0, 30}, {0, 30, 70}, {0, 100, 100}},
     1},
    {"EmptyRowsAreRemoved",
     500,
     false,
     {{5, 0, 100, 0, tbsmNone}, {0, 0, 100, 0, tbsmNone}, {9, 40, 100, 0, tbsmNone}},
     {{1, 0, 100}, {0, 0, 100}, {2, 40, 100}},
     3},
    {"StretchTakesTheGapToTheNextWindow",
     500,
     false,
     {{0, 0, 100, 0, tbsmNone, false, true}, {0, 300, 100, 0, tbsmNone}},
     {{0, 0, 300}, {0, 300, 100}},
     1},
    {"LastStretchReachesTheEnd",
     500,
     false,
     {{0, 0, 100, 0, tbsmNone}, {0, 120, 100, 0, tbsmNone, false, true}},
     {{0, 0, 100}, {0, 100, 400}},
     1},
    {"LoneWrapWindowDoesNotShrink", 100, false, {{0, 0, 150, 20, tbsmWrap}}, {{0, 0, 150}}, 1},
    {"WrapWindowsShrinkTogether",
     100,
     true,
     {{0, 0, 80, 20, tbsmWrap}, {0, 80, 80, 20, tbsmWrap}},
     {{0, 0, 80}, {0, 80, 20}},
     1},
    {"WrapWindowsThatDoNotFitTakeTwoRows",
     100,
     false,
     {{0, 0, 80, 20, tbsmWrap}, {0, 80, 80, 20, tbsmWrap}},
     {{0, 0, 80}, {1, 20, 80}},
     2},
    {"NegativePositionStartsTheRow",
     500,
     false,
     {{0, 0, 100, 0, tbsmNone}, {0, -8, 60, 0, tbsmNone}},
     {{0, 60, 100}, {0, 0, 60}},
     1},
    {"HiddenWindowsTakeNoPlace",
     500,
     false,
     {{0, 0, 100, 0, tbsmNone, false, false, false}, {0, 50, 60, 0, tbsmNone}},
     {{-1, 0, 0}, {0, 50, 60}},
     1},
    {"EmptyDockHasNoRows", 500, false, {}, {}, 0},
};

class DockArrangement : public ::testing::TestWithParam<ArrangeCase> {};

TEST_P(DockArrangement, RowsPositionsAndLengths) {
  const ArrangeCase& c = GetParam();
  std::vector<TBarDockSlot> Slots = SlotsOf(c.windows);
  TBarDockArrangeParams Params;
  Params.InnerLength = c.inner;
  Params.LimitToOneRow = c.limitToOneRow;
  const TBarDockArrangeResult Result = ArrangeDockSlots(Slots, Params);
  EXPECT_EQ(Result.RowCount, c.rows);
  EXPECT_FALSE(Result.Crowded);
  ASSERT_EQ(Slots.size(), c.expected.size());
  for (size_t I = 0; I < Slots.size(); ++I) {
    SCOPED_TRACE("window " + std::to_string(I));
    EXPECT_EQ(Slots[I].EffectiveRow, c.expected[I].row);
    if (c.expected[I].row < 0) continue;
    EXPECT_EQ(Slots[I].EffectivePos, c.expected[I].pos);
    EXPECT_EQ(Slots[I].Length, c.expected[I].length);
    // The dock tells a window its length only when it is not the full one.
    const int Full = c.windows[I].length;
    EXPECT_EQ(Slots[I].GivenLength, Slots[I].Length == Full ? 0 : Slots[I].Length);
    if (c.limitToOneRow) {
      EXPECT_EQ(Slots[I].DockRow, 0);
    }
  }
  // Windows of a row never overlap.
  for (size_t A = 0; A < Slots.size(); ++A)
    for (size_t B = 0; B < Slots.size(); ++B)
      if (A != B && Slots[A].EffectiveRow >= 0 && Slots[A].EffectiveRow == Slots[B].EffectiveRow &&
          Slots[A].EffectivePos < Slots[B].EffectivePos) {
        EXPECT_LE(Slots[A].EffectivePos + Slots[A].Length, Slots[B].EffectivePos);
      }
}

INSTANTIATE_TEST_SUITE_P(Cases, DockArrangement, ::testing::ValuesIn(kArrangeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DockArrangement, SortOrderIsRowThenPosition) {
  std::vector<TBarDockSlot> Slots =
      SlotsOf({{1, 0, 50, 0, tbsmNone}, {0, 300, 50, 0, tbsmNone}, {0, 10, 50, 0, tbsmNone}});
  const TBarDockArrangeResult Result = ArrangeDockSlots(Slots, {600, false, false, -1});
  EXPECT_EQ(Result.Order, (std::vector<size_t>{2, 1, 0}));
}

// ---- a window being dragged ----

// Four windows on one row with room: A at 0, B at 150, the dragged D asking for 220 (inside B) and C
// at 300.
std::vector<TBarDockSlot> RowWithDraggedWindow() {
  return SlotsOf({{0, 0, 100, 0, tbsmNone},
                  {0, 150, 100, 0, tbsmNone},
                  {0, 220, 50, 0, tbsmNone},
                  {0, 300, 50, 0, tbsmNone}});
}

TEST(DockArrangement, DraggedWindowPushesTheWindowsBeforeItAndTheOthersStay) {
  std::vector<TBarDockSlot> Slots = RowWithDraggedWindow();
  const TBarDockArrangeResult Undragged = ArrangeDockSlots(Slots, {400, false, false, -1});
  const int CBefore = Slots[3].EffectivePos;
  const TBarDockArrangeResult Result = ArrangeDockSlots(Slots, {400, false, false, 2});
  EXPECT_EQ(Slots[2].EffectivePos, 220);  // where the cursor put it
  EXPECT_EQ(Slots[1].EffectivePos, 120);  // B gave up 30 of its gap
  EXPECT_EQ(Slots[0].EffectivePos, 0);
  EXPECT_EQ(Slots[3].EffectivePos, CBefore);
  EXPECT_EQ(Undragged.Crowded, false);
  EXPECT_EQ(Result.Crowded, false);
}

struct CrowdCase {
  const char* name;
  int inner;
  int dragged;
  std::vector<FakeWindow> windows;
  bool crowded;
};

void PrintTo(const CrowdCase& c, std::ostream* os) {
  *os << c.name;
}

const CrowdCase kCrowdCases[] = {
    {"RowWithRoom", 400, 1, {{0, 0, 100, 20, tbsmChevron}, {0, 150, 100, 20, tbsmChevron}}, false},
    {"OverflowingRowShared", 150, 1, {{0, 0, 100, 20, tbsmChevron}, {0, 50, 100, 20, tbsmChevron}}, true},
    {"OverflowingRowAlone", 50, 0, {{0, 0, 100, 20, tbsmChevron}, {1, 0, 30, 0, tbsmNone}}, false},
    {"OtherRowOverflows",
     150,
     2,
     {{0, 0, 100, 20, tbsmChevron}, {0, 50, 100, 20, tbsmChevron}, {1, 0, 30, 0, tbsmNone}},
     false},
};

class DockCrowding : public ::testing::TestWithParam<CrowdCase> {};

TEST_P(DockCrowding, CrowdedOnlyWhenTheDraggedWindowSharesAnOverflowingRow) {
  const CrowdCase& c = GetParam();
  std::vector<TBarDockSlot> Slots = SlotsOf(c.windows);
  EXPECT_EQ(ArrangeDockSlots(Slots, {c.inner, false, false, c.dragged}).Crowded, c.crowded);
}

INSTANTIATE_TEST_SUITE_P(Cases, DockCrowding, ::testing::ValuesIn(kCrowdCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DockArrangement, OverlapShrinksChevronWindowsBeforeItButNeverTheDraggedOne) {
  // C asks for 120, 80 inside B, on a row overflowing by 50.
  const std::vector<FakeWindow> Windows{
      {0, 0, 100, 20, tbsmChevron}, {0, 100, 100, 20, tbsmChevron}, {0, 120, 100, 20, tbsmChevron}};
  std::vector<TBarDockSlot> Slots = SlotsOf(Windows);
  ArrangeDockSlots(Slots, {250, false, false, -1});
  EXPECT_EQ(Slots[0].Length, 100);
  EXPECT_EQ(Slots[1].Length, 50);  // the overlap came out of B
  EXPECT_EQ(Slots[2].EffectivePos, 150);
  EXPECT_EQ(Slots[2].Length, 100);

  Slots = SlotsOf(Windows);
  EXPECT_TRUE(ArrangeDockSlots(Slots, {250, false, false, 1}).Crowded);
  EXPECT_EQ(Slots[1].Length, 100);  // the dragged B keeps its length: C shrinks instead
  EXPECT_EQ(Slots[2].EffectivePos, 200);
  EXPECT_EQ(Slots[2].Length, 50);
}

TEST(DockArrangement, RowLockedDraggedWindowKeepsItsListPlace) {
  std::vector<TBarDockSlot> Slots =
      SlotsOf({{0, 500, 50, 0, tbsmNone}, {0, 0, 50, 0, tbsmNone}, {0, 100, 50, 0, tbsmNone}});
  EXPECT_EQ(ArrangeDockSlots(Slots, {600, false, false, 0}).Order, (std::vector<size_t>{1, 2, 0}));
  const TBarDockArrangeResult Locked = ArrangeDockSlots(Slots, {600, false, true, 0});
  EXPECT_EQ(Locked.Order, (std::vector<size_t>{0, 1, 2}));
  // It stays first in its row: the row's last gap gives way so that all fits in 600.
  EXPECT_EQ(Slots[0].EffectivePos, 450);
  EXPECT_EQ(Slots[1].EffectivePos, 500);
  EXPECT_EQ(Slots[2].EffectivePos, 550);
}

TEST(DockArrangement, NewRowPushesTheRowDownUnlessLimitedToOneRow) {
  std::vector<FakeWindow> Windows{
      {0, 0, 50, 0, tbsmNone}, {1, 0, 50, 0, tbsmNone}, {1, 100, 50, 0, tbsmNone}};
  Windows[2].newRow = true;
  std::vector<TBarDockSlot> Slots = SlotsOf(Windows);
  EXPECT_EQ(ArrangeDockSlots(Slots, {600, false, false, 2}).RowCount, 3);
  EXPECT_EQ(Slots[0].EffectiveRow, 0);
  EXPECT_EQ(Slots[2].EffectiveRow, 1);
  EXPECT_EQ(Slots[1].EffectiveRow, 2);
  Slots = SlotsOf(Windows);
  EXPECT_EQ(ArrangeDockSlots(Slots, {600, true, false, 2}).RowCount, 1);
}

}  // namespace
