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
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

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
    if (first_ > 0) ::kill(first_, SIGCONT);  // a program the test stopped (StartStopped)
    childwait::End(first_, "the first workload");
    if (!otherInstance_.empty()) {
      std::error_code ec;
      std::filesystem::remove_all(std::filesystem::path(otherInstance_).parent_path(), ec);
    }
    SimTest::TearDown();
  }

  // The shell command that runs a workload of Tool on the instance file Instance names from the
  // folder Folder.
  static std::string WorkloadCommand(const std::string& instance, const std::string& folder = ".",
                                     const std::string& tool = SimTool()) {
    return "cd " + Quoted(folder) + " && exec " + Quoted(tool) + " " + Quoted(instance) +
           " run --sessions 2 --period 100 >/dev/null";
  }

  // A workload as a program of its own (the process leads its own group), on the test's instance or
  // as WorkloadCommand says.
  pid_t StartWorkload() { return StartWorkload(WorkloadCommand(path_)); }
  static pid_t StartWorkload(const std::string& command) {
    const pid_t pid = childwait::StartShell(command);
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

  // Starts a workload (StartWorkload) and waits until its sessions are on the instance: it has said
  // who it is.
  pid_t StartListedWorkload() { return StartListedWorkload(WorkloadCommand(path_)); }
  pid_t StartListedWorkload(const std::string& command) {
    const pid_t pid = StartWorkload(command);
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

  // Runs Sql on the test's instance file itself, as another tool or an ended workload left it, with
  // Key as ?1 and Value as ?2: whether it gave a row; nothing when it failed (the test fails).
  std::optional<bool> OnFile(const char* sql, const std::string& key, long long value = 0) const {
    sqlite3* db = nullptr;
    const TScopeExit close([&] { sqlite3_close(db); });
    sqlite3_stmt* st = nullptr;
    if (sqlite3_open(path_.c_str(), &db) != SQLITE_OK || sqlite3_busy_timeout(db, 10000) != SQLITE_OK ||
        sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
      ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db);
      return std::nullopt;
    }
    const TScopeExit finalize([&] { sqlite3_finalize(st); });
    sqlite3_bind_text(st, 1, key.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_bind_parameter_count(st) > 1) sqlite3_bind_int64(st, 2, value);
    const int done = sqlite3_step(st);
    if (done != SQLITE_ROW && done != SQLITE_DONE) {
      ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db);
      return std::nullopt;
    }
    return done == SQLITE_ROW;
  }
  bool Record(const std::string& key, long long value) const {
    return OnFile("INSERT OR REPLACE INTO sim$meta VALUES (?1, ?2)", key, value).has_value();
  }
  bool Forget(const std::string& key) const {
    return OnFile("DELETE FROM sim$meta WHERE key = ?1", key).has_value();
  }
  bool Recorded(const std::string& key) const {
    return OnFile("SELECT 1 FROM sim$meta WHERE key = ?1", key).value_or(false);
  }

  // The arguments process Pid runs with, its program's name first; none once it has ended.
  static std::vector<std::string> CommandLine(pid_t pid) {
    std::ifstream cmdline("/proc/" + std::to_string(pid) + "/cmdline");
    std::vector<std::string> args;
    for (std::string arg; std::getline(cmdline, arg, '\0');) args.push_back(arg);
    return args;
  }

  // When process Pid started, in clock ticks since the system's start; -1 when there is no such
  // process.
  static long long StartTicks(pid_t pid) {
    constexpr int kStartField = 22;  // of /proc/<pid>/stat; the command name (field 2) ends at the last ')'
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(line.substr(close + 1));
    std::string field;
    for (int i = 3; i <= kStartField && fields >> field; ++i)
      if (i == kStartField) return std::stoll(field);
    return -1;
  }

  // Whether SIGTERM waits for the stopped process Pid (it was sent while the process stood still).
  static bool SentTerm(pid_t pid) {
    EXPECT_EQ(childwait::ProcessState(pid), 'T') << "the stopped program " << pid << " does not stand still";
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    bool sent = false;
    for (std::string line; std::getline(status, line);)
      if (line.starts_with("SigPnd:") || line.starts_with("ShdPnd:"))
        sent |= ((std::stoull(line.substr(line.find(':') + 1), nullptr, 16) >> (SIGTERM - 1)) & 1) != 0;
    return sent;
  }

  // Whether process Pid holds the test's instance file (or its journal) open.
  bool HoldsTheInstance(pid_t pid) const {
    std::error_code ec;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec))
      if (std::filesystem::read_symlink(fd.path(), ec).string().starts_with(path_)) return true;
    return false;
  }

  // Starts the shell command Command (StartShell) and stops it (SIGSTOP) once it runs Program with the
  // arguments it is to have: its pid; 0 when that does not happen (the test fails). A stopped program
  // gets a signal sent to it only when it goes on, and SentTerm tells whether one waits. With
  // Untouched, only a program that has not yet opened the instance file counts (it holds none of the
  // file's locks, which others would wait for); one that has is ended and started again.
  pid_t StartStopped(const std::string& command, const std::string& program, bool untouched = false) {
    constexpr int kTries = 50;
    for (int i = 0; i < kTries; ++i) {
      pid_t pid = childwait::StartShell(command);
      if (pid <= 0) break;
      const auto deadline = Clock::now() + kSetUpPatience;
      for (;;) {
        // (a process in the middle of its exec reads an empty command line for a moment: only its end
        // ends the wait)
        const std::vector<std::string> args = CommandLine(pid);
        if ((!args.empty() && args[0] == program) || Clock::now() > deadline) break;
        const char state = childwait::ProcessState(pid);
        if (state == 'Z' || state == 0) break;
        std::this_thread::sleep_for(milliseconds(1));
      }
      const std::vector<std::string> args = CommandLine(pid);
      if (!args.empty() && args[0] == program && ::kill(pid, SIGSTOP) == 0 &&
          Await(
              [&] {
                const char state = childwait::ProcessState(pid);
                return state == 'T' || state == 'Z' || state == 0;
              },
              kSetUpPatience) &&
          childwait::ProcessState(pid) == 'T' && CommandLine(pid) == args &&
          !(untouched && HoldsTheInstance(pid)))
        return pid;
      childwait::End(pid, "a program not stopped in time", SIGKILL);
    }
    ADD_FAILURE() << "'" << command << "' does not stand still running " << program << " in " << kTries
                  << " tries";
    return 0;
  }

 public:
  // What an older tool's record may name (OldRecord).
  pid_t StartOtherProgram() { return StartStopped("exec sleep 60", "sleep"); }
  pid_t StartWorkloadOfAnotherInstance() {
    otherInstance_ = FreshInstancePath();
    return StartStopped(WorkloadCommand(otherInstance_), SimTool());
  }
  // tail, following the instance file, under the tool's name.
  pid_t StartProgramNamedLikeTheTool() {
    constexpr char kTail[] = "/usr/bin/tail";
    EXPECT_TRUE(std::filesystem::exists(kTail));
    const std::filesystem::path folder = InFolder("other");
    std::filesystem::create_directories(folder);
    const std::string named = (folder / kToolName).string();
    std::filesystem::create_symlink(kTail, named);
    return StartStopped("exec " + Quoted(named) + " " + Quoted(path_) + " run -f >/dev/null 2>&1", named);
  }
  pid_t StartOtherCommandOfTheTool() {
    return StartStopped("exec " + Quoted(SimTool()) + " " + Quoted(path_) + " status >/dev/null", SimTool(),
                        true);
  }
  // A workload that keeps no record of its own: it names its instance file from the file's folder.
  pid_t StartOlderToolsWorkload() {
    const std::filesystem::path file(path_);
    return WithoutItsRecord(
        StartListedWorkload(WorkloadCommand(file.filename().string(), file.parent_path().string())));
  }
  // An older tool's workload whose program file went, as when the tool was installed again since.
  pid_t StartReplacedToolsWorkload() {
    const std::string tool = InFolder(kToolName);
    std::error_code ec;
    std::filesystem::create_hard_link(SimTool(), tool, ec);
    if (ec) std::filesystem::copy_file(SimTool(), tool);
    const pid_t pid = StartListedWorkload(WorkloadCommand(path_, ".", tool));
    std::filesystem::remove(tool);
    return WithoutItsRecord(pid);
  }

 private:
  static constexpr char kToolName[] = "talvik-sim";

  // Takes the record the workload Pid keeps away, as an older tool's workload kept none: Pid.
  pid_t WithoutItsRecord(pid_t pid) {
    EXPECT_TRUE(Forget("workload_pid_" + std::to_string(pid)));
    return pid;
  }

 protected:
  pid_t first_ = 0;
  pid_t second_ = 0;
  pid_t sequence_ = 0;
  std::string otherInstance_;  // a second instance file the test made (its folder goes with the test)
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

// `stop` signals only a workload of the instance a record names: a program that took over the pid of
// a workload that ended without removing its record is left alone, even one that started at the
// moment the workload did (as the same programs in the same order do after a restart of the
// system), and the record goes, saying so.
TEST_F(WorkloadSignalTest, StopSignalsOnlyTheWorkloadsItsRecordsName) {
  first_ = StartStopped("exec sleep 60", "sleep");
  ASSERT_GT(first_, 0);
  const std::string key = "workload_pid_" + std::to_string(first_);
  const long long started = StartTicks(first_);
  ASSERT_GT(started, 0);
  for (const long long value : {1LL, started}) {
    SCOPED_TRACE("the record says the workload started at " + std::to_string(value));
    ASSERT_TRUE(Record(key, value));
    std::string out;
    EXPECT_EQ(RunTool("stop", &out), 1) << out;
    EXPECT_FALSE(SentTerm(first_)) << "stop signalled a program that is no workload: " << out;
    EXPECT_FALSE(Recorded(key)) << "the record of the ended workload is left";
    EXPECT_NE(out.find("dropped the record " + key + " on " + path_ + ": process " + std::to_string(first_)),
              std::string::npos)
        << out;
  }
}

// The program an older tool's record (the pid alone) names.
struct OldRecordCase {
  const char* name;
  pid_t (WorkloadSignalTest::*start)();
  bool workload;  // a workload of the test's instance, which stop ends
};

void PrintTo(const OldRecordCase& c, std::ostream* os) {
  *os << c.name;
}

class OldRecord : public WorkloadSignalTest, public ::testing::WithParamInterface<OldRecordCase> {};

// An older tool's record holds no start time: `stop` signals the process it names only when that
// process runs talvik-sim's workload on this very instance file. Any other process is left alone and
// the record goes, saying so.
TEST_P(OldRecord, StopSignalsItsProcessOnlyWhenThatIsAWorkloadOfTheInstance) {
  first_ = (this->*GetParam().start)();
  ASSERT_GT(first_, 0);
  ASSERT_TRUE(Record("workload_pid", first_));
  std::string out;
  const int code = RunTool("stop", &out);
  if (GetParam().workload) {
    EXPECT_EQ(code, 0) << out;
    const pid_t workload = first_;
    EXPECT_EQ(AwaitWorkloadEnd(first_, "the older tool's workload"), 0);
    EXPECT_EQ(LeftBy(workload), 0) << "sessions of the older tool's workload did not log off";
    return;
  }
  EXPECT_EQ(code, 1) << out;
  EXPECT_FALSE(SentTerm(first_)) << "stop signalled a program that is no workload of the instance: " << out;
  EXPECT_FALSE(Recorded("workload_pid")) << "the older tool's record is left";
  EXPECT_NE(out.find("dropped the record workload_pid on " + path_ + ": process " + std::to_string(first_) +
                     " is no workload of the instance"),
            std::string::npos)
      << out;
}

INSTANTIATE_TEST_SUITE_P(
    Names, OldRecord,
    ::testing::Values(OldRecordCase{"AnotherProgram", &WorkloadSignalTest::StartOtherProgram, false},
                      OldRecordCase{"AWorkloadOfAnotherInstance",
                                    &WorkloadSignalTest::StartWorkloadOfAnotherInstance, false},
                      OldRecordCase{"AProgramNamedLikeTheToolGivenTheInstanceAndRun",
                                    &WorkloadSignalTest::StartProgramNamedLikeTheTool, false},
                      OldRecordCase{"AnotherCommandOfTheToolOnTheInstance",
                                    &WorkloadSignalTest::StartOtherCommandOfTheTool, false},
                      OldRecordCase{"AWorkloadOfTheInstanceNamedFromItsFolder",
                                    &WorkloadSignalTest::StartOlderToolsWorkload, true},
                      OldRecordCase{"AWorkloadOfTheInstanceWhoseProgramWentSince",
                                    &WorkloadSignalTest::StartReplacedToolsWorkload, true}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(Ends, StartSequence,
                         ::testing::Values(SequenceCase{"ProgramEndsByItself", ProgramEnd::kByItself, 0},
                                           SequenceCase{"CtrlC", ProgramEnd::kCtrlC, 130}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace simtest
