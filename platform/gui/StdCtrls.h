// The standard controls: labels, edits and memos, push buttons, check boxes and radio buttons.
// All of them are windows (or, for labels, areas) of our own layer, painted by our code.
#pragma once

#include <memory>
#include <string>

#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"

enum TTextLayout { tlTop, tlCenter, tlBottom };
// The letter case an edit keeps. Its names are in the library's namespace: other libraries use the
// same names for commands of their own.
namespace talvik::gui {
enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };
}  // namespace talvik::gui
using talvik::gui::TEditCharCase;
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

// ---------------------------------------------------------------- labels

class TCustomLabel : public TGraphicControl {
  TALVIK_CLASS(TCustomLabel, TGraphicControl)
  explicit TCustomLabel(TComponent* AOwner);

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment Value);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout Value);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool Value);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool Value);
  bool Transparent() const { return !controlStyle_.Contains(csOpaque); }
  void SetTransparent(bool Value);
  bool ShowAccelChar() const { return showAccelChar_; }
  void SetShowAccelChar(bool Value);
  TWinControl* FocusControl() const { return focusControl_; }
  void SetFocusControl(TWinControl* Value);
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void Dispatch(TMessage& Message) override;

 protected:
  void Paint() override;
  // Draws (or with DT_CALCRECT measures) the caption; descendants draw their own text here.
  virtual void DoDrawText(TRect& Rect, UINT Flags);
  virtual std::string GetLabelText() const { return Caption(); }
  virtual void AdjustBounds();

 private:
  TAlignment alignment_ = taLeftJustify;
  TTextLayout layout_ = tlTop;
  bool autoSize_ = true;
  bool wordWrap_ = false;
  bool showAccelChar_ = true;
  TWinControl* focusControl_ = nullptr;
};

class TLabel : public TCustomLabel {
  TALVIK_CLASS(TLabel, TCustomLabel)
  using TCustomLabel::TCustomLabel;
};

// ---------------------------------------------------------------- edits

class TCustomEdit : public TWinControl {
  TALVIK_CLASS(TCustomEdit, TWinControl)
  explicit TCustomEdit(TComponent* AOwner);

  bool AutoSelect() const { return autoSelect_; }
  void SetAutoSelect(bool Value) { autoSelect_ = Value; }
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool Value);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle Value);
  TEditCharCase CharCase() const { return charCase_; }
  void SetCharCase(TEditCharCase Value);
  bool HideSelection() const { return hideSelection_; }
  void SetHideSelection(bool Value);
  int MaxLength() const { return maxLength_; }
  virtual void SetMaxLength(int Value);
  bool Modified();
  void SetModified(bool Value);
  char32_t PasswordChar() const { return passwordChar_; }
  void SetPasswordChar(char32_t Value);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool Value);
  // Positions count characters.
  virtual int SelStart();
  virtual void SetSelStart(int Value);
  virtual int SelLength();
  virtual void SetSelLength(int Value);
  virtual std::string SelText();
  virtual void SetSelText(const std::string& Value);
  bool CanUndo();

  void Clear();
  void ClearSelection();
  void ClearUndo();
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();
  void Undo();
  void SelectAll();

  TNotifyEvent OnChange;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void Dispatch(TMessage& Message) override;
  std::string GetText() const override;
  void DoEnter() override;
  virtual void Change();
  virtual void AdjustHeight();

  bool autoSelect_ = true;
  bool autoSize_ = true;
  TBorderStyle borderStyle_ = bsSingle;
  TEditCharCase charCase_ = talvik::gui::ecNormal;
  bool hideSelection_ = true;
  int maxLength_ = 0;
  bool modified_ = false;
  char32_t passwordChar_ = 0;
  bool readOnly_ = false;
  bool creating_ = false;
};

class TEdit : public TCustomEdit {
  TALVIK_CLASS(TEdit, TCustomEdit)
  using TCustomEdit::TCustomEdit;
};

class TCustomMemo : public TCustomEdit {
  TALVIK_CLASS(TCustomMemo, TCustomEdit)
  explicit TCustomMemo(TComponent* AOwner);
  ~TCustomMemo() override;

  TStrings* Lines();
  void SetLines(TStrings* Value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment Value);
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle Value);
  bool WantReturns() const { return wantReturns_; }
  void SetWantReturns(bool Value) { wantReturns_ = Value; }
  bool WantTabs() const { return wantTabs_; }
  void SetWantTabs(bool Value) { wantTabs_ = Value; }
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool Value);
  // X: the character within the line, Y: the line.
  TPoint CaretPos();
  void SetCaretPos(TPoint Value);

 protected:
  void CreateParams(TCreateParams& Params) override;
  TAlignment GetControlsAlignment() const override { return alignment_; }
  void Dispatch(TMessage& Message) override;
  void KeyPress(char32_t& Key) override;
  void AdjustHeight() override {}

 private:
  class TMemoStrings;
  std::unique_ptr<TMemoStrings> lines_;
  TAlignment alignment_ = taLeftJustify;
  TScrollStyle scrollBars_ = ssNone;
  bool wantReturns_ = true;
  bool wantTabs_ = false;
  bool wordWrap_ = true;
};

class TMemo : public TCustomMemo {
  TALVIK_CLASS(TMemo, TCustomMemo)
  using TCustomMemo::TCustomMemo;
};

// ---------------------------------------------------------------- buttons

class TButtonControl : public TCustomControl {
  TALVIK_CLASS(TButtonControl, TCustomControl)
  explicit TButtonControl(TComponent* AOwner);
  virtual bool Checked() const { return false; }
  virtual void SetChecked(bool) {}

 protected:
  void Dispatch(TMessage& Message) override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void KeyUp(WORD& Key, TShiftState Shift) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void SetPressed(bool Value);
  bool pressed_ = false;  // drawn down
  bool spaceDown_ = false;
  bool clicksOnMouse_ = true;
};

class TButton : public TButtonControl {
  TALVIK_CLASS(TButton, TButtonControl)
  explicit TButton(TComponent* AOwner);
  bool Default() const { return default_; }
  void SetDefault(bool Value);
  bool Cancel() const { return cancel_; }
  void SetCancel(bool Value) { cancel_ = Value; }
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult Value) { modalResult_ = Value; }
  void Click() override;

 protected:
  void Dispatch(TMessage& Message) override;
  void Paint() override;

 private:
  bool IsActive();
  bool default_ = false;
  bool cancel_ = false;
  bool active_ = false;
  TModalResult modalResult_ = 0;
};

class TCustomCheckBox : public TButtonControl {
  TALVIK_CLASS(TCustomCheckBox, TButtonControl)
  explicit TCustomCheckBox(TComponent* AOwner);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment Value);
  bool AllowGrayed() const { return allowGrayed_; }
  void SetAllowGrayed(bool Value) { allowGrayed_ = Value; }
  TCheckBoxState State() const { return state_; }
  void SetState(TCheckBoxState Value);
  bool Checked() const override { return state_ == cbChecked; }
  void SetChecked(bool Value) override { SetState(Value ? cbChecked : cbUnchecked); }
  void Click() override;

 protected:
  void Dispatch(TMessage& Message) override;
  void Paint() override;
  virtual void Toggle();

 private:
  TAlignment alignment_ = taRightJustify;  // the box on the left, the caption on its right
  bool allowGrayed_ = false;
  TCheckBoxState state_ = cbUnchecked;
  bool clicking_ = false;
};

class TCheckBox : public TCustomCheckBox {
  TALVIK_CLASS(TCheckBox, TCustomCheckBox)
  using TCustomCheckBox::TCustomCheckBox;
};

class TRadioButton : public TButtonControl {
  TALVIK_CLASS(TRadioButton, TButtonControl)
  explicit TRadioButton(TComponent* AOwner);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment Value);
  bool Checked() const override { return checked_; }
  void SetChecked(bool Value) override;
  void Click() override;

 protected:
  void Dispatch(TMessage& Message) override;
  void Paint() override;

 private:
  TAlignment alignment_ = taRightJustify;
  bool checked_ = false;
};

// The size of Text in Font, measured off screen (works while a control has no window).
TSize TextExtentOf(TFont* Font, const std::string& Text);

// Draws a button's caption with its accelerator underlined (DrawText without DT_NOPREFIX), greyed
// and embossed when disabled.
void DrawControlCaption(TCanvas* Canvas, const std::string& Caption, TRect& R, UINT Flags, bool Enabled);

// ---------------------------------------------------------------- group box

class TCustomGroupBox : public TCustomControl {
  TALVIK_CLASS(TCustomGroupBox, TCustomControl)
  explicit TCustomGroupBox(TComponent* AOwner);

 protected:
  void AdjustClientRect(TRect& Rect) override;
  void Paint() override;
  void Dispatch(TMessage& Message) override;
};

class TGroupBox : public TCustomGroupBox {
  TALVIK_CLASS(TGroupBox, TCustomGroupBox)
  using TCustomGroupBox::TCustomGroupBox;
};

// ---------------------------------------------------------------- list boxes

enum TListBoxStyle { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable };
enum TOwnerDrawStateFlag {
  odSelected,
  odGrayed,
  odDisabled,
  odChecked,
  odFocused,
  odDefault,
  odComboBoxEdit
};
using TOwnerDrawState = TSet<TOwnerDrawStateFlag>;
using TDrawItemEvent =
    std::function<void(TWinControl* Control, int Index, TRect Rect, TOwnerDrawState State)>;

// A list of strings (with objects) drawn by us, one item height for all, scrolled by its own bar.
class TCustomListBox : public TCustomControl {
  TALVIK_CLASS(TCustomListBox, TCustomControl)
  explicit TCustomListBox(TComponent* AOwner);
  ~TCustomListBox() override;

  TStrings* Items();
  void SetItems(TStrings* Value);
  int Count() const;
  int ItemIndex() const { return itemIndex_; }
  virtual void SetItemIndex(int Value);
  int ItemHeight() const { return itemHeight_; }
  void SetItemHeight(int Value);
  int TopIndex() const { return topIndex_; }
  void SetTopIndex(int Value);
  TListBoxStyle Style() const { return style_; }
  void SetStyle(TListBoxStyle Value);
  bool Sorted() const;
  void SetSorted(bool Value);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle Value);
  // The item at a client point; with Existing false, a point below the last item answers Count.
  int ItemAtPos(TPoint Pos, bool Existing);
  TRect ItemRect(int Index);
  int VisibleItems();
  // The first item at or after Start (wrapping) whose text begins with Prefix, ignoring case; -1 none.
  int FindPrefix(const std::string& Prefix, int Start);
  void Clear();

  TDrawItemEvent OnDrawItem;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void Dispatch(TMessage& Message) override;
  void Paint() override;
  virtual void DrawItem(int Index, TRect Rect, TOwnerDrawState State);
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void KeyPress(char32_t& Key) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) override;
  // The user moved the selection (keys or mouse): OnClick by default.
  virtual void SelectionChangedByUser();
  // Puts the scroll bar in step with the items, the rows shown and the top item.
  virtual void UpdateScrollBar();
  void MakeVisible(int Index);

  int itemIndex_ = -1;
  int itemHeight_ = 16;
  int topIndex_ = 0;
  std::string search_;
  DWORD searchTime_ = 0;

 private:
  void ItemsChanged();
  std::unique_ptr<TStringList> items_;
  TListBoxStyle style_ = lbStandard;
  TBorderStyle borderStyle_ = bsSingle;
};

class TListBox : public TCustomListBox {
  TALVIK_CLASS(TListBox, TCustomListBox)
  using TCustomListBox::TCustomListBox;
};

// ---------------------------------------------------------------- combo boxes

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

class TCustomComboBox : public TCustomControl {
  TALVIK_CLASS(TCustomComboBox, TCustomControl)
  explicit TCustomComboBox(TComponent* AOwner);
  ~TCustomComboBox() override;

  TComboBoxStyle Style() const { return style_; }
  void SetStyle(TComboBoxStyle Value);
  TStrings* Items();
  void SetItems(TStrings* Value);
  int ItemIndex() const { return itemIndex_; }
  virtual void SetItemIndex(int Value);
  int DropDownCount() const { return dropDownCount_; }
  void SetDropDownCount(int Value) { dropDownCount_ = std::max(1, Value); }
  int ItemHeight() const { return itemHeight_; }
  void SetItemHeight(int Value) { itemHeight_ = std::max(1, Value); }
  bool Sorted() const;
  void SetSorted(bool Value);
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int Value);
  TEditCharCase CharCase() const { return charCase_; }
  void SetCharCase(TEditCharCase Value);
  bool DroppedDown() const;
  void SetDroppedDown(bool Value);
  // The text edit of a csDropDown combo (nullptr for the list styles).
  TCustomEdit* EditControl() const;
  int SelStart();
  void SetSelStart(int Value);
  int SelLength();
  void SetSelLength(int Value);
  void SelectAll();
  void Clear();
  // The list that drops down (made on first use).
  TCustomListBox* DropDownList();

  TNotifyEvent OnChange;
  TNotifyEvent OnSelect;
  TNotifyEvent OnDropDown;
  TNotifyEvent OnCloseUp;
  TDrawItemEvent OnDrawItem;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void Dispatch(TMessage& Message) override;
  void Paint() override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void KeyPress(char32_t& Key) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  std::string GetText() const override;
  void SetTextInternal(const std::string& Value) override;
  virtual void Change();
  virtual void Select();
  virtual void DropDown();
  virtual void CloseUp();
  virtual void DrawItem(int Index, TRect Rect, TOwnerDrawState State);
  TRect ButtonRect();

 private:
  friend class TComboEdit;
  friend class TComboDropList;
  bool HandleComboKey(WORD Key, TShiftState Shift);
  void CloseList(bool Accept);
  void LayoutEdit();
  void ItemsChanged();
  void SelectFromSearch(char32_t Key);
  std::unique_ptr<TStringList> items_;
  class TComboEdit* edit_ = nullptr;
  class TComboDropList* list_ = nullptr;
  TComboBoxStyle style_ = csDropDown;
  int itemIndex_ = -1;
  int dropDownCount_ = 8;
  int itemHeight_ = 16;
  int maxLength_ = 0;
  TEditCharCase charCase_ = talvik::gui::ecNormal;
  bool buttonDown_ = false;
  std::string search_;
  DWORD searchTime_ = 0;
};

class TComboBox : public TCustomComboBox {
  TALVIK_CLASS(TComboBox, TCustomComboBox)
  using TCustomComboBox::TCustomComboBox;
};

// ---------------------------------------------------------------- scroll bars

enum TScrollBarKind { sbHorizontal, sbVertical };
enum TScrollCode {
  scLineUp,
  scLineDown,
  scPageUp,
  scPageDown,
  scPosition,
  scTrack,
  scTop,
  scBottom,
  scEndScroll
};
// A scroll bar's move; in the library's namespace, as other libraries have scroll events of their own.
namespace talvik::gui {
using TScrollEvent = std::function<void(TObject* Sender, TScrollCode ScrollCode, int& ScrollPos)>;
}  // namespace talvik::gui

// A scroll bar control; it tells its parent as WM_HSCROLL/WM_VSCROLL with its own handle, and the
// parent's reflection brings the code back to it.
class TScrollBar : public TCustomControl {
  TALVIK_CLASS(TScrollBar, TCustomControl)
  explicit TScrollBar(TComponent* AOwner);
  TScrollBarKind Kind() const { return kind_; }
  void SetKind(TScrollBarKind Value);
  int Min() const { return min_; }
  int Max() const { return max_; }
  int Position() const { return position_; }
  void SetPosition(int Value) { SetParams(Value, min_, max_); }
  void SetMin(int Value) { SetParams(position_, Value, max_); }
  void SetMax(int Value) { SetParams(position_, min_, Value); }
  int PageSize() const { return pageSize_; }
  void SetPageSize(int Value);
  int SmallChange() const { return smallChange_; }
  void SetSmallChange(int Value) { smallChange_ = Value; }
  int LargeChange() const { return largeChange_; }
  void SetLargeChange(int Value) { largeChange_ = Value; }
  void SetParams(int APosition, int AMin, int AMax);

  TNotifyEvent OnChange;
  talvik::gui::TScrollEvent OnScroll;

 protected:
  void Dispatch(TMessage& Message) override;
  void Paint() override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  virtual void Scroll(TScrollCode ScrollCode, int& ScrollPos);
  virtual void Change();

 private:
  struct Parts {
    TRect arrow1, arrow2, thumb, track;
  };
  Parts Layout();
  void Notify(int Code, int Pos);
  TScrollBarKind kind_ = sbHorizontal;
  int min_ = 0, max_ = 100, position_ = 0, pageSize_ = 0;
  int smallChange_ = 1, largeChange_ = 1;
  int dragOffset_ = -1;
  int pressedPart_ = 0;
  int trackPos_ = 0;  // the full thumb position while dragging: the messages carry 16 bits
};
