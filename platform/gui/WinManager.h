// The window manager's side doors: the clock, the screens, input injection and the native backend.
// The Qt backend feeds input through these functions; tests use them to drive windows exactly the
// way real input does, and to make time and screens deterministic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/gui/Windows.h"
#include "platform/rtl/SysUtils.h"

namespace talvik::gui {

// ---- time ----
// Milliseconds since an arbitrary start. nullptr restores the steady system clock.
void SetClock(std::function<std::uint64_t()> clock);
std::uint64_t Ticks();

// ---- screens ----
// Replaces the monitors the layer reports (tests). An empty list returns to the backend's screens.
void SetScreens(const std::vector<MONITORINFO>& monitors);
std::vector<MONITORINFO> Screens();

// ---- input ----
struct ShiftKeys {
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
};
// A physical key went down or up. `ch` is the character the key types (0 for none); it becomes the
// WM_CHAR (or WM_SYSCHAR with Alt) that TranslateMessage posts for the key.
void InjectKey(WORD vk, bool down, char32_t ch, ShiftKeys shift, bool autoRepeat = false, int scanCode = 0);
// Committed input-method text: one WM_CHAR per character for the focused window.
void InjectText(const std::string& utf8);
// Mouse input at a screen position. `message` is WM_MOUSEMOVE, WM_xBUTTONDOWN/UP or WM_MOUSEWHEEL
// (with `wheelDelta`). It waits in the queue and goes to its window when a read reaches it (the wheel
// goes to the focused window at once); double clicks are recognised then.
void InjectMouse(UINT message, POINT screen, ShiftKeys shift = {}, int wheelDelta = 0);
// Mouse input the display delivered to one of our top-level windows. A window manager stacks the
// windows as it decides: the window the display delivered a move or a press to, with no button held,
// is the one on top at that point, and our order of the top-level windows follows it before the input
// goes on as InjectMouse's.
void InjectDisplayMouse(HWND topLevel, UINT message, POINT screen, ShiftKeys shift = {}, int wheelDelta = 0);
// The pointer left every window of ours.
void InjectMouseLeave();
// Files dropped from outside at a screen position: the window under it, or its nearest ancestor,
// that accepts dropped files gets WM_DROPFILES (posted). False when none accepts them.
bool InjectFileDrop(POINT screen, const std::vector<std::string>& files);
// Whether a file drop at the screen position would be taken.
bool AcceptsFilesAt(POINT screen);

// Runs a posted-message loop until `done` answers true or WM_QUIT arrives (re-posted then);
// answers false when WM_QUIT ended it.
bool RunMessagesUntil(const std::function<bool()>& done);
// Dispatches everything pending (posted messages, paints, due timers) and returns.
void ProcessPending();

// The virtual key and the character of a key event of the native toolkit. `qtKey` and `qtModifiers`
// are the toolkit's key code and modifier bits, `text` what the key types, `scanCode` the native key
// code (X keycode), used when `useScanCode` so that layouts other than Latin (Russian) give the same
// virtual keys as the Latin one.
struct KeyTranslation {
  WORD vk = 0;
  char32_t ch = 0;
};
KeyTranslation TranslateQtKey(int qtKey, unsigned qtModifiers, const std::string& text, unsigned scanCode,
                              bool useScanCode);

// ---- message boxes ----
// Answers every MessageBox and message dialog (tests give the answers); nullptr restores our own dialog.
using MessageBoxHandler =
    std::function<int(HWND owner, const std::string& text, const std::string& caption, UINT type)>;
void SetMessageBoxHandler(MessageBoxHandler handler);

// Hands a toolkit mouse click or key event to the toolkit window of a top-level window, as the
// desktop would (the Qt backend must be installed). `client` is in the window's coordinates;
// `button` 1 is the left, 2 the right button. For keys, `qtKey`, `qtModifiers` and `text` are as in
// TranslateQtKey.
bool ToolkitMouseClick(HWND topLevel, POINT client, int button);
bool ToolkitKey(HWND topLevel, int qtKey, unsigned qtModifiers, const std::string& text, bool press);

// ---- sounds ----
// Receives every PlaySound (alias and flags); nullptr makes sounds silent again.
using SoundSink = std::function<void(const std::string& alias, DWORD flags)>;
void SetSoundSink(SoundSink sink);

// ---- hooks ----
// How many hooks of a type (WH_xxx) the thread has installed.
int InstalledHookCount(int hookType);

// ---- text ----
// Whether fonts keep the texts they measure and draw shaped (on by default); off, every text is laid
// out anew each time, as tests compare.
void SetShapedTextCache(bool enabled);
// How many texts a font keeps now.
std::size_t ShapedTextCount(HFONT font);
// Whether menu windows keep the picture they open with for the next opening that would paint the
// same (on by default); either way the pictures kept so far are forgotten.
void SetMenuPictures(bool enabled);
// How many times a menu window has shown a kept picture since then.
std::size_t MenuPicturesShown();

// ---- paint ----
// Paints every pending update of a top-level window and its children now.
void UpdateAllWindows(HWND topLevel);
// Writes the current image of a top-level window to a PNG file (pending paints first). Every picture
// written below is written whole: a reader of the file never finds half of one.
bool RenderWindowToPng(HWND topLevel, const std::string& path);
// The same picture as colours, row by row from the top left (pixels[y * width + x]); false when
// there is no such window.
bool WindowPixels(HWND topLevel, std::vector<COLORREF>& pixels, int& width, int& height);
// Writes the visible top-level windows, composed in z-order over the desktop colour, to a PNG.
bool RenderScreenToPng(const std::string& path, const RECT& area);
// Writes what the display itself shows (under X: the real screen, toolkit windows included).
bool GrabDisplayToPng(const std::string& path);
// The same picture as colours, row by row from the top left (pixels[y * width + x]); false when
// there is no display to read.
bool GrabDisplayPixels(std::vector<COLORREF>& pixels, int& width, int& height);
// Writes colours row by row from the top left (as the calls above give them) to a PNG.
bool SavePixelsPng(const std::vector<COLORREF>& pixels, int width, int height, const std::string& path);
// What the toolkit's window of a top-level window holds, once the toolkit's pending paints ran (the
// picture the screen is given), as colours row by row; false when it has no toolkit window.
bool ToolkitWindowPixels(HWND topLevel, std::vector<COLORREF>& pixels, int& width, int& height);
// Where the caret shows in a top-level window now (window coordinates); false when it does not.
bool CaretShownIn(HWND topLevel, RECT& caret);
// The image of a top-level window as colours, row by row from the top left (pixels[y * width + x]),
// pending paints first and without the caret: the picture its paints have left, kept between them
// as a screen keeps it; false when there is no such window.
bool WindowPaintedPixels(HWND topLevel, std::vector<COLORREF>& pixels, int& width, int& height);
// The colour of one pixel of a top-level window's image, in window coordinates (pending paints first).
COLORREF WindowPixel(HWND topLevel, int x, int y);

// ---- accessibility ----
// What the desktop's accessibility service reads of an object through the toolkit.
struct AccessibleInfo {
  unsigned Id = 0;  // the toolkit's handle of the interface
  bool Valid = false;
  std::string Name, Accelerator;
  int Role = 0;        // the object's role number
  unsigned State = 0;  // STATE_SYSTEM_* bits, as read back from the toolkit's flags
  RECT Bounds;         // screen coordinates
  int ChildCount = 0;
  std::vector<std::string> Actions;
};
// Reads the interface the toolkit's accessibility has for a top-level window (as a screen reader
// would ask for it), or for the child reached from it by the child indexes (from 0) of Path; false
// when there is none.
bool QueryAccessible(HWND topLevel, const std::vector<int>& path, AccessibleInfo& info);
// Whether the toolkit still has a valid interface under the handle.
bool AccessibleValid(unsigned id);
// Receives every update the toolkit's accessibility is told of: the event number, the role of the
// object the event is about and its child (from 1; 0 for the object itself). nullptr removes the receiver.
using AccessibleUpdateSink = std::function<void(DWORD event, int role, int child)>;
void SetAccessibleUpdateSink(AccessibleUpdateSink sink);

// ---- the native backend ----
// An extended window style of ours: a popup that the desktop manages as a tool window of its owner
// (a floating toolbar: framed by us, transient for its owner, shown without activation, on top while
// WS_EX_TOPMOST is set). Other popups (menus, hints, drop-downs) stay unmanaged.
constexpr DWORD WS_EX_MANAGEDTOOL = 0x00000800;

// What the desktop (its window manager) holds of a top-level window at the moment it is asked.
struct DesktopWindowState {
  bool managed = false;    // taken in and settled: shown in its frame, or down to an icon
  bool iconic = false;     // down to an icon
  bool maximized = false;  // maximised (kept while down to an icon)
};

class Host {
 public:
  virtual ~Host() = default;
  virtual void GeometryChanged(const RECT& screenRect) = 0;
  virtual void VisibilityChanged(bool visible) = 0;
  virtual void Dirty(const RECT& windowRect) = 0;  // image area to show again
  virtual void CursorChanged(HCURSOR cursor) = 0;
  virtual void GrabChanged(bool grabbed) = 0;  // explicit pointer and keyboard grab
  virtual void Raise() = 0;
  virtual void Activate() = 0;
  virtual void TitleChanged(const std::string& title) = 0;
  // The window went down to an icon (or came back): the desktop shows it so.
  virtual void MinimizedChanged(bool /*minimized*/) {}
  // The window was maximised (or restored from it): the desktop shows it so.
  virtual void MaximizedChanged(bool /*maximized*/) {}
  // The desktop maximised the window (or restored it from maximised) of its own, and the window takes
  // the state: nothing to ask of the desktop.
  virtual void DesktopMaximizing(bool /*maximized*/) {}
  // The window's region changed: nullptr is no region (the whole rectangle shows), an empty list
  // shows nothing at all, else the rectangles (window coordinates) that show.
  virtual void ShapeChanged(const std::vector<RECT>* /*rects*/) {}
  // The smallest and largest size the desktop may give the window (0 in a field: no limit there).
  virtual void SizeLimitsChanged(SIZE /*least*/, SIZE /*most*/) {}
  // The borders of the desktop's frame round the window (left, top, right, bottom): the window's
  // non-client part, which the desktop draws. None while the desktop has not framed the window.
  virtual RECT FrameMargins() { return RECT{0, 0, 0, 0}; }
  // What the desktop holds of the window now, read from the display as this is asked; nothing where
  // no desktop manages windows (no display, no window manager's word on the window).
  virtual std::optional<DesktopWindowState> DesktopState() { return std::nullopt; }
};

class Backend {
 public:
  virtual ~Backend() = default;
  virtual std::unique_ptr<Host> CreateHost(HWND topLevel) = 0;
  // Handles native events, waiting at most `timeoutMs` for one when `wait` (timeoutMs < 0: no limit).
  virtual void Pump(bool wait, int timeoutMs) = 0;
  // Ends a Pump wait from any thread.
  virtual void Wake() = 0;
  virtual std::vector<MONITORINFO> Screens() = 0;
  virtual POINT CursorPos() = 0;
  virtual void Beep() = 0;
  // The borders of the frame the desktop puts round a captioned window (left, top, right, bottom), as
  // it framed the last one; none before it framed one, or where no desktop frames windows.
  virtual RECT DesktopFrame() { return RECT{0, 0, 0, 0}; }
};
// Installs the backend (the Qt one does so when first needed; nullptr runs without one). Once the
// display went away (AbandonBackend) none is installed any more.
void SetBackend(Backend* backend);
Backend* CurrentBackend();
// What UseQtBackend raises when the toolkit is to draw on an X display that cannot be opened (DISPLAY
// unset, empty, or naming no X server that answers), where the toolkit itself would abort the
// process; the message names the display.
TALVIK_DECLARE_EXCEPTION(EDisplayUnavailable, Exception);
// Creates the Qt backend (and the Qt application object when there is none) and installs it. Raises
// EDisplayUnavailable, before anything is created, when there is no display to draw on.
void UseQtBackend();
// The exit code of a program whose display went away (its X server ended, the connection to it
// broke): the toolkit ends the program there and then, through exit, and the Qt backend has it end
// with this code rather than the toolkit's plain 1. A program that finds no display at its start
// ends with it too.
inline constexpr int kExitDisplayLost = 3;

}  // namespace talvik::gui
