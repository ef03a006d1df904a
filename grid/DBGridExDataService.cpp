#include "grid/DBGridExDataService.h"

#include <memory>

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

namespace {

std::unique_ptr<TDBGridExDataService>& Service() {
  static std::unique_ptr<TDBGridExDataService> service;
  return service;
}

}  // namespace

TDBGridExDataService* DBGridExDataService() {
  if (!Service()) Service() = std::make_unique<TDBGridExDataService>();
  return Service().get();
}

void FreeDBGridExDataService() {
  Service().reset();
}
