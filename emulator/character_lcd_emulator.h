#pragma once
// An HD44780 character-LCD controller, emulated over the USB graphic display.
//
// The driving software's instructions and characters arrive one bus cycle at a
// time (two a byte on the 4-bit bus). The emulator keeps the controller's DDRAM,
// CGRAM, address counter and modes, and makes the display show the module's
// glass (see ModuleLayout). Text that follows on where the display's cursor
// stands goes as runs of up to six characters, with a cursor move only where
// the software addresses another place; a custom character goes as a glyph
// once its eight rows are in. What runs cannot follow (a display shift, text
// counting down, Display On, a line mode change) and custom characters
// redefined while they show (the display draws one only when its cell is
// written) are put right when the stream pauses: the cells where the display
// differs from the glass are painted, once for a whole burst.

#include <array>
#include <cstdint>
#include <cstdio>

#include "common/lcd_types.h"
#include "device/usb_display_device.h"
#include "emulator/hd44780.h"
#include "emulator/module_layout.h"
#include "emulator/module_size.h"

namespace lptlcd {

// Said once when the default module is addressed where a 20x4 has its lines 3 and 4.
constexpr char kTwentyByFourHint[] =
    "The software writes lines 3 and 4 of a 20x4 module: start lptlcd with --module 20x4 to show them\n";

class CharacterLcdEmulator {
 public:
  // columns: 8 to 40, otherwise 20; lines: 1, 2 or 4 (4 only up to 20
  // columns, as one controller drives it), otherwise 2. Sends nothing.
  CharacterLcdEmulator(UsbDisplayDevice* device, std::uint8_t columns, std::uint8_t lines);
  virtual ~CharacterLcdEmulator();

  CharacterLcdEmulator(const CharacterLcdEmulator&) = delete;
  CharacterLcdEmulator& operator=(const CharacterLcdEmulator&) = delete;

  virtual void Execute(LcdCommand command);
  // Called when the command stream pauses: sends whatever is pending, then
  // paints the cells where the display no longer shows the glass.
  virtual void Flush();
  // Whether the next Flush has anything to send: text, glyph rows or a
  // repaint. While it has not, nothing needs the emulator until a command.
  bool HasPending() const {
    return pendingText != 0 || pendingGlyphRows != 0 || repaintDue || device->MayShowOldShapes();
  }
  virtual void WriteData(std::uint8_t data);
  virtual void WriteInstruction(std::uint8_t instruction);
  virtual void FlushGlyph();
  virtual void FlushText();

  // Where the messages go (standard output unless a tool wants its standard
  // output for something else).
  void SetMessageStream(std::FILE* stream) { messages = stream; }

  // The emulated module's geometry, as configured.
  std::uint8_t Columns() const { return columns; }
  std::uint8_t Lines() const { return lines; }

 private:
  // Where the display paints the character at a DDRAM address: a text row
  // and a column of six-pixel cells.
  struct Place {
    bool shown;
    std::uint8_t row;
    std::uint8_t column;
  };

  // The steps of Set DDRAM Address.
  void SetDdramAddress(std::uint8_t instruction);
  void CursorOrDisplayShift(std::uint8_t instruction);
  void DisplayOnOffControl(std::uint8_t instruction);
  void FunctionSet(std::uint8_t instruction);
  // The glyph rows, then the characters, not yet sent: what an instruction
  // sends before it changes where data goes.
  void SendPending();
  // Clear Display and Return Home both put the address counter on DDRAM
  // address 0, the display unshifted and the display's cursor top left.
  void GoHome();
  void WriteDdram(std::uint8_t data);
  // Adds a character to the run at the display's cursor.
  void AddToRun(std::uint8_t code);
  // The address after `address` (or before it, counting down), within its
  // line as the chip wraps it.
  std::uint8_t NextDdramAddress(std::uint8_t address, bool up) const;
  bool DdramAddressExists(std::uint8_t address) const;
  Place PlaceOf(std::uint8_t address) const;
  // Works out what every cell shows again, after a change of line mode or shift.
  void UpdateLayout();
  void ModesChanged();
  void ShiftDisplay(bool right);
  void MoveCursorTo(Place place);
  // What every display cell shows of the glass now.
  ScreenCodes Glass() const;
  void Say(const char* message);

  UsbDisplayDevice* device;
  std::uint8_t ddram[hd44780::kDdramSize];
  // The controller's DDRAM geometry: two lines of 40.
  [[maybe_unused]] std::uint8_t ddramLineLength = 40;
  [[maybe_unused]] std::uint8_t ddramLineCount = 2;
  std::uint8_t columns;
  std::uint8_t lines;
  std::uint8_t cursorColumn = 0;  // where the display's cursor stands once all pending text is sent
  std::uint8_t cursorRow = 0;
  std::uint8_t pendingText = 0;  // characters of the run not yet sent
  std::uint8_t cgram[hd44780::kCgramSize] = {};
  std::uint8_t ddramAddress = 0;
  std::uint8_t cgramAddress = 0;
  std::uint8_t pendingGlyphRows = 0;  // rows stored since the last glyph flush
  bool cgramMode = false;             // data bytes go to CGRAM, not DDRAM

  // The chip's modes. lptlcd may start while the software is already
  // running, so it starts as software leaves the module: 8-bit bus, two
  // lines, display on, counting up.
  bool eightBitBus = true;
  bool twoLines = true;
  bool countUp = true;
  bool shiftOnWrite = false;
  bool displayOn = true;
  std::uint8_t displayShift = 0;  // cells the display is shifted to the left, 0-79
  // On the 4-bit bus: the high nibble of a byte whose low one is to come.
  bool nibblePending = false;
  LcdCommand firstNibble = 0;

  std::uint8_t run[6] = {};    // the run's characters
  std::uint8_t runCut = 0;     // characters of the run left unsent (written past a line's end)
  bool runByColumn = false;    // the run holds text at an address the chip lacks
  std::uint8_t pendingGlyphs = 0;  // bit n: character n has rows not yet sent
  std::uint8_t firstPendingGlyph = 0;
  bool repaintDue = false;  // the glass changed in a way runs do not follow
  bool hintSaid = false;
  // The module as the default one always showed it: every address of a line
  // at its own column, those past the glass off the edge.
  bool placesByColumn;
  bool textByColumn;  // and text counts up, with no shift, on a display that is on

  ModuleLayout layout;
  std::FILE* messages = stdout;
};

// A custom character's eight CGRAM rows (bits 4 to 0, leftmost first) as the
// display's six pixel columns (bit 0 the top row), the sixth one blank.
std::array<std::uint8_t, kPacketDataSize> GlyphColumns(const std::uint8_t* rows);

}  // namespace lptlcd
