#pragma once
// What travels to the display: fixed 8-byte packets of a command code, a
// value and up to six data bytes, and the codes and control values that the
// display knows. Shared by the device, the checks and the virtual display.

#include <cstdint>

namespace lptlcd {

constexpr int kPacketSize = 8;
constexpr int kPacketDataSize = 6;

// Command codes, byte 0 of a packet.
constexpr std::uint8_t kCommandControl = 0x01;
constexpr std::uint8_t kCommandText = 0x02;
constexpr std::uint8_t kCommandPosition = 0x03;
constexpr std::uint8_t kCommandGlyph = 0x04;
constexpr std::uint8_t kCommandBlock = 0x12;

// Values of a control packet (command 0x01).
constexpr std::uint8_t kControlStart = 0x01;
constexpr std::uint8_t kControlClear = 0x02;
constexpr std::uint8_t kControl3 = 0x03;
constexpr std::uint8_t kControl4 = 0x04;
constexpr std::uint8_t kControl47 = 0x47;

constexpr bool IsKnownControl(std::uint8_t value) {
  return value == kControlStart || value == kControlClear || value == kControl3 ||
         value == kControl4 || value == kControl47;
}

// Custom characters the display holds: codes 0 to 7.
constexpr int kGlyphCodes = 8;
// The furthest pixel column a position packet can name.
constexpr int kFurthestPosition = 255;

// The display: 122 by 32 pixels, text in cells six pixels wide and eight
// high, 20 whole cells a row, four rows.
constexpr int kDisplayWidth = 122;
constexpr int kDisplayHeight = 32;
constexpr int kCellWidthPixels = 6;
constexpr int kCellHeightPixels = 8;
constexpr int kDisplayTextColumns = 20;
constexpr int kDisplayTextRows = 4;

// The text cells of a row, the partial 21st column included.
constexpr int kScreenColumns = kDisplayTextColumns + 1;

// What every text cell should show, a character code a cell.
struct ScreenCodes {
  std::uint8_t cell[kDisplayTextRows][kScreenColumns];
};
constexpr std::uint8_t kBlankCode = 0x20;

}  // namespace lptlcd
