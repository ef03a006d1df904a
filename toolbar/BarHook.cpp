#include "toolbar/BarHook.h"

#include <algorithm>
#include <cassert>
#include <memory>
#include <vector>

namespace {

struct HookProcEntry {
  THookProc proc;
  int refCount;  // registrations, with or without window hooks
  THookProcCodes codes;
  int installs = 0;  // the registrations that counted on the window hooks of its codes
};

enum HookType { htCallWndProc, htCBT, htGetMessage, htCount };

struct HookTypeState {
  HHOOK handle = nullptr;
  int refCount = 0;
};

std::unique_ptr<std::vector<HookProcEntry>> hookProcs;  // created on first registration
HookTypeState hookTypes[htCount];

constexpr int kWindowsHookIds[htCount] = {WH_CALLWNDPROC, WH_CBT, WH_GETMESSAGE};

HookType HookTypeOf(THookProcCode Code) {
  switch (Code) {
    case hpSendActivateApp:
    case hpSendWindowPosChanged:
      return htCallWndProc;
    case hpPreDestroy:
      return htCBT;
    case hpGetMessage:
      break;
  }
  return htGetMessage;
}

constexpr THookProcCode kAllCodes[] = {hpSendActivateApp, hpSendWindowPosChanged, hpPreDestroy, hpGetMessage};

// Calls every registered procedure that wants the kind; a failing one does not stop the others.
void CallProcs(THookProcCode Code, HWND Wnd, WPARAM WParam, LPARAM LParam) {
  if (!hookProcs) return;
  // A procedure may register or unregister others while it runs: walk a snapshot.
  std::vector<HookProcEntry> procs = *hookProcs;
  for (const HookProcEntry& e : procs) {
    if (!e.codes.Contains(Code)) continue;
    try {
      e.proc(Code, Wnd, WParam, LParam);
    } catch (...) {
      // A hook procedure's failure must not break the message path of the whole thread.
    }
  }
}

LRESULT CallWndProcHook(int Code, WPARAM WParam, LPARAM LParam) {
  if (hookProcs && Code == HC_ACTION) {
    auto* cwp = reinterpret_cast<CWPSTRUCT*>(LParam);
    if (cwp->message == WM_ACTIVATEAPP)
      CallProcs(hpSendActivateApp, cwp->hwnd, cwp->wParam, cwp->lParam);
    else if (cwp->message == WM_WINDOWPOSCHANGED)
      CallProcs(hpSendWindowPosChanged, cwp->hwnd, cwp->wParam, cwp->lParam);
  }
  return CallNextHookEx(hookTypes[htCallWndProc].handle, Code, WParam, LParam);
}

LRESULT CBTHook(int Code, WPARAM WParam, LPARAM LParam) {
  if (hookProcs && Code == HCBT_DESTROYWND) CallProcs(hpPreDestroy, reinterpret_cast<HWND>(WParam), 0, 0);
  return CallNextHookEx(hookTypes[htCBT].handle, Code, WParam, LParam);
}

LRESULT GetMessageHook(int Code, WPARAM WParam, LPARAM LParam) {
  if (hookProcs && Code == HC_ACTION) CallProcs(hpGetMessage, nullptr, WParam, LParam);
  return CallNextHookEx(hookTypes[htGetMessage].handle, Code, WParam, LParam);
}

constexpr HOOKPROC kHookFunctions[htCount] = {CallWndProcHook, CBTHook, GetMessageHook};

// The hook types the kinds need (each once).
std::vector<HookType> TypesOf(THookProcCodes Codes) {
  std::vector<HookType> types;
  for (THookProcCode c : kAllCodes) {
    if (!Codes.Contains(c)) continue;
    HookType t = HookTypeOf(c);
    if (std::find(types.begin(), types.end(), t) == types.end()) types.push_back(t);
  }
  return types;
}

void RemoveHook(HookType T) {
  if (hookTypes[T].handle) {
    UnhookWindowsHookEx(hookTypes[T].handle);
    hookTypes[T].handle = nullptr;
  }
}

// The end of the library's use: when the program ends, every window hook and registration goes
// before the library's lists do, so no hook calls into what is gone.
struct HookUnitEnd {
  HookUnitEnd() = default;
  HookUnitEnd(const HookUnitEnd&) = delete;
  HookUnitEnd& operator=(const HookUnitEnd&) = delete;
  ~HookUnitEnd() { UninstallAllHookProcs(); }
};

}  // namespace

void InstallHookProc(THookProc Proc, THookProcCodes Codes, bool OnlyRegister) {
  static HookUnitEnd unitEnd;  // made with the first registration, so it ends before the lists
  if (!hookProcs) hookProcs = std::make_unique<std::vector<HookProcEntry>>();
  auto it = std::find_if(hookProcs->begin(), hookProcs->end(),
                         [&](const HookProcEntry& e) { return e.proc == Proc; });
  if (it == hookProcs->end()) {
    hookProcs->push_back({Proc, 0, Codes});
    it = hookProcs->end() - 1;
  }
  ++it->refCount;
  if (OnlyRegister) return;
  ++it->installs;
  for (HookType t : TypesOf(Codes)) {
    ++hookTypes[t].refCount;
    if (!hookTypes[t].handle)
      hookTypes[t].handle =
          SetWindowsHookEx(kWindowsHookIds[t], kHookFunctions[t], nullptr, GetCurrentThreadId());
  }
}

void UninstallHookProc(THookProc Proc) {
  if (!hookProcs) return;
  auto it = std::find_if(hookProcs->begin(), hookProcs->end(),
                         [&](const HookProcEntry& e) { return e.proc == Proc; });
  if (it == hookProcs->end()) return;
  // A registration that only registered is undone first, and gives back no window hook: another
  // procedure's hooks stay counted.
  const bool registerOnlyLeft = it->refCount > it->installs;
  if (!registerOnlyLeft) {
    --it->installs;
    for (HookType t : TypesOf(it->codes)) {
      if (hookTypes[t].refCount > 0) --hookTypes[t].refCount;
      if (hookTypes[t].refCount == 0) RemoveHook(t);
    }
  }
  assert(it->installs >= 0 && it->installs < it->refCount + 1);
  if (--it->refCount == 0) hookProcs->erase(it);
  if (hookProcs->empty()) hookProcs.reset();
}

void UninstallAllHookProcs() {
  for (int t = 0; t < htCount; ++t) {
    RemoveHook(static_cast<HookType>(t));
    hookTypes[t].refCount = 0;
  }
  hookProcs.reset();
}
