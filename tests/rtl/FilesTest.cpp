#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "platform/rtl/Files.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"
#include "rtl/TempDir.h"

namespace {

TEST(FilesTest, FileNameParts) {
  struct Case {
    std::string name, path, dir, file, ext;
  };
  const Case cases[] = {
      {"/opt/oracle/bin/oci.dll", "/opt/oracle/bin/", "/opt/oracle/bin", "oci.dll", ".dll"},
      {"/oci.dll", "/", "/", "oci.dll", ".dll"},
      {"oci", "", "", "oci", ""},
      {"dir.d/file", "dir.d/", "dir.d", "file", ""},
      {"a/b.tar.gz", "a/", "a", "b.tar.gz", ".gz"},
      {"folder/", "folder/", "folder", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExtractFilePath(c.name), c.path) << c.name;
    EXPECT_EQ(ExtractFileDir(c.name), c.dir) << c.name;
    EXPECT_EQ(ExtractFileName(c.name), c.file) << c.name;
    EXPECT_EQ(ExtractFileExt(c.name), c.ext) << c.name;
  }
  EXPECT_EQ(ChangeFileExt("/a/b.txt", ".xls"), "/a/b.xls");
  EXPECT_EQ(ChangeFileExt("/a.d/b", ".xls"), "/a.d/b.xls");
  EXPECT_EQ(ChangeFileExt("b.txt", ""), "b");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/a"), "/a/");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/a/"), "/a/");
  EXPECT_EQ(IncludeTrailingPathDelimiter(""), "/");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/a/"), "/a");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/a"), "/a");
  EXPECT_EQ(NativePath("Network\\Admin\\tnsnames.ora"), "Network/Admin/tnsnames.ora");
  EXPECT_EQ(ExpandFileName("/a/./b/../c//d"), "/a/c/d");
  EXPECT_EQ(ExpandFileName("/../x"), "/x");
  EXPECT_EQ(ExpandFileName("/a/b/"), "/a/b/");
  EXPECT_EQ(ExpandFileName(""), "");
}

TEST(FilesTest, CreateRenameDelete) {
  TempDir dir;
  std::string deep = dir.File("one/two/three");
  EXPECT_FALSE(DirectoryExists(deep));
  EXPECT_TRUE(ForceDirectories(deep + "/"));
  EXPECT_TRUE(DirectoryExists(deep));
  EXPECT_TRUE(ForceDirectories(deep));  // already there
  EXPECT_FALSE(FileExists(deep));       // a folder is not a file

  dir.Write("one/file.txt", "x");
  EXPECT_TRUE(FileExists(dir.File("one/file.txt")));
  EXPECT_FALSE(DirectoryExists(dir.File("one/file.txt")));
  EXPECT_FALSE(ForceDirectories(dir.File("one/file.txt/sub")));
  EXPECT_TRUE(RenameFile(dir.File("one/file.txt"), dir.File("one/moved.txt")));
  EXPECT_FALSE(FileExists(dir.File("one/file.txt")));
  EXPECT_EQ(dir.Read("one/moved.txt"), "x");
  EXPECT_FALSE(DeleteFile(deep));  // not for folders
  EXPECT_TRUE(DeleteFile(dir.File("one/moved.txt")));
  EXPECT_FALSE(DeleteFile(dir.File("one/moved.txt")));
  EXPECT_FALSE(FileExists(""));
  EXPECT_GT(FileAge(dir.File("one")), 0);
  EXPECT_EQ(FileAge(dir.File("none")), -1);
}

std::vector<std::string> Find(const std::string& pattern, int attr) {
  std::vector<std::string> names;
  TSearchRec rec;
  for (int rc = FindFirst(pattern, attr, rec); rc == 0; rc = FindNext(rec)) names.push_back(rec.Name);
  FindClose(rec);
  return names;
}

TEST(FilesTest, FindFirstMatchesWildcardsInNameOrder) {
  TempDir dir;
  for (const char* name : {"ora81.dll", "oci.dll", "ora73.dll", "ora805.dll", "Ora9.DLL", "oraclient.txt",
                           "ora.dll.bak", ".orahidden.dll"})
    dir.Write(name, "12345");
  ForceDirectories(dir.File("oradir.dll"));

  using V = std::vector<std::string>;
  EXPECT_EQ(Find(dir.File("ora*.dll"), faAnyFile & ~faDirectory & ~faHidden),
            (V{"ora73.dll", "ora805.dll", "ora81.dll"}));
  EXPECT_EQ(Find(dir.File("ora*.dll"), faAnyFile), (V{"ora73.dll", "ora805.dll", "ora81.dll", "oradir.dll"}));
  EXPECT_EQ(Find(dir.File("*.dll"), faHidden),
            (V{".orahidden.dll", "oci.dll", "ora73.dll", "ora805.dll", "ora81.dll"}));
  EXPECT_EQ(Find(dir.File("ora??.dll"), 0), (V{"ora73.dll", "ora81.dll"}));
  EXPECT_EQ(Find(dir.File("*.DLL"), 0), (V{"Ora9.DLL"}));  // case counts
  EXPECT_EQ(Find(dir.File("*.*"), 0).size(), 7u);

  TSearchRec rec;
  ASSERT_EQ(FindFirst(dir.File("oci.dll"), faAnyFile, rec), 0);
  EXPECT_EQ(rec.Name, "oci.dll");
  EXPECT_EQ(rec.Size, 5);
  EXPECT_EQ(rec.Attr & faDirectory, 0);
  EXPECT_GT(rec.Time, 0);
  EXPECT_EQ(FindNext(rec), ERROR_NO_MORE_FILES);
  FindClose(rec);
  EXPECT_EQ(FindFirst(dir.File("nothing*"), faAnyFile, rec), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(FindFirst(dir.File("missing/ora*.dll"), faAnyFile, rec), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(FindNext(rec), ERROR_NO_MORE_FILES);
}

TEST(FilesTest, MaskMatching) {
  EXPECT_TRUE(MatchesMask("ora805.dll", "ora*.dll"));
  EXPECT_TRUE(MatchesMask("ora.dll", "ora*.dll"));
  EXPECT_FALSE(MatchesMask("ora.dll.bak", "ora*.dll"));
  EXPECT_TRUE(MatchesMask("abcabcabd", "*abd"));
  EXPECT_TRUE(MatchesMask("a", "?"));
  EXPECT_FALSE(MatchesMask("", "?"));
  EXPECT_TRUE(MatchesMask("", "*"));
  EXPECT_TRUE(MatchesMask("noext", "*.*"));
  EXPECT_FALSE(MatchesMask("abc", "ab"));
}

TEST(FilesTest, AtomicSaveReplacesWholeFilesOnly) {
  TempDir dir;
  std::string file = dir.File("sub/settings.ini");
  SaveFileAtomically(file, "first\n");
  EXPECT_EQ(dir.Read("sub/settings.ini"), "first\n");
  chmod(file.c_str(), 0600);
  SaveFileAtomically(file, "second\n");
  EXPECT_EQ(dir.Read("sub/settings.ini"), "second\n");
  struct stat st {};
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);  // the permissions stay

  // A new file takes the mode asked for; an existing one keeps its own.
  std::string secret = dir.File("secret.ini");
  SaveFileAtomically(secret, "a", 0600);
  ASSERT_EQ(stat(secret.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  chmod(secret.c_str(), 0640);
  SaveFileAtomically(secret, "b", 0600);
  ASSERT_EQ(stat(secret.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);

  SetAtomicSaveHook([](const std::string&) { throw EOSError("crash"); });
  EXPECT_THROW(SaveFileAtomically(file, "third\n"), EOSError);
  SetAtomicSaveHook(nullptr);
  EXPECT_EQ(dir.Read("sub/settings.ini"), "second\n");
  EXPECT_EQ(ReadFileContent(file).value_or(""), "second\n");
  std::string error;
  EXPECT_FALSE(ReadFileContent(dir.File("none"), &error).has_value());
  EXPECT_FALSE(error.empty());

  dir.Write("blocker", "a file where a folder should be");
  EXPECT_THROW(SaveFileAtomically(dir.File("blocker/x.ini"), "x"), EFCreateError);
}

// A file is read whole only when it is a regular file within the size asked for: a pipe is never waited
// on, a folder or a device is not read, and a file larger than the limit is told apart from one that
// cannot be read.
TEST(Files, ReadFileContentTakesOnlyARegularFileWithinItsSize) {
  TempDir dir;
  std::string error;
  const std::string pipe = dir.File("pipe");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_FALSE(ReadFileContent(pipe, &error).has_value());  // (before: waited for a writer for ever)
  EXPECT_EQ(error, "it is not a regular file");
  EXPECT_FALSE(ReadFileContent("/dev/null", &error).has_value());
  EXPECT_EQ(error, "it is not a regular file");
  EXPECT_FALSE(ReadFileContent(dir.Path(), &error).has_value());
  EXPECT_EQ(error, "Is a directory");

  dir.Write("ten", "0123456789");
  bool tooLarge = true;
  EXPECT_EQ(ReadFileContent(dir.File("ten"), &error, 10, &tooLarge).value_or(""), "0123456789");
  EXPECT_FALSE(tooLarge);
  EXPECT_FALSE(ReadFileContent(dir.File("ten"), &error, 9, &tooLarge).has_value());
  EXPECT_TRUE(tooLarge);
  EXPECT_FALSE(ReadFileContent(dir.File("none"), &error, 9, &tooLarge).has_value());
  EXPECT_FALSE(tooLarge);
}

// The temporary file of a save is made anew: a link someone left at its name is never written
// through (what it points to stays as it was), and the save still goes through under another name.
TEST(FilesTest, AtomicSaveNeverWritesThroughALinkAtItsTemporaryName) {
  TempDir dir;
  const std::string file = dir.File("HKCU.reg");
  std::string first;
  SetAtomicSaveHook([&](const std::string& temp) { first = temp; });
  SaveFileAtomically(file, "one");
  SetAtomicSaveHook(nullptr);
  // the names the next saves would take: the same with the following numbers
  const auto underscore = first.rfind('_');
  ASSERT_NE(underscore, std::string::npos) << first;
  const unsigned long taken = std::stoul(first.substr(underscore + 1));
  dir.Write("victim", "untouched");
  for (unsigned long next = taken + 1; next <= taken + 3; ++next)
    ASSERT_EQ(
        symlink(dir.File("victim").c_str(), (first.substr(0, underscore + 1) + std::to_string(next)).c_str()),
        0);
  SaveFileAtomically(file, "two");
  EXPECT_EQ(dir.Read("victim"), "untouched");
  EXPECT_EQ(dir.Read("HKCU.reg"), "two");
  struct stat st {};
  ASSERT_EQ(lstat(file.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
}

// A file kept for its owner only is so whatever mode it had, from before it replaces the old one;
// other files keep theirs.
TEST(FilesTest, AFileKeptForItsOwnerOnlyIsSoBeforeItTakesTheOldOnesPlace) {
  TempDir dir;
  const std::string secret = dir.File("HKCU.reg");
  dir.Write("HKCU.reg", "old");
  chmod(secret.c_str(), 0644);
  unsigned beforeRename = 0;
  SetAtomicSaveHook([&](const std::string& temp) {
    struct stat st {};
    if (stat(temp.c_str(), &st) == 0) beforeRename = st.st_mode & 07777;
  });
  SaveFileAtomically(secret, "new", 0600, TFileModeRule::Always);
  SetAtomicSaveHook(nullptr);
  EXPECT_EQ(beforeRename, 0600u);
  struct stat st {};
  ASSERT_EQ(stat(secret.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(dir.Read("HKCU.reg"), "new");

  const std::string shared = dir.File("hklm.reg");
  dir.Write("hklm.reg", "old");
  chmod(shared.c_str(), 0664);
  SaveFileAtomically(shared, "new", 0600);
  ASSERT_EQ(stat(shared.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0664u);
}

TEST(FilesTest, FileStampChangesWithEverySave) {
  TempDir dir;
  std::string file = dir.File("f");
  EXPECT_FALSE(GetFileStamp(file).exists);
  SaveFileAtomically(file, "a");
  TFileStamp one = GetFileStamp(file);
  EXPECT_TRUE(one.exists);
  SaveFileAtomically(file, "a");
  EXPECT_NE(GetFileStamp(file), one);
}

// A saver that lets the file's save lock go and takes it anew at once, over and over, never keeps out
// one that waits for it: each time, the one waiting has it by the holder's next turn, well within
// its patience.
TEST(FilesTest, ASaveLockLetGoAndTakenAnewAtOnceGoesToTheOneWaiting) {
  TempDir dir;
  const std::string file = dir.File("settings.reg");
  constexpr std::chrono::milliseconds kHold{20}, kPatience{2000};
  std::atomic<bool> stop{false};
  std::promise<void> holding;
  std::string holderFailure;
  std::thread holder([&] {
    try {
      for (bool first = true; !stop; first = false) {
        const TSaveLock lock(file, std::chrono::seconds(60));
        if (first) holding.set_value();
        std::this_thread::sleep_for(kHold);
      }
    } catch (const ESaveFileError& e) {
      holderFailure = e.Reason();
    }
  });
  const auto stopHolder = [&] {
    stop = true;
    if (holder.joinable()) holder.join();
  };
  const TScopeExit atEnd(stopHolder);
  ASSERT_EQ(holding.get_future().wait_for(std::chrono::seconds(60)), std::future_status::ready);
  for (int wait = 1; wait <= 5; ++wait) {
    const auto start = std::chrono::steady_clock::now();
    try {
      const TSaveLock lock(file, kPatience);
    } catch (const ESaveFileError& e) {
      ADD_FAILURE() << "wait " << wait << ": " << e.Reason();
      break;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, kPatience) << "wait " << wait;
  }
  stopHolder();
  EXPECT_EQ(holderFailure, "");
}

}  // namespace
