// Menus and their shortcuts. A shortcut packs a virtual key (low byte) with Shift, Ctrl and Alt bits.
#pragma once

#include <cstdint>
#include <string>

#include "platform/gui/Controls.h"

using TShortCut = std::uint16_t;

constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;
constexpr TShortCut scNone = 0;

// Builds a shortcut from a key and the Shift, Ctrl and Alt parts of a shift state; a key that does
// not fit in the low byte gives no shortcut.
TShortCut ShortCut(WORD Key, TShiftState Shift);
// Splits a shortcut into its key and shift state.
void ShortCutToKey(TShortCut ShortCut, WORD& Key, TShiftState& Shift);
// The English text of a shortcut ("Shift+Ctrl+F5", "Alt+X", "Ctrl+BkSp"); empty for none or for a key
// without a name.
std::string ShortCutToText(TShortCut ShortCut);
// The shortcut a text names, modifiers in any order and case ("ctrl+shift+f5"); 0 when it names none.
TShortCut TextToShortCut(const std::string& Text);
