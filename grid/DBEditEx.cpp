#include "grid/DBEditEx.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "grid/DBGridEx.h"
#include "grid/ExtraRow.h"
#include "platform/gui/Menus.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/ScopeExit.h"

namespace {

constexpr UINT WM_BUTTONMENUGUARD = WM_USER + 102;
constexpr char32_t kEsc = 27, kBackspace = 8, kCtrlV = 22, kCtrlX = 24;

std::string VariantText(const TVariant& V) {
  if (V.IsNull() || V.IsEmpty() || V.IsArray()) return std::string();
  return V.AsString();
}

bool IsStringField(TField* F) {
  return F && (F->DataType() == ftString || F->DataType() == ftWideString);
}

bool IsMemoField(TField* F) {
  return F && (F->DataType() == ftMemo || F->DataType() == ftFmtMemo);
}

}  // namespace

// ---------------------------------------------------------------- TFieldDataLinkEx

TFieldDataLinkEx::TFieldDataLinkEx() = default;

void TFieldDataLinkEx::SetFieldName(const std::string& Value) {
  if (fieldName_ == Value) return;
  fieldName_ = Value;
  UpdateDataIndependent();
  UpdateField();
}

void TFieldDataLinkEx::SetMultiFields(bool Value) {
  if (multiFields_ == Value) return;
  multiFields_ = Value;
  UpdateField();
}

void TFieldDataLinkEx::SetDataSource(TDataSource* Value) {
  if (DataSource() == Value) return;
  TDataLink::SetDataSource(Value);
  UpdateDataIndependent();
}

void TFieldDataLinkEx::UpdateDataIndependent() {
  const bool independent = DataSource() == nullptr && fieldName_.empty();
  if (independent == dataIndependent_) return;
  dataIndependent_ = independent;
  value_ = Null();
  editing_ = false;
  modified_ = false;
  if (dataIndependent_) InvokeEvent(OnDataChange, this);
}

bool TFieldDataLinkEx::IsLinkedField(TField* Value) const {
  return Value && std::find(fields_.begin(), fields_.end(), Value) != fields_.end();
}

bool TFieldDataLinkEx::Editing() const {
  return dataIndependent_ ? editing_ : TDataLink::Editing();
}

bool TFieldDataLinkEx::CanModify() const {
  if (dataIndependent_) return !ReadOnly();
  if (ReadOnly() || fields_.empty()) return false;
  for (TField* f : fields_)
    if (!f->CanModify()) return false;
  return true;
}

bool TFieldDataLinkEx::DataSetActive() const {
  return DataSource() && DataSet() && DataSet()->Active() && DataSet()->State() != dsOpening;
}

bool TFieldDataLinkEx::HasValueSource() const {
  return dataIndependent_ || (Active() && Field() != nullptr);
}

bool TFieldDataLinkEx::Edit() {
  if (dataIndependent_) {
    if (!editing_ && !ReadOnly()) {
      editing_ = true;
      modified_ = false;
      InvokeEvent(OnEditingChange, this);
    }
    return editing_;
  }
  if (CanModify()) TDataLink::Edit();
  return TDataLink::Editing();
}

void TFieldDataLinkEx::SetText(const std::string& Text) {
  if (dataIndependent_) {
    value_ = Text;
    InvokeEvent(OnDataChange, this);
    return;
  }
  TField* f = Field();
  if (!f) return;
  if (IsMemoField(f))
    f->SetAsString(Text);
  else
    f->SetText(Text);
}

void TFieldDataLinkEx::SetValue(const TVariant& Value) {
  if (dataIndependent_) {
    value_ = Value;
    InvokeEvent(OnDataChange, this);
    return;
  }
  if (fields_.size() == 1) {
    fields_.front()->SetValue(Value);
    return;
  }
  if (VarEquals(Value, Null())) {
    for (TField* f : fields_) f->SetValue(Null());
    return;
  }
  for (size_t i = 0; i < fields_.size(); ++i)
    fields_[i]->SetValue(Value.GetElement(Value.LowBound() + static_cast<int>(i)));
}

void TFieldDataLinkEx::Reset() {
  InvokeEvent(OnDataChange, this);
  modified_ = false;
}

void TFieldDataLinkEx::UpdateRecordEx() {
  if (dataIndependent_)
    UpdateData();
  else
    UpdateRecord();
}

void TFieldDataLinkEx::UpdateField() {
  fields_.clear();
  if (Active() && !fieldName_.empty()) {
    if (multiFields_)
      fields_ = GetFieldsArray(DataSet(), fieldName_);
    else
      fields_.push_back(DataSet()->FieldByName(fieldName_));
  }
  InvokeEvent(OnDataChange, this);
  modified_ = false;
  UpdateRightToLeft();
}

void TFieldDataLinkEx::UpdateRightToLeft() {
  auto* control = dynamic_cast<TWinControl*>(control_);
  if (!control || !control->HandleAllocated() || !control->IsRightToLeft()) return;
  // the window stands its text at the right when the text it shows is left-aligned, mirrored
  auto* edit = dynamic_cast<TCustomDBEditEx*>(control);
  TField* field = Field();
  const TAlignment alignment = edit ? edit->Alignment() : (field ? field->Alignment() : taLeftJustify);
  const bool wanted = control->UseRightToLeftAlignment() && alignment == taLeftJustify;
  const bool rightAligned = (GetWindowLongPtr(control->Handle(), GWL_EXSTYLE) & WS_EX_RIGHT) != 0;
  if (rightAligned != wanted) control->Perform(CM_RECREATEWND);
}

void TFieldDataLinkEx::ActiveChanged() {
  UpdateField();
  InvokeEvent(OnActiveChange, this);
}

void TFieldDataLinkEx::DataSetChanged() {
  UpdateField();
}

void TFieldDataLinkEx::LayoutChanged() {
  UpdateField();
}

void TFieldDataLinkEx::EditingChanged() {
  InvokeEvent(OnEditingChange, this);
}

void TFieldDataLinkEx::RecordChanged(TField* Field) {
  if (Field && !IsLinkedField(Field)) return;
  InvokeEvent(OnDataChange, this);
  modified_ = false;
}

void TFieldDataLinkEx::UpdateData() {
  if (!modified_) return;
  InvokeEvent(OnUpdateData, this);
  modified_ = false;
}

void TFieldDataLinkEx::FocusControl(TField** Field) {
  if (!Field || !IsLinkedField(*Field)) return;
  auto* control = dynamic_cast<TWinControl*>(control_);
  if (!control || !control->CanFocus()) return;
  control->SetFocus();
  *Field = nullptr;
}

// ---------------------------------------------------------------- TEditImageEx

TEditImageEx::TEditImageEx(TCustomDBEditEx* AEdit) : edit_(AEdit) {}

TPersistent* TEditImageEx::GetOwner() const {
  return edit_;
}

void TEditImageEx::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TEditImageEx*>(Source);
  if (!src) {
    TPersistent::Assign(Source);
    return;
  }
  imageIndex_ = src->imageIndex_;
  images_ = src->images_;
  useImageHeight_ = src->useImageHeight_;
  visible_ = src->visible_;
  width_ = src->width_;
  Changed();
}

void TEditImageEx::Changed() {
  if (edit_) edit_->Perform(CM_CHANGED, 0, reinterpret_cast<LPARAM>(this));
}

#define TALVIK_IMAGE_SETTER(Name, Type, member) \
  void TEditImageEx::Set##Name(Type Value) {    \
    if (member == Value) return;                \
    member = Value;                             \
    Changed();                                  \
  }
TALVIK_IMAGE_SETTER(ImageIndex, int, imageIndex_)
void TEditImageEx::SetImages(TCustomImageList* Value) {
  if (images_ == Value) return;
  images_ = Value;
  if (images_ && edit_) images_->FreeNotification(edit_);
  Changed();
}
TALVIK_IMAGE_SETTER(UseImageHeight, bool, useImageHeight_)
TALVIK_IMAGE_SETTER(Visible, bool, visible_)
TALVIK_IMAGE_SETTER(Width, int, width_)
#undef TALVIK_IMAGE_SETTER

int TEditImageEx::ColumnWidth() const {
  if (!visible_ || !images_) return 0;
  return (width_ >= 1 ? width_ : images_->Width()) + 4;
}

// ---------------------------------------------------------------- TCustomDBEditEx

TCustomDBEditEx::TCustomDBEditEx(TComponent* AOwner) : TCustomMaskEdit(AOwner) {
  controlStyle_.Include(csReplicatable);
  mruList_ = std::make_unique<TMRUListEx>(this);
  mruList_->OnSetDropDown = [this](TObject*) { ShowMRUList(); };
  mruList_->OnSetCloseUp = [this](TObject*, bool Accept) { CloseMRUList(Accept); };
  mruList_->OnActiveChanged = [this](TObject*) {
    if (!mruList_->Active()) CloseMRUList(false);
  };
}

void TCustomDBEditEx::InitParts() {
  assert(!dataLink_ && "InitParts runs once");
  dataLink_ = CreateDataLink();
  dataLink_->SetControl(this);
  dataLink_->OnDataChange = [this](TObject* s) { LinkDataChange(s); };
  dataLink_->OnEditingChange = [this](TObject*) { EditingChanged(); };
  dataLink_->OnUpdateData = [this](TObject* s) { InternalUpdateData(s); };
  dataLink_->OnActiveChange = [this](TObject*) { UpdateButtons(); };
  editButton_ = CreateEditButton();
  editButton_->OnChange = [this](TObject*) { UpdateButtons(); };
  editButtons_ = CreateEditButtons();
  editButtons_->OnChanged = [this](TObject*) { UpdateButtons(); };
  editImage_ = CreateEditImage();
  UpdateButtons();
  DataChanged();
}

TCustomDBEditEx::~TCustomDBEditEx() {
  Destroying();
  if (dataLink_) {
    dataLink_->OnDataChange = nullptr;
    dataLink_->OnEditingChange = nullptr;
    dataLink_->OnUpdateData = nullptr;
    dataLink_->OnActiveChange = nullptr;
    dataLink_->SetDataSource(nullptr);
  }
  DestroyComponents();
}

std::unique_ptr<TFieldDataLinkEx> TCustomDBEditEx::CreateDataLink() {
  return std::make_unique<TFieldDataLinkEx>();
}

std::unique_ptr<TEditButtonEx> TCustomDBEditEx::CreateEditButton() {
  return std::make_unique<TEditButtonEx>(this, nullptr);
}

std::unique_ptr<TEditButtonsEx> TCustomDBEditEx::CreateEditButtons() {
  return std::make_unique<TEditButtonsEx>(this, CollectionItemClass<TVisibleEditButtonEx>);
}

std::unique_ptr<TEditImageEx> TCustomDBEditEx::CreateEditImage() {
  return std::make_unique<TEditImageEx>(this);
}

TEditButtonControlEx* TCustomDBEditEx::CreateEditButtonControl() {
  auto* control = new TEditButtonControlEx(this);
  control->SetBounds(0, 0, 10, 17);
  control->SetTransparent(false);
  control->SetControlStyle(control->ControlStyle() + csReplicatable);
  control->SetParent(this);
  return control;
}

TMRUListboxEx* TCustomDBEditEx::CreateMRUListBox() {
  auto* list = new TMRUListboxEx(this);
  list->SetSorted(true);
  list->SetCtl3D(false);
  return list;
}

// ---- properties

TAlignment TCustomDBEditEx::Alignment() const {
  return alignmentAssigned_ ? alignment_ : GetFieldAlignment();
}

void TCustomDBEditEx::SetAlignment(TAlignment Value) {
  alignmentAssigned_ = true;
  if (alignment_ == Value) return;
  alignment_ = Value;
  Invalidate();
}

TAlignment TCustomDBEditEx::GetFieldAlignment() const {
  TField* f = dataLink_ ? dataLink_->Field() : nullptr;
  return f ? f->Alignment() : taLeftJustify;
}

std::string TCustomDBEditEx::GetFieldEditMask() const {
  TField* f = dataLink_->Field();
  return f ? f->EditMask() : std::string();
}

void TCustomDBEditEx::SetAlwaysShowBorder(bool Value) {
  if (alwaysShowBorder_ == Value) return;
  alwaysShowBorder_ = Value;
  UpdateBorder();
}

void TCustomDBEditEx::SetFlat(bool Value) {
  if (flat_ == Value) return;
  flat_ = Value;
  UpdateButtons();
  UpdateHeight();
  if (HandleAllocated()) RedrawWindow(Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
}

void TCustomDBEditEx::SetWordWrap(bool Value) {
  if (wordWrap_ == Value) return;
  wordWrap_ = Value;
  RecreateWnd();
}

void TCustomDBEditEx::SetReadOnly(bool Value) {
  if (readOnly_ == Value) return;
  readOnly_ = Value;
  UpdateReadOnly();
}

void TCustomDBEditEx::SetEditMask(const std::string& Value) {
  editMaskAssigned_ = true;
  TCustomMaskEdit::SetEditMask(Value);
}

void TCustomDBEditEx::InternalSetDataField(const std::string& Value) {
  ResetMaxLength();
  dataLink_->SetFieldName(Value);
  UpdateButtons();
}

void TCustomDBEditEx::InternalSetDataSource(TDataSource* Value) {
  if (Value) Value->FreeNotification(this);
  ResetMaxLength();
  dataLink_->SetDataSource(Value);
  UpdateButtons();
  DataChanged();
}

void TCustomDBEditEx::ResetMaxLength() {
  TField* f = dataLink_->Field();
  if (MaxLength() > 0 && IsStringField(f) && MaxLength() == f->Size()) SetMaxLength(0);
}

void TCustomDBEditEx::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomMaskEdit::Notification(AComponent, Operation);
  if (Operation != opRemove || !dataLink_) return;
  if (AComponent == holderComponent_) {
    holder_ = nullptr;
    holderComponent_ = nullptr;
  }
  if (AComponent == DataSource()) SetDataSource(nullptr);
  if (editImage_ && AComponent == editImage_->Images()) editImage_->SetImages(nullptr);
  if (editButton_ && AComponent == editButton_->DropdownMenu()) editButton_->SetDropdownMenu(nullptr);
  for (int i = 0; editButtons_ && i < editButtons_->Count(); ++i)
    if (AComponent == editButtons_->Items(i)->DropdownMenu())
      editButtons_->Items(i)->SetDropdownMenu(nullptr);
}

void TCustomDBEditEx::Loaded() {
  TCustomMaskEdit::Loaded();
  UpdateButtons();
}

// ---- value and text

bool TCustomDBEditEx::CanModify() {
  return Enabled() && dataLink_->HasValueSource();
}

TVariant TCustomDBEditEx::GetValue() {
  return TVariant(Text());
}

void TCustomDBEditEx::SetValue(const TVariant& AValue) {
  if (!IsDataIndependent() && ComponentState().Contains(csDesigning)) return;
  if (!IsDataIndependent()) dataLink_->Edit();
  InternalSetValue(AValue);
  if (!updating_) UpdateData();
}

void TCustomDBEditEx::SetText(const std::string& Value) {
  if (!IsDataIndependent() && ComponentState().Contains(csDesigning)) return;
  if (!IsDataIndependent()) dataLink_->Edit();
  InternalSetText(Value);
  if (!updating_) UpdateData();
}

void TCustomDBEditEx::InternalSetText(const std::string& AText) {
  TControl::SetText(AText);
}

void TCustomDBEditEx::InternalSetValue(const TVariant& AValue) {
  TControl::SetText(VariantText(AValue));
}

void TCustomDBEditEx::Change() {
  if (dataLink_ && settingText_ == 0) dataLink_->SetModified();
  TCustomMaskEdit::Change();
  EditTextChanged();
}

bool TCustomDBEditEx::EditCanModify() {
  if (readOnly_) return false;
  if (holder_ && !holder_->CanEdit(this)) return false;
  return dataLink_->Edit();
}

void TCustomDBEditEx::Reset() {
  dataLink_->Reset();
  SelectAll();
}

void TCustomDBEditEx::LinkDataChange(TObject* /*Sender*/) {
  DataChanged();
}

void TCustomDBEditEx::DataChanged() {
  if (!dataLink_) return;
  TField* f = dataLink_->Field();
  ++settingText_;
  TScopeExit done([this] { --settingText_; });
  if (f) {
    if (!alignmentAssigned_) Invalidate();
    if (!editMaskAssigned_) TCustomMaskEdit::SetEditMask(f->EditMask());
    if (!ComponentState().Contains(csDesigning) && IsStringField(f) && MaxLength() == 0)
      SetMaxLength(f->Size());
    if (focused_ && dataLink_->CanModify()) {
      ShowEditText(IsMemoField(f) ? f->AsString() : f->Text());
      UpdateReadOnly();
      SetModified(false);
      dataLink_->ClearModified();
      return;
    }
  }
  std::string text;
  if (f) {
    text = IsMemoField(f) ? f->AsString() : f->DisplayText();
  } else {
    if (!editMaskAssigned_) TCustomMaskEdit::SetEditMask("");
    if (IsDataIndependent()) text = VariantText(dataLink_->Value());
  }
  ShowEditText(text);
  UpdateReadOnly();
  SetModified(false);
  dataLink_->ClearModified();
}

void TCustomDBEditEx::ShowEditText(const std::string& Value) {
  // the same text again (the record went into edit state under the user's first key) keeps the
  // caret and the selection the user is typing over
  if (HandleAllocated() && Value == EditText()) return;
  SetEditText(Value);
}

void TCustomDBEditEx::EditingChanged() {
  UpdateReadOnly();
}

void TCustomDBEditEx::UpdateReadOnly() {
  if (!dataLink_) return;
  // the window takes typing only while the link edits (the first change the user makes starts
  // that through EditCanModify) or an OnUpdateData handler takes the text
  bool ro = readOnly_;
  if (!ro) ro = !(dataLink_->Editing() && dataLink_->CanModify()) && !OnUpdateData;
  if (!ro && holder_ && !holder_->CanEdit(this)) ro = true;
  TCustomEdit::SetReadOnly(ro);
}

void TCustomDBEditEx::UpdateData() {
  if (focused_ && IsMasked() && !ComponentState().Contains(csDesigning)) ValidateEdit();
  bool handled = false;
  {
    TScopeExit done([this] { updating_ = false; });
    updating_ = true;
    InvokeEvent(OnUpdateData, this, handled);
  }
  if (!handled) DefaultUpdateData();
  SetModified(false);
  if (mruList_->AutoAdd() && mruList_->Active() && Showing()) mruList_->Add(Text());
}

void TCustomDBEditEx::DefaultUpdateData() {
  dataLink_->SetText(IsDataIndependent() ? EditText() : Text());
}

void TCustomDBEditEx::InternalUpdateData(TObject* /*Sender*/) {
  UpdateData();
}

void TCustomDBEditEx::SetFocused(bool Value) {
  if (focused_ == Value) return;
  focused_ = Value;
  if (Alignment() != taLeftJustify && !IsMasked()) Invalidate();
  dataLink_->Reset();
  UpdateBorder();
}

bool TCustomDBEditEx::IsValidChar(char32_t Key) {
  TField* f = dataLink_->Field();
  return !f || f->IsValidChar(Key);
}

std::string TCustomDBEditEx::GetDisplayTextForPaint() {
  if (PasswordChar() != 0) {
    std::string s;
    for (int i = Utf8Length(Text()); i > 0; --i) Utf8Append(s, PasswordChar());
    return s;
  }
  return EditText();
}

// ---- buttons

TEditButtonEx* TCustomDBEditEx::ButtonDefinition(int Index) const {
  if (Index == 0) return editButton_.get();
  return Index - 1 < editButtons_->Count() ? editButtons_->Items(Index - 1) : nullptr;
}

int TCustomDBEditEx::ButtonIndex(TObject* Sender) const {
  for (size_t i = 0; i < buttons_.size(); ++i)
    if (buttons_[i].Button == Sender) return static_cast<int>(i);
  return -1;
}

void TCustomDBEditEx::UpdateButtons() {
  if (!editButton_ || !editButtons_ || ComponentState().Contains(csDestroying)) return;
  ResizeEditButtonPairs(buttons_, 1 + editButtons_->Count(), this, this);
  const int client = ClientHeight();
  const bool canModify = CanModify();
  std::vector<int> widths(buttons_.size()), heights(buttons_.size());
  for (size_t i = 0; i < buttons_.size(); ++i) {
    TEditButtonEx* def = ButtonDefinition(static_cast<int>(i));
    TEditButtonControlEx* b = buttons_[i].Button;
    const bool visible = def->Visible();
    if (def->DropdownMenu()) def->DropdownMenu()->FreeNotification(this);
    b->SetStyle(def->Style());
    b->SetGlyph(def->Glyph());
    b->SetNumGlyphs(def->NumGlyphs());
    b->SetHint(def->Hint());
    b->SetFlat(flat_);
    b->SetVisible(visible);
    b->SetEnabled(canModify);
    b->SetActive(borderShown_);
    widths[i] = visible ? EditButtonWidth(def->Width(), flat_) : 0;
    heights[i] = EditButtonHeight(widths[i], client);
    const TColor sepColor = borderShown_ ? clBtnFace : Color();
    buttons_[i].Separator->Brush()->SetColor(sepColor);
    buttons_[i].Separator->Pen()->SetColor(sepColor);
  }
  // the main button at the right edge, the others leftwards in their order (mirrored right to left)
  buttonsWidth_ = PlaceEditButtonPairs(buttons_, widths, heights, TSize{ClientWidth(), client}, flat_,
                                       UseRightToLeftAlignment(), false);
  const TRect r = GetEditRect();
  textRect_ = r;
  if (HandleAllocated()) {
    SendMessage(Handle(), EM_SETRECT, 0, reinterpret_cast<LPARAM>(&r));
    Invalidate();
  }
}

TRect TCustomDBEditEx::GetEditRect() {
  const int image = editImage_ ? editImage_->ColumnWidth() : 0;
  // right to left the buttons stand at the left edge and the image at the right
  const int before = 1 + (UseRightToLeftAlignment() ? buttonsWidth_ : image);
  const int after = 1 + (UseRightToLeftAlignment() ? image : buttonsWidth_);
  return Rect(before, 0, std::max(before, ClientWidth() - after), ClientHeight());
}

TRect TCustomDBEditEx::ImageRect() {
  const int image = editImage_ ? editImage_->ColumnWidth() : 0;
  if (UseRightToLeftAlignment()) return Rect(ClientWidth() - image, 0, ClientWidth(), ClientHeight());
  return Rect(0, 0, image, ClientHeight());
}

void TCustomDBEditEx::EditButtonDown(TObject* Sender, bool TopButton, bool& AutoRepeat, bool& Handled) {
  if (CanFocus() && !Focused()) SetFocus();
  if (HandleAllocated()) {
    MSG m;
    if (PeekMessage(m, Handle(), WM_BUTTONMENUGUARD, WM_BUTTONMENUGUARD, PM_NOREMOVE) &&
        m.lParam == reinterpret_cast<LPARAM>(Sender)) {
      PeekMessage(m, Handle(), WM_BUTTONMENUGUARD, WM_BUTTONMENUGUARD, PM_REMOVE);
      return;  // this press closed the button's menu
    }
  }
  const int index = ButtonIndex(Sender);
  if (index < 0) return;
  TEditButtonEx* def = ButtonDefinition(index);
  if (index == 0) {
    InvokeEvent(OnButtonDown, Sender, TopButton, AutoRepeat, Handled);
  } else if (def->OnDown) {
    InvokeEvent(def->OnDown, Sender, TopButton, AutoRepeat, Handled);
  }
  if (Handled) return;
  if (!def->DropdownMenu()) {
    if (index == 0) DropDownByButton();
    return;
  }
  auto* button = buttons_[static_cast<size_t>(index)].Button;
  TPopupMenu* menu = def->DropdownMenu();
  POINT corner = Point(menu->Alignment() == paRight ? button->Left() + button->Width() : button->Left(),
                       button->Top() + button->Height());
  if (HandleAllocated()) {
    ::ClientToScreen(Handle(), corner);
    PostMessage(Handle(), WM_BUTTONMENUGUARD, 0, reinterpret_cast<LPARAM>(Sender));
  }
  menu->Popup(corner.X, corner.Y);
  button->Perform(WM_LBUTTONUP, 0, MAKELPARAM(0, 0));
}

void TCustomDBEditEx::DropDownByButton() {
  if (editButton_->Style() == ebsUpDownEx || droppedDown_) return;
  DropDown();
  droppedByPress_ = true;
}

void TCustomDBEditEx::EditButtonClick(TObject* Sender) {
  const int index = ButtonIndex(Sender);
  bool handled = false;
  if (index == 0) {
    InvokeEvent(OnButtonClick, Sender, handled);
  } else if (TEditButtonEx* def = index > 0 ? ButtonDefinition(index) : nullptr; def && def->OnClick) {
    InvokeEvent(def->OnClick, Sender, handled);
  }
  if (!handled && index == 0 && droppedDown_ && !droppedByPress_) CloseUp(false);
  droppedByPress_ = false;
}

void TCustomDBEditEx::EditButtonMouseMove(TObject* /*Sender*/, TShiftState /*Shift*/, int /*X*/, int /*Y*/) {}

void TCustomDBEditEx::EditButtonMouseUp(TObject* Sender, TMouseButton /*Button*/, TShiftState /*Shift*/,
                                        int X, int Y) {
  if (auto* control = dynamic_cast<TControl*>(Sender);
      control && !PtInRect(control->ClientRect(), Point(X, Y)))
    droppedByPress_ = false;
}

void TCustomDBEditEx::DropDown() {
  if (!buttons_.empty()) buttons_[0].Button->SetAlwaysDown(true);
  if (mruList_->Active()) CloseMRUList(false);
}

void TCustomDBEditEx::CloseUp(bool /*Accept*/) {
  if (!buttons_.empty()) buttons_[0].Button->SetAlwaysDown(false);
}

// ---- the recent entries

std::string TCustomDBEditEx::EmptyText() const {
  return IsMasked() ? FormatMaskText(EditMask(), "") : std::string();
}

bool TCustomDBEditEx::MRUDroppedDown() {
  return mruListBox_ && mruListBox_->ListVisible();
}

void TCustomDBEditEx::FilterMRUItem(const std::string& AText, bool& Accept) {
  const std::string text = Text();
  const std::string head = Utf8Copy(AText, 1, Utf8Length(text));
  Accept = mruList_->CaseSensitive() ? AnsiCompareStr(head, text) == 0 : AnsiCompareText(head, text) == 0;
}

void TCustomDBEditEx::EditTextChanged() {
  if (settingText_ > 0 || !mruList_) return;
  const std::string empty = EmptyText();
  const std::string shown = EditText();
  if (MRUDroppedDown() && shown == empty) {
    CloseMRUList(false);
    return;
  }
  if (mruList_->Active() && Showing() && focused_ && !droppedDown_ && shown != empty) ShowMRUList();
}

void TCustomDBEditEx::ShowMRUList() {
  if (!mruListBox_) {
    mruListBox_ = CreateMRUListBox();
    mruListBox_->SizeGrip()->OnParentResized = [this](TObject*) { mruSized_ = true; };
  }
  TMRUListboxEx* list = mruListBox_;
  const bool wasOpen = list->ListVisible();
  TMRUListEx* mru = mruList_.get();
  auto savedFilter = mru->OnFilterItem;
  mru->OnFilterItem = [this, savedFilter](TObject* s, const std::string& item, bool& accept) {
    FilterMRUItem(item, accept);
    if (savedFilter) savedFilter(s, item, accept);
  };
  bool complete = false;
  {
    TScopeExit restore([&] { mru->OnFilterItem = savedFilter; });
    complete = mru->FilterItemsTo(list->Items(), Text());
  }
  if (!complete || list->Count() == 0) {
    CloseMRUList(false);
    return;
  }
  if (!wasOpen) {
    list->SetBiDiMode(BiDiMode());
    list->SetColor(Color());
    list->Font()->Assign(Font());
    list->SetItemHeight(list->GetTextHeight());
    list->SetItemIndex(-1);
    RECT r;
    SendMessage(Handle(), EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r));
    const TPoint origin = ClientToScreen(TPoint(r.Left, 0));
    const int width = std::max(mru->DropDownWidth(), r.Width());
    list->SetBounds(origin.X, origin.Y, width, list->Height());
  }
  list->SetRowCount(std::min(list->Count(), mru->Rows()));
  TRect owner = GetControlScreenRect(this);
  RECT r;
  SendMessage(Handle(), EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r));
  owner.Left = ClientToScreen(TPoint(r.Left, 0)).X;
  const TPoint at = SizeDropDownList(owner, list, daLeft);
  list->SetSizeGripResizable(true);
  SetWindowPos(list->Handle(), HWND_TOP, at.X, at.Y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  list->SetVisible(true);
  if (!wasOpen) mruSized_ = false;
  list->SetSizeChanged(false);
  mru->SetDroppedDown(true);
}

void TCustomDBEditEx::StoreMRUDropDownSize() {
  if (!mruListBox_ || !mruSized_) return;
  mruList_->SetRows(mruListBox_->RowCount());
  mruList_->SetDropDownWidth(mruListBox_->Width());
  mruSized_ = false;
}

void TCustomDBEditEx::CloseMRUList(bool Accept) {
  if (!MRUDroppedDown()) return;
  TMRUListboxEx* list = mruListBox_;
  if (GetCapture() == list->Handle()) ReleaseCapture();
  StoreMRUDropDownSize();
  const int chosen = list->ItemIndex();
  const std::string text = chosen >= 0 ? list->Items()->Strings(chosen) : std::string();
  SetWindowPos(list->Handle(), nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
  list->SetVisible(false);
  mruList_->SetDroppedDown(false);
  if (Accept && chosen >= 0 && !readOnly_ && dataLink_->Edit()) {
    {
      ++settingText_;
      TScopeExit done([this] { --settingText_; });
      TControl::SetText(text);
    }
    dataLink_->SetModified();
    if (focused_) SelectAll();
  }
}

// ---- keys

void TCustomDBEditEx::KeyDown(WORD& Key, TShiftState Shift) {
  if (holder_ && holderKeysSeen_ == 0) {
    holder_->InplaceEditKeyDown(this, Key, Shift);
    if (Key == 0) return;
  }
  // the open recent-entries list steps with the arrows
  if (MRUDroppedDown() && !Shift.Contains(ssAlt) &&
      (Key == VK_UP || Key == VK_DOWN || Key == VK_PRIOR || Key == VK_NEXT ||
       ((Key == VK_HOME || Key == VK_END) && Shift.Contains(ssCtrl)))) {
    mruListBox_->Perform(WM_KEYDOWN, Key, 0);
    Key = 0;
    return;
  }
  TCustomMaskEdit::KeyDown(Key, Shift);
  if (Key == 0) return;
  const TShortCut pressed = ShortCut(Key, Shift);
  for (size_t i = 0; i < buttons_.size(); ++i) {
    TEditButtonEx* def = ButtonDefinition(static_cast<int>(i));
    if (!def || !def->Visible() || def->ShortCut() == 0 || def->ShortCut() != pressed) continue;
    if (i == 0 && !CanModify()) continue;
    TEditButtonControlEx* control = buttons_[i].Button;
    bool repeat = false, handled = false;
    EditButtonDown(control, false, repeat, handled);
    control->Click();
    Key = 0;
    return;
  }
  if (Key == 'A' && Shift == TShiftState{ssCtrl}) {
    SelectAll();
    Key = 0;
    return;
  }
  if ((Key == VK_DELETE || (Key == VK_INSERT && Shift.Contains(ssShift))) && !readOnly_) dataLink_->Edit();
}

void TCustomDBEditEx::KeyPress(char32_t& Key) {
  if (holder_) {
    holder_->InplaceEditKeyPress(this, Key);
    if (Key == 0) return;
  }
  if (MRUDroppedDown() && (Key == U'\r' || Key == kEsc)) {
    CloseMRUList(Key == U'\r');
    Key = 0;
    return;
  }
  if (Key > 31 && Key != kEsc && dataLink_->Field() && !IsValidChar(Key)) {
    MessageBeep(0);
    Key = 0;
    return;
  }
  TCustomMaskEdit::KeyPress(Key);
  if (Key == 0) return;
  if (Key == kEsc) {
    Reset();
    Key = 0;
    return;
  }
  if ((Key == kBackspace || Key == kCtrlV || Key == kCtrlX || Key >= 32) && !readOnly_) dataLink_->Edit();
}

void TCustomDBEditEx::KeyUp(WORD& Key, TShiftState Shift) {
  if (holder_) {
    holder_->InplaceEditKeyUp(this, Key, Shift);
    if (Key == 0) return;
  }
  TCustomMaskEdit::KeyUp(Key, Shift);
}

bool TCustomDBEditEx::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
  if (MRUDroppedDown()) {
    mruListBox_->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, WheelDelta), MAKELPARAM(MousePos.X, MousePos.Y));
    return true;
  }
  return TCustomMaskEdit::DoMouseWheel(Shift, WheelDelta, MousePos);
}

// ---- messages

bool TCustomDBEditEx::OverButtonsOrImage(TPoint P) {
  const bool overButtons =
      UseRightToLeftAlignment() ? P.X < buttonsWidth_ : P.X >= ClientWidth() - buttonsWidth_;
  const TRect image = ImageRect();
  return overButtons || (P.X >= image.Left && P.X < image.Right);
}

void TCustomDBEditEx::WndProc(TMessage& Message) {
  if (holder_) {
    holder_->InplaceEditWndProc(this, Message);
    if (Message.Result != 0) return;
  }
  TCustomMaskEdit::WndProc(Message);
}

void TCustomDBEditEx::CreateParams(TCreateParams& Params) {
  TCustomMaskEdit::CreateParams(Params);
  if (wordWrap_) {
    Params.Style |= ES_MULTILINE;
    Params.Style &= ~ES_AUTOHSCROLL;
  }
}

void TCustomDBEditEx::CreateWnd() {
  TCustomMaskEdit::CreateWnd();
  UpdateButtons();
}

void TCustomDBEditEx::UpdateBorder() {
  const bool shown = ComponentState().Contains(csDesigning) || focused_ || mouseInside_ || alwaysShowBorder_;
  if (shown == borderShown_) return;
  borderShown_ = shown;
  if (flat_ && HandleAllocated()) RedrawWindow(Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
  UpdateButtons();
}

void TCustomDBEditEx::PaintFlatBorder() {
  HDC dc = GetWindowDC(Handle());
  TScopeExit release([&] { ReleaseDC(Handle(), dc); });
  RECT r;
  GetWindowRect(Handle(), r);
  OffsetRect(r, -r.Left, -r.Top);
  if (borderShown_) {
    DrawEdge(dc, r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
  } else {
    TBrush face;
    face.SetColor(clBtnFace);
    FrameRect(dc, r, face.Handle());
    InflateRect(r, -1, -1);
  }
  TBrush face;
  face.SetColor(clBtnFace);
  FrameRect(dc, r, face.Handle());
}

bool TCustomDBEditEx::PaintsOwnText() {
  return (Alignment() != taLeftJustify && !focused_ && !wordWrap_) || ControlState().Contains(csPaintCopy);
}

void TCustomDBEditEx::PaintImage(HDC DC) {
  TRect r = ImageRect();
  if (r.IsEmpty()) return;
  TBrush back;
  back.SetColor(Color());
  FillRect(DC, r, back.Handle());
  InflateRect(r, -2, -1);
  DrawClippedImage(DC, r, editImage_->Images(), editImage_->ImageIndex(), Enabled());
}

void TCustomDBEditEx::PaintOwnText(HDC DC) {
  TCanvas canvas;
  canvas.SetHandle(DC);
  TScopeExit detach([&] { canvas.SetHandle(nullptr); });
  canvas.Font()->Assign(Font());
  if (!Enabled()) canvas.Font()->SetColor(clGrayText);
  canvas.Brush()->SetColor(Color());
  canvas.FillRect(ClientRect());
  if (!Ctl3D() && BorderStyle() == bsSingle) {
    canvas.Brush()->SetColor(clWindowFrame);
    canvas.FrameRect(ClientRect());
    canvas.Brush()->SetColor(Color());
  }
  const std::string text = GetDisplayTextForPaint();
  TRect r = textRect_;
  const int width = canvas.TextWidth(text);
  const TAlignment shown = BiDiAlignment(Alignment());
  int x = r.Left + 1;
  if (shown == taRightJustify) x = r.Right - width - 1;
  if (shown == taCenter) x = r.Left + (r.Width() - width) / 2;
  const int y = r.Top + std::max(0, (r.Height() - canvas.TextHeight("Wg")) / 2);
  canvas.TextRect(r, x, y, text);
}

void TCustomDBEditEx::DefaultHandler(TMessage& Message) {
  // presses over the buttons and the image are theirs, not the text's
  if (Message.Msg >= WM_LBUTTONDOWN && Message.Msg <= WM_MBUTTONDBLCLK && !MouseCapture() &&
      OverButtonsOrImage(TPoint(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam))))
    return;
  if (Message.Msg == WM_CHAR && !holder_) {
    // Enter and Tab only when the control wants them; Ctrl+Enter (line feed) passes
    if ((Message.WParam == U'\r' && !wantReturns_) || (Message.WParam == U'\t' && !wantTabs_)) return;
  }
  TCustomMaskEdit::DefaultHandler(Message);
}

void TCustomDBEditEx::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_GETDLGCODE: {
      LRESULT code = DLGC_WANTARROWS | DLGC_HASSETSEL | DLGC_WANTCHARS;
      if (wantTabs_) code |= DLGC_WANTTAB;
      if (wantReturns_) code |= DLGC_WANTALLKEYS;
      Message.Result = code;
      return;
    }
    case CM_WANTSPECIALKEY: {
      const WORD key = static_cast<WORD>(Message.WParam);
      const bool mruItem = MRUDroppedDown() && mruListBox_->ItemIndex() >= 0;
      if (((key == VK_RETURN || key == VK_ESCAPE) && mruItem) || (key == VK_ESCAPE && Modified())) {
        Message.Result = 1;
        return;
      }
      break;
    }
    case CM_ENTER:
      SetFocused(true);
      TCustomMaskEdit::Dispatch(Message);
      if (AutoSelect() && !(GetKeyState(VK_LBUTTON) < 0)) SelectAll();
      return;
    case CM_EXIT:
      if (IsMasked() && !ComponentState().Contains(csDesigning)) ValidateEdit();
      TCustomMaskEdit::Dispatch(Message);
      dataLink_->UpdateRecordEx();
      SetFocused(false);
      return;
    case WM_KILLFOCUS: {
      TCustomMaskEdit::Dispatch(Message);
      HWND to = reinterpret_cast<HWND>(Message.WParam);
      if (MRUDroppedDown() && to != mruListBox_->Handle()) CloseMRUList(false);
      return;
    }
    case WM_CANCELMODE:
    case CM_CANCELMODE:
      TCustomMaskEdit::Dispatch(Message);
      if (MRUDroppedDown() && reinterpret_cast<TControl*>(Message.LParam) != this) CloseMRUList(false);
      return;
    case WM_PASTE:
    case WM_CUT:
    case WM_UNDO:
      if (!readOnly_) dataLink_->Edit();
      break;
    case CM_CHANGED:
      if (editImage_ && Message.LParam == reinterpret_cast<LPARAM>(editImage_.get())) {
        UpdateButtons();
        UpdateHeight();
        return;
      }
      break;
    case CM_MOUSEENTER:
      mouseInside_ = true;
      UpdateBorder();
      break;
    case CM_MOUSELEAVE:
      mouseInside_ = false;
      UpdateBorder();
      break;
    case CM_ENABLEDCHANGED:
      TCustomMaskEdit::Dispatch(Message);
      UpdateButtons();
      return;
    case CM_FONTCHANGED:
      TCustomMaskEdit::Dispatch(Message);
      UpdateHeight();
      UpdateButtons();
      return;
    case WM_SIZE:
    case CM_BIDIMODECHANGED:
      TCustomMaskEdit::Dispatch(Message);
      UpdateButtons();
      return;
    case WM_SYSCOLORCHANGE:
      ClearButtonsBitmapCache();
      break;
    case WM_SETCURSOR: {
      POINT p;
      GetCursorPos(p);
      ::ScreenToClient(Handle(), p);
      if (OverButtonsOrImage(p)) {
        ::SetCursor(LoadCursor(nullptr, IDC_ARROW));
        Message.Result = 1;
        return;
      }
      break;
    }
    case WM_LBUTTONDOWN:
      if (holder_) {
        TPoint at;
        std::uint64_t time = 0;
        holder_->GetMouseDownInfo(at, time);
        const TPoint p = ClientToScreen(TPoint(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)));
        if (time != 0 && IsDoubleClick(at, p, static_cast<unsigned>(talvik::gui::Ticks() - time))) {
          Message.Msg = WM_LBUTTONDBLCLK;
        }
      }
      break;
    case WM_NCPAINT:
      TCustomMaskEdit::Dispatch(Message);
      if (flat_ && Ctl3D() && BorderStyle() == bsSingle) PaintFlatBorder();
      return;
    case WM_PAINT:
      if (!Message.WParam && PaintsOwnText()) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Handle(), ps);
        PaintOwnText(dc);
        PaintImage(dc);
        PaintControls(dc, nullptr);
        EndPaint(Handle(), ps);
        return;
      }
      TCustomMaskEdit::Dispatch(Message);
      if (!Message.WParam && HandleAllocated()) {
        // the edit window paints its text; the image and the buttons go over it
        HDC dc = GetDC(Handle());
        PaintImage(dc);
        PaintControls(dc, nullptr);
        ReleaseDC(Handle(), dc);
      }
      return;
    default:
      break;
  }
  TCustomMaskEdit::Dispatch(Message);
}

// ---- height

void TCustomDBEditEx::AdjustHeight() {
  UpdateHeight();
}

void TCustomDBEditEx::UpdateHeight() {
  if (!AutoSize() || BorderStyle() != bsSingle || wordWrap_) return;
  int textHeight = TextExtentOf(Font(), "Wg").cy;
  if (editImage_ && editImage_->UseImageHeight() && editImage_->Images() &&
      editImage_->Images()->Height() > textHeight)
    textHeight = editImage_->Images()->Height();
  const int border = GetSystemMetrics(SM_CYBORDER);
  const int extra = Ctl3D() ? border * (8 - (flat_ ? 2 : 0)) : border * (6 - (flat_ ? 2 : 0));
  SetHeight(textHeight + extra);
}

// ---- in place

void TCustomDBEditEx::SetInplaceEditHolder(TObject* Holder) {
  IInplaceEditHolderEx* holder = nullptr;
  if (Holder) {
    holder = dynamic_cast<IInplaceEditHolderEx*>(Holder);
    if (!holder) throw Exception(SInplaceEditHolderNoInterface);
  }
  if (holderComponent_) holderComponent_->RemoveFreeNotification(this);
  holder_ = holder;
  holderComponent_ = dynamic_cast<TComponent*>(Holder);
  if (holderComponent_) holderComponent_->FreeNotification(this);
  UpdateReadOnly();
}

void TCustomDBEditEx::InplaceMove(const TRect& Loc) {
  if (Loc.IsEmpty()) {
    InplaceHide();
    return;
  }
  HandleNeeded();
  const bool wasHidden = !IsWindowVisible(Handle());
  SetBounds(Loc.Left, Loc.Top, Loc.Width(), Loc.Height());
  SetVisible(true);
  SetWindowPos(Handle(), HWND_TOP, Loc.Left, Loc.Top, Loc.Width(), Loc.Height(),
               SWP_SHOWWINDOW | SWP_NOREDRAW);
  if (wasHidden) Invalidate();
  auto* holder = dynamic_cast<TWinControl*>(holder_);
  if (holder && holder->HandleAllocated() && GetFocus() == holder->Handle() && CanFocus()) SetFocus();
}

bool TCustomDBEditEx::Visible() const {
  if (!holder_ || !HandleAllocated()) return TCustomMaskEdit::Visible();
  return (GetWindowLongPtr(const_cast<TCustomDBEditEx*>(this)->Handle(), GWL_STYLE) & WS_VISIBLE) != 0;
}

void TCustomDBEditEx::InplaceHide() {
  // the editor's own flag, not whether it shows: under a hidden holder it would show again with it
  if (!Visible()) return;
  if (!HandleAllocated()) {
    SetVisible(false);  // a window made later comes hidden
    return;
  }
  const bool hadFocus = GetFocus() == Handle();
  SetWindowPos(Handle(), nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
  SetBounds(0, 0, 0, 0);
  SetVisible(false);
  auto* holder = dynamic_cast<TWinControl*>(holder_);
  if (hadFocus && holder && holder->CanFocus()) holder->SetFocus();
}

// ---------------------------------------------------------------- TDBEditEx

TDBEditEx::TDBEditEx(TComponent* AOwner) : TCustomDBEditEx(AOwner) {
  InitParts();
}
