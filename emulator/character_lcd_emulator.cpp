#include "emulator/character_lcd_emulator.h"

#include <algorithm>

namespace lptlcd {

namespace {
constexpr std::uint8_t kCellWidthPixels = 6;  // the display's text cells
constexpr std::uint8_t kMaxRun = 6;           // characters one text packet carries
constexpr std::uint8_t kGlyphRows = 8;
}  // namespace

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
  if (pendingGlyphRows != 0) FlushGlyph();
  if (pendingText != 0) FlushText();
}

void CharacterLcdEmulator::WriteInstruction(std::uint8_t c) {
  // The controller decodes an instruction by its highest set bit.
  if (c & 0x80) {
    SetDdramAddress(c);
  } else if (c & 0x40) {
    // Set CGRAM Address: data bytes now define custom characters.
    Flush();
    cgramMode = true;
    cgramAddress = static_cast<std::uint8_t>(c & 0x3F);
  } else if (c & 0x20) {
    // Function Set: bus width, line count and font are fixed by the display.
  } else if (c & 0x10) {
    // Cursor or Display Shift: the display has no scrolling window.
    std::fprintf(messages, "TODO: %s shift %s\n", (c & 0x08) ? "screen" : "cursor",
                 (c & 0x04) ? "right" : "left");
    std::fflush(messages);
  } else if (c & 0x08) {
    // Display On/Off Control: the display stays on; only what is pending goes out.
    Flush();
  } else if (c & 0x04) {
    // Entry Mode Set: addresses always count up; display shift is not emulated.
    if (c & 0x01) {
      std::fprintf(messages, "TODO: unsupported entry mode\n");
      std::fflush(messages);
    }
  } else if (c & 0x02) {
    // Return Home: the display's cursor goes to the top left, always.
    Flush();
    device->SetPosition(0, 0);
    cursorRow = 0;
    cursorColumn = 0;
  } else if (c == 0x01) {
    // Clear Display. The DDRAM image and the tracked cursor stay as they are.
    Flush();
    device->ClearScreen();
  } else {
    std::fprintf(messages, "TODO: unsupported command %02x\n", c);
    std::fflush(messages);
  }
}

void CharacterLcdEmulator::SetDdramAddress(std::uint8_t c) {
  if (cgramMode || pendingText != 0) Flush();
  cgramMode = false;
  const auto column = static_cast<std::uint8_t>(c & 0x3F);
  const auto row = static_cast<std::uint8_t>((c >> 6) & 0x01);
  if (column != cursorColumn || row != cursorRow) {
    Flush();
    // Horizontal position in pixels; the display takes one byte, so far
    // columns wrap as the display's own counter does.
    device->SetPosition(static_cast<std::uint8_t>(column * kCellWidthPixels), row);
    cursorColumn = column;
    cursorRow = row;
  }
  ddramAddress = static_cast<std::uint8_t>(c & 0x7F);
}

void CharacterLcdEmulator::WriteData(std::uint8_t b) {
  if (cgramMode) {
    cgram[cgramAddress] = b;
    cgramAddress = static_cast<std::uint8_t>((cgramAddress + 1) & 0x3F);
    ++pendingGlyphRows;
    if (pendingGlyphRows >= kGlyphRows) FlushGlyph();
    return;
  }
  ddram[ddramAddress] = b;
  ddramAddress = static_cast<std::uint8_t>((ddramAddress + 1) & 0x7F);
  ++pendingText;
  if (pendingText >= kMaxRun) FlushText();
  ++cursorColumn;
}

void CharacterLcdEmulator::FlushText() {
  const auto last = static_cast<std::uint8_t>((ddramAddress - 1) & 0x7F);
  // A run never reaches back past the start of the 64-address line holding the
  // last character: those before it were written off the end of a line.
  const auto count =
      static_cast<std::uint8_t>(std::min<int>(pendingText, (last & 0x3F) + 1));
  device->WriteText(ddram + (last + 1 - count), count);
  pendingText = 0;
}

void CharacterLcdEmulator::FlushGlyph() {
  const auto first = static_cast<std::uint8_t>((cgramAddress + 64 - pendingGlyphRows) & 0x3F);
  const auto code = static_cast<std::uint8_t>(first >> 3);
  // CGRAM holds the cell row by row (bit 4 leftmost); the display takes it
  // column by column (bit 0 topmost), with a blank sixth column for spacing.
  std::uint8_t glyph[kPacketDataSize] = {};
  for (int column = 0; column < 5; ++column) {
    for (int row = 0; row < kGlyphRows; ++row) {
      if (cgram[code * kGlyphRows + row] & (1 << (4 - column))) {
        glyph[column] = static_cast<std::uint8_t>(glyph[column] | (1 << row));
      }
    }
  }
  device->DefineGlyph(code, glyph);
  pendingGlyphRows = 0;
}

}  // namespace lptlcd
