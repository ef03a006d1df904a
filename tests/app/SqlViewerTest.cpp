// The read-only statement viewers of the session window: the font, the hidden gutter, the shared
// highlighter's colours, the context help moved to Ctrl+F1, and text that cannot be typed over.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/SqlViewer.h"
#include "editor/CodeEdit.h"
#include "editor/CodeEditKeyCmds.h"
#include "editor/CodeHighlighterSQL.h"
#include "gui/GuiTestSupport.h"
#include "gui/WindowPicture.h"
#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"

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

// A statement shown again: what the viewer paints anew and how it shows the statement afterwards.
struct StatementCase {
  const char* name;
  std::string before;
  std::function<void(TCodeEdit*)> touch;  // what the user did in the viewer meanwhile
  std::string after;
  bool repainted;
};

std::string ManyLines(const char* last) {
  std::string s;
  for (int i = 1; i <= 40; ++i) s += "SELECT " + std::to_string(i) + " FROM dual\n";
  return s + last;
}

const std::vector<StatementCase> kStatements = {
    {"TheSameStatement", "SELECT sid\nFROM v$session", nullptr, "SELECT sid\r\nFROM v$session", false},
    {"NoStatementAgain", "", nullptr, "", false},
    {"AnotherStatement", "SELECT sid\nFROM v$session", nullptr, "SELECT serial#\nFROM v$session", true},
    {"ALineMore", "SELECT sid\nFROM v$session", nullptr, "SELECT sid\nFROM v$session\nWHERE sid > 5", true},
    {"TheSameAfterAScroll", ManyLines("-- end"), [](TCodeEdit* e) { e->SetTopLine(10); }, ManyLines("-- end"),
     true},
    {"TheSameWithASelection", "SELECT sid\nFROM v$session", [](TCodeEdit* e) { e->SelectAll(); },
     "SELECT sid\nFROM v$session", true},
    {"TheSameWithTheCaretMoved", "SELECT sid\nFROM v$session",
     [](TCodeEdit* e) {
       e->SetCaretXY({3, 2});
     },
     "SELECT sid\nFROM v$session", true},
};

class ShowStatementTest : public guitest::GuiTest, public ::testing::WithParamInterface<StatementCase> {};

TEST_P(ShowStatementTest, AStatementShownAgainPaintsOnlyWhenTheViewChanges) {
  const StatementCase& c = GetParam();
  CreateApplication();
  auto form = std::make_unique<TForm>(nullptr);
  form->SetBounds(100, 100, 420, 260);
  TCodeSQLHighlighter* h = NewSqlHighlighter(form.get(), "CodeSQLHighlighter");
  TCodeEdit* e = NewSqlViewer(form.get(), form.get(), "seSQLText", h, nullptr);
  form->Show();
  ShowStatement(e, c.before);
  if (c.touch) c.touch(e);
  talvik::gui::UpdateAllWindows(form->Handle());
  ShowStatement(e, c.after);
  RECT update;
  EXPECT_EQ(GetUpdateRect(e->Handle(), &update, false), c.repainted);
  // shown from its start, whatever was done before
  TStringList expected;
  expected.SetText(c.after);
  ASSERT_EQ(e->Lines()->Count(), expected.Count());
  for (int i = 0; i < expected.Count(); ++i) EXPECT_EQ(e->Lines()->Strings(i), expected.Strings(i));
  EXPECT_EQ(e->TopLine(), 1);
  EXPECT_EQ(e->LeftChar(), 1);
  EXPECT_TRUE(e->CaretXY() == (TBufferCoord{1, 1}));
  EXPECT_FALSE(e->SelAvail());
  // and the screen is what painting it whole shows (compared in memory; the pictures go to the
  // screenshot folder for people to look at)
  const char* bin = std::getenv("TALVIK_BINARY_DIR");
  const std::string dir = std::string(bin ? bin : ".") + "/screenshots";
  std::filesystem::create_directories(dir);
  const guitest::Picture shown =
      guitest::WindowPicture(form->Handle(), dir + "/sql-viewer-" + c.name + ".png");
  RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  const guitest::Picture whole =
      guitest::WindowPicture(form->Handle(), dir + "/sql-viewer-" + c.name + "-whole.png");
  EXPECT_EQ(guitest::PictureDifference(shown, whole), "");
}

INSTANTIATE_TEST_SUITE_P(SqlViewer, ShowStatementTest, ::testing::ValuesIn(kStatements),
                         [](const auto& i) { return std::string(i.param.name); });

// Generated SQL read from v$sqltext often comes as one line of thousands of characters: End reaches
// its last character and scrolls it into view.
TEST_F(SqlViewerTest, AStatementOnOneLongLineCanBeReadToItsEnd) {
  CreateApplication();
  auto form = std::make_unique<TForm>(nullptr);
  form->SetBounds(100, 100, 420, 160);
  TCodeSQLHighlighter* h = NewSqlHighlighter(form.get(), "CodeSQLHighlighter");
  TCodeEdit* e = NewSqlViewer(form.get(), form.get(), "seSQLText", h, nullptr);
  form->Show();
  std::string statement = "SELECT ";
  for (int i = 0; statement.size() < 2980; ++i) statement += "col" + std::to_string(i) + ", ";
  statement += "x FROM t -- end";
  ShowStatement(e, statement);
  const int length = static_cast<int>(statement.size());
  e->CommandProcessor(ecLineEnd, 0, nullptr);
  EXPECT_EQ(e->CaretX(), length + 1);
  EXPECT_GE(e->MaxScrollWidth(), length);
  EXPECT_LE(e->LeftChar(), length);
  EXPECT_GT(e->LeftChar() + e->CharsInWindow(), length);
  const char* bin = std::getenv("TALVIK_BINARY_DIR");
  const std::string dir = std::string(bin ? bin : ".") + "/screenshots";
  std::filesystem::create_directories(dir);
  talvik::gui::UpdateAllWindows(form->Handle());
  EXPECT_TRUE(talvik::gui::RenderWindowToPng(form->Handle(), dir + "/sql-viewer-long-line-end.png"));
}

}  // namespace
