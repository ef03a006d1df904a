// The shell's notification area (the tray): icons that a window puts there, whose mouse input comes
// back to that window as its callback message. The shell in use is the desktop's, or one a test sets.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/gui/Windows.h"

constexpr DWORD NIM_ADD = 0, NIM_MODIFY = 1, NIM_DELETE = 2;
constexpr UINT NIF_MESSAGE = 0x1, NIF_ICON = 0x2, NIF_TIP = 0x4;
constexpr int NOTIFYICON_TIPCHARS = 127;  // the most characters of a tip the shell shows

struct NOTIFYICONDATA {
  DWORD cbSize = sizeof(NOTIFYICONDATA);
  HWND hWnd = nullptr;
  UINT uID = 0;
  UINT uFlags = 0;
  UINT uCallbackMessage = 0;
  HICON hIcon = nullptr;
  // zero-terminated UTF-8 of at most 127 characters, each of up to 4 bytes
  char szTip[NOTIFYICON_TIPCHARS * 4 + 1] = {};
};

// Adds, changes or removes the icon (hWnd, uID). False when there is no notification area, when an
// added icon is there already, or when a changed or removed one is not.
bool Shell_NotifyIcon(DWORD Message, NOTIFYICONDATA* Data);

// The version of the common controls (major in the high word, minor in the low word).
DWORD GetComCtlVersion();
constexpr DWORD ComCtlVersionIE4 = 0x00040047;  // 4.71: the shell announces "TaskbarCreated"

// Files dropped from the desktop's file manager. A window that accepts them (DragAcceptFiles, the
// WS_EX_ACCEPTFILES style) gets WM_DROPFILES with the drop as WParam; it reads the names and the point
// and then finishes the drop, which frees it.
struct HDROP__;
using HDROP = HDROP__*;
constexpr UINT kDragQueryFileCount = 0xFFFFFFFF;
void DragAcceptFiles(HWND hwnd, bool accept);
// With kDragQueryFileCount: the number of files; else the length in bytes of file `index` (UTF-8, the
// whole path), stored in *name when name is given; 0 for an index past the end.
UINT DragQueryFile(HDROP drop, UINT index, std::string* name);
// The drop point in the client coordinates of the window that got it; true when it lies in its
// client area.
bool DragQueryPoint(HDROP drop, POINT& point);
void DragFinish(HDROP drop);

namespace talvik::gui {

// One icon as the shell keeps it.
struct TrayIcon {
  HWND window = nullptr;
  UINT id = 0;
  UINT callbackMessage = 0;  // 0: none
  HICON icon = nullptr;      // the TIcon the icon shows (nullptr: the program's)
  std::string tip;
};

// A notification area. Input on an icon arrives at its window as PostMessage(window,
// callbackMessage, id, WM_xBUTTONDOWN/UP/DBLCLK or WM_MOUSEMOVE).
class TrayShell {
 public:
  virtual ~TrayShell() = default;
  virtual bool Available() = 0;
  virtual void Show(const TrayIcon& icon) = 0;  // new or changed
  virtual void Remove(HWND window, UINT id) = 0;
};

// The shell the tray calls use; nullptr gives back the desktop's.
void SetTrayShell(TrayShell* shell);
TrayShell* CurrentTrayShell();
// The icons the shell has now.
const std::map<std::pair<HWND, UINT>, TrayIcon>& TrayIcons();
// Sends the input of an icon to its window as the shell would.
void TrayIconInput(HWND window, UINT id, UINT mouseMessage);
// A notification area appeared (or came back): the icons it had are gone, and every top-level
// window hears the registered message "TaskbarCreated".
void TrayRestarted();
// The notification area went away: every top-level window hears the registered message
// kTrayGoneMessage (a window hidden in the area has nowhere to come back from). Its icons come back
// with the next area (TrayRestarted).
inline constexpr const char* kTrayGoneMessage = "TalvikTrayGone";
void TrayGone();

// A notification area of our own for tests: present or not, as the test says.
class FakeTrayShell : public TrayShell {
 public:
  bool available = true;
  int shows = 0;
  bool Available() override { return available; }
  void Show(const TrayIcon&) override { ++shows; }
  void Remove(HWND, UINT) override {}
};

}  // namespace talvik::gui
