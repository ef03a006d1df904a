// The data-aware combo box (key mode over a field, the list's edges, typing and completion, the
// drop-down's width, closing, resizing and the not-in-list decision) and the data-aware check box
// (its value lists, null, the grayed cycle, its own value, the accelerator and the space key).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "GridFormSupport.h"
#include "grid/DBCheckBoxEx.h"
#include "grid/DBComboBoxEx.h"

using namespace gridtest;
using talvik::gui::ShiftKeys;

namespace {

class ControlsOnAForm : public FormOverPeople {
 protected:
  ControlsOnAForm() : FormOverPeople(TRect(40, 40, 500, 300), TRect(10, 200, 110, 221)) {}
  void SetFlag(const TVariant& v) {
    people->ds.Edit();
    people->F("FLAG")->SetValue(v);
    people->ds.Post();
  }
};

class DBCombo : public ControlsOnAForm {
 protected:
  void SetUp() override {
    ControlsOnAForm::SetUp();
    combo = new TDBComboBoxEx(form.get());
    combo->SetParent(form.get());
    combo->SetBounds(10, 10, 150, 21);
  }
  void YesNo(bool keys = true) {
    combo->Items()->Add("Yes");
    combo->Items()->Add("No");
    if (keys) {
      combo->KeyItems()->Add("Y");
      combo->KeyItems()->Add("N");
    }
  }
  void Bind() {
    combo->SetDataSource(&people->source);
    combo->SetDataField("FLAG");
  }
  void Focus() {
    combo->SetFocus();
    Pump();
  }
  TDBComboBoxEx* combo = nullptr;
};

TEST_F(DBCombo, KeyModeShowsTheTextOfTheFieldsKeyAndWritesTheKey) {
  YesNo();
  Bind();
  SetFlag("N");
  EXPECT_TRUE(combo->KeyBased());
  EXPECT_EQ(combo->Text(), "No");
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_EQ(combo->Value().AsString(), "N");
  combo->SetItemIndex(0);
  EXPECT_EQ(people->F("FLAG")->AsString(), "Y");
  EXPECT_EQ(combo->Text(), "Yes");
  people->ds.Post();
  // a key not in the list: empty text, nothing chosen; writing it tells OnNotInList
  std::vector<std::string> notInList;
  combo->OnNotInList = [&](TObject*, std::string Text, bool&) { notInList.push_back(Text); };
  SetFlag("X");
  EXPECT_EQ(combo->Text(), "");
  EXPECT_EQ(combo->ItemIndex(), -1);
  EXPECT_TRUE(combo->Value().IsNull() || combo->Value().AsString() == "X");
  people->ds.Edit();
  combo->UpdateData();
  EXPECT_EQ(notInList.size(), 1u);
}

TEST_F(DBCombo, KeyItemsLongerThanItemsOnlyTheTextsCanBeChosen) {
  YesNo();
  combo->KeyItems()->Add("U");
  EXPECT_EQ(combo->ItemCount(), 2);
  Bind();
  SetFlag("U");
  EXPECT_EQ(combo->Text(), "");
  EXPECT_EQ(combo->ItemIndex(), -1);
  Focus();
  Key(VK_DOWN);
  Key(VK_DOWN);
  Key(VK_DOWN);
  EXPECT_EQ(combo->ItemIndex(), 1);
}

TEST_F(DBCombo, UpAndDownAtTheEdges) {
  YesNo(false);
  combo->Items()->Add("Maybe");
  Focus();
  Key(VK_UP);  // nothing chosen: up goes to the last
  EXPECT_EQ(combo->ItemIndex(), 2);
  EXPECT_EQ(combo->Text(), "Maybe");
  EXPECT_EQ(combo->SelLength(), 5);
  Key(VK_DOWN);  // the last stays
  EXPECT_EQ(combo->ItemIndex(), 2);
  Key(VK_UP);
  Key(VK_UP);
  Key(VK_UP);  // the first stays
  EXPECT_EQ(combo->ItemIndex(), 0);
  combo->SetItemIndex(-1);
  Key(VK_DOWN);  // nothing chosen: down goes to the first
  EXPECT_EQ(combo->ItemIndex(), 0);
  // the wheel steps the same way
  combo->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), MAKELPARAM(60, 60));
  EXPECT_EQ(combo->ItemIndex(), 1);
}

TEST_F(DBCombo, TypingInKeyModeChoosesByPrefixBackspaceWidensTheTail) {
  YesNo();
  combo->Items()->Add("Nope");
  combo->KeyItems()->Add("P");
  Focus();
  Key('N', U'n');
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_EQ(combo->Text(), "No");
  EXPECT_EQ(combo->SelStart(), 1);
  EXPECT_EQ(combo->SelLength(), 1);
  Key('O', U'o');
  Key('P', U'p');
  EXPECT_EQ(combo->Text(), "Nope");
  EXPECT_EQ(combo->SelStart(), 3);
  Key(VK_BACK, 8);
  EXPECT_EQ(combo->ItemIndex(), 2);
  EXPECT_EQ(combo->SelStart(), 2);
  EXPECT_EQ(combo->SelLength(), 2);
  // a letter no item begins with changes nothing
  Key('Z', U'z');
  EXPECT_EQ(combo->ItemIndex(), 2);
  // Delete clears the key
  Key(VK_DELETE);
  EXPECT_EQ(combo->ItemIndex(), -1);
  EXPECT_TRUE(combo->Value().IsNull());
}

TEST_F(DBCombo, CompletionOutsideKeyModeAndTheNotInListRecheck) {
  YesNo(false);
  combo->Items()->Add("Nevermore");
  Focus();
  Key('N', U'n');
  EXPECT_EQ(combo->Text(), "No");
  EXPECT_EQ(combo->SelStart(), 1);
  EXPECT_EQ(combo->SelLength(), 1);
  Key('E', U'e');
  EXPECT_EQ(combo->Text(), "Nevermore");
  EXPECT_EQ(combo->ItemIndex(), 2);
  // a text not in the list: the handler adds it and asks for the search again
  combo->SetText("");
  combo->SelectAll();
  Key('Q', U'q');
  EXPECT_EQ(combo->ItemIndex(), -1);
  combo->OnNotInList = [&](TObject*, std::string Text, bool& Recheck) {
    combo->Items()->Add(Text);
    Recheck = true;
  };
  combo->UpdateData();
  EXPECT_EQ(combo->ItemIndex(), 3);
  EXPECT_EQ(combo->Items()->Strings(3), "q");
}

TEST_F(DBCombo, ListOpensByAltDownEnterAcceptsEscAndFocusLossReject) {
  YesNo(false);
  Focus();
  std::vector<bool> closes;
  combo->OnCloseUp = [&](TObject*, bool Accept) { closes.push_back(Accept); };
  Key(VK_DOWN, 0, ShiftKeys{false, false, true});
  ASSERT_TRUE(combo->ListVisible());
  EXPECT_TRUE(combo->PopupList()->ListVisible());
  EXPECT_EQ(combo->PopupList()->Top(), GetControlScreenRect(combo).Bottom);
  Key(VK_DOWN);  // goes to the list
  EXPECT_EQ(combo->PopupList()->ItemIndex(), 0);
  EXPECT_EQ(combo->ItemIndex(), -1);
  Key(VK_RETURN, U'\r');
  EXPECT_FALSE(combo->ListVisible());
  EXPECT_EQ(combo->Text(), "Yes");
  Key(VK_DOWN, 0, ShiftKeys{false, false, true});
  Key(VK_DOWN);
  Key(VK_ESCAPE, 27);
  EXPECT_EQ(combo->Text(), "Yes");
  Key(VK_DOWN, 0, ShiftKeys{false, false, true});
  Key(VK_DOWN);
  other->SetFocus();
  Pump();
  EXPECT_FALSE(combo->ListVisible());
  EXPECT_EQ(combo->Text(), "Yes");
  EXPECT_EQ(closes, (std::vector<bool>{true, false, false}));
}

TEST_F(DBCombo, AUserResizedListStoresRowsAndWidth) {
  for (int i = 0; i < 20; ++i) combo->Items()->Add("Item " + std::to_string(i));
  combo->DropDownBox()->SetSizable(true);
  Focus();
  combo->DropDown();
  TPopupListboxEx* list = combo->PopupList();
  ASSERT_TRUE(combo->ListVisible());
  EXPECT_EQ(list->RowCount(), 7);
  TSizeGripEx* grip = list->SizeGrip();
  ASSERT_TRUE(grip->Visible());
  const int item = list->ItemHeight();
  grip->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  grip->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(3 + 40, 3 + 2 * item));
  grip->Perform(WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
  combo->CloseUp(false);
  EXPECT_EQ(combo->DropDownBox()->Rows(), 9);
  EXPECT_EQ(combo->DropDownBox()->Width(), 190);
  // a list that was not resized leaves them
  combo->DropDownBox()->SetRows(5);
  combo->DropDown();
  combo->CloseUp(false);
  EXPECT_EQ(combo->DropDownBox()->Rows(), 5);
}

TEST_F(DBCombo, WidthMinusOneFollowsTheWidestItemNeverNarrowerThanTheControl) {
  combo->Items()->Add("a");
  combo->DropDownBox()->SetWidth(-1);
  Focus();
  combo->DropDown();
  EXPECT_EQ(combo->PopupList()->Width(), combo->Width());
  combo->CloseUp(false);
  const std::string wide = "Заблокированные сеансы экземпляра ORCL";
  combo->Items()->Add(wide);
  combo->DropDown();
  TPopupListboxEx* list = combo->PopupList();
  EXPECT_EQ(list->ClientWidth(), TextExtentOf(combo->Font(), wide).cx + 5);
  EXPECT_GT(list->Width(), combo->Width());
  combo->CloseUp(false);
}

TEST_F(DBCombo, KeyModeOpensOnAClickAndTheMouseSelectsNoText) {
  YesNo();
  Focus();
  combo->SetItemIndex(1);
  combo->SetSelStart(0);
  combo->SetSelLength(0);
  combo->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 5));
  EXPECT_TRUE(combo->ListVisible());
  combo->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(60, 5));
  combo->Perform(WM_LBUTTONUP, 0, MAKELPARAM(60, 5));
  EXPECT_EQ(combo->SelLength(), 0);
  EXPECT_TRUE(combo->ListVisible());
  combo->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 5));
  EXPECT_FALSE(combo->ListVisible());
  EXPECT_EQ(combo->Text(), "No");
}

TEST_F(DBCombo, RightToLeftTheListReadsAsTheControl) {
  combo->Items()->SetText("Активные\nВсе сеансы");
  combo->SetBiDiMode(bdRightToLeft);
  Focus();
  combo->DropDown();
  ASSERT_NE(combo->PopupList(), nullptr);
  EXPECT_EQ(combo->PopupList()->BiDiMode(), bdRightToLeft);
  EXPECT_EQ(combo->ButtonControl(0)->Left(), 0) << "the drop-down button at the left edge";
  ASSERT_TRUE(talvik::gui::RenderScreenToPng(ScreenshotDir() + "/grid-dbcombo-right-to-left.png",
                                             Rect(30, 30, 260, 120)));
  combo->CloseUp(false);
  combo->SetBiDiMode(bdLeftToRight);
  combo->DropDown();
  EXPECT_EQ(combo->PopupList()->BiDiMode(), bdLeftToRight) << "each opening takes the mode again";
  combo->CloseUp(false);
}

TEST_F(DBCombo, ScreenshotDroppedDownWithItsSizeGrip) {
  for (const char* s : {"Активные", "Неактивные", "Заблокированные", "Фоновые процессы", "Все сеансы",
                        "Системные", "Пользовательские", "Ожидающие"})
    combo->Items()->Add(s);
  combo->DropDownBox()->SetSizable(true);
  combo->DropDownBox()->SetRows(5);
  combo->SetItemIndex(2);
  Focus();
  combo->DropDown();
  ASSERT_TRUE(talvik::gui::RenderScreenToPng(ScreenshotDir() + "/grid-dbcombo.png", Rect(30, 30, 260, 200)));
  combo->CloseUp(false);
}

// ---------------------------------------------------------------- check box

class DBCheck : public ControlsOnAForm {
 protected:
  void SetUp() override {
    ControlsOnAForm::SetUp();
    box = new TDBCheckBoxEx(form.get());
    box->SetParent(form.get());
    box->SetBounds(10, 10, 120, 17);
    box->SetCaption("&Active");
  }
  TDBCheckBoxEx* box = nullptr;
};

TEST_F(DBCheck, RightToLeftTheBoxAndItsCaptionChangeSides) {
  const TSize size = DefaultCheckBoxSize();
  EXPECT_EQ(box->BoxRect().Left, 0) << "caption right of the box";
  box->SetBiDiMode(bdRightToLeft);
  EXPECT_EQ(box->BoxRect().Right, box->ClientWidth());
  box->SetAlignment(taLeftJustify);
  EXPECT_EQ(box->BoxRect().Left, 0) << "caption left of the box, mirrored";
  box->SetBiDiMode(bdRightToLeftReadingOnly);
  EXPECT_EQ(box->BoxRect().Right, box->ClientWidth()) << "reading alone keeps the sides";
  EXPECT_EQ(box->BoxRect().Width(), size.cx);
}

TEST_F(DBCheck, ValueListsMapTheFieldAndTheFirstTextIsWritten) {
  box->SetValueChecked("Y;Yes");
  box->SetValueUnchecked("N;No");
  box->SetDataSource(&people->source);
  box->SetDataField("FLAG");
  struct Case {
    const char* text;
    TCheckBoxState state;
  };
  for (const Case& c : {Case{"yes", cbChecked}, Case{"Y", cbChecked}, Case{"no", cbUnchecked},
                        Case{"n", cbUnchecked}, Case{"maybe", cbGrayed}}) {
    SetFlag(c.text);
    EXPECT_EQ(box->State(), c.state) << c.text;
  }
  box->SetChecked(true);
  EXPECT_EQ(people->F("FLAG")->AsString(), "Y");
  box->SetChecked(false);
  EXPECT_EQ(people->F("FLAG")->AsString(), "N");
}

TEST_F(DBCheck, ABooleanFieldNullShowsGrayedAndAClickChecksIt) {
  box->SetDataSource(&people->source);
  box->SetDataField("ACTIVE");
  EXPECT_EQ(box->State(), cbChecked);  // Ann
  people->ds.Next();                   // Bob: null
  EXPECT_EQ(box->State(), cbGrayed);
  box->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 8));
  box->Perform(WM_LBUTTONUP, 0, MAKELPARAM(5, 8));
  EXPECT_EQ(box->State(), cbChecked);
  EXPECT_EQ(people->ds.State(), dsEdit);
  other->SetFocus();  // leaving writes the field
  Pump();
  EXPECT_TRUE(people->F("ACTIVE")->AsBoolean());
}

TEST_F(DBCheck, AllowGrayedCyclesThroughThreeStates) {
  box->SetAllowGrayed(true);
  std::vector<TCheckBoxState> seen;
  for (int i = 0; i < 3; ++i) {
    box->Click();
    seen.push_back(box->State());
  }
  EXPECT_EQ(seen, (std::vector<TCheckBoxState>{cbGrayed, cbChecked, cbUnchecked}));
  box->SetAllowGrayed(false);
  box->Click();
  EXPECT_EQ(box->State(), cbChecked);
}

TEST_F(DBCheck, WithoutADataSourceItStartsUncheckedOnZeroAndKeepsItsValue) {
  EXPECT_TRUE(box->DataLink()->DataIndependent());
  EXPECT_EQ(box->DataLink()->Value().AsInteger(), 0);
  EXPECT_EQ(box->State(), cbUnchecked);
  box->SetChecked(true);
  EXPECT_TRUE(box->DataLink()->Value().AsBoolean());
  box->SetState(cbGrayed);
  EXPECT_TRUE(box->DataLink()->Value().IsNull());
  EXPECT_EQ(box->State(), cbGrayed);
}

TEST_F(DBCheck, TheAcceleratorAndTheSpaceKeyToggle) {
  EXPECT_EQ(box->Perform(CM_DIALOGCHAR, U'a'), 1);
  EXPECT_TRUE(box->Focused());
  EXPECT_EQ(box->State(), cbChecked);
  EXPECT_EQ(box->Perform(CM_DIALOGCHAR, U'x'), 0);
  Key(VK_SPACE, U' ');
  EXPECT_EQ(box->State(), cbUnchecked);
  // Esc while modified is the box's: the data comes back
  EXPECT_EQ(box->Perform(CM_WANTSPECIALKEY, VK_ESCAPE), 1);
}

TEST_F(DBCheck, ARemovedDataSourceIsForgotten) {
  auto source = std::make_unique<TDataSource>(nullptr);
  source->SetDataSet(&people->ds);
  box->SetDataSource(source.get());
  box->SetDataField("ACTIVE");
  EXPECT_EQ(box->State(), cbChecked);
  source.reset();
  EXPECT_EQ(box->DataSource(), nullptr);
  box->Click();
  box->Repaint();
}

TEST_F(DBCheck, CancelModeReleasesAPressWithoutAClick) {
  box->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 8));
  EXPECT_NE(box->Perform(BM_GETSTATE) & BST_PUSHED, 0);
  box->Perform(WM_CANCELMODE);
  EXPECT_EQ(box->Perform(BM_GETSTATE) & BST_PUSHED, 0);
  EXPECT_EQ(box->State(), cbUnchecked);
  EXPECT_NE(GetCapture(), box->Handle());
}

TEST_F(DBCheck, ScreenshotEveryStateFlatAnd3DEnabledAndDisabled) {
  box->SetVisible(false);
  const TCheckBoxState states[] = {cbUnchecked, cbChecked, cbGrayed};
  const char* names[] = {"Снят", "Отмечен", "Не задан"};
  for (int flat = 0; flat < 2; ++flat)
    for (int enabled = 0; enabled < 2; ++enabled)
      for (int s = 0; s < 3; ++s) {
        auto* b = new TDBCheckBoxEx(form.get());
        b->SetParent(form.get());
        b->SetBounds(10 + 110 * (flat * 2 + enabled), 10 + 22 * s, 105, 17);
        b->SetFlat(flat == 1);
        b->SetAllowGrayed(true);
        b->SetState(states[s]);
        b->SetCaption(names[s]);
        b->SetEnabled(enabled == 1);
      }
  ASSERT_TRUE(
      talvik::gui::RenderScreenToPng(ScreenshotDir() + "/grid-dbcheckbox.png", Rect(40, 40, 500, 130)));
}

}  // namespace
