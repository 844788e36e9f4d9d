#pragma once
// The security of the named objects the program shares with the producers
// of port writes (and of its one-copy-per-session object).
//
// By default a named object gets the security of its creator's token, and
// that is wrong both ways once one side runs elevated (old LCD software is
// often set to "Run as administrator", as the real port drivers needed it):
// an elevated token's default DACL grants only Administrators (a deny-only
// group in the same user's normal token) and SYSTEM, and the object gets a
// High mandatory label, the creator's integrity level, whose no-write-up
// keeps every Medium process from setting the event, releasing the mutex or
// writing the ring. So the objects are made with a descriptor that grants
// this user (whatever the elevation) and SYSTEM all access, and labels them
// Medium, where Windows has labels (Vista and later), so that only a
// low-integrity process is kept from writing.

#include <windows.h>

#include "common/win32_handles.h"

namespace lptlcd {

// The descriptor for this process's user, or none (objects then get the
// default security) when it cannot be built. The calls it needs are looked up
// in advapi32 at run time, so the port-I/O DLL imports from kernel32 alone.
class SameUserSecurity {
 public:
  SameUserSecurity();
  SameUserSecurity(const SameUserSecurity&) = delete;
  SameUserSecurity& operator=(const SameUserSecurity&) = delete;

  // For CreateMutexA and the like; null when there is no descriptor.
  SECURITY_ATTRIBUTES* Attributes() { return descriptor ? &attributes : nullptr; }

 private:
  UniqueLocalMemory descriptor;
  SECURITY_ATTRIBUTES attributes = {};
};

}  // namespace lptlcd
