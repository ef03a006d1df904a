// Field and index definitions, parameters, the provider defaults and the master link.
#include <gtest/gtest.h>

#include "db/TestData.h"

TEST(FieldDefs, AddFindAndCreate) {
  TMemDataSet ds;
  TFieldDefs* defs = ds.FieldDefs();
  TFieldDef* name = defs->Add("NAME", ftString, 12, true);
  defs->Add("CODE", ftFixedChar, 3);
  defs->Add("AMOUNT", ftBCD, 2)->SetPrecision(10);
  EXPECT_EQ(defs->Count(), 3);
  EXPECT_EQ(defs->Find("name"), name);
  EXPECT_EQ(defs->IndexOf("amount"), 2);
  EXPECT_EQ(name->FieldNo(), 1);
  EXPECT_THROW(defs->Find("missing"), EDatabaseError);
  EXPECT_THROW(defs->Add("", ftString, 1), EDatabaseError);
  TField* f = defs->Find("CODE")->CreateField(&ds);
  auto* code = dynamic_cast<TStringField*>(f);
  ASSERT_NE(code, nullptr);
  EXPECT_TRUE(code->FixedChar());
  EXPECT_EQ(code->Size(), 3);
  EXPECT_EQ(code->DataSet(), &ds);
  auto* amount = dynamic_cast<TBCDField*>(defs->Find("AMOUNT")->CreateField(&ds));
  ASSERT_NE(amount, nullptr);
  EXPECT_EQ(amount->Precision(), 10);
  EXPECT_EQ(amount->Size(), 2);
  EXPECT_EQ(DefaultFieldClass(ftCursor), nullptr);
  EXPECT_EQ(FieldTypeName(ftOraClob), "OraClob");
  TFieldDef* unknown = defs->Add("CUR", ftCursor);
  EXPECT_THROW(unknown->CreateField(&ds), EDatabaseError);
}

TEST(FieldDefs, FixedCharValuesAreTrimmed) {
  TMemDataSet ds;
  ds.FieldDefs()->Add("CODE", ftFixedChar, 5);
  ds.AddRow({"ab   "});
  ds.Open();
  EXPECT_EQ(ds.FieldByName("CODE")->AsString(), "ab");
}

TEST(Params, ValuesAndLookup) {
  TParams params;
  TParam* sid = params.CreateParam(ftUnknown, "SID", ptInput);
  sid->SetValue(42);
  EXPECT_EQ(sid->DataType(), ftInteger);
  EXPECT_TRUE(sid->Bound());
  TParam* addr = params.CreateParam(ftString, "ADDR", ptInput);
  addr->SetAsString("0000ABCD");
  EXPECT_EQ(params.ParamByName("addr")->AsString(), "0000ABCD");
  EXPECT_EQ(params.FindParam("nothing"), nullptr);
  try {
    params.ParamByName("nothing");
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Parameter 'nothing' not found");
  }
  const TVariant both = params.ParamValues("SID;ADDR");
  ASSERT_TRUE(both.IsArray());
  EXPECT_EQ(both.GetElement(0).AsInteger(), 42);
  params.SetParamValues("SID;ADDR", VarArrayOf({7, "x"}));
  EXPECT_EQ(sid->AsInteger(), 7);
  EXPECT_EQ(addr->AsString(), "x");
  addr->Clear();
  EXPECT_TRUE(addr->IsNull());
  EXPECT_EQ(addr->AsString(), "");
  TParams copy;
  copy.Assign(&params);
  EXPECT_EQ(copy.Count(), 2);
  EXPECT_EQ(copy.ParamByName("SID")->AsInteger(), 7);
}

TEST(Params, FromFields) {
  TMemDataSet ds;
  DefinePeople(&ds, 1);
  ds.Open();
  TParams params;
  auto* p = static_cast<TParam*>(params.Add());
  p->AssignField(ds.FieldByName("NAME"));
  EXPECT_EQ(p->Name(), "NAME");
  EXPECT_EQ(p->DataType(), ftString);
  EXPECT_EQ(p->Size(), 20);
  EXPECT_EQ(p->AsString(), "Name1");
}

TEST(IndexDefs, FindByNameAndFields) {
  TIndexDefs defs;
  defs.Add("PK", "ID", {ixPrimary, ixUnique});
  defs.Add("BY_NAME", "NAME;ID", {});
  EXPECT_TRUE(defs.Find("pk")->Options().Contains(ixPrimary));
  EXPECT_EQ(defs.FindIndexForFields("name;id")->Name(), "BY_NAME");
  EXPECT_EQ(defs.FindIndexForFields("X"), nullptr);
  EXPECT_THROW(defs.Add("pk", "X", {}), EDatabaseError);
  EXPECT_THROW(defs.Find("none"), EDatabaseError);
}

TEST(Provider, Defaults) {
  TMemDataSet ds;
  DefinePeople(&ds, 1);
  ds.Open();
  IProviderSupport* provider = &ds;
  EXPECT_FALSE(provider->PSIsSQLBased());
  EXPECT_EQ(provider->PSGetKeyFields(), "");
  ds.FieldByName("ID")->SetProviderFlags({pfInUpdate, pfInWhere, pfInKey});
  ds.FieldByName("NAME")->SetProviderFlags({pfInKey});
  EXPECT_EQ(provider->PSGetKeyFields(), "ID;NAME");
  EXPECT_THROW(provider->PSExecuteStatement("delete from t", nullptr, nullptr), EDatabaseError);
  EXPECT_EQ(provider->PSGetDefaultOrder(), nullptr);
}

TEST(MasterLink, FollowsTheMaster) {
  TMemDataSet master, detail;
  DefinePeople(&master, 3);
  DefinePeople(&detail, 1);
  TDataSource source(nullptr);
  source.SetDataSet(&master);
  TMasterDataLink link(&detail);
  link.SetFieldNames("ID;");
  std::vector<int> seen;
  link.OnMasterChange = [&](TObject*) {
    seen.push_back(master.Active() ? master.FieldByName("ID")->AsInteger() : 0);
  };
  int disabled = 0;
  link.OnMasterDisable = [&](TObject*) { ++disabled; };
  link.SetDataSource(&source);
  master.Open();
  master.Next();
  master.Next();
  master.Edit();
  master.FieldByName("NAME")->SetAsString("not a key");
  master.FieldByName("ID")->SetAsInteger(30);
  master.Cancel();
  ASSERT_EQ(link.Fields().size(), 1u);
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 3, 30, 3}));
  master.Close();
  EXPECT_EQ(disabled, 1);
}

TEST(FieldNames, CompareWithoutRegardToCase) {
  EXPECT_TRUE(SameFieldName("hash_value", "HASH_VALUE"));
  EXPECT_TRUE(SameFieldName("имя", "ИМЯ"));
  EXPECT_FALSE(SameFieldName("NAME", "NAMES"));
  EXPECT_FALSE(SameFieldName("ИМЯ", "ИМЕ"));
  TMemDataSet ds;
  ds.FieldDefs()->Add("ИМЯ", ftString, 10);
  ds.AddRow({"x"});
  ds.Open();
  EXPECT_EQ(ds.FieldByName("имя")->AsString(), "x");
}
