// Small text routines the editor units share: clamping, point ordering, tab-aware column
// arithmetic, character scanning and classes, and the tab expanders.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "editor/CodeEditTypes.h"
#include "platform/rtl/SysUtils.h"

int MinMax(int x, int lo, int hi);
void SwapInt(int& a, int& b);
// The earlier of two buffer points (q when they are equal).
TBufferCoord MinPoint(const TBufferCoord& p, const TBufferCoord& q);
// The later of two buffer points (q when they are equal).
TBufferCoord MaxPoint(const TBufferCoord& p, const TBufferCoord& q);

// Index of the first character 0, LF or CR of the text (its length when there is none).
size_t ScanToLineEnd(std::u32string_view text);

// The lines of a text, split at CR, LF or CR LF (one empty line for an empty text).
std::vector<std::u32string> SplitTextLines(std::u32string_view text);
// The text an undo item keeps of lines it removed or replaced, in UTF-8: the lines joined by CR LF,
// every CR, LF and NUL inside a line preceded by a NUL, so that a line end a line was given through
// the line list goes back into that line and not between two lines.
std::string JoinUndoLines(const std::vector<std::u32string>& lines);
// Appends one line to such a text (the CR LF before it is the caller's).
void AppendUndoLine(std::string& out, std::u32string_view line);
// The lines of such a text (one empty line for an empty text).
std::vector<std::u32string> SplitUndoLines(std::string_view text);

// Columns the text takes after tab expansion.
int GetExpandedLength(std::u32string_view text, int tabWidth);

// The display column (from 1) of the character at `index` (from 1) of the text.
int CharIndexToCaretPos(int index, int tabWidth, std::u32string_view text);

// Index (from 1) of the first character at or after `start` that is in the set; 0 when none
// or when `start` is outside 1..length.
int ScanForCharInSet(std::u32string_view text, int start, const TCodeCharSet& set);
// Index (from 1) of the last character at or before `start` that is in the set; 0 when none.
int ScanBackForCharInSet(std::u32string_view text, int start, const TCodeCharSet& set);

// Lead bytes of double-byte code pages do not exist in text held as code points: both answer 0.
int NextLeadByteIndex(std::u32string_view text, int start);
int LastLeadByteIndex(std::u32string_view text, int start);

// Character-type flags in the CT_CTYPE3 numbering, and the word class derived from them.
constexpr uint16_t C3_NONSPACING = 0x0001;
constexpr uint16_t C3_DIACRITIC = 0x0002;
constexpr uint16_t C3_VOWELMARK = 0x0004;
constexpr uint16_t C3_SYMBOL = 0x0008;
constexpr uint16_t C3_KATAKANA = 0x0010;
constexpr uint16_t C3_HIRAGANA = 0x0020;
constexpr uint16_t C3_HALFWIDTH = 0x0040;
constexpr uint16_t C3_FULLWIDTH = 0x0080;
constexpr uint16_t C3_IDEOGRAPH = 0x0100;
constexpr uint16_t C3_KASHIDA = 0x0200;
constexpr uint16_t C3_LEXICAL = 0x0400;
constexpr uint16_t C3_ALPHA = 0x8000;

// The CT_CTYPE3 flags of one code point, derived from its Unicode properties.
uint16_t GetCharType3(char32_t c);
// Maps CT_CTYPE3 flags to a word class (0..9); a change of class is a word boundary.
int CharClassFromType3(uint16_t flags);

// Tab expansion: the expanded text (a tab becomes tab cells, code 9, up to the next tab stop)
// and whether the text had tabs. A text without tabs comes back unchanged.
using TConvertTabsProc = std::u32string (*)(std::u32string_view line, int tabWidth, bool& hasTabs);
TConvertTabsProc GetBestConvertTabsProc(int tabWidth);
std::u32string ConvertTabs(std::u32string_view line, int tabWidth, bool& hasTabs);
