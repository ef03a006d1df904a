// A window's state as a window manager sets it on a real X server (run through xvfb-run -a), written
// here as a manager writes it (WM_STATE, _NET_WM_STATE) on our window: the layer takes in the
// desktop's maximise, and a close from the desktop comes in the state the desktop shows at that
// moment, though it has not held long.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "X11TestSupport.h"
#include "platform/gui/Forms.h"

using x11test::Output;
using x11test::WaitFor;

namespace {

// A connection of the test's own to the display, which writes what a window manager would.
class ManagerSide {
 public:
  ManagerSide() : c_(xcb_connect(nullptr, nullptr), xcb_disconnect) {}
  bool Connected() const { return xcb_connection_has_error(c_.get()) == 0; }
  xcb_atom_t Atom(const char* Name) {
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> reply(
        xcb_intern_atom_reply(
            c_.get(), xcb_intern_atom(c_.get(), 0, static_cast<std::uint16_t>(std::strlen(Name)), Name),
            nullptr),
        &free);
    return reply ? reply->atom : XCB_NONE;
  }
  // ICCCM's state Normal, and the window manager's states (none, or maximised).
  void Holds(xcb_window_t Window, bool Maximised) {
    const std::uint32_t normal[] = {1, XCB_NONE};
    const xcb_atom_t wmState = Atom("WM_STATE");
    xcb_change_property(c_.get(), XCB_PROP_MODE_REPLACE, Window, wmState, wmState, 32, 2, normal);
    std::vector<xcb_atom_t> states;
    if (Maximised) states = {Atom("_NET_WM_STATE_MAXIMIZED_VERT"), Atom("_NET_WM_STATE_MAXIMIZED_HORZ")};
    xcb_change_property(c_.get(), XCB_PROP_MODE_REPLACE, Window, Atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 32,
                        static_cast<std::uint32_t>(states.size()), states.data());
  }
  // The close a window manager asks of a window (its title bar's close button, Alt+F4).
  void AsksToClose(xcb_window_t Window) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = Window;
    event.type = Atom("WM_PROTOCOLS");
    event.data.data32[0] = Atom("WM_DELETE_WINDOW");
    xcb_send_event(c_.get(), 0, Window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
  }
  void Flush() { xcb_flush(c_.get()); }

  // Takes the map requests of the screen's top-level windows, as a window manager does (false when a
  // window manager runs already), and hears of the changes of the windows' states, each time after
  // the requests sent before.
  bool TakesMapRequests() {
    const std::uint32_t events = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    std::unique_ptr<xcb_generic_error_t, decltype(&free)> refused(
        xcb_request_check(c_.get(),
                          xcb_change_window_attributes_checked(c_.get(), Root(), XCB_CW_EVENT_MASK, &events)),
        &free);
    return !refused;
  }
  void Watches(xcb_window_t Window) {
    const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(c_.get(), Window, XCB_CW_EVENT_MASK, &events);
    Sync();
  }
  // What came since the last call, in the order the server did it: "map request <window>", "states"
  // (a window's _NET_WM_STATE written), "unmap".
  std::vector<std::string> Heard() {
    Sync();
    std::vector<std::string> heard;
    const xcb_atom_t netState = Atom("_NET_WM_STATE");
    while (std::unique_ptr<xcb_generic_event_t, decltype(&free)> event{xcb_poll_for_event(c_.get()), &free}) {
      switch (event->response_type & ~0x80) {
        case XCB_MAP_REQUEST:
          heard.push_back("map request " +
                          std::to_string(reinterpret_cast<xcb_map_request_event_t*>(event.get())->window));
          break;
        case XCB_UNMAP_NOTIFY:
          heard.push_back("unmap");
          break;
        case XCB_PROPERTY_NOTIFY: {
          const auto* change = reinterpret_cast<xcb_property_notify_event_t*>(event.get());
          if (change->atom == netState && change->state == XCB_PROPERTY_NEW_VALUE) heard.push_back("states");
          break;
        }
        default:
          break;
      }
    }
    return heard;
  }
  void Maps(xcb_window_t Window) { xcb_map_window(c_.get(), Window); }
  // The window manager lets a window go that its program withdrew: its states go with it.
  void Withdraws(xcb_window_t Window) {
    xcb_delete_property(c_.get(), Window, Atom("WM_STATE"));
    xcb_delete_property(c_.get(), Window, Atom("_NET_WM_STATE"));
  }
  // Whether a window's _NET_WM_STATE holds both maximised states.
  bool SaysMaximised(xcb_window_t Window) {
    std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> reply(
        xcb_get_property_reply(
            c_.get(), xcb_get_property(c_.get(), 0, Window, Atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 0, 64),
            nullptr),
        &free);
    if (!reply || reply->format != 32) return false;
    const auto* list = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    const auto* end = list + xcb_get_property_value_length(reply.get()) / 4;
    return std::find(list, end, Atom("_NET_WM_STATE_MAXIMIZED_VERT")) != end &&
           std::find(list, end, Atom("_NET_WM_STATE_MAXIMIZED_HORZ")) != end;
  }

 private:
  xcb_window_t Root() const { return xcb_setup_roots_iterator(xcb_get_setup(c_.get())).data->root; }
  // A round trip: the server has done what was asked of it before, and its events for that have come.
  void Sync() { free(xcb_get_input_focus_reply(c_.get(), xcb_get_input_focus(c_.get()), nullptr)); }
  std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> c_;
};

class X11DesktopRead : public x11test::ToolkitTest {};

// The desktop maximises the window (its states say so, and hold): the window is maximised. The desktop
// then restores it and asks it to close at once: the window closes restored, as the desktop shows it.
TEST_F(X11DesktopRead, TheDesktopsMaximiseIsTakenInAndAClosingWindowTakesTheDesktopsStateAtOnce) {
  ManagerSide manager;
  ASSERT_TRUE(manager.Connected());
  TForm form(nullptr);
  form.SetCaption("TalvikDesktopRead");
  form.SetBounds(100, 100, 300, 200);
  form.Show();
  std::string id;
  ASSERT_TRUE(WaitFor([&] {
    id = Output("xdotool search --onlyvisible --name '^TalvikDesktopRead$' 2>/dev/null");
    return !id.empty();
  }));
  const auto window = static_cast<xcb_window_t>(std::stoul(id.substr(0, id.find('\n'))));
  manager.Holds(window, true);
  manager.Flush();
  ASSERT_TRUE(WaitFor([&] { return IsZoomed(form.Handle()); })) << "the desktop's maximise was not taken in";
  std::string closedAs;
  form.OnCloseQuery = [&](TObject*, bool& CanClose) {
    closedAs = IsZoomed(form.Handle()) ? "maximised" : "restored";
    CanClose = false;
  };
  manager.Holds(window, false);
  manager.AsksToClose(window);
  manager.Flush();
  ASSERT_TRUE(WaitFor([&] { return !closedAs.empty(); })) << "the desktop's close did not come";
  EXPECT_EQ(closedAs, "restored");
}

// A maximised window sent down to an icon and hidden (to the tray) comes back shown and restored at
// once: the window manager is asked to map it once, as it is shown, and is told it is maximised before
// that, so it takes it in maximised, whatever moment it comes to read it.
TEST_F(X11DesktopRead, AMaximisedWindowBackFromTheTrayIsMappedWithItsMaximisedStateSaid) {
  ManagerSide manager;
  ASSERT_TRUE(manager.Connected());
  ASSERT_TRUE(manager.TakesMapRequests()) << "a window manager runs on the display";
  TForm form(nullptr);
  form.SetCaption("TalvikBackFromTheTray");
  form.SetBounds(100, 100, 300, 200);
  form.SetWindowState(wsMaximized);
  form.Show();
  xcb_window_t window = 0;
  ASSERT_TRUE(WaitFor([&] {
    for (const std::string& heard : manager.Heard())
      if (heard.rfind("map request ", 0) == 0)
        window = static_cast<xcb_window_t>(std::stoul(heard.substr(12)));
    return window != 0;
  })) << "the window was never mapped";
  manager.Watches(window);
  manager.Maps(window);
  manager.Holds(window, true);
  manager.Flush();
  ASSERT_TRUE(WaitFor([&] { return IsZoomed(form.Handle()) && form.Visible(); }));
  x11test::Settle();
  // down to an icon, then hidden: the manager lets the window go
  ShowWindow(form.Handle(), SW_MINIMIZE);
  form.Hide();
  x11test::Settle();
  ASSERT_TRUE(WaitFor([&] {
    const std::vector<std::string> heard = manager.Heard();
    return std::find(heard.begin(), heard.end(), "unmap") != heard.end();
  })) << "the window was not unmapped";
  manager.Withdraws(window);
  manager.Flush();
  manager.Heard();
  // back from the tray: shown, and restored at once
  form.Show();
  ShowWindow(form.Handle(), SW_RESTORE);
  std::vector<std::string> heard;
  const std::string mapRequest = "map request " + std::to_string(window);
  ASSERT_TRUE(WaitFor([&] {
    for (const std::string& h : manager.Heard()) heard.push_back(h);
    return std::find(heard.begin(), heard.end(), mapRequest) != heard.end();
  })) << "the window was not mapped again";
  x11test::Settle();
  for (const std::string& h : manager.Heard()) heard.push_back(h);
  std::string told;
  for (const std::string& h : heard) told += (told.empty() ? "" : ", ") + h;
  const auto mapped = std::find(heard.begin(), heard.end(), mapRequest);
  EXPECT_TRUE(std::find(heard.begin(), mapped, "states") != mapped)
      << "the states were not said before the map; the manager heard: " << told;
  EXPECT_EQ(std::count(heard.begin(), heard.end(), mapRequest), 1)
      << "the manager was asked to map the window more than once; it heard: " << told;
  EXPECT_TRUE(manager.SaysMaximised(window)) << "the manager heard: " << told;
  EXPECT_TRUE(IsZoomed(form.Handle()));
}

}  // namespace
