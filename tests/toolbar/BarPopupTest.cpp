// Placing popups, finding items by accelerator, the popup window's frame and keyboard-cue state, and
// the toolbar image list's companion lists.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "toolbar/BarImageList.h"
#include "toolbar/BarMenuTestSupport.h"

namespace {

using toolbartest::BarMenuTest;
using toolbartest::TTestView;

// ---- placement, over two monitors side by side ----

const TRect kLeftMonitor = Rect(0, 0, 1024, 768);
const TRect kRightMonitor = Rect(1024, 0, 2048, 768);

TRect At(int X, int Y) {
  return Rect(X, Y, X, Y);
}

struct PlacementCase {
  const char* name;
  TBarPopupPlacementInput in;
  TBarPopupPlacement want;
};

TBarPopupPlacementInput Point(TRect R, TRect M, TBarPopupAlignment Alignment, int W = 200, int H = 300) {
  TBarPopupPlacementInput in;
  in.R = R;
  in.M = M;
  in.W = W;
  in.H = H;
  in.Alignment = Alignment;
  return in;
}
TBarPopupPlacementInput DropDown(TRect R, TRect M, bool Vertical, int W = 150, int H = 200) {
  TBarPopupPlacementInput in = Point(R, M, tbpaLeft, W, H);
  in.HasParentView = true;
  in.ParentVertical = Vertical;
  return in;
}
TBarPopupPlacementInput Nested(TRect R, TRect M, bool ParentOpensLeft, int W = 150, int H = 100) {
  TBarPopupPlacementInput in = DropDown(R, M, false, W, H);
  in.Nested = true;
  in.ParentOpensLeft = ParentOpensLeft;
  return in;
}
template <typename F>
TBarPopupPlacementInput With(TBarPopupPlacementInput In, F Change) {
  Change(In);
  return In;
}

class Placement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(Placement, Rules) {
  const PlacementCase& c = GetParam();
  const TBarPopupPlacement got = CalcPopupPlacement(c.in);
  EXPECT_EQ(got.X, c.want.X);
  EXPECT_EQ(got.Y, c.want.Y);
  EXPECT_EQ(got.Direction, c.want.Direction);
  EXPECT_EQ(got.OpensLeft, c.want.OpensLeft);
}

const PlacementCase kPlacements[] = {
    {"PointLeftAligned", Point(At(100, 100), kLeftMonitor, tbpaLeft), {100, 100, 4 | 2, false}},
    {"PointRightAligned", Point(At(300, 100), kLeftMonitor, tbpaRight), {100, 100, 4 | 1, false}},
    {"PointCentred", Point(At(300, 100), kLeftMonitor, tbpaCenter), {200, 100, 4, false}},
    {"PointRightAlignedAtTheLeftEdgeTurns",
     Point(At(50, 100), kLeftMonitor, tbpaRight),
     {50, 100, 4 | 2, false}},
    {"PointLeftAlignedAtTheRightEdgeFlipsLeft",
     Point(At(1000, 100), kLeftMonitor, tbpaLeft),
     {800, 100, 4 | 1, false}},
    {"PointCentredAtTheRightEdgeKeepsTheEdge",
     Point(At(1000, 100), kLeftMonitor, tbpaCenter),
     {824, 100, 4, false}},
    {"PointAtTheBottomFlipsAbove", Point(At(100, 700), kLeftMonitor, tbpaLeft), {100, 400, 8 | 2, false}},
    {"PointOnTheRightMonitorFlipsAbove",
     Point(At(1100, 700), kRightMonitor, tbpaLeft),
     {1100, 400, 8 | 2, false}},
    {"FlipAboveOnlyWhenItFits", Point(At(100, 200), kLeftMonitor, tbpaLeft, 200, 700), {100, 68, 2, false}},
    {"DropDownUnderAHorizontalBar", DropDown(Rect(50, 0, 90, 20), kLeftMonitor, false), {50, 20, 4, false}},
    {"DropDownRightAlignedBySystem",
     With(DropDown(Rect(50, 0, 90, 20), kLeftMonitor, false), [](auto& in) { in.MenuDropRight = true; }),
     {0, 20, 4, false}},
    {"DropDownAtTheRightEdgeKeepsTheEdge",
     DropDown(Rect(950, 0, 990, 20), kLeftMonitor, false),
     {874, 20, 4, false}},
    {"DropDownBesideAVerticalBarOnTheRight",
     DropDown(Rect(1000, 100, 1024, 140), kLeftMonitor, true),
     {850, 100, 1, false}},
    {"DropDownBesideAVerticalBarOnTheLeftMovesRight",
     DropDown(Rect(0, 100, 24, 140), kLeftMonitor, true),
     {24, 100, 2, false}},
    {"ChevronOfAHorizontalBar",
     With(DropDown(Rect(480, 0, 492, 22), kLeftMonitor, false, 100, 120),
          [](auto& in) { in.Chevron = true; }),
     {392, 22, 4, false}},
    {"ChevronOfAVerticalBar",
     With(DropDown(Rect(1000, 300, 1024, 312), kLeftMonitor, true, 100, 120),
          [](auto& in) { in.Chevron = true; }),
     {900, 300, 1, false}},
    {"DropDownMovesAboveWhereItCoversFewerButtons",
     With(DropDown(Rect(50, 300, 90, 320), kLeftMonitor, false),
          [](auto& in) {
            in.ParentViewers = {Rect(50, 300, 90, 320), Rect(60, 320, 80, 340), Rect(100, 320, 140, 340)};
          }),
     {50, 100, 8, false}},
    {"DropDownStaysWhereAboveCoversAsMany",
     With(DropDown(Rect(50, 300, 90, 320), kLeftMonitor, false),
          [](auto& in) {
            in.ParentViewers = {Rect(60, 320, 80, 340), Rect(60, 150, 80, 170)};
          }),
     {50, 320, 4, false}},
    {"ATallDropDownOverItsButtonMovesAside",
     DropDown(Rect(50, 700, 90, 720), kLeftMonitor, false, 150, 760),
     {90, 8, 2, false}},
    {"NestedOpensRight", Nested(Rect(100, 100, 250, 120), kLeftMonitor, false), {247, 97, 2, false}},
    {"NestedAtTheMonitorEdgeOpensLeft",
     Nested(Rect(850, 100, 1000, 120), kLeftMonitor, false),
     {703, 97, 1, true}},
    {"NestedInheritsLeft", Nested(Rect(400, 100, 550, 120), kLeftMonitor, true), {253, 97, 1, true}},
    {"NestedInheritedLeftRetriesRight",
     Nested(Rect(10, 100, 160, 120), kLeftMonitor, true),
     {157, 97, 2, false}},
    {"NestedInheritedLeftKeptWhenRightDoesNotFit",
     Nested(Rect(10, 100, 1010, 120), kLeftMonitor, true),
     {0, 97, 1, true}},
    {"NestedAtTheBottomFlipsAbove",
     Nested(Rect(100, 700, 250, 720), kLeftMonitor, false),
     {247, 623, 2, false}},
    {"NestedOnTheRightMonitorTurnsAtItsEdge",
     Nested(Rect(1850, 100, 2000, 120), kRightMonitor, false),
     {1703, 97, 1, true}},
};

INSTANTIATE_TEST_SUITE_P(Popup, Placement, ::testing::ValuesIn(kPlacements),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- accelerators ----

struct AccelCase {
  const char* name;
  std::vector<std::string> captions;  // a leading '!' marks a disabled item
  char32_t key;
  int start;  // the viewer the search starts after (-1 none)
  int found;  // -1 none
  bool unique;
};

class Accelerators : public ::testing::TestWithParam<AccelCase> {};

TEST_P(Accelerators, Search) {
  const AccelCase& c = GetParam();
  TComponent owner(nullptr);
  auto* root = new TBarRootItem(&owner);
  for (const std::string& caption : c.captions) {
    auto* item = new TBarItem(&owner);
    const bool disabled = caption.rfind('!', 0) == 0;
    item->SetCaption(disabled ? caption.substr(1) : caption);
    item->SetEnabled(!disabled);
    root->Add(item);
  }
  TTestView view(root, false);
  bool unique = !c.unique;
  TBarItemViewer* start = c.start < 0 ? nullptr : view.Viewers(c.start);
  TBarItemViewer* found = view.FindViewerByAccel(c.key, start, false, unique);
  EXPECT_EQ(view.IndexOf(found), c.found);
  if (found) {
    EXPECT_EQ(unique, c.unique);
  }
}

const AccelCase kAccels[] = {
    {"ExplicitBeatsFirstLetters", {"Сеансы", "&Сохранить"}, U'с', -1, 1, true},
    {"PravkaBeatsFirstLetters", {"Просмотр", "&Правка"}, U'п', -1, 1, true},
    {"SmallFindsCapital", {"Файл", "Сеансы"}, U'с', -1, 1, true},
    {"CapitalFindsCapital", {"Файл", "Сеансы"}, U'С', -1, 1, true},
    {"LatinLetterIsNotCyrillic", {"Файл", "Сеансы"}, U'c', -1, -1, false},
    {"EnabledBeforeDisabled", {"!&Печать", "&Правка"}, U'п', -1, 1, true},
    {"DisabledOnlyMatchIsUnique", {"Копировать", "!&Вставить"}, U'в', -1, 1, true},
    {"TwoEnabledMatchesFirst", {"&Сеансы", "Файл", "&Сервер"}, U'с', -1, 0, false},
    {"TwoEnabledMatchesAlternate", {"&Сеансы", "Файл", "&Сервер"}, U'с', 0, 2, false},
    {"TwoEnabledMatchesWrapAround", {"&Сеансы", "Файл", "&Сервер"}, U'с', 2, 0, false},
    {"ASpaceNeverMatches", {" Пробел", "Файл"}, U' ', -1, -1, false},
    {"ALeadingSpaceIsNoFirstLetter", {" Пробел"}, U'п', -1, -1, false},
    {"LatinExplicitLastMarkWins", {"S&ave && E&xit"}, U'X', -1, 0, true},
};

INSTANTIATE_TEST_SUITE_P(View, Accelerators, ::testing::ValuesIn(kAccels),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the popup window ----

class BarPopupWindow : public BarMenuTest {
 protected:
  void SetUp() override {
    BarMenuTest::SetUp();
    menu = Add<TBarSubmenuItem>(root_, "Меню");
    Add(menu, "&Первый");
    nested = Add<TBarSubmenuItem>(menu, "Вложенное");
    Add(nested, "Внутри");
  }
  // A popup of its own (no parent view) at a point.
  std::unique_ptr<TBarPopupWindow> PopupAt(TPoint P) {
    return std::unique_ptr<TBarPopupWindow>(
        menu->BuildSubmenuPopup(nullptr, nullptr, false, false, false, P, tbpaLeft));
  }
  TBarSubmenuItem *menu = nullptr, *nested = nullptr;
};

TEST_F(BarPopupWindow, FramesFlatAndRaised) {
  struct Probe {
    int x, y;
    int color;  // system colour index
  };
  struct Case {
    bool flat;
    std::vector<Probe> probes;
  };
  const Case cases[] = {
      {false,
       {{0, 0, COLOR_3DLIGHT},
        {1, 1, COLOR_BTNHIGHLIGHT},
        {2, 2, COLOR_BTNFACE},
        {-1, -1, COLOR_3DDKSHADOW},
        {-2, -2, COLOR_BTNSHADOW}}},
      {true, {{0, 0, COLOR_BTNSHADOW}, {1, 1, COLOR_MENU}, {2, 2, COLOR_MENU}, {-1, -1, COLOR_BTNSHADOW}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flat ? "flat" : "raised");
    SystemParametersInfo(SPI_SETFLATMENU, 0, c.flat ? reinterpret_cast<void*>(1) : nullptr, 0);
    auto popup = PopupAt(TPoint(200, 200));
    HWND h = popup->Handle();
    RECT r;
    GetWindowRect(h, r);
    for (const Probe& p : c.probes) {
      const int x = p.x < 0 ? r.Width() + p.x : p.x, y = p.y < 0 ? r.Height() + p.y : p.y;
      EXPECT_EQ(talvik::gui::WindowPixel(h, x, y), GetSysColor(p.color)) << x << "," << y;
    }
  }
}

TEST_F(BarPopupWindow, OnlyTopLevelPopupsAskForTheKeyboardCueState) {
  std::vector<std::pair<HWND, UINT>> seen;
  static std::vector<std::pair<HWND, UINT>>* sink = nullptr;
  sink = &seen;
  HHOOK hook = SetWindowsHookEx(
      WH_CALLWNDPROC,
      [](int code, WPARAM w, LPARAM l) -> LRESULT {
        auto* cwp = reinterpret_cast<CWPSTRUCT*>(l);
        if (cwp->message == WM_CHANGEUISTATE || cwp->message == WM_QUERYUISTATE)
          sink->emplace_back(cwp->hwnd, cwp->message);
        return CallNextHookEx(nullptr, code, w, l);
      },
      nullptr, GetCurrentThreadId());
  auto popup = PopupAt(TPoint(200, 200));
  popup->View()->SelectViewer(popup->View()->Find(nested));
  popup->View()->ShowChildPopup(false);
  ASSERT_TRUE(popup->View()->OpenWindow());
  HWND child = popup->View()->OpenWindow()->Handle();
  UnhookWindowsHookEx(hook);
  const std::vector<std::pair<HWND, UINT>> want = {{popup->Handle(), WM_CHANGEUISTATE},
                                                   {popup->Handle(), WM_QUERYUISTATE}};
  EXPECT_EQ(seen, want);
  EXPECT_NE(child, popup->Handle());
}

TEST_F(BarPopupWindow, UnderlinesFollowTheLastInputUnlessCuesAreOn) {
  struct Case {
    const char* name;
    bool cues;
    bool lastKey;
    bool underlined;
  };
  const Case cases[] = {{"after the mouse", false, false, false},
                        {"after a key", false, true, true},
                        {"cues on never hide", true, false, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SystemParametersInfo(SPI_SETKEYBOARDCUES, 0, c.cues ? reinterpret_cast<void*>(1) : nullptr, 0);
    if (c.lastKey)
      Key(VK_SHIFT);
    else
      talvik::gui::InjectMouse(WM_LBUTTONUP, TPoint(900, 700));
    talvik::gui::ProcessPending();
    auto popup = PopupAt(TPoint(200, 200));
    EXPECT_EQ(popup->View()->State().Contains(vsShowAccels), c.underlined);
    EXPECT_EQ((SendMessage(popup->Handle(), WM_QUERYUISTATE) & UISF_HIDEACCEL) == 0, c.underlined);
  }
}

TEST_F(BarPopupWindow, APopupOfItsOwnStandsAtItsPointAndShowsTheSound) {
  std::vector<std::string> sounds;
  talvik::gui::SetSoundSink([&](const std::string& alias, DWORD) { sounds.push_back(alias); });
  toolbartest::PrivateRegistry registry;
  registry.Put("AppEvents\\Schemes\\Apps\\.Default\\MenuPopup\\.Current", "", REG_SZ, std::string("x\0", 2));
  auto popup = PopupAt(TPoint(300, 200));
  RECT r;
  GetWindowRect(popup->Handle(), r);
  EXPECT_EQ(r.Left, 300);
  EXPECT_EQ(r.Top, 200);
  EXPECT_TRUE(IsWindowVisible(popup->Handle()));
  EXPECT_EQ(sounds, std::vector<std::string>{"MenuPopup"});
  talvik::gui::SetSoundSink(nullptr);
}

// ---- companion image lists ----

std::unique_ptr<TCustomImageList> Solid(TColor Color) {
  auto list = std::make_unique<TCustomImageList>(nullptr, 8, 8);
  TBitmap b;
  b.SetSize(8, 8);
  b.Canvas()->Brush()->SetColor(Color);
  b.Canvas()->FillRect(Rect(0, 0, 8, 8));
  list->Add(&b, nullptr);
  return list;
}

TEST(BarImageList, CompanionsByState) {
  TBarImageList list(nullptr);
  list.SetSize(8, 8);
  TBitmap own;
  own.SetSize(8, 8);
  own.Canvas()->Brush()->SetColor(clRed);
  own.Canvas()->FillRect(Rect(0, 0, 8, 8));
  list.Add(&own, nullptr);
  auto checked = Solid(clLime), disabled = Solid(clBlue), hot = Solid(clYellow);
  struct Case {
    const char* name;
    bool enabled, hot, checked;
    bool withCompanions;
    TColor want;
  };
  const Case cases[] = {
      {"plain", true, false, false, true, clRed},
      {"hot", true, true, false, true, clYellow},
      {"checked before hot", true, true, true, true, clLime},
      {"disabled before checked, drawn enabled", false, true, true, true, clBlue},
      {"hot without a companion", true, true, false, false, clRed},
      {"checked without a companion", true, false, true, false, clRed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    list.SetCheckedImages(c.withCompanions ? checked.get() : nullptr);
    list.SetDisabledImages(c.withCompanions ? disabled.get() : nullptr);
    list.SetHotImages(c.withCompanions ? hot.get() : nullptr);
    TBitmap target;
    target.SetSize(8, 8);
    list.DrawState(target.Canvas(), 0, 0, 0, c.enabled, c.hot, c.checked);
    EXPECT_EQ(ColorToRGB(target.Canvas()->Pixels(4, 4)), ColorToRGB(c.want));
  }
}

TEST(BarImageList, ACompanionsChangeIsAChangeOfTheListAndItsGoingIsNoticed) {
  TBarImageList list(nullptr);
  int changes = 0;
  list.OnChange = [&](TObject*) { ++changes; };
  auto hot = Solid(clYellow);
  list.SetHotImages(hot.get());
  changes = 0;
  TBitmap b;
  b.SetSize(8, 8);
  hot->Add(&b, nullptr);
  EXPECT_GE(changes, 1);
  hot.reset();
  EXPECT_EQ(list.HotImages(), nullptr);
}

TEST(BarImageList, ImagesComeFromTheBitmapWithItsMaskColour) {
  TBarImageList list(nullptr);
  list.SetSize(8, 8);
  TBitmap strip;
  strip.SetSize(24, 8);
  strip.Canvas()->Brush()->SetColor(clFuchsia);
  strip.Canvas()->FillRect(Rect(0, 0, 24, 8));
  strip.Canvas()->Brush()->SetColor(clNavy);
  strip.Canvas()->FillRect(Rect(2, 2, 6, 6));
  list.SetImagesBitmap(&strip);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_FALSE(list.PixelShows(0, 0, 0)) << "fuchsia is clear";
  EXPECT_TRUE(list.PixelShows(0, 3, 3));
}

// ---- the look of an open menu ----

TEST_F(BarPopupWindow, TheLookOfAnOpenMenuWithASubmenu) {
  TBarImageList images(nullptr);
  images.SetSize(16, 16);
  TBitmap strip;
  strip.SetSize(48, 16);
  const TColor colors[] = {clRed, clGreen, clBlue};
  for (int i = 0; i < 3; ++i) {
    strip.Canvas()->Brush()->SetColor(clFuchsia);
    strip.Canvas()->FillRect(Bounds(i * 16, 0, 16, 16));
    strip.Canvas()->Brush()->SetColor(colors[i]);
    strip.Canvas()->FillRect(Bounds(i * 16 + 2, 2, 12, 12));
  }
  images.SetImagesBitmap(&strip);
  auto* file = Add<TBarSubmenuItem>(root_, "&Файл");
  file->SetSubMenuImages(&images);
  Add<TBarSubmenuItem>(root_, "&Правка");
  TBarItem* open = Add(file, "&Открыть\tCtrl+O");
  open->SetImageIndex(0);
  TBarItem* save = Add(file, "&Сохранить");
  save->SetImageIndex(1);
  save->SetShortCut(TextToShortCut("Ctrl+S"));
  TBarItem* autosave = Add(file, "&Автосохранение");
  autosave->SetChecked(true);
  TBarItem* panel = Add(file, "&Панель");
  panel->SetChecked(true);
  panel->SetImageIndex(2);
  Separator(file);
  TBarItem* paste = Add(file, "&Вставить");
  paste->SetEnabled(false);
  Separator(file);
  auto* recent = Add<TBarSubmenuItem>(file, "&Недавние");
  Add(recent, "session.sql");
  Add(recent, "locks.sql");
  Add(file, "В&ыход");
  ShowHost();

  const std::string dir =
      std::string(std::getenv("TALVIK_BINARY_DIR") ? std::getenv("TALVIK_BINARY_DIR") : ".") + "/screenshots";
  std::filesystem::create_directories(dir);
  const std::string path = dir + "/toolbar-popup-menu.png";
  bool nestedOpen = false, pictured = false;
  COLORREF disabledText = 0;
  Drive({[] { Key(VK_DOWN); }, [] { Key('Y', U'н'); },
         [&] {
           nestedOpen = OpenPopupItem() == recent;
           TBarView* popup = View()->OpenView();
           const TRect r = popup->Find(paste)->BoundsRect;
           disabledText = 0;
           // the disabled caption draws in the grey text colour somewhere on its line
           for (int x = r.Left; x < r.Right && !disabledText; ++x)
             for (int y = r.Top; y < r.Bottom; ++y) {
               const COLORREF c = talvik::gui::WindowPixel(popup->Window()->Handle(), x + kBarPopupFrame,
                                                           y + kBarPopupFrame);
               if (c == GetSysColor(COLOR_GRAYTEXT) || c == GetSysColor(COLOR_BTNSHADOW)) {
                 disabledText = c;
                 break;
               }
             }
           pictured = talvik::gui::RenderScreenToPng(path, Rect(90, 90, 560, 400));
           Key(VK_ESCAPE);
         },
         [] { Key(VK_ESCAPE); }, [] { Key(VK_ESCAPE); }});
  EnterByKeyboard(file);
  EXPECT_TRUE(nestedOpen);
  EXPECT_NE(disabledText, 0u);
  EXPECT_TRUE(pictured);  // (the file, another test process may write too: it is not looked at here)
  EXPECT_FALSE(LeftOpen);
}

}  // namespace

namespace {

TEST(MenuSettings, AnimationOnAndFadeOffUntilSet) {
  struct Case {
    UINT get, set;
    bool initially;
  };
  for (const Case& c : {Case{SPI_GETMENUANIMATION, SPI_SETMENUANIMATION, true},
                        Case{SPI_GETMENUFADE, SPI_SETMENUFADE, false}}) {
    bool value = !c.initially;
    ASSERT_TRUE(SystemParametersInfo(c.get, 0, &value, 0));
    EXPECT_EQ(value, c.initially) << c.get;
    SystemParametersInfo(c.set, 0, c.initially ? nullptr : reinterpret_cast<void*>(1), 0);
    SystemParametersInfo(c.get, 0, &value, 0);
    EXPECT_EQ(value, !c.initially) << c.get;
    SystemParametersInfo(c.set, 0, c.initially ? reinterpret_cast<void*>(1) : nullptr, 0);
  }
}

}  // namespace
