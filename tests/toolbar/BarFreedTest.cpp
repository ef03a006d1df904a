// Toolbar views and items whose image lists and linked items go while they are shown: the views let
// go of them and never draw or ask what is gone.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/gui/ImgList.h"
#include "toolbar/BarItem.h"
#include "toolbar/BarViewTestSupport.h"

namespace {

using toolbartest::TestFont;
using toolbartest::TTestView;

class BarFreed : public ::testing::Test {
 protected:
  TComponent owner_{nullptr};  // owns the items and the image list, as a form does
  TBarRootItem* root_ = new TBarRootItem(&owner_);

  TCustomImageList* MakeImages() {
    auto* images = new TCustomImageList(&owner_, 16, 16);
    TBitmap strip;
    strip.SetSize(32, 16);
    images->Add(&strip, nullptr);
    return images;
  }
  TBarItem* Add(TBarCustomItem* parent, const std::string& caption) {
    auto* item = new TBarItem(&owner_);
    item->SetCaption(caption);
    parent->Add(item);
    return item;
  }
  static void Draw(TBarView& view) {
    TPoint size = view.GetBaseSize();
    TBitmap bitmap;
    bitmap.SetSize(std::max(size.X, 1), std::max(size.Y, 1));
    bitmap.Canvas()->Font()->Assign(TestFont());
    view.DrawSubitems(bitmap.Canvas());
  }
};

}  // namespace

TEST_F(BarFreed, ImageListSharedByItemsFreedWhileTheViewShowsThem) {
  TCustomImageList* images = MakeImages();
  for (const char* caption : {"Обновить", "Сессии", "Блокировки"}) {
    TBarItem* item = Add(root_, caption);
    item->SetImages(images);
    item->SetImageIndex(1);
    item->SetDisplayMode(nbdmImageAndText);
  }
  TTestView toolbar(root_, true);
  Draw(toolbar);
  delete images;
  for (int i = 0; i < root_->Count(); ++i) EXPECT_EQ(root_->Items(i)->Images(), nullptr);
  Draw(toolbar);
}

TEST_F(BarFreed, SubmenuImagesOfTheParentFreedWhileAMenuShowsThem) {
  TCustomImageList* images = MakeImages();
  auto* sub = new TBarSubmenuItem(&owner_);
  sub->SetCaption("Вид");
  root_->Add(sub);
  sub->SetSubMenuImages(images);
  TBarItem* item = Add(sub, "Сетка");
  item->SetImageIndex(0);
  TTestView menu(sub, false);
  Draw(menu);
  delete images;
  EXPECT_EQ(sub->SubMenuImages(), nullptr);
  Draw(menu);
}

TEST_F(BarFreed, ViewOfAnItemWhoseLinkedSourceIsFreedShowsNothingOfIt) {
  auto* source = new TBarItem(&owner_);
  Add(source, "Завершить");
  Add(source, "Отладка");
  TBarItem* host = Add(root_, "Сессия");
  host->SetLinkSubitems(source);
  TTestView menu(host, false);
  Draw(menu);
  ASSERT_EQ(menu.ViewerCount(), 2);
  delete source;
  EXPECT_EQ(host->LinkSubitems(), nullptr);
  Draw(menu);
  EXPECT_EQ(menu.ViewerCount(), 0);
}

// The host of a link goes first, then the linked item: the view that showed them hears of both and
// asks nothing of either.
TEST_F(BarFreed, ViewWhoseHostAndThenLinkedSourceGoLetsGoOfBoth) {
  auto* source = new TBarItem(&owner_);
  Add(source, "Завершить");
  TBarItem* host = Add(root_, "Сессия");
  host->SetLinkSubitems(source);
  TTestView menu(host, false);
  Draw(menu);
  ASSERT_EQ(menu.ViewerCount(), 1);
  delete host;
  delete source;
  EXPECT_EQ(menu.ViewerCount(), 0);
}

// The linked item's parent is deleted, made again, given an item and linked again, then deleted
// again: the menu column follows each step and shows what the link shows.
TEST_F(BarFreed, MenuColumnFollowsALinkWhoseHostIsDeletedAndMadeAgain) {
  TBarItem* host = Add(root_, "Сессия");
  TTestView menu(host, false);
  for (int round = 0; round < 2; ++round) {
    auto* parent = new TBarSubmenuItem(&owner_);
    root_->Add(parent);
    TBarItem* linked = Add(parent, "Действия");
    Add(linked, "Завершить");
    host->SetLinkSubitems(linked);
    Draw(menu);
    EXPECT_EQ(menu.ViewerCount(), 1) << "round " << round;
    delete parent;  // with the linked item
    EXPECT_EQ(host->LinkSubitems(), nullptr);
    Draw(menu);
    EXPECT_EQ(menu.ViewerCount(), host->Count()) << "round " << round;
  }
  Add(host, "Своё");
  Draw(menu);
  EXPECT_EQ(menu.ViewerCount(), 1);
}
