// Internal seams between the window manager, the painting code and the Qt backend of platform/gui.
// Free of Qt types; not for use outside platform/gui.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/gui/Windows.h"

class TControl;
class QImage;  // only the Qt backend, itself a .cpp file, looks inside

namespace talvik::gui::detail {

// ---- provided by the painting code (Graphics.cpp) ----
class Surface;  // the image of one top-level window
Surface* NewSurface(int width, int height);
void FreeSurface(Surface* surface);
void ResizeSurface(Surface* surface, int width, int height);
bool SaveSurfacePng(Surface* surface, const std::string& path);
bool SaveSurfacePngWithCaret(Surface* surface, const std::string& path, const RECT& caret);
// The window's image as colours row by row from the top left, the caret drawn in when one is given.
void SurfacePixels(Surface* surface, const RECT* caret, std::vector<COLORREF>& pixels, int& width,
                   int& height);
// Writes an image as a PNG (or Format) whole or not at all: into a file of its own beside Path, then
// renamed over it, so that nobody who opens Path (a person, another process writing the same picture)
// finds half a picture there.
bool SaveImageWhole(const QImage& image, const std::string& path, const char* format = "PNG");
const QImage& SurfaceImage(Surface* surface);
// One window image of a composed screen: at its screen rectangle, limited to its shape (window
// coordinates) when it has one.
struct ComposedLayer {
  Surface* surface = nullptr;
  RECT rect;
  std::vector<RECT> shape;
  bool shaped = false;
};
// Composes window images (bottom first) into one PNG of `area`.
bool SaveComposedPng(const std::vector<ComposedLayer>& layers, const RECT& area, const std::string& path);
// Draws the caret of the thread into an image copy of the window (for screenshots).
void DrawCaretInto(QImage& image, const RECT& caret);
COLORREF SurfacePixel(Surface* surface, int x, int y);
// Moves a rectangle of the image by (dx, dy), clipped to `clip`.
void ScrollSurface(Surface* surface, const RECT& area, int dx, int dy);
// A device context drawing into `surface` with its origin at `origin` (surface coordinates) and
// clipped to `clip` (surface coordinates, a union of rectangles).
HDC NewWindowDC(HWND hwnd, Surface* surface, POINT origin, const std::vector<RECT>& clip);
void FreeWindowDC(HDC dc);
// The rectangles of a region (for window regions).
std::vector<RECT> RegionRects(HRGN region);
bool DeleteRegionObject(HRGN region);
// The default non-client painting: borders, edges and scroll bars.
void PaintDefaultFrame(HWND hwnd, HDC windowDC);
HBRUSH SystemBrush(int colorIndex);
// Bitmap files (BMP, PNG and whatever else the image library reads).
HBITMAP LoadBitmapFile(const std::string& path);
bool SaveBitmapFile(HBITMAP bitmap, const std::string& path);
bool FillRectWithBrush(HDC dc, const RECT& r, HBRUSH brush);

// ---- the display (Windows.cpp) ----
// Whether the display went away under the toolkit: from then on nothing reaches the toolkit.
bool DisplayLost();

// ---- accessibility (OleAcc.cpp) ----
// A window is being destroyed: the layer's plain objects of it go.
void AccWindowGone(HWND hwnd);

// ---- window classes of the layer's own controls ----
void RegisterEditClass();  // "EDIT"
// ---- what the toolkit backend asks of the class library (Forms.cpp) ----
// Called in a catch block: an exception that would escape into a toolkit event handler goes to the
// application's handler (or is dropped when there is no application).
void HandleToolkitException();

// ---- the toolkit's file dialog (QtBackend.cpp), the one seam between the class library's dialogs
// and the toolkit: plain data in, plain data out ----
struct FileDialogRequest {
  std::string title;
  std::string initialDir;
  std::string fileName;
  std::string defaultExt;
  std::string filter;  // "Text|*.txt;*.csv|All|*.*"
  int filterIndex = 1;
  bool save = false;
  bool multiSelect = false;
  bool mustExist = false;
  bool overwritePrompt = false;
};
struct FileDialogAnswer {
  bool chosen = false;
  std::vector<std::string> files;
  int filterIndex = 0;  // 1-based, 0 when none
};
// Shows the toolkit's file dialog and calls `pump` (our message loop) until it closes or `stop`.
FileDialogAnswer RunToolkitFileDialog(const FileDialogRequest& request, const std::function<void()>& pump,
                                      const std::function<bool()>& stop);

// The first visible line after a scroll-bar message (the SB_ code in the low word of wParam) to the
// window's bar (SB_HORZ, SB_VERT), kept within 0 .. count - page. A thumb position comes from the
// bar's 32-bit track position (ScrollThumbPosition).
int ScrollBarTarget(HWND hwnd, int bar, WPARAM wParam, int current, int page, int count);

// ---- control drag (ControlsDrag.cpp) ----
// Mouse and key input while a drag is pending or under way; true when the drag took the message.
bool DragInput(const MSG& msg);
// The window holding the mouse for a drag lost it: the drag ends without a drop.
void DragCaptureLost(HWND hwnd);
// A control that goes leaves the drag it takes part in: as its source the drag ends, as its target
// the drag forgets it.
void DragControlDestroyed(TControl* Control);

// ---- provided by the window manager (Windows.cpp) ----
Surface* SurfaceOf(HWND topLevel);
// The caret of the thread when it is visible in `topLevel`, in the top-level's window coordinates.
bool VisibleCaret(HWND topLevel, RECT& caret);
// Scroll-bar layout of a window, in window coordinates.
struct ScrollBarLayout {
  bool visible = false;
  bool disabled = false;    // the whole bar cannot scroll
  UINT arrowsDisabled = 0;  // ESB_ flags
  RECT bar;                 // the whole bar
  RECT arrow1, arrow2;      // up/left and down/right
  RECT thumb;               // empty when there is no room for it
  int pressedPart = 0;      // 0 none, 1 arrow1, 2 arrow2, 3 thumb, 4 page1, 5 page2
};
ScrollBarLayout GetScrollBarLayout(HWND hwnd, int bar);
// The window's client rectangle within its window rectangle.
RECT ClientRectInWindow(HWND hwnd);
bool IsNativeFramed(HWND hwnd);                         // a top-level window whose frame the desktop draws
void HostClosed(HWND topLevel);                         // the desktop asked to close the window
void HostFrameChanged(HWND topLevel, const RECT& r);    // the desktop's frame round the window changed
void HostMoved(HWND topLevel, const RECT& screenRect);  // the desktop moved or resized it
void HostActivated(HWND topLevel, bool active);

// The desktop maximised a top-level window, or restored it from maximised (WindowsLayout.cpp): the
// window takes the state, keeping its bounds as they were as the normal ones; the desktop decides
// the maximised bounds, the window's own normal bounds come back on restoring.
void DesktopMaximized(HWND topLevel, bool maximized);
// The desktop's state of a top-level window may have changed (its window manager said something of
// it): the layer reads what the desktop holds now (Host::DesktopState) and takes in what the desktop
// changed of its own, as the user's minimise, restore, maximise; what the layer itself told the
// desktop and the desktop does not show yet is waited for. Answers how long to wait (ms) before
// asking again while the desktop is still on its way (0: nothing to wait for).
// kAtOnce takes a state of the desktop's own in at once, though it has not held for kDesktopSteadyMs
// (the window is closing in the state the desktop shows).
enum class DesktopRead { kSteady, kAtOnce };
std::uint64_t DesktopStateChanged(HWND topLevel, DesktopRead read = DesktopRead::kSteady);
// The desktop may have changed the window's state (DesktopStateChanged, from inside a toolkit event).
std::uint64_t HostDesktopChanged(HWND topLevel, DesktopRead read = DesktopRead::kSteady);
// The desktop moves or sizes a top-level window of its own (before HostMoved or HostFrameChanged takes
// the bounds in): a desktop may put a window at its maximised bounds, framing it anew, before it says
// it maximised it, and the bounds from before those moves are then the normal ones.
void DesktopMoving(HWND topLevel);
// How close together the moves of one change of the desktop's and the word of its new state come, as
// the program hears them: on a loaded machine a few hundred milliseconds apart. (A user's drag just
// before a maximise is taken for part of it: the restore then goes back to before the drag.)
inline constexpr std::uint64_t kDesktopChangeMs = 600;
// How long the desktop is given to show a state it was told before what it shows counts as its own.
inline constexpr std::uint64_t kDesktopAnswerMs = 5000;
// How long a state of the desktop's own holds before the layer takes it in.
inline constexpr std::uint64_t kDesktopSteadyMs = 250;
// The desktop activated a top-level window of ours (WindowsInput.cpp): the layer makes it the active
// window, and whatever that activation sets off (a floating window shown with its form, handing the
// activation back to it) is the layer's alone: the desktop is asked to activate no window meanwhile.
// A request sent then would reach the desktop after what the user does next there (a minimise from
// its window menu) and undo it.
void DesktopActivated(HWND topLevel);
// A top-level window disabled for a dialog was pressed or activated: the dialog it waits for comes to
// the front and becomes active (WindowsInput.cpp).
void ShowBlockingPopup(HWND blocked);

}  // namespace talvik::gui::detail
