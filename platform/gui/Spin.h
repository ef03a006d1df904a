// Spin edits: an integer edit with up and down buttons beside it.
#pragma once

#include "platform/gui/StdCtrls.h"

class TSpinButton;

class TSpinEdit : public TCustomEdit {
  TALVIK_CLASS(TSpinEdit, TCustomEdit)
  explicit TSpinEdit(TComponent* AOwner);
  // MinValue = MaxValue = 0 leaves the value unbounded.
  int MinValue() const { return minValue_; }
  void SetMinValue(int Value);
  int MaxValue() const { return maxValue_; }
  void SetMaxValue(int Value);
  int Increment() const { return increment_; }
  void SetIncrement(int Value) { increment_ = Value; }
  bool EditorEnabled() const { return editorEnabled_; }
  void SetEditorEnabled(bool Value) { editorEnabled_ = Value; }
  // The number in the text; text that is no number answers MinValue.
  int Value();
  void SetValue(int Value);
  void UpClick();
  void DownClick();
  TSpinButton* Button() const { return button_; }

 protected:
  void CreateWnd() override;
  void Dispatch(TMessage& Message) override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void KeyPress(char32_t& Key) override;
  void DoExit() override;

 private:
  bool Bounded() const { return !(minValue_ == 0 && maxValue_ == 0); }
  int Clamped(long long Value) const;
  void SetEditRect();
  TSpinButton* button_ = nullptr;
  int minValue_ = 0;
  int maxValue_ = 0;
  int increment_ = 1;
  bool editorEnabled_ = true;
};

// The pair of arrow buttons of a spin edit.
class TSpinButton : public TCustomControl {
  TALVIK_CLASS(TSpinButton, TCustomControl)
  explicit TSpinButton(TComponent* AOwner);
  TNotifyEvent OnUpClick;
  TNotifyEvent OnDownClick;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void Dispatch(TMessage& Message) override;

 private:
  int pressed_ = 0;  // 1 up, 2 down
};
