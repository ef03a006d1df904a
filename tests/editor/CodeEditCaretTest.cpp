// The editor driven through messages: keys, the mouse, the wheel and the scroll bars move the caret
// and the selection; copying puts the selection on the clipboard in three modes.
#include <algorithm>

#include "CodeEditTestSupport.h"

using namespace edittest;

namespace {

class CodeEditInput : public CodeEditTest {
 protected:
  TBufferCoord Caret() { return edit->CaretXY(); }
  void Click(int column, int row, ShiftState s = {}) {
    TPoint p = CellPoint(column, row);
    Mouse(WM_LBUTTONDOWN, p.X, p.Y, s);
    Mouse(WM_LBUTTONUP, p.X, p.Y, s);
  }
  void Advance(int ms) {
    guitest::FakeNow() += static_cast<uint64_t>(ms);
    Pump();
  }
  // The visible hint window of ours that shows `prefix`, empty when none.
  std::string HintText(const std::string& prefix) {
    for (HWND h : GetTopLevelWindows()) {
      std::string t = GetWindowText(h);
      if (IsWindowVisible(h) && t.rfind(prefix, 0) == 0) return t;
    }
    return std::string();
  }
};

TEST_F(CodeEditInput, MovesAndTheirShiftForms) {
  edit->SetText("alpha beta\n\tgamma\nshort\nthe last line");
  edit->SetOptions(edit->Options() - eoScrollPastEol);
  ShowAndFocus();
  Key(VK_RIGHT);
  Key(VK_RIGHT);
  EXPECT_EQ(Caret(), (TBufferCoord{3, 1}));
  Key(VK_RIGHT, {.ctrl = true});
  EXPECT_EQ(Caret(), (TBufferCoord{7, 1}));  // start of "beta"
  Key(VK_END);
  EXPECT_EQ(Caret(), (TBufferCoord{11, 1}));
  Key(VK_RIGHT);  // past the end: the next line's start
  EXPECT_EQ(Caret(), (TBufferCoord{1, 2}));
  Key(VK_LEFT);
  EXPECT_EQ(Caret(), (TBufferCoord{11, 1}));
  // down onto the tab line keeps the display column: column 11 lies inside "gamma"
  Key(VK_DOWN);
  EXPECT_EQ(Caret(), (TBufferCoord{4, 2}));
  Key(VK_DOWN);  // a short line clamps
  EXPECT_EQ(Caret(), (TBufferCoord{6, 3}));
  Key(VK_HOME);
  Key(VK_RIGHT, {.shift = true});
  Key(VK_RIGHT, {.shift = true});
  Key(VK_DOWN, {.shift = true});
  EXPECT_TRUE(edit->SelAvail());
  EXPECT_EQ(edit->RawBlockBegin(), (TBufferCoord{1, 3}));
  EXPECT_EQ(edit->SelText(), "short\r\nth");
  Key(VK_LEFT);  // a plain move collapses
  EXPECT_FALSE(edit->SelAvail());
  Key(VK_END, {.shift = true, .ctrl = true});
  EXPECT_EQ(edit->SelText(), "he last line");
  Key(VK_HOME, {.ctrl = true});
  EXPECT_EQ(Caret(), (TBufferCoord{1, 1}));
  EXPECT_FALSE(edit->SelAvail());
}

TEST_F(CodeEditInput, ColumnModeByShiftCtrlCAndTheCopiedPieces) {
  edit->SetText("ab\nabcd\nПривет, мир");
  ShowAndFocus();
  Key('C', {.shift = true, .ctrl = true});
  EXPECT_EQ(edit->SelectionMode(), smColumn);
  Key(VK_RIGHT);
  Key(VK_RIGHT, {.shift = true});
  Key(VK_RIGHT, {.shift = true});
  Key(VK_DOWN, {.shift = true});
  Key(VK_DOWN, {.shift = true});
  // every piece is two characters wide, the short line padded, the Cyrillic one cut by characters
  Key('C', {.ctrl = true});
  EXPECT_EQ(ClipboardText(), "b \r\nbc\r\nри");
  std::string block = ClipboardBlock();
  ASSERT_EQ(block.size(), ClipboardText().size() + 2);
  EXPECT_EQ(block[0], static_cast<char>(smColumn));
  EXPECT_EQ(block.substr(1, block.size() - 2), ClipboardText());
  EXPECT_EQ(block.back(), '\0');
}

TEST_F(CodeEditInput, CopyInThreeModes) {
  edit->SetText("один два\nтри четыре\nlast");
  ShowAndFocus();
  edit->SetCaretAndSelection({4, 2}, {6, 1}, {4, 2});
  Key('C', {.ctrl = true});
  EXPECT_EQ(ClipboardText(), "два\r\nтри");
  EXPECT_EQ(ClipboardBlock()[0], static_cast<char>(smNormal));
  // line mode: whole lines, a line end after every line but the buffer's last
  edit->SetSelectionMode(smLine);
  Key('C', {.ctrl = true});
  EXPECT_EQ(ClipboardText(), "один два\r\nтри четыре\r\n");
  edit->SetCaretAndSelection({2, 3}, {2, 2}, {2, 3});
  Key('C', {.ctrl = true});
  EXPECT_EQ(ClipboardText(), "три четыре\r\nlast");
  EXPECT_EQ(ClipboardBlock()[0], static_cast<char>(smLine));
  // select all copies everything whatever the mode was
  edit->SetSelectionMode(smNormal);
  Key('A', {.ctrl = true});
  Key('C', {.ctrl = true});
  EXPECT_EQ(ClipboardText(), "один два\r\nтри четыре\r\nlast");
  EXPECT_EQ(Caret(), (TBufferCoord{5, 3}));
  // WM_COPY does the same
  OpenClipboard(nullptr);
  EmptyClipboard();
  CloseClipboard();
  EXPECT_EQ(edit->Perform(WM_COPY), 1);
  EXPECT_EQ(ClipboardText(), "один два\r\nтри четыре\r\nlast");
}

TEST_F(CodeEditInput, AFailingClipboardRaisesTheCopyMessageAndIsClosed) {
  edit->SetText("text");
  ShowAndFocus();
  edit->SelectAll();
  ASSERT_TRUE(OpenClipboard(nullptr));  // someone else holds it
  try {
    edit->CopyToClipboard();
    CloseClipboard();
    GTEST_SKIP() << "the clipboard opens twice here";
  } catch (const ECodeEditError& e) {
    EXPECT_STREQ(e.what(), "Clipboard copy operation failed");
  }
  CloseClipboard();
  edit->CopyToClipboard();
  EXPECT_EQ(ClipboardText(), "text");
}

TEST_F(CodeEditInput, MousePressDragReleaseShiftClickAndAltDrag) {
  edit->Gutter()->SetVisible(false);
  edit->SetText("first line here\nsecond line\nthird line");
  ShowAndFocus();
  TPoint a = CellPoint(3, 1), b = CellPoint(4, 2);
  Mouse(WM_LBUTTONDOWN, a.X, a.Y);
  Mouse(WM_MOUSEMOVE, b.X, b.Y);
  Mouse(WM_LBUTTONUP, b.X, b.Y);
  EXPECT_EQ(edit->SelText(), "rst line here\r\nsec");
  EXPECT_EQ(Caret(), (TBufferCoord{4, 2}));
  // Shift+click extends from the anchor
  Click(6, 3, {.shift = true});
  EXPECT_EQ(edit->SelText(), "rst line here\r\nsecond line\r\nthird");
  // a press inside the selection without moving collapses it at the click on release
  Click(5, 2);
  EXPECT_FALSE(edit->SelAvail());
  EXPECT_EQ(Caret(), (TBufferCoord{5, 2}));
  // Alt+drag selects a block under eoAltSetsColumnMode
  edit->SetOptions(edit->Options() + eoAltSetsColumnMode);
  a = CellPoint(2, 1);
  b = CellPoint(5, 3);
  Mouse(WM_LBUTTONDOWN, a.X, a.Y, {.alt = true});
  Mouse(WM_MOUSEMOVE, b.X, b.Y, {.alt = true});
  Mouse(WM_LBUTTONUP, b.X, b.Y, {.alt = true});
  EXPECT_EQ(edit->SelectionMode(), smColumn);
  EXPECT_EQ(edit->SelText(), "irs\r\neco\r\nhir");
  Click(1, 1);
  EXPECT_EQ(edit->SelectionMode(), smNormal);
}

TEST_F(CodeEditInput, DoubleClickSelectsACyrillicWord) {
  edit->Gutter()->SetVisible(false);
  edit->SetText("x := 'Чёрный ёж';");
  ShowAndFocus();
  TPoint p = CellPoint(9, 1);
  Mouse(WM_LBUTTONDOWN, p.X, p.Y);
  Mouse(WM_LBUTTONUP, p.X, p.Y);
  Mouse(WM_LBUTTONDOWN, p.X, p.Y);
  Mouse(WM_LBUTTONUP, p.X, p.Y);
  EXPECT_EQ(edit->SelText(), "Чёрный");
  EXPECT_EQ(Caret(), (TBufferCoord{13, 1}));
  EXPECT_EQ(edit->GetWordAtRowCol({15, 1}), "ёж");
}

TEST_F(CodeEditInput, DragBelowTheWindowAutoScrollsOnTimerTicks) {
  std::string text;
  for (int i = 1; i <= 100; ++i) text += "line " + std::to_string(i) + "\n";
  edit->SetText(text);
  ShowAndFocus();
  TPoint a = CellPoint(2, 2);
  Mouse(WM_LBUTTONDOWN, a.X, a.Y);
  int below = edit->LinesInWindow() * edit->LineHeight() + 3;
  Mouse(WM_MOUSEMOVE, a.X, below);
  EXPECT_EQ(edit->TopLine(), 1);
  Advance(100);
  EXPECT_EQ(edit->TopLine(), 2);
  Advance(100);
  Advance(100);
  EXPECT_EQ(edit->TopLine(), 4);
  EXPECT_EQ(edit->CaretY(), edit->TopLine() + edit->LinesInWindow());
  EXPECT_EQ(edit->RawBlockBegin(), (TBufferCoord{2, 2}));
  Mouse(WM_LBUTTONUP, a.X, below);
  Advance(300);
  EXPECT_EQ(edit->TopLine(), 4);  // the timer stopped with the release
}

TEST_F(CodeEditInput, WheelNotchesAccumulate) {
  std::string text;
  for (int i = 1; i <= 100; ++i) text += std::to_string(i) + "\n";
  edit->SetText(text);
  ShowAndFocus();
  edit->SetTopLine(20);
  TPoint p = ScreenOf(50, 50);
  talvik::gui::InjectMouse(WM_MOUSEWHEEL, POINT{p.X, p.Y}, {}, -60);
  Pump();
  EXPECT_EQ(edit->TopLine(), 20);
  talvik::gui::InjectMouse(WM_MOUSEWHEEL, POINT{p.X, p.Y}, {}, -60);
  Pump();
  EXPECT_EQ(edit->TopLine(), 23);
  guitest::MouseStep(WM_MOUSEWHEEL, POINT{p.X, p.Y}, {.ctrl = true}, 120);
  Pump();
  EXPECT_EQ(edit->TopLine(), std::max(1, 23 - edit->LinesInWindow()));
}

TEST_F(CodeEditInput, ThumbTrackingOverFortyThousandLinesWithTheHint) {
  std::string text;
  for (int i = 1; i <= 40000; ++i) text += "select " + std::to_string(i) + " from dual\n";
  edit->SetText(text);
  ShowAndFocus();
  SCROLLINFO si;
  si.fMask = SIF_ALL;
  ASSERT_TRUE(GetScrollInfo(edit->Handle(), SB_VERT, si));
  EXPECT_EQ(si.nMax, 32767);
  int count = edit->DisplayLineCount();
  edit->Perform(WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 16384));
  int expected = static_cast<int>(static_cast<int64_t>(count) * 16384 / 32767);
  EXPECT_EQ(edit->TopLine(), expected);
  EXPECT_TRUE(edit->IsScrolling());
  EXPECT_EQ(HintText("Top Line:"), "Top Line: " + std::to_string(expected));
  // the position set from the top line reads back as the same thumb
  ASSERT_TRUE(GetScrollInfo(edit->Handle(), SB_VERT, si));
  EXPECT_NEAR(si.nPos, 16384, 1);
  edit->Perform(WM_VSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0));
  EXPECT_FALSE(edit->IsScrolling());
  EXPECT_EQ(HintText("Top Line:"), "");
  edit->SetScrollHintFormat(shfTopToBottom);
  edit->Perform(WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 0));
  EXPECT_EQ(HintText("1 - "), "1 - " + std::to_string(edit->LinesInWindow()));
  edit->Perform(WM_VSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0));
  // the one hint of all editors goes with the last of them, while the windows are still there (not
  // in the program's static destruction, after the window system's own tables)
  HWND hint = nullptr;
  for (HWND h : GetTopLevelWindows())
    if (GetWindowText(h).rfind("1 - ", 0) == 0) hint = h;
  ASSERT_NE(hint, nullptr);
  form.reset();
  edit = nullptr;
  EXPECT_FALSE(IsWindow(hint));
}

TEST_F(CodeEditInput, CaretColumnsOverCyrillicAndTabs) {
  edit->Gutter()->SetVisible(false);
  edit->SetText("Привет, мир\n\tx\tyz");
  ShowAndFocus();
  int cw = edit->CharWidth();
  auto caretX = [&] {
    POINT p;
    EXPECT_TRUE(GetCaretPos(p));
    return p.X;
  };
  edit->SetCaretXY({8, 1});  // after "Привет,"
  EXPECT_EQ(edit->DisplayX(), 8);
  EXPECT_EQ(caretX(), 2 + 7 * cw - 1);
  edit->SetCaretXY({3, 2});  // after the tab and x
  EXPECT_EQ(edit->DisplayX(), 10);
  EXPECT_EQ(caretX(), 2 + 9 * cw - 1);
  edit->SetCaretXY({4, 2});  // after the second tab
  EXPECT_EQ(edit->DisplayX(), 17);
  // a click in the middle of a tab's cells lands before or after it, never inside
  Click(12, 2);
  EXPECT_TRUE(edit->CaretX() == 3 || edit->CaretX() == 4);
}

TEST_F(CodeEditInput, FocusCreatesAndDestroysTheCaret) {
  auto* other = new TCodeEdit(form.get());
  other->SetParent(form.get());
  other->SetBounds(0, 200, 100, 50);
  edit->SetBounds(0, 0, 480, 190);
  std::vector<TCodeEditorCommand> seen;
  edit->OnCommandProcessed = [&](TObject*, TCodeEditorCommand& c, char32_t&, void*) { seen.push_back(c); };
  ShowAndFocus();
  POINT p;
  EXPECT_TRUE(GetCaretPos(p));
  other->SetFocus();
  Pump();
  EXPECT_EQ(seen, (std::vector<TCodeEditorCommand>{ecFocusGained, ecFocusLost}));
  edit->SetFocus();
  Pump();
  EXPECT_TRUE(GetCaretPos(p));
  EXPECT_EQ(seen.back(), ecFocusGained);
}

TEST_F(CodeEditInput, StatusChangesArriveOncePerOutermostLock) {
  edit->SetText("one\ntwo\nthree");
  ShowAndFocus();
  std::vector<TCodeStatusChanges> got;
  edit->OnStatusChange = [&](TObject*, TCodeStatusChanges c) { got.push_back(c); };
  edit->IncPaintLock();
  edit->IncPaintLock();
  edit->SetCaretXY({2, 2});
  edit->SetBlockEnd({3, 3});
  edit->SetInsertMode(false);
  edit->DecPaintLock();
  EXPECT_TRUE(got.empty());
  edit->DecPaintLock();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0], scCaretX | scCaretY | scSelection | scInsertMode);
  got.clear();
  Key(VK_DOWN, {.shift = true});  // one command, one notice
  EXPECT_EQ(got.size(), 1u);
}

TEST_F(CodeEditInput, CaretAndBlockLimits) {
  edit->SetText("12345\nab");
  edit->SetOptions(edit->Options() - eoScrollPastEol);
  ShowAndFocus();
  edit->SetCaretX(100);
  EXPECT_EQ(edit->CaretX(), 6);
  edit->SetOptions(edit->Options() + eoScrollPastEol);
  edit->SetCaretX(5000);
  EXPECT_EQ(edit->CaretX(), edit->MaxScrollWidth() + 1);
  edit->SetCaretXY({1, 99});
  EXPECT_EQ(edit->CaretY(), 2);
  // column mode: Shift+Down over equal columns still selects one column
  edit->SetSelectionMode(smColumn);
  edit->SetCaretAndClearSelection({2, 1});
  Key(VK_DOWN, {.shift = true});
  EXPECT_TRUE(edit->SelAvail());
  EXPECT_EQ(edit->SelText(), "2\r\nb");
}

TEST_F(CodeEditInput, RescanStopsWhereTheStoredStateMatchesAgain) {
  SessionSetup(edit);
  std::string text = "/*\n";
  for (int i = 0; i < 30; ++i) text += "inside " + std::to_string(i) + "\n";
  text += "*/\nselect 1 from dual\nselect 2 from dual";
  edit->SetText(text);
  // a change inside the comment leaves every later state alone
  EXPECT_EQ(edit->ScanFrom(9), 9);
  // opening a comment at the end of the text flips only the lines after it
  edit->Lines()->Put(32, "select 1 /* from dual");
  EXPECT_EQ(edit->Lines()->Ranges(33), edit->Lines()->Ranges(5));
  // closing the first comment's opener rescans to the end
  edit->Lines()->Put(0, "--");
  EXPECT_NE(edit->Lines()->Ranges(10), edit->Lines()->Ranges(5) + 1000);
  EXPECT_EQ(edit->Lines()->Ranges(10), edit->Lines()->Ranges(31));
}

TEST_F(CodeEditInput, PropertyLimitsAndTextMessages) {
  edit->SetMaxScrollWidth(0);
  EXPECT_EQ(edit->MaxScrollWidth(), 1);
  edit->SetTabWidth(0);
  EXPECT_EQ(edit->TabWidth(), 1);
  edit->SetTabWidth(300);
  EXPECT_EQ(edit->TabWidth(), 256);
  int undo = edit->MaxUndo();
  edit->SetMaxUndo(-1);
  EXPECT_EQ(edit->MaxUndo(), undo);
  // a proportional font becomes fixed-pitch under the same name and size
  TFont f;
  f.SetName("Arial");
  f.SetHeight(-13);
  edit->SetFont(&f);
  EXPECT_EQ(edit->Font()->Name(), "Arial");
  EXPECT_EQ(edit->Font()->Height(), -13);
  EXPECT_EQ(edit->Font()->Pitch(), fpFixed);
  ShowAndFocus();
  EXPECT_EQ(edit->TextDrawer()->GetCharWidth(), edit->CharWidth());
  // WM_SETTEXT and WM_GETTEXT agree with Text; a one-byte buffer gets nothing
  const char* t = "line 1\r\nстрока 2";
  EXPECT_EQ(edit->Perform(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(t)), -1);
  EXPECT_EQ(edit->Text(), t);
  EXPECT_EQ(edit->Lines()->Count(), 2);
  std::string got;
  EXPECT_EQ(edit->Perform(WM_GETTEXT, 1, reinterpret_cast<LPARAM>(&got)), 0);
  EXPECT_EQ(got, "");
  EXPECT_EQ(edit->Perform(WM_GETTEXT, 0, reinterpret_cast<LPARAM>(&got)), 0);
  EXPECT_EQ(edit->Perform(WM_GETTEXT, 5, reinterpret_cast<LPARAM>(&got)), 4);
  EXPECT_EQ(got, "line");
  EXPECT_EQ(edit->Perform(WM_GETTEXTLENGTH), static_cast<LRESULT>(std::string(t).size()));
  // Alt+Backspace reaches the editor only as its key-down
  std::vector<char32_t> chars;
  edit->OnProcessCommand = [&](TObject*, TCodeEditorCommand& c, char32_t& ch, void*) {
    if (c == ecChar) chars.push_back(ch);
  };
  Key(VK_BACK, {.alt = true}, 8);
  EXPECT_TRUE(chars.empty());
  EXPECT_EQ(edit->Perform(WM_GETDLGCODE) & DLGC_WANTALLKEYS, static_cast<LRESULT>(DLGC_WANTALLKEYS));
}

TEST_F(CodeEditInput, ProcessCommandCanCancelAndUserCommandsReachOnlyTheEvents) {
  edit->SetText("abc");
  ShowAndFocus();
  std::vector<TCodeEditorCommand> processed;
  edit->OnProcessCommand = [](TObject*, TCodeEditorCommand& c, char32_t&, void*) {
    if (c == ecRight) c = ecNone;
  };
  edit->OnCommandProcessed = [&](TObject*, TCodeEditorCommand& c, char32_t&, void*) {
    processed.push_back(c);
  };
  int user = 0;
  edit->OnProcessUserCommand = [&](TObject*, TCodeEditorCommand& c, char32_t&, void*) { user = c; };
  int hookCalls = 0;
  edit->RegisterCommandHandler(
      [&](TObject*, bool after, bool& handled, TCodeEditorCommand& c, char32_t&, void*, void*) {
        ++hookCalls;
        if (!after && c == ecLineEnd) handled = true;
      },
      this, nullptr);
  Key(VK_RIGHT);
  EXPECT_EQ(edit->CaretX(), 1);
  EXPECT_EQ(processed.back(), ecNone);
  Key(VK_END);  // a hook handled it
  EXPECT_EQ(edit->CaretX(), 1);
  edit->CommandProcessor(1234, 0, nullptr);
  EXPECT_EQ(user, 1234);
  EXPECT_EQ(processed.back(), 1234);
  edit->UnregisterCommandHandler(this);
  Key(VK_END);
  EXPECT_EQ(edit->CaretX(), 4);
  EXPECT_EQ(hookCalls, 3);  // before ecLineEnd; before and after the user command
}

TEST_F(CodeEditInput, WordSearchesAndBrackets) {
  SessionSetup(edit);
  edit->SetText("f(a, ')', b) + g(\n  x [1]\n)\nnot a bracket");
  EXPECT_EQ(edit->GetMatchingBracketEx({2, 1}), (TBufferCoord{12, 1}));
  EXPECT_EQ(edit->GetMatchingBracketEx({12, 1}), (TBufferCoord{2, 1}));
  EXPECT_EQ(edit->GetMatchingBracketEx({17, 1}), (TBufferCoord{1, 3}));  // across lines
  EXPECT_EQ(edit->GetMatchingBracketEx({1, 4}), (TBufferCoord{0, 0}));
  ShowAndFocus();
  edit->SetCaretXY({3, 4});
  edit->CommandProcessor(ecMatchBracket, 0, nullptr);
  EXPECT_EQ(edit->CaretXY(), (TBufferCoord{3, 4}));  // no match: the caret stays
  edit->SetCaretXY({17, 1});
  edit->CommandProcessor(ecMatchBracket, 0, nullptr);
  EXPECT_EQ(edit->CaretXY(), (TBufferCoord{1, 3}));
  // word boundaries
  EXPECT_EQ(edit->WordEndEx({4, 4}), (TBufferCoord{4, 4}));        // at a blank
  EXPECT_EQ(edit->NextWordPosEx({14, 4}), (TBufferCoord{14, 4}));  // end of the last line
  EXPECT_EQ(edit->NextWordPosEx({1, 4}), (TBufferCoord{5, 4}));
  EXPECT_EQ(edit->PrevWordPosEx({7, 4}), (TBufferCoord{5, 4}));
  EXPECT_EQ(edit->PrevWordPosEx({1, 4}), (TBufferCoord{2, 3}));
  EXPECT_EQ(edit->WordStartEx({3, 4}), (TBufferCoord{1, 4}));
}

TEST_F(CodeEditInput, BookmarksFollowLinesAndTheGutterClickNamesThem) {
  edit->SetText("1\n2\n3\n4\n5\n6\n7\n8");
  ShowAndFocus();
  edit->SetBookMark(0, 1, 5);
  edit->SetCaretXY({1, 5});
  edit->CommandProcessor(ecSetMarker0, 0, nullptr);  // the same line: cleared
  EXPECT_FALSE(edit->IsBookmark(0));
  edit->SetBookMark(0, 1, 5);
  edit->SetCaretXY({1, 7});
  edit->CommandProcessor(ecSetMarker0, 0, nullptr);  // another line: moved
  int x = 0, y = 0;
  ASSERT_TRUE(edit->GetBookMark(0, x, y));
  EXPECT_EQ(y, 7);
  edit->SetBookMark(3, 1, 99);  // beyond the last line: nothing
  EXPECT_FALSE(edit->IsBookmark(3));
  edit->SetBookMark(4, 1, 2);
  edit->DoLinesInserted(2, 3);
  edit->GetBookMark(0, x, y);
  EXPECT_EQ(y, 10);
  edit->GetBookMark(4, x, y);
  EXPECT_EQ(y, 5);
  edit->DoLinesDeleted(3, 4);
  edit->GetBookMark(4, x, y);
  EXPECT_EQ(y, 3);
  edit->GetBookMark(0, x, y);
  EXPECT_EQ(y, 6);
  edit->SetCaretXY({1, 1});
  edit->CommandProcessor(ecGotoMarker0, 0, nullptr);
  EXPECT_EQ(edit->CaretY(), 6);
  int clickedLine = 0;
  TCodeEditMark* clicked = nullptr;
  edit->OnGutterClick = [&](TObject*, TMouseButton, int, int, int line, TCodeEditMark* mark) {
    clickedLine = line;
    clicked = mark;
  };
  int lh = edit->LineHeight();
  Mouse(WM_LBUTTONDOWN, 5, 2 * lh + lh / 2);
  Mouse(WM_LBUTTONUP, 5, 2 * lh + lh / 2);
  EXPECT_EQ(clickedLine, 3);
  ASSERT_NE(clicked, nullptr);
  EXPECT_EQ(clicked->BookmarkNumber(), 4);
}

// The session window's two statement editors share one highlighter.
TEST_F(CodeEditInput, SessionEditorsShareAHighlighterAndSurviveManyTexts) {
  SessionSetup(edit);
  auto* cursor = new TCodeEdit(form.get());
  cursor->SetParent(form.get());
  cursor->SetBounds(0, 200, 480, 60);
  edit->SetBounds(0, 0, 480, 190);
  SessionSetup(cursor);
  for (TCodeEdit* e : {edit, static_cast<TCodeEdit*>(cursor)}) {
    int i = e->Keystrokes()->FindCommand(ecContextHelp);
    ASSERT_GE(i, 0);
    e->Keystrokes()->Items(i)->SetShortCut(ShortCut(VK_F1, TShiftState{ssCtrl}));
  }
  std::string helpWord;
  edit->OnContextHelp = [&](TObject*, const std::string& w) { helpWord = w; };
  ShowAndFocus();
  for (int i = 0; i < 1000; ++i) {
    edit->SetText("select sid, serial# from v$session where sid = " + std::to_string(i));
    cursor->SetText("select * from dual /* " + std::to_string(i) + " */");
  }
  EXPECT_EQ(edit->Lines()->Count(), 1);
  EXPECT_EQ(edit->UndoList()->ItemCount(), 0);
  EXPECT_EQ(edit->TopLine(), 1);
  EXPECT_TRUE(edit->ReadOnly());
  EXPECT_EQ(edit->GutterWidth(), 0);
  edit->SetCaretXY({9, 1});
  Key(VK_F1);
  EXPECT_EQ(helpWord, "");
  Key(VK_F1, {.ctrl = true});
  EXPECT_EQ(helpWord, "sid");
  Key('A', {.ctrl = true});
  Key('C', {.ctrl = true});
  EXPECT_EQ(ClipboardText(), "select sid, serial# from v$session where sid = 999");
  // the highlighter goes first: both editors let go of it
  highlighter.reset();
  EXPECT_EQ(edit->Highlighter(), nullptr);
  EXPECT_EQ(cursor->Highlighter(), nullptr);
  Pump();
}

}  // namespace

namespace {

std::string Stored(TCodeEdit* e) {
  TMemoryStream stream;
  TWriter w(&stream);
  w.WriteRootComponent(e);
  return std::string(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
}

TEST_F(CodeEditInput, KeyMapIsStoredAsItsDifferenceFromTheDefaults) {
  auto plain = std::make_unique<TCodeEdit>(nullptr);
  std::string s = Stored(plain.get());
  EXPECT_EQ(s.find("RemovedKeystrokes"), std::string::npos);
  EXPECT_EQ(s.find("AddedKeystrokes"), std::string::npos);

  auto remapped = std::make_unique<TCodeEdit>(nullptr);
  int i = remapped->Keystrokes()->FindCommand(ecContextHelp);
  ASSERT_GE(i, 0);
  remapped->Keystrokes()->Items(i)->SetShortCut(ShortCut(VK_F1, TShiftState{ssCtrl}));
  s = Stored(remapped.get());
  EXPECT_NE(s.find("RemovedKeystrokes"), std::string::npos);
  EXPECT_NE(s.find("AddedKeystrokes"), std::string::npos);
  EXPECT_NE(s.find("ecContextHelp"), std::string::npos);

  TMemoryStream stream;
  stream.WriteBuffer(s.data(), static_cast<int64_t>(s.size()));
  stream.SetPosition(0);
  auto loaded = std::make_unique<TCodeEdit>(nullptr);
  TReader r(&stream);
  r.ReadRootComponent(loaded.get());
  EXPECT_LT(loaded->Keystrokes()->FindShortcut(ShortCut(VK_F1, {})), 0);
  int j = loaded->Keystrokes()->FindShortcut(ShortCut(VK_F1, TShiftState{ssCtrl}));
  ASSERT_GE(j, 0);
  EXPECT_EQ(loaded->Keystrokes()->Items(j)->Command(), ecContextHelp);
  EXPECT_EQ(loaded->Keystrokes()->Count(), remapped->Keystrokes()->Count());
}

}  // namespace

// A control the editor hands its focus to (a completion list, a find box) may go while the editor
// keeps it in its list: the editor then takes the focus itself.
TEST_F(CodeEditInput, AFocusControlThatGoesIsForgotten) {
  form->Show();
  Pump();
  auto* box = new TCodeEdit(form.get());  // another editor stands in for a find box
  box->SetParent(form.get());
  box->SetBounds(0, 200, 100, 20);
  edit->AddFocusControl(box);
  edit->SetFocus();
  Pump();
  EXPECT_TRUE(box->Focused());
  delete box;
  edit->SetFocus();
  Pump();
  EXPECT_TRUE(edit->Focused());
}

namespace {

// A selection whose length is counted: the text, the mode, the two ends, and whether trailing
// blanks are trimmed (which stops a column block from padding its short pieces).
struct SelLengthCase {
  const char* name;
  const char* text;
  TCodeSelectionMode mode;
  TBufferCoord begin;
  TBufferCoord end;
  bool trimTrailing;
};

constexpr const char* kMixedText =
    "select\ts.sid, 'Привет' from dual\n"
    "\t\tКлюч 😀 =  1   \n"
    "\n"
    "x\n"
    "end;";

const SelLengthCase kSelLengths[] = {
    {"NormalInsideOneLine", kMixedText, smNormal, {3, 1}, {20, 1}, false},
    {"NormalAcrossLinesWithTabsAndCyrillic", kMixedText, smNormal, {8, 1}, {6, 2}, false},
    {"NormalEndingOnAnEmptyLine", kMixedText, smNormal, {4, 2}, {1, 3}, false},
    {"NormalWholeText", kMixedText, smNormal, {1, 1}, {5, 5}, false},
    {"NormalWithTrimmedBlanksIsUntouched", kMixedText, smNormal, {1, 2}, {2, 4}, true},
    {"LineInTheMiddle", kMixedText, smLine, {3, 2}, {1, 4}, false},
    {"LineToTheLastLine", kMixedText, smLine, {5, 3}, {2, 5}, false},
    {"LineFromAnEmptyLine", kMixedText, smLine, {1, 3}, {1, 4}, false},
    {"ColumnInsideTheLines", kMixedText, smColumn, {2, 1}, {9, 2}, false},
    {"ColumnPastTheEndsIsPadded", kMixedText, smColumn, {4, 1}, {40, 5}, false},
    {"ColumnPastTheEndsTrimmedIsNotPadded", kMixedText, smColumn, {4, 1}, {40, 5}, true},
    {"ColumnEntirelyPastTheEnds", kMixedText, smColumn, {50, 2}, {70, 4}, false},
    {"ColumnFarRightOfShortLines", "a\nbb\nccc", smColumn, {2, 1}, {3000, 3}, false},
    {"ColumnWithFourByteCharacters", "😀😀😀😀\nа😀б😀в\n\t😀", smColumn, {2, 1}, {4, 3}, false},
    {"NothingSelected", kMixedText, smNormal, {3, 2}, {3, 2}, false},
};

class SelLengths : public CodeEditTest, public ::testing::WithParamInterface<SelLengthCase> {};

// The length of the selection is the number of characters of the text SelText builds, line ends
// (CR LF) included, whatever the mode.
TEST_P(SelLengths, CountTheCharactersOfTheSelectedText) {
  const SelLengthCase& c = GetParam();
  edit->SetText(c.text);
  edit->SetOptions(c.trimTrailing ? edit->Options() + eoTrimTrailingSpaces
                                  : edit->Options() - eoTrimTrailingSpaces);
  edit->SetSelectionMode(c.mode);
  edit->SetCaretAndSelection(c.end, c.begin, c.end);
  const std::string text = edit->SelText();
  EXPECT_EQ(edit->SelLength(), Utf8Length(text)) << "selected text: \"" << text << "\"";
  EXPECT_EQ(text.empty(), std::string(c.name) == "NothingSelected");
}

INSTANTIATE_TEST_SUITE_P(Editor, SelLengths, ::testing::ValuesIn(kSelLengths),
                         [](const ::testing::TestParamInfo<SelLengthCase>& info) { return info.param.name; });

}  // namespace
