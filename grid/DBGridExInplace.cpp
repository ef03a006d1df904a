#include "grid/DBGridExInplace.h"

#include <algorithm>
#include <cmath>

#include "grid/DBGridExStyle.h"
#include "platform/rtl/ScopeExit.h"

namespace {
constexpr int kFirstMapSize = 8;
}

// ---------------------------------------------------------------- TGridDataLinkEx

TGridDataLinkEx::TGridDataLinkEx(IDBGridExLinkHost* AGrid) : grid_(AGrid) {}

TGridDataLinkEx::~TGridDataLinkEx() = default;

bool TGridDataLinkEx::AddMapping(const std::string& FieldName) {
  if (fieldCount_ >= kMaxMapSize) RaiseGridError(SGridTooManyColumns);
  TField* field = nullptr;
  if (sparseMap_) {
    field = DataSet() ? DataSet()->FindField(FieldName) : nullptr;
  } else {
    field = DataSet()->FieldByName(FieldName);
  }
  if (fieldCount_ >= FieldMapSize()) {
    const int size = FieldMapSize();
    int grown = size == 0 ? kFirstMapSize : size * 2;
    grown = std::min(std::max(grown, fieldCount_ + 1), kMaxMapSize);
    fieldMap_.resize(static_cast<size_t>(grown), -1);
  }
  fieldMap_[static_cast<size_t>(fieldCount_)] = field ? field->Index() : -1;
  ++fieldCount_;
  if (field) grid_->FreeNotification(field);
  return true;
}

void TGridDataLinkEx::ClearMapping() {
  fieldMap_.clear();
  fieldMap_.shrink_to_fit();
  fieldCount_ = 0;
}

int TGridDataLinkEx::GetMappedIndex(int Index) const {
  if (Index < 0 || Index >= fieldCount_ || Index >= FieldMapSize()) return -1;
  return fieldMap_[static_cast<size_t>(Index)];
}

TField* TGridDataLinkEx::GetMappedField(int Index) const {
  const int entry = GetMappedIndex(Index);
  if (entry < 0 || !DataSet() || entry >= DataSet()->FieldCount()) return nullptr;
  return DataSet()->Fields()->Fields(entry);
}

bool TGridDataLinkEx::DefaultFields() const {
  if (!DataSet()) return true;
  if (sparseMap_)
    for (int i = 0; i < fieldCount_; ++i)
      if (GetMappedIndex(i) < 0) return false;
  return DataSet()->DefaultFields();
}

void TGridDataLinkEx::Reset() {
  if (modified_) {
    RecordChanged(nullptr);
  } else if (DataSet()) {
    DataSet()->Cancel();
  }
}

void TGridDataLinkEx::ActiveChanged() {
  grid_->LinkActive(Active());
  modified_ = false;
}

void TGridDataLinkEx::DataSetChanged() {
  grid_->DataChanged();
  modified_ = false;
}

void TGridDataLinkEx::DataSetScrolled(int Distance) {
  grid_->Scroll(Distance);
}

void TGridDataLinkEx::EditingChanged() {
  grid_->EditingChanged();
}

void TGridDataLinkEx::FocusControl(TField** Field) {
  if (!Field || !*Field) return;
  grid_->SetSelectedField(*Field);
  if (grid_->SelectedField() == *Field && grid_->AcquireFocus()) {
    *Field = nullptr;
    grid_->ShowEditor();
  }
}

void TGridDataLinkEx::LayoutChanged() {
  grid_->LinkLayoutChanged();
  TDataLink::LayoutChanged();
}

void TGridDataLinkEx::RecordChanged(TField* Field) {
  grid_->RecordChanged(Field);
  modified_ = false;
}

void TGridDataLinkEx::UpdateData() {
  if (inUpdateData_) return;
  TScopeExit done([this] {
    inUpdateData_ = false;
    modified_ = false;
  });
  inUpdateData_ = true;
  if (modified_) grid_->UpdateData();
}
