// Any edit mask and any typing: the engine never crashes, and what it holds never leaves the mask:
// as many characters as the mask has places, literals where the mask has them, and in every other
// place either the blank or a character that place takes. The input is the mask, a NUL, then the
// operations: a byte below 8 picks backspace, delete, a paste of the rest or a selection, anything
// else is typed (UTF-8).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/gui/Mask.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckInside(const TEditMaskInfo& info, const TMaskEditState& st) {
  Check(static_cast<int>(st.Text.size()) == info.Length());
  Check(st.SelStart >= 0 && st.SelStart <= st.SelEnd && st.SelEnd <= info.Length());
  for (int i = 0; i < info.Length(); ++i) {
    const TEditMaskInfo::TSlot& slot = info.Slot(i);
    char32_t c = st.Text[static_cast<std::size_t>(i)];
    if (slot.Kind == TEditMaskInfo::skLiteral)
      Check(c == slot.Literal);
    else
      Check(c == info.Blank() || info.Accept(i, c) == c);
  }
  Check(info.FirstInvalid(st.Text) < info.Length());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  std::size_t nul = input.find('\0');
  std::string mask = input.substr(0, nul);
  std::string ops = nul == std::string::npos ? std::string() : input.substr(nul + 1);
  TEditMaskInfo info(mask);
  // FormatMaskText of anything, with and without literals, is an edit text of the mask
  for (bool literals : {true, false}) {
    TMaskEditState shown{info.Format(Utf8ToUtf32(ops), literals), 0, 0};
    if (!info.Empty()) CheckInside(info, shown);
  }
  if (info.Empty()) return 0;
  TMaskEditState st{info.EmptyText(), 0, 0};
  std::u32string typed = Utf8ToUtf32(ops);
  for (std::size_t i = 0; i < typed.size(); ++i) {
    char32_t c = typed[i];
    switch (c) {
      case 1:
        info.Delete(st, true);
        break;
      case 2:
        info.Delete(st, false);
        break;
      case 3:
        info.Paste(st, typed.substr(i + 1));
        i = typed.size();
        break;
      case 4:
      case 5: {
        // a selection from the next two characters' values
        int a = i + 1 < typed.size() ? static_cast<int>(typed[i + 1] % 64) : 0;
        int b = i + 2 < typed.size() ? static_cast<int>(typed[i + 2] % 64) : 0;
        st.SelStart = std::min(std::min(a, b), info.Length());
        st.SelEnd = std::min(std::max(a, b), info.Length());
        i += 2;
        break;
      }
      default:
        info.TypeChar(st, c);
        break;
    }
    CheckInside(info, st);
  }
  // the value of what was typed shows through the mask as the same edit text or a trimmed one
  std::u32string value = info.Value(st.Text);
  TMaskEditState again{info.Format(value, info.SaveLiterals()), 0, 0};
  CheckInside(info, again);
  return 0;
}
