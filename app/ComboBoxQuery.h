// The column filter of the program's grids: F7 in a grid opens an editable combo under the title of
// the selected column; the user types a LIKE pattern or picks "IS NULL" / "IS NOT NULL"; F8 puts the
// condition into the grid's Oracle statement on the server side and reopens it, tinting the column;
// Esc gives the unfiltered statement back. Each grid keeps its own filter: the statement before any
// condition, the condition in force, the filtered field and the tinted column.
#pragma once

#include <string>
#include <vector>

#include "platform/gui/StdCtrls.h"
#include "platform/rtl/Lifetime.h"

class TDBGridEx;
class TOracleDataSet;

// ---- the statement rewrite ----

// A statement with a column condition put in, and the condition itself.
struct TColumnFilterSql {
  std::string Sql;
  std::string Condition;  // " <expression> LIKE '<pattern>' " or " <expression> IS [NOT] NULL"
};

// The expression of the select list that gives the field FieldName, as written in the statement
// (FieldNames are the statement's fields in order). A column with an alias gives the text before the
// alias, one without gives its text up to the next comma; the field name itself when the walk finds
// no expression (the last column without an alias, or a field the statement does not select).
std::string FilterExpression(const std::string& Sql, const std::vector<std::string>& FieldNames,
                             const std::string& FieldName);

// The condition for the typed text: "IS NULL" and "IS NOT NULL" (trimmed, in any case) test the
// expression for null; any other text is a LIKE pattern, written as a literal.
std::string FilterCondition(const std::string& Expression, const std::string& Text);

// Sql with the condition on FieldName for Text put in: before ORDER BY, after what WHERE holds joined
// by AND, or as a new WHERE. Keywords count only outside literals, comments and parentheses.
TColumnFilterSql FilterStatement(const std::string& Sql, const std::vector<std::string>& FieldNames,
                                 const std::string& FieldName, const std::string& Text);

// ---- the combo and the grids' key ----

inline constexpr WORD kFilterOpenKey = 118;   // F7
inline constexpr WORD kFilterApplyKey = 119;  // F8
inline constexpr WORD kFilterCancelKey = 27;  // Esc

class TComboBoxQuery;

// The filter of one grid; owned by the grid, so it goes with it.
class TGridQueryFilter : public TComponent {
  TALVIK_CLASS(TGridQueryFilter, TComponent)
  using TComponent::TComponent;

  std::string OriginalSql;      // the statement before any column condition
  std::string FilterSql;        // the condition in force; empty = no filter
  std::string FilterFieldName;  // the field of the filtered column
  TColor SavedColumnColor = clNone;
  int SavedColumnIndex = -1;            // the tinted column; -1 = none
  TComponentRef<TComboBoxQuery> Combo;  // the combo open on the grid
};

// The grid's filter (made on first use).
TGridQueryFilter* GridQueryFilter(TDBGridEx* Grid);

// Called by the grids' key-down handlers with every key: F7 opens the combo on the selected column
// (or, while one is open on the grid, gives it the focus).
void GridQueryKeyDown(TObject* Sender, WORD Key);

// Gives the grid's dataset its unfiltered statement back when a filter is in force on it, and takes
// the tint off the column. True when there was a filter.
bool ClearGridFilter(TDBGridEx* Grid);

class TComboBoxQuery : public TComboBox {
  TALVIK_CLASS(TComboBoxQuery, TComboBox)
  // AOwner must be a TDBGridEx whose data source has a TOracleDataSet (EInvalidCast otherwise).
  explicit TComboBoxQuery(TComponent* AOwner);

  TDBGridEx* Grid() const { return grid_; }
  TOracleDataSet* DataSet() const { return dataSet_; }

 protected:
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void Dispatch(TMessage& Message) override;

 private:
  void Apply();
  void Cancel();
  // Focus back to the grid; the combo frees itself once the key that closed it is handled.
  void Close();

  TDBGridEx* grid_;
  TOracleDataSet* dataSet_ = nullptr;
  bool closing_ = false;
};
