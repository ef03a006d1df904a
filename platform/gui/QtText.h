// Private to the .cpp files of platform/gui: our text (UTF-8 in std::string, or code points) as the
// toolkit's string and back. Every code point is kept, a U+FEFF or U+FFFE at the start included:
// the toolkit's own decoders take a leading one for a byte-order mark and drop it (or read the rest
// byte-swapped), which would put every character after it one place off.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace talvik::gui::detail {

// UTF-8 as UTF-16, one code point for each character Utf8Next reads (a malformed byte becomes
// U+FFFD, as everywhere else in the system).
QString ToQString(std::string_view utf8);
QString ToQString(std::u32string_view text);
QString ToQString(char32_t c);
// The toolkit's string as UTF-8 (an unpaired surrogate becomes U+FFFD).
std::string FromQString(const QString& s);

}  // namespace talvik::gui::detail
