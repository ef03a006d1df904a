// Loads the simulated client library the way a program does: dlopen of <home>/lib/libclntsh.so and
// every entry point looked up by name into a table built from the entry-point list.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "oracle/OracleCIApi.h"
#include "rtl/TempDir.h"

struct OciLibrary {
#define TALVIK_TEST_FN_SLOT(group, name, kind, ret, params, args) name##_fn name = nullptr;
  TALVIK_OCI_ENTRY_POINTS(TALVIK_TEST_FN_SLOT)
#undef TALVIK_TEST_FN_SLOT

  void* module = nullptr;
  std::vector<std::string> missing;

  static std::string BinaryDir() {
    const char* bin = std::getenv("TALVIK_BINARY_DIR");
    return bin && *bin ? bin : TALVIK_TEST_BINARY_DIR;
  }
  static std::string Path() {
    return BinaryDir() + "/oracle_home/lib/libclntsh.so";
  }

  // The library, loaded once per test program (it stays loaded, as a client library does).
  static OciLibrary& Get() {
    static OciLibrary lib = [] {
      OciLibrary l;
      l.module = dlopen(Path().c_str(), RTLD_NOW | RTLD_LOCAL);
      if (!l.module) return l;
#define TALVIK_TEST_FN_BIND(group, name, kind, ret, params, args) \
  l.name = reinterpret_cast<name##_fn>(dlsym(l.module, #name));   \
  if (!l.name) l.missing.push_back(#name);
      TALVIK_OCI_ENTRY_POINTS(TALVIK_TEST_FN_BIND)
#undef TALVIK_TEST_FN_BIND
      return l;
    }();
    return lib;
  }
};

// The text and code of the first error record of an error handle.
inline std::pair<int, std::string> ErrorOf(OciLibrary& oci, OCIError* err) {
  sb4 code = 0;
  text buf[4001] = {};
  if (oci.OCIErrorGet(err, 1, nullptr, &code, buf, sizeof buf, OCI_HTYPE_ERROR) != OCI_SUCCESS)
    return {0, ""};
  return {code, reinterpret_cast<char*>(buf)};
}

// A fresh instance file in a folder of its own, named through TALVIK_SIM_DB for the test's logons.
class ScratchInstance {
 public:
  ScratchInstance() : dir_(folder_.Path()) { setenv("TALVIK_SIM_DB", (dir_ / "sim.db").c_str(), 1); }
  ~ScratchInstance() { unsetenv("TALVIK_SIM_DB"); }
  const std::filesystem::path& Dir() const { return dir_; }

 private:
  TempDir folder_;
  std::filesystem::path dir_;
};

// A test with one environment (created in `Mode`) and an error handle, and no server.
class OciEnvironmentTest : public ::testing::Test {
 protected:
  explicit OciEnvironmentTest(ub4 Mode = OCI_THREADED | OCI_OBJECT) : mode_(Mode) {}
  void SetUp() override {
    ASSERT_NE(oci.module, nullptr) << dlerror();
    ASSERT_EQ(oci.OCIEnvCreate(&env, mode_, nullptr, nullptr, nullptr, nullptr, 0, nullptr), OCI_SUCCESS);
    ASSERT_EQ(oci.OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&err), OCI_HTYPE_ERROR, 0, nullptr),
              OCI_SUCCESS);
  }
  void TearDown() override {
    if (env) oci.OCIHandleFree(env, OCI_HTYPE_ENV);
  }

  OciLibrary& oci = OciLibrary::Get();
  OCIEnv* env = nullptr;
  OCIError* err = nullptr;

 private:
  ub4 mode_;
};
