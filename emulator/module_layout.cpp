#include "emulator/module_layout.h"

#include <algorithm>
#include <iterator>

namespace lptlcd {

namespace {

constexpr int kLineLength = 40;  // addresses of a controller line in two-line mode
constexpr int kOneLineLength = 80;
constexpr std::uint8_t kSecondLine = 0x40;

// A module cell's place in the controller: its line (0 or 1) and position
// there, or line -1 for a cell that shows nothing in this mode.
struct ControllerPlace {
  int line;
  int position;
};

ControllerPlace PlaceInController(ModuleSize module, bool twoLines, int line, int column) {
  if (module.columns == 16 && module.lines == 1) {
    // Built as two lines of eight side by side; one line of sixteen in
    // one-line mode.
    if (!twoLines) return {0, column};
    return {column / 8, column % 8};
  }
  // Lines 3 and 4 go on from lines 1 and 2.
  const int controllerLine = line % 2;
  const int position = column + (line / 2) * module.columns;
  if (!twoLines && controllerLine == 1) return {-1, 0};
  return {controllerLine, position};
}

}  // namespace

ModuleLayout::ModuleLayout(ModuleSize moduleSize) : module(moduleSize) { Update(true, 0); }

void ModuleLayout::Update(bool twoLines, int shift) {
  std::fill(&addressAt[0][0], &addressAt[0][0] + sizeof addressAt, kNoAddress);
  std::fill(std::begin(cellOf), std::end(cellOf), kNoAddress);
  const bool folded = module.columns > kDisplayTextColumns;
  for (int line = 0; line < module.lines; ++line) {
    for (int column = 0; column < module.columns; ++column) {
      const ControllerPlace place = PlaceInController(module, twoLines, line, column);
      if (place.line < 0) continue;
      const std::uint8_t address =
          twoLines ? static_cast<std::uint8_t>(place.line * kSecondLine + (place.position + shift) % kLineLength)
                   : static_cast<std::uint8_t>((place.position + shift) % kOneLineLength);
      const int row = folded ? line * 2 + column / kDisplayTextColumns : line;
      const int cell = folded ? column % kDisplayTextColumns : column;
      addressAt[row][cell] = address;
      cellOf[address] = static_cast<std::uint8_t>(row * kScreenColumns + cell);
    }
  }
  if (module == kDefaultModule && twoLines) {
    // The 21st column shows as the two-pixel sliver it always has.
    for (int line = 0; line < 2; ++line) {
      const auto address =
          static_cast<std::uint8_t>(line * kSecondLine + (kDisplayTextColumns + shift) % kLineLength);
      addressAt[line][kDisplayTextColumns] = address;
      cellOf[address] = static_cast<std::uint8_t>(line * kScreenColumns + kDisplayTextColumns);
    }
  }
}

bool ModuleLayout::CellOf(std::uint8_t address, std::uint8_t& row, std::uint8_t& column) const {
  const std::uint8_t cell = cellOf[address & 0x7F];
  if (cell == kNoAddress) return false;
  row = static_cast<std::uint8_t>(cell / kScreenColumns);
  column = static_cast<std::uint8_t>(cell % kScreenColumns);
  return true;
}

}  // namespace lptlcd
