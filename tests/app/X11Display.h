// What the end-to-end tests ask the X server directly. Who owns a selection: the window manager
// holds WM_S<screen>, a notification area _NET_SYSTEM_TRAY_S<screen>; the server lets a selection go
// when its owner's connection closes, which it may see a little after the owner's process has ended.
// Whether a program answers: it paints a window of its anew when the server tells it to. Whether it
// took input: it notes the time of the last key or button press it read on its windows. What became
// of a move, resize or close asked of a window: the window manager's answer, the window's place, its
// going.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace e2e {

// The window that owns the selection Prefix<n> of the display's default screen n (0 when nobody
// owns it or there is no display).
unsigned long ScreenSelectionOwner(const std::string& Prefix);

// Whether a window manager runs on the display: it owns the screen's WM_S<n>, or (a manager that takes
// no such selection) the root window's _NET_SUPPORTING_WM_CHECK names a window that lives and names
// itself so. A manager that ended leaves the property behind, its window gone with its connection.
bool WindowManagerRuns();

// Asks a program for a repaint through a connection of its own: a mark drawn into one of its
// windows, then that spot exposed; the program's thread of windows paints the spot anew once it
// handles its events. A busy program repaints late, and a late repaint counts too.
class Repaints {
 public:
  Repaints();
  ~Repaints();
  Repaints(const Repaints&) = delete;
  Repaints& operator=(const Repaints&) = delete;

  // Marks a spot of a top-level window (a corner, else its middle) and exposes it; false when no
  // mark shows (the window is not on screen, or other windows cover those spots).
  bool Ask(unsigned long TopLevel);
  // What became of the spot marked last.
  enum class Spot {
    kMarked,     // the mark still shows
    kRepainted,  // the program painted it anew
    kCovered,    // another window covers it, or it lies outside its window now
    kGone,       // its window is off screen or gone, or nothing is marked
  };
  Spot Look();

 private:
  struct Connection;
  std::unique_ptr<Connection> connection_;
};

// Whether a program (by its process id) took the keys and clicks given to it since a mark, through a
// connection of its own. The X server delivers the events of the input whether or not the program
// reads them; what shows that the program read them is what it did on them: the toolkit writes the
// server time of each key and button press it reads into the _NET_WM_USER_TIME of the window that took
// it (or of that window's user-time window, where the window manager supports those). The toolkit also
// stamps the user time when it shows a window, with the server time of an event it read: a window the
// program shows after the mark counts too, once the program has read an event that came after it.
class Uptake {
 public:
  Uptake();
  ~Uptake();
  Uptake(const Uptake&) = delete;
  Uptake& operator=(const Uptake&) = delete;

  // Marks the server time now: the input given after it is judged.
  void Mark();
  // Whether a window of the program noted a key or button press after the mark.
  bool TookInput(int Pid);

 private:
  struct Connection;
  std::unique_ptr<Connection> connection_;
};

// What the X server tells of one top-level window of a program's once a move, resize or close was
// asked of the window manager for it, through a connection of its own: the window manager's answer (a
// ConfigureNotify, sent whether it carried the request out, changed it or refused it), the window's
// place, and whether the window went (unmapped or destroyed).
class WindowWatch {
 public:
  WindowWatch();
  ~WindowWatch();
  WindowWatch(const WindowWatch&) = delete;
  WindowWatch& operator=(const WindowWatch&) = delete;

  // Where the window is on the screen: its own bounds, and the top left corner of the window manager's
  // frame round it (the window's own corner when nothing frames it).
  struct Place {
    int x = 0, y = 0, width = 0, height = 0;
    int frameX = 0, frameY = 0;
  };
  // Watches TopLevel from now on, what came before forgotten: its place now, nothing when it is not
  // on the screen.
  std::optional<Place> Watch(unsigned long TopLevel);
  // The watched window's place now (nothing when it is not on the screen).
  std::optional<Place> Now() const;
  // Whether a ConfigureNotify came for the window since Watch.
  bool Configured();
  // Whether the window was unmapped or destroyed since Watch.
  bool Went();

 private:
  struct Connection;
  std::unique_ptr<Connection> connection_;
};

// What the server tells of a window as it comes (its map and unmap events, its sizes, its WM_STATE and
// _NET_WM_STATE as the window manager sets them, and what the program's window layer says of its showing,
// _TALVIK_SHOWN, each value read as its change came), kept in the order it came with the milliseconds since
// the watch began, for a failing test to say how the window got where it stands.
class WindowEvents {
 public:
  WindowEvents();
  ~WindowEvents();
  WindowEvents(const WindowEvents&) = delete;
  WindowEvents& operator=(const WindowEvents&) = delete;

  // Watches Window from now on, what came before forgotten.
  void Watch(unsigned long Window);
  // What came since Watch, e.g. "unmap @3, WM_STATE Iconic @3, shown 0 @250, map @900" ("nothing").
  std::string Told();

 private:
  struct Connection;
  std::unique_ptr<Connection> connection_;
};

}  // namespace e2e
