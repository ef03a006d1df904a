// A workload ends promptly on SIGTERM or SIGINT even while its sessions wait for rows another
// process holds. Two workloads on one instance make the wait: the second one's lock chain wants the
// rows the first one's holds.
#include <signal.h>
#include <string.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "ChildWait.h"
#include "SimTestUtil.h"

namespace simtest {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// How long a workload gets to show the state a test waits for (sessions logged on under a
// sanitizer on a loaded machine).
constexpr milliseconds kSetUpPatience{30000};
// How long a signalled workload may take to end.
constexpr milliseconds kWorkloadEnd{2000};

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

  // Waits at most Patience for Condition to hold: whether it did.
  static bool Await(const std::function<bool()>& condition, milliseconds patience) {
    const auto deadline = Clock::now() + patience;
    for (;;) {
      if (condition()) return true;
      if (Clock::now() >= deadline) return false;
      std::this_thread::sleep_for(milliseconds(20));
    }
  }

  // Sessions of the processes Processes names waiting for a row lock.
  static std::string Waiting(const std::string& processes) {
    return "w.event = 'enqueue' and s.status = 'ACTIVE' and s.process " + processes;
  }
  // The process Pid.
  static std::string Of(pid_t pid) { return "= '" + std::to_string(pid) + "'"; }

  // Starts the first workload and waits until its lock chain stands: its holder keeps the rows every
  // other chain wants.
  void StartFirstWorkload() {
    first_ = StartWorkload();
    ASSERT_GT(first_, 0);
    ASSERT_TRUE(Await([&] { return Sessions(Waiting(Of(first_))) >= 2; }, kSetUpPatience))
        << "the first workload's lock chain does not stand";
  }

  pid_t first_ = 0;
  pid_t second_ = 0;
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
  // its sessions logged off, or their process's end took them out of the instance
  EXPECT_TRUE(Await([&] { return Sessions("s.process " + Of(second)) == 0; }, milliseconds(1000)))
      << Sessions("s.process " + Of(second)) << " sessions of the ended workload are left";
  // the first workload goes on with its chain
  EXPECT_GE(Sessions(Waiting(Of(first_))), 2);
}

INSTANTIATE_TEST_SUITE_P(Signals, WorkloadSignalEnds,
                         ::testing::Values(SignalCase{"Term", SIGTERM}, SignalCase{"Int", SIGINT}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace simtest
