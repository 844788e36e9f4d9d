#pragma once
// The HD44780 controller itself: its memories, its one address counter, its
// modes and its bus, carried out instruction by instruction as the datasheet
// names them. It knows nothing of the USB display: it says what each bus
// cycle changed, and which DDRAM address each cell of a module's glass shows.
// What the display is sent for it is the painter's business
// (emulator/painter/).

#include <cstdint>

#include "common/lcd_types.h"
#include "emulator/chip/hd44780.h"
#include "emulator/module_size.h"

namespace lptlcd {

// A glass cell that shows no DDRAM address.
constexpr std::uint8_t kNoAddress = 0xFF;

// What one whole byte did to the controller.
struct ControllerChange {
  enum Kind : std::uint8_t {
    kNothingShown,      // Entry Mode Set, a cursor shift, Function Set, 0x00
    kDdramWritten,      // `address`: the character's
    kCgramWritten,      // `address`: the row's
    kDdramAddressSet,   // `address`: the one set
    kCgramAddressSet,
    kReturnHome,
    kClearDisplay,
    kDisplayShifted,
    kDisplayControl,    // Display On/Off Control
    kLineModeChanged,   // Function Set with a new N
    kNoInstruction,     // 0x00
  };
  Kind kind;
  std::uint8_t address;
};

class Hd44780Controller {
 public:
  // lptlcd may start while the software is already running, so the
  // controller starts as software leaves a module, not as it powers on:
  // 8-bit bus, two lines, display on, counting up; DDRAM spaces as the
  // reset leaves it.
  Hd44780Controller();

  // On the 8-bit bus every cycle is a whole byte.
  bool EightBitBus() const { return eightBitBus; }
  // A cycle on the 4-bit bus, which carries DB7-DB4 only, high nibble first:
  // the whole byte for the second of two (it takes the register select of
  // the first), kNoByte for the first.
  static constexpr LcdCommand kNoByte = 0xFFFF;
  LcdCommand CompleteNibbles(LcdCommand cycle);

  ControllerChange Instruction(std::uint8_t instruction);
  // Data goes where the address counter points, which then counts on.
  ControllerChange WriteData(std::uint8_t data) {
    const std::uint8_t address = ac;
    if (inCgram) return WriteCgram(data);
    ddram[address] = data;
    if (twoLines && increment && !shiftOnWrite && (address & hd44780::kColumnMask) + 1u < hd44780::kTwoLineLength) {
      ac = static_cast<std::uint8_t>(address + 1);
      return {ControllerChange::kDdramWritten, address};
    }
    return WriteDdramAcross(address);
  }

  std::uint8_t Ddram(std::uint8_t address) const { return ddram[address & hd44780::kDdramAddressMask]; }
  // The eight rows of custom character `code` (0-7).
  const std::uint8_t* CharacterRows(std::uint8_t code) const { return cgram + code * hd44780::kGlyphRows; }
  std::uint8_t AddressCounter() const { return ac; }
  bool AddressesCgram() const { return inCgram; }
  bool Increments() const { return increment; }
  bool ShiftsOnWrite() const { return shiftOnWrite; }
  bool DisplayOn() const { return displayOn; }
  bool TwoLines() const { return twoLines; }
  // Cells the display is shifted to the left, 0-79: counted round the one
  // line's 80 and taken modulo 40 with two lines, so that a change of line
  // mode keeps where the display stood.
  int DisplayShift() const { return shift; }
  bool DdramAddressExists(std::uint8_t address) const {
    return twoLines ? (address & hd44780::kColumnMask) < hd44780::kTwoLineLength
                    : address < hd44780::kOneLineLength;
  }

  // The glass: the DDRAM address that the cell at `column` of `line` (both
  // from 0) of `module` shows, or kNoAddress (the display off, or the second
  // controller line in one-line mode).
  std::uint8_t ShownAddress(ModuleSize module, int line, int column) const;

 private:
  ControllerChange ClearDisplay();
  ControllerChange ReturnHome();
  ControllerChange EntryModeSet(std::uint8_t instruction);
  ControllerChange DisplayOnOffControl(std::uint8_t instruction);
  ControllerChange CursorOrDisplayShift(std::uint8_t instruction);
  ControllerChange FunctionSet(std::uint8_t instruction);
  ControllerChange SetCgramAddress(std::uint8_t instruction);
  ControllerChange SetDdramAddress(std::uint8_t instruction);
  // The rest of a DDRAM write that does not simply step to the next address
  // of its line: the step, and the display shift with it.
  ControllerChange WriteDdramAcross(std::uint8_t address);
  ControllerChange WriteCgram(std::uint8_t data) {
    const std::uint8_t address = ac;
    cgram[address] = data;
    ac = static_cast<std::uint8_t>((address + (increment ? 1 : -1)) & hd44780::kCgramAddressMask);
    return {ControllerChange::kCgramWritten, address};
  }
  // The address after `address` (or before it, counting down) in DDRAM.
  std::uint8_t NextDdramAddress(std::uint8_t address, bool up) const;
  void ShiftDisplay(bool right);

  std::uint8_t ddram[hd44780::kDdramSize];
  std::uint8_t cgram[hd44780::kCgramSize] = {};
  // The address counter, into CGRAM while inCgram, else into DDRAM.
  std::uint8_t ac = 0;
  bool inCgram = false;
  // Entry Mode Set: I/D and S.
  bool increment = true, shiftOnWrite = false;
  // Display On/Off Control (its cursor and blink are not kept).
  bool displayOn = true;
  // Function Set: N and DL (its font is not kept).
  bool twoLines = true, eightBitBus = true;
  // Cells the display is shifted to the left (see DisplayShift).
  int shift = 0;
  // On the 4-bit bus: the first cycle of a byte, its nibble in bits 7-4.
  bool nibblePending = false;
  LcdCommand firstNibble = 0;
};

}  // namespace lptlcd
