#include "tools/packets/packet_text.h"

#include "device/usb_display_device.h"

namespace lptlcd {

std::string FormatPacket(const std::uint8_t* packet) {
  static const char kHex[] = "0123456789abcdef";
  std::string line;
  line.reserve(3 * kPacketSize);
  for (int i = 0; i < kPacketSize; ++i) {
    if (i != 0) line += ' ';
    line += kHex[packet[i] >> 4];
    line += kHex[packet[i] & 0x0F];
  }
  return line;
}

std::vector<std::string> FormatPackets(const std::vector<std::uint8_t>& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (; start + kPacketSize <= bytes.size(); start += kPacketSize) {
    lines.push_back(FormatPacket(bytes.data() + start));
  }
  if (start != bytes.size()) lines.emplace_back("<partial packet>");
  return lines;
}

}  // namespace lptlcd
