#pragma once
// What the 122x32 display does with the packets it receives: a monochrome
// framebuffer, a text cursor and eight custom glyphs. Portable, so the same
// picture can be rebuilt from a packet log on any machine.

#include <array>
#include <cstdint>
#include <string>

#include "device/display_packet.h"

namespace lptlcd::sim {

using lptlcd::kPacketSize;
constexpr int kScreenWidth = lptlcd::kDisplayWidth;
constexpr int kScreenHeight = lptlcd::kDisplayHeight;
constexpr int kCellWidth = lptlcd::kCellWidthPixels;    // pixels a character advances the cursor
constexpr int kCellHeight = lptlcd::kCellHeightPixels;  // pixels of one text row
constexpr int kTextColumns = lptlcd::kDisplayTextColumns;  // whole cells on a row (a 21st shows two columns)
constexpr int kTextRows = lptlcd::kDisplayTextRows;
constexpr int kGlyphCount = lptlcd::kGlyphCodes;
constexpr int kGlyphColumns = lptlcd::kPacketDataSize;

// How a packet affected the display.
enum class PacketEffect {
  kApplied,      // a known command, carried out (it may have drawn nothing)
  kNoEffect,     // a known command that changes nothing visible
  kRejected,     // a known command whose arguments the display refuses
  kUnknown,      // a command or control code the display does not know
};

const char* PacketEffectName(PacketEffect effect);

// Cell contents that TextRow cannot name as one character.
constexpr int kCellMixed = -1;

class DisplayModel {
 public:
  DisplayModel();

  // Carries out one 8-byte packet: command, value, six data bytes.
  PacketEffect ApplyPacket(const std::uint8_t packet[kPacketSize]);

  // What the display shows once powered on again, as after a resume from
  // sleep: exactly a new model's screen, cursor and custom glyphs. The packet
  // counts go on, for they count the whole run.
  void PowerOn();

  // True for a lit pixel; anything outside the screen is dark.
  bool Pixel(int x, int y) const;

  // The text cursor: pixel column and text row of the next character.
  int CursorX() const { return cursorX; }
  int CursorRow() const { return cursorRow; }

  // The six column bytes of a custom glyph (bit 0 = top row).
  const std::array<std::uint8_t, kGlyphColumns>& Glyph(int code) const;

  // The code last drawn exactly in cell (column, row), 0x20 for a blank
  // cell, kCellMixed when a character drawn off the cell grid covers part of
  // it. Outside the grid: kCellMixed.
  int CellCode(int column, int row) const;

  // Best-effort text of a row, kTextColumns characters: printable ASCII as
  // itself, a custom glyph as '*', anything else as '?'.
  std::string TextRow(int row) const;

  // Packets seen, and how many of them were refused or unknown.
  std::uint64_t PacketCount() const { return packetCount; }
  std::uint64_t IgnoredCount() const { return ignoredCount; }

 private:
  void Clear();
  void DrawCharacter(std::uint8_t code);
  void DrawColumns(int x, int y, const std::uint8_t* columns, int count, int rows);
  void RecordCell(int x, int row, std::uint8_t code);

  std::array<std::array<bool, kScreenWidth>, kScreenHeight> pixels;
  std::array<std::array<std::uint8_t, kGlyphColumns>, kGlyphCount> glyphs;
  // One more cell than kTextColumns: the partial cell at the right edge.
  std::array<std::array<int, kTextColumns + 1>, kTextRows> cells;
  int cursorX = 0;
  int cursorRow = 0;
  std::uint64_t packetCount = 0;
  std::uint64_t ignoredCount = 0;
};

}  // namespace lptlcd::sim
