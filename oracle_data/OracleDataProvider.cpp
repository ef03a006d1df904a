// How the Oracle dataset answers a data provider: transactions over the change log, statements with
// "?" parameters, parameters, key fields, indexes and the default order from the dictionary.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <exception>

#include "oracle/OracleObjects.h"
#include "oracle/OracleTypes.h"
#include "oracle_data/OracleData.h"
#include "platform/rtl/SysUtils.h"

using namespace oracle_data;

namespace {
// The Oracle type a provider parameter of that field type is bound as (0: skipped).
int ParamOracleType(TFieldType Type) {
  switch (Type) {
    case ftString:
      return otString;
    case ftSmallint:
    case ftInteger:
    case ftWord:
      return otInteger;
    case ftFloat:
    case ftCurrency:
    case ftBCD:
      return otFloat;
    case ftDate:
    case ftTime:
    case ftDateTime:
      return otDate;
    case ftBlob:
      return otLongRaw;
    case ftMemo:
      return otLong;
    case ftCursor:
      return otCursor;
    case ftOraBlob:
      return otBLOB;
    case ftOraClob:
      return otCLOB;
    default:
      return 0;
  }
}

// The field type a variable of that Oracle type is reported as.
TFieldType VariableFieldType(int Type) {
  switch (Type) {
    case otInteger:
      return ftInteger;
    case otFloat:
      return ftFloat;
    case otString:
      return ftString;
    case otLong:
      return ftMemo;
    case otDate:
    case otTimestamp:
    case otTimestampTZ:
    case otTimestampLTZ:
      return ftDateTime;
    case otLongRaw:
      return ftBlob;
    case otCLOB:
      return ftOraClob;
    case otBLOB:
    case otBFile:
      return ftOraBlob;
    case otCursor:
      return ftCursor;
    default:
      return ftUnknown;
  }
}

bool IsLobOrCursor(int Type) {
  return Type == otCLOB || Type == otBLOB || Type == otCursor;
}

std::string BareName(std::string Name) {
  if (!Name.empty() && Name[0] == ':') Name.erase(0, 1);
  return Name.substr(0, 30);
}

void WriteLob(TLOBLocator* Lob, const std::string& Text, bool ConvertCRLF) {
  if (Text.empty()) return;
  std::string bytes = Text;
  if (Lob->LOBType() == otCLOB && ConvertCRLF)
    bytes.erase(std::remove(bytes.begin(), bytes.end(), '\r'), bytes.end());
  Lob->Write(bytes.data(), static_cast<int64_t>(bytes.size()));
}

// At the end of the program every heap ROWID copy is to have been given back.
struct TRowIdCheck {
  ~TRowIdCheck() { CheckRowIdAllocations(stderr); }
} rowIdCheck;
}  // namespace

size_t oracle_data::NextPlaceholder(const std::string& SQL, size_t From) {
  size_t i = 0;
  while (i < SQL.size()) {
    const char c = SQL[i];
    if (c == '\'' || c == '"') {
      const size_t end = SQL.find(c, i + 1);
      i = end == std::string::npos ? SQL.size() : end + 1;
    } else if (c == '-' && i + 1 < SQL.size() && SQL[i + 1] == '-') {
      const size_t end = SQL.find('\n', i);
      i = end == std::string::npos ? SQL.size() : end + 1;
    } else if (c == '/' && i + 1 < SQL.size() && SQL[i + 1] == '*') {
      const size_t end = SQL.find("*/", i + 2);
      i = end == std::string::npos ? SQL.size() : end + 2;
    } else {
      if (c == '?' && i >= From) return i;
      ++i;
    }
  }
  return std::string::npos;
}

bool oracle_data::CheckRowIdAllocations(std::FILE* Out) {
  if (RowIdAllocations() <= 0) return true;
  std::fprintf(Out, "Assertion failed: RowIdAllocations = 0 (%d left)\n", RowIdAllocations());
  return false;
}

// ---------------------------------------------------------------------------------------------------
// Transactions

void TOracleDataSet::PSStartTransaction() {
  StartChangeLog();
  savedCommitOnPost_ = commitOnPost_;
  commitOnPost_ = false;
}

void TOracleDataSet::PSEndTransaction(bool Commit) {
  // The provider's transaction ends: posts commit as they did before it.
  commitOnPost_ = savedCommitOnPost_;
  if (providerOptions_.Contains(opNoCommit)) return;
  TOracleSession* s = Session();
  if (Commit) {
    if (s && !s->MTSControlled()) s->Commit();
    CommitUpdates();
  } else {
    // The dataset drops the changes whatever the rollback says: a session that died with the
    // transaction holds none of them. The rollback's error is reported afterwards.
    std::exception_ptr failure;
    try {
      if (s && !s->MTSControlled()) s->Rollback();
    } catch (...) {
      failure = std::current_exception();
    }
    CancelUpdates();
    if (failure) std::rethrow_exception(failure);
  }
}

std::string TOracleDataSet::PSGetTableName() {
  std::string table;
  DetermineUpdatingTable(table);
  return table;
}

void TOracleDataSet::PSSetCommandText(const std::string& CommandText) {
  Close();
  SetSQLText(CommandText);
}

// ---------------------------------------------------------------------------------------------------
// Statements and parameters

void TOracleDataSet::PSExecute() {
  // The LOB values are taken first: closing forgets the provider's parameters.
  std::vector<std::string> values;
  for (auto& [index, lob] : providerLobs_)
    values.push_back(providerParams_ && index < providerParams_->Count()
                         ? providerParams_->Items(index)->AsString()
                         : std::string());
  Close();
  Open();
  TOracleSession* s = Session();
  const bool convert = s && s->Preferences()->ConvertCRLF();
  for (size_t i = 0; i < providerLobs_.size(); ++i)
    WriteLob(providerLobs_[i].second.get(), values[i], convert);
  providerLobs_.clear();
}

void TOracleDataSet::DiscardProviderParams() {
  if (providerParams_) providerParams_->Clear();
}

int TOracleDataSet::PSExecuteStatement(const std::string& ASQL, TParams* AParams, TDataSet** ResultSet) {
  TOracleSession* s = Session();
  TOracleQuery* q = DMLQuery();
  q->Clear();
  q->DeleteVariables();
  std::string sql = ASQL;
  std::vector<std::pair<int, std::unique_ptr<TLOBLocator>>> lobs;
  size_t from = 0;
  const int count = AParams ? AParams->Count() : 0;
  for (int i = 0; i < count; ++i) {
    const size_t at = NextPlaceholder(sql, from);
    if (at == std::string::npos) throw Exception("No variable for parameter " + IntToStr(i));
    const std::string name = "V" + IntToStr(i);
    sql.replace(at, 1, ":" + name);
    from = at + name.size() + 1;
    TParam* p = AParams->Items(i);
    int type = ParamOracleType(p->DataType());
    if (type == 0 || type == otCursor || type == otLong) type = otString;
    if (type == otString && s && static_cast<int>(p->AsString().size()) > s->MaxStringChars()) type = otLong;
    q->DeclareVariable(name, type);
    if (type < otCLOB) {
      q->SetVariable(name, p->Value());
    } else {
      auto lob = std::make_unique<TLOBLocator>(s, type);
      q->SetComplexVariable(name, lob.get());
      lobs.emplace_back(i, std::move(lob));
    }
  }
  q->SQL()->SetText(sql);
  int result;
  if (ResultSet) {
    auto ds = std::make_unique<TOracleDataSet>(nullptr);
    ds->SetSession(s);
    ds->SetSQLText(sql);
    for (int i = 0; i < q->VariableCount(); ++i) {
      const std::string name = q->VariableName(i);
      ds->DeclareVariable(name, q->VariableType(i));
      if (!IsLobOrCursor(q->VariableType(i))) ds->SetVariable(name, q->GetVariable(name));
    }
    ds->Open();
    result = ds->RecordCount();
    *ResultSet = ds.release();
  } else {
    q->Execute();
    result = q->RowsProcessed();
  }
  const bool convert = s && s->Preferences()->ConvertCRLF();
  for (auto& [index, lob] : lobs)
    if (!lob->IsNull()) WriteLob(lob.get(), AParams->Items(index)->AsString(), convert);
  q->Clear();
  q->DeleteVariables();
  return result;
}

TParams* TOracleDataSet::PSGetParams() {
  if (!providerParams_) providerParams_ = std::make_unique<TParams>(this);
  TParams* params = providerParams_.get();
  TOracleQuery* main = MainQuery();
  for (int i = params->Count() - 1; i >= 0; --i)
    if (main->VariableIndex(params->Items(i)->Name()) < 0) delete params->Items(i);
  for (int i = 0; i < main->VariableCount(); ++i) {
    const std::string variable = main->VariableName(i);
    const std::string name = BareName(variable);
    const int type = main->VariableType(i);
    const TFieldType fieldType = VariableFieldType(type);
    TParam* p = params->FindParam(name);
    if (p && p->DataType() != fieldType) {
      delete p;
      p = nullptr;
    }
    if (!p) p = params->CreateParam(fieldType, name, ptInput);
    if (!IsLobOrCursor(type)) p->SetValue(main->GetVariable(variable));
  }
  return params;
}

void TOracleDataSet::PSSetParams(TParams* AParams) {
  paramsFromProvider_ = true;
  DeleteVariables();
  providerLobs_.clear();
  const int count = AParams ? AParams->Count() : 0;
  for (int i = 0; i < count; ++i) {
    TParam* p = AParams->Items(i);
    const int type = ParamOracleType(p->DataType());
    if (type == 0) continue;
    DeclareVariable(p->Name(), type);
    if (type == otCLOB || type == otBLOB) {
      auto lob = std::make_unique<TLOBLocator>(Session(), type);
      SetComplexVariable(p->Name(), lob.get());
      providerLobs_.emplace_back(i, std::move(lob));
    } else if (type != otCursor) {
      SetVariable(p->Name(), p->Value());
    }
  }
  if (!providerParams_) providerParams_ = std::make_unique<TParams>(this);
  if (AParams)
    providerParams_->Assign(AParams);
  else
    providerParams_->Clear();
}

// ---------------------------------------------------------------------------------------------------
// Keys, indexes and order

namespace {
// The constraint's columns joined by ";" when every one is a column of the dataset's query.
std::string QueryColumns(TOracleDataSet* DataSet, const TOracleConstraintInfo* Constraint) {
  std::string list;
  for (int i = 0; i < Constraint->Columns.Count(); ++i) {
    const std::string column = Constraint->Columns.Strings(i);
    bool found = false;
    TOracleFieldInfoList* infos = DataSet->FieldInfo();
    for (int k = 1; k < infos->Count() && !found; ++k) found = SameText(infos->Items(k)->ColumnName, column);
    if (!found) return {};
    list += (list.empty() ? "" : ";") + column;
  }
  return list;
}
}  // namespace

std::string TOracleDataSet::PSGetKeyFields() {
  if (providerOptions_.Contains(opNoKeyFields)) return {};
  std::string keys = TDataSet::PSGetKeyFields();
  if (!keys.empty()) return keys;
  if (ReadsCursorVariable() && Trim(uniqueFields_).empty() && Trim(updatingTable_).empty()) return {};
  if (opening_) return {};
  if (!Trim(uniqueFields_).empty()) return uniqueFields_;
  TOracleTableInfo* table = GetTableInfo();
  const TOracleConstraintInfo* chosen = nullptr;
  for (int kind : {1, 2}) {
    for (auto& c : table->Constraints()) {
      c->LoadDetails(this);
      if (c->Found && c->Kind == kind) {
        chosen = c.get();
        break;
      }
    }
    if (chosen) break;
  }
  return chosen ? QueryColumns(this, chosen) : std::string();
}

TIndexDefs* TOracleDataSet::PSGetIndexDefs(TIndexOptions IndexTypes) {
  auto defs = std::make_unique<TIndexDefs>(this);
  if (providerOptions_.Contains(opNoIndexDefs) || (ReadsCursorVariable() && Trim(updatingTable_).empty()))
    return defs.release();
  TOracleTableInfo* table = GetTableInfo();
  for (auto& c : table->Constraints()) {
    c->LoadDetails(this);
    if (!c->Found || (c->Kind != 1 && c->Kind != 2)) continue;
    const bool primary = c->Kind == 1;
    if (!IndexTypes.Contains(ixUnique) && !(IndexTypes.Contains(ixPrimary) && primary)) continue;
    const std::string columns = QueryColumns(this, c.get());
    if (columns.empty()) continue;
    TIndexOptions options{ixUnique};
    if (primary) options.Include(ixPrimary);
    defs->Add(c->Name, columns, options);
  }
  return defs.release();
}

TIndexDef* TOracleDataSet::PSGetDefaultOrder() {
  if (providerOptions_.Contains(opNoDefaultOrder)) return nullptr;
  const std::string tail = UpperCase(RemoveSQLComments(SplitSQL(SQL()->Text()).Tail));
  const int order = WordPosition("ORDER", tail);
  if (!order) return nullptr;
  const std::string afterOrder = tail.substr(static_cast<size_t>(order - 1) + 5);
  const int by = WordPosition("BY", afterOrder);
  if (!by) return nullptr;
  const std::string items = afterOrder.substr(static_cast<size_t>(by - 1) + 2);
  // The items, each ending at a blank, a double quote or a comma.
  std::vector<std::string> words;
  std::string current;
  for (char c : items) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '"' || c == ',') {
      if (!current.empty()) words.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) words.push_back(current);
  TOracleQuery* main = MainQuery();
  std::string fields, descending, caseInsensitive, previous;
  for (std::string word : words) {
    if (word == "ASC") continue;
    if (word == "DESC") {
      if (!previous.empty()) descending += (descending.empty() ? "" : ";") + previous;
      continue;
    }
    if (word == "FOR") break;
    bool upper = false;
    if (word.rfind("UPPER(", 0) == 0 && word.size() > 7 && word.back() == ')') {
      word = word.substr(6, word.size() - 7);
      upper = true;
    }
    int n = 0;
    if (TryStrToInt(word, n) && n >= 1 && n <= main->FieldCount()) word = UpperCase(main->FieldName(n - 1));
    const size_t dot = word.rfind('.');
    if (dot != std::string::npos) word = word.substr(dot + 1);
    const TOracleFieldInfo* found = nullptr;
    for (int k = 1; k < fieldInfo_.Count() && !found; ++k)
      if (UpperCase(fieldInfo_.Items(k)->ColumnName) == word) found = fieldInfo_.Items(k);
    if (!found) return nullptr;
    previous = found->Name;
    fields += (fields.empty() ? "" : ";") + previous;
    if (upper) caseInsensitive += (caseInsensitive.empty() ? "" : ";") + previous;
  }
  if (fields.empty()) return nullptr;
  auto* def = new TIndexDef(nullptr);
  def->SetFields(fields);
  def->SetDescFields(descending);
  def->SetCaseInsFields(caseInsensitive);
  return def;
}
