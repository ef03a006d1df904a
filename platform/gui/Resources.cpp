// Named resources: the art libraries register, turned into bitmaps and cursors on demand.
#include <algorithm>
#include <map>
#include <mutex>
#include <tuple>

#include "platform/gui/Graphics.h"
#include "platform/gui/Windows.h"
#include "platform/gui/WindowsState.h"
#include "platform/rtl/SysUtils.h"

namespace {

using Key = std::tuple<HINSTANCE, int, std::string>;

std::map<Key, RESOURCE_ART>& Table() {
  static std::map<Key, RESOURCE_ART> table;
  return table;
}

std::mutex& TableLock() {
  static std::mutex lock;
  return lock;
}

const RESOURCE_ART* Find(HINSTANCE module, int type, const std::string& name) {
  std::lock_guard<std::mutex> guard(TableLock());
  auto it = Table().find(Key{module, type, AnsiUpperCase(name)});
  return it == Table().end() ? nullptr : &it->second;
}

int ArtWidth(const RESOURCE_ART& art) {
  std::size_t w = 0;
  for (const std::string& row : art.rows) w = std::max(w, row.size());
  return static_cast<int>(w);
}

// The colour of a character; false when the palette leaves it clear.
bool ColourOf(const RESOURCE_ART& art, char c, COLORREF& colour) {
  for (auto& [ch, value] : art.palette)
    if (ch == c) {
      colour = value;
      return true;
    }
  return false;
}

HBITMAP Paint(const RESOURCE_ART& art, COLORREF clear) {
  int w = ArtWidth(art), h = static_cast<int>(art.rows.size());
  std::vector<BYTE> bits(static_cast<std::size_t>(w) * h * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const std::string& row = art.rows[static_cast<std::size_t>(y)];
      COLORREF c = clear;
      if (x < static_cast<int>(row.size())) ColourOf(art, row[static_cast<std::size_t>(x)], c);
      BYTE* p = &bits[(static_cast<std::size_t>(y) * w + x) * 4];
      p[0] = static_cast<BYTE>(GetBValue(c));
      p[1] = static_cast<BYTE>(GetGValue(c));
      p[2] = static_cast<BYTE>(GetRValue(c));
      p[3] = 0xFF;
    }
  return CreateBitmap(w, h, 1, 32, bits.data());
}

}  // namespace

void RegisterResourceArt(HINSTANCE module, const std::string& name, int type, const RESOURCE_ART& art) {
  if (name.empty() || art.rows.empty()) throw EInvalidOperation("A resource needs a name and rows");
  std::lock_guard<std::mutex> guard(TableLock());
  Table()[Key{module, type, AnsiUpperCase(name)}] = art;
}

HBITMAP LoadBitmap(HINSTANCE module, const std::string& name) {
  const RESOURCE_ART* art = Find(module, RT_BITMAP, name);
  return art ? Paint(*art, RGB(0, 0, 0)) : nullptr;
}

HBITMAP LoadIconBitmap(HINSTANCE module, const std::string& name, COLORREF clear) {
  const RESOURCE_ART* art = Find(module, RT_ICON, name);
  return art ? Paint(*art, clear) : nullptr;
}

namespace {

// A cursor of the art: clear pixels stay clear, black ones black, any other colour white.
HCURSOR MaskedCursor(HINSTANCE module, const RESOURCE_ART* art) {
  if (!art) return nullptr;
  int w = ArtWidth(*art), h = static_cast<int>(art->rows.size());
  int stride = (w + 7) / 8;
  // clear: AND 1, XOR 0; black: AND 0, XOR 0; any other colour: AND 0, XOR 1 (white)
  std::vector<BYTE> andMask(static_cast<std::size_t>(stride) * h, 0xFF),
      xorMask(static_cast<std::size_t>(stride) * h, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const std::string& row = art->rows[static_cast<std::size_t>(y)];
      COLORREF c = 0;
      if (x >= static_cast<int>(row.size()) || !ColourOf(*art, row[static_cast<std::size_t>(x)], c)) continue;
      std::size_t byte = static_cast<std::size_t>(y) * stride + x / 8;
      BYTE bit = static_cast<BYTE>(0x80 >> (x % 8));
      andMask[byte] = static_cast<BYTE>(andMask[byte] & ~bit);
      if (c != RGB(0, 0, 0)) xorMask[byte] = static_cast<BYTE>(xorMask[byte] | bit);
    }
  return CreateCursor(module, art->hotSpot.X, art->hotSpot.Y, w, h, andMask, xorMask);
}

// A colour the art does not use, to stand for its clear pixels.
COLORREF UnusedColour(const RESOURCE_ART& art) {
  for (COLORREF c : {RGB(255, 0, 255), RGB(0, 255, 255), RGB(1, 2, 3)}) {
    bool used = false;
    for (auto& [ch, value] : art.palette) used = used || value == c;
    if (!used) return c;
  }
  return RGB(254, 1, 253);
}

}  // namespace

HCURSOR LoadCursor(HINSTANCE module, const std::string& name) {
  return MaskedCursor(module, Find(module, RT_CURSOR, name));
}

HICON LoadIcon(HINSTANCE module, const std::string& name) {
  const RESOURCE_ART* art = Find(module, RT_ICON, name);
  HICON icon = MaskedCursor(module, art);
  if (!icon) return nullptr;
  auto* rec = reinterpret_cast<talvik::gui::detail::CursorRec*>(icon);
  rec->clear = UnusedColour(*art);
  rec->image = Paint(*art, rec->clear);
  return icon;
}
