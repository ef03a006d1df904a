// The drop-down windows: where they open against their control (one and two monitors), the size grip
// (its corner moves, dragging within the work area, its line groups), the popup list (incremental
// search with its pause and its cap, hot tracking, wheel, whole rows, never focused), the scroll bar
// of the recent-entries list, the interruptible filter, and the calendar's ways of closing.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "GridTestSupport.h"
#include "grid/DropDownsEx.h"

using namespace gridtest;

namespace {

// ---------------------------------------------------------------- placement table

struct PlaceCase {
  const char* name;
  TRect owner;
  TSize size;
  TDropDownAlign align;
  TPoint pos;
  TSize placed;
  TSizeGripChangePosition vert, horz;
};

const TRect kWork = Rect(0, 0, 1024, 728);

class Placement : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(Placement, AgainstTheOwnerWithinTheWorkArea) {
  const PlaceCase& c = GetParam();
  const TDropDownListPlacement p = SizeDropDownList(c.owner, c.size, c.align, kWork);
  EXPECT_EQ(p.Pos, c.pos);
  EXPECT_EQ(p.Size.cx, c.placed.cx);
  EXPECT_EQ(p.Size.cy, c.placed.cy);
  EXPECT_EQ(p.VertGrip, c.vert);
  EXPECT_EQ(p.HorzGrip, c.horz);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Placement,
    ::testing::Values(PlaceCase{"FitsBelow", Rect(100, 100, 200, 121), TSize(150, 200), daLeft,
                                TPoint(100, 121), TSize(150, 200), sgcpToBottom, sgcpToRight},
                      PlaceCase{"FitsExactlyBelow", Rect(100, 507, 200, 528), TSize(150, 200), daLeft,
                                TPoint(100, 528), TSize(150, 200), sgcpToBottom, sgcpToRight},
                      PlaceCase{"FitsOnlyAbove", Rect(100, 600, 200, 621), TSize(150, 200), daLeft,
                                TPoint(100, 400), TSize(150, 200), sgcpToTop, sgcpToRight},
                      PlaceCase{"FitsNeitherMoreRoomBelow", Rect(100, 300, 200, 321), TSize(150, 500), daLeft,
                                TPoint(100, 321), TSize(150, 407), sgcpToBottom, sgcpToRight},
                      PlaceCase{"FitsNeitherMoreRoomAbove", Rect(100, 420, 200, 441), TSize(150, 500), daLeft,
                                TPoint(100, 0), TSize(150, 420), sgcpToTop, sgcpToRight},
                      PlaceCase{"FitsNeitherTieGoesBelow", Rect(100, 350, 200, 378), TSize(150, 500), daLeft,
                                TPoint(100, 378), TSize(150, 350), sgcpToBottom, sgcpToRight},
                      PlaceCase{"RightAligned", Rect(300, 100, 400, 121), TSize(150, 50), daRight,
                                TPoint(250, 121), TSize(150, 50), sgcpToBottom, sgcpToLeft},
                      PlaceCase{"CentredOddDifference", Rect(300, 100, 400, 121), TSize(151, 50), daCenter,
                                TPoint(275, 121), TSize(151, 50), sgcpToBottom, sgcpToRight},
                      PlaceCase{"CentredNarrowerRoundsTowardZero", Rect(300, 100, 400, 121), TSize(71, 50),
                                daCenter, TPoint(314, 121), TSize(71, 50), sgcpToBottom, sgcpToRight},
                      PlaceCase{"WiderThanTheWorkArea", Rect(10, 100, 110, 121), TSize(2000, 50), daLeft,
                                TPoint(0, 121), TSize(1024, 50), sgcpToBottom, sgcpToLeft},
                      PlaceCase{"PastTheRightEdge", Rect(950, 100, 1010, 121), TSize(150, 50), daLeft,
                                TPoint(874, 121), TSize(150, 50), sgcpToBottom, sgcpToLeft},
                      PlaceCase{"PastTheLeftEdge", Rect(10, 100, 60, 121), TSize(150, 50), daRight,
                                TPoint(0, 121), TSize(150, 50), sgcpToBottom, sgcpToRight}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- grip moves

struct GripCase {
  TSizeGripPosition from;
  TSizeGripChangePosition change;
  TSizeGripPosition to;
};

class GripMirror : public ::testing::TestWithParam<GripCase> {};

TEST_P(GripMirror, MovesTheCornerOrKeepsIt) {
  EXPECT_EQ(ChangeGripPosition(GetParam().from, GetParam().change), GetParam().to);
}

INSTANTIATE_TEST_SUITE_P(Table, GripMirror,
                         ::testing::Values(GripCase{sgpTopRight, sgcpToLeft, sgpTopLeft},
                                           GripCase{sgpBottomRight, sgcpToLeft, sgpBottomLeft},
                                           GripCase{sgpTopLeft, sgcpToLeft, sgpTopLeft},
                                           GripCase{sgpBottomLeft, sgcpToLeft, sgpBottomLeft},
                                           GripCase{sgpTopLeft, sgcpToRight, sgpTopRight},
                                           GripCase{sgpBottomLeft, sgcpToRight, sgpBottomRight},
                                           GripCase{sgpTopRight, sgcpToRight, sgpTopRight},
                                           GripCase{sgpBottomRight, sgcpToRight, sgpBottomRight},
                                           GripCase{sgpBottomRight, sgcpToTop, sgpTopRight},
                                           GripCase{sgpBottomLeft, sgcpToTop, sgpTopLeft},
                                           GripCase{sgpTopLeft, sgcpToTop, sgpTopLeft},
                                           GripCase{sgpTopRight, sgcpToTop, sgpTopRight},
                                           GripCase{sgpTopRight, sgcpToBottom, sgpBottomRight},
                                           GripCase{sgpTopLeft, sgcpToBottom, sgpBottomLeft},
                                           GripCase{sgpBottomLeft, sgcpToBottom, sgpBottomLeft},
                                           GripCase{sgpBottomRight, sgcpToBottom, sgpBottomRight}));

// ---------------------------------------------------------------- windows

// An owner that records how its drop-down asked to close.
class TRecordingOwner : public TComponent, public IPopupOwnerEx {
 public:
  TRecordingOwner() : TComponent(nullptr) {}
  void CloseUp(bool Accept) override { closes.push_back(Accept); }
  std::vector<bool> closes;
};

class DropDowns : public GridGuiTest {
 protected:
  void SetUp() override {
    GridGuiTest::SetUp();
    owner = std::make_unique<TRecordingOwner>();
  }
  void TearDown() override {
    owner.reset();
    GridGuiTest::TearDown();
  }
  TPopupListboxEx* MakeList(int items, bool mru = false) {
    TPopupListboxEx* list = mru ? new TMRUListboxEx(owner.get()) : new TPopupListboxEx(owner.get());
    list->SetItemHeight(16);
    for (int i = 0; i < items; ++i) list->Items()->Add("Item " + std::to_string(i));
    list->SetBounds(100, 100, 150, 100);
    list->HandleNeeded();
    return list;
  }
  static void Show(TWinControl* w) {
    SetWindowPos(w->Handle(), HWND_TOP, w->Left(), w->Top(), 0, 0,
                 SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    talvik::gui::ProcessPending();
  }
  static void Char(TWinControl* w, char32_t c) { w->Perform(WM_CHAR, c, 0); }
  std::unique_ptr<TRecordingOwner> owner;
};

TEST_F(DropDowns, TwoMonitorsTheNearestOneGivesTheWorkArea) {
  MONITORINFO left, right;
  left.rcMonitor = Rect(0, 0, 1024, 768);
  left.rcWork = Rect(0, 0, 1024, 728);
  left.dwFlags = MONITORINFOF_PRIMARY;
  right.rcMonitor = Rect(1024, 0, 2048, 600);
  right.rcWork = Rect(1024, 0, 2048, 600);
  talvik::gui::SetScreens({left, right});
  TPopupListboxEx* list = MakeList(30);
  list->SetRowCount(20);
  const int height = list->Height();
  // on the right monitor (600 high) 20 rows do not fit below a control at 400: above it
  TPoint at = SizeDropDownList(Rect(1100, 400, 1200, 421), list, daLeft);
  EXPECT_EQ(at, TPoint(1100, 400 - height));
  EXPECT_EQ(list->SizeGrip()->Position(), sgpTopRight);
  // the same control on the left monitor (728 high) opens below
  at = SizeDropDownList(Rect(100, 300, 200, 321), list, daLeft);
  EXPECT_EQ(at, TPoint(100, 321));
  EXPECT_EQ(list->SizeGrip()->Position(), sgpBottomRight);
  // narrowed to the right monitor when it passes its right edge
  at = SizeDropDownList(Rect(2000, 100, 2040, 121), list, daLeft);
  EXPECT_EQ(at.X, 2048 - 150);
  EXPECT_EQ(list->SizeGrip()->Position(), sgpBottomLeft);
}

TEST_F(DropDowns, CutToTheRoomInWholeRowsTheGripAwayFromTheControl) {
  TPopupListboxEx* list = MakeList(100);
  list->SetRowCount(60);  // 960 px: fits nowhere
  const int border = list->Height() - list->ClientHeight();
  // more room above: cut to the room above, in whole rows, ending at the control's top
  const TPoint at = SizeDropDownList(Rect(100, 500, 200, 521), list, daLeft);
  EXPECT_EQ((list->Height() - border) % 16, 0);
  EXPECT_LE(list->Height(), 500);
  EXPECT_EQ(at.Y + list->Height(), 500);
  EXPECT_EQ(list->SizeGrip()->Position(), sgpTopRight);
}

TEST_F(DropDowns, RowCountWholeRowsAndMinimumSize) {
  TPopupListboxEx* list = MakeList(10);
  const int border = list->Height() - list->ClientHeight();
  EXPECT_EQ(border, 4);  // the raised double edge
  list->SetRowCount(5);
  EXPECT_EQ(list->ClientHeight(), 80);
  list->SetRowCount(0);
  EXPECT_EQ(list->ClientHeight(), 16);
  list->SetBounds(100, 100, 150, 16 * 3 + border + 10);  // a part of a row is dropped
  EXPECT_EQ(list->ClientHeight(), 48);
  list->SetBounds(100, 100, 2, 2);
  EXPECT_EQ(list->Width(), GetSystemMetrics(SM_CXVSCROLL));
  EXPECT_GE(list->Height(), GetSystemMetrics(SM_CYVSCROLL));
}

TEST_F(DropDowns, ListNeverTakesTheFocus) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 100);
  auto* edit = new TEdit(&form);
  edit->SetParent(&form);
  form.Show();
  edit->SetFocus();
  TPopupListboxEx* list = MakeList(5);
  Show(list);
  EXPECT_FALSE(list->CanFocus());
  EXPECT_EQ(list->Perform(WM_MOUSEACTIVATE), MA_NOACTIVATE);
  list->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 20));
  list->Perform(WM_LBUTTONUP, 0, MAKELPARAM(5, 20));
  EXPECT_EQ(GetFocus(), edit->Handle());
  EXPECT_EQ(list->ItemIndex(), 1);
}

TEST_F(DropDowns, SearchTextPauseCapAndClearing) {
  TPopupListboxEx* list = MakeList(0);
  for (const char* s : {"Apple", "Banana", "Берёза", "Бук", "Cherry"}) list->Items()->Add(s);
  Char(list, U'б');
  EXPECT_EQ(list->ItemIndex(), 2);
  Advance(2000);  // a pause of exactly 2000 ms keeps the text
  Char(list, U'У');
  EXPECT_EQ(list->SearchText(), "бУ");
  EXPECT_EQ(list->ItemIndex(), 3);
  Advance(2001);  // a longer one starts again
  Char(list, U'c');
  EXPECT_EQ(list->SearchText(), "c");
  EXPECT_EQ(list->ItemIndex(), 4);
  Char(list, U'\b');
  EXPECT_EQ(list->SearchText(), "");
  Char(list, U'a');
  EXPECT_EQ(list->ItemIndex(), 0);
  Char(list, 27);
  EXPECT_EQ(list->SearchText(), "");
  for (int i = 0; i < 40; ++i) Char(list, U'ж');
  EXPECT_EQ(Utf8Length(list->SearchText()), 32);
}

TEST_F(DropDowns, HotTrackingOnlyWhenTheMouseReallyMoved) {
  TPopupListboxEx* list = MakeList(10);
  Show(list);
  list->Perform(WM_MOUSEMOVE, 0, MAKELPARAM(10, 40));
  EXPECT_EQ(list->ItemIndex(), 2);
  list->Perform(WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(list->ItemIndex(), 3);
  // the window repaints under a still mouse: a move to the same point keeps the keyboard's choice
  list->Perform(WM_MOUSEMOVE, 0, MAKELPARAM(10, 40));
  EXPECT_EQ(list->ItemIndex(), 3);
  list->Perform(WM_MOUSEMOVE, 0, MAKELPARAM(10, 41));
  EXPECT_EQ(list->ItemIndex(), 2);
  // with a button held the list's own dragging applies
  list->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), MAKELPARAM(110, 120));
  EXPECT_EQ(list->ItemIndex(), 3);
  list->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(110, 120));
  list->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(110, 120));
  EXPECT_EQ(list->ItemIndex(), 1);
}

TEST_F(DropDowns, GripDragResizesWithinTheWorkAreaKeepingTheOppositeEdge) {
  TPopupListboxEx* list = MakeList(50);
  list->SetBounds(600, 300, 150, 16 * 5 + 4);
  Show(list);
  int resized = 0;
  list->SizeGrip()->OnParentResized = [&](TObject*) { ++resized; };
  TSizeGripEx* grip = list->SizeGrip();
  EXPECT_EQ(grip->Left(), list->ClientWidth() - grip->Width());
  EXPECT_EQ(grip->Top(), list->ClientHeight() - grip->Height());
  grip->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  grip->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5 + 40, 5 + 35));
  EXPECT_EQ(list->Left(), 600);
  EXPECT_EQ(list->Top(), 300);
  EXPECT_EQ(list->Width(), 190);
  EXPECT_EQ(list->ClientHeight(), 16 * 7);  // 80 + 35 rounds down to whole rows
  EXPECT_EQ(resized, 1);
  EXPECT_EQ(grip->Top(), list->ClientHeight() - grip->Height());
  // far past the work area: it stops at its edges
  grip->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5 + 2000, 5 + 2000));
  EXPECT_EQ(list->Left() + list->Width(), 1024);
  EXPECT_LE(list->Top() + list->Height(), 728);
  grip->Perform(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));

  // with the grip at the top-left the bottom-right corner stays
  list->Perform(WM_DROPDOWN_GRIPMOVE, sgcpToTop);
  list->Perform(WM_DROPDOWN_GRIPMOVE, sgcpToLeft);
  ASSERT_EQ(grip->Position(), sgpTopLeft);
  list->SetBounds(600, 300, 150, 16 * 5 + 4);
  const int right = list->Left() + list->Width(), bottom = list->Top() + list->Height();
  grip->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  grip->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5 - 30, 5 - 32));
  grip->Perform(WM_LBUTTONUP, 0, MAKELPARAM(0, 0));
  EXPECT_EQ(list->Left() + list->Width(), right);
  EXPECT_EQ(list->Top() + list->Height(), bottom);
  EXPECT_EQ(list->Width(), 180);
  EXPECT_EQ(list->ClientHeight(), 16 * 7);
  EXPECT_EQ(grip->Left(), 0);
  EXPECT_EQ(grip->Top(), 0);
}

// Items with pictures: the picture column stands at the leading edge, the text after it (right to
// left: the picture at the right, the text ending 2 pixels before it).
TEST_F(DropDowns, ItemsWithImagesPutThePictureAtTheReadingSide) {
  TCustomImageList images(nullptr, 16, 16);
  TBitmap picture;
  picture.SetSize(16, 16);
  picture.Canvas()->Brush()->SetColor(clRed);
  picture.Canvas()->FillRect(Rect(0, 0, 16, 16));
  for (int i = 0; i < 3; ++i) images.Add(&picture, nullptr);
  for (TBiDiMode mode : {bdLeftToRight, bdRightToLeft}) {
    SCOPED_TRACE(mode == bdLeftToRight ? "left to right" : "right to left");
    TPopupListboxEx* list = MakeList(3);
    list->SetImages(&images);
    list->SetItemHeight(18);
    list->SetBiDiMode(mode);
    Show(list);
    talvik::gui::UpdateAllWindows(list->Handle());
    const int border = (list->Width() - list->ClientWidth()) / 2;
    const int width = list->ClientWidth();
    const int column = images.Width() + 4;
    const int y = border + 18 + 9;  // the middle of the second item
    auto px = [&](int x) { return talvik::gui::WindowPixel(list->Handle(), border + x, y); };
    // the text's leftmost and rightmost dark pixels over the whole row
    int first = -1, last = -1;
    for (int x = 0; x < width; ++x) {
      const COLORREF p = px(x);
      if (p == ColorToRGB(clRed) || p == ColorToRGB(list->Color())) continue;
      if (first < 0) first = x;
      last = x;
    }
    ASSERT_GE(first, 0);
    if (mode == bdLeftToRight) {
      EXPECT_EQ(px(column / 2), ColorToRGB(clRed));
      EXPECT_GE(first, images.Width() + 5);
      EXPECT_LT(last, width / 2);
    } else {
      EXPECT_EQ(px(width - column / 2), ColorToRGB(clRed));
      EXPECT_EQ(px(column / 2), ColorToRGB(list->Color()));
      EXPECT_LE(last, width - column - 2);
      EXPECT_GT(first, width / 2);
    }
    delete list;
  }
}

TEST_F(DropDowns, GripLineGroupsEveryFourPixels) {
  TPopupListboxEx* list = MakeList(3);
  Show(list);
  talvik::gui::UpdateAllWindows(list->Handle());
  TSizeGripEx* grip = list->SizeGrip();
  const int border = (list->Width() - list->ClientWidth()) / 2;
  // the grip's bottom row, counted from its corner pixel leftwards
  const int y = border + grip->Top() + grip->Height() - 1;
  const int corner = border + grip->Left() + grip->Width() - 1;
  const COLORREF expected[] = {
      ColorToRGB(clBtnFace), ColorToRGB(clBtnHighlight), ColorToRGB(clBtnShadow), ColorToRGB(clBtnShadow),
      ColorToRGB(clBtnFace), ColorToRGB(clBtnHighlight), ColorToRGB(clBtnShadow), ColorToRGB(clBtnShadow),
      ColorToRGB(clBtnFace), ColorToRGB(clBtnHighlight)};
  for (int d = 0; d < 10; ++d)
    EXPECT_EQ(talvik::gui::WindowPixel(list->Handle(), corner - d, y), expected[d]) << "d=" << d;
  // above the hypotenuse the list shows through the triangle
  EXPECT_EQ(talvik::gui::WindowPixel(list->Handle(), border + grip->Left() + 1, border + grip->Top() + 1),
            ColorToRGB(list->Color()));
}

TEST_F(DropDowns, MRUListShowsItsScrollBarOnlyWithMoreItemsThanRows) {
  auto* list = static_cast<TMRUListboxEx*>(MakeList(5, true));
  list->SetRowCount(5);
  Show(list);
  EXPECT_FALSE(list->ScrollBar()->Visible());
  list->Items()->Add("Item 5");
  EXPECT_TRUE(list->ScrollBar()->Visible());
  EXPECT_EQ(list->ScrollBar()->Max(), 5);
  EXPECT_EQ(list->ScrollBar()->PageSize(), 5);
  EXPECT_EQ(list->ScrollBar()->Left() + list->ScrollBar()->Width(), list->ClientWidth());
  // scrolling moves the top item
  int pos = 1;
  list->ScrollBar()->OnScroll(list->ScrollBar(), scLineDown, pos);
  EXPECT_EQ(list->TopIndex(), 1);
  list->SetRowCount(6);
  EXPECT_FALSE(list->ScrollBar()->Visible());
  // the triangle only at a bottom corner
  list->Perform(WM_DROPDOWN_GRIPMOVE, sgcpToTop);
  EXPECT_FALSE(list->SizeGrip()->TriangleWindow());
  list->Perform(WM_DROPDOWN_GRIPMOVE, sgcpToBottom);
  EXPECT_TRUE(list->SizeGrip()->TriangleWindow());
}

TEST_F(DropDowns, FilterStopsBeforeItemOneHundredWhenAKeyIsWaiting) {
  TMRUListEx mru;
  for (int i = 0; i < 250; ++i) mru.Items()->Add("k" + std::to_string(i));
  TStringList dest;
  HWND target = MakeList(0)->Handle();
  mru.OnFilterItem = [&](TObject*, const std::string& Text, bool&) {
    if (Text == "k50") PostMessage(target, WM_KEYDOWN, 'A', 0);
  };
  EXPECT_FALSE(mru.FilterItemsTo(&dest, "k"));
  EXPECT_EQ(dest.Count(), 100);
  MSG m;
  EXPECT_TRUE(PeekMessage(m, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE));
  mru.SetInterruptible(false);
  mru.OnFilterItem = [&](TObject*, const std::string& Text, bool&) {
    if (Text == "k50") PostMessage(target, WM_KEYDOWN, 'A', 0);
  };
  EXPECT_TRUE(mru.FilterItemsTo(&dest, "k1"));
  EXPECT_EQ(dest.Count(), 1 + 10 + 100);
  Drain();
}

// ---------------------------------------------------------------- calendar

class Calendar : public DropDowns {
 protected:
  void SetUp() override {
    DropDowns::SetUp();
    cal = new TPopupMonthCalendarEx(owner.get());
    cal->SetDate(EncodeDate(2026, 3, 11));
    cal->SetLeft(200);
    cal->SetTop(200);
    cal->HandleNeeded();
    Show(cal);
  }
  void TearDown() override {
    ReleaseCapture();
    DropDowns::TearDown();
  }
  TPoint DayPoint(int day) {
    // the days area: find a point whose hit test gives the day
    for (int y = 0; y < cal->ClientHeight(); y += 2)
      for (int x = 0; x < cal->ClientWidth(); x += 2) {
        MCHITTESTINFO hit = cal->HitTest(TPoint(x, y));
        if (hit.uHit == MCHT_CALENDARDATE &&
            static_cast<int>(hit.st) == static_cast<int>(EncodeDate(2026, 3, day)))
          return TPoint(x, y);
      }
    ADD_FAILURE() << "no point for day " << day;
    return TPoint();
  }
  TPopupMonthCalendarEx* cal = nullptr;
};

TEST_F(Calendar, SizedToTheMonthWithItsBorders) {
  const TRect need = cal->MinRequiredRect();
  EXPECT_EQ(cal->ClientWidth(), need.Width());
  EXPECT_EQ(cal->ClientHeight(), need.Height());
  EXPECT_EQ(cal->Width(), need.Width() + 4);
  EXPECT_EQ(cal->Perform(WM_MOUSEACTIVATE), MA_NOACTIVATE);
}

TEST_F(Calendar, EnterAcceptsEscRejects) {
  cal->Perform(WM_KEYDOWN, VK_RETURN, 0);
  cal->Perform(WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(owner->closes, (std::vector<bool>{true, false}));
}

TEST_F(Calendar, ClickOnADayAcceptsItClickOutsideRejects) {
  const TPoint p = DayPoint(20);
  cal->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.X, p.Y));
  cal->Perform(WM_LBUTTONUP, 0, MAKELPARAM(p.X, p.Y));
  EXPECT_EQ(static_cast<int>(cal->Date()), static_cast<int>(EncodeDate(2026, 3, 20)));
  EXPECT_EQ(owner->closes, (std::vector<bool>{true}));
  cal->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(-20, 5));
  EXPECT_EQ(owner->closes, (std::vector<bool>{true, false}));
  // a press on the title (not a day) closes nothing
  cal->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(cal->ClientWidth() / 2, 3));
  EXPECT_EQ(owner->closes.size(), 2u);
}

TEST_F(Calendar, WheelMovesOneDay) {
  cal->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), MAKELPARAM(210, 210));
  EXPECT_EQ(static_cast<int>(cal->Date()), static_cast<int>(EncodeDate(2026, 3, 12)));
  cal->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(210, 210));
  cal->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(210, 210));
  EXPECT_EQ(static_cast<int>(cal->Date()), static_cast<int>(EncodeDate(2026, 3, 10)));
  EXPECT_TRUE(owner->closes.empty());
}

TEST_F(Calendar, FocusLossPostsTheCloseWithoutAccepting) {
  cal->Perform(WM_KILLFOCUS, 0, 0);
  MSG m;
  ASSERT_TRUE(
      PeekMessage(m, cal->Handle(), WM_DROPDOWN_CLOSEUPNOACCEPT, WM_DROPDOWN_CLOSEUPNOACCEPT, PM_NOREMOVE));
  EXPECT_TRUE(owner->closes.empty());
  talvik::gui::ProcessPending();
  EXPECT_EQ(owner->closes, (std::vector<bool>{false}));
}

TEST_F(DropDowns, AnOwnerWithoutTheInterfaceClosesNothing) {
  TComponent plain(nullptr);
  auto* cal = new TPopupMonthCalendarEx(&plain);
  cal->HandleNeeded();
  cal->Perform(WM_KEYDOWN, VK_RETURN, 0);  // no owner interface: nothing happens
  SUCCEED();
}

TEST_F(DropDowns, ScreenshotListWithGripAndCalendar) {
  TForm form(nullptr);
  form.SetBorderStyle(bsNone);
  form.SetBounds(20, 20, 520, 300);
  auto* edit = new TEdit(&form);
  edit->SetParent(&form);
  edit->SetBounds(20, 20, 160, 21);
  auto* edit2 = new TEdit(&form);
  edit2->SetParent(&form);
  edit2->SetBounds(330, 20, 160, 21);
  form.Show();
  TPopupListboxEx* list = MakeList(0);
  for (const char* s : {"Активные", "Неактивные", "Заблокированные", "Фоновые процессы", "Все"})
    list->Items()->Add(s);
  list->SetWidth(160);
  list->SetRowCount(4);
  list->SetItemIndex(1);
  EXPECT_TRUE(GetWindowLong(list->Handle(), GWL_STYLE) & WS_VSCROLL);
  TPoint at = SizeDropDownList(GetControlScreenRect(edit), list, daLeft);
  list->SetLeft(at.X);
  list->SetTop(at.Y);
  Show(list);
  auto* cal = new TPopupMonthCalendarEx(owner.get());
  cal->SetDate(EncodeDate(2026, 12, 7));
  cal->SetToday(EncodeDate(2026, 12, 7));
  cal->HandleNeeded();
  at = SizeDropDownList(GetControlScreenRect(edit2), cal, daRight);
  cal->SetLeft(at.X);
  cal->SetTop(at.Y);
  Show(cal);
  ASSERT_TRUE(talvik::gui::RenderScreenToPng(ScreenshotDir() + "/grid-dropdowns.png", Rect(0, 0, 560, 340)));
  ReleaseCapture();
}

}  // namespace
