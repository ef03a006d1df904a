// Docks: the bars along the edges of a form that hold dockable windows (toolbars, the menu bar) in
// rows, and the arrangement that decides each docked window's row, position and length.
#pragma once

#include <cstddef>
#include <vector>

enum TBarDockPosition { dpTop, dpBottom, dpLeft, dpRight };

// How a docked window gives up length when its row is too short.
enum TBarShrinkMode { tbsmNone, tbsmWrap, tbsmChevron };

// What the arrangement of a dock knows of one window of its dock list, and what it gives back. The
// dock fills one slot per window from the window (its virtual size operations) and writes the results
// back; the arrangement itself touches no window, so it can be driven and measured on its own.
struct TBarDockSlot {
  // ---- given ----
  int DockRow = 0;
  int DockPos = -1;
  bool Visible = true;      // docked and showing on this dock
  int BaseLength = 0;       // base size along the row
  int NonClientLength = 0;  // docked non-client size along the row
  int MinimumLength = 0;    // minimum row size (0: none)
  TBarShrinkMode ShrinkMode = tbsmNone;
  bool FullSize = false;
  bool Stretch = false;
  bool NewRow = false;  // a drag asks for a row of its own

  // ---- results ----
  int EffectiveRow = -1;  // -1 when not visible here
  int EffectivePos = 0;
  int GivenLength = 0;  // 0 when the window gets its full length
  int Length = 0;       // the length along the row it is placed with
};

// The dock's side of one arrangement.
struct TBarDockArrangeParams {
  int InnerLength = 0;  // the dock's length along its rows less its non-client length, not below 0
  bool LimitToOneRow = false;
  bool RowLocked = false;  // the dragged window keeps its row and its place in the list
  int Dragged = -1;        // index of the dragged window in the slots, -1 when none
};

struct TBarDockArrangeResult {
  // Indices of the slots in their sorted order (by DockRow, then DockPos): the order the dock list
  // takes when positions are committed.
  std::vector<size_t> Order;
  int RowCount = 0;
  // The dragged window shares an overflowing row with other windows.
  bool Crowded = false;
};

// Decides rows, positions and lengths of the visible slots (steps up to the stored results of the
// dock's arrangement). With LimitToOneRow every slot's DockRow becomes 0.
TBarDockArrangeResult ArrangeDockSlots(std::vector<TBarDockSlot>& Slots, const TBarDockArrangeParams& Params);

// Rows thickness: the largest thickness across of the row's windows plus 4, 0 for an empty row.
constexpr int DockRowExtraThickness = 4;
