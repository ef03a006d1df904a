// The desktop's accessibility service over the toolkit's: the objects of our windows become the
// toolkit's accessible interfaces (a factory answers for our top-level windows), and the window
// events become its updates. Event numbers and roles are the toolkit's one to one.
#include <QAccessible>
#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <QWindow>
#include <map>
#include <utility>

#include "platform/gui/GraphicsQt.h"
#include "platform/gui/OleAcc.h"
#include "platform/gui/QtText.h"
#include "platform/gui/WinManager.h"

using talvik::gui::detail::FromQString;
using talvik::gui::detail::ToQString;

namespace {

constexpr TAccChild kSelf{};

class TAccInterface;

// The interface standing for each object; the map outlives the toolkit's cache, which frees the
// interfaces last of all.
std::map<IAccessible*, TAccInterface*>& Interfaces() {
  static auto* interfaces = new std::map<IAccessible*, TAccInterface*>();
  return *interfaces;
}

talvik::gui::AccessibleUpdateSink& UpdateSink() {
  // made once and never destroyed, as every table of the window layer (see S())
  static auto* sink = new talvik::gui::AccessibleUpdateSink();
  return *sink;
}

QAccessibleInterface* InterfaceOf(const TAccObjectRef& Object, QWidget* Top);

// The state bits of an object and the toolkit's state flags they stand for.
QAccessible::State StateOf(unsigned Bits) {
  QAccessible::State s;
  s.disabled = (Bits & STATE_SYSTEM_UNAVAILABLE) != 0;
  s.selected = (Bits & STATE_SYSTEM_SELECTED) != 0;
  s.focused = (Bits & STATE_SYSTEM_FOCUSED) != 0;
  s.pressed = (Bits & STATE_SYSTEM_PRESSED) != 0;
  s.checked = s.checkable = (Bits & STATE_SYSTEM_CHECKED) != 0;
  s.hotTracked = (Bits & STATE_SYSTEM_HOTTRACKED) != 0;
  s.invisible = (Bits & STATE_SYSTEM_INVISIBLE) != 0;
  s.offscreen = (Bits & STATE_SYSTEM_OFFSCREEN) != 0;
  s.focusable = (Bits & STATE_SYSTEM_FOCUSABLE) != 0;
  s.hasPopup = (Bits & STATE_SYSTEM_HASPOPUP) != 0;
  return s;
}

unsigned BitsOf(const QAccessible::State& s) {
  unsigned bits = 0;
  if (s.disabled) bits |= STATE_SYSTEM_UNAVAILABLE;
  if (s.selected) bits |= STATE_SYSTEM_SELECTED;
  if (s.focused) bits |= STATE_SYSTEM_FOCUSED;
  if (s.pressed) bits |= STATE_SYSTEM_PRESSED;
  if (s.checked) bits |= STATE_SYSTEM_CHECKED;
  if (s.hotTracked) bits |= STATE_SYSTEM_HOTTRACKED;
  if (s.invisible) bits |= STATE_SYSTEM_INVISIBLE;
  if (s.offscreen) bits |= STATE_SYSTEM_OFFSCREEN;
  if (s.focusable) bits |= STATE_SYSTEM_FOCUSABLE;
  if (s.hasPopup) bits |= STATE_SYSTEM_HASPOPUP;
  return bits;
}

// One object of ours as the toolkit sees it.
class TAccInterface : public QAccessibleInterface, public QAccessibleActionInterface {
 public:
  TAccInterface(TAccObjectRef Object, QWidget* Top, QObject* Own)
      : object_(std::move(Object)), top_(Top), own_(Own) {
    Interfaces()[object_.get()] = this;
  }
  ~TAccInterface() override {
    auto it = Interfaces().find(object_.get());
    if (it != Interfaces().end() && it->second == this) Interfaces().erase(it);
  }

  bool isValid() const override {
    int role = 0;
    return object_ && object_->get_accRole(kSelf, role) != E_FAIL;
  }
  QObject* object() const override { return own_; }
  QWindow* window() const override { return top_ ? top_->windowHandle() : nullptr; }
  QAccessibleInterface* parent() const override {
    TAccObjectRef parent;
    if (object_->get_accParent(parent) == S_OK && parent) return InterfaceOf(parent, top_);
    return own_ ? QAccessible::queryAccessibleInterface(QCoreApplication::instance()) : nullptr;
  }
  QAccessibleInterface* child(int Index) const override {
    TAccObjectRef child;
    if (object_->get_accChild({Index + 1, true}, child) == S_OK && child) return InterfaceOf(child, top_);
    return nullptr;
  }
  int childCount() const override {
    int n = 0;
    return object_->get_accChildCount(n) == S_OK ? n : 0;
  }
  int indexOfChild(const QAccessibleInterface* Child) const override {
    const int n = childCount();
    for (int i = 0; i < n; ++i)
      if (child(i) == Child) return i;
    return -1;
  }
  QAccessibleInterface* childAt(int X, int Y) const override {
    TAccResult hit;
    if (object_->accHitTest(X, Y, hit) != S_OK) return nullptr;
    if (hit.Object) return hit.Object == object_ ? nullptr : InterfaceOf(hit.Object, top_);
    return hit.ChildId > 0 ? child(hit.ChildId - 1) : nullptr;
  }
  QString text(QAccessible::Text Kind) const override {
    std::string s;
    switch (Kind) {
      case QAccessible::Name:
        object_->get_accName(kSelf, s);
        break;
      case QAccessible::Value:
        object_->get_accValue(kSelf, s);
        break;
      case QAccessible::Description:
        object_->get_accDescription(kSelf, s);
        break;
      case QAccessible::Help:
        object_->get_accHelp(kSelf, s);
        break;
      case QAccessible::Accelerator:
        object_->get_accKeyboardShortcut(kSelf, s);
        break;
      default:
        break;
    }
    return ToQString(s);
  }
  void setText(QAccessible::Text Kind, const QString& Text) override {
    if (Kind == QAccessible::Name) object_->put_accName(kSelf, FromQString(Text));
    if (Kind == QAccessible::Value) object_->put_accValue(kSelf, FromQString(Text));
  }
  QRect rect() const override {
    TRect r;  // left, top, width, height
    if (object_->accLocation(r, kSelf) != S_OK) return {};
    return QRect(r.Left, r.Top, r.Right, r.Bottom);
  }
  QAccessible::Role role() const override {
    int role = 0;
    object_->get_accRole(kSelf, role);
    return static_cast<QAccessible::Role>(role);
  }
  QAccessible::State state() const override {
    unsigned bits = 0;
    object_->get_accState(kSelf, bits);
    return StateOf(bits);
  }
  void* interface_cast(QAccessible::InterfaceType Type) override {
    return Type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
  }

  // the default action, under its own name
  QStringList actionNames() const override {
    std::string action;
    if (object_->get_accDefaultAction(kSelf, action) == S_OK && !action.empty()) return {ToQString(action)};
    return {};
  }
  void doAction(const QString& Name) override {
    if (actionNames().contains(Name)) object_->accDoDefaultAction(kSelf);
  }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }

 private:
  TAccObjectRef object_;
  QPointer<QWidget> top_;
  QObject* own_;
};

QAccessibleInterface* InterfaceOf(const TAccObjectRef& Object, QWidget* Top) {
  auto it = Interfaces().find(Object.get());
  if (it != Interfaces().end()) return it->second;
  auto* iface = new TAccInterface(Object, Top, nullptr);
  QAccessible::registerAccessibleInterface(iface);
  return iface;
}

// Our top-level windows answer with their client objects.
QAccessibleInterface* HostFactory(const QString&, QObject* Object) {
  HWND wnd = talvik::gui::detail::HostWindowOf(Object);
  TAccObjectRef client;
  if (!wnd || AccessibleObjectFromWindow(wnd, OBJID_CLIENT, client) != S_OK || !client) return nullptr;
  // one interface an object: one made before the toolkit asked for the window gives way
  if (auto it = Interfaces().find(client.get()); it != Interfaces().end())
    QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(it->second));
  return new TAccInterface(client, static_cast<QWidget*>(Object), Object);
}

QWidget* TopWidget(HWND Wnd) {
  return talvik::gui::detail::HostWidgetOf(GetAncestor(Wnd, GA_ROOT));
}

// The interface of a window's object (the toolkit's own one for a top-level window's client area).
QAccessibleInterface* WindowInterface(HWND Wnd, int ObjectId) {
  QWidget* top = TopWidget(Wnd);
  if (ObjectId == OBJID_CLIENT && top && talvik::gui::detail::HostWidgetOf(Wnd) == top)
    return QAccessible::queryAccessibleInterface(top);
  TAccObjectRef object;
  if (AccessibleObjectFromWindow(Wnd, ObjectId, object) != S_OK || !object) return nullptr;
  return InterfaceOf(object, top);
}

void UpdateHandler(QAccessibleEvent* Event) {
  if (const auto& sink = UpdateSink()) {
    // the event names its object's child; the object is that child's parent
    QAccessibleInterface* iface = Event->accessibleInterface();
    if (iface && Event->child() >= 0) iface = iface->parent();
    sink(static_cast<DWORD>(Event->type()), iface ? static_cast<int>(iface->role()) : 0,
         Event->child() < 0 ? CHILDID_SELF : Event->child() + 1);
  }
}

}  // namespace

void NotifyWinEvent(DWORD Event, HWND Wnd, int ObjectId, int ChildId) {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance()) || talvik::gui::detail::DisplayLost())
    return;
  if (!QAccessible::isActive() && !UpdateSink()) return;  // nobody listens
  if (!Wnd || !IsWindow(Wnd)) return;
  QAccessibleInterface* iface = WindowInterface(Wnd, ObjectId);
  if (!iface) return;
  QAccessibleEvent event(iface, static_cast<QAccessible::Event>(Event));
  if (ChildId > 0) event.setChild(ChildId - 1);
  if (QAccessible::isActive())
    QAccessible::updateAccessibility(&event);  // the receiver hears it there too
  else
    UpdateHandler(&event);  // the toolkit delivers nothing while no screen reader is active
}

void AccObjectGone(IAccessible* Object) {
  if (talvik::gui::detail::DisplayLost()) return;  // the toolkit's interface stays in its cache
  auto it = Interfaces().find(Object);
  if (it != Interfaces().end()) QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(it->second));
}

namespace talvik::gui {

namespace detail {

void InstallAccessibleFactory() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  QAccessible::installFactory(HostFactory);
}

}  // namespace detail

bool QueryAccessible(HWND TopLevel, const std::vector<int>& Path, AccessibleInfo& Info) {
  QWidget* top = detail::HostWidgetOf(TopLevel);
  if (!top) return false;
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(top);
  for (int index : Path) {
    if (!iface) return false;
    iface = iface->child(index);
  }
  if (!iface) return false;
  Info = AccessibleInfo();
  Info.Id = QAccessible::uniqueId(iface);
  Info.Valid = iface->isValid();
  if (!Info.Valid) return true;
  Info.Name = FromQString(iface->text(QAccessible::Name));
  Info.Accelerator = FromQString(iface->text(QAccessible::Accelerator));
  Info.Role = static_cast<int>(iface->role());
  Info.State = BitsOf(iface->state());
  const QRect r = iface->rect();
  Info.Bounds = Rect(r.x(), r.y(), r.x() + r.width(), r.y() + r.height());
  Info.ChildCount = iface->childCount();
  if (QAccessibleActionInterface* actions = iface->actionInterface())
    for (const QString& a : actions->actionNames()) Info.Actions.push_back(FromQString(a));
  return true;
}

bool AccessibleValid(unsigned Id) {
  QAccessibleInterface* iface = QAccessible::accessibleInterface(Id);
  return iface && iface->isValid();
}

void SetAccessibleUpdateSink(AccessibleUpdateSink Sink) {
  UpdateSink() = std::move(Sink);
  QAccessible::installUpdateHandler(UpdateSink() ? UpdateHandler : nullptr);
}

}  // namespace talvik::gui
