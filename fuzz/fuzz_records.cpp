// Any stream of port-write records, with pauses anywhere, through the decoder,
// the emulator and the display's packets, as the program runs them.
//
// Input: records of two bytes, high byte first (port selector, then value);
// the word FF FF is not a record but a pause, on which the emulator flushes as
// the display worker does after an idle millisecond. The end of the input is a
// pause too; an odd last byte is ignored.
//
// The run aborts, naming the record, as soon as the display would be sent
// something it cannot rely on:
// - a packet that CheckPacket faults: not 8 whole bytes, non-zero bytes past
//   its data, a text run of more than six characters, a glyph code above 7,
//   a row other than 0 or 1, a command the display does not know;
// - characters or glyph rows lost or changed on the way: a text packet must
//   carry the last characters written since the previous one, a glyph packet
//   the cell that its first pending row belongs to;
// - something held back: six characters or eight glyph rows not sent at once,
//   anything still unsent after a pause, or a second pause that sends more;
// - a cursor move missing, extra or wrong, a clear without Clear Display, or a
//   packet the emulator never sends;
// - a record that the decoder turns into the wrong command, or into one where
//   there is no rising edge of enable.
// Besides these, AddressSanitizer and UndefinedBehaviorSanitizer stop the run
// at any memory fault or undefined behaviour.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "capture/port_write_decoder.h"
#include "device/packet_capture.h"
#include "device/packet_check.h"
#include "device/packet_text.h"
#include "emulator/character_lcd_emulator.h"
#include "emulator/hd44780.h"

namespace lptlcd {
namespace {

constexpr std::uint16_t kPause = 0xFFFF;
constexpr std::size_t kMaxRun = 6;
constexpr int kGlyphRows = hd44780::kGlyphRows;

std::FILE* DevNull() {
  static std::FILE* devNull = std::fopen("/dev/null", "w");
  if (devNull == nullptr) {
    std::fprintf(stderr, "fuzz_records: cannot open /dev/null for the emulator's messages\n");
    std::abort();
  }
  return devNull;
}

// The decoder, the emulator and the device, with a model of what the display
// must receive, kept from the records and commands alone.
class Run {
 public:
  Run() {
    // The "TODO: " messages are expected; they are not what is checked.
    emulator.SetMessageStream(DevNull());
  }

  void Record(std::size_t index, PortWriteRecord record) {
    recordIndex = index;
    currentRecord = record;
    // What the decoder should make of it: the byte last written to the data
    // register, on a rising edge of control bit 0, with bit 2 as register select.
    bool expectCommand = false;
    LcdCommand expected = 0;
    const auto selector = static_cast<std::uint8_t>(record >> 8);
    const auto value = static_cast<std::uint8_t>(record & 0xFF);
    if (selector == kDataRegisterSelector) {
      dataLatch = value;
    } else if (selector == kControlRegisterSelector) {
      const bool enable = (value & 0x01) != 0;
      if (enable && !enableHigh) {
        expectCommand = true;
        expected = static_cast<LcdCommand>(((value & 0x04) ? kRegisterSelectData : 0) | dataLatch);
      }
      enableHigh = enable;
    }
    commandsFromRecord = 0;
    decoder.Decode(record);
    if (commandsFromRecord != (expectCommand ? 1 : 0)) {
      Fail("the decoder emitted " + std::to_string(commandsFromRecord) + " commands, not " +
           (expectCommand ? "1" : "0"));
    }
    if (expectCommand && lastCommand != expected) {
      Fail("the decoder emitted " + Hex16(lastCommand) + ", not " + Hex16(expected));
    }
  }

  void Pause(std::size_t index) {
    recordIndex = index;
    currentRecord = kPause;
    emulator.Flush();
    Observe(nullptr);
    if (!unsentText.empty()) Fail(std::to_string(unsentText.size()) + " characters unsent");
    if (unsentGlyphRows != 0) Fail(std::to_string(unsentGlyphRows) + " glyph rows unsent");
    emulator.Flush();
    const std::vector<std::uint8_t> again = capture.TakeBytes();
    if (!again.empty()) Fail("a second flush sent " + std::to_string(again.size()) + " bytes");
  }

 private:
  void OnCommand(LcdCommand command) {
    ++commandsFromRecord;
    lastCommand = command;
    const auto byte = static_cast<std::uint8_t>(command & 0xFF);
    if (command & kRegisterSelectData) {
      // The data goes into the model first: a packet it completes comes out
      // of this very call.
      if (cgramMode) {
        cgram[cgramAddress] = byte;
        cgramAddress = static_cast<std::uint8_t>((cgramAddress + 1) & hd44780::kCgramAddressMask);
        ++unsentGlyphRows;
      } else {
        unsentText.push_back(byte);
        ++cursorColumn;
      }
      emulator.Execute(command);
      Observe(nullptr);
    } else {
      // An instruction flushes what is pending under the old state first.
      Expected move;
      if (byte & hd44780::kSetDdramAddress) {
        const auto column = static_cast<std::uint8_t>(byte & hd44780::kColumnMask);
        const auto row = static_cast<std::uint8_t>((byte & hd44780::kLine1Offset) ? 1 : 0);
        if (column != cursorColumn || row != cursorRow) {
          move = Expected::Position(static_cast<std::uint8_t>(column * kCellWidthPixels), row);
        }
        cursorColumn = column;
        cursorRow = row;
      } else if ((byte & ~1u) == hd44780::kReturnHome) {  // 0x02 and 0x03
        move = Expected::Position(0, 0);
        cursorColumn = 0;
        cursorRow = 0;
      } else if (byte == hd44780::kClearDisplay) {
        move = Expected::Clear();
      }
      emulator.Execute(command);
      Observe(&move);
      if (byte & hd44780::kSetDdramAddress) {
        cgramMode = false;
      } else if (byte & hd44780::kSetCgramAddress) {
        cgramMode = true;
        cgramAddress = static_cast<std::uint8_t>(byte & hd44780::kCgramAddressMask);
      }
    }
    if (unsentText.size() >= kMaxRun) Fail("six characters held back");
    if (unsentGlyphRows >= kGlyphRows) Fail("eight glyph rows held back");
  }

  // A position or clear packet that the instruction being run must send,
  // after whatever it flushes.
  struct Expected {
    bool present = false;
    std::uint8_t command = 0;
    std::uint8_t value = 0;
    std::uint8_t data = 0;

    static Expected Position(std::uint8_t x, std::uint8_t row) {
      return Expected{true, kCommandPosition, x, row};
    }
    static Expected Clear() { return Expected{true, kCommandControl, kControlClear, 0}; }
  };

  void Observe(const Expected* last) {
    const std::vector<std::uint8_t> bytes = capture.TakeBytes();
    const std::string fault = CheckPackets(bytes.data(), bytes.size());
    if (!fault.empty()) Fail(fault);
    const std::size_t count = bytes.size() / kPacketSize;
    std::size_t flushed = count;
    if (last != nullptr && last->present) {
      if (count == 0)
        Fail("no packet where " + Hex8(last->command) + " " + Hex8(last->value) + " belongs");
      flushed = count - 1;
      const std::uint8_t* p = bytes.data() + flushed * kPacketSize;
      if (p[0] != last->command || p[1] != last->value ||
          (last->command == kCommandPosition && p[2] != last->data)) {
        Fail("packet " + FormatPacket(p) + " where " + Hex8(last->command) + " " +
             Hex8(last->value) + " " + Hex8(last->data) + " belongs");
      }
    }
    for (std::size_t i = 0; i < flushed; ++i) {
      const std::uint8_t* p = bytes.data() + i * kPacketSize;
      if (p[0] == kCommandText) {
        CheckText(p);
      } else if (p[0] == kCommandGlyph) {
        CheckGlyph(p);
      } else {
        Fail("packet " + FormatPacket(p) + " that nothing asked for");
      }
    }
  }

  // The run must be the last characters written: those before it may only
  // have been dropped for lying before the start of the line.
  void CheckText(const std::uint8_t* p) {
    const std::size_t n = p[1];
    if (n > unsentText.size()) {
      Fail("text packet " + FormatPacket(p) + " with only " + std::to_string(unsentText.size()) +
           " characters written");
    }
    for (std::size_t i = 0; i < n; ++i) {
      if (p[2 + i] != unsentText[unsentText.size() - n + i]) {
        Fail("text packet " + FormatPacket(p) + " does not carry the characters written");
      }
    }
    unsentText.clear();
  }

  // The cell of the first unsent row, column by column, bit 0 the top row,
  // with a blank sixth column.
  void CheckGlyph(const std::uint8_t* p) {
    if (unsentGlyphRows == 0) Fail("glyph packet " + FormatPacket(p) + " without rows written");
    const auto first = static_cast<std::uint8_t>((cgramAddress + 64 - unsentGlyphRows) & 0x3F);
    const auto code = static_cast<std::uint8_t>(first >> 3);
    std::uint8_t want[kPacketSize] = {kCommandGlyph, code};
    for (int column = 0; column < 5; ++column) {
      for (int row = 0; row < kGlyphRows; ++row) {
        if (cgram[code * kGlyphRows + row] & (1 << (4 - column))) {
          want[2 + column] = static_cast<std::uint8_t>(want[2 + column] | (1 << row));
        }
      }
    }
    for (int i = 0; i < kPacketSize; ++i) {
      if (p[i] != want[i]) {
        Fail("glyph packet " + FormatPacket(p) + ", not " + FormatPacket(want));
      }
    }
    unsentGlyphRows = 0;
  }

  [[noreturn]] void Fail(const std::string& what) const {
    if (currentRecord == kPause) {
      std::fprintf(stderr, "fuzz_records: pause at word %zu: %s\n", recordIndex, what.c_str());
    } else {
      std::fprintf(stderr, "fuzz_records: word %zu, record %04x: %s\n", recordIndex,
                   static_cast<unsigned>(currentRecord), what.c_str());
    }
    std::fflush(stderr);
    std::abort();
  }

  static std::string Hex8(std::uint8_t v) {
    char text[4];
    std::snprintf(text, sizeof text, "%02x", static_cast<unsigned>(v));
    return text;
  }
  static std::string Hex16(LcdCommand v) {
    char text[8];
    std::snprintf(text, sizeof text, "%03x", static_cast<unsigned>(v));
    return text;
  }

  PacketCapture capture;
  UsbDisplayDevice device{capture.OpenWriter()};
  CharacterLcdEmulator emulator{&device, 20, 2};
  PortWriteDecoder decoder{[this](LcdCommand command) { OnCommand(command); }};

  std::size_t recordIndex = 0;
  PortWriteRecord currentRecord = 0;
  // The decoder's model.
  std::uint8_t dataLatch = 0;
  bool enableHigh = false;
  int commandsFromRecord = 0;
  LcdCommand lastCommand = 0;
  // The emulator's model: what was written and not yet seen on the display.
  bool cgramMode = false;
  std::uint8_t cgram[64] = {};
  std::uint8_t cgramAddress = 0;
  int unsentGlyphRows = 0;
  std::vector<std::uint8_t> unsentText;
  std::uint8_t cursorColumn = 0;
  std::uint8_t cursorRow = 0;
};

}  // namespace
}  // namespace lptlcd

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  lptlcd::Run run;
  std::size_t index = 0;
  for (std::size_t i = 0; i + 1 < size; i += 2, ++index) {
    const auto record = static_cast<lptlcd::PortWriteRecord>(data[i] << 8 | data[i + 1]);
    if (record == lptlcd::kPause) {
      run.Pause(index);
    } else {
      run.Record(index, record);
    }
  }
  run.Pause(index);  // the end of the input
  return 0;
}
