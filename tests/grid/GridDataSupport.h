// A dataset of people with a department look-up, shared by the grid tests.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>

#include "db/MemDataSet.h"
#include "grid/DBGridEx.h"

namespace gridtest {

// A memory table of numbered sessions: every record is a row of the grid, and while the grid draws a
// row the fields read that row's values (MemTableSetActiveRow) without moving the cursor.
class TPresentedSessions : public TMemDataSet, public IMemTableEx {
 public:
  explicit TPresentedSessions(int Rows) {
    FieldDefs()->Add("N", ftInteger);
    FieldDefs()->Add("NAME", ftString, 30);
    for (int i = 1; i <= Rows; ++i) AddRow({i, Name(i)});
  }
  static std::string Name(int N) { return "Строка " + std::to_string(N); }
  int MemTableRecordCount() override { return std::min(fetched, RowCount()); }
  int MemTableRecordIndex() override { return RecNo() - 1; }
  void MemTableFetchRecords(int Count) override { fetched += Count; }
  int MemTableActiveRow() override { return presented; }
  void MemTableSetActiveRow(int Value) override { presented = Value; }
  bool GetFieldData(TField* Field, void* Buffer) override {
    if (presented < 0) return TMemDataSet::GetFieldData(Field, Buffer);
    const int n = presented + 1;
    if (Field->FieldName() == "N") {
      const std::int32_t v = n;
      if (Buffer) std::memcpy(Buffer, &v, sizeof v);
    } else if (Buffer) {
      const std::string s = Name(n);
      const size_t len = std::min(s.size(), static_cast<size_t>(Field->DataSize() - 1));
      std::memcpy(Buffer, s.data(), len);
      static_cast<char*>(Buffer)[len] = 0;
    }
    return true;
  }
  int fetched = 30;
  int presented = -1;
};

// Numbered sessions with a status: the key field KeyName, NAME (NamePrefix and the number, NameWidth
// characters wide) and STATUS, every third one ACTIVE and the others INACTIVE.
class TStatusSessions : public TMemDataSet {
 public:
  TStatusSessions(int Rows, const char* KeyName, const std::string& NamePrefix, int NameWidth) {
    FieldDefs()->Add(KeyName, ftInteger);
    FieldDefs()->Add("NAME", ftString, NameWidth);
    FieldDefs()->Add("STATUS", ftString, 10);
    for (int i = 1; i <= Rows; ++i)
      AddRow({i, NamePrefix + std::to_string(i), i % 3 == 0 ? "ACTIVE" : "INACTIVE"});
  }
};

// A memory table whose controls fail to come back: once failNextEnable is set, the next data change
// sent with the controls enabled (the one EnableControls sends) raises before any control hears it,
// as a fetch on a lost connection would.
class TEnableFailingDataSet : public TMemDataSet {
 public:
  void DataEvent(TDataEvent Event, intptr_t Info) override {
    if (failNextEnable && Event == deDataSetChange && !ControlsDisabled()) {
      failNextEnable = false;
      throw EDatabaseError("ORA-03114: not connected to ORACLE");
    }
    TMemDataSet::DataEvent(Event, Info);
  }
  bool failNextEnable = false;
};

// A string look-up field Name (Size characters) added to DataSet: KeyField of DataSet looked up by
// LookupKeyField in Lookup, showing its ResultField. DataSet owns it.
inline TField* AddLookupField(TDataSet* DataSet, const char* Name, int Size, const char* KeyField,
                              TDataSet* Lookup, const char* LookupKeyField, const char* ResultField) {
  auto* f = new TStringField(DataSet);
  f->SetFieldName(Name);
  f->SetSize(Size);
  f->SetFieldKind(fkLookup);
  f->SetLookupDataSet(Lookup);
  f->SetKeyFields(KeyField);
  f->SetLookupKeyFields(LookupKeyField);
  f->SetLookupResultField(ResultField);
  f->SetDataSet(DataSet);
  return f;
}

// A dataset of people with a look-up of their department's name.
struct People {
  TMemDataSet depts, ds;
  TDataSource source;
  TField* deptName = nullptr;
  People() : source(nullptr) {
    depts.FieldDefs()->Add("DEPT_ID", ftInteger);
    depts.FieldDefs()->Add("DNAME", ftString, 20);
    depts.AddRow({1, "Sales"});
    depts.AddRow({2, "Accounts"});
    depts.AddRow({3, "Research"});
    ds.FieldDefs()->Add("ID", ftInteger);
    ds.FieldDefs()->Add("NAME", ftString, 20);
    ds.FieldDefs()->Add("SALARY", ftFloat);
    ds.FieldDefs()->Add("ACTIVE", ftBoolean);
    ds.FieldDefs()->Add("FLAG", ftString, 5);
    ds.FieldDefs()->Add("DEPT", ftInteger);
    ds.FieldDefs()->Add("NOTES", ftMemo);
    ds.FieldDefs()->Add("PHOTO", ftBlob);
    ds.AddRow({1, "Ann", 1500.5, true, "yes", 1, "first", Null()});
    ds.AddRow({2, "Bob", Null(), Null(), "n", 3, Null(), Null()});
    ds.AddRow({3, "Cid", 700.0, false, "??", Null(), Null(), Null()});
    for (int i = 0; i < ds.FieldDefs()->Count(); ++i) ds.FieldDefs()->Items(i)->CreateField(&ds);
    deptName = AddLookupField(&ds, "DEPT_NAME", 20, "DEPT", &depts, "DEPT_ID", "DNAME");
    source.SetDataSet(&ds);
    ds.Open();
  }
  TField* F(const char* name) { return ds.FieldByName(name); }
};

}  // namespace gridtest
