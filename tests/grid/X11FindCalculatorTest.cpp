// The find dialog and a numeric cell's calculator under a real X server: the calculator dropped down by
// a real click on the cell's drop-down button, a result accepted by real keys, and the find dialog
// searching on Enter typed into it, each pictured from the display.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "../gui/X11TestSupport.h"
#include "GridDataSupport.h"
#include "grid/DBGridExFindDlg.h"
#include "platform/gui/WinManager.h"

namespace {

class X11FindCalculator : public x11test::ToolkitTest {};

TEST_F(X11FindCalculator, TheCalculatorUnderACellAndTheFindDialogOnTheDisplay) {
  TFormatSettingsGuard russian(RussianFormatSettings());
  gridtest::People people;
  TForm form(nullptr);
  form.SetCaption("TalvikFindCalculator");
  form.SetBorderStyle(bsNone);
  form.SetBounds(60, 40, 460, 240);
  auto* grid = new TDBGridEx(&form);
  grid->SetParent(&form);
  grid->SetAlign(alClient);
  grid->SetDataSource(&people.source);
  for (const char* n : {"ID", "NAME", "SALARY"}) grid->Columns()->Add()->SetFieldName(n);
  TColumnEx* salary = grid->Columns()->Items(2);
  salary->SetButtonStyle(cbsDropDown);
  salary->SetWidth(140);
  form.Show();
  ASSERT_TRUE(x11test::WaitFor([&] { return IsWindowVisible(form.Handle()); }));
  x11test::Settle();

  // a real click on the SALARY cell's drop-down button
  grid->SetFocus();
  grid->SetSelectedIndex(2);
  grid->ShowEditor();
  auto* editor = dynamic_cast<TDBGridInplaceEdit*>(grid->InplaceEditor());
  ASSERT_NE(editor, nullptr);
  x11test::Settle();
  ASSERT_GT(editor->ButtonCount(), 0);
  TControl* button = editor->ButtonControl(0);
  ASSERT_TRUE(x11test::ClickAt(button->ClientToScreen(TPoint(button->Width() / 2, button->Height() / 2))));
  ASSERT_TRUE(x11test::WaitFor([&] { return editor->ListVisible(); })) << "the calculator did not drop down";
  TPopupCalculatorEx* calc = editor->GetPopupCalculator();
  ASSERT_TRUE(x11test::WaitFor([&] { return IsWindowVisible(calc->Handle()); }));
  // real keys: "+", "5" and "0", shown by the calculator
  ASSERT_TRUE(x11test::Shell("xdotool type --delay 50 '+50'"));
  EXPECT_TRUE(x11test::WaitFor([&] { return calc->TextBox->Caption() == "50"; }));
  x11test::Settle();
  talvik::gui::GrabDisplayToPng(x11test::ScreenshotDir() + "/grid-x11-cell-calculator.png");
  ASSERT_TRUE(x11test::Shell("xdotool key Return"));
  EXPECT_TRUE(x11test::WaitFor([&] { return calc->TextBox->Caption() == "1550,5"; }));
  ASSERT_TRUE(x11test::Shell("xdotool key Return"));
  EXPECT_TRUE(x11test::WaitFor([&] { return !editor->ListVisible(); }));
  EXPECT_EQ(editor->Text(), "1550,5");

  // the find dialog, non-modal beside the grid: "bob" typed and Enter finds Bob
  grid->SetSelectedIndex(1);
  ExecuteGridFindDialog(grid, "", false, nullptr);
  TDBGridExFindDlg* dlg = GridFindDialog();
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(x11test::WaitFor([&] { return IsWindowVisible(dlg->Handle()); }));
  dlg->SetBounds(60, 300, dlg->Width(), dlg->Height());  // below the grid on a 640 x 480 display
  x11test::Settle();
  ASSERT_TRUE(x11test::ClickAt(dlg->cbText->ClientToScreen(TPoint(10, dlg->cbText->Height() / 2))));
  EXPECT_TRUE(x11test::WaitFor([&] { return GetFocus() == dlg->cbText->Handle(); }));
  ASSERT_TRUE(x11test::Shell("xdotool type --delay 50 'bob'"));
  EXPECT_TRUE(x11test::WaitFor([&] { return dlg->cbText->Text() == "bob"; }));
  ASSERT_TRUE(x11test::Shell("xdotool key Return"));
  EXPECT_TRUE(x11test::WaitFor([&] { return people.F("NAME")->AsString() == "Bob"; }));
  x11test::Settle();
  talvik::gui::GrabDisplayToPng(x11test::ScreenshotDir() + "/grid-x11-find-dialog.png");
  delete dlg;
  people.ds.Cancel();
}

}  // namespace
