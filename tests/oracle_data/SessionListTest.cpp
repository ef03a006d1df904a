// The session window's own statement over the instance's performance views: open, filter, refresh
// and search, as the monitor's refresh does.
#include <gtest/gtest.h>

#include "tests/oracle_data/DataSetTestSupport.h"
#include "tests/oracle_sim/MonitorStatements.h"

TEST_F(OracleDataTest, SessionListRefreshRoad) {
  session = Connect(false, "system", "manager");
  auto ds = DataSet(monitor_sql::kSessionList);
  ds->SetReadBuffer(1000);
  ds->SetFilter("prname = 'USER'");
  ds->SetFiltered(true);
  int users = 0, tested = 0;
  ds->OnFilterRecord = [&](TDataSet* d, bool&) {
    ++tested;
    if (d->FieldByName("prname")->AsString() == "USER") ++users;
  };
  ds->Open();
  const int all = tested, userRows = users;
  ASSERT_GT(all, 0);
  EXPECT_EQ(ds->RecordCount(), users);
  EXPECT_GT(users, 0) << "our own session is a user session";
  for (const char* f :
       {"SID", "SERIAL", "ORACLE_USER", "STATUS", "LOGON_TIME", "LAST_CALL_ET", "TADDR", "MODULE"})
    EXPECT_NE(ds->FindField(f), nullptr) << f;

  ds->SetFilter("prname <> 'USER'");
  EXPECT_EQ(ds->RecordCount(), all - userRows) << "background processes";
  ds->SetFilter("1 <> 1");
  EXPECT_EQ(ds->RecordCount(), 0);
  ds->SetFilter("");
  EXPECT_EQ(ds->RecordCount(), all);

  // Refresh and come back to the same session by SID.
  ds->Last();
  const int sid = ds->FieldByName("SID")->AsInteger();
  tested = 0;
  ds->Refresh();
  EXPECT_EQ(tested, all) << "every row passes the filter hook again";
  EXPECT_TRUE(ds->SearchRecord("SID", TVariant(sid), srFromBeginning));
  EXPECT_EQ(ds->FieldByName("SID")->AsInteger(), sid);
}
