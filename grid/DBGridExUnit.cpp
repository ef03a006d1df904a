// The grid unit's start-up and shut-down, with the grid's own art: the indicator and sort-marker
// bitmaps and the selection cursors, registered for the named-resource loader.
#include <cassert>

#include "grid/DBGridEx.h"
#include "grid/DBGridExFindDlg.h"
#include "grid/PropertyInterceptors.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/Menus.h"

HCURSOR DBGridExDownCursor = nullptr;
HCURSOR DBGridExRightCursor = nullptr;
HCURSOR DBGridExLeftCursor = nullptr;
TShortCut DBGridExIncSearchShortCut = scNone;
TShortCut DBGridExSearchNextShortCut = scNone;
TShortCut DBGridExSearchPriorShortCut = scNone;
TShortCut DBGridExCopyFromPreviousShortCut = scNone;
TShortCut DBGridExFindDialogShortCut = scNone;
int DBGridExIncSearchTimeOut = 0;
TColor DBGridExIncSearchBackColor = clYellow;
TColor DBGridExIncSearchFontColor = clBlack;

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kMagenta = RGB(255, 0, 255);
// The clear colour of the white arrow (hexadecimal 808000 as a colour value).
constexpr COLORREF kTeal = RGB(0, 128, 128);
constexpr COLORREF kShade = RGB(128, 128, 128);
constexpr COLORREF kLight = RGB(255, 255, 255);

// Indicators: 8 x 11, drawn right-aligned in the 11-pixel indicator column.
const RESOURCE_ART kArrow{{"........", "........", "..#.....", "..##....", "..###...", "..####..", "..###...",
                           "..##....", "..#.....", "........", "........"},
                          {{'.', kWhite}, {'#', kBlack}},
                          {}};
const RESOURCE_ART kEdit{{"........", ".##.##..", "...#....", "...#....", "...#....", "...#....", "...#....",
                          "...#....", "...#....", ".##.##..", "........"},
                         {{'.', kWhite}, {'#', kBlack}},
                         {}};
const RESOURCE_ART kInsert{{"........", "........", "...#....", ".#.#.#..", "..###...", ".#####..",
                            "..###...", ".#.#.#..", "...#....", "........", "........"},
                           {{'.', kWhite}, {'#', kBlack}},
                           {}};
const RESOURCE_ART kMultiDot{{"........", "........", "........", "........", "...##...", "..####..",
                              "..####..", "...##...", "........", "........", "........"},
                             {{'.', kWhite}, {'#', kBlack}},
                             {}};
const RESOURCE_ART kMultiArrow{{"........", "........", "#.......", "##......", "###.##..", "#######.",
                                "###.##..", "##......", "#.......", "........", "........"},
                               {{'.', kWhite}, {'#', kBlack}},
                               {}};
const RESOURCE_ART kArrowWhite{{"........", "........", "..o.....", "..oo....", "..ooo...", "..oooo..",
                                "..ooo...", "..oo....", "..o.....", "........", "........"},
                               {{'.', kTeal}, {'o', kWhite}},
                               {}};

// Sort markers: 11 x 9 on magenta, a shaded triangle with a light edge.
const RESOURCE_ART kSortDown{{"...........", ".sssssssss.", ".ss.....ll.", "..s.....l..", "..ss...ll..",
                              "...s...l...", "...ss.ll....", "....s.l....", "....sll...."},
                             {{'.', kMagenta}, {'s', kShade}, {'l', kLight}},
                             {}};
const RESOURCE_ART kSortUp{{"....ssl....", "....s.l....", "...ss.ll...", "...s...l...", "..ss...ll..",
                            "..s.....l..", ".ss.....ll.", ".slllllllll", "..........."},
                           {{'.', kMagenta}, {'s', kShade}, {'l', kLight}},
                           {}};

// Cursors: 16 x 16, black with a white edge; '.' is clear.
const RESOURCE_ART kDownCursor{
    {"....oooooo......", "....oxxxxo......", "....oxxxxo......", "....oxxxxo......", "....oxxxxo......",
     "....oxxxxo......", "....oxxxxo......", "oooooxxxxooooo..", ".oxxxxxxxxxxo...", "..oxxxxxxxxo....",
     "...oxxxxxxo.....", "....oxxxxo......", ".....oxxo.......", "......oo........", "................",
     "................"},
    {{'o', kWhite}, {'x', kBlack}},
    {6, 13}};
const RESOURCE_ART kRightCursor{
    {"................", ".......o........", ".......oo.......", ".......oxo......", "oooooooxxo......",
     "oxxxxxxxxxo.....", "oxxxxxxxxxxo....", "oxxxxxxxxxxxo...", "oxxxxxxxxxxo....", "oxxxxxxxxxo.....",
     "oooooooxxo......", ".......oxo......", ".......oo.......", ".......o........", "................",
     "................"},
    {{'o', kWhite}, {'x', kBlack}},
    {12, 7}};
const RESOURCE_ART kLeftCursor{
    {"................", "........o.......", ".......oo.......", "......oxo.......", "......oxxooooooo",
     ".....oxxxxxxxxxo", "....oxxxxxxxxxxo", "...oxxxxxxxxxxxo", "....oxxxxxxxxxxo", ".....oxxxxxxxxxo",
     "......oxxooooooo", "......oxo.......", ".......oo.......", "........o.......", "................",
     "................"},
    {{'o', kWhite}, {'x', kBlack}},
    {3, 7}};

struct ArtEntry {
  const char* Name;
  int Type;
  const RESOURCE_ART* Art;
};
const ArtEntry kArt[] = {
    {"DBGARROWEX", RT_BITMAP, &kArrow},          {"DBEDITEX", RT_BITMAP, &kEdit},
    {"DBINSERTEX", RT_BITMAP, &kInsert},         {"DBMULTIDOTEX", RT_BITMAP, &kMultiDot},
    {"DBMULTIARROWEX", RT_BITMAP, &kMultiArrow}, {"DBGARROWEXW", RT_BITMAP, &kArrowWhite},
    {"DBSMDOWNEX", RT_BITMAP, &kSortDown},       {"DBSMUPEX", RT_BITMAP, &kSortUp},
    {"DOWNCUREX", RT_CURSOR, &kDownCursor},      {"RIGHTCUREX", RT_CURSOR, &kRightCursor},
    {"LEFTCUREX", RT_CURSOR, &kLeftCursor}};

// The indicator bitmaps on a white clear colour, in image-list order.
const char* const kWhiteIndicators[] = {"DBGARROWEX", "DBEDITEX", "DBINSERTEX", "DBMULTIDOTEX",
                                        "DBMULTIARROWEX"};

struct UnitObjects {
  std::unique_ptr<TCustomImageList> indicators;
  std::unique_ptr<TCustomImageList> sortMarkers;
  std::unique_ptr<TFont> sortIndexFont;
};
UnitObjects& Objects() {
  static UnitObjects objects;
  return objects;
}
// Whether the start-up ran (and the shut-down has not since).
bool& Started() {
  static bool started = false;
  return started;
}

void RegisterArt() {
  static const bool done = [] {
    for (const ArtEntry& e : kArt) RegisterResourceArt(GridModule(), e.Name, e.Type, *e.Art);
    return true;
  }();
  (void)done;
}

std::unique_ptr<TBitmap> ArtBitmap(const char* Name) {
  auto b = std::make_unique<TBitmap>();
  HBITMAP h = LoadBitmap(GridModule(), Name);
  if (!h) throw EOutOfResources(std::string("Cannot load bitmap resource ") + Name);
  b->SetHandle(h);
  return b;
}

std::unique_ptr<TCustomImageList> MakeIndicators() {
  std::unique_ptr<TBitmap> arrow = ArtBitmap("DBGARROWEX");
  auto list = std::make_unique<TCustomImageList>(nullptr, arrow->Width(), arrow->Height());
  for (const char* name : kWhiteIndicators) list->AddMasked(ArtBitmap(name).get(), clWhite);
  std::unique_ptr<TBitmap> white = ArtBitmap("DBGARROWEXW");
  list->AddMasked(white.get(), static_cast<TColor>(0x808000));
  // the white arrow on the incremental-search colour (another dark cyan when that is the clear colour)
  TBitmap onSearch;
  onSearch.SetSize(white->Width(), white->Height());
  const TColor back = ColorToRGB(DBGridExIncSearchBackColor) == 0x808000
                          ? static_cast<TColor>(RGB(0, 127, 127))
                          : DBGridExIncSearchBackColor;
  onSearch.Canvas()->Brush()->SetColor(back);
  onSearch.Canvas()->FillRect(Rect(0, 0, white->Width(), white->Height()));
  list->Draw(onSearch.Canvas(), 0, 0, 5);
  list->Add(&onSearch, nullptr);
  return list;
}

std::unique_ptr<TCustomImageList> MakeSortMarkers() {
  std::unique_ptr<TBitmap> down = ArtBitmap("DBSMDOWNEX");
  auto list = std::make_unique<TCustomImageList>(nullptr, down->Width(), down->Height());
  list->AddMasked(down.get(), clFuchsia);
  list->AddMasked(ArtBitmap("DBSMUPEX").get(), clFuchsia);
  return list;
}

}  // namespace

HINSTANCE GridModule() {
  static int anchor = 0;
  return reinterpret_cast<HINSTANCE>(&anchor);
}

HCURSOR LoadGridCursor(const std::string& Name) {
  RegisterArt();
  HCURSOR h = LoadCursor(GridModule(), Name);
  if (!h) throw EOutOfResources("Cannot load cursor resource");
  return h;
}

TCustomImageList* DBGridExIndicators() {
  InitGridUnit();
  return Objects().indicators.get();
}

TCustomImageList* DBGridExSortMarkerImages() {
  InitGridUnit();
  return Objects().sortMarkers.get();
}

TFont* DBGridExSortIndexFont() {
  InitGridUnit();
  return Objects().sortIndexFont.get();
}

void InitGridUnit() {
  if (Started()) return;
  Started() = true;
  RegisterArt();
  CreateDefaultGridStyle();
  DBGridExDataService();
  RegisterColumnInterceptors();
  RegisterFormInterceptor();
  InitGridFindDialogUnit();
  DBGridExIncSearchShortCut = ShortCut('F', {ssCtrl});
  DBGridExSearchNextShortCut = ShortCut(VK_RETURN, {ssCtrl});
  DBGridExSearchPriorShortCut = ShortCut(VK_RETURN, {ssCtrl, ssShift});
  DBGridExCopyFromPreviousShortCut = ShortCut(222, {ssCtrl});
  DBGridExFindDialogShortCut = ShortCut('F', {ssCtrl});
  DBGridExIncSearchTimeOut = 1500;
  DBGridExIncSearchBackColor = clYellow;
  DBGridExIncSearchFontColor = clBlack;
  UnitObjects& o = Objects();
  o.sortMarkers = MakeSortMarkers();
  o.sortIndexFont = std::make_unique<TFont>();
  o.sortIndexFont->SetName("Arial");
  o.sortIndexFont->SetHeight(1 - o.sortMarkers->Height());
  o.indicators = MakeIndicators();
  DBGridExDownCursor = LoadGridCursor("DOWNCUREX");
  DBGridExRightCursor = LoadGridCursor("RIGHTCUREX");
  DBGridExLeftCursor = LoadGridCursor("LEFTCUREX");
}

void DoneGridUnit() {
  if (!Started()) return;
  Started() = false;
  for (HCURSOR* c : {&DBGridExDownCursor, &DBGridExRightCursor, &DBGridExLeftCursor}) {
    if (*c) DestroyCursor(*c);
    *c = nullptr;
  }
  UnitObjects& o = Objects();
  o.sortIndexFont.reset();
  o.indicators.reset();
  o.sortMarkers.reset();
  FreeDBGridExDataService();
}
