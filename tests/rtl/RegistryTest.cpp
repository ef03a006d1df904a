#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <thread>

#include "platform/rtl/Files.h"
#include "platform/rtl/Process.h"
#include "platform/rtl/Registry.h"
#include "platform/rtl/RegistryStore.h"
#include "platform/rtl/ScopeExit.h"
#include "rtl/FileSaves.h"
#include "rtl/MessageOf.h"
#include "rtl/TempDir.h"
#include "tests/ChildProgram.h"

namespace {

// Every test gets its own HKEY_CURRENT_USER file and no HKEY_LOCAL_MACHINE file.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedConfig_ = GetEnvironmentVariable("XDG_CONFIG_HOME");
    savedHklm_ = GetEnvironmentVariable("TALVIK_HKLM");
    savedHome_ = GetEnvironmentVariable("ORACLE_HOME");
    SetEnvironmentVariable("XDG_CONFIG_HOME", dir_.Path());
    SetEnvironmentVariable("TALVIK_HKLM", "");
    SetEnvironmentVariable("ORACLE_HOME", "");
    talvik::registry::SetOratabFileName(dir_.File("oratab"));
    talvik::registry::ResetHives();
  }
  void TearDown() override {
    SetAtomicSaveHook(nullptr);
    SetEnvironmentVariable("XDG_CONFIG_HOME", savedConfig_);
    SetEnvironmentVariable("TALVIK_HKLM", savedHklm_);
    SetEnvironmentVariable("ORACLE_HOME", savedHome_);
    talvik::registry::SetOratabFileName("/etc/oratab");
    talvik::registry::ResetHives();
  }
  std::string HkcuFile() const { return dir_.File("talvik/HKCU.reg"); }
  std::string HkcuText() const { return dir_.Read("talvik/HKCU.reg"); }

  TempDir dir_;

 private:
  std::string savedConfig_, savedHklm_, savedHome_;
};

TEST_F(RegistryTest, RoundTripIgnoresCaseAndKeepsSpelling) {
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Talvik\\LastLogon", true));
    EXPECT_EQ(reg.CurrentPath(), "Software\\Talvik\\LastLogon");
    reg.WriteString("UserName", "scott");
    reg.WriteString("USERNAME", "system");  // the same value
    reg.WriteString("Имя", "ok");
  }
  talvik::registry::ResetHives();  // read back from the file
  TRegistry reg;
  EXPECT_FALSE(reg.OpenKey("software\\NOSUCH", false));
  ASSERT_TRUE(reg.OpenKey("SOFTWARE\\talvik\\lastlogon", false));
  EXPECT_EQ(reg.ReadString("username"), "system");
  EXPECT_EQ(reg.ReadString("иМЯ"), "ok");
  std::vector<std::string> names;
  reg.GetValueNames(names);
  EXPECT_EQ(names, (std::vector<std::string>{"UserName", "Имя"}));
  ASSERT_TRUE(reg.OpenKey("\\Software", false));
  reg.GetKeyNames(names);
  EXPECT_EQ(names, std::vector<std::string>{"Talvik"});
  EXPECT_EQ(HkcuText(),
            "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n\n[HKEY_CURRENT_USER\\Software\\Talvik]\n\n"
            "[HKEY_CURRENT_USER\\Software\\Talvik\\LastLogon]\n\"UserName\"=\"system\"\n\"Имя\"=\"ok\"\n\n");
}

TEST_F(RegistryTest, EveryValueTypeSurvivesTheFile) {
  const std::string text = "a \"quoted\" C:\\path, Привет";
  const std::string multiLine = "select *\r\nfrom v$session\n\twhere 1=1";
  const unsigned char blob[] = {0, 1, 0xFF, 0x7F, 0};
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Types", true));
    reg.WriteString("Text", text);
    reg.WriteString("Sql", multiLine);
    reg.WriteString("Empty", "");
    reg.WriteExpandString("Expand", "%HOME%/bin");
    reg.WriteInteger("Negative", -5);
    reg.WriteInteger("Big", 0x7FFFFFFF);
    reg.WriteBool("Flag", true);
    reg.WriteBinaryData("Blob", blob, sizeof blob);
  }
  for (int pass = 0; pass < 2; ++pass) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("types", false));
    EXPECT_EQ(reg.ReadString("Text"), text);
    EXPECT_EQ(reg.ReadString("Sql"), multiLine);
    EXPECT_EQ(reg.ReadString("Empty"), "");
    EXPECT_EQ(reg.ReadString("Expand"), "%HOME%/bin");
    EXPECT_EQ(reg.ReadInteger("Negative"), -5);
    EXPECT_EQ(reg.ReadInteger("Big"), 0x7FFFFFFF);
    EXPECT_TRUE(reg.ReadBool("Flag"));
    unsigned char buffer[16] = {};
    EXPECT_EQ(reg.ReadBinaryData("Blob", buffer, sizeof buffer), 5);
    EXPECT_EQ(std::memcmp(buffer, blob, sizeof blob), 0);
    EXPECT_EQ(reg.GetDataType("Text"), rdString);
    EXPECT_EQ(reg.GetDataType("Expand"), rdExpandString);
    EXPECT_EQ(reg.GetDataType("Flag"), rdInteger);
    EXPECT_EQ(reg.GetDataType("Blob"), rdBinary);
    EXPECT_EQ(reg.GetDataType("Missing"), rdUnknown);
    EXPECT_EQ(reg.GetDataSize("Empty"), 1);  // the terminating zero
    EXPECT_EQ(reg.GetDataSize("Negative"), 4);
    EXPECT_EQ(reg.GetDataSize("Missing"), -1);
    talvik::registry::ResetHives();
  }
  std::string file = HkcuText();
  EXPECT_NE(file.find("\"Text\"=\"a \\\"quoted\\\" C:\\\\path, Привет\"\n"), std::string::npos) << file;
  EXPECT_NE(file.find("\"Negative\"=dword:fffffffb\n"), std::string::npos);
  EXPECT_NE(file.find("\"Blob\"=hex:00,01,ff,7f,00\n"), std::string::npos);
  EXPECT_NE(file.find("\"Sql\"=hex(1):"), std::string::npos);  // line breaks cannot stand in quotes
}

TEST_F(RegistryTest, ReadErrorsUseTheLibraryTexts) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("Errors", true));
  reg.WriteString("Text", "12");
  reg.WriteInteger("Number", 12);
  EXPECT_EQ(reg.ReadString("Missing"), "");
  EXPECT_EQ(MessageOf([&] { reg.ReadInteger("Missing"); }), "Failed to get data for 'Missing'");
  EXPECT_EQ(MessageOf([&] { reg.ReadInteger("Text"); }), "Invalid data type for 'Text'");
  EXPECT_EQ(MessageOf([&] { reg.ReadString("Number"); }), "Invalid data type for 'Number'");
  char small[2];
  EXPECT_EQ(MessageOf([&] { reg.ReadBinaryData("Text", small, sizeof small); }),
            "Invalid data type for 'Text'");
  EXPECT_EQ(MessageOf([&] { reg.WriteString("Bad\nName", "x"); }), "Failed to set data for 'Bad\nName'");
  reg.CloseKey();
  EXPECT_EQ(MessageOf([&] { reg.WriteString("NoKey", "x"); }), "Failed to set data for 'NoKey'");
}

TEST_F(RegistryTest, EnumerationAndDeletion) {
  TRegistry reg;
  ASSERT_TRUE(reg.CreateKey("Root\\beta\\Deep\\Deeper"));
  ASSERT_TRUE(reg.CreateKey("Root\\Alpha"));
  ASSERT_TRUE(reg.CreateKey("Root\\gamma"));
  ASSERT_TRUE(reg.OpenKey("Root", false));
  reg.WriteString("z", "1");
  reg.WriteString("a", "2");
  std::vector<std::string> names;
  reg.GetKeyNames(names);
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "gamma"}));
  reg.GetValueNames(names);
  EXPECT_EQ(names, (std::vector<std::string>{"z", "a"}));  // in the order written
  EXPECT_TRUE(reg.HasSubKeys());

  EXPECT_TRUE(reg.DeleteValue("Z"));
  EXPECT_FALSE(reg.DeleteValue("Z"));
  EXPECT_FALSE(reg.ValueExists("z"));

  HKEY raw = 0;
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Root", 0, KEY_ALL_ACCESS, &raw), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKey(raw, "Beta"), ERROR_ACCESS_DENIED);  // it has sub-keys
  std::string name;
  EXPECT_EQ(RegEnumKeyEx(raw, 1, &name), ERROR_SUCCESS);
  EXPECT_EQ(name, "beta");
  EXPECT_EQ(RegEnumKeyEx(raw, 3, &name), ERROR_NO_MORE_ITEMS);

  EXPECT_TRUE(reg.DeleteKey("BETA"));  // with everything below it
  EXPECT_FALSE(reg.KeyExists("beta\\Deep"));
  EXPECT_FALSE(reg.DeleteKey("beta"));
  reg.GetKeyNames(names);
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "gamma"}));

  // A handle on a key deleted by someone else reports it.
  ASSERT_TRUE(reg.DeleteKey("\\Root"));
  EXPECT_EQ(RegSetValueEx(raw, "v", REG_SZ, "x", 2), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(raw), ERROR_SUCCESS);
  EXPECT_EQ(HkcuText(), "REGEDIT4\n\n");
}

TEST_F(RegistryTest, PathsFromTheRootAndFromTheOpenKey) {
  TRegistry reg;
  ASSERT_TRUE(reg.CreateKey("Software\\Talvik\\Toolbars"));
  ASSERT_TRUE(reg.OpenKey("Software", false));
  ASSERT_TRUE(reg.OpenKey("Talvik", false));
  EXPECT_EQ(reg.CurrentPath(), "Software\\Talvik");
  EXPECT_TRUE(reg.KeyExists("Toolbars"));
  EXPECT_FALSE(reg.KeyExists("Software"));
  EXPECT_TRUE(reg.KeyExists("\\Software"));
  ASSERT_TRUE(reg.OpenKey("\\Software", false));
  EXPECT_EQ(reg.CurrentPath(), "Software");
  ASSERT_TRUE(reg.OpenKeyReadOnly("Talvik"));
  EXPECT_EQ(reg.Access(), KEY_READ);
  EXPECT_EQ(MessageOf([&] { reg.WriteString("x", "y"); }), "Failed to set data for 'x'");
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_EQ(reg.CurrentKey(), 0u);
  EXPECT_EQ(reg.CurrentPath(), "");
}

TEST_F(RegistryTest, QueryBuffersFollowTheSystemRules) {
  HKEY key = 0;
  uint32_t disposition = 0;
  ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Buffers", KEY_ALL_ACCESS, &key, &disposition), ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  ASSERT_EQ(RegSetValueEx(key, "", REG_SZ, "default\0ignored", 16), ERROR_SUCCESS);
  uint32_t type = 0, size = 0;
  ASSERT_EQ(RegQueryValueEx(key, "", &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 8u);
  char buffer[8];
  size = 4;
  EXPECT_EQ(RegQueryValueEx(key, "", &type, buffer, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 8u);
  size = sizeof buffer;
  ASSERT_EQ(RegQueryValueEx(key, "", &type, buffer, &size), ERROR_SUCCESS);
  EXPECT_STREQ(buffer, "default");
  EXPECT_EQ(RegQueryValueEx(key, "nothing", &type, buffer, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_NE(HkcuText().find("[HKEY_CURRENT_USER\\Buffers]\n@=\"default\"\n"), std::string::npos);

  HKEY readOnly = 0;
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Buffers", 0, KEY_READ, &readOnly), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueEx(readOnly, "x", REG_SZ, "y", 2), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValue(readOnly, ""), ERROR_ACCESS_DENIED);
  RegCloseKey(readOnly);
}

TEST_F(RegistryTest, StoresShareOneHiveAndSeeChangesToTheFile) {
  TRegistry first, second;
  ASSERT_TRUE(first.OpenKey("Shared", true));
  ASSERT_TRUE(second.OpenKey("shared", false));
  first.WriteInteger("Count", 1);
  EXPECT_EQ(second.ReadInteger("count"), 1);

  // Another process replaces the file.
  dir_.Write("talvik/HKCU.reg",
             "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Shared]\r\n\"Count\"=dword:00000002\r\n");
  EXPECT_EQ(first.ReadInteger("Count"), 2);
  second.WriteString("Other", "x");
  EXPECT_EQ(first.ReadInteger("Count"), 2);
  EXPECT_EQ(first.ReadString("Other"), "x");
}

TEST_F(RegistryTest, CrashBeforeTheRenameKeepsTheOldFile) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("Software\\Talvik", true));
  reg.WriteString("Sound", "1");
  const std::string before = HkcuText();

  std::string tempName;
  SetAtomicSaveHook([&](const std::string& temp) {
    tempName = temp;
    throw EOSError("simulated crash");
  });
  EXPECT_EQ(MessageOf([&] { reg.WriteString("Sound", "0"); }), "Failed to set data for 'Sound'");
  SetAtomicSaveHook(nullptr);

  EXPECT_EQ(HkcuText(), before);
  EXPECT_EQ(tempName.rfind(dir_.File("talvik/.HKCU.reg.tmp"), 0), 0u) << tempName;
  EXPECT_EQ(reg.ReadString("Sound"), "0");  // the change that did not reach the file is kept
  talvik::registry::ResetHives();
  TRegistry fresh;
  ASSERT_TRUE(fresh.OpenKey("Software\\Talvik", false));
  EXPECT_EQ(fresh.ReadString("Sound"), "1");
}

TEST_F(RegistryTest, DamagedFileIsSetAsideAndReported) {
  const std::string garbage = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n\"Broken\"=dword:xyz\n";
  dir_.Write("talvik/HKCU.reg", garbage);
  TRegistry reg;
  std::string message = MessageOf([&] { reg.OpenKey("Software", false); });
  EXPECT_NE(message.find("HKCU.reg\" is damaged (line 4: bad dword value)"), std::string::npos) << message;
  EXPECT_NE(message.find("renamed to \"" + HkcuFile() + ".bad\""), std::string::npos) << message;
  EXPECT_EQ(dir_.Read("talvik/HKCU.reg.bad"), garbage);
  EXPECT_FALSE(FileExists(HkcuFile()));

  // The store goes on empty and writes a new file; the damaged one stays aside.
  EXPECT_FALSE(reg.OpenKey("Software", false));
  ASSERT_TRUE(reg.OpenKey("Software", true));
  reg.WriteString("Fresh", "yes");
  EXPECT_NE(HkcuText().find("\"Fresh\"=\"yes\""), std::string::npos);
  EXPECT_EQ(dir_.Read("talvik/HKCU.reg.bad"), garbage);
}

// Each damaged file is kept under a name of its own, and the store says which file and where it
// went; a call after the report works on the now empty hive.
TEST_F(RegistryTest, EachDamagedFileIsSetAsideUnderANameOfItsOwn) {
  const std::string first = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n\"Cut\"=\"in the midd";
  const std::string second = std::string("\x89PNG\r\n\x1a\n\0\xff random bytes", 22);
  const std::string third = "not even a header\n";
  for (const std::string& damaged : {first, second, third}) {
    dir_.Write("talvik/HKCU.reg", damaged);
    talvik::registry::ResetHives();
    TRegIniFile* opened = nullptr;
    try {
      opened = new TRegIniFile("Software\\Talvik");
      ADD_FAILURE() << "the damaged file was not reported";
    } catch (const ERegistryDamaged& e) {
      EXPECT_EQ(e.Problem().FileName, HkcuFile());
      EXPECT_FALSE(e.Problem().Reason.empty());
      EXPECT_EQ(dir_.Read(e.Problem().SetAsideName.substr(dir_.Path().size() + 1)), damaged);
      EXPECT_NE(e.Message().find(e.Problem().SetAsideName), std::string::npos) << e.Message();
    }
    delete opened;
    TRegIniFile again("Software\\Talvik");
    EXPECT_EQ(again.ReadString("", "Sound", "default"), "default");
  }
  EXPECT_EQ(dir_.Read("talvik/HKCU.reg.bad"), first);
  EXPECT_EQ(dir_.Read("talvik/HKCU.reg.bad2"), second);
  EXPECT_EQ(dir_.Read("talvik/HKCU.reg.bad3"), third);
}

// A change that cannot reach the file raises with the file and the system's reason; the message is
// the class library's.
TEST_F(RegistryTest, AChangeThatCannotBeWrittenNamesTheFileAndTheReason) {
  TRegIniFile ini("Software\\Talvik");
  ini.WriteString("", "Sound", "1");
  // every save fails as on a full disk
  SetAtomicSaveHook([](const std::string&) { throw ESaveFileError("x", "No space left on device"); });
  try {
    ini.WriteString("", "Sound", "0");
    ADD_FAILURE() << "no exception";
  } catch (const ERegistryWriteError& e) {
    EXPECT_EQ(e.Message(), "Failed to set data for 'Sound'");
    EXPECT_EQ(e.Problem().FileName, HkcuFile());
    EXPECT_EQ(e.Problem().Reason, "No space left on device");
  }
  try {
    ini.WriteString("LastLogon", "UserName", "SYSTEM");  // a key that must be made first
    ADD_FAILURE() << "no exception";
  } catch (const ERegistryWriteError& e) {
    EXPECT_EQ(e.Message(), "Failed to create key LastLogon");
    EXPECT_EQ(e.Problem().FileName, HkcuFile());
  }
  SetAtomicSaveHook(nullptr);
  EXPECT_EQ(ini.ReadString("", "Sound", ""), "0");
}

TEST_F(RegistryTest, ParserAcceptsTheFormatAndNamesItsFaults) {
  using talvik::registry::ParseHiveText;
  const std::string text =
      "\xEF\xBB\xBFREGEDIT4\r\n"
      "; a comment\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ORACLE]\r\n"
      "\"ORACLE_HOME\"=\"/abs/path/oracle_home\"\r\n"
      "@=\"default\"\r\n"
      "\"Path\"=hex(2):25,48,4f,4d,45,25,00\r\n"
      "\"Long\"=hex:01,02,\\\r\n"
      "  03,04\r\n"
      "\"Small\"=dword:a\r\n"
      "[HKLM\\SOFTWARE\\ORACLE\\HOME0]\r\n";
  auto root = ParseHiveText(text, "HKEY_LOCAL_MACHINE");
  auto* oracle = root->SubKey("software")->SubKey("oracle");
  ASSERT_NE(oracle, nullptr);
  EXPECT_EQ(oracle->Value("oracle_home")->data, "/abs/path/oracle_home");
  EXPECT_EQ(oracle->Value("")->data, "default");
  EXPECT_EQ(oracle->Value("Path")->type, REG_EXPAND_SZ);
  EXPECT_EQ(oracle->Value("Path")->data, "%HOME%");
  EXPECT_EQ(oracle->Value("Long")->data, std::string("\x01\x02\x03\x04"));
  EXPECT_EQ(oracle->Value("Small")->data, std::string("\x0a\0\0\0", 4));
  EXPECT_NE(oracle->SubKey("HOME0"), nullptr);

  struct Case {
    const char* text;
    const char* message;
  };
  const Case faults[] = {
      {"", "line 1: the file is empty (no REGEDIT4 header)"},
      {"[HKEY_LOCAL_MACHINE\\A]\n", "line 1: the first line is not REGEDIT4"},
      {"REGEDIT4\n\"a\"=\"b\"\n", "line 2: a value stands before the first key"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n",
       "line 2: the key \"HKEY_CURRENT_USER\\A\" is not under HKEY_LOCAL_MACHINE"},
      {"REGEDIT4\n[HKLM\\A\n", "line 2: a key line does not end with ']'"},
      {"REGEDIT4\n[HKLM\\A\\\\B]\n", "line 2: the key \"HKLM\\A\\\\B\" has an empty part"},
      {"REGEDIT4\n[HKLM\\A]\n\"a\"=\"b\n", "line 3: a quoted text has no closing quote"},
      {"REGEDIT4\n[HKLM\\A]\n\"a\"=dword:123456789\n", "line 3: bad dword value"},
      {"REGEDIT4\n[HKLM\\A]\n\"a\"=hex:1,2\n", "line 3: bad hexadecimal byte list"},
      {"REGEDIT4\n[HKLM\\A]\n\"a\"=hex:01,\\\n", "line 3: the file ends inside a continued value"},
      {"REGEDIT4\n[HKLM\\A]\n\"a\" \"b\"\n", "line 3: expected '=' after the value name"},
      {"REGEDIT4\n[HKLM\\A]\n\"a\"=-\n", "line 3: unknown kind of value"},
      {"REGEDIT4\n[-HKLM\\A]\n", "line 2: key deletion lines are not supported"},
  };
  for (const auto& fault : faults) {
    EXPECT_EQ(MessageOf([&] { ParseHiveText(fault.text, "HKEY_LOCAL_MACHINE"); }), fault.message)
        << fault.text;
  }
}

// A long binary value wrapped over lines, as registry exports wrap them (24 bytes a line), reads in
// a time that grows with its length as the same value on one line does: each read is timed at its
// best of a few, so that a busy machine slows both alike.
TEST_F(RegistryTest, AValueContinuedOverLinesReadsAsFastAsOnOneLine) {
  using talvik::registry::ParseHiveText;
  constexpr size_t kBytes = 256 * 1024;
  constexpr size_t kBytesALine = 24;
  std::string value, oneLine, wrapped;
  for (size_t i = 0; i < kBytes; ++i) {
    value += static_cast<char>(i * 7 % 256);
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned>(i * 7 % 256));
    const std::string separator = i == 0 ? "" : i % kBytesALine ? "," : ",\\\n  ";
    oneLine += (i == 0 ? "" : ",") + std::string(hex);
    wrapped += separator + hex;
  }
  const std::string head = "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Talvik]\n\"Blob\"=hex:";
  const auto bestRead = [&](const std::string& text) {
    auto best = std::chrono::steady_clock::duration::max();
    for (int i = 0; i < 3; ++i) {
      const auto start = std::chrono::steady_clock::now();
      const auto root = ParseHiveText(text, "HKEY_CURRENT_USER");
      best = std::min(best, std::chrono::steady_clock::now() - start);
      EXPECT_EQ(root->SubKey("Software")->SubKey("Talvik")->Value("Blob")->data, value);
    }
    return std::chrono::duration_cast<std::chrono::microseconds>(best);
  };
  const auto onOneLine = bestRead(head + oneLine + "\n");
  const auto overLines = bestRead(head + wrapped + "\n");
  // (the lines cost a little of their own; a time that grew with the square of the length would be
  // hundreds of times the one line's)
  EXPECT_LE(overLines, 4 * onOneLine + std::chrono::milliseconds(20))
      << "on one line " << onOneLine.count() << " us, over " << kBytes / kBytesALine << " lines "
      << overLines.count() << " us";
}

TEST_F(RegistryTest, LocalMachineComesFromTheNamedFile) {
  dir_.Write("hklm.reg",
             "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\ORACLE]\n\"ORACLE_HOME\"=\"/abs/path/oracle_home\"\n"
             "\"ORACLE_HOME_NAME\"=\"SimHome\"\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\ORACLE\\ALL_HOMES]\n"
             "\"HOME_COUNTER\"=\"1\"\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\ORACLE\\HOME0]\n"
             "\"ORACLE_HOME\"=\"/abs/path/oracle_home\"\n\"ORACLE_HOME_NAME\"=\"SimHome\"\n");
  SetEnvironmentVariable("TALVIK_HKLM", dir_.File("hklm.reg"));
  TRegistry reg(KEY_READ);
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKey("SOFTWARE\\ORACLE\\ALL_HOMES", false));
  EXPECT_EQ(reg.ReadString("HOME_COUNTER"), "1");
  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\ORACLE\\HOME0", false));
  EXPECT_EQ(reg.ReadString("ORACLE_HOME_NAME"), "SimHome");
  EXPECT_EQ(reg.ReadString("ORACLE_HOME"), "/abs/path/oracle_home");
  EXPECT_FALSE(FileExists(HkcuFile()));  // the user's hive is another file
}

TEST_F(RegistryTest, ReadsTheSimulatedHomesFile) {
  // The build writes this file for the simulated Oracle home.
  std::string file = GetEnvironmentVariable("TALVIK_BINARY_DIR") + "/oracle_home/hklm.reg";
  if (!FileExists(file)) GTEST_SKIP() << "no simulated Oracle home in this build";
  SetEnvironmentVariable("TALVIK_HKLM", file);
  TRegistry reg(KEY_READ);
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKey("SOFTWARE\\ORACLE\\HOME0", false));
  EXPECT_EQ(reg.ReadString("ORACLE_HOME"), ExtractFileDir(file));
  EXPECT_EQ(reg.ReadString("ORACLE_HOME_NAME"), "SimHome");
}

TEST_F(RegistryTest, LocalMachineWithoutAFileShowsTheOracleHomes) {
  TRegistry reg(KEY_READ);
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(reg.KeyExists("SOFTWARE\\ORACLE"));

  SetEnvironmentVariable("ORACLE_HOME", "/opt/oracle/client_1/");
  dir_.Write("oratab",
             "# comment\n"
             "ORCL:/opt/oracle/client_1:N\n"
             "TEST:/u01/app/dbhome_1:Y\n"
             "DEV:/u02/client_1:N\n"
             "garbage line\n");
  ASSERT_TRUE(reg.OpenKey("SOFTWARE\\ORACLE", false));
  EXPECT_EQ(reg.ReadString("ORACLE_HOME"), "/opt/oracle/client_1");
  EXPECT_EQ(reg.ReadString("ORACLE_HOME_NAME"), "client_1");
  ASSERT_TRUE(reg.OpenKey("ALL_HOMES", false));
  EXPECT_EQ(reg.ReadString("HOME_COUNTER"), "3");
  const char* expected[][2] = {{"/opt/oracle/client_1", "client_1"},
                               {"/u01/app/dbhome_1", "dbhome_1"},
                               {"/u02/client_1", "client_1_2"}};
  for (int n = 0; n < 3; ++n) {
    ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\ORACLE\\HOME" + std::to_string(n), false));
    EXPECT_EQ(reg.ReadString("ORACLE_HOME"), expected[n][0]);
    EXPECT_EQ(reg.ReadString("ORACLE_HOME_NAME"), expected[n][1]);
  }
  // It is a view, not a store.
  EXPECT_EQ(MessageOf([&] { reg.CreateKey("\\SOFTWARE\\New"); }), "Failed to create key \\SOFTWARE\\New");
  TRegistry writer;
  writer.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(writer.OpenKey("SOFTWARE\\ORACLE", false));
}

TEST_F(RegistryTest, RegIniFileKeepsNumbersAsText) {
  TRegIniFile ini("Software\\Talvik");
  EXPECT_EQ(ini.FileName(), "Software\\Talvik");
  ini.WriteBool("", "TrayIcon", true);
  ini.WriteInteger("", "IntervalAutoRefresh", 7);
  ini.WriteString("LastLogon", "UserName", "SCOTT");
  ini.WriteInteger("MainForm", "Left", -20);
  ini.WriteString("CustomInfo\\ORCL", "SQL", "select 1 from dual");
  ini.WriteString("MainForm", "Width", "wide");

  EXPECT_EQ(ini.GetDataType("TrayIcon"), rdString);
  EXPECT_EQ(ini.ReadString("TrayIcon"), "1");
  EXPECT_TRUE(ini.ReadBool("", "TrayIcon", false));
  EXPECT_EQ(ini.ReadInteger("", "IntervalAutoRefresh", 5), 7);
  EXPECT_EQ(ini.ReadString("LastLogon", "Username", ""), "SCOTT");  // names ignore case
  EXPECT_EQ(ini.ReadInteger("MainForm", "Left", 0), -20);
  EXPECT_EQ(ini.ReadInteger("MainForm", "Width", 800), 800);   // not a number
  EXPECT_EQ(ini.ReadInteger("MainForm", "Height", 600), 600);  // missing
  EXPECT_EQ(ini.ReadInteger("NoSection", "Height", 600), 600);
  EXPECT_TRUE(ini.ReadBool("NoSection", "Alarm", true));
  EXPECT_EQ(ini.ReadString("CustomInfo\\orcl", "SQL", ""), "select 1 from dual");
  EXPECT_EQ(ini.CurrentPath(), "Software\\Talvik");  // reading a section leaves the key open

  ini.WriteString("Flags", "Seven", "7");
  ini.WriteString("Flags", "Zero", "0");
  ini.WriteString("Flags", "Word", "yes");
  EXPECT_TRUE(ini.ReadBool("Flags", "Seven", false));
  EXPECT_FALSE(ini.ReadBool("Flags", "Zero", true));
  EXPECT_TRUE(ini.ReadBool("Flags", "Word", true));
  EXPECT_FALSE(ini.ReadBool("Flags", "Word", false));
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Talvik\\Flags", false));
    reg.WriteInteger("Dword", 3);  // written by another program as a number
  }
  EXPECT_EQ(ini.ReadInteger("Flags", "Dword", 0), 3);

  std::vector<std::string> list;
  ini.ReadSections(list);
  EXPECT_EQ(list, (std::vector<std::string>{"CustomInfo", "Flags", "LastLogon", "MainForm"}));
  ini.ReadSection("MainForm", list);
  EXPECT_EQ(list, (std::vector<std::string>{"Left", "Width"}));
  ini.ReadSectionValues("Flags", list);
  EXPECT_EQ(list, (std::vector<std::string>{"Seven=7", "Zero=0", "Word=yes", "Dword=3"}));
  EXPECT_TRUE(ini.SectionExists("customInfo"));
  EXPECT_TRUE(ini.ValueExists("MainForm", "left"));
  EXPECT_FALSE(ini.ValueExists("MainForm", "Top"));

  TStringList strings;
  strings.Add("stale");
  ini.ReadSections(&strings);
  EXPECT_EQ(strings.Text(), "CustomInfo\r\nFlags\r\nLastLogon\r\nMainForm\r\n");
  ini.ReadSectionValues("MainForm", &strings);
  EXPECT_EQ(strings.Values("Width"), "wide");
  ini.ReadSection("LastLogon", &strings);
  EXPECT_EQ(strings.Text(), "UserName\r\n");
  ini.GetValueNames(&strings);
  EXPECT_EQ(strings.Count(), 2);
  ini.GetKeyNames(&strings);
  EXPECT_EQ(strings.Count(), 4);

  ini.DeleteKey("MainForm", "Left");
  EXPECT_FALSE(ini.ValueExists("MainForm", "Left"));
  ini.EraseSection("CustomInfo");
  EXPECT_FALSE(ini.SectionExists("CustomInfo"));
  EXPECT_FALSE(ini.SectionExists("CustomInfo\\ORCL"));
  ini.EraseSection("NeverThere");
}

// Opening a store and reading it never writes: a missing key reads as empty and is made by the first
// change under it.
TEST_F(RegistryTest, OpeningAStoreAndReadingItWritesNothing) {
  int saves = 0;
  SetAtomicSaveHook([&saves](const std::string&) { ++saves; });
  {
    TRegIniFile ini("Software\\Talvik\\Toolbars");
    EXPECT_EQ(ini.ReadInteger("ToolBarView", "Rev", 0), 0);
    EXPECT_EQ(ini.ReadString("", "DockedTo", "none"), "none");
    std::vector<std::string> sections;
    ini.ReadSections(sections);
    EXPECT_TRUE(sections.empty());
    EXPECT_FALSE(ini.SectionExists("ToolBarView"));
    ini.EraseSection("ToolBarView");
    ini.DeleteKey("ToolBarView", "Rev");
  }
  EXPECT_EQ(saves, 0);
  EXPECT_FALSE(FileExists(HkcuFile()));

  TRegIniFile ini("Software\\Talvik\\Toolbars");
  ini.WriteInteger("ToolBarView", "Rev", 2000);
  EXPECT_GT(saves, 0);
  talvik::registry::ResetHives();
  TRegIniFile again("Software\\Talvik\\Toolbars");
  EXPECT_EQ(again.ReadInteger("ToolBarView", "Rev", 0), 2000);
  EXPECT_TRUE(again.SectionExists("ToolBarView"));
}

// A file that is no regular file is never waited on and never replaced: a pipe or a device at the
// file's name is unreadable, the hive reads as empty and writes nothing.
TEST_F(RegistryTest, AFileThatIsNoRegularFileIsUnreadableAndLeftAlone) {
  struct Case {
    const char* name;
    std::function<void(const std::string&)> make;
  };
  const Case cases[] = {
      {"a pipe", [](const std::string& file) { ASSERT_EQ(mkfifo(file.c_str(), 0600), 0); }},
      {"a link to a device",
       [](const std::string& file) { ASSERT_EQ(symlink("/dev/null", file.c_str()), 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    talvik::registry::ResetHives();
    std::filesystem::create_directories(dir_.File("talvik"));
    c.make(HkcuFile());
    const TScopeExit remove([this] { std::filesystem::remove(HkcuFile()); });
    // a read that waits on the pipe is let go by a writer, so that the test ends
    auto opened = std::async(std::launch::async, [] {
      try {
        TRegIniFile ini("Software\\Talvik");
        return std::string("no problem reported");
      } catch (const ERegistryDamaged& e) {
        return e.Problem().Reason + (e.Problem().SetAsideName.empty() ? "" : ", set aside");
      }
    });
    if (opened.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
      ADD_FAILURE() << "the store waits on the file";
      close(open(HkcuFile().c_str(), O_WRONLY | O_NONBLOCK));
    }
    EXPECT_EQ(opened.get(), "it is not a regular file");
    struct stat st {};
    EXPECT_EQ(lstat(HkcuFile().c_str(), &st), 0) << "the file was moved";
    TRegIniFile ini("Software\\Talvik");
    EXPECT_EQ(ini.ReadString("", "Sound", "default"), "default");
    EXPECT_THROW(ini.WriteString("", "Sound", "1"), ERegistryException);
    EXPECT_FALSE(std::filesystem::is_regular_file(HkcuFile()));
  }
}

// A file larger than any settings file could be is taken for damaged without being read.
TEST_F(RegistryTest, AFileLargerThan64MiBIsSetAsideAsDamaged) {
  dir_.Write("talvik/HKCU.reg", "REGEDIT4\n\n");
  std::filesystem::resize_file(HkcuFile(), (64u << 20) + 1);
  try {
    TRegIniFile ini("Software\\Talvik");
    ADD_FAILURE() << "the file was read";
  } catch (const ERegistryDamaged& e) {
    EXPECT_EQ(e.Problem().Reason, "the file is larger than 64 MiB");
    EXPECT_EQ(e.Problem().SetAsideName, HkcuFile() + ".bad");
  }
  TRegIniFile ini("Software\\Talvik");
  ini.WriteString("", "Sound", "1");
  EXPECT_EQ(std::filesystem::file_size(HkcuFile() + ".bad"), (64u << 20) + 1);
}

// A file damaged after the hive read it goes aside as at the start, but the hive keeps the settings it
// held and the next change writes them to a new file; the store tells once where the file went.
TEST_F(RegistryTest, AFileDamagedAfterItWasReadGoesAsideAndTheHeldSettingsAreWrittenAgain) {
  TRegIniFile ini("Software\\Talvik");
  ini.WriteString("", "TrayIcon", "1");
  dir_.Write("talvik/HKCU.reg", "garbage written while the program runs");
  TRegFileProblem problem;
  EXPECT_FALSE(RegTakeReplacedFile(HKEY_CURRENT_USER, problem));
  ini.WriteString("LastLogon", "UserName", "SYSTEM");
  ASSERT_TRUE(RegTakeReplacedFile(HKEY_CURRENT_USER, problem));
  EXPECT_EQ(problem.FileName, HkcuFile());
  EXPECT_EQ(problem.SetAsideName, HkcuFile() + ".bad");
  EXPECT_EQ(problem.Reason, "line 1: the first line is not REGEDIT4");
  EXPECT_FALSE(RegTakeReplacedFile(HKEY_CURRENT_USER, problem));  // once
  EXPECT_EQ(dir_.Read("talvik/HKCU.reg.bad"), "garbage written while the program runs");
  talvik::registry::ResetHives();
  TRegIniFile again("Software\\Talvik");
  EXPECT_EQ(again.ReadString("", "TrayIcon", ""), "1");
  EXPECT_EQ(again.ReadString("LastLogon", "UserName", ""), "SYSTEM");
}

TEST_F(RegistryTest, RegIniFileOnAnotherRootKey) {
  TRegIniFile ini("");
  ini.SetRootKey(HKEY_CURRENT_USER);
  ASSERT_TRUE(ini.OpenKey("Software\\Talvik\\Toolbars", true));
  ini.WriteInteger("ToolBarView", "DockRow", 1);
  ini.WriteString("ToolBarView", "DockedTo", "TBDockTop");
  EXPECT_EQ(ini.ReadInteger("ToolBarView", "DockRow", 0), 1);
  ini.CloseKey();
  TRegIniFile again("Software\\Talvik\\Toolbars\\ToolBarView");
  EXPECT_EQ(again.ReadString("", "DockedTo", ""), "TBDockTop");
}

// Writes held back: the values one step writes together reach the file in one save when the
// outermost update ends; every store of the hive sees them meanwhile; a write outside any update is
// on disk at once.
TEST_F(RegistryTest, AnUpdateWritesWhatItHeldBackInOneSaveWhenTheOutermostEnds) {
  TRegIniFile ini("Software\\Talvik");
  ini.WriteString("MainForm", "Left", "5");
  ini.WriteString("Gone", "Value", "x");
  const std::string before = HkcuText();
  TFileSaveCounter saves(HkcuFile());
  {
    TRegistryUpdate outer;
    ini.WriteInteger("MainForm", "Left", 40);
    {
      TRegistryUpdate inner;
      TRegIniFile toolbars("Software\\Talvik\\Toolbars");  // a key made, in memory only
      toolbars.WriteInteger("ToolBarView", "DockRow", 2);
      ini.EraseSection("Gone");
      ini.DeleteKey("MainForm", "Top");
      inner.End();
    }
    EXPECT_EQ(saves.Count(), 0) << "a nested update wrote the file";
    EXPECT_EQ(HkcuText(), before);
    TRegistry other;  // another store of the hive sees what waits
    ASSERT_TRUE(other.OpenKey("Software\\Talvik\\Toolbars\\ToolBarView", false));
    EXPECT_EQ(other.ReadString("DockRow"), "2");
    EXPECT_FALSE(other.KeyExists("\\Software\\Talvik\\Gone"));
    outer.End();
    EXPECT_EQ(saves.Take(), 1);
  }
  EXPECT_EQ(saves.Take(), 0) << "an ended update wrote again";
  ini.WriteInteger("MainForm", "Top", 30);
  EXPECT_EQ(saves.Take(), 1) << "a write outside any update waits";
  talvik::registry::ResetHives();  // read back from the file
  TRegIniFile again("Software\\Talvik");
  EXPECT_EQ(again.ReadString("MainForm", "Left", ""), "40");
  EXPECT_EQ(again.ReadString("MainForm", "Top", ""), "30");
  EXPECT_EQ(again.ReadString("Toolbars\\ToolBarView", "DockRow", ""), "2");
  EXPECT_FALSE(again.SectionExists("Gone"));
  {
    TRegistryUpdate nothing;  // an update that changed nothing writes nothing
    EXPECT_EQ(again.ReadString("MainForm", "Left", ""), "40");
  }
  EXPECT_EQ(saves.Take(), 0);
}

// An update left by an exception still writes what it held back: nothing written before the fault
// is lost, as when each value went to the file at once.
TEST_F(RegistryTest, AnUpdateLeftByAnExceptionStillWritesWhatItHeldBack) {
  TFileSaveCounter saves(HkcuFile());
  EXPECT_EQ(MessageOf([] {
              TRegistryUpdate update;
              TRegIniFile ini("Software\\Talvik");
              ini.WriteString("MainForm", "Left", "40");
              throw EInvalidOperation("a fault half way");
            }),
            "a fault half way");
  EXPECT_EQ(saves.Count(), 1);
  talvik::registry::ResetHives();
  EXPECT_EQ(TRegIniFile("Software\\Talvik").ReadString("MainForm", "Left", ""), "40");
}

// The file changed by someone else while an update holds changes back: it is read anew as ever, the
// held-back changes are made again on it, and the one save keeps both.
TEST_F(RegistryTest, AFileChangedMeanwhileIsReadAnewAndKeepsTheHeldBackChanges) {
  TRegIniFile ini("Software\\Talvik");
  ini.WriteString("", "Sound", "0");
  TRegistryUpdate update;
  ini.WriteString("", "Sound", "1");
  ini.WriteString("LastLogon", "UserName", "SYSTEM");
  SaveFileAtomically(HkcuFile(),
                     "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Talvik]\n\"Sound\"=\"0\"\n\"Other\"=\"x\"\n");
  EXPECT_EQ(ini.ReadString("", "Other", ""), "x");
  EXPECT_EQ(ini.ReadString("", "Sound", ""), "1");
  EXPECT_EQ(ini.ReadString("LastLogon", "UserName", ""), "SYSTEM");
  ini.WriteString("MainForm", "Left", "40");
  SaveFileAtomically(
      HkcuFile(),
      "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Talvik]\n\"Other\"=\"y\"\n");  // after the last write
  update.End();
  talvik::registry::ResetHives();
  TRegIniFile again("Software\\Talvik");
  EXPECT_EQ(again.ReadString("", "Other", ""), "y");
  EXPECT_EQ(again.ReadString("", "Sound", ""), "1");
  EXPECT_EQ(again.ReadString("LastLogon", "UserName", ""), "SYSTEM");
  EXPECT_EQ(again.ReadString("MainForm", "Left", ""), "40");
}

// The one save of an update fails as a single write does: ERegistryWriteError with the file and the
// reason, the file as it was, the held-back changes kept. Left without End(), it raises nothing and
// says why as a failed call does.
TEST_F(RegistryTest, AnUpdateThatCannotBeWrittenRaisesOnceAndKeepsItsChanges) {
  TRegIniFile ini("Software\\Talvik");
  ini.WriteString("", "Sound", "0");
  const std::string before = HkcuText();
  SetAtomicSaveHook([](const std::string&) { throw ESaveFileError("x", "No space left on device"); });
  {
    TRegistryUpdate update;
    ini.WriteString("", "Sound", "1");
    ini.WriteString("LastLogon", "UserName", "SYSTEM");
    try {
      update.End();
      ADD_FAILURE() << "no exception";
    } catch (const ERegistryWriteError& e) {
      EXPECT_EQ(e.Problem().FileName, HkcuFile());
      EXPECT_EQ(e.Problem().Reason, "No space left on device");
      EXPECT_NE(e.Message().find("No space left on device"), std::string::npos) << e.Message();
    }
  }  // ended: nothing more is written, nothing raised
  EXPECT_EQ(ini.ReadString("", "Sound", ""), "1");
  EXPECT_EQ(ini.ReadString("LastLogon", "UserName", ""), "SYSTEM");
  {
    TRegistryUpdate update;
    ini.WriteString("", "Alarm", "1");
  }
  EXPECT_NE(RegLastProblem().find("No space left on device"), std::string::npos) << RegLastProblem();
  SetAtomicSaveHook(nullptr);
  EXPECT_EQ(ini.ReadString("", "Alarm", ""), "1");
  EXPECT_EQ(HkcuText(), before);
}

// What the store could not write (a full disk, a folder that may not be written) stays in it: every
// reader sees it, a file another program wrote meanwhile is read anew with it made again on that, and
// the next save that succeeds writes it, the file staying whole meanwhile.
TEST_F(RegistryTest, ChangesThatCouldNotBeWrittenAreReadAndWrittenByTheNextSave) {
  TRegIniFile ini("Software\\Talvik");
  ini.WriteInteger("", "IntervalAutoRefresh", 5);
  const std::string before = HkcuText();
  SetAtomicSaveHook([](const std::string&) { throw ESaveFileError("x", "No space left on device"); });
  EXPECT_THROW(ini.WriteInteger("", "IntervalAutoRefresh", 12), ERegistryWriteError);
  {
    TRegistryUpdate update;  // the options confirmed: one save
    ini.WriteBool("", "TrayIcon", true);
    ini.WriteString("CustomInfo\\SIM", "SQL", "select 1 info from dual");
    EXPECT_THROW(update.End(), ERegistryWriteError);
  }
  EXPECT_EQ(HkcuText(), before);
  TRegIniFile reader("Software\\Talvik");
  EXPECT_EQ(reader.ReadInteger("", "IntervalAutoRefresh", 0), 12);
  EXPECT_TRUE(reader.ReadBool("", "TrayIcon", false));
  EXPECT_EQ(reader.ReadString("CustomInfo\\SIM", "SQL", ""), "select 1 info from dual");

  dir_.Write(
      "talvik/HKCU.reg",
      "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Talvik]\n\"IntervalAutoRefresh\"=\"7\"\n\"Other\"=\"x\"\n");
  EXPECT_EQ(reader.ReadString("", "Other", ""), "x");
  EXPECT_EQ(reader.ReadInteger("", "IntervalAutoRefresh", 0), 12);
  EXPECT_TRUE(reader.ReadBool("", "TrayIcon", false));

  SetAtomicSaveHook(nullptr);
  {
    TRegistryUpdate update;  // the close: one save
    ini.WriteString("LastLogon", "UserName", "SYSTEM");
    update.End();
  }
  talvik::registry::ResetHives();  // read back from the file
  TRegIniFile again("Software\\Talvik");
  EXPECT_EQ(again.ReadInteger("", "IntervalAutoRefresh", 0), 12);
  EXPECT_TRUE(again.ReadBool("", "TrayIcon", false));
  EXPECT_EQ(again.ReadString("CustomInfo\\SIM", "SQL", ""), "select 1 info from dual");
  EXPECT_EQ(again.ReadString("", "Other", ""), "x");
  EXPECT_EQ(again.ReadString("LastLogon", "UserName", ""), "SYSTEM");
}

// Two copies of the program on one settings folder, each a process of its own (registry_writer_program).
class RegistryWritersTest : public RegistryTest {
 protected:
  struct Writer : ChildProgram {
    explicit Writer(const std::string& Folder) : ChildProgram(TALVIK_REGISTRY_WRITER_PROGRAM, {Folder}) {
      EXPECT_EQ(ReadLine(), "ready");
    }
  };
  static std::vector<std::string> Values() {
    talvik::registry::ResetHives();  // read from the file
    std::vector<std::string> names;
    TRegIniFile("Software\\Talvik").ReadSection("Values", names);
    return names;
  }
};

// Both write values, one save each, at the same time: every value either wrote is in the file.
TEST_F(RegistryWritersTest, EveryValueTwoProcessesWriteAtOnceIsKept) {
  constexpr int kEach = 200;
  Writer first(dir_.Path()), second(dir_.Path());
  first.WriteLine("write " + std::to_string(kEach) + " first");
  second.WriteLine("write " + std::to_string(kEach) + " second");
  EXPECT_EQ(first.ReadLine(), "done");
  EXPECT_EQ(second.ReadLine(), "done");
  const std::vector<std::string> names = Values();
  std::string lost;
  for (const char* prefix : {"first", "second"})
    for (int n = 0; n < kEach; ++n)
      if (std::find(names.begin(), names.end(), prefix + std::to_string(n)) == names.end())
        lost += " " + (prefix + std::to_string(n));
  EXPECT_EQ(names.size(), 2u * kEach) << "lost:" << lost;
}

// One erases a key while the other's save of a value is under way (its temporary file written, not
// yet in the file's place): the key stays erased, and the value is kept.
TEST_F(RegistryWritersTest, AKeyOneProcessErasesDoesNotComeBackWithTheOthersSave) {
  TRegIniFile("Software\\Talvik").WriteString("Gone", "Value", "x");
  Writer saving(dir_.Path()), erasing(dir_.Path());
  saving.WriteLine("pause");
  ASSERT_EQ(saving.ReadLine(), "done");
  saving.WriteLine("write 1 kept");
  ASSERT_EQ(saving.ReadLine(), "paused");
  erasing.WriteLine("erase Gone");
  ASSERT_EQ(erasing.ReadLine(), "erasing");
  saving.WriteLine("go on");
  EXPECT_EQ(saving.ReadLine(), "done");
  EXPECT_EQ(erasing.ReadLine(), "done");
  EXPECT_EQ(Values(), std::vector<std::string>{"kept0"});
  EXPECT_FALSE(TRegIniFile("Software\\Talvik").SectionExists("Gone")) << HkcuText();
}

// A store opened while another program writes the settings anew, the key it names coming into the
// file at that moment, may be written all the same: it is read-only only where the file may not be
// written.
TEST_F(RegistryTest, AStoreOpenedAsAnotherProgramMakesItsKeyMayBeWritten) {
  const std::string without = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Other]\n\n";
  const std::string with = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Talvik]\n\n";
  SaveFileAtomically(HkcuFile(), without, 0600);
  std::atomic<bool> stop{false};
  std::thread other([&] {
    for (bool key = true; !stop; key = !key) SaveFileAtomically(HkcuFile(), key ? with : without, 0600);
  });
  const TScopeExit stopOther([&] {
    stop = true;
    other.join();
  });
  int missing = 0, opened = 0;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  while (std::chrono::steady_clock::now() < until) {
    const TRegIniFile ini("Software\\Talvik");
    if (!ini.CurrentKey()) {
      ++missing;
      continue;
    }
    ++opened;
    if (!(ini.Access() & KEY_SET_VALUE)) {
      ADD_FAILURE() << "opened read-only after " << missing << " times missing and " << opened - 1
                    << " times opened to be written";
      break;
    }
  }
  EXPECT_GT(missing, 0);
  EXPECT_GT(opened, 0);
}

// A save that cannot have the file's lock in time (another program holds it) fails as a save to a full
// disk does: the file and why, the change kept for the next save, which writes it once the lock is free.
TEST_F(RegistryTest, ASaveThatCannotHaveTheLockInTimeFailsAndKeepsTheChange) {
  TRegIniFile ini("Software\\Talvik");
  ini.WriteString("", "Sound", "0");
  const std::string before = HkcuText();
  talvik::registry::SetSaveLockPatience(std::chrono::milliseconds(100));
  const TScopeExit patience([] { talvik::registry::SetSaveLockPatience(std::chrono::milliseconds(5000)); });
  const int held = open((HkcuFile() + ".lock").c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(held, 0) << "no lock file beside the settings";
  const TScopeExit closeHeld([held] { close(held); });
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  try {
    ini.WriteString("", "Sound", "1");
    ADD_FAILURE() << "no exception";
  } catch (const ERegistryWriteError& e) {
    EXPECT_EQ(e.Problem().FileName, HkcuFile());
    EXPECT_NE(e.Problem().Reason.find(HkcuFile() + ".lock"), std::string::npos) << e.Problem().Reason;
  }
  TRegFileProblem unsaved;
  ASSERT_TRUE(RegUnsavedChanges(HKEY_CURRENT_USER, unsaved));
  EXPECT_EQ(unsaved.FileName, HkcuFile());
  EXPECT_NE(unsaved.Reason.find(" held "), std::string::npos) << unsaved.Reason;
  EXPECT_EQ(ini.ReadString("", "Sound", ""), "1");
  EXPECT_EQ(HkcuText(), before);
  flock(held, LOCK_UN);
  ini.WriteString("", "Alarm", "1");
  EXPECT_FALSE(RegUnsavedChanges(HKEY_CURRENT_USER, unsaved));
  talvik::registry::ResetHives();
  TRegIniFile again("Software\\Talvik");
  EXPECT_EQ(again.ReadString("", "Sound", ""), "1");
  EXPECT_EQ(again.ReadString("", "Alarm", ""), "1");
}

// A save that was cut short between writing its temporary file and putting it in the file's place
// (the program killed) left that file behind: the next save removes it once its process is gone, and
// leaves alone those of processes that live and every other file.
TEST_F(RegistryTest, ASaveRemovesTheTemporaryFilesOfProcessesThatAreGone) {
  pid_t gone = 0;
  {
    ChildProgram ended("/bin/true", {});
    gone = ended.Pid();
    ASSERT_EQ(ended.Wait(), 0);
  }
  const std::string lost = "talvik/.HKCU.reg.tmp" + std::to_string(gone) + "_3";
  const std::string living = "talvik/.HKCU.reg.tmp" + std::to_string(getppid()) + "_0";
  const std::vector<std::string> others = {"talvik/.HKU.reg.tmp" + std::to_string(gone) + "_0",
                                           "talvik/.HKCU.reg.tmp" + std::to_string(gone) + "_x",
                                           "talvik/.HKCU.reg.tmp" + std::to_string(gone),
                                           "talvik/HKCU.reg.tmp" + std::to_string(gone) + "_0"};
  for (const std::string& name : others) dir_.Write(name, "another file");
  dir_.Write(lost, "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Talvik\\LogonHistory]\n");
  dir_.Write(living, "REGEDIT4\n");
  TRegIniFile ini("Software\\Talvik");
  EXPECT_TRUE(FileExists(dir_.File(lost))) << "opening and reading removes nothing";
  ini.WriteString("LastLogon", "UserName", "SYSTEM");
  EXPECT_FALSE(FileExists(dir_.File(lost)));
  EXPECT_TRUE(FileExists(dir_.File(living)));
  for (const std::string& name : others) EXPECT_TRUE(FileExists(dir_.File(name))) << name;
  EXPECT_NE(HkcuText().find("\"UserName\"=\"SYSTEM\""), std::string::npos) << HkcuText();
}

// What the program writes in a session, through the calls it writes it with: the logon history,
// the session window's alarms and columns, the last logon, the toolbars, the main window's place,
// the options and a value of another program's.
void WriteASessionsSettings() {
  TRegIniFile ini("Software\\Talvik");
  ini.WriteString("LogonHistory", "Logon0", "2345123412861314");
  ini.WriteString("LogonHistory", "Logon1", "2999100010201040");
  ini.WriteBool("", "Sound", false);
  ini.WriteBool("", "Alarm", true);
  ini.WriteBool("", "AlarmActiveCountOn", true);
  ini.WriteInteger("", "AlarmActiveCount", 20);
  ini.WriteBool("", "AlarmActiveDurationOn", true);
  ini.WriteInteger("", "AlarmActiveDuration", 5);
  ini.WriteString("TSessionFormdbgSession", "dbgSession.OLD", "9,9,9,9,9,9,9");
  ini.EraseSection("TSessionFormdbgSession");
  const char* columns[] = {"SID", "SERIAL#", "USERNAME", "STATUS", "MACHINE", "PROGRAM", "CPU_USAGE"};
  for (int i = 0; i < 7; ++i)
    ini.WriteString(
        "TSessionFormdbgSession", std::string("dbgSession.") + columns[i],
        std::to_string(i) + "," + std::to_string(40 + 10 * i) + ",0," + (i == 4 ? "0" : "1") + ",0,7,0");
  ini.WriteString("LastLogon", "UserName", "SYSTEM");
  ini.WriteString("LastLogon", "DataBase", "SIM");
  {
    TRegIniFile toolbars("Software\\Talvik\\Toolbars");
    const char* bars[] = {"ToolBarMainMenu", "ToolBarConnect", "ToolBarView", "ToolBarSession"};
    for (int i = 0; i < 4; ++i) {
      toolbars.WriteInteger(bars[i], "Rev", 2000);
      toolbars.WriteInteger(bars[i], "Visible", 1);
      toolbars.WriteString(bars[i], "DockedTo", i == 3 ? "+" : "TBDockTop");
      toolbars.WriteString(bars[i], "LastDock", "TBDockTop");
      toolbars.WriteInteger(bars[i], "DockRow", i == 0 ? 0 : 1);
      toolbars.WriteInteger(bars[i], "DockPos", i == 0 ? 0 : 160 * (i - 1));
      toolbars.WriteInteger(bars[i], "FloatLeft", -12);
      toolbars.WriteInteger(bars[i], "FloatTop", 300);
      if (i > 0) toolbars.WriteInteger(bars[i], "FloatRightX", 0);
    }
  }
  ini.WriteInteger("MainForm", "WindowState", 0);
  ini.WriteInteger("MainForm", "Left", 40);
  ini.WriteInteger("MainForm", "Top", 30);
  ini.WriteInteger("MainForm", "Height", 650);
  ini.WriteInteger("MainForm", "Width", 900);
  ini.WriteBool("", "TrayIcon", true);
  ini.WriteInteger("", "IntervalAutoRefresh", 10);
  ini.WriteString("CustomInfo\\SIM", "SQL", "select \"Имя\", 'a\\b'\r\n  from v$session");
  TRegistry other;
  ASSERT_TRUE(other.OpenKey("Software\\Other", true));
  other.WriteInteger("Count", -2);
  const unsigned char blob[] = {0, 0x7F, 0xFF};
  other.WriteBinaryData("Blob", blob, sizeof blob);
  other.WriteExpandString("Path", "%HOME%/bin");
  other.DeleteValue("Count");
  other.WriteInteger("Count", 3);
}

// What the store wrote value by value before it could hold writes back: the file of the settings
// above. A file written in one save is the same, byte for byte.
constexpr const char* kSessionsSettingsFile = R"reg(REGEDIT4

[HKEY_CURRENT_USER\Software]

[HKEY_CURRENT_USER\Software\Other]
"Blob"=hex:00,7f,ff
"Path"=hex(2):25,48,4f,4d,45,25,2f,62,69,6e,00
"Count"=dword:00000003

[HKEY_CURRENT_USER\Software\Talvik]
"Sound"="0"
"Alarm"="1"
"AlarmActiveCountOn"="1"
"AlarmActiveCount"="20"
"AlarmActiveDurationOn"="1"
"AlarmActiveDuration"="5"
"TrayIcon"="1"
"IntervalAutoRefresh"="10"

[HKEY_CURRENT_USER\Software\Talvik\CustomInfo]

[HKEY_CURRENT_USER\Software\Talvik\CustomInfo\SIM]
"SQL"=hex(1):73,65,6c,65,63,74,20,22,d0,98,d0,bc,d1,8f,22,2c,20,27,61,5c,62,27,0d,0a,20,20,66,72,6f,6d,20,76,24,73,65,73,73,69,6f,6e,00

[HKEY_CURRENT_USER\Software\Talvik\LastLogon]
"UserName"="SYSTEM"
"DataBase"="SIM"

[HKEY_CURRENT_USER\Software\Talvik\LogonHistory]
"Logon0"="2345123412861314"
"Logon1"="2999100010201040"

[HKEY_CURRENT_USER\Software\Talvik\MainForm]
"WindowState"="0"
"Left"="40"
"Top"="30"
"Height"="650"
"Width"="900"

[HKEY_CURRENT_USER\Software\Talvik\Toolbars]

[HKEY_CURRENT_USER\Software\Talvik\Toolbars\ToolBarConnect]
"Rev"="2000"
"Visible"="1"
"DockedTo"="TBDockTop"
"LastDock"="TBDockTop"
"DockRow"="1"
"DockPos"="0"
"FloatLeft"="-12"
"FloatTop"="300"
"FloatRightX"="0"

[HKEY_CURRENT_USER\Software\Talvik\Toolbars\ToolBarMainMenu]
"Rev"="2000"
"Visible"="1"
"DockedTo"="TBDockTop"
"LastDock"="TBDockTop"
"DockRow"="0"
"DockPos"="0"
"FloatLeft"="-12"
"FloatTop"="300"

[HKEY_CURRENT_USER\Software\Talvik\Toolbars\ToolBarSession]
"Rev"="2000"
"Visible"="1"
"DockedTo"="+"
"LastDock"="TBDockTop"
"DockRow"="1"
"DockPos"="320"
"FloatLeft"="-12"
"FloatTop"="300"
"FloatRightX"="0"

[HKEY_CURRENT_USER\Software\Talvik\Toolbars\ToolBarView]
"Rev"="2000"
"Visible"="1"
"DockedTo"="TBDockTop"
"LastDock"="TBDockTop"
"DockRow"="1"
"DockPos"="160"
"FloatLeft"="-12"
"FloatTop"="300"
"FloatRightX"="0"

[HKEY_CURRENT_USER\Software\Talvik\TSessionFormdbgSession]
"dbgSession.SID"="0,40,0,1,0,7,0"
"dbgSession.SERIAL#"="1,50,0,1,0,7,0"
"dbgSession.USERNAME"="2,60,0,1,0,7,0"
"dbgSession.STATUS"="3,70,0,1,0,7,0"
"dbgSession.MACHINE"="4,80,0,0,0,7,0"
"dbgSession.PROGRAM"="5,90,0,1,0,7,0"
"dbgSession.CPU_USAGE"="6,100,0,1,0,7,0"

)reg";

// The stored format is the one the store always wrote: a session's settings written in one save give
// the file written value by value, and that file reads back the same.
TEST_F(RegistryTest, SettingsWrittenInOneSaveGiveTheFileWrittenValueByValue) {
  TFileSaveCounter saves(HkcuFile());
  {
    TRegistryUpdate update;
    WriteASessionsSettings();
    update.End();
  }
  EXPECT_EQ(saves.Count(), 1);
  EXPECT_EQ(HkcuText(), kSessionsSettingsFile);

  dir_.Write("talvik/HKCU.reg", kSessionsSettingsFile);
  talvik::registry::ResetHives();
  const auto read = talvik::registry::ParseHiveText(kSessionsSettingsFile, "HKEY_CURRENT_USER");
  EXPECT_EQ(talvik::registry::FormatHiveText(*read, "HKEY_CURRENT_USER"), kSessionsSettingsFile);
  TRegIniFile ini("Software\\Talvik");
  EXPECT_EQ(ini.ReadString("TSessionFormdbgSession", "dbgSession.MACHINE", ""), "4,80,0,0,0,7,0");
  EXPECT_EQ(ini.ReadString("CustomInfo\\SIM", "SQL", ""), "select \"Имя\", 'a\\b'\r\n  from v$session");
  EXPECT_EQ(ini.ReadInteger("Toolbars\\ToolBarSession", "DockPos", 0), 320);
  {
    TRegistryUpdate update;
    WriteASessionsSettings();  // the same values again
  }
  EXPECT_EQ(HkcuText(), kSessionsSettingsFile);
}

}  // namespace
