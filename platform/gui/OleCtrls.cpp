#include "platform/gui/OleCtrls.h"

TOleControl::TOleControl(TComponent* AOwner) : TWinControl(AOwner) {}

TOleControl::~TOleControl() = default;

void TOleControl::CreateControl() {
  InitControlData();
  if (!controlData_) throw EOleError("No control data for " + ClassName());
  object_ = CreateComObject(controlData_->ClassID);
}
