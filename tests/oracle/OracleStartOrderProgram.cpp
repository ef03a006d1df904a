// A program that uses nothing but the session. The linker takes the session's unit before the unit
// that binds the client library, so the session unit's start-up code runs first and must find the
// client lock ready however the program was linked.
#include "oracle/OracleSession.h"

int main() {
  TOracleSession session(nullptr);
  return session.Connected() ? 1 : 0;
}
