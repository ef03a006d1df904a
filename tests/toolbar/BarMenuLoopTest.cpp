// The menu loop on the test host, driven through the message queue: keys, accelerators, the mouse,
// submenu timers on the fake clock, scrolling, split items, and how the loop ends.
#include <gtest/gtest.h>

#include "gui/X11TestSupport.h"
#include "platform/gui/ExtCtrls.h"
#include "toolbar/BarMenuTestSupport.h"

namespace {

using talvik::gui::InjectMouse;
using toolbartest::BarMenuTest;

// A menu bar: Файл (Открыть, Сохранить, -, Недавние > (Первый, Второй), Выход), Правка (Копировать,
// Вставить disabled), Сеансы (Завершить), a plain button Обновить, and a split button Экспорт.
class BarMenu : public BarMenuTest {
 protected:
  void SetUp() override {
    BarMenuTest::SetUp();
    file = Add<TBarSubmenuItem>(root_, "&Файл");
    open = Command(file, "&Открыть");
    open->SetShortCut(TextToShortCut("Ctrl+O"));
    save = Command(file, "Сохранить");
    separator = Separator(file);
    recent = Add<TBarSubmenuItem>(file, "Недавние");
    first = Command(recent, "Первый");
    second = Command(recent, "Второй");
    exit = Command(file, "Выход");
    edit = Add<TBarSubmenuItem>(root_, "&Правка");
    copy = Command(edit, "Копировать");
    paste = Command(edit, "&Вставить");
    paste->SetEnabled(false);
    sessions = Add<TBarSubmenuItem>(root_, "Сеансы");
    kill = Command(sessions, "Завершить");
    refresh = Command(root_, "Обновить");
    exportItem = Add<TBarSubmenuItem>(root_, "Экспорт");
    exportItem->SetDropdownCombo(true);
    exportItem->SetOnClick([this](TObject*) { Clicks.push_back("Экспорт"); });
    toFile = Command(exportItem, "В файл");
    ShowHost();
  }
  TBarSubmenuItem *file, *recent, *edit, *sessions, *exportItem;
  TBarItem *open, *save, *first, *second, *exit, *copy, *paste, *kill, *refresh, *toFile;
  TBarSeparatorItem* separator;
};

// ---- keys ----

TEST_F(BarMenu, KeyboardNavigationTable) {
  struct Step {
    const char* name;
    WORD key;
    bool shift;
    std::vector<std::string> openPath;  // captions of the items whose popups are open, root first
    std::string selected;               // selected in the innermost view
  };
  // Starting on Правка, entered from the keyboard.
  const std::vector<Step> steps = {
      {"Down opens the popup of a horizontal root", VK_DOWN, false, {"&Правка"}, "Копировать"},
      {"Down moves to the disabled item", VK_DOWN, false, {"&Правка"}, "&Вставить"},
      {"Left in a submenu selects the previous top item and opens it", VK_LEFT, false, {"&Файл"}, "&Открыть"},
      {"End selects the last item", VK_END, false, {"&Файл"}, "Выход"},
      {"Home selects the first item", VK_HOME, false, {"&Файл"}, "&Открыть"},
      {"Up wraps to the last item", VK_UP, false, {"&Файл"}, "Выход"},
      {"Shift+Tab goes back", VK_TAB, true, {"&Файл"}, "Недавние"},
      {"Right opens a nested submenu", VK_RIGHT, false, {"&Файл", "Недавние"}, "Первый"},
      {"Tab goes forward", VK_TAB, false, {"&Файл", "Недавние"}, "Второй"},
      {"Escape closes only the nested submenu", VK_ESCAPE, false, {"&Файл"}, "Недавние"},
      {"Home again", VK_HOME, false, {"&Файл"}, "&Открыть"},
      {"Right on a plain item moves along the bar", VK_RIGHT, false, {"&Правка"}, "Копировать"},
      {"Escape closes the popup, the bar keeps its item", VK_ESCAPE, false, {}, "&Правка"},
      {"Up on the bar opens again", VK_UP, false, {"&Правка"}, "Копировать"},
  };
  std::vector<std::function<void()>> driven;
  for (size_t i = 0; i <= steps.size(); ++i)
    driven.push_back([this, &steps, i] {
      if (i > 0) {
        const Step& s = steps[i - 1];
        SCOPED_TRACE(s.name);
        std::vector<std::string> path;
        for (TBarView* v : Chain())
          if (v->OpenView()) path.push_back(v->OpenViewer()->Item()->Caption());
        EXPECT_EQ(path, s.openPath);
        EXPECT_EQ(SelectedItem(Chain().back()) ? SelectedItem(Chain().back())->Caption() : "", s.selected);
      }
      if (i < steps.size()) Key(steps[i].key, 0, {steps[i].shift, false, false});
    });
  driven.push_back([] { Key(VK_ESCAPE); });  // closes the popup
  driven.push_back([] { Key(VK_ESCAPE); });  // ends the loop
  Drive(driven);
  EnterByKeyboard(edit);
  EXPECT_TRUE(AllStepsRan());
  EXPECT_FALSE(LeftOpen);
  EXPECT_TRUE(Clicks.empty());
  EXPECT_FALSE(View()->InModalLoop());
  EXPECT_EQ(View()->Selected(), nullptr);
}

TEST_F(BarMenu, EnterRunsTheCommandAfterTheLoopExactlyOnce) {
  Drive({[] { Key(VK_DOWN); }, [] { Key(VK_DOWN); }, [] { Key(VK_RETURN); }});
  EnterByKeyboard(file);
  EXPECT_FALSE(LeftOpen);
  EXPECT_TRUE(Clicks.empty()) << "the command waits for the menus to close";
  EXPECT_EQ(Chain().size(), 1u);
  talvik::gui::ProcessPending();
  talvik::gui::ProcessPending();
  EXPECT_EQ(Clicks, std::vector<std::string>{"Сохранить"});
  EXPECT_FALSE(ClickedInsideLoop);
}

TEST_F(BarMenu, AltAndF10EndTheLoop) {
  for (WORD key : {WORD(VK_MENU), WORD(VK_F10)}) {
    Drive({[] { Key(VK_DOWN); }, [key] { Key(key); }});
    EnterByKeyboard(file);
    EXPECT_FALSE(LeftOpen) << key;
    EXPECT_EQ(Chain().size(), 1u);
  }
}

// ---- accelerators in the loop ----

TEST_F(BarMenu, AcceleratorsInTheLoop) {
  struct Case {
    const char* name;
    std::vector<WORD> keys;  // on the bar, entered on Файл
    std::vector<char32_t> chars;
    std::string openItem;  // the innermost popup's item afterwards ("" none)
    std::string selected;
    int beeps;
    std::vector<std::string> clicks;
  };
  const std::vector<Case> cases = {
      {"a Cyrillic capital opens Правка", {'G'}, {U'П'}, "&Правка", "Копировать", 0, {}},
      {"a small letter too", {'G'}, {U'п'}, "&Правка", "Копировать", 0, {}},
      {"a first letter finds Сеансы", {'C'}, {U'с'}, "Сеансы", "Завершить", 0, {}},
      {"an unmatched character beeps", {'Z'}, {U'я'}, "", "&Файл", 1, {}},
      {"a first letter in a popup runs its item", {VK_DOWN, 'D'}, {0, U'в'}, "", "", 0, {"Выход"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Clicks.clear();
    beeps_.Beeps = 0;
    std::vector<std::function<void()>> steps;
    for (size_t i = 0; i < c.keys.size(); ++i) steps.push_back([&c, i] { Key(c.keys[i], c.chars[i]); });
    std::string openItem, selected;
    steps.push_back([&] {
      openItem = OpenPopupItem() ? OpenPopupItem()->Caption() : "";
      selected = SelectedItem(Chain().back()) ? SelectedItem(Chain().back())->Caption() : "";
      ReleaseCapture();
    });
    Drive(steps);
    EnterByKeyboard(file);
    talvik::gui::ProcessPending();
    EXPECT_EQ(openItem, c.openItem);
    if (!c.selected.empty()) {
      EXPECT_EQ(selected, c.selected);
    }
    EXPECT_EQ(beeps_.Beeps, c.beeps);
    EXPECT_EQ(Clicks, c.clicks);
  }
}

TEST_F(BarMenu, ADisabledUniqueMatchStaysOpenWithoutACommand) {
  bool open = false;
  std::string selected;
  Drive({[] { Key(VK_RIGHT); }, [] { Key(VK_DOWN); }, [] { Key('D', U'в'); },
         [&] {
           open = View()->InModalLoop() && OpenPopupItem() == edit;
           selected = SelectedItem(Chain().back())->Caption();
           Key(VK_ESCAPE);
         },
         [] { Key(VK_ESCAPE); }});
  EnterByKeyboard(file);
  talvik::gui::ProcessPending();
  EXPECT_TRUE(open);
  EXPECT_EQ(selected, "&Вставить");
  EXPECT_TRUE(Clicks.empty());
  EXPECT_EQ(beeps_.Beeps, 0);
}

TEST_F(BarMenu, AUniqueEnabledMatchInAPopupRunsIt) {
  Drive({[] { Key(VK_DOWN); }, [] { Key('J', U'о'); }});
  EnterByKeyboard(file);
  talvik::gui::ProcessPending();
  EXPECT_FALSE(LeftOpen);
  EXPECT_EQ(Clicks, std::vector<std::string>{"&Открыть"});
}

TEST_F(BarMenu, SpaceAndMinusOnTheBarGoToTheActiveWindowsSystemMenu) {
  for (char32_t ch : {U' ', U'-'}) {
    form_->SysCommands.clear();
    Drive({[ch] { Key(ch == ' ' ? VK_SPACE : VK_OEM_MINUS, ch); }});
    EnterByKeyboard(file);
    EXPECT_FALSE(LeftOpen);
    ASSERT_EQ(form_->SysCommands.size(), 1u);
    EXPECT_EQ(form_->SysCommands[0].first, SC_KEYMENU);
    EXPECT_EQ(form_->SysCommands[0].second, static_cast<LPARAM>(ch));
  }
}

TEST_F(BarMenu, PendingCharactersAreDroppedWhenTheLoopEnds) {
  Drive({[this] {
    Key(VK_ESCAPE);
    PostMessage(host_->Handle(), WM_CHAR, 'x', 0);
  }});
  EnterByKeyboard(file);
  MSG m;
  EXPECT_FALSE(PeekMessage(m, nullptr, WM_CHAR, WM_CHAR, PM_NOREMOVE));
}

TEST_F(BarMenu, AQuitMessageInTheLoopIsPostedAgain) {
  Drive({[] { Key(VK_DOWN); }, [] { PostQuitMessage(7); }});
  EnterByKeyboard(file);
  EXPECT_FALSE(LeftOpen);
  EXPECT_EQ(Chain().size(), 1u);
  MSG m;
  ASSERT_TRUE(PeekMessage(m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(m.wParam, 7u);
  EXPECT_TRUE(Clicks.empty());
}

// ---- the mouse ----

TEST_F(BarMenu, APressOnABarItemOpensItsPopupBelowIt) {
  TRect popup, item;
  Drive({[&] { InjectMouse(WM_LBUTTONUP, Centre(View(), file)); },
         [&] {
           ASSERT_EQ(OpenPopupItem(), file);
           GetWindowRect(View()->OpenWindow()->Handle(), popup);
           item = View()->Find(file)->BoundsRect;
           OffsetRect(item, host_->ClientOrigin().X, host_->ClientOrigin().Y);
           Click(TPoint(900, 600));
         }});
  PressOn(file);
  EXPECT_FALSE(LeftOpen);
  EXPECT_EQ(popup.Left, item.Left);
  EXPECT_EQ(popup.Top, item.Bottom);
  EXPECT_EQ(Chain().size(), 1u);
}

// The press that ends the loop outside the bar stays in the queue and reaches the control under it
// once the loop has let the mouse go, in that control's coordinates; the bar, which held the mouse
// when the press came, never hears of it.
TEST_F(BarMenu, APressOutsideEndsTheLoopAndReachesTheControlUnderIt) {
  auto* below = new TPanel(form_.get());
  below->SetParent(form_.get());
  below->SetBounds(0, 100, 600, 100);
  std::vector<TPoint> presses;
  below->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int X, int Y) { presses.emplace_back(X, Y); };
  talvik::gui::ProcessPending();
  Drive({[] { Key(VK_DOWN); }, [] { Click(TPoint(150, 250)); }});
  EnterByKeyboard(file);
  EXPECT_FALSE(LeftOpen);
  MSG m;
  ASSERT_TRUE(PeekMessage(m, nullptr, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_NOREMOVE));
  EXPECT_EQ(m.hwnd, below->Handle());
  talvik::gui::ProcessPending();
  EXPECT_FALSE(View()->InModalLoop());
  ASSERT_EQ(presses.size(), 1u);
  EXPECT_EQ(presses[0], TPoint(50, 50));
}

TEST_F(BarMenu, APressOnTheRootsClientRetargets) {
  TBarCustomItem* after = nullptr;
  bool stillLooping = false;
  Drive({[] { Key(VK_DOWN); }, [&] { InjectMouse(WM_LBUTTONDOWN, Centre(View(), sessions)); },
         [&] {
           after = OpenPopupItem();
           stillLooping = View()->InModalLoop();
           InjectMouse(WM_LBUTTONUP, Centre(View(), sessions));
         }});
  EnterByKeyboard(file);
  EXPECT_TRUE(stillLooping);
  EXPECT_EQ(after, sessions);
}

TEST_F(BarMenu, AClickOnAnItemRunsItOnce) {
  Drive({[&] { InjectMouse(WM_LBUTTONUP, Centre(View(), file)); },
         [&] { Click(Centre(View()->OpenView(), save)); }});
  PressOn(file);
  EXPECT_FALSE(LeftOpen);
  talvik::gui::ProcessPending();
  EXPECT_EQ(Clicks, std::vector<std::string>{"Сохранить"});
  EXPECT_FALSE(ClickedInsideLoop);
}

// A press and its release that come together, before the loop reads the press, act as a held click:
// the item's popup opens and stays open, and a quick click on an item of the popup runs it once.
TEST_F(BarMenu, AQuickClickOpensThePopupAndAQuickClickOnAnItemRunsIt) {
  TBarCustomItem* opened = nullptr;
  Drive({[&] {
    opened = OpenPopupItem();
    if (View()->OpenView()) Click(Centre(View()->OpenView(), save));
  }});
  Click(Centre(View(), file));
  talvik::gui::ProcessPending();
  EXPECT_EQ(opened, file);
  EXPECT_FALSE(LeftOpen);
  talvik::gui::ProcessPending();
  EXPECT_EQ(Clicks, std::vector<std::string>{"Сохранить"});
}

// The popup opened by a click on the bar has nothing selected; a button released over its separator
// finds the popup under the mouse and no item there, and the menu stays.
TEST_F(BarMenu, AReleaseOverASeparatorWithNothingSelectedLeavesTheMenuOpen) {
  TBarCustomItem* openAfter = nullptr;
  Drive({[&] { InjectMouse(WM_LBUTTONUP, Centre(View(), file)); },
         [&] {
           ASSERT_EQ(View()->OpenView()->Selected(), nullptr);
           InjectMouse(WM_LBUTTONUP, Centre(View()->OpenView(), separator));
         },
         [&] {
           openAfter = OpenPopupItem();
           Key(VK_ESCAPE);
         },
         [] { Key(VK_ESCAPE); }});
  PressOn(file);
  EXPECT_EQ(openAfter, file);
  EXPECT_TRUE(Clicks.empty());
  EXPECT_FALSE(LeftOpen);
}

TEST_F(BarMenu, AClickOnTheOpenBarItemClosesTheMenu) {
  Drive({[&] { InjectMouse(WM_LBUTTONUP, Centre(View(), file)); }, [&] { Click(Centre(View(), file)); }});
  PressOn(file);
  EXPECT_FALSE(LeftOpen);
  EXPECT_TRUE(Clicks.empty());
}

TEST_F(BarMenu, SubmenusSwitchAfterTheDelayOnTheFakeClock) {
  struct Look {
    const char* when;
    TBarCustomItem* nested;  // the popup open under Файл's popup
  };
  std::vector<Look> seen;
  auto look = [&](const char* when) {
    std::vector<TBarView*> c = Chain();
    seen.push_back({when, c.size() > 2 ? c[2]->ParentItem() : nullptr});
  };
  Drive({[&] { InjectMouse(WM_LBUTTONUP, Centre(View(), file)); },
         [&] { Move(Centre(View()->OpenView(), recent)); },
         [&] {
           Advance(kDelay - 20);
           look("just before the delay");
         },
         [&] { Advance(20); },
         [&] {
           look("after the delay");
           Move(Centre(View()->OpenView(), save));
         },
         [&] {
           Advance(kDelay - 20);
           look("the close delay has not passed");
         },
         [&] { Advance(20); },
         [&] {
           look("after the close delay");
           Key(VK_ESCAPE);
         },
         [] { Key(VK_ESCAPE); }});
  PressOn(file);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0].nested, nullptr) << seen[0].when;
  EXPECT_EQ(seen[1].nested, recent) << seen[1].when;
  EXPECT_EQ(seen[2].nested, recent) << seen[2].when;
  EXPECT_EQ(seen[3].nested, nullptr) << seen[3].when;
  EXPECT_FALSE(LeftOpen);
}

TEST_F(BarMenu, SplitButtonPartRunsArrowPartOpens) {
  // the arrow part: the rightmost 11 pixels
  auto arrow = [&] {
    const TRect r = View()->Find(exportItem)->BoundsRect;
    return host_->ClientToScreen(TPoint(r.Right - 4, (r.Top + r.Bottom) / 2));
  };
  auto button = [&] {
    const TRect r = View()->Find(exportItem)->BoundsRect;
    return host_->ClientToScreen(TPoint(r.Left + 4, (r.Top + r.Bottom) / 2));
  };
  TBarCustomItem* opened = nullptr;
  Drive({[&] { InjectMouse(WM_LBUTTONUP, arrow()); },
         [&] {
           opened = OpenPopupItem();
           Key(VK_ESCAPE);
         },
         [] { Key(VK_ESCAPE); }});
  InjectMouse(WM_LBUTTONDOWN, arrow());
  talvik::gui::ProcessPending();
  talvik::gui::ProcessPending();
  EXPECT_EQ(opened, exportItem);
  EXPECT_TRUE(Clicks.empty()) << "opening a split item does not click it";

  Drive({[&] { InjectMouse(WM_LBUTTONUP, button()); }});
  InjectMouse(WM_LBUTTONDOWN, button());
  talvik::gui::ProcessPending();
  talvik::gui::ProcessPending();
  EXPECT_FALSE(LeftOpen);
  EXPECT_EQ(Clicks, std::vector<std::string>{"Экспорт"});
}

TEST_F(BarMenu, AButtonReleasedElsewhereDoesNothing) {
  Drive({[&] { InjectMouse(WM_LBUTTONUP, TPoint(900, 600)); }});
  PressOn(refresh);
  talvik::gui::ProcessPending();
  EXPECT_FALSE(LeftOpen);
  EXPECT_TRUE(Clicks.empty());
}

TEST_F(BarMenu, TheLastExecutedItemMovesToTheFrontOfThePriorityList) {
  ASSERT_NE(View()->PriorityList().front(), View()->Find(refresh));
  Drive({[&] { InjectMouse(WM_LBUTTONUP, Centre(View(), refresh)); }});
  PressOn(refresh);
  talvik::gui::ProcessPending();
  EXPECT_EQ(Clicks, std::vector<std::string>{"Обновить"});
  EXPECT_EQ(View()->PriorityList().front(), View()->Find(refresh));
}

TEST_F(BarMenu, AHandlerThatClosesTheFormEndsTheLoop) {
  static std::function<void()> closeForm;
  closeForm = [this] {
    delete form_.release();  // the host and its view go with it
    host_ = nullptr;
  };
  Drive({[] { Key(VK_DOWN); },
         [] {
           SetTimer(Application->Handle(), 0x51, 10, [](HWND Wnd, UINT, std::uintptr_t Id, DWORD) {
             KillTimer(Wnd, Id);
             closeForm();
           });
           Advance(20);
         }});
  EnterByKeyboard(file);
  closeForm = nullptr;
  EXPECT_FALSE(LeftOpen);
  EXPECT_EQ(GetCapture(), nullptr);
  talvik::gui::ProcessPending();
  EXPECT_TRUE(Clicks.empty());
}

// ---- a popup taller than the screen ----

class BarMenuTall : public BarMenuTest {
 protected:
  void SetUp() override {
    BarMenuTest::SetUp();
    tall = Add<TBarSubmenuItem>(root_, "Длинное");
    for (int i = 0; i < 80; ++i) last = Command(tall, "Пункт " + std::to_string(i));
    ShowHost();
  }
  TBarSubmenuItem* tall = nullptr;
  TBarItem* last = nullptr;
};

TEST_F(BarMenuTall, HoldingTheMouseOnTheBottomArrowScrollsEvery100msToTheEnd) {
  std::vector<int> offsets;
  bool timerAfterEnd = true;
  bool lastShown = false;
  TBarView* popup = nullptr;
  std::vector<std::function<void()>> steps;
  steps.push_back([&] { InjectMouse(WM_LBUTTONUP, Centre(View(), tall)); });
  steps.push_back([&] {
    popup = View()->OpenView();
    ASSERT_TRUE(popup);
    ASSERT_TRUE(popup->ShowDownArrow());
    const int bottom = popup->MaxHeight() - 5;
    Move(popup->Window()->ClientToScreen(TPoint(40, bottom)));
  });
  for (int i = 0; i < 60; ++i)
    steps.push_back([&] {
      offsets.push_back(popup->ScrollOffset());
      Advance(100);
    });
  steps.push_back([&] {
    timerAfterEnd = popup->TimerRunning(3);
    lastShown = popup->Find(last)->Show;
    Key(VK_ESCAPE);
  });
  steps.push_back([] { Key(VK_ESCAPE); });
  Drive(steps);
  PressOn(tall);
  ASSERT_GE(offsets.size(), 3u);
  EXPECT_EQ(offsets[0], 0);
  EXPECT_GT(offsets[1], offsets[0]) << "one step after 100 ms";
  for (size_t i = 1; i < offsets.size(); ++i) EXPECT_GE(offsets[i], offsets[i - 1]);
  EXPECT_LT(offsets[offsets.size() / 4], offsets.back()) << "it keeps going";
  EXPECT_TRUE(lastShown) << "the end is reached";
  EXPECT_FALSE(timerAfterEnd) << "and the timer stops there";
  EXPECT_FALSE(LeftOpen);
}

// What the window of a scrolled popup shows in its scroll bands: whether the triangle of a band is
// painted (a pixel just inside its point is in the menu text colour).
bool ArrowPainted(TBarView* Popup, bool Up) {
  HWND h = Popup->Window()->Handle();
  const int x = kBarPopupFrame + Popup->Window()->ClientWidth() / 2;
  const int band = Up ? 0 : Popup->MaxHeight() - 19;
  const int y = kBarPopupFrame + band + 19 / 2 + (Up ? -1 : 1);
  return talvik::gui::WindowPixel(h, x, y) == GetSysColor(COLOR_MENUTEXT);
}

TEST_F(BarMenuTall, TheScrollArrowsShowAfterEveryStepAndAfterEnd) {
  struct Seen {
    bool upFlag = false, downFlag = false, upPainted = false, downPainted = false;
  };
  Seen top, middle, end;
  TBarView* popup = nullptr;
  auto look = [&](Seen& s) {
    popup = View()->OpenView();
    ASSERT_TRUE(popup);
    s = {popup->ShowUpArrow(), popup->ShowDownArrow(), ArrowPainted(popup, true), ArrowPainted(popup, false)};
  };
  std::vector<std::function<void()>> steps;
  steps.push_back([] { Key(VK_DOWN); });  // opens the popup with its first item selected
  steps.push_back([&] {
    look(top);
    for (int i = 0; i < 46; ++i) Key(VK_DOWN);
  });
  steps.push_back([&] {
    look(middle);
    talvik::gui::RenderScreenToPng(x11test::ScreenshotDir() + "/toolbar-tall-popup-scrolled.png",
                                   Rect(90, 0, 400, 768));
    Key(VK_END);
  });
  steps.push_back([&] {
    look(end);
    Key(VK_ESCAPE);
  });
  steps.push_back([] { Key(VK_ESCAPE); });
  Drive(steps);
  EnterByKeyboard(tall);
  EXPECT_FALSE(LeftOpen);
  EXPECT_FALSE(top.upFlag);
  EXPECT_TRUE(top.downFlag && top.downPainted) << "at the top only the down arrow";
  EXPECT_FALSE(top.upPainted);
  EXPECT_TRUE(middle.upFlag && middle.downFlag);
  EXPECT_TRUE(middle.upPainted) << "scrolled down: the up arrow shows";
  EXPECT_TRUE(middle.downPainted) << "and the down arrow still shows";
  EXPECT_TRUE(end.upFlag && end.upPainted) << "after End the up arrow shows";
  EXPECT_FALSE(end.downFlag);
  EXPECT_FALSE(end.downPainted) << "and the down band is empty";
}
}  // namespace
