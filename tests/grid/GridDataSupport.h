// A dataset of people with a department look-up, shared by the grid tests.
#pragma once

#include "db/MemDataSet.h"

namespace gridtest {

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
    deptName = new TStringField(&ds);
    deptName->SetFieldName("DEPT_NAME");
    deptName->SetSize(20);
    deptName->SetFieldKind(fkLookup);
    deptName->SetLookupDataSet(&depts);
    deptName->SetKeyFields("DEPT");
    deptName->SetLookupKeyFields("DEPT_ID");
    deptName->SetLookupResultField("DNAME");
    deptName->SetDataSet(&ds);
    source.SetDataSet(&ds);
    ds.Open();
  }
  TField* F(const char* name) { return ds.FieldByName(name); }
};

}  // namespace gridtest
