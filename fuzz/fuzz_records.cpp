// Any input, read two ways, through the decoder, the emulator and the
// display's packets, as the program runs them.
//
// 1. As port-write records: two bytes each, high byte first (port selector,
//    then value); the word FF FF is not a record but a pause, on which the
//    emulator flushes as the display worker does after an idle millisecond.
//    Whatever the records, nothing may crash and every packet must be one the
//    display can rely on (CheckPacket), with nothing left to send after a
//    pause: a second flush sends nothing.
// 2. As what LCD software writes on the module's bus. The first byte picks
//    the wiring (bit 0: the inverted one), the bus (bit 1: after the set-up,
//    the datasheet's initialisation to 4 bits, 0x3 0x3 0x3 0x2 and then a
//    Function Set for two lines, and every byte from then on as two pulses,
//    high nibble first) and the module (bits 2-7, an index into
//    kSupportedModules modulo its length). Then come pairs of a flags byte
//    and a value. Flags bit 0 is register select, bit 1 a pause after the
//    write; for instructions, bits 2-3 steer the value towards what software
//    sends (1: Set DDRAM Address of an address that exists in the chip's
//    present line mode, 2: Set CGRAM Address, 3: Clear Display, Return Home,
//    Display On or Off, an Entry Mode Set, a cursor or display shift, or a
//    Function Set for one or two lines on the session's bus). The writes are
//    spelt as port writes by the producers' own waveform code and run
//    through the program set up for that module, and, beside it, through an
//    independent model of the chip behind the same module's glass. Besides
//    the checks of 1, at every pause of a session the model can judge (no
//    text at an address the chip lacks, no cursor, no 5x10 font), the
//    display's whole screen must be that glass as lptlcd lays it out.
//
// The run aborts with a message naming the word or write at the first fault.
// AddressSanitizer and UndefinedBehaviorSanitizer stop it at any memory
// fault or undefined behaviour.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "capture/port_write_decoder.h"
#include "emulator/character_lcd_emulator.h"
#include "emulator/module_size.h"
#include "tests/oracle/chip_oracle.h"
#include "tests/oracle/packet_check.h"
#include "tools/lcdsim/display_model.h"
#include "tools/packets/packet_capture.h"
#include "tools/producer/lcd_waveform.h"

namespace lptlcd {
namespace {

constexpr std::uint16_t kPause = 0xFFFF;

std::FILE* DevNull() {
  static std::FILE* devNull = std::fopen("/dev/null", "w");
  if (devNull == nullptr) {
    std::fprintf(stderr, "fuzz_records: cannot open /dev/null for the emulator's messages\n");
    std::abort();
  }
  return devNull;
}

[[noreturn]] void Fail(const char* reading, std::size_t at, const std::string& what) {
  std::fprintf(stderr, "fuzz_records: %s %zu: %s\n", reading, at, what.c_str());
  std::fflush(stderr);
  std::abort();
}

// The program's chain from records to the display's screen.
class Chain {
 public:
  explicit Chain(ModuleSize module = kDefaultModule) : emulator{&device, module.columns, module.lines} {
    // The "TODO: " messages are expected; they are not what is checked.
    emulator.SetMessageStream(DevNull());
  }

  void Decode(PortWriteRecord record) { decoder.Decode(record); }

  // The idle flush; its packets must be sound, and a second one must find
  // nothing left. Returns the fault, empty when there is none.
  std::string Pause() {
    emulator.Flush();
    const std::vector<std::uint8_t> bytes = capture.TakeBytes();
    std::string fault = CheckPackets(bytes.data(), bytes.size());
    if (!fault.empty()) return fault;
    for (std::size_t at = 0; at + kPacketSize <= bytes.size(); at += kPacketSize) {
      display.ApplyPacket(&bytes[at]);
    }
    emulator.Flush();
    const std::size_t again = capture.TakeBytes().size();
    if (again != 0) return "a second flush sent " + std::to_string(again) + " bytes";
    return "";
  }

  const lptlcd::sim::DisplayModel& Display() const { return display; }

 private:
  PacketCapture capture;
  UsbDisplayDevice device{capture.OpenWriter()};
  CharacterLcdEmulator emulator;
  PortWriteDecoder decoder{[this](LcdCommand command) { emulator.Execute(command); }};
  lptlcd::sim::DisplayModel display;
};

void RunRecords(const std::uint8_t* data, std::size_t size) {
  Chain chain;
  std::size_t word = 0;
  for (std::size_t i = 0; i + 1 < size; i += 2, ++word) {
    const auto record = static_cast<PortWriteRecord>(data[i] << 8 | data[i + 1]);
    if (record != kPause) {
      chain.Decode(record);
      continue;
    }
    const std::string fault = chain.Pause();
    if (!fault.empty()) Fail("records: pause at word", word, fault);
  }
  const std::string fault = chain.Pause();
  if (!fault.empty()) Fail("records: the end, word", word, fault);
}

// An instruction steered towards what software sends, as flags bits 2-3 say:
// addresses that exist in the chip's present line mode, and Function Sets
// that keep the session's bus.
std::uint8_t Steered(std::uint8_t flags, std::uint8_t value, bool twoLines, bool fourBit) {
  switch ((flags >> 2) & 3) {
    case 1: {
      const unsigned cell = value % 80u;
      if (!twoLines) return static_cast<std::uint8_t>(hd44780::kSetDdramAddress | cell);
      return static_cast<std::uint8_t>(hd44780::kSetDdramAddress | (cell >= 40 ? 0x40 : 0) | cell % 40u);
    }
    case 2:
      return static_cast<std::uint8_t>(hd44780::kSetCgramAddress | (value & hd44780::kCgramAddressMask));
    case 3: {
      const auto bus = static_cast<std::uint8_t>(hd44780::kFunctionSet | (fourBit ? 0 : hd44780::kEightBitBus));
      const std::uint8_t others[] = {
          hd44780::kClearDisplay,
          hd44780::kReturnHome,
          hd44780::kDisplayOnCursorOff,
          hd44780::kDisplayOnOffControl,  // display off
          hd44780::kEntryModeSet,
          hd44780::kEntryModeSet | hd44780::kEntryShiftDisplay,
          hd44780::kEntryModeSet | hd44780::kEntryIncrement,
          hd44780::kEntryModeSet | hd44780::kEntryIncrement | hd44780::kEntryShiftDisplay,
          hd44780::kCursorOrDisplayShift,
          hd44780::kCursorOrDisplayShift | hd44780::kShiftRight,
          hd44780::kCursorOrDisplayShift | hd44780::kShiftDisplay,
          hd44780::kCursorOrDisplayShift | hd44780::kShiftDisplay | hd44780::kShiftRight,
          static_cast<std::uint8_t>(bus | hd44780::kTwoLines),
          bus,
      };
      return others[value % sizeof others];
    }
    default:
      return value;
  }
}

class BusSession {
 public:
  BusSession(Waveform waveform, ModuleSize module, bool fourBitBus)
      : writer(waveform), chain(module), oracle(module) {
    // Every session starts as software sets the module up: 8-bit bus, two
    // lines, display on; then, for a 4-bit session, the initialisation by
    // instruction (single pulses on DB7-DB4) and two lines again in 4 bits.
    Pulse(false, hd44780::kFunctionSet8Bit2Lines);
    Pulse(false, hd44780::kDisplayOnCursorOff);
    if (!fourBitBus) return;
    for (int i = 0; i < 3; ++i) Pulse(false, hd44780::kFunctionSet | hd44780::kEightBitBus);
    Pulse(false, hd44780::kFunctionSet);
    fourBit = true;
    Write(false, hd44780::kFunctionSet | hd44780::kTwoLines);
  }

  // One byte, in one pulse or, on the 4-bit bus, two. The port writes go to
  // the program in one piece at the next pause, which is all the same to it.
  void Write(bool registerSelect, std::uint8_t value) {
    if (!fourBit) {
      Pulse(registerSelect, value);
      return;
    }
    oracle.Write(registerSelect, static_cast<std::uint8_t>(value & 0xF0));
    oracle.Write(registerSelect, static_cast<std::uint8_t>(value << 4));
    writer.Nibbles(registerSelect, value);
  }

  void Pause(std::size_t write) {
    for (PortWriteRecord record : writer.TakeRecords()) chain.Decode(record);
    const std::string fault = chain.Pause();
    if (!fault.empty()) Fail("bus: pause after write", write, fault);
    const std::string judged = oracle.Judge(chain.Display());
    if (!judged.empty()) Fail("bus: pause after write", write, judged);
  }

  bool FourBit() const { return fourBit; }
  bool TwoLines() const { return oracle.Chip().TwoLines(); }

 private:
  void Pulse(bool registerSelect, std::uint8_t bus) {
    oracle.Write(registerSelect, bus);
    if (registerSelect) {
      writer.Data(bus);
    } else {
      writer.Instruction(bus);
    }
  }

  LcdRecordWriter writer;
  Chain chain;
  test::ChipOracle oracle;
  bool fourBit = false;
};

void RunBus(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return;
  constexpr std::size_t kModules = sizeof kSupportedModules / sizeof kSupportedModules[0];
  BusSession session((data[0] & 1) ? Waveform::kInverted : Waveform::kNormal,
                     kSupportedModules[(data[0] >> 2) % kModules], (data[0] & 2) != 0);
  std::size_t write = 0;
  for (std::size_t i = 1; i + 1 < size; i += 2, ++write) {
    const std::uint8_t flags = data[i];
    const bool registerSelect = (flags & 1) != 0;
    const std::uint8_t value = data[i + 1];
    session.Write(registerSelect,
                  registerSelect ? value : Steered(flags, value, session.TwoLines(), session.FourBit()));
    if (flags & 2) session.Pause(write);
  }
  session.Pause(write);
}

}  // namespace
}  // namespace lptlcd

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  lptlcd::RunRecords(data, size);
  lptlcd::RunBus(data, size);
  return 0;
}
