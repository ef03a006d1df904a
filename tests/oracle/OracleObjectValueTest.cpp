// Object values against the simulated instance: attribute layouts of described types, attribute
// values of every kind, object, REF and XMLType columns, object and REF variables in and out of
// PL/SQL, and changes made through child objects.
#include <cstring>

#include "oracle/OracleCI.h"
#include "oracle/OracleObjects.h"
#include "oracle/OracleTypes.h"
#include "platform/rtl/SysUtils.h"
#include "tests/oracle/OracleTestSupport.h"

namespace {

class OracleObjectValueTest : public ScottSessionTest {
 protected:
  // PET_T, the object table PETS of it with the named pets, and the relational table PET_LIST.
  void MakePets(std::initializer_list<const char*> Names) {
    Run(S(), "create type pet_t as object (name varchar2(10), born timestamp, notes clob)");
    Run(S(), "create table pets of pet_t");
    Run(S(), "create table pet_list (p pet_t)");
    for (const char* name : Names)
      Run(S(), std::string("insert into pets values (pet_t('") + name + "', null, null))");
  }

  // A person with a nested address, a collection of phones and one attribute of every other kind.
  void MakePeople() {
    Run(S(), "create type phones_t as varray(5) of varchar2(20)");
    Run(S(), "create type address_t as object (street varchar2(30), house number(5))");
    Run(S(),
        "create type person_t as object (id number(5), name varchar2(10), born date, addr address_t, "
        "phones phones_t, photo raw(4), notes clob, seen timestamp, salary number(8,2), big number, "
        "exact number(20,5))");
    Run(S(), "create table people (p person_t)");
    auto ins =
        Query(S(),
              "insert into people values (person_t(1, 'a' || chr(10) || 'b', to_date('2024-02-29 10:11:12', "
              "'yyyy-mm-dd hh24:mi:ss'), address_t('Main St', 12), phones_t('555', '556'), "
              "hextoraw('0A1BFF'), 'first line', :seen, 1234.5, 9876543210123, -123.45))");
    ins->DeclareVariable("seen", otTimestamp);
    ins->SetVariable("seen", TVariant::FromDate(EncodeDate(2023, 5, 6) + EncodeTime(7, 8, 9, 0)));
    ins->Execute();
  }
};

struct Layout {
  const char* name;
  int value, null;
};

// The object's attributes in order: names, value offsets and null-indicator offsets.
template <size_t N>
void ExpectLayout(TOracleObject& Object, const Layout (&Expected)[N]) {
  ASSERT_EQ(Object.AttrCount(), static_cast<int>(N));
  for (size_t i = 0; i < N; ++i) {
    SCOPED_TRACE(Expected[i].name);
    TObjectAttribute* a = Object.Attributes(static_cast<int>(i));
    EXPECT_EQ(a->Name(), Expected[i].name);
    EXPECT_EQ(a->ValueOffset(), Expected[i].value);
    EXPECT_EQ(a->NullOffset(), Expected[i].null);
  }
}

// ---- Layouts ----------------------------------------------------------------------------------------

TEST_F(OracleObjectValueTest, AttributesLieAtTheirOffsets) {
  Run(S(), "create type lay_t as object (n number(5), s varchar2(10), d date)");
  TOracleObject lay(S(), "lay_t");
  const Layout simple[] = {{"N", 0, 2}, {"S", 24, 4}, {"D", 32, 6}};
  ASSERT_NO_FATAL_FAILURE(ExpectLayout(lay, simple));
  EXPECT_EQ(lay.Attributes(0)->DataType(), otInteger);
  EXPECT_EQ(lay.Attributes(1)->DataType(), otString);
  EXPECT_EQ(lay.Attributes(2)->DataType(), otDate);
  EXPECT_EQ(lay.Attributes(1)->DataSize(), 10);
  EXPECT_EQ(lay.Attributes(0)->Precision(), 5);

  MakePeople();
  TOracleObject person(S(), "SCOTT.PERSON_T");
  EXPECT_FALSE(person.IsCollection());
  const Layout nested[] = {{"ID", 0, 2},       {"NAME", 24, 4},         {"BORN", 32, 6},
                           {"ADDR", 40, 8},    {"ADDR.STREET", 40, 10}, {"ADDR.HOUSE", 48, 12},
                           {"PHONES", 72, 14}, {"PHOTO", 80, 16},       {"NOTES", 88, 18},
                           {"SEEN", 96, 20},   {"SALARY", 104, 22},     {"BIG", 126, 24},
                           {"EXACT", 148, 26}};
  ASSERT_NO_FATAL_FAILURE(ExpectLayout(person, nested));
  TObjectAttribute* addr = person.FindAttribute("addr");
  EXPECT_EQ(addr->TypeName(), "SCOTT.ADDRESS_T");
  EXPECT_TRUE(addr->Embedded());
  TObjectAttribute* phones = person.FindAttribute("Phones");
  EXPECT_TRUE(phones->IsCollection());
  EXPECT_EQ(phones->TypeName(), "SCOTT.PHONES_T");
  EXPECT_EQ(person.FindAttribute("salary")->DataType(), otFloat);
  EXPECT_EQ(person.FindAttribute("PHOTO")->DataType(), SQLT_BIN);
  EXPECT_EQ(person.FindAttribute("nope", false), nullptr);
  EXPECT_EQ(Raised([&] { person.FindAttribute("nope"); }), "Unknown attribute: nope");

  // Cells are aligned from the start of the object they lie in, which for an embedded object need
  // not be aligned itself.
  Run(S(), "create type str_t as object (s varchar2(5))");
  Run(S(), "create type inner_t as object (n number(3), s varchar2(5))");
  Run(S(), "create type outer_t as object (a number(3), i inner_t, b number(3), j str_t)");
  TOracleObject outer(S(), "OUTER_T");
  const Layout odd[] = {{"A", 0, 2},   {"I", 22, 4},  {"I.N", 22, 6}, {"I.S", 46, 8},
                        {"B", 54, 10}, {"J", 76, 12}, {"J.S", 76, 14}};
  ASSERT_NO_FATAL_FAILURE(ExpectLayout(outer, odd));
  Run(S(), "create table outers (o outer_t)");
  Run(S(), "insert into outers values (outer_t(1, inner_t(2, 'two'), 3, str_t('four')))");
  auto q = Query(S(), "select o from outers");
  q->Execute();
  TOracleObject* o = q->ObjField(0);
  EXPECT_EQ(o->GetAttr("I.S").AsString(), "two");
  EXPECT_EQ(o->GetAttr("B").AsInteger(), 3);
  EXPECT_EQ(o->GetAttr("J.S").AsString(), "four");
  TOracleObject* inner = o->ObjAttr("I");
  EXPECT_EQ(inner->Attributes(1)->ValueOffset(), 24);
  EXPECT_EQ(inner->Attributes(1)->NullOffset(), 4);
  EXPECT_EQ(inner->GetAttr("N").AsInteger(), 2);
  EXPECT_EQ(inner->GetAttr("S").AsString(), "two");
  EXPECT_EQ(o->ObjAttr("J")->GetAttr("S").AsString(), "four");

  // An unknown type is the server's error, raised through the object's error handle; the failed
  // objects leave the session's lists.
  int objects = S()->ObjectCount();
  EXPECT_EQ(OracleCode([&] { TOracleObject o(S(), "NO_SUCH_T"); }), 4043);
  EXPECT_EQ(OracleCode([&] { TOracleReference r(S(), "R", 0, "NO_SUCH_T"); }), 4043);
  EXPECT_EQ(OracleCode([&] { TOracleObject o(S(), "LAY_T", "NO_SUCH_TABLE"); }), 942);
  EXPECT_EQ(S()->ObjectCount(), objects);
  EXPECT_EQ(S()->ReferenceCount(), 0);

  // A collection type has one attribute: its element.
  TOracleObject phoneList(S(), "PHONES_T");
  EXPECT_TRUE(phoneList.IsCollection());
  ASSERT_EQ(phoneList.AttrCount(), 1);
  EXPECT_EQ(phoneList.Attributes(0)->Name(), "");
  EXPECT_EQ(phoneList.Attributes(0)->DataType(), otString);
}

// ---- Attribute values -------------------------------------------------------------------------------

TEST_F(OracleObjectValueTest, AttributesReadAsVariantsOfTheirKind) {
  MakePeople();
  S()->Preferences()->SetFloatPrecision(10);
  auto q = Query(S(), "select p from people");
  q->Execute();
  ASSERT_FALSE(q->Eof());
  EXPECT_EQ(q->FieldType(0), otObject);
  EXPECT_EQ(q->FieldTypeName(0), "SCOTT.PERSON_T");
  EXPECT_FALSE(q->FieldIsNull(0));
  EXPECT_TRUE(q->Field(0).IsEmpty());
  TOracleObject* p = q->ObjField(0);
  ASSERT_FALSE(p->IsNull());

  TVariant id = p->GetAttr("ID");
  EXPECT_EQ(id.VarType(), varInteger);
  EXPECT_EQ(id.AsInteger(), 1);
  TVariant salary = p->GetAttr("salary");  // NUMBER(8,2) within the float precision
  EXPECT_EQ(salary.VarType(), varDouble);
  EXPECT_DOUBLE_EQ(salary.AsDouble(), 1234.5);
  TVariant big = p->GetAttr("BIG");  // beyond it: text through the format models
  EXPECT_EQ(big.VarType(), varString);
  EXPECT_EQ(big.AsString(), "9876543210123");
  EXPECT_EQ(p->GetAttr("EXACT").AsString(), "-123.45");

  EXPECT_EQ(p->GetAttr("NAME").AsString(), "a\r\nb");
  S()->Preferences()->SetConvertCRLF(false);
  EXPECT_EQ(p->GetAttr("NAME").AsString(), "a\nb");
  S()->Preferences()->SetConvertCRLF(true);

  TVariant born = p->GetAttr("BORN");
  EXPECT_EQ(born.VarType(), varDate);
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", born.AsDateTime()), "2024-02-29 10:11:12");
  EXPECT_EQ(p->GetAttr("PHOTO").AsString(), "0A1BFF");
  EXPECT_EQ(p->GetAttr("NOTES").AsString(), "first line");
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", p->GetAttr("SEEN").AsDateTime()), "2023-05-06 07:08:09");
  EXPECT_EQ(p->GetAttr("ADDR.STREET").AsString(), "Main St");
  EXPECT_EQ(p->GetAttr("addr.house").AsInteger(), 12);
  EXPECT_TRUE(p->GetAttr("ADDR").IsEmpty());
  EXPECT_TRUE(p->GetAttr("PHONES").IsEmpty());
  EXPECT_EQ(p->FindAttribute("NAME")->Value().AsString(), "a\r\nb");
  EXPECT_FALSE(p->FindAttribute("NAME")->IsNull());

  // The nested object and the collection through their own objects.
  TOracleObject* addr = p->ObjAttr("ADDR");
  EXPECT_EQ(p->ObjAttr("addr"), addr);  // kept by name
  EXPECT_EQ(addr->Parent(), p);
  EXPECT_EQ(addr->GetAttr("STREET").AsString(), "Main St");
  TOracleObject* phones = p->ObjAttr("PHONES");
  EXPECT_TRUE(phones->IsCollection());
  EXPECT_EQ(Raised([&] { phones->GetAttr(""); }), "Attribute type not supported (122).");
  EXPECT_EQ(Raised([&] { p->ObjAttr("NAME"); }), "Attribute NAME is not an object");
  EXPECT_EQ(Raised([&] { p->XMLAttr("ADDR"); }), "Attribute ADDR is not an object");
  EXPECT_EQ(Raised([&] { p->GetAttr("NOPE"); }), "Unknown attribute: NOPE");

  // Numbers as integers and floats by the session's precisions.
  S()->Preferences()->SetFloatPrecision(0);
  EXPECT_EQ(p->GetAttr("BIG").VarType(), varDouble);
  S()->Preferences()->SetIntegerPrecision(3);
  EXPECT_EQ(p->GetAttr("ID").VarType(), varDouble);
}

TEST_F(OracleObjectValueTest, TimestampsReadAsTextWhenTheSessionSaysSo) {
  MakePeople();
  S()->Preferences()->SetTimestampAsString(true);
  auto q = Query(S(), "select p from people");
  q->Execute();
  TVariant seen = q->ObjField(0)->GetAttr("SEEN");
  EXPECT_EQ(seen.VarType(), varString);
  EXPECT_NE(seen.AsString().find("07.08.09"), std::string::npos) << seen.AsString();
}

TEST_F(OracleObjectValueTest, NullsReadAsUnassignedOrNull) {
  MakePeople();
  Run(S(),
      "insert into people values (person_t(2, null, null, null, null, null, null, null, null, null, null))");
  Run(S(), "insert into people values (null)");
  auto q = Query(S(), "select x.p from people x where x.p is null or x.p.id = 2");
  q->Execute();
  int rows = 0;
  for (; !q->Eof(); q->Next(), ++rows) {
    TOracleObject* p = q->ObjField(0);
    if (q->FieldIsNull(0)) {
      EXPECT_TRUE(p->IsNull());
      continue;
    }
    EXPECT_TRUE(p->GetAttr("NAME").IsEmpty());
    EXPECT_TRUE(p->GetAttr("NOTES").IsEmpty());
    EXPECT_TRUE(p->FindAttribute("BORN")->IsNull());
    S()->SetNullValue(nvNull);
    EXPECT_TRUE(p->GetAttr("NAME").IsNull());
    EXPECT_TRUE(p->GetAttr("ADDR.STREET").IsNull());
    S()->SetNullValue(nvUnAssigned);
  }
  EXPECT_EQ(rows, 2);

  // After the last row the column's object holds no freed instance.
  auto all = Query(S(), "select x.p from people x where x.p.id = 1");
  all->SetReadBuffer(1);
  all->Execute();
  TOracleObject* last = all->ObjField(0);
  EXPECT_FALSE(last->IsNull());
  while (!all->Eof()) all->Next();
  EXPECT_TRUE(last->IsNull());
  EXPECT_EQ(Raised([&] { last->GetAttr("NAME"); }), "TOracleObject: Invalid handle");

  // A column's object before any row has no instance to work on.
  auto none = Query(S(), "select x.p from people x where 1 = 0");
  none->Describe();
  TOracleObject* empty = none->ObjField(0);
  EXPECT_TRUE(empty->IsNull());
  EXPECT_EQ(Raised([&] { empty->GetAttr("NAME"); }), "TOracleObject: Invalid handle");
  EXPECT_EQ(Raised([&] { empty->MarkUpdate(true); }), "TOracleObject: Invalid handle");
  EXPECT_EQ(Raised([&] { none->Field(0); }), "You cannot access field data beyond Eof");
}

// ---- New objects and changes through children -------------------------------------------------------

TEST_F(OracleObjectValueTest, ANewObjectIsNullUntilAChildSetsAnAttribute) {
  MakePets({});
  TOracleObject pet(S(), "PET_T");
  EXPECT_TRUE(pet.IsNull());
  EXPECT_EQ(S()->ObjectCount(), 1);
  TOracleTimestamp* born = pet.TimestampAttr("BORN");
  EXPECT_TRUE(born->IsNull());
  born->SetComponents(2020, 1, 2, 3, 4, 5, 0);
  EXPECT_FALSE(pet.IsNull());
  EXPECT_FALSE(pet.FindAttribute("BORN")->IsNull());
  EXPECT_TRUE(pet.FindAttribute("NAME")->IsNull());
  born->SetNull();
  EXPECT_TRUE(pet.FindAttribute("BORN")->IsNull());
  EXPECT_TRUE(pet.GetAttr("BORN").IsEmpty());
  born->SetComponents(2020, 1, 2, 3, 4, 5, 0);

  auto ins = QueryWith(S(), "insert into pet_list values (:p)", "p", otObject, &pet);
  ins->Execute();
  auto q = Query(S(), "select p from pet_list");
  q->Execute();
  ASSERT_FALSE(q->Eof());
  TOracleObject* read = q->ObjField(0);
  EXPECT_TRUE(read->GetAttr("NAME").IsEmpty());
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", read->GetAttr("BORN").AsDateTime()), "2020-01-02 03:04:05");
}

TEST_F(OracleObjectValueTest, AChangeThroughANestedChildReachesTheOwner) {
  Run(S(), "create type stamp_t as object (at timestamp, note varchar2(10))");
  Run(S(), "create type event_t as object (id number(5), stamp stamp_t)");
  Run(S(), "create table events (e event_t)");
  Run(S(), "insert into events values (event_t(1, null))");
  auto q = Query(S(), "select e from events");
  q->Execute();
  TOracleObject* e = q->ObjField(0);
  EXPECT_TRUE(e->FindAttribute("STAMP")->IsNull());
  e->ObjAttr("STAMP")->TimestampAttr("AT")->SetComponents(2021, 6, 7, 8, 9, 10, 0);
  EXPECT_FALSE(e->FindAttribute("STAMP")->IsNull());
  EXPECT_FALSE(e->FindAttribute("STAMP.AT")->IsNull());
  EXPECT_TRUE(e->FindAttribute("STAMP.NOTE")->IsNull());

  auto upd = QueryWith(S(), "update events set e = :e", "e", otObject, e);
  upd->Execute();
  EXPECT_EQ(upd->RowsProcessed(), 1);
  auto check = Query(S(), "select e from events");
  check->Execute();
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", check->ObjField(0)->GetAttr("STAMP.AT").AsDateTime()),
            "2021-06-07 08:09:10");
}

TEST_F(OracleObjectValueTest, APersistentObjectIsInsertedByTheFlushAndMarkedUpdated) {
  MakePets({});
  {
    TOracleObject pet(S(), "PET_T", "scott.pets");
    EXPECT_TRUE(pet.Persistent());
    EXPECT_TRUE(pet.IsNull());
    pet.TimestampAttr("BORN")->SetComponents(2019, 3, 4, 5, 6, 7, 0);
    pet.MarkUpdate(true);
    pet.MarkUpdate(false);
    pet.MarkUpdate(true);
    ASSERT_EQ(OCI.OCIObjectFlush(S()->EnvironmentHandle(), S()->ErrorHandle(), pet.Instance()), OCI_SUCCESS);
    S()->Commit();
  }
  auto q = Query(S(), "select p.born from pets p");
  q->Execute();
  ASSERT_FALSE(q->Eof());
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", q->FieldAsDate(0)), "2019-03-04 05:06:07");
}

// ---- REFs -------------------------------------------------------------------------------------------

TEST_F(OracleObjectValueTest, RefColumnsAndVariables) {
  MakePets({"Rex", "Tom"});
  auto q = Query(S(), "select ref(p) r, p.name from pets p order by p.name");
  q->Execute();
  EXPECT_EQ(q->FieldType(0), otReference);
  EXPECT_EQ(q->FieldTypeName(0), "SCOTT.PET_T");
  TOracleReference* ref = q->RefField(0);
  EXPECT_NE(ref->TypeDescriptor(), nullptr);
  EXPECT_EQ(ref->TypeName(), "SCOTT.PET_T");
  EXPECT_EQ(S()->ReferenceCount(), 1);
  EXPECT_FALSE(ref->IsNull());
  std::string rex = ref->AsHex();
  ASSERT_FALSE(rex.empty());
  EXPECT_EQ(rex.find_first_not_of("0123456789ABCDEF"), std::string::npos) << rex;
  EXPECT_EQ(q->Field(0).AsString(), rex);
  EXPECT_EQ(q->FieldAsString(0), rex);
  EXPECT_EQ(Raised([&] { q->FieldAsInteger(0); }), "Cannot convert field R to an Integer");
  q->Next();
  std::string tom = q->RefField(0)->AsHex();
  EXPECT_NE(tom, rex);
  EXPECT_EQ(q->RefField(0), ref);  // one object, repointed

  // Out of PL/SQL and back in.
  TOracleReference out(S(), "R", 0, "PET_T");
  EXPECT_TRUE(out.IsNull());
  auto get = QueryWith(S(), "begin select ref(p) into :r from pets p where p.name = 'Rex'; end;", "r",
                       otReference, &out);
  get->Execute();
  EXPECT_FALSE(out.IsNull());
  EXPECT_EQ(out.AsHex(), rex);
  auto back = QueryWith(S(), "select p.name from pets p where ref(p) = :r", "r", otReference, &out);
  back->Execute();
  ASSERT_FALSE(back->Eof());
  EXPECT_EQ(back->Field(0).AsString(), "Rex");
  out.Clear();
  EXPECT_TRUE(out.IsNull());
  EXPECT_EQ(out.AsHex(), "");
}

// ---- Object variables and XML -----------------------------------------------------------------------

TEST_F(OracleObjectValueTest, ObjectVariablesGoInAndOutOfPLSQL) {
  Run(S(), "create type address_t as object (street varchar2(30), house number(5))");
  Run(S(), "create table addresses (a address_t)");
  TOracleObject a(S(), "ADDRESS_T");
  auto make = QueryWith(S(), "begin :a := address_t('Elm St', 5); end;", "a", otObject, &a);
  make->Execute();
  EXPECT_FALSE(a.IsNull());
  EXPECT_EQ(a.GetAttr("STREET").AsString(), "Elm St");
  EXPECT_EQ(a.GetAttr("HOUSE").AsInteger(), 5);

  auto ins = QueryWith(S(), "insert into addresses values (:a)", "a", otObject, &a);
  ins->Execute();
  auto q = Query(S(), "select x.a.street, x.a.house from addresses x");
  q->Execute();
  ASSERT_FALSE(q->Eof());
  EXPECT_EQ(q->Field(0).AsString(), "Elm St");
  EXPECT_EQ(q->Field(1).AsInteger(), 5);
}

TEST_F(OracleObjectValueTest, XMLDocumentsReadThroughPLSQL) {
  Run(S(), "create table docs (id number, d xmltype)");
  Run(S(), "insert into docs values (1, xmltype('<a><b>1</b></a>'))");
  Run(S(), "insert into docs values (2, null)");
  auto q = Query(S(), "select d from docs order by id");
  q->Execute();
  EXPECT_EQ(q->FieldTypeName(0), "SYS.XMLTYPE");
  TXMLType* xml = q->XMLField(0);
  ASSERT_NE(xml, nullptr);
  EXPECT_EQ(xml->GetXMLData(), "<a><b>1</b></a>");
  EXPECT_EQ(q->Field(0).AsString(), "<a><b>1</b></a>");
  EXPECT_EQ(q->FieldAsString(0), "<a><b>1</b></a>");
  q->Next();
  EXPECT_TRUE(q->FieldIsNull(0));
  EXPECT_EQ(xml->GetXMLData(), "");
  EXPECT_TRUE(q->Field(0).IsEmpty());
  EXPECT_EQ(q->FieldAsString(0), "");
}

}  // namespace

namespace {

TEST_F(OracleObjectValueTest, ChildObjectsOverReferencesXMLAndNotFinalAttributes) {
  MakePets({"Rex"});
  Run(S(), "create type base_t as object (v varchar2(5)) not final");
  Run(S(), "create type memo_t as object (title varchar2(10), owner ref pet_t, body sys.xmltype, b base_t)");
  Run(S(), "create table memos (m memo_t)");
  Run(S(),
      "insert into memos values (memo_t('hello', (select ref(p) from pets p where p.name = 'Rex'), "
      "xmltype('<m>hi</m>'), base_t('bv')))");
  auto rex = Query(S(), "select ref(p) from pets p");
  rex->Execute();
  std::string rexHex = rex->RefField(0)->AsHex();

  auto q = Query(S(), "select m from memos");
  q->Execute();
  TOracleObject* m = q->ObjField(0);
  TObjectAttribute* owner = m->FindAttribute("OWNER");
  EXPECT_EQ(owner->DataType(), otReference);
  EXPECT_EQ(owner->TypeName(), "SCOTT.PET_T");
  EXPECT_TRUE(m->GetAttr("OWNER").IsEmpty());
  TOracleReference* ref = m->RefAttr("OWNER");
  EXPECT_FALSE(ref->IsNull());
  EXPECT_EQ(ref->AsHex(), rexHex);
  EXPECT_EQ(m->RefAttr("owner"), ref);

  EXPECT_EQ(m->FindAttribute("BODY")->TypeName(), "SYS.XMLTYPE");
  TXMLType* body = m->XMLAttr("BODY");
  EXPECT_EQ(body->GetXMLData(), "<m>hi</m>");
  EXPECT_EQ(static_cast<TOracleObject*>(body), m->ObjAttr("BODY"));

  TObjectAttribute* b = m->FindAttribute("B");
  EXPECT_TRUE(b->NotFinal());
  EXPECT_FALSE(b->Embedded());
  EXPECT_FALSE(b->IsNull());
  EXPECT_EQ(m->ObjAttr("B")->GetAttr("V").AsString(), "bv");
  EXPECT_EQ(m->FindAttribute("B.V", false), nullptr);  // its attributes are in its own instance

  // Clearing the REF through the child leaves the attribute null.
  ref->Clear();
  EXPECT_TRUE(ref->IsNull());
  EXPECT_TRUE(owner->IsNull());
  EXPECT_FALSE(m->IsNull());
}

TEST_F(OracleObjectValueTest, ALOBAttributeIsWrittenThroughItsLocator) {
  MakePets({});
  TOracleObject pet(S(), "PET_T");
  TLOBLocator* notes = pet.LOBAttr("NOTES");
  EXPECT_EQ(pet.LOBAttr("notes"), notes);
  EXPECT_EQ(S()->LOBCount(), 1);
  EXPECT_TRUE(notes->IsNull());
  EXPECT_TRUE(pet.IsNull());
  notes->Write("good dog", 8);
  EXPECT_FALSE(pet.IsNull());
  EXPECT_FALSE(pet.FindAttribute("NOTES")->IsNull());
  EXPECT_EQ(pet.GetAttr("NOTES").AsString(), "good dog");

  auto ins = QueryWith(S(), "insert into pet_list values (:p)", "p", otObject, &pet);
  ins->Execute();
  auto q = Query(S(), "select p from pet_list");
  q->Execute();
  EXPECT_EQ(q->ObjField(0)->GetAttr("NOTES").AsString(), "good dog");
}

TEST_F(OracleObjectValueTest, ObjectsJoinTheSessionAndGiveUpTheirHandlesAtLogOff) {
  Run(S(), "create type address_t as object (street varchar2(30), house number(5))");
  auto a = std::make_unique<TOracleObject>(S(), "ADDRESS_T");
  auto r = std::make_unique<TOracleReference>(S(), "R", 0, "ADDRESS_T");
  EXPECT_EQ(S()->ObjectCount(), 1);
  EXPECT_EQ(S()->ReferenceCount(), 1);
  EXPECT_NE(r->TypeDescriptor(), nullptr);
  S()->LogOff();
  EXPECT_EQ(Raised([&] { a->GetAttr("STREET"); }), "Not logged on");
  EXPECT_EQ(Raised([&] { r->AsHex(); }), "Not logged on");
  a.reset();
  r.reset();
  EXPECT_EQ(S()->ObjectCount(), 0);
  EXPECT_EQ(S()->ReferenceCount(), 0);

  S()->LogOn();
  auto orphan = std::make_unique<TOracleObject>(S(), "ADDRESS_T");
  session_.reset();
  EXPECT_EQ(Raised([&] { orphan->ObjAttr("STREET"); }), "Not logged on");
}

}  // namespace
