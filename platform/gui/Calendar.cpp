// The month calendar.
#include "platform/gui/Calendar.h"

#include <algorithm>
#include <cmath>

#include "platform/gui/StdCtrls.h"
#include "platform/rtl/Lifetime.h"

namespace {

constexpr int kMargin = 4;
constexpr int kWeeks = 6;
constexpr int kDaysInWeek = 7;

int DayNumber(TDateTime d) {
  return static_cast<int>(std::floor(d));
}

// 0 for Monday .. 6 for Sunday.
int MondayIndex(TDateTime d) {
  return (DayOfWeek(d) + 5) % 7;
}

TDateTime AddMonths(TDateTime d, int months) {
  int y = 0, m = 0, day = 0;
  DecodeDate(d, y, m, day);
  int total = y * 12 + (m - 1) + months;
  y = total / 12;
  m = total % 12 + 1;
  static const int kLengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  int length = kLengths[m - 1] + (m == 2 && leap ? 1 : 0);
  return EncodeDate(y, m, std::min(day, length));
}

}  // namespace

TMonthCalendar::TMonthCalendar(TComponent* AOwner) : TCustomControl(AOwner) {
  controlStyle_ = {csCaptureMouse, csClickEvents, csOpaque, csDoubleClicks};
  date_ = DayNumber(::Date());
  color_ = clWindow;
  parentColor_ = false;
  SetTabStop(true);
  width_ = 191;
  height_ = 154;
}

TDateTime TMonthCalendar::Today() const {
  return today_ != 0 ? today_ : DayNumber(::Date());
}

void TMonthCalendar::SetDate(TDateTime Value) {
  TDateTime day = DayNumber(Value);
  if (day == date_) return;
  date_ = day;
  Invalidate();
  Change();
}

void TMonthCalendar::Change() {
  InvokeEvent(OnChange, this);
}

void TMonthCalendar::SetCalColors(const TMonthCalColors& Value) {
  colors_ = Value;
  Invalidate();
}

void TMonthCalendar::SetShowToday(bool Value) {
  if (showToday_ == Value) return;
  showToday_ = Value;
  Invalidate();
}

void TMonthCalendar::FontChanged() {
  TCustomControl::FontChanged();
  Invalidate();
}

void TMonthCalendar::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  Params.Style |= WS_TABSTOP;
  Params.WindowClass.style |= CS_DBLCLKS;
}

TDateTime TMonthCalendar::FirstShown() const {
  int y = 0, m = 0, d = 0;
  DecodeDate(date_, y, m, d);
  TDateTime first = EncodeDate(y, m, 1);
  int back = MondayIndex(first);
  // a month that begins on Monday still shows a week of the month before
  if (back == 0) back = kDaysInWeek;
  return first - back;
}

TMonthCalendar::TLayout TMonthCalendar::Layout() {
  TLayout l;
  TSize digits = TextExtentOf(Font(), "30");
  int nameWidth = digits.cx;
  for (const std::string& n : FormatSettings.ShortDayNames)
    nameWidth = std::max(nameWidth, TextExtentOf(Font(), n).cx);
  l.cellWidth = nameWidth + 8;
  l.cellHeight = digits.cy + 4;
  l.titleHeight = digits.cy + 10;
  int width = kDaysInWeek * l.cellWidth + 2 * kMargin;
  int height =
      l.titleHeight + l.cellHeight + 2 + kWeeks * l.cellHeight + (showToday_ ? l.cellHeight : 0) + kMargin;
  TRect client = HandleAllocated() ? ClientRect() : Rect(0, 0, width_, height_);
  int left = std::max(0, (client.Width() - width) / 2), top = std::max(0, (client.Height() - height) / 2);
  l.month = Bounds(left, top, width, height);
  l.title = Bounds(left, top, width, l.titleHeight);
  int buttonSize = l.titleHeight - 4;
  l.prevButton = Bounds(left + kMargin, top + 2, buttonSize, buttonSize);
  l.nextButton = Bounds(left + width - kMargin - buttonSize, top + 2, buttonSize, buttonSize);
  l.dayNames = Bounds(left + kMargin, top + l.titleHeight, kDaysInWeek * l.cellWidth, l.cellHeight);
  l.days = Bounds(left + kMargin, l.dayNames.Bottom + 2, kDaysInWeek * l.cellWidth, kWeeks * l.cellHeight);
  l.today =
      showToday_ ? Bounds(left + kMargin, l.days.Bottom, kDaysInWeek * l.cellWidth, l.cellHeight) : TRect{};
  return l;
}

TRect TMonthCalendar::MinRequiredRect() {
  TLayout l = Layout();
  return Rect(0, 0, l.month.Width(), l.month.Height());
}

MCHITTESTINFO TMonthCalendar::HitTest(TPoint Pos) {
  MCHITTESTINFO info;
  info.pt = Pos;
  TLayout l = Layout();
  if (PtInRect(l.prevButton, Pos)) {
    info.uHit = MCHT_TITLEBTNPREV;
  } else if (PtInRect(l.nextButton, Pos)) {
    info.uHit = MCHT_TITLEBTNNEXT;
  } else if (PtInRect(l.title, Pos)) {
    info.uHit = MCHT_TITLE;
  } else if (PtInRect(l.dayNames, Pos)) {
    info.uHit = MCHT_CALENDARDAY;
  } else if (PtInRect(l.days, Pos)) {
    int col = (Pos.X - l.days.Left) / l.cellWidth, row = (Pos.Y - l.days.Top) / l.cellHeight;
    TDateTime day = FirstShown() + row * kDaysInWeek + col;
    int y = 0, m = 0, d = 0, dy = 0, dm = 0, dd = 0;
    DecodeDate(date_, y, m, d);
    DecodeDate(day, dy, dm, dd);
    info.st = day;
    info.uHit = MCHT_CALENDARDATE;
    if (dy * 12 + dm < y * 12 + m) info.uHit = MCHT_CALENDARDATEPREV;
    if (dy * 12 + dm > y * 12 + m) info.uHit = MCHT_CALENDARDATENEXT;
  } else if (showToday_ && PtInRect(l.today, Pos)) {
    info.uHit = MCHT_TODAYLINK;
    info.st = Today();
  }
  return info;
}

void TMonthCalendar::MoveMonths(int Months) {
  SetDate(AddMonths(date_, Months));
}

void TMonthCalendar::Paint() {
  TCanvas* c = Canvas();
  TLayout l = Layout();
  TRect client = ClientRect();
  c->Brush()->SetColor(colors_.BackColor);
  c->FillRect(client);
  c->Brush()->SetColor(colors_.MonthBackColor);
  c->FillRect(l.month);
  c->Font()->Assign(Font());
  // texts go over what is already painted
  auto write = [c](int x, int y, const std::string& t) {
    c->Brush()->SetStyle(bsClear);
    c->TextOut(x, y, t);
    c->Brush()->SetStyle(bsSolid);
  };
  // the title: the month and year between the two arrows
  c->Brush()->SetColor(colors_.TitleBackColor);
  c->FillRect(l.title);
  int y = 0, m = 0, d = 0;
  DecodeDate(date_, y, m, d);
  std::string title =
      FormatSettings.LongMonthNames[static_cast<std::size_t>(m - 1)] + " " + std::to_string(y);
  c->Font()->SetColor(colors_.TitleTextColor);
  c->Font()->SetStyle({fsBold});
  TSize ts = c->TextExtent(title);
  write(l.title.Left + (l.title.Width() - ts.cx) / 2, l.title.Top + (l.title.Height() - ts.cy) / 2, title);
  c->Font()->SetStyle({});
  auto arrow = [&](const TRect& r, bool left) {
    int cy = (r.Top + r.Bottom) / 2, half = std::max(3, r.Height() / 3);
    int x0 = left ? r.Left + r.Width() / 3 : r.Right - r.Width() / 3;
    int x1 = left ? x0 + half : x0 - half;
    c->Brush()->SetColor(colors_.TitleTextColor);
    c->Pen()->SetColor(colors_.TitleTextColor);
    c->Polygon({{x0, cy}, {x1, cy - half}, {x1, cy + half}});
  };
  arrow(l.prevButton, true);
  arrow(l.nextButton, false);
  // day names from Monday, a line under them
  c->Font()->SetColor(colors_.TextColor);
  for (int i = 0; i < kDaysInWeek; ++i) {
    const std::string& name = FormatSettings.ShortDayNames[static_cast<std::size_t>((i + 1) % 7)];
    TSize ns = c->TextExtent(name);
    write(l.dayNames.Left + i * l.cellWidth + (l.cellWidth - ns.cx) / 2, l.dayNames.Top + 2, name);
  }
  c->Brush()->SetColor(colors_.TextColor);
  c->FillRect(Rect(l.dayNames.Left, l.dayNames.Bottom, l.dayNames.Right, l.dayNames.Bottom + 1));
  // the weeks
  TDateTime first = FirstShown();
  TDateTime today = Today();
  for (int i = 0; i < kWeeks * kDaysInWeek; ++i) {
    TDateTime day = first + i;
    int dy = 0, dm = 0, dd = 0;
    DecodeDate(day, dy, dm, dd);
    TRect cell = Bounds(l.days.Left + (i % kDaysInWeek) * l.cellWidth,
                        l.days.Top + (i / kDaysInWeek) * l.cellHeight, l.cellWidth, l.cellHeight);
    std::string text = std::to_string(dd);
    TSize ds = c->TextExtent(text);
    bool selected = DayNumber(day) == DayNumber(date_);
    if (selected) {
      c->Brush()->SetColor(Focused() ? clHighlight : clBtnFace);
      c->FillRect(cell);
    }
    c->Font()->SetColor(selected && Focused() ? clHighlightText
                                              : (dm == m ? colors_.TextColor : colors_.TrailingTextColor));
    write(cell.Left + (cell.Width() - ds.cx) / 2, cell.Top + (cell.Height() - ds.cy) / 2, text);
    if (DayNumber(day) == DayNumber(today)) {
      c->Brush()->SetColor(clRed);
      c->FrameRect(cell);
    }
  }
  if (showToday_) {
    std::string text = "Сегодня: " + FormatDateTime("dd.mm.yyyy", today);
    c->Font()->SetColor(colors_.TextColor);
    c->Font()->SetStyle({fsBold});
    TSize ns = c->TextExtent(text);
    write(l.today.Left + (l.today.Width() - ns.cx) / 2, l.today.Top + (l.today.Height() - ns.cy) / 2, text);
    c->Font()->SetStyle({});
  }
}

void TMonthCalendar::KeyDown(WORD& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  const bool ctrl = Shift.Contains(ssCtrl);
  int y = 0, m = 0, d = 0;
  DecodeDate(date_, y, m, d);
  switch (Key) {
    case VK_LEFT:
      SetDate(date_ - 1);
      break;
    case VK_RIGHT:
      SetDate(date_ + 1);
      break;
    case VK_UP:
      SetDate(date_ - kDaysInWeek);
      break;
    case VK_DOWN:
      SetDate(date_ + kDaysInWeek);
      break;
    case VK_PRIOR:
      MoveMonths(ctrl ? -12 : -1);
      break;
    case VK_NEXT:
      MoveMonths(ctrl ? 12 : 1);
      break;
    case VK_HOME:
      SetDate(EncodeDate(y, m, 1));
      break;
    case VK_END:
      SetDate(AddMonths(EncodeDate(y, m, 1), 1) - 1);
      break;
    default:
      return;
  }
  Key = 0;
}

void TMonthCalendar::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (CanFocus() && !Focused()) SetFocus();
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  MCHITTESTINFO hit = HitTest({X, Y});
  switch (hit.uHit) {
    case MCHT_TITLEBTNPREV:
      MoveMonths(-1);
      break;
    case MCHT_TITLEBTNNEXT:
      MoveMonths(1);
      break;
    case MCHT_CALENDARDATE:
    case MCHT_CALENDARDATEPREV:
    case MCHT_CALENDARDATENEXT:
    case MCHT_TODAYLINK:
      SetDate(hit.st);
      break;
    default:
      break;
  }
}

bool TMonthCalendar::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
  if (TCustomControl::DoMouseWheel(Shift, WheelDelta, MousePos)) return true;
  MoveMonths(WheelDelta > 0 ? -1 : 1);
  return true;
}

void TMonthCalendar::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case MCM_GETMINREQRECT:
      if (m.LParam) *reinterpret_cast<RECT*>(m.LParam) = MinRequiredRect();
      m.Result = 1;
      return;
    case MCM_HITTEST:
      if (auto* info = reinterpret_cast<MCHITTESTINFO*>(m.LParam)) {
        *info = HitTest(info->pt);
        m.Result = static_cast<LRESULT>(info->uHit);
      }
      return;
    case WM_GETDLGCODE:
      m.Result = DLGC_WANTARROWS;
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      Invalidate();
      break;
    default:
      break;
  }
  TCustomControl::Dispatch(m);
}
