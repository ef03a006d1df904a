#include "editor/CodeEditMiscProcs.h"

int MinMax(int x, int lo, int hi) {
  if (x > hi) x = hi;
  if (x < lo) x = lo;
  return x;
}

void SwapInt(int& a, int& b) {
  int t = a;
  a = b;
  b = t;
}

TBufferCoord MinPoint(const TBufferCoord& p, const TBufferCoord& q) {
  if (p.Line < q.Line || (p.Line == q.Line && p.Char < q.Char)) return p;
  return q;
}

TBufferCoord MaxPoint(const TBufferCoord& p, const TBufferCoord& q) {
  if (p.Line > q.Line || (p.Line == q.Line && p.Char > q.Char)) return p;
  return q;
}

size_t ScanToLineEnd(std::u32string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c == 0 || c == U'\n' || c == U'\r') return i;
  }
  return text.size();
}

namespace {

constexpr char32_t kUndoEscape = 0;  // the next character belongs to the line
bool NeedsUndoEscape(char32_t c) {
  return c == kUndoEscape || c == U'\r' || c == U'\n';
}
// A character that goes into an undo text as its one byte, as it is.
bool IsPlainAscii(char32_t c) {
  return (c < 0x80) & (c != kUndoEscape) & (c != U'\r') & (c != U'\n');
}

}  // namespace

void AppendUndoLine(std::string& out, std::u32string_view line) {
  // the common case: a line of plain ASCII, a byte a character (both loops without a branch that
  // leaves them early, so that they run many characters at a time)
  unsigned others = 0;
  for (char32_t c : line) others |= static_cast<unsigned>(!IsPlainAscii(c));
  if (others == 0) {
    const size_t at = out.size();
    out.resize(at + line.size());
    char* bytes = out.data() + at;
    for (size_t i = 0; i < line.size(); ++i) bytes[i] = static_cast<char>(line[i]);
    return;
  }
  for (char32_t c : line) {
    if (NeedsUndoEscape(c)) out.push_back(static_cast<char>(kUndoEscape));
    Utf8Append(out, c);
  }
}

std::string JoinUndoLines(const std::vector<std::u32string>& lines) {
  size_t size = 0;
  for (const auto& line : lines) size += line.size() + 2;
  std::string out;
  out.reserve(size);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) out += "\r\n";
    AppendUndoLine(out, lines[i]);
  }
  return out;
}

std::vector<std::u32string> SplitTextLines(std::u32string_view text) {
  std::vector<std::u32string> out(1);
  size_t start = 0;  // the first character not yet put into a line
  for (size_t i = 0; i < text.size(); ++i) {
    const char32_t c = text[i];
    if (c != U'\r' && c != U'\n') continue;
    out.back().append(text.substr(start, i - start));
    if (c == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') ++i;
    out.emplace_back();
    start = i + 1;
  }
  out.back().append(text.substr(start));
  return out;
}

std::vector<std::u32string> SplitUndoLines(std::string_view text) {
  std::vector<std::u32string> out(1);
  size_t i = 0;
  while (i < text.size()) {
    std::u32string& line = out.back();
    // a run of plain ASCII goes into the line a character a byte, the common case
    size_t run = i;
    while (run < text.size() && IsPlainAscii(static_cast<unsigned char>(text[run]))) ++run;
    if (run > i) {
      line.append(text.begin() + static_cast<std::ptrdiff_t>(i),
                  text.begin() + static_cast<std::ptrdiff_t>(run));
      i = run;
      continue;
    }
    const char32_t c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      line.push_back(Utf8Next(text, i));
    } else if (c == kUndoEscape) {
      // the character after a NUL is the line's own; a NUL that ends the text stays as it is
      ++i;
      line.push_back(i < text.size() ? Utf8Next(text, i) : kUndoEscape);
    } else {
      ++i;
      if (c == U'\r' && i < text.size() && text[i] == '\n') ++i;
      out.emplace_back();
    }
  }
  return out;
}

int GetExpandedLength(std::u32string_view text, int tabWidth) {
  int len = 0;
  for (char32_t c : text) {
    if (c == U'\t' && tabWidth > 1)
      len += tabWidth - len % tabWidth;
    else
      ++len;
  }
  return len;
}

int CharIndexToCaretPos(int index, int tabWidth, std::u32string_view text) {
  if (index < 2) return 1;
  size_t firstTab = text.find(U'\t');
  if (tabWidth < 2 || firstTab == std::u32string_view::npos) return index;
  if (static_cast<size_t>(index) <= firstTab + 1) return index;
  // Columns of the characters before `index`; characters past the end count one column each.
  int col = 0;
  for (int i = 0; i < index - 1; ++i) {
    if (static_cast<size_t>(i) < text.size() && text[i] == U'\t')
      col += tabWidth - col % tabWidth;
    else
      ++col;
  }
  return col + 1;
}

int ScanForCharInSet(std::u32string_view text, int start, const TCodeCharSet& set) {
  if (start < 1 || static_cast<size_t>(start) > text.size()) return 0;
  for (size_t i = start - 1; i < text.size(); ++i)
    if (set.Contains(text[i])) return static_cast<int>(i + 1);
  return 0;
}

int ScanBackForCharInSet(std::u32string_view text, int start, const TCodeCharSet& set) {
  if (start < 1 || static_cast<size_t>(start) > text.size()) return 0;
  for (int i = start; i >= 1; --i)
    if (set.Contains(text[i - 1])) return i;
  return 0;
}

int NextLeadByteIndex(std::u32string_view, int) {
  return 0;
}
int LastLeadByteIndex(std::u32string_view, int) {
  return 0;
}

uint16_t GetCharType3(char32_t c) {
  uint16_t flags = 0;
  bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
              (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
              (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
  flags |= wide ? C3_FULLWIDTH : C3_HALFWIDTH;
  if (c >= 0x3041 && c <= 0x309F) flags |= C3_HIRAGANA;
  if ((c >= 0x30A0 && c <= 0x30FF) || (c >= 0xFF66 && c <= 0xFF9F)) flags |= C3_KATAKANA;
  if ((c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0xF900 && c <= 0xFAFF) ||
      (c >= 0x20000 && c <= 0x3FFFD))
    flags |= C3_IDEOGRAPH;
  if (IsUnicodeWordChar(c) && !(c >= U'0' && c <= U'9')) flags |= C3_ALPHA;
  if (c < 128) {
    if ((c > 32 && c < 48) || (c > 57 && c < 65) || (c > 90 && c < 97 && c != U'_') || (c > 122 && c < 127))
      flags |= C3_SYMBOL;
  } else if (!IsUnicodeWordChar(c) && c != 0x30FC && !(flags & (C3_HIRAGANA | C3_KATAKANA))) {
    if (IsUnicodePunct(c) || (c >= 0x2000 && c <= 0x2BFF) || (c >= 0x3000 && c <= 0x303F) ||
        (c >= 0xA0 && c <= 0xBF) || c == 0xD7 || c == 0xF7 || (c >= 0xFF01 && c <= 0xFF0F))
      flags |= C3_SYMBOL;
  }
  return flags;
}

int CharClassFromType3(uint16_t flags) {
  if (flags == C3_SYMBOL) return 9;
  if (flags & C3_HALFWIDTH) {
    if (flags == C3_HALFWIDTH || flags == (C3_HALFWIDTH | C3_ALPHA)) return 1;
    if (flags & (C3_SYMBOL | C3_LEXICAL)) return 2;
    if (flags & C3_KATAKANA) return 3;
    return 0;
  }
  if (flags == C3_FULLWIDTH || flags == (C3_FULLWIDTH | C3_ALPHA)) return 4;
  if (flags & (C3_SYMBOL | C3_LEXICAL)) return 5;
  if (flags & C3_KATAKANA) return 6;
  if (flags & C3_HIRAGANA) return 7;
  if (flags & C3_IDEOGRAPH) return 8;
  return 0;
}

namespace {

// Width below 2: every tab shows as one blank.
std::u32string ConvertTabs1(std::u32string_view line, int, bool& hasTabs) {
  std::u32string r(line);
  hasTabs = false;
  for (char32_t& c : r)
    if (c == U'\t') {
      c = U' ';
      hasTabs = true;
    }
  return r;
}

// Tabs expanded to the stops that nextStop gives for the current column.
template <typename NextStop>
std::u32string ExpandTabs(std::u32string_view line, int tabWidth, bool& hasTabs, NextStop nextStop) {
  size_t first = line.find(U'\t');
  hasTabs = first != std::u32string_view::npos;
  if (!hasTabs) return std::u32string(line);
  std::u32string r;
  r.reserve(line.size() + static_cast<size_t>(tabWidth));
  r.append(line.substr(0, first));
  for (size_t i = first; i < line.size(); ++i) {
    if (line[i] == U'\t')
      r.resize(nextStop(r.size()), U'\t');
    else
      r.push_back(line[i]);
  }
  return r;
}

// Width a power of two: the next stop is found by masking.
std::u32string ConvertTabs2n(std::u32string_view line, int tabWidth, bool& hasTabs) {
  const size_t w = static_cast<size_t>(tabWidth), mask = ~(w - 1);
  return ExpandTabs(line, tabWidth, hasTabs, [w, mask](size_t col) { return (col + w) & mask; });
}

// Any other width.
std::u32string ConvertTabsN(std::u32string_view line, int tabWidth, bool& hasTabs) {
  const size_t w = static_cast<size_t>(tabWidth);
  return ExpandTabs(line, tabWidth, hasTabs, [w](size_t col) { return col + w - col % w; });
}

}  // namespace

TConvertTabsProc GetBestConvertTabsProc(int tabWidth) {
  if (tabWidth < 2) return &ConvertTabs1;
  if (tabWidth <= 65536 && (tabWidth & (tabWidth - 1)) == 0) return &ConvertTabs2n;
  return &ConvertTabsN;
}

std::u32string ConvertTabs(std::u32string_view line, int tabWidth, bool& hasTabs) {
  return GetBestConvertTabsProc(tabWidth)(line, tabWidth, hasTabs);
}
