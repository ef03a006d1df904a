#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "platform/gui/WinManager.h"
#include "toolbar/BarUtils.h"
#include "toolbar/ToolbarTestSupport.h"

namespace {

using toolbartest::PrivateRegistry;

// ---- caption text: one table of the cases that go wrong most easily ----

struct CaptionCase {
  const char* name;
  const char* text;
  char32_t accel;
  const char* stripped;     // StripAccelChars
  const char* punctuation;  // StripTrailingPunctuation
};

const CaptionCase kCaptionCases[] = {
    {"LastAcceleratorWins", "S&ave && E&xit", U'x', "Save & Exit", "S&ave && E&xit"},
    {"DoubledAmpersandIsNoAccelerator", "Fish && Chips", 0, "Fish & Chips", "Fish && Chips"},
    {"TrailingAmpersandIsNone", "Save &", 0, "Save ", "Save &"},
    {"LiteralAmpersandAtEnd", "Save &&", 0, "Save &", "Save &&"},
    {"StripKeepsOneOfADouble", "Save &As && More", U'A', "Save As & More", "Save &As && More"},
    {"CyrillicFirstLetter", "&Файл", U'Ф', "Файл", "&Файл"},
    {"CyrillicInside", "Фа&йл", U'й', "Файл", "Фа&йл"},
    {"EllipsisStripped", "Open...", 0, "Open...", "Open"},
    {"ColonStripped", "Options:", 0, "Options:", "Options"},
    {"LoneColonKept", ":", 0, ":", ":"},
    {"ShortEllipsisKept", "...", 0, "...", "..."},
    {"CyrillicBeforeEllipsis", "Я...", 0, "Я...", "Я"},
    {"TwoCyrillicLettersAndColon", "Вы:", 0, "Вы:", "Вы"},
};

void PrintTo(const CaptionCase& c, std::ostream* os) {
  *os << c.name;
}

class CaptionText : public ::testing::TestWithParam<CaptionCase> {};

TEST_P(CaptionText, AcceleratorStripAndPunctuation) {
  const CaptionCase& c = GetParam();
  EXPECT_EQ(FindAccelChar(c.text), c.accel);
  EXPECT_EQ(StripAccelChars(c.text), c.stripped);
  EXPECT_EQ(StripTrailingPunctuation(c.text), c.punctuation);
  // Escaping and stripping give the text back.
  EXPECT_EQ(StripAccelChars(EscapeAmpersands(c.text)), c.text);
}

INSTANTIATE_TEST_SUITE_P(Cases, CaptionText, ::testing::ValuesIn(kCaptionCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BarUtils, DivRoundAwayMovesRemaindersAwayFromZero) {
  struct {
    int x, y, expected;
  } cases[] = {{7, 3, 3}, {-7, 3, -3}, {6, 3, 2}, {-6, 3, -2}, {1, 3, 1}, {-1, 3, -1}, {0, 3, 0}, {26, 3, 9}};
  for (auto& c : cases) EXPECT_EQ(DivRoundAway(c.x, c.y), c.expected) << c.x << " / " << c.y;
}

// ---- the submenu delay and the sound scheme, from the user's settings store ----

struct DelayCase {
  const char* name;
  bool key;
  bool value;
  uint32_t type;
  std::string data;
  int expected;
};

void PrintTo(const DelayCase& c, std::ostream* os) {
  *os << c.name;
}

class MenuShowDelaySetting : public ::testing::TestWithParam<DelayCase> {};

TEST_P(MenuShowDelaySetting, ParsesOnlyWholeNumbersWithinTheStoredLength) {
  PrivateRegistry registry;
  const DelayCase& c = GetParam();
  if (c.value)
    PrivateRegistry::Put("Control Panel\\Desktop", "MenuShowDelay", c.type, c.data);
  else if (c.key)
    PrivateRegistry::CreateKey("Control Panel\\Desktop");
  EXPECT_EQ(ReadMenuShowDelaySetting(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MenuShowDelaySetting,
    ::testing::Values(DelayCase{"NoKey", false, false, REG_SZ, "", 400},
                      DelayCase{"KeyWithoutValue", true, false, REG_SZ, "", 400},
                      DelayCase{"Number", true, true, REG_SZ, "250", 250},
                      DelayCase{"Letters", true, true, REG_SZ, "fast", 0},
                      DelayCase{"NumberThenLetters", true, true, REG_SZ, "250ms", 0},
                      DelayCase{"Negative", true, true, REG_SZ, "-5", -5},
                      DelayCase{"Empty", true, true, REG_SZ, "", 0},
                      DelayCase{"NotText", true, true, REG_DWORD, std::string("\x2c\x01\0\0", 4), 0},
                      DelayCase{"ThirtyOneDigitsOverflow", true, true, REG_SZ, std::string(31, '1'), 0},
                      DelayCase{"ThirtyTwoBytesWithoutRoomForTheEnd", true, true, REG_SZ,
                                std::string(32, '1'), 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BarUtils, MenuShowDelayNeverNegativeAndFollowsTheSystemSetting) {
  int saved = 0;
  SystemParametersInfo(SPI_GETMENUSHOWDELAY, 0, &saved, 0);
  SystemParametersInfo(SPI_SETMENUSHOWDELAY, static_cast<UINT>(-5), nullptr, 0);
  EXPECT_EQ(GetMenuShowDelay(), 0);
  SystemParametersInfo(SPI_SETMENUSHOWDELAY, 150, nullptr, 0);
  EXPECT_EQ(GetMenuShowDelay(), 150);
  SystemParametersInfo(SPI_SETMENUSHOWDELAY, static_cast<UINT>(saved), nullptr, 0);
}

TEST(BarUtils, NeedToPlaySoundReadsTheSchemeKey) {
  PrivateRegistry registry;
  const std::string base = "AppEvents\\Schemes\\Apps\\.Default\\";
  EXPECT_FALSE(NeedToPlaySound("MenuPopup")) << "without the scheme key menus stay silent";
  PrivateRegistry::CreateKey(base + "MenuPopup\\.Current");
  EXPECT_FALSE(NeedToPlaySound("MenuPopup")) << "a key without a default value";
  PrivateRegistry::Put(base + "MenuPopup\\.Current", "", REG_SZ, "");
  EXPECT_FALSE(NeedToPlaySound("MenuPopup")) << "an empty file name";
  PrivateRegistry::Put(base + "MenuPopup\\.Current", "", REG_SZ, "a.wav");
  EXPECT_TRUE(NeedToPlaySound("MenuPopup"));
  PrivateRegistry::Put(base + "MenuCommand\\.Current", "", REG_SZ, "/usr/share/sounds/menu-command.wav");
  EXPECT_TRUE(NeedToPlaySound("MenuCommand")) << "a name longer than the buffer still counts (more data)";
  EXPECT_FALSE(NeedToPlaySound("SystemExit"));
}

// ---- lists ----

TEST(BarUtils, QuickSortListSortsAnyOrderAndLeavesShortListsAlone) {
  auto compare = [](void* a, void* b) {
    auto x = reinterpret_cast<intptr_t>(a), y = reinterpret_cast<intptr_t>(b);
    return x < y ? -1 : x > y ? 1 : 0;
  };
  std::mt19937 random(7);
  for (int n : {0, 1, 2, 3, 10, 101}) {
    TList list;
    std::vector<intptr_t> expected;
    for (int i = 0; i < n; ++i) {
      intptr_t v = static_cast<intptr_t>(random() % 20) + 1;  // duplicates on purpose
      list.Add(reinterpret_cast<void*>(v));
      expected.push_back(v);
    }
    std::sort(expected.begin(), expected.end());
    QuickSortList(&list, compare);
    ASSERT_EQ(list.Count(), n);
    for (int i = 0; i < n; ++i) EXPECT_EQ(reinterpret_cast<intptr_t>(list.Items(i)), expected[i]) << n;
  }
  QuickSortList(nullptr, compare);  // no list: nothing to do
}

TEST(BarUtils, ListsAreMadeOnDemandAndFreedWhenEmpty) {
  TList* list = nullptr;
  int a = 0, b = 0;
  EXPECT_TRUE(AddToList(list, &a));
  EXPECT_FALSE(AddToList(list, &a));
  EXPECT_TRUE(AddToFrontOfList(list, &b));
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->Items(0), &b);
  RemoveFromList(list, &a);
  RemoveFromList(list, &b);
  EXPECT_EQ(list, nullptr);
  RemoveFromList(list, &a);  // no list: nothing happens
}

// ---- monitors ----

TEST(BarUtils, MonitorRectanglesComeFromTheNearestMonitor) {
  MONITORINFO left, right;
  left.rcMonitor = Rect(0, 0, 1000, 800);
  left.rcWork = Rect(0, 0, 1000, 760);
  left.dwFlags = MONITORINFOF_PRIMARY;
  right.rcMonitor = Rect(1000, 100, 2280, 1124);
  right.rcWork = Rect(1000, 100, 2280, 1094);
  talvik::gui::SetScreens({left, right});
  TRect r;
  GetRectOfMonitorContainingPoint({1500, 50}, true, r);  // above the right monitor, off both
  EXPECT_EQ(r, right.rcWork);
  GetRectOfMonitorContainingPoint({-40, 900}, false, r);
  EXPECT_EQ(r, left.rcMonitor);
  GetRectOfMonitorContainingRect(Rect(900, 200, 1300, 300), false, r);  // mostly on the right one
  EXPECT_EQ(r, right.rcMonitor);
  talvik::gui::SetScreens({left});
  GetRectOfMonitorContainingPoint({1500, 500}, true, r);  // one monitor: the primary work area
  EXPECT_EQ(r, left.rcWork);
  talvik::gui::SetScreens({});
}

}  // namespace
