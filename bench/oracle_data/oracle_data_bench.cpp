// Fetching 100,000 rows of 10 columns into the Oracle dataset next to the same fetch through
// TOracleQuery alone, filter evaluation over those rows, refreshing a session list of 1,000 and
// 10,000 sessions, posting 10,000 edited rows next to the same updates run through one query, and a
// detail re-queried as its master moves next to the same statement run through one query.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/OracleBenchSession.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "oracle_data/OracleData.h"

namespace {

constexpr int kRows = 100000;
constexpr int kPostRows = 10000;
const char* const kSelect = "select n, i2, i3, f1, f2, s1, s2, s3, d1, d2 from rows10";

class Instance {
 public:
  static Instance& Get() {
    static Instance instance;
    return instance;
  }
  TOracleSession* Session() { return session_; }

  // POSTS: kPostRows rows of an id, a number and a text, for the post benchmarks.
  const std::string& PostTable() {
    static const std::string sql = [this] {
      Exec("create table posts (id number(9), a number(9), b varchar2(20))");
      Fill("posts", kPostRows,
           [](int i, int c) -> TVariant {
             if (c == 2) return "text" + std::to_string(i);
             return i;
           },
           {otInteger, otInteger, otString});
      return std::string("select p.*, p.rowid from posts p order by id");
    }();
    return sql;
  }

  // SESSIONS<n>: a table shaped like the session list with n rows.
  const std::string& SessionTable(int Count) {
    static std::map<int, std::string> made;
    auto it = made.find(Count);
    if (it != made.end()) return it->second;
    const std::string name = "sessions" + std::to_string(Count);
    Exec("create table " + name +
         " (sid number(9), serial number(9), oracle_user varchar2(30), status varchar2(8), prname "
         "varchar2(8), "
         "machine varchar2(64), logon_time date, cpu number)");
    Fill(name, Count,
         [](int i, int c) -> TVariant {
           switch (c) {
             case 0:
               return i;
             case 1:
               return 1000 + i;
             case 2:
               return "USER" + std::to_string(i % 50);
             case 3:
               return i % 3 ? "INACTIVE" : "ACTIVE";
             case 4:
               return i % 10 ? "USER" : "PMON";
             case 5:
               return "host" + std::to_string(i % 20) + ".example.org";
             case 6:
               return TVariant::FromDate(45000 + i / 86400.0);
             default:
               return i * 0.25;
           }
         },
         {otInteger, otInteger, otString, otString, otString, otString, otDate, otFloat});
    return made[Count] =
               "select sid, serial, oracle_user, status, prname, machine, logon_time, cpu from " + name;
  }

  void Exec(const std::string& SQL) {
    TOracleQuery q(nullptr);
    q.SetSession(session_);
    q.SQL()->SetText(SQL);
    q.Execute();
  }
  template <class F>
  void Fill(const std::string& Table, int Count, F Value, const std::vector<int>& Types) {
    scott_.Fill(Table, Count, Value, Types);
  }

 private:
  Instance() {
    Exec(
        "create table rows10 (n number(9), i2 number(9), i3 number(9), f1 number, f2 number, "
        "s1 varchar2(20), s2 varchar2(20), s3 varchar2(30), d1 date, d2 date)");
    Fill("rows10", kRows,
         [](int n, int c) -> TVariant {
           switch (c) {
             case 0:
               return n;
             case 1:
               return n * 2;
             case 2:
               return n % 97;
             case 3:
               return n * 0.5;
             case 4:
               return n / 3.0;
             case 5:
               return "name" + std::to_string(n);
             case 6:
               return "dept" + std::to_string(n % 10);
             case 7:
               return "a longer text " + std::to_string(n);
             case 8:
               return TVariant::FromDate(36526 + n % 1000);
             default:
               return TVariant::FromDate(40000.5 + n % 500);
           }
         },
         {otInteger, otInteger, otInteger, otFloat, otFloat, otString, otString, otString, otDate, otDate});
  }
  TBenchScottSession scott_{"talvik_data_bench_"};
  TOracleSession* session_ = scott_.Session();
};

// The bytes of the values of every row (4 per integer, 8 per float and date, the characters of a
// string) and the bytes the client library's defines take per row (value cell, indicator and
// returned length of each column).
struct TFetchSize {
  double valueBytes = 0;
  double defineBytesPerRow = 0;
};

TFetchSize MeasureFetch(TOracleSession* Session) {
  TFetchSize r;
  TOracleQuery q(nullptr);
  q.SetSession(Session);
  q.SQL()->SetText(kSelect);
  q.Execute();
  for (int c = 0; c < q.FieldCount(); ++c)
    r.defineBytesPerRow += q.FieldData(c)->rowSize + static_cast<double>(sizeof(sb2) + sizeof(ub2));
  for (; !q.Eof(); q.Next())
    for (int c = 5; c < 8; ++c) r.valueBytes += static_cast<double>(q.FieldAsString(c).size());
  r.valueBytes += kRows * (3 * 4 + 2 * 8 + 2 * 8);
  return r;
}

const TFetchSize& FetchSize() {
  static const TFetchSize size = MeasureFetch(Instance::Get().Session());
  return size;
}

// Every value of every row through the query's typed accessors, as a caller holding the values would
// read them: the same statement and ReadBuffer as the dataset's fetch, each column by the accessor of
// its type (integers, floats, strings and dates, as the dataset's fields take them).
void BM_QueryFetch(benchmark::State& state) {
  TOracleSession* s = Instance::Get().Session();
  for (auto _ : state) {
    TOracleQuery q(nullptr);
    q.SetSession(s);
    q.SetReadBuffer(static_cast<int>(state.range(0)));
    q.SQL()->SetText(kSelect);
    q.Execute();
    int rows = 0;
    for (; !q.Eof(); q.Next(), ++rows) {
      for (int c = 0; c < 3; ++c) benchmark::DoNotOptimize(q.FieldAsInteger(c));
      for (int c = 3; c < 5; ++c) benchmark::DoNotOptimize(q.FieldAsFloat(c));
      for (int c = 5; c < 8; ++c) benchmark::DoNotOptimize(q.FieldAsString(c));
      for (int c = 8; c < 10; ++c) benchmark::DoNotOptimize(q.FieldAsDate(c));
    }
    if (rows != kRows) state.SkipWithError("row count");
  }
  state.counters["value_bytes"] = FetchSize().valueBytes;
  state.counters["define_bytes"] = FetchSize().defineBytesPerRow * kRows;
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_QueryFetch)->Arg(25)->Arg(1000)->Unit(benchmark::kMillisecond);

// Heap bytes in use (taken from the heap or mapped by it for large blocks).
double HeapInUse() {
  const struct mallinfo2 m = mallinfo2();
  return static_cast<double>(m.uordblks + m.hblkhd);
}

// Opening and fetching every row into the dataset. Memory is what the open dataset holds: the
// growth of the heap plus the record chunks the store maps from the system, set against the value
// bytes and against the bytes the defines fetched. layout_floor is what the record layout itself
// needs (a record of RecordSize bytes and a pointer in the list of all records per row).
void BM_DataSetOpen(benchmark::State& state) {
  TOracleSession* s = Instance::Get().Session();
  const TFetchSize fetched = FetchSize();
  double memBytes = 0, storeBytes = 0;
  int recordSize = 0;
  for (auto _ : state) {
    const double before = HeapInUse();
    TOracleDataSet ds(nullptr);
    ds.SetSession(s);
    ds.SetReadBuffer(static_cast<int>(state.range(0)));
    ds.SQL()->SetText(kSelect);
    ds.Open();
    if (ds.RecordCount() != kRows) state.SkipWithError("row count");
    TRecordDataList* store = ds.RecordStore();
    memBytes = HeapInUse() - before + static_cast<double>(store->MappedBytes());
    storeBytes = static_cast<double>(store->AllocatedBytes());
    recordSize = ds.RecordSize();
    ds.Close();
  }
  const double defineBytes = fetched.defineBytesPerRow * kRows;
  const double floor = kRows * (recordSize + static_cast<double>(sizeof(void*)));
  state.counters["mem_bytes"] = memBytes;
  state.counters["store_bytes"] = storeBytes;
  state.counters["record_size"] = recordSize;
  state.counters["mem_per_value"] = memBytes / fetched.valueBytes;
  state.counters["mem_per_define"] = memBytes / defineBytes;
  state.counters["layout_floor_per_value"] = floor / fetched.valueBytes;
  state.counters["layout_floor_per_define"] = floor / defineBytes;
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_DataSetOpen)->Arg(25)->Arg(1000)->Unit(benchmark::kMillisecond);

// Re-filtering the whole store with an expression, and with a handler alone.
void BM_FilterEvaluation(benchmark::State& state) {
  TOracleSession* s = Instance::Get().Session();
  TOracleDataSet ds(nullptr);
  ds.SetSession(s);
  ds.SetReadBuffer(1000);
  ds.SQL()->SetText(kSelect);
  ds.SetFiltered(true);
  ds.Open();
  const bool handler = state.range(0) == 1;
  if (handler)
    ds.OnFilterRecord = [](TDataSet* d, bool& Accept) {
      Accept = d->FieldByName("S2")->AsString() == "dept3";
    };
  int flip = 0;
  for (auto _ : state) {
    if (handler) {
      ds.SetFiltered(false);
      ds.SetFiltered(true);
    } else {
      ds.SetFilter(++flip % 2 ? "(s2 = 'dept3') and (i3 > 10)" : "(s2 <> 'dept3') and (i3 > 10)");
    }
    benchmark::DoNotOptimize(ds.RecordCount());
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_FilterEvaluation)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The monitor's refresh: re-execute, fetch everything, filter by "prname = 'USER'" and count active
// user sessions in the filter-record handler.
void BM_SessionListRefresh(benchmark::State& state) {
  const std::string sql = Instance::Get().SessionTable(static_cast<int>(state.range(0)));
  TOracleDataSet ds(nullptr);
  ds.SetSession(Instance::Get().Session());
  ds.SetReadBuffer(1000);
  ds.SQL()->SetText(sql);
  ds.SetFilter("prname = 'USER'");
  ds.SetFiltered(true);
  int active = 0;
  ds.OnFilterRecord = [&](TDataSet* d, bool&) {
    if (d->FieldByName("prname")->AsString() == "USER" && d->FieldByName("status")->AsString() == "ACTIVE")
      ++active;
  };
  ds.Open();
  for (auto _ : state) {
    active = 0;
    ds.Refresh();
    benchmark::DoNotOptimize(active);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SessionListRefresh)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// Editing two fields of every one of 10,000 rows and posting each edit, in lmNone (range 0 = 0) or
// in the default mode, which checks the row before each edit (range 0 = 1); with a commit after
// every post (range 1 = 1) or one commit at the end (range 1 = 0).
void BM_PostEditedRows(benchmark::State& state) {
  TOracleSession* s = Instance::Get().Session();
  const bool defaultMode = state.range(0) == 1;
  const bool commitPerRow = state.range(1) == 1;
  TOracleDataSet ds(nullptr);
  ds.SetSession(s);
  ds.SetReadBuffer(1000);
  ds.SQL()->SetText(Instance::Get().PostTable());
  if (!defaultMode) ds.SetLockingMode(lmNone);
  ds.SetCommitOnPost(commitPerRow);
  ds.Open();
  TField* a = ds.FieldByName("A");
  TField* b = ds.FieldByName("B");
  // Every round (across repetitions too) writes values the rows do not hold yet.
  static int round = 0;
  for (auto _ : state) {
    ++round;
    int posted = 0;
    for (ds.First(); !ds.Eof(); ds.Next(), ++posted) {
      ds.Edit();
      a->SetAsInteger(round * kPostRows + posted);
      b->SetAsString("r" + std::to_string(round) + "-" + std::to_string(posted));
      ds.Post();
    }
    if (!commitPerRow) s->Commit();
    if (posted != kPostRows) state.SkipWithError("row count");
  }
  state.SetItemsProcessed(state.iterations() * kPostRows);
}
BENCHMARK(BM_PostEditedRows)
    ->ArgNames({"default", "commitPerRow"})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Unit(benchmark::kMillisecond);

// The statement the dataset generates for those edits, run 10,000 times through one TOracleQuery
// with the same variables, with a commit after each (range 0 = 1) or one at the end: what posting
// costs without the dataset.
void BM_GeneratedUpdatesThroughQuery(benchmark::State& state) {
  TOracleSession* s = Instance::Get().Session();
  const bool commitPerRow = state.range(0) == 1;
  std::vector<std::string> rowIds;
  {
    TOracleQuery q(nullptr);
    q.SetSession(s);
    q.SetReadBuffer(1000);
    q.SQL()->SetText(Instance::Get().PostTable());
    q.Execute();
    for (; !q.Eof(); q.Next()) rowIds.push_back(q.FieldAsString(3));
  }
  TOracleQuery q(nullptr);
  q.SetSession(s);
  q.SQL()->SetText(
      "update POSTS\r\nset A = :v2, B = :v3\r\nwhere rowid = :rvl__rowid\r\nreturning rowid into "
      ":rvl__rowid");
  q.DeclareVariable("v2", otInteger);
  q.DeclareVariable("v3", otString);
  q.DeclareVariable("rvl__rowid", otString);
  static int round = 0;
  for (auto _ : state) {
    ++round;
    int posted = 0;
    for (const std::string& rowId : rowIds) {
      q.SetVariable("v2", round * kPostRows + posted);
      q.SetVariable("v3", "q" + std::to_string(round) + "-" + std::to_string(posted));
      q.SetVariable("rvl__rowid", rowId);
      q.Execute();
      if (commitPerRow) s->Commit();
      ++posted;
    }
    if (!commitPerRow) s->Commit();
  }
  state.SetItemsProcessed(state.iterations() * kPostRows);
}
BENCHMARK(BM_GeneratedUpdatesThroughQuery)
    ->ArgNames({"commitPerRow"})
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond);

// A detail following its master, as the session window's tabs follow the session list: each
// iteration moves the master one row (down, then back up), and the detail is re-queried with the new
// master value and reads all its rows (range 0 of them for either master row, 3 columns: a number, a
// text and a number). Beside it the same statement through TOracleQuery alone.
const std::string& DetailTable(int Rows) {
  static std::map<int, std::string> made;
  auto it = made.find(Rows);
  if (it != made.end()) return it->second;
  const std::string name = "details" + std::to_string(Rows);
  Instance::Get().Exec("create table " + name +
                       " (sid number(9), n number(9), name varchar2(64), value number)");
  Instance::Get().Fill(name, 2 * Rows,
                       [Rows](int i, int c) -> TVariant {
                         switch (c) {
                           case 0:
                             return 1 + i / Rows;
                           case 1:
                             return i % Rows;
                           case 2:
                             return "statistic number " + std::to_string(i % Rows);
                           default:
                             return (i * 7919) % 100003 * 1.5;
                         }
                       },
                       {otInteger, otInteger, otString, otFloat});
  return made[Rows] = "select n, name, value from " + name + " where sid = :sid order by value desc";
}

void BM_DetailFollowsMaster(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const std::string sql = DetailTable(rows);
  TOracleDataSet master(nullptr), detail(nullptr);
  master.SetSession(Instance::Get().Session());
  master.SQL()->SetText("select n sid from rows10 where n between 1 and 2 order by n");
  detail.SetSession(Instance::Get().Session());
  detail.SQL()->SetText(sql);
  detail.DeclareVariable("SID", otInteger);
  detail.SetMaster(&master);
  detail.SetMasterFields("SID");
  detail.SetDetailFields("SID");
  master.Open();
  detail.Open();
  for (auto _ : state) {
    if (master.RecNo() == 1)
      master.Next();
    else
      master.Prior();
    if (detail.RecordCount() != rows) state.SkipWithError("the detail did not follow");
  }
  state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_DetailFollowsMaster)->Arg(1)->Arg(150)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_DetailStatementRaw(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const std::string sql = DetailTable(rows);
  TOracleQuery q(nullptr);
  q.SetSession(Instance::Get().Session());
  q.SQL()->SetText(sql);
  q.DeclareVariable("SID", otInteger);
  int sid = 1;
  for (auto _ : state) {
    sid = 3 - sid;
    q.SetVariable("SID", sid);
    q.Execute();
    int n = 0;
    double sum = 0;
    for (; !q.Eof(); q.Next(), ++n) {
      sum += q.FieldAsInteger(0) + q.FieldAsFloat(2);
      benchmark::DoNotOptimize(q.FieldAsString(1));
    }
    benchmark::DoNotOptimize(sum);
    if (n != rows) state.SkipWithError("rows");
  }
  state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_DetailStatementRaw)->Arg(1)->Arg(150)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
