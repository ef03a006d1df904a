#include "platform/rtl/Registry.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "platform/rtl/RegistryStore.h"

using talvik::registry::HiveForRoot;
using talvik::registry::THive;
using talvik::registry::TKeyNode;
using talvik::registry::TValue;

// ---- Handles ---------------------------------------------------------------------------------------

namespace {

struct TOpenKey {
  std::shared_ptr<THive> hive;
  std::vector<std::string> path;
  REGSAM access = 0;
};

std::mutex handleLock;
std::unordered_map<HKEY, TOpenKey> openKeys;
HKEY nextHandle = 0x10000;
thread_local std::string lastProblem;
thread_local TRegFileProblem lastFileProblem;

bool IsPredefined(HKEY key) {
  return key >= HKEY_CLASSES_ROOT && key <= HKEY_DYN_DATA;
}

int Resolve(HKEY key, TOpenKey& result) {
  if (IsPredefined(key)) {
    result.hive = HiveForRoot(key);
    if (!result.hive) return ERROR_INVALID_HANDLE;
    result.path.clear();
    result.access = KEY_ALL_ACCESS;
    return ERROR_SUCCESS;
  }
  std::lock_guard guard(handleLock);
  auto it = openKeys.find(key);
  if (it == openKeys.end()) return ERROR_INVALID_HANDLE;
  result = it->second;
  return ERROR_SUCCESS;
}

HKEY NewHandle(TOpenKey key) {
  std::lock_guard guard(handleLock);
  HKEY handle = nextHandle++;
  openKeys.emplace(handle, std::move(key));
  return handle;
}

bool ValidName(const std::string& name) {
  for (char c : name) {
    if (c == '\0' || c == '\r' || c == '\n') return false;
  }
  return true;
}

// The parts of a key path; false for a part that cannot be a key name.
bool SplitPath(const std::string& path, std::vector<std::string>& parts) {
  parts.clear();
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) {
      std::string part = path.substr(start, end - start);
      if (!ValidName(part)) return false;
      parts.push_back(std::move(part));
    }
    start = end + 1;
  }
  return true;
}

// Brings the hive up to date with its file; ERROR_BADDB once after a damaged file was set aside.
int Begin(THive& hive) {
  hive.Refresh();
  talvik::registry::THiveProblem problem = hive.TakeProblem();
  if (problem.Empty()) return ERROR_SUCCESS;
  lastProblem = std::move(problem.message);
  lastFileProblem = {hive.FileName(), std::move(problem.setAsideName), std::move(problem.reason),
                     problem.damaged};
  return ERROR_BADDB;
}

// Writes the hive's file; ERROR_WRITE_FAULT when it cannot (the changes stay in the hive for the next
// save).
int Save(THive& hive) {
  std::string reason;
  try {
    hive.Save();
    return ERROR_SUCCESS;
  } catch (const ESaveFileError& e) {
    lastProblem = e.Message();
    reason = e.Reason();
  } catch (const Exception& e) {
    lastProblem = reason = e.Message();
  }
  lastFileProblem = {hive.FileName(), "", std::move(reason)};
  std::cerr << lastProblem << std::endl;
  return ERROR_WRITE_FAULT;
}

// A change just made to the hive's tree reaches its file: at once, or, while an update is open, when
// the outermost one ends. It is kept till then, to be made again on the file read anew meanwhile.
int Commit(THive& hive, THive::TChange change) {
  hive.HoldBack(std::move(change));
  return hive.Updating() ? ERROR_SUCCESS : Save(hive);
}

// The key at path below root, made with those missing on the way.
TKeyNode& MakePath(TKeyNode& root, const std::vector<std::string>& path) {
  TKeyNode* node = &root;
  for (const auto& part : path) node = node->AddSubKey(part);
  return *node;
}

TKeyNode* FindPath(TKeyNode& root, const std::vector<std::string>& path) {
  TKeyNode* node = &root;
  for (size_t i = 0; node && i < path.size(); ++i) node = node->SubKey(path[i]);
  return node;
}

constexpr REGSAM kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK;

// Runs f(hive, openKey, node) on the key under the hive's lock.
template <class F>
int WithKey(HKEY key, F&& f) {
  TOpenKey open;
  if (int rc = Resolve(key, open); rc != ERROR_SUCCESS) return rc;
  std::lock_guard guard(open.hive->Lock());
  if (int rc = Begin(*open.hive); rc != ERROR_SUCCESS) return rc;
  TKeyNode* node = FindPath(open.hive->Root(), open.path);
  if (!node) return ERROR_KEY_DELETED;
  return f(*open.hive, open, *node);
}

uint32_t DataSizeOf(const TValue& value) {
  bool text = value.type == REG_SZ || value.type == REG_EXPAND_SZ;
  return static_cast<uint32_t>(value.data.size() + (text ? 1 : 0));
}

}  // namespace

// ---- The call interface ----------------------------------------------------------------------------

int RegOpenKeyEx(HKEY key, const std::string& subKey, uint32_t, REGSAM access, HKEY* result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = 0;
  std::vector<std::string> parts;
  if (!SplitPath(subKey, parts)) return ERROR_INVALID_PARAMETER;
  return WithKey(key, [&](THive& hive, const TOpenKey& open, TKeyNode& node) {
    TKeyNode* target = &node;
    for (const auto& part : parts) {
      target = target->SubKey(part);
      if (!target) return ERROR_FILE_NOT_FOUND;
    }
    if (hive.ReadOnly() && (access & kWriteRights)) return ERROR_ACCESS_DENIED;
    TOpenKey opened{open.hive, open.path, access};
    opened.path.insert(opened.path.end(), parts.begin(), parts.end());
    *result = NewHandle(std::move(opened));
    return ERROR_SUCCESS;
  });
}

int RegCreateKeyEx(HKEY key, const std::string& subKey, REGSAM access, HKEY* result, uint32_t* disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = 0;
  std::vector<std::string> parts;
  if (!SplitPath(subKey, parts)) return ERROR_INVALID_PARAMETER;
  return WithKey(key, [&](THive& hive, const TOpenKey& open, TKeyNode& node) {
    bool exists = true;
    TKeyNode* target = &node;
    for (const auto& part : parts) {
      target = target->SubKey(part);
      if (!target) {
        exists = false;
        break;
      }
    }
    if (!exists) {
      if (hive.ReadOnly() || !(open.access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
      target = &MakePath(node, parts);
      std::vector<std::string> path = open.path;
      path.insert(path.end(), parts.begin(), parts.end());
      if (int rc = Commit(hive, [path](TKeyNode& root) { MakePath(root, path); }); rc != ERROR_SUCCESS)
        return rc;
    } else if (hive.ReadOnly() && (access & kWriteRights)) {
      return ERROR_ACCESS_DENIED;
    }
    if (disposition) *disposition = exists ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    TOpenKey opened{open.hive, open.path, access};
    opened.path.insert(opened.path.end(), parts.begin(), parts.end());
    *result = NewHandle(std::move(opened));
    return ERROR_SUCCESS;
  });
}

int RegCloseKey(HKEY key) {
  if (IsPredefined(key)) return ERROR_SUCCESS;
  std::lock_guard guard(handleLock);
  return openKeys.erase(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

int RegQueryValueEx(HKEY key, const std::string& valueName, uint32_t* type, void* data, uint32_t* dataSize) {
  return WithKey(key, [&](THive&, const TOpenKey& open, TKeyNode& node) {
    if (!(open.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    const TValue* value = node.Value(valueName);
    if (!value) return ERROR_FILE_NOT_FOUND;
    uint32_t size = DataSizeOf(*value);
    if (type) *type = value->type;
    if (!data) {
      if (dataSize) *dataSize = size;
      return ERROR_SUCCESS;
    }
    if (!dataSize) return ERROR_INVALID_PARAMETER;
    if (*dataSize < size) {
      *dataSize = size;
      return ERROR_MORE_DATA;
    }
    std::memcpy(data, value->data.data(), value->data.size());
    if (size > value->data.size()) static_cast<char*>(data)[value->data.size()] = '\0';
    *dataSize = size;
    return ERROR_SUCCESS;
  });
}

int RegSetValueEx(HKEY key, const std::string& valueName, uint32_t type, const void* data,
                  uint32_t dataSize) {
  if (!ValidName(valueName) || (!data && dataSize > 0)) return ERROR_INVALID_PARAMETER;
  std::string bytes = dataSize ? std::string(static_cast<const char*>(data), dataSize) : std::string();
  if (type == REG_SZ || type == REG_EXPAND_SZ) bytes = bytes.substr(0, bytes.find('\0'));
  return WithKey(key, [&](THive& hive, const TOpenKey& open, TKeyNode& node) {
    if (hive.ReadOnly() || !(open.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    node.SetValue(valueName, type, bytes);
    return Commit(hive, [path = open.path, valueName, type, bytes = std::move(bytes)](TKeyNode& root) {
      MakePath(root, path).SetValue(valueName, type, bytes);
    });
  });
}

int RegDeleteValue(HKEY key, const std::string& valueName) {
  return WithKey(key, [&](THive& hive, const TOpenKey& open, TKeyNode& node) {
    if (hive.ReadOnly() || !(open.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    if (!node.RemoveValue(valueName)) return ERROR_FILE_NOT_FOUND;
    return Commit(hive, [path = open.path, valueName](TKeyNode& root) {
      if (TKeyNode* key = FindPath(root, path)) key->RemoveValue(valueName);
    });
  });
}

namespace {
int DeleteSubKey(HKEY key, const std::string& subKey, bool tree) {
  std::vector<std::string> parts;
  if (!SplitPath(subKey, parts)) return ERROR_INVALID_PARAMETER;
  if (parts.empty()) return ERROR_INVALID_PARAMETER;
  return WithKey(key, [&](THive& hive, const TOpenKey& open, TKeyNode& node) {
    TKeyNode* parent = &node;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
      parent = parent->SubKey(parts[i]);
      if (!parent) return ERROR_FILE_NOT_FOUND;
    }
    TKeyNode* target = parent->SubKey(parts.back());
    if (!target) return ERROR_FILE_NOT_FOUND;
    if (hive.ReadOnly() || (!tree && !target->SubKeys().empty())) return ERROR_ACCESS_DENIED;
    parent->RemoveSubKey(parts.back());
    std::vector<std::string> path = open.path;
    path.insert(path.end(), parts.begin(), parts.end() - 1);
    return Commit(hive, [path, name = parts.back()](TKeyNode& root) {
      if (TKeyNode* key = FindPath(root, path)) key->RemoveSubKey(name);
    });
  });
}
}  // namespace

int RegDeleteKey(HKEY key, const std::string& subKey) {
  return DeleteSubKey(key, subKey, false);
}

int RegDeleteTree(HKEY key, const std::string& subKey) {
  return DeleteSubKey(key, subKey, true);
}

int RegEnumKeyEx(HKEY key, uint32_t index, std::string* name) {
  return WithKey(key, [&](THive&, const TOpenKey& open, TKeyNode& node) {
    if (!(open.access & KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
    if (index >= node.SubKeys().size()) return ERROR_NO_MORE_ITEMS;
    auto it = node.SubKeys().begin();
    std::advance(it, index);
    if (name) *name = it->second->Name();
    return ERROR_SUCCESS;
  });
}

int RegEnumValue(HKEY key, uint32_t index, std::string* name, uint32_t* type, uint32_t* dataSize) {
  return WithKey(key, [&](THive&, const TOpenKey& open, TKeyNode& node) {
    if (!(open.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    if (index >= node.Values().size()) return ERROR_NO_MORE_ITEMS;
    const TValue& value = node.Values()[index];
    if (name) *name = value.name;
    if (type) *type = value.type;
    if (dataSize) *dataSize = DataSizeOf(value);
    return ERROR_SUCCESS;
  });
}

int RegQueryInfoKey(HKEY key, uint32_t* subKeys, uint32_t* maxSubKeyLen, uint32_t* values,
                    uint32_t* maxValueNameLen, uint32_t* maxValueLen) {
  return WithKey(key, [&](THive&, const TOpenKey&, TKeyNode& node) {
    uint32_t maxKey = 0, maxName = 0, maxData = 0;
    for (const auto& [folded, sub] : node.SubKeys())
      maxKey = std::max(maxKey, static_cast<uint32_t>(sub->Name().size()));
    for (const auto& value : node.Values()) {
      maxName = std::max(maxName, static_cast<uint32_t>(value.name.size()));
      maxData = std::max(maxData, DataSizeOf(value));
    }
    if (subKeys) *subKeys = static_cast<uint32_t>(node.SubKeys().size());
    if (maxSubKeyLen) *maxSubKeyLen = maxKey;
    if (values) *values = static_cast<uint32_t>(node.Values().size());
    if (maxValueNameLen) *maxValueNameLen = maxName;
    if (maxValueLen) *maxValueLen = maxData;
    return ERROR_SUCCESS;
  });
}

int RegFlushKey(HKEY key) {
  return WithKey(key, [](THive&, const TOpenKey&, TKeyNode&) { return ERROR_SUCCESS; });
}

int RegGetKeyNames(HKEY key, std::vector<std::string>& names) {
  names.clear();
  return WithKey(key, [&](THive&, const TOpenKey& open, TKeyNode& node) {
    if (!(open.access & KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
    for (const auto& [folded, sub] : node.SubKeys()) names.push_back(sub->Name());
    return ERROR_SUCCESS;
  });
}

int RegGetValueNames(HKEY key, std::vector<std::string>& names) {
  names.clear();
  return WithKey(key, [&](THive&, const TOpenKey& open, TKeyNode& node) {
    if (!(open.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    for (const auto& value : node.Values()) names.push_back(value.name);
    return ERROR_SUCCESS;
  });
}

std::string RegLastProblem() {
  return lastProblem;
}

bool RegUnsavedChanges(HKEY rootKey, TRegFileProblem& problem) {
  const std::shared_ptr<THive> hive = HiveForRoot(rootKey);
  if (!hive) return false;
  std::lock_guard guard(hive->Lock());
  if (!hive->Unsaved()) return false;
  problem = {hive->FileName(), "", hive->UnsavedReason()};
  return true;
}

bool RegTakeReplacedFile(HKEY rootKey, TRegFileProblem& problem) {
  const std::shared_ptr<THive> hive = HiveForRoot(rootKey);
  if (!hive) return false;
  std::lock_guard guard(hive->Lock());
  talvik::registry::THiveProblem replaced = hive->TakeReplacedFile();
  if (replaced.Empty()) return false;
  problem = {hive->FileName(), std::move(replaced.setAsideName), std::move(replaced.reason), true};
  return true;
}

// ---- Updates ---------------------------------------------------------------------------------------

TRegistryUpdate::TRegistryUpdate(HKEY rootKey) : hive_(HiveForRoot(rootKey)) {
  if (!hive_) return;
  std::lock_guard guard(hive_->Lock());
  hive_->BeginUpdate();
}

TRegistryUpdate::~TRegistryUpdate() {
  Finish();
}

int TRegistryUpdate::Finish() {
  const std::shared_ptr<THive> hive = std::exchange(hive_, nullptr);
  if (!hive) return ERROR_SUCCESS;
  std::lock_guard guard(hive->Lock());
  if (!hive->EndUpdate()) return ERROR_SUCCESS;
  return Save(*hive);  // on the file as someone else may have written it meanwhile
}

void TRegistryUpdate::End() {
  if (Finish() == ERROR_WRITE_FAULT) throw ERegistryWriteError(RegLastProblem(), lastFileProblem);
}

// ---- TRegistry -------------------------------------------------------------------------------------

namespace {

// A damaged hive file is reported to the user of the class library as an exception.
void RaiseIfDamaged(int rc) {
  if (rc == ERROR_BADDB) throw ERegistryDamaged(RegLastProblem(), lastFileProblem);
}

// So is a change that did not reach the file, with the file and the reason.
void RaiseIfNotWritten(int rc, const std::string& message) {
  if (rc == ERROR_WRITE_FAULT) throw ERegistryWriteError(message, lastFileProblem);
}

TRegDataType DataTypeOf(uint32_t type) {
  switch (type) {
    case REG_SZ:
      return rdString;
    case REG_EXPAND_SZ:
      return rdExpandString;
    case REG_DWORD:
      return rdInteger;
    case REG_BINARY:
      return rdBinary;
    default:
      return rdUnknown;
  }
}

[[noreturn]] void InvalidType(const std::string& name) {
  throw ERegistryException("Invalid data type for '" + name + "'");
}

}  // namespace

TRegistry::TRegistry() = default;

TRegistry::TRegistry(REGSAM access) : access_(access) {}

TRegistry::~TRegistry() {
  CloseKey();
}

void TRegistry::SetRootKey(HKEY value) {
  if (value == rootKey_) return;
  rootKey_ = value;
  CloseKey();
}

void TRegistry::CloseKey() {
  if (currentKey_) RegCloseKey(currentKey_);
  currentKey_ = 0;
  currentPath_.clear();
}

HKEY TRegistry::BaseKey(bool relative) const {
  return relative && currentKey_ ? currentKey_ : rootKey_;
}

HKEY TRegistry::OpenRelative(const std::string& key, bool canCreate, REGSAM access, std::string* path,
                             int* error) {
  std::string sub = key;
  bool relative = sub.empty() || sub[0] != '\\';
  if (!relative) sub.erase(0, 1);
  HKEY result = 0;
  int rc = canCreate ? RegCreateKeyEx(BaseKey(relative), sub, access, &result)
                     : RegOpenKeyEx(BaseKey(relative), sub, 0, access, &result);
  RaiseIfDamaged(rc);
  RaiseIfNotWritten(rc, "Failed to create key " + key);
  if (error) *error = rc;
  if (rc != ERROR_SUCCESS) return 0;
  if (path) {
    if (relative && currentKey_ && !currentPath_.empty())
      *path = sub.empty() ? currentPath_ : currentPath_ + "\\" + sub;
    else
      *path = sub;
  }
  return result;
}

void TRegistry::ChangeKey(HKEY key, const std::string& path) {
  CloseKey();
  currentKey_ = key;
  currentPath_ = path;
}

void TRegistry::DetachKey(HKEY& key, std::string& path) {
  key = currentKey_;
  path = currentPath_;
  currentKey_ = 0;
  currentPath_.clear();
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
  std::string path;
  HKEY opened = OpenRelative(key, canCreate, access_, &path);
  if (!opened) return false;
  ChangeKey(opened, path);
  return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& key) {
  std::string path;
  HKEY opened = OpenRelative(key, false, KEY_READ, &path);
  if (!opened) return false;
  access_ = KEY_READ;
  ChangeKey(opened, path);
  return true;
}

bool TRegistry::CreateKey(const std::string& key) {
  HKEY created = OpenRelative(key, true, access_, nullptr);
  if (!created) throw ERegistryException("Failed to create key " + key);
  RegCloseKey(created);
  return true;
}

bool TRegistry::DeleteKey(const std::string& key) {
  std::string sub = key;
  bool relative = sub.empty() || sub[0] != '\\';
  if (!relative) sub.erase(0, 1);
  int rc = RegDeleteTree(BaseKey(relative), sub);
  RaiseIfDamaged(rc);
  return rc == ERROR_SUCCESS;
}

bool TRegistry::KeyExists(const std::string& key) {
  HKEY opened = OpenRelative(key, false, KEY_READ, nullptr);
  if (!opened) return false;
  RegCloseKey(opened);
  return true;
}

bool TRegistry::GetKeyInfo(TRegKeyInfo& value) {
  value = TRegKeyInfo();
  uint32_t subKeys = 0, maxSubKeyLen = 0, values = 0, maxValueNameLen = 0, maxValueLen = 0;
  int rc = RegQueryInfoKey(currentKey_, &subKeys, &maxSubKeyLen, &values, &maxValueNameLen, &maxValueLen);
  RaiseIfDamaged(rc);
  if (rc != ERROR_SUCCESS) return false;
  value.NumSubKeys = static_cast<int>(subKeys);
  value.MaxSubKeyLen = static_cast<int>(maxSubKeyLen);
  value.NumValues = static_cast<int>(values);
  value.MaxValueLen = static_cast<int>(maxValueNameLen);
  value.MaxDataLen = static_cast<int>(maxValueLen);
  return true;
}

bool TRegistry::HasSubKeys() {
  TRegKeyInfo info;
  return GetKeyInfo(info) && info.NumSubKeys > 0;
}

void TRegistry::GetKeyNames(std::vector<std::string>& names) {
  RaiseIfDamaged(RegGetKeyNames(currentKey_, names));
}

void TRegistry::GetValueNames(std::vector<std::string>& names) {
  RaiseIfDamaged(RegGetValueNames(currentKey_, names));
}

void TRegistry::GetKeyNames(TStrings* names) {
  std::vector<std::string> items;
  GetKeyNames(items);
  talvik::AssignStringList(names, items);
}

void TRegistry::GetValueNames(TStrings* names) {
  std::vector<std::string> items;
  GetValueNames(items);
  talvik::AssignStringList(names, items);
}

bool TRegistry::GetDataInfo(const std::string& name, TRegDataInfo& value) {
  value = TRegDataInfo();
  uint32_t type = 0, size = 0;
  int rc = RegQueryValueEx(currentKey_, name, &type, nullptr, &size);
  RaiseIfDamaged(rc);
  if (rc != ERROR_SUCCESS) return false;
  value.RegData = DataTypeOf(type);
  value.DataSize = static_cast<int>(size);
  return true;
}

bool TRegistry::ValueExists(const std::string& name) {
  TRegDataInfo info;
  return GetDataInfo(name, info);
}

int TRegistry::GetDataSize(const std::string& name) {
  TRegDataInfo info;
  return GetDataInfo(name, info) ? info.DataSize : -1;
}

TRegDataType TRegistry::GetDataType(const std::string& name) {
  TRegDataInfo info;
  return GetDataInfo(name, info) ? info.RegData : rdUnknown;
}

bool TRegistry::DeleteValue(const std::string& name) {
  int rc = RegDeleteValue(currentKey_, name);
  RaiseIfDamaged(rc);
  return rc == ERROR_SUCCESS;
}

void TRegistry::GetData(const std::string& name, void* buffer, uint32_t size, TRegDataType& type) {
  uint32_t rawType = 0;
  int rc = RegQueryValueEx(currentKey_, name, &rawType, buffer, &size);
  RaiseIfDamaged(rc);
  if (rc != ERROR_SUCCESS) throw ERegistryException("Failed to get data for '" + name + "'");
  type = DataTypeOf(rawType);
}

void TRegistry::PutData(const std::string& name, const void* buffer, uint32_t size, uint32_t type) {
  int rc = RegSetValueEx(currentKey_, name, type, buffer, size);
  RaiseIfDamaged(rc);
  RaiseIfNotWritten(rc, "Failed to set data for '" + name + "'");
  if (rc != ERROR_SUCCESS) throw ERegistryException("Failed to set data for '" + name + "'");
}

std::string TRegistry::ReadString(const std::string& name) {
  int size = GetDataSize(name);
  if (size <= 0) return {};
  std::string buffer(static_cast<size_t>(size), '\0');
  TRegDataType type = rdUnknown;
  GetData(name, buffer.data(), static_cast<uint32_t>(size), type);
  if (type != rdString && type != rdExpandString) InvalidType(name);
  return std::string(buffer.c_str());
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
  PutData(name, value.c_str(), static_cast<uint32_t>(value.size() + 1), REG_SZ);
}

void TRegistry::WriteExpandString(const std::string& name, const std::string& value) {
  PutData(name, value.c_str(), static_cast<uint32_t>(value.size() + 1), REG_EXPAND_SZ);
}

int TRegistry::ReadInteger(const std::string& name) {
  TRegDataInfo info;
  if (!GetDataInfo(name, info)) throw ERegistryException("Failed to get data for '" + name + "'");
  if (info.RegData != rdInteger) InvalidType(name);
  uint32_t value = 0;
  TRegDataType type = rdUnknown;
  GetData(name, &value, sizeof value, type);
  return static_cast<int>(value);
}

void TRegistry::WriteInteger(const std::string& name, int value) {
  auto raw = static_cast<uint32_t>(value);
  unsigned char bytes[4] = {static_cast<unsigned char>(raw), static_cast<unsigned char>(raw >> 8),
                            static_cast<unsigned char>(raw >> 16), static_cast<unsigned char>(raw >> 24)};
  PutData(name, bytes, sizeof bytes, REG_DWORD);
}

bool TRegistry::ReadBool(const std::string& name) {
  return ReadInteger(name) != 0;
}

void TRegistry::WriteBool(const std::string& name, bool value) {
  WriteInteger(name, value ? 1 : 0);
}

int TRegistry::ReadBinaryData(const std::string& name, void* buffer, int bufferSize) {
  TRegDataInfo info;
  if (!GetDataInfo(name, info)) return 0;
  if ((info.RegData != rdBinary && info.RegData != rdUnknown) || info.DataSize > bufferSize)
    InvalidType(name);
  TRegDataType type = rdUnknown;
  GetData(name, buffer, static_cast<uint32_t>(info.DataSize), type);
  return info.DataSize;
}

void TRegistry::WriteBinaryData(const std::string& name, const void* buffer, int size) {
  PutData(name, buffer, static_cast<uint32_t>(std::max(size, 0)), REG_BINARY);
}

// ---- TRegIniFile -----------------------------------------------------------------------------------

// Makes a section the open key for the life of the scope and restores the previous key after.
class TRegIniFile::TSectionScope {
 public:
  enum TUse { ForReading, ForChanging, ForCreating };
  TSectionScope(TRegIniFile& owner, const std::string& section, TUse use) : owner_(owner) {
    if (!owner.OpenBaseKey(use == ForCreating)) return;
    if (section.empty()) {
      ok_ = owner.CurrentKey() != 0;
      return;
    }
    std::string path;
    HKEY key =
        owner.OpenRelative(section, use == ForCreating, use == ForReading ? KEY_READ : owner.Access(), &path);
    if (!key) return;
    owner.DetachKey(savedKey_, savedPath_);
    owner.ChangeKey(key, path);
    entered_ = ok_ = true;
  }
  ~TSectionScope() {
    if (entered_) owner_.ChangeKey(savedKey_, savedPath_);
  }
  TSectionScope(const TSectionScope&) = delete;
  TSectionScope& operator=(const TSectionScope&) = delete;
  bool Ok() const { return ok_; }

 private:
  TRegIniFile& owner_;
  HKEY savedKey_ = 0;
  std::string savedPath_;
  bool entered_ = false;
  bool ok_ = false;
};

TRegIniFile::TRegIniFile(const std::string& fileName, REGSAM access)
    : TRegistry(access), TCustomIniFile(fileName) {
  // Opening only reads: a missing key is made by the first change under it, and a store that may not
  // be written is read all the same. Only a refusal makes it read-only, never a key that was missing
  // a moment ago (another program may be writing it into the file right now).
  std::string path;
  int rc = ERROR_SUCCESS;
  if (HKEY key = OpenRelative(fileName, false, Access(), &path, &rc))
    ChangeKey(key, path);
  else if (rc == ERROR_ACCESS_DENIED)
    OpenKeyReadOnly(fileName);
}

bool TRegIniFile::OpenBaseKey(bool create) {
  if (CurrentKey()) return true;
  if (OpenKey(FileName(), false)) return true;
  if (!create) return OpenKeyReadOnly(FileName());
  if (!OpenKey(FileName(), true)) throw ERegistryException("Failed to create key " + FileName());
  return true;
}

std::string TRegIniFile::ReadString(const std::string& section, const std::string& ident,
                                    const std::string& defaultValue) {
  TSectionScope scope(*this, section, TSectionScope::ForReading);
  if (!scope.Ok() || !TRegistry::ValueExists(ident)) return defaultValue;
  return TRegistry::ReadString(ident);
}

void TRegIniFile::WriteString(const std::string& section, const std::string& ident,
                              const std::string& value) {
  TSectionScope scope(*this, section, TSectionScope::ForCreating);
  if (!scope.Ok()) throw ERegistryException("Failed to create key " + section);
  TRegistry::WriteString(ident, value);
}

int TRegIniFile::ReadInteger(const std::string& section, const std::string& ident, int defaultValue) {
  TSectionScope scope(*this, section, TSectionScope::ForReading);
  TRegDataInfo info;
  if (!scope.Ok() || !GetDataInfo(ident, info)) return defaultValue;
  if (info.RegData == rdInteger) return TRegistry::ReadInteger(ident);
  int value = 0;
  if ((info.RegData == rdString || info.RegData == rdExpandString) &&
      ParseIniInteger(TRegistry::ReadString(ident), value))
    return value;
  return defaultValue;
}

void TRegIniFile::WriteInteger(const std::string& section, const std::string& ident, int value) {
  WriteString(section, ident, std::to_string(value));
}

bool TRegIniFile::ReadBool(const std::string& section, const std::string& ident, bool defaultValue) {
  return ReadInteger(section, ident, defaultValue ? 1 : 0) != 0;
}

void TRegIniFile::WriteBool(const std::string& section, const std::string& ident, bool value) {
  WriteString(section, ident, value ? "1" : "0");
}

void TRegIniFile::ReadSection(const std::string& section, std::vector<std::string>& idents) {
  idents.clear();
  TSectionScope scope(*this, section, TSectionScope::ForReading);
  if (scope.Ok()) GetValueNames(idents);
}

void TRegIniFile::ReadSections(std::vector<std::string>& sections) {
  sections.clear();
  if (OpenBaseKey(false)) GetKeyNames(sections);
}

void TRegIniFile::ReadSectionValues(const std::string& section, std::vector<std::string>& values) {
  values.clear();
  TSectionScope scope(*this, section, TSectionScope::ForReading);
  if (!scope.Ok()) return;
  std::vector<std::string> names;
  GetValueNames(names);
  for (const auto& name : names) {
    TRegDataType type = GetDataType(name);
    if (type == rdString || type == rdExpandString)
      values.push_back(name + "=" + TRegistry::ReadString(name));
    else if (type == rdInteger)
      values.push_back(name + "=" + std::to_string(TRegistry::ReadInteger(name)));
  }
}

void TRegIniFile::EraseSection(const std::string& section) {
  if (OpenBaseKey(false)) TRegistry::DeleteKey(section);
}

void TRegIniFile::DeleteKey(const std::string& section, const std::string& ident) {
  TSectionScope scope(*this, section, TSectionScope::ForChanging);
  if (scope.Ok()) DeleteValue(ident);
}

bool TRegIniFile::SectionExists(const std::string& section) {
  return OpenBaseKey(false) && KeyExists(section);
}

bool TRegIniFile::ValueExists(const std::string& section, const std::string& ident) {
  TSectionScope scope(*this, section, TSectionScope::ForReading);
  return scope.Ok() && TRegistry::ValueExists(ident);
}
