// The edit mask engine and the masked edit: sections, character classes, case folding, literals typed
// over, blanks left by Backspace and Delete, paste through the mask, ValidateEdit with the caret on
// the first missing place, Reset, and the plain path without a mask.
#include <gtest/gtest.h>

#include <string>

#include "GuiTestSupport.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Mask.h"
#include "platform/gui/WinManager.h"

using namespace guitest;
using talvik::gui::InjectKey;
using talvik::gui::ShiftKeys;

namespace {

std::string U8(const std::u32string& s) {
  return Utf32ToUtf8(s);
}

// ---------------------------------------------------------------- the engine

struct FormatCase {
  const char* name;
  const char* mask;
  const char* value;
  const char* editText;  // FormatMaskText(mask, value)
};
class MaskFormat : public ::testing::TestWithParam<FormatCase> {};
TEST_P(MaskFormat, ShowsTheValueThroughTheMask) {
  EXPECT_EQ(FormatMaskText(GetParam().mask, GetParam().value), GetParam().editText);
}
const FormatCase kFormat[] = {
    {"EmptyDate", "!99/99/0000;1;_", "", "__/__/____"},
    {"DateWithLiterals", "!99/99/0000;1;_", "07/12/2026", "07/12/2026"},
    {"DateWithoutLiterals", "99/99/0000;0;_", "07122026", "07/12/2026"},
    {"OtherBlank", "000-00;1;*", "", "***-**"},
    {"UpperLetters", ">LLL", "abc", "ABC"},
    {"LowerThenNoFold", "<LL<>LL", "ABCD", "abCD"},
    {"CyrillicLetters", ">LL-00;0", "жы12", "ЖЫ-12"},
    {"EscapedLiteral", "\\L00;1", "L12", "L12"},
    {"SignOrDigit", "#000;1", "-123", "-123"},
    {"WrongCharacterLeavesABlank", "000;1;_", "1x3", "1_3"},
    {"NoMaskIsThePlainText", "", "как есть", "как есть"},
};
INSTANTIATE_TEST_SUITE_P(Cases, MaskFormat, ::testing::ValuesIn(kFormat),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MaskEngine, ValueDropsLiteralsWhenToldAndTrimsBlanks) {
  TEditMaskInfo keep("!99/99/0000;1;_");
  EXPECT_EQ(U8(keep.Value(U"07/12/2026")), "07/12/2026");
  EXPECT_EQ(U8(keep.Value(U"07/1_/____")), "07/1 /    ");
  TEditMaskInfo drop("99/99/0000;0;_");
  EXPECT_EQ(U8(drop.Value(U"07/12/2026")), "07122026");
  EXPECT_EQ(U8(drop.Value(U"07/1_/____")), "071");
  // '!' trims on the left instead
  TEditMaskInfo lead("!999;0;_");
  EXPECT_EQ(U8(lead.Value(U"__5")), "5");
}

TEST(MaskEngine, FirstInvalidIsTheFirstRequiredPlaceLeftBlank) {
  TEditMaskInfo date("!99/99/0000;1;_");
  EXPECT_EQ(date.FirstInvalid(U"07/12/2026"), -1);
  EXPECT_EQ(date.FirstInvalid(U"__/__/2026"), -1) << "9 is optional";
  EXPECT_EQ(date.FirstInvalid(U"07/12/20__"), 8);
  EXPECT_EQ(date.FirstInvalid(U"07/12/2x26"), 7);
}

struct TypingCase {
  const char* name;
  const char* mask;
  const char32_t* start;
  int selStart, selEnd;
  const char* typed;  // one operation a character: '\b' backspace, '\x7f' delete, others typed
  const char32_t* text;
  int caret;
};
class MaskTyping : public ::testing::TestWithParam<TypingCase> {};
TEST_P(MaskTyping, EditsInPlace) {
  const TypingCase& c = GetParam();
  TEditMaskInfo info(c.mask);
  TMaskEditState st{c.start, c.selStart, c.selEnd};
  for (char32_t ch : Utf8ToUtf32(c.typed)) {
    if (ch == U'\b')
      info.Delete(st, true);
    else if (ch == 0x7f)
      info.Delete(st, false);
    else
      info.TypeChar(st, ch);
  }
  EXPECT_EQ(U8(st.Text), U8(c.text));
  EXPECT_EQ(st.SelStart, c.caret);
  EXPECT_EQ(st.SelEnd, c.caret);
}
const TypingCase kTyping[] = {
    {"TypesOverBlanksAndStepsOverLiterals", "!99/99/0000;1;_", U"__/__/____", 0, 0, "0712", U"07/12/____", 6},
    {"TypedLiteralStepsOver", "!99/99/0000;1;_", U"__/__/____", 0, 0, "7/1", U"7_/1_/____", 4},
    {"RefusedCharacterChangesNothing", "000;1;_", U"___", 0, 0, "a", U"___", 0},
    {"SelectionBecomesBlanksFirst", "000;1;_", U"123", 0, 3, "9", U"9__", 1},
    {"BackspaceLeavesABlankAndSkipsLiterals", "!99/99/0000;1;_", U"07/12/2026", 6, 6, "\b", U"07/1_/2026", 4},
    {"DeleteLeavesABlankInPlace", "!99/99/0000;1;_", U"07/12/2026", 0, 0, "\x7f", U"_7/12/2026", 0},
    {"UpperFoldsCyrillic", ">LLL;1;_", U"___", 0, 0, "жыв", U"ЖЫВ", 3},
    {"FullMaskRefusesMore", "00;1;_", U"12", 2, 2, "3", U"12", 2},
};
INSTANTIATE_TEST_SUITE_P(Cases, MaskTyping, ::testing::ValuesIn(kTyping),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MaskEngine, PasteGoesThroughTheMask) {
  TEditMaskInfo info("!99/99/0000;1;_");
  TMaskEditState st{U"__/__/____", 0, 0};
  info.Paste(st, U"07.12.2026");  // the dots do not fit and are left out
  EXPECT_EQ(U8(st.Text), "07/12/2026");
  st = {U"__/__/____", 3, 3};
  info.Paste(st, U"12/20");
  EXPECT_EQ(U8(st.Text), "__/12/20__");
}

// ---------------------------------------------------------------- the edit

class MaskEdit : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    CreateApplication();
    SetClipboardBackend(MakeMemoryClipboard());
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(100, 100, 300, 200);
    edit = new TMaskEdit(form.get());
    edit->SetParent(form.get());
    edit->SetBounds(10, 10, 150, 24);
    other = new TMaskEdit(form.get());
    other->SetParent(form.get());
    other->SetBounds(10, 50, 150, 24);
  }
  void TearDown() override {
    form.reset();
    Application->OnException = nullptr;
    GuiTest::TearDown();
  }
  static void Key(WORD vk, char32_t ch = 0, ShiftKeys shift = {}) {
    guitest::TypeKey(vk, ch, shift);
    Application->ProcessMessages();
  }
  static void Type(const std::string& utf8) {
    for (char32_t c : Utf8ToUtf32(utf8)) Key('A', c);
  }
  std::unique_ptr<TForm> form;
  TMaskEdit* edit = nullptr;
  TMaskEdit* other = nullptr;
};

TEST_F(MaskEdit, DateMaskKeepsLiteralsInTextAndEditText) {
  edit->SetEditMask("!99/99/0000;1;_");
  form->Show();
  edit->SetFocus();
  Application->ProcessMessages();
  EXPECT_TRUE(edit->IsMasked());
  EXPECT_EQ(edit->EditText(), "__/__/____");
  EXPECT_EQ(edit->Text(), "  /  /    ") << "with its literals the text keeps its shape";
  edit->SetSelStart(0);
  edit->SetSelLength(0);
  Type("07122026");
  EXPECT_EQ(edit->EditText(), "07/12/2026");
  EXPECT_EQ(edit->Text(), "07/12/2026");
  EXPECT_TRUE(edit->Modified());
  Key(VK_BACK, 8);
  EXPECT_EQ(edit->EditText(), "07/12/202_");
  edit->SetEditMask("99/99/0000;0;_");
  EXPECT_EQ(edit->EditText(), "07/12/202_") << "from mask to mask the characters keep their places";
  EXPECT_EQ(edit->Text(), "0712202");
}

TEST_F(MaskEdit, ValidateEditRaisesWithTheCaretOnTheFirstMissingPlace) {
  edit->SetEditMask("!99/99/0000;1;_");
  form->Show();
  edit->SetFocus();
  Application->ProcessMessages();
  edit->SetSelStart(0);
  Type("0712");
  EXPECT_THROW(edit->ValidateEdit(), EDBEditError);
  EXPECT_EQ(edit->SelStart(), 6);
  std::string shown;
  Application->OnException = [&](TObject*, const Exception& e) { shown = e.Message(); };
  other->SetFocus();
  Application->ProcessMessages();
  EXPECT_FALSE(shown.empty()) << "leaving with a half-filled mask is refused";
  EXPECT_TRUE(edit->Focused());
  Type("2026");
  EXPECT_NO_THROW(edit->ValidateEdit());
}

TEST_F(MaskEdit, EscResetsToTheTextTheEditStartedWith) {
  edit->SetText("было");
  form->Show();
  edit->SetFocus();
  Application->ProcessMessages();
  edit->SetSelStart(4);
  Type("!");
  EXPECT_EQ(edit->Text(), "было!");
  Key(VK_ESCAPE, 27);
  EXPECT_EQ(edit->Text(), "было");
  EXPECT_FALSE(edit->Modified());
}

TEST_F(MaskEdit, PasteGoesThroughTheMaskInTheEdit) {
  edit->SetEditMask("000-000;0;_");
  form->Show();
  edit->SetFocus();
  Application->ProcessMessages();
  Clipboard()->SetAsText("12a3456");
  edit->SetSelStart(0);
  edit->SetSelLength(0);
  SendMessage(edit->Handle(), WM_PASTE);
  EXPECT_EQ(edit->EditText(), "123-456");
  EXPECT_EQ(edit->Text(), "123456");
}

TEST_F(MaskEdit, WithoutAMaskTheEditIsPlain) {
  form->Show();
  edit->SetFocus();
  Application->ProcessMessages();
  Type("Привет");
  EXPECT_FALSE(edit->IsMasked());
  EXPECT_EQ(edit->Text(), "Привет");
  EXPECT_EQ(edit->EditText(), "Привет");
  EXPECT_NO_THROW(edit->ValidateEdit());
  edit->SetReadOnly(true);
  Type("!");
  EXPECT_EQ(edit->Text(), "Привет");
}

}  // namespace
