// What the end-to-end tests ask the X server directly. Who owns a selection: the window manager
// holds WM_S<screen>, a notification area _NET_SYSTEM_TRAY_S<screen>; the server lets a selection go
// when its owner's connection closes, which it may see a little after the owner's process has ended.
// Whether a program answers: it paints a window of its anew when the server tells it to. Whether it
// took input: it notes the time of the last key or button press it read on its windows.
#pragma once

#include <memory>
#include <string>

namespace e2e {

// The window that owns the selection Prefix<n> of the display's default screen n (0 when nobody
// owns it or there is no display).
unsigned long ScreenSelectionOwner(const std::string& Prefix);

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
// it (or of that window's user-time window, where the window manager supports those).
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

}  // namespace e2e
