// The entry points whose features come with a later release: each answers ORA-03001 on the error
// handle it was given (or on the logon data area), never a success.
#include <type_traits>

#include "oracle_sim/OciInternal.h"

using namespace oracle_sim::oci;

namespace {

void Note(OCIError* err) {
  if (IsHandle(err, OCI_HTYPE_ERROR)) SetError(err, 3001, "unimplemented feature");
}

void Note(Lda_Def* area) {
  if (area) {
    area->rc = 3001;
    area->v2_rc = -1;
  }
}

template <typename T>
void Note(const T&) {}

struct HostCall {};
struct HandleCall {};

template <typename R, typename Kind, typename... A>
R Unimplemented(A... args) {
  (Note(args), ...);
  if constexpr (std::is_void_v<R>) {
    return;
  } else if constexpr (std::is_same_v<R, sword>) {
    return std::is_same_v<Kind, HostCall> ? 3001 : OCI_ERROR;
  } else {
    return R{};
  }
}

using Kind_HOST = HostCall;
using Kind_OLOG = HostCall;
using Kind_OPINIT = HostCall;
using Kind_EXTRA = HostCall;
using Kind_OCI = HandleCall;
using Kind_ERRTEXT = HandleCall;
using Kind_OCI81 = HandleCall;
using Kind_OCI90 = HandleCall;
using Kind_OCI92 = HandleCall;

}  // namespace

#define TALVIK_STUB_IMPL(group, name, ret, params, args)
#define TALVIK_STUB_UNIMPL(group, name, ret, params, args) \
  extern "C" ret name params {                             \
    return Unimplemented<ret, Kind_##group> args;          \
  }
#define TALVIK_STUB(group, name, kind, ret, params, args) TALVIK_STUB_##kind(group, name, ret, params, args)
TALVIK_OCI_ENTRY_POINTS(TALVIK_STUB)
