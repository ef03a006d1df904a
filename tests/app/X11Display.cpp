// A unit of its own: Xlib's names (None, Status, Window, ...) stay out of the harness that includes
// the program's headers.
#include "X11Display.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <optional>

#include "platform/rtl/ScopeExit.h"

namespace e2e {

namespace {

// A window that has gone by the time a request names it is no error of the test's.
int IgnoreError(Display*, XErrorEvent*) {
  return 0;
}

}  // namespace

unsigned long ScreenSelectionOwner(const std::string& Prefix) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return 0;
  const std::string name = Prefix + std::to_string(DefaultScreen(display));
  const ::Window owner = XGetSelectionOwner(display, XInternAtom(display, name.c_str(), False));
  XCloseDisplay(display);
  return owner;
}

// The mark: a square of a colour the program never paints, clear of the window's edges.
constexpr int kMarkSide = 6, kMarkInset = 2;
constexpr unsigned long kMarkColour = 0xFF00FE;

struct Repaints::Connection {
  Display* display = XOpenDisplay(nullptr);
  ::Window marked = 0;  // the window marked (0: none)
  int x = 0, y = 0;     // where in it

  // Whether the mark shows whole (nothing when the spot cannot be read: outside the window now).
  std::optional<bool> MarkShows() const {
    XWindowAttributes a;
    if (!XGetWindowAttributes(display, marked, &a) || a.map_state != IsViewable) return std::nullopt;
    XImage* image = XGetImage(display, marked, x, y, kMarkSide, kMarkSide, AllPlanes, ZPixmap);
    if (!image) return std::nullopt;
    TScopeExit free([image] { XDestroyImage(image); });
    for (int row = 0; row < kMarkSide; ++row)
      for (int column = 0; column < kMarkSide; ++column)
        if ((XGetPixel(image, column, row) & 0xFFFFFF) != kMarkColour) return false;
    return true;
  }
  // Whether a window above the marked one's top-level window covers the spot.
  bool Covered() const {
    const ::Window root = DefaultRootWindow(display);
    int rootX = 0, rootY = 0;
    ::Window child = 0;
    if (!XTranslateCoordinates(display, marked, root, x, y, &rootX, &rootY, &child)) return false;
    // the marked window's top-level window (the window manager's frame round it)
    ::Window top = marked;
    for (;;) {
      ::Window rootOfTree = 0, parent = 0, *children = nullptr;
      unsigned count = 0;
      if (!XQueryTree(display, top, &rootOfTree, &parent, &children, &count)) return false;
      if (children) XFree(children);
      if (parent == root || parent == 0) break;
      top = parent;
    }
    ::Window rootOfTree = 0, parent = 0, *stack = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, root, &rootOfTree, &parent, &stack, &count)) return false;
    TScopeExit free([stack] {
      if (stack) XFree(stack);
    });
    bool above = false;  // (the stack runs from the bottom up)
    for (unsigned i = 0; i < count; ++i) {
      if (stack[i] == top) {
        above = true;
        continue;
      }
      XWindowAttributes a;
      if (!above || !XGetWindowAttributes(display, stack[i], &a) || a.map_state != IsViewable) continue;
      const int right = a.x + a.width + 2 * a.border_width, bottom = a.y + a.height + 2 * a.border_width;
      if (a.x < rootX + kMarkSide && rootX < right && a.y < rootY + kMarkSide && rootY < bottom) return true;
    }
    return false;
  }
};

Repaints::Repaints() : connection_(std::make_unique<Connection>()) {}

Repaints::~Repaints() {
  if (connection_->display) XCloseDisplay(connection_->display);
}

bool Repaints::Ask(unsigned long TopLevel) {
  Display* display = connection_->display;
  if (!display) return false;
  // a window that has gone meanwhile is no error of the test's
  const auto handler = XSetErrorHandler(IgnoreError);
  TScopeExit restore([display, handler] {
    XSync(display, False);
    XSetErrorHandler(handler);
  });
  connection_->marked = 0;
  XWindowAttributes a;
  if (!XGetWindowAttributes(display, TopLevel, &a) || a.map_state != IsViewable) return false;
  XGCValues values{};
  values.foreground = kMarkColour;
  GC gc = XCreateGC(display, TopLevel, GCForeground, &values);
  if (!gc) return false;
  TScopeExit freeGc([display, gc] { XFreeGC(display, gc); });
  // the corners and the middle in turn, until one is not covered by another window
  const int right = a.width - kMarkSide - kMarkInset, bottom = a.height - kMarkSide - kMarkInset;
  const int spots[][2] = {{kMarkInset, kMarkInset},
                          {right, bottom},
                          {a.width / 2, a.height / 2},
                          {right, kMarkInset},
                          {kMarkInset, bottom}};
  for (const auto& spot : spots) {
    if (spot[0] < 0 || spot[1] < 0) continue;
    connection_->marked = TopLevel;
    connection_->x = spot[0];
    connection_->y = spot[1];
    XFillRectangle(display, TopLevel, gc, spot[0], spot[1], kMarkSide, kMarkSide);
    XSync(display, False);
    if (connection_->MarkShows() == true) {
      // the program's window has no background: the server exposes the spot without clearing it
      XClearArea(display, TopLevel, spot[0], spot[1], kMarkSide, kMarkSide, True);
      return true;
    }
  }
  connection_->marked = 0;
  return false;
}

Repaints::Spot Repaints::Look() {
  Display* display = connection_->display;
  if (!display || !connection_->marked) return Spot::kGone;
  const auto handler = XSetErrorHandler(IgnoreError);
  TScopeExit restore([display, handler] {
    XSync(display, False);
    XSetErrorHandler(handler);
  });
  XWindowAttributes a;
  if (!XGetWindowAttributes(display, connection_->marked, &a) || a.map_state != IsViewable)
    return Spot::kGone;
  const std::optional<bool> shows = connection_->MarkShows();
  if (!shows || connection_->Covered()) return Spot::kCovered;
  return *shows ? Spot::kMarked : Spot::kRepainted;
}

}  // namespace e2e
