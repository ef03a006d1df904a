// A press and its release that reach the program together (a tap on a touchpad, a click into a busy
// program) act on a dockable window's close buttons, border and drag handle as a click held for a
// moment does, and the click after it reaches its own target.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "gui/ReadQueueSupport.h"
#include "platform/gui/Forms.h"
#include "platform/gui/StdCtrls.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/SysUtils.h"
#include "toolbar/BarDock.h"
#include "toolbar/BarDockTestSupport.h"

namespace {

using talvik::gui::InjectMouse;

// A fake bar that shows where its docked close button lies.
class TClosableBar : public toolbartest::TFakeBar {
  TALVIK_CLASS(TClosableBar, toolbartest::TFakeBar)
  using TFakeBar::CloseButtonRectInWindow;
  using TFakeBar::TFakeBar;
};

struct Target {
  TPoint At;
  std::function<std::string()> State;
};

struct Case {
  const char* Name;
  const char* Held;  // what a held click leaves (the start of it)
  std::function<Target(TForm*, TBarDock*)> Make;
};

void PrintTo(const Case& C, std::ostream* Out) {
  *Out << C.Name;
}

TPoint WindowPoint(HWND H, int X, int Y) {
  RECT r;
  GetWindowRect(H, r);
  return TPoint(r.Left + X, r.Top + Y);
}

TClosableBar* Bar(TForm* Form, TBarDock* Dock, bool Float) {
  auto* bar = new TClosableBar(Form, "Bar", 120, 18);
  bar->SetDockRow(0);
  bar->SetDockPos(20);
  bar->SetParent(Dock);
  if (Float) {
    bar->SetFloatingPosition(TPoint(300, 150));
    bar->ToggleDockFloat();
  }
  return bar;
}

std::string Where(TClosableBar* Bar) {
  std::string s = Bar->Visible() ? "shown" : "closed";
  if (Bar->Floating()) {
    const TRect r = Bar->FloatingParent()->BoundsRect();
    s += " floating at " + std::to_string(r.Left) + "," + std::to_string(r.Top) + " " +
         std::to_string(r.Width()) + "x" + std::to_string(r.Height());
  } else {
    s += " docked at " + std::to_string(Bar->DockRow()) + ":" + std::to_string(Bar->DockPos());
  }
  return s;
}

const Case kCases[] = {
    {"a floating bar's close button", "closed",
     [](TForm* F, TBarDock* D) {
       TClosableBar* bar = Bar(F, D, true);
       TBarFloatingWindowParent* frame = bar->FloatingParent();
       const TRect b = frame->CloseButtonRect();
       return Target{WindowPoint(frame->Handle(), (b.Left + b.Right) / 2, (b.Top + b.Bottom) / 2),
                     [bar] { return Where(bar); }};
     }},
    {"a floating bar's border", "shown floating at 300,150 128x42;",
     [](TForm* F, TBarDock* D) {
       TClosableBar* bar = Bar(F, D, true);
       TBarFloatingWindowParent* frame = bar->FloatingParent();
       return Target{WindowPoint(frame->Handle(), 1, frame->Height() / 2), [bar] { return Where(bar); }};
     }},
    {"a docked bar's close button", "closed",
     [](TForm* F, TBarDock* D) {
       TClosableBar* bar = Bar(F, D, false);
       bar->SetCloseButtonWhenDocked(true);
       D->ArrangeToolbars();
       const TRect b = bar->CloseButtonRectInWindow();
       return Target{WindowPoint(bar->Handle(), (b.Left + b.Right) / 2, (b.Top + b.Bottom) / 2),
                     [bar] { return Where(bar); }};
     }},
    {"a docked bar's drag handle", "shown docked at 0:20;",
     [](TForm* F, TBarDock* D) {
       TClosableBar* bar = Bar(F, D, false);
       return Target{WindowPoint(bar->Handle(), 4, 8), [bar] { return Where(bar); }};
     }},
    {"a floating bar's caption", "shown floating at 300,150 128x42;",
     [](TForm* F, TBarDock* D) {
       TClosableBar* bar = Bar(F, D, true);
       TBarFloatingWindowParent* frame = bar->FloatingParent();
       TPoint border;
       int caption = 0;
       frame->GetFrameSize(border, caption);
       return Target{WindowPoint(frame->Handle(), border.X + 10, border.Y + caption / 2),
                     [bar] { return Where(bar); }};
     }},
};

class BarQuickClick : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override { toolbartest::StartOnOneScreen(); }
  void TearDown() override {
    ReleaseCapture();
    talvik::gui::ProcessPending();
    talvik::gui::SetScreens({});
  }
  static int Read(const std::function<void()>& Meanwhile = nullptr) {
    return guitest::ReadQueuedInput(Meanwhile);
  }
  // A click given to a case's target on a form of its own: held (the release comes while the press
  // is read) or quick (press and release, then one read); then a quick click on a button of the form, away
  // from the bar. Where the bar stands after each, whether a loop was left waiting, and how often the button
  // was clicked.
  static std::string Give(const Case& C, bool Quick) {
    TForm form(nullptr);
    form.SetBorderStyle(bsNone);
    form.SetBounds(100, 100, 600, 300);
    auto* dock = new TBarDock(&form);
    dock->SetParent(&form);
    auto* button = new TButton(&form);
    button->SetParent(&form);
    button->SetBounds(400, 250, 80, 25);
    int clicks = 0;
    button->OnClick = [&](TObject*) { ++clicks; };
    form.Show();
    const Target t = C.Make(&form, dock);
    talvik::gui::ProcessPending();
    InjectMouse(WM_MOUSEMOVE, t.At);
    int left = Read();
    InjectMouse(WM_LBUTTONDOWN, t.At);
    if (Quick) {
      InjectMouse(WM_LBUTTONUP, t.At);
      left += Read();
    } else {
      left += Read([&] { InjectMouse(WM_LBUTTONUP, t.At); });
    }
    std::string state = t.State();
    const TPoint b = button->ClientToScreen(TPoint(40, 12));
    InjectMouse(WM_MOUSEMOVE, b);
    InjectMouse(WM_LBUTTONDOWN, b);
    InjectMouse(WM_LBUTTONUP, b);
    left += Read();
    state += "; then " + t.State();
    return state + (left ? "; a loop waited for a release that had come" : "") + "; the button clicked " +
           std::to_string(clicks) + " times";
  }
};

TEST_P(BarQuickClick, ActsAsAHeldClickAndTheNextClickReachesItsTarget) {
  const std::string held = Give(GetParam(), false);
  EXPECT_EQ(held.rfind(GetParam().Held, 0), 0u) << held;
  EXPECT_NE(held.find("the button clicked 1 times"), std::string::npos) << held;
  EXPECT_EQ(Give(GetParam(), true), held);
}

INSTANTIATE_TEST_SUITE_P(Bars, BarQuickClick, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& I) {
                           return guitest::CaseName(I.param.Name);
                         });

}  // namespace
