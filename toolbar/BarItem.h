// Items, views and item viewers of the toolbar library.
//
// Every command a window shows on its menu bar, toolbars and popup menus is an item in a tree of items
// (TBarCustomItem and its descendants). A view (TBarView) is the laid-out presentation of one item's
// children inside one window; for every item it shows it holds a viewer (TBarItemViewer), which
// measures and paints that item. Views register with the items they show and are told of every
// insertion, removal and change.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/gui/ActnList.h"
#include "platform/gui/Controls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/Menus.h"
#include "platform/gui/OleAcc.h"

TALVIK_DECLARE_EXCEPTION(ETBItemError, Exception);

class TBarCustomItem;
class TBarCustomAccObject;
class TBarCustomItemActionLink;
class TBarItemViewer;
class TBarPopupWindow;
class TBarView;

enum TBarItemDisplayMode { nbdmDefault, nbdmTextOnly, nbdmTextOnlyInMenus, nbdmImageAndText };

enum TBarItemOption {
  tboDefault,
  tboDropdownArrow,
  tboImageAboveCaption,
  tboLongHintInMenuOnly,
  tboNoAutoHint,
  tboNoRotation,
  tboSameWidth,
  tboShowHint,
  tboToolbarStyle,
  tboToolbarSize
};
using TBarItemOptions = TSet<TBarItemOption>;

enum TBarItemStyleFlag {
  tisHasSubmenu,
  tisSelectable,
  tisSeparator,
  tisNoClick,
  tisSplitButton,
  tisNoKeyOpen,
  tisRepaintOnSelect,
  tisRepaintOnSplitPart
};
using TBarItemStyle = TSet<TBarItemStyleFlag>;

// What a notification tells the views of an item.
enum TBarItemChangedAction {
  tbicInserted,
  tbicDeleted,
  tbicSubitemsChanged,
  tbicSubitemsBeginUpdate,
  tbicSubitemsEndUpdate,
  tbicInvalidate,
  tbicInvalidateAndResize,
  tbicRecreateItemViewers,
  tbicNameChanged,
  tbicSubMenuImagesChanged
};

// Receives the notifications of the items it subscribed to. Ancestor is the item where the
// notification began; Index is -1 where it does not apply.
class TBarItemNotifyHandler {
 public:
  virtual ~TBarItemNotifyHandler() = default;
  virtual void ItemNotification(TBarCustomItem* Ancestor, bool Relayed, TBarItemChangedAction Action,
                                int Index, TBarCustomItem* Item) = 0;
};

// A viewer class: its identity and how to make one.
struct TBarItemViewerClass {
  const TClassInfo* Info = nullptr;
  TBarItemViewer* (*Create)(TBarView* AView, TBarCustomItem* AItem) = nullptr;
  bool operator==(const TBarItemViewerClass& o) const { return Info == o.Info; }
};
template <typename V>
TBarItemViewerClass ViewerClassOf() {
  return {V::StaticClass(),
          [](TBarView* View, TBarCustomItem* Item) -> TBarItemViewer* { return new V(View, Item); }};
}

// How a popup without a parent view stands to its point.
enum TBarPopupAlignment { tbpaLeft, tbpaRight, tbpaCenter };

// The options of a menu loop.
enum TBarMenuLoopOption {
  mloMousePress,         // entered by a mouse press: the selected viewer gets that press first
  mloRightButtonCounts,  // the right button works as the left one does
  mloNoFirstItem,        // with mloOpenSelected: the opened popup selects nothing
  mloOpenSelected,       // the selected viewer's popup opens at once
  mloKeyboardEntry,      // entered from the keyboard: underlines show
  mloExecuteSelected     // the selected viewer is carried out at once, which ends the loop
};
using TBarMenuLoopOptions = TSet<TBarMenuLoopOption>;

// Placing a popup window: everything the rules look at, and what they decide.
struct TBarPopupPlacementInput {
  TRect R;  // the parent viewer on the screen, or the point (an empty rectangle)
  TRect M;  // the monitor
  int W = 0, H = 0;
  bool HasParentView = false;
  bool Nested = false;          // opened from a popup, beside its viewer
  bool ParentVertical = false;  // the parent view's orientation is vertical
  bool Chevron = false;
  bool MenuDropRight = false;  // the system drops menus right-aligned
  TBarPopupAlignment Alignment = tbpaLeft;
  bool ParentOpensLeft = false;      // the parent popup opened towards the left
  std::vector<TRect> ParentViewers;  // the parent view's shown viewers on the screen
};
struct TBarPopupPlacement {
  int X = 0, Y = 0;
  int Direction = 0;  // bits: 1 towards the left, 2 towards the right, 4 downwards, 8 upwards
  bool OpensLeft = false;
};
TBarPopupPlacement CalcPopupPlacement(const TBarPopupPlacementInput& In);

// Creates the popup window of an item (the window class of PopupWindowClass).
using TBarPopupWindowClass = TBarPopupWindow* (*)(TComponent* AOwner, TBarView* AParentView,
                                                  TBarCustomItem* AItem, bool ACustomizing);

// Accessibility events of menus; every event of the library goes through this one call.
void BarNotifyWinEvent(DWORD Event, HWND Wnd, int IdObject, int IdChild);
using TBarWinEventSink = std::function<void(DWORD Event, HWND Wnd, int IdObject, int IdChild)>;
// Receives every event besides the desktop (tests); nullptr stops it.
void SetBarWinEventSink(TBarWinEventSink Sink);

using TBarPopupEvent = std::function<void(TBarCustomItem* Sender, bool FromLink)>;
using TBarSelectEvent = std::function<void(TBarCustomItem* Sender, TBarItemViewer* Viewer, bool Selecting)>;

// A component that keeps an item tree for others (the toolbar) hands out its root item.
class ITBItemContainer {
 public:
  virtual ~ITBItemContainer() = default;
  virtual TBarCustomItem* GetItems() = 0;
};

// A change link that also remembers the size of the image list it watches.
class TBarImageChangeLink : public TChangeLink {
  TALVIK_CLASS(TBarImageChangeLink, TChangeLink)
  int LastWidth = -1;
  int LastHeight = -1;
};

// ---------------------------------------------------------------------------------------------------
class TBarCustomItem : public TComponent {
  TALVIK_CLASS(TBarCustomItem, TComponent)
  explicit TBarCustomItem(TComponent* AOwner);
  ~TBarCustomItem() override;

  // ---- the tree ----
  int Count() const { return static_cast<int>(items_.size()); }
  TBarCustomItem* Items(int Index) const;
  int IndexOf(const TBarCustomItem* Item) const;
  void Insert(int Index, TBarCustomItem* Item);
  void Add(TBarCustomItem* Item) { Insert(Count(), Item); }
  void Delete(int Index);
  void Remove(TBarCustomItem* Item);
  void Move(int CurIndex, int NewIndex);
  TBarCustomItem* Parent() const { return parent_; }
  // The component that owns a root item's tree (the toolbar); set by that component.
  TComponent* ParentComponentOfTree() const { return parentComponent_; }
  void SetParentComponentOfTree(TComponent* Value) { parentComponent_ = Value; }
  // The item whose children this item shows: the linked item, or the item itself.
  TBarCustomItem* ItemsSource() { return linkSubitems_ ? linkSubitems_ : this; }

  // Reference-counted subscription to this item's notifications.
  void Subscribe(TBarItemNotifyHandler* Handler);
  void Unsubscribe(TBarItemNotifyHandler* Handler);

  // Keyboard shortcut processing on a root item: true when an item was clicked.
  bool IsShortCut(TMessage& Message);
  std::string GetShortCutText() const;

  // ---- virtual operations ----
  // Tells the views of the parent that this item changed: repaint, or lay out again.
  virtual void Change(bool NeedResize);
  virtual void FirePopup(TBarCustomItem* Sender, bool FromLink);
  // Creates, places and shows the popup window of this item's children and answers it. Without a
  // parent view the popup stands at PopupPoint (screen) as Alignment says, and the caller owns it;
  // with one, the parent view owns it as its open popup.
  virtual TBarPopupWindow* BuildSubmenuPopup(TBarView* ParentView, TBarItemViewer* ParentViewer,
                                             bool PositionAsSubmenu, bool SelectFirstItem, bool Customizing,
                                             TPoint PopupPoint, TBarPopupAlignment Alignment);
  virtual TBarPopupWindowClass PopupWindowClass();
  virtual void AfterEnabledChange();
  virtual TBarView* ChevronSourceView() { return nullptr; }
  virtual TBarItemViewerClass ViewerClassFor(TBarView* View);
  virtual bool NeedToRecreateViewer(TBarItemViewer* /*AViewer*/) { return false; }
  virtual void Click();
  virtual void InitiateAction();

  // ---- streaming and components ----
  void GetChildren(const TGetChildProc& Proc, TComponent* Root) override;
  void SetChildOrder(TComponent* Child, int Order) override;
  bool HasParent() const override { return true; }
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* Value) override;
  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void SetName(const std::string& NewName) override;

  // ---- properties ----
  TBasicAction* Action() const;
  void SetAction(TBasicAction* Value);
  TBarCustomItemActionLink* ActionLink() const { return actionLink_.get(); }
  bool AutoCheck() const { return autoCheck_; }
  void SetAutoCheck(bool Value) { autoCheck_ = Value; }
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& Value);
  bool Checked() const { return checked_; }
  void SetChecked(bool Value);
  TBarItemDisplayMode DisplayMode() const { return displayMode_; }
  void SetDisplayMode(TBarItemDisplayMode Value);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool Value);
  TBarItemOptions EffectiveOptions() const { return effectiveOptions_; }
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int Value);
  THelpContext HelpContext() const { return helpContext_; }
  void SetHelpContext(THelpContext Value) { helpContext_ = Value; }
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& Value) { hint_ = Value; }
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int Value);
  TCustomImageList* Images() const { return images_; }
  void SetImages(TCustomImageList* Value);
  TBarItemStyle ItemStyle() const { return itemStyle_; }
  TBarItemOptions MaskOptions() const { return maskOptions_; }
  void SetMaskOptions(TBarItemOptions Value);
  TBarItemOptions Options() const { return options_; }
  void SetOptions(TBarItemOptions Value);
  bool InheritOptions() const { return inheritOptions_; }
  void SetInheritOptions(bool Value);
  TShortCut ShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut Value) { shortCut_ = Value; }
  TCustomImageList* SubMenuImages() const { return subMenuImages_; }
  void SetSubMenuImages(TCustomImageList* Value);
  TBarCustomItem* LinkSubitems() const { return linkSubitems_; }
  void SetLinkSubitems(TBarCustomItem* Value);
  bool Visible() const { return visible_; }
  void SetVisible(bool Value);

  // OnClick is kept apart from a plain event so that the item knows whether it came from its action.
  const TNotifyEvent& OnClick() const { return onClick_; }
  void SetOnClick(TNotifyEvent Value);
  bool OnClickIsActionExecute() const { return onClickFromAction_; }
  TBarPopupEvent OnPopup;
  TBarSelectEvent OnSelect;

 protected:
  // Copies the action's properties: all of them, or (CheckDefaults) only where the item still has
  // its default value.
  virtual void ActionChange(TObject* Sender, bool CheckDefaults);
  void Notify(TBarItemChangedAction Action, int Index, TBarCustomItem* Item);
  void RecalcOptions();
  void SetOnClickFromAction(TNotifyEvent Value);
  TBarItemStyle itemStyle_{tisSelectable, tisRepaintOnSelect, tisRepaintOnSplitPart};

 private:
  friend class TBarCustomItemActionLink;
  void CheckIndex(int Index, int Limit) const;
  void DoActionChange(TObject* Sender);
  void ImageListChanged(TObject* Sender);
  void SubMenuImageListChanged(TObject* Sender);
  void UncheckGroupSiblings();

  struct HandlerRecord {
    TBarItemNotifyHandler* handler;
    int refCount;
  };

  std::unique_ptr<TBarCustomItemActionLink> actionLink_;
  bool autoCheck_ = false;
  std::string caption_;
  bool checked_ = false;
  TBarItemDisplayMode displayMode_ = nbdmDefault;
  bool enabled_ = true;
  TBarItemOptions effectiveOptions_;
  int groupIndex_ = 0;
  THelpContext helpContext_ = 0;
  std::string hint_;
  int imageIndex_ = -1;
  TCustomImageList* images_ = nullptr;
  std::unique_ptr<TBarImageChangeLink> imagesChangeLink_;
  std::vector<TBarCustomItem*> items_;
  std::vector<TBarCustomItem*> linkParents_;
  TBarItemOptions maskOptions_;
  TBarItemOptions options_;
  bool inheritOptions_ = true;
  std::vector<HandlerRecord> handlers_;
  TNotifyEvent onClick_;
  bool onClickFromAction_ = false;
  TBarCustomItem* parent_ = nullptr;
  TComponent* parentComponent_ = nullptr;
  TShortCut shortCut_ = 0;
  TCustomImageList* subMenuImages_ = nullptr;
  std::unique_ptr<TBarImageChangeLink> subMenuImagesChangeLink_;
  TBarCustomItem* linkSubitems_ = nullptr;
  bool visible_ = true;
};

// The invisible root of a toolbar's or a popup's tree.
class TBarRootItem : public TBarCustomItem {
  TALVIK_CLASS(TBarRootItem, TBarCustomItem)
  using TBarCustomItem::TBarCustomItem;
};

// A plain command.
class TBarItem : public TBarCustomItem {
  TALVIK_CLASS(TBarItem, TBarCustomItem)
  using TBarCustomItem::TBarCustomItem;
};

// An item that opens a popup of its children; as a drop-down combo it is split into a main part that
// executes it and an arrow part that opens the popup.
class TBarSubmenuItem : public TBarCustomItem {
  TALVIK_CLASS(TBarSubmenuItem, TBarCustomItem)
  explicit TBarSubmenuItem(TComponent* AOwner);
  bool DropdownCombo() const { return itemStyle_.Contains(tisSplitButton); }
  void SetDropdownCombo(bool Value);
};

class TBarSeparatorItem : public TBarCustomItem {
  TALVIK_CLASS(TBarSeparatorItem, TBarCustomItem)
  explicit TBarSeparatorItem(TComponent* AOwner);
  // A blank separator keeps its space but draws nothing.
  bool Blank() const { return blank_; }
  void SetBlank(bool Value);
  TBarItemViewerClass ViewerClassFor(TBarView* View) override;

 private:
  bool blank_ = false;
};

// Hosts an ordinary control on a toolbar.
class TBarControlItem : public TBarCustomItem {
  TALVIK_CLASS(TBarControlItem, TBarCustomItem)
  explicit TBarControlItem(TComponent* AOwner);
  // A control item around an existing control.
  static TBarControlItem* CreateControlItem(TComponent* AOwner, TControl* AControl);
  ~TBarControlItem() override;
  TControl* Control() const { return control_; }
  void SetControl(TControl* Value);
  // Keeps the control alive when the item goes (the toolbar sets it when the control leaves it).
  bool DontFreeControl() const { return dontFreeControl_; }
  void SetDontFreeControl(bool Value) { dontFreeControl_ = Value; }
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  TControl* control_ = nullptr;
  bool dontFreeControl_ = false;
};

// Keeps an item in step with a TCustomAction. A property is linked only while the class library
// says so and the item's value still equals the action's.
using TBarItemCommandLink = TCommandActionLink<TBarCustomItem>;
class TBarCustomItemActionLink : public TBarItemCommandLink {
  TALVIK_CLASS(TBarCustomItemActionLink, TBarItemCommandLink)
  using TBarItemCommandLink::TBarItemCommandLink;

  bool IsOnExecuteLinked() override;
  void SetOnExecute(const TNotifyEvent& Value) override;
};

// ---------------------------------------------------------------------------------------------------
// Deferred clicks: a click chosen inside a menu loop runs after the loop has ended.

enum TBarDoneAction { tbdaNone, tbdaCancel, tbdaClickItem, tbdaOpenSystemMenu, tbdaHelpContext };

// What a view's menu loop decided to do when it ends.
struct TBarDoneActionData {
  TBarDoneAction DoneAction = tbdaNone;
  TBarCustomItem* ClickItem = nullptr;
  bool Sound = false;          // play the command sound (the command came from a popup)
  HWND Wnd = nullptr;          // system menu key: the window
  char32_t Key = 0;            // and the key
  THelpContext ContextID = 0;  // help
  // The menu loop ends as soon as anything was decided.
  bool Decided() const { return DoneAction != tbdaNone; }
};

// The deferred-click message of the thread's hidden window.
constexpr UINT WM_BAR_DEFERRED_CLICK = WM_USER + 256;

// Queues a click of the item (carried out by the thread's hidden window after the current message).
void QueueClick(TBarCustomItem* Item, WPARAM Flag = 0);
void QueueClick(TBarItemViewer* Viewer, WPARAM Flag);
// Carries out what a menu loop decided, after the loop has ended.
void DoneActionData(const TBarDoneActionData& Data);
// The thread's deferred-click state, for tests: the hidden window (nullptr while there is none) and
// the number of queue slots.
HWND DeferredClickWindow();
int DeferredClickQueueSize();

// Selects the canvas's font (and its colour) into its device context for the drawing calls that go to
// the device context directly; answers the device context.
HDC SelectCanvasFont(TCanvas* Canvas);

// ---------------------------------------------------------------------------------------------------
// The visual of one item inside one view: measuring, painting and hit tests.
class TBarItemViewer : public TObject {
  TALVIK_CLASS(TBarItemViewer, TObject)
  TBarItemViewer(TBarView* AView, TBarCustomItem* AItem);
  ~TBarItemViewer() override;

  TRect BoundsRect;
  bool OffEdge = false;
  bool Clipped = false;
  bool Show = false;
  bool LineBreak = false;
  bool RepaintPending = false;

  TBarCustomItem* Item() const { return item_; }
  TBarView* View() const { return view_; }

  virtual void MeasureItem(TCanvas* Canvas, int& AWidth, int& AHeight);
  // Records the done action "execute" with this viewer's item in the root view.
  virtual bool Execute();
  virtual void DrawCaptionText(TCanvas* Canvas, TRect Rect, const std::string& Caption, UINT Format,
                               bool Disabled);
  virtual void NotifySelecting();
  virtual int AccessibleRole();
  virtual std::string AccessibleValue() { return {}; }
  virtual std::string CaptionBeforeTab();
  virtual bool PointInMainPart(int X, int Y);
  virtual void NotifyDeselecting();
  virtual void RequestRepaint();
  virtual void Paint(TCanvas* Canvas, const TRect& ClientAreaRect, bool IsSelected, bool IsPushed,
                     bool UseDisabledShadow);
  virtual bool SharesGroupWidth();
  // The default action an accessibility client asked for, delivered after the current message; with
  // the execute flag the item is carried out, without it only selected.
  virtual void DeferredDefaultAction(WPARAM Flag);
  // The accessibility object (created on first request; it lives while clients hold it).
  std::shared_ptr<TBarCustomAccObject> GetAccObject();

  // ---- input in the menu loop (coordinates relative to the viewer) ----
  // A key for the selected viewer before its view sees it; a handled key is set to 0.
  virtual void KeyDown(WORD& /*Key*/, TShiftState /*Shift*/) {}
  virtual void MouseDown(TShiftState Shift, int X, int Y, bool& MouseDownOnMenu);
  virtual void MouseMove(int /*X*/, int /*Y*/) {}
  // The cursor the viewer shows at a point of its own (relative to its rectangle); false: none.
  virtual bool GetCursor(const TPoint& /*Pt*/, HCURSOR& /*ACursor*/) { return false; }
  virtual void MouseUp(int X, int Y, bool MouseWasDownOnMenu);
  virtual void MouseWheel(int /*WheelDelta*/) {}

  // The hint shown for the item (short hint, or the caption made into one, with the shortcut).
  std::string GetHintText();

  // Predicates of the look.
  bool IsToolbarStyle() const;
  bool IsToolbarSize() const;
  bool IsRotated() const;
  bool CaptionShown() const;
  bool ImageShown() const;
  TCustomImageList* GetImageList() const;

 protected:
  // Draws the 5 by 3 drop-down triangle (pointing left when rotated) centred in R.
  void DrawDropdownArrow(TCanvas* Canvas, const TRect& R, bool Rotated, bool Disabled);

 private:
  TBarView* view_;
  TBarCustomItem* item_;
  std::weak_ptr<TBarCustomAccObject> accObject_;
};

class TBarSeparatorItemViewer : public TBarItemViewer {
  TALVIK_CLASS(TBarSeparatorItemViewer, TBarItemViewer)
  using TBarItemViewer::TBarItemViewer;
  void MeasureItem(TCanvas* Canvas, int& AWidth, int& AHeight) override;
  void Paint(TCanvas* Canvas, const TRect& ClientAreaRect, bool IsSelected, bool IsPushed,
             bool UseDisabledShadow) override;
  bool SharesGroupWidth() override { return false; }
};

// ---------------------------------------------------------------------------------------------------
enum TBarViewOrientation { tbvoHorizontal, tbvoVertical, tbvoFloating };
enum TBarViewStateFlag {
  vsModal,
  vsMouseInWindow,
  vsShowing,
  vsOppositePopup,
  vsShowAccels,
  vsDropDownMenus,
  vsClosing,
  vsStopSearch  // a popup under the mouse: mouse input off its viewers is its own
};
using TBarViewState = TSet<TBarViewStateFlag>;
enum TBarViewStyleFlag { vsMenuBar, vsUseHiddenAccels, vsAlwaysShowHints };
using TBarViewStyle = TSet<TBarViewStyleFlag>;

// The laid-out presentation of one item's children inside one window.
class TBarView : public TComponent {
  TALVIK_CLASS(TBarView, TComponent)
  TBarView(TComponent* AOwner, TBarView* AParentView, TBarCustomItem* AParentItem, TWinControl* AWindow,
           bool AIsToolbar, bool ACustomizing, bool AUsePriorityList);
  ~TBarView() override;

  // ---- virtual operations ----
  virtual void FitWindow(int /*AWidth*/, int /*AHeight*/) {}
  virtual void UpdatePositions(TPoint& ASize);
  virtual TBarCustomItem* ChevronItem() { return nullptr; }
  virtual void LayoutMargins(TBarViewOrientation AOrientation, TRect& Margins);
  // Items the owning control shows after and before the view's own items.
  virtual void GetTrailingItems(std::vector<TBarCustomItem*>& /*Items*/) {}
  virtual void GetLeadingItems(std::vector<TBarCustomItem*>& /*Items*/) {}
  virtual TFont* GetFont();
  virtual void InvalidatePositions();

  // ---- layout ----
  struct LayoutResult {
    int RowCount = 1;
    TPoint BaseSize;
    int TotalSize = 0;
    bool Changed = false;
  };
  // Lays the viewers out (see the rules in BarItemLayout.cpp).
  LayoutResult CalculatePositions(bool CanMove, TBarViewOrientation AOrientation, int ChevronSize,
                                  int MaximumLength, int WrapOffset);
  void ValidatePositions();
  TPoint GetBaseSize();
  bool PositionsValid() const { return positionsValid_; }
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();

  // ---- viewers ----
  int ViewerCount() const { return static_cast<int>(viewers_.size()); }
  TBarItemViewer* Viewers(int Index) const { return viewers_.at(static_cast<std::size_t>(Index)); }
  int IndexOf(const TBarItemViewer* Viewer) const;
  TBarItemViewer* Find(const TBarCustomItem* Item) const;
  TBarItemViewer* ViewerFromPoint(TPoint P);
  TBarItemViewer* HighestPriorityViewer();
  void InitiateActions();
  void SwitchPriorityList(bool Value);
  void GetHostedControls(std::vector<TWinControl*>& List);
  // Moves a viewer to the front of the priority list (the item executed last gives way last).
  void GivePriority(TBarItemViewer* Viewer);
  void RecreateAllViewers();

  // The width of a text in the canvas's font (without '&' marks with Prefix); widths are remembered
  // while the font stays the same, as the layout measures the same captions again and again.
  int MeasureTextWidth(TCanvas* Canvas, const std::string& Text, bool Prefix);

  // ---- painting ----
  void DrawSubitems(TCanvas* Canvas);
  void PaintViewer(TCanvas* Canvas, TBarItemViewer* Viewer, bool Offscreen);
  void RepaintViewer(TBarItemViewer* Viewer);

  // ---- done actions ----
  TBarView* RootView();
  TBarDoneActionData& DoneActionData() { return doneActionData_; }
  void EndModalWithClick(TBarItemViewer* Viewer);
  // Ends the menu loop without a command; with the menu key of a window; with help for a context.
  void EndModal();
  void EndModalWithSystemMenu(HWND Wnd, char32_t Key);
  void EndModalWithHelp(THelpContext Context);

  // ---- selection, keyboard and mouse (BarItemInput.cpp) ----
  void ChangeSelection(TBarItemViewer* Viewer, bool ViaMouse);
  // Tells accessibility clients where the focus is: on the selected viewer that counts, here or in
  // the nearest view up the chain.
  void AnnounceFocus();
  void SelectViewer(TBarItemViewer* Viewer) { ChangeSelection(Viewer, false); }
  // Hot tracking from a screen point (nullptr: the mouse is nowhere).
  void TrackMouse(const TPoint* P, bool AllowNewSelection);
  // Opens the selected viewer's popup (closing another one); answers whether a popup is open.
  bool ShowChildPopup(bool SelectFirstItem);
  void HideChildPopups();
  // Closes the open popups and, in a toolbar view, leaves drop-down mode.
  void CloseDropDown();
  void ActivateSelected(bool GivePriority);
  void RunMenuLoop(TBarMenuLoopOptions Options);
  TBarItemViewer* FindViewerByAccel(char32_t Key, TBarItemViewer* StartViewer, bool ExplicitOnly,
                                    bool& Unique);
  void UpdateAccelVisibility(bool ByKeyboard);
  // The keys of the menu loop; a handled key is set to 0.
  virtual void KeyDown(WORD& Key, TShiftState Shift);
  // Moves the selection to the next (previous) selectable viewer, wrapping around.
  void SelectNextViewer(bool Forward);
  void SelectFirstOrLastViewer(bool First);
  void ScrollIntoView(TBarItemViewer* Viewer);
  // One step of a scrolled popup: the nearest item out of sight above (below) comes into view.
  void ScrollStep(bool Up);
  // View timers (only on a popup window): 0 open, 1 close, 2 scroll up, 3 scroll down.
  void StartTimer(int Index, UINT Interval);
  void StopTimer(int Index);
  void StopAllTimers();
  bool TimerRunning(int Index) const { return (timers_ >> Index) & 1; }
  void TimerAction(int Index);
  // The menu loop runs on this view's root.
  bool InModalLoop();
  // The last view of the chain of open popups from this one.
  TBarView* InnermostView();
  TBarPopupWindow* OpenWindow() const { return openWindow_; }
  // Records the popup opened from Viewer (BuildSubmenuPopup).
  void SetOpenPopup(TBarItemViewer* Viewer, TBarView* View, TBarPopupWindow* Window);
  bool SelectedViaMouse() const { return selectedViaMouse_; }
  // A viewer of this view holds the mouse between a press and its release.
  bool MouseCaptured() const { return mouseCaptured_; }
  void SetMouseCaptured(bool Value) { mouseCaptured_ = Value; }
  // The accessibility object (created on first request; it lives while clients hold it).
  std::shared_ptr<TBarCustomAccObject> GetAccObject();

  // ---- properties ----
  TBarCustomItem* ParentItem() const { return parentItem_; }
  TBarCustomItem* ItemsSource() const { return itemsSource_; }
  TBarView* ParentView() const { return parentView_; }
  TWinControl* Window() const { return window_; }
  bool IsPopup() const { return isPopup_; }
  bool IsToolbar() const { return isToolbar_; }
  bool Customizing() const { return customizing_; }
  // Every item shows as a toolbar button, rows wrapping at the wrap offset (a chevron's popup).
  bool ToolbarStyle() const { return toolbarStyle_; }
  void SetToolbarStyle(bool Value);
  TBarViewOrientation Orientation() const { return orientation_; }
  void SetOrientation(TBarViewOrientation Value);
  int MaximumLength() const { return maximumLength_; }
  void SetMaximumLength(int Value);
  int ChevronSize() const { return chevronSize_; }
  void SetChevronSize(int Value);
  int WrapOffset() const { return wrapOffset_; }
  void SetWrapOffset(int Value);
  // Toolbar views: the least thickness of a row (across) and the least base length (along) a layout
  // gives, in x and y of the current orientation; set before each layout by the view's owner.
  TPoint MinimumSize() const { return minimumSize_; }
  void SetMinimumSize(TPoint Value) { minimumSize_ = Value; }
  int MaxHeight() const { return maxHeight_; }
  void SetMaxHeight(int Value);
  int ScrollOffset() const { return scrollOffset_; }
  void SetScrollOffset(int Value);
  bool ShowUpArrow() const { return showUpArrow_; }
  bool ShowDownArrow() const { return showDownArrow_; }
  int TotalSize() const { return totalSize_; }
  TBarViewState State() const { return state_; }
  void SetState(TBarViewState Value) { state_ = Value; }
  TBarViewStyle Style() const { return style_; }
  void SetStyle(TBarViewStyle Value) { style_ = Value; }
  // What viewers painted off-screen stand on (clDefault: the window's colour, or the menu colour).
  TColor BackgroundColor() const { return backgroundColor_; }
  void SetBackgroundColor(TColor Value) { backgroundColor_ = Value; }
  TBarItemViewer* Selected() const { return selected_; }
  void SetSelected(TBarItemViewer* Value) { selected_ = Value; }
  bool MouseOverSplit() const { return mouseOverSplit_; }
  void SetMouseOverSplit(bool Value) { mouseOverSplit_ = Value; }
  bool SplitTracking() const { return splitTracking_; }
  void SetSplitTracking(bool Value) { splitTracking_ = Value; }
  bool NewViewersGetHighestPriority() const { return newItemsHighestPriority_; }
  void SetNewViewersGetHighestPriority(bool Value) { newItemsHighestPriority_ = Value; }
  TBarItemViewer* OpenViewer() const { return openViewer_; }
  TBarView* OpenView() const { return openView_; }
  TBarView* ChevronParentView() const { return chevronParentView_; }
  void SetChevronParentView(TBarView* Value);
  int LeadingCount() const { return leadingCount_; }
  int TrailingCount() const { return trailingCount_; }
  bool UsesPriorityList() const { return usePriorityList_; }
  const std::vector<TBarItemViewer*>& PriorityList() const { return priorityList_; }
  // The monitor rectangle nested popups keep (empty: none).
  TRect MonitorRect;

  void Notification(TComponent* AComponent, TOperation Operation) override;

 protected:
  // Paints the whole window into an off-screen bitmap and copies it at once.
  virtual void RepaintWindowAtOnce();

 private:
  class ParentItemHandler : public TBarItemNotifyHandler {
   public:
    explicit ParentItemHandler(TBarView* View) : view_(View) {}
    void ItemNotification(TBarCustomItem* Ancestor, bool Relayed, TBarItemChangedAction Action, int Index,
                          TBarCustomItem* Item) override;

   private:
    TBarView* view_;
  };
  class ItemsSourceHandler : public TBarItemNotifyHandler {
   public:
    explicit ItemsSourceHandler(TBarView* View) : view_(View) {}
    void ItemNotification(TBarCustomItem* Ancestor, bool Relayed, TBarItemChangedAction Action, int Index,
                          TBarCustomItem* Item) override;

   private:
    TBarView* view_;
  };

  void SourceNotification(TBarItemChangedAction Action, int Index, TBarCustomItem* Item);
  void ParentNotification(TBarItemChangedAction Action);
  void ResolveItemsSource();
  void AddViewers();
  void FreeViewers();
  TBarItemViewer* InsertViewer(TBarCustomItem* Item, int Index);
  void DeleteViewer(int Index);
  void ValidatePositionsIfIdle();
  bool Loading() const;
  TCanvas* MeasureCanvas();

  ParentItemHandler parentHandler_{this};
  ItemsSourceHandler sourceHandler_{this};
  TBarView* parentView_ = nullptr;
  TBarCustomItem* parentItem_ = nullptr;
  TBarCustomItem* itemsSource_ = nullptr;
  TWinControl* window_ = nullptr;
  bool isPopup_ = false;
  bool isToolbar_ = false;
  bool toolbarStyle_ = false;
  TColor backgroundColor_ = clDefault;
  bool customizing_ = false;
  bool usePriorityList_ = false;
  std::vector<TBarItemViewer*> viewers_;
  std::vector<TBarItemViewer*> priorityList_;
  int leadingCount_ = 0;
  int trailingCount_ = 0;
  TBarViewOrientation orientation_ = tbvoHorizontal;
  int maximumLength_ = 0;
  int chevronSize_ = 0;
  int wrapOffset_ = 0;
  TPoint minimumSize_;
  int maxHeight_ = 0;
  int scrollOffset_ = 0;
  bool showUpArrow_ = false;
  bool showDownArrow_ = false;
  int totalSize_ = 0;
  bool positionsValid_ = false;
  bool drawing_ = false;  // the window is painting the viewers
  int updateCount_ = 0;
  TBarViewState state_;
  TBarViewStyle style_;
  TBarItemViewer* selected_ = nullptr;
  bool mouseOverSplit_ = false;
  bool splitTracking_ = false;
  bool newItemsHighestPriority_ = true;
  TBarItemViewer* openViewer_ = nullptr;
  TBarView* openView_ = nullptr;
  TBarPopupWindow* openWindow_ = nullptr;
  TBarView* chevronParentView_ = nullptr;
  bool selectedViaMouse_ = false;
  bool selectionChanging_ = false;  // the selection moves on, closing the open popup
  bool mouseCaptured_ = false;
  unsigned timers_ = 0;
  bool* goneFlag_ = nullptr;  // set while this view runs its menu loop
  std::weak_ptr<TBarCustomAccObject> accObject_;
  TBarDoneActionData doneActionData_;
  std::unique_ptr<TBitmap> measureBitmap_;
  std::unordered_map<std::string, int> textWidths_;
  LOGFONT textWidthsFont_;
};
