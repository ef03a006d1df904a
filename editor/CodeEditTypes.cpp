#include "editor/CodeEditTypes.h"

#include <locale.h>
#include <wctype.h>

namespace {

// One C.UTF-8 character-type locale for the whole process; it classifies every code point
// by Unicode properties without touching the process's global locale.
locale_t UnicodeCTypeLocale() {
  static const locale_t loc = [] {
    for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
      locale_t l = newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(nullptr));
      if (l != static_cast<locale_t>(nullptr)) return l;
    }
    return static_cast<locale_t>(nullptr);
  }();
  return loc;
}

// Without a UTF-8 character-type locale: the letters of the Latin, Greek and Cyrillic blocks.
bool FallbackWordChar(char32_t c) {
  if (c >= 0xC0 && c <= 0x24F) return c != 0xD7 && c != 0xF7;
  if (c >= 0x370 && c <= 0x3FF) return c != 0x37E && c != 0x387;
  if (c >= 0x400 && c <= 0x52F) return !(c >= 0x482 && c <= 0x489);
  return c == 0xAA || c == 0xB5 || c == 0xBA;
}

}  // namespace

bool IsUnicodeWordChar(char32_t c) {
  if (c < 128) return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  if (c > 0x10FFFF) return false;
  const locale_t loc = UnicodeCTypeLocale();
  if (loc == static_cast<locale_t>(nullptr)) return FallbackWordChar(c);
  return iswalnum_l(static_cast<wint_t>(c), loc) != 0;
}

bool IsUnicodePunct(char32_t c) {
  if (c < 128) return c > 32 && c < 127 && !IsUnicodeWordChar(c);
  if (c > 0x10FFFF) return false;
  const locale_t loc = UnicodeCTypeLocale();
  if (loc == static_cast<locale_t>(nullptr)) return (c >= 0xA1 && c <= 0xBF) || c == 0xD7 || c == 0xF7;
  return iswpunct_l(static_cast<wint_t>(c), loc) != 0;
}

TShortCut ShortCut(uint16_t key, TShiftState shift) {
  if ((key & 0xFF00) != 0) return 0;
  TShortCut r = key;
  if (shift.Contains(ssShift)) r |= scShift;
  if (shift.Contains(ssCtrl)) r |= scCtrl;
  if (shift.Contains(ssAlt)) r |= scAlt;
  return r;
}

void ShortCutToKey(TShortCut shortCut, uint16_t& key, TShiftState& shift) {
  key = shortCut & 0x00FF;
  shift = TShiftState();
  if (shortCut & scShift) shift.Include(ssShift);
  if (shortCut & scCtrl) shift.Include(ssCtrl);
  if (shortCut & scAlt) shift.Include(ssAlt);
}

namespace {

std::string KeyName(uint16_t key) {
  switch (key) {
    case VK_BACK:
      return "BkSp";
    case VK_TAB:
      return "Tab";
    case VK_ESCAPE:
      return "Esc";
    case VK_RETURN:
      return "Enter";
    case VK_SPACE:
      return "Space";
    case VK_PRIOR:
      return "PgUp";
    case VK_NEXT:
      return "PgDn";
    case VK_END:
      return "End";
    case VK_HOME:
      return "Home";
    case VK_LEFT:
      return "Left";
    case VK_UP:
      return "Up";
    case VK_RIGHT:
      return "Right";
    case VK_DOWN:
      return "Down";
    case VK_INSERT:
      return "Ins";
    case VK_DELETE:
      return "Del";
    default:
      break;
  }
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return std::string(1, static_cast<char>(key));
  if (key >= VK_F1 && key < VK_F1 + 24) {
    std::string r(1, 'F');
    r.append(std::to_string(key - VK_F1 + 1));
    return r;
  }
  return std::string();
}

}  // namespace

std::string ShortCutToText(TShortCut shortCut) {
  std::string name = KeyName(shortCut & 0x00FF);
  if (name.empty()) return std::string();
  std::string r;
  if (shortCut & scShift) r.append("Shift+");
  if (shortCut & scCtrl) r.append("Ctrl+");
  if (shortCut & scAlt) r.append("Alt+");
  r.append(name);
  return r;
}
