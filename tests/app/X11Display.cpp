// A unit of its own: Xlib's names (None, Status, Window, ...) stay out of the harness that includes
// the program's headers.
#include "X11Display.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <xcb/xcb.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "platform/rtl/ScopeExit.h"

namespace e2e {

namespace {

// A window that has gone by the time a request names it is no error of the test's.
int IgnoreError(Display*, XErrorEvent*) {
  return 0;
}

// While it lives, an X error (a window that has gone meanwhile) is no error of the test's; the
// requests made meanwhile are answered before the handler is put back.
class ErrorsIgnored {
 public:
  explicit ErrorsIgnored(Display* display) : display_(display), handler_(XSetErrorHandler(IgnoreError)) {}
  ~ErrorsIgnored() {
    XSync(display_, False);
    XSetErrorHandler(handler_);
  }
  ErrorsIgnored(const ErrorsIgnored&) = delete;
  ErrorsIgnored& operator=(const ErrorsIgnored&) = delete;

 private:
  Display* display_;
  XErrorHandler handler_;
};

}  // namespace

unsigned long ScreenSelectionOwner(const std::string& Prefix) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return 0;
  const std::string name = Prefix + std::to_string(DefaultScreen(display));
  const ::Window owner = XGetSelectionOwner(display, XInternAtom(display, name.c_str(), False));
  XCloseDisplay(display);
  return owner;
}

bool WindowManagerRuns() {
  if (ScreenSelectionOwner("WM_S") != 0) return true;
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  TScopeExit close([display] { XCloseDisplay(display); });
  ErrorsIgnored errors(display);
  const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
  // the window a window's _NET_SUPPORTING_WM_CHECK names (0: none, or the window is gone)
  const auto named = [&](::Window of) -> ::Window {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* value = nullptr;
    if (XGetWindowProperty(display, of, check, 0, 1, False, XA_WINDOW, &type, &format, &count, &after,
                           &value) != Success)
      return 0;
    TScopeExit free([value] {
      if (value) XFree(value);
    });
    return type == XA_WINDOW && format == 32 && count == 1 ? *reinterpret_cast<::Window*>(value) : 0;
  };
  const ::Window supporting = named(DefaultRootWindow(display));
  return supporting != 0 && named(supporting) == supporting;
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
  const ErrorsIgnored ignored(display);
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
  const ErrorsIgnored ignored(display);
  XWindowAttributes a;
  if (!XGetWindowAttributes(display, connection_->marked, &a) || a.map_state != IsViewable)
    return Spot::kGone;
  const std::optional<bool> shows = connection_->MarkShows();
  if (!shows || connection_->Covered()) return Spot::kCovered;
  return *shows ? Spot::kMarked : Spot::kRepainted;
}

// How deep under the root window the program's windows are looked for: the window manager's frame
// holds a managed window, and a notification area's panel an icon embedded in it.
constexpr int kTreeDepth = 8;

struct Uptake::Connection {
  Display* display = XOpenDisplay(nullptr);
  // a window of the connection's own whose property, changed, tells the server time
  ::Window clock = 0;
  Atom clockProperty = 0, pid = 0, userTime = 0, userTimeWindow = 0;
  unsigned long mark = 0;  // the server time marked last

  Connection() {
    if (!display) return;
    clock = XCreateWindow(display, DefaultRootWindow(display), -1, -1, 1, 1, 0, CopyFromParent, InputOnly,
                          CopyFromParent, 0, nullptr);
    XSelectInput(display, clock, PropertyChangeMask);
    clockProperty = XInternAtom(display, "TALVIK_E2E_CLOCK", False);
    pid = XInternAtom(display, "_NET_WM_PID", False);
    userTime = XInternAtom(display, "_NET_WM_USER_TIME", False);
    userTimeWindow = XInternAtom(display, "_NET_WM_USER_TIME_WINDOW", False);
  }

  // A 32-bit property of a window (nothing when the window has none, or is gone).
  std::optional<std::uint32_t> Property(::Window Window, Atom Name, Atom Type) const {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, Window, Name, 0, 1, False, Type, &type, &format, &count, &after, &data) !=
        Success)
      return std::nullopt;
    TScopeExit free([data] {
      if (data) XFree(data);
    });
    if (type != Type || format != 32 || count < 1) return std::nullopt;
    // (Xlib hands 32-bit items over as longs)
    return static_cast<std::uint32_t>(*reinterpret_cast<unsigned long*>(data));
  }
  // The windows of the process Pid under Parent, Depth levels down at most.
  void WindowsOf(::Window Parent, int Pid, int Depth, std::vector<::Window>& Found) const {
    ::Window rootOfTree = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (Depth <= 0 || !XQueryTree(display, Parent, &rootOfTree, &parent, &children, &count)) return;
    TScopeExit free([children] {
      if (children) XFree(children);
    });
    for (unsigned i = 0; i < count; ++i) {
      if (Property(children[i], pid, XA_CARDINAL) == static_cast<std::uint32_t>(Pid))
        Found.push_back(children[i]);
      else
        WindowsOf(children[i], Pid, Depth - 1, Found);
    }
  }
  std::vector<::Window> WindowsOf(int Pid) const {
    std::vector<::Window> found;
    WindowsOf(DefaultRootWindow(display), Pid, kTreeDepth, found);
    return found;
  }
};

namespace {

// Whether the server time Later comes after Earlier (the time runs round every 49 days).
bool After(std::uint32_t Later, std::uint32_t Earlier) {
  return static_cast<std::int32_t>(Later - Earlier) > 0;
}

}  // namespace

Uptake::Uptake() : connection_(std::make_unique<Connection>()) {}

Uptake::~Uptake() {
  if (connection_->display) XCloseDisplay(connection_->display);
}

void Uptake::Mark() {
  Display* display = connection_->display;
  if (!display) return;
  const unsigned char none = 0;
  XChangeProperty(display, connection_->clock, connection_->clockProperty, XA_INTEGER, 32, PropModeAppend,
                  &none, 0);
  XEvent event;
  XWindowEvent(display, connection_->clock, PropertyChangeMask, &event);
  connection_->mark = event.xproperty.time;
}

bool Uptake::TookInput(int Pid) {
  Display* display = connection_->display;
  if (!display) return false;
  const ErrorsIgnored ignored(display);
  const Connection& c = *connection_;
  for (const ::Window window : c.WindowsOf(Pid)) {
    std::vector<::Window> holders = {window};
    if (const auto own = c.Property(window, c.userTimeWindow, XA_WINDOW)) holders.push_back(*own);
    for (const ::Window holder : holders)
      if (const auto time = c.Property(holder, c.userTime, XA_CARDINAL);
          time && After(*time, static_cast<std::uint32_t>(c.mark)))
        return true;
  }
  return false;
}

struct WindowWatch::Connection {
  Display* display = XOpenDisplay(nullptr);
  ::Window watched = 0;  // (0: none)
  bool configured = false, went = false;

  // Takes the events come so far.
  void Read() {
    while (display && XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.xany.window != watched) continue;  // (one watched before)
      configured = configured || event.type == ConfigureNotify;
      went = went || event.type == UnmapNotify || event.type == DestroyNotify;
    }
  }
};

WindowWatch::WindowWatch() : connection_(std::make_unique<Connection>()) {}

WindowWatch::~WindowWatch() {
  if (connection_->display) XCloseDisplay(connection_->display);
}

std::optional<WindowWatch::Place> WindowWatch::Watch(unsigned long TopLevel) {
  Connection& c = *connection_;
  if (!c.display) return std::nullopt;
  {
    const ErrorsIgnored ignored(c.display);
    if (c.watched) XSelectInput(c.display, c.watched, NoEventMask);
    c.watched = TopLevel;
    // (the window manager's answer to a request comes as a ConfigureNotify sent to these)
    XSelectInput(c.display, c.watched, StructureNotifyMask);
  }
  c.Read();
  c.configured = c.went = false;
  return Now();
}

std::optional<WindowWatch::Place> WindowWatch::Now() const {
  const Connection& c = *connection_;
  if (!c.display || !c.watched) return std::nullopt;
  const ErrorsIgnored ignored(c.display);
  XWindowAttributes a;
  if (!XGetWindowAttributes(c.display, c.watched, &a) || a.map_state != IsViewable) return std::nullopt;
  const ::Window root = DefaultRootWindow(c.display);
  Place place;
  ::Window child = 0;
  if (!XTranslateCoordinates(c.display, c.watched, root, 0, 0, &place.x, &place.y, &child))
    return std::nullopt;
  place.width = a.width;
  place.height = a.height;
  // the frame: the window's ancestor that is a child of the root window
  ::Window top = c.watched;
  for (;;) {
    ::Window rootOfTree = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(c.display, top, &rootOfTree, &parent, &children, &count)) return std::nullopt;
    if (children) XFree(children);
    if (parent == root || parent == 0) break;
    top = parent;
  }
  XWindowAttributes frame;
  if (!XGetWindowAttributes(c.display, top, &frame)) return std::nullopt;
  place.frameX = frame.x;
  place.frameY = frame.y;
  return place;
}

bool WindowWatch::Configured() {
  connection_->Read();
  return connection_->configured;
}

bool WindowWatch::Went() {
  connection_->Read();
  return connection_->went;
}

// A connection of its own whose thread takes each event as it comes and reads the property it names
// at once, so that what it tells is the value the window had then, not the one it has when a failing
// test asks (an error of the protocol, a window gone meanwhile, comes back as a value here).
struct WindowEvents::Connection {
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  bool open = connection && !xcb_connection_has_error(connection);
  xcb_atom_t wmState = Intern("WM_STATE"), shown = Intern("_TALVIK_SHOWN"),
             netState = Intern("_NET_WM_STATE");
  std::mutex mutex;          // guards what follows
  xcb_window_t watched = 0;  // (0: none)
  std::chrono::steady_clock::time_point since;
  std::string told;
  std::atomic<bool> ending{false};
  std::thread reader;

  Connection() {
    if (open) reader = std::thread([this] { Read(); });
  }
  ~Connection() {
    ending = true;
    if (reader.joinable()) reader.join();
    if (connection) xcb_disconnect(connection);
  }
  xcb_atom_t Intern(const char* Name) const {
    if (!open) return XCB_NONE;
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, std::strlen(Name), Name), nullptr),
        &free);
    return reply ? reply->atom : XCB_NONE;
  }
  // The first 32-bit value of a property of a window (nothing when it has none).
  std::optional<std::uint32_t> Value(xcb_window_t Window, xcb_atom_t Property) const {
    std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> reply(
        xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, Window, Property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1),
            nullptr),
        &free);
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4) return std::nullopt;
    return *static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
  }
  // The window manager's states of a window, by their names without the common head ("[]": none).
  std::string States(xcb_window_t Window) const {
    std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> reply(
        xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, Window, netState, XCB_ATOM_ATOM, 0, kMostStates),
            nullptr),
        &free);
    std::string said;
    const int count = reply && reply->format == 32 ? xcb_get_property_value_length(reply.get()) / 4 : 0;
    const auto* atoms =
        count > 0 ? static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get())) : nullptr;
    for (int i = 0; i < count; ++i) {
      std::unique_ptr<xcb_get_atom_name_reply_t, decltype(&free)> name(
          xcb_get_atom_name_reply(connection, xcb_get_atom_name(connection, atoms[i]), nullptr), &free);
      std::string text =
          name ? std::string(xcb_get_atom_name_name(name.get()),
                             static_cast<std::size_t>(xcb_get_atom_name_name_length(name.get())))
               : "?";
      if (text.rfind(kHead, 0) == 0) text.erase(0, sizeof kHead - 1);
      said += (said.empty() ? "" : " ") + text;
    }
    return "[" + said + "]";
  }
  void Note(xcb_window_t Window, const std::string& What) {
    const std::lock_guard<std::mutex> lock(mutex);
    if (Window != watched) return;  // (one watched before)
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since)
            .count();
    told += (told.empty() ? "" : ", ") + What + " @" + std::to_string(ms);
  }
  // Takes the events as they come, until the connection ends.
  void Read() {
    static const char* const kStates[] = {"Withdrawn", "Normal", "2", "Iconic"};
    pollfd wait{xcb_get_file_descriptor(connection), POLLIN, 0};
    while (!ending && !xcb_connection_has_error(connection)) {
      std::unique_ptr<xcb_generic_event_t, decltype(&free)> event(xcb_poll_for_event(connection), &free);
      if (!event) {
        poll(&wait, 1, kPollMs);
        continue;
      }
      switch (event->response_type & ~0x80) {
        case XCB_MAP_NOTIFY:
          Note(reinterpret_cast<xcb_map_notify_event_t*>(event.get())->window, "map");
          break;
        case XCB_UNMAP_NOTIFY:
          Note(reinterpret_cast<xcb_unmap_notify_event_t*>(event.get())->window, "unmap");
          break;
        case XCB_CONFIGURE_NOTIFY: {
          const auto* place = reinterpret_cast<xcb_configure_notify_event_t*>(event.get());
          Note(place->window, "size " + std::to_string(place->width) + "x" + std::to_string(place->height));
          break;
        }
        case XCB_PROPERTY_NOTIFY: {
          const auto* change = reinterpret_cast<xcb_property_notify_event_t*>(event.get());
          if (change->atom == netState) {
            Note(change->window, "states " + States(change->window));
            break;
          }
          if (change->atom != wmState && change->atom != shown) break;
          const std::optional<std::uint32_t> value = Value(change->window, change->atom);
          const std::string said = !value                                   ? "none"
                                   : change->atom == wmState && *value <= 3 ? kStates[*value]
                                                                            : std::to_string(*value);
          Note(change->window, (change->atom == wmState ? "WM_STATE " : "shown ") + said);
          break;
        }
        default:
          break;
      }
    }
  }
  static constexpr int kPollMs = 20, kMostStates = 16;
  static constexpr char kHead[] = "_NET_WM_STATE_";
};

WindowEvents::WindowEvents() : connection_(std::make_unique<Connection>()) {}

WindowEvents::~WindowEvents() = default;

void WindowEvents::Watch(unsigned long Window) {
  Connection& c = *connection_;
  if (!c.open) return;
  xcb_window_t before = 0;
  {
    const std::lock_guard<std::mutex> lock(c.mutex);
    before = std::exchange(c.watched, static_cast<xcb_window_t>(Window));
    c.told.clear();
    c.since = std::chrono::steady_clock::now();
  }
  const std::uint32_t none = 0, events = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
  if (before && before != Window)
    xcb_change_window_attributes(c.connection, before, XCB_CW_EVENT_MASK, &none);
  // (a window gone meanwhile answers with an error, which the reader passes over)
  xcb_change_window_attributes(c.connection, static_cast<xcb_window_t>(Window), XCB_CW_EVENT_MASK, &events);
  xcb_flush(c.connection);
}

std::string WindowEvents::Told() {
  Connection& c = *connection_;
  if (c.open) free(xcb_get_input_focus_reply(c.connection, xcb_get_input_focus(c.connection), nullptr));
  // (a round trip: what the server sent before it has come; the reader takes it within its poll)
  std::this_thread::sleep_for(std::chrono::milliseconds(2 * Connection::kPollMs));
  const std::lock_guard<std::mutex> lock(c.mutex);
  return c.told.empty() ? "nothing" : c.told;
}

}  // namespace e2e
