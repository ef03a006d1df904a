// What the seeded random walks of the test suites share: the log of the walk now running, printed
// when the walk fails and when the sanitizer ends the process, and the seed and length of a longer
// walk chosen through the environment (TALVIK_RANDOM_SEED, TALVIK_RANDOM_STEPS). TALVIK_RANDOM_TRACE
// prints every step as it is taken.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
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
class TWalkLog {
 public:
  explicit TWalkLog(unsigned Seed) : seed_(Seed) {
    Current() = this;
#ifdef TALVIK_HAVE_ASAN_CALLBACK
    __asan_set_death_callback([] {
      if (Current()) Current()->Print();
    });
#endif
  }
  ~TWalkLog() {
    if (::testing::Test::HasFailure()) Print();
    Current() = nullptr;
  }
  TWalkLog(const TWalkLog&) = delete;
  TWalkLog& operator=(const TWalkLog&) = delete;

  void Say(const std::string& Step) {
    steps_.push_back(Step);
    if (std::getenv("TALVIK_RANDOM_TRACE"))
      std::fprintf(stderr, "step %zu: %s\n", steps_.size(), Step.c_str());
  }
  std::size_t Count() const {
    return steps_.size();
  }
  unsigned Seed() const {
    return seed_;
  }
  void Print() const {
    std::fprintf(stderr, "random walk: seed %u, %zu steps:\n", seed_, steps_.size());
    for (const std::string& s : steps_) std::fprintf(stderr, "  %s\n", s.c_str());
  }

 private:
  static TWalkLog*& Current() {
    static TWalkLog* log = nullptr;
    return log;
  }
  unsigned seed_;
  std::vector<std::string> steps_;
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
