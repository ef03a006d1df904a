// The atomic saves of one file, counted while a counter lives: each save that reaches the point of
// putting its temporary file in the file's place counts once. The counter holds the save hook of
// Files.h and takes it off again when it goes.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "platform/rtl/Files.h"
#include "platform/rtl/SysUtils.h"

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
