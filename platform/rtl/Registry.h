// The registry: root keys, sub-keys and typed values, kept in one readable text file per hive (see
// RegistryStore.h), with the system's call interface and the class library's TRegistry and
// TRegIniFile on top. Every change is on disk when the call returns, or, while an update of its hive
// is open (TRegistryUpdate), when the outermost update ends. A change that could not be written
// stays in the hive, seen by every reader, and the next save writes it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/Files.h"
#include "platform/rtl/IniFiles.h"
#include "platform/rtl/SysUtils.h"

using HKEY = std::uintptr_t;
using REGSAM = uint32_t;

inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr HKEY HKEY_USERS = 0x80000003u;
inline constexpr HKEY HKEY_PERFORMANCE_DATA = 0x80000004u;
inline constexpr HKEY HKEY_CURRENT_CONFIG = 0x80000005u;
inline constexpr HKEY HKEY_DYN_DATA = 0x80000006u;

inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_EXPAND_SZ = 2;
inline constexpr uint32_t REG_BINARY = 3;
inline constexpr uint32_t REG_DWORD = 4;
inline constexpr uint32_t REG_DWORD_BIG_ENDIAN = 5;
inline constexpr uint32_t REG_LINK = 6;
inline constexpr uint32_t REG_MULTI_SZ = 7;
inline constexpr uint32_t REG_QWORD = 11;

inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_CREATE_LINK = 0x0020;
inline constexpr REGSAM STANDARD_RIGHTS_READ = 0x00020000;
inline constexpr REGSAM STANDARD_RIGHTS_WRITE = 0x00020000;
inline constexpr REGSAM KEY_READ =
    STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY;
inline constexpr REGSAM KEY_WRITE = STANDARD_RIGHTS_WRITE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;
inline constexpr REGSAM KEY_EXECUTE = KEY_READ;
inline constexpr REGSAM KEY_ALL_ACCESS = 0x000F003F;

inline constexpr uint32_t REG_CREATED_NEW_KEY = 1;
inline constexpr uint32_t REG_OPENED_EXISTING_KEY = 2;

// ---- The call interface ----------------------------------------------------------------------------
// Each returns ERROR_SUCCESS or an error number (Files.h). Key paths are relative to the given key,
// their parts separated by '\'; names ignore case. ERROR_BADDB means the hive's file was found damaged
// and set aside (RegLastProblem() has the message); the call may be repeated on the now empty hive. It
// means too that the file could not be read (no regular file, no permission) or, damaged, could not be
// set aside: the hive then reads as empty and refuses changes. A file found damaged after the hive had
// been read gives no error: see RegTakeReplacedFile.

int RegOpenKeyEx(HKEY key, const std::string& subKey, uint32_t options, REGSAM access, HKEY* result);
int RegCreateKeyEx(HKEY key, const std::string& subKey, REGSAM access, HKEY* result,
                   uint32_t* disposition = nullptr);
int RegCloseKey(HKEY key);
// With data == nullptr only the type and size are told. The size of a string counts its terminating
// zero. A buffer that is too small gives ERROR_MORE_DATA and the size needed.
int RegQueryValueEx(HKEY key, const std::string& valueName, uint32_t* type, void* data, uint32_t* dataSize);
// A string's data may include its terminating zero; the text ends at the first zero.
int RegSetValueEx(HKEY key, const std::string& valueName, uint32_t type, const void* data, uint32_t dataSize);
int RegDeleteValue(HKEY key, const std::string& valueName);
// Fails with ERROR_ACCESS_DENIED while the key has sub-keys.
int RegDeleteKey(HKEY key, const std::string& subKey);
// Deletes the key with everything below it.
int RegDeleteTree(HKEY key, const std::string& subKey);
int RegEnumKeyEx(HKEY key, uint32_t index, std::string* name);
int RegEnumValue(HKEY key, uint32_t index, std::string* name, uint32_t* type = nullptr,
                 uint32_t* dataSize = nullptr);
int RegQueryInfoKey(HKEY key, uint32_t* subKeys, uint32_t* maxSubKeyLen, uint32_t* values,
                    uint32_t* maxValueNameLen, uint32_t* maxValueLen);
// Every change is written at once (or when the open update ends); this only checks the handle.
int RegFlushKey(HKEY key);
// All sub-key names (sorted without regard to case) and all value names (in the order written).
int RegGetKeyNames(HKEY key, std::vector<std::string>& names);
int RegGetValueNames(HKEY key, std::vector<std::string>& names);
// The message behind the last ERROR_BADDB or ERROR_WRITE_FAULT of this thread.
std::string RegLastProblem();

// ---- Faults of a hive's file --------------------------------------------------------------------------

// A hive's file that went wrong: found damaged or unreadable, or not written.
struct TRegFileProblem {
  std::string FileName;
  std::string SetAsideName;  // where a damaged file was put aside; empty when it was not moved
  std::string Reason;        // the fault found in the file, or why it could not be read or written
  bool Damaged = false;      // the file was read and found damaged (not: it could not be read)
};

// A hive's file found damaged after the hive had been read: it was set aside, and the hive kept the
// settings it held, which its next change writes to a new file. Tells it once; false when there is
// none.
bool RegTakeReplacedFile(HKEY rootKey, TRegFileProblem& problem);

// Whether changes made to the hive have not reached its file: its last save failed, and they wait in
// the hive for the next one. Problem then names the file and why that save failed.
bool RegUnsavedChanges(HKEY rootKey, TRegFileProblem& problem);

class ERegistryFileError : public ERegistryException {
 public:
  ERegistryFileError(const std::string& message, TRegFileProblem problem)
      : ERegistryException(message), problem_(std::move(problem)) {}
  const char* ClassName() const noexcept override { return "ERegistryFileError"; }
  const TRegFileProblem& Problem() const { return problem_; }

 private:
  TRegFileProblem problem_;
};

// The hive's file was found damaged or unreadable. A damaged file has been set aside and the hive
// starts empty: the call may be repeated. An unreadable one is left alone and never written.
class ERegistryDamaged : public ERegistryFileError {
 public:
  using ERegistryFileError::ERegistryFileError;
  const char* ClassName() const noexcept override { return "ERegistryDamaged"; }
};

// A change could not be written to the hive's file, which stays as it was; the change stays in the
// hive, and the next save writes it (RegUnsavedChanges tells meanwhile).
class ERegistryWriteError : public ERegistryFileError {
 public:
  using ERegistryFileError::ERegistryFileError;
  const char* ClassName() const noexcept override { return "ERegistryWriteError"; }
};

// ---- Updates ---------------------------------------------------------------------------------------

namespace talvik::registry {
class THive;
}

// Holds back the writing of a hive's file while it is open, so that the values one step of the program
// writes together reach the file in one atomic save. The changes made meanwhile through any key of
// the hive (any call, TRegistry or TRegIniFile) are seen by every reader of the hive at once and
// written when the outermost update of the hive ends; updates nest. A change made to the file by
// someone else meanwhile is read as ever, and the held-back changes are made again on it (also at the
// save, which no other save of the file comes between).
class TRegistryUpdate {
 public:
  explicit TRegistryUpdate(HKEY rootKey = HKEY_CURRENT_USER);
  // An update left without End() (an exception leaving its scope, say) ends here all the same: what
  // it held back is written, and a failure is told as a call's is (RegLastProblem, standard error).
  ~TRegistryUpdate();
  TRegistryUpdate(const TRegistryUpdate&) = delete;
  TRegistryUpdate& operator=(const TRegistryUpdate&) = delete;

  // Ends the update. The outermost one writes what was held back and raises ERegistryWriteError when
  // it cannot: the file stays as it was, and the changes stay in the hive for the next save.
  void End();

 private:
  // ERROR_SUCCESS, or ERROR_WRITE_FAULT when the held-back changes could not be written.
  int Finish();

  std::shared_ptr<talvik::registry::THive> hive_;  // none for an unknown root key, and once ended
};

// ---- TRegistry -------------------------------------------------------------------------------------

enum TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

struct TRegDataInfo {
  TRegDataType RegData = rdUnknown;
  int DataSize = 0;
};

struct TRegKeyInfo {
  int NumSubKeys = 0;
  int MaxSubKeyLen = 0;
  int NumValues = 0;
  int MaxValueLen = 0;
  int MaxDataLen = 0;
};

// One open key at a time under a root key (HKEY_CURRENT_USER unless set). A key path starting with
// '\' is taken from the root, any other from the open key (or the root when none is open).
class TRegistry {
 public:
  TRegistry();
  explicit TRegistry(REGSAM access);
  virtual ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY RootKey() const { return rootKey_; }
  void SetRootKey(HKEY value);  // closes the open key
  REGSAM Access() const { return access_; }
  void SetAccess(REGSAM value) { access_ = value; }
  HKEY CurrentKey() const { return currentKey_; }
  // Path of the open key below the root, without a leading '\'.
  const std::string& CurrentPath() const { return currentPath_; }

  void CloseKey();
  bool OpenKey(const std::string& key, bool canCreate);
  bool OpenKeyReadOnly(const std::string& key);
  // Raises ERegistryException when the key cannot be created. Every call raises ERegistryDamaged when
  // it gets ERROR_BADDB, and a call that creates keys or sets values ERegistryWriteError when the
  // change cannot be written.
  bool CreateKey(const std::string& key);
  // Deletes the key with all its sub-keys.
  bool DeleteKey(const std::string& key);
  bool KeyExists(const std::string& key);
  bool HasSubKeys();
  bool GetKeyInfo(TRegKeyInfo& value);
  void GetKeyNames(std::vector<std::string>& names);
  void GetKeyNames(TStrings* names);
  void GetValueNames(std::vector<std::string>& names);
  void GetValueNames(TStrings* names);

  bool ValueExists(const std::string& name);
  bool DeleteValue(const std::string& name);
  bool GetDataInfo(const std::string& name, TRegDataInfo& value);
  // -1 when the value does not exist.
  int GetDataSize(const std::string& name);
  TRegDataType GetDataType(const std::string& name);

  // Empty when the value is missing; raises ERegistryException for a value that is not a string.
  std::string ReadString(const std::string& name);
  void WriteString(const std::string& name, const std::string& value);
  void WriteExpandString(const std::string& name, const std::string& value);
  // Raise ERegistryException when the value is missing or not an integer.
  int ReadInteger(const std::string& name);
  void WriteInteger(const std::string& name, int value);
  bool ReadBool(const std::string& name);
  void WriteBool(const std::string& name, bool value);
  // Copies the value into the buffer and returns its size (0 when missing); raises when the value is
  // not binary or does not fit.
  int ReadBinaryData(const std::string& name, void* buffer, int bufferSize);
  void WriteBinaryData(const std::string& name, const void* buffer, int size);

 protected:
  // Opens a key relative to the open key (or from the root); 0 when it cannot be opened, Error then
  // telling why (ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED...).
  HKEY OpenRelative(const std::string& key, bool canCreate, REGSAM access, std::string* path,
                    int* error = nullptr);
  // Makes key the open key (which the object then owns) with the given path.
  void ChangeKey(HKEY key, const std::string& path);
  // Detaches the open key without closing it.
  void DetachKey(HKEY& key, std::string& path);

 private:
  HKEY BaseKey(bool relative) const;
  void GetData(const std::string& name, void* buffer, uint32_t size, TRegDataType& type);
  void PutData(const std::string& name, const void* buffer, uint32_t size, uint32_t type);

  HKEY rootKey_ = HKEY_CURRENT_USER;
  HKEY currentKey_ = 0;
  REGSAM access_ = KEY_ALL_ACCESS;
  std::string currentPath_;
};

// ---- TRegIniFile -----------------------------------------------------------------------------------

// Settings kept under a registry key: a section is a sub-key of the open key (the empty section is
// the key itself), an identifier is a value name, and integers and booleans are written as decimal
// text ("1"/"0" for booleans). The constructor opens the key fileName under HKEY_CURRENT_USER without
// writing anything: a missing key reads as empty and is made by the first change under it, and a hive
// that may not be written is opened for reading.
class TRegIniFile : public TRegistry, public TCustomIniFile {
 public:
  explicit TRegIniFile(const std::string& fileName, REGSAM access = KEY_ALL_ACCESS);

  using TCustomIniFile::FileName;
  using TCustomIniFile::ReadSection;
  using TCustomIniFile::ReadSections;
  using TCustomIniFile::ReadSectionValues;
  using TRegistry::DeleteKey;
  using TRegistry::ReadBool;
  using TRegistry::ReadInteger;
  using TRegistry::ReadString;
  using TRegistry::ValueExists;
  using TRegistry::WriteBool;
  using TRegistry::WriteInteger;
  using TRegistry::WriteString;

  std::string ReadString(const std::string& section, const std::string& ident,
                         const std::string& defaultValue) override;
  void WriteString(const std::string& section, const std::string& ident, const std::string& value) override;
  int ReadInteger(const std::string& section, const std::string& ident, int defaultValue) override;
  void WriteInteger(const std::string& section, const std::string& ident, int value) override;
  bool ReadBool(const std::string& section, const std::string& ident, bool defaultValue) override;
  void WriteBool(const std::string& section, const std::string& ident, bool value) override;
  void ReadSection(const std::string& section, std::vector<std::string>& idents) override;
  void ReadSections(std::vector<std::string>& sections) override;
  void ReadSectionValues(const std::string& section, std::vector<std::string>& values) override;
  void EraseSection(const std::string& section) override;
  void DeleteKey(const std::string& section, const std::string& ident) override;
  bool SectionExists(const std::string& section) override;
  bool ValueExists(const std::string& section, const std::string& ident) override;

 private:
  class TSectionScope;
  // Opens the key fileName under the root when no key is open, making it when create; false when it is
  // missing and not to be made.
  bool OpenBaseKey(bool create);
};
