// List boxes, combo boxes (both styles, their drop-down list) and scroll bars, driven through input.
#include <gtest/gtest.h>

#include "FormTestSupport.h"
#include "platform/gui/Forms.h"
#include "platform/gui/StdCtrls.h"
#include "platform/gui/WinManager.h"

using namespace guitest;
using talvik::gui::InjectKey;
using talvik::gui::InjectMouse;
using talvik::gui::ShiftKeys;

namespace {

class StdLists : public FormTest {
 protected:
  static void ClickAt(TPoint screen) {
    InjectMouse(WM_MOUSEMOVE, screen);
    Application->ProcessMessages();
    InjectMouse(WM_LBUTTONDOWN, screen);
    Application->ProcessMessages();
    InjectMouse(WM_LBUTTONUP, screen);
    Application->ProcessMessages();
    talvik::gui::SetClock([] { return FakeNow() += 1000; });  // no double clicks between steps
  }
  static void Fill(TStrings* s) {
    for (const char* t : {"Активные", "Блокирующие", "Все", "Фоновые", "Активность", "Долгие"}) s->Add(t);
  }
};

}  // namespace

TEST_F(StdLists, ListBoxKeysWheelAndCaseInsensitiveSearch) {
  auto* list = Add<TListBox>(10, 10, 150, 5 * 16 + 4);
  Fill(list->Items());
  int clicks = 0;
  list->OnClick = [&](TObject*) { ++clicks; };
  form->Show();
  list->SetFocus();
  Application->ProcessMessages();
  Key(VK_DOWN);
  EXPECT_EQ(list->ItemIndex(), 0);
  Key(VK_END);
  EXPECT_EQ(list->ItemIndex(), 5);
  EXPECT_EQ(list->TopIndex(), 1);  // scrolled so the last item shows
  Key(VK_HOME);
  EXPECT_EQ(list->TopIndex(), 0);
  // typing searches from the current item, ignoring case; the same letter again moves on
  Key('F', U'ф');
  EXPECT_EQ(list->Items()->Strings(list->ItemIndex()), "Фоновые");
  talvik::gui::SetClock([] { return FakeNow() += 2000; });
  Key('F', U'а');
  EXPECT_EQ(list->Items()->Strings(list->ItemIndex()), "Активность");
  talvik::gui::SetClock([] { return FakeNow() += 2000; });
  Key('F', U'а');
  EXPECT_EQ(list->Items()->Strings(list->ItemIndex()), "Активные");
  EXPECT_EQ(clicks, 6);
  EXPECT_EQ(
      SendMessage(list->Handle(), LB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("долг")),
      5);
  EXPECT_EQ(list->ItemIndex(), 5);
  // the item under a point, and a click on one
  EXPECT_EQ(list->ItemAtPos({5, 2 * 16 + 3}, true), list->TopIndex() + 2);
  EXPECT_EQ(list->ItemAtPos({5, 200}, true), -1);
  EXPECT_EQ(list->ItemAtPos({5, 200}, false), list->Count());
  list->SetTopIndex(0);
  ClickAt(list->ClientToScreen({5, 16 + 3}));
  EXPECT_EQ(list->ItemIndex(), 1);
}

TEST_F(StdLists, DropDownListComboOpensChoosesAndClosesOnAClickOutside) {
  auto* combo = Add<TComboBox>(10, 10, 150, 21);
  combo->SetStyle(csDropDownList);
  Fill(combo->Items());
  std::vector<std::string> events;
  combo->OnChange = [&](TObject*) { events.push_back("change " + combo->Text()); };
  combo->OnDropDown = [&](TObject*) { events.push_back("drop"); };
  combo->OnCloseUp = [&](TObject*) { events.push_back("close"); };
  form->Show();
  combo->SetFocus();
  Application->ProcessMessages();
  // closed: arrows step, letters search
  Key(VK_DOWN);
  EXPECT_EQ(combo->Text(), "Активные");
  Key('D', U'в');
  EXPECT_EQ(combo->Text(), "Все");
  // a click opens it; the list takes the mouse
  ClickAt(combo->ClientToScreen({20, 8}));
  ASSERT_TRUE(combo->DroppedDown());
  TCustomListBox* list = combo->DropDownList();
  EXPECT_EQ(GetCapture(), list->Handle());
  EXPECT_EQ(list->ItemIndex(), 2);
  // a click on an item chooses it and closes the list
  ClickAt(list->ClientToScreen({10, 3 * 16 + 4}));
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(combo->Text(), "Фоновые");
  // opened by Alt+Down, closed by a click outside: nothing changes
  Key(VK_DOWN, 0, ShiftKeys{false, false, true});
  ASSERT_TRUE(combo->DroppedDown());
  Key(VK_DOWN);
  ClickAt(form->ClientToScreen({350, 250}));
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_NE(GetCapture(), list->Handle());
  EXPECT_EQ(combo->Text(), "Фоновые");
  // F4 opens, the arrows move in the list, Enter takes it, Esc leaves it
  Key(VK_F4);
  Key(VK_DOWN);
  Key(VK_RETURN, U'\r');
  EXPECT_EQ(combo->Text(), "Активность");
  Key(VK_F4);
  Key(VK_UP);
  Key(VK_ESCAPE, 27);
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(combo->Text(), "Активность");
  EXPECT_EQ(events, (std::vector<std::string>{"change Активные", "change Все", "drop", "change Фоновые",
                                              "close", "drop", "close", "drop", "change Активность", "close",
                                              "drop", "close"}));
}

TEST_F(StdLists, DropDownComboEditsTextAndItsListFollowsTheTyping) {
  auto* combo = Add<TComboBox>(10, 10, 150, 21);
  Fill(combo->Items());
  int changes = 0;
  combo->OnChange = [&](TObject*) { ++changes; };
  form->Show();
  combo->SetFocus();
  Application->ProcessMessages();
  ASSERT_NE(combo->EditControl(), nullptr);
  EXPECT_TRUE(combo->EditControl()->Focused());
  Key(VK_F4);
  ASSERT_TRUE(combo->DroppedDown());
  for (char32_t c : std::u32string(U"бло")) Key('A', c);
  EXPECT_EQ(combo->Text(), "бло");
  EXPECT_EQ(combo->DropDownList()->ItemIndex(), 1);
  EXPECT_EQ(combo->ItemIndex(), -1);  // typed text is no item yet
  Key(VK_RETURN, U'\r');
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(combo->Text(), "Блокирующие");
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_GE(changes, 4);
  combo->SetText("свой текст");
  EXPECT_EQ(combo->ItemIndex(), -1);
  EXPECT_EQ(combo->Text(), "свой текст");
}

TEST_F(StdLists, ComboBoxAnswersItsOwnMessages) {
  auto* combo = Add<TComboBox>(10, 10, 150, 21);
  Fill(combo->Items());
  form->Show();
  HWND h = combo->Handle();
  auto text = [](const char* s) { return reinterpret_cast<LPARAM>(s); };
  const auto kErr = static_cast<LRESULT>(static_cast<int>(CB_ERR));
  EXPECT_EQ(SendMessage(h, CB_GETCOUNT, 0, 0), combo->Items()->Count());
  EXPECT_EQ(SendMessage(h, CB_GETCURSEL, 0, 0), -1);
  // exact search ignores case; a prefix selects; searches start after WParam and wrap
  EXPECT_EQ(SendMessage(h, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), text("блокирующие")), 1);
  EXPECT_EQ(SendMessage(h, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), text("Блок")), kErr);
  EXPECT_EQ(SendMessage(h, CB_SELECTSTRING, 1, text("Б")), 1);  // wrapped round to itself
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_EQ(combo->Text(), "Блокирующие");
  EXPECT_EQ(SendMessage(h, CB_SETCURSEL, 0, 0), 0);
  EXPECT_EQ(combo->ItemIndex(), 0);
  EXPECT_EQ(SendMessage(h, CB_SETCURSEL, 99, 0), kErr);
  EXPECT_EQ(combo->ItemIndex(), -1);
  SendMessage(h, CB_SHOWDROPDOWN, 1, 0);
  EXPECT_EQ(SendMessage(h, CB_GETDROPPEDSTATE, 0, 0), 1);
  SendMessage(h, CB_SHOWDROPDOWN, 0, 0);
  EXPECT_FALSE(combo->DroppedDown());
}

TEST_F(StdLists, ScrollBarStepsPagesAndTellsItsParent) {
  auto* bar = Add<TScrollBar>(10, 10, 200, 17);
  bar->SetParams(0, 0, 100);
  bar->SetLargeChange(10);
  std::vector<int> scrolled;
  bar->OnScroll = [&](TObject*, TScrollCode, int& pos) { scrolled.push_back(pos); };
  form->Show();
  Application->ProcessMessages();
  ClickAt(bar->ClientToScreen({5, 8}));    // left arrow: nothing below 0
  ClickAt(bar->ClientToScreen({195, 8}));  // right arrow
  EXPECT_EQ(bar->Position(), 1);
  ClickAt(bar->ClientToScreen({150, 8}));  // the track right of the thumb: a page
  EXPECT_EQ(bar->Position(), 11);
  bar->SetFocus();
  Application->ProcessMessages();
  Key(VK_END);
  EXPECT_EQ(bar->Position(), 100);
  Key(VK_LEFT);
  EXPECT_EQ(bar->Position(), 99);
  EXPECT_EQ(scrolled.front(), 0);
  EXPECT_THROW(bar->SetParams(0, 10, 5), EInvalidOperation);
}
