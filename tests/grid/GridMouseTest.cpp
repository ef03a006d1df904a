// The grid's mouse through injected input, beyond sorting and selecting: a held title button drawn
// pressed while the pointer stays on it, tooltips of clipped cells and titles with their pause, a press
// inside the selection waiting for a drag, positions mirrored for right-to-left reading, and the wheel
// over a memory table.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "GridTestSupport.h"
#include "db/MemDataSet.h"
#include "grid/DBGridEx.h"

namespace {

using namespace gridtest;
using talvik::gui::ShiftKeys;

class TSessions : public TMemDataSet {
 public:
  explicit TSessions(int Rows) {
    FieldDefs()->Add("SID", ftInteger);
    FieldDefs()->Add("NAME", ftString, 40);
    FieldDefs()->Add("STATUS", ftString, 10);
    for (int i = 1; i <= Rows; ++i)
      AddRow({i, "Сеанс пользователя номер " + std::to_string(i), i % 3 == 0 ? "ACTIVE" : "INACTIVE"});
  }
};

class GridMouse : public GridGuiTest {
 protected:
  void SetUp() override {
    GridGuiTest::SetUp();
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 520, 260);
    grid = new TDBGridEx(form.get());
    grid->SetParent(form.get());
    grid->SetAlign(alClient);
    form->Show();
  }
  void TearDown() override {
    form.reset();
    rows.reset();
    GridGuiTest::TearDown();
  }
  void Bind(int Count = 20) {
    rows = std::make_unique<TSessions>(Count);
    source.SetDataSet(rows.get());
    rows->Open();
    grid->SetDataSource(&source);
    for (const char* name : {"SID", "NAME", "STATUS"}) grid->Columns()->Add()->SetFieldName(name);
    grid->Columns()->Items(1)->SetWidth(90);
    grid->SetFocus();
    Pump();
  }
  static void Pump() { talvik::gui::ProcessPending(); }
  POINT Screen(int X, int Y) {
    const TPoint p = grid->ClientToScreen(TPoint{X, Y});
    return POINT{p.X, p.Y};
  }
  void Mouse(UINT Message, int X, int Y, ShiftKeys Shift = {}) {
    talvik::gui::InjectMouse(Message, Screen(X, Y), Shift);
    Pump();
  }
  TRect RawCell(int RawCol, int RawRow) { return grid->CellRect(RawCol, RawRow); }
  TRect Title(int Column) { return RawCell(Column + grid->IndicatorOffset(), 0); }
  TRect Cell(int Column, int Row) {
    return RawCell(Column + grid->IndicatorOffset(), Row + grid->TitleOffset());
  }
  static TPoint Middle(const TRect& R) { return {(R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2}; }
  COLORREF Pixel(int X, int Y) {
    Drain();
    const TPoint p = grid->ClientToScreen(TPoint{X, Y});
    RECT f;
    GetWindowRect(form->Handle(), f);
    return talvik::gui::WindowPixel(form->Handle(), p.X - f.Left, p.Y - f.Top);
  }
  // The top-left corner inside a cell's frame: light when raised, shaded when sunken.
  COLORREF FrameCorner(const TRect& R) { return Pixel(R.Left, R.Top + 2); }
  std::string Shot(const std::string& Name) {
    Drain();
    const std::string path = ScreenshotDir() + "/" + Name;
    EXPECT_TRUE(talvik::gui::RenderWindowToPng(form->Handle(), path));
    return path;
  }
  std::unique_ptr<TForm> form;
  TDBGridEx* grid = nullptr;
  TDataSource source{nullptr};
  std::unique_ptr<TSessions> rows;
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

}  // namespace
