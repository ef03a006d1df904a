// Group boxes, list boxes, combo boxes with their own drop-down list, and scroll bars.
#include <algorithm>

#include "platform/gui/GuiPrivate.h"
#include "platform/gui/StdCtrls.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr DWORD kSearchResetMs = 1000;  // a pause this long starts a new incremental search

// The bytes the first `chars` characters of UTF-8 text take; npos when the text is shorter.
std::size_t Utf8PrefixBytes(std::string_view text, int chars) {
  std::size_t i = 0;
  for (int n = 0; n < chars; ++n) {
    if (i >= text.size()) return std::string_view::npos;
    ++i;
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
  }
  return i;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix, int prefixChars) {
  const std::size_t bytes = Utf8PrefixBytes(text, prefixChars);
  if (bytes == std::string_view::npos) return false;
  return AnsiSameText(text.substr(0, bytes), prefix);
}

// The incremental-search text after Key: a pause starts it again.
void ExtendSearch(std::string& search, DWORD& lastTime, char32_t Key) {
  DWORD now = static_cast<DWORD>(talvik::gui::Ticks());
  if (now - lastTime > kSearchResetMs) search.clear();
  lastTime = now;
  search += Utf32ToUtf8(std::u32string(1, Key));
}

}  // namespace

// ---------------------------------------------------------------- TCustomGroupBox

TCustomGroupBox::TCustomGroupBox(TComponent* AOwner) : TCustomControl(AOwner) {
  controlStyle_ = {csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  width_ = 185;
  height_ = 105;
}

void TCustomGroupBox::AdjustClientRect(TRect& Rect) {
  Rect.Top += TextExtentOf(Font(), "0").cy;
  InflateRect(Rect, -2, -2);
}

void TCustomGroupBox::Paint() {
  TCanvas* c = Canvas();
  c->Font()->Assign(Font());
  int h = c->TextHeight("0");
  RECT frame = Rect(0, h / 2, Width(), Height());
  c->Brush()->SetColor(Color());
  c->FillRect(ClientRect());
  DrawEdge(c->Handle(), frame, EDGE_ETCHED, BF_RECT);
  if (!Caption().empty()) {
    TRect text = Rect(8, 0, Width() - 8, h);
    TRect calc = text;
    DrawControlCaption(c, Caption(), calc, DT_CALCRECT | DT_SINGLELINE, Enabled());
    text.Right = std::min(text.Right, text.Left + calc.Width() + 4);
    c->FillRect(text);
    OffsetRect(text, 2, 0);
    DrawControlCaption(c, Caption(), text, DT_SINGLELINE, Enabled());
  }
}

void TCustomGroupBox::Dispatch(TMessage& m) {
  if (m.Msg == CM_DIALOGCHAR) {
    if (IsAccel(static_cast<char32_t>(m.WParam), Caption()) && CanFocus()) {
      SelectNext(nullptr, true, true);
      m.Result = 1;
    }
    return;
  }
  if (m.Msg == CM_TEXTCHANGED || m.Msg == CM_FONTCHANGED) {
    Realign();
    Invalidate();
  }
  TCustomControl::Dispatch(m);
}

// ---------------------------------------------------------------- TCustomListBox

TCustomListBox::TCustomListBox(TComponent* AOwner)
    : TCustomControl(AOwner), items_(std::make_unique<TStringList>()) {
  width_ = 121;
  height_ = 97;
  color_ = clWindow;
  parentColor_ = false;
  brush_.SetColor(clWindow);
  controlStyle_ = {csSetCaption, csDoubleClicks, csClickEvents, csCaptureMouse, csOpaque};
  SetTabStop(true);
  items_->OnChange = [this](TObject*) { ItemsChanged(); };
}

TCustomListBox::~TCustomListBox() {
  items_->OnChange = nullptr;
}

TStrings* TCustomListBox::Items() {
  return items_.get();
}

void TCustomListBox::SetItems(TStrings* Value) {
  items_->Assign(Value);
}

int TCustomListBox::Count() const {
  return items_->Count();
}

bool TCustomListBox::Sorted() const {
  return items_->Sorted();
}

void TCustomListBox::SetSorted(bool Value) {
  items_->SetCaseSensitive(false);
  items_->SetSorted(Value);
}

void TCustomListBox::ItemsChanged() {
  if (itemIndex_ >= Count()) itemIndex_ = Count() - 1;
  topIndex_ = std::clamp(topIndex_, 0, std::max(0, Count() - VisibleItems()));
  UpdateScrollBar();
  Invalidate();
}

void TCustomListBox::Clear() {
  items_->Clear();
  itemIndex_ = -1;
  Invalidate();
}

void TCustomListBox::SetItemIndex(int Value) {
  Value = std::clamp(Value, -1, Count() - 1);
  if (itemIndex_ == Value) return;
  itemIndex_ = Value;
  if (Value >= 0) MakeVisible(Value);
  Invalidate();
}

void TCustomListBox::SetItemHeight(int Value) {
  if (Value <= 0 || itemHeight_ == Value) return;
  itemHeight_ = Value;
  UpdateScrollBar();
  Invalidate();
}

void TCustomListBox::SetTopIndex(int Value) {
  Value = std::clamp(Value, 0, std::max(0, Count() - VisibleItems()));
  if (topIndex_ == Value) return;
  topIndex_ = Value;
  UpdateScrollBar();
  Invalidate();
}

void TCustomListBox::SetStyle(TListBoxStyle Value) {
  style_ = Value;
  Invalidate();
}

void TCustomListBox::SetBorderStyle(TBorderStyle Value) {
  if (borderStyle_ == Value) return;
  borderStyle_ = Value;
  RecreateWnd();
}

void TCustomListBox::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  Params.Style |= WS_VSCROLL;
  if (borderStyle_ == bsSingle) Params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomListBox::CreateWnd() {
  TCustomControl::CreateWnd();
  UpdateScrollBar();
}

int TCustomListBox::VisibleItems() {
  return std::max(1, ClientHeight() / itemHeight_);
}

void TCustomListBox::UpdateScrollBar() {
  if (!HandleAllocated()) return;
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  si.nMax = std::max(0, Count() - 1);
  si.nPage = static_cast<UINT>(VisibleItems());
  si.nPos = topIndex_;
  SetScrollInfo(Handle(), SB_VERT, si, true);
}

void TCustomListBox::MakeVisible(int Index) {
  if (Index < topIndex_)
    SetTopIndex(Index);
  else if (Index >= topIndex_ + VisibleItems())
    SetTopIndex(Index - VisibleItems() + 1);
}

int TCustomListBox::ItemAtPos(TPoint Pos, bool Existing) {
  if (Pos.Y < 0) return Existing ? -1 : topIndex_;
  int i = topIndex_ + Pos.Y / itemHeight_;
  if (i >= Count()) return Existing ? -1 : Count();
  return i;
}

TRect TCustomListBox::ItemRect(int Index) {
  return Rect(0, (Index - topIndex_) * itemHeight_, ClientWidth(), (Index - topIndex_ + 1) * itemHeight_);
}

int TCustomListBox::FindPrefix(const std::string& Prefix, int Start) {
  const int n = Count();
  const int chars = Utf8Length(Prefix);
  const int from = Start < 0 || Start >= n ? 0 : Start;
  for (int k = 0; k < n; ++k) {
    const int i = from + k < n ? from + k : from + k - n;
    if (StartsWithIgnoringCase(items_->Strings(i), Prefix, chars)) return i;
  }
  return -1;
}

namespace {

// An item's text at the reading side of its rectangle, read in the control's direction.
void DrawItemText(const TControl* Control, TCanvas* C, const TRect& Rect, const std::string& Text) {
  const int x = Control->UseRightToLeftAlignment() ? Rect.Right - 2 - C->TextWidth(Text) : Rect.Left + 2;
  const int flags = C->TextFlags();
  TScopeExit restore([&] { C->SetTextFlags(flags); });
  if (Control->UseRightToLeftReading()) C->SetTextFlags(flags | static_cast<int>(ETO_RTLREADING));
  C->TextRect(Rect, x, Rect.Top + std::max(0, (Rect.Height() - C->TextHeight("Wg")) / 2), Text);
}

}  // namespace

void TCustomListBox::DrawItem(int Index, TRect Rect, TOwnerDrawState State) {
  if (OnDrawItem && style_ != lbStandard) {
    InvokeEvent(OnDrawItem, this, Index, Rect, State);
    return;
  }
  TCanvas* c = Canvas();
  c->FillRect(Rect);
  DrawItemText(this, c, Rect, items_->Strings(Index));
}

void TCustomListBox::Paint() {
  TCanvas* c = Canvas();
  c->Font()->Assign(Font());
  TRect client = ClientRect();
  int last = std::min(Count(), topIndex_ + VisibleItems() + 1);
  for (int i = topIndex_; i < last; ++i) {
    TRect r = ItemRect(i);
    TOwnerDrawState state;
    bool selected = i == itemIndex_;
    if (selected) state.Include(odSelected);
    if (selected && Focused()) state.Include(odFocused);
    if (!Enabled()) state.Include(odDisabled);
    c->Brush()->SetColor(selected ? clHighlight : Color());
    c->Font()->SetColor(selected ? clHighlightText : (Enabled() ? Font()->Color() : clGrayText));
    DrawItem(i, r, state);
    if (selected && Focused()) c->DrawFocusRect(r);
  }
  c->Brush()->SetColor(Color());
  TRect rest = client;
  rest.Top = (last - topIndex_) * itemHeight_;
  if (rest.Top < rest.Bottom) c->FillRect(rest);
}

void TCustomListBox::SelectionChangedByUser() {
  Click();
}

void TCustomListBox::KeyDown(WORD& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  int target = itemIndex_;
  int page = std::max(1, VisibleItems() - 1);
  switch (Key) {
    case VK_UP:
      target = std::max(0, itemIndex_ - 1);
      break;
    case VK_DOWN:
      target = std::min(Count() - 1, itemIndex_ + 1);
      break;
    case VK_PRIOR:
      target = std::max(0, itemIndex_ - page);
      break;
    case VK_NEXT:
      target = std::min(Count() - 1, itemIndex_ + page);
      break;
    case VK_HOME:
      target = 0;
      break;
    case VK_END:
      target = Count() - 1;
      break;
    default:
      return;
  }
  if (Count() == 0) return;
  if (target != itemIndex_) {
    SetItemIndex(target);
    SelectionChangedByUser();
  }
  Key = 0;
}

void TCustomListBox::KeyPress(char32_t& Key) {
  TCustomControl::KeyPress(Key);
  if (Key < 32) return;
  ExtendSearch(search_, searchTime_, Key);
  int found = FindPrefix(search_, std::max(0, itemIndex_));
  if (found < 0 && search_.size() > 1) {
    search_ = Utf32ToUtf8(std::u32string(1, Key));
    found = FindPrefix(search_, itemIndex_ + 1);
  } else if (found == itemIndex_ && Utf8ToUtf32(search_).size() == 1) {
    found = FindPrefix(search_, itemIndex_ + 1);  // one letter again: the next item with it
  }
  if (found >= 0 && found != itemIndex_) {
    SetItemIndex(found);
    SelectionChangedByUser();
  }
  Key = 0;
}

void TCustomListBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft) {
    if (CanFocus() && !Focused()) SetFocus();
    int i = ItemAtPos({X, Y}, true);
    if (i >= 0 && i != itemIndex_) {
      SetItemIndex(i);
      SelectionChangedByUser();
    }
  }
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TCustomListBox::MouseMove(TShiftState Shift, int X, int Y) {
  if (controlState_.Contains(csLButtonDown) && MouseCapture()) {
    int i = std::clamp(ItemAtPos({X, Y}, false), 0, Count() - 1);
    if (i >= 0 && i != itemIndex_) {
      SetItemIndex(i);
      SelectionChangedByUser();
    }
  }
  TCustomControl::MouseMove(Shift, X, Y);
}

bool TCustomListBox::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
  if (TCustomControl::DoMouseWheel(Shift, WheelDelta, MousePos)) return true;
  SetTopIndex(topIndex_ - WheelDelta / WHEEL_DELTA * 3);
  return true;
}

void TCustomListBox::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_GETDLGCODE:
      m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
      return;
    case WM_SIZE:
      UpdateScrollBar();
      TCustomControl::Dispatch(m);
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      TCustomControl::Dispatch(m);
      Invalidate();
      return;
    case WM_VSCROLL: {
      SetTopIndex(talvik::gui::detail::ScrollBarTarget(Handle(), SB_VERT, m.WParam, topIndex_, VisibleItems(),
                                                       Count()));
      return;
    }
    case LB_FINDSTRING:
    case LB_SELECTSTRING: {
      int start = static_cast<int>(static_cast<std::intptr_t>(m.WParam));
      const char* text = reinterpret_cast<const char*>(m.LParam);
      int found = FindPrefix(text ? text : "", start + 1);
      if (found >= 0 && m.Msg == LB_SELECTSTRING) SetItemIndex(found);
      m.Result = found;
      return;
    }
    default:
      TCustomControl::Dispatch(m);
  }
}

// ---------------------------------------------------------------- combo box parts

// The text edit of a csDropDown combo: keys that steer the list go to the combo.
class TComboEdit : public TCustomEdit {
 public:
  TComboEdit(TCustomComboBox* combo) : TCustomEdit(combo), combo_(combo) {
    SetBorderStyle(bsNone);
    SetAutoSize(false);
    SetTabStop(false);
    SetParentColor(true);
  }

 protected:
  void KeyDown(WORD& Key, TShiftState Shift) override {
    if (combo_->HandleComboKey(Key, Shift)) {
      Key = 0;
      return;
    }
    TCustomEdit::KeyDown(Key, Shift);
    // the keys typed into the edit are the combo's: its own key handling (and OnKeyDown) sees them
    if (Key) combo_->KeyDown(Key, Shift);
  }
  void KeyPress(char32_t& Key) override {
    InvokeEvent(combo_->OnKeyPress, combo_, Key);
    if (Key == U'\r' && combo_->DroppedDown()) Key = 0;
    TCustomEdit::KeyPress(Key);
  }
  void Change() override {
    combo_->itemIndex_ = -1;
    if (combo_->DroppedDown()) {
      // the list follows what is typed
      int found = combo_->DropDownList()->FindPrefix(Text(), 0);
      if (found >= 0 && !Text().empty()) combo_->DropDownList()->SetItemIndex(found);
    }
    combo_->Change();
  }
  void Dispatch(TMessage& m) override {
    if (m.Msg == WM_GETDLGCODE) {
      TCustomEdit::Dispatch(m);
      if (combo_->DroppedDown()) m.Result |= DLGC_WANTALLKEYS;
      return;
    }
    if (m.Msg == CM_ENTER || m.Msg == CM_EXIT) {
      TCustomEdit::Dispatch(m);
      return;
    }
    TCustomEdit::Dispatch(m);
  }

 private:
  TCustomComboBox* combo_;
};

// The list that drops down: a popup window of its own holding the mouse while it shows.
class TComboDropList : public TCustomListBox {
 public:
  explicit TComboDropList(TCustomComboBox* combo) : TCustomListBox(combo), combo_(combo) {
    visible_ = false;
    SetTabStop(false);
    controlStyle_.Exclude(csCaptureMouse);
  }

 protected:
  void CreateParams(TCreateParams& Params) override {
    TCustomListBox::CreateParams(Params);
    Params.Style = WS_POPUP | WS_BORDER | WS_VSCROLL | WS_CLIPCHILDREN;
    Params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
    Params.WindowClass.style |= CS_SAVEBITS;
    Params.WndParent = nullptr;
  }
  void Dispatch(TMessage& m) override {
    switch (m.Msg) {
      case WM_MOUSEACTIVATE:
        m.Result = MA_NOACTIVATE;
        return;
      case WM_LBUTTONDOWN:
      case WM_LBUTTONDBLCLK: {
        TPoint p{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
        if (!PtInRect(ClientRect(), p)) {
          // a click anywhere else closes the list; a click on the scroll bar scrolls it
          RECT wr;
          GetWindowRect(Handle(), wr);
          TPoint screen = ClientToScreen(p);
          if (PtInRect(wr, screen)) {
            TCustomListBox::Dispatch(m);
            return;
          }
          combo_->CloseList(false);
          return;
        }
        int i = ItemAtPos(p, true);
        if (i >= 0) SetItemIndex(i);
        tracking_ = true;
        return;
      }
      case WM_MOUSEMOVE: {
        TPoint p{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
        if (PtInRect(ClientRect(), p)) {
          int i = ItemAtPos(p, true);
          if (i >= 0) SetItemIndex(i);
        }
        return;
      }
      case WM_LBUTTONUP: {
        TPoint p{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
        if (tracking_ && PtInRect(ClientRect(), p) && ItemAtPos(p, true) >= 0) combo_->CloseList(true);
        tracking_ = false;
        return;
      }
      case WM_CAPTURECHANGED:
        if (Visible() && reinterpret_cast<HWND>(m.LParam) != Handle()) combo_->CloseList(false);
        return;
      default:
        TCustomListBox::Dispatch(m);
    }
  }

 private:
  TCustomComboBox* combo_;
  bool tracking_ = false;
};

// ---------------------------------------------------------------- TCustomComboBox

TCustomComboBox::TCustomComboBox(TComponent* AOwner)
    : TCustomControl(AOwner), items_(std::make_unique<TStringList>()) {
  width_ = 145;
  height_ = 21;
  color_ = clWindow;
  parentColor_ = false;
  brush_.SetColor(clWindow);
  controlStyle_ = {csCaptureMouse, csSetCaption, csDoubleClicks, csFixedHeight};
  SetTabStop(true);
  items_->OnChange = [this](TObject*) { ItemsChanged(); };
  SetStyle(csDropDown);
}

TCustomComboBox::~TCustomComboBox() {
  items_->OnChange = nullptr;
}

TCustomEdit* TCustomComboBox::EditControl() const {
  return edit_;
}

TStrings* TCustomComboBox::Items() {
  return items_.get();
}

void TCustomComboBox::SetItems(TStrings* Value) {
  items_->Assign(Value);
}

bool TCustomComboBox::Sorted() const {
  return items_->Sorted();
}

void TCustomComboBox::SetSorted(bool Value) {
  items_->SetCaseSensitive(false);
  items_->SetSorted(Value);
}

void TCustomComboBox::ItemsChanged() {
  if (itemIndex_ >= items_->Count()) itemIndex_ = -1;
  if (list_) list_->Items()->Assign(items_.get());
  Invalidate();
}

void TCustomComboBox::SetStyle(TComboBoxStyle Value) {
  style_ = Value;
  bool wantsEdit = Value == csDropDown || Value == csSimple;
  if (wantsEdit && !edit_) {
    edit_ = new TComboEdit(this);
    edit_->SetParent(this);
    edit_->SetMaxLength(maxLength_);
    edit_->SetCharCase(charCase_);
    LayoutEdit();
  } else if (!wantsEdit && edit_) {
    delete edit_;
    edit_ = nullptr;
  }
  Invalidate();
}

void TCustomComboBox::SetMaxLength(int Value) {
  maxLength_ = std::max(0, Value);
  if (edit_) edit_->SetMaxLength(maxLength_);
}

void TCustomComboBox::SetCharCase(TEditCharCase Value) {
  charCase_ = Value;
  if (edit_) edit_->SetCharCase(Value);
}

TRect TCustomComboBox::ButtonRect() {
  TRect c = ClientRect();
  int w = GetSystemMetrics(SM_CXVSCROLL);
  // the button stands where the scroll bar of the list would
  if (UseRightToLeftScrollBar()) return Rect(c.Left, c.Top, c.Left + w, c.Bottom);
  return Rect(c.Right - w, c.Top, c.Right, c.Bottom);
}

void TCustomComboBox::LayoutEdit() {
  if (!edit_) return;
  TRect c = ClientRect();
  const TRect button = ButtonRect();
  if (UseRightToLeftScrollBar())
    edit_->SetBounds(button.Right + 1, 1, std::max(0, c.Right - button.Right - 3),
                     std::max(0, c.Height() - 2));
  else
    edit_->SetBounds(2, 1, std::max(0, button.Left - 3), std::max(0, c.Height() - 2));
}

void TCustomComboBox::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  Params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomComboBox::CreateWnd() {
  TCustomControl::CreateWnd();
  LayoutEdit();
}

std::string TCustomComboBox::GetText() const {
  if (edit_) return edit_->Text();
  return itemIndex_ >= 0 ? items_->Strings(itemIndex_) : std::string();
}

void TCustomComboBox::SetTextInternal(const std::string& Value) {
  if (edit_) {
    edit_->SetText(Value);
    itemIndex_ = items_->IndexOf(Value);
    return;
  }
  // a list-only combo shows only its items
  int i = items_->IndexOf(Value);
  if (i >= 0 || Value.empty()) itemIndex_ = i;
  Invalidate();
}

void TCustomComboBox::SetItemIndex(int Value) {
  Value = std::clamp(Value, -1, items_->Count() - 1);
  itemIndex_ = Value;
  if (edit_) {
    edit_->SetText(Value >= 0 ? items_->Strings(Value) : std::string());
    itemIndex_ = Value;
    if (edit_->Focused()) edit_->SelectAll();
  }
  Invalidate();
}

int TCustomComboBox::SelStart() {
  return edit_ ? edit_->SelStart() : 0;
}
void TCustomComboBox::SetSelStart(int Value) {
  if (edit_) edit_->SetSelStart(Value);
}
int TCustomComboBox::SelLength() {
  return edit_ ? edit_->SelLength() : 0;
}
void TCustomComboBox::SetSelLength(int Value) {
  if (edit_) edit_->SetSelLength(Value);
}
void TCustomComboBox::SelectAll() {
  if (edit_) edit_->SelectAll();
}

void TCustomComboBox::Clear() {
  items_->Clear();
  SetText("");
  itemIndex_ = -1;
}

void TCustomComboBox::Change() {
  InvokeEvent(OnChange, this);
}

void TCustomComboBox::Select() {
  if (OnSelect)
    InvokeEvent(OnSelect, this);
  else
    Change();
}

void TCustomComboBox::DropDown() {
  InvokeEvent(OnDropDown, this);
}

void TCustomComboBox::CloseUp() {
  InvokeEvent(OnCloseUp, this);
}

TCustomListBox* TCustomComboBox::DropDownList() {
  if (!list_) {
    list_ = new TComboDropList(this);
    list_->Items()->Assign(items_.get());
    list_->OnDrawItem = [this](TWinControl*, int Index, TRect Rect, TOwnerDrawState State) {
      DrawItem(Index, Rect, State);
    };
    list_->SetStyle(lbOwnerDrawFixed);
  }
  return list_;
}

void TCustomComboBox::DrawItem(int Index, TRect Rect, TOwnerDrawState State) {
  if (OnDrawItem && (style_ == csOwnerDrawFixed || style_ == csOwnerDrawVariable)) {
    InvokeEvent(OnDrawItem, this, Index, Rect, State);
    return;
  }
  TCanvas* c = list_ && !State.Contains(odComboBoxEdit) ? list_->Canvas() : Canvas();
  c->FillRect(Rect);
  DrawItemText(this, c, Rect, items_->Strings(Index));
}

bool TCustomComboBox::DroppedDown() const {
  return list_ && list_->Visible();
}

void TCustomComboBox::SetDroppedDown(bool Value) {
  if (Value == DroppedDown()) return;
  if (!Value) {
    CloseList(false);
    return;
  }
  DropDown();
  TCustomListBox* list = DropDownList();
  list->SetItemHeight(itemHeight_);
  list->Font()->Assign(Font());
  int rows = std::clamp(items_->Count(), 1, dropDownCount_);
  TPoint below = ClientToScreen({0, 0});
  RECT wr;
  GetWindowRect(Handle(), wr);
  int height = rows * itemHeight_ + 2;
  int top = wr.Bottom;
  if (top + height > Screen->WorkAreaRect().Bottom) top = wr.Top - height;  // no room below: above
  list->HandleNeeded();
  list->SetBounds(wr.Left, top, wr.Width(), height);
  list->SetItemIndex(itemIndex_ >= 0 ? itemIndex_ : (edit_ ? list->FindPrefix(Text(), 0) : -1));
  list->SetVisible(true);
  SetWindowPos(list->Handle(), HWND_TOPMOST, wr.Left, top, wr.Width(), height,
               SWP_NOACTIVATE | SWP_SHOWWINDOW);
  (void)below;
  SetCapture(list->Handle());
  Invalidate();
}

void TCustomComboBox::CloseList(bool Accept) {
  if (!DroppedDown()) return;
  int chosen = list_->ItemIndex();
  list_->SetVisible(false);
  if (GetCapture() == list_->Handle()) ReleaseCapture();
  // a list closed because its box (or the form that owns the box) goes tells nobody
  if (ComponentState().Contains(csDestroying)) return;
  Invalidate();
  if (Accept && chosen >= 0 && (chosen != itemIndex_ || (edit_ && Text() != items_->Strings(chosen)))) {
    SetItemIndex(chosen);
    Select();
  }
  CloseUp();
}

bool TCustomComboBox::HandleComboKey(WORD Key, TShiftState Shift) {
  bool alt = Shift.Contains(ssAlt);
  if (Key == VK_F4 || (alt && (Key == VK_DOWN || Key == VK_UP))) {
    SetDroppedDown(!DroppedDown());
    return true;
  }
  if (DroppedDown()) {
    switch (Key) {
      case VK_RETURN:
        CloseList(true);
        return true;
      case VK_ESCAPE:
        CloseList(false);
        return true;
      case VK_UP:
      case VK_DOWN:
      case VK_PRIOR:
      case VK_NEXT:
      case VK_HOME:
      case VK_END: {
        if ((Key == VK_HOME || Key == VK_END) && edit_) return false;  // those move the caret
        WORD k = Key;
        list_->Perform(WM_KEYDOWN, k, 0);
        return true;
      }
      default:
        return false;
    }
  }
  // closed: the arrows step through the items
  int n = items_->Count();
  if (n == 0) return false;
  int target = itemIndex_;
  switch (Key) {
    case VK_UP:
      target = std::max(0, itemIndex_ - 1);
      break;
    case VK_DOWN:
      target = std::min(n - 1, itemIndex_ + 1);
      break;
    case VK_PRIOR:
      target = std::max(0, itemIndex_ - dropDownCount_ + 1);
      break;
    case VK_NEXT:
      target = std::min(n - 1, itemIndex_ + dropDownCount_ - 1);
      break;
    case VK_HOME:
    case VK_END:
      if (edit_) return false;
      target = Key == VK_HOME ? 0 : n - 1;
      break;
    default:
      return false;
  }
  if (target != itemIndex_) {
    SetItemIndex(target);
    Select();
  }
  return true;
}

void TCustomComboBox::SelectFromSearch(char32_t Key) {
  ExtendSearch(search_, searchTime_, Key);
  TCustomListBox* list = DropDownList();
  int from = DroppedDown() ? list->ItemIndex() : itemIndex_;
  int found = list->FindPrefix(search_, std::max(0, from));
  if (found < 0 && search_.size() > 1) {
    search_ = Utf32ToUtf8(std::u32string(1, Key));
    found = list->FindPrefix(search_, from + 1);
  } else if (found == from && Utf8ToUtf32(search_).size() == 1) {
    found = list->FindPrefix(search_, from + 1);
  }
  if (found < 0) return;
  if (DroppedDown()) {
    list->SetItemIndex(found);
  } else if (found != itemIndex_) {
    SetItemIndex(found);
    Select();
  }
}

void TCustomComboBox::KeyDown(WORD& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  if (Key && HandleComboKey(Key, Shift)) Key = 0;
}

void TCustomComboBox::KeyPress(char32_t& Key) {
  TCustomControl::KeyPress(Key);
  if (Key >= 32 && !edit_) {
    SelectFromSearch(Key);
    Key = 0;
  }
}

void TCustomComboBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft) {
    if (edit_) {
      if (!edit_->Focused() && edit_->CanFocus()) edit_->SetFocus();
    } else if (CanFocus() && !Focused()) {
      SetFocus();
    }
    if (!edit_ || PtInRect(ButtonRect(), TPoint{X, Y})) {
      // the press opens (or closes) the list; the list takes the mouse from here
      controlState_.Exclude(csLButtonDown);
      SetMouseCapture(false);
      SetDroppedDown(!DroppedDown());
    }
  }
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TCustomComboBox::Paint() {
  TCanvas* c = Canvas();
  TRect client = ClientRect();
  TRect button = ButtonRect();
  c->Brush()->SetColor(Color());
  TRect field = client;
  if (UseRightToLeftScrollBar())
    field.Left = button.Right;
  else
    field.Right = button.Left;
  c->FillRect(field);
  RECT b = button;
  DrawFrameControl(
      c->Handle(), b, DFC_SCROLL,
      DFCS_SCROLLCOMBOBOX | (DroppedDown() ? DFCS_PUSHED | DFCS_FLAT : 0) | (Enabled() ? 0 : DFCS_INACTIVE));
  if (edit_ || itemIndex_ < 0) return;
  TRect r = Rect(field.Left + 1, field.Top + 1, field.Right - 1, field.Bottom - 1);
  bool focused = Focused() && !DroppedDown();
  c->Font()->Assign(Font());
  c->Brush()->SetColor(focused ? clHighlight : Color());
  c->Font()->SetColor(focused ? clHighlightText : (Enabled() ? Font()->Color() : clGrayText));
  TOwnerDrawState state{odComboBoxEdit};
  if (focused) state.Include(odSelected);
  DrawItem(itemIndex_, r, state);
  if (focused) c->DrawFocusRect(r);
}

void TCustomComboBox::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_GETDLGCODE:
      m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS | (DroppedDown() ? DLGC_WANTALLKEYS : 0);
      return;
    case WM_SETFOCUS:
      if (edit_ && edit_->CanFocus()) {
        ::SetFocus(edit_->Handle());
        return;
      }
      TCustomControl::Dispatch(m);
      Invalidate();
      return;
    case WM_KILLFOCUS:
    case CM_EXIT:
      TCustomControl::Dispatch(m);
      if (m.Msg == CM_EXIT) CloseList(false);
      Invalidate();
      return;
    case WM_SIZE:
      LayoutEdit();
      TCustomControl::Dispatch(m);
      return;
    case CM_FONTCHANGED:
      TCustomControl::Dispatch(m);
      if (edit_) edit_->Font()->Assign(Font());
      return;
    case CM_ENABLEDCHANGED:
      if (edit_) edit_->SetEnabled(Enabled());
      TCustomControl::Dispatch(m);
      return;
    case WM_CANCELMODE:
    case CM_CANCELMODE:
      if (m.Msg == WM_CANCELMODE || reinterpret_cast<TControl*>(m.LParam) != this) CloseList(false);
      TCustomControl::Dispatch(m);
      return;
    // The combo box's own messages: the list's items by index, search from after WParam (-1: from
    // the start) with the text in LParam; found items answer their index, none CB_ERR.
    case CB_GETCOUNT:
      m.Result = Items()->Count();
      return;
    case CB_GETCURSEL:
      m.Result = ItemIndex();
      return;
    case CB_SETCURSEL: {
      int index = static_cast<int>(static_cast<std::intptr_t>(m.WParam));
      SetItemIndex(index >= 0 && index < Items()->Count() ? index : -1);
      m.Result = index == ItemIndex() ? index : static_cast<LRESULT>(static_cast<int>(CB_ERR));
      return;
    }
    case CB_FINDSTRINGEXACT:
    case CB_SELECTSTRING: {
      int start = static_cast<int>(static_cast<std::intptr_t>(m.WParam));
      const char* text = reinterpret_cast<const char*>(m.LParam);
      std::string wanted = text ? text : "";
      int count = Items()->Count(), found = -1;
      for (int n = 1; n <= count && found < 0; ++n) {
        int i = ((start < 0 ? -1 : start) + n) % count;
        const std::string& item = Items()->Strings(i);
        bool match = m.Msg == CB_FINDSTRINGEXACT ? AnsiSameText(item, wanted)
                                                 : AnsiSameText(item.substr(0, wanted.size()), wanted);
        if (match) found = i;
      }
      if (found >= 0 && m.Msg == CB_SELECTSTRING) SetItemIndex(found);
      m.Result = found >= 0 ? found : static_cast<LRESULT>(static_cast<int>(CB_ERR));
      return;
    }
    case CB_SHOWDROPDOWN:
      SetDroppedDown(m.WParam != 0);
      m.Result = 1;
      return;
    case CB_GETDROPPEDSTATE:
      m.Result = DroppedDown() ? 1 : 0;
      return;
    default:
      TCustomControl::Dispatch(m);
  }
}

// ---------------------------------------------------------------- TScrollBar

TScrollBar::TScrollBar(TComponent* AOwner) : TCustomControl(AOwner) {
  width_ = 121;
  height_ = GetSystemMetrics(SM_CYHSCROLL);
  color_ = clScrollBar;
  parentColor_ = false;
  brush_.SetColor(clScrollBar);
  SetTabStop(true);
  controlStyle_.Exclude(csDoubleClicks);
}

void TScrollBar::SetKind(TScrollBarKind Value) {
  if (kind_ == Value) return;
  kind_ = Value;
  SetBounds(left_, top_, height_, width_);
  Invalidate();
}

void TScrollBar::SetPageSize(int Value) {
  pageSize_ = std::clamp(Value, 0, std::max(0, max_ - min_ + 1));
  Invalidate();
}

void TScrollBar::SetParams(int APosition, int AMin, int AMax) {
  if (AMax < AMin) throw EInvalidOperation("Scroll bar property out of range");
  APosition = std::clamp(APosition, AMin, AMax);
  bool changed = APosition != position_;
  min_ = AMin;
  max_ = AMax;
  position_ = APosition;
  Invalidate();
  if (changed) Change();
}

void TScrollBar::Change() {
  InvokeEvent(OnChange, this);
}

void TScrollBar::Scroll(TScrollCode ScrollCode, int& ScrollPos) {
  InvokeEvent(OnScroll, this, ScrollCode, ScrollPos);
}

TScrollBar::Parts TScrollBar::Layout() {
  TRect c = ClientRect();
  bool vertical = kind_ == sbVertical;
  int length = vertical ? c.Height() : c.Width();
  int thick = vertical ? c.Width() : c.Height();
  int arrow = std::min(thick, length / 2);
  Parts p;
  if (vertical) {
    p.arrow1 = Rect(0, 0, thick, arrow);
    p.arrow2 = Rect(0, length - arrow, thick, length);
    p.track = Rect(0, arrow, thick, length - arrow);
  } else {
    p.arrow1 = Rect(0, 0, arrow, thick);
    p.arrow2 = Rect(length - arrow, 0, length, thick);
    p.track = Rect(arrow, 0, length - arrow, thick);
  }
  int trackLen = length - 2 * arrow;
  int range = max_ - min_ + 1;
  int thumbLen = pageSize_ > 0 ? std::max(8, MulDiv(trackLen, pageSize_, range)) : std::min(thick, trackLen);
  if (trackLen < 8 || !Enabled() || max_ <= min_) return p;
  int span = range - std::max(pageSize_, 1);
  int at = span > 0 ? MulDiv(trackLen - thumbLen, position_ - min_, span) : 0;
  at = std::clamp(at, 0, std::max(0, trackLen - thumbLen));
  p.thumb = vertical ? Rect(0, arrow + at, thick, arrow + at + thumbLen)
                     : Rect(arrow + at, 0, arrow + at + thumbLen, thick);
  return p;
}

void TScrollBar::Paint() {
  TCanvas* c = Canvas();
  Parts p = Layout();
  bool vertical = kind_ == sbVertical;
  c->Brush()->SetColor(clBtnHighlight);
  c->FillRect(p.track);
  UINT inactive = Enabled() && max_ > min_ ? 0 : DFCS_INACTIVE;
  RECT a1 = p.arrow1, a2 = p.arrow2;
  DrawFrameControl(c->Handle(), a1, DFC_SCROLL,
                   (vertical ? DFCS_SCROLLUP : DFCS_SCROLLLEFT) | inactive |
                       (pressedPart_ == 1 ? DFCS_PUSHED | DFCS_FLAT : 0));
  DrawFrameControl(c->Handle(), a2, DFC_SCROLL,
                   (vertical ? DFCS_SCROLLDOWN : DFCS_SCROLLRIGHT) | inactive |
                       (pressedPart_ == 2 ? DFCS_PUSHED | DFCS_FLAT : 0));
  if (!IsRectEmpty(p.thumb)) {
    RECT t = p.thumb;
    DrawFrameControl(c->Handle(), t, DFC_BUTTON, DFCS_BUTTONPUSH);
  }
  if (Focused() && !IsRectEmpty(p.thumb)) {
    TRect f = p.thumb;
    InflateRect(f, -2, -2);
    c->DrawFocusRect(f);
  }
}

void TScrollBar::Notify(int Code, int Pos) {
  UINT msg = kind_ == sbVertical ? WM_VSCROLL : WM_HSCROLL;
  if (Parent() && Parent()->HandleAllocated())
    SendMessage(Parent()->Handle(), msg, MAKEWPARAM(Code, Pos), reinterpret_cast<LPARAM>(Handle()));
  else
    Perform(CN_BASE + msg, MAKEWPARAM(Code, Pos), reinterpret_cast<LPARAM>(Handle()));
}

void TScrollBar::KeyDown(WORD& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  bool vertical = kind_ == sbVertical;
  int code = -1;
  switch (Key) {
    case VK_UP:
      code = vertical ? SB_LINEUP : -1;
      break;
    case VK_LEFT:
      code = vertical ? -1 : SB_LINELEFT;
      break;
    case VK_DOWN:
      code = vertical ? SB_LINEDOWN : -1;
      break;
    case VK_RIGHT:
      code = vertical ? -1 : SB_LINERIGHT;
      break;
    case VK_PRIOR:
      code = SB_PAGEUP;
      break;
    case VK_NEXT:
      code = SB_PAGEDOWN;
      break;
    case VK_HOME:
      code = SB_TOP;
      break;
    case VK_END:
      code = SB_BOTTOM;
      break;
    default:
      break;
  }
  if (code < 0) return;
  Notify(code, 0);
  Notify(SB_ENDSCROLL, 0);
  Key = 0;
}

void TScrollBar::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || !Enabled()) return;
  Parts p = Layout();
  TPoint pt{X, Y};
  bool vertical = kind_ == sbVertical;
  if (PtInRect(p.arrow1, pt)) {
    pressedPart_ = 1;
    Notify(SB_LINEUP, 0);
  } else if (PtInRect(p.arrow2, pt)) {
    pressedPart_ = 2;
    Notify(SB_LINEDOWN, 0);
  } else if (PtInRect(p.thumb, pt)) {
    pressedPart_ = 3;
    dragOffset_ = vertical ? Y - p.thumb.Top : X - p.thumb.Left;
  } else if (!IsRectEmpty(p.thumb)) {
    bool before = vertical ? Y < p.thumb.Top : X < p.thumb.Left;
    Notify(before ? SB_PAGEUP : SB_PAGEDOWN, 0);
  }
  Invalidate();
}

void TScrollBar::MouseMove(TShiftState Shift, int X, int Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (pressedPart_ != 3) return;
  Parts p = Layout();
  bool vertical = kind_ == sbVertical;
  int thumbLen = vertical ? p.thumb.Height() : p.thumb.Width();
  int trackLen = vertical ? p.track.Height() : p.track.Width();
  int at = (vertical ? Y - p.track.Top : X - p.track.Left) - dragOffset_;
  int span = max_ - min_ + 1 - std::max(pageSize_, 1);
  int room = std::max(1, trackLen - thumbLen);
  trackPos_ = min_ + static_cast<int>(static_cast<long long>(std::clamp(at, 0, room)) * span / room);
  Notify(SB_THUMBTRACK, trackPos_);
}

void TScrollBar::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  if (pressedPart_ == 3) Notify(SB_THUMBPOSITION, trackPos_ = position_);
  if (pressedPart_) Notify(SB_ENDSCROLL, 0);
  pressedPart_ = 0;
  dragOffset_ = -1;
  Invalidate();
}

void TScrollBar::Dispatch(TMessage& m) {
  if (m.Msg == CN_HSCROLL || m.Msg == CN_VSCROLL) {
    static constexpr TScrollCode kCodes[] = {scLineUp, scLineDown, scPageUp, scPageDown, scPosition,
                                             scTrack,  scTop,      scBottom, scEndScroll};
    int code = static_cast<short>(LOWORD(m.WParam));
    if (code < 0 || code > SB_ENDSCROLL) return;
    int pos = position_;
    int page = std::max(largeChange_, pageSize_ > 0 ? pageSize_ : largeChange_);
    switch (code) {
      case SB_LINEUP:
        pos -= smallChange_;
        break;
      case SB_LINEDOWN:
        pos += smallChange_;
        break;
      case SB_PAGEUP:
        pos -= page;
        break;
      case SB_PAGEDOWN:
        pos += page;
        break;
      case SB_THUMBPOSITION:
      case SB_THUMBTRACK:
        pos = (trackPos_ & 0xFFFF) == HIWORD(m.WParam) ? trackPos_ : static_cast<short>(HIWORD(m.WParam));
        break;
      case SB_TOP:
        pos = min_;
        break;
      case SB_BOTTOM:
        pos = max_;
        break;
      default:
        break;
    }
    int top = pageSize_ > 0 ? max_ - pageSize_ + 1 : max_;
    pos = std::clamp(pos, min_, std::max(min_, top));
    Scroll(kCodes[code], pos);
    SetPosition(pos);
    return;
  }
  if (m.Msg == WM_GETDLGCODE) {
    m.Result = DLGC_WANTARROWS;
    return;
  }
  if (m.Msg == WM_SETFOCUS || m.Msg == WM_KILLFOCUS) Invalidate();
  TCustomControl::Dispatch(m);
}
