// The toolbar control and the menu bar.
#include "toolbar/BarToolbar.h"

#include <algorithm>
#include <cassert>
#include <string>

#include "platform/rtl/Lifetime.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"
#include "toolbar/BarAccessibility.h"
#include "toolbar/BarHook.h"
#include "toolbar/BarPopup.h"
#include "toolbar/BarUtils.h"

namespace {

const char* const kDefaultChevronHint = "More Buttons|";
const char* const kFloatRightX = "FloatRightX";
// The non-client metrics setting: the menu font may have changed.
constexpr WPARAM kSettingNonClientMetrics = 42;
// The longest floating width a stored position may ask for.
constexpr int kFloatingWidthLimit = 32767;

// The chevron glyphs: two arrowheads pointing right (horizontal toolbar) or down (vertical).
constexpr unsigned char kChevronHorizontal[5] = {0xCC, 0x66, 0x33, 0x66, 0xCC};
constexpr unsigned char kChevronVertical[8] = {0x88, 0xD8, 0x70, 0x20, 0x88, 0xD8, 0x70, 0x20};

bool IsSeparatorViewer(const TBarItemViewer* V) {
  return V && V->Item()->ItemStyle().Contains(tisSeparator);
}

// ---------------------------------------------------------------------------------------------------
// The toolbars that take shortcuts, and the application hook they share

std::vector<TBarCustomToolbar*> g_shortCutToolbars;
int g_mainWindowHook = -1;

bool InShortCutList(TBarCustomToolbar* T) {
  return std::find(g_shortCutToolbars.begin(), g_shortCutToolbars.end(), T) != g_shortCutToolbars.end();
}

// The form a toolbar works for: its outermost parent form; a floating toolbar works for the form its
// floating parent belongs to.
TCustomForm* ToolbarForm(TBarCustomToolbar* T) {
  TWinControl* top = T;
  while (top->Parent()) top = top->Parent();
  if (auto* floating = dynamic_cast<TBarFloatingWindowParent*>(top)) {
    TCustomForm* form = floating->ParentForm();
    if (!form) return nullptr;
    top = form;
    while (top->Parent()) top = top->Parent();
  }
  return dynamic_cast<TCustomForm*>(top);
}

bool ShortCutOnForm(TCustomForm* Form, TMessage& Key) {
  const auto list = g_shortCutToolbars;  // a shortcut may free a toolbar
  for (TBarCustomToolbar* T : list) {
    if (!InShortCutList(T) || !T->ProcessShortCuts() || ToolbarForm(T) != Form) continue;
    if (!Form->HandleAllocated() || !IsWindowEnabled(Form->Handle())) continue;
    if (T->IsShortCut(Key)) return true;
  }
  return false;
}

// Offers a system command to the docks and toolbars of a control tree, depth first.
bool SysCommandToControls(TWinControl* Parent, TMessage& Command) {
  for (int I = 0; I < Parent->ControlCount(); ++I) {
    TControl* C = Parent->Controls(I);
    if (!C->Visible() || !C->Enabled()) continue;
    if (C->ControlStyle().Contains(csMenuEvents) &&
        (dynamic_cast<TBarDock*>(C) || dynamic_cast<TBarCustomToolbar*>(C)) &&
        C->Perform(WM_SYSCOMMAND, Command.WParam, Command.LParam) != 0)
      return true;
    if (auto* W = dynamic_cast<TWinControl*>(C); W && SysCommandToControls(W, Command)) return true;
  }
  return false;
}

bool MainWindowHook(TMessage& Message) {
  switch (Message.Msg) {
    case CM_APPKEYDOWN: {
      if (g_shortCutToolbars.empty()) return false;
      TMessage& key = *reinterpret_cast<TMessage*>(Message.LParam);
      TCustomForm* active = Screen ? Screen->ActiveForm() : nullptr;
      TCustomForm* main = Application ? Application->MainForm() : nullptr;
      if ((active && ShortCutOnForm(active, key)) || (main && main != active && ShortCutOnForm(main, key))) {
        Message.Result = 1;
        return true;
      }
      return false;
    }
    case CM_APPSYSCOMMAND: {
      TCustomForm* active = Screen ? Screen->ActiveForm() : nullptr;
      TMessage& command = *reinterpret_cast<TMessage*>(Message.LParam);
      // an active MDI child stands inside its frame's window: the frame's bars answer for it too
      TCustomForm* main = Application ? Application->MainForm() : nullptr;
      TCustomForm* frame = active && active->FormStyle() == fsMDIChild && main && main != active &&
                                   main->FormStyle() == fsMDIForm
                               ? main
                               : nullptr;
      if ((active && SysCommandToControls(active, command)) ||
          (frame && SysCommandToControls(frame, command))) {
        command.Result = 1;
        return true;
      }
      return false;
    }
    default:
      return false;
  }
}

void EnterShortCutList(TBarCustomToolbar* T) {
  if (g_shortCutToolbars.empty()) {
    CreateApplication();
    g_mainWindowHook = Application->HookMainWindow(MainWindowHook);
  }
  g_shortCutToolbars.push_back(T);
}

void LeaveShortCutList(TBarCustomToolbar* T) {
  auto it = std::find(g_shortCutToolbars.begin(), g_shortCutToolbars.end(), T);
  if (it == g_shortCutToolbars.end()) return;
  g_shortCutToolbars.erase(it);
  if (g_shortCutToolbars.empty()) {
    if (Application) Application->UnhookMainWindow(g_mainWindowHook);
    g_mainWindowHook = -1;
    g_shortCutToolbars.shrink_to_fit();
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// The chevron

TBarChevronItem::TBarChevronItem(TBarCustomToolbar* AToolbar) : TBarCustomItem(AToolbar), toolbar_(AToolbar) {
  itemStyle_.Include(tisHasSubmenu);
  itemStyle_.Include(tisNoKeyOpen);
}

TBarView* TBarChevronItem::ChevronSourceView() {
  return toolbar_->View();
}

TBarItemViewerClass TBarChevronItem::ViewerClassFor(TBarView* /*View*/) {
  return ViewerClassOf<TBarChevronItemViewer>();
}

void TBarChevronItemViewer::Paint(TCanvas* Canvas, const TRect& ClientAreaRect, bool IsSelected,
                                  bool IsPushed, bool /*UseDisabledShadow*/) {
  HDC dc = Canvas->Handle();
  RECT r = ClientAreaRect;
  const bool enabled = Item()->Enabled();
  if (enabled) {
    if (IsPushed)
      DrawEdge(dc, r, BDR_SUNKENOUTER, BF_RECT);
    else if (IsSelected && !View()->Window()->ComponentState().Contains(csDesigning))
      DrawEdge(dc, r, BDR_RAISEDINNER, BF_RECT);
  }
  const bool vertical = View()->Orientation() == tbvoVertical;
  TPoint at = vertical ? TPoint(r.Right - 9, r.Top + 2) : TPoint(r.Left + 2, r.Top + 4);
  if (IsPushed) at = TPoint(at.X + 1, at.Y + 1);
  auto glyph = [&](TPoint P, int Color) {
    const COLORREF c = GetSysColor(Color);
    const unsigned char* rows = vertical ? kChevronVertical : kChevronHorizontal;
    const int height = vertical ? 8 : 5, width = vertical ? 5 : 8;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if (rows[y] & (0x80 >> x)) SetPixel(dc, P.X + x, P.Y + y, c);
  };
  if (enabled) {
    glyph(at, COLOR_BTNTEXT);
  } else {
    glyph(TPoint(at.X + 1, at.Y + 1), COLOR_BTNHIGHLIGHT);
    glyph(at, COLOR_BTNSHADOW);
  }
}

// ---------------------------------------------------------------------------------------------------
// The toolbar's view

TBarToolbarView::TBarToolbarView(TBarCustomToolbar* AToolbar)
    : TBarView(AToolbar, nullptr, AToolbar->Items(), AToolbar, true, false,
               !AToolbar->ComponentState().Contains(csDesigning)),
      toolbar_(AToolbar) {
  // the base constructor made the viewers before this view could add its chevron
  RecreateAllViewers();
}

TFont* TBarToolbarView::GetFont() {
  return toolbar_->SystemFont() && toolbar_->menuFont_ ? toolbar_->menuFont_ : toolbar_->Font();
}

TBarCustomItem* TBarToolbarView::ChevronItem() {
  return toolbar_->Chevron();
}

void TBarToolbarView::GetTrailingItems(std::vector<TBarCustomItem*>& Items) {
  if (toolbar_->Chevron()) Items.push_back(toolbar_->Chevron());
}

void TBarToolbarView::InvalidatePositions() {
  // a new layout starts from the toolbar's full length (the dock gives it its length again)
  if (toolbar_->sizing_ == 0) toolbar_->ClearDockedLength();
  TBarView::InvalidatePositions();
}

void TBarToolbarView::UpdatePositions(TPoint& ASize) {
  SetMinimumSize(toolbar_->ViewMinimumSize());
  {
    ++toolbar_->updatingPositions_;
    TScopeExit done([this] { --toolbar_->updatingPositions_; });
    TBarView::UpdatePositions(ASize);
  }
  toolbar_->ViewLaidOut(ASize);
}

void TBarToolbarView::FitWindow(int /*AWidth*/, int /*AHeight*/) {}

// ---------------------------------------------------------------------------------------------------
// The toolbar

struct TBarCustomToolbar::FloatingResize {
  int SizeHandle = 0;
  TRect Frame;  // the floating frame when the resize began (screen)
  int OriginalFloatingWidth = 0;
  std::vector<TSize> Sizes;  // candidate frame sizes, sorted along the dragged side
  std::vector<int> Wraps;    // the floating width of each
  int Start = 0;             // index of the size the resize started with
  int Chosen = 0;            // index of the size taken now
  int Snap = kBarFloatingSnap;
};

TBarCustomToolbar::TBarCustomToolbar(TComponent* AOwner) : TBarCustomDockableWindow(AOwner) {
  TControlStyle style = ControlStyle();
  style.Include(csAcceptsControls);
  style.Include(csActionClient);
  style.Exclude(csCaptureMouse);
  SetControlStyle(style);
  SetCornerSizing(false);
  items_ = std::make_unique<TBarRootItem>(nullptr);
  items_->SetParentComponentOfTree(this);
  chevronItem_ = new TBarChevronItem(this);
  chevronItem_->SetLinkSubitems(items_.get());
  SetChevronHint(kDefaultChevronHint);
  menuFont_ = AcquireMenuFont();
  view_ = std::make_unique<TBarToolbarView>(this);
  view_->SetBackgroundColor(clBtnFace);
  SetColor(clBtnFace);
  SetBounds(Left(), Top(), 23, 22);
}

TBarCustomToolbar::~TBarCustomToolbar() {
  Destroying();
  if (menuBarHook_) UninstallHookProc(MenuBarHookProc);
  LeaveShortCutList(this);
  view_.reset();
  delete chevronItem_;
  chevronItem_ = nullptr;
  items_.reset();
  if (menuFont_) ReleaseMenuFont();
}

const std::vector<TBarCustomToolbar*>& TBarCustomToolbar::ShortCutToolbars() {
  return g_shortCutToolbars;
}

// ---- properties ----

void TBarCustomToolbar::SetChevronHint(const std::string& Value) {
  chevronItem_->SetHint(Value);
  chevronItem_->SetCaption(EscapeAmpersands(GetShortHint(Value)));
}

void TBarCustomToolbar::SetChevronMoveItems(bool Value) {
  if (Value == chevronMoveItems_) return;
  chevronMoveItems_ = Value;
}

void TBarCustomToolbar::SetChevronPriorityForNewItems(TBarChevronPriorityForNewItems Value) {
  if (Value == chevronPriority_) return;
  chevronPriority_ = Value;
  view_->SetNewViewersGetHighestPriority(Value == tbcpHighest);
}

void TBarCustomToolbar::SetFloatingWidth(int Value) {
  if (Value == floatingWidth_) return;
  floatingWidth_ = Value;
  if (Floating()) {
    SetupView(dtFloating);
    Arrange();
  }
}

void TBarCustomToolbar::SetMenuBar(bool Value) {
  if (Value == menuBar_) return;
  menuBar_ = Value;
  TControlStyle style = ControlStyle();
  TBarViewStyle viewStyle = view_->Style();
  if (Value) {
    style.Include(csMenuEvents);
    viewStyle.Include(vsMenuBar);
    viewStyle.Include(vsUseHiddenAccels);
  } else {
    style.Exclude(csMenuEvents);
    viewStyle.Exclude(vsMenuBar);
    viewStyle.Exclude(vsUseHiddenAccels);
  }
  SetControlStyle(style);
  view_->SetStyle(viewStyle);
  if (!ComponentState().Contains(csLoading)) {
    SetFullSize(Value);
    SetShrinkMode(Value ? tbsmWrap : tbsmChevron);
    SetCloseButton(!Value);
    SetProcessShortCuts(Value);
  }
  if (Value != menuBarHook_) {
    if (Value)
      InstallHookProc(MenuBarHookProc, THookProcCodes{hpGetMessage}, ComponentState().Contains(csDesigning));
    else
      UninstallHookProc(MenuBarHookProc);
    menuBarHook_ = Value;
  }
  UpdateShortCutListMembership();
}

void TBarCustomToolbar::SetProcessShortCuts(bool Value) {
  if (Value == processShortCuts_) return;
  processShortCuts_ = Value;
  UpdateShortCutListMembership();
}

void TBarCustomToolbar::SetShrinkMode(TBarShrinkMode Value) {
  if (Value == shrinkMode_) return;
  shrinkMode_ = Value;
  if (Docked())
    CurrentDock()->ArrangeToolbars();
  else if (!Floating())
    Arrange();
}

void TBarCustomToolbar::SetSystemFont(bool Value) {
  if (Value == systemFont_) return;
  systemFont_ = Value;
  view_->InvalidatePositions();
  Arrange();
}

void TBarCustomToolbar::UpdateShortCutListMembership() {
  const bool wanted = (processShortCuts_ || menuBar_) && !ComponentState().Contains(csDesigning) &&
                      !ComponentState().Contains(csDestroying);
  if (wanted == inShortCutList_) return;
  inShortCutList_ = wanted;
  if (wanted)
    EnterShortCutList(this);
  else
    LeaveShortCutList(this);
}

// The menu bar's get-message procedure: Alt+letter typed while the empty MDI client has the focus,
// and Alt+'-' typed in an MDI child, go to the frame (whose menu bar or child system menu takes them).
void TBarCustomToolbar::MenuBarHookProc(THookProcCode Code, HWND /*Wnd*/, WPARAM WParam, LPARAM LParam) {
  if (Code != hpGetMessage || WParam != PM_REMOVE) return;  // a message only looked at stays as it is
  MSG& msg = *reinterpret_cast<MSG*>(LParam);
  if (msg.message != WM_SYSCHAR || !msg.hwnd || !Application) return;
  TCustomForm* main = Application->MainForm();
  if (!main || !main->HandleAllocated() || GetCapture()) return;
  HWND client = main->ClientHandle();
  if (!client) return;
  if (msg.hwnd == client || (msg.wParam == '-' && IsChild(client, msg.hwnd))) msg.hwnd = main->Handle();
}

// ---- keyboard ----

bool TBarCustomToolbar::IsShortCut(TMessage& Message) {
  bool handled = false;
  if (OnShortCut) InvokeEvent(OnShortCut, Message, handled);
  if (handled) return true;
  return items_->IsShortCut(Message);
}

bool TBarCustomToolbar::KeyboardOpen(char32_t Key, bool RequirePrimaryAccel) {
  view_->UpdateAccelVisibility(true);
  TBarItemViewer* found = nullptr;
  bool result = false;
  if (Key != 0) {
    bool unique = false;
    found = view_->FindViewerByAccel(Key, nullptr, RequirePrimaryAccel, unique);
    if (found && found->Item()->Enabled()) {
      if (unique) {
        view_->SelectViewer(found);
        view_->RunMenuLoop(TBarMenuLoopOptions{mloKeyboardEntry, mloExecuteSelected});
        result = true;
      } else if (menuBar_) {
        view_->SelectViewer(found);
        view_->RunMenuLoop(TBarMenuLoopOptions{mloKeyboardEntry});
        result = true;
      }
    }
  } else {
    view_->ValidatePositions();
    view_->SelectFirstOrLastViewer(true);
    found = view_->Selected();
    if (found) {
      view_->RunMenuLoop(TBarMenuLoopOptions{mloKeyboardEntry});
      result = true;
    }
  }
  if (found) view_->UpdateAccelVisibility(false);
  return result;
}

bool TBarCustomToolbar::HandleSysCommand(TMessage& Message) {
  if ((Message.WParam & 0xFFF0) != SC_KEYMENU || !menuBar_ || !Enabled() || !Showing()) return false;
  const char32_t key = static_cast<char32_t>(Message.LParam);
  if (key == ' ' || GetCapture()) return false;
  if (KeyboardOpen(key, false)) return true;
  if (key == '-') return false;  // the MDI child's system menu opens
  MessageBeep(0);
  return true;
}

// ---- sizes ----

void TBarCustomToolbar::SetupView(TBarDockType DockType) {
  TBarViewOrientation orientation = tbvoHorizontal;
  if (DockType == dtFloating)
    orientation = tbvoFloating;
  else if (DockType == dtLeftRight)
    orientation = tbvoVertical;
  int wrap = 0, limit = 0;
  const TSize nc = GetDockedNCAreaSize();
  const bool vertical = DockType == dtLeftRight;
  if (DockType == dtFloating) {
    wrap = floatingWidth_;
  } else if (TBarDock* dock = ArrangeDock(); dock && Docked()) {
    if (shrinkMode_ == tbsmWrap)
      wrap = std::max(0, dock->InnerLength() - (vertical ? nc.cy : nc.cx));
    else if (shrinkMode_ == tbsmChevron && DockedLength() > 0)
      limit = std::max(1, DockedLength() - (vertical ? nc.cy : nc.cx));
  } else if (DockType == dtNotDocked &&
             (!AutoResize() || (Anchors().Contains(akLeft) && Anchors().Contains(akRight)))) {
    const int length = std::max(0, Width() - nc.cx);
    if (shrinkMode_ == tbsmChevron)
      limit = length;
    else if (shrinkMode_ == tbsmWrap)
      wrap = length;
  }
  view_->SetOrientation(orientation);
  view_->SetChevronSize(kBarChevronSize);
  view_->SetWrapOffset(wrap);
  view_->SetMaximumLength(limit);
}

TPoint TBarCustomToolbar::ViewMinimumSize() {
  TPoint size;
  TBarDock* dock = Docked() ? CurrentDock() : nullptr;
  if (!dock) return size;
  const bool vertical = dock->IsVertical();
  const TSize nc = GetDockedNCAreaSize();
  int across = 0;
  for (TBarCustomDockableWindow* W : dock->DockVisibleList())
    if (W != this && W->EffectiveDockRow() == EffectiveDockRow() && EffectiveDockRow() >= 0)
      across = std::max(across, W->DockRowSize() - (vertical ? nc.cx : nc.cy));
  const int along = FullSize() ? view_->WrapOffset() : 0;
  size = vertical ? TPoint(across, along) : TPoint(along, across);
  return size;
}

void TBarCustomToolbar::ViewLaidOut(TPoint Size) {
  const bool changed = Size != baseSize_;
  baseSize_ = Size;
  // a layout asked for by the items (not by sizing) sizes the toolbar again
  if (changed && sizing_ == 0 && updatingPositions_ == 0 && !ComponentState().Contains(csDestroying))
    Arrange();
}

TSize TBarCustomToolbar::CalcSizeForDockType(TBarDockType DockType) {
  ++sizing_;
  TScopeExit done([this] { --sizing_; });
  SetupView(DockType);
  const TPoint base = view_->GetBaseSize();
  return TSize(base.X, base.Y);
}

TSize TBarCustomToolbar::GetBaseSize() {
  ++sizing_;
  TScopeExit done([this] { --sizing_; });
  view_->ValidatePositions();
  TSize size(baseSize_.X, baseSize_.Y);
  // a clipped toolbar still asks its dock for the length of all its items
  if (Docked() && shrinkMode_ == tbsmChevron && view_->MaximumLength() > 0) {
    if (CurrentDock()->IsVertical())
      size.cy = std::max(size.cy, view_->TotalSize());
    else
      size.cx = std::max(size.cx, view_->TotalSize());
  }
  return size;
}

int TBarCustomToolbar::GetMinRowSize() {
  const bool vertical = Docked() && CurrentDock()->IsVertical();
  const TSize nc = GetDockedNCAreaSize();
  int length = 0;
  if (TBarItemViewer* V = view_->HighestPriorityViewer())
    length = vertical ? V->BoundsRect.Height() : V->BoundsRect.Width();
  return length + (vertical ? nc.cy : nc.cx) + kBarChevronSize;
}

bool TBarCustomToolbar::DragStartAllowed(TPoint ClientPoint) {
  if (!TBarCustomDockableWindow::DragStartAllowed(ClientPoint)) return false;
  if (ComponentState().Contains(csDesigning)) return true;
  TBarItemViewer* V = view_->ViewerFromPoint(ClientPoint);
  return !V || IsSeparatorViewer(V);
}

std::vector<TBarCustomToolbar::FloatingCandidate> TBarCustomToolbar::FloatingCandidates() {
  // Narrower wrap widths give more rows, and so a taller toolbar: one size per height, the narrowest
  // width that gives it.
  std::vector<FloatingCandidate> candidates;
  auto layout = [&](int Wrap) {
    return view_->CalculatePositions(false, tbvoFloating, kBarChevronSize, 0, Wrap);
  };
  const TBarView::LayoutResult one = layout(0);
  candidates.push_back({TSize(one.BaseSize.X, one.BaseSize.Y), 0});
  for (int width = one.BaseSize.X - 1; width >= 1; --width) {
    const TBarView::LayoutResult r = layout(width);
    const FloatingCandidate c{TSize(r.BaseSize.X, r.BaseSize.Y), width};
    if (c.Size.cy == candidates.back().Size.cy) {
      if (candidates.size() > 1) candidates.back() = c;  // the one-row size keeps its natural width
    } else {
      candidates.push_back(c);
    }
  }
  return candidates;
}

std::vector<TSize> TBarCustomToolbar::GetFloatingSizes() {
  std::vector<TSize> sizes;
  for (const FloatingCandidate& c : FloatingCandidates()) sizes.push_back(c.Size);
  return sizes;
}

// ---- floating resize ----

int FloatingSnapDistance(const std::vector<int>& Lengths, int Current) {
  const int n = static_cast<int>(Lengths.size());
  int gap = -1;
  if (Current > 0) gap = Lengths[Current] - Lengths[Current - 1];
  if (Current + 1 < n) {
    const int next = Lengths[Current + 1] - Lengths[Current];
    gap = gap < 0 ? next : std::min(gap, next);
  }
  if (gap < 0) return kBarFloatingSnap;
  return std::max(0, std::min(kBarFloatingSnap, gap - 1));
}

int ChooseFloatingSize(const std::vector<int>& Lengths, int Current, int Offset, int Snap) {
  if (std::abs(Offset) <= Snap) return Current;
  const int wanted = Lengths[Current] + Offset;
  int chosen = Current;
  if (Offset > 0) {
    for (int I = Current + 1; I < static_cast<int>(Lengths.size()) && Lengths[I] <= wanted; ++I) chosen = I;
  } else {
    for (int I = Current - 1; I >= 0 && Lengths[I] >= wanted; --I) chosen = I;
  }
  return chosen;
}

namespace {

bool SizesAlongWidth(int SizeHandle) {
  return SizeHandle == HTLEFT || SizeHandle == HTRIGHT;
}

}  // namespace

void TBarCustomToolbar::SizingBegin(int SizeHandle) {
  auto state = std::make_unique<FloatingResize>();
  state->SizeHandle = SizeHandle;
  state->OriginalFloatingWidth = floatingWidth_;
  TPoint border;
  int caption = 0;
  GetFloatingNCAreaSize(border, caption);
  const bool alongWidth = SizesAlongWidth(SizeHandle);
  std::vector<FloatingCandidate> candidates = FloatingCandidates();
  std::stable_sort(candidates.begin(), candidates.end(),
                   [&](const FloatingCandidate& a, const FloatingCandidate& b) {
                     return alongWidth ? a.Size.cx < b.Size.cx : a.Size.cy < b.Size.cy;
                   });
  for (const FloatingCandidate& c : candidates) {
    state->Sizes.push_back(TSize(c.Size.cx + border.X * 2, c.Size.cy + border.Y * 2 + caption));
    state->Wraps.push_back(c.Wrap);
  }
  // the size now: the candidate closest to the frame as it is
  const TRect frame = FloatingParent() ? FloatingParent()->BoundsRect() : BoundsRect();
  state->Frame = frame;
  int best = 0;
  for (int I = 0; I < static_cast<int>(state->Sizes.size()); ++I) {
    auto distance = [&](int J) {
      return std::abs(state->Sizes[J].cx - frame.Width()) + std::abs(state->Sizes[J].cy - frame.Height());
    };
    if (distance(I) < distance(best)) best = I;
  }
  state->Start = state->Chosen = best;
  std::vector<int> lengths;
  for (TSize s : state->Sizes) lengths.push_back(alongWidth ? s.cx : s.cy);
  state->Snap = FloatingSnapDistance(lengths, best);
  floatingResize_ = std::move(state);
}

void TBarCustomToolbar::SizingTrack(int SizeHandle, TRect& Rect) {
  FloatingResize* state = floatingResize_.get();
  if (!state || state->Sizes.empty()) return;
  // how far the cursor moved the dragged side from where it started
  const bool alongWidth = SizesAlongWidth(SizeHandle);
  int offset = 0;
  switch (SizeHandle) {
    case HTLEFT:
      offset = state->Frame.Left - Rect.Left;
      break;
    case HTTOP:
      offset = state->Frame.Top - Rect.Top;
      break;
    case HTRIGHT:
      offset = Rect.Right - state->Frame.Right;
      break;
    default:
      offset = Rect.Bottom - state->Frame.Bottom;
      break;
  }
  std::vector<int> lengths;
  for (TSize s : state->Sizes) lengths.push_back(alongWidth ? s.cx : s.cy);
  // the offset counts from the size the resize started with
  const int chosen = ChooseFloatingSize(lengths, state->Start, offset, state->Snap);
  state->Chosen = chosen;
  const TSize size = state->Sizes[chosen];
  switch (SizeHandle) {
    case HTLEFT:
      Rect.Left = Rect.Right - size.cx;
      Rect.Bottom = Rect.Top + size.cy;
      break;
    case HTTOP:
      Rect.Top = Rect.Bottom - size.cy;
      Rect.Right = Rect.Left + size.cx;
      break;
    default:
      Rect.Right = Rect.Left + size.cx;
      Rect.Bottom = Rect.Top + size.cy;
      break;
  }
}

void TBarCustomToolbar::SizeChanged() {
  TBarCustomDockableWindow::SizeChanged();
  FloatingResize* state = floatingResize_.get();
  if (!state || state->Wraps.empty()) return;
  // the frame took the chosen size: the toolbar wraps at its width from now on
  floatingWidth_ = state->Wraps[static_cast<size_t>(state->Chosen)];
  ++sizing_;
  TScopeExit done([this] { --sizing_; });
  SetupView(dtFloating);
  view_->ValidatePositions();
}

void TBarCustomToolbar::SizingEnd() {
  floatingResize_.reset();
}

// ---- position data ----

void TBarCustomToolbar::ReadPositionData(const TBarReadPositionData& Data) {
  const int width = Data.ReadIntProc(Name(), kFloatRightX, 0);
  SetFloatingWidth(std::clamp(width, 0, kFloatingWidthLimit));
}

void TBarCustomToolbar::WritePositionData(const TBarWritePositionData& Data) {
  Data.WriteIntProc(Name(), kFloatRightX, floatingWidth_);
}

// ---- streaming and controls ----

void TBarCustomToolbar::GetChildren(const TGetChildProc& Proc, TComponent* Root) {
  for (int I = 0; I < items_->Count(); ++I) Proc(items_->Items(I));
  TBarCustomDockableWindow::GetChildren(Proc, Root);
}

void TBarCustomToolbar::SetChildOrder(TComponent* Child, int Order) {
  if (auto* item = dynamic_cast<TBarCustomItem*>(Child)) {
    items_->SetChildOrder(item, Order);
    return;
  }
  TBarCustomDockableWindow::SetChildOrder(Child, Order);
}

namespace {

bool HostedByControlItem(TBarCustomItem* Root, TControl* Control) {
  for (int I = 0; I < Root->Count(); ++I)
    if (auto* ci = dynamic_cast<TBarControlItem*>(Root->Items(I)); ci && ci->Control() == Control)
      return true;
  return false;
}

}  // namespace

void TBarCustomToolbar::AddControlItem(TControl* Control) {
  TComponent* owner = Owner() ? Owner() : this;
  TBarControlItem* item = TBarControlItem::CreateControlItem(owner, Control);
  // a designer shows the new item under a name of its own: the first free number
  if (ComponentState().Contains(csDesigning))
    for (int n = 1;; ++n)
      if (const std::string name = "TBControlItem" + std::to_string(n); !owner->FindComponent(name)) {
        item->SetName(name);
        break;
      }
  items_->Add(item);
}

void TBarCustomToolbar::Loaded() {
  TBarCustomDockableWindow::Loaded();
  for (int I = 0; I < ControlCount(); ++I) {
    TControl* C = Controls(I);
    if (!HostedByControlItem(items_.get(), C)) AddControlItem(C);
  }
}

void TBarCustomToolbar::ControlChange(TControl* Control, bool Inserting) {
  if (Inserting) {
    if (ComponentState().Contains(csLoading) || ComponentState().Contains(csUpdating)) return;
    if (!HostedByControlItem(items_.get(), Control)) AddControlItem(Control);
    return;
  }
  for (int I = items_->Count(); I-- > 0;) {
    auto* ci = dynamic_cast<TBarControlItem*>(items_->Items(I));
    if (!ci || ci->Control() != Control) continue;
    ci->SetDontFreeControl(true);
    delete ci;
  }
}

void TBarCustomToolbar::GetTabOrderList(std::vector<TWinControl*>& List) {
  TBarCustomDockableWindow::GetTabOrderList(List);
  std::vector<TWinControl*> hosted;
  view_->GetHostedControls(hosted);
  for (int I = 0; I < items_->Count(); ++I)
    if (auto* ci = dynamic_cast<TBarControlItem*>(items_->Items(I)))
      if (auto* W = dynamic_cast<TWinControl*>(ci->Control())) hosted.push_back(W);
  List.erase(std::remove_if(
                 List.begin(), List.end(),
                 [&](TWinControl* W) { return std::find(hosted.begin(), hosted.end(), W) != hosted.end(); }),
             List.end());
}

void TBarCustomToolbar::InitiateAction() {
  TBarCustomDockableWindow::InitiateAction();
  if (updateActions_) view_->InitiateActions();
}

// ---- painting and the mouse ----

void TBarCustomToolbar::Paint() {
  if (ComponentState().Contains(csDesigning) && !Docked()) {
    TCanvas* c = Canvas();
    c->Pen()->SetStyle(psDot);
    c->Pen()->SetColor(clBtnShadow);
    c->Brush()->SetStyle(bsClear);
    const TRect r = ClientRect();
    c->Rectangle(r.Left, r.Top, r.Right, r.Bottom);
  }
  view_->DrawSubitems(Canvas());
}

void TBarCustomToolbar::ReleaseHover() {
  if (!view_->InModalLoop()) view_->TrackMouse(nullptr, false);
}

void TBarCustomToolbar::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TWinControl* parentBefore = Parent();
  TBarCustomDockableWindow::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || ComponentState().Contains(csDesigning) || Parent() != parentBefore) return;
  if (Dragging()) return;
  const TPoint screen = ClientToScreen(TPoint(X, Y));
  view_->TrackMouse(&screen, true);
  TBarItemViewer* V = view_->Selected();
  if (!V || IsSeparatorViewer(V)) return;
  inMouseDown_ = true;
  TScopeExit done([this] { inMouseDown_ = false; });
  view_->RunMenuLoop(TBarMenuLoopOptions{mloMousePress});
}

void TBarCustomToolbar::MouseMove(TShiftState Shift, int X, int Y) {
  TBarCustomDockableWindow::MouseMove(Shift, X, Y);
  if (ComponentState().Contains(csDesigning)) return;
  const TPoint screen = ClientToScreen(TPoint(X, Y));
  view_->TrackMouse(&screen, true);
  std::string hint;
  if (TBarItemViewer* V = view_->Selected())
    if (!V->Item()->EffectiveOptions().Contains(tboLongHintInMenuOnly)) hint = V->Item()->Hint();
  SetHint(hint);
  CallTrackMouseEvent(Handle(), TME_LEAVE);
}

// ---- messages ----

void TBarCustomToolbar::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case CM_COLORCHANGED:
      view_->SetBackgroundColor(Color());
      Invalidate();
      break;
    case CM_CONTROLCHANGE:
      TBarCustomDockableWindow::WndProc(Message);
      ControlChange(reinterpret_cast<TControl*>(Message.WParam), Message.LParam != 0);
      return;
    case CM_FONTCHANGED:
      TBarCustomDockableWindow::WndProc(Message);
      if (!systemFont_) {
        view_->InvalidatePositions();
        Arrange();
      }
      return;
    case CM_DIALOGKEY:
      if (Message.WParam == VK_MENU && menuBar_) view_->UpdateAccelVisibility(true);
      break;
    case CM_DIALOGCHAR:
      if (!menuBar_ && Enabled() && Showing() && Message.WParam != 0 &&
          KeyboardOpen(static_cast<char32_t>(Message.WParam), true)) {
        Message.Result = 1;
        return;
      }
      break;
    case CM_HINTSHOW: {
      auto& info = *reinterpret_cast<THintInfo*>(Message.LParam);
      if (TBarItemViewer* V = view_->ViewerFromPoint(info.CursorPos)) {
        if (!IsRectEmpty(V->BoundsRect)) info.CursorRect = V->BoundsRect;
        info.HintStr = V->GetHintText();
      }
      Message.Result = 0;
      return;
    }
    case CM_SHOWHINTCHANGED: {
      TBarViewStyle style = view_->Style();
      if (ShowHint())
        style.Include(vsAlwaysShowHints);
      else
        style.Exclude(vsAlwaysShowHints);
      view_->SetStyle(style);
      break;
    }
    case CM_WININICHANGE:
      if (Message.WParam == kSettingNonClientMetrics) {
        InitMenuFont();
        view_->InvalidatePositions();
        Arrange();
      }
      break;
    case CM_MOUSELEAVE:
      ReleaseHover();
      break;
    case WM_MOUSELEAVE:
      if (!inMouseDown_) ReleaseHover();
      break;
    case WM_NCMOUSEMOVE:
      ReleaseHover();
      SetHint("");
      break;
    case WM_CONTEXTMENU:
      ReleaseHover();
      break;
    case WM_SETCURSOR:
      if (!ComponentState().Contains(csDesigning) && reinterpret_cast<HWND>(Message.WParam) == Handle() &&
          static_cast<short>(LOWORD(Message.LParam)) == HTCLIENT) {
        POINT screen;
        GetCursorPos(screen);
        view_->TrackMouse(&screen, true);
        HCURSOR cursor = nullptr;
        if (TBarItemViewer* V = view_->Selected()) {
          const TPoint p = ScreenToClient(screen);
          if (V->GetCursor(TPoint(p.X - V->BoundsRect.Left, p.Y - V->BoundsRect.Top), cursor) && cursor) {
            ::SetCursor(cursor);
            Message.Result = 1;
            return;
          }
        }
      }
      break;
    case WM_GETOBJECT:
      if (static_cast<int>(Message.LParam) == OBJID_CLIENT)
        if (auto object = view_->GetAccObject()) {
          Message.Result = LresultFromObject(object);
          return;
        }
      break;
    case WM_SYSCOMMAND:
      if (HandleSysCommand(Message)) {
        Message.Result = 1;
        return;
      }
      break;
    default:
      break;
  }
  TBarCustomDockableWindow::WndProc(Message);
}
