// The grid's layout beyond the core pass: the multi-level title tree and its errors, vertical titles,
// auto-fit with width limits, resizing the whole right part, the vertical scroll bar by record
// numbers or by five positions, an external scroll bar (and its refusal when taken), the scroll
// messages, and a memory-table dataset shown row by row.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "GridDataSupport.h"
#include "GridTestSupport.h"
#include "grid/DBGridEx.h"

using namespace gridtest;

namespace {

class TLayoutGrid : public TDBGridEx {
 public:
  using TDBGridEx::ColWidthsChanged;
  using TDBGridEx::TDBGridEx;
};

// Numbers of a hundred rows, with or without record numbers.
class TNumbers : public TMemDataSet {
 public:
  explicit TNumbers(int Rows, bool Sequenced = true) : sequenced_(Sequenced) {
    FieldDefs()->Add("N", ftInteger);
    FieldDefs()->Add("NAME", ftString, 20);
    for (int i = 1; i <= Rows; ++i) AddRow({i, "row " + std::to_string(i)});
  }
  bool IsSequenced() override { return sequenced_; }

 private:
  bool sequenced_;
};

// A dataset that shows every record as a grid row and fetches on demand.
class TMemTable : public TNumbers, public IMemTableEx {
 public:
  explicit TMemTable(int Rows) : TNumbers(Rows) {}
  int MemTableRecordCount() override { return fetched; }
  int MemTableRecordIndex() override { return RecNo() - 1; }
  void MemTableFetchRecords(int Count) override {
    fetchRequests.push_back(Count);
    fetched = std::min(RecordCount(), fetched + Count);
  }
  int MemTableActiveRow() override { return activeRow; }
  void MemTableSetActiveRow(int Value) override { activeRow = Value; }
  int fetched = 40;
  int activeRow = 0;
  std::vector<int> fetchRequests;
};

class GridLayout : public GridGuiTest {
 protected:
  void SetUp() override {
    GridGuiTest::SetUp();
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(50, 50, 480, 300);
    grid = new TLayoutGrid(form.get());
    grid->SetParent(form.get());
    grid->SetBounds(0, 0, 460, 280);
    form->Show();
  }
  void TearDown() override {
    form.reset();
    data.reset();
    GridGuiTest::TearDown();
  }
  // Customised columns with these captions over a fresh dataset.
  void Captions(const std::vector<std::string>& Texts, int Width = 60) {
    grid->Columns()->BeginUpdate();
    for (const std::string& t : Texts) {
      TColumnEx* c = grid->Columns()->Add();
      c->Title()->SetCaption(t);
      c->SetWidth(Width);
    }
    grid->Columns()->EndUpdate();
  }
  void Bind(TDataSet* DataSet) {
    source.SetDataSet(DataSet);
    DataSet->Open();
    grid->SetDataSource(&source);
  }
  SCROLLINFO VertInfo() {
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    GetScrollInfo(grid->Handle(), SB_VERT, si);
    return si;
  }
  bool VertShown() { return (GetWindowLong(grid->Handle(), GWL_STYLE) & WS_VSCROLL) != 0; }
  void VScroll(int Code, int Pos = 0) { SendMessage(grid->Handle(), WM_VSCROLL, MAKEWPARAM(Code, Pos), 0); }
  std::unique_ptr<TForm> form;
  TLayoutGrid* grid = nullptr;
  TDataSource source{nullptr};
  std::unique_ptr<TDataSet> data;
};

// ---------------------------------------------------------------- the title tree

std::vector<std::string> ChildTexts(THeadTreeNode* Node) {
  std::vector<std::string> out;
  if (!Node->Child) return out;
  THeadTreeNode* n = Node->Child;
  do {
    out.push_back(n->Text);
    n = n->Next;
  } while (n != Node->Child);
  return out;
}

TEST_F(GridLayout, AdjacentCaptionsShareAGroupAndASingleTitleTakesTheFullHeight) {
  Captions({"A|x", "A|y", "B"});
  grid->SetUseMultiTitle(true);
  THeadTreeNode* root = grid->HeadTree();
  ASSERT_EQ(ChildTexts(root), (std::vector<std::string>{"A", "B"}));
  THeadTreeNode* a = root->Child;
  THeadTreeNode* b = a->Next;
  EXPECT_EQ(ChildTexts(a), (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(b->Child, nullptr);
  EXPECT_EQ(b->Column, grid->Columns()->Items(2));
  // widths: the two columns and the line between them
  EXPECT_EQ(a->Width, 60 + 60 + 1);
  // the group's band over the leaves' bands makes the height of the single-level title
  EXPECT_EQ(a->Height + a->Child->Height, b->Height);
  EXPECT_EQ(root->Height, b->Height);
  EXPECT_EQ(grid->TitleRowHeight(), root->Height - 1);  // with dghFixed3D
  EXPECT_EQ(grid->RowHeights(0), grid->TitleRowHeight());
  EXPECT_EQ(grid->LeafOf(grid->Columns()->Items(1))->Text, "y");
  // without the 3D look two more pixels go
  grid->SetOptionsEx(grid->OptionsEx() - dghFixed3D);
  EXPECT_EQ(grid->TitleRowHeight(), grid->HeadTree()->Height - 3);
}

TEST_F(GridLayout, TheSessionGridsWaitColumnsShareTheirUpperTitle) {
  Captions(
      {"SID", "Статус", "Ожидание|SEQ#", "Ожидание|Cтатус (время)", "Ожидание|Событие", "Время простоя"});
  grid->SetUseMultiTitle(true);
  EXPECT_EQ(ChildTexts(grid->HeadTree()),
            (std::vector<std::string>{"SID", "Статус", "Ожидание", "Время простоя"}));
  THeadTreeNode* wait = grid->LeafOf(grid->Columns()->Items(2))->Host;
  EXPECT_EQ(wait->Text, "Ожидание");
  EXPECT_EQ(ChildTexts(wait), (std::vector<std::string>{"SEQ#", "Cтатус (время)", "Событие"}));
  EXPECT_EQ(grid->LeafOf(grid->Columns()->Items(4))->Host, wait);
}

TEST_F(GridLayout, ThreeLevelsNestGroupsInsideGroups) {
  Captions({"A|B|x", "A|B|y", "A|z"});
  grid->SetUseMultiTitle(true);
  THeadTreeNode* x = grid->LeafOf(grid->Columns()->Items(0));
  EXPECT_EQ(x->Text, "x");
  EXPECT_EQ(x->Host->Text, "B");
  EXPECT_EQ(x->Host->Host->Text, "A");
  EXPECT_EQ(grid->LeafOf(grid->Columns()->Items(2))->Host->Text, "A");
  EXPECT_EQ(ChildTexts(x->Host->Host), (std::vector<std::string>{"B", "z"}));
}

TEST_F(GridLayout, TreeErrorsNameTheirCause) {
  THeadTreeNode root;
  THeadTreeNode* a = root.AddChild(&root, "a", 10, 5);
  THeadTreeNode* b = root.Add(a, "b", 10, 5);
  THeadTreeNode stranger("s", 10, 5);
  try {
    root.Union(&stranger, &stranger, "G", 20);
    FAIL() << "a stranger was grouped";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Node not in Tree");
  }
  try {
    root.Union(b, a, "G", 20);  // To before From
    FAIL() << "a backward run was grouped";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "ATo not in level");
  }
  // a run of equal first words over leaves that already hang under different groups
  Captions({"G|A|x", "A|y"});
  grid->SetUseMultiTitle(false);
  try {
    grid->CreateFieldTree();
    FAIL() << "the leaves were grouped across levels";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "ATo not in level");
  }
}

TEST_F(GridLayout, AVerticalTitleIsAsHighAsItsTextIsLong) {
  Captions({"Изменено блоков", "B"});
  grid->Columns()->Items(0)->Title()->SetOrientation(tohVertical);
  grid->SetUseMultiTitle(true);
  TBitmap b;
  b.Canvas()->Font()->Assign(grid->Columns()->Items(0)->Title()->Font());
  const int length = b.Canvas()->TextWidth("Изменено блоков");
  EXPECT_EQ(grid->HeadTree()->Height, length + 6);
  EXPECT_EQ(grid->TitleRowHeight(), length + 6 - 1);
}

TEST_F(GridLayout, ASortMarkerKeepsSixteenPixelsOfItsLeaf) {
  TBitmap b;
  b.Canvas()->Font()->Assign(grid->TitleFont());
  Captions({"Время простоя", "B"}, b.Canvas()->TextWidth("Время простоя") + 8);
  grid->SetUseMultiTitle(true);
  const int plain = grid->TitleRowHeight();
  grid->Columns()->Items(0)->Title()->SetSortMarker(smDownEx);
  grid->SetUseMultiTitle(true);
  EXPECT_EQ(grid->LeafOf(grid->Columns()->Items(0))->ExtraWidth, 16);
  EXPECT_GT(grid->TitleRowHeight(), plain);  // less room: more lines
  EXPECT_EQ(grid->SortMarkerWidth(grid->Columns()->Items(0)), 16);
  EXPECT_EQ(grid->SortMarkerWidth(grid->Columns()->Items(1)), 0);
}

// ---------------------------------------------------------------- auto-fit

int WidthSum(TCustomDBGridEx* Grid) {
  int sum = 0;
  for (int i = 0; i < Grid->Columns()->Count(); ++i) sum += Grid->Columns()->Items(i)->Width();
  return sum;
}

TEST_F(GridLayout, AutoFitFillsTheClientAndALimitedColumnLeavesTheRestToTheOthers) {
  Captions({"a", "b", "c"}, 100);
  grid->Columns()->Items(1)->SetMaxWidth(50);
  grid->SetAutoFitColWidths(true);
  // client width less the indicator, one line per column and one more
  const int available = grid->ClientWidth() - kIndicatorWidth - 3 - 1;
  EXPECT_EQ(grid->Columns()->Items(1)->Width(), 50);
  EXPECT_EQ(WidthSum(grid), available);
  EXPECT_NEAR(grid->Columns()->Items(0)->Width(), grid->Columns()->Items(2)->Width(), 1);
  EXPECT_FALSE(grid->HorzScrollBar()->IsScrollBarShowing());
  // a minimum width wider than the client is what the columns share
  grid->SetMinAutoFitWidth(900);
  EXPECT_EQ(WidthSum(grid), 900 - kIndicatorWidth - 3 - 1);
}

TEST_F(GridLayout, ANonFittingColumnKeepsItsWidthAndTheRightMostTakesTheRemainder) {
  Captions({"a", "b", "c"}, 70);
  grid->Columns()->Items(0)->SetAutoFitColWidth(false);
  grid->Columns()->Items(1)->SetInitWidth(1);
  grid->SetAutoFitColWidths(true);
  EXPECT_EQ(grid->Columns()->Items(0)->Width(), 70);
  const int available = grid->ClientWidth() - 70 - kIndicatorWidth - 3 - 1;
  EXPECT_EQ(grid->Columns()->Items(1)->Width() + grid->Columns()->Items(2)->Width(), available);
}

TEST_F(GridLayout, ResizingWithTheWholeRightPartRescalesTheColumnsToTheRight) {
  Captions({"a", "b", "c", "d"}, 100);
  grid->SetAutoFitColWidths(true);
  grid->SetOptionsEx(grid->OptionsEx() + dghResizeWholeRightPart);
  const int bBefore = grid->Columns()->Items(1)->Width();
  const int cInit = grid->Columns()->Items(2)->InitWidth();
  const int a = grid->Columns()->Items(0)->Width();
  grid->SetColWidths(1, a + 40);  // the user widens the first column by 40
  grid->ColWidthsChanged();
  // the first column grew; the ones to its right gave up the room between them
  EXPECT_GT(grid->Columns()->Items(0)->Width(), a + 30);
  EXPECT_LT(grid->Columns()->Items(1)->Width(), bBefore);
  EXPECT_LT(grid->Columns()->Items(2)->InitWidth(), cInit);
  const int available = grid->ClientWidth() - kIndicatorWidth - 4 - 1;
  EXPECT_EQ(WidthSum(grid), available);
}

TEST_F(GridLayout, ResizingWithoutTheRightPartMovesTheDifferenceToTheNextColumn) {
  Captions({"a", "b", "c"}, 100);
  grid->SetAutoFitColWidths(true);
  const int cInit = grid->Columns()->Items(2)->InitWidth();
  const int bInit = grid->Columns()->Items(1)->InitWidth();
  grid->SetColWidths(1, grid->Columns()->Items(0)->Width() - 30);
  grid->ColWidthsChanged();
  EXPECT_GT(grid->Columns()->Items(1)->InitWidth(), bInit);
  EXPECT_EQ(grid->Columns()->Items(2)->InitWidth(), cInit);
}

// ---------------------------------------------------------------- the vertical scroll bar

TEST_F(GridLayout, TheVerticalBarFollowsTheRecordNumber) {
  data = std::make_unique<TNumbers>(100);
  Bind(data.get());
  const int rows = grid->VisibleDataRowCount();
  SCROLLINFO si = VertInfo();
  EXPECT_EQ(si.nMin, 1);
  EXPECT_EQ(si.nMax, 100 + rows - 1);
  EXPECT_EQ(static_cast<int>(si.nPage), rows);
  EXPECT_EQ(si.nPos, 1);
  EXPECT_TRUE(VertShown());
  data->MoveBy(41);
  EXPECT_EQ(VertInfo().nPos, 42);
  // while editing, the bar keeps its position
  data->Edit();
  data->FieldByName("NAME")->SetAsString("x");
  grid->UpdateVertScrollBar();
  EXPECT_EQ(VertInfo().nPos, 42);
  data->Cancel();
}

TEST_F(GridLayout, WithoutRecordNumbersTheBarHasFivePositions) {
  data = std::make_unique<TNumbers>(100, false);
  Bind(data.get());
  SCROLLINFO si = VertInfo();
  EXPECT_EQ(si.nMin, 0);
  EXPECT_EQ(si.nMax, 4);
  EXPECT_EQ(si.nPos, 0);
  data->MoveBy(10);
  EXPECT_EQ(VertInfo().nPos, 2);
  data->Last();
  EXPECT_EQ(VertInfo().nPos, 4);
}

TEST_F(GridLayout, AlwaysShownTheBarIsDisabledWhenNothingScrolls) {
  data = std::make_unique<TNumbers>(1);
  Bind(data.get());
  EXPECT_FALSE(VertShown());
  grid->VertScrollBar()->SetVisibleMode(sbAlwaysShowEx);
  EXPECT_TRUE(VertShown());
  EXPECT_TRUE(grid->VertScrollBar()->IsScrollBarShowing());
  grid->VertScrollBar()->SetVisibleMode(sbNeverShowEx);
  EXPECT_FALSE(VertShown());
  EXPECT_FALSE(grid->VertScrollBar()->Visible());
}

TEST_F(GridLayout, AnExternalBarTakesTheRangeAndItsScrollsReachTheGrid) {
  data = std::make_unique<TNumbers>(100);
  auto* bar = new TScrollBar(form.get());
  bar->SetName("sbRecords");
  bar->SetKind(sbVertical);
  bar->SetParent(form.get());
  bar->SetBounds(462, 0, 16, 280);
  grid->VertScrollBar()->SetExtScrollBar(bar);
  Bind(data.get());
  EXPECT_FALSE(VertShown());  // the window's own bar stands down
  const int rows = grid->VisibleDataRowCount();
  EXPECT_EQ(bar->Min(), 1);
  EXPECT_EQ(bar->Max(), 100 + rows - 1);
  EXPECT_EQ(bar->PageSize(), rows);
  // the bar's own scroll notification moves the dataset
  SendMessage(form->Handle(), WM_VSCROLL, MAKEWPARAM(SB_BOTTOM, 0), reinterpret_cast<LPARAM>(bar->Handle()));
  EXPECT_TRUE(data->Eof());
  EXPECT_EQ(bar->Position(), 100);
  // the bar freed first leaves the grid without one
  delete bar;
  EXPECT_EQ(grid->VertScrollBar()->ExtScrollBar(), nullptr);
}

TEST_F(GridLayout, ABarAttachedToAnotherGridIsRefused) {
  auto* bar = new TScrollBar(form.get());
  bar->SetName("sbShared");
  bar->SetParent(form.get());
  grid->HorzScrollBar()->SetExtScrollBar(bar);
  auto* other = new TDBGridEx(form.get());
  other->SetParent(form.get());
  try {
    other->HorzScrollBar()->SetExtScrollBar(bar);
    FAIL() << "the bar served two grids";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Possible sbShared already attached to the other control.");
  }
  grid->HorzScrollBar()->SetExtScrollBar(nullptr);
  other->HorzScrollBar()->SetExtScrollBar(bar);  // free again
  EXPECT_EQ(other->HorzScrollBar()->ExtScrollBar(), bar);
}

TEST_F(GridLayout, AnExternalHorizontalBarWithNothingToScrollSitsAtZero) {
  Captions({"a", "b"}, 60);
  auto* bar = new TScrollBar(form.get());
  bar->SetParent(form.get());
  grid->HorzScrollBar()->SetExtScrollBar(bar);
  grid->UpdateHorzScrollBar();
  EXPECT_EQ(bar->Max(), 0);
  EXPECT_EQ(bar->Position(), 0);
  // many wide columns: 127 positions, the left column maps onto them
  for (int i = 0; i < 10; ++i) grid->Columns()->Add()->SetWidth(120);
  grid->UpdateHorzScrollBar();
  EXPECT_EQ(bar->Max(), 127);
  SendMessage(grid->Handle(), WM_HSCROLL, MAKEWPARAM(SB_BOTTOM, 0), 0);
  EXPECT_EQ(bar->Position(), 127);
}

// ---------------------------------------------------------------- scroll messages

struct ScrollCase {
  const char* name;
  int code;
  int pos;
  int recNoAfter;  // from record 50
};

class FivePositions : public GridLayout, public ::testing::WithParamInterface<ScrollCase> {};

TEST_P(FivePositions, WithoutRecordNumbersAThumbPositionMaps) {
  const ScrollCase& c = GetParam();
  data = std::make_unique<TNumbers>(100, false);
  Bind(data.get());
  const int page = grid->VisibleDataRowCount();
  data->MoveBy(49);
  VScroll(c.code, c.pos);
  const int expected = c.recNoAfter == -1 ? 50 - page : c.recNoAfter == -2 ? 50 + page : c.recNoAfter;
  EXPECT_EQ(data->RecNo(), expected);
}

INSTANTIATE_TEST_SUITE_P(Table, FivePositions,
                         ::testing::Values(ScrollCase{"ZeroIsTheFirst", SB_THUMBPOSITION, 0, 1},
                                           ScrollCase{"OneIsAPageUp", SB_THUMBPOSITION, 1, -1},
                                           ScrollCase{"TheMiddleMovesNothing", SB_THUMBPOSITION, 2, 50},
                                           ScrollCase{"ThreeIsAPageDown", SB_THUMBPOSITION, 3, -2},
                                           ScrollCase{"FourIsTheLast", SB_THUMBPOSITION, 4, 100},
                                           ScrollCase{"TopAndBottomCodes", SB_BOTTOM, 0, 100},
                                           ScrollCase{"TrackingOffMovesNothing", SB_THUMBTRACK, 4, 50}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(GridLayout, LinesStepPastTheVisibleRecordsAndTrackingMovesWhileDragging) {
  data = std::make_unique<TNumbers>(100);
  Bind(data.get());
  const int rows = grid->VisibleDataRowCount();
  VScroll(SB_LINEDOWN);
  EXPECT_EQ(data->RecNo(), rows + 1);  // the record below the last one in view
  VScroll(SB_LINEUP);
  EXPECT_LT(data->RecNo(), rows + 1);
  // a thumb position with record numbers goes to that record
  VScroll(SB_THUMBPOSITION, 70);
  EXPECT_EQ(data->RecNo(), 70);
  VScroll(SB_THUMBPOSITION, 500);
  EXPECT_EQ(data->RecNo(), 100);
  // tracking: the drag moves, and the position message that ends it is ignored
  grid->VertScrollBar()->SetTracking(true);
  VScroll(SB_TOP);
  grid->VertScrollMessage(SB_THUMBTRACK, 30);
  EXPECT_EQ(data->RecNo(), 30);
  grid->VertScrollMessage(SB_THUMBPOSITION, 90);
  EXPECT_EQ(data->RecNo(), 30);
  grid->VertScrollMessage(SB_THUMBPOSITION, 90);
  EXPECT_EQ(data->RecNo(), 90);
}

// ---------------------------------------------------------------- memory-table mode

TEST_F(GridLayout, AMemoryTableShowsEveryFetchedRecordAsARow) {
  auto* table = new TMemTable(100);
  data.reset(table);
  Bind(table);
  ASSERT_EQ(grid->MemTable(), table);
  EXPECT_EQ(grid->RowCount(), grid->TitleOffset() + table->fetched);
  EXPECT_EQ(grid->Row(), grid->TitleOffset());
  table->MoveBy(9);
  EXPECT_EQ(grid->Row(), grid->TitleOffset() + 9);
  // the bar counts rows
  SCROLLINFO si = VertInfo();
  EXPECT_EQ(si.nMin, 1);
  EXPECT_EQ(si.nMax, table->fetched);
  EXPECT_EQ(si.nPos, 1);
  // a page down moves the view, not the record; further down the rows in view ask for more
  VScroll(SB_PAGEDOWN);
  EXPECT_GT(grid->TopRow(), grid->TitleOffset());
  EXPECT_EQ(table->RecNo(), 10);
  table->Last();
  EXPECT_FALSE(table->fetchRequests.empty());
  EXPECT_EQ(grid->Row(), grid->RowCount() - 1);
  // footers leave memory-table mode
  grid->SetFooterRowCount(1);
  EXPECT_EQ(grid->MemTable(), nullptr);
}

}  // namespace
