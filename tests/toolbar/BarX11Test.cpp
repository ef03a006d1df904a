// Menus under a real X server (run through xvfb-run -a): presses and keys come from xdotool through
// the X server and the toolkit into the menu loop; where popups stand and what shape they have is read
// back with xwininfo. Every step waits on a state with a time-out.
#include <gtest/gtest.h>

#include <charconv>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "gui/X11TestSupport.h"
#include "toolbar/BarAnimation.h"
#include "toolbar/BarMenuTestSupport.h"

namespace {

using toolbartest::TBarTestHost;

constexpr int kTimeoutMs = 8000;
constexpr char kFormTitle[] = "TalvikToolbarX11";
constexpr char kPopupTitle[] = "TalvikToolbarPopup";

using x11test::Output;
using x11test::Shell;

// Where xwininfo sees a window of that name, and its shape extents ("" when it has no shape).
struct XWindow {
  bool found = false;
  TRect rect;
  std::string shape;
};
// The word after "Label:" (and the blanks that follow it) in Info; "" when Info has no such label.
std::string WordAfter(const std::string& Info, const std::string& Label) {
  static constexpr const char* kBlanks = " \t\r\n";
  const size_t at = Info.find(Label + ":");
  if (at == std::string::npos) return "";
  const size_t from = Info.find_first_not_of(kBlanks, at + Label.size() + 1);
  if (from == std::string::npos) return "";
  return Info.substr(from, Info.find_first_of(kBlanks, from) - from);
}
XWindow XWindowNamed(const std::string& Name) {
  XWindow w;
  const std::string info = Output("xwininfo -shape -name " + Name + " 2>/dev/null");
  int x = 0, y = 0, width = 0, height = 0;
  auto number = [&](const char* label, int& value) {
    const std::string word = WordAfter(info, label);
    const char* end = word.data() + word.size();
    const auto [stop, error] = std::from_chars(word.data(), end, value);
    return !word.empty() && error == std::errc() && stop == end;
  };
  w.found = number("Absolute upper-left X", x) && number("Absolute upper-left Y", y) &&
            number("Width", width) && number("Height", height);
  w.rect = Bounds(x, y, width, height);
  w.shape = WordAfter(info, "Window shape extents");
  return w;
}

bool WaitFor(const std::function<bool()>& Done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
  while (!Done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    Application->ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

class BarX11 : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* display = std::getenv("DISPLAY");
    const bool ci = std::getenv("CI") && std::string(std::getenv("CI")) == "true";
    if (!display || !*display || !Shell("xdotool version") || !Shell("xwininfo -root")) {
      if (ci) FAIL() << "no X server, xdotool or xwininfo: run these tests through xvfb-run -a";
      GTEST_SKIP() << "no X server (run through xvfb-run -a)";
    }
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    talvik::gui::UseQtBackend();
    CreateApplication();
    root = new TBarRootItem(&owner);
    file = Add<TBarSubmenuItem>(root, "&Файл");
    Add(file, "&Открыть");
    Add(file, "Сохранить");
    recent = Add<TBarSubmenuItem>(file, "Недавние");
    Add(recent, "Первый");
    Add(file, "Выход");
    Add(root, "Правка");
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);  // no window manager: the window stands where we put it
    form->SetCaption(kFormTitle);
  }
  void TearDown() override {
    SetMenuLoopIdleHook(nullptr);
    form.reset();
  }
  template <typename I = TBarItem>
  I* Add(TBarCustomItem* Parent, const std::string& Caption) {
    auto* item = new I(&owner);
    item->SetCaption(Caption);
    Parent->Add(item);
    return item;
  }
  void ShowAt(int X, int Y) {
    form->SetBounds(X, Y, 300, 120);
    host = new TBarTestHost(form.get(), root);
    host->SetParent(form.get());
    host->SetBounds(0, 0, 300, 22);
    form->Show();
    ASSERT_TRUE(WaitFor([] { return Shell(std::string("xdotool search --name ") + kFormTitle); }));
    Shell(std::string("xdotool search --name ") + kFormTitle + " windowfocus");
    Application->ProcessMessages();
  }
  TPoint Centre(TBarView* View, TBarCustomItem* Item) {
    View->ValidatePositions();
    const TRect r = View->Find(Item)->BoundsRect;
    return View->Window()->ClientToScreen(TPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2));
  }
  static void XClick(TPoint P) {
    Shell("xdotool mousemove " + std::to_string(P.X) + " " + std::to_string(P.Y) + " click 1");
  }
  int ChainLength() {
    int n = 0;
    for (TBarView* v = host->View(); v; v = v->OpenView()) ++n;
    return n;
  }
  // The popup open under the bar, named for xwininfo.
  TBarPopupWindow* NamedPopup() {
    TBarPopupWindow* popup = host->View()->OpenWindow();
    if (popup && popup->HandleAllocated()) SetWindowText(popup->Handle(), kPopupTitle);
    return popup;
  }

  // Steps run by the menu loop when it waits: each acts once, then its condition is waited for.
  struct Step {
    std::string name;
    std::function<void()> act;
    std::function<bool()> until;
  };
  // Clicks Start to enter the loop and runs the steps inside it; false when a step timed out.
  bool RunMenu(TPoint Start, std::vector<Step> Steps) {
    size_t index = 0;
    bool acted = false, ended = false, timedOut = false;
    auto deadline = std::chrono::steady_clock::now();
    const std::uintptr_t timer =
        SetTimer(Application->Handle(), 0x7A11, 20, nullptr);  // wakes the loop regularly
    SetMenuLoopIdleHook([&] {
      if (index >= Steps.size()) return;
      if (!acted) {
        Steps[index].act();
        acted = true;
        deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
        return;
      }
      if (Steps[index].until()) {
        ++index;
        acted = false;
      } else if (std::chrono::steady_clock::now() > deadline) {
        ADD_FAILURE() << "timed out: " << Steps[index].name;
        timedOut = true;
        index = Steps.size();
        ReleaseCapture();
      }
    });
    XClick(Start);
    const bool entered = WaitFor([&] { return host->View()->InModalLoop() || index > 0; });
    ended = WaitFor([&] { return !host->View()->InModalLoop(); });
    KillTimer(Application->Handle(), timer);
    SetMenuLoopIdleHook(nullptr);
    EXPECT_TRUE(entered) << "the press did not reach the bar";
    EXPECT_TRUE(ended) << "the menu stayed open";
    // the last step's act may end the menu before the loop waits again
    if (!timedOut && index < Steps.size() && acted && Steps[index].until()) ++index;
    return !timedOut && index == Steps.size();
  }

  TComponent owner{nullptr};
  TBarRootItem* root = nullptr;
  TBarSubmenuItem *file = nullptr, *recent = nullptr;
  std::unique_ptr<TForm> form;
  TBarTestHost* host = nullptr;
};

TEST_F(BarX11, APressOpensThePopupUnderItsItemAndAClickOnTheRootWindowClosesIt) {
  ShowAt(200, 150);
  XWindow seen;
  TRect item;
  const bool ok =
      RunMenu(Centre(host->View(), file),
              {{"the popup shows", [] {}, [&] { return NamedPopup() && !MenuAnimationRunning(); }},
               {"xwininfo sees it", [] {},
                [&] {
                  seen = XWindowNamed(kPopupTitle);
                  return seen.found;
                }},
               {"a click on the root window ends the menu",
                [&] {
                  item = host->View()->Find(file)->BoundsRect;
                  OffsetRect(item, host->ClientOrigin().X, host->ClientOrigin().Y);
                  XClick(TPoint(1200, 950));
                },
                [] { return true; }}});
  EXPECT_TRUE(ok);
  EXPECT_EQ(seen.rect.Left, item.Left);
  EXPECT_EQ(seen.rect.Top, item.Bottom);
  EXPECT_TRUE(seen.shape.empty() || seen.shape == std::to_string(seen.rect.Width()) + "x" +
                                                      std::to_string(seen.rect.Height()) + "+0+0")
      << "the slide leaves the whole window: " << seen.shape;
  EXPECT_EQ(ChainLength(), 1);
}

TEST_F(BarX11, AtTheRightAndBottomEdgesThePopupFlips) {
  // the bar's last pixels stand at the screen's right edge, near its bottom
  ShowAt(1280 - 120, 1024 - 40);
  XWindow seen;
  TRect item;
  EXPECT_TRUE(RunMenu(Centre(host->View(), file),
                      {{"the popup shows", [] {}, [&] { return NamedPopup() && !MenuAnimationRunning(); }},
                       {"xwininfo sees it", [] {},
                        [&] {
                          seen = XWindowNamed(kPopupTitle);
                          return seen.found;
                        }},
                       {"Escape closes it",
                        [&] {
                          item = host->View()->Find(file)->BoundsRect;
                          OffsetRect(item, host->ClientOrigin().X, host->ClientOrigin().Y);
                          Shell("xdotool key Escape");
                        },
                        [&] { return ChainLength() == 1; }},
                       {"Escape ends the menu", [] { Shell("xdotool key Escape"); }, [] { return true; }}}));
  EXPECT_LE(seen.rect.Bottom, item.Top) << "above its item";
  EXPECT_LE(seen.rect.Right, 1280) << "inside the screen";
  EXPECT_GT(seen.rect.Width(), 0);
}

TEST_F(BarX11, KeysNavigate) {
  ShowAt(200, 150);
  auto selected = [&](TBarView* v) { return v && v->Selected() ? v->Selected()->Item() : nullptr; };
  EXPECT_TRUE(RunMenu(
      Centre(host->View(), file),
      {{"open", [] {}, [&] { return ChainLength() == 2; }},
       {"Down three times reaches Недавние", [] { Shell("xdotool key Down Down Down"); },
        [&] { return selected(host->View()->OpenView()) == recent; }},
       {"Right opens it", [] { Shell("xdotool key Right"); }, [&] { return ChainLength() == 3; }},
       {"Left closes it", [] { Shell("xdotool key Left"); }, [&] { return ChainLength() == 2; }},
       {"Escape closes the popup", [] { Shell("xdotool key Escape"); }, [&] { return ChainLength() == 1; }},
       {"Escape ends the menu", [] { Shell("xdotool key Escape"); }, [] { return true; }}}));
  EXPECT_FALSE(host->View()->InModalLoop());
}

TEST_F(BarX11, ClicksOnATallPopupsScrollBandAndFrameKeepTheMenuOpen) {
  auto* tall = Add<TBarSubmenuItem>(root, "Длинное");
  for (int i = 0; i < 80; ++i) Add(tall, "Пункт " + std::to_string(i));
  ShowAt(200, 150);
  TBarView* popup = nullptr;
  TBarCustomItem* pointed = nullptr;
  auto screen = [&](int X, int Y) { return popup->Window()->ClientToScreen(TPoint(X, Y)); };
  EXPECT_TRUE(RunMenu(
      Centre(host->View(), tall),
      {{"the popup shows", [] {},
        [&] {
          popup = host->View()->OpenView();
          return popup && popup->ShowDownArrow() && !MenuAnimationRunning();
        }},
       {"a click on the bottom band scrolls and the menu stays",
        [&] { XClick(screen(popup->Window()->ClientWidth() / 2, popup->MaxHeight() - 10)); },
        [&] { return ChainLength() == 2 && popup->ScrollOffset() > 40; }},
       {"a click on the frame does nothing",
        [&] {
          RECT r;
          GetWindowRect(popup->Window()->Handle(), r);
          XClick(TPoint(r.Left + 1, (r.Top + r.Bottom) / 2));
          // then the mouse goes onto an item in sight: it is selected only if the menu is still open
          for (int i = 0; i < popup->ViewerCount() && !pointed; ++i)
            if (TBarItemViewer* v = popup->Viewers(i); v->Show && v->BoundsRect.Top > 100)
              pointed = v->Item();
          const TPoint p = Centre(popup, pointed);
          Shell("xdotool mousemove " + std::to_string(p.X) + " " + std::to_string(p.Y));
        },
        [&] { return ChainLength() == 2 && popup->Selected() && popup->Selected()->Item() == pointed; }},
       {"Escape closes the popup", [] { Shell("xdotool key Escape"); }, [&] { return ChainLength() == 1; }},
       {"Escape ends the menu", [] { Shell("xdotool key Escape"); }, [] { return true; }}}));
  EXPECT_FALSE(host->View()->InModalLoop());
}
}  // namespace
