#pragma once
// Where the module's glass lies on the display's four text rows, and so where
// the display shows each DDRAM address. A module up to 20 columns wide keeps
// its lines and columns; a wider one folds each line onto two rows (line 1 on
// rows 1-2, line 2 on rows 3-4). Which address a glass cell shows is the
// controller's to say (Hd44780Controller::ShownAddress).
//
// The default module, unshifted in two-line mode, is shown as it always was:
// every address of a line at its own column, the 21st as a two-pixel sliver
// and those further on (the ones the chip lacks too) past the right edge.

#include <cstdint>

#include "device/display_packet.h"
#include "emulator/chip/hd44780_controller.h"
#include "emulator/module_size.h"

namespace lptlcd {

// Where the display paints the character at a DDRAM address: a text row and
// a column of six-pixel cells (past the edge for some); and whether the chip
// has that address in its present line mode.
struct Place {
  bool shown;
  bool chipHas;
  std::uint8_t row;
  std::uint8_t column;
};

class DisplayLayout {
 public:
  explicit DisplayLayout(ModuleSize shown) : module(shown) {}

  // Works every cell out again from the controller's line mode, display
  // shift and display on/off.
  void Update(const Hd44780Controller& controller);
  // Whether the controller's modes are the ones the layout was worked out for.
  bool Follows(const Hd44780Controller& controller) const {
    return controller.TwoLines() == twoLines && controller.DisplayShift() == shift &&
           controller.DisplayOn() == displayOn;
  }

  // The DDRAM address the display cell shows, or kNoAddress.
  std::uint8_t AddressAt(int row, int column) const { return addressAt[row][column]; }
  const Place& PlaceOf(std::uint8_t address) const { return places[address & hd44780::kDdramAddressMask]; }
  bool DisplayOn() const { return displayOn; }

 private:
  void PlaceByColumn();

  ModuleSize module;
  bool twoLines = false;
  int shift = -1;
  bool displayOn = false;
  std::uint8_t addressAt[kDisplayTextRows][kScreenColumns] = {};
  Place places[hd44780::kDdramSize] = {};
};

}  // namespace lptlcd
