// The month calendar: one month painted by us, weeks from Monday, the month and day names of the locale,
// today marked, the date selected with the mouse or the keys, and a hit test that tells a day from
// the rest of the control.
#pragma once

#include <functional>
#include <string>

#include "platform/gui/Controls.h"
#include "platform/rtl/SysUtils.h"

// The calendar's hit test (MCM_HITTEST): where a point of the client area falls.
constexpr UINT MCM_HITTEST = MCM_FIRST + 14;
constexpr UINT MCHT_NOWHERE = 0x00000000, MCHT_TITLE = 0x00010000, MCHT_CALENDAR = 0x00020000,
               MCHT_TODAYLINK = 0x00030000, MCHT_NEXT = 0x01000000, MCHT_PREV = 0x02000000;
constexpr UINT MCHT_TITLEBTNNEXT = MCHT_TITLE | MCHT_NEXT | 0x0003,
               MCHT_TITLEBTNPREV = MCHT_TITLE | MCHT_PREV | 0x0003,
               MCHT_CALENDARDATE = MCHT_CALENDAR | 0x0001, MCHT_CALENDARDAY = MCHT_CALENDAR | 0x0002,
               MCHT_CALENDARDATENEXT = MCHT_CALENDARDATE | MCHT_NEXT,
               MCHT_CALENDARDATEPREV = MCHT_CALENDARDATE | MCHT_PREV;
struct MCHITTESTINFO {
  POINT pt;
  UINT uHit = MCHT_NOWHERE;
  TDateTime st = 0;  // the date under the point for the date areas
};

struct TMonthCalColors {
  TColor BackColor = clWindow;
  TColor TextColor = clWindowText;
  TColor TitleBackColor = clActiveCaption;
  TColor TitleTextColor = clCaptionText;
  TColor MonthBackColor = clWindow;
  TColor TrailingTextColor = clGrayText;
};

class TMonthCalendar : public TCustomControl {
  TALVIK_CLASS(TMonthCalendar, TCustomControl)
  explicit TMonthCalendar(TComponent* AOwner);

  // The selected date (its day; the time of day is dropped).
  TDateTime Date() const { return date_; }
  void SetDate(TDateTime Value);
  // The date marked as today: the system's unless one was set (0 returns to the system's).
  TDateTime Today() const;
  void SetToday(TDateTime Value) { today_ = static_cast<int>(Value); }
  const TMonthCalColors& CalColors() const { return colors_; }
  void SetCalColors(const TMonthCalColors& Value);
  bool ShowToday() const { return showToday_; }
  void SetShowToday(bool Value);
  // The smallest client rectangle that shows the whole month (what MCM_GETMINREQRECT answers).
  TRect MinRequiredRect();
  MCHITTESTINFO HitTest(TPoint Pos);

  TNotifyEvent OnChange;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void Paint() override;
  void Dispatch(TMessage& Message) override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) override;
  void FontChanged() override;
  virtual void Change();

 private:
  struct TLayout {
    int cellWidth = 0, cellHeight = 0, titleHeight = 0;
    TRect month;  // the whole month area, centred in the client
    TRect title, prevButton, nextButton, dayNames, days, today;
  };
  TLayout Layout();
  // The first date shown: the Monday on or before the first of the month.
  TDateTime FirstShown() const;
  void MoveMonths(int Months);
  TDateTime date_;
  int today_ = 0;
  TMonthCalColors colors_;
  bool showToday_ = true;
};
