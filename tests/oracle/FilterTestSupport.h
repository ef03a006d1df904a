// A record source for filter tests: a column node of any type, and a resolver over named columns.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "oracle/OracleFilter.h"

namespace filter_test {

struct Value {
  TExprType type = etString;
  std::string text;
  double number = 0;  // Float and Date
  int32_t integer = 0;
  bool boolean = false;
  bool null = false;
};

inline Value Str(std::string s) {
  return {etString, std::move(s)};
}
inline Value Int(int32_t i) {
  return {etInteger, "", 0, i};
}
inline Value Flt(double d) {
  return {etFloat, "", d};
}
inline Value Dat(double d) {
  return {etDate, "", d};
}
inline Value Bool(bool b) {
  return {etBoolean, "", 0, 0, b};
}
inline Value Null(TExprType type) {
  Value v;
  v.type = type;
  v.null = true;
  return v;
}

// Reads its value through a pointer, so the record can change between evaluations.
class TTestColumn : public TExpression {
  TALVIK_CLASS(TTestColumn, TExpression)
  explicit TTestColumn(const Value* value, std::unique_ptr<TParameterList> params = nullptr)
      : value_(value), params_(std::move(params)) {}
  TExprType ExprType() const override { return value_->type; }
  bool IsNull() const override { return value_->null; }
  std::string AsString() const override {
    return value_->type == etString ? value_->text : TExpression::AsString();
  }
  int32_t AsInteger() const override {
    return value_->type == etInteger ? value_->integer : TExpression::AsInteger();
  }
  double AsFloat() const override {
    return value_->type == etFloat ? value_->number : TExpression::AsFloat();
  }
  TDateTime AsDate() const override {
    return value_->type == etDate ? value_->number : TExpression::AsDate();
  }
  bool AsBoolean() const override {
    return value_->type == etBoolean ? value_->boolean : TExpression::AsBoolean();
  }
  const TParameterList* Params() const { return params_.get(); }

 private:
  const Value* value_;
  std::unique_ptr<TParameterList> params_;
};

// Columns by upper-cased name; NULL is a null string. Records every call it answers.
class Record {
 public:
  std::map<std::string, Value> columns;
  struct Call {
    std::string name;
    int params;  // -1: no list
  };
  std::vector<Call> calls;
  bool keepParams = false;

  TIdentifierResolver Resolver() {
    return [this](const std::string& name,
                  std::unique_ptr<TParameterList> params) -> std::unique_ptr<TExpression> {
      calls.push_back({name, params ? params->Count() : -1});
      static const Value null = Null(etString);
      if (name == "NULL") return std::make_unique<TTestColumn>(&null);
      std::string key;
      for (char c : name) key += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
      auto it = columns.find(key);
      if (it == columns.end()) return nullptr;
      return std::make_unique<TTestColumn>(&it->second, keepParams ? std::move(params) : nullptr);
    };
  }
};

}  // namespace filter_test
