// The file-backed hives under the registry API: one tree of keys and typed values per hive, kept in
// one REGEDIT4 text file, shared by every user in the process and reloaded when the file changes.
// The processes that share a file save it one at a time (a lock beside it), each on the file as the
// others left it. Used by Registry.cpp; the benchmark and the tests reach the file format through it.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/rtl/Files.h"
#include "platform/rtl/SysUtils.h"

namespace talvik::registry {

// Names of keys and values are compared without regard to case (letters of every alphabet).
std::string Fold(const std::string& name);

struct TValue {
  std::string name;  // as written first
  uint32_t type = 0;
  std::string data;  // raw bytes; string types hold the text without its terminating zero
};

class TKeyNode {
 public:
  explicit TKeyNode(std::string name = {}) : name_(std::move(name)) {}

  const std::string& Name() const { return name_; }

  TKeyNode* SubKey(const std::string& name) const;
  TKeyNode* AddSubKey(const std::string& name);  // the existing one when present
  bool RemoveSubKey(const std::string& name);
  // Sub-keys sorted by folded name.
  const std::map<std::string, std::unique_ptr<TKeyNode>>& SubKeys() const { return subKeys_; }

  const TValue* Value(const std::string& name) const;
  void SetValue(const std::string& name, uint32_t type, std::string data);
  bool RemoveValue(const std::string& name);
  // Values in the order they were first written.
  const std::vector<TValue>& Values() const { return values_; }

 private:
  std::string name_;
  std::map<std::string, std::unique_ptr<TKeyNode>> subKeys_;
  std::vector<TValue> values_;
  std::unordered_map<std::string, size_t> valueIndex_;
};

// A fault in a hive file, with its line number (1-based).
class THiveFormatError : public Exception {
 public:
  THiveFormatError(int line, const std::string& reason)
      : Exception("line " + std::to_string(line) + ": " + reason), line_(line) {}
  int Line() const { return line_; }

 private:
  int line_;
};

// rootName is the hive's name in section headers ("HKEY_CURRENT_USER"). Raises THiveFormatError.
std::unique_ptr<TKeyNode> ParseHiveText(const std::string& text, const std::string& rootName);
std::string FormatHiveText(const TKeyNode& root, const std::string& rootName);

// What went wrong with a hive's file: found damaged, or unreadable.
struct THiveProblem {
  std::string message;       // the whole story, as the log has it
  std::string reason;        // the fault found in the file, or why it could not be read
  std::string setAsideName;  // where a damaged file was put; empty when it could not be moved
  bool damaged = false;      // read and found damaged (not: unreadable)
  bool Empty() const { return message.empty(); }
};

// One hive. Every use takes Lock() first, then calls Refresh().
class THive {
 public:
  // A hive kept in a file; a missing file is an empty hive. Its file's permissions follow modeRule
  // with fileMode (see SaveFileAtomically).
  THive(std::string rootName, std::string fileName, bool readOnly, unsigned fileMode = 0644,
        TFileModeRule modeRule = TFileModeRule::KeepExisting);
  // A fixed read-only hive built in memory.
  THive(std::string rootName, std::unique_ptr<TKeyNode> content);

  std::mutex& Lock() { return lock_; }
  const std::string& RootName() const { return rootName_; }
  const std::string& FileName() const { return fileName_; }
  bool ReadOnly() const { return readOnly_ || blocked_; }

  // Reloads the tree when the file changed since it was last read or written. A damaged file is
  // renamed to a name of its own (<file>.bad, else <file>.bad2, .bad3...: an earlier one is never
  // replaced) and the hive starts empty; the problem waits in TakeProblem(). A file damaged after the
  // hive had been read goes aside the same way, but the hive keeps the settings it held, and the next
  // save writes them to a new file; that problem waits in TakeReplacedFile(). A file that is no regular
  // file, or cannot be read, is unreadable; one larger than 64 MiB is damaged.
  void Refresh();
  TKeyNode& Root() { return *root_; }
  // Writes the changes kept (HoldBack) to the file: holding the file's save lock (TSaveLock), it
  // removes what saves of processes now gone left behind (RemoveAbandonedSaves), reads the file anew
  // when someone else changed it (the changes are made again on it, see Refresh), and writes the tree
  // atomically. On failure the file stays as it was and EFCreateError is raised; the changes stay in
  // the tree, where every reader sees them, and every later save carries them.
  void Save();
  // Whether changes wait for a save after the last one failed; the reason it failed.
  bool Unsaved() const { return unsaved_.has_value(); }
  const std::string& UnsavedReason() const;
  // The problem of a damaged or unreadable file, once.
  THiveProblem TakeProblem();
  // A damaged file set aside while the hive kept its settings, once.
  THiveProblem TakeReplacedFile();

  // A change made to the tree, as it is made again on the tree read anew from the file.
  using TChange = std::function<void(TKeyNode& root)>;
  // Every change made to the tree is kept until a save writes it, and Refresh() makes the changes
  // kept again on the tree whenever it reads the file anew, so that none is lost to a file changed
  // meanwhile. Saving held back: while an update is open (updates nest), the changes wait instead of
  // being saved one by one.
  void BeginUpdate();
  // Ends an update; true when it was the outermost one and changes wait for Save().
  bool EndUpdate();
  bool Updating() const { return updates_ > 0; }
  // Keeps a change that was made to the tree until a save writes it.
  void HoldBack(TChange change);

 private:
  void Load(const TFileStamp& stamp);

  std::mutex lock_;
  std::string rootName_;
  std::string fileName_;
  bool readOnly_ = false;
  unsigned fileMode_ = 0644;
  TFileModeRule modeRule_ = TFileModeRule::KeepExisting;
  bool blocked_ = false;  // the file could not be read or set aside: never write over it
  bool loaded_ = false;
  TFileStamp stamp_;
  std::unique_ptr<TKeyNode> root_;
  THiveProblem problem_;
  THiveProblem replaced_;
  int updates_ = 0;
  std::vector<TChange> heldBack_;
  std::optional<std::string> unsaved_;  // why the last save failed; none once one succeeded
};

// The hive behind a predefined root key (HKEY_CURRENT_USER, ...), as the environment names it now:
// HKEY_CURRENT_USER in $XDG_CONFIG_HOME/talvik/HKCU.reg (default ~/.config/talvik; it holds the logon
// history, so it is made readable by its owner only whenever it is written), the other per-user roots
// beside it (files they create are readable by their owner only); HKEY_LOCAL_MACHINE in the
// file named by TALVIK_HKLM or, without it, a read-only view of the Oracle homes of $ORACLE_HOME and the
// oratab file. nullptr for an unknown root.
std::shared_ptr<THive> HiveForRoot(std::uintptr_t rootKey);
// The folder of the per-user hive files.
std::string UserConfigDir();
// Where the oratab file is read (default /etc/oratab); for tests.
void SetOratabFileName(const std::string& fileName);
// How long a save waits for another process's save of the same file before it fails (5 s unless set);
// for tests.
void SetSaveLockPatience(std::chrono::milliseconds patience);
// Forgets every shared hive (tests start from the files again).
void ResetHives();

}  // namespace talvik::registry
