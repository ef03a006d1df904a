#include "grid/DBCheckBoxEx.h"

#include <algorithm>

#include "grid/ExtraRow.h"
#include "platform/gui/Menus.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/ScopeExit.h"

namespace {

constexpr int kCaptionGap = 5;

// Whether Text is one of the ';'-separated parts of List (ignoring case).
bool InList(const std::string& List, const std::string& Text) {
  std::size_t from = 0;
  while (from <= List.size()) {
    const std::size_t end = std::min(List.find(';', from), List.size());
    if (AnsiCompareText(List.substr(from, end - from), Text) == 0) return true;
    from = end + 1;
  }
  return false;
}

std::string FirstPart(const std::string& List) {
  return List.substr(0, List.find(';'));
}

}  // namespace

TCustomDBCheckBoxEx::TCustomDBCheckBoxEx(TComponent* AOwner)
    : TButtonControl(AOwner), dataLink_(std::make_unique<TFieldDataLinkEx>()) {
  width_ = 97;
  height_ = 17;
  SetTabStop(true);
  controlStyle_.Include(csReplicatable);
  dataLink_->SetControl(this);
  dataLink_->OnDataChange = [this](TObject* s) { DataChange(s); };
  dataLink_->OnUpdateData = [this](TObject*) { UpdateData(); };
  dataLink_->SetValue(TVariant(0));
}

TCustomDBCheckBoxEx::~TCustomDBCheckBoxEx() {
  Destroying();
  dataLink_->OnDataChange = nullptr;
  dataLink_->OnUpdateData = nullptr;
  dataLink_->SetDataSource(nullptr);
}

void TCustomDBCheckBoxEx::SetDataSource(TDataSource* Value) {
  if (Value) Value->FreeNotification(this);
  dataLink_->SetDataSource(Value);
  DataChange(nullptr);
}

void TCustomDBCheckBoxEx::Notification(TComponent* AComponent, TOperation Operation) {
  TButtonControl::Notification(AComponent, Operation);
  if (Operation == opRemove && dataLink_ && AComponent == DataSource()) SetDataSource(nullptr);
}

void TCustomDBCheckBoxEx::SetDataField(const std::string& Value) {
  dataLink_->SetFieldName(Value);
}

void TCustomDBCheckBoxEx::SetAlignment(TAlignment Value) {
  if (alignment_ == Value) return;
  alignment_ = Value;
  Invalidate();
}

void TCustomDBCheckBoxEx::SetValueChecked(const std::string& Value) {
  valueChecked_ = Value;
  DataChange(nullptr);
}

void TCustomDBCheckBoxEx::SetValueUnchecked(const std::string& Value) {
  valueUnchecked_ = Value;
  DataChange(nullptr);
}

void TCustomDBCheckBoxEx::SetFlat(bool Value) {
  if (flat_ == Value) return;
  flat_ = Value;
  Invalidate();
}

void TCustomDBCheckBoxEx::SetAlwaysShowBorder(bool Value) {
  if (alwaysShowBorder_ == Value) return;
  alwaysShowBorder_ = Value;
  Invalidate();
}

TCheckBoxState TCustomDBCheckBoxEx::GetFieldState() {
  if (dataLink_->DataIndependent()) {
    const TVariant& v = dataLink_->Value();
    if (VarEquals(v, TVariant(true))) return cbChecked;
    if (VarEquals(v, TVariant(false))) return cbUnchecked;
    return cbGrayed;
  }
  TField* f = dataLink_->Field();
  if (!f) return cbUnchecked;
  if (f->IsNull()) return cbGrayed;
  if (f->DataType() == ftBoolean) return f->AsBoolean() ? cbChecked : cbUnchecked;
  const std::string text = f->Text();
  if (InList(valueChecked_, text)) return cbChecked;
  if (InList(valueUnchecked_, text)) return cbUnchecked;
  return cbGrayed;
}

void TCustomDBCheckBoxEx::InternalSetState(TCheckBoxState Value) {
  if (state_ == Value) return;
  state_ = Value;
  if (!noClick_) TButtonControl::Click();
  Invalidate();
  modified_ = true;
}

void TCustomDBCheckBoxEx::SetState(TCheckBoxState Value) {
  const bool bound = !dataLink_->DataIndependent();
  if (bound && ComponentState().Contains(csDesigning)) return;
  if (bound) dataLink_->Edit();
  InternalSetState(Value);
  if (!updating_) UpdateData();
}

void TCustomDBCheckBoxEx::Toggle() {
  if (!dataLink_->Edit()) return;
  switch (state_) {
    case cbUnchecked:
      InternalSetState(allowGrayed_ ? cbGrayed : cbChecked);
      break;
    case cbChecked:
      InternalSetState(cbUnchecked);
      break;
    case cbGrayed:
      InternalSetState(cbChecked);
      break;
  }
  dataLink_->SetModified();
  Invalidate();
}

void TCustomDBCheckBoxEx::Click() {
  Toggle();
}

void TCustomDBCheckBoxEx::DataChange(TObject* /*Sender*/) {
  InternalSetState(GetFieldState());
  modified_ = false;
}

void TCustomDBCheckBoxEx::UpdateData() {
  bool handled = false;
  {
    TScopeExit done([this] { updating_ = false; });
    updating_ = true;
    InvokeEvent(OnUpdateData, this, handled);
  }
  if (!handled) DefaultUpdateData();
}

void TCustomDBCheckBoxEx::DefaultUpdateData() {
  if (dataLink_->DataIndependent()) {
    dataLink_->SetValue(state_ == cbGrayed ? Null() : TVariant(Checked()));
    return;
  }
  TField* f = dataLink_->Field();
  if (!f) return;
  if (state_ == cbGrayed) {
    f->Clear();
  } else if (f->DataType() == ftBoolean) {
    f->SetAsBoolean(Checked());
  } else {
    f->SetText(FirstPart(Checked() ? valueChecked_ : valueUnchecked_));
  }
}

void TCustomDBCheckBoxEx::KeyPress(char32_t& Key) {
  TButtonControl::KeyPress(Key);
  if (Key == U'\b' || Key == U' ') {
    dataLink_->Edit();
  } else if (Key == 27) {
    dataLink_->Reset();
  }
}

TRect TCustomDBCheckBoxEx::BoxRect() {
  const TSize box = DefaultCheckBoxSize();
  const TRect client = ClientRect();
  const int top = (client.Height() - box.cy) / 2;
  const bool boxLeft = BiDiAlignment(alignment_) == taRightJustify;
  const int left = boxLeft ? 0 : client.Right - box.cx;
  return Bounds(left, top, box.cx, box.cy);
}

bool TCustomDBCheckBoxEx::ShowsPressed() {
  return pressed_;
}

void TCustomDBCheckBoxEx::Paint() {
  TCanvas* c = Canvas();
  const TCheckBoxState state = ControlState().Contains(csPaintCopy) ? GetFieldState() : state_;
  const TRect client = ClientRect();
  c->Brush()->SetColor(Color());
  c->FillRect(client);
  const TRect box = BoxRect();
  const bool active = mouseInside_ || TWinControl::Focused() || alwaysShowBorder_;
  DrawEditButton(c->Handle(), box, Color(), bcsCheckboxEx, ShowsPressed() ? 1 : 0, flat_, active, Enabled(),
                 state);
  // the caption: measured on one line and centred vertically
  TRect text = client;
  const bool boxLeft = BiDiAlignment(alignment_) == taRightJustify;
  if (boxLeft)
    text.Left = box.Right + kCaptionGap;
  else
    text.Right = box.Left - kCaptionGap;
  c->Font()->Assign(Font());
  TRect calc = text;
  DrawControlCaption(c, Caption(), calc, DT_CALCRECT | DT_SINGLELINE, true);
  TRect r = text;
  r.Top = client.Top + (client.Height() - calc.Height()) / 2;
  r.Bottom = r.Top + calc.Height();
  r.Right = std::min(text.Right, r.Left + calc.Width());
  if (UseRightToLeftAlignment() && !boxLeft) OffsetRect(r, text.Right - r.Right, 0);  // by the box
  // a disabled caption is embossed: highlight one pixel down-right, then grayed text over it
  HDC dc = c->Handle();
  SetBkMode(dc, TRANSPARENT);
  if (!Enabled()) {
    RECT shadow = r;
    OffsetRect(shadow, 1, 1);
    SetTextColor(dc, ColorToRGB(clBtnHighlight));
    DrawText(dc, Caption(), shadow, DT_SINGLELINE);
  }
  SetTextColor(dc, ColorToRGB(Enabled() ? Font()->Color() : clGrayText));
  RECT caption = r;
  DrawText(dc, Caption(), caption, DT_SINGLELINE);
  if (TWinControl::Focused()) {
    TRect focus = r;
    InflateRect(focus, 1, 1);
    IntersectRect(focus, focus, client);
    c->Brush()->SetColor(Color());
    c->DrawFocusRect(focus);
  }
}

void TCustomDBCheckBoxEx::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (Enabled() && !TWinControl::Focused()) {
        if (!CanFocus()) return;
        TScopeExit done([this] { noClick_ = false; });
        noClick_ = true;
        SetFocus();
      }
      TButtonControl::Dispatch(Message);
      return;
    case CM_DIALOGCHAR:
      if (IsAccel(static_cast<char32_t>(Message.WParam), Caption()) && CanFocus()) {
        SetFocus();
        if (TWinControl::Focused()) Toggle();
        Message.Result = 1;
      }
      return;
    case CM_WANTSPECIALKEY:
      if (static_cast<WORD>(Message.WParam) == VK_ESCAPE && modified_) {
        Message.Result = 1;
        return;
      }
      break;
    case CM_EXIT:
      TButtonControl::Dispatch(Message);
      dataLink_->UpdateRecordEx();
      return;
    case WM_CANCELMODE: {
      const bool down = ControlState().Contains(csLButtonDown);
      if (GetCapture() == Handle()) ReleaseCapture();
      TButtonControl::Dispatch(Message);
      if (down) Perform(WM_LBUTTONUP, 0, MAKELPARAM(-1, -1));
      return;
    }
    case BM_SETCHECK:
      InternalSetState(static_cast<TCheckBoxState>(Message.WParam));
      return;
    case BM_GETCHECK:
      Message.Result = static_cast<LRESULT>(state_);
      return;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
      mouseInside_ = Message.Msg == CM_MOUSEENTER;
      Invalidate();
      break;
    case CM_ENABLEDCHANGED:
    case WM_SIZE:
      Invalidate();
      break;
    default:
      break;
  }
  TButtonControl::Dispatch(Message);
}
