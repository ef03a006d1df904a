// A window's state as a window manager sets it on a real X server (run through xvfb-run -a), written
// here as a manager writes it (WM_STATE, _NET_WM_STATE) on our window: the layer takes in the
// desktop's maximise, also one the desktop said before it took the window in, and hears the desktop
// show what the layer told it; a close from the desktop comes in the state the desktop shows at that
// moment, though it has not held long; restored by the desktop, the window keeps its normal bounds; a
// window brought back from its icon, its state said before it shows again, comes back in the layer
// too; a window framed elsewhere than it asked stands where its frame is.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
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
    Manages(Window);
    Shows(Window, Maximised);
  }
  // ICCCM's state Normal: the manager has taken the window in and shows it in its frame.
  void Manages(xcb_window_t Window) {
    const std::uint32_t normal[] = {1, XCB_NONE};
    const xcb_atom_t wmState = Atom("WM_STATE");
    xcb_change_property(c_.get(), XCB_PROP_MODE_REPLACE, Window, wmState, wmState, 32, 2, normal);
  }
  // The window manager's states of the window: none, or maximised.
  void Shows(xcb_window_t Window, bool Maximised) {
    std::vector<xcb_atom_t> states;
    if (Maximised) states = {Atom("_NET_WM_STATE_MAXIMIZED_VERT"), Atom("_NET_WM_STATE_MAXIMIZED_HORZ")};
    xcb_change_property(c_.get(), XCB_PROP_MODE_REPLACE, Window, Atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 32,
                        static_cast<std::uint32_t>(states.size()), states.data());
  }
  // The manager puts the window (its client: no frame here) at R.
  void Places(xcb_window_t Window, const RECT& R) {
    const std::uint32_t values[] = {static_cast<std::uint32_t>(R.Left), static_cast<std::uint32_t>(R.Top),
                                    static_cast<std::uint32_t>(R.Width()),
                                    static_cast<std::uint32_t>(R.Height())};
    xcb_configure_window(
        c_.get(), Window,
        XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
        values);
  }
  // The screen's rectangle.
  RECT Screen() {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c_.get())).data;
    return Rect(0, 0, screen->width_in_pixels, screen->height_in_pixels);
  }
  // ICCCM's state Iconic, and the window taken off the screen, as a manager sends it down to an icon.
  void Iconifies(xcb_window_t Window) {
    const std::uint32_t iconic[] = {3, XCB_NONE};
    const xcb_atom_t wmState = Atom("WM_STATE");
    xcb_change_property(c_.get(), XCB_PROP_MODE_REPLACE, Window, wmState, wmState, 32, 2, iconic);
    xcb_unmap_window(c_.get(), Window);
  }
  // Back from its icon: the state Normal first, then, after a moment (a manager's animation, which
  // the program lives through), the window on the screen again.
  void Deiconifies(xcb_window_t Window) {
    constexpr auto kAMoment = std::chrono::milliseconds(300);
    Holds(Window, false);
    Flush();
    const auto until = std::chrono::steady_clock::now() + kAMoment;
    WaitFor([&] { return std::chrono::steady_clock::now() > until; });
    xcb_map_window(c_.get(), Window);
  }
  // A frame of the manager's own round the window, at Frame (screen coordinates), with borders of
  // Left, Top, Right and Bottom: the window is reparented into it and the frame mapped, and the
  // window's _NET_FRAME_EXTENTS say the borders. The window hears of no move of its own.
  xcb_window_t Frames(xcb_window_t Window, TPoint Frame, int Left, int Top, int Right, int Bottom) {
    xcb_connection_t* c = c_.get();
    std::unique_ptr<xcb_get_geometry_reply_t, decltype(&free)> size(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, Window), nullptr), &free);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_window_t frame = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, frame, root, static_cast<std::int16_t>(Frame.X),
                      static_cast<std::int16_t>(Frame.Y),
                      static_cast<std::uint16_t>(size->width + Left + Right),
                      static_cast<std::uint16_t>(size->height + Top + Bottom), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_change_save_set(c, XCB_SET_MODE_INSERT, Window);  // back on the root should this side go
    xcb_reparent_window(c, Window, frame, static_cast<std::int16_t>(Left), static_cast<std::int16_t>(Top));
    xcb_map_window(c, frame);
    const std::uint32_t extents[] = {static_cast<std::uint32_t>(Left), static_cast<std::uint32_t>(Right),
                                     static_cast<std::uint32_t>(Top), static_cast<std::uint32_t>(Bottom)};
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, Window, Atom("_NET_FRAME_EXTENTS"), XCB_ATOM_CARDINAL, 32,
                        4, extents);
    return frame;
  }
  // Lets the window go (it was withdrawn by its program): its WM_STATE gone.
  void LetsGo(xcb_window_t Window) { xcb_delete_property(c_.get(), Window, Atom("WM_STATE")); }
  bool Viewable(xcb_window_t Window) {
    std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&free)> attributes(
        xcb_get_window_attributes_reply(c_.get(), xcb_get_window_attributes(c_.get(), Window), nullptr),
        &free);
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
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
  // What was written has reached the server (and so goes to our window's connection next).
  void Sync() {
    std::unique_ptr<xcb_get_input_focus_reply_t, decltype(&free)> reply(
        xcb_get_input_focus_reply(c_.get(), xcb_get_input_focus(c_.get()), nullptr), &free);
  }

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
  std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> c_;
};

class X11DesktopRead : public x11test::ToolkitTest {
 protected:
  // Our form, shown at Bounds with the caption Name, and its X window.
  xcb_window_t Shown(TForm& Form, const std::string& Name, const RECT& Bounds) {
    Form.SetCaption(Name);
    Form.SetBounds(Bounds.Left, Bounds.Top, Bounds.Width(), Bounds.Height());
    Form.Show();
    std::string id;
    EXPECT_TRUE(WaitFor([&] {
      id = Output("xdotool search --onlyvisible --name '^" + Name + "$' 2>/dev/null");
      return !id.empty();
    }));
    return id.empty() ? XCB_NONE : static_cast<xcb_window_t>(std::stoul(id.substr(0, id.find('\n'))));
  }
  static RECT Bounds(TForm& Form) {
    RECT r;
    GetWindowRect(Form.Handle(), r);
    return r;
  }
  static std::string Text(const RECT& R) {
    return std::to_string(R.Left) + "," + std::to_string(R.Top) + " " + std::to_string(R.Width()) + "x" +
           std::to_string(R.Height());
  }
};

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

// The desktop says the window's maximised state before it says it has taken the window in (WM_STATE),
// which tells the toolkit no change of the state it heard: the layer takes the maximise in once the
// window is the desktop's.
TEST_F(X11DesktopRead, AMaximiseTheDesktopSaidBeforeItTookTheWindowInIsTakenInOnceItDoes) {
  ManagerSide manager;
  ASSERT_TRUE(manager.Connected());
  TForm form(nullptr);
  const xcb_window_t window = Shown(form, "TalvikDesktopTakesIn", Rect(100, 100, 400, 300));
  ASSERT_NE(window, XCB_NONE);
  const RECT maximised = manager.Screen();
  manager.Shows(window, true);
  manager.Places(window, maximised);
  manager.Sync();
  // (the toolkit has heard of the state once it has heard of the place the manager gave after it)
  ASSERT_TRUE(WaitFor([&] { return Bounds(form) == maximised; })) << Text(Bounds(form));
  x11test::Settle();
  EXPECT_FALSE(IsZoomed(form.Handle())) << "maximised before the desktop took the window in";
  manager.Manages(window);
  manager.Sync();
  EXPECT_TRUE(WaitFor([&] { return IsZoomed(form.Handle()) != 0; }))
      << "the maximise the desktop holds was not taken in";
}

// The program maximises its window and the desktop shows it so (its _NET_WM_STATE, the toolkit's own
// state already): the layer hears the desktop show what it was told, so that the desktop's restore
// and close just after are the desktop's own, and the window closes restored.
TEST_F(X11DesktopRead, TheDesktopShowingTheProgramsMaximiseIsHeardSoThatItsRestoreIsItsOwn) {
  ManagerSide manager;
  ASSERT_TRUE(manager.Connected());
  TForm form(nullptr);
  const xcb_window_t window = Shown(form, "TalvikDesktopShows", Rect(100, 100, 400, 300));
  ASSERT_NE(window, XCB_NONE);
  // taken in by the desktop, which places it
  const RECT placed = Rect(120, 110, 420, 410);
  manager.Manages(window);
  manager.Places(window, placed);
  manager.Sync();
  ASSERT_TRUE(WaitFor([&] { return Bounds(form) == placed; })) << Text(Bounds(form));
  x11test::Settle();
  ShowWindow(form.Handle(), SW_MAXIMIZE);
  ASSERT_TRUE(IsZoomed(form.Handle()));
  // the desktop maximises it into its work area (the screen less a panel of its own)
  RECT workArea = manager.Screen();
  workArea.Bottom -= 30;
  manager.Shows(window, true);
  manager.Places(window, workArea);
  manager.Sync();
  ASSERT_TRUE(WaitFor([&] { return Bounds(form) == workArea; })) << Text(Bounds(form));
  x11test::Settle();
  std::string closedAs;
  form.OnCloseQuery = [&](TObject*, bool& CanClose) {
    closedAs = IsZoomed(form.Handle()) ? "maximised" : "restored";
    CanClose = false;
  };
  manager.Shows(window, false);
  manager.AsksToClose(window);
  manager.Flush();
  ASSERT_TRUE(WaitFor([&] { return !closedAs.empty(); })) << "the desktop's close did not come";
  EXPECT_EQ(closedAs, "restored");
}

// Maximised by the desktop and restored by it to its normal bounds, the window keeps them though the
// desktop puts it at its maximised bounds again a moment after (the only ones some desktops know of
// a window they maximised): it goes back to its normal bounds.
TEST_F(X11DesktopRead, RestoredByTheDesktopTheWindowKeepsItsNormalBoundsThoughTheDesktopMovesItAMomentAfter) {
  ManagerSide manager;
  ASSERT_TRUE(manager.Connected());
  TForm form(nullptr);
  const RECT normal = Rect(100, 100, 400, 300);
  const xcb_window_t window = Shown(form, "TalvikDesktopRestores", normal);
  ASSERT_NE(window, XCB_NONE);
  const RECT maximised = manager.Screen();
  manager.Holds(window, true);
  manager.Sync();
  ASSERT_TRUE(WaitFor([&] { return IsZoomed(form.Handle()) != 0; }))
      << "the desktop's maximise was not taken in";
  manager.Places(window, maximised);
  manager.Sync();
  ASSERT_TRUE(WaitFor([&] { return Bounds(form) == maximised; })) << Text(Bounds(form));
  manager.Holds(window, false);
  manager.Places(window, normal);
  manager.Sync();
  ASSERT_TRUE(WaitFor([&] { return !IsZoomed(form.Handle()) && Bounds(form) == normal; }))
      << "the desktop's restore was not taken in: " << Text(Bounds(form));
  manager.Places(window, maximised);
  manager.Sync();
  EXPECT_TRUE(WaitFor([&] {
    return Bounds(form) == normal && x11test::ShowsWhereItIsSaidToBe("TalvikDesktopRestores", form.Handle());
  })) << "the window stands at "
      << Text(Bounds(form)) << ", not at its normal bounds " << Text(normal);
}

// The desktop sends the window down to an icon and brings it back (its window list), saying the state
// Normal before the window shows again, as a window manager that maps its frame last does: the window
// is restored in the layer too, though no word of its state comes once it shows.
TEST_F(X11DesktopRead, AWindowTheDesktopBringsBackFromItsIconIsRestoredThoughItsStateCameBeforeItShowed) {
  ManagerSide manager;
  ASSERT_TRUE(manager.Connected());
  TForm form(nullptr);
  form.SetCaption("TalvikDesktopRestore");
  form.SetBounds(100, 100, 300, 200);
  form.Show();
  std::string id;
  ASSERT_TRUE(WaitFor([&] {
    id = Output("xdotool search --onlyvisible --name '^TalvikDesktopRestore$' 2>/dev/null");
    return !id.empty();
  }));
  const auto window = static_cast<xcb_window_t>(std::stoul(id.substr(0, id.find('\n'))));
  manager.Holds(window, false);
  manager.Iconifies(window);
  manager.Flush();
  ASSERT_TRUE(WaitFor([&] { return IsIconic(form.Handle()); })) << "the desktop's minimise was not taken in";
  manager.Deiconifies(window);
  manager.Flush();
  EXPECT_TRUE(WaitFor([&] { return !IsIconic(form.Handle()); })) << "the desktop's restore was not taken in";
}

// The desktop frames the window elsewhere than it was asked to stand (it keeps it on the screen, say),
// telling it no move of its own, only the frame's borders: the layer's place of the window is the
// frame's, and the client keeps its size.
TEST_F(X11DesktopRead, AWindowTheDesktopFramesElsewhereStandsWhereItsFrameIs) {
  ManagerSide manager;
  ASSERT_TRUE(manager.Connected());
  TForm form(nullptr);
  form.SetCaption("TalvikDesktopPlace");
  form.SetBounds(100, 100, 300, 200);
  form.Show();
  std::string id;
  ASSERT_TRUE(WaitFor([&] {
    id = Output("xdotool search --onlyvisible --name '^TalvikDesktopPlace$' 2>/dev/null");
    return !id.empty();
  }));
  const auto window = static_cast<xcb_window_t>(std::stoul(id.substr(0, id.find('\n'))));
  RECT client;
  GetClientRect(form.Handle(), client);
  constexpr int kBorder = 4, kTitle = 20;
  const TPoint frame(150, 130);
  manager.Frames(window, frame, kBorder, kTitle, kBorder, kBorder);
  manager.Flush();
  RECT r;
  const auto there = [&] {
    GetWindowRect(form.Handle(), r);
    return r == ::Bounds(frame.X, frame.Y, client.Width() + 2 * kBorder, client.Height() + kTitle + kBorder);
  };
  EXPECT_TRUE(WaitFor(there)) << "the window stands at " << r.Left << "," << r.Top << " " << r.Width() << "x"
                              << r.Height() << ", its frame at " << frame.X << "," << frame.Y;
}

// The program hides its window and shows it again at once, before the window manager has let it go
// (its WM_STATE still there): the window goes back on the screen once the manager has withdrawn it, so
// that the manager takes it in anew rather than as the window it was giving up.
TEST_F(X11DesktopRead, AWindowHiddenAndShownAgainAtOnceShowsOnceTheManagerHasLetItGo) {
  constexpr auto kAMoment = std::chrono::milliseconds(50);
  ManagerSide manager;
  ASSERT_TRUE(manager.Connected());
  TForm form(nullptr);
  form.SetCaption("TalvikDesktopAgain");
  form.SetBounds(100, 100, 300, 200);
  form.Show();
  std::string id;
  ASSERT_TRUE(WaitFor([&] {
    id = Output("xdotool search --onlyvisible --name '^TalvikDesktopAgain$' 2>/dev/null");
    return !id.empty();
  }));
  const auto window = static_cast<xcb_window_t>(std::stoul(id.substr(0, id.find('\n'))));
  manager.Holds(window, false);
  manager.Flush();
  ASSERT_TRUE(WaitFor([&] { return manager.Viewable(window); }));
  form.Hide();
  form.Show();
  const auto until = std::chrono::steady_clock::now() + kAMoment;
  WaitFor([&] { return std::chrono::steady_clock::now() > until; });
  EXPECT_FALSE(manager.Viewable(window)) << "mapped while the manager still kept it";
  manager.LetsGo(window);
  manager.Flush();
  EXPECT_TRUE(WaitFor([&] { return manager.Viewable(window); })) << "not shown again";
  EXPECT_TRUE(form.Visible());
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
