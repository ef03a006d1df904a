// Hosting a control known only by its class identifier: the object is made through the class
// registry and reached by late-bound calls through OleObject.
#pragma once

#include <memory>

#include "platform/gui/Controls.h"
#include "platform/rtl/ComObj.h"

// What the host reads of a control class; a control without events or properties of its own leaves
// everything but ClassID empty.
struct TControlData {
  TGUID ClassID;
  TGUID EventIID;
  int EventCount = 0;
  const int* EventDispIDs = nullptr;
  int PropCount = 0;
  int Flags = 0;
};

class TOleControl : public TWinControl {
  TALVIK_CLASS(TOleControl, TWinControl)
  explicit TOleControl(TComponent* AOwner);
  ~TOleControl() override;

  // The object's dispatch interface (nullptr until CreateControl succeeded).
  TDispatchObject* OleObject() const { return object_.get(); }

 protected:
  // Points ControlData at the control class's record.
  virtual void InitControlData() = 0;
  // Asks InitControlData for the record and makes the object of its class; raises when it cannot.
  // A derived class calls it at the end of its constructor, once its record is filled.
  void CreateControl();
  TControlData* ControlData() const { return controlData_; }
  void SetControlData(TControlData* Value) { controlData_ = Value; }

 private:
  TControlData* controlData_ = nullptr;
  std::unique_ptr<TDispatchObject> object_;
};
