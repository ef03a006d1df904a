// Standard controls driven through messages and injected input: edits and memos, buttons, check and
// radio buttons, labels; the shortcut texts and the core services the controls stand on.
#include <gtest/gtest.h>

#include <filesystem>

#include "FormTestSupport.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/SysUtils.h"

using namespace guitest;
using talvik::gui::InjectKey;
using talvik::gui::InjectMouse;
using talvik::gui::ShiftKeys;

namespace {

constexpr ShiftKeys kCtrl{false, true, false};
constexpr ShiftKeys kShift{true, false, false};
constexpr ShiftKeys kAlt{false, false, true};

class StdCtrls : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    SetClipboardBackend(MakeMemoryClipboard());
  }
  void TearDown() override {
    form.reset();
    Application->OnException = nullptr;
    talvik::gui::SetMessageBoxHandler(nullptr);
    FormTest::TearDown();
  }
  static void Type(const std::string& utf8) {
    for (char32_t c : Utf8ToUtf32(utf8)) {
      WORD vk = (c >= 'a' && c <= 'z') ? static_cast<WORD>(c - 32) : static_cast<WORD>('A');
      Key(vk, c);
    }
  }
  void Click(TControl* c, int x, int y) {
    TPoint p = c->ClientToScreen({x, y});
    InjectMouse(WM_MOUSEMOVE, p);
    InjectMouse(WM_LBUTTONDOWN, p);
    InjectMouse(WM_LBUTTONUP, p);
    Application->ProcessMessages();
  }
  void ShowAndFocus(TWinControl* c) {
    form->Show();
    c->SetFocus();
    Application->ProcessMessages();
    ASSERT_TRUE(c->Focused());
  }
};

}  // namespace

// ---------------------------------------------------------------- shortcuts

TEST(ShortCutText, NamesModifiersInOrderAndParsesThemBackInAnyOrderAndCase) {
  TShortCut sc = ShortCut(VK_F5, TShiftState{ssCtrl, ssShift});
  EXPECT_EQ(ShortCutToText(sc), "Shift+Ctrl+F5");
  EXPECT_EQ(TextToShortCut("Shift+Ctrl+F5"), sc);
  EXPECT_EQ(TextToShortCut("ctrl+SHIFT+f5"), sc);
  EXPECT_EQ(ShortCutToText(ShortCut('X', TShiftState{ssAlt})), "Alt+X");
  EXPECT_EQ(TextToShortCut("Alt+x"), ShortCut('X', TShiftState{ssAlt}));
  EXPECT_EQ(ShortCutToText(ShortCut(VK_BACK, TShiftState{ssShift, ssAlt})), "Shift+Alt+BkSp");
  EXPECT_EQ(TextToShortCut("Ctrl+Num +"), ShortCut(VK_ADD, TShiftState{ssCtrl}));
  // what names no key gives no shortcut
  EXPECT_EQ(TextToShortCut(""), scNone);
  EXPECT_EQ(TextToShortCut("Ctrl+"), scNone);
  EXPECT_EQ(TextToShortCut("Ctrl+Whatever"), scNone);
  EXPECT_EQ(ShortCut(0x1FF, TShiftState{}), scNone);
  EXPECT_EQ(ShortCutToText(scNone), "");
  WORD key = 0;
  TShiftState shift;
  ShortCutToKey(sc, key, shift);
  EXPECT_EQ(key, VK_F5);
  EXPECT_EQ(shift, (TShiftState{ssShift, ssCtrl}));
}

TEST(ShortCutText, EveryNamedKeyRoundTripsWithEveryModifierSet) {
  int named = 0;
  for (WORD key = 1; key <= 0xFF; ++key) {
    for (TShortCut mods = 0; mods < 8; ++mods) {
      TShortCut sc = static_cast<TShortCut>(key | (mods & 1 ? scShift : 0) | (mods & 2 ? scCtrl : 0) |
                                            (mods & 4 ? scAlt : 0));
      std::string text = ShortCutToText(sc);
      if (text.empty()) continue;
      ++named;
      EXPECT_EQ(TextToShortCut(text), sc) << text;
    }
  }
  EXPECT_GT(named, 8 * 80);  // letters, digits, F-keys, the editing keys and the punctuation
}

// ---------------------------------------------------------------- core services

TEST(CoreServices, MulDivRoundsHalfAwayFromZeroAndRefusesZero) {
  EXPECT_EQ(MulDiv(10, 3, 4), 8);    // 7.5
  EXPECT_EQ(MulDiv(-10, 3, 4), -8);  // -7.5
  EXPECT_EQ(MulDiv(10, -3, -4), 8);
  EXPECT_EQ(MulDiv(7, 96, 96), 7);
  EXPECT_EQ(MulDiv(2000000000, 3, 2), -1);                // overflows int
  EXPECT_EQ(MulDiv(1000000, 1000000, 1000000), 1000000);  // the product needs 64 bits
  EXPECT_EQ(MulDiv(5, 5, 0), -1);
}

TEST(CoreServices, RegisteredMessagesAreSharedByNameAndDistinctOtherwise) {
  UINT a = RegisterWindowMessage("TalvikTestMessage");
  EXPECT_GE(a, 0xC000u);
  EXPECT_LE(a, 0xFFFFu);
  EXPECT_EQ(RegisterWindowMessage("talviktestmessage"), a);
  EXPECT_NE(RegisterWindowMessage("TalvikOtherMessage"), a);
  EXPECT_EQ(RegisterWindowMessage(""), 0u);
}

TEST(CoreServices, HintsSplitAtTheFirstBar) {
  EXPECT_EQ(GetShortHint("Обновить|Перечитать список сеансов"), "Обновить");
  EXPECT_EQ(GetLongHint("Обновить|Перечитать список сеансов"), "Перечитать список сеансов");
  EXPECT_EQ(GetShortHint("Только"), "Только");
  EXPECT_EQ(GetLongHint("Только"), "Только");
  EXPECT_EQ(GetLongHint("a|b|c"), "b|c");
}

TEST_F(StdCtrls, UtilityWindowsHearTheirMessagesAndHandTheirErrorsToTheApplication) {
  std::vector<UINT> seen;
  HWND h = AllocateHWnd([&](TMessage& m) {
    seen.push_back(m.Msg);
    if (m.Msg == WM_USER + 1) throw Exception("boom");
    m.Result = m.Msg == WM_USER ? 42 : 0;
  });
  std::string error;
  Application->OnException = [&](TObject*, const Exception& e) { error = e.Message(); };
  EXPECT_EQ(SendMessage(h, WM_USER), 42);
  SendMessage(h, WM_USER + 1);
  EXPECT_EQ(error, "boom");
  DeallocateHWnd(h);
  EXPECT_FALSE(IsWindow(h));
  EXPECT_NE(std::find(seen.begin(), seen.end(), static_cast<UINT>(WM_USER)), seen.end());
}

namespace {
class TNotified : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  std::vector<UINT> got;

 protected:
  void Dispatch(TMessage& m) override {
    if (m.Msg >= CN_BASE && m.Msg < CN_BASE + 0x400) got.push_back(m.Msg);
    if (m.Msg == CM_SYSCOLORCHANGE || m.Msg == CM_WININICHANGE) got.push_back(m.Msg);
    TCustomControl::Dispatch(m);
  }
};
}  // namespace

TEST_F(StdCtrls, ParentsReflectNotificationsAndFormsPassSystemChangesDown) {
  auto* panel = Add<TPanel>(0, 0, 200, 100);
  auto* inner = new TNotified(form.get());
  inner->SetParent(panel);
  inner->SetBounds(5, 5, 50, 20);
  form->Show();
  SendMessage(panel->Handle(), WM_COMMAND, MAKEWPARAM(0, EN_CHANGE),
              reinterpret_cast<LPARAM>(inner->Handle()));
  SendMessage(panel->Handle(), WM_VSCROLL, SB_LINEDOWN, reinterpret_cast<LPARAM>(inner->Handle()));
  SendMessage(panel->Handle(), WM_COMMAND, 7, 0);  // a menu command reflects to nobody
  EXPECT_EQ(inner->got, (std::vector<UINT>{CN_COMMAND, CN_VSCROLL}));
  inner->got.clear();
  int index = COLOR_BTNFACE;
  COLORREF colour = GetSysColor(COLOR_BTNFACE);
  SetSysColors(1, &index, &colour);
  SendMessage(form->Handle(), WM_SETTINGCHANGE);
  EXPECT_EQ(inner->got, (std::vector<UINT>{CM_SYSCOLORCHANGE, CM_WININICHANGE}));
}

// ---------------------------------------------------------------- edits

TEST_F(StdCtrls, EditTypesCyrillicCountingCaretInCharactersAndUndoesTypingAsOneStep) {
  auto* edit = Add<TEdit>(10, 10, 200, 21);
  int changes = 0;
  edit->OnChange = [&](TObject*) { ++changes; };
  ShowAndFocus(edit);
  Type("Сеанс");
  EXPECT_EQ(edit->Text(), "Сеанс");
  EXPECT_EQ(edit->SelStart(), 5);  // characters, not bytes
  EXPECT_EQ(changes, 5);
  Key(VK_LEFT);
  Key(VK_LEFT);
  Key(VK_BACK, 8);
  EXPECT_EQ(edit->Text(), "Сенс");
  EXPECT_EQ(edit->SelStart(), 2);
  Type("ы");
  EXPECT_EQ(edit->Text(), "Сеынс");
  Key(VK_HOME, 0, kShift);
  EXPECT_EQ(edit->SelText(), "Сеы");
  Type("я");
  EXPECT_EQ(edit->Text(), "янс");
  // Ctrl+Z puts back what the typing replaced; a second Ctrl+Z redoes it
  Key('Z', 26, kCtrl);
  EXPECT_EQ(edit->Text(), "Сеынс");
  Key('Z', 26, kCtrl);
  EXPECT_EQ(edit->Text(), "янс");
  // a run of typed characters undoes together, a caret move starts a new run
  Key(VK_END);
  Type("ab");
  Key(VK_LEFT);
  Type("c");
  EXPECT_EQ(edit->Text(), "янсacb");
  edit->Undo();
  EXPECT_EQ(edit->Text(), "янсab");
  EXPECT_TRUE(edit->Modified());
}

TEST_F(StdCtrls, EditPasteKeepsToTheLimitAndToOneLine) {
  auto* edit = Add<TEdit>(10, 10, 200, 21);
  edit->SetMaxLength(6);
  ShowAndFocus(edit);
  Type("абв");
  Clipboard()->SetAsText("где\r\nжзи");
  Key('V', 22, kCtrl);
  EXPECT_EQ(edit->Text(), "абвгде");  // the first line only, cut at the limit
  Key('V', 22, kCtrl);
  EXPECT_EQ(edit->Text(), "абвгде");  // full: nothing more goes in
  Type("x");
  EXPECT_EQ(edit->Text(), "абвгде");
  edit->SelectAll();
  Clipboard()->SetAsText("0123456789");
  edit->PasteFromClipboard();
  EXPECT_EQ(edit->Text(), "012345");
  // the limit holds for typing, not for text set by the program
  edit->SetText("long text set in code");
  EXPECT_EQ(edit->Text(), "long text set in code");
  EXPECT_FALSE(edit->Modified());
  EXPECT_FALSE(edit->CanUndo());
}

// A text of several lines given to a single-line edit stays whole, line breaks and all: set into its
// window, or given to a window made before it shows or made again (and whatever is typed at its end
// goes after the last line).
TEST_F(StdCtrls, ASingleLineEditKeepsTheLinesOfATextGivenIt) {
  const std::string lines = " Q\r\nё3[хp";
  auto* edit = Add<TEdit>(10, 10, 200, 21);
  edit->SetText(lines);
  ShowAndFocus(edit);
  EXPECT_EQ(edit->Text(), lines) << "the window made with the text";
  edit->SetText(lines + "!");
  EXPECT_EQ(edit->Text(), lines + "!") << "the text set";
  edit->RecreateWnd();
  ShowAndFocus(edit);
  EXPECT_EQ(edit->Text(), lines + "!") << "the window made again";
  Key(VK_END);
  Type("x");
  EXPECT_EQ(edit->Text(), lines + "!x");
}

TEST_F(StdCtrls, PasswordEditNeverCopiesItsTextOut) {
  auto* edit = Add<TEdit>(10, 10, 200, 21);
  edit->SetPasswordChar(U'*');
  ShowAndFocus(edit);
  Type("секрет");
  Clipboard()->SetAsText("before");
  edit->SelectAll();
  Key('C', 3, kCtrl);
  Key('X', 24, kCtrl);
  Key(VK_INSERT, 0, kCtrl);
  Key(VK_DELETE, 0, kShift);
  edit->CopyToClipboard();
  edit->CutToClipboard();
  EXPECT_EQ(Clipboard()->AsText(), "before");
  EXPECT_EQ(edit->Text(), "секрет");
  // the text shows as stars: the screen holds no letter of it
  HWND top = form->Handle();
  talvik::gui::UpdateAllWindows(top);
  edit->SetPasswordChar(0);
  edit->SelectAll();
  edit->CopyToClipboard();
  EXPECT_EQ(Clipboard()->AsText(), "секрет");
}

TEST_F(StdCtrls, EditReadOnlyAndCaseFolding) {
  auto* edit = Add<TEdit>(10, 10, 200, 21);
  edit->SetCharCase(talvik::gui::ecUpperCase);
  ShowAndFocus(edit);
  Type("ora-ошибка");
  EXPECT_EQ(edit->Text(), "ORA-ОШИБКА");
  edit->SetReadOnly(true);
  Type("z");
  Key(VK_BACK, 8);
  Key('V', 22, kCtrl);
  EXPECT_EQ(edit->Text(), "ORA-ОШИБКА");
  // the caret still moves and selects
  Key(VK_HOME);
  Key(VK_RIGHT, 0, kShift);
  Key(VK_RIGHT, 0, kShift);
  EXPECT_EQ(edit->SelText(), "OR");
  // word moves stop at Cyrillic word edges
  edit->SetReadOnly(false);
  edit->SetCharCase(talvik::gui::ecNormal);
  edit->SetText("один два_три, четыре");
  edit->SetSelStart(0);
  Key(VK_RIGHT, 0, kCtrl);
  EXPECT_EQ(edit->SelStart(), 5);
  Key(VK_RIGHT, 0, kCtrl);
  EXPECT_EQ(edit->SelStart(), 14);
  Key(VK_BACK, 127, kCtrl);
  EXPECT_EQ(edit->Text(), "один четыре");
}

TEST_F(StdCtrls, EditMouseSetsAndDragsTheSelection) {
  auto* edit = Add<TEdit>(10, 10, 200, 21);
  edit->SetText("abcdefgh");
  form->Show();
  Application->ProcessMessages();
  TPoint left = edit->ClientToScreen({3, 8});
  TPoint right = edit->ClientToScreen({190, 8});
  InjectMouse(WM_LBUTTONDOWN, left);
  Application->ProcessMessages();
  InjectMouse(WM_MOUSEMOVE, right, {});
  InjectMouse(WM_LBUTTONUP, right);
  Application->ProcessMessages();
  EXPECT_TRUE(edit->Focused());
  EXPECT_EQ(edit->SelStart(), 0);
  EXPECT_EQ(edit->SelLength(), 8);
}

TEST_F(StdCtrls, MemoLinesEditTheTextAndEnterBreaksTheLine) {
  auto* memo = Add<TMemo>(10, 10, 200, 100);
  form->Show();
  TStrings* lines = memo->Lines();
  lines->Add("первая");
  lines->Add("вторая");
  lines->Insert(1, "средняя");
  EXPECT_EQ(lines->Count(), 3);
  EXPECT_EQ(lines->Strings(1), "средняя");
  EXPECT_EQ(memo->Text(), "первая\r\nсредняя\r\nвторая\r\n");
  lines->Delete(0);
  lines->SetStrings(1, "последняя");
  EXPECT_EQ(memo->Text(), "средняя\r\nпоследняя\r\n");
  lines->Delete(1);
  EXPECT_EQ(lines->Count(), 1);
  memo->SetFocus();
  Application->ProcessMessages();
  memo->SetCaretPos({3, 0});
  Key(VK_RETURN, U'\r');
  EXPECT_EQ(lines->Count(), 2);
  EXPECT_EQ(lines->Strings(0), "сре");
  EXPECT_EQ(lines->Strings(1), "дняя");
  EXPECT_EQ(memo->CaretPos(), (TPoint{0, 1}));
  Key(VK_UP);
  EXPECT_EQ(memo->CaretPos().Y, 0);
  // Tab leaves a memo that does not want tabs
  auto* next = Add<TEdit>(10, 150, 100, 21);
  Key(VK_TAB, U'\t');
  EXPECT_TRUE(next->Focused());
  memo->SetWantTabs(true);
  memo->SetFocus();
  Application->ProcessMessages();
  Key(VK_TAB, U'\t');
  EXPECT_TRUE(memo->Focused());
  EXPECT_NE(memo->Text().find('\t'), std::string::npos);
}

// ---------------------------------------------------------------- buttons

TEST_F(StdCtrls, EnterClicksTheDefaultButtonAndEscTheCancelOne) {
  auto* edit = Add<TEdit>(10, 10, 100, 21);
  auto* ok = Add<TButton>(10, 50, 75, 25);
  auto* cancel = Add<TButton>(100, 50, 75, 25);
  auto* other = Add<TButton>(190, 50, 75, 25);
  ok->SetDefault(true);
  cancel->SetCancel(true);
  std::vector<std::string> clicks;
  ok->OnClick = [&](TObject*) { clicks.push_back("ok"); };
  cancel->OnClick = [&](TObject*) { clicks.push_back("cancel"); };
  other->OnClick = [&](TObject*) { clicks.push_back("other"); };
  ShowAndFocus(edit);
  Key(VK_RETURN, U'\r');
  Key(VK_ESCAPE, 27);
  // a focused button takes Enter from the default one; Space clicks it on release
  other->SetFocus();
  Application->ProcessMessages();
  Key(VK_RETURN, U'\r');
  InjectKey(VK_SPACE, true, U' ', {});
  Application->ProcessMessages();
  EXPECT_EQ(clicks.size(), 3u);
  InjectKey(VK_SPACE, false, 0, {});
  Application->ProcessMessages();
  EXPECT_EQ(clicks, (std::vector<std::string>{"ok", "cancel", "other", "other"}));
  // Alt+accelerator clicks the button whose caption marks it
  cancel->SetCaption("&Отмена");
  Key(U'J', U'о', kAlt);
  EXPECT_EQ(clicks.back(), "cancel");
}

TEST_F(StdCtrls, ModalResultOfTheClickedButtonEndsShowModal) {
  auto* ok = Add<TButton>(10, 50, 75, 25);
  auto* cancel = Add<TButton>(100, 50, 75, 25);
  ok->SetModalResult(mrOk);
  ok->SetDefault(true);
  cancel->SetModalResult(mrCancel);
  cancel->SetCancel(true);
  form->OnShow = [&](TObject*) {
    InjectKey(VK_ESCAPE, true, 27, {});
    InjectKey(VK_ESCAPE, false, 0, {});
  };
  EXPECT_EQ(form->ShowModal(), mrCancel);
  form->OnShow = [&](TObject*) {
    InjectKey(VK_RETURN, true, U'\r', {});
    InjectKey(VK_RETURN, false, 0, {});
  };
  EXPECT_EQ(form->ShowModal(), mrOk);
  // a mouse click on the button
  form->OnShow = [&](TObject*) {
    TPoint p = cancel->ClientToScreen({10, 10});
    InjectMouse(WM_LBUTTONDOWN, p);
    InjectMouse(WM_LBUTTONUP, p);
  };
  EXPECT_EQ(form->ShowModal(), mrCancel);
}

TEST_F(StdCtrls, ButtonClickNeedsTheReleaseInsideIt) {
  auto* button = Add<TButton>(10, 10, 75, 25);
  int clicks = 0;
  button->OnClick = [&](TObject*) { ++clicks; };
  form->Show();
  Application->ProcessMessages();
  TPoint in = button->ClientToScreen({10, 10}), out = button->ClientToScreen({200, 100});
  InjectMouse(WM_LBUTTONDOWN, in);
  Application->ProcessMessages();  // the button holds the mouse from here on
  EXPECT_EQ(SendMessage(button->Handle(), BM_GETSTATE) & BST_PUSHED, static_cast<LRESULT>(BST_PUSHED));
  InjectMouse(WM_MOUSEMOVE, out);
  Application->ProcessMessages();
  EXPECT_EQ(SendMessage(button->Handle(), BM_GETSTATE) & BST_PUSHED, 0);  // drawn up while outside
  InjectMouse(WM_LBUTTONUP, out);
  Application->ProcessMessages();
  EXPECT_EQ(clicks, 0);
  Click(button, 10, 10);
  EXPECT_EQ(clicks, 1);
  button->SetEnabled(false);
  Click(button, 10, 10);
  EXPECT_EQ(clicks, 1);
}

TEST_F(StdCtrls, CheckBoxesToggleAndRadioButtonsExcludeEachOther) {
  auto* check = Add<TCheckBox>(10, 10, 120, 17);
  int checkClicks = 0;
  check->OnClick = [&](TObject*) { ++checkClicks; };
  auto* r1 = Add<TRadioButton>(10, 40, 120, 17);
  auto* r2 = Add<TRadioButton>(10, 60, 120, 17);
  ShowAndFocus(check);
  Key(VK_SPACE, U' ');
  EXPECT_TRUE(check->Checked());
  Click(check, 5, 8);
  EXPECT_FALSE(check->Checked());
  check->SetAllowGrayed(true);
  Click(check, 5, 8);
  EXPECT_EQ(check->State(), cbGrayed);
  Click(check, 5, 8);
  EXPECT_EQ(check->State(), cbChecked);
  EXPECT_EQ(SendMessage(check->Handle(), BM_GETCHECK), static_cast<LRESULT>(BST_CHECKED));
  check->SetChecked(false);  // in code: tells OnClick too
  EXPECT_EQ(checkClicks, 5);
  Click(r1, 5, 8);
  EXPECT_TRUE(r1->Checked());
  Click(r2, 5, 8);
  EXPECT_TRUE(r2->Checked());
  EXPECT_FALSE(r1->Checked());
  SendMessage(r1->Handle(), BM_SETCHECK, BST_CHECKED);
  EXPECT_FALSE(r2->Checked());
}

// ---------------------------------------------------------------- labels

namespace {
class TCountingLabel : public TLabel {
 public:
  using TLabel::TLabel;
  int drawn = 0;

 protected:
  void DoDrawText(TRect& R, UINT Flags) override {
    if (!(Flags & DT_CALCRECT)) ++drawn;
    TLabel::DoDrawText(R, Flags);
  }
};
}  // namespace

TEST_F(StdCtrls, LabelsSizeToTheirCaptionAndFocusTheirControlOnTheAccelerator) {
  auto* label = new TCountingLabel(form.get());
  label->SetParent(form.get());
  label->SetBounds(10, 10, 10, 10);
  label->SetCaption("&Пользователь:");
  int narrow = label->Width();
  EXPECT_GT(narrow, 40);
  label->SetCaption("&Пользователь базы данных:");
  EXPECT_GT(label->Width(), narrow);
  auto* edit = Add<TEdit>(10, 40, 100, 21);
  auto* other = Add<TEdit>(10, 80, 100, 21);
  label->SetFocusControl(edit);
  ShowAndFocus(other);
  Key('G', U'п', kAlt);
  EXPECT_TRUE(edit->Focused());
  talvik::gui::UpdateAllWindows(form->Handle());
  EXPECT_GT(label->drawn, 0);
  // the label forgets a control that goes
  delete edit;
  EXPECT_EQ(label->FocusControl(), nullptr);
}

TEST(Accelerators, MarksAreFoundCaseInsensitivelyAndDoubledAmpersandsAreText) {
  EXPECT_TRUE(IsAccel(U'o', "&OK"));
  EXPECT_TRUE(IsAccel(U'Д', "&да"));
  EXPECT_FALSE(IsAccel(U'a', "Fish && &Chips"));
  EXPECT_TRUE(IsAccel(U'c', "Fish && &Chips"));
  EXPECT_FALSE(IsAccel(U'x', "none"));
  EXPECT_EQ(StripHotkey("Fish && &Chips"), "Fish & Chips");
}

TEST_F(StdCtrls, PaintsTheClassicFaces) {
  form->SetCaption("Стандартные элементы");
  auto* label = Add<TLabel>(10, 12, 10, 10);
  label->SetCaption("&Имя:");
  auto* edit = Add<TEdit>(60, 10, 150, 21);
  edit->SetText("Пётр Иванович");
  auto* pass = Add<TEdit>(220, 10, 100, 21);
  pass->SetPasswordChar(U'*');
  pass->SetText("secret");
  auto* memo = Add<TMemo>(10, 40, 200, 80);
  memo->SetScrollBars(ssVertical);
  memo->SetText("SELECT sid, serial#\r\n  FROM v$session\r\n WHERE status = 'ACTIVE'");
  auto* ok = Add<TButton>(220, 40, 75, 25);
  ok->SetCaption("OK");
  ok->SetDefault(true);
  auto* cancel = Add<TButton>(220, 70, 75, 25);
  cancel->SetCaption("&Отмена");
  cancel->SetEnabled(false);
  auto* check = Add<TCheckBox>(10, 130, 150, 17);
  check->SetCaption("Только активные");
  check->SetChecked(true);
  auto* radio = Add<TRadioButton>(10, 150, 150, 17);
  radio->SetCaption("По имени");
  radio->SetChecked(true);
  auto* radio2 = Add<TRadioButton>(10, 170, 150, 17);
  radio2->SetCaption("По номеру");
  form->Show();
  edit->SetFocus();
  Application->ProcessMessages();
  edit->SetSelStart(0);
  edit->SetSelLength(4);
  std::string dir =
      std::string(std::getenv("TALVIK_BINARY_DIR") ? std::getenv("TALVIK_BINARY_DIR") : ".") + "/screenshots";
  std::filesystem::create_directories(dir);
  ASSERT_TRUE(talvik::gui::RenderWindowToPng(form->Handle(), dir + "/std-controls.png"));
  // the selection is highlighted, the rest of the edit is window-coloured
  TPoint sel = edit->ClientToScreen({4, 6});
  RECT wr;
  GetWindowRect(form->Handle(), wr);
  auto px = [&](TPoint p) { return talvik::gui::WindowPixel(form->Handle(), p.X - wr.Left, p.Y - wr.Top); };
  EXPECT_EQ(px(sel), ColorToRGB(clHighlight));
  EXPECT_EQ(px(edit->ClientToScreen({edit->ClientWidth() - 3, 3})), ColorToRGB(clWindow));
  // the button face
  EXPECT_EQ(px(ok->ClientToScreen({4, 4})), ColorToRGB(clBtnFace));
}

// ---------------------------------------------------------------- memo repainting

namespace {

struct MemoEdit {
  const char* name;
  int line, column;  // where the caret stands
  char32_t key;      // the character typed (8: backspace)
  int changedLine;   // the first line that changes
  bool linesBelow;   // the lines below change too
};

void PrintTo(const MemoEdit& e, std::ostream* os) {
  *os << e.name;
}

class MemoRepaint : public StdCtrls, public ::testing::WithParamInterface<MemoEdit> {
 protected:
  std::vector<COLORREF> ClientPixels(HWND h) {
    talvik::gui::UpdateAllWindows(form->Handle());
    POINT origin{0, 0};
    ClientToScreen(h, origin);
    RECT window, client;
    GetWindowRect(form->Handle(), window);
    GetClientRect(h, client);
    std::vector<COLORREF> out;
    for (int y = 0; y < client.Bottom; ++y)
      for (int x = 0; x < client.Right; ++x)
        out.push_back(
            talvik::gui::WindowPixel(form->Handle(), origin.X - window.Left + x, origin.Y - window.Top + y));
    return out;
  }
  static std::string Line(HWND h, int line) {
    std::string text;
    SendMessage(h, EM_GETLINE, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(&text));
    return text;
  }
  static int LineTop(HWND h, int line) {
    auto start = SendMessage(h, EM_LINEINDEX, static_cast<WPARAM>(line), 0);
    return GET_Y_LPARAM(SendMessage(h, EM_POSFROMCHAR, static_cast<WPARAM>(start), 0));
  }
};

}  // namespace

// A keystroke in a memo paints again the line it changed (and the lines below
// when lines come or go), and what shows then is what a repaint of the whole memo shows.
TEST_P(MemoRepaint, CoversTheChangedLinesAndMatchesAFullRepaint) {
  const MemoEdit& e = GetParam();
  auto* memo = Add<TMemo>(10, 10, 220, 150);
  memo->SetText("первая строка\r\nвторая строка\r\nтретья строка\r\nчетвёртая\r\nпятая\r\nшестая");
  form->Show();
  HWND h = memo->Handle();
  SetFocus(h);
  auto caret = SendMessage(h, EM_LINEINDEX, static_cast<WPARAM>(e.line), 0) + e.column;
  SendMessage(h, EM_SETSEL, static_cast<WPARAM>(caret), caret);
  talvik::gui::UpdateAllWindows(form->Handle());
  const int top = LineTop(h, e.changedLine), lineHeight = LineTop(h, 1) - LineTop(h, 0);
  RECT client;
  GetClientRect(h, client);
  SendMessage(h, WM_CHAR, e.key, 0);

  RECT update;
  ASSERT_TRUE(GetUpdateRect(h, &update, false));
  EXPECT_EQ(update.Top, top);
  EXPECT_EQ(update.Bottom, e.linesBelow ? client.Bottom : top + lineHeight);

  // painted within that rectangle, the memo draws the changed lines' texts and no others
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, client.Right, client.Bottom);
  HGDIOBJ old = SelectObject(dc, bitmap);
  IntersectClipRect(dc, update.Left, update.Top, update.Right, update.Bottom);
  std::vector<TDrawRecord> records;
  SetDrawRecording(dc, &records);
  WNDCLASS edit;
  ASSERT_TRUE(GetClassInfo("EDIT", edit));
  CallWindowProc(edit.lpfnWndProc, h, WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
  SetDrawRecording(dc, nullptr);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  std::vector<std::string> texts;
  for (const TDrawRecord& r : records)
    if (r.Kind == TDrawRecord::drText) texts.push_back(r.Text);
  ASSERT_FALSE(texts.empty());
  if (!e.linesBelow) {
    EXPECT_EQ(texts.size(), 1u);
  }
  for (std::size_t i = 0; i < texts.size(); ++i)
    EXPECT_EQ(texts[i], Line(h, e.changedLine + static_cast<int>(i)));

  std::vector<COLORREF> partly = ClientPixels(h);
  InvalidateRect(h, nullptr, false);
  EXPECT_EQ(partly, ClientPixels(h));
}

INSTANTIATE_TEST_SUITE_P(Keystrokes, MemoRepaint,
                         ::testing::Values(MemoEdit{"TypedInTheMiddle", 1, 3, U'ж', 1, false},
                                           MemoEdit{"TypedAtTheEnd", 2, 13, U'x', 2, false},
                                           MemoEdit{"Backspace", 1, 4, 8, 1, false},
                                           MemoEdit{"EnterBreaksTheLine", 1, 6, 13, 1, true},
                                           MemoEdit{"BackspaceJoinsTheLines", 2, 0, 8, 1, true}),
                         [](const ::testing::TestParamInfo<MemoEdit>& info) {
                           return std::string(info.param.name);
                         });

// After each kind of change the lines are where the text's breaks put them.
TEST_F(StdCtrls, MemoLinesFollowEveryChangeOfTheText) {
  auto* memo = Add<TMemo>(10, 10, 220, 150);
  memo->SetText("один\r\nдва\r\nтри\r\nчетыре\r\nпять");
  form->Show();
  HWND h = memo->Handle();
  auto check = [&](const char* step) {
    std::u32string text = Utf8ToUtf32(memo->Text());
    std::vector<int> starts{0};
    int pos = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == U'\r') continue;
      ++pos;
      if (text[i] == U'\n') starts.push_back(pos);
    }
    ASSERT_EQ(SendMessage(h, EM_GETLINECOUNT, 0, 0), static_cast<LRESULT>(starts.size())) << step;
    for (std::size_t l = 0; l < starts.size(); ++l)
      EXPECT_EQ(SendMessage(h, EM_LINEINDEX, l, 0), starts[l]) << step << ", line " << l;
  };
  auto select = [&](int from, int to) { SendMessage(h, EM_SETSEL, static_cast<WPARAM>(from), to); };
  select(2, 2);
  SendMessage(h, WM_CHAR, U'ж', 0);
  check("typed");
  select(3, 12);  // across two breaks
  std::string paste = "x\r\ny\r\nz\r\nw";
  SendMessage(h, EM_REPLACESEL, 1, reinterpret_cast<LPARAM>(paste.c_str()));
  check("replaced across lines with more lines");
  select(5, 5);
  SendMessage(h, WM_CHAR, 8, 0);
  check("backspace over a break");
  select(0, 0);
  SendMessage(h, WM_CHAR, 13, 0);
  check("break at the start");
  select(memo->Text().size(), memo->Text().size());
  SendMessage(h, WM_CHAR, 13, 0);
  check("break at the end");
  SendMessage(h, WM_UNDO, 0, 0);
  check("undone");
  select(0, -1);
  SendMessage(h, WM_CHAR, U'a', 0);
  check("all replaced");
}

namespace {

// Steps on a memo, separated by spaces: "c3" caret at 3, "s1-4" selection, "t:..." typed, "b"
// backspace, "r:..." an undoable replacement of the selection, "n:..." one that cannot be undone.
struct UndoCase {
  const char* name;
  const char* steps;
  const char* undone;  // the text after one undo
  const char* redone;  // and after a second one
};

void PrintTo(const UndoCase& c, std::ostream* os) {
  *os << c.name;
}

class MemoUndo : public StdCtrls, public ::testing::WithParamInterface<UndoCase> {};

}  // namespace

TEST_P(MemoUndo, TakesBackTheLastStepAndASecondUndoRedoesIt) {
  const UndoCase& c = GetParam();
  auto* memo = Add<TMemo>(10, 10, 220, 150);
  memo->SetText("первая\r\nвторая\r\nтретья");
  form->Show();
  HWND h = memo->Handle();
  std::string steps = c.steps;
  for (std::size_t at = 0; at < steps.size();) {
    std::size_t end = steps.find(' ', at);
    if (end == std::string::npos) end = steps.size();
    std::string step = steps.substr(at, end - at);
    at = end + 1;
    std::string arg = step.size() > 2 ? step.substr(2) : "";
    switch (step[0]) {
      case 'c':
        SendMessage(h, EM_SETSEL, std::stoi(step.substr(1)), std::stoi(step.substr(1)));
        break;
      case 's':
        SendMessage(h, EM_SETSEL, std::stoi(step.substr(1)), std::stoi(step.substr(step.find('-') + 1)));
        break;
      case 't':
        for (char32_t ch : Utf8ToUtf32(arg)) SendMessage(h, WM_CHAR, ch, 0);
        break;
      case 'b':
        SendMessage(h, WM_CHAR, 8, 0);
        break;
      case 'r':
      case 'n':
        SendMessage(h, EM_REPLACESEL, step[0] == 'r', reinterpret_cast<LPARAM>(arg.c_str()));
        break;
      default:
        FAIL() << step;
    }
  }
  SendMessage(h, WM_UNDO, 0, 0);
  EXPECT_EQ(memo->Text(), c.undone);
  SendMessage(h, WM_UNDO, 0, 0);
  EXPECT_EQ(memo->Text(), c.redone);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, MemoUndo,
    ::testing::Values(
        UndoCase{"TypingRunAsOneStep", "c3 t:abc", "первая\r\nвторая\r\nтретья",
                 "перabcвая\r\nвторая\r\nтретья"},
        UndoCase{"OnlyTheRunAfterACaretMove", "c3 t:ab c0 t:x", "перabвая\r\nвторая\r\nтретья",
                 "xперabвая\r\nвторая\r\nтретья"},
        UndoCase{"ReplacementAcrossLines", "s4-10 r:Ж\r\nЗ", "первая\r\nвторая\r\nтретья",
                 "первЖ\r\nЗрая\r\nтретья"},
        UndoCase{"EachBackspaceAlone", "c6 b b", "перва\r\nвторая\r\nтретья", "перв\r\nвторая\r\nтретья"},
        UndoCase{"BackspaceOverALineBreak", "c7 b", "первая\r\nвторая\r\nтретья", "перваявторая\r\nтретья"},
        UndoCase{"NotUndoableBeforeTheStepGoesWithIt", "c10 t:zz c1 n:Q", "первая\r\nвторая\r\nтретья",
                 "пQервая\r\nвтоzzрая\r\nтретья"},
        UndoCase{"NotUndoableAfterTheStepGoesWithIt", "c2 t:zz s17-19 n:QQQ", "первая\r\nвторая\r\nтретья",
                 "пеzzрвая\r\nвторая\r\nтQQQтья"},
        UndoCase{"NotUndoableInsideTheStep", "c2 t:zzzz s3-5 n:Q", "первая\r\nвторая\r\nтретья",
                 "пеzQzрвая\r\nвторая\r\nтретья"}),
    [](const ::testing::TestParamInfo<UndoCase>& info) { return std::string(info.param.name); });
