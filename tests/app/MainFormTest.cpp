// The main window on a fresh simulated instance: the first logon, the settings store, the caption and
// the connections box, closing and the window's place kept across starts, and the ways out.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>
#include <vector>

#include "app/MainF.h"
#include "app/SysTrayIcon.h"
#include "oracle/OracleLogonTestSupport.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/Registry.h"
#include "platform/rtl/ScopeExit.h"
#include "rtl/FileSaves.h"
#include "toolbar/BarDock.h"
#include "toolbar/BarItem.h"
#include "toolbar/BarToolbar.h"

using logontest::LogonDialogTest;

class MainFormTest : public LogonDialogTest {
 protected:
  void SetUp() override {
    LogonDialogTest::SetUp();
    talvik::gui::SetTrayShell(&shell);
  }
  void TearDown() override {
    delete MainForm;  // what the application would free at the end
    MainForm = nullptr;
    RegIni.reset();
    UserName.clear();
    DataBase.clear();
    talvik::gui::SetTrayShell(nullptr);
    LogonDialogTest::TearDown();
  }
  // Creates the main window as the start-up routine does; the exit code when it ends the program.
  int Start() {
    try {
      Application->CreateForm(MainForm);
    } catch (const EProgramEnd& e) {
      delete MainForm;
      MainForm = nullptr;
      return e.ExitCode();
    }
    return -1;
  }
  static std::string Stored(const std::string& Section, const std::string& Name) {
    TRegIniFile ini(kSettingsKey);
    return ini.ReadString(Section, Name, "<none>");
  }
  static void Store(const std::string& Section, const std::string& Name, const std::string& Value) {
    TRegIniFile ini(kSettingsKey);
    ini.WriteString(Section, Name, Value);
  }
  // What the instance knows of the program's session.
  std::string ClientInfo() {
    TOracleSession other(nullptr);
    other.SetLogonUsername("system");
    other.SetLogonPassword("manager");
    other.SetLogonDatabase("SIM");
    other.LogOn();
    TOracleQuery q(nullptr);
    q.SetSession(&other);
    q.SQL()->SetText(
        "select client_info from v$session where username = 'SYSTEM' and client_info is not null");
    q.Execute();
    return q.Eof() ? "" : q.Field(0).AsString();
  }

  // The next logon dialog gets a user, a password and the alias, and OK.
  void LogonTo(const std::string& User, const std::string& Password) {
    OnLogonForm([User, Password](TLogOnForm* f) {
      logontest::Type(f->UsernameEdit, User);
      logontest::Type(f->PasswordEdit, Password);
      f->SetDatabaseText("SIM");
      logontest::Click(f->OKBtn);
    });
  }

  // A session window's commands of those names, captioned with their names without the "a".
  static TActionList* SessionActions(TComponent* Owner, std::initializer_list<const char*> Names) {
    auto* list = new TActionList(Owner);
    for (const char* name : Names) {
      auto* a = new TAction(Owner);
      a->SetName(name);
      a->SetCaption(name + 1);
      a->SetActionList(list);
    }
    return list;
  }

  talvik::gui::FakeTrayShell shell;
};

TEST_F(MainFormTest, ACancelledLogonEndsTheProgramAtOnceWritingNothing) {
  OnLogonForm([](TLogOnForm* f) { logontest::Click(f->CancelBtn); });
  EXPECT_EQ(Start(), 0);
  EXPECT_EQ(MainForm, nullptr);
  EXPECT_EQ(Stored("LastLogon", "UserName"), "<none>");
  EXPECT_EQ(RegIni, nullptr);
}

TEST_F(MainFormTest, FirstStartLogsOnAndStandsAtTheStoredDefaults) {
  LogonTo("system", "manager");
  ASSERT_EQ(Start(), -1);
  ASSERT_NE(MainForm, nullptr);
  EXPECT_EQ(shown.at(0), "Oracle Logon||||Normal");
  EXPECT_EQ(MainForm->Caption(), "Talvik for Oracle -  [SYSTEM@SIM] ");
  EXPECT_EQ(MainForm->BoundsRect(), Rect(0, 0, 800, 600));
  EXPECT_EQ(MainForm->WindowState(), wsNormal);
  EXPECT_EQ(OracleVersion, "9.2.0.8.0");
  EXPECT_EQ(MainForm->cbConnections->Items()->Count(), 1);
  EXPECT_EQ(MainForm->cbConnections->Text(), "SYSTEM@SIM");
  EXPECT_EQ(MainForm->SysTrayIcon->Hint(), MainForm->Caption());
  EXPECT_FALSE(MainForm->SysTrayIcon->IconVisible());
  EXPECT_EQ(ClientInfo(), "Talvik");
}

TEST_F(MainFormTest, TheStoreRulesReadDefaultsForWhatIsMissingOrNotANumber) {
  Store("LastLogon", "UserName", "scott");  // read back as "Username": names ignore case
  Store("LastLogon", "DataBase", "SIM");
  Store("MainForm", "Left", "x12");
  Store("MainForm", "Top", "40");
  Store("MainForm", "Width", "640");
  Store("MainForm", "WindowState", "3");  // no such state: the layout's stays
  Store("", "TrayIcon", "7");             // any number but 0 is true
  OnLogonForm([](TLogOnForm* f) {
    logontest::Type(f->PasswordEdit, "tiger");
    logontest::Click(f->OKBtn);
  });
  ASSERT_EQ(Start(), -1);
  EXPECT_EQ(shown.at(0), "Oracle Logon|scott||SIM|Normal");
  EXPECT_EQ(MainForm->BoundsRect(), Rect(0, 40, 640, 640));
  EXPECT_EQ(MainForm->WindowState(), wsNormal);
  EXPECT_TRUE(MainForm->SysTrayIcon->Enabled());
  EXPECT_TRUE(MainForm->SysTrayIcon->IconVisible());
  EXPECT_TRUE(MainForm->SysTrayIcon->MinimizeToTray());
}

TEST_F(MainFormTest, ClosingSavesTheLogonAndTheBoundsOnlyInTheNormalState) {
  LogonTo("system", "manager");
  ASSERT_EQ(Start(), -1);
  MainForm->SetBounds(30, 20, 700, 500);
  MainForm->Close();
  EXPECT_EQ(Stored("LastLogon", "UserName"), "SYSTEM");
  EXPECT_EQ(Stored("LastLogon", "DataBase"), "SIM");
  EXPECT_EQ(Stored("MainForm", "WindowState"), "0");
  EXPECT_EQ(Stored("MainForm", "Left") + "," + Stored("MainForm", "Top") + "," + Stored("MainForm", "Width") +
                "," + Stored("MainForm", "Height"),
            "30,20,700,500");
  EXPECT_EQ(RegIni, nullptr);
  delete MainForm;
  MainForm = nullptr;
  MSG m;
  while (PeekMessage(m, nullptr, 0, 0, PM_REMOVE)) {
  }  // the program would end here: its quit message goes

  // the next start: prefilled, then closed maximised: state 2, the bounds stay what they were
  LogonTo("system", "manager");
  ASSERT_EQ(Start(), -1);
  EXPECT_EQ(shown.at(1), "Oracle Logon|SYSTEM||SIM|Normal");
  EXPECT_EQ(MainForm->BoundsRect(), Rect(30, 20, 730, 520));
  MainForm->SetWindowState(wsMaximized);
  MainForm->Close();
  EXPECT_EQ(Stored("MainForm", "WindowState"), "2");
  EXPECT_EQ(Stored("MainForm", "Width"), "700");
}

// A start over the settings of earlier sessions: its logon writes the history of logons, the whole of
// it in one save of the settings file.
TEST_F(MainFormTest, TheStartWritesTheSettingsFileOnce) {
  Store("LastLogon", "UserName", "SYSTEM");
  for (const char* user : {"scott", "hr", "oe"}) AddHistory(LogonHistory(), user, "", true, "", "SIM");
  ASSERT_TRUE(SaveHistoryReg(LogonHistory(), kLogonHistoryKey));
  TRegIniFile(kToolbarsKey).WriteInteger("ToolBarView", "Rev", 2000);  // as a close left them
  OnLogonForm([](TLogOnForm* f) {
    logontest::Type(f->PasswordEdit, "manager");
    f->SetDatabaseText("SIM");
    logontest::Click(f->OKBtn);
  });
  TFileSaveCounter saves(GetEnvironmentVariable("XDG_CONFIG_HOME") + "/talvik/HKCU.reg");
  ASSERT_EQ(Start(), -1);
  EXPECT_EQ(saves.Count(), 1);
  EXPECT_EQ(MainForm->cbConnections->Text(), "SYSTEM@SIM");
}

// A damaged settings file: one box says so and where the file went, and the program goes on to the
// logon with the defaults. Each damaged file is kept under a name of its own.
TEST_F(MainFormTest, ADamagedSettingsFileIsSetAsideWithOneBoxAndTheLogonFollows) {
  const std::string folder = GetEnvironmentVariable("XDG_CONFIG_HOME") + "/talvik";
  std::filesystem::create_directories(folder);
  std::ofstream(folder + "/HKCU.reg.bad") << "an earlier damaged file";
  const std::string damaged =
      "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Talvik\\LastLogon]\n\"UserName\"=\"SYS";
  std::ofstream(folder + "/HKCU.reg") << damaged;
  LogonTo("system", "manager");
  ASSERT_EQ(Start(), -1);
  ASSERT_NE(MainForm, nullptr);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("Файл настроек \"" + folder + "/HKCU.reg\" повреждён"), std::string::npos)
      << boxes[0].text;
  EXPECT_NE(boxes[0].text.find("\"" + folder + "/HKCU.reg.bad2\""), std::string::npos) << boxes[0].text;
  EXPECT_EQ(boxes[0].caption, Application->Title());  // "Talvik" in the program
  EXPECT_EQ(shown.at(0), "Oracle Logon||||Normal");   // the defaults: nothing prefilled
  EXPECT_EQ(MainForm->BoundsRect(), Rect(0, 0, 800, 600));
  std::stringstream earlier, kept;
  earlier << std::ifstream(folder + "/HKCU.reg.bad").rdbuf();
  kept << std::ifstream(folder + "/HKCU.reg.bad2").rdbuf();
  EXPECT_EQ(earlier.str(), "an earlier damaged file");
  EXPECT_EQ(kept.str(), damaged);
  MainForm->Close();
  EXPECT_EQ(Stored("LastLogon", "UserName"), "SYSTEM");  // a new file holds the settings
  EXPECT_EQ(boxes.size(), 1u);
}

// Settings that cannot be saved at closing: one box names the file and the reason, and the program
// closes all the same; the file on disk stays as it was (the store keeps what it could not write).
TEST_F(MainFormTest, SettingsThatCannotBeSavedAtClosingAreReportedOnceAndTheProgramCloses) {
  Store("MainForm", "Left", "5");
  LogonTo("system", "manager");
  ASSERT_EQ(Start(), -1);
  const std::string file = GetEnvironmentVariable("XDG_CONFIG_HOME") + "/talvik/HKCU.reg";
  SetAtomicSaveHook([](const std::string&) { throw EOSError("Operation not permitted"); });
  const TScopeExit unhook([] { SetAtomicSaveHook(nullptr); });
  MainForm->Close();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text,
            "Настройки не сохранены: не удалось записать файл \"" + file + "\" (Operation not permitted).");
  EXPECT_EQ(boxes[0].caption, Application->Title());                 // "Talvik" in the program
  EXPECT_EQ(boxes[0].type & 0xF0u, static_cast<UINT>(MB_ICONSTOP));  // the stop icon
  EXPECT_EQ(RegIni, nullptr);
  MSG m;
  bool quit = false;
  while (PeekMessage(m, nullptr, 0, 0, PM_REMOVE)) quit = quit || m.message == WM_QUIT;
  EXPECT_TRUE(quit) << "the program does not end";
  SetAtomicSaveHook(nullptr);
  const std::string onDisk = ReadFileContent(file).value_or("");
  EXPECT_NE(onDisk.find("\"Left\"=\"5\""), std::string::npos) << onDisk;
  EXPECT_EQ(onDisk.find("LastLogon"), std::string::npos) << onDisk;
}

// At the close the toolbars floating beside the main window go before a box about settings that could
// not be saved: the box stands over the main window alone, with no toolbar left emptied by the session
// window that went before it. A close that saves keeps them floating and shown for the next start.
TEST_F(MainFormTest, TheFloatingToolbarsGoBeforeTheBoxAtTheClose) {
  LogonTo("system", "manager");
  ASSERT_EQ(Start(), -1);
  MainForm->Show();
  MainForm->ToolBarSession->SetFloating(true);
  Application->ProcessMessages();
  TCloseAction action = caFree;
  MainForm->FormClose(MainForm, action);  // what closing runs, without ending the application
  delete MainForm;
  MainForm = nullptr;
  EXPECT_TRUE(boxes.empty());
  TRegIniFile toolbars(kToolbarsKey);
  EXPECT_EQ(toolbars.ReadString("ToolBarSession", "Visible", "<none>") + " " +
                toolbars.ReadString("ToolBarSession", "DockedTo", "<none>"),
            "1 +");

  OnLogonForm([](TLogOnForm* f) {  // the last user and alias are there already
    logontest::Type(f->PasswordEdit, "manager");
    logontest::Click(f->OKBtn);
  });
  ASSERT_EQ(Start(), -1);
  MainForm->Show();
  Application->ProcessMessages();
  TBarFloatingWindowParent* floating = MainForm->ToolBarSession->FloatingParent();
  ASSERT_NE(floating, nullptr);
  ASSERT_TRUE(IsWindowVisible(floating->Handle()));
  SetAtomicSaveHook([](const std::string&) { throw EOSError("Operation not permitted"); });
  const TScopeExit unhook([] { SetAtomicSaveHook(nullptr); });
  std::vector<bool> floatingAtTheBox;
  talvik::gui::SetMessageBoxHandler([&](HWND, const std::string&, const std::string&, UINT) {
    floatingAtTheBox.push_back(IsWindowVisible(floating->Handle()));
    return IDOK;
  });
  MainForm->Close();
  EXPECT_EQ(floatingAtTheBox, std::vector<bool>{false}) << "the floating toolbar shown when the box came";
}

// The settings folder as the program names it, and its settings file.
std::string SettingsFolder() {
  return GetEnvironmentVariable("XDG_CONFIG_HOME") + "/talvik";
}
std::string SettingsFile() {
  return SettingsFolder() + "/HKCU.reg";
}
std::string FileText(const std::string& Name) {
  std::stringstream text;
  text << std::ifstream(Name, std::ios::binary).rdbuf();
  return text.str();
}

// A settings folder that cannot be written: the program runs with what it read, or with the
// defaults, and closes after one box that says what could not be saved.
enum class TFolderFault { FullDisk, Immutable, DanglingLink };

struct UnwritableFolder {
  const char* name;
  TFolderFault fault;
  const char* file;        // the settings file found at the start; nullptr: none
  const char* shownLogon;  // the logon dialog as it opens
};

void PrintTo(const UnwritableFolder& Case, std::ostream* Out) {
  *Out << Case.name;
}

class MainFormUnwritableFolder : public MainFormTest,
                                 public ::testing::WithParamInterface<UnwritableFolder> {};

TEST_P(MainFormUnwritableFolder, TheProgramRunsAndReportsOnceAtClosingWhatItCouldNotSave) {
  const std::string folder = SettingsFolder();
  if (GetParam().file) {
    std::filesystem::create_directories(folder);
    std::ofstream(SettingsFile(), std::ios::binary) << GetParam().file;
  }
  const TScopeExit undo([folder] {
    SetAtomicSaveHook(nullptr);
    MakeImmutable(folder, false);
  });
  std::string reason;
  switch (GetParam().fault) {
    case TFolderFault::FullDisk:
      SetAtomicSaveHook([](const std::string&) { throw ESaveFileError("x", "No space left on device"); });
      reason = "No space left on device";
      break;
    case TFolderFault::Immutable:
      if (const std::string skipped = MakeImmutable(folder, true); !skipped.empty()) GTEST_SKIP() << skipped;
      reason = "Operation not permitted";
      break;
    case TFolderFault::DanglingLink:
      std::filesystem::create_directories(std::filesystem::path(folder).parent_path());
      std::filesystem::create_directory_symlink(folder + ".gone", folder);
      reason = "cannot create folder \"" + folder + "\"";
      break;
  }
  OnLogonForm([](TLogOnForm* f) {
    logontest::Type(f->UsernameEdit, "system");
    logontest::Type(f->PasswordEdit, "manager");
    f->SetDatabaseText("SIM");
    logontest::Click(f->OKBtn);
  });
  ASSERT_EQ(Start(), -1);
  ASSERT_NE(MainForm, nullptr);
  EXPECT_TRUE(boxes.empty()) << boxes[0].text;
  EXPECT_EQ(shown.at(0), GetParam().shownLogon);
  EXPECT_EQ(MainForm->Caption(), "Talvik for Oracle -  [SYSTEM@SIM] ");
  MainForm->Close();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text,
            "Настройки не сохранены: не удалось записать файл \"" + SettingsFile() + "\" (" + reason + ").");
  EXPECT_EQ(RegIni, nullptr);
  EXPECT_EQ(FileText(SettingsFile()), GetParam().file ? GetParam().file : "");
}

constexpr const char* kLastLogonOnly =
    "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Talvik\\LastLogon]\n\"UserName\"=\"scott\"\n\"DataBase\"="
    "\"SIM\"\n";

INSTANTIATE_TEST_SUITE_P(
    Folders, MainFormUnwritableFolder,
    ::testing::Values(UnwritableFolder{"AFullDiskWithNoSettingsFile", TFolderFault::FullDisk, nullptr,
                                       "Oracle Logon||||Normal"},
                      UnwritableFolder{"AFullDiskWithTheLastLogonOnly", TFolderFault::FullDisk,
                                       kLastLogonOnly, "Oracle Logon|scott||SIM|Normal"},
                      UnwritableFolder{"AnImmutableFolderWithTheLastLogonOnly", TFolderFault::Immutable,
                                       kLastLogonOnly, "Oracle Logon|scott||SIM|Normal"},
                      UnwritableFolder{"ADanglingLinkAsTheFolder", TFolderFault::DanglingLink, nullptr,
                                       "Oracle Logon||||Normal"}),
    [](const ::testing::TestParamInfo<UnwritableFolder>& info) { return std::string(info.param.name); });

// A settings file that cannot be read, or a damaged one that cannot be set aside: one box names the
// file and the reason, the logon follows with the defaults, and the file is never written over.
struct FileLeftAlone {
  const char* name;
  const char* reason;                                   // in the box
  std::function<std::string(const std::string&)> make;  // makes the file; what cannot be done skips
  std::function<void(const std::string&)> undo;         // what make did that the folder's removal cannot
};

void PrintTo(const FileLeftAlone& Case, std::ostream* Out) {
  *Out << Case.name;
}

class MainFormFileLeftAlone : public MainFormTest, public ::testing::WithParamInterface<FileLeftAlone> {};

constexpr const char* kDamagedFile = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Talvik]\n\"Sound\"=\"1";

TEST_P(MainFormFileLeftAlone, OneBoxNamesTheFileAndTheDefaultsFollow) {
  std::filesystem::create_directories(SettingsFolder());
  const std::string skipped = GetParam().make(SettingsFile());
  const TScopeExit undo([] { GetParam().undo(SettingsFile()); });
  if (!skipped.empty()) GTEST_SKIP() << skipped;
  const std::string before = FileText(SettingsFile());
  LogonTo("system", "manager");
  ASSERT_EQ(Start(), -1);
  ASSERT_NE(MainForm, nullptr);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("Файл настроек \"" + SettingsFile() + "\""), std::string::npos)
      << boxes[0].text;
  EXPECT_NE(boxes[0].text.find(std::string("(") + GetParam().reason + ")"), std::string::npos)
      << boxes[0].text;
  EXPECT_NE(boxes[0].text.find("не будет перезаписан"), std::string::npos) << boxes[0].text;
  EXPECT_EQ(boxes[0].caption, Application->Title());
  EXPECT_EQ(shown.at(0), "Oracle Logon||||Normal");
  MainForm->Close();
  EXPECT_EQ(boxes.size(), 1u) << boxes.back().text;
  EXPECT_EQ(RegIni, nullptr);
  EXPECT_EQ(FileText(SettingsFile()), before);
  EXPECT_EQ(std::filesystem::is_directory(SettingsFile()), std::string(GetParam().name) == "ADirectory");
}

INSTANTIATE_TEST_SUITE_P(
    Files, MainFormFileLeftAlone,
    ::testing::Values(FileLeftAlone{"ADirectory", "Is a directory",
                                    [](const std::string& file) {
                                      std::filesystem::create_directory(file);
                                      return std::string();
                                    },
                                    [](const std::string&) {}},
                      FileLeftAlone{"AFileTheUserMayNotRead", "Permission denied",
                                    [](const std::string& file) {
                                      std::ofstream(file) << "REGEDIT4\n";
                                      std::filesystem::permissions(file, std::filesystem::perms::none);
                                      return geteuid() == 0 ? std::string("root reads a file of any mode")
                                                            : std::string();
                                    },
                                    [](const std::string&) {}},
                      FileLeftAlone{"ADamagedImmutableFile", "line 4: a quoted text has no closing quote",
                                    [](const std::string& file) {
                                      std::ofstream(file) << kDamagedFile;
                                      return MakeImmutable(file, true);
                                    },
                                    [](const std::string& file) { MakeImmutable(file, false); }},
                      FileLeftAlone{
                          "ADamagedFileWithEveryNameAsideTaken", "line 4: a quoted text has no closing quote",
                          [](const std::string& file) {
                            std::ofstream(file) << kDamagedFile;
                            for (int n = 1; n <= 1000; ++n)
                              std::ofstream(file + ".bad" + (n == 1 ? std::string() : std::to_string(n)));
                            return std::string();
                          },
                          [](const std::string&) {}}),
    [](const ::testing::TestParamInfo<FileLeftAlone>& info) { return std::string(info.param.name); });

// Whether the thread sleeps in a system call on the pipe at Path: a blocking open of it, which waits
// for a writer, or a read of it, which waits for data. What the kernel shows of the thread while it is
// in a call (/proc/self/task/<thread>/syscall: its number and arguments) says which call it is; a
// blocking open is on the pipe when the pipe has a reader at that moment (a writer's open that does
// not wait succeeds), which also lets that open go on.
bool SleepsOnPipe(pid_t thread, const std::string& path) {
  std::ifstream in("/proc/self/task/" + std::to_string(thread) + "/syscall");
  long number = -1;
  if (!(in >> number)) return false;  // "running"
  std::vector<unsigned long long> args;
  for (std::string word; args.size() < 3 && in >> word;) args.push_back(std::stoull(word, nullptr, 16));
  if (args.size() < 3) return false;
  const auto opensToWait = [&path](unsigned long long flags) {
    if (flags & O_NONBLOCK) return false;
    const int writer = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (writer < 0) return false;  // the pipe has no reader: the open is of another file
    close(writer);
    return true;
  };
  const auto names = [&path](unsigned long long fd) {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), error) == path;
  };
  switch (number) {
    case SYS_open:
      return opensToWait(args[1]);
    case SYS_openat:
      return opensToWait(args[2]);
    case SYS_read:
    case SYS_readv:
    case SYS_pread64:
      return names(args[0]);
    default:
      return false;
  }
}

// A pipe at the settings file's name is never waited on: the program reaches the logon, and its
// close writes nothing there. A watch beside it tells a wait on the pipe from a slow start by what the
// program's thread does, and lets such a wait go on, so that the test ends.
TEST_F(MainFormTest, APipeAtTheSettingsFileNameReachesTheLogon) {
  std::filesystem::create_directories(SettingsFolder());
  ASSERT_EQ(mkfifo(SettingsFile().c_str(), 0600), 0);
  const pid_t programThread = gettid();
  const std::string pipeName = SettingsFile();
  std::atomic<bool> ended{false}, waited{false};
  std::thread watch([&] {
    for (; !ended; std::this_thread::sleep_for(std::chrono::milliseconds(5)))
      if (SleepsOnPipe(programThread, pipeName)) waited = true;
  });
  const auto endWatch = [&] {
    ended = true;
    if (watch.joinable()) watch.join();
  };
  const TScopeExit atEnd(endWatch);
  LogonTo("system", "manager");
  ASSERT_EQ(Start(), -1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("(it is not a regular file)"), std::string::npos) << boxes[0].text;
  MainForm->Close();
  EXPECT_EQ(boxes.size(), 1u);
  endWatch();
  EXPECT_FALSE(waited) << "the program waited on the pipe";
  struct stat st {};
  ASSERT_EQ(lstat(pipeName.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// A settings file damaged while the program runs goes aside at closing as at the start, the settings
// the program holds are saved to a new file, and one box names where the damaged file went.
TEST_F(MainFormTest, AFileDamagedWhileTheProgramRunsGoesAsideAndTheSettingsAreSaved) {
  Store("", "TrayIcon", "1");
  LogonTo("system", "manager");
  ASSERT_EQ(Start(), -1);
  std::ofstream(SettingsFile(), std::ios::binary | std::ios::trunc) << "garbage";
  MainForm->Close();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Файл настроек \"" + SettingsFile() +
                               "\" повреждён во время работы (line 1: the first line is not REGEDIT4).\n"
                               "Он сохранён как \"" +
                               SettingsFile() + ".bad\", настройки программы записаны в новый файл.");
  EXPECT_EQ(FileText(SettingsFile() + ".bad"), "garbage");
  EXPECT_EQ(Stored("LastLogon", "UserName"), "SYSTEM");
  EXPECT_EQ(Stored("", "TrayIcon"), "1");
}

// Stored bounds: as they are where they lie on the screen's work area; otherwise (the title bar off
// the work area, or no usable size) the window comes onto it with a usable size (as a desktop brings back the
// windows of a monitor that is gone), and closing saves it there.
struct StoredBounds {
  const char* name;
  std::vector<std::pair<const char*, const char*>> values;
  TRect expected;  // empty: anywhere on the work area
};

void PrintTo(const StoredBounds& Case, std::ostream* Out) {
  *Out << Case.name;
}

class MainFormBounds : public MainFormTest, public ::testing::WithParamInterface<StoredBounds> {};

TEST_P(MainFormBounds, TheWindowStandsOnTheScreenAndIsSavedThere) {
  for (const auto& [name, value] : GetParam().values) Store("MainForm", name, value);
  LogonTo("system", "manager");
  ASSERT_EQ(Start(), -1);
  const TRect work = Screen->WorkAreaRect();
  const TRect bounds = MainForm->BoundsRect();
  auto onTheWorkArea = [&](const TRect& r) {
    return r.Left >= work.Left && r.Top >= work.Top && r.Right <= work.Right && r.Bottom <= work.Bottom &&
           r.Width() >= 200 && r.Height() >= 150;
  };
  EXPECT_TRUE(onTheWorkArea(bounds)) << bounds.Left << "," << bounds.Top << " " << bounds.Width() << "x"
                                     << bounds.Height();
  if (!GetParam().expected.IsEmpty()) {
    EXPECT_EQ(bounds, GetParam().expected);
  }
  MainForm->Close();
  const TRect saved = Bounds(std::stoi(Stored("MainForm", "Left")), std::stoi(Stored("MainForm", "Top")),
                             std::stoi(Stored("MainForm", "Width")), std::stoi(Stored("MainForm", "Height")));
  EXPECT_EQ(saved, bounds);
}

// A window the user left where it cannot be reached (moved off the screen by a program, or on a
// monitor that went meanwhile) is saved on the work area, where the next start shows it.
TEST_F(MainFormTest, AWindowLeftOffTheScreenIsSavedOnIt) {
  LogonTo("system", "manager");
  ASSERT_EQ(Start(), -1);
  MainForm->SetBounds(-3000, 2000, 700, 500);
  MainForm->Close();
  EXPECT_EQ(Stored("MainForm", "Left") + "," + Stored("MainForm", "Top") + "," + Stored("MainForm", "Width") +
                "," + Stored("MainForm", "Height"),
            "0,228,700,500");
}

constexpr int kWorkHeight = 728;  // of the test's monitor, 1024 x 768 with a panel of 40

INSTANTIATE_TEST_SUITE_P(
    Stored, MainFormBounds,
    ::testing::Values(
        StoredBounds{"OnTheScreen",
                     {{"Left", "30"}, {"Top", "20"}, {"Width", "700"}, {"Height", "500"}},
                     Rect(30, 20, 730, 520)},
        StoredBounds{"TooTall", {{"Height", "999999999"}}, Rect(0, 0, 800, kWorkHeight)},
        StoredBounds{"FarAbove", {{"Top", "-2147483648"}}, Rect(0, 0, 800, 600)},
        StoredBounds{"NoSizeFarAway",
                     {{"Left", "-30000"}, {"Top", "-2147483648"}, {"Width", "-5"}, {"Height", "999999999"}},
                     Rect(0, 0, 800, kWorkHeight)},
        StoredBounds{"OnAMonitorThatIsGone", {{"Left", "-3000"}, {"Top", "-2000"}}, Rect(0, 0, 800, 600)},
        StoredBounds{"AllAtTheTop",
                     {{"Left", "2147483647"},
                      {"Top", "2147483647"},
                      {"Width", "2147483647"},
                      {"Height", "2147483647"}},
                     Rect(0, 0, 1024, kWorkHeight)},
        StoredBounds{"AllAtTheBottom",
                     {{"Left", "-2147483647"},
                      {"Top", "-2147483647"},
                      {"Width", "-2147483647"},
                      {"Height", "-2147483647"}},
                     Rect(0, 0, 800, 600)},
        StoredBounds{"FarPlaceHugeSize",
                     {{"Left", "-2147483647"},
                      {"Top", "2147483647"},
                      {"Width", "2147483647"},
                      {"Height", "2147483647"}},
                     Rect(0, 0, 1024, kWorkHeight)},
        StoredBounds{"HugePlaceNoSize",
                     {{"Left", "2147483647"},
                      {"Top", "-2147483647"},
                      {"Width", "-2147483647"},
                      {"Height", "2147483647"}},
                     Rect(224, 0, 1024, kWorkHeight)}),
    [](const auto& info) { return std::string(info.param.name); });

// Stored bounds whose title bar lies on a work area, wide enough to take the window by it, stay as
// they are through a start and a close, the rest of the window off the screen or across monitors
// where the user put it (the title bar counted across monitors that touch, not across a gap between
// them); a window whose title bar is on none comes onto the nearest work area.
struct Monitor {
  TRect bounds;
  TRect work;
};

struct PlacedBounds {
  const char* name;
  std::vector<Monitor> monitors;  // the first is the primary one
  TRect stored;
  TRect expected;
};

void PrintTo(const PlacedBounds& Case, std::ostream* Out) {
  *Out << Case.name;
}

class MainFormPlace : public MainFormTest, public ::testing::WithParamInterface<PlacedBounds> {};

// "left,top widthxheight".
std::string Text(const TRect& R) {
  return std::to_string(R.Left) + "," + std::to_string(R.Top) + " " + std::to_string(R.Width()) + "x" +
         std::to_string(R.Height());
}

TEST_P(MainFormPlace, TheWindowStaysWhereItsTitleBarCanBeTakenAndIsSavedThere) {
  std::vector<MONITORINFO> monitors;
  for (const Monitor& m : GetParam().monitors) {
    MONITORINFO mi;
    mi.rcMonitor = m.bounds;
    mi.rcWork = m.work;
    mi.dwFlags = monitors.empty() ? MONITORINFOF_PRIMARY : 0;
    monitors.push_back(mi);
  }
  talvik::gui::SetScreens(monitors);  // the test's own monitor again at the end (TearDown)
  const TRect stored = GetParam().stored;
  Store("MainForm", "Left", std::to_string(stored.Left));
  Store("MainForm", "Top", std::to_string(stored.Top));
  Store("MainForm", "Width", std::to_string(stored.Width()));
  Store("MainForm", "Height", std::to_string(stored.Height()));
  LogonTo("system", "manager");
  ASSERT_EQ(Start(), -1);
  EXPECT_EQ(Text(MainForm->BoundsRect()), Text(GetParam().expected)) << "shown";
  MainForm->Close();
  EXPECT_EQ(Stored("MainForm", "Left") + "," + Stored("MainForm", "Top") + " " + Stored("MainForm", "Width") +
                "x" + Stored("MainForm", "Height"),
            Text(GetParam().expected))
      << "saved";
}

const Monitor kScreen1600{Rect(0, 0, 1600, 1000), Rect(0, 0, 1600, 1000)};
const Monitor kScreen1600WithAPanel{Rect(0, 0, 1600, 1000), Rect(0, 0, 1600, 968)};
const Monitor kTestScreen{Rect(0, 0, 1024, 768), Rect(0, 0, 1024, 728)};
const Monitor kLeftOfTwo{Rect(0, 0, 1024, 768), Rect(0, 0, 1024, 768)};
const Monitor kRightOfTwo{Rect(1024, 0, 2048, 768), Rect(1024, 0, 2048, 768)};
const Monitor kTallRightOfTwo{Rect(1024, 0, 2304, 1024), Rect(1024, 0, 2304, 1024)};
const Monitor kRightOfTwoApart{Rect(1124, 0, 2148, 768), Rect(1124, 0, 2148, 768)};

INSTANTIATE_TEST_SUITE_P(
    Stored, MainFormPlace,
    ::testing::Values(
        PlacedBounds{"PartlyOffTheBottomRight",
                     {kScreen1600},
                     Bounds(1100, 500, 800, 600),
                     Bounds(1100, 500, 800, 600)},
        PlacedBounds{
            "PartlyOffTheRight", {kTestScreen}, Bounds(700, 100, 800, 600), Bounds(700, 100, 800, 600)},
        PlacedBounds{
            "PartlyOffTheLeft", {kScreen1600}, Bounds(-500, 200, 800, 600), Bounds(-500, 200, 800, 600)},
        PlacedBounds{"AcrossTwoMonitors",
                     {kLeftOfTwo, kRightOfTwo},
                     Bounds(700, 100, 800, 600),
                     Bounds(700, 100, 800, 600)},
        PlacedBounds{"PartlyOffTheRightOfTheRightMonitor",
                     {kLeftOfTwo, kRightOfTwo},
                     Bounds(1700, 100, 800, 600),
                     Bounds(1700, 100, 800, 600)},
        PlacedBounds{
            "TitleBarAboveTheTop", {kScreen1600}, Bounds(300, -10, 800, 600), Bounds(300, 0, 800, 600)},
        PlacedBounds{"EntirelyLeft", {kScreen1600}, Bounds(-900, 200, 800, 600), Bounds(0, 200, 800, 600)},
        PlacedBounds{"TitleBarTooLittleOnTheScreen",
                     {kScreen1600},
                     Bounds(1500, 200, 800, 600),
                     Bounds(800, 200, 800, 600)},
        PlacedBounds{
            "TitleBarBelowTheBottom", {kScreen1600}, Bounds(300, 990, 800, 600), Bounds(300, 400, 800, 600)},
        PlacedBounds{"TitleBarOverThePanel",
                     {kScreen1600WithAPanel},
                     Bounds(300, 960, 800, 600),
                     Bounds(300, 368, 800, 600)},
        PlacedBounds{"TitleBarAcrossTwoMonitorsEnoughOnNeither",
                     {kLeftOfTwo, kRightOfTwo},
                     Bounds(924, 100, 240, 600),
                     Bounds(924, 100, 240, 600)},
        PlacedBounds{"TitleBarAcrossTheGapBetweenTwoMonitors",
                     {kLeftOfTwo, kRightOfTwoApart},
                     Bounds(924, 100, 340, 600),
                     Bounds(684, 100, 340, 600)},
        PlacedBounds{"TitleBarUnderTheShorterMonitor",
                     {kLeftOfTwo, kTallRightOfTwo},
                     Bounds(0, 900, 800, 600),
                     Bounds(0, 168, 800, 600)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainFormTest, EachConnectionIsListedOnceAndChoosingOneLogsOnWithTheStoredPassword) {
  LogonTo("system", "manager");
  ASSERT_EQ(Start(), -1);
  LogonTo("scott", "tiger");
  MainForm->aLogin->Execute();
  EXPECT_EQ(MainForm->Caption(), "Talvik for Oracle -  [SCOTT@SIM] ");
  LogonTo("scott", "tiger");
  MainForm->aLogin->Execute();
  ASSERT_EQ(MainForm->cbConnections->Items()->Count(), 2);
  EXPECT_EQ(MainForm->cbConnections->Items()->Strings(0), "SYSTEM@SIM");
  EXPECT_EQ(MainForm->cbConnections->Items()->Strings(1), "SCOTT@SIM");
  int logons = 0;
  const TOracleSessionEvent afterLogOn = MainForm->OracleSession->AfterLogOn;
  MainForm->OracleSession->AfterLogOn = [&](TOracleSession* s) {
    ++logons;
    afterLogOn(s);
  };
  // opened and closed again on the connection in use: no new logon
  MainForm->cbConnectionsCloseUp(MainForm->cbConnections);
  EXPECT_EQ(logons, 0);
  EXPECT_EQ(MainForm->Caption(), "Talvik for Oracle -  [SCOTT@SIM] ");
  MainForm->cbConnections->SetItemIndex(0);
  MainForm->cbConnectionsCloseUp(MainForm->cbConnections);
  EXPECT_EQ(logons, 1);
  EXPECT_EQ(MainForm->Caption(), "Talvik for Oracle -  [SYSTEM@SIM] ");
  EXPECT_TRUE(MainForm->OracleSession->Connected());
  EXPECT_EQ(MainForm->OracleSession->LogonUsername(), "system");
  MainForm->cbConnectionsCloseUp(MainForm->cbConnections);
  EXPECT_EQ(logons, 1);
  // without a connection the chosen one logs on again
  MainForm->OracleSession->LogOff();
  MainForm->cbConnectionsCloseUp(MainForm->cbConnections);
  EXPECT_EQ(logons, 2);
  EXPECT_TRUE(MainForm->OracleSession->Connected());
}

TEST_F(MainFormTest, ActivatingTheMainWindowFromTheFloatingConnectionsBarSettles) {
  LogonTo("system", "manager");
  ASSERT_EQ(Start(), -1);
  MainForm->Show();
  MainForm->ToolBarConnect->SetFloating(true);
  TBarFloatingWindowParent* floating = MainForm->ToolBarConnect->FloatingParent();
  ASSERT_NE(floating, nullptr);
  // the box took the focus with a click; the window manager then activates the floating window,
  // which hands the activation to the main window, whose tray hook gives the focus back to the box
  MainForm->cbConnections->SetFocus();
  ASSERT_EQ(Screen->ActiveControl(), MainForm->cbConnections);
  SetActiveWindow(floating->Handle());
  EXPECT_EQ(GetActiveWindow(), MainForm->Handle());
}

TEST_F(MainFormTest, TheTrayExitEndsWithoutSavingAnything) {
  Store("MainForm", "Left", "5");
  LogonTo("system", "manager");
  ASSERT_EQ(Start(), -1);
  MainForm->SetBounds(100, 100, 500, 400);
  MainForm->nExitClick(MainForm->nExit);
  MSG m;
  bool quit = false;
  while (PeekMessage(m, nullptr, 0, 0, PM_REMOVE)) quit = quit || m.message == WM_QUIT;
  EXPECT_TRUE(quit);
  EXPECT_EQ(Stored("MainForm", "Left"), "5");
  EXPECT_EQ(Stored("LastLogon", "UserName"), "<none>");
}

TEST_F(MainFormTest, SessionActionsAreFoundByNameOnlyWhileTheirListIsRegisteredAndAlive) {
  MainForm = new TMainForm(nullptr);
  auto* owner = new TComponent(nullptr);
  auto* list = new TActionList(owner);
  auto* refresh = new TAction(owner);
  refresh->SetName("aRefresh");
  refresh->SetActionList(list);
  EXPECT_EQ(MainForm->SessionAction("aRefresh"), nullptr);
  MainForm->RegisterSessionActions(list, nullptr);
  EXPECT_EQ(MainForm->SessionAction("aRefresh"), refresh);
  EXPECT_EQ(MainForm->SessionAction("aKill"), nullptr);
  MainForm->UnregisterSessionActions();
  EXPECT_EQ(MainForm->SessionAction("aRefresh"), nullptr);
  MainForm->RegisterSessionActions(list, nullptr);
  delete owner;  // a session window freed without unregistering leaves nothing dangling
  EXPECT_EQ(MainForm->SessionAction("aRefresh"), nullptr);
}

// The menu bar's and toolbars' lines as captions, "-" for separators, hidden items in brackets.
std::string Line(TBarCustomItem* Parent) {
  std::string out;
  for (int i = 0; i < Parent->Count(); ++i) {
    TBarCustomItem* item = Parent->Items(i);
    std::string text = dynamic_cast<TBarSeparatorItem*>(item) ? "-" : StripHotkey(item->Caption());
    if (!item->Visible()) text = "(" + text + ")";
    out += (i ? "," : "") + text;
  }
  return out;
}

TEST_F(MainFormTest, TheBarsStandOnTheTopDockAndTheSessionCommandsShowOnlyWhileTheSessionWindowIsThere) {
  LogonTo("system", "manager");
  ASSERT_EQ(Start(), -1);
  MainForm->Show();
  Application->ProcessMessages();
  TBarRootItem* menu = MainForm->ToolBarMainMenu->Items();
  EXPECT_EQ(Line(menu), "Файл,Правка,Просмотр,Сеансы,Помощь");
  EXPECT_EQ(Line(menu->Items(0)), "Подключиться ...,-,Выход");
  EXPECT_EQ(Line(menu->Items(1)), "Копировать,Вставить,-,Выделить всё");
  EXPECT_EQ(Line(menu->Items(2)), "(),(),-,(),(),-,Настройка");
  EXPECT_EQ(Line(MainForm->ToolBarConnect->Items()), "Подключиться ...,-,") << "the last is the combo's item";
  EXPECT_EQ(MainForm->cbConnections->Parent(), MainForm->ToolBarConnect);
  // the toolbars of row 1 at 0, 160 and 215, the menu bar alone on row 0
  EXPECT_EQ(MainForm->ToolBarMainMenu->DockRow(), 0);
  const std::pair<TBarToolbar*, int> row1[] = {
      {MainForm->ToolBarConnect, 0}, {MainForm->ToolBarView, 160}, {MainForm->ToolBarSession, 215}};
  for (const auto& [bar, pos] : row1) {
    EXPECT_EQ(bar->CurrentDock(), MainForm->TBDockTop) << bar->Name();
    EXPECT_EQ(bar->DockRow(), 1) << bar->Name();
    EXPECT_EQ(bar->DockPos(), pos) << bar->Name();
  }
  EXPECT_GT(MainForm->ToolBarView->Left(), MainForm->ToolBarConnect->Left());
  EXPECT_GT(MainForm->ToolBarConnect->Top(), MainForm->ToolBarMainMenu->Top());
  {
    const char* bin = std::getenv("TALVIK_BINARY_DIR");
    const std::string dir = std::string(bin ? bin : ".") + "/screenshots";
    std::filesystem::create_directories(dir);
    EXPECT_TRUE(talvik::gui::RenderWindowToPng(MainForm->Handle(), dir + "/app-main-window-bars.png"));
  }

  // a session window registers its commands: they show, bound to its actions and its pictures
  auto* owner = new TComponent(nullptr);
  auto* images = new TImageList(owner);
  TActionList* list = SessionActions(owner, {"aRefresh", "aAutoRefresh", "aKill"});
  MainForm->RegisterSessionActions(list, images);
  EXPECT_EQ(Line(menu->Items(2)), "(),(),-,AutoRefresh,Refresh,-,Настройка");
  EXPECT_EQ(Line(MainForm->ToolBarView->Items()), "AutoRefresh,Refresh");
  EXPECT_EQ(MainForm->ToolBarView->Items()->Items(1)->Images(), images);
  MainForm->UnregisterSessionActions();
  EXPECT_EQ(Line(MainForm->ToolBarView->Items()), "(AutoRefresh),(Refresh)");
  EXPECT_EQ(MainForm->ToolBarView->Items()->Items(1)->Action(), nullptr);
  {
    // the hidden item keeps no handler of the window that went: its shortcut runs nothing
    int refreshed = 0;
    auto* refresh = dynamic_cast<TAction*>(list->Actions(0));
    refresh->SetShortCut(VK_F5);
    refresh->SetOnExecute([&](TObject*) { ++refreshed; });
    MainForm->RegisterSessionActions(list, images);
    MainForm->UnregisterSessionActions();
    TMessage key = MakeMessage(WM_KEYDOWN, VK_F5, 0);
    MainForm->ToolBarView->IsShortCut(key);
    EXPECT_EQ(refreshed, 0);
    EXPECT_FALSE(MainForm->ToolBarView->Items()->Items(1)->OnClick());
  }
  MainForm->RegisterSessionActions(list, images);
  delete owner;  // freed without unregistering: the items lose their actions, nothing dangles
  Application->ProcessMessages();
  EXPECT_EQ(MainForm->ToolBarView->Items()->Items(1)->Action(), nullptr);
}

TEST_F(MainFormTest, ToolbarPositionsAreKeptAcrossStartsButNotWhenLeavingThroughTheTray) {
  LogonTo("system", "manager");
  ASSERT_EQ(Start(), -1);
  MainForm->ToolBarSession->SetDockRow(2);
  MainForm->ToolBarSession->SetDockPos(40);
  TCloseAction action = caFree;
  MainForm->FormClose(MainForm, action);  // what closing runs, without ending the application
  delete MainForm;
  MainForm = nullptr;
  TRegIniFile toolbars(kToolbarsKey);
  EXPECT_EQ(toolbars.ReadString("ToolBarSession", "DockRow", "<none>"), "2");

  OnLogonForm([](TLogOnForm* f) {  // the last user and alias are there already
    logontest::Type(f->PasswordEdit, "manager");
    logontest::Click(f->OKBtn);
  });
  ASSERT_EQ(Start(), -1);
  EXPECT_EQ(MainForm->ToolBarSession->DockRow(), 2);
  EXPECT_EQ(MainForm->ToolBarSession->DockPos(), 40);
  MainForm->ToolBarSession->SetDockRow(1);
  MainForm->nExitClick(nullptr);  // ends without saving anything
  EXPECT_EQ(TRegIniFile(kToolbarsKey).ReadString("ToolBarSession", "DockRow", "<none>"), "2");
}

TEST_F(MainFormTest, ANarrowedToolbarGivesItsRightmostButtonsToTheChevron) {
  LogonTo("system", "manager");
  ASSERT_EQ(Start(), -1);
  MainForm->Show();
  auto* owner = new TComponent(nullptr);
  TActionList* list = SessionActions(owner, {"aMonitor", "aAlarm", "aSound"});
  MainForm->RegisterSessionActions(list, nullptr);
  Application->ProcessMessages();
  TBarToolbar* bar = MainForm->ToolBarSession;
  TBarView* view = bar->View();
  auto clipped = [&] {
    std::string out;
    view->ValidatePositions();
    for (int i = 0; i < view->ViewerCount(); ++i)
      if (view->Viewers(i)->Clipped) out += (out.empty() ? "" : ",") + view->Viewers(i)->Item()->Caption();
    return out;
  };
  ASSERT_EQ(clipped(), "");
  // the window narrows until "Сеансы" has no room for all its buttons
  for (int width = MainForm->ClientWidth(); width > 200 && clipped().empty(); width -= 5) {
    MainForm->SetClientWidth(width);
    Application->ProcessMessages();
  }
  EXPECT_EQ(clipped(), "Sound") << "the rightmost button goes first";
  TBarItemViewer* chevron = view->Find(bar->Chevron());
  ASSERT_TRUE(chevron);
  EXPECT_TRUE(chevron->Show);
  EXPECT_GT(chevron->BoundsRect.Left, view->Find(bar->Items()->Items(1))->BoundsRect.Left)
      << "the chevron stands after the buttons left";
  const char* bin = std::getenv("TALVIK_BINARY_DIR");
  const std::string dir = std::string(bin ? bin : ".") + "/screenshots";
  std::filesystem::create_directories(dir);
  EXPECT_TRUE(talvik::gui::RenderWindowToPng(MainForm->Handle(), dir + "/app-main-window-narrowed.png"));
  MainForm->UnregisterSessionActions();
  delete owner;
}
