// The control hierarchy: TControl, TWinControl (a window of ours), TCustomControl and TGraphicControl.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/ActnList.h"
#include "platform/gui/Graphics.h"
#include "platform/gui/Messages.h"
#include "platform/gui/Windows.h"
#include "platform/rtl/Classes.h"

class TWinControl;
class TCustomForm;
class TPopupMenu;
class TControl;

// Keeps a control in step with its action: caption, enabled, hint, visible and help context, each
// only while the control still shows the action's value.
class TControlActionLink : public TActionLink {
  TALVIK_CLASS(TControlActionLink, TActionLink)
  explicit TControlActionLink(TControl* AClient);

  bool IsCaptionLinked() override;
  bool IsEnabledLinked() override;
  bool IsHintLinked() override;
  bool IsVisibleLinked() override;
  bool IsHelpContextLinked() override;
  void SetCaption(const std::string& Value) override;
  void SetEnabled(bool Value) override;
  void SetHint(const std::string& Value) override;
  void SetVisible(bool Value) override;
  void SetHelpContext(int Value) override;

 protected:
  TControl* control_;
};

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
enum TAnchorKind { akLeft, akTop, akRight, akBottom };
using TAnchors = TSet<TAnchorKind>;
enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftStateFlag { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateFlag>;
enum TBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

using TCursor = int;
constexpr TCursor crDefault = 0, crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4, crSizeNESW = -6,
                  crSizeNS = -7, crSizeNWSE = -8, crSizeWE = -9, crUpArrow = -10, crHourGlass = -11,
                  crDrag = -12, crNoDrop = -13, crHSplit = -14, crVSplit = -15, crMultiDrag = -16,
                  crSQLWait = -17, crNo = -18, crAppStart = -19, crHelp = -20, crHandPoint = -21,
                  crSizeAll = -22, crSize = -22;

enum TControlStyleFlag {
  csAcceptsControls,
  csCaptureMouse,
  csDesignInteractive,
  csClickEvents,
  csFramed,
  csSetCaption,
  csOpaque,
  csDoubleClicks,
  csFixedWidth,
  csFixedHeight,
  csNoDesignVisible,
  csReplicatable,
  csNoStdEvents,
  csDisplayDragImage,
  csReflector,
  csActionClient,
  csMenuEvents,
  csNeedsBorderPaint,
  csParentBackground
};
using TControlStyle = TSet<TControlStyleFlag>;
enum TControlStateFlag {
  csLButtonDown,
  csClicked,
  csPalette,
  csReadingState,
  csAlignmentNeeded,
  csFocusing,
  csCreating,
  csPaintCopy,
  csCustomPaint,
  csDestroyingHandle,
  csDocking
};
using TControlState = TSet<TControlStateFlag>;

using TWndMethod = std::function<void(TMessage&)>;

// Reading order and alignment: right to left mirrors the alignment and the scroll bar side; the
// "no align" mode keeps the alignment, the "reading only" mode keeps both.
enum TBiDiMode { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };
// Values a control keeps for the input method, the help system and docking, which this system
// stores and hands on but does not act upon.
enum TImeMode {
  imDisable,
  imClose,
  imOpen,
  imDontCare,
  imSAlpha,
  imAlpha,
  imHira,
  imSKata,
  imKata,
  imChinese,
  imSHanguel,
  imHanguel
};
enum THelpType { htKeyword, htContext };
enum TDragKind { dkDrag, dkDock };

// The smallest and largest size a control takes (0: no limit). A maximum below the minimum lowers
// the minimum, a minimum above the maximum raises the maximum.
class TSizeConstraints : public TPersistent {
  TALVIK_CLASS(TSizeConstraints, TPersistent)
  explicit TSizeConstraints(TControl* Control) : control_(Control) {}
  void Assign(TPersistent* Source) override;
  int MaxHeight() const { return maxHeight_; }
  void SetMaxHeight(int Value);
  int MaxWidth() const { return maxWidth_; }
  void SetMaxWidth(int Value);
  int MinHeight() const { return minHeight_; }
  void SetMinHeight(int Value);
  int MinWidth() const { return minWidth_; }
  void SetMinWidth(int Value);
  // Width and height brought within the limits.
  void Constrain(int& Width, int& Height) const;
  // The limits times M / D.
  void Scale(int M, int D);
  TNotifyEvent OnChange;

 private:
  void Change();
  TControl* control_;
  int maxHeight_ = 0, maxWidth_ = 0, minHeight_ = 0, minWidth_ = 0;
};

// In-process dragging of one control's contents onto another control.
enum TDragMode { dmManual, dmAutomatic };
enum TDragState { dsDragEnter, dsDragLeave, dsDragMove };
enum TDragMessage { dmDragEnter, dmDragLeave, dmDragMove, dmDragDrop, dmDragCancel, dmFindTarget };
// What CM_DRAG carries in its LParam (its WParam is the TDragMessage).
struct TDragRec {
  TPoint Pos;  // screen
  class TControl* Source = nullptr;
  class TControl* Target = nullptr;
  bool Accepted = false;
};
using TDragOverEvent =
    std::function<void(TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept)>;
using TDragDropEvent = std::function<void(TObject* Sender, TObject* Source, int X, int Y)>;
using TEndDragEvent = std::function<void(TObject* Sender, TObject* Target, int X, int Y)>;
using TStartDragEvent = std::function<void(TObject* Sender)>;
using TMouseEvent =
    std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = std::function<void(TObject* Sender, WORD& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char32_t& Key)>;
using TMouseWheelEvent =
    std::function<void(TObject* Sender, TShiftState Shift, int WheelDelta, TPoint MousePos, bool& Handled)>;
using TMouseWheelUpDownEvent =
    std::function<void(TObject* Sender, TShiftState Shift, TPoint MousePos, bool& Handled)>;
using TContextPopupEvent = std::function<void(TObject* Sender, TPoint MousePos, bool& Handled)>;

// A hidden window whose messages go to `Method` (which answers what it does not handle with
// DefWindowProc); an exception the method lets out goes to the application.
HWND AllocateHWnd(TWndMethod Method);
void DeallocateHWnd(HWND Wnd);

// The thumb position a WM_HSCROLL/WM_VSCROLL with SB_THUMBTRACK or SB_THUMBPOSITION names for the
// window's bar (SB_HORZ, SB_VERT). The message has room for 16 bits only: the bar's 32-bit track
// position is taken when its low 16 bits are the ones the message carries, so a list of more than
// 32,767 rows can be dragged to its end; a message sent by hand with another value stands as sent.
int ScrollThumbPosition(HWND Wnd, int Bar, WPARAM WParam);

// A hint text is "short|long": the short part shows in the hint window, the long part in a status line.
// Without a "|" both are the whole text.
std::string GetShortHint(const std::string& Hint);
std::string GetLongHint(const std::string& Hint);

// The shift state of key data / mouse keys and the current keyboard.
TShiftState KeysToShiftState(WPARAM keys);
TShiftState KeyDataToShiftState(LPARAM keyData);
TShiftState GetShiftState();
// The shared cursor of a TCursor value.
HCURSOR CursorHandle(TCursor cursor);

class THintWindow;
// Makes the window a hint shows in (THintInfo.HintWindowClass; empty: the application's plain one).
using THintWindowFactory = std::function<std::unique_ptr<THintWindow>()>;

// What CM_HINTSHOW carries in its LParam. CursorRect is where the hint stays valid: leaving it asks
// the control again. CM_HINTSHOWPAUSE carries whether a hint was showing (WParam) and a pointer to the
// pause in ms (LParam) that the control may change.
struct THintInfo {
  class TControl* HintControl = nullptr;
  TPoint HintPos;  // screen
  int HintMaxWidth = 0;
  TColor HintColor = clInfoBk;
  TRect CursorRect;  // client coordinates of HintControl
  TPoint CursorPos;
  int ReshowTimeout = 0;
  int HideTimeout = 0;
  std::string HintStr;
  void* HintData = nullptr;
  THintWindowFactory HintWindowClass;
};

// A canvas that draws on a control: its own DC while painting, or one made on demand.
class TControlCanvas : public TCanvas {
  TALVIK_CLASS(TControlCanvas, TCanvas)
  ~TControlCanvas() override;
  class TControl* Control() const {
    return control_;
  }
  void SetControl(class TControl* Value);
  void FreeHandle();

 protected:
  void CreateHandle() override;

 private:
  class TControl* control_ = nullptr;
  HDC dc_ = nullptr;
  HWND window_ = nullptr;
};

class TControl : public TComponent {
  TALVIK_CLASS(TControl, TComponent)
  explicit TControl(TComponent* AOwner);
  ~TControl() override;

  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* AParent);
  // The control itself when it is a windowed one, else nullptr: what a dynamic_cast says, for the
  // loops that look at every child of a window (painting, action updates) at a fraction of its cost.
  TWinControl* AsWinControl() const { return winControl_; }
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int Value) { SetBounds(Value, top_, width_, height_); }
  void SetTop(int Value) { SetBounds(left_, Value, width_, height_); }
  void SetWidth(int Value) { SetBounds(left_, top_, Value, height_); }
  void SetHeight(int Value) { SetBounds(left_, top_, width_, Value); }
  virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
  TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
  void SetBoundsRect(const TRect& R) { SetBounds(R.Left, R.Top, R.Width(), R.Height()); }
  virtual TRect ClientRect();
  int ClientWidth() { return ClientRect().Width(); }
  int ClientHeight() { return ClientRect().Height(); }
  void SetClientWidth(int Value);
  void SetClientHeight(int Value);
  virtual TPoint ClientOrigin();  // screen position of the client area
  TPoint ClientToScreen(TPoint P) { return {P.X + ClientOrigin().X, P.Y + ClientOrigin().Y}; }
  TPoint ScreenToClient(TPoint P) { return {P.X - ClientOrigin().X, P.Y - ClientOrigin().Y}; }

  TAlign Align() const { return align_; }
  void SetAlign(TAlign Value);
  TAnchors Anchors() const { return anchors_; }
  void SetAnchors(TAnchors Value) { anchors_ = Value; }
  bool Visible() const { return visible_; }
  virtual void SetVisible(bool Value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool Value);
  TColor Color() const { return color_; }
  void SetColor(TColor Value);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool Value);
  TFont* Font() { return font_.get(); }
  void SetFont(TFont* Value) { font_->Assign(Value); }
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool Value);
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool Value);
  bool ParentCtl3D() const { return parentCtl3D_; }
  void SetParentCtl3D(bool Value);
  // Right to left: the mode, taken from the parent while ParentBiDiMode is set.
  TBiDiMode BiDiMode() const { return biDiMode_; }
  void SetBiDiMode(TBiDiMode Value);
  bool ParentBiDiMode() const { return parentBiDiMode_; }
  void SetParentBiDiMode(bool Value);
  bool IsRightToLeft() const { return biDiMode_ != bdLeftToRight; }
  virtual bool UseRightToLeftAlignment() const { return biDiMode_ == bdRightToLeft; }
  bool UseRightToLeftReading() const { return biDiMode_ != bdLeftToRight; }
  bool UseRightToLeftScrollBar() const {
    return biDiMode_ == bdRightToLeft || biDiMode_ == bdRightToLeftNoAlign;
  }
  // DrawText flags with DT_LEFT and DT_RIGHT exchanged under right-to-left alignment and
  // DT_RTLREADING added under right-to-left reading.
  UINT DrawTextBiDiModeFlags(UINT Flags) const;
  UINT DrawTextBiDiModeFlagsReadingOnly() const { return UseRightToLeftReading() ? DT_RTLREADING : 0; }
  // The alignment as it shows: left and right exchanged under right-to-left alignment.
  TAlignment BiDiAlignment(TAlignment Value) const;
  TSizeConstraints* Constraints() { return constraints_.get(); }
  void SetConstraints(TSizeConstraints* Value) { constraints_->Assign(Value); }
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& Value) { hint_ = Value; }
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool Value);
  bool ParentShowHint() const { return parentShowHint_; }
  void SetParentShowHint(bool Value) { parentShowHint_ = Value; }
  TPopupMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TPopupMenu* Value);
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor Value);
  std::string Caption() const { return GetText(); }
  void SetCaption(const std::string& Value) { SetText(Value); }
  std::string Text() const { return GetText(); }
  void SetText(const std::string& Value);
  TControlStyle ControlStyle() const { return controlStyle_; }
  void SetControlStyle(TControlStyle Value) { controlStyle_ = Value; }
  TControlState ControlState() const { return controlState_; }
  void SetControlState(TControlState Value) { controlState_ = Value; }
  bool MouseCapture();
  void SetMouseCapture(bool Value);
  TWndMethod WindowProc;  // replace to subclass; WndProc is the original
  int HelpContext() const { return helpContext_; }
  void SetHelpContext(int Value) { helpContext_ = Value; }
  THelpType HelpType() const { return helpType_; }
  void SetHelpType(THelpType Value) { helpType_ = Value; }
  const std::string& HelpKeyword() const { return helpKeyword_; }
  void SetHelpKeyword(const std::string& Value) { helpKeyword_ = Value; }
  TDragKind DragKind() const { return dragKind_; }
  void SetDragKind(TDragKind Value) { dragKind_ = Value; }

  // The action whose properties the control shows and which its Click runs.
  TBasicAction* Action() const { return actionLink_ ? actionLink_->Action() : nullptr; }
  void SetAction(TBasicAction* Value);
  TControlActionLink* ActionLink() const { return actionLink_.get(); }
  // Lets the action update itself (idle time).
  virtual void InitiateAction();

  LRESULT Perform(UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0);
  virtual void WndProc(TMessage& Message);
  virtual void Dispatch(TMessage& Message);  // the message handlers of the class
  virtual void DefaultHandler(TMessage& Message);
  virtual void Invalidate();
  virtual void Update();
  virtual void Repaint();
  void Refresh() { Repaint(); }
  void BringToFront();
  void SendToBack();
  bool HasParent() const override { return parent_ != nullptr; }
  bool IsShowingForPaint() const;
  virtual void Click();
  virtual void DblClick();

  // Dragging: BeginDrag starts at once when Immediate, else once the mouse has moved Threshold pixels
  // (-1: the system's drag distance) with the button held. Esc or a lost capture cancels.
  TDragMode DragMode() const { return dragMode_; }
  void SetDragMode(TDragMode Value) { dragMode_ = Value; }
  TCursor DragCursor() const { return dragCursor_; }
  void SetDragCursor(TCursor Value) { dragCursor_ = Value; }
  void BeginDrag(bool Immediate, int Threshold = -1);
  void EndDrag(bool Drop);
  bool Dragging() const;
  virtual void DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept);
  virtual void DragDrop(TObject* Source, int X, int Y);
  virtual void DoStartDrag();
  virtual void DoEndDrag(TObject* Target, int X, int Y);
  TDragOverEvent OnDragOver;
  TDragDropEvent OnDragDrop;
  TEndDragEvent OnEndDrag;
  TStartDragEvent OnStartDrag;

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;
  TNotifyEvent OnResize;
  TContextPopupEvent OnContextPopup;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

 protected:
  virtual std::string GetText() const { return text_; }
  virtual void SetTextInternal(const std::string& Value) { text_ = Value; }
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseMove(TShiftState Shift, int X, int Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void Resize();
  virtual void Changed() {}
  virtual void RequestAlign();
  virtual void VisibleChanging() {}
  virtual void DoContextPopup(TPoint MousePos, bool& Handled);
  void SendCancelMode(TControl* Sender);
  // Scales position, size, the size limits and (unless it is the parent's) the font by M / D.
  virtual void ChangeScale(int M, int D);
  virtual void ConstraintsChanged();
  virtual void FontChanged();
  // Copies the action's properties; with CheckDefaults only into properties still at their default.
  virtual void ActionChange(TObject* Sender, bool CheckDefaults);
  virtual std::unique_ptr<TControlActionLink> CreateActionLink();
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void InvalidateControl(bool IsVisible, bool IsOpaque);
  TFont* ParentFontObject();

  TWinControl* parent_ = nullptr;
  TWinControl* winControl_ = nullptr;  // set by TWinControl while it lives
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TAlign align_ = alNone;
  TAnchors anchors_{akLeft, akTop};
  bool visible_ = true;
  bool enabled_ = true;
  TColor color_ = clWindow;
  bool parentColor_ = true;
  std::unique_ptr<TFont> font_;
  bool parentFont_ = true;
  bool ctl3D_ = true;
  bool parentCtl3D_ = true;
  TBiDiMode biDiMode_ = bdLeftToRight;
  bool parentBiDiMode_ = true;
  std::unique_ptr<TSizeConstraints> constraints_;
  std::string hint_;
  bool showHint_ = false;
  bool parentShowHint_ = true;
  TPopupMenu* popupMenu_ = nullptr;
  TCursor cursor_ = crDefault;
  std::string text_;
  TControlStyle controlStyle_{csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  TControlState controlState_;
  TDragMode dragMode_ = dmManual;
  TCursor dragCursor_ = crDrag;
  int helpContext_ = 0;
  THelpType helpType_ = htContext;
  std::string helpKeyword_;
  TDragKind dragKind_ = dkDrag;
  std::unique_ptr<TControlActionLink> actionLink_;

  friend class TWinControl;
  friend class TApplication;
  friend class TCustomForm;
  friend class TSizeConstraints;

 private:
  void HandleMouse(TMessage& Message);
};

struct TCreateParams {
  std::string Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  int X = 0, Y = 0, Width = 0, Height = 0;
  HWND WndParent = nullptr;
  void* Param = nullptr;
  WNDCLASS WindowClass;
  std::string WinClassName;
  // The procedure that answers what the control leaves to the default: DefWindowProc, or the
  // procedure of a window class of the layer the control builds on (CreateSubClass).
  WNDPROC DefWndProc = nullptr;
};

class TWinControl : public TControl {
  TALVIK_CLASS(TWinControl, TControl)
  explicit TWinControl(TComponent* AOwner);
  ~TWinControl() override;

  HWND Handle();  // made on demand
  bool HandleAllocated() const { return handle_ != nullptr; }
  void HandleNeeded() { Handle(); }
  HWND ParentWindow() const { return parentWindow_; }
  void SetParentWindow(HWND Value) { parentWindow_ = Value; }
  bool Showing() const { return showing_; }
  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int Index) const { return controls_.at(static_cast<std::size_t>(Index)); }
  void InsertControl(TControl* AControl);
  void RemoveControl(TControl* AControl);
  bool ContainsControl(TControl* Control) const;
  TControl* ControlAtPos(TPoint Pos, bool AllowDisabled, bool AllowWinControls = false);
  int TabOrder() const;
  void SetTabOrder(int Value);
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool Value);
  TImeMode ImeMode() const { return imeMode_; }
  void SetImeMode(TImeMode Value) { imeMode_ = Value; }
  const std::string& ImeName() const { return imeName_; }
  void SetImeName(const std::string& Value) { imeName_ = Value; }
  // The windowed controls in tab order, this control's and its children's; a control may take out
  // children that do not take part (a toolbar's hosted controls).
  virtual void GetTabOrderList(std::vector<TWinControl*>& List);
  TWinControl* FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop, bool CheckParent);
  void SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop);
  virtual bool CanFocus();
  bool Focused();
  virtual void SetFocus();
  void DisableAlign() { ++alignDisabled_; }
  void EnableAlign();
  void Realign() { AlignControls(nullptr); }
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  TRect ClientRect() override;
  TPoint ClientOrigin() override;
  void Invalidate() override;
  void Update() override;
  void Repaint() override;
  void RecreateWnd();
  // Scales the control and its children by M / D, keeping the control's own position.
  void ScaleBy(int M, int D);
  void Broadcast(TMessage& Message);
  void PaintTo(HDC DC, int X, int Y);
  TBrush* Brush() { return &brush_; }
  void SetParent(TWinControl* AParent) override;
  void SetVisible(bool Value) override;
  void SetEnabled(bool Value) override;
  void DefaultHandler(TMessage& Message) override;
  void WndProc(TMessage& Message) override;
  void Dispatch(TMessage& Message) override;
  // The control of ours that owns a window handle (nullptr for other windows).
  static TWinControl* FindControl(HWND Handle);

  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TKeyEvent OnKeyDown;
  TKeyPressEvent OnKeyPress;
  TKeyEvent OnKeyUp;
  TMouseWheelEvent OnMouseWheel;
  TMouseWheelUpDownEvent OnMouseWheelDown;
  TMouseWheelUpDownEvent OnMouseWheelUp;

 protected:
  void ConstraintsChanged() override;
  virtual void CreateParams(TCreateParams& Params);
  // The extended styles of the reading order, the scroll bar side and the mirrored alignment.
  void AddBiDiModeExStyle(DWORD& ExStyle);
  // The alignment of the control's text (what the mirrored extended style turns around).
  virtual TAlignment GetControlsAlignment() const { return taLeftJustify; }
  void ChangeScale(int M, int D) override;
  void ScaleControls(int M, int D);
  // Builds the control on a window class of the layer ("EDIT"): its procedure becomes the default one.
  void CreateSubClass(TCreateParams& Params, const std::string& ControlClassName);
  virtual void CreateWnd();
  virtual void CreateWindowHandle(const TCreateParams& Params);
  virtual void DestroyWnd();
  virtual void DestroyWindowHandle();
  virtual void CreateHandle();
  void DestroyHandle();
  virtual void AlignControls(TControl* AControl);
  virtual void AdjustClientRect(TRect& /*Rect*/) {}
  virtual void PaintWindow(HDC DC);
  void PaintHandler(TMessage& Message);
  void PaintControls(HDC DC, TControl* First);
  virtual void KeyDown(WORD& Key, TShiftState Shift);
  virtual void KeyUp(WORD& Key, TShiftState Shift);
  virtual void KeyPress(char32_t& Key);
  virtual bool DoKeyDown(TMessage& Message);
  virtual bool DoKeyUp(TMessage& Message);
  virtual bool DoKeyPress(TMessage& Message);
  virtual bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos);
  // What DoMouseWheel asks when OnMouseWheel left the wheel unhandled, by its direction.
  virtual bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos);
  virtual bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos);
  virtual void DoEnter();
  virtual void DoExit();
  virtual void UpdateShowing();
  void UpdateControlState();
  void RequestAlign() override;
  void FontChanged() override;
  void SetTextInternal(const std::string& Value) override;
  std::string GetText() const override;
  virtual void Loaded() override;
  bool IsControlMouseMsg(TMessage& Message);
  void NotifyControls(UINT Msg);

  TBrush brush_;
  WNDPROC defWndProc_ = nullptr;

 private:
  static LRESULT InitWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void MainWndProc(TMessage& Message);
  void ApplyAnchors(int oldWidth, int oldHeight);

  HWND handle_ = nullptr;
  HWND parentWindow_ = nullptr;
  bool showing_ = false;
  bool tabStop_ = false;
  TImeMode imeMode_ = imDontCare;
  std::string imeName_;
  std::vector<TControl*> controls_;    // in z-order, bottom first
  std::vector<TWinControl*> tabList_;  // in tab order
  int alignDisabled_ = 0;
  int lastClientWidth_ = -1, lastClientHeight_ = -1;
  bool recreating_ = false;
  friend class TControl;
  friend class TCustomForm;
};

// A windowed control that paints itself on its canvas.
class TCustomControl : public TWinControl {
  TALVIK_CLASS(TCustomControl, TWinControl)
  explicit TCustomControl(TComponent* AOwner);
  ~TCustomControl() override;
  TCanvas* Canvas() { return &canvas_; }

 protected:
  virtual void Paint() {}
  void PaintWindow(HDC DC) override;
  TControlCanvas canvas_;
};

// A control without a window: it paints on its parent's window.
class TGraphicControl : public TControl {
  TALVIK_CLASS(TGraphicControl, TControl)
  explicit TGraphicControl(TComponent* AOwner);
  ~TGraphicControl() override;
  TCanvas* Canvas() { return &canvas_; }
  void Dispatch(TMessage& Message) override;

 protected:
  virtual void Paint() {}
  TControlCanvas canvas_;
};

// A control that lists items (list boxes, list views): what the list actions act on.
class TCustomListControl : public TCustomControl {
  TALVIK_CLASS(TCustomListControl, TCustomControl)
  using TCustomControl::TCustomControl;
  virtual int ItemIndex() const = 0;
  virtual void SetItemIndex(int Value) = 0;
  virtual int Count() const = 0;
  virtual int SelCount() const { return ItemIndex() >= 0 ? 1 : 0; }
  virtual void Clear() = 0;
  virtual void ClearSelection() = 0;
  virtual void DeleteSelected() = 0;
  virtual void SelectAll() = 0;
};

// The form that a control is on (the innermost, so MDI children answer themselves).
TCustomForm* GetParentForm(TControl* Control);
// The control under the mouse (windowed or not) at a screen position.
TControl* FindDragTarget(TPoint Pos, bool AllowDisabled);
// The source of the drag pending or under way (nullptr when none), and its cancellation.
TControl* DragSource();
void CancelDrag();
TWinControl* FindVCLWindow(TPoint Pos);
// Draws a 3-D frame of the given colours and shrinks Rect by Width.
void Frame3D(TCanvas* Canvas, TRect& Rect, TColor TopColor, TColor BottomColor, int Width);
