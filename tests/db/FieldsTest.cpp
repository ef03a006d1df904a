// Fields: conversions and their errors, texts and formats, text and validation events, persistent,
// calculated and lookup fields, blobs and old values.
#include <gtest/gtest.h>

#include "db/TestData.h"
#include "rtl/MessageOf.h"

class Fields : public ::testing::Test {
 protected:
  void SetUp() override {
    guard = std::make_unique<TFormatSettingsGuard>(EnglishFormatSettings());
    DefinePeople(&ds, 3);
  }
  std::unique_ptr<TFormatSettingsGuard> guard;
  TMemDataSet ds;
};

TEST_F(Fields, DefaultFieldsFromDefinitions) {
  ds.Open();
  ASSERT_EQ(ds.FieldCount(), 5);
  EXPECT_TRUE(ds.DefaultFields());
  EXPECT_STREQ(ds.FieldByName("ID")->ClassName().c_str(), "TIntegerField");
  EXPECT_STREQ(ds.FieldByName("NAME")->ClassName().c_str(), "TStringField");
  EXPECT_EQ(ds.FieldByName("NAME")->Size(), 20);
  EXPECT_EQ(ds.FieldByName("NAME")->DataSize(), 81) << "twenty characters of UTF-8 and a NUL";
  EXPECT_EQ(ds.FieldByName("BORN")->DataType(), ftDate);
  EXPECT_TRUE(ds.FieldByName("ID")->Required());
  EXPECT_EQ(ds.FieldByName("PRICE")->FieldNo(), 3);
  EXPECT_EQ(ds.FieldByName("PRICE")->Index(), 2);
  EXPECT_EQ(ds.FieldByName("PRICE")->Alignment(), taRightJustify);
  EXPECT_EQ(ds.FindField("nothing"), nullptr);
  EXPECT_EQ(MessageOf([&] { ds.FieldByName("nothing"); }), "Field 'nothing' not found");
}

TEST_F(Fields, ReadingConversions) {
  ds.Open();
  ds.Next();
  TField* id = ds.FieldByName("ID");
  TField* name = ds.FieldByName("NAME");
  TField* price = ds.FieldByName("PRICE");
  TField* born = ds.FieldByName("BORN");
  TField* active = ds.FieldByName("ACTIVE");
  EXPECT_EQ(id->AsString(), "2");
  EXPECT_DOUBLE_EQ(id->AsFloat(), 2.0);
  EXPECT_EQ(id->Value(), TVariant(2));
  EXPECT_EQ(price->AsString(), "3");
  EXPECT_EQ(price->AsInteger(), 3);
  EXPECT_DOUBLE_EQ(born->AsDateTime(), EncodeDate(2020, 1, 2));
  EXPECT_EQ(born->AsString(), "1/2/2020");
  EXPECT_TRUE(active->AsBoolean());
  EXPECT_EQ(active->AsString(), "True");
  EXPECT_EQ(name->Value().AsString(), "Name2");
  EXPECT_EQ(MessageOf([&] { name->AsInteger(); }), "'Name2' is not a valid integer value for field 'NAME'");
  EXPECT_EQ(MessageOf([&] { active->AsDateTime(); }), "Cannot access field 'ACTIVE' as type DateTime");
}

TEST_F(Fields, WritingConversionsAndErrors) {
  ds.Open();
  ds.Edit();
  TField* id = ds.FieldByName("ID");
  TField* name = ds.FieldByName("NAME");
  TField* price = ds.FieldByName("PRICE");
  TField* born = ds.FieldByName("BORN");
  TField* active = ds.FieldByName("ACTIVE");
  id->SetAsString(" 42 ");
  EXPECT_EQ(id->AsInteger(), 42);
  EXPECT_EQ(MessageOf([&] { id->SetAsString("4x"); }), "'4x' is not a valid integer value for field 'ID'");
  EXPECT_EQ(
      MessageOf([&] { id->SetAsFloat(3e10); }),
      "30000000000 is not a valid value for field 'ID'. The allowed range is -2147483648 to 2147483647");
  id->SetAsFloat(2.6);
  EXPECT_EQ(id->AsInteger(), 3);
  id->SetValue("17");
  EXPECT_EQ(id->AsInteger(), 17);
  id->SetAsString("");
  EXPECT_TRUE(id->IsNull());
  price->SetAsString("2.25");
  EXPECT_DOUBLE_EQ(price->AsFloat(), 2.25);
  EXPECT_EQ(MessageOf([&] { price->SetAsString("2,2.5"); }),
            "'2,2.5' is not a valid floating point value for field 'PRICE'");
  active->SetAsString("f");
  EXPECT_FALSE(active->AsBoolean());
  active->SetAsString("TRUE");
  EXPECT_TRUE(active->AsBoolean());
  EXPECT_EQ(MessageOf([&] { active->SetAsString("maybe"); }),
            "'maybe' is not a valid boolean value for field 'ACTIVE'");
  born->SetAsString("3/4/2021");
  EXPECT_DOUBLE_EQ(born->AsDateTime(), EncodeDate(2021, 3, 4));
  born->SetAsDateTime(EncodeDateTime(2021, 3, 4, 15, 30, 0, 0));
  EXPECT_DOUBLE_EQ(born->AsDateTime(), EncodeDate(2021, 3, 4)) << "a date field keeps the date";
  EXPECT_THROW(born->SetAsString("31/31/2021"), EConvertError);
  name->SetAsString("Ёлки-палки, ёлки-пал");
  EXPECT_EQ(name->AsString(), "Ёлки-палки, ёлки-пал") << "twenty characters of forty bytes fit";
  EXPECT_EQ(MessageOf([&] { name->SetAsString("A name that is longer than twenty"); }),
            "Field 'NAME' cannot hold 33 characters: its size is 20");
  EXPECT_EQ(MessageOf([&] { name->SetAsString("Ёлки-палки, ёлки-палки"); }),
            "Field 'NAME' cannot hold 22 characters: its size is 20");
  EXPECT_EQ(name->AsString(), "Ёлки-палки, ёлки-пал") << "a refused text changes nothing";
  name->SetValue(TVariant::MakeNull());
  EXPECT_TRUE(name->IsNull());
  EXPECT_TRUE(name->Value().IsNull());
  ds.Cancel();
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 1);
}

TEST_F(Fields, RangesOfSmallTypes) {
  ds.FieldDefs()->Add("SMALL", ftSmallint);
  ds.FieldDefs()->Add("WORD", ftWord);
  ds.FieldDefs()->Add("BIG", ftLargeint);
  ds.FieldDefs()->Add("MONEY", ftBCD, 2);
  ds.Open();
  ds.Edit();
  TField* small = ds.FieldByName("SMALL");
  small->SetAsInteger(-32768);
  EXPECT_EQ(small->AsInteger(), -32768);
  EXPECT_THROW(small->SetAsInteger(32768), EDatabaseError);
  EXPECT_THROW(ds.FieldByName("WORD")->SetAsInteger(-1), EDatabaseError);
  auto* limited = static_cast<TIntegerField*>(ds.FieldByName("ID"));
  limited->SetMinValue(1);
  limited->SetMaxValue(10);
  EXPECT_EQ(MessageOf([&] { limited->SetAsInteger(11); }),
            "11 is not a valid value for field 'ID'. The allowed range is 1 to 10");
  ds.FieldByName("BIG")->SetAsString("9000000000");
  EXPECT_EQ(ds.FieldByName("BIG")->AsLargeInt(), 9000000000LL);
  EXPECT_THROW(ds.FieldByName("BIG")->AsInteger(), EDatabaseError);
  ds.FieldByName("MONEY")->SetAsString("12.34");
  EXPECT_EQ(ds.FieldByName("MONEY")->AsCurrency(), Currency::FromScaled(123400));
  EXPECT_EQ(ds.FieldByName("MONEY")->AsString(), "12.34");
  ds.Cancel();
}

TEST_F(Fields, DisplayAndEditFormats) {
  ds.Open();
  ds.Last();
  auto* price = static_cast<TFloatField*>(ds.FieldByName("PRICE"));
  EXPECT_EQ(price->DisplayText(), "4.5");
  price->SetDisplayFormat("0.00");
  EXPECT_EQ(price->DisplayText(), "4.50");
  EXPECT_EQ(price->Text(), "4.50") << "no edit format: the display format";
  price->SetEditFormat("0.###");
  EXPECT_EQ(price->Text(), "4.5");
  price->SetDisplayFormat("#,##0.00");
  ds.Edit();
  price->SetAsFloat(1234567.891);
  EXPECT_EQ(price->DisplayText(), "1,234,567.89");
  price->SetDisplayFormat("0.##");
  price->SetAsFloat(2);
  EXPECT_EQ(price->DisplayText(), "2");
  price->SetCurrency(true);
  price->SetDisplayFormat("");
  price->SetEditFormat("");
  EXPECT_EQ(price->DisplayText(), "$2.00");
  EXPECT_EQ(price->Text(), "2.00");
  ds.Cancel();
  auto* born = static_cast<TDateTimeField*>(ds.FieldByName("BORN"));
  born->SetDisplayFormat("dd.mm.yyyy");
  EXPECT_EQ(born->DisplayText(), "03.01.2020");
  EXPECT_EQ(born->Text(), "1/3/2020");
  auto* id = static_cast<TIntegerField*>(ds.FieldByName("ID"));
  id->SetDisplayFormat("000");
  EXPECT_EQ(id->DisplayText(), "003");
  auto* active = static_cast<TBooleanField*>(ds.FieldByName("ACTIVE"));
  active->SetDisplayValues("Да;Нет");
  EXPECT_EQ(active->DisplayText(), "Нет");
  ds.Edit();
  active->SetText("да");
  EXPECT_TRUE(active->AsBoolean());
  ds.Cancel();
  TFormatSettingsGuard russian(RussianFormatSettings());
  price->SetDisplayFormat("#,##0.00");
  EXPECT_EQ(price->DisplayText(), "4,50");
}

TEST_F(Fields, TextEvents) {
  ds.Open();
  TField* name = ds.FieldByName("NAME");
  name->OnGetText = [](TField* f, std::string& text, bool display) {
    text = (display ? "<" : "[") + f->AsString() + (display ? ">" : "]");
  };
  EXPECT_EQ(name->DisplayText(), "<Name1>");
  EXPECT_EQ(name->Text(), "[Name1]");
  name->OnSetText = [](TField* f, const std::string& text) { f->SetAsString(UpperCase(text)); };
  ds.Edit();
  name->SetText("shout");
  EXPECT_EQ(name->AsString(), "SHOUT");
  ds.Cancel();
}

TEST_F(Fields, ValidateSeesTheNewValueAndCanReject) {
  ds.Open();
  TField* price = ds.FieldByName("PRICE");
  std::vector<double> seen;
  price->OnValidate = [&](TField* f) {
    seen.push_back(f->AsFloat());
    if (f->AsFloat() < 0) throw EDatabaseError("negative price");
  };
  ds.Edit();
  price->SetAsFloat(7);
  EXPECT_EQ(MessageOf([&] { price->SetAsFloat(-1); }), "negative price");
  EXPECT_DOUBLE_EQ(price->AsFloat(), 7) << "the rejected value is not stored";
  EXPECT_EQ(seen, (std::vector<double>{7, -1}));
  int changes = 0;
  price->OnChange = [&](TField*) { ++changes; };
  price->SetAsFloat(8);
  EXPECT_EQ(changes, 1);
  ds.Post();
  EXPECT_DOUBLE_EQ(price->AsFloat(), 8);
}

TEST_F(Fields, PersistentFieldsAndTheirChecks) {
  auto* id = new TIntegerField(&ds);
  id->SetFieldName("ID");
  id->SetDataSet(&ds);
  auto* name = new TStringField(&ds);
  name->SetFieldName("NAME");
  name->SetSize(4);
  name->SetDataSet(&ds);
  ds.Open();
  EXPECT_FALSE(ds.DefaultFields());
  EXPECT_EQ(ds.FieldCount(), 2);
  EXPECT_EQ(name->AsString(), "Name") << "a narrower field cuts values";
  EXPECT_THROW(name->SetDataSet(nullptr), EDatabaseError) << "open";
  ds.Close();
  EXPECT_EQ(ds.FieldCount(), 2) << "persistent fields stay";
  auto* wrong = new TFloatField(&ds);
  wrong->SetFieldName("NAME2");
  wrong->SetDataSet(&ds);
  EXPECT_THROW(wrong->SetFieldName("name"), EDatabaseError);
  delete wrong;
  name->SetDataSet(nullptr);
  auto* mismatch = new TFloatField(&ds);
  mismatch->SetFieldName("NAME");
  mismatch->SetDataSet(&ds);
  EXPECT_EQ(MessageOf([&] { ds.Open(); }), "Type mismatch for field 'NAME', expecting: Float actual: String");
  EXPECT_FALSE(ds.Active());
  delete name;
}

TEST_F(Fields, CalculatedFields) {
  auto* id = new TIntegerField(&ds);
  id->SetFieldName("ID");
  id->SetDataSet(&ds);
  auto* price = new TFloatField(&ds);
  price->SetFieldName("PRICE");
  price->SetDataSet(&ds);
  auto* total = new TFloatField(&ds);
  total->SetFieldName("TOTAL");
  total->SetFieldKind(fkCalculated);
  total->SetDataSet(&ds);
  std::vector<TDataSetState> states;
  ds.OnCalcFields = [&](TDataSet* d) {
    states.push_back(d->State());
    d->FieldByName("TOTAL")->SetAsFloat(d->FieldByName("PRICE")->AsFloat() * 10);
  };
  ds.Open();
  EXPECT_GT(ds.CalcFieldsSize(), 0);
  EXPECT_TRUE(total->Calculated());
  EXPECT_EQ(total->FieldNo(), -1);
  EXPECT_DOUBLE_EQ(total->AsFloat(), 15);
  ASSERT_FALSE(states.empty());
  for (TDataSetState s : states) EXPECT_EQ(s, dsCalcFields);
  ds.Next();
  EXPECT_DOUBLE_EQ(total->AsFloat(), 30);
  EXPECT_FALSE(total->CanModify());
  ds.Edit();
  price->SetAsFloat(1);
  EXPECT_DOUBLE_EQ(total->AsFloat(), 10) << "AutoCalcFields recalculates on edit";
  ds.SetAutoCalcFields(false);
  price->SetAsFloat(2);
  EXPECT_DOUBLE_EQ(total->AsFloat(), 10);
  ds.Cancel();
  EXPECT_DOUBLE_EQ(total->AsFloat(), 30);
  ds.Close();
  ds.OnCalcFields = [](TDataSet* d) { d->FieldByName("PRICE")->SetAsFloat(0); };
  EXPECT_THROW(ds.Open(), EDatabaseError) << "data fields are not written while calculating";
}

TEST_F(Fields, LookupFields) {
  TMemDataSet colors;
  colors.FieldDefs()->Add("CODE", ftInteger);
  colors.FieldDefs()->Add("TITLE", ftString, 10);
  colors.AddRow({1, "odd"});
  colors.AddRow({0, "even"});
  ds.FieldDefs()->Add("PARITY", ftInteger);
  ds.ClearRows();
  for (int i = 1; i <= 3; ++i) ds.AddRow({i, "n", 0.0, TVariant::MakeNull(), false, i % 2});
  for (int i = 0; i < ds.FieldDefs()->Count(); ++i) ds.FieldDefs()->Items(i)->CreateField(&ds);
  auto* title = new TStringField(&ds);
  title->SetFieldName("COLOR");
  title->SetSize(10);
  title->SetFieldKind(fkLookup);
  title->SetLookupDataSet(&colors);
  title->SetKeyFields("PARITY");
  title->SetLookupKeyFields("CODE");
  title->SetLookupResultField("TITLE");
  title->SetDataSet(&ds);
  ds.Open();
  EXPECT_TRUE(colors.Active()) << "binding opens the lookup dataset";
  EXPECT_EQ(title->AsString(), "odd");
  ds.Next();
  EXPECT_EQ(title->AsString(), "even");
  EXPECT_TRUE(title->Lookup());
  ds.Edit();
  ds.FieldByName("PARITY")->SetAsInteger(1);
  EXPECT_EQ(title->AsString(), "odd");
  ds.FieldByName("PARITY")->SetAsInteger(7);
  EXPECT_TRUE(title->IsNull());
  ds.Cancel();
  ds.Close();
  auto* broken = new TStringField(&ds);
  broken->SetFieldName("BROKEN");
  broken->SetFieldKind(fkLookup);
  broken->SetDataSet(&ds);
  EXPECT_EQ(MessageOf([&] { ds.Open(); }), "Lookup information for field 'BROKEN' is incomplete");
  delete broken;
}

TEST_F(Fields, BlobFields) {
  ds.FieldDefs()->Add("NOTES", ftMemo);
  ds.FieldDefs()->Add("DATA", ftBlob);
  ds.Open();
  auto* notes = static_cast<TMemoField*>(ds.FieldByName("NOTES"));
  auto* data = static_cast<TBlobField*>(ds.FieldByName("DATA"));
  EXPECT_TRUE(notes->IsBlob());
  EXPECT_TRUE(notes->IsNull());
  EXPECT_EQ(notes->DisplayText(), "(memo)");
  EXPECT_THROW(notes->SetAsString("x"), EDatabaseError) << "not editing";
  ds.Edit();
  notes->SetAsString("long text");
  EXPECT_TRUE(notes->Modified());
  data->SetAsString(std::string("\0\1\2", 3));
  ds.Post();
  EXPECT_FALSE(notes->Modified());
  EXPECT_EQ(notes->AsString(), "long text");
  EXPECT_EQ(notes->DisplayText(), "(MEMO)");
  EXPECT_EQ(data->BlobSize(), 3);
  EXPECT_EQ(notes->Value().AsString(), "long text");
  TVariant bytes = data->Value();
  ASSERT_TRUE(bytes.IsArray());
  EXPECT_EQ(bytes.Bytes(), std::string("\0\1\2", 3));
  ds.Edit();
  notes->Clear();
  EXPECT_TRUE(notes->IsNull());
  ds.Cancel();
  EXPECT_EQ(notes->AsString(), "long text");
  ds.Next();
  EXPECT_TRUE(notes->IsNull());
}

TEST_F(Fields, OldValueDuringEdit) {
  ds.Open();
  ds.Next();
  ds.Edit();
  ds.FieldByName("NAME")->SetAsString("new");
  EXPECT_EQ(ds.FieldByName("NAME")->OldValue().AsString(), "Name2");
  EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "new");
  EXPECT_EQ(ds.State(), dsEdit);
  ds.Cancel();
  ds.Insert();
  EXPECT_TRUE(ds.FieldByName("NAME")->OldValue().IsNull()) << "a new record has no old values";
  ds.Cancel();
}

TEST_F(Fields, FieldPropertiesNotifyLinks) {
  TDataSource source(nullptr);
  source.SetDataSet(&ds);
  TRecordingLink link(nullptr);
  link.SetDataSource(&source);
  ds.Open();
  const int layout = link.layout;
  TField* name = ds.FieldByName("NAME");
  name->SetDisplayLabel("Имя");
  name->SetVisible(false);
  EXPECT_EQ(link.layout, layout + 2);
  EXPECT_EQ(name->DisplayName(), "Имя");
  EXPECT_EQ(name->DisplayWidth(), 20);
  name->SetIndex(0);
  EXPECT_EQ(ds.Fields()->Fields(0), name);
}

TEST(FieldChars, NumericEntry) {
  TIntegerField f(nullptr);
  EXPECT_TRUE(f.IsValidChar('7'));
  EXPECT_TRUE(f.IsValidChar('-'));
  EXPECT_FALSE(f.IsValidChar('a'));
  TStringField s(nullptr);
  EXPECT_TRUE(s.IsValidChar(U'ж'));
  TFloatField d(nullptr);
  EXPECT_TRUE(d.IsValidChar('.'));
  EXPECT_FALSE(d.IsValidChar('x'));
}

TEST(ExtractFieldNames, SplitsOnSemicolons) {
  const std::string list = " SERIAL ;SID;";
  int pos = 1;
  EXPECT_EQ(ExtractFieldName(list, pos), "SERIAL");
  EXPECT_EQ(ExtractFieldName(list, pos), "SID");
  EXPECT_GT(pos, static_cast<int>(list.size()));
}

TEST_F(Fields, TimesAndBytes) {
  ds.FieldDefs()->Add("AT", ftTime);
  ds.FieldDefs()->Add("STAMP", ftDateTime);
  ds.FieldDefs()->Add("RAW", ftBytes, 4);
  ds.FieldDefs()->Add("VAR", ftVarBytes, 6);
  ds.Open();
  ds.Edit();
  TField* at = ds.FieldByName("AT");
  TField* stamp = ds.FieldByName("STAMP");
  at->SetAsString("13:45:10");
  EXPECT_DOUBLE_EQ(at->AsDateTime(), EncodeTime(13, 45, 10, 0));
  EXPECT_EQ(at->AsString(), "1:45:10 PM");
  const TDateTime t = EncodeDateTime(2026, 12, 6, 23, 59, 58, 123);
  stamp->SetAsDateTime(t);
  EXPECT_NEAR(stamp->AsDateTime(), t, 1e-9) << "milliseconds survive the native format";
  EXPECT_EQ(stamp->Value().VarType(), varDate);
  TField* raw = ds.FieldByName("RAW");
  raw->SetAsString(std::string("\x01\x02", 2));
  EXPECT_EQ(raw->AsString(), std::string("\x01\x02\x00\x00", 4)) << "fixed length";
  EXPECT_EQ(raw->DisplayText(), "(BYTES)");
  TField* var = ds.FieldByName("VAR");
  var->SetAsString("abc");
  EXPECT_EQ(var->AsString(), "abc");
  TVariant bytes = var->Value();
  ASSERT_TRUE(bytes.IsArray());
  EXPECT_EQ(bytes.Bytes(), "abc");
  EXPECT_THROW(var->SetAsString("too long"), EDatabaseError);
  ds.Post();
  EXPECT_EQ(var->AsString(), "abc");
}

namespace {
// A dataset that follows a master data source.
class TDetailDataSet : public TMemDataSet {
 public:
  TDataSource* master = nullptr;
  TDataSource* GetDataSource() const override { return master; }
};
}  // namespace

TEST(DataSourceLinks, CircularLinksAreRefused) {
  TDetailDataSet a, b;
  TDataSource sa(nullptr), sb(nullptr);
  sa.SetDataSet(&a);
  b.master = &sa;
  sb.SetDataSet(&b);
  a.master = &sb;
  EXPECT_TRUE(a.IsLinkedTo(&sa));
  TDataSource other(nullptr);
  other.SetDataSet(&b);
  EXPECT_EQ(other.DataSet(), &b);
  TDetailDataSet c;
  c.master = &other;
  TDataSource sc(nullptr);
  sc.SetDataSet(&c);
  b.master = &sc;
  TDataSource loop(nullptr);
  EXPECT_FALSE(loop.IsLinkedTo(&c)) << "an existing loop of masters ends the search";
  EXPECT_FALSE(c.IsLinkedTo(&loop));
  EXPECT_THROW(other.SetDataSet(&c), EDatabaseError) << "c follows other";
}

TEST_F(Fields, FreeingAFieldOfAnOpenDatasetClosesIt) {
  auto* id = new TIntegerField(nullptr);
  id->SetFieldName("ID");
  id->SetDataSet(&ds);
  auto* name = new TStringField(nullptr);
  name->SetFieldName("NAME");
  name->SetDataSet(&ds);
  ds.Open();
  delete name;
  EXPECT_FALSE(ds.Active()) << "no record layout may refer to a freed field";
  EXPECT_EQ(ds.FieldCount(), 1);
  ds.Open();
  EXPECT_EQ(id->AsInteger(), 1);
}
