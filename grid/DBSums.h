// Footer aggregates: a list of sums, averages and counts of dataset fields (TDBSumCollection of
// TDBSum) and the producer that computes them in one pass over a dataset and then keeps them current
// record by record while the user edits (TDBSumListProducer). The producer can also keep the
// bookmarks of all records, so that a dataset without record numbers still reports a record number
// and a record count (virtual records).
#pragma once

#include <string>
#include <vector>

#include "platform/db/DB.h"
#include "platform/rtl/Lifetime.h"

class TDBSumListProducer;

enum TGroupOperation { goSum, goAvg, goCount };

class TDBSum : public TCollectionItem {
  TALVIK_CLASS(TDBSum, TCollectionItem)
  explicit TDBSum(TCollection* Collection);
  void Assign(TPersistent* Source) override;

  const std::string& FieldName() const { return fieldName_; }
  void SetFieldName(const std::string& Value);
  TGroupOperation GroupOperation() const { return groupOperation_; }
  void SetGroupOperation(TGroupOperation Value);

  // The result: the sum, the average, or the count (n held as n, i.e. n × 10000 scaled).
  Currency Value = {};
  // The contribution of the record being edited before the edit.
  Currency OldValue = {};
  // The field's value before the edit (unassigned for a new record).
  TVariant OldVariant;
  Currency AvgSum = {};
  int AvgCount = 0;

 private:
  std::string fieldName_;
  TGroupOperation groupOperation_ = goSum;
};

class TDBSumCollection : public TCollection {
  TALVIK_CLASS(TDBSumCollection, TCollection)
  explicit TDBSumCollection(TDBSumListProducer* AOwner);
  TPersistent* GetOwner() const override;

  TDBSum* Items(int Index) const { return static_cast<TDBSum*>(TCollection::Items(Index)); }
  TDBSum* Add() { return static_cast<TDBSum*>(TCollection::Add()); }
  // The first item for that field (compared without regard to case) and operation, or nullptr.
  TDBSum* FindSum(const std::string& FieldName, TGroupOperation GroupOperation) const;

 protected:
  void Update(TCollectionItem* Item) override;

 private:
  TDBSumListProducer* owner_;
};

// A field value as an amount: the floating-point value times 10000, rounded to the nearest integer.
Currency FieldValueToCurrency(TField* Field);

class TDBSumListProducer : public TPersistent {
  TALVIK_CLASS(TDBSumListProducer, TPersistent)
  explicit TDBSumListProducer(TComponent* AOwner);
  // Unhooks the dataset (without clearing the values).
  ~TDBSumListProducer() override;
  // Copies Active, DataSet, ExternalRecalc, the items, VirtualRecords and the three events.
  void Assign(TPersistent* Source) override;
  TPersistent* GetOwner() const override { return owner_; }
  TComponent* OwnerComponent() const { return owner_; }

  bool Active() const { return active_; }
  void SetActive(bool Value);
  TDataSet* DataSet() const { return dataSet_.Get(); }
  void SetDataSet(TDataSet* Value);
  bool ExternalRecalc() const { return externalRecalc_; }
  void SetExternalRecalc(bool Value);
  bool VirtualRecords() const { return virtualRecords_; }
  void SetVirtualRecords(bool Value);
  TDBSumCollection* SumCollection() const { return sumCollection_.get(); }
  void SetSumCollection(TDBSumCollection* Value) { sumCollection_->Assign(Value); }
  // The master dataset whose scrolling recomputes (the dataset's data source's dataset).
  TDataSet* MasterDataSet() const { return master_.Get(); }
  bool Hooked() const { return hooked_; }
  bool Recalculating() const { return recalculating_; }
  // After the owner has been loaded: an active producer with a dataset hooks it and recomputes.
  void Loaded();

  // Record numbering for the grid (1-based record numbers).
  virtual int GetRecNo();
  virtual int FindBookmark(const TBookmarkStr& Bookmark);
  virtual void SetRecNo(int Value);
  virtual bool IsSequenced();
  virtual int RecordCount();
  // All values, old values, running sums and counts become 0, then SumListChanged.
  virtual void ClearSums();
  // The one full pass; leaves the dataset on its first record.
  virtual void RecalcAll();
  // The kept bookmarks of the records (virtual records).
  const std::vector<TBookmarkStr>& Bookmarks() const { return bookmarks_; }

  TNotifyEvent OnRecalcAll;
  TNotifyEvent OnAfterRecalcAll;
  TNotifyEvent SumListChanged;

 protected:
  virtual void DataSetAfterCancel(TDataSet* DataSet);
  virtual void DataSetAfterClose(TDataSet* DataSet);
  virtual void DataSetAfterEdit(TDataSet* DataSet);
  virtual void DataSetAfterInsert(TDataSet* DataSet);
  virtual void DataSetAfterOpen(TDataSet* DataSet);
  virtual void DataSetAfterPost(TDataSet* DataSet);
  virtual void DataSetAfterScroll(TDataSet* DataSet);
  virtual void DataSetBeforeDelete(TDataSet* DataSet);
  virtual void MasterAfterScroll(TDataSet* DataSet);
  virtual void Unhook();
  virtual void Hook();
  // Whether the owner's state lets the producer hook and compute (not loading, not designing
  // without the design-time flag).
  bool OwnerAllowsWork() const;
  bool OwnerLoading() const;
  bool OwnerDesigning() const;
  bool VirtualMode();
  void DoSumListChanged();
  bool designTimeWork_ = false;

 private:
  struct KeptEvents {
    TDataSetNotifyEvent AfterOpen, AfterClose, AfterInsert, AfterEdit, AfterPost, AfterCancel, BeforeDelete,
        AfterScroll;
  };
  void ReleaseBookmarks();
  void InsertPendingBookmark();
  void RecomputeAverage(TDBSum* Sum);

  TComponent* owner_;
  std::unique_ptr<TDBSumCollection> sumCollection_;
  TComponentRef<TDataSet> dataSet_;
  TComponentRef<TDataSet> master_;
  KeptEvents kept_;
  TDataSetNotifyEvent keptMasterAfterScroll_;
  bool active_ = true;
  bool externalRecalc_ = false;
  bool virtualRecords_ = false;
  bool hooked_ = false;
  bool recalculating_ = false;
  bool pendingInsert_ = false;
  bool lastFiltered_ = false;
  std::string lastFilter_;
  std::vector<TBookmarkStr> bookmarks_;
  int lastFound_ = -1;
};
