// A workload ends promptly on SIGTERM or SIGINT even while its sessions wait for rows another
// process holds, and the sequence that starts the program beside a workload (scripts/with-workload,
// which scripts/run ends with) returns soon after the program ends or is interrupted. Two workloads
// on one instance make the wait: the second one's lock chain wants the rows the first one's holds.
// `talvik-sim stop` ends every workload of an instance.
#include <signal.h>
#include <sqlite3.h>
#include <string.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "ChildWait.h"
#include "SimTestUtil.h"
#include "platform/rtl/ScopeExit.h"

namespace simtest {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// How long a workload gets to show the state a test waits for (sessions logged on under a
// sanitizer on a loaded machine).
constexpr milliseconds kSetUpPatience{30000};
// How long a signalled workload, and the start sequence after its program ends, may take.
constexpr milliseconds kWorkloadEnd{2000};
constexpr milliseconds kSequenceEnd{5000};

std::string SimTool() {
  return std::string(TALVIK_TEST_BINARY_DIR) + "/oracle_sim/talvik-sim";
}

std::string Quoted(const std::string& text) {
  return "'" + text + "'";
}

long ElapsedMs(Clock::time_point since) {
  return static_cast<long>(std::chrono::duration_cast<milliseconds>(Clock::now() - since).count());
}

class WorkloadSignalTest : public SimTest {
 protected:
  void TearDown() override {
    childwait::End(sequence_, "the start sequence");
    childwait::End(second_, "the second workload");
    childwait::End(first_, "the first workload");
    SimTest::TearDown();
  }

  // A workload on the test's instance as a program of its own (the process leads its own group).
  pid_t StartWorkload() {
    const pid_t pid = childwait::StartShell("exec " + Quoted(SimTool()) + " " + Quoted(path_) +
                                            " run --sessions 2 --period 100 >/dev/null");
    EXPECT_GT(pid, 0) << "talvik-sim does not start";
    return pid;
  }

  // The number of sessions the instance lists that match Condition (over v$session s and
  // v$session_wait w).
  long Sessions(const std::string& condition) {
    const Rows rows = Query(
        *system_, "select count(*) from v$session s, v$session_wait w where s.sid = w.sid and " + condition);
    return std::stol(rows.at(0).at(0));
  }

  // Sessions of the processes Processes names waiting for a row lock.
  static std::string Waiting(const std::string& processes) {
    return "w.event = 'enqueue' and s.status = 'ACTIVE' and s.process " + processes;
  }
  // The process Pid; every process but Pid and the test's own.
  static std::string Of(pid_t pid) { return "= '" + std::to_string(pid) + "'"; }
  static std::string Besides(pid_t pid) {
    return "not in ('" + std::to_string(pid) + "', '" + std::to_string(::getpid()) + "')";
  }

  // Starts the first workload and waits until its lock chain stands: its holder keeps the rows every
  // other chain wants.
  void StartFirstWorkload() {
    first_ = StartWorkload();
    ASSERT_GT(first_, 0);
    ASSERT_TRUE(Await([&] { return Sessions(Waiting(Of(first_))) >= 2; }, kSetUpPatience))
        << "the first workload's lock chain does not stand";
  }

  // The sessions the instance file holds of process Pid, read from the file itself: the sessions of
  // an ended process that did not log off, which no statement reading the instance has swept yet.
  long LeftBy(pid_t pid) const {
    sqlite3* db = nullptr;
    long left = -1;
    if (sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
      sqlite3_busy_timeout(db, 10000);
      sqlite3_stmt* st = nullptr;
      sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM sim$sessions WHERE pid = ?", -1, &st, nullptr);
      sqlite3_bind_int64(st, 1, pid);
      if (sqlite3_step(st) == SQLITE_ROW) left = sqlite3_column_int(st, 0);
      sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return left;
  }

  // A file of the test's own folder (which goes with the test).
  std::string InFolder(const std::string& name) const {
    return (std::filesystem::path(path_).parent_path() / name).string();
  }

  // Starts scripts/with-workload on the test's instance with Tool as talvik-sim and the shell command
  // Program as the program, in a process group of its own; what it says goes to SequenceSaid.
  void RunSequence(const std::string& tool, const std::string& program) {
    const std::string script = std::string(TALVIK_TEST_SOURCE_DIR) + "/scripts/with-workload";
    sequence_ =
        childwait::StartShell("exec bash " + Quoted(script) + " " + Quoted(tool) + " " + Quoted(path_) +
                              " sh -c " + Quoted(program) + " 2>" + Quoted(InFolder(kSequenceSaid)));
    ASSERT_GT(sequence_, 0) << "the start sequence does not start";
  }

  // Whether the start sequence said it killed its workload (one that did not end in time).
  bool SequenceKilledItsWorkload() const {
    std::ifstream said(InFolder(kSequenceSaid));
    const std::string text((std::istreambuf_iterator<char>(said)), std::istreambuf_iterator<char>());
    std::printf("the sequence said: %s\n", text.empty() ? "nothing" : text.c_str());
    return text.find("killed it") != std::string::npos;
  }

  static constexpr char kSequenceSaid[] = "sequence.err";

  // Runs talvik-sim with Arguments on the test's instance to its end: its exit code, what it wrote in
  // Output.
  int RunTool(const std::string& arguments, std::string* output = nullptr) {
    std::string text;
    const int code =
        childwait::RunShell(Quoted(SimTool()) + " " + Quoted(path_) + " " + arguments + " 2>&1", &text);
    if (output) *output = text;
    return code;
  }

  // Starts a workload and waits until its sessions are on the instance: it has said who it is.
  pid_t StartListedWorkload() {
    const pid_t pid = StartWorkload();
    if (pid > 0) {
      EXPECT_TRUE(Await([&] { return Sessions("s.process " + Of(pid)) > 0; }, kSetUpPatience))
          << "the workload " << pid << " logs no session on";
    }
    return pid;
  }

  // Waits at most a healthy end's patience for the workload Pid (a member this clears) to end after
  // it was told to: its exit code; -1 when it had to be killed (the test fails).
  static int AwaitWorkloadEnd(pid_t& pid, const char* what) {
    const pid_t workload = std::exchange(pid, 0);
    const std::optional<int> code = childwait::WaitFor(workload, childwait::kEndPatience);
    if (code) return *code;
    childwait::WaitOrKill(workload, milliseconds(0));
    ADD_FAILURE() << what << " still ran " << childwait::Duration(childwait::kEndPatience)
                  << " after it was told to end";
    return -1;
  }

  // Waits for the start sequence to return, at most kSequenceEnd from Since (the program's end): its
  // exit code. A sequence still running then is killed with what it started, and the test fails.
  std::optional<int> AwaitSequence(Clock::time_point since) {
    const pid_t sequence = std::exchange(sequence_, 0);
    const std::optional<int> code = childwait::WaitFor(
        sequence, std::chrono::duration_cast<milliseconds>(since + kSequenceEnd - Clock::now()));
    const long took = ElapsedMs(since);
    std::printf("the sequence %s %ld ms after the program's end\n", code ? "returned" : "still ran", took);
    if (code) return code;
    childwait::WaitOrKill(sequence, milliseconds(0));
    ADD_FAILURE() << "the start sequence did not return within " << childwait::Duration(kSequenceEnd)
                  << " of the program's end";
    return std::nullopt;
  }

  pid_t first_ = 0;
  pid_t second_ = 0;
  pid_t sequence_ = 0;
};

struct SignalCase {
  const char* name;
  int signal;
};

void PrintTo(const SignalCase& c, std::ostream* os) {
  *os << c.name;
}

class WorkloadSignalEnds : public WorkloadSignalTest, public ::testing::WithParamInterface<SignalCase> {};

TEST_P(WorkloadSignalEnds, TheSecondWorkloadWhileItWaitsForTheFirstsRows) {
  ASSERT_NO_FATAL_FAILURE(StartFirstWorkload());
  second_ = StartWorkload();
  ASSERT_GT(second_, 0);
  ASSERT_TRUE(Await([&] { return Sessions(Waiting(Of(second_))) > 0; }, kSetUpPatience))
      << "the second workload does not wait for the first one's rows";
  const pid_t second = std::exchange(second_, 0);
  const auto sent = Clock::now();
  ASSERT_EQ(::kill(second, GetParam().signal), 0);
  const std::optional<int> code = childwait::WaitFor(second, kWorkloadEnd);
  const long took = ElapsedMs(sent);
  std::printf("the second workload %s %ld ms after SIG%s\n", code ? "ended" : "still ran", took,
              sigabbrev_np(GetParam().signal));
  if (!code) {
    childwait::WaitOrKill(second, milliseconds(0));
    FAIL() << "the second workload did not end within " << childwait::Duration(kWorkloadEnd) << " of SIG"
           << sigabbrev_np(GetParam().signal);
  }
  EXPECT_EQ(*code, 0) << "the second workload did not end cleanly";
  // its sessions logged off before it ended
  EXPECT_EQ(LeftBy(second), 0) << "sessions of the ended workload did not log off";
  // the first workload goes on with its chain
  EXPECT_GE(Sessions(Waiting(Of(first_))), 2);
}

INSTANTIATE_TEST_SUITE_P(Signals, WorkloadSignalEnds,
                         ::testing::Values(SignalCase{"Term", SIGTERM}, SignalCase{"Int", SIGINT}),
                         [](const auto& info) { return std::string(info.param.name); });

// How the program beside the workload ends.
enum class ProgramEnd { kByItself, kCtrlC };

struct SequenceCase {
  const char* name;
  ProgramEnd end;
  int exitCode;  // the sequence's
};

void PrintTo(const SequenceCase& c, std::ostream* os) {
  *os << c.name;
}

class StartSequence : public WorkloadSignalTest, public ::testing::WithParamInterface<SequenceCase> {};

// The program is a stand-in that runs until the test lets it end (a file appears), then leaves a
// file behind as it ends.
TEST_P(StartSequence, ReturnsSoonAfterTheProgramWhileItsWorkloadWaitsForAnothersRows) {
  ASSERT_NO_FATAL_FAILURE(StartFirstWorkload());
  const std::string go = InFolder("go"), ended = InFolder("ended");
  ASSERT_NO_FATAL_FAILURE(
      RunSequence(SimTool(), "while [ ! -e " + Quoted(go) + " ]; do sleep 0.05; done; : >" + Quoted(ended)));
  ASSERT_TRUE(Await([&] { return Sessions(Waiting(Besides(first_))) > 0; }, kSetUpPatience))
      << "the sequence's workload does not wait for the first workload's rows";
  const Rows processes = Query(*system_,
                               "select distinct s.process from v$session s, v$session_wait w where s.sid = "
                               "w.sid and " +
                                   Waiting(Besides(first_)));
  ASSERT_EQ(processes.size(), 1u);
  const pid_t workload = static_cast<pid_t>(std::stol(processes.at(0).at(0)));

  Clock::time_point programEnd;
  if (GetParam().end == ProgramEnd::kByItself) {
    { std::ofstream{go}; }
    ASSERT_TRUE(Await([&] { return std::filesystem::exists(ended); }, kSetUpPatience))
        << "the stand-in program does not end";
    programEnd = Clock::now();
  } else {
    programEnd = Clock::now();
    ASSERT_EQ(::kill(-sequence_, SIGINT), 0);  // Ctrl+C in the terminal reaches the whole group
  }
  const std::optional<int> code = AwaitSequence(programEnd);
  ASSERT_TRUE(code);
  EXPECT_EQ(*code, GetParam().exitCode);
  // its workload ended by itself with it, its sessions logged off
  EXPECT_FALSE(SequenceKilledItsWorkload());
  EXPECT_EQ(LeftBy(workload), 0) << "sessions of the sequence's workload did not log off";
  EXPECT_EQ(Sessions("s.type = 'USER' and s.process " + Besides(first_)), 0)
      << "sessions of the sequence's workload are left";
}

// A workload that does not end on SIGTERM (a stand-in for talvik-sim that ignores it) is killed once
// its time is up, and the sequence returns all the same.
TEST_F(WorkloadSignalTest, TheStartSequenceKillsAWorkloadThatOutlivesItsTime) {
  const std::string tool = InFolder("stubborn-sim"), started = InFolder("workload.pid"),
                    ended = InFolder("ended");
  {
    std::ofstream script(tool);
    script << "#!/bin/sh\n[ \"$2\" = run ] || exit 0\necho $$ >" << Quoted(started)
           << "\ntrap '' TERM INT\nexec sleep 60\n";
  }
  std::filesystem::permissions(tool, std::filesystem::perms::owner_all);
  ASSERT_NO_FATAL_FAILURE(
      RunSequence(tool, "while [ ! -s " + Quoted(started) + " ]; do sleep 0.05; done; : >" + Quoted(ended)));
  ASSERT_TRUE(Await([&] { return std::filesystem::exists(ended); }, kSetUpPatience))
      << "the stand-in program does not end";
  const auto programEnd = Clock::now();
  pid_t workload = 0;
  std::ifstream(started) >> workload;
  const std::optional<int> code = AwaitSequence(programEnd);
  ASSERT_TRUE(code);
  EXPECT_EQ(*code, 0);
  EXPECT_TRUE(SequenceKilledItsWorkload());
  EXPECT_EQ(childwait::ProcessState(workload), 0) << "the workload " << workload << " still runs";
}

// `talvik-sim stop` ends every workload running on the instance, and then finds none left.
TEST_F(WorkloadSignalTest, StopEndsEveryWorkloadOfTheInstance) {
  first_ = StartListedWorkload();
  second_ = StartListedWorkload();
  ASSERT_FALSE(HasFailure());
  std::string out;
  EXPECT_EQ(RunTool("stop", &out), 0) << out;
  EXPECT_EQ(AwaitWorkloadEnd(first_, "the first workload"), 0);
  EXPECT_EQ(AwaitWorkloadEnd(second_, "the second workload"), 0);
  EXPECT_EQ(RunTool("stop", &out), 1) << out;
  EXPECT_NE(out.find("no workload is running"), std::string::npos) << out;
}

// A workload that ends takes only its own record with it: `stop` still finds and ends the other.
TEST_F(WorkloadSignalTest, AWorkloadThatEndsLeavesTheOthersToStop) {
  first_ = StartListedWorkload();
  second_ = StartListedWorkload();
  ASSERT_FALSE(HasFailure());
  ASSERT_EQ(::kill(second_, SIGTERM), 0);
  EXPECT_EQ(AwaitWorkloadEnd(second_, "the second workload"), 0);
  std::string out;
  EXPECT_EQ(RunTool("stop", &out), 0) << out;
  EXPECT_EQ(AwaitWorkloadEnd(first_, "the first workload"), 0);
}

// `stop` signals only a process its record names: a program that took over the pid of a workload
// that ended without removing its record is left alone, and the record goes; an older tool's record
// (the pid alone) still reaches its workload.
TEST_F(WorkloadSignalTest, StopSignalsOnlyTheWorkloadsItsRecordsName) {
  first_ = childwait::StartShell("exec sleep 60");  // the other program
  ASSERT_GT(first_, 0);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
  const TScopeExit close([&] { sqlite3_close(db); });
  sqlite3_busy_timeout(db, 10000);
  auto record = [&](const std::string& key, long long value) {
    const std::string sql =
        "INSERT OR REPLACE INTO sim$meta VALUES ('" + key + "', " + std::to_string(value) + ")";
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  };
  auto recorded = [&](const std::string& key) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT 1 FROM sim$meta WHERE key = ?", -1, &st, nullptr);
    sqlite3_bind_text(st, 1, key.c_str(), -1, SQLITE_TRANSIENT);
    const bool found = sqlite3_step(st) == SQLITE_ROW;
    sqlite3_finalize(st);
    return found;
  };
  // (the workload that wrote it started as the system did)
  const std::string key = "workload_pid_" + std::to_string(first_);
  ASSERT_NO_FATAL_FAILURE(record(key, 1));
  std::string out;
  EXPECT_EQ(RunTool("stop", &out), 1) << out;
  if (const std::optional<int> code = childwait::WaitFor(first_, milliseconds(500))) {
    first_ = 0;
    FAIL() << "stop ended a program that was no workload: " << *code;
  }
  EXPECT_FALSE(recorded(key)) << "the record of the ended workload is left";

  ASSERT_NO_FATAL_FAILURE(record("workload_pid", first_));
  EXPECT_EQ(RunTool("stop", &out), 0) << out;
  EXPECT_EQ(AwaitWorkloadEnd(first_, "the older tool's workload"), 128 + SIGTERM);
}

INSTANTIATE_TEST_SUITE_P(Ends, StartSequence,
                         ::testing::Values(SequenceCase{"ProgramEndsByItself", ProgramEnd::kByItself, 0},
                                           SequenceCase{"CtrlC", ProgramEnd::kCtrlC, 130}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace simtest
