// A dockable window of a fixed size for dock, drag and position tests, and the screen they run on.
#pragma once

#include <string>

#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"
#include "toolbar/BarDock.h"

namespace toolbartest {

// The layer alone, with no desktop windows, on one 1024x768 screen whose work area leaves 28 pixels
// at the bottom; the application made.
inline void StartOnOneScreen() {
  talvik::gui::UseQtBackend();
  talvik::gui::SetBackend(nullptr);
  MONITORINFO mi;
  mi.rcMonitor = Rect(0, 0, 1024, 768);
  mi.rcWork = Rect(0, 0, 1024, 740);
  mi.dwFlags = MONITORINFOF_PRIMARY;
  talvik::gui::SetScreens({mi});
  CreateApplication();
}

// A dockable window of a fixed size: Length along a horizontal row, Thickness across.
class TFakeBar : public TBarCustomDockableWindow {
  TALVIK_CLASS(TFakeBar, TBarCustomDockableWindow)
  TFakeBar(TComponent* AOwner, const std::string& AName, int Length, int Thickness,
           TBarShrinkMode Mode = tbsmNone, int Minimum = 0)
      : TBarCustomDockableWindow(AOwner),
        length_(Length),
        thickness_(Thickness),
        mode_(Mode),
        minimum_(Minimum) {
    SetName(AName);
    SetCaption(AName);
  }
  TSize CalcSizeForDockType(TBarDockType DockType) override {
    ++calcs;
    if (DockType == dtLeftRight) return TSize(thickness_, length_);
    return TSize(length_, thickness_);
  }
  TSize GetBaseSize() override { return CalcSizeForDockType(GetDockTypeOf()); }
  TBarShrinkMode GetShrinkMode() override { return mode_; }
  int GetMinRowSize() override { return minimum_; }
  // An extra value of the window's own, as toolbars keep their floating width.
  void WritePositionData(const TBarWritePositionData& Data) override {
    Data.WriteIntProc(Name(), "FloatRightX", floatingWidth);
  }
  void ReadPositionData(const TBarReadPositionData& Data) override {
    floatingWidth = Data.ReadIntProc(Name(), "FloatRightX", 0);
  }
  int calcs = 0;
  int floatingWidth = 0;

 private:
  int length_, thickness_;
  TBarShrinkMode mode_;
  int minimum_;
};

}  // namespace toolbartest
