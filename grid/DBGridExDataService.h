// The one service through which every grid applies its sorting and its filter row to its dataset.
// An application can take either over through a hook; otherwise the dataset features registered for
// the dataset's class do the work.
#pragma once

#include <functional>

#include "platform/rtl/Classes.h"

class TCustomDBGridEx;

using TDBGridExDataServiceHook = std::function<void(TCustomDBGridEx* Grid)>;

class TDBGridExDataService : public TPersistent {
  TALVIK_CLASS(TDBGridExDataService, TPersistent)
  TDBGridExDataService() = default;

  // The sorting hook when set, else DoApplySorting.
  void ApplySorting(TCustomDBGridEx* Grid);
  // The filter hook when set, else DoApplyFilter.
  void ApplyFilter(TCustomDBGridEx* Grid);
  virtual void DoApplySorting(TCustomDBGridEx* Grid);
  virtual void DoApplyFilter(TCustomDBGridEx* Grid);

  TDBGridExDataServiceHook ApplySortingHook;
  TDBGridExDataServiceHook ApplyFilterHook;
};

// The process-wide service (made by the grid unit's start-up, or at the first use).
TDBGridExDataService* DBGridExDataService();
// Frees the service (the grid unit's shut-down).
void FreeDBGridExDataService();
