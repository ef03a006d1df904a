// The grid's companions: its data link (the map from columns to fields and the dataset's
// notifications turned into calls on the grid) and its in-place editor.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "grid/DBGridExColumns.h"
#include "platform/db/DB.h"

// What the data link calls on its grid (the grid implements it).
class IDBGridExLinkHost {
 public:
  virtual void LinkActive(bool Value) = 0;
  virtual void DataChanged() = 0;
  virtual void Scroll(int Distance) = 0;
  virtual void EditingChanged() = 0;
  virtual void RecordChanged(TField* Field) = 0;
  virtual void UpdateData() = 0;
  // The layout change the dataset asked for (the grid marks it as coming from the dataset).
  virtual void LinkLayoutChanged() = 0;
  virtual TField* SelectedField() = 0;
  virtual void SetSelectedField(TField* Value) = 0;
  virtual bool AcquireFocus() = 0;
  virtual void ShowEditor() = 0;
  // Asks for the removal notification of a component the map refers to.
  virtual void FreeNotification(TComponent* AComponent) = 0;

 protected:
  ~IDBGridExLinkHost() = default;
};

constexpr int kMaxMapSize = 0x0FFFFFFF;
inline constexpr char SGridTooManyColumns[] = "Grid requested to display more than 256 columns";

class TGridDataLinkEx : public TDataLink {
  TALVIK_CLASS(TGridDataLinkEx, TDataLink)
  explicit TGridDataLinkEx(IDBGridExLinkHost* AGrid);
  ~TGridDataLinkEx() override;

  IDBGridExLinkHost* Grid() const { return grid_; }
  // Appends the field of that name (always true); see SparseMap for a missing one.
  bool AddMapping(const std::string& FieldName);
  void ClearMapping();
  // The field at a map index (nullptr outside the map or for an unmapped entry).
  TField* GetMappedField(int Index) const;
  int GetMappedIndex(int Index) const;
  bool DefaultFields() const;
  int FieldCount() const { return fieldCount_; }
  int FieldMapSize() const { return static_cast<int>(fieldMap_.size()); }
  bool SparseMap() const { return sparseMap_; }
  void SetSparseMap(bool Value) { sparseMap_ = Value; }
  bool Modified() const { return modified_; }
  void MarkModified() { modified_ = true; }
  void Reset();
  bool InUpdateData() const { return inUpdateData_; }
  // Test seam: pretends the map already holds Count entries (no storage is allocated for them).
  void SetFieldCountForTest(int Count) { fieldCount_ = Count; }

  // The dataset's notifications (public so that the grid can forward its own).
  void ActiveChanged() override;
  void DataSetChanged() override;
  void DataSetScrolled(int Distance) override;
  void EditingChanged() override;
  void FocusControl(TField** Field) override;
  void LayoutChanged() override;
  void RecordChanged(TField* Field) override;
  void UpdateData() override;

 private:
  IDBGridExLinkHost* grid_;
  std::vector<int> fieldMap_;
  int fieldCount_ = 0;
  bool sparseMap_ = false;
  bool inUpdateData_ = false;
  bool modified_ = false;
};
