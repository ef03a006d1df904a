// Views: the layout of the viewers (separators, same-width groups, chevron clipping, row wrapping,
// mirroring of vertical layouts and scrolling of tall popups).
#include <algorithm>

#include "platform/rtl/ScopeExit.h"
#include "toolbar/BarItem.h"
#include "toolbar/BarUtils.h"

namespace {

constexpr int kLineBreakSize = 6;       // a separator that ends a row, across the rows
constexpr int kScrollArrowHeight = 19;  // the scroll bands of a tall popup

struct Scratch {
  TRect bounds;
  bool show = false;
  bool clipped = false;
  bool lineBreak = false;
  bool offEdge = false;
  bool sameWidth = false;
};

bool IsSeparator(const TBarItemViewer* V) {
  return V->Item()->ItemStyle().Contains(tisSeparator);
}

// Hides separators that lead or follow another shown separator (and, with Trailing, those that end
// the row); answers the length (along the orientation) of what it hid.
int CollapseSeparators(const std::vector<TBarItemViewer*>& Viewers, std::vector<Scratch>& S, bool Vertical,
                       bool Trailing) {
  int hidden = 0;
  auto length = [&](size_t i) { return Vertical ? S[i].bounds.Height() : S[i].bounds.Width(); };
  bool previousIsSeparator = true;  // nothing shown yet counts as a separator
  for (size_t i = 0; i < Viewers.size(); ++i) {
    if (!S[i].show) continue;
    const bool separator = IsSeparator(Viewers[i]);
    if (separator && previousIsSeparator) {
      S[i].show = false;
      hidden += length(i);
      continue;
    }
    previousIsSeparator = separator;
  }
  if (Trailing)
    for (size_t i = Viewers.size(); i-- > 0;) {
      if (!S[i].show) continue;
      if (!IsSeparator(Viewers[i])) break;
      S[i].show = false;
      hidden += length(i);
    }
  return hidden;
}

}  // namespace

TBarView::LayoutResult TBarView::CalculatePositions(bool CanMove, TBarViewOrientation AOrientation,
                                                    int ChevronSize, int MaximumLength, int WrapOffset) {
  LayoutResult result;
  const TBarViewOrientation savedOrientation = orientation_;
  orientation_ = AOrientation;
  TScopeExit restore([this, savedOrientation] { orientation_ = savedOrientation; });

  const bool vertical = AOrientation == tbvoVertical;
  const size_t n = viewers_.size();
  std::vector<Scratch> s(n);
  TBarCustomItem* chevron = ChevronItem();
  auto along = [&](const TRect& r) { return vertical ? r.Height() : r.Width(); };
  auto across = [&](const TRect& r) { return vertical ? r.Width() : r.Height(); };

  // 1. which viewers show
  for (size_t i = 0; i < n; ++i) {
    TBarItemViewer* v = viewers_[i];
    TBarCustomItem* item = v->Item();
    if (chevron && item == chevron) continue;
    if (chevronParentView_) {
      const int j = static_cast<int>(i) - leadingCount_ + chevronParentView_->leadingCount_;
      const bool clippedThere =
          j >= 0 && j < chevronParentView_->ViewerCount() && chevronParentView_->Viewers(j)->Clipped;
      if (!clippedThere && !IsSeparator(v)) continue;
    }
    if (auto* ci = dynamic_cast<TBarControlItem*>(item)) {
      TControl* c = ci->Control();
      s[i].show = c && window_ && c->Parent() == window_ &&
                  (c->Visible() || c->ComponentState().Contains(csDesigning));
    } else {
      s[i].show = item->Visible();
    }
  }
  CollapseSeparators(viewers_, s, vertical, false);
  // 2. trailing separators
  CollapseSeparators(viewers_, s, vertical, true);

  // 3. measuring
  TCanvas* canvas = MeasureCanvas();
  TFont* font = GetFont();
  canvas->Font()->Assign(font);
  const bool fontBold = font->Style().Contains(fsBold);
  bool canvasBold = fontBold;
  int sameWidth = 0;
  for (size_t i = 0; i < n; ++i) {
    if (!s[i].show) continue;
    TBarItemViewer* v = viewers_[i];
    int w = 0, h = 0;
    if (auto* ci = dynamic_cast<TBarControlItem*>(v->Item())) {
      w = ci->Control()->Width();
      h = ci->Control()->Height();
    } else {
      const bool bold = fontBold || v->Item()->EffectiveOptions().Contains(tboDefault);
      if (bold != canvasBold) {
        canvas->Font()->SetStyle(bold ? font->Style() + fsBold : font->Style());
        canvasBold = bold;
      }
      SelectCanvasFont(canvas);
      v->MeasureItem(canvas, w, h);
      if (v->SharesGroupWidth()) {
        s[i].sameWidth = true;
        sameWidth = std::max(sameWidth, w);
      }
    }
    s[i].bounds = Rect(0, 0, w, h);
  }
  for (size_t i = 0; i < n; ++i)
    if (s[i].show && s[i].sameWidth) s[i].bounds.Right = sameWidth;

  // 4. the total length
  int total = 0;
  for (size_t i = 0; i < n; ++i)
    if (s[i].show) total += along(s[i].bounds);
  result.TotalSize = total;

  // 5. chevron clipping, lowest priority first; one item may stay
  bool clipping = false;
  bool chevronEnabled = false;
  if (chevron && MaximumLength >= 1 && total > MaximumLength) {
    const int limit = MaximumLength - ChevronSize;
    auto shownNonSeparators = [&] {
      int c = 0;
      for (size_t i = 0; i < n; ++i) c += s[i].show && !IsSeparator(viewers_[i]);
      return c;
    };
    while (total > limit && shownNonSeparators() >= 2) {
      size_t last = n;
      for (size_t i = n; i-- > 0;)
        if (s[i].show) {
          last = i;
          break;
        }
      if (last < n && IsSeparator(viewers_[last])) {
        s[last].show = false;
        total -= along(s[last].bounds);
      } else {
        size_t victim = n;
        if (usePriorityList_) {
          for (size_t k = priorityList_.size(); k-- > 0;) {
            size_t i = static_cast<size_t>(IndexOf(priorityList_[k]));
            if (i < n && s[i].show && !IsSeparator(viewers_[i])) {
              victim = i;
              break;
            }
          }
        } else {
          for (size_t i = n; i-- > 0;)
            if (s[i].show && !IsSeparator(viewers_[i])) {
              victim = i;
              break;
            }
        }
        if (victim == n) break;
        s[victim].show = false;
        s[victim].clipped = true;
        total -= along(s[victim].bounds);
        if (!dynamic_cast<TBarControlItem*>(viewers_[victim]->Item())) chevronEnabled = true;
      }
      clipping = true;
      total -= CollapseSeparators(viewers_, s, vertical, false);
    }
  }

  // 6. trailing separators again, and the cross size
  CollapseSeparators(viewers_, s, vertical, true);
  int crossSize = 0;
  for (size_t i = 0; i < n; ++i)
    if (s[i].show) crossSize = std::max(crossSize, across(s[i].bounds));
  // a toolbar's rows are at least as thick as its owner asks (the rows it shares a dock row with)
  if (isToolbar_) crossSize = std::max(crossSize, vertical ? minimumSize_.X : minimumSize_.Y);

  // 7. placing, in rows that wrap at WrapOffset
  TRect margins;
  LayoutMargins(AOrientation, margins);
  const int marginAlong = vertical ? margins.Top : margins.Left;
  const int marginAcross = vertical ? margins.Left : margins.Top;
  auto place = [&](Scratch& sc, int a, int c) {
    const int w = sc.bounds.Width(), h = sc.bounds.Height();
    sc.bounds = vertical ? Bounds(c, a, w, h) : Bounds(a, c, w, h);
  };
  int posAlong = marginAlong;
  int posAcross = marginAcross;
  int rowThickness = 0;
  bool rowHasItems = false;
  bool brokeInsideGroup = false;
  bool wrapped = false;
  std::vector<size_t> row;
  int belowAll = marginAcross;  // popups: below everything placed so far

  auto finishRow = [&] {
    if (isToolbar_) {
      for (size_t i : row) {
        Scratch& sc = s[i];
        const int thickness = across(sc.bounds);
        if (IsSeparator(viewers_[i]) && !sc.lineBreak) {
          if (vertical)
            sc.bounds = Rect(posAcross, sc.bounds.Top, posAcross + rowThickness, sc.bounds.Bottom);
          else
            sc.bounds = Rect(sc.bounds.Left, posAcross, sc.bounds.Right, posAcross + rowThickness);
        } else {
          const int shift = (rowThickness - thickness) / 2;
          if (vertical)
            OffsetRect(sc.bounds, shift, 0);
          else
            OffsetRect(sc.bounds, 0, shift);
        }
      }
    }
    row.clear();
  };
  auto newRow = [&](int gap) {
    finishRow();
    posAcross += rowThickness + gap;
    belowAll = std::max(belowAll, posAcross);
    posAlong = marginAlong;
    rowThickness = 0;
    rowHasItems = false;
    wrapped = true;
  };

  bool previousToolbarSized = false;
  for (size_t i = 0; i < n; ++i) {
    if (!s[i].show) continue;
    TBarItemViewer* v = viewers_[i];
    Scratch& sc = s[i];
    const bool separator = IsSeparator(v);
    const bool rowSized = isToolbar_ || v->IsToolbarSize();
    if (!rowSized) {
      // A menu line of its own, below everything placed so far.
      if (rowHasItems || previousToolbarSized) newRow(0);
      posAcross = belowAll;
      place(sc, marginAlong, posAcross);
      posAcross += across(sc.bounds);
      belowAll = posAcross;
      previousToolbarSized = false;
      continue;
    }
    if (!previousToolbarSized && !isToolbar_ && belowAll > posAcross) posAcross = belowAll;
    previousToolbarSized = true;
    if (WrapOffset >= 1 && rowHasItems) {
      if (separator) {
        int group = 0;
        for (size_t k = i + 1; k < n; ++k) {
          if (!s[k].show) continue;
          if (IsSeparator(viewers_[k])) break;
          group += along(s[k].bounds);
        }
        if (posAlong + along(sc.bounds) + group > WrapOffset || brokeInsideGroup) {
          sc.lineBreak = true;
          brokeInsideGroup = false;
          finishRow();
          posAcross += rowThickness;
          sc.bounds =
              vertical ? Bounds(posAcross, 0, kLineBreakSize, 0) : Bounds(0, posAcross, 0, kLineBreakSize);
          posAcross += kLineBreakSize;
          belowAll = std::max(belowAll, posAcross);
          posAlong = marginAlong;
          rowThickness = 0;
          rowHasItems = false;
          wrapped = true;
          continue;
        }
      } else if (posAlong + along(sc.bounds) > WrapOffset) {
        newRow(0);
        brokeInsideGroup = true;
      }
    }
    if (separator) brokeInsideGroup = false;
    place(sc, posAlong, posAcross);
    posAlong += along(sc.bounds);
    rowThickness = std::max(rowThickness, isToolbar_ ? crossSize : across(sc.bounds));
    rowHasItems = true;
    row.push_back(i);
  }
  finishRow();

  // 8. menus: lines take the full width
  int extentRight = 0, extentBottom = 0;
  for (size_t i = 0; i < n; ++i)
    if (s[i].show) {
      extentRight = std::max(extentRight, s[i].bounds.Right);
      extentBottom = std::max(extentBottom, s[i].bounds.Bottom);
    }
  if (!isToolbar_)
    for (size_t i = 0; i < n; ++i)
      if (s[i].show && !viewers_[i]->IsToolbarSize()) s[i].bounds.Right = extentRight;
  if (wrapped && !chevronParentView_) {
    if (vertical)
      extentBottom = std::max(extentBottom, WrapOffset);
    else
      extentRight = std::max(extentRight, WrapOffset);
  }

  // 9. the base size; vertical layouts run their columns from right to left
  TPoint base(extentRight + margins.Right, extentBottom + margins.Bottom);
  if (isToolbar_) {
    if (vertical)
      base.Y = std::max(base.Y, minimumSize_.Y);
    else
      base.X = std::max(base.X, minimumSize_.X);
  }
  if (vertical)
    for (size_t i = 0; i < n; ++i)
      if (s[i].show || s[i].lineBreak) {
        TRect& b = s[i].bounds;
        b = Rect(base.X - b.Right, b.Top, base.X - b.Left, b.Bottom);
      }

  // 10. popups taller than their maximum height scroll between two arrow bands
  if (maxHeight_ >= 1 && maxHeight_ < base.Y) {
    scrollOffset_ = std::max(0, std::min(scrollOffset_, base.Y - maxHeight_));
    showUpArrow_ = scrollOffset_ > 0;
    showDownArrow_ = scrollOffset_ < base.Y - maxHeight_;
    for (size_t i = 0; i < n; ++i) {
      OffsetRect(s[i].bounds, 0, -scrollOffset_);
      if (!s[i].show) continue;
      if ((showUpArrow_ && s[i].bounds.Top < kScrollArrowHeight) ||
          (showDownArrow_ && s[i].bounds.Bottom > maxHeight_ - kScrollArrowHeight)) {
        s[i].show = false;
        s[i].offEdge = true;
      }
    }
    base.Y = maxHeight_;
  } else {
    scrollOffset_ = 0;
    showUpArrow_ = showDownArrow_ = false;
  }
  result.BaseSize = base;
  result.RowCount = 1;
  for (size_t i = 0; i < n; ++i) result.RowCount += s[i].lineBreak;

  // 11. moving controls and the chevron, and taking the result
  if (!CanMove) return result;
  for (size_t i = 0; i < n; ++i) {
    auto* ci = dynamic_cast<TBarControlItem*>(viewers_[i]->Item());
    if (!ci || !ci->Control()) continue;
    TControl* c = ci->Control();
    if (s[i].show) {
      c->SetBoundsRect(s[i].bounds);
      if (!c->Visible()) c->Show();
    } else if (s[i].clipped) {
      c->SetBounds(-c->Width() - 10000, -c->Height() - 10000, c->Width(), c->Height());
    }
  }
  if (isToolbar_)
    for (size_t i = 0; i < n; ++i)
      if (s[i].lineBreak) {
        s[i].show = true;
        TRect& b = s[i].bounds;
        b = vertical ? Rect(b.Left, 0, b.Right, base.Y) : Rect(0, b.Top, base.X, b.Bottom);
      }
  if (clipping && chevron) {
    chevron->SetEnabled(chevronEnabled);
    TBarItemViewer* cv = n ? viewers_.back() : nullptr;
    if (cv && cv->Item() == chevron) {
      Scratch& sc = s[n - 1];
      sc.show = true;
      const int at = std::max(MaximumLength - ChevronSize, vertical ? base.Y : base.X);
      sc.bounds = vertical ? Bounds(0, at, crossSize, ChevronSize) : Bounds(at, 0, ChevronSize, crossSize);
    }
  }
  for (size_t i = 0; i < n; ++i) {
    TBarItemViewer* v = viewers_[i];
    const Scratch& sc = s[i];
    if (v->BoundsRect != sc.bounds || v->Show != sc.show || v->LineBreak != sc.lineBreak)
      result.Changed = true;
    v->BoundsRect = sc.bounds;
    v->Show = sc.show;
    v->Clipped = sc.clipped;
    v->LineBreak = sc.lineBreak;
    v->OffEdge = sc.offEdge;
  }
  return result;
}
