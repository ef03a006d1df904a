// Opening a submenu: creating the popup window of an item's children, placing it on the monitor of
// its parent, and showing it with the popup sound.
#include <algorithm>
#include <memory>

#include "toolbar/BarPopup.h"
#include "toolbar/BarUtils.h"

namespace {

constexpr int kNestedOverlap = 3;  // a nested popup covers its parent's frame by this much
constexpr int kPopupFrames = 2 * kBarPopupFrame;

bool Overlaps(const TRect& A, const TRect& B) {
  TRect i;
  return IntersectRect(i, A, B);
}

// How many of the parent view's viewers lie wholly inside the popup rectangle P.
int CoveredViewers(const std::vector<TRect>& Viewers, const TRect& P) {
  return static_cast<int>(std::count_if(Viewers.begin(), Viewers.end(), [&](const TRect& v) {
    return v.Left >= P.Left && v.Top >= P.Top && v.Right <= P.Right && v.Bottom <= P.Bottom;
  }));
}

bool PlayedPopupSoundBefore = false;

}  // namespace

TBarPopupPlacement CalcPopupPlacement(const TBarPopupPlacementInput& In) {
  const TRect& R = In.R;
  const TRect& M = In.M;
  const int W = In.W, H = In.H;
  TBarPopupPlacement out;
  int x = 0, y = 0;

  // The position the popup would take if everything fitted.
  if (!In.HasParentView) {
    x = R.Left;
    y = R.Top;
    if (In.Alignment == tbpaRight) x -= W;
    if (In.Alignment == tbpaCenter) x -= W / 2;
  } else if (In.Nested) {
    y = R.Top - kNestedOverlap;
  } else if (In.Chevron) {
    if (In.ParentVertical) {
      x = R.Left - W;
      y = R.Top;
    } else {
      x = R.Right - W;
      y = R.Bottom;
    }
  } else if (In.ParentVertical) {
    x = R.Left - W;
    y = R.Top;
  } else {
    y = R.Bottom;
    x = In.MenuDropRight ? R.Right - W : R.Left;
  }

  // Vertical fit: flip above only where the popup then fits.
  if (y + H > M.Bottom && !(In.HasParentView && In.ParentVertical)) {
    const int above = (In.Nested ? R.Bottom + kNestedOverlap : R.Top) - H;
    if (above >= M.Top) y = above;
  }
  y = std::max(std::min(y, M.Bottom - H), M.Top);

  // Horizontal fit.
  if (!In.Nested) {
    if (!In.HasParentView && In.Alignment == tbpaRight && x < M.Left) x += W;
    if (x + W > M.Right) {
      if (In.HasParentView || In.Alignment != tbpaLeft)
        x = M.Right - W;
      else
        x -= W;
    }
    x = std::max(x, M.Left);
  }

  // A drop-down keeps off its own button and covers as few of its toolbar's buttons as it can.
  if (In.HasParentView && !In.Nested) {
    if (!In.ParentVertical) {
      if (R.Top - H >= M.Top) {
        const TRect here = Bounds(x, y, W, H), above = Bounds(x, R.Top - H, W, H);
        if (CoveredViewers(In.ParentViewers, above) < CoveredViewers(In.ParentViewers, here) ||
            Overlaps(here, R))
          y = R.Top - H;
      }
      if (Overlaps(Bounds(x, y, W, H), R)) {
        x = R.Right + W > M.Right ? R.Left - W : R.Right;
        x = std::max(x, M.Left);
      }
    } else {
      if (R.Right + W <= M.Right) {
        const TRect here = Bounds(x, y, W, H), beside = Bounds(R.Right, y, W, H);
        if (CoveredViewers(In.ParentViewers, beside) < CoveredViewers(In.ParentViewers, here) ||
            Overlaps(here, R))
          x = R.Right;
      }
      if (Overlaps(Bounds(x, y, W, H), R)) {
        y = R.Bottom + H > M.Bottom ? R.Top - H : R.Bottom;
        y = std::max(y, M.Top);
      }
    }
  }

  // A nested popup opens on the side its parent opened to, and turns at the monitor's edge.
  if (In.Nested) {
    const int right = R.Right - kNestedOverlap;
    const int left = R.Left + kNestedOverlap - W;
    x = right;
    if (In.ParentOpensLeft || right + W > M.Right) {
      x = left;
      out.OpensLeft = true;
      if (In.ParentOpensLeft && x < M.Left && right + W <= M.Right) {
        x = right;
        out.OpensLeft = false;
      }
    }
    x = std::max(x, M.Left);
  }

  // The direction the popup slides in from.
  if (In.Nested) {
    out.Direction = x + W / 2 < R.Left + R.Width() / 2 ? 1 : 2;
  } else {
    if (y >= R.Bottom)
      out.Direction |= 4;
    else if (y + H <= R.Top)
      out.Direction |= 8;
    if (x >= R.Right)
      out.Direction |= 2;
    else if (x + W <= R.Left)
      out.Direction |= 1;
  }
  out.X = x;
  out.Y = y;
  return out;
}

TBarPopupWindowClass TBarCustomItem::PopupWindowClass() {
  return &TBarPopupWindow::Create;
}

TBarPopupWindow* TBarCustomItem::BuildSubmenuPopup(TBarView* ParentView, TBarItemViewer* ParentViewer,
                                                   bool PositionAsSubmenu, bool SelectFirstItem,
                                                   bool Customizing, TPoint PopupPoint,
                                                   TBarPopupAlignment Alignment) {
  // 1. the handlers may still fill or change the children
  if (linkSubitems_) linkSubitems_->FirePopup(this, true);
  FirePopup(this, false);

  // 2, 3. the window, for this item or for the toolbar a chevron stands for
  TBarView* chevronSource = ChevronSourceView();
  TBarCustomItem* shown = chevronSource ? chevronSource->ParentItem() : this;
  std::unique_ptr<TBarPopupWindow> window(PopupWindowClass()(nullptr, ParentView, shown, Customizing));
  TBarPopupView* view = window->View();
  if (chevronSource) {
    // the buttons that did not fit show as the toolbar's buttons, with its hints
    view->SetChevronParentView(chevronSource);
    view->SetToolbarStyle(true);
    TBarViewStyle style = view->Style();
    if (chevronSource->Style().Contains(vsAlwaysShowHints)) style.Include(vsAlwaysShowHints);
    view->SetStyle(style);
    window->SetColor(clBtnFace);
  }

  // 4. the reference rectangle and the monitor
  TRect R, M;
  if (!ParentView) {
    R = Rect(PopupPoint.X, PopupPoint.Y, PopupPoint.X, PopupPoint.Y);
    GetRectOfMonitorContainingPoint(PopupPoint, false, M);
  } else {
    ParentView->ValidatePositions();
    R = ParentViewer->BoundsRect;
    const TPoint origin = ParentView->Window()->ClientOrigin();
    OffsetRect(R, origin.X, origin.Y);
    if (!ParentView->MonitorRect.IsEmpty())
      M = ParentView->MonitorRect;
    else
      GetRectOfMonitorContainingRect(R, false, M);
  }
  view->MonitorRect = M;

  // 5. limits
  if (chevronSource)
    view->SetWrapOffset(M.Width() - kPopupFrames);
  else
    view->SetMaxHeight(M.Height() - kPopupFrames);

  // 6. the first item
  if (SelectFirstItem) view->SelectFirstOrLastViewer(true);

  // 7. the layout gives the window its size
  view->ValidatePositions();
  const TPoint base = view->GetBaseSize();
  const int W = base.X + kPopupFrames, H = base.Y + kPopupFrames;

  // 8, 9. the position and the slide direction
  TBarPopupPlacementInput in;
  in.R = R;
  in.M = M;
  in.W = W;
  in.H = H;
  in.HasParentView = ParentView != nullptr;
  in.Nested = ParentView && PositionAsSubmenu;
  in.ParentVertical = ParentView && ParentView->Orientation() == tbvoVertical;
  in.Chevron = chevronSource != nullptr;
  in.MenuDropRight = GetSystemMetrics(SM_MENUDROPALIGNMENT) != 0;
  in.Alignment = Alignment;
  in.ParentOpensLeft = ParentView && ParentView->State().Contains(vsOppositePopup);
  if (ParentView) {
    const TPoint origin = ParentView->Window()->ClientOrigin();
    for (int i = 0; i < ParentView->ViewerCount(); ++i) {
      const TBarItemViewer* v = ParentView->Viewers(i);
      if (!v->Show) continue;
      TRect r = v->BoundsRect;
      OffsetRect(r, origin.X, origin.Y);
      in.ParentViewers.push_back(r);
    }
  }
  const TBarPopupPlacement place = CalcPopupPlacement(in);
  if (place.OpensLeft) view->SetState(view->State() + vsOppositePopup);
  window->SetAnimationDirection(place.Direction);

  // 10. bounds
  window->SetBounds(place.X, place.Y, W, H);

  // 11. the parent view keeps the popup as its open one
  TBarPopupWindow* result = window.get();
  if (ParentView) {
    ParentView->SetOpenPopup(ParentViewer, view, window.release());
    if (ParentView->IsToolbar()) {
      ParentView->SetState(ParentView->State() + vsDropDownMenus);
      ParentView->RepaintViewer(ParentViewer);
      if (ParentView->Window()->HandleAllocated()) UpdateWindow(ParentView->Window()->Handle());
    }
  } else {
    static_cast<void>(window.release());  // without a parent view the caller owns the window returned
  }

  // 12, 13. shown, with the popup sound where the scheme has one
  view->SetState(view->State() + vsShowing);
  if (NeedToPlaySound("MenuPopup")) {
    if (!PlayedPopupSoundBefore) {
      // the first popup of the process shows before the sound, which may take long to load
      result->Show();
      result->Update();
      PlayMenuSound("MenuPopup");
      PlayedPopupSoundBefore = true;
    } else {
      PlayMenuSound("MenuPopup");
      result->Show();
    }
  } else {
    result->Show();
  }

  // 14. accessibility clients learn of the popup
  if (result->HandleAllocated())
    BarNotifyWinEvent(EVENT_SYSTEM_MENUPOPUPSTART, result->Handle(), OBJID_CLIENT, CHILDID_SELF);
  return result;
}
