#include "tests/oracle/hd44780_chip.h"

namespace lptlcd::test {

namespace {
constexpr std::uint8_t kBlank = 0x20;
constexpr int kLineLength = 40;        // DDRAM cells of a line in two-line mode
constexpr std::uint8_t kLine2 = 0x40;  // two-line mode: line 2 starts here
constexpr int kOneLineLength = 80;     // one-line mode: 0x00-0x4F
constexpr std::uint8_t kOneLineEnd = kOneLineLength - 1;
// The 16x1 most are built as: an 8x2 glass whose right half is line 2.
constexpr ModuleSize kSplit16x1 = {16, 1};
}  // namespace

Hd44780Chip::Hd44780Chip() {
  // Reset clears the display; CGRAM holds whatever it powered up with, taken
  // here as blank, which is also what a display without glyphs shows.
  ddram.fill(kBlank);
  cgram.fill(0);
}

std::optional<Hd44780Chip::BusByte> Hd44780Chip::ByteCompletedBy(bool registerSelect,
                                                                 std::uint8_t bus) const {
  if (eightBit) return BusByte{registerSelect, bus};
  if (!highNibble) return std::nullopt;
  return BusByte{highNibble->registerSelect, static_cast<std::uint8_t>(highNibble->value | bus >> 4)};
}

void Hd44780Chip::Write(bool registerSelect, std::uint8_t bus) {
  const std::optional<BusByte> byte = ByteCompletedBy(registerSelect, bus);
  if (!byte) {
    highNibble = BusByte{registerSelect, static_cast<std::uint8_t>(bus & 0xF0)};
    return;
  }
  // The nibble is used up before the byte runs: a Function Set in it may
  // change the bus width for the next pulse.
  highNibble.reset();
  Execute(*byte);
}

void Hd44780Chip::Execute(BusByte byte) {
  if (byte.registerSelect) {
    Data(byte.value);
  } else {
    Instruction(byte.value);
  }
}

void Hd44780Chip::Instruction(std::uint8_t byte) {
  if (byte & 0x80) {  // Set DDRAM Address
    ac = byte & 0x7F;
    inCgram = false;
  } else if (byte & 0x40) {  // Set CGRAM Address
    ac = byte & 0x3F;
    inCgram = true;
  } else if (byte & 0x20) {  // Function Set: DL, N, F
    eightBit = (byte & 0x10) != 0;
    twoLines = (byte & 0x08) != 0;
    tallFont = (byte & 0x04) != 0;
  } else if (byte & 0x10) {  // Cursor or Display Shift
    const bool right = (byte & 0x04) != 0;
    if (byte & 0x08) {
      ShiftDisplay(right);
    } else {
      StepAddress(right);
    }
  } else if (byte & 0x08) {  // Display On/Off Control
    displayOn = (byte & 0x04) != 0;
    cursorOn = (byte & 0x02) != 0;
    blinkOn = (byte & 0x01) != 0;
  } else if (byte & 0x04) {  // Entry Mode Set
    increment = (byte & 0x02) != 0;
    shiftOnWrite = (byte & 0x01) != 0;
  } else if (byte & 0x02) {  // Return Home
    ac = 0;
    inCgram = false;
    shift = 0;
  } else if (byte == 0x01) {  // Clear Display
    ddram.fill(kBlank);
    ac = 0;
    inCgram = false;
    shift = 0;
    increment = true;
  }
  // 0x00 is no instruction.
}

void Hd44780Chip::Data(std::uint8_t byte) {
  if (inCgram) {
    cgram[ac & 0x3F] = byte;
    StepAddress(increment);
    return;
  }
  ddram[ac & 0x7F] = byte;
  StepAddress(increment);
  // With S set each DDRAM write also shifts the display: left when counting
  // up (CGRAM writes never shift it).
  if (shiftOnWrite) ShiftDisplay(!increment);
}

void Hd44780Chip::StepAddress(bool up) {
  if (inCgram) {
    ac = static_cast<std::uint8_t>((ac + (up ? 1 : 0x3F)) & 0x3F);
    return;
  }
  if (!twoLines) {
    // One line: 0x00-0x4F, round and round.
    ac = up ? (ac >= kOneLineEnd ? 0 : ac + 1) : (ac == 0 || ac > kOneLineEnd ? kOneLineEnd : ac - 1);
    return;
  }
  // Two lines: 0x00-0x27, then 0x40-0x67, then 0x00 again.
  const std::uint8_t lineStart = ac >= kLine2 ? kLine2 : 0;
  const int column = ac - lineStart;
  if (up) {
    ac = column + 1 < kLineLength ? ac + 1 : (lineStart == 0 ? kLine2 : 0);
  } else {
    ac = column > 0 ? ac - 1 : (lineStart == 0 ? kLine2 + kLineLength - 1 : kLineLength - 1);
  }
  ac &= 0x7F;
}

void Hd44780Chip::ShiftDisplay(bool right) {
  // One count for both line modes: 40 divides 80, so the count modulo 40 is
  // the two-line shift whichever way it was reached.
  shift = (shift + (right ? kOneLineLength - 1 : 1)) % kOneLineLength;
}

bool Hd44780Chip::DdramAddressExists(std::uint8_t address) const {
  if (!twoLines) return address <= kOneLineEnd;
  return (address & 0x3F) < kLineLength;
}

std::optional<std::uint8_t> Hd44780Chip::ShownAddress(ModuleSize module, int column, int line) const {
  if (!displayOn || column < 0 || line < 0 || column >= module.columns || line >= module.lines) {
    return std::nullopt;
  }
  // Where the cell sits on the controller: its line (0 or 1) and position.
  // A 4-line module's lines 3 and 4 go on with lines 1 and 2.
  int controllerLine = line % 2;
  int position = column + (line / 2) * module.columns;
  if (module == kSplit16x1 && twoLines && column >= 8) {
    controllerLine = 1;
    position = column - 8;
  }
  if (!twoLines) {
    // One line of 80; nothing drives the second line's cells.
    if (controllerLine != 0) return std::nullopt;
    return static_cast<std::uint8_t>((position + shift) % kOneLineLength);
  }
  return static_cast<std::uint8_t>((controllerLine == 0 ? 0 : kLine2) + (position + shift) % kLineLength);
}

Hd44780Chip::CharacterRows Hd44780Chip::CustomRows(std::uint8_t code) const {
  CharacterRows rows = {};
  const int first = (code & 0x07) * 8;
  for (int row = 0; row < 8; ++row) {
    rows[static_cast<std::size_t>(row)] = cgram[static_cast<std::size_t>(first + row)] & 0x1F;
  }
  return rows;
}

}  // namespace lptlcd::test
