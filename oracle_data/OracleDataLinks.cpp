// The Oracle dataset's links: master/detail, SQL analysis, searching and error-message translation.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "oracle/OracleObjects.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "oracle/OracleTypes.h"
#include "oracle/OracleVisual.h"
#include "oracle_data/OracleData.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Variants.h"

using namespace oracle_data;

namespace {
constexpr int kServerChar = 96;

bool IsTableIdentChar(unsigned char c) {
  return std::isalnum(c) || c == '_' || c == '$' || c == '#' || c == '@' || c == '.' || c == '"' || c >= 128;
}

}  // namespace

std::vector<std::string> oracle_data::SplitFieldNames(const std::string& List) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= List.size()) {
    size_t end = List.find(';', start);
    if (end == std::string::npos) end = List.size();
    std::string item = Trim(List.substr(start, end - start));
    if (!item.empty()) names.push_back(item);
    start = end + 1;
  }
  return names;
}

// ---------------------------------------------------------------------------------------------------
// Master/detail

void TOracleDataSet::SetMaster(TOracleDataSet* Value) {
  if (Value == master_) return;
  for (TOracleDataSet* m = Value; m; m = m->master_)
    if (m == this) throw Exception("Circular master/detail dependency not allowed");
  Close();
  if (master_) {
    auto& list = master_->details_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  master_ = Value;
  if (master_) master_->details_.push_back(this);
}

void TOracleDataSet::SetMasterFields(const std::string& Value) {
  Close();
  masterFields_ = Value;
}

void TOracleDataSet::SetDetailFields(const std::string& Value) {
  Close();
  detailFields_ = Value;
}

bool TOracleDataSet::MasterInactive() {
  if (!master_) return false;
  return !master_->Active() || !master_->store_ || master_->IsEmpty() || master_->qbeMode_ ||
         master_->UpdateStatus() == usInserted;
}

int TOracleDataSet::MasterRecordId() {
  if (!master_ || !master_->Active() || master_->IsEmpty()) return -1;
  return GetInt(master_->ActiveBuffer(), RecIdOffset);
}

bool TOracleDataSet::LinkedByRecord() const {
  return master_ && Trim(detailFields_).empty();
}

void TOracleDataSet::SetMasterVariables(uint8_t* MasterRecord) {
  if (!master_ || !master_->Active()) return;
  TOracleDataSet* m = master_;
  std::optional<TFilterRecordScope> scope;  // the master's current record unless one is given
  if (MasterRecord) scope.emplace(m, MasterRecord);
  const std::vector<TField*> fields = m->GetFieldList(masterFields_);
  const std::vector<std::string> names = SplitFieldNames(detailFields_);
  const size_t pairs = (!names.empty() && names.size() <= fields.size()) ? names.size() : fields.size();
  for (size_t i = 0; i < pairs; ++i) {
    TField* f = fields[i];
    const std::string name = i < names.size() ? names[i] : f->FieldName();
    TVariant value;
    const int col = m->FieldColumnIndex(f);
    if (col >= 0 && m->cursorQuery_ && col < m->cursorQuery_->FieldCount() &&
        m->cursorQuery_->FieldInternalType(col) == kServerChar) {
      std::string s = f->AsString();
      const TOracleFieldInfo* info = m->fieldInfo_.FindByField(f);
      const size_t width = info ? static_cast<size_t>(std::max(info->Size, 0)) : s.size();
      if (s.size() < width) s.append(width - s.size(), ' ');
      value = TVariant(s);
    } else {
      value = f->Value();
    }
    MainQuery()->SetVariable(name, value);
  }
}

void TOracleDataSet::RefreshDetails(bool ClearOnly) {
  if (ControlsDisabled()) return;
  const std::vector<TOracleDataSet*> details = details_;
  for (TOracleDataSet* d : details) {
    if (ClearOnly) {
      d->lastMasterId_ = -1;
      continue;
    }
    if (!d->Active()) continue;
    if (!d->MasterInactive() && d->MasterRecordId() == d->lastMasterId_) continue;
    d->Refresh();
  }
}

bool TOracleDataSet::MatchesMaster(uint8_t* Record) {
  if (!master_ || !master_->Active() || master_->IsEmpty()) return false;
  const std::vector<TField*> masterList = master_->GetFieldList(masterFields_);
  TFilterRecordScope scope(this, Record);
  bool match = true;
  const std::vector<TField*> detailList = GetFieldList(detailFields_);
  const size_t pairs = std::min(masterList.size(), detailList.size());
  for (size_t i = 0; i < pairs && match; ++i) {
    const TVariant a = detailList[i]->Value(), b = masterList[i]->Value();
    if (a.IsNull() || b.IsNull())
      match = a.IsNull() && b.IsNull();
    else
      match = a == b;
  }
  return match;
}

void TOracleDataSet::LockLinkFields(bool ForInsert) {
  // In query-by-example mode the link fields keep what the mode gave them.
  if (details_.empty() || destroying_ || qbeMode_) return;
  // Each link field is set once to where it ends: a field read-only before and after is left alone,
  // so a detail's refresh tells the master's controls of no layout change.
  std::vector<std::pair<TField*, bool>> targets;
  auto target = [&targets](TField* f) -> bool& {
    for (auto& t : targets)
      if (t.first == f) return t.second;
    return targets.emplace_back(f, false).second;
  };
  for (TOracleDataSet* d : details_)
    for (const std::string& name : SplitFieldNames(d->masterFields_))
      if (TField* f = FindField(name)) {
        const TOracleFieldInfo* info = fieldInfo_.FindByField(f);
        target(f) = info && info->Field == f ? info->SavedReadOnly : false;
      }
  if (!ForInsert)
    for (TOracleDataSet* d : details_) {
      const bool holds = d->store_ && (d->State() == dsInsert || d->store_->VisibleCount() > 0);
      if (!holds) continue;
      for (const std::string& name : SplitFieldNames(d->masterFields_))
        if (TField* f = FindField(name)) target(f) = true;
    }
  changingReadOnly_ = true;
  TScopeExit done([this] { changingReadOnly_ = false; });
  for (const auto& [field, readOnly] : targets) field->SetReadOnly(readOnly);
}

void TOracleDataSet::DoBeforeInsert() {
  if (Active()) LockLinkFields(true);
  if (!qbeMode_) TDataSet::DoBeforeInsert();
}

void TOracleDataSet::DoAfterInsert() {
  if (!qbeMode_) TDataSet::DoAfterInsert();
  if (master_ && master_->Active()) master_->LockLinkFields(false);
}

void TOracleDataSet::DoOnNewRecord() {
  if (qbeMode_) {
    // The criteria record takes no values of its own.
    if (store_ && store_->VisibleCount() > 0) throw Exception("Operation not allowed in QBE mode");
    return;
  }
  if (master_ && master_->Active()) {
    const std::vector<TField*> masterList = master_->GetFieldList(masterFields_);
    for (TField* f : masterList) {
      const bool text = f->DataType() == ftString || f->DataType() == ftMemo || f->DataType() == ftFixedChar;
      if (f->IsNull() || (text && Trim(f->AsString()).empty())) {
        f->FocusControl();
        DatabaseErrorFmt(SFieldRequired, {f->DisplayName()}, this);
      }
    }
  }
  applyingNewRecord_ = true;
  try {
    if (master_ && master_->Active()) {
      const std::vector<TField*> masterList = master_->GetFieldList(masterFields_);
      const std::vector<TField*> detailList = GetFieldList(detailFields_);
      for (size_t i = 0; i < std::min(masterList.size(), detailList.size()); ++i)
        detailList[i]->SetValue(masterList[i]->Value());
    }
    if (sequenceField_.ApplyMoment() == amOnNewRecord) sequenceField_.Apply();
    if (dictionary_.DefaultValues()) GetTableInfo()->ApplyDefaults(this);
  } catch (...) {
    applyingNewRecord_ = false;
    throw;
  }
  applyingNewRecord_ = false;
  TDataSet::DoOnNewRecord();
}

bool TOracleDataSet::IsNestedTableDetail() {
  if (!master_) return false;
  std::string table;
  DetermineUpdatingTable(table);
  const std::string t = UpperCase(Trim(table));
  return !t.empty() && t.back() == ')' && (t.rfind("TABLE", 0) == 0 || t.rfind("THE", 0) == 0);
}

void TOracleDataSet::CopyTableVariables(TOracleQuery* Query) {
  std::string table;
  DetermineUpdatingTable(table);
  CopyUsedVariables(Query, table);
}

namespace {
// The position of Word as a whole word in Upper (an upper-cased text) from From on; npos when none.
size_t FindWord(const std::string& Upper, const std::string& Word, size_t From = 0) {
  const auto isWordChar = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '#';
  };
  for (size_t p = Upper.find(Word, From); p != std::string::npos; p = Upper.find(Word, p + 1)) {
    const bool before = p == 0 || !isWordChar(Upper[p - 1]);
    const bool after = p + Word.size() >= Upper.size() || !isWordChar(Upper[p + Word.size()]);
    if (before && after) return p;
  }
  return std::string::npos;
}
}  // namespace

void TOracleDataSet::InitNullCollections() {
  if (!IsNestedTableDetail()) return;
  // The updating table reads TABLE(SELECT column path FROM master table WHERE condition).
  std::string table;
  DetermineUpdatingTable(table);
  const size_t open = table.find('('), close = table.rfind(')');
  if (open == std::string::npos || close <= open) return;
  const std::string sub = table.substr(open + 1, close - open - 1);
  const std::string upper = UpperCase(sub);
  const size_t select = FindWord(upper, "SELECT"), from = FindWord(upper, "FROM");
  if (select == std::string::npos || from == std::string::npos || from < select) return;
  const size_t where = FindWord(upper, "WHERE", from);
  const std::string path = Trim(sub.substr(select + 6, from - select - 6));
  const std::string masterTable =
      Trim(sub.substr(from + 4, where == std::string::npos ? std::string::npos : where - from - 4));
  const std::string condition = where == std::string::npos ? std::string() : Trim(sub.substr(where + 5));
  std::vector<std::string> columns;
  for (size_t start = 0; start <= path.size();) {
    const size_t comma = std::min(path.find(',', start), path.size());
    if (const std::string c = Trim(path.substr(start, comma - start)); !c.empty()) columns.push_back(c);
    start = comma + 1;
  }
  // Each collection's empty constructor, from the path's column objects (a master row exists: the
  // detail row is inserted into one).
  TOracleQuery* q = DMLQuery();
  q->Clear();
  q->SQL()->SetText("select " + path + " from " + masterTable);
  q->Execute();
  if (q->Eof()) return ReleaseDMLQuery();
  std::string block = "begin";
  for (size_t i = 0; i < columns.size() && static_cast<int>(i) < q->FieldCount(); ++i) {
    if (q->FieldType(static_cast<int>(i)) != otObject) continue;
    std::string arguments;
    TOracleObject* object = q->ObjField(static_cast<int>(i));
    if (!object->IsCollection())
      for (int a = 0; a < object->AttrCount(); ++a)
        if (object->Attributes(a)->Name().find('.') == std::string::npos)
          arguments += std::string(arguments.empty() ? "" : ", ") + "null";
    const std::string constructor = q->FieldTypeName(static_cast<int>(i)) + "(" + arguments + ")";
    block += "\r\n  update " + masterTable + "\r\n  set " + columns[i] + " = " + constructor +
             "\r\n  where " + columns[i] + " is null";
    block += condition.empty() ? std::string(";") : "\r\n  and (" + condition + ");";
  }
  block += "\r\nend;";
  q->Clear();
  q->SQL()->SetText(block);
  CopyUsedVariables(q, block);
  q->Execute();
  ReleaseDMLQuery();
}

void TOracleDataSet::DataEvent(TDataEvent Event, intptr_t Info) {
  if (!details_.empty() && !destroying_ && !changingReadOnly_) {
    if ((Event == deUpdateState && firstOpen_) || Event == deDataSetChange || Event == deDataSetScroll) {
      if (Event != deUpdateState) firstOpen_ = false;
      if (Active()) RefreshDetails(false);
    }
  }
  TDataSet::DataEvent(Event, Info);
}

void TOracleDataSet::DoBeforeScroll() {
  PostDetails();
  TDataSet::DoBeforeScroll();
}

// ---------------------------------------------------------------------------------------------------
// SQL analysis

void TOracleDataSet::DetermineUpdatingTable(std::string& Name) {
  if (determinedTableValid_) {
    Name = determinedTable_;
    return;
  }
  if (!Trim(updatingTable_).empty()) {
    Name = updatingTable_;
  } else {
    if (ReadsCursorVariable()) throw Exception("UpdatingTable property required for cursor dataset");
    const std::string source = RemoveSQLComments(MainQuery()->FinalSQL());
    std::string text = UpperCase(source);
    for (char& c : text)
      if (!IsTableIdentChar(static_cast<unsigned char>(c)) && c != '(') c = ' ';
    Name.clear();
    size_t base = 0;
    while (true) {
      size_t p = text.find(" FROM ", base);
      const size_t q = text.find(" FROM(", base);
      if (q != std::string::npos && (p == std::string::npos || q < p)) p = q;
      if (p == std::string::npos) break;
      size_t i = p + 5;
      while (i < text.size() && text[i] == ' ') ++i;
      if (i < text.size() && text[i] == '(') {
        base = i + 1;
        continue;
      }
      size_t j = i;
      while (j < text.size() && IsTableIdentChar(static_cast<unsigned char>(text[j]))) ++j;
      const std::string word = text.substr(i, j - i);
      if (word == "TABLE" || word == "THE") {
        // The word and the balanced parenthesised expression after it, as written.
        size_t k = j;
        while (k < source.size() && source[k] != '(') ++k;
        int depth = 0;
        char quote = 0;
        size_t e = k;
        for (; e < source.size(); ++e) {
          const char c = source[e];
          if (quote) {
            if (c == quote) quote = 0;
          } else if (c == '\'' || c == '"') {
            quote = c;
          } else if (c == '(') {
            ++depth;
          } else if (c == ')' && --depth == 0) {
            ++e;
            break;
          }
        }
        Name = source.substr(i, j - i) + source.substr(j, e - j);
      } else {
        Name = word;
        Name.erase(std::remove(Name.begin(), Name.end(), '"'), Name.end());
      }
      break;
    }
  }
  determinedTable_ = Name;
  determinedTableValid_ = true;
}

void TOracleDataSet::UpdatingTableQualifier(std::string& Text) {
  std::string name;
  DetermineUpdatingTable(name);
  Text = name;
  std::string masked = RemoveSQLComments(MainQuery()->FinalSQL());
  int depth = 0;
  char quote = 0;
  for (char& c : masked) {
    if (quote) {
      if (c == quote) quote = 0;
      if (c != '\'') c = '_';
    } else if (c == '\'' || c == '"') {
      if (depth > 0 || c == '\'') quote = c;
      if (depth > 0 && c == '"') c = '_';
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      if (depth > 0) --depth;
    } else if (depth > 0) {
      c = '_';
    }
  }
  std::string up = UpperCase(masked);
  for (char& c : up) {
    const auto u = static_cast<unsigned char>(c);
    if (!IsTableIdentChar(u) && c != '(' && c != ')' && c != '\'') c = ' ';
  }
  const size_t from = up.find(" FROM ");
  if (from == std::string::npos) return;
  size_t i = from + 6;
  while (i < up.size() && up[i] == ' ') ++i;
  if (i < up.size() && up[i] == '(') {
    const size_t close = up.find(')', i);
    if (close == std::string::npos) return;
    i = close + 1;
  } else {
    const std::string key = UpperCase(name);
    size_t k = up.find(" " + key + " ", i - 1);
    if (k != std::string::npos) {
      i = k + 1;
    } else {
      k = up.find(key, i);
      if (k == std::string::npos) return;
      i = k;
    }
    while (i < up.size() && up[i] != ' ' && masked[i] != ',') ++i;
  }
  while (i < up.size() && up[i] == ' ') ++i;
  size_t j = i;
  while (j < masked.size() && IsTableIdentChar(static_cast<unsigned char>(masked[j]))) ++j;
  const std::string ident = masked.substr(i, j - i);
  if (ident.empty()) return;
  const std::string u = UpperCase(ident);
  for (const char* stop : {"WHERE", "ORDER", "GROUP", "FOR", "START", "CONNECT"})
    if (u == stop) return;
  Text = ident;
}

TOracleQuery* TOracleDataSet::DMLQuery() {
  if (!dmlQuery_) {
    dmlQuery_ = std::make_unique<TOracleQuery>(nullptr);
    dmlQuery_->SetName("DMLQuery");
    dmlQuery_->SetReadBuffer(2);
  }
  // Each use takes the main query's session and statement options.
  TOracleQuery* main = MainQuery();
  dmlQuery_->SetSession(main->Session());
  dmlQuery_->SetDebug(main->Debug());
  dmlQuery_->SetOptimize(main->Optimize());
  dmlQuery_->SetStringFieldsOnly(false);
  lastStatement_ = dmlQuery_.get();
  return dmlQuery_.get();
}

std::string TOracleDataSet::LastStatement() const {
  return lastStatement_ ? lastStatement_->SQL()->Text() : std::string();
}

void TOracleDataSet::ResolveTableName(const std::string& Name, std::string& Owner, std::string& Table) {
  const size_t dot = Name.find('.');
  if (dot != std::string::npos) {
    Owner = UpperCase(Name.substr(0, dot));
    Table = UpperCase(Name.substr(dot + 1));
    return;
  }
  TOracleQuery* q = DMLQuery();
  q->Clear();
  q->DeleteVariables();
  q->SQL()->SetText(
      "begin\n"
      "  begin\n"
      "    select user, table_name into :table_owner, :table_name\n"
      "      from sys.user_tables where table_name = :name;\n"
      "  exception when no_data_found then\n"
      "    begin\n"
      "      select user, view_name into :table_owner, :table_name\n"
      "        from sys.user_views where view_name = :name;\n"
      "    exception when no_data_found then\n"
      "      begin\n"
      "        select table_owner, table_name into :table_owner, :table_name\n"
      "          from sys.user_synonyms where synonym_name = :name;\n"
      "      exception when no_data_found then\n"
      "        begin\n"
      "          select table_owner, table_name into :table_owner, :table_name\n"
      "            from sys.all_synonyms where owner = 'PUBLIC' and synonym_name = :name;\n"
      "        exception when no_data_found then\n"
      "          :table_owner := null; :table_name := null;\n"
      "        end;\n"
      "      end;\n"
      "    end;\n"
      "  end;\n"
      "end;");
  q->DeclareVariable("name", otString);
  q->DeclareVariable("table_owner", otString);
  q->DeclareVariable("table_name", otString);
  q->SetVariable("name", TVariant(UpperCase(Name)));
  q->Execute();
  const TVariant owner = q->GetVariable("table_owner"), table = q->GetVariable("table_name");
  Owner = owner.IsNull() || owner.IsEmpty() ? std::string() : owner.AsString();
  Table = table.IsNull() || table.IsEmpty() ? std::string() : table.AsString();
}

void TOracleDataSet::DetermineUniqueFields() {
  uniqueFieldList_.clear();
  if (!Trim(uniqueFields_).empty()) {
    for (TField* f : GetFieldList(uniqueFields_)) uniqueFieldList_.push_back(f->FieldName());
    return;
  }
  std::string name, owner, table;
  DetermineUpdatingTable(name);
  if (!name.empty()) ResolveTableName(name, owner, table);
  if (!table.empty()) {
    TOracleQuery* q = DMLQuery();
    q->Clear();
    q->DeleteVariables();
    q->DeclareVariable("owner", otString);
    q->DeclareVariable("table_name", otString);
    q->SetVariable("owner", TVariant(owner));
    q->SetVariable("table_name", TVariant(table));
    q->SQL()->SetText(
        "select constraint_name from all_constraints\r\nwhere owner = :owner and table_name = :table_name\r\n"
        "and constraint_type in ('P', 'U')\r\norder by constraint_type");
    q->Execute();
    if (!q->Eof()) {
      const std::string constraint = q->FieldAsString(0);
      q->DeclareVariable("constraint_name", otString);
      q->SetVariable("constraint_name", TVariant(constraint));
      q->SQL()->SetText(
          "select column_name from all_cons_columns\r\nwhere owner = :owner and table_name = :table_name\r\n"
          "and constraint_name = :constraint_name\r\norder by position");
      q->Execute();
      std::vector<std::string> columns;
      bool usable = true;
      for (; !q->Eof(); q->Next()) {
        const std::string column = q->FieldAsString(0);
        usable = usable && FindField(column) != nullptr;
        columns.push_back(column);
      }
      if (usable && !columns.empty()) uniqueFieldList_ = columns;
    }
  }
  if (uniqueFieldList_.empty()) DatabaseError("Primary or Unique key columns must be included", this);
}

std::string TOracleDataSet::RowIdByKey(bool UseOldValues) {
  if (uniqueFieldList_.empty()) return {};
  std::vector<TField*> fields;
  for (const std::string& n : uniqueFieldList_) {
    TField* f = FindField(n);
    if (!f) return {};
    fields.push_back(f);
  }
  std::string table;
  DetermineUpdatingTable(table);
  TOracleQuery* q = DMLQuery();
  q->Clear();
  q->DeleteVariables();
  std::string sql = "select rowid from\r\n" + table + "\r\nwhere";
  for (size_t i = 0; i < fields.size(); ++i) {
    TField* f = fields[i];
    const TVariant v = UseOldValues ? f->OldValue() : f->Value();
    const bool text = f->DataType() == ftString || f->DataType() == ftMemo || f->DataType() == ftFixedChar;
    const std::string column = f->FieldName();
    sql += "\r\n" + (i ? "and " + column : column);
    if (v.IsNull() || v.IsEmpty() || (text && v.AsString().empty())) {
      sql += " is null";
    } else {
      sql += " = :" + column;
      const int type = FieldOracleType(f);
      q->DeclareVariable(column, type ? type : otString);
      q->SetVariable(column, v);
    }
  }
  q->SQL()->SetText(sql);
  q->Execute();
  if (q->Eof()) throw Exception("Error determining ROWID: no record found");
  const std::string rowid = q->FieldAsString(0);
  q->Next();
  if (!q->Eof()) throw Exception("Error determining ROWID: more than one record found");
  return rowid;
}

// ---------------------------------------------------------------------------------------------------
// Searching

struct TOracleDataSet::SearchKey {
  TField* field = nullptr;
  enum { Null, Int, Float, Date, Text, RowId } kind = Null;
  int32_t i = 0;
  double d = 0;
  std::string s;
};

namespace {
struct SearchFlags {
  bool ignoreCase, dateOnly, wildcards, partial;
};
}  // namespace

bool TOracleDataSet::SearchRecord(const std::string& FieldNames, const TVariant& Values, int Options) {
  CheckBrowseMode();
  const bool forward = Options & srForward, backwardAsked = Options & srBackward,
             fromCurrent = Options & srFromCurrent, fromBeginning = Options & srFromBeginning,
             fromEnd = Options & srFromEnd;
  if ((fromBeginning && fromEnd) || (fromCurrent && (fromBeginning || fromEnd)) ||
      (forward && (backwardAsked || fromEnd)) || (backwardAsked && fromBeginning))
    throw Exception(Name() + ".SearchRecord options invalid");
  const SearchFlags flags{(Options & srIgnoreCase) != 0, (Options & srDateOnly) != 0,
                          (Options & srWildcards) != 0, (Options & srPartialMatch) != 0};

  std::vector<SearchKey> keys;
  const bool byRowId = SameText(Trim(FieldNames), "ROWID");
  if (byRowId) {
    if (rowIdIndex_ < 0)
      throw Exception("You cannot search a rowid if it is not included in the select list");
    keys.resize(1);
  } else {
    for (TField* f : GetFieldList(FieldNames)) {
      SearchKey k;
      k.field = f;
      keys.push_back(k);
    }
  }
  std::vector<TVariant> values;
  if (Values.IsArray()) {
    for (int i = Values.LowBound(); i <= Values.HighBound(); ++i) values.push_back(Values.GetElement(i));
  } else {
    values.push_back(Values);
  }
  if (values.size() != keys.size())
    throw Exception(Name() + ".SearchRecord: number of fields and values do not match");

  bool needCalc = false;
  for (size_t n = 0; n < keys.size(); ++n) {
    SearchKey& k = keys[n];
    const TVariant& v = values[n];
    if (byRowId) {
      k.kind = SearchKey::RowId;
      k.s = v.IsNull() || v.IsEmpty() ? std::string() : v.AsString();
      continue;
    }
    if (k.field->FieldKind() == fkCalculated || k.field->FieldKind() == fkLookup) needCalc = true;
    if (v.IsNull() || v.IsEmpty() || (v.VarType() == varString && v.AsString().empty())) {
      k.kind = SearchKey::Null;
      continue;
    }
    const TFieldType t = k.field->DataType();
    if (flags.wildcards || flags.partial) {
      k.kind = SearchKey::Text;
    } else if (t == ftSmallint || t == ftInteger || t == ftWord) {
      k.kind = SearchKey::Int;
      k.i = v.AsInteger();
    } else if (t == ftFloat || t == ftCurrency || t == ftBCD) {
      k.kind = SearchKey::Float;
      k.d = v.AsDouble();
    } else if (t == ftDate || t == ftTime || t == ftDateTime) {
      k.kind = SearchKey::Date;
      k.d = v.VarType() == varString ? StrToDateTime(v.AsString()) : v.AsDateTime();
      if (flags.dateOnly) k.d = std::trunc(k.d);
    } else {
      k.kind = SearchKey::Text;
    }
    if (k.kind == SearchKey::Text) {
      k.s = TrimRight(v.AsString());
      if (flags.ignoreCase) k.s = AnsiUpperCase(k.s);
      if (k.s.empty()) k.kind = SearchKey::Null;
    }
  }

  UpdateCursorPos();
  const bool backward = !forward && (backwardAsked || fromEnd);
  int pos = currentIndex_;
  int found = -1;
  {
    const TCursor savedCursor = GetScreenCursor();
    const bool busyCursor = Cursor() != oracle_ui::crDefault;
    if (busyCursor) SetScreenCursor(Cursor());
    TScopeExit restoreCursor([&] {
      if (busyCursor) SetScreenCursor(savedCursor);
    });
    if (fromBeginning) pos = -1;
    if (fromEnd) {
      while (FetchRecord()) {
      }
      pos = store_->VisibleCount();
    }
    std::vector<uint8_t> image(static_cast<size_t>(recordSize_));
    auto matches = [&](uint8_t* rec) {
      if (needCalc) GetCalcFields(rec);
      filterRecord_ = rec;
      for (const SearchKey& k : keys) {
        if (k.kind == SearchKey::RowId) {
          if (GetRowIdText(rec) != k.s) return false;
          continue;
        }
        TField* f = k.field;
        if (k.kind == SearchKey::Null) {
          if (!f->IsNull()) return false;
          continue;
        }
        if (f->IsNull()) return false;
        switch (k.kind) {
          case SearchKey::Int:
            if (f->AsInteger() != k.i) return false;
            break;
          case SearchKey::Float:
            if (f->AsFloat() != k.d) return false;
            break;
          case SearchKey::Date: {
            double d = f->AsDateTime();
            if (flags.dateOnly) d = std::trunc(d);
            if (d != k.d) return false;
            break;
          }
          default: {
            std::string s = TrimRight(f->AsString());
            if (flags.ignoreCase) s = AnsiUpperCase(s);
            if (flags.partial && s.size() > k.s.size()) s.resize(k.s.size());
            if (flags.wildcards ? !MatchWildcard(k.s, s) : s != k.s) return false;
          }
        }
      }
      return true;
    };
    while (true) {
      pos += backward ? -1 : 1;
      if (pos < 0) break;
      if (pos >= store_->VisibleCount()) {
        if (backward) continue;
        while (pos >= store_->VisibleCount() && FetchRecord()) {
        }
        if (pos >= store_->VisibleCount()) break;
      }
      store_->Load(store_->VisibleRecord(pos), image.data());
      TFilterRecordScope scope(this, image.data());
      if (matches(image.data())) {
        found = pos;
        break;
      }
    }
  }
  lastFound_ = found >= 0 ? store_->VisibleRecord(found) : nullptr;
  if (found < 0) return false;
  if (!(Options & srNoMove)) {
    TBookmark bm(reinterpret_cast<const char*>(lastFound_ + RecIdOffset), 4);
    GotoBookmark(bm);
  }
  return true;
}

bool TOracleDataSet::Locate(const std::string& KeyFields, const TVariant& KeyValues, TLocateOptions Options) {
  int options = srFromBeginning;
  if (Options.Contains(loCaseInsensitive)) options |= srIgnoreCase;
  if (Options.Contains(loPartialKey)) options |= srPartialMatch;
  return SearchRecord(KeyFields, KeyValues, options);
}

TVariant TOracleDataSet::Lookup(const std::string& KeyFields, const TVariant& KeyValues,
                                const std::string& ResultFields) {
  if (!SearchRecord(KeyFields, KeyValues, srFromBeginning | srNoMove)) return TVariant::MakeNull();
  const std::vector<TField*> fields = GetFieldList(ResultFields);
  std::vector<uint8_t> copy = ImageOf(lastFound_);
  uint8_t* rec = copy.data();
  for (TField* f : fields) {
    if (f->FieldKind() == fkCalculated || f->FieldKind() == fkLookup) {
      GetCalcFields(rec);
      break;
    }
  }
  TFilterRecordScope scope(this, rec);
  TVariant result;
  if (fields.size() == 1) {
    result = fields[0]->Value();
  } else {
    result = VarArrayCreate({0, static_cast<int>(fields.size()) - 1}, varVariant);
    for (size_t i = 0; i < fields.size(); ++i) result.SetElement(static_cast<int>(i), fields[i]->Value());
  }
  return result;
}

// ---------------------------------------------------------------------------------------------------
// Error-message translation

std::string ConstraintNameOf(const std::string& Message) {
  size_t open = Message.find('(');
  while (open != std::string::npos) {
    const size_t close = Message.find(')', open + 1);
    if (close == std::string::npos) break;
    const std::string inner = Message.substr(open + 1, close - open - 1);
    const size_t dot = inner.find('.');
    if (dot != std::string::npos) return inner.substr(dot + 1);
    open = Message.find('(', open + 1);
  }
  return {};
}

void TOracleDataSet::TranslateMessage(char Action, int ErrorCode, std::string& Msg,
                                      const std::string& DefaultMsg) {
  Msg = DefaultMsg;
  if (ErrorCode >= 20000 && ErrorCode <= 20999) {
    const size_t p = DefaultMsg.find("ORA-06512");
    if (p != std::string::npos) {
      // The text before the line that starts the error stack (p is 1-based in that rule).
      const int keep = std::max(static_cast<int>(p + 1) - 2, 0);
      Msg = DefaultMsg.substr(0, static_cast<size_t>(keep));
    }
  }
  std::string constraint;
  if (ErrorCode == 1 || ErrorCode == 2290 || ErrorCode == 2291 || ErrorCode == 2292)
    constraint = ConstraintNameOf(DefaultMsg);
  TOracleSession* session = Session();
  if (dictionary_.UseMessageTable() && session && !session->MessageTable().empty() && !constraint.empty()) {
    const std::string filter = ErrorCode == 2291 ? "C" : (ErrorCode == 2292 ? "P" : "*");
    TOracleQuery q(nullptr);
    q.SetName("MessageQuery");
    q.SetSession(session);
    q.SQL()->SetText("select actions, parent_child, error_message from " + session->MessageTable() +
                     "\r\nwhere constraint_name = :constraint_name\r\norder by actions");
    q.DeclareVariable("constraint_name", otString);
    q.SetVariable("constraint_name", TVariant(constraint));
    q.Execute();
    bool taken = false;
    std::string message;
    while (!q.Eof()) {
      const std::string actions = q.FieldAsString(0);
      const std::string pc = UpperCase(q.FieldAsString(1));
      if (pc == "*" || pc == filter) {
        if (UpperCase(actions).find(static_cast<char>(std::toupper(static_cast<unsigned char>(Action)))) !=
                std::string::npos ||
            (actions == "*" && !taken)) {
          message = q.FieldAsString(2);
          taken = true;
        }
      }
      q.Next();
    }
    if (taken) Msg = message;
  }
  InvokeEvent(OnTranslateMessage, this, ErrorCode, constraint, Action, Msg);
}
