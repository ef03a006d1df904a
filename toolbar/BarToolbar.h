// The toolbar control and the menu bar.
//
// TBarCustomToolbar is the dockable window that shows an item tree as a row (or block) of buttons
// through a toolbar view. With MenuBar set the same control is a form's menu bar: Alt, F10 and
// Alt+letter open it, and it takes the form's shortcuts. Child controls placed on a toolbar are
// hosted by control items. Items that do not fit a docked toolbar are reached through its chevron.
#pragma once

#include <memory>
#include <vector>

#include "toolbar/BarDock.h"
#include "toolbar/BarItem.h"

class TBarCustomToolbar;

enum TBarChevronPriorityForNewItems { tbcpHighest, tbcpLowest };

using TShortCutEvent = std::function<void(TMessage& Msg, bool& Handled)>;

// The button at the end of a clipped toolbar; its popup lists the items the toolbar could not show.
class TBarChevronItem : public TBarCustomItem {
  TALVIK_CLASS(TBarChevronItem, TBarCustomItem)
  explicit TBarChevronItem(TBarCustomToolbar* AToolbar);
  TBarView* ChevronSourceView() override;
  TBarItemViewerClass ViewerClassFor(TBarView* View) override;
  TBarCustomToolbar* Toolbar() const { return toolbar_; }

 private:
  TBarCustomToolbar* toolbar_;
};

class TBarChevronItemViewer : public TBarItemViewer {
  TALVIK_CLASS(TBarChevronItemViewer, TBarItemViewer)
  using TBarItemViewer::TBarItemViewer;
  void Paint(TCanvas* Canvas, const TRect& ClientAreaRect, bool IsSelected, bool IsPushed,
             bool UseDisabledShadow) override;
  std::string CaptionBeforeTab() override { return {}; }
};

// The view of a toolbar: the toolbar is its window, its chevron item trails the items.
class TBarToolbarView : public TBarView {
  TALVIK_CLASS(TBarToolbarView, TBarView)
  explicit TBarToolbarView(TBarCustomToolbar* AToolbar);
  TFont* GetFont() override;
  TBarCustomItem* ChevronItem() override;
  void GetTrailingItems(std::vector<TBarCustomItem*>& Items) override;
  void InvalidatePositions() override;
  void UpdatePositions(TPoint& ASize) override;
  void FitWindow(int AWidth, int AHeight) override;

 private:
  TBarCustomToolbar* toolbar_;
};

// The chevron's length along the row.
constexpr int kBarChevronSize = 12;
// The snap distance of a floating resize when the current size has no neighbour.
constexpr int kBarFloatingSnap = 12;

class TBarCustomToolbar : public TBarCustomDockableWindow, public ITBItemContainer {
  TALVIK_CLASS(TBarCustomToolbar, TBarCustomDockableWindow)
  explicit TBarCustomToolbar(TComponent* AOwner);
  ~TBarCustomToolbar() override;

  // ---- properties ----
  TBarRootItem* Items() const { return items_.get(); }
  TBarCustomItem* GetItems() override { return items_.get(); }
  TBarToolbarView* View() const { return view_.get(); }
  TBarChevronItem* Chevron() const { return chevronItem_; }
  const std::string& ChevronHint() const { return chevronItem_->Hint(); }
  void SetChevronHint(const std::string& Value);
  bool ChevronMoveItems() const { return chevronMoveItems_; }
  void SetChevronMoveItems(bool Value);
  TBarChevronPriorityForNewItems ChevronPriorityForNewItems() const { return chevronPriority_; }
  void SetChevronPriorityForNewItems(TBarChevronPriorityForNewItems Value);
  int FloatingWidth() const { return floatingWidth_; }
  void SetFloatingWidth(int Value);
  TCustomImageList* Images() const { return items_->SubMenuImages(); }
  void SetImages(TCustomImageList* Value) { items_->SetSubMenuImages(Value); }
  TBarCustomItem* LinkSubitems() const { return items_->LinkSubitems(); }
  void SetLinkSubitems(TBarCustomItem* Value) { items_->SetLinkSubitems(Value); }
  TBarItemOptions Options() const { return items_->Options(); }
  void SetOptions(TBarItemOptions Value) { items_->SetOptions(Value); }
  bool MenuBar() const { return menuBar_; }
  void SetMenuBar(bool Value);
  bool ProcessShortCuts() const { return processShortCuts_; }
  void SetProcessShortCuts(bool Value);
  TBarShrinkMode ShrinkMode() const { return shrinkMode_; }
  void SetShrinkMode(TBarShrinkMode Value);
  bool SystemFont() const { return systemFont_; }
  void SetSystemFont(bool Value);
  bool UpdateActions() const { return updateActions_; }
  void SetUpdateActions(bool Value) { updateActions_ = Value; }
  TShortCutEvent OnShortCut;

  // ---- keyboard ----
  // Whether the key message is one of this toolbar's shortcuts (OnShortCut first, then the items);
  // a found item is clicked.
  bool IsShortCut(TMessage& Message);
  // Opens the toolbar from the keyboard with Key (0: F10 or a lone Alt). RequirePrimaryAccel limits
  // the search to explicit accelerators. True when something was selected or carried out.
  bool KeyboardOpen(char32_t Key, bool RequirePrimaryAccel);

  // ---- sizes ----
  TSize CalcSizeForDockType(TBarDockType DockType) override;
  TSize GetBaseSize() override;
  int GetMinRowSize() override;
  TBarShrinkMode GetShrinkMode() override { return shrinkMode_; }
  bool DragStartAllowed(TPoint ClientPoint) override;
  // The floating sizes the toolbar can take, one per row count, widest first.
  std::vector<TSize> GetFloatingSizes();
  void SizingBegin(int SizeHandle) override;
  void SizingTrack(int SizeHandle, TRect& Rect) override;
  void SizingEnd() override;
  void ReadPositionData(const TBarReadPositionData& Data) override;
  void WritePositionData(const TBarWritePositionData& Data) override;

  void GetChildren(const TGetChildProc& Proc, TComponent* Root) override;
  void SetChildOrder(TComponent* Child, int Order) override;
  void InitiateAction() override;
  void GetTabOrderList(std::vector<TWinControl*>& List) override;
  void WndProc(TMessage& Message) override;

  // The toolbars that take shortcuts now, in the order they asked for them.
  static const std::vector<TBarCustomToolbar*>& ShortCutToolbars();

 protected:
  void Loaded() override;
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void SizeChanged() override;

 private:
  friend class TBarToolbarView;
  struct FloatingResize;
  struct FloatingCandidate {
    TSize Size;    // the client size
    int Wrap = 0;  // the floating width that gives it
  };
  std::vector<FloatingCandidate> FloatingCandidates();
  // Gives the view its orientation, chevron size, wrap width and chevron limit for a dock type.
  void SetupView(TBarDockType DockType);
  // The view laid itself out with this base size.
  void ViewLaidOut(TPoint Size);
  // The row thickness (less this toolbar's frame) shared with the other windows of its row.
  TPoint ViewMinimumSize();
  void UpdateShortCutListMembership();
  void ReleaseHover();
  void ControlChange(TControl* Control, bool Inserting);
  // Hosts a child control in a new control item at the end of the root item.
  void AddControlItem(TControl* Control);
  bool HandleSysCommand(TMessage& Message);
  bool InsideDrag() const;
  static void MenuBarHookProc(THookProcCode Code, HWND Wnd, WPARAM WParam, LPARAM LParam);

  TPoint baseSize_;
  TBarChevronItem* chevronItem_ = nullptr;
  bool chevronMoveItems_ = true;
  TBarChevronPriorityForNewItems chevronPriority_ = tbcpHighest;
  int updatingPositions_ = 0;  // the view lays itself out
  int sizing_ = 0;             // the toolbar computes a size: layouts do not arrange it again
  int floatingWidth_ = 0;
  bool menuBarHook_ = false;
  bool inMouseDown_ = false;
  std::unique_ptr<TBarRootItem> items_;
  int wrapRows_ = 1;
  bool menuBar_ = false;
  bool processShortCuts_ = false;
  bool inShortCutList_ = false;
  TBarShrinkMode shrinkMode_ = tbsmChevron;
  std::unique_ptr<FloatingResize> floatingResize_;
  bool systemFont_ = true;
  bool updateActions_ = true;
  TFont* menuFont_ = nullptr;  // the shared menu font, held while the toolbar lives
  std::unique_ptr<TBarToolbarView> view_;
};

// The toolbar as forms place it.
class TBarToolbar : public TBarCustomToolbar {
  TALVIK_CLASS(TBarToolbar, TBarCustomToolbar)
  using TBarCustomToolbar::TBarCustomToolbar;
};

// The floating resize's choice among the candidate sizes (frame included), sorted along the dragged
// side: the cursor's offset from the start, the snap distance, the current index; answers the index
// of the size to take.
int ChooseFloatingSize(const std::vector<int>& Lengths, int Current, int Offset, int Snap);
// The snap distance around the current size in sorted candidate lengths.
int FloatingSnapDistance(const std::vector<int>& Lengths, int Current);
