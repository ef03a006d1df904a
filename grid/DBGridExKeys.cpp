// The grid's keyboard: record navigation, selection by keys, incremental search, the clipboard and
// delete keys, the find dialog, record insertion, the standard edit actions and focus changes.
#include <algorithm>

#include "grid/DBGridEx.h"
#include "grid/DBGridExFilterEdit.h"
#include "grid/DBGridExImport.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdActns.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"

TFindDialogProcEx FindDialogProc;
TFindDialogColumnProcEx FindDialogColumnProc;

void ExecuteGridFindDialog(TCustomDBGridEx* Grid, const std::string& Text) {
  if (FindDialogProc) {
    auto proc = FindDialogProc;
    proc(Grid, Text, Grid->FindDialogModal(), nullptr);
  }
}

namespace {

bool IsEditingState(TDataSet* DataSet) {
  const TDataSetState s = DataSet->State();
  return s == dsEdit || s == dsInsert || s == dsSetKey;
}

}  // namespace

// ---------------------------------------------------------------- possibility tests

bool TCustomDBGridEx::CanCopySelection() {
  return dataLink_->Active() && Selection()->SelectionType() != gstNon;
}

bool TCustomDBGridEx::CanPasteFromClipboard() {
  if (!dataLink_->Active() || readOnly_) return false;
  TDataSet* ds = dataLink_->DataSet();
  if (!ds->CanModify()) return false;
  // without a selection the paste starts at the current column, which must take keys
  if (Selection()->SelectionType() == gstNon && !ColumnTakesKeys(FocusedColumn())) return false;
  if (!Clipboard()->HasFormat(CF_VCLDBIF()) && !Clipboard()->HasFormat(CF_TEXT) &&
      !Clipboard()->HasFormat(CF_UNICODETEXT))
    return false;
  return ds->State() == dsInsert || allowedOperations_.Contains(alopUpdateEx);
}

bool TCustomDBGridEx::CanDeleteSelection() {
  if (!dataLink_->Active() || readOnly_) return false;
  TDataSet* ds = dataLink_->DataSet();
  if (!ds->CanModify() || ds->IsEmpty()) return false;
  switch (Selection()->SelectionType()) {
    case gstRecordBookmarks:
    case gstAll:
      return allowedOperations_.Contains(alopDeleteEx);
    case gstRectangle:
    case gstColumns:
      return allowedOperations_.Contains(alopUpdateEx);
    default:
      return false;
  }
}

bool TCustomDBGridEx::CanCutSelection() {
  return CanCopySelection() && CanDeleteSelection();
}

bool TCustomDBGridEx::CanSelectAll() {
  return dataLink_->Active() && !dataLink_->DataSet()->IsEmpty() && allowedSelections_.Contains(gstAll);
}

bool TCustomDBGridEx::CanEditCurrentRecord() {
  if (!dataLink_->Active()) return false;
  TDataSet* ds = dataLink_->DataSet();
  if (!allowedOperations_.Contains(alopUpdateEx) && ds->State() != dsInsert) return false;
  return !ds->IsEmpty() || allowedOperations_.Contains(alopInsertEx) ||
         allowedOperations_.Contains(alopAppendEx);
}

// ---------------------------------------------------------------- incremental search

void TCustomDBGridEx::StartIncSearchTimer() {
  if (incSearchTimeOut_ > -1 && HandleAllocated()) {
    ::SetTimer(Handle(), kIncSearchTimerId, static_cast<UINT>(incSearchTimeOut_), nullptr);
    incSearchTimerOn_ = true;
  }
}

void TCustomDBGridEx::StopIncSearchTimer() {
  if (incSearchTimerOn_ && HandleAllocated()) ::KillTimer(Handle(), kIncSearchTimerId);
  incSearchTimerOn_ = false;
}

void TCustomDBGridEx::InvalidateCurrentRow() {
  if (HandleAllocated()) InvalidateRow(Row());
}

void TCustomDBGridEx::DoIncSearch(const std::string& Text, int TimeOut, int Direction) {
  if (!dataLink_->Active()) return;
  TColumnEx* column = FocusedColumn();
  if (!column) return;
  TDataSet* ds = dataLink_->DataSet();
  const std::string s = incSearchText_ + Text;
  const std::string old = incSearchText_;
  const int length = Utf8Length(s);
  const std::string upper = AnsiUpperCase(s);
  bool found = false;
  std::string matched;
  // the record's own characters when its display text starts with the searched ones, any case
  auto matches = [&]() {
    const std::string text = column->GetDisplayText();
    const size_t n = Utf8Offset(text, length);
    if (Utf8Length(std::string_view(text).substr(0, n)) < length) return false;
    if (AnsiUpperCase(std::string_view(text).substr(0, n)) != upper) return false;
    matched = text.substr(0, n);
    return true;
  };
  if (!s.empty()) {
    if (Direction == 0 && matches()) {
      found = true;
    } else {
      // the moves of the search itself do not end it
      incSearchMoving_ = true;
      TScopeExit moved([this] { incSearchMoving_ = false; });
      ds->DisableControls();
      SaveBookmark();
      {
        // two guards: the controls come back even when going back to the saved record fails
        TScopeExit enable([ds] { ds->EnableControls(); });
        TScopeExit back([&] {
          if (!found) RestoreBookmark();
        });
        if (Direction == 2) {
          for (ds->Prior(); !ds->Bof(); ds->Prior())
            if (matches()) {
              found = true;
              break;
            }
        } else {
          if (Direction == 0)
            ds->First();
          else
            ds->Next();
          for (; !ds->Eof(); ds->Next())
            if (matches()) {
              found = true;
              break;
            }
        }
      }
    }
  }
  HideEditor();
  incSearchRunning_ = true;
  incSearchText_ = found ? matched : old;
  InvalidateCurrentRow();
  incSearchTimeOut_ = TimeOut;
  StopIncSearchTimer();
  StartIncSearchTimer();
}

bool TCustomDBGridEx::FindShortCut(TShortCut Pressed, const std::string& Text) {
  if (Pressed == DBGridExIncSearchShortCut && optionsEx_.Contains(dghIncSearch)) {
    if (incSearchRunning_ && DBGridExFindDialogShortCut == DBGridExIncSearchShortCut) {
      const std::string text = Text;  // (the search text, cleared by the stop)
      StopIncSearch();
      ExecuteGridFindDialog(this, text);
    } else {
      DoIncSearch("", -1, 0);
    }
    return true;
  }
  if (Pressed == DBGridExFindDialogShortCut && optionsEx_.Contains(dghDialogFind)) {
    ExecuteGridFindDialog(this, Text);
    return true;
  }
  return false;
}

void TCustomDBGridEx::StopIncSearch() {
  StopIncSearchTimer();
  const bool was = incSearchRunning_;
  incSearchRunning_ = false;
  incSearchText_.clear();
  if (was) InvalidateCurrentRow();
  if (EditorMayComeBack() && CanEditShow()) ShowEditor();
}

// ---------------------------------------------------------------- keys

void TCustomDBGridEx::KeyDown(WORD& Key, TShiftState Shift) {
  SetKeepSelection(Shift.Contains(ssCtrl) || !optionsEx_.Contains(dghClearSelection));
  InvokeEvent(OnKeyDown, this, Key, Shift);  // OnKeyDown first; it may change the key
  if (Key == 0) return;
  if (KeyUpIntoFilterRow(Key, Shift)) {
    Key = 0;
    return;
  }
  if (Key == VK_RETURN && EditorMode() && !Shift.Contains(ssCtrl)) {
    // the edited text goes into the field; as Tab, Enter then moves on
    UpdateText();
    dataLink_->UpdateRecord();
    if (!options_.Contains(dgAlwaysShowEditor)) HideEditor();
    if (optionsEx_.Contains(dghEnterAsTab)) Tab(!Shift.Contains(ssShift));
    Key = 0;
    return;
  }
  if (UseRightToLeftAlignment()) {
    if (Key == VK_LEFT)
      Key = VK_RIGHT;
    else if (Key == VK_RIGHT)
      Key = VK_LEFT;
  }
  const bool ctrl = Shift.Contains(ssCtrl), shift = Shift.Contains(ssShift), alt = Shift.Contains(ssAlt);
  const bool plain = !ctrl && !shift && !alt;
  const bool multi = options_.Contains(dgMultiSelect);
  const bool extend = shift && multi;
  TDataSet* ds = dataLink_->Active() ? dataLink_->DataSet() : nullptr;

  if (ds) {
    const TShortCut sc = ShortCut(Key, Shift);
    if (sc == DBGridExCopyFromPreviousShortCut) {
      CopyFromPreviousRecord();
      Key = 0;
      return;
    }
    if (sc == DBGridExIncSearchShortCut || sc == DBGridExFindDialogShortCut) {
      TColumnEx* c = FocusedColumn();
      if (FindShortCut(sc, incSearchRunning_ ? incSearchText_ : (c ? c->GetDisplayText() : std::string()))) {
        Key = 0;
        return;
      }
    }
    if (incSearchRunning_) {
      if (plain && (Key == VK_RETURN || Key == VK_ESCAPE || Key == VK_F2)) {
        StopIncSearch();
        Key = 0;
        return;
      }
      if (plain && Key == VK_BACK) {
        // one character off the end, however many bytes it takes
        if (!incSearchText_.empty())
          incSearchText_.resize(Utf8Offset(incSearchText_, Utf8Length(incSearchText_) - 1));
        InvalidateCurrentRow();
        StopIncSearchTimer();
        StartIncSearchTimer();
        Key = 0;
        return;
      }
      if (sc == DBGridExSearchNextShortCut || sc == DBGridExSearchPriorShortCut) {
        DoIncSearch("", incSearchTimeOut_, sc == DBGridExSearchNextShortCut ? 1 : 2);
        Key = 0;
        return;
      }
    }
  }

  auto clear = [&] {
    if (!shift) ClearSelection();
  };
  const int pageRows = std::max(1, VisibleDataRowCount());
  const bool oneDataColumn = visibleColumns_.size() == 1 || options_.Contains(dgRowSelect);
  const int firstCol = indicatorOffset_;
  const int lastCol = ColCount() - 1;

  if (!ctrl) {
    switch (Key) {
      case VK_LEFT:
      case VK_RIGHT: {
        const int step = Key == VK_LEFT ? -1 : 1;
        if (options_.Contains(dgRowSelect)) {
          if (step < 0 && LeftCol() > FixedCols())
            SetLeftCol(LeftCol() - 1);
          else if (step > 0 && LeftCol() + VisibleColCount() < ColCount())
            SetLeftCol(LeftCol() + 1);
        } else {
          clear();
          SelectColumn(Col() + step, step, extend);
        }
        Key = 0;
        return;
      }
      case VK_UP:
        clear();
        PriorRow(extend);
        Key = 0;
        return;
      case VK_DOWN:
        clear();
        NextRow(extend);
        Key = 0;
        return;
      case VK_PRIOR:
      case VK_NEXT:
        clear();
        MoveBy(extend, Key == VK_PRIOR ? -pageRows : pageRows, false, false);
        Key = 0;
        return;
      case VK_HOME:
      case VK_END:
        clear();
        if (oneDataColumn)
          MoveBy(extend, Key == VK_HOME ? -1 : 1, false, true);
        else
          SelectColumn(Key == VK_HOME ? firstCol : lastCol, Key == VK_HOME ? -1 : 1, extend);
        Key = 0;
        return;
      case VK_TAB:
        if (!alt) {
          Tab(!shift);
          Key = 0;
        }
        return;
      case VK_RETURN:
        if (optionsEx_.Contains(dghEnterAsTab)) {
          Tab(!shift);
          Key = 0;
        }
        return;
      case VK_ESCAPE:
        if (EditorMode()) {
          dataLink_->Reset();
          InvalidateEditor();
        }
        ClearSelection();
        if (!options_.Contains(dgAlwaysShowEditor)) HideEditor();
        if (GridState() != gsNormal || mouseSelectMode_ == kMouseSizingTitle) Perform(WM_CANCELMODE, 0, 0);
        Key = 0;
        return;
      case VK_INSERT:
        if (shift) {
          if (incSearchRunning_) {
            DoIncSearch(Clipboard()->AsText(), incSearchTimeOut_, 0);
          } else if (editActions_.Contains(geaPasteEx) && CanPasteFromClipboard()) {
            PasteGridFromClipboard(this, false);
          }
          Key = 0;
          return;
        }
        if (ds && ds->CanModify() && !readOnly_ && options_.Contains(dgEditing)) {
          ClearSelection();
          if (allowedOperations_.Contains(alopInsertEx))
            ds->Insert();
          else if (allowedOperations_.Contains(alopAppendEx))
            ds->Append();
        }
        Key = 0;
        return;
      case VK_DELETE:
        if (shift) {
          if (editActions_.Contains(geaCutEx) && CanCutSelection()) CutGridToClipboard(this, false);
          Key = 0;
          return;
        }
        if (!options_.Contains(dgRowSelect)) {
          TColumnEx* c = FocusedColumn();
          if (c && (c->GetColumnType() == ctKeyImageList || c->GetColumnType() == ctCheckboxes)) {
            TField* f = c->Field();
            if (ColumnTakesKeys(c) && f && !f->ReadOnly() && c->CanModify(true)) f->Clear();
            Key = 0;
            return;
          }
        }
        break;
      default:
        break;
    }
  } else {
    const bool vertical = Key == VK_UP || Key == VK_DOWN || Key == VK_PRIOR || Key == VK_NEXT ||
                          Key == VK_HOME || Key == VK_END;
    if (vertical && !shift) ClearSelection();
    switch (Key) {
      case VK_UP:
      case VK_PRIOR:
        MoveBy(extend, -dataLink_->ActiveRecord(), false, false);
        Key = 0;
        return;
      case VK_DOWN:
      case VK_NEXT:
        MoveBy(extend, dataLink_->RecordCount() - 1 - dataLink_->ActiveRecord(), false, false);
        Key = 0;
        return;
      case VK_HOME:
      case VK_END:
        MoveBy(extend, Key == VK_HOME ? -1 : 1, false, true);
        Key = 0;
        return;
      case VK_LEFT:
        SelectColumn(firstCol, -1, false);
        Key = 0;
        return;
      case VK_RIGHT:
        SelectColumn(lastCol, 1, false);
        Key = 0;
        return;
      case VK_INSERT:
      case 'C':
        if (editActions_.Contains(geaCopyEx) && CanCopySelection()) CopyGridToClipboard(this, false);
        Key = 0;
        return;
      case VK_DELETE:
        CtrlDelete();
        Key = 0;
        return;
      case 'A':
        if (editActions_.Contains(geaSelectAllEx) && CanSelectAll()) Selection()->SelectAll();
        Key = 0;
        return;
      case 'V':
        if (incSearchRunning_)
          DoIncSearch(Clipboard()->AsText(), incSearchTimeOut_, 0);
        else if (editActions_.Contains(geaPasteEx) && CanPasteFromClipboard())
          PasteGridFromClipboard(this, false);
        Key = 0;
        return;
      case 'X':
        if (editActions_.Contains(geaCutEx) && CanCutSelection()) CutGridToClipboard(this, false);
        Key = 0;
        return;
      default:
        break;
    }
  }
  // F2 shows the editor (OnKeyDown has had the key already)
  if (Key == VK_F2 && plain) {
    SetEditorMode(true);
    Key = 0;
  }
}

void TCustomDBGridEx::CtrlDelete() {
  if (!dataLink_->Active()) return;
  TDataSet* ds = dataLink_->DataSet();
  if (editActions_.Contains(geaDeleteEx) && Selection()->SelectionType() != gstNon) {
    if (CanDeleteSelection()) DeleteGridSelection(this, false);
    return;
  }
  if (readOnly_ || ds->IsEmpty() || !ds->CanModify() || !allowedOperations_.Contains(alopDeleteEx)) return;
  const int bookmarked = SelectedRows()->Count();
  if (!ConfirmDelete(bookmarked)) return;
  if (bookmarked == 0)
    ds->Delete();
  else
    SelectedRows()->Delete();
}

void TCustomDBGridEx::KeyPress(char32_t& Key) {
  if (filterEditing_ && !ColumnTakesFilter(filterColumn_)) DropFilterEditing();
  if (filterEditing_ && (Key == U'\b' || Key >= 32)) {
    // typing while the filter row is edited goes on in its editor. A cell scrolled out of view comes
    // back into it first, as an edit scrolls to its caret, and its editor with what was typed: the
    // user sees where the character goes. An editor that stays hidden even so (its cell has no room)
    // keeps the grid's focus and gets every character this way: placing it again would select what
    // was typed before each of them, for the next one to replace.
    if (!filterEditorShown_ || !filterEditor_ || filterEditor_->Visible())
      ShowFilterEditor(filterColumn_);
    else
      ScrollFilterCellIntoView();
    if (filterEditor_ && filterEditor_->HandleAllocated())
      PostMessage(filterEditor_->Handle(), WM_CHAR, Key, 0);
    Key = 0;
    return;
  }
  TColumnEx* c = FocusedColumn();
  const bool toggles = c && !options_.Contains(dgRowSelect) &&
                       (c->GetColumnType() == ctKeyImageList || c->GetColumnType() == ctCheckboxes);
  if (toggles && Key == U' ') {
    if (!ColumnTakesKeys(c)) {
      Key = 0;
      return;
    }
    InvokeEvent(OnKeyPress, this, Key);
    if (Key == U' ') c->SetNextFieldValue(GetKeyState(VK_SHIFT) < 0 ? -1 : 1);
    return;
  }
  if (optionsEx_.Contains(dghEnterAsTab) && Key == U'\r') Key = U'\t';
  if (Key == U'\r' && !options_.Contains(dgAlwaysShowEditor) && dataLink_->Active()) dataLink_->UpdateData();
  TCustomGrid::KeyPress(Key);
  if (Key == 0) return;
  bool search = incSearchRunning_;
  if (!search) {
    const bool columnEditable = c && CanEditShow() && c->CanModify(false);
    search =
        (optionsEx_.Contains(dghIncSearch) && !columnEditable) ||
        (optionsEx_.Contains(dghPreferIncSearch) && !options_.Contains(dgAlwaysShowEditor) && !EditorMode());
  }
  if (search && Key >= 32 && dataLink_->Active() && !IsEditingState(dataLink_->DataSet())) {
    std::string typed;
    Utf8Append(typed, Key);
    if (incSearchRunning_)
      DoIncSearch(typed, incSearchTimeOut_, 0);
    else
      DoIncSearch(typed, DBGridExIncSearchTimeOut, 0);
    Key = 0;
  }
}

void TCustomDBGridEx::KeyUp(WORD& Key, TShiftState Shift) {
  if (Key == VK_CONTROL && sortMarkingPending_) {
    sortMarkingPending_ = false;
    DoSortMarkingChanged();
  }
  TCustomGrid::KeyUp(Key, Shift);
}

void TCustomDBGridEx::CopyFromPreviousRecord() {
  if (!dataLink_->Active() || dataLink_->ActiveRecord() == 0) return;
  TColumnEx* c = FocusedColumn();
  if (!ColumnTakesKeys(c) || !c->Field()) return;
  TField* field = c->Field();
  TField* source = field;
  if (field->FieldKind() == fkLookup) {
    if (field->KeyFields().empty()) return;
    source = dataLink_->DataSet()->FindField(field->KeyFields());
    if (!source) return;
  }
  TVariant value;
  {
    const int saved = dataLink_->ActiveRecord();
    dataLink_->SetActiveRecord(saved - 1);
    TScopeExit back([this, saved] { dataLink_->SetActiveRecord(saved); });
    value = source->Value();
  }
  if (!c->CanModify(true)) return;
  ClearSelection();
  source->SetValue(value);
  ShowEditor();
  if (InplaceEditor() && InplaceEditor()->Visible()) InplaceEditor()->SelectAll();
}

// ---------------------------------------------------------------- the standard edit actions

namespace {

enum class GridEditAction { None, Copy, Cut, Paste, Delete, SelectAll };

GridEditAction EditActionOf(TBasicAction* Action) {
  if (!Action) return GridEditAction::None;
  if (Action->InheritsFrom(TEditCopy::StaticClass())) return GridEditAction::Copy;
  if (Action->InheritsFrom(TEditCut::StaticClass())) return GridEditAction::Cut;
  if (Action->InheritsFrom(TEditPaste::StaticClass())) return GridEditAction::Paste;
  if (Action->InheritsFrom(TEditDelete::StaticClass())) return GridEditAction::Delete;
  if (Action->InheritsFrom(TEditSelectAll::StaticClass())) return GridEditAction::SelectAll;
  return GridEditAction::None;
}

}  // namespace

bool TCustomDBGridEx::EditActionPossible(int Kind) {
  switch (static_cast<GridEditAction>(Kind)) {
    case GridEditAction::Copy:
      return editActions_.Contains(geaCopyEx) && CanCopySelection();
    case GridEditAction::Cut:
      return editActions_.Contains(geaCutEx) && CanCutSelection();
    case GridEditAction::Paste:
      return editActions_.Contains(geaPasteEx) && CanPasteFromClipboard();
    case GridEditAction::Delete:
      return editActions_.Contains(geaDeleteEx) && CanDeleteSelection();
    case GridEditAction::SelectAll:
      return editActions_.Contains(geaSelectAllEx) && CanSelectAll();
    default:
      return false;
  }
}

bool TCustomDBGridEx::ExecuteAction(TBasicAction* Action) {
  // the data link's source first: the dataset's own actions act on the grid's records
  if (Action && DataSource() && DataSource()->ExecuteAction(Action)) return true;
  const GridEditAction kind = EditActionOf(Action);
  if (kind == GridEditAction::None || !Focused()) return TCustomGrid::ExecuteAction(Action);
  if (!EditActionPossible(static_cast<int>(kind))) return false;
  switch (kind) {
    case GridEditAction::Copy:
      CopyGridToClipboard(this, false);
      break;
    case GridEditAction::Cut:
      CutGridToClipboard(this, false);
      break;
    case GridEditAction::Paste:
      PasteGridFromClipboard(this, false);
      break;
    case GridEditAction::Delete:
      DeleteGridSelection(this, false);
      break;
    case GridEditAction::SelectAll:
      Selection()->SelectAll();
      break;
    default:
      break;
  }
  return true;
}

bool TCustomDBGridEx::UpdateAction(TBasicAction* Action) {
  const GridEditAction kind = EditActionOf(Action);
  if (kind == GridEditAction::None || !Focused()) return TCustomGrid::UpdateAction(Action);
  if (auto* a = dynamic_cast<TCustomAction*>(Action))
    a->SetEnabled(EditActionPossible(static_cast<int>(kind)));
  return true;
}
