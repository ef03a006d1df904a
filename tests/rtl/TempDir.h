// Files of a test's own. Every test process has a folder of its own under the temporary directory,
// made when it is first asked for and removed, with whatever a test left in it, when the process
// ends; a TempDir is a private folder inside it for one test, removed with everything in it
// afterwards. Copies of one test program running at once, or the tests of two checkouts on one
// machine, never meet in a file.
//
// A process that never reaches its end (killed by a signal, crashed, ended by a time-out) leaves its
// folder behind; the next test process to make its own folder removes such leftovers first. A folder
// is named after its process, by pid and by the time the process started, so that a pid the system
// has given again to another process neither keeps a left folder alive nor lets a live one go.
#pragma once

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

// A new folder of a unique name (`prefix` and six characters) inside `parent`.
inline std::filesystem::path NewTempFolder(const std::filesystem::path& parent, const std::string& prefix) {
  std::string pattern = (parent / (prefix + "XXXXXX")).string();
  if (!mkdtemp(pattern.data()))
    throw std::system_error(errno, std::generic_category(), "cannot make a folder " + pattern);
  return pattern;
}

// When a process started (clock ticks since the system's start, as /proc tells it); nothing when there
// is no such process. A process keeps its start time for its whole life, and a pid given again
// belongs to a process that started later.
inline std::optional<unsigned long long> ProcessStartTime(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  if (!std::getline(in, stat)) return std::nullopt;
  // the program's name, in parentheses, may hold spaces and parentheses of its own
  const auto nameEnd = stat.rfind(')');
  if (nameEnd == std::string::npos) return std::nullopt;
  std::istringstream fields(stat.substr(nameEnd + 1));
  constexpr int kFieldsBeforeStartTime = 19;  // the state (the third field) to the start (the 22nd)
  std::string skipped;
  for (int i = 0; i < kFieldsBeforeStartTime; ++i) fields >> skipped;
  unsigned long long start = 0;
  if (!(fields >> start)) return std::nullopt;
  return start;
}

inline constexpr char kProcessFolderPrefix[] = "talvik-test-";

// The beginning of the name of the folder of process Pid started at Start: what follows is unique.
inline std::string ProcessFolderPrefix(pid_t pid, unsigned long long start) {
  return kProcessFolderPrefix + std::to_string(pid) + "-" + std::to_string(start) + "-";
}

namespace tempdir_detail {

// The system's start, in seconds of the calendar; 0 when unknown.
inline std::time_t BootTime() {
  std::ifstream in("/proc/stat");
  for (std::string key; in >> key;) {
    if (key == "btime") {
      long long seconds = 0;
      in >> seconds;
      return static_cast<std::time_t>(seconds);
    }
    in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
  }
  return 0;
}

// Whether a folder of Name (in the temporary directory, last changed at Changed) is a process folder
// whose process has ended. "talvik-test-<pid>-<start>-XXXXXX" names its process exactly;
// "talvik-test-<pid>-XXXXXX", the name test programs of older checkouts give, only by pid: its
// process has ended when no process has that pid, or when the one that has it started well after
// the folder last changed.
inline bool LeftByAnEndedProcess(const std::string& name, std::time_t changed) {
  if (name.rfind(kProcessFolderPrefix, 0) != 0) return false;
  std::vector<std::string> parts;
  std::istringstream rest(name.substr(sizeof kProcessFolderPrefix - 1));
  for (std::string part; std::getline(rest, part, '-');) parts.push_back(part);
  const auto number = [](const std::string& text) -> std::optional<unsigned long long> {
    if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos)
      return std::nullopt;
    return std::stoull(text);
  };
  const auto pid = parts.empty() ? std::nullopt : number(parts[0]);
  if (!pid || *pid == 0 || *pid > static_cast<unsigned long long>(std::numeric_limits<pid_t>::max()))
    return false;
  const auto started = ProcessStartTime(static_cast<pid_t>(*pid));
  if (parts.size() == 3) {
    const auto start = number(parts[1]);
    return start && started != start;
  }
  if (parts.size() != 2) return false;
  if (!started) return true;
  // a minute of leeway: the system's start is known to the second, and the clock may have been set
  constexpr std::time_t kLeeway = 60;
  const std::time_t boot = BootTime();
  const long ticks = ::sysconf(_SC_CLK_TCK);
  if (boot == 0 || ticks <= 0) return false;
  return boot + static_cast<std::time_t>(*started / static_cast<unsigned long long>(ticks)) >
         changed + kLeeway;
}

}  // namespace tempdir_detail

// Removes the process folders in Parent that test processes of this user left behind when they
// ended without removing them. The folders of live processes, and every folder of another user,
// stay. Without /proc nothing can be told of a process, and nothing is removed.
inline void SweepLeftProcessFolders(const std::filesystem::path& parent) {
  if (!ProcessStartTime(::getpid())) return;
  std::error_code error;
  std::filesystem::directory_iterator entries(parent, error);
  if (error) return;
  for (; entries != std::filesystem::directory_iterator(); entries.increment(error)) {
    if (error) return;
    const std::filesystem::path& path = entries->path();
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) continue;
    if (!tempdir_detail::LeftByAnEndedProcess(path.filename().string(), st.st_ctime)) continue;
    std::error_code ignored;  // another process may be removing it too
    std::filesystem::remove_all(path, ignored);
  }
}

// The folder of this test process. Only the process that made it removes it: a child forked from a
// test that ends through exit() leaves its parent's folder alone.
inline const std::filesystem::path& ProcessTempFolder() {
  static const struct Folder {
    pid_t owner = ::getpid();
    std::filesystem::path path = [this] {
      const std::filesystem::path parent = std::filesystem::temp_directory_path();
      SweepLeftProcessFolders(parent);
      const auto start = ProcessStartTime(owner);
      return NewTempFolder(parent, start ? ProcessFolderPrefix(owner, *start)
                                         : kProcessFolderPrefix + std::to_string(owner) + "-");
    }();
    ~Folder() {
      if (::getpid() != owner) return;
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
  } folder;
  return folder.path;
}

class TempDir {
 public:
  TempDir() : path_(NewTempFolder(ProcessTempFolder(), "dir-").string()) {}
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

  void Write(const std::string& name, const std::string& content) const {
    std::filesystem::create_directories(std::filesystem::path(File(name)).parent_path());
    std::ofstream(File(name), std::ios::binary) << content;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(File(name), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

 private:
  std::string path_;
};
