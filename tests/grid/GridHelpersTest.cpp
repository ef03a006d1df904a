// The grid unit's helpers: the colour blend and the highlight decisions, layout section names, the
// message helper, the style's utility window, value comparison, the special row's cell texts, the
// MRU list and the interceptor registry.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "GridTestSupport.h"
#include "db/MemDataSet.h"
#include "grid/DBGridExStyle.h"
#include "grid/MRUList.h"
#include "grid/PropFilerEx.h"
#include "grid/ExtraRow.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"

using namespace gridtest;

namespace {

struct BlendCase {
  const char* name;
  COLORREF c1, c2;
  bool darken;
  int expected;  // each component
};

class BlendColorTest : public ::testing::TestWithParam<BlendCase> {};

TEST_P(BlendColorTest, MixesLightensAndRoundsHalvesToEven) {
  const BlendCase& c = GetParam();
  const TColor got = BlendColor(static_cast<TColor>(c.c1), static_cast<TColor>(c.c2), c.darken);
  EXPECT_EQ(static_cast<COLORREF>(got), RGB(c.expected, c.expected, c.expected));
}

INSTANTIATE_TEST_SUITE_P(Grey, BlendColorTest,
                         ::testing::Values(BlendCase{"WhiteBlack", RGB(255, 255, 255), 0, false, 186},
                                           BlendCase{"WhiteBlackDarkened", RGB(255, 255, 255), 0, true, 202},
                                           BlendCase{"BlackBlack", 0, 0, false, 135},
                                           BlendCase{"HalfDownToEven", RGB(1, 1, 1), 0, true, 138},
                                           BlendCase{"HalfUpToEven", RGB(5, 5, 5), 0, true, 140},
                                           BlendCase{"WhiteWhite", RGB(255, 255, 255), RGB(255, 255, 255),
                                                     false, 237}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BlendColor, ResolvesSystemColours) {
  // clBtnFace is (212, 208, 200) in the classic table; blended with itself
  const TColor got = BlendColor(clBtnFace, clBtnFace, false);
  const COLORREF face = ColorToRGB(clBtnFace);
  auto expect = [](int c) { return static_cast<int>(std::nearbyint(c + (225 - c) * 0.6)); };
  EXPECT_EQ(static_cast<COLORREF>(got),
            RGB(expect(GetRValue(face)), expect(GetGValue(face)), expect(GetBValue(face))));
}

// ---------------------------------------------------------------- highlight decisions

enum Outcome { kNone, kHighlight, kBlendHighlight, kShadow, kBlendShadow, kFace };

struct HighlightCase {
  const char* name;
  THighlightDataCellState state;
  bool trueColor;
  Outcome expected;
};

THighlightDataCellState State(std::initializer_list<bool THighlightDataCellState::*> on) {
  THighlightDataCellState s;
  for (auto m : on) s.*m = true;
  return s;
}

using S = THighlightDataCellState;

class HighlightDataCellTest : public ::testing::TestWithParam<HighlightCase> {};

TEST_P(HighlightDataCellTest, ChoosesTheColours) {
  const HighlightCase& c = GetParam();
  const TColor cell = static_cast<TColor>(RGB(255, 255, 255));
  TColor color = cell, font = clWindowText;
  const bool lit = HighlightDataCellDecision(c.state, true, c.trueColor, color, font);
  switch (c.expected) {
    case kNone:
      EXPECT_FALSE(lit);
      EXPECT_EQ(color, cell);
      break;
    case kHighlight:
      EXPECT_TRUE(lit);
      EXPECT_EQ(color, clHighlight);
      EXPECT_EQ(font, clHighlightText);
      break;
    case kBlendHighlight:
      EXPECT_TRUE(lit);
      EXPECT_EQ(color, BlendColor(cell, clHighlight, true));
      EXPECT_EQ(font, clWindowText);
      break;
    case kShadow:
      EXPECT_TRUE(lit);
      EXPECT_EQ(color, clBtnShadow);
      EXPECT_EQ(font, clHighlightText);
      break;
    case kBlendShadow:
      EXPECT_TRUE(lit);
      EXPECT_EQ(color, BlendColor(cell, clBtnShadow, false));
      EXPECT_EQ(font, clWindowText);
      break;
    case kFace:
      EXPECT_TRUE(lit);
      EXPECT_EQ(color, clBtnFace);
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Decisions, HighlightDataCellTest,
    ::testing::Values(
        HighlightCase{"PlainCell", State({}), true, kNone},
        HighlightCase{"SelectedFocusedCellFocusedGrid",
                      State({&S::StateSelected, &S::InCurrentRow, &S::InCurrentColumn,
                             &S::HighlightFocusOption, &S::GridWindowFocused, &S::HasFocus}),
                      true, kHighlight},
        HighlightCase{"SelectedCellHiddenWithoutFocusOrAlwaysShow",
                      State({&S::StateSelected, &S::InCurrentRow, &S::InCurrentColumn, &S::HasFocus}), true,
                      kNone},
        HighlightCase{"EditorShownHidesTheSelection",
                      State({&S::StateSelected, &S::InCurrentRow, &S::InCurrentColumn,
                             &S::AlwaysShowSelection, &S::EditorMode, &S::HasFocus}),
                      true, kNone},
        HighlightCase{"MultiSelectedRowOtherRowBlends", State({&S::InSelection, &S::HasFocus}), true,
                      kBlendHighlight},
        HighlightCase{"MultiSelectedRowOn256Colours", State({&S::InSelection, &S::HasFocus}), false,
                      kHighlight},
        HighlightCase{"RowHighlightLightsTheRestOfTheRow",
                      State({&S::RowHighlightOption, &S::InCurrentRow, &S::HasFocus}), true, kBlendHighlight},
        HighlightCase{"RowHighlightNotWithMultiSelection",
                      State({&S::RowHighlightOption, &S::InCurrentRow, &S::MultiSelection, &S::HasFocus}),
                      true, kNone},
        HighlightCase{"RowSelectCurrentRowFocused",
                      State({&S::RowSelect, &S::InCurrentRow, &S::AlwaysShowSelection, &S::HasFocus}), true,
                      kHighlight},
        HighlightCase{
            "UnfocusedCurrentCellAlwaysShown",
            State({&S::StateSelected, &S::InCurrentRow, &S::InCurrentColumn, &S::AlwaysShowSelection}), true,
            kShadow},
        HighlightCase{
            "UnfocusedCurrentCellOn256Colours",
            State({&S::StateSelected, &S::InCurrentRow, &S::InCurrentColumn, &S::AlwaysShowSelection}), false,
            kShadow},
        HighlightCase{"UnfocusedSelectedRecordBlendsShadow", State({&S::InSelection}), true, kBlendShadow},
        HighlightCase{"UnfocusedSelectedRecordOn256ColoursIsFace", State({&S::InSelection}), false, kFace}),
    [](const auto& info) { return std::string(info.param.name); });

struct FixedCase {
  const char* name;
  int horz, vert;
  bool selected, focus, trueColor;
  TColor color, font;
};

class HighlightFixedCellTest : public ::testing::TestWithParam<FixedCase> {};

TEST_P(HighlightFixedCellTest, ChoosesTheColours) {
  const FixedCase& c = GetParam();
  TColor color = clBtnFace, font = clBtnText;
  const bool lit =
      HighlightNoDataCellDecision(c.horz, c.vert, c.selected, c.focus, true, c.trueColor, color, font);
  EXPECT_EQ(lit, c.selected);
  EXPECT_EQ(color, c.color);
  EXPECT_EQ(font, c.font);
}

const TColor kDark = static_cast<TColor>(RGB(64, 64, 64));
INSTANTIATE_TEST_SUITE_P(
    Decisions, HighlightFixedCellTest,
    ::testing::Values(FixedCase{"NotSelected", 0, 0, false, true, true, clBtnFace, clBtnText},
                      FixedCase{"IndicatorOfTitle", 0, 0, true, true, true, kDark, clWhite},
                      FixedCase{"IndicatorOfFooterBlends", 0, 3, true, true, true,
                                BlendColor(clBtnFace, clHighlight, true), clBtnText},
                      FixedCase{"TitleOverFilterRow", 1, 1, true, false, true, kDark, clWhite},
                      FixedCase{"TitleOfDataUnfocused", 1, 2, true, false, true,
                                BlendColor(clBtnFace, clBtnShadow, false), clBtnText},
                      FixedCase{"TitleOfDataUnfocused256", 1, 2, true, false, false, clBtnFace, clBtnText},
                      FixedCase{"TitleOfDataFocused256", 1, 2, true, true, false, clHighlight,
                                clHighlightText}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- the style object

class FakeGrid : public IDBGridExStyleClient {
 public:
  explicit FakeGrid(std::vector<std::string>* log, std::string name) : log_(log), name_(std::move(name)) {}
  void SetStyle(TDBGridExStyle* Value) override {
    log_->push_back(name_ + (Value ? " styled" : " unstyled"));
    style = Value;
  }
  TDBGridExStyle* style = nullptr;

 private:
  std::vector<std::string>* log_;
  std::string name_;
};

class CountingStyle : public TDBGridExStyle {
 public:
  void UpdateScreenColors() override {
    ++updates;
    screenNumColors_ = 256;
  }
  int updates = 0;
};

class GridStyle : public GridGuiTest {};

TEST_F(GridStyle, DestroyedDefaultStyleLeavesItsGridsWithoutStyleLastFirst) {
  std::vector<std::string> log;
  FakeGrid a(&log, "a"), b(&log, "b");
  TDBGridExStyle* style = DefaultGridStyle();
  ASSERT_NE(style, nullptr);
  style->AddGrid(&a);
  style->AddGrid(&b);
  style->AddGrid(&a);  // registered once
  EXPECT_EQ(style->GridCount(), 2);
  FreeDefaultGridStyle();
  EXPECT_EQ(DefaultGridStyle(), nullptr);
  EXPECT_EQ(log, (std::vector<std::string>{"b unstyled", "a unstyled"}));
  EXPECT_NE(CreateDefaultGridStyle(), nullptr);  // back for the other tests
}

TEST_F(GridStyle, SystemColourChangeReachesTheUtilityWindow) {
  CountingStyle style;
  style.UpdateScreenColors();
  const int before = style.updates;
  EXPECT_FALSE(style.TrueColorScreen());
  const int index = COLOR_BTNFACE;
  const COLORREF old = GetSysColor(COLOR_BTNFACE);
  const COLORREF next = RGB(200, 200, 200);
  SetSysColors(1, &index, &next);
  SetSysColors(1, &index, &old);
  EXPECT_EQ(style.updates, before + 2);
  // on 256 colours nothing is blended: a selected record of a focused grid is plain highlight
  TColor color = clWindow, font = clWindowText;
  EXPECT_TRUE(style.HighlightDataCell(State({&S::InSelection, &S::HasFocus}), color, font));
  EXPECT_EQ(color, clHighlight);
}

TEST_F(GridStyle, TheRealScreenIsTrueColour) {
  TDBGridExStyle style;
  EXPECT_TRUE(style.TrueColorScreen());
  EXPECT_TRUE(style.BlendSelectionColors());
}

// ---------------------------------------------------------------- section names and messages

class TSessionForm : public TForm {
  TALVIK_CLASS(TSessionForm, TForm)
  using TForm::TForm;
};

class DefaultSection : public GridGuiTest {};

TEST_F(DefaultSection, NamesFormsControlsAndComponents) {
  TSessionForm form(nullptr);
  form.SetName("SessionForm");
  auto* grid = new TPanel(&form);
  grid->SetName("dbgSession");
  grid->SetParent(&form);
  auto* timer = new TTimer(&form);
  timer->SetName("tmrRefresh");
  EXPECT_EQ(GetDefaultSection(&form), "TSessionForm");
  EXPECT_EQ(GetDefaultSection(grid), "TSessionFormdbgSession");
  EXPECT_EQ(GetDefaultSection(timer), "TSessionForm.tmrRefresh");
  EXPECT_EQ(GetDefaultSection(nullptr), "");

  TPanel host(nullptr);
  host.SetName("pnlHost");
  auto* inner = new TPanel(&host);
  inner->SetName("dbgLock");
  inner->SetParent(&host);
  EXPECT_EQ(GetDefaultSection(inner), "pnlHostdbgLock");
  TComponent loose(nullptr);
  loose.SetName("loose");
  EXPECT_EQ(GetDefaultSection(&loose), "loose");
}

TEST_F(DefaultSection, KillMessageRemovesOneAndPostsAQuitAgain) {
  TForm target(nullptr);
  HWND h = target.Handle();
  PostMessage(h, WM_CHAR, 'a', 0);
  PostMessage(h, WM_CHAR, 'b', 0);
  KillMessage(h, WM_CHAR);
  MSG m;
  ASSERT_TRUE(PeekMessage(m, h, WM_CHAR, WM_CHAR, PM_REMOVE));
  EXPECT_EQ(m.wParam, static_cast<WPARAM>('b'));
  EXPECT_FALSE(PeekMessage(m, h, WM_CHAR, WM_CHAR, PM_NOREMOVE));

  PostQuitMessage(7);
  KillMessage(nullptr, WM_QUIT);
  ASSERT_TRUE(PeekMessage(m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(m.wParam, 7u);
}

TEST(GridGeometry, RectangleAndIntegerHelpers) {
  const TRect r = MakeRect(10, 20, 30, 60);
  EXPECT_TRUE(PointInRectEx(30, 60, r));  // right and bottom edges are inside
  EXPECT_TRUE(PointInRectEx(10, 20, r));
  EXPECT_FALSE(PointInRectEx(31, 40, r));
  TRect t = r;
  TransposeRect(t);
  EXPECT_EQ(t, Rect(10, 20, 50, 40));
  EXPECT_EQ(MaxInt2(-3, 2), 2);
  EXPECT_EQ(MinInt2(-3, 2), -3);
  EXPECT_EQ(IfInt(false, 1, 2), 2);
  EXPECT_THROW(RaiseGridError("x"), EInvalidGridOperation);
}

// ---------------------------------------------------------------- values, fields, special row

struct EqualsCase {
  const char* name;
  TVariant a, b;
  bool equal;
};

class VarEqualsTest : public ::testing::TestWithParam<EqualsCase> {};

TEST_P(VarEqualsTest, ComparesScalarsAndArrays) {
  const EqualsCase& c = GetParam();
  EXPECT_EQ(VarEquals(c.a, c.b), c.equal);
  EXPECT_EQ(VarEquals(c.b, c.a), c.equal);
}

TVariant Shifted(std::initializer_list<TVariant> items, int low) {
  TVariant a = VarArrayCreate({low, low + static_cast<int>(items.size()) - 1}, varVariant);
  int i = low;
  for (const TVariant& v : items) a.SetElement(i++, v);
  return a;
}

INSTANTIATE_TEST_SUITE_P(
    Table, VarEqualsTest,
    ::testing::Values(EqualsCase{"TwoUnassigned", Unassigned(), Unassigned(), true},
                      EqualsCase{"UnassignedAndNull", Unassigned(), Null(), false},
                      EqualsCase{"NullAndNull", Null(), Null(), true},
                      EqualsCase{"IntegerAndFloat", TVariant(5), TVariant(5.0), true},
                      EqualsCase{"StringAndNumber", TVariant("5"), TVariant(5), true},
                      EqualsCase{"DifferentStrings", TVariant("a"), TVariant("b"), false},
                      EqualsCase{"ArrayAndScalar", VarArrayOf({1, 2}), TVariant(1), false},
                      EqualsCase{"EqualArrays", VarArrayOf({1, "x"}), VarArrayOf({1, "x"}), true},
                      EqualsCase{"ArraysDifferAtTheEnd", VarArrayOf({1, 2}), VarArrayOf({1, 3}), false},
                      EqualsCase{"SameElementsOtherBounds", Shifted({1, 2}, 1), VarArrayOf({1, 2}), false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ExtraRow, CellsTextWithAQuotedSemicolon) {
  TSpecRowEx row;
  int changes = 0;
  row.OnChanged = [&](TObject*) { ++changes; };
  row.SetCellsText("one;\"two; and \"\"more\"\"\";three");
  EXPECT_EQ(row.CellCount(), 3);
  EXPECT_EQ(row.GetCellText(0), "one");
  EXPECT_EQ(row.GetCellText(1), "two; and \"more\"");
  EXPECT_EQ(row.GetCellText(2), "three");
  EXPECT_EQ(row.GetCellText(3), "");
  EXPECT_EQ(row.GetCellText(-1), "");
  EXPECT_EQ(changes, 1);
  row.BeginUpdate();
  row.SetVisible(true);
  row.SetValue(5);
  EXPECT_EQ(changes, 1);
  row.EndUpdate();
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(row.ShortCut(), 0x802E);
  EXPECT_TRUE(row.LocateKey(5));
  EXPECT_FALSE(row.LocateKey(Null()));
}

TEST(ExtraRow, FontAndColourFollowTheOwnerUntilAssigned) {
  TPanel owner(nullptr);
  owner.SetColor(clYellow);
  TSpecRowEx row(&owner);
  owner.SetColor(clAqua);
  EXPECT_EQ(row.Color(), clAqua);
  owner.Font()->SetName("Arial");
  EXPECT_EQ(row.Font()->Name(), "Arial");
  EXPECT_FALSE(row.FontAssigned());
  row.Font()->SetColor(clRed);
  EXPECT_TRUE(row.FontAssigned());
  owner.Font()->SetName("Courier New");
  EXPECT_EQ(row.Font()->Name(), "Arial");
}

TEST(FieldLists, FindsFieldsWritesValuesAndNamesTheMissingOne) {
  TMemDataSet ds;
  ds.SetName("ds");
  ds.FieldDefs()->Add("ID", ftInteger);
  ds.FieldDefs()->Add("NAME", ftString, 10);
  ds.AddRow({1, "a"});
  ds.Open();
  auto fields = GetFieldsArray(&ds, "ID; NAME");
  ASSERT_EQ(fields.size(), 2u);
  EXPECT_EQ(fields[1]->FieldName(), "NAME");
  try {
    GetFieldsList(nullptr, &ds, "ID;NOPE");
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_NE(std::string(e.Message()).find("Field 'NOPE' not found"), std::string::npos);
  }
  ds.Edit();
  SetFieldsValues(&ds, "ID;NAME", VarArrayOf({7, "z"}));
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 7);
  SetFieldsValues(&ds, "ID;NAME", Null());
  EXPECT_TRUE(ds.FieldByName("NAME")->IsNull());
  EXPECT_TRUE(AllFieldsCanModify(fields));
  ds.Cancel();
}

// ---------------------------------------------------------------- MRU list and interceptors

std::vector<std::string> Items(TStrings* s) {
  std::vector<std::string> out;
  for (int i = 0; i < s->Count(); ++i) out.push_back(s->Strings(i));
  return out;
}

TEST(MRUList, AddsMovesTrimsAndFilters) {
  TMRUListEx mru;
  EXPECT_TRUE(mru.AutoAdd());
  EXPECT_FALSE(mru.Active());
  EXPECT_EQ(mru.Limit(), 100);
  EXPECT_EQ(mru.Rows(), 7);
  mru.Add("   ");
  EXPECT_EQ(mru.Items()->Count(), 0);
  mru.Add("Alpha");
  mru.Add("beta");
  mru.Add("ALPHA");  // equal without regard to case: moves to the end
  EXPECT_EQ(Items(mru.Items()), (std::vector<std::string>{"beta", "Alpha"}));
  mru.SetLimit(2);
  mru.Add("Альфа");
  EXPECT_EQ(Items(mru.Items()), (std::vector<std::string>{"Alpha", "Альфа"}));
  TStringList out;
  EXPECT_TRUE(mru.FilterItemsTo(&out, "АЛЬ"));
  EXPECT_EQ(Items(&out), (std::vector<std::string>{"Альфа"}));
  mru.SetCaseSensitive(true);
  EXPECT_TRUE(mru.FilterItemsTo(&out, "al"));
  EXPECT_TRUE(Items(&out).empty());
  mru.OnFilterItem = [](TObject*, const std::string& text, bool& accept) { accept = text == "Alpha"; };
  EXPECT_TRUE(mru.FilterItemsTo(&out, ""));
  EXPECT_EQ(Items(&out), (std::vector<std::string>{"Alpha"}));
  int changed = 0;
  mru.OnActiveChanged = [&](TObject*) { ++changed; };
  mru.SetActive(true);
  mru.SetActive(true);
  EXPECT_EQ(changed, 1);
}

class MRUListQueue : public GridGuiTest {};

TEST_F(MRUListQueue, FilterStopsForAWaitingKeyPress) {
  TMRUListEx mru;
  mru.SetLimit(1000);
  for (int i = 0; i < 250; ++i) mru.Add("item" + std::to_string(i));
  TForm target(nullptr);
  PostMessage(target.Handle(), WM_KEYDOWN, 'A', 0);
  TStringList out;
  EXPECT_FALSE(mru.FilterItemsTo(&out, "item"));
  mru.SetInterruptible(false);
  EXPECT_TRUE(mru.FilterItemsTo(&out, "item"));
  EXPECT_EQ(out.Count(), 250);
}

class TTargetA : public TComponent {
  TALVIK_CLASS(TTargetA, TComponent)
  using TComponent::TComponent;
};
class TInterceptorA : public TStoragePropertyInterceptor {
  TALVIK_CLASS(TInterceptorA, TStoragePropertyInterceptor)
  using TStoragePropertyInterceptor::TStoragePropertyInterceptor;
};
class TInterceptorB : public TStoragePropertyInterceptor {
  TALVIK_CLASS(TInterceptorB, TStoragePropertyInterceptor)
  using TStoragePropertyInterceptor::TStoragePropertyInterceptor;
};

int PairsOf(const TClassInfo* target) {
  int n = 0;
  for (auto& p : RegisteredPropertyInterceptors()) n += p.first == target;
  return n;
}

TEST(PropertyInterceptors, RegisteringAgainReplacesAndUnregisterNeedsTheExactPair) {
  RegisterPropertyInterceptor(TTargetA::StaticClass(), TInterceptorA::StaticClass());
  RegisterPropertyInterceptor(TTargetA::StaticClass(), TInterceptorB::StaticClass());
  EXPECT_EQ(PairsOf(TTargetA::StaticClass()), 1);
  UnregisterPropertyInterceptor(TTargetA::StaticClass(), TInterceptorA::StaticClass());
  EXPECT_EQ(PairsOf(TTargetA::StaticClass()), 1);
  UnregisterPropertyInterceptor(TTargetA::StaticClass(), TInterceptorB::StaticClass());
  EXPECT_EQ(PairsOf(TTargetA::StaticClass()), 0);
  TTargetA target(nullptr);
  TInterceptorA interceptor(&target);
  EXPECT_EQ(interceptor.Target(), &target);
  EXPECT_TRUE(interceptor.Intercepts());
}

}  // namespace
