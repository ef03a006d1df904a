// Files and folders: existence, creation, deletion, file-name parts, directory search and the
// atomic whole-file save that the settings stores use.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/rtl/SysUtils.h"

inline constexpr char PathDelim = '/';
inline constexpr char PathSep = ':';  // separates the folders of PATH

// The system error numbers that the file search and the registry report.
inline constexpr int ERROR_SUCCESS = 0;
inline constexpr int ERROR_FILE_NOT_FOUND = 2;
inline constexpr int ERROR_PATH_NOT_FOUND = 3;
inline constexpr int ERROR_ACCESS_DENIED = 5;
inline constexpr int ERROR_INVALID_HANDLE = 6;
inline constexpr int ERROR_NO_MORE_FILES = 18;
inline constexpr int ERROR_WRITE_FAULT = 29;
inline constexpr int ERROR_INVALID_PARAMETER = 87;
inline constexpr int ERROR_MORE_DATA = 234;
inline constexpr int ERROR_NO_MORE_ITEMS = 259;
inline constexpr int ERROR_BADDB = 1009;
inline constexpr int ERROR_KEY_DELETED = 1018;

// ---- Existence, creation, deletion -----------------------------------------------------------------

// A file that is not a folder (symbolic links are followed).
bool FileExists(const std::string& fileName);
bool DirectoryExists(const std::string& dir);
// Creates the folder and every missing parent; true when it exists afterwards.
bool ForceDirectories(const std::string& dir);
bool CreateDir(const std::string& dir);
bool RemoveDir(const std::string& dir);
bool DeleteFile(const std::string& fileName);
// Replaces an existing target, as rename(2) does.
bool RenameFile(const std::string& oldName, const std::string& newName);

// ---- File-name parts (the delimiter is '/') --------------------------------------------------------

// Folder with its trailing delimiter ("/a/b/" of "/a/b/c.txt"); empty without a folder.
std::string ExtractFilePath(const std::string& fileName);
// Folder without the trailing delimiter ("/a/b"; "/" for a file in the root).
std::string ExtractFileDir(const std::string& fileName);
std::string ExtractFileName(const std::string& fileName);
// The extension with its dot (".txt"); empty when the name has none.
std::string ExtractFileExt(const std::string& fileName);
// Replaces the extension (extension given with its dot; empty removes it).
std::string ChangeFileExt(const std::string& fileName, const std::string& extension);
std::string IncludeTrailingPathDelimiter(const std::string& path);
std::string ExcludeTrailingPathDelimiter(const std::string& path);
// An absolute name with "." and ".." resolved against the current directory (no link lookup).
std::string ExpandFileName(const std::string& fileName);
// Maps a Windows-style path kept as data ("Network\Admin") to this system's form ("Network/Admin").
std::string NativePath(const std::string& path);

// ---- Directory search ------------------------------------------------------------------------------

inline constexpr int faReadOnly = 0x01;
inline constexpr int faHidden = 0x02;  // a name starting with '.'
inline constexpr int faSysFile = 0x04;
inline constexpr int faVolumeID = 0x08;
inline constexpr int faDirectory = 0x10;
inline constexpr int faArchive = 0x20;  // every plain file
inline constexpr int faSymLink = 0x40;
inline constexpr int faAnyFile = 0x3F;

struct TSearchRec {
  std::string Name;  // file name without folder
  int64_t Size = 0;
  int Attr = 0;
  int64_t Time = 0;  // last modification, seconds since 1970-01-01 UTC
  struct TState;
  std::shared_ptr<TState> FindHandle;
};

// Lists the entries of one folder whose names match the pattern's last part ('*' any run, '?' one
// character; case-sensitive). Entries come sorted by name. Plain files always qualify; hidden
// entries and folders only when attr asks for them. "." and ".." are never listed.
// Returns 0 and fills f with the first entry, or an error code.
int FindFirst(const std::string& path, int attr, TSearchRec& f);
int FindNext(TSearchRec& f);
void FindClose(TSearchRec& f);

// Wildcard match of a whole name ('*' and '?'; "*.*" matches every name).
bool MatchesMask(const std::string& name, const std::string& mask);

// ---- Whole files -----------------------------------------------------------------------------------

// Identity of a file's current content as the file system reports it (changes with every save).
struct TFileStamp {
  bool exists = false;
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t size = 0;
  int64_t mtimeNs = 0;
  bool operator==(const TFileStamp&) const = default;
};
TFileStamp GetFileStamp(const std::string& fileName);

// Last modification (seconds since 1970-01-01 UTC), or -1 when the file does not exist.
int64_t FileAge(const std::string& fileName);

// The whole content of a regular file, read without ever waiting on it; std::nullopt when it cannot be
// read (errorText then tells why): a directory, a pipe or a device (or a link to one) is not read, and
// neither is a file of more than maxSize bytes (tooLarge then tells so).
std::optional<std::string> ReadFileContent(const std::string& fileName, std::string* errorText = nullptr,
                                           size_t maxSize = SIZE_MAX, bool* tooLarge = nullptr);

// Which permissions a saved file gets.
enum class TFileModeRule {
  KeepExisting,  // a file that exists keeps its own; a new one gets the mode given
  Always,        // the mode given, whatever the file had (files holding secrets: 0600)
};

// Saves the content so that a crash at any point leaves either the old or the new file: writes a
// temporary file in the same folder (made anew, never through a link found at its name), flushes it
// to disk, sets its permissions, then renames it over the target. Creates the folder when missing.
// The permissions follow rule with fileMode (0600 for files only their owner may read). Raises
// ESaveFileError on failure.
void SaveFileAtomically(const std::string& fileName, const std::string& content, unsigned fileMode = 0644,
                        TFileModeRule rule = TFileModeRule::KeepExisting);
// The failure of a save: the file and the system's reason.
class ESaveFileError : public EFCreateError {
 public:
  ESaveFileError(const std::string& fileName, const std::string& reason)
      : EFCreateError("Cannot save file \"" + fileName + "\": " + reason),
        fileName_(fileName),
        reason_(reason) {}
  const char* ClassName() const noexcept override { return "ESaveFileError"; }
  const std::string& FileName() const { return fileName_; }
  const std::string& Reason() const { return reason_; }

 private:
  std::string fileName_;
  std::string reason_;
};
// Tests install a hook that runs after the temporary file is on disk and before the rename.
void SetAtomicSaveHook(std::function<void(const std::string& tempName)> hook);

// Removes the temporary files that saves of the file (SaveFileAtomically) left behind in processes that
// are gone, cut short between writing one and putting it in the file's place. Those of processes that
// live, and every other file, stay.
void RemoveAbandonedSaves(const std::string& fileName);

// Holds the saves of a file to one holder at a time, in every process: an advisory lock (flock) on a
// file of its own beside it, "<file>.lock", made when missing (with the folder). A saver holds it
// around reading the file anew, merging its changes and writing it, so that no other save comes in
// between and undoes them. Savers have it in turn: one that waits for it more than a moment queues
// (a second lock, on "<file>.queue"), and has it before any that comes later, its holder included.
class TSaveLock {
 public:
  // Takes the lock, waiting at most Patience for another holder to let it go. Raises ESaveFileError
  // naming the file when it cannot be had.
  TSaveLock(const std::string& fileName, std::chrono::milliseconds patience);
  ~TSaveLock();  // lets it go
  TSaveLock(const TSaveLock&) = delete;
  TSaveLock& operator=(const TSaveLock&) = delete;

 private:
  int fd_ = -1;
};
