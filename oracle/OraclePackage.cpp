// TOraclePackage: stored procedure calls through a generated PL/SQL block.
#include "oracle/OraclePackage.h"

#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"

namespace {

int ParameterTypeOf(const TVariant& Value, const std::string& Name) {
  switch (Value.VarType()) {
    case varEmpty:
    case varNull:
      return 0;
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varWord:
      return otInteger;
    case varSingle:
    case varDouble:
    case varCurrency:
    case varLongWord:
      return otFloat;
    case varDate:
      return otDate;
    case varString:
    case varOleStr:
      return otString;
    case varBoolean:
      return ptBoolean;
    case varInt64: {
      int64_t type = Value.AsInt64();
      if (type != otInteger && type != otFloat && type != otString && type != otDate && type != ptBoolean)
        throw Exception("Int64 parameters can only be used for output parameter types");
      return static_cast<int>(type);
    }
    default:
      throw Exception("Type of parameter " + Name + " not supported");
  }
}

}  // namespace

TOraclePackage::TOraclePackage(TComponent* AOwner)
    : TComponent(AOwner),
      query_(std::make_unique<TOracleQuery>(nullptr)),
      parameters_(std::make_unique<TCollection>(CollectionItemClass<TPackageParameter>)) {
  query_->SetName("Query");
}

TOraclePackage::~TOraclePackage() {
  query_.reset();
  if (session_) session_->RemovePackage(this);
}

void TOraclePackage::SetSession(TOracleSession* Value) {
  if (Value == session_) return;
  if (session_) session_->RemovePackage(this);
  session_ = Value;
  query_->SetSession(Value);
  if (session_) session_->AddPackage(this);
}

void TOraclePackage::SessionLoggingOff(TOracleSession* /*Session*/) {}

void TOraclePackage::SessionDestroying(TOracleSession* /*Session*/) {
  session_ = nullptr;
}

std::unique_ptr<TCollection> TOraclePackage::PrepareParameters(const std::vector<TVariant>& Parameters) {
  std::vector<TVariant> items = Parameters;
  if (items.size() == 1 && items[0].IsArray()) {
    TVariant a = items[0];
    items.clear();
    for (int i = a.LowBound(); i <= a.HighBound(); ++i) items.push_back(a.GetElement(i));
  } else if (items.size() == 1 && items[0].VarType() == varInt64 && items[0].AsInt64() == 0) {
    items.clear();
  }
  auto list = std::make_unique<TCollection>(CollectionItemClass<TPackageParameter>);
  int booleans = 0;
  auto add = [&](const std::string& Name, const TVariant& Value) {
    auto* p = static_cast<TPackageParameter*>(list->Add());
    p->Name = Name;
    p->ParamType = ParameterTypeOf(Value, Name);
    if (p->ParamType == ptBoolean) p->LocalName = "rvl__boolean" + IntToStr(++booleans);
    p->Value = Value.VarType() == varInt64 ? Null() : Value;
  };
  if (parameterMode_ == pmNamed) {
    if (items.size() % 2 != 0)
      throw Exception("Even number of parameters required when ParameterMode = pmNamed");
    for (size_t i = 0; i < items.size(); i += 2) {
      if (!VarIsStr(items[i])) throw Exception("Parameter names must be strings");
      add(items[i].AsString(), items[i + 1]);
    }
  } else {
    for (size_t i = 0; i < items.size(); ++i) add("p" + IntToStr(static_cast<int>(i + 1)), items[i]);
  }
  return list;
}

void TOraclePackage::CallProcedure(const std::string& Name, const std::vector<TVariant>& Parameters) {
  std::unique_ptr<TCollection> list = PrepareParameters(Parameters);
  bool same = !firstCall_ && optimize_ && list->Count() == parameters_->Count();
  for (int i = 0; same && i < list->Count(); ++i) {
    auto* a = static_cast<TPackageParameter*>(list->Items(i));
    auto* b = static_cast<TPackageParameter*>(parameters_->Items(i));
    same = a->ParamType == b->ParamType && a->Name == b->Name;
  }
  if (!same) redeclare_ = true;
  firstCall_ = false;
  parameters_ = std::move(list);

  TOracleQuery* q = query_.get();
  q->SetSession(session_);
  q->SetDebug(debug_);
  q->SetCursor(cursor_);
  q->SetOptimize(optimize_);
  TStrings* sql = q->SQL();
  sql->BeginUpdate();
  sql->Clear();
  if (redeclare_) q->DeleteVariables();
  std::vector<std::string> declarations, assignments, arguments;
  for (int i = 0; i < parameters_->Count(); ++i) {
    auto* p = static_cast<TPackageParameter*>(parameters_->Items(i));
    std::string argument = parameterMode_ == pmNamed ? p->Name + " => " : std::string();
    if (p->ParamType == 0) {
      argument += "Null";
    } else if (p->ParamType == ptBoolean) {
      argument += p->LocalName;
      declarations.push_back("  " + p->LocalName + " boolean := sys.diutil.int_to_bool(:" + p->Name + ");");
      assignments.push_back("  :" + p->Name + " := sys.diutil.bool_to_int(" + p->LocalName + ");");
      if (redeclare_) q->DeclareVariable(p->Name, otInteger);
      TVariant bound =
          p->Value.IsEmpty() || p->Value.IsNull() ? TVariant() : TVariant(p->Value.AsBoolean() ? 1 : 0);
      q->SetVariable(p->Name, bound);
    } else {
      argument += ":" + p->Name;
      if (redeclare_) q->DeclareVariable(p->Name, p->ParamType);
      q->SetVariable(p->Name, p->Value);
    }
    arguments.push_back(argument);
  }
  redeclare_ = false;
  std::string call = "  ";
  if (!packageName_.empty()) call += packageName_ + ".";
  call += Name;
  if (!arguments.empty()) {
    call += "(";
    for (size_t i = 0; i < arguments.size(); ++i) call += (i ? ", " : "") + arguments[i];
    call += ")";
  }
  call += ";";
  if (!declarations.empty()) {
    sql->Add("declare");
    for (auto& d : declarations) sql->Add(d);
  }
  sql->Add("begin");
  sql->Add(call);
  for (auto& a : assignments) sql->Add(a);
  sql->Add("end;");
  sql->EndUpdate();
  q->Execute();
}
