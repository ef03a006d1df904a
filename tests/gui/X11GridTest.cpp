// The data grid under an X server with real input from xdotool (run through xvfb-run -a): a column
// border dragged with the mouse, and a cell edited by keys (F2, text, Enter). Each step waits on a
// state with a time-out. The screen is saved under screenshots/ with the editor open.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "X11TestSupport.h"
#include "db/MemDataSet.h"
#include "platform/gui/Calendar.h"
#include "platform/gui/DBGrids.h"
#include "platform/gui/Mask.h"
#include "platform/gui/WinManager.h"

using x11test::ScreenshotDir;
using x11test::Shell;
using x11test::WaitFor;

namespace {

class X11Grid : public ::testing::Test {
 protected:
  void SetUp() override {
    X11TEST_START_TOOLKIT();
    x11test::UsKeyboard();
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);  // no window manager: the window stands where we put it
    form->SetBounds(40, 40, 660, 420);
    form->SetCaption("TalvikX11Grid");
    ds = new TMemDataSet(form.get());
    ds->FieldDefs()->Add("SID", ftInteger, 0, true);
    ds->FieldDefs()->Add("USERNAME", ftString, 20);
    ds->FieldDefs()->Add("STATUS", ftString, 10);
    for (int i = 1; i <= 30; ++i) ds->AddRow({i, "USER" + std::to_string(i), i % 3 ? "INACTIVE" : "ACTIVE"});
    source = new TDataSource(form.get());
    source->SetDataSet(ds);
    grid = new TDBGrid(form.get());
    grid->SetParent(form.get());
    grid->SetBounds(10, 10, 400, 250);
    grid->SetDataSource(source);
    ds->Open();
  }
  void TearDown() override { form.reset(); }
  void ShowForm() {
    form->Show();
    ASSERT_TRUE(WaitFor([] { return Shell("xdotool search --name TalvikX11Grid"); }));
    Shell("xdotool search --name TalvikX11Grid windowfocus");
    Application->ProcessMessages();
  }
  static std::string At(TPoint p) { return std::to_string(p.X) + " " + std::to_string(p.Y); }
  std::unique_ptr<TForm> form;
  TMemDataSet* ds = nullptr;
  TDataSource* source = nullptr;
  TDBGrid* grid = nullptr;
};

}  // namespace

TEST_F(X11Grid, AColumnBorderDraggedWithTheMouseSizesTheColumn) {
  ShowForm();
  const int before = grid->ColWidths(2);
  TRect title = grid->CellRect(2, 0);
  TPoint border = grid->ClientToScreen({title.Right, title.Top + title.Height() / 2});
  TPoint target = grid->ClientToScreen({title.Right + 40, title.Top + title.Height() / 2});
  Shell("xdotool mousemove " + At(border));
  ASSERT_TRUE(WaitFor([] { return true; }));
  Shell("xdotool mousedown 1");
  ASSERT_TRUE(WaitFor([&] { return grid->GridState() == gsColSizing; }));
  Shell("xdotool mousemove " + At({border.X + 20, border.Y}) + " mousemove " + At(target));
  Shell("xdotool mouseup 1");
  ASSERT_TRUE(WaitFor([&] { return grid->GridState() == gsNormal; }));
  EXPECT_EQ(grid->ColWidths(2), before + 40);
  EXPECT_EQ(grid->Columns()->Items(1)->Width(), before + 40) << "the column keeps the new width";
}

TEST_F(X11Grid, ACellEditedByRealKeys) {
  auto* masked = new TMaskEdit(form.get());
  masked->SetParent(form.get());
  masked->SetBounds(420, 10, 150, 24);
  masked->SetEditMask("!99/99/0000;1;_");
  masked->SetText("07/12/2026");
  auto* calendar = new TMonthCalendar(form.get());
  calendar->SetParent(form.get());
  calendar->SetBounds(420, 50, 200, 200);
  calendar->SetDate(EncodeDate(2026, 12, 7));
  ShowForm();
  TRect cell = grid->CellRect(2, 3);
  Shell("xdotool mousemove " + At(grid->ClientToScreen({cell.Left + 5, cell.Top + 5})) + " click 1");
  ASSERT_TRUE(WaitFor([&] { return ds->RecNo() == 3 && grid->SelectedIndex() == 1; }));
  Shell("xdotool key F2");
  ASSERT_TRUE(WaitFor([&] { return grid->InplaceEditor() && grid->InplaceEditor()->Visible(); }));
  Shell("xdotool type --delay 20 _X");
  ASSERT_TRUE(WaitFor([&] { return grid->InplaceEditor()->Text() == "USER3_X"; }))
      << grid->InplaceEditor()->Text();
  talvik::gui::UpdateAllWindows(form->Handle());
  talvik::gui::GrabDisplayToPng(ScreenshotDir() + "/x11-dbgrid-editor.png");
  Shell("xdotool key Return");
  ASSERT_TRUE(WaitFor([&] { return !grid->InplaceEditor()->Visible(); }));
  EXPECT_EQ(ds->FieldByName("USERNAME")->AsString(), "USER3_X");
  Shell("xdotool key Down");
  ASSERT_TRUE(WaitFor([&] { return ds->State() == dsBrowse; }));
  ds->SetRecNo(3);
  EXPECT_EQ(ds->FieldByName("USERNAME")->AsString(), "USER3_X");
}
