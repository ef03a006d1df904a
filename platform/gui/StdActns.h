// Standard actions: the edit commands on the focused edit control, leaving the program, saving to a
// file the user names, and deleting the selection of a list control.
#pragma once

#include <memory>

#include "platform/gui/ActnList.h"
#include "platform/gui/Controls.h"
#include "platform/gui/Dialogs.h"

class TCustomEdit;

// An edit command on the focused edit control. Grids and editors take these actions themselves by
// overriding ExecuteAction/UpdateAction.
class TEditAction : public TAction {
  TALVIK_CLASS(TEditAction, TAction)
  explicit TEditAction(TComponent* AOwner);
  // A fixed edit control instead of the focused one (nullptr: the focused one).
  TCustomEdit* Control() const { return control_; }
  void SetControl(TCustomEdit* Value);
  bool HandlesTarget(TObject* Target) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 protected:
  TCustomEdit* GetControl(TObject* Target) const;

 private:
  TCustomEdit* control_ = nullptr;
};

class TEditCopy : public TEditAction {
  TALVIK_CLASS(TEditCopy, TEditAction)
  using TEditAction::TEditAction;
  void ExecuteTarget(TObject* Target) override;
  void UpdateTarget(TObject* Target) override;  // enabled with a selection
};

class TEditCut : public TEditAction {
  TALVIK_CLASS(TEditCut, TEditAction)
  using TEditAction::TEditAction;
  void ExecuteTarget(TObject* Target) override;
  void UpdateTarget(TObject* Target) override;  // enabled with a selection in a writable edit
};

class TEditPaste : public TEditAction {
  TALVIK_CLASS(TEditPaste, TEditAction)
  using TEditAction::TEditAction;
  void ExecuteTarget(TObject* Target) override;
  void UpdateTarget(TObject* Target) override;  // enabled with text on the clipboard, writable edit
};

// Deletes the selected text (grids delete their selection).
class TEditDelete : public TEditAction {
  TALVIK_CLASS(TEditDelete, TEditAction)
  using TEditAction::TEditAction;
  void ExecuteTarget(TObject* Target) override;
  void UpdateTarget(TObject* Target) override;  // enabled with a selection in a writable edit
};

class TEditSelectAll : public TEditAction {
  TALVIK_CLASS(TEditSelectAll, TEditAction)
  using TEditAction::TEditAction;
  void ExecuteTarget(TObject* Target) override;
  void UpdateTarget(TObject* Target) override;  // enabled when there is text
};

// Closes the main form (which ends the program).
class TFileExit : public TCustomAction {
  TALVIK_CLASS(TFileExit, TCustomAction)
  explicit TFileExit(TComponent* AOwner);
  bool HandlesTarget(TObject* Target) override;
  void ExecuteTarget(TObject* Target) override;
  void UpdateTarget(TObject* /*Target*/) override {}
};

// Asks for a file name in its own save dialog; OnAccept runs when the user chose one (the dialog's
// FileName tells which), OnCancel when not. BeforeExecute may set the dialog up first.
class TFileSaveAs : public TCustomAction {
  TALVIK_CLASS(TFileSaveAs, TCustomAction)
  explicit TFileSaveAs(TComponent* AOwner);
  ~TFileSaveAs() override;
  TSaveDialog* Dialog() const { return dialog_.get(); }
  bool HandlesTarget(TObject* Target) override;
  void ExecuteTarget(TObject* Target) override;
  void UpdateTarget(TObject* /*Target*/) override {}

  TNotifyEvent BeforeExecute;
  TNotifyEvent OnAccept;
  TNotifyEvent OnCancel;

 private:
  std::unique_ptr<TSaveDialog> dialog_;
};

// Deletes the selected items of its list control, or of the focused list control.
class TListControlDeleteSelection : public TCustomAction {
  TALVIK_CLASS(TListControlDeleteSelection, TCustomAction)
  explicit TListControlDeleteSelection(TComponent* AOwner);
  TCustomListControl* ListControl() const { return listControl_; }
  void SetListControl(TCustomListControl* Value);
  bool HandlesTarget(TObject* Target) override;
  void ExecuteTarget(TObject* Target) override;
  void UpdateTarget(TObject* Target) override;  // enabled with a selection
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  TCustomListControl* Target(TObject* Target) const;
  TCustomListControl* listControl_ = nullptr;
};
