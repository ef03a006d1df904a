#include "grid/DBSums.h"

#include <cassert>
#include <cmath>

#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"

namespace {

Currency ScaledRound(double Scaled) {
  return Currency::FromScaled(std::llround(Scaled));
}

bool FieldNull(TField* Field) {
  return !Field || Field->IsNull();
}

}  // namespace

Currency FieldValueToCurrency(TField* Field) {
  if (FieldNull(Field)) return {};
  return ScaledRound(Field->AsFloat() * 10000.0);
}

// ---------------------------------------------------------------- TDBSum

TDBSum::TDBSum(TCollection* Collection) : TCollectionItem(Collection) {}

void TDBSum::Assign(TPersistent* Source) {
  if (auto* s = dynamic_cast<TDBSum*>(Source)) {
    groupOperation_ = s->groupOperation_;
    fieldName_ = s->fieldName_;
    OldValue = s->OldValue;
    Value = s->Value;
    Changed(false);
    return;
  }
  TCollectionItem::Assign(Source);
}

void TDBSum::SetFieldName(const std::string& Value) {
  if (Value == fieldName_) return;
  fieldName_ = Value;
  Changed(false);
}

void TDBSum::SetGroupOperation(TGroupOperation Value) {
  if (Value == groupOperation_) return;
  groupOperation_ = Value;
  Changed(false);
}

// ---------------------------------------------------------------- TDBSumCollection

TDBSumCollection::TDBSumCollection(TDBSumListProducer* AOwner)
    : TCollection(CollectionItemClass<TDBSum>), owner_(AOwner) {}

TPersistent* TDBSumCollection::GetOwner() const {
  return owner_;
}

TDBSum* TDBSumCollection::FindSum(const std::string& FieldName, TGroupOperation GroupOperation) const {
  for (int i = 0; i < Count(); ++i) {
    TDBSum* s = Items(i);
    if (s->GroupOperation() == GroupOperation && AnsiSameText(s->FieldName(), FieldName)) return s;
  }
  return nullptr;
}

void TDBSumCollection::Update(TCollectionItem* /*Item*/) {
  if (!owner_) return;
  if (TComponent* c = owner_->OwnerComponent()) {
    const TComponentState st = c->ComponentState();
    if (st.Contains(csLoading) || st.Contains(csDestroying)) return;
  }
  owner_->RecalcAll();
}

// ---------------------------------------------------------------- TDBSumListProducer

TDBSumListProducer::TDBSumListProducer(TComponent* AOwner)
    : owner_(AOwner), sumCollection_(std::make_unique<TDBSumCollection>(this)) {}

TDBSumListProducer::~TDBSumListProducer() {
  Unhook();
  // items going now must not recompute
  auto items = std::move(sumCollection_);
  items.reset();
}

void TDBSumListProducer::Assign(TPersistent* Source) {
  auto* s = dynamic_cast<TDBSumListProducer*>(Source);
  if (!s) {
    TPersistent::Assign(Source);
    return;
  }
  SetActive(s->Active());
  SetDataSet(s->DataSet());
  SetExternalRecalc(s->ExternalRecalc());
  sumCollection_->Assign(s->SumCollection());
  SetVirtualRecords(s->VirtualRecords());
  OnRecalcAll = s->OnRecalcAll;
  OnAfterRecalcAll = s->OnAfterRecalcAll;
  SumListChanged = s->SumListChanged;
}

bool TDBSumListProducer::OwnerLoading() const {
  return owner_ && owner_->ComponentState().Contains(csLoading);
}

bool TDBSumListProducer::OwnerDesigning() const {
  return owner_ && owner_->ComponentState().Contains(csDesigning);
}

bool TDBSumListProducer::OwnerAllowsWork() const {
  return !OwnerLoading() && (designTimeWork_ || !OwnerDesigning());
}

void TDBSumListProducer::SetActive(bool Value) {
  if (Value == active_) return;
  active_ = Value;
  if (OwnerLoading()) return;
  if (Value) {
    Hook();
    RecalcAll();
  } else {
    Unhook();
    ClearSums();
  }
}

void TDBSumListProducer::SetDataSet(TDataSet* Value) {
  if (Value && Value->ComponentState().Contains(csDestroying)) {
    if (Value == DataSet()) {
      Unhook();
      dataSet_.Reset();
    }
    return;
  }
  if (Value == DataSet()) return;
  if (!OwnerAllowsWork()) {
    dataSet_.Reset(Value);
    return;
  }
  Unhook();
  ClearSums();
  dataSet_.Reset(Value);
  if (active_) {
    Hook();
    RecalcAll();
  }
}

void TDBSumListProducer::SetExternalRecalc(bool Value) {
  if (Value == externalRecalc_) return;
  externalRecalc_ = Value;
  RecalcAll();
}

void TDBSumListProducer::SetVirtualRecords(bool Value) {
  if (Value == virtualRecords_) return;
  virtualRecords_ = Value;
  if (Value) RecalcAll();
}

void TDBSumListProducer::Loaded() {
  if (active_ && DataSet()) {
    Hook();
    RecalcAll();
  }
}

void TDBSumListProducer::Hook() {
  TDataSet* ds = DataSet();
  if (!ds || hooked_ || !OwnerAllowsWork()) return;
  kept_.AfterOpen = std::exchange(ds->AfterOpen, [this](TDataSet* d) { DataSetAfterOpen(d); });
  kept_.AfterClose = std::exchange(ds->AfterClose, [this](TDataSet* d) { DataSetAfterClose(d); });
  kept_.AfterInsert = std::exchange(ds->AfterInsert, [this](TDataSet* d) { DataSetAfterInsert(d); });
  kept_.AfterEdit = std::exchange(ds->AfterEdit, [this](TDataSet* d) { DataSetAfterEdit(d); });
  kept_.AfterPost = std::exchange(ds->AfterPost, [this](TDataSet* d) { DataSetAfterPost(d); });
  kept_.AfterCancel = std::exchange(ds->AfterCancel, [this](TDataSet* d) { DataSetAfterCancel(d); });
  kept_.BeforeDelete = std::exchange(ds->BeforeDelete, [this](TDataSet* d) { DataSetBeforeDelete(d); });
  kept_.AfterScroll = std::exchange(ds->AfterScroll, [this](TDataSet* d) { DataSetAfterScroll(d); });
  TDataSource* src = ds->GetDataSource();
  if (TDataSet* m = src ? src->DataSet() : nullptr; m && m != ds) {
    master_.Reset(m);
    keptMasterAfterScroll_ = std::exchange(m->AfterScroll, [this](TDataSet* d) { MasterAfterScroll(d); });
  }
  hooked_ = true;
}

void TDBSumListProducer::Unhook() {
  if (!hooked_) return;
  hooked_ = false;
  // a dataset already gone keeps nothing to give back
  if (TDataSet* ds = DataSet(); ds && !ds->ComponentState().Contains(csDestroying)) {
    ds->AfterOpen = std::move(kept_.AfterOpen);
    ds->AfterClose = std::move(kept_.AfterClose);
    ds->AfterInsert = std::move(kept_.AfterInsert);
    ds->AfterEdit = std::move(kept_.AfterEdit);
    ds->AfterPost = std::move(kept_.AfterPost);
    ds->AfterCancel = std::move(kept_.AfterCancel);
    ds->BeforeDelete = std::move(kept_.BeforeDelete);
    ds->AfterScroll = std::move(kept_.AfterScroll);
  }
  kept_ = {};
  if (TDataSet* m = master_.Get(); m && !m->ComponentState().Contains(csDestroying))
    m->AfterScroll = std::move(keptMasterAfterScroll_);
  keptMasterAfterScroll_ = nullptr;
  master_.Reset();
  ReleaseBookmarks();
}

void TDBSumListProducer::ReleaseBookmarks() {
  bookmarks_.clear();
  lastFound_ = -1;
  pendingInsert_ = false;
}

void TDBSumListProducer::DoSumListChanged() {
  InvokeEvent(SumListChanged, static_cast<TObject*>(this));
}

void TDBSumListProducer::ClearSums() {
  for (int i = 0; i < sumCollection_->Count(); ++i) {
    TDBSum* s = sumCollection_->Items(i);
    s->Value = {};
    s->OldValue = {};
    s->AvgSum = {};
    s->AvgCount = 0;
  }
  DoSumListChanged();
}

bool TDBSumListProducer::VirtualMode() {
  TDataSet* ds = DataSet();
  return virtualRecords_ && active_ && ds && ds->Active() && !ds->IsSequenced();
}

void TDBSumListProducer::RecomputeAverage(TDBSum* Sum) {
  Sum->Value = Sum->AvgCount == 0 ? Currency() : ScaledRound(double(Sum->AvgSum.Scaled()) / Sum->AvgCount);
}

void TDBSumListProducer::RecalcAll() {
  if (!OwnerAllowsWork()) return;
  TDataSet* ds = DataSet();
  if (!active_ || !ds || !ds->Active() || !hooked_) return;
  ClearSums();
  lastFound_ = -1;
  InvokeEvent(OnRecalcAll, static_cast<TObject*>(this));
  recalculating_ = true;
  TScopeExit done([this] { recalculating_ = false; });
  if (!externalRecalc_) {
    bool needed = VirtualMode();
    for (int i = 0; i < sumCollection_->Count() && !needed; ++i)
      needed = sumCollection_->Items(i)->GroupOperation() == goCount ||
               !sumCollection_->Items(i)->FieldName().empty();
    if (needed) {
      const bool keepBookmarks = VirtualMode();
      ds->DisableControls();
      TScopeExit enable([ds] { ds->EnableControls(); });
      ReleaseBookmarks();
      struct Item {
        TDBSum* Sum;
        TField* Field;
      };
      std::vector<Item> items;
      for (int i = 0; i < sumCollection_->Count(); ++i) {
        TDBSum* s = sumCollection_->Items(i);
        items.push_back({s, s->FieldName().empty() ? nullptr : ds->FindField(s->FieldName())});
      }
      for (ds->First(); !ds->Eof(); ds->Next()) {
        for (const Item& it : items) {
          switch (it.Sum->GroupOperation()) {
            case goSum:
              if (!FieldNull(it.Field)) it.Sum->Value += FieldValueToCurrency(it.Field);
              break;
            case goAvg:
              if (!FieldNull(it.Field)) ++it.Sum->AvgCount;
              it.Sum->AvgSum += FieldValueToCurrency(it.Field);
              break;
            case goCount:
              if (it.Sum->FieldName().empty() || !FieldNull(it.Field)) it.Sum->Value += Currency(1);
              break;
          }
        }
        if (keepBookmarks) bookmarks_.push_back(ds->Bookmark());
      }
      ds->First();
      for (const Item& it : items)
        if (it.Sum->GroupOperation() == goAvg) RecomputeAverage(it.Sum);
    }
  }
  InvokeEvent(OnAfterRecalcAll, static_cast<TObject*>(this));
  lastFiltered_ = ds->Filtered();
  lastFilter_ = ds->Filter();
  done.Dismiss();
  recalculating_ = false;
  DoSumListChanged();
}

// ---------------------------------------------------------------- incremental maintenance

void TDBSumListProducer::DataSetAfterOpen(TDataSet* DataSet) {
  InvokeEvent(kept_.AfterOpen, DataSet);
  if (active_) RecalcAll();
}

void TDBSumListProducer::DataSetAfterClose(TDataSet* DataSet) {
  InvokeEvent(kept_.AfterClose, DataSet);
  if (active_) ClearSums();
  ReleaseBookmarks();
}

void TDBSumListProducer::DataSetAfterEdit(TDataSet* DataSet) {
  InvokeEvent(kept_.AfterEdit, DataSet);
  if (!active_) return;
  for (int i = 0; i < sumCollection_->Count(); ++i) {
    TDBSum* s = sumCollection_->Items(i);
    TField* f = s->FieldName().empty() ? nullptr : DataSet->FindField(s->FieldName());
    if (s->GroupOperation() == goCount) {
      s->OldValue = s->FieldName().empty() || !FieldNull(f) ? Currency(1) : Currency();
    } else {
      s->OldValue = FieldValueToCurrency(f);
      s->OldVariant = f ? f->Value() : TVariant::MakeNull();
    }
  }
}

void TDBSumListProducer::DataSetAfterInsert(TDataSet* DataSet) {
  InvokeEvent(kept_.AfterInsert, DataSet);
  if (!active_) return;
  for (int i = 0; i < sumCollection_->Count(); ++i) {
    sumCollection_->Items(i)->OldValue = {};
    sumCollection_->Items(i)->OldVariant = TVariant();
  }
  if (VirtualMode()) {
    const TBookmarkStr b = DataSet->BookmarkAvailable() ? DataSet->Bookmark() : TBookmarkStr();
    pendingInsert_ = true;
    if (!b.empty()) InsertPendingBookmark();
  }
}

void TDBSumListProducer::InsertPendingBookmark() {
  TDataSet* ds = DataSet();
  const TBookmarkStr b = ds->Bookmark();
  pendingInsert_ = false;
  if (b.empty()) return;
  // the place that keeps the list in the dataset's order, stepping from the last found position
  int i = lastFound_ >= 0 && lastFound_ < static_cast<int>(bookmarks_.size()) ? lastFound_ : 0;
  while (i > 0 && ds->CompareBookmarks(bookmarks_[i - 1], b) > 0) --i;
  while (i < static_cast<int>(bookmarks_.size()) && ds->CompareBookmarks(bookmarks_[i], b) < 0) ++i;
  if (i < static_cast<int>(bookmarks_.size()) && ds->CompareBookmarks(bookmarks_[i], b) == 0) return;
  bookmarks_.insert(bookmarks_.begin() + i, b);
  lastFound_ = i;
}

void TDBSumListProducer::DataSetAfterPost(TDataSet* DataSet) {
  InvokeEvent(kept_.AfterPost, DataSet);
  if (!active_) return;
  for (int i = 0; i < sumCollection_->Count(); ++i) {
    TDBSum* s = sumCollection_->Items(i);
    TField* f = s->FieldName().empty() ? nullptr : DataSet->FindField(s->FieldName());
    switch (s->GroupOperation()) {
      case goSum:
        s->Value = s->Value - s->OldValue + FieldValueToCurrency(f);
        break;
      case goAvg: {
        const int before = !s->OldVariant.IsEmpty() && !s->OldVariant.IsNull() ? 1 : 0;
        s->AvgCount += (FieldNull(f) ? 0 : 1) - before;
        s->AvgSum = s->AvgSum + FieldValueToCurrency(f) - s->OldValue;
        RecomputeAverage(s);
        break;
      }
      case goCount: {
        const Currency now = s->FieldName().empty() || !FieldNull(f) ? Currency(1) : Currency();
        s->Value = s->Value + now - s->OldValue;
        break;
      }
    }
    s->OldValue = {};
    s->OldVariant = TVariant();
  }
  if (pendingInsert_ && VirtualMode()) InsertPendingBookmark();
  pendingInsert_ = false;
  DoSumListChanged();
}

void TDBSumListProducer::DataSetAfterCancel(TDataSet* DataSet) {
  InvokeEvent(kept_.AfterCancel, DataSet);
  pendingInsert_ = false;
}

void TDBSumListProducer::DataSetBeforeDelete(TDataSet* DataSet) {
  if (active_) {
    for (int i = 0; i < sumCollection_->Count(); ++i) {
      TDBSum* s = sumCollection_->Items(i);
      TField* f = s->FieldName().empty() ? nullptr : DataSet->FindField(s->FieldName());
      switch (s->GroupOperation()) {
        case goSum:
          s->Value -= FieldValueToCurrency(f);
          break;
        case goAvg:
          s->AvgSum -= FieldValueToCurrency(f);
          if (!FieldNull(f)) --s->AvgCount;
          RecomputeAverage(s);
          break;
        case goCount:
          if (s->FieldName().empty() || !FieldNull(f)) s->Value -= Currency(1);
          break;
      }
    }
    if (VirtualMode()) {
      const int at = FindBookmark(DataSet->Bookmark());
      if (at >= 0) {
        bookmarks_.erase(bookmarks_.begin() + at);
        lastFound_ = at > 0 ? at - 1 : -1;
      }
    }
    DoSumListChanged();
  }
  InvokeEvent(kept_.BeforeDelete, DataSet);
}

void TDBSumListProducer::DataSetAfterScroll(TDataSet* DataSet) {
  InvokeEvent(kept_.AfterScroll, DataSet);
  if (!active_ || recalculating_) return;
  if (DataSet->Filtered() != lastFiltered_ || DataSet->Filter() != lastFilter_) RecalcAll();
}

void TDBSumListProducer::MasterAfterScroll(TDataSet* DataSet) {
  InvokeEvent(keptMasterAfterScroll_, DataSet);
  if (active_ && !recalculating_) RecalcAll();
}

// ---------------------------------------------------------------- record numbering

bool TDBSumListProducer::IsSequenced() {
  TDataSet* ds = DataSet();
  if (!ds) return false;
  if (ds->IsSequenced()) return true;
  if (virtualRecords_ && active_) return !bookmarks_.empty() || (ds->Active() && ds->IsEmpty());
  return false;
}

int TDBSumListProducer::RecordCount() {
  TDataSet* ds = DataSet();
  if (!ds) return 0;
  if (VirtualMode()) return static_cast<int>(bookmarks_.size());
  return ds->RecordCount();
}

int TDBSumListProducer::GetRecNo() {
  TDataSet* ds = DataSet();
  if (!ds) return -1;
  if (VirtualMode()) {
    const int at = FindBookmark(ds->Bookmark());
    return at < 0 ? -1 : at + 1;
  }
  return ds->RecNo();
}

void TDBSumListProducer::SetRecNo(int Value) {
  TDataSet* ds = DataSet();
  if (!ds) return;
  if (VirtualMode()) {
    if (Value >= 1 && Value <= static_cast<int>(bookmarks_.size())) {
      ds->GotoBookmark(bookmarks_[Value - 1]);
      lastFound_ = Value - 1;
    }
    return;
  }
  ds->SetRecNo(Value);
}

int TDBSumListProducer::FindBookmark(const TBookmarkStr& Bookmark) {
  TDataSet* ds = DataSet();
  const int n = static_cast<int>(bookmarks_.size());
  if (!ds || n == 0 || Bookmark.empty()) return -1;
  int i = lastFound_ >= 0 && lastFound_ < n ? lastFound_ : 0;
  // step towards the bookmark; give up when the list's end is passed or the direction turns
  int c = ds->CompareBookmarks(bookmarks_[i], Bookmark);
  if (c > 0) {
    while (i >= 0 && (c = ds->CompareBookmarks(bookmarks_[i], Bookmark)) > 0) --i;
  } else {
    while (i < n && (c = ds->CompareBookmarks(bookmarks_[i], Bookmark)) < 0) ++i;
  }
  if (i < 0 || i >= n || c != 0) return -1;
  lastFound_ = i;
  return i;
}
