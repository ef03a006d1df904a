// Layout services of the controls: right-to-left reading and alignment (inherited from the parent,
// window styles, where the standard controls put their text, boxes and scroll bars), size limits,
// scaling, and icons loaded by name.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "FormTestSupport.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/StdCtrls.h"
#include "platform/gui/WinManager.h"

using namespace guitest;

namespace {

class ControlsLayout : public FormTest {
 protected:
  ControlsLayout() : FormTest(420, 320) {}
  // The leftmost and rightmost columns of the control where a pixel differs from its colour (the
  // text, the check box), in client coordinates; {-1, -1} when none does.
  std::pair<int, int> Ink(TControl* c) {
    talvik::gui::UpdateAllWindows(form->Handle());
    RECT window;
    GetWindowRect(form->Handle(), window);
    const TPoint origin = c->ClientToScreen({0, 0});
    const COLORREF back = ColorToRGB(c->Color());
    std::pair<int, int> ink{-1, -1};
    for (int x = 2; x < c->ClientWidth() - 2; ++x)
      for (int y = 2; y < c->ClientHeight() - 2; ++y) {
        const COLORREF p =
            talvik::gui::WindowPixel(form->Handle(), origin.X - window.Left + x, origin.Y - window.Top + y);
        if (p == back) continue;
        if (ink.first < 0) ink.first = x;
        ink.second = x;
        break;
      }
    return ink;
  }
};

// ---------------------------------------------------------------- right to left

TEST_F(ControlsLayout, AControlIsWindowedExactlyWhenItIsAWinControl) {
  std::vector<TControl*> controls = {new TLabel(form.get()), new TBevel(form.get()), new TPanel(form.get()),
                                     new TEdit(form.get()), new TGroupBox(form.get())};
  controls.push_back(form.get());
  for (TControl* c : controls) EXPECT_EQ(c->AsWinControl(), dynamic_cast<TWinControl*>(c)) << c->ClassName();
}

TEST_F(ControlsLayout, TheModeFlowsFromTheParentUntilAControlSetsItsOwn) {
  auto* panel = Add<TPanel>(10, 10, 200, 100);
  auto* edit = Add<TEdit>(10, 10, 100, 21, panel);
  form->SetBiDiMode(bdRightToLeft);
  EXPECT_EQ(panel->BiDiMode(), bdRightToLeft);
  EXPECT_EQ(edit->BiDiMode(), bdRightToLeft) << "through the panel";
  EXPECT_TRUE(edit->ParentBiDiMode());
  edit->SetBiDiMode(bdLeftToRight);
  EXPECT_FALSE(edit->ParentBiDiMode());
  form->SetBiDiMode(bdRightToLeftNoAlign);
  EXPECT_EQ(panel->BiDiMode(), bdRightToLeftNoAlign);
  EXPECT_EQ(edit->BiDiMode(), bdLeftToRight) << "a mode of its own stays";
  edit->SetParentBiDiMode(true);
  EXPECT_EQ(edit->BiDiMode(), bdRightToLeftNoAlign);
  auto* late = new TLabel(form.get());
  late->SetParent(panel);
  EXPECT_EQ(late->BiDiMode(), bdRightToLeftNoAlign) << "taken when it gets its parent";
}

TEST_F(ControlsLayout, TheThreeDimensionalLookFlowsFromTheParentToo) {
  auto* panel = Add<TPanel>(10, 10, 200, 100);
  auto* edit = Add<TEdit>(10, 10, 100, 21, panel);
  auto* flat = Add<TEdit>(10, 40, 100, 21, panel);
  flat->SetCtl3D(false);
  form->SetCtl3D(false);
  EXPECT_FALSE(panel->Ctl3D());
  EXPECT_FALSE(edit->Ctl3D()) << "through the panel";
  EXPECT_EQ(GetWindowLongPtr(edit->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0) << "its window follows";
  form->SetCtl3D(true);
  EXPECT_TRUE(edit->Ctl3D());
  EXPECT_FALSE(flat->Ctl3D()) << "a look of its own stays";
  EXPECT_FALSE(flat->ParentCtl3D());
}

struct ModeStyles {
  const char* name;
  TBiDiMode mode;
  bool memo;
  TAlignment alignment;
  DWORD exStyle;     // of WS_EX_RTLREADING, WS_EX_LEFTSCROLLBAR, WS_EX_RIGHT
  DWORD alignStyle;  // of ES_RIGHT, ES_CENTER
};

void PrintTo(const ModeStyles& c, std::ostream* os) {
  *os << c.name;
}

class ModeWindowStyles : public ControlsLayout, public ::testing::WithParamInterface<ModeStyles> {};

TEST_P(ModeWindowStyles, FollowTheModeAndTheTextsAlignment) {
  const ModeStyles& c = GetParam();
  TCustomEdit* edit = nullptr;
  if (c.memo) {
    auto* memo = Add<TMemo>(10, 10, 200, 80);
    memo->SetAlignment(c.alignment);
    edit = memo;
  } else {
    edit = Add<TEdit>(10, 10, 200, 21);
  }
  edit->SetBiDiMode(c.mode);
  const auto ex = static_cast<DWORD>(GetWindowLongPtr(edit->Handle(), GWL_EXSTYLE));
  const auto style = static_cast<DWORD>(GetWindowLongPtr(edit->Handle(), GWL_STYLE));
  EXPECT_EQ(ex & (WS_EX_RTLREADING | WS_EX_LEFTSCROLLBAR | WS_EX_RIGHT), c.exStyle);
  EXPECT_EQ(style & (ES_RIGHT | ES_CENTER), c.alignStyle);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ModeWindowStyles,
    ::testing::Values(ModeStyles{"EditLeftToRight", bdLeftToRight, false, taLeftJustify, 0, 0},
                      ModeStyles{"EditRightToLeft", bdRightToLeft, false, taLeftJustify,
                                 WS_EX_RTLREADING | WS_EX_LEFTSCROLLBAR | WS_EX_RIGHT, 0},
                      ModeStyles{"EditNoAlign", bdRightToLeftNoAlign, false, taLeftJustify,
                                 WS_EX_RTLREADING | WS_EX_LEFTSCROLLBAR, 0},
                      ModeStyles{"EditReadingOnly", bdRightToLeftReadingOnly, false, taLeftJustify,
                                 WS_EX_RTLREADING, 0},
                      ModeStyles{"MemoRightAlignedRightToLeftStandsLeft", bdRightToLeft, true, taRightJustify,
                                 WS_EX_RTLREADING | WS_EX_LEFTSCROLLBAR, 0},
                      ModeStyles{"MemoLeftAlignedRightToLeftStandsRight", bdRightToLeft, true, taLeftJustify,
                                 WS_EX_RTLREADING | WS_EX_LEFTSCROLLBAR | WS_EX_RIGHT, ES_RIGHT},
                      ModeStyles{"MemoCentredStaysCentred", bdRightToLeft, true, taCenter,
                                 WS_EX_RTLREADING | WS_EX_LEFTSCROLLBAR, ES_CENTER}),
    [](const auto& info) { return std::string(info.param.name); });

struct ModeLook {
  const char* name;
  TBiDiMode mode;
  bool right;  // the ink stands in the right half
};

void PrintTo(const ModeLook& c, std::ostream* os) {
  *os << c.name;
}

class ModeLooks : public ControlsLayout, public ::testing::WithParamInterface<ModeLook> {};

// Each standard control with short text, in the mode: where its text (and box) shows.
TEST_P(ModeLooks, TextAndBoxesStandAtTheReadingSide) {
  const ModeLook& c = GetParam();
  form->SetBiDiMode(c.mode);
  auto* edit = Add<TEdit>(10, 10, 200, 21);
  edit->SetText("Сеанс");
  auto* label = Add<TLabel>(10, 40, 200, 17);
  label->SetAutoSize(false);
  label->SetCaption("Сеанс");
  auto* list = Add<TListBox>(10, 60, 200, 40);
  list->Items()->SetText("Сеанс\nSYS");
  auto* check = Add<TCheckBox>(10, 110, 200, 17);
  check->SetCaption("Сеанс");
  auto* memo = Add<TMemo>(10, 130, 200, 40);
  memo->Lines()->SetText("Сеанс");
  form->Show();
  for (TControl* control : std::initializer_list<TControl*>{edit, label, list, check, memo}) {
    const auto [left, right] = Ink(control);
    ASSERT_GE(left, 0) << control->ClassName();
    const int middle = control->ClientWidth() / 2;
    if (c.right) {
      EXPECT_GT(left, middle) << control->ClassName();
    } else {
      EXPECT_LT(right, middle) << control->ClassName();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ModeLooks,
                         ::testing::Values(ModeLook{"LeftToRight", bdLeftToRight, false},
                                           ModeLook{"RightToLeft", bdRightToLeft, true},
                                           ModeLook{"NoAlignKeepsTheLeft", bdRightToLeftNoAlign, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ControlsLayout, ChangingTheModeOfAShownEditKeepsItsTextAndMovesTheScrollBar) {
  auto* memo = Add<TMemo>(10, 10, 200, 80);
  memo->SetScrollBars(ssVertical);
  memo->Lines()->SetText("один\nдва");
  form->Show();
  const TPoint before = memo->ClientToScreen({0, 0});
  memo->SetBiDiMode(bdRightToLeft);
  EXPECT_EQ(memo->Text(), "один\r\nдва");
  const TPoint after = memo->ClientToScreen({0, 0});
  EXPECT_EQ(after.X - before.X, GetSystemMetrics(SM_CXVSCROLL)) << "the scroll bar went to the left";
}

TEST_F(ControlsLayout, ScreenshotRightToLeftForm) {
  form->SetBiDiMode(bdRightToLeft);
  form->SetCaption("Справа налево");
  auto* label = Add<TLabel>(10, 10, 390, 17);
  label->SetAutoSize(false);
  label->SetCaption("Имя пользователя:");
  auto* edit = Add<TEdit>(10, 30, 390, 21);
  edit->SetText("SYSTEM (2)");
  auto* memo = Add<TMemo>(10, 60, 390, 70);
  memo->SetScrollBars(ssVertical);
  memo->Lines()->SetText("select sid\nfrom v$session\nwhere status = 'ACTIVE'");
  auto* list = Add<TListBox>(10, 140, 390, 60);
  list->Items()->SetText("ACTIVE\nINACTIVE\nKILLED");
  list->SetItemIndex(1);
  auto* check = Add<TCheckBox>(10, 210, 390, 17);
  check->SetCaption("Только активные");
  check->SetChecked(true);
  auto* radio = Add<TRadioButton>(10, 230, 390, 17);
  radio->SetCaption("По имени");
  radio->SetChecked(true);
  auto* combo = Add<TComboBox>(10, 250, 390, 21);
  combo->SetStyle(csDropDownList);
  combo->Items()->Add("Сеансов: 12!");
  combo->SetItemIndex(0);
  auto* status = Add<TStatusBar>(0, 0, 0, 20);
  status->SetSimplePanel(true);
  status->SetSimpleText("Готово: 3 сеанса.");
  form->Show();
  Application->ProcessMessages();
  const char* bin = std::getenv("TALVIK_BINARY_DIR");
  const std::string dir = std::string(bin ? bin : ".") + "/screenshots";
  std::filesystem::create_directories(dir);
  ASSERT_TRUE(talvik::gui::RenderWindowToPng(form->Handle(), dir + "/gui-right-to-left.png"));
}

// ---------------------------------------------------------------- size limits

struct Limits {
  const char* name;
  int minWidth, minHeight, maxWidth, maxHeight;
  int width, height;                  // asked for
  int expectedWidth, expectedHeight;  // taken
};

void PrintTo(const Limits& c, std::ostream* os) {
  *os << c.name;
}

class SizeLimits : public ControlsLayout, public ::testing::WithParamInterface<Limits> {};

TEST_P(SizeLimits, BoundsStayWithinThemWindowedOrNot) {
  const Limits& c = GetParam();
  auto* shown = Add<TPanel>(0, 0, 50, 50);
  auto* drawn = Add<TLabel>(0, 0, 50, 50);
  drawn->SetAutoSize(false);
  form->Show();
  for (TControl* control : std::initializer_list<TControl*>{shown, drawn}) {
    TSizeConstraints* limits = control->Constraints();
    limits->SetMinWidth(c.minWidth);
    limits->SetMinHeight(c.minHeight);
    limits->SetMaxWidth(c.maxWidth);
    limits->SetMaxHeight(c.maxHeight);
    control->SetBounds(5, 6, c.width, c.height);
    EXPECT_EQ(control->BoundsRect(), Bounds(5, 6, c.expectedWidth, c.expectedHeight)) << control->ClassName();
  }
  RECT r;
  GetWindowRect(shown->Handle(), r);
  EXPECT_EQ(r.Width(), c.expectedWidth) << "the window has the size too";
}

INSTANTIATE_TEST_SUITE_P(Cases, SizeLimits,
                         ::testing::Values(Limits{"None", 0, 0, 0, 0, 300, 200, 300, 200},
                                           Limits{"MaxCuts", 0, 0, 120, 80, 300, 200, 120, 80},
                                           Limits{"MinWidens", 40, 30, 0, 0, 10, 5, 40, 30},
                                           Limits{"WithinStays", 40, 30, 120, 80, 100, 60, 100, 60},
                                           Limits{"NegativeAskedIsTheMinimum", 10, 10, 0, 0, -5, -5, 10, 10}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ControlsLayout, NewLimitsApplyAtOnceAndAMaximumBelowTheMinimumLowersIt) {
  auto* panel = Add<TPanel>(0, 0, 300, 200);
  int changes = 0;
  panel->Constraints()->OnChange = [&](TObject*) { ++changes; };
  panel->Constraints()->SetMaxWidth(150);
  EXPECT_EQ(panel->Width(), 150);
  panel->Constraints()->SetMinHeight(100);
  panel->Constraints()->SetMaxHeight(60);
  EXPECT_EQ(panel->Constraints()->MinHeight(), 60);
  EXPECT_EQ(panel->Height(), 60);
  panel->Constraints()->SetMinWidth(400);
  EXPECT_EQ(panel->Constraints()->MaxWidth(), 400) << "a minimum above the maximum raises it";
  EXPECT_EQ(panel->Width(), 400);
  EXPECT_EQ(changes, 4);
  // a size set on the window itself (as the window manager's resizing of a form does) keeps them too
  SetWindowPos(panel->Handle(), nullptr, 0, 0, 900, 30, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(panel->BoundsRect(), Rect(0, 0, 400, 60));
}

// ---------------------------------------------------------------- scaling

TEST_F(ControlsLayout, ScaleByScalesChildrenWithoutDriftAndKeepsItsOwnPlace) {
  auto* panel = Add<TPanel>(30, 40, 201, 101);
  auto* a = Add<TPanel>(0, 0, 33, 20, panel);
  auto* b = Add<TPanel>(33, 0, 33, 20, panel);
  auto* c = Add<TPanel>(66, 0, 34, 20, panel);
  auto* own = Add<TLabel>(10, 30, 60, 20, panel);
  own->Font()->SetSize(10);
  auto* inherited = Add<TLabel>(10, 60, 60, 20, panel);
  const int inheritedSize = inherited->Font()->Size();
  c->Constraints()->SetMaxWidth(40);
  panel->ScaleBy(3, 2);
  EXPECT_EQ(panel->Left(), 30);
  EXPECT_EQ(panel->Top(), 40);
  EXPECT_EQ(panel->Width(), MulDiv(30 + 201, 3, 2) - MulDiv(30, 3, 2));
  // neighbours stay edge to edge: each right edge is scaled, not each width
  EXPECT_EQ(a->BoundsRect(), Rect(0, 0, 50, 30));
  EXPECT_EQ(b->BoundsRect(), Rect(50, 0, 99, 30));
  EXPECT_EQ(c->BoundsRect(), Rect(99, 0, 150, 30));
  EXPECT_EQ(c->Constraints()->MaxWidth(), 60) << "the limits scale with the control";
  EXPECT_EQ(own->Font()->Size(), 15);
  EXPECT_EQ(inherited->Font()->Size(), inheritedSize) << "a parent's font is not scaled twice";
  panel->ScaleBy(1, 1);
  EXPECT_EQ(a->BoundsRect(), Rect(0, 0, 50, 30)) << "1:1 changes nothing";
}

// ---------------------------------------------------------------- icons by name

HINSTANCE IconModule() {
  static int module;
  return reinterpret_cast<HINSTANCE>(&module);
}

TEST_F(ControlsLayout, AnIconByNameDrawsItsColoursAndLeavesItsClearPixels) {
  RESOURCE_ART art;
  art.rows = {"RR..", "RRGG", "..GG", "...."};
  art.palette = {{'R', RGB(255, 0, 0)}, {'G', RGB(0, 128, 0)}};
  RegisterResourceArt(IconModule(), "SessionIcon", RT_ICON, art);
  EXPECT_EQ(LoadIcon(IconModule(), "NoSuchIcon"), nullptr);
  HICON icon = LoadIcon(IconModule(), "sessionicon");
  ASSERT_NE(icon, nullptr) << "names are found without regard to case";
  TBitmap target;
  target.SetSize(6, 6);
  target.Canvas()->Brush()->SetColor(clBlue);
  target.Canvas()->FillRect(Rect(0, 0, 6, 6));
  ASSERT_TRUE(DrawIcon(target.Canvas()->Handle(), 1, 1, icon));
  auto at = [&](int x, int y) { return ColorToRGB(target.Canvas()->Pixels(x, y)); };
  EXPECT_EQ(at(1, 1), RGB(255, 0, 0));
  EXPECT_EQ(at(4, 2), RGB(0, 128, 0));
  EXPECT_EQ(at(3, 1), RGB(0, 0, 255)) << "a clear pixel";
  EXPECT_EQ(at(1, 4), RGB(0, 0, 255));
  // the picture as a TIcon draws the same
  TIcon copy;
  copy.SetHandle(icon);
  EXPECT_EQ(copy.Width(), 4);
  TBitmap second;
  second.SetSize(6, 6);
  second.Canvas()->Brush()->SetColor(clBlue);
  second.Canvas()->FillRect(Rect(0, 0, 6, 6));
  second.Canvas()->Draw(1, 1, &copy);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x)
      EXPECT_EQ(ColorToRGB(second.Canvas()->Pixels(x, y)), at(x, y)) << x << "," << y;
  EXPECT_TRUE(DestroyIcon(icon));
}

}  // namespace
