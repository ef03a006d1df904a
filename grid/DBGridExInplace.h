// The grid's companions: its data link (the map from columns to fields and the dataset's
// notifications turned into calls on the grid) and its in-place editor.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "grid/CalculatorEx.h"
#include "grid/DBGridExColumns.h"
#include "grid/DropDownsEx.h"
#include "platform/db/DB.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Grids.h"

class TCustomDBGridEx;
class TPopupDataGridEx;

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
  // The field the text typed into the cell editor is for (nullptr when none is).
  virtual TField* EditedField() = 0;
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

// ---------------------------------------------------------------- drop-down placement

// Where a drop-down of Size opens under or over an editor at EditorScreen, within WorkArea: below
// when it fits, else above when it fits, else on the side with more room (below on a tie), cut to
// that room; narrowed to the work area and shifted left when it passes the right edge.
struct TDropDownPlacement {
  TPoint Pos;
  TSize Size;
  int VertGrip = 0;  // 3 below (grip at the bottom), 2 above (grip at the top)
  int HorzGrip = 0;  // 0 shifted left (grip at the left), 1 otherwise
};
TDropDownPlacement PlaceDropDown(const TRect& EditorScreen, TSize Size, const TRect& WorkArea);

// Grip moves sent to a drop-down with WM_USER+100.
constexpr UINT WM_GRIPMOVE = WM_USER + 100;
constexpr UINT WM_CLOSEUPNOACCEPT = WM_USER + 101;
// Guard posted while a button's menu is open, so that the press that closes the menu does not open it.
constexpr UINT WM_MENUGUARD = WM_USER + 102;

// ---------------------------------------------------------------- the in-place editor

enum TEditStyle { esSimple, esEllipsis, esPickList, esDataList, esDateCalendar, esUpDown, esDropDown };

// The edit style a column's cell gets.
TEditStyle ColumnEditStyle(TColumnEx* Column, TCustomDBGridEx* Grid);

class TDBGridInplaceEdit : public TInplaceEdit, public IPopupOwnerEx, public IEditButtonsOwnerEx {
  TALVIK_CLASS(TDBGridInplaceEdit, TInplaceEdit)
  explicit TDBGridInplaceEdit(TCustomDBGridEx* AGrid);
  ~TDBGridInplaceEdit() override;

  TCustomDBGridEx* DBGrid() const { return dbGrid_; }
  TColumnEx* Column() const;
  TEditStyle EditStyle() const { return editStyle_; }
  void SetEditStyle(TEditStyle Value);
  // The drop-down of the current style (none until the list controls exist).
  TWinControl* ActiveList() const { return activeList_; }
  bool ListVisible() const { return listVisible_; }
  bool ParamsReadOnly() const { return paramsReadOnly_; }
  int ButtonWidth() const { return buttonWidth_; }
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool Value);
  TMRUListEx* MRUList() const { return mruList_; }
  // The column is going: its recent entries, shown or not, are the editor's no more.
  void ColumnGoing(TColumnEx* Column);
  TDataSource* DataListSource() const { return dataListSource_.get(); }
  // The pairs of separator and button control: pair 0 is the main button.
  int ButtonCount() const { return static_cast<int>(buttons_.size()); }
  TEditButtonControlEx* ButtonControl(int Index) const {
    return buttons_.at(static_cast<size_t>(Index)).Button;
  }
  TShape* Separator(int Index) const { return buttons_.at(static_cast<size_t>(Index)).Separator; }
  // The text rectangle last given to the edit window.
  TRect TextRect() const { return textRect_; }

  // The focus the grid hands on (coming to the grid itself, or as this editor comes up over the
  // current cell) goes to a filter cell being edited, if there is one; the editor takes it otherwise.
  void SetFocus() override;
  virtual void DropDown();
  void CloseUp(bool Accept) override;
  // The drop-downs, made on first need and owned by the editor.
  TPopupListboxEx* PickList();
  TPopupMonthCalendarEx* PopupCalendar();
  // The focused look-up column's drop-down data grid (the column owns it), or nullptr.
  TPopupDataGridEx* DataList();
  // The calculator of a numeric column with a drop-down button (made hidden on first call).
  virtual TPopupCalculatorEx* GetPopupCalculator();
  TMRUListboxEx* MRUListBox() const { return mruListBox_; }
  bool MRUListVisible() const;
  void UpdateEditButtons();
  void UpDownClick(bool IsBottom);
  // Completes typed text against pick lists; consumes S (empties it) when it took the character.
  virtual void TypeText(std::string& S);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void BoundsChanged() override;
  void UpdateContents() override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void KeyPress(char32_t& Key) override;
  void KeyUp(WORD& Key, TShiftState Shift) override;
  bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) override;
  void DefaultHandler(TMessage& Message) override;
  void Dispatch(TMessage& Message) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  TEditButtonControlEx* CreateEditButtonControl() override;
  virtual TMRUListboxEx* CreateMRUListControl();
  virtual void FilterMRUItem(const std::string& AText, bool& Accept);
  virtual void MRUListSized();
  void WndProc(TMessage& Message) override;
  void Change() override;
  // Up or Down in a multi-line editor that the grid always shows: true when the caret is on the line
  // the key leaves the text from (or the whole text is selected), so the grid takes the key.
  bool ArrowLeavesText(WORD Key);
  virtual void ButtonDown(bool IsBottom);
  void EditButtonClick(TObject* Sender) override;
  void EditButtonDown(TObject* Sender, bool TopButton, bool& AutoRepeat, bool& Handled) override;
  void EditButtonMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) override;
  // A drag from the pressed main button into the open list goes on as a press in the list.
  void EditButtonMouseMove(TObject* Sender, TShiftState Shift, int X, int Y) override;

 private:
  using ButtonPair = TEditButtonPairEx;
  bool IsKeyPickList() const;
  bool HasNotInList() const;
  void ShowTextSelected(const std::string& Text, int TypedLength);
  void MatchTextAfterEdit(const std::string& NewText, int Caret);
  int EditButtonIndex(TObject* Sender) const;
  void PasteMatched();
  bool HasDropDownKeys() const;
  // Keys to the open drop-downs (true when one took the key).
  bool RouteListKeys(TMessage& Message);
  void UpdateMRUList();
  void CloseMRUList(bool Accept);
  void TextChangedByUser();
  // The open data list shows the grid's edit key.
  void DataListFollowsKey();
  void DropDownDataList(TColumnEx* Column);
  bool dataListSpecRowChanged_ = false;
  std::vector<TPopupDataGridEx*> hookedDataLists_;  // data grids that call back here

  TCustomDBGridEx* dbGrid_;
  TEditStyle editStyle_ = esSimple;
  TWinControl* activeList_ = nullptr;
  std::unique_ptr<TDataSource> dataListSource_;
  TEditButtonPairsEx buttons_;
  int buttonWidth_ = 0;
  TMRUListEx* mruList_ = nullptr;
  TPopupListboxEx* pickList_ = nullptr;  // components of the editor
  TPopupMonthCalendarEx* popupCalendar_ = nullptr;
  TPopupCalculatorEx* popupCalculator_ = nullptr;
  bool caretHidden_ = false;  // by an open calculator
  TMRUListboxEx* mruListBox_ = nullptr;
  bool textChanged_ = false;
  int wndProcDepth_ = 0;
  std::string textAtDropDown_;
  bool listVisible_ = false;
  bool wordWrap_ = false;
  bool droppedByMouse_ = false;
  bool paramsReadOnly_ = false;
  TRect textRect_;
  TPoint lastDown_;
  std::uint64_t lastDownTime_ = 0;
};
