#include "tests/oracle/packet_check.h"

#include <cstdio>

#include "device/display_packet.h"
#include "tools/packets/packet_text.h"

namespace lptlcd {

namespace {

// The emulator sends at most this many characters in one text run, so one
// packet always carries a whole run.
constexpr int kMaxTextRun = kPacketDataSize;
// A module's glass takes up to all four of the display's text rows.
constexpr int kTextRows = kDisplayTextRows;

std::string Hex(std::uint8_t byte) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02x", static_cast<unsigned>(byte));
  return text;
}

}  // namespace

int PacketDataCount(std::uint8_t command, std::uint8_t value) {
  switch (command) {
    case kCommandControl:
      if (!IsKnownControl(value)) return -1;
      return value == kControl47 ? 1 : 0;
    case kCommandText:
    case kCommandBlock:
      return value < kPacketDataSize ? value : kPacketDataSize;
    case kCommandPosition:
      return 1;
    case kCommandGlyph:
      return kPacketDataSize;
    default:
      return -1;
  }
}

std::string CheckPacket(const std::uint8_t* packet) {
  const std::uint8_t command = packet[0];
  const std::uint8_t value = packet[1];
  const int count = PacketDataCount(command, value);
  if (count < 0) {
    if (command == kCommandControl) return "unknown control value " + Hex(value);
    return "unknown command " + Hex(command);
  }
  if (command == kCommandText) {
    if (value == 0) return "text packet without characters";
    if (value > kMaxTextRun)
      return "text run of " + std::to_string(value) + " characters, more than six";
  }
  if (command == kCommandGlyph && value >= kGlyphCodes) {
    return "glyph code " + std::to_string(value) + " is not 0 to 7";
  }
  if (command == kCommandPosition && packet[2] >= kTextRows) {
    return "position row " + std::to_string(packet[2]) + " is not 0 to 3";
  }
  for (int i = 2 + count; i < kPacketSize; ++i) {
    if (packet[i] != 0) {
      return "byte " + std::to_string(i) + ", past the data, is " + Hex(packet[i]) + ", not 0";
    }
  }
  return std::string();
}

std::string CheckPackets(const std::uint8_t* bytes, std::size_t size) {
  std::size_t index = 0;
  for (; (index + 1) * kPacketSize <= size; ++index) {
    const std::uint8_t* packet = bytes + index * kPacketSize;
    std::string fault = CheckPacket(packet);
    if (!fault.empty()) {
      return "packet " + std::to_string(index) + " (" + FormatPacket(packet) + "): " + fault;
    }
  }
  const std::size_t left = size - index * kPacketSize;
  if (left != 0) {
    return "partial packet at offset " + std::to_string(index * kPacketSize) + ": " +
           std::to_string(left) + " of 8 bytes";
  }
  return std::string();
}

}  // namespace lptlcd
