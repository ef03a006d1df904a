// A simulated instance with the session monitor's own statement open on it, seen as a plain dataset:
// the grid's tests include no header of the Oracle units (their cursor type is not the window layer's).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/db/DB.h"

namespace gridtest {

class SimSessionList {
 public:
  // A fresh instance in a folder of the test's own, a session of the system user and the session list
  // statement.
  SimSessionList();
  ~SimSessionList();
  TDataSet* DataSet() const;
  // Another statement of the same session as an open dataset (owned by the instance holder).
  TDataSet* OpenQuery(const std::string& Sql);
  void SetReadOnly(bool Value);
  // Simulated user sessions on the instance (some ACTIVE, some waiting), stepped a few rounds.
  void StartWorkload(int Sessions);
  // One more round of the workload's sessions.
  void StepWorkload();
  // Query by example: the colours the mode gives bound controls, and the mode itself. The controls
  // are looked for among the components of Form (what the application's forms would be).
  void SetQBEColors(int32_t FontColor, int32_t BackgroundColor);
  void SetQBEMode(bool Value, TComponent* Form);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace gridtest
