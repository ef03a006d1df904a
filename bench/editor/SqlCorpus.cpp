#include "SqlCorpus.h"

#include <cstdint>

namespace {

class Rng {
 public:
  explicit Rng(uint32_t seed) : s_(seed) {}
  uint32_t Next() {
    s_ ^= s_ << 13;
    s_ ^= s_ >> 17;
    s_ ^= s_ << 5;
    return s_;
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }
  template <size_t N>
  const char* Pick(const char* const (&a)[N]) {
    return a[Below(static_cast<int>(N))];
  }

 private:
  uint32_t s_;
};

const char* const kTables[] = {"v$session",  "v$process",   "v$lock",    "v$sesstat",
                               "v$statname", "dba_users",   "employees", "departments",
                               "orders",     "order_items", "customers", "audit_log"};
const char* const kColumns[] = {"sid",      "serial#", "username",       "status",       "osuser",
                                "machine",  "program", "sql_hash_value", "last_call_et", "logon_time",
                                "value",    "name",    "amount",         "created_at",   "customer_id",
                                "order_id", "dept_no", "salary"};
const char* const kFuncs[] = {"nvl",   "decode", "to_char", "substr", "trunc", "upper",
                              "count", "sum",    "max",     "round",  "instr", "lpad"};
const char* const kComments[] = {"-- sessions waiting on locks", "-- TODO: check the index on this column",
                                 "-- refreshed by the monitor every 5 seconds",
                                 "/* keep in sync with the view */",
                                 "-- Сессии пользователей, ожидающие блокировку"};

}  // namespace

std::vector<std::string> MakeSqlCorpus(int lines) {
  std::vector<std::string> out;
  out.reserve(static_cast<size_t>(lines) + 40);
  Rng rng(20261206);
  int block = 0;
  while (static_cast<int>(out.size()) < lines) {
    switch (rng.Below(5)) {
      case 0: {  // a query
        const char* t = rng.Pick(kTables);
        out.push_back(rng.Pick(kComments));
        out.push_back("select s." + std::string(rng.Pick(kColumns)) + ", " + rng.Pick(kFuncs) + "(s." +
                      rng.Pick(kColumns) + ", 'n/a') as c" + std::to_string(block) + ",");
        out.push_back("       to_char(s.logon_time, 'DD.MM.YYYY HH24:MI:SS') logon, p.spid");
        out.push_back("  from " + std::string(t) + " s, v$process p");
        out.push_back(" where s.paddr = p.addr(+)");
        out.push_back("   and s.status = 'ACTIVE' and s." + std::string(rng.Pick(kColumns)) + " > " +
                      std::to_string(rng.Below(100000)));
        out.push_back("   and s.username like :user_mask || '%'");
        out.push_back(" order by " + std::to_string(1 + rng.Below(5)) + " desc;");
        break;
      }
      case 1: {  // a PL/SQL block
        out.push_back("declare");
        out.push_back("  l_count   pls_integer := 0;");
        out.push_back("  l_name    varchar2(200) := 'Block " + std::to_string(block) + "';");
        out.push_back("  l_amount  number(12, 2) := " + std::to_string(rng.Below(9999)) + ".50;");
        out.push_back("begin");
        out.push_back("  /* count the rows, then report");
        out.push_back("     through dbms_output */");
        out.push_back("  for r in (select * from " + std::string(rng.Pick(kTables)) +
                      " where rownum <= 10) loop");
        out.push_back("    l_count := l_count + 1;");
        out.push_back("    if r." + std::string(rng.Pick(kColumns)) + " is null then");
        out.push_back("      dbms_output.put_line('null value at row ' || to_char(l_count));");
        out.push_back("    elsif l_count between 1..5 then");
        out.push_back("      l_amount := round(l_amount * 1.15, 2);");
        out.push_back("    end if;");
        out.push_back("  end loop;");
        out.push_back("  commit;");
        out.push_back("exception");
        out.push_back("  when no_data_found then");
        out.push_back("    null;");
        out.push_back("  when others then");
        out.push_back("    raise_application_error(-20001, 'Failed: ' || sqlerrm);");
        out.push_back("end;");
        out.push_back("/");
        break;
      }
      case 2: {  // DML
        out.push_back("insert into " + std::string(rng.Pick(kTables)) + " (id, name, created_at, amount)");
        out.push_back("values (seq_" + std::to_string(block % 7) + ".nextval, 'It''s row " +
                      std::to_string(block) + "', sysdate, " + std::to_string(rng.Below(100000)) + ");");
        out.push_back("update " + std::string(rng.Pick(kTables)) +
                      " set amount = amount * 1.1, status = 'DONE'");
        out.push_back(" where created_at < date '2024-01-31' and id in (select id from audit_log);");
        break;
      }
      case 3: {  // SQL*Plus script lines
        out.push_back("REM Generated report " + std::to_string(block));
        out.push_back("set linesize 200 pagesize 50 feedback off");
        out.push_back("column username format a20 heading 'User'");
        out.push_back("prompt Sessions of the instance");
        out.push_back("spool sessions_" + std::to_string(block) + ".lst");
        break;
      }
      default: {  // a long single-line statement, as v$sqltext gives them
        std::string s = "SELECT /*+ RULE */ ";
        for (int i = 0; i < 12; ++i) {
          s += std::string(rng.Pick(kFuncs)) + "(t." + rng.Pick(kColumns) + ") c" + std::to_string(i) + ", ";
        }
        s +=
            "1 FROM " + std::string(rng.Pick(kTables)) + " t WHERE t.sid = :b1 AND t.name = \"Quoted\"\"Id\"";
        out.push_back(s);
        break;
      }
    }
    ++block;
  }
  out.resize(static_cast<size_t>(lines));
  return out;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string r;
  size_t n = 0;
  for (const auto& l : lines) n += l.size() + 1;
  r.reserve(n);
  for (const auto& l : lines) {
    r += l;
    r += '\n';
  }
  return r;
}
