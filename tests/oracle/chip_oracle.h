#pragma once
// A session followed at the bus beside lptlcd: the chip's model, whether the
// session has asked only for what lptlcd carries out (8-bit bus, two lines,
// addresses counting up, no shifts, nothing written past the 40th address of
// a line), and whether the display's screen is the chip's glass.

#include <string>
#include <vector>

#include "tests/oracle/hd44780_chip.h"
#include "tools/lcdsim/display_model.h"

namespace lptlcd::test {

class ChipOracle {
 public:
  void Write(bool registerSelect, std::uint8_t byte);

  // Empty while lptlcd carries out everything the session asked; otherwise
  // the first thing it does not. Once set it stays: what the chip's memories
  // hold may differ from then on.
  const std::string& NotCarriedOut() const { return notCarriedOut; }
  // Whether the display should now show what the glass shows: everything
  // carried out, and the glass showing characters only (display on, no
  // cursor; lptlcd does not draw the chip's cursor).
  bool Comparable() const;

  // Empty when the display's top two text rows show what the glass shows
  // (a custom character pixel for pixel, others by their code) and its other
  // rows are blank; otherwise the first difference.
  std::string Difference(const lptlcd::sim::DisplayModel& display) const;
  // Empty while the display is not to be judged (not Comparable) or shows
  // what the glass shows; otherwise the difference and both screens as text.
  std::string Judge(const sim::DisplayModel& display) const;
  // The glass as text, custom characters as '*', for failure messages.
  std::string GlassText() const;
  // The display's whole screen when it shows the glass, a string of '0' and
  // '1' a pixel row: custom characters from CGRAM, the others in the
  // display's own font (which stands in for the chip's character ROM).
  std::vector<std::string> GlassPixels() const;

  const Hd44780Chip& Chip() const { return chip; }

 private:
  void NotCarried(const char* what);

  Hd44780Chip chip;
  std::string notCarriedOut;
  // The last DDRAM write was at the end of its line: the chip's address
  // counter went on to the other line, lptlcd's past the line's end.
  bool ranOffLine = false;
};

}  // namespace lptlcd::test
