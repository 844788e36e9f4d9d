#include <windows.h>

#include "device/display_discovery.h"
#include "device/usb_display_device.h"

namespace lptlcd {

// The pipe-taking constructor takes an empty owner as "not open" and starts
// with a zeroed packet.
UsbDisplayDevice::UsbDisplayDevice()
    : UsbDisplayDevice(OpenDevicePipe(kOutputPipeName)) {}

}  // namespace lptlcd
