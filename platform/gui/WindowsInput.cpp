// The window manager: focus, activation, capture, the caret, cursors and input routing.
#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

#include "platform/gui/Windows.h"
#include "platform/gui/WindowsState.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"

using namespace talvik::gui::detail;

// ---------------------------------------------------------------- activation and focus

HWND GetActiveWindow() {
  return S().active;
}
HWND GetForegroundWindow() {
  return S().active;
}
bool SetForegroundWindow(HWND hwnd) {
  return SetActiveWindow(hwnd) != nullptr || S().active == hwnd;
}

namespace {

void SendActivateApp(bool active, HWND except) {
  for (Wnd* t : std::vector<Wnd*>(S().topLevels))
    if (W(t->handle) && t->handle != except) Send(t, WM_ACTIVATEAPP, active, 0);
}

HWND ActivateInternal(HWND hwnd, UINT how) {
  auto& s = S();
  Wnd* w = W(hwnd);
  if (hwnd && !w) return nullptr;
  if (w) w = Root(w);
  if (w && w->destroying) return nullptr;
  HWND target = H(w);
  HWND old = s.active;
  if (old == target) return old;
  if (w && (w->style & WS_DISABLED)) return nullptr;
  if (CallHooks(WH_CBT, HCBT_ACTIVATE, reinterpret_cast<WPARAM>(target), 0) != 0) return nullptr;
  if (Wnd* o = W(old)) {
    Send(o, WM_NCACTIVATE, 0, 0);
    if (W(old)) Send(o, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, o->minimized), reinterpret_cast<LPARAM>(target));
  }
  s.active = target;
  if (!old && target) SendActivateApp(true, nullptr);
  if (old && !target) SendActivateApp(false, nullptr);
  if ((w = W(target))) {
    SetWindowPos(target, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (w->host && !s.takingDesktopActivation) w->host->Activate();
    Send(w, WM_NCACTIVATE, 1, 0);
    if (W(target)) Send(w, WM_ACTIVATE, MAKEWPARAM(how, w->minimized), reinterpret_cast<LPARAM>(old));
  }
  // the focus never stays in a window that is no longer active
  if (Wnd* f = W(s.focus); f && Root(f)->handle != s.active) SetFocus(nullptr);
  return old;
}

}  // namespace

HWND SetActiveWindow(HWND hwnd) {
  return ActivateInternal(hwnd, WA_ACTIVE);
}

void talvik::gui::detail::DesktopActivated(HWND topLevel) {
  auto& s = S();
  const HWND outer = std::exchange(s.takingDesktopActivation, topLevel);
  const TScopeExit restore([outer] { S().takingDesktopActivation = outer; });
  SetActiveWindow(topLevel);
}

void talvik::gui::detail::ShowBlockingPopup(HWND blocked) {
  HWND popup = GetLastActivePopup(blocked);
  if (popup == blocked) {
    // a dialog without an owner: the active window, while it takes input
    popup = S().active;
    if (!popup || popup == blocked || !IsWindowVisible(popup) || !IsWindowEnabled(popup)) return;
  }
  if (IsIconic(popup)) ShowWindow(popup, SW_RESTORE);  // the desktop let the user minimise it
  SetWindowPos(popup, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (S().active != popup) {
    SetActiveWindow(popup);
  } else if (Wnd* w = W(popup); w && w->host) {
    w->host->Activate();  // active for us already: the desktop gave the focus elsewhere
  }
}

HWND GetFocus() {
  return S().focus;
}

HWND SetFocus(HWND hwnd) {
  auto& s = S();
  HWND old = s.focus;
  if (!hwnd) {
    if (!old) return nullptr;
    if (CallHooks(WH_CBT, HCBT_SETFOCUS, 0, reinterpret_cast<LPARAM>(old)) != 0) return nullptr;
    if (Wnd* o = W(old)) Send(o, WM_KILLFOCUS, 0, 0);
    if (s.focus == old) {
      s.focus = nullptr;
      FocusMovedBetween(old, nullptr);
    }
    return old;
  }
  Wnd* w = W(hwnd);
  if (!w || w->destroying) return nullptr;
  for (Wnd* a = w; a; a = a->parent)
    if (a->style & WS_DISABLED) return nullptr;
  if (CallHooks(WH_CBT, HCBT_SETFOCUS, reinterpret_cast<WPARAM>(hwnd), reinterpret_cast<LPARAM>(old)) != 0)
    return nullptr;
  Wnd* root = Root(w);
  if (s.active != root->handle) {
    ActivateInternal(root->handle, WA_ACTIVE);
    if (!W(hwnd)) return nullptr;
    old = s.focus;  // activation may have moved the focus already
  }
  if (s.focus == hwnd) return old;
  if (Wnd* o = W(old)) {
    Send(o, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (s.focus != old) return old;  // the handler moved the focus itself
  }
  if (!W(hwnd) || W(hwnd)->destroying) return old;
  s.focus = hwnd;
  FocusMovedBetween(old, hwnd);
  Send(W(hwnd), WM_SETFOCUS, reinterpret_cast<WPARAM>(W(old) ? old : nullptr), 0);
  return old;
}

// ---------------------------------------------------------------- capture

HWND GetCapture() {
  return S().capture;
}

HWND SetCapture(HWND hwnd) {
  auto& s = S();
  Wnd* w = W(hwnd);
  if (!w || w->destroying) return nullptr;
  HWND old = s.capture;
  if (old == hwnd) return old;
  s.capture = hwnd;
  Wnd* o = W(old);
  if (o && Root(o) != Root(w) && Root(o)->host) Root(o)->host->GrabChanged(false);
  if (Root(w)->host) Root(w)->host->GrabChanged(true);
  if (o) Send(o, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
  return old;
}

bool ReleaseCapture() {
  auto& s = S();
  if (Wnd* w = W(s.capture)) ReleaseCaptureOf(w);
  s.capture = nullptr;
  return true;
}

bool TrackMouseEvent(TRACKMOUSEEVENT& tme) {
  Wnd* w = W(tme.hwndTrack);
  if (!w) return false;
  const bool on = !(tme.dwFlags & TME_CANCEL);
  if (!(tme.dwFlags & TME_LEAVE)) return true;
  // the non-client area is tracked on its own: the leave comes when the mouse goes elsewhere, the
  // client area of the window included
  if (tme.dwFlags & TME_NONCLIENT) {
    w->trackNcLeave = on;
    // asked while the mouse is not over the non-client area: it has left already
    if (on && !(tme.hwndTrack == S().mouseWindow && !S().mouseInClient)) {
      w->trackNcLeave = false;
      PostMessage(tme.hwndTrack, WM_NCMOUSELEAVE, 0, 0);
    }
  } else
    w->trackLeave = on;
  return true;
}

// ---------------------------------------------------------------- caret

bool CreateCaret(HWND hwnd, HBITMAP, int width, int height) {
  auto& s = S();
  if (!W(hwnd) || W(hwnd)->destroying) return false;
  if (s.caret.owner) DestroyCaret();
  s.caret = CaretState{};
  s.caret.owner = hwnd;
  s.caret.width = width > 0 ? width : GetSystemMetrics(SM_CXBORDER);
  s.caret.height = height > 0 ? height : GetSystemMetrics(SM_CYBORDER);
  s.caret.lastToggle = talvik::gui::Ticks();
  return true;
}

namespace {
void CaretDirty() {
  auto& c = S().caret;
  if (Wnd* w = W(c.owner))
    NotifyHostDirty(w, Bounds(c.pos.X + w->client.Left, c.pos.Y + w->client.Top, c.width, c.height));
}
}  // namespace

bool DestroyCaret() {
  auto& s = S();
  if (!s.caret.owner) return false;
  CaretDirty();
  s.caret = CaretState{};
  return true;
}

bool SetCaretPos(int x, int y) {
  auto& c = S().caret;
  if (!c.owner) return false;
  CaretDirty();
  c.pos = {x, y};
  c.blinkOn = true;
  c.lastToggle = talvik::gui::Ticks();
  CaretDirty();
  return true;
}

bool GetCaretPos(POINT& p) {
  p = S().caret.pos;
  return S().caret.owner != nullptr;
}

bool ShowCaret(HWND hwnd) {
  auto& c = S().caret;
  if (!c.owner || (hwnd && hwnd != c.owner) || c.hideCount == 0) return false;
  if (--c.hideCount == 0) {
    c.blinkOn = true;
    c.lastToggle = talvik::gui::Ticks();
    CaretDirty();
  }
  return true;
}

bool HideCaret(HWND hwnd) {
  auto& c = S().caret;
  if (!c.owner || (hwnd && hwnd != c.owner)) return false;
  if (c.hideCount++ == 0) CaretDirty();
  return true;
}

UINT GetCaretBlinkTime() {
  return S().caretBlinkTime;
}
bool SetCaretBlinkTime(UINT ms) {
  S().caretBlinkTime = ms;
  return true;
}

namespace talvik::gui::detail {
bool VisibleCaret(HWND topLevel, RECT& caret) {
  auto& c = S().caret;
  Wnd* w = W(c.owner);
  if (!w || c.hideCount > 0 || !c.blinkOn || !Visible(w) || Root(w)->handle != topLevel) return false;
  RECT inRoot = RectInRoot(w);
  caret =
      Bounds(inRoot.Left + w->client.Left + c.pos.X, inRoot.Top + w->client.Top + c.pos.Y, c.width, c.height);
  RECT clientInRoot =
      Bounds(inRoot.Left + w->client.Left, inRoot.Top + w->client.Top, w->client.Width(), w->client.Height());
  return IntersectRect(caret, caret, clientInRoot);
}
}  // namespace talvik::gui::detail

// ---------------------------------------------------------------- cursors

namespace {
CursorRec* StandardCursor(int id) {
  static auto* cache = new std::map<int, CursorRec*>();  // shared for the whole run
  auto& c = (*cache)[id];
  if (!c) {
    c = new CursorRec();
    c->id = id;
  }
  return c;
}
}  // namespace

HCURSOR LoadCursor(HINSTANCE, int id) {
  switch (id) {
    case IDC_ARROW:
    case IDC_IBEAM:
    case IDC_WAIT:
    case IDC_CROSS:
    case IDC_UPARROW:
    case IDC_SIZENWSE:
    case IDC_SIZENESW:
    case IDC_SIZEWE:
    case IDC_SIZENS:
    case IDC_SIZEALL:
    case IDC_NO:
    case IDC_HAND:
    case IDC_APPSTARTING:
    case IDC_HELP:
      return reinterpret_cast<HCURSOR>(StandardCursor(id));
    default:
      return nullptr;
  }
}

HCURSOR CreateCursor(HINSTANCE, int hotX, int hotY, int width, int height, const std::vector<BYTE>& andMask,
                     const std::vector<BYTE>& xorMask) {
  std::size_t need =
      static_cast<std::size_t>((width + 7) / 8) * static_cast<std::size_t>(std::max(height, 0));
  if (width <= 0 || height <= 0 || andMask.size() < need || xorMask.size() < need)
    throw EInvalidOperation("Cursor masks do not match the cursor size");
  auto* c = new CursorRec();
  c->width = width;
  c->height = height;
  c->hotX = hotX;
  c->hotY = hotY;
  c->andMask = andMask;
  c->xorMask = xorMask;
  return reinterpret_cast<HCURSOR>(c);
}

bool DestroyCursor(HCURSOR cursor) {
  auto* c = reinterpret_cast<CursorRec*>(cursor);
  if (!c || c->id) return false;  // shared cursors stay
  if (S().cursor == cursor) S().cursor = nullptr;
  if (c->image) DeleteObject(c->image);
  delete c;
  return true;
}

bool DestroyIcon(HICON icon) {
  return DestroyCursor(icon);
}

bool DrawIcon(HDC dc, int x, int y, HICON icon) {
  auto* c = reinterpret_cast<CursorRec*>(icon);
  if (!dc || !c) return false;
  if (c->image) {
    HDC src = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(src, c->image);
    TransparentBlt(dc, x, y, c->width, c->height, src, 0, 0, c->width, c->height, c->clear);
    SelectObject(src, old);
    DeleteDC(src);
    return true;
  }
  // a cursor: the pixels its AND mask keeps are drawn, black or white by its XOR mask
  const int stride = (c->width + 7) / 8;
  for (int py = 0; py < c->height; ++py)
    for (int px = 0; px < c->width; ++px) {
      const std::size_t byte = static_cast<std::size_t>(py) * stride + px / 8;
      const BYTE bit = static_cast<BYTE>(0x80 >> (px % 8));
      if (c->andMask[byte] & bit) continue;
      SetPixel(dc, x + px, y + py, (c->xorMask[byte] & bit) ? RGB(255, 255, 255) : RGB(0, 0, 0));
    }
  return true;
}

int CursorId(HCURSOR cursor) {
  return cursor ? reinterpret_cast<CursorRec*>(cursor)->id : 0;
}

void talvik::gui::detail::SetCursorInternal(HCURSOR c) {
  auto& s = S();
  s.cursor = c;
  HWND target = s.capture ? s.capture : s.mouseWindow;
  if (Wnd* w = W(target); w && Root(w)->host) Root(w)->host->CursorChanged(c);
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR old = S().cursor;
  if (old != cursor) SetCursorInternal(cursor);
  return old;
}

HCURSOR GetCursor() {
  return S().cursor;
}

bool GetCursorPos(POINT& p) {
  p = S().cursorPos.load();
  return true;
}

bool SetCursorPos(int x, int y) {
  S().cursorPos.store(POINT{x, y});
  return true;
}

// ---------------------------------------------------------------- keyboard state

namespace {

struct KeyName {
  UINT vk;
  UINT scanCode;
  bool extended;
  const char* name;
};
// The keys with names of their own; letters and digits follow below.
constexpr KeyName kKeyNames[] = {
    {VK_ESCAPE, 0x01, false, "Esc"},
    {VK_BACK, 0x0E, false, "Backspace"},
    {VK_TAB, 0x0F, false, "Tab"},
    {VK_RETURN, 0x1C, false, "Enter"},
    {VK_CONTROL, 0x1D, false, "Ctrl"},
    {VK_SHIFT, 0x2A, false, "Shift"},
    {VK_MENU, 0x38, false, "Alt"},
    {VK_SPACE, 0x39, false, "Space"},
    {VK_CAPITAL, 0x3A, false, "Caps Lock"},
    {VK_F11, 0x57, false, "F11"},
    {VK_F12, 0x58, false, "F12"},
    {VK_RCONTROL, 0x1D, true, "Right Ctrl"},
    {VK_RMENU, 0x38, true, "Right Alt"},
    {VK_HOME, 0x47, true, "Home"},
    {VK_UP, 0x48, true, "Up"},
    {VK_PRIOR, 0x49, true, "Page Up"},
    {VK_LEFT, 0x4B, true, "Left"},
    {VK_RIGHT, 0x4D, true, "Right"},
    {VK_END, 0x4F, true, "End"},
    {VK_DOWN, 0x50, true, "Down"},
    {VK_NEXT, 0x51, true, "Page Down"},
    {VK_INSERT, 0x52, true, "Insert"},
    {VK_DELETE, 0x53, true, "Delete"},
};
// The letter keys by row of the PC keyboard, from their first scan codes.
constexpr std::pair<UINT, const char*> kLetterRows[] = {
    {0x10, "QWERTYUIOP"}, {0x1E, "ASDFGHJKL"}, {0x2C, "ZXCVBNM"}};

}  // namespace

UINT MapVirtualKey(UINT code, UINT mapType) {
  if (mapType != MAPVK_VK_TO_VSC) return 0;
  for (const KeyName& k : kKeyNames)
    if (k.vk == code) return k.scanCode;
  if (code >= VK_F1 && code <= VK_F10) return 0x3B + (code - VK_F1);
  if (code >= '1' && code <= '9') return 0x02 + (code - '1');
  if (code == '0') return 0x0B;
  for (const auto& [first, letters] : kLetterRows)
    for (UINT i = 0; letters[i]; ++i)
      if (static_cast<UINT>(letters[i]) == code) return first + i;
  return 0;
}

int GetKeyNameText(LPARAM lParam, char* buffer, int size) {
  const UINT scanCode = static_cast<UINT>((lParam >> 16) & 0xFF);
  const bool extended = ((lParam >> 24) & 1) != 0;
  std::string name;
  for (const KeyName& k : kKeyNames)
    if (k.scanCode == scanCode && k.extended == extended) name = k.name;
  if (name.empty() && !extended) {
    if (scanCode >= 0x3B && scanCode <= 0x44) name = "F" + std::to_string(scanCode - 0x3A);
    if (scanCode >= 0x02 && scanCode <= 0x0B)
      name = std::string(1, static_cast<char>(scanCode == 0x0B ? '0' : '1' + (scanCode - 0x02)));
    for (const auto& [first, letters] : kLetterRows)
      if (scanCode >= first && scanCode < first + std::char_traits<char>::length(letters))
        name = std::string(1, letters[scanCode - first]);
  }
  if (name.empty() || !buffer || size <= 0) return 0;
  const int n = std::min(static_cast<int>(name.size()), size - 1);
  name.copy(buffer, static_cast<std::size_t>(n));
  buffer[n] = '\0';
  return n;
}

short GetKeyState(int vk) {
  if (vk < 0 || vk > 255) return 0;
  BYTE b = S().keyState[vk];
  return static_cast<short>(((b & 0x80) ? 0x8000 : 0) | (b & 1));
}

short GetAsyncKeyState(int vk) {
  if (vk < 0 || vk > 255) return 0;
  return static_cast<short>((S().asyncKeyState[vk] & 0x80) ? 0x8000 : 0);
}

void talvik::gui::detail::TakeInputState(std::uint64_t input) {
  auto& s = S();
  while (!s.imeResults.empty() && s.imeResults.front().first <= input) {
    if (s.imeResults.front().first == input) s.imeResult = std::move(s.imeResults.front().second);
    s.imeResults.pop_front();
  }
  while (!s.inputKeys.empty() && s.inputKeys.front().first <= input) {
    if (s.inputKeys.front().first == input)
      std::copy(s.inputKeys.front().second.begin(), s.inputKeys.front().second.end(), s.keyState);
    s.inputKeys.pop_front();
  }
}

// ---------------------------------------------------------------- input routing

namespace talvik::gui::detail {
void ForgetWindowInput(Wnd* w) {
  auto& s = S();
  if (s.mouseWindow == w->handle) s.mouseWindow = nullptr;
  if (s.lastDownWindow == w->handle) s.lastDownWindow = nullptr;
}
}  // namespace talvik::gui::detail

namespace {

void SetKey(int vk, bool down) {
  BYTE& b = S().asyncKeyState[vk & 0xFF];
  if (down) {
    if (!(b & 0x80)) b ^= 1;  // toggle state flips on each press
    b |= 0x80;
  } else {
    b &= static_cast<BYTE>(~0x80);
  }
}

void SyncShift(const talvik::gui::ShiftKeys& k) {
  auto set = [](int vk, bool down) {
    BYTE& b = S().asyncKeyState[vk];
    if (down)
      b |= 0x80;
    else
      b &= static_cast<BYTE>(~0x80);
  };
  set(VK_SHIFT, k.shift);
  set(VK_CONTROL, k.ctrl);
  set(VK_MENU, k.alt);
}

WPARAM MouseKeys() {
  auto& ks = S().asyncKeyState;
  WPARAM m = 0;
  if (ks[VK_LBUTTON] & 0x80) m |= MK_LBUTTON;
  if (ks[VK_RBUTTON] & 0x80) m |= MK_RBUTTON;
  if (ks[VK_MBUTTON] & 0x80) m |= MK_MBUTTON;
  if (ks[VK_SHIFT] & 0x80) m |= MK_SHIFT;
  if (ks[VK_CONTROL] & 0x80) m |= MK_CONTROL;
  return m;
}

void PostTo(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, char32_t translated = 0) {
  MSG m;
  m.hwnd = hwnd;
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  m.time = MessageTimeNow();
  m.pt = S().cursorPos.load();
  m.translated = translated;
  // the keyboard as it is now goes with the message: its handlers read it, not a later state
  auto& s = S();
  m.input = ++s.lastInput;
  std::array<BYTE, 256> keys;
  std::copy(std::begin(s.asyncKeyState), std::end(s.asyncKeyState), keys.begin());
  s.inputKeys.emplace_back(m.input, keys);
  constexpr std::size_t kMaxBacklog = 4096;  // input dropped from the queue leaves its copy here
  if (s.inputKeys.size() > kMaxBacklog) s.inputKeys.pop_front();
  PostInput(m);
}

bool IsButtonDown(UINT m) {
  return m == WM_LBUTTONDOWN || m == WM_RBUTTONDOWN || m == WM_MBUTTONDOWN;
}

// The display shows Shown on top at a point of the screen: when our order has another of our
// top-level windows there above it, Shown comes just above that one. (Topmost windows stay above the
// others, whatever the display stacks.)
void FollowDisplayStacking(Wnd* shown, POINT screen) {
  const RECT& r = shown->rect;
  if (!Visible(shown) || shown->minimized || !PtInRect(r, screen) ||
      (shown->windowRgn && !PtInRegion(shown->windowRgn, screen.X - r.Left, screen.Y - r.Top)))
    return;
  Wnd* under = W(WindowFromPoint(screen));
  Wnd* above = under ? Root(under) : nullptr;
  if (!above || above == shown || (above->exStyle & WS_EX_TOPMOST) != (shown->exStyle & WS_EX_TOPMOST))
    return;
  auto& list = S().topLevels;
  list.erase(std::remove(list.begin(), list.end(), shown), list.end());
  list.insert(std::find(list.begin(), list.end(), above), shown);
}

}  // namespace

namespace talvik::gui {

void InjectKey(WORD vk, bool down, char32_t ch, ShiftKeys shift, bool autoRepeat, int scanCode) {
  auto& s = S();
  s.lastInputWasKey = true;
  bool wasDown = s.asyncKeyState[vk & 0xFF] & 0x80;
  SyncShift(shift);
  SetKey(vk, down);
  if (vk == VK_MENU) {
    if (down && !wasDown) s.altAlone = true;
  } else if (down) {
    s.altAlone = false;
  }
  HWND target = s.focus ? s.focus : s.active;
  if (!target) {
    // no window takes the key: no message will carry its state, so the keyboard as read is it at once
    std::copy(std::begin(s.asyncKeyState), std::end(s.asyncKeyState), s.keyState);
    return;
  }
  // Alt without Ctrl, and F10, make system keys
  bool sys = (shift.alt && !shift.ctrl) || vk == VK_F10 || (vk == VK_MENU && !shift.ctrl);
  UINT message = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
  DWORD data = 1 | (static_cast<DWORD>(scanCode & 0xFF) << 16);
  if (shift.alt) data |= static_cast<DWORD>(KF_ALTDOWN) << 16;
  if (autoRepeat || (down && wasDown)) data |= static_cast<DWORD>(KF_REPEAT) << 16;
  if (!down) data |= (static_cast<DWORD>(KF_REPEAT) | KF_UP) << 16;
  if (vk == VK_INSERT || vk == VK_DELETE || (vk >= VK_PRIOR && vk <= VK_DOWN) || vk == VK_RCONTROL ||
      vk == VK_RMENU)
    data |= static_cast<DWORD>(KF_EXTENDED) << 16;
  LPARAM lParam = static_cast<LPARAM>(static_cast<std::int32_t>(data));
  // bit 25 marks the release of an Alt that was pressed and released alone (it opens the menu)
  if (!down && vk == VK_MENU && s.altAlone) lParam |= LPARAM(1) << 25;
  PostTo(target, message, vk, lParam, down ? ch : 0);
}

void InjectText(const std::string& utf8) {
  auto& s = S();
  HWND target = s.focus;
  if (!target || utf8.empty()) return;
  // the committed text arrives as the result of a composition; its default handling types it
  PostTo(target, WM_IME_COMPOSITION, 0, static_cast<LPARAM>(GCS_RESULTSTR));
  s.imeResults.emplace_back(s.lastInput, utf8);
  constexpr std::size_t kMaxBacklog = 4096;
  if (s.imeResults.size() > kMaxBacklog) s.imeResults.pop_front();
}

void InjectMouseLeave() {
  PostTo(nullptr, kQueuedMouse, MouseKeys(), WM_MOUSELEAVE);
}

void InjectMouse(UINT message, POINT screen, ShiftKeys shift, int wheelDelta) {
  auto& s = S();
  if (message != WM_MOUSEMOVE) s.lastInputWasKey = false;
  SyncShift(shift);
  s.cursorPos.store(screen);
  switch (message) {
    case WM_LBUTTONDOWN:
      SetKey(VK_LBUTTON, true);
      break;
    case WM_LBUTTONUP:
      SetKey(VK_LBUTTON, false);
      break;
    case WM_RBUTTONDOWN:
      SetKey(VK_RBUTTON, true);
      break;
    case WM_RBUTTONUP:
      SetKey(VK_RBUTTON, false);
      break;
    case WM_MBUTTONDOWN:
      SetKey(VK_MBUTTON, true);
      break;
    case WM_MBUTTONUP:
      SetKey(VK_MBUTTON, false);
      break;
    default:
      break;
  }
  if (message == WM_MOUSEWHEEL) {
    // the wheel goes to the focused window, as keys do
    HWND target = s.focus ? s.focus : s.active;
    if (target)
      PostTo(target, WM_MOUSEWHEEL, MAKEWPARAM(static_cast<int>(MouseKeys()), wheelDelta),
             MAKELPARAM(screen.X, screen.Y));
    return;
  }
  PostTo(nullptr, kQueuedMouse, MouseKeys(), static_cast<LPARAM>(message));
}

}  // namespace talvik::gui

namespace {

// The mouse left the window it was over, or that window's non-client area for its client area:
// the leave messages a window asked for (TrackMouseEvent) go into `before`, in that order.
void LeaveMouseWindow(Wnd* now, bool inClient, DWORD time, POINT at, std::vector<MSG>& before) {
  auto& s = S();
  const auto leave = [&](Wnd* w, UINT message) {
    MSG m;
    m.hwnd = w->handle;
    m.message = message;
    m.time = time;
    m.pt = at;
    before.push_back(m);
  };
  if (Wnd* old = W(s.mouseWindow);
      old && old->trackNcLeave && (old != now || (inClient && !s.mouseInClient))) {
    old->trackNcLeave = false;
    leave(old, WM_NCMOUSELEAVE);
  }
  if (Wnd* old = W(s.mouseWindow); old && old != now && old->trackLeave) {
    old->trackLeave = false;
    leave(old, WM_MOUSELEAVE);
  }
}

UINT NonClient(UINT message) {
  return message - WM_MOUSEMOVE + WM_NCMOUSEMOVE;
}

}  // namespace

std::optional<MSG> talvik::gui::detail::AddressQueuedMouse(const MSG& raw, std::vector<MSG>& before) {
  assert(raw.message == kQueuedMouse);
  auto& s = S();
  const UINT message = static_cast<UINT>(raw.lParam);
  const POINT screen = raw.pt;
  Wnd* target = W(s.capture);
  if (message == WM_MOUSELEAVE) target = nullptr;
  int hit = HTCLIENT;
  if (!target) {
    if (message != WM_MOUSELEAVE) target = W(WindowFromPoint(screen));
    if (!target) {
      LeaveMouseWindow(nullptr, false, raw.time, screen, before);
      s.mouseWindow = nullptr;
      return std::nullopt;
    }
    // the top-level window of the target must take input; a press on one that waits for a dialog
    // brings that dialog to the front
    if (Root(target)->style & WS_DISABLED) {
      if (IsButtonDown(message)) {
        MessageBeep(0);
        ShowBlockingPopup(Root(target)->handle);
      }
      return std::nullopt;
    }
    hit = static_cast<int>(Send(target, WM_NCHITTEST, 0, MAKELPARAM(screen.X, screen.Y)));
    if (!W(target->handle)) return std::nullopt;
    // transparent windows pass the point to their parent
    while (hit == HTTRANSPARENT && target->parent) {
      target = target->parent;
      hit = static_cast<int>(Send(target, WM_NCHITTEST, 0, MAKELPARAM(screen.X, screen.Y)));
    }
  }
  // leaving a tracked window, or the tracked non-client area of one
  const bool inClient = hit == HTCLIENT;
  LeaveMouseWindow(target, inClient, raw.time, screen, before);
  if (s.mouseWindow != target->handle) {
    s.mouseWindow = target->handle;
    if (Root(target)->host) Root(target)->host->CursorChanged(s.cursor);
  }
  s.mouseInClient = inClient;
  // activation by a click
  if (IsButtonDown(message) && !s.capture) {
    Wnd* root = Root(target);
    if (s.active != root->handle) {
      LRESULT ma =
          Send(target, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(root->handle), MAKELPARAM(hit, message));
      if (!W(target->handle)) return std::nullopt;
      bool activate =
          (ma == MA_ACTIVATE || ma == MA_ACTIVATEANDEAT || ma == 0) && !(root->exStyle & WS_EX_NOACTIVATE);
      if (activate) ActivateInternal(root->handle, WA_CLICKACTIVE);
      if (ma == MA_ACTIVATEANDEAT || ma == MA_NOACTIVATEANDEAT) return std::nullopt;
      if (!W(target->handle)) return std::nullopt;
    } else {
      // inside the active window, an MDI child still learns that a click activates it
      for (Wnd* a = target; a && a->parent; a = a->parent)
        if (a->exStyle & WS_EX_MDICHILD) {
          Send(target, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(root->handle), MAKELPARAM(hit, message));
          if (!W(target->handle)) return std::nullopt;
          break;
        }
    }
  }
  if (!s.capture && hit != HTERROR) {
    Send(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target->handle), MAKELPARAM(hit, message));
    if (!W(target->handle)) return std::nullopt;
  }
  // double clicks: measured against the press read last
  UINT msg = message;
  if (IsButtonDown(message)) {
    const int cx = GetSystemMetrics(SM_CXDOUBLECLK) / 2, cy = GetSystemMetrics(SM_CYDOUBLECLK) / 2;
    const bool dbl = !s.lastWasDouble && s.lastDownMessage == message && s.lastDownWindow == target->handle &&
                     raw.time - s.lastDownTime <= s.doubleClickTime &&
                     std::abs(screen.X - s.lastDownPos.X) <= cx && std::abs(screen.Y - s.lastDownPos.Y) <= cy;
    const bool wantsDouble = hit != HTCLIENT || (target->cls.style & CS_DBLCLKS);
    if (dbl && wantsDouble) msg = message + 2;  // xBUTTONDBLCLK
  }
  MSG to = raw;
  to.hwnd = target->handle;
  if (hit == HTCLIENT || s.capture) {
    POINT p = screen;
    ScreenToClient(target->handle, p);
    to.message = msg;
    to.lParam = MAKELPARAM(p.X, p.Y);
    return to;
  }
  if (hit == HTNOWHERE || hit == HTERROR) return std::nullopt;
  to.message = NonClient(msg);
  to.wParam = static_cast<WPARAM>(hit);
  to.lParam = MAKELPARAM(screen.X, screen.Y);
  return to;
}

void talvik::gui::detail::TakeQueuedMouse(const MSG& raw, const MSG& taken) {
  const UINT message = static_cast<UINT>(raw.lParam);
  if (!IsButtonDown(message)) return;
  auto& s = S();
  s.lastWasDouble = taken.message == message + 2 || taken.message == NonClient(message + 2);
  s.lastDownMessage = message;
  s.lastDownWindow = taken.hwnd;
  s.lastDownTime = raw.time;
  s.lastDownPos = raw.pt;
}

namespace talvik::gui {

void InjectDisplayMouse(HWND topLevel, UINT message, POINT screen, ShiftKeys shift, int wheelDelta) {
  auto& s = S();
  // A held button grabs the pointer for the window it was pressed in, and our capture grabs it for
  // the capturing window: the display delivers to those wherever the pointer is.
  const bool held = (MouseKeys() & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) != 0;
  if ((message == WM_MOUSEMOVE || IsButtonDown(message)) && !held && !s.capture)
    if (Wnd* shown = W(topLevel); shown && !shown->parent) FollowDisplayStacking(shown, screen);
  InjectMouse(message, screen, shift, wheelDelta);
}

}  // namespace talvik::gui

// ---------------------------------------------------------------- input method

HIMC ImmGetContext(HWND hwnd) {
  return W(hwnd) ? reinterpret_cast<HIMC>(hwnd) : nullptr;
}

bool ImmReleaseContext(HWND hwnd, HIMC imc) {
  return W(hwnd) && reinterpret_cast<HWND>(imc) == hwnd;
}

long ImmGetCompositionString(HIMC imc, DWORD index, void* buf, DWORD bufLen) {
  if (!W(reinterpret_cast<HWND>(imc)) || index != GCS_RESULTSTR) return -1;
  const std::string& r = S().imeResult;
  if (buf) std::memcpy(buf, r.data(), std::min<std::size_t>(r.size(), bufLen));
  return static_cast<long>(r.size());
}

bool ImmGetOpenStatus(HIMC imc) {
  Wnd* w = W(reinterpret_cast<HWND>(imc));
  return w && w->imeOpen;
}

bool ImmSetOpenStatus(HIMC imc, bool open) {
  Wnd* w = W(reinterpret_cast<HWND>(imc));
  if (!w) return false;
  if (w->imeOpen != open) {
    w->imeOpen = open;
    SendMessage(w->handle, WM_IME_NOTIFY, IMN_SETOPENSTATUS, 0);
  }
  return true;
}

bool ImmSetCompositionFont(HIMC imc, const LOGFONT* font) {
  Wnd* w = W(reinterpret_cast<HWND>(imc));
  if (!w || !font) return false;
  w->imeFont = std::make_unique<LOGFONT>(*font);
  return true;
}

bool ImmGetCompositionFont(HIMC imc, LOGFONT* font) {
  Wnd* w = W(reinterpret_cast<HWND>(imc));
  if (!w || !w->imeFont || !font) return false;
  *font = *w->imeFont;
  return true;
}
