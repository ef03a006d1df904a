// The in-place editor's drop-downs: the pick list, the calendar and the list of recent entries, how
// they open and close, and the keys that go to them while they are open.
#include <algorithm>

#include "grid/DBGridEx.h"
#include "grid/DBGridExInplace.h"
#include "grid/DBGridExStyle.h"
#include "grid/DBLookupGridEx.h"
#include "platform/gui/Mask.h"
#include "platform/rtl/ScopeExit.h"

namespace {

bool IsNumericField(TField* F) {
  if (!F) return false;
  switch (F->DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftAutoInc:
    case ftLargeint:
      return true;
    default:
      return false;
  }
}

void ShowPopup(TWinControl* List, TPoint At) {
  List->SetBounds(At.X, At.Y, List->Width(), List->Height());
  List->SetVisible(true);
  SetWindowPos(List->Handle(), HWND_TOP, At.X, At.Y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void HidePopup(TWinControl* List) {
  if (!List->HandleAllocated()) return;
  if (GetCapture() == List->Handle()) ReleaseCapture();
  SetWindowPos(List->Handle(), nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
  List->SetVisible(false);
}

}  // namespace

TPopupListboxEx* TDBGridInplaceEdit::PickList() {
  if (!pickList_) {
    pickList_ = new TPopupListboxEx(this);
    pickList_->SetCtl3D(true);
    pickList_->OnMouseUp = [this](TObject*, TMouseButton Button, TShiftState, int X, int Y) {
      if (Button == mbLeft) CloseUp(PtInRect(pickList_->ClientRect(), TPoint(X, Y)));
    };
  }
  return pickList_;
}

TPopupDataGridEx* TDBGridInplaceEdit::DataList() {
  TColumnEx* col = Column();
  if (!col) return nullptr;
  TPopupDataGridEx* grid = col->DataGrid();
  grid->OnMouseCloseUp = [this](TObject*, bool Accept) { CloseUp(Accept); };
  grid->OnUserKeyValueChange = [this](TObject* Sender) {
    // the row the user reaches shows in the cell
    if (auto* g = dynamic_cast<TPopupDataGridEx*>(Sender); g && listVisible_) SetText(g->SelectedText());
  };
  grid->OnSpecRowChanged = [this](TObject*) { dataListSpecRowChanged_ = true; };
  if (std::find(hookedDataLists_.begin(), hookedDataLists_.end(), grid) == hookedDataLists_.end()) {
    hookedDataLists_.push_back(grid);
    grid->FreeNotification(this);
  }
  return grid;
}

void TDBGridInplaceEdit::DataListFollowsKey() {
  if (editStyle_ != esDataList || !listVisible_) return;
  if (auto* grid = dynamic_cast<TPopupDataGridEx*>(activeList_)) grid->SetKeyValue(dbGrid_->EditKeyValue());
}

void TDBGridInplaceEdit::DropDownDataList(TColumnEx* Column) {
  auto* grid = static_cast<TPopupDataGridEx*>(activeList_);
  TField* f = Column->Field();
  TDataSet* lds = Column->LookupDataSet();
  grid->SetColor(Color());
  grid->Font()->Assign(Font());
  grid->SpecRow()->Assign(Column->DropDownSpecRow());
  const int rows = static_cast<int>(Column->DropDownRows());
  const int count = lds->RecordCount();
  grid->SetShowTitles(Column->DropDownShowTitles());
  dataListSource_->SetDataSet(lds);
  grid->SetFitColumns(false);
  grid->SetUseMultiTitle(Column->DropDownBox()->UseMultiTitle());
  grid->SetLookupOptions(Column->DropDownBox()->Options());
  // the list shows the display fields, the result field among them
  std::string listFields = Column->LookupDisplayFields();
  if (listFields.empty()) listFields = f->LookupResultField();
  int resultIndex = 0;
  {
    std::vector<TField*> fields = GetFieldsArray(lds, listFields);
    TField* result = lds->FindField(f->LookupResultField());
    auto at = std::find(fields.begin(), fields.end(), result);
    if (at == fields.end() && result) {
      listFields = f->LookupResultField() + ";" + listFields;
    } else {
      resultIndex = static_cast<int>(at - fields.begin());
    }
  }
  grid->SetKeyField(f->LookupKeyFields());
  grid->SetListField(listFields);
  grid->SetListFieldIndex(resultIndex);
  grid->SetListSource(dataListSource_.get());
  grid->SetReadOnly(!Column->CanModify(false));
  grid->HandleNeeded();
  grid->SetRowCount(count > 0 && count < rows ? count : rows);
  int width = Column->DropDownWidth();
  if (width == 0) width = Width();
  if (width == -1) width = grid->ColumnsWidth() + (grid->Width() - grid->ClientWidth());
  width = std::max(width, Width());
  grid->SetBounds(grid->Left(), grid->Top(), width, grid->Height());
  TVariant key = dbGrid_->EditKeyValue();
  if (key.IsEmpty()) key = f->DataSet()->FieldValues(f->KeyFields());
  grid->SetKeyValue(key);
  dataListSpecRowChanged_ = false;
  grid->SetFitColumns(Column->DropDownBox()->AutoFitColWidths());
  grid->SizeGrip()->SetVisible(Column->DropDownSizing());
  grid->SetSizeChanged(false);
}

TPopupMonthCalendarEx* TDBGridInplaceEdit::PopupCalendar() {
  if (!popupCalendar_) popupCalendar_ = new TPopupMonthCalendarEx(this);
  return popupCalendar_;
}

TPopupCalculatorEx* TDBGridInplaceEdit::GetPopupCalculator() {
  if (!popupCalculator_) {
    popupCalculator_ = new TPopupCalculatorEx(this);
    if (HandleAllocated()) popupCalculator_->HandleNeeded();
  }
  return popupCalculator_;
}

TMRUListboxEx* TDBGridInplaceEdit::CreateMRUListControl() {
  auto* list = new TMRUListboxEx(this);
  list->SetSorted(true);
  list->SetCtl3D(false);
  list->OnMouseUp = [this](TObject*, TMouseButton Button, TShiftState, int X, int Y) {
    if (Button == mbLeft) CloseMRUList(PtInRect(mruListBox_->ClientRect(), TPoint(X, Y)));
  };
  return list;
}

bool TDBGridInplaceEdit::HasDropDownKeys() const {
  switch (editStyle_) {
    case esPickList:
    case esDataList:
    case esDateCalendar:
      return true;
    case esDropDown: {
      TColumnEx* c = Column();
      return c && IsNumericField(c->Field());
    }
    default:
      return false;
  }
}

bool TDBGridInplaceEdit::MRUListVisible() const {
  return mruListBox_ && mruListBox_->ListVisible();
}

void TDBGridInplaceEdit::DropDown() {
  if (listVisible_ || !activeList_) return;
  TColumnEx* col = Column();
  if (!col) return;
  const TRect owner = GetControlScreenRect(this);
  if (activeList_ == pickList_) {
    TPopupListboxEx* list = pickList_;
    list->SetBiDiMode(dbGrid_->BiDiMode());  // the items read as the grid's cells do
    list->SetColor(Color());
    list->Font()->Assign(Font());
    list->SetItemHeight(list->GetTextHeight());
    TStrings* picks = col->PickList();
    const int count = col->HasKeyList() ? std::min(col->KeyList()->Count(), picks->Count()) : picks->Count();
    list->Items()->BeginUpdate();
    list->Items()->Clear();
    for (int i = 0; i < count; ++i) list->Items()->AddObject(picks->Strings(i), picks->Objects(i));
    list->Items()->EndUpdate();
    list->HandleNeeded();
    list->SetRowCount(std::min<int>(std::max(count, 1), static_cast<int>(col->DropDownRows())));
    int widest = 0;
    for (int i = 0; i < count; ++i) widest = std::max(widest, TextExtentOf(Font(), picks->Strings(i)).cx);
    const int border = list->Width() - list->ClientWidth();
    const int client = std::max(Width() - border, widest + 4);
    list->SetBounds(list->Left(), list->Top(), client + border, list->Height());
    list->SetRowCount(std::min<int>(std::max(count, 1), static_cast<int>(col->DropDownRows())));
    TField* f = col->Field();
    int index = -1;
    if (!(f && f->IsNull()))
      index = col->HasKeyList() ? picks->IndexOf(Text()) : list->Items()->IndexOf(Text());
    list->SetItemIndex(index < count ? index : -1);
    list->SetSizeGripResizable(col->DropDownSizing());
  } else if (activeList_ == popupCalendar_) {
    TPopupMonthCalendarEx* cal = popupCalendar_;
    cal->SetColor(Color());
    cal->Font()->Assign(Font());
    TDateTime date = Date();
    if (!Text().empty()) {
      try {
        date = StrToDateTime(Text());
      } catch (const Exception&) {
        date = Date();  // a text that is no date: today
      }
    }
    cal->SetDate(date);
    cal->HandleNeeded();
    const TSize size = cal->RequiredSize();
    cal->SetBounds(cal->Left(), cal->Top(), size.cx, size.cy);
  } else if (editStyle_ == esDataList && activeList_ && activeList_ != popupCalculator_) {
    if (!col->LookupDataSet() || !col->Field()) return;  // without a list nothing opens
    DropDownDataList(col);
  } else if (activeList_ == popupCalculator_) {
    TPopupCalculatorEx* calc = popupCalculator_;
    double value = 0;
    // a text that is no number starts the calculator at 0
    if (const std::string text = Trim(Text()); !text.empty() && !TryStrToFloat(text, value)) value = 0;
    calc->SetValue(TVariant(value));
    calc->SetFlat(dbGrid_->Flat());
    calc->HandleNeeded();
    if (HandleAllocated() && !caretHidden_) caretHidden_ = HideCaret(Handle());
    SetSelLength(0);
  }
  CloseMRUList(false);
  textAtDropDown_ = dbGrid_->EditText();
  const TPoint at = SizeDropDownList(owner, activeList_, daLeft);
  ShowPopup(activeList_, at);
  if (pickList_) pickList_->SetSizeChanged(false);
  if (auto* grid = dynamic_cast<TPopupDataGridEx*>(activeList_)) grid->SetSizeChanged(false);
  listVisible_ = true;
  Invalidate();
  if (!buttons_.empty()) buttons_[0].Button->SetAlwaysDown(true);
}

void TDBGridInplaceEdit::CloseUp(bool Accept) {
  // the focus the editor's own list had comes back to the editor
  if (activeList_ && activeList_->HandleAllocated() && GetFocus() &&
      (GetFocus() == activeList_->Handle() || IsChild(activeList_->Handle(), GetFocus())) && CanFocus())
    TInplaceEdit::SetFocus();
  if (!listVisible_) return;
  if (!buttons_.empty()) buttons_[0].Button->SetAlwaysDown(false);
  if (GetCapture()) SendMessage(GetCapture(), WM_CANCELMODE);
  TColumnEx* col = Column();
  TVariant chosen = Null();
  std::string chosenText;
  if (activeList_ == pickList_ && col) {
    const int i = pickList_->ItemIndex();
    if (i >= 0) {
      chosenText = pickList_->Items()->Strings(i);
      chosen = col->HasKeyList() && i < col->KeyList()->Count() ? TVariant(col->KeyList()->Strings(i))
                                                                : TVariant(chosenText);
    }
    if (pickList_->SizeChanged()) {
      col->SetDropDownRows(static_cast<unsigned>(pickList_->ClientHeight() / pickList_->ItemHeight()));
      col->SetDropDownWidth(pickList_->Width());
    }
  }
  auto* dataList = dynamic_cast<TPopupDataGridEx*>(activeList_);
  if (dataList && col) {
    chosen = dataList->KeyValue();
    chosenText = dataList->SelectedText();
    if (dataList->SizeChanged()) {
      const int rowsHeight = dataList->ClientHeight() -
                             (dataList->ShowTitles() ? dataList->TitleRowHeight() : 0) -
                             dataList->SpecRowHeight();
      col->SetDropDownRows(
          static_cast<unsigned>(std::max(1, rowsHeight / std::max(1, dataList->DefaultRowHeight()))));
      col->SetDropDownWidth(dataList->Width());
    }
    if (dataListSpecRowChanged_) col->DropDownSpecRow()->SetCellsText(dataList->SpecRow()->CellsText());
  }
  TWinControl* list = activeList_;
  HidePopup(list);
  listVisible_ = false;
  if (dataList) {
    dataList->SetFitColumns(false);
    dataList->SetListSource(nullptr);
    dataListSource_->SetDataSet(nullptr);
  }
  Invalidate();
  if (caretHidden_) {
    caretHidden_ = false;
    if (HandleAllocated()) ShowCaret(Handle());
  }
  if (!col) return;
  if (dataList) {
    if (!Accept) {
      SetText(textAtDropDown_);
      dbGrid_->SetGridEditText(textAtDropDown_);
      return;
    }
    TField* f = col->Field();
    bool keysModifiable = f && f->Lookup();
    if (keysModifiable)
      for (TField* k : GetFieldsArray(f->DataSet(), f->KeyFields()))
        keysModifiable = keysModifiable && k->CanModify();
    if (keysModifiable && dbGrid_->CanEditModify() && col->CanModify(true)) {
      TGridDataLinkEx* link = dbGrid_->DataLink();
      link->Edit();
      if (link->Editing()) {
        link->MarkModified();
        dbGrid_->SetEditKeyValue(chosen);
        dbGrid_->SetGridEditText(chosenText);
        SetText(chosenText);
        SelectAll();
      }
    }
    return;
  }
  if (!Accept) {
    // the arrows showed entries in the cell as they went: it gets back what it had
    if (list == pickList_) {
      SetText(textAtDropDown_);
      dbGrid_->SetGridEditText(textAtDropDown_);
    }
    return;
  }
  if (list == popupCalendar_) {
    if (col->CanModify(true) && dbGrid_->CanEditModify()) {
      const TDateTime date = popupCalendar_->Date();
      col->UpdateData(DateToStr(date), VarFromDateTime(date), false);
    }
    return;
  }
  if (list == popupCalculator_) {
    const TVariant value = popupCalculator_->Value();
    if (value.IsNull() || !dbGrid_->CanEditModify()) return;
    const std::string text = FloatToStr(value.AsDouble());
    TGridDataLinkEx* link = dbGrid_->DataLink();
    SetText(text);
    dbGrid_->SetGridEditText(text);
    if (link->Editing()) link->MarkModified();
    SelectAll();
    return;
  }
  if (list == pickList_ && !chosen.IsNull() && dbGrid_->CanEditModify()) {
    const std::string text = col->HasKeyList() ? chosenText : chosen.AsString();
    TGridDataLinkEx* link = dbGrid_->DataLink();
    link->Edit();
    SetText(text);
    dbGrid_->SetGridEditText(text);
    if (link->Editing()) link->MarkModified();
    SelectAll();
  }
}

void TDBGridInplaceEdit::EditButtonMouseMove(TObject* Sender, TShiftState /*Shift*/, int X, int Y) {
  auto* button = dynamic_cast<TControl*>(Sender);
  if (!listVisible_ || !activeList_ || buttons_.empty() || button != buttons_[0].Button ||
      !button->MouseCapture())
    return;
  const TPoint at = activeList_->ScreenToClient(button->ClientToScreen(TPoint(X, Y)));
  if (auto* grid = dynamic_cast<TPopupDataGridEx*>(activeList_)) {
    const TRect spec = grid->SpecRowRect();
    if (!PtInRect(grid->DataRect(), at) && (spec.IsEmpty() || !PtInRect(spec, at))) return;
  } else if (!PtInRect(activeList_->ClientRect(), at)) {
    return;
  }
  button->Perform(WM_CANCELMODE);
  activeList_->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.X, at.Y));
}

// ---- recent entries

void TDBGridInplaceEdit::FilterMRUItem(const std::string& AText, bool& Accept) {
  const std::string text = Text();
  const std::string head = Utf8Copy(AText, 1, Utf8Length(text));
  Accept = mruList_ && mruList_->CaseSensitive() ? AnsiCompareStr(head, text) == 0
                                                 : AnsiCompareText(head, text) == 0;
}

void TDBGridInplaceEdit::MRUListSized() {
  if (!MRUListVisible() || !mruList_) return;
  mruList_->SetRows(mruListBox_->RowCount());
  mruList_->SetDropDownWidth(mruListBox_->Width());
}

void TDBGridInplaceEdit::UpdateMRUList() {
  TMRUListEx* mru = mruList_;
  if (!mru) return;
  if (!mruListBox_) {
    mruListBox_ = CreateMRUListControl();
    mruListBox_->SizeGrip()->OnParentResized = [this](TObject*) { MRUListSized(); };
  }
  TMRUListboxEx* list = mruListBox_;
  const bool wasOpen = list->ListVisible();
  auto saved = mru->OnFilterItem;
  mru->OnFilterItem = [this, saved](TObject* s, const std::string& item, bool& accept) {
    FilterMRUItem(item, accept);
    if (saved) saved(s, item, accept);
  };
  bool complete = false;
  {
    TScopeExit restore([&] { mru->OnFilterItem = saved; });
    complete = mru->FilterItemsTo(list->Items(), Text());
  }
  if (!complete || list->Count() == 0) {
    CloseMRUList(false);
    return;
  }
  TRect owner = GetControlScreenRect(this);
  const TPoint textLeft = ClientToScreen(TPoint(textRect_.Left, 0));
  owner.Left = textLeft.X;
  if (!wasOpen) {
    list->SetColor(Color());
    list->Font()->Assign(Font());
    list->SetItemHeight(list->GetTextHeight());
    list->SetItemIndex(-1);
    list->HandleNeeded();
    list->SetBounds(owner.Left, owner.Bottom, std::max(mru->DropDownWidth(), textRect_.Width()),
                    list->Height());
  }
  list->SetRowCount(std::min(list->Count(), mru->Rows()));
  list->SetSizeGripResizable(true);
  const TPoint at = SizeDropDownList(owner, list, daLeft);
  ShowPopup(list, at);
  mru->SetDroppedDown(true);
}

void TDBGridInplaceEdit::ColumnGoing(TColumnEx* Column) {
  if (mruList_ != Column->MRUList()) return;
  CloseMRUList(false);
  mruList_ = nullptr;
}

void TDBGridInplaceEdit::CloseMRUList(bool Accept) {
  if (!MRUListVisible()) return;
  TMRUListboxEx* list = mruListBox_;
  const int chosen = list->ItemIndex();
  const std::string text = chosen >= 0 ? list->Items()->Strings(chosen) : std::string();
  HidePopup(list);
  if (mruList_) mruList_->SetDroppedDown(false);
  if (!Accept || chosen < 0 || ReadOnly()) return;
  TGridDataLinkEx* link = dbGrid_->DataLink();
  if (!link->Edit()) return;
  SetText(text);
  dbGrid_->SetGridEditText(text);
  link->MarkModified();
  if (TWinControl::Focused()) SelectAll();
}

void TDBGridInplaceEdit::TextChangedByUser() {
  const std::string empty = IsMasked() ? FormatMaskText(EditMask(), "") : std::string();
  const std::string shown = EditText();
  if (MRUListVisible() && shown == empty) {
    CloseMRUList(false);
    return;
  }
  if (mruList_ && mruList_->Active() && TWinControl::Focused() && !listVisible_ && shown != empty)
    UpdateMRUList();
}

// ---- keys to the open lists

bool TDBGridInplaceEdit::RouteListKeys(TMessage& Message) {
  const UINT msg = Message.Msg;
  const bool keyDown = msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN;
  const WORD key = static_cast<WORD>(Message.WParam);
  const bool alt = msg == WM_SYSKEYDOWN || GetKeyState(VK_MENU) < 0;
  const bool ctrl = GetKeyState(VK_CONTROL) < 0, shift = GetKeyState(VK_SHIFT) < 0;
  TColumnEx* col = Column();
  // 1. the drop-down keys
  if (HasDropDownKeys()) {
    if (keyDown && (key == VK_UP || key == VK_DOWN) && alt) {
      if (listVisible_)
        CloseUp(true);
      else
        DropDown();
      if (HandleAllocated()) KillMessage(Handle(), WM_SYSCHAR);
      return true;
    }
    const bool calculator = listVisible_ && activeList_ && activeList_ == popupCalculator_;
    if (keyDown && (key == VK_RETURN || key == VK_ESCAPE) && !alt && listVisible_ && !calculator) {
      if (HandleAllocated()) KillMessage(Handle(), WM_CHAR);
      CloseUp(key == VK_RETURN);
      return true;
    }
    if (msg == WM_CHAR && (key == VK_RETURN || key == VK_ESCAPE) && listVisible_ && !calculator) {
      CloseUp(key == VK_RETURN);
      return true;
    }
    if (keyDown && key == VK_RETURN && ctrl && !listVisible_) {
      if (HandleAllocated()) KillMessage(Handle(), WM_CHAR);
      DropDown();
      return true;
    }
    if (msg == WM_CHAR && Message.WParam >= 32 && !listVisible_ && col && col->AutoDropDown()) DropDown();
  }
  // 2. the open calculator takes Enter, Esc and what is typed; an open list the moving keys
  if (listVisible_ && activeList_ && activeList_ == popupCalculator_) {
    if (keyDown && (key == VK_RETURN || key == VK_ESCAPE) && !alt) {
      if (key == VK_ESCAPE && HandleAllocated()) KillMessage(Handle(), WM_CHAR);
      popupCalculator_->Perform(WM_KEYDOWN, key, 0);
      return true;
    }
    if (msg == WM_CHAR && (key >= 32 || key == VK_RETURN || key == VK_ESCAPE)) {
      popupCalculator_->Perform(WM_CHAR, Message.WParam, 0);
      return true;
    }
  }
  if (listVisible_ && keyDown && activeList_) {
    const bool moving =
        ((key == VK_PRIOR || key == VK_NEXT || key == VK_UP || key == VK_DOWN) && !shift && !alt) ||
        ((key == VK_HOME || key == VK_END) && ctrl) ||
        ((key == VK_LEFT || key == VK_RIGHT) && activeList_ == popupCalendar_);
    if (moving) {
      activeList_->Perform(WM_KEYDOWN, key, 0);
      if (activeList_ == pickList_ && pickList_->ItemIndex() >= 0) {
        const std::string& item = pickList_->Items()->Strings(pickList_->ItemIndex());
        if (item != Text()) SetText(item);
      }
      if (auto* grid = dynamic_cast<TPopupDataGridEx*>(activeList_); grid && grid->SelectedText() != Text())
        SetText(grid->SelectedText());
      return true;
    }
  }
  // 3. the open list of recent entries
  if (MRUListVisible()) {
    const bool moving = ((key == VK_PRIOR || key == VK_NEXT || key == VK_UP || key == VK_DOWN) && !alt) ||
                        ((key == VK_HOME || key == VK_END) && ctrl);
    if (keyDown && moving) {
      mruListBox_->Perform(WM_KEYDOWN, key, 0);
      return true;
    }
    if (keyDown && (key == VK_RETURN || key == VK_ESCAPE) && mruListBox_->ItemIndex() >= 0) {
      if (HandleAllocated()) KillMessage(Handle(), WM_CHAR);
      CloseMRUList(key == VK_RETURN);
      return true;
    }
    if (msg == WM_CHAR && (key == VK_RETURN || key == VK_ESCAPE)) {
      CloseMRUList(key == VK_RETURN);
      return true;
    }
  }
  return false;
}

// ---- the wheel

bool TDBGridInplaceEdit::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
  if (listVisible_) return true;  // swallowed while a drop-down is open
  return TInplaceEdit::DoMouseWheel(Shift, WheelDelta, MousePos);
}

void TDBGridInplaceEdit::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_CHAR:
      if (RouteListKeys(Message)) return;
      break;
    case WM_KILLFOCUS: {
      HWND to = reinterpret_cast<HWND>(Message.WParam);
      auto inside = [to](TWinControl* w) {
        return w && w->HandleAllocated() && to && (to == w->Handle() || IsChild(w->Handle(), to));
      };
      if (listVisible_ && !inside(activeList_)) CloseUp(false);
      if (MRUListVisible() && !inside(mruListBox_)) CloseMRUList(false);
      break;
    }
    case CM_CANCELMODE: {
      auto* sender = reinterpret_cast<TControl*>(Message.LParam);
      auto belongs = [sender](TWinControl* w) {
        return w && sender && (sender == w || w->ContainsControl(sender));
      };
      if (sender != this && !ContainsControl(sender) && !belongs(activeList_)) CloseUp(false);
      if (sender != this && !belongs(mruListBox_)) CloseMRUList(false);
      break;
    }
    default:
      break;
  }
  // the change notification comes back as a message nested in the one that changed the text
  const bool outer = wndProcDepth_ == 0;
  ++wndProcDepth_;
  {
    TScopeExit done([this] { --wndProcDepth_; });
    if (outer) textChanged_ = false;
    TInplaceEdit::WndProc(Message);
  }
  // the grid shows its selection by whether it or this editor has the focus
  if (Message.Msg == WM_SETFOCUS && HandleAllocated()) dbGrid_->FocusLookChanged(Handle());
  if (Message.Msg == WM_KILLFOCUS) dbGrid_->FocusLookChanged(reinterpret_cast<HWND>(Message.WParam));
  if (!outer) return;
  // a text change the user made lets the recent entries follow it
  const bool user = Message.Msg == WM_KEYDOWN || Message.Msg == WM_CHAR || Message.Msg == WM_PASTE ||
                    Message.Msg == WM_CUT || Message.Msg == WM_UNDO || Message.Msg == WM_CLEAR;
  if (textChanged_ && user) TextChangedByUser();
  textChanged_ = false;
}
