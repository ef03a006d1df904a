#pragma once
// The window layer of a benchmark program: started once, with no desktop windows, so that the layer
// and the controls alone are measured.
#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"

inline void StartHeadlessGui() {
  [[maybe_unused]] static const bool started = [] {
    talvik::gui::UseQtBackend();
    talvik::gui::SetBackend(nullptr);
    CreateApplication();
    return true;
  }();
}
