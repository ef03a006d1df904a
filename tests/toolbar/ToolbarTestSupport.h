// Shared helpers of the toolbar tests: a private settings store per test.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/rtl/Process.h"
#include "platform/rtl/Registry.h"
#include "platform/rtl/RegistryStore.h"
#include "rtl/TempDir.h"

namespace toolbartest {

// Gives the test its own HKEY_CURRENT_USER and no HKEY_LOCAL_MACHINE.
class PrivateRegistry {
 public:
  PrivateRegistry() {
    savedConfig_ = GetEnvironmentVariable("XDG_CONFIG_HOME");
    savedHklm_ = GetEnvironmentVariable("TALVIK_HKLM");
    SetEnvironmentVariable("XDG_CONFIG_HOME", dir_.Path());
    SetEnvironmentVariable("TALVIK_HKLM", "");
    talvik::registry::ResetHives();
  }
  ~PrivateRegistry() {
    SetEnvironmentVariable("XDG_CONFIG_HOME", savedConfig_);
    SetEnvironmentVariable("TALVIK_HKLM", savedHklm_);
    talvik::registry::ResetHives();
  }
  PrivateRegistry(const PrivateRegistry&) = delete;
  PrivateRegistry& operator=(const PrivateRegistry&) = delete;

  // Writes a value under HKEY_CURRENT_USER (creating the key).
  static void Put(const std::string& key, const std::string& name, uint32_t type, const std::string& data) {
    HKEY k = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, key, KEY_ALL_ACCESS, &k), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueEx(k, name, type, data.data(), static_cast<uint32_t>(data.size())), ERROR_SUCCESS);
    RegCloseKey(k);
  }
  static void CreateKey(const std::string& key) {
    HKEY k = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, key, KEY_ALL_ACCESS, &k), ERROR_SUCCESS);
    RegCloseKey(k);
  }

 private:
  TempDir dir_;
  std::string savedConfig_, savedHklm_;
};

}  // namespace toolbartest
