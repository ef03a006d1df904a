// A test with the application and one form of its own, on which controls are placed.
#pragma once

#include <memory>

#include "GuiTestSupport.h"
#include "platform/gui/Controls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"

namespace guitest {

class FormTest : public GuiTest {
 protected:
  // The form's size (its place is 100, 100).
  explicit FormTest(int width = 400, int height = 300) : width_(width), height_(height) {}
  void SetUp() override {
    GuiTest::SetUp();
    CreateApplication();
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(100, 100, width_, height_);
  }
  void TearDown() override {
    form.reset();
    GuiTest::TearDown();
  }
  // A control of the form, placed on `parent` (the form when none).
  template <typename T>
  T* Add(int x, int y, int w, int h, TWinControl* parent = nullptr) {
    auto* c = new T(form.get());
    c->SetParent(parent ? parent : form.get());
    c->SetBounds(x, y, w, h);
    return c;
  }
  // A key press as the keyboard gives it: down (with its character) and up, then its modifiers go up.
  static void Key(WORD vk, char32_t ch = 0, talvik::gui::ShiftKeys shift = {}) {
    guitest::TypeKey(vk, ch, shift);
    Application->ProcessMessages();
  }

  std::unique_ptr<TForm> form;

 private:
  int width_, height_;
};

}  // namespace guitest
