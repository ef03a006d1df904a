// The grid's drawing, by a recording device context and by pixel probes: cell classification and 3D
// cells, text cut to a width in Cyrillic, the colour order under a zebra handler that reads the drawn
// row's record number, the focus rectangle only in the active control, the indicator per dataset state,
// a sort marker keeping its 16 pixels, a patterned brush through the shared bitmap, DefaultDrawing off,
// the footer separator row, titles and screenshots of the looks the grid has.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "GridFormSupport.h"
#include "grid/DBGridEx.h"
#include "platform/gui/ImgList.h"
#include "platform/rtl/ScopeExit.h"
#include "tests/gui/WindowPicture.h"
#include "tests/gui/X11TestSupport.h"

using namespace gridtest;

namespace {

constexpr TColor kOddRow = static_cast<TColor>(0xC6BEBD);
constexpr TColor kEvenRow = static_cast<TColor>(0xDED7D6);

// Numbered sessions with a status.
class GridDraw : public GridOverSessions {
 protected:
  GridDraw() : GridOverSessions("N", "Сеанс номер ", 30) {}
  void Bind(int Count = 20) { BindSessions(Count); }
  // The zebra and red ACTIVE rows of the session window.
  void Zebra() {
    grid->OnGetCellParams = [this](TObject*, TColumnEx*, TFont* AFont, TColor& Background, TGridDrawState) {
      seenRecNos.push_back(rows->RecNo());
      Background = rows->RecNo() % 2 == 1 ? kOddRow : kEvenRow;
      if (rows->FieldByName("STATUS")->AsString() == "ACTIVE") AFont->SetColor(clRed);
    };
  }
  std::vector<TDrawRecord> RecordPaint() {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateCompatibleBitmap(dc, grid->ClientWidth(), grid->ClientHeight());
    HGDIOBJ old = SelectObject(dc, bmp);
    std::vector<TDrawRecord> records;
    SetDrawRecording(dc, &records);
    grid->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc));
    SetDrawRecording(dc, nullptr);
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
    return records;
  }
  static const TDrawRecord* TextRecord(const std::vector<TDrawRecord>& All, const std::string& Text) {
    for (const TDrawRecord& r : All)
      if (r.Kind == TDrawRecord::drText && r.Text == Text) return &r;
    return nullptr;
  }
  std::vector<int> seenRecNos;
};

// ---- cells painted again only when what they show changes ------------------------------------------

// A grid that notes every cell it draws.
class TNotingGrid : public TDBGridEx {
 public:
  using TDBGridEx::TDBGridEx;
  std::vector<std::pair<int, int>> Drawn;  // (raw column, row)

 protected:
  void DrawCell(int ACol, int ARow, TRect ARect, TGridDrawState AState) override {
    Drawn.emplace_back(ACol, ARow);
    TDBGridEx::DrawCell(ACol, ARow, ARect, AState);
  }
};

class GridRepaint : public GridDraw {
 protected:
  void SetUp() override {
    GridDraw::SetUp();
    delete grid;
    noting = new TNotingGrid(form.get());
    grid = noting;
    grid->SetParent(form.get());
    grid->SetAlign(alClient);
    Bind(20);
    Zebra();
    Drain();
    noting->Drawn.clear();
  }
  // The records read again the way a refresh does, with `Change` made to them meanwhile.
  void ReadAgain(const std::function<void()>& Change = {}) {
    rows->DisableControls();
    const int at = rows->RecNo();
    if (Change) Change();
    rows->SetRecNo(at);
    rows->EnableControls();
    Drain();
  }
  void SetName(int RecNo, const std::string& Name) {
    rows->SetRecNo(RecNo);
    rows->Edit();
    rows->FieldByName("NAME")->SetAsString(Name);
    rows->Post();
  }
  // The form's picture now, and once painted whole anew: they must be the same.
  // (compared in memory; the pictures go to the screenshot folder for people to look at)
  void ExpectScreenAsRepaintedWhole(const std::string& Name) {
    Drain();
    const guitest::Picture shown =
        guitest::WindowPicture(form->Handle(), ScreenshotDir() + "/" + Name + ".png");
    RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    Drain();
    const guitest::Picture whole =
        guitest::WindowPicture(form->Handle(), ScreenshotDir() + "/" + Name + "-whole.png");
    EXPECT_EQ(guitest::PictureDifference(shown, whole), "") << Name;
  }
  std::set<int> DrawnRows() const {
    std::set<int> out;
    for (const auto& [c, r] : noting->Drawn) out.insert(r);
    return out;
  }
  TNotingGrid* noting = nullptr;
};

TEST_F(GridRepaint, RecordsReadAgainUnchangedPaintNothing) {
  ReadAgain();
  EXPECT_TRUE(noting->Drawn.empty());
  ReadAgain();
  EXPECT_TRUE(noting->Drawn.empty()) << "twice";
}

TEST_F(GridRepaint, AChangedValuePaintsItsCellAndTheScreenShowsIt) {
  const TRect cell = Cell(1, 2);  // NAME of the third record
  const COLORREF before = Pixel(cell.Left + 6, cell.Top + cell.Height() / 2);
  ReadAgain([&] { SetName(3, "███████████"); });
  const int nameCol = grid->DataToRawColumn(1), row = grid->TitleOffset() + 2;
  EXPECT_NE(std::find(noting->Drawn.begin(), noting->Drawn.end(), std::make_pair(nameCol, row)),
            noting->Drawn.end());
  // the update area is one rectangle: at most the box from the current record's row to this cell
  for (const auto& [c, r] : noting->Drawn) {
    EXPECT_LE(r, row) << "a row below";
    EXPECT_LE(c, nameCol) << "the status column";
  }
  EXPECT_NE(Pixel(cell.Left + 6, cell.Top + cell.Height() / 2), before) << "the new text is on screen";
  ExpectScreenAsRepaintedWhole("grid-repaint-changed-value");
}

TEST_F(GridRepaint, AChangedValueOnTheCurrentRecordPaintsThatRowOnly) {
  ReadAgain([&] { SetName(1, "Другое имя"); });
  const int row = grid->TitleOffset();
  EXPECT_EQ(DrawnRows(), std::set<int>{row});
  ExpectScreenAsRepaintedWhole("grid-repaint-current-changed");
}

TEST_F(GridRepaint, RecordsMovingUnderTheRowsPaintEveryRowTheyMovedIn) {
  // the first record goes: every row shows another record, and the zebra turns over
  ReadAgain([&] {
    rows->First();
    rows->Delete();
  });
  EXPECT_GE(DrawnRows().size(), 10u);
  ExpectScreenAsRepaintedWhole("grid-repaint-records-moved");
}

TEST_F(GridRepaint, MovingToTheNextRecordPaintsOnlyTheRowsLeftAndEntered) {
  grid->SetFocus();
  Drain();
  noting->Drawn.clear();
  rows->Next();
  Drain();
  const std::set<int> expected{grid->TitleOffset(), grid->TitleOffset() + 1};
  EXPECT_EQ(DrawnRows(), expected);
  ExpectScreenAsRepaintedWhole("grid-repaint-next-record");
  // the indicator went along
  noting->Drawn.clear();
  rows->Prior();
  Drain();
  EXPECT_EQ(DrawnRows(), expected);
  ExpectScreenAsRepaintedWhole("grid-repaint-prior-record");
  // the pictures the paint noted for the focused grid's cells are the ones read again unchanged gives
  noting->Drawn.clear();
  ReadAgain();
  EXPECT_TRUE(noting->Drawn.empty());
}

// An area painted again gets back every grid line that crosses it, however thin the area: the lines
// outside it are left out of the drawing, those inside never. Each area is first scribbled over.
TEST_F(GridRepaint, AnAreaPaintedAgainGetsBackTheGridLinesCrossingIt) {
  const TRect cell = Cell(1, 2);
  struct Area {
    const char* name;
    TRect rect;
  };
  const Area areas[] = {
      {"column-line", TRect(cell.Right, cell.Top - 3, cell.Right + 1, cell.Bottom + 3)},
      {"row-line", TRect(cell.Left - 3, cell.Bottom, cell.Right + 3, cell.Bottom + 1)},
      {"crossing", TRect(cell.Right - 1, cell.Bottom - 1, cell.Right + 2, cell.Bottom + 2)},
      {"left-edge-of-a-line", TRect(cell.Left - 1, cell.Top + 2, cell.Left, cell.Top + 4)},
      {"inside-a-cell", TRect(cell.Left + 2, cell.Top + 2, cell.Left + 5, cell.Top + 5)},
      {"title-line", TRect(cell.Left, 0, cell.Right + 1, Cell(1, 0).Top)},
  };
  for (const Area& a : areas) {
    HDC dc = GetDC(grid->Handle());
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(dc, a.rect, red);
    DeleteObject(red);
    ReleaseDC(grid->Handle(), dc);
    InvalidateRect(grid->Handle(), &a.rect, false);
    Drain();
    ExpectScreenAsRepaintedWhole(std::string("grid-repaint-lines-") + a.name);
  }
}

// Only the cells in view are compared: a value that changes in a column scrolled out of view paints no
// cell, and shows once the column is scrolled into view.
TEST_F(GridRepaint, AValueChangedOutOfViewPaintsNoCellAndShowsOnceInView) {
  grid->Columns()->Items(1)->SetWidth(grid->ClientWidth() + 200);  // NAME pushes STATUS out of view
  Drain();
  noting->Drawn.clear();
  const int statusCol = grid->DataToRawColumn(2);
  ReadAgain([&] {
    rows->SetRecNo(2);  // INACTIVE: the row's colours stay
    rows->Edit();
    rows->FieldByName("STATUS")->SetAsString("SNIPED");
    rows->Post();
  });
  for (const auto& [c, r] : noting->Drawn)  // (the indicator goes along with the edit)
    if (c >= grid->DataToRawColumn(0)) ADD_FAILURE() << "drew " << c << "," << r;
  grid->SetLeftCol(statusCol);
  Drain();
  const int row = grid->TitleOffset() + 1;
  EXPECT_NE(std::find(noting->Drawn.begin(), noting->Drawn.end(), std::make_pair(statusCol, row)),
            noting->Drawn.end());
  ExpectScreenAsRepaintedWhole("grid-repaint-out-of-view");
}

TEST_F(GridDraw, SessionLookScreenshot) {
  Bind();
  Zebra();
  grid->SetFlat(true);
  grid->SetUseMultiTitle(true);
  grid->Columns()->Items(1)->Title()->SetCaption("Сеанс|Имя");
  grid->Columns()->Items(2)->Title()->SetCaption("Сеанс|Статус");
  grid->SetOptionsEx(grid->OptionsEx() + dghMultiSortMarking);
  grid->Columns()->Items(0)->Title()->SetSortMarker(smDownEx);
  grid->Columns()->Items(2)->Title()->SetSortMarker(smUpEx);
  Shot("grid-draw-session-look.png");
}

// ---------------------------------------------------------------- classification

struct CellTypeCase {
  const char* name;
  int col, row;
  int colArea, rowArea, dataCol, dataRow;
};

class CellTypes : public GridDraw, public ::testing::WithParamInterface<CellTypeCase> {};

TEST_P(CellTypes, RawCellsFallIntoTheirAreas) {
  Bind(3);
  grid->SetFooterRowCount(2);
  const CellTypeCase& c = GetParam();
  // rows: title 0, data 1..3, separator 4, footers 5 and 6
  ASSERT_EQ(grid->RowCount(), 7);
  const TCellTypeEx t = grid->GetCellType(c.col, c.row);
  EXPECT_EQ(t.ColArea, c.colArea);
  EXPECT_EQ(t.RowArea, c.rowArea);
  EXPECT_EQ(t.DataCol, c.dataCol);
  EXPECT_EQ(t.DataRow, c.dataRow);
}

INSTANTIATE_TEST_SUITE_P(Table, CellTypes,
                         ::testing::Values(CellTypeCase{"IndicatorTitle", 0, 0, 0, 0, -1, 0},
                                           CellTypeCase{"Title", 2, 0, 1, 0, 1, 0},
                                           CellTypeCase{"FirstData", 1, 1, 1, 2, 0, 0},
                                           CellTypeCase{"LastData", 3, 3, 1, 2, 2, 2},
                                           CellTypeCase{"Separator", 1, 4, 1, 3, 0, 0},
                                           CellTypeCase{"IndicatorSeparator", 0, 4, 0, 3, -1, 0},
                                           CellTypeCase{"FirstFooter", 2, 5, 1, 4, 1, 0},
                                           CellTypeCase{"SecondFooter", 2, 6, 1, 4, 1, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(GridDraw, ARowPastTheGridIsAnAlgorithmError) {
  Bind(3);
  try {
    grid->GetCellType(1, grid->RowCount());
    FAIL() << "a row past the last one was classified";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Algorithm error in TCustomDBGridEx.GetCellType");
  }
}

struct Is3DCase {
  const char* name;
  TDBGridExOptions options;
  int col, row;
  bool fixed;
  bool is3D;
};

class Cells3D : public GridDraw, public ::testing::WithParamInterface<Is3DCase> {};

TEST_P(Cells3D, TheOptionsDecideWhichCellsAreFramed) {
  Bind(3);
  grid->SetFooterRowCount(1);
  grid->SetFrozenCols(1);
  const Is3DCase& c = GetParam();
  grid->SetOptionsEx(c.options);
  TGridDrawState state;
  if (c.fixed) state.Include(gdFixed);
  EXPECT_EQ(grid->Is3DCell(c.col, c.row, state), c.is3D);
}

// rows: title 0, data 1..3, separator 4, footer 5; raw column 1 is frozen
INSTANTIATE_TEST_SUITE_P(
    Table, Cells3D,
    ::testing::Values(Is3DCase{"Fixed3DTitle", {dghFixed3D}, 2, 0, true, true},
                      Is3DCase{"Fixed3DIndicator", {dghFixed3D}, 0, 2, true, true},
                      Is3DCase{"Fixed3DNotTheSeparatorIndicator", {dghFixed3D}, 0, 4, true, false},
                      Is3DCase{"Fixed3DNotData", {dghFixed3D}, 2, 2, false, false},
                      Is3DCase{"Fixed3DNotFrozenData", {dghFixed3D}, 1, 2, true, false},
                      Is3DCase{"Footer3D", {dghFooter3D}, 2, 5, false, true},
                      Is3DCase{"Data3D", {dghData3D}, 2, 2, false, true},
                      Is3DCase{"Data3DNotBelowTheData", {dghData3D}, 2, 4, false, false},
                      Is3DCase{"SeparatorIndicatorWithData3D", {dghFixed3D, dghData3D}, 0, 4, true, true},
                      Is3DCase{"SeparatorIndicatorWithFooter3D", {dghFixed3D, dghFooter3D}, 0, 4, true, true},
                      Is3DCase{"Frozen3D", {dghFrozen3D}, 1, 2, true, true},
                      Is3DCase{"NoneAtAll", {}, 2, 0, true, false}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- text cut to a width

TEST_F(GridDraw, TruncateToWidthDropsWholeCharactersTwoFirstThenOneAStep) {
  TBitmap b;
  TCanvas* c = b.Canvas();
  const std::string text = "Ожидание события";
  EXPECT_EQ(TruncateToWidth(text, c, c->TextWidth(text)), text);  // it fits: unchanged
  // room for all but one wide character and the dots: the first step already drops two
  const std::string wide = "ОжидШШШ";
  const int room = c->TextWidth("ОжидШШ...");
  ASSERT_LT(room, c->TextWidth(wide));
  EXPECT_EQ(TruncateToWidth(wide, c, room), "ОжидШ...");
  // room for "Ожид...": the longest start that fits
  const int w = c->TextWidth("Ожид...");
  EXPECT_EQ(TruncateToWidth(text, c, w), "Ожид...");
  EXPECT_EQ(TruncateToWidth(text, c, w + 1), "Ожид...");
  // nothing fits: the dots alone
  EXPECT_EQ(TruncateToWidth(text, c, 1), "...");
}

// ---------------------------------------------------------------- colours

TEST_F(GridDraw, ZebraReadsTheDrawnRowsRecordAndTheColumnEventAndStyleComeAfter) {
  Bind(8);
  Zebra();
  rows->MoveBy(5);  // the current record is 6: drawing must not read it for other rows
  grid->Columns()->Items(1)->OnGetCellParams = [](TObject*, bool, TColCellParamsEx* P) {
    if (P->Text == "Сеанс номер 2") P->Background = clLime;
  };
  Drain();
  seenRecNos.clear();
  grid->Invalidate();
  Drain();
  Shot("grid-draw-zebra-order.png");
  // every row's own record number, in row order, three columns each
  ASSERT_GE(seenRecNos.size(), 24u);
  for (int r = 0; r < 8; ++r)
    for (int k = 0; k < 3; ++k) EXPECT_EQ(seenRecNos[static_cast<size_t>(r * 3 + k)], r + 1);
  EXPECT_EQ(rows->RecNo(), 6);  // the position stays
  auto centre = [&](int col, int row) {
    TRect r = Cell(col, row);
    return Pixel(r.Left + 1, r.Bottom - 2);
  };
  EXPECT_EQ(centre(0, 0), ColorToRGB(kOddRow));
  EXPECT_EQ(centre(0, 1), ColorToRGB(kEvenRow));
  EXPECT_EQ(centre(1, 1), ColorToRGB(clLime));   // the column's event after the grid's
  EXPECT_EQ(centre(0, 2), ColorToRGB(kOddRow));  // row 3 is ACTIVE: red text, zebra background
  // ACTIVE rows write in red
  const auto records = RecordPaint();
  const TDrawRecord* active = TextRecord(records, "Сеанс номер 3");
  ASSERT_NE(active, nullptr);
  EXPECT_EQ(active->TextColor, ColorToRGB(clRed));
  const TDrawRecord* plain = TextRecord(records, "Сеанс номер 4");
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->TextColor, ColorToRGB(clWindowText));
}

TEST_F(GridDraw, TheFocusedCellTakesTheStyleColoursOverTheEvents) {
  Bind(8);
  Zebra();
  form->SetActiveControl(grid);
  grid->SetFocus();
  Drain();
  grid->Invalidate();
  Drain();
  const TRect focused = Cell(0, 0);
  const COLORREF inside = Pixel(focused.Left + 3, focused.Bottom - 3);
  EXPECT_NE(inside, ColorToRGB(kOddRow));  // the style's highlight, after the grid's zebra
}

TEST_F(GridDraw, TheFocusRectangleShowsOnlyInTheActiveControl) {
  Bind(8);
  auto* other = new TEdit(form.get());
  other->SetParent(form.get());
  other->SetBounds(0, 0, 10, 10);
  grid->SetAlign(alNone);
  grid->SetBounds(0, 20, 500, 230);
  grid->SetOptionsEx(grid->OptionsEx() - dghHighlightFocus);
  grid->SetOptions(grid->Options() + dgAlwaysShowSelection);
  const TRect cell = Cell(0, 0);  // the focused cell
  auto corner = [&] {
    grid->Invalidate();
    Drain();
    return Pixel(cell.Left + ((cell.Left + cell.Top) % 2 == 0 ? 0 : 1), cell.Top);
  };
  form->SetActiveControl(grid);
  grid->SetFocus();
  ASSERT_TRUE(grid->HasFocus());
  ASSERT_EQ(form->ActiveControl(), grid);
  const COLORREF withFocus = corner();
  form->SetActiveControl(other);
  other->SetFocus();
  const COLORREF without = corner();
  EXPECT_NE(withFocus, without);
}

// ---------------------------------------------------------------- the indicator

TEST_F(GridDraw, TheIndicatorShowsTheDatasetsState) {
  Bind(8);
  struct Probe {
    int x, y;
  };
  // a pixel black in one image and white in the other two (see the grid's art)
  const Probe arrow{2, 2}, edit{1, 1}, insert{1, 3};
  auto shows = [&](Probe p) {
    grid->Invalidate();
    Drain();
    TRect r = grid->CellRect(0, grid->Row());
    InflateRect(r, -1, -1);
    TCustomImageList* images = DBGridExIndicators();
    const int x = r.Right - images->Width();
    const int y = r.Top + (r.Height() - images->Height()) / 2;
    return Pixel(x + p.x, y + p.y) == RGB(0, 0, 0);
  };
  EXPECT_TRUE(shows(arrow));
  EXPECT_FALSE(shows(edit));
  rows->Edit();
  EXPECT_TRUE(shows(edit));
  EXPECT_FALSE(shows(arrow));
  Shot("grid-draw-indicator-edit.png");
  rows->Cancel();
  rows->Insert();
  EXPECT_TRUE(shows(insert));
  EXPECT_FALSE(shows(edit));
  Shot("grid-draw-indicator-insert.png");
  rows->Cancel();
  // while the incremental search runs the arrow sits on the search colour
  grid->SetSelectedIndex(1);
  grid->SetIncSearchState(true, "Се");
  Drain();
  EXPECT_FALSE(shows(arrow));
  Shot("grid-draw-incremental-search.png");
  grid->SetIncSearchState(false, "");
  EXPECT_TRUE(shows(arrow));
}

// ---------------------------------------------------------------- titles

TEST_F(GridDraw, ASortMarkerKeepsSixteenPixelsAndTheTitleEllipses) {
  Bind(3);
  TColumnEx* c = grid->Columns()->Items(1);
  c->SetWidth(90);
  c->Title()->SetCaption("Очень длинный заголовок столбца");
  c->Title()->SetEndEllipsis(true);
  c->Title()->SetSortMarker(smDownEx);
  const auto records = RecordPaint();
  const TRect cell = Cell(1, -1);
  const TDrawRecord* title = nullptr;
  for (const TDrawRecord& r : records)
    if (r.Kind == TDrawRecord::drText && r.Text.rfind("Очень", 0) == 0) title = &r;
  ASSERT_NE(title, nullptr);
  EXPECT_NE(title->Text, "Очень длинный заголовок столбца");
  EXPECT_EQ(title->Text.substr(title->Text.size() - 3), "...");
  EXPECT_LE(title->Rect.Right, cell.Right - 16);
  Shot("grid-draw-sort-marker-ellipsis.png");
}

TEST_F(GridDraw, AVerticalTitleIsWrittenTurnedAndTwoTitleLinesWrap) {
  Bind(5);
  grid->Columns()->Items(0)->Title()->SetCaption("Изменено блоков");
  grid->Columns()->Items(0)->Title()->SetOrientation(tohVertical);
  grid->SetUseMultiTitle(true);
  auto records = RecordPaint();
  const TDrawRecord* vertical = TextRecord(records, "Изменено блоков");
  ASSERT_NE(vertical, nullptr);
  EXPECT_EQ(vertical->Font.lfEscapement, 900);
  Shot("grid-draw-vertical-title.png");
  grid->SetUseMultiTitle(false);
  grid->Columns()->Items(0)->Title()->SetOrientation(tohHorizontal);
  grid->Columns()->Items(1)->Title()->SetCaption("Имя сеанса в две строки");
  grid->Columns()->Items(1)->SetWidth(90);
  grid->SetTitleLines(2);
  TBitmap b;
  b.Canvas()->Font()->Assign(grid->TitleFont());
  TEXTMETRIC tm;
  GetTextMetrics(b.Canvas()->Handle(), tm);
  EXPECT_EQ(grid->TitleRowHeight(), 2 * tm.tmHeight + tm.tmExternalLeading + 2 + 1);
  Shot("grid-draw-title-lines-2.png");
}

TEST_F(GridDraw, FrozenColumnsStayWhileTheRestScrolls) {
  Bind(10);
  grid->Columns()->BeginUpdate();
  for (const char* name : {"N", "NAME", "STATUS", "NAME", "STATUS", "N"}) {
    TColumnEx* c = grid->Columns()->Add();
    c->SetFieldName(name);
    c->SetWidth(110);
  }
  grid->Columns()->Items(5)->Title()->SetCaption("последний");
  grid->Columns()->EndUpdate();
  grid->SetFrozenCols(2);
  EXPECT_EQ(grid->FixedCols(), 3);
  for (int i = 0; i < 3; ++i) SendMessage(grid->Handle(), WM_HSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), 0);
  Drain();
  EXPECT_GT(grid->LeftCol(), grid->FixedCols());
  const auto records = RecordPaint();
  EXPECT_NE(TextRecord(records, "Сеанс номер 1"), nullptr);  // the frozen name column
  EXPECT_NE(TextRecord(records, "последний"), nullptr);      // the last column scrolled into view
  Shot("grid-draw-frozen-cols-2.png");
}

// ---------------------------------------------------------------- patterned brush, DefaultDrawing off

TEST_F(GridDraw, APatternedBackgroundGoesThroughTheBitmapAndStaysBehindTheText) {
  TBitmap b;
  b.SetSize(120, 20);
  TCanvas* c = b.Canvas();
  c->Brush()->SetColor(clWhite);
  c->FillRect(Rect(0, 0, 120, 20));
  c->Brush()->SetColor(clRed);
  c->Brush()->SetStyle(bsDiagCross);
  c->Font()->SetColor(clBlack);
  WriteTextEx(c, Rect(0, 0, 120, 20), true, 2, 2, "Wg Ож", taLeftJustify, tlTop, false, false, 0, 0, false);
  int red = 0, black = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 120; ++x) {
      const COLORREF p = ColorToRGB(c->Pixels(x, y));
      red += p == RGB(255, 0, 0);
      black += p == RGB(0, 0, 0);
    }
  EXPECT_GT(red, 50);    // the pattern, behind and around the text
  EXPECT_GT(black, 10);  // the text itself
}

// Wrapped text goes through the shared bitmap: it is written in the font and colour of the canvas it
// is for, each time, not in what the bitmap last held.
TEST_F(GridDraw, WrappedTextTakesTheCallersFontEachTime) {
  auto ink = [](int Size, TColor Colour) {
    TBitmap b;
    b.SetSize(160, 60);
    TCanvas* c = b.Canvas();
    c->Brush()->SetColor(clWhite);
    c->FillRect(Rect(0, 0, 160, 60));
    c->Font()->SetSize(Size);
    c->Font()->SetColor(Colour);
    WriteTextEx(c, Rect(0, 0, 160, 60), true, 2, 2, "ШШ", taLeftJustify, tlTop, true, false, 0, 0, false);
    int n = 0;
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 160; ++x) n += ColorToRGB(c->Pixels(x, y)) == ColorToRGB(Colour);
    return n;
  };
  const int small = ink(8, clBlack);
  const int large = ink(24, clRed);
  EXPECT_GT(small, 10);
  EXPECT_GT(large, small * 4);
  EXPECT_EQ(ink(8, clBlue), small);
}

TEST_F(GridDraw, WithoutDefaultDrawingOnlyTheBackgroundIsFilledAndTheEventPaints) {
  Bind(4);
  grid->SetDefaultDrawing(false);
  int calls = 0;
  grid->OnDrawColumnCell = [&](TObject*, const TRect& R, int DataCol, TColumnEx*, TGridDrawState) {
    ++calls;
    if (DataCol == 1) grid->Canvas()->TextOut(R.Left + 2, R.Top + 2, "свой");
  };
  const auto records = RecordPaint();
  EXPECT_EQ(TextRecord(records, "Сеанс номер 1"), nullptr);
  EXPECT_NE(TextRecord(records, "свой"), nullptr);
  EXPECT_EQ(calls, 4 * 3);
}

// ---------------------------------------------------------------- footers

TEST_F(GridDraw, TheSeparatorRowFillsTheGapAndTheFootersSitAtTheBottom) {
  Bind(3);
  grid->SetFooterRowCount(2);
  grid->OnGetFooterParams = [](TObject*, int DataCol, int Row, TColumnEx*, TFont*, TColor& Background,
                               TAlignment&, TGridDrawState, std::string& Text) {
    Background = clInfoBk;
    Text = "ф" + std::to_string(Row) + "." + std::to_string(DataCol);
  };
  const int separator = grid->TitleOffset() + 3;
  const TRect last = grid->CellRect(1, grid->RowCount() - 1);
  EXPECT_GE(last.Bottom, grid->ClientHeight() - 1);
  EXPECT_GT(grid->RowHeights(separator), grid->DefaultRowHeight());
  const auto records = RecordPaint();
  EXPECT_NE(TextRecord(records, "ф1.2"), nullptr);
  Drain();
  const TRect gap = grid->CellRect(1, separator);
  EXPECT_EQ(Pixel(gap.Left + 5, gap.Top + gap.Height() / 2), ColorToRGB(grid->Color()));
  Shot("grid-draw-footers.png");
}

// Sum, count and a fixed text under the columns, drawn from the grid's sum list: an edit shows in the
// sum at the next paint without another pass over the data.
TEST_F(GridDraw, SumAndCountFootersShowTheSumListsValues) {
  Bind(4);
  grid->SetFooterRowCount(2);
  grid->SetFooterColor(clInfoBk);
  TColumnEx* n = grid->Columns()->Items(0);
  TColumnEx* name = grid->Columns()->Items(1);
  n->Footers()->Add()->SetValueType(fvtSum);
  TColumnFooterEx* average = n->Footers()->Add();
  average->SetValueType(fvtAvg);
  average->SetDisplayFormat("0.00");
  TColumnFooterEx* count = name->Footers()->Add();
  count->SetValueType(fvtCount);
  count->SetDisplayFormat("0 записей");
  TColumnFooterEx* text = name->Footers()->Add();
  text->SetValueType(fvtStaticText);
  text->SetValue("Итого");
  text->SetAlignment(taRightJustify);
  grid->SumList()->SetActive(true);
  auto records = RecordPaint();
  EXPECT_NE(TextRecord(records, "10"), nullptr);  // 1 + 2 + 3 + 4
  EXPECT_NE(TextRecord(records, "2.50"), nullptr);
  EXPECT_NE(TextRecord(records, "4 записей"), nullptr);
  const TDrawRecord* label = TextRecord(records, "Итого");
  ASSERT_NE(label, nullptr);
  const TRect footer = grid->CellRect(grid->DataToRawColumn(1), grid->RowCount() - 1);
  EXPECT_GT(label->From.X, footer.Left + footer.Width() / 2);  // right-aligned in its cell
  rows->First();
  rows->Edit();
  rows->FieldByName("N")->SetAsInteger(11);
  rows->Post();
  rows->Append();
  rows->FieldByName("N")->SetAsInteger(5);
  rows->FieldByName("NAME")->SetAsString("Сеанс номер 5");
  rows->Post();
  records = RecordPaint();
  EXPECT_NE(TextRecord(records, "25"), nullptr);  // 11 + 2 + 3 + 4 + 5
  EXPECT_NE(TextRecord(records, "5.00"), nullptr);
  EXPECT_NE(TextRecord(records, "5 записей"), nullptr);
  rows->First();
  Drain();
  grid->Invalidate();
  Shot("grid-draw-sum-count-footers.png");
}

// ---------------------------------------------------------------- memory tables

// Over a memory table every record is a row: each drawn row presents its record without moving the
// cursor, the indicator marks the current record's row, and scrolling shows later records.
TEST_F(GridDraw, AMemoryTableDrawsEveryRecordAsARow) {
  TPresentedSessions table(200);
  source.SetDataSet(&table);
  table.Open();
  grid->SetDataSource(&source);
  TScopeExit unbind([this] { grid->SetDataSource(nullptr); });  // the table goes first
  ASSERT_EQ(grid->MemTable(), &table);
  std::vector<int> seen;
  grid->OnGetCellParams = [&](TObject*, TColumnEx* Column, TFont*, TColor&, TGridDrawState) {
    if (Column->FieldName() == "N") seen.push_back(table.FieldByName("N")->AsInteger());
  };
  table.MoveBy(24);  // record 25, past the data link's buffer
  Drain();
  const int shown = grid->VisibleRowCount();
  ASSERT_GT(shown, 10);
  auto records = RecordPaint();
  const int first = grid->TopRow() - grid->TitleOffset() + 1;
  for (int n : {first, first + 1, first + shown - 1})
    EXPECT_NE(TextRecord(records, TPresentedSessions::Name(n)), nullptr) << n;
  EXPECT_EQ(table.RecNo(), 25);  // the cursor stayed
  EXPECT_EQ(table.presented, -1);
  EXPECT_EQ(seen.front(), first);
  EXPECT_EQ(grid->Row(), grid->TitleOffset() + 24);
  // the arrow on the current record's row, nowhere else
  Drain();
  grid->Invalidate();
  Drain();
  auto arrowInk = [&](int RawRow) {
    const TRect r = grid->CellRect(0, RawRow);
    int ink = 0;
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x) ink += Pixel(x, y) == RGB(0, 0, 0);
    return ink;
  };
  EXPECT_GT(arrowInk(grid->Row()), 3);
  EXPECT_EQ(arrowInk(grid->TopRow()), 0);
  Shot("grid-draw-memory-table.png");
  // a page on: later records, the cursor where it was
  grid->VertScrollMessage(SB_PAGEDOWN, 0);
  seen.clear();
  records = RecordPaint();
  const int top = grid->TopRow() - grid->TitleOffset() + 1;
  EXPECT_GT(top, first);
  EXPECT_EQ(TextRecord(records, TPresentedSessions::Name(first)), nullptr);
  EXPECT_NE(TextRecord(records, TPresentedSessions::Name(top)), nullptr);
  EXPECT_EQ(seen.front(), top);
  EXPECT_EQ(table.RecNo(), 25);
}

// ---------------------------------------------------------------- selections

TEST_F(GridDraw, SelectedRecordsAndARectangleAreDrawnHighlighted) {
  Bind(8);
  grid->SetOptions(grid->Options() + dgMultiSelect);
  for (int n : {1, 3}) {
    rows->First();
    rows->MoveBy(n);
    grid->SelectedRows()->SetCurrentRowSelected(true);
  }
  rows->First();
  ASSERT_EQ(grid->Selection()->SelectionType(), gstRecordBookmarks);
  Drain();
  grid->Invalidate();
  Drain();
  const TRect selected = Cell(1, 1), plain = Cell(1, 2);
  EXPECT_NE(Pixel(selected.Right - 3, selected.Top + 3), Pixel(plain.Right - 3, plain.Top + 3));
  Shot("grid-draw-record-selection.png");
  // a rectangle from (column 1, record 2) to (column 2, record 4)
  grid->Selection()->Clear();
  rows->First();
  rows->MoveBy(1);
  grid->Selection()->Rect()->Select(1, rows->Bookmark(), false);
  rows->MoveBy(2);
  grid->Selection()->Rect()->Select(2, rows->Bookmark(), true);
  rows->First();
  grid->Invalidate();
  Drain();
  const TRect inside = Cell(2, 2), outside = Cell(0, 2);
  EXPECT_TRUE(grid->CellSelected(2, grid->TitleOffset() + 2, [&] {
    rows->First();
    rows->MoveBy(2);
    return rows->Bookmark();
  }()));
  rows->First();
  grid->Invalidate();
  Drain();
  EXPECT_NE(Pixel(inside.Right - 3, inside.Top + 3), Pixel(outside.Left + 3, outside.Top + 3));
  Shot("grid-draw-rectangle-selection.png");
}

// ---------------------------------------------------------------- right to left, tooltips

TEST_F(GridDraw, RightToLeftMirrorsTheColumns) {
  Bind(5);
  grid->SetBiDiMode(bdRightToLeft);
  const auto records = RecordPaint();
  const TDrawRecord* first = TextRecord(records, "N");
  ASSERT_NE(first, nullptr);
  EXPECT_GT(first->Rect.Left, grid->ClientWidth() / 2);  // the first column at the right
  Shot("grid-draw-right-to-left.png");
}

TEST_F(GridDraw, AToolTipShowsTheWholeTextOfAClippedCell) {
  Bind(5);
  grid->Columns()->Items(1)->SetWidth(50);
  Drain();
  const TRect cell = Cell(1, 1);
  auto* tip = new TToolTipsWindow(form.get());
  TFont cellFont;
  cellFont.Assign(grid->Columns()->Items(1)->Font());
  cellFont.SetColor(clRed);
  const std::string text = "Сеанс номер 2";
  TRect r = tip->CalcHintRect(400, text, &cellFont);
  EXPECT_EQ(tip->Font()->Color(), clWindowText);  // the cell's font, in the window text colour
  TBitmap b;
  b.Canvas()->Font()->Assign(&cellFont);
  EXPECT_GE(r.Width(), b.Canvas()->TextWidth(text));
  EXPECT_GT(r.Width(), cell.Width());
  TPoint at = grid->ClientToScreen(TPoint{cell.Left, cell.Top});
  OffsetRect(r, at.X, at.Y);
  tip->ActivateHint(r, text);
  Drain();
  EXPECT_TRUE(
      talvik::gui::RenderScreenToPng(ScreenshotDir() + "/grid-draw-tooltip.png", Rect(0, 0, 520, 260)));
}

}  // namespace

// Under a real X server: two title lines, a vertical title over multi-level titles, two frozen columns
// scrolled, right to left, footers with the insert indicator, and a tooltip over a clipped cell, pictured
// from the display.
TEST(X11GridLooks, TheGridsLooksOnTheDisplay) {
  X11TEST_START_TOOLKIT();
  TForm form(nullptr);
  form.SetBorderStyle(bsNone);
  form.SetCaption("TalvikGridLooks");
  form.SetBounds(20, 20, 900, 420);
  std::vector<std::unique_ptr<TStatusSessions>> data;
  std::vector<std::unique_ptr<TDataSource>> sources;
  auto make = [&](int X, int Y) {
    auto* g = new TDBGridEx(&form);
    g->SetParent(&form);
    g->SetBounds(X, Y, 445, 205);
    data.push_back(std::make_unique<TStatusSessions>(12, "N", "Сеанс номер ", 30));
    sources.push_back(std::make_unique<TDataSource>(nullptr));
    sources.back()->SetDataSet(data.back().get());
    data.back()->Open();
    g->SetDataSource(sources.back().get());
    return g;
  };
  TDBGridEx* titles = make(0, 0);
  titles->SetTitleLines(2);
  titles->Columns()->Items(1)->Title()->SetCaption("Имя сеанса в две строки");
  titles->Columns()->Items(1)->SetWidth(60);
  TDBGridEx* vertical = make(450, 0);
  vertical->SetUseMultiTitle(true);
  vertical->Columns()->Items(0)->Title()->SetCaption("Изменено блоков");
  vertical->Columns()->Items(0)->Title()->SetOrientation(tohVertical);
  vertical->Columns()->Items(1)->Title()->SetCaption("Сеанс|Имя");
  vertical->Columns()->Items(2)->Title()->SetCaption("Сеанс|Статус");
  TDBGridEx* frozen = make(0, 210);
  frozen->Columns()->BeginUpdate();
  for (const char* name : {"N", "NAME", "STATUS", "NAME", "STATUS", "N"}) {
    TColumnEx* c = frozen->Columns()->Add();
    c->SetFieldName(name);
    c->SetWidth(110);
  }
  frozen->Columns()->EndUpdate();
  frozen->SetFrozenCols(2);
  TDBGridEx* rtl = make(450, 210);
  rtl->SetBiDiMode(bdRightToLeft);
  // sum and count footers from the sum list
  rtl->Columns()->Add()->SetFieldName("N");
  rtl->Columns()->Add()->SetFieldName("NAME");
  rtl->SetFooterRowCount(1);
  rtl->SetFooterColor(clInfoBk);
  rtl->Columns()->Items(0)->Footer()->SetValueType(fvtSum);
  rtl->Columns()->Items(1)->Footer()->SetValueType(fvtCount);
  rtl->SumList()->SetActive(true);
  // records 2 and 4 selected in the grid with two title lines
  titles->SetOptions(titles->Options() + dgMultiSelect);
  for (int n : {1, 3}) {
    data.front()->First();
    data.front()->MoveBy(n);
    titles->SelectedRows()->SetCurrentRowSelected(true);
  }
  data.front()->First();
  form.Show();
  ASSERT_TRUE(x11test::WaitFor([&] { return IsWindowVisible(form.Handle()); }));
  for (int i = 0; i < 3; ++i) SendMessage(frozen->Handle(), WM_HSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), 0);
  data.back()->Insert();
  data[2]->Edit();  // the frozen grid's edit indicator
  // a rectangle over "Имя".."Статус" × records 2-4 in the grid with the vertical title
  TDataSet* multi = data[1].get();
  multi->First();
  multi->MoveBy(1);
  vertical->Selection()->Rect()->Select(1, multi->Bookmark(), false);
  multi->MoveBy(2);
  vertical->Selection()->Rect()->Select(2, multi->Bookmark(), true);
  multi->First();
  // the tooltip over the clipped name in the grid with two title lines
  const TRect cell = titles->CellRect(2, titles->TitleOffset() + 1);
  auto* tip = new TToolTipsWindow(&form);
  const std::string text = "Сеанс номер 2";
  TRect r = tip->CalcHintRect(400, text, titles->Columns()->Items(1)->Font());
  TPoint at = titles->ClientToScreen(TPoint{cell.Left, cell.Top});
  OffsetRect(r, at.X, at.Y);
  tip->ActivateHint(r, text);
  x11test::Settle();
  const std::string dir = x11test::ScreenshotDir();
  EXPECT_TRUE(talvik::gui::RenderWindowToPng(form.Handle(), dir + "/grid-looks-x11.png"));
  EXPECT_TRUE(talvik::gui::GrabDisplayToPng(dir + "/grid-looks-display.png"));
  EXPECT_GT(frozen->LeftCol(), frozen->FixedCols());
  EXPECT_EQ(rtl->GetFooterValue(0, rtl->Columns()->Items(0)), "78");  // 1 + ... + 12
  EXPECT_EQ(rtl->GetFooterValue(0, rtl->Columns()->Items(1)), "12");
  EXPECT_EQ(vertical->Selection()->SelectionType(), gstRectangle);
  data[2]->Cancel();
  data.back()->Cancel();
}
