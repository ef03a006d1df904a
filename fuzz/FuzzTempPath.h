// A file or folder of a fuzz target's own under the temporary folder ($TMPDIR, which the fuzz script
// points into the build tree), removed with everything in it when the run ends.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

struct FuzzTempPath {
  // "<stem>_<process id>"; nothing is created here
  explicit FuzzTempPath(const std::string& stem)
      : path(std::filesystem::temp_directory_path() / (stem + "_" + std::to_string(getpid()))) {}
  ~FuzzTempPath() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  FuzzTempPath(const FuzzTempPath&) = delete;
  FuzzTempPath& operator=(const FuzzTempPath&) = delete;

  std::filesystem::path path;
};
