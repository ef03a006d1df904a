// A host for a control known only by its class identifier, with no events and no properties of its
// own: it is made through the class registry and reached by late-bound calls through OleObject.
#pragma once

#include "platform/gui/OleCtrls.h"

class TAxControl : public TOleControl {
  TALVIK_CLASS(TAxControl, TOleControl)
  // Makes the control's object from ClassID; raises when the class cannot be made.
  TAxControl(TComponent* AOwner, const TGUID& ClassID);

 protected:
  void InitControlData() override;

 private:
  TControlData controlData_{};
};
