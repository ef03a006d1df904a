// The month calendar: weeks from Monday, the hit test telling a day from the rest, keys, the mouse on
// the arrows and days, the minimum size, and what it paints (Russian names, today marked).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "GuiTestSupport.h"
#include "platform/gui/Calendar.h"
#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"

using namespace guitest;
using talvik::gui::InjectKey;
using talvik::gui::ShiftKeys;

namespace {

constexpr ShiftKeys kCtrl{false, true, false};

class Calendar : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    CreateApplication();
    russian = std::make_unique<TFormatSettingsGuard>(RussianFormatSettings());
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(100, 100, 320, 260);
    cal = new TMonthCalendar(form.get());
    cal->SetParent(form.get());
    cal->SetBounds(10, 10, 240, 200);
    cal->SetToday(EncodeDate(2026, 12, 7));
    cal->SetDate(EncodeDate(2026, 12, 7));
  }
  void TearDown() override {
    form.reset();
    russian.reset();
    GuiTest::TearDown();
  }
  static void Key(WORD vk, ShiftKeys shift = {}) {
    guitest::TypeKey(vk, 0, shift);
    Application->ProcessMessages();
  }
  // The centre of the cell of a date shown in the current month view.
  TPoint CentreOf(TDateTime day) {
    for (int y = 0; y < cal->ClientHeight(); y += 2)
      for (int x = 0; x < cal->ClientWidth(); x += 2) {
        MCHITTESTINFO hit = cal->HitTest({x, y});
        if ((hit.uHit & MCHT_CALENDARDATE) == MCHT_CALENDARDATE &&
            static_cast<int>(hit.st) == static_cast<int>(day))
          return {x + 3, y + 3};
      }
    return {-1, -1};
  }
  std::unique_ptr<TFormatSettingsGuard> russian;
  std::unique_ptr<TForm> form;
  TMonthCalendar* cal = nullptr;
};

TEST_F(Calendar, HitTestTellsDaysFromTheRest) {
  form->Show();
  // December 2026 begins on a Tuesday: the view begins on Monday 30 November
  TPoint first = CentreOf(EncodeDate(2026, 11, 30));
  ASSERT_GE(first.X, 0);
  MCHITTESTINFO hit = cal->HitTest(first);
  EXPECT_EQ(hit.uHit, MCHT_CALENDARDATEPREV);
  TPoint tuesday = CentreOf(EncodeDate(2026, 12, 1));
  EXPECT_GT(tuesday.X, first.X);
  EXPECT_EQ(std::abs(tuesday.Y - first.Y), 0) << "the first of the month shares the first week";
  EXPECT_EQ(cal->HitTest(tuesday).uHit, MCHT_CALENDARDATE);
  TPoint january = CentreOf(EncodeDate(2027, 1, 3));
  ASSERT_GE(january.X, 0);
  EXPECT_EQ(cal->HitTest(january).uHit, MCHT_CALENDARDATENEXT);
  // what is not a day
  TRect min = cal->MinRequiredRect();
  int left = (cal->ClientWidth() - min.Width()) / 2, top = (cal->ClientHeight() - min.Height()) / 2;
  EXPECT_EQ(cal->HitTest({left + 8, top + 6}).uHit, MCHT_TITLEBTNPREV);
  EXPECT_EQ(cal->HitTest({left + min.Width() - 8, top + 6}).uHit, MCHT_TITLEBTNNEXT);
  EXPECT_EQ(cal->HitTest({left + min.Width() / 2, top + 6}).uHit, MCHT_TITLE);
  EXPECT_EQ(cal->HitTest({first.X, first.Y - 15}).uHit, MCHT_CALENDARDAY) << "the day names";
  EXPECT_EQ(cal->HitTest({0, 0}).uHit, MCHT_NOWHERE);
  // the same through the message
  MCHITTESTINFO info;
  info.pt = tuesday;
  EXPECT_EQ(static_cast<UINT>(SendMessage(cal->Handle(), MCM_HITTEST, 0, reinterpret_cast<LPARAM>(&info))),
            MCHT_CALENDARDATE);
  EXPECT_EQ(static_cast<int>(info.st), static_cast<int>(EncodeDate(2026, 12, 1)));
  RECT r;
  EXPECT_EQ(SendMessage(cal->Handle(), MCM_GETMINREQRECT, 0, reinterpret_cast<LPARAM>(&r)), 1);
  EXPECT_EQ(r, min);
  EXPECT_LE(min.Width(), 240);
}

struct KeyCase {
  const char* name;
  WORD vk;
  bool ctrl;
  int year, month, day;
};
class CalendarKeys : public Calendar, public ::testing::WithParamInterface<KeyCase> {};
TEST_P(CalendarKeys, MoveTheDate) {
  const KeyCase& c = GetParam();
  form->Show();
  cal->SetFocus();
  Application->ProcessMessages();
  int changes = 0;
  cal->OnChange = [&](TObject*) { ++changes; };
  Key(c.vk, c.ctrl ? kCtrl : ShiftKeys{});
  EXPECT_EQ(static_cast<int>(cal->Date()), static_cast<int>(EncodeDate(c.year, c.month, c.day)));
  EXPECT_EQ(changes, 1);
}
const KeyCase kKeys[] = {
    {"LeftDayBack", VK_LEFT, false, 2026, 12, 6},    {"RightDayOn", VK_RIGHT, false, 2026, 12, 8},
    {"UpWeekBack", VK_UP, false, 2026, 11, 30},      {"DownWeekOn", VK_DOWN, false, 2026, 12, 14},
    {"PageUpMonth", VK_PRIOR, false, 2026, 11, 7},   {"PageDownMonth", VK_NEXT, false, 2027, 1, 7},
    {"CtrlPageUpYear", VK_PRIOR, true, 2025, 12, 7}, {"HomeFirstDay", VK_HOME, false, 2026, 12, 1},
    {"EndLastDay", VK_END, false, 2026, 12, 31},
};
INSTANTIATE_TEST_SUITE_P(Cases, CalendarKeys, ::testing::ValuesIn(kKeys),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Calendar, ClicksOnArrowsAndDays) {
  cal->SetDate(EncodeDate(2027, 1, 31));
  form->Show();
  TRect min = cal->MinRequiredRect();
  int left = (cal->ClientWidth() - min.Width()) / 2, top = (cal->ClientHeight() - min.Height()) / 2;
  cal->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(left + 8, top + 6));
  cal->Perform(WM_LBUTTONUP, 0, MAKELPARAM(left + 8, top + 6));
  EXPECT_EQ(static_cast<int>(cal->Date()), static_cast<int>(EncodeDate(2026, 12, 31)))
      << "a month back keeps the day where it can";
  TPoint p = CentreOf(EncodeDate(2026, 12, 15));
  cal->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.X, p.Y));
  cal->Perform(WM_LBUTTONUP, 0, MAKELPARAM(p.X, p.Y));
  EXPECT_EQ(static_cast<int>(cal->Date()), static_cast<int>(EncodeDate(2026, 12, 15)));
}

TEST_F(Calendar, PaintsRussianNamesFromMondayAndMarksToday) {
  form->Show();
  talvik::gui::UpdateAllWindows(form->Handle());
  std::vector<TDrawRecord> records;
  HDC dc = GetDC(cal->Handle());
  SetDrawRecording(dc, &records);
  cal->PaintTo(dc, 0, 0);
  SetDrawRecording(dc, nullptr);
  ReleaseDC(cal->Handle(), dc);
  std::vector<std::string> texts;
  for (const TDrawRecord& r : records)
    if (r.Kind == TDrawRecord::drText) texts.push_back(r.Text);
  auto at = [&](const std::string& t) { return std::find(texts.begin(), texts.end(), t) - texts.begin(); };
  EXPECT_LT(at("Декабрь 2026"), static_cast<long>(texts.size()));
  EXPECT_LT(at("Пн"), at("Вс"));
  EXPECT_LT(at("Вс"), static_cast<long>(texts.size()));
  EXPECT_LT(at("Сегодня: 07.12.2026"), static_cast<long>(texts.size()));
  const char* dir = std::getenv("TALVIK_BINARY_DIR");
  std::string shots = std::string(dir ? dir : ".") + "/screenshots";
  std::filesystem::create_directories(shots);
  cal->SetFocus();
  EXPECT_TRUE(talvik::gui::RenderWindowToPng(form->Handle(), shots + "/month-calendar.png"));
}

}  // namespace
