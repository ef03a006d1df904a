#include "app/axControl.h"

TAxControl::TAxControl(TComponent* AOwner, const TGUID& ClassID) : TOleControl(AOwner) {
  controlData_ = TControlData{};
  controlData_.ClassID = ClassID;
  CreateControl();
  TControlStyle style = ControlStyle();
  style.Include(csClickEvents);
  SetControlStyle(style);
}

void TAxControl::InitControlData() {
  SetControlData(&controlData_);
}
