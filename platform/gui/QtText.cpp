#include "platform/gui/QtText.h"

#include <cassert>

#include "platform/rtl/SysUtils.h"

namespace talvik::gui::detail {

namespace {

// Writes `c` at `out` as one or two UTF-16 units; returns the position after it.
QChar* Put(QChar* out, char32_t c) {
  if (c >= 0x10000) {
    assert(c <= 0x10FFFF);
    *out++ = QChar(QChar::highSurrogate(c));
    *out++ = QChar(QChar::lowSurrogate(c));
    return out;
  }
  *out++ = QChar(static_cast<char16_t>(c));
  return out;
}

}  // namespace

QString ToQString(std::string_view utf8) {
  // a character takes at most as many UTF-16 units as it takes bytes
  QString s(static_cast<qsizetype>(utf8.size()), Qt::Uninitialized);
  QChar* const begin = s.data();
  QChar* out = begin;
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
      *out++ = QChar(static_cast<char16_t>(b));
      ++i;
    } else {
      out = Put(out, Utf8Next(utf8, i));
    }
  }
  s.truncate(out - begin);
  return s;
}

QString ToQString(std::u32string_view text) {
  QString s(static_cast<qsizetype>(text.size()) * 2, Qt::Uninitialized);
  QChar* const begin = s.data();
  QChar* out = begin;
  for (char32_t c : text) out = Put(out, c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) ? U'\uFFFD' : c);
  s.truncate(out - begin);
  return s;
}

QString ToQString(char32_t c) {
  return ToQString(std::u32string_view(&c, 1));
}

std::string FromQString(const QString& s) {
  return Utf16ToUtf8(
      std::u16string_view(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<size_t>(s.size())));
}

}  // namespace talvik::gui::detail
