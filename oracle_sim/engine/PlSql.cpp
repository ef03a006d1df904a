#include "oracle_sim/engine/EngineState.h"
#include "oracle_sim/engine/Errors.h"

namespace oracle_sim {
void SessionState::ExecutePlSql(CursorState&) {
  Raise(3001);
}
}  // namespace oracle_sim
