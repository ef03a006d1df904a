// Files of a test's own. Every test process has a folder of its own under the temporary directory,
// made when it is first asked for and removed, with whatever a test left in it, when the process
// ends; a TempDir is a private folder inside it for one test, removed with everything in it
// afterwards. Copies of one test program running at once, or the tests of two checkouts on one
// machine, never meet in a file.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

// A new folder of a unique name (`prefix` and six characters) inside `parent`.
inline std::filesystem::path NewTempFolder(const std::filesystem::path& parent, const std::string& prefix) {
  std::string pattern = (parent / (prefix + "XXXXXX")).string();
  if (!mkdtemp(pattern.data()))
    throw std::system_error(errno, std::generic_category(), "cannot make a folder " + pattern);
  return pattern;
}

// The folder of this test process. Only the process that made it removes it: a child forked from a
// test that ends through exit() leaves its parent's folder alone.
inline const std::filesystem::path& ProcessTempFolder() {
  static const struct Folder {
    pid_t owner = ::getpid();
    std::filesystem::path path =
        NewTempFolder(std::filesystem::temp_directory_path(), "talvik-test-" + std::to_string(owner) + "-");
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
