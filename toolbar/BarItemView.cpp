// Views: keeping the viewers in step with the item tree, validating the layout, done actions.
#include <algorithm>
#include <cassert>

#include "platform/rtl/Lifetime.h"
#include "toolbar/BarAccessibility.h"
#include "toolbar/BarItem.h"
#include "toolbar/BarUtils.h"

void BarObjectCreated();
void BarObjectDestroyed(void* Object);

// ---------------------------------------------------------------------------------------------------
// TBarItemViewer: the parts that are not measuring or painting

TBarItemViewer::TBarItemViewer(TBarView* AView, TBarCustomItem* AItem) : view_(AView), item_(AItem) {
  BarObjectCreated();
}

TBarItemViewer::~TBarItemViewer() {
  if (auto object = accObject_.lock()) {
    object->OwnerGone();
    AccObjectGone(object.get());
  }
  BarObjectDestroyed(this);
}

bool TBarItemViewer::Execute() {
  view_->EndModalWithClick(this);
  return true;
}

void TBarItemViewer::NotifySelecting() {
  InvokeEvent(item_->OnSelect, item_, this, true);
}

void TBarItemViewer::NotifyDeselecting() {
  InvokeEvent(item_->OnSelect, item_, this, false);
}

void TBarItemViewer::RequestRepaint() {
  view_->RepaintViewer(this);
}

int TBarItemViewer::AccessibleRole() {
  constexpr int kClient = 10, kSeparator = 21, kMenuItem = 12, kPushButton = 43, kButtonMenu = 57;
  if (dynamic_cast<TBarControlItem*>(item_)) return kClient;
  if (item_->ItemStyle().Contains(tisSeparator)) return kSeparator;
  if (view_->IsPopup() || view_->Style().Contains(vsMenuBar)) return kMenuItem;
  return item_->ItemStyle().Contains(tisHasSubmenu) ? kButtonMenu : kPushButton;
}

std::string TBarItemViewer::CaptionBeforeTab() {
  const std::string& c = item_->Caption();
  return c.substr(0, c.find('\t'));
}

bool TBarItemViewer::PointInMainPart(int X, int) {
  const TBarItemStyle style = item_->ItemStyle();
  if (!style.Contains(tisHasSubmenu)) return true;
  if (!style.Contains(tisSplitButton)) return false;
  const int arrowWidth = IsToolbarStyle() ? 11 : GetSystemMetrics(SM_CXMENUCHECK);
  return X < BoundsRect.Width() - arrowWidth;
}

bool TBarItemViewer::SharesGroupWidth() {
  const TBarItemOptions o = item_->EffectiveOptions();
  return o.Contains(tboImageAboveCaption) && o.Contains(tboSameWidth) && IsToolbarSize();
}

bool TBarItemViewer::IsToolbarStyle() const {
  return view_->IsToolbar() || view_->ToolbarStyle() || item_->EffectiveOptions().Contains(tboToolbarStyle);
}

bool TBarItemViewer::IsToolbarSize() const {
  return view_->IsToolbar() || view_->ToolbarStyle() || item_->EffectiveOptions().Contains(tboToolbarSize);
}

bool TBarItemViewer::IsRotated() const {
  const TBarItemOptions o = item_->EffectiveOptions();
  return view_->Orientation() == tbvoVertical && !o.Contains(tboNoRotation) &&
         !o.Contains(tboImageAboveCaption);
}

bool TBarItemViewer::CaptionShown() const {
  const TBarItemDisplayMode mode = item_->DisplayMode();
  if (!item_->Caption().empty() &&
      (!IsToolbarSize() || item_->ImageIndex() < 0 || mode == nbdmTextOnly || mode == nbdmImageAndText))
    return true;
  return item_->EffectiveOptions().Contains(tboImageAboveCaption);
}

bool TBarItemViewer::ImageShown() const {
  const TBarItemDisplayMode mode = item_->DisplayMode();
  return (item_->ImageIndex() >= 0 && (mode == nbdmDefault || mode == nbdmImageAndText)) ||
         (mode == nbdmTextOnlyInMenus && IsToolbarStyle());
}

namespace {

// An image list that is not being destroyed. Items that share an owner with their list hear of its
// going one after another (the owner tells each): a view may measure or paint in between, and must
// not ask a list that is half gone.
TCustomImageList* Usable(TCustomImageList* Images) {
  const TComponent* component = Images;
  return component && !component->ComponentState().Contains(csDestroying) ? Images : nullptr;
}

}  // namespace

TCustomImageList* TBarItemViewer::GetImageList() const {
  if (TCustomImageList* own = Usable(item_->Images())) return own;
  for (TBarView* v = view_; v; v = v->ParentView()) {
    if (v->ItemsSource())
      if (TCustomImageList* images = Usable(v->ItemsSource()->SubMenuImages())) return images;
    if (v->ParentItem())
      if (TCustomImageList* images = Usable(v->ParentItem()->SubMenuImages())) return images;
  }
  return nullptr;
}

std::string TBarItemViewer::GetHintText() {
  std::string hint = GetShortHint(item_->Hint());
  const TBarItemStyle style = item_->ItemStyle();
  if (hint.empty() && !item_->EffectiveOptions().Contains(tboNoAutoHint) &&
      !(style.Contains(tisHasSubmenu) && !style.Contains(tisSplitButton) && CaptionShown()))
    hint = StripAccelChars(StripTrailingPunctuation(CaptionBeforeTab()));
  if (auto* action = dynamic_cast<TCustomAction*>(item_->Action()))
    if (!action->DoHint(hint)) hint.clear();
  if (!hint.empty() && item_->ShortCut() != 0 && (!Application || Application->HintShortCuts()))
    hint = hint + " (" + ShortCutToText(item_->ShortCut()) + ")";
  return hint;
}

// ---------------------------------------------------------------------------------------------------
// TBarView

void TBarView::ParentItemHandler::ItemNotification(TBarCustomItem*, bool, TBarItemChangedAction Action, int,
                                                   TBarCustomItem*) {
  view_->ParentNotification(Action);
}

void TBarView::ItemsSourceHandler::ItemNotification(TBarCustomItem*, bool, TBarItemChangedAction Action,
                                                    int Index, TBarCustomItem* Item) {
  view_->SourceNotification(Action, Index, Item);
}

TBarView::TBarView(TComponent* AOwner, TBarView* AParentView, TBarCustomItem* AParentItem,
                   TWinControl* AWindow, bool AIsToolbar, bool ACustomizing, bool AUsePriorityList)
    : TComponent(AOwner),
      parentView_(AParentView),
      parentItem_(AParentItem),
      window_(AWindow),
      isPopup_(!AIsToolbar),
      isToolbar_(AIsToolbar),
      customizing_(ACustomizing),
      usePriorityList_(AUsePriorityList) {
  assert(AParentItem);
  parentItem_->Subscribe(&parentHandler_);
  parentItem_->FreeNotification(this);
  itemsSource_ = parentItem_->ItemsSource();
  itemsSource_->Subscribe(&sourceHandler_);
  if (itemsSource_ != parentItem_) itemsSource_->FreeNotification(this);
  AddViewers();
}

TBarView::~TBarView() {
  if (goneFlag_) *goneFlag_ = true;
  HideChildPopups();
  StopAllTimers();
  if (auto object = accObject_.lock()) {
    object->OwnerGone();
    AccObjectGone(object.get());
  }
  if (parentView_ && parentView_->isToolbar_) {
    parentView_->state_.Include(vsClosing);
    if (parentView_->openViewer_) parentView_->RepaintViewer(parentView_->openViewer_);
  }
  if (parentView_ && parentView_->openView_ == this) {
    parentView_->openView_ = nullptr;
    parentView_->openViewer_ = nullptr;
    parentView_->openWindow_ = nullptr;
  }
  if (parentItem_) parentItem_->Unsubscribe(&parentHandler_);
  if (itemsSource_) itemsSource_->Unsubscribe(&sourceHandler_);
  FreeViewers();
  // the focus goes back to the view this popup came from
  if (parentView_ && parentView_->InModalLoop() && !parentView_->selectionChanging_)
    parentView_->AnnounceFocus();
}

void TBarView::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == itemsSource_ && itemsSource_ != parentItem_) {
    // The source is being destroyed: its subscriptions go with it, and it is asked nothing more.
    itemsSource_ = nullptr;
    FreeViewers();
  }
  if (AComponent == parentItem_) {
    if (itemsSource_ == parentItem_) itemsSource_ = nullptr;
    // The item unsubscribes nothing on its way out; the view lets go of it.
    parentItem_ = nullptr;
    FreeViewers();
  }
  if (AComponent == chevronParentView_) chevronParentView_ = nullptr;
}

bool TBarView::Loading() const {
  if (!parentItem_) return false;
  if (parentItem_->ComponentState().Contains(csLoading)) return true;
  TComponent* owner = parentItem_->Owner();
  return owner && owner->ComponentState().Contains(csLoading);
}

TFont* TBarView::GetFont() {
  CreateApplication();
  return Screen->MenuFont();
}

void TBarView::LayoutMargins(TBarViewOrientation AOrientation, TRect& Margins) {
  Margins = AOrientation == tbvoFloating ? Rect(4, 2, 4, 1) : Rect(0, 0, 0, 0);
}

void TBarView::InvalidatePositions() {
  if (!positionsValid_) return;
  positionsValid_ = false;
  if (window_ && window_->HandleAllocated()) InvalidateRect(window_->Handle(), nullptr, true);
}

void TBarView::ValidatePositions() {
  if (!positionsValid_) {
    TPoint size;
    UpdatePositions(size);
  }
}

void TBarView::ValidatePositionsIfIdle() {
  if (updateCount_ == 0 && !Loading()) ValidatePositions();
}

void TBarView::EndUpdate() {
  assert(updateCount_ > 0);
  if (--updateCount_ == 0) ValidatePositionsIfIdle();
}

TPoint TBarView::GetBaseSize() {
  TPoint size;
  UpdatePositions(size);
  return size;
}

void TBarView::SourceNotification(TBarItemChangedAction Action, int Index, TBarCustomItem* Item) {
  switch (Action) {
    case tbicInserted: {
      // The viewer goes where the item stands among its siblings, before the trailing viewers.
      InsertViewer(Item, leadingCount_ + Index);
      InvalidatePositions();
      break;
    }
    case tbicDeleted:
      for (int i = ViewerCount() - 1; i >= 0; --i)
        if (viewers_[static_cast<size_t>(i)]->Item() == Item) DeleteViewer(i);
      InvalidatePositions();
      break;
    case tbicSubitemsChanged:
      RecreateAllViewers();
      break;
    case tbicSubitemsBeginUpdate:
      BeginUpdate();
      return;
    case tbicSubitemsEndUpdate:
      EndUpdate();
      return;
    case tbicInvalidate:
      for (TBarItemViewer* v : viewers_)
        if (v->Item() == Item) RepaintViewer(v);
      break;
    case tbicInvalidateAndResize:
      InvalidatePositions();
      break;
    case tbicRecreateItemViewers:
      InvalidatePositions();
      for (size_t i = 0; i < viewers_.size(); ++i) {
        TBarItemViewer* old = viewers_[i];
        if (old->Item() != Item) continue;
        TBarItemViewer* fresh = Item->ViewerClassFor(this).Create(this, Item);
        viewers_[i] = fresh;
        std::replace(priorityList_.begin(), priorityList_.end(), old, fresh);
        if (selected_ == old) selected_ = nullptr;
        delete old;
      }
      break;
    case tbicNameChanged:
      return;
    case tbicSubMenuImagesChanged:
      break;
  }
  ValidatePositionsIfIdle();
}

void TBarView::ParentNotification(TBarItemChangedAction Action) {
  if (Action == tbicSubitemsChanged) {
    ResolveItemsSource();
  } else if (Action == tbicSubMenuImagesChanged && parentItem_ != itemsSource_) {
    for (TBarView* v = this; v; v = v->openView_) {
      v->InvalidatePositions();
      v->ValidatePositions();
    }
  }
}

void TBarView::ResolveItemsSource() {
  TBarCustomItem* source = parentItem_->ItemsSource();
  if (source == itemsSource_) return;
  // a source being destroyed (the item's own notification of it may come first) is asked nothing
  const TComponent* old = itemsSource_;
  if (old && !old->ComponentState().Contains(csDestroying)) {
    itemsSource_->Unsubscribe(&sourceHandler_);
    if (itemsSource_ != parentItem_) itemsSource_->RemoveFreeNotification(this);
  }
  itemsSource_ = source;
  itemsSource_->Subscribe(&sourceHandler_);
  if (itemsSource_ != parentItem_) itemsSource_->FreeNotification(this);
  RecreateAllViewers();
  if (!itemsSource_->ComponentState().Contains(csDesigning)) InitiateActions();
}

void TBarView::RecreateAllViewers() {
  FreeViewers();
  AddViewers();
  ValidatePositionsIfIdle();
}

void TBarView::FreeViewers() {
  HideChildPopups();
  selected_ = nullptr;
  InvalidatePositions();
  priorityList_.clear();
  for (TBarItemViewer* v : viewers_) delete v;
  viewers_.clear();
  leadingCount_ = 0;
  trailingCount_ = 0;
}

void TBarView::AddViewers() {
  std::vector<TBarCustomItem*> leading, trailing;
  GetLeadingItems(leading);
  GetTrailingItems(trailing);
  for (TBarCustomItem* item : leading) {
    InsertViewer(item, ViewerCount());
    ++leadingCount_;
  }
  if (itemsSource_)
    for (int i = 0; i < itemsSource_->Count(); ++i)
      InsertViewer(itemsSource_->Items(i), ViewerCount() - trailingCount_);
  for (TBarCustomItem* item : trailing) {
    InsertViewer(item, ViewerCount());
    ++trailingCount_;
  }
}

TBarItemViewer* TBarView::InsertViewer(TBarCustomItem* Item, int Index) {
  Index = std::clamp(Index, 0, ViewerCount() - trailingCount_);
  TBarItemViewer* v = Item->ViewerClassFor(this).Create(this, Item);
  viewers_.insert(viewers_.begin() + Index, v);
  if (usePriorityList_) {
    if (newItemsHighestPriority_ && !Item->ComponentState().Contains(csLoading))
      priorityList_.insert(priorityList_.begin(), v);
    else
      priorityList_.push_back(v);
  }
  return v;
}

void TBarView::DeleteViewer(int Index) {
  TBarItemViewer* v = viewers_[static_cast<size_t>(Index)];
  if (openViewer_ == v) HideChildPopups();
  if (selected_ == v) selected_ = nullptr;
  priorityList_.erase(std::remove(priorityList_.begin(), priorityList_.end(), v), priorityList_.end());
  viewers_.erase(viewers_.begin() + Index);
  delete v;
}

int TBarView::IndexOf(const TBarItemViewer* Viewer) const {
  if (!Viewer) return -1;
  auto it = std::find(viewers_.begin(), viewers_.end(), Viewer);
  return it == viewers_.end() ? -1 : static_cast<int>(it - viewers_.begin());
}

TBarItemViewer* TBarView::Find(const TBarCustomItem* Item) const {
  for (TBarItemViewer* v : viewers_)
    if (v->Item() == Item) return v;
  return nullptr;
}

TBarItemViewer* TBarView::ViewerFromPoint(TPoint P) {
  ValidatePositions();
  for (TBarItemViewer* v : viewers_)
    if (v->Show && v->BoundsRect.Contains(P)) return v;
  return nullptr;
}

TBarItemViewer* TBarView::HighestPriorityViewer() {
  ValidatePositions();
  const std::vector<TBarItemViewer*>& order = usePriorityList_ ? priorityList_ : viewers_;
  for (TBarItemViewer* v : order)
    if (v->Show && !v->Item()->ItemStyle().Contains(tisSeparator)) return v;
  return nullptr;
}

void TBarView::InitiateActions() {
  for (TBarItemViewer* v : std::vector<TBarItemViewer*>(viewers_)) v->Item()->InitiateAction();
}

void TBarView::SwitchPriorityList(bool Value) {
  if (Value == usePriorityList_) return;
  usePriorityList_ = Value;
  RecreateAllViewers();
}

void TBarView::GivePriority(TBarItemViewer* Viewer) {
  auto it = std::find(priorityList_.begin(), priorityList_.end(), Viewer);
  if (it == priorityList_.end() || it == priorityList_.begin()) return;
  priorityList_.erase(it);
  priorityList_.insert(priorityList_.begin(), Viewer);
  InvalidatePositions();
}

void TBarView::GetHostedControls(std::vector<TWinControl*>& List) {
  for (TBarItemViewer* v : viewers_)
    if (v->Clipped)
      if (auto* ci = dynamic_cast<TBarControlItem*>(v->Item()))
        if (auto* wc = dynamic_cast<TWinControl*>(ci->Control())) List.push_back(wc);
}

void TBarView::SetChevronParentView(TBarView* Value) {
  if (Value == chevronParentView_) return;
  if (chevronParentView_) chevronParentView_->RemoveFreeNotification(this);
  chevronParentView_ = Value;
  if (Value) Value->FreeNotification(this);
  InvalidatePositions();
}

#define TALVIK_LAYOUT_SETTER(Name, Type, field) \
  void TBarView::Set##Name(Type Value) {        \
    if (Value == field) return;                 \
    field = Value;                              \
    InvalidatePositions();                      \
  }
TALVIK_LAYOUT_SETTER(Orientation, TBarViewOrientation, orientation_)
TALVIK_LAYOUT_SETTER(ToolbarStyle, bool, toolbarStyle_)
TALVIK_LAYOUT_SETTER(MaximumLength, int, maximumLength_)
TALVIK_LAYOUT_SETTER(ChevronSize, int, chevronSize_)
TALVIK_LAYOUT_SETTER(WrapOffset, int, wrapOffset_)
TALVIK_LAYOUT_SETTER(MaxHeight, int, maxHeight_)
TALVIK_LAYOUT_SETTER(ScrollOffset, int, scrollOffset_)
#undef TALVIK_LAYOUT_SETTER

TBarView* TBarView::RootView() {
  TBarView* v = this;
  while (v->parentView_) v = v->parentView_;
  return v;
}

void TBarView::EndModalWithClick(TBarItemViewer* Viewer) {
  TBarDoneActionData& d = RootView()->doneActionData_;
  d = TBarDoneActionData();
  d.DoneAction = tbdaClickItem;
  d.ClickItem = Viewer->Item();
  d.Sound = Viewer->View()->IsPopup();
}

void TBarView::EndModal() {
  TBarDoneActionData& d = RootView()->doneActionData_;
  d = TBarDoneActionData();
  d.DoneAction = tbdaCancel;
}

void TBarView::EndModalWithSystemMenu(HWND Wnd, char32_t Key) {
  TBarDoneActionData& d = RootView()->doneActionData_;
  d = TBarDoneActionData();
  d.DoneAction = tbdaOpenSystemMenu;
  d.Wnd = Wnd;
  d.Key = Key;
}

void TBarView::EndModalWithHelp(THelpContext Context) {
  TBarDoneActionData& d = RootView()->doneActionData_;
  d = TBarDoneActionData();
  d.DoneAction = tbdaHelpContext;
  d.ContextID = Context;
}

TCanvas* TBarView::MeasureCanvas() {
  if (!measureBitmap_) {
    measureBitmap_ = std::make_unique<TBitmap>();
    measureBitmap_->SetSize(1, 1);
  }
  return measureBitmap_->Canvas();
}

int TBarView::MeasureTextWidth(TCanvas* Canvas, const std::string& Text, bool Prefix) {
  constexpr size_t kMaxRemembered = 4096;
  const LOGFONT lf = Canvas->Font()->GetLogFont();
  const LOGFONT& k = textWidthsFont_;
  if (lf.lfHeight != k.lfHeight || lf.lfWeight != k.lfWeight || lf.lfItalic != k.lfItalic ||
      lf.lfEscapement != k.lfEscapement || lf.lfFaceName != k.lfFaceName ||
      textWidths_.size() > kMaxRemembered) {
    textWidths_.clear();
    textWidthsFont_ = lf;
  }
  std::string key = (Prefix ? "&" : "=") + Text;
  auto it = textWidths_.find(key);
  if (it != textWidths_.end()) return it->second;
  const int width = GetTextWidth(Canvas->Handle(), Text, Prefix);
  textWidths_.emplace(std::move(key), width);
  return width;
}

void TBarView::UpdatePositions(TPoint& ASize) {
  LayoutResult r = CalculatePositions(true, orientation_, chevronSize_, maximumLength_, wrapOffset_);
  ASize = r.BaseSize;
  totalSize_ = r.TotalSize;
  positionsValid_ = true;
  FitWindow(ASize.X, ASize.Y);
  // laid out while the window paints: that paint shows the new layout
  if (!r.Changed || drawing_) return;
  if (window_ && window_->HandleAllocated()) {
    ValidateRect(window_->Handle(), nullptr);
    RepaintWindowAtOnce();
  }
}

void TBarView::RepaintWindowAtOnce() {
  if (!window_ || !window_->HandleAllocated() || !IsWindowVisible(window_->Handle())) return;
  RECT client;
  GetClientRect(window_->Handle(), client);
  if (client.Width() < 1 || client.Height() < 1) return;
  // the window paints itself whole (a popup its scroll arrows too): erased, then painted
  TBitmap bitmap;
  bitmap.SetSize(client.Width(), client.Height());
  TCanvas* canvas = bitmap.Canvas();
  window_->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas->Handle()));
  window_->Perform(WM_PAINT, reinterpret_cast<WPARAM>(canvas->Handle()));
  HDC dc = GetDC(window_->Handle());
  BitBlt(dc, 0, 0, client.Width(), client.Height(), canvas->Handle(), 0, 0, SRCCOPY);
  ReleaseDC(window_->Handle(), dc);
}
