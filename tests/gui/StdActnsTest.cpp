// The standard actions on the controls they act on.
#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/Forms.h"
#include "platform/gui/StdActns.h"
#include "platform/gui/StdCtrls.h"

using namespace guitest;

namespace {

// A list of strings with a selection.
class TRows : public TCustomListControl {
 public:
  using TCustomListControl::TCustomListControl;
  std::vector<std::string> rows{"a", "b", "c"};
  std::vector<bool> selected{false, false, false};
  int ItemIndex() const override {
    for (std::size_t i = 0; i < selected.size(); ++i)
      if (selected[i]) return static_cast<int>(i);
    return -1;
  }
  void SetItemIndex(int Value) override {
    ClearSelection();
    if (Value >= 0) selected.at(static_cast<std::size_t>(Value)) = true;
  }
  int Count() const override { return static_cast<int>(rows.size()); }
  int SelCount() const override {
    return static_cast<int>(std::count(selected.begin(), selected.end(), true));
  }
  void Clear() override {
    rows.clear();
    selected.clear();
  }
  void ClearSelection() override { selected.assign(rows.size(), false); }
  void DeleteSelected() override {
    for (std::size_t i = rows.size(); i-- > 0;)
      if (selected[i]) {
        rows.erase(rows.begin() + static_cast<long>(i));
        selected.erase(selected.begin() + static_cast<long>(i));
      }
  }
  void SelectAll() override { selected.assign(rows.size(), true); }
};

class StdActions : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    CreateApplication();
    SetClipboardBackend(MakeMemoryClipboard());
  }
  void TearDown() override {
    Application->SetMainForm(nullptr);
    GuiTest::TearDown();
  }
};

}  // namespace

TEST_F(StdActions, EditActionsFollowTheFocusedEditsSelection) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 300, 200);
  auto* list = new TActionList(&form);
  auto* copy = new TEditCopy(&form);
  auto* cut = new TEditCut(&form);
  auto* paste = new TEditPaste(&form);
  auto* all = new TEditSelectAll(&form);
  for (TAction* a : std::initializer_list<TAction*>{copy, cut, paste, all}) a->SetActionList(list);
  auto* edit = new TEdit(&form);
  edit->SetParent(&form);
  auto* other = new TEdit(&form);
  other->SetParent(&form);
  other->SetTop(40);
  form.Show();
  edit->SetText("SELECT * FROM v$session");
  edit->SetFocus();
  Application->ProcessMessages();

  Application->DoActionIdle();
  EXPECT_TRUE(all->Enabled());
  EXPECT_TRUE(copy->Enabled() == (edit->SelLength() > 0));
  ASSERT_TRUE(all->Execute());
  EXPECT_EQ(edit->SelLength(), 23);
  Application->DoActionIdle();
  EXPECT_TRUE(copy->Enabled());
  EXPECT_TRUE(cut->Enabled());
  ASSERT_TRUE(copy->Execute());
  EXPECT_EQ(Clipboard()->AsText(), "SELECT * FROM v$session");

  // the other edit has the focus now: paste lands there; a read-only edit takes no cut or paste
  other->SetFocus();
  Application->ProcessMessages();
  Application->DoActionIdle();
  EXPECT_TRUE(paste->Enabled());
  ASSERT_TRUE(paste->Execute());
  EXPECT_EQ(other->Text(), "SELECT * FROM v$session");
  other->SetReadOnly(true);
  other->SelectAll();
  Application->DoActionIdle();
  EXPECT_FALSE(paste->Enabled());
  EXPECT_FALSE(cut->Enabled());
  EXPECT_TRUE(copy->Enabled());

  // no edit left to take them: all grey
  delete edit;
  delete other;
  Application->ProcessMessages();
  Application->DoActionIdle();
  EXPECT_FALSE(copy->Enabled());
  EXPECT_FALSE(paste->Enabled());
}

TEST_F(StdActions, DeleteSelectionActsOnItsListAndExitClosesTheMainForm) {
  auto* main = new TForm(nullptr);
  main->SetBounds(0, 0, 300, 200);
  Application->SetMainForm(main);
  auto* rows = new TRows(main);
  rows->SetParent(main);
  auto* del = new TListControlDeleteSelection(main);
  del->SetListControl(rows);
  auto* exitAction = new TFileExit(main);
  main->Show();
  del->Update();
  EXPECT_FALSE(del->Enabled());
  rows->selected = {true, false, true};
  del->Update();
  EXPECT_TRUE(del->Enabled());
  EXPECT_TRUE(del->Execute());
  EXPECT_EQ(rows->rows, std::vector<std::string>{"b"});
  delete rows;
  EXPECT_EQ(del->ListControl(), nullptr);
  bool closed = false;
  main->OnClose = [&](TObject*, TCloseAction& a) {
    closed = true;
    a = caHide;
  };
  EXPECT_TRUE(exitAction->Execute());
  EXPECT_TRUE(closed);
  delete main;
}

TEST_F(StdActions, SaveAsAsksForAFileAndTellsWhetherTheUserChoseOne) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 300, 200);
  Application->SetMainForm(&form);
  form.Show();
  auto* save = new TFileSaveAs(&form);
  save->Dialog()->SetDefaultExt("*.xls");
  save->Dialog()->SetFilter("Excel|*.xls");
  std::vector<std::string> seen;
  save->BeforeExecute = [&](TObject*) { save->Dialog()->SetFileName("session"); };
  save->OnAccept = [&](TObject*) { seen.push_back("accept " + save->Dialog()->FileName()); };
  save->OnCancel = [&](TObject*) { seen.push_back("cancel"); };
  std::string proposed;
  talvik::gui::SetFileDialogHandler([&](TOpenDialog& d) {
    proposed = d.FileName() + "." + d.DefaultExt() + " " + (d.Save() ? "save" : "open");
    d.SetFileName("/tmp/sessions.xls");
    return true;
  });
  EXPECT_TRUE(save->Execute());
  talvik::gui::SetFileDialogHandler([](TOpenDialog&) { return false; });
  EXPECT_TRUE(save->Execute());
  talvik::gui::SetFileDialogHandler(nullptr);
  EXPECT_EQ(proposed, "session.xls save");
  EXPECT_EQ(seen, (std::vector<std::string>{"accept /tmp/sessions.xls", "cancel"}));
  EXPECT_TRUE(save->Enabled());  // enabled without a handler of its own
  Application->SetMainForm(nullptr);
}
