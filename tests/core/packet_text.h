#pragma once
// Test helpers: a device whose packets can be read back as "02 01 41 ..." lines.

#include <cstdint>
#include <string>
#include <vector>

#include "device/packet_capture.h"
#include "device/packet_text.h"
#include "device/usb_display_device.h"

namespace lptlcd::testing {

// A device over a capture, with its packets read back in order.
class CapturedDevice {
 public:
  CapturedDevice() : device_(capture_.OpenWriter()) {}
  UsbDisplayDevice& Device() { return device_; }
  std::vector<std::string> TakePackets() { return FormatPackets(capture_.TakeBytes()); }
  void Disconnect() { capture_.Disconnect(); }

 private:
  PacketCapture capture_;
  UsbDisplayDevice device_;
};

}  // namespace lptlcd::testing
