#include "platform/gui/StdActns.h"

#include "platform/gui/Clipbrd.h"
#include "platform/gui/Forms.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/Lifetime.h"

// ---------------------------------------------------------------- edit actions

TEditAction::TEditAction(TComponent* AOwner) : TAction(AOwner) {}

void TEditAction::SetControl(TCustomEdit* Value) {
  if (control_ == Value) return;
  if (control_) control_->RemoveFreeNotification(this);
  control_ = Value;
  if (control_) control_->FreeNotification(this);
}

void TEditAction::Notification(TComponent* AComponent, TOperation Operation) {
  TAction::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == control_) control_ = nullptr;
}

bool TEditAction::HandlesTarget(TObject* Target) {
  if (control_) return Target == control_ && control_->Focused();
  auto* edit = dynamic_cast<TCustomEdit*>(Target);
  return edit && edit->Focused();
}

TCustomEdit* TEditAction::GetControl(TObject* Target) const {
  return control_ ? control_ : dynamic_cast<TCustomEdit*>(Target);
}

void TEditCopy::ExecuteTarget(TObject* Target) {
  if (TCustomEdit* e = GetControl(Target)) e->CopyToClipboard();
}
void TEditCopy::UpdateTarget(TObject* Target) {
  TCustomEdit* e = GetControl(Target);
  SetEnabled(e && e->SelLength() > 0);
}

void TEditCut::ExecuteTarget(TObject* Target) {
  if (TCustomEdit* e = GetControl(Target)) e->CutToClipboard();
}
void TEditCut::UpdateTarget(TObject* Target) {
  TCustomEdit* e = GetControl(Target);
  SetEnabled(e && e->SelLength() > 0 && !e->ReadOnly());
}

void TEditDelete::ExecuteTarget(TObject* Target) {
  if (TCustomEdit* e = GetControl(Target)) e->ClearSelection();
}
void TEditDelete::UpdateTarget(TObject* Target) {
  TCustomEdit* e = GetControl(Target);
  SetEnabled(e && e->SelLength() > 0 && !e->ReadOnly());
}

void TEditPaste::ExecuteTarget(TObject* Target) {
  if (TCustomEdit* e = GetControl(Target)) e->PasteFromClipboard();
}
void TEditPaste::UpdateTarget(TObject* Target) {
  TCustomEdit* e = GetControl(Target);
  SetEnabled(e && !e->ReadOnly() && Clipboard()->HasFormat(CF_TEXT));
}

void TEditSelectAll::ExecuteTarget(TObject* Target) {
  if (TCustomEdit* e = GetControl(Target)) e->SelectAll();
}
void TEditSelectAll::UpdateTarget(TObject* Target) {
  TCustomEdit* e = GetControl(Target);
  SetEnabled(e && !e->Text().empty());
}

// ---------------------------------------------------------------- TFileExit

TFileExit::TFileExit(TComponent* AOwner) : TCustomAction(AOwner) {
  SetDisableIfNoHandler(false);
}

bool TFileExit::HandlesTarget(TObject*) {
  return true;
}

void TFileExit::ExecuteTarget(TObject*) {
  if (Application && Application->MainForm()) Application->MainForm()->Close();
}

// ---------------------------------------------------------------- TFileSaveAs

TFileSaveAs::TFileSaveAs(TComponent* AOwner)
    : TCustomAction(AOwner), dialog_(std::make_unique<TSaveDialog>(nullptr)) {
  SetDisableIfNoHandler(false);
}

TFileSaveAs::~TFileSaveAs() = default;

bool TFileSaveAs::HandlesTarget(TObject*) {
  return true;
}

void TFileSaveAs::ExecuteTarget(TObject*) {
  InvokeEvent(BeforeExecute, this);
  const TComponentRef<TFileSaveAs> alive(this);
  const bool accepted = dialog_->Execute();
  if (!alive) return;  // freed with its owner while the dialog ran
  if (accepted)
    InvokeEvent(OnAccept, this);
  else
    InvokeEvent(OnCancel, this);
}

// ---------------------------------------------------------------- TListControlDeleteSelection

TListControlDeleteSelection::TListControlDeleteSelection(TComponent* AOwner) : TCustomAction(AOwner) {}

void TListControlDeleteSelection::SetListControl(TCustomListControl* Value) {
  if (listControl_ == Value) return;
  if (listControl_) listControl_->RemoveFreeNotification(this);
  listControl_ = Value;
  if (listControl_) listControl_->FreeNotification(this);
}

void TListControlDeleteSelection::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomAction::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == listControl_) listControl_ = nullptr;
}

TCustomListControl* TListControlDeleteSelection::Target(TObject* Target) const {
  return listControl_ ? listControl_ : dynamic_cast<TCustomListControl*>(Target);
}

bool TListControlDeleteSelection::HandlesTarget(TObject* Target) {
  if (listControl_) return true;  // its own list, wherever the focus is
  auto* list = dynamic_cast<TCustomListControl*>(Target);
  return list && list->Focused();
}

void TListControlDeleteSelection::ExecuteTarget(TObject* T) {
  if (TCustomListControl* list = Target(T)) list->DeleteSelected();
}

void TListControlDeleteSelection::UpdateTarget(TObject* T) {
  TCustomListControl* list = Target(T);
  SetEnabled(list && list->SelCount() > 0);
}
