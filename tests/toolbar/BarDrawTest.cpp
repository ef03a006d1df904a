#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "platform/gui/ImgList.h"
#include "toolbar/BarItem.h"
#include "toolbar/BarUtils.h"
#include "toolbar/BarViewTestSupport.h"

namespace {

using toolbartest::TestFont;
using toolbartest::TTestView;

// Three 16 by 16 images: red, green and blue squares with a dark frame.
std::unique_ptr<TCustomImageList> MakeImages() {
  auto images = std::make_unique<TCustomImageList>(nullptr, 16, 16);
  TBitmap strip;
  strip.SetSize(48, 16);
  const TColor colors[] = {clRed, clGreen, clBlue};
  for (int i = 0; i < 3; ++i) {
    strip.Canvas()->Brush()->SetColor(clNavy);
    strip.Canvas()->FillRect(Bounds(i * 16, 0, 16, 16));
    strip.Canvas()->Brush()->SetColor(colors[i]);
    strip.Canvas()->FillRect(Bounds(i * 16 + 2, 2, 12, 12));
  }
  images->Add(&strip, nullptr);
  return images;
}

class BarDraw : public ::testing::Test {
 protected:
  TComponent owner_{nullptr};
  TBarRootItem* root_ = new TBarRootItem(&owner_);
  std::unique_ptr<TCustomImageList> images_ = MakeImages();
  TBitmap canvasBitmap_;

  void SetUp() override {
    canvasBitmap_.SetSize(1, 1);
    canvasBitmap_.Canvas()->Font()->Assign(TestFont());
    SelectCanvasFont(canvasBitmap_.Canvas());
  }
  int T() { return GetTextHeight(canvasBitmap_.Canvas()->Handle()); }
  int TextWidth(const std::string& s) { return GetTextWidth(canvasBitmap_.Canvas()->Handle(), s, true); }
  TSize Measure(TBarView& view, TBarCustomItem* item) {
    int w = 0, h = 0;
    view.Find(item)->MeasureItem(canvasBitmap_.Canvas(), w, h);
    return {w, h};
  }
  template <typename I = TBarItem>
  I* Add(const std::string& caption) {
    auto* item = new I(&owner_);
    item->SetCaption(caption);
    root_->Add(item);
    return item;
  }
  // Lays the view out and paints every viewer onto a bitmap of the window colour.
  std::unique_ptr<TBitmap> Render(TBarView& view, TColor background) {
    TPoint size = view.GetBaseSize();
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetSize(std::max(size.X, 1), std::max(size.Y, 1));
    bitmap->Canvas()->Brush()->SetColor(background);
    bitmap->Canvas()->FillRect(Rect(0, 0, bitmap->Width(), bitmap->Height()));
    view.DrawSubitems(bitmap->Canvas());
    return bitmap;
  }
  static COLORREF Pixel(TBitmap* b, int x, int y) { return ColorToRGB(b->Canvas()->Pixels(x, y)); }
};

TEST_F(BarDraw, ToolbarAndMenuMeasures) {
  ASSERT_EQ(T(), 13) << "the test font";
  TTestView toolbar(root_, true);
  TBarItem* plain = Add("Save");
  auto* split = Add<TBarSubmenuItem>("Save");
  split->SetDropdownCombo(true);
  auto* dropdown = Add<TBarSubmenuItem>("Save");
  dropdown->SetOptions({tboDropdownArrow});
  TBarItem* withImage = Add("Save");
  withImage->SetImages(images_.get());
  withImage->SetImageIndex(0);
  withImage->SetDisplayMode(nbdmImageAndText);
  auto* separator = Add<TBarSeparatorItem>("");

  const int tw = TextWidth("Save");
  EXPECT_EQ(Measure(toolbar, plain), TSize(6 + tw + 6, 6 + 13));
  EXPECT_EQ(Measure(toolbar, split), TSize(6 + tw + 6 + 11, 6 + 13)) << "a split adds its arrow part";
  EXPECT_EQ(Measure(toolbar, dropdown), TSize(6 + tw + 6 + 8, 6 + 13)) << "a drop-down arrow adds 8";
  EXPECT_EQ(Measure(toolbar, withImage), TSize(6 + tw + 6 + 17, 22)) << "the image beside the caption";
  EXPECT_EQ(Measure(toolbar, separator), TSize(6, 6));
  toolbar.SetOrientation(tbvoVertical);
  dropdown->SetOptions({tboDropdownArrow, tboNoRotation});
  plain->SetOptions({tboNoRotation});
  EXPECT_EQ(Measure(toolbar, dropdown).cy, Measure(toolbar, plain).cy + 8)
      << "vertical: the arrow goes below";

  // Menu lines: T + external leading + 4 high, at least the image height + 3.
  TEXTMETRIC tm;
  GetTextMetrics(canvasBitmap_.Canvas()->Handle(), tm);
  TTestView menu(root_, false);
  const int h = 13 + tm.tmExternalLeading + 4;
  EXPECT_EQ(Measure(menu, plain), TSize(h + 6 + tw + h, h));
  plain->SetShortCut(scCtrl | 'S');
  const int sw = GetTextWidth(canvasBitmap_.Canvas()->Handle(), "Ctrl+S", false);
  EXPECT_EQ(Measure(menu, plain), TSize(h + 6 + tw + sw + (h - 6) + h, h)) << "room for the shortcut text";
  const int hi = std::max(h, 19);
  EXPECT_EQ(Measure(menu, withImage), TSize(MulDiv(19, hi, 19) + 6 + tw + hi, hi));
  EXPECT_EQ(Measure(menu, separator), TSize(0, 9)) << "two thirds of the text height, rounded up";
}

TEST_F(BarDraw, TheDefaultItemIsMeasuredBold) {
  TBarItem* plain = Add("Сохранить");
  TBarItem* bold = Add("Сохранить");
  bold->SetOptions({tboDefault});
  TBarItem* again = Add("Сохранить");
  TTestView toolbar(root_, true);
  toolbar.GetBaseSize();
  const int plainWidth = toolbar.Find(plain)->BoundsRect.Width();
  EXPECT_GT(toolbar.Find(bold)->BoundsRect.Width(), plainWidth);
  EXPECT_EQ(toolbar.Find(again)->BoundsRect.Width(), plainWidth) << "the width of the plain font again";
}

TEST_F(BarDraw, CheckGlyphInASunkenCell) {
  TBarItem* item = Add("Bold");
  item->SetChecked(true);
  TTestView menu(root_, false);
  auto bitmap = Render(menu, clMenu);
  const TRect r = menu.Viewers(0)->BoundsRect;
  const int cx = r.Height() / 2 - 2, cy = r.Height() / 2 + 1;
  const COLORREF text = ColorToRGB(clMenuText);
  // Points on both polylines of the glyph.
  const TPoint on[] = {{-2, -2}, {-1, -1}, {0, 0},   {2, -2}, {4, -4}, {4, -3}, {0, 1},
                       {-2, -1}, {-3, -2}, {-3, -1}, {0, 2},  {2, 0},  {5, -3}, {5, -4}};
  for (TPoint p : on) EXPECT_EQ(Pixel(bitmap.get(), cx + p.X, cy + p.Y), text) << p.X << "," << p.Y;
  const TPoint off[] = {{2, 2}, {-4, 2}, {6, -6}, {1, -3}};
  for (TPoint p : off) EXPECT_NE(Pixel(bitmap.get(), cx + p.X, cy + p.Y), text) << p.X << "," << p.Y;
  // The sunken frame of the cell: shadow at its top left, highlight at its bottom right.
  EXPECT_EQ(Pixel(bitmap.get(), 0, 0), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(Pixel(bitmap.get(), r.Height() - 1, r.Height() - 1), GetSysColor(COLOR_BTNHIGHLIGHT));
}

TEST_F(BarDraw, SelectedBandStartsAfterTheImageColumn) {
  TBarItem* withImage = Add("Open");
  withImage->SetImages(images_.get());
  withImage->SetImageIndex(1);
  Add("Close");
  TTestView menu(root_, false);
  menu.GetBaseSize();
  const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
  for (int i = 0; i < 2; ++i) {
    menu.SetSelected(menu.Viewers(i));
    auto bitmap = Render(menu, clMenu);
    const TRect r = menu.Viewers(i)->BoundsRect;
    const int y = r.Top + 1;
    const int column = i == 0 ? r.Height() : 0;  // 16 + 3 scaled to the line: the line's height
    EXPECT_EQ(Pixel(bitmap.get(), column, y), highlight) << i;
    EXPECT_EQ(Pixel(bitmap.get(), r.Right - 1, y), highlight) << i;
    if (column > 0) {
      EXPECT_NE(Pixel(bitmap.get(), column - 1, y), highlight) << "the image column stays";
    }
  }
}

TEST_F(BarDraw, DropdownTriangleAndDisabledShadow) {
  auto* enabled = Add<TBarSubmenuItem>("");
  enabled->SetImages(images_.get());
  enabled->SetImageIndex(0);
  enabled->SetOptions({tboDropdownArrow});
  auto* disabled = Add<TBarSubmenuItem>("");
  disabled->SetImages(images_.get());
  disabled->SetImageIndex(2);
  disabled->SetOptions({tboDropdownArrow});
  disabled->SetEnabled(false);
  TTestView toolbar(root_, true);
  auto bitmap = Render(toolbar, clBtnFace);
  const COLORREF text = ColorToRGB(clBtnText), shadow = GetSysColor(COLOR_BTNSHADOW),
                 light = GetSysColor(COLOR_BTNHIGHLIGHT);

  // Enabled: rows of 5, 3 and 1 pixels centred in the 8 reserved pixels.
  TRect r = toolbar.Viewers(0)->BoundsRect;
  int x = r.Right - 8 + (8 - 5) / 2, y = r.Top + (r.Height() - 3) / 2;
  const char* rows[] = {".xxxxx.", "..xxx..", "...x..."};
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 7; ++col)
      EXPECT_EQ(Pixel(bitmap.get(), x - 1 + col, y + row) == text, rows[row][col] == 'x')
          << row << "," << col;

  // Disabled: the same triangle in the shadow colour, and once more one pixel down and right in the
  // highlight colour, under it.
  r = toolbar.Viewers(1)->BoundsRect;
  x = r.Right - 8 + (8 - 5) / 2;
  y = r.Top + (r.Height() - 3) / 2;
  const char* disabledRows[] = {"sssss.", ".sssll", "..sll.", "...l.."};
  for (int row = 0; row < 4; ++row)
    for (int col = 0; col < 6; ++col) {
      const COLORREF p = Pixel(bitmap.get(), x + col, y + row);
      const char expected = disabledRows[row][col];
      const char got = p == shadow ? 's' : p == light ? 'l' : '.';
      EXPECT_EQ(got, expected) << row << "," << col;
    }
}

TEST_F(BarDraw, ASelectedSplitButtonFramesItsArrowPartShortOfTheRightEdge) {
  auto* split = Add<TBarSubmenuItem>("Экспорт");
  split->SetDropdownCombo(true);
  TTestView toolbar(root_, true);
  toolbar.SelectViewer(toolbar.Find(split));
  auto bitmap = Render(toolbar, clBtnFace);
  const TRect r = toolbar.Find(split)->BoundsRect;
  const COLORREF face = ColorToRGB(clBtnFace), shadow = GetSysColor(COLOR_BTNSHADOW),
                 light = GetSysColor(COLOR_BTNHIGHLIGHT);
  const int y = (r.Top + r.Bottom) / 2;
  EXPECT_EQ(Pixel(bitmap.get(), r.Right - 11 - 1, y), shadow) << "the button part's right edge";
  EXPECT_EQ(Pixel(bitmap.get(), r.Right - 11, y), light) << "the arrow part's left edge";
  EXPECT_EQ(Pixel(bitmap.get(), r.Right - 3, y), shadow) << "the arrow part's right edge, 2 short";
  EXPECT_EQ(Pixel(bitmap.get(), r.Right - 2, y), face);
  EXPECT_EQ(Pixel(bitmap.get(), r.Right - 1, y), face);
  EXPECT_EQ(Pixel(bitmap.get(), r.Right - 6, r.Bottom - 1), shadow) << "its bottom edge";
}

TEST_F(BarDraw, DisabledCaptionHasAHighlightShadow) {
  TBarItem* item = Add("███");
  item->SetEnabled(false);
  TTestView toolbar(root_, true);
  auto bitmap = Render(toolbar, clBtnFace);
  const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW), light = GetSysColor(COLOR_BTNHIGHLIGHT);
  const TRect r = toolbar.Viewers(0)->BoundsRect;
  int lights = 0, shadows = 0;
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) {
      const COLORREF p = Pixel(bitmap.get(), x, y);
      if (p == shadow) ++shadows;
      if (p == light) {
        ++lights;
        // Every highlight pixel lies one pixel down and right of the caption drawn in shadow.
        EXPECT_NE(Pixel(bitmap.get(), x - 1, y - 1), ColorToRGB(clBtnFace)) << x << "," << y;
      }
    }
  EXPECT_GT(shadows, 0);
  EXPECT_GT(lights, 0);
}

// ---- a look at the whole: a toolbar row and a vertical toolbar ----

TEST_F(BarDraw, Screenshot) {
  TComponent owner(nullptr);
  auto build = [&](TBarRootItem* root, bool withChevronItems) {
    auto add = [&](auto* item, const std::string& caption, int image) {
      item->SetCaption(caption);
      item->SetImages(images_.get());
      item->SetImageIndex(image);
      item->SetDisplayMode(nbdmImageAndText);
      root->Add(item);
      return item;
    };
    add(new TBarItem(&owner), "&Открыть", 0);
    auto* split = add(new TBarSubmenuItem(&owner), "&Сеансы", 1);
    split->SetDropdownCombo(true);
    add(new TBarItem(&owner), "&Жирный", 2)->SetChecked(true);
    root->Add(new TBarSeparatorItem(&owner));
    add(new TBarItem(&owner), "&Удалить", 0)->SetEnabled(false);
    if (withChevronItems) {
      add(new TBarItem(&owner), "Обновить", 1);
      add(new TBarItem(&owner), "Справка", 2);
    }
  };
  auto* rowRoot = new TBarRootItem(&owner);
  build(rowRoot, true);
  auto* chevron = new TBarItem(&owner);
  chevron->SetCaption("»");
  TTestView row(rowRoot, true, chevron);
  row.SetMaximumLength(420);
  row.SetChevronSize(13);
  auto* columnRoot = new TBarRootItem(&owner);
  build(columnRoot, false);
  TTestView column(columnRoot, true);
  column.SetOrientation(tbvoVertical);

  TPoint rowSize = row.GetBaseSize(), columnSize = column.GetBaseSize();
  TBitmap shot;
  shot.SetSize(std::max(440, columnSize.X + 20), rowSize.Y + columnSize.Y + 30);
  TCanvas* c = shot.Canvas();
  c->Brush()->SetColor(clBtnFace);
  c->FillRect(Rect(0, 0, shot.Width(), shot.Height()));
  auto paintAt = [&](TBarView& view, int x, int y) {
    HDC dc = c->Handle();
    int saved = SaveDC(dc);
    OffsetViewportOrgEx(dc, x, y, nullptr);
    view.DrawSubitems(c);
    RestoreDC(dc, saved);
  };
  paintAt(row, 10, 10);
  paintAt(column, 10, rowSize.Y + 20);
  EXPECT_TRUE(row.Viewers(row.ViewerCount() - 1)->Show) << "the row is clipped: the chevron shows";

  const char* dir = std::getenv("TALVIK_BINARY_DIR");
  const std::string folder = std::string(dir ? dir : ".") + "/screenshots";
  std::filesystem::create_directories(folder);
  shot.SaveToFile(folder + "/toolbar_views.png");
  EXPECT_TRUE(std::filesystem::exists(folder + "/toolbar_views.png"));
}

}  // namespace

namespace {

// ---- hints ----

TEST_F(BarDraw, HintsComeFromTheHintTheCaptionAndTheShortCut) {
  CreateApplication();
  struct Case {
    const char* what;
    std::function<TBarCustomItem*()> make;
    bool hintShortCuts;
    const char* expected;
  } cases[] = {
      {"short part of the hint",
       [&] {
         TBarItem* i = Add("&Open...");
         i->SetHint("Open a file|Opens a file from the disk");
         return i;
       },
       true, "Open a file"},
      {"caption without marks and dots",
       [&] {
         TBarItem* i = Add("&Open...\tCtrl+O");
         return i;
       },
       true, "Open"},
      {"with the shortcut",
       [&] {
         TBarItem* i = Add("&Save:");
         i->SetShortCut(scCtrl | 'S');
         return i;
       },
       true, "Save (Ctrl+S)"},
      {"shortcuts switched off",
       [&] {
         TBarItem* i = Add("&Save:");
         i->SetShortCut(scCtrl | 'S');
         return i;
       },
       false, "Save"},
      {"no automatic hint",
       [&] {
         TBarItem* i = Add("&Save");
         i->SetOptions({tboNoAutoHint});
         return i;
       },
       true, ""},
      {"a submenu shows its caption already", [&] { return Add<TBarSubmenuItem>("&File"); }, true, ""},
      {"a split submenu gets one",
       [&] {
         auto* i = Add<TBarSubmenuItem>("&Sessions");
         i->SetDropdownCombo(true);
         return i;
       },
       true, "Sessions"},
  };
  TTestView toolbar(root_, true);
  for (auto& c : cases) {
    TBarCustomItem* item = c.make();
    Application->SetHintShortCuts(c.hintShortCuts);
    EXPECT_EQ(toolbar.Find(item)->GetHintText(), c.expected) << c.what;
  }
  Application->SetHintShortCuts(true);

  // The action's own hint handling has the last word.
  TAction action(&owner_);
  action.SetHint("Refresh the list");
  action.OnHint = [](std::string& hint, bool& canShow) {
    canShow = hint != "Refresh the list";
    hint = "changed";
  };
  TBarItem* withAction = Add("x");
  withAction->SetAction(&action);
  EXPECT_EQ(toolbar.Find(withAction)->GetHintText(), "");
  action.SetHint("Another");
  EXPECT_EQ(toolbar.Find(withAction)->GetHintText(), "changed");
}

}  // namespace
