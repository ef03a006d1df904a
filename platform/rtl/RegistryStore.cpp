#include "platform/rtl/RegistryStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cerrno>
#include <cstdio>
#include <iostream>
#include <utility>

#include "platform/rtl/Process.h"
#include "platform/rtl/Registry.h"

namespace talvik::registry {

std::string Fold(const std::string& name) {
  std::string result = name;
  for (char& c : result) {
    if (static_cast<unsigned char>(c) >= 0x80) return AnsiLowerCase(name);
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return result;
}

// ---- TKeyNode --------------------------------------------------------------------------------------

TKeyNode* TKeyNode::SubKey(const std::string& name) const {
  auto it = subKeys_.find(Fold(name));
  return it == subKeys_.end() ? nullptr : it->second.get();
}

TKeyNode* TKeyNode::AddSubKey(const std::string& name) {
  auto& slot = subKeys_[Fold(name)];
  if (!slot) slot = std::make_unique<TKeyNode>(name);
  return slot.get();
}

bool TKeyNode::RemoveSubKey(const std::string& name) {
  return subKeys_.erase(Fold(name)) > 0;
}

const TValue* TKeyNode::Value(const std::string& name) const {
  auto it = valueIndex_.find(Fold(name));
  return it == valueIndex_.end() ? nullptr : &values_[it->second];
}

void TKeyNode::SetValue(const std::string& name, uint32_t type, std::string data) {
  std::string folded = Fold(name);
  auto it = valueIndex_.find(folded);
  if (it != valueIndex_.end()) {
    TValue& value = values_[it->second];
    value.type = type;
    value.data = std::move(data);
    return;
  }
  valueIndex_.emplace(std::move(folded), values_.size());
  values_.push_back({name, type, std::move(data)});
}

bool TKeyNode::RemoveValue(const std::string& name) {
  auto it = valueIndex_.find(Fold(name));
  if (it == valueIndex_.end()) return false;
  size_t index = it->second;
  valueIndex_.erase(it);
  values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(index));
  for (auto& [key, position] : valueIndex_) {
    if (position > index) --position;
  }
  return true;
}

// ---- The REGEDIT4 text form ------------------------------------------------------------------------

namespace {

struct TRootAlias {
  const char* name;
  const char* shortName;
};
constexpr TRootAlias rootAliases[] = {{"HKEY_CLASSES_ROOT", "HKCR"},
                                      {"HKEY_CURRENT_USER", "HKCU"},
                                      {"HKEY_LOCAL_MACHINE", "HKLM"},
                                      {"HKEY_USERS", "HKU"},
                                      {"HKEY_CURRENT_CONFIG", "HKCC"}};

bool IsRootName(const std::string& text, const std::string& rootName) {
  std::string folded = Fold(text);
  if (folded == Fold(rootName)) return true;
  for (const auto& alias : rootAliases) {
    if (Fold(alias.name) == Fold(rootName) && folded == Fold(alias.shortName)) return true;
  }
  return false;
}

std::string_view TrimBlanks(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool StartsWithNoCase(std::string_view s, size_t at, const char* prefix) {
  for (size_t i = 0; prefix[i]; ++i) {
    if (at + i >= s.size()) return false;
    char c = s[at + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

// Reads a "..." string starting at pos (on the opening quote); pos ends after the closing quote.
std::string ParseQuoted(std::string_view line, size_t& pos, int lineNo) {
  std::string result;
  ++pos;
  // Most texts have no escapes.
  size_t close = line.find('"', pos);
  if (close != std::string_view::npos && line.substr(pos, close - pos).find('\\') == std::string_view::npos) {
    result = line.substr(pos, close - pos);
    pos = close + 1;
    return result;
  }
  while (pos < line.size()) {
    char c = line[pos++];
    if (c == '"') return result;
    if (c == '\\' && pos < line.size() && (line[pos] == '\\' || line[pos] == '"')) c = line[pos++];
    result += c;
  }
  throw THiveFormatError(lineNo, "a quoted text has no closing quote");
}

std::string ParseHexBytes(std::string_view text, int lineNo) {
  std::string bytes;
  bytes.reserve(text.size() / 3 + 1);
  size_t pos = 0;
  for (;;) {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    if (pos >= text.size()) break;
    if (pos + 1 >= text.size() || HexDigit(text[pos]) < 0 || HexDigit(text[pos + 1]) < 0)
      throw THiveFormatError(lineNo, "bad hexadecimal byte list");
    bytes += static_cast<char>(HexDigit(text[pos]) * 16 + HexDigit(text[pos + 1]));
    pos += 2;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    if (pos >= text.size()) break;
    if (text[pos] != ',') throw THiveFormatError(lineNo, "bad hexadecimal byte list");
    ++pos;
  }
  return bytes;
}

bool IsStringType(uint32_t type) {
  return type == REG_SZ || type == REG_EXPAND_SZ;
}

}  // namespace

std::unique_ptr<TKeyNode> ParseHiveText(const std::string& text, const std::string& rootName) {
  auto root = std::make_unique<TKeyNode>(rootName);
  std::vector<std::string_view> lines;
  size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  size_t i = 0;
  while (i < lines.size() && TrimBlanks(lines[i]).empty()) ++i;
  if (i == lines.size()) throw THiveFormatError(1, "the file is empty (no REGEDIT4 header)");
  std::string_view header = TrimBlanks(lines[i]);
  if (header != "REGEDIT4" && header != "Windows Registry Editor Version 5.00")
    throw THiveFormatError(static_cast<int>(i) + 1, "the first line is not REGEDIT4");
  TKeyNode* current = nullptr;
  for (++i; i < lines.size(); ++i) {
    int lineNo = static_cast<int>(i) + 1;
    std::string_view line = TrimBlanks(lines[i]);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      if (line.back() != ']') throw THiveFormatError(lineNo, "a key line does not end with ']'");
      std::string path(line.substr(1, line.size() - 2));
      if (!path.empty() && path[0] == '-')
        throw THiveFormatError(lineNo, "key deletion lines are not supported");
      std::vector<std::string> parts;
      size_t from = 0;
      for (;;) {
        size_t slash = path.find('\\', from);
        parts.push_back(path.substr(from, slash == std::string::npos ? std::string::npos : slash - from));
        if (slash == std::string::npos) break;
        from = slash + 1;
      }
      if (!IsRootName(parts[0], rootName))
        throw THiveFormatError(lineNo, "the key \"" + path + "\" is not under " + rootName);
      current = root.get();
      for (size_t p = 1; p < parts.size(); ++p) {
        if (parts[p].empty()) throw THiveFormatError(lineNo, "the key \"" + path + "\" has an empty part");
        current = current->AddSubKey(parts[p]);
      }
      continue;
    }
    if (!current) throw THiveFormatError(lineNo, "a value stands before the first key");
    size_t pos = 0;
    std::string name;
    if (line[0] == '@') {
      pos = 1;
    } else if (line[0] == '"') {
      name = ParseQuoted(line, pos, lineNo);
    } else {
      throw THiveFormatError(lineNo, "expected a key in brackets or a quoted value name");
    }
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    if (pos >= line.size() || line[pos] != '=')
      throw THiveFormatError(lineNo, "expected '=' after the value name");
    ++pos;
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    if (pos < line.size() && line[pos] == '"') {
      std::string value = ParseQuoted(line, pos, lineNo);
      value.resize(std::min(value.size(), value.find('\0')));  // a text ends at a zero, as it does when set
      if (!TrimBlanks(line.substr(pos)).empty())
        throw THiveFormatError(lineNo, "text follows a quoted value");
      current->SetValue(name, REG_SZ, std::move(value));
    } else if (StartsWithNoCase(line, pos, "dword:")) {
      std::string_view digits = TrimBlanks(line.substr(pos + 6));
      if (digits.empty() || digits.size() > 8) throw THiveFormatError(lineNo, "bad dword value");
      uint32_t number = 0;
      for (char c : digits) {
        if (HexDigit(c) < 0) throw THiveFormatError(lineNo, "bad dword value");
        number = number * 16 + static_cast<uint32_t>(HexDigit(c));
      }
      std::string data(4, '\0');
      for (int b = 0; b < 4; ++b)
        data[static_cast<size_t>(b)] = static_cast<char>((number >> (8 * b)) & 0xFF);
      current->SetValue(name, REG_DWORD, std::move(data));
    } else if (StartsWithNoCase(line, pos, "hex")) {
      pos += 3;
      uint32_t type = REG_BINARY;
      if (pos < line.size() && line[pos] == '(') {
        size_t close = line.find(')', pos);
        std::string_view digits =
            close == std::string_view::npos ? std::string_view() : line.substr(pos + 1, close - pos - 1);
        if (digits.empty() || digits.size() > 8) throw THiveFormatError(lineNo, "bad value type in hex(...)");
        type = 0;
        for (char c : digits) {
          if (HexDigit(c) < 0) throw THiveFormatError(lineNo, "bad value type in hex(...)");
          type = type * 16 + static_cast<uint32_t>(HexDigit(c));
        }
        pos = close + 1;
      }
      if (pos >= line.size() || line[pos] != ':') throw THiveFormatError(lineNo, "expected ':' after hex");
      std::string list(line.substr(pos + 1));
      // A list may go on over lines that end in a backslash. Only the end of the list is looked at
      // and each line is added once, so that a long list takes a time that grows with its length.
      for (;;) {
        const size_t last = list.find_last_not_of(" \t");
        if (last == std::string::npos || list[last] != '\\') break;
        list.resize(last);
        if (++i >= lines.size()) throw THiveFormatError(lineNo, "the file ends inside a continued value");
        list += lines[i];
      }
      std::string data = ParseHexBytes(list, lineNo);
      if (IsStringType(type)) data = data.substr(0, data.find('\0'));
      current->SetValue(name, type, std::move(data));
    } else {
      throw THiveFormatError(lineNo, "unknown kind of value");
    }
  }
  return root;
}

namespace {

std::string Quote(const std::string& text) {
  std::string result = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') result += '\\';
    result += c;
  }
  return result + '"';
}

bool Printable(const std::string& text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F) return false;
  }
  return true;
}

std::string HexList(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string result;
  result.reserve(bytes.size() * 3);
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i) result += ',';
    auto b = static_cast<unsigned char>(bytes[i]);
    result += digits[b >> 4];
    result += digits[b & 15];
  }
  return result;
}

void FormatKey(const TKeyNode& key, const std::string& path, bool isRoot, std::string& out) {
  if (!isRoot || !key.Values().empty()) {
    out += '[';
    out += path;
    out += "]\n";
    for (const TValue& value : key.Values()) {
      out += value.name.empty() ? std::string("@") : Quote(value.name);
      out += '=';
      if (value.type == REG_SZ && Printable(value.data)) {
        out += Quote(value.data);
      } else if (value.type == REG_DWORD && value.data.size() == 4) {
        uint32_t number = 0;
        for (int b = 3; b >= 0; --b)
          number = number * 256 + static_cast<unsigned char>(value.data[static_cast<size_t>(b)]);
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "dword:%08x", number);
        out += buffer;
      } else if (value.type == REG_BINARY) {
        out += "hex:" + HexList(value.data);
      } else {
        char buffer[24];
        std::snprintf(buffer, sizeof buffer, "hex(%x):", value.type);
        out += buffer;
        out += HexList(IsStringType(value.type) ? value.data + std::string(1, '\0') : value.data);
      }
      out += '\n';
    }
    out += '\n';
  }
  for (const auto& [folded, sub] : key.SubKeys()) FormatKey(*sub, path + "\\" + sub->Name(), false, out);
}

}  // namespace

std::string FormatHiveText(const TKeyNode& root, const std::string& rootName) {
  std::string out = "REGEDIT4\n\n";
  FormatKey(root, rootName, true, out);
  return out;
}

// ---- THive -----------------------------------------------------------------------------------------

namespace {

// Damaged files set aside beside one hive file before the hive gives up keeping another.
constexpr int kSetAsideNames = 1000;

// How long a save waits for another process's save of the same file: a save takes milliseconds.
constexpr std::chrono::milliseconds kSaveLockPatience{5000};
std::atomic<std::chrono::milliseconds::rep> saveLockPatience{kSaveLockPatience.count()};

std::chrono::milliseconds SaveLockPatience() {
  return std::chrono::milliseconds(saveLockPatience.load());
}

// No settings file comes near this size: a larger one is taken for damaged.
constexpr off_t kMaxHiveFileSize = off_t{64} << 20;

// Moves a damaged file to a name of its own beside it: <file>.bad, else <file>.bad2, .bad3... An
// earlier one is never replaced. The new name, or empty when the file could not be moved.
std::string SetAside(const std::string& fileName) {
  for (int n = 1; n <= kSetAsideNames; ++n) {
    const std::string name = fileName + ".bad" + (n == 1 ? std::string() : std::to_string(n));
    if (renameat2(AT_FDCWD, fileName.c_str(), AT_FDCWD, name.c_str(), RENAME_NOREPLACE) == 0) return name;
    if (errno == EEXIST) continue;
    if (errno != EINVAL && errno != ENOSYS) return {};
    // a file system that cannot refuse to replace: a name nothing stands at
    struct stat st {};
    if (lstat(name.c_str(), &st) == 0) continue;
    return RenameFile(fileName, name) ? name : std::string();
  }
  return {};
}

// What a hive file is read as: its text, or why it is no hive file at all.
struct THiveFileText {
  std::optional<std::string> text;
  std::string error;  // why it could not be read
  bool tooLarge = false;
};

// Reads a hive file without ever waiting on it: only a regular file is taken (a pipe, a device or a
// link to one is unreadable), and no more than kMaxHiveFileSize bytes of it.
THiveFileText ReadHiveFile(const std::string& fileName) {
  THiveFileText result;
  result.text =
      ReadFileContent(fileName, &result.error, static_cast<size_t>(kMaxHiveFileSize), &result.tooLarge);
  return result;
}

}  // namespace

THive::THive(std::string rootName, std::string fileName, bool readOnly, unsigned fileMode,
             TFileModeRule modeRule)
    : rootName_(std::move(rootName)),
      fileName_(std::move(fileName)),
      readOnly_(readOnly),
      fileMode_(fileMode),
      modeRule_(modeRule),
      root_(std::make_unique<TKeyNode>(rootName_)) {}

THive::THive(std::string rootName, std::unique_ptr<TKeyNode> content)
    : rootName_(std::move(rootName)), readOnly_(true), loaded_(true), root_(std::move(content)) {}

void THive::Refresh() {
  if (fileName_.empty()) return;
  TFileStamp now = GetFileStamp(fileName_);
  if (loaded_ && now == stamp_) return;
  Load(now);
  for (const TChange& change : heldBack_) change(*root_);
}

void THive::Load(const TFileStamp& stamp) {
  // The settings of a hive read (or begun) before: kept when the file turns out damaged now.
  std::unique_ptr<TKeyNode> held = loaded_ && !blocked_ ? std::move(root_) : nullptr;
  if (held && held->SubKeys().empty() && held->Values().empty()) held.reset();  // nothing to keep
  root_ = std::make_unique<TKeyNode>(rootName_);
  stamp_ = stamp;
  loaded_ = true;
  blocked_ = false;
  if (!stamp.exists) return;
  THiveFileText file = ReadHiveFile(fileName_);
  if (!file.text && !file.tooLarge) {
    blocked_ = true;
    problem_ = {"Cannot read the registry file \"" + fileName_ + "\": " + file.error, file.error, ""};
    std::cerr << problem_.message << std::endl;
    return;
  }
  std::string damage;
  if (file.tooLarge) {
    damage = "the file is larger than 64 MiB";
  } else {
    try {
      root_ = ParseHiveText(*file.text, rootName_);
      return;
    } catch (const THiveFormatError& e) {
      damage = e.Message();
    }
  }
  const std::string setAsideName = SetAside(fileName_);
  THiveProblem& problem = held && !setAsideName.empty() ? replaced_ : problem_;
  if (held) root_ = std::move(held);
  problem.reason = damage;
  problem.setAsideName = setAsideName;
  problem.damaged = true;
  if (!setAsideName.empty()) {
    problem.message = "The registry file \"" + fileName_ + "\" is damaged (" + damage +
                      "); it was renamed to \"" + setAsideName + "\" and " + rootName_ +
                      (&problem == &replaced_ ? " keeps the settings it held" : " starts empty");
    stamp_ = GetFileStamp(fileName_);
  } else {
    blocked_ = true;
    problem.message = "The registry file \"" + fileName_ + "\" is damaged (" + damage +
                      ") and could not be renamed; it is left as it is and nothing is written to it";
  }
  std::cerr << problem.message << std::endl;
}

void THive::Save() {
  assert(!Updating());
  const auto readOnly = [this] { return EFCreateError("The registry hive " + rootName_ + " is read-only"); };
  if (fileName_.empty() || ReadOnly()) throw readOnly();
  try {
    const TSaveLock lock(fileName_, SaveLockPatience());
    RemoveAbandonedSaves(fileName_);
    Refresh();  // what another process wrote meanwhile stays, the changes kept made again on it
    if (ReadOnly()) throw readOnly();  // the file can no longer be read
    SaveFileAtomically(fileName_, FormatHiveText(*root_, rootName_), fileMode_, modeRule_);
    stamp_ = GetFileStamp(fileName_);
  } catch (const ESaveFileError& e) {
    unsaved_ = e.Reason();
    throw;
  } catch (const Exception& e) {
    unsaved_ = e.Message();
    throw;
  } catch (const std::exception& e) {
    unsaved_ = e.what();
    throw;
  }
  heldBack_.clear();
  unsaved_.reset();
}

const std::string& THive::UnsavedReason() const {
  assert(Unsaved());
  return *unsaved_;
}

void THive::BeginUpdate() {
  ++updates_;
}

bool THive::EndUpdate() {
  assert(updates_ > 0);
  return --updates_ == 0 && !heldBack_.empty();
}

void THive::HoldBack(TChange change) {
  heldBack_.push_back(std::move(change));
}

THiveProblem THive::TakeProblem() {
  return std::exchange(problem_, THiveProblem());
}

THiveProblem THive::TakeReplacedFile() {
  return std::exchange(replaced_, THiveProblem());
}

// ---- The hive table --------------------------------------------------------------------------------

namespace {

std::mutex tableLock;
std::map<std::string, std::shared_ptr<THive>> hives;
std::string oratabFileName = "/etc/oratab";
std::string syntheticSignature;
std::shared_ptr<THive> syntheticHive;

// Settings a user keeps (logon histories among them) are readable by that user only.
constexpr unsigned kPerUserFileMode = 0600;
constexpr unsigned kSharedFileMode = 0644;

std::shared_ptr<THive> FileHive(const std::string& rootName, const std::string& fileName, bool readOnly,
                                unsigned fileMode, TFileModeRule modeRule = TFileModeRule::KeepExisting) {
  std::string key = rootName + "|" + fileName;
  auto& slot = hives[key];
  if (!slot) slot = std::make_shared<THive>(rootName, fileName, readOnly, fileMode, modeRule);
  return slot;
}

// HKEY_LOCAL_MACHINE without a file: the Oracle homes this machine has, as the client discovery
// reads them.
std::shared_ptr<THive> OracleHomesHive() {
  std::string oracleHome = GetEnvironmentVariable("ORACLE_HOME");
  std::string oratab = ReadFileContent(oratabFileName).value_or(std::string());
  std::string signature = oracleHome + '\n' + oratabFileName + '\n' + oratab;
  if (syntheticHive && signature == syntheticSignature) return syntheticHive;

  std::vector<std::string> homes;
  auto addHome = [&homes](const std::string& home) {
    std::string dir = home.size() > 1 ? ExcludeTrailingPathDelimiter(home) : home;
    if (dir.empty()) return;
    for (const auto& known : homes) {
      if (known == dir) return;
    }
    homes.push_back(dir);
  };
  addHome(oracleHome);
  size_t start = 0;
  while (start < oratab.size()) {
    size_t end = oratab.find('\n', start);
    if (end == std::string::npos) end = oratab.size();
    std::string line(TrimBlanks(std::string_view(oratab).substr(start, end - start)));
    start = end + 1;
    if (line.empty() || line[0] == '#') continue;
    // SID:ORACLE_HOME:Y|N
    size_t first = line.find(':');
    if (first == std::string::npos) continue;
    std::string_view home = std::string_view(line).substr(first + 1);
    addHome(std::string(TrimBlanks(home.substr(0, home.find(':')))));
  }

  auto root = std::make_unique<TKeyNode>("HKEY_LOCAL_MACHINE");
  if (!homes.empty()) {
    TKeyNode* oracle = root->AddSubKey("SOFTWARE")->AddSubKey("ORACLE");
    std::vector<std::string> names;
    for (const auto& home : homes) {
      std::string base = ExtractFileName(home);
      if (base.empty()) base = "OraHome";
      std::string name = base;
      for (int n = 2;; ++n) {
        bool taken = false;
        for (const auto& other : names) taken = taken || Fold(other) == Fold(name);
        if (!taken) break;
        name = base + "_" + std::to_string(n);
      }
      names.push_back(name);
    }
    oracle->SetValue("ORACLE_HOME", REG_SZ, homes[0]);
    oracle->SetValue("ORACLE_HOME_NAME", REG_SZ, names[0]);
    oracle->AddSubKey("ALL_HOMES")->SetValue("HOME_COUNTER", REG_SZ, std::to_string(homes.size()));
    for (size_t n = 0; n < homes.size(); ++n) {
      TKeyNode* home = oracle->AddSubKey("HOME" + std::to_string(n));
      home->SetValue("ORACLE_HOME", REG_SZ, homes[n]);
      home->SetValue("ORACLE_HOME_NAME", REG_SZ, names[n]);
    }
  }
  syntheticSignature = signature;
  syntheticHive = std::make_shared<THive>("HKEY_LOCAL_MACHINE", std::move(root));
  return syntheticHive;
}

}  // namespace

std::string UserConfigDir() {
  std::string base = GetEnvironmentVariable("XDG_CONFIG_HOME");
  if (base.empty() || base[0] != '/') {
    std::string home = GetEnvironmentVariable("HOME");
    if (home.empty()) {
      if (passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) home = pw->pw_dir;
    }
    base = IncludeTrailingPathDelimiter(home) + ".config";
  }
  return IncludeTrailingPathDelimiter(base) + "talvik";
}

std::shared_ptr<THive> HiveForRoot(std::uintptr_t rootKey) {
  std::lock_guard guard(tableLock);
  const char* fileName = nullptr;
  const char* rootName = nullptr;
  TFileModeRule modeRule = TFileModeRule::KeepExisting;
  switch (rootKey) {
    case HKEY_CURRENT_USER:
      rootName = "HKEY_CURRENT_USER";
      fileName = "HKCU.reg";
      modeRule = TFileModeRule::Always;  // the logon history with its passwords is kept here
      break;
    case HKEY_CLASSES_ROOT:
      rootName = "HKEY_CLASSES_ROOT";
      fileName = "HKCR.reg";
      break;
    case HKEY_USERS:
      rootName = "HKEY_USERS";
      fileName = "HKU.reg";
      break;
    case HKEY_CURRENT_CONFIG:
      rootName = "HKEY_CURRENT_CONFIG";
      fileName = "HKCC.reg";
      break;
    case HKEY_LOCAL_MACHINE: {
      std::string file = GetEnvironmentVariable("TALVIK_HKLM");
      if (file.empty()) return OracleHomesHive();
      return FileHive("HKEY_LOCAL_MACHINE", ExpandFileName(file), false, kSharedFileMode);
    }
    default:
      return nullptr;
  }
  return FileHive(rootName, IncludeTrailingPathDelimiter(UserConfigDir()) + fileName, false, kPerUserFileMode,
                  modeRule);
}

void SetOratabFileName(const std::string& fileName) {
  std::lock_guard guard(tableLock);
  oratabFileName = fileName;
}

void SetSaveLockPatience(std::chrono::milliseconds patience) {
  saveLockPatience = patience.count();
}

void ResetHives() {
  std::lock_guard guard(tableLock);
  hives.clear();
  syntheticHive.reset();
  syntheticSignature.clear();
}

}  // namespace talvik::registry
