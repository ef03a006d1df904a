// Column footers and the grid's sum list. A column describes its footer cells with TColumnFooterEx
// items: one Footer and, for several footer rows, a Footers collection. A footer cell shows nothing,
// a sum, an average or a count over the dataset, a field of the current record, or a fixed text.
// Sums, averages and counts come from the grid's SumList.
#pragma once

#include <memory>
#include <string>

#include "grid/DBGridExColumns.h"
#include "grid/DBSums.h"

class TCustomDBGridEx;

enum TFooterValueType { fvtNon, fvtSum, fvtAvg, fvtCount, fvtFieldValue, fvtStaticText };

// Which of a footer's inherited properties hold its own value.
enum TColumnFooterValue { cfvAlignment, cfvFont, cfvColor };
using TColumnFooterValues = TSet<TColumnFooterValue>;

class TColumnFooterEx : public TCollectionItem {
  TALVIK_CLASS(TColumnFooterEx, TCollectionItem)
  // An item of a column's Footers collection.
  explicit TColumnFooterEx(TCollection* Collection);
  // A column's single Footer.
  explicit TColumnFooterEx(TColumnEx* AColumn);
  ~TColumnFooterEx() override;
  // Alignment, Color and Font only where this footer has its own; the rest always.
  void Assign(TPersistent* Source) override;
  TPersistent* GetOwner() const override;

  TColumnEx* Column() const;
  TCustomDBGridEx* GridEx() const;
  TColumnFooterValues AssignedValues() const { return assigned_; }

  TAlignment Alignment() const;
  void SetAlignment(TAlignment Value);
  TColor Color() const;
  void SetColor(TColor Value);
  TFont* Font() const;
  void SetFont(TFont* Value) { font_->Assign(Value); }
  const std::string& DisplayFormat() const { return displayFormat_; }
  void SetDisplayFormat(const std::string& Value);
  bool EndEllipsis() const { return endEllipsis_; }
  void SetEndEllipsis(bool Value);
  const std::string& FieldName() const { return fieldName_; }
  void SetFieldName(const std::string& Value);
  const std::string& Value() const { return value_; }
  void SetValue(const std::string& Value);
  TFooterValueType ValueType() const { return valueType_; }
  void SetValueType(TFooterValueType Value);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool Value);

  TAlignment DefaultAlignment() const;
  TColor DefaultColor() const;
  TFont* DefaultFont() const;
  bool IsAlignmentStored() const;
  bool IsColorStored() const;
  bool IsFontStored() const { return assigned_.Contains(cfvFont); }
  void RestoreDefaults();
  // The footer's settings in a stream: an item of Footers writes them plainly, the column writes its
  // single Footer's under "Footer.".
  void DefineProperties(TFiler* Filer) override;
  void DefineFooterProperties(TFiler* Filer, const std::string& Prefix);
  // The aggregate item that computes this footer in the grid's sum list, or nullptr.
  TDBSum* SumItem() const;
  // Keeps the aggregate item in step with ValueType and the field name.
  void UpdateSumItem();
  // Frees the aggregate item (the column leaves its grid).
  void ReleaseSumItem();
  // The field name the aggregate uses: FieldName, else the column's.
  std::string SumFieldName() const;

 private:
  void Init();
  void FontChanged(TObject* Sender);
  void ChangedItem();
  void InvalidateGridFooter() const;
  TColumnEx* column_ = nullptr;  // the owning column (kept: an item leaves its collection before it goes)
  bool single_ = false;          // the column's single Footer, not an item of its Footers
  TColumnFooterValues assigned_;
  TAlignment alignment_ = taLeftJustify;
  TColor color_ = clWindow;
  std::unique_ptr<TFont> font_;
  bool syncingFont_ = false;
  std::string displayFormat_;
  bool endEllipsis_ = false;
  std::string fieldName_;
  std::string value_;
  TFooterValueType valueType_ = fvtNon;
  bool wordWrap_ = false;
  int sumItemID_ = -1;
};

class TColumnFootersEx : public TCollection {
  TALVIK_CLASS(TColumnFootersEx, TCollection)
  explicit TColumnFootersEx(TColumnEx* AColumn);
  // The items go while they still know their column (and give their aggregates back).
  ~TColumnFootersEx() override;
  TPersistent* GetOwner() const override;
  TColumnEx* Column() const { return column_; }
  TColumnFooterEx* Items(int Index) const { return static_cast<TColumnFooterEx*>(TCollection::Items(Index)); }
  TColumnFooterEx* operator[](int Index) const { return Items(Index); }
  TColumnFooterEx* Add() { return static_cast<TColumnFooterEx*>(TCollection::Add()); }

 protected:
  void Update(TCollectionItem* Item) override;

 private:
  TColumnEx* column_;
  bool destroying_ = false;
};

// The grid's sum list: the aggregate producer bound to the grid.
class TDBGridExSumList : public TDBSumListProducer {
  TALVIK_CLASS(TDBGridExSumList, TDBSumListProducer)
  explicit TDBGridExSumList(TCustomDBGridEx* AGrid);
  TCustomDBGridEx* Grid() const { return grid_; }

 protected:
  // While the grid is designed only the hooked state is recorded; the dataset's handlers stay.
  void Hook() override;
  void Unhook() override;

 private:
  TCustomDBGridEx* grid_;
  bool designHooked_ = false;
};
