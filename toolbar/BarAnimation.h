// Popup animation: a popup window opening while the system's menu animation is on is revealed over
// a short time by sliding in from one side (a growing window region while its captured image moves
// with it). A short-lived worker thread times the animation and only posts step messages to the
// window; the GUI thread applies each step. At most one animation runs in the process.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/gui/Controls.h"
#include "platform/gui/Windows.h"

// Ends any running animation, then starts one for Wnd over Time milliseconds in the direction bits
// (1 towards the left, 2 towards the right, 4 downwards, 8 upwards). A fade request slides: this
// system has no layered windows.
void StartMenuAnimation(HWND Wnd, int Time, bool Blend, int Direction);
// Applies the step message (0x955) the worker posted to the animated window.
void ProcessAnimationStep(const TMessage& Message);
// Ends the animation of Wnd (nullptr: whichever runs), leaving the window fully drawn.
void EndMenuAnimation(HWND Wnd);
// Whether an animation runs (for Wnd, or for any window when Wnd is nullptr), and its progress 0..255.
bool MenuAnimationRunning(HWND Wnd = nullptr);
int MenuAnimationStep();

// What the worker runs on: the clock, the sleep and the way it is started. Members left empty take
// the real ones (the steady clock, a sleep of the thread, a thread of its own); tests run the worker
// inline on a fake clock.
struct TBarAnimationHooks {
  std::function<std::int64_t()> NowMs;
  std::function<void(int Ms)> SleepMs;
  // Starts the worker; false when it cannot be started.
  std::function<bool(std::function<void()> Worker)> Start;
};
void SetMenuAnimationHooks(TBarAnimationHooks Hooks);
