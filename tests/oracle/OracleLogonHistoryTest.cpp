// The logon history: adding entries, the stored form, and the registry and INI stores with what a
// damaged, stale or foreign store holds.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "oracle/OracleLogon.h"
#include "platform/rtl/Process.h"
#include "platform/rtl/Registry.h"
#include "platform/rtl/RegistryStore.h"
#include "platform/rtl/ScopeExit.h"
#include "rtl/FileSaves.h"
#include "rtl/TempDir.h"
#include "tests/TemporaryFiles.h"

namespace {

namespace fs = std::filesystem;

// Entries as "user|password|database|role", in order.
std::vector<std::string> Entries(const THistoryItems& h) {
  std::vector<std::string> out;
  for (int i = 0; i < h.Count(); ++i) {
    const THistoryItem* item = h.GetItem(i);
    out.push_back(item->Username() + "|" + item->Password() + "|" + item->Database() + "|" +
                  item->ConnectAs());
  }
  return out;
}

// A settings folder of its own for each test.
class HistoryStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    oldConfig_ = GetEnvironmentVariable("XDG_CONFIG_HOME");
    setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    talvik::registry::ResetHives();
    SetHistoryScrambleSeed(1234);
    history_.SetWithPassword(true);
  }
  void TearDown() override {
    SetHistoryScrambleSeed(std::nullopt);
    setenv("XDG_CONFIG_HOME", oldConfig_.c_str(), 1);
    talvik::registry::ResetHives();
  }
  std::string ConfigDir() const { return (dir_ / "talvik").string(); }
  static std::string ReadValue(const std::string& name, const std::string& key = kKey) {
    TRegistry r;
    if (!r.OpenKeyReadOnly(key) || !r.ValueExists(name)) return "<none>";
    return r.ReadString(name);
  }
  static void WriteValue(const std::string& name, const std::string& value) {
    TRegistry r;
    ASSERT_TRUE(r.OpenKey(kKey, true));
    r.WriteString(name, value);
  }
  static unsigned ModeOf(const std::string& file) {
    struct stat st {};
    return stat(file.c_str(), &st) == 0 ? st.st_mode & 0777 : 0;
  }
  static constexpr char kKey[] = "Software\\Talvik Test\\Logon";

  TempDir folder_;
  fs::path dir_{folder_.Path()};
  std::string oldConfig_;
  THistoryItems history_;
};

// The settings and instance folders of the history and logon dialog tests live in their process's own
// folder: nothing else is made in the temporary directory, and nothing stays.
TEST(LogonTestFolders, AreInTheProcessFolder) {
  ExpectOnlyTheProcessFolderMade(
      "HistoryStoreTest.TheStoredTextUnderAFixedSeedIsExact:"
      "LogonDialogTest.TheClassLibraryInterfaceShowsConfirmationsCursorsAndErrors");
}

}  // namespace

// ---- Adding entries ---------------------------------------------------------------------------------

TEST(HistoryAdd, SameLogonStaysOnceAndMovesToTheTop) {
  THistoryItems h;
  h.SetWithPassword(true);
  AddHistory(&h, "scott", "tiger", true, "", "SIM");
  AddHistory(&h, "system", "manager", true, "", "SIM");
  AddHistory(&h, "SCOTT", "tiger2", true, "", "sim");  // the same user and database in other case
  EXPECT_EQ(Entries(h), (std::vector<std::string>{"SCOTT|tiger2|sim|", "system|manager|SIM|"}));
  // Another role or database is another entry.
  AddHistory(&h, "system", "manager", true, "SYSDBA", "SIM");
  AddHistory(&h, "system", "manager", true, "", "OTHER");
  EXPECT_EQ(h.Count(), 4);
  EXPECT_EQ(h.GetItem(0)->DisplayText(), "system@OTHER");
  EXPECT_EQ(h.GetItem(1)->DisplayText(), "system@SIM as SYSDBA");
  // Not moved to the top: appended.
  AddHistory(&h, "scott", "", false, "", "SIM");
  EXPECT_EQ(h.GetItem(h.Count() - 1)->DisplayText(), "scott@SIM");
  // Nothing without a user name.
  AddHistory(&h, "", "pw", true, "", "SIM");
  EXPECT_EQ(h.Count(), 4);
}

TEST(HistoryAdd, ASeventhLogonRemovesTheEntryAtPositionFive) {
  THistoryItems h;
  for (int i = 1; i <= 6; ++i) AddHistory(&h, "u" + std::to_string(i), "", true, "", "");
  EXPECT_EQ(h.GetItem(5)->Username(), "u1");
  AddHistory(&h, "u7", "", true, "", "");
  ASSERT_EQ(h.Count(), 6);
  EXPECT_EQ(h.GetItem(0)->Username(), "u7");
  EXPECT_EQ(h.GetItem(5)->Username(), "u2");  // u1 went before u7 came
  // Without a limit nothing goes.
  h.SetMaxCount(0);
  for (int i = 8; i <= 20; ++i) AddHistory(&h, "u" + std::to_string(i), "", true, "", "");
  EXPECT_EQ(h.Count(), 19);
}

TEST(HistoryAdd, AWholeLogonTextIsTakenApartAndPasswordsAreKeptOnlyWhenAsked) {
  THistoryItems h;
  AddHistory(&h, "scott/tiger@SIM as sysdba", "", true, "", "");
  EXPECT_EQ(Entries(h), std::vector<std::string>{"scott||SIM|SYSDBA"});
  h.SetWithPassword(true);
  AddHistory(&h, "scott/tiger@SIM", "", true, "", "");
  EXPECT_EQ(Entries(h).front(), "scott|tiger|SIM|");
  // Quoted parts keep their separators.
  AddHistory(&h, "\"we/ird@us as er\"", "\"p/w@d as x\"", true, "SYSOPER", "SIM");
  EXPECT_EQ(Entries(h).front(), "\"we/ird@us as er\"|\"p/w@d as x\"|SIM|SYSOPER");
}

// ---- The stored form --------------------------------------------------------------------------------

TEST(HistoryScramble, KnownTextsAndARoundTripOfEveryByte) {
  EXPECT_EQ(ScrambleHistoryText("ab", 2345), "234548754869");
  EXPECT_EQ(UnscrambleHistoryText("234548754869").value_or("<bad>"), "ab");
  std::string all;
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  for (int k : {2000, 2500, 2999}) {
    std::string stored = ScrambleHistoryText(all, k);
    EXPECT_EQ(stored.size(), 4u * 256u);
    EXPECT_EQ(UnscrambleHistoryText(stored).value_or("<bad>"), all);
  }
  std::string longest(HistoryEntryMaxBytes, '\xff');
  EXPECT_EQ(UnscrambleHistoryText(ScrambleHistoryText(longest, 2999)).value_or(""), longest);
}

struct BadStored {
  const char* name;
  const char* text;
};

class HistoryUnscramble : public ::testing::TestWithParam<BadStored> {};

TEST_P(HistoryUnscramble, RefusesWhatIsNotAStoredEntry) {
  EXPECT_FALSE(UnscrambleHistoryText(GetParam().text).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, HistoryUnscramble,
    ::testing::Values(BadStored{"Empty", ""}, BadStored{"NotFourDigits", "2345487"},
                      BadStored{"NonDigit", "23454875486x"}, BadStored{"Blank", "2345 875"},
                      BadStored{"KeyTooSmall", "19994875"}, BadStored{"KeyTooLarge", "30004875"},
                      // (1*10+2345) xor 0 = 2355: the byte 0
                      BadStored{"ZeroByte", "23453355"}, BadStored{"GroupBelowOffset", "23450999"},
                      BadStored{"ByteAbove255", "23459999"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- The stores -------------------------------------------------------------------------------------

enum class TStore { Registry, Ini };

class HistoryRoundTrip : public HistoryStoreTest, public ::testing::WithParamInterface<TStore> {
 protected:
  bool Save() {
    return GetParam() == TStore::Registry ? SaveHistoryReg(&history_, kKey)
                                          : SaveHistoryIni(&history_, "history.ini");
  }
  void Load(THistoryItems* into) {
    if (GetParam() == TStore::Registry)
      LoadHistoryReg(into, std::string("\\") + kKey);  // a leading backslash is dropped
    else
      LoadHistoryIni(into, "history.ini");
  }
};

TEST_P(HistoryRoundTrip, NamesAndPasswordsWithSeparatorsComeBackUnchanged) {
  AddHistory(&history_, "scott", "tiger", true, "", "SIM");
  AddHistory(&history_, "\"we/ird@us as er\"", "\"p/w@d as x\"", true, "", "SIM");
  AddHistory(&history_, "system", "\"it's \"\"quoted\"\"\"", true, "SYSDBA", "SIM");
  AddHistory(&history_, "пользователь", "пароль", true, "", "");
  ASSERT_TRUE(Save());
  THistoryItems loaded;
  loaded.SetWithPassword(true);
  Load(&loaded);
  EXPECT_EQ(Entries(loaded), Entries(history_));
  // Without passwords kept, loading drops them, so the next save removes them from the store.
  THistoryItems bare;
  Load(&bare);
  EXPECT_EQ(bare.GetItem(0)->Password(), "");
  EXPECT_EQ(bare.GetItem(0)->Username(), "пользователь");
}

TEST_P(HistoryRoundTrip, AnOverlongEntryIsNotWrittenAndTheOthersStayInOrder) {
  AddHistory(&history_, "first", "", false, "", "SIM");
  AddHistory(&history_, "long", std::string(491, 'p'), false, "", "SIM");  // 500 bytes: kept
  AddHistory(&history_, "huge", std::string(492, 'p'), false, "", "SIM");  // 501 bytes: not kept
  AddHistory(&history_, "last", "", false, "", "SIM");
  ASSERT_TRUE(Save());
  THistoryItems loaded;
  loaded.SetWithPassword(true);
  Load(&loaded);
  ASSERT_EQ(loaded.Count(), 3);
  EXPECT_EQ(loaded.GetItem(1)->Password().size(), 491u);  // stored far beyond 256 characters
  EXPECT_EQ(loaded.GetItem(2)->Username(), "last");
}

TEST_P(HistoryRoundTrip, OnlyEntriesBelowTheMaximumAreRead) {
  history_.SetMaxCount(0);
  for (int i = 0; i < 9; ++i) AddHistory(&history_, "u" + std::to_string(i), "", false, "", "");
  ASSERT_TRUE(Save());
  THistoryItems loaded;
  loaded.SetMaxCount(4);
  Load(&loaded);
  EXPECT_EQ(loaded.Count(), 4);
  EXPECT_EQ(loaded.GetItem(3)->Username(), "u3");
}

TEST_P(HistoryRoundTrip, TheFilesAreReadableByTheirOwnerOnly) {
  AddHistory(&history_, "scott", "tiger", true, "", "SIM");
  ASSERT_TRUE(Save());
  std::string file = ConfigDir() + (GetParam() == TStore::Registry ? "/HKCU.reg" : "/history.ini");
  ASSERT_TRUE(fs::exists(file));  // a bare INI name is a file of the settings folder
  EXPECT_EQ(ModeOf(file), 0600u);
  EXPECT_FALSE(fs::exists(fs::current_path() / "history.ini"));
  // A file others could read (copied from a backup, written by hand) is the owner's only once the
  // history is written into it.
  for (unsigned mode : {0644u, 0666u, 0400u}) {
    chmod(file.c_str(), mode);
    ASSERT_TRUE(Save());
    EXPECT_EQ(ModeOf(file), 0600u) << std::oct << mode;
  }
}

INSTANTIATE_TEST_SUITE_P(Stores, HistoryRoundTrip, ::testing::Values(TStore::Registry, TStore::Ini),
                         [](const auto& info) {
                           return info.param == TStore::Registry ? "Registry" : "Ini";
                         });

TEST_F(HistoryStoreTest, TheStoredTextUnderAFixedSeedIsExact) {
  AddHistory(&history_, "scott", "", true, "", "SIM");
  ASSERT_TRUE(SaveHistoryReg(&history_, kKey));
  // K = 2722 is the first draw after seeding with 1234; the password part is empty.
  EXPECT_EQ(ReadValue("Logon0"), "27224484420641204466447630944816503446925054");
  EXPECT_EQ(UnscrambleHistoryText(ReadValue("Logon0")).value_or(""), "scott/@SIM");
  ASSERT_TRUE(SaveHistoryIni(&history_, "h.ini"));
  std::ifstream in(ConfigDir() + "/h.ini");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "[Logon]\n0=27224484420641204466447630944816503446925054\n");
}

TEST_F(HistoryStoreTest, ForeignCorruptAndOverlongValuesArePassedOverUntilTheFirstMissingIndex) {
  WriteValue("Logon0", ScrambleHistoryText("scott/tiger@SIM", 2100));
  {
    TRegistry r;
    ASSERT_TRUE(r.OpenKey(kKey, true));
    r.WriteInteger("Logon1", 42);  // not a string
  }
  WriteValue("Logon2", "2100abcd");                                                        // not digits
  WriteValue("Logon3", "21003110");                                                        // the byte 0
  WriteValue("Logon4", ScrambleHistoryText("u/" + std::string(300, 'x') + "@SIM", 2500));  // long
  WriteValue("Logon5", ScrambleHistoryText("system/manager@SIM as sysdba", 2999));
  WriteValue("Logon7", ScrambleHistoryText("after/gap@SIM", 2000));  // after a gap: not read
  history_.SetMaxCount(0);
  LoadHistoryReg(&history_, kKey);
  EXPECT_EQ(Entries(history_),
            (std::vector<std::string>{"scott|tiger|SIM|", "u|" + std::string(300, 'x') + "|SIM|",
                                      "system|manager|SIM|SYSDBA"}));

  // The same in an INI file: reading stops at the first empty key.
  fs::create_directories(ConfigDir());
  std::ofstream(ConfigDir() + "/corrupt.ini") << "[Logon]\n0=" << ScrambleHistoryText("a/@SIM", 2100)
                                              << "\n1=garbage\n2=" << ScrambleHistoryText("b/@SIM", 2200)
                                              << "\n3=\n4=" << ScrambleHistoryText("c/@SIM", 2300) << "\n";
  THistoryItems fromIni;
  LoadHistoryIni(&fromIni, "corrupt.ini");
  EXPECT_EQ(Entries(fromIni), (std::vector<std::string>{"a||SIM|", "b||SIM|"}));
}

TEST_F(HistoryStoreTest, SavingRemovesStaleEntriesBeyondAGap) {
  WriteValue("Logon0", ScrambleHistoryText("old/secret@SIM", 2100));
  WriteValue("Logon2", ScrambleHistoryText("stale/secret@SIM", 2100));
  WriteValue("Logon10", ScrambleHistoryText("staler/secret@SIM", 2100));
  WriteValue("Other", "kept");
  AddHistory(&history_, "scott", "tiger", true, "", "SIM");
  ASSERT_TRUE(SaveHistoryReg(&history_, kKey));
  EXPECT_NE(ReadValue("Logon0"), "<none>");
  EXPECT_EQ(ReadValue("Logon2"), "<none>");
  EXPECT_EQ(ReadValue("Logon10"), "<none>");
  EXPECT_EQ(ReadValue("Other"), "kept");
}

// The whole history, the removal of what was stored before with it, reaches the settings file in one
// save; a save that fails answers false and leaves the file's history as it was, while the store
// keeps the new one for its next save.
TEST_F(HistoryStoreTest, TheHistoryReachesTheFileInOneSave) {
  for (int i = 0; i < 4; ++i) WriteValue("Logon" + std::to_string(i), ScrambleHistoryText("old/x@SIM", 2100));
  for (const char* user : {"scott", "hr", "oe", "sh", "pm", "ix"})
    AddHistory(&history_, user, "pw", true, "", "SIM");
  const std::string file = ConfigDir() + "/HKCU.reg";
  {
    TFileSaveCounter saves(file);
    ASSERT_TRUE(SaveHistoryReg(&history_, kKey));
    EXPECT_EQ(saves.Count(), 1);
  }
  talvik::registry::ResetHives();  // read back from the file
  THistoryItems stored;
  stored.SetWithPassword(true);
  LoadHistoryReg(&stored, kKey);
  EXPECT_EQ(Entries(stored), Entries(history_));

  AddHistory(&history_, "system", "manager", true, "", "SIM");
  SetAtomicSaveHook([](const std::string&) { throw ESaveFileError("x", "No space left on device"); });
  const TScopeExit unhook([] { SetAtomicSaveHook(nullptr); });
  EXPECT_FALSE(SaveHistoryReg(&history_, kKey));
  THistoryItems kept;
  kept.SetWithPassword(true);
  LoadHistoryReg(&kept, kKey);
  EXPECT_EQ(Entries(kept), Entries(history_));
  talvik::registry::ResetHives();  // read back from the file
  THistoryItems onDisk;
  onDisk.SetWithPassword(true);
  LoadHistoryReg(&onDisk, kKey);
  EXPECT_EQ(Entries(onDisk), Entries(stored));
}

TEST_F(HistoryStoreTest, AStoreThatCannotBeReadOrWrittenGivesAnEmptyHistoryAndFalse) {
  // A damaged hive is set aside by the registry layer: nothing is read, the next save works.
  fs::create_directories(ConfigDir());
  std::ofstream(ConfigDir() + "/HKCU.reg")
      << "REGEDIT4\n\n[HKEY_CURRENT_USER\\x]\n\"Logon0\"=\"unterminated\n";
  LoadHistoryReg(&history_, kKey);
  EXPECT_EQ(history_.Count(), 0);
  AddHistory(&history_, "scott", "tiger", true, "", "SIM");
  EXPECT_TRUE(SaveHistoryReg(&history_, kKey));
  EXPECT_TRUE(fs::exists(ConfigDir() + "/HKCU.reg.bad"));

  // A hive that cannot be read at all (a folder in its place) is never written over.
  talvik::registry::ResetHives();
  fs::remove(ConfigDir() + "/HKCU.reg");
  fs::create_directories(ConfigDir() + "/HKCU.reg");
  THistoryItems other;
  LoadHistoryReg(&other, kKey);
  EXPECT_EQ(other.Count(), 0);
  EXPECT_FALSE(SaveHistoryReg(&history_, kKey));

  // INI files: a folder where the file should be, and a file where its folder should be.
  fs::create_directories(ConfigDir() + "/folder.ini");
  LoadHistoryIni(&other, "folder.ini");
  EXPECT_EQ(other.Count(), 0);
  EXPECT_FALSE(SaveHistoryIni(&history_, "folder.ini"));
  std::ofstream((dir_ / "plain").string()) << "x";
  EXPECT_FALSE(SaveHistoryIni(&history_, (dir_ / "plain" / "h.ini").string()));
}
