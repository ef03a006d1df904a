// The program itself under a real X server (run through xvfb-run -a), driven with xdotool as a user
// would: each test has its own settings folder and its own instance file, starts `talvik`, waits on
// window names and mapped states with time-outs, and checks what the instance and the store saw.
#include "E2EHarness.h"

using e2e::Output;
using e2e::WaitFor;
using e2e::WindowNamed;
using E2E = e2e::ProgramTest;

TEST_F(E2E, FirstLogonPrefilledAWrongPasswordThenTheRightOne) {
  Prefill("SYSTEM", "SIM");
  Start();
  std::string logon = Await("Oracle Logon");
  ASSERT_FALSE(logon.empty()) << "no logon dialog";
  // the user and the alias are there: only the password is typed
  Type(logon, "wrong");
  Keys(logon, "Return");
  std::string error;
  ASSERT_TRUE(WaitFor([&] { return !(error = WindowNamed("Talvik")).empty() && error != logon; }))
      << "no error box";
  Keys(error, "Return");  // the ORA-01017 box
  logon = Await("Oracle Logon");
  ASSERT_FALSE(logon.empty()) << "the dialog did not come back";
  Keys(logon, "ctrl+a BackSpace");
  Type(logon, "manager");
  Keys(logon, "Return");
  std::string main = Await("Talvik for Oracle");
  ASSERT_FALSE(main.empty()) << "no main window";
  EXPECT_EQ(Output("xdotool getwindowname " + main), "Talvik for Oracle -  [SYSTEM@SIM] ");
  std::string geometry = Output("xwininfo -id " + main + " | grep -E 'Width|Height' | tr -d ' '");
  EXPECT_NE(geometry.find("Width:800"), std::string::npos) << geometry;
  EXPECT_EQ(SessionOf("SYSTEM"), "Talvik");
  Picture("main-window");
}

TEST_F(E2E, EscapeInTheLogonDialogEndsTheProgramWithNothingWritten) {
  Start();
  std::string logon = Await("Oracle Logon");
  ASSERT_FALSE(logon.empty()) << "no logon dialog";
  Keys(logon, "Escape");
  EXPECT_EQ(Exit(), 0);
  EXPECT_EQ(Settings().find("LastLogon"), std::string::npos);
}
