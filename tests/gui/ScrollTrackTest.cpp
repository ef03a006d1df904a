// Scroll-bar thumbs dragged past position 32,767: the lists follow the bar's 32-bit track position.
#include <gtest/gtest.h>

#include <string>

#include "GuiTestSupport.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/GuiPrivate.h"
#include "platform/gui/StdCtrls.h"

using namespace guitest;

namespace {

constexpr int kRows = 40000;

class ScrollTrack : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    CreateApplication();
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(100, 100, 400, 300);
  }
  void TearDown() override {
    form.reset();
    GuiTest::TearDown();
  }
  // Presses the vertical thumb of `h`, moves the mouse `dy` pixels down and releases it.
  static void DragThumb(HWND h, int dy) {
    auto l = talvik::gui::detail::GetScrollBarLayout(h, SB_VERT);
    ASSERT_FALSE(l.disabled);
    RECT wr;
    GetWindowRect(h, wr);
    POINT client{0, 0};
    ClientToScreen(h, client);
    POINT grab{wr.Left + (l.thumb.Left + l.thumb.Right) / 2, wr.Top + (l.thumb.Top + l.thumb.Bottom) / 2};
    // under capture the moves arrive in client coordinates
    PostMessage(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(grab.X - client.X, grab.Y - client.Y + dy));
    PostMessage(h, WM_LBUTTONUP, 0, MAKELPARAM(grab.X - client.X, grab.Y - client.Y + dy));
    SendMessage(h, WM_NCLBUTTONDOWN, HTVSCROLL, MAKELPARAM(grab.X, grab.Y));
  }
  std::unique_ptr<TForm> form;
};

}  // namespace

TEST_F(ScrollTrack, ListBoxDraggedToTheEndOfFortyThousandRowsShowsTheLastRows) {
  auto* list = new TListBox(form.get());
  list->SetParent(form.get());
  list->SetBounds(10, 10, 200, 10 * 16 + 4);
  list->Items()->BeginUpdate();
  for (int i = 0; i < kRows; ++i) list->Items()->Add(std::to_string(i));
  list->Items()->EndUpdate();
  form->Show();
  Application->ProcessMessages();
  DragThumb(list->Handle(), 1000);
  EXPECT_GT(list->TopIndex(), kRows - 20);
  // half way lands half way, past the 16-bit range too
  list->SetTopIndex(0);
  auto l = talvik::gui::detail::GetScrollBarLayout(list->Handle(), SB_VERT);
  int travel = (l.arrow2.Top - l.arrow1.Bottom) - l.thumb.Height();
  DragThumb(list->Handle(), travel * 9 / 10);
  EXPECT_GT(list->TopIndex(), kRows * 8 / 10);
  EXPECT_LT(list->TopIndex(), kRows);
}

TEST_F(ScrollTrack, ListViewDraggedToTheEndOfFortyThousandRowsShowsTheLastRows) {
  auto* view = new TListView(form.get());
  view->SetParent(form.get());
  view->SetBounds(10, 10, 300, 200);
  view->SetViewStyle(vsReport);
  view->Columns()->Add()->SetCaption("SID");
  view->Items()->BeginUpdate();
  for (int i = 0; i < kRows; ++i) view->Items()->Add()->SetCaption(std::to_string(i));
  view->Items()->EndUpdate();
  form->Show();
  Application->ProcessMessages();
  DragThumb(view->Handle(), 1000);
  ASSERT_NE(view->TopItem(), nullptr);
  EXPECT_GT(view->TopItem()->Index(), kRows - 30);
}

TEST_F(ScrollTrack, MessageSentByHandWithAnotherPositionStandsAsSent) {
  auto* list = new TListBox(form.get());
  list->SetParent(form.get());
  list->SetBounds(10, 10, 200, 10 * 16 + 4);
  for (int i = 0; i < 100; ++i) list->Items()->Add(std::to_string(i));
  form->Show();
  Application->ProcessMessages();
  list->Perform(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 42), 0);
  EXPECT_EQ(list->TopIndex(), 42);
}

TEST_F(ScrollTrack, ScrollBarControlDraggedPastTheSixteenBitRangeKeepsItsPosition) {
  auto* bar = new TScrollBar(form.get());
  bar->SetParent(form.get());
  bar->SetBounds(10, 10, 300, 17);
  bar->SetParams(0, 0, 100000);
  std::vector<int> scrolled;
  bar->OnScroll = [&](TObject*, TScrollCode, int& pos) { scrolled.push_back(pos); };
  form->Show();
  Application->ProcessMessages();
  // the thumb starts right of the left arrow; drag it most of the way
  TPoint at = bar->ClientToScreen({17 + 4, 8});
  talvik::gui::InjectMouse(WM_MOUSEMOVE, at);
  talvik::gui::InjectMouse(WM_LBUTTONDOWN, at);
  talvik::gui::InjectMouse(WM_MOUSEMOVE, {at.X + 240, at.Y});
  talvik::gui::InjectMouse(WM_LBUTTONUP, {at.X + 240, at.Y});
  Application->ProcessMessages();
  ASSERT_FALSE(scrolled.empty());
  EXPECT_GT(bar->Position(), 70000);
  EXPECT_EQ(scrolled.back(), bar->Position());
}
