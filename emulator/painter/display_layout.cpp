#include "emulator/painter/display_layout.h"

#include <algorithm>
#include <iterator>

namespace lptlcd {

using namespace hd44780;

void DisplayLayout::Update(const Hd44780Controller& controller) {
  twoLines = controller.TwoLines();
  shift = controller.DisplayShift();
  displayOn = controller.DisplayOn();
  std::fill(&addressAt[0][0], &addressAt[0][0] + sizeof addressAt, kNoAddress);
  std::fill(std::begin(places), std::end(places), Place{false, false, 0, 0});
  if (!displayOn) return;
  if (module == kDefaultModule && twoLines && shift % static_cast<int>(kTwoLineLength) == 0) {
    PlaceByColumn();
    return;
  }
  const bool folded = module.columns > kDisplayTextColumns;
  // The default module's 21st column shows as the sliver, shifted or not.
  const int columns = module == kDefaultModule && twoLines ? kScreenColumns : module.columns;
  for (int line = 0; line < module.lines; ++line) {
    for (int column = 0; column < columns; ++column) {
      const std::uint8_t address = controller.ShownAddress(module, line, column);
      if (address == kNoAddress) continue;
      const int row = folded ? line * 2 + column / kDisplayTextColumns : line;
      const int cell = folded ? column % kDisplayTextColumns : column;
      addressAt[row][cell] = address;
      places[address] = Place{true, controller.DdramAddressExists(address), static_cast<std::uint8_t>(row),
                              static_cast<std::uint8_t>(cell)};
    }
  }
}

void DisplayLayout::PlaceByColumn() {
  for (unsigned address = 0; address < kDdramSize; ++address) {
    const auto row = static_cast<std::uint8_t>(address / kLine1Offset);
    const auto column = static_cast<std::uint8_t>(address & kColumnMask);
    places[address] = Place{true, column < kTwoLineLength, row, column};
    if (column < kScreenColumns) addressAt[row][column] = static_cast<std::uint8_t>(address);
  }
}

}  // namespace lptlcd
