// Views and items of fixed sizes for the layout tests, a view with a chevron, and a fixed menu font.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "toolbar/BarItem.h"

namespace toolbartest {

// An item whose viewer measures as the size it is given (the layout tests need no fonts).
class TFixedItem : public TBarItem {
  TALVIK_CLASS(TFixedItem, TBarItem)
  TFixedItem(TComponent* AOwner, int AWidth, int AHeight)
      : TBarItem(AOwner), Width(AWidth), Height(AHeight) {}
  TBarItemViewerClass ViewerClassFor(TBarView* View) override;
  int Width;
  int Height;
};

class TFixedViewer : public TBarItemViewer {
  TALVIK_CLASS(TFixedViewer, TBarItemViewer)
  using TBarItemViewer::TBarItemViewer;
  void MeasureItem(TCanvas*, int& AWidth, int& AHeight) override {
    auto* item = static_cast<TFixedItem*>(Item());
    AWidth = item->Width;
    AHeight = item->Height;
  }
};

inline TBarItemViewerClass TFixedItem::ViewerClassFor(TBarView*) {
  return ViewerClassOf<TFixedViewer>();
}

// The menu font of the tests: the layer's face for "Tahoma" at 8 points.
inline TFont* TestFont() {
  static TFont* font = [] {
    auto* f = new TFont;  // lives as long as the test program
    f->SetName("Tahoma");
    f->SetHeight(-11);
    return f;
  }();
  return font;
}

// A view with the test font, an optional chevron item shown after the items, and a count of layouts.
class TTestView : public TBarView {
  TALVIK_CLASS(TTestView, TBarView)
  TTestView(TBarCustomItem* AParentItem, bool AIsToolbar, TBarCustomItem* AChevron = nullptr,
            TWinControl* AWindow = nullptr, bool AUsePriorityList = false)
      : TBarView(nullptr, nullptr, AParentItem, AWindow, AIsToolbar, false, AUsePriorityList),
        chevron_(AChevron) {
    if (chevron_) RecreateAllViewers();
  }
  TBarCustomItem* ChevronItem() override { return chevron_; }
  void GetTrailingItems(std::vector<TBarCustomItem*>& Items) override {
    if (chevron_) Items.push_back(chevron_);
  }
  TFont* GetFont() override { return TestFont(); }
  void UpdatePositions(TPoint& ASize) override {
    ++Layouts;
    TBarView::UpdatePositions(ASize);
  }
  int Layouts = 0;

 private:
  TBarCustomItem* chevron_;
};

}  // namespace toolbartest
