#include "grid/DBGridExDataService.h"

#include <memory>

#include "grid/DBGridEx.h"
#include "grid/DatasetFeatures.h"
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

namespace {

// The features registered for the grid's dataset (its class or the nearest ancestor), or nullptr.
TDatasetFeaturesEx* FeaturesOf(TCustomDBGridEx* Grid, TDataSet*& DataSet) {
  DataSet = Grid && Grid->DataSource() ? Grid->DataSource()->DataSet() : nullptr;
  return DataSet ? GetDatasetFeaturesForDataSet(DataSet) : nullptr;
}

}  // namespace

void TDBGridExDataService::DoApplySorting(TCustomDBGridEx* Grid) {
  TDataSet* ds = nullptr;
  if (TDatasetFeaturesEx* f = FeaturesOf(Grid, ds)) f->ApplySorting(Grid, ds, true);
}

void TDBGridExDataService::DoApplyFilter(TCustomDBGridEx* Grid) {
  TDataSet* ds = nullptr;
  if (TDatasetFeaturesEx* f = FeaturesOf(Grid, ds)) f->ApplyFilter(Grid, ds, true);
}

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
