// The options dialog from the main window's "Настройка": what it shows from the settings store, what
// "Ok" writes and applies to the tray icon and the session window, and that "Отмена" changes nothing.
#include <gtest/gtest.h>

#include "SessionFormTestSupport.h"
#include "app/OptionF.h"
#include "editor/CodeEdit.h"
#include "oracle/Oracle.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/RegistryStore.h"
#include "platform/rtl/ScopeExit.h"
#include "rtl/FileSaves.h"

namespace sessiontest {
namespace {

class OptionsFormTest : public SessionFormTest {
 protected:
  void SetUp() override {
    SessionFormTest::SetUp();
    DataBase = "SIM";
    MainForm->SetBounds(100, 50, 900, 650);
    MainForm->Show();
  }
  static void StoreSql(const std::string& Alias, const std::string& Sql) {
    TRegIniFile ini(kSettingsKey);
    ini.WriteString("CustomInfo\\" + Alias, "SQL", Sql);
  }
  // "interval|tray|sql" as the dialog shows them.
  static std::string Shown(TOptionsForm* f) {
    return std::to_string(f->seIntervalAutoRefresh->Value()) + "|" + (f->cbTrayIcon->Checked() ? "1" : "0") +
           "|" + f->seCustom->Text();
  }
  // Runs the options action; Act gets the dialog once it shows.
  void Options(std::function<void(TOptionsForm*)> Act) {
    bool ran = false;
    Then("TOptionsForm", [&](TCustomForm* f) {
      ran = true;
      Act(static_cast<TOptionsForm*>(f));
    });
    MainForm->aOptions->Execute();
    EXPECT_TRUE(ran) << "the dialog did not show";
  }
  // New values typed into the dialog.
  static void Change(TOptionsForm* f, const std::string& Interval, bool Tray, const std::string& Sql) {
    logontest::Type(f->seIntervalAutoRefresh, Interval);
    f->cbTrayIcon->SetChecked(Tray);
    f->seCustom->SetText(Sql);
  }
  struct Tray {
    bool enabled, visible, minimize;
    bool operator==(const Tray&) const = default;
  };
  static Tray TrayState() {
    TSysTrayIcon* t = MainForm->SysTrayIcon;
    return {t->Enabled(), t->IconVisible(), t->MinimizeToTray()};
  }
};

TEST_F(OptionsFormTest, TheDialogIsLaidOutAsADialogCentredOnTheMainWindow) {
  Open();
  Options([&](TOptionsForm* f) {
    EXPECT_EQ(f->Caption(), "Настройка");
    EXPECT_EQ(f->BorderStyle(), bsDialog);
    EXPECT_EQ(f->ClientWidth(), 482);
    EXPECT_EQ(f->ClientHeight(), 400);
    const int mainCentreX = MainForm->Left() + MainForm->Width() / 2;
    const int mainCentreY = MainForm->Top() + MainForm->Height() / 2;
    const int centreX = f->Left() + f->Width() / 2, centreY = f->Top() + f->Height() / 2;
    EXPECT_LE(std::abs(centreX - mainCentreX), 1);
    EXPECT_LE(std::abs(centreY - mainCentreY), 1);
    EXPECT_EQ(f->PageControl->Height(), 369);
    EXPECT_EQ(f->tsGeneral->Caption(), "Общие");
    EXPECT_EQ(f->tsCustom->Caption(), "Дополнительная");
    EXPECT_EQ(f->lInterval->Caption(), "Интервал автообновления (сек.) : ");
    EXPECT_EQ(f->cbTrayIcon->Caption(), "Отображать в панели задач.");
    EXPECT_EQ(f->lSql->Caption(), "SQL запрос:");
    EXPECT_EQ(f->seIntervalAutoRefresh->MinValue(), 0);
    EXPECT_EQ(f->seIntervalAutoRefresh->MaxValue(), 0);
    // the buttons at the bottom right, "Ok" left of "Отмена"
    EXPECT_EQ(f->bOk->Caption(), "Ok");
    EXPECT_EQ(f->bOk->ModalResult(), mrOk);
    EXPECT_EQ(f->bCancel->Caption(), "Отмена");
    EXPECT_EQ(f->bCancel->ModalResult(), mrCancel);
    EXPECT_EQ(f->bOk->Cursor(), crHandPoint);
    EXPECT_EQ(f->bCancel->Cursor(), crHandPoint);
    EXPECT_LT(f->bOk->Left(), f->bCancel->Left());
    EXPECT_GT(f->bOk->Top(), f->PageControl->Top() + f->PageControl->Height());
    EXPECT_LE(f->bCancel->Left() + f->bCancel->Width(), f->ClientWidth());
    EXPECT_LE(f->bCancel->Top() + f->bCancel->Height(), f->ClientHeight());
    // the editor colours with the session window's highlighter once that window has one
    ASSERT_NE(f->CodeSQLHighlighter, nullptr);
    if (TComponent* shared = form->FindComponent("CodeSQLHighlighter")) {
      EXPECT_EQ(static_cast<void*>(f->CodeSQLHighlighter), static_cast<void*>(shared));
    }

    f->SetModalResult(mrCancel);
  });
}

TEST_F(OptionsFormTest, BothTabsArePictured) {
  Open();
  StoreSql("SIM", "SELECT 'Машина: ' || :MACHINE info -- the client's host\nFROM dual");
  Options([&](TOptionsForm* f) {
    talvik::gui::UpdateAllWindows(f->Handle());
    EXPECT_TRUE(
        talvik::gui::RenderWindowToPng(f->Handle(), logontest::ScreenshotDir() + "/options-general.png"));
    f->PageControl->SetActivePage(f->tsCustom);
    talvik::gui::UpdateAllWindows(f->Handle());
    EXPECT_TRUE(
        talvik::gui::RenderWindowToPng(f->Handle(), logontest::ScreenshotDir() + "/options-custom.png"));
    f->SetModalResult(mrCancel);
  });
}

TEST_F(OptionsFormTest, ShowsTheStoredSettingsAndTheQueryOfTheCurrentDatabase) {
  Open();
  Store("IntervalAutoRefresh", "12");
  Store("TrayIcon", "1");
  StoreSql("SIM", "SELECT 1 info FROM dual");
  StoreSql("OTHER", "SELECT 2 info FROM dual");
  Options([&](TOptionsForm* f) {
    EXPECT_EQ(Shown(f), "12|1|SELECT 1 info FROM dual");
    f->SetModalResult(mrCancel);
  });
  DataBase = "OTHER";
  Options([&](TOptionsForm* f) {
    EXPECT_EQ(Shown(f), "12|1|SELECT 2 info FROM dual");
    f->SetModalResult(mrCancel);
  });
  DataBase = "NONE";
  Options([&](TOptionsForm* f) {
    EXPECT_EQ(Shown(f), "12|1|");
    f->SetModalResult(mrCancel);
  });
}

TEST_F(OptionsFormTest, AnEmptyStoreShowsTheDefaults) {
  Open();
  Options([&](TOptionsForm* f) {
    EXPECT_EQ(Shown(f), "5|0|");
    f->SetModalResult(mrCancel);
  });
}

struct Confirm {
  const char* name;
  bool sessionWindow;
  bool ok;
  bool byClick;  // a click on the button, else Esc (cancel only)
};

class OptionsConfirmTest : public OptionsFormTest, public ::testing::WithParamInterface<Confirm> {};

TEST_P(OptionsConfirmTest, OkWritesInOneSaveAndAppliesOthersChangeNothing) {
  const Confirm& c = GetParam();
  Store("IntervalAutoRefresh", "7");
  Store("TrayIcon", "0");
  StoreSql("SIM", "SELECT 1 info FROM dual");
  if (c.sessionWindow) Open();
  const Tray trayBefore = TrayState();
  TFileSaveCounter saves(GetEnvironmentVariable("XDG_CONFIG_HOME") + "/talvik/HKCU.reg");
  Options([&](TOptionsForm* f) {
    Change(f, "-3", true, "SELECT :MACHINE info FROM dual");
    if (c.byClick)
      logontest::Click(c.ok ? f->bOk : f->bCancel);
    else
      SendMessage(f->Handle(), WM_KEYDOWN, VK_ESCAPE, 0), f->SetModalResult(mrCancel);
  });
  EXPECT_EQ(saves.Count(), c.ok ? 1 : 0);
  if (c.ok) {
    EXPECT_EQ(Stored("", "IntervalAutoRefresh"), "-3") << "stored as typed, however small";
    EXPECT_EQ(Stored("", "TrayIcon"), "1");
    EXPECT_EQ(Stored("CustomInfo\\SIM", "SQL"), "SELECT :MACHINE info FROM dual");
    EXPECT_EQ(TrayState(), (Tray{true, true, true}));
    if (c.sessionWindow) {
      EXPECT_EQ(form->IntervalAutoRefresh(), -3);
      EXPECT_EQ(form->CustomSql(), "SELECT :MACHINE info FROM dual");
    }
  } else {
    EXPECT_EQ(Stored("", "IntervalAutoRefresh"), "7");
    EXPECT_EQ(Stored("", "TrayIcon"), "0");
    EXPECT_EQ(Stored("CustomInfo\\SIM", "SQL"), "SELECT 1 info FROM dual");
    EXPECT_EQ(TrayState(), trayBefore);
    if (c.sessionWindow) {
      EXPECT_EQ(form->IntervalAutoRefresh(), 7);
      EXPECT_EQ(form->CustomSql(), "SELECT 1 info FROM dual");
    }
  }
  EXPECT_TRUE(TakeBoxes().empty());
}

const Confirm kConfirms[] = {
    {"OkWithTheSessionWindow", true, true, true},
    {"OkWithoutASessionWindowOnlyWrites", false, true, true},
    {"CancelButton", true, false, true},
    {"Escape", true, false, false},
};

INSTANTIATE_TEST_SUITE_P(Buttons, OptionsConfirmTest, ::testing::ValuesIn(kConfirms),
                         [](const auto& info) { return std::string(info.param.name); });

// "Ok" with a statement that is not a query: the dialog says so and stays open, nothing of it runs and
// nothing is stored or applied; "Отмена" then leaves.
TEST_F(OptionsFormTest, OkWithAStatementThatIsNoQueryIsRefusedAndNothingRuns) {
  Exec("CREATE TABLE H2PROBE (X NUMBER)");
  StoreSql("SIM", "SELECT 1 info FROM dual");
  Open();
  for (const char* sql : {"INSERT INTO H2PROBE VALUES (1)", "CREATE TABLE H2PROBE2 (X NUMBER)"}) {
    SCOPED_TRACE(sql);
    TakeBoxes();
    bool stayed = false;
    Then("TOptionsForm", [&](TCustomForm* f) {
      auto* o = static_cast<TOptionsForm*>(f);
      o->seCustom->SetText(sql);
      logontest::Click(o->bOk);
    });
    Then("TOptionsForm", [&](TCustomForm* f) {
      auto* o = static_cast<TOptionsForm*>(f);
      stayed = true;
      EXPECT_EQ(o->PageControl->ActivePage(), o->tsCustom);
      EXPECT_EQ(o->seCustom->Text(), sql);
      logontest::Click(o->bCancel);
    });
    MainForm->aOptions->Execute();
    EXPECT_TRUE(stayed) << "the dialog closed";
    EXPECT_EQ(TakeBoxes(), std::vector<std::string>{std::string("Talvik: ") + kCustomInfoNotAQuery});
    EXPECT_EQ(Stored("CustomInfo\\SIM", "SQL"), "SELECT 1 info FROM dual");
    EXPECT_EQ(form->CustomSql(), "SELECT 1 info FROM dual");
  }
  // (asked on the program's own connection, which sees what it did and has not committed)
  TOracleQuery rows(nullptr);
  rows.SetSession(MainForm->OracleSession);
  rows.SQL()->SetText("select count(*) from H2PROBE");
  rows.Execute();
  EXPECT_EQ(rows.Field(0).AsString(), "0");
  EXPECT_THROW(Query("select count(*) from H2PROBE2"), EOracleError);
}

class OptionsLockingQueryTest : public OptionsFormTest, public ::testing::WithParamInterface<LockingQuery> {};

// "Ok" with a query that locks the rows it reads: the dialog says so and stays open on its tab, nothing
// is stored or applied, and the query never reaches the instance (the program's session holds no lock);
// "Отмена" then leaves.
TEST_P(OptionsLockingQueryTest, OkIsRefusedAndTheQueryNeverRuns) {
  StoreSql("SIM", "SELECT 1 info FROM dual");
  Open();
  ClickSession(std::stoi(MonitorSid()));  // the panel shows, with its tab "Дополнительная"
  TakeBoxes();
  bool stayed = false;
  Then("TOptionsForm", [&](TCustomForm* f) {
    auto* o = static_cast<TOptionsForm*>(f);
    o->seCustom->SetText(GetParam().sql);
    logontest::Click(o->bOk);
  });
  Then("TOptionsForm", [&](TCustomForm* f) {
    auto* o = static_cast<TOptionsForm*>(f);
    stayed = true;
    EXPECT_EQ(o->PageControl->ActivePage(), o->tsCustom);
    const auto lines = [](std::string Text) {  // (the editor ends its lines with CR LF)
      std::erase(Text, '\r');
      return Text;
    };
    EXPECT_EQ(lines(o->seCustom->Text()), lines(GetParam().sql));
    logontest::Click(o->bCancel);
  });
  MainForm->aOptions->Execute();
  EXPECT_TRUE(stayed) << "the dialog closed";
  EXPECT_EQ(TakeBoxes(), std::vector<std::string>{std::string("Talvik: ") + kCustomInfoLocksRows});
  EXPECT_EQ(Stored("CustomInfo\\SIM", "SQL"), "SELECT 1 info FROM dual");
  EXPECT_EQ(form->CustomSql(), "SELECT 1 info FROM dual");
  EXPECT_TRUE(form->tsCustomInfo->TabVisible());
  form->aRefresh->Execute();
  EXPECT_EQ(RowLocksOf(MonitorSid()), 0);
  EXPECT_FALSE(InSharedPool(GetParam().sql));
}

INSTANTIATE_TEST_SUITE_P(Custom, OptionsLockingQueryTest, ::testing::ValuesIn(LockingQueries()),
                         [](const auto& i) { return std::string(i.param.name); });

TEST_F(OptionsFormTest, ClearingTheTrayBoxRemovesTheIconAndMinimisingToTheTray) {
  Store("TrayIcon", "1");
  MainForm->SysTrayIcon->SetEnabled(true);
  MainForm->SysTrayIcon->SetIconVisible(true);
  MainForm->SysTrayIcon->SetMinimizeToTray(true);
  Open();
  Options([&](TOptionsForm* f) {
    EXPECT_TRUE(f->cbTrayIcon->Checked());
    f->cbTrayIcon->SetChecked(false);
    logontest::Click(f->bOk);
  });
  EXPECT_EQ(TrayState(), (Tray{false, false, false}));
  EXPECT_EQ(Stored("", "TrayIcon"), "0");
}

// Options confirmed while the settings folder cannot be written (a full disk, a folder made immutable)
// take effect, no box says anything yet, and the dialog opened again shows them. Once the folder can
// be written again the close's one save stores them, and no box says they were not saved.
enum class TUnwritable { FullDisk, Immutable };

void PrintTo(TUnwritable Fault, std::ostream* Out) {
  *Out << (Fault == TUnwritable::FullDisk ? "AFullDisk" : "AnImmutableFolder");
}

class OptionsUnwritableTest : public OptionsFormTest, public ::testing::WithParamInterface<TUnwritable> {
 protected:
  static std::string Folder() { return GetEnvironmentVariable("XDG_CONFIG_HOME") + "/talvik"; }
  // The folder made unwritable; the reason to skip when it cannot be.
  static std::string MakeUnwritable() {
    if (GetParam() == TUnwritable::Immutable) return MakeImmutable(Folder(), true);
    SetAtomicSaveHook([](const std::string&) { throw ESaveFileError("x", "No space left on device"); });
    return "";
  }
  static void MakeWritable() {
    SetAtomicSaveHook(nullptr);
    MakeImmutable(Folder(), false);
  }
};

TEST_P(OptionsUnwritableTest, OptionsThatCouldNotBeSavedAreShownAgainAndTheCloseStoresThem) {
  Open();
  Store("IntervalAutoRefresh", "5");
  const TScopeExit writable([] { MakeWritable(); });
  if (const std::string skipped = MakeUnwritable(); !skipped.empty()) GTEST_SKIP() << skipped;
  Options([&](TOptionsForm* f) {
    Change(f, "12", true, "select 1 info from dual");
    logontest::Click(f->bOk);
  });
  EXPECT_EQ(TakeBoxes(), std::vector<std::string>());
  EXPECT_EQ(TrayState(), (Tray{true, true, true}));
  EXPECT_EQ(form->IntervalAutoRefresh(), 12);
  Options([&](TOptionsForm* f) {
    EXPECT_EQ(Shown(f), "12|1|select 1 info from dual");
    logontest::Click(f->bOk);  // confirmed again as shown
  });
  EXPECT_EQ(form->IntervalAutoRefresh(), 12);
  const std::string file = Folder() + "/HKCU.reg";
  EXPECT_EQ(ReadFileContent(file).value_or("").find("IntervalAutoRefresh\"=\"12"), std::string::npos);
  MakeWritable();
  MainForm->Close();  // closes and releases the session window first
  form = nullptr;
  EXPECT_EQ(TakeBoxes(), std::vector<std::string>());
  talvik::registry::ResetHives();  // read from the file
  EXPECT_EQ(Stored("", "IntervalAutoRefresh"), "12");
  EXPECT_EQ(Stored("", "TrayIcon"), "1");
  EXPECT_EQ(Stored("CustomInfo\\SIM", "SQL"), "select 1 info from dual");
  EXPECT_EQ(Stored("LastLogon", "UserName"), "SYSTEM");
}

INSTANTIATE_TEST_SUITE_P(Folders, OptionsUnwritableTest,
                         ::testing::Values(TUnwritable::FullDisk, TUnwritable::Immutable),
                         [](const auto& info) { return ::testing::PrintToString(info.param); });

}  // namespace
}  // namespace sessiontest
