// Labels, edits and memos.
#include "platform/gui/StdCtrls.h"

#include <algorithm>

#include "platform/gui/GuiPrivate.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/SysUtils.h"

TSize TextExtentOf(TFont* Font, const std::string& Text) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font->Handle());
  SIZE size;
  GetTextExtentPoint32(dc, Text, size);
  SelectObject(dc, old);
  DeleteDC(dc);
  return size;
}

void DrawControlCaption(TCanvas* Canvas, const std::string& Caption, TRect& R, UINT Flags, bool Enabled) {
  HDC dc = Canvas->Handle();
  SetBkMode(dc, TRANSPARENT);
  if (!Enabled && !(Flags & DT_CALCRECT)) {
    RECT shifted = R;
    OffsetRect(shifted, 1, 1);
    SetTextColor(dc, ColorToRGB(clBtnHighlight));
    DrawText(dc, Caption, shifted, Flags);
    SetTextColor(dc, ColorToRGB(clBtnShadow));
  } else {
    SetTextColor(dc, ColorToRGB(Canvas->Font()->Color()));
  }
  RECT r = R;
  DrawText(dc, Caption, r, Flags);
  if (Flags & DT_CALCRECT) R = r;
}

// ---------------------------------------------------------------- TCustomLabel

TCustomLabel::TCustomLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
  controlStyle_ = {csSetCaption, csOpaque, csReplicatable, csClickEvents, csDoubleClicks};
  width_ = 65;
  height_ = 17;
}

void TCustomLabel::SetAlignment(TAlignment Value) {
  if (alignment_ == Value) return;
  alignment_ = Value;
  Invalidate();
}

void TCustomLabel::SetLayout(TTextLayout Value) {
  if (layout_ == Value) return;
  layout_ = Value;
  Invalidate();
}

void TCustomLabel::SetAutoSize(bool Value) {
  if (autoSize_ == Value) return;
  autoSize_ = Value;
  AdjustBounds();
}

void TCustomLabel::SetWordWrap(bool Value) {
  if (wordWrap_ == Value) return;
  wordWrap_ = Value;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetTransparent(bool Value) {
  if (Transparent() == Value) return;
  if (Value)
    controlStyle_.Exclude(csOpaque);
  else
    controlStyle_.Include(csOpaque);
  Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool Value) {
  if (showAccelChar_ == Value) return;
  showAccelChar_ = Value;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetFocusControl(TWinControl* Value) {
  focusControl_ = Value;
  if (Value) Value->FreeNotification(this);
}

void TCustomLabel::Notification(TComponent* AComponent, TOperation Operation) {
  TGraphicControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == focusControl_) focusControl_ = nullptr;
}

void TCustomLabel::DoDrawText(TRect& Rect, UINT Flags) {
  std::string text = GetLabelText();
  if ((Flags & DT_CALCRECT) && (text.empty() || (showAccelChar_ && text == "&"))) text += " ";
  if (!showAccelChar_) Flags |= DT_NOPREFIX;
  Canvas()->Font()->Assign(Font());
  DrawControlCaption(Canvas(), text, Rect, Flags, Enabled());
}

void TCustomLabel::Paint() {
  TRect r = ClientRect();
  if (!Transparent()) {
    Canvas()->Brush()->SetColor(Color());
    Canvas()->Brush()->SetStyle(bsSolid);
    Canvas()->FillRect(r);
  }
  static constexpr UINT kAlign[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
  UINT flags = DrawTextBiDiModeFlags(DT_EXPANDTABS | (wordWrap_ ? DT_WORDBREAK : 0) | kAlign[alignment_]);
  if (layout_ != tlTop) {
    // measure first, then move the text down to the centre or the bottom
    TRect calc = r;
    DoDrawText(calc, flags | DT_CALCRECT);
    int dy = r.Height() - calc.Height();
    if (layout_ == tlCenter) dy /= 2;
    OffsetRect(r, 0, std::max(0, dy));
  }
  DoDrawText(r, flags);
}

void TCustomLabel::AdjustBounds() {
  if (!autoSize_ || controlState_.Contains(csReadingState)) return;
  TRect r = ClientRect();
  if (!wordWrap_) r.Right = r.Left + 10000;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font()->Handle());
  std::string text = GetLabelText();
  if (text.empty()) text = " ";
  RECT calc = Rect(0, 0, wordWrap_ ? width_ : 10000, 0);
  DrawText(dc, text, calc,
           DT_CALCRECT | DT_EXPANDTABS | (wordWrap_ ? DT_WORDBREAK : 0) | (showAccelChar_ ? 0 : DT_NOPREFIX));
  SelectObject(dc, old);
  DeleteDC(dc);
  // the edge the text stands at stays where it is
  const TAlignment shown = BiDiAlignment(alignment_);
  int x = left_;
  if (!wordWrap_ && shown == taRightJustify) x = left_ + width_ - calc.Width();
  if (!wordWrap_ && shown == taCenter) x = left_ + (width_ - calc.Width()) / 2;
  SetBounds(x, top_, wordWrap_ ? width_ : calc.Width(), calc.Height());
}

void TCustomLabel::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
      AdjustBounds();
      Invalidate();
      return;
    case CM_DIALOGCHAR:
      // Alt+accelerator (or the letter alone on a form without an edit wanting it) focuses the control
      if (focusControl_ && Enabled() && showAccelChar_ &&
          IsAccel(static_cast<char32_t>(m.WParam), Caption()) && focusControl_->CanFocus()) {
        focusControl_->SetFocus();
        m.Result = 1;
        return;
      }
      return;
    default:
      TGraphicControl::Dispatch(m);
  }
}

// ---------------------------------------------------------------- TCustomEdit

TCustomEdit::TCustomEdit(TComponent* AOwner) : TWinControl(AOwner) {
  controlStyle_ = {csClickEvents, csSetCaption, csDoubleClicks, csFixedHeight};
  width_ = 121;
  height_ = 25;
  color_ = clWindow;
  parentColor_ = false;
  brush_.SetColor(clWindow);
  SetTabStop(true);
  talvik::gui::detail::RegisterEditClass();
}

void TCustomEdit::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  CreateSubClass(Params, "EDIT");
  static constexpr DWORD kCase[] = {0, ES_UPPERCASE, ES_LOWERCASE};
  Params.Style |= ES_AUTOHSCROLL | ES_AUTOVSCROLL | kCase[charCase_];
  if (!hideSelection_) Params.Style |= ES_NOHIDESEL;
  if (readOnly_) Params.Style |= ES_READONLY;
  if (borderStyle_ == bsSingle) {
    if (ctl3D_)
      Params.ExStyle |= WS_EX_CLIENTEDGE;
    else
      Params.Style |= WS_BORDER;
  }
}

void TCustomEdit::CreateWnd() {
  creating_ = true;
  try {
    TWinControl::CreateWnd();
  } catch (...) {
    creating_ = false;
    throw;
  }
  creating_ = false;
  HWND h = Handle();
  SendMessage(h, WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), 0);
  SendMessage(h, EM_LIMITTEXT, static_cast<WPARAM>(maxLength_), 0);
  if (passwordChar_) SendMessage(h, EM_SETPASSWORDCHAR, passwordChar_, 0);
  SendMessage(h, EM_SETMODIFY, modified_ ? 1 : 0, 0);
  AdjustHeight();
}

void TCustomEdit::DestroyWnd() {
  if (HandleAllocated()) modified_ = SendMessage(Handle(), EM_GETMODIFY) != 0;
  TWinControl::DestroyWnd();
}

std::string TCustomEdit::GetText() const {
  auto* self = const_cast<TCustomEdit*>(this);
  if (self->HandleAllocated()) return GetWindowText(self->Handle());
  return text_;
}

void TCustomEdit::AdjustHeight() {
  if (!autoSize_ || !HandleAllocated()) return;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font()->Handle());
  TEXTMETRIC tm;
  GetTextMetrics(dc, tm);
  SelectObject(dc, old);
  DeleteDC(dc);
  int border = borderStyle_ == bsNone ? 2 : (ctl3D_ ? 8 : 6);
  SetHeight(tm.tmHeight + border);
}

void TCustomEdit::SetAutoSize(bool Value) {
  if (autoSize_ == Value) return;
  autoSize_ = Value;
  AdjustHeight();
}

void TCustomEdit::SetBorderStyle(TBorderStyle Value) {
  if (borderStyle_ == Value) return;
  borderStyle_ = Value;
  RecreateWnd();
  AdjustHeight();
}

void TCustomEdit::SetCharCase(TEditCharCase Value) {
  if (charCase_ == Value) return;
  charCase_ = Value;
  if (HandleAllocated()) {
    DWORD style = static_cast<DWORD>(GetWindowLongPtr(Handle(), GWL_STYLE)) & ~(ES_UPPERCASE | ES_LOWERCASE);
    if (Value == talvik::gui::ecUpperCase) style |= ES_UPPERCASE;
    if (Value == talvik::gui::ecLowerCase) style |= ES_LOWERCASE;
    SetWindowLongPtr(Handle(), GWL_STYLE, static_cast<std::intptr_t>(style));
  }
  // what is there already follows the new case
  if (Value == talvik::gui::ecUpperCase) SetText(AnsiUpperCase(Text()));
  if (Value == talvik::gui::ecLowerCase) SetText(AnsiLowerCase(Text()));
}

void TCustomEdit::SetHideSelection(bool Value) {
  if (hideSelection_ == Value) return;
  hideSelection_ = Value;
  RecreateWnd();
}

void TCustomEdit::SetMaxLength(int Value) {
  maxLength_ = std::max(0, Value);
  if (HandleAllocated()) SendMessage(Handle(), EM_LIMITTEXT, static_cast<WPARAM>(maxLength_), 0);
}

bool TCustomEdit::Modified() {
  if (HandleAllocated()) modified_ = SendMessage(Handle(), EM_GETMODIFY) != 0;
  return modified_;
}

void TCustomEdit::SetModified(bool Value) {
  modified_ = Value;
  if (HandleAllocated()) SendMessage(Handle(), EM_SETMODIFY, Value ? 1 : 0);
}

void TCustomEdit::SetPasswordChar(char32_t Value) {
  if (passwordChar_ == Value) return;
  passwordChar_ = Value;
  if (HandleAllocated()) {
    SendMessage(Handle(), EM_SETPASSWORDCHAR, Value);
    Invalidate();
  }
}

void TCustomEdit::SetReadOnly(bool Value) {
  if (readOnly_ == Value) return;
  readOnly_ = Value;
  if (HandleAllocated()) SendMessage(Handle(), EM_SETREADONLY, Value ? 1 : 0);
}

int TCustomEdit::SelStart() {
  DWORD from = 0, to = 0;
  SendMessage(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
  return static_cast<int>(from);
}

void TCustomEdit::SetSelStart(int Value) {
  SendMessage(Handle(), EM_SETSEL, static_cast<WPARAM>(Value), Value);
}

int TCustomEdit::SelLength() {
  DWORD from = 0, to = 0;
  SendMessage(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
  return static_cast<int>(to - from);
}

void TCustomEdit::SetSelLength(int Value) {
  int start = SelStart();
  SendMessage(Handle(), EM_SETSEL, static_cast<WPARAM>(start), start + Value);
  SendMessage(Handle(), EM_SCROLLCARET);
}

std::string TCustomEdit::SelText() {
  std::u32string all = Utf8ToUtf32(Text());
  if (GetWindowLongPtr(Handle(), GWL_STYLE) & ES_MULTILINE) {
    // positions count a line break once
    std::u32string lf;
    for (std::size_t i = 0; i < all.size(); ++i)
      if (!(all[i] == U'\r' && i + 1 < all.size() && all[i + 1] == U'\n')) lf.push_back(all[i]);
    all.swap(lf);
  }
  int start = std::min(SelStart(), static_cast<int>(all.size()));
  int len = std::min(SelLength(), static_cast<int>(all.size()) - start);
  return Utf32ToUtf8(all.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(len)));
}

void TCustomEdit::SetSelText(const std::string& Value) {
  SendMessage(Handle(), EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(Value.c_str()));
}

bool TCustomEdit::CanUndo() {
  return HandleAllocated() && SendMessage(Handle(), EM_CANUNDO) != 0;
}

void TCustomEdit::Clear() {
  SetText("");
}

void TCustomEdit::ClearSelection() {
  SendMessage(Handle(), WM_CLEAR);
}

void TCustomEdit::ClearUndo() {
  SendMessage(Handle(), EM_EMPTYUNDOBUFFER);
}

void TCustomEdit::CopyToClipboard() {
  SendMessage(Handle(), WM_COPY);
}

void TCustomEdit::CutToClipboard() {
  SendMessage(Handle(), WM_CUT);
}

void TCustomEdit::PasteFromClipboard() {
  SendMessage(Handle(), WM_PASTE);
}

void TCustomEdit::Undo() {
  SendMessage(Handle(), WM_UNDO);
}

void TCustomEdit::SelectAll() {
  SendMessage(Handle(), EM_SETSEL, 0, -1);
}

void TCustomEdit::Change() {
  InvokeEvent(OnChange, this);
}

void TCustomEdit::DoEnter() {
  if (autoSelect_ && !controlState_.Contains(csLButtonDown) && HandleAllocated() &&
      !(GetWindowLongPtr(Handle(), GWL_STYLE) & ES_MULTILINE))
    SelectAll();
  TWinControl::DoEnter();
}

void TCustomEdit::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_PAINT:
      // the edit window paints itself, also into a given device context
      if (controlState_.Contains(csCustomPaint)) break;
      DefaultHandler(m);
      return;
    case CN_COMMAND:
      if (HIWORD(m.WParam) == EN_CHANGE && !creating_) Change();
      return;
    case CM_FONTCHANGED:
      if (HandleAllocated()) SendMessage(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), 1);
      AdjustHeight();
      TWinControl::Dispatch(m);
      return;
    case CM_CTL3DCHANGED:
      RecreateWnd();
      AdjustHeight();
      return;
    case CM_ENTER:
      DoEnter();
      return;
    default:
      break;
  }
  TWinControl::Dispatch(m);
}

// ---------------------------------------------------------------- TCustomMemo

// The memo's lines, read from and written to its edit window (or its text while it has none).
class TCustomMemo::TMemoStrings : public TStrings {
 public:
  explicit TMemoStrings(TCustomMemo* memo) : memo_(memo) {}
  void Clear() override { memo_->SetText(""); }
  void Delete(int Index) override {
    CheckIndex(Index);
    auto [from, to] = LineRange(Index, true);
    Replace(from, to, "");
  }
  void Insert(int Index, const std::string& S) override {
    int n = GetCount();
    if (Index < 0 || Index > n)
      throw EStringListError("List index out of bounds (" + std::to_string(Index) + ")");
    HWND h = memo_->Handle();
    if (Index < n) {
      int at = static_cast<int>(SendMessage(h, EM_LINEINDEX, static_cast<WPARAM>(Index)));
      Replace(at, at, S + "\n");
    } else {
      int len = Length();
      bool needBreak = len > 0 && !EndsWithBreak();
      Replace(len, len, (needBreak ? "\n" : "") + S + "\n");
    }
  }
  void SetText(std::string_view Value) override { memo_->SetText(std::string(Value)); }
  std::string Text() const override { return memo_->Text(); }

 protected:
  std::string Get(int Index) const override {
    CheckIndex(Index);
    std::string out;
    SendMessage(memo_->Handle(), EM_GETLINE, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&out));
    return out;
  }
  int GetCount() const override {
    HWND h = memo_->Handle();
    int n = static_cast<int>(SendMessage(h, EM_GETLINECOUNT));
    // the empty line after a final line break is not a line of the list
    int lastStart = static_cast<int>(SendMessage(h, EM_LINEINDEX, static_cast<WPARAM>(n - 1)));
    if (SendMessage(h, EM_LINELENGTH, static_cast<WPARAM>(lastStart)) == 0) --n;
    return n;
  }
  void Put(int Index, const std::string& S) override {
    CheckIndex(Index);
    auto [from, to] = LineRange(Index, false);
    Replace(from, to, S);
  }

 private:
  void CheckIndex(int Index) const {
    if (Index < 0 || Index >= GetCount())
      throw EStringListError("List index out of bounds (" + std::to_string(Index) + ")");
  }
  int Length() const {
    HWND h = memo_->Handle();
    int n = static_cast<int>(SendMessage(h, EM_GETLINECOUNT));
    int lastStart = static_cast<int>(SendMessage(h, EM_LINEINDEX, static_cast<WPARAM>(n - 1)));
    return lastStart + static_cast<int>(SendMessage(h, EM_LINELENGTH, static_cast<WPARAM>(lastStart)));
  }
  bool EndsWithBreak() const {
    HWND h = memo_->Handle();
    int n = static_cast<int>(SendMessage(h, EM_GETLINECOUNT));
    int lastStart = static_cast<int>(SendMessage(h, EM_LINEINDEX, static_cast<WPARAM>(n - 1)));
    return SendMessage(h, EM_LINELENGTH, static_cast<WPARAM>(lastStart)) == 0;
  }
  // Whether the line begins where a wrapped row of the line before it was full (no line feed between).
  bool SoftBreakBefore(int Index) const {
    if (Index == 0) return false;
    HWND h = memo_->Handle();
    const int start = static_cast<int>(SendMessage(h, EM_LINEINDEX, static_cast<WPARAM>(Index)));
    const int before = static_cast<int>(SendMessage(h, EM_LINEINDEX, static_cast<WPARAM>(Index - 1)));
    return before + static_cast<int>(SendMessage(h, EM_LINELENGTH, static_cast<WPARAM>(before))) == start;
  }
  std::pair<int, int> LineRange(int Index, bool withBreak) const {
    HWND h = memo_->Handle();
    int from = static_cast<int>(SendMessage(h, EM_LINEINDEX, static_cast<WPARAM>(Index)));
    int to = from + static_cast<int>(SendMessage(h, EM_LINELENGTH, static_cast<WPARAM>(from)));
    if (withBreak) {
      int next = static_cast<int>(SendMessage(h, EM_LINEINDEX, static_cast<WPARAM>(Index + 1)));
      to = next >= 0 ? next : to;
      if (next < 0 && from > 0 && !SoftBreakBefore(Index)) --from;  // the last line takes the break before it
    }
    return {from, to};
  }
  void Replace(int from, int to, const std::string& S) {
    HWND h = memo_->Handle();
    bool readOnly = memo_->ReadOnly();
    if (readOnly) SendMessage(h, EM_SETREADONLY, 0);
    SendMessage(h, EM_SETSEL, static_cast<WPARAM>(from), to);
    SendMessage(h, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(S.c_str()));
    if (readOnly) SendMessage(h, EM_SETREADONLY, 1);
  }
  TCustomMemo* memo_;
};

TCustomMemo::TCustomMemo(TComponent* AOwner)
    : TCustomEdit(AOwner), lines_(std::make_unique<TMemoStrings>(this)) {
  width_ = 185;
  height_ = 89;
  autoSize_ = false;
  controlStyle_.Exclude(csFixedHeight);
}

TCustomMemo::~TCustomMemo() = default;

TStrings* TCustomMemo::Lines() {
  return lines_.get();
}

void TCustomMemo::SetLines(TStrings* Value) {
  lines_->Assign(Value);
}

void TCustomMemo::CreateParams(TCreateParams& Params) {
  TCustomEdit::CreateParams(Params);
  static constexpr DWORD kAlign[] = {ES_LEFT, ES_RIGHT, ES_CENTER};
  static constexpr DWORD kBars[] = {0, WS_HSCROLL, WS_VSCROLL, WS_HSCROLL | WS_VSCROLL};
  Params.Style |= ES_MULTILINE | kAlign[BiDiAlignment(alignment_)] | kBars[scrollBars_];
  if (wordWrap_ && scrollBars_ != ssHorizontal && scrollBars_ != ssBoth) Params.Style &= ~ES_AUTOHSCROLL;
}

void TCustomMemo::SetAlignment(TAlignment Value) {
  if (alignment_ == Value) return;
  alignment_ = Value;
  RecreateWnd();
}

void TCustomMemo::SetScrollBars(TScrollStyle Value) {
  if (scrollBars_ == Value) return;
  scrollBars_ = Value;
  RecreateWnd();
}

void TCustomMemo::SetWordWrap(bool Value) {
  if (wordWrap_ == Value) return;
  wordWrap_ = Value;
  RecreateWnd();
}

TPoint TCustomMemo::CaretPos() {
  DWORD from = 0, to = 0;
  SendMessage(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
  int line = static_cast<int>(SendMessage(Handle(), EM_LINEFROMCHAR, static_cast<WPARAM>(to)));
  int start = static_cast<int>(SendMessage(Handle(), EM_LINEINDEX, static_cast<WPARAM>(line)));
  return {static_cast<int>(to) - start, line};
}

void TCustomMemo::SetCaretPos(TPoint Value) {
  int start =
      static_cast<int>(SendMessage(Handle(), EM_LINEINDEX, static_cast<WPARAM>(std::max(0, Value.Y))));
  if (start < 0) start = static_cast<int>(SendMessage(Handle(), WM_GETTEXTLENGTH));
  int pos = start + Value.X;
  SendMessage(Handle(), EM_SETSEL, static_cast<WPARAM>(pos), pos);
}

void TCustomMemo::KeyPress(char32_t& Key) {
  TCustomEdit::KeyPress(Key);
  if (Key == U'\r' && !wantReturns_) Key = 0;
}

void TCustomMemo::Dispatch(TMessage& m) {
  if (m.Msg == WM_GETDLGCODE) {
    TCustomEdit::Dispatch(m);
    if (wantTabs_)
      m.Result |= DLGC_WANTTAB;
    else
      m.Result &= ~DLGC_WANTTAB;
    if (!wantReturns_) m.Result &= ~DLGC_WANTALLKEYS;
    return;
  }
  // the edit window repaints the rows its new text changes
  if (m.Msg == CM_TEXTCHANGED && HandleAllocated()) return;
  TCustomEdit::Dispatch(m);
}
