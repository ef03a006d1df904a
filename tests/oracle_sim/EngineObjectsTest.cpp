// Object types, object tables, REFs, collections and XMLType in the simulated instance.
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "SimTestUtil.h"

namespace simtest {
namespace {

using oracle_sim::ObjectValue;
using oracle_sim::Ty;
using oracle_sim::TypeDesc;

class Objects : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    for (const char* sql : {
             "create type address_t as object (street varchar2(20), house number(5), city char(3))",
             "create type phones_t as varray(3) of varchar2(10)",
             "create type tags_t as table of number",
             "create type person_t as object (name varchar2(10), addr address_t, phones phones_t, born date) "
             "not final",
             "create table people of person_t",
             "create table contacts (id number primary key, who person_t, home ref person_t, doc xmltype)",
         })
      Exec(*scott_, sql);
  }

  static Value Obj(const std::string& type, std::vector<Value> items) {
    ObjectValue o;
    o.typeSchema = "SCOTT";
    o.typeName = type;
    o.items = std::move(items);
    return Value::MakeObject(std::move(o));
  }
  static Value T(const std::string& s) { return Value::MakeText(s); }
  static Value I(int64_t i) { return Value::MakeInt(i); }

  Value One(Session& s, const std::string& sql, const Binds& binds = {}) {
    auto c = s.Prepare(sql);
    for (auto& [k, v] : binds) c->BindByName(k, v);
    c->Execute();
    std::vector<Value> row;
    EXPECT_TRUE(c->Fetch(row)) << sql;
    return row.empty() ? Value() : row[0];
  }
};

TEST_F(Objects, ConstructorsAttributesAndValue) {
  Exec(*scott_,
       "insert into people values ('Ann', address_t('Main St', 12, 'TLN'), phones_t('1', '22'), "
       "to_date('2000-01-02', 'YYYY-MM-DD'))");
  Exec(*scott_, "insert into people values (person_t('Bob', null, phones_t(), null))");
  EXPECT_EQ(Query(*scott_, "select name, p.addr.street, p.addr.house, p.addr.city from people p order by 1"),
            (Rows{{"Ann", "Main St", "12", "TLN"}, {"Bob", "", "", ""}}));
  EXPECT_EQ(Query(*scott_, "select name from people p where p.addr.house = 12"), (Rows{{"Ann"}}));
  Value v = One(*scott_, "select value(p) from people p where name = 'Ann'");
  ASSERT_EQ(v.kind, Value::Object);
  EXPECT_EQ(v.obj->typeSchema, "SCOTT");
  EXPECT_EQ(v.obj->typeName, "PERSON_T");
  ASSERT_EQ(v.obj->items.size(), 4u);
  EXPECT_EQ(v.obj->items[1], Obj("ADDRESS_T", {T("Main St"), I(12), T("TLN")}));
  EXPECT_EQ(v.obj->items[2], Obj("PHONES_T", {T("1"), T("22")}));
  EXPECT_EQ(v.obj->items[3].kind, Value::Date);
  EXPECT_EQ(v.ToText(), "PERSON_T('Ann', ADDRESS_T('Main St', 12, 'TLN'), PHONES_T('1', '22'), '02-JAN-00')");
  // an empty collection is not a NULL one; a NULL embedded object is a Null item
  Value b = One(*scott_, "select value(p) from people p where name = 'Bob'");
  EXPECT_TRUE(b.obj->items[1].IsNull());
  EXPECT_EQ(b.obj->items[2], Obj("PHONES_T", {}));
  // select * gives the attributes as columns, described with their types
  auto c = scott_->Prepare("select * from people");
  auto& d = c->Describe();
  ASSERT_EQ(d.size(), 4u);
  EXPECT_EQ(d[1].type, Ty::Object);
  EXPECT_EQ(d[1].typeSchema, "SCOTT");
  EXPECT_EQ(d[1].typeName, "ADDRESS_T");
  EXPECT_EQ(d[2].typeName, "PHONES_T");
}

TEST_F(Objects, ObjectColumnsRefsAndDeref) {
  Exec(*scott_, "insert into people values ('Ann', address_t('Main St', 12, 'TLN'), null, null)");
  Exec(*scott_,
       "insert into contacts select 1, person_t('Cid', null, phones_t('7'), null), ref(p), null from people "
       "p");
  auto c = scott_->Prepare("select who, home, deref(home), c.who.name, c.home from contacts c");
  auto& d = c->Describe();
  EXPECT_EQ(d[0].type, Ty::Object);
  EXPECT_EQ(d[0].typeName, "PERSON_T");
  EXPECT_EQ(d[1].type, Ty::Ref);
  EXPECT_EQ(d[1].typeSchema, "SCOTT");
  EXPECT_EQ(d[1].typeName, "PERSON_T");
  EXPECT_EQ(d[2].type, Ty::Object);
  c->Execute();
  std::vector<Value> row;
  ASSERT_TRUE(c->Fetch(row));
  EXPECT_EQ(row[0].obj->items[0], T("Cid"));
  ASSERT_EQ(row[1].kind, Value::Ref);
  EXPECT_LE(row[1].s.size(), 64u);
  EXPECT_EQ(row[2].obj->items[0], T("Ann"));
  EXPECT_EQ(row[3], T("Cid"));
  // the REF is the one REF(p) gives, and identifies the row
  EXPECT_EQ(One(*scott_, "select ref(p) from people p"), row[1]);
  EXPECT_EQ(Query(*scott_, "select name from people p where ref(p) = :r", {{"R", row[1]}}), (Rows{{"Ann"}}));
  // a deleted row leaves a dangling REF: DEREF gives NULL
  Exec(*scott_, "delete from people");
  EXPECT_TRUE(One(*scott_, "select deref(home) from contacts").IsNull());
}

TEST_F(Objects, DerefRunsWhileAnotherSessionChangesTheCatalog) {
  // DEREF reads the catalog from inside a running statement while DDL of another session makes
  // every session load the catalog anew: the two paths must take their locks in one order (the
  // race detector's run reports an inversion).
  Exec(*scott_, "insert into people values ('Ann', null, null, null)");
  Exec(*scott_, "insert into contacts select 1, null, ref(p), null from people p");
  scott_->Commit();
  constexpr int kRounds = 15;
  std::atomic<bool> done{false};
  std::thread ddl([&] {
    for (int i = 0; i < kRounds; ++i) {
      Exec(*system_, "create table scratch_" + std::to_string(i) + " (x number)");
      Exec(*system_, "drop table scratch_" + std::to_string(i));
    }
    done = true;
  });
  int reads = 0;
  while (!done || reads == 0) {
    auto row = One(*scott_, "select deref(home) from contacts");
    ASSERT_EQ(row.kind, Value::Object);
    EXPECT_EQ(row.obj->items[0], T("Ann"));
    ++reads;
  }
  ddl.join();
}

TEST_F(Objects, XmlTypeInSqlAndThePlSqlBlockOfTheClient) {
  Exec(*scott_, "insert into contacts (id, doc) values (1, xmltype('<a><b>1</b></a>'))");
  Exec(*scott_, "insert into contacts (id, doc) values (2, sys.xmltype.createxml('<c/>'))");
  EXPECT_EQ(Query(*scott_, "select c.doc.getstringval(), c.doc.getclobval() from contacts c order by id"),
            (Rows{{"<a><b>1</b></a>", "<a><b>1</b></a>"}, {"<c/>", "<c/>"}}));
  auto d = scott_->Prepare("select doc from contacts");
  EXPECT_EQ(d->Describe()[0].type, Ty::Object);
  EXPECT_EQ(d->Describe()[0].typeSchema, "SYS");
  EXPECT_EQ(d->Describe()[0].typeName, "XMLTYPE");
  Value doc = One(*scott_, "select doc from contacts where id = 1");
  ASSERT_EQ(doc.kind, Value::Object);
  EXPECT_EQ(doc.obj->xml, "<a><b>1</b></a>");
  // the block the client runs to read an XMLType: object bind in, CLOB bind trimmed and appended
  const char* block =
      "declare\n  rvl_object sys.xmltype;\n  xmldata clob;\nbegin\n  rvl_object := :rvl_object;\n"
      "  xmldata := rvl_object.getclobval();\n  sys.dbms_lob.trim(:xmldata, 0);\n"
      "  sys.dbms_lob.append(:xmldata, xmldata);\nend;";
  auto c = scott_->Prepare(block);
  Value lob;
  lob.kind = Value::Text;
  lob.s = "old text that is longer";
  c->BindByName("rvl_object", doc);
  c->BindByName("xmldata", lob);
  c->Execute();
  Value out = c->OutValue("XMLDATA");
  EXPECT_EQ(out.kind, Value::Text);
  EXPECT_EQ(out.s, "<a><b>1</b></a>");
  // a large document goes through whole
  ObjectValue big;
  big.typeSchema = "SYS";
  big.typeName = "XMLTYPE";
  big.xml = "<r>" + std::string(100000, 'x') + "</r>";
  c->BindByName("rvl_object", Value::MakeObject(big));
  c->Execute();
  EXPECT_EQ(c->OutValue("XMLDATA").s, big.xml);
  // not XML, and methods of what is not an XMLType
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, "insert into contacts (id, doc) values (3, xmltype('plain'))"); }),
            31011);
  EXPECT_EQ(ErrorOf([&] { Query(*scott_, "select c.who.getclobval() from contacts c"); }), 22806);
}

TEST_F(Objects, DbmsLobTrimAndAppendOnBindsAndLocals) {
  auto run = [&](const std::string& block, Value in) {
    auto c = scott_->Prepare(block);
    c->BindByName("L", in);
    c->Execute();
    return c->OutValue("L");
  };
  Value clob;
  clob.kind = Value::Text;
  clob.s = "h\xC3\xA9llo";  // five characters, six bytes
  EXPECT_EQ(run("begin dbms_lob.trim(:l, 2); end;", clob).s, "h\xC3\xA9");
  EXPECT_EQ(run("begin dbms_lob.append(:l, ' world'); end;", clob).s, "h\xC3\xA9llo world");
  Value blob = Value::MakeBytes(std::string("\x01\x02\x03", 3));
  Value trimmed = run("begin dbms_lob.trim(:l, 1); end;", blob);
  EXPECT_EQ(trimmed.kind, Value::Bytes);
  EXPECT_EQ(trimmed.s, std::string("\x01", 1));
  EXPECT_EQ(run("declare x clob := 'ab'; begin dbms_lob.append(x, 'cd'); :l := x; end;", Value()).s, "abcd");
  std::string text;
  EXPECT_EQ(ErrorOf([&] { run("begin dbms_lob.trim(:l, 9); end;", clob); }, &text), 22926);
  EXPECT_EQ(ErrorOf([&] { run("begin dbms_lob.append(:l, 'x'); end;", Value()); }, &text), 22275);
  EXPECT_NE(text.find("invalid LOB locator specified"), std::string::npos) << text;
}

TEST_F(Objects, PlSqlObjectLocalsAttributesAndBinds) {
  auto c = scott_->Prepare(
      "declare a address_t; p person_t; begin a := address_t('Elm', 7, 'X'); :street := a.street; "
      ":house := a.house; p := :p; :name := p.name; :city := p.addr.city; :back := p; end;");
  Value person = Obj("PERSON_T", {T("Eve"), Obj("ADDRESS_T", {T("Oak"), I(3), T("AB")}), Value(), Value()});
  for (const char* n : {"STREET", "HOUSE", "NAME", "CITY", "BACK"}) c->BindByName(n, Value());
  c->BindByName("P", person);
  c->Execute();
  EXPECT_EQ(c->OutValue("STREET"), T("Elm"));
  EXPECT_EQ(c->OutValue("HOUSE"), I(7));
  EXPECT_EQ(c->OutValue("NAME"), T("Eve"));
  EXPECT_EQ(c->OutValue("CITY"), T("AB "));  // CHAR(3) is blank-padded
  Value back = c->OutValue("BACK");
  ASSERT_EQ(back.kind, Value::Object);
  EXPECT_EQ(back.obj->typeName, "PERSON_T");
  EXPECT_EQ(back.obj->items[1].obj->items[2], T("AB "));
  // a bound object of another type than the local
  c->BindByName("P", Obj("ADDRESS_T", {T("Oak"), I(3), T("AB")}));
  EXPECT_EQ(ErrorOf([&] { c->Execute(); }), 932);
}

TEST_F(Objects, BoundObjectsAreCheckedAgainstTheirType) {
  auto ins = scott_->Prepare("insert into contacts (id, who) values (:id, :who)");
  ins->BindByName("ID", I(1));
  // a number given as text becomes a number; CHAR pads
  ins->BindByName("WHO", Obj("PERSON_T", {T("Ann"), Obj("ADDRESS_T", {T("A"), T("42"), T("Z")}),
                                          Obj("PHONES_T", {T("1"), T("2"), T("3")}), Value()}));
  ins->Execute();
  EXPECT_EQ(Query(*scott_, "select c.who.addr.house + 1, c.who.addr.city || '|' from contacts c"),
            (Rows{{"43", "Z  |"}}));
  struct Case {
    const char* what;
    Value who;
    int code;
  };
  std::vector<Case> cases = {
      {"too many elements",
       Obj("PERSON_T", {T("A"), Value(), Obj("PHONES_T", {T("1"), T("2"), T("3"), T("4")}), Value()}), 22909},
      {"attribute too long", Obj("PERSON_T", {T("ABCDEFGHIJK"), Value(), Value(), Value()}), 22814},
      {"element too long", Obj("PERSON_T", {T("A"), Value(), Obj("PHONES_T", {T("12345678901")}), Value()}),
       22814},
      {"number that is not one",
       Obj("PERSON_T", {T("A"), Obj("ADDRESS_T", {T("A"), T("x"), Value()}), Value(), Value()}), 1722},
      {"more items than attributes", Obj("ADDRESS_T", {T("A"), I(1), T("B"), T("C")}), 932},
      {"unknown type", Obj("NO_SUCH_T", {}), 932},
      {"text where an object belongs", T("x"), 932},
  };
  for (auto& k : cases) {
    SCOPED_TRACE(k.what);
    EXPECT_EQ(ErrorOf([&] {
                ins->BindByName("ID", I(2));
                ins->BindByName("WHO", k.who);
                ins->Execute();
              }),
              k.code);
    // array DML checks every iteration's object the same way
    EXPECT_EQ(ErrorOf([&] {
                ins->BindArray("ID", {I(3), I(4)});
                ins->BindArray("WHO", {Value(), k.who});
                ins->Execute(2);
              }),
              k.code);
  }
}

TEST_F(Objects, ConstructorAndTypeErrors) {
  struct Case {
    const char* sql;
    int code;
  };
  std::vector<Case> cases = {
      {"select address_t('a', 1) from dual", 2315},
      {"select phones_t('1', '2', '3', '4') from dual", 22909},
      {"select address_t('a', 1, 'TOOLONG') from dual", 22814},
      {"select address_t('123456789012345678901', 1, 'A') from dual", 22814},
      {"create table t1 (c no_such_type)", 902},
      {"create table t2 (c ref phones_t)", 902},
      {"create type bad_t as object (a bad_t)", 902},
      {"create type address_t as object (a number)", 955},
      {"create or replace type address_t as object (a number)", 2303},
      {"drop type address_t", 2303},
      {"drop type no_such_t", 4043},
      {"select p.addr.nope from people p", 904},
      {"select p.name.x from people p", 22806},
      {"select value(d) from dept d", 22806},
      {"insert into contacts (id, who) values (1, address_t('a', 1, 'b'))", 932},
      {"insert into contacts (id, who) values (1, 'text')", 932},
      {"select * from address_t", 942},
      {"create type x_t as object (a number(3)) final extra", 922},
  };
  for (auto& k : cases) {
    std::string text;
    bool query = std::string(k.sql).rfind("select", 0) == 0;
    EXPECT_EQ(ErrorOf([&] { query ? (void)Query(*scott_, k.sql) : (void)Exec(*scott_, k.sql); }, &text),
              k.code)
        << k.sql << "\n"
        << text;
  }
  std::string text;
  ErrorOf([&] { Exec(*scott_, "drop type address_t"); }, &text);
  EXPECT_EQ(text, "ORA-02303: cannot drop or replace a type with type or table dependents");
  ErrorOf([&] { Query(*scott_, "select phones_t('1', '2', '3', '4') from dual"); }, &text);
  EXPECT_EQ(text, "ORA-22909: exceeded maximum VARRAY limit");
  ErrorOf([&] { Query(*scott_, "select address_t('a', 1) from dual"); }, &text);
  EXPECT_EQ(text, "ORA-02315: incorrect number of arguments for default constructor");
  ErrorOf([&] { Query(*scott_, "select address_t('a', 1, 'TOOLONG') from dual"); }, &text);
  EXPECT_EQ(text, "ORA-22814: attribute or element value is larger than specified in type");
  ErrorOf([&] { scott_->DescribeType("nope_t"); }, &text);
  EXPECT_EQ(text, "ORA-04043: object nope_t does not exist");
  // FORCE drops a used type; replacing an unused one keeps its identity
  std::string oid = scott_->DescribeType("TAGS_T").oid;
  Exec(*scott_, "create or replace type tags_t as varray(5) of number(3)");
  EXPECT_EQ(scott_->DescribeType("tags_t").oid, oid);
  EXPECT_EQ(scott_->DescribeType("tags_t").kind, TypeDesc::Kind::VArray);
  Exec(*scott_, "drop type address_t force");
  EXPECT_EQ(ErrorOf([&] { scott_->DescribeType("ADDRESS_T"); }), 4043);
}

TEST_F(Objects, DescribeTypes) {
  Exec(*scott_, "create or replace type pair_t as object (a number, b number);\n/");
  EXPECT_EQ(scott_->DescribeType("PAIR_T").attrs.size(), 2u);
  Exec(*scott_,
       "create type node_t as object (id number, next ref node_t, tags tags_t, note clob, "
       "stamp timestamp(3), raw_id raw(8), price number(7,2))");
  TypeDesc n = scott_->DescribeType("Scott.Node_T");
  EXPECT_EQ(n.schema, "SCOTT");
  EXPECT_EQ(n.name, "NODE_T");
  EXPECT_EQ(n.kind, TypeDesc::Kind::Object);
  EXPECT_TRUE(n.isFinal);
  EXPECT_EQ(n.oid.size(), 16u);
  ASSERT_EQ(n.attrs.size(), 7u);
  struct Want {
    const char* name;
    Ty type;
    int size, precision, scale;
    const char* typeName;
  };
  std::vector<Want> want = {{"ID", Ty::Number, 22, 0, -127, ""},        {"NEXT", Ty::Ref, 36, 0, 0, "NODE_T"},
                            {"TAGS", Ty::Object, 2000, 0, 0, "TAGS_T"}, {"NOTE", Ty::Clob, 4000, 0, 0, ""},
                            {"STAMP", Ty::Timestamp, 11, 0, 3, ""},     {"RAW_ID", Ty::Raw, 8, 0, 0, ""},
                            {"PRICE", Ty::Number, 22, 7, 2, ""}};
  for (size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(want[i].name);
    EXPECT_EQ(n.attrs[i].name, want[i].name);
    EXPECT_EQ(n.attrs[i].type, want[i].type);
    EXPECT_EQ(n.attrs[i].size, want[i].size);
    EXPECT_EQ(n.attrs[i].precision, want[i].precision);
    EXPECT_EQ(n.attrs[i].scale, want[i].scale);
    EXPECT_EQ(n.attrs[i].typeName, want[i].typeName);
    EXPECT_EQ(n.attrs[i].typeSchema, *want[i].typeName ? "SCOTT" : "");
  }
  TypeDesc p = scott_->DescribeType("PERSON_T");
  EXPECT_FALSE(p.isFinal);
  TypeDesc ph = scott_->DescribeType("phones_t");
  EXPECT_EQ(ph.kind, TypeDesc::Kind::VArray);
  EXPECT_EQ(ph.maxElements, 3);
  EXPECT_EQ(ph.element.name, "");
  EXPECT_EQ(ph.element.type, Ty::Varchar2);
  EXPECT_EQ(ph.element.size, 10);
  EXPECT_EQ(scott_->DescribeType("TAGS_T").kind, TypeDesc::Kind::NestedTable);
  TypeDesc x = scott_->DescribeType("sys.xmltype");
  EXPECT_EQ(x.kind, TypeDesc::Kind::Opaque);
  EXPECT_EQ(x.schema, "SYS");
  EXPECT_EQ(scott_->DescribeType("XMLTYPE").oid, x.oid);
  EXPECT_EQ(scott_->DescribeTypeByOid(n.oid).name, "NODE_T");
  EXPECT_EQ(scott_->DescribeTypeByOid(x.oid).name, "XMLTYPE");
  EXPECT_EQ(ErrorOf([&] { scott_->DescribeTypeByOid(std::string(16, 'z')); }), 4043);
  // another user sees SCOTT's types only when qualified and allowed
  EXPECT_EQ(system_->DescribeType("SCOTT.NODE_T").name, "NODE_T");
  EXPECT_EQ(ErrorOf([&] { system_->DescribeType("NODE_T"); }), 4043);
}

TEST_F(Objects, DictionaryViews) {
  EXPECT_EQ(Query(*scott_, "select type_name, typecode, attributes, final from user_types order by 1"),
            (Rows{{"ADDRESS_T", "OBJECT", "3", "YES"},
                  {"PERSON_T", "OBJECT", "4", "NO"},
                  {"PHONES_T", "COLLECTION", "0", "YES"},
                  {"TAGS_T", "COLLECTION", "0", "YES"}}));
  EXPECT_EQ(Query(*scott_, "select owner, typecode from all_types where type_name = 'XMLTYPE'"),
            (Rows{{"SYS", "OBJECT"}}));
  EXPECT_EQ(
      Query(*scott_,
            "select attr_name, attr_type_mod, attr_type_owner, attr_type_name, length, precision, scale, "
            "attr_no from user_type_attrs where type_name = 'PERSON_T' order by attr_no"),
      (Rows{{"NAME", "", "", "VARCHAR2", "10", "", "", "1"},
            {"ADDR", "", "SCOTT", "ADDRESS_T", "", "", "", "2"},
            {"PHONES", "", "SCOTT", "PHONES_T", "", "", "", "3"},
            {"BORN", "", "", "DATE", "", "", "", "4"}}));
  EXPECT_EQ(
      Query(*scott_,
            "select type_name, coll_type, upper_bound, elem_type_name, length from user_coll_types order "
            "by 1"),
      (Rows{{"PHONES_T", "VARYING ARRAY", "3", "VARCHAR2", "10"}, {"TAGS_T", "TABLE", "", "NUMBER", ""}}));
  EXPECT_EQ(Query(*scott_,
                  "select column_name, data_type, data_type_mod, data_type_owner from user_tab_columns where "
                  "table_name = 'CONTACTS' order by column_id"),
            (Rows{{"ID", "NUMBER", "", ""},
                  {"WHO", "PERSON_T", "", "SCOTT"},
                  {"HOME", "PERSON_T", "REF", "SCOTT"},
                  {"DOC", "XMLTYPE", "", "SYS"}}));
  EXPECT_EQ(Query(*scott_, "select object_type from user_objects where object_name = 'PHONES_T'"),
            (Rows{{"TYPE"}}));
  EXPECT_EQ(Query(*system_, "select count(*) from all_types where owner = 'SCOTT'"), (Rows{{"4"}}));
  auto other = LogOn("EXPIRING", "EXPIRING");
  EXPECT_EQ(Query(*other, "select count(*) from all_types where owner = 'SCOTT'"), (Rows{{"0"}}));
}

TEST_F(Objects, NestedTableColumnsAndStoreAs) {
  Exec(
      *scott_,
      "create table baskets (id number, tags tags_t, phones phones_t) nested table tags store as baskets_nt");
  Exec(*scott_, "insert into baskets values (1, tags_t(1, 2.5, null), phones_t('a'))");
  Value t = One(*scott_, "select tags from baskets");
  ASSERT_EQ(t.kind, Value::Object);
  ASSERT_EQ(t.obj->items.size(), 3u);
  EXPECT_EQ(t.obj->items[0], I(1));
  EXPECT_EQ(t.obj->items[1], Value::MakeReal(2.5));
  EXPECT_TRUE(t.obj->items[2].IsNull());
  // update through a bound collection, read back
  auto u = scott_->Prepare("update baskets set tags = :t where id = 1");
  ObjectValue o;
  o.typeName = "TAGS_T";  // schema left out: the session's own type
  o.items = {I(9)};
  u->BindByName("T", Value::MakeObject(o));
  u->Execute();
  EXPECT_EQ(One(*scott_, "select tags from baskets").ToText(), "TAGS_T(9)");
  EXPECT_EQ(One(*scott_, "select tags from baskets").obj->typeSchema, "SCOTT");
}

// Pinning, flushing, inserting and deleting rows of an object table through REFs, seen from two
// sessions.
TEST_F(Objects, PinFlushInsertDeleteAcrossSessions) {
  auto other = LogOn("SCOTT", "TIGER");
  auto table = scott_->ObjectTable("", "people");
  EXPECT_EQ(table, std::make_pair(std::string("SCOTT"), std::string("PEOPLE")));
  EXPECT_EQ(scott_->ObjectTable("SCOTT", "PEOPLE"), table);
  EXPECT_EQ(ErrorOf([&] { scott_->ObjectTable("", "CONTACTS"); }), 942);
  EXPECT_EQ(ErrorOf([&] { scott_->ObjectTable("", "NOPE"); }), 942);

  Value ann = Obj("PERSON_T", {T("Ann"), Obj("ADDRESS_T", {T("Main"), I(1), T("X")}),
                               Obj("PHONES_T", {T("5")}), Value()});
  std::string ref = scott_->InsertObject("", "PEOPLE", ann);
  EXPECT_LE(ref.size(), 64u);
  Value pinned = scott_->PinObject(ref, false);
  EXPECT_EQ(pinned.obj->items[0], T("Ann"));
  EXPECT_EQ(pinned.obj->items[1].obj->items[2], T("X  "));
  // not committed: the other session doesn't see the row
  EXPECT_EQ(ErrorOf([&] { other->PinObject(ref, false); }), 21700);
  scott_->Commit();
  EXPECT_EQ(other->PinObject(ref, false).obj->items[0], T("Ann"));
  EXPECT_EQ(One(*scott_, "select ref(p) from people p").s, ref);

  // flush an update: visible to the other session after commit only
  ObjectValue changed = *pinned.obj;
  changed.items[0] = T("Anna");
  scott_->FlushObject(ref, Value::MakeObject(changed));
  EXPECT_EQ(scott_->PinObject(ref, false).obj->items[0], T("Anna"));
  EXPECT_EQ(other->PinObject(ref, false).obj->items[0], T("Ann"));
  scott_->Rollback();
  EXPECT_EQ(scott_->PinObject(ref, false).obj->items[0], T("Ann"));
  scott_->FlushObject(ref, Value::MakeObject(changed));
  scott_->Commit();
  EXPECT_EQ(other->PinObject(ref, false).obj->items[0], T("Anna"));

  // a pin with lock holds the row like SELECT ... FOR UPDATE; another pin with lock waits for it
  other->PinObject(ref, true);
  auto nowait = scott_->Prepare("select name from people for update nowait");
  EXPECT_EQ(ErrorOf([&] { nowait->Execute(); }), 54);
  std::atomic<bool> got{false};
  std::thread waiter([&] {
    scott_->PinObject(ref, true);
    got = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(got.load());
  other->Rollback();
  waiter.join();
  EXPECT_TRUE(got.load());
  EXPECT_EQ(ErrorOf([&] { other->Prepare("select name from people for update nowait")->Execute(); }), 54);
  scott_->Rollback();
  nowait->Execute();
  scott_->Rollback();

  // delete: gone for the deleting session at once, for the other one at commit
  scott_->DeleteObject(ref);
  EXPECT_EQ(ErrorOf([&] { scott_->PinObject(ref, false); }), 21700);
  EXPECT_EQ(other->PinObject(ref, false).obj->items[0], T("Anna"));
  scott_->Commit();
  std::string text;
  EXPECT_EQ(ErrorOf([&] { other->PinObject(ref, false); }, &text), 21700);
  EXPECT_EQ(text, "ORA-21700: object does not exist or is marked for delete");
  EXPECT_EQ(ErrorOf([&] { scott_->FlushObject(ref, ann); }), 21700);
  EXPECT_EQ(ErrorOf([&] { scott_->DeleteObject(ref); }), 21700);
  EXPECT_EQ(ErrorOf([&] { scott_->PinObject("garbage", false); }), 21700);
  // a value of another type is refused
  std::string r2 = scott_->InsertObject("SCOTT", "PEOPLE", ann);
  EXPECT_EQ(ErrorOf([&] { scott_->FlushObject(r2, Obj("ADDRESS_T", {T("a"), I(1), T("b")})); }), 932);
  EXPECT_EQ(ErrorOf([&] { scott_->InsertObject("", "PEOPLE", Obj("PERSON_T", {T("12345678901")})); }), 22814);
}

TEST_F(Objects, ObjectsSurviveRollbackOfDeleteAndConsistentReads) {
  std::string ref =
      scott_->InsertObject("", "PEOPLE", Obj("PERSON_T", {T("Ann"), Value(), Value(), Value()}));
  Exec(*scott_, "insert into contacts (id, home) select 1, ref(p) from people p");
  scott_->Commit();
  Exec(*scott_, "update people p set p.name = 'Bo'");
  EXPECT_EQ(Query(*scott_, "select c.home.name from contacts c"), (Rows{{"Bo"}}));
  auto other = LogOn("SCOTT", "TIGER");
  // the other session reads the committed object, through the REF too
  EXPECT_EQ(Query(*other, "select p.name from people p"), (Rows{{"Ann"}}));
  EXPECT_EQ(Query(*other, "select c.home.name from contacts c"), (Rows{{"Ann"}}));
  EXPECT_EQ(Query(*other, "select deref(c.home) from contacts c"),
            (Rows{{"PERSON_T('Ann', NULL, NULL, NULL)"}}));
  Exec(*scott_, "delete from people");
  scott_->Rollback();
  // the row is back under the same REF
  EXPECT_EQ(scott_->PinObject(ref, false).obj->items[0], T("Ann"));
}

TEST_F(Objects, ObjectsInConstraintsViewsReturningAndPlSqlQueries) {
  Exec(*scott_, "create table pets of address_t (street primary key, house not null)");
  Exec(*scott_, "insert into pets values ('a', 1, 'x')");
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, "insert into pets values ('a', 2, 'y')"); }), 1);
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, "insert into pets (street) values ('b')"); }), 1400);
  Exec(*scott_, "alter table contacts add (tags tags_t)");
  Exec(*scott_,
       "insert into contacts (id, who, tags) values (5, person_t('Vi', null, null, null), tags_t(4))");
  Exec(*scott_, "create view who_v as select c.id, c.who, c.who.name wname, c.tags from contacts c");
  auto v = scott_->Prepare("select * from who_v");
  ASSERT_EQ(v->Describe().size(), 4u);
  EXPECT_EQ(v->Describe()[1].type, Ty::Object);
  EXPECT_EQ(v->Describe()[1].typeName, "PERSON_T");
  EXPECT_EQ(v->Describe()[3].typeName, "TAGS_T");
  EXPECT_EQ(Query(*scott_, "select wname, tags from who_v"), (Rows{{"Vi", "TAGS_T(4)"}}));
  EXPECT_EQ(Query(*scott_,
                  "select data_type, data_type_owner from user_tab_columns where table_name = 'WHO_V' "
                  "and column_name = 'WHO'"),
            (Rows{{"PERSON_T", "SCOTT"}}));
  // RETURNING an object column
  auto u = scott_->Prepare(
      "update contacts set who = person_t('Wu', null, phones_t('9'), null) returning who "
      "into :w");
  u->BindByName("W", Value());
  u->Execute();
  EXPECT_EQ(u->OutValue("W").ToText(), "PERSON_T('Wu', NULL, PHONES_T('9'), NULL)");
  // SELECT ... INTO object locals and back out through binds
  auto b = scott_->Prepare(
      "declare w person_t; t tags_t; begin select who, tags into w, t from contacts where id = 5; :n := "
      "w.name; "
      ":t := t; :w := w; end;");
  for (const char* n : {"N", "T", "W"}) b->BindByName(n, Value());
  b->Execute();
  EXPECT_EQ(b->OutValue("N"), T("Wu"));
  EXPECT_EQ(b->OutValue("T").ToText(), "TAGS_T(4)");
  EXPECT_EQ(b->OutValue("W").obj->items[2].ToText(), "PHONES_T('9')");
  // REF binds and locals keep their kind through PL/SQL
  Value ref = One(*scott_, "select home from contacts where id = 5");
  EXPECT_TRUE(ref.IsNull());
  Exec(*scott_, "insert into people values ('Ann', null, null, null)");
  ref = One(*scott_, "select ref(p) from people p");
  auto r = scott_->Prepare(
      "declare x ref person_t; begin x := :r; :same := :r; :back := x; "
      "select c.name into :who from people c where ref(c) = x; end;");
  for (const char* n : {"SAME", "BACK", "WHO"}) r->BindByName(n, Value());
  r->BindByName("R", ref);
  r->Execute();
  EXPECT_EQ(r->OutValue("SAME"), ref);
  EXPECT_EQ(r->OutValue("BACK"), ref);
  EXPECT_EQ(r->OutValue("WHO"), T("Ann"));
  // a local of an unknown type
  EXPECT_EQ(ErrorOf([&] { Exec(*scott_, "declare x nope_t; begin null; end;"); }), 6550);
}

// An instance file written before named types existed gets their catalog when it is opened.
TEST(ObjectsUpgrade, AnOlderInstanceFileGetsTheTypeCatalog) {
  std::string path = FreshInstancePath();
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    std::string drop;
    for (const char* v : {"TAB_COLUMNS", "TYPES", "TYPE_ATTRS", "COLL_TYPES"})
      for (const char* pre : {"ALL_", "DBA_", "USER_"})
        drop += std::string("DROP VIEW \"SYS.") + pre + v + "\"; ";
    drop += "DROP TABLE sim$types; DROP TABLE sim$type_attrs; DELETE FROM sim$objects WHERE type = 'TYPE';";
    char* err = nullptr;
    EXPECT_EQ(sqlite3_exec(db, drop.c_str(), nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
    sqlite3_free(err);
    sqlite3_close(db);
  }
  auto inst = Instance::Open(path);
  auto s = Session::LogOn(inst, "SCOTT", "TIGER");
  s->Prepare("create type pt_t as object (x number)")->Execute();
  s->Prepare("create table pts (p pt_t, d xmltype)")->Execute();
  auto c = s->Prepare(
      "select column_name, data_type, data_type_owner from user_tab_columns where table_name = 'PTS' order "
      "by "
      "column_id");
  c->Execute();
  std::vector<Value> row;
  std::vector<std::string> got;
  while (c->Fetch(row)) got.push_back(row[0].ToText() + " " + row[1].ToText() + " " + row[2].ToText());
  EXPECT_EQ(got, (std::vector<std::string>{"P PT_T SCOTT", "D XMLTYPE SYS"}));
  EXPECT_EQ(s->DescribeType("PT_T").attrs.size(), 1u);
  auto t = s->Prepare("select count(*) from all_types where type_name in ('PT_T', 'XMLTYPE')");
  t->Execute();
  ASSERT_TRUE(t->Fetch(row));
  EXPECT_EQ(row[0].ToText(), "2");
  s.reset();
  inst.reset();
  std::error_code ec;
  std::filesystem::remove_all(std::filesystem::path(path).parent_path(), ec);
}

}  // namespace
}  // namespace simtest