// The dataset's protocols: the order of events and notifications of open, close, scrolling, the edit
// cycle and refresh; errors of the edit cycle and their error events.
#include <gtest/gtest.h>

#include "db/TestData.h"

using Strings = std::vector<std::string>;

class DataSetEvents : public ::testing::Test {
 protected:
  void SetUp() override {
    DefinePeople(&ds, 5);
    source.SetDataSet(&ds);
    link.SetDataSource(&source);
    log.Watch(&ds);
  }
  Strings Take() {
    Strings s = log.items;
    log.Clear();
    return s;
  }
  TMemDataSet ds;
  TDataSource source{nullptr};
  TEventLog log;
  TRecordingLink link{&log};
};

TEST_F(DataSetEvents, OpenAndClose) {
  ds.Open();
  EXPECT_EQ(Take(), (Strings{"BeforeOpen", "link:Active", "AfterOpen", "AfterScroll"}));
  EXPECT_EQ(ds.State(), dsBrowse);
  EXPECT_TRUE(ds.Bof());
  EXPECT_EQ(ds.FieldByName("id")->AsInteger(), 1);
  ds.Close();
  EXPECT_EQ(Take(), (Strings{"BeforeClose", "link:Inactive", "AfterClose"}));
  EXPECT_EQ(ds.State(), dsInactive);
  EXPECT_EQ(ds.FieldCount(), 0) << "default fields go with the cursor";
}

TEST_F(DataSetEvents, OpenEmptyFiresNoScroll) {
  ds.ClearRows();
  ds.Open();
  EXPECT_EQ(Take(), (Strings{"BeforeOpen", "link:Active", "AfterOpen"}));
  EXPECT_TRUE(ds.IsEmpty());
  EXPECT_TRUE(ds.Bof());
  EXPECT_TRUE(ds.Eof());
}

TEST_F(DataSetEvents, FailedOpenLeavesTheDatasetClosed) {
  ds.BeforeOpen = nullptr;
  TStringField* f = new TStringField(&ds);
  f->SetFieldName("MISSING");
  f->SetDataSet(&ds);
  EXPECT_THROW(ds.Open(), EDatabaseError);
  EXPECT_FALSE(ds.Active());
  EXPECT_EQ(ds.State(), dsInactive);
  delete f;
  ds.Open();
  EXPECT_TRUE(ds.Active());
}

TEST_F(DataSetEvents, ScrollingNotifiesOncePerMove) {
  ds.Open();
  Take();
  ds.Next();
  EXPECT_EQ(Take(), (Strings{"BeforeScroll", "link:Scrolled 1", "AfterScroll"}));
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 2);
  ds.Last();
  EXPECT_EQ(Take(), (Strings{"BeforeScroll", "link:Changed", "AfterScroll"}));
  EXPECT_TRUE(ds.Eof());
  ds.Next();
  EXPECT_EQ(Take(), (Strings{"BeforeScroll"})) << "no move at the end";
  ds.First();
  EXPECT_EQ(Take(), (Strings{"BeforeScroll", "link:Changed", "AfterScroll"}));
  EXPECT_EQ(ds.MoveBy(10), 4);
  EXPECT_TRUE(ds.Eof());
  EXPECT_EQ(ds.MoveBy(-2), -2);
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 3);
}

TEST_F(DataSetEvents, EditPost) {
  ds.Open();
  Take();
  ds.Edit();
  EXPECT_EQ(Take(), (Strings{"BeforeEdit", "link:Editing", "link:Record *", "AfterEdit"}));
  ds.FieldByName("NAME")->SetAsString("Changed");
  EXPECT_EQ(Take(), (Strings{"link:Record NAME"}));
  EXPECT_TRUE(ds.Modified());
  ds.Post();
  EXPECT_EQ(Take(),
            (Strings{"link:UpdateData", "BeforePost", "link:NotEditing", "link:Changed", "AfterPost"}));
  EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Changed");
  ds.Close();
  ds.Open();
  EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Changed") << "posted into the rows";
}

TEST_F(DataSetEvents, InsertCancel) {
  ds.Open();
  ds.Next();
  Take();
  ds.Insert();
  EXPECT_EQ(Take(), (Strings{"BeforeInsert", "BeforeScroll", "link:Editing", "OnNewRecord", "link:Changed",
                             "AfterInsert", "AfterScroll"}));
  EXPECT_EQ(ds.State(), dsInsert);
  EXPECT_TRUE(ds.FieldByName("ID")->IsNull());
  ds.Cancel();
  EXPECT_EQ(Take(), (Strings{"BeforeCancel", "BeforeScroll", "link:NotEditing", "link:Changed", "AfterCancel",
                             "AfterScroll"}));
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 2) << "back on the record the insert stood at";
  EXPECT_EQ(ds.RecordCount(), 5);
}

TEST_F(DataSetEvents, InsertPostGoesBeforeTheCurrentRecord) {
  ds.Open();
  ds.Next();
  ds.Insert();
  ds.FieldByName("ID")->SetAsInteger(100);
  Take();
  ds.Post();
  EXPECT_EQ(Take(),
            (Strings{"link:UpdateData", "BeforePost", "link:NotEditing", "link:Changed", "AfterPost"}));
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 100);
  EXPECT_EQ(ds.RecNo(), 2);
  ds.Next();
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 2);
  EXPECT_EQ(ds.RecordCount(), 6);
}

TEST_F(DataSetEvents, AppendAddsAtTheEnd) {
  ds.Open();
  Take();
  ds.Append();
  EXPECT_EQ(Take(), (Strings{"BeforeInsert", "BeforeScroll", "link:Editing", "OnNewRecord", "link:Changed",
                             "AfterInsert", "AfterScroll"}));
  ds.FieldByName("ID")->SetAsInteger(6);
  ds.Post();
  EXPECT_EQ(ds.RecNo(), 6);
  ds.First();
  ds.Last();
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 6);
}

TEST_F(DataSetEvents, EditOnAnEmptyDatasetInserts) {
  ds.ClearRows();
  ds.Open();
  ds.Edit();
  EXPECT_EQ(ds.State(), dsInsert);
  ds.FieldByName("ID")->SetAsInteger(1);
  ds.Post();
  EXPECT_EQ(ds.RecordCount(), 1);
  EXPECT_FALSE(ds.IsEmpty());
}

TEST_F(DataSetEvents, DeleteAndRefresh) {
  ds.Open();
  ds.Next();
  Take();
  ds.Delete();
  EXPECT_EQ(Take(), (Strings{"BeforeDelete", "BeforeScroll", "link:Changed", "AfterDelete", "AfterScroll"}));
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 3) << "the next record takes the place";
  ds.Refresh();
  EXPECT_EQ(Take(), (Strings{"BeforeRefresh", "link:Changed", "AfterRefresh"}));
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 1) << "a cursor before the first row resyncs to the first";
}

TEST_F(DataSetEvents, ScrollingEndsAPendingEdit) {
  ds.Open();
  ds.Edit();
  ds.FieldByName("NAME")->SetAsString("X");
  ds.Next();
  EXPECT_EQ(ds.State(), dsBrowse);
  ds.Prior();
  EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "X") << "modified: posted";
  ds.Edit();
  ds.Next();
  EXPECT_EQ(ds.State(), dsBrowse) << "unmodified: cancelled";
}

TEST_F(DataSetEvents, ClosedAndReadOnlyDatasetsRefuse) {
  EXPECT_THROW(ds.Next(), EDatabaseError);
  try {
    ds.Edit();
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Cannot perform this operation on a closed dataset");
  }
  ds.SetName("People");
  ds.SetReadOnly(true);
  ds.Open();
  try {
    ds.Edit();
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "People: Cannot modify a read-only dataset");
  }
  EXPECT_THROW(ds.Delete(), EDatabaseError);
  EXPECT_THROW(ds.Post(), EDatabaseError) << "not editing";
  EXPECT_THROW(ds.FieldByName("NAME")->SetAsString("x"), EDatabaseError);
  EXPECT_THROW(ds.FieldDefs()->Add("name", ftString, 5), EDatabaseError) << "duplicate definition";
}

TEST_F(DataSetEvents, RequiredFieldOnPostKeepsTheInsert) {
  ds.Open();
  ds.Append();
  ds.FieldByName("NAME")->SetAsString("nobody");
  try {
    ds.Post();
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Field 'ID' must have a value");
  }
  EXPECT_EQ(ds.State(), dsInsert);
  ds.FieldByName("ID")->SetAsInteger(7);
  ds.Post();
  EXPECT_EQ(ds.RecordCount(), 6);
}

TEST_F(DataSetEvents, PostErrorActions) {
  ds.Open();
  ds.Append();
  int calls = 0;
  ds.OnPostError = [&](TDataSet* d, EDatabaseError&, TDataAction& action) {
    ++calls;
    d->FieldByName("ID")->SetAsInteger(9);
    action = daRetry;
  };
  ds.Post();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(ds.State(), dsBrowse);
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 9);
  ds.Append();
  ds.OnPostError = [](TDataSet*, EDatabaseError&, TDataAction& action) { action = daAbort; };
  EXPECT_THROW(ds.Post(), EAbort);
  EXPECT_EQ(ds.State(), dsInsert);
  ds.Cancel();
}

TEST_F(DataSetEvents, AfterOpenHandlerMayNavigate) {
  ds.AfterOpen = [](TDataSet* d) { d->Last(); };
  ds.Open();
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 5);
}

TEST_F(DataSetEvents, OnNewRecordFailureDropsTheNewRecord) {
  ds.Open();
  ds.OnNewRecord = [](TDataSet*) { throw EDatabaseError("no"); };
  EXPECT_THROW(ds.Insert(), EDatabaseError);
  EXPECT_EQ(ds.State(), dsBrowse);
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 1);
  EXPECT_EQ(ds.RecordCount(), 5);
}

TEST_F(DataSetEvents, FilterRecordAndFilterText) {
  ds.OnFilterRecord = [](TDataSet* d, bool& accept) { accept = d->FieldByName("ACTIVE")->AsBoolean(); };
  ds.SetFiltered(true);
  ds.Open();
  EXPECT_EQ(ds.RecordCount(), 2);
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 2);
  std::vector<std::string> seen;
  ds.OnFilterText = [&](TMemDataSet* d, const std::string& filter) {
    seen.push_back(filter);
    return d->FieldByName("ID")->AsInteger() > 3;
  };
  ds.SetFilter("ID > 3");
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 4) << "the handler first, then the text";
  EXPECT_EQ(ds.RecordCount(), 1);
  for (const std::string& s : seen) EXPECT_EQ(s, "ID > 3");
  ds.SetFiltered(false);
  EXPECT_EQ(ds.RecordCount(), 5);
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 1);
}

TEST_F(DataSetEvents, LocateAndLookup) {
  ds.Open();
  EXPECT_TRUE(ds.Locate("NAME", "name3", {loCaseInsensitive}));
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 3);
  EXPECT_FALSE(ds.Locate("NAME", "name3", {}));
  EXPECT_TRUE(ds.Locate("NAME", "Name", {loPartialKey}));
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 1);
  ds.Last();
  const TVariant v = ds.Lookup("ID", 2, "NAME;PRICE");
  ASSERT_TRUE(v.IsArray());
  EXPECT_EQ(v.GetElement(0).AsString(), "Name2");
  EXPECT_DOUBLE_EQ(v.GetElement(1).AsDouble(), 3.0);
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 5) << "Lookup keeps the position";
  EXPECT_TRUE(ds.Lookup("ID", 42, "NAME").IsNull());
}

TEST_F(DataSetEvents, FieldValuesAndFieldLists) {
  ds.Open();
  const TVariant v = ds.FieldValues("ID;NAME;");
  ASSERT_TRUE(v.IsArray());
  EXPECT_EQ(v.ElementCount(), 2);
  EXPECT_EQ(ds.GetFieldList("NAME;ID;").size(), 2u) << "empty items are skipped";
  try {
    ds.GetFieldList("SERIAL;ID");
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Field 'SERIAL' not found");
  }
  ds.Edit();
  ds.SetFieldValues("NAME;PRICE", VarArrayOf({"pair", 2.5}));
  EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "pair");
  EXPECT_DOUBLE_EQ(ds.FieldByName("PRICE")->AsFloat(), 2.5);
  ds.Cancel();
  EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Name1");
}
