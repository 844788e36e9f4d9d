#include "tests/oracle/hd44780_chip.h"

namespace lptlcd::test {

namespace {
constexpr std::uint8_t kBlank = 0x20;
constexpr int kLineLength = 40;        // DDRAM cells of a line in two-line mode
constexpr std::uint8_t kLine2 = 0x40;  // two-line mode: line 2 starts here
constexpr std::uint8_t kOneLineEnd = 0x4F;
}  // namespace

Hd44780Chip::Hd44780Chip() {
  // Reset clears the display; CGRAM holds whatever it powered up with, taken
  // here as blank, which is also what a display without glyphs shows.
  ddram.fill(kBlank);
  cgram.fill(0);
}

void Hd44780Chip::Write(bool registerSelect, std::uint8_t byte) {
  if (registerSelect) {
    Data(byte);
  } else {
    Instruction(byte);
  }
}

void Hd44780Chip::Instruction(std::uint8_t byte) {
  if (byte & 0x80) {  // Set DDRAM Address
    ac = byte & 0x7F;
    inCgram = false;
  } else if (byte & 0x40) {  // Set CGRAM Address
    ac = byte & 0x3F;
    inCgram = true;
  } else if (byte & 0x20) {  // Function Set: DL, N (F only matters with one line)
    eightBit = (byte & 0x10) != 0;
    twoLines = (byte & 0x08) != 0;
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
  // With S set each write also shifts the display: left when counting up.
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
  // Shifting left shows later addresses: column c shows c + shift.
  const int cells = twoLines ? kLineLength : kOneLineEnd + 1;
  shift = (shift + (right ? cells - 1 : 1)) % cells;
}

bool Hd44780Chip::DdramAddressExists(std::uint8_t address) const {
  if (!twoLines) return address <= kOneLineEnd;
  return (address & 0x3F) < kLineLength;
}

std::uint8_t Hd44780Chip::ShownCode(int column, int line) const {
  if (!twoLines) {
    // One line mode: a 20x2 glass shows only the first line.
    if (line != 0) return kBlank;
    return ddram[static_cast<std::size_t>((column + shift) % (kOneLineEnd + 1))];
  }
  const int address = (line == 0 ? 0 : kLine2) + (column + shift) % kLineLength;
  return ddram[static_cast<std::size_t>(address)];
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
