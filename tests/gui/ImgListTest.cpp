// Image lists: splitting strips, masks by colour and by bitmap, drawing enabled, greyed and blended,
// and the change links that tell their owners.
#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "platform/gui/ImgList.h"

namespace {

// A strip of `count` 8x8 images on a fuchsia ground: image i has a solid square of colour `colours[i]`
// at (2,2)-(6,6) and a black dot at (0,0).
std::unique_ptr<TBitmap> Strip(const std::vector<TColor>& colours) {
  auto b = std::make_unique<TBitmap>();
  b->SetSize(static_cast<int>(8 * colours.size()), 8);
  b->Canvas()->Brush()->SetColor(clFuchsia);
  b->Canvas()->FillRect(Rect(0, 0, b->Width(), 8));
  for (std::size_t i = 0; i < colours.size(); ++i) {
    int x = static_cast<int>(i) * 8;
    b->Canvas()->Brush()->SetColor(colours[i]);
    b->Canvas()->FillRect(Rect(x + 2, 2, x + 6, 6));
    b->Canvas()->SetPixels(x, 0, clBlack);
  }
  return b;
}

std::unique_ptr<TBitmap> Ground(TColor colour) {
  auto b = std::make_unique<TBitmap>();
  b->SetSize(20, 20);
  b->Canvas()->Brush()->SetColor(colour);
  b->Canvas()->FillRect(Rect(0, 0, 20, 20));
  return b;
}

class ImageLists : public guitest::GuiTest {};

}  // namespace

TEST_F(ImageLists, MaskedStripsSplitAndDrawOnlyTheirOwnPixels) {
  TImageList list(nullptr);
  list.SetSize(8, 8);
  auto strip = Strip({clRed, clLime, clBlue});
  EXPECT_EQ(list.AddMasked(strip.get(), clFuchsia), 0);
  ASSERT_EQ(list.Count(), 3);
  auto ground = Ground(clYellow);
  list.Draw(ground->Canvas(), 4, 4, 1);
  EXPECT_EQ(ground->Canvas()->Pixels(4 + 3, 4 + 3), clLime);    // the image
  EXPECT_EQ(ground->Canvas()->Pixels(4 + 7, 4 + 7), clYellow);  // masked: the ground shows
  EXPECT_EQ(ground->Canvas()->Pixels(4, 4), clBlack);
  EXPECT_EQ(ground->Canvas()->Pixels(4 + 8, 4 + 3), clYellow);  // nothing beyond the image's width
  // clDefault takes the bottom-left pixel as the mask colour
  TImageList byCorner(nullptr);
  byCorner.SetSize(8, 8);
  byCorner.AddMasked(strip.get(), clDefault);
  EXPECT_FALSE(byCorner.PixelShows(0, 7, 7));
  EXPECT_TRUE(byCorner.PixelShows(0, 3, 3));
  // a background colour fills the masked pixels
  list.SetBkColor(clAqua);
  list.Draw(ground->Canvas(), 4, 4, 2);
  EXPECT_EQ(ground->Canvas()->Pixels(4 + 7, 4 + 7), clAqua);
  EXPECT_EQ(ground->Canvas()->Pixels(4 + 3, 4 + 3), clBlue);
  // an index out of range draws nothing and asks nothing
  list.Draw(ground->Canvas(), 0, 0, 7);
  EXPECT_THROW(list.Delete(3), EInvalidOperation);
}

TEST_F(ImageLists, MaskBitmapsDisabledAndBlendedDrawing) {
  TImageList list(nullptr);
  list.SetSize(8, 8);
  auto strip = Strip({clRed});
  TBitmap mask;
  mask.SetSize(8, 8);
  mask.Canvas()->Brush()->SetColor(clWhite);
  mask.Canvas()->FillRect(Rect(0, 0, 8, 8));
  mask.Canvas()->Brush()->SetColor(clBlack);
  mask.Canvas()->FillRect(Rect(0, 0, 4, 8));  // only the left half shows
  list.Add(strip.get(), &mask);
  auto ground = Ground(clWhite);
  list.Draw(ground->Canvas(), 0, 0, 0);
  EXPECT_EQ(ground->Canvas()->Pixels(3, 3), clRed);
  EXPECT_EQ(ground->Canvas()->Pixels(5, 3), clWhite);
  EXPECT_EQ(ground->Canvas()->Pixels(6, 0), clWhite);  // fuchsia, but masked off
  // greyed: no image colour survives, the dark pixels come out in the 3-D shadow colour
  auto grey = Ground(clBtnFace);
  list.Draw(grey->Canvas(), 0, 0, 0, false);
  EXPECT_EQ(ColorToRGB(grey->Canvas()->Pixels(0, 0)), ColorToRGB(clBtnShadow));
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_NE(grey->Canvas()->Pixels(x, y), clRed);
  // selected: half way to the blend colour
  list.SetBlendColor(clBlue);
  auto blended = Ground(clWhite);
  list.Draw(blended->Canvas(), 0, 0, 0, dsSelected, itImage);
  COLORREF c = ColorToRGB(blended->Canvas()->Pixels(3, 3));
  EXPECT_NEAR(GetRValue(c), 127, 2);
  EXPECT_NEAR(GetBValue(c), 127, 2);
  // the image and its mask come back out
  TBitmap image, back;
  list.GetBitmap(0, &image);
  list.GetMask(0, &back);
  EXPECT_EQ(image.Width(), 8);
  EXPECT_EQ(image.Canvas()->Pixels(3, 3), clRed);
  EXPECT_EQ(back.Canvas()->Pixels(1, 1), clBlack);
  EXPECT_EQ(back.Canvas()->Pixels(6, 1), clWhite);
}

TEST_F(ImageLists, ChangeLinksHearEveryChangeUntilEitherSideGoes) {
  auto list = std::make_unique<TImageList>(nullptr);
  list->SetSize(8, 8);
  int heard = 0;
  TChangeLink link;
  link.OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, list.get());
    ++heard;
  };
  list->RegisterChanges(&link);
  auto strip = Strip({clRed, clLime});
  list->AddMasked(strip.get(), clFuchsia);
  list->Move(0, 1);
  list->Delete(0);
  EXPECT_EQ(heard, 3);
  list->BeginUpdate();
  list->Clear();
  list->AddMasked(strip.get(), clFuchsia);
  EXPECT_EQ(heard, 3);
  list->EndUpdate();
  EXPECT_EQ(heard, 4);
  {
    TChangeLink shortLived;
    list->RegisterChanges(&shortLived);
  }  // unregisters itself
  list->Clear();
  EXPECT_EQ(heard, 5);
  list.reset();
  EXPECT_EQ(link.Sender(), nullptr);  // the list told the link it went
}

TEST_F(ImageLists, NamedResourcesLoadByNameAndAnUnknownNameGivesNone) {
  HINSTANCE module = reinterpret_cast<HINSTANCE>(0x15);
  RESOURCE_ART arrows;
  arrows.rows = {"..#.....", ".###....", "#####...", "........"};  // two 4x4 images side by side
  arrows.palette = {{'.', RGB(255, 0, 255)}, {'#', RGB(0, 0, 128)}};
  RegisterResourceArt(module, "TESTARROWS", RT_BITMAP, arrows);
  HBITMAP h = LoadBitmap(module, "testarrows");  // names are matched without case
  ASSERT_NE(h, nullptr);
  TBitmap b;
  b.SetHandle(h);
  EXPECT_EQ(b.Width(), 8);
  EXPECT_EQ(b.Height(), 4);
  EXPECT_EQ(ColorToRGB(b.Canvas()->Pixels(2, 0)), RGB(0, 0, 128));
  EXPECT_EQ(ColorToRGB(b.Canvas()->Pixels(0, 0)), RGB(255, 0, 255));
  EXPECT_EQ(LoadBitmap(module, "NOSUCHBITMAP"), nullptr);
  EXPECT_EQ(LoadBitmap(nullptr, "TESTARROWS"), nullptr);  // another module's table
  TImageList list(nullptr);
  ASSERT_TRUE(list.GetResource(module, "TESTARROWS", 4, clFuchsia));
  EXPECT_EQ(list.Count(), 2);
  EXPECT_TRUE(list.PixelShows(0, 2, 0));
  EXPECT_FALSE(list.PixelShows(0, 0, 0));
  EXPECT_FALSE(list.GetResource(module, "NOSUCHBITMAP", 4, clFuchsia));
  RESOURCE_ART cursor;
  cursor.rows = {"#.", "##"};
  cursor.palette = {{'#', RGB(0, 0, 0)}};
  cursor.hotSpot = {1, 1};
  RegisterResourceArt(module, "TESTCUR", RT_CURSOR, cursor);
  HCURSOR c = LoadCursor(module, "TESTCUR");
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(CursorId(c), 0);  // one of our own, not a standard one
  EXPECT_EQ(LoadCursor(module, "NOSUCHCURSOR"), nullptr);
  DestroyCursor(c);
}
