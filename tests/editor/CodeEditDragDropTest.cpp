// Text dragged by the mouse inside one editor and between two, files dropped from the desktop, and
// text committed by an input method, all through messages.
#include "CodeEditTestSupport.h"
#include "platform/gui/ShellAPI.h"

using namespace edittest;
using talvik::gui::InjectMouse;

namespace {

class CodeEditDrag : public CodeEditTest {
 protected:
  void SetUp() override {
    CodeEditTest::SetUp();
    form->SetBounds(0, 0, 640, 260);
    edit->SetBounds(0, 0, 320, 260);
  }
  void TearDown() override {
    CancelDrag();
    CodeEditTest::TearDown();
  }
  // A second editor right of the first.
  TCodeEdit* Other() {
    if (!other_) {
      other_ = new TCodeEdit(form.get());
      other_->SetParent(form.get());
      other_->SetBounds(320, 0, 320, 260);
    }
    return other_;
  }
  static void MouseOn(TCodeEdit* e, UINT msg, TPoint client, ShiftState s = {}) {
    TPoint p = e->ClientToScreen(client);
    guitest::MouseStep(msg, POINT{p.X, p.Y}, {s.shift, s.ctrl, s.alt});
    Application->ProcessMessages();
  }
  static TPoint Cell(TCodeEdit* e, TBufferCoord at) {
    TPoint p = e->RowColumnToPixels(e->BufferToDisplayPos(at));
    return TPoint{p.X + 1, p.Y + e->LineHeight() / 2};
  }
  // Presses on `grab` of the source's selection, moves past the drag distance, moves onto `drop`
  // of the target and releases there with the given keys.
  void DragText(TCodeEdit* from, TBufferCoord grab, TCodeEdit* to, TBufferCoord drop, ShiftState keys = {}) {
    guitest::FakeNow() += 1000;  // never a double click with an earlier press
    TPoint p = Cell(from, grab);
    MouseOn(from, WM_MOUSEMOVE, p);
    MouseOn(from, WM_LBUTTONDOWN, p);
    MouseOn(from, WM_MOUSEMOVE, TPoint{p.X, p.Y + 8});
    ASSERT_TRUE(from->Dragging());
    MouseOn(to, WM_MOUSEMOVE, Cell(to, drop), keys);
    MouseOn(to, WM_LBUTTONUP, Cell(to, drop), keys);
    EXPECT_FALSE(from->Dragging());
  }
  void Undo(TCodeEdit* e) {
    e->SetFocus();
    Key('Z', {.ctrl = true});
  }
  void Redo(TCodeEdit* e) {
    e->SetFocus();
    Key('Z', {.shift = true, .ctrl = true});
  }
  TCodeEdit* other_ = nullptr;
};

// ------------------------------------------------------------------ inside one editor

struct DropCase {
  const char* name;
  const char* text;
  TBufferCoord begin, end;  // the selection dragged
  TBufferCoord grab, drop;
  ShiftState keys;
  const char* expected;  // nullptr: the drop is refused and nothing changes
  TBufferCoord droppedBegin, droppedEnd;
};

const DropCase kDrops[] = {
    {"MoveToAnotherLine",
     "select sid, serial#\nfrom v$session",
     {8, 1},
     {13, 1},
     {9, 1},
     {6, 2},
     {},
     "select serial#\r\nfrom sid, v$session",
     {6, 2},
     {11, 2}},
    {"CtrlCopies",
     "select sid, serial#\nfrom v$session",
     {8, 1},
     {13, 1},
     {9, 1},
     {6, 2},
     {.ctrl = true},
     "select sid, serial#\r\nfrom sid, v$session",
     {6, 2},
     {11, 2}},
    {"MoveLaterOnTheSameLineLandsWhereThatTextWent",
     "select sid, serial#\nfrom v$session",
     {8, 1},
     {13, 1},
     {9, 1},
     {20, 1},
     {},
     "select serial#sid, \r\nfrom v$session",
     {15, 1},
     {20, 1}},
    {"MoveOfTwoLinesBelowThemselves",
     "select sid\nfrom v$session\nwhere 1=1",
     {8, 1},
     {5, 2},
     {9, 1},
     {10, 3},
     {},
     "select  v$session\r\nwhere 1=1sid\r\nfrom",
     {10, 2},
     {5, 3}},
    {"CyrillicMovedBeforeItsLine",
     "-- Сеансы ждут\nselect 1",
     {4, 1},
     {11, 1},
     {5, 1},
     {1, 2},
     {},
     "-- ждут\r\nСеансы select 1",
     {1, 2},
     {8, 2}},
    {"MoveOntoItsOwnFirstCharacterDoesNothing",
     "select sid, serial#",
     {8, 1},
     {13, 1},
     {10, 1},
     {8, 1},
     {},
     nullptr,
     {},
     {}},
    {"MoveOntoItsOwnEndDoesNothing",
     "select sid, serial#",
     {8, 1},
     {13, 1},
     {10, 1},
     {13, 1},
     {},
     nullptr,
     {},
     {}},
    {"CopyOntoItsOwnFirstCharacterDuplicatesIt",
     "select sid, serial#",
     {8, 1},
     {13, 1},
     {10, 1},
     {8, 1},
     {.ctrl = true},
     "select sid, sid, serial#",
     {8, 1},
     {13, 1}},
    {"CopyIntoTheSelectionIsRefused",
     "select sid, serial#",
     {8, 1},
     {13, 1},
     {9, 1},
     {11, 1},
     {.ctrl = true},
     nullptr,
     {},
     {}},
};

class TextDrops : public CodeEditDrag, public ::testing::WithParamInterface<DropCase> {};

TEST_P(TextDrops, LandAndUndoInOneStep) {
  const DropCase& c = GetParam();
  edit->SetText(c.text);
  ShowAndFocus();
  edit->SetCaretAndSelection(c.end, c.begin, c.end);
  const std::string before = edit->Text();
  const int undoItems = edit->UndoList()->ItemCount();
  DragText(edit, c.grab, edit, c.drop, c.keys);
  if (!c.expected) {
    EXPECT_EQ(edit->Text(), before);
    EXPECT_EQ(edit->UndoList()->ItemCount(), undoItems);
    return;
  }
  ASSERT_EQ(edit->Text(), c.expected);
  EXPECT_EQ(edit->BlockBegin(), c.droppedBegin);
  EXPECT_EQ(edit->BlockEnd(), c.droppedEnd);
  EXPECT_EQ(edit->CaretXY(), c.droppedBegin);
  Undo(edit);
  EXPECT_EQ(edit->Text(), before);
  Redo(edit);
  EXPECT_EQ(edit->Text(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Editor, TextDrops, ::testing::ValuesIn(kDrops),
                         [](const ::testing::TestParamInfo<DropCase>& info) { return info.param.name; });

TEST_F(CodeEditDrag, ACopyShowsTheMultipleCursorAndAReleaseWithoutMovingIsAClick) {
  edit->SetText("select sid, serial#\nfrom v$session");
  ShowAndFocus();
  edit->SetCaretAndSelection({13, 1}, {8, 1}, {13, 1});
  guitest::FakeNow() += 1000;
  TPoint p = Cell(edit, {9, 1});
  MouseOn(edit, WM_MOUSEMOVE, p);
  MouseOn(edit, WM_LBUTTONDOWN, p);
  MouseOn(edit, WM_LBUTTONUP, p);
  EXPECT_FALSE(edit->SelAvail());  // a click in the selection puts the caret there
  EXPECT_EQ(edit->CaretXY(), (TBufferCoord{9, 1}));
  edit->SetCaretAndSelection({13, 1}, {8, 1}, {13, 1});
  guitest::FakeNow() += 1000;
  MouseOn(edit, WM_LBUTTONDOWN, p);
  MouseOn(edit, WM_MOUSEMOVE, TPoint{p.X, p.Y + 8});
  MouseOn(edit, WM_MOUSEMOVE, Cell(edit, {3, 2}), {.ctrl = true});
  EXPECT_EQ(GetCursor(), CursorHandle(crMultiDrag));
  EXPECT_EQ(edit->CaretXY(), (TBufferCoord{3, 2}));  // the caret follows the mouse
  EXPECT_EQ(edit->SelText(), "sid, ");               // the selection stays
  MouseOn(edit, WM_MOUSEMOVE, Cell(edit, {4, 2}));
  EXPECT_EQ(GetCursor(), CursorHandle(crDrag));
  // Escape cancels: nothing moves, the caret goes back to where the drag began
  talvik::gui::InjectKey(VK_ESCAPE, true, 0, {});
  Application->ProcessMessages();
  EXPECT_FALSE(edit->Dragging());
  EXPECT_EQ(edit->Text(), "select sid, serial#\r\nfrom v$session");
  EXPECT_EQ(edit->CaretXY(), (TBufferCoord{9, 1}));
  // the button the cancelled drag began with goes up: it drops nothing, and the mouse is at rest again
  MouseOn(edit, WM_LBUTTONUP, Cell(edit, {4, 2}));
  EXPECT_EQ(edit->Text(), "select sid, serial#\r\nfrom v$session");
  EXPECT_GE(GetAsyncKeyState(VK_LBUTTON), 0);
}

TEST_F(CodeEditDrag, DraggingBelowTheWindowScrollsOnTheTimerAndDropsThere) {
  std::string text;
  for (int i = 1; i <= 200; ++i) text += "line " + std::to_string(i) + "\n";
  edit->SetText(text);
  ShowAndFocus();
  edit->SetCaretAndSelection({7, 1}, {1, 1}, {7, 1});  // "line 1"
  guitest::FakeNow() += 1000;
  TPoint p = Cell(edit, {2, 1});
  MouseOn(edit, WM_LBUTTONDOWN, p);
  MouseOn(edit, WM_MOUSEMOVE, TPoint{p.X, p.Y + 8});
  ASSERT_TRUE(edit->Dragging());
  const int lines = edit->LinesInWindow();
  MouseOn(edit, WM_MOUSEMOVE, TPoint{p.X, edit->ClientHeight() + 3});
  for (int tick = 0; tick < 5; ++tick) {
    guitest::FakeNow() += 100;
    Application->ProcessMessages();
  }
  EXPECT_GT(edit->TopLine(), 3);
  EXPECT_EQ(edit->SelText(), "line 1");                    // dragged text keeps its block
  EXPECT_GE(edit->CaretY(), edit->TopLine() + lines - 1);  // the caret at the bottom edge
  const int target = edit->TopLine() + 1;                  // back in the window: no scroll
  MouseOn(edit, WM_MOUSEMOVE, Cell(edit, {1, target}));
  const int top = edit->TopLine();
  guitest::FakeNow() += 500;
  Application->ProcessMessages();
  EXPECT_EQ(edit->TopLine(), top);
  MouseOn(edit, WM_LBUTTONUP, Cell(edit, {1, target}));
  EXPECT_EQ(edit->Lines()->Strings(0), "");
  EXPECT_EQ(edit->Lines()->Strings(target - 1), "line 1line " + std::to_string(target));
  Undo(edit);
  EXPECT_EQ(edit->Lines()->Strings(0), "line 1");
  EXPECT_EQ(edit->Lines()->Strings(target - 1), "line " + std::to_string(target));
}

// ------------------------------------------------------------------ between two editors

TEST_F(CodeEditDrag, BetweenTwoEditorsCopyShiftMovesAndAReadOnlySourceIsOnlyCopied) {
  TCodeEdit* target = Other();
  edit->SetText("select sid, serial#");
  target->SetText("from v$session");
  ShowAndFocus();
  // a copy: the source keeps its text
  edit->SetCaretAndSelection({13, 1}, {8, 1}, {13, 1});
  DragText(edit, {9, 1}, target, {6, 1});
  EXPECT_EQ(target->Text(), "from sid, v$session");
  EXPECT_EQ(edit->Text(), "select sid, serial#");
  EXPECT_EQ(target->SelText(), "sid, ");
  EXPECT_EQ(target->CaretXY(), (TBufferCoord{6, 1}));
  Undo(target);
  EXPECT_EQ(target->Text(), "from v$session");
  // Shift moves: each editor undoes its own part in one step
  edit->SetCaretAndSelection({13, 1}, {8, 1}, {13, 1});
  DragText(edit, {9, 1}, target, {15, 1}, {.shift = true});
  EXPECT_EQ(target->Text(), "from v$sessionsid, ");
  EXPECT_EQ(edit->Text(), "select serial#");
  Undo(target);
  EXPECT_EQ(target->Text(), "from v$session");
  Undo(edit);
  EXPECT_EQ(edit->Text(), "select sid, serial#");
  // a read-only source is copied from even with Shift
  edit->SetReadOnly(true);
  edit->SetCaretAndSelection({13, 1}, {8, 1}, {13, 1});
  DragText(edit, {9, 1}, target, {1, 1}, {.shift = true});
  EXPECT_EQ(target->Text(), "sid, from v$session");
  EXPECT_EQ(edit->Text(), "select sid, serial#");
  EXPECT_EQ(edit->UndoList()->ItemCount(), 0);
}

TEST_F(CodeEditDrag, AReadOnlyEditorRefusesADropAndKeepsItsLists) {
  TCodeEdit* target = Other();
  edit->SetText("select sid, serial#");
  target->SetText("from v$session");
  ShowAndFocus();
  target->SetFocus();
  Key('X', {}, U'x');
  Key('Z', {.ctrl = true});  // one redo item
  target->SetReadOnly(true);
  edit->SetFocus();
  edit->SetCaretAndSelection({13, 1}, {8, 1}, {13, 1});
  guitest::FakeNow() += 1000;
  TPoint p = Cell(edit, {9, 1});
  MouseOn(edit, WM_LBUTTONDOWN, p);
  MouseOn(edit, WM_MOUSEMOVE, TPoint{p.X, p.Y + 8});
  MouseOn(target, WM_MOUSEMOVE, Cell(target, {6, 1}), {.shift = true});
  EXPECT_EQ(GetCursor(), CursorHandle(crNoDrop));
  MouseOn(target, WM_LBUTTONUP, Cell(target, {6, 1}), {.shift = true});
  EXPECT_EQ(target->Text(), "from v$session");
  EXPECT_EQ(edit->Text(), "select sid, serial#");
  EXPECT_EQ(target->UndoList()->ItemCount(), 0);
  EXPECT_EQ(target->RedoList()->ItemCount(), 1);
}

// ------------------------------------------------------------------ files and input methods

TEST_F(CodeEditDrag, FilesReachOnDropFilesOnlyWithTheOption) {
  std::vector<std::string> names;
  TPoint at;
  edit->OnDropFiles = [&](TObject*, int x, int y, TStrings* files) {
    for (int i = 0; i < files->Count(); ++i) names.push_back(files->Strings(i));
    at = TPoint{x, y};
  };
  ShowAndFocus();
  TPoint p = edit->ClientToScreen(TPoint{40, 30});
  // a path longer than the old 260-byte buffers, in Cyrillic
  std::string longName = "/home/dba/";
  while (longName.size() < 400) longName += "отчёт_по_сеансам/";
  longName += "сеансы.sql";
  EXPECT_FALSE(talvik::gui::InjectFileDrop(POINT{p.X, p.Y}, {"/tmp/a.sql"}));
  Pump();
  EXPECT_TRUE(names.empty());
  edit->SetOptions(edit->Options() + eoDropFiles);
  ASSERT_TRUE(talvik::gui::InjectFileDrop(POINT{p.X, p.Y}, {"/tmp/a.sql", longName}));
  Pump();
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[1], longName);
  EXPECT_EQ(at, (TPoint{40, 30}));
  // the option holds over a new window too, and goes with the option
  edit->RecreateWnd();
  ASSERT_TRUE(talvik::gui::InjectFileDrop(POINT{p.X, p.Y}, {"/tmp/b.sql"}));
  Pump();
  EXPECT_EQ(names.back(), "/tmp/b.sql");
  edit->SetOptions(edit->Options() - eoDropFiles);
  EXPECT_FALSE(talvik::gui::InjectFileDrop(POINT{p.X, p.Y}, {"/tmp/c.sql"}));
}

TEST_F(CodeEditDrag, AnInputMethodCommitIsInsertedOnceAndUndoneInOneStep) {
  edit->SetText("select  from dual");
  ShowAndFocus();
  edit->SetCaretXY({8, 1});
  talvik::gui::InjectText("привет");
  Pump();
  EXPECT_EQ(edit->Text(), "select привет from dual");
  EXPECT_EQ(edit->CaretXY(), (TBufferCoord{14, 1}));
  // keys typed after it are typed as usual
  Key('X', {}, U'x');
  EXPECT_EQ(edit->Text(), "select приветx from dual");
  Key('Z', {.ctrl = true});
  Key('Z', {.ctrl = true});
  EXPECT_EQ(edit->Text(), "select  from dual");
  // overwrite mode replaces as many characters as it brings; read-only types nothing
  edit->SetInsertMode(false);
  edit->SetCaretXY({9, 1});
  talvik::gui::InjectText("ВСЁ");
  Pump();
  EXPECT_EQ(edit->Text(), "select  ВСЁm dual");
  edit->SetReadOnly(true);
  talvik::gui::InjectText("ещё");
  Pump();
  EXPECT_EQ(edit->Text(), "select  ВСЁm dual");
}

TEST_F(CodeEditDrag, OpeningTheInputMethodGivesItTheEditorsFont) {
  edit->Font()->SetName("Courier New");
  edit->Font()->SetHeight(-13);
  ShowAndFocus();
  HIMC imc = ImmGetContext(edit->Handle());
  ASSERT_TRUE(imc);
  LOGFONT lf;
  EXPECT_FALSE(ImmGetCompositionFont(imc, &lf));
  ImmSetOpenStatus(imc, true);
  ASSERT_TRUE(ImmGetCompositionFont(imc, &lf));
  EXPECT_EQ(lf.lfFaceName, "Courier New");
  EXPECT_EQ(lf.lfHeight, -13);
  ImmReleaseContext(edit->Handle(), imc);
}

}  // namespace
