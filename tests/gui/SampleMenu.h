// The popup menu both the offscreen and the X server screenshots show: images from an image list, a
// default item, check marks, a radio group in a submenu, shortcuts, a separator and a disabled item.
#pragma once

#include <functional>
#include <string>

#include "platform/gui/Graphics.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/Menus.h"

namespace menutest {

// MakeItem(parent, caption) creates an item under parent the way the calling test wants it (its own
// click recording); the menu's items are "Обновить", "Автообновление", "Снять сеанс", "-", "Фильтр"
// (submenu: "Все сеансы", "Пользователи", "Фоновые процессы") and the disabled "Трассировка".
inline TPopupMenu* BuildSampleMenu(
    TComponent* Owner, const std::function<TMenuItem*(TMenuItem*, const std::string&)>& MakeItem) {
  auto* images = new TImageList(Owner);
  images->SetSize(16, 16);
  TBitmap strip;
  strip.SetSize(32, 16);
  strip.Canvas()->Brush()->SetColor(clFuchsia);
  strip.Canvas()->FillRect(Rect(0, 0, 32, 16));
  strip.Canvas()->Brush()->SetColor(clGreen);
  strip.Canvas()->FillRect(Rect(2, 2, 14, 14));
  strip.Canvas()->Brush()->SetColor(clRed);
  strip.Canvas()->Ellipse(18, 2, 30, 14);
  images->AddMasked(&strip, clFuchsia);
  auto* menu = new TPopupMenu(Owner);
  menu->SetImages(images);
  TMenuItem* refresh = MakeItem(menu->Items(), "&Обновить");
  refresh->SetImageIndex(0);
  refresh->SetShortCut(VK_F5);
  refresh->SetDefault(true);
  TMenuItem* autoRefresh = MakeItem(menu->Items(), "&Автообновление");
  autoRefresh->SetChecked(true);
  autoRefresh->SetShortCut(0x4000 | 'R');  // Ctrl+R
  TMenuItem* kill = MakeItem(menu->Items(), "Снять сеанс");
  kill->SetImageIndex(1);
  kill->SetChecked(true);
  kill->SetShortCut(VK_F8);
  MakeItem(menu->Items(), "-");
  TMenuItem* filter = MakeItem(menu->Items(), "&Фильтр");
  MakeItem(filter, "Все сеансы")->SetRadioItem(true);
  TMenuItem* users = MakeItem(filter, "Пользователи");
  users->SetRadioItem(true);
  users->SetChecked(true);
  MakeItem(filter, "Фоновые процессы")->SetRadioItem(true);
  MakeItem(menu->Items(), "Трассировка")->SetEnabled(false);
  return menu;
}

}  // namespace menutest
