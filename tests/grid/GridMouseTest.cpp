// The grid's mouse through injected input, beyond sorting and selecting: a held title button drawn
// pressed while the pointer stays on it, tooltips of clipped cells and titles with their pause, a press
// inside the selection waiting for a drag, the automatic scrolling ending with the gesture however the
// grid learns of its end, positions mirrored for right-to-left reading, and the wheel over a memory table.
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "GridFormSupport.h"
#include "db/MemDataSet.h"
#include "grid/DBGridEx.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/ScopeExit.h"

namespace {

using namespace gridtest;
using talvik::gui::ShiftKeys;

class GridMouse : public GridOverSessions {
 protected:
  GridMouse() : GridOverSessions("SID", "Сеанс пользователя номер ", 40) {}
  void Bind(int Count = 20) {
    BindSessions(Count);
    for (const char* name : {"SID", "NAME", "STATUS"}) grid->Columns()->Add()->SetFieldName(name);
    grid->Columns()->Items(1)->SetWidth(90);
    grid->SetFocus();
    Pump();
  }
  TRect RawCell(int RawCol, int RawRow) { return grid->CellRect(RawCol, RawRow); }
  TRect Title(int Column) { return RawCell(Column + grid->IndicatorOffset(), 0); }
  // The top-left corner inside a cell's frame: light when raised, shaded when sunken.
  COLORREF FrameCorner(const TRect& R) { return Pixel(R.Left, R.Top + 2); }
  // Time going by, the timers falling due as often as they ask.
  static void TimePasses(unsigned Ms) {
    for (unsigned t = 0; t < Ms; t += 10) Advance(10);
  }
  // The button goes up at a point of the grid's client area, and the release never reaches the grid:
  // a loop of another window reads it first (as the display may give it to another program).
  void ReleaseTakenElsewhere(TPoint At) {
    talvik::gui::InjectMouse(WM_LBUTTONUP, Screen(At.X, At.Y), {});
    MSG m;
    ASSERT_TRUE(PeekMessage(m, nullptr, WM_LBUTTONUP, WM_LBUTTONUP, PM_REMOVE));
  }
};

// ---------------------------------------------------------------- the pressed title button

TEST_F(GridMouse, AHeldTitleButtonLooksPressedWhileThePointerStaysOnIt) {
  Bind();
  grid->Columns()->Items(1)->Title()->SetTitleButton(true);
  int clicks = 0;
  grid->OnTitleBtnClick = [&](TObject*, int, TColumnEx*) { ++clicks; };
  const TRect title = Title(1);
  const COLORREF raised = FrameCorner(title);
  EXPECT_EQ(raised, FrameCorner(Title(2)));
  Mouse(WM_LBUTTONDOWN, title.Left + 20, Middle(title).Y);
  const COLORREF pressed = FrameCorner(title);
  EXPECT_NE(pressed, raised);
  EXPECT_EQ(FrameCorner(Title(2)), raised);  // its neighbour stays up
  Shot("grid-mouse-title-pressed.png");
  // the pointer leaves the title (within 3 pixels sideways, below it): the button comes up
  Mouse(WM_MOUSEMOVE, title.Left + 22, Middle(Cell(1, 1)).Y);
  EXPECT_EQ(FrameCorner(title), raised);
  Mouse(WM_MOUSEMOVE, title.Left + 21, Middle(title).Y);
  EXPECT_EQ(FrameCorner(title), pressed);
  Mouse(WM_LBUTTONUP, title.Left + 21, Middle(title).Y);
  EXPECT_EQ(FrameCorner(title), raised);
  EXPECT_EQ(clicks, 1);
  // released away from it: no click
  Advance(600);
  Mouse(WM_LBUTTONDOWN, title.Left + 20, Middle(title).Y);
  Mouse(WM_MOUSEMOVE, title.Left + 20, Middle(Cell(1, 2)).Y);
  Mouse(WM_LBUTTONUP, title.Left + 20, Middle(Cell(1, 2)).Y);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(FrameCorner(title), raised);
}

TEST_F(GridMouse, OnlyTheColumnsOwnPartOfAMultiLevelTitleIsAButton) {
  Bind();
  grid->SetUseMultiTitle(true);
  grid->Columns()->Items(1)->Title()->SetCaption("Сеанс|Имя");
  grid->Columns()->Items(2)->Title()->SetCaption("Сеанс|Статус");
  grid->Columns()->Items(1)->Title()->SetTitleButton(true);
  int clicks = 0;
  grid->OnTitleBtnClick = [&](TObject*, int, TColumnEx*) { ++clicks; };
  Pump();
  const TRect title = Title(1);
  const int leafTop = title.Top + grid->TitleLeafTop(grid->Columns()->Items(1));
  ASSERT_GT(leafTop, title.Top + 5);
  const TRect leaf = Rect(title.Left, leafTop, title.Right, title.Bottom);
  const COLORREF raised = FrameCorner(leaf);
  // the neighbour's frame stays below the band that spans them both
  EXPECT_EQ(Pixel(Title(2).Left, leafTop - 4), ColorToRGB(clBtnFace));
  // the group band above is not the column's button
  Mouse(WM_LBUTTONDOWN, title.Left + 10, title.Top + 4);
  Mouse(WM_LBUTTONUP, title.Left + 10, title.Top + 4);
  EXPECT_EQ(clicks, 0);
  Advance(600);
  Mouse(WM_LBUTTONDOWN, title.Left + 10, (leaf.Top + leaf.Bottom) / 2);
  EXPECT_NE(FrameCorner(leaf), raised);
  Shot("grid-mouse-multi-title-pressed.png");
  // up into the band: no longer pressed
  Mouse(WM_MOUSEMOVE, title.Left + 10, title.Top + 4);
  EXPECT_EQ(FrameCorner(leaf), raised);
  Mouse(WM_LBUTTONUP, title.Left + 10, title.Top + 4);
  EXPECT_EQ(clicks, 0);
}

// ---------------------------------------------------------------- dragging the selection

class GridDragging : public GridMouse {
 protected:
  void SetUp() override {
    GridMouse::SetUp();
    Bind();
    grid->SetOptions(grid->Options() + dgMultiSelect + dgRowSelect);
    grid->SetDragMode(dmAutomatic);
    grid->OnStartDrag = [this](TObject*) { ++starts; };
    for (int n : {1, 3}) {  // records 2 and 4
      rows->First();
      rows->MoveBy(n);
      grid->SelectedRows()->SetCurrentRowSelected(true);
    }
    rows->First();
    Pump();
  }
  void TearDown() override {
    CancelDrag();
    GridMouse::TearDown();
  }
  std::vector<int> Selected() {
    std::vector<int> out;
    const TBookmarkStr at = rows->Bookmark();
    for (const TBookmarkStr& b : grid->SelectedRows()->List()) {
      rows->SetBookmark(b);
      out.push_back(rows->FieldByName("SID")->AsInteger());
    }
    rows->SetBookmark(at);
    return out;
  }
  int starts = 0;
};

TEST_F(GridDragging, APressInsideTheSelectionWaitsAndAMoveDragsIt) {
  const TPoint p = Middle(Cell(1, 1));
  Advance(600);
  Mouse(WM_LBUTTONDOWN, p.X, p.Y);
  EXPECT_EQ(starts, 0);  // not at once
  EXPECT_EQ(Selected(), (std::vector<int>{2, 4}));
  Mouse(WM_MOUSEMOVE, p.X + 1, p.Y);
  EXPECT_EQ(starts, 0);  // within the drag distance
  Mouse(WM_MOUSEMOVE, p.X + 12, p.Y + 12);
  EXPECT_EQ(starts, 1);
  EXPECT_TRUE(grid->Dragging());
  EXPECT_EQ(Selected(), (std::vector<int>{2, 4}));  // the selection goes along untouched
  Mouse(WM_LBUTTONUP, p.X + 12, p.Y + 12);
  EXPECT_FALSE(grid->Dragging());
}

TEST_F(GridDragging, APressReleasedInPlaceIsAClickCtrlTogglesTheRecord) {
  const TPoint fourth = Middle(Cell(1, 3));
  Advance(600);
  Mouse(WM_LBUTTONDOWN, fourth.X, fourth.Y, {.ctrl = true});
  Mouse(WM_LBUTTONUP, fourth.X, fourth.Y, {.ctrl = true});
  EXPECT_EQ(starts, 0);
  EXPECT_EQ(Selected(), (std::vector<int>{2}));
  const TPoint second = Middle(Cell(1, 1));
  Advance(600);
  Mouse(WM_LBUTTONDOWN, second.X, second.Y);
  Mouse(WM_LBUTTONUP, second.X, second.Y);
  EXPECT_EQ(starts, 0);
  EXPECT_TRUE(Selected().empty());  // a plain click clears the selection
}

TEST_F(GridDragging, APressOutsideTheSelectionSelectsAndNeverDrags) {
  const TPoint third = Middle(Cell(1, 2));
  Advance(600);
  Mouse(WM_LBUTTONDOWN, third.X, third.Y);
  Mouse(WM_MOUSEMOVE, third.X + 12, third.Y);
  Mouse(WM_LBUTTONUP, third.X + 12, third.Y);
  EXPECT_EQ(starts, 0);
  EXPECT_EQ(Selected(), (std::vector<int>{3}));
}

// A press inside the selection whose release the grid never reads (another loop took it from the
// queue, or the display gave it to another program). The pointer coming back with no button held drags
// nothing, the grid lets go of the mouse, and the next press and release is a plain click.
TEST_F(GridDragging, APressWhoseReleaseWentElsewhereStartsNoDragLater) {
  const TPoint p = Middle(Cell(1, 1));
  const TPoint away{form->Width() + 40, p.Y};  // beyond the form, over no window of ours
  Advance(600);
  Mouse(WM_LBUTTONDOWN, p.X, p.Y);
  ReleaseTakenElsewhere(away);
  ASSERT_EQ(starts, 0);
  Mouse(WM_MOUSEMOVE, p.X + 12, p.Y + 12);
  EXPECT_EQ(starts, 0) << "a drag started with no button held";
  EXPECT_FALSE(grid->Dragging());
  EXPECT_NE(GetCapture(), grid->Handle()) << "the grid kept the mouse";
  EXPECT_EQ(Selected(), (std::vector<int>{2, 4}));
  const TPoint third = Middle(Cell(1, 2));
  Advance(600);
  Mouse(WM_LBUTTONDOWN, third.X, third.Y);
  Mouse(WM_LBUTTONUP, third.X, third.Y);
  EXPECT_EQ(starts, 0);
  EXPECT_EQ(Selected(), (std::vector<int>{3}));
}

// ---------------------------------------------------------------- the end of a gesture

// The grid on a form that another window stands in front of, the grid its form's focused control and
// its editor always shown, on NAME of the fifth record. A click on that cell brings the form forward,
// and the grid, focused again, shows its editor there before it reads the press.
class GridGestureEnds : public GridMouse {
 protected:
  static constexpr int kFifth = 4;  // the data row of the fifth record
  void SetUp() override {
    GridMouse::SetUp();
    Bind();
    // the grid writes what was typed into a cell through its field's text
    rows->FieldByName("NAME")->OnSetText = [this](TField* Field, const std::string& Text) {
      written += Text + "\n";
      Field->SetAsString(Text);
    };
    grid->SetSelectedIndex(1);
    rows->MoveBy(kFifth);
    front = std::make_unique<TForm>(nullptr);
    front->SetBorderStyle(bsNone);
    front->SetBounds(form->Width() + 40, 0, 200, 100);
    front->Show();
    Pump();
    ASSERT_EQ(GetActiveWindow(), front->Handle());
    // (set while the grid is not focused: the editor shows once it is)
    grid->SetOptions(grid->Options() + dgEditing + dgAlwaysShowEditor);
    Pump();
    ASSERT_FALSE(EditorShows());
  }
  void TearDown() override {
    front.reset();
    GridMouse::TearDown();
  }
  // Mouse input at points of the grid's client area, all given before the program reads any of it.
  void Quick(std::initializer_list<std::pair<UINT, TPoint>> Input) {
    for (const auto& [message, at] : Input) talvik::gui::InjectMouse(message, Screen(at.X, at.Y), {});
    Pump();
  }
  bool EditorShows() {
    TInplaceEdit* e = grid->InplaceEditor();
    return e && e->HandleAllocated() && IsWindowVisible(e->Handle());
  }
  std::string EditorText() { return grid->InplaceEditor() ? grid->InplaceEditor()->Text() : "(no editor)"; }
  std::unique_ptr<TForm> front;
  std::string written;  // the texts the grid wrote into NAME, one a line
};

// A quick click on the cell: the press and the release read together. The pointer leaving the grid downwards
// afterwards, with no button held, scrolls nothing, however long one waits; what is typed stays in the
// editor; and the pointer passing over another row leaves the record where it is.
TEST_F(GridGestureEnds, AQuickClickOnTheCellMovesNoRecordAfterIt) {
  const TPoint cell = Middle(Cell(1, kFifth));
  Quick({{WM_LBUTTONDOWN, cell}, {WM_LBUTTONUP, cell}});
  ASSERT_TRUE(EditorShows());
  ASSERT_EQ(rows->RecNo(), 5);
  Mouse(WM_MOUSEMOVE, cell.X, grid->ClientHeight() + 30);
  Type("xyz");
  TimePasses(1000);
  EXPECT_EQ(rows->RecNo(), 5) << "the record moved after the click";
  EXPECT_EQ(EditorText(), "xyz");
  EXPECT_EQ(written, "") << "the grid wrote what was typed";
  Mouse(WM_MOUSEMOVE, cell.X, Middle(Cell(1, 1)).Y);
  TimePasses(1000);
  EXPECT_EQ(rows->RecNo(), 5) << "the record followed a pointer with no button held";
  EXPECT_EQ(written, "") << "the grid wrote what was typed";
}

// A drag up over the titles: the move there scrolls one record up and sets the scrolling going; the
// release never reaches the grid. The next tick finds the button up, and the scrolling stops there.
TEST_F(GridGestureEnds, ADragWhoseReleaseWentElsewhereScrollsNoFurther) {
  const TPoint cell = Middle(Cell(1, kFifth));
  const TPoint titles{cell.X, grid->DataBox().Top - 6};  // a record a tick
  Quick({{WM_LBUTTONDOWN, cell}, {WM_MOUSEMOVE, titles}});
  ASSERT_EQ(rows->RecNo(), 4);
  ReleaseTakenElsewhere(titles);
  TimePasses(1000);
  EXPECT_EQ(rows->RecNo(), 4) << "the grid scrolled on after the release";
  Type("xyz");
  EXPECT_EQ(written, "") << "the grid wrote what was typed";
}

// The program drops a list down while the button is held below the grid: the list holds the mouse
// then, and the grid stops scrolling at once, the button still down, and leaves the mouse to the list.
TEST_F(GridMouse, AListTakingTheMouseStopsTheScrollingOfAHeldButton) {
  Bind();
  auto* list = new TComboBox(form.get());
  list->SetParent(form.get());
  list->SetBounds(form->Width() - 100, 0, 100, 24);
  list->Items()->SetText("один\nдва");
  const TPoint cell = Middle(Cell(1, 1));
  Mouse(WM_LBUTTONDOWN, cell.X, cell.Y);
  const TPoint below{cell.X, grid->DataBox().Bottom + 10};  // a record now and one a tick
  Mouse(WM_MOUSEMOVE, below.X, below.Y);
  TimePasses(40);
  ASSERT_EQ(rows->RecNo(), 4);
  list->SetDroppedDown(true);
  Pump();
  ASSERT_NE(GetCapture(), grid->Handle());
  TimePasses(500);
  EXPECT_EQ(rows->RecNo(), 4) << "the grid scrolled on after the list took the mouse";
  EXPECT_TRUE(list->DroppedDown()) << "the grid took the mouse back from the list";
  list->SetDroppedDown(false);
  Mouse(WM_LBUTTONUP, below.X, below.Y);
}

// ---------------------------------------------------------------- right to left

TEST_F(GridMouse, RightToLeftTheMouseFindsMirroredColumnsAndTheirBorders) {
  Bind();
  grid->SetBiDiMode(bdRightToLeft);
  Pump();
  // a click on the mirrored cell focuses its column
  const TRect status = Cell(2, 1);
  ASSERT_LT(status.Right, Cell(0, 1).Left);  // the third column is left of the first
  Advance(600);
  Mouse(WM_LBUTTONDOWN, Middle(status).X, Middle(status).Y);
  Mouse(WM_LBUTTONUP, Middle(status).X, Middle(status).Y);
  EXPECT_EQ(grid->SelectedIndex(), 2);
  // NAME's end border is at its left on the screen: dragging it further left widens the column
  const TRect name = Title(1);
  const int width = grid->Columns()->Items(1)->Width();
  Advance(600);
  Mouse(WM_LBUTTONDOWN, name.Left, Middle(name).Y);
  EXPECT_EQ(grid->MouseSelectMode(), 6);
  Mouse(WM_MOUSEMOVE, name.Left - 30, Middle(name).Y);
  Mouse(WM_LBUTTONUP, name.Left - 30, Middle(name).Y);
  EXPECT_EQ(grid->Columns()->Items(1)->Width(), width + 30);
  Shot("grid-mouse-right-to-left.png");
}

TEST_F(GridMouse, RightToLeftARectangleDraggedPastTheLeftEdgeGrowsToTheNextColumns) {
  Bind();
  grid->SetBiDiMode(bdRightToLeft);
  grid->SetOptions(grid->Options() + dgMultiSelect);
  for (int i = 0; i < 4; ++i) grid->Columns()->Add()->SetFieldName("NAME");
  Pump();
  const TRect first = Cell(0, 1);
  Advance(600);
  Mouse(WM_LBUTTONDOWN, Middle(first).X, Middle(first).Y);
  ASSERT_EQ(grid->MouseSelectMode(), 3);
  Mouse(WM_MOUSEMOVE, 3, Middle(first).Y);  // past the columns' end, at the left
  Advance(300);
  EXPECT_GT(grid->SelectedIndex(), 1);  // moved on through the logical columns
  Mouse(WM_LBUTTONUP, 3, Middle(first).Y);
}

// ---------------------------------------------------------------- the wheel over a memory table

TEST_F(GridMouse, TheWheelOverAMemoryTableScrollsTheRowsShiftMovesTheRecord) {
  TPresentedSessions table(300);
  source.SetDataSet(&table);
  table.Open();
  grid->SetDataSource(&source);
  TScopeExit unbind([this] { grid->SetDataSource(nullptr); });  // the table goes first
  ASSERT_EQ(grid->MemTable(), &table);
  grid->SetFocus();
  Pump();
  const TPoint p = Middle(Cell(1, 2));
  auto wheel = [&](int Delta, ShiftKeys Shift = {}) {
    talvik::gui::InjectMouse(WM_MOUSEWHEEL, Screen(p.X, p.Y), Shift, Delta);
    Pump();
  };
  const int top = grid->TopRow();
  wheel(-120);  // down: one row, the record stays
  EXPECT_EQ(grid->TopRow(), top + 1);
  EXPECT_EQ(table.RecNo(), 1);
  wheel(120);
  EXPECT_EQ(grid->TopRow(), top);
  wheel(-120, {.ctrl = true});  // a page
  EXPECT_GT(grid->TopRow(), top + 5);
  EXPECT_EQ(table.RecNo(), 1);
  wheel(-120, {.shift = true});  // Shift: the record moves
  EXPECT_EQ(table.RecNo(), 2);
  wheel(-120, {.shift = true, .ctrl = true});
  EXPECT_EQ(table.RecNo(), 2 + grid->VisibleRowCount());
  bool handled = true;
  grid->OnMouseWheelDown = [&](TObject*, TShiftState, TPoint, bool& Handled) { Handled = handled; };
  const int before = grid->TopRow();
  wheel(-120);
  EXPECT_EQ(grid->TopRow(), before);  // the event took it
}

// ---------------------------------------------------------------- tooltips

class GridToolTips : public GridMouse {
 protected:
  void SetUp() override {
    GridMouse::SetUp();
    Bind();
    grid->SetShowHint(true);
    Application->SetHintPause(500);
    // away from the grid, so that the first move over it is a change of control
    Move(form->Width() + 50, 10);
  }
  void TearDown() override {
    Application->CancelHint();
    GridMouse::TearDown();
  }
  void Move(int X, int Y, ShiftKeys Shift = {}) {
    talvik::gui::InjectMouse(WM_MOUSEMOVE, Screen(X, Y), Shift);
    Pump();
    Application->ProcessMessages();
  }
  void Wait(unsigned Ms) {
    Advance(Ms);
    Application->ProcessMessages();
  }
  bool HintShown() {
    THintWindow* w = Application->HintWindow();
    return w && w->HandleAllocated() && IsWindowVisible(w->Handle());
  }
  std::string HintText() { return HintShown() ? Application->HintWindow()->Caption() : std::string(); }
  bool ToolTipWindow() { return dynamic_cast<TToolTipsWindow*>(Application->HintWindow()) != nullptr; }
  TPoint HintTopLeft() {
    RECT r;
    GetWindowRect(Application->HintWindow()->Handle(), r);
    return {r.Left, r.Top};
  }
};

TEST_F(GridToolTips, AClippedCellShowsItsWholeTextAtOnceOverTheCell) {
  grid->Columns()->Items(1)->SetToolTips(true);
  const TRect cell = Cell(1, 2);
  Move(cell.Left + 10, Middle(cell).Y);
  Wait(10);  // no pause (the timers' floor)
  ASSERT_TRUE(HintShown());
  EXPECT_TRUE(ToolTipWindow());
  EXPECT_EQ(HintText(), "Сеанс пользователя номер 3");
  const TPoint at = grid->ClientToScreen(TPoint{cell.Left, cell.Top});
  EXPECT_EQ(HintTopLeft().X, at.X);
  EXPECT_EQ(HintTopLeft().Y, at.Y);
  EXPECT_EQ(Application->HintWindow()->Font()->Name(), grid->Columns()->Items(1)->Font()->Name());
  EXPECT_TRUE(
      talvik::gui::RenderScreenToPng(ScreenshotDir() + "/grid-mouse-cell-tooltip.png", Rect(0, 0, 520, 260)));
  // the next row: asked again, its own text
  const TRect next = Cell(1, 3);
  Move(next.Left + 10, Middle(next).Y);
  Wait(10);
  EXPECT_EQ(HintText(), "Сеанс пользователя номер 4");
  // a column without tooltips: nothing, whatever the wait
  Move(Middle(Cell(0, 3)).X, Middle(Cell(0, 3)).Y);
  Wait(600);
  EXPECT_FALSE(HintShown());
}

TEST_F(GridToolTips, TextThatFitsShowsNothingAndWithCtrlHeldNothingShows) {
  grid->Columns()->Items(2)->SetToolTips(true);
  grid->Columns()->Items(1)->SetToolTips(true);
  Move(Middle(Cell(2, 1)).X, Middle(Cell(2, 1)).Y);  // "INACTIVE" fits
  Wait(600);
  EXPECT_FALSE(HintShown());
  Move(Middle(Cell(1, 1)).X, Middle(Cell(1, 1)).Y, {.ctrl = true});
  Wait(600);
  EXPECT_FALSE(HintShown());
  LetGo({.ctrl = true});
  Pump();
}

TEST_F(GridToolTips, TheTextIsMeasuredInTheFontTheCellEventGives) {
  grid->Columns()->Items(2)->SetToolTips(true);
  grid->Columns()->Items(2)->SetWidth(70);
  grid->OnGetCellParams = [this](TObject*, TColumnEx*, TFont* AFont, TColor&, TGridDrawState) {
    if (rows->FieldByName("STATUS")->AsString() == "ACTIVE") AFont->SetSize(24);
  };
  Move(Middle(Cell(2, 1)).X, Middle(Cell(2, 1)).Y);  // INACTIVE in the plain font: fits
  Wait(10);
  EXPECT_FALSE(HintShown());
  Move(Middle(Cell(2, 2)).X, Middle(Cell(2, 2)).Y);  // ACTIVE, large: clipped
  Wait(10);
  ASSERT_TRUE(HintShown());
  EXPECT_EQ(HintText(), "ACTIVE");
  EXPECT_EQ(Application->HintWindow()->Font()->Size(), 24);
}

TEST_F(GridToolTips, ATitlesHintWaitsTheUsualPauseItsClippedCaptionNone) {
  TColumnTitleEx* sid = grid->Columns()->Items(0)->Title();
  sid->SetHint("Номер сеанса|Идентификатор сеанса в экземпляре");
  TColumnTitleEx* name = grid->Columns()->Items(1)->Title();
  name->SetCaption("Имя пользователя операционной системы");
  name->SetToolTips(true);
  Move(Middle(Title(0)).X, Middle(Title(0)).Y);
  Wait(300);
  EXPECT_FALSE(HintShown());
  Wait(300);
  ASSERT_TRUE(HintShown());
  EXPECT_EQ(HintText(), "Номер сеанса");
  EXPECT_FALSE(ToolTipWindow());
  Move(Middle(Title(1)).X, Middle(Title(1)).Y);
  Wait(10);
  ASSERT_TRUE(HintShown());
  EXPECT_TRUE(ToolTipWindow());
  EXPECT_EQ(HintText(), "Имя пользователя операционной системы");
}

TEST_F(GridToolTips, AnImageCellShowsItsPickListEntryWhateverItsWidth) {
  TImageList images(nullptr);
  images.SetWidth(8);
  images.SetHeight(8);
  TBitmap b;
  b.SetSize(8, 8);
  images.Add(&b, nullptr);
  images.Add(&b, nullptr);
  TColumnEx* status = grid->Columns()->Items(2);
  status->KeyList()->SetText("INACTIVE\nACTIVE");
  status->PickList()->SetText("Неактивен\nАктивен");
  status->SetImageList(&images);
  status->SetToolTips(true);
  Move(Middle(Cell(2, 2)).X, Middle(Cell(2, 2)).Y);
  Wait(10);
  EXPECT_EQ(HintText(), "Активен");
  Move(Middle(Cell(2, 0)).X, Middle(Cell(2, 0)).Y);
  Wait(10);
  EXPECT_EQ(HintText(), "Неактивен");
  status->SetImageList(nullptr);
}

}  // namespace
