// Docks: the bars along the edges of a form that hold dockable windows (toolbars, the menu bar) in
// rows, and the arrangement that decides each docked window's row, position and length.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "platform/gui/Controls.h"
#include "platform/gui/Forms.h"
#include "toolbar/BarHook.h"

enum TBarDockPosition { dpTop, dpBottom, dpLeft, dpRight };

// How a docked window gives up length when its row is too short.
enum TBarShrinkMode { tbsmNone, tbsmWrap, tbsmChevron };

// What the arrangement of a dock knows of one window of its dock list, and what it gives back. The
// dock fills one slot per window from the window (its virtual size operations) and writes the results
// back; the arrangement itself touches no window, so it can be driven and measured on its own.
struct TBarDockSlot {
  // ---- given ----
  int DockRow = 0;
  int DockPos = -1;
  bool Visible = true;      // docked and showing on this dock
  int BaseLength = 0;       // base size along the row
  int NonClientLength = 0;  // docked non-client size along the row
  int MinimumLength = 0;    // minimum row size (0: none)
  TBarShrinkMode ShrinkMode = tbsmNone;
  bool FullSize = false;
  bool Stretch = false;
  bool NewRow = false;  // a drag asks for a row of its own

  // ---- results ----
  int EffectiveRow = -1;  // -1 when not visible here
  int EffectivePos = 0;
  int GivenLength = 0;  // 0 when the window gets its full length
  int Length = 0;       // the length along the row it is placed with
};

// The dock's side of one arrangement.
struct TBarDockArrangeParams {
  int InnerLength = 0;  // the dock's length along its rows less its non-client length, not below 0
  bool LimitToOneRow = false;
  bool RowLocked = false;  // the dragged window keeps its row and its place in the list
  int Dragged = -1;        // index of the dragged window in the slots, -1 when none
};

struct TBarDockArrangeResult {
  // Indices of the slots in their sorted order (by DockRow, then DockPos): the order the dock list
  // takes when positions are committed.
  std::vector<size_t> Order;
  int RowCount = 0;
  // The dragged window shares an overflowing row with other windows.
  bool Crowded = false;
};

// Decides rows, positions and lengths of the visible slots (steps up to the stored results of the
// dock's arrangement). With LimitToOneRow every slot's DockRow becomes 0.
TBarDockArrangeResult ArrangeDockSlots(std::vector<TBarDockSlot>& Slots, const TBarDockArrangeParams& Params);

// A row is as thick as the thickest of its windows across plus this (the docked frames).
constexpr int DockRowExtraThickness = 4;

class TBarDock;
class TBarCustomDockableWindow;
class TBarFloatingWindowParent;

enum TBarDockBoundLine { blTop, blBottom, blLeft, blRight };
using TBarDockBoundLines = TSet<TBarDockBoundLine>;
using TBarInsertRemoveEvent =
    std::function<void(TObject* Sender, bool Inserting, TBarCustomDockableWindow* Bar)>;
using TBarRequestDockEvent =
    std::function<void(TObject* Sender, TBarCustomDockableWindow* Bar, bool& Accept)>;

// Where a dockable window is, as its size calculations see it.
enum TBarDockType { dtNotDocked, dtFloating, dtTopBottom, dtLeftRight };

// A picture shared by a dock and the windows on it. Users register for change notifications; the
// picture is drawn into a device context for a rectangle whose origin is given relative to the
// picture's own origin, so that neighbouring windows continue one another.
class TBarBasicBackground : public TComponent {
  TALVIK_CLASS(TBarBasicBackground, TComponent)
  explicit TBarBasicBackground(TComponent* AOwner) : TComponent(AOwner) {}
  ~TBarBasicBackground() override;

  void RegisterChanges(TObject* User, std::function<void()> Proc);
  void UnregisterChanges(TObject* User);
  virtual void SysColorChanged() = 0;
  virtual bool UsingBackground() const = 0;
  // Fills DrawRect of DC; Origin is where the picture's origin lies in DC's coordinates.
  virtual void Draw(HDC DC, const TRect& DrawRect, TPoint Origin) = 0;

 protected:
  // Tells every registered user that the picture changed.
  void Changed();

 private:
  std::vector<std::pair<TObject*, std::function<void()>>> users_;
};

// A bar along one edge of a form that holds dockable windows in rows and sizes itself to them.
class TBarDock : public TCustomControl {
  TALVIK_CLASS(TBarDock, TCustomControl)
  explicit TBarDock(TComponent* AOwner);
  ~TBarDock() override;

  TBarDockPosition Position() const { return position_; }
  void SetPosition(TBarDockPosition Value);
  bool AllowDrag() const { return allowDrag_; }
  void SetAllowDrag(bool Value);
  TBarDockBoundLines BoundLines() const { return boundLines_; }
  void SetBoundLines(TBarDockBoundLines Value);
  TBarBasicBackground* Background() const { return background_; }
  void SetBackground(TBarBasicBackground* Value);
  bool BackgroundOnToolbars() const { return backgroundOnToolbars_; }
  void SetBackgroundOnToolbars(bool Value);
  bool FixAlign() const { return fixAlign_; }
  void SetFixAlign(bool Value);
  bool LimitToOneRow() const { return limitToOneRow_; }
  void SetLimitToOneRow(bool Value);
  TBarInsertRemoveEvent OnInsertRemoveBar;
  TBarRequestDockEvent OnRequestDock;

  // Vertical for dpLeft and dpRight.
  bool IsVertical() const { return position_ == dpLeft || position_ == dpRight; }
  TBarDockType DockType() const { return IsVertical() ? dtLeftRight : dtTopBottom; }
  // Whether a background is assigned and draws something.
  bool UsingBackground() const;
  // Draws the background for DrawRect of a window's DC whose origin lies at WindowOrigin (screen).
  void DrawBackground(HDC DC, const TRect& DrawRect, TPoint WindowOrigin);

  // Every window whose current dock or last dock this is, and the windows docked and showing here.
  const std::vector<TBarCustomDockableWindow*>& DockList() const { return dockList_; }
  const std::vector<TBarCustomDockableWindow*>& DockVisibleList() const { return visibleList_; }
  // The window list and the visible list follow a window that came, went, showed or hid.
  void ChangeDockList(bool Insert, TBarCustomDockableWindow* Bar);
  void ChangeDockVisibleList();

  // Arrangement: ArrangeToolbars runs now unless disabled or loading (then it runs on the last enable).
  void ArrangeToolbars();
  void DisableArrange() { ++disableArrangeToolbars_; }
  void EnableArrange();
  bool ArrangePending() const { return arrangeToolbarsNeeded_; }
  // Each visible window's effective row and position become its DockRow and DockPos.
  void CommitPositions();
  // The row at a coordinate across the dock (from its client edge); rows count from 0.
  int GetRowOf(int Coord) const;
  int RowCount() const { return static_cast<int>(rowSizes_.size()); }
  int RowSize(int Row) const { return rowSizes_.at(static_cast<size_t>(Row)); }

  // The drag of one window on this dock (set by the window's drag loop).
  TBarCustomDockableWindow* DraggingWindow() const { return draggingWindow_; }
  void SetDraggingWindow(TBarCustomDockableWindow* Value) { draggingWindow_ = Value; }
  bool RowLocked() const { return rowLocked_; }
  void SetRowLocked(bool Value) { rowLocked_ = Value; }
  bool Crowded() const { return crowded_; }
  void SetCrowded(bool Value) { crowded_ = Value; }
  void SetCommitNewPositions(bool Value) { commitNewPositions_ = Value; }
  int NonClientWidth() const { return nonClientWidth_; }
  int NonClientHeight() const { return nonClientHeight_; }
  // The length along the rows less the non-client length, not below 0.
  int InnerLength();

  void SetParent(TWinControl* AParent) override;
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  void WndProc(TMessage& Message) override;

 protected:
  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void AlignControls(TControl* AControl) override;
  void Paint() override;

 private:
  void FrameChanged();
  void InvalidateBackgrounds();
  void BackgroundChanged();
  void DrawNCArea(HDC DC);
  static void PaintNCProc(HWND Wnd, HDC DC, void* AppData);
  bool RelayToFloating(TMessage& Message);
  // The dock's thickness across its rows; a bottom and a right dock keep their far edge.
  void SetThickness(int Thickness);

  TBarDockPosition position_ = dpTop;
  bool allowDrag_ = true;
  TBarDockBoundLines boundLines_;
  TBarBasicBackground* background_ = nullptr;
  bool backgroundOnToolbars_ = true;
  bool crowded_ = false;
  bool rowLocked_ = false;
  TBarCustomDockableWindow* draggingWindow_ = nullptr;
  bool fixAlign_ = false;
  bool commitNewPositions_ = false;
  bool limitToOneRow_ = false;
  int disableArrangeToolbars_ = 0;
  bool arrangeToolbarsNeeded_ = false;
  int nonClientWidth_ = 0, nonClientHeight_ = 0;
  std::vector<TBarCustomDockableWindow*> dockList_;
  std::vector<TBarCustomDockableWindow*> visibleList_;
  std::vector<int> rowSizes_;  // thickness of each row from the last arrangement
};

enum TBarDockMode { dmCanFloat, dmCannotFloat, dmCannotFloatOrChangeDocks };
enum TBarDragHandleStyle { dhDouble, dhNone, dhSingle };
using TBarDockableTo = TSet<TBarDockPosition>;
enum TBarFloatingMode { fmOnTopOfParentForm, fmOnTopOfAllForms };
using TBarDockChangingEvent = std::function<void(TObject* Sender, bool Floating, TBarDock* DockingTo)>;

// Non-client hit codes of dockable windows and their floating parents.
constexpr LRESULT HT_BAR_DRAGHANDLE = 2000, HT_BAR_CLOSE = 2001, HT_BAR_CAPTION = 2002;
// The docked frame on every side.
constexpr int DockedBorderSize = 2;
// The drag handle's length along the row on a dock that allows dragging.
int HandleSizeFor(TBarDragHandleStyle Style, bool CloseButtonWhenDocked);

// Position callbacks (section = the window's Name).
using TBarPositionReadIntProc =
    std::function<int(const std::string& Section, const std::string& Name, int Default)>;
using TBarPositionReadStringProc = std::function<std::string(
    const std::string& Section, const std::string& Name, const std::string& Default)>;
using TBarPositionWriteIntProc =
    std::function<void(const std::string& Section, const std::string& Name, int Value)>;
using TBarPositionWriteStringProc =
    std::function<void(const std::string& Section, const std::string& Name, const std::string& Value)>;
struct TBarReadPositionData {
  TBarPositionReadIntProc ReadIntProc;
  TBarPositionReadStringProc ReadStringProc;
};
struct TBarWritePositionData {
  TBarPositionWriteIntProc WriteIntProc;
  TBarPositionWriteStringProc WriteStringProc;
};

// The base of every window that docks on a TBarDock or floats in a TBarFloatingWindowParent.
class TBarCustomDockableWindow : public TCustomControl {
  TALVIK_CLASS(TBarCustomDockableWindow, TCustomControl)
  explicit TBarCustomDockableWindow(TComponent* AOwner);
  ~TBarCustomDockableWindow() override;

  bool AutoResize() const { return autoResize_; }
  void SetAutoResize(bool Value);
  int DockPos() const { return dockPos_; }
  void SetDockPos(int Value);
  int DockRow() const { return dockRow_; }
  void SetDockRow(int Value);
  bool Docked() const { return docked_; }
  TBarDock* CurrentDock() const { return currentDock_; }
  void SetCurrentDock(TBarDock* Value);
  TBarDock* DefaultDock() const { return defaultDock_; }
  void SetDefaultDock(TBarDock* Value);
  TBarDock* LastDock() const { return lastDock_; }
  void SetLastDock(TBarDock* Value);
  bool Floating() const { return floating_; }
  void SetFloating(bool Value);
  bool ActivateParent() const { return activateParent_; }
  void SetActivateParent(bool Value) { activateParent_ = Value; }
  bool HideWhenInactive() const { return hideWhenInactive_; }
  void SetHideWhenInactive(bool Value);
  bool CloseButton() const { return closeButton_; }
  void SetCloseButton(bool Value);
  bool CloseButtonWhenDocked() const { return closeButtonWhenDocked_; }
  void SetCloseButtonWhenDocked(bool Value);
  bool FullSize() const { return fullSize_; }
  void SetFullSize(bool Value);
  bool Resizable() const { return resizable_; }
  void SetResizable(bool Value);
  bool ShowCaption() const { return showCaption_; }
  void SetShowCaption(bool Value);
  bool Stretch() const { return stretch_; }
  void SetStretch(bool Value);
  bool UseLastDock() const { return useLastDock_; }
  void SetUseLastDock(bool Value);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle Value);
  TBarDockMode DockMode() const { return dockMode_; }
  void SetDockMode(TBarDockMode Value) { dockMode_ = Value; }
  TBarDragHandleStyle DragHandleStyle() const { return dragHandleStyle_; }
  void SetDragHandleStyle(TBarDragHandleStyle Value);
  TBarDockableTo DockableTo() const { return dockableTo_; }
  void SetDockableTo(TBarDockableTo Value) { dockableTo_ = Value; }
  TBarFloatingMode FloatingMode() const { return floatingMode_; }
  void SetFloatingMode(TBarFloatingMode Value);
  bool SmoothDrag() const { return smoothDrag_; }
  void SetSmoothDrag(bool Value) { smoothDrag_ = Value; }
  bool CornerSizing() const { return cornerSizing_; }
  void SetCornerSizing(bool Value) { cornerSizing_ = Value; }

  TNotifyEvent OnClose;
  TCloseQueryEvent OnCloseQuery;
  TNotifyEvent OnDockChanged;
  TBarDockChangingEvent OnDockChanging;
  TBarDockChangingEvent OnDockChangingHidden;
  TNotifyEvent OnMove;
  TNotifyEvent OnRecreated;
  TNotifyEvent OnRecreating;
  TNotifyEvent OnVisibleChanged;

  // The dock arrangement's view of the window.
  int EffectiveDockRow() const { return effectiveDockRow_; }
  int EffectiveDockPos() const { return effectiveDockPos_; }
  int DockedLength() const { return dockedLength_; }  // 0: its full length
  int DockRowSize() const { return dockRowSize_; }
  bool InsertRowBefore() const { return insertRowBefore_; }
  // The docked frame sizes along x and y (frame plus drag handle on this window's dock).
  virtual TSize GetDockedNCAreaSize();
  // Whether a press at a client point may start a drag (not on a child control).
  virtual bool DragStartAllowed(TPoint ClientPoint);
  // The size of the window's contents for a dock type (no frame).
  virtual TSize CalcSizeForDockType(TBarDockType DockType) = 0;
  virtual void DrawDockedNCArea(HDC DC, bool DrawToDC);
  // The contents' size now (no frame).
  virtual TSize GetBaseSize() = 0;
  virtual TRect GetDockedCloseButtonRect(bool LeftRight);
  virtual int GetMinRowSize() { return 0; }
  virtual TBarShrinkMode GetShrinkMode() { return tbsmNone; }
  // The floating frame: border thickness x and y, caption height.
  virtual void GetFloatingNCAreaSize(TPoint& Border, int& CaptionHeight);
  // Floating resize hooks (the side being dragged is an HT code).
  virtual void SizingBegin(int /*SizeHandle*/) {}
  virtual void SizingTrack(int /*SizeHandle*/, TRect& /*Rect*/) {}
  virtual void SizingEnd() {}
  // The window's own values in its saved position.
  virtual void ReadPositionData(const TBarReadPositionData& /*Data*/) {}
  virtual void WritePositionData(const TBarWritePositionData& /*Data*/) {}
  virtual void DoneReadingPositionData() {}

  // Sizes itself (docked: its dock arranges).
  void Arrange();
  void DisableArrange() { ++disableArrange_; }
  void EnableArrange();
  // OnCloseQuery, then hide and OnClose.
  void Close();
  // The screen position of the floating frame.
  TPoint FloatingPosition() const { return floatingPosition_; }
  void SetFloatingPosition(TPoint Value);
  // The dock type as size calculations see it.
  TBarDockType GetDockTypeOf() const;
  // Dock to Dock (nullptr: float) at the given row and position, as the drag and the loader do.
  void DockTo(TBarDock* Dock);
  // Double click on the handle or caption: float when docked, dock back when floating.
  void ToggleDockFloat();
  // The modal drag loop, started by a press at a screen point.
  void BeginMoving(TPoint InitialScreenPos);
  // The modal size loop of the floating frame for an HT sizing code.
  void BeginSizing(int SizeHandle);
  // Forms whose docks are also drag targets.
  void AddDockForm(TCustomForm* Form);
  void RemoveDockForm(TCustomForm* Form);
  // Brings the floating parent's showing state up to date.
  void UpdateVisibility();
  // The floating parent while floating.
  TBarFloatingWindowParent* FloatingParent() const;
  // The length given by the dock changes (called by the dock's arrangement).
  void SetDockedArrangement(int Row, int Pos, int Length, int RowSize);
  void SetInsertRowBefore(bool Value) { insertRowBefore_ = Value; }
  bool Dragging() const { return inDrag_; }
  // Moves the floating frame into its monitor's work area (only when it lies wholly outside, if asked).
  void MoveOnScreen(bool OnlyIfFullyOffscreen);
  // The dock the arrangement looks at.
  TBarDock* ArrangeDock() const { return currentDock_; }

  void SetParent(TWinControl* AParent) override;
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  void WndProc(TMessage& Message) override;

 protected:
  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void Paint() override {}
  // The window's size changed (floating resize, arrangement).
  virtual void SizeChanged() {}
  // Forgets the length the dock gave (the window asks for its full length at the next arrangement).
  void ClearDockedLength() { dockedLength_ = 0; }
  bool CanDrag() const;
  int DragHandleSize() const;
  int DragHandleOffset() const;
  TRect CloseButtonRectInWindow();

 private:
  friend class TBarFloatingWindowParent;
  friend class TBarDock;
  void FrameChanged();
  void DrawFrame(HDC DC);
  static void PaintNCProc(HWND Wnd, HDC DC, void* AppData);
  void TrackDockedCloseButton();
  void ClearHover();
  bool IsFloatingAllowed() const;
  void DragLoop(TPoint InitialScreenPos);
  void SizeLoop(int SizeHandle);
  TCustomForm* OwnerForm();
  void FreeFloatingParent(TBarFloatingWindowParent* P);
  static void HookProc(THookProcCode Code, HWND Wnd, WPARAM WParam, LPARAM LParam);

  bool autoResize_ = true;
  int dockPos_ = -1;
  int dockRow_ = 0;
  int effectiveDockPos_ = 0;
  int effectiveDockRow_ = -1;
  bool docked_ = false;
  TBarDock* currentDock_ = nullptr;
  TBarDock* defaultDock_ = nullptr;
  TBarDock* lastDock_ = nullptr;
  int dockedLength_ = 0;
  bool floating_ = false;
  bool activateParent_ = true;
  bool hideWhenInactive_ = true;
  bool closeButton_ = true;
  bool closeButtonWhenDocked_ = false;
  bool fullSize_ = false;
  bool resizable_ = true;
  bool showCaption_ = true;
  bool stretch_ = false;
  bool useLastDock_ = true;
  TBorderStyle borderStyle_ = bsSingle;
  TBarDockMode dockMode_ = dmCanFloat;
  TBarDragHandleStyle dragHandleStyle_ = dhSingle;
  TBarDockableTo dockableTo_{dpTop, dpBottom, dpLeft, dpRight};
  TBarFloatingMode floatingMode_ = fmOnTopOfParentForm;
  bool smoothDrag_ = true;
  bool cornerSizing_ = true;
  int dockRowSize_ = 0;
  bool insertRowBefore_ = false;
  int updatingBounds_ = 0, disableArrange_ = 0, disableOnMove_ = 0, dockChangingCount_ = 0;
  bool arrangeNeeded_ = false;
  bool inactiveCaption_ = false, closeButtonHover_ = false, closeButtonDown_ = false;
  bool inDrag_ = false;
  TPoint floatingPosition_;
  std::vector<TCustomForm*> dockForms_;
  TBarFloatingWindowParent* keptFloatingParent_ = nullptr;
};

// The small tool form a floating dockable window lives in: caption, close button, sizing borders.
class TBarFloatingWindowParent : public TCustomForm {
  TALVIK_CLASS(TBarFloatingWindowParent, TCustomForm)
  TBarFloatingWindowParent(TBarCustomDockableWindow* Window, TCustomForm* ParentForm);
  ~TBarFloatingWindowParent() override;

  TBarCustomDockableWindow* DockableWindow() const { return dockableWindow_; }
  TCustomForm* ParentForm() const { return parentForm_; }
  bool ShouldShow() const { return shouldShow_; }
  void SetShouldShow(bool Value);
  // The frame around the client area: border thickness and caption height.
  void GetFrameSize(TPoint& Border, int& CaptionHeight);
  TRect CloseButtonRect();  // window coordinates
  void RedrawCaption();
  void SetInactiveCaption(bool Value);
  // The window that owns this one: the application window or the parent form (its MDI frame).
  HWND OwnerWindow();
  void UpdateOwnerAndTopmost();
  void WndProc(TMessage& Message) override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  void DrawFrame(HDC DC);
  static void PaintNCProc(HWND Wnd, HDC DC, void* AppData);
  LRESULT HitTest(TPoint Screen);
  void TrackCloseButton();
  // Gives the activation to another window of the thread: the first visible, enabled, non-topmost
  // one, else the first topmost one; with SkipFloating never to a floating parent (which would only
  // pass it on).
  void ActivateAnotherWindow(bool SkipFloating);

  TBarCustomDockableWindow* dockableWindow_;
  TCustomForm* parentForm_;
  bool closeButtonDown_ = false;
  bool shouldShow_ = false;
  bool inactiveCaption_ = false;
};

// The windows that float now, in the order they started floating.
const std::vector<TBarCustomDockableWindow*>& FloatingToolWindows();
