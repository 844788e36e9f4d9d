#pragma once
// Helpers for the display model tests: packets from bytes, and the screen
// read back as the column bytes the packets speak in.

#include <cstdint>
#include <initializer_list>
#include <string>

#include "tools/lcdsim/display_model.h"

namespace lptlcd::sim {

inline PacketEffect Apply(DisplayModel& model, std::initializer_list<int> bytes) {
  std::uint8_t packet[kPacketSize] = {};
  int i = 0;
  for (const int byte : bytes) {
    if (i < kPacketSize) packet[i++] = static_cast<std::uint8_t>(byte);
  }
  return model.ApplyPacket(packet);
}

// WriteText packets for a string, as the device sends them.
inline void WriteText(DisplayModel& model, const std::string& text) {
  std::size_t sent = 0;
  while (sent < text.size()) {
    std::uint8_t packet[kPacketSize] = {0x02, static_cast<std::uint8_t>(text.size() - sent)};
    for (int i = 0; i < 6 && sent < text.size(); ++i) packet[2 + i] = static_cast<std::uint8_t>(text[sent++]);
    model.ApplyPacket(packet);
  }
}

// Pixel column x of a text row as one byte, bit 0 = the row's top pixel.
inline int ColumnByte(const DisplayModel& model, int x, int row) {
  int byte = 0;
  for (int bit = 0; bit < 8; ++bit) {
    if (model.Pixel(x, row * 8 + bit)) byte |= 1 << bit;
  }
  return byte;
}

inline int LitPixelCount(const DisplayModel& model) {
  int count = 0;
  for (int y = 0; y < kScreenHeight; ++y) {
    for (int x = 0; x < kScreenWidth; ++x) count += model.Pixel(x, y) ? 1 : 0;
  }
  return count;
}

}  // namespace lptlcd::sim
