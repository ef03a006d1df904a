// Object, REF, XMLTYPE and collection columns of the Oracle dataset against the simulated instance:
// the field information an object column expands into, the fields it gets, the values read through
// the object's attributes, and the SQL value functions over object entries.
#include <gtest/gtest.h>

#include "tests/oracle_data/DataSetTestSupport.h"

using namespace oracle_data;

namespace {

class OracleDataObjectsTest : public OracleDataTest {
 protected:
  void MakeContacts() {
    Run(session.get(), "create type address_t as object (street varchar2(20), house number(5))");
    Run(session.get(), "create type phones_t as varray(3) of varchar2(10)");
    Run(session.get(),
        "create type person_t as object (name varchar2(10), addr address_t, phones phones_t, born date)");
    Run(session.get(), "create table people of person_t");
    Run(session.get(),
        "create table contacts (id number(5), who person_t, home ref person_t, doc xmltype, tags phones_t)");
    Run(session.get(),
        "insert into people values ('Ann', address_t('Main St', 12), phones_t('1'), "
        "to_date('2000-01-02', 'YYYY-MM-DD'))");
    Run(session.get(),
        "insert into contacts select 1, person_t('Ann', address_t('Main St', 12), phones_t('1', '2'), "
        "to_date('2000-01-02', 'YYYY-MM-DD')), ref(p), xmltype('<a>1</a>'), phones_t('x') from people p");
    Run(session.get(), "insert into contacts values (2, null, null, null, null)");
    Run(session.get(),
        "insert into contacts values (3, person_t('Bob', null, null, null), null, null, null)");
  }

  std::unique_ptr<TOracleDataSet> Contacts() {
    auto ds = DataSet("select id, who, home, doc, tags from contacts order by id");
    ds->Open();
    return ds;
  }

  static std::string FieldList(TDataSet* ds) {
    std::string s;
    for (TField* f : ds->Fields()->List()) s += (s.empty() ? "" : ",") + f->FieldName();
    return s;
  }
};

TEST_F(OracleDataObjectsTest, ObjectColumnsExpandIntoAttributeEntriesAndFields) {
  MakeContacts();
  auto ds = Contacts();
  TOracleFieldInfoList* info = ds->FieldInfo();
  std::string entries;
  for (int i = 0; i < info->Count(); ++i)
    entries += (i ? "," : "") + info->Items(i)->Name + ":" + IntToStr(info->Items(i)->Kind);
  EXPECT_EQ(entries,
            ":3,ID:0,WHO:1,WHO.NAME:2,WHO.ADDR:2,WHO.ADDR.STREET:2,WHO.ADDR.HOUSE:2,WHO.PHONES:2,WHO.BORN:2,"
            "HOME:0,DOC:0,TAGS:1")
      << "object and collection columns have no field of their own (kind 1)";
  // Objects and collections get no field; REF and XMLTYPE do.
  EXPECT_EQ(FieldList(ds.get()), "ID,WHO.NAME,WHO.ADDR.STREET,WHO.ADDR.HOUSE,WHO.BORN,HOME,DOC");

  TOracleFieldInfo* who = info->FindByName("WHO");
  EXPECT_EQ(who->OracleType, otObject);
  EXPECT_EQ(who->TypeName, "SCOTT.PERSON_T");
  EXPECT_FALSE(who->IsCollection);
  ASSERT_EQ(who->Children.size(), 4u);
  TOracleFieldInfo* house = info->FindByName("WHO.ADDR.HOUSE");
  EXPECT_EQ(house->ColumnName, "WHO");
  EXPECT_EQ(house->AttributeName, "ADDR.HOUSE");
  EXPECT_EQ(house->ColumnIndex, 1);
  EXPECT_EQ(house->AttributeIndex, 3);
  EXPECT_EQ(house->OracleType, otInteger);
  EXPECT_EQ(house->Precision, 5);
  EXPECT_EQ(house->Parent, info->FindByName("WHO.ADDR"));
  EXPECT_TRUE(info->FindByName("WHO.PHONES")->IsCollection);
  EXPECT_TRUE(info->FindByName("TAGS")->IsCollection);
  EXPECT_TRUE(info->FindByName("TAGS")->Children.empty());

  // Field types and numbers (a field's number is its entry's index).
  EXPECT_EQ(ds->FieldByName("WHO.NAME")->DataType(), ftString);
  EXPECT_EQ(ds->FieldByName("WHO.NAME")->Size(), 10);
  EXPECT_EQ(ds->FieldByName("WHO.ADDR.HOUSE")->DataType(), ftInteger);
  EXPECT_EQ(ds->FieldByName("WHO.BORN")->DataType(), ftDateTime);
  EXPECT_EQ(ds->FieldByName("WHO.NAME")->FieldNo(), 3);
  EXPECT_EQ(ds->FieldByName("HOME")->DataType(), ftString);
  EXPECT_EQ(ds->FieldByName("HOME")->Size(), 256);
  EXPECT_FALSE(ds->FieldByName("HOME")->Visible());
  TOracleFieldInfo* doc = info->FindByName("DOC");
  EXPECT_TRUE(doc->IsXMLType);
  EXPECT_EQ(doc->OracleType, otCLOB);
  EXPECT_EQ(ds->FieldByName("DOC")->DataType(), ftOraClob);
}

TEST_F(OracleDataObjectsTest, AttributeValuesAreReadThroughTheObject) {
  MakeContacts();
  auto ds = Contacts();
  ASSERT_EQ(ds->RecordCount(), 3);
  ds->First();
  EXPECT_EQ(ds->FieldByName("WHO.NAME")->AsString(), "Ann");
  EXPECT_EQ(ds->FieldByName("WHO.ADDR.STREET")->AsString(), "Main St");
  EXPECT_EQ(ds->FieldByName("WHO.ADDR.HOUSE")->AsInteger(), 12);
  EXPECT_EQ(ds->FieldByName("WHO.BORN")->AsDateTime(), EncodeDate(2000, 1, 2));
  EXPECT_EQ(ds->FieldByName("DOC")->AsString(), "<a>1</a>");
  // The REF reads as the text the query gives it.
  auto q = Query(session.get(), "select home from contacts where id = 1");
  q->Execute();
  const std::string hex = q->FieldAsString(0);
  EXPECT_FALSE(hex.empty());
  EXPECT_EQ(ds->FieldByName("HOME")->AsString(), hex);

  // A null object: every attribute null, the REF and the document too.
  ds->Next();
  for (const char* f : {"WHO.NAME", "WHO.ADDR.STREET", "WHO.ADDR.HOUSE", "WHO.BORN", "HOME", "DOC"})
    EXPECT_TRUE(ds->FieldByName(f)->IsNull()) << f;
  // A null embedded object: its attributes are null, the others are read.
  ds->Next();
  EXPECT_EQ(ds->FieldByName("WHO.NAME")->AsString(), "Bob");
  EXPECT_TRUE(ds->FieldByName("WHO.ADDR.STREET")->IsNull());
  EXPECT_TRUE(ds->FieldByName("WHO.ADDR.HOUSE")->IsNull());
  EXPECT_TRUE(ds->FieldByName("WHO.BORN")->IsNull());
}

TEST_F(OracleDataObjectsTest, AnObjectIsNullWhenEveryAttributeIs) {
  MakeContacts();
  auto ds = Contacts();
  TOracleFieldInfo* who = ds->FieldInfo()->FindByName("WHO");
  TOracleFieldInfo* addr = ds->FieldInfo()->FindByName("WHO.ADDR");
  ds->First();
  EXPECT_FALSE(who->IsNullNew());
  EXPECT_FALSE(who->IsNullOld());
  EXPECT_FALSE(addr->IsNullNew());
  ds->Next();
  EXPECT_TRUE(who->IsNullNew());
  EXPECT_TRUE(who->IsNullOld());
  ds->Next();
  EXPECT_FALSE(who->IsNullNew());
  EXPECT_TRUE(addr->IsNullNew());
}

TEST_F(OracleDataObjectsTest, EmptyObjectExpressionsFromTheDescribedType) {
  MakeContacts();
  auto ds = Contacts();
  session->Preferences()->SetNullObjectIsEmpty(true);
  EXPECT_EQ(ds->FieldInfo()->FindByName("WHO")->ValueExpression(false),
            "SCOTT.PERSON_T(null, SCOTT.ADDRESS_T(null, null), SCOTT.PHONES_T(), null)");
  EXPECT_EQ(ds->FieldInfo()->FindByName("DOC")->ValueExpression(false), "null");
  session->Preferences()->SetNullObjectIsEmpty(false);
}

TEST_F(OracleDataObjectsTest, LazyFetchingAndRefreshWithObjectColumns) {
  MakeContacts();
  auto ds = DataSet("select id, who from contacts order by id");
  ds->SetQueryAllRecords(false);
  ds->SetReadBuffer(1);
  ds->Open();
  EXPECT_EQ(ds->FieldByName("WHO.NAME")->AsString(), "Ann");
  ds->Last();
  EXPECT_EQ(ds->FieldByName("WHO.NAME")->AsString(), "Bob");
  Run(session.get(), "update contacts set who = person_t('Cid', null, null, null) where id = 2");
  ds->Refresh();
  ds->Next();
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 2);
  EXPECT_EQ(ds->FieldByName("WHO.NAME")->AsString(), "Cid");
}

TEST_F(OracleDataObjectsTest, ObjectTableRowsAndCollectionsOfTheirOwn) {
  MakeContacts();
  // An object table's rows give the top-level attributes as columns; a collection column alone
  // gives no field at all.
  auto people = DataSet("select * from people");
  people->Open();
  EXPECT_EQ(FieldList(people.get()), "NAME,ADDR.STREET,ADDR.HOUSE,BORN");
  EXPECT_EQ(people->FieldByName("ADDR.STREET")->AsString(), "Main St");
  auto tags = DataSet("select tags from contacts order by id");
  tags->Open();
  EXPECT_EQ(tags->Fields()->Count(), 0);
  EXPECT_EQ(tags->RecordCount(), 3);
}

TEST_F(OracleDataObjectsTest, AttributeValuesOfAnotherQuery) {
  MakeContacts();
  auto ds = Contacts();
  TOracleFieldInfoList* info = ds->FieldInfo();
  auto q = Query(session.get(), "select id, who from contacts order by id");
  q->Execute();
  EXPECT_EQ(info->FindByName("WHO.NAME")->ReadColumnValue(q.get()).AsString(), "Ann");
  EXPECT_EQ(info->FindByName("WHO.ADDR.HOUSE")->ReadColumnValue(q.get()).AsInteger(), 12);
  EXPECT_EQ(info->FindByName("WHO.BORN")->ReadColumnValue(q.get()).AsDateTime(), EncodeDate(2000, 1, 2));
  q->Next();
  EXPECT_TRUE(info->FindByName("WHO.NAME")->ReadColumnValue(q.get()).IsEmpty()) << "a null object";
  // A column of that name that is no object, or an attribute of another type, gives nothing.
  auto other = Query(session.get(), "select name who from people");
  other->Execute();
  EXPECT_TRUE(info->FindByName("WHO.NAME")->ReadColumnValue(other.get()).IsEmpty());
  // Attributes go by position: an object of another type answers where the types agree.
  auto address = Query(session.get(), "select address_t('Elm St', 7) who from dual");
  address->Execute();
  EXPECT_EQ(info->FindByName("WHO.NAME")->ReadColumnValue(address.get()).AsString(), "Elm St");
  EXPECT_TRUE(info->FindByName("WHO.ADDR")->ReadColumnValue(address.get()).IsEmpty()) << "object vs number";
  EXPECT_TRUE(info->FindByName("WHO.BORN")->ReadColumnValue(address.get()).IsEmpty()) << "no fifth attribute";
  auto phones = Query(session.get(), "select phones_t('1') who from dual");
  phones->Execute();
  EXPECT_TRUE(info->FindByName("WHO.NAME")->ReadColumnValue(phones.get()).IsEmpty()) << "a collection";
}

TEST_F(OracleDataObjectsTest, ReferenceAttributesReadAsText) {
  MakeContacts();
  Run(session.get(), "create type link_t as object (label varchar2(10), target ref person_t)");
  Run(session.get(), "create table links (id number(5), lnk link_t)");
  Run(session.get(), "insert into links select 1, link_t('to Ann', ref(p)) from people p");
  Run(session.get(), "insert into links values (2, link_t('nowhere', null))");
  auto ds = DataSet("select id, lnk from links order by id");
  ds->Open();
  TField* target = ds->FieldByName("LNK.TARGET");
  EXPECT_EQ(target->DataType(), ftString);
  EXPECT_EQ(target->Size(), 256);
  EXPECT_EQ(ds->FieldOracleType(target), otReference);
  auto q = Query(session.get(), "select ref(p) from people p");
  q->Execute();
  EXPECT_EQ(target->AsString(), q->FieldAsString(0));
  EXPECT_EQ(ds->FieldByName("LNK.LABEL")->AsString(), "to Ann");
  ds->Next();
  EXPECT_TRUE(target->IsNull());
  EXPECT_EQ(ds->FieldByName("LNK.LABEL")->AsString(), "nowhere");
}

TEST_F(OracleDataObjectsTest, AttributesOfEveryKind) {
  Run(session.get(),
      "create type kinds_t as object (amount number(8,2), notes clob, seen timestamp, photo raw(4))");
  Run(session.get(), "create table kinds (id number(5), k kinds_t)");
  Run(session.get(),
      "insert into kinds values (1, kinds_t(1234.5, 'first line', to_date('2023-05-06 07:08:09', 'YYYY-MM-DD "
      "HH24:MI:SS'), "
      "hextoraw('0A1B')))");
  Run(session.get(), "insert into kinds values (2, kinds_t(null, null, null, null))");
  auto ds = DataSet("select id, k from kinds order by id");
  ds->Open();
  // RAW has no field.
  EXPECT_EQ(FieldList(ds.get()), "ID,K.AMOUNT,K.NOTES,K.SEEN");
  EXPECT_EQ(ds->FieldByName("K.AMOUNT")->DataType(), ftFloat);
  EXPECT_EQ(ds->FieldByName("K.NOTES")->DataType(), ftOraClob);
  EXPECT_EQ(ds->FieldByName("K.SEEN")->DataType(), ftDateTime);
  EXPECT_EQ(ds->FieldByName("K.AMOUNT")->AsFloat(), 1234.5);
  EXPECT_EQ(ds->FieldByName("K.NOTES")->AsString(), "first line");
  EXPECT_EQ(ds->FieldByName("K.SEEN")->AsDateTime(), EncodeDateTime(2023, 5, 6, 7, 8, 9, 0));
  ds->Next();
  for (const char* f : {"K.AMOUNT", "K.NOTES", "K.SEEN"}) EXPECT_TRUE(ds->FieldByName(f)->IsNull()) << f;
}

TEST_F(OracleDataObjectsTest, NestedTableColumnsAreCollectionsWithoutFields) {
  Run(session.get(), "create type marks_t as table of number");
  Run(session.get(),
      "create table pupils (id number(5), marks marks_t) nested table marks store as pupil_marks");
  Run(session.get(), "insert into pupils values (1, marks_t(5, 4))");
  auto ds = DataSet("select id, marks from pupils");
  ds->Open();
  TOracleFieldInfo* marks = ds->FieldInfo()->FindByName("MARKS");
  ASSERT_NE(marks, nullptr);
  EXPECT_TRUE(marks->IsCollection);
  EXPECT_EQ(marks->TypeName, "SCOTT.MARKS_T");
  EXPECT_EQ(ds->FieldInfo()->Count(), 3);
  EXPECT_EQ(FieldList(ds.get()), "ID");
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 1);
}

TEST_F(OracleDataObjectsTest, AnXmlTypeAttributeReadsAsItsDocument) {
  Run(session.get(), "create type memo_t as object (title varchar2(10), body xmltype)");
  Run(session.get(), "create table memos (id number(5), m memo_t)");
  Run(session.get(), "insert into memos values (1, memo_t('a', xmltype('<p>one</p>')))");
  Run(session.get(), "insert into memos values (2, memo_t('b', null))");
  auto ds = DataSet("select id, m from memos order by id");
  ds->Open();
  TOracleFieldInfo* body = ds->FieldInfo()->FindByName("M.BODY");
  ASSERT_NE(body, nullptr);
  EXPECT_TRUE(body->IsXMLType);
  EXPECT_EQ(body->OracleType, otCLOB);
  EXPECT_EQ(ds->FieldByName("M.BODY")->DataType(), ftOraClob);
  EXPECT_EQ(ds->FieldByName("M.TITLE")->AsString(), "a");
  EXPECT_EQ(ds->FieldByName("M.BODY")->AsString(), "<p>one</p>");
  ds->Next();
  EXPECT_EQ(ds->FieldByName("M.TITLE")->AsString(), "b");
  EXPECT_TRUE(ds->FieldByName("M.BODY")->IsNull());
}

}  // namespace
