#include "grid/DBGridExDataService.h"

#include "grid/DBGridEx.h"
#include "platform/rtl/Lifetime.h"

void TDBGridExDataService::ApplySorting(TCustomDBGridEx* Grid) {
  if (ApplySortingHook) {
    InvokeEvent(ApplySortingHook, Grid);
  } else {
    DoApplySorting(Grid);
  }
}

void TDBGridExDataService::ApplyFilter(TCustomDBGridEx* Grid) {
  if (ApplyFilterHook) {
    InvokeEvent(ApplyFilterHook, Grid);
  } else {
    DoApplyFilter(Grid);
  }
}

void TDBGridExDataService::DoApplySorting(TCustomDBGridEx* /*Grid*/) {}

void TDBGridExDataService::DoApplyFilter(TCustomDBGridEx* /*Grid*/) {}

TDBGridExDataService* DBGridExDataService() {
  static TDBGridExDataService service;
  return &service;
}
