// The form's property-storage interceptor: what a storage manager would save and restore of a form
// instead of its raw properties (its normal-position bounds, even while it is maximised or minimised,
// its window state, active control and the screen resolution the bounds were taken at).
#pragma once

#include "grid/PropFilerEx.h"
#include "platform/gui/Forms.h"

class TFormStoragePropertyInterceptor : public TStoragePropertyInterceptor {
  TALVIK_CLASS(TFormStoragePropertyInterceptor, TStoragePropertyInterceptor)
  // Takes the target form's normal-position bounds, pixels per inch, window state and active control.
  explicit TFormStoragePropertyInterceptor(TObject* ATarget);

  // The bounds read live from the form's normal-position rectangle (0 when the target is no form);
  // writing keeps the value for AfterPropertiesRead (Left and Top also mark a position change).
  int Left() const { return NormalBounds().Left; }
  void SetLeft(int Value);
  int Top() const { return NormalBounds().Top; }
  void SetTop(int Value);
  int Width() const { return NormalBounds().Width(); }
  void SetWidth(int Value) { width_ = Value; }
  int Height() const { return NormalBounds().Height(); }
  void SetHeight(int Value) { height_ = Value; }
  int PixelsPerInch() const { return pixelsPerInch_; }
  void SetPixelsPerInch(int Value) { pixelsPerInch_ = Value; }
  TWindowState WindowState() const { return windowState_; }
  void SetWindowState(TWindowState Value) { windowState_ = Value; }
  TWinControl* ActiveControl() const { return activeControl_; }
  void SetActiveControl(TWinControl* Value) { activeControl_ = Value; }
  bool PositionChanged() const { return positionChanged_; }

  // Puts the kept values back on the form: bounds scaled to the screen's resolution, the window state
  // and active control, the bounds into the restored rectangle of a maximised or minimised form; a
  // centred form whose position was restored keeps that position (poDesigned).
  void AfterPropertiesRead() override;

 private:
  TCustomForm* Form() const;
  TRect NormalBounds() const;

  int left_ = 0;
  int top_ = 0;
  int width_ = 0;
  int height_ = 0;
  int pixelsPerInch_ = 0;
  TWindowState windowState_ = wsNormal;
  TWinControl* activeControl_ = nullptr;
  bool positionChanged_ = false;
};

// The unit's start: registers the interceptor for forms (the grid unit's start calls it).
void RegisterFormInterceptor();
