// The Oracle dataset's updates: the single-row statements it generates for posts and deletes, the
// locking and refresh policy, the commit after a post, and the change log of posted changes.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "oracle/OracleCI.h"
#include "oracle/OracleObjects.h"
#include "oracle/OracleTypes.h"
#include "oracle_data/OracleData.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"

using namespace oracle_data;

namespace {
constexpr char kLockPoint[] = "RVL__LOCKPOINT";
constexpr char kRowIdVariable[] = "rvl__rowid";
constexpr char kEndRefresh[] = "/* END_REFRESH */";
constexpr int kLockedError = 54;
constexpr char kLockedMessage[] = "Record is locked by another user";
constexpr char kChangedMessage[] = "Record has been changed by another user";
constexpr char kDeletedMessage[] = "Record has been deleted by another user";
constexpr char kNoRowIdTail[] =
    " cannot be performed without a rowid.\r\n"
    "Provide a rowid in the query or handle this action in the OnApplyRecord event";
// Units in the last place that two conversions of one decimal number may leave between them.
constexpr int64_t kConversionUlps = 2;

bool IsIdentChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return std::isalnum(u) || c == '_' || c == '$' || c == '#' || u >= 128;
}

bool IsTextType(TFieldType t) {
  return t == ftString || t == ftFixedChar || t == ftWideString || t == ftMemo || t == ftOraClob;
}

bool IsBytesType(TFieldType t) {
  return t == ftBlob || t == ftGraphic || t == ftOraBlob;
}

// A text read from the server for a string field: a field narrower than its column shows the
// first characters that fit, as the fetch does.
std::string FittingText(TField* Field, std::string Text) {
  if (Text.size() > static_cast<size_t>(Field->Size())) Text.resize(Utf8Offset(Text, Field->Size()));
  return Text;
}

std::string BytesOf(const TVariant& V) {
  if (V.IsArray()) return V.Bytes();
  return V.AsString();
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Text helpers shared by the refresh, the query-by-example criteria and the provider

int oracle_data::WordPosition(std::string_view Word, std::string_view Text) {
  std::string padded;
  padded.reserve(Text.size() + 2);
  padded += ' ';
  for (char c : Text)
    padded += IsIdentChar(c) ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : ' ';
  padded += ' ';
  std::string key = " ";
  for (char c : Word) key += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  key += ' ';
  const size_t p = padded.find(key);
  return p == std::string::npos ? 0 : static_cast<int>(p) + 1;
}

TSQLParts oracle_data::SplitSQL(const std::string& Source) {
  const std::string text = RemoveSQLComments(Source);
  // Literals, quoted names and parenthesised parts hold no keyword of the statement.
  std::string masked = text;
  int depth = 0;
  char quote = 0;
  for (char& c : masked) {
    if (quote) {
      if (c == quote) quote = 0;
      c = ' ';
    } else if (c == '\'' || c == '"') {
      quote = c;
      c = ' ';
    } else if (c == '(') {
      ++depth;
      c = ' ';
    } else if (c == ')') {
      if (depth > 0) --depth;
      c = ' ';
    } else if (depth > 0) {
      c = ' ';
    }
  }
  TSQLParts parts;
  parts.Keyword = WordPosition("GROUP", masked) ? "having" : "where";
  const int keyword = WordPosition(parts.Keyword, masked);
  int tail = WordPosition("ORDER", masked);
  if (!tail) tail = WordPosition("FOR", masked);
  const size_t end = tail ? static_cast<size_t>(tail - 1) : text.size();
  if (keyword && (!tail || keyword < tail)) {
    const size_t k = static_cast<size_t>(keyword - 1);
    parts.Head = Trim(text.substr(0, k));
    const size_t start = k + parts.Keyword.size();
    parts.Condition = Trim(text.substr(start, end - start));
  } else {
    parts.Head = Trim(text.substr(0, end));
  }
  if (tail) parts.Tail = Trim(text.substr(end));
  return parts;
}

bool oracle_data::FloatsEqual(double X, double Y) {
  if (X == 0) return std::abs(Y) < 1e-10;
  return std::abs((Y - X) / X) < 1e-10;
}

bool oracle_data::SameStoredFloat(double X, double Y) {
  if (X == Y) return true;
  if (!std::isfinite(X) || !std::isfinite(Y) || std::signbit(X) != std::signbit(Y)) return false;
  // Doubles of one sign order as their bit patterns do: the difference counts units in the last place.
  int64_t x, y;
  std::memcpy(&x, &X, sizeof x);
  std::memcpy(&y, &Y, sizeof y);
  return std::llabs(x - y) <= kConversionUlps;
}

namespace {
// The millisecond a date-time names, counted from the calendar's start: the client writes dates
// rounded to the millisecond, and a DATE keeps its whole seconds.
int64_t Milliseconds(TDateTime Value) {
  const TTimeStamp t = DateTimeToTimeStamp(Value);
  return static_cast<int64_t>(t.Date) * MSecsPerDay + t.Time;
}
}  // namespace

bool oracle_data::SameSecond(TDateTime X, TDateTime Y) {
  return Milliseconds(X) / 1000 == Milliseconds(Y) / 1000;
}

bool oracle_data::SameMillisecond(TDateTime X, TDateTime Y) {
  return Milliseconds(X) == Milliseconds(Y);
}

std::string oracle_data::AsReadBack(const std::string& Text, bool ConvertCRLF) {
  if (!ConvertCRLF || Text.find_first_of("\r\n") == std::string::npos) return Text;
  std::string sent = Text;
  sent.erase(std::remove(sent.begin(), sent.end(), '\r'), sent.end());
  return AdjustLineBreaks(sent);
}

void oracle_data::AddToList(std::string& List, const std::string& Item, bool Tight) {
  if (Item.empty()) return;
  if (!List.empty()) List += Tight ? "," : ", ";
  List += Item;
}

std::string oracle_data::FirstWord(const std::string& Text) {
  const size_t p = Text.find_first_of(" \t\r\n");
  return p == std::string::npos ? Text : Text.substr(0, p);
}

// ---------------------------------------------------------------------------------------------------
// Comparisons

bool TOracleDataSet::ValuesEqual(TField* Field, const TVariant& Value, bool UseOldValue) {
  const TVariant mine = UseOldValue ? Field->OldValue() : Field->Value();
  TOracleSession* s = Session();
  // Texts compare as the server gives them back: what the user typed may still hold LF alone.
  const bool convertCRLF = !s || s->Preferences()->ConvertCRLF();
  const auto readBack = [&](const TVariant& V) { return AsReadBack(V.AsString(), convertCRLF); };
  const TFieldType t = Field->DataType();
  bool fieldEmpty = mine.IsNull() || mine.IsEmpty();
  if (!fieldEmpty && IsTextType(t)) fieldEmpty = TrimRight(mine.AsString()).empty();
  if (!fieldEmpty && IsBytesType(t)) fieldEmpty = BytesOf(mine).empty();
  const bool serverEmpty = Value.IsNull() || Value.IsEmpty() ||
                           (Value.VarType() == varString && TrimRight(Value.AsString()).empty());
  if (fieldEmpty || serverEmpty) return fieldEmpty == serverEmpty;
  try {
    const int type = FieldOracleType(Field);
    switch (type) {
      case otLongRaw:
      case otBLOB:
        // Compare like with like: the field holds the plain bytes, the server the stored ones.
        return BytesOf(mine) == PlainBytes(Field, Value);
      case otString: {
        // The server's text is cut to the field's size, which counts characters.
        std::string server = readBack(Value);
        if (Field->Size() > 0 && server.size() > static_cast<size_t>(Field->Size()))
          server.resize(Utf8Offset(server, Field->Size()));
        return TrimRight(server) == TrimRight(readBack(mine));
      }
      case otLong:
      case otCLOB:
        return readBack(Value) == readBack(mine);
      case otDate:
        return SameSecond(mine.AsDateTime(), Value.AsDateTime());
      case otFloat:
        return SameStoredFloat(Value.AsDouble(), mine.AsDouble());
      default:
        if (IsTimestampType(type)) return SameMillisecond(mine.AsDateTime(), Value.AsDateTime());
        return mine == Value;
    }
  } catch (const EVariantError&) {
    return false;
  }
}

std::string TOracleDataSet::PlainBytes(TField* Field, const TVariant& Value) {
  std::string bytes = BytesOf(Value);
  Decompress(Field, bytes);
  return bytes;
}

bool TOracleDataSet::RecordChangedOnServer(TOracleQuery* Query) {
  for (TField* f : Fields()->List()) {
    if (f->FieldKind() != fkData) continue;
    const TOracleFieldInfo* info = fieldInfo_.FindByField(f);
    const std::string column =
        info && info->Field == f && info->Kind == 0 ? info->ColumnName : f->FieldName();
    const int index = Query->FieldIndex(column);
    if (index < 0) continue;
    if (!ValuesEqual(f, Query->Field(index), true)) return true;
  }
  return false;
}

// ---------------------------------------------------------------------------------------------------
// Transactions

TOracleQuery* TOracleDataSet::FixedStatement(std::unique_ptr<TOracleQuery>& Slot, const std::string& Text) {
  // A statement of its own, parsed once: it does not disturb the DML query's statement.
  if (!Slot) {
    Slot = std::make_unique<TOracleQuery>(nullptr);
    Slot->SetName("DMLQuery");
    Slot->SQL()->SetText(Text);
  }
  TOracleQuery* main = MainQuery();
  Slot->SetSession(main->Session());
  Slot->SetDebug(main->Debug());
  return Slot.get();
}

bool TOracleDataSet::SavepointsUsable() {
  TOracleSession* s = Session();
  return s && (changeLogging_ || (!s->ODBCMode() && !s->AutoCommit()));
}

bool TOracleDataSet::SetSavepoint() {
  if (!SavepointsUsable()) return false;
  FixedStatement(savepointQuery_, std::string("savepoint ") + kLockPoint)->Execute();
  return true;
}

void TOracleDataSet::RollbackToSavepoint() {
  // Only to the point this operation set: the session's earlier uncommitted work stays. Where no
  // savepoint could be set, a dataset that commits each post rolls the session back instead.
  try {
    if (SavepointsUsable())
      FixedStatement(rollbackQuery_, std::string("rollback to savepoint ") + kLockPoint)->Execute();
    else if (commitOnPost_ && Session())
      Session()->Rollback();
  } catch (const std::exception&) {
  }
}

void TOracleDataSet::AdoptStatement(TOracleQuery* Query, TOracleQuery* Plan, const TStatementLists& Lists) {
  // The same text and variables keep the parsed statement: only the values change.
  bool same = Query->SQL()->Text() == Plan->SQL()->Text() && Query->VariableCount() == Plan->VariableCount();
  for (int i = 0; same && i < Plan->VariableCount(); ++i)
    same = Query->VariableName(i) == Plan->VariableName(i) && Query->VariableType(i) == Plan->VariableType(i);
  if (!same) {
    Query->Clear();
    Query->SQL()->SetText(Plan->SQL()->Text());
    for (int i = 0; i < Plan->VariableCount(); ++i)
      Query->DeclareVariable(Plan->VariableName(i), Plan->VariableType(i));
  }
  for (int i = 0; i < Plan->VariableCount(); ++i) {
    const std::string name = Plan->VariableName(i);
    const TLobBinding* lob = nullptr;
    for (const TLobBinding& b : Lists.Lobs)
      if (SameText(b.Variable, name) || SameText(":" + b.Variable, name)) lob = &b;
    if (lob)
      Query->SetComplexVariable(name, lob->Locator.get());
    else
      Query->SetVariable(name, Plan->GetVariable(name));
  }
}

void TOracleDataSet::PostCommit() {
  TOracleSession* s = Session();
  if (changeLogging_ || !commitOnPost_ || !s || s->MTSControlled() || s->AutoCommit()) return;
  s->Commit();
}

void TOracleDataSet::ReleaseAfterCancel() {
  TOracleSession* s = Session();
  if (changeLogging_ || !commitOnPost_ || !s || s->MTSControlled() || s->AutoCommit()) return;
  s->Rollback();
}

[[noreturn]] void TOracleDataSet::RaiseTranslated(char Action, int Code, const std::string& Message) {
  std::string translated;
  TranslateMessage(Action, Code, translated, Message);
  DatabaseError(translated);
}

bool TOracleDataSet::ApplyRecord(char Action, std::string& NewRowId) {
  bool applied = false;
  InvokeEvent(OnApplyRecord, this, Action, applied, NewRowId);
  return applied;
}

void TOracleDataSet::CopyUsedVariables(TOracleQuery* Query, const std::string& Text) {
  std::unique_ptr<TStringList> used(FindVariables(Text, false));
  TOracleQuery* main = MainQuery();
  for (int i = 0; i < used->Count(); ++i) {
    const int index = main->VariableIndex(used->Strings(i));
    if (index < 0) continue;
    const std::string name = main->VariableName(index);
    if (Query->VariableIndex(name) < 0) Query->DeclareVariable(name, main->VariableType(index));
    Query->SetVariable(name, main->GetVariable(name));
  }
}

void TOracleDataSet::ReleaseDMLQuery() {
  ReleaseRowStatement(dmlQuery_.get());
}

void TOracleDataSet::ReleaseRowStatement(TOracleQuery* Query) {
  TOracleSession* s = Query ? Query->Session() : nullptr;
  if (Query && !(Query->Optimize() && !(s && s->StatementCacheActive()))) Query->Close();
}

TOracleQuery* TOracleDataSet::RowStatement(const std::string& Text) {
  // A lock, check or refresh runs before nearly every post: each text keeps its own parsed
  // statement (as the DML query would, were it not taken by the posts in between), so editing a
  // record does not parse it again. A few texts are kept; a dataset rarely makes more.
  constexpr size_t kKept = 4;
  auto it = rowStatements_.find(Text);
  if (it == rowStatements_.end()) {
    if (rowStatements_.size() >= kKept) {
      rowStatements_.clear();
      lastStatement_ = nullptr;
    }
    auto q = std::make_unique<TOracleQuery>(nullptr);
    q->SetName("DMLQuery");
    q->SetReadBuffer(2);
    q->DeclareVariable(kRowIdVariable, otString);
    q->SQL()->SetText(Text);
    it = rowStatements_.emplace(Text, std::move(q)).first;
  }
  TOracleQuery* q = it->second.get();
  TOracleQuery* main = MainQuery();
  q->SetSession(main->Session());
  q->SetDebug(main->Debug());
  q->SetOptimize(main->Optimize());
  q->SetStringFieldsOnly(StringFieldsOnly());
  lastStatement_ = q;
  return q;
}

// ---------------------------------------------------------------------------------------------------
// Lock, refresh and check

std::string TOracleDataSet::RefreshStatement(bool Lock) {
  std::string text = SQL()->Text();
  if (sqlModifiedForQBE_ && !plainSQL_.empty()) text = plainSQL_;
  const size_t end = UpperCase(text).find(UpperCase(std::string(kEndRefresh)));
  if (end != std::string::npos) text = TrimRight(text.substr(0, end));
  const TSQLParts parts = SplitSQL(text);
  std::string qualifier;
  UpdatingTableQualifier(qualifier);
  std::string sql = parts.Head + "\r\n";
  if (!parts.Condition.empty())
    sql += parts.Keyword + " (" + parts.Condition + ")\r\nand\r\n(" + qualifier + ".rowid = :rvl__rowid)";
  else
    sql += parts.Keyword + " " + qualifier + ".rowid = :rvl__rowid";
  if (Lock) {
    // The lock names a column of the updating table, by its column name.
    TOracleTableInfo* table = nullptr;
    try {
      table = GetTableInfo();
    } catch (const EOracleError&) {
    }
    std::string column;
    for (TField* f : Fields()->List()) {
      if (f->FieldKind() != fkData) continue;
      const TOracleFieldInfo* info = fieldInfo_.FindByField(f);
      if (!info || info->Field != f || info->Kind != 0) continue;
      if (table && !table->TableName.empty() && !table->ColumnByName(info->ColumnName)) continue;
      column = info->ColumnName;
      break;
    }
    if (column.empty()) throw Exception(Name() + ": No data fields");
    sql += "\r\nfor update of " + qualifier + "." + column + " nowait";
  }
  return sql;
}

bool TOracleDataSet::LockRefreshCheck(bool Lock, bool Check, bool Refresh, bool AllFields, uint8_t* Record) {
  const std::string rowId = Record ? GetRowIdText(Record) : RowId();
  bool savepoint = false;
  if (Lock) savepoint = SetSavepoint();
  savepointSet_ = savepoint;
  std::string newRowId;
  if (Refresh) {
    Check = false;
    bool applied;
    {
      const TDataSetState saved = SetTempState(dsNewValue);
      TScopeExit restore([&] { RestoreState(saved); });
      applied = ApplyRecord('R', newRowId);
    }
    if (applied) Refresh = false;
  }
  if (Lock && ApplyRecord('L', newRowId)) Lock = Check = false;
  if (Check && ApplyRecord('C', newRowId)) Check = false;
  if (!Lock && !Check && !Refresh) return false;
  if (rowId.empty()) throw Exception(std::string("A lock, refresh or check") + kNoRowIdTail);

  // The text first: finding the table's columns may use the DML query itself.
  std::string table;
  DetermineUpdatingTable(table);
  const std::string sql = AllFields ? RefreshStatement(Lock)
                                    : "select * from " + table + " where rowid = :rvl__rowid" +
                                          (Lock ? "\r\nfor update nowait" : "");
  TOracleQuery* q = RowStatement(sql);
  q->SetVariable(kRowIdVariable, TVariant(rowId));
  CopyUsedVariables(q, AllFields ? sql : table);
  bool result = false;
  try {
    q->Execute();
  } catch (const EOracleError& e) {
    if (Lock) RollbackToSavepoint();
    const int code = e.ErrorCode();
    RaiseTranslated('L', code, code == kLockedError ? std::string(kLockedMessage) : std::string(e.what()));
  }
  if ((Lock || Check) && q->Eof()) RaiseTranslated('L', 0, kDeletedMessage);
  if (Refresh && !q->Eof()) result = CopyRowInto(q, Record);
  if (Check && RecordChangedOnServer(q)) {
    if (Lock) RollbackToSavepoint();
    RaiseTranslated('L', 0, kChangedMessage);
  }
  ReleaseRowStatement(q);
  return result;
}

void TOracleDataSet::LockAndCheck(bool NoLock) {
  LockRefreshCheck(!NoLock, true, false, false, nullptr);
}

bool TOracleDataSet::CopyRowInto(TOracleQuery* Query, uint8_t* Record) {
  TOracleSession* s = Session();
  const bool trim = s && s->Preferences()->TrimStringFields();
  uint8_t* savedTarget = newValueRecord_;
  // A store record is written through its image, saved back at the end.
  std::vector<uint8_t> image;
  if (Record) image = ImageOf(Record);
  newValueRecord_ = Record ? image.data() : nullptr;
  const TDataSetState saved = SetTempState(dsNewValue);
  bool any = false;
  {
    TScopeExit restore([&] {
      RestoreState(saved);
      newValueRecord_ = savedTarget;
      if (Record) store_->Save(Record, image.data());
    });
    for (int i = 1; i < fieldInfo_.Count(); ++i) {
      TOracleFieldInfo* info = fieldInfo_.Items(i);
      TField* f = info->Field;
      if (!f || (f->FieldKind() != fkData && f->FieldKind() != fkInternalCalc)) continue;
      const int index = Query->FieldIndex(info->ColumnName);
      if (index < 0) continue;
      const TVariant v = Query->Field(index);
      if (ValuesEqual(f, v, false)) continue;
      if (v.IsNull() || v.IsEmpty())
        f->Clear();
      else if (f->DataType() == ftString)
        f->SetAsString(FittingText(f, trim ? TrimRight(v.AsString()) : v.AsString()));
      else if (v.IsArray())
        f->SetAsString(PlainBytes(f, v));
      else
        f->SetValue(v);
      any = true;
    }
  }
  FireEvent(AfterRefreshRecord);
  return any;
}

// ---------------------------------------------------------------------------------------------------
// Generated statements

namespace {
bool AnyObjectColumn(TOracleFieldInfoList* Infos) {
  for (int i = 1; i < Infos->Count(); ++i)
    if (Infos->Items(i)->OracleType == otObject && Infos->Items(i)->Kind != 2) return true;
  return false;
}

std::string WithoutCarriageReturns(std::string Text) {
  Text.erase(std::remove(Text.begin(), Text.end(), '\r'), Text.end());
  return Text;
}
}  // namespace

std::string TOracleDataSet::ColumnValue(TOracleQuery* Query, TOracleFieldInfo* Info, bool Insert,
                                        const std::string& Prefix, TStatementLists& Lists) {
  const std::string column = Prefix + (Info->Kind == 2 ? Info->AttributeName : Info->ColumnName);
  if (Info->OracleType == otObject) {
    std::string arguments;
    for (TOracleFieldInfo* c : Info->Children)
      AddToList(arguments, ColumnValue(Query, c, Insert, Prefix, Lists));
    return Info->TypeName + "(" + arguments + ")";
  }
  TField* f = Info->Field;
  if (Info->IsNullNew() || !f) {
    if (Insert && f && !Info->HasDefault() && sequenceField_.FillsOnServer(f->FieldName()))
      return sequenceField_.Sequence() + ".nextval";
    return Info->ValueExpression(Insert);
  }
  int index = 0;
  for (int i = 1; i < fieldInfo_.Count(); ++i)
    if (fieldInfo_.Items(i) == Info) index = i;
  const std::string variable = "v" + IntToStr(index);
  TOracleSession* s = Session();
  const bool convertCRLF = s && s->Preferences()->ConvertCRLF();
  if (Info->IsXMLType) {
    Query->DeclareVariable(variable, otString);
    Query->SetVariable(variable, TVariant(f->AsString()));
    return "sys.xmltype.createxml(:" + variable + ")";
  }
  const int type = Info->OracleType;
  Query->DeclareVariable(variable, type);
  switch (type) {
    case otLong:
      Query->SetVariable(variable, TVariant(f->AsString()));
      return ":" + variable;
    case otLongRaw: {
      const std::string bytes = f->AsString();
      TVariant a = VarArrayCreate({0, static_cast<int>(bytes.size()) - 1}, varByte);
      a.Bytes() = bytes;
      Query->SetVariable(variable, a);
      return ":" + variable;
    }
    case otCLOB:
    case otBLOB: {
      // Text goes as text (without CRs when the session converts line breaks); only binary values
      // are stored compressed.
      std::string bytes = f->AsString();
      if (type == otCLOB) {
        if (convertCRLF) bytes = WithoutCarriageReturns(bytes);
      } else {
        Compress(f, bytes);
      }
      if (Info->TemporaryLOBsAvailable()) {
        std::unique_ptr<TLOBLocator> lob(
            TLOBLocator::CreateTemporary(s, s->Preferences()->TemporaryLOB() == tlCache, type));
        if (!bytes.empty()) lob->Write(bytes.data(), static_cast<int64_t>(bytes.size()));
        Query->SetComplexVariable(variable, lob.get());
        Lists.Lobs.push_back({nullptr, std::move(lob), std::string(), variable});
        return ":" + variable;
      }
      auto lob = std::make_unique<TLOBLocator>(s, type);
      Query->SetComplexVariable(variable, lob.get());
      AddToList(Lists.Returning, column);
      AddToList(Lists.Into, ":" + variable);
      Lists.Lobs.push_back({f, std::move(lob), std::move(bytes), variable});
      return type == otCLOB ? "empty_clob()" : "empty_blob()";
    }
    default:
      Query->SetVariable(variable, f->Value());
      return ":" + variable;
  }
}

void TOracleDataSet::AddWhereLine(TOracleQuery* Query, std::string& SQL, const std::string& RowId) {
  if (Trim(uniqueFields_).empty()) {
    SQL += "where rowid = :rvl__rowid";
    if (Query->VariableIndex(kRowIdVariable) < 0) Query->DeclareVariable(kRowIdVariable, otString);
    Query->SetVariable(kRowIdVariable, TVariant(RowId));
    return;
  }
  std::vector<TField*> keys;
  for (const std::string& name : SplitFieldNames(uniqueFields_))
    if (TField* f = FindField(name)) keys.push_back(f);
  if (keys.empty()) DatabaseError("No UniqueFields are present in dataset");
  SQL += "where ";
  for (size_t i = 0; i < keys.size(); ++i) {
    TField* f = keys[i];
    if (i) SQL += "\r\nand ";
    const TVariant old = f->OldValue();
    const bool empty = old.IsNull() || old.IsEmpty() || (f->DataType() == ftString && old.AsString().empty());
    if (empty) {
      SQL += f->FieldName() + " is null";
      continue;
    }
    const std::string variable = "rvl__key" + IntToStr(static_cast<int>(i) + 1);
    SQL += f->FieldName() + " = :" + variable;
    const int type = FieldOracleType(f);
    Query->DeclareVariable(variable, type ? type : otString);
    Query->SetVariable(variable, old);
  }
}

void TOracleDataSet::BuildPostStatement(TOracleQuery* Query, bool Insert, const std::string& RowId,
                                        TStatementLists& Lists) {
  std::string table;
  DetermineUpdatingTable(table);
  const bool objects = AnyObjectColumn(&fieldInfo_);
  const std::string prefix = objects ? "t." : "";
  std::string sql;
  if (Insert) {
    std::string columns, values;
    for (int i = 1; i < fieldInfo_.Count(); ++i) {
      TOracleFieldInfo* info = fieldInfo_.Items(i);
      if (info->Kind == 2 || info->Kind == 3) continue;
      if (info->OracleType != otObject && (!info->Field || info->Field->FieldKind() != fkData)) continue;
      const bool filled = !info->IsNullNew() || info->HasDefault() ||
                          (info->Field && sequenceField_.FillsOnServer(info->Field->FieldName()));
      if (!filled) continue;
      AddToList(columns, prefix + info->ColumnName);
      AddToList(values, ColumnValue(Query, info, true, prefix, Lists));
    }
    sql = "insert into " + table + (objects ? " t" : "") + "\r\n  (" + columns + ")\r\nvalues\r\n  (" +
          values + ")";
  } else {
    std::string sets;
    for (int i = 1; i < fieldInfo_.Count(); ++i) {
      TOracleFieldInfo* info = fieldInfo_.Items(i);
      if (info->Kind == 2 || info->Kind == 3) continue;
      if (info->OracleType == otObject) {
        if (!info->IsChanged()) continue;
        if (info->IsNullOld()) {
          AddToList(sets, prefix + info->ColumnName + " = " + ColumnValue(Query, info, false, prefix, Lists));
          continue;
        }
        for (TOracleFieldInfo* c : info->Children)
          if (c->IsChanged())
            AddToList(sets, "t." + info->ColumnName + "." + c->AttributeName + " = " +
                                ColumnValue(Query, c, false, prefix, Lists));
        continue;
      }
      if (!info->Field || info->Field->FieldKind() != fkData || !info->IsChanged()) continue;
      AddToList(sets, prefix + info->ColumnName + " = " + ColumnValue(Query, info, false, prefix, Lists));
    }
    sql = "update " + table + (objects ? " t" : "") + "\r\nset " + sets + "\r\n";
    AddWhereLine(Query, sql, RowId);
  }
  TOracleSession* s = Session();
  if (s && s->HandleMode() && Trim(uniqueFields_).empty()) {
    AddToList(Lists.Returning, "rowid");
    AddToList(Lists.Into, ":rvl__rowid");
    if (Query->VariableIndex(kRowIdVariable) < 0) Query->DeclareVariable(kRowIdVariable, otString);
  }
  if (!Lists.Returning.empty()) sql += "\r\nreturning " + Lists.Returning + " into " + Lists.Into;
  Query->SQL()->SetText(sql);
  CopyUsedVariables(Query, table);
}

// ---------------------------------------------------------------------------------------------------
// Posting

namespace {
// A new record counts as empty when every data field is: no bytes for a LOB, else null or a string
// that is empty after normalisation.
bool FieldEmptyForInsert(TField* Field, bool Trim) {
  if (Field->IsBlob()) return Field->AsString().empty();
  if (Field->IsNull()) return true;
  if (Field->DataType() != ftString) return false;
  return (Trim ? TrimRight(Field->AsString()) : Field->AsString()).empty();
}
}  // namespace

void TOracleDataSet::Post() {
  if (master_ && master_->posting_ && master_->State() == dsInsert) return;
  if (qbeMode_) throw Exception("Operation not allowed in QBE mode");
  posting_ = true;
  TScopeExit done([this] { posting_ = false; });
  TDataSet::Post();
}

void TOracleDataSet::InternalPost() {
  const bool modified = Modified();
  // A field that the sequence fills at post or on the server need not have a value yet.
  TField* sequenced = nullptr;
  if (State() == dsInsert && sequenceField_.Active() && sequenceField_.ApplyMoment() != amOnNewRecord) {
    sequenced = FindField(sequenceField_.Field());
    if (sequenced && !sequenced->Required()) sequenced = nullptr;
  }
  {
    if (sequenced) sequenced->SetRequired(false);
    TScopeExit required([sequenced] {
      if (sequenced) sequenced->SetRequired(true);
    });
    TDataSet::InternalPost();
  }
  if (qbeMode_) throw Exception("Operation not allowed in QBE mode");
  if (State() == dsEdit) {
    if (cachedUpdates_) CheckConstraints(this, nullptr);
    PostRecord();
  } else {
    if (sequenceField_.ApplyMoment() == amOnPost) sequenceField_.Apply();
    if (cachedUpdates_) CheckConstraints(this, nullptr);
    InternalAddRecord(ActiveBuffer(), false);
    const int id = GetInt(ActiveBuffer(), RecIdOffset);
    for (TOracleDataSet* d : details_) d->lastMasterId_ = id;
  }
  SetModified(modified);
}

void TOracleDataSet::InternalAddRecord(TRecordBuffer Buffer, bool Append) {
  if (Buffer != ActiveBuffer()) throw Exception("InternalAddRecord: b <> buffer");
  if (Append) InternalLast();
  PostRecord();
}

void TOracleDataSet::PostRecord() {
  uint8_t* buffer = ActiveBuffer();
  if (!buffer) return;
  const bool update = State() == dsEdit;
  TOracleSession* s = Session();
  const bool trim = s && s->Preferences()->TrimStringFields();
  bool changed = false;
  for (TField* f : Fields()->List()) {
    if (f->FieldKind() != fkData) continue;
    if (update ? FieldChanged(f) : !FieldEmptyForInsert(f, trim)) {
      changed = true;
      break;
    }
  }
  // A new record that the server fills in itself is sent even without values.
  if (!update && !changed) {
    changed =
        AnyDefaultExpression() || (sequenceField_.Active() && sequenceField_.ApplyMoment() == amOnServer &&
                                   FindField(sequenceField_.Field()));
  }
  bool serverTouched = false;
  std::string newRowId;
  if (cachedUpdates_ || !changed) {
    if (!cachedUpdates_ && lockingMode_ == lmLockImmediate) PostCommit();
  } else {
    // With a lock taken now the savepoint comes with it; otherwise the statement sets its own, so a
    // failed post always goes back to the same point, whatever follows the statement.
    bool savepoint = false;
    const bool locks = update && (lockingMode_ == lmCheckImmediate || lockingMode_ == lmLockDelayed);
    if (locks) {
      LockAndCheck(false);
      savepoint = savepointSet_;
    }
    if (!update) InitNullCollections();
    if (!ApplyRecord(update ? 'U' : 'I', newRowId)) newRowId = SendRecord(update, savepoint, !locks);
    PostCommit();
    serverTouched = true;
  }

  // The record store and the change log.
  int index = 0;
  if (update) {
    uint8_t* record = StoreCurrentRecord();
    if (record) {
      if (changeLogging_ || cachedUpdates_)
        LogChange(ImageOf(record).data(), buffer, store_->VisibleToAll(std::max(currentIndex_, 0)),
                  GetInt(record, RecIdOffset), 'U');
      CopyBufferInto(buffer, record);
      if (!newRowId.empty() && newRowId != GetRowIdText(record)) SetRowIdText(record, newRowId);
    }
    index = std::max(currentIndex_, 0);
  } else {
    index = std::clamp(currentIndex_, 0, store_->VisibleCount());
    uint8_t* record = store_->AddRecord(index, true);
    InitRecordHeader(record);
    store_->SaveData(record, buffer);
    SetRowIdText(record, newRowId);
    CopyEditBlobs(record, true);
    SetInt(record, RecIdOffset, ++recordIdCounter_);
    SetInt(buffer, RecIdOffset, recordIdCounter_);
    record[BookmarkFlagOffset] = 0;
    currentIndex_ = index;
    if (!cachedUpdates_) ++netAdded_;
    if (changeLogging_ || cachedUpdates_)
      LogChange(nullptr, ImageOf(record).data(), store_->IndexOf(record), recordIdCounter_, 'I');
    if (master_ && master_->Active()) master_->LockLinkFields(false);
  }

  if (!serverTouched) return;
  const bool refresh = update ? refreshOptions_.Contains(roAfterUpdate)
                              : refreshOptions_.Contains(roAfterInsert) || AnyDefaultExpression() ||
                                    (sequenceField_.Active() && sequenceField_.ApplyMoment() == amOnServer);
  if (!refresh || store_->VisibleCount() == 0) return;
  const int at = std::min(std::max(currentIndex_, 0), store_->VisibleCount() - 1);
  uint8_t* record = store_->VisibleRecord(at);
  LockRefreshCheck(false, false, true, refreshOptions_.Contains(roAllFields), record);
  // The buffer shows what was read.
  std::memcpy(buffer + HeaderSize, ImageOf(record).data() + HeaderSize,
              static_cast<size_t>(calcFieldsOffset_));
}

std::string TOracleDataSet::SendRecord(bool Update, bool Savepoint, bool SavepointWhenNeeded) {
  uint8_t* buffer = ActiveBuffer();
  TOracleSession* s = Session();
  TOracleQuery* q = DMLQuery();
  TStatementLists lists;
  const std::string oldRowId = Update ? GetRowIdText(buffer) : std::string();
  if (!planQuery_) planQuery_ = std::make_unique<TOracleQuery>(nullptr);
  TOracleQuery* plan = planQuery_.get();
  // The plan's variables convert texts as the session does: without it they would be read back
  // with CR LF line breaks even where the session keeps the text as typed.
  plan->SetSession(q->Session());
  try {
    plan->Clear();
    BuildPostStatement(plan, !Update, oldRowId, lists);
    AdoptStatement(q, plan, lists);
    // A post that took no lock sets its savepoint before every statement, whatever follows it, so a
    // failed post always goes back to the same point.
    if (SavepointWhenNeeded) Savepoint = SetSavepoint();
    q->Execute();
    std::string rowId;
    if (s && !s->ODBCMode() && Trim(uniqueFields_).empty()) {
      if (s->HandleMode()) {
        const TVariant v = q->GetVariable(kRowIdVariable);
        rowId = v.IsNull() || v.IsEmpty() ? std::string() : v.AsString();
      } else if (!Update) {
        rowId = q->RowId();
      }
    }
    if (Update && q->RowsProcessed() == 0) RaiseTranslated('U', 0, kDeletedMessage);
    // The bytes were made ready for the server when the statement was built.
    for (TLobBinding& b : lists.Lobs) {
      if (!b.Field || b.Locator->IsNull() || b.Bytes.empty()) continue;
      b.Locator->Write(b.Bytes.data(), static_cast<int64_t>(b.Bytes.size()));
    }
    lists.Lobs.clear();
    // Read by key once the statement's locators are done with (it uses the same query).
    if (!Update && (!s || s->ODBCMode() || !Trim(uniqueFields_).empty())) rowId = RowIdByKey(false);
    return rowId;
  } catch (const EOracleError& e) {
    if (Savepoint) RollbackToSavepoint();
    lists.Lobs.clear();
    RaiseTranslated(Update ? 'U' : 'I', e.ErrorCode(), e.what());
  } catch (...) {
    if (Savepoint) RollbackToSavepoint();
    throw;
  }
}

void TOracleDataSet::CopyBufferInto(const uint8_t* Buffer, uint8_t* Record) {
  std::vector<uint8_t> image = ImageOf(Record);
  std::memcpy(image.data() + HeaderSize, Buffer + HeaderSize, static_cast<size_t>(calcFieldsOffset_));
  store_->SaveData(Record, image.data());
  CopyEditBlobs(Record, false);
}

void TOracleDataSet::CopyEditBlobs(uint8_t* Record, bool All) {
  if (!editBlobs_) return;
  for (int i = 0; i < editBlobs_->Count(); ++i) {
    TOracleBlob* edit = editBlobs_->Items(i);
    auto* blobField = dynamic_cast<TBlobField*>(edit->Field());
    const bool modified = blobField && blobField->Modified();
    if (!modified && !All) continue;
    TBlobList* list = EnsureBlobList(Record);
    TOracleBlob* target = list->BlobByField(edit->Field());
    if (!target) target = list->Add(edit->Field());
    target->SetData(modified ? edit->Data() : std::string());
  }
}

// ---------------------------------------------------------------------------------------------------
// Edit, cancel and delete

void TOracleDataSet::InternalEdit() {
  const bool refresh = refreshOptions_.Contains(roBeforeEdit);
  if ((lockingMode_ == lmLockDelayed || lockingMode_ == lmNone) && !refresh) return;
  if (uint8_t* record = StoreCurrentRecord();
      record && changeLog_.FindByRecordId(GetInt(record, RecIdOffset)))
    return;
  const bool lock = lockingMode_ == lmLockImmediate;
  bool check = lock || lockingMode_ == lmCheckImmediate;
  if (refresh) check = false;
  LockRefreshCheck(lock, check, refresh, refresh && refreshOptions_.Contains(roAllFields), nullptr);
  if (!refresh) return;
  // The edit starts from what the server holds.
  uint8_t* record = StoreCurrentRecord();
  if (record)
    std::memcpy(ActiveBuffer() + HeaderSize, ImageOf(record).data() + HeaderSize,
                static_cast<size_t>(calcFieldsOffset_));
}

void TOracleDataSet::InternalCancel() {
  if (lockingMode_ == lmLockImmediate && !cachedUpdates_ && State() != dsInsert) ReleaseAfterCancel();
}

void TOracleDataSet::InternalDelete() {
  if (qbeMode_) throw Exception("Operation not allowed in QBE mode");
  uint8_t* record = StoreCurrentRecord();
  if (!record || IsEmpty()) return;
  const int32_t id = GetInt(record, RecIdOffset);
  if (cachedUpdates_) {
    if ((lockingMode_ == lmLockImmediate || lockingMode_ == lmCheckImmediate) &&
        !changeLog_.FindByRecordId(id))
      LockAndCheck(lockingMode_ != lmLockImmediate);
  } else {
    const bool locked = lockingMode_ != lmNone;
    if (locked) LockAndCheck(false);
    std::string ignored;
    try {
      if (!ApplyRecord('D', ignored)) {
        TOracleQuery* q = DMLQuery();
        q->Clear();
        q->DeleteVariables();
        const std::string rowId = GetRowIdText(record);
        if (rowId.empty()) throw Exception(std::string("A delete") + kNoRowIdTail);
        std::string table;
        DetermineUpdatingTable(table);
        std::string sql = "delete from " + table + "\r\n";
        AddWhereLine(q, sql, rowId);
        q->SQL()->SetText(sql);
        CopyUsedVariables(q, table);
        q->Execute();
        if (q->RowsProcessed() == 0) RaiseTranslated('D', 0, kDeletedMessage);
      }
    } catch (const EOracleError& e) {
      if (locked && savepointSet_) RollbackToSavepoint();
      RaiseTranslated('D', e.ErrorCode(), e.what());
    } catch (...) {
      if (locked && savepointSet_) RollbackToSavepoint();
      throw;
    }
    PostCommit();
  }
  const int index = std::max(currentIndex_, 0);
  if (changeLogging_ || cachedUpdates_)
    LogChange(ImageOf(record).data(), nullptr, store_->VisibleToAll(index), id, 'D');
  store_->DeleteRecord(index, true);
  if (master_ && master_->Active()) master_->LockLinkFields(false);
  LockLinkFields(false);
  if (!cachedUpdates_) --netAdded_;
}

// ---------------------------------------------------------------------------------------------------
// The change log

void TOracleDataSet::LogChange(const uint8_t* Record, const uint8_t* Buffer, int Index, int32_t RecordId,
                               char Action) {
  if (!cachedUpdates_ && !changeLogging_) return;
  for (int i = changeLog_.Count() - 1; i >= 0; --i) {
    TChangeLogItem* item = changeLog_.Items(i);
    if (item->RecordId() != RecordId || !item->BelongsToCurrentMaster()) continue;
    if (item->Action == 'I' && Action == 'U') {
      item->SetNewRecord(Buffer);
      item->SetRecordId(RecordId);
    } else if (item->Action == 'I' && Action == 'D') {
      changeLog_.Delete(i);
    } else if (item->Action == 'U' && Action == 'U') {
      item->SetNewRecord(Buffer);
      item->SetRecordId(RecordId);
    } else if (item->Action == 'U' && Action == 'D') {
      item->SetNewRecord(nullptr);
      item->Action = 'D';
      item->Index = Index;
    }
    return;
  }
  if (Action == 'I' || Action == 'D') {
    const int shift = Action == 'I' ? 1 : -1;
    for (int i = 0; i < changeLog_.Count(); ++i) {
      TChangeLogItem* item = changeLog_.Items(i);
      if (item->Action == 'I' && item->Index >= Index && item->BelongsToCurrentMaster()) item->Index += shift;
    }
  }
  TChangeLogItem* item = changeLog_.Add();
  item->Action = Action;
  item->Index = Index;
  item->Uncached = !cachedUpdates_;
  if (Record) item->SetOldRecord(Record);
  if (Buffer) item->SetNewRecord(Buffer);
  item->SetRecordId(RecordId);
}

void TOracleDataSet::StartChangeLog() {
  changeLog_.Clear();
  changeLogging_ = true;
}

bool TOracleDataSet::UpdatesPending() const {
  return cachedUpdates_ && changeLog_.Count() > 0;
}

void TOracleDataSet::CommitUpdates() {
  int net = 0;
  for (int i = 0; i < changeLog_.Count(); ++i) {
    TChangeLogItem* item = changeLog_.Items(i);
    if (!item->BelongsToCurrentMaster()) continue;
    if (item->Action == 'I') ++net;
    if (item->Action == 'D') --net;
  }
  netAdded_ = net;
  changeLog_.Clear();
  changeLogging_ = false;
  if (Active()) DataEvent(deDataSetChange, 0);
}

void TOracleDataSet::CancelUpdates() {
  if (!Active()) {
    changeLog_.Clear();
    changeLogging_ = false;
    return;
  }
  Cancel();
  for (int i = changeLog_.Count() - 1; i >= 0; --i) changeLog_.Items(i)->Revert();
  changeLog_.Clear();
  changeLogging_ = false;
  currentIndex_ = std::min(currentIndex_, store_->VisibleCount() - 1);
  if (master_ && master_->Active()) master_->LockLinkFields(false);
  LockLinkFields(false);
  RefreshDetails(true);
  Resync({});
  DataEvent(deDataSetChange, 0);
}
