// A window's state as a window manager sets it on a real X server (run through xvfb-run -a), written
// here as a manager writes it (WM_STATE, _NET_WM_STATE) on our window: the layer takes in the
// desktop's maximise, and a close from the desktop comes in the state the desktop shows at that
// moment, though it has not held long; a window brought back from its icon, its state said before
// it shows again, comes back in the layer too; a window framed elsewhere than it asked stands where
// its frame is.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

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
    const std::uint32_t normal[] = {1, XCB_NONE};
    const xcb_atom_t wmState = Atom("WM_STATE");
    xcb_change_property(c_.get(), XCB_PROP_MODE_REPLACE, Window, wmState, wmState, 32, 2, normal);
    std::vector<xcb_atom_t> states;
    if (Maximised) states = {Atom("_NET_WM_STATE_MAXIMIZED_VERT"), Atom("_NET_WM_STATE_MAXIMIZED_HORZ")};
    xcb_change_property(c_.get(), XCB_PROP_MODE_REPLACE, Window, Atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 32,
                        static_cast<std::uint32_t>(states.size()), states.data());
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

 private:
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
    return r == Bounds(frame.X, frame.Y, client.Width() + 2 * kBorder, client.Height() + kTitle + kBorder);
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

}  // namespace
