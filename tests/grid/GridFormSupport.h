// Fixtures of the grid tests that drive a data grid on a form: a borderless form holding one grid,
// the input they inject and what they read back (pixels, screenshots), and the grid over the people
// dataset with its in-place editor.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "GridDataSupport.h"
#include "GridOracleSupport.h"
#include "GridTestSupport.h"
#include "grid/DBGridEx.h"
#include "grid/DBGridExFilterEdit.h"

namespace gridtest {

// Input injected into a test's windows: pending messages handled, keys pressed and released.
class FormInput : public GridGuiTest {
 protected:
  static void Pump() { talvik::gui::ProcessPending(); }
  // A key typed (with the modifiers in Shift, which go up after it); Ch is the character it types (0 for
  // none).
  static void Key(WORD Vk, char32_t Ch = 0, talvik::gui::ShiftKeys Shift = {}) {
    TypeKey(Vk, Ch, Shift);
    Pump();
  }
  static void AltDown() { Key(VK_DOWN, 0, talvik::gui::ShiftKeys{.alt = true}); }
  // Text typed (UTF-8) into the focused window.
  static void Type(const std::string& Text) {
    talvik::gui::InjectText(Text);
    Pump();
  }
};

// A borderless form at FormBounds with one grid, at GridBounds in it or, when that is empty, filling it.
class GridOnForm : public FormInput {
 protected:
  GridOnForm() = default;
  GridOnForm(TRect FormBounds, TRect GridBounds) : formBounds_(FormBounds), gridBounds_(GridBounds) {}
  void SetUp() override {
    GridGuiTest::SetUp();
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(formBounds_.Left, formBounds_.Top, formBounds_.Width(), formBounds_.Height());
    grid = new TDBGridEx(form.get());
    grid->SetParent(form.get());
    if (gridBounds_.IsEmpty())
      grid->SetAlign(alClient);
    else
      grid->SetBounds(gridBounds_.Left, gridBounds_.Top, gridBounds_.Width(), gridBounds_.Height());
    form->Show();
  }
  void TearDown() override {
    form.reset();
    GridGuiTest::TearDown();
  }

  // The wheel by a notch down (Delta < 0) or up over a control: the focused window gets it.
  static void Wheel(TControl* Over, int Delta) {
    const TPoint p = Over->ClientToScreen(TPoint{3, 3});
    talvik::gui::InjectMouse(WM_MOUSEWHEEL, POINT{p.X, p.Y}, {}, Delta);
    Pump();
  }
  // The screen point of a point of the grid's client area, and mouse input there.
  POINT Screen(int X, int Y) {
    const TPoint p = grid->ClientToScreen(TPoint{X, Y});
    return POINT{p.X, p.Y};
  }
  void Mouse(UINT Message, int X, int Y, talvik::gui::ShiftKeys Shift = {}) {
    talvik::gui::InjectMouse(Message, Screen(X, Y), Shift);
    Pump();
  }
  // The title of column From dragged onto column To's, released ToX pixels into it.
  void DragTitle(int From, int To, int ToX) {
    const TRect from = grid->CellRect(grid->DataToRawColumn(From), 0),
                to = grid->CellRect(grid->DataToRawColumn(To), 0);
    Mouse(WM_LBUTTONDOWN, from.Left + 10, from.Top + 3);
    Mouse(WM_MOUSEMOVE, from.Left + 2, from.Top + 3);
    Mouse(WM_MOUSEMOVE, to.Left + ToX, to.Top + 3);
    Mouse(WM_LBUTTONUP, to.Left + ToX, to.Top + 3);
  }
  // The rectangle of a data cell: column and row counted from the first data column and row.
  TRect Cell(int DataCol, int DataRow) {
    return grid->CellRect(grid->DataToRawColumn(DataCol), grid->TitleOffset() + DataRow);
  }
  static TPoint Middle(const TRect& R) { return {(R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2}; }
  // Whether the filter row's editor shows: it has a window and counts as shown.
  bool FilterEditorShows() {
    TInplaceFilterEditEx* f = grid->FilterEditor();
    return f && f->HandleAllocated() && f->Visible();
  }
  // The painted colour at a point of the grid's client area.
  COLORREF Pixel(int X, int Y) { return FormPixel(form.get(), grid, X, Y); }
  // The form as painted, under the screenshot folder; the file's path.
  std::string Shot(const std::string& Name) {
    Drain();
    const std::string path = ScreenshotDir() + "/" + Name;
    EXPECT_TRUE(talvik::gui::RenderWindowToPng(form->Handle(), path));
    return path;
  }

  std::unique_ptr<TForm> form;
  TDBGridEx* grid = nullptr;

 private:
  TRect formBounds_ = Rect(0, 0, 520, 260);
  TRect gridBounds_;
};

// The grid over the people dataset (GridDataSupport.h), with columns added by field name and the
// in-place editor shown on one of them.
class PeopleGrid : public GridOnForm {
 protected:
  PeopleGrid() : GridOnForm(Rect(50, 50, 600, 300), Rect(0, 0, 580, 280)) {}
  PeopleGrid(TRect FormBounds, TRect GridBounds) : GridOnForm(FormBounds, GridBounds) {}
  void SetUp() override {
    GridOnForm::SetUp();
    people = std::make_unique<People>();
    grid->SetDataSource(&people->source);
  }
  void TearDown() override {
    form.reset();  // the grid goes before its data
    people.reset();
    GridOnForm::TearDown();
  }
  // Columns of these fields; the first of them.
  TColumnEx* Columns(std::initializer_list<const char*> Names) {
    for (const char* n : Names) grid->Columns()->Add()->SetFieldName(n);
    return grid->Columns()->Items(0);
  }
  // The in-place editor shown and focused on a column.
  TDBGridInplaceEdit* Edit(int Column) {
    grid->SetSelectedIndex(Column);
    grid->ShowEditor();
    auto* e = dynamic_cast<TDBGridInplaceEdit*>(grid->InplaceEditor());
    EXPECT_NE(e, nullptr);
    if (e) {
      e->SetFocus();
      Pump();
    }
    return e;
  }

  std::unique_ptr<People> people;
};

// The people dataset and a borderless form at FormBounds holding a plain edit at OtherBounds (where a
// test moves the focus to), shown.
class FormOverPeople : public FormInput {
 protected:
  FormOverPeople(TRect FormBounds, TRect OtherBounds) : formBounds_(FormBounds), otherBounds_(OtherBounds) {}
  void SetUp() override {
    GridGuiTest::SetUp();
    people = std::make_unique<People>();
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(formBounds_.Left, formBounds_.Top, formBounds_.Width(), formBounds_.Height());
    other = new TEdit(form.get());
    other->SetParent(form.get());
    other->SetBounds(otherBounds_.Left, otherBounds_.Top, otherBounds_.Width(), otherBounds_.Height());
    form->Show();
  }
  void TearDown() override {
    form.reset();
    people.reset();
    GridGuiTest::TearDown();
  }
  std::unique_ptr<People> people;
  std::unique_ptr<TForm> form;
  TEdit* other = nullptr;

 private:
  TRect formBounds_, otherBounds_;
};

// A grid on a form over numbered sessions with a status (TStatusSessions), bound when a test says.
class GridOverSessions : public GridOnForm {
 protected:
  GridOverSessions(const char* KeyName, std::string NamePrefix, int NameWidth)
      : keyName_(KeyName), namePrefix_(std::move(NamePrefix)), nameWidth_(NameWidth) {}
  void TearDown() override {
    form.reset();
    rows.reset();
    GridOnForm::TearDown();
  }
  // Count sessions, the grid's data source over them.
  void BindSessions(int Count) {
    rows = MakeSessions(Count);
    source.SetDataSet(rows.get());
    rows->Open();
    grid->SetDataSource(&source);
  }
  std::unique_ptr<TStatusSessions> MakeSessions(int Count) const {
    return std::make_unique<TStatusSessions>(Count, keyName_, namePrefix_, nameWidth_);
  }
  TDataSource source{nullptr};
  std::unique_ptr<TStatusSessions> rows;

 private:
  const char* keyName_;
  std::string namePrefix_;
  int nameWidth_;
};

// A fresh simulated instance of the test's own, and a borderless form at FormBounds, not yet shown.
class FormOnInstance : public GridGuiTest {
 protected:
  explicit FormOnInstance(TRect FormBounds) : formBounds_(FormBounds) {}
  void SetUp() override {
    GridGuiTest::SetUp();
    sim = std::make_unique<SimSessionList>();
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(formBounds_.Left, formBounds_.Top, formBounds_.Width(), formBounds_.Height());
  }
  void TearDown() override {
    form.reset();
    sim.reset();
    GridGuiTest::TearDown();
  }
  std::unique_ptr<SimSessionList> sim;
  std::unique_ptr<TForm> form;

 private:
  TRect formBounds_;
};

}  // namespace gridtest
