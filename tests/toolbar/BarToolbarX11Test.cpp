// The menu bar and toolbars under a real X server (run through xvfb-run -a): Alt with a Cyrillic
// letter typed by xdotool in a Russian layout opens the matching menu, and a toolbar dragged off its
// dock floats over the form in a tool window that X knows as transient for the form, and takes its
// clicks there. Every step waits on a state with a time-out.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gui/X11TestSupport.h"
#include "platform/gui/ActnList.h"
#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"
#include "toolbar/BarPopup.h"
#include "toolbar/BarPositions.h"
#include "toolbar/BarToolbar.h"
#include "toolbar/ToolbarTestSupport.h"

namespace {

using x11test::Output;
using x11test::Shell;
using x11test::WaitFor;

constexpr char kFormTitle[] = "TalvikToolbarBarsX11";
constexpr char kFloatingTitle[] = "TalvikFloatingView";

// The X window id (hexadecimal, as xprop writes it) of the first window with that name, or "".
std::string XIdNamed(const std::string& Name) {
  const std::string out = Output("xdotool search --name '^" + Name + "$' 2>/dev/null");
  if (out.empty()) return {};
  char text[32];
  std::snprintf(text, sizeof text, "0x%lx", std::stoul(out));
  return text;
}

class ToolbarX11 : public ::testing::Test {
 protected:
  void SetUp() override {
    X11TEST_START_TOOLKIT();
    Build();
  }
  // The form with the menu bar and the three toolbars, shown and focused.
  void Build() {
    submenus.clear();
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);  // unframed: it stands where we put it, with or without a window manager
    form->SetCaption(kFormTitle);
    form->SetBounds(100, 100, 600, 300);
    dock = new TBarDock(form.get());
    dock->SetName("TBDockTop");
    dock->SetParent(form.get());
    menu = Bar("ToolBarMainMenu", "Главное меню", 0, 0);
    menu->SetMenuBar(true);
    for (const char* caption : {"Файл", "Правка", "Просмотр", "Сеансы", "Помощь"}) {
      auto* sub = new TBarSubmenuItem(form.get());
      sub->SetCaption(caption);
      menu->Items()->Add(sub);
      submenus.push_back(sub);
    }
    for (const char* caption : {"Обновить", "Завершить сеанс"}) {
      auto* item = new TBarItem(form.get());
      item->SetCaption(caption);
      item->SetOnClick([this, caption](TObject*) { runs_.push_back(caption); });
      submenus[3]->Add(item);
    }
    connect = Bar("ToolBarConnect", "Соединения", 1, 0);
    view = Bar("ToolBarView", "Просмотр", 1, 160);
    session = Bar("ToolBarSession", "Сеансы", 1, 215);
    for (TBarToolbar* t : {connect, view, session}) {
      auto* item = new TBarItem(form.get());
      item->SetCaption(t->Caption().substr(0, 2));
      t->Items()->Add(item);
    }
    form->Show();
    // the keyboard is given to the form once it shows (under a window manager, once the manager maps it)
    ASSERT_TRUE(WaitFor([this] { return x11test::ShowsWhereItIsSaidToBe(kFormTitle, form->Handle()); }));
    Shell(std::string("xdotool search --name ") + kFormTitle + " windowfocus");
    Application->ProcessMessages();
  }
  void TearDown() override {
    SetMenuLoopIdleHook(nullptr);
    form.reset();
    if (layoutChanged) x11test::UsKeyboard();
  }
  TBarToolbar* Bar(const std::string& Name, const std::string& Caption, int Row, int Pos) {
    auto* t = new TBarToolbar(form.get());
    t->SetName(Name);
    t->SetCaption(Caption);
    t->SetDockRow(Row);
    t->SetDockPos(Pos);
    t->SetParent(dock);
    return t;
  }
  static std::string At(TPoint P) { return std::to_string(P.X) + " " + std::to_string(P.Y); }

  std::unique_ptr<TForm> form;
  TBarDock* dock = nullptr;
  TBarToolbar *menu = nullptr, *connect = nullptr, *view = nullptr, *session = nullptr;
  std::vector<TBarSubmenuItem*> submenus;
  std::vector<std::string> runs_;
  bool layoutChanged = false;
};

TEST_F(ToolbarX11, AltWithACyrillicLetterOpensTheMenuArrowsMoveAndEnterRuns) {
  ASSERT_TRUE(Shell("setxkbmap ru")) << "setxkbmap cannot switch the layout";
  layoutChanged = true;
  TBarCustomItem* opened = nullptr;
  TBarCustomItem* selectedAfterDown = nullptr;
  int step = 0;
  const std::uintptr_t timer = SetTimer(Application->Handle(), 0x7A12, 20, nullptr);  // wakes the loop
  SetMenuLoopIdleHook([&] {
    TBarView* popup = menu->View()->OpenView();
    if (step == 0 && popup) {
      opened = popup->ParentItem();
      ++step;
      Shell("xdotool key Down");
    } else if (step == 1 && popup && popup->Selected() &&
               popup->Selected()->Item() == submenus[3]->Items(1)) {
      selectedAfterDown = popup->Selected()->Item();
      ++step;
      Shell("xdotool key Return");
    }
  });
  Shell("xdotool key alt+Cyrillic_es");
  EXPECT_TRUE(WaitFor([&] { return !runs_.empty(); })) << "step " << step;
  KillTimer(Application->Handle(), timer);
  EXPECT_EQ(opened, submenus[3]);
  EXPECT_EQ(selectedAfterDown, submenus[3]->Items(1));
  EXPECT_EQ(runs_, std::vector<std::string>{"Завершить сеанс"});
  EXPECT_FALSE(menu->View()->InModalLoop());
}

TEST_F(ToolbarX11, AToolbarDraggedOffTheDockFloatsTransientForTheFormAndDocksBack) {
  view->SetCaption(kFloatingTitle);  // the floating caption, for xdotool to find
  RECT r;
  GetWindowRect(view->Handle(), r);
  const TPoint handle(r.Left + 3, r.Top + 8);
  Shell("xdotool mousemove " + At(handle) + " mousedown 1 mousemove " +
        At(TPoint(handle.X + 10, handle.Y + 60)) + " sleep 0.1 mousemove " +
        At(TPoint(handle.X + 20, handle.Y + 150)) + " sleep 0.1 mouseup 1");
  ASSERT_TRUE(WaitFor([&] { return view->Floating() && !view->Dragging(); }));
  TBarFloatingWindowParent* parent = view->FloatingParent();
  ASSERT_TRUE(parent && parent->HandleAllocated());
  TRect common;
  ASSERT_TRUE(IntersectRect(common, parent->BoundsRect(), form->BoundsRect()))
      << "it floats clear of the form";
  // over the form, its button takes a click (held a moment, as a hand does)
  view->Items()->Items(0)->SetOnClick([this](TObject*) { runs_.push_back("Пр"); });
  RECT button;
  GetWindowRect(view->Handle(), button);
  const TPoint middle((button.Left + button.Right) / 2, (button.Top + button.Bottom) / 2);
  Shell("xdotool mousemove " + At(middle) + " sleep 0.1 mousedown 1 sleep 0.1 mouseup 1");
  EXPECT_TRUE(WaitFor([&] { return !runs_.empty(); })) << "the click on its button did not run it";
  EXPECT_TRUE(view->Floating());
  std::string floatingId;
  ASSERT_TRUE(WaitFor([&] { return !(floatingId = XIdNamed(kFloatingTitle)).empty(); }));
  const std::string formId = XIdNamed(kFormTitle);
  const std::string props = Output("xprop -id " + floatingId + " WM_TRANSIENT_FOR _NET_WM_WINDOW_TYPE");
  EXPECT_NE(props.find("window id # " + formId), std::string::npos) << props;
  EXPECT_NE(props.find("_NET_WM_WINDOW_TYPE_UTILITY"), std::string::npos) << props;

  // the caption back onto row 1
  TPoint border;
  int captionHeight = 0;
  view->GetFloatingNCAreaSize(border, captionHeight);
  const TPoint caption(parent->Left() + border.X + 4, parent->Top() + border.Y + captionHeight / 2);
  const TPoint target(100 + 170, 100 + session->Top() + 8);
  Shell("xdotool mousemove " + At(caption) + " sleep 0.1 mousedown 1 sleep 0.1 mousemove " +
        At(TPoint(caption.X, caption.Y - 30)) + " sleep 0.1 mousemove " + At(target) +
        " sleep 0.1 mouseup 1");
  const bool docked = WaitFor([&] { return view->Docked() && !view->Dragging(); });
  ASSERT_TRUE(docked);
  EXPECT_EQ(view->EffectiveDockRow(), 1);
  // its empty floating window leaves the screen
  EXPECT_TRUE(WaitFor([] {
    return Output(std::string("xdotool search --onlyvisible --name '^") + kFloatingTitle + "$' 2>/dev/null")
        .empty();
  }));
}

TEST_F(ToolbarX11, PlacesMovedAndFloatedByTheMouseComeBackAfterTheFormIsMadeAgain) {
  toolbartest::PrivateRegistry registry;
  const char* const key = "Software\\Talvik\\Toolbars";
  // "Сеансы" along its row, "Просмотр" off the dock
  RECT r;
  GetWindowRect(session->Handle(), r);
  TPoint handle(r.Left + 3, r.Top + 8);
  Shell("xdotool mousemove " + At(handle) + " sleep 0.1 mousedown 1 sleep 0.1 mousemove " +
        At(TPoint(handle.X + 40, handle.Y)) + " sleep 0.1 mousemove " + At(TPoint(handle.X + 80, handle.Y)) +
        " sleep 0.1 mouseup 1");
  ASSERT_TRUE(WaitFor([&] { return session->Left() >= 280 && !session->Dragging(); }));
  GetWindowRect(view->Handle(), r);
  handle = TPoint(r.Left + 3, r.Top + 8);
  Shell("xdotool mousemove " + At(handle) + " sleep 0.1 mousedown 1 sleep 0.1 mousemove " +
        At(TPoint(handle.X + 10, handle.Y + 60)) + " sleep 0.1 mousemove " +
        At(TPoint(handle.X + 30, handle.Y + 160)) + " sleep 0.1 mouseup 1");
  ASSERT_TRUE(WaitFor([&] { return view->Floating() && !view->Dragging(); }));
  const TRect sessionBounds = session->BoundsRect();
  const TRect floatingFrame = view->FloatingParent()->BoundsRect();
  RegSaveToolbarPositions(form.get(), HKEY_CURRENT_USER, key);

  form.reset();
  Build();
  RegLoadToolbarPositions(form.get(), HKEY_CURRENT_USER, key);
  Application->ProcessMessages();
  EXPECT_EQ(session->BoundsRect(), sessionBounds);
  ASSERT_TRUE(view->Floating());
  EXPECT_EQ(view->FloatingParent()->BoundsRect(), floatingFrame);
  EXPECT_EQ(connect->Left(), 0);
}

}  // namespace

namespace {

// Quick clicks (press and release together, as a tap or a click into a busy program gives them) and
// clicks held a moment, five of each.
constexpr const char* kClickWays[] = {"mousedown 1 mouseup 1", "mousedown 1 sleep 0.1 mouseup 1"};
constexpr int kClicksEachWay = 5;

// A floating toolbar on each desktop (x11test::Desktop).
class FloatingToolbarX11 : public ToolbarX11, public ::testing::WithParamInterface<x11test::Desktop> {
 protected:
  void SetUp() override {
    X11TEST_START_TOOLKIT();
    X11TEST_START_DESKTOP(GetParam(), windowManager_);
    Build();
    // (a floating toolbar shows only while the program is active)
    ASSERT_TRUE(WaitFor([this] { return GetActiveWindow() == form->Handle(); })) << "the form is not active";
  }
  // "Просмотр" floating over the form, shown: its frame.
  TBarFloatingWindowParent* FloatTheView() {
    view->SetCaption(kFloatingTitle);
    if (!view->Floating()) {
      view->SetFloatingPosition(TPoint(300, 220));
      view->ToggleDockFloat();
    }
    view->Show();
    Application->ProcessMessages();
    TBarFloatingWindowParent* frame = view->FloatingParent();
    EXPECT_TRUE(frame &&
                WaitFor([&] { return x11test::ShowsWhereItIsSaidToBe(kFloatingTitle, frame->Handle()); }));
    return frame;
  }
  // A quick click on "Файл" opens its menu (the click after another one reaches its target).
  ::testing::AssertionResult FileMenuOpensOnAClick() {
    bool opened = false;
    SetMenuLoopIdleHook([&] {
      if (menu->View()->OpenView()) {
        opened = true;
        ReleaseCapture();
      }
    });
    const std::uintptr_t timer = SetTimer(Application->Handle(), 0x7A13, 20, nullptr);  // wakes the loop
    RECT r;
    GetWindowRect(menu->Handle(), r);
    Shell("xdotool mousemove " + At(TPoint(r.Left + 20, r.Top + 10)) + " mousedown 1 mouseup 1");
    const bool done = WaitFor([&] { return opened && !menu->View()->InModalLoop(); });
    KillTimer(Application->Handle(), timer);
    SetMenuLoopIdleHook(nullptr);
    if (done) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "a click on \"Файл\" opened no menu";
  }
  std::optional<x11test::WindowManager> windowManager_;
};

INSTANTIATE_TEST_SUITE_P(, FloatingToolbarX11, ::testing::ValuesIn(x11test::kDesktops), x11test::DesktopName);

}  // namespace

TEST_P(FloatingToolbarX11, AQuickOrHeldClickOnTheCloseButtonClosesTheToolbarAndTheNextClickReachesItsTarget) {
  for (const char* way : kClickWays)
    for (int i = 0; i < kClicksEachWay; ++i) {
      TBarFloatingWindowParent* frame = FloatTheView();
      ASSERT_TRUE(frame);
      RECT window;
      GetWindowRect(frame->Handle(), window);
      const TRect button = frame->CloseButtonRect();
      x11test::LoopBreaker breaker;
      Shell("xdotool mousemove " +
            At(TPoint(window.Left + (button.Left + button.Right) / 2,
                      window.Top + (button.Top + button.Bottom) / 2)) +
            " " + way);
      ASSERT_TRUE(WaitFor([&] { return !view->Visible(); }))
          << way << ", click " << i << ": the toolbar stays";
      ASSERT_TRUE(FileMenuOpensOnAClick()) << "after " << way << ", click " << i;
      ASSERT_EQ(breaker.Escapes(), 0)
          << way << ", click " << i << ": the button waited for a release that had come";
    }
}

TEST_P(FloatingToolbarX11, AQuickOrHeldClickOnTheBorderLeavesTheFrameAsItWasAndTheNextClickReachesItsTarget) {
  TBarFloatingWindowParent* frame = FloatTheView();
  ASSERT_TRUE(frame);
  const TRect bounds = frame->BoundsRect();
  const TPoint border(bounds.Left + 1, (bounds.Top + bounds.Bottom) / 2);
  for (const char* way : kClickWays)
    for (int i = 0; i < kClicksEachWay; ++i) {
      x11test::LoopBreaker breaker;
      Shell("xdotool mousemove " + At(border) + " " + way + " mousemove " +
            At(TPoint(border.X - 60, border.Y + 40)));
      ASSERT_TRUE(FileMenuOpensOnAClick()) << "after " << way << ", click " << i;
      ASSERT_EQ(frame->BoundsRect(), bounds) << way << ", click " << i << ": the frame was sized";
      ASSERT_EQ(breaker.Escapes(), 0)
          << way << ", click " << i << ": the border waited for a release that had come";
    }
}
