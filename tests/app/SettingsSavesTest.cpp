// How often the program writes its settings file: the values each step of a session writes together
// (the logon's history; the close's window place, toolbars, columns and alarms) reach the file in one
// save, and all of them are there afterwards.
#include <gtest/gtest.h>

#include "SessionFormTestSupport.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"
#include "rtl/FileSaves.h"
#include "toolbar/BarToolbar.h"

namespace sessiontest {
namespace {

class SettingsSavesTest : public SessionFormTest {
 protected:
  static std::string SettingsFile() { return GetEnvironmentVariable("XDG_CONFIG_HOME") + "/talvik/HKCU.reg"; }
  // What a user changes in a session: the main window's place, a toolbar, the session grid's columns
  // and the alarm settings.
  void ChangeWhatASessionChanges() {
    MainForm->SetBounds(40, 30, 900, 650);
    MainForm->ToolBarSession->SetDockRow(2);
    MainForm->ToolBarSession->SetDockPos(40);
    form->dbgSession->Columns()->Items(1)->SetWidth(123);
    form->aAlarm->Execute();
    form->seActiveCount->SetValue(7);
  }
  // The queue after the main window closed: the program would end here.
  static void DrainQueue() {
    FreeReleasedForms();
    MSG m;
    while (PeekMessage(m, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
};

TEST_F(SettingsSavesTest, ClosingTheProgramWritesEverySettingInOneSave) {
  AddFixtureSessions();
  Open();
  ChangeWhatASessionChanges();
  const std::string column = form->dbgSession->Columns()->Items(1)->FieldName();
  TFileSaveCounter saves(SettingsFile());
  MainForm->Close();
  form = nullptr;  // the main window closed it: it is freed with the queue
  EXPECT_EQ(saves.Count(), 1);
  DrainQueue();
  EXPECT_EQ(Stored("LastLogon", "UserName"), "SYSTEM");
  EXPECT_EQ(Stored("MainForm", "Left") + "," + Stored("MainForm", "Top") + "," + Stored("MainForm", "Width") +
                "," + Stored("MainForm", "Height"),
            "40,30,900,650");
  EXPECT_EQ(Stored("Toolbars\\ToolBarSession", "DockRow"), "2");
  EXPECT_EQ(ExtractWord(2, Stored("TSessionFormdbgSession", "dbgSession." + column), ","), "123");
  EXPECT_EQ(Stored("", "Alarm"), "1");
  EXPECT_EQ(Stored("", "AlarmActiveCount"), "7");
}

TEST_F(SettingsSavesTest, ClosingTheSessionWindowWritesItsSettingsInOneSave) {
  AddFixtureSessions();
  Open();
  ChangeWhatASessionChanges();
  TFileSaveCounter saves(SettingsFile());
  form->Close();
  form = nullptr;
  FreeReleasedForms();
  EXPECT_EQ(saves.Count(), 1);
  EXPECT_EQ(Stored("", "AlarmActiveCount"), "7");
  EXPECT_EQ(Stored("MainForm", "Left"), "<none>") << "the main window is still open";
}

// The session window closed on its own when its settings cannot be written: it closes all the same,
// and what could not be saved waits for the one box at the program's close.
TEST_F(SettingsSavesTest, TheSessionWindowClosesThoughItsSettingsCannotBeWritten) {
  AddFixtureSessions();
  Open();
  ChangeWhatASessionChanges();
  SetAtomicSaveHook([](const std::string&) { throw EOSError("the disk is full"); });
  const TScopeExit saveAgain([] { SetAtomicSaveHook(nullptr); });
  EXPECT_NO_THROW(form->Close());
  form = nullptr;
  FreeReleasedForms();
  EXPECT_EQ(MainForm->ActiveMDIChild(), nullptr) << "the session window stays";
  EXPECT_EQ(ReadFileContent(SettingsFile()).value_or("").find("AlarmActiveCount"), std::string::npos);
  EXPECT_EQ(Stored("", "AlarmActiveCount"), "7") << "kept for a later save";
  TakeBoxes();
  MainForm->Close();
  DrainQueue();
  const auto shown = TakeBoxes();
  ASSERT_EQ(shown.size(), 1u) << "the program's close tells what was not saved in one box";
  EXPECT_NE(shown[0].find("Настройки не сохранены"), std::string::npos) << shown[0];
}

// A logon keeps the history of logons: every entry is written again, in one save.
TEST_F(SettingsSavesTest, ALogonWritesTheHistoryInOneSave) {
  for (const char* user : {"scott", "hr", "oe"}) AddHistory(LogonHistory(), user, "", true, "", "SIM");
  ASSERT_TRUE(SaveHistoryReg(LogonHistory(), kLogonHistoryKey));
  LogonWith("system", "manager");
  TFileSaveCounter saves(SettingsFile());
  MainForm->aLogin->Execute();
  EXPECT_EQ(saves.Count(), 1);
  LogonHistory()->Clear();
  LoadHistoryReg(LogonHistory(), kLogonHistoryKey);
  std::vector<std::string> stored;
  for (int i = 0; i < LogonHistory()->Count(); ++i)
    stored.push_back(LogonHistory()->GetItem(i)->DisplayText());
  EXPECT_EQ(stored, (std::vector<std::string>{"system", "oe@SIM", "hr@SIM", "scott@SIM"}));
}

}  // namespace
}  // namespace sessiontest
