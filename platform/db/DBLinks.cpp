// Data sources and data links: the window of buffered records each link sees and its notifications.
#include <algorithm>

#include "platform/db/DB.h"

// ---------------------------------------------------------------------------------------------------
// TDataSource

TDataSource::TDataSource(TComponent* AOwner) : TComponent(AOwner) {}

TDataSource::~TDataSource() {
  Destroying();
  SetDataSet(nullptr);
  while (!data_links_.empty()) RemoveDataLink(data_links_.back());
}

void TDataSource::SetDataSet(TDataSet* Value) {
  if (Value == dataset_) return;
  if (IsLinkedTo(Value)) DatabaseError(SCircularDataLink, this);
  if (dataset_) {
    dataset_->RemoveFreeNotification(this);
    dataset_->RemoveDataSource(this);
  }
  if (Value) {
    Value->AddDataSource(this);
    Value->FreeNotification(this);
  }
}

void TDataSource::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == dataset_) SetDataSet(nullptr);
}

void TDataSource::SetEnabled(bool Value) {
  enabled_ = Value;
  NotifyState();
}

bool TDataSource::IsLinkedTo(TDataSet* DataSet) const {
  return DataSet && DataSet->IsLinkedTo(this);
}

void TDataSource::Edit() {
  if (auto_edit_ && state_ == dsBrowse && dataset_) dataset_->Edit();
}

void TDataSource::NotifyState() {
  SetState(dataset_ && enabled_ ? dataset_->State() : dsInactive);
}

void TDataSource::SetState(TDataSetState Value) {
  if (state_ == Value) return;
  const TDataSetState prior = state_;
  state_ = Value;
  for (size_t i = 0; i < data_links_.size(); ++i) data_links_[i]->UpdateState();
  if (ComponentState().Contains(csDestroying)) return;
  if (OnStateChange) OnStateChange(this);
  if (prior == dsInactive && OnDataChange) OnDataChange(this, nullptr);
}

void TDataSource::DataEvent(TDataEvent Event, intptr_t Info) {
  if (Event == deUpdateState || Event == deDisabledStateChange) {
    NotifyState();
    return;
  }
  if (state_ == dsInactive) return;
  for (size_t i = 0; i < data_links_.size(); ++i) data_links_[i]->DataEvent(Event, Info);
  switch (Event) {
    case deFieldChange:
      if (OnDataChange) OnDataChange(this, reinterpret_cast<TField*>(Info));
      break;
    case deRecordChange:
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange:
      if (OnDataChange) OnDataChange(this, nullptr);
      break;
    case deUpdateRecord:
      if (OnUpdateData) OnUpdateData(this);
      break;
    default:
      break;
  }
}

void TDataSource::AddDataLink(TDataLink* DataLink) {
  data_links_.push_back(DataLink);
  DataLink->data_source_ = this;
  if (dataset_) dataset_->UpdateBufferCount();
  DataLink->UpdateState();
}

void TDataSource::RemoveDataLink(TDataLink* DataLink) {
  DataLink->data_source_ = nullptr;
  data_links_.erase(std::remove(data_links_.begin(), data_links_.end(), DataLink), data_links_.end());
  DataLink->UpdateState();
  if (dataset_) dataset_->UpdateBufferCount();
}

// ---------------------------------------------------------------------------------------------------
// TDataLink

TDataLink::~TDataLink() {
  active_ = false;
  editing_ = false;
  data_source_fixed_ = false;
  if (data_source_) data_source_->RemoveDataLink(this);
}

void TDataLink::SetDataSource(TDataSource* Value) {
  if (Value == data_source_) return;
  if (data_source_fixed_) DatabaseError(SDataSourceChange, Value);
  if (data_source_) data_source_->RemoveDataLink(this);
  if (Value) Value->AddDataLink(this);
}

TDataSet* TDataLink::DataSet() const {
  return data_source_ ? data_source_->DataSet() : nullptr;
}

void TDataLink::SetReadOnly(bool Value) {
  if (read_only_ == Value) return;
  read_only_ = Value;
  UpdateState();
}

void TDataLink::UpdateState() {
  SetActive(data_source_ && data_source_->State() != dsInactive && data_source_->DataSet());
  SetEditing(data_source_ && dsEditModes.Contains(data_source_->State()) && !read_only_);
}

void TDataLink::SetActive(bool Value) {
  if (active_ == Value) return;
  active_ = Value;
  if (Value) {
    UpdateRange();
  } else {
    first_record_ = 0;
  }
  ActiveChanged();
}

void TDataLink::SetEditing(bool Value) {
  if (editing_ == Value) return;
  editing_ = Value;
  EditingChanged();
}

void TDataLink::UpdateRange() {
  TDataSet* ds = DataSet();
  if (!ds) return;
  const int min = std::max(0, ds->active_record_ - buffer_count_ + 1);
  const int max = std::min(std::max(0, ds->buffer_count_ - buffer_count_), ds->active_record_);
  if (first_record_ < min) first_record_ = min;
  if (first_record_ > max) first_record_ = std::max(min, max);
}

int TDataLink::ActiveRecord() const {
  TDataSet* ds = DataSet();
  if (!active_ || !ds || data_source_->State() == dsSetKey) return 0;
  return ds->active_record_ - first_record_;
}

void TDataLink::SetActiveRecord(int Value) {
  TDataSet* ds = DataSet();
  if (!active_ || !ds || data_source_->State() == dsSetKey) return;
  const int index = Value + first_record_;
  if (index < 0 || index >= std::max(ds->record_count_, 1)) return;
  ds->active_record_ = index;
}

void TDataLink::SetBufferCount(int Value) {
  Value = std::max(Value, 1);
  if (buffer_count_ == Value) return;
  buffer_count_ = Value;
  if (active_) {
    UpdateRange();
    DataSet()->UpdateBufferCount();
    UpdateRange();
  }
}

int TDataLink::RecordCount() const {
  TDataSet* ds = DataSet();
  if (!active_ || !ds) return 0;
  if (data_source_->State() == dsSetKey) return 1;
  return std::clamp(ds->record_count_ - first_record_, 0, buffer_count_);
}

bool TDataLink::Bof() const {
  TDataSet* ds = DataSet();
  return ds ? ds->Bof() : true;
}

bool TDataLink::Eof() const {
  TDataSet* ds = DataSet();
  return ds ? ds->Eof() : true;
}

bool TDataLink::Edit() {
  if (!read_only_ && data_source_) data_source_->Edit();
  return editing_;
}

void TDataLink::UpdateRecord() {
  updating_ = true;
  try {
    UpdateData();
  } catch (...) {
    updating_ = false;
    throw;
  }
  updating_ = false;
}

int TDataLink::MoveBy(int Distance) {
  TDataSet* ds = DataSet();
  return ds ? ds->MoveBy(Distance) : 0;
}

void TDataLink::DataEvent(TDataEvent Event, intptr_t Info) {
  if (Event == deUpdateState || Event == deDisabledStateChange) {
    UpdateState();
    return;
  }
  if (!active_) return;
  switch (Event) {
    case deFieldChange:
    case deRecordChange:
      if (!updating_) RecordChanged(reinterpret_cast<TField*>(Info));
      break;
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange: {
      int distance = 0;
      if (data_source_->State() != dsSetKey) {
        const int before = first_record_ + (Event == deDataSetScroll ? static_cast<int>(Info) : 0);
        first_record_ = before;
        UpdateRange();
        distance = first_record_ - before;
      }
      if (Event == deDataSetScroll) {
        DataSetScrolled(distance);
      } else if (Event == deLayoutChange) {
        LayoutChanged();
      } else {
        DataSetChanged();
      }
      break;
    }
    case deUpdateRecord:
      UpdateRecord();
      break;
    case deCheckBrowseMode:
      CheckBrowseMode();
      break;
    case deFocusControl:
      FocusControl(reinterpret_cast<TField**>(Info));
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------------------------------------------
// TFieldDataLink

std::function<bool(TComponent* Control)> TFieldDataLink::FocusControlHandler;

void TFieldDataLink::SetFieldName(const std::string& Value) {
  if (field_name_ == Value) return;
  field_name_ = Value;
  UpdateField();
}

void TFieldDataLink::UpdateField() {
  if (Active() && !field_name_.empty()) {
    TField* f = DataSet()->FindField(field_name_);
    if (!f) {
      SetField(nullptr);
      DatabaseErrorFmt(SFieldNotFound, {field_name_}, control_);
    }
    SetField(f);
  } else {
    SetField(nullptr);
  }
}

void TFieldDataLink::SetField(TField* Value) {
  if (field_ == Value) return;
  field_ = Value;
  EditingChanged();
  RecordChanged(nullptr);
}

bool TFieldDataLink::CanModify() const {
  return !ReadOnly() && field_ && field_->CanModify();
}

bool TFieldDataLink::Edit() {
  if (CanModify()) TDataLink::Edit();
  return editing_;
}

void TFieldDataLink::SetEditingState(bool Value) {
  if (editing_ == Value) return;
  editing_ = Value;
  modified_ = false;
  if (OnEditingChange) OnEditingChange(this);
}

void TFieldDataLink::ActiveChanged() {
  UpdateField();
  if (OnActiveChange) OnActiveChange(this);
}

void TFieldDataLink::EditingChanged() {
  SetEditingState(TDataLink::Editing() && CanModify());
}

void TFieldDataLink::FocusControl(TField** Field) {
  if (!Field || !*Field || *Field != field_ || !control_) return;
  if (FocusControlHandler && FocusControlHandler(control_)) *Field = nullptr;
}

void TFieldDataLink::LayoutChanged() {
  UpdateField();
}

void TFieldDataLink::RecordChanged(TField* Field) {
  if (Field && Field != field_) return;
  if (OnDataChange) OnDataChange(this);
  modified_ = false;
}

void TFieldDataLink::UpdateData() {
  if (!modified_) return;
  if (field_ && OnUpdateData) OnUpdateData(this);
  modified_ = false;
}

// ---------------------------------------------------------------------------------------------------
// TMasterDataLink

void TMasterDataLink::SetFieldNames(const std::string& Value) {
  if (field_names_ == Value) return;
  field_names_ = Value;
  ActiveChanged();
}

std::vector<TField*> TMasterDataLink::Fields() const {
  TDataSet* ds = DataSet();
  if (!Active() || !ds || field_names_.empty()) return {};
  return ds->GetFieldList(field_names_);
}

void TMasterDataLink::ActiveChanged() {
  if (!dataset_ || dataset_->ComponentState().Contains(csDestroying)) return;
  if (Active()) {
    if (OnMasterChange) OnMasterChange(this);
  } else if (OnMasterDisable) {
    OnMasterDisable(this);
  }
}

void TMasterDataLink::RecordChanged(TField* Field) {
  if (!Active() || !OnMasterChange) return;
  if (!Field) {
    OnMasterChange(this);
    return;
  }
  for (TField* f : Fields()) {
    if (f == Field) {
      OnMasterChange(this);
      return;
    }
  }
}

void TMasterDataLink::CheckBrowseMode() {
  if (dataset_ && dataset_->Active()) dataset_->CheckBrowseMode();
}
