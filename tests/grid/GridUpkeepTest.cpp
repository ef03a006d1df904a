// How the grid keeps its parts in step: a column's drop-down grid, special row, footers and list source;
// text by display format; a row the user sized; the flat frame; the filter row's editor after moves,
// resizes and layout passes; columns that go at once; a deferred layout that meets a locked grid; scaled
// footer fonts; the footer colour of a grid that takes its parent's; cell frames joined into bands without
// column lines, right to left as well; and the row invalidation helper.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "GridFormSupport.h"
#include "db/MemDataSet.h"
#include "grid/DBGridEx.h"
#include "grid/DBGridExFilterEdit.h"
#include "grid/DBGridExStyle.h"
#include "grid/DBLookupGridEx.h"
#include "platform/gui/WinManager.h"

namespace {

using namespace gridtest;

// The grid with the base grid's column move and row sizing at hand.
class OpenGrid : public TDBGridEx {
 public:
  using TDBGridEx::MoveColumn;
  using TDBGridEx::TDBGridEx;
};

// The people grid's form with room for another grid over the same data.
class PeopleGrids : public PeopleGrid {
 protected:
  using PeopleGrid::PeopleGrid;
  // Another grid of class G at Bounds on the form, with columns of the ID, NAME and SALARY fields.
  template <class G = TDBGridEx>
  G* AnotherGrid(TRect Bounds) {
    G* g = new G(form.get());
    g->SetParent(form.get());
    g->SetBounds(Bounds.Left, Bounds.Top, Bounds.Width(), Bounds.Height());
    g->SetDataSource(&people->source);
    for (const char* n : {"ID", "NAME", "SALARY"}) g->Columns()->Add()->SetFieldName(n);
    return g;
  }
};

class GridUpkeep : public PeopleGrid {
 protected:
  // A second list of the departments, with names of its own.
  void MakeOtherDepartments() {
    otherDepts.FieldDefs()->Add("DEPT_ID", ftInteger);
    otherDepts.FieldDefs()->Add("DNAME", ftString, 20);
    otherDepts.AddRow({1, "Продажи"});
    otherDepts.AddRow({2, "Бухгалтерия"});
    otherDepts.AddRow({3, "Исследования"});
    otherDepts.Open();
    otherSource.SetDataSet(&otherDepts);
  }
  TColumnEx* Col(int I) { return grid->Columns()->Items(I); }
  void ShowFilterRow() {
    grid->STFilter()->SetVisible(true);
    grid->SetFocus();
    Pump();
  }
  TRect EditorRect() {
    TInplaceFilterEditEx* e = grid->FilterEditor();
    return Rect(e->Left(), e->Top(), e->Left() + e->Width(), e->Top() + e->Height());
  }

  TMemDataSet otherDepts;
  TDataSource otherSource{nullptr};
};

// ---------------------------------------------------------------- the column's parts

TEST_F(GridUpkeep, LookupDisplayFieldsAndTheSpecialRowReachADropDownGridMadeAlready) {
  TColumnEx* dept = Columns({"DEPT_NAME"});
  TPopupDataGridEx* list = dept->DataGrid();
  dept->SetLookupDisplayFields("DNAME;DEPT_ID");
  EXPECT_EQ(list->ListField(), "DNAME;DEPT_ID");
  EXPECT_FALSE(list->SpecRow()->Visible());
  dept->DropDownSpecRow()->SetVisible(true);
  dept->DropDownSpecRow()->SetCellsText("(нет)");
  EXPECT_TRUE(list->SpecRow()->Visible());
  EXPECT_EQ(list->SpecRow()->CellsText(), "(нет)");
}

TEST_F(GridUpkeep, FootersFollowTheFieldNameAsTheDatasetSpellsIt) {
  grid->SetDataSource(nullptr);
  TColumnEx* salary = Columns({"salary"});
  grid->SetFooterRowCount(1);
  salary->Footer()->SetValueType(fvtSum);
  ASSERT_NE(salary->Footer()->SumItem(), nullptr);
  EXPECT_EQ(salary->Footer()->SumItem()->FieldName(), "salary");
  grid->SetDataSource(&people->source);
  ASSERT_NE(salary->Field(), nullptr);
  EXPECT_EQ(salary->FieldName(), "SALARY");
  EXPECT_EQ(salary->Footer()->SumItem()->FieldName(), "SALARY");
}

TEST_F(GridUpkeep, SteppingALookupThroughTheDropDownListShowsTheListsText) {
  MakeOtherDepartments();
  TColumnEx* dept = Columns({"DEPT_NAME"});
  dept->DropDownBox()->SetListSource(&otherSource);
  people->ds.First();  // department 1
  dept->SetNextFieldValue(1);
  EXPECT_EQ(people->F("DEPT")->AsInteger(), 2);
  EXPECT_EQ(people->deptName->Text(), "Бухгалтерия");
  dept->SetNextFieldValue(-1);
  EXPECT_EQ(people->F("DEPT")->AsInteger(), 1);
  EXPECT_EQ(people->deptName->Text(), "Продажи");
  people->ds.Cancel();
  // a drop-down grid lists the box's source
  EXPECT_EQ(dept->DataGrid()->ListSource(), &otherSource);
}

TEST_F(GridUpkeep, AListSourceThatGoesLeavesTheDropDownBox) {
  TColumnEx* dept = Columns({"DEPT_NAME"});
  auto source = std::make_unique<TDataSource>(nullptr);
  source->SetDataSet(&people->depts);
  dept->DropDownBox()->SetListSource(source.get());
  source.reset();
  EXPECT_EQ(dept->DropDownBox()->ListSource(), nullptr);
  EXPECT_EQ(dept->LookupDataSet(), &people->depts);  // the field's own list again
}

// ---------------------------------------------------------------- text by display format

struct FormatCase {
  const char* name;
  const char* field;
  const char* format;
  const char* expected;
};

class TextByFormat : public ::testing::TestWithParam<FormatCase> {
 protected:
  void SetUp() override {
    ds.FieldDefs()->Add("N", ftInteger);
    ds.FieldDefs()->Add("X", ftFloat);
    ds.FieldDefs()->Add("D", ftDateTime);
    ds.FieldDefs()->Add("S", ftString, 10);
    ds.AddRow({1234, 2.5, VarFromDateTime(EncodeDate(2026, 3, 9) + EncodeTime(14, 5, 0, 0)), "abc"});
    ds.AddRow({Null(), Null(), Null(), Null()});
    ds.Open();
  }
  TMemDataSet ds;
  TFormatSettingsGuard russian{RussianFormatSettings()};
};

TEST_P(TextByFormat, NumbersAndDatesTakeTheFormat) {
  const FormatCase& c = GetParam();
  if (std::string(c.name).starts_with("Null")) ds.Next();
  TField* f = ds.FieldByName(c.field);
  const std::string expected = *c.expected == '=' ? f->DisplayText() : std::string(c.expected);
  EXPECT_EQ(FieldTextByFormat(f, c.format), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TextByFormat,
    ::testing::Values(FormatCase{"IntegerWithout", "N", "", "="},
                      FormatCase{"Integer", "N", "0.00", "1234,00"},
                      FormatCase{"Float", "X", "0.000", "2,500"},
                      FormatCase{"DateTime", "D", "yyyy-mm-dd hh:nn", "2026-03-09 14:05"},
                      FormatCase{"DateTimeWithout", "D", "", "="},
                      FormatCase{"TextKeepsItsText", "S", "0.0", "abc"},
                      FormatCase{"NullNumber", "X", "0.0", ""}, FormatCase{"NullDate", "D", "dd.mm", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GridUpkeep, AFieldValueFooterShowsADateByItsFormat) {
  TMemDataSet ds;
  ds.FieldDefs()->Add("BORN", ftDateTime);
  ds.AddRow({VarFromDateTime(EncodeDate(2025, 12, 31))});
  ds.Open();
  TDataSource source(nullptr);
  source.SetDataSet(&ds);
  grid->SetDataSource(&source);
  TColumnEx* born = Columns({"BORN"});
  grid->SetFooterRowCount(1);
  born->Footer()->SetValueType(fvtFieldValue);
  born->Footer()->SetDisplayFormat("yyyy/mm/dd");
  EXPECT_EQ(grid->GetFooterValue(0, born), "2025/12/31");
  grid->SetDataSource(nullptr);
}

// ---------------------------------------------------------------- a row the user sized

TEST_F(GridUpkeep, ARowTheUserSizedGivesEveryRowItsHeightAndSurvivesTheNextRowCount) {
  Columns({"ID", "NAME"});
  grid->SetRowSizingAllowed(true);
  grid->SetFocus();
  Pump();
  const int before = grid->DefaultRowHeight();
  const TRect first = grid->CellRect(0, grid->TitleOffset());
  // the indicator cell's lower border, dragged 12 pixels down
  Mouse(WM_LBUTTONDOWN, 4, first.Bottom);
  Mouse(WM_MOUSEMOVE, 4, first.Bottom + 12);
  Mouse(WM_LBUTTONUP, 4, first.Bottom + 12);
  const int sized = before + 12;
  EXPECT_EQ(grid->RowHeight(), sized);
  EXPECT_EQ(grid->RowLines(), 0);
  grid->UpdateRowCount();
  for (int r = grid->TitleOffset(); r < grid->RowCount(); ++r) EXPECT_EQ(grid->RowHeights(r), sized) << r;
  EXPECT_EQ(grid->DefaultRowHeight(), sized);
}

// ---------------------------------------------------------------- the filter row's editor

TEST_F(GridUpkeep, TheFilterEditorFollowsAWidthChangeAndAUserResize) {
  Columns({"ID", "NAME", "SALARY"});
  ShowFilterRow();
  grid->ShowFilterEditor(1);
  Pump();
  ASSERT_TRUE(grid->FilterEditorShown());
  EXPECT_EQ(EditorRect(), grid->FilterCellRect(1));
  Col(0)->SetWidth(Col(0)->Width() + 40);
  Pump();
  EXPECT_EQ(EditorRect(), grid->FilterCellRect(1));
  grid->SetTitleHeight(12);  // a layout pass: the filter row moves down
  Pump();
  EXPECT_EQ(EditorRect(), grid->FilterCellRect(1));
  // the user narrows the first column by its title's border
  const TRect title = grid->CellRect(grid->DataToRawColumn(0), 0);
  Mouse(WM_LBUTTONDOWN, title.Right, Middle(title).Y);
  Mouse(WM_MOUSEMOVE, title.Right - 30, Middle(title).Y);
  Mouse(WM_LBUTTONUP, title.Right - 30, Middle(title).Y);
  const TRect moved = grid->FilterCellRect(1);
  EXPECT_LT(moved.Left, title.Right - 20);
  EXPECT_EQ(EditorRect(), moved);
}

TEST_F(GridUpkeep, AFocusedFilterEditorCountsAsTheGridsFocus) {
  Columns({"ID", "NAME"});
  ShowFilterRow();
  grid->ShowFilterEditor(0);
  Pump();
  ASSERT_TRUE(grid->FilterEditor()->Focused());
  EXPECT_TRUE(grid->AcquireFocus());
}

class MovedColumns : public PeopleGrids {
 protected:
  void SetUp() override {
    PeopleGrids::SetUp();
    grid->SetVisible(false);
    moving = AnotherGrid<OpenGrid>(Rect(0, 0, 580, 280));
    moving->STFilter()->SetVisible(true);
    moving->SetFocus();
    Pump();
  }
  OpenGrid* moving = nullptr;
};

TEST_F(MovedColumns, TheFilterEditorGoesWithTheFocusedColumn) {
  moving->ShowFilterEditor(0);
  Pump();
  TColumnEx* id = moving->Columns()->Items(0);
  int events = 0;
  moving->OnColumnMoved = [&](TObject*, int From, int To) {
    ++events;
    EXPECT_EQ(From, 0);
    EXPECT_EQ(To, 2);
  };
  moving->MoveColumn(moving->DataToRawColumn(0), moving->DataToRawColumn(2));
  Pump();
  EXPECT_EQ(events, 1);
  EXPECT_EQ(moving->Columns()->Items(2), id);
  EXPECT_EQ(moving->FilterColumn(), 2);
  TInplaceFilterEditEx* e = moving->FilterEditor();
  EXPECT_EQ(Rect(e->Left(), e->Top(), e->Left() + e->Width(), e->Top() + e->Height()),
            moving->FilterCellRect(2));
}

// A program that drops the grid's columns at once (the collection cleared, or one deleted by index)
// takes with them the filter editor, the sort marking, the column selection and the footers' sums.
struct GoneColumnsCase {
  const char* name;
  void (*drop)(TDBGridColumnsEx* Columns);
  int filterColumn;  // where the filter editor's column is afterwards, -1 when it went
};

void PrintTo(const GoneColumnsCase& Case, std::ostream* Os) {
  *Os << Case.name;
}

class ColumnsThatGo : public GridUpkeep, public ::testing::WithParamInterface<GoneColumnsCase> {};

TEST_P(ColumnsThatGo, LeaveNothingOfThemInTheGrid) {
  Columns({"ID", "NAME", "SALARY"});
  ShowFilterRow();
  grid->ShowFilterEditor(2);
  Pump();
  ASSERT_EQ(grid->FilterColumn(), 2);
  Col(2)->Title()->SetSortMarker(smDownEx);
  ASSERT_EQ(grid->SortMarkedColumns().size(), 1u);
  Col(2)->Footer()->SetValueType(fvtSum);
  const int sums = grid->SumList()->SumCollection()->Count();
  ASSERT_GT(sums, 0);
  grid->Selection()->Columns()->Select(Col(2), false);
  GetParam().drop(grid->Columns());
  Pump();
  EXPECT_EQ(grid->FilterColumn(), GetParam().filterColumn);
  EXPECT_EQ(grid->FilterEditorShown(), GetParam().filterColumn >= 0);
  const int at = GetParam().filterColumn;
  if (at < 0) {
    EXPECT_TRUE(grid->SortMarkedColumns().empty());
    EXPECT_EQ(grid->SumList()->SumCollection()->Count(), sums - 1);
    EXPECT_TRUE(grid->Selection()->Columns()->empty());
  } else {
    EXPECT_EQ(grid->SortMarkedColumns(), TColumnsExList{Col(at)});
    EXPECT_EQ(grid->SumList()->SumCollection()->Count(), sums);
    EXPECT_EQ(*grid->Selection()->Columns(), TColumnsExList{Col(at)});
  }
  grid->Columns()->Add()->SetFieldName("ID");  // the next layout reads no column that went
  Pump();
}

INSTANTIATE_TEST_SUITE_P(Dropped, ColumnsThatGo,
                         ::testing::Values(GoneColumnsCase{"Cleared", [](TDBGridColumnsEx* C) { C->Clear(); },
                                                           -1},
                                           GoneColumnsCase{"TheFilterColumnDeleted",
                                                           [](TDBGridColumnsEx* C) { C->Delete(2); }, -1},
                                           GoneColumnsCase{"OneLeftOfTheFilterColumnDeleted",
                                                           [](TDBGridColumnsEx* C) { C->Delete(0); }, 1}),
                         [](const auto& Info) { return std::string(Info.param.name); });

// ---------------------------------------------------------------- layout upkeep

TEST_F(GridUpkeep, AChangedDefaultColumnThatTheNextLayoutMakesAgainStaysWholeUntilThen) {
  // over a closed dataset the grid's one default column is made again by every layout pass, and a
  // change to the column asks for one (with fitted widths)
  people->ds.Close();
  grid->SetAutoFitColWidths(true);
  Pump();
  TColumnEx* placeholder = Col(0);
  ASSERT_FALSE(placeholder->Persistent());
  const int passes = grid->LayoutPasses();
  TEditButtonEx* button = placeholder->EditButtons()->Add();
  button->SetWidth(11);
  EXPECT_EQ(placeholder->EditButtons()->Count(), 1);
  EXPECT_EQ(grid->LayoutPasses(), passes);
  Pump();  // the pass the change asked for
  EXPECT_GT(grid->LayoutPasses(), passes);
  ASSERT_EQ(grid->Columns()->Count(), 1);
  people->ds.Open();
  Pump();
  EXPECT_EQ(grid->Columns()->Count(), people->ds.Fields()->Count());
}

TEST_F(GridUpkeep, ADeferredLayoutThatFindsTheGridLockedComesAgainWhenItIsUnlocked) {
  Columns({"ID", "NAME"});
  Pump();
  const int before = grid->LayoutPasses();
  grid->BeginUpdateLayout();
  PostMessage(grid->Handle(), WM_DEFERLAYOUT, 0, 0);
  Pump();
  EXPECT_EQ(grid->LayoutPasses(), before);
  grid->EndUpdateLayout();
  Pump();
  EXPECT_EQ(grid->LayoutPasses(), before + 1);
  Pump();
  EXPECT_EQ(grid->LayoutPasses(), before + 1) << "one request, one pass";
}

TEST_F(GridUpkeep, ScalingRescalesTheFootersOwnFonts) {
  TColumnEx* salary = Columns({"SALARY", "NAME"});
  grid->SetFooterRowCount(2);
  grid->SetParentFont(false);
  grid->FooterFont()->SetSize(8);
  salary->Footer()->Font()->SetSize(10);
  TColumnFooterEx* second = salary->Footers()->Add();
  second->Font()->SetSize(12);
  grid->ScaleBy(3, 2);
  EXPECT_EQ(salary->Footer()->Font()->Size(), 15);
  EXPECT_EQ(second->Font()->Size(), 18);
  EXPECT_EQ(grid->FooterFont()->Size(), 12);
  EXPECT_EQ(Col(1)->Footer()->Font()->Size(), 12) << "a footer without a font of its own follows the grid's";
}

TEST_F(GridUpkeep, TheFooterColourFollowsTheParentsColour) {
  Columns({"ID"});
  grid->SetFooterRowCount(1);
  form->SetColor(clInfoBk);
  grid->SetParentColor(true);
  EXPECT_EQ(grid->FooterColor(), clInfoBk);
  form->SetColor(clMoneyGreen);
  EXPECT_EQ(grid->FooterColor(), clMoneyGreen);
  grid->SetFooterColor(clYellow);  // a colour of its own ends it
  EXPECT_FALSE(grid->ParentColor());
  form->SetColor(clInfoBk);
  EXPECT_EQ(grid->FooterColor(), clYellow);
}

TEST_F(GridUpkeep, InvalidateGridRowInvalidatesThatRowOnly) {
  Columns({"ID", "NAME"});
  Pump();
  Drain();
  ValidateRect(grid->Handle(), nullptr);
  const int row = grid->TitleOffset() + 1;
  InvalidateGridRow(grid, row);
  RECT r;
  ASSERT_TRUE(GetUpdateRect(grid->Handle(), &r, false));
  const TRect first = grid->CellRect(0, row), last = grid->CellRect(grid->ColCount() - 1, row);
  const TRect next = grid->CellRect(0, row + 1);
  // the row's cells with their grid lines, and nothing of the rows round it
  EXPECT_EQ(r.Top, first.Top);
  EXPECT_GE(r.Bottom, first.Bottom);
  EXPECT_LE(r.Bottom, next.Top);
  EXPECT_EQ(r.Left, first.Left);
  EXPECT_GE(r.Right, last.Right);
}

// ---------------------------------------------------------------- the flat frame

class FlatBorder : public PeopleGrids {
 protected:
  FlatBorder() : PeopleGrids(Rect(40, 40, 620, 300), Rect(10, 10, 280, 240)) {}
  void SetUp() override {
    PeopleGrids::SetUp();
    Columns({"ID", "NAME", "SALARY"});
    plain = AnotherGrid(Rect(295, 10, 565, 240));
    Pump();
  }
  // The colour of the form at a point of a control's window (its frame included).
  COLORREF WindowPixel(TWinControl* Control, int X, int Y) {
    Drain();
    RECT w, f;
    GetWindowRect(Control->Handle(), w);
    GetWindowRect(form->Handle(), f);
    return talvik::gui::WindowPixel(form->Handle(), w.Left - f.Left + X, w.Top - f.Top + Y);
  }
  TDBGridEx* plain = nullptr;
};

TEST_F(FlatBorder, AFlatGridHasAOnePixelSunkenFrameOfItsOwn) {
  grid->SetFlat(true);
  Pump();
  ASSERT_TRUE(grid->Ctl3D());
  EXPECT_EQ(GetWindowLongPtr(grid->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
  EXPECT_EQ(GetWindowLongPtr(grid->Handle(), GWL_STYLE) & WS_BORDER, 0);
  RECT w;
  GetWindowRect(grid->Handle(), w);
  const TPoint origin = grid->ClientToScreen(TPoint{0, 0});
  EXPECT_EQ(origin.X - w.Left, 1);
  EXPECT_EQ(origin.Y - w.Top, 1);
  EXPECT_EQ(WindowPixel(grid, 5, 0), ColorToRGB(cl3DDkShadow));
  EXPECT_EQ(WindowPixel(grid, 5, w.Bottom - w.Top - 1), ColorToRGB(cl3DLight));
  EXPECT_EQ(WindowPixel(grid, w.Right - w.Left - 1, 20), ColorToRGB(cl3DLight));
  // the grid beside it keeps the 3D client edge
  EXPECT_NE(GetWindowLongPtr(plain->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
  const TPoint plainOrigin = plain->ClientToScreen(TPoint{0, 0});
  RECT pw;
  GetWindowRect(plain->Handle(), pw);
  EXPECT_EQ(plainOrigin.X - pw.Left, 2);
  Shot("grid-flat-border.png");
  // without Ctl3D the frame is the window's own single border again
  grid->SetCtl3D(false);
  Pump();
  EXPECT_NE(GetWindowLongPtr(grid->Handle(), GWL_STYLE) & WS_BORDER, 0);
  EXPECT_EQ(grid->ClientToScreen(TPoint{0, 0}).X - w.Left, 1);
  EXPECT_EQ(WindowPixel(grid, w.Right - w.Left - 1, 20), ColorToRGB(clWindowFrame));
}

TEST_F(FlatBorder, ADropDownGridKeepsItsOwnFrame) {
  TColumnEx* dept = plain->Columns()->Add();
  dept->SetFieldName("DEPT_NAME");
  TPopupDataGridEx* list = dept->DataGrid();
  list->HandleNeeded();
  RECT w;
  GetWindowRect(list->Handle(), w);
  EXPECT_EQ(list->ClientToScreen(TPoint{0, 0}).X - w.Left, 1);
}

// ---------------------------------------------------------------- cell frames

class CellFrames : public PeopleGrids {
 protected:
  CellFrames() : PeopleGrids(Rect(40, 40, 560, 400), Rect(0, 0, 520, 170)) {}
  void SetUp() override {
    PeopleGrids::SetUp();
    Columns({"ID", "NAME", "SALARY"});
    for (int i = 0; i < 3; ++i) Col(i)->SetWidth(120);
    lined = AnotherGrid(Rect(0, 180, 520, 350));
    for (int i = 0; i < 3; ++i) lined->Columns()->Items(i)->SetWidth(120);
    for (TDBGridEx* g : {grid, lined}) g->SetOptionsEx(g->OptionsEx() + dghData3D);
    grid->SetOptions(grid->Options() - dgColLines);
    Pump();
  }
  TColumnEx* Col(int I) { return grid->Columns()->Items(I); }
  TDBGridEx* lined = nullptr;
};

TEST_F(CellFrames, WithoutColumnLinesTheCellsOfARowJoinIntoOneBand) {
  const TRect a = grid->CellRect(grid->DataToRawColumn(0), 0);
  const TRect b = grid->CellRect(grid->DataToRawColumn(1), 0);
  ASSERT_EQ(a.Right, b.Left);
  const int y = Middle(a).Y;
  const COLORREF face = ColorToRGB(grid->FixedColor());
  // no side edges where two title cells meet
  EXPECT_EQ(Pixel(a.Right - 1, y), face);
  EXPECT_EQ(Pixel(b.Left, y), face);
  // the band's own ends: lit at the grid's left, shaded right of the last column
  const TRect last = grid->CellRect(grid->ColCount() - 1, 0);
  EXPECT_EQ(Pixel(0, y), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(Pixel(last.Right - 1, y), ColorToRGB(clBtnShadow));
  // top and bottom stay
  EXPECT_EQ(Pixel(Middle(a).X, a.Top), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(Pixel(Middle(a).X, a.Bottom - 1), ColorToRGB(clBtnShadow));
}

TEST_F(CellFrames, RightToLeftTheBandEndsAtTheMirroredSides) {
  for (TDBGridEx* g : {grid, lined}) g->SetBiDiMode(bdRightToLeft);
  Pump();
  const TRect a = grid->CellRect(grid->DataToRawColumn(0), 0);
  const TRect b = grid->CellRect(grid->DataToRawColumn(1), 0);
  ASSERT_GT(a.Left, b.Left) << "mirrored: the first column at the right";
  const int y = Middle(a).Y;
  const COLORREF face = ColorToRGB(grid->FixedColor());
  EXPECT_EQ(Pixel(a.Left, y), face);
  EXPECT_EQ(Pixel(b.Right - 1, y), face);
  // the indicator at the right end is the band's start (its light side); the last column's outer
  // side, at the screen's left, ends the band
  const TRect last = grid->CellRect(grid->ColCount() - 1, 0);
  const TRect indicator = grid->CellRect(0, 0);
  EXPECT_EQ(Pixel(indicator.Right - 1, y), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(Pixel(last.Left, y), ColorToRGB(clBtnShadow));
  // a data row joins the same way; the grid with column lines frames every cell whole
  const TRect cell = grid->CellRect(grid->DataToRawColumn(1), grid->TitleOffset());
  EXPECT_EQ(Pixel(cell.Left, Middle(cell).Y), ColorToRGB(grid->Color()));
  const TRect linedCell = lined->CellRect(lined->DataToRawColumn(1), lined->TitleOffset());
  EXPECT_NE(FormPixel(form.get(), lined, linedCell.Left, Middle(linedCell).Y), ColorToRGB(lined->Color()));
  Shot("grid-frames-right-to-left.png");
}

}  // namespace
