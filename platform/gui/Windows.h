// The window-system API of Talvik's platform layer: handles, messages, styles, codes and the window
// manager's functions. The numbers are the classic ones, so message tables read the same everywhere.
// Everything here is implemented by our own window manager; top-level windows are shown through Qt.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/rtl/Classes.h"  // GetCurrentThreadId
#include "platform/rtl/Types.h"

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using COLORREF = std::uint32_t;
using ATOM = WORD;

struct HWND__;
using HWND = HWND__*;
struct HDC__;
using HDC = HDC__*;
struct HGDIOBJ__;
using HGDIOBJ = HGDIOBJ__*;
using HPEN = HGDIOBJ;
using HBRUSH = HGDIOBJ;
using HFONT = HGDIOBJ;
using HBITMAP = HGDIOBJ;
using HRGN = HGDIOBJ;
struct HCURSOR__;
using HCURSOR = HCURSOR__*;
using HICON = HCURSOR;
struct HMONITOR__;
using HMONITOR = HMONITOR__*;
struct HHOOK__;
using HHOOK = HHOOK__*;
using HINSTANCE = void*;
using HMENU = std::uintptr_t;  // a child window's id travels here as in CreateWindowEx

using RECT = TRect;
using POINT = TPoint;
using SIZE = TSize;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void (*)(HWND, UINT, std::uintptr_t, DWORD);
using HOOKPROC = LRESULT (*)(int code, WPARAM, LPARAM);
using WNDENUMPROC = std::function<bool(HWND)>;

constexpr WORD LOWORD(std::uintptr_t v) {
  return static_cast<WORD>(v & 0xFFFF);
}
constexpr WORD HIWORD(std::uintptr_t v) {
  return static_cast<WORD>((v >> 16) & 0xFFFF);
}
constexpr short GET_X_LPARAM(LPARAM l) {
  return static_cast<short>(LOWORD(static_cast<std::uintptr_t>(l)));
}
constexpr short GET_Y_LPARAM(LPARAM l) {
  return static_cast<short>(HIWORD(static_cast<std::uintptr_t>(l)));
}
constexpr short GET_WHEEL_DELTA_WPARAM(WPARAM w) {
  return static_cast<short>(HIWORD(w));
}
constexpr LPARAM MAKELPARAM(int lo, int hi) {
  return static_cast<LPARAM>(
      static_cast<std::int32_t>((static_cast<DWORD>(hi & 0xFFFF) << 16) | (lo & 0xFFFF)));
}
constexpr WPARAM MAKEWPARAM(int lo, int hi) {
  return static_cast<WPARAM>((static_cast<DWORD>(hi & 0xFFFF) << 16) | (lo & 0xFFFF));
}
constexpr COLORREF RGB(int r, int g, int b) {
  return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int GetRValue(COLORREF c) {
  return c & 0xFF;
}
constexpr int GetGValue(COLORREF c) {
  return (c >> 8) & 0xFF;
}
constexpr int GetBValue(COLORREF c) {
  return (c >> 16) & 0xFF;
}

// ---- messages ----
constexpr UINT WM_NULL = 0x0000, WM_CREATE = 0x0001, WM_DESTROY = 0x0002, WM_MOVE = 0x0003, WM_SIZE = 0x0005,
               WM_ACTIVATE = 0x0006, WM_SETFOCUS = 0x0007, WM_KILLFOCUS = 0x0008, WM_ENABLE = 0x000A,
               WM_SETREDRAW = 0x000B, WM_SETTEXT = 0x000C, WM_GETTEXT = 0x000D, WM_GETTEXTLENGTH = 0x000E,
               WM_PAINT = 0x000F, WM_CLOSE = 0x0010, WM_QUIT = 0x0012, WM_ERASEBKGND = 0x0014,
               WM_SYSCOLORCHANGE = 0x0015, WM_SHOWWINDOW = 0x0018, WM_SETTINGCHANGE = 0x001A,
               WM_ACTIVATEAPP = 0x001C, WM_CANCELMODE = 0x001F, WM_SETCURSOR = 0x0020,
               WM_MOUSEACTIVATE = 0x0021, WM_GETMINMAXINFO = 0x0024, WM_NEXTDLGCTL = 0x0028,
               WM_SETFONT = 0x0030, WM_GETFONT = 0x0031, WM_GETOBJECT = 0x003D, WM_WINDOWPOSCHANGING = 0x0046,
               WM_WINDOWPOSCHANGED = 0x0047, WM_CONTEXTMENU = 0x007B, WM_STYLECHANGING = 0x007C,
               WM_STYLECHANGED = 0x007D, WM_GETICON = 0x007F, WM_NCCREATE = 0x0081, WM_NCDESTROY = 0x0082,
               WM_NCCALCSIZE = 0x0083, WM_NCHITTEST = 0x0084, WM_NCPAINT = 0x0085, WM_NCACTIVATE = 0x0086,
               WM_GETDLGCODE = 0x0087, WM_NCMOUSEMOVE = 0x00A0, WM_NCLBUTTONDOWN = 0x00A1,
               WM_NCLBUTTONUP = 0x00A2, WM_NCLBUTTONDBLCLK = 0x00A3, WM_NCRBUTTONDOWN = 0x00A4,
               WM_NCRBUTTONUP = 0x00A5, WM_NCRBUTTONDBLCLK = 0x00A6, WM_NCMBUTTONDOWN = 0x00A7,
               WM_NCMBUTTONUP = 0x00A8, WM_NCMBUTTONDBLCLK = 0x00A9, WM_KEYFIRST = 0x0100,
               WM_KEYDOWN = 0x0100, WM_KEYUP = 0x0101, WM_CHAR = 0x0102, WM_DEADCHAR = 0x0103,
               WM_SYSKEYDOWN = 0x0104, WM_SYSKEYUP = 0x0105, WM_SYSCHAR = 0x0106, WM_SYSDEADCHAR = 0x0107,
               WM_KEYLAST = 0x0108, WM_IME_STARTCOMPOSITION = 0x010D, WM_IME_ENDCOMPOSITION = 0x010E,
               WM_IME_COMPOSITION = 0x010F, WM_INITDIALOG = 0x0110, WM_COMMAND = 0x0111,
               WM_SYSCOMMAND = 0x0112, WM_TIMER = 0x0113, WM_HSCROLL = 0x0114, WM_VSCROLL = 0x0115,
               WM_INITMENU = 0x0116, WM_INITMENUPOPUP = 0x0117, WM_MENUSELECT = 0x011F, WM_MENUCHAR = 0x0120,
               WM_ENTERIDLE = 0x0121, WM_CHANGEUISTATE = 0x0127, WM_UPDATEUISTATE = 0x0128,
               WM_QUERYUISTATE = 0x0129, WM_CTLCOLOREDIT = 0x0133, WM_CTLCOLORSTATIC = 0x0138,
               WM_MOUSEFIRST = 0x0200, WM_MOUSEMOVE = 0x0200, WM_LBUTTONDOWN = 0x0201, WM_LBUTTONUP = 0x0202,
               WM_LBUTTONDBLCLK = 0x0203, WM_RBUTTONDOWN = 0x0204, WM_RBUTTONUP = 0x0205,
               WM_RBUTTONDBLCLK = 0x0206, WM_MBUTTONDOWN = 0x0207, WM_MBUTTONUP = 0x0208,
               WM_MBUTTONDBLCLK = 0x0209, WM_MOUSEWHEEL = 0x020A, WM_MOUSELAST = 0x020A,
               WM_PARENTNOTIFY = 0x0210, WM_ENTERMENULOOP = 0x0211, WM_EXITMENULOOP = 0x0212,
               WM_MDICREATE = 0x0220, WM_MDIDESTROY = 0x0221, WM_MDIACTIVATE = 0x0222, WM_MDIRESTORE = 0x0223,
               WM_MDINEXT = 0x0224, WM_MDIMAXIMIZE = 0x0225, WM_MDITILE = 0x0226, WM_MDICASCADE = 0x0227,
               WM_MDIGETACTIVE = 0x0229, WM_CAPTURECHANGED = 0x0215, WM_ENTERSIZEMOVE = 0x0231,
               WM_EXITSIZEMOVE = 0x0232, WM_DROPFILES = 0x0233, WM_IME_NOTIFY = 0x0282,
               WM_NCMOUSELEAVE = 0x02A2, WM_MOUSELEAVE = 0x02A3, WM_CUT = 0x0300, WM_COPY = 0x0301,
               WM_PASTE = 0x0302, WM_CLEAR = 0x0303, WM_UNDO = 0x0304, WM_PRINT = 0x0317,
               WM_PRINTCLIENT = 0x0318, WM_APP = 0x8000, WM_USER = 0x0400;

// Messages of the class library (component messages and notifications reflected to controls).
constexpr UINT CM_BASE = 0xB000;
constexpr UINT CM_ACTIVATE = CM_BASE + 0, CM_DEACTIVATE = CM_BASE + 1, CM_GOTFOCUS = CM_BASE + 2,
               CM_LOSTFOCUS = CM_BASE + 3, CM_CANCELMODE = CM_BASE + 4, CM_DIALOGKEY = CM_BASE + 5,
               CM_DIALOGCHAR = CM_BASE + 6, CM_FOCUSCHANGED = CM_BASE + 7, CM_PARENTFONTCHANGED = CM_BASE + 8,
               CM_PARENTCOLORCHANGED = CM_BASE + 9, CM_HITTEST = CM_BASE + 10,
               CM_VISIBLECHANGED = CM_BASE + 11, CM_ENABLEDCHANGED = CM_BASE + 12,
               CM_COLORCHANGED = CM_BASE + 13, CM_FONTCHANGED = CM_BASE + 14, CM_CURSORCHANGED = CM_BASE + 15,
               CM_CTL3DCHANGED = CM_BASE + 16, CM_PARENTCTL3DCHANGED = CM_BASE + 17,
               CM_TEXTCHANGED = CM_BASE + 18, CM_MOUSEENTER = CM_BASE + 19, CM_MOUSELEAVE = CM_BASE + 20,
               CM_MENUCHANGED = CM_BASE + 21, CM_APPKEYDOWN = CM_BASE + 22, CM_APPSYSCOMMAND = CM_BASE + 23,
               CM_BUTTONPRESSED = CM_BASE + 24, CM_SHOWINGCHANGED = CM_BASE + 25, CM_ENTER = CM_BASE + 26,
               CM_EXIT = CM_BASE + 27, CM_DESIGNHITTEST = CM_BASE + 28, CM_ICONCHANGED = CM_BASE + 29,
               CM_WANTSPECIALKEY = CM_BASE + 30, CM_INVOKEHELP = CM_BASE + 31, CM_WINDOWHOOK = CM_BASE + 32,
               CM_RELEASE = CM_BASE + 33, CM_SHOWHINTCHANGED = CM_BASE + 34,
               CM_PARENTSHOWHINTCHANGED = CM_BASE + 35, CM_SYSCOLORCHANGE = CM_BASE + 36,
               CM_WININICHANGE = CM_BASE + 37, CM_FONTCHANGE = CM_BASE + 38, CM_TIMECHANGE = CM_BASE + 39,
               CM_TABSTOPCHANGED = CM_BASE + 40, CM_UIACTIVATE = CM_BASE + 41, CM_UIDEACTIVATE = CM_BASE + 42,
               CM_DOCWINDOWACTIVATE = CM_BASE + 43, CM_CONTROLLISTCHANGE = CM_BASE + 44,
               CM_GETDATALINK = CM_BASE + 45, CM_CHILDKEY = CM_BASE + 46, CM_DRAG = CM_BASE + 47,
               CM_HINTSHOW = CM_BASE + 48, CM_DIALOGHANDLE = CM_BASE + 49, CM_ISTOOLCONTROL = CM_BASE + 50,
               CM_RECREATEWND = CM_BASE + 51, CM_INVALIDATE = CM_BASE + 52, CM_SYSFONTCHANGED = CM_BASE + 53,
               CM_CONTROLCHANGE = CM_BASE + 54, CM_CHANGED = CM_BASE + 55, CM_DOCKCLIENT = CM_BASE + 56,
               CM_UNDOCKCLIENT = CM_BASE + 57, CM_FLOAT = CM_BASE + 58, CM_BORDERCHANGED = CM_BASE + 59,
               CM_BIDIMODECHANGED = CM_BASE + 60, CM_PARENTBIDIMODECHANGED = CM_BASE + 61,
               CM_ALLCHILDRENFLIPPED = CM_BASE + 62, CM_ACTIONUPDATE = CM_BASE + 63,
               CM_ACTIONEXECUTE = CM_BASE + 64, CM_HINTSHOWPAUSE = CM_BASE + 65,
               CM_DOCKNOTIFICATION = CM_BASE + 66, CM_MOUSEWHEEL = CM_BASE + 67, CM_ISSHORTCUT = CM_BASE + 68,
               CM_INVALIDATEDOCKHOST = CM_BASE + 70, CM_SETACTIVECONTROL = CM_BASE + 71,
               CM_POPUPHWNDDESTROY = CM_BASE + 72, CM_CREATEPOPUP = CM_BASE + 73,
               CM_DESTROYHANDLE = CM_BASE + 74, CM_MOUSEACTIVATE = CM_BASE + 75,
               CM_CONTROLLISTCHANGING = CM_BASE + 76, CM_BUFFEREDPRINTCLIENT = CM_BASE + 77,
               CM_UNTHEMECONTROL = CM_BASE + 78;
// Notifications the class library reflects back to the control that caused them.
constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND, CN_HSCROLL = CN_BASE + WM_HSCROLL,
               CN_VSCROLL = CN_BASE + WM_VSCROLL, CN_KEYDOWN = CN_BASE + WM_KEYDOWN,
               CN_KEYUP = CN_BASE + WM_KEYUP, CN_CHAR = CN_BASE + WM_CHAR,
               CN_SYSKEYDOWN = CN_BASE + WM_SYSKEYDOWN, CN_SYSCHAR = CN_BASE + WM_SYSCHAR,
               CN_CTLCOLOREDIT = CN_BASE + WM_CTLCOLOREDIT, CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC;

// ---- edit, button and list-box messages and notifications ----
constexpr UINT EM_GETSEL = 0x00B0, EM_SETSEL = 0x00B1, EM_GETRECT = 0x00B2, EM_SETRECT = 0x00B3,
               EM_SETRECTNP = 0x00B4, EM_SCROLL = 0x00B5, EM_LINESCROLL = 0x00B6, EM_SCROLLCARET = 0x00B7,
               EM_GETMODIFY = 0x00B8, EM_SETMODIFY = 0x00B9, EM_GETLINECOUNT = 0x00BA, EM_LINEINDEX = 0x00BB,
               EM_LINELENGTH = 0x00C1, EM_REPLACESEL = 0x00C2, EM_GETLINE = 0x00C4, EM_LIMITTEXT = 0x00C5,
               EM_SETLIMITTEXT = 0x00C5, EM_CANUNDO = 0x00C6, EM_UNDO = 0x00C7, EM_LINEFROMCHAR = 0x00C9,
               EM_SETPASSWORDCHAR = 0x00CC, EM_EMPTYUNDOBUFFER = 0x00CD, EM_GETFIRSTVISIBLELINE = 0x00CE,
               EM_SETREADONLY = 0x00CF, EM_GETPASSWORDCHAR = 0x00D2, EM_SETMARGINS = 0x00D3,
               EM_GETLIMITTEXT = 0x00D5, EM_POSFROMCHAR = 0x00D6, EM_CHARFROMPOS = 0x00D7;
constexpr UINT EC_LEFTMARGIN = 0x0001, EC_RIGHTMARGIN = 0x0002;
constexpr UINT EN_MAXTEXT = 0x0501, EN_HSCROLL = 0x0601, EN_VSCROLL = 0x0602;
constexpr UINT EN_SETFOCUS = 0x0100, EN_KILLFOCUS = 0x0200, EN_CHANGE = 0x0300, EN_UPDATE = 0x0400;
constexpr UINT BM_GETCHECK = 0x00F0, BM_SETCHECK = 0x00F1, BM_GETSTATE = 0x00F2, BM_SETSTATE = 0x00F3,
               BM_CLICK = 0x00F5;
constexpr UINT BN_CLICKED = 0, BN_DBLCLICKED = 5, BST_UNCHECKED = 0, BST_CHECKED = 1, BST_INDETERMINATE = 2,
               BST_PUSHED = 4, BST_FOCUS = 8;
constexpr UINT LB_SELECTSTRING = 0x018C, LB_FINDSTRING = 0x018F, LB_ERR = static_cast<UINT>(-1);
constexpr UINT CB_GETCOUNT = 0x0146, CB_GETCURSEL = 0x0147, CB_SELECTSTRING = 0x014D, CB_SETCURSEL = 0x014E,
               CB_SHOWDROPDOWN = 0x014F, CB_GETDROPPEDSTATE = 0x0157, CB_FINDSTRINGEXACT = 0x0158,
               CB_ERR = static_cast<UINT>(-1);
constexpr UINT MCM_FIRST = 0x1000, MCM_GETMINREQRECT = MCM_FIRST + 9;

// ---- window styles ----
constexpr DWORD WS_OVERLAPPED = 0x00000000, WS_POPUP = 0x80000000, WS_CHILD = 0x40000000,
                WS_MINIMIZE = 0x20000000, WS_VISIBLE = 0x10000000, WS_DISABLED = 0x08000000,
                WS_CLIPSIBLINGS = 0x04000000, WS_CLIPCHILDREN = 0x02000000, WS_MAXIMIZE = 0x01000000,
                WS_CAPTION = 0x00C00000, WS_BORDER = 0x00800000, WS_DLGFRAME = 0x00400000,
                WS_VSCROLL = 0x00200000, WS_HSCROLL = 0x00100000, WS_SYSMENU = 0x00080000,
                WS_THICKFRAME = 0x00040000, WS_GROUP = 0x00020000, WS_TABSTOP = 0x00010000,
                WS_MINIMIZEBOX = 0x00020000, WS_MAXIMIZEBOX = 0x00010000, WS_SIZEBOX = WS_THICKFRAME,
                WS_OVERLAPPEDWINDOW =
                    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX,
                WS_POPUPWINDOW = WS_POPUP | WS_BORDER | WS_SYSMENU;
constexpr DWORD WS_EX_DLGMODALFRAME = 0x00000001, WS_EX_NOPARENTNOTIFY = 0x00000004,
                WS_EX_TOPMOST = 0x00000008, WS_EX_ACCEPTFILES = 0x00000010, WS_EX_TRANSPARENT = 0x00000020,
                WS_EX_MDICHILD = 0x00000040, WS_EX_TOOLWINDOW = 0x00000080, WS_EX_WINDOWEDGE = 0x00000100,
                WS_EX_CLIENTEDGE = 0x00000200, WS_EX_CONTEXTHELP = 0x00000400, WS_EX_RIGHT = 0x00001000,
                WS_EX_RTLREADING = 0x00002000, WS_EX_LEFTSCROLLBAR = 0x00004000,
                WS_EX_CONTROLPARENT = 0x00010000, WS_EX_STATICEDGE = 0x00020000, WS_EX_APPWINDOW = 0x00040000,
                WS_EX_LAYERED = 0x00080000, WS_EX_NOACTIVATE = 0x08000000;
constexpr DWORD CS_VREDRAW = 0x0001, CS_HREDRAW = 0x0002, CS_DBLCLKS = 0x0008, CS_OWNDC = 0x0020,
                CS_CLASSDC = 0x0040, CS_PARENTDC = 0x0080, CS_NOCLOSE = 0x0200, CS_SAVEBITS = 0x0800,
                CS_DROPSHADOW = 0x00020000;
constexpr DWORD ES_LEFT = 0x0000, ES_CENTER = 0x0001, ES_RIGHT = 0x0002, ES_MULTILINE = 0x0004,
                ES_UPPERCASE = 0x0008, ES_LOWERCASE = 0x0010, ES_PASSWORD = 0x0020, ES_AUTOVSCROLL = 0x0040,
                ES_AUTOHSCROLL = 0x0080, ES_NOHIDESEL = 0x0100, ES_READONLY = 0x0800, ES_WANTRETURN = 0x1000,
                ES_NUMBER = 0x2000;

// ---- window long indexes, GetWindow, GetAncestor, ShowWindow, SetWindowPos ----
constexpr int GWL_WNDPROC = -4, GWLP_WNDPROC = -4, GWL_HINSTANCE = -6, GWL_ID = -12, GWLP_ID = -12,
              GWL_STYLE = -16, GWL_EXSTYLE = -20, GWL_USERDATA = -21, GWLP_USERDATA = -21,
              GWL_HWNDPARENT = -8, GWLP_HWNDPARENT = -8;
constexpr UINT GW_HWNDFIRST = 0, GW_HWNDLAST = 1, GW_HWNDNEXT = 2, GW_HWNDPREV = 3, GW_OWNER = 4,
               GW_CHILD = 5;
constexpr UINT GA_PARENT = 1, GA_ROOT = 2, GA_ROOTOWNER = 3;
constexpr int SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_NORMAL = 1, SW_SHOWMINIMIZED = 2, SW_SHOWMAXIMIZED = 3,
              SW_MAXIMIZE = 3, SW_SHOWNOACTIVATE = 4, SW_SHOW = 5, SW_MINIMIZE = 6, SW_SHOWMINNOACTIVE = 7,
              SW_SHOWNA = 8, SW_RESTORE = 9, SW_SHOWDEFAULT = 10;
constexpr UINT SWP_NOSIZE = 0x0001, SWP_NOMOVE = 0x0002, SWP_NOZORDER = 0x0004, SWP_NOREDRAW = 0x0008,
               SWP_NOACTIVATE = 0x0010, SWP_FRAMECHANGED = 0x0020, SWP_SHOWWINDOW = 0x0040,
               SWP_HIDEWINDOW = 0x0080, SWP_NOCOPYBITS = 0x0100, SWP_NOOWNERZORDER = 0x0200,
               SWP_NOSENDCHANGING = 0x0400;
inline HWND const HWND_TOP = nullptr;
inline HWND const HWND_BOTTOM = reinterpret_cast<HWND>(1);
inline HWND const HWND_TOPMOST = reinterpret_cast<HWND>(-1);
inline HWND const HWND_NOTOPMOST = reinterpret_cast<HWND>(-2);
constexpr int SIZE_RESTORED = 0, SIZE_MINIMIZED = 1, SIZE_MAXIMIZED = 2;
constexpr UINT WA_INACTIVE = 0, WA_ACTIVE = 1, WA_CLICKACTIVE = 2;
constexpr UINT MA_ACTIVATE = 1, MA_ACTIVATEANDEAT = 2, MA_NOACTIVATE = 3, MA_NOACTIVATEANDEAT = 4;
constexpr UINT SC_SIZE = 0xF000, SC_MOVE = 0xF010, SC_MINIMIZE = 0xF020, SC_MAXIMIZE = 0xF030,
               SC_NEXTWINDOW = 0xF040, SC_CLOSE = 0xF060, SC_KEYMENU = 0xF100, SC_RESTORE = 0xF120;

// ---- hit-test codes ----
constexpr int HTERROR = -2, HTTRANSPARENT = -1, HTNOWHERE = 0, HTCLIENT = 1, HTCAPTION = 2, HTSYSMENU = 3,
              HTGROWBOX = 4, HTSIZE = 4, HTMENU = 5, HTHSCROLL = 6, HTVSCROLL = 7, HTMINBUTTON = 8,
              HTMAXBUTTON = 9, HTLEFT = 10, HTRIGHT = 11, HTTOP = 12, HTTOPLEFT = 13, HTTOPRIGHT = 14,
              HTBOTTOM = 15, HTBOTTOMLEFT = 16, HTBOTTOMRIGHT = 17, HTBORDER = 18, HTCLOSE = 20, HTHELP = 21;

// ---- mouse key flags, virtual keys, key-data bits ----
constexpr WPARAM MK_LBUTTON = 0x0001, MK_RBUTTON = 0x0002, MK_SHIFT = 0x0004, MK_CONTROL = 0x0008,
                 MK_MBUTTON = 0x0010;
constexpr int WHEEL_DELTA = 120;
constexpr WORD VK_LBUTTON = 0x01, VK_RBUTTON = 0x02, VK_CANCEL = 0x03, VK_MBUTTON = 0x04, VK_BACK = 0x08,
               VK_TAB = 0x09, VK_CLEAR = 0x0C, VK_RETURN = 0x0D, VK_SHIFT = 0x10, VK_CONTROL = 0x11,
               VK_MENU = 0x12, VK_PAUSE = 0x13, VK_CAPITAL = 0x14, VK_ESCAPE = 0x1B, VK_SPACE = 0x20,
               VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23, VK_HOME = 0x24, VK_LEFT = 0x25, VK_UP = 0x26,
               VK_RIGHT = 0x27, VK_DOWN = 0x28, VK_SELECT = 0x29, VK_PRINT = 0x2A, VK_SNAPSHOT = 0x2C,
               VK_INSERT = 0x2D, VK_DELETE = 0x2E, VK_HELP = 0x2F, VK_LWIN = 0x5B, VK_RWIN = 0x5C,
               VK_APPS = 0x5D, VK_NUMPAD0 = 0x60, VK_MULTIPLY = 0x6A, VK_ADD = 0x6B, VK_SEPARATOR = 0x6C,
               VK_SUBTRACT = 0x6D, VK_DECIMAL = 0x6E, VK_DIVIDE = 0x6F, VK_F1 = 0x70, VK_F2 = 0x71,
               VK_F3 = 0x72, VK_F4 = 0x73, VK_F5 = 0x74, VK_F6 = 0x75, VK_F7 = 0x76, VK_F8 = 0x77,
               VK_F9 = 0x78, VK_F10 = 0x79, VK_F11 = 0x7A, VK_F12 = 0x7B, VK_NUMLOCK = 0x90, VK_SCROLL = 0x91,
               VK_LSHIFT = 0xA0, VK_RSHIFT = 0xA1, VK_LCONTROL = 0xA2, VK_RCONTROL = 0xA3, VK_LMENU = 0xA4,
               VK_RMENU = 0xA5, VK_OEM_1 = 0xBA, VK_OEM_PLUS = 0xBB, VK_OEM_COMMA = 0xBC, VK_OEM_MINUS = 0xBD,
               VK_OEM_PERIOD = 0xBE, VK_OEM_2 = 0xBF, VK_OEM_3 = 0xC0, VK_OEM_4 = 0xDB, VK_OEM_5 = 0xDC,
               VK_OEM_6 = 0xDD, VK_OEM_7 = 0xDE, VK_OEM_102 = 0xE2, VK_PROCESSKEY = 0xE5;
constexpr DWORD KF_EXTENDED = 0x0100, KF_ALTDOWN = 0x2000, KF_REPEAT = 0x4000, KF_UP = 0x8000;

// ---- dialog codes ----
constexpr LRESULT DLGC_WANTARROWS = 0x0001, DLGC_WANTTAB = 0x0002, DLGC_WANTALLKEYS = 0x0004,
                  DLGC_WANTMESSAGE = 0x0004, DLGC_HASSETSEL = 0x0008, DLGC_DEFPUSHBUTTON = 0x0010,
                  DLGC_UNDEFPUSHBUTTON = 0x0020, DLGC_RADIOBUTTON = 0x0040, DLGC_WANTCHARS = 0x0080,
                  DLGC_STATIC = 0x0100, DLGC_BUTTON = 0x2000;

// ---- message queue ----
constexpr UINT PM_NOREMOVE = 0x0000, PM_REMOVE = 0x0001, PM_NOYIELD = 0x0002;
constexpr DWORD QS_KEY = 0x0001, QS_MOUSEMOVE = 0x0002, QS_MOUSEBUTTON = 0x0004, QS_POSTMESSAGE = 0x0008,
                QS_TIMER = 0x0010, QS_PAINT = 0x0020, QS_SENDMESSAGE = 0x0040, QS_MOUSE = 0x0006,
                QS_INPUT = 0x0007, QS_ALLINPUT = 0x00FF;

struct MSG {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  DWORD time = 0;
  POINT pt;
  char32_t translated = 0;  // the character a key message yields when translated (0: none)
  // The input event the message came from (0: none). Taking it from the queue makes the keyboard
  // state GetKeyState answers the one of that moment, so a backlog of input never misreads a shortcut.
  std::uint64_t input = 0;
};

// ---- scroll bars ----
constexpr int SB_HORZ = 0, SB_VERT = 1, SB_CTL = 2, SB_BOTH = 3;
constexpr int SB_LINEUP = 0, SB_LINELEFT = 0, SB_LINEDOWN = 1, SB_LINERIGHT = 1, SB_PAGEUP = 2,
              SB_PAGELEFT = 2, SB_PAGEDOWN = 3, SB_PAGERIGHT = 3, SB_THUMBPOSITION = 4, SB_THUMBTRACK = 5,
              SB_TOP = 6, SB_LEFT = 6, SB_BOTTOM = 7, SB_RIGHT = 7, SB_ENDSCROLL = 8;
constexpr UINT SIF_RANGE = 0x0001, SIF_PAGE = 0x0002, SIF_POS = 0x0004, SIF_DISABLENOSCROLL = 0x0008,
               SIF_TRACKPOS = 0x0010, SIF_ALL = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;
constexpr UINT ESB_ENABLE_BOTH = 0, ESB_DISABLE_LEFT = 1, ESB_DISABLE_UP = 1, ESB_DISABLE_RIGHT = 2,
               ESB_DISABLE_DOWN = 2, ESB_DISABLE_BOTH = 3;
struct SCROLLINFO {
  UINT cbSize = sizeof(SCROLLINFO);
  UINT fMask = 0;
  int nMin = 0;
  int nMax = 0;
  UINT nPage = 0;
  int nPos = 0;
  int nTrackPos = 0;
};

// ---- structures passed with messages ----
struct CREATESTRUCT {
  void* lpCreateParams = nullptr;
  HWND hwndParent = nullptr;
  HMENU hMenu = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  DWORD style = 0;
  DWORD dwExStyle = 0;
  std::string lpszName;
  std::string lpszClass;
};
struct WINDOWPOS {
  HWND hwnd = nullptr;
  HWND hwndInsertAfter = nullptr;
  int x = 0, y = 0, cx = 0, cy = 0;
  UINT flags = 0;
};
struct NCCALCSIZE_PARAMS {
  RECT rgrc[3];  // [0]: new window rect in parent coordinates in, client rect out
  WINDOWPOS* lppos = nullptr;
};
struct MINMAXINFO {
  POINT ptReserved, ptMaxSize, ptMaxPosition, ptMinTrackSize, ptMaxTrackSize;
};
struct PAINTSTRUCT {
  HDC hdc = nullptr;
  bool fErase = false;
  RECT rcPaint;
};
struct CWPSTRUCT {
  LPARAM lParam = 0;
  WPARAM wParam = 0;
  UINT message = 0;
  HWND hwnd = nullptr;
};
struct CBT_CREATEWND {
  CREATESTRUCT* lpcs = nullptr;
  HWND hwndInsertAfter = nullptr;
};
struct TRACKMOUSEEVENT {
  DWORD dwFlags = 0;
  HWND hwndTrack = nullptr;
  DWORD dwHoverTime = 0;
};
constexpr DWORD TME_HOVER = 1, TME_LEAVE = 2, TME_NONCLIENT = 0x10, TME_CANCEL = 0x80000000;

// ---- hooks ----
constexpr int WH_GETMESSAGE = 3, WH_CALLWNDPROC = 4, WH_CBT = 5;
constexpr int HC_ACTION = 0;
constexpr int HCBT_MOVESIZE = 0, HCBT_MINMAX = 1, HCBT_QS = 2, HCBT_CREATEWND = 3, HCBT_DESTROYWND = 4,
              HCBT_ACTIVATE = 5, HCBT_CLICKSKIPPED = 6, HCBT_KEYSKIPPED = 7, HCBT_SYSCOMMAND = 8,
              HCBT_SETFOCUS = 9;

// ---- system colours and metrics ----
constexpr int COLOR_SCROLLBAR = 0, COLOR_BACKGROUND = 1, COLOR_ACTIVECAPTION = 2, COLOR_INACTIVECAPTION = 3,
              COLOR_MENU = 4, COLOR_WINDOW = 5, COLOR_WINDOWFRAME = 6, COLOR_MENUTEXT = 7,
              COLOR_WINDOWTEXT = 8, COLOR_CAPTIONTEXT = 9, COLOR_ACTIVEBORDER = 10, COLOR_INACTIVEBORDER = 11,
              COLOR_APPWORKSPACE = 12, COLOR_HIGHLIGHT = 13, COLOR_HIGHLIGHTTEXT = 14, COLOR_BTNFACE = 15,
              COLOR_BTNSHADOW = 16, COLOR_GRAYTEXT = 17, COLOR_BTNTEXT = 18, COLOR_INACTIVECAPTIONTEXT = 19,
              COLOR_BTNHIGHLIGHT = 20, COLOR_3DDKSHADOW = 21, COLOR_3DLIGHT = 22, COLOR_INFOTEXT = 23,
              COLOR_INFOBK = 24, COLOR_HOTLIGHT = 26, COLOR_GRADIENTACTIVECAPTION = 27,
              COLOR_GRADIENTINACTIVECAPTION = 28, COLOR_MENUHILIGHT = 29, COLOR_MENUBAR = 30,
              COLOR_3DFACE = COLOR_BTNFACE, COLOR_3DSHADOW = COLOR_BTNSHADOW,
              COLOR_3DHIGHLIGHT = COLOR_BTNHIGHLIGHT, COLOR_3DHILIGHT = COLOR_BTNHIGHLIGHT,
              COLOR_BTNHILIGHT = COLOR_BTNHIGHLIGHT, COLOR_DESKTOP = COLOR_BACKGROUND, COLOR_ENDCOLORS = 31;
constexpr int SM_CXSCREEN = 0, SM_CYSCREEN = 1, SM_CXVSCROLL = 2, SM_CYHSCROLL = 3, SM_CYCAPTION = 4,
              SM_CXBORDER = 5, SM_CYBORDER = 6, SM_CXDLGFRAME = 7, SM_CXFIXEDFRAME = 7, SM_CYDLGFRAME = 8,
              SM_CYFIXEDFRAME = 8, SM_CYVTHUMB = 9, SM_CXHTHUMB = 10, SM_CXICON = 11, SM_CYICON = 12,
              SM_CXCURSOR = 13, SM_CYCURSOR = 14, SM_CYMENU = 15, SM_CXFULLSCREEN = 16, SM_CYFULLSCREEN = 17,
              SM_CYVSCROLL = 20, SM_CXHSCROLL = 21, SM_SWAPBUTTON = 23, SM_CXMIN = 28, SM_CYMIN = 29,
              SM_CXSIZE = 30, SM_CYSIZE = 31, SM_CXFRAME = 32, SM_CXSIZEFRAME = 32, SM_CYFRAME = 33,
              SM_CYSIZEFRAME = 33, SM_CXDOUBLECLK = 36, SM_CYDOUBLECLK = 37, SM_CXEDGE = 45, SM_CYEDGE = 46,
              SM_CXSMICON = 49, SM_CYSMICON = 50, SM_CYSMCAPTION = 51, SM_CXSMSIZE = 52, SM_CYSMSIZE = 53,
              SM_CXMENUCHECK = 71, SM_CYMENUCHECK = 72, SM_CXDRAG = 68, SM_CYDRAG = 69, SM_CXMENUSIZE = 54,
              SM_CYMENUSIZE = 55, SM_MOUSEWHEELPRESENT = 75, SM_CXVIRTUALSCREEN = 78, SM_CYVIRTUALSCREEN = 79,
              SM_CMONITORS = 80, SM_MENUDROPALIGNMENT = 40;
constexpr UINT SPI_GETWORKAREA = 0x0030, SPI_SETWORKAREA = 0x002F, SPI_GETWHEELSCROLLLINES = 0x0068,
               SPI_GETNONCLIENTMETRICS = 0x0029, SPI_SETNONCLIENTMETRICS = 0x002A,
               SPI_GETMENUSHOWDELAY = 0x006A, SPI_SETMENUSHOWDELAY = 0x006B, SPI_GETFLATMENU = 0x1022,
               SPI_SETFLATMENU = 0x1023, SPI_GETKEYBOARDCUES = 0x100A, SPI_SETKEYBOARDCUES = 0x100B,
               SPI_GETMENUANIMATION = 0x1002, SPI_SETMENUANIMATION = 0x1003, SPI_GETMENUFADE = 0x1012,
               SPI_SETMENUFADE = 0x1013;
// WM_CHANGEUISTATE / WM_UPDATEUISTATE actions (low word of wParam) and flags (high word).
constexpr WORD UIS_SET = 1, UIS_CLEAR = 2, UIS_INITIALIZE = 3;
constexpr WORD UISF_HIDEFOCUS = 0x1, UISF_HIDEACCEL = 0x2;
constexpr DWORD MONITOR_DEFAULTTONULL = 0, MONITOR_DEFAULTTOPRIMARY = 1, MONITOR_DEFAULTTONEAREST = 2;
constexpr DWORD MONITORINFOF_PRIMARY = 1;
struct MONITORINFO {
  DWORD cbSize = sizeof(MONITORINFO);
  RECT rcMonitor;
  RECT rcWork;
  DWORD dwFlags = 0;
};

// ---- cursors ----
// Standard cursor ids; LoadCursor(nullptr, id) answers the shared cursor.
constexpr int IDC_ARROW = 32512, IDC_IBEAM = 32513, IDC_WAIT = 32514, IDC_CROSS = 32515, IDC_UPARROW = 32516,
              IDC_SIZENWSE = 32642, IDC_SIZENESW = 32643, IDC_SIZEWE = 32644, IDC_SIZENS = 32645,
              IDC_SIZEALL = 32646, IDC_NO = 32648, IDC_HAND = 32649, IDC_APPSTARTING = 32650,
              IDC_HELP = 32651;

// ---- message boxes ----
constexpr UINT MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_ABORTRETRYIGNORE = 0x2, MB_YESNOCANCEL = 0x3,
               MB_YESNO = 0x4, MB_RETRYCANCEL = 0x5, MB_ICONHAND = 0x10, MB_ICONSTOP = 0x10,
               MB_ICONERROR = 0x10, MB_ICONQUESTION = 0x20, MB_ICONEXCLAMATION = 0x30, MB_ICONWARNING = 0x30,
               MB_ICONASTERISK = 0x40, MB_ICONINFORMATION = 0x40, MB_DEFBUTTON2 = 0x100, MB_APPLMODAL = 0x0,
               MB_TASKMODAL = 0x2000;
constexpr int IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7;

// ---- arithmetic and registered messages ----
// a * b / c in 64 bits, rounded half away from zero; -1 when c is 0.
int MulDiv(int a, int b, int c);
// A message number in 0xC000..0xFFFF, the same for every caller that gives the same name (case-insensitive).
UINT RegisterWindowMessage(const std::string& name);

// ---- the window manager ----
struct WNDCLASS {
  UINT style = 0;
  WNDPROC lpfnWndProc = nullptr;
  HCURSOR hCursor = nullptr;
  HBRUSH hbrBackground = nullptr;  // a brush, or (COLOR_xxx + 1) cast to a brush
  std::string lpszClassName;
};

ATOM RegisterClass(const WNDCLASS& wc);
bool UnregisterClass(const std::string& className);
bool GetClassInfo(const std::string& className, WNDCLASS& out);
std::string GetClassName(HWND hwnd);

HWND CreateWindowEx(DWORD exStyle, const std::string& className, const std::string& windowName, DWORD style,
                    int x, int y, int width, int height, HWND parent, HMENU menuOrId, HINSTANCE instance,
                    void* param);
bool DestroyWindow(HWND hwnd);
bool IsWindow(HWND hwnd);

LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
std::intptr_t GetWindowLongPtr(HWND hwnd, int index);
std::intptr_t SetWindowLongPtr(HWND hwnd, int index, std::intptr_t value);
inline std::intptr_t GetWindowLong(HWND hwnd, int index) {
  return GetWindowLongPtr(hwnd, index);
}
inline std::intptr_t SetWindowLong(HWND hwnd, int index, std::intptr_t value) {
  return SetWindowLongPtr(hwnd, index, value);
}
// Named window properties (SetProp/GetProp/RemoveProp).
bool SetProp(HWND hwnd, const std::string& name, void* data);
void* GetProp(HWND hwnd, const std::string& name);
void* RemoveProp(HWND hwnd, const std::string& name);

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
bool PostMessage(HWND hwnd, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);  // thread-safe
void PostQuitMessage(int exitCode);
bool GetMessage(MSG& msg, HWND hwnd, UINT filterMin, UINT filterMax);  // false on WM_QUIT
bool PeekMessage(MSG& msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags);
bool TranslateMessage(const MSG& msg);
LRESULT DispatchMessage(const MSG& msg);
bool WaitMessage();
DWORD GetQueueStatus(UINT flags);
DWORD GetMessageTime();
DWORD GetMessagePos();  // screen position of the last message retrieved, x in the low word
bool InSendMessage();

std::uintptr_t SetTimer(HWND hwnd, std::uintptr_t id, UINT elapse, TIMERPROC proc);
bool KillTimer(HWND hwnd, std::uintptr_t id);

HWND GetParent(HWND hwnd);  // the parent of a child, the owner of a popup
HWND SetParent(HWND child, HWND newParent);
HWND GetAncestor(HWND hwnd, UINT flags);
HWND GetWindow(HWND hwnd, UINT cmd);
HWND GetTopWindow(HWND hwnd);
// The visible, enabled captioned window that the top-level window owns (directly or through the windows it
// owns) highest in z-order, as the last one of them activated stands: the dialog a window disabled
// for it waits for. The window itself when it owns none.
HWND GetLastActivePopup(HWND owner);
bool IsChild(HWND parent, HWND hwnd);
bool EnumChildWindows(HWND parent, const WNDENUMPROC& proc);  // every descendant, in z-order
bool EnumWindows(const WNDENUMPROC& proc);                    // top-level windows, in z-order
std::vector<HWND> GetTopLevelWindows();

bool GetWindowRect(HWND hwnd, RECT& r);  // screen coordinates
bool GetClientRect(HWND hwnd, RECT& r);  // (0, 0, width, height)
bool ClientToScreen(HWND hwnd, POINT& p);
bool ScreenToClient(HWND hwnd, POINT& p);
int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count);
bool MoveWindow(HWND hwnd, int x, int y, int width, int height, bool repaint);
bool SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
bool BringWindowToTop(HWND hwnd);
HWND WindowFromPoint(POINT screen);
HWND ChildWindowFromPoint(HWND parent, POINT client);
bool ShowWindow(HWND hwnd, int cmd);
bool IsWindowVisible(HWND hwnd);
bool IsIconic(HWND hwnd);
bool IsZoomed(HWND hwnd);
// The placement of a top-level window: its state as a show command (SW_SHOWNORMAL, SW_SHOWMINIMIZED or
// SW_SHOWMAXIMIZED) and its normal-position rectangle on the screen, which a maximised window returns
// to when restored (and which a minimised one keeps).
struct WINDOWPLACEMENT {
  UINT length = sizeof(WINDOWPLACEMENT);
  UINT flags = 0;
  UINT showCmd = 0;
  POINT ptMinPosition{-1, -1};
  POINT ptMaxPosition{-1, -1};
  RECT rcNormalPosition;
};
bool GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT& placement);
// Moves the normal-position rectangle (for a maximised window: the rectangle it is restored to) and
// brings the window into the state of showCmd.
bool SetWindowPlacement(HWND hwnd, const WINDOWPLACEMENT& placement);
bool EnableWindow(HWND hwnd, bool enable);
bool IsWindowEnabled(HWND hwnd);
bool SetWindowText(HWND hwnd, const std::string& text);
std::string GetWindowText(HWND hwnd);
int GetDlgCtrlID(HWND hwnd);
HWND GetDlgItem(HWND parent, int id);

// Painting support that does not need a device context.
bool InvalidateRect(HWND hwnd, const RECT* r, bool erase);
bool ValidateRect(HWND hwnd, const RECT* r);
bool GetUpdateRect(HWND hwnd, RECT* r, bool erase);
bool UpdateWindow(HWND hwnd);
constexpr UINT RDW_INVALIDATE = 0x0001, RDW_INTERNALPAINT = 0x0002, RDW_ERASE = 0x0004, RDW_VALIDATE = 0x0008,
               RDW_NOINTERNALPAINT = 0x0010, RDW_NOERASE = 0x0020, RDW_NOCHILDREN = 0x0040,
               RDW_ALLCHILDREN = 0x0080, RDW_UPDATENOW = 0x0100, RDW_ERASENOW = 0x0200, RDW_FRAME = 0x0400,
               RDW_NOFRAME = 0x0800;
bool RedrawWindow(HWND hwnd, const RECT* r, HRGN region, UINT flags);
constexpr UINT SW_SCROLLCHILDREN = 0x0001, SW_INVALIDATE = 0x0002, SW_ERASE = 0x0004;
int ScrollWindowEx(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN update,
                   RECT* updateRect, UINT flags);
bool ScrollWindow(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip);
HDC BeginPaint(HWND hwnd, PAINTSTRUCT& ps);
bool EndPaint(HWND hwnd, const PAINTSTRUCT& ps);
HDC GetDC(HWND hwnd);        // the client area
HDC GetWindowDC(HWND hwnd);  // the whole window, frame included
int ReleaseDC(HWND hwnd, HDC dc);
int SetWindowRgn(HWND hwnd, HRGN region, bool redraw);  // the window takes the region over
// Asks a top-level window for its size limits again (WM_GETMINMAXINFO) and hands those beyond the
// system's own to the desktop, which then sizes the window only within them.
void SizeLimitsChanged(HWND hwnd);
// Copies the window's region into `region`; ERROR (0) when the window has none.
int GetWindowRgn(HWND hwnd, HRGN region);

// Focus, activation, capture.
HWND SetFocus(HWND hwnd);
HWND GetFocus();
HWND SetActiveWindow(HWND hwnd);
HWND GetActiveWindow();
bool SetForegroundWindow(HWND hwnd);
HWND GetForegroundWindow();
HWND SetCapture(HWND hwnd);
bool ReleaseCapture();
HWND GetCapture();
bool TrackMouseEvent(TRACKMOUSEEVENT& tme);

// Caret: one per thread, blinking at the caret blink time.
bool CreateCaret(HWND hwnd, HBITMAP bitmap, int width, int height);
bool DestroyCaret();
bool SetCaretPos(int x, int y);
bool GetCaretPos(POINT& p);
bool ShowCaret(HWND hwnd);
bool HideCaret(HWND hwnd);
UINT GetCaretBlinkTime();
bool SetCaretBlinkTime(UINT ms);

// Input method: the result string of the WM_IME_COMPOSITION being handled (UTF-8), the open status
// and the composition font of a window's input context. The default handling of a composition with
// a result posts one WM_CHAR per character of it.
struct HIMC__;
using HIMC = HIMC__*;
constexpr DWORD GCS_RESULTSTR = 0x0800;
constexpr WPARAM IMN_SETOPENSTATUS = 0x0008;
HIMC ImmGetContext(HWND hwnd);
bool ImmReleaseContext(HWND hwnd, HIMC imc);
// Copies at most bufLen bytes of the string to buf (none when buf is nullptr); answers the string's
// length in bytes, or a negative value when there is no such string.
long ImmGetCompositionString(HIMC imc, DWORD index, void* buf, DWORD bufLen);
bool ImmGetOpenStatus(HIMC imc);
bool ImmSetOpenStatus(HIMC imc, bool open);  // sends WM_IME_NOTIFY IMN_SETOPENSTATUS to the window
bool ImmSetCompositionFont(HIMC imc, const struct LOGFONT* font);
bool ImmGetCompositionFont(HIMC imc, struct LOGFONT* font);

// Scroll bars of the non-client area (SB_HORZ, SB_VERT).
int SetScrollInfo(HWND hwnd, int bar, const SCROLLINFO& si, bool redraw);
bool GetScrollInfo(HWND hwnd, int bar, SCROLLINFO& si);
int SetScrollPos(HWND hwnd, int bar, int pos, bool redraw);
int GetScrollPos(HWND hwnd, int bar);
bool SetScrollRange(HWND hwnd, int bar, int minPos, int maxPos, bool redraw);
bool ShowScrollBar(HWND hwnd, int bar, bool show);
bool EnableScrollBar(HWND hwnd, UINT bar, UINT arrows);

// Cursors.
HCURSOR LoadCursor(HINSTANCE instance, int id);
// A cursor of our own: width x height, 1 bit per pixel rows (AND mask and XOR mask), hot spot.
HCURSOR CreateCursor(HINSTANCE instance, int hotX, int hotY, int width, int height,
                     const std::vector<BYTE>& andMask, const std::vector<BYTE>& xorMask);
bool DestroyCursor(HCURSOR cursor);
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
bool GetCursorPos(POINT& p);
bool SetCursorPos(int x, int y);
int CursorId(HCURSOR cursor);  // the IDC_ id of a standard cursor, 0 for our own ones

// Named resources: pictures of our own art that a library registers under its module handle at start-up
// (rows of characters, one a pixel, and a palette naming each character's colour). Loading by a name
// nobody registered answers nullptr.
constexpr int RT_CURSOR = 1, RT_BITMAP = 2, RT_ICON = 3;
struct RESOURCE_ART {
  std::vector<std::string> rows;
  std::vector<std::pair<char, COLORREF>> palette;  // a character missing here is clear (cursors, icons)
  POINT hotSpot;                                   // cursors
};
void RegisterResourceArt(HINSTANCE module, const std::string& name, int type, const RESOURCE_ART& art);
HBITMAP LoadBitmap(HINSTANCE module, const std::string& name);
HCURSOR LoadCursor(HINSTANCE module, const std::string& name);
// An icon's art as a bitmap with its clear pixels in `clear` (nullptr when there is none).
HBITMAP LoadIconBitmap(HINSTANCE module, const std::string& name, COLORREF clear);
// An icon by name (nullptr for a name nobody registered); free it with DestroyIcon. It can also
// serve as a cursor (its coloured pixels show white).
HICON LoadIcon(HINSTANCE module, const std::string& name);
// Draws an icon (or a cursor) at x, y leaving its clear pixels as they are.
bool DrawIcon(HDC dc, int x, int y, HICON icon);
bool DestroyIcon(HICON icon);

// Hooks of the current thread.
HHOOK SetWindowsHookEx(int idHook, HOOKPROC proc, HINSTANCE instance, std::uint64_t threadId);
bool UnhookWindowsHookEx(HHOOK hook);
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);

// A message box over `owner`; the answer is IDOK, IDCANCEL, IDYES...  (the handler is replaceable,
// see talvik::gui::SetMessageBoxHandler).
int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type);

// Keyboard state.
short GetKeyState(int vk);
short GetAsyncKeyState(int vk);
// Key names as a keyboard layout gives them. Scan codes are the PC keyboard's (set 1): MapVirtualKey
// (MAPVK_VK_TO_VSC) gives the one of a virtual key (0 for none), and GetKeyNameText names the key of
// the scan code in bits 16-23 of lParam (bit 24: the extended key of that code), writing at most
// size - 1 characters and a terminating zero; it answers the length written, 0 for an unknown key.
constexpr UINT MAPVK_VK_TO_VSC = 0;
UINT MapVirtualKey(UINT code, UINT mapType);
int GetKeyNameText(LPARAM lParam, char* buffer, int size);

// System colours, metrics and parameters (one fixed classic table).
COLORREF GetSysColor(int index);
HBRUSH GetSysColorBrush(int index);
bool SetSysColors(int count, const int* indexes, const COLORREF* colors);
int GetSystemMetrics(int index);
bool SystemParametersInfo(UINT action, UINT param, void* value, UINT winIni);
UINT GetDoubleClickTime();
bool SetDoubleClickTime(UINT ms);
void MessageBeep(UINT type);

// Sounds by alias. There is no sound scheme here: the alias goes to the sound sink (silent unless
// one is set, see talvik::gui::SetSoundSink).
constexpr DWORD SND_ASYNC = 0x0001, SND_NODEFAULT = 0x0002, SND_NOSTOP = 0x0010, SND_ALIAS = 0x00010000;
bool PlaySound(const std::string& sound, HINSTANCE module, DWORD flags);

HMONITOR MonitorFromRect(const RECT& r, DWORD flags);
HMONITOR MonitorFromPoint(POINT p, DWORD flags);
HMONITOR MonitorFromWindow(HWND hwnd, DWORD flags);
bool GetMonitorInfo(HMONITOR monitor, MONITORINFO& info);
