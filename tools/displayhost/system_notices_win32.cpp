// Both are posted, not sent: a sent broadcast waits for every top-level window
// of the session, and a hung one would hold up the display host. Neither
// carries a structure in lParam, so a post carries them across processes.

#include "tools/displayhost/system_notices.h"

#include <windows.h>

#include <dbt.h>

namespace lptlcd {

bool BroadcastDeviceNodesChanged() {
  return ::PostMessageA(HWND_BROADCAST, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0) != FALSE;
}

bool BroadcastResume() {
  return ::PostMessageA(HWND_BROADCAST, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0) != FALSE;
}

}  // namespace lptlcd
