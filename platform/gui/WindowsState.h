// The window manager's own state, shared by Windows.cpp and its companion files.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/gui/Graphics.h"
#include "platform/gui/GuiPrivate.h"
#include "platform/gui/WinManager.h"
#include "platform/gui/Windows.h"

namespace talvik::gui::detail {

struct ScrollBarState {
  int min = 0;
  int max = 100;
  UINT page = 0;
  int pos = 0;
  int trackPos = 0;
  UINT arrowsDisabled = 0;
  int pressedPart = 0;
};

struct Wnd {
  HWND handle = nullptr;
  std::string className;
  WNDCLASS cls;
  WNDPROC proc = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  std::intptr_t id = 0;
  std::intptr_t userData = 0;
  Wnd* parent = nullptr;       // child windows
  Wnd* owner = nullptr;        // top-level windows
  std::vector<Wnd*> children;  // front is the top of the z-order
  RECT rect;                   // in the parent's client coordinates, or on the screen for top-level windows
  RECT client;                 // the client area in window coordinates
  std::string text;
  std::map<std::string, void*> props;
  bool destroying = false;
  bool created = false;
  // painting
  // The update area (client coordinates): the union of `updateParts`, `update` their bounding box
  // (empty together). Separate rectangles spare what lies between them, e.g. unchanged labels between
  // changed ones.
  RECT update;
  std::vector<RECT> updateParts;
  std::vector<RECT> paintedParts;  // the parts the running BeginPaint took, for its EndPaint
  bool erase = false;
  bool frameDirty = false;
  RECT frameArea;  // while frameDirty: the part of the frame to draw again (window coordinates), empty: all
  bool internalPaint = false;
  bool redraw = true;  // WM_SETREDRAW
  HRGN windowRgn = nullptr;
  WORD uiState = 0;  // top-level windows: UISF_ flags (keyboard cues hidden...)
  // scroll bars
  ScrollBarState bars[2];
  // state
  bool minimized = false;
  bool maximized = false;
  // When the layer last told the desktop the window's state (shown, minimised, maximised) and the
  // desktop has not shown it so yet (Ticks; 0: the desktop shows what the layer holds, or was told
  // nothing). Meanwhile what the desktop holds is the way there, not a change of its own.
  std::uint64_t desktopAsked = 0;
  // Since when the desktop shows a state of its own (Ticks; 0: none), and the window's bounds then.
  std::uint64_t desktopDiffers = 0;
  RECT desktopDiffersRect;
  // When the desktop last moved or sized the window of its own while the layer held it in the normal
  // state (Ticks; 0: never), and the bounds before the moves that came together with that one.
  std::uint64_t desktopMoved = 0;
  RECT desktopMovedFrom;
  RECT restoreRect;
  bool trackLeave = false;    // WM_MOUSELEAVE when the mouse leaves the window
  bool trackNcLeave = false;  // WM_NCMOUSELEAVE when it leaves the non-client area
  // input method
  bool imeOpen = false;
  std::unique_ptr<LOGFONT> imeFont;
  // top-level windows
  std::unique_ptr<Host> host;
  Surface* surface = nullptr;
};

struct TimerRec {
  HWND hwnd = nullptr;
  std::uintptr_t id = 0;
  UINT elapse = 0;
  TIMERPROC proc = nullptr;
  std::uint64_t due = 0;
};

struct HookRec {
  HHOOK handle = nullptr;
  int type = 0;
  HOOKPROC proc = nullptr;
};

struct CursorRec {
  int id = 0;
  int width = 32;
  int height = 32;
  int hotX = 0;
  int hotY = 0;
  std::vector<BYTE> andMask;
  std::vector<BYTE> xorMask;
  // An icon's picture (owned), whose pixels of `clear` are clear; nullptr for a plain cursor.
  HBITMAP image = nullptr;
  COLORREF clear = 0;
};

struct CaretState {
  HWND owner = nullptr;
  int width = 1;
  int height = 1;
  POINT pos;
  int hideCount = 1;
  bool blinkOn = true;
  std::uint64_t lastToggle = 0;
};

struct State {
  std::thread::id guiThread = std::this_thread::get_id();
  std::unordered_map<std::uintptr_t, Wnd*> windows;  // removed from only through RemoveWindow
  std::uintptr_t nextHandle = 0x10000;
  // The window W found last, asked for again and again while one input or message is handled. A
  // handle is never given twice, so the entry holds until its window leaves `windows`.
  std::uintptr_t lastFoundHandle = 0;
  Wnd* lastFoundWindow = nullptr;
  std::vector<Wnd*> topLevels;              // front is the top of the z-order
  std::map<std::string, WNDCLASS> classes;  // by lower-case name

  std::mutex queueMutex;
  std::condition_variable queueSignal;
  std::deque<MSG> queue;
  bool quitPosted = false;
  int quitCode = 0;

  std::vector<TimerRec> timers;
  std::uintptr_t nextTimerId = 0x7F000000;
  std::vector<HookRec> hooks;  // front is the newest
  std::uintptr_t nextHook = 1;

  // The window whose state the layer takes from the desktop now (DesktopStateChanged): the desktop,
  // which shows it already, is asked nothing.
  HWND takingDesktopState = nullptr;
  HWND focus = nullptr;
  HWND active = nullptr;
  HWND capture = nullptr;
  // The queued mouse input being addressed now (by input number, outermost first): a read that runs
  // meanwhile, from a handler of the messages addressing sends, passes it by.
  std::vector<std::uint64_t> addressingInput;
  CaretState caret;
  HCURSOR cursor = nullptr;
  // Written by input on the GUI thread, read by PostMessage on any thread (the position a message
  // carries): one atomic value, so a reader never sees the x of one position with the y of another.
  std::atomic<POINT> cursorPos{POINT{}};
  static_assert(std::atomic<POINT>::is_always_lock_free);

  // The keyboard and mouse buttons as GetKeyState answers them: as of the last input message taken
  // from the queue. asyncKeyState is the state of the devices now (GetAsyncKeyState); each input
  // message posted keeps a copy of it, taken over when the message is taken.
  BYTE keyState[256] = {};
  BYTE asyncKeyState[256] = {};
  std::uint64_t lastInput = 0;
  std::deque<std::pair<std::uint64_t, std::array<BYTE, 256>>> inputKeys;  // oldest first
  // The latest input that went with its window while earlier input still waited: it counts as read
  // once that has been (0: none).
  std::uint64_t droppedInput = 0;
  // Input-method results posted as WM_IME_COMPOSITION (by input number), and the one of the
  // composition message taken last.
  std::deque<std::pair<std::uint64_t, std::string>> imeResults;
  std::string imeResult;
  bool altAlone = false;
  // F10 went down alone and reached the default handling: its release asks for the menu.
  bool f10Alone = false;
  // double-click recognition
  UINT lastDownMessage = 0;
  HWND lastDownWindow = nullptr;
  DWORD lastDownTime = 0;
  POINT lastDownPos;
  bool lastWasDouble = false;
  HWND mouseWindow = nullptr;
  bool mouseInClient = false;  // over the client area of mouseWindow

  DWORD lastMessageTime = 0;
  POINT lastMessagePos;
  int sendDepth = 0;

  std::function<std::uint64_t()> clock;
  std::vector<MONITORINFO> screens;
  Backend* backend = nullptr;
  bool backendGone = false;  // its display went away (AbandonBackend): nothing may reach it again

  COLORREF sysColors[COLOR_ENDCOLORS] = {};
  UINT doubleClickTime = 500;
  UINT caretBlinkTime = 530;
  // System parameters that tests may change through SystemParametersInfo(SPI_SET...).
  int menuShowDelay = 400;
  bool flatMenus = false;
  bool keyboardCues = true;
  bool menuAnimation = true;
  bool menuFade = false;
  bool lastInputWasKey = false;  // the last input of the user came from the keyboard
  bool menuFontSet = false;
  LOGFONT menuFont;
  std::function<void(const std::string&, DWORD)> soundSink;
};

// The window layer's state. It and every table of the layer that a window's life reaches (its
// accessible objects, its toolkit widget, the tray's icons, registered messages, stock objects) are
// made on first use and never destroyed: a window may be destroyed during the program's static
// destruction, by whatever static of the program holds it, in any order with the layer's own
// statics (the toolkit ends the program with exit when its display goes away, while the program's
// windows still stand), and it then finds the layer whole.
State& S();
Wnd* W(HWND h);             // nullptr when the handle is not a live window
void RemoveWindow(Wnd* w);  // takes the window out of the handle table; W no longer finds it
inline HWND H(const Wnd* w) {
  return w ? w->handle : nullptr;
}
Wnd* Root(Wnd* w);           // the top-level window of w
bool Visible(const Wnd* w);  // WS_VISIBLE on w and every ancestor
bool IsTopLevel(const Wnd* w);
POINT ClientOriginOnScreen(const Wnd* w);
POINT WindowOriginOnScreen(const Wnd* w);
// The window rectangle of w in its top-level's window coordinates.
RECT RectInRoot(const Wnd* w);
// The rectangle a window takes for a place and size asked for: each held within ±kMaxCoordinate
// (the largest window the toolkit makes), so that a window's place summed with its parents' stays
// within int; a negative size is none.
inline constexpr int kMaxCoordinate = (1 << 24) - 1;
RECT WindowBounds(int x, int y, int cx, int cy);
LRESULT Send(Wnd* w, UINT msg, WPARAM wParam, LPARAM lParam);
void PostInput(const MSG& m);
void RecalcClient(Wnd* w, WINDOWPOS* pos);
void InvalidateFrame(Wnd* w);
// Only `part` of the frame (window coordinates) is to be drawn again, beside what already is.
void InvalidateFramePart(Wnd* w, const RECT& part);
// The focus went from one window to another: the captions of child windows (MDI children) drawn
// active while they hold the focus are drawn again where that changed.
void FocusMovedBetween(HWND from, HWND to);
void NotifyHostDirty(Wnd* w, RECT rectInWindow);
LRESULT CallHooks(int type, int code, WPARAM wParam, LPARAM lParam);
DWORD MessageTimeNow();
void ReleaseCaptureOf(Wnd* w);
// Mouse input from the display waits in the queue as it came, unaddressed: message
// kQueuedMouse, no window, wParam the MK_ keys of the moment, lParam the input's message (WM_MOUSEMOVE,
// WM_xBUTTONDOWN, WM_xBUTTONUP, or WM_MOUSELEAVE: the pointer left our windows), pt its screen point.
// A read that reaches it addresses it as the input goes then: to the window holding the capture, else
// to the window under the point by its hit test, after activation by a click and the cursor; a press
// is a double click by the presses read before it.
constexpr UINT kQueuedMouse = 0x03FF;
// What queued mouse input `raw` is as it goes now; nothing when it goes to no window (or a click that
// activates its window is eaten). The leave messages of windows the mouse left go into `before`, to
// be read ahead of it.
std::optional<MSG> AddressQueuedMouse(const MSG& raw, std::vector<MSG>& before);
// Queued mouse input `raw` was read as `taken`: a press counts for the double clicks of later ones.
void TakeQueuedMouse(const MSG& raw, const MSG& taken);
void ForgetWindowInput(Wnd* w);
// The keyboard state of input event `input` becomes the one GetKeyState answers.
void TakeInputState(std::uint64_t input);
LRESULT DefScrollBarNcButton(Wnd* w, int hit, POINT screen);
void InitSysColors(State& s);
void SetCursorInternal(HCURSOR c);
void RemoveFromZ(Wnd* w);
void InsertZ(Wnd* w, Wnd* after, bool top);
// The backend's display went away: nothing may reach the backend again (whatever would, even freeing
// a window's widget, ends the program once more, from inside its end). The windows let go of their
// hosts, which are kept untouched to the end of the process, and the layer runs on without a backend:
// the windows keep their state in memory until the program ends.
void AbandonBackend();

}  // namespace talvik::gui::detail
