// Dataset features: the grid never sorts or filters the rows of a server dataset itself; it asks the
// features object registered for the dataset's class. For datasets that read rows through a SQL text
// (TSQLDatasetFeaturesEx) sorting rewrites one "ORDER BY" line and filtering the line that starts with
// the "/*FILTER*/" marker, and the dataset is reopened so that the server does the work. This unit also
// parses the texts typed into the grid's filter row and turns parsed filters into SQL conditions or a
// local filter text.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/DB.h"

class TCustomDBGridEx;

// ---------------------------------------------------------------- parsed column filters

// The kind of values of the filtered column.
enum TSTFilterValueTypeEx { stfvtUnknown, stfvtString, stfvtNumber, stfvtDateTime };

enum TSTFilterOperatorEx {
  foNon,
  foEqual,
  foNotEqual,
  foGreaterThan,
  foLessThan,
  foGreaterOrEqual,
  foLessOrEqual,
  foLike,
  foNotLike,
  foIn,
  foNotIn,
  foNull,
  foNotNull,
  foAND,
  foOR,
  foValue
};
constexpr int kSTFilterOperatorCount = foValue + 1;

// Operator texts in the filter row's syntax and in SQL, by operator.
extern const char* const STFilterOperatorsStrEx[kSTFilterOperatorCount];
extern const char* const STFilterOperatorsSQLStrEx[kSTFilterOperatorCount];

// One column's filter: a condition, optionally joined (AND, OR) with a second one. An operand is a
// value, or a variant array of values for IN and NOT IN.
struct TSTFilterExpressionEx {
  TSTFilterValueTypeEx ExpressionType = stfvtUnknown;
  TSTFilterOperatorEx Operator1 = foNon;
  TVariant Operand1;
  TSTFilterOperatorEx Relation = foNon;  // foNon, foAND or foOR
  TSTFilterOperatorEx Operator2 = foNon;
  TVariant Operand2;
};

// Clears both operators and the join and unassigns both operands (the value type stays).
void InitSTFilterExpression(TSTFilterExpressionEx& Expression);

// Reads a filter-row text into Expression, whose ExpressionType the caller has set from the column's
// field. True when a second condition was read. Malformed text raises Exception naming the fault and
// the text. A single quote doubled inside a quoted value stands for one quote.
bool ParseSTFilterExpression(const std::string& Text, TSTFilterExpressionEx& Expression);

// Writes a date-time operand for a SQL condition (a dataset may need its own literal form).
using TDateValueToSQLStringEvent = std::function<std::string(TDataSet* DataSet, const TVariant& Value)>;

// One column's part of a filter: the name it stands under and its parsed filter.
struct TSTColumnFilterItem {
  std::string Name;
  const TSTFilterExpressionEx* Expression = nullptr;
};

// A SQL condition for one column (empty without a first operator). Text values double their quotes;
// a date-time without DateToSQL becomes TO_DATE('YYYY-MM-DD HH24:MI:SS' text, that format).
std::string GetExpressionAsSQLCondition(const std::string& Name, const TSTFilterExpressionEx& Expression,
                                        TDataSet* DataSet, const TDateValueToSQLStringEvent& DateToSQL);
// The conditions of the columns that have one, joined with " AND " (a trailing blank stays), or "1=1".
std::string BuildSQLFilterCondition(const std::vector<TSTColumnFilterItem>& Filters, TDataSet* DataSet,
                                    const TDateValueToSQLStringEvent& DateToSQL);
// The same as a dataset's local filter text: names in square brackets, LIKE as "Like" only when the
// dataset's filter supports it (else "=", whose partial comparison matches "*" and "?"), IN as
// "([n] = v OR ...)" and NOT IN as " NOT ([n] = v OR ...)".
std::string BuildLocalFilterText(const std::vector<TSTColumnFilterItem>& Filters, bool SupportsLocalLike,
                                 TDataSet* DataSet, const TDateValueToSQLStringEvent& DateToSQL);

// ---------------------------------------------------------------- features objects

class TDatasetFeaturesEx : public TObject {
  TALVIK_CLASS(TDatasetFeaturesEx, TObject)
  TDatasetFeaturesEx() = default;
  // The dataset class this object was registered for.
  const TClassInfo* DataSetClass = nullptr;
  virtual void ApplySorting(TObject* Sender, TDataSet* DataSet, bool IsReopenCall);
  virtual void ApplyFilter(TObject* Sender, TDataSet* DataSet, bool IsReopenCall);
};

// A features class: makes a new features object.
using TDatasetFeaturesExClass = std::unique_ptr<TDatasetFeaturesEx> (*)();
template <class T>
TDatasetFeaturesExClass FeaturesClass() {
  return []() -> std::unique_ptr<TDatasetFeaturesEx> { return std::make_unique<T>(); };
}

class TSQLDatasetFeaturesEx : public TDatasetFeaturesEx {
  TALVIK_CLASS(TSQLDatasetFeaturesEx, TDatasetFeaturesEx)
  bool SortUsingFieldName = false;
  std::string SQLPropName = "SQL";
  bool FilterUsingFieldName = false;
  bool SupportsLocalLike = false;
  // Writes date-time filter values; unassigned: TO_DATE with an explicit format.
  TDateValueToSQLStringEvent DateValueToSQLString;
  void ApplySorting(TObject* Sender, TDataSet* DataSet, bool IsReopenCall) override;
  void ApplyFilter(TObject* Sender, TDataSet* DataSet, bool IsReopenCall) override;
};

// Files a new features object under DataSetClass's name; one filed earlier under that name is freed.
// Without a dataset class nothing is filed.
void RegisterDatasetFeatures(TDatasetFeaturesExClass FeaturesClass, const TClassInfo* DataSetClass);
// The object registered for DataSet's class or its nearest ancestor (the first filed on a tie), or nullptr.
TDatasetFeaturesEx* GetDatasetFeaturesForDataSet(TDataSet* DataSet);
// Frees every registered object (the unit's finalisation; tests call it between cases).
void ClearDatasetFeatures();

// ---------------------------------------------------------------- SQL text rewriting

// The SQL text behind a dataset's property SQLPropName; raises "<class> is not SQL based dataset".
std::string GetDataSetSQLText(TDataSet* DataSet, const std::string& SQLPropName);
void SetDataSetSQLText(TDataSet* DataSet, const std::string& SQLPropName, const std::string& Text);

// The ORDER BY line for sort terms (select-list positions or names) with their markers; "" for none.
struct TSQLSortTerm {
  std::string Term;
  bool Descending = false;
};
std::string BuildOrderByLine(const std::vector<TSQLSortTerm>& Terms);
// SQL with the first line that starts with "ORDER BY" (in any case) replaced by OrderBy, or with a line
// appended for it when there is none.
std::string ReplaceOrderByLine(const std::string& SQL, const std::string& OrderBy);
// SQL with the first line starting with "/*FILTER*/" replaced by the marker and " (Condition)";
// false (SQL unchanged) when no line carries the marker.
bool ReplaceFilterLine(std::string& SQL, const std::string& Condition);

// Writes NewSQL into the dataset between DisableControls and EnableControls: closes it, writes the
// text and reopens it when Reopen is set. EnableControls runs also when the reopen fails.
void ReplaceDataSetSQL(TDataSet* DataSet, const std::string& SQLPropName, const std::string& NewSQL,
                       bool Reopen);

// Sorts the grid's dataset on the server by its sort-marked columns.
void ApplySortingForSQLDataSet(TCustomDBGridEx* Grid, TDataSet* DataSet, bool UseFieldName,
                               const std::string& SQLPropName, bool Reopen);
// Filters the dataset on the server by the given column filters (SQL text with a "/*FILTER*/" line).
void ApplyFilterForSQLDataSet(TDataSet* DataSet, const std::vector<TSTColumnFilterItem>& Filters, bool Reopen,
                              const std::string& SQLPropName, const TDateValueToSQLStringEvent& DateToSQL);
