// The read-only statement viewers of the session window: the font, the hidden gutter, the shared
// highlighter's colours, the context help moved to Ctrl+F1, and text that cannot be typed over.
#include <gtest/gtest.h>

#include <memory>

#include "app/SqlViewer.h"
#include "editor/CodeEdit.h"
#include "editor/CodeEditKeyCmds.h"
#include "editor/CodeHighlighterSQL.h"
#include "gui/GuiTestSupport.h"
#include "platform/gui/Forms.h"

namespace {

class SqlViewerTest : public guitest::GuiTest {};

TEST_F(SqlViewerTest, AViewerIsReadOnlyWithoutGutterInCourierWithHelpOnCtrlF1) {
  auto form = std::make_unique<TForm>(nullptr);
  TCodeSQLHighlighter* h = NewSqlHighlighter(form.get(), "CodeSQLHighlighter");
  TCodeEdit* e = NewSqlViewer(form.get(), form.get(), "seSQLText", h, nullptr);
  EXPECT_TRUE(e->ReadOnly());
  EXPECT_FALSE(e->Gutter()->Visible());
  EXPECT_EQ(e->Font()->Name(), "Courier New");
  EXPECT_EQ(std::abs(e->Font()->Height()), 13);
  EXPECT_EQ(e->Highlighter(), h);
  const TCodeEditKeyStrokes* keys = e->Keystrokes();
  const int ctrlF1 = keys->FindKeycode(VK_F1, TShiftState{ssCtrl});
  ASSERT_GE(ctrlF1, 0);
  EXPECT_EQ(keys->Items(ctrlF1)->Command(), ecContextHelp);
  EXPECT_LT(keys->FindKeycode(VK_F1, TShiftState{}), 0);
  e->Lines()->SetText("SELECT 1\r\nFROM dual");
  EXPECT_EQ(e->Lines()->Count(), 2);
  e->SetSelText("x");  // a read-only editor keeps its text
  EXPECT_EQ(e->Lines()->Strings(0), "SELECT 1");
}

struct ColourCase {
  const char* name;
  TCodeHighlighterAttributes* (TCodeSQLHighlighter::*attribute)() const;
  TColor colour;
};
const ColourCase kColours[] = {
    {"CommentsGrey", &TCodeSQLHighlighter::CommentAttri, clGray},
    {"SqlPlusWordsNavy", &TCodeSQLHighlighter::SQLPlusAttri, clNavy},
    {"StringsGreen", &TCodeSQLHighlighter::StringAttri, clGreen},
};
class HighlighterColourTest : public guitest::GuiTest, public ::testing::WithParamInterface<ColourCase> {};

TEST_P(HighlighterColourTest, TheOracleHighlighterColoursItsTokens) {
  std::unique_ptr<TCodeSQLHighlighter> h(NewSqlHighlighter(nullptr, "CodeSQLHighlighter"));
  EXPECT_EQ(h->SQLDialect(), sqlOracle);
  EXPECT_EQ(h->GetDefaultFilter(), "SQL Files (*.sql)|*.sql");
  EXPECT_EQ(((*h).*GetParam().attribute)()->Foreground(), GetParam().colour);
}

INSTANTIATE_TEST_SUITE_P(SqlViewer, HighlighterColourTest, ::testing::ValuesIn(kColours),
                         [](const auto& i) { return std::string(i.param.name); });

}  // namespace
