/* The call-interface header is plain C too: a C program of the interface compiles against it. */
#include "oracle/OracleCIApi.h"

size_t talvik_oci_c_cda_size(void);
size_t talvik_oci_c_cda_size(void) {
  Cda_Def cda;
  OCIStmtExecute_fn execute = 0;
  (void)execute;
  return sizeof cda;
}
