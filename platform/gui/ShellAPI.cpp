#include "platform/gui/ShellAPI.h"

#include <cstring>

#include "platform/gui/GuiPrivate.h"
#include "platform/gui/WinManager.h"

namespace talvik::gui {
TrayShell* DesktopTrayShell();  // over the toolkit's tray icons (ShellQt.cpp)
}

using namespace talvik::gui;

namespace {

TrayShell* g_shell = nullptr;

std::map<std::pair<HWND, UINT>, TrayIcon>& Icons() {
  // made once and never destroyed, as every table of the window layer (see S())
  static auto* icons = new std::map<std::pair<HWND, UINT>, TrayIcon>();
  return *icons;
}

std::string Tip(const NOTIFYICONDATA& d) {
  return std::string(d.szTip, strnlen(d.szTip, sizeof(d.szTip) - 1));
}

}  // namespace

namespace talvik::gui {

void SetTrayShell(TrayShell* shell) {
  g_shell = shell;
  Icons().clear();
}

TrayShell* CurrentTrayShell() {
  return g_shell ? g_shell : DesktopTrayShell();
}

const std::map<std::pair<HWND, UINT>, TrayIcon>& TrayIcons() {
  return Icons();
}

void TrayIconInput(HWND window, UINT id, UINT mouseMessage) {
  // The user acts on the icon after what the desktop shows now, which the layer may not have taken in
  // yet (a state of the desktop's own counts once it held a moment): a window the user has just sent
  // down by the desktop's minimise is down before the click that brings it back reaches it.
  for (HWND w : GetTopLevelWindows()) detail::HostDesktopChanged(w, detail::DesktopRead::kAtOnce);
  auto it = Icons().find({window, id});
  if (it == Icons().end() || !it->second.callbackMessage) return;
  PostMessage(window, it->second.callbackMessage, id, static_cast<LPARAM>(mouseMessage));
}

void TrayRestarted() {
  for (auto& [key, icon] : Icons()) CurrentTrayShell()->Remove(icon.window, icon.id);
  Icons().clear();
  UINT taskbarCreated = RegisterWindowMessage("TaskbarCreated");
  for (HWND w : GetTopLevelWindows()) PostMessage(w, taskbarCreated, 0, 0);
}

void TrayGone() {
  const UINT gone = RegisterWindowMessage(kTrayGoneMessage);
  for (HWND w : GetTopLevelWindows()) PostMessage(w, gone, 0, 0);
}

}  // namespace talvik::gui

bool Shell_NotifyIcon(DWORD Message, NOTIFYICONDATA* Data) {
  if (!Data) return false;
  TrayShell* shell = CurrentTrayShell();
  if (!shell || !shell->Available()) return false;
  auto key = std::make_pair(Data->hWnd, Data->uID);
  auto it = Icons().find(key);
  switch (Message) {
    case NIM_ADD: {
      if (it != Icons().end() || !IsWindow(Data->hWnd)) return false;
      TrayIcon icon;
      icon.window = Data->hWnd;
      icon.id = Data->uID;
      if (Data->uFlags & NIF_MESSAGE) icon.callbackMessage = Data->uCallbackMessage;
      if (Data->uFlags & NIF_ICON) icon.icon = Data->hIcon;
      if (Data->uFlags & NIF_TIP) icon.tip = Tip(*Data);
      Icons()[key] = icon;
      shell->Show(icon);
      return true;
    }
    case NIM_MODIFY: {
      if (it == Icons().end()) return false;
      TrayIcon& icon = it->second;
      if (Data->uFlags & NIF_MESSAGE) icon.callbackMessage = Data->uCallbackMessage;
      if (Data->uFlags & NIF_ICON) icon.icon = Data->hIcon;
      if (Data->uFlags & NIF_TIP) icon.tip = Tip(*Data);
      shell->Show(icon);
      return true;
    }
    case NIM_DELETE:
      if (it == Icons().end()) return false;
      Icons().erase(it);
      shell->Remove(key.first, key.second);
      return true;
    default:
      return false;
  }
}

DWORD GetComCtlVersion() {
  return 0x00060000;  // 6.0
}

// ---------------------------------------------------------------- dropped files

struct HDROP__ {
  std::vector<std::string> files;
  POINT point;
  bool inClient = false;
};

namespace {

HWND FileDropTarget(POINT screen) {
  for (HWND w = WindowFromPoint(screen); w; w = GetAncestor(w, GA_PARENT))
    if (GetWindowLongPtr(w, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) return w;
  return nullptr;
}

}  // namespace

void DragAcceptFiles(HWND hwnd, bool accept) {
  std::intptr_t ex = GetWindowLongPtr(hwnd, GWL_EXSTYLE);
  ex = accept ? (ex | WS_EX_ACCEPTFILES) : (ex & ~static_cast<std::intptr_t>(WS_EX_ACCEPTFILES));
  SetWindowLongPtr(hwnd, GWL_EXSTYLE, ex);
}

UINT DragQueryFile(HDROP drop, UINT index, std::string* name) {
  if (!drop) return 0;
  if (index == kDragQueryFileCount) return static_cast<UINT>(drop->files.size());
  if (index >= drop->files.size()) return 0;
  if (name) *name = drop->files[index];
  return static_cast<UINT>(drop->files[index].size());
}

bool DragQueryPoint(HDROP drop, POINT& point) {
  if (!drop) return false;
  point = drop->point;
  return drop->inClient;
}

void DragFinish(HDROP drop) {
  delete drop;
}

namespace talvik::gui {

bool AcceptsFilesAt(POINT screen) {
  return FileDropTarget(screen) != nullptr;
}

bool InjectFileDrop(POINT screen, const std::vector<std::string>& files) {
  HWND target = FileDropTarget(screen);
  if (!target || files.empty()) return false;
  auto* drop = new HDROP__;
  drop->files = files;
  POINT p = screen;
  ScreenToClient(target, p);
  drop->point = p;
  RECT client;
  GetClientRect(target, client);
  drop->inClient = p.X >= client.Left && p.Y >= client.Top && p.X < client.Right && p.Y < client.Bottom;
  if (!PostMessage(target, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0)) {
    delete drop;
    return false;
  }
  return true;
}

}  // namespace talvik::gui
