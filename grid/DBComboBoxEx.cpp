#include "grid/DBComboBoxEx.h"

#include <algorithm>

#include "platform/gui/Clipbrd.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/ScopeExit.h"

namespace {

bool IsListKey(WORD Key, TShiftState Shift) {
  if (Key == VK_PRIOR || Key == VK_NEXT || Key == VK_UP || Key == VK_DOWN) return !Shift.Contains(ssAlt);
  return (Key == VK_HOME || Key == VK_END) && Shift.Contains(ssCtrl);
}

}  // namespace

// ---------------------------------------------------------------- TDropDownBoxEx

void TDropDownBoxEx::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TDropDownBoxEx*>(Source);
  if (!src) {
    TPersistent::Assign(Source);
    return;
  }
  align_ = src->align_;
  autoDrop_ = src->autoDrop_;
  rows_ = src->rows_;
  sizable_ = src->sizable_;
  width_ = src->width_;
}

// ---------------------------------------------------------------- TCustomDBComboBoxEx

TCustomDBComboBoxEx::TCustomDBComboBoxEx(TComponent* AOwner)
    : TCustomDBEditEx(AOwner),
      items_(std::make_unique<TStringList>()),
      keyItems_(std::make_unique<TStringList>()),
      dropDownBox_(std::make_unique<TDropDownBoxEx>()) {
  items_->OnChange = [this](TObject*) { ItemsChanged(false); };
  keyItems_->OnChange = [this](TObject*) { ItemsChanged(true); };
  InitParts();
}

TCustomDBComboBoxEx::~TCustomDBComboBoxEx() {
  items_->OnChange = nullptr;
  keyItems_->OnChange = nullptr;
}

std::unique_ptr<TEditButtonEx> TCustomDBComboBoxEx::CreateEditButton() {
  return std::make_unique<TVisibleEditButtonEx>(this, nullptr);
}

TPopupListboxEx* TCustomDBComboBoxEx::List() {
  if (!popupList_) {
    popupList_ = new TPopupListboxEx(this);
    popupList_->SetCtl3D(true);
    popupList_->OnMouseUp = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
      ListMouseUp(s, b, sh, x, y);
    };
  }
  return popupList_;
}

void TCustomDBComboBoxEx::SetImages(TCustomImageList* Value) {
  EditImage()->SetImages(Value);
  EditImage()->SetVisible(Value != nullptr);
}

// ---- items and keys

void TCustomDBComboBoxEx::ItemsChanged(bool KeysChanged) {
  const bool wasKeyBased = keyBased_;
  keyBased_ = keyItems_->Count() > 0;
  itemCount_ = keyBased_ ? std::min(items_->Count(), keyItems_->Count()) : items_->Count();
  if (keyBased_ && !wasKeyBased) {
    ++settingText_;
    TScopeExit done([this] { --settingText_; });
    TControl::SetText("");
  }
  UpdateReadOnly();
  itemIndex_ = items_->IndexOf(EditText());
  if (itemIndex_ >= itemCount_) itemIndex_ = -1;
  ResetMaxLength();
  if (KeysChanged) DataChanged();
}

void TCustomDBComboBoxEx::InternalSetItemIndex(int Value, bool Force) {
  if (Value == itemIndex_ && !Force) return;
  if (Value < 0 || Value >= itemCount_) {
    itemIndex_ = -1;
    keyValue_ = Null();
  } else {
    itemIndex_ = Value;
    if (keyBased_) keyValue_ = keyItems_->Strings(Value);
  }
  EditImage()->SetImageIndex(itemIndex_);
  if (listVisible_) popupList_->SetItemIndex(itemIndex_);
  TControl::SetText(itemIndex_ >= 0 ? items_->Strings(itemIndex_) : std::string());
}

void TCustomDBComboBoxEx::SetItemIndex(int Value) {
  if (!IsDataIndependent() && ComponentState().Contains(csDesigning)) return;
  if (!IsDataIndependent()) DataLink()->Edit();
  InternalSetItemIndex(Value);
  UpdateData();
}

void TCustomDBComboBoxEx::Clear() {
  if (keyBased_)
    SetValue(Null());
  else
    TCustomEdit::Clear();
}

TVariant TCustomDBComboBoxEx::GetValue() {
  return keyBased_ ? keyValue_ : TCustomDBEditEx::GetValue();
}

void TCustomDBComboBoxEx::InternalSetText(const std::string& AText) {
  if (keyBased_) {
    const int i = keyItems_->IndexOf(AText);
    if (i >= 0 && i < itemCount_) {
      InternalSetItemIndex(i, true);
    }
    return;
  }
  TCustomDBEditEx::InternalSetText(AText);
  itemIndex_ = items_->IndexOf(EditText());
  if (itemIndex_ >= itemCount_) itemIndex_ = -1;
  EditImage()->SetImageIndex(itemIndex_);
}

void TCustomDBComboBoxEx::InternalSetValue(const TVariant& AValue) {
  if (!keyBased_) {
    TCustomDBEditEx::InternalSetValue(AValue);
    itemIndex_ = items_->IndexOf(EditText());
    if (itemIndex_ >= itemCount_) itemIndex_ = -1;
    EditImage()->SetImageIndex(itemIndex_);
    return;
  }
  keyValue_ = AValue;
  int i = -1;
  if (!AValue.IsNull() && !AValue.IsEmpty()) i = keyItems_->IndexOf(AValue.AsString());
  // a key beyond the texts shows nothing and chooses nothing
  if (i >= itemCount_) i = -1;
  itemIndex_ = i;
  EditImage()->SetImageIndex(i);
  if (listVisible_) popupList_->SetItemIndex(i);
  TControl::SetText(i >= 0 ? items_->Strings(i) : std::string());
}

TAlignment TCustomDBComboBoxEx::GetFieldAlignment() const {
  return keyBased_ ? taLeftJustify : TCustomDBEditEx::GetFieldAlignment();
}

bool TCustomDBComboBoxEx::IsValidChar(char32_t Key) {
  return keyBased_ || TCustomDBEditEx::IsValidChar(Key);
}

void TCustomDBComboBoxEx::ResetMaxLength() {
  if (keyBased_) {
    SetMaxLength(0);
    return;
  }
  TCustomDBEditEx::ResetMaxLength();
}

void TCustomDBComboBoxEx::UpdateReadOnly() {
  TCustomDBEditEx::UpdateReadOnly();
  if (keyBased_) TCustomEdit::SetReadOnly(true);
}

void TCustomDBComboBoxEx::DataChanged() {
  if (!items_) return;  // still constructing
  TFieldDataLinkEx* link = DataLink();
  TField* f = link->Field();
  ++settingText_;
  TScopeExit done([this] { --settingText_; });
  if (f) {
    if (!AlignmentAssigned()) Invalidate();
    if (!EditMaskAssigned()) TCustomMaskEdit::SetEditMask(f->EditMask());
    if (!ComponentState().Contains(csDesigning) && !keyBased_ &&
        (f->DataType() == ftString || f->DataType() == ftWideString) && MaxLength() == 0)
      SetMaxLength(f->Size());
    if (!keyBased_ && (!Focused() || !link->CanModify())) {
      SetEditText(f->DisplayText());
      itemIndex_ = items_->IndexOf(EditText());
      if (itemIndex_ >= itemCount_) itemIndex_ = -1;
    } else {
      InternalSetValue(f->IsNull() ? Null() : TVariant(f->Text()));
    }
  } else if (IsDataIndependent()) {
    if (!EditMaskAssigned()) TCustomMaskEdit::SetEditMask("");
    InternalSetValue(link->Value());
  } else {
    if (!EditMaskAssigned()) TCustomMaskEdit::SetEditMask("");
    SetEditText("");
    itemIndex_ = -1;
    keyValue_ = Null();
  }
  UpdateReadOnly();
  SetModified(false);
  link->ClearModified();
}

void TCustomDBComboBoxEx::UpdateData() {
  if (OnNotInList && itemIndex_ == -1) {
    bool recheck = false;
    InvokeEvent(OnNotInList, this, EditText(), recheck);
    if (recheck) {
      // the handler may have added the text: it is looked up again
      const int i = items_->IndexOf(EditText());
      if (i >= 0 && i < itemCount_) InternalSetItemIndex(i, true);
    }
  }
  TCustomDBEditEx::UpdateData();
}

void TCustomDBComboBoxEx::DefaultUpdateData() {
  TFieldDataLinkEx* link = DataLink();
  if (IsDataIndependent() && !keyBased_)
    link->SetText(EditText());
  else if (IsDataIndependent())
    link->SetValue(keyValue_);  // the kept key stays Null when nothing is chosen
  else
    link->SetText(keyBased_
                      ? (keyValue_.IsNull() || keyValue_.IsEmpty() ? std::string() : keyValue_.AsString())
                      : Text());
}

// ---- choosing by text

bool TCustomDBComboBoxEx::CanEditNow() {
  return EditCanModify();
}

bool TCustomDBComboBoxEx::EditCanModify() {
  return TCustomDBEditEx::EditCanModify();
}

bool TCustomDBComboBoxEx::SelectItemByText(const std::string& Text, bool Partial) {
  if (!CanEditNow()) return false;
  const int chars = Utf8Length(Text);
  int found = -1;
  for (int i = 0; i < itemCount_ && found < 0; ++i) {
    const std::string& item = items_->Strings(i);
    const std::string head = Partial ? Utf8Copy(item, 1, chars) : item;
    if (AnsiCompareText(head, Text) == 0) found = i;
  }
  const int old = itemIndex_;
  if (found < 0) {
    if (!keyBased_) itemIndex_ = -1;
    return itemIndex_ != old;
  }
  InternalSetItemIndex(found, true);
  const int length = Utf8Length(items_->Strings(found));
  if (HandleAllocated())
    SendMessage(Handle(), EM_SETSEL, static_cast<WPARAM>(length), std::min(chars, length));
  return found != old;
}

void TCustomDBComboBoxEx::ProcessTypedText(const std::string& S) {
  if (!(DataSource() || IsDataIndependent()) || !CanEditNow()) return;
  if (S != "\b") {
    const std::string prefix = Utf8Copy(EditText(), 1, SelStart()) + S;
    SelectItemByText(prefix, true);
    return;
  }
  const int length = Utf8Length(EditText());
  if (length == 0) return;
  if (SelStart() == 0 && SelLength() == length) {
    SetSelStart(length - 1);
    SetSelLength(1);
    return;
  }
  const int start = std::max(0, SelStart() - 1);
  SendMessage(Handle(), EM_SETSEL, static_cast<WPARAM>(length), start);
}

void TCustomDBComboBoxEx::SelectNext(bool Up) {
  if (!CanEditNow() || itemCount_ == 0) return;
  int next = itemIndex_;
  if (Up)
    next = itemIndex_ == -1 ? itemCount_ - 1 : std::max(0, itemIndex_ - 1);
  else
    next = itemIndex_ == -1 ? 0 : std::min(itemCount_ - 1, itemIndex_ + 1);
  if (next == itemIndex_) return;
  InternalSetItemIndex(next);
  SelectAll();
}

// ---- keys and mouse

void TCustomDBComboBoxEx::KeyDown(WORD& Key, TShiftState Shift) {
  // Enter and Esc close the open list as characters; the masked edit must not reset meanwhile
  if (listVisible_ && (Key == VK_RETURN || Key == VK_ESCAPE)) return;
  if (listVisible_ && IsListKey(Key, Shift) && ShortCut(Key, Shift) != EditButton()->ShortCut()) {
    popupList_->Perform(WM_KEYDOWN, Key, 0);
    Key = 0;
    return;
  }
  const bool plain = !Shift.Contains(ssAlt) && !Shift.Contains(ssCtrl);
  if ((Key == VK_UP || Key == VK_DOWN) && plain && !listVisible_ && !ReadOnly() && !MRUDroppedDown() &&
      (!WordWrap() || (SelStart() == 0 && SelLength() == Utf8Length(EditText()))) && CanEditNow()) {
    SelectNext(Key == VK_UP);
    Key = 0;
    return;
  }
  if (Key == VK_DELETE && plain && keyBased_ && !ReadOnly() &&
      (IsDataIndependent() || (Field() && !Field()->Required())) && CanEditNow()) {
    SetValue(Null());
    Key = 0;
    return;
  }
  TCustomDBEditEx::KeyDown(Key, Shift);
}

void TCustomDBComboBoxEx::KeyPress(char32_t& Key) {
  if (listVisible_ && (Key == U'\r' || Key == 27)) {
    CloseUp(Key == U'\r');
    Key = 0;
    return;
  }
  TCustomDBEditEx::KeyPress(Key);
  if (Key == 0) return;
  if (Key == U'\b' && keyBased_ && !ReadOnly()) {
    ProcessTypedText("\b");
    Key = 0;
    return;
  }
  if (Key >= 32) {
    if (dropDownBox_->AutoDrop() && !listVisible_) DropDown();
    if (keyBased_ && !ReadOnly()) {
      std::string s;
      Utf8Append(s, Key);
      ProcessTypedText(s);
      Key = 0;
    }
  }
  typed_ = Key;
}

bool TCustomDBComboBoxEx::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
  if (listVisible_) {
    popupList_->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, WheelDelta), MAKELPARAM(MousePos.X, MousePos.Y));
    return true;
  }
  if (MRUDroppedDown()) return TCustomDBEditEx::DoMouseWheel(Shift, WheelDelta, MousePos);
  if (!Shift.Contains(ssShift) && !ReadOnly() && DataLink()->Edit()) {
    SelectNext(WheelDelta > 0);
    return true;
  }
  return TCustomDBEditEx::DoMouseWheel(Shift, WheelDelta, MousePos);
}

void TCustomDBComboBoxEx::EditButtonDown(TObject* Sender, bool TopButton, bool& AutoRepeat, bool& Handled) {
  TCustomDBEditEx::EditButtonDown(Sender, TopButton, AutoRepeat, Handled);
  if (!Handled && Sender == ButtonControl(0) && EditButton()->Style() == ebsUpDownEx) SelectNext(TopButton);
}

void TCustomDBComboBoxEx::EditButtonMouseMove(TObject* Sender, TShiftState Shift, int X, int Y) {
  TCustomDBEditEx::EditButtonMouseMove(Sender, Shift, X, Y);
  auto* button = dynamic_cast<TControl*>(Sender);
  if (!listVisible_ || !button || button != ButtonControl(0) || !button->MouseCapture()) return;
  // a drag from the button into the open list goes on as a press in the list
  const TPoint at = popupList_->ScreenToClient(button->ClientToScreen(TPoint(X, Y)));
  if (!PtInRect(popupList_->ClientRect(), at)) return;
  button->Perform(WM_CANCELMODE);
  popupList_->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.X, at.Y));
}

void TCustomDBComboBoxEx::ListMouseUp(TObject* /*Sender*/, TMouseButton Button, TShiftState /*Shift*/, int X,
                                      int Y) {
  if (Button != mbLeft) return;
  CloseUp(PtInRect(popupList_->ClientRect(), TPoint(X, Y)));
}

void TCustomDBComboBoxEx::Dispatch(TMessage& Message) {
  const bool mouse =
      Message.Msg >= WM_MOUSEFIRST && Message.Msg <= WM_MBUTTONDBLCLK && Message.Msg != WM_MOUSEMOVE;
  if (keyBased_ && mouse && !MouseCapture() &&
      !OverButtonsOrImage(TPoint(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)))) {
    // in key mode the text cannot be selected with the mouse: a press opens or closes the list
    if (Message.Msg == WM_LBUTTONDOWN && CanModify()) {
      if (listVisible_) {
        CloseUp(false);
      } else {
        if (CanFocus() && !TWinControl::Focused()) SetFocus();
        DropDown();
        droppedByPress_ = true;
      }
    } else if (Message.Msg == WM_RBUTTONUP) {
      const TPoint p = ClientToScreen(TPoint(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)));
      Perform(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Handle()), MAKELPARAM(p.X, p.Y));
    }
    return;
  }
  switch (Message.Msg) {
    case WM_SETCURSOR:
      if (keyBased_) {
        ::SetCursor(LoadCursor(nullptr, IDC_ARROW));
        Message.Result = 1;
        return;
      }
      break;
    case WM_PASTE:
      if (keyBased_) {
        if (Clipboard()->HasFormat(CF_TEXT)) ProcessTypedText(Clipboard()->AsText());
        return;
      }
      break;
    case CM_WANTSPECIALKEY: {
      const WORD key = static_cast<WORD>(Message.WParam);
      if (listVisible_ && (key == VK_RETURN || key == VK_ESCAPE)) {
        Message.Result = 1;
        return;
      }
      break;
    }
    case WM_KILLFOCUS:
      TCustomDBEditEx::Dispatch(Message);
      if (listVisible_) CloseUp(false);
      return;
    case WM_CANCELMODE:
    case CM_CANCELMODE:
      TCustomDBEditEx::Dispatch(Message);
      if (listVisible_ && reinterpret_cast<TControl*>(Message.LParam) != this && !TWinControl::Focused())
        CloseUp(false);
      return;
    case WM_CHAR: {
      typed_ = 0;
      TCustomDBEditEx::Dispatch(Message);
      // completion against the list as the text is typed
      if (typed_ == 0 || keyBased_ || GetKeyState(VK_CONTROL) < 0) return;
      const int length = Utf8Length(EditText());
      if (SelStart() == length && SelLength() == 0 && typed_ != U'\b') {
        ProcessTypedText("");
      } else {
        const int kept = SelStart();
        if (SelectItemByText(EditText(), false))
          SendMessage(Handle(), EM_SETSEL, static_cast<WPARAM>(kept), Utf8Length(EditText()));
      }
      return;
    }
    default:
      break;
  }
  TCustomDBEditEx::Dispatch(Message);
}

// ---- the list

void TCustomDBComboBoxEx::DropDown() {
  if (listVisible_) return;
  TCustomDBEditEx::DropDown();
  InvokeEvent(OnDropDown, this);
  TPopupListboxEx* list = List();
  list->SetBiDiMode(BiDiMode());
  list->SetColor(Color());
  list->Font()->Assign(Font());
  TCustomImageList* images = EditImage()->Visible() ? EditImage()->Images() : nullptr;
  list->SetImages(images);
  int itemHeight = list->GetTextHeight();
  if (images && EditImage()->UseImageHeight() && itemHeight < images->Height() + 1)
    itemHeight = images->Height();
  list->SetItemHeight(itemHeight);
  list->Items()->BeginUpdate();
  list->Items()->Clear();
  for (int i = 0; i < itemCount_; ++i) list->Items()->Add(items_->Strings(i));
  list->Items()->EndUpdate();
  list->HandleNeeded();
  list->SetRowCount(std::min(dropDownBox_->Rows(), std::max(1, itemCount_)));
  int width = dropDownBox_->Width();
  if (width == -1) {
    int widest = 0;
    for (int i = 0; i < itemCount_; ++i)
      widest = std::max(widest, TextExtentOf(Font(), items_->Strings(i)).cx);
    widest += 5;
    if (images) widest += images->Width() + 4;
    width = widest + (list->Width() - list->ClientWidth());
  } else if (width <= 0) {
    width = Width();
  }
  width = std::max(width, Width());
  list->SetBounds(list->Left(), list->Top(), width, list->Height());
  list->SetRowCount(std::min(dropDownBox_->Rows(), std::max(1, itemCount_)));
  list->SetItemIndex(itemIndex_);
  const TPoint at = SizeDropDownList(GetControlScreenRect(this), list, dropDownBox_->Align());
  list->SetSizeGripResizable(dropDownBox_->Sizable());
  list->SetBounds(at.X, at.Y, list->Width(), list->Height());
  list->SetVisible(true);
  SetWindowPos(list->Handle(), HWND_TOP, at.X, at.Y, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  list->SetSizeChanged(false);
  listVisible_ = true;
  droppedDown_ = true;
}

void TCustomDBComboBoxEx::CloseUp(bool Accept) {
  if (!listVisible_) return;
  TPopupListboxEx* list = popupList_;
  if (GetCapture() == list->Handle()) ReleaseCapture();
  SetWindowPos(list->Handle(), nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
  list->SetVisible(false);
  listVisible_ = false;
  droppedDown_ = false;
  if (list->SizeChanged()) {
    dropDownBox_->SetRows(list->RowCount());
    dropDownBox_->SetWidth(list->Width());
  }
  TCustomDBEditEx::CloseUp(Accept);
  if (Accept && !ReadOnly() && DataLink()->Edit()) {
    const int chosen = list->ItemIndex();
    if (chosen != itemIndex_) InternalSetItemIndex(chosen);
    if (TWinControl::Focused()) SelectAll();
  }
  InvokeEvent(OnCloseUp, this, Accept);
}
