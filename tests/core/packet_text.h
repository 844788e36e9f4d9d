#pragma once
// Test helpers: a device whose packets can be read back as "02 01 41 ..." lines.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "device/packet_capture.h"
#include "device/usb_display_device.h"

namespace lptlcd::testing {

inline std::vector<std::string> PacketLines(const std::vector<std::uint8_t>& bytes) {
  std::vector<std::string> lines;
  for (std::size_t start = 0; start + 8 <= bytes.size(); start += 8) {
    std::string line;
    for (std::size_t i = 0; i < 8; ++i) {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%02x", bytes[start + i]);
      if (i != 0) line += ' ';
      line += hex;
    }
    lines.push_back(line);
  }
  if (bytes.size() % 8 != 0) lines.emplace_back("<partial packet>");
  return lines;
}

// A device over a capture, with its packets read back in order.
class CapturedDevice {
 public:
  CapturedDevice() : device_(capture_.OpenWriter()) {}
  UsbDisplayDevice& Device() { return device_; }
  std::vector<std::string> TakePackets() { return PacketLines(capture_.TakeBytes()); }

 private:
  PacketCapture capture_;
  UsbDisplayDevice device_;
};

}  // namespace lptlcd::testing
