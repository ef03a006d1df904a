// A press and its release that reach the program together (a tap on a touchpad, a click into a busy
// program) act as a click held for a moment does, on every control that follows a held button and
// in every loop that takes the mouse; the click after it reaches its own target.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "FormTestSupport.h"
#include "ReadQueueSupport.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Grids.h"
#include "platform/gui/GuiPrivate.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"

using namespace guitest;
using talvik::gui::InjectMouse;

namespace {

// What a click is given to: where it lands (on the screen) and what the control shows after it.
struct Target {
  TPoint At;
  std::function<std::string()> State;
};

struct Case {
  const char* Name;
  const char* Held;  // what a held click leaves (the start of it)
  std::function<Target(TForm*)> Make;
};

void PrintTo(const Case& C, std::ostream* Out) {
  *Out << C.Name;
}

TPoint Centre(TControl* C) {
  return C->ClientToScreen(TPoint(C->ClientWidth() / 2, C->ClientHeight() / 2));
}

// The down arrow of a window's vertical scroll bar, on the screen.
TPoint DownArrow(TWinControl* C) {
  const auto l = talvik::gui::detail::GetScrollBarLayout(C->Handle(), SB_VERT);
  RECT window;
  GetWindowRect(C->Handle(), window);
  return TPoint(window.Left + (l.arrow2.Left + l.arrow2.Right) / 2,
                window.Top + (l.arrow2.Top + l.arrow2.Bottom) / 2);
}

TDrawGrid* Grid(TForm* Form, TGridOptions Extra) {
  auto* grid = new TDrawGrid(Form);
  grid->SetParent(Form);
  grid->SetBounds(10, 10, 300, 150);
  grid->SetColCount(5);
  grid->SetRowCount(8);
  grid->SetDefaultColWidth(50);
  grid->SetDefaultRowHeight(18);
  grid->SetOptions(grid->Options() + Extra);
  return grid;
}

std::string GridState(TDrawGrid* G) {
  const TGridRect s = G->Selection();
  std::string widths;
  for (int c = 0; c < G->ColCount(); ++c) widths += std::to_string(G->ColWidths(c)) + ",";
  return "cell " + std::to_string(G->Col()) + ":" + std::to_string(G->Row()) + " selection " +
         std::to_string(s.Left) + "," + std::to_string(s.Top) + "-" + std::to_string(s.Right) + "," +
         std::to_string(s.Bottom) + " widths " + widths;
}

const Case kCases[] = {
    {"a button", "clicks 1",
     [](TForm* F) {
       auto* b = new TButton(F);
       b->SetParent(F);
       b->SetBounds(10, 10, 100, 25);
       auto clicks = std::make_shared<int>(0);
       b->OnClick = [clicks](TObject*) { ++*clicks; };
       return Target{Centre(b), [clicks] { return "clicks " + std::to_string(*clicks); }};
     }},
    {"a check box", "checked",
     [](TForm* F) {
       auto* c = new TCheckBox(F);
       c->SetParent(F);
       c->SetBounds(10, 10, 100, 20);
       c->SetCaption("box");
       return Target{Centre(c), [c] { return std::string(c->Checked() ? "checked" : "clear"); }};
     }},
    {"a list box's item", "item 1",
     [](TForm* F) {
       auto* l = new TListBox(F);
       l->SetParent(F);
       l->SetBounds(10, 10, 150, 100);
       for (const char* s : {"one", "two", "three"}) l->Items()->Add(s);
       return Target{l->ClientToScreen(TPoint(20, l->ItemHeight() + 2)),
                     [l] { return "item " + std::to_string(l->ItemIndex()); }};
     }},
    {"a scroll bar's arrow", "top 1",
     [](TForm* F) {
       auto* l = new TListBox(F);
       l->SetParent(F);
       l->SetBounds(10, 10, 150, 100);
       for (int i = 0; i < 50; ++i) l->Items()->Add(std::to_string(i));
       talvik::gui::ProcessPending();
       return Target{DownArrow(l), [l] { return "top " + std::to_string(l->TopIndex()); }};
     }},
    {"a combo box's arrow", "dropped down",
     [](TForm* F) {
       auto* c = new TComboBox(F);
       c->SetParent(F);
       c->SetBounds(10, 10, 150, 22);
       c->SetStyle(csDropDownList);
       for (const char* s : {"one", "two", "three"}) c->Items()->Add(s);
       return Target{c->ClientToScreen(TPoint(c->ClientWidth() - 5, c->ClientHeight() / 2)), [c] {
                       const bool down = c->DroppedDown();
                       c->SetDroppedDown(false);
                       return std::string(down ? "dropped down" : "closed");
                     }};
     }},
    {"an edit's text", "selection 7+0",
     [](TForm* F) {
       auto* e = new TEdit(F);
       e->SetParent(F);
       e->SetBounds(10, 10, 200, 22);
       e->SetText("some text here");
       return Target{e->ClientToScreen(TPoint(40, e->ClientHeight() / 2)), [e] {
                       return "selection " + std::to_string(e->SelStart()) + "+" +
                              std::to_string(e->SelLength());
                     }};
     }},
    {"a control that drags itself", "drags ended 0;",
     [](TForm* F) {
       auto* p = new TPanel(F);
       p->SetParent(F);
       p->SetBounds(10, 10, 100, 50);
       p->SetDragMode(dmAutomatic);
       auto drags = std::make_shared<int>(0);
       p->OnEndDrag = [drags](TObject*, TObject*, int, int) { ++*drags; };
       return Target{Centre(p), [drags] {
                       return "drags ended " + std::to_string(*drags) + (GetCapture() ? " capture held" : "");
                     }};
     }},
    {"a grid's cell", "cell 2:3 selection 2,3-2,3",
     [](TForm* F) {
       auto* g = Grid(F, {});
       const TRect r = g->CellRect(2, 3);
       return Target{g->ClientToScreen(TPoint(r.Left + 10, r.Top + 5)), [g] { return GridState(g); }};
     }},
    {"a grid's column border", "cell 1:1 selection 1,1-1,1 widths 50,50,50,50,50,;",
     [](TForm* F) {
       auto* g = Grid(F, {goColSizing});
       const TRect r = g->CellRect(2, 0);
       return Target{g->ClientToScreen(TPoint(r.Right, r.Top + 5)), [g] { return GridState(g); }};
     }},
    {"a grid's column title", "cell 1:1 selection 1,1-1,1 widths 50,50,50,50,50,;",
     [](TForm* F) {
       auto* g = Grid(F, {goColMoving});
       const TRect r = g->CellRect(2, 0);
       return Target{g->ClientToScreen(TPoint(r.Left + 15, r.Top + 5)), [g] { return GridState(g); }};
     }},
};

class QuickClick : public FormTest, public ::testing::WithParamInterface<Case> {
 protected:
  static int Read(const std::function<void()>& Meanwhile = nullptr,
                  const std::function<void()>& Reading = talvik::gui::ProcessPending) {
    return guitest::ReadQueuedInput(Meanwhile, Reading);
  }
  // A click given to a case's control on a form of its own: held (the release comes while the
  // press is read) or quick (press and release, then one read); then a quick click on a button beside. What
  // the control shows, whether a loop was left waiting, and how often the button beside was clicked.
  std::string Give(const Case& C, bool Quick) {
    TForm f(nullptr);
    f.SetBounds(100, 100, 400, 300);
    auto* beside = new TButton(&f);
    beside->SetParent(&f);
    beside->SetBounds(300, 250, 80, 25);
    int besideClicks = 0;
    beside->OnClick = [&](TObject*) { ++besideClicks; };
    const Target t = C.Make(&f);
    f.Show();
    Application->ProcessMessages();
    InjectMouse(WM_MOUSEMOVE, t.At);
    Read();
    int left = 0;
    InjectMouse(WM_LBUTTONDOWN, t.At);
    if (Quick) {
      InjectMouse(WM_LBUTTONUP, t.At);
      left += Read();
    } else {
      left += Read([&] { InjectMouse(WM_LBUTTONUP, t.At); });
    }
    const std::string state = t.State();
    FakeNow() += 1000;  // no double click
    const TPoint b = Centre(beside);
    InjectMouse(WM_MOUSEMOVE, b);
    InjectMouse(WM_LBUTTONDOWN, b);
    InjectMouse(WM_LBUTTONUP, b);
    left += Read();
    FakeNow() += 1000;
    return state + (left ? "; a loop waited for a release that had come" : "") +
           "; the button beside clicked " + std::to_string(besideClicks) + " times";
  }
};

TEST_P(QuickClick, ActsAsAHeldClickAndTheNextClickReachesItsTarget) {
  const std::string held = Give(GetParam(), false);
  EXPECT_EQ(held.rfind(GetParam().Held, 0), 0u) << held;
  EXPECT_NE(held.find("the button beside clicked 1 times"), std::string::npos) << held;
  EXPECT_EQ(Give(GetParam(), true), held);
}

INSTANTIATE_TEST_SUITE_P(Controls, QuickClick, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& I) {
                           return guitest::CaseName(I.param.Name);
                         });

class QuickMenuClick : public QuickClick {};

// A popup menu's own loop takes a click queued before it read anything as one on its item.
TEST_F(QuickMenuClick, APopupMenuTakesAClickQueuedWhileItOpens) {
  TPopupMenu menu(form.get());
  std::vector<std::string> chosen;
  for (const char* caption : {"first", "second"}) {
    auto* item = new TMenuItem(&menu);
    item->SetCaption(caption);
    item->OnClick = [&chosen, caption](TObject*) { chosen.push_back(caption); };
    menu.Items()->Add(item);
  }
  form->Show();
  Application->ProcessMessages();
  // the second item lies some way below the point the menu opens at
  const TPoint at(200, 200), second(230, 200 + GetSystemMetrics(SM_CYMENU) + 8);
  InjectMouse(WM_MOUSEMOVE, second);
  InjectMouse(WM_LBUTTONDOWN, second);
  InjectMouse(WM_LBUTTONUP, second);
  EXPECT_EQ(Read(nullptr, [&] { menu.Popup(at.X, at.Y); }), 0) << "the menu waited for a click that had come";
  EXPECT_EQ(chosen, std::vector<std::string>{"second"});
}

}  // namespace
