#pragma once
// An HD44780 controller as its datasheet describes it, written from the
// datasheet and not from lptlcd: the oracle that says what a module would
// show for the bytes the driving software writes. It takes bus writes on
// the 8-bit bus (register select and a byte) and keeps DDRAM, CGRAM, the one
// address counter and the modes; the glass is that of a 20x2 module.

#include <array>
#include <cstdint>

namespace lptlcd::test {

class Hd44780Chip {
 public:
  static constexpr int kGlassColumns = 20;
  static constexpr int kGlassLines = 2;
  using CharacterRows = std::array<std::uint8_t, 8>;  // bits 4 (left) to 0, top row first

  // The state after the internal reset at power-on.
  Hd44780Chip();

  // One write cycle: an instruction (registerSelect false) or a data byte.
  void Write(bool registerSelect, std::uint8_t byte);

  // The character code the glass shows at (column, line).
  std::uint8_t ShownCode(int column, int line) const;
  // Codes 0x00-0x0F show CGRAM's characters (8-15 are 0-7 again).
  static bool IsCustom(std::uint8_t code) { return code < 0x10; }
  CharacterRows CustomRows(std::uint8_t code) const;

  // The modes, for telling what a session asked of the chip.
  bool DisplayOn() const { return displayOn; }
  bool CursorShown() const { return cursorOn || blinkOn; }
  bool EightBitBus() const { return eightBit; }
  bool TwoLines() const { return twoLines; }
  bool Increments() const { return increment; }
  bool ShiftsOnWrite() const { return shiftOnWrite; }
  int DisplayShift() const { return shift; }
  bool AddressesCgram() const { return inCgram; }
  std::uint8_t AddressCounter() const { return ac; }
  // Whether a DDRAM address exists in the present line mode.
  bool DdramAddressExists(std::uint8_t address) const;

 private:
  void Instruction(std::uint8_t byte);
  void Data(std::uint8_t byte);
  // Moves the address counter one step as I/D says, within the memory it
  // points into.
  void StepAddress(bool up);
  void ShiftDisplay(bool right);

  std::array<std::uint8_t, 0x80> ddram;
  std::array<std::uint8_t, 0x40> cgram;
  std::uint8_t ac = 0;
  bool inCgram = false;
  bool increment = true;
  bool shiftOnWrite = false;
  int shift = 0;  // cells the display is shifted to the left, 0-39
  bool displayOn = false;
  bool cursorOn = false;
  bool blinkOn = false;
  bool eightBit = true;
  bool twoLines = false;
};

}  // namespace lptlcd::test
