// Message dialogs run as our own modal forms (answered by keys from a timer that fires under the
// modal loop), the message-box handler tests use, and the file dialogs' answers.
#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/StdCtrls.h"
#include "platform/gui/WinManager.h"

using namespace guitest;
using talvik::gui::InjectKey;
using talvik::gui::ShiftKeys;

namespace {

class Dialogs : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    CreateApplication();
    Application->SetTitle("Talvik");
    // time moves on whenever someone looks, so timers fall due inside modal loops
    talvik::gui::SetClock([] { return FakeNow() += 5; });
  }
  void TearDown() override {
    talvik::gui::SetMessageBoxHandler(nullptr);
    talvik::gui::SetFileDialogHandler(nullptr);
    GuiTest::TearDown();
  }
  struct Seen {
    std::string caption;
    std::vector<std::string> buttons;
    std::string focused;
  };
  // Answers the next modal dialog from a timer: records what it shows, then presses the key.
  int Answer(const std::function<int()>& show, WORD vk, char32_t ch, ShiftKeys shift = {}) {
    TTimer timer(nullptr);
    timer.SetInterval(50);
    timer.SetOnTimer([&](TObject*) {
      TCustomForm* f = Screen->ActiveForm();
      if (!f || !f->Modal()) return;
      timer.SetEnabled(false);
      seen = Seen{f->Caption(), {}, ""};
      for (int i = 0; i < f->ControlCount(); ++i)
        if (auto* b = dynamic_cast<TButton*>(f->Controls(i))) seen.buttons.push_back(b->Caption());
      if (auto* b = dynamic_cast<TButton*>(f->ActiveControl())) seen.focused = b->Caption();
      ++fired;
      InjectKey(vk, true, ch, shift);
      InjectKey(vk, false, 0, shift);
    });
    return show();
  }
  Seen seen;
  int fired = 0;
};

}  // namespace

TEST_F(Dialogs, MessageDlgAnswersByEnterEscAndAccelerators) {
  auto confirm = [] {
    return MessageDlg("Завершить сеанс 42?", mtConfirmation, TMsgDlgButtons{mbYes, mbNo});
  };
  EXPECT_EQ(Answer(confirm, VK_RETURN, U'\r'), mrYes);
  EXPECT_EQ(seen.caption, "Confirm");
  EXPECT_EQ(seen.buttons, (std::vector<std::string>{"&Yes", "&No"}));
  EXPECT_EQ(seen.focused, "&Yes");
  EXPECT_EQ(Answer(confirm, VK_ESCAPE, 27), mrNo);  // no Cancel: Esc answers No
  EXPECT_EQ(Answer(confirm, 'N', U'n'), mrNo);      // the accelerator of "&No"
  EXPECT_EQ(Answer(confirm, 'N', U'n', ShiftKeys{false, false, true}), mrNo);
  auto threeWay = [] { return MessageDlg("Сохранить?", mtWarning, mbYesNoCancel); };
  EXPECT_EQ(Answer(threeWay, VK_ESCAPE, 27), mrCancel);
  EXPECT_EQ(seen.caption, "Warning");
  EXPECT_EQ(seen.buttons, (std::vector<std::string>{"&Yes", "&No", "Cancel"}));
  auto okOnly = [] { return MessageDlg("Готово", mtInformation, TMsgDlgButtons{mbOK}); };
  EXPECT_EQ(Answer(okOnly, VK_ESCAPE, 27), mrOk);  // nothing else: Esc answers OK
  EXPECT_EQ(seen.caption, "Information");
  auto errors = [] { return MessageDlg("Ошибка импорта", mtError, TMsgDlgButtons{mbYes, mbNo, mbAll}); };
  EXPECT_EQ(Answer(errors, 'A', U'a'), mrAll);
  EXPECT_EQ(seen.caption, "Error");
  EXPECT_EQ(seen.buttons, (std::vector<std::string>{"&Yes", "&No", "&All"}));
  // Tab moves between the buttons and Enter presses the focused one
  EXPECT_EQ(Answer(
                [&] {
                  TTimer tab(nullptr);
                  tab.SetInterval(20);
                  tab.SetOnTimer([&](TObject*) {
                    tab.SetEnabled(false);
                    InjectKey(VK_TAB, true, U'\t', {});
                    InjectKey(VK_TAB, false, 0, {});
                  });
                  return MessageDlg("?", mtConfirmation, TMsgDlgButtons{mbOK, mbCancel});
                },
                VK_RETURN, U'\r'),
            mrCancel);
  EXPECT_EQ(fired, 8);
}

TEST_F(Dialogs, ShowMessageAndMessageBoxAreOurFormsToo) {
  Answer(
      [] {
        ShowMessage("Сеанс не найден");
        return 0;
      },
      VK_RETURN, U'\r');
  EXPECT_EQ(seen.caption, "Talvik");
  EXPECT_EQ(seen.buttons, (std::vector<std::string>{"OK"}));
  EXPECT_EQ(Answer([] { return MessageBox(nullptr, "Повторить?", "Связь", MB_RETRYCANCEL | MB_ICONWARNING); },
                   VK_RETURN, U'\r'),
            IDRETRY);
  EXPECT_EQ(seen.caption, "Связь");
  EXPECT_EQ(seen.buttons, (std::vector<std::string>{"Cancel", "&Retry"}));  // in the fixed order
  EXPECT_EQ(
      Answer([] { return MessageBox(nullptr, "?", "Вопрос", MB_YESNO | MB_DEFBUTTON2); }, VK_RETURN, U'\r'),
      IDNO);
  EXPECT_EQ(seen.focused, "&No");
  // an exception the application shows comes up the same way
  Answer(
      [] {
        Application->ShowException(Exception("ORA-00028: your session has been killed"));
        return 0;
      },
      VK_ESCAPE, 27);
  EXPECT_EQ(seen.caption, "Talvik");
}

TEST_F(Dialogs, AHandlerAnswersInsteadAndSeesTheCaptionAndTheNearestFlags) {
  struct Asked {
    std::string text, caption;
    UINT type;
  };
  std::vector<Asked> asked;
  talvik::gui::SetMessageBoxHandler(
      [&](HWND, const std::string& text, const std::string& caption, UINT type) {
        asked.push_back({text, caption, type});
        return IDNO;
      });
  EXPECT_EQ(MessageDlg("Удалить?", mtConfirmation, mbOKCancel), mrNo);
  EXPECT_EQ(MessageDlg("?", mtWarning, mbYesNoCancel), mrNo);
  ShowMessage("Готово");
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[0].caption, "Confirm");
  EXPECT_EQ(asked[0].type, MB_OKCANCEL | MB_ICONQUESTION);
  EXPECT_EQ(asked[1].type, MB_YESNOCANCEL | MB_ICONWARNING);
  EXPECT_EQ(asked[2].caption, "Talvik");
  EXPECT_EQ(asked[2].type, static_cast<UINT>(MB_OK));
}

TEST_F(Dialogs, FileDialogsTakeInjectedAnswersAndAddTheDefaultExtension) {
  TSaveDialog save(nullptr);
  save.SetDefaultExt("*.xls");
  EXPECT_EQ(save.DefaultExt(), "xls");
  save.SetFilter("Excel|*.xls|Все файлы|*.*");
  std::vector<std::string> shown;
  talvik::gui::SetFileDialogHandler([&](TOpenDialog& d) {
    shown.push_back(d.Filter());
    d.SetFileName("/tmp/session");
    return true;
  });
  ASSERT_TRUE(save.Execute());
  EXPECT_EQ(save.FileName(), "/tmp/session.xls");
  talvik::gui::SetFileDialogHandler([&](TOpenDialog& d) {
    d.SetFileName("/tmp/report.csv");
    return true;
  });
  ASSERT_TRUE(save.Execute());
  EXPECT_EQ(save.FileName(), "/tmp/report.csv");  // a name with its own extension keeps it
  talvik::gui::SetFileDialogHandler([](TOpenDialog&) { return false; });
  save.SetFileName("kept");
  EXPECT_FALSE(save.Execute());
  EXPECT_EQ(save.FileName(), "kept");
  EXPECT_EQ(shown, std::vector<std::string>{"Excel|*.xls|Все файлы|*.*"});
  TOpenDialog open(nullptr);
  open.SetDefaultExt(".sql");
  EXPECT_EQ(open.DefaultExt(), "sql");
  EXPECT_FALSE(open.Save());
}

// A box and a file dialog stand for the process, not for the application object they began with: the
// program's close frees that object and may make another while one stands, and the loop's end then
// reaches neither the object that is gone nor the new one, which counts the standing loop as its own.
TEST_F(Dialogs, ABoxOrAFileDialogStandsThroughANewApplicationObject) {
  const std::string title = Application->Title();
  const auto madeAnew = [&title] {
    delete Application;
    Application = nullptr;
    CreateApplication();
    Application->SetTitle(title);
  };
  int levelWhileStanding = -1;
  talvik::gui::SetMessageBoxHandler([&](HWND, const std::string&, const std::string&, UINT) {
    madeAnew();
    levelWhileStanding = Application->ModalLevel();
    return IDOK;
  });
  EXPECT_EQ(MessageBox(nullptr, "Настройки не сохранены.", title, MB_OK), IDOK);
  EXPECT_EQ(levelWhileStanding, 1) << "the box";
  EXPECT_EQ(Application->ModalLevel(), 0) << "the box";
  TOpenDialog open(nullptr);
  levelWhileStanding = -1;
  talvik::gui::SetFileDialogHandler([&](TOpenDialog&) {
    madeAnew();
    levelWhileStanding = Application->ModalLevel();
    return false;
  });
  EXPECT_FALSE(open.Execute());
  EXPECT_EQ(levelWhileStanding, 1) << "the file dialog";
  EXPECT_EQ(Application->ModalLevel(), 0) << "the file dialog";
}
