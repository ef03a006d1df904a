// A form holding every standard and common control, rendered to screenshots/controls-form.png (and,
// under a real display, grabbed from the screen), with pixel probes on what must show.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "GuiTestSupport.h"
#include "platform/gui/Buttons.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Spin.h"
#include "platform/gui/WinManager.h"

namespace {

std::string ScreenshotDir() {
  const char* bin = std::getenv("TALVIK_BINARY_DIR");
  std::string dir = std::string(bin ? bin : ".") + "/screenshots";
  std::filesystem::create_directories(dir);
  return dir;
}

template <typename T>
T* Put(TWinControl* parent, int x, int y, int w, int h) {
  auto* c = new T(parent->Owner() ? parent->Owner() : parent);
  c->SetParent(parent);
  c->SetBounds(x, y, w, h);
  return c;
}

class ControlsDemo : public guitest::GuiTest {};

}  // namespace

TEST_F(ControlsDemo, EveryControlOnOneForm) {
  bool display = std::getenv("TALVIK_DEMO_DISPLAY") != nullptr;
  if (display) talvik::gui::UseQtBackend();
  CreateApplication();
  TForm form(nullptr);
  form.SetCaption("Параметры — все элементы");
  form.SetBounds(30, 30, 660, 470);
  auto* pc = Put<TPageControl>(&form, 8, 8, 400, 250);
  pc->SetHotTrack(true);
  TTabSheet* general = new TTabSheet(&form);
  general->SetPageControl(pc);
  general->SetCaption("&Общие");
  for (const char* c : {"&Тревоги", "&Вид"}) {
    auto* s = new TTabSheet(&form);
    s->SetPageControl(pc);
    s->SetCaption(c);
  }
  auto* label = Put<TLabel>(general, 8, 12, 10, 10);
  label->SetCaption("&Интервал, с:");
  auto* spin = Put<TSpinEdit>(general, 100, 8, 70, 21);
  spin->SetMinValue(1);
  spin->SetMaxValue(1000);
  spin->SetValue(15);
  label->SetFocusControl(spin);
  auto* edit = Put<TEdit>(general, 100, 36, 180, 21);
  edit->SetText("SCOTT@ORCL");
  auto* combo = Put<TComboBox>(general, 100, 64, 180, 21);
  combo->SetStyle(csDropDownList);
  for (const char* s : {"Все сеансы", "Активные", "Блокирующие"}) combo->Items()->Add(s);
  combo->SetItemIndex(1);
  auto* group = Put<TGroupBox>(general, 8, 96, 180, 90);
  group->SetCaption("Сортировка");
  auto* r1 = Put<TRadioButton>(group, 10, 24, 150, 17);
  r1->SetCaption("По номеру сеанса");
  r1->SetChecked(true);
  auto* r2 = Put<TRadioButton>(group, 10, 46, 150, 17);
  r2->SetCaption("По пользователю");
  auto* check = Put<TCheckBox>(general, 200, 100, 180, 17);
  check->SetCaption("Звуковые сигналы");
  check->SetChecked(true);
  auto* grey = Put<TCheckBox>(general, 200, 122, 180, 17);
  grey->SetCaption("Недоступно");
  grey->SetEnabled(false);
  auto* list = Put<TListBox>(general, 200, 146, 180, 60);
  for (const char* s : {"ORCL", "TEST", "PROD", "DEV", "QA"}) list->Items()->Add(s);
  list->SetItemIndex(2);
  auto* memo = Put<TMemo>(&form, 416, 8, 230, 120);
  memo->SetScrollBars(ssVertical);
  memo->SetText("SELECT sid, serial#, username\r\n  FROM v$session\r\n WHERE status = 'ACTIVE'");
  auto* lv = Put<TListView>(&form, 416, 136, 230, 122);
  lv->SetRowSelect(true);
  lv->SetHideSelection(false);
  for (const char* c : {"Время", "SID", "Событие"}) lv->Columns()->Add()->SetCaption(c);
  lv->Columns()->Items(0)->SetWidth(60);
  lv->Columns()->Items(1)->SetWidth(40);
  lv->Columns()->Items(2)->SetAutoSize(true);
  for (int i = 0; i < 4; ++i) {
    TListItem* it = lv->Items()->Insert(0);
    it->SetCaption("12:0" + std::to_string(i));
    it->SubItems()->Add(std::to_string(120 + i));
    it->SubItems()->Add(i % 2 ? "ожидание" : "блокировка");
  }
  lv->Items()->Item(1)->SetSelected(true);
  auto* bar = Put<TScrollBar>(&form, 8, 266, 400, 17);
  bar->SetParams(30, 0, 100);
  auto* speed = Put<TSpeedButton>(&form, 8, 292, 80, 25);
  speed->SetCaption("Обновить");
  auto* flat = Put<TSpeedButton>(&form, 92, 292, 80, 25);
  flat->SetCaption("Плоская");
  flat->SetFlat(true);
  auto* ok = Put<TButton>(&form, 480, 380, 75, 25);
  ok->SetCaption("OK");
  ok->SetDefault(true);
  auto* cancel = Put<TButton>(&form, 564, 380, 75, 25);
  cancel->SetCaption("Отмена");
  cancel->SetCancel(true);
  auto* status = new TStatusBar(&form);
  status->SetParent(&form);
  for (int w : {120, 160, 100}) status->Panels()->Add()->SetWidth(w);
  status->Panels()->Items(0)->SetText("Сеансов: 42");
  status->Panels()->Items(1)->SetStyle(psOwnerDraw);
  status->OnDrawPanel = [](TStatusBar* sb, TStatusPanel*, const TRect& r) {
    sb->Canvas()->Font()->SetColor(clNavy);
    sb->Canvas()->Brush()->SetStyle(bsClear);
    sb->Canvas()->TextOut(r.Left + 4, r.Top + 1, "Блокировок: 3");
  };
  status->Panels()->Items(2)->SetText("ORCL");
  form.Show();
  edit->SetFocus();
  Application->ProcessMessages();

  std::string dir = ScreenshotDir();
  ASSERT_TRUE(talvik::gui::RenderWindowToPng(form.Handle(), dir + "/controls-form.png"));
  if (display) {
    for (int i = 0; i < 20; ++i) Application->ProcessMessages();
    talvik::gui::GrabDisplayToPng(dir + "/controls-display.png");
  }
  RECT wr;
  GetWindowRect(form.Handle(), wr);
  auto px = [&](TControl* c, int x, int y) {
    TPoint p = c->ClientToScreen({x, y});
    return talvik::gui::WindowPixel(form.Handle(), p.X - wr.Left, p.Y - wr.Top);
  };
  EXPECT_EQ(px(edit, 3, 3), ColorToRGB(clHighlight));  // focused with its text selected
  EXPECT_EQ(px(list, list->ClientWidth() - 3, 2 * list->ItemHeight() + 3), ColorToRGB(clHighlight));
  EXPECT_EQ(px(memo, memo->ClientWidth() - 25, memo->ClientHeight() - 3), ColorToRGB(clWindow));
  EXPECT_EQ(px(ok, 0, 0), ColorToRGB(clWindowFrame));  // the default button's frame
  TPoint selRow = lv->Items()->Item(1)->DisplayRect().TopLeft();
  EXPECT_NE(px(lv, selRow.X + 100, selRow.Y + 3), ColorToRGB(clWindow));  // the selected row
}

TEST_F(ControlsDemo, MessageDialogAsShown) {
  CreateApplication();
  std::unique_ptr<TForm> dialog(CreateMessageDialog(
      "Завершить сеанс SID 42 пользователя SCOTT?\nНезавершённые транзакции будут отменены.", mtConfirmation,
      mbYesNoCancel));
  dialog->Show();
  Application->ProcessMessages();
  ASSERT_TRUE(talvik::gui::RenderWindowToPng(dialog->Handle(), ScreenshotDir() + "/message-dialog.png"));
  EXPECT_EQ(dialog->Caption(), "Confirm");
  dialog->Hide();
}
