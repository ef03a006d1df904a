// The program's end while its windows still stand: the toolkit ends the program with exit(1) when its
// display goes away, and the statics that hold windows (the shared timer window, the tray icons'
// window, a hint) are destroyed in the static destruction after it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "SanitizerReport.h"
#include "app/SimpleTimer.h"
#include "app/SysTrayIcon.h"
#include "platform/gui/Forms.h"
#include "platform/gui/OleAcc.h"
#include "platform/gui/WinManager.h"

namespace {

using sanitizertest::NoSanitizerReport;

// The windows' objects, as the desktop's accessibility service asks for them.
void AskForTheObjectOf(HWND Window) {
  for (int id : {OBJID_WINDOW, OBJID_CLIENT}) {
    TAccObjectRef object;
    ASSERT_EQ(AccessibleObjectFromWindow(Window, id, object), S_OK);
  }
}

// The toolkit's exit(1) while statics hold their windows, whose accessible objects were asked for:
// the program ends with that code, and no sanitizer finds a fault in its end.
TEST(ProgramEnd, TheToolkitsExitWhileStaticsHoldWindowsEndsCleanly) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh program, started as the program starts
  EXPECT_EXIT(
      {
        talvik::gui::UseQtBackend();
        CreateApplication();
        // the windows made in the order a running program makes them: the timers' shared window
        // first, then the tray icon's, then a hint the program keeps in a static of its own
        static auto* timer = new TSimpleTimer(nullptr, [](void*) {});
        timer->Start(1000);
        auto* tray = new TSysTrayIcon(Application);
        tray->SetIconVisible(true);
        static std::unique_ptr<THintWindow> hint;
        hint = std::make_unique<THintWindow>(nullptr);
        hint->ActivateHint(TRect(10, 10, 210, 40), "A hint");
        for (HWND window : {SimpleTimerHandlerWindow(), TrayIconHandlerWindow(), hint->Handle()}) {
          ASSERT_TRUE(IsWindow(window));
          AskForTheObjectOf(window);
        }
        talvik::gui::ProcessPending();
        std::exit(1);  // as the toolkit does when the display's connection breaks
      },
      ::testing::ExitedWithCode(1), NoSanitizerReport());
}

}  // namespace
