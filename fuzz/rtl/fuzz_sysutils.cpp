// Feeds arbitrary text to the parsers and formatters of SysUtils and Variants: none may crash,
// read out of bounds or raise anything but a conversion error, and the code-page and case
// conversions keep their invariants.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Variants.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t selector = data[0];
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  static const TFormatSettings ru = RussianFormatSettings();
  static const TFormatSettings en = EnglishFormatSettings();
  const TFormatSettings& fs = (selector & 0x80) ? ru : en;
  try {
    switch (selector & 0x0F) {
      case 0: {
        double d;
        if (TryStrToFloat(text, d, fs) && std::isfinite(d)) {
          double back;
          Check(TryStrToFloat(FloatToStrF(d, ffGeneral, 17, 0, fs), back, fs));
        }
        int64_t i;
        TryStrToInt64(text, i);
        Currency c;
        TryStrToCurr(text, c, fs);
        break;
      }
      case 1: {
        TDateTime v;
        if (TryStrToDateTime(text, v, fs)) FormatDateTime("c", v, fs);
        TryStrToDate(text, v, fs);
        TryStrToTime(text, v, fs);
        break;
      }
      case 2:
        FormatFloat(text, -1234.5678, fs);
        FormatFloat(text, 0, fs);
        FormatFloat(text, 1e300, fs);
        break;
      case 3:
        FormatDateTime(text, 45000.75, fs);
        FormatDateTime(text, -1.25, fs);
        break;
      case 4:
        Format(text, {1, "s", 2.5, int64_t(-7), Currency(3)}, fs);
        break;
      case 5: {
        std::string up = AnsiUpperCase(text), low = AnsiLowerCase(text);
        Check(up.size() == text.size() && low.size() == text.size());
        StringReplace(text, "a", "bb", {rfReplaceAll, rfIgnoreCase});
        AnsiCompareStr(text, up);
        Check(AnsiCompareText(text, up) == 0);
        break;
      }
      case 6: {
        Check(Utf8ToCp1251(Cp1251ToUtf8(text)) == text);
        Check(Utf8ToCp1251(text).size() == static_cast<size_t>(Utf8Length(text)));
        Check(Utf16ToUtf8(Utf8ToUtf16(text)) == Utf32ToUtf8(Utf8ToUtf32(text)));
        Utf8Copy(text, static_cast<int>(selector) % 7, 5);
        break;
      }
      case 7: {
        TVariant v(text);
        for (TVarType t : {varInteger, varInt64, varDouble, varCurrency, varDate, varBoolean, varByte}) {
          try {
            VarAsType(v, t);
          } catch (const EVariantError&) {
          }
        }
        try {
          (void)(v == TVariant(1.5));
          (void)(v + TVariant(1));
        } catch (const EVariantError&) {
        }
        break;
      }
      default:
        AnsiDequotedStr(text, '\'');
        AdjustLineBreaks(text);
        Trim(text);
        break;
    }
  } catch (const EConvertError&) {
  } catch (const EMathError&) {
  }
  return 0;
}
