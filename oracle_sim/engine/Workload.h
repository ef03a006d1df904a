// A live workload on a simulated instance: user sessions that log on and off, run statements, idle,
// wait on events, hold row locks that queue other sessions, keep transactions open and set their
// module, action and client information; and the simulation clock every elapsed time is read from.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "oracle_sim/engine/Cursor.h"
#include "oracle_sim/engine/Engine.h"

struct sqlite3;

namespace oracle_sim {

// The simulation clock of an instance (seconds since the epoch), shared by every process.
class SimClock {
 public:
  static int64_t Now(Instance& instance);
  static void Freeze(Instance& instance);                 // stops at the current reading
  static void Step(Instance& instance, int64_t seconds);  // moves on, frozen or not
  static void Run(Instance& instance);                    // runs on from the current reading
};

struct WorkloadShape {
  int sessions = 12;      // simulated user sessions
  int busyPercent = 40;   // share of them in a call (ACTIVE, waiting on an event) after each step
  bool lockChain = true;  // a session holding a row lock, two sessions queued behind it, one behind the other
  bool longActive = true;  // one session in a call that has lasted for minutes
  bool logoffs = true;     // users now and then log off on their own (others log on in their place)
};

class Workload {
 public:
  // `seed` makes the sequence of actions reproducible.
  Workload(std::shared_ptr<Instance> instance, uint32_t seed = 1);
  ~Workload();  // stops and logs every session off (their transactions roll back)

  void Shape(const WorkloadShape& shape);  // applied at the next step
  WorkloadShape CurrentShape() const;
  void Step();                     // one round: every free session does its next action
  void Start(int periodMs = 500);  // steps in a thread of its own until Stop
  void Stop();

  // Ends what the workload does once Flag turns true (a flag a signal handler sets; it outlives the
  // workload): the call each session is in, a lock wait included, fails with ORA-01013 within a few
  // hundredths of a second as a user's cancel ends it, and steps do nothing more.
  void CancelWhen(const std::atomic<bool>& flag);

  std::vector<int> Sids() const;  // SIDs of the workload's sessions
  int KilledCount() const;        // sessions that found themselves killed (and were replaced)

 private:
  friend struct WorkloadSeam;  // (tests: endChainTransaction_)
  using Clock = std::chrono::steady_clock;
  struct Sim;
  struct Chain;
  struct InCall;
  void StepLocked();
  void Fill();
  void Act(Sim& s);
  void MarkBusy(Sim& s);
  void BuildChain();
  void BreakChain();
  // Runs a statement in the session; false when it fails. A call still running at Deadline, once
  // Ends is set, or once the workload is cancelled, is broken off.
  bool Call(Sim& s, const std::string& sql, bool fetch = false,
            Clock::time_point deadline = Clock::time_point::max(), const std::atomic<bool>* ends = nullptr);
  bool LogOnChainSession(std::unique_ptr<Sim>& slot);
  bool Cancelled() const;
  void WatchCalls();
  void Cosmetics(Sim& s);
  bool Alive(const Sim& s);

  std::shared_ptr<Instance> instance_;
  sqlite3* db_ = nullptr;
  mutable std::mutex mu_;
  std::mt19937 rng_;
  WorkloadShape shape_;
  std::vector<std::unique_ptr<Sim>> sims_;
  std::unique_ptr<Chain> chain_;
  // How a session of the lock chain ends its transaction as the chain stands down.
  std::function<void(Session&)> endChainTransaction_ = [](Session& s) { s.Rollback(); };
  std::unique_ptr<Sim> longActive_;
  int next_ = 0;
  int killed_ = 0;
  std::thread thread_;
  bool running_ = false;
  std::mutex stopMu_;
  std::atomic<const std::atomic<bool>*> cancelFlag_{nullptr};
  // The calls under way, which the watcher breaks off once overdue or cancelled.
  std::mutex callsMu_;
  std::condition_variable watchEnds_;
  std::vector<const InCall*> calls_;
  bool watching_ = true;
  std::thread watcher_;
};

}  // namespace oracle_sim
