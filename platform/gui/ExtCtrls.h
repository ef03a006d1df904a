// Timers and panels.
#pragma once

#include <algorithm>

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

// ---------------------------------------------------------------- bevels, shapes, splitters, images

enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum TBevelStyle { bsLowered, bsRaised };

class TBevel : public TGraphicControl {
  TALVIK_CLASS(TBevel, TGraphicControl)
  explicit TBevel(TComponent* AOwner);
  TBevelShape Shape() const { return shape_; }
  void SetShape(TBevelShape Value);
  TBevelStyle Style() const { return style_; }
  void SetStyle(TBevelStyle Value);

 protected:
  void Paint() override;

 private:
  TBevelShape shape_ = bsBox;
  TBevelStyle style_ = bsLowered;
};

enum TShapeType { stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle };

class TShape : public TGraphicControl {
  TALVIK_CLASS(TShape, TGraphicControl)
  explicit TShape(TComponent* AOwner);
  TShapeType Shape() const { return shape_; }
  void SetShape(TShapeType Value);
  TPen* Pen() { return &pen_; }
  TBrush* Brush() { return &brush_; }

 protected:
  void Paint() override;

 private:
  TShapeType shape_ = stRectangle;
  TPen pen_;
  TBrush brush_;
};

// A bar between two aligned controls; dragging it resizes the control it is aligned against.
class TSplitter : public TGraphicControl {
  TALVIK_CLASS(TSplitter, TGraphicControl)
  explicit TSplitter(TComponent* AOwner);
  int MinSize() const { return minSize_; }
  void SetMinSize(int Value) { minSize_ = std::max(1, Value); }
  bool Beveled() const { return beveled_; }
  void SetBeveled(bool Value);
  // The control the splitter resizes (the neighbour on the side it is aligned to).
  TControl* FindControl();
  TNotifyEvent OnMoved;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

 private:
  int minSize_ = 30;
  bool beveled_ = false;
  TControl* control_ = nullptr;
  TPoint down_;
  int startSize_ = 0;
};

class TImage : public TGraphicControl {
  TALVIK_CLASS(TImage, TGraphicControl)
  explicit TImage(TComponent* AOwner);
  ~TImage() override;
  TPicture* Picture() { return picture_.get(); }
  void SetPicture(TPicture* Value);
  bool Stretch() const { return stretch_; }
  void SetStretch(bool Value);
  bool Center() const { return center_; }
  void SetCenter(bool Value);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool Value);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool Value);
  TCanvas* Canvas();  // the picture's bitmap canvas (made on demand)

 protected:
  void Paint() override;

 private:
  void PictureChanged();
  std::unique_ptr<TPicture> picture_;
  bool stretch_ = false;
  bool center_ = false;
  bool transparent_ = false;
  bool autoSize_ = false;
};
