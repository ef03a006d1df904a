// Selection, keyboard and mouse in views: hot tracking, opening and closing submenus on timers,
// scrolling tall popups, the keys of the menu loop, accelerators, presses and releases on viewers,
// and entering the menu loop.
//
// A call here may close a popup, and with it the view that made the call (Escape in a submenu asks
// the parent view to close it); such calls come last in their branch, and nothing of `this` is
// touched after them.
#include <cassert>

#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"
#include "toolbar/BarAccessibility.h"
#include "toolbar/BarPopup.h"
#include "toolbar/BarUtils.h"

namespace {

constexpr int kScrollBand = 19;        // the scroll arrows' bands of a tall popup
constexpr UINT kScrollInterval = 100;  // ms between two scroll steps
constexpr int kMaxViewTimers = 8;

TBarWinEventSink& WinEventSink() {
  static TBarWinEventSink sink;
  return sink;
}

TPoint LastMessagePoint() {
  const DWORD pos = GetMessagePos();
  return TPoint(GET_X_LPARAM(static_cast<LPARAM>(pos)), GET_Y_LPARAM(static_cast<LPARAM>(pos)));
}

bool Selectable(const TBarItemViewer* V) {
  const TBarCustomItem* item = V->Item();
  return (V->Show || V->OffEdge) && item->Visible() && item->ItemStyle().Contains(tisSelectable);
}

// The first character of a caption, for the first-letter accelerators.
char32_t FirstCharacter(const std::string& Caption) {
  size_t pos = 0;
  return Caption.empty() ? 0 : Utf8Next(Caption, pos);
}

// Carries out a viewer and lets its item give way to the chevron last.
void ExecuteWithPriority(TBarItemViewer* Viewer) {
  TBarView* view = Viewer->View();
  Viewer->Execute();
  view->GivePriority(Viewer);
  // the toolbar a chevron popup shows the hidden items of keeps the same order
  for (TBarView* source = view->ChevronParentView(); source; source = source->ChevronParentView())
    if (TBarItemViewer* same = source->Find(Viewer->Item())) source->GivePriority(same);
}

}  // namespace

void BarNotifyWinEvent(DWORD Event, HWND Wnd, int IdObject, int IdChild) {
  if (const TBarWinEventSink& sink = WinEventSink()) sink(Event, Wnd, IdObject, IdChild);
  NotifyWinEvent(Event, Wnd, IdObject, IdChild);
}

void SetBarWinEventSink(TBarWinEventSink Sink) {
  WinEventSink() = std::move(Sink);
}

// ---------------------------------------------------------------------------------------------------
// Selection

bool TBarView::InModalLoop() {
  return RootView()->state_.Contains(vsModal);
}

TBarView* TBarView::InnermostView() {
  TBarView* v = this;
  while (v->openView_) v = v->openView_;
  return v;
}

void TBarView::SetOpenPopup(TBarItemViewer* Viewer, TBarView* View, TBarPopupWindow* Window) {
  openViewer_ = Viewer;
  openView_ = View;
  openWindow_ = Window;
}

void TBarView::ChangeSelection(TBarItemViewer* Viewer, bool ViaMouse) {
  TBarItemViewer* old = selected_;
  const bool changed = old != Viewer;
  const bool modal = InModalLoop();
  if (changed) {
    // the parent keeps the viewer this popup belongs to selected (once the popup is its open one)
    if (parentView_ && parentView_->openView_ == this && parentView_->selected_ != parentView_->openViewer_) {
      parentView_->ChangeSelection(parentView_->openViewer_, false);
      parentView_->StopTimer(1);
      parentView_->StopTimer(0);
    }
    if (modal) {
      if (isToolbar_ || !ViaMouse) {
        StopTimer(1);
        if (openViewer_ && Viewer != openViewer_) {
          // the focus moves on to the new viewer, not back to the old one
          selectionChanging_ = true;
          TScopeExit done([this] { selectionChanging_ = false; });
          HideChildPopups();
        }
      } else if (isPopup_ && openView_ && !TimerRunning(1)) {
        StartTimer(1, static_cast<UINT>(GetMenuShowDelay()));
      }
    }
    splitTracking_ = false;
    if (old) old->NotifyDeselecting();
    selected_ = Viewer;
    selectedViaMouse_ = ViaMouse;
  }

  // Whether the mouse is over the new viewer's button part, from where the last message happened.
  bool over = false;
  if (Viewer && window_ && window_->HandleAllocated()) {
    const TPoint p = LastMessagePoint();
    if (WindowFromPoint(p) == window_->Handle()) {
      const TPoint c = window_->ScreenToClient(p);
      if (ViewerFromPoint(c) == Viewer)
        over = !splitTracking_ ||
               Viewer->PointInMainPart(c.X - Viewer->BoundsRect.Left, c.Y - Viewer->BoundsRect.Top);
    }
  }
  const bool overChanged = over != mouseOverSplit_;
  mouseOverSplit_ = over;

  if (!changed) {
    if (overChanged && splitTracking_ && Viewer &&
        Viewer->Item()->ItemStyle().Contains(tisRepaintOnSplitPart))
      RepaintViewer(Viewer);
    return;
  }
  if (old && old->Item()->ItemStyle().Contains(tisRepaintOnSelect)) RepaintViewer(old);
  if (Viewer) {
    if (Viewer->Item()->ItemStyle().Contains(tisRepaintOnSelect)) RepaintViewer(Viewer);
    Viewer->NotifySelecting();
  }
  if (modal) AnnounceFocus();
  if (!Viewer || !modal) return;
  if (isPopup_) {
    StopTimer(0);
    if (ViaMouse && Viewer->Item()->ItemStyle().Contains(tisHasSubmenu))
      StartTimer(0, static_cast<UINT>(GetMenuShowDelay()));
  } else {
    if (ViaMouse && parentView_) state_.Include(vsDropDownMenus);
    if (state_.Contains(vsDropDownMenus) && (ViaMouse || !Viewer->Item()->ItemStyle().Contains(tisNoKeyOpen)))
      ShowChildPopup(!ViaMouse);
  }
}

void TBarView::AnnounceFocus() {
  for (TBarView* v = this; v; v = v->parentView_)
    if (v->selected_ && AccCounted(v->selected_)) {
      if (v->window_ && v->window_->HandleAllocated())
        BarNotifyWinEvent(EVENT_OBJECT_FOCUS, v->window_->Handle(), OBJID_CLIENT, AccChildId(v->selected_));
      return;
    }
}

void TBarView::TrackMouse(const TPoint* P, bool AllowNewSelection) {
  ValidatePositions();
  TBarItemViewer* candidate = InModalLoop() ? selected_ : nullptr;
  const bool wasOver = state_.Contains(vsMouseInWindow);
  if (P && window_ && FindDragTarget(*P, true) == window_) {
    if (isPopup_) candidate = nullptr;
    state_.Include(vsMouseInWindow);
    if (AllowNewSelection || selected_)
      if (TBarItemViewer* under = ViewerFromPoint(window_->ScreenToClient(*P))) candidate = under;
  } else {
    state_.Exclude(vsMouseInWindow);
  }
  const bool over = state_.Contains(vsMouseInWindow);
  if (isPopup_ && over)
    state_.Include(vsStopSearch);
  else
    state_.Exclude(vsStopSearch);
  if (splitTracking_) candidate = selected_;
  if (isPopup_ && wasOver && !over && !splitTracking_ &&
      !(openView_ && candidate && candidate->Item()->ItemStyle().Contains(tisHasSubmenu)))
    candidate = nullptr;
  ChangeSelection(candidate, true);

  // The scroll arrows of a tall popup scroll while the mouse rests on them.
  if (!InModalLoop() || !over || !window_) return;
  const int y = P ? window_->ScreenToClient(*P).Y : -1;
  if (showUpArrow_ && y >= 0 && y < kScrollBand) {
    StopTimer(3);
    if (!TimerRunning(2)) StartTimer(2, kScrollInterval);
  } else if (showDownArrow_ && y >= maxHeight_ - kScrollBand) {
    StopTimer(2);
    if (!TimerRunning(3)) StartTimer(3, kScrollInterval);
  } else {
    StopTimer(2);
    StopTimer(3);
  }
}

// ---------------------------------------------------------------------------------------------------
// Submenus

bool TBarView::ShowChildPopup(bool SelectFirstItem) {
  StopTimer(1);
  StopTimer(0);
  if (selected_ != openViewer_) {
    HideChildPopups();
    TBarItemViewer* viewer = selected_;
    if (viewer && viewer->Item()->Enabled() && viewer->Item()->ItemStyle().Contains(tisHasSubmenu))
      viewer->Item()->BuildSubmenuPopup(this, viewer, !isToolbar_, SelectFirstItem, false, TPoint(0, 0),
                                        tbpaLeft);
  }
  return openViewer_ != nullptr;
}

void TBarView::HideChildPopups() {
  if (openView_) openView_->HideChildPopups();
  StopTimer(1);
  TBarPopupWindow* window = openWindow_;
  TBarItemViewer* viewer = openViewer_;
  openWindow_ = nullptr;
  openView_ = nullptr;
  openViewer_ = nullptr;
  delete window;
  state_.Exclude(vsClosing);
  if (viewer) RepaintViewer(viewer);
}

void TBarView::CloseDropDown() {
  HideChildPopups();
  if (isToolbar_) state_.Exclude(vsDropDownMenus);
}

void TBarView::ActivateSelected(bool GivePriority) {
  TBarItemViewer* viewer = selected_;
  if (!viewer || !viewer->Item()->Enabled()) {
    EndModal();
    return;
  }
  const TBarItemStyle style = viewer->Item()->ItemStyle();
  if (!style.Contains(tisSplitButton) && style.Contains(tisHasSubmenu)) {
    ShowChildPopup(true);
    return;
  }
  if (!style.Contains(tisSelectable)) {
    EndModal();
    return;
  }
  if (GivePriority)
    ExecuteWithPriority(viewer);
  else
    viewer->Execute();
}

// ---------------------------------------------------------------------------------------------------
// Moving the selection and scrolling

void TBarView::SelectNextViewer(bool Forward) {
  ValidatePositions();
  const int n = ViewerCount();
  const int start = IndexOf(selected_);
  for (int k = 1; k <= n; ++k) {
    const int i = start < 0 ? (Forward ? k - 1 : n - k) : ((start + (Forward ? k : -k)) % n + n) % n;
    TBarItemViewer* v = viewers_[static_cast<size_t>(i)];
    if (!Selectable(v)) continue;
    if (v != selected_) ChangeSelection(v, false);
    ScrollIntoView(v);
    return;
  }
}

void TBarView::SelectFirstOrLastViewer(bool First) {
  ValidatePositions();
  const int n = ViewerCount();
  for (int k = 0; k < n; ++k) {
    TBarItemViewer* v = viewers_[static_cast<size_t>(First ? k : n - 1 - k)];
    if (!Selectable(v)) continue;
    ChangeSelection(v, false);
    ScrollIntoView(v);
    return;
  }
}

void TBarView::ScrollIntoView(TBarItemViewer* Viewer) {
  if (!Viewer || !Viewer->OffEdge || IndexOf(Viewer) < 0) return;
  int delta = 0;
  if (Viewer->BoundsRect.Top < kScrollBand)
    delta = Viewer->BoundsRect.Top - kScrollBand;
  else if (Viewer->BoundsRect.Bottom > maxHeight_ - kScrollBand)
    delta = Viewer->BoundsRect.Bottom - (maxHeight_ - kScrollBand);
  if (delta == 0) return;
  SetScrollOffset(scrollOffset_ + delta);
  ValidatePositions();
}

void TBarView::ScrollStep(bool Up) {
  ValidatePositions();
  TBarItemViewer* nearest = nullptr;
  for (TBarItemViewer* v : viewers_) {
    if (!v->OffEdge) continue;
    if (Up && v->BoundsRect.Top < kScrollBand && (!nearest || v->BoundsRect.Top > nearest->BoundsRect.Top))
      nearest = v;
    if (!Up && v->BoundsRect.Bottom > maxHeight_ - kScrollBand &&
        (!nearest || v->BoundsRect.Bottom < nearest->BoundsRect.Bottom))
      nearest = v;
  }
  if (!nearest) return;
  const int delta =
      Up ? nearest->BoundsRect.Top - kScrollBand : nearest->BoundsRect.Bottom - (maxHeight_ - kScrollBand);
  SetScrollOffset(std::max(0, scrollOffset_ + delta));
  ValidatePositions();
}

// ---------------------------------------------------------------------------------------------------
// Timers

void TBarView::StartTimer(int Index, UINT Interval) {
  assert(Index >= 0 && Index < kMaxViewTimers);
  auto* window = dynamic_cast<TBarPopupWindow*>(window_);
  if (!window || !window->HandleAllocated()) return;
  StopTimer(Index);
  if (SetTimer(window->Handle(), kBarViewTimerBase + static_cast<unsigned>(Index), Interval, nullptr))
    timers_ |= 1u << Index;
}

void TBarView::StopTimer(int Index) {
  if (!TimerRunning(Index)) return;
  timers_ &= ~(1u << Index);
  if (window_ && window_->HandleAllocated())
    KillTimer(window_->Handle(), kBarViewTimerBase + static_cast<unsigned>(Index));
}

void TBarView::StopAllTimers() {
  for (int i = 0; i < kMaxViewTimers; ++i) StopTimer(i);
}

void TBarView::TimerAction(int Index) {
  switch (Index) {
    case 0:
      ShowChildPopup(false);
      break;
    case 1:
      HideChildPopups();
      break;
    case 2:
    case 3: {
      const bool up = Index == 2;
      if (up ? showUpArrow_ : showDownArrow_)
        ScrollStep(up);
      else
        StopTimer(Index);
      break;
    }
    default:
      StopTimer(Index);
      break;
  }
}

// ---------------------------------------------------------------------------------------------------
// Keyboard

void TBarView::KeyDown(WORD& Key, TShiftState Shift) {
  TBarView* R = nullptr;  // the nearest toolbar view, this one included
  for (TBarView* v = this; v; v = v->parentView_)
    if (v->isToolbar_) {
      R = v;
      break;
    }
  const bool rHorizontal = R && R->orientation_ != tbvoVertical;
  const WORD key = Key;
  switch (key) {
    case VK_LEFT:
    case VK_RIGHT:
      Key = 0;
      if (R == this && orientation_ == tbvoVertical) {
        ShowChildPopup(true);
      } else if (key == VK_LEFT) {
        if (rHorizontal && (R == this || R == parentView_))
          R->SelectNextViewer(false);
        else if (rHorizontal && parentView_)
          parentView_->HideChildPopups();
        else if (parentView_)
          parentView_->CloseDropDown();
      } else {
        const bool opened = R != this && ShowChildPopup(true);
        if ((!opened || R == this) && rHorizontal) R->SelectNextViewer(true);
      }
      return;
    case VK_UP:
    case VK_DOWN:
      Key = 0;
      if (R == this && orientation_ != tbvoVertical)
        ShowChildPopup(true);
      else
        SelectNextViewer(key == VK_DOWN);
      return;
    case VK_HOME:
    case VK_END:
      Key = 0;
      SelectFirstOrLastViewer(key == VK_HOME);
      return;
    case VK_TAB:
      Key = 0;
      SelectNextViewer(!Shift.Contains(ssShift));
      return;
    case VK_RETURN:
      Key = 0;
      ActivateSelected(true);
      return;
    case VK_ESCAPE:
      Key = 0;
      if (parentView_)
        parentView_->CloseDropDown();
      else
        EndModal();
      return;
    case VK_MENU:
    case VK_F10:
      Key = 0;
      EndModal();
      return;
    case VK_F1:
      Key = 0;
      for (TBarView* v = this; v; v = v->parentView_)
        if (v->selected_ && v->selected_->Item()->HelpContext() != 0) {
          EndModalWithHelp(v->selected_->Item()->HelpContext());
          return;
        }
      return;
    default:
      return;
  }
}

// ---------------------------------------------------------------------------------------------------
// Accelerators

TBarItemViewer* TBarView::FindViewerByAccel(char32_t Key, TBarItemViewer* StartViewer, bool ExplicitOnly,
                                            bool& Unique) {
  Unique = false;
  ValidatePositions();
  const int n = ViewerCount();
  if (Key == 0 || Key == ' ' || n == 0) return nullptr;
  const char32_t wanted = UnicodeLower(Key);
  // the accelerator character of a viewer in a pass: 0 explicit '&' marks, 1 first letters
  auto accelOf = [](TBarItemViewer* v, int pass) -> char32_t {
    const std::string caption = v->CaptionBeforeTab();
    const char32_t explicitChar = FindAccelChar(caption);
    if (pass == 0) return explicitChar;
    return explicitChar ? 0 : FirstCharacter(caption);
  };
  auto matches = [&](TBarItemViewer* v, int pass, bool enabled) {
    if (!Selectable(v) || !v->CaptionShown() || v->Item()->Enabled() != enabled) return false;
    const char32_t c = accelOf(v, pass);
    return c != 0 && c != ' ' && UnicodeLower(c) == wanted;
  };
  // the next matching viewer after From (wrapping, From itself last), -1 when none
  auto next = [&](int From, int pass, bool enabled) {
    for (int k = 1; k <= n; ++k) {
      const int i = From < 0 ? k - 1 : (From + k) % n;
      if (matches(viewers_[static_cast<size_t>(i)], pass, enabled)) return i;
    }
    return -1;
  };
  const int start = IndexOf(StartViewer);
  for (int pass = 0; pass < (ExplicitOnly ? 1 : 2); ++pass)
    for (const bool enabled : {true, false}) {
      const int found = next(start, pass, enabled);
      if (found < 0) continue;
      Unique = !enabled || next(found, pass, true) == found;
      return viewers_[static_cast<size_t>(found)];
    }
  return nullptr;
}

void TBarView::UpdateAccelVisibility(bool ByKeyboard) {
  const bool show = ByKeyboard || !style_.Contains(vsUseHiddenAccels) || AreKeyboardCuesEnabled();
  if (show == state_.Contains(vsShowAccels)) return;
  if (show)
    state_.Include(vsShowAccels);
  else
    state_.Exclude(vsShowAccels);
  if (!window_ || !window_->HandleAllocated() || !IsWindowVisible(window_->Handle())) return;
  for (TBarItemViewer* v : viewers_)
    if (FindAccelChar(v->CaptionBeforeTab()) != 0) RepaintViewer(v);
}

// ---------------------------------------------------------------------------------------------------
// The mouse on a viewer

void TBarItemViewer::MouseDown(TShiftState Shift, int X, int Y, bool& MouseDownOnMenu) {
  TBarView* view = view_;
  const bool rootToolbar = !view->ParentView() && !view->IsPopup();
  if (!item_->Enabled()) {
    if (rootToolbar) view->EndModal();
    return;
  }
  if (!PointInMainPart(X, Y)) {
    const bool wasOpen = view->OpenViewer() == this;
    view->ShowChildPopup(false);
    TBarView* opened = view->OpenView();
    if (!opened) return;
    if (rootToolbar && wasOpen) MouseDownOnMenu = true;
    if (Shift.Contains(ssDouble) && !item_->ItemStyle().Contains(tisSplitButton)) {
      // a double click carries out the opened popup's default item
      for (int i = 0; i < opened->ViewerCount(); ++i) {
        TBarItemViewer* v = opened->Viewers(i);
        TBarCustomItem* item = v->Item();
        if ((v->Show || v->OffEdge) && item->EffectiveOptions().Contains(tboDefault) &&
            item->ItemStyle().Contains(tisSelectable) && item->Enabled() && item->Visible()) {
          ExecuteWithPriority(v);
          return;
        }
      }
    }
    return;
  }
  if (IsToolbarStyle()) {
    view->CloseDropDown();
    view->SetSplitTracking(true);
    view->SetMouseCaptured(true);
    view->RepaintViewer(this);
  }
}

void TBarItemViewer::MouseUp(int X, int Y, bool MouseWasDownOnMenu) {
  TBarView* view = view_;
  const bool rootToolbar = !view->ParentView() && !view->IsPopup();
  const bool wasTracking = view->SplitTracking();
  view->SetSplitTracking(false);
  view->SetMouseCaptured(false);
  if (wasTracking) view->RepaintViewer(this);
  if (view->MouseOverSplit() && item_->Enabled() && !item_->ItemStyle().Contains(tisNoClick)) {
    if (item_->ItemStyle().Contains(tisHasSubmenu) && !PointInMainPart(X, Y)) {
      if (rootToolbar && MouseWasDownOnMenu) view->EndModal();
      return;
    }
    if (IsToolbarStyle() && !wasTracking) return;
    ExecuteWithPriority(this);
    return;
  }
  if (rootToolbar) view->EndModal();
}

// ---------------------------------------------------------------------------------------------------
// Entering the menu loop

void TBarView::RunMenuLoop(TBarMenuLoopOptions Options) {
  if (state_.Contains(vsModal)) return;
  assert(window_);
  auto handler = std::make_unique<TBarModalHandler>(window_->Handle());
  const bool accels = state_.Contains(vsShowAccels);
  state_ = TBarViewState();
  if (accels) state_.Include(vsShowAccels);
  state_.Include(vsModal);
  doneActionData_ = TBarDoneActionData();
  if (Options.Contains(mloKeyboardEntry)) UpdateAccelVisibility(true);
  if (selected_ && window_->HandleAllocated())
    BarNotifyWinEvent(EVENT_OBJECT_FOCUS, window_->Handle(), OBJID_CLIENT, AccChildId(selected_));

  auto leave = [&] {
    state_.Exclude(vsModal);
    StopAllTimers();
    CloseDropDown();
    mouseCaptured_ = false;
    splitTracking_ = false;
    handler.reset();
    UpdateAccelVisibility(false);
    ChangeSelection(nullptr, false);
  };
  // A handler of a message the loop dispatches may free this view (closing its form).
  bool gone = false;
  goneFlag_ = &gone;
  try {
    handler->Loop(this, Options, &gone);
  } catch (...) {
    if (gone) throw;
    goneFlag_ = nullptr;
    leave();
    doneActionData_ = TBarDoneActionData();
    throw;
  }
  if (gone) return;
  goneFlag_ = nullptr;
  leave();
  const TBarDoneActionData done = doneActionData_;
  doneActionData_ = TBarDoneActionData();
  ::DoneActionData(done);
}
