// The window manager: windows, classes, the message path and the posted-message queue.
#include "platform/gui/Windows.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <chrono>
#include <map>
#include <mutex>

#include "platform/gui/WindowsState.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"

namespace talvik::gui::detail {

State& S() {
  static State* state = [] {
    auto* s = new State();
    InitSysColors(*s);
    return s;
  }();
  return *state;
}

bool DisplayLost() {
  return S().backendGone;
}

Wnd* W(HWND h) {
  if (!h) return nullptr;
  auto& s = S();
  const auto handle = reinterpret_cast<std::uintptr_t>(h);
  if (handle == s.lastFoundHandle) return s.lastFoundWindow;
  auto it = s.windows.find(handle);
  if (it == s.windows.end()) return nullptr;
  s.lastFoundHandle = handle;
  s.lastFoundWindow = it->second;
  return it->second;
}

void RemoveWindow(Wnd* w) {
  auto& s = S();
  const auto handle = reinterpret_cast<std::uintptr_t>(w->handle);
  s.windows.erase(handle);
  if (s.lastFoundHandle == handle) {
    s.lastFoundHandle = 0;
    s.lastFoundWindow = nullptr;
  }
}

bool IsTopLevel(const Wnd* w) {
  return w && !w->parent;
}

Wnd* Root(Wnd* w) {
  while (w && w->parent) w = w->parent;
  return w;
}

bool Visible(const Wnd* w) {
  for (; w; w = w->parent)
    if (!(w->style & WS_VISIBLE)) return false;
  return true;
}

POINT WindowOriginOnScreen(const Wnd* w) {
  POINT p{w->rect.Left, w->rect.Top};
  for (const Wnd* p2 = w->parent; p2; p2 = p2->parent) {
    p.X += p2->rect.Left + p2->client.Left;
    p.Y += p2->rect.Top + p2->client.Top;
  }
  return p;
}

POINT ClientOriginOnScreen(const Wnd* w) {
  POINT p = WindowOriginOnScreen(w);
  return {p.X + w->client.Left, p.Y + w->client.Top};
}

RECT WindowBounds(int x, int y, int cx, int cy) {
  auto held = [](int v, int least) { return std::clamp(v, least, kMaxCoordinate); };
  return Bounds(held(x, -kMaxCoordinate), held(y, -kMaxCoordinate), held(cx, 0), held(cy, 0));
}

RECT RectInRoot(const Wnd* w) {
  const Wnd* root = w;
  while (root->parent) root = root->parent;
  POINT o = WindowOriginOnScreen(w);
  POINT r = WindowOriginOnScreen(root);
  return Bounds(o.X - r.X, o.Y - r.Y, w->rect.Width(), w->rect.Height());
}

DWORD MessageTimeNow() {
  return static_cast<DWORD>(talvik::gui::Ticks());
}

LRESULT CallHooks(int type, int code, WPARAM wParam, LPARAM lParam) {
  auto& s = S();
  for (auto& h : s.hooks)
    if (h.type == type) return h.proc(code, wParam, lParam);
  return 0;
}

LRESULT Send(Wnd* w, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!w || !w->proc) return 0;
  auto& s = S();
  if (!s.hooks.empty()) {
    CWPSTRUCT cwp{lParam, wParam, msg, w->handle};
    CallHooks(WH_CALLWNDPROC, HC_ACTION, 0, reinterpret_cast<LPARAM>(&cwp));
    if (!W(cwp.hwnd)) return 0;
  }
  ++s.sendDepth;
  struct Guard {
    int& d;
    ~Guard() { --d; }
  } g{s.sendDepth};
  return w->proc(w->handle, msg, wParam, lParam);
}

void NotifyHostDirty(Wnd* w, RECT rectInWindow) {
  Wnd* root = Root(w);
  if (!root->host) return;
  RECT inRoot = RectInRoot(w);
  OffsetRect(rectInWindow, inRoot.Left, inRoot.Top);
  root->host->Dirty(rectInWindow);
}

void InvalidateFrame(Wnd* w) {
  w->frameDirty = true;
  w->frameArea = RECT{};
  w->internalPaint = true;
}

void InvalidateFramePart(Wnd* w, const RECT& part) {
  if (part.IsEmpty()) return;
  if (!w->frameDirty)
    w->frameArea = part;
  else if (!w->frameArea.IsEmpty())
    UnionRect(w->frameArea, w->frameArea, part);
  w->frameDirty = true;
  w->internalPaint = true;
}

namespace {

std::string Lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

void RequireGuiThread(const char* what) {
  if (std::this_thread::get_id() != S().guiThread)
    throw EInvalidOperation(std::string(what) + " must be called on the thread that owns the windows");
}

void EnsureSurface(Wnd* w) {
  if (!IsTopLevel(w)) return;
  int width = std::max(1, w->rect.Width()), height = std::max(1, w->rect.Height());
  if (!w->surface)
    w->surface = NewSurface(width, height);
  else
    ResizeSurface(w->surface, width, height);
}

}  // namespace

void RemoveFromZ(Wnd* w) {
  auto& list = w->parent ? w->parent->children : S().topLevels;
  list.erase(std::remove(list.begin(), list.end(), w), list.end());
}

void InsertZ(Wnd* w, Wnd* after, bool top) {
  auto& list = w->parent ? w->parent->children : S().topLevels;
  if (after) {
    auto it = std::find(list.begin(), list.end(), after);
    if (it != list.end()) {
      list.insert(it + 1, w);
      return;
    }
  }
  if (top) {
    // topmost top-level windows stay above the others
    auto it = list.begin();
    if (!w->parent && !(w->exStyle & WS_EX_TOPMOST))
      while (it != list.end() && ((*it)->exStyle & WS_EX_TOPMOST)) ++it;
    list.insert(it, w);
  } else {
    list.push_back(w);
  }
}

void AbandonBackend() {
  auto& s = S();
  // never destroyed: freeing a host reaches the backend
  static auto* abandoned = new std::vector<std::unique_ptr<Host>>();
  for (auto& [handle, w] : s.windows)
    if (w->host) abandoned->push_back(std::move(w->host));
  s.backend = nullptr;
  s.backendGone = true;
}

void RecalcClient(Wnd* w, WINDOWPOS* pos) {
  NCCALCSIZE_PARAMS p;
  p.rgrc[0] = w->rect;
  p.lppos = pos;
  Send(w, WM_NCCALCSIZE, 1, reinterpret_cast<LPARAM>(&p));
  RECT c = p.rgrc[0];
  OffsetRect(c, -w->rect.Left, -w->rect.Top);
  if (c.Right < c.Left) c.Right = c.Left;
  if (c.Bottom < c.Top) c.Bottom = c.Top;
  w->client = c;
}

}  // namespace talvik::gui::detail

using namespace talvik::gui::detail;

// ---------------------------------------------------------------- arithmetic and registered messages

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  const std::int64_t n = static_cast<std::int64_t>(a) * b;
  const bool negative = (n < 0) != (c < 0);
  const std::uint64_t an = static_cast<std::uint64_t>(n < 0 ? -n : n);
  const std::uint64_t ac = static_cast<std::uint64_t>(c < 0 ? -static_cast<std::int64_t>(c) : c);
  const std::uint64_t q = (an + ac / 2) / ac;
  if (q > static_cast<std::uint64_t>(INT32_MAX)) return -1;
  return negative ? -static_cast<int>(q) : static_cast<int>(q);
}

UINT RegisterWindowMessage(const std::string& name) {
  if (name.empty()) return 0;
  // made once and never destroyed, as every table of the window layer (see S())
  static auto* registered = new std::map<std::string, UINT>();
  static std::mutex lock;
  std::lock_guard<std::mutex> guard(lock);
  auto [it, added] = registered->emplace(Lower(name), 0);
  if (added) it->second = static_cast<UINT>(0xC000 + registered->size() - 1);
  return it->second;
}

// ---------------------------------------------------------------- classes

ATOM RegisterClass(const WNDCLASS& wc) {
  if (wc.lpszClassName.empty() || !wc.lpfnWndProc)
    throw EInvalidOperation("Window class needs a name and a procedure");
  auto& s = S();
  auto key = Lower(wc.lpszClassName);
  if (s.classes.count(key)) return 0;
  s.classes[key] = wc;
  return static_cast<ATOM>(s.classes.size() + 0xC000);
}

bool UnregisterClass(const std::string& className) {
  return S().classes.erase(Lower(className)) > 0;
}

bool GetClassInfo(const std::string& className, WNDCLASS& out) {
  auto& s = S();
  auto it = s.classes.find(Lower(className));
  if (it == s.classes.end()) return false;
  out = it->second;
  return true;
}

std::string GetClassName(HWND hwnd) {
  Wnd* w = W(hwnd);
  return w ? w->className : std::string();
}

// ---------------------------------------------------------------- creation and destruction

HWND CreateWindowEx(DWORD exStyle, const std::string& className, const std::string& windowName, DWORD style,
                    int x, int y, int width, int height, HWND parent, HMENU menuOrId, HINSTANCE,
                    void* param) {
  RequireGuiThread("CreateWindowEx");
  auto& s = S();
  auto cit = s.classes.find(Lower(className));
  if (cit == s.classes.end()) throw EOSError("Window class '" + className + "' is not registered");
  Wnd* parentWnd = W(parent);
  if (parent && !parentWnd) throw EInvalidOperation("Invalid parent window handle");
  // A window made inside one being destroyed would outlive it with a freed parent or owner.
  if (parentWnd && Root(parentWnd)->destroying) return nullptr;
  if (parentWnd && parentWnd->destroying) return nullptr;
  if ((style & WS_CHILD) && !parentWnd) throw EInvalidOperation("A child window needs a parent");

  auto* w = new Wnd();
  w->handle = reinterpret_cast<HWND>(s.nextHandle);
  s.nextHandle += 4;
  w->className = cit->second.lpszClassName;
  w->cls = cit->second;
  w->proc = cit->second.lpfnWndProc;
  w->style = style & ~WS_VISIBLE;
  w->exStyle = exStyle;
  w->id = (style & WS_CHILD) ? static_cast<std::intptr_t>(menuOrId) : 0;
  w->text = windowName;
  if (style & WS_CHILD) {
    w->parent = parentWnd;
  } else {
    w->owner = parentWnd ? Root(parentWnd) : nullptr;
  }
  w->rect = WindowBounds(x, y, width, height);
  w->client = Bounds(0, 0, w->rect.Width(), w->rect.Height());
  s.windows[reinterpret_cast<std::uintptr_t>(w->handle)] = w;

  CREATESTRUCT cs;
  cs.lpCreateParams = param;
  cs.hwndParent = parent;
  cs.hMenu = menuOrId;
  cs.x = x;
  cs.y = y;
  cs.cx = width;
  cs.cy = height;
  cs.style = style;
  cs.dwExStyle = exStyle;
  cs.lpszName = windowName;
  cs.lpszClass = className;

  auto fail = [&]() -> HWND {
    if (W(w->handle)) {
      RemoveWindow(w);
      RemoveFromZ(w);
      if (w->surface) FreeSurface(w->surface);
      delete w;
    }
    return nullptr;
  };
  CBT_CREATEWND cbt{&cs, nullptr};
  if (CallHooks(WH_CBT, HCBT_CREATEWND, reinterpret_cast<WPARAM>(w->handle),
                reinterpret_cast<LPARAM>(&cbt)) != 0)
    return fail();
  InsertZ(w, nullptr, true);
  if (!Send(w, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
    DestroyWindow(w->handle);
    return fail();
  }
  RecalcClient(w, nullptr);
  EnsureSurface(w);
  if (IsTopLevel(w) && s.backend) {
    w->host = s.backend->CreateHost(w->handle);
    if (w->host) {
      RecalcClient(w, nullptr);  // the desktop's frame, as far as it is known, is the non-client part
      w->host->GeometryChanged(w->rect);
      w->host->TitleChanged(w->text);
    }
  }
  if (Send(w, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    DestroyWindow(w->handle);
    return nullptr;
  }
  if (!W(w->handle)) return nullptr;
  w->created = true;
  InvalidateFrame(w);
  w->update = Bounds(0, 0, w->client.Width(), w->client.Height());
  if (!w->update.IsEmpty()) w->updateParts.assign(1, w->update);
  w->erase = true;
  Send(w, WM_SIZE, SIZE_RESTORED, MAKELPARAM(w->client.Width(), w->client.Height()));
  Send(w, WM_MOVE, 0, MAKELPARAM(w->rect.Left + w->client.Left, w->rect.Top + w->client.Top));
  if (w->parent && !(exStyle & WS_EX_NOPARENTNOTIFY))
    Send(w->parent, WM_PARENTNOTIFY, MAKEWPARAM(WM_CREATE, static_cast<int>(w->id)),
         reinterpret_cast<LPARAM>(w->handle));
  if ((style & WS_VISIBLE) && W(w->handle)) ShowWindow(w->handle, SW_SHOW);
  return W(w->handle) ? w->handle : nullptr;
}

namespace {

void CollectTree(Wnd* w, std::vector<Wnd*>& out) {
  assert(std::find(out.begin(), out.end(), w) == out.end() && "a window is its own owner or ancestor");
  out.push_back(w);
  for (Wnd* c : w->children) CollectTree(c, out);
  // owned top-level windows go with their owner
  if (!w->parent)
    for (Wnd* t : std::vector<Wnd*>(S().topLevels))
      if (t->owner == w) CollectTree(t, out);
}

// Input that went with its window counts as read once no earlier input waits any more. The queue
// is locked.
void TakeDroppedInputState(State& s) {
  const std::uint64_t dropped = s.droppedInput;
  if (dropped == 0 || std::any_of(s.queue.begin(), s.queue.end(),
                                  [&](const MSG& m) { return m.input != 0 && m.input < dropped; }))
    return;
  s.droppedInput = 0;
  TakeInputState(dropped);
}

}  // namespace

bool DestroyWindow(HWND hwnd) {
  RequireGuiThread("DestroyWindow");
  Wnd* w = W(hwnd);
  if (!w || w->destroying) return false;
  auto& s = S();
  if (CallHooks(WH_CBT, HCBT_DESTROYWND, reinterpret_cast<WPARAM>(hwnd), 0) != 0) return false;
  std::vector<Wnd*> tree;
  CollectTree(w, tree);
  for (Wnd* t : tree) t->destroying = true;
  // hide first, so that activation and focus leave the tree while it still exists
  if (w->style & WS_VISIBLE)
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (w->parent && !(w->exStyle & WS_EX_NOPARENTNOTIFY))
    Send(w->parent, WM_PARENTNOTIFY, MAKEWPARAM(WM_DESTROY, static_cast<int>(w->id)),
         reinterpret_cast<LPARAM>(hwnd));
  // Focus, capture, activation and the caret leave the tree before its windows hear they go, and
  // again after: the calls refuse a window being destroyed, and a handler may still move them.
  // The second time nothing is sent: after WM_NCDESTROY a window's procedure may have let go of it.
  auto leaveTree = [&](bool tell) {
    for (Wnd* t : tree) {
      if (s.capture == t->handle && tell) ReleaseCaptureOf(t);
      if (s.capture == t->handle) {
        s.capture = nullptr;
        if (Wnd* root = Root(t); root && root->host) root->host->GrabChanged(false);
      }
      if (s.focus == t->handle) s.focus = nullptr;
      if (s.active == t->handle) s.active = nullptr;
      if (s.caret.owner == t->handle) DestroyCaret();
    }
  };
  leaveTree(true);
  for (Wnd* t : tree)
    if (W(t->handle)) Send(t, WM_DESTROY, 0, 0);
  for (auto it = tree.rbegin(); it != tree.rend(); ++it)
    if (W((*it)->handle)) Send(*it, WM_NCDESTROY, 0, 0);
  leaveTree(false);
  {
    std::lock_guard<std::mutex> lock(s.queueMutex);
    // input that was on its way to the windows goes with them, but the keyboard still moved: the
    // latest of it counts as read, at once or once earlier input for other windows is read
    std::uint64_t dropped = 0;
    for (Wnd* t : tree)
      s.queue.erase(std::remove_if(s.queue.begin(), s.queue.end(),
                                   [&](const MSG& m) {
                                     if (m.hwnd != t->handle) return false;
                                     dropped = std::max(dropped, m.input);
                                     return true;
                                   }),
                    s.queue.end());
    s.droppedInput = std::max(s.droppedInput, dropped);
    TakeDroppedInputState(s);
  }
  for (Wnd* t : tree) {
    s.timers.erase(std::remove_if(s.timers.begin(), s.timers.end(),
                                  [&](const TimerRec& r) { return r.hwnd == t->handle; }),
                   s.timers.end());
    ForgetWindowInput(t);
    AccWindowGone(t->handle);
  }
  if (w->parent && Visible(w->parent)) {
    RECT r = w->rect;
    InvalidateRect(w->parent->handle, &r, true);
  }
  for (auto it = tree.rbegin(); it != tree.rend(); ++it) {
    Wnd* t = *it;
    RemoveFromZ(t);
    RemoveWindow(t);
    t->host.reset();
    if (t->surface) FreeSurface(t->surface);
    if (t->windowRgn) DeleteRegionObject(t->windowRgn);
    for (Wnd* o : s.topLevels)
      if (o->owner == t) o->owner = nullptr;
    assert(s.focus != t->handle && s.capture != t->handle && s.active != t->handle &&
           s.caret.owner != t->handle && "a destroyed window keeps the focus, capture, activation or caret");
    assert(std::none_of(s.windows.begin(), s.windows.end(),
                        [&](const auto& e) { return e.second->parent == t; }) &&
           "a window outlives its parent");
    delete t;
  }
  return true;
}

bool IsWindow(HWND hwnd) {
  return W(hwnd) != nullptr;
}

LRESULT CallWindowProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

std::intptr_t GetWindowLongPtr(HWND hwnd, int index) {
  Wnd* w = W(hwnd);
  if (!w) return 0;
  switch (index) {
    case GWLP_WNDPROC:
      return reinterpret_cast<std::intptr_t>(w->proc);
    case GWLP_ID:
      return w->id;
    case GWL_STYLE:
      return static_cast<std::intptr_t>(w->style);
    case GWL_EXSTYLE:
      return static_cast<std::intptr_t>(w->exStyle);
    case GWLP_USERDATA:
      return w->userData;
    case GWLP_HWNDPARENT:
      return reinterpret_cast<std::intptr_t>(w->parent ? w->parent->handle : H(w->owner));
    default:
      return 0;
  }
}

std::intptr_t SetWindowLongPtr(HWND hwnd, int index, std::intptr_t value) {
  Wnd* w = W(hwnd);
  if (!w) return 0;
  std::intptr_t old = GetWindowLongPtr(hwnd, index);
  switch (index) {
    case GWLP_WNDPROC:
      w->proc = reinterpret_cast<WNDPROC>(value);
      break;
    case GWLP_ID:
      w->id = value;
      break;
    case GWLP_USERDATA:
      w->userData = value;
      break;
    case GWLP_HWNDPARENT: {
      if (w->parent) break;
      Wnd* owner = Root(W(reinterpret_cast<HWND>(value)));
      // A window never owns itself, directly or through its owners: the tree walks would not end.
      for (Wnd* o = owner; o; o = o->owner)
        if (o == w) return 0;
      w->owner = owner;
      break;
    }
    case GWL_STYLE:
    case GWL_EXSTYLE: {
      DWORD v = static_cast<DWORD>(value);
      DWORD oldv = static_cast<DWORD>(old);
      struct {
        DWORD oldStyle, newStyle;
      } ss{oldv, v};
      Send(w, WM_STYLECHANGING, index == GWL_STYLE ? 0xFFFFFFF0u : 0xFFFFFFECu,
           reinterpret_cast<LPARAM>(&ss));
      if (index == GWL_STYLE) {
        // visibility changes go through ShowWindow
        w->style = (ss.newStyle & ~WS_VISIBLE) | (w->style & WS_VISIBLE);
      } else {
        w->exStyle = ss.newStyle;
      }
      Send(w, WM_STYLECHANGED, index == GWL_STYLE ? 0xFFFFFFF0u : 0xFFFFFFECu, reinterpret_cast<LPARAM>(&ss));
      break;
    }
    default:
      break;
  }
  return old;
}

bool SetProp(HWND hwnd, const std::string& name, void* data) {
  Wnd* w = W(hwnd);
  if (!w) return false;
  w->props[name] = data;
  return true;
}

void* GetProp(HWND hwnd, const std::string& name) {
  Wnd* w = W(hwnd);
  if (!w) return nullptr;
  auto it = w->props.find(name);
  return it == w->props.end() ? nullptr : it->second;
}

void* RemoveProp(HWND hwnd, const std::string& name) {
  Wnd* w = W(hwnd);
  if (!w) return nullptr;
  auto it = w->props.find(name);
  if (it == w->props.end()) return nullptr;
  void* d = it->second;
  w->props.erase(it);
  return d;
}

// ---------------------------------------------------------------- sending and posting

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  RequireGuiThread("SendMessage");
  return Send(W(hwnd), msg, wParam, lParam);
}

bool InSendMessage() {
  return S().sendDepth > 0;
}

bool PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto& s = S();
  bool gui = std::this_thread::get_id() == s.guiThread;
  if (gui && hwnd && !W(hwnd)) return false;
  MSG m;
  m.hwnd = hwnd;
  m.message = msg;
  m.wParam = wParam;
  m.lParam = lParam;
  m.time = MessageTimeNow();
  m.pt = s.cursorPos.load();
  {
    std::lock_guard<std::mutex> lock(s.queueMutex);
    s.queue.push_back(m);
  }
  s.queueSignal.notify_all();
  if (!gui && s.backend) s.backend->Wake();
  return true;
}

void talvik::gui::detail::PostInput(const MSG& m) {
  auto& s = S();
  {
    std::lock_guard<std::mutex> lock(s.queueMutex);
    s.queue.push_back(m);
  }
  s.queueSignal.notify_all();
}

void PostQuitMessage(int exitCode) {
  auto& s = S();
  {
    std::lock_guard<std::mutex> lock(s.queueMutex);
    s.quitPosted = true;
    s.quitCode = exitCode;
  }
  s.queueSignal.notify_all();
  if (s.backend) s.backend->Wake();
}

namespace {

bool WindowMatches(HWND filter, HWND target) {
  if (!filter) return true;
  if (filter == reinterpret_cast<HWND>(-1)) return target == nullptr;
  return target == filter || IsChild(filter, target);
}

bool RangeMatches(UINT msg, UINT lo, UINT hi) {
  if (lo == 0 && hi == 0) return true;
  return msg >= lo && msg <= hi;
}

// The first window of the tree (parents before children, top-level windows in z-order) that waits
// for WM_PAINT.
Wnd* FindPaint(Wnd* w, HWND filter) {
  if (!(w->style & WS_VISIBLE)) return nullptr;
  if ((!w->update.IsEmpty() || w->internalPaint || w->frameDirty) && WindowMatches(filter, w->handle))
    return w;
  for (Wnd* c : w->children)
    if (Wnd* f = FindPaint(c, filter)) return f;
  return nullptr;
}

bool TakeTimer(MSG& msg, HWND filter, bool remove) {
  auto& s = S();
  std::uint64_t now = talvik::gui::Ticks();
  TimerRec* best = nullptr;
  for (auto& t : s.timers)
    if (t.due <= now && WindowMatches(filter, t.hwnd) && (!best || t.due < best->due)) best = &t;
  if (!best) return false;
  msg = MSG{};
  msg.hwnd = best->hwnd;
  msg.message = WM_TIMER;
  msg.wParam = best->id;
  msg.lParam = reinterpret_cast<LPARAM>(best->proc);
  msg.time = MessageTimeNow();
  msg.pt = s.cursorPos.load();
  if (remove) best->due = now + std::max<UINT>(best->elapse, 1);
  return true;
}

void BlinkCaret() {
  auto& s = S();
  auto& c = s.caret;
  if (!c.owner || c.hideCount > 0 || s.caretBlinkTime == 0) return;
  std::uint64_t now = talvik::gui::Ticks();
  if (now - c.lastToggle < s.caretBlinkTime) return;
  c.lastToggle = now;
  c.blinkOn = !c.blinkOn;
  if (Wnd* w = W(c.owner)) {
    RECT r = Bounds(c.pos.X + w->client.Left, c.pos.Y + w->client.Top, c.width, c.height);
    NotifyHostDirty(w, r);
  }
}

// A read of messages lo..hi can take mouse input: whether it addresses the mouse input it reaches.
bool RangeTakesMouse(UINT lo, UINT hi) {
  const auto overlaps = [&](UINT first, UINT last) { return lo <= last && hi >= first; };
  return (lo == 0 && hi == 0) || overlaps(WM_MOUSEFIRST, WM_MOUSELAST) ||
         overlaps(WM_NCMOUSEMOVE, WM_NCMBUTTONDBLCLK) || overlaps(WM_NCMOUSELEAVE, WM_MOUSELEAVE);
}

// Removes the queued message at `at`; the one at the front, the usual case, without moving others.
void EraseQueued(State& s, std::size_t at) {
  if (at == 0)
    s.queue.pop_front();
  else
    s.queue.erase(s.queue.begin() + static_cast<std::ptrdiff_t>(at));
}

// The position of input `input` in the queue, looked for at `hint` first; the queue's size when it
// is gone. The queue is locked.
std::size_t FindInput(const State& s, std::uint64_t input, std::size_t hint) {
  if (hint < s.queue.size() && s.queue[hint].input == input) return hint;
  const auto it =
      std::find_if(s.queue.begin(), s.queue.end(), [&](const MSG& m) { return m.input == input; });
  return static_cast<std::size_t>(it - s.queue.begin());
}

// Takes (or, unless Remove, looks at) the first queued message that the read of lo..hi for `hwnd`
// matches. Messages are looked at in their order; mouse input is addressed as the read reaches it
// (the window it goes to may send, post and read messages meanwhile). The queue is locked by `lock`.
bool TakeQueued(State& s, std::unique_lock<std::mutex>& lock, MSG& msg, HWND hwnd, UINT lo, UINT hi,
                bool remove) {
  const bool mouse = RangeTakesMouse(lo, hi);
  // the messages before the first mouse input to address, as they are
  std::size_t i = 0;
  for (auto it = s.queue.begin(); it != s.queue.end(); ++it, ++i) {
    if (it->message == kQueuedMouse) {
      if (mouse) break;
      continue;
    }
    if (!RangeMatches(it->message, lo, hi) || !WindowMatches(hwnd, it->hwnd)) continue;
    msg = *it;
    if (remove) EraseQueued(s, i);
    return true;
  }
  // from there on, `addressed` is what the mouse input at `i` became
  std::optional<MSG> addressed;
  while (i < s.queue.size()) {
    const MSG& q = s.queue[i];
    const bool queuedMouse = q.message == kQueuedMouse;
    if (queuedMouse && !(addressed && addressed->input == q.input)) {
      if (!mouse ||
          std::find(s.addressingInput.begin(), s.addressingInput.end(), q.input) != s.addressingInput.end()) {
        ++i;
        continue;
      }
      const MSG raw = q;
      std::vector<MSG> before;
      lock.unlock();
      {
        s.addressingInput.push_back(raw.input);
        TScopeExit addressedNow([&s] { s.addressingInput.pop_back(); });
        addressed = AddressQueuedMouse(raw, before);
      }
      lock.lock();
      const std::size_t at = FindInput(s, raw.input, i);
      if (at == s.queue.size()) {
        addressed.reset();  // taken meanwhile
        i = std::min(i, s.queue.size());
        continue;
      }
      i = at;
      if (!before.empty())
        s.queue.insert(s.queue.begin() + static_cast<std::ptrdiff_t>(i), before.begin(), before.end());
      if (!addressed) {
        // it goes to none of our windows: the keyboard state moves past it once earlier input is read
        EraseQueued(s, i + before.size());
        s.droppedInput = std::max(s.droppedInput, raw.input);
        TakeDroppedInputState(s);
      }
      continue;  // at the leave messages it made, then at it
    }
    const MSG& m = queuedMouse ? *addressed : q;
    if (!RangeMatches(m.message, lo, hi) || !WindowMatches(hwnd, m.hwnd)) {
      ++i;
      continue;
    }
    msg = m;
    if (remove) {
      if (queuedMouse) TakeQueuedMouse(q, msg);
      EraseQueued(s, i);
    }
    return true;
  }
  return false;
}

bool PeekInternal(MSG& msg, HWND hwnd, UINT lo, UINT hi, UINT flags) {
  auto& s = S();
  bool remove = flags & PM_REMOVE;
  bool found = false;
  {
    std::unique_lock<std::mutex> lock(s.queueMutex);
    found = TakeQueued(s, lock, msg, hwnd, lo, hi, remove);
    if (found && remove && msg.input) {
      // GetKeyState answers the keyboard as it was when this input came
      TakeInputState(msg.input);
      if (s.droppedInput < msg.input) s.droppedInput = 0;  // the keyboard moved on past it
      TakeDroppedInputState(s);
    }
    if (!found && s.quitPosted && (!hwnd || hwnd == reinterpret_cast<HWND>(-1)) &&
        RangeMatches(WM_QUIT, lo, hi)) {
      msg = MSG{};
      msg.message = WM_QUIT;
      msg.wParam = static_cast<WPARAM>(s.quitCode);
      msg.time = MessageTimeNow();
      if (remove) s.quitPosted = false;
      found = true;
    }
  }
  if (!found && RangeMatches(WM_PAINT, lo, hi)) {
    for (Wnd* t : std::vector<Wnd*>(s.topLevels))
      if (Wnd* p = FindPaint(t, hwnd)) {
        msg = MSG{};
        msg.hwnd = p->handle;
        msg.message = WM_PAINT;
        msg.time = MessageTimeNow();
        found = true;
        break;
      }
  }
  if (!found && RangeMatches(WM_TIMER, lo, hi)) found = TakeTimer(msg, hwnd, remove);
  if (!found) return false;
  if (remove) {
    s.lastMessageTime = msg.time;
    s.lastMessagePos = msg.pt;
  }
  if (!s.hooks.empty())
    CallHooks(WH_GETMESSAGE, HC_ACTION, remove ? PM_REMOVE : PM_NOREMOVE, reinterpret_cast<LPARAM>(&msg));
  return true;
}

int MsUntilNextTimer() {
  auto& s = S();
  if (s.timers.empty()) return s.caret.owner ? static_cast<int>(s.caretBlinkTime) : -1;
  std::uint64_t now = talvik::gui::Ticks(), next = UINT64_MAX;
  for (auto& t : s.timers) next = std::min(next, t.due);
  int ms = next <= now ? 0 : static_cast<int>(std::min<std::uint64_t>(next - now, 1000000));
  if (s.caret.owner) ms = std::min(ms, static_cast<int>(s.caretBlinkTime));
  return ms;
}

void Wait() {
  auto& s = S();
  int timeout = MsUntilNextTimer();
  if (s.backend) {
    s.backend->Pump(true, timeout);
    return;
  }
  std::unique_lock<std::mutex> lock(s.queueMutex);
  auto ready = [&] { return !s.queue.empty() || s.quitPosted; };
  if (timeout < 0)
    s.queueSignal.wait(lock, ready);
  else
    s.queueSignal.wait_for(lock, std::chrono::milliseconds(timeout), ready);
}

}  // namespace

bool PeekMessage(MSG& msg, HWND hwnd, UINT lo, UINT hi, UINT flags) {
  RequireGuiThread("PeekMessage");
  auto& s = S();
  if (s.backend && !(flags & PM_NOYIELD)) s.backend->Pump(false, 0);
  BlinkCaret();
  return PeekInternal(msg, hwnd, lo, hi, flags);
}

bool GetMessage(MSG& msg, HWND hwnd, UINT lo, UINT hi) {
  RequireGuiThread("GetMessage");
  auto& s = S();
  for (;;) {
    if (s.backend) s.backend->Pump(false, 0);
    BlinkCaret();
    if (PeekInternal(msg, hwnd, lo, hi, PM_REMOVE)) return msg.message != WM_QUIT;
    Wait();
  }
}

bool WaitMessage() {
  MSG m;
  if (PeekMessage(m, nullptr, 0, 0, PM_NOREMOVE)) return true;
  Wait();
  return true;
}

DWORD GetQueueStatus(UINT flags) {
  auto& s = S();
  DWORD status = 0;
  {
    std::lock_guard<std::mutex> lock(s.queueMutex);
    for (auto& m : s.queue) {
      // mouse input waiting to be addressed counts as the input it is (the pointer leaving: a move)
      UINT message = m.message;
      if (message == kQueuedMouse)
        message = m.lParam == WM_MOUSELEAVE ? WM_MOUSEMOVE : static_cast<UINT>(m.lParam);
      if (message >= WM_KEYFIRST && message <= WM_KEYLAST)
        status |= QS_KEY;
      else if (message == WM_MOUSEMOVE)
        status |= QS_MOUSEMOVE;
      else if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST)
        status |= QS_MOUSEBUTTON;
      else
        status |= QS_POSTMESSAGE;
    }
    if (s.quitPosted) status |= QS_POSTMESSAGE;
  }
  MSG m;
  for (Wnd* t : s.topLevels)
    if (FindPaint(t, nullptr)) status |= QS_PAINT;
  if (TakeTimer(m, nullptr, false)) status |= QS_TIMER;
  return status & flags;
}

bool TranslateMessage(const MSG& msg) {
  if (!msg.translated) return false;
  if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
    MSG c = msg;
    c.message = msg.message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
    c.wParam = msg.translated;
    c.translated = 0;
    // the character comes right after its key, ahead of later input
    auto& s = S();
    {
      std::lock_guard<std::mutex> lock(s.queueMutex);
      s.queue.push_front(c);
    }
    return true;
  }
  return false;
}

LRESULT DispatchMessage(const MSG& msg) {
  RequireGuiThread("DispatchMessage");
  if (msg.message == WM_TIMER && msg.lParam) {
    reinterpret_cast<TIMERPROC>(msg.lParam)(msg.hwnd, WM_TIMER, msg.wParam, MessageTimeNow());
    return 0;
  }
  Wnd* w = W(msg.hwnd);
  if (!w || !w->proc) return 0;
  if (msg.message == WM_PAINT) {
    if (!w->update.IsEmpty() || w->frameDirty || w->internalPaint) {
      LRESULT r = w->proc(w->handle, WM_PAINT, 0, 0);
      // a window that paints nothing is not asked again
      if ((w = W(msg.hwnd))) {
        w->internalPaint = false;
        if (w->frameDirty) w->frameDirty = false;
      }
      return r;
    }
    return 0;
  }
  return w->proc(w->handle, msg.message, msg.wParam, msg.lParam);
}

DWORD GetMessageTime() {
  return S().lastMessageTime;
}

DWORD GetMessagePos() {
  auto& p = S().lastMessagePos;
  return static_cast<DWORD>(MAKELPARAM(p.X, p.Y));
}

// ---------------------------------------------------------------- timers

std::uintptr_t SetTimer(HWND hwnd, std::uintptr_t id, UINT elapse, TIMERPROC proc) {
  RequireGuiThread("SetTimer");
  auto& s = S();
  if (hwnd && !W(hwnd)) return 0;
  if (!hwnd) id = s.nextTimerId++;
  elapse = std::max<UINT>(elapse, 10);
  for (auto& t : s.timers)
    if (t.hwnd == hwnd && t.id == id) {
      t.elapse = elapse;
      t.proc = proc;
      t.due = talvik::gui::Ticks() + elapse;
      return hwnd ? 1 : id;
    }
  s.timers.push_back({hwnd, id, elapse, proc, talvik::gui::Ticks() + elapse});
  return hwnd ? 1 : id;
}

bool KillTimer(HWND hwnd, std::uintptr_t id) {
  auto& s = S();
  auto it = std::find_if(s.timers.begin(), s.timers.end(),
                         [&](const TimerRec& t) { return t.hwnd == hwnd && t.id == id; });
  if (it == s.timers.end()) return false;
  s.timers.erase(it);
  // a WM_TIMER already taken but not yet dispatched is dropped too
  std::lock_guard<std::mutex> lock(s.queueMutex);
  s.queue.erase(
      std::remove_if(s.queue.begin(), s.queue.end(),
                     [&](const MSG& m) { return m.message == WM_TIMER && m.hwnd == hwnd && m.wParam == id; }),
      s.queue.end());
  return true;
}

// ---------------------------------------------------------------- hooks

HHOOK SetWindowsHookEx(int idHook, HOOKPROC proc, HINSTANCE, std::uint64_t) {
  if (idHook != WH_CALLWNDPROC && idHook != WH_CBT && idHook != WH_GETMESSAGE)
    throw EInvalidOperation("Unsupported hook type " + std::to_string(idHook));
  if (!proc) throw EInvalidOperation("A hook needs a procedure");
  auto& s = S();
  HookRec h{reinterpret_cast<HHOOK>(s.nextHook++), idHook, proc};
  s.hooks.insert(s.hooks.begin(), h);
  return h.handle;
}

bool UnhookWindowsHookEx(HHOOK hook) {
  auto& s = S();
  auto it = std::find_if(s.hooks.begin(), s.hooks.end(), [&](const HookRec& h) { return h.handle == hook; });
  if (it == s.hooks.end()) return false;
  s.hooks.erase(it);
  return true;
}

LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam) {
  auto& s = S();
  auto it = std::find_if(s.hooks.begin(), s.hooks.end(), [&](const HookRec& h) { return h.handle == hook; });
  if (it == s.hooks.end()) return 0;
  int type = it->type;
  for (++it; it != s.hooks.end(); ++it)
    if (it->type == type) return it->proc(code, wParam, lParam);
  return 0;
}

// ---------------------------------------------------------------- hierarchy

HWND GetParent(HWND hwnd) {
  Wnd* w = W(hwnd);
  if (!w) return nullptr;
  if (w->parent) return w->parent->handle;
  return H(w->owner);
}

HWND SetParent(HWND child, HWND newParent) {
  Wnd* w = W(child);
  Wnd* p = W(newParent);
  if (!w || (newParent && !p)) return nullptr;
  for (Wnd* a = p; a; a = a->parent)
    if (a == w) throw EInvalidOperation("A window cannot become a child of its own descendant");
  HWND old = GetParent(child);
  bool wasVisible = w->style & WS_VISIBLE;
  if (wasVisible) ShowWindow(child, SW_HIDE);
  RemoveFromZ(w);
  if (p) {
    w->parent = p;
    w->owner = nullptr;
    w->host.reset();
    if (w->surface) {
      FreeSurface(w->surface);
      w->surface = nullptr;
    }
  } else {
    w->parent = nullptr;
    EnsureSurface(w);
    if (S().backend && !w->host) w->host = S().backend->CreateHost(w->handle);
  }
  InsertZ(w, nullptr, true);
  if (wasVisible) ShowWindow(child, SW_SHOWNA);
  return old;
}

HWND GetAncestor(HWND hwnd, UINT flags) {
  Wnd* w = W(hwnd);
  if (!w) return nullptr;
  switch (flags) {
    case GA_PARENT:
      return H(w->parent);
    case GA_ROOT:
      return H(Root(w));
    case GA_ROOTOWNER: {
      Wnd* r = Root(w);
      while (r->owner) r = r->owner;
      return H(r);
    }
    default:
      return nullptr;
  }
}

HWND GetWindow(HWND hwnd, UINT cmd) {
  Wnd* w = W(hwnd);
  if (!w) return nullptr;
  auto& list = w->parent ? w->parent->children : S().topLevels;
  auto it = std::find(list.begin(), list.end(), w);
  switch (cmd) {
    case GW_CHILD:
      return w->children.empty() ? nullptr : w->children.front()->handle;
    case GW_OWNER:
      return H(w->owner);
    case GW_HWNDFIRST:
      return list.front()->handle;
    case GW_HWNDLAST:
      return list.back()->handle;
    case GW_HWNDNEXT:
      return (it == list.end() || it + 1 == list.end()) ? nullptr : (*(it + 1))->handle;
    case GW_HWNDPREV:
      return (it == list.begin() || it == list.end()) ? nullptr : (*(it - 1))->handle;
    default:
      return nullptr;
  }
}

HWND GetTopWindow(HWND hwnd) {
  if (!hwnd) return S().topLevels.empty() ? nullptr : S().topLevels.front()->handle;
  return GetWindow(hwnd, GW_CHILD);
}

HWND GetLastActivePopup(HWND owner) {
  Wnd* w = W(owner);
  if (!w) return nullptr;
  for (Wnd* t : S().topLevels) {
    if (t == w || !(t->style & WS_VISIBLE) || (t->style & WS_DISABLED)) continue;
    // menus, hints, drop-down lists and the like are no dialogs
    if ((t->exStyle & WS_EX_NOACTIVATE) || ((t->style & WS_POPUP) && (t->style & WS_CAPTION) != WS_CAPTION))
      continue;
    for (Wnd* o = t->owner; o; o = o->owner)
      if (o == w) return t->handle;
  }
  return owner;
}

bool IsChild(HWND parent, HWND hwnd) {
  Wnd* p = W(parent);
  Wnd* w = W(hwnd);
  if (!p || !w) return false;
  for (w = w->parent; w; w = w->parent)
    if (w == p) return true;
  return false;
}

namespace {
bool EnumTree(Wnd* w, const WNDENUMPROC& proc) {
  for (Wnd* c : std::vector<Wnd*>(w->children)) {
    if (!W(c->handle)) continue;
    if (!proc(c->handle)) return false;
    if (W(c->handle) && !EnumTree(c, proc)) return false;
  }
  return true;
}
}  // namespace

bool EnumChildWindows(HWND parent, const WNDENUMPROC& proc) {
  Wnd* p = W(parent);
  if (!p) return false;
  EnumTree(p, proc);
  return true;
}

bool EnumWindows(const WNDENUMPROC& proc) {
  for (Wnd* t : std::vector<Wnd*>(S().topLevels))
    if (W(t->handle) && !proc(t->handle)) return false;
  return true;
}

std::vector<HWND> GetTopLevelWindows() {
  std::vector<HWND> out;
  for (Wnd* t : S().topLevels) out.push_back(t->handle);
  return out;
}

// ---------------------------------------------------------------- text and ids

bool SetWindowText(HWND hwnd, const std::string& text) {
  Wnd* w = W(hwnd);
  if (!w) return false;
  return Send(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())) != 0;
}

std::string GetWindowText(HWND hwnd) {
  Wnd* w = W(hwnd);
  if (!w) return {};
  std::string out;
  Send(w, WM_GETTEXT, 0, reinterpret_cast<LPARAM>(&out));
  return out;
}

int GetDlgCtrlID(HWND hwnd) {
  Wnd* w = W(hwnd);
  return w && w->parent ? static_cast<int>(w->id) : 0;
}

HWND GetDlgItem(HWND parent, int id) {
  Wnd* p = W(parent);
  if (!p) return nullptr;
  for (Wnd* c : p->children)
    if (c->id == id) return c->handle;
  return nullptr;
}

namespace talvik::gui {

std::uint64_t Ticks() {
  auto& s = detail::S();
  if (s.clock) return s.clock();
  static const auto start = std::chrono::steady_clock::now();
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
          .count());
}

void SetClock(std::function<std::uint64_t()> clock) {
  detail::S().clock = std::move(clock);
}

void SetBackend(Backend* backend) {
  auto& s = detail::S();
  if (!s.backendGone) s.backend = backend;
}
Backend* CurrentBackend() {
  return detail::S().backend;
}

bool RunMessagesUntil(const std::function<bool()>& done) {
  MSG m;
  while (!done()) {
    if (!GetMessage(m, nullptr, 0, 0)) {
      PostQuitMessage(static_cast<int>(m.wParam));
      return false;
    }
    TranslateMessage(m);
    DispatchMessage(m);
  }
  return true;
}

void ProcessPending() {
  MSG m;
  while (PeekMessage(m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(m.wParam));
      return;
    }
    TranslateMessage(m);
    DispatchMessage(m);
  }
}

}  // namespace talvik::gui
