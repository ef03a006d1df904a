// Docks on a form with fake dockable windows: rows and geometry, the dock's own thickness, lists and
// events of the docking transition, floating and docking back, and drags driven by injected input.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/SysUtils.h"
#include "toolbar/BarDock.h"
#include "toolbar/BarDockTestSupport.h"

namespace {

using talvik::gui::InjectMouse;
using toolbartest::TFakeBar;

class BarDockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    toolbartest::StartOnOneScreen();
    form_ = std::make_unique<TForm>(nullptr);
    form_->SetBorderStyle(bsNone);
    form_->SetBounds(100, 100, 600, 300);
    top_ = new TBarDock(form_.get());
    top_->SetName("TBDockTop");
    top_->SetParent(form_.get());
  }
  void TearDown() override {
    ReleaseCapture();
    form_.reset();
    talvik::gui::ProcessPending();
    talvik::gui::SetScreens({});
  }

  // A bar with the docked frame and a single handle making its full length `Full` (10 of frame).
  TFakeBar* Bar(const std::string& Name, int Full, int Row, int Pos, TBarDock* Dock,
                TBarShrinkMode Mode = tbsmChevron, int Minimum = 40) {
    auto* bar = new TFakeBar(form_.get(), Name, Full - 10, 18, Mode, Minimum);
    bar->SetDockRow(Row);
    bar->SetDockPos(Pos);
    if (Dock) bar->SetParent(Dock);
    return bar;
  }
  // The main window's dock: the menu bar on row 0 and three toolbars on row 1.
  void MainWindowBars() {
    menu_ = Bar("ToolBarMainMenu", 200, 0, 0, top_, tbsmWrap, 0);
    menu_->SetFullSize(true);
    connect_ = Bar("ToolBarConnect", 150, 1, 0, top_);
    view_ = Bar("ToolBarView", 50, 1, 160, top_, tbsmChevron, 30);
    session_ = Bar("ToolBarSession", 80, 1, 215, top_, tbsmChevron, 30);
  }

  std::unique_ptr<TForm> form_;
  TBarDock* top_ = nullptr;
  TFakeBar *menu_ = nullptr, *connect_ = nullptr, *view_ = nullptr, *session_ = nullptr;
};

TEST_F(BarDockTest, EmptyDockIsFlatOrOnePixelWithFixAlign) {
  form_->Show();
  EXPECT_EQ(top_->Height(), 0);
  top_->SetFixAlign(true);
  EXPECT_EQ(top_->Height(), 1);
  top_->SetFixAlign(false);
  EXPECT_EQ(top_->Height(), 0);
}

TEST_F(BarDockTest, MainWindowLayoutPlacesEachBar) {
  MainWindowBars();
  form_->Show();
  EXPECT_EQ(top_->Height(), 44);
  EXPECT_EQ(menu_->BoundsRect(), Rect(0, 0, 600, 22));
  EXPECT_EQ(connect_->BoundsRect(), Rect(0, 22, 150, 44));
  EXPECT_EQ(view_->BoundsRect(), Rect(160, 22, 210, 44));
  EXPECT_EQ(session_->BoundsRect(), Rect(215, 22, 295, 44));
  // The docked frame and handle come off the client area.
  EXPECT_EQ(connect_->ClientRect(), Rect(0, 0, 140, 18));
  EXPECT_EQ(top_->DockVisibleList().size(), 4u);
}

TEST_F(BarDockTest, NarrowingTheFormClosesGapsThenShrinksThenWraps) {
  MainWindowBars();
  form_->Show();
  form_->SetBounds(100, 100, 285, 300);
  EXPECT_EQ(view_->Left(), 155);
  EXPECT_EQ(session_->Left(), 205);
  EXPECT_EQ(top_->Height(), 44);
  form_->SetBounds(100, 100, 250, 300);
  EXPECT_EQ(session_->BoundsRect(), Rect(200, 22, 250, 44));
  EXPECT_EQ(session_->DockedLength(), 50);
  form_->SetBounds(100, 100, 90, 300);
  EXPECT_EQ(session_->EffectiveDockRow(), 2);
  EXPECT_EQ(top_->Height(), 66);
  // Widening brings the design layout back: the arrangement never wrote the positions.
  form_->SetBounds(100, 100, 600, 300);
  EXPECT_EQ(session_->BoundsRect(), Rect(215, 22, 295, 44));
  EXPECT_EQ(session_->DockedLength(), 0);
}

TEST_F(BarDockTest, LimitToOneRowKeepsEveryBarOnRowZero) {
  MainWindowBars();
  menu_->SetFullSize(false);
  top_->SetLimitToOneRow(true);
  form_->Show();
  for (TFakeBar* bar : {menu_, connect_, view_, session_}) {
    EXPECT_EQ(bar->DockRow(), 0) << bar->Name();
    EXPECT_EQ(bar->Top(), 0) << bar->Name();
  }
  EXPECT_EQ(top_->Height(), 22);
}

TEST_F(BarDockTest, BottomAndRightDocksKeepTheirFarEdge) {
  auto* bottom = new TBarDock(form_.get());
  bottom->SetPosition(dpBottom);
  bottom->SetParent(form_.get());
  bottom->SetAlign(alNone);
  bottom->SetBounds(0, 250, 600, 0);
  auto* right = new TBarDock(form_.get());
  right->SetPosition(dpRight);
  right->SetParent(form_.get());
  right->SetAlign(alNone);
  right->SetBounds(500, 0, 0, 200);
  form_->Show();
  Bar("B1", 100, 0, 0, bottom);
  Bar("B2", 100, 1, 0, bottom);
  EXPECT_EQ(bottom->Height(), 44);
  EXPECT_EQ(bottom->Top() + bottom->Height(), 250);
  Bar("R1", 100, 0, 0, right);
  EXPECT_EQ(right->Width(), 22);
  EXPECT_EQ(right->Left() + right->Width(), 500);
  EXPECT_EQ(right->DockType(), dtLeftRight);
}

TEST_F(BarDockTest, PositionIsFixedOnceTheDockHoldsControls) {
  top_->SetPosition(dpLeft);
  EXPECT_EQ(top_->Align(), alLeft);
  Bar("A", 100, 0, 0, top_);
  try {
    top_->SetPosition(dpTop);
    FAIL() << "no exception";
  } catch (const EInvalidOperation& e) {
    EXPECT_STREQ(e.what(), "Cannot change Position of a TBarDock if it already contains controls");
  }
  auto* inner = new TBarDock(form_.get());
  try {
    inner->SetParent(top_);
    FAIL() << "no exception";
  } catch (const EInvalidOperation& e) {
    EXPECT_STREQ(e.what(), "A TBarDock control cannot be placed inside a tool window or another TBarDock");
  }
}

TEST_F(BarDockTest, BoundLinesTakeOnePixelEach) {
  top_->SetBoundLines({blTop, blBottom});
  form_->Show();
  Bar("A", 100, 0, 0, top_);
  EXPECT_EQ(top_->NonClientHeight(), 2);
  EXPECT_EQ(top_->Height(), 24);
  EXPECT_EQ(top_->ClientRect(), Rect(0, 0, 600, 22));
}

TEST_F(BarDockTest, DockingTransitionEventsAndLists) {
  auto* other = new TBarDock(form_.get());
  other->SetName("Other");
  other->SetPosition(dpBottom);
  other->SetParent(form_.get());
  form_->Show();
  TFakeBar* bar = Bar("A", 100, 0, 0, top_);
  std::vector<std::string> events;
  bar->OnDockChanging = [&](TObject*, bool Floating, TBarDock* To) {
    events.push_back(std::string("changing ") + (Floating ? "floating" : To ? To->Name() : "none"));
  };
  bar->OnRecreating = [&](TObject*) { events.push_back("recreating"); };
  bar->OnDockChangingHidden = [&](TObject*, bool, TBarDock*) { events.push_back("hidden"); };
  bar->OnRecreated = [&](TObject*) { events.push_back("recreated"); };
  bar->OnDockChanged = [&](TObject*) { events.push_back("changed"); };
  std::vector<std::string> inserts;
  auto watch = [&](TObject* Sender, bool Inserting, TBarCustomDockableWindow* B) {
    inserts.push_back(static_cast<TBarDock*>(Sender)->Name() + (Inserting ? "+" : "-") + B->Name());
  };
  top_->OnInsertRemoveBar = watch;
  other->OnInsertRemoveBar = watch;
  const HWND handle = bar->Handle();

  bar->SetParent(other);
  EXPECT_EQ(events,
            (std::vector<std::string>{"changing Other", "recreating", "hidden", "recreated", "changed"}));
  EXPECT_EQ(inserts, (std::vector<std::string>{"TBDockTop-A", "Other+A"}));
  EXPECT_EQ(bar->Handle(), handle);  // the window survives the move
  EXPECT_EQ(bar->CurrentDock(), other);
  EXPECT_EQ(bar->LastDock(), other);
  EXPECT_TRUE(top_->DockList().empty());
  EXPECT_EQ(other->DockList(), (std::vector<TBarCustomDockableWindow*>{bar}));
  EXPECT_EQ(top_->Height(), 0);
  EXPECT_EQ(other->Height(), 22);

  // Hiding leaves the visible list only; the dock shrinks.
  bar->Hide();
  EXPECT_EQ(inserts.back(), "Other-A");
  EXPECT_EQ(other->DockList().size(), 1u);
  EXPECT_TRUE(other->DockVisibleList().empty());
  EXPECT_EQ(other->Height(), 0);
}

TEST_F(BarDockTest, FloatingAndBack) {
  form_->Show();
  TFakeBar* bar = Bar("A", 100, 1, 30, top_);
  bar->SetFloatingPosition(TPoint(300, 200));
  bar->ToggleDockFloat();
  ASSERT_TRUE(bar->Floating());
  TBarFloatingWindowParent* parent = bar->FloatingParent();
  ASSERT_NE(parent, nullptr);
  EXPECT_EQ(parent->Name().rfind("QXFloatingWindowParent_", 0), 0u);
  EXPECT_EQ(parent->Name().size(), std::string("QXFloatingWindowParent_").size() + 8);
  EXPECT_EQ(parent->Caption(), "A");
  EXPECT_EQ(FloatingToolWindows(), (std::vector<TBarCustomDockableWindow*>{bar}));
  EXPECT_EQ(bar->LastDock(), top_);
  EXPECT_EQ(top_->Height(), 0);
  // The floating frame holds the window's floating size.
  TPoint border;
  int caption = 0;
  bar->GetFloatingNCAreaSize(border, caption);
  EXPECT_EQ(parent->BoundsRect(), Bounds(300, 200, 90 + border.X * 2, 18 + border.Y * 2 + caption));
  EXPECT_EQ(bar->BoundsRect(), Rect(0, 0, 90, 18));

  bar->ToggleDockFloat();
  EXPECT_TRUE(bar->Docked());
  EXPECT_EQ(bar->CurrentDock(), top_);
  EXPECT_TRUE(FloatingToolWindows().empty());
  EXPECT_EQ(bar->Left(), 30);
  // The floating parent is kept, off the screen, and used again.
  EXPECT_FALSE(IsWindowVisible(parent->Handle()));
  bar->ToggleDockFloat();
  EXPECT_EQ(bar->FloatingParent(), parent);
  EXPECT_TRUE(IsWindowVisible(parent->Handle()));
}

TEST_F(BarDockTest, ToggleWithoutLastDockGoesToTheStartOfTheDefaultDocksFirstRow) {
  form_->Show();
  TFakeBar* first = Bar("First", 100, 0, 0, top_);
  TFakeBar* bar = Bar("A", 100, 0, 0, nullptr);
  bar->SetParent(form_.get());
  bar->SetUseLastDock(false);
  bar->SetDefaultDock(top_);
  bar->SetFloating(true);
  ASSERT_EQ(bar->LastDock(), nullptr);
  bar->ToggleDockFloat();
  EXPECT_EQ(bar->CurrentDock(), top_);
  EXPECT_EQ(bar->DockRow(), 0);
  EXPECT_EQ(bar->DockPos(), -8);
  EXPECT_EQ(bar->Left(), 0);
  EXPECT_EQ(first->Left(), 100);
}

TEST_F(BarDockTest, FloatingWithoutAFormFails) {
  TFakeBar plain(nullptr, "Lonely", 50, 18);
  try {
    plain.SetFloating(true);
    FAIL() << "no exception";
  } catch (const EInvalidOperation& e) {
    EXPECT_STREQ(e.what(), "Control 'Lonely' has no parent window");
  }
}

TEST_F(BarDockTest, FloatingBarHidesWhileTheApplicationIsInactive) {
  form_->Show();
  TFakeBar* bar = Bar("A", 100, 0, 0, top_);
  bar->SetFloating(true);
  TBarFloatingWindowParent* parent = bar->FloatingParent();
  SetActiveWindow(form_->Handle());
  SendMessage(form_->Handle(), WM_ACTIVATEAPP, 1, 0);
  EXPECT_TRUE(parent->Visible());
  SetActiveWindow(nullptr);
  SendMessage(form_->Handle(), WM_ACTIVATEAPP, 0, 0);
  EXPECT_FALSE(parent->Visible());
  SetActiveWindow(form_->Handle());
  SendMessage(form_->Handle(), WM_ACTIVATEAPP, 1, 0);
  EXPECT_TRUE(parent->Visible());
  // Without HideWhenInactive it stays, with an inactive caption.
  bar->SetHideWhenInactive(false);
  SetActiveWindow(nullptr);
  SendMessage(form_->Handle(), WM_ACTIVATEAPP, 0, 0);
  EXPECT_TRUE(parent->Visible());
}

// A floating parent that is activated hands the activation on: to its form, or, while the form is
// hidden, to another window of the program, never to another floating parent.
TEST_F(BarDockTest, AnActivatedFloatingParentPassesTheActivationOn) {
  form_->Show();
  TForm other(nullptr);
  other.SetBorderStyle(bsNone);
  other.SetBounds(700, 100, 200, 100);
  other.Show();
  std::vector<TBarFloatingWindowParent*> parents;
  for (const char* name : {"A", "B"}) {
    TFakeBar* bar = Bar(name, 100, 0, 0, top_);
    bar->SetFloatingMode(fmOnTopOfAllForms);  // it stays shown while its form is hidden
    bar->SetHideWhenInactive(false);
    bar->SetFloating(true);
    parents.push_back(bar->FloatingParent());
  }
  SetActiveWindow(parents[0]->Handle());
  EXPECT_EQ(GetActiveWindow(), form_->Handle()) << "the form is there";

  form_->Hide();
  ASSERT_TRUE(IsWindowVisible(parents[0]->Handle()));
  SetActiveWindow(parents[0]->Handle());
  EXPECT_EQ(GetActiveWindow(), other.Handle()) << "another window of the program";

  other.Hide();
  SetActiveWindow(parents[0]->Handle());  // the other floating parent would only pass it back
  EXPECT_EQ(GetActiveWindow(), parents[0]->Handle());
}

// The desktop's close of a floating window (Alt+F4 on it, handed on by the window layer as a system
// command) is its form's, as its activation is: the form is asked to close, and the toolbar floats on.
TEST_F(BarDockTest, TheDesktopsCloseOfAFloatingWindowIsItsForms) {
  form_->Show();
  TFakeBar* bar = Bar("A", 100, 0, 0, top_);
  bar->SetHideWhenInactive(false);
  bar->SetFloating(true);
  TBarFloatingWindowParent* parent = bar->FloatingParent();
  ASSERT_TRUE(IsWindowVisible(parent->Handle()));
  int asked = 0;
  form_->OnCloseQuery = [&](TObject*, bool& CanClose) {
    ++asked;
    CanClose = false;
  };
  PostMessage(parent->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  talvik::gui::ProcessPending();
  EXPECT_EQ(asked, 1) << "the form was not asked to close";
  EXPECT_TRUE(bar->Visible()) << "the toolbar was closed";
  EXPECT_TRUE(IsWindowVisible(parent->Handle()));
  // its close button's close stays its own
  PostMessage(parent->Handle(), WM_CLOSE, 0, 0);
  talvik::gui::ProcessPending();
  EXPECT_FALSE(bar->Visible());
  EXPECT_EQ(asked, 1);
}

// ---- drags driven by injected input ----

class BarDockDrag : public BarDockTest {
 protected:
  // A press on the handle of `Bar`, moves through `Path` (screen) and a release at its end.
  void Drag(TBarCustomDockableWindow* Bar, TPoint From, const std::vector<TPoint>& Path, bool Release = true,
            bool Escape = false) {
    for (const TPoint& P : Path) InjectMouse(WM_MOUSEMOVE, P);
    if (Escape) talvik::gui::InjectKey(VK_ESCAPE, true, 0, {});
    if (Release) InjectMouse(WM_LBUTTONUP, Path.back());
    Bar->BeginMoving(From);
  }
  // The screen point of a bar's drag handle.
  static TPoint Handle(TBarCustomDockableWindow* Bar) {
    RECT r;
    GetWindowRect(Bar->Handle(), r);
    return TPoint(r.Left + 4, r.Top + 8);
  }
};

TEST_F(BarDockDrag, AlongTheRowMovesTheBar) {
  MainWindowBars();
  form_->Show();
  const TPoint from = Handle(session_);
  Drag(session_, from, {TPoint(from.X + 50, from.Y), TPoint(from.X + 100, from.Y)});
  EXPECT_EQ(session_->CurrentDock(), top_);
  EXPECT_EQ(session_->Left(), 315);
  EXPECT_EQ(session_->DockPos(), 315);
  EXPECT_EQ(session_->DockRow(), 1);
}

TEST_F(BarDockDrag, OffTheDockFloatsAndBackDocks) {
  MainWindowBars();
  form_->Show();
  const TPoint from = Handle(view_);
  Drag(view_, from, {TPoint(from.X, from.Y + 100), TPoint(from.X + 10, from.Y + 150)});
  ASSERT_TRUE(view_->Floating());
  EXPECT_EQ(top_->DockVisibleList().size(), 3u);
  // It ends with the row and position it had when the drag began.
  EXPECT_EQ(view_->DockRow(), 1);
  EXPECT_EQ(view_->DockPos(), 160);

  // Back into row 1, near where it was.
  TBarFloatingWindowParent* parent = view_->FloatingParent();
  const TPoint caption(parent->Left() + 10, parent->Top() + 6);
  const TPoint target(100 + 180, 100 + 33);
  Drag(view_, caption, {TPoint(caption.X, caption.Y - 20), target});
  EXPECT_TRUE(view_->Docked());
  EXPECT_EQ(view_->EffectiveDockRow(), 1);
  EXPECT_EQ(view_->Top(), 22);
  EXPECT_FALSE(IsWindowVisible(parent->Handle())) << "the empty floating frame stays on the screen";
}

// A press that reaches a bar at a point beyond it (the bar held the mouse when it came) starts no drag:
// the bar stays on its dock, whatever the release.
TEST_F(BarDockDrag, APressBeyondTheBarStartsNoDrag) {
  MainWindowBars();
  form_->Show();
  talvik::gui::ProcessPending();
  SetCapture(menu_->Handle());
  InjectMouse(WM_LBUTTONDOWN, TPoint(300, 300));
  InjectMouse(WM_LBUTTONUP, TPoint(300, 300));
  talvik::gui::ProcessPending();
  ReleaseCapture();
  EXPECT_TRUE(menu_->Docked());
  EXPECT_EQ(menu_->CurrentDock(), top_);
  EXPECT_FALSE(menu_->Floating());
}

TEST_F(BarDockDrag, ControlHeldNeverDocks) {
  MainWindowBars();
  form_->Show();
  const TPoint from = Handle(view_);
  Drag(view_, from, {TPoint(from.X, from.Y + 150)});
  ASSERT_TRUE(view_->Floating());
  TBarFloatingWindowParent* parent = view_->FloatingParent();
  const TPoint caption(parent->Left() + 10, parent->Top() + 6);
  talvik::gui::InjectKey(VK_CONTROL, true, 0, {});
  Drag(view_, caption, {TPoint(100 + 180, 100 + 33)});
  talvik::gui::InjectKey(VK_CONTROL, false, 0, {});
  EXPECT_TRUE(view_->Floating());
}

TEST_F(BarDockDrag, CannotFloatOrChangeDocksStaysOnItsDock) {
  MainWindowBars();
  auto* bottom = new TBarDock(form_.get());
  bottom->SetPosition(dpBottom);
  bottom->SetParent(form_.get());
  session_->SetDockMode(dmCannotFloatOrChangeDocks);
  form_->Show();
  const TPoint from = Handle(session_);
  Drag(session_, from, {TPoint(from.X, from.Y + 150), TPoint(from.X, 100 + 295)});
  EXPECT_EQ(session_->CurrentDock(), top_);
}

TEST_F(BarDockDrag, OuterQuarterOfARowAsksForANewRow) {
  MainWindowBars();
  form_->Show();
  const TPoint from = Handle(session_);
  // Row 1 spans 22..44 of the dock: its lower quarter starts at 39.
  Drag(session_, from, {TPoint(from.X + 5, 100 + 42)});
  EXPECT_EQ(session_->EffectiveDockRow(), 2);
  EXPECT_EQ(top_->Height(), 66);
  EXPECT_EQ(view_->EffectiveDockRow(), 1);
}

// Where the top dock and a left dock below it meet, both take a bar dragged there: the top dock is
// asked first; when it refuses, the left dock takes the bar.
struct CandidateCase {
  const char* name;
  bool topRefuses;
  bool onTop;  // else on the left dock
};
class DockCandidates : public BarDockDrag, public ::testing::WithParamInterface<CandidateCase> {};

TEST_P(DockCandidates, TopDocksComeBeforeLeftDocks) {
  MainWindowBars();
  auto* left = new TBarDock(form_.get());
  left->SetPosition(dpLeft);
  left->SetParent(form_.get());
  int asked = 0;
  top_->OnRequestDock = [&](TObject*, TBarCustomDockableWindow*, bool& Accept) {
    ++asked;
    Accept = !GetParam().topRefuses;
  };
  form_->Show();
  const TPoint from = Handle(session_);
  RECT dock;
  GetWindowRect(top_->Handle(), dock);
  // just above the top dock's bottom edge, at its left end: inside the left dock's catch zone too
  Drag(session_, from, {TPoint(from.X, from.Y + 150), TPoint(dock.Left + 6, dock.Bottom - 2)});
  EXPECT_GT(asked, 0) << "the top dock was not asked";
  EXPECT_EQ(session_->CurrentDock(), GetParam().onTop ? top_ : left);
}

const CandidateCase kCandidates[] = {{"TopDockFirst", false, true}, {"LeftWhenTopRefuses", true, false}};
INSTANTIATE_TEST_SUITE_P(Order, DockCandidates, ::testing::ValuesIn(kCandidates),
                         [](const auto& Info) { return std::string(Info.param.name); });

TEST_F(BarDockDrag, EscapeWithoutSmoothDragLeavesTheBarWhereItWas) {
  MainWindowBars();
  form_->Show();
  session_->SetSmoothDrag(false);
  const TPoint from = Handle(session_);
  Drag(session_, from, {TPoint(from.X + 100, from.Y)}, false, true);
  EXPECT_EQ(session_->Left(), 215);
  session_->SetSmoothDrag(true);
  Drag(session_, from, {TPoint(from.X + 100, from.Y)}, false, true);
  EXPECT_EQ(session_->Left(), 315);
}

}  // namespace
