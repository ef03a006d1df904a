#include "TemporaryFiles.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "ChildProgram.h"
#include "ChildWait.h"
#include "platform/rtl/ScopeExit.h"
#include "rtl/TempDir.h"

namespace {

#if defined(__SANITIZE_THREAD__)
#define TALVIK_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TALVIK_THREAD_SANITIZER 1
#endif
#endif

// Whether Name is a file that the sanitizer runtime this program is built with makes in its own
// name. The ThreadSanitizer runtime makes "tsan.rodata.<pid>" in the temporary directory of every
// process it starts in (and removes it at once); no other runtime makes anything there, and in a
// build without one every name counts.
bool IsSanitizerRuntimeFile(const std::string& name) {
#ifdef TALVIK_THREAD_SANITIZER
  constexpr std::string_view kRuntimeFilePrefix = "tsan.rodata.";
  const std::string_view pid =
      std::string_view(name).substr(std::min(name.size(), kRuntimeFilePrefix.size()));
  return name.rfind(kRuntimeFilePrefix, 0) == 0 && !pid.empty() &&
         pid.find_first_not_of("0123456789") == std::string_view::npos;
#else
  (void)name;
  return false;
#endif
}

}  // namespace

TemporaryFilesOfARun RunWithOwnTemporaryDirectory(const std::string& filter) {
  namespace fs = std::filesystem;
  TemporaryFilesOfARun run;
  TempDir tmp;
  const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watch < 0) {
    ADD_FAILURE() << "cannot watch a folder: " << std::strerror(errno);
    return run;
  }
  TScopeExit closeWatch([&] { ::close(watch); });
  if (inotify_add_watch(watch, tmp.Path().c_str(), IN_CREATE | IN_MOVED_TO) < 0) {
    ADD_FAILURE() << "cannot watch " << tmp.Path() << ": " << std::strerror(errno);
    return run;
  }
  const fs::path self = fs::read_symlink("/proc/self/exe");
  const std::string command =
      "TMPDIR='" + tmp.Path() + "' '" + self.string() + "' --gtest_filter='" + filter + "' >/dev/null 2>&1";
  run.exitCode = childwait::RunShell(command, nullptr, ChildProgram::kPatience);
  alignas(inotify_event) char events[64 * 1024];
  for (ssize_t n; (n = ::read(watch, events, sizeof events)) > 0;) {
    for (char* p = events; p < events + n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(p);
      if (!IsSanitizerRuntimeFile(event->name)) run.made.push_back(event->name);
      p += sizeof(inotify_event) + event->len;
    }
  }
  for (const auto& e : fs::directory_iterator(tmp.Path())) run.left.push_back(e.path().filename().string());
  return run;
}

bool IsProcessFolderName(const std::string& name) {
  return name.rfind(kProcessFolderPrefix, 0) == 0;
}

void ExpectOnlyTheProcessFolderMade(const std::string& filter) {
  SCOPED_TRACE("running " + filter);
  const auto run = RunWithOwnTemporaryDirectory(filter);
  EXPECT_EQ(run.exitCode, 0);
  std::string made;
  for (const auto& name : run.made) made += " " + name;
  EXPECT_TRUE(run.made.size() == 1 && IsProcessFolderName(run.made[0])) << "made:" << made;
  EXPECT_TRUE(run.left.empty()) << run.left.size() << " left, the first " << run.left.front();
}
