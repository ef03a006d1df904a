#include "grid/DatasetFeatures.h"

#include <cassert>
#include <cmath>

#include "grid/DBGridEx.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"

const char* const STFilterOperatorsStrEx[kSTFilterOperatorCount] = {
    "", "=", "<>", ">", "<", ">=", "<=", "~", "!~", "In", "!In", "Null", "Null", "AND", "OR", ""};
const char* const STFilterOperatorsSQLStrEx[kSTFilterOperatorCount] = {
    "",         "=",  "<>",     ">",       "<",           ">=",  "<=", "LIKE",
    "NOT LIKE", "IN", "NOT IN", "IS NULL", "IS NOT NULL", "AND", "OR", ""};

namespace {

// The words of the filter row's syntax as the user's language writes them (the English ones stand
// beside them in the parser).
constexpr const char* kLocalNot = "Not";
constexpr const char* kLocalAnd = "AND";
constexpr const char* kLocalOr = "OR";
constexpr const char* kLocalIn = "In";
constexpr const char* kLocalNull = "Null";

constexpr const char* kFilterMarker = "/*FILTER*/";
constexpr std::string_view kOrderBy = "ORDER BY";

}  // namespace

void InitSTFilterExpression(TSTFilterExpressionEx& Expression) {
  Expression.Operator1 = foNon;
  Expression.Operand1 = TVariant();
  Expression.Relation = foNon;
  Expression.Operator2 = foNon;
  Expression.Operand2 = TVariant();
}

// ---------------------------------------------------------------- the filter-row parser

namespace {

// What a token of the filter row is.
enum class TokenKind { None, Operator, Not, And, Or, Null, In, OpenParen };

struct Token {
  TokenKind Kind = TokenKind::None;
  TSTFilterOperatorEx Op = foNon;
  size_t End = 0;  // the position after the token
};

bool EndsWord(unsigned char c) {
  if (c < 32 || c == ' ' || c == '"') return true;
  static constexpr std::string_view kEnders = "!&'()+,-.<=>|~;";
  return kEnders.find(static_cast<char>(c)) != std::string_view::npos;
}

bool IsWordToken(const std::string& Upper, const char* English, const char* Local) {
  return Upper == English || (*Local != 0 && Upper == AnsiUpperCase(Local));
}

class FilterParser {
 public:
  FilterParser(const std::string& Text, TSTFilterExpressionEx& Expression)
      : text_(Trim(Text)), original_(Text), exp_(Expression) {}

  bool Parse() {
    InitSTFilterExpression(exp_);
    if (text_.empty()) return false;
    pos_ = 0;
    ReadCondition(exp_.Operator1, exp_.Operand1);
    bool second = false;
    if (!AtEnd()) {
      ReadJoin();
      if (!AtEnd()) {
        ReadCondition(exp_.Operator2, exp_.Operand2);
        second = true;
        if (!AtEnd()) {
          SkipBlanks();
          Fail(PeekToken(pos_).Kind != TokenKind::None ? "Unexpected AND or OR: " : "Incorrect expression: ");
        }
      }
    }
    Convert(exp_.Operator1, exp_.Operand1);
    Convert(exp_.Operator2, exp_.Operand2);
    return second;
  }

 private:
  [[noreturn]] void Fail(const char* Message) const { throw Exception(Message + original_); }

  void SkipBlanks() {
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
  }
  bool AtEnd() {
    SkipBlanks();
    return pos_ >= text_.size();
  }

  // The token at From (blanks already skipped), or one of kind None when a value starts there.
  Token PeekToken(size_t From) const {
    Token t;
    if (From >= text_.size()) return t;
    const char c = text_[From];
    const char next = From + 1 < text_.size() ? text_[From + 1] : 0;
    auto op = [&](TSTFilterOperatorEx Op, size_t Len) {
      t.Kind = TokenKind::Operator;
      t.Op = Op;
      t.End = From + Len;
      return t;
    };
    switch (c) {
      case '=':
        return op(foEqual, 1);
      case '<':
        if (next == '>') return op(foNotEqual, 2);
        if (next == '=') return op(foLessOrEqual, 2);
        return op(foLessThan, 1);
      case '>':
        if (next == '=') return op(foGreaterOrEqual, 2);
        return op(foGreaterThan, 1);
      case '~':
        return op(foLike, 1);
      case '!':
        if (next == '=') return op(foNotEqual, 2);
        t.Kind = TokenKind::Not;
        t.End = From + 1;
        return t;
      case '&':
        t.Kind = TokenKind::And;
        t.Op = foAND;
        t.End = From + 1;
        return t;
      case '|':
        t.Kind = TokenKind::Or;
        t.Op = foOR;
        t.End = From + 1;
        return t;
      case '(':
        t.Kind = TokenKind::OpenParen;
        t.End = From + 1;
        return t;
      default:
        break;
    }
    size_t end = From;
    while (end < text_.size() && !EndsWord(static_cast<unsigned char>(text_[end]))) ++end;
    if (end == From) return t;
    const std::string word = AnsiUpperCase(std::string_view(text_).substr(From, end - From));
    t.End = end;
    if (IsWordToken(word, "NOT", kLocalNot)) {
      t.Kind = TokenKind::Not;
    } else if (IsWordToken(word, "AND", kLocalAnd)) {
      t.Kind = TokenKind::And;
      t.Op = foAND;
    } else if (IsWordToken(word, "OR", kLocalOr)) {
      t.Kind = TokenKind::Or;
      t.Op = foOR;
    } else if (word == "LIKE") {
      t.Kind = TokenKind::Operator;
      t.Op = foLike;
    } else if (IsWordToken(word, "IN", kLocalIn)) {
      t.Kind = TokenKind::In;
      t.Op = foIn;
    } else if (IsWordToken(word, "NULL", kLocalNull)) {
      t.Kind = TokenKind::Null;
      t.Op = foNull;
    } else {
      t.Kind = TokenKind::None;
      t.End = 0;
    }
    return t;
  }

  // Reads an operator at pos_ (NOT combined with LIKE, IN or NULL). False when none stands there.
  bool ReadOperator(Token& Result) {
    SkipBlanks();
    Token t = PeekToken(pos_);
    if (t.Kind == TokenKind::Not) {
      size_t p = t.End;
      while (p < text_.size() && text_[p] == ' ') ++p;
      const Token n = PeekToken(p);
      if (n.Kind == TokenKind::Operator && n.Op == foLike) {
        Result = {TokenKind::Operator, foNotLike, n.End};
      } else if (n.Kind == TokenKind::In) {
        Result = {TokenKind::In, foNotIn, n.End};
      } else if (n.Kind == TokenKind::Null) {
        Result = {TokenKind::Null, foNotNull, n.End};
      } else {
        return false;
      }
      pos_ = Result.End;
      return true;
    }
    if (t.Kind == TokenKind::Operator || t.Kind == TokenKind::In || t.Kind == TokenKind::Null) {
      Result = t;
      pos_ = t.End;
      return true;
    }
    return false;
  }

  bool ValueStartsAt(size_t p) const {
    if (p >= text_.size()) return false;
    if (text_[p] == '\'') return true;
    const TokenKind k = PeekToken(p).Kind;
    if (k != TokenKind::None) return false;
    return text_[p] != ')' && text_[p] != ',';
  }

  // One value at pos_: quoted up to the closing quote ('' inside is one quote), or unquoted up to a
  // blank before a token, a parenthesis, a separating comma or the end.
  std::string ReadValue(bool CommaSeparates) {
    if (text_[pos_] == '\'') {
      std::string v;
      size_t p = pos_ + 1;
      for (;;) {
        if (p >= text_.size()) Fail("Quote is absent: ");
        if (text_[p] == '\'') {
          if (p + 1 < text_.size() && text_[p + 1] == '\'') {
            v += '\'';
            p += 2;
            continue;
          }
          break;
        }
        v += text_[p++];
      }
      pos_ = p + 1;
      return v;
    }
    const size_t start = pos_;
    size_t p = pos_;
    while (p < text_.size()) {
      const char c = text_[p];
      if (c == '(' || c == ')' || (c == ',' && CommaSeparates)) break;
      if (c == ' ') {
        size_t q = p;
        while (q < text_.size() && text_[q] == ' ') ++q;
        if (q >= text_.size() || PeekToken(q).Kind != TokenKind::None) break;
        p = q;
        continue;
      }
      ++p;
    }
    pos_ = p;
    std::string v = text_.substr(start, p - start);
    while (!v.empty() && v.back() == ' ') v.pop_back();
    return v;
  }

  // A value, or values separated by commas (a variant array). False when no value starts at pos_.
  bool ReadValueOrList(TVariant& Result, bool& IsList, bool AlwaysCommas) {
    SkipBlanks();
    if (!ValueStartsAt(pos_)) return false;
    const bool commas =
        AlwaysCommas || !(exp_.ExpressionType == stfvtNumber && FormatSettings.DecimalSeparator == ',');
    std::vector<TVariant> values;
    for (;;) {
      values.emplace_back(ReadValue(commas));
      SkipBlanks();
      if (!commas || pos_ >= text_.size() || text_[pos_] != ',') break;
      ++pos_;
      SkipBlanks();
      if (!ValueStartsAt(pos_)) values.emplace_back(std::string());
      if (pos_ >= text_.size() || !ValueStartsAt(pos_)) break;
    }
    IsList = values.size() > 1;
    if (!IsList) {
      Result = values.front();
    } else {
      Result = VarArrayCreate({0, static_cast<int>(values.size()) - 1}, varVariant);
      for (size_t i = 0; i < values.size(); ++i) VarArrayPut(Result, values[i], {static_cast<int>(i)});
    }
    return true;
  }

  void ReadCondition(TSTFilterOperatorEx& Op, TVariant& Operand) {
    SkipBlanks();
    Token t;
    if (ReadOperator(t)) {
      if (t.Kind == TokenKind::In) {
        SkipBlanks();
        if (pos_ >= text_.size() || text_[pos_] != '(') Fail("'(' expected: ");
        ++pos_;
        bool isList = false;
        if (!ReadValueOrList(Operand, isList, true)) Fail("Unexpected expression after operator: ");
        SkipBlanks();
        if (pos_ >= text_.size() || text_[pos_] != ')') Fail("')' expected: ");
        ++pos_;
        Op = t.Op;
        return;
      }
      if (t.Kind == TokenKind::Null) Fail("Unexpected expression after operator: ");
      // "= Null" and "<> Null"
      SkipBlanks();
      const Token n = PeekToken(pos_);
      if (n.Kind == TokenKind::Null && n.Op == foNull) {
        if (t.Op == foEqual) {
          Op = foNull;
        } else if (t.Op == foNotEqual) {
          Op = foNotNull;
        } else {
          Fail("Unexpected expression before Null: ");
        }
        pos_ = n.End;
        Operand = TVariant();
        return;
      }
      bool isList = false;
      if (!ReadValueOrList(Operand, isList, false)) Fail("Unexpected expression after operator: ");
      Op = t.Op;
      return;
    }
    bool isList = false;
    if (!ReadValueOrList(Operand, isList, false)) Fail("Error in expression: ");
    Op = isList ? foIn : (exp_.ExpressionType == stfvtString ? foLike : foEqual);
  }

  void ReadJoin() {
    SkipBlanks();
    const Token t = PeekToken(pos_);
    if (t.Kind == TokenKind::And || t.Kind == TokenKind::Or) {
      exp_.Relation = t.Op;
      pos_ = t.End;
      return;
    }
    // A NOT that combines is an operator too: a second condition without a join.
    if (t.Kind != TokenKind::None || text_[pos_] == ')' || text_[pos_] == ',') Fail("Unexpected AND or OR: ");
    Fail("Incorrect expression: ");
  }

  TVariant ConvertOne(const TVariant& V) const {
    if (V.IsEmpty() || V.IsNull()) return V;
    switch (exp_.ExpressionType) {
      case stfvtNumber:
        return TVariant(StrToFloat(Trim(V.AsString())));
      case stfvtDateTime:
        return TVariant::FromDate(StrToDateTime(Trim(V.AsString())));
      default:
        return V;
    }
  }

  void Convert(TSTFilterOperatorEx Op, TVariant& Operand) const {
    if (Op < foEqual || Op > foNotIn) {
      if (Op == foNull || Op == foNotNull) Operand = TVariant();
      return;
    }
    if (Operand.IsArray()) {
      for (int i = VarArrayLowBound(Operand, 1); i <= VarArrayHighBound(Operand, 1); ++i)
        VarArrayPut(Operand, ConvertOne(VarArrayGet(Operand, {i})), {i});
    } else {
      Operand = ConvertOne(Operand);
    }
  }

  std::string text_;
  std::string original_;
  TSTFilterExpressionEx& exp_;
  size_t pos_ = 0;
};

}  // namespace

bool ParseSTFilterExpression(const std::string& Text, TSTFilterExpressionEx& Expression) {
  return FilterParser(Text, Expression).Parse();
}

// ---------------------------------------------------------------- conditions

namespace {

enum class ValueStyle { SQL, Local };

std::string FloatText(double V, ValueStyle Style) {
  if (Style == ValueStyle::Local) return FloatToStr(V);
  TFormatSettings fs = FormatSettings;
  fs.DecimalSeparator = '.';
  return FloatToStr(V, fs);
}

std::string ValueText(const TVariant& V, ValueStyle Style, TDataSet* DataSet,
                      const TDateValueToSQLStringEvent& DateToSQL) {
  const TVarType t = V.VarType();
  if (t == varDate) {
    if (DateToSQL) return DateToSQL(DataSet, V);
    if (Style == ValueStyle::Local) return QuotedStr(DateTimeToStr(V.AsDateTime()));
    return "TO_DATE(" + QuotedStr(FormatDateTime("yyyy-mm-dd hh:nn:ss", V.AsDateTime())) +
           ", 'YYYY-MM-DD HH24:MI:SS')";
  }
  if (VarIsFloat(V) || (VarIsOrdinal(V) && t != varBoolean)) return FloatText(V.AsDouble(), Style);
  return QuotedStr(V.AsString());
}

std::vector<TVariant> Elements(const TVariant& V) {
  std::vector<TVariant> out;
  if (V.IsArray()) {
    for (int i = VarArrayLowBound(V, 1); i <= VarArrayHighBound(V, 1); ++i)
      out.push_back(VarArrayGet(V, {i}));
  } else {
    out.push_back(V);
  }
  return out;
}

std::string SQLPart(const std::string& Name, TSTFilterOperatorEx Op, const TVariant& Operand,
                    TDataSet* DataSet, const TDateValueToSQLStringEvent& DateToSQL) {
  if (Op == foIn || Op == foNotIn) {
    std::string s = Name + (Op == foNotIn ? " NOT" : "") + " IN (";
    for (const TVariant& v : Elements(Operand)) s += ValueText(v, ValueStyle::SQL, DataSet, DateToSQL) + ",";
    s.back() = ')';
    return s;
  }
  std::string s = " " + Name + " " + STFilterOperatorsSQLStrEx[Op];
  if (Op != foNull && Op != foNotNull) s += " " + ValueText(Operand, ValueStyle::SQL, DataSet, DateToSQL);
  return s;
}

std::string LocalPart(const std::string& Name, TSTFilterOperatorEx Op, const TVariant& Operand,
                      bool SupportsLocalLike, TDataSet* DataSet,
                      const TDateValueToSQLStringEvent& DateToSQL) {
  const std::string field = "[" + Name + "]";
  if (Op == foIn || Op == foNotIn) {
    std::string s = Op == foNotIn ? " NOT (" : " (";
    for (const TVariant& v : Elements(Operand))
      s += field + " = " + ValueText(v, ValueStyle::Local, DataSet, DateToSQL) + " OR ";
    s.resize(s.size() - 4);
    return s + ")";
  }
  std::string s = " " + field + " ";
  if (Op == foLike || Op == foNotLike) {
    if (SupportsLocalLike)
      s += Op == foLike ? "Like" : "Not Like";
    else
      s += Op == foLike ? "=" : "<>";
  } else {
    s += STFilterOperatorsSQLStrEx[Op];
  }
  if (Op != foNull && Op != foNotNull) s += " " + ValueText(Operand, ValueStyle::Local, DataSet, DateToSQL);
  return s;
}

template <class PartFn>
std::string Condition(const TSTFilterExpressionEx& E, PartFn Part) {
  if (E.Operator1 == foNon) return {};
  std::string s = Part(E.Operator1, E.Operand1);
  if (E.Relation == foAND || E.Relation == foOR) {
    s += std::string(" ") + STFilterOperatorsSQLStrEx[E.Relation];
    if (E.Operator2 != foNon) s += Part(E.Operator2, E.Operand2);
    if (E.Relation == foOR) s = "(" + s + ")";
  }
  return s;
}

std::string JoinConditions(const std::vector<std::string>& Parts, const char* Empty) {
  std::string s;
  for (const std::string& p : Parts)
    if (!p.empty()) s += p + " AND ";
  if (s.empty()) return Empty;
  s.resize(s.size() - 4);  // one blank of the last " AND " stays
  return s;
}

}  // namespace

std::string GetExpressionAsSQLCondition(const std::string& Name, const TSTFilterExpressionEx& Expression,
                                        TDataSet* DataSet, const TDateValueToSQLStringEvent& DateToSQL) {
  return Condition(Expression, [&](TSTFilterOperatorEx Op, const TVariant& V) {
    return SQLPart(Name, Op, V, DataSet, DateToSQL);
  });
}

std::string BuildSQLFilterCondition(const std::vector<TSTColumnFilterItem>& Filters, TDataSet* DataSet,
                                    const TDateValueToSQLStringEvent& DateToSQL) {
  std::vector<std::string> parts;
  for (const TSTColumnFilterItem& f : Filters)
    if (f.Expression) parts.push_back(GetExpressionAsSQLCondition(f.Name, *f.Expression, DataSet, DateToSQL));
  return JoinConditions(parts, "1=1");
}

std::string BuildLocalFilterText(const std::vector<TSTColumnFilterItem>& Filters, bool SupportsLocalLike,
                                 TDataSet* DataSet, const TDateValueToSQLStringEvent& DateToSQL) {
  std::vector<std::string> parts;
  for (const TSTColumnFilterItem& f : Filters) {
    if (!f.Expression) continue;
    parts.push_back(Condition(*f.Expression, [&](TSTFilterOperatorEx Op, const TVariant& V) {
      return LocalPart(f.Name, Op, V, SupportsLocalLike, DataSet, DateToSQL);
    }));
  }
  return JoinConditions(parts, "");
}

// ---------------------------------------------------------------- the registry

namespace {

struct RegistryEntry {
  std::string ClassName;
  std::unique_ptr<TDatasetFeaturesEx> Features;
};

std::vector<RegistryEntry>& Registry() {
  static std::vector<RegistryEntry> entries;
  return entries;
}

// Steps from Class up to the class named Name (case-insensitive), or -1 when Name is no ancestor.
int DistanceTo(const TClassInfo* Class, const std::string& Name) {
  int steps = 0;
  for (const TClassInfo* c = Class; c; c = c->Parent, ++steps)
    if (SameText(c->Name, Name)) return steps;
  return -1;
}

}  // namespace

void TDatasetFeaturesEx::ApplySorting(TObject* /*Sender*/, TDataSet* /*DataSet*/, bool /*IsReopenCall*/) {}
void TDatasetFeaturesEx::ApplyFilter(TObject* /*Sender*/, TDataSet* /*DataSet*/, bool /*IsReopenCall*/) {}

void RegisterDatasetFeatures(TDatasetFeaturesExClass FeaturesClass, const TClassInfo* DataSetClass) {
  assert(FeaturesClass);
  std::unique_ptr<TDatasetFeaturesEx> features = FeaturesClass();
  if (!DataSetClass) return;
  features->DataSetClass = DataSetClass;
  for (RegistryEntry& e : Registry()) {
    if (SameText(e.ClassName, DataSetClass->Name)) {
      e.Features = std::move(features);
      return;
    }
  }
  Registry().push_back({DataSetClass->Name, std::move(features)});
}

TDatasetFeaturesEx* GetDatasetFeaturesForDataSet(TDataSet* DataSet) {
  if (!DataSet) return nullptr;
  TDatasetFeaturesEx* best = nullptr;
  int bestDistance = -1;
  for (RegistryEntry& e : Registry()) {
    const int d = DistanceTo(DataSet->ClassType(), e.ClassName);
    if (d >= 0 && (bestDistance < 0 || d < bestDistance)) {
      best = e.Features.get();
      bestDistance = d;
    }
  }
  return best;
}

void ClearDatasetFeatures() {
  Registry().clear();
}

// ---------------------------------------------------------------- SQL text

namespace {

TStrings* SQLStrings(TDataSet* DataSet, const std::string& SQLPropName) {
  TPersistent* p = DataSet->FindObjectProperty(SQLPropName);
  if (p && p->InheritsFrom(TStrings::StaticClass())) return static_cast<TStrings*>(p);
  throw Exception(DataSet->ClassName() + " is not SQL based dataset");
}

std::vector<std::string> SplitLines(const std::string& Text) {
  TStringList list;
  list.SetText(Text);
  std::vector<std::string> lines;
  for (int i = 0; i < list.Count(); ++i) lines.push_back(list.Strings(i));
  return lines;
}

std::string JoinLines(const std::vector<std::string>& Lines) {
  TStringList list;
  for (const std::string& l : Lines) list.Add(l);
  return list.Text();
}

}  // namespace

std::string GetDataSetSQLText(TDataSet* DataSet, const std::string& SQLPropName) {
  return SQLStrings(DataSet, SQLPropName)->Text();
}

void SetDataSetSQLText(TDataSet* DataSet, const std::string& SQLPropName, const std::string& Text) {
  SQLStrings(DataSet, SQLPropName)->SetText(Text);
}

std::string BuildOrderByLine(const std::vector<TSQLSortTerm>& Terms) {
  std::string s;
  for (const TSQLSortTerm& t : Terms) s += t.Term + (t.Descending ? " DESC, " : ", ");
  if (s.empty()) return s;
  s.resize(s.size() - 2);
  return "ORDER BY " + s;
}

std::string ReplaceOrderByLine(const std::string& SQL, const std::string& OrderBy) {
  std::vector<std::string> lines = SplitLines(SQL);
  bool found = false;
  for (std::string& l : lines) {
    if (l.size() >= kOrderBy.size() && UpperCase(l.substr(0, kOrderBy.size())) == kOrderBy) {
      l = OrderBy;
      found = true;
      break;
    }
  }
  if (!found) lines.push_back(OrderBy);
  return JoinLines(lines);
}

bool ReplaceFilterLine(std::string& SQL, const std::string& Condition) {
  std::vector<std::string> lines = SplitLines(SQL);
  const std::string_view marker = kFilterMarker;
  for (std::string& l : lines) {
    if (l.size() >= marker.size() && UpperCase(l.substr(0, marker.size())) == marker) {
      l = std::string(kFilterMarker) + " (" + Condition + ")";
      SQL = JoinLines(lines);
      return true;
    }
  }
  return false;
}

void ReplaceDataSetSQL(TDataSet* DataSet, const std::string& SQLPropName, const std::string& NewSQL,
                       bool Reopen) {
  TStrings* sql = SQLStrings(DataSet, SQLPropName);
  DataSet->DisableControls();
  TScopeExit enable([DataSet] { DataSet->EnableControls(); });
  if (DataSet->Active()) DataSet->Close();
  sql->SetText(NewSQL);
  if (Reopen) DataSet->Open();
}

void ApplySortingForSQLDataSet(TCustomDBGridEx* Grid, TDataSet* DataSet, bool UseFieldName,
                               const std::string& SQLPropName, bool Reopen) {
  const std::string sql = GetDataSetSQLText(DataSet, SQLPropName);
  std::vector<TSQLSortTerm> terms;
  for (TColumnEx* c : Grid->SortMarkedColumns()) {
    TField* f = c->Field();
    // a column without a column of the statement behind it cannot be named in ORDER BY
    const int position = f ? DataSet->FieldSelectListPosition(f) : 0;
    if (position <= 0) continue;
    terms.push_back({UseFieldName ? c->FieldName() : IntToStr(position), c->Title()->SortMarker() == smUpEx});
  }
  ReplaceDataSetSQL(DataSet, SQLPropName, ReplaceOrderByLine(sql, BuildOrderByLine(terms)), Reopen);
}

void ApplyFilterForSQLDataSet(TDataSet* DataSet, const std::vector<TSTColumnFilterItem>& Filters, bool Reopen,
                              const std::string& SQLPropName, const TDateValueToSQLStringEvent& DateToSQL) {
  std::string sql = GetDataSetSQLText(DataSet, SQLPropName);
  if (!ReplaceFilterLine(sql, BuildSQLFilterCondition(Filters, DataSet, DateToSQL))) return;
  ReplaceDataSetSQL(DataSet, SQLPropName, sql, Reopen);
}

// ---------------------------------------------------------------- the SQL features

namespace {

// The grid's column filters in column order, each under the name the SQL knows the column by: the
// field's origin (its table-qualified column) with UseFieldName when it has one, else the filter's field
// name. A column without a field contributes nothing.
std::vector<TSTColumnFilterItem> GridColumnFilters(TCustomDBGridEx* Grid, bool UseFieldName) {
  std::vector<TSTColumnFilterItem> items;
  for (int i = 0; i < Grid->Columns()->Count(); ++i) {
    TSTColumnFilterEx* filter = Grid->Columns()->Items(i)->STFilter();
    if (!filter || filter->Expression().Operator1 == foNon) continue;
    TField* field = filter->GetField();
    if (!field) continue;
    const std::string name =
        UseFieldName && !field->Origin().empty() ? field->Origin() : filter->GetDataField();
    items.push_back({name, &filter->Expression()});
  }
  return items;
}

bool GridFilterIsLocal(TCustomDBGridEx* Grid) {
  return Grid->STFilter() && Grid->STFilter()->Local();
}

}  // namespace

void TSQLDatasetFeaturesEx::ApplySorting(TObject* Sender, TDataSet* DataSet, bool IsReopenCall) {
  if (!Sender || !Sender->InheritsFrom(TCustomDBGridEx::StaticClass())) return;
  auto* grid = static_cast<TCustomDBGridEx*>(Sender);
  if (grid->SortLocal())
    throw Exception("TSQLDatasetFeaturesEx can not sort data in dataset \"" + DataSet->Name() +
                    "\" in local mode");
  ApplySortingForSQLDataSet(grid, DataSet, SortUsingFieldName, SQLPropName, IsReopenCall);
}

void TSQLDatasetFeaturesEx::ApplyFilter(TObject* Sender, TDataSet* DataSet, bool IsReopenCall) {
  if (!Sender || !Sender->InheritsFrom(TCustomDBGridEx::StaticClass())) return;
  auto* grid = static_cast<TCustomDBGridEx*>(Sender);
  std::vector<TSTColumnFilterItem> filters = GridColumnFilters(grid, FilterUsingFieldName);
  if (GridFilterIsLocal(grid)) {
    DataSet->SetFilter(BuildLocalFilterText(filters, SupportsLocalLike, DataSet, DateValueToSQLString));
    return;
  }
  ApplyFilterForSQLDataSet(DataSet, filters, IsReopenCall, SQLPropName, DateValueToSQLString);
}
