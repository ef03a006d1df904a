#include "grid/CalculatorEx.h"

#include <cassert>
#include <cmath>
#include <iterator>

#include "grid/DropDownsEx.h"
#include "platform/gui/Clipbrd.h"
#include "platform/rtl/SysUtils.h"

// ---------------------------------------------------------------- the engine

namespace {

constexpr int kMaxDigits = 15;  // characters of a typed number (one more with a minus sign)

bool IsOperatorKey(char32_t Key) {
  switch (Key) {
    case '+':
    case '-':
    case '*':
    case '/':
    case '%':
    case '=':
    case kCalcEnterKey:
      return true;
    default:
      return false;
  }
}

bool IsArithmetic(char32_t Op) {
  return Op == '+' || Op == '-' || Op == '*' || Op == '/';
}

}  // namespace

std::string TCalculatorEngine::EqualCaption() const {
  return operand_ != 0 && status_ == csValid && IsArithmetic(operator_) ? SCalcEqual : SCalcOk;
}

void TCalculatorEngine::Clear() {
  status_ = csFirst;
  SetDisplay(0);
  operator_ = '=';
  operand_ = 0;
}

void TCalculatorEngine::Error() {
  status_ = csError;
  text_ = SCalcError;
}

void TCalculatorEngine::CheckFirst() {
  if (status_ != csFirst) return;
  status_ = csValid;
  text_ = "0";
}

void TCalculatorEngine::SetDisplay(double Value) {
  // an overflow (or worse) is no number to go on with
  if (!std::isfinite(Value)) {
    Error();
    return;
  }
  text_ = FloatToStrF(Value, ffGeneral, 15, 0);
}

double TCalculatorEngine::GetDisplay() const {
  if (status_ == csError) return 0;
  return StrToFloat(Trim(text_));
}

void TCalculatorEngine::WheelStep(int Delta) {
  if (status_ == csError) return;
  SetDisplay(GetDisplay() + Delta);
}

void TCalculatorEngine::CalcKey(char32_t Key) {
  if (Key >= 'a' && Key <= 'z') Key = Key - 'a' + 'A';
  if (status_ == csError && Key != 'C') return;
  const char separator = FormatSettings.DecimalSeparator;
  if (Key == '.' || Key == ',' || Key == static_cast<unsigned char>(separator)) {
    CheckFirst();
    if (text_.find(separator) == std::string::npos) text_ += separator;
  } else if (Key >= '0' && Key <= '9') {
    CheckFirst();
    if (text_ == "0") text_.clear();
    const std::size_t limit = kMaxDigits + (text_.find('-') != std::string::npos ? 1 : 0);
    if (text_.find('E') == std::string::npos && Utf8Length(text_) < static_cast<int>(limit))
      text_ += static_cast<char>(Key);
  } else if (Key == kCalcBackspaceKey) {
    CheckFirst();
    const int length = Utf8Length(text_);
    if (length == 1 || (length == 2 && text_[0] == '-'))
      text_ = "0";
    else
      text_ = Utf8Copy(text_, 1, length - 1);
  } else if (Key == 'C' || Key == kCalcEscapeKey) {
    Clear();
  } else if (Key == kCalcCopyKey) {
    if (OnCopy) OnCopy(text_);
  } else if (Key == kCalcPasteKey) {
    std::string pasted;
    if (OnPaste && OnPaste(pasted)) SetDisplay(StrToFloat(Trim(pasted)));
  } else if (Key == kCalcNegateKey) {
    SetDisplay(-GetDisplay());
  } else if (Key == kCalcReciprocalKey) {
    status_ = csFirst;
    const double d = GetDisplay();
    if (d == 0)
      Error();
    else
      SetDisplay(1 / d);
  } else if (Key == kCalcSqrtKey) {
    status_ = csFirst;
    const double d = GetDisplay();
    if (d < 0)
      Error();
    else
      SetDisplay(std::sqrt(d));
  } else if (IsOperatorKey(Key)) {
    if (status_ == csValid) {
      status_ = csFirst;
      double r = GetDisplay();
      if (Key == '%') {
        if (operator_ == '+' || operator_ == '-')
          r = operand_ * r / 100;
        else if (operator_ == '*' || operator_ == '/')
          r = r / 100;
      }
      switch (operator_) {
        case '+':
          SetDisplay(operand_ + r);
          break;
        case '-':
          SetDisplay(operand_ - r);
          break;
        case '*':
          SetDisplay(operand_ * r);
          break;
        case '/':
          if (r == 0)
            Error();
          else
            SetDisplay(operand_ / r);
          break;
        default:
          break;
      }
    }
    operator_ = Key;
    operand_ = GetDisplay();
  }
}

// ---------------------------------------------------------------- the control

namespace {

// The stored layout's screen and text height: "MS Sans Serif" of height -11 at 96 pixels per inch.
constexpr int kStoredPixelsPerInch = 96;
constexpr int kStoredTextHeight = 13;
constexpr int kStoredClientWidth = 184;
constexpr int kStoredClientHeight = 127;
constexpr int kFontHeight = -11;

struct CalcButtonLayout {
  const char* name;
  const char* caption;
  int tag;
  int left, top, width, height;
  TColor color;
  char32_t key;
};

const CalcButtonLayout kButtons[] = {
    {"SpeedButton1", "7", 1, 6, 29, 27, 22, clBlue, '7'},
    {"SpeedButton12", "8", 2, 35, 29, 27, 22, clBlue, '8'},
    {"SpeedButton11", "9", 3, 64, 29, 27, 22, clBlue, '9'},
    {"SpeedButton16", "/", 4, 93, 29, 27, 22, clRed, '/'},
    {"SpeedButton20", "sqrt", 5, 122, 29, 27, 22, clBlue, kCalcSqrtKey},
    {"SpeedButton23", "C", 6, 151, 29, 27, 46, clRed, 'C'},
    {"SpeedButton10", "4", 7, 6, 53, 27, 22, clBlue, '4'},
    {"SpeedButton9", "5", 8, 35, 53, 27, 22, clBlue, '5'},
    {"SpeedButton8", "6", 9, 64, 53, 27, 22, clBlue, '6'},
    {"SpeedButton15", "*", 10, 93, 53, 27, 22, clRed, '*'},
    {"SpeedButton19", "%", 11, 122, 53, 27, 22, clBlue, '%'},
    {"SpeedButton24", "Cancel", 12, 151, 52, 27, 23, clRed, kCalcCancelKey},
    {"SpeedButton7", "1", 13, 6, 77, 27, 22, clBlue, '1'},
    {"SpeedButton6", "2", 14, 35, 77, 27, 22, clBlue, '2'},
    {"SpeedButton5", "3", 15, 64, 77, 27, 22, clBlue, '3'},
    {"SpeedButton14", "-", 16, 93, 77, 27, 22, clRed, '-'},
    {"SpeedButton18", "1/x", 17, 122, 77, 27, 22, clBlue, kCalcReciprocalKey},
    {"SpeedButton22", "<-", 18, 151, 77, 27, 22, clRed, kCalcBackspaceKey},
    {"SpeedButton4", "0", 19, 6, 101, 27, 22, clBlue, '0'},
    {"SpeedButton3", "+/-", 20, 35, 101, 27, 22, clBlue, kCalcNegateKey},
    {"SpeedButton2", ".", 21, 64, 101, 27, 22, clBlue, '.'},
    {"SpeedButton13", "+", 22, 93, 101, 27, 22, clRed, '+'},
    {"spEqual", "Ok", 23, 122, 101, 56, 22, clRed, '='},
};

// The key a button's tag sends.
char32_t KeyOfTag(intptr_t Tag) {
  for (const CalcButtonLayout& b : kButtons)
    if (b.tag == Tag) return b.key;
  return 0;
}

int TextHeightOf(TFont* Font) {
  TBitmap b;
  b.SetSize(1, 1);
  b.Canvas()->Font()->Assign(Font);
  return b.Canvas()->TextHeight("0");
}

}  // namespace

TCalculatorEx::TCalculatorEx(TComponent* AOwner)
    : TCalculatorEx(AOwner, kStoredPixelsPerInch, kStoredTextHeight) {}

TCalculatorEx::TCalculatorEx(TComponent* AOwner, int StoredPixelsPerInch, int StoredTextHeight)
    : TCustomControl(AOwner) {
  controlStyle_.Include(csOpaque);
  SetColor(clBtnFace);
  ReadLayout(StoredPixelsPerInch, StoredTextHeight);
  engine_.OnCopy = [](const std::string& Text) { Clipboard()->SetAsText(Text); };
  engine_.OnPaste = [](std::string& Text) {
    if (!Clipboard()->HasFormat(CF_TEXT)) return false;
    Text = Clipboard()->AsText();
    return true;
  };
}

void TCalculatorEx::ReadLayout(int StoredPixelsPerInch, int StoredTextHeight) {
  // the client size is kept aside while the layout is read and applied once it is scaled
  int clientWidth = kStoredClientWidth;
  int clientHeight = kStoredClientHeight;
  Font()->SetName("MS Sans Serif");
  Font()->SetHeight(kFontHeight);
  SetPixelsPerInch(StoredPixelsPerInch);

  Panel1 = new TPanel(this);
  Panel1->SetName("Panel1");
  Panel1->SetParent(this);
  Panel1->SetBounds(6, 4, 171, 19);
  Panel1->SetBevelOuter(bvNone);
  Panel1->SetBorderWidth(2);
  Panel1->SetColor(clHighlightText);
  Panel1->SetCaption("");
  TextBox = new TLabel(this);
  TextBox->SetName("TextBox");
  TextBox->SetParent(Panel1);
  TextBox->SetAutoSize(false);
  TextBox->SetBounds(2, 1, 166, 17);
  TextBox->SetAlignment(taRightJustify);
  TextBox->SetLayout(tlCenter);
  TextBox->SetColor(clHighlightText);
  TextBox->SetCaption("0");
  for (const CalcButtonLayout& b : kButtons) {
    auto* button = new TSpeedButtonEx(this);
    button->SetName(b.name);
    button->SetParent(this);
    button->SetCaption(b.caption);
    button->SetTag(b.tag);
    button->SetBounds(b.left, b.top, b.width, b.height);
    button->Font()->SetColor(b.color);
    button->SetFlat(true);
    button->SetLayout(blGlyphRight);
    button->SetTransparent(false);
    button->OnClick = [this](TObject* Sender) { SpeedButtonClick(Sender); };
    if (b.tag == 23) spEqual = button;
  }
  assert(spEqual);

  // after reading: the buttons paint their captions as speed buttons
  for (int i = 0; i < ControlCount(); ++i) {
    if (auto* button = dynamic_cast<TSpeedButtonEx*>(Controls(i))) {
      button->SetStyle(ebsGlyphEx);
      button->SetActive(true);
    }
  }
  const int screen = Screen ? Screen->PixelsPerInch() : kStoredPixelsPerInch;
  if (pixelsPerInch_ != 0 && pixelsPerInch_ != screen)
    Font()->SetHeight(MulDiv(Font()->Height(), screen, pixelsPerInch_));
  const int textHeight = TextHeightOf(Font());
  if (StoredTextHeight > 0 && textHeight != StoredTextHeight) {
    auto scale = [&](int V) { return MulDiv(V, textHeight, StoredTextHeight); };
    auto scaleBounds = [&](TControl* C) {
      C->SetBounds(scale(C->Left()), scale(C->Top()), scale(C->Width()), scale(C->Height()));
    };
    for (int i = 0; i < ControlCount(); ++i) scaleBounds(Controls(i));
    scaleBounds(TextBox);  // inside the panel
    clientWidth = scale(clientWidth);
    clientHeight = scale(clientHeight);
  }
  layoutSize_ = TSize(clientWidth, clientHeight);
  SetClientWidth(clientWidth);
  SetClientHeight(clientHeight);
}

void TCalculatorEx::SetBorderStyle(TBorderStyle Value) {
  if (borderStyle_ == Value) return;
  borderStyle_ = Value;
  RecreateWnd();
}

void TCalculatorEx::SetPixelsPerInch(int Value) {
  if (Value != 0 && Value < 36) return;
  pixelsPerInch_ = Value;
}

void TCalculatorEx::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  if (borderStyle_ == bsSingle) {
    if (Ctl3D()) {
      Params.ExStyle |= WS_EX_CLIENTEDGE;
    } else {
      Params.Style |= WS_BORDER;
    }
  }
}

TSpeedButtonEx* TCalculatorEx::ButtonOfKey(char32_t Key) const {
  for (int i = 0; i < ControlCount(); ++i)
    if (auto* b = dynamic_cast<TSpeedButtonEx*>(Controls(i)); b && KeyOfTag(b->Tag()) == Key) return b;
  return nullptr;
}

void TCalculatorEx::UpdateDisplay() {
  TextBox->SetCaption(engine_.Text());
  spEqual->SetCaption(engine_.EqualCaption());
}

void TCalculatorEx::CalcKey(char32_t Key) {
  engine_.CalcKey(Key);
  UpdateDisplay();
}

void TCalculatorEx::KeyPress(char32_t& Key) {
  TCustomControl::KeyPress(Key);
  if (Key != 0) CalcKey(Key);
}

bool TCalculatorEx::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
  if (TCustomControl::DoMouseWheel(Shift, WheelDelta, MousePos)) return true;
  engine_.WheelStep(WheelDelta > 0 ? 1 : -1);
  UpdateDisplay();
  return true;
}

void TCalculatorEx::SpeedButtonClick(TObject* Sender) {
  if (auto* c = dynamic_cast<TComponent*>(Sender))
    if (const char32_t key = KeyOfTag(c->Tag())) CalcKey(key);
}

// ---------------------------------------------------------------- the drop-down

TPopupCalculatorEx::TPopupCalculatorEx(TComponent* AOwner) : TCalculatorEx(AOwner) {
  visible_ = false;
  SetTabStop(false);
  SetCtl3D(true);
  SetFlat(true);
}

void TPopupCalculatorEx::SetFlat(bool Value) {
  if (flat_ == Value) return;
  flat_ = Value;
  for (int i = 0; i < ControlCount(); ++i)
    if (auto* b = dynamic_cast<TSpeedButtonEx*>(Controls(i))) b->SetFlat(Value);
}

TVariant TPopupCalculatorEx::Value() const {
  const TCalculatorEngine& e = Engine();
  if (e.Status() == csError) return Null();
  return TVariant(e.GetDisplay());
}

void TPopupCalculatorEx::SetValue(const TVariant& Value) {
  Engine().Clear();
  Engine().SetDisplay(Value.IsNull() || Value.IsEmpty() ? 0.0 : Value.AsDouble());
  UpdateDisplay();
}

void TPopupCalculatorEx::CreateParams(TCreateParams& Params) {
  TCalculatorEx::CreateParams(Params);
  Params.Style = WS_POPUP | (Ctl3D() ? 0 : WS_BORDER);
  Params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
  Params.WindowClass.style |= CS_SAVEBITS;
  Params.WndParent = nullptr;
}

void TPopupCalculatorEx::CreateWnd() {
  TCalculatorEx::CreateWnd();
  // the calculator's own size plus the border round it
  const int w = LayoutSize().cx + 2 * BorderWidth(), h = LayoutSize().cy + 2 * BorderWidth();
  SetBounds(Left(), Top(), w, h);
}

void TPopupCalculatorEx::CalcKey(char32_t Key) {
  if ((Key == kCalcEnterKey || Key == '=') && spEqual->Caption() == SCalcOk) {
    PopupCloseUp(this, true);
    return;
  }
  if (Key == kCalcCancelKey) {
    PopupCloseUp(this, false);
    return;
  }
  TCalculatorEx::CalcKey(Key);
}

void TPopupCalculatorEx::KeyDown(WORD& Key, TShiftState Shift) {
  if (Key == VK_ESCAPE) {
    Key = 0;
    PopupCloseUp(this, false);
    return;
  }
  TCalculatorEx::KeyDown(Key, Shift);
}

void TPopupCalculatorEx::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_MOUSEACTIVATE:
      Message.Result = MA_NOACTIVATE;
      return;
    case WM_GETDLGCODE:
      TCalculatorEx::Dispatch(Message);
      Message.Result |= DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTALLKEYS;
      return;
    case CM_WANTSPECIALKEY: {
      const WORD key = static_cast<WORD>(Message.WParam);
      if (key == VK_RETURN || key == VK_ESCAPE) {
        PopupCloseUp(this, key == VK_RETURN);
        Message.Result = 1;
        return;
      }
      TCalculatorEx::Dispatch(Message);
      return;
    }
    case WM_CALCULATOR_CLOSE:
      PopupCloseUp(this, false);
      return;
    case WM_NCCALCSIZE:
      if (Message.LParam && Ctl3D()) {
        RECT& r = reinterpret_cast<NCCALCSIZE_PARAMS*>(Message.LParam)->rgrc[0];
        InflateRect(r, -BorderWidth(), -BorderWidth());
      }
      TCalculatorEx::Dispatch(Message);
      return;
    case WM_NCPAINT: {
      TCalculatorEx::Dispatch(Message);
      if (!Ctl3D()) return;
      // a 1-pixel dark shadow frame with a raised inner edge inside it
      HDC dc = GetWindowDC(Handle());
      RECT r;
      GetWindowRect(Handle(), r);
      OffsetRect(r, -r.Left, -r.Top);
      HBRUSH shadow = GetSysColorBrush(COLOR_3DDKSHADOW);
      FrameRect(dc, r, shadow);
      InflateRect(r, -1, -1);
      DrawEdge(dc, r, BDR_RAISEDINNER, BF_RECT);
      ReleaseDC(Handle(), dc);
      return;
    }
    default:
      TCalculatorEx::Dispatch(Message);
  }
}
