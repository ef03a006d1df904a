// The filter-expression engine: turns a dataset filter text such as "prname = 'USER'" into a tree of
// typed value nodes that is evaluated once per record, and the "*"/"?" wildcard matcher.
//
// Names that are not words of the engine are handed to a resolver the caller supplies; the dataset
// answers with its own node class that reads the current record's column.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/db/DB.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

// Every parse and evaluation error of the engine.
TALVIK_DECLARE_EXCEPTION(EExpression, Exception);

// Value types, in the order that decides the common type of two operands (the first one wins).
enum TExprType { etDate, etString, etFloat, etInteger, etBoolean };

enum TOperator {
  opNot,
  opMult,
  opDivide,
  opDiv,
  opMod,
  opAnd,
  opShl,
  opShr,
  opPlus,
  opMinus,
  opOr,
  opXor,
  opEq,
  opNEQ,
  opLT,
  opGT,
  opLTE,
  opGTE
};

// The dataset's filter options (TFilterOption, TFilterOptions) are the dataset framework's.

// The type names and operator names that messages show ("Integer", "opAnd").
const char* ExprTypeName(TExprType Type);
const char* OperatorName(TOperator Op);

// The type of an operator node whose operand (or common) type is Type; raises EExpression
// "Operator %s incompatible with %s" for a pair the type rules do not allow.
TExprType ResultType(TOperator Op, TExprType Type);
// The one of two types that comes first in the order Date, String, Float, Integer, Boolean.
TExprType CommonType(TExprType A, TExprType B);

// The base of every node. An accessor a node does not override converts from the node's own type
// (ExprType) or raises EExpression "Cannot read <type> as ...". A node class of the caller's
// overrides ExprType and the accessor of each type it can report, and IsNull when its value can be
// null.
class TExpression : public TObject {
  TALVIK_CLASS(TExpression, TObject)
  TExpression() = default;

  virtual TDateTime AsDate() const;
  virtual std::string AsString() const;
  virtual double AsFloat() const;
  virtual int32_t AsInteger() const;
  virtual bool AsBoolean() const;
  virtual bool IsNull() const { return false; }
  virtual TExprType ExprType() const = 0;
};

// The argument nodes of a function call, in order; frees them when it is destroyed or cleared.
class TParameterList : public TList {
  TALVIK_CLASS(TParameterList, TList)
  TParameterList() = default;
  ~TParameterList() override;
  void Clear() override;
  // Takes ownership of Param.
  int Add(std::unique_ptr<TExpression> Param);
  TExpression* Param(int Index) const { return static_cast<TExpression*>(Items(Index)); }
};

class TStringLiteral : public TExpression {
  TALVIK_CLASS(TStringLiteral, TExpression)
  explicit TStringLiteral(std::string Value) : value_(std::move(Value)) {}
  std::string AsString() const override { return value_; }
  TDateTime AsDate() const override;
  TExprType ExprType() const override { return etString; }

 private:
  std::string value_;
};

class TFloatLiteral : public TExpression {
  TALVIK_CLASS(TFloatLiteral, TExpression)
  explicit TFloatLiteral(double Value) : value_(Value) {}
  double AsFloat() const override { return value_; }
  TDateTime AsDate() const override { return value_; }
  std::string AsString() const override;
  TExprType ExprType() const override { return etFloat; }

 private:
  double value_;
};

class TIntegerLiteral : public TExpression {
  TALVIK_CLASS(TIntegerLiteral, TExpression)
  explicit TIntegerLiteral(int32_t Value) : value_(Value) {}
  int32_t AsInteger() const override { return value_; }
  double AsFloat() const override { return value_; }
  TDateTime AsDate() const override { return value_; }
  std::string AsString() const override;
  TExprType ExprType() const override { return etInteger; }

 private:
  int32_t value_;
};

class TBooleanLiteral : public TExpression {
  TALVIK_CLASS(TBooleanLiteral, TExpression)
  explicit TBooleanLiteral(bool Value) : value_(Value) {}
  bool AsBoolean() const override { return value_; }
  int32_t AsInteger() const override { return value_ ? 1 : 0; }
  double AsFloat() const override { return value_ ? 1 : 0; }
  TDateTime AsDate() const override { return value_ ? 1 : 0; }
  std::string AsString() const override { return value_ ? "TRUE" : "FALSE"; }
  TExprType ExprType() const override { return etBoolean; }

 private:
  bool value_;
};

// NOT, unary "+" and unary "-".
class TUnaryOp : public TExpression {
  TALVIK_CLASS(TUnaryOp, TExpression)
  TUnaryOp(TOperator Op, std::unique_ptr<TExpression> Operand);
  double AsFloat() const override;
  int32_t AsInteger() const override;
  bool AsBoolean() const override;
  TExprType ExprType() const override { return ResultType(op_, operandType_); }

 private:
  std::unique_ptr<TExpression> operand_;
  TOperator op_;
  TExprType operandType_;
};

// The arithmetic, logical and shift operators (opMult to opXor).
class TBinaryOp : public TExpression {
  TALVIK_CLASS(TBinaryOp, TExpression)
  TBinaryOp(TOperator Op, std::unique_ptr<TExpression> Left, std::unique_ptr<TExpression> Right);
  TDateTime AsDate() const override;
  std::string AsString() const override;
  double AsFloat() const override;
  int32_t AsInteger() const override;
  bool AsBoolean() const override;
  TExprType ExprType() const override { return ResultType(op_, commonType_); }

 private:
  std::unique_ptr<TExpression> left_;
  std::unique_ptr<TExpression> right_;
  TOperator op_;
  TExprType commonType_;
};

// The comparisons (opEq to opGTE), null-aware. Texts compare folded to upper case under
// foCaseInsensitive, and "=" / "<>" match wildcards unless foNoPartialCompare is given: the options
// of the parse that made the node, kept by the node.
class TRelationalOp : public TExpression {
  TALVIK_CLASS(TRelationalOp, TExpression)
  TRelationalOp(TOperator Op, std::unique_ptr<TExpression> Left, std::unique_ptr<TExpression> Right,
                TFilterOptions Options = {});
  bool AsBoolean() const override;
  TExprType ExprType() const override { return etBoolean; }
  bool CaseInsensitive() const { return caseInsensitive_; }
  bool PartialCompare() const { return partialCompare_; }

 private:
  std::unique_ptr<TExpression> left_;
  std::unique_ptr<TExpression> right_;
  TOperator op_;
  bool caseInsensitive_;
  bool partialCompare_;
};

// A call of one of the engine's functions. Arguments are checked when the function is evaluated.
class TFunction : public TExpression {
  TALVIK_CLASS(TFunction, TExpression)
  explicit TFunction(std::unique_ptr<TParameterList> Params) : params_(std::move(Params)) {}
  // The argument at Index; EListError when there is no such argument.
  TExpression* Param(int Index) const;
  int ParameterCount() const { return params_ ? params_->Count() : 0; }

 protected:
  // Raises "Invalid parameter to <Name>" unless there are Count arguments, each of a type at least
  // the one given (Float accepts Float, Integer and Boolean).
  void CheckParams(const char* Name, std::initializer_list<TExprType> AtLeast) const;

 private:
  std::unique_ptr<TParameterList> params_;
};

// DATE, STRING, FLOAT, INTEGER, BOOLEAN: the argument read as it is, reported as another type.
class TTypeCast : public TFunction {
  TALVIK_CLASS(TTypeCast, TFunction)
  TTypeCast(int Index, std::unique_ptr<TParameterList> Params);
  TDateTime AsDate() const override { return Arg()->AsDate(); }
  std::string AsString() const override { return Arg()->AsString(); }
  double AsFloat() const override { return Arg()->AsFloat(); }
  int32_t AsInteger() const override { return Arg()->AsInteger(); }
  bool AsBoolean() const override { return Arg()->AsBoolean(); }
  TExprType ExprType() const override { return static_cast<TExprType>(index_); }

 private:
  TExpression* Arg() const;
  int index_;
};

// TRUNC, ROUND, ABS, ARCTAN, COS, EXP, FRAC, INT, LN, PI, SIN, SQR, SQRT, POWER.
class TMathExpression : public TFunction {
  TALVIK_CLASS(TMathExpression, TFunction)
  TMathExpression(int Index, std::unique_ptr<TParameterList> Params);
  double AsFloat() const override;
  int32_t AsInteger() const override;
  TExprType ExprType() const override;

 private:
  void Check() const;
  int index_;
};

// UPPER, LOWER, COPY, POS, LENGTH; lengths and positions count characters.
class TStringExpression : public TFunction {
  TALVIK_CLASS(TStringExpression, TFunction)
  TStringExpression(int Index, std::unique_ptr<TParameterList> Params);
  std::string AsString() const override;
  int32_t AsInteger() const override;
  TExprType ExprType() const override { return index_ <= 2 ? etString : etInteger; }

 private:
  void Check() const;
  int index_;
};

// IF(condition, then, else): every value, and the type, of the branch the condition chooses.
class TConditional : public TFunction {
  TALVIK_CLASS(TConditional, TFunction)
  explicit TConditional(std::unique_ptr<TParameterList> Params) : TFunction(std::move(Params)) {}
  TDateTime AsDate() const override { return Rule()->AsDate(); }
  std::string AsString() const override { return Rule()->AsString(); }
  double AsFloat() const override { return Rule()->AsFloat(); }
  int32_t AsInteger() const override { return Rule()->AsInteger(); }
  bool AsBoolean() const override { return Rule()->AsBoolean(); }
  TExprType ExprType() const override { return Rule()->ExprType(); }

 private:
  TExpression* Rule() const;
};

// Answers the node for a name that is not a word of the engine: a bracketed field name exactly as
// written (no parameters), or an upper-cased identifier with its argument list when parentheses
// followed it. The returned node becomes part of the tree; it may keep the list or let it go. A null
// answer makes the name an unknown identifier.
using TIdentifierResolver = std::function<std::unique_ptr<TExpression>(
    const std::string& Identifier, std::unique_ptr<TParameterList> Parameters)>;

// Parses Text into a tree the caller owns; an empty or all-blank text gives no tree. Sets the
// engine-wide comparison settings from Options first.
std::unique_ptr<TExpression> ParseFilterExpression(std::string_view Text, TFilterOptions Options,
                                                   const TIdentifierResolver& Resolver);

// Case-sensitive "*" (any run, also none) and "?" (exactly one character) matching of Value against
// Pattern. A "*" that is not the last pattern character needs at least one value character left.
bool MatchWildcard(std::string_view Pattern, std::string_view Value);
