#include "grid/DBGridExFindDlg.h"

#include <algorithm>
#include <cassert>

#include "platform/gui/Dialogs.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"

// ---------------------------------------------------------------- the search engine

void TGridFindEngine::SetGrid(TCustomDBGridEx* Value) {
  if (grid_ == Value) return;
  grid_ = Value;
  columns_.clear();
  index_ = -1;
  firstSearch_ = true;
}

void TGridFindEngine::SetColumns(TColumnsExList Value, TGridFindDirection Direction) {
  columns_ = std::move(Value);
  Restart(Direction);
}

void TGridFindEngine::Restart(TGridFindDirection Direction) {
  firstSearch_ = true;
  index_ = Direction == gfdUp ? static_cast<int>(columns_.size()) - 1 : 0;
}

void TGridFindEngine::ColumnRemoved(TColumnEx* Column) {
  const auto at = std::find(columns_.begin(), columns_.end(), Column);
  if (at == columns_.end()) return;
  const int removed = static_cast<int>(at - columns_.begin());
  columns_.erase(at);
  if (index_ > removed || index_ >= static_cast<int>(columns_.size())) --index_;
  if (index_ < 0 && !columns_.empty()) index_ = 0;
  firstSearch_ = true;
}

std::string TGridFindEngine::CellText(TColumnEx* Column, bool UseFormat) {
  TField* f = Column->Field();
  if (!f) return {};
  return UseFormat ? Column->GetDisplayText() : f->AsString();
}

bool TGridFindEngine::Matches(std::string_view Pattern, std::string_view Text, TGridFindMatchType MatchType) {
  switch (MatchType) {
    case gfmAnyPart:
      return Text.find(Pattern) != std::string_view::npos;
    case gfmWholeField:
      return Text == Pattern;
    case gfmFromBeginning:
      // the first Length(Pattern) characters: the same bytes as the pattern's, UTF-8 being prefix-free
      return Text.starts_with(Pattern);
  }
  return false;
}

bool TGridFindEngine::Step(TDataSet* DataSet, bool Forward) {
  const int last = static_cast<int>(columns_.size()) - 1;
  if (Forward) {
    if (index_ >= last) {
      DataSet->Next();
      if (DataSet->Eof()) return false;
      index_ = 0;
    } else {
      ++index_;
    }
  } else {
    if (index_ <= 0) {
      DataSet->Prior();
      if (DataSet->Bof()) return false;
      index_ = last;
    } else {
      --index_;
    }
  }
  return true;
}

TGridFindResult TGridFindEngine::FindNext(const std::string& Pattern, const TGridFindOptions& Options,
                                          bool Reverse) {
  if (!grid_ || !grid_->DataSource()) return gfrSkipped;
  TDataSet* ds = grid_->DataSource()->DataSet();
  // a column of the list may have gone with the grid's columns since the list was made
  TDBGridColumnsEx* all = grid_->Columns();
  std::erase_if(columns_, [all](TColumnEx* c) {
    for (int i = 0; i < all->Count(); ++i)
      if (all->Items(i) == c) return false;
    return true;
  });
  if (!ds || !ds->Active() || columns_.empty()) return gfrSkipped;
  index_ = std::clamp(index_, 0, static_cast<int>(columns_.size()) - 1);

  const bool forward = (Options.Direction != gfdUp) != Reverse;
  const std::string pattern = Options.CaseSensitive ? Pattern : AnsiUpperCase(Pattern);
  // an edit still in the grid's editor goes into the record first: while the controls are disabled
  // the dataset would post or leave the record without asking them for it
  if (ds->State() == dsEdit || ds->State() == dsInsert) ds->UpdateRecord();
  TColumnEx* found = nullptr;
  {
    ds->DisableControls();
    TScopeExit enable([ds] { ds->EnableControls(); });
    grid_->SaveBookmark();
    if (Options.Direction == gfdAll && firstSearch_) ds->First();
    bool more = !ds->IsEmpty();
    if (more && !firstSearch_) more = Step(ds, forward);
    while (more) {
      TColumnEx* column = columns_[static_cast<std::size_t>(index_)];
      std::string text = CellText(column, Options.UseFormat);
      if (!Options.CaseSensitive) text = AnsiUpperCase(text);
      if (Matches(pattern, text, Options.MatchType)) {
        found = column;
        break;
      }
      more = Step(ds, forward);
    }
    if (!found) grid_->RestoreBookmark();
  }
  if (!found) return gfrNotFound;
  firstSearch_ = false;
  if (found->Visible()) grid_->SetSelectedIndex(found->Index());
  return gfrFound;
}

// ---------------------------------------------------------------- the form

namespace {

TDBGridExFindDlg*& Instance() {
  static TDBGridExFindDlg* dialog = nullptr;
  return dialog;
}

// Layout of the form (pixels).
constexpr int kClientWidth = 412;
constexpr int kClientHeight = 156;
constexpr int kLabelLeft = 8;
constexpr int kBoxLeft = 96;
constexpr int kRowTop = 8;
constexpr int kRowStep = 28;
constexpr int kLabelDrop = 4;
constexpr int kPatternWidth = 308;
constexpr int kChoiceWidth = 188;
constexpr int kRightLeft = 292;
constexpr int kRightWidth = 116;
constexpr int kButtonWidth = 100;
constexpr int kButtonHeight = 25;
constexpr int kButtonTop = 122;
constexpr int kPatternRows = 17;

enum TMatchTypeIndex { kAnyPartItem, kWholeFieldItem, kFromBeginningItem };
enum TDirectionIndex { kUpItem, kDownItem, kAllItem };

void FillPicks(TDBComboBoxEx* Box, std::initializer_list<const char*> Texts, int Selected) {
  for (const char* t : Texts) Box->Items()->Add(t);
  Box->KeyItems()->Assign(Box->Items());
  Box->SetItemIndex(Selected);
}

}  // namespace

TDBGridExFindDlg::TDBGridExFindDlg(TComponent* AOwner) : TForm(AOwner) {
  BuildLayout();
}

TDBGridExFindDlg::~TDBGridExFindDlg() {
  if (Instance() == this) Instance() = nullptr;
  if (engine_.Grid()) engine_.Grid()->RemoveFreeNotification(this);
}

void TDBGridExFindDlg::BuildLayout() {
  SetName("DBGridExFindDlg");
  SetBorderStyle(bsDialog);
  SetCaption(SFindDlgCaption);
  SetPosition(poScreenCenter);
  SetKeyPreview(true);
  SetClientWidth(kClientWidth);
  SetClientHeight(kClientHeight);
  OnKeyDown = [this](TObject* Sender, WORD& Key, TShiftState Shift) { FormKeyDown(Sender, Key, Shift); };

  auto label = [this](const char* Name, const char* Caption, int Row) {
    auto* l = new TLabel(this);
    l->SetName(Name);
    l->SetParent(this);
    l->SetCaption(Caption);
    l->SetLeft(kLabelLeft);
    l->SetTop(kRowTop + Row * kRowStep + kLabelDrop);
    return l;
  };
  auto combo = [this](const char* Name, int Row, int Width) {
    auto* c = new TDBComboBoxEx(this);
    c->SetName(Name);
    c->SetParent(this);
    c->SetBounds(kBoxLeft, kRowTop + Row * kRowStep, Width, c->Height());
    return c;
  };
  auto check = [this](const char* Name, const char* Caption, int Row, bool Checked) {
    auto* c = new TDBCheckBoxEx(this);
    c->SetName(Name);
    c->SetParent(this);
    c->SetCaption(Caption);
    c->SetBounds(kRightLeft, kRowTop + Row * kRowStep + 2, kRightWidth, 17);
    c->SetChecked(Checked);
    return c;
  };
  auto button = [this](const char* Name, const char* Caption, int Left) {
    auto* b = new TButton(this);
    b->SetName(Name);
    b->SetParent(this);
    b->SetCaption(Caption);
    b->SetBounds(Left, kButtonTop, kButtonWidth, kButtonHeight);
    return b;
  };

  Label1 = label("Label1", "&Образец:", 0);
  cbText = combo("cbText", 0, kPatternWidth);
  cbText->DropDownBox()->SetRows(kPatternRows);
  cbText->DropDownBox()->SetSizable(true);
  Label2 = label("Label2", "&Поиск в:", 1);
  cbFindIn = combo("cbFindIn", 1, kChoiceWidth);
  cbMatchType = label("cbMatchType", "&Совпадение:", 2);
  cbMatchinType = combo("cbMatchinType", 2, kChoiceWidth);
  FillPicks(cbMatchinType, {SFindDlgMatchTypes[0], SFindDlgMatchTypes[1], SFindDlgMatchTypes[2]},
            kAnyPartItem);
  Label3 = label("Label3", "Прос&мотр:", 3);
  cbFindDirection = combo("cbFindDirection", 3, kChoiceWidth);
  FillPicks(cbFindDirection, {SFindDlgDirections[0], SFindDlgDirections[1], SFindDlgDirections[2]}, kAllItem);
  cbCharCase = check("cbCharCase", "С учетом ре&гистра", 1, false);
  cbUseFormat = check("cbUseFormat", "С у&четом формата", 2, true);
  bFind = button("bFind", "На&йти далее", kClientWidth - 2 * (kButtonWidth + 4));
  bCancel = button("bCancel", "Закрыть", kClientWidth - (kButtonWidth + 4));
  bCancel->SetCancel(true);
  bCancel->SetModalResult(mrCancel);

  Label1->SetFocusControl(cbText);
  Label2->SetFocusControl(cbFindIn);
  cbMatchType->SetFocusControl(cbMatchinType);
  Label3->SetFocusControl(cbFindDirection);
  bFind->OnClick = [this](TObject* Sender) { bFindClick(Sender); };
  bCancel->OnClick = [this](TObject* Sender) { bCancelClick(Sender); };
  cbFindIn->OnChange = [this](TObject* Sender) { cbFindInChange(Sender); };
  cbText->OnChange = [this](TObject* Sender) { cbTextChange(Sender); };
  cbFindDirection->OnChange = [this](TObject* Sender) { cbTextChange(Sender); };
}

TGridFindDirection TDBGridExFindDlg::Direction() const {
  switch (cbFindDirection->ItemIndex()) {
    case kUpItem:
      return gfdUp;
    case kDownItem:
      return gfdDown;
    default:
      return gfdAll;
  }
}

TGridFindOptions TDBGridExFindDlg::Options() const {
  static constexpr TGridFindMatchType kMatchTypes[] = {gfmAnyPart, gfmWholeField, gfmFromBeginning};
  const int m = cbMatchinType->ItemIndex();
  TGridFindOptions o;
  o.MatchType = m >= 0 && m < 3 ? kMatchTypes[m] : gfmAnyPart;
  o.Direction = Direction();
  o.CaseSensitive = cbCharCase->Checked();
  o.UseFormat = cbUseFormat->Checked();
  return o;
}

void TDBGridExFindDlg::Notification(TComponent* AComponent, TOperation Operation) {
  TForm::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == engine_.Grid()) {
    engine_.SetGrid(nullptr);
    cbFindIn->Items()->Clear();
    cbFindIn->KeyItems()->Clear();
  }
}

void TDBGridExFindDlg::Prepare(TCustomDBGridEx* Grid, const std::string& Text, TStrings* Entries) {
  assert(Grid);
  if (engine_.Grid() != Grid) {
    if (engine_.Grid()) engine_.Grid()->RemoveFreeNotification(this);
    Grid->FreeNotification(this);
  }
  engine_.SetGrid(Grid);
  engine_.SetColumns({}, Direction());
  engine_.SetColumnIndex(-1);
  cbText->SetText(Text);

  TStrings* items = cbFindIn->Items();
  items->BeginUpdate();
  items->Clear();
  if (Entries) {
    for (int i = 0; i < Entries->Count(); ++i) items->AddObject(Entries->Strings(i), Entries->Objects(i));
  } else {
    for (TColumnEx* c : Grid->VisibleColumns()) items->AddObject(c->Title()->Caption(), c);
  }
  items->AddObject(SFindDlgAllColumns, nullptr);
  items->EndUpdate();
  cbFindIn->KeyItems()->Assign(items);
  TColumnEx* focused = Grid->FocusedColumn();
  int selected = -1;
  if (focused) {
    const std::string caption = focused->Title()->Caption();
    for (int i = 0; i < items->Count() && selected < 0; ++i)
      if (items->Strings(i) == caption) selected = i;
  }
  cbFindIn->SetItemIndex(selected);
  SetActiveControl(cbText);
  cbFindInChange(cbFindIn);
}

void TDBGridExFindDlg::Execute(TCustomDBGridEx* Grid, const std::string& Text, bool Modal,
                               TStrings* Entries) {
  Prepare(Grid, Text, Entries);
  if (Modal) {
    if (Visible()) Hide();
    SetFormStyle(fsNormal);
    ShowModal();
  } else {
    SetFormStyle(fsStayOnTop);
    Show();
  }
}

void TDBGridExFindDlg::cbFindInChange(TObject*) {
  TStrings* items = cbFindIn->Items();
  const int count = items->Count();
  if (count == 0) {
    engine_.SetColumns({}, Direction());
    return;
  }
  if (cbFindIn->ItemIndex() < 0) cbFindIn->SetItemIndex(count - 1);
  const int selected = cbFindIn->ItemIndex();
  // an entry's column may have gone since the list was made: it is found among the grid's columns
  // by its address, never read through it
  TDBGridColumnsEx* gridColumns = engine_.Grid() ? engine_.Grid()->Columns() : nullptr;
  TColumnsExList columns;
  auto add = [&columns, items, gridColumns](int I) {
    for (int i = 0; gridColumns && i < gridColumns->Count(); ++i)
      if (TColumnEx* c = gridColumns->Items(i); c == items->Objects(I)) columns.push_back(c);
  };
  if (selected != count - 1) {
    add(selected);
  } else {
    for (int i = 0; i < count - 1; ++i) add(i);
  }
  engine_.SetColumns(std::move(columns), Direction());
}

void TDBGridExFindDlg::ColumnGoing(TColumnEx* Column) {
  TStrings* items = cbFindIn->Items();
  TStrings* keys = cbFindIn->KeyItems();
  const int chosen = cbFindIn->ItemIndex();
  bool chosenGone = false;
  // the last entry, "<All>", names no column; the keys are the captions, entry for entry
  for (int i = items->Count() - 2; i >= 0; --i) {
    if (items->Objects(i) != Column) continue;
    if (i == chosen) chosenGone = true;
    items->Delete(i);
    keys->Delete(i);
  }
  // the box keeps another chosen entry by its caption; a chosen entry that went leaves "<All>"
  // chosen, also when another entry bears its caption, and the box's change prepares the columns
  // to search again
  if (chosenGone) cbFindIn->SetItemIndex(items->Count() - 1);
  // only now: a change of the box on the way may have listed the column again from an entry not yet
  // removed, the column being still among the grid's
  engine_.ColumnRemoved(Column);
}

void TDBGridExFindDlg::cbTextChange(TObject*) {
  engine_.Restart(Direction());
}

void TDBGridExFindDlg::bFindClick(TObject*) {
  const bool reverse = GetKeyState(VK_CONTROL) < 0;
  const std::string pattern = cbText->Text();
  if (cbText->Items()->IndexOf(pattern) < 0) cbText->Items()->Add(pattern);
  if (engine_.FindNext(pattern, Options(), reverse) == gfrNotFound)
    ShowMessage(Format(SFindDlgNotFound, {pattern}));
}

void TDBGridExFindDlg::bCancelClick(TObject*) {
  Close();
}

void TDBGridExFindDlg::FormKeyDown(TObject*, WORD& Key, TShiftState) {
  if (Key != VK_RETURN && Key != VK_ESCAPE) return;
  // a dropped-down list (or an edit that takes the key) has it first
  if (TWinControl* focused = ActiveControl(); focused && focused->Perform(CM_WANTSPECIALKEY, Key) != 0)
    return;
  if (Key == VK_ESCAPE) {
    if (Modal()) return;  // the cancel button closes a modal dialog
    Close();
  } else {
    bFindClick(bFind);
  }
  Key = 0;
  cbText->SetModified(false);
}

// ---------------------------------------------------------------- the unit's entry points

TDBGridExFindDlg* GridFindDialog() {
  return Instance();
}

void ExecuteGridFindDialog(TCustomDBGridEx* Grid, const std::string& Text, bool Modal, TStrings* Entries) {
  if (!Grid) return;
  if (!Instance()) {
    CreateApplication();
    Instance() = new TDBGridExFindDlg(Application);
  }
  Instance()->Execute(Grid, Text, Modal, Entries);
}

void InitGridFindDialogUnit() {
  FindDialogProc = [](TCustomDBGridEx* Grid, const std::string& Text, bool Modal, TStrings* Entries) {
    ExecuteGridFindDialog(Grid, Text, Modal, Entries);
  };
  FindDialogColumnProc = [](TColumnEx* Column) {
    if (TDBGridExFindDlg* dialog = Instance()) dialog->ColumnGoing(Column);
  };
}
