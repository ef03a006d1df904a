// The program's end while its windows still stand: the toolkit ends the program with exit(1) when its
// display goes away, and the statics that hold windows (the shared timer window, the tray icons'
// window, a hint) are destroyed in the static destruction after it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "SanitizerReport.h"
#include "app/SimpleTimer.h"
#include "app/SysTrayIcon.h"
#include "app/Talvik.h"
#include "platform/gui/Forms.h"
#include "platform/gui/OleAcc.h"
#include "platform/gui/WinManager.h"
#include "tests/ChildProgram.h"

namespace {

using sanitizertest::NoSanitizerReport;
using ::testing::AllOf;
using ::testing::HasSubstr;

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

// The program started with a parameter, its boxes written to standard error; its exit code.
int StartWith(const std::string& Parameter) {
  talvik::gui::SetMessageBoxHandler([](HWND, const std::string& text, const std::string& caption, UINT type) {
    std::fprintf(stderr, "[box \"%s\" %#x] %s\n", caption.c_str(), type, text.c_str());
    return IDOK;
  });
  const char* argv[] = {"talvik", Parameter.c_str()};
  return RunTalvik(2, argv);
}

// A start that cannot load the client library (here a file that is no library, named on the command
// line) ends with exit code 1 before any window shows; the error box tells why as well as standard
// error does: started from a desktop menu, the box is all the user sees.
TEST(ProgramEnd, AStartThatCannotLoadTheClientLibrarySaysWhyInTheErrorBox) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh program, started as the program starts
  const char* source = std::getenv("TALVIK_SOURCE_DIR");
  const std::string notALibrary = "OCIDLL=" + std::string(source ? source : ".") + "/README.md";
  EXPECT_EXIT(std::exit(StartWith(notALibrary)), ::testing::ExitedWithCode(1),
              AllOf(HasSubstr("talvik: Initialization error"),
                    HasSubstr("[box \"Talvik\" 0x10] Initialization error"), HasSubstr("Could not load"),
                    NoSanitizerReport()));
}

// A display no X server answers on here: neither a server's socket nor its lock file is there.
std::string DisplayOfNoServer() {
  for (int number = 4000;; ++number) {
    const std::string n = std::to_string(number);
    if (!std::filesystem::exists("/tmp/.X11-unix/X" + n) && !std::filesystem::exists("/tmp/.X" + n + "-lock"))
      return ":" + n;
  }
}

// A start with DISPLAY as Settings leave it (env(1)'s words for it), and the one line the program is
// to write.
struct StartWithoutDisplay {
  const char* name;
  std::string settings;
  std::string line;
};

void PrintTo(const StartWithoutDisplay& Case, std::ostream* Out) {
  *Out << Case.name;
}

class NoDisplay : public ::testing::TestWithParam<StartWithoutDisplay> {};

// The built program started where there is no display to draw on (the toolkit's platform left as a
// user has it): one line on standard error names the display, and the program ends with the code of
// a lost display; it does not abort, and the toolkit says nothing.
TEST_P(NoDisplay, TheProgramSaysSoInOneLineAndEndsWithTheCodeOfALostDisplay) {
  const char* bin = std::getenv("TALVIK_BINARY_DIR");
  const std::string program = std::string(bin ? bin : ".") + "/app/talvik";
  ChildProgram talvik("/bin/sh",
                      {"-c", "exec env -u QT_QPA_PLATFORM " + GetParam().settings + " \"$0\" 2>&1", program});
  const std::string said = talvik.ReadToEnd();
  EXPECT_EQ(talvik.Wait(), talvik::gui::kExitDisplayLost) << said;
  EXPECT_EQ(said, GetParam().line + "\n");
}

const std::string kNoServer = DisplayOfNoServer();

INSTANTIATE_TEST_SUITE_P(
    Display, NoDisplay,
    ::testing::Values(StartWithoutDisplay{"Unset", "-u DISPLAY",
                                          "talvik: cannot open display: DISPLAY is not set"},
                      StartWithoutDisplay{"Empty", "DISPLAY=", "talvik: cannot open display \"\""},
                      StartWithoutDisplay{"NamingNoServer", "DISPLAY=" + kNoServer,
                                          "talvik: cannot open display \"" + kNoServer + "\""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
