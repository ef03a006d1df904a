#include "grid/PropertyInterceptors.h"

namespace {

// The screen's resolution, as the forms are laid out at it.
int ScreenPixelsPerInch() {
  return Screen ? Screen->PixelsPerInch() : 96;
}

bool ShowsPlacement(TCustomForm* Form) {
  return Form->HandleAllocated() && (IsZoomed(Form->Handle()) || IsIconic(Form->Handle()));
}

}  // namespace

TFormStoragePropertyInterceptor::TFormStoragePropertyInterceptor(TObject* ATarget)
    : TStoragePropertyInterceptor(ATarget) {
  TCustomForm* form = Form();
  if (!form) return;
  const TRect r = NormalBounds();
  left_ = r.Left;
  top_ = r.Top;
  width_ = r.Width();
  height_ = r.Height();
  pixelsPerInch_ = ScreenPixelsPerInch();
  windowState_ = form->WindowState();
  activeControl_ = form->ActiveControl();
}

TCustomForm* TFormStoragePropertyInterceptor::Form() const {
  return dynamic_cast<TCustomForm*>(Target());
}

TRect TFormStoragePropertyInterceptor::NormalBounds() const {
  TCustomForm* form = Form();
  if (!form) return TRect();
  if (ShowsPlacement(form)) {
    WINDOWPLACEMENT p;
    if (GetWindowPlacement(form->Handle(), p)) return p.rcNormalPosition;
  }
  return form->BoundsRect();
}

void TFormStoragePropertyInterceptor::SetLeft(int Value) {
  left_ = Value;
  positionChanged_ = true;
}

void TFormStoragePropertyInterceptor::SetTop(int Value) {
  top_ = Value;
  positionChanged_ = true;
}

void TFormStoragePropertyInterceptor::AfterPropertiesRead() {
  TCustomForm* form = Form();
  if (!form) return;
  // bounds kept at another resolution (none stored: as they are)
  const int screen = ScreenPixelsPerInch();
  auto scale = [&](int V) { return pixelsPerInch_ > 0 ? MulDiv(V, screen, pixelsPerInch_) : V; };
  const TRect bounds(scale(left_), scale(top_), scale(left_) + scale(width_), scale(top_) + scale(height_));
  form->SetWindowState(windowState_);
  if (activeControl_) form->SetActiveControl(activeControl_);
  WINDOWPLACEMENT p;
  if (ShowsPlacement(form) && GetWindowPlacement(form->Handle(), p)) {
    p.rcNormalPosition = bounds;
    SetWindowPlacement(form->Handle(), p);
  } else {
    form->SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
  }
  if ((form->Position() == poScreenCenter || form->Position() == poDesktopCenter) &&
      !form->ComponentState().Contains(csDesigning) && positionChanged_)
    form->SetPosition(poDesigned);
}

void RegisterFormInterceptor() {
  RegisterPropertyInterceptor(TCustomForm::StaticClass(), TFormStoragePropertyInterceptor::StaticClass());
}
