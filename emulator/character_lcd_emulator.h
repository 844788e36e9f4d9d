#pragma once
// An HD44780 character-LCD module, emulated on the USB graphic display: the
// controller (emulator/chip/, which knows nothing of the display) and the
// painter that shows its glass there (emulator/painter/). This class only
// joins the two: each byte goes to the controller, and what it changed to
// the painter.

#include <cstdint>
#include <cstdio>

#include "common/lcd_types.h"
#include "device/usb_display_device.h"
#include "emulator/chip/hd44780_controller.h"
#include "emulator/module_size.h"
#include "emulator/painter/glass_painter.h"

namespace lptlcd {

// Said once when the default module is addressed where a 20x4 has its lines 3 and 4.
constexpr char kTwentyByFourHint[] =
    "The software writes lines 3 and 4 of a 20x4 module: start lptlcd with --module 20x4 to show them\n";

class CharacterLcdEmulator {
 public:
  // The module as ShownModule takes `columns` and `lines`. Sends nothing.
  CharacterLcdEmulator(UsbDisplayDevice* device, std::uint8_t columns, std::uint8_t lines);
  virtual ~CharacterLcdEmulator();

  CharacterLcdEmulator(const CharacterLcdEmulator&) = delete;
  CharacterLcdEmulator& operator=(const CharacterLcdEmulator&) = delete;

  // One bus cycle (two make a byte on the 4-bit bus).
  virtual void Execute(LcdCommand command);
  // Called when the command stream pauses: redraws a display that came
  // back, sends whatever is pending, then paints the cells where the display
  // no longer shows the glass.
  virtual void Flush();
  // Whether the next Flush has anything to send. While it has not, nothing
  // needs the emulator until a command.
  bool HasPending() const { return painter.HasPending(); }
  virtual void WriteData(std::uint8_t data);
  virtual void WriteInstruction(std::uint8_t instruction);
  virtual void FlushGlyph();
  virtual void FlushText();

  // Where the messages go (standard output unless a tool wants its standard
  // output for something else).
  void SetMessageStream(std::FILE* stream) { messages = stream; }

  // The emulated module's geometry, as taken.
  std::uint8_t Columns() const { return module.columns; }
  std::uint8_t Lines() const { return module.lines; }

 private:
  void Say(const char* message);

  ModuleSize module;
  Hd44780Controller controller;
  GlassPainter painter;
  bool hintSaid = false;
  std::FILE* messages = stdout;
};

}  // namespace lptlcd
