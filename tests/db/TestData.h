// Shared set-up of the dataset tests: a dataset of numbered people and a recorder of events.
#pragma once

#include <string>
#include <vector>

#include "db/MemDataSet.h"

// ID integer, NAME string(20), PRICE float, BORN date, ACTIVE boolean; rows ID 1..Count with
// NAME "Name<i>", PRICE i * 1.5, BORN 2020-01-i (day wraps at 28), ACTIVE for even i.
inline void DefinePeople(TMemDataSet* ds, int Count) {
  ds->FieldDefs()->Add("ID", ftInteger, 0, true);
  ds->FieldDefs()->Add("NAME", ftString, 20);
  ds->FieldDefs()->Add("PRICE", ftFloat);
  ds->FieldDefs()->Add("BORN", ftDate);
  ds->FieldDefs()->Add("ACTIVE", ftBoolean);
  for (int i = 1; i <= Count; ++i) {
    ds->AddRow({i, "Name" + IntToStr(i), i * 1.5, TVariant::FromDate(EncodeDate(2020, 1, (i - 1) % 28 + 1)),
                i % 2 == 0});
  }
}

// Records what happens, in order.
struct TEventLog {
  std::vector<std::string> items;
  void Add(const std::string& s) { items.push_back(s); }
  void Clear() { items.clear(); }

  // Hooks every Before/After event of the dataset.
  void Watch(TDataSet* ds) {
    auto hook = [this](TDataSetNotifyEvent& e, const char* name) {
      e = [this, name](TDataSet*) { Add(name); };
    };
    hook(ds->BeforeOpen, "BeforeOpen");
    hook(ds->AfterOpen, "AfterOpen");
    hook(ds->BeforeClose, "BeforeClose");
    hook(ds->AfterClose, "AfterClose");
    hook(ds->BeforeInsert, "BeforeInsert");
    hook(ds->AfterInsert, "AfterInsert");
    hook(ds->BeforeEdit, "BeforeEdit");
    hook(ds->AfterEdit, "AfterEdit");
    hook(ds->BeforePost, "BeforePost");
    hook(ds->AfterPost, "AfterPost");
    hook(ds->BeforeCancel, "BeforeCancel");
    hook(ds->AfterCancel, "AfterCancel");
    hook(ds->BeforeDelete, "BeforeDelete");
    hook(ds->AfterDelete, "AfterDelete");
    hook(ds->BeforeScroll, "BeforeScroll");
    hook(ds->AfterScroll, "AfterScroll");
    hook(ds->BeforeRefresh, "BeforeRefresh");
    hook(ds->AfterRefresh, "AfterRefresh");
    hook(ds->OnNewRecord, "OnNewRecord");
  }
};

inline const char* DataEventName(TDataEvent e) {
  static const char* names[] = {"FieldChange",    "RecordChange",    "DataSetChange",      "DataSetScroll",
                                "LayoutChange",   "UpdateRecord",    "UpdateState",        "CheckBrowseMode",
                                "PropertyChange", "FieldListChange", "FocusControl",       "ParentScroll",
                                "ConnectChange",  "ReconcileError",  "DisabledStateChange"};
  return names[e];
}

// A data link that records its notifications.
class TRecordingLink : public TDataLink {
 public:
  explicit TRecordingLink(TEventLog* Log) : log_(Log) {}
  int changed = 0, scrolled = 0, lastDistance = 0, recordChanged = 0, activeChanged = 0, editingChanged = 0,
      updated = 0, layout = 0, checkBrowse = 0;

 protected:
  void ActiveChanged() override {
    ++activeChanged;
    if (log_) log_->Add(Active() ? "link:Active" : "link:Inactive");
  }
  void DataSetChanged() override {
    ++changed;
    if (log_) log_->Add("link:Changed");
  }
  void DataSetScrolled(int Distance) override {
    ++scrolled;
    lastDistance = Distance;
    if (log_) log_->Add("link:Scrolled " + IntToStr(Distance));
  }
  void RecordChanged(TField* Field) override {
    ++recordChanged;
    if (log_) log_->Add(std::string("link:Record ") + (Field ? Field->FieldName() : "*"));
  }
  void EditingChanged() override {
    ++editingChanged;
    if (log_) log_->Add(Editing() ? "link:Editing" : "link:NotEditing");
  }
  void UpdateData() override {
    ++updated;
    if (log_) log_->Add("link:UpdateData");
  }
  void LayoutChanged() override {
    ++layout;
    if (log_) log_->Add("link:Layout");
  }
  void CheckBrowseMode() override { ++checkBrowse; }

 private:
  TEventLog* log_;
};
