// The grid under a real X server with input from xdotool: the dotted line while a title border is
// dragged, Ctrl+F typed into an open cell, Enter moving on like Tab after an edit, and Shift+Down
// marking records; the display is saved where a person would look.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "../gui/X11TestSupport.h"
#include "GridDataSupport.h"
#include "grid/DBGridEx.h"
#include "platform/gui/WinManager.h"

namespace {

class X11GridEditing : public x11test::ToolkitTest {
 protected:
  void SetUp() override {
    x11test::ToolkitTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    x11test::UsKeyboard();
    people = std::make_unique<gridtest::People>();
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(40, 40, 520, 240);
    form->SetCaption("TalvikX11GridEditing");
    grid = new TDBGridEx(form.get());
    grid->SetParent(form.get());
    grid->SetBounds(10, 10, 500, 220);
    grid->SetDataSource(&people->source);
    for (const char* n : {"ID", "NAME", "FLAG"}) {
      TColumnEx* c = grid->Columns()->Add();
      c->SetFieldName(n);
      c->SetWidth(120);
    }
    form->Show();
    ASSERT_TRUE(
        x11test::WaitFor([] { return x11test::Shell("xdotool search --name TalvikX11GridEditing"); }));
    x11test::Shell("xdotool search --name TalvikX11GridEditing windowfocus");
    grid->SetFocus();
    x11test::Settle();
  }
  void TearDown() override {
    form.reset();
    people.reset();
  }
  std::string At(TPoint Client) {
    const TPoint p = grid->ClientToScreen(Client);
    return std::to_string(p.X) + " " + std::to_string(p.Y);
  }
  bool Keys(const std::string& Keys) { return x11test::Shell("xdotool key --delay 60 " + Keys); }
  std::unique_ptr<gridtest::People> people;
  std::unique_ptr<TForm> form;
  TDBGridEx* grid = nullptr;
};

TEST_F(X11GridEditing, ADottedLineFollowsATitleBorderDraggedWithTheMouse) {
  const TRect title = grid->CellRect(grid->DataToRawColumn(1), 0);
  const int y = (title.Top + title.Bottom) / 2;
  const int x = title.Right + 40, top = title.Bottom + 2, bottom = grid->ClientHeight() - 2;
  auto pixels = [&] {
    std::vector<COLORREF> v;
    const TPoint o = grid->ClientToScreen(TPoint{0, 0});
    const TPoint f = form->ClientToScreen(TPoint{0, 0});
    for (int i = top; i < bottom; ++i)
      v.push_back(talvik::gui::WindowPixel(form->Handle(), o.X - f.X + x, o.Y - f.Y + i));
    return v;
  };
  const std::vector<COLORREF> before = pixels();
  ASSERT_TRUE(x11test::Shell("xdotool mousemove " + At({title.Right, y}) +
                             " mousedown 1 sleep 0.2 mousemove " + At({title.Right + 20, y}) +
                             " sleep 0.2 mousemove " + At({x, y})));
  auto changed = [&] {
    const std::vector<COLORREF> now = pixels();
    int n = 0;
    for (size_t i = 0; i < now.size(); ++i) n += now[i] != before[i];
    return n;
  };
  EXPECT_TRUE(x11test::WaitFor([&] { return changed() > (bottom - top) / 4; })) << "no line at the border";
  EXPECT_LT(changed(), bottom - top);  // dotted
  x11test::Settle();
  talvik::gui::GrabDisplayToPng(x11test::ScreenshotDir() + "/grid-x11-sizing-line.png");
  ASSERT_TRUE(x11test::Shell("xdotool mouseup 1"));
  EXPECT_TRUE(x11test::WaitFor([&] { return grid->Columns()->Items(1)->Width() == 160; }));
}

TEST_F(X11GridEditing, CtrlFTypedIntoAnOpenCellStartsTheSearch) {
  grid->SetOptionsEx(grid->OptionsEx() + dghIncSearch);
  grid->SetSelectedIndex(1);
  ASSERT_TRUE(Keys("F2"));
  ASSERT_TRUE(x11test::WaitFor([&] { return grid->EditorMode(); }));
  ASSERT_TRUE(Keys("ctrl+f"));
  EXPECT_TRUE(x11test::WaitFor([&] { return grid->IncSearching(); }));
  EXPECT_FALSE(grid->EditorMode());
  ASSERT_TRUE(x11test::Shell("xdotool type --delay 60 c"));
  EXPECT_TRUE(x11test::WaitFor([&] { return people->F("NAME")->AsString() == "Cid"; }));
}

TEST_F(X11GridEditing, EnterAfterAnEditMovesToTheNextColumnAsTabDoes) {
  grid->SetOptionsEx(grid->OptionsEx() + dghEnterAsTab);
  grid->SetSelectedIndex(1);
  ASSERT_TRUE(Keys("F2"));
  ASSERT_TRUE(x11test::WaitFor([&] { return grid->EditorMode(); }));
  ASSERT_TRUE(Keys("ctrl+a"));
  ASSERT_TRUE(x11test::Shell("xdotool type --delay 60 Zed"));
  ASSERT_TRUE(x11test::WaitFor([&] { return grid->InplaceEditor()->Text() == "Zed"; }));
  ASSERT_TRUE(Keys("Return"));
  EXPECT_TRUE(x11test::WaitFor([&] { return grid->GetSelectedIndex() == 2; }));
  EXPECT_EQ(people->F("NAME")->AsString(), "Zed");
  EXPECT_EQ(people->F("ID")->AsInteger(), 1);
}

TEST_F(X11GridEditing, ShiftDownMarksRecords) {
  grid->SetOptions(grid->Options() + dgMultiSelect);
  grid->SetAllowedSelections({gstRecordBookmarks});
  ASSERT_TRUE(Keys("shift+Down shift+Down"));
  EXPECT_TRUE(x11test::WaitFor([&] { return grid->SelectedRows()->Count() == 3; }));
  EXPECT_EQ(people->F("ID")->AsInteger(), 3);
  x11test::Settle();
  talvik::gui::GrabDisplayToPng(x11test::ScreenshotDir() + "/grid-x11-shift-down.png");
}

}  // namespace
