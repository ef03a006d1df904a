// Shortcut packing and the English names of keys.
#include "platform/gui/Menus.h"

#include <array>
#include <string_view>

#include "platform/rtl/SysUtils.h"

namespace {

struct KeyName {
  WORD key;
  const char* name;
};

// Keys whose names are not their own character; letters, digits and F1..F24 are made on the fly.
constexpr std::array<KeyName, 33> kKeyNames{{
    {VK_BACK, "BkSp"},    {VK_TAB, "Tab"},        {VK_ESCAPE, "Esc"},    {VK_RETURN, "Enter"},
    {VK_SPACE, "Space"},  {VK_PRIOR, "PgUp"},     {VK_NEXT, "PgDn"},     {VK_END, "End"},
    {VK_HOME, "Home"},    {VK_LEFT, "Left"},      {VK_UP, "Up"},         {VK_RIGHT, "Right"},
    {VK_DOWN, "Down"},    {VK_INSERT, "Ins"},     {VK_DELETE, "Del"},    {VK_MULTIPLY, "Num *"},
    {VK_ADD, "Num +"},    {VK_SUBTRACT, "Num -"}, {VK_DECIMAL, "Num ."}, {VK_DIVIDE, "Num /"},
    {VK_OEM_1, ";"},      {VK_OEM_PLUS, "="},     {VK_OEM_COMMA, ","},   {VK_OEM_MINUS, "-"},
    {VK_OEM_PERIOD, "."}, {VK_OEM_2, "/"},        {VK_OEM_3, "`"},       {VK_OEM_4, "["},
    {VK_OEM_5, "\\"},     {VK_OEM_6, "]"},        {VK_OEM_7, "'"},       {VK_PAUSE, "Pause"},
    {VK_APPS, "Apps"},
}};

struct Modifier {
  TShortCut bit;
  const char* prefix;
};
// In the order the text names them.
constexpr std::array<Modifier, 3> kModifiers{{{scShift, "Shift+"}, {scCtrl, "Ctrl+"}, {scAlt, "Alt+"}}};

std::string NameOfKey(WORD key) {
  for (const KeyName& k : kKeyNames)
    if (k.key == key) return k.name;
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return std::string(1, static_cast<char>(key));
  if (key >= VK_NUMPAD0 && key <= VK_NUMPAD0 + 9) return "Num " + std::to_string(key - VK_NUMPAD0);
  if (key >= VK_F1 && key < VK_F1 + 24) return "F" + std::to_string(key - VK_F1 + 1);
  return {};
}

bool StartsWithText(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

}  // namespace

TShortCut ShortCut(WORD Key, TShiftState Shift) {
  if ((Key & 0xFF00) != 0) return scNone;
  TShortCut r = Key;
  if (Shift.Contains(ssShift)) r |= scShift;
  if (Shift.Contains(ssCtrl)) r |= scCtrl;
  if (Shift.Contains(ssAlt)) r |= scAlt;
  return r;
}

void ShortCutToKey(TShortCut ShortCut, WORD& Key, TShiftState& Shift) {
  Key = ShortCut & 0x00FF;
  Shift = TShiftState();
  if (ShortCut & scShift) Shift.Include(ssShift);
  if (ShortCut & scCtrl) Shift.Include(ssCtrl);
  if (ShortCut & scAlt) Shift.Include(ssAlt);
}

std::string ShortCutToText(TShortCut ShortCut) {
  std::string name = NameOfKey(ShortCut & 0x00FF);
  if (name.empty()) return {};
  std::string r;
  for (const Modifier& m : kModifiers)
    if (ShortCut & m.bit) r += m.prefix;
  return r + name;
}

TShortCut TextToShortCut(const std::string& Text) {
  std::string_view rest = Text;
  TShortCut shift = 0;
  for (bool found = true; found && !rest.empty();) {
    found = false;
    for (const Modifier& m : kModifiers)
      if (StartsWithText(rest, m.prefix)) {
        shift |= m.bit;
        rest.remove_prefix(std::string_view(m.prefix).size());
        found = true;
      }
  }
  if (rest.empty()) return scNone;
  for (WORD key = 1; key <= 0xFF; ++key) {
    std::string name = NameOfKey(key);
    if (!name.empty() && SameText(name, rest)) return static_cast<TShortCut>(key | shift);
  }
  return scNone;
}

// ---------------------------------------------------------------- accelerators
// '&' is a single byte that never occurs inside a UTF-8 sequence: the scans work on bytes and decode
// a character only where one is taken.

char32_t GetHotkey(std::string_view Text) {
  char32_t result = 0;
  std::size_t i = 0;
  while (i < Text.size()) {
    if (Text[i] != '&') {
      ++i;
      continue;
    }
    if (++i == Text.size()) break;
    if (Text[i] == '&') {
      ++i;
      continue;
    }
    result = Utf8Next(Text, i);
  }
  return result;
}

std::string StripHotkey(std::string_view Text) {
  std::string result;
  result.reserve(Text.size());
  for (std::size_t i = 0; i < Text.size(); ++i) {
    if (Text[i] == '&' && ++i == Text.size()) break;
    result += Text[i];
  }
  return result;
}

namespace {

char32_t FoldCase(char32_t c) {
  const std::u32string up = Utf8ToUtf32(AnsiUpperCase(Utf32ToUtf8(std::u32string(1, c))));
  return up.size() == 1 ? up[0] : c;
}

}  // namespace

bool IsAccel(char32_t Key, std::string_view Text) {
  const char32_t accel = GetHotkey(Text);
  return accel != 0 && Key != 0 && (accel == Key || FoldCase(accel) == FoldCase(Key));
}
