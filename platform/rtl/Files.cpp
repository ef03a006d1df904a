#include "platform/rtl/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>
#include <mutex>
#include <thread>

#include "platform/rtl/Process.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"

// ---- Existence, creation, deletion -----------------------------------------------------------------

bool FileExists(const std::string& fileName) {
  struct stat st {};
  return !fileName.empty() && stat(fileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& dir) {
  struct stat st {};
  return !dir.empty() && stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDir(const std::string& dir) {
  return !dir.empty() && mkdir(dir.c_str(), 0777) == 0;
}

bool RemoveDir(const std::string& dir) {
  return !dir.empty() && rmdir(dir.c_str()) == 0;
}

bool ForceDirectories(const std::string& dir) {
  std::string path = ExcludeTrailingPathDelimiter(dir);
  if (path.empty()) return dir == "/";
  if (DirectoryExists(path)) return true;
  std::string parent = ExtractFileDir(path);
  if (!parent.empty() && parent != path && !ForceDirectories(parent)) return false;
  return CreateDir(path) || (errno == EEXIST && DirectoryExists(path));
}

bool DeleteFile(const std::string& fileName) {
  struct stat st {};
  if (fileName.empty() || lstat(fileName.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return unlink(fileName.c_str()) == 0;
}

bool RenameFile(const std::string& oldName, const std::string& newName) {
  return !oldName.empty() && !newName.empty() && rename(oldName.c_str(), newName.c_str()) == 0;
}

// ---- File-name parts -------------------------------------------------------------------------------

std::string ExtractFilePath(const std::string& fileName) {
  size_t slash = fileName.rfind(PathDelim);
  return slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
}

std::string ExtractFileDir(const std::string& fileName) {
  size_t slash = fileName.rfind(PathDelim);
  if (slash == std::string::npos) return {};
  if (slash == 0) return "/";
  return fileName.substr(0, slash);
}

std::string ExtractFileName(const std::string& fileName) {
  size_t slash = fileName.rfind(PathDelim);
  return slash == std::string::npos ? fileName : fileName.substr(slash + 1);
}

namespace {
// Position of the extension's dot, or npos.
size_t ExtensionDot(const std::string& fileName) {
  size_t dot = fileName.rfind('.');
  size_t slash = fileName.rfind(PathDelim);
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string::npos;
  return dot;
}
}  // namespace

std::string ExtractFileExt(const std::string& fileName) {
  size_t dot = ExtensionDot(fileName);
  return dot == std::string::npos ? std::string() : fileName.substr(dot);
}

std::string ChangeFileExt(const std::string& fileName, const std::string& extension) {
  size_t dot = ExtensionDot(fileName);
  return (dot == std::string::npos ? fileName : fileName.substr(0, dot)) + extension;
}

std::string IncludeTrailingPathDelimiter(const std::string& path) {
  if (!path.empty() && path.back() == PathDelim) return path;
  return path + PathDelim;
}

std::string ExcludeTrailingPathDelimiter(const std::string& path) {
  if (!path.empty() && path.back() == PathDelim) return path.substr(0, path.size() - 1);
  return path;
}

std::string ExpandFileName(const std::string& fileName) {
  if (fileName.empty()) return {};
  std::string full =
      fileName[0] == PathDelim ? fileName : IncludeTrailingPathDelimiter(GetCurrentDir()) + fileName;
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= full.size()) {
    size_t end = full.find(PathDelim, start);
    if (end == std::string::npos) end = full.size();
    std::string part = full.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string result;
  for (const auto& part : parts) result += PathDelim + part;
  if (result.empty()) return "/";
  // A trailing delimiter that named a folder stays.
  if (full.back() == PathDelim) result += PathDelim;
  return result;
}

std::string NativePath(const std::string& path) {
  std::string result = path;
  std::replace(result.begin(), result.end(), '\\', PathDelim);
  return result;
}

// ---- Directory search ------------------------------------------------------------------------------

bool MatchesMask(const std::string& name, const std::string& mask) {
  if (mask == "*.*" || mask == "*") return true;
  // Iterative wildcard match with backtracking to the last '*'.
  size_t n = 0, m = 0, starMask = std::string::npos, starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || mask[m] == name[n])) {
      ++n;
      ++m;
    } else if (m < mask.size() && mask[m] == '*') {
      starMask = m++;
      starName = n;
    } else if (starMask != std::string::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

struct TSearchRec::TState {
  std::vector<TSearchRec> entries;
  size_t next = 0;
};

namespace {
void TakeEntry(TSearchRec& f) {
  auto state = f.FindHandle;
  const TSearchRec& entry = state->entries[state->next++];
  f.Name = entry.Name;
  f.Size = entry.Size;
  f.Attr = entry.Attr;
  f.Time = entry.Time;
}
}  // namespace

int FindFirst(const std::string& path, int attr, TSearchRec& f) {
  f.FindHandle.reset();
  std::string dir = ExtractFileDir(path);
  std::string mask = ExtractFileName(path);
  std::string folder = dir.empty() ? std::string(".") : dir;
  DIR* d = opendir(folder.c_str());
  if (!d) return ERROR_PATH_NOT_FOUND;
  auto state = std::make_shared<TSearchRec::TState>();
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == ".." || !MatchesMask(name, mask)) continue;
    std::string full = IncludeTrailingPathDelimiter(folder) + name;
    struct stat st {};
    struct stat lst {};
    if (lstat(full.c_str(), &lst) != 0) continue;
    bool link = S_ISLNK(lst.st_mode);
    if (stat(full.c_str(), &st) != 0) st = lst;
    TSearchRec entry;
    entry.Name = name;
    entry.Size = S_ISDIR(st.st_mode) ? 0 : static_cast<int64_t>(st.st_size);
    entry.Time = static_cast<int64_t>(st.st_mtim.tv_sec);
    entry.Attr = S_ISDIR(st.st_mode) ? faDirectory : faArchive;
    if (name[0] == '.') entry.Attr |= faHidden;
    if (link) entry.Attr |= faSymLink;
    if (access(full.c_str(), W_OK) != 0) entry.Attr |= faReadOnly;
    if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) entry.Attr |= faSysFile;
    int special = entry.Attr & (faHidden | faSysFile | faDirectory);
    if ((special & ~attr) != 0) continue;
    state->entries.push_back(std::move(entry));
  }
  closedir(d);
  std::sort(state->entries.begin(), state->entries.end(),
            [](const TSearchRec& a, const TSearchRec& b) { return a.Name < b.Name; });
  if (state->entries.empty()) return ERROR_FILE_NOT_FOUND;
  f.FindHandle = state;
  TakeEntry(f);
  return 0;
}

int FindNext(TSearchRec& f) {
  if (!f.FindHandle || f.FindHandle->next >= f.FindHandle->entries.size()) return ERROR_NO_MORE_FILES;
  TakeEntry(f);
  return 0;
}

void FindClose(TSearchRec& f) {
  f.FindHandle.reset();
}

// ---- Whole files -----------------------------------------------------------------------------------

TFileStamp GetFileStamp(const std::string& fileName) {
  TFileStamp stamp;
  struct stat st {};
  if (fileName.empty() || stat(fileName.c_str(), &st) != 0) return stamp;
  stamp.exists = true;
  stamp.device = static_cast<uint64_t>(st.st_dev);
  stamp.inode = static_cast<uint64_t>(st.st_ino);
  stamp.size = static_cast<int64_t>(st.st_size);
  stamp.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return stamp;
}

int64_t FileAge(const std::string& fileName) {
  struct stat st {};
  if (fileName.empty() || stat(fileName.c_str(), &st) != 0) return -1;
  return static_cast<int64_t>(st.st_mtim.tv_sec);
}

std::optional<std::string> ReadFileContent(const std::string& fileName, std::string* errorText,
                                           size_t maxSize, bool* tooLarge) {
  if (tooLarge) *tooLarge = false;
  auto fail = [&](const std::string& why) -> std::optional<std::string> {
    if (errorText) *errorText = why;
    return std::nullopt;
  };
  const int fd = open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return fail(std::strerror(errno));
  const TScopeExit closeFile([fd] { close(fd); });
  struct stat st {};
  if (fstat(fd, &st) != 0) return fail(std::strerror(errno));
  if (S_ISDIR(st.st_mode)) return fail(std::strerror(EISDIR));
  if (!S_ISREG(st.st_mode)) return fail("it is not a regular file");
  auto over = [&](size_t size) {
    if (size <= maxSize) return false;
    if (tooLarge) *tooLarge = true;
    if (errorText) *errorText = "the file is larger than " + std::to_string(maxSize) + " bytes";
    return true;
  };
  if (over(static_cast<size_t>(st.st_size))) return std::nullopt;
  std::string content;
  content.reserve(static_cast<size_t>(st.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail(std::strerror(errno));
    }
    content.append(buffer, static_cast<size_t>(n));
    if (over(content.size())) return std::nullopt;  // it grew while being read
  }
  return content;
}

namespace {
std::mutex saveHookLock;
std::function<void(const std::string&)> saveHook;
std::atomic<unsigned> tempCounter{0};

[[noreturn]] void SaveFailed(const std::string& fileName, const std::string& what) {
  throw ESaveFileError(fileName, what);
}

// Attempts at a temporary name of its own before the save gives up: a name is taken only by what a
// crash left behind, or by what someone else put there.
constexpr int kTemporaryNameAttempts = 100;

// A save's temporary file is named "<folder>/.<name>.tmp<pid>_<n>": the saving process and its count.
std::string TemporaryPrefix(const std::string& fileName) {
  return "." + ExtractFileName(fileName) + ".tmp";
}

// The process whose save left the file of that name (without its folder) beside the file whose
// temporary files start with Prefix; 0 when it is no such file.
pid_t SavingProcess(const std::string& name, const std::string& prefix) {
  constexpr size_t kMostDigits = 18;
  const auto digits = [&name](size_t from, size_t to) {
    return to > from && to - from <= kMostDigits &&
           std::all_of(name.begin() + static_cast<std::ptrdiff_t>(from),
                       name.begin() + static_cast<std::ptrdiff_t>(to),
                       [](char c) { return c >= '0' && c <= '9'; });
  };
  if (name.compare(0, prefix.size(), prefix) != 0) return 0;
  const size_t separator = name.find('_', prefix.size());
  if (separator == std::string::npos || !digits(prefix.size(), separator) ||
      !digits(separator + 1, name.size()))
    return 0;
  const long long pid = std::stoll(name.substr(prefix.size(), separator - prefix.size()));
  return pid > 0 && pid <= std::numeric_limits<pid_t>::max() ? static_cast<pid_t>(pid) : 0;
}

bool ProcessGone(pid_t pid) {
  return kill(pid, 0) != 0 && errno == ESRCH;
}

// How long a waiter for a save's lock sleeps between tries: at first, and at most while it may have to
// wait a whole save of another's, or once it stands first in the queue (the lock is then its own the
// moment the holder lets it go).
constexpr std::chrono::milliseconds kFirstLockPause{1}, kLongestLockPause{20}, kLongestTurnPause{2};
// How long a waiter tries for the lock on its own before it queues for it. Meanwhile a saver that
// lets the lock go and takes it anew goes on, which keeps saves that follow each other quick.
constexpr std::chrono::milliseconds kQueueAfter{200};

int OpenLockFile(const std::string& name) {
  return open(name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
}

// One try for an exclusive flock on fd: 0, or errno (EWOULDBLOCK while another holds it).
int TryLock(int fd) {
  while (flock(fd, LOCK_EX | LOCK_NB) != 0)
    if (errno != EINTR) return errno;
  return 0;
}

// Tries again, after pauses growing from kFirstLockPause to Longest, as long as a try finds the lock
// held (EWOULDBLOCK) and Until has not come: what the last try gave.
template <class Try>
int Retry(const Try& attempt, std::chrono::steady_clock::time_point until,
          std::chrono::milliseconds longest) {
  for (auto pause = kFirstLockPause;; pause = std::min(pause * 2, longest)) {
    const int error = attempt();
    const auto now = std::chrono::steady_clock::now();
    if (error != EWOULDBLOCK || now >= until) return error;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, until - now));
  }
}
}  // namespace

void SetAtomicSaveHook(std::function<void(const std::string& tempName)> hook) {
  std::lock_guard guard(saveHookLock);
  saveHook = std::move(hook);
}

void SaveFileAtomically(const std::string& fileName, const std::string& content, unsigned fileMode,
                        TFileModeRule rule) {
  std::string dir = ExtractFileDir(fileName);
  if (!dir.empty() && !ForceDirectories(dir)) SaveFailed(fileName, "cannot create folder \"" + dir + "\"");
  auto mode = static_cast<mode_t>(fileMode & 07777);
  bool setMode = rule == TFileModeRule::Always;
  struct stat st {};
  if (rule == TFileModeRule::KeepExisting && stat(fileName.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
    setMode = true;
  }
  // A new temporary file, never one found in its place nor a link's target.
  std::string temp;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < kTemporaryNameAttempts; ++attempt) {
    temp = ExtractFilePath(fileName) + TemporaryPrefix(fileName) + std::to_string(getpid()) + "_" +
           std::to_string(tempCounter++);
    fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) SaveFailed(fileName, std::strerror(errno));
  auto fail = [&](const std::string& why) {
    close(fd);
    unlink(temp.c_str());
    SaveFailed(fileName, why);
  };
  // The permissions are the file's before it takes the old one's place (the umask narrows a new one).
  if (setMode && fchmod(fd, mode) != 0) fail(std::strerror(errno));
  const char* data = content.data();
  size_t left = content.size();
  while (left > 0) {
    ssize_t n = write(fd, data, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail(std::strerror(errno));
    }
    data += n;
    left -= static_cast<size_t>(n);
  }
  if (fsync(fd) != 0) fail(std::strerror(errno));
  if (close(fd) != 0) {
    std::string why = std::strerror(errno);
    unlink(temp.c_str());
    SaveFailed(fileName, why);
  }
  std::function<void(const std::string&)> hook;
  {
    std::lock_guard guard(saveHookLock);
    hook = saveHook;
  }
  if (hook) hook(temp);  // a test's simulated crash leaves the temporary file behind
  if (rename(temp.c_str(), fileName.c_str()) != 0) {
    std::string why = std::strerror(errno);
    unlink(temp.c_str());
    SaveFailed(fileName, why);
  }
  // The folder is not flushed: after a power loss the rename may be undone, which leaves the
  // previous complete file, never a partial one.
}

void RemoveAbandonedSaves(const std::string& fileName) {
  const std::string dir = ExtractFilePath(fileName), prefix = TemporaryPrefix(fileName);
  DIR* folder = opendir(dir.empty() ? "." : dir.c_str());
  if (!folder) return;
  const TScopeExit closeFolder([folder] { closedir(folder); });
  while (const dirent* entry = readdir(folder)) {
    const std::string name = entry->d_name;
    const pid_t saver = SavingProcess(name, prefix);
    if (saver > 0 && saver != getpid() && ProcessGone(saver)) unlinkat(dirfd(folder), name.c_str(), 0);
  }
}

TSaveLock::TSaveLock(const std::string& fileName, std::chrono::milliseconds patience) {
  const std::string dir = ExtractFileDir(fileName);
  if (!dir.empty() && !ForceDirectories(dir)) SaveFailed(fileName, "cannot create folder \"" + dir + "\"");
  const std::string lockName = fileName + ".lock";
  // A waiter that does not have the lock soon queues: it stands first in the queue, holding
  // "<file>.queue", from then until it has the lock. Whoever takes the lock passes the queue, so a
  // holder that lets the lock go and wants it again waits behind it: no saver keeps another out.
  const int queue = OpenLockFile(fileName + ".queue");
  if (queue < 0) SaveFailed(fileName, std::strerror(errno));
  const TScopeExit leaveQueue([queue] { close(queue); });
  fd_ = OpenLockFile(lockName);
  if (fd_ < 0) SaveFailed(fileName, std::strerror(errno));
  const auto start = std::chrono::steady_clock::now(), deadline = start + patience;
  const auto whenFree = [this, queue] {
    int error = TryLock(queue);
    if (error != 0) return error;  // one stands in the queue
    error = TryLock(fd_);
    flock(queue, LOCK_UN);
    return error;
  };
  int error = Retry(whenFree, std::min(start + kQueueAfter, deadline), kLongestLockPause);
  if (error == EWOULDBLOCK) error = Retry([queue] { return TryLock(queue); }, deadline, kLongestLockPause);
  if (error == 0) error = Retry([this] { return TryLock(fd_); }, deadline, kLongestTurnPause);
  if (error != 0) {
    close(fd_);
    SaveFailed(fileName, error != EWOULDBLOCK ? std::string(std::strerror(error))
                                              : "another program held \"" + lockName + "\" for over " +
                                                    std::to_string(patience.count()) + " ms");
  }
}

TSaveLock::~TSaveLock() {
  close(fd_);  // which lets the lock go
}
