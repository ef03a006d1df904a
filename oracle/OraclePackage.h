// Stored procedures called through a generated PL/SQL block (TOraclePackage).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "platform/rtl/Classes.h"

enum TParameterModeOption { pmNamed, pmPositional };

// A parameter of the last call of a package.
class TPackageParameter : public TCollectionItem {
  TALVIK_CLASS(TPackageParameter, TCollectionItem)
  explicit TPackageParameter(TCollection* Collection) : TCollectionItem(Collection) {}
  std::string Name;
  std::string LocalName;  // Boolean parameters: the local variable of the block
  int ParamType = 0;      // 0 null, 252 Boolean, else a variable type code
  TVariant Value;
};

inline constexpr int ptBoolean = 252;

// Calls a stored procedure through a generated PL/SQL block.
class TOraclePackage : public TComponent, public TOracleSessionClient {
  TALVIK_CLASS(TOraclePackage, TComponent)
  explicit TOraclePackage(TComponent* AOwner);
  ~TOraclePackage() override;

  TOracleSession* Session() const { return session_; }
  void SetSession(TOracleSession* Value);
  bool Debug() const { return debug_; }
  void SetDebug(bool Value) { debug_ = Value; }
  const std::string& PackageName() const { return packageName_; }
  void SetPackageName(const std::string& Value) { packageName_ = Value; }
  TParameterModeOption ParameterMode() const { return parameterMode_; }
  void SetParameterMode(TParameterModeOption Value) { parameterMode_ = Value; }
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor Value) { cursor_ = Value; }
  bool Optimize() const { return optimize_; }
  void SetOptimize(bool Value) { optimize_ = Value; }

  // Calls the procedure. A single variant array stands for its elements; a single Int64 0 means
  // no parameters. An Int64 value (3, 4, 5, 12 or 252) marks an output parameter of that type.
  void CallProcedure(const std::string& Name, const std::vector<TVariant>& Parameters);
  TOracleQuery* Query() const { return query_.get(); }
  TCollection* Parameters() const { return parameters_.get(); }

  void SessionLoggingOff(TOracleSession* Session) override;
  void SessionDestroying(TOracleSession* Session) override;

 private:
  std::unique_ptr<TCollection> PrepareParameters(const std::vector<TVariant>& Parameters);

  TOracleSession* session_ = nullptr;
  bool debug_ = false;
  std::string packageName_;
  TParameterModeOption parameterMode_ = pmPositional;
  TCursor cursor_ = 0;
  bool optimize_ = true;
  std::unique_ptr<TOracleQuery> query_;
  std::unique_ptr<TCollection> parameters_;
  bool redeclare_ = true;
  bool firstCall_ = true;
};
