// Page controls (their events, also when a parent hides or shows), owner-drawn status panels,
// the report list view, spin edits and speed buttons.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "GuiTestSupport.h"
#include "WindowPicture.h"
#include "platform/gui/Buttons.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Spin.h"
#include "platform/gui/WinManager.h"

using namespace guitest;
using talvik::gui::InjectKey;
using talvik::gui::InjectMouse;
using talvik::gui::ShiftKeys;

namespace {

class ComCtrls : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    CreateApplication();
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(100, 100, 500, 400);
  }
  void TearDown() override {
    form.reset();
    GuiTest::TearDown();
  }
  template <typename T>
  T* Add(TWinControl* parent, int x, int y, int w, int h) {
    auto* c = new T(form.get());
    c->SetParent(parent);
    c->SetBounds(x, y, w, h);
    return c;
  }
  static void Key(WORD vk, char32_t ch = 0, ShiftKeys shift = {}) {
    guitest::TypeKey(vk, ch, shift);
    Application->ProcessMessages();
  }
  static void ClickAt(TPoint screen, ShiftKeys shift = {}) {
    InjectMouse(WM_MOUSEMOVE, screen, shift);
    Application->ProcessMessages();
    InjectMouse(WM_LBUTTONDOWN, screen, shift);
    Application->ProcessMessages();
    InjectMouse(WM_LBUTTONUP, screen, shift);
    guitest::LetGo(shift);
    Application->ProcessMessages();
    talvik::gui::SetClock([] { return FakeNow() += 1000; });
  }
  std::unique_ptr<TForm> form;
};

TTabSheet* Sheet(TPageControl* pc, const std::string& caption, std::vector<std::string>& log) {
  auto* s = new TTabSheet(pc->Owner());
  s->SetPageControl(pc);
  s->SetCaption(caption);
  s->OnShow = [&log, caption](TObject*) { log.push_back("show " + caption); };
  s->OnHide = [&log, caption](TObject*) { log.push_back("hide " + caption); };
  return s;
}

}  // namespace

TEST_F(ComCtrls, PageControlSwitchesByClickKeysAndAcceleratorsAndTellsShowAndHide) {
  auto* panel = Add<TPanel>(form.get(), 0, 0, 480, 360);
  auto* pc = Add<TPageControl>(panel, 10, 10, 400, 300);
  std::vector<std::string> log;
  TTabSheet* a = Sheet(pc, "&Сеанс", log);
  TTabSheet* b = Sheet(pc, "&Блокировки", log);
  TTabSheet* c = Sheet(pc, "&Ожидания", log);
  int changes = 0;
  pc->OnChange = [&](TObject*) { ++changes; };
  form->Show();
  Application->ProcessMessages();
  EXPECT_EQ(pc->ActivePage(), a);
  EXPECT_EQ(log, std::vector<std::string>{"show &Сеанс"});
  log.clear();
  TRect tabB = pc->TabRect(1);
  ClickAt(pc->ClientToScreen({tabB.Left + 5, tabB.Top + 5}));
  EXPECT_EQ(pc->ActivePage(), b);
  EXPECT_EQ(log, (std::vector<std::string>{"show &Блокировки", "hide &Сеанс"}));
  // a parent that hides or shows tells the active page only
  log.clear();
  panel->Hide();
  panel->Show();
  EXPECT_EQ(log, (std::vector<std::string>{"hide &Блокировки", "show &Блокировки"}));
  // Ctrl+Tab goes round, Alt+letter picks by accelerator, OnChanging may refuse
  pc->SetFocus();
  Application->ProcessMessages();
  Key(VK_TAB, U'\t', ShiftKeys{false, true, false});
  EXPECT_EQ(pc->ActivePage(), c);
  Key(VK_TAB, U'\t', ShiftKeys{false, true, false});
  EXPECT_EQ(pc->ActivePage(), a);
  Key('O', U'о', ShiftKeys{false, false, true});
  EXPECT_EQ(pc->ActivePage(), c);
  pc->OnChanging = [](TObject*, bool& allow) { allow = false; };
  Key(VK_RIGHT);
  EXPECT_EQ(pc->ActivePage(), c);
  pc->OnChanging = nullptr;
  EXPECT_EQ(changes, 4);
  // a hidden tab is skipped and its page goes away with it
  b->SetTabVisible(false);
  EXPECT_EQ(b->TabIndex(), -1);
  EXPECT_EQ(c->TabIndex(), 1);
  pc->SetActivePage(a);
  Key(VK_RIGHT);
  EXPECT_EQ(pc->ActivePage(), c);
  c->SetTabVisible(false);
  EXPECT_EQ(pc->ActivePage(), a);
  // many tabs on several rows when multi-line
  for (int i = 0; i < 12; ++i) Sheet(pc, "Вкладка номер " + std::to_string(i), log);
  pc->SetMultiLine(true);
  EXPECT_GT(pc->RowCount(), 1);
  delete b;  // a page that goes leaves the control
  EXPECT_EQ(pc->PageCount(), 14);
}

TEST_F(ComCtrls, StatusBarOwnerDrawsItsPanelsInsideTheirBevels) {
  auto* bar = Add<TStatusBar>(form.get(), 0, 0, 480, 20);
  for (int w : {60, 120, 80}) bar->Panels()->Add()->SetWidth(w);
  bar->Panels()->Items(0)->SetText("Сеансов: 42");
  bar->Panels()->Items(1)->SetStyle(psOwnerDraw);
  std::vector<std::pair<int, TRect>> drawn;
  bar->OnDrawPanel = [&](TStatusBar* sb, TStatusPanel* p, const TRect& r) {
    drawn.push_back({p->Index(), r});
    sb->Canvas()->Brush()->SetColor(clRed);
    sb->Canvas()->FillRect(Rect(r.Left - 5, r.Top - 5, r.Right + 5, r.Bottom + 5));  // clipped to the panel
  };
  form->Show();
  talvik::gui::UpdateAllWindows(form->Handle());
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_EQ(drawn[0].first, 1);
  TRect panel = bar->PanelRect(1);
  EXPECT_EQ(drawn[0].second, Rect(panel.Left + 1, panel.Top + 1, panel.Right - 1, panel.Bottom - 1));
  RECT wr;
  GetWindowRect(form->Handle(), wr);
  auto px = [&](int x, int y) {
    TPoint p = bar->ClientToScreen({x, y});
    return talvik::gui::WindowPixel(form->Handle(), p.X - wr.Left, p.Y - wr.Top);
  };
  EXPECT_EQ(px(panel.Left + 5, panel.Top + 5), ColorToRGB(clRed));
  EXPECT_NE(px(panel.Left - 1, panel.Top + 5), ColorToRGB(clRed));  // nothing spilled over
  EXPECT_NE(px(panel.Right + 1, panel.Top + 5), ColorToRGB(clRed));
  // the last panel takes the rest up to the size grip
  EXPECT_EQ(bar->PanelRect(2).Right, bar->ClientWidth() - bar->ClientHeight());
}

// An owner-drawn panel that leaves the canvas with a hollow brush must not keep the next painting
// from erasing the bar: a shorter text replaces a longer one without a trace of it.
TEST_F(ComCtrls, StatusBarErasesAChangedTextAfterAnOwnerDrawnPanelLeftAHollowBrush) {
  auto* bar = Add<TStatusBar>(form.get(), 0, 0, 480, 20);
  for (int w : {120, 120}) bar->Panels()->Add()->SetWidth(w);
  bar->Panels()->Items(0)->SetText("WWWWWWWWWWWW");
  bar->Panels()->Items(1)->SetStyle(psOwnerDraw);
  bar->OnDrawPanel = [](TStatusBar* sb, TStatusPanel*, const TRect& r) {
    sb->Canvas()->Brush()->SetStyle(bsClear);
    sb->Canvas()->TextOut(r.Left + 4, r.Top + 1, "x");
  };
  form->Show();
  talvik::gui::UpdateAllWindows(form->Handle());
  bar->Panels()->Items(0)->SetText("i");
  talvik::gui::UpdateAllWindows(form->Handle());
  RECT wr;
  GetWindowRect(form->Handle(), wr);
  const TRect panel = bar->PanelRect(0);
  int stale = 0;
  for (int y = panel.Top + 2; y < panel.Bottom - 2; ++y)
    for (int x = panel.Left + 20; x < panel.Right - 2; ++x) {
      const TPoint p = bar->ClientToScreen({x, y});
      stale += talvik::gui::WindowPixel(form->Handle(), p.X - wr.Left, p.Y - wr.Top) != ColorToRGB(clBtnFace);
    }
  EXPECT_EQ(stale, 0) << "the longer text still shows";
}

TEST_F(ComCtrls, ListViewInsertsAtTheTopSelectsByKeysAndMouseAndKeepsItsView) {
  auto* lv = Add<TListView>(form.get(), 10, 10, 400, 200);
  lv->SetMultiSelect(true);
  lv->SetRowSelect(true);
  lv->SetReadOnly(true);
  for (const char* c : {"Время", "Сеанс", "Событие"}) lv->Columns()->Add()->SetCaption(c);
  lv->Columns()->Items(2)->SetAutoSize(true);
  std::vector<std::string> selected;
  lv->OnSelectItem = [&](TObject*, TListItem* item, bool sel) {
    if (sel) selected.push_back(item->Caption());
  };
  lv->Items()->BeginUpdate();
  for (int i = 0; i < 50; ++i) {
    TListItem* item = lv->Items()->Insert(0);
    item->SetCaption("12:00:" + std::to_string(i));
    item->SubItems()->Add(std::to_string(100 + i));
    item->SubItems()->Add("блокировка");
  }
  lv->Items()->EndUpdate();
  EXPECT_EQ(lv->Items()->Item(0)->Caption(), "12:00:49");
  EXPECT_EQ(lv->Items()->Item(49)->SubItems()->Strings(0), "100");
  form->Show();
  lv->SetFocus();
  Application->ProcessMessages();
  Key(VK_DOWN);
  EXPECT_EQ(lv->Selected(), lv->Items()->Item(0));
  Key(VK_DOWN, 0, ShiftKeys{true, false, false});
  Key(VK_DOWN, 0, ShiftKeys{true, false, false});
  EXPECT_EQ(lv->SelCount(), 3);
  Key(VK_END);
  EXPECT_EQ(lv->SelCount(), 1);
  EXPECT_EQ(lv->Selected(), lv->Items()->Item(49));
  EXPECT_EQ(lv->TopItem()->Index(), 50 - lv->VisibleRowCount());
  // a click picks the row under it; Ctrl+click adds one
  Key(VK_HOME);
  TRect row2 = lv->Items()->Item(2)->DisplayRect();
  ClickAt(lv->ClientToScreen({300, row2.Top + 3}));
  EXPECT_EQ(lv->Selected(), lv->Items()->Item(2));
  TRect row4 = lv->Items()->Item(4)->DisplayRect();
  ClickAt(lv->ClientToScreen({20, row4.Top + 3}), ShiftKeys{false, true, false});
  EXPECT_EQ(lv->SelCount(), 2);
  // an insert at the top keeps the selection on its items
  lv->Items()->Insert(0)->SetCaption("новое");
  EXPECT_TRUE(lv->Items()->Item(3)->Selected());
  EXPECT_TRUE(lv->Items()->Item(5)->Selected());
  // deleting the selection (as the list's delete action does)
  for (TListItem* it = lv->GetNextItem(nullptr, true, true); it; it = lv->GetNextItem(nullptr, true, true))
    it->Delete();
  EXPECT_EQ(lv->Items()->Count(), 49);
  EXPECT_EQ(lv->SelCount(), 0);
  EXPECT_EQ(selected.front(), "12:00:49");
  lv->Items()->Clear();
  EXPECT_EQ(lv->Selected(), nullptr);
}

TEST_F(ComCtrls, SpinEditStepsWithinItsBoundsAndZeroBoundsMeanNone) {
  auto* spin = Add<TSpinEdit>(form.get(), 10, 10, 80, 21);
  spin->SetMinValue(1);
  spin->SetMaxValue(1000);
  spin->SetValue(999);
  form->Show();
  spin->SetFocus();
  Application->ProcessMessages();
  Key(VK_UP);
  Key(VK_UP);
  EXPECT_EQ(spin->Value(), 1000);
  spin->SetValue(-5);
  EXPECT_EQ(spin->Value(), 1);
  // letters never go in; a number out of range becomes the nearest bound on leaving
  spin->SelectAll();
  for (char32_t ch : std::u32string(U"5x0000")) Key('A', ch);
  EXPECT_EQ(spin->Text(), "50000");
  EXPECT_EQ(spin->Value(), 1000);
  auto* other = Add<TEdit>(form.get(), 10, 50, 80, 21);
  other->SetFocus();
  Application->ProcessMessages();
  EXPECT_EQ(spin->Text(), "1000");
  // unbounded
  spin->SetMinValue(0);
  spin->SetMaxValue(0);
  spin->SetValue(2000000000);
  spin->UpClick();
  EXPECT_EQ(spin->Value(), 2000000001);
  spin->SetValue(-2147483647);
  spin->DownClick();
  spin->DownClick();
  EXPECT_EQ(spin->Value(), -2147483647 - 1);  // held at the end of the range, never wrapped
  // the arrow buttons
  spin->SetValue(10);
  TPoint up = spin->Button()->ClientToScreen({3, 2});
  ClickAt(up);
  EXPECT_EQ(spin->Value(), 11);
}

namespace {

std::string ScreenshotPath(const std::string& Name) {
  const char* bin = std::getenv("TALVIK_BINARY_DIR");
  const std::string dir = std::string(bin ? bin : ".") + "/screenshots";
  std::filesystem::create_directories(dir);
  return dir + "/" + Name;
}

// The rows of a glyph drawn in Ink inside Box of a picture, top to bottom: each row's first and last
// pixel of that colour.
struct GlyphRow {
  int y, left, right;
};
std::vector<GlyphRow> GlyphRows(const Picture& Shot, const TRect& Box, COLORREF Ink) {
  std::vector<GlyphRow> rows;
  for (int y = Box.Top; y < Box.Bottom; ++y) {
    GlyphRow row{y, INT_MAX, INT_MIN};
    for (int x = Box.Left; x < Box.Right; ++x)
      if (Shot.At(x, y) == Ink) {
        row.left = std::min(row.left, x);
        row.right = std::max(row.right, x);
      }
    if (row.left <= row.right) rows.push_back(row);
  }
  return rows;
}

// What is wrong with Rows as an arrow pointing up (or down): "" when they make one of at least three
// rows, solid, on one centre, one pixel at the tip and two wider with each row from it.
std::string ArrowFault(const std::vector<GlyphRow>& Rows, bool Up) {
  if (Rows.size() < 3) return std::to_string(Rows.size()) + " rows of ink, no arrow";
  for (std::size_t i = 0; i < Rows.size(); ++i) {
    const GlyphRow& r = Rows[Up ? i : Rows.size() - 1 - i];
    const int width = r.right - r.left + 1;
    const int centre = r.left + r.right;
    if (i > 0 && r.y != Rows[Up ? i - 1 : Rows.size() - i].y + (Up ? 1 : -1))
      return "a gap above row " + std::to_string(r.y);
    if (width != 2 * static_cast<int>(i) + 1)
      return "row " + std::to_string(r.y) + " is " + std::to_string(width) + " wide, " +
             std::to_string(2 * i + 1) + " was due";
    if (centre != Rows.front().left + Rows.front().right)
      return "row " + std::to_string(r.y) + " is off centre";
  }
  return "";
}

}  // namespace

// The spin edit's buttons, up and down, each show their arrow: text-coloured, or, disabled, in the
// shadow colour with its highlight under it.
TEST_F(ComCtrls, SpinEditButtonsShowAnUpAndADownArrow) {
  auto* spin = Add<TSpinEdit>(form.get(), 10, 10, 80, 21);
  auto* disabled = Add<TSpinEdit>(form.get(), 10, 40, 80, 21);
  disabled->Button()->SetEnabled(false);
  form->Show();
  Application->ProcessMessages();
  const Picture shot = WindowPicture(form->Handle(), ScreenshotPath("spin-edit-buttons.png"));
  constexpr int kEdge = 2;
  RECT frame;
  GetWindowRect(form->Handle(), frame);
  for (TSpinEdit* s : {spin, disabled}) {
    SCOPED_TRACE(s == spin ? "enabled" : "disabled buttons");
    TSpinButton* button = s->Button();
    const TPoint at = button->ClientToScreen({0, 0});
    const int x = at.X - frame.Left, y = at.Y - frame.Top, half = button->ClientHeight() / 2;
    const COLORREF ink = ColorToRGB(button->Enabled() ? clBtnText : clBtnShadow);
    // inside each button's raised edge, two pixels wide
    const int w = button->ClientWidth() - 2 * kEdge;
    const TRect up = Bounds(x + kEdge, y + kEdge, w, half - 2 * kEdge);
    const TRect down = Bounds(x + kEdge, y + half + kEdge, w, button->ClientHeight() - half - 2 * kEdge);
    EXPECT_EQ(ArrowFault(GlyphRows(shot, up, ink), true), "") << "the up button";
    EXPECT_EQ(ArrowFault(GlyphRows(shot, down, ink), false), "") << "the down button";
  }
}

TEST_F(ComCtrls, SpeedButtonsOfAGroupStayDownOneAtATime) {
  auto* a = Add<TSpeedButton>(form.get(), 10, 10, 23, 22);
  auto* b = Add<TSpeedButton>(form.get(), 40, 10, 23, 22);
  auto* plain = Add<TSpeedButton>(form.get(), 70, 10, 23, 22);
  a->SetGroupIndex(1);
  b->SetGroupIndex(1);
  int clicks = 0;
  plain->OnClick = [&](TObject*) { ++clicks; };
  form->Show();
  Application->ProcessMessages();
  ClickAt(a->ClientToScreen({5, 5}));
  EXPECT_TRUE(a->Down());
  ClickAt(b->ClientToScreen({5, 5}));
  EXPECT_TRUE(b->Down());
  EXPECT_FALSE(a->Down());
  ClickAt(b->ClientToScreen({5, 5}));
  EXPECT_TRUE(b->Down());  // the last one down stays down without AllowAllUp
  b->SetAllowAllUp(true);
  ClickAt(b->ClientToScreen({5, 5}));
  EXPECT_FALSE(b->Down());
  ClickAt(plain->ClientToScreen({5, 5}));
  EXPECT_FALSE(plain->Down());  // no group: it never latches
  EXPECT_EQ(clicks, 1);
  plain->SetEnabled(false);
  ClickAt(plain->ClientToScreen({5, 5}));
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(plain->State(), bsDisabled);
}

TEST_F(ComCtrls, SpinEditWhoseMinimumIsSetAboveItsMaximumKeepsAValueWithinReach) {
  auto* spin = Add<TSpinEdit>(form.get(), 10, 10, 80, 21);
  form->Show();
  Application->ProcessMessages();
  // bounds set one at a time: for a moment the minimum stands above the maximum
  spin->SetMinValue(1);
  EXPECT_EQ(spin->Value(), 1);
  spin->SetValue(5);
  EXPECT_EQ(spin->Text(), "0");  // above the maximum: the maximum
  spin->SetMaxValue(10);
  spin->SetValue(5);
  EXPECT_EQ(spin->Value(), 5);
}
