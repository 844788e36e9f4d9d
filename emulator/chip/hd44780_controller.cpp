#include "emulator/chip/hd44780_controller.h"

#include <algorithm>
#include <iterator>

namespace lptlcd {

using namespace hd44780;

namespace {
constexpr LcdCommand kHighNibble = 0xF0;
}  // namespace

Hd44780Controller::Hd44780Controller() { std::fill(std::begin(ddram), std::end(ddram), kSpace); }

LcdCommand Hd44780Controller::CompleteNibbles(LcdCommand cycle) {
  if (!nibblePending) {
    nibblePending = true;
    firstNibble = cycle;
    return kNoByte;
  }
  nibblePending = false;
  return static_cast<LcdCommand>((firstNibble & (kRegisterSelectData | kHighNibble)) | ((cycle & kHighNibble) >> 4));
}

ControllerChange Hd44780Controller::WriteDdramAcross(std::uint8_t address) {
  ac = NextDdramAddress(address, increment);
  if (shiftOnWrite) ShiftDisplay(!increment);
  return {ControllerChange::kDdramWritten, address};
}

ControllerChange Hd44780Controller::Instruction(std::uint8_t instruction) {
  // The controller decodes an instruction by its highest set bit.
  if (instruction & kSetDdramAddress) return SetDdramAddress(instruction);
  if (instruction & kSetCgramAddress) return SetCgramAddress(instruction);
  if (instruction & kFunctionSet) return FunctionSet(instruction);
  if (instruction & kCursorOrDisplayShift) return CursorOrDisplayShift(instruction);
  if (instruction & kDisplayOnOffControl) return DisplayOnOffControl(instruction);
  if (instruction & kEntryModeSet) return EntryModeSet(instruction);
  if (instruction & kReturnHome) return ReturnHome();
  if (instruction == kClearDisplay) return ClearDisplay();
  return {ControllerChange::kNoInstruction, 0};
}

ControllerChange Hd44780Controller::ClearDisplay() {
  std::fill(std::begin(ddram), std::end(ddram), kSpace);
  increment = true;
  ReturnHome();
  return {ControllerChange::kClearDisplay, 0};
}

ControllerChange Hd44780Controller::ReturnHome() {
  inCgram = false;
  ac = 0;
  shift = 0;
  return {ControllerChange::kReturnHome, 0};
}

ControllerChange Hd44780Controller::EntryModeSet(std::uint8_t instruction) {
  increment = (instruction & kEntryIncrement) != 0;
  shiftOnWrite = (instruction & kEntryShiftDisplay) != 0;
  return {ControllerChange::kNothingShown, 0};
}

ControllerChange Hd44780Controller::DisplayOnOffControl(std::uint8_t instruction) {
  // The cursor and its blink are the display's to leave out.
  displayOn = (instruction & kDisplayOn) != 0;
  return {ControllerChange::kDisplayControl, 0};
}

ControllerChange Hd44780Controller::CursorOrDisplayShift(std::uint8_t instruction) {
  const bool right = (instruction & kShiftRight) != 0;
  if (instruction & kShiftDisplay) {
    ShiftDisplay(right);
    return {ControllerChange::kDisplayShifted, 0};
  }
  if (inCgram) {
    ac = static_cast<std::uint8_t>((ac + (right ? 1 : -1)) & kCgramAddressMask);
  } else {
    ac = NextDdramAddress(ac, right);
  }
  return {ControllerChange::kNothingShown, 0};
}

ControllerChange Hd44780Controller::FunctionSet(std::uint8_t instruction) {
  // The font is the display's own. A new bus width takes effect with the next byte.
  eightBitBus = (instruction & kEightBitBus) != 0;
  nibblePending = false;
  const bool two = (instruction & kTwoLines) != 0;
  if (two == twoLines) return {ControllerChange::kNothingShown, 0};
  twoLines = two;
  return {ControllerChange::kLineModeChanged, 0};
}

ControllerChange Hd44780Controller::SetCgramAddress(std::uint8_t instruction) {
  inCgram = true;
  ac = static_cast<std::uint8_t>(instruction & kCgramAddressMask);
  return {ControllerChange::kCgramAddressSet, ac};
}

ControllerChange Hd44780Controller::SetDdramAddress(std::uint8_t instruction) {
  inCgram = false;
  ac = static_cast<std::uint8_t>(instruction & kDdramAddressMask);
  return {ControllerChange::kDdramAddressSet, ac};
}

std::uint8_t Hd44780Controller::NextDdramAddress(std::uint8_t address, bool up) const {
  const unsigned column = address & kColumnMask;
  if (twoLines && up && column + 1 < kTwoLineLength) return static_cast<std::uint8_t>(address + 1);
  if (!DdramAddressExists(address)) {
    // Where the datasheet says nothing: the counter counts on as seven bits.
    return static_cast<std::uint8_t>((address + (up ? 1 : -1)) & kDdramAddressMask);
  }
  if (!twoLines) {
    return static_cast<std::uint8_t>((address + (up ? 1 : kOneLineLength - 1)) % kOneLineLength);
  }
  // Two lines: the end of one goes on at the start of the other, both ways.
  const std::uint8_t otherLine = (address & kLine1Offset) ^ kLine1Offset;
  if (up) return otherLine;
  return column > 0 ? static_cast<std::uint8_t>(address - 1)
                    : static_cast<std::uint8_t>(otherLine + kTwoLineLength - 1);
}

void Hd44780Controller::ShiftDisplay(bool right) {
  shift = static_cast<int>((static_cast<unsigned>(shift) + (right ? kOneLineLength - 1 : 1)) % kOneLineLength);
}

std::uint8_t Hd44780Controller::ShownAddress(ModuleSize module, int line, int column) const {
  if (!displayOn) return kNoAddress;
  // The cell's place in the controller: its line and position there.
  int controllerLine = line % 2;
  int position = column + (line / 2) * module.columns;  // lines 3 and 4 go on from 1 and 2
  if (module.columns == 16 && module.lines == 1) {
    // Built as two lines of eight side by side; one line of sixteen in one-line mode.
    controllerLine = twoLines ? column / 8 : 0;
    position = twoLines ? column % 8 : column;
  }
  if (!twoLines) {
    if (controllerLine == 1) return kNoAddress;
    return static_cast<std::uint8_t>((static_cast<unsigned>(position + shift)) % kOneLineLength);
  }
  const unsigned lineStart = controllerLine == 1 ? kLine1Offset : 0u;
  return static_cast<std::uint8_t>(lineStart + static_cast<unsigned>(position + shift) % kTwoLineLength);
}

}  // namespace lptlcd
