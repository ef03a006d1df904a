// The atomic saves of one file, counted while a counter lives: each save that reaches the point of
// putting its temporary file in the file's place counts once. The counter holds the save hook of
// Files.h and takes it off again when it goes. And a file or folder made immutable, so that saves
// to it fail as they do for its user.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "platform/rtl/Files.h"
#include "platform/rtl/SysUtils.h"
#include "tests/ChildWait.h"

class TFileSaveCounter {
 public:
  explicit TFileSaveCounter(const std::string& FileName) : count_(std::make_shared<std::atomic<int>>(0)) {
    // a save writes ".<name>.tmp<pid>_<n>" beside the file first
    const std::string prefix = ExtractFilePath(FileName) + "." + ExtractFileName(FileName) + ".tmp";
    SetAtomicSaveHook([count = count_, prefix](const std::string& TempName) {
      if (TempName.compare(0, prefix.size(), prefix) == 0) ++*count;
    });
  }
  ~TFileSaveCounter() { SetAtomicSaveHook(nullptr); }
  TFileSaveCounter(const TFileSaveCounter&) = delete;
  TFileSaveCounter& operator=(const TFileSaveCounter&) = delete;

  int Count() const { return *count_; }
  // The saves counted so far, and counting starts again from none.
  int Take() { return count_->exchange(0); }

 private:
  std::shared_ptr<std::atomic<int>> count_;
};

// Marks a file or folder immutable (chattr +i, which holds for root too), or writable again: empty when
// done, else the reason to skip (the file system or the sandbox does not let it).
inline std::string MakeImmutable(const std::string& File, bool Immutable) {
  const std::string command =
      std::string("chattr ") + (Immutable ? "+i" : "-i") + " '" + File + "' 2>/dev/null";
  return childwait::RunShell(command) == 0 ? "" : "chattr cannot mark files immutable here";
}
