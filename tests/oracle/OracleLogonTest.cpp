// The logon dialog against the simulated instance (alias SIM): logons as typed and chosen from the
// history, retries, expired and expiring passwords, the automatic logon, Ctrl held on confirming;
// the select form; screenshots of both forms.
#include <fstream>

#include "OracleLogonTestSupport.h"
#include "oracle/OracleQuery.h"

using namespace logontest;
using talvik::gui::InjectKey;
using talvik::gui::ShiftKeys;

namespace {

const TLogonOptions kFullDialog{ldDatabase, ldDatabaseList, ldConnectAs};

std::string ConnectedUser(TOracleSession* Session) {
  TOracleQuery q(nullptr);
  q.SetSession(Session);
  q.SQL()->SetText("select user from dual");
  q.Execute();
  return q.FieldAsString(0);
}

// A picture for the dialog's left column: a stack of disks.
void DrawPicture(TPicture* Picture) {
  TBitmap* b = Picture->Bitmap();
  b->SetSize(48, 64);
  TCanvas* c = b->Canvas();
  c->Brush()->SetColor(clBtnFace);
  c->FillRect(Rect(0, 0, 48, 64));
  c->Pen()->SetColor(clNavy);
  for (int i = 0; i < 3; ++i) {
    c->Brush()->SetColor(i == 0 ? clTeal : clAqua);
    c->Rectangle(4, 40 - i * 16, 44, 58 - i * 16);
    c->Ellipse(4, 34 - i * 16, 44, 46 - i * 16);
  }
}

struct Account {
  const char* name;
  const char* user;
  const char* password;
  int roleKeys;  // VK_DOWN presses on the role list
  TConnectAsOption role;
  const char* connectedAs;  // empty: not asked (the instance names a SYSDBA session its own way)
};

class LogonAccounts : public LogonDialogTest, public ::testing::WithParamInterface<Account> {};

}  // namespace

TEST_P(LogonAccounts, LogOnThroughTheDialogWithAliasAndRoleLists) {
  const Account& a = GetParam();
  logon->SetOptions(kFullDialog);
  OnLogonForm([&](TLogOnForm* f) {
    EXPECT_TRUE(f->AliasList->Visible());
    EXPECT_FALSE(f->DatabaseEdit->Visible());
    EXPECT_TRUE(f->CAPanel->Visible());  // the handle-based calls are there
    Type(f->UsernameEdit, a.user);
    Type(f->PasswordEdit, a.password);
    EXPECT_EQ(SendMessage(f->AliasList->Handle(), CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                          reinterpret_cast<LPARAM>("sim")),
              f->AliasList->Items()->IndexOf("SIM"));
    SendMessage(f->AliasList->Handle(), CB_SELECTSTRING, static_cast<WPARAM>(-1),
                reinterpret_cast<LPARAM>("SI"));
    f->ConnectAsList->SetFocus();
    for (int i = 0; i < a.roleKeys; ++i) Key(VK_DOWN);
    Key(VK_RETURN, U'\r');
  });
  EXPECT_TRUE(logon->Execute());
  ASSERT_TRUE(session->Connected());
  EXPECT_EQ(session->LogonDatabase(), "SIM");
  EXPECT_EQ(session->ConnectAs(), a.role);
  if (*a.connectedAs) {
    EXPECT_EQ(ConnectedUser(session.get()), a.connectedAs);
  }
  EXPECT_TRUE(boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Users, LogonAccounts,
                         ::testing::Values(Account{"Scott", "scott", "tiger", 0, caNormal, "SCOTT"},
                                           Account{"System", "SYSTEM", "MANAGER", 0, caNormal, "SYSTEM"},
                                           Account{"SystemAsSysdba", "system", "manager", 1, caSYSDBA, ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LogonDialogTest, AWrongPasswordIsOfferedAgainUntilTheRetriesAreSpent) {
  logon->SetOptions(TLogonOptions{ldDatabase});
  logon->SetRetries(2);
  session->SetLogonDatabase("SIM");
  for (int i = 0; i < 3; ++i) LogonWith("scott", "wrong");
  EXPECT_TRUE(logon->Execute());  // confirmed, though not connected
  EXPECT_FALSE(session->Connected());
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0], "Oracle Logon|||SIM|Normal");
  EXPECT_EQ(shown[1], "Oracle Logon|scott|wrong|SIM|Normal");  // refilled from the session
  ASSERT_EQ(boxes.size(), 3u);
  for (const Box& b : boxes) EXPECT_EQ(b.text.rfind("ORA-01017", 0), 0u) << b.text;
  // Cancel answers false and shows no message.
  OnLogonForm([](TLogOnForm* f) { Click(f->CancelBtn); });
  EXPECT_FALSE(logon->Execute());
  EXPECT_EQ(boxes.size(), 3u);
}

TEST_F(LogonDialogTest, AnExpiredPasswordIsChangedAndAMismatchAsksAgain) {
  logon->SetOptions(TLogonOptions{ldDatabase});
  session->SetLogonDatabase("SIM");
  LogonWith("expired", "expired");
  Then("TLogOnForm", [](TCustomForm* f) {
    auto* form = static_cast<TLogOnForm*>(f);
    EXPECT_EQ(form->Caption(), "Your password has expired");
    EXPECT_EQ(form->Label1->Caption(), "New password");
    EXPECT_EQ(form->Label2->Caption(), "Verification");
    EXPECT_EQ(form->UsernameEdit->PasswordChar(), U'*');
    EXPECT_FALSE(form->DBPanel->Visible());
    EXPECT_FALSE(form->CAPanel->Visible());
    Type(form->UsernameEdit, "one");
    Type(form->PasswordEdit, "two");
    EXPECT_TRUE(
        talvik::gui::RenderWindowToPng(form->Handle(), ScreenshotDir() + "/logon-change-password.png"));
    Click(form->OKBtn);
  });
  ChangePasswordWith("Renewed", "RENEWED");  // compared without regard to case
  EXPECT_TRUE(logon->Execute());
  ASSERT_TRUE(session->Connected());
  EXPECT_EQ(ConnectedUser(session.get()), "EXPIRED");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Verification failed");
  // The new password is the second field's text.
  TOracleSession again(nullptr);
  again.SetLogonUsername("expired");
  again.SetLogonPassword("RENEWED");
  again.SetLogonDatabase("SIM");
  again.LogOn();
  EXPECT_TRUE(again.Connected());
}

class LogonWarning : public LogonDialogTest, public ::testing::WithParamInterface<bool> {};

TEST_P(LogonWarning, AnExpiringPasswordAsksWhetherToChangeItNow) {
  bool yes = GetParam();
  logon->SetOptions(TLogonOptions{ldDatabase});
  session->SetLogonDatabase("SIM");
  LogonWith("expiring", "expiring");
  answers.push_back(yes ? IDYES : IDNO);
  if (yes) ChangePasswordWith("fresh", "fresh");
  EXPECT_TRUE(logon->Execute());
  ASSERT_TRUE(session->Connected());
  ASSERT_GE(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].type & 0xF, static_cast<UINT>(MB_YESNO));
  EXPECT_EQ(boxes[0].caption, "Confirm");
  EXPECT_NE(boxes[0].text.find("ORA-28002"), std::string::npos);
  EXPECT_EQ(boxes[0].text.substr(boxes[0].text.size() - 42), "\r\nDo you wish to change your password now?");
  EXPECT_EQ(shown.size(), yes ? 2u : 1u);
  EXPECT_EQ(session->LogonPassword(), yes ? "fresh" : "expiring");
}

INSTANTIATE_TEST_SUITE_P(Answers, LogonWarning, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Yes" : "No"; });

class AutomaticLogon : public LogonDialogTest, public ::testing::WithParamInterface<bool> {};

TEST_P(AutomaticLogon, RunsOnceWithoutAWindowThenTheDialogShows) {
  if (GetParam()) {
    SetCommandLine(std::vector<std::string>{"talvik", "UserId=scott/tiger@SIM"});
  } else {
    session->SetLogonUsername("scott");
    session->SetLogonPassword("tiger");
    session->SetLogonDatabase("SIM");
  }
  logon->SetOptions(TLogonOptions{ldAuto, ldDatabase});
  EXPECT_TRUE(logon->Execute());
  EXPECT_TRUE(session->Connected());
  EXPECT_TRUE(shown.empty());
  EXPECT_EQ(session->LogonUsername(), "scott");
  EXPECT_EQ(session->LogonDatabase(), "SIM");
  EXPECT_FALSE(logon->Options().Contains(ldAuto));
  session->LogOff();
  OnLogonForm([](TLogOnForm* f) { Click(f->CancelBtn); });
  EXPECT_FALSE(logon->Execute());
  EXPECT_EQ(shown, std::vector<std::string>{"Oracle Logon|scott|tiger|SIM|Normal"});
}

INSTANTIATE_TEST_SUITE_P(From, AutomaticLogon, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "CommandLine" : "Session"; });

TEST_F(LogonDialogTest, ConfirmingWithCtrlHeldLeavesTheHistoryAlone) {
  logon->SetOptions(TLogonOptions{ldDatabase, ldLogonHistory});
  logon->SetHistoryIniFile("logon.ini");
  OnLogonForm([](TLogOnForm* f) {
    Type(f->UsernameEdit, "scott");
    Type(f->PasswordEdit, "tiger");
    Type(f->DatabaseEdit, "SIM");
    InjectKey(VK_CONTROL, true, 0, ShiftKeys{false, true, false});
    InjectKey(VK_RETURN, true, 0, ShiftKeys{false, true, false});
    InjectKey(VK_RETURN, false, 0, ShiftKeys{false, true, false});
  });
  EXPECT_TRUE(logon->Execute());
  InjectKey(VK_CONTROL, false, 0, {});
  Drain();
  EXPECT_TRUE(session->Connected());
  EXPECT_EQ(LogonHistory()->Count(), 0);
  // Enter alone: the logon goes on top of the history, which is saved.
  session->LogOff();
  OnLogonForm([](TLogOnForm* f) {
    EXPECT_TRUE(f->HistoryBtn->Visible());
    EXPECT_FALSE(f->HistoryBtn->Enabled());  // nothing to choose yet
    EXPECT_EQ(f->ActiveControl(), f->PasswordEdit);
    Key(VK_RETURN, U'\r');
  });
  EXPECT_TRUE(logon->Execute());
  EXPECT_TRUE(session->Connected());
  THistoryItems stored;
  LoadHistoryIni(&stored, "logon.ini");
  ASSERT_EQ(stored.Count(), 1);
  EXPECT_EQ(stored.GetItem(0)->DisplayText(), "scott@SIM");
  EXPECT_EQ(stored.GetItem(0)->Password(), "");  // kept only when asked
}

TEST_F(LogonDialogTest, ChoosingAHistoryEntryWithAPasswordFillsTheFieldsAndLogsOnAtOnce) {
  THistoryItems seed;
  seed.SetWithPassword(true);
  AddHistory(&seed, "system", "manager", false, "SYSDBA", "SIM");
  AddHistory(&seed, "scott", "tiger", false, "", "SIM");
  ASSERT_TRUE(SaveHistoryIni(&seed, "logon.ini"));
  logon->SetOptions(TLogonOptions{ldDatabase, ldDatabaseList, ldConnectAs, ldLogonHistory});
  logon->SetHistoryIniFile("logon.ini");
  logon->SetHistoryWithPassword(true);
  DrawPicture(logon->Picture());
  std::vector<std::string> menu;
  std::string alias;
  TLogOnForm* form = nullptr;
  int hook = Application->HookMainWindow([&](TMessage& m) {
    if (m.Msg != WM_ENTERIDLE || !menu.empty()) return false;
    // What the keys did before the click, and how the dialog and its open menu look.
    alias = form->AliasList->Text();
    EXPECT_TRUE(talvik::gui::RenderWindowToPng(form->Handle(), ScreenshotDir() + "/logon-dialog.png"));
    EXPECT_TRUE(
        talvik::gui::RenderScreenToPng(ScreenshotDir() + "/logon-history-menu.png", Rect(0, 0, 1024, 728)));
    for (HWND w : OpenMenuWindows()) menu.push_back(std::to_string(IsWindowVisible(w)));
    Key(VK_DOWN);  // the first entry: system as SYSDBA
    Key(VK_RETURN);
    return true;
  });
  OnLogonForm([&](TLogOnForm* f) {
    form = f;
    EXPECT_TRUE(f->LogonImage->Visible());
    EXPECT_EQ(f->LogonImage->Width(), 48 + 4 * 8);  // the picture and four margins
    EXPECT_EQ(f->EditPanel->Left(), 48 + 4 * 8);
    EXPECT_TRUE(f->HistoryBtn->Enabled());
    f->AliasList->SetFocus();
    Key(VK_DOWN);  // the alias list's keys choose SIM
    Type(f->UsernameEdit, "someone");
    Click(f->HistoryBtn);
  });
  EXPECT_TRUE(logon->Execute());
  Application->UnhookMainWindow(hook);
  EXPECT_EQ(menu, std::vector<std::string>{"1"});
  EXPECT_EQ(alias, "SIM");
  ASSERT_EQ(shown.size(), 1u);
  ASSERT_TRUE(session->Connected());
  EXPECT_EQ(session->ConnectAs(), caSYSDBA);
  EXPECT_EQ(session->LogonUsername(), "system");
  THistoryItems stored;
  stored.SetWithPassword(true);
  LoadHistoryIni(&stored, "logon.ini");
  ASSERT_EQ(stored.Count(), 2);
  EXPECT_EQ(stored.GetItem(0)->DisplayText(), "system@SIM as SYSDBA");  // moved to the top
  EXPECT_EQ(stored.GetItem(0)->Password(), "manager");
}

TEST_F(LogonDialogTest, RowsHideAndThePasswordOnlyDialogLocksTheRest) {
  TLogonOptions options{ldPasswordOnly, ldLogonHistory, ldConnectAs};
  session->SetLogonUsername("scott");
  AddHistory(LogonHistory(), "scott", "", true, "", "SIM");
  int fullHeight = 0;
  {
    TLogOnForm full(nullptr);
    fullHeight = full.ClientHeight();
  }
  OnLogonForm([&](TLogOnForm* f) {
    EXPECT_FALSE(f->DBPanel->Visible());  // no ldDatabase
    EXPECT_TRUE(f->CAPanel->Visible());
    EXPECT_EQ(f->CAPanel->Top(), 2 * f->DBPanel->Height());
    EXPECT_EQ(f->ClientHeight(), fullHeight - f->DBPanel->Height());
    EXPECT_FALSE(f->UsernameEdit->Enabled());  // a user is given
    EXPECT_FALSE(f->ConnectAsList->Enabled());
    EXPECT_FALSE(f->HistoryBtn->Enabled());
    EXPECT_EQ(f->ActiveControl(), f->PasswordEdit);
    Click(f->CancelBtn);
  });
  EXPECT_FALSE(LogonDialog(session.get(), 2, 8, nullptr, options));
  EXPECT_THROW(LogonDialog(nullptr, 2, 8, nullptr, options), Exception);
  EXPECT_THROW(ChangePasswordDialog(nullptr, "x", nullptr), Exception);
  TOracleLogon none(nullptr);
  EXPECT_FALSE(none.Execute());
}

TEST_F(LogonDialogTest, ASessionFreedWhileADialogShowsEndsTheDialog) {
  logon->SetOptions(TLogonOptions{ldDatabase});
  OnLogonForm([this](TLogOnForm* f) {
    Type(f->UsernameEdit, "scott");
    session.reset();
    Click(f->OKBtn);
  });
  EXPECT_FALSE(logon->Execute());
  EXPECT_EQ(logon->Session(), nullptr);
  // The same while the password change shows after an expired logon.
  session = std::make_unique<TOracleSession>(nullptr);
  session->SetLogonDatabase("SIM");
  logon->SetSession(session.get());
  LogonWith("expired", "expired");
  Then("TLogOnForm", [this](TCustomForm* f) {
    Type(static_cast<TLogOnForm*>(f)->UsernameEdit, "new");
    Type(static_cast<TLogOnForm*>(f)->PasswordEdit, "new");
    session.reset();
    Click(static_cast<TLogOnForm*>(f)->OKBtn);
  });
  EXPECT_TRUE(logon->Execute());  // the logon was confirmed once
  EXPECT_EQ(logon->Session(), nullptr);
}

// ---- The class library's user interface -------------------------------------------------------------

TEST_F(LogonDialogTest, TheClassLibraryInterfaceShowsConfirmationsCursorsAndErrors) {
  talvik::gui::SetMessageBoxHandler(nullptr);  // the real message dialogs
  std::vector<std::vector<std::string>> buttons;
  std::vector<std::string> captions;
  auto answerWithEscape = [&](TCustomForm* f) {
    captions.push_back(f->Caption());
    buttons.emplace_back();
    for (int i = 0; i < f->ComponentCount(); ++i)
      if (auto* b = dynamic_cast<TButton*>(f->Components(i)))
        buttons.back().push_back(StripHotkey(b->Caption()));
    Key(VK_ESCAPE, 27);
  };
  for (int i = 0; i < 3; ++i) Then("", answerWithEscape);
  EXPECT_EQ(ShowMessageDialog("Sure?", "YNC"), oracle_ui::mrCancel);
  EXPECT_EQ(ShowMessageDialog("Sure?", "NY"), oracle_ui::mrNo);
  EXPECT_EQ(ShowMessageDialog("Sure?", "YN"), oracle_ui::mrNo);
  ASSERT_EQ(buttons.size(), 3u);
  EXPECT_EQ(buttons[0].size(), 3u);
  EXPECT_EQ(buttons[1], buttons[2]);
  EXPECT_EQ(buttons[1].size(), 2u);
  EXPECT_EQ(captions[0], "Confirm");

  SetScreenCursor(oracle_ui::crHourGlass);
  EXPECT_EQ(Screen->Cursor(), crHourGlass);
  EXPECT_EQ(GetScreenCursor(), crHourGlass);
  SetScreenCursor(oracle_ui::crDefault);

  std::vector<std::string> errors;
  Application->OnException = [&](TObject*, const Exception& e) { errors.push_back(e.Message()); };
  try {
    throw EOracleError("ORA-00054: resource busy", 54);
  } catch (...) {
    HandleApplicationException(nullptr);
  }
  Application->OnException = nullptr;
  EXPECT_EQ(errors, std::vector<std::string>{"ORA-00054: resource busy"});

  int before = ApplicationComponentCount();
  auto* form = new TForm(Application);
  EXPECT_EQ(ApplicationComponentCount(), before + 1);
  EXPECT_EQ(ApplicationComponent(before), form);
  delete form;
  EXPECT_EQ(ApplicationComponentCount(), before);
  EXPECT_EQ(ApplicationComponent(before), nullptr);
}

// ---- The select form --------------------------------------------------------------------------------

namespace {

struct Choice {
  const char* name;
  std::function<void(TOracleSelectForm*)> act;
  bool result;
  int index;
  bool readOnly;
};

class SelectForm : public LogonDialogTest, public ::testing::WithParamInterface<Choice> {};

}  // namespace

TEST_P(SelectForm, ReturnsTheChosenColumn) {
  TStringList columns;
  for (const char* c : {"PHONES", "ADDRESSES", "ORDERS"}) columns.Add(c);
  const Choice& choice = GetParam();
  Then("TOracleSelectForm", [&](TCustomForm* f) {
    auto* form = static_cast<TOracleSelectForm*>(f);
    EXPECT_EQ(form->Caption(), "Select Master Collection Column for Detail Dataset");
    EXPECT_EQ(form->CollListBox->ItemIndex(), 0);
    EXPECT_TRUE(form->CollReadOnlyCheck->Checked());
    EXPECT_EQ(form->PageControl->ActivePage(), form->CollSheet);
    if (std::string(choice.name) == "DoubleClick") {
      EXPECT_TRUE(talvik::gui::RenderWindowToPng(form->Handle(), ScreenshotDir() + "/select-form.png"));
    }
    choice.act(form);
  });
  int index = 7;
  bool readOnly = true;
  EXPECT_EQ(SelectMasterCollectionColumn(&columns, index, readOnly), choice.result);
  EXPECT_EQ(index, choice.index);
  EXPECT_EQ(readOnly, choice.readOnly);
}

INSTANTIATE_TEST_SUITE_P(Choices, SelectForm,
                         ::testing::Values(Choice{"DoubleClick",
                                                  [](TOracleSelectForm* f) {
                                                    TRect r = f->CollListBox->ItemRect(2);
                                                    LPARAM at = MAKELPARAM(r.Left + 5, r.Top + 3);
                                                    HWND h = f->CollListBox->Handle();
                                                    PostMessage(h, WM_LBUTTONDOWN, MK_LBUTTON, at);
                                                    PostMessage(h, WM_LBUTTONUP, 0, at);
                                                    PostMessage(h, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
                                                    PostMessage(h, WM_LBUTTONUP, 0, at);
                                                  },
                                                  true, 2, true},
                                           Choice{"OKWithoutReadOnly",
                                                  [](TOracleSelectForm* f) {
                                                    f->CollListBox->SetFocus();
                                                    Key(VK_DOWN);
                                                    Click(f->CollReadOnlyCheck, 5, 5);
                                                    Click(f->OKBtn);
                                                  },
                                                  true, 1, false},
                                           Choice{"Cancel", [](TOracleSelectForm*) { Key(VK_ESCAPE, 27); },
                                                  false, -1, false}),
                         [](const auto& info) { return std::string(info.param.name); });
