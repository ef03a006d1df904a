// The logon dialog and the select form driven as a user would: a fresh simulated instance, the class
// library's user interface installed, message boxes answered by the test, and a script of steps that
// act on each modal form as it shows (typing into edits, keys, list messages, clicks).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "gui/GuiTestSupport.h"
#include "oracle/OracleLogon.h"
#include "oracle/OracleSelForm.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/Process.h"
#include "platform/rtl/RegistryStore.h"
#include "rtl/TempDir.h"

namespace logontest {

inline std::string ScreenshotDir() {
  const char* bin = std::getenv("TALVIK_BINARY_DIR");
  std::string dir = std::string(bin ? bin : ".") + "/screenshots";
  std::filesystem::create_directories(dir);
  return dir;
}

// Characters typed into a control, one WM_CHAR each, over what it held.
inline void Type(TCustomEdit* Edit, const std::string& Text) {
  Edit->SelectAll();
  SendMessage(Edit->Handle(), WM_CHAR, VK_BACK, 0);
  for (char32_t c : Utf8ToUtf32(Text)) SendMessage(Edit->Handle(), WM_CHAR, c, 0);
}

// A left click at a client point of a windowed control (posted, as the mouse would).
inline void Click(TWinControl* Control, int X, int Y) {
  PostMessage(Control->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(X, Y));
  PostMessage(Control->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(X, Y));
}
inline void Click(TWinControl* Control) {
  Click(Control, Control->Width() / 2, Control->Height() / 2);
}
// A click on a windowless control goes to the window it sits on.
inline void Click(TGraphicControl* Control) {
  Click(Control->Parent(), Control->Left() + Control->Width() / 2, Control->Top() + Control->Height() / 2);
}

inline void Key(WORD Vk, char32_t Ch = 0, talvik::gui::ShiftKeys Shift = {}) {
  guitest::TypeKey(Vk, Ch, Shift);
}

class LogonDialogTest : public guitest::GuiTest {
 protected:
  void SetUp() override {
    guitest::GuiTest::SetUp();
    CreateApplication();
    setenv("TALVIK_SIM_DB", (dir_ / "sim.db").c_str(), 1);
    oldConfig_ = GetEnvironmentVariable("XDG_CONFIG_HOME");
    setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    talvik::registry::ResetHives();
    SetCommandLine(std::vector<std::string>{"talvik"});
    InitClientLibrary();
    LogonHistory()->Clear();
    LogonHistory()->SetMaxCount(6);
    LogonHistory()->SetWithPassword(false);
    previousUi_ = SetOracleUserInterface(&ClassLibraryOracleUserInterface());
    talvik::gui::SetMessageBoxHandler(
        [this](HWND, const std::string& text, const std::string& caption, UINT type) {
          boxes.push_back({text, caption, type});
          int answer = IDOK;
          if (!answers.empty()) {
            answer = answers.front();
            answers.pop_front();
          } else if ((type & 0xF) == MB_YESNO) {
            answer = IDNO;
          }
          return answer;
        });
    Application->OnIdle = [this](TObject*, bool& done) {
      done = false;  // keep the loop turning: the script acts from here
      RunStep();
    };
    session = std::make_unique<TOracleSession>(nullptr);
    logon = std::make_unique<TOracleLogon>(nullptr);
    logon->SetSession(session.get());
  }
  void TearDown() override {
    logon.reset();
    session.reset();
    Application->OnIdle = nullptr;
    talvik::gui::SetMessageBoxHandler(nullptr);
    SetOracleUserInterface(previousUi_ == &HeadlessOracleUserInterface() ? nullptr : previousUi_);
    LogonHistory()->Clear();
    unsetenv("TALVIK_SIM_DB");
    setenv("XDG_CONFIG_HOME", oldConfig_.c_str(), 1);
    talvik::registry::ResetHives();
    EXPECT_TRUE(steps_.empty()) << steps_.size() << " steps never ran";
    guitest::GuiTest::TearDown();
  }

  // The next modal form of class FormClass (any class when empty), once it shows and the loop is
  // idle, gets Act.
  void Then(const std::string& FormClass, std::function<void(TCustomForm*)> Act) {
    steps_.push_back({FormClass, std::move(Act)});
  }
  // The next logon dialog: what it showed is recorded, then Act runs on it.
  void OnLogonForm(std::function<void(TLogOnForm*)> Act) {
    Then("TLogOnForm", [this, Act](TCustomForm* f) {
      auto* form = static_cast<TLogOnForm*>(f);
      shown.push_back(Shown(form));
      Act(form);
    });
  }
  // Types into the dialog's fields and confirms with a click on OK.
  void LogonWith(const std::string& User, const std::string& Password) {
    OnLogonForm([User, Password](TLogOnForm* f) {
      Type(f->UsernameEdit, User);
      Type(f->PasswordEdit, Password);
      Click(f->OKBtn);
    });
  }
  void ChangePasswordWith(const std::string& First, const std::string& Second) {
    OnLogonForm([First, Second](TLogOnForm* f) {
      Type(f->UsernameEdit, First);
      Type(f->PasswordEdit, Second);
      Click(f->OKBtn);
    });
  }

  // "caption|user|password|database|role" of a shown dialog.
  static std::string Shown(TLogOnForm* f) {
    return f->Caption() + "|" + f->UsernameEdit->Text() + "|" + f->PasswordEdit->Text() + "|" +
           f->DatabaseText() + "|" + f->ConnectAsList->Text();
  }

  struct Box {
    std::string text, caption;
    UINT type;
  };
  std::vector<Box> boxes;
  std::deque<int> answers;
  std::vector<std::string> shown;
  std::unique_ptr<TOracleSession> session;
  std::unique_ptr<TOracleLogon> logon;

 private:
  struct Step {
    std::string formClass;
    std::function<void(TCustomForm*)> act;
  };
  TCustomForm* ModalForm() const {
    for (int i = Screen->FormCount() - 1; i >= 0; --i) {
      TCustomForm* f = Screen->Forms(i);
      if (f->Modal() && f->Visible()) return f;
    }
    return nullptr;
  }
  void RunStep() {
    TCustomForm* form = ModalForm();
    if (!form) return;
    if (steps_.empty() ||
        (!steps_.front().formClass.empty() && steps_.front().formClass != form->ClassName())) {
      // A dialog the script did not expect: note it and leave it, so the test ends.
      if (++idleWithoutStep_ > 500) {
        ADD_FAILURE() << "unexpected dialog " << form->ClassName() << " \"" << form->Caption() << "\"";
        form->SetModalResult(mrCancel);
        idleWithoutStep_ = 0;
      }
      return;
    }
    idleWithoutStep_ = 0;
    Step step = std::move(steps_.front());
    steps_.pop_front();
    step.act(form);
  }

  std::deque<Step> steps_;
  int idleWithoutStep_ = 0;
  TempDir folder_;
  std::filesystem::path dir_{folder_.Path()};
  std::string oldConfig_;
  IOracleUserInterface* previousUi_ = nullptr;
};

}  // namespace logontest
