// Accessibility objects of windows: WM_GETOBJECT answers and the layer's plain window objects. The
// toolkit side (the desktop's service, events) is OleAccQt.cpp.
#include "platform/gui/OleAcc.h"

#include <cassert>
#include <map>
#include <utility>
#include <vector>

#include "platform/gui/GuiPrivate.h"

namespace {

// Objects handed out by WM_GETOBJECT answers, until the asker takes them.
std::map<LRESULT, TAccObjectRef>& Handed() {
  // made once and never destroyed, as every table of the window layer (see S())
  static auto* handed = new std::map<LRESULT, TAccObjectRef>();
  return *handed;
}

bool IsSelf(TAccChild Child) {
  return Child.IsInteger && Child.Id == CHILDID_SELF;
}

// The layer's object of a window that hands out none of its own: a window (OBJID_WINDOW) or its
// client area (OBJID_CLIENT), whose children are the objects of its visible child windows.
class TWindowAccObject : public IAccessible {
 public:
  TWindowAccObject(HWND Wnd, int ObjectId) : wnd_(Wnd), objectId_(ObjectId) {}
  void Forget() { wnd_ = nullptr; }

  HRESULT get_accParent(TAccObjectRef& Parent) override {
    Parent = nullptr;
    if (!Alive()) return E_FAIL;
    HWND parent = (GetWindowLongPtr(wnd_, GWL_STYLE) & WS_CHILD) ? GetParent(wnd_) : nullptr;
    return parent ? AccessibleObjectFromWindow(parent, OBJID_CLIENT, Parent) : S_FALSE;
  }
  HRESULT get_accChildCount(int& Count) override {
    Count = 0;
    if (!Alive()) return E_FAIL;
    Count = static_cast<int>(Children().size());
    return S_OK;
  }
  HRESULT get_accChild(TAccChild Child, TAccObjectRef& Object) override {
    Object = nullptr;
    if (!Alive()) return E_FAIL;
    const std::vector<HWND> children = Children();
    if (!Child.IsInteger || Child.Id < 0 || Child.Id > static_cast<int>(children.size())) return E_INVALIDARG;
    if (Child.Id == CHILDID_SELF) {
      Object = nullptr;
      return S_FALSE;  // the object itself: no further object
    }
    return AccessibleObjectFromWindow(children[static_cast<std::size_t>(Child.Id - 1)], OBJID_CLIENT, Object);
  }
  HRESULT get_accName(TAccChild Child, std::string& Name) override {
    Name.clear();
    if (const HRESULT r = Check(Child); r != S_OK) return r;
    Name = GetWindowText(wnd_);
    return S_OK;
  }
  HRESULT get_accValue(TAccChild Child, std::string& Value) override { return Nothing(Child, Value); }
  HRESULT get_accDescription(TAccChild Child, std::string& Text) override { return Nothing(Child, Text); }
  HRESULT get_accRole(TAccChild Child, int& Role) override {
    Role = 0;
    if (const HRESULT r = Check(Child); r != S_OK) return r;
    Role = objectId_ == OBJID_WINDOW ? ROLE_SYSTEM_WINDOW : ROLE_SYSTEM_CLIENT;
    return S_OK;
  }
  HRESULT get_accState(TAccChild Child, unsigned& State) override {
    State = 0;
    if (const HRESULT r = Check(Child); r != S_OK) return r;
    if (!IsWindowVisible(wnd_)) State |= STATE_SYSTEM_INVISIBLE;
    if (!IsWindowEnabled(wnd_)) State |= STATE_SYSTEM_UNAVAILABLE;
    State |= STATE_SYSTEM_FOCUSABLE;
    if (GetFocus() == wnd_) State |= STATE_SYSTEM_FOCUSED;
    return S_OK;
  }
  HRESULT get_accHelp(TAccChild Child, std::string& Text) override { return Nothing(Child, Text); }
  HRESULT get_accKeyboardShortcut(TAccChild Child, std::string& Text) override {
    return Nothing(Child, Text);
  }
  HRESULT get_accFocus(TAccResult& Focus) override {
    Focus = {};
    if (!Alive()) return E_FAIL;
    return GetFocus() == wnd_ ? S_OK : S_FALSE;
  }
  HRESULT get_accSelection(TAccResult& Selection) override {
    Selection = {};
    return Alive() ? S_FALSE : E_FAIL;
  }
  HRESULT get_accDefaultAction(TAccChild Child, std::string& Action) override {
    return Nothing(Child, Action);
  }
  HRESULT accSelect(int, TAccChild Child) override {
    const HRESULT r = Check(Child);
    return r == S_OK ? DISP_E_MEMBERNOTFOUND : r;
  }
  HRESULT accLocation(TRect& Location, TAccChild Child) override {
    Location = {};
    if (const HRESULT r = Check(Child); r != S_OK) return r;
    RECT w;
    GetWindowRect(wnd_, w);
    Location = TRect{w.Left, w.Top, w.Right - w.Left, w.Bottom - w.Top};
    return S_OK;
  }
  HRESULT accNavigate(int, TAccChild Start, TAccResult& End) override {
    End = {};
    const HRESULT r = Check(Start);
    return r == S_OK ? S_FALSE : r;
  }
  HRESULT accHitTest(int X, int Y, TAccResult& Result) override {
    Result = {};
    if (!Alive()) return E_FAIL;
    RECT w;
    GetWindowRect(wnd_, w);
    if (X < w.Left || X >= w.Right || Y < w.Top || Y >= w.Bottom) return S_FALSE;
    POINT p{X, Y};
    ScreenToClient(wnd_, p);
    HWND child = ChildWindowFromPoint(wnd_, p);
    if (child && child != wnd_ && IsWindowVisible(child))
      return AccessibleObjectFromWindow(child, OBJID_CLIENT, Result.Object);
    return S_OK;  // the object itself
  }
  HRESULT accDoDefaultAction(TAccChild Child) override {
    const HRESULT r = Check(Child);
    return r == S_OK ? DISP_E_MEMBERNOTFOUND : r;
  }
  HRESULT put_accName(TAccChild Child, const std::string&) override {
    const HRESULT r = Check(Child);
    return r == S_OK ? S_FALSE : r;
  }
  HRESULT put_accValue(TAccChild Child, const std::string&) override {
    const HRESULT r = Check(Child);
    return r == S_OK ? S_FALSE : r;
  }

 private:
  bool Alive() const { return wnd_ && IsWindow(wnd_); }
  HRESULT Check(TAccChild Child) const {
    if (!Alive()) return E_FAIL;
    return IsSelf(Child) ? S_OK : E_INVALIDARG;
  }
  HRESULT Nothing(TAccChild Child, std::string& Text) const {
    Text.clear();
    const HRESULT r = Check(Child);
    return r == S_OK ? S_FALSE : r;
  }
  std::vector<HWND> Children() const {
    std::vector<HWND> out;
    for (HWND c = GetWindow(wnd_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
      if (IsWindowVisible(c)) out.push_back(c);
    return out;
  }

  HWND wnd_;
  int objectId_;
};

// The plain objects made so far, one per window and object id, until the window goes.
std::map<std::pair<HWND, int>, std::shared_ptr<TWindowAccObject>>& WindowObjects() {
  // made once and never destroyed, as every table of the window layer (see S())
  static auto* objects = new std::map<std::pair<HWND, int>, std::shared_ptr<TWindowAccObject>>();
  return *objects;
}

TAccObjectRef WindowObject(HWND Wnd, int ObjectId) {
  auto& slot = WindowObjects()[{Wnd, ObjectId}];
  if (!slot) slot = std::make_shared<TWindowAccObject>(Wnd, ObjectId);
  return slot;
}

}  // namespace

LRESULT LresultFromObject(const TAccObjectRef& Object) {
  if (!Object) return 0;
  static LRESULT next = 0;
  const LRESULT token = ++next;
  Handed()[token] = Object;
  return token;
}

TAccObjectRef ObjectFromLresult(LRESULT Result) {
  auto it = Handed().find(Result);
  if (it == Handed().end()) return nullptr;
  TAccObjectRef object = std::move(it->second);
  Handed().erase(it);
  return object;
}

HRESULT AccessibleObjectFromWindow(HWND Wnd, int ObjectId, TAccObjectRef& Object) {
  Object = nullptr;
  if (!Wnd || !IsWindow(Wnd) || (ObjectId != OBJID_CLIENT && ObjectId != OBJID_WINDOW)) return E_INVALIDARG;
  if (ObjectId == OBJID_CLIENT) {
    const LRESULT answer = SendMessage(Wnd, WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT));
    Object = ObjectFromLresult(answer);
    Handed().clear();  // an answer nobody asked for is not kept
    if (Object) return S_OK;
  }
  Object = WindowObject(Wnd, ObjectId);
  return S_OK;
}

namespace talvik::gui::detail {

void AccWindowGone(HWND Wnd) {
  auto& objects = WindowObjects();
  for (int id : {OBJID_WINDOW, OBJID_CLIENT}) {
    auto it = objects.find({Wnd, id});
    if (it == objects.end()) continue;
    std::shared_ptr<TWindowAccObject> object = std::move(it->second);
    objects.erase(it);
    object->Forget();
    AccObjectGone(object.get());
  }
}

}  // namespace talvik::gui::detail
