// The options dialog's query editor: editable, in "Courier New" with "Terminal" in its gutter, help
// on Ctrl+F1, coloured as the session window's statements are.
#include <gtest/gtest.h>

#include "app/OptionF.h"
#include "editor/CodeEdit.h"
#include "editor/CodeEditKeyCmds.h"
#include "editor/CodeHighlighterSQL.h"
#include "tests/gui/GuiTestSupport.h"

namespace {

class OptionsEditorTest : public guitest::GuiTest {
 protected:
  void SetUp() override {
    guitest::GuiTest::SetUp();
    CreateApplication();
  }
};

TEST_F(OptionsEditorTest, TheQueryEditorIsEditableWithTheSessionWindowsLook) {
  TOptionsForm f(Application);
  TCodeEdit* e = f.seCustom;
  EXPECT_FALSE(e->ReadOnly());
  EXPECT_EQ(e->Font()->Name(), "Courier New");
  EXPECT_EQ(e->Font()->Height(), -13);
  EXPECT_EQ(e->Gutter()->Font()->Name(), "Terminal");
  EXPECT_EQ(e->Align(), alClient);
  auto* h = dynamic_cast<TCodeSQLHighlighter*>(e->Highlighter());
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h, f.CodeSQLHighlighter);
  EXPECT_EQ(h->SQLDialect(), sqlOracle);
  EXPECT_EQ(h->CommentAttri()->Foreground(), clGray);
  EXPECT_EQ(h->SQLPlusAttri()->Foreground(), clNavy);
  EXPECT_EQ(h->StringAttri()->Foreground(), clGreen);
  TCodeEditKeyStrokes* keys = e->Keystrokes();
  const int help = keys->FindCommand(ecContextHelp);
  ASSERT_GE(help, 0);
  EXPECT_EQ(keys->Items(help)->ShortCut(), ShortCut(VK_F1, TShiftState{ssCtrl}));
  EXPECT_EQ(keys->FindKeycode(VK_F1, {}), -1);
  // what is typed is the query, line breaks and all
  f.seCustom->SetText("SELECT :SID info\r\nFROM dual");
  EXPECT_EQ(e->Lines()->Count(), 2);
  EXPECT_EQ(f.seCustom->Text(), "SELECT :SID info\r\nFROM dual");
}

}  // namespace
