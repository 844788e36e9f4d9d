#pragma once
// A session followed at the bus beside lptlcd: the chip's model behind a
// module's glass, whether the session has asked only for what can be judged,
// and whether the display's screen is that glass as lptlcd lays it out.
//
// The layout: a module up to 20 columns wide shows line L on text row L and
// column C on display column C; a wider one folds each line onto two rows
// (columns 1-20, then 21-40), line 1 on rows 1 and 2, line 2 on rows 3 and 4.
// Display cells the module does not reach stay blank.

#include <optional>
#include <string>
#include <vector>

#include "emulator/module_size.h"
#include "tests/oracle/hd44780_chip.h"
#include "tools/lcdsim/display_model.h"

namespace lptlcd::test {

class ChipOracle {
 public:
  explicit ChipOracle(ModuleSize shown = kDefaultModule) : module(shown) {}

  // One enable pulse: register select and the byte on DB7-DB0.
  void Write(bool registerSelect, std::uint8_t bus);

  // Empty while everything the session asked of the chip has an outcome the
  // datasheet defines; otherwise the first thing that has not (text written
  // to a DDRAM address the chip lacks). Once set it stays: what DDRAM holds
  // may differ from then on.
  const std::string& NotCarriedOut() const { return notCarriedOut; }
  // Whether the display should now show what the glass shows: everything
  // carried out, no cursor or blink (lptlcd draws no cursor), and the 5x8
  // font that every module's glass has.
  bool Comparable() const;

  // The DDRAM address whose character display cell (column, row) shows;
  // none for a cell that shows nothing.
  std::optional<std::uint8_t> DisplayedAddress(int column, int row) const;

  // Empty when every whole cell of the display shows what the glass puts
  // there (a custom character pixel for pixel, others by their code, a cell
  // with nothing as a blank); otherwise the first difference.
  std::string Difference(const lptlcd::sim::DisplayModel& display) const;
  // Empty while the display is not to be judged (not Comparable) or shows
  // what the glass shows; otherwise the difference and both screens as text.
  std::string Judge(const sim::DisplayModel& display) const;
  // The glass as the display's four text rows, custom characters as '*',
  // for failure messages.
  std::string GlassText() const;
  // The display's whole screen when it shows the glass, a string of '0' and
  // '1' a pixel row: custom characters from CGRAM, the others in the
  // display's own font (which stands in for the chip's character ROM).
  std::vector<std::string> GlassPixels() const;

  const Hd44780Chip& Chip() const { return chip; }
  ModuleSize Module() const { return module; }

 private:
  void NotCarried(const char* what);

  ModuleSize module;
  Hd44780Chip chip;
  std::string notCarriedOut;
  // The address counter reached a DDRAM address the chip lacks and has not
  // been set since: the datasheet does not say where counting goes from there.
  bool addressLost = false;
};

}  // namespace lptlcd::test
