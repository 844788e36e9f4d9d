#pragma once
// The port-write streams the measuring tools feed the program, and a mirror of
// the program's decoding and emulation that says how many commands and
// packets a stream makes.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "capture/port_write_decoder.h"
#include "common/lcd_types.h"
#include "device/usb_display_device.h"
#include "emulator/character_lcd_emulator.h"

namespace lptlcd::bench {

// A busy status screen, 16 frames of it: eight custom characters redefined
// (a bar graph), both lines of a 20x2 screen rewritten, a few cursor moves for
// a clock field, Return Home. One command every four records.
std::vector<PortWriteRecord> RealisticStream();

// The densest commands the decoder can be given, each of which also sends a
// packet. A command needs a rising edge of the enable bit, and only a control
// write with enable clear makes the next one possible, so at best every
// second record is a command. The data latch holds 0x80 throughout; the
// edges alternate between register select set (the character 0x80 is stored)
// and clear (Set DDRAM Address 0x80, which flushes that one character and
// moves the cursor back). `count` records, starting with the data write.
std::vector<PortWriteRecord> AllStrobeStream(std::size_t count);

// Typical software rewriting a whole 20x2 screen: Set DDRAM Address of line
// 0, 20 characters, Set DDRAM Address of line 1, 20 characters; with
// clearFirst, Clear Display before it. The normal waveform.
std::vector<PortWriteRecord> RewriteStream(bool clearFirst, unsigned frame = 0);

// A spectrum analyser: cells 0-15 of line 0 hold codes 0-7 twice, and each
// frame redefines the eight characters as bars (Set CGRAM Address 0x40, 64
// rows) and goes back to DDRAM (Set DDRAM Address 0x80). Frame 0 also sets the
// module up and writes the sixteen cells first.
std::vector<PortWriteRecord> AnalyserStream(unsigned frame);

// `count` records taken from `stream` over and over.
std::vector<PortWriteRecord> Repeated(const std::vector<PortWriteRecord>& stream,
                                      std::size_t count);

// A display that counts the packets it is asked to send and sends nothing.
class CountingDisplay : public UsbDisplayDevice {
 public:
  CountingDisplay() : UsbDisplayDevice(UniquePipe()) {}
  std::uint8_t SendPacket(std::uint8_t command, std::uint8_t value, const std::uint8_t* data,
                          std::uint8_t count) override;
  std::size_t Packets() const { return packets; }

 private:
  std::size_t packets = 0;
};

// The program's decoder and emulator over a counting display, keeping their
// state from one stream to the next as the program does.
class Mirror {
 public:
  Mirror();
  Mirror(const Mirror&) = delete;
  Mirror& operator=(const Mirror&) = delete;

  struct Counts {
    std::size_t commands = 0;
    std::size_t packets = 0;
  };
  // Decodes and executes the records; the packets counted include those of
  // the flush that follows when `flushAfter` (the program's idle flush).
  Counts Feed(const std::vector<PortWriteRecord>& records, bool flushAfter = true);

 private:
  CountingDisplay display;
  CharacterLcdEmulator emulator;
  PortWriteDecoder decoder;
  std::size_t commands = 0;
};

}  // namespace lptlcd::bench
