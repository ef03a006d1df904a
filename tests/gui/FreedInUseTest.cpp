// Things freed while something still uses them: an image list under the controls that show it, a
// link freed by another link's handler, a timer freed in its own OnTimer, a utility window freed by
// its own method. Each must leave nothing that calls the freed object.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "GuiTestSupport.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/StdCtrls.h"
#include "platform/gui/WinManager.h"

using namespace guitest;

namespace {

class FreedInUse : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    CreateApplication();
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(100, 100, 400, 300);
  }
  void TearDown() override {
    form.reset();
    GuiTest::TearDown();
  }
  std::unique_ptr<TForm> form;
};

// A control that shows an image list, and what it reads of it.
struct ImageHolder {
  std::string name;
  std::function<TControl*(TForm* form, TCustomImageList* images)> make;
  std::function<TCustomImageList*(TControl*)> images;
};

class ImageListFreed : public FreedInUse, public ::testing::WithParamInterface<ImageHolder> {};

}  // namespace

TEST_P(ImageListFreed, ControlLetsGoOfTheListWithoutCallingIt) {
  auto* images = new TCustomImageList(form.get(), 16, 16);
  TBitmap bmp;
  bmp.SetSize(16, 16);
  images->Add(&bmp, nullptr);
  TControl* control = GetParam().make(form.get(), images);
  form->Show();
  Application->ProcessMessages();
  ASSERT_EQ(GetParam().images(control), images);
  delete images;
  EXPECT_EQ(GetParam().images(control), nullptr);
  control->Invalidate();
  Application->ProcessMessages();  // paints without the list
}

INSTANTIATE_TEST_SUITE_P(
    Controls, ImageListFreed,
    ::testing::Values(ImageHolder{"PageControl",
                                  [](TForm* form, TCustomImageList* images) -> TControl* {
                                    auto* pc = new TPageControl(form);
                                    pc->SetParent(form);
                                    pc->SetBounds(0, 0, 300, 200);
                                    auto* sheet = new TTabSheet(form);
                                    sheet->SetPageControl(pc);
                                    sheet->SetCaption("Сессии");
                                    sheet->SetImageIndex(0);
                                    pc->SetImages(images);
                                    return pc;
                                  },
                                  [](TControl* c) { return static_cast<TPageControl*>(c)->Images(); }},
                      ImageHolder{"ListView",
                                  [](TForm* form, TCustomImageList* images) -> TControl* {
                                    auto* lv = new TListView(form);
                                    lv->SetParent(form);
                                    lv->SetBounds(0, 0, 300, 200);
                                    lv->SetViewStyle(vsReport);
                                    lv->Columns()->Add()->SetCaption("SID");
                                    lv->Items()->Add()->SetCaption("42");
                                    lv->SetSmallImages(images);
                                    return lv;
                                  },
                                  [](TControl* c) { return static_cast<TListView*>(c)->SmallImages(); }}),
    [](const auto& info) { return info.param.name; });

TEST_F(FreedInUse, ImageListLinkFreedByAnotherLinksHandlerIsNotCalled) {
  TCustomImageList images(nullptr, 16, 16);
  auto first = std::make_unique<TChangeLink>();
  auto* second = new TChangeLink();
  int secondCalls = 0;
  first->OnChange = [&](TObject*) {
    delete second;
    second = nullptr;
  };
  second->OnChange = [&](TObject*) { ++secondCalls; };
  images.RegisterChanges(first.get());
  images.RegisterChanges(second);
  images.RegisterChanges(second);  // twice is once
  images.SetBkColor(clRed);        // a change: the first link frees the second
  EXPECT_EQ(second, nullptr);
  EXPECT_EQ(secondCalls, 0);
}

TEST_F(FreedInUse, TimerFreedInItsOwnOnTimerFinishesTheHandler) {
  auto* timer = new TTimer(nullptr);
  auto text = std::make_shared<std::string>("обновлено");
  std::string seen;
  timer->SetInterval(100);
  timer->SetOnTimer([&seen, text, timer](TObject*) {
    delete timer;
    seen = *text;  // the handler's own captures outlive the timer
  });
  text.reset();
  FakeNow() += 100;
  Application->ProcessMessages();
  EXPECT_EQ(seen, "обновлено");
}

TEST_F(FreedInUse, UtilityWindowFreedByItsOwnMethodFinishesTheCall) {
  auto label = std::make_shared<std::string>("метод");
  std::string seen;
  HWND h = nullptr;
  h = AllocateHWnd([&h, &seen, label](TMessage& m) {
    if (m.Msg != WM_USER) return;
    DeallocateHWnd(h);
    seen = *label;
  });
  label.reset();
  SendMessage(h, WM_USER, 0, 0);
  EXPECT_EQ(seen, "метод");
  EXPECT_FALSE(IsWindow(h));
}

TEST_F(FreedInUse, EditFreedByItsOwnOnChangeFinishesTheKeyItWasTyping) {
  auto* edit = new TEdit(form.get());
  edit->SetParent(form.get());
  edit->SetBounds(10, 10, 150, 21);
  int changes = 0;
  edit->OnChange = [&](TObject*) {
    ++changes;
    delete edit;
    edit = nullptr;
  };
  form->Show();
  edit->SetFocus();
  Application->ProcessMessages();
  talvik::gui::InjectKey('Z', true, U'з', {});
  talvik::gui::InjectKey('Z', false, 0, {});
  Application->ProcessMessages();
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(edit, nullptr);
}
