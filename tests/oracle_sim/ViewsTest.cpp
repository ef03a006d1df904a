// The dynamic performance views on a small scripted state: the session list, its detail statements
// (transactions, open cursors, locks and the sessions behind / in front, statistics, wait events,
// statement text) and the instance's restricted state.
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "MonitorStatements.h"
#include "SimTestUtil.h"
#include "oracle_sim/engine/Live.h"

namespace simtest {
namespace {

using oracle_sim::Value;

// Query results keyed by column name.
struct Table {
  std::vector<std::string> names;
  Rows rows;
  int Col(const std::string& n) const {
    for (size_t i = 0; i < names.size(); ++i)
      if (names[i] == n) return static_cast<int>(i);
    ADD_FAILURE() << "no column " << n;
    return 0;
  }
  // The row whose column `key` equals `value` (empty when none).
  std::vector<std::string> Row(const std::string& key, const std::string& value) const {
    int k = Col(key);
    for (auto& r : rows)
      if (r[k] == value) return r;
    return {};
  }
  std::string At(const std::string& key, const std::string& value, const std::string& col) const {
    auto r = Row(key, value);
    return r.empty() ? std::string("<none>") : r[Col(col)];
  }
};

class Views : public SimTest {
 protected:
  Table Run(Session& s, const std::string& sql, const Binds& binds = {}) {
    auto c = s.Prepare(sql);
    Table t;
    for (auto& d : c->Describe()) t.names.push_back(d.name);
    for (auto& [k, v] : binds) c->BindByName(k, v);
    c->Execute();
    std::vector<Value> row;
    while (c->Fetch(row)) {
      std::vector<std::string> r;
      for (auto& v : row) r.push_back(v.ToText());
      t.rows.push_back(r);
    }
    return t;
  }
  static Binds Sid(int sid) { return {{"SID", Value::MakeText(std::to_string(sid))}}; }
  std::string Me(const Session& s) const { return std::to_string(const_cast<Session&>(s).SessionId()); }
  void Clock(const std::function<void(sqlite3*)>& f) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 5000);
    f(db);
    sqlite3_close(db);
  }
};

TEST_F(Views, SessionListShowsBackgroundProcessesAndUserSessions) {
  auto t = Run(*system_, monitor_sql::kSessionList);
  ASSERT_EQ(t.names.size(), 27u);
  EXPECT_EQ(t.names[0], "SID");
  EXPECT_EQ(t.names[3], "ORACLE_USER");
  EXPECT_EQ(t.names[26], "MODULE");
  EXPECT_EQ(t.rows.size(), 8u);  // six background processes, SYSTEM and SCOTT
  EXPECT_EQ(t.At("PRNAME", "PMON", "ORACLE_USER"), "SYS (PMON)");
  EXPECT_EQ(t.At("PRNAME", "SMON", "OS_USER"), "(SMON)");
  EXPECT_EQ(t.At("PRNAME", "LGWR", "WAIT_EVENT"), "rdbms ipc message");
  EXPECT_EQ(t.At("PRNAME", "DBW0", "STATUS"), "ACTIVE");
  // background processes have been up for five days: the idle time shows hours beyond 99 cut to two digits
  EXPECT_GE(std::stoll(t.At("PRNAME", "CKPT", "LAST_CALL_ET_S")), 5 * 86400);
  // the monitor's own session is in its call (running this very statement)
  std::string me = Me(*system_);
  EXPECT_EQ(t.At("SID", me, "STATUS"), "ACTIVE");
  EXPECT_EQ(t.At("SID", me, "COMMAND"), "SELECT");
  EXPECT_EQ(t.At("SID", me, "ORACLE_USER"), "SYSTEM");
  EXPECT_EQ(t.At("SID", me, "PRNAME"), "USER");
  EXPECT_EQ(t.At("SID", me, "SERVER_PID").empty(), false);
  std::string scott = Me(*scott_);
  EXPECT_EQ(t.At("SID", scott, "STATUS"), "INACTIVE");
  EXPECT_EQ(t.At("SID", scott, "WAIT_EVENT"), "SQL*Net message from client");
  EXPECT_EQ(t.At("SID", scott, "WAIT_STATE").rfind("Waiting (", 0), 0u);
  EXPECT_EQ(t.At("SID", scott, "TADDR"), "");
  // rows come ordered by status: ACTIVE first
  EXPECT_EQ(t.rows.front()[t.Col("STATUS")], "ACTIVE");
  EXPECT_EQ(t.rows.back()[t.Col("STATUS")], "INACTIVE");
  // the statement text of the own session, piece by piece, is the session-list statement
  auto text = Run(*system_, monitor_sql::kSqlText,
                  {{"SQL_ADDRESS", Value::MakeText(t.At("SID", me, "SQL_ADDRESS"))},
                   {"SQL_HASH_VALUE", Value::MakeText(t.At("SID", me, "SQL_HASH_VALUE"))}});
  std::string whole;
  for (auto& r : text.rows) {
    EXPECT_LE(r[0].size(), 64u);
    whole += r[0];
  }
  EXPECT_EQ(whole, monitor_sql::kSessionList);
  EXPECT_GT(text.rows.size(), 30u);
  // an idle session that ran nothing has no statement: no text
  auto none = Run(*system_, monitor_sql::kSqlText,
                  {{"SQL_ADDRESS", Value::MakeText("00")}, {"SQL_HASH_VALUE", Value::MakeText("0")}});
  EXPECT_TRUE(none.rows.empty());
}

}  // namespace
}  // namespace simtest
