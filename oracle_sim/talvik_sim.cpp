// talvik-sim: runs and shapes the workload of a simulated instance and reports the instance's state.
//
//   talvik-sim <instance-file> status
//   talvik-sim <instance-file> run [--sessions N] [--busy P] [--seed S] [--period MS] [--seconds T]
//                                  [--no-lock-chain] [--no-long-active] [--no-logoffs]
//   talvik-sim <instance-file> shape [--sessions N] [--busy P] [--lock-chain on|off] [--long-active on|off]
//                                    [--logoffs on|off]
//   talvik-sim <instance-file> stop                      (every workload running on the instance)
//   talvik-sim <instance-file> clock freeze|run|step SECONDS
//   talvik-sim <instance-file> restrict on|off
//   talvik-sim <instance-file> kill SID SERIAL
//   talvik-sim <instance-file> cut SID SERIAL
#include <signal.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "oracle_sim/engine/Cursor.h"
#include "oracle_sim/engine/Engine.h"
#include "oracle_sim/engine/Workload.h"

using namespace oracle_sim;

namespace {

std::atomic<bool> g_stop{false};

void OnSignal(int) {
  g_stop = true;
}

int Usage() {
  std::fprintf(stderr,
               "usage: talvik-sim <instance-file> status | run [--sessions N] [--busy P] [--seed S] "
               "[--period MS] [--seconds T] [--no-lock-chain] [--no-long-active] [--no-logoffs] | shape "
               "[--sessions N] [--busy P] [--lock-chain on|off] [--long-active on|off] [--logoffs on|off] | "
               "stop | clock freeze|run|step SECONDS | "
               "restrict on|off | kill SID SERIAL | cut SID SERIAL\n");
  return 2;
}

bool ToInt(const char* s, long& v) {
  char* end = nullptr;
  errno = 0;
  v = std::strtol(s, &end, 10);
  return s[0] && end && *end == 0 && errno == 0;
}

// Every running workload keeps a record of its own among the stored settings: "workload_pid_<pid>"
// with its process's start time as the value (a process that took over the pid of a workload that
// ended without removing its record is another one). An older tool's workload kept its pid alone
// in "workload_pid". A record left by a workload that was killed, crashed or ran when the system went
// down can name any program by now: `stop` signals only a process it can show to be a workload of the
// instance.
constexpr char kOldRecord[] = "workload_pid";
constexpr char kToolName[] = "talvik-sim";
constexpr char kRunCommand[] = "run";

std::string RecordKey(pid_t pid) {
  return std::string(kOldRecord) + "_" + std::to_string(pid);
}

void SetMeta(sqlite3* db, const std::string& key, long long value) {
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "INSERT OR REPLACE INTO sim$meta VALUES (?, ?)", -1, &st, nullptr);
  sqlite3_bind_text(st, 1, key.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int64(st, 2, value);
  sqlite3_step(st);
  sqlite3_finalize(st);
}

// The instance file, open for the settings and records another process may be writing at the
// moment (it waits for them), and closed when it goes.
using TMetaFile = std::unique_ptr<sqlite3, decltype(&sqlite3_close)>;
TMetaFile OpenMeta(const std::string& path) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);  // (a handle comes back even when the open fails: it is closed)
  TMetaFile file(db, &sqlite3_close);
  sqlite3_busy_timeout(db, 10000);
  return file;
}

// Shape settings kept in the instance file so that `shape` reaches a running `run`.
void StoreShape(sqlite3* db, const std::vector<std::pair<std::string, long>>& items) {
  for (const auto& [k, v] : items) SetMeta(db, "workload_" + k, v);
}

void DeleteMeta(sqlite3* db, const std::string& key) {
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "DELETE FROM sim$meta WHERE key = ?", -1, &st, nullptr);
  sqlite3_bind_text(st, 1, key.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_step(st);
  sqlite3_finalize(st);
}

// When process Pid started (clock ticks since the system's start); -1 when there is no such process.
long long ProcessStart(pid_t pid) {
  constexpr int kStartField = 22;  // of /proc/<pid>/stat; the command name (field 2) ends at the last ')'
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  const std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const size_t nameEnd = text.rfind(')');
  if (nameEnd == std::string::npos) return -1;
  std::istringstream fields(text.substr(nameEnd + 1));
  std::string field;
  for (int i = 3; i <= kStartField && fields >> field; ++i)
    if (i == kStartField) return std::atoll(field.c_str());
  return -1;
}

// Whether process Pid runs this tool's workload on the instance file Path: its program is this tool
// (under its name, also when the file was replaced since it started) and its command line reads
// "<instance-file> run ..." with the same file, a relative name taken from the process's own folder.
bool IsWorkloadOf(pid_t pid, const std::string& path) {
  namespace fs = std::filesystem;
  const fs::path proc = "/proc/" + std::to_string(pid);
  std::error_code ec;
  std::string program = fs::read_symlink(proc / "exe", ec).filename().string();
  constexpr std::string_view kReplaced = " (deleted)";
  if (program.ends_with(kReplaced)) program.resize(program.size() - kReplaced.size());
  if (ec || program != kToolName) return false;
  std::ifstream cmdline(proc / "cmdline");
  std::vector<std::string> args;
  for (std::string arg; std::getline(cmdline, arg, '\0');) args.push_back(arg);
  if (args.size() < 3 || args[2] != kRunCommand) return false;
  return fs::equivalent(proc / "cwd" / args[1], path, ec) && !ec;
}

long Meta(sqlite3* db, const std::string& key, long dflt) {
  sqlite3_stmt* st = nullptr;
  long r = dflt;
  sqlite3_prepare_v2(db, "SELECT value FROM sim$meta WHERE key = ?", -1, &st, nullptr);
  sqlite3_bind_text(st, 1, key.c_str(), -1, SQLITE_TRANSIENT);
  if (sqlite3_step(st) == SQLITE_ROW && sqlite3_column_type(st, 0) != SQLITE_NULL)
    r = sqlite3_column_int64(st, 0);
  sqlite3_finalize(st);
  return r;
}

void Print(Session& s, const std::string& sql) {
  auto c = s.Prepare(sql);
  auto& cols = c->Describe();
  c->Execute();
  for (size_t i = 0; i < cols.size(); ++i) std::printf("%s%s", i ? "\t" : "", cols[i].name.c_str());
  std::printf("\n");
  std::vector<Value> row;
  while (c->Fetch(row)) {
    for (size_t i = 0; i < row.size(); ++i) std::printf("%s%s", i ? "\t" : "", row[i].ToText().c_str());
    std::printf("\n");
  }
}

int Status(const std::shared_ptr<Instance>& inst) {
  auto s = Session::LogOn(inst, "SYS", "CHANGE_ON_INSTALL");
  Print(*s, "SELECT instance_name, host_name, version, startup_time, logins FROM v$instance");
  std::printf("\n");
  Print(*s,
        "SELECT type, status, COUNT(*) sessions FROM v$session WHERE sid <> "
        "(SELECT sid FROM v$mystat WHERE rownum = 1) GROUP BY type, status ORDER BY 1, 2");
  std::printf("\n");
  Print(
      *s,
      "SELECT s.sid, s.serial#, NVL(s.username, b.name) who, s.status, s.program, s.module, s.last_call_et, "
      "w.event, w.state FROM v$session s, v$session_wait w, v$bgprocess b WHERE s.sid = w.sid AND "
      "s.paddr = b.paddr(+) AND s.sid <> (SELECT sid FROM v$mystat WHERE rownum = 1) ORDER BY s.sid");
  std::printf("\n");
  Print(*s,
        "SELECT sid, type, id1, id2, lmode, request, block FROM v$lock WHERE type IN ('TX', 'TM') ORDER BY "
        "sid");
  std::printf("\nclock: %lld\n", static_cast<long long>(SimClock::Now(*inst)));
  return 0;
}

int RunWorkload(const std::shared_ptr<Instance>& inst, int argc, char** argv) {
  WorkloadShape shape;
  long seed = 1, period = 500, seconds = 0;
  for (int i = 0; i < argc; ++i) {
    std::string a = argv[i];
    long v = 0;
    auto num = [&](long& out) {
      if (i + 1 >= argc || !ToInt(argv[i + 1], v) || v < 0) return false;
      out = v;
      ++i;
      return true;
    };
    long n = 0;
    if (a == "--sessions" && num(n))
      shape.sessions = static_cast<int>(n);
    else if (a == "--busy" && num(n))
      shape.busyPercent = static_cast<int>(n);
    else if (a == "--seed" && num(seed)) {
    } else if (a == "--period" && num(period)) {
    } else if (a == "--seconds" && num(seconds)) {
    } else if (a == "--no-lock-chain")
      shape.lockChain = false;
    else if (a == "--no-long-active")
      shape.longActive = false;
    else if (a == "--no-logoffs")
      shape.logoffs = false;
    else
      return Usage();
  }
  const TMetaFile file = OpenMeta(inst->Path());
  sqlite3* db = file.get();
  StoreShape(db, {{"sessions", shape.sessions},
                  {"busy", shape.busyPercent},
                  {"lock_chain", shape.lockChain},
                  {"long_active", shape.longActive},
                  {"logoffs", shape.logoffs}});
  const std::string record = RecordKey(::getpid());
  SetMeta(db, record, ProcessStart(::getpid()));
  signal(SIGINT, OnSignal);
  signal(SIGTERM, OnSignal);
  Workload w(inst, static_cast<uint32_t>(seed));
  // a signal ends the workload whatever its sessions are doing, a wait for another process's lock too
  w.CancelWhen(g_stop);
  auto start = std::chrono::steady_clock::now();
  while (!g_stop) {
    WorkloadShape now;
    now.sessions = static_cast<int>(Meta(db, "workload_sessions", shape.sessions));
    now.busyPercent = static_cast<int>(Meta(db, "workload_busy", shape.busyPercent));
    now.lockChain = Meta(db, "workload_lock_chain", shape.lockChain) != 0;
    now.longActive = Meta(db, "workload_long_active", shape.longActive) != 0;
    now.logoffs = Meta(db, "workload_logoffs", shape.logoffs) != 0;
    w.Shape(now);
    w.Step();
    if (seconds > 0 && std::chrono::steady_clock::now() - start > std::chrono::seconds(seconds)) break;
    for (long t = 0; t < period && !g_stop; t += 10)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  DeleteMeta(db, record);
  std::printf("workload stopped; sessions killed meanwhile: %d\n", w.KilledCount());
  return 0;
}

// The stored key of a shape's on/off switch (nullptr for any other option).
const char* SwitchKey(const std::string& Option) {
  static const std::pair<const char*, const char*> kSwitches[] = {
      {"--lock-chain", "lock_chain"}, {"--long-active", "long_active"}, {"--logoffs", "logoffs"}};
  for (const auto& [option, key] : kSwitches)
    if (Option == option) return key;
  return nullptr;
}

// What a workload's record names now.
enum class TRecordFate { kWorkload, kEnded, kPidTaken, kNoWorkload };

// What `stop` says of the process a record it drops named.
constexpr std::pair<TRecordFate, const char*> kDroppedRecord[] = {
    {TRecordFate::kEnded, "has ended"},
    {TRecordFate::kPidTaken, "is another program than the workload that wrote the record"},
    {TRecordFate::kNoWorkload, "is no workload of the instance"},
};

// What the record of process Pid with Value (its start time; the pid alone in an older tool's
// record) names on the instance file Path.
TRecordFate FateOf(pid_t pid, bool old, long long value, const std::string& path) {
  const long long start = pid > 0 ? ProcessStart(pid) : -1;
  if (start < 0) return TRecordFate::kEnded;
  if (!old && start != value) return TRecordFate::kPidTaken;
  return IsWorkloadOf(pid, path) ? TRecordFate::kWorkload : TRecordFate::kNoWorkload;
}

// Asks every workload running on the instance to end (SIGTERM): how many were asked. The records of
// workloads that ended without removing them go, and so do records of processes that cannot be shown
// to be workloads of the instance, each saying so.
int StopWorkloads(const std::string& path) {
  const TMetaFile file = OpenMeta(path);
  sqlite3* db = file.get();
  const std::string prefix = std::string(kOldRecord) + "_";
  std::vector<std::pair<std::string, long long>> records;
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "SELECT key, value FROM sim$meta WHERE key = ?1 OR substr(key, 1, length(?2)) = ?2",
                     -1, &st, nullptr);
  sqlite3_bind_text(st, 1, kOldRecord, -1, SQLITE_STATIC);
  sqlite3_bind_text(st, 2, prefix.c_str(), -1, SQLITE_TRANSIENT);
  while (sqlite3_step(st) == SQLITE_ROW)
    records.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)),
                         sqlite3_column_int64(st, 1));
  sqlite3_finalize(st);
  int asked = 0;
  for (const auto& [key, value] : records) {
    const bool old = key == kOldRecord;
    const auto pid = static_cast<pid_t>(old ? value : std::atoll(key.c_str() + prefix.size()));
    const TRecordFate fate = FateOf(pid, old, value, path);
    if (fate == TRecordFate::kWorkload) {
      asked += ::kill(pid, SIGTERM) == 0;
      continue;
    }
    DeleteMeta(db, key);
    for (const auto& [dropped, text] : kDroppedRecord)
      if (dropped == fate)
        std::fprintf(stderr, "talvik-sim: dropped the record %s on %s: process %d %s\n", key.c_str(),
                     path.c_str(), static_cast<int>(pid), text);
  }
  return asked;
}

int ShapeCmd(const std::string& path, int argc, char** argv) {
  std::vector<std::pair<std::string, long>> items;
  for (int i = 0; i + 1 < argc; i += 2) {
    std::string a = argv[i], v = argv[i + 1];
    long n = 0;
    if ((a == "--sessions" || a == "--busy") && ToInt(v.c_str(), n) && n >= 0)
      items.push_back({a == "--sessions" ? "sessions" : "busy", n});
    else if (const char* key = SwitchKey(a); key && (v == "on" || v == "off"))
      items.push_back({key, v == "on"});
    else
      return Usage();
  }
  if (argc % 2 || items.empty()) return Usage();
  StoreShape(OpenMeta(path).get(), items);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  std::string path = argv[1], cmd = argv[2];
  try {
    auto inst = Instance::Open(path);
    if (cmd == "status") return Status(inst);
    if (cmd == kRunCommand) return RunWorkload(inst, argc - 3, argv + 3);
    if (cmd == "shape") return ShapeCmd(inst->Path(), argc - 3, argv + 3);
    if (cmd == "stop") {
      if (StopWorkloads(inst->Path()) == 0) {
        std::fprintf(stderr, "talvik-sim: no workload is running on %s\n", path.c_str());
        return 1;
      }
      return 0;
    }
    if (cmd == "clock" && argc >= 4) {
      std::string what = argv[3];
      long n = 0;
      if (what == "freeze")
        SimClock::Freeze(*inst);
      else if (what == "run")
        SimClock::Run(*inst);
      else if (what == "step" && argc == 5 && ToInt(argv[4], n))
        SimClock::Step(*inst, n);
      else
        return Usage();
      return 0;
    }
    auto sys = [&] { return Session::LogOn(inst, "SYS", "CHANGE_ON_INSTALL"); };
    if (cmd == "restrict" && argc == 4 &&
        (std::strcmp(argv[3], "on") == 0 || std::strcmp(argv[3], "off") == 0)) {
      sys()
          ->Prepare(std::strcmp(argv[3], "on") == 0 ? "ALTER SYSTEM ENABLE RESTRICTED SESSION"
                                                    : "ALTER SYSTEM DISABLE RESTRICTED SESSION")
          ->Execute();
      return 0;
    }
    long sid = 0, serial = 0;
    if ((cmd == "kill" || cmd == "cut") && argc == 5 && ToInt(argv[3], sid) && ToInt(argv[4], serial)) {
      std::string pair = "'" + std::to_string(sid) + "," + std::to_string(serial) + "'";
      sys()
          ->Prepare((cmd == "kill" ? "ALTER SYSTEM KILL SESSION " : "ALTER SYSTEM DISCONNECT SESSION ") +
                    pair)
          ->Execute();
      return 0;
    }
    return Usage();
  } catch (const OraError& e) {
    std::fprintf(stderr, "talvik-sim: %s\n", e.text.c_str());
    return 1;
  }
}
