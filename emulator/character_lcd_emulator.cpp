#include "emulator/character_lcd_emulator.h"

#include <algorithm>
#include <array>

namespace lptlcd {

namespace {
constexpr std::uint8_t kMaxRun = kPacketDataSize;  // characters one text packet carries
}  // namespace

using namespace hd44780;

CharacterLcdEmulator::CharacterLcdEmulator(UsbDisplayDevice* displayDevice, std::uint8_t cols,
                                           std::uint8_t lineCount)
    : device(displayDevice),
      columns(cols >= 8 && cols <= 40 ? cols : 20),
      lines(lineCount == 1 || lineCount == 2 ? lineCount : 2) {}

// The emulator borrows the device; it sends nothing when it goes.
CharacterLcdEmulator::~CharacterLcdEmulator() = default;

void CharacterLcdEmulator::Execute(LcdCommand command) {
  const auto byte = static_cast<std::uint8_t>(command & 0xFF);
  if (command & kRegisterSelectData) {
    WriteData(byte);
  } else {
    WriteInstruction(byte);
  }
}

void CharacterLcdEmulator::Flush() {
  SendPending();
  device->RepaintRedefinedCharacters();
}

void CharacterLcdEmulator::SendPending() {
  if (pendingGlyphRows != 0) FlushGlyph();
  if (pendingText != 0) FlushText();
}

void CharacterLcdEmulator::WriteInstruction(std::uint8_t instruction) {
  // The controller decodes an instruction by its highest set bit.
  if (instruction & kSetDdramAddress) {
    SetDdramAddress(instruction);
  } else if (instruction & kSetCgramAddress) {
    // Data bytes now define custom characters.
    SendPending();
    cgramMode = true;
    cgramAddress = static_cast<std::uint8_t>(instruction & kCgramAddressMask);
  } else if (instruction & kFunctionSet) {
    // Bus width, line count and font are fixed by the display.
  } else if (instruction & kCursorOrDisplayShift) {
    // The display has no scrolling window.
    std::fprintf(messages, "TODO: %s shift %s\n", (instruction & kShiftDisplay) ? "screen" : "cursor",
                 (instruction & kShiftRight) ? "right" : "left");
    std::fflush(messages);
  } else if (instruction & kDisplayOnOffControl) {
    // The display stays on; only what is pending goes out.
    SendPending();
  } else if (instruction & kEntryModeSet) {
    // Addresses always count up; display shift is not emulated.
    if (instruction & kEntryShiftDisplay) {
      std::fprintf(messages, "TODO: unsupported entry mode\n");
      std::fflush(messages);
    }
  } else if (instruction & kReturnHome) {
    SendPending();
    GoHome();
  } else if (instruction == kClearDisplay) {
    // The chip fills DDRAM with spaces. What the display does with its own
    // cursor on a clear is its business: it is told where the cursor is.
    SendPending();
    device->ClearScreen();
    std::fill(std::begin(ddram), std::end(ddram), kSpace);
    GoHome();
  } else {
    std::fprintf(messages, "TODO: unsupported command %02x\n", instruction);
    std::fflush(messages);
  }
}

void CharacterLcdEmulator::GoHome() {
  cgramMode = false;
  ddramAddress = 0;
  device->SetPosition(0, 0);
  cursorRow = 0;
  cursorColumn = 0;
}

void CharacterLcdEmulator::SetDdramAddress(std::uint8_t instruction) {
  SendPending();
  cgramMode = false;
  const auto column = static_cast<std::uint8_t>(instruction & kColumnMask);
  const auto row = static_cast<std::uint8_t>((instruction & kLine1Offset) ? 1 : 0);
  if (column != cursorColumn || row != cursorRow) {
    // Horizontal position in pixels; the display takes one byte, so far
    // columns wrap as the display's own counter does.
    device->SetPosition(static_cast<std::uint8_t>(column * kCellWidthPixels), row);
    cursorColumn = column;
    cursorRow = row;
  }
  ddramAddress = static_cast<std::uint8_t>(instruction & kDdramAddressMask);
}

void CharacterLcdEmulator::WriteData(std::uint8_t data) {
  if (cgramMode) {
    cgram[cgramAddress] = data;
    cgramAddress = static_cast<std::uint8_t>((cgramAddress + 1) & kCgramAddressMask);
    ++pendingGlyphRows;
    if (pendingGlyphRows >= kGlyphRows) FlushGlyph();
    return;
  }
  ddram[ddramAddress] = data;
  ddramAddress = static_cast<std::uint8_t>((ddramAddress + 1) & kDdramAddressMask);
  ++pendingText;
  if (pendingText >= kMaxRun) FlushText();
  ++cursorColumn;
}

void CharacterLcdEmulator::FlushText() {
  const auto last = static_cast<std::uint8_t>((ddramAddress - 1) & kDdramAddressMask);
  // A run never reaches back past the start of the 64-address line holding the
  // last character: those before it were written off the end of a line.
  const auto count =
      static_cast<std::uint8_t>(std::min<int>(pendingText, (last & kColumnMask) + 1));
  // Codes 8 to 15 show the same custom characters as 0 to 7 on the chip; the
  // display knows only 0 to 7.
  std::uint8_t run[kMaxRun];
  for (int i = 0; i < count; ++i) {
    const std::uint8_t code = ddram[last + 1 - count + i];
    run[i] = code < kCharacterCodeAliases ? static_cast<std::uint8_t>(code % kCustomChars) : code;
  }
  device->WriteText(run, count);
  pendingText = 0;
}

void CharacterLcdEmulator::FlushGlyph() {
  const auto first =
      static_cast<std::uint8_t>((cgramAddress + kCgramSize - pendingGlyphRows) & kCgramAddressMask);
  const auto last = static_cast<std::uint8_t>((first + std::max<int>(pendingGlyphRows, 1) - 1) &
                                              kCgramAddressMask);
  // Rows written from the middle of one character on run into the next one:
  // both changed, so both are sent.
  for (auto code = static_cast<std::uint8_t>(first / kGlyphRows);;
       code = static_cast<std::uint8_t>((code + 1) % kCustomChars)) {
    device->DefineGlyph(code, GlyphColumns(cgram + code * kGlyphRows).data());
    if (code == last / kGlyphRows) break;
  }
  pendingGlyphRows = 0;
}

std::array<std::uint8_t, kPacketDataSize> GlyphColumns(const std::uint8_t* rows) {
  // CGRAM holds the cell row by row (bit 4 leftmost); the display takes it
  // column by column (bit 0 topmost), with a blank sixth column for spacing.
  std::array<std::uint8_t, kPacketDataSize> glyph = {};
  for (unsigned column = 0; column < kGlyphColumns; ++column) {
    for (unsigned row = 0; row < kGlyphRows; ++row) {
      if (rows[row] & (1u << (kGlyphColumns - 1 - column))) {
        glyph[column] = static_cast<std::uint8_t>(glyph[column] | (1u << row));
      }
    }
  }
  return glyph;
}

}  // namespace lptlcd
