// The in-process control drag: a threshold before it starts, CM_DRAG to the control under the
// cursor, the drop, and Esc or a lost capture cancelling it.
#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "platform/gui/StdCtrls.h"
#include "platform/gui/WinManager.h"

using namespace guitest;
using talvik::gui::InjectKey;
using talvik::gui::InjectMouse;

namespace {

class Drag : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    CreateApplication();
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(100, 100, 400, 300);
    source = new TListBox(form.get());
    source->SetParent(form.get());
    source->SetBounds(10, 10, 120, 100);
    source->Items()->Add("SID 42");
    source->SetDragMode(dmAutomatic);
    target = new TEdit(form.get());
    target->SetParent(form.get());
    target->SetBounds(200, 10, 150, 24);
    other = new TEdit(form.get());
    other->SetParent(form.get());
    other->SetBounds(200, 100, 150, 24);
    target->OnDragOver = [this](TObject*, TObject* src, int, int, TDragState state, bool& accept) {
      states.push_back(state);
      accept = src == source;
    };
    target->OnDragDrop = [this](TObject*, TObject* src, int X, int) {
      dropped.push_back(static_cast<TListBox*>(src)->Items()->Strings(0) + " at " + std::to_string(X));
    };
    source->OnEndDrag = [this](TObject*, TObject* on, int, int) { ended.push_back(on); };
    form->Show();
    Application->ProcessMessages();
  }
  void TearDown() override {
    CancelDrag();
    form.reset();
    GuiTest::TearDown();
  }
  static void Mouse(UINT msg, TPoint p) {
    InjectMouse(msg, p);
    Application->ProcessMessages();
  }
  std::unique_ptr<TForm> form;
  TListBox* source = nullptr;
  TEdit* target = nullptr;
  TEdit* other = nullptr;
  std::vector<TDragState> states;
  std::vector<std::string> dropped;
  std::vector<TObject*> ended;
};

}  // namespace

TEST_F(Drag, StartsPastTheThresholdTellsTheTargetAndDrops) {
  TPoint from = source->ClientToScreen({10, 5});
  Mouse(WM_MOUSEMOVE, from);
  Mouse(WM_LBUTTONDOWN, from);
  EXPECT_EQ(DragSource(), source);
  EXPECT_FALSE(source->Dragging());  // pending until the mouse moves far enough
  Mouse(WM_MOUSEMOVE, {from.X + 1, from.Y});
  EXPECT_FALSE(source->Dragging());
  Mouse(WM_MOUSEMOVE, {from.X + 10, from.Y});
  EXPECT_TRUE(source->Dragging());
  TPoint over = target->ClientToScreen({30, 5});
  Mouse(WM_MOUSEMOVE, over);
  EXPECT_EQ(GetCursor(), CursorHandle(crDrag));
  Mouse(WM_MOUSEMOVE, {over.X + 5, over.Y});
  TPoint refusing = other->ClientToScreen({30, 5});
  Mouse(WM_MOUSEMOVE, refusing);
  EXPECT_EQ(GetCursor(), CursorHandle(crNoDrop));
  Mouse(WM_MOUSEMOVE, over);
  Mouse(WM_LBUTTONUP, over);
  EXPECT_FALSE(source->Dragging());
  EXPECT_EQ(DragSource(), nullptr);
  EXPECT_EQ(states, (std::vector<TDragState>{dsDragEnter, dsDragMove, dsDragLeave, dsDragEnter}));
  EXPECT_EQ(dropped, std::vector<std::string>{"SID 42 at 30"});
  EXPECT_EQ(ended, std::vector<TObject*>{target});
  EXPECT_NE(GetCapture(), source->Handle());
}

TEST_F(Drag, EscOrALostCaptureCancelsAndAClickIsNoDrag) {
  TPoint from = source->ClientToScreen({10, 5});
  TPoint over = target->ClientToScreen({30, 5});
  source->BeginDrag(true);
  Mouse(WM_MOUSEMOVE, over);
  InjectKey(VK_ESCAPE, true, 27, {});
  Application->ProcessMessages();
  EXPECT_EQ(DragSource(), nullptr);
  Mouse(WM_LBUTTONUP, over);
  EXPECT_TRUE(dropped.empty());
  EXPECT_EQ(ended, std::vector<TObject*>{nullptr});
  EXPECT_EQ(states.back(), dsDragLeave);
  // the capture taken away ends it too
  source->BeginDrag(true);
  Mouse(WM_MOUSEMOVE, over);
  ReleaseCapture();
  Application->ProcessMessages();
  EXPECT_EQ(DragSource(), nullptr);
  EXPECT_TRUE(dropped.empty());
  // press and release in place: the list box sees its click, no drag happens
  int clicks = 0;
  source->OnClick = [&](TObject*) { ++clicks; };
  source->SetItemIndex(-1);
  Mouse(WM_MOUSEMOVE, from);
  Mouse(WM_LBUTTONDOWN, from);
  Mouse(WM_LBUTTONUP, from);
  EXPECT_EQ(DragSource(), nullptr);
  EXPECT_EQ(source->ItemIndex(), 0);
  EXPECT_EQ(ended.size(), 2u);
}

// A control that goes in the middle of a drag leaves it: as its source the drag ends without a
// drop, as its target the drag goes on without it.
TEST_F(Drag, SourceFreedDuringTheDragEndsItWithoutADrop) {
  TPoint over = target->ClientToScreen({30, 5});
  source->BeginDrag(true);
  Mouse(WM_MOUSEMOVE, over);
  ASSERT_EQ(DragSource(), source);
  delete source;
  source = nullptr;
  EXPECT_EQ(DragSource(), nullptr);
  Mouse(WM_MOUSEMOVE, {over.X + 5, over.Y});
  Mouse(WM_LBUTTONUP, over);
  EXPECT_TRUE(dropped.empty());
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(Drag, TargetFreedDuringTheDragIsForgotten) {
  TPoint over = target->ClientToScreen({30, 5});
  // the drag starts on the source, wherever the pointer was left before
  Mouse(WM_MOUSEMOVE, source->ClientToScreen({10, 5}));
  source->BeginDrag(true);
  Mouse(WM_MOUSEMOVE, over);
  ASSERT_EQ(states, std::vector<TDragState>{dsDragEnter});
  delete target;
  target = nullptr;
  Mouse(WM_MOUSEMOVE, {over.X + 5, over.Y});
  Mouse(WM_LBUTTONUP, {over.X + 5, over.Y});
  EXPECT_EQ(DragSource(), nullptr);
  EXPECT_TRUE(dropped.empty());
  EXPECT_EQ(ended, std::vector<TObject*>{nullptr});
}
