// Types shared by every unit of the code editor: positions, commands, colours, font styles,
// character sets; key codes, shift states and shortcuts come from the platform.
#pragma once

#include <bitset>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/gui/Controls.h"
#include "platform/gui/Graphics.h"
#include "platform/gui/Menus.h"
#include "platform/rtl/Classes.h"

// A position in the text: character (code point index + 1) and line, both counted from 1.
struct TBufferCoord {
  int32_t Char = 0;
  int32_t Line = 0;
  friend bool operator==(const TBufferCoord&, const TBufferCoord&) = default;
};

// A position on the screen: column (tab-expanded cell) and row, both counted from 1.
struct TDisplayCoord {
  int32_t Column = 0;
  int32_t Row = 0;
  friend bool operator==(const TDisplayCoord&, const TDisplayCoord&) = default;
};

inline TBufferCoord MakeBufferCoord(int32_t aChar, int32_t aLine) {
  return TBufferCoord{aChar, aLine};
}
inline TDisplayCoord MakeDisplayCoord(int32_t aColumn, int32_t aRow) {
  return TDisplayCoord{aColumn, aRow};
}

// The 16-bit editor command number; 1001 and above are user commands.
using TCodeEditorCommand = uint16_t;

enum TCodeSelectionMode : uint8_t { smNormal = 0, smLine = 1, smColumn = 2 };

// True for a code point above 127 that Unicode classes as a letter or digit.
bool IsUnicodeWordChar(char32_t c);
// True for a code point that Unicode classes as punctuation or a symbol.
bool IsUnicodePunct(char32_t c);

// A set of characters: the 256 lowest code points by membership bits; every code point above 255
// is in the set by its Unicode class: none of them, the letters and digits (the editor's word
// characters), all the others, or all of them.
class TCodeCharSet {
 public:
  enum THighChars : uint8_t { hcNone, hcLetters, hcNonLetters, hcAll };

  TCodeCharSet() = default;
  // Characters listed in `chars` (each code point below 256).
  explicit TCodeCharSet(std::u32string_view chars) {
    for (char32_t c : chars) Include(c);
  }
  static TCodeCharSet Range(char32_t first, char32_t last) {
    TCodeCharSet s;
    s.IncludeRange(first, last);
    return s;
  }

  bool Contains(char32_t c) const {
    if (c < 256) return bits_[c];
    switch (high_) {
      case hcLetters:
        return IsUnicodeWordChar(c);
      case hcNonLetters:
        return !IsUnicodeWordChar(c);
      case hcAll:
        return true;
      default:
        return false;
    }
  }
  void Include(char32_t c) {
    if (c < 256) bits_.set(c);
  }
  void Exclude(char32_t c) {
    if (c < 256) bits_.reset(c);
  }
  void IncludeRange(char32_t first, char32_t last) {
    for (char32_t c = first; c <= last && c < 256; ++c) bits_.set(c);
  }
  THighChars HighChars() const { return high_; }
  void SetHighChars(THighChars value) { high_ = value; }
  void SetHighLetters(bool on) { high_ = on ? hcLetters : hcNone; }
  // Every character not in this set (the high code points of the other class; all of them when
  // this set holds none).
  TCodeCharSet Complement() const {
    TCodeCharSet r;
    r.bits_ = ~bits_;
    r.high_ = high_ == hcLetters ? hcNonLetters : (high_ == hcNonLetters ? hcLetters : hcAll);
    return r;
  }
  friend bool operator==(const TCodeCharSet&, const TCodeCharSet&) = default;

 private:
  std::bitset<256> bits_;
  THighChars high_ = hcNone;
};
