// Speed buttons: windowless buttons with a glyph, grouped or alone, raised or flat.
#pragma once

#include <memory>

#include "platform/gui/StdCtrls.h"

enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
enum TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };
using TNumGlyphs = int;

class TSpeedButton : public TGraphicControl {
  TALVIK_CLASS(TSpeedButton, TGraphicControl)
  explicit TSpeedButton(TComponent* AOwner);
  ~TSpeedButton() override;

  // A strip of NumGlyphs images of equal width: up, disabled, down, exclusive (down and held).
  TBitmap* Glyph() { return glyph_.get(); }
  void SetGlyph(TBitmap* Value);
  TNumGlyphs NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(TNumGlyphs Value);
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout Value);
  int Margin() const { return margin_; }
  void SetMargin(int Value);
  int Spacing() const { return spacing_; }
  void SetSpacing(int Value);
  bool Flat() const { return flat_; }
  void SetFlat(bool Value);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool Value);
  // Buttons of one parent with the same GroupIndex (> 0) stay down one at a time.
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int Value);
  bool Down() const { return down_; }
  void SetDown(bool Value);
  bool AllowAllUp() const { return allowAllUp_; }
  void SetAllowAllUp(bool Value);
  TButtonState State() const { return state_; }
  bool MouseInControl() const { return mouseInControl_; }
  void Click() override;
  void Dispatch(TMessage& Message) override;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

 private:
  void UpdateExclusive();
  std::unique_ptr<TBitmap> glyph_;
  TNumGlyphs numGlyphs_ = 1;
  TButtonLayout layout_ = blGlyphLeft;
  int margin_ = -1;
  int spacing_ = 4;
  bool flat_ = false;
  bool transparent_ = true;
  int groupIndex_ = 0;
  bool down_ = false;
  bool allowAllUp_ = false;
  bool dragging_ = false;
  bool mouseInControl_ = false;
  TButtonState state_ = bsUp;
};
