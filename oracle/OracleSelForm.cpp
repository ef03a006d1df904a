#include "oracle/OracleSelForm.h"

#include <memory>

namespace {

constexpr int kMargin = 8;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kBottomHeight = kButtonHeight + 2 * kMargin;
constexpr int kCheckHeight = 17;

}  // namespace

TOracleSelectForm::TOracleSelectForm(TComponent* AOwner) : TForm(AOwner) {
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetClientWidth(360);
  SetClientHeight(240);

  BottomPanel = new TPanel(this);
  BottomPanel->SetName("BottomPanel");
  BottomPanel->SetParent(this);
  BottomPanel->SetCaption("");
  BottomPanel->SetBevelOuter(bvNone);
  BottomPanel->SetHeight(kBottomHeight);
  BottomPanel->SetAlign(alBottom);
  int cancelLeft = ClientWidth() - kMargin - kButtonWidth;
  OKBtn = new TButton(this);
  OKBtn->SetName("OKBtn");
  OKBtn->SetParent(BottomPanel);
  OKBtn->SetBounds(cancelLeft - kMargin - kButtonWidth, kMargin, kButtonWidth, kButtonHeight);
  OKBtn->SetCaption("OK");
  OKBtn->SetDefault(true);
  OKBtn->SetModalResult(mrOk);
  CancelBtn = new TButton(this);
  CancelBtn->SetName("CancelBtn");
  CancelBtn->SetParent(BottomPanel);
  CancelBtn->SetBounds(cancelLeft, kMargin, kButtonWidth, kButtonHeight);
  CancelBtn->SetCaption("Cancel");
  CancelBtn->SetCancel(true);
  CancelBtn->SetModalResult(mrCancel);

  PageControl = new TPageControl(this);
  PageControl->SetName("PageControl");
  PageControl->SetParent(this);
  PageControl->SetAlign(alClient);
  CollSheet = new TTabSheet(this);
  CollSheet->SetName("CollSheet");
  CollSheet->SetPageControl(PageControl);
  CollSheet->SetTabVisible(false);

  CollReadOnlyCheck = new TCheckBox(this);
  CollReadOnlyCheck->SetName("CollReadOnlyCheck");
  CollReadOnlyCheck->SetParent(CollSheet);
  CollReadOnlyCheck->SetCaption("Create ReadOnly DataSet");
  CollReadOnlyCheck->SetChecked(true);
  CollReadOnlyCheck->SetHeight(kCheckHeight);
  CollReadOnlyCheck->SetAlign(alBottom);
  CollListBox = new TListBox(this);
  CollListBox->SetName("CollListBox");
  CollListBox->SetParent(CollSheet);
  CollListBox->SetAlign(alClient);
  CollListBox->OnDblClick = [this](TObject* Sender) { CollListBoxDblClick(Sender); };
}

void TOracleSelectForm::CollListBoxDblClick(TObject* /*Sender*/) {
  SetModalResult(mrOk);
}

bool SelectMasterCollectionColumn(TStrings* Columns, int& Index, bool& ReadOnly) {
  Index = -1;
  ReadOnly = false;
  CreateApplication();
  auto form = std::make_unique<TOracleSelectForm>(Application);
  form->SetCaption("Select Master Collection Column for Detail Dataset");
  form->PageControl->SetActivePage(form->CollSheet);
  form->CollListBox->Items()->Assign(Columns);
  form->CollListBox->SetItemIndex(0);
  form->SetActiveControl(form->CollListBox);
  if (form->ShowModal() != mrOk) return false;
  Index = form->CollListBox->ItemIndex();
  ReadOnly = form->CollReadOnlyCheck->Checked();
  return true;
}
