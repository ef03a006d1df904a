// The arrangement of a dock's windows in rows: sorting, own rows, wrapping, placement with gaps and
// pushes, shrinking of chevron and wrap windows, full-size and stretched windows.
#include <algorithm>
#include <cassert>
#include <numeric>

#include "toolbar/BarDock.h"

namespace {

// One visible window during the arrangement.
struct TArrangeRec {
  size_t Slot = 0;
  int Row = 0;
  int Gap = 0;
  int FullLength = 0;
  int MinLength = 0;
  int Given = 0;
  int Overlap = 0;
  int Pos = 0;
};

bool Shrinks(const TBarDockSlot& S, size_t RowSize) {
  return S.ShrinkMode == tbsmChevron || (S.ShrinkMode == tbsmWrap && RowSize >= 2);
}

// Every other window at Row or below moves one row down, so that Self's row is its own.
void TakeOwnRow(std::vector<TArrangeRec>& Recs, size_t Self) {
  const int Row = Recs[Self].Row;
  const bool Shared = std::any_of(Recs.begin(), Recs.end(),
                                  [&](const TArrangeRec& R) { return &R != &Recs[Self] && R.Row == Row; });
  if (!Shared) return;
  for (size_t I = 0; I < Recs.size(); ++I)
    if (I != Self && Recs[I].Row >= Row) ++Recs[I].Row;
}

}  // namespace

TBarDockArrangeResult ArrangeDockSlots(std::vector<TBarDockSlot>& Slots,
                                       const TBarDockArrangeParams& Params) {
  TBarDockArrangeResult Result;
  const size_t Count = Slots.size();
  const int Inner = std::max(Params.InnerLength, 0);
  assert(Params.Dragged < static_cast<int>(Count));
  if (Params.LimitToOneRow)
    for (TBarDockSlot& S : Slots) S.DockRow = 0;

  // Sorted by row, then position; a row-locked dragged window keeps its place in the list.
  Result.Order.resize(Count);
  std::iota(Result.Order.begin(), Result.Order.end(), size_t{0});
  std::stable_sort(Result.Order.begin(), Result.Order.end(), [&](size_t A, size_t B) {
    if (Slots[A].DockRow != Slots[B].DockRow) return Slots[A].DockRow < Slots[B].DockRow;
    return Slots[A].DockPos < Slots[B].DockPos;
  });
  if (Params.Dragged >= 0 && Params.RowLocked) {
    const size_t Dragged = static_cast<size_t>(Params.Dragged);
    Result.Order.erase(std::find(Result.Order.begin(), Result.Order.end(), Dragged));
    Result.Order.insert(Result.Order.begin() + static_cast<std::ptrdiff_t>(Dragged), Dragged);
  }

  std::vector<TArrangeRec> Recs;
  Recs.reserve(Count);
  for (size_t Index : Result.Order) {
    TBarDockSlot& S = Slots[Index];
    if (!S.Visible) {
      S.EffectiveRow = -1;
      continue;
    }
    TArrangeRec R;
    R.Slot = Index;
    R.Row = S.DockRow;
    Recs.push_back(R);
  }

  // Windows that ask for a row of their own (a drag's new row first, then full-size windows).
  if (!Params.LimitToOneRow)
    for (size_t I = 0; I < Recs.size(); ++I)
      if (Slots[Recs[I].Slot].NewRow) TakeOwnRow(Recs, I);
  for (size_t I = 0; I < Recs.size(); ++I)
    if (Slots[Recs[I].Slot].FullSize) TakeOwnRow(Recs, I);

  // Empty rows go: the rows are numbered 0, 1, 2... in their order.
  {
    std::vector<int> Rows;
    Rows.reserve(Recs.size());
    for (const TArrangeRec& R : Recs) Rows.push_back(R.Row);
    std::sort(Rows.begin(), Rows.end());
    Rows.erase(std::unique(Rows.begin(), Rows.end()), Rows.end());
    for (TArrangeRec& R : Recs)
      R.Row = static_cast<int>(std::lower_bound(Rows.begin(), Rows.end(), R.Row) - Rows.begin());
    Result.RowCount = static_cast<int>(Rows.size());
  }

  std::vector<TArrangeRec*> Row;
  Row.reserve(Recs.size());
  for (int RowIndex = 0; RowIndex < Result.RowCount; ++RowIndex) {
    Row.clear();
    for (TArrangeRec& R : Recs)
      if (R.Row == RowIndex) Row.push_back(&R);

    // Lengths; windows that do not fit even at their minimum move to a new row below.
    int Sum = 0;
    for (size_t I = 0; I < Row.size(); ++I) {
      TArrangeRec& R = *Row[I];
      const TBarDockSlot& S = Slots[R.Slot];
      R.FullLength = S.BaseLength + S.NonClientLength;
      R.MinLength = std::min(std::max(S.MinimumLength, 0), R.FullLength);
      R.Given = R.FullLength;
      Sum += S.ShrinkMode == tbsmChevron ? R.MinLength : R.FullLength;
      if (Sum > Inner && I > 0 && !Params.LimitToOneRow) {
        for (TArrangeRec& Below : Recs)
          if (Below.Row > RowIndex) ++Below.Row;
        for (size_t J = I; J < Row.size(); ++J) Row[J]->Row = RowIndex + 1;
        Row.resize(I);
        ++Result.RowCount;
        break;
      }
    }

    int Total = 0;
    for (const TArrangeRec* R : Row) Total += R->FullLength;
    const int Overflow = Total - Inner;

    // Placement: each window wants its DockPos, moved on by the pushes of the windows before it.
    int DraggedAt = -1;
    {
      int End = 0, Push = 0, MinSum = 0;
      for (size_t I = 0; I < Row.size(); ++I) {
        TArrangeRec& R = *Row[I];
        const TBarDockSlot& S = Slots[R.Slot];
        if (static_cast<int>(R.Slot) == Params.Dragged) DraggedAt = static_cast<int>(I);
        int Wanted = I == 0 && (S.FullSize || S.Stretch) ? 0 : S.DockPos + Push;
        Wanted = std::max(Wanted, MinSum);
        if (Wanted > End) {
          if (Overflow < 1)
            R.Gap = Wanted - End;
          else
            Push += Wanted - End;
        } else if (Wanted < End) {
          R.Overlap = End - Wanted;
        }
        End += R.Gap + R.Given;
        MinSum += R.MinLength;
      }
    }

    // A dragged window in a row with room moves the windows before it out of its way; the windows
    // after it keep their places.
    if (DraggedAt >= 0 && Overflow < 1) {
      TArrangeRec& D = *Row[static_cast<size_t>(DraggedAt)];
      int Taken = 0;
      for (int J = DraggedAt; J >= 0 && Taken < D.Overlap; --J) {
        TArrangeRec& R = *Row[static_cast<size_t>(J)];
        const int T = std::min(R.Gap, D.Overlap - Taken);
        R.Gap -= T;
        Taken += T;
      }
      D.Overlap -= Taken;
      if (static_cast<size_t>(DraggedAt) + 1 < Row.size())
        Row[static_cast<size_t>(DraggedAt) + 1]->Gap += Taken;
    }
    {
      int Used = 0;
      for (const TArrangeRec* R : Row) Used += R->Gap + R->Given;
      for (size_t J = Row.size(); J-- > 0 && Used > Inner;) {
        const int T = std::min(Row[J]->Gap, Used - Inner);
        Row[J]->Gap -= T;
        Used -= T;
      }
    }

    if (Overflow >= 1) {
      // Overlaps are taken from the chevron windows before the overlapping one.
      int Asked = 0;
      for (size_t I = 0; I < Row.size() && Asked < Overflow; ++I) {
        int Amount = std::min(Row[I]->Overlap, Overflow - Asked);
        Asked += Amount;
        for (size_t J = I; J-- > 0 && Amount > 0;) {
          TArrangeRec& R = *Row[J];
          if (static_cast<int>(R.Slot) == Params.Dragged) break;
          if (Slots[R.Slot].ShrinkMode != tbsmChevron) continue;
          const int T = std::min(Amount, R.Given - R.MinLength);
          R.Given -= T;
          Amount -= T;
        }
      }
      if (Row.size() > 1 && DraggedAt >= 0) Result.Crowded = true;

      // Still too long: the last windows that can shrink give up length.
      int Used = 0;
      for (const TArrangeRec* R : Row) Used += R->Gap + R->Given;
      for (size_t J = Row.size(); J-- > 0 && Used > Inner;) {
        TArrangeRec& R = *Row[J];
        if (!Shrinks(Slots[R.Slot], Row.size())) continue;
        const int T = std::min(R.Given - R.MinLength, Used - Inner);
        R.Given -= T;
        Used -= T;
      }
    }

    // Final lengths and positions.
    int Pos = 0;
    for (size_t I = 0; I < Row.size(); ++I) {
      TArrangeRec& R = *Row[I];
      const TBarDockSlot& S = Slots[R.Slot];
      if (S.FullSize || S.Stretch) {
        R.Given += R.Gap;
        R.Gap = 0;
      }
      if (S.FullSize) R.Given = std::max(R.Given, Inner);
      if (S.Stretch) {
        if (I + 1 < Row.size()) {
          R.Given += Row[I + 1]->Gap;
          Row[I + 1]->Gap = 0;
        } else {
          R.Given = std::max(R.Given, Inner - Pos);
        }
      }
      Pos += R.Gap;
      R.Pos = Pos;
      Pos += R.Given;
    }
  }

  for (const TArrangeRec& R : Recs) {
    TBarDockSlot& S = Slots[R.Slot];
    S.EffectiveRow = R.Row;
    S.EffectivePos = R.Pos;
    S.Length = R.Given;
    S.GivenLength = R.Given == R.FullLength ? 0 : R.Given;
  }
  return Result;
}
