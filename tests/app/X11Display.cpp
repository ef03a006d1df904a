// A unit of its own: Xlib's names (None, Status, Window, ...) stay out of the harness that includes
// the program's headers.
#include "X11Display.h"

#include <X11/Xlib.h>

#include <chrono>
#include <thread>

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

bool AnswersPing(unsigned long TopLevel, int Ms) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  const auto handler = XSetErrorHandler(IgnoreError);
  TScopeExit close([&] {
    XCloseDisplay(display);
    XSetErrorHandler(handler);
  });
  const ::Window root = DefaultRootWindow(display);
  // the answer goes to the root window, for its window manager
  XSelectInput(display, root, SubstructureNotifyMask);
  const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
  const Atom ping = XInternAtom(display, "_NET_WM_PING", False);
  static long stamp = 0;  // tells this ping's answer from an earlier one's
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = TopLevel;
  e.xclient.message_type = protocols;
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(ping);
  e.xclient.data.l[1] = ++stamp;
  e.xclient.data.l[2] = static_cast<long>(TopLevel);
  XSendEvent(display, TopLevel, False, NoEventMask, &e);
  XFlush(display);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(Ms);
  while (std::chrono::steady_clock::now() < end) {
    while (XPending(display)) {
      XEvent a;
      XNextEvent(display, &a);
      if (a.type == ClientMessage && a.xclient.message_type == protocols &&
          static_cast<Atom>(a.xclient.data.l[0]) == ping && a.xclient.data.l[1] == stamp &&
          static_cast<unsigned long>(a.xclient.data.l[2]) == TopLevel)
        return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

}  // namespace e2e
