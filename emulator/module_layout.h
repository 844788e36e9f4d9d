#pragma once
// Where a module's glass lies on the display, and which DDRAM address each
// of its cells shows. A module up to 20 columns wide keeps its lines and
// columns; a wider one folds each line onto two rows (line 1 on rows 1-2,
// line 2 on rows 3-4). What a cell shows follows the chip: in two-line mode
// a cell at position p of its controller line shows (p + shift) mod 40 of
// that line; in one-line mode the first controller line is 80 addresses
// long and the second shows nothing.

#include <cstdint>

#include "device/display_packet.h"
#include "emulator/module_size.h"

namespace lptlcd {

constexpr std::uint8_t kNoAddress = 0xFF;

class ModuleLayout {
 public:
  explicit ModuleLayout(ModuleSize module);

  // Works the cells out again for the chip's line mode and display shift
  // (cells to the left, below 40 or 80).
  void Update(bool twoLines, int shift);

  // The DDRAM address the display cell shows, or kNoAddress.
  std::uint8_t AddressAt(int row, int column) const { return addressAt[row][column]; }
  // The display cell that shows a DDRAM address (0-127); false if none does.
  bool CellOf(std::uint8_t address, std::uint8_t& row, std::uint8_t& column) const;

 private:
  ModuleSize module;
  std::uint8_t addressAt[kDisplayTextRows][kScreenColumns];
  std::uint8_t cellOf[0x80];  // row * kScreenColumns + column, or kNoAddress
};

}  // namespace lptlcd
