// Object types, object tables, REFs, collections and XMLType in the simulated instance.
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

}  // namespace
}  // namespace simtest
