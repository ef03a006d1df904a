// What the end-to-end tests ask the X server directly. Who owns a selection: the window manager
// holds WM_S<screen>, a notification area _NET_SYSTEM_TRAY_S<screen>; the server lets a selection go
// when its owner's connection closes, which it may see a little after the owner's process has ended.
// Whether a program answers: a window manager's ping (_NET_WM_PING) goes to one of its windows and
// comes back once the program's thread of windows has handled its events.
#pragma once

#include <string>

namespace e2e {

// The window that owns the selection Prefix<n> of the display's default screen n (0 when nobody
// owns it or there is no display).
unsigned long ScreenSelectionOwner(const std::string& Prefix);

// Whether the program of the top-level window answers a ping within Ms milliseconds (false too
// when the window has gone).
bool AnswersPing(unsigned long TopLevel, int Ms);

}  // namespace e2e
