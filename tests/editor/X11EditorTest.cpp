// The editor under an X server (run through xvfb-run -a): SQL typed with xdotool through the Latin
// and the Russian layout, with the clipboard and undo keys pressed under the Russian one, and the
// screen saved with the session window's and the options dialog's editors. Each step waits on a
// state with a time-out.
#include <gtest/gtest.h>

#include "editor/CodeEdit.h"
#include "editor/CodeHighlighterSQL.h"
#include "gui/X11TestSupport.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/WinManager.h"
#include "tests/editor/CodeEditTestSupport.h"

using x11test::ScreenshotDir;
using x11test::Shell;
using x11test::WaitFor;

namespace {

constexpr COLORREF kSelection = RGB(10, 36, 106);

class X11Editor : public ::testing::Test {
 protected:
  void SetUp() override {
    X11TEST_START_TOOLKIT();
    SetClipboardBackend(MakeMemoryClipboard());
    x11test::UsKeyboard();
    highlighter = edittest::SessionHighlighter();
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);  // no window manager: the window stands where we put it
    form->SetBounds(40, 40, 520, 300);
    form->SetCaption("TalvikX11Editor");
    edit = new TCodeEdit(form.get());
    edit->SetParent(form.get());
    edit->SetBounds(0, 0, 520, 300);
  }
  void TearDown() override {
    form.reset();
    highlighter.reset();
    x11test::UsKeyboard();
  }
  void ShowForm() {
    form->Show();
    ASSERT_TRUE(WaitFor([] { return Shell("xdotool search --name TalvikX11Editor"); }));
    Shell("xdotool search --name TalvikX11Editor windowfocus");
    edit->SetFocus();
    Application->ProcessMessages();
  }
  bool TextBecomes(const std::string& text) {
    return WaitFor([&] { return edit->Text() == text; });
  }
  // A pixel of the editor's client area as our window shows it.
  COLORREF Pixel(int x, int y) {
    TPoint c = edit->ClientToScreen(TPoint{x, y});
    RECT f;
    GetWindowRect(form->Handle(), f);
    return talvik::gui::WindowPixel(form->Handle(), c.X - f.Left, c.Y - f.Top);
  }
  void Grab(const std::string& name) {
    x11test::Settle();
    EXPECT_TRUE(talvik::gui::GrabDisplayToPng(ScreenshotDir() + "/" + name));
  }
  std::unique_ptr<TCodeSQLHighlighter> highlighter;
  std::unique_ptr<TForm> form;
  TCodeEdit* edit = nullptr;
};

}  // namespace

TEST_F(X11Editor, SqlTypedInLatinAndRussianWithClipboardAndUndoUnderTheRussianLayout) {
  edittest::CustomSetup(edit, highlighter.get());
  ShowForm();
  Shell("xdotool type --delay 20 'select sid, serial#'");
  ASSERT_TRUE(TextBecomes("select sid, serial#")) << edit->Text();
  Shell("xdotool key Return");
  Shell("xdotool type --delay 20 'from v$session'");
  ASSERT_TRUE(TextBecomes("select sid, serial#\r\nfrom v$session")) << edit->Text();
  // the Latin and the Russian layout, the Menu key switching to the Russian one; xdotool presses the
  // physical keys that carry these letters there (it chooses the group of a key by its symbol)
  ASSERT_TRUE(Shell("setxkbmap -layout us,ru -option grp:menu_toggle"));
  Shell("xdotool key Menu");
  Shell(
      "xdotool key Return minus minus space Cyrillic_es Cyrillic_ie Cyrillic_a Cyrillic_en Cyrillic_es "
      "Cyrillic_yeru");
  const std::string typed = "select sid, serial#\r\nfrom v$session\r\n-- сеансы";
  ASSERT_TRUE(TextBecomes(typed)) << edit->Text();
  // Shift+Ctrl+Left selects the word; Ctrl+C, Ctrl+V and Ctrl+Z by the keys that carry C, V and Z
  Shell("xdotool key shift+ctrl+Left");
  ASSERT_TRUE(WaitFor([&] { return edit->SelText() == "сеансы"; })) << edit->SelText();
  Shell("xdotool key ctrl+Cyrillic_es");
  ASSERT_TRUE(WaitFor([] {
    std::string s;
    OpenClipboard(nullptr);
    GetClipboardData(CF_TEXT, s);
    CloseClipboard();
    return s == "сеансы";
  }));
  Shell("xdotool key End space ctrl+Cyrillic_em");
  ASSERT_TRUE(TextBecomes(typed + " сеансы")) << edit->Text();
  Shell("xdotool key ctrl+Cyrillic_ya");
  EXPECT_TRUE(TextBecomes(typed + " ")) << edit->Text();
  // three bookmarks by Ctrl+Shift+digit, and a column block, for the picture
  Shell("xdotool key ctrl+Home ctrl+shift+1 Down ctrl+shift+2 Down ctrl+shift+3");
  ASSERT_TRUE(WaitFor([&] { return edit->Marks()->Count() == 3; }));
  edit->SetSelectionMode(smColumn);
  edit->SetCaretAndSelection({10, 3}, {3, 1}, {10, 3});
  Grab("x11-editor-custom.png");
  const int lh = edit->LineHeight(), cw = edit->CharWidth(), gx = edit->GutterWidth() + 2;
  // probes on the top pixel row of a line, which no glyph reaches
  EXPECT_EQ(Pixel(gx + 5 * cw, lh), kSelection);                          // inside the block, line 2
  EXPECT_NE(Pixel(gx + 15 * cw, lh), kSelection);                         // right of it
  EXPECT_NE(Pixel(edit->GutterWidth() / 2, 5 * lh), RGB(255, 255, 255));  // the gutter
}

TEST_F(X11Editor, SessionSampleAndColumnSelectionOnTheScreen) {
  edit->SetReadOnly(true);
  edit->Font()->SetName("Courier New");
  edit->Font()->SetHeight(-13);
  edit->SetHighlighter(highlighter.get());
  edit->Gutter()->SetShowLineNumbers(true);
  edit->SetText(edittest::kOracleSample);
  edit->SetBookMark(1, 1, 3);
  edit->SetBookMark(2, 1, 9);
  ShowForm();
  edit->SetCaretAndSelection({5, 4}, {3, 2}, {5, 4});
  Grab("x11-editor-session-sample.png");
  const int lh = edit->LineHeight(), cw = edit->CharWidth(), gx = edit->GutterWidth() + 2;
  // probes on the top pixel row of a line, which no glyph reaches
  EXPECT_EQ(Pixel(gx + 10 * cw, lh * 2), kSelection);          // selected, line 3
  EXPECT_EQ(Pixel(gx + 10 * cw, lh * 5), RGB(255, 255, 255));  // not selected, line 6
  edit->SetSelectionMode(smColumn);
  edit->SetCaretAndSelection({12, 6}, {3, 2}, {12, 6});
  Grab("x11-editor-column-selection.png");
  EXPECT_EQ(Pixel(gx + 5 * cw, lh * 3), kSelection);           // inside the block
  EXPECT_EQ(Pixel(gx + 14 * cw, lh * 3), RGB(255, 255, 255));  // right of it
}
