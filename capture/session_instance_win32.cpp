#include "capture/session_instance.h"

#include "ring/object_security.h"

namespace lptlcd {

InstanceClaim ClaimSessionInstance(UniqueKernelHandle& held) {
  // With the ring's descriptor, so that an elevated copy and a normal one
  // of the same user see each other.
  SameUserSecurity security;
  held.Reset(::CreateMutexA(security.Attributes(), FALSE, kSessionInstanceName));
  const DWORD error = ::GetLastError();
  if (held && error == ERROR_ALREADY_EXISTS) {
    held.Reset();
    return InstanceClaim::kAnotherCopyRuns;
  }
  if (!held) return error == ERROR_ACCESS_DENIED ? InstanceClaim::kAnotherCopyRuns : InstanceClaim::kUnavailable;
  return InstanceClaim::kClaimed;
}

}  // namespace lptlcd
