// The grid's in-place editor with its drop-downs: the pick list opened by Alt+Down or by typing with
// AutoDropDown, moved with the arrows, accepted with Enter and dropped with Esc; the calendar of a
// date column; the recent entries following what is typed; a resized list kept by its column; the wheel
// taken by an open drop-down, whether it reaches the editor or the grid, and left to the records when
// none is open; an open drop-down going up when its cell stops having one.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "GridFormSupport.h"
#include "grid/DBGridEx.h"

using namespace gridtest;
using talvik::gui::ShiftKeys;

namespace {

class InplaceLists : public PeopleGrid {
 protected:
  // A staff list with hiring dates (the last one empty) in the grid.
  void ShowStaff() {
    staff.FieldDefs()->Add("NAME", ftString, 20);
    staff.FieldDefs()->Add("HIRED", ftDate);
    staff.AddRow({"Анна", VarFromDateTime(EncodeDate(2026, 12, 7))});
    staff.AddRow({"Борис", VarFromDateTime(EncodeDate(2025, 3, 1))});
    staff.AddRow({"Цветана", Null()});
    staffSource.SetDataSet(&staff);
    staff.Open();
    grid->SetDataSource(&staffSource);
  }
  // The staff list's date column edited, its calendar opened by Alt+Down.
  TDBGridInplaceEdit* OpenHiringCalendar() {
    ShowStaff();
    Columns({"NAME", "HIRED"});
    TDBGridInplaceEdit* e = Edit(1);
    if (!e) return nullptr;
    AltDown();
    return e;
  }
  void TearDown() override {
    form.reset();  // the grid goes before the staff list
    PeopleGrid::TearDown();
  }
  // The wheel message straight to the grid, as its own or as one coming up from a child.
  void GridWheel(UINT Msg, int Delta) {
    grid->Perform(Msg, MAKEWPARAM(0, Delta), MAKELPARAM(10, 10));
    Pump();
  }
  TMemDataSet staff;
  TDataSource staffSource{nullptr};
};

TEST_F(InplaceLists, PickListAltDownArrowsEnterWritesEscRestores) {
  TColumnEx* col = Columns({"NAME"});
  col->PickList()->SetText("Ann\nBea\nCid");
  TDBGridInplaceEdit* e = Edit(0);
  ASSERT_NE(e, nullptr);
  ASSERT_EQ(e->EditStyle(), esPickList);
  AltDown();
  ASSERT_TRUE(e->ListVisible());
  TPopupListboxEx* list = e->PickList();
  EXPECT_TRUE(list->ListVisible());
  EXPECT_EQ(list->ItemIndex(), 0);  // the cell's text
  EXPECT_EQ(list->Count(), 3);
  EXPECT_EQ(list->RowCount(), 3);
  EXPECT_GE(list->Width(), e->Width());
  Key(VK_DOWN);
  EXPECT_EQ(list->ItemIndex(), 1);
  EXPECT_EQ(e->Text(), "Bea");
  Key(VK_RETURN, U'\r');
  EXPECT_FALSE(e->ListVisible());
  EXPECT_FALSE(list->ListVisible());
  EXPECT_EQ(e->Text(), "Bea");
  Key(VK_RETURN, U'\r');  // the grid writes its editor
  EXPECT_EQ(people->F("NAME")->AsString(), "Bea");
  people->ds.Cancel();

  e = Edit(0);
  AltDown();
  Key(VK_DOWN);
  Key(VK_DOWN);
  EXPECT_EQ(e->Text(), "Cid");
  Key(VK_ESCAPE, 27);
  EXPECT_FALSE(e->ListVisible());
  EXPECT_EQ(e->Text(), "Ann");
  AltDown();
  AltDown();  // Alt+Down again closes it
  EXPECT_FALSE(e->ListVisible());
}

TEST_F(InplaceLists, AutoDropDownOpensOnATypedCharacter) {
  TColumnEx* col = Columns({"NAME"});
  col->PickList()->SetText("Xyz\nAbc");
  col->SetAutoDropDown(true);
  TDBGridInplaceEdit* e = Edit(0);
  ASSERT_NE(e, nullptr);
  e->SelectAll();
  Key('A', U'a');
  EXPECT_TRUE(e->ListVisible());
  EXPECT_EQ(e->Text(), "Abc");
  EXPECT_EQ(e->PickList()->ItemIndex(), 1);  // the open list follows the completion
  // the editor keeps the focus; leaving it closes the list without taking it
  EXPECT_EQ(GetFocus(), e->Handle());
  grid->SetFocus();
  Pump();
  EXPECT_FALSE(e->ListVisible());
}

TEST_F(InplaceLists, KeyListShowsOnlyThePairedEntriesAndWritesTheKey) {
  TColumnEx* col = Columns({"FLAG"});
  col->PickList()->SetText("Yes\nNo\nMaybe");
  col->KeyList()->SetText("yes\nn");
  TDBGridInplaceEdit* e = Edit(0);
  ASSERT_NE(e, nullptr);
  AltDown();
  ASSERT_TRUE(e->ListVisible());
  EXPECT_EQ(e->PickList()->Count(), 2);
  Key(VK_DOWN);
  Key(VK_RETURN, U'\r');
  EXPECT_EQ(e->Text(), "No");
  Key(VK_RETURN, U'\r');
  EXPECT_EQ(people->F("FLAG")->AsString(), "n");
  people->ds.Cancel();
}

TEST_F(InplaceLists, ADateColumnsCalendarWritesTheDate) {
  people->ds.Close();
  people->ds.FieldDefs()->Add("HIRED", ftDate);
  for (int i = 0; i < people->ds.FieldDefs()->Count(); ++i)
    if (!people->ds.FindField(people->ds.FieldDefs()->Items(i)->Name()))
      people->ds.FieldDefs()->Items(i)->CreateField(&people->ds);
  people->ds.Open();
  Columns({"HIRED"});
  TDBGridInplaceEdit* e = Edit(0);
  ASSERT_NE(e, nullptr);
  ASSERT_EQ(e->EditStyle(), esDateCalendar);
  AltDown();
  ASSERT_TRUE(e->ListVisible());
  TPopupMonthCalendarEx* cal = e->PopupCalendar();
  EXPECT_EQ(static_cast<int>(cal->Date()), static_cast<int>(Date()));  // an empty cell: today
  cal->SetDate(EncodeDate(2026, 2, 3));
  Key(VK_RIGHT);  // the arrows go to the calendar
  EXPECT_EQ(static_cast<int>(cal->Date()), static_cast<int>(EncodeDate(2026, 2, 4)));
  Key(VK_RETURN, U'\r');
  EXPECT_FALSE(e->ListVisible());
  EXPECT_EQ(static_cast<int>(people->F("HIRED")->AsDateTime()), static_cast<int>(EncodeDate(2026, 2, 4)));
  people->ds.Cancel();
  // Esc from the calendar writes nothing
  e = Edit(0);
  AltDown();
  e->PopupCalendar()->SetDate(EncodeDate(2020, 1, 1));
  Key(VK_ESCAPE, 27);
  EXPECT_FALSE(e->ListVisible());
  EXPECT_TRUE(people->F("HIRED")->IsNull());
}

TEST_F(InplaceLists, AnOpenCalendarGoesUpWhenTheCellStopsHavingOne) {
  TDBGridInplaceEdit* e = OpenHiringCalendar();
  ASSERT_NE(e, nullptr);
  ASSERT_TRUE(e->ListVisible());
  TPopupMonthCalendarEx* cal = e->PopupCalendar();
  // the column turns read-only while its calendar is open: the cell has no drop-down any more
  grid->Columns()->Items(1)->SetReadOnly(true);
  Pump();
  EXPECT_EQ(e->EditStyle(), esSimple);
  EXPECT_FALSE(e->ListVisible());
  EXPECT_FALSE(cal->Visible());
  Key(VK_ESCAPE, 27);
  Pump();
}

TEST_F(InplaceLists, RecentEntriesFollowWhatIsTyped) {
  TColumnEx* col = Columns({"NAME"});
  for (const char* s : {"Boris", "Bogdan", "Anna"}) col->MRUList()->Items()->Add(s);
  col->MRUList()->SetActive(true);
  TDBGridInplaceEdit* e = Edit(0);
  ASSERT_NE(e, nullptr);
  e->SelectAll();
  Key('B', U'b');
  ASSERT_NE(e->MRUListBox(), nullptr);
  EXPECT_TRUE(e->MRUListBox()->ListVisible());
  EXPECT_EQ(e->MRUListBox()->Count(), 2);
  Key('O', U'o');
  Key('R', U'r');
  EXPECT_EQ(e->MRUListBox()->Count(), 1);
  Key(VK_DOWN);
  Key(VK_RETURN, U'\r');
  EXPECT_FALSE(e->MRUListBox()->ListVisible());
  EXPECT_EQ(e->Text(), "Boris");
  e->SelectAll();
  Key(VK_BACK, 8);
  EXPECT_FALSE(e->MRUListBox()->ListVisible());
}

// ---- the wheel

// An open drop-down swallows the wheel: neither the list nor the records move, whether the wheel
// reaches the editor or the grid (as the grid's own or coming up from a child); closed, it moves the
// records.
TEST_F(InplaceLists, AnOpenPickListSwallowsTheWheelAClosedOneLeavesItToTheRecords) {
  TColumnEx* col = Columns({"NAME"});
  col->PickList()->SetText("Ann\nBea\nCid");
  TDBGridInplaceEdit* e = Edit(0);
  ASSERT_NE(e, nullptr);
  AltDown();
  ASSERT_TRUE(e->ListVisible());
  TPopupListboxEx* list = e->PickList();
  ASSERT_EQ(list->ItemIndex(), 0);
  Wheel(e, -WHEEL_DELTA);
  GridWheel(WM_MOUSEWHEEL, -WHEEL_DELTA);
  GridWheel(CM_MOUSEWHEEL, -WHEEL_DELTA);
  EXPECT_EQ(list->ItemIndex(), 0);
  EXPECT_EQ(e->Text(), "Ann");
  EXPECT_TRUE(e->ListVisible());
  EXPECT_EQ(people->F("ID")->AsInteger(), 1);
  Key(VK_ESCAPE, 27);
  ASSERT_FALSE(e->ListVisible());
  Wheel(e, -WHEEL_DELTA);  // nothing open: the next record
  EXPECT_EQ(people->F("ID")->AsInteger(), 2);
  GridWheel(WM_MOUSEWHEEL, -WHEEL_DELTA);
  EXPECT_EQ(people->F("ID")->AsInteger(), 3);
  GridWheel(CM_MOUSEWHEEL, WHEEL_DELTA);
  EXPECT_EQ(people->F("ID")->AsInteger(), 2);
}

TEST_F(InplaceLists, AnOpenCalendarSwallowsTheWheel) {
  TDBGridInplaceEdit* e = OpenHiringCalendar();
  ASSERT_NE(e, nullptr);
  ASSERT_TRUE(e->ListVisible());
  TPopupMonthCalendarEx* cal = e->PopupCalendar();
  Wheel(e, WHEEL_DELTA);
  GridWheel(WM_MOUSEWHEEL, -WHEEL_DELTA);
  GridWheel(CM_MOUSEWHEEL, -WHEEL_DELTA);
  EXPECT_EQ(static_cast<int>(cal->Date()), static_cast<int>(EncodeDate(2026, 12, 7)));
  EXPECT_TRUE(e->ListVisible());
  EXPECT_EQ(staff.RecNo(), 1);
  Key(VK_ESCAPE, 27);
  Wheel(e, -WHEEL_DELTA);
  EXPECT_EQ(staff.RecNo(), 2);
}

TEST_F(InplaceLists, AResizedPickListKeepsDropDownRowsAndWidth) {
  TColumnEx* col = Columns({"NAME"});
  for (int i = 0; i < 12; ++i) col->PickList()->Add("Name " + std::to_string(i));
  col->SetDropDownSizing(true);
  TDBGridInplaceEdit* e = Edit(0);
  ASSERT_NE(e, nullptr);
  AltDown();
  TPopupListboxEx* list = e->PickList();
  ASSERT_TRUE(e->ListVisible());
  EXPECT_EQ(list->RowCount(), 7);
  const int width = list->Width();
  TSizeGripEx* grip = list->SizeGrip();
  ASSERT_TRUE(grip->Visible());
  grip->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  grip->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(3 + 30, 3 + 2 * list->ItemHeight()));
  grip->Perform(WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
  Key(VK_ESCAPE, 27);
  EXPECT_EQ(col->DropDownRows(), 9u);
  EXPECT_EQ(col->DropDownWidth(), width + 30);
  AltDown();
  EXPECT_EQ(list->RowCount(), 9);
  Key(VK_ESCAPE, 27);
}

TEST_F(InplaceLists, TheButtonOpensTheListItsReleaseKeepsItTheNextClickCloses) {
  TColumnEx* col = Columns({"NAME"});
  col->PickList()->SetText("Ann\nBea\nCid");
  TDBGridInplaceEdit* e = Edit(0);
  ASSERT_NE(e, nullptr);
  TEditButtonControlEx* button = e->ButtonControl(0);
  ASSERT_TRUE(button->Visible());
  const LPARAM at = MAKELPARAM(button->Width() / 2, button->Height() / 2);
  button->Perform(WM_LBUTTONDOWN, MK_LBUTTON, at);
  EXPECT_TRUE(e->ListVisible());
  button->Perform(WM_LBUTTONUP, 0, at);
  EXPECT_TRUE(e->ListVisible());
  e->PickList()->SetItemIndex(2);
  button->Perform(WM_LBUTTONDOWN, MK_LBUTTON, at);
  button->Perform(WM_LBUTTONUP, 0, at);
  EXPECT_FALSE(e->ListVisible());
  EXPECT_EQ(e->Text(), "Ann");  // closed without taking the entry
}

TEST_F(InplaceLists, APressOnTheButtonDraggedIntoTheListPicksWhereItIsReleased) {
  TColumnEx* col = Columns({"NAME"});
  col->PickList()->SetText("Ann\nBea\nCid");
  TDBGridInplaceEdit* e = Edit(0);
  ASSERT_NE(e, nullptr);
  TEditButtonControlEx* button = e->ButtonControl(0);
  button->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  ASSERT_TRUE(e->ListVisible());
  TPopupListboxEx* list = e->PickList();
  // down into the third row of the list, in the button's coordinates
  const TRect row = list->ItemRect(2);
  const TPoint inList = button->ScreenToClient(list->ClientToScreen(TPoint(row.Left + 5, row.Top + 3)));
  button->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(inList.X, inList.Y));
  EXPECT_FALSE(button->MouseCapture());
  EXPECT_EQ(list->ItemIndex(), 2);
  list->Perform(WM_LBUTTONUP, 0, MAKELPARAM(row.Left + 5, row.Top + 3));
  EXPECT_FALSE(e->ListVisible());
  EXPECT_EQ(e->Text(), "Cid");
}

TEST_F(InplaceLists, AListWithoutRoomBelowTheCellOpensAbove) {
  TColumnEx* col = Columns({"NAME"});
  col->PickList()->SetText("Ann\nBea\nCid");
  TDBGridInplaceEdit* e = Edit(0);
  ASSERT_NE(e, nullptr);
  const TRect cell = GetControlScreenRect(e);
  MONITORINFO mi;
  mi.rcMonitor = Rect(0, 0, 1024, cell.Bottom + 20);
  mi.rcWork = mi.rcMonitor;
  mi.dwFlags = MONITORINFOF_PRIMARY;
  talvik::gui::SetScreens({mi});
  AltDown();
  ASSERT_TRUE(e->ListVisible());
  TPopupListboxEx* list = e->PickList();
  EXPECT_EQ(list->Top() + list->Height(), cell.Top);
  EXPECT_EQ(list->SizeGrip()->Position(), sgpTopRight);
  Key(VK_ESCAPE, 27);
}

TEST_F(InplaceLists, ScreenshotADateCellWithItsCalendarDroppedDown) {
  ShowStaff();
  Columns({"NAME", "HIRED"})->SetWidth(100);
  grid->Columns()->Items(1)->SetWidth(110);
  TDBGridInplaceEdit* e = Edit(1);
  ASSERT_NE(e, nullptr);
  AltDown();
  ASSERT_TRUE(e->ListVisible());
  EXPECT_EQ(static_cast<int>(e->PopupCalendar()->Date()), static_cast<int>(EncodeDate(2026, 12, 7)));
  ASSERT_TRUE(
      talvik::gui::RenderScreenToPng(ScreenshotDir() + "/grid-cell-calendar.png", Rect(40, 40, 420, 300)));
  Key(VK_ESCAPE, 27);
}

TEST_F(InplaceLists, ScreenshotACellWithItsPickListDroppedDown) {
  TColumnEx* col = Columns({"NAME", "SALARY", "FLAG"});
  col->SetWidth(140);
  col->PickList()->SetText("Ann\nБорис\nЦветана\nДмитрий");
  col->SetDropDownSizing(true);
  TDBGridInplaceEdit* e = Edit(0);
  ASSERT_NE(e, nullptr);
  AltDown();
  Key(VK_DOWN);
  ASSERT_TRUE(
      talvik::gui::RenderScreenToPng(ScreenshotDir() + "/grid-cell-picklist.png", Rect(40, 40, 420, 200)));
  Key(VK_ESCAPE, 27);
}

}  // namespace
