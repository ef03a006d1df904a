#include "grid/ExtraRow.h"

#include "platform/db/DBConsts.h"

namespace {

constexpr TShortCut kAltDelShortCut = 0x802E;  // Alt+Del

bool IsControlChar(char c) {
  return static_cast<unsigned char>(c) < ' ';
}

// The parts of a ';'-separated text; a part that begins with '"' is a quoted string (doubled quotes
// inside) that may hold ';'.
std::vector<std::string> SplitCells(const std::string& Text) {
  std::vector<std::string> cells;
  size_t i = 0;
  const size_t n = Text.size();
  while (i < n && IsControlChar(Text[i])) ++i;
  while (i < n) {
    std::string part;
    if (Text[i] == '"') {
      ++i;
      while (i < n) {
        if (Text[i] == '"') {
          if (i + 1 < n && Text[i + 1] == '"') {
            part += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        part += Text[i++];
      }
      while (i < n && Text[i] != ';' && !IsControlChar(Text[i])) ++i;
    } else {
      while (i < n && Text[i] != ';' && !IsControlChar(Text[i])) part += Text[i++];
    }
    cells.push_back(std::move(part));
    if (i < n && Text[i] == ';') ++i;
    while (i < n && IsControlChar(Text[i])) ++i;
  }
  return cells;
}

}  // namespace

bool VarEquals(const TVariant& V1, const TVariant& V2) {
  bool result = false;
  try {
    if (V1.IsArray() != V2.IsArray()) return false;
    if (V1.IsArray() && VarArrayDimCount(V1) == VarArrayDimCount(V2) &&
        VarArrayLowBound(V1, 1) == VarArrayLowBound(V2, 1) &&
        VarArrayHighBound(V1, 1) == VarArrayHighBound(V2, 1)) {
      const int low = VarArrayLowBound(V1, 1), high = VarArrayHighBound(V1, 1);
      for (int i = low; i <= high; ++i) {
        result = V1.GetElement(i) == V2.GetElement(i);
        if (!result) return false;
      }
      return result;
    }
    if (V1.IsEmpty() != V2.IsEmpty()) return false;
    result = V1 == V2;
  } catch (const Exception&) {
  }
  return result;
}

void GetFieldsList(TList* List, TDataSet* DataSet, const std::string& FieldNames) {
  int pos = 1;
  while (pos <= static_cast<int>(FieldNames.size())) {
    const std::string name = ExtractFieldName(FieldNames, pos);
    TField* field = DataSet->FindField(name);
    if (!field) DatabaseErrorFmt(SFieldNotFound, {name}, DataSet);
    if (List) List->Add(field);
  }
}

std::vector<TField*> GetFieldsArray(TDataSet* DataSet, const std::string& FieldNames) {
  TList list;
  GetFieldsList(&list, DataSet, FieldNames);
  std::vector<TField*> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(static_cast<TField*>(list.Items(i)));
  return out;
}

void SetFieldsValues(TDataSet* DataSet, const std::string& FieldNames, const TVariant& Value) {
  if (VarEquals(Value, Null())) {
    for (TField* f : DataSet->GetFieldList(FieldNames)) f->Clear();
  } else {
    DataSet->SetFieldValues(FieldNames, Value);
  }
}

// ---------------------------------------------------------------- TSpecRowEx

TSpecRowEx::TSpecRowEx(TControl* AOwner)
    : owner_(AOwner), font_(std::make_unique<TFont>()), shortCut_(kAltDelShortCut), value_(Null()) {
  if (owner_) {
    font_->Assign(owner_->Font());
    color_ = owner_->Color();
  }
  font_->OnChange = [this](TObject* s) { FontChanged(s); };
}

TSpecRowEx::~TSpecRowEx() = default;

void TSpecRowEx::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TSpecRowEx*>(Source);
  if (!src) {
    TPersistent::Assign(Source);
    return;
  }
  BeginUpdate();
  SetCellsText(src->cellsText_);
  if (src->colorAssigned_) SetColor(src->color_);
  if (src->fontAssigned_) SetFont(src->font_.get());
  SetShortCut(src->shortCut_);
  SetShowIfNotInKeyList(src->showIfNotInKeyList_);
  SetValue(src->value_);
  SetVisible(src->visible_);
  EndUpdate();
}

void TSpecRowEx::Changed() {
  if (updateCount_ == 0 && OnChanged) OnChanged(this);
}

void TSpecRowEx::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) Changed();
}

void TSpecRowEx::SetCellsText(const std::string& Value) {
  if (cellsText_ == Value) return;
  cellsText_ = Value;
  cells_ = SplitCells(Value);
  Changed();
}

std::string TSpecRowEx::GetCellText(int Index) const {
  return Index >= 0 && Index < CellCount() ? cells_[static_cast<size_t>(Index)] : std::string();
}

TColor TSpecRowEx::Color() const {
  if (!colorAssigned_ && owner_) return owner_->Color();
  return color_;
}

void TSpecRowEx::SetColor(TColor Value) {
  if (colorAssigned_ && color_ == Value) return;
  color_ = Value;
  colorAssigned_ = true;
  Changed();
}

TFont* TSpecRowEx::Font() const {
  if (!fontAssigned_ && owner_) {
    // the owner's font shows through until the row has a font of its own
    TFont* own = owner_->Font();
    if (own->Name() != font_->Name() || own->Height() != font_->Height() || own->Style() != font_->Style() ||
        own->Color() != font_->Color() || own->Charset() != font_->Charset()) {
      auto* self = const_cast<TSpecRowEx*>(this);
      self->syncingFont_ = true;
      font_->Assign(own);
      self->syncingFont_ = false;
    }
  }
  return font_.get();
}

void TSpecRowEx::SetFont(TFont* Value) {
  font_->Assign(Value);
}

void TSpecRowEx::FontChanged(TObject* /*Sender*/) {
  if (syncingFont_) return;
  fontAssigned_ = true;
  Changed();
}

void TSpecRowEx::SetShortCut(TShortCut Value) {
  if (shortCut_ == Value) return;
  shortCut_ = Value;
  Changed();
}

void TSpecRowEx::SetShowIfNotInKeyList(bool Value) {
  if (showIfNotInKeyList_ == Value) return;
  showIfNotInKeyList_ = Value;
  Changed();
}

void TSpecRowEx::SetValue(const TVariant& Value) {
  if (VarEquals(value_, Value) && value_.VarType() == Value.VarType()) return;
  value_ = Value;
  Changed();
}

void TSpecRowEx::SetVisible(bool Value) {
  if (visible_ == Value) return;
  visible_ = Value;
  Changed();
}

bool TSpecRowEx::LocateKey(const TVariant& Key) const {
  return visible_ && VarEquals(value_, Key);
}
