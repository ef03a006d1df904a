#include "app/ComboBoxQuery.h"

#include <cassert>
#include <string_view>

#include "grid/DBGridEx.h"
#include "grid/DBGridExColumns.h"
#include "oracle/Oracle.h"
#include "oracle_data/OracleData.h"
#include "platform/db/DB.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr const char* kCrLf = "\r\n";
constexpr int kComboExtraWidth = 20;
constexpr const char* kIsNull = "IS NULL";
constexpr const char* kIsNotNull = "IS NOT NULL";
// Stands in the masked text for what lies inside literals, comments and parentheses.
constexpr char kMasked = '\x01';

bool IsIdentChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
         c == '#' || static_cast<unsigned char>(c) >= 0x80;
}
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
char UpperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Where a scan of a statement ended.
enum class TScanEnd { Code, Literal, QuotedName, LineComment, BlockComment };

// The statement with everything that is not top-level code masked (the contents of literals, quoted
// names, comments and parentheses; the outer parentheses themselves stay), upper-cased in ASCII so
// that every byte keeps its place.
struct TMaskedSql {
  std::string text;
  TScanEnd end = TScanEnd::Code;
};

TMaskedSql MaskSql(std::string_view Sql) {
  TMaskedSql m;
  m.text.resize(Sql.size());
  int depth = 0;
  TScanEnd state = TScanEnd::Code;
  for (size_t i = 0; i < Sql.size(); ++i) {
    const char c = Sql[i];
    const char next = i + 1 < Sql.size() ? Sql[i + 1] : '\0';
    char out = kMasked;
    switch (state) {
      case TScanEnd::Code:
        if (c == '\'') {
          state = TScanEnd::Literal;
        } else if (c == '"') {
          state = TScanEnd::QuotedName;
        } else if (c == '-' && next == '-') {
          state = TScanEnd::LineComment;
          m.text[i++] = kMasked;
          if (i < Sql.size()) m.text[i] = kMasked;
          continue;
        } else if (c == '/' && next == '*') {
          state = TScanEnd::BlockComment;
          m.text[i++] = kMasked;
          if (i < Sql.size()) m.text[i] = kMasked;
          continue;
        } else if (c == '(') {
          out = depth == 0 ? c : kMasked;
          ++depth;
        } else if (c == ')') {
          if (depth > 0) --depth;
          out = depth == 0 ? c : kMasked;
        } else if (depth == 0) {
          out = UpperAscii(c);
        }
        break;
      case TScanEnd::Literal:
        if (c == '\'') {
          if (next == '\'') {
            m.text[i++] = kMasked;  // a doubled apostrophe stays inside the literal
          } else {
            state = TScanEnd::Code;
          }
        }
        break;
      case TScanEnd::QuotedName:
        if (c == '"') state = TScanEnd::Code;
        break;
      case TScanEnd::LineComment:
        if (c == '\n' || c == '\r') {
          state = TScanEnd::Code;
          out = c;
        }
        break;
      case TScanEnd::BlockComment:
        if (c == '*' && next == '/') {
          state = TScanEnd::Code;
          m.text[i++] = kMasked;
        }
        break;
    }
    m.text[i] = out;
  }
  m.end = state;
  return m;
}

// The first place at or after From where Word stands as a word of its own in the masked text; npos
// when none. Blanks in Word match any run of blanks.
size_t FindWord(const std::string& Masked, std::string_view Word, size_t From = 0) {
  for (size_t at = From; at < Masked.size(); ++at) {
    if (Masked[at] != Word[0] || (at > 0 && IsIdentChar(Masked[at - 1]))) continue;
    size_t i = at, w = 0;
    while (w < Word.size() && i < Masked.size()) {
      if (Word[w] == ' ') {
        if (!IsBlank(Masked[i])) break;
        while (i < Masked.size() && IsBlank(Masked[i])) ++i;
        ++w;
      } else if (Masked[i] == Word[w]) {
        ++i;
        ++w;
      } else {
        break;
      }
    }
    if (w == Word.size() && (i == Masked.size() || !IsIdentChar(Masked[i]))) return at;
  }
  return std::string::npos;
}

// The clause positions of a statement (npos = absent).
struct TClauses {
  size_t select = std::string::npos, from = std::string::npos, where = std::string::npos,
         orderBy = std::string::npos;
};

TClauses FindClauses(const std::string& Masked) {
  TClauses c;
  c.select = FindWord(Masked, "SELECT");
  c.from = FindWord(Masked, "FROM", c.select == std::string::npos ? 0 : c.select);
  const size_t after = c.from != std::string::npos ? c.from : c.select != std::string::npos ? c.select : 0;
  c.where = FindWord(Masked, "WHERE", after);
  c.orderBy = FindWord(Masked, "ORDER BY", after);
  return c;
}

// Trims and drops a closing " AS" keyword (the alias that follows it is what found the expression).
std::string ExpressionText(std::string_view Text) {
  std::string e = Trim(std::string(Text));
  if (e.size() > 3 && (e[e.size() - 2] == 'A' || e[e.size() - 2] == 'a') &&
      (e.back() == 'S' || e.back() == 's') && IsBlank(e[e.size() - 3]))
    e = Trim(e.substr(0, e.size() - 2));
  return e;
}

// Where the first top-level blank followed by Name as a word stands in the masked select list.
size_t FindAlias(const std::string& Masked, const std::string& Name) {
  if (Name.empty()) return std::string::npos;
  for (size_t at = Masked.find(Name, 1); at != std::string::npos; at = Masked.find(Name, at + 1)) {
    const size_t end = at + Name.size();
    if (IsBlank(Masked[at - 1]) && (end == Masked.size() || !IsIdentChar(Masked[end]))) return at - 1;
  }
  return std::string::npos;
}

// A field name standing for its column: as it is when it is a plain name, else quoted (a quoted
// alias may hold lower case, blanks or an apostrophe).
std::string FieldNameExpression(const std::string& Name) {
  bool plain = !Name.empty() && Name[0] >= 'A' && Name[0] <= 'Z';
  for (char c : Name)
    plain = plain && (IsIdentChar(c) && (c < 'a' || c > 'z') && static_cast<unsigned char>(c) < 0x80);
  if (plain || Name.empty()) return Name;
  std::string quoted = "\"";
  for (char c : Name) {
    quoted += c;
    if (c == '"') quoted += '"';
  }
  return quoted + "\"";
}

bool SameUpper(const std::string& A, const char* B) {
  const std::string_view b(B);
  if (A.size() != b.size()) return false;
  for (size_t i = 0; i < A.size(); ++i)
    if (UpperAscii(A[i]) != b[i]) return false;
  return true;
}

std::string DoubledApostrophes(const std::string& Text) {
  std::string out;
  out.reserve(Text.size() + 2);
  for (char c : Text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

// The data source's dataset of a grid as the Oracle dataset the filter rewrites (checked).
TOracleDataSet* GridDataSet(TDBGridEx* Grid) {
  TDataSource* source = Grid->DataSource();
  TDataSet* ds = source ? source->DataSet() : nullptr;
  auto* oracle = dynamic_cast<TOracleDataSet*>(ds);
  if (!oracle) throw EInvalidCast("Invalid class typecast");
  return oracle;
}

TComponent* CheckedGrid(TComponent* Owner) {
  if (!dynamic_cast<TDBGridEx*>(Owner)) throw EInvalidCast("Invalid class typecast");
  return Owner;
}

// A message the combo posts to itself: free once the key that closed it is handled.
constexpr UINT CM_FREECOMBO = CM_RELEASE;

}  // namespace

// ---------------------------------------------------------------- the rewrite

std::string FilterExpression(const std::string& Sql, const std::vector<std::string>& FieldNames,
                             const std::string& FieldName) {
  const TMaskedSql masked = MaskSql(Sql);
  const TClauses clauses = FindClauses(masked.text);
  std::string list;
  if (clauses.select != std::string::npos && clauses.from != std::string::npos) {
    const size_t from = clauses.select + 6;
    list = RemoveSQLComments(Sql.substr(from, clauses.from - from));
  }
  std::string expression;
  for (const std::string& name : FieldNames) {
    const std::string upper = MaskSql(list).text;
    const size_t alias = FindAlias(upper, name);
    expression =
        alias == std::string::npos ? std::string() : ExpressionText(std::string_view(list).substr(0, alias));
    if (expression.empty()) {
      // a column without an alias: its text runs to the next comma
      const size_t comma = upper.find(',');
      expression = comma == std::string::npos ? std::string() : Trim(list.substr(0, comma));
      if (name == FieldName) break;
      list = comma == std::string::npos ? std::string() : list.substr(comma + 1);
    } else {
      if (name == FieldName) break;
      // past the blank, the alias and what follows it (the comma)
      list = list.substr(std::min(list.size(), alias + 1 + name.size() + 1));
    }
    expression.clear();
  }
  // the comment remover knows no quoted names: an apostrophe in one can keep a comment in the text,
  // and a column text that would swallow the condition stands for nothing
  if (!expression.empty() && MaskSql(expression).end != TScanEnd::Code) expression.clear();
  return expression.empty() ? FieldNameExpression(FieldName) : expression;
}

std::string FilterCondition(const std::string& Expression, const std::string& Text) {
  const std::string trimmed = Trim(Text);
  if (SameUpper(trimmed, kIsNull) || SameUpper(trimmed, kIsNotNull)) return " " + Expression + " " + trimmed;
  return " " + Expression + " LIKE '" + DoubledApostrophes(Text) + "' ";
}

TColumnFilterSql FilterStatement(const std::string& Sql, const std::vector<std::string>& FieldNames,
                                 const std::string& FieldName, const std::string& Text) {
  TColumnFilterSql result;
  result.Condition = FilterCondition(FilterExpression(Sql, FieldNames, FieldName), Text);
  const TMaskedSql masked = MaskSql(Sql);
  const TClauses clauses = FindClauses(masked.text);
  const bool where = clauses.where != std::string::npos;
  const std::string joined = (where ? " AND " : " WHERE ") + result.Condition;
  result.Sql = Sql;
  if (clauses.orderBy != std::string::npos) {
    result.Sql.insert(clauses.orderBy, joined + (where ? " " : "") + kCrLf);
  } else {
    // a statement that ends in a line comment would swallow the condition
    if (masked.end == TScanEnd::LineComment) result.Sql += kCrLf;
    result.Sql += joined;
  }
  return result;
}

// ---------------------------------------------------------------- the grids' filters

TGridQueryFilter* GridQueryFilter(TDBGridEx* Grid) {
  assert(Grid);
  for (int i = 0; i < Grid->ComponentCount(); ++i)
    if (auto* f = dynamic_cast<TGridQueryFilter*>(Grid->Components(i))) return f;
  return new TGridQueryFilter(Grid);
}

void GridQueryKeyDown(TObject* Sender, WORD Key) {
  if (Key != kFilterOpenKey) return;
  auto* grid = dynamic_cast<TDBGridEx*>(Sender);
  if (!grid) throw EInvalidCast("Invalid class typecast");
  TGridQueryFilter* filter = GridQueryFilter(grid);
  if (TComboBoxQuery* open = filter->Combo.Get()) {
    // the grid is detached while its combo is open: the combo takes the key's place
    if (open->CanFocus()) open->SetFocus();
    return;
  }
  auto* combo = new TComboBoxQuery(grid);
  filter->Combo = combo;
  const std::string sql = combo->DataSet()->SQL()->Text();
  const bool filtered = !filter->FilterSql.empty() && sql.find(filter->FilterSql) != std::string::npos;
  if (sql != filter->OriginalSql && !filtered) filter->OriginalSql = sql;
  if (combo->CanFocus()) combo->SetFocus();
}

bool ClearGridFilter(TDBGridEx* Grid) {
  TGridQueryFilter* filter = GridQueryFilter(Grid);
  if (filter->FilterSql.empty()) return false;
  TOracleDataSet* ds = filter->Combo ? filter->Combo->DataSet() : GridDataSet(Grid);
  ds->Close();
  ds->SQL()->SetText(filter->OriginalSql);
  filter->OriginalSql.clear();
  filter->FilterSql.clear();
  if (filter->SavedColumnIndex >= 0 && filter->SavedColumnIndex < Grid->Columns()->Count())
    Grid->Columns()->Items(filter->SavedColumnIndex)->SetColor(filter->SavedColumnColor);
  ds->Open();
  return true;
}

// ---------------------------------------------------------------- the combo

TComboBoxQuery::TComboBoxQuery(TComponent* AOwner)
    : TComboBox(CheckedGrid(AOwner)), grid_(static_cast<TDBGridEx*>(AOwner)) {
  TField* field = grid_->SelectedField();
  SetText(field && !field->IsNull() ? field->AsString() : std::string());
  dataSet_ = GridDataSet(grid_);
  TGridQueryFilter* filter = GridQueryFilter(grid_);
  TDBGridColumnsEx* columns = grid_->Columns();
  // the tint of an earlier filter on this grid comes off
  if (filter->SavedColumnIndex >= 0 && filter->SavedColumnIndex < columns->Count())
    columns->Items(filter->SavedColumnIndex)->SetColor(filter->SavedColumnColor);
  const int index = grid_->SelectedIndex();
  TColumnEx* column = index >= 0 && index < columns->Count() ? columns->Items(index) : nullptr;
  filter->SavedColumnColor = column ? column->Color() : clNone;
  filter->FilterFieldName = field ? field->FieldName() : std::string();
  filter->SavedColumnIndex = column ? index : -1;
  // placed from the grid as it shows now: a grid without columns of its own loses them when detached
  const int width = (column ? column->Width() : 0) + kComboExtraWidth;
  const TRect cell = grid_->CellRect(grid_->DataToRawColumn(index), 0);
  // the grid shows nothing while the combo is open
  grid_->DataSource()->SetDataSet(nullptr);
  SetWidth(width);
  SetLeft(grid_->Left() + cell.Left);
  SetTop(grid_->Top() + cell.Bottom + 1);
  SetParent(grid_->Parent());
  Items()->Add(kIsNull);
  Items()->Add(kIsNotNull);
}

void TComboBoxQuery::KeyDown(WORD& Key, TShiftState Shift) {
  TComboBox::KeyDown(Key, Shift);
  if (closing_) return;
  if (Key == kFilterApplyKey)
    Apply();
  else if (Key == kFilterCancelKey)
    Cancel();
}

void TComboBoxQuery::Apply() {
  TGridQueryFilter* filter = GridQueryFilter(grid_);
  // the unfiltered statement as the dataset's lines give it back (the dataset's own SQL changes once)
  TStringList lines;
  lines.SetText(filter->OriginalSql);
  const std::string sql = lines.Text();
  std::vector<std::string> names;
  for (int i = 0; i < dataSet_->FieldCount(); ++i)
    names.push_back(dataSet_->Fields()->Fields(i)->FieldName());
  const TColumnFilterSql rewritten = FilterStatement(sql, names, filter->FilterFieldName, Text());
  filter->FilterSql = rewritten.Condition;
  // closed first: a new statement on an open dataset would run at once, and then again on the open
  dataSet_->Close();
  dataSet_->SQL()->SetText(rewritten.Sql);
  dataSet_->Open();  // a statement the server refuses leaves the combo open and the grid detached
  grid_->DataSource()->SetDataSet(dataSet_);
  const int index = grid_->SelectedIndex();
  if (index >= 0 && index < grid_->Columns()->Count()) grid_->Columns()->Items(index)->SetColor(clInfoBk);
  Close();
}

void TComboBoxQuery::Cancel() {
  TGridQueryFilter* filter = GridQueryFilter(grid_);
  if (!filter->FilterSql.empty()) {
    dataSet_->Close();
    dataSet_->SQL()->SetText(filter->OriginalSql);
    dataSet_->Open();
  }
  grid_->DataSource()->SetDataSet(dataSet_);
  const int index = grid_->SelectedIndex();
  if (index >= 0 && index < grid_->Columns()->Count())
    grid_->Columns()->Items(index)->SetColor(filter->SavedColumnColor);
  filter->OriginalSql.clear();
  filter->FilterSql.clear();
  Close();
}

void TComboBoxQuery::Close() {
  closing_ = true;
  GridQueryFilter(grid_)->Combo.Reset();
  if (grid_->CanFocus()) grid_->SetFocus();
  if (HandleAllocated())
    PostMessage(Handle(), CM_FREECOMBO);
  else
    delete this;
}

void TComboBoxQuery::Dispatch(TMessage& Message) {
  if (Message.Msg == CM_FREECOMBO) {
    delete this;
    return;
  }
  TComboBox::Dispatch(Message);
}
