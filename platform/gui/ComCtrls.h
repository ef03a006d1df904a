// The common controls: page controls with tab sheets, status bars and report-style list views.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/gui/ImgList.h"
#include "platform/gui/StdCtrls.h"

class TPageControl;

// ---------------------------------------------------------------- page control

class TTabSheet : public TCustomControl {
  TALVIK_CLASS(TTabSheet, TCustomControl)
  explicit TTabSheet(TComponent* AOwner);
  ~TTabSheet() override;
  TPageControl* PageControl() const { return pageControl_; }
  void SetPageControl(TPageControl* Value);
  int PageIndex() const;
  void SetPageIndex(int Value);
  // The index among the visible tabs; -1 when the tab is hidden.
  int TabIndex() const;
  bool TabVisible() const { return tabVisible_; }
  void SetTabVisible(bool Value);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int Value);
  // Run when the sheet starts or stops showing: as it becomes the active page, and as a parent hides or
  // shows it.
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;

 protected:
  void Dispatch(TMessage& Message) override;
  void Paint() override;

 private:
  friend class TPageControl;
  TPageControl* pageControl_ = nullptr;
  bool tabVisible_ = true;
  int imageIndex_ = -1;
};

enum TTabStyle { tsTabs, tsButtons, tsFlatButtons };
using TTabChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;

class TPageControl : public TCustomControl {
  TALVIK_CLASS(TPageControl, TCustomControl)
  explicit TPageControl(TComponent* AOwner);
  ~TPageControl() override;

  int PageCount() const { return static_cast<int>(pages_.size()); }
  TTabSheet* Pages(int Index) const { return pages_.at(static_cast<std::size_t>(Index)); }
  TTabSheet* ActivePage() const { return activePage_; }
  void SetActivePage(TTabSheet* Page);
  int ActivePageIndex() const { return activePage_ ? activePage_->PageIndex() : -1; }
  void SetActivePageIndex(int Value);
  int TabIndex() const { return activePage_ ? activePage_->TabIndex() : -1; }
  TTabStyle Style() const { return style_; }
  void SetStyle(TTabStyle Value);
  bool MultiLine() const { return multiLine_; }
  void SetMultiLine(bool Value);
  bool HotTrack() const { return hotTrack_; }
  void SetHotTrack(bool Value) { hotTrack_ = Value; }
  int TabHeight() const { return tabHeight_; }
  void SetTabHeight(int Value);
  TCustomImageList* Images() const { return images_; }
  void SetImages(TCustomImageList* Value);
  // The sheet whose tab is at a client point (nullptr: none).
  TTabSheet* TabAt(TPoint P);
  TRect TabRect(int TabIndex);
  int RowCount();
  void SelectNextPage(bool GoForward, bool CheckTabVisible = true);
  TTabSheet* FindNextPage(TTabSheet* CurPage, bool GoForward, bool CheckTabVisible);
  void Notification(TComponent* AComponent, TOperation Operation) override;

  TNotifyEvent OnChange;
  TTabChangingEvent OnChanging;

 protected:
  void AdjustClientRect(TRect& Rect) override;
  void Dispatch(TMessage& Message) override;
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  virtual bool CanChange();
  virtual void Change();

 private:
  friend class TTabSheet;
  void InsertPage(TTabSheet* Page);
  void RemovePage(TTabSheet* Page);
  void LayoutTabs();
  void ImagesChanged();
  std::vector<TTabSheet*> VisibleTabs() const;
  std::vector<TTabSheet*> pages_;
  TTabSheet* activePage_ = nullptr;
  TTabStyle style_ = tsTabs;
  bool multiLine_ = false;
  bool hotTrack_ = false;
  int tabHeight_ = 0;
  int hotTab_ = -1;
  TCustomImageList* images_ = nullptr;
  TChangeLink imageLink_;
  std::vector<TRect> tabRects_;  // by visible tab index, client coordinates
  int rows_ = 1;
};

// ---------------------------------------------------------------- status bar

enum TStatusPanelStyle { psText, psOwnerDraw };
enum TStatusPanelBevel { pbNone, pbLowered, pbRaised };
class TStatusBar;

class TStatusPanel : public TObject {
  TALVIK_CLASS(TStatusPanel, TObject)
  explicit TStatusPanel(TStatusBar* Owner) : owner_(Owner) {}
  const std::string& Text() const { return text_; }
  void SetText(const std::string& Value);
  int Width() const { return width_; }
  void SetWidth(int Value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment Value);
  TStatusPanelStyle Style() const { return style_; }
  void SetStyle(TStatusPanelStyle Value);
  TStatusPanelBevel Bevel() const { return bevel_; }
  void SetBevel(TStatusPanelBevel Value);
  int Index() const;

 private:
  void Changed();
  TStatusBar* owner_;
  std::string text_;
  int width_ = 50;
  TAlignment alignment_ = taLeftJustify;
  TStatusPanelStyle style_ = psText;
  TStatusPanelBevel bevel_ = pbLowered;
};

class TStatusPanels {
 public:
  explicit TStatusPanels(TStatusBar* Owner) : owner_(Owner) {}
  TStatusPanel* Add();
  int Count() const { return static_cast<int>(panels_.size()); }
  TStatusPanel* Items(int Index) const { return panels_.at(static_cast<std::size_t>(Index)).get(); }
  void Delete(int Index);
  void Clear();

 private:
  friend class TStatusPanel;
  TStatusBar* owner_;
  std::vector<std::unique_ptr<TStatusPanel>> panels_;
};

using TDrawPanelEvent = std::function<void(TStatusBar* StatusBar, TStatusPanel* Panel, const TRect& Rect)>;

class TStatusBar : public TCustomControl {
  TALVIK_CLASS(TStatusBar, TCustomControl)
  explicit TStatusBar(TComponent* AOwner);
  TStatusPanels* Panels() { return &panels_; }
  bool SimplePanel() const { return simplePanel_; }
  void SetSimplePanel(bool Value);
  const std::string& SimpleText() const { return simpleText_; }
  void SetSimpleText(const std::string& Value);
  bool SizeGrip() const { return sizeGrip_; }
  void SetSizeGrip(bool Value);
  TRect PanelRect(int Index);
  TDrawPanelEvent OnDrawPanel;

 protected:
  void Paint() override;
  virtual void DrawPanel(TStatusPanel* Panel, const TRect& Rect);

 private:
  friend class TStatusPanel;
  TStatusPanels panels_{this};
  bool simplePanel_ = false;
  std::string simpleText_;
  bool sizeGrip_ = true;
};

// ---------------------------------------------------------------- list view (report style)

class TListView;
class TListItems;

class TListColumn : public TObject {
  TALVIK_CLASS(TListColumn, TObject)
  explicit TListColumn(TListView* Owner) : owner_(Owner) {}
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& Value);
  int Width() const { return width_; }
  void SetWidth(int Value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment Value);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool Value);
  int MinWidth() const { return minWidth_; }
  void SetMinWidth(int Value) { minWidth_ = Value; }
  int Index() const;

 private:
  TListView* owner_;
  std::string caption_;
  int width_ = 50;
  TAlignment alignment_ = taLeftJustify;
  bool autoSize_ = false;
  int minWidth_ = 0;
};

class TListColumns {
 public:
  explicit TListColumns(TListView* Owner) : owner_(Owner) {}
  TListColumn* Add();
  int Count() const { return static_cast<int>(columns_.size()); }
  TListColumn* Items(int Index) const { return columns_.at(static_cast<std::size_t>(Index)).get(); }
  void Clear();

 private:
  friend class TListColumn;
  TListView* owner_;
  std::vector<std::unique_ptr<TListColumn>> columns_;
};

class TListItem : public TObject {
  TALVIK_CLASS(TListItem, TObject)
  explicit TListItem(TListItems* Owner);
  ~TListItem() override;
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& Value);
  TStrings* SubItems() { return subItems_.get(); }
  bool Selected() const { return selected_; }
  void SetSelected(bool Value);
  bool Focused() const;
  void SetFocused(bool Value);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int Value);
  void* Data() const { return data_; }
  void SetData(void* Value) { data_ = Value; }
  int Index() const;
  TListView* ListView() const;
  void Delete();
  void MakeVisible(bool PartialOK = false);
  TRect DisplayRect();
  void Update();

 private:
  friend class TListView;
  friend class TListItems;
  TListItems* owner_;
  std::string caption_;
  std::unique_ptr<TStringList> subItems_;
  bool selected_ = false;
  int imageIndex_ = -1;
  void* data_ = nullptr;
};

class TListItems {
 public:
  explicit TListItems(TListView* Owner) : owner_(Owner) {}
  ~TListItems();
  TListItem* Add();
  TListItem* Insert(int Index);
  TListItem* AddItem(TListItem* Item, int Index = -1);  // takes Item over (nullptr: a new one)
  int Count() const { return static_cast<int>(items_.size()); }
  TListItem* Item(int Index) const { return items_.at(static_cast<std::size_t>(Index)).get(); }
  TListItem* operator[](int Index) const { return Item(Index); }
  int IndexOf(const TListItem* Item) const;
  void Delete(int Index);
  void Clear();
  void BeginUpdate();
  void EndUpdate();
  TListView* Owner() const { return owner_; }

 private:
  friend class TListItem;
  friend class TListView;
  TListView* owner_;
  std::vector<std::unique_ptr<TListItem>> items_;
  int updateCount_ = 0;
};

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };
enum TItemChange { ctText, ctImage, ctState };
using TLVSelectItemEvent = std::function<void(TObject* Sender, TListItem* Item, bool Selected)>;
using TLVChangeEvent = std::function<void(TObject* Sender, TListItem* Item, TItemChange Change)>;
using TLVColumnClickEvent = std::function<void(TObject* Sender, TListColumn* Column)>;
using TLVDeletedEvent = std::function<void(TObject* Sender, TListItem* Item)>;

class TListView : public TCustomListControl {
  TALVIK_CLASS(TListView, TCustomListControl)
  explicit TListView(TComponent* AOwner);
  ~TListView() override;

  TListColumns* Columns() { return &columns_; }
  TListItems* Items() { return &items_; }
  TViewStyle ViewStyle() const { return viewStyle_; }
  void SetViewStyle(TViewStyle Value);  // the report style is the one drawn
  bool MultiSelect() const { return multiSelect_; }
  void SetMultiSelect(bool Value);
  bool RowSelect() const { return rowSelect_; }
  void SetRowSelect(bool Value);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool Value) { readOnly_ = Value; }
  bool HideSelection() const { return hideSelection_; }
  void SetHideSelection(bool Value);
  bool GridLines() const { return gridLines_; }
  void SetGridLines(bool Value);
  bool ShowColumnHeaders() const { return showColumnHeaders_; }
  void SetShowColumnHeaders(bool Value);
  bool ColumnClick() const { return columnClick_; }
  void SetColumnClick(bool Value) { columnClick_ = Value; }
  TCustomImageList* SmallImages() const { return smallImages_; }
  void SetSmallImages(TCustomImageList* Value);
  TListItem* Selected() const;
  void SetSelected(TListItem* Item);  // nullptr clears the selection
  int SelCount() const override;
  int Count() const override { return items_.Count(); }
  void Clear() override { items_.Clear(); }
  void DeleteSelected() override;  // every selected item, in one update of the items
  TListItem* ItemFocused() const { return focused_; }
  void SetItemFocused(TListItem* Item);
  int ItemIndex() const override;
  void SetItemIndex(int Value) override;
  TListItem* TopItem() const;
  int VisibleRowCount();
  int RowHeight();
  TListItem* GetItemAt(int X, int Y);
  TListItem* GetNextItem(TListItem* StartItem, bool Forward, bool SelectedOnly);
  void ClearSelection() override;
  void SelectAll() override;
  void Scroll(int DX, int DY);
  void Notification(TComponent* AComponent, TOperation Operation) override;

  TLVSelectItemEvent OnSelectItem;
  TLVChangeEvent OnChange;
  TLVColumnClickEvent OnColumnClick;
  TLVDeletedEvent OnDeletion;
  TLVDeletedEvent OnInsert;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void Dispatch(TMessage& Message) override;
  void Paint() override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) override;
  virtual void DrawItem(TListItem* Item, int Row, TRect Rect);
  int HeaderHeight();

 private:
  friend class TListItem;
  friend class TListItems;
  friend class TListColumn;
  friend class TListColumns;
  // The items changed from row `FromRow` on (-1: anywhere): the rows that show them paint again.
  void ItemsChanged(bool Repaint, int FromRow = -1);
  void ItemSelectionChanged(TListItem* Item, bool Selected);
  void ItemRemoving(TListItem* Item);
  void UpdateScrollBar();
  void MakeRowVisible(int Row);
  void MoveFocusTo(int Row, TShiftState Shift);
  std::vector<int> ColumnWidths();
  TListColumns columns_{this};
  TListItems items_{this};
  TViewStyle viewStyle_ = vsReport;
  bool multiSelect_ = false;
  bool rowSelect_ = false;
  bool readOnly_ = false;
  bool hideSelection_ = true;
  bool gridLines_ = false;
  bool showColumnHeaders_ = true;
  bool columnClick_ = true;
  TCustomImageList* smallImages_ = nullptr;
  TChangeLink imageLink_;
  TListItem* focused_ = nullptr;
  int anchor_ = -1;
  int topRow_ = 0;
  int scrollX_ = 0;
};
