#pragma once
// Test helpers: a device whose packets can be read back as "02 01 41 ..." lines.

#include <cstdint>
#include <string>
#include <vector>

#include "device/usb_display_device.h"
#include "tools/packets/packet_capture.h"
#include "tools/packets/packet_text.h"

namespace lptlcd::test {

// A device over a capture, with its packets read back in order.
class CapturedDevice {
 public:
  CapturedDevice() : device(capture.OpenWriter()) {}
  UsbDisplayDevice& Device() { return device; }
  std::vector<std::string> TakePackets() { return FormatPackets(capture.TakeBytes()); }
  std::vector<std::uint8_t> TakeBytes() { return capture.TakeBytes(); }
  void Disconnect() { capture.Disconnect(); }

 private:
  PacketCapture capture;
  UsbDisplayDevice device;
};

}  // namespace lptlcd::test
