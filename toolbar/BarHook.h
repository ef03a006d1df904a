// Shared window hooks: parts of the toolbar library that must see messages sent to other windows
// register a procedure here for the kinds of events they want; at most one window hook of each type
// is installed for the thread, and it calls every interested procedure.
#pragma once

#include "platform/gui/Windows.h"
#include "platform/rtl/Classes.h"

enum THookProcCode { hpSendActivateApp, hpSendWindowPosChanged, hpPreDestroy, hpGetMessage };
using THookProcCodes = TSet<THookProcCode>;
// (kind, window, wParam, lParam); for hpGetMessage lParam points at the MSG, which may be changed.
using THookProc = void (*)(THookProcCode Code, HWND Wnd, WPARAM WParam, LPARAM LParam);

// Registers Proc for Codes (a second registration only counts up). Unless OnlyRegister is set, the
// window hooks the kinds need are installed for the current thread.
void InstallHookProc(THookProc Proc, THookProcCodes Codes, bool OnlyRegister);
// Counts a registration down; the last one removes the procedure, and hooks nobody needs go away.
void UninstallHookProc(THookProc Proc);
// Removes every hook and registration (the end of the library's use).
void UninstallAllHookProcs();
