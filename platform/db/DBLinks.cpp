// Data sources and data links: the window of buffered records each link sees and its notifications.
#include <algorithm>

#include "platform/db/DB.h"
#include "platform/rtl/Lifetime.h"

// ---------------------------------------------------------------------------------------------------
// TDataSource

TDataSource::TDataSource(TComponent* AOwner) : TComponent(AOwner) {}

TDataSource::~TDataSource() {
  Destroying();
  SetDataSet(nullptr);
  while (!dataLinks_.empty()) RemoveDataLink(dataLinks_.back());
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
  if (autoEdit_ && state_ == dsBrowse && dataset_) dataset_->Edit();
}

void TDataSource::NotifyState() {
  SetState(dataset_ && enabled_ ? dataset_->State() : dsInactive);
}

void TDataSource::SetState(TDataSetState Value) {
  if (state_ == Value) return;
  const TDataSetState prior = state_;
  state_ = Value;
  for (size_t i = 0; i < dataLinks_.size(); ++i) dataLinks_[i]->UpdateState();
  if (ComponentState().Contains(csDestroying)) return;
  InvokeEvent(OnStateChange, this);
  if (prior == dsInactive && OnDataChange) OnDataChange(this, nullptr);
}

void TDataSource::DataEvent(TDataEvent Event, intptr_t Info) {
  if (Event == deUpdateState || Event == deDisabledStateChange) {
    NotifyState();
    return;
  }
  if (state_ == dsInactive) return;
  for (size_t i = 0; i < dataLinks_.size(); ++i) dataLinks_[i]->DataEvent(Event, Info);
  switch (Event) {
    case deFieldChange:
      InvokeEvent(OnDataChange, this, reinterpret_cast<TField*>(Info));
      break;
    case deRecordChange:
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange:
      InvokeEvent(OnDataChange, this, nullptr);
      break;
    case deUpdateRecord:
      InvokeEvent(OnUpdateData, this);
      break;
    default:
      break;
  }
}

void TDataSource::AddDataLink(TDataLink* DataLink) {
  dataLinks_.push_back(DataLink);
  DataLink->dataSource_ = this;
  if (dataset_) dataset_->UpdateBufferCount();
  DataLink->UpdateState();
}

void TDataSource::RemoveDataLink(TDataLink* DataLink) {
  DataLink->dataSource_ = nullptr;
  dataLinks_.erase(std::remove(dataLinks_.begin(), dataLinks_.end(), DataLink), dataLinks_.end());
  DataLink->UpdateState();
  if (dataset_) dataset_->UpdateBufferCount();
}

// ---------------------------------------------------------------------------------------------------
// TDataLink

TDataLink::~TDataLink() {
  active_ = false;
  editing_ = false;
  dataSourceFixed_ = false;
  if (dataSource_) dataSource_->RemoveDataLink(this);
}

void TDataLink::SetDataSource(TDataSource* Value) {
  if (Value == dataSource_) return;
  if (dataSourceFixed_) DatabaseError(SDataSourceChange, Value);
  if (dataSource_) dataSource_->RemoveDataLink(this);
  if (Value) Value->AddDataLink(this);
}

TDataSet* TDataLink::DataSet() const {
  return dataSource_ ? dataSource_->DataSet() : nullptr;
}

void TDataLink::SetReadOnly(bool Value) {
  if (readOnly_ == Value) return;
  readOnly_ = Value;
  UpdateState();
}

void TDataLink::UpdateState() {
  SetActive(dataSource_ && dataSource_->State() != dsInactive && dataSource_->DataSet());
  SetEditing(dataSource_ && dsEditModes.Contains(dataSource_->State()) && !readOnly_);
}

void TDataLink::SetActive(bool Value) {
  if (active_ == Value) return;
  active_ = Value;
  if (Value) {
    UpdateRange();
  } else {
    firstRecord_ = 0;
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
  const int min = std::max(0, ds->activeRecord_ - bufferCount_ + 1);
  const int max = std::min(std::max(0, ds->bufferCount_ - bufferCount_), ds->activeRecord_);
  if (firstRecord_ < min) firstRecord_ = min;
  if (firstRecord_ > max) firstRecord_ = std::max(min, max);
}

int TDataLink::ActiveRecord() const {
  TDataSet* ds = DataSet();
  if (!active_ || !ds || dataSource_->State() == dsSetKey) return 0;
  return ds->activeRecord_ - firstRecord_;
}

void TDataLink::SetActiveRecord(int Value) {
  TDataSet* ds = DataSet();
  if (!active_ || !ds || dataSource_->State() == dsSetKey) return;
  const int index = Value + firstRecord_;
  if (index < 0 || index >= std::max(ds->recordCount_, 1)) return;
  ds->activeRecord_ = index;
}

void TDataLink::SetBufferCount(int Value) {
  Value = std::max(Value, 1);
  if (bufferCount_ == Value) return;
  bufferCount_ = Value;
  if (active_) {
    UpdateRange();
    DataSet()->UpdateBufferCount();
    UpdateRange();
  }
}

int TDataLink::RecordCount() const {
  TDataSet* ds = DataSet();
  if (!active_ || !ds) return 0;
  if (dataSource_->State() == dsSetKey) return 1;
  return std::clamp(ds->recordCount_ - firstRecord_, 0, bufferCount_);
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
  if (!readOnly_ && dataSource_) dataSource_->Edit();
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
      if (dataSource_->State() != dsSetKey) {
        const int before = firstRecord_ + (Event == deDataSetScroll ? static_cast<int>(Info) : 0);
        firstRecord_ = before;
        UpdateRange();
        distance = firstRecord_ - before;
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
  if (fieldName_ == Value) return;
  fieldName_ = Value;
  UpdateField();
}

void TFieldDataLink::UpdateField() {
  if (Active() && !fieldName_.empty()) {
    TField* f = DataSet()->FindField(fieldName_);
    if (!f) {
      SetField(nullptr);
      DatabaseErrorFmt(SFieldNotFound, {fieldName_}, control_);
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
  InvokeEvent(OnEditingChange, this);
}

void TFieldDataLink::ActiveChanged() {
  UpdateField();
  InvokeEvent(OnActiveChange, this);
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
  InvokeEvent(OnDataChange, this);
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
  if (fieldNames_ == Value) return;
  fieldNames_ = Value;
  ActiveChanged();
}

std::vector<TField*> TMasterDataLink::Fields() const {
  TDataSet* ds = DataSet();
  if (!Active() || !ds || fieldNames_.empty()) return {};
  return ds->GetFieldList(fieldNames_);
}

void TMasterDataLink::ActiveChanged() {
  if (!dataset_ || dataset_->ComponentState().Contains(csDestroying)) return;
  if (Active()) {
    InvokeEvent(OnMasterChange, this);
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
