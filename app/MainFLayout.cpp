// The main window's bars: the top dock with the menu bar and the "Соединения", "Просмотр" and "Сеансы"
// toolbars, their pictures, and the items that stand for the session window's commands until it
// registers them.
#include <cassert>

#include "app/MainF.h"
#include "platform/gui/Windows.h"
#include "toolbar/BarDock.h"
#include "toolbar/BarItem.h"
#include "toolbar/BarToolbar.h"

namespace {

constexpr int kImageSize = 16;
constexpr int kViewPos = 160, kSessionPos = 215;
constexpr int kConnectionsWidth = 120;

constexpr COLORREF kClear = RGB(255, 0, 255);
const std::vector<std::pair<char, COLORREF>> kPalette = {
    {'.', kClear},          {'k', RGB(0, 0, 0)},       {'y', RGB(240, 200, 0)},
    {'b', RGB(128, 64, 0)}, {'w', RGB(255, 255, 255)}, {'g', RGB(192, 192, 192)},
    {'r', RGB(200, 0, 0)},
};

// The main window's pictures, 16 x 16 each, in the order of the actions' image indexes: a key
// ("Подключиться ..."), a door with an arrow out ("Выход"), two pages ("Копировать") and a
// clipboard ("Вставить").
const char* const kPictures[4][kImageSize] = {
    {"................", "................", "................", "..kkkk..........", ".kyyyyk.........",
     "kyy..yyk........", "ky....ykkkkkkkk.", "ky....yyyyyyyyyk", "ky....ykkkkykkyk", "kyy..yyk..kykkyk",
     ".kyyyyk...kkkkkk", "..kkkk..........", "................", "................", "................",
     "................"},
    {"................", "..kkkkkkkk......", "..kbbbbbbk......", "..kbbbbbbk......", "..kbbbbbbk......",
     "..kbbbbbbk...r..", "..kbbbbybk...rr.", "..kbbbbbbkrrrrrr", "..kbbbbbbkrrrrrr", "..kbbbbbbk...rr.",
     "..kbbbbbbk...r..", "..kbbbbbbk......", "..kbbbbbbk......", "..kkkkkkkk......", "................",
     "................"},
    {"kkkkkkkkk.......", "kwwwwwwwk.......", "kwkkkkkwk.......", "kwwwwwwwk.......", "kwkkkkkwk.......",
     "kwwwwkkkkkkkkk..", "kwkkkkwwwwwwwk..", "kwwwwkwkkkkkwk..", "kwkkkkwwwwwwwk..", "kwwwwkwkkkkkwk..",
     "kkkkkkwwwwwwwk..", ".....kwkkkkkwk..", ".....kwwwwwwwk..", ".....kwkkkkkwk..", ".....kwwwwwwwk..",
     ".....kkkkkkkkk.."},
    {"......kkkk......", "..bbbbkggkbbbb..", ".bbbbkkkkkkbbbb.", ".bbbbbbbbbbbbbb.", ".bbkkkkkkkkkbbb.",
     ".bbkwwwwwwwkbbb.", ".bbkwkkkkkwkbbb.", ".bbkwwwwwwwkbbb.", ".bbkwkkkkkwkbbb.", ".bbkwwwwwwwkbbb.",
     ".bbkwkkkkkwkbbb.", ".bbkwwwwwwwkbbb.", ".bbkkkkkkkkkbbb.", ".bbbbbbbbbbbbbb.", "................",
     "................"},
};

HINSTANCE AppModule() {
  static int anchor = 0;
  return reinterpret_cast<HINSTANCE>(&anchor);
}

// The pictures as one strip, registered once under the program's module.
const char* PictureStrip() {
  static const char* name = [] {
    RESOURCE_ART art;
    art.palette = kPalette;
    art.hotSpot = {0, 0};
    for (int row = 0; row < kImageSize; ++row) {
      std::string line;
      for (const auto& picture : kPictures) {
        assert(std::string(picture[row]).size() == kImageSize);
        line += picture[row];
      }
      art.rows.push_back(line);
    }
    RegisterResourceArt(AppModule(), "TBIMAGES", RT_BITMAP, art);
    return "TBIMAGES";
  }();
  return name;
}

}  // namespace

void TMainForm::CreateBars() {
  TBImageList = new TImageList(this);
  TBImageList->SetName("TBImageList");
  TBImageList->SetSize(kImageSize, kImageSize);
  TBImageList->GetResource(AppModule(), PictureStrip(), kImageSize, static_cast<TColor>(kClear));
  ActionList->SetImages(TBImageList);

  TBDockTop = new TBarDock(this);
  TBDockTop->SetName("TBDockTop");
  TBDockTop->SetParent(this);

  ToolBarMainMenu = NewToolbar("ToolBarMainMenu", "Главное меню", 0, 0);
  ToolBarMainMenu->SetMenuBar(true);  // full width, wraps when short of room, takes the shortcuts
  ToolBarMainMenu->SetCloseButton(false);
  struct Menu {
    const char* caption;
    std::initializer_list<const char*> items;
  };
  const Menu menus[] = {
      {"Файл", {"aLogin", "-", "aExit"}},
      {"Правка", {"aEditCopy", "aEditPaste", "-", "aEditSelectAll"}},
      {"Просмотр", {"aSystemSession", "aUserSession", "-", "aAutoRefresh", "aRefresh", "-", "aOptions"}},
      {"Сеансы",
       {"aMonitor", "-", "aAlarm", "aSound", "-", "aTrace", "-", "aKill", "aKillAll", "-",
        "aRestrictedEnable", "aRestrictedDisable"}},
      {"Помощь", {"aAbout"}},
  };
  for (const Menu& m : menus) {
    TBarSubmenuItem* submenu = NewSubmenu(m.caption);
    ToolBarMainMenu->Items()->Add(submenu);
    AddItems(submenu, m.items);
  }

  ToolBarConnect = NewToolbar("ToolBarConnect", "Соединения", 1, 0);
  AddItems(ToolBarConnect->Items(), {"aLogin", "-"});
  cbConnections = new TComboBox(this);
  cbConnections->SetName("cbConnections");
  cbConnections->SetStyle(csDropDownList);
  cbConnections->SetWidth(kConnectionsWidth);
  cbConnections->OnCloseUp = [this](TObject* s) { cbConnectionsCloseUp(s); };
  cbConnections->SetParent(ToolBarConnect);  // hosted by a control item at the end of the toolbar

  ToolBarView = NewToolbar("ToolBarView", "Просмотр", 1, kViewPos);
  AddItems(ToolBarView->Items(), {"aAutoRefresh", "aRefresh"});
  ToolBarSession = NewToolbar("ToolBarSession", "Сеансы", 1, kSessionPos);
  AddItems(ToolBarSession->Items(), {"aMonitor", "aAlarm", "aSound"});
  BindSessionItems();
  // built as a stored form loads: its items in order, so a narrowed toolbar clips from the right;
  // items added later take the highest priority again
  for (TBarToolbar* bar : {ToolBarMainMenu, ToolBarConnect, ToolBarView, ToolBarSession})
    bar->SetChevronPriorityForNewItems(tbcpHighest);
}

TBarToolbar* TMainForm::NewToolbar(const char* Name, const char* Caption, int Row, int Pos) {
  auto* bar = new TBarToolbar(this);
  bar->SetName(Name);
  bar->SetCaption(Caption);
  bar->SetDockRow(Row);
  bar->SetDockPos(Pos);
  bar->SetImages(TBImageList);
  bar->SetShowHint(true);
  bar->SetChevronPriorityForNewItems(tbcpLowest);  // until the bars are built
  bar->SetParent(TBDockTop);
  return bar;
}

TBarSubmenuItem* TMainForm::NewSubmenu(const char* Caption) {
  auto* submenu = new TBarSubmenuItem(this);
  submenu->SetCaption(Caption);
  return submenu;
}

void TMainForm::AddItems(TBarCustomItem* Parent, std::initializer_list<const char*> Names) {
  for (const char* name : Names) {
    if (std::string(name) == "-") {
      Parent->Add(new TBarSeparatorItem(this));
      continue;
    }
    auto* item = new TBarItem(this);
    if (auto* own = dynamic_cast<TBasicAction*>(FindComponent(name)))
      item->SetAction(own);
    else
      sessionItems_.push_back({item, name});
    Parent->Add(item);
  }
}

void TMainForm::BindSessionItems() {
  TCustomImageList* images = sessionImages_.Get();
  for (const SessionItem& s : sessionItems_) {
    TContainedAction* action = SessionAction(s.ActionName);
    s.Item->SetAction(action);
    s.Item->SetImages(action ? images : nullptr);
    // the session window's commands show only while it is there
    s.Item->SetVisible(action != nullptr);
  }
}
