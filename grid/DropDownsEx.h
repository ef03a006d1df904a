// The drop-down windows that edit controls open under themselves: one placement routine, one size
// grip and one way of closing, shared by the list box of combo boxes, the month calendar of date
// edits and the list of recent entries. Each is a top-most tool window that takes no activation and
// reports its close to the control that owns it.
#pragma once

#include <functional>
#include <string>

#include "grid/MRUList.h"
#include "platform/gui/Calendar.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/StdCtrls.h"

enum TSizeGripPosition { sgpTopLeft, sgpTopRight, sgpBottomRight, sgpBottomLeft };
enum TSizeGripChangePosition { sgcpToLeft, sgcpToRight, sgcpToTop, sgcpToBottom };
enum TDropDownAlign { daLeft, daRight, daCenter };

// Private messages of the drop-downs: the grip move (WParam a TSizeGripChangePosition) and the close
// without accepting that a calendar posts to itself when it loses the focus.
constexpr UINT WM_DROPDOWN_GRIPMOVE = WM_USER + 100;
constexpr UINT WM_DROPDOWN_CLOSEUPNOACCEPT = WM_USER + 101;

// What a drop-down's owner implements: the drop-down closes itself through it. A drop-down whose
// owner lacks it closes nothing.
class IPopupOwnerEx {
 public:
  virtual void CloseUp(bool Accept) = 0;

 protected:
  ~IPopupOwnerEx() = default;
};

// Asks the owner of Popup to close it (nothing when the owner does not implement IPopupOwnerEx).
void PopupCloseUp(TComponent* Popup, bool Accept);

// The corner the grip moves to.
TSizeGripPosition ChangeGripPosition(TSizeGripPosition Position, TSizeGripChangePosition Change);

// The screen rectangle of a control.
TRect GetControlScreenRect(TControl* Control);
// The work area of the monitor nearest to a screen rectangle.
TRect DropDownWorkArea(const TRect& OwnerRect);

// Where a drop-down of Size opens against a control at OwnerRect (screen) within WorkArea: its
// position, its size (cut to the room or the work area) and the two grip moves it is sent.
struct TDropDownListPlacement {
  TPoint Pos;
  TSize Size;
  TSizeGripChangePosition VertGrip = sgcpToBottom;
  TSizeGripChangePosition HorzGrip = sgcpToRight;
};
TDropDownListPlacement SizeDropDownList(const TRect& OwnerRect, TSize Size, TDropDownAlign Align,
                                        const TRect& WorkArea);
// Places a drop-down window: takes the work area of the monitor nearest to OwnerRect, cuts the window
// to the room (its own rounding of the height applies), sends it the grip moves and answers the
// position at which the caller shows it.
TPoint SizeDropDownList(const TRect& OwnerRect, TWinControl* DropDown, TDropDownAlign Align);

// ---------------------------------------------------------------- the size grip

class TSizeGripEx : public TCustomControl {
  TALVIK_CLASS(TSizeGripEx, TCustomControl)
  explicit TSizeGripEx(TComponent* AOwner);

  TSizeGripPosition Position() const { return position_; }
  void SetPosition(TSizeGripPosition Value);
  bool TriangleWindow() const { return triangleWindow_; }
  void SetTriangleWindow(bool Value);
  // Moves the grip into its corner of the parent.
  void UpdatePosition();
  void ChangePosition(TSizeGripChangePosition Change);
  // The parent's client size changed by a drag of the grip.
  TNotifyEvent OnParentResized;

 protected:
  void CreateWnd() override;
  void Paint() override;
  void Dispatch(TMessage& Message) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

 private:
  void UpdateRegion();
  TSizeGripPosition position_ = sgpBottomRight;
  bool triangleWindow_ = true;
  bool updating_ = false;
  bool sizing_ = false;
  TPoint startMouse_;
  TRect startRect_;
};

// ---------------------------------------------------------------- the list

class TPopupListboxEx : public TCustomListBox {
  TALVIK_CLASS(TPopupListboxEx, TCustomListBox)
  explicit TPopupListboxEx(TComponent* AOwner);
  ~TPopupListboxEx() override;

  bool CanFocus() override { return false; }
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  // Height for N rows (at least one) and the border.
  void SetRowCount(int Value);
  int RowCount();
  void SetSizeGripResizable(bool Value);
  int GetTextHeight();
  TSizeGripEx* SizeGrip() const { return sizeGrip_; }
  TCustomImageList* Images() const { return images_; }
  void SetImages(TCustomImageList* Value) { images_ = Value; }
  // Set by every change of the window's size; the owner clears it after placing the list and reads
  // it when the list closes.
  bool SizeChanged() const { return sizeChanged_; }
  void SetSizeChanged(bool Value) { sizeChanged_ = Value; }
  const std::string& SearchText() const { return searchText_; }
  // Whether the list is shown now.
  bool ListVisible();

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void Dispatch(TMessage& Message) override;
  void DrawItem(int Index, TRect Rect, TOwnerDrawState State) override;
  void KeyPress(char32_t& Key) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) override;
  int BorderSize();

  TSizeGripEx* sizeGrip_ = nullptr;  // a child component

 private:
  TCustomImageList* images_ = nullptr;
  bool sizeChanged_ = false;
  std::string searchText_;
  std::uint64_t searchTime_ = 0;
  TPoint lastMouse_{-1, -1};
};

// The drop-down of the recent entries: its own scroll bar at the right edge, shown only when there
// are more items than rows.
class TMRUListboxEx : public TPopupListboxEx {
  TALVIK_CLASS(TMRUListboxEx, TPopupListboxEx)
  explicit TMRUListboxEx(TComponent* AOwner);
  TScrollBar* ScrollBar() const { return scrollBar_; }
  void UpdateScrollBar() override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void Dispatch(TMessage& Message) override;

 private:
  void ScrollBarScroll(TObject* Sender, TScrollCode ScrollCode, int& ScrollPos);
  TScrollBar* scrollBar_ = nullptr;  // a child component
  bool updatingBar_ = false;
};

// ---------------------------------------------------------------- the calendar

class TPopupMonthCalendarEx : public TMonthCalendar {
  TALVIK_CLASS(TPopupMonthCalendarEx, TMonthCalendar)
  explicit TPopupMonthCalendarEx(TComponent* AOwner);
  // The window size the whole month needs, borders included.
  TSize RequiredSize();

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void Dispatch(TMessage& Message) override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) override;
  int BorderSize() const { return Ctl3D() ? 2 : 0; }
};
