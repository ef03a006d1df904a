// The form's property-storage interceptor: a maximised form reports the bounds it is restored to and
// gets them back without leaving its state, bounds kept at another resolution are scaled, a centred
// form keeps a restored position, and the grid unit's start registers the interceptor for forms.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "GridTestSupport.h"
#include "grid/DBGridEx.h"
#include "grid/PropertyInterceptors.h"
#include "platform/gui/StdCtrls.h"

namespace {

using namespace gridtest;

class FormInterceptor : public GridGuiTest {
 protected:
  void SetUp() override {
    GridGuiTest::SetUp();
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(100, 50, 400, 300);
    edit = new TEdit(form.get());
    edit->SetParent(form.get());
    form->Show();
  }
  void TearDown() override {
    form.reset();
    GridGuiTest::TearDown();
  }
  static TRect Bounds(const TFormStoragePropertyInterceptor& I) {
    return TRect(I.Left(), I.Top(), I.Left() + I.Width(), I.Top() + I.Height());
  }
  std::unique_ptr<TForm> form;
  TEdit* edit = nullptr;
};

TEST_F(FormInterceptor, AMaximisedFormReportsAndGetsBackItsRestoredBounds) {
  form->SetActiveControl(edit);
  form->SetWindowState(wsMaximized);
  ASSERT_EQ(form->BoundsRect(), Rect(0, 0, 1024, 728));
  TFormStoragePropertyInterceptor saved(form.get());
  EXPECT_EQ(Bounds(saved), Rect(100, 50, 500, 350));
  EXPECT_EQ(saved.WindowState(), wsMaximized);
  EXPECT_EQ(saved.PixelsPerInch(), 96);
  EXPECT_EQ(saved.ActiveControl(), edit);

  // read back onto the maximised form: it stays maximised, restoring it gives the bounds read
  TFormStoragePropertyInterceptor restored(form.get());
  restored.SetLeft(30);
  restored.SetTop(40);
  restored.SetWidth(200);
  restored.SetHeight(150);
  restored.AfterPropertiesRead();
  EXPECT_TRUE(IsZoomed(form->Handle()));
  EXPECT_EQ(form->BoundsRect(), Rect(0, 0, 1024, 728));
  EXPECT_EQ(Bounds(restored), Rect(30, 40, 230, 190));  // read live from the placement
  form->SetWindowState(wsNormal);
  EXPECT_EQ(form->BoundsRect(), Rect(30, 40, 230, 190));
}

TEST_F(FormInterceptor, AMinimisedFormKeepsItsNormalBoundsToo) {
  form->SetWindowState(wsMinimized);
  ASSERT_TRUE(IsIconic(form->Handle()));
  TFormStoragePropertyInterceptor i(form.get());
  EXPECT_EQ(Bounds(i), Rect(100, 50, 500, 350));
  i.SetLeft(10);
  i.AfterPropertiesRead();
  EXPECT_TRUE(IsIconic(form->Handle()));
  WINDOWPLACEMENT p;
  ASSERT_TRUE(GetWindowPlacement(form->Handle(), p));
  EXPECT_EQ(p.showCmd, static_cast<UINT>(SW_SHOWMINIMIZED));
  EXPECT_EQ(p.rcNormalPosition, Rect(10, 50, 410, 350));
}

struct ScaleCase {
  const char* name;
  int pixelsPerInch;
  TRect expected;
};

class FormInterceptorScaling : public FormInterceptor, public ::testing::WithParamInterface<ScaleCase> {};

TEST_P(FormInterceptorScaling, BoundsKeptAtAnotherResolutionAreScaled) {
  TFormStoragePropertyInterceptor i(form.get());
  i.SetLeft(20);
  i.SetTop(30);
  i.SetWidth(300);
  i.SetHeight(201);
  i.SetPixelsPerInch(GetParam().pixelsPerInch);
  i.AfterPropertiesRead();
  EXPECT_EQ(form->BoundsRect(), GetParam().expected);
}

const ScaleCase kScaleCases[] = {
    {"SameResolution", 96, Rect(20, 30, 320, 231)},
    {"TwiceTheResolution", 192, Rect(10, 15, 160, 116)},
    {"HalfTheResolution", 48, Rect(40, 60, 640, 462)},
    {"NoneStoredLeavesThemAsRead", 0, Rect(20, 30, 320, 231)},
};

INSTANTIATE_TEST_SUITE_P(Resolutions, FormInterceptorScaling, ::testing::ValuesIn(kScaleCases),
                         [](const ::testing::TestParamInfo<ScaleCase>& i) {
                           return std::string(i.param.name);
                         });

TEST_F(FormInterceptor, ACentredFormKeepsARestoredPositionOnly) {
  form->SetPosition(poScreenCenter);
  TFormStoragePropertyInterceptor sizeOnly(form.get());
  sizeOnly.SetWidth(320);
  sizeOnly.AfterPropertiesRead();
  EXPECT_EQ(form->Position(), poScreenCenter);
  EXPECT_EQ(form->Width(), 320);
  TFormStoragePropertyInterceptor moved(form.get());
  moved.SetTop(12);
  EXPECT_TRUE(moved.PositionChanged());
  moved.AfterPropertiesRead();
  EXPECT_EQ(form->Position(), poDesigned);
  EXPECT_EQ(form->Top(), 12);
}

TEST_F(FormInterceptor, AnotherTargetHasNoBoundsAndTheGridUnitRegistersForms) {
  TEdit other(nullptr);
  TFormStoragePropertyInterceptor i(&other);
  EXPECT_EQ(Bounds(i), TRect());
  i.SetLeft(5);
  i.AfterPropertiesRead();  // nothing to put them on
  EXPECT_EQ(other.Left(), 0);

  TDBGridEx grid(nullptr);  // the grid unit starts with its first grid
  const auto pairs = RegisteredPropertyInterceptors();
  const TInterceptorPair forms{TCustomForm::StaticClass(), TFormStoragePropertyInterceptor::StaticClass()};
  EXPECT_NE(std::find(pairs.begin(), pairs.end(), forms), pairs.end());
}

}  // namespace
