// Objects, references and XML documents against the simulated instance: the fixed texts, the
// session's lists, attribute layouts, attribute values, columns, variables and changes through child
// objects.
#include <cstring>

#include "oracle/OracleCI.h"
#include "oracle/OracleObjects.h"
#include "oracle/OracleSession.h"
#include "oracle/OracleTypes.h"
#include "platform/rtl/SysUtils.h"
#include "tests/oracle/OracleTestSupport.h"

namespace {

using OracleObjectTest = ScottSessionTest;

// ---- Fixed texts ------------------------------------------------------------------------------------

TEST_F(OracleObjectTest, RefusalsUseTheirFixedTexts) {
  TOracleSession offline(nullptr);
  EXPECT_EQ(Raised([&] { TOracleObject o(&offline, "ADDRESS_T"); }), "Not logged on");
  EXPECT_EQ(Raised([&] { TXMLType x(&offline); }), "Not logged on");
  EXPECT_EQ(Raised([&] { TOracleReference r(&offline); }), "Not logged on");
  EXPECT_EQ(Raised([&] { TOracleObject o(S(), ""); }), "You must supply an object type");
  EXPECT_EQ(Raised([&] { TOracleObject::CreateForColumn(&offline); }), "Not logged on");

  auto q = Query(S(), "begin :o := :o; :r := :r; end;");
  q->DeclareVariable("o", otObject);
  q->DeclareVariable("r", otReference);
  TLOBLocator lob(S(), otCLOB);
  TOracleTimestamp ts(S(), otTimestamp);
  EXPECT_EQ(Raised([&] { q->SetComplexVariable("o", &lob); }),
            "Assign TOracleObject instance to variable :O");
  EXPECT_EQ(Raised([&] { q->SetComplexVariable("r", &ts); }),
            "Assign TOracleReference instance to variable :R");
  EXPECT_EQ(Raised([&] { q->Execute(); }), "Object variable :O cannot be nil");
  q->DeleteVariable("o");
  q->SQL()->SetText("begin :r := :r; end;");
  EXPECT_EQ(Raised([&] { q->Execute(); }), "Reference variable :R cannot be nil");

  auto sel = Query(S(), "select 1 n, 'x' s from dual");
  sel->Execute();
  EXPECT_EQ(Raised([&] { sel->ObjField(0); }), "Field N is not an Object");
  EXPECT_EQ(Raised([&] { sel->XMLField(1); }), "Field S is not an Object");
  EXPECT_EQ(Raised([&] { sel->RefField(0); }), "Field N is not a Reference");
  EXPECT_EQ(Raised([&] { sel->LOBField(1); }), "Field S is not a LOB");
}

// ---- The session's lists ----------------------------------------------------------------------------

TEST_F(OracleObjectTest, LocatorsJoinTheSessionAndGiveUpTheirHandlesAtLogOff) {
  EXPECT_EQ(S()->LOBCount(), 0);
  {
    TLOBLocator a(S(), otCLOB), b(S(), otBLOB);
    EXPECT_EQ(S()->LOBCount(), 2);
  }
  EXPECT_EQ(S()->LOBCount(), 0);

  Run(S(), "create table lob_t (c clob)");
  Run(S(), "insert into lob_t values ('text')");
  auto q = Query(S(), "select c from lob_t");
  q->Execute();
  EXPECT_EQ(S()->LOBCount(), 1);  // the column's locator
  EXPECT_EQ(q->LOBField(0)->AsString(), "text");

  auto kept = std::make_unique<TLOBLocator>(S(), otCLOB);
  S()->LogOff();
  EXPECT_EQ(S()->LOBCount(), 1);  // the column's went with the query's cursor
  EXPECT_EQ(Raised([&] { kept->Length(); }), "Not logged on");
  EXPECT_EQ(Raised([&] { kept->Write("x", 1); }), "Not logged on");

  // A locator outliving its session is freed without touching the session.
  S()->LogOn();
  auto orphan = std::make_unique<TLOBLocator>(S(), otBLOB);
  session_.reset();
  EXPECT_EQ(Raised([&] { orphan->Length(); }), "Not logged on");
  orphan.reset();
  kept.reset();
}

}  // namespace
