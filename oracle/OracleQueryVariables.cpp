// TOracleQuery: declaring, dimensioning, setting and reading its variables.
#include <cstring>

#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"

namespace {

// Upper-cased, with a leading ':' (an empty name stays empty).
std::string NormaliseName(const std::string& Name) {
  if (Name.empty()) return Name;
  std::string n = AnsiUpperCase(Name);
  if (n[0] != ':') n.insert(n.begin(), ':');
  return n;
}

}  // namespace

TVariableData* TOracleQuery::FindVariable(const std::string& Name) const {
  return variables_->Find(NormaliseName(Name));
}

void TOracleQuery::VariablesChanged() {
  lastParsed_.clear();
  if (session_ && session_->ODBCMode() && cursorOpen_ && session_->Connected()) CloseCursor();
}

void TOracleQuery::DeclareVariable(const std::string& Name, int Type) {
  std::string name = NormaliseName(Name);
  if (name.empty()) throw Exception("You cannot declare a variable with an empty name");
  int size = VariableElementSize(Type);
  if (size < 0) throw Exception("Unsupported variable type");
  TCollection* items = variables_->Collection();
  int index = variables_->IndexOf(name);
  TVariableData* v;
  if (index >= 0) {
    items->Delete(index);
    v = static_cast<TVariableData*>(items->Insert(index));
  } else {
    v = static_cast<TVariableData*>(items->Add());
  }
  v->varType = static_cast<int16_t>(Type);
  v->name = name;
  v->elementCount = 0;
  v->SetArraySize(1, -1, session_);
  v->lowBound = 0;
  v->elementSize = size;
  v->isComplex = IsComplexType(Type);
  v->ownsBuffer = !v->isComplex;
  if (size >= 1) {
    v->buffer = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(size), 1));
    if (!v->buffer) throw std::bad_alloc();
  }
  VariablesChanged();
}

void TOracleQuery::DimPLSQLTable(const std::string& Name, int TableSize, int StringSize) {
  TVariableData* v = FindVariable(Name);
  if (!v) throw Exception("Variable " + Name + " not declared");
  if (v->varType != otInteger && v->varType != otFloat && v->varType != otString && v->varType != otDate)
    throw Exception("Only PL/SQL Tables of strings, integers, floats and dates supported");
  if (v->varType == otString && StringSize <= 0)
    throw Exception("You must specify a string size for a PL/SQL Table of strings");
  if (v->varType != otString && StringSize != 0)
    throw Exception("You can only specify a string size for a PL/SQL Table of strings");
  if (TableSize <= 0) throw Exception("You must specify the size of the PL/SQL Table");
  bool unchanged =
      v->isPLSQLTable && v->elementCount == TableSize && (StringSize < 1 || v->elementSize == StringSize + 1);
  v->isPLSQLTable = true;
  if (!unchanged) v->tableEntries = 0;
  v->SetArraySize(TableSize, StringSize, session_);
}

void TOracleQuery::DeleteVariable(const std::string& Name) {
  int index = variables_->IndexOf(NormaliseName(Name));
  if (index < 0) throw Exception("Variable " + Name + " not declared");
  variables_->Collection()->Delete(index);
  VariablesChanged();
}

void TOracleQuery::DeleteVariables() {
  variables_->Collection()->Clear();
  VariablesChanged();
}

void TOracleQuery::SetVariable(const std::string& Name, const TVariant& Value) {
  TVariableData* v = FindVariable(Name);
  if (!v) throw Exception("Variable " + Name + " not declared");
  if (Value.IsArray() && v->varType != otLongRaw) {
    if (v->isComplex) throw Exception(v->name + " is a complex variable and cannot be an array");
    if (v->varType == otSubst)
      throw Exception(v->name + " is a substitution variable and cannot be an array");
    int low = Value.LowBound();
    int high = Value.HighBound();
    int count = high - low + 1;
    if (v->isPLSQLTable) {
      if (count > v->elementCount)
        throw Exception("Array is larger than PL/SQL Table (" + IntToStr(count) + " > " +
                        IntToStr(v->elementCount) + ")");
      v->tableEntries = static_cast<ub4>(count > 0 ? count : 0);
    } else {
      v->SetArraySize(count, -1, session_);
    }
    v->lowBound = low;
    for (int i = low; i <= high; ++i) v->StoreValue(i - low, Value.GetElement(i), session_);
    return;
  }
  if (v->isPLSQLTable) {
    if (!Value.IsNull() && !Value.IsEmpty())
      throw Exception(v->name + " is a PL/SQL Table, assign a variant array to it");
    v->tableEntries = 0;
    return;
  }
  v->SetArraySize(1, -1, session_);
  v->elementCount = 1;
  v->lowBound = 0;
  v->StoreValue(0, Value, session_);
}

TVariant TOracleQuery::GetVariable(const std::string& Name) {
  TVariableData* v = FindVariable(Name);
  if (!v) throw Exception("Unknown variable: " + Name);
  if (v->isPLSQLTable || v->elementCount != 1) {
    int n = v->isPLSQLTable
                ? static_cast<int>(std::min<ub4>(v->tableEntries, static_cast<ub4>(v->elementCount)))
                : v->elementCount;
    if (n < 1) return NullVariant(session_);
    TVariant a = VarArrayCreate({v->lowBound, v->lowBound + n - 1}, varVariant);
    for (int i = 0; i < n; ++i)
      a.SetElement(v->lowBound + i,
                   v->indicators[i] == -1 ? NullVariant(session_) : v->ElementValue(i, session_));
    return a;
  }
  if (v->isComplex) {
    if (v->objectReference) return TVariant::FromObject(v->objectReference);
    if (IsTimestampType(v->varType) && v->indicators[0] != -1) return TVariant::FromDate(v->timestampValue);
    return NullVariant(session_);
  }
  if (v->indicators[0] == -1) return NullVariant(session_);
  TVariant value = v->ElementValue(0, session_);
  if (v->varType == otLong && VarIsStr(value)) value = ExpandLineBreaks(value.AsString(), session_);
  return value;
}

void TOracleQuery::SetComplexVariable(const std::string& Name, TObject* Object) {
  TVariableData* v = FindVariable(Name);
  if (!v) throw Exception("Unknown variable: " + Name);
  if (!v->isComplex) throw Exception(v->name + " is not a complex variable");
  if (Object) {
    const char* wanted;
    if (IsTimestampType(v->varType))
      wanted = "TOracleTimestamp";
    else if (v->varType == otObject)
      wanted = "TOracleObject";
    else if (v->varType == otReference)
      wanted = "TOracleReference";
    else if (IsLOBType(v->varType))
      wanted = "TLOBLocator";
    else
      wanted = "TOracleQuery";
    if (!Object->InheritsFrom(std::string_view(wanted)))
      throw Exception(std::string("Assign ") + wanted + " instance to variable " + v->name);
  }
  v->objectReference = Object;
  v->indicators[0] = Object ? 0 : -1;
}

int TOracleQuery::VariableCount() const {
  return variables_->Count();
}

std::string TOracleQuery::VariableName(int Index) const {
  if (Index < 0 || Index >= variables_->Count())
    throw Exception("Variable " + IntToStr(Index) + " does not exist");
  return variables_->Items(Index)->name;
}

int TOracleQuery::VariableType(int Index) const {
  if (Index < 0 || Index >= variables_->Count())
    throw Exception("Variable " + IntToStr(Index) + " does not exist");
  return variables_->Items(Index)->varType;
}

int TOracleQuery::VariableIndex(const std::string& Name) const {
  return variables_->IndexOf(NormaliseName(Name));
}
