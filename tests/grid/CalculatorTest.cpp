// The calculator: the key handler's sequences (operators and the equal button's caption, percentages,
// digit limits, Backspace, the error state), the clipboard keys and the wheel, the control's buttons
// under real clicks, its scaling to the font's text height, and the drop-down's ways of closing.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "GridTestSupport.h"
#include "grid/CalculatorEx.h"
#include "grid/DropDownsEx.h"
#include "platform/gui/Clipbrd.h"

namespace {

using namespace gridtest;

// ---------------------------------------------------------------- the engine

struct CalcCase {
  const char* name;
  double start;  // shown first (status as after a result), NaN for none
  const char* keys;
  const char* display;
  const char* caption;
};

std::ostream& operator<<(std::ostream& os, const CalcCase& c) {
  return os << c.name;
}

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

const CalcCase kCalcCases[] = {
    {"TwoPlusThreeEquals", kNone, "2+3=", "5", "Ok"},
    {"ARightOperandWaiting", kNone, "2+3", "3", "="},
    {"AnOperatorWithoutARightOperand", kNone, "2+", "2", "Ok"},
    {"PercentOfTheOperandForPlus", kNone, "50+10%", "55", "Ok"},
    {"PercentOfTheOperandForMinus", kNone, "50-10%", "45", "Ok"},
    {"PercentAsAFractionForTimes", kNone, "50*10%", "5", "Ok"},
    {"PercentAsAFractionForDivide", kNone, "50/10%", "500", "Ok"},
    {"EnterEqualsToo", kNone, "7*6\r", "42", "Ok"},
    {"ChainedOperatorsApplyInTurn", kNone, "2+3*4=", "20", "Ok"},
    {"ALaterOperatorReplacesTheFirst", kNone, "5+*2=", "10", "Ok"},
    {"FifteenDigitsAndNoMore", kNone, "1234567890123456", "123456789012345", "Ok"},
    {"AMinusSignTakesOneMoreCharacter", kNone, "1I234567890123456", "-123456789012345", "Ok"},
    {"LeadingZeroIsReplaced", kNone, "007", "7", "Ok"},
    {"OneSeparatorOnly", kNone, "1..5,2", "1,52", "Ok"},
    {"SeparatorStartsANumberAfterAResult", 8, ".5", "0,5", "Ok"},
    {"DecimalResult", kNone, "1.5+1=", "2,5", "Ok"},
    {"BackspaceDropsTheLastCharacter", kNone, "123\b", "12", "Ok"},
    {"BackspaceOnMinusAndOneDigit", kNone, "5I\b", "0", "Ok"},
    {"BackspaceOnOneDigit", kNone, "5\b", "0", "Ok"},
    {"BackspaceAfterAResultStartsAtZero", 42, "\b", "0", "Ok"},
    {"DigitAfterAResultStartsANewNumber", 42, "7", "7", "Ok"},
    {"NegateKeepsTyping", kNone, "12I3", "-123", "Ok"},
    {"Reciprocal", kNone, "4R", "0,25", "Ok"},
    {"SquareRoot", kNone, "81S", "9", "Ok"},
    {"DivisionByZero", kNone, "1/0=", "Error", "Ok"},
    {"ReciprocalOfZero", kNone, "0R", "Error", "Ok"},
    {"RootOfANegative", kNone, "4IS", "Error", "Ok"},
    {"ErrorIgnoresAllButC", kNone, "1/0=5+\x1b\b", "Error", "Ok"},
    {"CLeavesTheError", kNone, "1/0=C7", "7", "Ok"},
    {"EscClears", kNone, "9+8\x1b", "0", "Ok"},
    {"LowerCaseKeys", kNone, "9s", "3", "Ok"},
    {"CancelDoesNothingHere", kNone, "9A", "9", "Ok"},
    {"AnOverflowIsAnError", 1e308, "*10=", "Error", "Ok"},
    {"LongResultsInFifteenDigits", kNone, "2/3=", "0,666666666666667", "Ok"},
};

class CalcEngine : public ::testing::TestWithParam<CalcCase> {};

TEST_P(CalcEngine, KeysGiveTheDisplay) {
  const CalcCase& c = GetParam();
  TFormatSettingsGuard russian(RussianFormatSettings());
  TCalculatorEngine e;
  e.Clear();
  if (!std::isnan(c.start)) e.SetDisplay(c.start);
  for (const char* k = c.keys; *k; ++k) e.CalcKey(static_cast<unsigned char>(*k));
  EXPECT_EQ(e.Text(), c.display);
  EXPECT_EQ(e.EqualCaption(), c.caption);
}

INSTANTIATE_TEST_SUITE_P(Sequences, CalcEngine, ::testing::ValuesIn(kCalcCases),
                         [](const ::testing::TestParamInfo<CalcCase>& i) {
                           return std::string(i.param.name);
                         });

TEST(CalcEngineState, ClearAndTheValuesTheEqualButtonReads) {
  TCalculatorEngine e;
  EXPECT_EQ(e.Operator(), 0u);  // before the first Clear
  e.Clear();
  EXPECT_EQ(e.Operator(), static_cast<char32_t>('='));
  EXPECT_EQ(e.Status(), csFirst);
  for (char k : std::string("0-5")) e.CalcKey(k);
  EXPECT_EQ(e.EqualCaption(), "Ok");  // the operand is 0
  e.CalcKey('=');
  EXPECT_EQ(e.Text(), "-5");  // 0 - 5, though the button read "Ok" with 0 as the operand
  e.CalcKey('1');
  e.CalcKey('/');
  e.CalcKey('0');
  e.CalcKey('=');
  EXPECT_EQ(e.Status(), csError);
  EXPECT_EQ(e.GetDisplay(), 0);
  e.WheelStep(1);
  EXPECT_EQ(e.Text(), "Error");  // the wheel does nothing in the error state
}

TEST(CalcEngineState, TheWheelStepsTheDisplayByOne) {
  TFormatSettingsGuard russian(RussianFormatSettings());
  TCalculatorEngine e;
  e.Clear();
  for (char k : std::string("2.5")) e.CalcKey(k);
  e.WheelStep(1);
  EXPECT_EQ(e.Text(), "3,5");
  e.WheelStep(-1);
  e.WheelStep(-1);
  EXPECT_EQ(e.Text(), "1,5");
  EXPECT_EQ(e.Status(), csValid);  // the wheel leaves the status
}

TEST(CalcEngineState, CopyAndPasteGoThroughTheClipboard) {
  TCalculatorEngine e;
  e.Clear();
  std::string copied, clip = " 12.25 ";
  bool hasText = true;
  e.OnCopy = [&](const std::string& T) { copied = T; };
  e.OnPaste = [&](std::string& T) {
    T = clip;
    return hasText;
  };
  e.CalcKey('9');
  e.CalcKey(kCalcCopyKey);
  EXPECT_EQ(copied, "9");
  e.CalcKey(kCalcPasteKey);
  EXPECT_EQ(e.Text(), "12.25");
  hasText = false;
  clip = "1";
  e.CalcKey(kCalcPasteKey);
  EXPECT_EQ(e.Text(), "12.25");
  hasText = true;
  clip = "twelve";
  EXPECT_THROW(e.CalcKey(kCalcPasteKey), EConvertError);
}

// ---------------------------------------------------------------- the controls

// An owner that hears the drop-down's close-up.
class TCalcOwner : public TComponent, public IPopupOwnerEx {
  TALVIK_CLASS(TCalcOwner, TComponent)
  using TComponent::TComponent;
  void CloseUp(bool Accept) override { closes.push_back(Accept); }
  std::vector<bool> closes;
};

// A calculator read from a layout stored for another text height.
class TScaledCalculator : public TCalculatorEx {
  TALVIK_CLASS(TScaledCalculator, TCalculatorEx)
  TScaledCalculator(TComponent* AOwner, int StoredPixelsPerInch, int StoredTextHeight)
      : TCalculatorEx(AOwner, StoredPixelsPerInch, StoredTextHeight) {}
};

class Calculator : public GridGuiTest {
 protected:
  void SetUp() override {
    GridGuiTest::SetUp();
    SetClipboardBackend(MakeMemoryClipboard());
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 300, 200);
    form->Show();
  }
  void TearDown() override {
    form.reset();
    SetClipboardBackend(nullptr);
    GridGuiTest::TearDown();
  }
  static void Pump() { talvik::gui::ProcessPending(); }
  void Click(TControl* C) {
    const TPoint p = C->ClientToScreen(TPoint(C->Width() / 2, C->Height() / 2));
    Advance(600);
    talvik::gui::InjectMouse(WM_LBUTTONDOWN, POINT{p.X, p.Y});
    Pump();
    talvik::gui::InjectMouse(WM_LBUTTONUP, POINT{p.X, p.Y});
    Pump();
  }
  // A length of the stored layout as the font's text height of "0" scales it (stored for 13 pixels).
  static int Scaled(int V) {
    TFont f;
    f.SetName("MS Sans Serif");
    f.SetHeight(-11);
    TBitmap b;
    b.Canvas()->Font()->Assign(&f);
    return MulDiv(V, b.Canvas()->TextHeight("0"), 13);
  }
  std::unique_ptr<TForm> form;
  TFormatSettingsGuard russian{RussianFormatSettings()};
};

TEST_F(Calculator, TheStoredLayoutAndClicksOnItsButtons) {
  auto* calc = new TCalculatorEx(form.get());
  calc->SetParent(form.get());
  calc->SetLeft(8);
  calc->SetTop(8);
  EXPECT_EQ(calc->ClientWidth(), Scaled(184));
  EXPECT_EQ(calc->ClientHeight(), Scaled(127));
  EXPECT_EQ(calc->ControlCount(), 24);  // the panel and 23 buttons
  EXPECT_EQ(calc->TextBox->Caption(), "0");
  EXPECT_EQ(calc->spEqual->Caption(), "Ok");
  TSpeedButtonEx* seven = calc->ButtonOfKey('7');
  ASSERT_NE(seven, nullptr);
  EXPECT_EQ(seven->Caption(), "7");
  EXPECT_EQ(seven->BoundsRect(),
            Rect(Scaled(6), Scaled(29), Scaled(6) + Scaled(27), Scaled(29) + Scaled(22)));
  EXPECT_EQ(seven->Font()->Color(), clBlue);
  EXPECT_EQ(seven->Style(), ebsGlyphEx);
  EXPECT_TRUE(seven->Active());
  EXPECT_EQ(calc->ButtonOfKey('C')->Height(), Scaled(46));
  for (char32_t k : {U'7', U'+', U'2'}) Click(calc->ButtonOfKey(k));
  EXPECT_EQ(calc->TextBox->Caption(), "2");
  EXPECT_EQ(calc->spEqual->Caption(), "=");
  Click(calc->spEqual);
  EXPECT_EQ(calc->TextBox->Caption(), "9");
  EXPECT_EQ(calc->spEqual->Caption(), "Ok");
  Click(calc->ButtonOfKey(kCalcCancelKey));  // nothing to cancel on a plain calculator
  EXPECT_EQ(calc->TextBox->Caption(), "9");
  // typed keys and the clipboard
  calc->SetFocus();
  talvik::gui::InjectKey('C', true, 3, {false, true, false});
  talvik::gui::InjectKey('C', false, 0, {false, true, false});
  Pump();
  EXPECT_EQ(Clipboard()->AsText(), "9");
  Clipboard()->SetAsText("-1,5");
  talvik::gui::InjectKey('V', true, 22, {false, true, false});
  talvik::gui::InjectKey('V', false, 0, {false, true, false});
  Pump();
  EXPECT_EQ(calc->TextBox->Caption(), "-1,5");
  // the wheel over it
  const TPoint p = calc->ClientToScreen(TPoint(40, 60));
  talvik::gui::InjectMouse(WM_MOUSEWHEEL, POINT{p.X, p.Y}, {}, 120);
  Pump();
  EXPECT_EQ(calc->TextBox->Caption(), "-0,5");
}

TEST_F(Calculator, ADifferentTextHeightScalesTheLayout) {
  auto* plain = new TCalculatorEx(form.get());
  TBitmap b;
  b.Canvas()->Font()->Assign(plain->Font());
  const int height = b.Canvas()->TextHeight("0");
  ASSERT_GT(height, 1);
  // stored for a text height of 1: everything as many times larger as the font's text is high
  auto* larger = new TScaledCalculator(form.get(), 96, 1);
  EXPECT_EQ(larger->ClientWidth(), 184 * height);
  EXPECT_EQ(larger->ClientHeight(), 127 * height);
  EXPECT_EQ(larger->ButtonOfKey('7')->BoundsRect(), Rect(6 * height, 29 * height, 33 * height, 51 * height));
  EXPECT_EQ(larger->TextBox->BoundsRect(), Rect(2 * height, 1 * height, 168 * height, 18 * height));
  // stored for the same height: as stored
  auto* same = new TScaledCalculator(form.get(), 96, height);
  EXPECT_EQ(same->ClientWidth(), 184);
  EXPECT_EQ(same->ButtonOfKey('7')->BoundsRect(), Rect(6, 29, 33, 51));
  // a layout stored at 48 pixels per inch doubles its font; one at 0 keeps it
  auto* lowDpi = new TScaledCalculator(form.get(), 48, 0);
  EXPECT_EQ(lowDpi->Font()->Height(), -22);
  auto* noDpi = new TScaledCalculator(form.get(), 0, 0);
  EXPECT_EQ(noDpi->Font()->Height(), -11);
  EXPECT_EQ(noDpi->PixelsPerInch(), 0);
  noDpi->SetPixelsPerInch(20);
  EXPECT_EQ(noDpi->PixelsPerInch(), 0);  // below 36: ignored
}

TEST_F(Calculator, TheDropDownClosesAcceptingOrNot) {
  TCalcOwner owner(nullptr);
  auto* popup = new TPopupCalculatorEx(&owner);
  EXPECT_FALSE(popup->Visible());
  EXPECT_FALSE(popup->CanFocus());
  EXPECT_TRUE(popup->Flat());
  popup->HandleNeeded();
  EXPECT_EQ(popup->Width(), Scaled(184) + 4);
  EXPECT_NE(GetWindowLong(popup->Handle(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
  EXPECT_EQ(popup->Perform(WM_MOUSEACTIVATE), MA_NOACTIVATE);
  EXPECT_NE(popup->Perform(WM_GETDLGCODE) & DLGC_WANTALLKEYS, 0);
  // "=" computes while the button reads "=", Enter then accepts
  popup->SetValue(TVariant(2.0));
  popup->CalcKey('+');
  popup->CalcKey('3');
  popup->CalcKey('=');
  EXPECT_TRUE(owner.closes.empty());
  EXPECT_EQ(popup->TextBox->Caption(), "5");
  popup->CalcKey(kCalcEnterKey);
  ASSERT_EQ(owner.closes, std::vector<bool>{true});
  EXPECT_EQ(popup->Value().AsDouble(), 5.0);
  // "=" while it reads "Ok" accepts as well
  popup->CalcKey('=');
  EXPECT_EQ(owner.closes.back(), true);
  // Esc, WM_USER+101 and "Cancel" close without accepting
  WORD esc = VK_ESCAPE;
  popup->Perform(WM_KEYDOWN, esc);
  popup->Perform(WM_CALCULATOR_CLOSE);
  popup->CalcKey(kCalcCancelKey);
  EXPECT_EQ(owner.closes, (std::vector<bool>{true, true, false, false, false}));
  // the special-key query: Enter accepts, Esc does not
  EXPECT_EQ(popup->Perform(CM_WANTSPECIALKEY, VK_RETURN), 1);
  EXPECT_EQ(popup->Perform(CM_WANTSPECIALKEY, VK_ESCAPE), 1);
  EXPECT_EQ(owner.closes.size(), 7u);
  EXPECT_TRUE(owner.closes[5]);
  EXPECT_FALSE(owner.closes[6]);
  // Value: round trip, and no number in the error state
  popup->SetValue(TVariant(-12.75));
  EXPECT_EQ(popup->TextBox->Caption(), "-12,75");
  EXPECT_EQ(popup->Value().AsDouble(), -12.75);
  popup->SetValue(Null());
  EXPECT_EQ(popup->TextBox->Caption(), "0");
  popup->CalcKey('R');
  EXPECT_TRUE(popup->Value().IsNull());
  popup->SetFlat(false);
  EXPECT_FALSE(popup->ButtonOfKey('7')->Flat());
}

}  // namespace
