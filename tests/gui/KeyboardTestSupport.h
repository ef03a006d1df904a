// Keys typed by the tests, and the check that a test leaves the keyboard at rest: a modifier a test
// leaves held would turn the next test's typing into shortcuts (Ctrl+X cutting instead of typing 'x').
#pragma once

#include <gtest/gtest.h>

#include "platform/gui/WinManager.h"
#include "platform/gui/Windows.h"
#include "platform/rtl/ScopeExit.h"

namespace guitest {

// The modifiers in Shift go up one after the other, as a hand lets them go.
inline void LetGo(talvik::gui::ShiftKeys Shift) {
  if (Shift.alt) {
    Shift.alt = false;
    talvik::gui::InjectKey(VK_MENU, false, 0, Shift);
  }
  if (Shift.ctrl) {
    Shift.ctrl = false;
    talvik::gui::InjectKey(VK_CONTROL, false, 0, Shift);
  }
  if (Shift.shift) {
    Shift.shift = false;
    talvik::gui::InjectKey(VK_SHIFT, false, 0, Shift);
  }
}

// A key typed with the modifiers in Shift: pressed and released while they are held, then the modifiers
// go up, so that the keyboard is at rest afterwards (a modifier typed itself is up with its release).
inline void TypeKey(WORD Vk, char32_t Ch, talvik::gui::ShiftKeys Shift) {
  talvik::gui::InjectKey(Vk, true, Ch, Shift);
  talvik::gui::InjectKey(Vk, false, 0, Shift);
  if (Vk == VK_MENU) Shift.alt = false;
  if (Vk == VK_CONTROL) Shift.ctrl = false;
  if (Vk == VK_SHIFT) Shift.shift = false;
  LetGo(Shift);
}

// A mouse step with the modifiers in Shift held. They go up after it unless a button is still down: a
// drag goes on with them held, and they go up with the release that ends it.
inline void MouseStep(UINT Message, POINT Screen, talvik::gui::ShiftKeys Shift, int WheelDelta = 0) {
  talvik::gui::InjectMouse(Message, Screen, Shift, WheelDelta);
  const bool buttonDown = GetAsyncKeyState(VK_LBUTTON) < 0 || GetAsyncKeyState(VK_RBUTTON) < 0 ||
                          GetAsyncKeyState(VK_MBUTTON) < 0;
  if (!buttonDown) LetGo(Shift);
}

// The keyboard is at rest again: a key a test pressed went up, and the window layer read its release
// even when the window it was typed into went first. A modifier found held fails the test that left
// it and then goes up, whatever the check did, so that the tests after it start at rest. Drain takes
// what the release queued.
template <typename TDrain>
void ExpectKeyboardAtRest(TDrain Drain) {
  auto held = [](WORD vk) { return GetAsyncKeyState(vk) < 0 || GetKeyState(vk) < 0; };
  talvik::gui::ShiftKeys down;
  down.shift = held(VK_SHIFT);
  down.ctrl = held(VK_CONTROL);
  down.alt = held(VK_MENU);
  TScopeExit letGo([down, Drain] {
    LetGo(down);
    Drain();
  });
  for (WORD vk : {VK_SHIFT, VK_CONTROL, VK_MENU}) {
    EXPECT_GE(GetAsyncKeyState(vk), 0) << "key " << vk << " left held";
    EXPECT_GE(GetKeyState(vk), 0) << "key " << vk << " still read as held";
  }
}

}  // namespace guitest
