// The Qt backend: one Qt top-level widget per top-level window of ours, input translation, screens.
#include <xcb/xcb.h>

#include <QAbstractEventDispatcher>
#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QBitmap>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QRegion>
#include <QScreen>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cassert>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "platform/gui/GraphicsQt.h"
#include "platform/gui/GuiPrivate.h"
#include "platform/gui/QtText.h"
#include "platform/gui/WinManager.h"
#include "platform/gui/Windows.h"
#include "platform/gui/WindowsState.h"
#include "platform/rtl/ScopeExit.h"

using talvik::gui::detail::FromQString;
using talvik::gui::detail::ToQString;

namespace talvik::gui {

namespace {

Qt::CursorShape ShapeFor(int id) {
  switch (id) {
    case IDC_IBEAM:
      return Qt::IBeamCursor;
    case IDC_WAIT:
      return Qt::WaitCursor;
    case IDC_CROSS:
      return Qt::CrossCursor;
    case IDC_UPARROW:
      return Qt::UpArrowCursor;
    case IDC_SIZENWSE:
      return Qt::SizeFDiagCursor;
    case IDC_SIZENESW:
      return Qt::SizeBDiagCursor;
    case IDC_SIZEWE:
      return Qt::SizeHorCursor;
    case IDC_SIZENS:
      return Qt::SizeVerCursor;
    case IDC_SIZEALL:
      return Qt::SizeAllCursor;
    case IDC_NO:
      return Qt::ForbiddenCursor;
    case IDC_HAND:
      return Qt::PointingHandCursor;
    case IDC_APPSTARTING:
      return Qt::BusyCursor;
    case IDC_HELP:
      return Qt::WhatsThisCursor;
    default:
      return Qt::ArrowCursor;
  }
}

unsigned ShiftOf(Qt::KeyboardModifiers m) {
  return static_cast<unsigned>(m);
}

ShiftKeys Keys(Qt::KeyboardModifiers m) {
  ShiftKeys k;
  k.shift = m & Qt::ShiftModifier;
  k.ctrl = m & Qt::ControlModifier;
  k.alt = m & Qt::AltModifier;
  return k;
}

// What the desktop is told of a captioned window: its type (a dialog when it has an owner, which the
// desktop then keeps it above, or a dialog's frame), the buttons of its title bar, and whether it
// stays on top. The buttons are the style's alone: the desktop adds none of its own.
Qt::WindowFlags DesktopFlags(DWORD style, DWORD ex, bool owned) {
  Qt::WindowFlags flags = (ex & WS_EX_TOOLWINDOW)                      ? Qt::Tool
                          : (owned || (ex & WS_EX_DLGMODALFRAME) != 0) ? Qt::Dialog
                                                                       : Qt::Window;
  flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  static constexpr struct {
    DWORD style;
    Qt::WindowType hint;
  } kButtons[] = {{WS_SYSMENU, Qt::WindowSystemMenuHint},
                  {WS_SYSMENU, Qt::WindowCloseButtonHint},
                  {WS_MINIMIZEBOX, Qt::WindowMinimizeButtonHint},
                  {WS_MAXIMIZEBOX, Qt::WindowMaximizeButtonHint}};
  for (const auto& b : kButtons)
    if (style & b.style) flags |= b.hint;
  if (ex & WS_EX_TOPMOST) flags |= Qt::WindowStaysOnTopHint;
  return flags;
}

// Tells the X server's window manager that a shown window is transient for another once more (the
// toolkit says it only as it maps the window): the manager reads the property again as it changes.
// The desktop's states of a window (ICCCM's WM_STATE, and the window manager's _NET_WM_STATE).
constexpr std::uint32_t kNormalState = 1, kIconicState = 3;
struct DesktopAtoms {
  xcb_atom_t wmState = XCB_NONE, netState = XCB_NONE, maxVert = XCB_NONE, maxHorz = XCB_NONE;
  static xcb_atom_t Intern(xcb_connection_t* c, const char* name) {
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(strlen(name)), name),
                              nullptr),
        &free);
    return reply ? reply->atom : XCB_NONE;
  }
  // the display's atoms, asked for once (the program has one connection to its display)
  static const DesktopAtoms& Of(xcb_connection_t* c) {
    static const DesktopAtoms atoms{Intern(c, "WM_STATE"), Intern(c, "_NET_WM_STATE"),
                                    Intern(c, "_NET_WM_STATE_MAXIMIZED_VERT"),
                                    Intern(c, "_NET_WM_STATE_MAXIMIZED_HORZ")};
    return atoms;
  }
};

// The toolkit's connection to the X server (none under another platform, or before the toolkit runs).
xcb_connection_t* XConnection() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 ? x11->connection() : nullptr;
}

// Whether the window layer shows a window, on the display for whoever looks (_TALVIK_SHOWN, 1 or 0):
// what the display maps is then seen beside what the layer holds.
void TellShown(QWidget* widget, bool shown) {
  xcb_connection_t* c = XConnection();
  if (!c || !widget->internalWinId()) return;
  static const xcb_atom_t atom = DesktopAtoms::Intern(c, "_TALVIK_SHOWN");  // asked for once
  if (atom == XCB_NONE) return;
  const std::uint32_t value = shown ? 1 : 0;
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(widget->internalWinId()), atom,
                      XCB_ATOM_CARDINAL, 32, 1, &value);
}

// The state a window is to be shown in as the display maps it (ICCCM's WM_HINTS initial_state, which
// window managers honour): down to an icon from the start, or shown in its frame.
void TellInitialState(QWidget* widget, bool iconic) {
  xcb_connection_t* c = XConnection();
  if (!c) return;
  const auto id = static_cast<xcb_window_t>(widget->winId());
  // WM_HINTS: flags, input, initial_state, icon pixmap, icon window, icon x and y, icon mask, group
  constexpr std::uint32_t kStateHint = 1u << 1;
  constexpr int kFields = 9, kFlags = 0, kInitialState = 2;
  std::uint32_t hints[kFields] = {};
  std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> held(
      xcb_get_property_reply(c, xcb_get_property(c, 0, id, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 0, kFields),
                             nullptr),
      &free);
  if (held && held->format == 32)
    std::memcpy(hints, xcb_get_property_value(held.get()),
                std::min<std::size_t>(sizeof hints, xcb_get_property_value_length(held.get())));
  hints[kFlags] |= kStateHint;
  hints[kInitialState] = iconic ? kIconicState : kNormalState;
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32, kFields, hints);
}

// The desktop's states of a window that are the window layer's to say: whether the desktop lists it on
// its taskbar and pager (a tool window, an owned dialog: no, as they stand for their owner), and
// whether it is modal (it runs while the window it is transient for waits for it).
struct OwnDesktopStates {
  bool skipTaskbar = false, skipPager = false, modal = false;
};
void TellDesktopStates(QWidget* widget, const OwnDesktopStates& states) {
  xcb_connection_t* c = XConnection();
  if (!c || !widget->internalWinId()) return;
  const auto id = static_cast<xcb_window_t>(widget->internalWinId());
  static const xcb_atom_t netState = DesktopAtoms::Intern(c, "_NET_WM_STATE");  // asked for once
  static const std::pair<xcb_atom_t, bool OwnDesktopStates::*> kStates[] = {
      {DesktopAtoms::Intern(c, "_NET_WM_STATE_SKIP_TASKBAR"), &OwnDesktopStates::skipTaskbar},
      {DesktopAtoms::Intern(c, "_NET_WM_STATE_SKIP_PAGER"), &OwnDesktopStates::skipPager},
      {DesktopAtoms::Intern(c, "_NET_WM_STATE_MODAL"), &OwnDesktopStates::modal}};
  if (widget->isVisible()) {
    // a shown window's states are the window manager's: it is asked to change them
    constexpr std::uint32_t kRemove = 0, kAdd = 1, kFromApplication = 1;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    for (const auto& [atom, state] : kStates) {
      xcb_client_message_event_t event{};
      event.response_type = XCB_CLIENT_MESSAGE;
      event.format = 32;
      event.window = id;
      event.type = netState;
      event.data.data32[0] = states.*state ? kAdd : kRemove;
      event.data.data32[1] = atom;
      event.data.data32[3] = kFromApplication;
      xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                     reinterpret_cast<const char*>(&event));
    }
    return;
  }
  // a window about to be mapped carries them in its property, beside the toolkit's own states
  std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> reply(
      xcb_get_property_reply(c, xcb_get_property(c, 0, id, netState, XCB_ATOM_ATOM, 0, 64), nullptr), &free);
  std::vector<xcb_atom_t> held;
  if (reply && reply->format == 32) {
    const auto* list = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    held.assign(list, list + xcb_get_property_value_length(reply.get()) / 4);
  }
  for (const auto& [atom, state] : kStates) {
    held.erase(std::remove(held.begin(), held.end(), atom), held.end());
    if (states.*state) held.push_back(atom);
  }
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, netState, XCB_ATOM_ATOM, 32,
                      static_cast<std::uint32_t>(held.size()), held.data());
}

// While it lives, a map of the window (the toolkit's, as it takes a hidden window out of the minimised
// state) goes past the window manager, and the window is unmapped again as it ends: the manager is
// asked to take the window in only as it is shown, its states said by then.
class MapKeptFromDesktop {
 public:
  explicit MapKeptFromDesktop(QWidget* widget) {
    xcb_connection_t* c = XConnection();
    if (!c || !widget->internalWinId()) return;
    c_ = c;
    id_ = static_cast<xcb_window_t>(widget->internalWinId());
    const std::uint32_t on = 1;
    xcb_change_window_attributes(c_, id_, XCB_CW_OVERRIDE_REDIRECT, &on);
  }
  ~MapKeptFromDesktop() {
    if (!c_) return;
    xcb_unmap_window(c_, id_);
    const std::uint32_t off = 0;
    xcb_change_window_attributes(c_, id_, XCB_CW_OVERRIDE_REDIRECT, &off);
    xcb_flush(c_);
  }
  MapKeptFromDesktop(const MapKeptFromDesktop&) = delete;
  MapKeptFromDesktop& operator=(const MapKeptFromDesktop&) = delete;

 private:
  xcb_connection_t* c_ = nullptr;
  xcb_window_t id_ = XCB_NONE;
};

void TellTransientFor(QWidget* owned, QWidget* owner) {
  xcb_connection_t* c = XConnection();
  if (!c) return;
  const auto ownerId = static_cast<xcb_window_t>(owner->winId());
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(owned->winId()),
                      XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 32, 1, &ownerId);
}

class HostWidget : public QWidget {
 public:
  HostWidget(HWND hwnd, Qt::WindowFlags flags) : QWidget(nullptr, flags), hwnd_(hwnd) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_InputMethodEnabled);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);  // files, for the windows of ours that accept them
  }
  bool applying = false;
  // The desktop's frame round the window (none for windows it leaves alone): our window's rectangle
  // is the frame's, its non-client part the frame's borders. Before the desktop has framed the window
  // it is the frame the desktop gave the windows before it.
  QMargins frame;
  bool decorated = false;     // the desktop frames it
  bool framed = false;        // and has done so
  bool fixedSize = false;     // the desktop may not size it (a frame that is not sizeable)
  bool guessed = false;       // the frame expected is one of a window of the other kind
  QMargins normalFrame;       // the desktop's frame round the window while it is not maximised
  bool unmaximizing = false;  // the window left its maximised state and does not stand at its bounds yet
  int restoreTries = 0;       // how often it was placed at them since
  int unmaximized = 0;        // how often it left the maximised state
  static constexpr int kRestoreTries = 3, kRestoreMs = 1000;

  // The window leaves its maximised state: it will be framed as before (as the windows of its kind
  // are, when it never was), and its bounds are those of that frame.
  void Unmaximizing() {
    frame = normalFrame.isNull() ? ExpectedFrame() : normalFrame;
    unmaximizing = true;
    restoreTries = 0;
    // whatever the desktop does meanwhile, moves after that are the user's
    QTimer::singleShot(kRestoreMs, this, [this, once = ++unmaximized] {
      if (once == unmaximized) unmaximizing = false;
    });
  }
  // The desktop's frame round the window changed (the toolkit knows it now): the window's place is its
  // frame's, which the desktop may have moved though the client stayed where it was.
  void FrameExtentsChanged() { Moved(); }
  // Where the server has the client now, on the screen. The toolkit's place is the one it asked for
  // last, which the desktop may have changed without a word (a window it keeps on the screen);
  // nothing without a display to ask.
  std::optional<QPoint> ServerPlace() const {
    xcb_connection_t* c = XConnection();
    if (detail::DisplayLost() || !c || !internalWinId()) return std::nullopt;
    const auto id = static_cast<xcb_window_t>(internalWinId());
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    std::unique_ptr<xcb_translate_coordinates_reply_t, decltype(&free)> place(
        xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, id, root, 0, 0), nullptr), &free);
    if (!place) return std::nullopt;
    return QPoint(place->dst_x, place->dst_y);
  }
  // Places the window, about to be shown again, so that the desktop frames it at its bounds: the
  // client where the frame it had leaves it. The desktop put the client where it left it as the window
  // went (the frame's place, or the client's), and the toolkit, which knows no frame round a window
  // that is not shown, would give that place on as the client's.
  void PlaceToShow() {
    RECT r;
    GetWindowRect(hwnd_, r);
    setGeometry(QRect(r.Left + frame.left(), r.Top + frame.top(),
                      std::max(1, r.Width() - frame.left() - frame.right()),
                      std::max(1, r.Height() - frame.top() - frame.bottom())));
  }
  // Out of the maximised state the window takes its own normal bounds again, whatever bounds the
  // desktop restores (it may know none but the maximised ones) and whatever frame the toolkit
  // placed the window by meanwhile (the maximised one): until the window stands at its bounds (Geometry
  // is the client's), it is placed there again in the frame the desktop now gives (Now). Whether the
  // move was taken so.
  bool RestoredBounds(const QMargins& now, const QRect& geometry) {
    RECT r;
    GetWindowRect(hwnd_, r);
    if (decorated && !now.isNull() && now != frame) {
      frame = now;
      framed = true;
      detail::HostFrameChanged(hwnd_, r);
      GetWindowRect(hwnd_, r);
    }
    const QRect wanted(r.Left + frame.left(), r.Top + frame.top(), r.Width() - frame.left() - frame.right(),
                       r.Height() - frame.top() - frame.bottom());
    if (geometry == wanted || ++restoreTries > kRestoreTries) {
      unmaximizing = false;  // there, or the desktop will not have it: its bounds stand
      return geometry == wanted;
    }
    Apply(r);
    return true;
  }

  // The frame the desktop gave the last decorated window it framed.
  static QMargins& DesktopFrame() {
    static QMargins m;
    return m;
  }
  // The one it gave the last window of a kind: a sizeable frame has borders (a handle) that a fixed
  // one lacks.
  static QMargins& KindFrame(bool fixed) {
    static QMargins m[2];
    return m[fixed ? 1 : 0];
  }
  // The frame this window will likely get, before the desktop framed it: the last of its kind, else
  // the last of any.
  QMargins ExpectedFrame() const {
    const QMargins& own = KindFrame(fixedSize);
    return own.isNull() ? DesktopFrame() : own;
  }
  void ExpectFrame() {
    frame = ExpectedFrame();
    guessed = KindFrame(fixedSize).isNull() && !DesktopFrame().isNull();
  }

  // Places the window so that its frame covers R (screen coordinates): the frame's place and the
  // client's size.
  void Apply(const RECT& r) {
    applying = true;
    const QSize client(std::max(1, r.Width() - frame.left() - frame.right()),
                       std::max(1, r.Height() - frame.top() - frame.bottom()));
    if (fixedSize) setFixedSize(client);  // the one size the desktop is told of
    if (unmaximizing && isVisible()) {
      // the toolkit would place the frame by the maximised frame still: the client is placed in ours
      setGeometry(QRect(QPoint(r.Left + frame.left(), r.Top + frame.top()), client));
    } else {
      resize(client);
      move(r.Left, r.Top);  // a top-level window's position is its frame's
    }
    applying = false;
  }

 protected:
  void paintEvent(QPaintEvent* e) override {
    QPainter p(this);
    detail::Surface* s = detail::SurfaceOf(hwnd_);
    if (!s) return;
    const QImage& img = detail::SurfaceImage(s);
    detail::ReleaseImage(&img);
    // each rectangle of the area to show, not the box around them; clipped to that one rectangle, the
    // copy is a plain copy of lines (under the area's many-rectangle clip the raster engine blends it
    // line by line and hands tall areas to its thread pool)
    // (the image is the whole window's; the widget shows what lies inside the desktop's frame)
    for (const QRect& r : e->region()) {
      p.setClipRect(r);
      p.drawImage(r.topLeft(), img, r.translated(frame.left(), frame.top()));
    }
    p.setClipping(false);
    RECT caret;
    if (detail::VisibleCaret(hwnd_, caret)) {
      p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
      p.fillRect(QRect(caret.Left - frame.left(), caret.Top - frame.top(), caret.Width(), caret.Height()),
                 Qt::white);
    }
  }
  POINT ScreenPos(const QPointF& local) {
    RECT r;
    GetWindowRect(hwnd_, r);
    return {r.Left + frame.left() + static_cast<int>(local.x()),
            r.Top + frame.top() + static_cast<int>(local.y())};
  }
  static UINT ButtonMessage(Qt::MouseButton b, bool down) {
    switch (b) {
      case Qt::RightButton:
        return down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
      case Qt::MiddleButton:
        return down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
      default:
        return down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
    }
  }
  void mousePressEvent(QMouseEvent* e) override {
    InjectDisplayMouse(hwnd_, ButtonMessage(e->button(), true), ScreenPos(e->position()),
                       Keys(e->modifiers()));
  }
  void mouseDoubleClickEvent(QMouseEvent* e) override {
    // double clicks are recognised by the window manager from the presses
    InjectDisplayMouse(hwnd_, ButtonMessage(e->button(), true), ScreenPos(e->position()),
                       Keys(e->modifiers()));
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    InjectDisplayMouse(hwnd_, ButtonMessage(e->button(), false), ScreenPos(e->position()),
                       Keys(e->modifiers()));
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    InjectDisplayMouse(hwnd_, WM_MOUSEMOVE, ScreenPos(e->position()), Keys(e->modifiers()));
  }
  void wheelEvent(QWheelEvent* e) override {
    int delta = e->angleDelta().y();
    if (delta == 0) delta = e->angleDelta().x();
    InjectDisplayMouse(hwnd_, WM_MOUSEWHEEL, ScreenPos(e->position()), Keys(e->modifiers()), delta);
  }
  void leaveEvent(QEvent*) override { InjectMouseLeave(); }
  static std::vector<std::string> LocalFiles(const QMimeData* data) {
    std::vector<std::string> files;
    if (data && data->hasUrls())
      for (const QUrl& u : data->urls())
        if (u.isLocalFile()) files.push_back(FromQString(u.toLocalFile()));
    return files;
  }
  void dragEnterEvent(QDragEnterEvent* e) override {
    if (!LocalFiles(e->mimeData()).empty() && AcceptsFilesAt(ScreenPos(e->position())))
      e->acceptProposedAction();
  }
  void dragMoveEvent(QDragMoveEvent* e) override {
    if (AcceptsFilesAt(ScreenPos(e->position())))
      e->acceptProposedAction();
    else
      e->ignore();
  }
  void dropEvent(QDropEvent* e) override {
    if (InjectFileDrop(ScreenPos(e->position()), LocalFiles(e->mimeData()))) e->acceptProposedAction();
  }
  void Key(QKeyEvent* e, bool down) {
    bool xcb = QGuiApplication::platformName() == QLatin1String("xcb");
    KeyTranslation t =
        TranslateQtKey(e->key(), ShiftOf(e->modifiers()), FromQString(e->text()), e->nativeScanCode(), xcb);
    if (!t.vk) return;
    InjectKey(t.vk, down, down ? t.ch : 0, Keys(e->modifiers()), e->isAutoRepeat(),
              static_cast<int>(e->nativeScanCode()));
  }
  void keyPressEvent(QKeyEvent* e) override { Key(e, true); }
  void keyReleaseEvent(QKeyEvent* e) override { Key(e, false); }
  bool focusNextPrevChild(bool) override { return false; }  // Tab is ours
  void inputMethodEvent(QInputMethodEvent* e) override {
    if (!e->commitString().isEmpty()) InjectText(FromQString(e->commitString()));
  }
  QVariant inputMethodQuery(Qt::InputMethodQuery q) const override {
    if (q == Qt::ImCursorRectangle) {
      POINT p;
      if (GetCaretPos(p)) {
        HWND focus = GetFocus();
        if (focus) {
          ClientToScreen(focus, p);
          RECT r;
          GetWindowRect(hwnd_, r);
          return QRect(p.X - r.Left - frame.left(), p.Y - r.Top - frame.top(), 1, 16);
        }
      }
    }
    return QWidget::inputMethodQuery(q);
  }
  void closeEvent(QCloseEvent* e) override {
    e->ignore();
    detail::HostClosed(hwnd_);
  }
  void moveEvent(QMoveEvent*) override { Moved(); }
  void resizeEvent(QResizeEvent*) override { Moved(); }
  void Moved() {
    if (applying || !isVisible()) return;
    const QMargins now = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    if (unmaximizing && !isMaximized() && RestoredBounds(now, geometry())) return;
    // (the place the server has, the size the toolkit last asked for: the server may not have it yet)
    const QRect g(ServerPlace().value_or(geometry().topLeft()), geometry().size());
    if (decorated && !now.isNull() && (!framed || now != frame)) {
      if (!isMaximized()) {
        // (a maximised window's frame is one of its own, kept by no other window)
        DesktopFrame() = now;
        KindFrame(fixedSize) = now;
        normalFrame = now;
      }
      if (!framed && guessed) {
        // framed for the first time, where the frame expected was a window's of the other kind: the
        // frame stands as it was asked for, the client takes what it leaves
        framed = true;
        frame = now;
        RECT r;
        GetWindowRect(hwnd_, r);
        detail::HostFrameChanged(hwnd_, r);
        return;
      }
      // framed (or framed anew) by the desktop: the client keeps its size, the frame stands where it
      // was asked for
      framed = true;
      frame = now;
      detail::HostFrameChanged(
          hwnd_, Bounds(g.x() - frame.left(), g.y() - frame.top(), g.width() + frame.left() + frame.right(),
                        g.height() + frame.top() + frame.bottom()));
      return;
    }
    detail::HostMoved(
        hwnd_, Bounds(g.x() - frame.left(), g.y() - frame.top(), g.width() + frame.left() + frame.right(),
                      g.height() + frame.top() + frame.bottom()));
  }
  void changeEvent(QEvent* e) override {
    if (e->type() == QEvent::ActivationChange) detail::HostActivated(hwnd_, isActiveWindow());
    // the toolkit's word on the state is what it heard last, maybe a moment the desktop went through:
    // the layer reads the desktop's state itself
    if (e->type() == QEvent::WindowStateChange && !applying) CheckDesktopState();
    QWidget::changeEvent(e);
  }

 public:
  // The desktop may have changed the window's state: the layer takes in what it holds now, and is
  // asked again once the time it gives the desktop to show what it was told has passed.
  void CheckDesktopState() {
    const std::uint64_t wait = detail::HostDesktopChanged(hwnd_);
    if (wait > 0)
      QTimer::singleShot(static_cast<int>(wait), this, [self = QPointer<HostWidget>(this)] {
        if (self) self->CheckDesktopState();
      });
  }

 private:
  HWND hwnd_;
};

// The toolkit's own dialog that runs now (the file dialog), which our windows wait for.
QPointer<QWidget>& ToolkitDialog() {
  static QPointer<QWidget> dialog;
  return dialog;
}

std::map<HWND, HostWidget*>& HostWidgets() {
  // made once and never destroyed, as every table of the window layer (see S())
  static auto* m = new std::map<HWND, HostWidget*>();
  return *m;
}

// The window manager framed Owner's window (it manages it now): the shown windows Owner owns learn
// their owner once more. Told as Owner showed, before the manager took it in, the manager may have
// found no window of that id, and would not keep them above it.
void RetellOwner(HWND owner, HostWidget* widget) {
  for (const auto& [hwnd, owned] : HostWidgets())
    if (owned != widget && owned->isVisible() && owned->windowHandle() && GetWindow(hwnd, GW_OWNER) == owner)
      TellTransientFor(owned, widget);
}

// The desktop's frame round a window changes without an event of the toolkit's: the window hears of
// it here (the frame's _NET_FRAME_EXTENTS changed), once the toolkit has taken the change in.
class FrameExtentsWatch : public QAbstractNativeEventFilter {
 public:
  explicit FrameExtentsWatch(xcb_connection_t* connection) {
    static constexpr char kName[] = "_NET_FRAME_EXTENTS";
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof kName - 1, kName), nullptr);
    if (reply) atom_ = reply->atom;
    free(reply);
    states_ = DesktopAtoms::Of(connection);
  }
  bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
    if (atom_ == XCB_NONE || type != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & ~0x80) == XCB_EXPOSE) {
      // the window shows on the screen (the last of the areas it has to draw now): a state the
      // window manager gave it before it showed, as it brought it back from its icon and mapped its
      // frame only after, is read now; the layer reads none of a window the manager is taking in
      const auto* expose = reinterpret_cast<const xcb_expose_event_t*>(event);
      if (expose->count == 0) CheckStateOf(expose->window);
      return false;
    }
    if ((event->response_type & ~0x80) != XCB_PROPERTY_NOTIFY) return false;
    const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event);
    if (change->atom == states_.wmState || change->atom == states_.netState) {
      CheckStateOf(change->window);  // the window manager changed the window's state
      return false;
    }
    if (change->atom != atom_) return false;
    for (const auto& [hwnd, widget] : HostWidgets())
      if (widget->internalWinId() == change->window)
        QTimer::singleShot(0, widget, [w = QPointer<HostWidget>(widget), owner = hwnd] {
          if (!w) return;
          w->FrameExtentsChanged();
          if (w) RetellOwner(owner, w);
        });
    return false;
  }

 private:
  // The layer reads the state the window manager gives the window, once the toolkit took in what the
  // server said.
  static void CheckStateOf(xcb_window_t window) {
    for (const auto& [hwnd, widget] : HostWidgets())
      if (widget->internalWinId() == window)
        QTimer::singleShot(0, widget, [w = QPointer<HostWidget>(widget)] {
          if (w) w->CheckDesktopState();
        });
  }

  xcb_atom_t atom_ = XCB_NONE;
  DesktopAtoms states_;
};

}  // namespace

HWND detail::HostWindowOf(const QObject* object) {
  for (const auto& [hwnd, widget] : HostWidgets())
    if (widget == object) return hwnd;
  return nullptr;
}

QWidget* detail::HostWidgetOf(HWND topLevel) {
  auto it = HostWidgets().find(topLevel);
  return it == HostWidgets().end() ? nullptr : it->second;
}

namespace {

class QtHost : public Host {
 public:
  explicit QtHost(HWND hwnd) : hwnd_(hwnd) {
    DWORD style = static_cast<DWORD>(GetWindowLongPtr(hwnd, GWL_STYLE));
    DWORD ex = static_cast<DWORD>(GetWindowLongPtr(hwnd, GWL_EXSTYLE));
    Qt::WindowFlags flags;
    bool captioned = (style & WS_CAPTION) == WS_CAPTION;
    popup_ = !captioned && (style & WS_POPUP);
    if (popup_) {
      // our own popups and drop-downs: frameless, never activated, not managed by the desktop
      flags = Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint |
              Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus;
      if (!(ex & WS_EX_TOOLWINDOW) && !(ex & WS_EX_TOPMOST) && !(ex & WS_EX_NOACTIVATE))
        flags = Qt::Window | Qt::FramelessWindowHint;  // a frameless window that may take the focus
      managedTool_ = (ex & WS_EX_MANAGEDTOOL) != 0;
      if (managedTool_) {
        // a tool window the desktop manages (stacked over its owner), framed by us
        // Its activation is its owner's: the desktop gives it none, and the owner stays active as
        // the user works on it or it shows.
        flags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus;
        if (ex & WS_EX_TOPMOST) flags |= Qt::WindowStaysOnTopHint;
      }
    } else {
      flags = DesktopFlags(style, ex, GetWindow(hwnd, GW_OWNER) != nullptr);
    }
    flags_ = flags;
    widget_ = new HostWidget(hwnd, flags);
    widget_->decorated = !popup_ && !(flags & Qt::FramelessWindowHint);
    widget_->fixedSize = widget_->decorated && !(style & WS_THICKFRAME);
    if (widget_->decorated) widget_->ExpectFrame();
    if (popup_ || (ex & WS_EX_NOACTIVATE)) widget_->setAttribute(Qt::WA_ShowWithoutActivating);
    HWND owner = GetWindow(hwnd, GW_OWNER);
    if (owner) ownerHwnd_ = owner;
    HostWidgets()[hwnd] = widget_;
  }
  ~QtHost() override {
    HostWidgets().erase(hwnd_);
    delete widget_;
  }
  void GeometryChanged(const RECT& r) override {
    // the desktop decides the bounds of a window it maximised: a size asked of it would end the state
    if (widget_->framed && widget_->isMaximized() && widget_->isVisible()) return;
    widget_->Apply(r);
  }
  RECT FrameMargins() override {
    const QMargins& m = widget_->frame;
    return RECT{m.left(), m.top(), m.right(), m.bottom()};
  }
  void VisibilityChanged(bool visible) override {
    wantVisible_ = visible;
    iconicShowPending_ = false;
    if (visible && !popup_ && IsIconic(hwnd_) && !widget_->isVisible()) {
      // A window shown down to an icon goes to the desktop once the program has done with it: shown
      // and restored at once (from the tray), it is mapped as it comes back, never first as an icon,
      // which would take its owned windows down with it.
      iconicShowPending_ = true;
      TellShown(widget_, true);
      QTimer::singleShot(0, widget_, [this] {
        if (iconicShowPending_) ShowNow();
      });
      return;
    }
    ShowNow();
  }
  void ShowNow() {
    iconicShowPending_ = false;
    const bool visible = wantVisible_;
    if (visible && !emptyShape_ && !widget_->isVisible() && WithdrawUnanswered()) {
      // hidden a moment ago and shown again: the window manager, which has not let the window go yet,
      // would take the map as one of the window it is giving up, and leave it off the screen
      QTimer::singleShot(kWithdrawCheckMs, widget_, [this] {
        if (wantVisible_ && !widget_->isVisible()) ShowNow();
      });
      TellShown(widget_, true);
      return;
    }
    widget_->applying = true;
    if (visible && !emptyShape_) {
      if (widget_->decorated && !widget_->framed && widget_->frame != widget_->ExpectedFrame()) {
        // made before the desktop framed a window of ours, shown for the first time: it will be framed
        // as the windows before it, so that a window sized by its frame gets the client that frame
        // leaves
        widget_->ExpectFrame();
        RECT r;
        GetWindowRect(hwnd_, r);
        detail::HostFrameChanged(hwnd_, r);
        widget_->applying = true;
      }
      // the toolkit shows the window in the state it last heard of (down to an icon with its owner,
      // say): it is shown in the layer's
      const Qt::WindowStates held = widget_->windowState(),
                             wanted = (held & ~(Qt::WindowMinimized | Qt::WindowMaximized)) |
                                      (!popup_ && IsIconic(hwnd_) ? Qt::WindowMinimized : Qt::WindowNoState) |
                                      (!popup_ && IsZoomed(hwnd_) ? Qt::WindowMaximized : Qt::WindowNoState);
      if (wanted != held && held.testFlag(Qt::WindowMinimized) && !widget_->isVisible()) {
        // The toolkit maps a hidden window at once as it leaves the minimised state, before it says the
        // state the window is to be shown in, and then tells its states anew: the window manager would
        // take the window in as it went (a maximised window back from the tray, normal) and hear those
        // changes as the user's. It takes the window in as it is shown.
        const MapKeptFromDesktop aside(widget_);
        widget_->setWindowState(wanted);
      } else if (wanted != held) {
        widget_->setWindowState(wanted);
      }
      // a window the layer holds minimised is mapped down to an icon, never first in its frame
      if (!popup_) TellInitialState(widget_, IsIconic(hwnd_));
      if (ownerHwnd_ && widget_->windowHandle() == nullptr) widget_->winId();
      if (managedTool_) PrepareManagedTool();
      if (widget_->decorated) FollowOwner();
      // (a window the desktop framed before comes back where it stood)
      if (widget_->framed && !widget_->isVisible() && !IsZoomed(hwnd_)) widget_->PlaceToShow();
      TellDesktopStates(widget_, OwnStates());
      if (widget_->fixedSize) {
        // the desktop learns the one size as it maps the window, not after
        widget_->windowHandle()->setMinimumSize(widget_->size());
        widget_->windowHandle()->setMaximumSize(widget_->size());
      }
      widget_->show();
      RaiseOwnedWindows(true);
    } else {
      if (widget_->isVisible() && !popup_) withdrawn_.start();
      widget_->hide();
    }
    widget_->applying = false;
    TellShown(widget_, visible);
  }
  // The window was hidden a moment ago, and the window manager still keeps it (its WM_STATE is there):
  // it has not yet answered the withdrawal, which a window mapped again waits for.
  bool WithdrawUnanswered() const {
    xcb_connection_t* c = XConnection();
    if (!withdrawn_.isValid() || withdrawn_.elapsed() >= kWithdrawMs || detail::DisplayLost() || !c ||
        !widget_->internalWinId())
      return false;
    const xcb_atom_t wmState = DesktopAtoms::Of(c).wmState;
    std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> held(
        xcb_get_property_reply(c,
                               xcb_get_property(c, 0, static_cast<xcb_window_t>(widget_->internalWinId()),
                                                wmState, wmState, 0, 1),
                               nullptr),
        &free);
    constexpr std::uint32_t kWithdrawnState = 0;
    return held && held->format == 32 && xcb_get_property_value_length(held.get()) >= 4 &&
           *static_cast<const std::uint32_t*>(xcb_get_property_value(held.get())) != kWithdrawnState;
  }
  void ShapeChanged(const std::vector<RECT>* rects) override {
    // An empty mask means "no mask" to the toolkit, so a window that shows nothing stays unmapped.
    QRegion shape;
    const QMargins& m = widget_->frame;
    if (rects)
      for (const RECT& r : *rects) shape += QRect(r.Left - m.left(), r.Top - m.top(), r.Width(), r.Height());
    shape &= QRect(0, 0, widget_->width(), widget_->height());
    const bool wasEmpty = emptyShape_;
    emptyShape_ = rects && shape.isEmpty();
    if (!rects)
      widget_->clearMask();
    else if (!emptyShape_)
      widget_->setMask(shape);
    if (wantVisible_ && wasEmpty != emptyShape_) VisibilityChanged(true);
  }
  void Dirty(const RECT& r) override {
    widget_->update(r.Left - widget_->frame.left(), r.Top - widget_->frame.top(), r.Width(), r.Height());
  }
  void SizeLimitsChanged(SIZE least, SIZE most) override {
    if (widget_->fixedSize) return;  // one size already
    widget_->applying = true;        // our window keeps its limits already: nothing to hand back
    // (our limits are the frame's, the toolkit's the client's)
    const QMargins& m = widget_->frame;
    const int dx = m.left() + m.right(), dy = m.top() + m.bottom();
    widget_->setMinimumSize(std::max(0, least.cx - dx), std::max(0, least.cy - dy));
    widget_->setMaximumSize(most.cx > 0 ? std::max(1, most.cx - dx) : QWIDGETSIZE_MAX,
                            most.cy > 0 ? std::max(1, most.cy - dy) : QWIDGETSIZE_MAX);
    widget_->applying = false;
  }
  void CursorChanged(HCURSOR cursor) override {
    int id = CursorId(cursor);
    if (cursor && !id) {
      widget_->setCursor(CustomCursor(cursor));
      return;
    }
    widget_->setCursor(ShapeFor(id));
  }
  void GrabChanged(bool grabbed) override {
    if (grabbed) {
      TakeGrab(kGrabTries);
    } else if (widget_->isVisible()) {
      widget_->releaseMouse();
      if (popup_) widget_->releaseKeyboard();
    }
  }
  // The pointer (and, for a popup, the keyboard) taken for the capture of a window of ours. A window
  // the display does not show yet cannot hold them: one that a window manager maps in its own time (a
  // toolbar floating out of a drag that holds the capture) takes them once it is mapped, while the
  // capture is still in it.
  void TakeGrab(int Tries) {
    const HWND capture = GetCapture();
    if (!capture || GetAncestor(capture, GA_ROOT) != hwnd_ || !widget_->isVisible()) return;
    widget_->grabMouse();
    if (popup_) widget_->grabKeyboard();
    const QWindow* window = widget_->windowHandle();
    if (Tries > 1 && window && !window->isExposed())
      QTimer::singleShot(kGrabRetryMs, widget_, [this, Tries] { TakeGrab(Tries - 1); });
  }
  void Raise() override {
    if (managedTool_ && widget_->isVisible() && TopmostChanged()) {
      widget_->applying = true;
      PrepareManagedTool();  // changing the flags hides the window
      widget_->show();
      widget_->applying = false;
    }
    if (!widget_->isVisible()) return;
    widget_->raise();
    RaiseOwnedWindows(false);
  }
  void Activate() override {
    if (widget_->isVisible() && !popup_) widget_->activateWindow();
  }
  void MinimizedChanged(bool minimized) override {
    if (iconicShowPending_ && !minimized) {
      ShowNow();  // shown as it comes back: nothing to change on the desktop
      return;
    }
    if (popup_ || widget_->isMinimized() == minimized) return;
    widget_->applying = true;
    // a hidden window keeps the state for when it shows
    widget_->setWindowState(minimized ? widget_->windowState() | Qt::WindowMinimized
                                      : widget_->windowState() & ~Qt::WindowMinimized);
    widget_->applying = false;
  }
  void DesktopMaximizing(bool maximized) override {
    if (!maximized && !popup_) widget_->Unmaximizing();  // framed as before out of the maximised state
  }
  void MaximizedChanged(bool maximized) override {
    if (popup_ || widget_->isMaximized() == maximized) return;
    if (!maximized) widget_->Unmaximizing();
    widget_->applying = true;
    widget_->setWindowState(maximized ? widget_->windowState() | Qt::WindowMaximized
                                      : widget_->windowState() & ~Qt::WindowMaximized);
    widget_->applying = false;
  }
  void TitleChanged(const std::string& title) override { widget_->setWindowTitle(ToQString(title)); }
  std::optional<DesktopWindowState> DesktopState() override {
    xcb_connection_t* c = XConnection();
    if (popup_ || detail::DisplayLost() || !c || !widget_->internalWinId()) return std::nullopt;
    const auto id = static_cast<xcb_window_t>(widget_->internalWinId());
    const DesktopAtoms& atoms = DesktopAtoms::Of(c);
    const auto wmState = xcb_get_property(c, 0, id, atoms.wmState, atoms.wmState, 0, 2);
    const auto netState = xcb_get_property(c, 0, id, atoms.netState, XCB_ATOM_ATOM, 0, 64);
    const auto attributes = xcb_get_window_attributes(c, id);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> wm(xcb_get_property_reply(c, wmState, nullptr),
                                                                  &free),
        net(xcb_get_property_reply(c, netState, nullptr), &free);
    std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&free)> attr(
        xcb_get_window_attributes_reply(c, attributes, nullptr), &free);
    DesktopWindowState state;
    if (!wm || !attr || wm->format != 32 || xcb_get_property_value_length(wm.get()) < 4) return state;
    const std::uint32_t held = *static_cast<const std::uint32_t*>(xcb_get_property_value(wm.get()));
    state.iconic = held == kIconicState;
    state.managed = state.iconic || (held == kNormalState && attr->map_state == XCB_MAP_STATE_VIEWABLE);
    if (net && net->format == 32) {
      const auto* list = static_cast<const xcb_atom_t*>(xcb_get_property_value(net.get()));
      const int n = xcb_get_property_value_length(net.get()) / 4;
      const bool vert = std::find(list, list + n, atoms.maxVert) != list + n,
                 horz = std::find(list, list + n, atoms.maxHorz) != list + n;
      state.maximized = vert && horz;
    }
    return state;
  }

 private:
  QCursor CustomCursor(HCURSOR cursor) {
    // our own drawn cursors come as two masks of 1-bit rows
    auto* c = reinterpret_cast<detail::CursorRec*>(cursor);
    QImage img(c->width, c->height, QImage::Format_ARGB32);
    int stride = (c->width + 7) / 8;
    for (int y = 0; y < c->height; ++y)
      for (int x = 0; x < c->width; ++x) {
        bool andBit = c->andMask[y * stride + x / 8] & (0x80 >> (x % 8));
        bool xorBit = c->xorMask[y * stride + x / 8] & (0x80 >> (x % 8));
        QRgb px = andBit ? (xorBit ? qRgba(0, 0, 0, 255) : qRgba(0, 0, 0, 0))
                         : (xorBit ? qRgba(255, 255, 255, 255) : qRgba(0, 0, 0, 255));
        img.setPixel(x, y, px);
      }
    return QCursor(QPixmap::fromImage(img), c->hotX, c->hotY);
  }
  // A floating tool window and a dialog owned by a shown window stand for their owner: the taskbar
  // lists the owner alone (the pager neither lists a tool window, drawn as part of its owner). A
  // dialog whose owner waits for it (disabled while it runs) is modal.
  OwnDesktopStates OwnStates() const {
    OwnDesktopStates states;
    const HWND owner = GetWindow(hwnd_, GW_OWNER);
    const QWidget* ownerWidget = owner ? detail::HostWidgetOf(owner) : nullptr;
    const bool ownedShown = ownerWidget && ownerWidget->isVisible();
    states.skipTaskbar = managedTool_ || (widget_->decorated && ownedShown);
    states.skipPager = managedTool_;
    states.modal = widget_->decorated && ownedShown && !IsWindowEnabled(owner) && IsWindowEnabled(hwnd_);
    return states;
  }
  bool TopmostChanged() const {
    const bool topmost = (GetWindowLongPtr(hwnd_, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    return topmost != widget_->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
  }
  // A managed tool window follows its owner (transient for it) and the topmost state of its style.
  void PrepareManagedTool() {
    if (TopmostChanged())
      widget_->setWindowFlag(Qt::WindowStaysOnTopHint,
                             (GetWindowLongPtr(hwnd_, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0);
    TransientForOwner();
  }
  // A framed window is transient for the window that owns it now (a modal form's owner is the window
  // it was opened from): the desktop keeps it above that window and moves it with it. Only a dialog
  // (or tool) window carries that to the desktop, so an owned window is one.
  void FollowOwner() {
    const Qt::WindowFlags flags = DesktopFlags(static_cast<DWORD>(GetWindowLongPtr(hwnd_, GWL_STYLE)),
                                               static_cast<DWORD>(GetWindowLongPtr(hwnd_, GWL_EXSTYLE)),
                                               GetWindow(hwnd_, GW_OWNER) != nullptr);
    if (flags != flags_) {
      flags_ = flags;
      widget_->setWindowFlags(flags);  // hidden as it is: nothing to show again
    }
    TransientForOwner();
  }
  void TransientForOwner() {
    widget_->winId();
    HWND owner = GetWindow(hwnd_, GW_OWNER);
    auto it = owner ? HostWidgets().find(owner) : HostWidgets().end();
    QWindow* parent = nullptr;
    if (it != HostWidgets().end()) {
      it->second->winId();
      parent = it->second->windowHandle();
    }
    if (widget_->windowHandle()) widget_->windowHandle()->setTransientParent(parent);
  }
  // The shown windows of ours that this one owns come above it, as owned windows stand above their
  // owner: a desktop without a window manager, or one that does not keep transient windows above
  // their owner, stacks them as it is told. As this one shows (retell), the window manager learns
  // their owner again: those shown before it could not be tied to a window it did not manage yet.
  void RaiseOwnedWindows(bool retell) {
    if (!widget_->windowHandle()) return;
    for (const auto& [hwnd, widget] : HostWidgets()) {
      if (widget == widget_ || !widget->windowHandle() || !widget->isVisible() ||
          GetWindow(hwnd, GW_OWNER) != hwnd_)
        continue;
      if (retell) TellTransientFor(widget, widget_);
      widget->raise();
    }
  }
  HWND hwnd_;
  Qt::WindowFlags flags_;  // what the desktop was last told of the window
  HWND ownerHwnd_ = nullptr;
  // how long a window waits for the display to show it before it takes the pointer: 50 tries, 20 ms apart
  static constexpr int kGrabTries = 50, kGrabRetryMs = 20;
  bool managedTool_ = false;
  bool popup_ = false;
  bool wantVisible_ = false;        // our window is visible (the toolkit's may not be, see emptyShape_)
  bool iconicShowPending_ = false;  // shown down to an icon, not yet on the desktop (VisibilityChanged)
  QElapsedTimer withdrawn_;         // since the window was last taken off the screen (hidden)
  // how long a window hidden and shown again waits for the window manager to let it go, and how often
  // it looks meanwhile
  static constexpr int kWithdrawMs = 500, kWithdrawCheckMs = 20;
  bool emptyShape_ = false;  // the window's region shows nothing
  HostWidget* widget_;
};

class QtBackend : public Backend {
 public:
  std::unique_ptr<Host> CreateHost(HWND topLevel) override { return std::make_unique<QtHost>(topLevel); }
  RECT DesktopFrame() override {
    const QMargins& m = HostWidget::DesktopFrame();
    return RECT{m.left(), m.top(), m.right(), m.bottom()};
  }
  void Pump(bool wait, int timeoutMs) override {
    auto* dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher) return;
    if (!wait) {
      QCoreApplication::sendPostedEvents();
      dispatcher->processEvents(QEventLoop::AllEvents);
      return;
    }
    QTimer timer;
    if (timeoutMs >= 0) {
      timer.setSingleShot(true);
      timer.start(timeoutMs);
    }
    dispatcher->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
  void Wake() override {
    if (auto* dispatcher = QAbstractEventDispatcher::instance(QCoreApplication::instance()->thread()))
      dispatcher->wakeUp();
  }
  std::vector<MONITORINFO> Screens() override {
    std::vector<MONITORINFO> out;
    QScreen* primary = QGuiApplication::primaryScreen();
    for (QScreen* s : QGuiApplication::screens()) {
      MONITORINFO mi;
      QRect g = s->geometry(), a = s->availableGeometry();
      mi.rcMonitor = Bounds(g.x(), g.y(), g.width(), g.height());
      mi.rcWork = Bounds(a.x(), a.y(), a.width(), a.height());
      mi.dwFlags = s == primary ? MONITORINFOF_PRIMARY : 0;
      if (s == primary)
        out.insert(out.begin(), mi);
      else
        out.push_back(mi);
    }
    return out;
  }
  POINT CursorPos() override {
    QPoint p = QCursor::pos();
    return {p.x(), p.y()};
  }
  void Beep() override { QApplication::beep(); }
};

}  // namespace

bool ToolkitMouseClick(HWND topLevel, POINT client, int button) {
  auto it = HostWidgets().find(topLevel);
  if (it == HostWidgets().end()) return false;
  Qt::MouseButton b = button == 2 ? Qt::RightButton : Qt::LeftButton;
  QPointF local(client.X, client.Y);
  QPointF global = it->second->mapToGlobal(local);
  QMouseEvent press(QEvent::MouseButtonPress, local, global, b, b, Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, local, global, b, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(it->second, &press);
  QCoreApplication::sendEvent(it->second, &release);
  return true;
}

bool ToolkitKey(HWND topLevel, int qtKey, unsigned qtModifiers, const std::string& text, bool press) {
  auto it = HostWidgets().find(topLevel);
  if (it == HostWidgets().end()) return false;
  QKeyEvent e(press ? QEvent::KeyPress : QEvent::KeyRelease, qtKey,
              Qt::KeyboardModifiers::fromInt(static_cast<int>(qtModifiers)), ToQString(text));
  QCoreApplication::sendEvent(it->second, &e);
  return true;
}

namespace {

// What the display shows once every shown window is exposed and painted.
QImage GrabDisplay() {
  // The X server maps and exposes a window some round trips after it was shown, and the window
  // paints only after that: wait (a second at most) until every shown window is exposed, then let
  // the paints run.
  QElapsedTimer waited;
  waited.start();
  auto unexposed = [] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible() && (!w->windowHandle() || !w->windowHandle()->isExposed())) return true;
    return false;
  };
  do {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  } while (unexposed() && waited.elapsed() < 1000);
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return QImage();
  return screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace

bool GrabDisplayToPng(const std::string& path) {
  UseQtBackend();
  const QImage image = GrabDisplay();
  return !image.isNull() && detail::SaveImageWhole(image, path);
}

namespace {
// The pixels of a 32-bit image as colour values, row by row.
void ImagePixels(const QImage& image, std::vector<COLORREF>& pixels, int& width, int& height) {
  width = image.width();
  height = image.height();
  pixels.resize(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < width; ++x)
      pixels[static_cast<std::size_t>(y) * width + x] = RGB(qRed(line[x]), qGreen(line[x]), qBlue(line[x]));
  }
}
}  // namespace

bool GrabDisplayPixels(std::vector<COLORREF>& pixels, int& width, int& height) {
  UseQtBackend();
  const QImage image = GrabDisplay();
  if (image.isNull()) return false;
  ImagePixels(image, pixels, width, height);
  return true;
}

bool SavePixelsPng(const std::vector<COLORREF>& pixels, int width, int height, const std::string& path) {
  assert(width >= 0 && height >= 0 && pixels.size() == static_cast<std::size_t>(width) * height);
  if (width == 0 || height == 0) return false;
  UseQtBackend();
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) {
      const COLORREF c = pixels[static_cast<std::size_t>(y) * width + x];
      line[x] = qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
    }
  }
  return detail::SaveImageWhole(image, path);
}

bool ToolkitWindowPixels(HWND topLevel, std::vector<COLORREF>& pixels, int& width, int& height) {
  QWidget* widget = detail::HostWidgetOf(topLevel);
  if (!widget || !widget->isVisible()) return false;
  QCoreApplication::processEvents();  // the toolkit's pending paints
  QScreen* screen = widget->screen();
  if (!screen) return false;
  const QImage image = screen->grabWindow(widget->winId()).toImage().convertToFormat(QImage::Format_RGB32);
  if (image.isNull()) return false;
  ImagePixels(image, pixels, width, height);
  return true;
}

namespace {

// Whether the toolkit's connection to the X server has broken (never under another platform).
bool DisplayConnectionBroken() {
  xcb_connection_t* c = XConnection();
  return c && xcb_connection_has_error(c) != 0;
}

QtMessageHandler previousMessageHandler = nullptr;

// The toolkit's messages go on as before; a warning on the GUI thread while the display's connection
// is broken is the toolkit's last word before it calls exit(1) (it finds the break when it next reads
// the connection). The program lets go of the toolkit, whose every further call to the display would
// end the program once more from inside its end, and ends there itself, with the code that says the
// display was lost: what runs at its end (sessions logged off, windows freed) runs without the toolkit.
void WatchForLostDisplay(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (previousMessageHandler) previousMessageHandler(type, context, message);
  if (type != QtWarningMsg || detail::DisplayLost() || !QCoreApplication::instance() ||
      QThread::currentThread() != QCoreApplication::instance()->thread() || !DisplayConnectionBroken())
    return;
  detail::AbandonBackend();
  HostWidgets().clear();  // the widgets stay as they are, in the toolkit's own lists
  std::exit(kExitDisplayLost);
}

void NoteBrokenPipe(int) {}

// A write to the display's connection after its server went (the toolkit writes from its timers and
// threads at any moment, before it has read of the end) fails with EPIPE instead of ending the process
// with SIGPIPE: the toolkit finds the break when it next reads, and the program ends as for any lost
// display (above). The signal gets a handler that does nothing rather than being ignored, so that the
// programs this one starts begin with the default as usual; a handler the program set stays.
void SurviveWritesToAGoneDisplay() {
  struct sigaction current {};
  if (sigaction(SIGPIPE, nullptr, &current) != 0 || (current.sa_flags & SA_SIGINFO) ||
      current.sa_handler != SIG_DFL)
    return;
  struct sigaction noted {};
  noted.sa_handler = NoteBrokenPipe;
  sigemptyset(&noted.sa_mask);
  noted.sa_flags = SA_RESTART;
  sigaction(SIGPIPE, &noted, nullptr);
}

// Whether the toolkit is to draw through an X server: its platform is xcb, asked for by name or the
// one it takes when none is named.
bool DrawsOnAnXDisplay() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (!platform || !*platform) return true;
  const std::string name(platform);
  return name.substr(0, name.find_first_of(":;")) == "xcb";
}

using DisplayConnection = std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)>;

// The toolkit aborts the process when it cannot open its display; the display is opened here first,
// so that a program without one can say so and end as it chooses. The connection is held until the
// toolkit has its own: a server that ends or starts over when its last client leaves would otherwise
// be gone when the toolkit comes. None where the toolkit does not draw on an X display.
DisplayConnection RequireDisplay() {
  if (!DrawsOnAnXDisplay()) return DisplayConnection(nullptr, xcb_disconnect);
  const char* display = std::getenv("DISPLAY");
  if (!display) throw EDisplayUnavailable("cannot open display: DISPLAY is not set");
  DisplayConnection connection(xcb_connect(display, nullptr), xcb_disconnect);
  if (xcb_connection_has_error(connection.get()) != 0)
    throw EDisplayUnavailable("cannot open display \"" + std::string(display) + "\"");
  return connection;
}

}  // namespace

void UseQtBackend() {
  static QtBackend* backend = nullptr;
  [[maybe_unused]] static const bool watching = [] {
    SurviveWritesToAGoneDisplay();
    previousMessageHandler = qInstallMessageHandler(WatchForLostDisplay);
    return true;
  }();
  if (!QCoreApplication::instance()) {
    const DisplayConnection display = RequireDisplay();
    static int argc = 1;
    static char name[] = "talvik";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
    // The toolkit gave the C library the user's locale; numbers written and read through the C
    // library (the simulated instance's conversions among them) keep the point. The format
    // settings read the user's locale on their own.
    std::setlocale(LC_NUMERIC, "C");
  }
  if (!backend) {
    backend = new QtBackend();
    static FrameExtentsWatch* frames = nullptr;
    if (xcb_connection_t* c = XConnection())
      qApp->installNativeEventFilter(frames = new FrameExtentsWatch(c));
  }
  SetBackend(backend);
  detail::InstallAccessibleFactory();
}

KeyTranslation TranslateQtKey(int key, unsigned modifiers, const std::string& text, unsigned scanCode,
                              bool useScanCode) {
  KeyTranslation t;
  auto mods = Qt::KeyboardModifiers::fromInt(static_cast<int>(modifiers));
  bool keypad = mods & Qt::KeypadModifier;
  // the character first
  if (!text.empty()) {
    unsigned char c = static_cast<unsigned char>(text[0]);
    char32_t cp = c;
    int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : 4;
    if (len > 1) {
      cp = c & (0x7F >> len);
      for (int k = 1; k < len && k < static_cast<int>(text.size()); ++k)
        cp = (cp << 6) | (static_cast<unsigned char>(text[k]) & 0x3F);
    }
    t.ch = cp;
  }
  // the physical key under a non-Latin layout (X keycodes are evdev codes + 8)
  static const std::map<unsigned, WORD> byScan = {
      {10, '1'},           {11, '2'},         {12, '3'},       {13, '4'},      {14, '5'},
      {15, '6'},           {16, '7'},         {17, '8'},       {18, '9'},      {19, '0'},
      {20, VK_OEM_MINUS},  {21, VK_OEM_PLUS}, {24, 'Q'},       {25, 'W'},      {26, 'E'},
      {27, 'R'},           {28, 'T'},         {29, 'Y'},       {30, 'U'},      {31, 'I'},
      {32, 'O'},           {33, 'P'},         {34, VK_OEM_4},  {35, VK_OEM_6}, {38, 'A'},
      {39, 'S'},           {40, 'D'},         {41, 'F'},       {42, 'G'},      {43, 'H'},
      {44, 'J'},           {45, 'K'},         {46, 'L'},       {47, VK_OEM_1}, {48, VK_OEM_7},
      {49, VK_OEM_3},      {51, VK_OEM_5},    {52, 'Z'},       {53, 'X'},      {54, 'C'},
      {55, 'V'},           {56, 'B'},         {57, 'N'},       {58, 'M'},      {59, VK_OEM_COMMA},
      {60, VK_OEM_PERIOD}, {61, VK_OEM_2},    {94, VK_OEM_102}};
  // the Russian (ЙЦУКЕН) letters on the Latin keys
  static const std::map<int, WORD> cyrillic = {
      {0x419, 'Q'},          {0x426, 'W'},           {0x423, 'E'},      {0x41A, 'R'}, {0x415, 'T'},
      {0x41D, 'Y'},          {0x413, 'U'},           {0x428, 'I'},      {0x429, 'O'}, {0x417, 'P'},
      {0x425, VK_OEM_4},     {0x42A, VK_OEM_6},      {0x424, 'A'},      {0x42B, 'S'}, {0x412, 'D'},
      {0x410, 'F'},          {0x41F, 'G'},           {0x420, 'H'},      {0x41E, 'J'}, {0x41B, 'K'},
      {0x414, 'L'},          {0x416, VK_OEM_1},      {0x42D, VK_OEM_7}, {0x42F, 'Z'}, {0x427, 'X'},
      {0x421, 'C'},          {0x41C, 'V'},           {0x418, 'B'},      {0x422, 'N'}, {0x42C, 'M'},
      {0x411, VK_OEM_COMMA}, {0x42E, VK_OEM_PERIOD}, {0x401, VK_OEM_3}};
  static const std::map<int, WORD> special = {{Qt::Key_Escape, VK_ESCAPE},
                                              {Qt::Key_Tab, VK_TAB},
                                              {Qt::Key_Backtab, VK_TAB},
                                              {Qt::Key_Backspace, VK_BACK},
                                              {Qt::Key_Return, VK_RETURN},
                                              {Qt::Key_Enter, VK_RETURN},
                                              {Qt::Key_Insert, VK_INSERT},
                                              {Qt::Key_Delete, VK_DELETE},
                                              {Qt::Key_Pause, VK_PAUSE},
                                              {Qt::Key_Print, VK_SNAPSHOT},
                                              {Qt::Key_Clear, VK_CLEAR},
                                              {Qt::Key_Home, VK_HOME},
                                              {Qt::Key_End, VK_END},
                                              {Qt::Key_Left, VK_LEFT},
                                              {Qt::Key_Up, VK_UP},
                                              {Qt::Key_Right, VK_RIGHT},
                                              {Qt::Key_Down, VK_DOWN},
                                              {Qt::Key_PageUp, VK_PRIOR},
                                              {Qt::Key_PageDown, VK_NEXT},
                                              {Qt::Key_Shift, VK_SHIFT},
                                              {Qt::Key_Control, VK_CONTROL},
                                              {Qt::Key_Alt, VK_MENU},
                                              {Qt::Key_AltGr, VK_MENU},
                                              {Qt::Key_Meta, VK_LWIN},
                                              {Qt::Key_CapsLock, VK_CAPITAL},
                                              {Qt::Key_NumLock, VK_NUMLOCK},
                                              {Qt::Key_ScrollLock, VK_SCROLL},
                                              {Qt::Key_Menu, VK_APPS},
                                              {Qt::Key_Space, VK_SPACE},
                                              {Qt::Key_Minus, VK_OEM_MINUS},
                                              {Qt::Key_Underscore, VK_OEM_MINUS},
                                              {Qt::Key_Equal, VK_OEM_PLUS},
                                              {Qt::Key_Plus, VK_OEM_PLUS},
                                              {Qt::Key_BracketLeft, VK_OEM_4},
                                              {Qt::Key_BraceLeft, VK_OEM_4},
                                              {Qt::Key_BracketRight, VK_OEM_6},
                                              {Qt::Key_BraceRight, VK_OEM_6},
                                              {Qt::Key_Semicolon, VK_OEM_1},
                                              {Qt::Key_Colon, VK_OEM_1},
                                              {Qt::Key_Apostrophe, VK_OEM_7},
                                              {Qt::Key_QuoteDbl, VK_OEM_7},
                                              {Qt::Key_Comma, VK_OEM_COMMA},
                                              {Qt::Key_Less, VK_OEM_COMMA},
                                              {Qt::Key_Period, VK_OEM_PERIOD},
                                              {Qt::Key_Greater, VK_OEM_PERIOD},
                                              {Qt::Key_Slash, VK_OEM_2},
                                              {Qt::Key_Question, VK_OEM_2},
                                              {Qt::Key_Backslash, VK_OEM_5},
                                              {Qt::Key_Bar, VK_OEM_5},
                                              {Qt::Key_QuoteLeft, VK_OEM_3},
                                              {Qt::Key_AsciiTilde, VK_OEM_3},
                                              {Qt::Key_Exclam, '1'},
                                              {Qt::Key_At, '2'},
                                              {Qt::Key_NumberSign, '3'},
                                              {Qt::Key_Dollar, '4'},
                                              {Qt::Key_Percent, '5'},
                                              {Qt::Key_AsciiCircum, '6'},
                                              {Qt::Key_Ampersand, '7'},
                                              {Qt::Key_Asterisk, '8'},
                                              {Qt::Key_ParenLeft, '9'},
                                              {Qt::Key_ParenRight, '0'}};
  if (keypad) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
      t.vk = static_cast<WORD>(VK_NUMPAD0 + (key - Qt::Key_0));
    else if (key == Qt::Key_Asterisk)
      t.vk = VK_MULTIPLY;
    else if (key == Qt::Key_Plus)
      t.vk = VK_ADD;
    else if (key == Qt::Key_Minus)
      t.vk = VK_SUBTRACT;
    else if (key == Qt::Key_Period || key == Qt::Key_Comma)
      t.vk = VK_DECIMAL;
    else if (key == Qt::Key_Slash)
      t.vk = VK_DIVIDE;
  }
  if (!t.vk && key >= Qt::Key_F1 && key <= Qt::Key_F24) t.vk = static_cast<WORD>(VK_F1 + (key - Qt::Key_F1));
  bool named = false;
  if (!t.vk) {
    auto it = special.find(key);
    if (it != special.end() && (key >= 0x01000000 || key == Qt::Key_Space)) {
      t.vk = it->second;
      named = true;
    }
  }
  if (!t.vk && useScanCode) {
    auto it = byScan.find(scanCode);
    if (it != byScan.end()) t.vk = it->second;
  }
  if (!t.vk) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
      t.vk = static_cast<WORD>('A' + (key - Qt::Key_A));
    else if (key >= Qt::Key_0 && key <= Qt::Key_9)
      t.vk = static_cast<WORD>('0' + (key - Qt::Key_0));
    else if (auto c = cyrillic.find(key); c != cyrillic.end())
      t.vk = c->second;
    else if (auto c2 = cyrillic.find(key - 0x20); key >= 0x430 && key <= 0x44F && c2 != cyrillic.end())
      t.vk = c2->second;
    else if (key == 0x451)
      t.vk = VK_OEM_3;
    else if (auto s = special.find(key); s != special.end())
      t.vk = s->second;
  }
  (void)named;
  // keys that type nothing under the classic rules
  if (t.vk == VK_DELETE || t.vk == VK_INSERT || (t.vk >= VK_PRIOR && t.vk <= VK_DOWN) ||
      (t.vk >= VK_F1 && t.vk <= VK_F1 + 23) || t.vk == VK_SHIFT || t.vk == VK_CONTROL || t.vk == VK_MENU)
    t.ch = 0;
  if (t.vk == VK_RETURN) t.ch = t.ch ? U'\r' : 0;
  if ((mods & Qt::ControlModifier) && !(mods & Qt::AltModifier) && t.vk >= 'A' && t.vk <= 'Z')
    t.ch = static_cast<char32_t>(t.vk - 'A' + 1);  // control characters, whatever the layout
  return t;
}

}  // namespace talvik::gui

namespace talvik::gui::detail {

// Our code runs here inside a toolkit event handler: nothing may escape into the toolkit.
template <typename F>
void Guarded(F f) {
  try {
    f();
  } catch (...) {
    HandleToolkitException();
  }
}

void HostMoved(HWND topLevel, const RECT& r) {
  Guarded([&] {
    RECT cur;
    if (!GetWindowRect(topLevel, cur) || cur == r) return;
    DesktopMoving(topLevel);
    SetWindowPos(topLevel, nullptr, r.Left, r.Top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
    // a size beyond the window's limits was refused: the toolkit's window takes ours again
    RECT now;
    auto it = HostWidgets().find(topLevel);
    if (!GetWindowRect(topLevel, now) || now == r || it == HostWidgets().end()) return;
    it->second->Apply(now);
  });
}

void HostFrameChanged(HWND topLevel, const RECT& r) {
  Guarded([&] {
    // the desktop may frame the window anew as it moves it (a maximise that drops the borders): a move
    // of its own as much as a plain one
    RECT cur;
    if (GetWindowRect(topLevel, cur) && cur != r) DesktopMoving(topLevel);
    SetWindowPos(topLevel, nullptr, r.Left, r.Top, r.Width(), r.Height(),
                 SWP_FRAMECHANGED | SWP_NOZORDER | SWP_NOACTIVATE);
  });
}

std::uint64_t HostDesktopChanged(HWND topLevel, DesktopRead read) {
  std::uint64_t wait = 0;
  Guarded([&] { wait = DesktopStateChanged(topLevel, read); });
  return wait;
}

void HostClosed(HWND topLevel) {
  // A disabled window takes no input, its close button neither: while a modal dialog runs, the
  // windows it disabled stay as they are until it is gone.
  if (!IsWindowEnabled(topLevel)) return;
  // the window closes in the state the desktop shows it in now, though that has not held long
  HostDesktopChanged(topLevel, DesktopRead::kAtOnce);
  PostMessage(topLevel, WM_SYSCOMMAND, SC_CLOSE, 0);
}

// Whether the windows stand on a desktop that other programs share (an X display).
bool OnDesktop() {
  return QGuiApplication::platformName() == QLatin1String("xcb");
}
// How long the toolkit may take to activate a window of ours again after one of ours lost it.
constexpr int kDeactivationMs = 200;

void HostActivated(HWND topLevel, bool active) {
  Guarded([&] {
    if (!active && !QApplication::activeWindow() && OnDesktop()) {
      // Another program may have been activated: when, a little later, still none of ours is
      // active (a popup of ours that closed hands the activation back to its window a moment after
      // it went), the application is no longer active, and its windows hear so. Without a desktop
      // (the offscreen platform) no other program can take the activation: the toolkit's changes
      // there only echo our own.
      QTimer::singleShot(kDeactivationMs, [] {
        Guarded([] {
          if (!QApplication::activeWindow() && !QWidget::keyboardGrabber() && !QWidget::mouseGrabber() &&
              GetActiveWindow())
            SetActiveWindow(nullptr);
        });
      });
      return;
    }
    if (active && !IsWindowEnabled(topLevel)) {
      // the desktop activated a window that waits for a dialog: the dialog comes forward instead
      if (QWidget* dialog = ToolkitDialog()) {
        dialog->raise();
        dialog->activateWindow();
      } else {
        ShowBlockingPopup(topLevel);
      }
      return;
    }
    if (active && GetActiveWindow() != topLevel) {
      DWORD ex = static_cast<DWORD>(GetWindowLongPtr(topLevel, GWL_EXSTYLE));
      if (!(ex & WS_EX_NOACTIVATE) && IsWindowEnabled(topLevel)) DesktopActivated(topLevel);
    }
  });
}

}  // namespace talvik::gui::detail

// ---------------------------------------------------------------- the file dialog

namespace {

// "Text|*.txt;*.csv|All|*.*" as the toolkit's name filters ("Text (*.txt *.csv)").
QStringList NameFilters(const std::string& filter) {
  QStringList parts = ToQString(filter).split('|');
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(';', ' ');
    out << parts[i] + " (" + patterns + ")";
  }
  return out;
}

}  // namespace

talvik::gui::detail::FileDialogAnswer talvik::gui::detail::RunToolkitFileDialog(
    const FileDialogRequest& r, const std::function<void()>& pump, const std::function<bool()>& stop) {
  UseQtBackend();
  QFileDialog dialog(nullptr, ToQString(r.title), ToQString(r.initialDir));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(r.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  if (r.save)
    dialog.setFileMode(QFileDialog::AnyFile);
  else if (r.multiSelect)
    dialog.setFileMode(QFileDialog::ExistingFiles);
  else if (r.mustExist)
    dialog.setFileMode(QFileDialog::ExistingFile);
  else
    dialog.setFileMode(QFileDialog::AnyFile);
  if (r.save && !r.overwritePrompt) dialog.setOption(QFileDialog::DontConfirmOverwrite);
  QStringList filters = NameFilters(r.filter);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(
        filters.value(std::clamp(r.filterIndex - 1, 0, static_cast<int>(filters.size()) - 1)));
  }
  if (!r.defaultExt.empty()) dialog.setDefaultSuffix(ToQString(r.defaultExt));
  if (!r.fileName.empty()) dialog.selectFile(ToQString(r.fileName));
  // transient for the window it was opened from, which the desktop then keeps it above
  if (QWidget* owner = detail::HostWidgetOf(GetActiveWindow())) {
    dialog.winId();
    dialog.windowHandle()->setTransientParent(owner->windowHandle());
  }
  QPointer<QWidget> outer = ToolkitDialog();
  ToolkitDialog() = &dialog;
  const TScopeExit runs([&] { ToolkitDialog() = outer; });
  dialog.open();
  while (dialog.isVisible() && !stop()) pump();
  FileDialogAnswer answer;
  answer.chosen = dialog.result() == QDialog::Accepted;
  for (const QString& f : dialog.selectedFiles()) answer.files.push_back(FromQString(f));
  answer.filterIndex = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
  return answer;
}
