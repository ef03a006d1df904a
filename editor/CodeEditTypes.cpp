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
