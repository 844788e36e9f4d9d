#pragma once
// What Windows tells every top-level window about the display, said by a test
// display itself: Wine sends no device or power notices for a display that
// only lives in the registry and a named pipe, so the host that plugs,
// unplugs or resets one posts the broadcasts Windows would.

namespace lptlcd {

// WM_DEVICECHANGE with DBT_DEVNODES_CHANGED, as Windows sends it when a
// device node comes or goes (a display plugged in or unplugged). False when
// the broadcast could not be posted.
bool BroadcastDeviceNodesChanged();

// WM_POWERBROADCAST with PBT_APMRESUMEAUTOMATIC, as Windows sends it after
// every resume from sleep or hibernation. False when it could not be posted.
bool BroadcastResume();

}  // namespace lptlcd
