// Query-by-example: the dataset shows one record in which criteria are typed; the criteria become a
// condition added to the dataset's statement.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>

#include "oracle/OracleTypes.h"
#include "oracle/OracleVisual.h"
#include "oracle_data/OracleData.h"
#include "platform/rtl/SysUtils.h"

using namespace oracle_data;

namespace {
constexpr char kQBEMarker[] = "/* Modified for QBE */";
constexpr char kBindPrefix[] = "RVL__QBE";
[[maybe_unused]] constexpr char kNotInMode[] = "Operation not allowed in QBE mode";
constexpr int32_t kStreamVersion = 3;
// The size of a field that takes criteria with operators (IN (...), BETWEEN ... AND ...).
constexpr int kQBECriterionSize = 999;

bool IsLobType(TFieldType t) {
  return t == ftBlob || t == ftMemo || t == ftGraphic || t == ftOraBlob || t == ftOraClob;
}

bool IsStringType(TFieldType t) {
  return t == ftString || t == ftMemo || t == ftFixedChar || t == ftWideString;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Wildcards of LIKE ("%" or "_"), not counting the "to_" of function names.
bool HasWildcards(const std::string& Text) {
  std::string u = UpperCase(Text);
  for (size_t p = u.find("TO_"); p != std::string::npos; p = u.find("TO_")) u.erase(p, 3);
  return u.find_first_of("%_") != std::string::npos;
}

std::string Quote(const std::string& Text) {
  std::string out = "'";
  for (char c : Text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

// The text without its surrounding quotes (a doubled quote inside becomes one).
std::string Unquote(const std::string& Text) {
  const std::string t = Trim(Text);
  if (t.size() < 2 || (t[0] != '\'' && t[0] != '"') || t.back() != t[0]) return t;
  const char q = t[0];
  std::string out;
  for (size_t i = 1; i + 1 < t.size(); ++i) {
    out += t[i];
    if (t[i] == q && i + 2 < t.size() && t[i + 1] == q) ++i;
  }
  return out;
}

// A plain number: optional sign, digits with at most one point, optional exponent.
bool IsNumberLiteral(const std::string& Text) {
  size_t i = 0;
  if (i < Text.size() && (Text[i] == '+' || Text[i] == '-')) ++i;
  bool digits = false, point = false;
  for (; i < Text.size(); ++i) {
    const char c = Text[i];
    if (std::isdigit(static_cast<unsigned char>(c))) {
      digits = true;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (!digits) return false;
  if (i < Text.size() && (Text[i] == 'e' || Text[i] == 'E')) {
    ++i;
    if (i < Text.size() && (Text[i] == '+' || Text[i] == '-')) ++i;
    const size_t start = i;
    while (i < Text.size() && std::isdigit(static_cast<unsigned char>(Text[i]))) ++i;
    if (i == start) return false;
  }
  return i == Text.size();
}

bool IsWord(const std::string& Token, const char* Word) {
  return SameText(Token, Word);
}

// Translates one criterion of one field.
class TCriterionReader {
 public:
  TCriterionReader(const std::string& Column, const TQBEOptions& Options,
                   std::vector<std::pair<std::string, std::string>>& Binds)
      : column_(Column), options_(Options), binds_(Binds) {}

  TQBECondition Read(const std::string& Criterion) {
    TQBECondition result;
    const std::string text = Trim(Criterion);
    if (!options_.AllowOperators) {
      // One value: no word or operator inside it has any effect.
      std::string op;
      const std::string value = Format(Unquote(text), false, op);
      result.Condition = (op.empty() ? DefaultOperator(value) : op) + " " + value;
    } else {
      result.Condition = ReadOperators(text, result.Negated);
    }
    result.Column = column_;
    return result;
  }

 private:
  std::string DefaultOperator(const std::string& Formatted) const {
    if (Formatted == "null") return "is";
    if (!Formatted.empty() && Formatted[0] == '\'' && HasWildcards(Formatted)) return "like";
    return "=";
  }

  // A value formatted for the field's type. Op is the operator in front of it (may be changed for a
  // whole day); InsideOperator leaves string values without partial-match wildcards.
  std::string Format(std::string Value, bool InsideOperator, std::string& Op) {
    Value = Unquote(Value);
    if (options_.AllowFileWildCards) {
      std::replace(Value.begin(), Value.end(), '*', '%');
      std::replace(Value.begin(), Value.end(), '?', '_');
    }
    if (SameText(Value, "NULL")) return "null";
    const TFieldType t = options_.DataType;
    if (IsStringType(t)) {
      if (!HasWildcards(Value) && !InsideOperator && (options_.PartialMatch || options_.AnyPosition)) {
        if (Value.empty() || Value.back() != '%') Value += '%';
        if (options_.AnyPosition && Value.front() != '%') Value.insert(Value.begin(), '%');
      }
      if (options_.CaseInsensitive) {
        Value = AnsiUpperCase(Value);
        if (!upper_) column_ = "upper(" + column_ + ")";
        upper_ = true;
      }
      return Quote(Value);
    }
    switch (t) {
      case ftDate:
      case ftDateTime: {
        if (HasWildcards(Value)) return Quote(Value);
        const TDateTime d = StrToDateTime(Value);  // the conversion error for a text that is no date
        const bool timePart =
            Value.find(':') != std::string::npos || d != static_cast<double>(static_cast<int64_t>(d));
        if (timePart)
          return "to_date('" + FormatDateTime("dd-mm-yyyy hh:nn:ss", d) + "', 'DD-MM-YYYY HH24:MI:SS')";
        const std::string day = FormatDateTime("dd-mm-yyyy", d);
        if (options_.WholeDays && (Op.empty() || Op == "=")) {
          Op = ">=";
          return "to_date('" + day + "', 'DD-MM-YYYY') and " + column_ + " < to_date('" +
                 FormatDateTime("dd-mm-yyyy", d + 1) + "', 'DD-MM-YYYY')";
        }
        return "to_date('" + day + "', 'DD-MM-YYYY')";
      }
      case ftTime:
        return "to_date('" + FormatDateTime("hh:nn:ss", StrToTime(Value)) + "', 'HH24:MI:SS')";
      case ftSmallint:
      case ftInteger:
      case ftWord:
      case ftLargeint: {
        int n;
        if (TryStrToInt(Trim(Value), n)) return IntToStr(n);
        std::string cleaned;
        for (char c : Value)
          if (std::isdigit(static_cast<unsigned char>(c)) || c == '%' || c == '+' || c == '-' || c == '_')
            cleaned += c;
        return Numeric(cleaned.empty() ? Value : cleaned);
      }
      case ftFloat:
      case ftCurrency:
      case ftBCD: {
        const size_t last = Value.find_last_of(",.");
        std::string cleaned;
        for (size_t i = 0; i < Value.size(); ++i) {
          if (Value[i] != ',' && Value[i] != '.')
            cleaned += Value[i];
          else if (i == last)
            cleaned += '.';
        }
        return Numeric(cleaned.empty() ? Value : cleaned);
      }
      default:
        return Quote(Value);
    }
  }

  // A number as it stands; anything else compared as text: quoted with wildcards, else bound.
  std::string Numeric(const std::string& Text) {
    const std::string t = Trim(Text);
    if (IsNumberLiteral(t)) return t;
    if (HasWildcards(t)) return Quote(t);
    const std::string name = kBindPrefix + IntToStr(static_cast<int>(binds_.size()) + 1);
    binds_.emplace_back(name, t);
    return ":" + name;
  }

  std::string FormatInside(const std::string& Value) {
    std::string op = "inside";
    return Format(Value, true, op);
  }

  // The words of a criterion: blanks and parentheses separate them outside quotes; "(", ")" and
  // "," are words of their own.
  static std::vector<std::string> Words(const std::string& Text) {
    std::vector<std::string> words;
    std::string current;
    char quote = 0;
    auto flush = [&] {
      if (!current.empty()) words.push_back(current);
      current.clear();
    };
    for (char c : Text) {
      if (quote) {
        current += c;
        if (c == quote) quote = 0;
      } else if (c == '\'' || c == '"') {
        current += c;
        quote = c;
      } else if (IsBlank(c)) {
        flush();
      } else if (c == '(' || c == ')') {
        flush();
        words.emplace_back(1, c);
      } else {
        current += c;
      }
    }
    flush();
    return words;
  }

  static std::string Join(const std::vector<std::string>& Words, size_t From, size_t To) {
    std::string s;
    for (size_t i = From; i < To && i < Words.size(); ++i) s += (s.empty() ? "" : " ") + Words[i];
    return s;
  }

  std::string ReadOperators(std::string Text, bool& Negated) {
    for (;;) {
      // A leading operator of one or two of ! < = >.
      size_t n = 0;
      while (n < 2 && n < Text.size() && std::strchr("!<=>", Text[n])) ++n;
      if (n > 0) {
        std::string op = Text.substr(0, n);
        const std::string value = Format(Trim(Text.substr(n)), true, op);
        if (op == "=") op = DefaultOperator(value);
        return op + " " + value;
      }
      const std::vector<std::string> w = Words(Text);
      if (w.empty()) return "is null";
      if (w.size() == 3 && IsWord(w[0], "IS") && IsWord(w[1], "NOT") && IsWord(w[2], "NULL")) {
        Negated = !Negated;
        return "is null";
      }
      if (IsWord(w[0], "NOT") && w.size() > 1) {
        Negated = true;
        const size_t p = UpperCase(Text).find("NOT");
        Text = Trim(Text.substr(p + 3));
        continue;
      }
      if ((w.size() == 1 && IsWord(w[0], "NULL")) ||
          (w.size() == 2 && IsWord(w[0], "IS") && IsWord(w[1], "NULL")))
        return "is null";
      if (IsWord(w[0], "IN") && w.size() > 1 && w[1] == "(") {
        std::string list;
        for (size_t i = 2; i < w.size() && w[i] != ")"; ++i) {
          // Items separated by commas, blanks or both (a comma inside quotes belongs to the value).
          std::string item;
          char quote = 0;
          for (char c : w[i] + ",") {
            if (quote) {
              if (c == quote) quote = 0;
              item += c;
            } else if (c == '\'' || c == '"') {
              quote = c;
              item += c;
            } else if (c == ',') {
              if (!item.empty()) AddToList(list, FormatInside(item), true);
              item.clear();
            } else {
              item += c;
            }
          }
        }
        return "in (" + list + ")";
      }
      if (IsWord(w[0], "BETWEEN")) {
        size_t k = 1;
        while (k < w.size() && !IsWord(w[k], "AND")) ++k;
        return "between " + FormatInside(Join(w, 1, k)) + " and " + FormatInside(Join(w, k + 1, w.size()));
      }
      if (IsWord(w[0], "LIKE")) return "like " + FormatInside(Join(w, 1, w.size()));
      if (w.size() == 3 && (w[1] == ".." || w[1] == "..." || w[1] == "-"))
        return "between " + FormatInside(w[0]) + " and " + FormatInside(w[2]);
      if (w.size() == 1 && !IsStringType(options_.DataType)) {
        const size_t dots = w[0].find("..");
        if (dots != std::string::npos && dots > 0) {
          size_t end = dots;
          while (end < w[0].size() && w[0][end] == '.') ++end;
          if (end < w[0].size())
            return "between " + FormatInside(w[0].substr(0, dots)) + " and " + FormatInside(w[0].substr(end));
        }
      }
      // Values: words of a text value stay together up to OR or AND; for other types every word
      // is a value of its own.
      std::vector<std::string> values;
      const bool grouped =
          IsStringType(options_.DataType) || options_.DataType == ftDate || options_.DataType == ftDateTime;
      std::string current;
      for (const std::string& word : w) {
        if (IsWord(word, "OR") || IsWord(word, "AND")) {
          if (!current.empty()) values.push_back(current);
          current.clear();
        } else if (grouped) {
          current += (current.empty() ? "" : " ") + word;
        } else {
          values.push_back(word);
        }
      }
      if (!current.empty()) values.push_back(current);
      std::string condition;
      for (size_t i = 0; i < values.size(); ++i) {
        std::string op;
        const std::string value = Format(values[i], false, op);
        if (op.empty()) op = DefaultOperator(value);
        condition += i == 0 ? op + " " + value : " or " + column_ + " " + op + " " + value;
      }
      return condition.empty() ? "is null" : condition;
    }
  }

  std::string column_;
  const TQBEOptions& options_;
  std::vector<std::pair<std::string, std::string>>& binds_;
  bool upper_ = false;
};
}  // namespace

std::string TQBECondition::Text() const {
  if (!Negated) return "(" + Column + " " + Condition + ")";
  const std::string negated = "not (" + Column + " " + Condition + ")";
  if (Condition == "is null") return negated;
  return "(" + negated + " or " + Column + " is null)";
}

TQBECondition oracle_data::TranslateQBECriterion(const std::string& Criterion, const std::string& Column,
                                                 const TQBEOptions& Options,
                                                 std::vector<std::pair<std::string, std::string>>& Binds) {
  return TCriterionReader(Column, Options, Binds).Read(Criterion);
}

// ---------------------------------------------------------------------------------------------------
// Settings and their stored form

bool TQBEField::Enabled() const {
  return enabled_ && !IsLobType(defType_) && defType_ != ftGraphic;
}

TQBEDefinition::TQBEDefinition(TOracleDataSet* DataSet) : dataSet_(DataSet) {}

TQBEField* TQBEDefinition::Add(const std::string& Name) {
  auto* item = static_cast<TQBEField*>(fields_.Add());
  item->SetName(Name);
  return item;
}

TQBEField* TQBEDefinition::FindField(const std::string& Name) const {
  for (int i = 0; i < Count(); ++i)
    if (SameText(Fields(i)->Name(), Name)) return Fields(i);
  return nullptr;
}

void TQBEDefinition::Assign(TPersistent* Source) {
  auto* other = dynamic_cast<TQBEDefinition*>(Source);
  if (!other) {
    TPersistent::Assign(Source);
    return;
  }
  saveQBEValues_ = other->saveQBEValues_;
  allowFileWildCards_ = other->allowFileWildCards_;
  fontColor_ = other->fontColor_;
  backgroundColor_ = other->backgroundColor_;
  allowOperators_ = other->allowOperators_;
  Clear();
  for (int i = 0; i < other->Count(); ++i) {
    const TQBEField* from = other->Fields(i);
    TQBEField* to = Add(from->Name());
    to->SetEnabled(from->StoredEnabled());
    to->SetPartialMatch(from->PartialMatch());
    to->SetAnyPosition(from->AnyPosition());
    to->SetCaseInsensitive(from->CaseInsensitive());
    to->SetWholeDays(from->WholeDays());
    to->SetDefType(from->DefType());
    to->Criterion = from->Criterion;
  }
}

namespace {
void PutInt32(std::string& Out, int32_t Value) {
  const auto u = static_cast<uint32_t>(Value);
  for (int i = 0; i < 4; ++i) Out += static_cast<char>((u >> (8 * i)) & 0xFF);
}

// Reads the stored items, every length checked against the bytes left.
class TFieldDefsReader {
 public:
  explicit TFieldDefsReader(std::string Bytes) : bytes_(std::move(Bytes)) {}
  int32_t Int32() {
    Need(4);
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(bytes_[pos_ + i])) << (8 * i);
    pos_ += 4;
    return static_cast<int32_t>(v);
  }
  bool Flag() {
    Need(1);
    return bytes_[pos_++] != 0;
  }
  std::string Text(int32_t Length) {
    if (Length < 0) Corrupt();
    Need(static_cast<size_t>(Length));
    std::string s = bytes_.substr(pos_, static_cast<size_t>(Length));
    pos_ += static_cast<size_t>(Length);
    return s;
  }

 private:
  void Need(size_t Count) {
    if (Count > bytes_.size() - pos_) Corrupt();
  }
  [[noreturn]] static void Corrupt() { throw EReadError("Stream read error"); }
  std::string bytes_;
  size_t pos_ = 0;
};
}  // namespace

void TQBEDefinition::ReadFieldDefs(TStream* Stream) {
  Clear();
  std::string bytes(static_cast<size_t>(std::max<int64_t>(Stream->Size() - Stream->Position(), 0)), '\0');
  if (!bytes.empty()) Stream->ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  TFieldDefsReader r(std::move(bytes));
  const int32_t version = r.Int32();
  if (version > kStreamVersion) throw Exception("Invalid version of QBEDefinition");
  const int32_t count = r.Int32();
  if (count < 0) throw EReadError("Stream read error");
  struct TItem {
    std::string name;
    bool flags[5] = {true, false, false, false, false};
  };
  std::vector<TItem> items;
  for (int32_t i = 0; i < count; ++i) {
    TItem item;
    item.name = r.Text(r.Int32());
    item.flags[0] = r.Flag();                   // Enabled
    item.flags[1] = r.Flag();                   // PartialMatch
    item.flags[2] = r.Flag();                   // CaseInsensitive
    if (version > 1) item.flags[3] = r.Flag();  // WholeDays
    if (version > 2) item.flags[4] = r.Flag();  // AnyPosition
    items.push_back(std::move(item));
  }
  for (const TItem& item : items) {
    TQBEField* f = Add(item.name);
    f->SetEnabled(item.flags[0]);
    f->SetPartialMatch(item.flags[1]);
    f->SetCaseInsensitive(item.flags[2]);
    f->SetWholeDays(item.flags[3]);
    f->SetAnyPosition(item.flags[4]);
  }
}

void TQBEDefinition::WriteFieldDefs(TStream* Stream) const {
  std::string out;
  PutInt32(out, kStreamVersion);
  PutInt32(out, Count());
  for (int i = 0; i < Count(); ++i) {
    const TQBEField* f = Fields(i);
    PutInt32(out, static_cast<int32_t>(f->Name().size()));
    out += f->Name();
    for (bool flag :
         {f->StoredEnabled(), f->PartialMatch(), f->CaseInsensitive(), f->WholeDays(), f->AnyPosition()})
      out += static_cast<char>(flag ? 1 : 0);
  }
  Stream->WriteBuffer(out.data(), static_cast<int64_t>(out.size()));
}

bool TQBEDefinition::Differs(const TQBEDefinition* Other) const {
  if (Count() != Other->Count()) return true;
  for (int i = 0; i < Count(); ++i) {
    const TQBEField* a = Fields(i);
    const TQBEField* b = Other->Fields(i);
    if (a->Name() != b->Name() || a->StoredEnabled() != b->StoredEnabled() ||
        a->PartialMatch() != b->PartialMatch() || a->CaseInsensitive() != b->CaseInsensitive() ||
        a->WholeDays() != b->WholeDays() || a->AnyPosition() != b->AnyPosition())
      return true;
  }
  return false;
}

void TQBEDefinition::DefineProperties(TFiler* Filer) {
  bool hasData;
  if (auto* ancestor = dynamic_cast<TQBEDefinition*>(Filer->Ancestor()))
    hasData = Differs(ancestor);
  else
    hasData = Count() > 0;
  Filer->DefineBinaryProperty(
      "QBEFieldDefs", [this](TStream* s) { ReadFieldDefs(s); }, [this](TStream* s) { WriteFieldDefs(s); },
      hasData);
}

// ---------------------------------------------------------------------------------------------------
// The dataset's side

void TOracleDataSet::SyncQBEItems() {
  TFieldDefs* defs = FieldDefs();
  for (int i = 0; i < defs->Count(); ++i) {
    TFieldDef* def = defs->Items(i);
    TQBEField* item = qbeDefinition_.FindField(def->Name());
    if (!item) item = qbeDefinition_.Add(def->Name());
    item->SetDefType(def->DataType());
  }
  for (int i = qbeDefinition_.Count() - 1; i >= 0; --i) {
    bool present = false;
    for (int k = 0; k < defs->Count() && !present; ++k)
      present = SameText(defs->Items(k)->Name(), qbeDefinition_.Fields(i)->Name());
    if (!present) delete qbeDefinition_.Fields(i);
  }
  for (int i = 1; i < fieldInfo_.Count(); ++i) {
    TOracleFieldInfo* info = fieldInfo_.Items(i);
    TQBEField* item = qbeDefinition_.FindField(info->Name);
    info->QBEIndex = item ? item->Index() : -1;
  }
}

TQBEField* TOracleDataSet::QBEItemOf(TField* Field) const {
  return Field ? qbeDefinition_.FindField(Field->FieldName()) : nullptr;
}

void TOracleDataSet::SetQBEMode(bool Value) {
  if (!Active()) {
    qbeMode_ = Value;
    return;
  }
  if (Value == qbeMode_) return;
  if (Value)
    EnterQBEMode();
  else
    LeaveQBEMode(true);
}

void TOracleDataSet::EnterQBEMode() {
  if (ReadsCursorVariable()) throw Exception("QBE mode not supported for cursors");
  if (cachedUpdates_ && (UpdatesPending() || State() == dsEdit || State() == dsInsert))
    throw Exception("QBE mode not allowed with pending updates");
  if (master_ && (!master_->Active() || master_->IsEmpty() || master_->UpdateStatus() == usInserted))
    throw Exception("QBE mode not allowed without a master record");
  if (Detached()) throw Exception("QBE mode not allowed for a detached dataset");
  CheckBrowseMode();
  qbeMode_ = true;
  // Rows not fetched yet stay unfetched: leaving the mode runs the statement again.
  cursorQuery_->SetEof(true);
  store_->Clear();
  currentIndex_ = -1;
  Resync({});
  const bool allowOperators = qbeDefinition_.AllowOperators();
  if (!ComponentState().Contains(csDesigning)) {
    for (TField* f : Fields()->List()) {
      TQBEField* item = QBEItemOf(f);
      if (!item) continue;
      TQBEField::TKept& kept = item->Kept;
      kept.ReadOnly = f->ReadOnly();
      f->SetReadOnly(!item->Enabled());
      kept.Required = f->Required();
      f->SetRequired(false);
      kept.GetText = f->OnGetText;
      kept.SetText = f->OnSetText;
      kept.Change = f->OnChange;
      kept.ValidChars = f->ValidChars();
      kept.DisplayWidth = f->DisplayWidth();
      kept.DisplayWidthChanged = false;
      item->Criterion.clear();
      f->OnGetText = [this, item](TField* Sender, std::string& Text, bool DisplayText) {
        if (qbeDefinition_.AllowOperators()) {
          const std::string own = Sender->AsString();
          if (!own.empty()) item->Criterion = own;
          Text = item->Criterion;
        } else if (item->Kept.GetText) {
          item->Kept.GetText(Sender, Text, DisplayText);
        } else {
          Text = Sender->AsString();
        }
      };
      auto typing = std::make_shared<bool>(false);
      f->OnSetText = [this, item, typing](TField* Sender, const std::string& Text) {
        if (qbeDefinition_.AllowOperators()) {
          item->Criterion = Text;
          // The controls show the new criterion; the change came through the text.
          *typing = true;
          try {
            DataEvent(deFieldChange, reinterpret_cast<intptr_t>(Sender));
          } catch (...) {
            *typing = false;
            throw;
          }
          *typing = false;
        } else {
          Sender->SetAsString(Text);
        }
      };
      f->OnChange = [this, item, typing](TField* Sender) {
        if (!qbeDefinition_.Entering() && !*typing) item->Criterion = Sender->AsString();
      };
      if (allowOperators && f->Size() > 0) {
        // The criterion lives beside the field, so it may be longer than the field's value: the
        // controls take criteria of up to kQBECriterionSize characters.
        f->SetDisplayWidth(f->DisplayWidth() > 0 ? f->DisplayWidth() : f->Size());
        kept.DisplayWidthChanged = f->DisplayWidth() != kept.DisplayWidth;
        f->SetValidChars(TFieldChars::All());
        kept.Size = f->Size();
        kept.DataSize = f->DataSize();
        SetFieldSizeWhileOpen(f, kQBECriterionSize);
      }
    }
  }
  qbeDefinition_.SetEntering(true);
  try {
    Append();
    if (qbeDefinition_.SaveQBEValues()) {
      for (TField* f : Fields()->List()) {
        TQBEField* item = QBEItemOf(f);
        if (!item || !item->Enabled() || item->SavedCriterion.IsEmpty() || item->SavedCriterion.IsNull())
          continue;
        const std::string saved = item->SavedCriterion.AsString();
        if (allowOperators)
          item->Criterion = saved;
        else
          f->SetAsString(saved);
      }
    }
  } catch (...) {
    qbeDefinition_.SetEntering(false);
    throw;
  }
  qbeDefinition_.SetEntering(false);
  FireEvent(BeforeQBE);
  RecolourControls(true);
}

int TOracleDataSet::QBESlotDataSize(TField* Field) {
  if (TQBEField* item = QBEItemOf(Field); item && item->Kept.Size > 0) return item->Kept.DataSize;
  return Field->DataSize();
}

void TOracleDataSet::RestoreQBEFields() {
  for (TField* f : Fields()->List()) {
    TQBEField* item = QBEItemOf(f);
    if (!item) continue;
    TQBEField::TKept& kept = item->Kept;
    f->SetReadOnly(kept.ReadOnly);
    f->SetRequired(kept.Required);
    f->OnGetText = kept.GetText;
    f->OnSetText = kept.SetText;
    f->OnChange = kept.Change;
    f->SetValidChars(kept.ValidChars);
    if (kept.DisplayWidthChanged) f->SetDisplayWidth(kept.DisplayWidth);
    if (kept.Size > 0) SetFieldSizeWhileOpen(f, kept.Size);
    kept = TQBEField::TKept();
  }
}

void TOracleDataSet::LeaveQBEMode(bool Requery) {
  if (Requery && OnCancelQBE) OnCancelQBE(this, Requery);
  RestoreQBEFields();
  Cancel();
  qbeMode_ = false;
  RecolourControls(false);
  // Leaving with cancel drops criteria that a count may have applied.
  RestoreQBESQL();
  if (Requery)
    Refresh();
  else
    DataEvent(deDataSetChange, 0);
}

void TOracleDataSet::ExecuteQBE() {
  CheckActive();
  if (!qbeMode_) {
    Refresh();
    FireEvent(AfterQBE);
    return;
  }
  ApplyPendingQBE();
  RestoreQBEFields();
  Cancel();
  qbeMode_ = false;
  RecolourControls(false);
  Refresh();
  FireEvent(AfterQBE);
}

void TOracleDataSet::ApplyPendingQBE() {
  UpdateRecord();
  SaveQBECriteria();
  ApplyQBECriteria();
}

void TOracleDataSet::SaveQBECriteria() {
  const bool allowOperators = qbeDefinition_.AllowOperators();
  for (TField* f : Fields()->List()) {
    TQBEField* item = QBEItemOf(f);
    if (!item || f->IsBlob()) continue;
    const std::string criterion = allowOperators ? item->Criterion : f->AsString();
    item->SavedCriterion = criterion.empty() ? TVariant() : TVariant(criterion);
  }
}

void TOracleDataSet::SetQBESQL(const std::string& Text) {
  settingQBESQL_ = true;
  try {
    SQL()->SetText(Text);
  } catch (...) {
    settingQBESQL_ = false;
    throw;
  }
  settingQBESQL_ = false;
  determinedTableValid_ = false;
}

void TOracleDataSet::RestoreQBESQL() {
  sqlModifiedForQBE_ = false;
  TOracleQuery* main = MainQuery();
  for (int i = main->VariableCount() - 1; i >= 0; --i) {
    std::string name = UpperCase(main->VariableName(i));
    if (!name.empty() && name[0] == ':') name.erase(0, 1);
    if (name.rfind(kBindPrefix, 0) == 0) main->DeleteVariable(main->VariableName(i));
  }
  TStrings* lines = SQL();
  if (lines->Count() > 0 && lines->Strings(lines->Count() - 1) == kQBEMarker) SetQBESQL(plainSQL_);
}

void TOracleDataSet::ApplyQBECriteria() {
  RestoreQBESQL();
  plainSQL_ = SQL()->Text();
  const TSQLParts parts = SplitSQL(plainSQL_);
  const bool allowOperators = qbeDefinition_.AllowOperators();
  std::string qualifier;
  std::vector<std::pair<std::string, std::string>> binds;
  std::string criteria;
  for (TField* f : Fields()->List()) {
    TQBEField* item = QBEItemOf(f);
    if (!item || f->IsBlob()) continue;
    const std::string criterion = allowOperators
                                      ? item->Criterion
                                      : (item->SavedCriterion.IsEmpty() || item->SavedCriterion.IsNull()
                                             ? std::string()
                                             : item->SavedCriterion.AsString());
    if (Trim(criterion).empty()) continue;
    std::string column = TrimRight(f->Origin());
    if (column.empty()) column = f->FieldName();
    const TOracleFieldInfo* info = fieldInfo_.FindByField(f);
    if (info && info->Kind == 2) {
      if (qualifier.empty()) UpdatingTableQualifier(qualifier);
      column = qualifier + "." + column;
    }
    TQBEOptions options;
    options.DataType = f->DataType();
    options.AllowOperators = allowOperators;
    options.AllowFileWildCards = qbeDefinition_.AllowFileWildCards();
    options.PartialMatch = item->PartialMatch();
    options.AnyPosition = item->AnyPosition();
    options.CaseInsensitive = item->CaseInsensitive();
    options.WholeDays = item->WholeDays();
    const TQBECondition c = TranslateQBECriterion(criterion, column, options, binds);
    criteria += (criteria.empty() ? "" : "\r\nand ") + c.Text();
  }
  if (criteria.empty()) return;
  sqlModifiedForQBE_ = true;
  std::string text = parts.Head + "\r\n";
  if (!parts.Condition.empty())
    text += parts.Keyword + " (" + parts.Condition + ")\r\nand\r\n(" + criteria + ")";
  else
    text += parts.Keyword + " " + criteria;
  if (!parts.Tail.empty()) text += "\r\n" + parts.Tail;
  text += std::string("\r\n") + kQBEMarker;
  SetQBESQL(text);
  TOracleQuery* main = MainQuery();
  for (const auto& [name, value] : binds) {
    main->DeclareVariable(name, otString);
    main->SetVariable(name, TVariant(value));
  }
}

void TOracleDataSet::ForgetRecolouredControls() {
  for (auto* list : {&qbeFontControls_, &qbeColorControls_})
    for (auto& [control, component] : *list) component->RemoveFreeNotification(this);
  qbeFontControls_.clear();
  qbeColorControls_.clear();
}

// A recoloured control freed while the mode is on leaves the lists: leaving the mode puts back the
// colours of the controls still there.
void TOracleDataSet::Notification(TComponent* AComponent, TOperation Operation) {
  TDataSet::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  // the control's own part is gone already: it is known by its component
  for (auto* list : {&qbeFontControls_, &qbeColorControls_})
    std::erase_if(*list, [AComponent](const auto& c) { return c.second == AComponent; });
}

void TOracleDataSet::RecolourControls(bool Entering) {
  const int32_t font = qbeDefinition_.QBEFontColor(), back = qbeDefinition_.QBEBackgroundColor();
  if (!Entering) {
    for (auto& [control, component] : qbeFontControls_)
      control->SetControlFontColor(data_aware_colors::WindowText);
    for (auto& [control, component] : qbeColorControls_) control->SetControlColor(data_aware_colors::Window);
    ForgetRecolouredControls();
    return;
  }
  if (font == data_aware_colors::Default && back == data_aware_colors::Default) return;
  ForgetRecolouredControls();
  std::function<void(TComponent*)> visit = [&](TComponent* Component) {
    if (auto* control = dynamic_cast<IDataAwareControl*>(Component)) {
      TDataSource* source = control->ControlDataSource();
      bool bound = !control->ControlHasCaption() && source && source->DataSet() == this;
      if (bound) {
        const std::string fieldName = control->ControlDataField();
        TField* field = fieldName.empty() ? nullptr : FindField(fieldName);
        TQBEField* item = QBEItemOf(field);
        if (item && !item->Enabled()) bound = false;
      }
      if (bound) {
        bool listed = false;
        if (back != data_aware_colors::Default && control->ControlColor() == data_aware_colors::Window) {
          control->SetControlColor(back);
          qbeColorControls_.emplace_back(control, Component);
          listed = true;
        }
        if (font != data_aware_colors::Default &&
            control->ControlFontColor() == data_aware_colors::WindowText) {
          control->SetControlFontColor(font);
          qbeFontControls_.emplace_back(control, Component);
          listed = true;
        }
        if (listed) Component->FreeNotification(this);
      }
    }
    for (int i = 0; i < Component->ComponentCount(); ++i) visit(Component->Components(i));
  };
  for (int i = 0; i < ApplicationComponentCount(); ++i) visit(ApplicationComponent(i));
}

void TOracleDataSet::DoBeforeCancel() {
  if (!qbeMode_) TDataSet::DoBeforeCancel();
}

void TOracleDataSet::DoAfterCancel() {
  if (!qbeMode_) TDataSet::DoAfterCancel();
}
