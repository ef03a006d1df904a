#include "oracle/OracleFilter.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace {

const char* const kTypeNames[] = {"Date", "String", "Float", "Integer", "Boolean"};
const char* const kOperatorNames[] = {"opNot", "opMult", "opDivide", "opDiv",   "opMod", "opAnd",
                                      "opShl", "opShr",  "opPlus",   "opMinus", "opOr",  "opXor",
                                      "opEq",  "opNEQ",  "opLT",     "opGT",    "opLTE", "opGTE"};

[[noreturn]] void CannotRead(TExprType type, const char* as) {
  throw EExpression(Format("Cannot read %s as %s", {kTypeNames[type], as}));
}

[[noreturn]] void InternalError(int code) {
  throw EExpression(Format("Internal parser error. Code %d", {code}));
}

[[noreturn]] void InvalidParameter(const char* name) {
  throw EExpression(Format("Invalid parameter to %s", {name}));
}

bool IsComparison(TOperator op) {
  return op >= opEq && op <= opGTE;
}

// Date text: the short date alone for a whole day, else short date and long time.
std::string DateText(TDateTime value) {
  return FormatDateTime(value == std::trunc(value) ? "ddddd" : "ddddd tt", value);
}

// 32-bit arithmetic wraps around as the processor does.
int32_t Wrap(int64_t value) {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
}

// A double truncated toward zero into 32 bits (wrapping like a 64-bit truncation stored in 32 bits).
int32_t TruncToInt32(double value) {
  if (!(std::fabs(value) < 9223372036854775808.0)) throw EExpression("Integer overflow");
  return Wrap(static_cast<int64_t>(value));
}

int32_t RoundToInt32(double value) {
  return TruncToInt32(std::nearbyint(value));
}

int32_t IntegerDivide(int32_t a, int32_t b, bool remainder) {
  if (b == 0) throw EDivByZero("Division by zero");
  if (a == std::numeric_limits<int32_t>::min() && b == -1) throw EExpression("Integer overflow");
  return remainder ? a % b : a / b;
}

template <typename T>
bool Compare(TOperator op, const T& a, const T& b) {
  switch (op) {
    case opEq:
      return a == b;
    case opNEQ:
      return a != b;
    case opLT:
      return a < b;
    case opGT:
      return a > b;
    case opLTE:
      return a <= b;
    default:
      return a >= b;
  }
}

}  // namespace

const char* ExprTypeName(TExprType Type) {
  return kTypeNames[Type];
}
const char* OperatorName(TOperator Op) {
  return kOperatorNames[Op];
}

TExprType ResultType(TOperator Op, TExprType Type) {
  const bool comparison = IsComparison(Op);
  switch (Type) {
    case etDate:
      if (Op == opPlus || Op == opMinus) return etDate;
      if (comparison) return etBoolean;
      break;
    case etString:
      if (Op == opPlus) return etString;
      if (comparison) return etBoolean;
      break;
    case etFloat:
      if (Op == opMult || Op == opDivide || Op == opPlus || Op == opMinus) return etFloat;
      if (comparison) return etBoolean;
      break;
    case etInteger:
      if (Op == opDivide) return etFloat;
      if (comparison) return etBoolean;
      return etInteger;  // every other operator
    case etBoolean:
      if (Op == opNot || Op == opAnd || Op == opOr || Op == opXor || Op == opEq || Op == opNEQ)
        return etBoolean;
      break;
  }
  throw EExpression(Format("Operator %s incompatible with %s", {kOperatorNames[Op], kTypeNames[Type]}));
}

TExprType CommonType(TExprType A, TExprType B) {
  return A < B ? A : B;
}

// ---------------------------------------------------------------------------------------------------
// Base conversions from the node's own type.

TDateTime TExpression::AsDate() const {
  const TExprType type = ExprType();
  switch (type) {
    case etString:
      return StrToDateTime(AsString());
    case etFloat:
      return AsFloat();
    case etInteger:
      return AsInteger();
    default:
      CannotRead(type, "Date");
  }
}

std::string TExpression::AsString() const {
  const TExprType type = ExprType();
  switch (type) {
    case etDate:
      return DateText(AsDate());
    case etFloat:
      return FloatToStr(AsFloat());
    case etInteger:
      return IntToStr(AsInteger());
    case etBoolean:
      return AsBoolean() ? "TRUE" : "FALSE";
    default:
      CannotRead(type, "String");
  }
}

double TExpression::AsFloat() const {
  const TExprType type = ExprType();
  switch (type) {
    case etDate:
      return AsDate();
    case etInteger:
    case etBoolean:
      return AsInteger();
    default:
      CannotRead(type, "Float");
  }
}

int32_t TExpression::AsInteger() const {
  const TExprType type = ExprType();
  switch (type) {
    case etDate:
      return TruncToInt32(AsDate());
    case etBoolean:
      return AsBoolean() ? 1 : 0;
    default:
      CannotRead(type, "integer");
  }
}

bool TExpression::AsBoolean() const {
  CannotRead(ExprType(), "boolean");
}

// ---------------------------------------------------------------------------------------------------

TParameterList::~TParameterList() {
  TParameterList::Clear();
}

void TParameterList::Clear() {
  for (int i = 0; i < Count(); ++i) delete Param(i);
  TList::Clear();
}

int TParameterList::Add(std::unique_ptr<TExpression> Param) {
  const int index = TList::Add(Param.get());
  Param.release();
  return index;
}

TDateTime TStringLiteral::AsDate() const {
  return StrToDateTime(value_);
}
std::string TFloatLiteral::AsString() const {
  return FloatToStr(value_);
}
std::string TIntegerLiteral::AsString() const {
  return IntToStr(value_);
}

// ---------------------------------------------------------------------------------------------------

TUnaryOp::TUnaryOp(TOperator Op, std::unique_ptr<TExpression> Operand)
    : operand_(std::move(Operand)), op_(Op) {
  if (Op != opNot && Op != opPlus && Op != opMinus) {
    throw EExpression(Format("%s is not simple unary operator", {kOperatorNames[Op]}));
  }
  operandType_ = operand_->ExprType();
}

double TUnaryOp::AsFloat() const {
  switch (op_) {
    case opPlus:
      return operand_->AsFloat();
    case opMinus:
      return -operand_->AsFloat();
    default:
      return AsInteger();
  }
}

int32_t TUnaryOp::AsInteger() const {
  switch (op_) {
    case opPlus:
      return operand_->AsInteger();
    case opMinus:
      return Wrap(-int64_t{operand_->AsInteger()});
    default:
      if (operandType_ == etInteger) return ~operand_->AsInteger();
      if (operandType_ == etBoolean) return operand_->AsBoolean() ? 0 : 1;
      InternalError(6);
  }
}

bool TUnaryOp::AsBoolean() const {
  if (op_ == opNot) return !operand_->AsBoolean();
  return TExpression::AsBoolean();
}

// ---------------------------------------------------------------------------------------------------

TBinaryOp::TBinaryOp(TOperator Op, std::unique_ptr<TExpression> Left, std::unique_ptr<TExpression> Right)
    : left_(std::move(Left)), right_(std::move(Right)), op_(Op) {
  if (Op < opMult || Op > opXor) {
    throw EExpression(Format("%s is not a simple binary operator", {kOperatorNames[Op]}));
  }
  commonType_ = CommonType(left_->ExprType(), right_->ExprType());
}

// In its own type a binary node computes; in another it converts as the base does, except that a
// Boolean node also reads as a date and a String node reads as the float 0.
TDateTime TBinaryOp::AsDate() const {
  switch (ExprType()) {
    case etDate:
      if (op_ == opPlus) return left_->AsDate() + right_->AsDate();
      if (op_ == opMinus) return left_->AsDate() - right_->AsDate();
      InternalError(14);
    case etBoolean:
      return AsBoolean() ? 1 : 0;
    default:
      return TExpression::AsDate();
  }
}

std::string TBinaryOp::AsString() const {
  if (ExprType() != etString) return TExpression::AsString();
  if (op_ != opPlus) InternalError(10);
  return left_->AsString() + right_->AsString();
}

double TBinaryOp::AsFloat() const {
  switch (ExprType()) {
    case etFloat:
      switch (op_) {
        case opMult:
          return left_->AsFloat() * right_->AsFloat();
        case opDivide:
          return left_->AsFloat() / right_->AsFloat();
        case opPlus:
          return left_->AsFloat() + right_->AsFloat();
        case opMinus:
          return left_->AsFloat() - right_->AsFloat();
        default:
          InternalError(11);
      }
    case etString:
      return 0;
    default:
      return TExpression::AsFloat();
  }
}

int32_t TBinaryOp::AsInteger() const {
  switch (ExprType()) {
    case etInteger: {
      const int64_t a = left_->AsInteger();
      const int64_t b = right_->AsInteger();
      const auto ua = static_cast<uint32_t>(a);
      const auto ub = static_cast<uint32_t>(b);
      switch (op_) {
        case opMult:
          return Wrap(a * b);
        case opDiv:
          return IntegerDivide(static_cast<int32_t>(a), static_cast<int32_t>(b), false);
        case opMod:
          return IntegerDivide(static_cast<int32_t>(a), static_cast<int32_t>(b), true);
        case opAnd:
          return static_cast<int32_t>(ua & ub);
        case opOr:
          return static_cast<int32_t>(ua | ub);
        case opXor:
          return static_cast<int32_t>(ua ^ ub);
        case opShl:
          return static_cast<int32_t>(ua << (ub & 31));
        case opShr:
          return static_cast<int32_t>(ua >> (ub & 31));
        case opPlus:
          return Wrap(a + b);
        case opMinus:
          return Wrap(a - b);
        default:
          InternalError(12);
      }
    }
    case etBoolean:
      return AsBoolean() ? 1 : 0;
    default:
      return 0;
  }
}

bool TBinaryOp::AsBoolean() const {
  switch (op_) {
    case opAnd:
      return left_->AsBoolean() && right_->AsBoolean();
    case opOr:
      return left_->AsBoolean() || right_->AsBoolean();
    case opXor: {
      const bool a = left_->AsBoolean();
      const bool b = right_->AsBoolean();
      return a != b;
    }
    default:
      InternalError(13);
  }
}

// ---------------------------------------------------------------------------------------------------

TRelationalOp::TRelationalOp(TOperator Op, std::unique_ptr<TExpression> Left,
                             std::unique_ptr<TExpression> Right, TFilterOptions Options)
    : left_(std::move(Left)),
      right_(std::move(Right)),
      op_(Op),
      caseInsensitive_(Options.Contains(foCaseInsensitive)),
      partialCompare_(!Options.Contains(foNoPartialCompare)) {
  if (!IsComparison(Op)) throw EExpression(Format("%s is not relational operator", {kOperatorNames[Op]}));
}

bool TRelationalOp::AsBoolean() const {
  const bool leftNull = left_->IsNull();
  const bool rightNull = right_->IsNull();
  if (leftNull || rightNull) {
    if (op_ == opEq) return leftNull && rightNull;
    if (op_ == opNEQ) return !(leftNull && rightNull);
    return false;
  }
  switch (CommonType(left_->ExprType(), right_->ExprType())) {
    case etDate:
      return Compare(op_, left_->AsDate(), right_->AsDate());
    case etFloat:
      return Compare(op_, left_->AsFloat(), right_->AsFloat());
    case etInteger:
      return Compare(op_, left_->AsInteger(), right_->AsInteger());
    case etString: {
      std::string a = left_->AsString();
      std::string b = right_->AsString();
      if (CaseInsensitive()) {
        a = AnsiUpperCase(a);
        b = AnsiUpperCase(b);
      }
      if (PartialCompare() && (op_ == opEq || op_ == opNEQ)) {
        return MatchWildcard(b, a) == (op_ == opEq);
      }
      return Compare(op_, a, b);  // byte order, a prefix sorts first
    }
    case etBoolean:
      if (op_ == opEq) return left_->AsBoolean() == right_->AsBoolean();
      if (op_ == opNEQ) return left_->AsBoolean() != right_->AsBoolean();
      throw EExpression(Format("cannot apply %s to boolean operands", {kOperatorNames[op_]}));
  }
  return false;
}

// ---------------------------------------------------------------------------------------------------
// Functions.

TExpression* TFunction::Param(int Index) const {
  if (!params_) TList::Error(SListIndexError, Index);
  return params_->Param(Index);
}

void TFunction::CheckParams(const char* Name, std::initializer_list<TExprType> AtLeast) const {
  if (ParameterCount() != static_cast<int>(AtLeast.size())) InvalidParameter(Name);
  int i = 0;
  for (TExprType least : AtLeast) {
    if (Param(i++)->ExprType() < least) InvalidParameter(Name);
  }
}

namespace {
const char* const kCastNames[] = {"DATE", "STRING", "FLOAT", "INTEGER", "BOOLEAN"};
const char* const kMathNames[] = {"TRUNC", "ROUND", "ABS", "ARCTAN", "COS", "EXP",  "FRAC",
                                  "INT",   "LN",    "PI",  "SIN",    "SQR", "SQRT", "POWER"};
const char* const kStringNames[] = {"UPPER", "LOWER", "COPY", "POS", "LENGTH"};
enum { mTrunc, mRound, mAbs, mArcTan, mCos, mExp, mFrac, mInt, mLn, mPi, mSin, mSqr, mSqrt, mPower };
enum { sUpper, sLower, sCopy, sPos, sLength };
}  // namespace

TTypeCast::TTypeCast(int Index, std::unique_ptr<TParameterList> Params)
    : TFunction(std::move(Params)), index_(Index) {}

TExpression* TTypeCast::Arg() const {
  if (ParameterCount() < 1) InvalidParameter(kCastNames[index_]);
  return Param(0);
}

TMathExpression::TMathExpression(int Index, std::unique_ptr<TParameterList> Params)
    : TFunction(std::move(Params)), index_(Index) {}

TExprType TMathExpression::ExprType() const {
  return index_ == mTrunc || index_ == mRound ? etInteger : etFloat;
}

void TMathExpression::Check() const {
  if (index_ == mPi) return;
  if (index_ == mPower) {
    CheckParams(kMathNames[index_], {etFloat, etFloat});
  } else {
    CheckParams(kMathNames[index_], {etFloat});
  }
}

double TMathExpression::AsFloat() const {
  if (index_ == mTrunc || index_ == mRound) return TExpression::AsFloat();
  Check();
  if (index_ == mPi) return 3.141592653589793;
  const double x = Param(0)->AsFloat();
  switch (index_) {
    case mAbs:
      return std::fabs(x);
    case mArcTan:
      return std::atan(x);
    case mCos:
      return std::cos(x);
    case mExp:
      return std::exp(x);
    case mFrac:
      return x - std::trunc(x);
    case mInt:
      return std::trunc(x);
    case mLn:
      return std::log(x);
    case mSin:
      return std::sin(x);
    case mSqr:
      return x * x;
    case mSqrt:
      return std::sqrt(x);
    default:  // POWER
      return std::exp(Param(1)->AsFloat() * std::log(x));
  }
}

int32_t TMathExpression::AsInteger() const {
  switch (index_) {
    case mTrunc:
      Check();
      return TruncToInt32(Param(0)->AsFloat());
    case mRound:
      Check();
      return RoundToInt32(Param(0)->AsFloat());
    case mAbs: {
      Check();
      const int32_t v = Param(0)->AsInteger();
      return v < 0 ? Wrap(-int64_t{v}) : v;
    }
    default:
      return TExpression::AsInteger();
  }
}

TStringExpression::TStringExpression(int Index, std::unique_ptr<TParameterList> Params)
    : TFunction(std::move(Params)), index_(Index) {}

void TStringExpression::Check() const {
  const char* name = kStringNames[index_];
  switch (index_) {
    case sCopy:
      CheckParams(name, {etString, etInteger, etInteger});
      break;
    case sPos:
      CheckParams(name, {etString, etString});
      break;
    default:
      CheckParams(name, {etString});
  }
}

std::string TStringExpression::AsString() const {
  if (index_ > sCopy) return TExpression::AsString();
  Check();
  switch (index_) {
    case sUpper:
      return UpperCase(Param(0)->AsString());
    case sLower:
      return LowerCase(Param(0)->AsString());
    default:
      return Utf8Copy(Param(0)->AsString(), Param(1)->AsInteger(), Param(2)->AsInteger());
  }
}

int32_t TStringExpression::AsInteger() const {
  if (index_ < sPos) return TExpression::AsInteger();
  Check();
  if (index_ == sPos) return Utf8Pos(Param(0)->AsString(), Param(1)->AsString());
  return Utf8Length(Param(0)->AsString());
}

TExpression* TConditional::Rule() const {
  if (ParameterCount() != 3 || Param(0)->ExprType() != etBoolean)
    throw EExpression("Invalid parameters to If");
  return Param(0)->AsBoolean() ? Param(1) : Param(2);
}

// ---------------------------------------------------------------------------------------------------
// Wildcards. Characters are UTF-8 sequences; a malformed byte is a character of its own.

namespace {

bool IsAscii(std::string_view s) {
  for (unsigned char c : s) {
    if (c >= 0x80) return false;
  }
  return true;
}

// One key per character: the code point, or 0x110000 plus the byte for a malformed byte.
std::vector<uint32_t> CharKeys(std::string_view s) {
  std::vector<uint32_t> keys;
  keys.reserve(s.size());
  size_t pos = 0;
  while (pos < s.size()) {
    const size_t start = pos;
    const char32_t c = Utf8Next(s, pos);
    if (c == 0xFFFD && pos - start == 1) {
      keys.push_back(0x110000u + static_cast<unsigned char>(s[start]));
    } else {
      keys.push_back(static_cast<uint32_t>(c));
    }
  }
  return keys;
}

// Glob matching with backtracking to the last star only: linear for most patterns, never more than
// pattern length times value length.
template <typename Ch>
bool GlobMatch(const Ch* p, size_t pn, const Ch* v, size_t vn) {
  size_t pi = 0;
  size_t vi = 0;
  size_t star = SIZE_MAX;
  size_t mark = 0;
  while (vi < vn) {
    if (pi < pn && p[pi] == Ch('*')) {
      star = pi++;
      mark = vi;
    } else if (pi < pn && (p[pi] == Ch('?') || p[pi] == v[vi])) {
      ++pi;
      ++vi;
    } else if (star != SIZE_MAX) {
      pi = star + 1;
      vi = ++mark;
    } else {
      return false;
    }
  }
  while (pi < pn && p[pi] == Ch('*')) ++pi;
  return pi == pn;
}

// A "*" that is not the last pattern character needs a value character left to try, so it can only
// differ from plain glob matching in a run of two or more stars that ends the pattern: such a run
// matches one or more characters, as "?*" does.
template <typename Ch>
bool MatchKeys(const Ch* p, size_t pn, const Ch* v, size_t vn) {
  size_t body = pn;
  while (body > 0 && p[body - 1] == Ch('*')) --body;
  if (pn - body < 2) return GlobMatch(p, pn, v, vn);
  std::vector<Ch> pattern(p, p + body);
  pattern.push_back(Ch('?'));
  pattern.push_back(Ch('*'));
  return GlobMatch(pattern.data(), pattern.size(), v, vn);
}

}  // namespace

bool MatchWildcard(std::string_view Pattern, std::string_view Value) {
  if (Pattern.find_first_of("*?") == std::string_view::npos) return Pattern == Value;
  if (IsAscii(Pattern) && IsAscii(Value)) {
    return MatchKeys(Pattern.data(), Pattern.size(), Value.data(), Value.size());
  }
  const std::vector<uint32_t> p = CharKeys(Pattern);
  const std::vector<uint32_t> v = CharKeys(Value);
  return MatchKeys(p.data(), p.size(), v.data(), v.size());
}
