#include "grid/DBLookupComboboxEx.h"

#include <algorithm>

#include "grid/DBGridExStyle.h"
#include "platform/db/DBConsts.h"
#include "platform/gui/Clipbrd.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/ScopeExit.h"

namespace {

constexpr char32_t kEscape = 27;

std::string JoinNames(const std::vector<TField*>& Fields) {
  std::string names;
  for (TField* f : Fields) {
    if (!names.empty()) names += ';';
    names += f->FieldName();
  }
  return names;
}

bool IsGridKey(WORD Key, TShiftState Shift) {
  if (Key == VK_PRIOR || Key == VK_NEXT || Key == VK_UP || Key == VK_DOWN) return !Shift.Contains(ssAlt);
  return (Key == VK_HOME || Key == VK_END) && Shift.Contains(ssCtrl);
}

}  // namespace

// ---------------------------------------------------------------- the links and the box

TDataSourceLinkEx::TDataSourceLinkEx(TCustomDBLookupComboboxEx* AControl) : combo_(AControl) {
  SetMultiFields(true);
}

void TDataSourceLinkEx::ActiveChanged() {
  TFieldDataLinkEx::ActiveChanged();
  if (!combo_->ComponentState().Contains(csDestroying)) combo_->UpdateDataFields();
}

void TDataSourceLinkEx::LayoutChanged() {
  TFieldDataLinkEx::LayoutChanged();
  if (!combo_->ComponentState().Contains(csDestroying)) combo_->UpdateDataFields();
}

void TListSourceLinkEx::ActiveChanged() {
  if (!combo_->ComponentState().Contains(csDestroying)) combo_->UpdateListFields();
}

void TListSourceLinkEx::LayoutChanged() {
  if (!combo_->ComponentState().Contains(csDestroying)) combo_->UpdateListFields();
}

TLookupComboboxDropDownBoxEx::TLookupComboboxDropDownBoxEx(TCustomDBLookupComboboxEx* ACombo)
    : TColumnDropDownBoxEx(nullptr, ACombo) {}

// ---------------------------------------------------------------- TCustomDBLookupComboboxEx

TCustomDBLookupComboboxEx::TCustomDBLookupComboboxEx(TComponent* AOwner) : TCustomDBEditEx(AOwner) {
  keyValue_ = Null();
  listLink_ = std::make_unique<TListSourceLinkEx>(this);
  lookupSource_ = std::make_unique<TDataSource>(nullptr);
  dropDownBox_ = std::make_unique<TLookupComboboxDropDownBoxEx>(this);
  dropDownBox_->SpecRow()->OnChanged = [this](TObject*) {
    Invalidate();
    UpdateListFields();
  };
  InitParts();
}

TCustomDBLookupComboboxEx::~TCustomDBLookupComboboxEx() {
  Destroying();
  if (dataList_) {
    dataList_->OnMouseCloseUp = nullptr;
    dataList_->OnUserKeyValueChange = nullptr;
  }
  listLink_->SetDataSource(nullptr);
  DataLink()->SetDataSource(nullptr);
  dropDownBox_->SpecRow()->OnChanged = nullptr;
}

std::unique_ptr<TFieldDataLinkEx> TCustomDBLookupComboboxEx::CreateDataLink() {
  return std::make_unique<TDataSourceLinkEx>(this);
}

std::unique_ptr<TEditButtonEx> TCustomDBLookupComboboxEx::CreateEditButton() {
  return std::make_unique<TVisibleEditButtonEx>(this, nullptr);
}

TPopupDataGridEx* TCustomDBLookupComboboxEx::DataList() {
  if (!dataList_) {
    dataList_ = new TPopupDataGridEx(this);
    dataList_->SetCtl3D(true);
    dataList_->OnMouseCloseUp = [this](TObject*, bool Accept) { CloseUp(Accept); };
    dataList_->OnUserKeyValueChange = [this](TObject* s) { GridUserKeyValueChange(s); };
  }
  return dataList_;
}

void TCustomDBLookupComboboxEx::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomDBEditEx::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == dataList_) {
    dataList_ = nullptr;
    droppedDown_ = false;
  }
  if (listLink_ && AComponent == listLink_->DataSource()) SetListSource(nullptr);
}

// ---- properties

void TCustomDBLookupComboboxEx::SetKeyValue(const TVariant& Value) {
  if (VarEquals(keyValue_, Value)) return;
  keyValue_ = Value;
  KeyValueChanged();
}

static void CheckListProperty(TCustomDBLookupComboboxEx* Combo) {
  if (Combo->LookupMode()) DatabaseError(SPropDefByLookup, Combo);
  if (Combo->DataLink()->DataSourceFixed()) DatabaseError(SDataSourceFixed, Combo);
}

void TCustomDBLookupComboboxEx::SetKeyField(const std::string& Value) {
  CheckListProperty(this);
  keyFieldName_ = Value;
  UpdateListFields();
}

void TCustomDBLookupComboboxEx::SetListField(const std::string& Value) {
  CheckListProperty(this);
  listFieldName_ = Value;
  if (dataList_ && dataList_->ListActive()) dataList_->SetListField(Value);
  UpdateListFields();
}

void TCustomDBLookupComboboxEx::SetListFieldIndex(int Value) {
  if (Value == listFieldIndex_) return;
  listFieldIndex_ = Value;
  UpdateListFields();
}

void TCustomDBLookupComboboxEx::SetListSource(TDataSource* Value) {
  CheckListProperty(this);
  listLink_->SetDataSource(Value);
  if (Value) Value->FreeNotification(this);
  UpdateListFields();
}

void TCustomDBLookupComboboxEx::SetStyle(TDBLookupComboboxExStyle Value) {
  if (Value == style_) return;
  style_ = Value;
  UpdateReadOnly();
  RefreshText();
}

void TCustomDBLookupComboboxEx::InternalSetDataField(const std::string& Value) {
  TCustomDBEditEx::InternalSetDataField(Value);
  UpdateDataFields();
}

void TCustomDBLookupComboboxEx::InternalSetDataSource(TDataSource* Value) {
  TCustomDBEditEx::InternalSetDataSource(Value);
  UpdateDataFields();
}

// ---- fields

void TCustomDBLookupComboboxEx::UpdateDataFields() {
  if (!listLink_) return;  // still constructing
  masterFields_.clear();
  masterFieldNames_.clear();
  TFieldDataLinkEx* link = DataLink();
  TField* lookupField = nullptr;
  if (link->Active() && !link->Fields().empty()) {
    TDataSet* lds = listLink_->DataSet();
    if (lds && lds->IsLinkedTo(link->DataSource())) DatabaseError(SCircularDataLink, this);
    const auto& fields = link->Fields();
    if (fields.size() == 1 && fields.front()->FieldKind() == fkLookup) {
      lookupField = fields.front();
      masterFields_ = GetFieldsArray(link->DataSet(), lookupField->KeyFields());
    } else {
      masterFields_ = fields;
    }
    masterFieldNames_ = JoinNames(masterFields_);
  }
  if (lookupField) {
    lookupMode_ = true;
    lookupSource_->SetDataSet(lookupField->LookupDataSet());
    keyFieldName_ = lookupField->LookupKeyFields();
    listLink_->SetDataSource(lookupSource_.get());
  } else if (lookupMode_) {
    lookupMode_ = false;
    listLink_->SetDataSource(nullptr);
    lookupSource_->SetDataSet(nullptr);
    keyFieldName_.clear();
  }
  UpdateListFields();
  UpdateReadOnly();
  UpdateButtons();
  DataChanged();
}

void TCustomDBLookupComboboxEx::UpdateListFields() {
  if (!listLink_ || droppedDown_) return;
  listActive_ = false;
  listField_ = nullptr;
  listFields_.clear();
  keyFields_.clear();
  TDataSet* lds = listLink_->DataSet();
  if (listLink_->Active() && lds && !keyFieldName_.empty()) {
    keyFields_ = GetFieldsArray(lds, keyFieldName_);
    listFields_ = GetFieldsArray(lds, listFieldName_);
    TField* data = DataLink()->Field();
    if (lookupMode_ && data) {
      listField_ = lds->FieldByName(data->LookupResultField());
      if (std::find(listFields_.begin(), listFields_.end(), listField_) == listFields_.end())
        listFields_.insert(listFields_.begin(), listField_);
    } else {
      if (listFields_.empty()) listFields_ = keyFields_;
      const int count = static_cast<int>(listFields_.size());
      listField_ =
          listFieldIndex_ >= 0 && listFieldIndex_ < count ? listFields_[listFieldIndex_] : listFields_[0];
    }
    listActive_ = true;
  }
  const bool modified = Modified();
  RefreshText();
  SetModified(modified);
}

// ---- the key and the text

TVariant TCustomDBLookupComboboxEx::CurrentKey() const {
  TDataSet* lds = listLink_->DataSet();
  if (!lds || !lds->Active() || lds->IsEmpty()) return Null();
  return lds->FieldValues(keyFieldName_);
}

bool TCustomDBLookupComboboxEx::KeyFitsKeyFields(const TVariant& Value) const {
  return KeyValueFitsKeyFields(Value, static_cast<int>(keyFields_.size()));
}

bool TCustomDBLookupComboboxEx::LocateKey() {
  TDataSet* lds = listLink_->DataSet();
  if (!listActive_ || keyValue_.IsNull() || keyValue_.IsEmpty() || !lds || !lds->Active() ||
      !KeyFitsKeyFields(keyValue_))
    return false;
  try {
    return lds->Locate(keyFieldName_, keyValue_, {});
  } catch (const EVariantError&) {
    return false;
  }
}

bool TCustomDBLookupComboboxEx::SpecRowShowsFor(bool KeyFound) const {
  TSpecRowEx* spec = dropDownBox_->SpecRow();
  return spec->Visible() &&
         (VarEquals(keyValue_, spec->Value()) || (spec->ShowIfNotInKeyList() && !KeyFound));
}

std::string TCustomDBLookupComboboxEx::TextForKey() {
  const bool found = LocateKey();
  if (SpecRowShowsFor(found)) return dropDownBox_->SpecRow()->GetCellText(listFieldIndex_);
  if (found && listField_) return listField_->DisplayText();
  if (ComponentState().Contains(csDesigning)) return Name();
  // free text written as text shows as it was written
  if (style_ == csDropDownEx && !keyValue_.IsNull() && !keyValue_.IsEmpty() && !keyValue_.IsArray())
    return keyValue_.AsString();
  return {};
}

void TCustomDBLookupComboboxEx::ShowText(const std::string& Text) {
  ++settingText_;
  TScopeExit done([this] { --settingText_; });
  if (EditText() != Text) SetEditText(Text);
}

void TCustomDBLookupComboboxEx::RefreshText() {
  // the focused control that is being edited keeps a text that still stands for the key
  if (Focused() && DataLink()->Editing() && selecting_ > 0) return;
  ShowText(TextForKey());
}

void TCustomDBLookupComboboxEx::KeyValueChanged() {
  if (IsDataIndependent() && inDataChanged_ == 0) {
    // without a field the link keeps the key
    ++writingLink_;
    TScopeExit done([this] { --writingLink_; });
    DataLink()->SetValue(keyValue_);
  }
  DataLink()->SetModified();
  if (selecting_ == 0) {
    const bool found = LocateKey();
    if (found && !VarEquals(keyValue_, dropDownBox_->SpecRow()->Value()) && listField_)
      ShowText(listField_->DisplayText());
    else
      ShowText(TextForKey());
  }
  if (droppedDown_ && dataList_) dataList_->SetKeyValue(keyValue_);
  if (style_ == csDropDownListEx && Focused()) SelectAll();
  InvokeEvent(OnKeyValueChanged, this);
}

TVariant TCustomDBLookupComboboxEx::GetValue() {
  return keyValue_;
}

void TCustomDBLookupComboboxEx::InternalSetValue(const TVariant& AValue) {
  SetKeyValue(AValue);
}

void TCustomDBLookupComboboxEx::InternalSetText(const std::string& AText) {
  if (LocateText(AText, false)) {
    SetKeyValue(CurrentKey());
  } else if (style_ == csDropDownEx) {
    ShowText(AText);
  }
}

void TCustomDBLookupComboboxEx::DataChanged() {
  if (!listLink_ || writingLink_ > 0) return;  // still constructing, or the control's own write
  ++inDataChanged_;
  TScopeExit done([this] { --inDataChanged_; });
  TFieldDataLinkEx* link = DataLink();
  TVariant key = Null();
  if (IsDataIndependent()) {
    key = link->Value();
  } else if (link->Active() && link->DataSetActive() && !masterFields_.empty()) {
    key = link->DataSet()->FieldValues(masterFieldNames_);
  }
  const bool changed = !VarEquals(keyValue_, key);
  keyValue_ = key;
  if (changed && droppedDown_ && dataList_) dataList_->SetKeyValue(keyValue_);
  RefreshText();
  UpdateReadOnly();
  SetModified(false);
  link->ClearModified();
}

void TCustomDBLookupComboboxEx::SelectKeyValue(const TVariant& Value) {
  ++selecting_;
  {
    TScopeExit done([this] { --selecting_; });
    if (masterFields_.empty()) {
      SetKeyValue(Value);
    } else if (DataLink()->Edit()) {
      SetFieldsValues(DataLink()->DataSet(), masterFieldNames_, Value);
      keyValue_ = Value;
    }
  }
  const bool found = LocateKey();
  if (found && !VarEquals(keyValue_, dropDownBox_->SpecRow()->Value()) && listField_)
    ShowText(listField_->DisplayText());
  else
    ShowText(TextForKey());
}

bool TCustomDBLookupComboboxEx::CanModify() {
  if (!TCustomDBEditEx::CanModify() || ReadOnly()) return false;
  if (IsDataIndependent()) return true;
  return !masterFields_.empty() && !DataLink()->ReadOnly() &&
         std::all_of(masterFields_.begin(), masterFields_.end(), [](TField* f) { return f->CanModify(); });
}

void TCustomDBLookupComboboxEx::UpdateReadOnly() {
  TCustomDBEditEx::UpdateReadOnly();
  // a pick-only list takes no typing into the window: keys go through the search
  if (style_ == csDropDownListEx) TCustomEdit::SetReadOnly(true);
}

bool TCustomDBLookupComboboxEx::IsValidChar(char32_t Key) {
  return style_ == csDropDownListEx || TCustomDBEditEx::IsValidChar(Key);
}

std::string TCustomDBLookupComboboxEx::GetDisplayTextForPaint() {
  if (ComponentState().Contains(csDesigning) && !DataLink()->Field()) return Name();
  if (DataLink()->Field() && listActive_) {
    TDataSet* lds = listLink_->DataSet();
    const TVariant key =
        masterFields_.empty() ? Null() : DataLink()->DataSet()->FieldValues(masterFieldNames_);
    if (key.IsNull() || !KeyFitsKeyFields(key) || !listField_) return {};
    const TVariant text = lds->Lookup(keyFieldName_, key, listField_->FieldName());
    return text.IsNull() || text.IsEmpty() ? std::string() : text.AsString();
  }
  return TCustomDBEditEx::GetDisplayTextForPaint();
}

// ---- writing back

bool TCustomDBLookupComboboxEx::LocateText(const std::string& Text, bool Partial) {
  TDataSet* lds = listLink_->DataSet();
  if (!listActive_ || !listField_ || !lds || !lds->Active()) return false;
  TLocateOptions options{loCaseInsensitive};
  if (Partial) options.Include(loPartialKey);
  return lds->Locate(listField_->FieldName(), TVariant(Text), options);
}

void TCustomDBLookupComboboxEx::UpdateData() {
  if (listActive_ && OnNotInList && !LocateText(EditText(), false)) {
    bool recheck = false;
    InvokeEvent(OnNotInList, this, EditText(), recheck);
    if (recheck && LocateText(EditText(), false)) SelectKeyValue(CurrentKey());
  }
  TCustomDBEditEx::UpdateData();
}

void TCustomDBLookupComboboxEx::DefaultUpdateData() {
  TFieldDataLinkEx* link = DataLink();
  const std::string text = EditText();
  const bool freeText = style_ == csDropDownEx && !text.empty() && !dropDownBox_->SpecRow()->Visible() &&
                        !LocateText(text, false);
  if (freeText) {
    // a text that is no list entry is written as text
    keyValue_ = TVariant(text);
    if (IsDataIndependent())
      link->SetValue(keyValue_);
    else if (masterFields_.size() == 1)
      masterFields_.front()->SetText(text);
    return;
  }
  if (style_ == csDropDownEx && text.empty() && !dropDownBox_->SpecRow()->Visible()) {
    // a text emptied holds no value, as in the plain edit, with or without a field: the key it
    // stood for would come back with its text (the keys that empty it without a character typed,
    // Delete, Ctrl+Del, a cut, look nothing up and leave that key in place)
    keyValue_ = Null();
  }
  if (IsDataIndependent()) {
    link->SetValue(keyValue_);
  } else if (!masterFields_.empty() && link->Editing()) {
    SetFieldsValues(link->DataSet(), masterFieldNames_, keyValue_);
  }
}

// ---- keys

bool TCustomDBLookupComboboxEx::IsSearchableField() const {
  return listField_ && (listField_->DataType() == ftString || listField_->DataType() == ftWideString) &&
         (listField_->FieldKind() == fkData || listField_->FieldKind() == fkInternalCalc);
}

void TCustomDBLookupComboboxEx::SelectNext(bool Up) {
  TDataSet* lds = listLink_->DataSet();
  if (!listActive_ || !lds || !lds->Active() || !CanModify() || !DataLink()->Edit()) return;
  if (LocateKey())
    lds->MoveBy(Up ? -1 : 1);
  else
    lds->First();
  if (lds->IsEmpty()) return;
  SelectKeyValue(CurrentKey());
  SelectAll();
}

void TCustomDBLookupComboboxEx::ProcessSearchText(const std::string& S) {
  if (!listActive_ || !IsSearchableField() || !CanModify() || !DataLink()->Edit()) return;
  const std::string text = EditText();
  const int length = Utf8Length(text);
  if (S == "\b") {
    // the typed prefix shrinks by one character: the selection grows backwards
    if (length == 0) return;
    const int start = std::max(0, SelStart() - 1);
    if (HandleAllocated()) SendMessage(Handle(), EM_SETSEL, static_cast<WPARAM>(length), start);
    return;
  }
  const std::string prefix = Utf8Copy(text, 1, SelStart()) + S;
  if (!LocateText(prefix, true)) return;
  SelectKeyValue(CurrentKey());
  const std::string shown = listField_->DisplayText();
  ShowText(shown);
  const int typed = Utf8Length(prefix);
  if (HandleAllocated())
    SendMessage(Handle(), EM_SETSEL, static_cast<WPARAM>(Utf8Length(shown)),
                std::min(typed, Utf8Length(shown)));
}

void TCustomDBLookupComboboxEx::CompleteFreeText(bool Backspace) {
  if (!listActive_ || !IsSearchableField()) return;
  const std::string text = EditText();
  const int length = Utf8Length(text);
  const bool atEnd = SelStart() == length && SelLength() == 0;
  if (atEnd && !Backspace && text.empty()) return;
  const bool complete = atEnd && !Backspace;  // typed at the end: the rest of the match is selected
  const int caret = SelStart();
  if (!LocateText(text, complete)) {
    ++selecting_;
    TScopeExit done([this] { --selecting_; });
    if (!keyValue_.IsNull()) SetKeyValue(Null());
    return;
  }
  const TVariant key = CurrentKey();
  const std::string shown = listField_->DisplayText();
  {
    ++selecting_;
    TScopeExit done([this] { --selecting_; });
    SetKeyValue(key);
  }
  ShowText(shown);
  if (!HandleAllocated()) return;
  if (complete)
    SendMessage(Handle(), EM_SETSEL, static_cast<WPARAM>(Utf8Length(shown)),
                std::min(length, Utf8Length(shown)));
  else
    SendMessage(Handle(), EM_SETSEL, static_cast<WPARAM>(caret), Utf8Length(shown));
}

void TCustomDBLookupComboboxEx::KeyDown(WORD& Key, TShiftState Shift) {
  if (InplaceEditHolder() && holderKeysSeen_ == 0) {
    InplaceEditHolder()->InplaceEditKeyDown(this, Key, Shift);
    if (Key == 0) return;
  }
  ++holderKeysSeen_;
  TScopeExit seen([this] { --holderKeysSeen_; });
  // Enter and Esc close the open grid; their characters must not reach the edit afterwards
  if (droppedDown_ && (Key == VK_RETURN || Key == VK_ESCAPE) && !Shift.Contains(ssAlt)) {
    if (HandleAllocated()) KillMessage(Handle(), WM_CHAR);
    CloseUp(Key == VK_RETURN);
    Key = 0;
    return;
  }
  if (droppedDown_ && dataList_ && IsGridKey(Key, Shift) &&
      ShortCut(Key, Shift) != EditButton()->ShortCut()) {
    dataList_->Perform(WM_KEYDOWN, Key, 0);
    Key = 0;
    return;
  }
  TSpecRowEx* spec = dropDownBox_->SpecRow();
  if (listActive_ && spec->Visible() && spec->ShortCut() != 0 && ShortCut(Key, Shift) == spec->ShortCut() &&
      CanModify()) {
    SelectKeyValue(spec->Value());
    ShowText(spec->GetCellText(listFieldIndex_));
    SelectAll();
    Key = 0;
    return;
  }
  const bool plain = !Shift.Contains(ssAlt) && !Shift.Contains(ssCtrl) && !Shift.Contains(ssShift);
  if ((Key == VK_UP || Key == VK_DOWN) && plain && !droppedDown_ && !MRUDroppedDown() && CanModify()) {
    SelectNext(Key == VK_UP);
    Key = 0;
    return;
  }
  if (Key == VK_DELETE && plain && style_ == csDropDownListEx && CanModify() &&
      SelLength() == Utf8Length(EditText()) &&
      std::none_of(masterFields_.begin(), masterFields_.end(), [](TField* f) { return f->Required(); })) {
    if (DataLink()->Edit()) {
      SelectKeyValue(Null());
      ShowText("");
    }
    Key = 0;
    return;
  }
  TCustomDBEditEx::KeyDown(Key, Shift);
}

void TCustomDBLookupComboboxEx::KeyPress(char32_t& Key) {
  if (droppedDown_ && (Key == U'\r' || Key == kEscape)) {
    CloseUp(Key == U'\r');
    Key = 0;
    return;
  }
  if (Key >= 32 && dropDownBox_->AutoDrop() && !droppedDown_) DropDown();
  if (style_ == csDropDownListEx && (Key == U'\b' || Key >= 32)) {
    if (InplaceEditHolder()) {
      InplaceEditHolder()->InplaceEditKeyPress(this, Key);
      if (Key == 0) return;
    }
    std::string s;
    if (Key == U'\b')
      s = "\b";
    else
      Utf8Append(s, Key);
    ProcessSearchText(s);
    Key = 0;
    return;
  }
  TCustomDBEditEx::KeyPress(Key);
  typed_ = Key;
}

bool TCustomDBLookupComboboxEx::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
  if (droppedDown_ && dataList_) {
    dataList_->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, WheelDelta), MAKELPARAM(MousePos.X, MousePos.Y));
    return true;
  }
  if (TCustomDBEditEx::DoMouseWheel(Shift, WheelDelta, MousePos)) return true;
  const bool shifted = Shift.Contains(ssShift) || Shift.Contains(ssCtrl) || Shift.Contains(ssAlt);
  if (!shifted && !ReadOnly() && CanModify() && DataLink()->Edit()) {
    SelectNext(WheelDelta > 0);
    return true;
  }
  return false;
}

void TCustomDBLookupComboboxEx::EditButtonDown(TObject* Sender, bool TopButton, bool& AutoRepeat,
                                               bool& Handled) {
  TCustomDBEditEx::EditButtonDown(Sender, TopButton, AutoRepeat, Handled);
  if (!Handled && Sender == ButtonControl(0) && EditButton()->Style() == ebsUpDownEx) SelectNext(TopButton);
}

bool TCustomDBLookupComboboxEx::HandOverMouse(TControl* From, int X, int Y) {
  if (!droppedDown_ || !dataList_ || !From->MouseCapture()) return false;
  const TPoint at = dataList_->ScreenToClient(From->ClientToScreen(TPoint(X, Y)));
  const TRect rows = dataList_->DataRect();
  const TRect spec = dataList_->SpecRowRect();
  const bool inRows = PtInRect(rows, at) || (!spec.IsEmpty() && PtInRect(spec, at));
  if (!inRows) return false;
  From->Perform(WM_CANCELMODE, 0, reinterpret_cast<LPARAM>(this));
  dataList_->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.X, at.Y));
  return true;
}

void TCustomDBLookupComboboxEx::EditButtonMouseMove(TObject* Sender, TShiftState Shift, int X, int Y) {
  TCustomDBEditEx::EditButtonMouseMove(Sender, Shift, X, Y);
  auto* button = dynamic_cast<TControl*>(Sender);
  if (button && button == ButtonControl(0)) HandOverMouse(button, X, Y);
}

void TCustomDBLookupComboboxEx::GridUserKeyValueChange(TObject*) {
  // the grid's choice shows in the text while the grid is open
  if (dataList_) ShowText(dataList_->SelectedText());
}

void TCustomDBLookupComboboxEx::Dispatch(TMessage& Message) {
  const UINT msg = Message.Msg;
  const bool mouse = msg >= WM_MOUSEFIRST && msg <= WM_MBUTTONDBLCLK;
  if (mouse && droppedDown_ && msg == WM_MOUSEMOVE && (Message.WParam & MK_LBUTTON) && MouseCapture()) {
    if (HandOverMouse(this, GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam))) return;
  }
  if (style_ == csDropDownListEx && mouse && msg != WM_MOUSEMOVE &&
      !OverButtonsOrImage(TPoint(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)))) {
    // the text part of a pick-only list takes no selection: a press opens or closes the grid
    if (msg == WM_LBUTTONDOWN) {
      if (droppedDown_) {
        CloseUp(false);
      } else if (CanModify()) {
        if (CanFocus() && !TWinControl::Focused()) SetFocus();
        DropDown();
        if (droppedDown_) {
          droppedByPress_ = true;
          SetMouseCapture(true);
        }
      }
    } else if (msg == WM_LBUTTONUP) {
      if (MouseCapture()) SetMouseCapture(false);
    } else if (msg == WM_RBUTTONUP) {
      const TPoint p = ClientToScreen(TPoint(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)));
      Perform(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Handle()), MAKELPARAM(p.X, p.Y));
    }
    return;
  }
  switch (msg) {
    case WM_SETCURSOR:
      if (style_ == csDropDownListEx) {
        ::SetCursor(LoadCursor(nullptr, IDC_ARROW));
        Message.Result = 1;
        return;
      }
      break;
    case WM_GETDLGCODE:
      TCustomDBEditEx::Dispatch(Message);
      if (droppedDown_) Message.Result |= DLGC_WANTALLKEYS;
      return;
    case CM_WANTSPECIALKEY: {
      const WORD key = static_cast<WORD>(Message.WParam);
      if (droppedDown_ && (key == VK_RETURN || key == VK_ESCAPE)) {
        Message.Result = 1;
        return;
      }
      break;
    }
    case WM_PASTE:
      if (!ReadOnly()) DataLink()->Edit();
      if (style_ == csDropDownListEx) {
        if (Clipboard()->HasFormat(CF_TEXT)) {
          const std::string pasted = Clipboard()->AsText();
          for (char32_t c : Utf8Chars(pasted)) {
            std::string s;
            Utf8Append(s, c);
            ProcessSearchText(s);
          }
        }
        return;
      }
      TCustomDBEditEx::Dispatch(Message);
      CompleteFreeText(true);
      return;
    case WM_CUT:
      TCustomDBEditEx::Dispatch(Message);
      if (style_ == csDropDownEx) CompleteFreeText(true);
      return;
    case WM_KILLFOCUS:
      TCustomDBEditEx::Dispatch(Message);
      if (droppedDown_ && dataList_ && reinterpret_cast<HWND>(Message.WParam) != dataList_->Handle())
        CloseUp(false);
      return;
    case WM_CANCELMODE:
    case CM_CANCELMODE:
      TCustomDBEditEx::Dispatch(Message);
      if (droppedDown_ && reinterpret_cast<TCustomDBLookupComboboxEx*>(Message.LParam) != this &&
          !TWinControl::Focused())
        CloseUp(false);
      return;
    case WM_CHAR: {
      typed_ = 0;
      TCustomDBEditEx::Dispatch(Message);
      // the free-text style completes or locates after each typed key that is not Ctrl or Alt
      if (style_ != csDropDownEx || typed_ == 0 || GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0)
        return;
      CompleteFreeText(typed_ == U'\b');
      return;
    }
    default:
      break;
  }
  TCustomDBEditEx::Dispatch(Message);
}

// ---- the grid

void TCustomDBLookupComboboxEx::DropDown() {
  if (droppedDown_ || !listActive_) return;
  if (CanFocus() && !TWinControl::Focused()) SetFocus();
  InvokeEvent(OnDropDown, this);
  TPopupDataGridEx* grid = DataList();
  TDataSet* lds = listLink_->DataSet();
  // 2. the grid as the control and the box say
  grid->SetKeyValue(Null());
  grid->SpecRow()->Assign(dropDownBox_->SpecRow());
  grid->SetColor(Color());
  grid->Font()->Assign(Font());
  grid->SetShowTitles(dropDownBox_->ShowTitles());
  grid->SetUseMultiTitle(dropDownBox_->UseMultiTitle());
  grid->SetLookupOptions(dropDownBox_->Options());
  grid->SetReadOnly(!CanModify());
  grid->OnCheckButton = OnDropDownBoxCheckButton;
  grid->OnDrawColumnCell = OnDropDownBoxDrawColumnCell;
  grid->OnGetCellParams = OnDropDownBoxGetCellParams;
  grid->OnSortMarkingChanged = OnDropDownBoxSortMarkingChanged;
  grid->OnTitleBtnClick = OnDropDownBoxTitleBtnClick;
  // 3. rows
  int rows = dropDownBox_->Rows();
  if (lds->IsSequenced() && lds->RecordCount() > 0) rows = std::min(lds->RecordCount(), rows);
  // 4. fields and the list
  const int index =
      static_cast<int>(std::find(listFields_.begin(), listFields_.end(), listField_) - listFields_.begin());
  grid->SetFitColumns(false);
  grid->SetKeyField(keyFieldName_);
  grid->SetListField(JoinNames(listFields_));
  grid->SetListFieldIndex(index);
  grid->SetListSource(listLink_->DataSource());
  grid->HandleNeeded();
  grid->SetRowCount(rows);
  // 5. width
  int width = dropDownBox_->Width();
  if (width == -1)
    width = grid->ColumnsWidth() + (grid->Width() - grid->ClientWidth());
  else if (width < 1)
    width = Width();
  width = std::max(width, Width());
  grid->SetBounds(grid->Left(), grid->Top(), width, grid->Height());
  grid->SetFitColumns(dropDownBox_->AutoFitColWidths());
  grid->SetRowCount(rows);
  grid->SetKeyValue(keyValue_);
  // 6. placement
  const TPoint at = SizeDropDownList(GetControlScreenRect(this), grid, dropDownBox_->Align());
  grid->SizeGrip()->SetVisible(dropDownBox_->Sizable());
  grid->SetBounds(at.X, at.Y, grid->Width(), grid->Height());
  grid->SetVisible(true);
  SetWindowPos(grid->Handle(), HWND_TOP, at.X, at.Y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  grid->SetSizeChanged(false);
  grid->SetColumnsMoved(false);
  grid->SetSpecRowChanged(false);
  TCustomDBEditEx::DropDown();
  droppedDown_ = true;
  Invalidate();
}

void TCustomDBLookupComboboxEx::CloseUp(bool Accept) {
  if (!droppedDown_ || !dataList_) return;
  TPopupDataGridEx* grid = dataList_;
  // 1.
  if (HWND capture = GetCapture()) SendMessage(capture, WM_CANCELMODE, 0, 0);
  const TVariant chosen = grid->KeyValue();
  SetWindowPos(grid->Handle(), nullptr, 0, 0, 0, 0,
               SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_HIDEWINDOW);
  grid->SetVisible(false);
  droppedDown_ = false;
  // 2. a size the user gave is kept
  if (grid->SizeChanged()) {
    const int rowsHeight =
        grid->ClientHeight() - (grid->ShowTitles() ? grid->TitleRowHeight() : 0) - grid->SpecRowHeight();
    dropDownBox_->SetRows(std::max(1, rowsHeight / std::max(1, grid->DefaultRowHeight())));
    dropDownBox_->SetWidth(grid->Width());
  }
  // 3.
  grid->SetListSource(nullptr);
  grid->SetFitColumns(false);
  if (grid->ColumnsMoved() && grid->Columns()->State() == csCustomized) {
    listFieldIndex_ = grid->ListFieldIndex();
    listFieldName_ = grid->ListField();
    dropDownBox_->SpecRow()->SetCellsText(grid->SpecRow()->CellsText());
  }
  TCustomDBEditEx::CloseUp(Accept);
  UpdateListFields();
  // 4.
  if (Accept && CanModify() && DataLink()->Edit()) {
    SelectKeyValue(chosen);
    if (TWinControl::Focused()) SelectAll();
  } else {
    RefreshText();
  }
  if (style_ == csDropDownEx && TWinControl::Focused()) SelectAll();
  Invalidate();
  // 5.
  InvokeEvent(OnCloseUp, this, Accept);
}
