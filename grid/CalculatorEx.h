// The four-function calculator: TCalculatorEngine is its key handler and state (the number being
// typed as display text, the pending operator and its left operand, double precision), free of any
// window; TCalculatorEx is the control (a display and 23 buttons laid out from a fixed table), and
// TPopupCalculatorEx its drop-down form, which number editors open under themselves.
#pragma once

#include <functional>
#include <string>

#include "grid/EditButtons.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/Variants.h"

enum TCalcState { csFirst, csValid, csError };

// The keys the engine knows beside digits, separators and operators.
inline constexpr char32_t kCalcCopyKey = 3;          // Ctrl+C
inline constexpr char32_t kCalcBackspaceKey = 8;     // Backspace
inline constexpr char32_t kCalcEnterKey = 13;        // Enter
inline constexpr char32_t kCalcPasteKey = 22;        // Ctrl+V
inline constexpr char32_t kCalcEscapeKey = 27;       // Esc
inline constexpr char32_t kCalcNegateKey = 'I';      // "+/-"
inline constexpr char32_t kCalcReciprocalKey = 'R';  // "1/x"
inline constexpr char32_t kCalcSqrtKey = 'S';        // "sqrt"
inline constexpr char32_t kCalcCancelKey = 'A';      // "Cancel"

inline constexpr char SCalcError[] = "Error";
inline constexpr char SCalcEqual[] = "=";
inline constexpr char SCalcOk[] = "Ok";

class TCalculatorEngine {
 public:
  // One key: digits, '.', ',' or the locale's separator, Backspace, 'C' or Esc, Ctrl+C, Ctrl+V, 'I',
  // 'R', 'S', the operators '+', '-', '*', '/', '%', '=' and Enter; anything else does nothing.
  void CalcKey(char32_t Key);
  // The display: the number as typed, a result, or "Error".
  const std::string& Text() const { return text_; }
  TCalcState Status() const { return status_; }
  char32_t Operator() const { return operator_; }
  double Operand() const { return operand_; }
  // The equal button's caption: "=" while a typed right operand waits for + - * /, else "Ok".
  std::string EqualCaption() const;

  void Clear();
  void Error();
  void CheckFirst();
  // Shows Value in the general format with 15 significant digits ("Error" for no finite number).
  void SetDisplay(double Value);
  // The display as a number; 0 in the error state.
  double GetDisplay() const;
  // The mouse wheel: +1 for a step up, -1 for a step down (the state stays as it is).
  void WheelStep(int Delta);

  // The clipboard, for Ctrl+C and Ctrl+V (OnPaste answers false when it holds no text).
  std::function<void(const std::string& Text)> OnCopy;
  std::function<bool(std::string& Text)> OnPaste;

 private:
  std::string text_ = "0";
  TCalcState status_ = csFirst;
  char32_t operator_ = 0;
  double operand_ = 0;
};

class TCalculatorEx : public TCustomControl {
  TALVIK_CLASS(TCalculatorEx, TCustomControl)
  explicit TCalculatorEx(TComponent* AOwner);

  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle Value);
  int PixelsPerInch() const { return pixelsPerInch_; }
  // Values below 36 other than 0 are ignored.
  void SetPixelsPerInch(int Value);
  bool OldCreateOrder() const { return oldCreateOrder_; }
  void SetOldCreateOrder(bool Value) { oldCreateOrder_ = Value; }

  TCalculatorEngine& Engine() { return engine_; }
  const TCalculatorEngine& Engine() const { return engine_; }
  // The key handler: the engine's, then the display and the equal button follow it.
  virtual void CalcKey(char32_t Key);
  // The button that sends Key, nullptr for none.
  TSpeedButtonEx* ButtonOfKey(char32_t Key) const;
  // The client size the layout asks for (scaled to the font).
  TSize LayoutSize() const { return layoutSize_; }

  TPanel* Panel1 = nullptr;
  TLabel* TextBox = nullptr;
  TSpeedButtonEx* spEqual = nullptr;

 protected:
  // Builds the layout as stored for StoredPixelsPerInch and StoredTextHeight, scaled to the screen.
  TCalculatorEx(TComponent* AOwner, int StoredPixelsPerInch, int StoredTextHeight);
  void CreateParams(TCreateParams& Params) override;
  void KeyPress(char32_t& Key) override;
  bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) override;
  void SpeedButtonClick(TObject* Sender);
  // Shows the engine's display and equal caption.
  void UpdateDisplay();

 private:
  void ReadLayout(int StoredPixelsPerInch, int StoredTextHeight);

  TCalculatorEngine engine_;
  TBorderStyle borderStyle_ = bsNone;
  int pixelsPerInch_ = 0;
  bool oldCreateOrder_ = false;
  TSize layoutSize_;
};

class TPopupCalculatorEx : public TCalculatorEx {
  TALVIK_CLASS(TPopupCalculatorEx, TCalculatorEx)
  explicit TPopupCalculatorEx(TComponent* AOwner);

  bool Flat() const { return flat_; }
  void SetFlat(bool Value);
  // The display as a float (Null in the error state); writing clears and shows the value.
  TVariant Value() const;
  void SetValue(const TVariant& Value);
  bool CanFocus() override { return false; }
  void CalcKey(char32_t Key) override;
  int BorderWidth() const { return Ctl3D() ? 2 : 0; }

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void Dispatch(TMessage& Message) override;

 private:
  bool flat_ = false;
};

// The message that closes an open popup calculator without accepting.
inline constexpr UINT WM_CALCULATOR_CLOSE = WM_USER + 101;
