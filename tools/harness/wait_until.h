#pragma once
// Waiting for a condition that other threads make true and announce by
// setting an auto-reset event.

#include <windows.h>

namespace lptlcd {

// Checks `done` and, until it holds, waits for `changed` to be set, for at
// most boundMs in all (GetTickCount; its wrap is harmless). True when `done`
// held in time.
template <typename Done>
bool WaitUntil(HANDLE changed, DWORD boundMs, Done done) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    if (done()) return true;
    const DWORD elapsed = ::GetTickCount() - start;
    if (elapsed >= boundMs) return false;
    ::WaitForSingleObject(changed, boundMs - elapsed);
  }
}

}  // namespace lptlcd
