#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "toolbar/BarItem.h"
#include "toolbar/BarViewTestSupport.h"

namespace {

using toolbartest::TFixedItem;
using toolbartest::TTestView;

// A layout scenario. Items: "A:20x22" an item, "~A:20x22" a hidden one, "#A:50x20" a control item,
// "=A:30x22" an item sharing its group's width, "-" a separator (named s1, s2...).
struct Scenario {
  const char* name;
  const char* items;
  bool toolbar = true;
  TBarViewOrientation orientation = tbvoHorizontal;
  int maximumLength = 0;  // with a chevron of chevronSize
  int chevronSize = 0;
  int wrapOffset = 0;
  int maxHeight = 0;
  int scrollOffset = 0;
  bool usePriorityList = false;
  const char* givePriority = "";  // an item moved to the front of the priority list
  // Shown viewers as Name(l,t,r,b), '!' after a line break; clipped ones as Name:clipped, those out of
  // a scrolled popup's band as Name:off. The chevron is ">>".
  const char* expected;
  int baseWidth = -1, baseHeight = -1;
};

void PrintTo(const Scenario& s, std::ostream* os) {
  *os << s.name;
}

class Layout : public ::testing::TestWithParam<Scenario> {
 protected:
  TComponent owner_{nullptr};
  TCustomControl* window_ = new TCustomControl(&owner_);
};

std::string Describe(TBarView& view) {
  std::ostringstream out;
  for (int i = 0; i < view.ViewerCount(); ++i) {
    TBarItemViewer* v = view.Viewers(i);
    std::string name = v->Item()->Name().empty() ? ">>" : v->Item()->Name();
    if (v->Show) {
      const TRect& r = v->BoundsRect;
      out << name << "(" << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom << ")"
          << (v->LineBreak ? "!" : "") << " ";
    } else if (v->Clipped) {
      out << name << ":clipped ";
    } else if (v->OffEdge) {
      out << name << ":off ";
    }
  }
  std::string s = out.str();
  if (!s.empty()) s.pop_back();
  return s;
}

TEST_P(Layout, Scenario) {
  const Scenario& sc = GetParam();
  TBarRootItem* root = new TBarRootItem(&owner_);
  TFixedItem* chevron = sc.maximumLength ? new TFixedItem(&owner_, 0, 0) : nullptr;
  std::istringstream tokens(sc.items);
  std::string token;
  int separators = 0;
  while (tokens >> token) {
    if (token == "-") {
      auto* s = new TBarSeparatorItem(&owner_);
      s->SetName("s" + std::to_string(++separators));
      root->Add(s);
      continue;
    }
    const char kind = (token[0] == '~' || token[0] == '#' || token[0] == '=') ? token[0] : ' ';
    if (kind != ' ') token.erase(0, 1);
    const size_t colon = token.find(':'), x = token.find('x');
    const std::string name = token.substr(0, colon);
    const int w = std::stoi(token.substr(colon + 1, x - colon - 1)), h = std::stoi(token.substr(x + 1));
    if (kind == '#') {
      auto* control = new TCustomControl(&owner_);
      control->SetBounds(0, 0, w, h);
      control->SetParent(window_);
      auto* ci = TBarControlItem::CreateControlItem(&owner_, control);
      ci->SetName(name);
      root->Add(ci);
      continue;
    }
    auto* item = new TFixedItem(&owner_, w, h);
    item->SetName(name);
    if (kind == '~') item->SetVisible(false);
    if (kind == '=') item->SetOptions({tboImageAboveCaption, tboSameWidth});
    root->Add(item);
  }
  TTestView view(root, sc.toolbar, chevron, window_, sc.usePriorityList);
  view.SetOrientation(sc.orientation);
  view.SetMaximumLength(sc.maximumLength);
  view.SetChevronSize(sc.chevronSize);
  view.SetWrapOffset(sc.wrapOffset);
  view.SetMaxHeight(sc.maxHeight);
  view.SetScrollOffset(sc.scrollOffset);
  if (*sc.givePriority)
    view.GivePriority(view.Find(static_cast<TBarCustomItem*>(owner_.FindComponent(sc.givePriority))));
  TPoint base = view.GetBaseSize();
  EXPECT_EQ(Describe(view), sc.expected);
  if (sc.baseWidth >= 0) {
    EXPECT_EQ(base.X, sc.baseWidth);
  }
  if (sc.baseHeight >= 0) {
    EXPECT_EQ(base.Y, sc.baseHeight);
  }
}

const Scenario kScenarios[] = {
    // Separators: leading, doubled and trailing ones go; one between two groups stays.
    {.name = "SeparatorsCollapse",
     .items = "- A:20x22 - - B:20x22 ~C:20x22 - -",
     .expected = "A(0,0,20,22) s2(20,0,26,22) B(26,0,46,22)"},
    {.name = "SeparatorBeforeOnlyHiddenItemsGoes", .items = "A:20x22 - ~B:20x22", .expected = "A(0,0,20,22)"},
    // Items of a same-width group take the widest one's width; rows are centred across.
    {.name = "SameWidthGroup",
     .items = "=A:20x30 =B:34x30 C:10x10 =D:25x30",
     .expected = "A(0,0,34,30) B(34,0,68,30) C(68,10,78,20) D(78,0,112,30)"},
    // Chevron clipping: the newest item has the highest priority unless another was given it; one
    // item always stays.
    {.name = "ChevronClipsLowestPriority",
     .items = "A:20x22 B:20x22 C:20x22 D:20x22",
     .maximumLength = 70,
     .chevronSize = 12,
     .usePriorityList = true,
     .expected = "A:clipped B:clipped C(0,0,20,22) D(20,0,40,22) >>(58,0,70,22)"},
    {.name = "ChevronKeepsTheItemGivenPriority",
     .items = "A:20x22 B:20x22 C:20x22 D:20x22",
     .maximumLength = 70,
     .chevronSize = 12,
     .usePriorityList = true,
     .givePriority = "A",
     .expected = "A(0,0,20,22) B:clipped C:clipped D(20,0,40,22) >>(58,0,70,22)"},
    {.name = "ChevronWithoutPriorityListClipsFromTheEnd",
     .items = "A:20x22 - B:20x22 C:30x22",
     .maximumLength = 50,
     .chevronSize = 12,
     .expected = "A(0,0,20,22) B:clipped C:clipped >>(38,0,50,22)"},
    {.name = "ChevronLeavesOneItem",
     .items = "A:20x22 B:20x22 C:20x22",
     .maximumLength = 15,
     .chevronSize = 12,
     .expected = "A(0,0,20,22) B:clipped C:clipped >>(20,0,32,22)"},
    {.name = "NoChevronWhenItFits",
     .items = "A:20x22 B:20x22",
     .maximumLength = 40,
     .chevronSize = 12,
     .expected = "A(0,0,20,22) B(20,0,40,22)"},
    // Wrapping: at a separator when the next group does not fit; inside a group only when one group
    // is longer than the row; a line break is 6 across, at 0 along, the full width long.
    {.name = "WrapAtSeparator",
     .items = "A:30x22 B:30x22 - C:30x22 D:30x22",
     .wrapOffset = 100,
     .expected = "A(0,0,30,22) B(30,0,60,22) s1(0,22,100,28)! C(0,28,30,50) D(30,28,60,50)",
     .baseWidth = 100,
     .baseHeight = 50},
    {.name = "WrapInsideALongGroupThenAtItsSeparator",
     .items = "A:40x22 B:40x22 C:40x22 - D:10x22",
     .wrapOffset = 100,
     .expected = "A(0,0,40,22) B(40,0,80,22) C(0,22,40,44) s1(0,44,100,50)! D(0,50,10,72)"},
    {.name = "NoWrapWhenTheGroupFits",
     .items = "A:30x22 - B:30x22",
     .wrapOffset = 100,
     .expected = "A(0,0,30,22) s1(30,0,36,22) B(36,0,66,22)"},
    // A vertical layout runs its columns from right to left.
    {.name = "VerticalColumnsMirrored",
     .items = "A:22x30 B:22x30 C:22x30",
     .orientation = tbvoVertical,
     .wrapOffset = 70,
     .expected = "A(22,0,44,30) B(22,30,44,60) C(0,0,22,30)",
     .baseWidth = 44},
    {.name = "VerticalCentresAcross",
     .items = "A:22x30 B:16x30",
     .orientation = tbvoVertical,
     .expected = "A(0,0,22,30) B(3,30,19,60)"},
    {.name = "FloatingMargins",
     .items = "A:20x22",
     .orientation = tbvoFloating,
     .expected = "A(4,2,24,24)",
     .baseWidth = 28,
     .baseHeight = 25},
    // Popups: menu lines take the full width; a tall popup scrolls between 19-px bands.
    {.name = "MenuLinesStretch",
     .items = "A:50x20 B:80x20 - C:30x20",
     .toolbar = false,
     .expected = "A(0,0,80,20) B(0,20,80,40) s1(0,40,80,49) C(0,49,80,69)"},
    {.name = "PopupScrollTop",
     .items = "A:50x20 B:50x20 C:50x20 D:50x20 E:50x20 F:50x20 G:50x20",
     .toolbar = false,
     .maxHeight = 100,
     .expected = "A(0,0,50,20) B(0,20,50,40) C(0,40,50,60) D(0,60,50,80) E:off F:off G:off",
     .baseHeight = 100},
    {.name = "PopupScrollMiddle",
     .items = "A:50x20 B:50x20 C:50x20 D:50x20 E:50x20 F:50x20 G:50x20",
     .toolbar = false,
     .maxHeight = 100,
     .scrollOffset = 20,
     .expected = "A:off B:off C(0,20,50,40) D(0,40,50,60) E(0,60,50,80) F:off G:off"},
    {.name = "PopupScrollLimitedAtTheEnd",
     .items = "A:50x20 B:50x20 C:50x20 D:50x20 E:50x20 F:50x20 G:50x20",
     .toolbar = false,
     .maxHeight = 100,
     .scrollOffset = 500,
     .expected = "A:off B:off C:off D(0,20,50,40) E(0,40,50,60) F(0,60,50,80) G(0,80,50,100)"},
    // Control items take their control's size and are clipped like any other item.
    {.name = "ControlItemPlaced",
     .items = "A:20x22 #E:50x20 B:20x22",
     .expected = "A(0,0,20,22) E(20,1,70,21) B(70,0,90,22)"},
    {.name = "ControlItemClipped",
     .items = "A:20x22 #E:60x20",
     .maximumLength = 70,
     .chevronSize = 12,
     .expected = "A(0,0,20,22) E:clipped >>(58,0,70,22)"},
};

INSTANTIATE_TEST_SUITE_P(Scenarios, Layout, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- what the layout tells and moves ----

class LayoutEffects : public ::testing::Test {
 protected:
  TComponent owner_{nullptr};
  TCustomControl* window_ = new TCustomControl(&owner_);
  TBarRootItem* root_ = new TBarRootItem(&owner_);
  TFixedItem* Add(int w, int h, const std::string& name) {
    auto* item = new TFixedItem(&owner_, w, h);
    item->SetName(name);
    root_->Add(item);
    return item;
  }
};

TEST_F(LayoutEffects, ControlsMoveWithTheirViewersAndTheChevronTellsWhetherItHelps) {
  TFixedItem chevron(&owner_, 0, 0);
  Add(20, 22, "A");
  auto* control = new TCustomControl(&owner_);
  control->SetBounds(0, 0, 50, 20);
  control->SetParent(window_);
  root_->Add(TBarControlItem::CreateControlItem(&owner_, control));
  TTestView view(root_, true, &chevron, window_);
  view.GetBaseSize();
  EXPECT_EQ(control->BoundsRect(), Rect(20, 1, 70, 21));
  view.SetMaximumLength(60);
  view.SetChevronSize(12);
  view.GetBaseSize();
  EXPECT_LT(control->Left() + control->Width(), 0) << "a clipped control is moved out of sight";
  EXPECT_FALSE(chevron.Enabled()) << "only a control was clipped: the chevron offers nothing";
  view.SetMaximumLength(30);  // now an item goes too
  Add(20, 22, "B");
  view.GetBaseSize();
  EXPECT_TRUE(chevron.Enabled());
  std::vector<TWinControl*> hosted;
  view.GetHostedControls(hosted);
  EXPECT_EQ(hosted, std::vector<TWinControl*>{control});
}

TEST_F(LayoutEffects, TheResultTellsWhetherAnythingMoved) {
  TFixedItem* a = Add(20, 22, "A");
  Add(20, 22, "B");
  TTestView view(root_, true);
  EXPECT_TRUE(view.CalculatePositions(true, tbvoHorizontal, 0, 0, 0).Changed);
  EXPECT_FALSE(view.CalculatePositions(true, tbvoHorizontal, 0, 0, 0).Changed);
  EXPECT_FALSE(view.CalculatePositions(false, tbvoVertical, 0, 0, 0).Changed)
      << "without moving nothing changes";
  EXPECT_EQ(view.Viewers(1)->BoundsRect, Rect(20, 0, 40, 22)) << "and the viewers keep their places";
  a->Width = 30;
  EXPECT_TRUE(view.CalculatePositions(true, tbvoHorizontal, 0, 0, 0).Changed);
  a->SetVisible(false);  // the view hears of it and lays out at once
  EXPECT_FALSE(view.Viewers(0)->Show);
  EXPECT_EQ(view.Viewers(1)->BoundsRect, Rect(0, 0, 20, 22));
}

TEST_F(LayoutEffects, InsertionsInsideAnUpdateLayOutOnce) {
  TTestView view(root_, true);
  view.GetBaseSize();
  view.Layouts = 0;
  view.BeginUpdate();
  for (int i = 0; i < 10; ++i) Add(20, 22, "I" + std::to_string(i));
  EXPECT_EQ(view.Layouts, 0);
  view.EndUpdate();
  EXPECT_EQ(view.Layouts, 1);
  EXPECT_EQ(view.ViewerCount(), 10);
  EXPECT_EQ(view.Viewers(9)->BoundsRect, Rect(180, 0, 200, 22));
  view.Layouts = 0;
  Add(20, 22, "J");
  EXPECT_EQ(view.Layouts, 1) << "outside an update every insertion lays out";
}

TEST_F(LayoutEffects, ViewersFollowTheTree) {
  TFixedItem* a = Add(20, 22, "A");
  TFixedItem* b = Add(20, 22, "B");
  TTestView view(root_, true, nullptr, nullptr, true);
  view.SetSelected(view.Find(b));
  root_->Move(1, 0);
  EXPECT_EQ(view.Viewers(0)->Item(), b);
  EXPECT_EQ(view.Selected(), nullptr) << "a removed viewer was selected";
  delete a;
  EXPECT_EQ(view.ViewerCount(), 1);
  EXPECT_EQ(view.PriorityList().size(), 1u);
  EXPECT_EQ(view.ViewerFromPoint({5, 5}), view.Viewers(0));
  EXPECT_EQ(view.ViewerFromPoint({25, 5}), nullptr);
  EXPECT_EQ(view.HighestPriorityViewer(), view.Viewers(0));
  auto* linked = new TBarRootItem(&owner_);
  auto* sub = new TBarSubmenuItem(&owner_);
  root_->Add(sub);
  TTestView subView(sub, false);
  EXPECT_EQ(subView.ViewerCount(), 0);
  linked->Add(new TFixedItem(&owner_, 10, 10));
  sub->SetLinkSubitems(linked);
  EXPECT_EQ(subView.ViewerCount(), 1) << "the view follows LinkSubitems";
  EXPECT_EQ(subView.ItemsSource(), linked);
}

}  // namespace
