// The data-aware controls and their drop-downs under a real X server: the combo box opened by a real
// click on its button, the calendar and the check boxes, pictured from the display.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "../gui/X11TestSupport.h"
#include "grid/DBCheckBoxEx.h"
#include "grid/DBComboBoxEx.h"
#include "platform/gui/WinManager.h"

namespace {

class X11DataControls : public x11test::ToolkitTest {};

TEST_F(X11DataControls, AClickOnTheButtonDropsTheListDownOnTheDisplay) {
  TForm form(nullptr);
  form.SetCaption("TalvikDataControls");
  form.SetBorderStyle(bsNone);
  form.SetBounds(80, 80, 420, 260);
  auto* combo = new TDBComboBoxEx(&form);
  combo->SetParent(&form);
  combo->SetBounds(10, 10, 180, 21);
  for (const char* s : {"Активные", "Неактивные", "Заблокированные", "Фоновые процессы", "Все сеансы"})
    combo->Items()->Add(s);
  combo->DropDownBox()->SetSizable(true);
  auto* edit = new TDBEditEx(&form);
  edit->SetParent(&form);
  edit->SetBounds(230, 10, 180, 21);
  edit->EditButton()->SetVisible(true);
  edit->EditButton()->SetStyle(ebsEllipsisEx);
  edit->SetText("ORCL");
  const TCheckBoxState states[] = {cbUnchecked, cbChecked, cbGrayed};
  for (int i = 0; i < 3; ++i) {
    auto* box = new TDBCheckBoxEx(&form);
    box->SetParent(&form);
    box->SetBounds(230, 130 + 22 * i, 150, 17);
    box->SetAllowGrayed(true);
    box->SetState(states[i]);
    box->SetCaption(i == 0 ? "Снят" : i == 1 ? "Отмечен" : "Не задан");
  }
  form.Show();
  ASSERT_TRUE(x11test::WaitFor([&] { return IsWindowVisible(form.Handle()); }));
  x11test::Settle();
  // a real click on the combo box's button
  const TPoint button = combo->ClientToScreen(TPoint(combo->ClientWidth() - 6, combo->ClientHeight() / 2));
  ASSERT_TRUE(x11test::ClickAt(button));
  ASSERT_TRUE(x11test::WaitFor([&] { return combo->ListVisible(); })) << "the list did not drop down";
  EXPECT_TRUE(x11test::WaitFor([&] { return IsWindowVisible(combo->PopupList()->Handle()); }));
  x11test::Settle();
  talvik::gui::GrabDisplayToPng(x11test::ScreenshotDir() + "/grid-datacontrols-display.png");
  // a click on an item takes it
  const TRect item = combo->PopupList()->ItemRect(2);
  const TPoint at = combo->PopupList()->ClientToScreen(TPoint(item.Left + 10, item.Top + item.Height() / 2));
  ASSERT_TRUE(x11test::ClickAt(at));
  EXPECT_TRUE(x11test::WaitFor([&] { return !combo->ListVisible(); }));
  EXPECT_EQ(combo->Text(), "Заблокированные");

  // the recent entries under the edit and a calendar under the combo box
  for (const char* s : {"ORCL", "ORCL_TEST", "ORA19"}) edit->MRUList()->Items()->Add(s);
  edit->MRUList()->SetActive(true);
  edit->SetFocus();
  edit->SetSelStart(4);
  talvik::gui::InjectText("_");
  EXPECT_TRUE(x11test::WaitFor([&] { return edit->MRUDroppedDown(); }));
  auto* cal = new TPopupMonthCalendarEx(&form);
  cal->SetDate(EncodeDate(2026, 12, 7));
  cal->HandleNeeded();
  const TPoint at2 = SizeDropDownList(GetControlScreenRect(combo), cal, daLeft);
  SetWindowPos(cal->Handle(), HWND_TOP, at2.X, at2.Y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  EXPECT_TRUE(x11test::WaitFor([&] { return IsWindowVisible(cal->Handle()); }));
  x11test::Settle();
  talvik::gui::GrabDisplayToPng(x11test::ScreenshotDir() + "/grid-datacontrols-display-2.png");
  ReleaseCapture();
}

}  // namespace
