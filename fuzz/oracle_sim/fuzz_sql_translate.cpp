// Any statement text either translates, runs (queries only, every bind set to 1) and fetches, or
// fails with an ORA- error.
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "fuzz/FuzzTempPath.h"
#include "oracle_sim/engine/EngineState.h"

using namespace oracle_sim;

namespace {

std::chrono::steady_clock::time_point g_start{};

// Stops a runaway query (a cartesian product, a big sort) after a moment.
int Progress(void*) {
  if (g_start == std::chrono::steady_clock::time_point{}) return 0;
  return std::chrono::steady_clock::now() - g_start > std::chrono::milliseconds(50);
}

Session& TheSession() {
  // the instance's folder goes when the run ends (declared first, so removed after the instance closes)
  static const FuzzTempPath dir("talvik-fuzz-sql");
  static std::shared_ptr<Instance> inst;
  static std::unique_ptr<Session> dba;
  static std::unique_ptr<Session> s;
  if (!s) {
    std::filesystem::create_directories(dir.path);
    inst = Instance::Open((dir.path / "sim.db").string());
    // The monitor's statements read the dynamic performance views, which take a DBA; a second
    // session stays logged on for the session commands to act on.
    dba = Session::LogOn(inst, "system", "manager");
    dba->Prepare("grant dba to scott")->Execute();
    s = Session::LogOn(inst, "SCOTT", "TIGER");
    // named types, an object table and object / REF / XMLType columns for the statements to use
    for (const char* sql : {
             "create type fz_address_t as object (street varchar2(20), house number(5), city char(3))",
             "create type fz_phones_t as varray(3) of varchar2(10)",
             "create type fz_tags_t as table of number",
             "create type fz_person_t as object (name varchar2(10), addr fz_address_t, phones fz_phones_t, "
             "born date) not final",
             "create table fz_people of fz_person_t",
             "create table fz_contacts (id number, who fz_person_t, home ref fz_person_t, doc xmltype, tags "
             "fz_tags_t) nested table tags store as fz_tags_nt",
             "insert into fz_people values ('Ann', fz_address_t('Main', 12, 'TLN'), fz_phones_t('1'), "
             "sysdate)",
             "insert into fz_contacts select 1, value(p), ref(p), xmltype('<a/>'), fz_tags_t(1, 2) from "
             "fz_people p",
             "commit",
         }) {
      try {
        s->Prepare(sql)->Execute();
      } catch (const OraError&) {
      }
    }
    sqlite3_progress_handler(s->State().db, 1000, Progress, nullptr);
  }
  return *s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  std::string sql(reinterpret_cast<const char*>(data), size);
  Session& s = TheSession();
  try {
    auto c = s.Prepare(sql);
    const auto& cols = c->Describe();
    for (auto& d : cols)
      if (d.name.empty() && d.size < 0) std::abort();
    // The program's statements carry binds (":sid", ":addr"...): give each a value so that they run.
    for (const std::string& name : c->BindNames()) c->BindByName(name, Value::MakeInt(1));
    if (c->Kind() == StmtKind::Select) {
      g_start = std::chrono::steady_clock::now();
      struct Stop {
        ~Stop() { g_start = {}; }
      } stop;
      c->Execute();
      std::vector<Value> row;
      for (int i = 0; i < 20 && c->Fetch(row); ++i) {
        if (row.size() != cols.size()) std::abort();
        for (auto& v : row) (void)v.ToText();
      }
    }
  } catch (const OraError& e) {
    if (e.text.rfind("ORA-", 0) != 0) std::abort();
    if (e.code == 600) {  // an internal error is a translation bug
      std::fprintf(stderr, "%s\n", e.text.c_str());
      std::abort();
    }
  }
  return 0;
}
