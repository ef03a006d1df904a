// A window's update area of several rectangles: what lies between invalidated rectangles is neither
// erased nor painted, labels between changed ones are not drawn again, a memo given a new text paints
// the rows that changed; and what shows afterwards is what painting the window whole shows.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "GuiTestSupport.h"
#include "WindowPicture.h"
#include "platform/gui/Forms.h"
#include "platform/gui/StdCtrls.h"
#include "platform/gui/WinManager.h"

using namespace guitest;

namespace {

// ---------------------------------------------------------------- the window layer

struct AreaCase {
  const char* name;
  std::vector<RECT> invalidated;
  std::vector<RECT> validated;  // after the invalidations
  RECT box;                     // the update rectangle and the painted one; empty: no paint comes
  std::vector<POINT> painted;   // points inside the paint's clip
  std::vector<POINT> spared;    // points outside it
};

std::vector<RECT> ApartInARow(int count) {
  std::vector<RECT> out;
  for (int i = 0; i < count; ++i) out.push_back(Rect(10 + 20 * i, 10, 20 + 20 * i, 20));
  return out;
}

const AreaCase kAreas[] = {
    {"TwoApartPaintOnlyThemselves",
     {Rect(10, 10, 30, 20), Rect(100, 10, 120, 20)},
     {},
     Rect(10, 10, 120, 20),
     {{15, 15}, {110, 15}},
     {{60, 15}, {15, 25}}},
    {"OneBesideTheOtherPaintBoth",
     {Rect(10, 10, 30, 20), Rect(30, 10, 50, 20), Rect(10, 20, 50, 30)},
     {},
     Rect(10, 10, 50, 30),
     {{29, 15}, {30, 15}, {45, 25}},
     {{55, 15}}},
    {"OverlappingOnesPaintTheirUnion",
     {Rect(10, 10, 40, 40), Rect(30, 30, 60, 60)},
     {},
     Rect(10, 10, 60, 60),
     {{15, 15}, {35, 35}, {55, 55}},
     {{55, 15}, {15, 55}}},
    {"OneInsideAnotherChangesNothing",
     {Rect(10, 10, 50, 50), Rect(20, 20, 30, 30), Rect(100, 10, 110, 20)},
     {},
     Rect(10, 10, 110, 50),
     {{15, 15}, {45, 45}, {105, 15}},
     {{75, 15}}},
    {"ManyApartBecomeTheirBoundingBox",
     ApartInARow(17),
     {},
     Rect(10, 10, 340, 20),
     {{25, 15}, {335, 15}},
     {}},
    {"ValidatingOneLeavesTheOther",
     {Rect(10, 10, 30, 20), Rect(100, 10, 120, 20)},
     {Rect(10, 10, 30, 20)},
     Rect(100, 10, 120, 20),
     {{110, 15}},
     {{15, 15}}},
    {"ValidatingAnEdgeShrinksThePartItCovers",
     {Rect(10, 10, 30, 40), Rect(100, 10, 120, 20)},
     {Rect(0, 0, 40, 25)},
     Rect(10, 10, 120, 40),
     {{15, 30}, {110, 15}},
     {{15, 15}}},
    {"ValidatingAllLeavesNothing",
     {Rect(10, 10, 30, 20), Rect(100, 10, 120, 20)},
     {Rect(0, 0, 400, 300)},
     RECT{},
     {},
     {}},
};

class UpdateArea : public GuiTest, public ::testing::WithParamInterface<AreaCase> {};

TEST_P(UpdateArea, PaintKeepsToTheInvalidatedRectangles) {
  const AreaCase& c = GetParam();
  HWND w = Top(0, 0, 400, 300);
  Drain();
  int paints = 0;
  RECT painted{};
  std::vector<bool> in, out;
  Handlers()[w] = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT* r) {
    if (m != WM_PAINT) return false;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, ps);
    ++paints;
    painted = ps.rcPaint;
    for (POINT p : c.painted) in.push_back(RectVisible(dc, Rect(p.X, p.Y, p.X + 1, p.Y + 1)));
    for (POINT p : c.spared) out.push_back(RectVisible(dc, Rect(p.X, p.Y, p.X + 1, p.Y + 1)));
    EndPaint(h, ps);
    *r = 0;
    return true;
  };
  for (const RECT& r : c.invalidated) InvalidateRect(w, &r, true);
  for (const RECT& r : c.validated) ValidateRect(w, &r);
  RECT update;
  EXPECT_EQ(GetUpdateRect(w, &update, false), !IsRectEmpty(c.box));
  EXPECT_TRUE(EqualRect(update, c.box))
      << update.Left << "," << update.Top << "-" << update.Right << "," << update.Bottom;
  UpdateWindow(w);
  if (IsRectEmpty(c.box)) {
    EXPECT_EQ(paints, 0);
    return;
  }
  ASSERT_EQ(paints, 1);
  EXPECT_TRUE(EqualRect(painted, c.box));
  EXPECT_EQ(in, std::vector<bool>(c.painted.size(), true)) << "points to paint";
  EXPECT_EQ(out, std::vector<bool>(c.spared.size(), false)) << "points to spare";
  EXPECT_FALSE(GetUpdateRect(w, &update, false)) << "painted: nothing waits";
}

INSTANTIATE_TEST_SUITE_P(Rectangles, UpdateArea, ::testing::ValuesIn(kAreas),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- controls

class TCountingLabel : public TLabel {
 public:
  using TLabel::TLabel;
  int Paints = 0;

 protected:
  void Paint() override {
    ++Paints;
    TLabel::Paint();
  }
};

std::string ScreenshotDir() {
  const char* bin = std::getenv("TALVIK_BINARY_DIR");
  const std::string dir = std::string(bin ? bin : ".") + "/screenshots";
  std::filesystem::create_directories(dir);
  return dir;
}

class UpdateAreaControls : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    CreateApplication();
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(100, 100, 460, 300);
  }
  void TearDown() override {
    form.reset();
    GuiTest::TearDown();
  }
  // What the form shows against what it shows once painted whole again (compared in memory, each also
  // written as `name`.png and `name`-whole.png for people to look at): empty when they are the same,
  // else how they differ.
  std::string DifferenceFromAWholeRepaint(const std::string& name) {
    const guitest::Picture shown =
        guitest::WindowPicture(form->Handle(), ScreenshotDir() + "/" + name + ".png");
    RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    const guitest::Picture whole =
        guitest::WindowPicture(form->Handle(), ScreenshotDir() + "/" + name + "-whole.png");
    return guitest::PictureDifference(shown, whole);
  }
  std::unique_ptr<TForm> form;
};

TEST_F(UpdateAreaControls, LabelsBetweenChangedOnesAreNotDrawnAgain) {
  auto* box = new TGroupBox(form.get());
  box->SetParent(form.get());
  box->SetCaption(" Общие ");
  box->SetBounds(10, 10, 420, 90);
  // a row of captions and values, and a value in the next row
  struct Place {
    const char* caption;
    int left, top;
  };
  const Place places[] = {{"SID:", 8, 20},    {"17", 60, 20},           {"Serial#:", 120, 20},
                          {"4021", 200, 20},  {"Server PID:", 260, 20}, {"3112", 350, 20},
                          {"Статус:", 8, 50}, {"ACTIVE", 60, 50}};
  std::vector<TCountingLabel*> labels;
  for (const Place& p : places) {
    auto* l = new TCountingLabel(form.get());
    l->SetParent(box);
    l->SetAutoSize(false);
    l->SetBounds(p.left, p.top, 48, 16);
    l->SetCaption(p.caption);
    labels.push_back(l);
  }
  form->Show();
  talvik::gui::UpdateAllWindows(form->Handle());
  for (TCountingLabel* l : labels) l->Paints = 0;
  // the first value and the last one of the row change; the caption and values between stay
  labels[1]->SetCaption("18");
  labels[5]->SetCaption("3115");
  talvik::gui::UpdateAllWindows(form->Handle());
  std::vector<int> paints;
  for (TCountingLabel* l : labels) paints.push_back(l->Paints);
  EXPECT_EQ(paints, (std::vector<int>{0, 1, 0, 0, 0, 1, 0, 0}));
  EXPECT_EQ(DifferenceFromAWholeRepaint("update-area-labels"), "");
  // a change in another row, below a changed one: each drawn once, the row between them not at all
  for (TCountingLabel* l : labels) l->Paints = 0;
  labels[3]->SetCaption("4022");
  labels[7]->SetCaption("INACTIVE");
  talvik::gui::UpdateAllWindows(form->Handle());
  paints.clear();
  for (TCountingLabel* l : labels) paints.push_back(l->Paints);
  EXPECT_EQ(paints, (std::vector<int>{0, 0, 0, 1, 0, 0, 0, 1}));
  EXPECT_EQ(DifferenceFromAWholeRepaint("update-area-labels-second"), "");
}

// A memo given a new text: the update area it leaves before painting, and the screen after.
struct MemoCase {
  const char* name;
  const char* before;
  const char* after;
  bool scrolled;    // the view scrolled down before the new text comes
  bool caretMoved;  // the caret placed past the start before
  int firstRow;     // the band of rows to paint (row numbers of the new text); -1: none
  int lastRow;      // -2: the whole client area
};

const MemoCase kMemoTexts[] = {
    {"OneRowChanged", "один\r\nдва\r\nтри", "один\r\nДВА\r\nтри", false, false, 1, 1},
    {"FirstAndLastRowsChanged", "один\r\nдва\r\nтри", "One\r\nдва\r\nThree", false, false, 0, 2},
    {"ARowAdded", "один\r\nдва", "один\r\nдва\r\nтри", false, false, 2, 2},
    {"ARowTaken", "один\r\nдва\r\nтри", "один\r\nдва", false, false, 2, 2},
    {"ARowInserted", "один\r\nтри", "один\r\nдва\r\nтри", false, false, 1, 2},
    {"AnEmptyRowAdded", "один\r\nдва", "один\r\nдва\r\n", false, false, 2, 2},
    {"ARowOutOfViewChanged", "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n11\r\n12\r\n13\r\n14\r\n15",
     "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n11\r\n12\r\n13\r\n14\r\n16", false, false, -1, -1},
    {"AfterAScroll", "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n11\r\n12\r\n13\r\n14",
     "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n11\r\n12\r\n13\r\n15", true, false, 0, -2},
    {"CaretPastTheStart", "один\r\nдва\r\nтри", "один\r\nДВА\r\nтри", false, true, 0, -2},
};

class MemoNewText : public UpdateAreaControls, public ::testing::WithParamInterface<MemoCase> {};

TEST_P(MemoNewText, PaintsTheRowsThatChanged) {
  const MemoCase& c = GetParam();
  auto* memo = new TMemo(form.get());
  memo->SetParent(form.get());
  memo->SetBounds(10, 10, 300, 150);
  memo->SetScrollBars(ssVertical);
  memo->SetText(c.before);
  form->Show();
  talvik::gui::UpdateAllWindows(form->Handle());
  HWND h = memo->Handle();
  if (c.scrolled) SendMessage(h, EM_LINESCROLL, 0, 3);
  if (c.caretMoved) SendMessage(h, EM_SETSEL, 2, 2);
  talvik::gui::UpdateAllWindows(form->Handle());
  memo->SetText(c.after);
  RECT update;
  const bool any = GetUpdateRect(h, &update, false);
  RECT client;
  GetClientRect(h, client);
  // a row's band: from its top to the next row's (the client's bottom past the last row)
  auto rowTop = [&](int row) {
    const LRESULT at = SendMessage(h, EM_POSFROMCHAR, SendMessage(h, EM_LINEINDEX, row, 0), 0);
    return static_cast<int>(static_cast<short>(HIWORD(at)));
  };
  if (c.firstRow < 0) {
    EXPECT_FALSE(any);
  } else if (c.lastRow == -2) {
    EXPECT_TRUE(EqualRect(update, client));
  } else {
    ASSERT_TRUE(any);
    const int height = rowTop(1) - rowTop(0);
    EXPECT_EQ(update.Top, rowTop(0) + c.firstRow * height);
    EXPECT_EQ(update.Bottom, rowTop(0) + (c.lastRow + 1) * height);
    EXPECT_EQ(update.Left, client.Left);
    EXPECT_EQ(update.Right, client.Right);
  }
  EXPECT_EQ(DifferenceFromAWholeRepaint(std::string("memo-new-text-") + c.name), "");
}

INSTANTIATE_TEST_SUITE_P(Texts, MemoNewText, ::testing::ValuesIn(kMemoTexts),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
