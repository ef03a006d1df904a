// Any bytes: loaded as a text file, scanned in one of the eight dialects with the range carried
// from line to line, and word-wrapped. Nothing may crash, hang or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <string>

#include "editor/CodeEditTextBuffer.h"
#include "editor/CodeEditWordWrap.h"
#include "editor/CodeHighlighterSQL.h"

namespace {

class Host : public ICodeEditWrapHost {
 public:
  Host(TCodeEditStringList* lines, int chars, TCodeCharSet ident)
      : lines_(lines), chars_(chars), ident_(ident) {}
  int CharsInWindow() const override { return chars_; }
  TCodeCharSet IdentChars() const override { return ident_; }
  TCodeEditStringList* Lines() const override { return lines_; }

 private:
  TCodeEditStringList* lines_;
  int chars_;
  TCodeCharSet ident_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static TCodeSQLHighlighter* highlighters[8] = {};
  const int dialect = data[0] % 8;
  if (!highlighters[dialect]) {
    highlighters[dialect] = new TCodeSQLHighlighter();
    highlighters[dialect]->SetSQLDialect(static_cast<TSQLDialect>(dialect));
  }
  TCodeSQLHighlighter& hl = *highlighters[dialect];
  const int chars = data[1];
  TCodeEditStringList lines;
  lines.SetTabWidth(1 + data[1] % 9);
  TStringStream stream(std::string(reinterpret_cast<const char*>(data + 2), size - 2));
  lines.LoadFromStream(&stream);
  hl.ResetRange();
  for (int i = 0; i < lines.Count(); ++i) {
    hl.SetLine(lines.Line32(i), i);
    int pos = 0;
    while (!hl.GetEol()) {
      if (hl.GetTokenPos() != pos || hl.GetTokenLen() <= 0) __builtin_trap();
      pos += hl.GetTokenLen();
      hl.Next();
    }
    if (pos != static_cast<int>(lines.Line32(i).size())) __builtin_trap();
    lines.SetRanges(i, hl.GetRange());
  }
  Host host(&lines, chars, hl.GetIdentChars());
  TCodeWordWrapPlugin wrap(&host);
  for (int line = 1; line <= lines.Count(); ++line) {
    TDisplayCoord d = wrap.BufferToDisplayPos({1 + line % 300, line});
    (void)wrap.DisplayToBufferPos(d);
  }
  return 0;
}
