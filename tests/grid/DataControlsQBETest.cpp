// The data-aware edit, combo box and check box bound to an Oracle dataset that enters and leaves
// query by example on the simulated instance: the dataset dresses the controls it finds by their
// data source and field, and puts their colours back.
#include <gtest/gtest.h>

#include <memory>

#include "GridFormSupport.h"
#include "grid/DBCheckBoxEx.h"
#include "grid/DBComboBoxEx.h"
#include "grid/DBEditEx.h"

namespace {

using namespace gridtest;

constexpr TColor kCriteriaBack = clInfoBk;
constexpr TColor kCriteriaText = clNavy;

class DataControlsQBE : public FormOnInstance {
 protected:
  DataControlsQBE() : FormOnInstance(TRect(40, 40, 370, 200)) {}
  void SetUp() override {
    FormOnInstance::SetUp();
    source.SetDataSet(sim->DataSet());
  }
  void TearDown() override {
    form.reset();
    source.SetDataSet(nullptr);
    FormOnInstance::TearDown();
  }
  template <class C>
  C* Bound(const char* Field, int Top) {
    auto* c = new C(form.get());
    c->SetParent(form.get());
    c->SetBounds(10, Top, 300, 21);
    c->SetDataSource(&source);
    c->SetDataField(Field);
    return c;
  }
  TDataSource source{nullptr};
};

TEST_F(DataControlsQBE, BoundEditsAndCombosTakeTheCriteriaColoursCaptionedBoxesDoNot) {
  auto* user = Bound<TDBEditEx>("ORACLE_USER", 10);
  auto* status = Bound<TDBComboBoxEx>("STATUS", 40);
  status->Items()->SetText("ACTIVE\nINACTIVE");
  auto* own = Bound<TDBEditEx>("MACHINE", 70);
  own->SetColor(clYellow);  // a colour of its own
  auto* box = Bound<TDBCheckBoxEx>("SID", 100);
  box->SetCaption("SID");
  auto* elsewhere = new TDBEditEx(form.get());  // bound to nothing
  elsewhere->SetParent(form.get());
  elsewhere->SetBounds(10, 128, 300, 21);
  sim->SetQBEColors(kCriteriaText, kCriteriaBack);
  sim->DataSet()->Open();
  form->Show();

  sim->SetQBEMode(true, form.get());
  EXPECT_EQ(user->Color(), kCriteriaBack);
  EXPECT_EQ(user->Font()->Color(), kCriteriaText);
  EXPECT_EQ(status->Color(), kCriteriaBack);
  EXPECT_EQ(status->Font()->Color(), kCriteriaText);
  EXPECT_EQ(own->Color(), clYellow) << "a colour of its own stays";
  EXPECT_EQ(own->Font()->Color(), kCriteriaText) << "its text still shows the mode";
  EXPECT_EQ(box->Color(), box->Parent()->Color()) << "a control with a caption keeps its colours";
  EXPECT_NE(box->Font()->Color(), kCriteriaText);
  EXPECT_EQ(elsewhere->Color(), clWindow);
  user->SetText("SYS%");
  talvik::gui::ProcessPending();
  ASSERT_TRUE(
      talvik::gui::RenderScreenToPng(ScreenshotDir() + "/grid-datacontrols-qbe.png", Rect(40, 40, 370, 200)));

  sim->SetQBEMode(false, form.get());
  EXPECT_EQ(user->Color(), clWindow);
  EXPECT_EQ(user->Font()->Color(), clWindowText);
  EXPECT_EQ(status->Color(), clWindow);
  EXPECT_EQ(own->Color(), clYellow);
  EXPECT_EQ(own->Font()->Color(), clWindowText);
}

TEST_F(DataControlsQBE, AControlFreedInTheModeIsLeftAloneOnLeaving) {
  auto* user = Bound<TDBEditEx>("ORACLE_USER", 10);
  auto* status = Bound<TDBComboBoxEx>("STATUS", 40);
  sim->SetQBEColors(clDefault, kCriteriaBack);
  sim->DataSet()->Open();
  sim->SetQBEMode(true, form.get());
  EXPECT_EQ(status->Color(), kCriteriaBack);
  EXPECT_EQ(status->Font()->Color(), clWindowText) << "the font colour was left at its default";
  delete status;
  sim->SetQBEMode(false, form.get());
  EXPECT_EQ(user->Color(), clWindow);
}

}  // namespace
