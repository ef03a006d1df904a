// Types shared by every unit of the code editor: positions, commands, colours, font styles,
// character sets, and the few key codes and shift states the editor needs.
#pragma once

#include <bitset>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

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

// Colours as 0x00BBGGRR; system colours carry the high byte 0xFF (the painter maps them).
using TColor = int32_t;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;
constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clWindow = static_cast<TColor>(0xFF000005);
constexpr TColor clWindowText = static_cast<TColor>(0xFF000008);

// Font styles; as a set, the bits are the registry's style mask (1 bold, 2 italic, 4 underline, 8
// strike-out).
enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;

// True for a code point above 127 that Unicode classes as a letter or digit.
bool IsUnicodeWordChar(char32_t c);

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

// Key codes and shift states in Windows numbering.
// TODO(gui): these, the colours and the font styles belong to platform/gui; use its definitions
// when they land.
using TShortCut = uint16_t;
constexpr uint16_t VK_BACK = 0x08;
constexpr uint16_t VK_TAB = 0x09;
constexpr uint16_t VK_RETURN = 0x0D;
constexpr uint16_t VK_SHIFT = 0x10;
constexpr uint16_t VK_CONTROL = 0x11;
constexpr uint16_t VK_MENU = 0x12;
constexpr uint16_t VK_ESCAPE = 0x1B;
constexpr uint16_t VK_SPACE = 0x20;
constexpr uint16_t VK_PRIOR = 0x21;
constexpr uint16_t VK_NEXT = 0x22;
constexpr uint16_t VK_END = 0x23;
constexpr uint16_t VK_HOME = 0x24;
constexpr uint16_t VK_LEFT = 0x25;
constexpr uint16_t VK_UP = 0x26;
constexpr uint16_t VK_RIGHT = 0x27;
constexpr uint16_t VK_DOWN = 0x28;
constexpr uint16_t VK_INSERT = 0x2D;
constexpr uint16_t VK_DELETE = 0x2E;
constexpr uint16_t VK_F1 = 0x70;

enum TShiftStateFlag { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateFlag>;

enum TMouseButton : uint8_t { mbLeft = 0, mbRight, mbMiddle };
using TCursor = int16_t;

constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;
constexpr TShortCut scNone = 0;

// Builds a shortcut from a key and the Shift, Ctrl and Alt parts of a shift state.
TShortCut ShortCut(uint16_t key, TShiftState shift);
// Splits a shortcut into its key and shift state.
void ShortCutToKey(TShortCut shortCut, uint16_t& key, TShiftState& shift);
// The English text of a shortcut ("Shift+Ctrl+Z", "Alt+BkSp"); empty for 0.
std::string ShortCutToText(TShortCut shortCut);
