// The filter-expression parser: recursive descent over the text, building the node tree bottom-up.
// Every level holds its subtrees in owning pointers, so an error leaves nothing allocated.
#include <algorithm>
#include <cstring>
#include <optional>

#include "oracle/OracleFilter.h"

namespace {

constexpr int kMaxLiteral = 256;  // characters of a string literal or a bracketed field name
constexpr int kMaxNumber = 28;    // characters of a number literal
// Limits that keep parsing, evaluating and freeing a tree within the stack: nesting of factors
// (parentheses, unary operators, function arguments) and height of the tree.
constexpr int kMaxNesting = 200;
constexpr int kMaxHeight = 1000;

using Node = std::unique_ptr<TExpression>;

bool IsBlank(char c) {
  return c >= 1 && c <= 32;
}
bool IsLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsRelChar(char c) {
  return c == '<' || c == '=' || c == '>';
}
bool IsContinuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

enum WordKind { wIdentifier, wOperator, wTrue, wFalse };

struct Word {
  std::string text;  // upper-cased
  WordKind kind = wIdentifier;
  TOperator op = opNot;
  size_t end = 0;  // position after the word
};

const struct {
  const char* text;
  TOperator op;
} kOperatorWords[] = {{"NOT", opNot}, {"DIV", opDiv}, {"MOD", opMod}, {"AND", opAnd},
                      {"SHL", opShl}, {"SHR", opShr}, {"OR", opOr},   {"XOR", opXor}};

const char* const kCastWords[] = {"DATE", "STRING", "FLOAT", "INTEGER", "BOOLEAN"};
const char* const kMathWords[] = {"TRUNC", "ROUND", "ABS", "ARCTAN", "COS", "EXP",  "FRAC",
                                  "INT",   "LN",    "PI",  "SIN",    "SQR", "SQRT", "POWER"};
const char* const kStringWords[] = {"UPPER", "LOWER", "COPY", "POS", "LENGTH"};

template <size_t N>
int IndexOf(const char* const (&words)[N], const std::string& word) {
  for (size_t i = 0; i < N; ++i) {
    if (word == words[i]) return static_cast<int>(i);
  }
  return -1;
}

class Parser {
 public:
  Parser(std::string_view text, TFilterOptions options, const TIdentifierResolver& resolver)
      : s_(text), options_(options), resolver_(resolver) {}

  // expression := simple [ relop simple ]; an empty expression gives no node.
  Node Expression() {
    SkipBlanks();
    if (AtOperandEnd()) {
      height_ = 0;
      return nullptr;
    }
    Node left = Simple();
    SkipBlanks();
    if (!IsRelChar(Cur())) return left;
    const int leftHeight = height_;
    const TOperator op = RelationalOperator();
    Node right = Simple();
    Grow(leftHeight);
    Node result = std::make_unique<TRelationalOp>(op, std::move(left), std::move(right), options_);
    SkipBlanks();
    if (IsRelChar(Cur())) throw EExpression("Syntax error");  // a second comparison needs parentheses
    return result;
  }

  void SkipBlanks() {
    while (pos_ < s_.size() && IsBlank(s_[pos_])) ++pos_;
  }
  bool AtEnd() const { return pos_ >= s_.size(); }
  // The whole character at the current position.
  std::string CurrentChar() const {
    size_t end = pos_ + 1;
    while (end < s_.size() && IsContinuation(s_[end])) ++end;
    return std::string(s_.substr(pos_, end - pos_));
  }

 private:
  // The node just built joins a subtree of height `other`.
  void Grow(int other) {
    height_ = std::max(height_, other) + 1;
    if (height_ > kMaxHeight) throw EExpression("Expression too complex");
  }

  char Cur() const { return pos_ < s_.size() ? s_[pos_] : '\0'; }
  bool AtOperandEnd() const { return AtEnd() || Cur() == ')' || Cur() == ','; }

  TOperator RelationalOperator() {
    const char first = s_[pos_++];
    if (pos_ < s_.size() && IsRelChar(s_[pos_])) {
      const char second = s_[pos_++];
      if (first == '<' && second == '>') return opNEQ;
      if (first == '<' && second == '=') return opLTE;
      if (first == '>' && second == '=') return opGTE;
      throw EExpression(Format("%s not a valid operator", {std::string{first, second}}));
    }
    return first == '=' ? opEq : first == '<' ? opLT : opGT;
  }

  // Reads the word at the current position without consuming it.
  Word PeekWord() const {
    Word w;
    size_t p = pos_;
    while (p < s_.size() && (IsLetter(s_[p]) || IsDigit(s_[p]))) {
      const char c = s_[p++];
      w.text += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    w.end = p;
    for (const auto& o : kOperatorWords) {
      if (w.text == o.text) {
        w.kind = wOperator;
        w.op = o.op;
        return w;
      }
    }
    if (w.text == "TRUE") w.kind = wTrue;
    if (w.text == "FALSE") w.kind = wFalse;
    return w;
  }

  // Reads operand { operator operand }, building binary nodes left to right; nextOperator consumes
  // and answers the next operator of the level, or nothing where the level ends.
  template <typename Operand, typename NextOperator>
  Node LeftToRight(Operand operand, NextOperator nextOperator) {
    Node left = operand();
    int height = height_;
    while (const std::optional<TOperator> op = nextOperator()) {
      Node right = operand();
      Grow(height);
      height = height_;
      left = std::make_unique<TBinaryOp>(*op, std::move(left), std::move(right));
    }
    height_ = height;
    return left;
  }

  // simple := term { ( "+" | "-" | OR | XOR ) term }
  Node Simple() {
    return LeftToRight([this] { return Term(); }, [this] { return SimpleOperator(); });
  }

  std::optional<TOperator> SimpleOperator() {
    SkipBlanks();
    if (AtOperandEnd()) return std::nullopt;
    const char c = Cur();
    if (c == '+' || c == '-') {
      ++pos_;
      return c == '+' ? opPlus : opMinus;
    }
    if (!IsLetter(c)) return std::nullopt;  // "*", "/" and the comparison characters end it
    const Word w = PeekWord();
    if (w.kind != wOperator || (w.op != opOr && w.op != opXor)) return std::nullopt;  // given back
    pos_ = w.end;
    return w.op;
  }

  // term := factor { ( "*" | "/" | DIV | MOD | AND | SHL | SHR ) factor }
  Node Term() {
    return LeftToRight([this] { return Factor(); }, [this] { return TermOperator(); });
  }

  std::optional<TOperator> TermOperator() {
    SkipBlanks();
    if (AtOperandEnd()) return std::nullopt;
    const char c = Cur();
    if (c == '*' || c == '/') {
      ++pos_;
      return c == '*' ? opMult : opDivide;
    }
    if (c == '+' || c == '-' || IsRelChar(c)) return std::nullopt;
    if (!IsLetter(c)) throw EExpression(Format("char %s in input stream", {CurrentChar()}));
    const Word w = PeekWord();
    if (w.kind == wTrue || w.kind == wFalse) throw EExpression("Boolean literal not allowed here");
    if (w.kind == wIdentifier) throw EExpression(Format("Identifier %s not allowed here", {w.text}));
    if (w.op == opNot || w.op == opOr || w.op == opXor) return std::nullopt;  // a looser level's word
    pos_ = w.end;
    return w.op;
  }

  Node Factor() {
    if (++nesting_ > kMaxNesting) throw EExpression("Expression too complex");
    Node node = FactorAt();
    --nesting_;
    return node;
  }

  Node FactorAt() {
    height_ = 1;
    SkipBlanks();
    if (AtOperandEnd()) throw EExpression("Unexpected end of factor");
    const char c = Cur();
    switch (c) {
      case '+':
      case '-': {
        ++pos_;
        Node operand = Factor();
        Grow(0);
        return std::make_unique<TUnaryOp>(c == '+' ? opPlus : opMinus, std::move(operand));
      }
      case '[':
        return FieldName();
      case '\'':
        return StringLiteral();
      case '(': {
        ++pos_;
        Node inner = Expression();
        if (!inner) throw EExpression("invalid sub-expression");
        SkipBlanks();
        if (Cur() != ')' || AtEnd()) throw EExpression(" ) expected");
        ++pos_;
        return inner;
      }
      default:
        break;
    }
    if (IsDigit(c)) return Number();
    if (!IsLetter(c)) throw EExpression("Syntax error");
    const Word w = PeekWord();
    pos_ = w.end;
    switch (w.kind) {
      case wTrue:
        return std::make_unique<TBooleanLiteral>(true);
      case wFalse:
        return std::make_unique<TBooleanLiteral>(false);
      case wOperator: {
        if (w.op != opNot) throw EExpression(Format("%s not allowed here", {OperatorName(w.op)}));
        Node operand = Factor();
        Grow(0);
        return std::make_unique<TUnaryOp>(opNot, std::move(operand));
      }
      case wIdentifier:
        break;
    }
    return Identifier(w.text);
  }

  Node Identifier(const std::string& name) {
    SkipBlanks();
    std::unique_ptr<TParameterList> params;
    height_ = 1;
    if (Cur() == '(') params = Parameters();
    if (name == "IF") return std::make_unique<TConditional>(std::move(params));
    if (int i = IndexOf(kCastWords, name); i >= 0) return std::make_unique<TTypeCast>(i, std::move(params));
    if (int i = IndexOf(kMathWords, name); i >= 0)
      return std::make_unique<TMathExpression>(i, std::move(params));
    if (int i = IndexOf(kStringWords, name); i >= 0) {
      return std::make_unique<TStringExpression>(i, std::move(params));
    }
    return Resolve(name, std::move(params));
  }

  // "(" expression { "," expression } ")"; "()" is an empty list, an empty argument is an error.
  std::unique_ptr<TParameterList> Parameters() {
    ++pos_;
    auto params = std::make_unique<TParameterList>();
    SkipBlanks();
    if (Cur() == ')') {
      ++pos_;
      height_ = 1;
      return params;
    }
    int height = 0;
    for (;;) {
      Node arg = Expression();
      if (!arg) throw EExpression("Incorrectly formed parameters");
      Grow(height);
      height = height_;
      params->Add(std::move(arg));
      SkipBlanks();
      if (AtEnd()) throw EExpression("Incorrectly formed parameters");
      if (Cur() == ')') {
        ++pos_;
        return params;
      }
      if (Cur() != ',') throw EExpression("Incorrectly formed parameters");
      ++pos_;
    }
  }

  Node Resolve(const std::string& name, std::unique_ptr<TParameterList> params) {
    Node node;
    if (resolver_) node = resolver_(name, std::move(params));
    if (!node) throw EExpression(Format("Unknown Identifier %s", {name}));
    return node;
  }

  // Text up to the closing character, at most kMaxLiteral characters; for quotes, two in a row
  // stand for one.
  std::string Quoted(char close, bool doubling, const char* unterminated, const char* tooLong) {
    ++pos_;
    std::string value;
    int chars = 0;
    for (;;) {
      if (AtEnd()) throw EExpression(unterminated);
      const char c = s_[pos_];
      if (c == close) {
        if (doubling && pos_ + 1 < s_.size() && s_[pos_ + 1] == close) {
          ++pos_;
        } else {
          ++pos_;
          return value;
        }
      }
      if (!IsContinuation(c) && ++chars > kMaxLiteral) throw EExpression(tooLong);
      value += c;
      ++pos_;
    }
  }

  Node StringLiteral() {
    return std::make_unique<TStringLiteral>(Quoted('\'', true, "Unterminated string", "String too long"));
  }

  Node FieldName() {
    const std::string name = Quoted(']', false, "Unterminated fieldname", "Fieldname too long");
    return Resolve(name, nullptr);
  }

  // digits [separator digits] [e|E [-] digits], at most kMaxNumber characters.
  Node Number() {
    const char separator = FormatSettings.DecimalSeparator;
    const size_t start = pos_;
    bool seenSeparator = false;
    bool seenExponent = false;
    while (pos_ < s_.size()) {
      const char c = s_[pos_];
      if (IsDigit(c)) {
        ++pos_;
      } else if (c == separator && !seenExponent) {
        if (seenSeparator) throw EExpression("Bad numeric format");
        seenSeparator = true;
        ++pos_;
      } else if ((c == 'e' || c == 'E') && !seenExponent) {
        seenExponent = true;
        ++pos_;
        if (pos_ < s_.size() && s_[pos_] == '-') ++pos_;
        if (pos_ >= s_.size() || !IsDigit(s_[pos_])) throw EExpression("Bad numeric format");
      } else if (c == separator) {
        throw EExpression("Bad numeric format");  // a separator in the exponent
      } else {
        break;
      }
    }
    const std::string_view text = s_.substr(start, pos_ - start);
    if (text.size() > kMaxNumber) throw EExpression("Bad numeric format");
    if (!seenSeparator && !seenExponent) {
      size_t first = text.find_first_not_of('0');
      if (first == std::string_view::npos) return std::make_unique<TIntegerLiteral>(0);
      if (text.size() - first <= 10) {
        int64_t value = 0;
        for (size_t i = first; i < text.size(); ++i) value = value * 10 + (text[i] - '0');
        if (value <= 2147483647) return std::make_unique<TIntegerLiteral>(static_cast<int32_t>(value));
      }
    }
    return std::make_unique<TFloatLiteral>(StrToFloat(text));
  }

  std::string_view s_;
  TFilterOptions options_;
  const TIdentifierResolver& resolver_;
  size_t pos_ = 0;
  int nesting_ = 0;
  int height_ = 0;  // height of the subtree the last parse function returned
};

}  // namespace

std::unique_ptr<TExpression> ParseFilterExpression(std::string_view Text, TFilterOptions Options,
                                                   const TIdentifierResolver& Resolver) {
  Parser parser(Text, Options, Resolver);
  std::unique_ptr<TExpression> root = parser.Expression();
  parser.SkipBlanks();
  if (!parser.AtEnd()) throw EExpression(Format("%s not appropriate", {parser.CurrentChar()}));
  return root;
}
