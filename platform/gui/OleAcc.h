// Accessibility objects of windows: what a screen reader asks of a window (name, role, state,
// children, location, actions), with the result codes such clients know. A window hands out its own
// object when asked through WM_GETOBJECT; a window that does not gets the layer's plain window
// object. The desktop's accessibility service sees these objects through the toolkit, and the
// window events below reach it as its updates.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/gui/Windows.h"

using HRESULT = std::int32_t;
constexpr HRESULT S_OK = 0, S_FALSE = 1, E_NOTIMPL = static_cast<HRESULT>(0x80004001),
                  E_FAIL = static_cast<HRESULT>(0x80004005), E_INVALIDARG = static_cast<HRESULT>(0x80070057),
                  E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFF),
                  DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003);

// Objects of a window, and the object itself among its children.
constexpr int OBJID_WINDOW = 0, OBJID_CLIENT = -4, CHILDID_SELF = 0;

// Window events an accessibility client hears.
constexpr DWORD EVENT_SYSTEM_MENUSTART = 4, EVENT_SYSTEM_MENUEND = 5, EVENT_SYSTEM_MENUPOPUPSTART = 6,
                EVENT_SYSTEM_MENUPOPUPEND = 7, EVENT_OBJECT_FOCUS = 0x8005;

constexpr int ROLE_SYSTEM_MENUBAR = 2, ROLE_SYSTEM_WINDOW = 9, ROLE_SYSTEM_CLIENT = 10,
              ROLE_SYSTEM_MENUPOPUP = 11, ROLE_SYSTEM_MENUITEM = 12, ROLE_SYSTEM_TOOLBAR = 22,
              ROLE_SYSTEM_PUSHBUTTON = 43;
constexpr unsigned STATE_SYSTEM_UNAVAILABLE = 0x1, STATE_SYSTEM_SELECTED = 0x2, STATE_SYSTEM_FOCUSED = 0x4,
                   STATE_SYSTEM_PRESSED = 0x8, STATE_SYSTEM_CHECKED = 0x10, STATE_SYSTEM_HOTTRACKED = 0x80,
                   STATE_SYSTEM_INVISIBLE = 0x8000, STATE_SYSTEM_OFFSCREEN = 0x10000,
                   STATE_SYSTEM_FOCUSABLE = 0x100000, STATE_SYSTEM_HASPOPUP = 0x40000000;
constexpr int NAVDIR_UP = 1, NAVDIR_DOWN = 2, NAVDIR_LEFT = 3, NAVDIR_RIGHT = 4, NAVDIR_NEXT = 5,
              NAVDIR_PREVIOUS = 6, NAVDIR_FIRSTCHILD = 7, NAVDIR_LASTCHILD = 8;
constexpr int SELFLAG_TAKEFOCUS = 1;

// A child as a client names it: only a 4-byte integer names one.
struct TAccChild {
  int Id = CHILDID_SELF;
  bool IsInteger = true;
};

class IAccessible;
using TAccObjectRef = std::shared_ptr<IAccessible>;

// An answer naming an object, or a child of the answering object by number.
struct TAccResult {
  TAccObjectRef Object;
  int ChildId = CHILDID_SELF;
};

// The questions of an accessibility client.
class IAccessible {
 public:
  virtual ~IAccessible() = default;
  virtual HRESULT get_accParent(TAccObjectRef& Parent) = 0;
  virtual HRESULT get_accChildCount(int& Count) = 0;
  virtual HRESULT get_accChild(TAccChild Child, TAccObjectRef& Object) = 0;
  virtual HRESULT get_accName(TAccChild Child, std::string& Name) = 0;
  virtual HRESULT get_accValue(TAccChild Child, std::string& Value) = 0;
  virtual HRESULT get_accDescription(TAccChild Child, std::string& Text) = 0;
  virtual HRESULT get_accRole(TAccChild Child, int& Role) = 0;
  virtual HRESULT get_accState(TAccChild Child, unsigned& State) = 0;
  virtual HRESULT get_accHelp(TAccChild Child, std::string& Text) = 0;
  virtual HRESULT get_accKeyboardShortcut(TAccChild Child, std::string& Text) = 0;
  virtual HRESULT get_accFocus(TAccResult& Focus) = 0;
  virtual HRESULT get_accSelection(TAccResult& Selection) = 0;
  virtual HRESULT get_accDefaultAction(TAccChild Child, std::string& Action) = 0;
  virtual HRESULT accSelect(int Flags, TAccChild Child) = 0;
  virtual HRESULT accLocation(TRect& Location, TAccChild Child) = 0;  // left, top, width, height
  virtual HRESULT accNavigate(int Direction, TAccChild Start, TAccResult& End) = 0;
  virtual HRESULT accHitTest(int X, int Y, TAccResult& Result) = 0;
  virtual HRESULT accDoDefaultAction(TAccChild Child) = 0;
  virtual HRESULT put_accName(TAccChild Child, const std::string& Name) = 0;
  virtual HRESULT put_accValue(TAccChild Child, const std::string& Value) = 0;
  // The dispatch interface: none of its methods exists here.
  HRESULT GetTypeInfoCount() { return E_NOTIMPL; }
  HRESULT GetTypeInfo() { return E_NOTIMPL; }
  HRESULT GetIDsOfNames() { return E_NOTIMPL; }
  HRESULT Invoke() { return E_NOTIMPL; }
};

// The answer of a window procedure to WM_GETOBJECT that hands out Object (0 when there is none).
LRESULT LresultFromObject(const TAccObjectRef& Object);
// The object a WM_GETOBJECT answer handed out (each answer is taken once).
TAccObjectRef ObjectFromLresult(LRESULT Result);
// The object of a window: OBJID_CLIENT asks the window (WM_GETOBJECT) and takes the layer's plain
// client object when it hands out none; OBJID_WINDOW is always the layer's window object.
// E_INVALIDARG for no window or another object id.
HRESULT AccessibleObjectFromWindow(HWND Wnd, int ObjectId, TAccObjectRef& Object);
// Tells the desktop's accessibility service of an event of a window's object (ChildId from 1, or
// CHILDID_SELF); nothing happens while no service listens.
void NotifyWinEvent(DWORD Event, HWND Wnd, int ObjectId, int ChildId);
// The owner of an object went: the accessibility service forgets the object (its clients' handles
// become invalid).
void AccObjectGone(IAccessible* Object);
