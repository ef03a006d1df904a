// Timers and panels.
#pragma once

#include "platform/gui/Controls.h"

// Calls OnTimer every Interval milliseconds while Enabled; an interval of 0 never fires.
class TTimer : public TComponent {
  TALVIK_CLASS(TTimer, TComponent)
  explicit TTimer(TComponent* AOwner);
  ~TTimer() override;
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool Value);
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned Value);
  TNotifyEvent OnTimer;
  void SetOnTimer(TNotifyEvent Value);
  virtual void Timer();

 private:
  void UpdateTimer();
  HWND window_ = nullptr;
  bool enabled_ = true;
  unsigned interval_ = 1000;
};

class TCustomPanel : public TCustomControl {
  TALVIK_CLASS(TCustomPanel, TCustomControl)
  explicit TCustomPanel(TComponent* AOwner);
  TBevelCut BevelInner() const { return bevelInner_; }
  void SetBevelInner(TBevelCut Value);
  TBevelCut BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TBevelCut Value);
  int BevelWidth() const { return bevelWidth_; }
  void SetBevelWidth(int Value);
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int Value);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle Value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment Value);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void AdjustClientRect(TRect& Rect) override;
  void Paint() override;

 private:
  TBevelCut bevelInner_ = bvNone;
  TBevelCut bevelOuter_ = bvRaised;
  int bevelWidth_ = 1;
  int borderWidth_ = 0;
  TBorderStyle borderStyle_ = bsNone;
  TAlignment alignment_ = taCenter;
};

class TPanel : public TCustomPanel {
  TALVIK_CLASS(TPanel, TCustomPanel)
  using TCustomPanel::TCustomPanel;
};
