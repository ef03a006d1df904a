// TDataSet: the edit cycle (edit, insert, append, post, cancel, delete) and the event hooks.
#include "platform/db/DB.h"

void TDataSet::CheckCanModify() {
  if (!CanModify()) DatabaseError(SDataSetReadOnly, this);
}

void TDataSet::CheckOperation(void (TDataSet::*Operation)(), const TDataSetErrorEvent& ErrorEvent) {
  for (;;) {
    try {
      UpdateCursorPos();
      (this->*Operation)();
      return;
    } catch (EDatabaseError& e) {
      TDataAction action = daFail;
      if (ErrorEvent) ErrorEvent(this, e, action);
      if (action == daFail) throw;
      if (action == daAbort) Abort();
    }
  }
}

void TDataSet::FreeFieldBuffers() {
  for (TField* f : fields_->List()) f->FreeBuffers();
}

void TDataSet::Edit() {
  if (state_ == dsEdit || state_ == dsInsert) return;
  CheckActive();
  if (recordCount_ == 0) {
    Insert();
    return;
  }
  CheckBrowseMode();
  CheckCanModify();
  DoBeforeEdit();
  CheckOperation(&TDataSet::InternalEdit, OnEditError);
  GetCalcFields(ActiveBuffer());
  SetState(dsEdit);
  DataEvent(deRecordChange, 0);
  DoAfterEdit();
}

void TDataSet::BeginInsertAppend() {
  CheckBrowseMode();
  CheckCanModify();
  DoBeforeInsert();
  DoBeforeScroll();
}

void TDataSet::EndInsertAppend() {
  SetState(dsInsert);
  try {
    DoOnNewRecord();
  } catch (...) {
    UpdateCursorPos();
    FreeFieldBuffers();
    SetState(dsBrowse);
    Resync({});
    throw;
  }
  modified_ = false;
  DataEvent(deDataSetChange, 0);
  DoAfterInsert();
  DoAfterScroll();
}

void TDataSet::Insert() {
  BeginInsertAppend();
  const TBookmark old_current = GetBookmark();
  MoveBuffer(recordCount_, activeRecord_);
  if (currentRecord_ >= activeRecord_) {
    ++currentRecord_;
    if (currentRecord_ >= bufferCount_) currentRecord_ = -1;
  }
  TRecordBuffer buffer = ActiveBuffer();
  InitRecord(buffer);
  if (recordCount_ == 0) {
    SetBookmarkFlag(buffer, bfBOF);
  } else if (!old_current.empty()) {
    SetBookmarkData(buffer, old_current.data());
  }
  if (recordCount_ < bufferCount_) ++recordCount_;
  InternalInsert();
  EndInsertAppend();
}

void TDataSet::Append() {
  BeginInsertAppend();
  ClearBuffers();
  TRecordBuffer buffer = buffers_[0];
  InitRecord(buffer);
  SetBookmarkFlag(buffer, bfEOF);
  recordCount_ = 1;
  bof_ = false;
  GetPriorRecords();
  InternalInsert();
  EndInsertAppend();
}

void TDataSet::UpdateRecord() {
  if (!dsEditModes.Contains(state_)) DatabaseError(SNotEditing, this);
  DataEvent(deUpdateRecord, 0);
}

void TDataSet::Post() {
  UpdateRecord();
  if (state_ != dsEdit && state_ != dsInsert) return;
  DataEvent(deCheckBrowseMode, 0);
  DoBeforePost();
  CheckOperation(&TDataSet::InternalPost, OnPostError);
  FreeFieldBuffers();
  SetState(dsBrowse);
  Resync({});
  DoAfterPost();
}

void TDataSet::Cancel() {
  if (state_ != dsEdit && state_ != dsInsert) return;
  DataEvent(deCheckBrowseMode, 0);
  DoBeforeCancel();
  const bool scroll_events = state_ == dsInsert;
  if (scroll_events) DoBeforeScroll();
  UpdateCursorPos();
  InternalCancel();
  FreeFieldBuffers();
  SetState(dsBrowse);
  Resync({});
  DoAfterCancel();
  if (scroll_events) DoAfterScroll();
}

void TDataSet::Delete() {
  CheckActive();
  if (state_ == dsInsert || state_ == dsSetKey) {
    Cancel();
    return;
  }
  if (recordCount_ == 0) DatabaseError(SDataSetEmpty, this);
  CheckCanModify();
  DataEvent(deCheckBrowseMode, 0);
  DoBeforeDelete();
  DoBeforeScroll();
  CheckOperation(&TDataSet::InternalDelete, OnDeleteError);
  FreeFieldBuffers();
  SetState(dsBrowse);
  Resync({});
  DoAfterDelete();
  DoAfterScroll();
}

void TDataSet::SetFields(std::initializer_list<TVariant> Values) {
  int i = 0;
  for (const TVariant& v : Values) {
    if (i >= fields_->Count()) break;
    if (!v.IsEmpty()) fields_->Fields(i)->SetValue(v);
    ++i;
  }
}

void TDataSet::InsertRecord(std::initializer_list<TVariant> Values) {
  Insert();
  SetFields(Values);
  Post();
}

void TDataSet::AppendRecord(std::initializer_list<TVariant> Values) {
  Append();
  SetFields(Values);
  Post();
}

void TDataSet::CheckRequiredFields() {
  for (TField* f : fields_->List()) {
    if (f->Required() && !f->ReadOnly() && f->FieldKind() == fkData && f->IsNull()) {
      f->FocusControl();
      DatabaseErrorFmt(SFieldRequired, {f->DisplayName()}, this);
    }
  }
}

void TDataSet::InternalPost() {
  CheckRequiredFields();
}

void TDataSet::InternalAddRecord(TRecordBuffer /*Buffer*/, bool /*Append*/) {
  DatabaseError(SNotSupported, this);
}

void TDataSet::DoAfterCancel() {
  CallEvent(AfterCancel);
}
void TDataSet::DoAfterClose() {
  CallEvent(AfterClose);
}
void TDataSet::DoAfterDelete() {
  CallEvent(AfterDelete);
}
void TDataSet::DoAfterEdit() {
  CallEvent(AfterEdit);
}
void TDataSet::DoAfterInsert() {
  CallEvent(AfterInsert);
}
void TDataSet::DoAfterOpen() {
  CallEvent(AfterOpen);
}
void TDataSet::DoAfterPost() {
  CallEvent(AfterPost);
}
void TDataSet::DoAfterRefresh() {
  CallEvent(AfterRefresh);
}
void TDataSet::DoAfterScroll() {
  CallEvent(AfterScroll);
}
void TDataSet::DoBeforeCancel() {
  CallEvent(BeforeCancel);
}
void TDataSet::DoBeforeClose() {
  CallEvent(BeforeClose);
}
void TDataSet::DoBeforeDelete() {
  CallEvent(BeforeDelete);
}
void TDataSet::DoBeforeEdit() {
  CallEvent(BeforeEdit);
}
void TDataSet::DoBeforeInsert() {
  CallEvent(BeforeInsert);
}
void TDataSet::DoBeforeOpen() {
  CallEvent(BeforeOpen);
}
void TDataSet::DoBeforePost() {
  CallEvent(BeforePost);
}
void TDataSet::DoBeforeRefresh() {
  CallEvent(BeforeRefresh);
}
void TDataSet::DoBeforeScroll() {
  CallEvent(BeforeScroll);
}
void TDataSet::DoOnCalcFields() {
  CallEvent(OnCalcFields);
}
void TDataSet::DoOnNewRecord() {
  CallEvent(OnNewRecord);
}
