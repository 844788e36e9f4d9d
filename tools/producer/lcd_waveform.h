#pragma once
// Spells HD44780 instruction and data bytes as the parallel-port writes that
// driving software makes, so a producer can hand the program exactly what a
// real LCD program would have written to 0x378/0x37A.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "common/lcd_types.h"
#include "emulator/chip/hd44780.h"

namespace lptlcd {

enum class Waveform {
  // Enable on control bit 0, register select on bit 2, both active high:
  // data, then control RS, RS|E, RS (e.g. 7841 7A04 7A05 7A04).
  kNormal,
  // Wiring through the port's inverted control lines: bit 1 (backlight) and
  // bit 0 are set at rest (0x03 instruction, 0x07 data) and bit 0 is pulsed
  // low around each byte. The decoder fires when bit 0 comes back high.
  kInverted,
};

// "normal" or "inverted"; false for anything else.
bool ParseWaveform(std::string_view name, Waveform& waveform);

class LcdRecordWriter {
 public:
  explicit LcdRecordWriter(Waveform shape = Waveform::kNormal) : waveform(shape) {}

  void Instruction(std::uint8_t value) { Byte(false, value); }
  void Data(std::uint8_t value) { Byte(true, value); }
  // A byte on the 4-bit bus: two pulses, the high nibble then the low one,
  // each on data bits 7-4 (the module's DB7-DB4) with bits 3-0 low.
  void Nibbles(bool isData, std::uint8_t value);

  // The power-up sequence LCD software sends: 0x38 three times and once more
  // as its own Function Set, display on, entry mode increment, clear.
  void Init();
  void Home() { Instruction(hd44780::kReturnHome); }
  void Clear() { Instruction(hd44780::kClearDisplay); }
  // Set DDRAM address of (line, column); false, nothing written, when out of
  // range (line 0-1, column 0-39).
  bool MoveTo(unsigned line, unsigned column);
  // Data bytes at the current address.
  void Text(std::string_view text);
  // MoveTo(line, 0), then the text; false when the line is out of range.
  bool TextAt(unsigned line, std::string_view text);
  // Set CGRAM address code*8, then the eight rows; false when code > 7.
  bool DefineChar(unsigned code, const std::uint8_t (&rows)[hd44780::kGlyphRows]);

  const std::vector<PortWriteRecord>& Records() const { return records; }
  // How many of Records() a reader must have seen for the last byte to take
  // effect: those up to the write that raises its enable line.
  std::size_t LastByteTakesEffectAfter() const { return lastByteEdge; }
  // Hands over what was written so far; the waveform's state carries on.
  std::vector<PortWriteRecord> TakeRecords();

 private:
  void Byte(bool isData, std::uint8_t value);

  Waveform waveform;
  std::vector<PortWriteRecord> records;
  std::size_t lastByteEdge = 0;
  // Inverted waveform: the control value left at rest by the last byte, so a
  // change of register select can be set up before the next pulse.
  bool restKnown = false;
  std::uint8_t rest = 0;
};

}  // namespace lptlcd
