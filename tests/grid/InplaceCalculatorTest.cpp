// A numeric column's drop-down button in the grid: the in-place editor drops the calculator down under
// the cell with the cell's value, hands it Enter, Esc and what is typed, and writes the result back.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "GridFormSupport.h"
#include "grid/DBGridEx.h"
#include "grid/DBGridExFindDlg.h"

using namespace gridtest;
using talvik::gui::ShiftKeys;

namespace {

class InplaceCalculator : public PeopleGrid {
 protected:
  InplaceCalculator() : PeopleGrid(Rect(50, 50, 470, 310), Rect(0, 0, 400, 240)) {}
  void SetUp() override {
    PeopleGrid::SetUp();
    Columns({"ID", "NAME", "SALARY"});
    grid->Columns()->Items(1)->SetButtonStyle(cbsDropDown);
    grid->Columns()->Items(2)->SetButtonStyle(cbsDropDown);
    grid->Columns()->Items(2)->SetWidth(120);
  }
  static void Type(const std::string& Keys) {
    for (char c : Keys) Key(0, static_cast<unsigned char>(c));
  }
  TFormatSettingsGuard russian{RussianFormatSettings()};
};

TEST_F(InplaceCalculator, ANumericCellsCalculatorWritesItsValue) {
  TDBGridInplaceEdit* e = Edit(2);
  ASSERT_NE(e, nullptr);
  ASSERT_EQ(e->EditStyle(), esDropDown);
  TPopupCalculatorEx* calc = e->GetPopupCalculator();
  EXPECT_EQ(e->ActiveList(), calc);
  EXPECT_FALSE(calc->Visible());
  AltDown();
  ASSERT_TRUE(e->ListVisible());
  EXPECT_TRUE(IsWindowVisible(calc->Handle()));
  EXPECT_EQ(calc->TextBox->Caption(), "1500,5");
  EXPECT_EQ(calc->Flat(), grid->Flat());
  const TRect cell = GetControlScreenRect(e);
  EXPECT_EQ(calc->BoundsRect().Top, cell.Bottom);  // under the cell
  EXPECT_EQ(calc->BoundsRect().Left, cell.Left);
  EXPECT_EQ(e->SelLength(), 0);
  // typed keys reach the calculator, not the cell
  Type("+100");
  EXPECT_EQ(calc->TextBox->Caption(), "100");
  EXPECT_EQ(calc->spEqual->Caption(), "=");
  Key(VK_RETURN, U'\r');  // computes while the button reads "="
  EXPECT_TRUE(e->ListVisible());
  EXPECT_EQ(calc->TextBox->Caption(), "1600,5");
  EXPECT_EQ(e->Text(), "1500,5");
  Key(VK_RETURN, U'\r');  // "Ok": accepts
  EXPECT_FALSE(e->ListVisible());
  EXPECT_FALSE(IsWindowVisible(calc->Handle()));
  EXPECT_EQ(e->Text(), "1600,5");
  EXPECT_EQ(e->SelLength(), static_cast<int>(e->Text().size()));
  Key(VK_RETURN, U'\r');  // the grid writes its editor
  EXPECT_DOUBLE_EQ(people->F("SALARY")->AsFloat(), 1600.5);
}

TEST_F(InplaceCalculator, EscAndTheCancelButtonLeaveTheCellAsItWas) {
  TDBGridInplaceEdit* e = Edit(2);
  ASSERT_NE(e, nullptr);
  AltDown();
  TPopupCalculatorEx* calc = e->GetPopupCalculator();
  Type("*2");
  Key(VK_ESCAPE, 27);
  EXPECT_FALSE(e->ListVisible());
  EXPECT_EQ(e->Text(), "1500,5");
  EXPECT_FALSE(people->ds.Modified());
  // the "Cancel" button, clicked
  AltDown();
  ASSERT_TRUE(e->ListVisible());
  Type("7");
  TSpeedButtonEx* cancel = calc->ButtonOfKey(kCalcCancelKey);
  const TPoint p = cancel->ClientToScreen(TPoint(5, 5));
  talvik::gui::InjectMouse(WM_LBUTTONDOWN, POINT{p.X, p.Y});
  Pump();
  talvik::gui::InjectMouse(WM_LBUTTONUP, POINT{p.X, p.Y});
  Pump();
  EXPECT_FALSE(e->ListVisible());
  EXPECT_EQ(e->Text(), "1500,5");
  // a text column's drop-down button opens nothing
  e = Edit(1);
  EXPECT_EQ(e->EditStyle(), esDropDown);
  EXPECT_EQ(e->ActiveList(), nullptr);
  AltDown();
  EXPECT_FALSE(e->ListVisible());
}

TEST_F(InplaceCalculator, ASearchAwayFromTheEditedRecordKeepsTheCalculatorsValue) {
  TDBGridInplaceEdit* e = Edit(2);
  ASSERT_NE(e, nullptr);
  AltDown();
  Type("*2");
  Key(VK_RETURN, U'\r');
  Key(VK_RETURN, U'\r');
  ASSERT_EQ(e->Text(), "3001");
  ASSERT_EQ(people->ds.State(), dsEdit);
  // the find engine moves on to Bob: Ann's record is posted with the value in the editor
  TGridFindEngine engine;
  engine.SetGrid(grid);
  engine.SetColumns({grid->Columns()->Items(1)}, gfdAll);
  ASSERT_EQ(engine.FindNext("Bob", TGridFindOptions(), false), gfrFound);
  EXPECT_EQ(people->F("NAME")->AsString(), "Bob");
  people->ds.First();
  EXPECT_DOUBLE_EQ(people->F("SALARY")->AsFloat(), 3001.0);
}

TEST_F(InplaceCalculator, Screenshot) {
  TDBGridInplaceEdit* e = Edit(2);
  ASSERT_NE(e, nullptr);
  AltDown();
  Type("+2");
  Drain();
  EXPECT_TRUE(
      talvik::gui::RenderScreenToPng(ScreenshotDir() + "/grid-cell-calculator.png", Rect(40, 40, 480, 320)));
}

}  // namespace
