#include "toolbar/BarAccessibility.h"

#include <atomic>

#include "platform/rtl/SysUtils.h"
#include "toolbar/BarUtils.h"

namespace {

std::atomic<int> ViewObjects{0};

// The object of a window, or E_UNEXPECTED when there is none.
HRESULT WindowObject(HWND Wnd, TAccObjectRef& Object) {
  if (!Wnd || AccessibleObjectFromWindow(Wnd, OBJID_WINDOW, Object) != S_OK) Object = nullptr;
  return Object ? S_OK : E_UNEXPECTED;
}

std::vector<TBarItemViewer*> CountedViewers(TBarView* View) {
  View->ValidatePositions();
  std::vector<TBarItemViewer*> out;
  for (int i = 0; i < View->ViewerCount(); ++i)
    if (AccCounted(View->Viewers(i))) out.push_back(View->Viewers(i));
  return out;
}

std::string LowerAccelerator(char32_t C) {
  std::string s;
  Utf8Append(s, UnicodeLower(C));
  return s;
}

TRect ScreenBounds(TBarItemViewer* Viewer) {
  TRect r = Viewer->BoundsRect;
  if (TWinControl* w = Viewer->View()->Window()) {
    const TPoint o = w->ClientOrigin();
    OffsetRect(r, o.X, o.Y);
  }
  return r;
}

bool IsMenuBar(TBarView* View) {
  return View->Style().Contains(vsMenuBar);
}

#define TALVIK_ACC_GUARD(Child)                \
  do {                                         \
    if (Gone()) return E_FAIL;                 \
    const HRESULT checked = CheckChild(Child); \
    if (checked != S_OK) return checked;       \
  } while (0)

}  // namespace

std::string AccAltKeyName() {
  char name[64];
  if (GetKeyNameText(static_cast<LPARAM>(MapVirtualKey(VK_MENU, MAPVK_VK_TO_VSC)) << 16, name, sizeof name) >
      0)
    return name;
  return "Alt";
}

bool AccCounted(const TBarItemViewer* Viewer) {
  return Viewer->Show || Viewer->Clipped || Viewer->OffEdge;
}

int AccChildId(TBarItemViewer* Viewer) {
  if (!Viewer || !AccCounted(Viewer)) return 0;
  int id = 0;
  TBarView* view = Viewer->View();
  for (int i = 0; i < view->ViewerCount(); ++i) {
    TBarItemViewer* v = view->Viewers(i);
    if (!AccCounted(v)) continue;
    ++id;
    if (v == Viewer) return id;
  }
  return 0;
}

bool AccWindowUsable(TBarView* View) {
  TWinControl* window = View->Window();
  if (!window || !window->HandleAllocated() || window->ComponentState().Contains(csDesigning)) return false;
  const HWND h = window->Handle();
  if (!IsWindowVisible(h)) return false;
  for (HWND w = h; w; w = GetParent(w)) {
    if (!IsWindowEnabled(w)) return false;
    if (!(GetWindowLongPtr(w, GWL_STYLE) & WS_CHILD)) break;
  }
  if (View->InModalLoop()) return true;
  const HWND active = GetActiveWindow();
  return active && (active == h || IsChild(active, h));
}

bool AccActionable(TBarItemViewer* Viewer) {
  const TBarCustomItem* item = Viewer->Item();
  return AccCounted(Viewer) && item->Enabled() && item->ItemStyle().Contains(tisSelectable) &&
         AccWindowUsable(Viewer->View());
}

// ---------------------------------------------------------------------------------------------------
// Objects handed out by views and viewers

std::shared_ptr<TBarCustomAccObject> TBarView::GetAccObject() {
  std::shared_ptr<TBarCustomAccObject> object = accObject_.lock();
  if (!object) {
    object = std::make_shared<TBarViewAccObject>(this);
    accObject_ = object;
  }
  return object;
}

std::shared_ptr<TBarCustomAccObject> TBarItemViewer::GetAccObject() {
  std::shared_ptr<TBarCustomAccObject> object = accObject_.lock();
  if (!object) {
    object = std::make_shared<TBarItemViewerAccObject>(this);
    accObject_ = object;
  }
  return object;
}

void TBarItemViewer::DeferredDefaultAction(WPARAM Flag) {
  TBarView* view = view_;
  const bool execute = Flag & kAccExecuteFlag;
  if (execute ? !AccActionable(this) : !AccWindowUsable(view)) return;
  view->SelectViewer(this);
  view->ScrollIntoView(this);
  if (view->InModalLoop()) {
    if (execute) view->ActivateSelected(true);
    return;
  }
  if (!view->ParentView() && !GetCapture()) {
    TBarMenuLoopOptions options{mloKeyboardEntry};
    if (execute) options.Include(mloExecuteSelected);
    view->RunMenuLoop(options);
  }
}

// ---------------------------------------------------------------------------------------------------
// TBarCustomAccObject

HRESULT TBarCustomAccObject::Nothing(TAccChild Child) {
  if (Gone()) return E_FAIL;
  const HRESULT checked = CheckChild(Child);
  return checked != S_OK ? checked : S_FALSE;
}

HRESULT TBarCustomAccObject::get_accValue(TAccChild Child, std::string& Value) {
  Value.clear();
  return Nothing(Child);
}
HRESULT TBarCustomAccObject::get_accDescription(TAccChild Child, std::string& Text) {
  Text.clear();
  return Nothing(Child);
}
HRESULT TBarCustomAccObject::get_accHelp(TAccChild Child, std::string& Text) {
  Text.clear();
  return Nothing(Child);
}
HRESULT TBarCustomAccObject::get_accSelection(TAccResult& Selection) {
  Selection = TAccResult();
  return Gone() ? E_FAIL : S_FALSE;
}
HRESULT TBarCustomAccObject::put_accName(TAccChild Child, const std::string&) {
  return Nothing(Child);
}
HRESULT TBarCustomAccObject::put_accValue(TAccChild Child, const std::string&) {
  return Nothing(Child);
}

// ---------------------------------------------------------------------------------------------------
// TBarViewAccObject

TBarViewAccObject::TBarViewAccObject(TBarView* AView) : view_(AView) {
  ++ViewObjects;
}

TBarViewAccObject::~TBarViewAccObject() {
  --ViewObjects;
}

int TBarViewAccObject::LiveCount() {
  return ViewObjects;
}

HRESULT TBarViewAccObject::CheckChild(TAccChild Child) {
  if (!Child.IsInteger) return E_INVALIDARG;
  if (Child.Id == CHILDID_SELF) return S_OK;
  const int count = static_cast<int>(CountedViewers(view_).size());
  return Child.Id >= 1 && Child.Id <= count ? S_OK : E_INVALIDARG;
}

std::shared_ptr<TBarCustomAccObject> TBarViewAccObject::ChildObject(TAccChild Child) {
  if (Child.Id == CHILDID_SELF) return nullptr;
  return CountedViewers(view_)[static_cast<size_t>(Child.Id - 1)]->GetAccObject();
}

HRESULT TBarViewAccObject::get_accParent(TAccObjectRef& Parent) {
  Parent = nullptr;
  if (Gone()) return E_FAIL;
  if (view_->IsPopup() && view_->ParentView() && view_->ParentView()->OpenViewer()) {
    Parent = view_->ParentView()->OpenViewer()->GetAccObject();
    return S_OK;
  }
  return WindowObject(
      view_->Window() && view_->Window()->HandleAllocated() ? view_->Window()->Handle() : nullptr, Parent);
}

HRESULT TBarViewAccObject::get_accChildCount(int& Count) {
  Count = 0;
  if (Gone()) return E_FAIL;
  Count = static_cast<int>(CountedViewers(view_).size());
  return S_OK;
}

HRESULT TBarViewAccObject::get_accChild(TAccChild Child, TAccObjectRef& Object) {
  Object = nullptr;
  TALVIK_ACC_GUARD(Child);
  if (Child.Id == CHILDID_SELF) {
    Object = view_->GetAccObject();
    return S_OK;
  }
  TBarItemViewer* v = CountedViewers(view_)[static_cast<size_t>(Child.Id - 1)];
  if (auto* ci = dynamic_cast<TBarControlItem*>(v->Item()))
    if (auto* wc = dynamic_cast<TWinControl*>(ci->Control()); wc && wc->HandleAllocated())
      return WindowObject(wc->Handle(), Object);
  Object = v->GetAccObject();
  return S_OK;
}

HRESULT TBarViewAccObject::get_accName(TAccChild Child, std::string& Name) {
  Name.clear();
  TALVIK_ACC_GUARD(Child);
  if (auto child = ChildObject(Child)) return child->get_accName({}, Name);
  if (view_->IsPopup() && view_->ParentView() && view_->ParentView()->OpenViewer())
    Name = StripAccelChars(view_->ParentView()->OpenViewer()->CaptionBeforeTab());
  if (Name.empty() && view_->Window() && view_->Window()->HandleAllocated())
    Name = GetWindowText(view_->Window()->Handle());
  return S_OK;
}

HRESULT TBarViewAccObject::get_accValue(TAccChild Child, std::string& Value) {
  Value.clear();
  TALVIK_ACC_GUARD(Child);
  if (auto child = ChildObject(Child)) return child->get_accValue({}, Value);
  return S_FALSE;
}

HRESULT TBarViewAccObject::get_accRole(TAccChild Child, int& Role) {
  Role = 0;
  TALVIK_ACC_GUARD(Child);
  if (auto child = ChildObject(Child)) return child->get_accRole({}, Role);
  Role = view_->IsPopup()   ? ROLE_SYSTEM_MENUPOPUP
         : IsMenuBar(view_) ? ROLE_SYSTEM_MENUBAR
                            : ROLE_SYSTEM_TOOLBAR;
  return S_OK;
}

HRESULT TBarViewAccObject::get_accState(TAccChild Child, unsigned& State) {
  State = 0;
  TALVIK_ACC_GUARD(Child);
  if (auto child = ChildObject(Child)) return child->get_accState({}, State);
  return S_OK;
}

HRESULT TBarViewAccObject::get_accKeyboardShortcut(TAccChild Child, std::string& Text) {
  Text.clear();
  TALVIK_ACC_GUARD(Child);
  if (auto child = ChildObject(Child)) return child->get_accKeyboardShortcut({}, Text);
  if (!IsMenuBar(view_)) return S_FALSE;
  Text = AccAltKeyName();
  return S_OK;
}

HRESULT TBarViewAccObject::get_accFocus(TAccResult& Focus) {
  Focus = TAccResult();
  return Gone() ? E_FAIL : S_FALSE;
}

HRESULT TBarViewAccObject::get_accDefaultAction(TAccChild Child, std::string& Action) {
  Action.clear();
  TALVIK_ACC_GUARD(Child);
  if (auto child = ChildObject(Child)) return child->get_accDefaultAction({}, Action);
  return S_FALSE;
}

HRESULT TBarViewAccObject::accSelect(int Flags, TAccChild Child) {
  TALVIK_ACC_GUARD(Child);
  if (auto child = ChildObject(Child)) return child->accSelect(Flags, {});
  return DISP_E_MEMBERNOTFOUND;
}

HRESULT TBarViewAccObject::accLocation(TRect& Location, TAccChild Child) {
  Location = TRect();
  TALVIK_ACC_GUARD(Child);
  if (auto child = ChildObject(Child)) return child->accLocation(Location, {});
  RECT r;
  if (!view_->Window() || !view_->Window()->HandleAllocated() || !GetWindowRect(view_->Window()->Handle(), r))
    return S_FALSE;
  Location = Rect(r.Left, r.Top, r.Width(), r.Height());
  return S_OK;
}

HRESULT TBarViewAccObject::accNavigate(int Direction, TAccChild Start, TAccResult& End) {
  End = TAccResult();
  TALVIK_ACC_GUARD(Start);
  if (auto child = ChildObject(Start)) return child->accNavigate(Direction, {}, End);
  const std::vector<TBarItemViewer*> counted = CountedViewers(view_);
  if (counted.empty() || (Direction != NAVDIR_FIRSTCHILD && Direction != NAVDIR_LASTCHILD)) return S_FALSE;
  End.Object = (Direction == NAVDIR_FIRSTCHILD ? counted.front() : counted.back())->GetAccObject();
  return S_OK;
}

HRESULT TBarViewAccObject::accHitTest(int X, int Y, TAccResult& Result) {
  Result = TAccResult();
  if (Gone()) return E_FAIL;
  TWinControl* window = view_->Window();
  RECT r;
  if (!window || !window->HandleAllocated() || !GetWindowRect(window->Handle(), r) ||
      !PtInRect(r, TPoint(X, Y)))
    return S_FALSE;
  const TPoint client = window->ScreenToClient(TPoint(X, Y));
  const HWND child = ChildWindowFromPoint(window->Handle(), client);
  if (child && child != window->Handle() && IsWindowVisible(child)) return WindowObject(child, Result.Object);
  if (TBarItemViewer* v = view_->ViewerFromPoint(client)) {
    Result.Object = v->GetAccObject();
    return S_OK;
  }
  return S_OK;  // the view itself
}

HRESULT TBarViewAccObject::accDoDefaultAction(TAccChild Child) {
  TALVIK_ACC_GUARD(Child);
  if (auto child = ChildObject(Child)) return child->accDoDefaultAction({});
  return S_FALSE;
}

// ---------------------------------------------------------------------------------------------------
// TBarItemViewerAccObject

HRESULT TBarItemViewerAccObject::CheckChild(TAccChild Child) {
  return Child.IsInteger && Child.Id == CHILDID_SELF ? S_OK : E_INVALIDARG;
}

HRESULT TBarItemViewerAccObject::get_accParent(TAccObjectRef& Parent) {
  Parent = Gone() ? nullptr : viewer_->View()->GetAccObject();
  return Gone() ? E_FAIL : S_OK;
}

HRESULT TBarItemViewerAccObject::get_accChildCount(int& Count) {
  Count = 0;
  if (Gone()) return E_FAIL;
  Count = viewer_->View()->OpenViewer() == viewer_ ? 1 : 0;
  return S_OK;
}

HRESULT TBarItemViewerAccObject::get_accChild(TAccChild Child, TAccObjectRef& Object) {
  Object = nullptr;
  if (Gone()) return E_FAIL;
  if (!Child.IsInteger) return E_INVALIDARG;
  if (Child.Id == CHILDID_SELF) {
    Object = viewer_->GetAccObject();
    return S_OK;
  }
  TBarView* view = viewer_->View();
  if (Child.Id == 1 && view->OpenViewer() == viewer_ && view->OpenView()) {
    Object = view->OpenView()->GetAccObject();
    return S_OK;
  }
  return E_INVALIDARG;
}

HRESULT TBarItemViewerAccObject::get_accName(TAccChild Child, std::string& Name) {
  Name.clear();
  TALVIK_ACC_GUARD(Child);
  Name = StripAccelChars(viewer_->CaptionBeforeTab());
  if (!viewer_->IsToolbarStyle()) {
    const std::string shortCut = viewer_->Item()->GetShortCutText();
    if (!shortCut.empty()) Name += "\t" + shortCut;
  }
  return S_OK;
}

HRESULT TBarItemViewerAccObject::get_accValue(TAccChild Child, std::string& Value) {
  Value.clear();
  TALVIK_ACC_GUARD(Child);
  Value = viewer_->AccessibleValue();
  return S_OK;
}

HRESULT TBarItemViewerAccObject::get_accRole(TAccChild Child, int& Role) {
  Role = 0;
  TALVIK_ACC_GUARD(Child);
  Role = viewer_->AccessibleRole();
  return S_OK;
}

HRESULT TBarItemViewerAccObject::get_accState(TAccChild Child, unsigned& State) {
  State = 0;
  TALVIK_ACC_GUARD(Child);
  TBarView* view = viewer_->View();
  const TBarCustomItem* item = viewer_->Item();
  if (view->Selected() == viewer_) {
    State |= STATE_SYSTEM_HOTTRACKED;
    if (view->InModalLoop()) State |= STATE_SYSTEM_FOCUSED;
    if (view->SplitTracking() && view->MouseOverSplit()) State |= STATE_SYSTEM_PRESSED;
  }
  if (item->ItemStyle().Contains(tisHasSubmenu)) State |= STATE_SYSTEM_HASPOPUP;
  if (!AccCounted(viewer_))
    State |= STATE_SYSTEM_INVISIBLE;
  else if (AccWindowUsable(view))
    State |= STATE_SYSTEM_FOCUSABLE;
  if (!item->Enabled() || !item->ItemStyle().Contains(tisSelectable)) State |= STATE_SYSTEM_UNAVAILABLE;
  if (item->Checked()) State |= STATE_SYSTEM_CHECKED;
  return S_OK;
}

HRESULT TBarItemViewerAccObject::get_accKeyboardShortcut(TAccChild Child, std::string& Text) {
  Text.clear();
  TALVIK_ACC_GUARD(Child);
  const char32_t accel = FindAccelChar(viewer_->CaptionBeforeTab());
  if (!viewer_->CaptionShown() || accel == 0) return S_FALSE;
  Text =
      viewer_->View()->IsPopup() ? LowerAccelerator(accel) : AccAltKeyName() + "+" + LowerAccelerator(accel);
  return S_OK;
}

HRESULT TBarItemViewerAccObject::get_accFocus(TAccResult& Focus) {
  Focus = TAccResult();
  if (Gone()) return E_FAIL;
  TBarView* view = viewer_->View();
  return view->InModalLoop() && view->Selected() == viewer_ ? S_OK : S_FALSE;
}

HRESULT TBarItemViewerAccObject::get_accDefaultAction(TAccChild Child, std::string& Action) {
  Action.clear();
  TALVIK_ACC_GUARD(Child);
  if (!AccActionable(viewer_)) return S_FALSE;
  TBarView* view = viewer_->View();
  if (view->OpenViewer() == viewer_)
    Action = "Close";
  else if (viewer_->Item()->ItemStyle().Contains(tisHasSubmenu))
    Action = "Open";
  else if (view->IsPopup() || IsMenuBar(view))
    Action = "Execute";
  else
    Action = "Press";
  return S_OK;
}

HRESULT TBarItemViewerAccObject::accSelect(int Flags, TAccChild Child) {
  TALVIK_ACC_GUARD(Child);
  if (Flags != SELFLAG_TAKEFOCUS) return E_INVALIDARG;
  TBarView* view = viewer_->View();
  if (!AccWindowUsable(view)) return E_FAIL;
  view->SelectViewer(viewer_);
  view->ScrollIntoView(viewer_);
  QueueClick(viewer_, 0);
  return S_OK;
}

HRESULT TBarItemViewerAccObject::accLocation(TRect& Location, TAccChild Child) {
  Location = TRect();
  TALVIK_ACC_GUARD(Child);
  const TRect r = ScreenBounds(viewer_);
  Location = Rect(r.Left, r.Top, r.Width(), r.Height());
  return S_OK;
}

HRESULT TBarItemViewerAccObject::accNavigate(int Direction, TAccChild Start, TAccResult& End) {
  End = TAccResult();
  TALVIK_ACC_GUARD(Start);
  int step = 0;
  if (Direction == NAVDIR_UP || Direction == NAVDIR_LEFT || Direction == NAVDIR_PREVIOUS) step = -1;
  if (Direction == NAVDIR_DOWN || Direction == NAVDIR_RIGHT || Direction == NAVDIR_NEXT) step = 1;
  if (step == 0) return S_FALSE;
  const std::vector<TBarItemViewer*> counted = CountedViewers(viewer_->View());
  const auto it = std::find(counted.begin(), counted.end(), viewer_);
  if (it == counted.end()) return S_FALSE;
  const auto index = (it - counted.begin()) + step;
  if (index < 0 || index >= static_cast<std::ptrdiff_t>(counted.size())) return S_FALSE;
  End.Object = counted[static_cast<size_t>(index)]->GetAccObject();
  return S_OK;
}

HRESULT TBarItemViewerAccObject::accHitTest(int X, int Y, TAccResult& Result) {
  Result = TAccResult();
  if (Gone()) return E_FAIL;
  return ScreenBounds(viewer_).Contains(TPoint(X, Y)) ? S_OK : S_FALSE;
}

HRESULT TBarItemViewerAccObject::accDoDefaultAction(TAccChild Child) {
  TALVIK_ACC_GUARD(Child);
  if (!AccActionable(viewer_)) return E_FAIL;
  TBarView* view = viewer_->View();
  if (view->OpenViewer() != viewer_) {
    view->SelectViewer(viewer_);
    view->ScrollIntoView(viewer_);
    QueueClick(viewer_, kAccExecuteFlag);
    return S_OK;
  }
  view->HideChildPopups();
  if (view->IsToolbar() && view->InModalLoop()) view->EndModal();
  return S_OK;
}
