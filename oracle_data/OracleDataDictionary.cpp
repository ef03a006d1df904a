// What the Oracle dataset takes from the data dictionary of its updating table: the table
// information kept per session, column defaults, the client-side constraint check, the sequence
// field, and the field settings applied at open.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <map>
#include <mutex>

#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "oracle/OracleTypes.h"
#include "oracle_data/OracleData.h"
#include "platform/rtl/SysUtils.h"

using namespace oracle_data;

namespace {
constexpr int kObjectType = 108;
constexpr int kReferenceType = 110;

bool IsIdentChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return std::isalnum(u) || c == '_' || c == '$' || c == '#' || u >= 128;
}

bool IsTextField(const TField* Field) {
  const TFieldType t = Field->DataType();
  return t == ftString || t == ftFixedChar || t == ftWideString || t == ftMemo;
}

// Not null and, for string and memo fields, not the empty string.
bool NonEmpty(TField* Field) {
  if (Field->IsNull()) return false;
  return !IsTextField(Field) || !Field->AsString().empty();
}

// The table information of one session, freed with the session.
class TTableInfoCache : public TOracleSessionClient {
 public:
  explicit TTableInfoCache(TOracleSession* Session) : session_(Session) { Session->AddDependent(this); }
  ~TTableInfoCache() override {
    if (session_) session_->RemoveDependent(this);
  }
  void SessionLoggingOff(TOracleSession*) override {}
  void SessionDestroying(TOracleSession* Session) override;
  std::vector<std::unique_ptr<TOracleTableInfo>> Items;

 private:
  TOracleSession* session_;
};

std::mutex cacheLock;
std::map<TOracleSession*, std::unique_ptr<TTableInfoCache>>& Caches() {
  static std::map<TOracleSession*, std::unique_ptr<TTableInfoCache>> caches;
  return caches;
}

void TTableInfoCache::SessionDestroying(TOracleSession* Session) {
  session_ = nullptr;
  std::unique_ptr<TTableInfoCache> self;
  {
    std::lock_guard guard(cacheLock);
    auto it = Caches().find(Session);
    if (it == Caches().end()) return;
    self = std::move(it->second);
    Caches().erase(it);
  }
  // self (this) goes here.
}

// The cache of Session, made on first need. With cacheLock held.
TTableInfoCache* CacheOf(TOracleSession* Session) {
  auto& slot = Caches()[Session];
  if (!slot) slot = std::make_unique<TTableInfoCache>(Session);
  return slot.get();
}

// The information cached for the table text Table; nullptr when there is none. With cacheLock held.
TOracleTableInfo* FindCached(TTableInfoCache* Cache, const std::string& Table) {
  for (auto& item : Cache->Items)
    if (item->TableText == Table) return item.get();
  return nullptr;
}

// The check condition with each whole-word occurrence of Column made a bind variable; quoted
// literals are left alone ("COL" in double quotes becomes :COL).
std::string BindColumn(const std::string& Condition, const std::string& Column) {
  const std::string upper = UpperCase(Condition), key = UpperCase(Column);
  std::string out;
  size_t i = 0;
  while (i < Condition.size()) {
    const char c = Condition[i];
    if (c == '\'') {
      size_t j = i + 1;
      while (j < Condition.size()) {
        if (Condition[j] == '\'') {
          if (j + 1 < Condition.size() && Condition[j + 1] == '\'') {
            j += 2;
            continue;
          }
          break;
        }
        ++j;
      }
      j = std::min(j + 1, Condition.size());
      out.append(Condition, i, j - i);
      i = j;
      continue;
    }
    if (c == '"' && upper.compare(i + 1, key.size(), key) == 0 && i + 1 + key.size() < Condition.size() &&
        Condition[i + 1 + key.size()] == '"') {
      out += ":" + Condition.substr(i + 1, key.size());
      i += key.size() + 2;
      continue;
    }
    if (upper.compare(i, key.size(), key) == 0 && (i == 0 || !IsIdentChar(Condition[i - 1])) &&
        (i + key.size() >= Condition.size() || !IsIdentChar(Condition[i + key.size()])) &&
        (i == 0 || Condition[i - 1] != ':')) {
      out += ":" + Condition.substr(i, key.size());
      i += key.size();
      continue;
    }
    out += c;
    ++i;
  }
  return out;
}

void DeclareFieldValue(TOracleQuery* Query, TOracleDataSet* DataSet, TField* Field, const std::string& Name) {
  int type = DataSet->FieldOracleType(Field);
  if (type == 0) type = otString;
  if (Query->VariableIndex(Name) < 0) Query->DeclareVariable(Name, type);
  Query->SetVariable(Name, Field->Value());
}
}  // namespace

// ---------------------------------------------------------------------------------------------------
// The sequence field and the dictionary switches

void TSequenceField::Assign(TPersistent* Source) {
  if (auto* s = dynamic_cast<TSequenceField*>(Source)) {
    field_ = s->field_;
    sequence_ = s->sequence_;
    applyMoment_ = s->applyMoment_;
    return;
  }
  TPersistent::Assign(Source);
}

bool TSequenceField::IsField(const std::string& Name) const {
  return Active() && SameText(Name, field_);
}

void TSequenceField::Apply() {
  if (!Active() || !dataSet_) return;
  TField* f = dataSet_->FieldByName(field_);
  if (!f->IsNull()) return;
  TOracleQuery* q = dataSet_->DMLQuery();
  q->Clear();
  q->DeleteVariables();
  q->SQL()->SetText("select " + sequence_ + ".nextval from dual");
  q->Execute();
  const TVariant value = q->Field(0);
  q->Close();
  f->SetValue(value);
}

void TOracleDictionary::Assign(TPersistent* Source) {
  if (auto* d = dynamic_cast<TOracleDictionary*>(Source)) {
    enforceConstraints_ = d->enforceConstraints_;
    SetDisabledConstraints(&d->disabledConstraints_);
    useMessageTable_ = d->useMessageTable_;
    defaultValues_ = d->defaultValues_;
    dynamicDefaults_ = d->dynamicDefaults_;
    fieldKinds_ = d->fieldKinds_;
    SetDisplayFormats(d->displayFormats_);
    rangeValues_ = d->rangeValues_;
    SetRequiredFields(d->requiredFields_);
    return;
  }
  TPersistent::Assign(Source);
}

void TOracleDictionary::SetDisabledConstraints(TStrings* Value) {
  disabledConstraints_.BeginUpdate();
  try {
    disabledConstraints_.Assign(Value);
  } catch (...) {
    disabledConstraints_.EndUpdate();
    throw;
  }
  disabledConstraints_.EndUpdate();
}

void TOracleDictionary::SetDisplayFormats(bool Value) {
  if (displayFormats_ == Value) return;
  displayFormats_ = Value;
  if (dataSet_ && dataSet_->Active()) dataSet_->ApplyDictionarySettings();
}

void TOracleDictionary::SetRequiredFields(bool Value) {
  if (requiredFields_ == Value) return;
  requiredFields_ = Value;
  if (dataSet_) dataSet_->DataEvent(dePropertyChange, 0);
}

// ---------------------------------------------------------------------------------------------------
// Table information

TOracleTableInfo::TOracleTableInfo(TOracleSession* Session, const std::string& TableText)
    : TableText(TableText) {
  query_.SetName("TableInfoQuery");
  query_.SetSession(Session);
  query_.SetDebug(false);
}

std::vector<std::unique_ptr<TOracleConstraintInfo>>& TOracleTableInfo::Constraints() {
  LoadConstraints();
  return constraints_;
}

std::vector<std::unique_ptr<TOracleColumnInfo>>& TOracleTableInfo::Columns() {
  LoadColumns();
  return columns_;
}

void TOracleTableInfo::LoadConstraints() {
  if (constraintsLoaded_) return;
  TOracleQuery& q = query_;
  q.Clear();
  q.DeleteVariables();
  std::string sql =
      "select constraint_name, column_name from sys.all_cons_columns\r\n"
      "where owner = :owner and table_name = :table_name\r\n";
  if (!(q.Session() && q.Session()->ODBCMode())) sql += "and constraint_name not like 'SYS_C%'\r\n";
  sql += "order by constraint_name, position";
  q.SQL()->SetText(sql);
  q.DeclareVariable("owner", otString);
  q.DeclareVariable("table_name", otString);
  q.SetVariable("owner", TVariant(Owner));
  q.SetVariable("table_name", TVariant(TableName));
  q.Execute();
  std::vector<std::unique_ptr<TOracleConstraintInfo>> list;
  for (; !q.Eof(); q.Next()) {
    const std::string name = q.FieldAsString(0);
    if (list.empty() || list.back()->Name != name) {
      list.push_back(std::make_unique<TOracleConstraintInfo>(this));
      list.back()->Name = name;
    }
    list.back()->Columns.Add(q.FieldAsString(1));
  }
  q.Close();
  constraints_ = std::move(list);
  constraintsLoaded_ = true;
}

void TOracleTableInfo::LoadColumns() {
  if (columnsLoaded_) return;
  if (Trim(TableText).empty()) {
    columnsLoaded_ = true;  // a statement without a table: no columns
    return;
  }
  TOracleQuery& q = query_;
  q.Clear();
  q.DeleteVariables();
  q.SQL()->SetText("select * from " + TableText);
  q.Describe();
  std::vector<std::unique_ptr<TOracleColumnInfo>> list;
  for (int i = 0; i < q.FieldCount(); ++i) {
    auto c = std::make_unique<TOracleColumnInfo>();
    c->Name = q.FieldName(i);
    c->DataType = q.FieldType(i);
    c->Precision = q.FieldPrecision(i);
    c->Scale = q.FieldScale(i);
    list.push_back(std::move(c));
  }
  q.Close();
  columns_ = std::move(list);
  columnsLoaded_ = true;
}

TOracleColumnInfo* TOracleTableInfo::ColumnByName(const std::string& Name) {
  for (auto& c : Columns())
    if (c->Name == Name) return c.get();
  return nullptr;
}

void TOracleTableInfo::LoadDefaults() {
  if (DefaultsLoaded) return;
  LoadColumns();
  TOracleQuery& q = query_;
  q.Clear();
  q.DeleteVariables();
  q.SQL()->SetText(
      "select column_name, data_default from sys.all_tab_columns\r\n"
      "where owner = :owner and table_name = :table_name\r\n"
      "and data_default is not null");
  q.DeclareVariable("owner", otString);
  q.DeclareVariable("table_name", otString);
  q.SetVariable("owner", TVariant(Owner));
  q.SetVariable("table_name", TVariant(TableName));
  q.Execute();
  bool any = false;
  for (; !q.Eof(); q.Next()) {
    any = true;
    if (TOracleColumnInfo* c = ColumnByName(q.FieldAsString(0)))
      c->DefaultExpression = Trim(q.FieldAsString(1));
  }
  q.Close();
  NoDefaults = !any;
  DefaultsLoaded = true;
}

void TOracleTableInfo::ApplyDefaults(TOracleDataSet* DataSet) {
  LoadDefaults();
  if (NoDefaults) return;
  if (DataSet->OracleDictionary()->DynamicDefaults() || !DefaultsComputed) {
    TOracleQuery& q = query_;
    q.Clear();
    q.DeleteVariables();
    q.SetDebug(DataSet->Debug());
    std::string block = "begin\r\n";
    for (auto& c : columns_) {
      if (c->DefaultExpression.empty()) continue;
      block += "  :" + c->Name + " := " + c->DefaultExpression + ";\r\n";
      q.DeclareVariable(c->Name, c->DataType);
    }
    block += "end;";
    q.SQL()->SetText(block);
    try {
      q.Execute();
    } catch (...) {
      q.SetDebug(false);
      throw;
    }
    q.SetDebug(false);
    for (auto& c : columns_)
      if (!c->DefaultExpression.empty()) c->DefaultValue = q.GetVariable(c->Name);
    DefaultsComputed = true;
  }
  for (auto& c : columns_) {
    if (c->DefaultExpression.empty()) continue;
    if (TField* f = DataSet->FindField(c->Name)) f->SetValue(c->DefaultValue);
  }
}

// ---------------------------------------------------------------------------------------------------
// Constraints

std::string ConstraintMessage(const std::string& ClientText, const std::string& Owner,
                              const std::string& Constraint) {
  const size_t open = ClientText.find('(');
  const size_t close = open == std::string::npos ? std::string::npos : ClientText.find(')', open);
  if (close == std::string::npos) return ClientText;
  return ClientText.substr(0, open + 1) + Owner + "." + Constraint + ClientText.substr(close);
}

void TOracleConstraintInfo::LoadDetails(TOracleDataSet* DataSet) {
  if (Loaded) return;
  TOracleQuery* q = DataSet->DMLQuery();
  const bool odbc = q->Session() && q->Session()->ODBCMode();
  q->Clear();
  q->DeleteVariables();
  q->SetDebug(false);
  q->SQL()->SetText(std::string("select constraint_type, r_constraint_name, r_owner, search_condition\r\n"
                                "  from sys.all_constraints\r\n"
                                " where constraint_name = :constraint_name and owner = :owner\r\n") +
                    (odbc ? "   and constraint_type != 'C'" : "   and status = 'ENABLED'"));
  q->DeclareVariable("constraint_name", otString);
  q->DeclareVariable("owner", otString);
  q->SetVariable("constraint_name", TVariant(Name));
  q->SetVariable("owner", TVariant(Table->Owner));
  q->Execute();
  Loaded = true;
  if (q->Eof()) {
    Found = false;
    q->Close();
    return;
  }
  Found = true;
  const std::string type = q->FieldAsString(0);
  const std::string refConstraint = q->FieldAsString(1);
  RefOwner = q->FieldAsString(2);
  std::string condition = q->FieldAsString(3);
  q->Close();
  Kind = type == "P" ? 1 : type == "U" ? 2 : type == "R" ? 3 : type == "C" ? 4 : 0;
  if (Kind == 0) Found = false;
  if (Kind == 4) {
    for (int i = 0; i < Columns.Count(); ++i) condition = BindColumn(condition, Columns.Strings(i));
    Condition = condition;
  } else if (Kind == 3) {
    q->Clear();
    q->DeleteVariables();
    q->SQL()->SetText(
        "select table_name, column_name from sys.all_cons_columns\r\n"
        " where owner = :owner and constraint_name = :constraint_name\r\n"
        " order by position");
    q->DeclareVariable("owner", otString);
    q->DeclareVariable("constraint_name", otString);
    q->SetVariable("owner", TVariant(RefOwner));
    q->SetVariable("constraint_name", TVariant(refConstraint));
    q->Execute();
    RefColumns.Clear();
    for (; !q->Eof(); q->Next()) {
      RefTable = q->FieldAsString(0);
      RefColumns.Add(q->FieldAsString(1));
    }
    q->Close();
  }
}

std::string TOracleConstraintInfo::SingleField(TOracleDataSet* DataSet) const {
  std::string name;
  int count = 0;
  for (int i = 0; i < Columns.Count(); ++i) {
    TField* f = DataSet->FindField(Columns.Strings(i));
    // Link fields and the sequence field are not the user's to change.
    if (!f || f->FieldKind() != fkData || DataSet->IsLinkField(f)) continue;
    if (DataSet->SequenceField()->IsField(f->FieldName())) continue;
    name = f->FieldName();
    ++count;
  }
  return count == 0 ? std::string() : count == 1 ? name : "*";
}

void TOracleConstraintInfo::Check(TOracleDataSet* DataSet) {
  LoadDetails(DataSet);
  if (!Found) return;
  const bool isNew = DataSet->UpdateStatus() == usInserted;
  std::string table;
  DataSet->DetermineUpdatingTable(table);
  TOracleQuery* q = DataSet->DMLQuery();
  q->Clear();
  q->DeleteVariables();
  bool needRowId = false;
  int violation = 0;
  auto finishRowId = [&] {
    if (!needRowId) return;
    q->DeclareVariable("rvl__rowid", otString);
    q->SetVariable("rvl__rowid", TVariant(DataSet->RowId()));
  };
  auto release = [&] {
    q->Close();
    q->Clear();
    q->DeleteVariables();
  };
  if (Kind == 1 || Kind == 2 || Kind == 3) {
    std::string sql = Kind == 3 ? "select 'x' from " + RefOwner + "." + RefTable : "select 'x' from " + table;
    if (Kind != 3 && !isNew) {
      sql += "\r\nwhere rowid <> :rvl__rowid\r\n";
      needRowId = true;
    } else {
      sql += "\r\n";
    }
    bool first = Kind == 3 || isNew, anyValue = false;
    for (int i = 0; i < Columns.Count(); ++i) {
      const std::string column = Columns.Strings(i);
      std::string target = column;
      if (Kind == 3) {
        if (i >= RefColumns.Count()) break;
        target = RefColumns.Strings(i);
      }
      std::string line = first ? "where " : "and ";
      first = false;
      TField* f = DataSet->FindField(column);
      if (!f) {
        if (isNew) {
          release();
          return;
        }
        line += target + " = (select " + column + " from " + table + " where rowid = :rvl__rowid)";
        needRowId = true;
        anyValue = true;
      } else if (NonEmpty(f)) {
        line += target + " = :" + column;
        DeclareFieldValue(q, DataSet, f, column);
        anyValue = true;
      } else {
        line += target + " is null";
      }
      sql += line + "\r\n";
    }
    if (!anyValue) {
      release();
      return;
    }
    q->SQL()->SetText(sql);
    finishRowId();
    q->Execute();
    const bool found = !q->Eof();
    if (Kind == 3 ? !found : found) violation = Kind == 3 ? 2291 : 1;
  } else if (Kind == 4) {
    std::string selectList, intoList;
    for (int i = 0; i < Columns.Count(); ++i) {
      const std::string column = Columns.Strings(i);
      if (TField* f = DataSet->FindField(column)) {
        DeclareFieldValue(q, DataSet, f, column);
        continue;
      }
      TOracleColumnInfo* info = isNew ? nullptr : Table->ColumnByName(column);
      if (!info) {
        release();
        return;
      }
      q->DeclareVariable(column, info->DataType);
      selectList += (selectList.empty() ? "" : ", ") + column;
      intoList += (intoList.empty() ? ":" : ", :") + column;
    }
    std::string block = "begin\r\n";
    if (!selectList.empty()) {
      block += "  select " + selectList + " into " + intoList + " from " + table +
               " where rowid = :rvl__rowid;\r\n";
      needRowId = true;
    }
    block += "  if not (" + Condition +
             ") then\r\n    :error := 2290;\r\n  else\r\n    :error := 0;\r\n  end if;\r\n";
    if (!selectList.empty()) block += "exception\r\n  when others then :error := 0;\r\n";
    block += "end;";
    q->SQL()->SetText(block);
    q->DeclareVariable("error", otInteger);
    finishRowId();
    q->Execute();
    const TVariant e = q->GetVariable("error");
    violation = e.IsNull() || e.IsEmpty() ? 0 : e.AsInteger();
  }
  release();
  if (violation <= 0) return;
  const char action = isNew ? 'I' : 'U';
  TOracleSession* session = DataSet->Session();
  std::string message;
  int code = violation;
  if (session && session->ODBCMode()) {
    message =
        session->ErrorText(30021) + (violation == 1 ? "[POL-3220] duplicate keys in unique/primary index"
                                                    : "[POL-5143] integrity constraint violation");
    code = 30021;
  } else {
    message = ConstraintMessage(session ? session->ErrorText(violation) : std::string(), Table->Owner, Name);
  }
  std::string translated;
  DataSet->TranslateMessage(action, code, translated, message);
  DatabaseError(translated);
}

void CheckConstraints(TOracleDataSet* DataSet, TField* Field) {
  TOracleDictionary* dictionary = DataSet->OracleDictionary();
  if (!dictionary->EnforceConstraints() || !DataSet->HasRowId()) return;
  auto disabled = [&](const TOracleConstraintInfo* c) {
    TDisabledConstraints* list = dictionary->DisabledConstraints();
    for (int i = 0; i < list->Count(); ++i)
      if (SameText(Trim(list->Strings(i)), c->Name)) return true;
    return false;
  };
  auto excluded = [&](TField* f) {
    return DataSet->IsLinkField(f) || DataSet->SequenceField()->IsField(f->FieldName());
  };
  TOracleTableInfo* info = DataSet->GetTableInfo();
  if (!info) return;
  if (Field) {
    if (Field->FieldKind() != fkData || excluded(Field) || !NonEmpty(Field)) return;
    for (auto& c : info->Constraints()) {
      if (disabled(c.get())) continue;
      c->LoadDetails(DataSet);
      if (!c->Found) continue;
      if (SameText(c->SingleField(DataSet), Field->FieldName())) c->Check(DataSet);
    }
    return;
  }
  const bool isNew = DataSet->UpdateStatus() == usInserted;
  for (auto& c : info->Constraints()) {
    if (disabled(c.get())) continue;
    c->LoadDetails(DataSet);
    if (!c->Found) continue;
    const std::string single = c->SingleField(DataSet);
    bool skip = false, changed = false;
    for (int i = 0; i < c->Columns.Count() && !skip; ++i) {
      TField* f = DataSet->FindField(c->Columns.Strings(i));
      if (!f) continue;
      const bool empty = !NonEmpty(f);
      if ((DataSet->SequenceField()->FillsOnServer(f->FieldName()) && empty) || f->FieldKind() != fkData ||
          SameText(single, f->FieldName()) || (c->Kind == 3 && empty)) {
        skip = true;
        break;
      }
      if (excluded(f)) continue;
      if (isNew ? !empty : DataSet->FieldChanged(f)) changed = true;
    }
    if (!skip && changed) c->Check(DataSet);
  }
}

// ---------------------------------------------------------------------------------------------------
// The dataset's side

TOracleTableInfo* TOracleDataSet::GetTableInfo() {
  TOracleSession* session = Session();
  if (!session) throw Exception("Session undefined");
  std::string table;
  DetermineUpdatingTable(table);
  // The cache is read and changed under its lock, as ForgetTableInfo and the session's end change
  // it; the name is resolved outside it (that is a dictionary query).
  {
    std::lock_guard guard(cacheLock);
    if (TOracleTableInfo* found = FindCached(CacheOf(session), table)) return found;
  }
  auto item = std::make_unique<TOracleTableInfo>(session, table);
  if (!table.empty()) ResolveTableName(table, item->Owner, item->TableName);
  std::lock_guard guard(cacheLock);
  TTableInfoCache* cache = CacheOf(session);
  // one cached meanwhile is kept; this one is freed after the lock
  if (TOracleTableInfo* found = FindCached(cache, table)) return found;
  cache->Items.push_back(std::move(item));
  return cache->Items.back().get();
}

void TOracleDataSet::ForgetTableInfo() {
  TOracleSession* session = MainQuery()->Session();
  // The table last determined, also when the close has made the dataset determine it again.
  if (!session || determinedTable_.empty()) return;
  std::unique_ptr<TOracleTableInfo> forgotten;  // freed outside the lock
  std::lock_guard guard(cacheLock);
  auto it = Caches().find(session);
  if (it == Caches().end()) return;
  auto& items = it->second->Items;
  for (auto item = items.begin(); item != items.end(); ++item)
    if ((*item)->TableText == determinedTable_) {
      forgotten = std::move(*item);
      items.erase(item);
      break;
    }
}

bool TOracleDataSet::IsLinkField(TField* Field) {
  if (!master_ || !Field) return false;
  for (TField* f : GetFieldList(detailFields_))
    if (f == Field) return true;
  return false;
}

void TOracleDataSet::ApplyDictionarySettings() {
  TOracleSession* session = Session();
  if (!session || !session->Connected()) return;
  TOracleTableInfo* table = nullptr;
  if (dictionary_.FieldKinds()) {
    table = GetTableInfo();
    if (table->TableName.empty()) table = nullptr;
  }
  for (TField* f : Fields()->List()) {
    if (f->FieldKind() != fkData && f->FieldKind() != fkInternalCalc) continue;
    TOracleFieldInfo* info = fieldInfo_.FindByField(f);
    if (!info || info->Field != f) continue;
    if (table && f->FieldKind() == fkData && !table->ColumnByName(info->ColumnName)) {
      f->SetFieldKind(fkInternalCalc);
      f->SetReadOnly(true);
    }
    if (info->OracleType == kObjectType || info->OracleType == kReferenceType) f->SetVisible(false);
    const int p = info->Precision, sc = info->Scale;
    if (dictionary_.RangeValues() && p > 0) {
      const double limit = (std::pow(10.0, p) - 1) / std::pow(10.0, sc);
      if (auto* i = dynamic_cast<TIntegerField*>(f); i && i->MinValue() == 0 && i->MaxValue() == 0) {
        // Beyond the 32-bit range the field keeps no bounds of its own.
        const double r = std::round(limit);
        const int bound = r >= static_cast<double>(std::numeric_limits<int>::max())
                              ? std::numeric_limits<int>::max()
                              : static_cast<int>(r);
        i->SetMinValue(-bound);
        i->SetMaxValue(bound);
      } else if (auto* d = dynamic_cast<TFloatField*>(f); d && d->MinValue() == 0 && d->MaxValue() == 0) {
        d->SetMinValue(-limit);
        d->SetMaxValue(limit);
      }
    }
    auto* numeric = dynamic_cast<TNumericField*>(f);
    if (dictionary_.DisplayFormats() && numeric) {
      if (p == 0 || sc < 1) {
        if (p > 0 && !f->DisplayWidthStored()) f->SetDisplayWidth(p + 1);
      } else if (numeric->DisplayFormat().empty() && numeric->EditFormat().empty()) {
        const std::string integer = p <= sc ? "0" : std::string(static_cast<size_t>(p - sc - 1), '#') + "0";
        std::string grouped;
        for (size_t k = 0; k < integer.size(); ++k) {
          const size_t fromRight = integer.size() - k;
          if (k > 0 && fromRight % 3 == 0) grouped += ',';
          grouped += integer[k];
        }
        const std::string decimals = "." + std::string(static_cast<size_t>(sc), '0');
        numeric->SetDisplayFormat(grouped + decimals);
        numeric->SetEditFormat(integer + decimals);
        f->SetDisplayWidth(static_cast<int>(grouped.size() + decimals.size()) + 1);
      }
    }
  }
}
