/* The call-interface header is plain C too: a C program of the interface compiles against it. */
#include "oracle/OracleCIApi.h"

size_t OciCdaSizeSeenFromC(void);
size_t OciCdaSizeSeenFromC(void) {
  Cda_Def cda;
  OCIStmtExecute_fn execute = 0;
  (void)execute;
  return sizeof cda;
}
