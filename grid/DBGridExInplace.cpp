#include "grid/DBGridExInplace.h"

#include <algorithm>
#include <cmath>

#include "grid/DBGridEx.h"
#include "grid/DBGridExStyle.h"
#include "grid/DBLookupGridEx.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/Menus.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/ScopeExit.h"

namespace {
constexpr int kFirstMapSize = 8;
}

// ---------------------------------------------------------------- TGridDataLinkEx

TGridDataLinkEx::TGridDataLinkEx(IDBGridExLinkHost* AGrid) : grid_(AGrid) {}

TGridDataLinkEx::~TGridDataLinkEx() = default;

bool TGridDataLinkEx::AddMapping(const std::string& FieldName) {
  if (fieldCount_ >= kMaxMapSize) RaiseGridError(SGridTooManyColumns);
  TField* field = nullptr;
  if (sparseMap_) {
    field = DataSet() ? DataSet()->FindField(FieldName) : nullptr;
  } else {
    field = DataSet()->FieldByName(FieldName);
  }
  if (fieldCount_ >= FieldMapSize()) {
    const int size = FieldMapSize();
    int grown = size == 0 ? kFirstMapSize : size * 2;
    grown = std::min(std::max(grown, fieldCount_ + 1), kMaxMapSize);
    fieldMap_.resize(static_cast<size_t>(grown), -1);
  }
  fieldMap_[static_cast<size_t>(fieldCount_)] = field ? field->Index() : -1;
  ++fieldCount_;
  if (field) grid_->FreeNotification(field);
  return true;
}

void TGridDataLinkEx::ClearMapping() {
  fieldMap_.clear();
  fieldMap_.shrink_to_fit();
  fieldCount_ = 0;
}

int TGridDataLinkEx::GetMappedIndex(int Index) const {
  if (Index < 0 || Index >= fieldCount_ || Index >= FieldMapSize()) return -1;
  return fieldMap_[static_cast<size_t>(Index)];
}

TField* TGridDataLinkEx::GetMappedField(int Index) const {
  const int entry = GetMappedIndex(Index);
  if (entry < 0 || !DataSet() || entry >= DataSet()->FieldCount()) return nullptr;
  return DataSet()->Fields()->Fields(entry);
}

bool TGridDataLinkEx::DefaultFields() const {
  if (!DataSet()) return true;
  if (sparseMap_)
    for (int i = 0; i < fieldCount_; ++i)
      if (GetMappedIndex(i) < 0) return false;
  return DataSet()->DefaultFields();
}

void TGridDataLinkEx::Reset() {
  if (modified_) {
    RecordChanged(nullptr);
  } else if (DataSet()) {
    DataSet()->Cancel();
  }
}

// A change of the data gives up the text typed and not yet written before the grid hears of it: an
// editor the grid loads then shows the data, not that text (see TCustomDBGridEx::GetEditText).
void TGridDataLinkEx::ActiveChanged() {
  modified_ = false;
  grid_->LinkActive(Active());
}

void TGridDataLinkEx::DataSetChanged() {
  modified_ = false;
  grid_->DataChanged();
}

void TGridDataLinkEx::DataSetScrolled(int Distance) {
  grid_->Scroll(Distance);
}

void TGridDataLinkEx::EditingChanged() {
  grid_->EditingChanged();
}

void TGridDataLinkEx::FocusControl(TField** Field) {
  if (!Field || !*Field) return;
  grid_->SetSelectedField(*Field);
  if (grid_->SelectedField() == *Field && grid_->AcquireFocus()) {
    *Field = nullptr;
    grid_->ShowEditor();
  }
}

void TGridDataLinkEx::LayoutChanged() {
  grid_->LinkLayoutChanged();
  TDataLink::LayoutChanged();
}

// A change of another field of the record leaves the text typed and not yet written to be written
// into its own field; a change of that field or of the whole record gives it up.
void TGridDataLinkEx::RecordChanged(TField* Field) {
  if (!Field || Field == grid_->EditedField()) modified_ = false;
  grid_->RecordChanged(Field);
}

void TGridDataLinkEx::UpdateData() {
  if (inUpdateData_) return;
  TScopeExit done([this] {
    inUpdateData_ = false;
    modified_ = false;
  });
  inUpdateData_ = true;
  if (modified_) grid_->UpdateData();
}

// ---------------------------------------------------------------- drop-down placement

TDropDownPlacement PlaceDropDown(const TRect& EditorScreen, TSize Size, const TRect& WorkArea) {
  TDropDownPlacement p;
  p.Size = Size;
  const int below = WorkArea.Bottom - EditorScreen.Bottom;
  const int above = EditorScreen.Top - WorkArea.Top;
  bool placeBelow = true;
  if (Size.cy <= below) {
    placeBelow = true;
  } else if (Size.cy <= above) {
    placeBelow = false;
  } else {
    placeBelow = below >= above;
    p.Size.cy = placeBelow ? below : above;
  }
  if (placeBelow) {
    p.Pos.Y = EditorScreen.Bottom;
    p.VertGrip = 3;
  } else {
    p.Pos.Y = EditorScreen.Top - p.Size.cy;
    p.VertGrip = 2;
  }
  p.Size.cx = std::min(p.Size.cx, WorkArea.Width());
  p.Pos.X = EditorScreen.Left;
  if (p.Pos.X + p.Size.cx > WorkArea.Right) {
    p.Pos.X = WorkArea.Right - p.Size.cx;
    p.HorzGrip = 0;
  } else {
    p.HorzGrip = 1;
  }
  return p;
}

// ---------------------------------------------------------------- the edit style

TEditStyle ColumnEditStyle(TColumnEx* Column, TCustomDBGridEx* Grid) {
  switch (Column->ButtonStyle()) {
    case cbsEllipsis:
      return esEllipsis;
    case cbsUpDown:
      return esUpDown;
    case cbsDropDown:
      return esDropDown;
    case cbsNone:
      return esSimple;
    case cbsAuto:
      break;
  }
  TField* f = Column->Field();
  if (!f) return esSimple;
  if (f->Lookup()) {
    if (f->KeyFields().empty() || (Column->IsAssigned(cvReadOnly) && Column->ReadOnly()) || Grid->ReadOnly())
      return esSimple;
    TGridDataLinkEx* link = Grid->DataLink();
    if (!link->Active() || link->ReadOnly()) return esSimple;
    try {
      return AllFieldsCanModify(GetFieldsArray(f->DataSet(), f->KeyFields())) ? esDataList : esSimple;
    } catch (const Exception&) {
      return esSimple;
    }
  }
  if (Column->HasPickList() && !Column->ReadOnly()) return esPickList;
  const TFieldType t = f->DataType();
  if ((t == ftDate || t == ftDateTime || t == ftTimeStamp) && !Column->ReadOnly()) return esDateCalendar;
  return esSimple;
}

// ---------------------------------------------------------------- TDBGridInplaceEdit

TDBGridInplaceEdit::TDBGridInplaceEdit(TCustomDBGridEx* AGrid)
    : TInplaceEdit(AGrid), dbGrid_(AGrid), dataListSource_(std::make_unique<TDataSource>(nullptr)) {
  buttonWidth_ = dbGrid_->Flat() ? GetDefaultFlatButtonWidth() + 1 : GetSystemMetrics(SM_CXVSCROLL);
}

TDBGridInplaceEdit::~TDBGridInplaceEdit() {
  Destroying();
  // the columns' data grids may outlive the editor: they forget it
  for (TPopupDataGridEx* grid : hookedDataLists_) {
    grid->OnMouseCloseUp = nullptr;
    grid->OnUserKeyValueChange = nullptr;
    grid->OnSpecRowChanged = nullptr;
    grid->RemoveFreeNotification(this);
  }
  hookedDataLists_.clear();
  DestroyComponents();
}

void TDBGridInplaceEdit::Notification(TComponent* AComponent, TOperation Operation) {
  TInplaceEdit::Notification(AComponent, Operation);
  if (Operation == opRemove) std::erase(hookedDataLists_, AComponent);
  if (Operation == opRemove && AComponent == activeList_) {
    activeList_ = nullptr;
    listVisible_ = false;
    editStyle_ = esSimple;
  }
}

void TDBGridInplaceEdit::CreateParams(TCreateParams& Params) {
  TInplaceEdit::CreateParams(Params);
  if (wordWrap_) {
    Params.Style |= ES_MULTILINE;
    Params.Style &= ~ES_AUTOHSCROLL;
  }
}

void TDBGridInplaceEdit::SetWordWrap(bool Value) {
  if (wordWrap_ == Value) return;
  wordWrap_ = Value;
  if (HandleAllocated()) RecreateWnd();
}

TColumnEx* TDBGridInplaceEdit::Column() const {
  const int i = dbGrid_->GetSelectedIndex();
  TDBGridColumnsEx* cols = dbGrid_->Columns();
  return i >= 0 && i < cols->Count() ? cols->Items(i) : nullptr;
}

void TDBGridInplaceEdit::SetEditStyle(TEditStyle Value) {
  editStyle_ = Value;
  TWinControl* list = nullptr;
  switch (Value) {
    case esPickList:
      list = PickList();
      break;
    case esDateCalendar:
      list = PopupCalendar();
      break;
    case esDataList:
      list = DataList();
      break;
    case esDropDown:
      list = HasDropDownKeys() ? GetPopupCalculator() : nullptr;  // a numeric field's calculator
      break;
    default:
      break;
  }
  // an open drop-down goes up before the cell takes another one, or none (its column turned
  // read-only, say): closing it later would read a list that is no longer the cell's
  if (listVisible_ && list != activeList_) CloseUp(false);
  activeList_ = list;
  if (TColumnEx* c = Column()) SetReadOnly(c->ReadOnly());
  Invalidate();
}

bool TDBGridInplaceEdit::IsKeyPickList() const {
  TColumnEx* c = Column();
  return c && c->GetColumnType() == ctKeyPickList;
}

bool TDBGridInplaceEdit::HasNotInList() const {
  TColumnEx* c = Column();
  return c && static_cast<bool>(c->OnNotInList);
}

void TDBGridInplaceEdit::UpdateContents() {
  // the text first: taking it may write what was typed into another column, and the handlers of that
  // write may free or move columns; the column is read after it
  const std::string text = dbGrid_->GetEditText(dbGrid_->Col(), dbGrid_->Row());
  TColumnEx* c = Column();
  if (!c) {
    TInplaceEdit::UpdateContents();
    return;
  }
  SetEditStyle(ColumnEditStyle(c, dbGrid_));
  Font()->Assign(c->Font());
  const bool canModify = c->CanModify(false);
  TColCellParamsEx* params = dbGrid_->ColCellParams();
  c->FillColCellParams(params);
  params->Background = c->Color();
  params->Font = Font();
  params->State = 2;
  params->Text = text;
  // the text is what was typed and is still to be written (the grid keeps it through a layout)
  const bool typed = dbGrid_->DataLink()->Modified();
  params->ReadOnly = !canModify;
  c->GetColCellParams(true, params);
  SetColor(params->Background);
  paramsReadOnly_ = params->ReadOnly != !canModify;
  if (paramsReadOnly_) SetReadOnly(params->ReadOnly);
  SetWordWrap(c->WordWrap() && dbGrid_->MultiLineRows());
  SetEditText("");
  SetEditMask(dbGrid_->GetEditMask(dbGrid_->Col(), dbGrid_->Row()));
  SetEditText(params->Text);
  SetMaxLength(dbGrid_->GetEditLimit());
  SetModified(typed);
  mruList_ = c->MRUList();
}

TEditButtonControlEx* TDBGridInplaceEdit::CreateEditButtonControl() {
  auto* control = new TEditButtonControlEx(this);
  control->SetBounds(0, 0, 10, 17);
  control->SetTransparent(false);
  control->SetControlStyle(control->ControlStyle() + csReplicatable);
  control->SetParent(this);
  return control;
}

void TDBGridInplaceEdit::UpdateEditButtons() {
  TColumnEx* col = Column();
  ResizeEditButtonPairs(buttons_, 1 + (col ? col->EditButtons()->Count() : 0), this, this);
  const bool flat = dbGrid_->Flat();
  static constexpr TEditButtonStyleEx kMainStyle[] = {
      ebsDropDownEx, ebsEllipsisEx, ebsDropDownEx, ebsDropDownEx, ebsDropDownEx, ebsUpDownEx, ebsDropDownEx};
  std::vector<int> widths(buttons_.size(), 0);
  for (size_t i = 0; i < buttons_.size(); ++i) {
    TEditButtonControlEx* b = buttons_[i].Button;
    bool visible = false;
    int width = 0;
    if (i == 0) {
      visible = editStyle_ != esSimple;
      b->SetStyle(kMainStyle[editStyle_]);
      b->Glyph()->SetSize(0, 0);
      b->SetHint("");
    } else {
      TEditButtonEx* def = col->EditButtons()->Items(static_cast<int>(i) - 1);
      visible = def->Visible();
      b->SetStyle(def->Style());
      b->SetGlyph(def->Glyph());
      b->SetNumGlyphs(def->NumGlyphs());
      b->SetHint(def->Hint());
      width = def->Width();
    }
    b->SetFlat(flat);
    b->SetVisible(visible);
    widths[i] = visible ? EditButtonWidth(width, flat) : 0;
  }
  // all buttons as high as the lowest of them; the last one at the edge, the main button innermost
  const int client = ClientHeight();
  int height = client;
  for (int w : widths)
    if (w > 0) height = std::min(height, EditButtonHeight(w, client));
  const std::vector<int> heights(buttons_.size(), height);
  buttonWidth_ = PlaceEditButtonPairs(buttons_, widths, heights, TSize{ClientWidth(), client}, flat,
                                      dbGrid_->UseRightToLeftAlignment(), true);
}

void TDBGridInplaceEdit::BoundsChanged() {
  if (HandleAllocated()) KillMessage(Handle(), WM_MENUGUARD);
  UpdateEditButtons();
  for (ButtonPair& p : buttons_) {
    p.Button->SetActive(true);
    p.Separator->Brush()->SetColor(clBtnFace);
    p.Separator->Pen()->SetColor(clBtnFace);
  }
  TRect r = dbGrid_->Flat() ? Rect(2, 1, Width() - 2, Height() - 1) : Rect(2, 2, Width() - 2, Height());
  if (dbGrid_->UseRightToLeftAlignment()) {
    r.Left += buttonWidth_;
  } else {
    r.Right -= buttonWidth_;
  }
  textRect_ = r;
  if (HandleAllocated()) {
    SendMessage(Handle(), EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&r));
    SendMessage(Handle(), EM_SCROLLCARET);
  }
}

int TDBGridInplaceEdit::EditButtonIndex(TObject* Sender) const {
  for (size_t i = 0; i < buttons_.size(); ++i)
    if (buttons_[i].Button == Sender) return static_cast<int>(i);
  return -1;
}

void TDBGridInplaceEdit::EditButtonClick(TObject* Sender) {
  TColumnEx* col = Column();
  const int index = EditButtonIndex(Sender);
  bool handled = false;
  if (index == 0) {
    if ((editStyle_ == esEllipsis || editStyle_ == esDropDown) && dbGrid_->OnEditButtonClick) {
      auto handler = dbGrid_->OnEditButtonClick;
      handler(dbGrid_);
    }
    if (col && col->OnEditButtonClick) {
      auto handler = col->OnEditButtonClick;
      handler(Sender, handled);
    }
  } else if (index > 0 && col && index - 1 < col->EditButtons()->Count()) {
    TEditButtonEx* def = col->EditButtons()->Items(index - 1);
    if (def->OnClick) {
      auto handler = def->OnClick;
      handler(Sender, handled);
    }
  }
  if (!handled && listVisible_ && !droppedByMouse_ && index == 0) CloseUp(false);
  droppedByMouse_ = false;
}

void TDBGridInplaceEdit::SetFocus() {
  if (dbGrid_->FocusEditedFilterCell()) return;
  TInplaceEdit::SetFocus();
}

void TDBGridInplaceEdit::EditButtonDown(TObject* Sender, bool TopButton, bool& AutoRepeat, bool& Handled) {
  // a press on the editor's own button is the user's choice of this editor
  if (CanFocus()) TInplaceEdit::SetFocus();
  if (HandleAllocated()) {
    MSG m;
    if (PeekMessage(m, Handle(), WM_MENUGUARD, WM_MENUGUARD, PM_NOREMOVE) &&
        m.lParam == reinterpret_cast<LPARAM>(Sender)) {
      PeekMessage(m, Handle(), WM_MENUGUARD, WM_MENUGUARD, PM_REMOVE);
      return;  // this press closed the button's menu
    }
  }
  TColumnEx* col = Column();
  const int index = EditButtonIndex(Sender);
  if (index > 0 && col && index - 1 < col->EditButtons()->Count()) {
    TEditButtonEx* def = col->EditButtons()->Items(index - 1);
    if (def->OnDown) {
      auto handler = def->OnDown;
      handler(Sender, TopButton, AutoRepeat, Handled);
    }
    if (!Handled && def->DropdownMenu()) {
      auto* button = buttons_[static_cast<size_t>(index)].Button;
      TPopupMenu* menu = def->DropdownMenu();
      POINT corner = Point(menu->Alignment() == paRight ? button->Left() + button->Width() : button->Left(),
                           button->Top() + button->Height());
      if (HandleAllocated()) {
        ::ClientToScreen(Handle(), corner);
        PostMessage(Handle(), WM_MENUGUARD, 0, reinterpret_cast<LPARAM>(Sender));
      }
      menu->Popup(corner.X, corner.Y);
      button->Perform(WM_LBUTTONUP, 0, MAKELPARAM(0, 0));
    }
    return;
  }
  if (index == 0) {
    if (col && col->OnEditButtonDown) {
      auto handler = col->OnEditButtonDown;
      handler(Sender, TopButton, AutoRepeat, Handled);
    }
    if (!Handled) ButtonDown(!TopButton);
  }
}

void TDBGridInplaceEdit::EditButtonMouseUp(TObject* Sender, TMouseButton /*Button*/, TShiftState /*Shift*/,
                                           int X, int Y) {
  if (auto* control = dynamic_cast<TControl*>(Sender);
      control && !PtInRect(control->ClientRect(), Point(X, Y)))
    droppedByMouse_ = false;
}

void TDBGridInplaceEdit::ButtonDown(bool IsBottom) {
  if (editStyle_ == esUpDown) {
    UpDownClick(IsBottom);
    return;
  }
  if (!listVisible_) {
    DropDown();
    droppedByMouse_ = true;
  }
}

void TDBGridInplaceEdit::UpDownClick(bool IsBottom) {
  TColumnEx* col = Column();
  if (!col || !col->CanModify(true)) return;
  if (dbGrid_->EditText() != Text()) {
    dbGrid_->SetGridEditText(Text());
    dbGrid_->UpdateData();
  }
  double step = IsBottom ? -col->Increment() : col->Increment();
  if (col->GetColumnType() != ctCommon) step = -step;
  col->SetNextFieldValue(step);
}

void TDBGridInplaceEdit::Change() {
  TInplaceEdit::Change();
  textChanged_ = true;
}

void TDBGridInplaceEdit::ShowTextSelected(const std::string& Text, int TypedLength) {
  SetText(Text);
  SetSelStart(TypedLength);
  SetSelLength(Utf8Length(Text) - TypedLength);
  dbGrid_->SetGridEditText(Text);
}

void TDBGridInplaceEdit::TypeText(std::string& S) {
  if (S.size() == 1 && static_cast<unsigned char>(S[0]) < ' ' && S[0] != '\b') return;
  TColumnEx* col = Column();
  if (!col) return;
  const bool backspace = S == "\b";
  const std::string head = Utf8Copy(Text(), 1, SelStart());
  if (editStyle_ == esDataList) {
    TField* f = col->Field();
    TDataSet* lds = col->LookupDataSet();
    if (!f || !lds || !dbGrid_->CanEditModify() || !dbGrid_->AllowedOperationsCheck()) return;
    const std::string typed = S;
    S.clear();
    if (backspace) return;
    const std::string newText = head + typed;
    if (lds->Locate(f->LookupResultField(), TVariant(newText), {loCaseInsensitive, loPartialKey})) {
      TGridDataLinkEx* link = dbGrid_->DataLink();
      link->Edit();
      if (link->Editing()) link->MarkModified();
      ShowTextSelected(lds->FieldByName(f->LookupResultField())->Text(), Utf8Length(newText));
      dbGrid_->SetEditKeyValue(lds->FieldValues(f->LookupKeyFields()));
      DataListFollowsKey();
    } else if (col->OnNotInList) {
      SetText(newText);
      SetSelStart(Utf8Length(newText));
      SetSelLength(0);
      dbGrid_->SetGridEditText(newText);
      dbGrid_->SetEditKeyValue(Null());
    }
    return;
  }
  const bool keyPick = IsKeyPickList();
  if (editStyle_ != esPickList && !keyPick) return;
  if (!dbGrid_->CanEditModify()) return;
  if (keyPick && backspace) {
    S.clear();
    return;
  }
  const std::string newText = head + S;
  TStrings* picks = col->PickList();
  const int typedLength = Utf8Length(newText);
  for (int i = 0; i < picks->Count(); ++i) {
    const std::string item = picks->Strings(i);
    if (AnsiCompareText(Utf8Copy(item, 1, typedLength), newText) != 0) continue;
    S.clear();
    TGridDataLinkEx* link = dbGrid_->DataLink();
    link->Edit();
    if (link->Editing()) link->MarkModified();
    ShowTextSelected(item, typedLength);
    if (listVisible_ && activeList_ == pickList_ && pickList_) pickList_->SetItemIndex(i);
    return;
  }
  if (!keyPick) return;  // a plain pick list takes any text
  if (col->OnNotInList) {
    SetText(newText);
    SetSelStart(typedLength);
    SetSelLength(0);
    dbGrid_->SetGridEditText(newText);
    dbGrid_->SetEditKeyValue(Null());
  }
  S.clear();
}

void TDBGridInplaceEdit::MatchTextAfterEdit(const std::string& NewText, int Caret) {
  TColumnEx* col = Column();
  SetText(NewText);
  SetSelStart(Caret);
  SetSelLength(0);
  dbGrid_->SetGridEditText(NewText);
  TField* f = col->Field();
  if (f && f->Lookup()) {
    TDataSet* lds = col->LookupDataSet();
    TVariant key = Null();
    if (lds && lds->Locate(f->LookupResultField(), TVariant(NewText), {loCaseInsensitive}))
      key = lds->FieldValues(f->LookupKeyFields());
    dbGrid_->SetEditKeyValue(key);
    DataListFollowsKey();
  }
}

void TDBGridInplaceEdit::KeyDown(WORD& Key, TShiftState Shift) {
  TColumnEx* col = Column();
  const bool plain = !Shift.Contains(ssShift) && !Shift.Contains(ssCtrl) && !Shift.Contains(ssAlt);
  // 1. Ctrl+Enter presses the ellipsis or drop-down button
  if (Key == VK_RETURN && Shift.Contains(ssCtrl) && (editStyle_ == esEllipsis || editStyle_ == esDropDown)) {
    if (HandleAllocated()) KillMessage(Handle(), WM_CHAR);
    if (dbGrid_->OnEditButtonClick) {
      auto handler = dbGrid_->OnEditButtonClick;
      handler(dbGrid_);
    }
    Key = 0;
    return;
  }
  const bool valueList =
      col && (col->GetColumnType() == ctLookupField || col->GetColumnType() == ctKeyPickList);
  // 2-3. Delete and Backspace on a look-up or key-pick-list column
  if (valueList && (Key == VK_DELETE || Key == VK_BACK) && plain && col->CanModify(false)) {
    const std::u32string text = Utf8ToUtf32(Text());
    const int start = SelStart(), length = SelLength(), size = static_cast<int>(text.size());
    if (Key == VK_DELETE && start == 0 && length == size && col->CanModify(true)) {
      SetText("");
      dbGrid_->SetGridEditText("");
      dbGrid_->DataLink()->MarkModified();
      if (col->GetColumnType() == ctLookupField) {
        dbGrid_->SetEditKeyValue(Null());
        DataListFollowsKey();
      }
      Key = 0;
      return;
    }
    if (!HasNotInList()) {
      if (Key == VK_BACK) {
        Key = VK_LEFT;  // acts as Left
      } else {
        Key = 0;
        return;
      }
    } else {
      int from = start, to = start + length;
      if (length == 0) {
        if (Key == VK_DELETE && to < size) ++to;
        if (Key == VK_BACK && from > 0) --from;
      }
      std::u32string rest = text.substr(0, static_cast<size_t>(from)) + text.substr(static_cast<size_t>(to));
      MatchTextAfterEdit(Utf32ToUtf8(rest), from);
      Key = 0;
      return;
    }
  }
  // 4. the arrows in a multi-line editor the grid always shows leave the text only from its edge lines
  if ((Key == VK_UP || Key == VK_DOWN) && wordWrap_ && dbGrid_->Options().Contains(dgAlwaysShowEditor)) {
    // (otherwise the key stays with the edit window, which moves the caret in the text)
    if (ArrowLeavesText(Key)) {
      dbGrid_->KeyDown(Key, Shift);
      Key = 0;
    }
    return;
  }
  // 5-6. keys the grid takes
  if ((Key == VK_RETURN && dbGrid_->OptionsEx().Contains(dghEnterAsTab)) ||
      (Key == VK_OEM_7 && Shift.Contains(ssCtrl))) {
    dbGrid_->KeyDown(Key, Shift);
    Key = 0;
    return;
  }
  // 7-8. the incremental search and the find dialog, with the selected text
  if (dbGrid_->FindShortCut(ShortCut(Key, Shift), SelText())) {
    Key = 0;
    return;
  }
  // 9. the special row's short cut
  if (col && editStyle_ == esDataList && col->DropDownSpecRow()->Visible() &&
      ShortCut(Key, Shift) == col->DropDownSpecRow()->ShortCut() && col->CanModify(true)) {
    SetText(col->DropDownSpecRow()->GetCellText(0));
    dbGrid_->SetGridEditText(Text());
    dbGrid_->DataLink()->MarkModified();
    dbGrid_->SetEditKeyValue(col->DropDownSpecRow()->Value());
    DataListFollowsKey();
    SelectAll();
    Key = 0;
    return;
  }
  // 10. an extra button's short cut presses and clicks it
  if (col) {
    const TShortCut pressed = ShortCut(Key, Shift);
    for (int i = 0; i < col->EditButtons()->Count() && i + 1 < ButtonCount(); ++i) {
      TEditButtonEx* def = col->EditButtons()->Items(i);
      if (!def->Visible() || def->ShortCut() == 0 || def->ShortCut() != pressed) continue;
      TEditButtonControlEx* control = ButtonControl(i + 1);
      bool repeat = false, handled = false;
      control->EditButtonDown(true, repeat, handled);
      control->Click();
      Key = 0;
      return;
    }
  }
  TInplaceEdit::KeyDown(Key, Shift);
}

bool TDBGridInplaceEdit::ArrowLeavesText(WORD Key) {
  const int size = Utf8Length(Text());
  if (SelLength() > 0 && SelLength() == size) return true;
  if (!HandleAllocated()) return true;
  const auto line = static_cast<int>(SendMessage(Handle(), EM_LINEFROMCHAR, static_cast<WPARAM>(-1), 0));
  if (Key == VK_UP) return line <= 0;
  const auto lines = static_cast<int>(SendMessage(Handle(), EM_GETLINECOUNT, 0, 0));
  return line >= lines - 1;
}

void TDBGridInplaceEdit::KeyUp(WORD& Key, TShiftState Shift) {
  const WORD released = Key;
  TInplaceEdit::KeyUp(Key, Shift);
  // an open data list learns that Ctrl went up (its title clicks sort then)
  if (released == VK_CONTROL && listVisible_ && editStyle_ == esDataList && activeList_)
    activeList_->Perform(WM_KEYUP, VK_CONTROL, 0);
}

void TDBGridInplaceEdit::KeyPress(char32_t& Key) {
  std::string s;
  Utf8Append(s, Key);
  TypeText(s);
  if (s.empty()) {
    Key = 0;
    return;
  }
  if (Key == U'\n' && !wordWrap_ && GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_SHIFT) >= 0 &&
      GetKeyState(VK_MENU) >= 0) {
    Key = 0;
    return;
  }
  TInplaceEdit::KeyPress(Key);
}

void TDBGridInplaceEdit::DefaultHandler(TMessage& Message) {
  // presses in the button strip belong to the buttons, not to the text
  if (Message.Msg >= WM_LBUTTONDOWN && Message.Msg <= WM_MBUTTONDBLCLK && editStyle_ != esSimple &&
      !MouseCapture()) {
    const int x = GET_X_LPARAM(Message.LParam);
    const bool inStrip =
        dbGrid_->UseRightToLeftAlignment() ? x < buttonWidth_ : x >= ClientWidth() - buttonWidth_;
    if (inStrip) return;
  }
  TInplaceEdit::DefaultHandler(Message);
}

void TDBGridInplaceEdit::PasteMatched() {
  TColumnEx* col = Column();
  const std::string clip = Clipboard()->AsText();
  const std::u32string text = Utf8ToUtf32(Text());
  const int start = SelStart(), length = SelLength();
  const std::string before = Utf32ToUtf8(text.substr(0, static_cast<size_t>(start)));
  const std::string after =
      Utf32ToUtf8(text.substr(static_cast<size_t>(std::min<int>(start + length, text.size()))));
  const std::string pasted = before + clip + after;
  const int typed = Utf8Length(before + clip);
  TField* f = col->Field();
  std::string shown;
  TVariant key = Null();
  bool found = false;
  if (editStyle_ == esDataList) {
    TDataSet* lds = col->LookupDataSet();
    if (f && lds &&
        lds->Locate(f->LookupResultField(), TVariant(pasted), {loCaseInsensitive, loPartialKey})) {
      shown = lds->FieldByName(f->LookupResultField())->Text();
      key = lds->FieldValues(f->LookupKeyFields());
      found = true;
    }
  } else {
    TStrings* picks = col->PickList();
    const int n = Utf8Length(pasted);
    for (int i = 0; i < picks->Count() && !found; ++i)
      if (AnsiCompareText(Utf8Copy(picks->Strings(i), 1, n), pasted) == 0) {
        shown = picks->Strings(i);
        found = true;
      }
  }
  if (!found) {
    if (!col->OnNotInList) return;  // nothing matches: the text stays
    shown = pasted;
  }
  TGridDataLinkEx* link = dbGrid_->DataLink();
  link->Edit();
  if (link->Editing()) link->MarkModified();
  ShowTextSelected(shown, std::min(typed, Utf8Length(shown)));
  if (editStyle_ == esDataList) dbGrid_->SetEditKeyValue(key);
}

void TDBGridInplaceEdit::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_PASTE: {
      TColumnEx* col = Column();
      if (!col || !dbGrid_->CanEditModify() || !col->CanModify(false)) return;
      if (editStyle_ != esDataList && !IsKeyPickList()) break;
      // look-ups and key lists take only what matches their lists
      if (Clipboard()->HasFormat(CF_TEXT)) PasteMatched();
      return;
    }
    case WM_SETCURSOR: {
      // the arrow over the buttons
      POINT p;
      GetCursorPos(p);
      ::ScreenToClient(Handle(), p);
      const bool inStrip =
          dbGrid_->UseRightToLeftAlignment() ? p.X < buttonWidth_ : p.X >= ClientWidth() - buttonWidth_;
      if (editStyle_ != esSimple && inStrip) {
        ::SetCursor(LoadCursor(nullptr, IDC_ARROW));
        Message.Result = 1;
        return;
      }
      break;
    }
    case WM_LBUTTONDOWN: {
      TInplaceEdit::Dispatch(Message);
      // a double click steps the value of a column that asks for it
      TColumnEx* col = Column();
      const TPoint at = Point(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
      const std::uint64_t now = talvik::gui::Ticks();
      if (col && col->DblClickNextVal() &&
          IsDoubleClick(lastDown_, at, static_cast<unsigned>(now - lastDownTime_)) && lastDownTime_ != 0) {
        col->SetNextFieldValue((Message.WParam & MK_SHIFT) ? -1 : 1);
        lastDownTime_ = 0;
      } else {
        lastDown_ = at;
        lastDownTime_ = now;
      }
      return;
    }
    default:
      break;
  }
  TInplaceEdit::Dispatch(Message);
  if (Message.Msg == WM_PAINT && !Message.WParam && HandleAllocated() && ControlCount() > 0) {
    // the edit window paints its text; the buttons go over it
    HDC dc = GetDC(Handle());
    PaintControls(dc, nullptr);
    ReleaseDC(Handle(), dc);
  }
}
