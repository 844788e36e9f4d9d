#pragma once
// An HD44780 character-LCD controller, emulated over the USB graphic display.
//
// The driving software's instructions and characters arrive one bus cycle at a
// time. The emulator keeps images of the controller's DDRAM and CGRAM and sends
// the display only what changed: characters in runs of up to six, a cursor move
// only when the software addresses a place other than where the display's
// cursor already stands, and a custom character as a six-column glyph once its
// eight rows are in. The chip shows a redefined character in every cell that
// holds its code; the display only in cells painted after, so when the stream
// pauses the cells still showing an older shape are painted again.

#include <array>
#include <cstdint>
#include <cstdio>

#include "common/lcd_types.h"
#include "device/usb_display_device.h"
#include "emulator/hd44780.h"

namespace lptlcd {

class CharacterLcdEmulator {
 public:
  // columns: 8 to 40, otherwise 20; lines: 1 or 2, otherwise 2. Sends nothing.
  CharacterLcdEmulator(UsbDisplayDevice* device, std::uint8_t columns, std::uint8_t lines);
  virtual ~CharacterLcdEmulator();

  CharacterLcdEmulator(const CharacterLcdEmulator&) = delete;
  CharacterLcdEmulator& operator=(const CharacterLcdEmulator&) = delete;

  virtual void Execute(LcdCommand command);
  // Called when the command stream pauses: sends whatever is pending, then
  // paints again the cells whose custom character was redefined since they
  // were painted (once for a whole burst of definitions).
  virtual void Flush();
  virtual void WriteData(std::uint8_t data);
  virtual void WriteInstruction(std::uint8_t instruction);
  virtual void FlushGlyph();
  virtual void FlushText();

  // Where the "TODO: " messages for unsupported features go (standard output
  // unless a tool wants its standard output for something else).
  void SetMessageStream(std::FILE* stream) { messages = stream; }

  // The emulated module's geometry, as configured.
  std::uint8_t Columns() const { return columns; }
  std::uint8_t Lines() const { return lines; }

 private:
  // The steps of Set DDRAM Address.
  void SetDdramAddress(std::uint8_t instruction);
  // The glyph rows, then the characters, not yet sent: what an instruction
  // sends before it changes where data goes.
  void SendPending();
  // Clear Display and Return Home both put the address counter on DDRAM
  // address 0 and the display's cursor top left.
  void GoHome();

  UsbDisplayDevice* device;
  std::uint8_t ddram[hd44780::kDdramSize] = {};
  // The controller's DDRAM geometry: two lines of 40. Addressing itself uses
  // fixed masks, as the controller's does.
  [[maybe_unused]] std::uint8_t ddramLineLength = 40;
  [[maybe_unused]] std::uint8_t ddramLineCount = 2;
  std::uint8_t columns;
  std::uint8_t lines;
  std::uint8_t cursorColumn = 0;  // where the display's cursor stands once all pending text is sent
  std::uint8_t cursorRow = 0;
  std::uint8_t pendingText = 0;  // characters stored since the last text flush
  std::uint8_t cgram[hd44780::kCgramSize] = {};
  std::uint8_t ddramAddress = 0;
  std::uint8_t cgramAddress = 0;
  std::uint8_t pendingGlyphRows = 0;  // rows stored since the last glyph flush
  bool cgramMode = false;             // data bytes go to CGRAM, not DDRAM
  std::FILE* messages = stdout;
};

// A custom character's eight CGRAM rows (bits 4 to 0, leftmost first) as the
// display's six pixel columns (bit 0 the top row), the sixth one blank.
std::array<std::uint8_t, kPacketDataSize> GlyphColumns(const std::uint8_t* rows);

}  // namespace lptlcd
