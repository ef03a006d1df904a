// Feeds arbitrary bytes to the logon history's readers, as the text of a history INI file or as the
// values Logon0, Logon1, ... of a registry key (any type, any bytes), then saves what was read. None
// of it may crash or let an exception out: the logon dialog loads and saves the history around every
// logon.
//
// The first byte chooses the store. For the registry the rest is split at 0x01 bytes into values;
// each value's first byte (mod 12) is its registry type and the rest its data, an empty part leaves
// a gap in the numbering.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz/FuzzTempPath.h"
#include "oracle/OracleLogon.h"
#include "platform/rtl/RegistryStore.h"

namespace {

const std::string& ConfigDir() {
  static const FuzzTempPath folder("talvik_fuzz_history");
  static const std::string dir = [] {
    const std::string base = folder.path.string();
    std::filesystem::create_directories(base + "/talvik");
    setenv("XDG_CONFIG_HOME", base.c_str(), 1);
    talvik::registry::ResetHives();
    SetHistoryScrambleSeed(7);
    return base + "/talvik";
  }();
  return dir;
}

// Replaces the file (a new inode, so the stores see a new file).
void WriteFile(const std::string& name, const std::string& content) {
  std::string temp = name + ".new";
  std::ofstream(temp, std::ios::binary | std::ios::trunc) << content;
  std::rename(temp.c_str(), name.c_str());
}

std::string HiveText(const std::string& input) {
  static const char digits[] = "0123456789abcdef";
  std::string text = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Fuzz]\n";
  size_t start = 0;
  for (int index = 0; start <= input.size() && index < 16; ++index) {
    size_t end = input.find('\x01', start);
    if (end == std::string::npos) end = input.size();
    std::string part = input.substr(start, end - start);
    start = end + 1;
    if (part.empty()) continue;
    auto type = static_cast<unsigned char>(part[0]) % 12;
    char header[32];
    std::snprintf(header, sizeof header, "\"Logon%d\"=hex(%x):", index, type);
    text += header;
    for (size_t i = 1; i < part.size(); ++i) {
      auto b = static_cast<unsigned char>(part[i]);
      if (i > 1) text += ',';
      text += digits[b >> 4];
      text += digits[b & 15];
    }
    text += '\n';
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string& dir = ConfigDir();
  const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
  THistoryItems history;
  history.SetWithPassword((data[0] & 2) != 0);
  history.SetMaxCount((data[0] & 4) ? 0 : 6);
  try {
    if (data[0] & 1) {
      WriteFile(dir + "/HKCU.reg", HiveText(input));
      LoadHistoryReg(&history, "Software\\Fuzz");
      SaveHistoryReg(&history, "Software\\Fuzz");
    } else {
      WriteFile(dir + "/fuzz.ini", input);
      LoadHistoryIni(&history, "fuzz.ini");
      SaveHistoryIni(&history, "fuzz.ini");
    }
  } catch (...) {
    std::abort();  // the readers and writers answer, they never raise
  }
  return 0;
}
