#include "platform/gui/WinVer.h"

#include <cstring>
#include <map>
#include <mutex>

#include "platform/rtl/Process.h"
#include "platform/rtl/SysUtils.h"

// A block is: the magic "TVI1", the total size (4 bytes), language and code page (2 bytes each), then
// for each string its name, a zero, its value and a zero, and one more zero at the end.
namespace {

constexpr char kMagic[4] = {'T', 'V', 'I', '1'};
constexpr std::size_t kHeader = 12;

std::mutex& Lock() {
  static std::mutex m;
  return m;
}
std::map<std::string, std::vector<char>>& Blocks() {
  static std::map<std::string, std::vector<char>> blocks;
  return blocks;
}

std::string Key(const std::string& fileName) {
  return fileName.empty() ? ParamStr(0) : fileName;
}

std::vector<char> Encode(const TVersionInfo& info) {
  std::vector<char> b(kHeader);
  std::memcpy(b.data(), kMagic, 4);
  std::memcpy(b.data() + 8, &info.Language, 2);
  std::memcpy(b.data() + 10, &info.CodePage, 2);
  for (auto& [name, value] : info.Strings) {
    b.insert(b.end(), name.begin(), name.end());
    b.push_back('\0');
    b.insert(b.end(), value.begin(), value.end());
    b.push_back('\0');
  }
  b.push_back('\0');
  auto size = static_cast<std::uint32_t>(b.size());
  std::memcpy(b.data() + 4, &size, 4);
  return b;
}

}  // namespace

void RegisterVersionInfo(const std::string& FileName, const TVersionInfo& Info) {
  std::lock_guard<std::mutex> g(Lock());
  Blocks()[Key(FileName)] = Encode(Info);
}

void UnregisterVersionInfo(const std::string& FileName) {
  std::lock_guard<std::mutex> g(Lock());
  Blocks().erase(Key(FileName));
}

DWORD GetFileVersionInfoSize(const std::string& FileName, DWORD* Handle) {
  if (Handle) *Handle = 0;
  std::lock_guard<std::mutex> g(Lock());
  auto it = Blocks().find(Key(FileName));
  return it == Blocks().end() ? 0 : static_cast<DWORD>(it->second.size());
}

bool GetFileVersionInfo(const std::string& FileName, DWORD, DWORD Len, void* Data) {
  std::lock_guard<std::mutex> g(Lock());
  auto it = Blocks().find(Key(FileName));
  if (it == Blocks().end() || !Data || Len < it->second.size()) return false;
  std::memcpy(Data, it->second.data(), it->second.size());
  return true;
}

bool VerQueryValue(const void* Block, const std::string& SubBlock, void** Buffer, UINT* Len) {
  if (Buffer) *Buffer = nullptr;
  if (Len) *Len = 0;
  auto* b = static_cast<const char*>(Block);
  if (!b || std::memcmp(b, kMagic, 4) != 0) return false;
  std::uint32_t size;
  std::memcpy(&size, b + 4, 4);
  std::string path = SubBlock;
  while (!path.empty() && path.front() == '\\') path.erase(0, 1);
  auto answer = [&](const char* p, std::size_t n) {
    if (Buffer) *Buffer = const_cast<char*>(p);
    if (Len) *Len = static_cast<UINT>(n);
    return true;
  };
  if (SameText(path, "VarFileInfo\\Translation")) return answer(b + 8, 4);
  const std::string prefix = "StringFileInfo\\";
  if (path.size() <= prefix.size() + 9 || !SameText(path.substr(0, prefix.size()), prefix)) return false;
  WORD lang, cp;
  std::memcpy(&lang, b + 8, 2);
  std::memcpy(&cp, b + 10, 2);
  std::string table = path.substr(prefix.size(), 8);
  if (!SameText(table, IntToHex((static_cast<int64_t>(lang) << 16) | cp, 8)) ||
      path[prefix.size() + 8] != '\\')
    return false;
  std::string name = path.substr(prefix.size() + 9);
  for (std::size_t at = kHeader; at < size && b[at];) {
    std::size_t nameLen = std::strlen(b + at);
    const char* value = b + at + nameLen + 1;
    std::size_t valueLen = std::strlen(value);
    if (SameText(std::string(b + at, nameLen), name)) return answer(value, valueLen + 1);
    at += nameLen + 1 + valueLen + 1;
  }
  return false;
}
