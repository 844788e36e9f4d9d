#pragma once
// Which of Windows' notices concern the display, and how. Portable (the
// message numbers are Windows' own, checked against its headers where the
// window is made), so that the decision is tested anywhere: Wine sends none
// of these for a display, and only real Windows sends them all.

#include <cstdint>

#include "device/display_recovery.h"

namespace lptlcd {

// The messages and events, as <windows.h>, <dbt.h> and <pbt.h> number them.
enum WindowsMessage : std::uint32_t { kWmPowerBroadcast = 0x0218, kWmDeviceChange = 0x0219 };
enum DeviceEvent : std::uint32_t {
  kDbtDevNodesChanged = 0x0007, kDbtDeviceArrival = 0x8000, kDbtDeviceRemoveComplete = 0x8004
};
enum DeviceType : std::uint32_t { kDbtDevTypDeviceInterface = 0x0005 };
enum PowerEvent : std::uint32_t {
  kPbtApmResumeCritical = 0x0006, kPbtApmResumeSuspend = 0x0007, kPbtApmResumeAutomatic = 0x0012
};

struct SystemMessage {
  std::uint32_t message = 0;
  std::uint32_t event = 0;       // wParam: the DBT_ or PBT_ event
  std::uint32_t deviceType = 0;  // a device event's dbch_devicetype; 0 without one
};

// True, with the notice in `notice`, when the message concerns the display:
// - any device node that comes or goes (sent to every top-level window);
// - an interface of the display's class that arrives or is removed (sent to
//   the window registered for them);
// - every resume from sleep or hibernation. Windows sends
//   PBT_APMRESUMEAUTOMATIC on each (PBT_APMRESUMECRITICAL alone after a
//   critical suspend); PBT_APMRESUMESUSPEND only follows it when a person
//   is there, and would redraw the display a second time.
constexpr bool DisplayNoticeFor(const SystemMessage& m, DisplayNotice& notice) {
  if (m.message == kWmDeviceChange) {
    const bool interfaceEvent = (m.event == kDbtDeviceArrival || m.event == kDbtDeviceRemoveComplete) &&
                                m.deviceType == kDbtDevTypDeviceInterface;
    if (m.event != kDbtDevNodesChanged && !interfaceEvent) return false;
    notice = DisplayNotice::kDevicesChanged;
    return true;
  }
  if (m.message == kWmPowerBroadcast &&
      (m.event == kPbtApmResumeAutomatic || m.event == kPbtApmResumeCritical)) {
    notice = DisplayNotice::kResumed;
    return true;
  }
  return false;
}

}  // namespace lptlcd
