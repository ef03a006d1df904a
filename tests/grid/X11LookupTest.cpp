// The look-up controls under a real X server: the look-up combo box dropped down by a real click on
// its button and a row chosen by a real click in its grid, a look-up grid with its special row chosen,
// and a grid cell with its data grid dropped down by Alt+Down, pictured from the display.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "../gui/X11TestSupport.h"
#include "GridDataSupport.h"
#include "grid/DBGridEx.h"
#include "grid/DBLookupComboboxEx.h"
#include "platform/gui/WinManager.h"

namespace {

class X11Lookup : public x11test::ToolkitTest {};

TEST_F(X11Lookup, RealClicksDropTheComboDownAndChooseARow) {
  gridtest::People people;
  TForm form(nullptr);
  form.SetCaption("TalvikLookup");
  form.SetBorderStyle(bsNone);
  form.SetBounds(80, 80, 560, 320);
  auto* combo = new TDBLookupComboboxEx(&form);
  combo->SetParent(&form);
  combo->SetBounds(10, 10, 180, 21);
  combo->SetDataSource(&people.source);
  combo->SetDataField("DEPT_NAME");
  combo->DropDownBox()->SetSizable(true);
  combo->DropDownBox()->SetShowTitles(true);
  auto* list = new TDBLookupGridEx(&form);
  list->SetParent(&form);
  list->SetBounds(300, 10, 220, 100);
  TDataSource deptSource(nullptr);
  deptSource.SetDataSet(&people.depts);
  list->SetListSource(&deptSource);
  list->SetKeyField("DEPT_ID");
  list->SetListField("DNAME");
  list->SpecRow()->SetCellsText("(все отделы)");
  list->SpecRow()->SetValue(0);
  list->SpecRow()->SetVisible(true);
  list->SetRowCount(4);
  list->SetKeyValue(0);
  auto* grid = new TDBGridEx(&form);
  grid->SetParent(&form);
  grid->SetBounds(10, 140, 420, 110);
  grid->SetDataSource(&people.source);
  grid->Columns()->Add()->SetFieldName("NAME");
  grid->Columns()->Add()->SetFieldName("DEPT_NAME");
  form.Show();
  ASSERT_TRUE(x11test::WaitFor([&] { return IsWindowVisible(form.Handle()); }));
  x11test::Settle();
  // a real click on the combo box's button
  ASSERT_TRUE(
      x11test::ClickAt(combo->ClientToScreen(TPoint(combo->ClientWidth() - 6, combo->ClientHeight() / 2))));
  ASSERT_TRUE(x11test::WaitFor([&] { return combo->DroppedDown(); })) << "the grid did not drop down";
  EXPECT_TRUE(x11test::WaitFor([&] { return IsWindowVisible(combo->DataList()->Handle()); }));
  x11test::Settle();
  talvik::gui::GrabDisplayToPng(x11test::ScreenshotDir() + "/grid-lookup-display.png");
  // a real click on the third department takes it
  TPopupDataGridEx* dropped = combo->DataList();
  const TRect rows = dropped->DataRect();
  ASSERT_TRUE(
      x11test::ClickAt(dropped->ClientToScreen(TPoint(20, rows.Top + 2 * dropped->DefaultRowHeight() + 4))));
  EXPECT_TRUE(x11test::WaitFor([&] { return !combo->DroppedDown(); }));
  EXPECT_EQ(combo->Text(), "Research");
  EXPECT_EQ(people.F("DEPT")->AsInteger(), 3);
  people.ds.Cancel();
  // the grid's look-up cell with its data grid
  grid->SetFocus();
  grid->SetSelectedIndex(1);
  grid->ShowEditor();
  x11test::Settle();
  ASSERT_TRUE(x11test::Shell("xdotool key alt+Down"));
  auto* editor = dynamic_cast<TDBGridInplaceEdit*>(grid->InplaceEditor());
  ASSERT_NE(editor, nullptr);
  EXPECT_TRUE(x11test::WaitFor([&] { return editor->ListVisible(); })) << "the data grid did not drop down";
  x11test::Settle();
  talvik::gui::GrabDisplayToPng(x11test::ScreenshotDir() + "/grid-lookup-display-2.png");
  ASSERT_TRUE(x11test::Shell("xdotool key Escape"));
  EXPECT_TRUE(x11test::WaitFor([&] { return !editor->ListVisible(); }));
  ReleaseCapture();
}

}  // namespace
