// What the seeded random walks of the test suites share: the log of the walk now running, printed
// when the walk fails and when the sanitizer ends the process, and the seed and length of a longer
// walk chosen through the environment (TALVIK_RANDOM_SEED, TALVIK_RANDOM_STEPS). TALVIK_RANDOM_TRACE
// prints every step as it is taken.
//
// A walk that draws through TDraws and is played through PlayWalk can also be replayed in part and
// reduced: with TALVIK_RANDOM_REDUCE set, a failed walk is cut down by delta debugging (see Reduce)
// to the fewest of its steps that still fail alike, which it prints with the way to replay them
// (TALVIK_RANDOM_REPLAY, the kept steps' numbers with the same seed).
#pragma once

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cassert>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#if defined(__has_include)
#if __has_include(<sanitizer/asan_interface.h>) && defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define TALVIK_HAVE_ASAN_CALLBACK 1
#endif
#endif

namespace randomwalk {

// The steps of one walk. While it lives it is the walk the sanitizer's death report prints; when
// it goes after a failed test it prints itself.
// A quiet log (a replay's while a failure is reduced) prints itself only for the sanitizer. A walk
// that marks where its steps begin (see StartStep) is printed step by step, with the steps' numbers.
class TWalkLog {
 public:
  explicit TWalkLog(unsigned Seed, bool Quiet = false) : seed_(Seed), quiet_(Quiet), previous_(Current()) {
    Current() = this;
#ifdef TALVIK_HAVE_ASAN_CALLBACK
    __asan_set_death_callback([] {
      if (Current()) Current()->Print();
    });
#endif
  }
  ~TWalkLog() {
    if (!quiet_ && ::testing::Test::HasFailure()) Print();
    Current() = previous_;
  }
  TWalkLog(const TWalkLog&) = delete;
  TWalkLog& operator=(const TWalkLog&) = delete;

  void Say(const std::string& Step) {
    steps_.push_back(Step);
    if (!quiet_ && std::getenv("TALVIK_RANDOM_TRACE"))
      std::fprintf(stderr, "step %zu: %s\n", marks_.empty() ? steps_.size() : marks_.back().step,
                   Step.c_str());
  }
  // The step numbered Index (its place in the walk, in a replay too) begins: what is said from now
  // on is its.
  void StartStep(std::size_t Index) {
    marks_.push_back({Index, steps_.size()});
  }
  std::size_t Count() const {
    return steps_.size();
  }
  unsigned Seed() const {
    return seed_;
  }
  // Quiet from now on: the walk's failure is reported otherwise.
  void Hush() {
    quiet_ = true;
  }
  void Print() const {
    std::fprintf(stderr, "random walk: seed %u, %zu steps:\n%s", seed_,
                 marks_.empty() ? steps_.size() : marks_.size(), Lines().c_str());
  }
  // The lines said, one a line; under the number of their step when the steps are marked (the set-up
  // before the first).
  std::string Lines() const {
    std::string out;
    const size_t setUp = marks_.empty() ? steps_.size() : marks_.front().line;
    for (size_t i = 0; i < setUp; ++i) out += "  " + steps_[i] + "\n";
    for (size_t m = 0; m < marks_.size(); ++m) {
      const size_t end = m + 1 < marks_.size() ? marks_[m + 1].line : steps_.size();
      out += "  step " + std::to_string(marks_[m].step) + ":" +
             (marks_[m].line == end ? " (says nothing)\n" : "");
      for (size_t i = marks_[m].line; i < end; ++i)
        out += (i == marks_[m].line ? " " : "    ") + steps_[i] + "\n";
    }
    return out;
  }

 private:
  static TWalkLog*& Current() {
    static TWalkLog* log = nullptr;
    return log;
  }
  struct TMark {
    std::size_t step, line;  // a step's number and its first line
  };
  unsigned seed_;
  bool quiet_;
  TWalkLog* previous_;  // the walk this one interrupts (a replay's, the walk it reduces)
  std::vector<std::string> steps_;
  std::vector<TMark> marks_;
};

// Takes Count steps of a walk (its Step and Check), stopping at the first fatal failure; a step that
// throws fails the walk.
template <class W>
void TakeSteps(W& Walk, const TWalkLog& Log, int Count) {
  for (int i = 0; i < Count && !::testing::Test::HasFatalFailure(); ++i) {
    try {
      Walk.Step();
    } catch (const std::exception& e) {
      FAIL() << "step " << Log.Count() << " threw out of the message loop: " << e.what();
    }
    Walk.Check();
  }
}

// ---- replays and their reduction

// The random draws of a walk, step by step. A walk draws from its seed's generator and keeps the
// values each step's Pick returned as that step's tape. A replay of some of the walk's steps draws its
// set-up from the seed as the walk did, and each replayed step from that step's own tape: a draw past
// the tape's end gives 0 and a value out of the range now asked for is taken modulo it, so that a step
// does what it did in the walk as far as the state it meets lets it.
class TDraws {
 public:
  using TTape = std::vector<int>;

  explicit TDraws(unsigned Seed) : rng_(Seed) {}
  // A replay of the walk's steps numbered Steps, with their tapes.
  TDraws(unsigned Seed, std::vector<size_t> Steps, std::vector<TTape> Tapes)
      : rng_(Seed), replaying_(true), steps_(std::move(Steps)), tapes_(std::move(Tapes)) {
    assert(steps_.size() == tapes_.size());
  }

  // The next step begins.
  void NextStep() {
    ++step_;
    drawn_ = 0;
    if (!replaying_) tapes_.emplace_back();
    assert(static_cast<size_t>(step_) < tapes_.size());
  }
  // The number of the step now taken: its place in the walk.
  size_t StepNumber() const {
    return replaying_ ? steps_[static_cast<size_t>(step_)] : static_cast<size_t>(step_);
  }
  // A value in [0, N); 0 when N is 1 or less (a walk draws nothing then).
  int Pick(int N) {
    if (replaying_ && step_ >= 0) {
      const TTape& tape = tapes_[static_cast<size_t>(step_)];
      const int value = drawn_ < tape.size() ? tape[drawn_] : 0;
      ++drawn_;
      return N <= 1 ? 0 : value % N;
    }
    const int value = N <= 1 ? 0 : std::uniform_int_distribution<int>(0, N - 1)(rng_);
    if (step_ >= 0) tapes_[static_cast<size_t>(step_)].push_back(value);
    return value;
  }
  // The tapes of the steps taken (of a walk) or replayed.
  const std::vector<TTape>& Tapes() const { return tapes_; }

 private:
  std::mt19937 rng_;
  bool replaying_ = false;
  std::vector<size_t> steps_;  // a replay's: the walk's numbers of its steps
  std::vector<TTape> tapes_;
  std::ptrdiff_t step_ = -1;  // the step now taken; -1 in the set-up
  size_t drawn_ = 0;          // draws of it so far
};

// The running test's failures reported while this lives, held back rather than failing the test.
class TCapturedFailures {
 public:
  bool Any() const { return results_.size() > 0; }
  std::string First() const { return Any() ? results_.GetTestPartResult(0).message() : std::string(); }

 private:
  ::testing::TestPartResultArray results_;
  ::testing::ScopedFakeTestPartResultReporter reporter_{
      ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &results_};
};

// Takes Count steps of a walk (its Step and Check) drawing from Draws, stopping at the first
// failure: a fatal one of the test, or any held back in Captured; a step that throws fails the walk.
// Returns the steps taken (the last one failed if any did).
template <class W>
size_t TakeSteps(W& Walk, TWalkLog& Log, TDraws& Draws, size_t Count,
                 const TCapturedFailures* Captured = nullptr) {
  auto failed = [&] { return Captured ? Captured->Any() : ::testing::Test::HasFatalFailure(); };
  size_t taken = 0;
  while (taken < Count && !failed()) {
    Draws.NextStep();
    Log.StartStep(Draws.StepNumber());
    ++taken;
    try {
      Walk.Step();
    } catch (const std::exception& e) {
      ADD_FAILURE() << "step " << Draws.StepNumber() << " threw out of the message loop: " << e.what();
      break;
    }
    Walk.Check();
  }
  return taken;
}

// A failure's message without the line FAIL() puts first.
inline std::string_view OwnMessage(std::string_view Message) {
  static constexpr std::string_view kFailed = "Failed\n";
  if (Message.starts_with(kFailed)) Message.remove_prefix(kFailed.size());
  return Message;
}

// The kind of a failure, by its message: the first line up to the first quote, each number in it
// as '#' (see OwnMessage). A replay fails alike when it fails the same check, whatever values it names.
inline std::string FailureKind(std::string_view Message) {
  std::string kind;
  for (char c : OwnMessage(Message)) {
    if (c == '\n' || c == '\'') break;
    if (!std::isdigit(static_cast<unsigned char>(c)))
      kind += c;
    else if (kind.empty() || kind.back() != '#')
      kind += '#';
  }
  return kind;
}

// The fewest items that still fail (delta debugging): the list without one of its parts is tried,
// parts ever smaller, until no single item can go. Fails(Items) may shorten Items to the part that
// took part in the failure (a replay: the steps up to the one that failed).
template <class T, class F>
std::vector<T> Reduce(std::vector<T> Items, F Fails) {
  size_t parts = 2;
  while (Items.size() >= 2) {
    const size_t size = Items.size(), chunk = (size + parts - 1) / parts;
    bool reduced = false;
    for (size_t start = 0; start < size && !reduced; start += chunk) {
      std::vector<T> rest(Items.begin(), Items.begin() + static_cast<std::ptrdiff_t>(start));
      rest.insert(rest.end(), Items.begin() + static_cast<std::ptrdiff_t>(std::min(start + chunk, size)),
                  Items.end());
      if (Fails(rest)) {
        Items = std::move(rest);
        parts = std::max<size_t>(parts - 1, 2);
        reduced = true;
      }
    }
    if (!reduced) {
      if (parts >= size) break;
      parts = std::min(parts * 2, size);
    }
  }
  return Items;
}

// A walk reduced: the numbers of its kept steps, what their replay printed and failed with, and
// the replays it took; no steps when a replay of them all does not fail alike.
struct TReducedWalk {
  std::vector<size_t> steps;
  std::string lines, failure;
  size_t replays = 0;
};

// The tapes of Steps among a walk's.
inline std::vector<TDraws::TTape> TapesOf(const std::vector<TDraws::TTape>& Tapes,
                                          const std::vector<size_t>& Steps) {
  std::vector<TDraws::TTape> tapes;
  for (size_t s : Steps) tapes.push_back(s < Tapes.size() ? Tapes[s] : TDraws::TTape{});
  return tapes;
}

// Reduces a failed walk of Seed, whose steps drew Tapes (the last failed), to the fewest steps whose
// replay fails with the same Kind of failure (see FailureKind). Play(Draws, Log, Count, Captured)
// makes the walk over Draws and takes Count steps (see TakeSteps), returning the steps taken.
template <class P>
TReducedWalk ReduceWalk(unsigned Seed, const std::vector<TDraws::TTape>& Tapes, const std::string& Kind,
                        P Play) {
  TReducedWalk r;
  auto failsAlike = [&](std::vector<size_t>& Steps) {
    ++r.replays;
    TCapturedFailures captured;
    TDraws draws(Seed, Steps, TapesOf(Tapes, Steps));
    TWalkLog log(Seed, true);
    const size_t taken = Play(draws, log, Steps.size(), &captured);
    if (!captured.Any() || FailureKind(captured.First()) != Kind) return false;
    Steps.resize(taken);
    return true;
  };
  std::vector<size_t> all(Tapes.size());
  std::iota(all.begin(), all.end(), size_t{0});
  if (!failsAlike(all)) {
    r.failure = "(the replay of all the steps does not fail alike: the walk is not reproducible)";
    return r;
  }
  r.steps = Reduce(std::move(all), failsAlike);
  TCapturedFailures captured;
  TDraws draws(Seed, r.steps, TapesOf(Tapes, r.steps));
  TWalkLog log(Seed, true);
  Play(draws, log, r.steps.size(), &captured);
  r.lines = log.Lines();
  r.failure = OwnMessage(captured.First());
  return r;
}

// The steps a replay takes (TALVIK_RANDOM_REPLAY: their numbers, separated by commas).
inline std::vector<size_t> StepsToReplay(const char* List) {
  std::vector<size_t> steps;
  for (const char* at = List; *at;) {
    char* end = nullptr;
    steps.push_back(std::strtoul(at, &end, 10));
    if (end == at) break;
    at = *end ? end + 1 : end;
  }
  return steps;
}

// The message of the running test's first failure.
inline std::string FirstFailure() {
  const ::testing::TestResult* result = ::testing::UnitTest::GetInstance()->current_test_info()->result();
  for (int i = 0; i < result->total_part_count(); ++i)
    if (result->GetTestPartResult(i).failed()) return result->GetTestPartResult(i).message();
  return {};
}

// Plays Count steps of the walk of Seed (see ReduceWalk for Play). With TALVIK_RANDOM_REPLAY set it
// replays only the steps it names, their tapes taken from a walk up to the last of them; with
// TALVIK_RANDOM_REDUCE set, a walk that fails is reduced and its kept steps printed.
template <class P>
void PlayWalk(unsigned Seed, size_t Count, P Play) {
  if (const char* list = std::getenv("TALVIK_RANDOM_REPLAY")) {
    const std::vector<size_t> steps = StepsToReplay(list);
    TDraws walked(Seed);
    {
      TCapturedFailures captured;
      TWalkLog log(Seed, true);
      Play(walked, log, steps.empty() ? 0 : *std::max_element(steps.begin(), steps.end()) + 1, &captured);
    }
    TDraws draws(Seed, steps, TapesOf(walked.Tapes(), steps));
    TWalkLog log(Seed);
    Play(draws, log, steps.size(), nullptr);
    return;
  }
  TDraws draws(Seed);
  TWalkLog log(Seed);
  Play(draws, log, Count, nullptr);
  if (!::testing::Test::HasFailure() || !std::getenv("TALVIK_RANDOM_REDUCE")) return;
  log.Hush();
  const TReducedWalk r = ReduceWalk(Seed, draws.Tapes(), FailureKind(FirstFailure()), Play);
  std::string replay;
  for (size_t s : r.steps) replay += (replay.empty() ? "" : ",") + std::to_string(s);
  ADD_FAILURE() << "random walk: seed " << Seed << ", " << draws.Tapes().size() << " steps reduced to "
                << r.steps.size() << " in " << r.replays << " replays:\n"
                << r.lines << "which fail with: " << r.failure << "\nreplay: TALVIK_RANDOM_SEED=" << Seed
                << " TALVIK_RANDOM_REPLAY=" << replay;
}

// Runs Run(seed, steps) for the walk asked for through the environment (TALVIK_RANDOM_SEED,
// TALVIK_RANDOM_STEPS, 20000 steps by default); skips the test when no seed is set.
template <class F>
void RunChosenWalk(F Run) {
  const char* seed = std::getenv("TALVIK_RANDOM_SEED");
  if (!seed) GTEST_SKIP() << "TALVIK_RANDOM_SEED is not set";
  const char* steps = std::getenv("TALVIK_RANDOM_STEPS");
  Run(static_cast<unsigned>(std::strtoul(seed, nullptr, 10)), steps ? std::atoi(steps) : 20000);
}

// The seeds a long run asks for through the environment variable Name: "first-last" or one seed;
// false when it is not set.
inline bool SeedsFromEnv(const char* Name, unsigned& First, unsigned& Last) {
  const char* seeds = std::getenv(Name);
  if (!seeds) return false;
  char* end = nullptr;
  First = static_cast<unsigned>(std::strtoul(seeds, &end, 10));
  Last = *end == '-' ? static_cast<unsigned>(std::strtoul(end + 1, nullptr, 10)) : First;
  return true;
}

// The name of a seeded case: "Seed" and the seed.
inline std::string SeedName(const ::testing::TestParamInfo<unsigned>& Info) {
  return "Seed" + std::to_string(Info.param);
}

}  // namespace randomwalk
