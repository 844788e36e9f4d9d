#pragma once
// An HD44780 controller as its datasheet describes it, written from the
// datasheet and not from lptlcd: the oracle that says what a module would
// show for the pulses the driving software makes. It takes enable pulses
// (register select and the byte on DB7-DB0), on the 8-bit or the 4-bit bus,
// and keeps DDRAM, CGRAM, the one address counter and the modes; and it says
// which DDRAM address each cell of a module's glass shows.

#include <array>
#include <cstdint>
#include <optional>

#include "emulator/module_size.h"

namespace lptlcd::test {

class Hd44780Chip {
 public:
  using CharacterRows = std::array<std::uint8_t, 8>;  // bits 4 (left) to 0, top row first

  // An instruction (registerSelect false) or a data byte, as the chip
  // carries it out once all of it has arrived.
  struct BusByte {
    bool registerSelect;
    std::uint8_t value;
  };

  // The state after the internal reset at power-on.
  Hd44780Chip();

  // One enable pulse with `bus` on DB7-DB0. On the 4-bit bus the chip reads
  // DB7-DB4 only, high nibble first; the byte takes the register select of
  // its first pulse (software keeps it the same on both).
  void Write(bool registerSelect, std::uint8_t bus);
  // The byte this pulse would complete: every pulse on the 8-bit bus, the
  // second of two on the 4-bit bus; none for a first nibble.
  std::optional<BusByte> ByteCompletedBy(bool registerSelect, std::uint8_t bus) const;

  // The DDRAM address the glass of `module` shows at (column, line), both
  // from 0; none where it shows nothing: the display off, a cell of the
  // second controller line in one-line mode, or a cell the module lacks.
  std::optional<std::uint8_t> ShownAddress(ModuleSize module, int column, int line) const;
  std::uint8_t Ddram(std::uint8_t address) const { return ddram[address & 0x7F]; }
  // Codes 0x00-0x0F show CGRAM's characters (8-15 are 0-7 again).
  static bool IsCustom(std::uint8_t code) { return code < 0x10; }
  CharacterRows CustomRows(std::uint8_t code) const;

  // The modes, for telling what a session asked of the chip.
  bool DisplayOn() const { return displayOn; }
  bool CursorShown() const { return cursorOn || blinkOn; }
  bool EightBitBus() const { return eightBit; }
  // On the 4-bit bus, with a byte's high nibble in.
  bool AwaitsLowNibble() const { return highNibble.has_value(); }
  bool TwoLines() const { return twoLines; }
  // The 5x10 font, which only one-line mode has.
  bool TallFont() const { return !twoLines && tallFont; }
  bool Increments() const { return increment; }
  bool ShiftsOnWrite() const { return shiftOnWrite; }
  // Cells the display is shifted to the left, 0-79 (taken modulo 40 in
  // two-line mode).
  int DisplayShift() const { return shift; }
  bool AddressesCgram() const { return inCgram; }
  std::uint8_t AddressCounter() const { return ac; }
  // Whether a DDRAM address exists in the present line mode.
  bool DdramAddressExists(std::uint8_t address) const;

 private:
  void Execute(BusByte byte);
  void Instruction(std::uint8_t byte);
  void Data(std::uint8_t byte);
  // Moves the address counter one step, within the memory it points into.
  void StepAddress(bool up);
  void ShiftDisplay(bool right);

  std::array<std::uint8_t, 0x80> ddram;
  std::array<std::uint8_t, 0x40> cgram;
  std::uint8_t ac = 0;
  bool inCgram = false;
  bool increment = true;
  bool shiftOnWrite = false;
  int shift = 0;
  bool displayOn = false;
  bool cursorOn = false;
  bool blinkOn = false;
  bool eightBit = true;
  bool twoLines = false;
  bool tallFont = false;
  // 4-bit bus: the first pulse of a byte, its nibble in bits 7-4.
  std::optional<BusByte> highNibble;
};

}  // namespace lptlcd::test
