#include "emulator/character_lcd_emulator.h"

#include <algorithm>
#include <array>

namespace lptlcd {

namespace {
constexpr std::uint8_t kMaxRun = kPacketDataSize;  // characters one text packet carries
constexpr int kTwoLineLength = 40;                 // addresses of a line in two-line mode
constexpr int kOneLineLength = 80;
constexpr std::uint8_t kHighNibble = 0xF0;
// Where a 20x4 has its lines 3 and 4: what the default module is told about.
constexpr std::uint8_t kTwentyByFourLine3 = 0x94;
constexpr std::uint8_t kTwentyByFourLine4 = 0xD4;

std::uint8_t ModuleLines(std::uint8_t columns, std::uint8_t lines) {
  if (lines == 1 || lines == 2) return lines;
  return lines == 4 && columns <= kDisplayTextColumns ? 4 : 2;
}
}  // namespace

using namespace hd44780;

CharacterLcdEmulator::CharacterLcdEmulator(UsbDisplayDevice* displayDevice, std::uint8_t cols,
                                           std::uint8_t lineCount)
    : device(displayDevice),
      columns(cols >= 8 && cols <= 40 ? cols : 20),
      lines(ModuleLines(columns, lineCount)),
      placesByColumn(ModuleSize{columns, lines} == kDefaultModule),
      textByColumn(placesByColumn),
      layout(ModuleSize{columns, lines}) {
  // The chip's reset clears DDRAM to spaces, which is what a blank display shows.
  std::fill(std::begin(ddram), std::end(ddram), kSpace);
}

// The emulator borrows the device; it sends nothing when it goes.
CharacterLcdEmulator::~CharacterLcdEmulator() = default;

void CharacterLcdEmulator::Execute(LcdCommand command) {
  if (!eightBitBus) {
    // The 4-bit bus: DB7-DB4 only, the high nibble first.
    if (!nibblePending) {
      nibblePending = true;
      firstNibble = command;
      return;
    }
    nibblePending = false;
    command = static_cast<LcdCommand>((firstNibble & (kRegisterSelectData | kHighNibble)) |
                                      ((command & kHighNibble) >> 4));
  }
  const auto byte = static_cast<std::uint8_t>(command & 0xFF);
  if (command & kRegisterSelectData) {
    WriteData(byte);
  } else {
    WriteInstruction(byte);
  }
}

void CharacterLcdEmulator::Flush() {
  SendPending();
  if (!repaintDue && !device->MayShowOldShapes()) return;
  repaintDue = false;
  if (device->PaintScreen(Glass())) {
    // The display's cursor is where the repaint left it.
    cursorColumn = static_cast<std::uint8_t>(device->CursorX() / kCellWidthPixels);
    cursorRow = static_cast<std::uint8_t>(device->CursorRow());
  }
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
    FunctionSet(instruction);
  } else if (instruction & kCursorOrDisplayShift) {
    CursorOrDisplayShift(instruction);
  } else if (instruction & kDisplayOnOffControl) {
    DisplayOnOffControl(instruction);
  } else if (instruction & kEntryModeSet) {
    countUp = (instruction & kEntryIncrement) != 0;
    shiftOnWrite = (instruction & kEntryShiftDisplay) != 0;
    ModesChanged();
  } else if (instruction & kReturnHome) {
    SendPending();
    GoHome();
  } else if (instruction == kClearDisplay) {
    // The chip fills DDRAM with spaces and counts up again. What the display
    // does with its own cursor on a clear is its business: it is told where
    // the cursor is.
    SendPending();
    device->ClearScreen();
    std::fill(std::begin(ddram), std::end(ddram), kSpace);
    countUp = true;
    ModesChanged();
    GoHome();
  } else {
    std::fprintf(messages, "TODO: unsupported command %02x\n", instruction);
    std::fflush(messages);
  }
}

void CharacterLcdEmulator::FunctionSet(std::uint8_t instruction) {
  // The font is the display's own. A new bus width takes effect with the next
  // byte; a new line mode moves what every cell shows.
  eightBitBus = (instruction & kEightBitBus) != 0;
  nibblePending = false;
  const bool two = (instruction & kTwoLines) != 0;
  if (two == twoLines) return;
  SendPending();
  twoLines = two;
  UpdateLayout();
  repaintDue = true;
}

void CharacterLcdEmulator::CursorOrDisplayShift(std::uint8_t instruction) {
  const bool right = (instruction & kShiftRight) != 0;
  if (instruction & kShiftDisplay) {
    SendPending();
    ShiftDisplay(right);
  } else if (cgramMode) {
    cgramAddress = static_cast<std::uint8_t>((cgramAddress + (right ? 1 : -1)) & kCgramAddressMask);
  } else {
    // Only the address moves; the next character finds its place from it.
    ddramAddress = NextDdramAddress(ddramAddress, right);
  }
}

void CharacterLcdEmulator::ShiftDisplay(bool right) {
  // Counted round the one line's 80 cells; two lines take it modulo 40, so
  // that a change of line mode keeps where the display stood.
  displayShift = static_cast<std::uint8_t>((displayShift + (right ? kOneLineLength - 1 : 1)) % kOneLineLength);
  UpdateLayout();
  repaintDue = true;
}

void CharacterLcdEmulator::DisplayOnOffControl(std::uint8_t instruction) {
  // The cursor and its blink are not drawn: the display cannot show them
  // over a character.
  SendPending();
  const bool on = (instruction & kDisplayOn) != 0;
  if (on == displayOn) return;
  displayOn = on;
  ModesChanged();
  if (on) {
    repaintDue = true;
    return;
  }
  if (device->ShowsAnything()) {
    device->ClearScreen();
    cursorColumn = 0;
    cursorRow = 0;
  }
}

void CharacterLcdEmulator::GoHome() {
  cgramMode = false;
  ddramAddress = 0;
  if (displayShift != 0) {
    displayShift = 0;
    UpdateLayout();
    repaintDue = true;
  }
  device->SetPosition(0, 0);
  cursorRow = 0;
  cursorColumn = 0;
}

void CharacterLcdEmulator::SetDdramAddress(std::uint8_t instruction) {
  SendPending();
  cgramMode = false;
  ddramAddress = static_cast<std::uint8_t>(instruction & kDdramAddressMask);
  if ((instruction == kTwentyByFourLine3 || instruction == kTwentyByFourLine4) &&
      ModuleSize{columns, lines} == kDefaultModule && !hintSaid) {
    hintSaid = true;
    Say(kTwentyByFourHint);
  }
  const Place place = PlaceOf(ddramAddress);
  if (place.shown) MoveCursorTo(place);
}

void CharacterLcdEmulator::MoveCursorTo(Place place) {
  if (place.column == cursorColumn && place.row == cursorRow) return;
  // Horizontal position in pixels; the display takes one byte, so far
  // columns wrap as the display's own counter does.
  device->SetPosition(static_cast<std::uint8_t>(place.column * kCellWidthPixels), place.row);
  cursorColumn = place.column;
  cursorRow = place.row;
}

void CharacterLcdEmulator::WriteData(std::uint8_t data) {
  if (!cgramMode) {
    WriteDdram(data);
    return;
  }
  cgram[cgramAddress] = data;
  const auto code = static_cast<std::uint8_t>(cgramAddress / kGlyphRows);
  if (pendingGlyphs == 0) firstPendingGlyph = code;
  pendingGlyphs = static_cast<std::uint8_t>(pendingGlyphs | 1u << code);
  cgramAddress = static_cast<std::uint8_t>((cgramAddress + (countUp ? 1 : -1)) & kCgramAddressMask);
  ++pendingGlyphRows;
  if (pendingGlyphRows >= kGlyphRows) FlushGlyph();
}

void CharacterLcdEmulator::WriteDdram(std::uint8_t data) {
  const std::uint8_t address = ddramAddress;
  ddram[address] = data;
  const auto column = static_cast<std::uint8_t>(address & kColumnMask);
  if (textByColumn && column < kTwoLineLength && !runByColumn) {
    // What most software does most of the time, kept short: text counting
    // up on the default module, each address at its own column.
    ddramAddress = column + 1 < kTwoLineLength ? static_cast<std::uint8_t>(address + 1)
                                               : static_cast<std::uint8_t>((address & kLine1Offset) ^ kLine1Offset);
    const auto row = static_cast<std::uint8_t>(address >> 6);
    if (column != cursorColumn || row != cursorRow) {
      SendPending();
      MoveCursorTo(Place{true, row, column});
    }
    AddToRun(data);
    return;
  }
  const bool exists = DdramAddressExists(address);
  const Place place = PlaceOf(address);
  ddramAddress = NextDdramAddress(address, countUp);
  if (shiftOnWrite) {
    // The text shows once the display has moved; the repaint paints it there.
    SendPending();
    ShiftDisplay(!countUp);
  } else if (!exists) {
    // An address the chip lacks: the counter counts on as seven bits, and
    // the run follows on at the display's cursor, as it always has here.
    if (!place.shown || !placesByColumn || !countUp) return;
    runByColumn = true;
    AddToRun(data);
    // Past the end of a 64-address line: what the run holds so far is never sent.
    if ((ddramAddress & kColumnMask) == 0) runCut = pendingText;
  } else if (runByColumn) {
    AddToRun(data);
  } else if (!countUp) {
    // The display's cursor only moves right: text counting down is painted
    // at the pause.
    if (place.shown) repaintDue = true;
  } else if (place.shown) {
    if (place.column != cursorColumn || place.row != cursorRow) SendPending();
    MoveCursorTo(place);
    AddToRun(data);
  }
}

void CharacterLcdEmulator::AddToRun(std::uint8_t code) {
  run[pendingText++] = code;
  ++cursorColumn;
  if (pendingText >= kMaxRun) FlushText();
}

std::uint8_t CharacterLcdEmulator::NextDdramAddress(std::uint8_t address, bool up) const {
  if (!DdramAddressExists(address)) {
    return static_cast<std::uint8_t>((address + (up ? 1 : -1)) & kDdramAddressMask);
  }
  if (!twoLines) {
    return static_cast<std::uint8_t>((address + (up ? 1 : kOneLineLength - 1)) % kOneLineLength);
  }
  // Two lines: the end of one goes on at the start of the other, both ways.
  const std::uint8_t lineStart = address & kLine1Offset;
  const std::uint8_t otherLine = lineStart ^ kLine1Offset;
  const int column = address & kColumnMask;
  if (up) {
    return column + 1 < kTwoLineLength ? static_cast<std::uint8_t>(address + 1) : otherLine;
  }
  return column > 0 ? static_cast<std::uint8_t>(address - 1)
                    : static_cast<std::uint8_t>(otherLine + kTwoLineLength - 1);
}

bool CharacterLcdEmulator::DdramAddressExists(std::uint8_t address) const {
  return twoLines ? (address & kColumnMask) < kTwoLineLength : address < kOneLineLength;
}

void CharacterLcdEmulator::UpdateLayout() {
  layout.Update(twoLines, displayShift);
  placesByColumn = ModuleSize{columns, lines} == kDefaultModule && twoLines && displayShift % kTwoLineLength == 0;
  ModesChanged();
}

void CharacterLcdEmulator::ModesChanged() {
  textByColumn = placesByColumn && displayOn && countUp && !shiftOnWrite;
}

CharacterLcdEmulator::Place CharacterLcdEmulator::PlaceOf(std::uint8_t address) const {
  if (!displayOn) return Place{false, 0, 0};
  if (placesByColumn) {
    return Place{true, static_cast<std::uint8_t>((address & kLine1Offset) ? 1 : 0),
                 static_cast<std::uint8_t>(address & kColumnMask)};
  }
  Place place{false, 0, 0};
  place.shown = layout.CellOf(address, place.row, place.column);
  return place;
}

ScreenCodes CharacterLcdEmulator::Glass() const {
  ScreenCodes screen = {};
  for (int row = 0; row < kDisplayTextRows; ++row) {
    for (int column = 0; column < kScreenColumns; ++column) {
      const std::uint8_t address = displayOn ? layout.AddressAt(row, column) : kNoAddress;
      const std::uint8_t code = address == kNoAddress ? kSpace : ddram[address];
      // Codes 8 to 15 show the same custom characters as 0 to 7 on the chip;
      // the display knows only 0 to 7.
      screen.cell[row][column] = code < kCharacterCodeAliases ? static_cast<std::uint8_t>(code % kCustomChars) : code;
    }
  }
  return screen;
}

void CharacterLcdEmulator::FlushText() {
  std::uint8_t text[kMaxRun];
  const int count = pendingText - runCut;
  for (int i = 0; i < count; ++i) {
    const std::uint8_t code = run[runCut + i];
    text[i] = code < kCharacterCodeAliases ? static_cast<std::uint8_t>(code % kCustomChars) : code;
  }
  device->WriteText(text, static_cast<std::uint8_t>(count));
  pendingText = 0;
  runCut = 0;
  runByColumn = false;
}

void CharacterLcdEmulator::FlushGlyph() {
  // Every character whose rows changed, from the first one written: rows
  // written from the middle of one character run into the next.
  for (unsigned i = 0; i < kCustomChars; ++i) {
    const unsigned code = (firstPendingGlyph + i) % kCustomChars;
    if ((static_cast<unsigned>(pendingGlyphs) >> code) & 1u) {
      device->DefineGlyph(static_cast<std::uint8_t>(code), GlyphColumns(cgram + code * kGlyphRows).data());
    }
  }
  pendingGlyphs = 0;
  pendingGlyphRows = 0;
}

void CharacterLcdEmulator::Say(const char* message) {
  std::fputs(message, messages);
  std::fflush(messages);
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
