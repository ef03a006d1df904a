// The grid's filter row: the grid-wide settings (TSTDBGridExFilter, the grid's STFilter) and each
// column's filter (TSTColumnFilterEx, the column's STFilter) with its parsed expression, the text it
// shows in its filter cell and the list of values it offers.
#pragma once

#include <memory>
#include <string>

#include "grid/DatasetFeatures.h"
#include "platform/db/DB.h"

class TCustomDBGridEx;
class TColumnEx;

// The kind of a field's values as the filter parser reads them.
TSTFilterValueTypeEx STFilterValueTypeOfField(TFieldType DataType);

class TSTDBGridExFilter : public TPersistent {
  TALVIK_CLASS(TSTDBGridExFilter, TPersistent)
  explicit TSTDBGridExFilter(TCustomDBGridEx* AGrid) : grid_(AGrid) {}
  void Assign(TPersistent* Source) override;
  TPersistent* GetOwner() const override;

  TCustomDBGridEx* Grid() const { return grid_; }
  // Filtering through the dataset's Filter text instead of its SQL (stored only).
  bool Local() const { return local_; }
  void SetLocal(bool Value) { local_ = Value; }
  // The filter row is shown as the last title row.
  bool Visible() const { return visible_; }
  void SetVisible(bool Value);
  // While above 0 the filter editor is not placed again.
  int UpdateCount() const { return updateCount_; }
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate() {
    if (updateCount_ > 0) --updateCount_;
  }

 private:
  TCustomDBGridEx* grid_;
  bool local_ = false;
  bool visible_ = false;
  int updateCount_ = 0;
};

class TSTColumnFilterEx : public TPersistent {
  TALVIK_CLASS(TSTColumnFilterEx, TPersistent)
  explicit TSTColumnFilterEx(TColumnEx* AColumn);
  ~TSTColumnFilterEx() override;
  // Copies DataField, Visible, KeyField, ListField and ListSource.
  void Assign(TPersistent* Source) override;
  TPersistent* GetOwner() const override;

  TColumnEx* Column() const { return column_; }
  const std::string& DataField() const { return dataField_; }
  void SetDataField(const std::string& Value) { dataField_ = Value; }
  // DataField, else the column's field name when no list source is set either.
  std::string GetDataField() const;
  // The field of GetDataField in the grid's dataset, or nullptr.
  TField* GetField() const;
  bool Visible() const { return visible_; }
  void SetVisible(bool Value);
  const std::string& KeyField() const { return keyField_; }
  void SetKeyField(const std::string& Value);
  const std::string& ListField() const { return listField_; }
  void SetListField(const std::string& Value);
  TDataSource* ListSource() const;
  void SetListSource(TDataSource* Value);

  TSTFilterExpressionEx& Expression() { return expression_; }
  const TSTFilterExpressionEx& Expression() const { return expression_; }
  void SetExpression(const TSTFilterExpressionEx& Value) { expression_ = Value; }
  // The text as the user typed it.
  const std::string& FilterText() const { return filterText_; }
  // The key chosen from the list.
  const TVariant& KeyValue() const { return keyValue_; }
  TStrings* KeyValues() const { return keyValues_.get(); }
  TStrings* ListValues() const { return listValues_.get(); }
  const TVariant& Operand1() const { return expression_.Operand1; }
  const TVariant& Operand2() const { return expression_.Operand2; }

  // The expression written back as filter-row text.
  std::string GetFilterText() const;
  // Parses Text into the expression (the value kind from the field); raises on malformed text and then
  // keeps the filter as it was. Repaints the grid.
  void SetFilterText(const std::string& Text);
  // The filter as it was before (an expression and the text typed for it), read again by nothing: it
  // keeps the kind of value it was read by then. Repaints the grid.
  void Restore(const TSTFilterExpressionEx& Expression, const std::string& Text);
  // A choice from the drop-down list: the filter becomes "In" the chosen text, or is cleared when
  // KeyValue is empty.
  void SetValue(const std::string& Text, const TVariant& KeyValue);
  // Fills KeyValues and ListValues from the list dataset.
  void LoadList();

 private:
  TCustomDBGridEx* GridEx() const;
  TColumnEx* column_;
  std::string dataField_;
  bool visible_ = true;
  std::string keyField_;
  std::string listField_;
  std::unique_ptr<TFieldDataLink> listLink_;
  TSTFilterExpressionEx expression_;
  std::string filterText_;
  TVariant keyValue_;
  std::unique_ptr<TStringList> keyValues_;
  std::unique_ptr<TStringList> listValues_;
  bool loadingList_ = false;
};
