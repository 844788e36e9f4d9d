// Any input, read two ways, through the decoder, the emulator and the
// display's packets, as the program runs them.
//
// 1. As port-write records: two bytes each, high byte first (port selector,
//    then value); the word FF FF is not a record but a pause, on which the
//    emulator flushes as the display worker does after an idle millisecond.
//    Whatever the records, nothing may crash and every packet must be one the
//    display can rely on (CheckPacket), with nothing left to send after a
//    pause: a second flush sends nothing.
// 2. As what LCD software writes on the module's bus: the first byte picks
//    the wiring (bit 0: the inverted one), then pairs of a flags byte and a
//    value. Flags bit 0 is register select, bit 1 a pause after the write;
//    for instructions, bits 2-3 steer the value towards what software sends
//    (1: Set DDRAM Address of an address that exists, 2: Set CGRAM Address,
//    3: Clear Display, Return Home, Display On or Function Set). The writes
//    are spelt as port writes by the producers' own waveform code and run
//    through the program, and, beside it, through an independent model of
//    the chip. Besides the checks of 1, at every pause of a session that
//    stays inside what lptlcd carries out (8-bit bus, two lines, addresses
//    counting up, no shifts, nothing past the 40th address of a line), the
//    display's screen must be the chip's glass.
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
  Chain() {
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
  CharacterLcdEmulator emulator{&device, 20, 2};
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

// An instruction steered towards what software sends, as flags bits 2-3 say.
std::uint8_t Steered(std::uint8_t flags, std::uint8_t value) {
  switch ((flags >> 2) & 3) {
    case 1: {
      const unsigned cell = value % 80u;  // an address that exists
      return static_cast<std::uint8_t>(hd44780::kSetDdramAddress | (cell >= 40 ? 0x40 : 0) | cell % 40u);
    }
    case 2:
      return static_cast<std::uint8_t>(hd44780::kSetCgramAddress | (value & hd44780::kCgramAddressMask));
    case 3: {
      constexpr std::uint8_t kSetUp[] = {hd44780::kClearDisplay, hd44780::kReturnHome,
                                         hd44780::kDisplayOnCursorOff, hd44780::kFunctionSet8Bit2Lines};
      return kSetUp[value & 3];
    }
    default:
      return value;
  }
}

class BusSession {
 public:
  explicit BusSession(Waveform waveform) : writer(waveform) {
    // Every session starts as software sets the module up: 8-bit bus, two
    // lines, display on.
    Write(false, hd44780::kFunctionSet8Bit2Lines);
    Write(false, hd44780::kDisplayOnCursorOff);
  }

  // The port writes go to the program in one piece at the next pause, which
  // is all the same to it.
  void Write(bool registerSelect, std::uint8_t value) {
    oracle.Write(registerSelect, value);
    if (registerSelect) {
      writer.Data(value);
    } else {
      writer.Instruction(value);
    }
  }

  void Pause(std::size_t write) {
    for (PortWriteRecord record : writer.TakeRecords()) chain.Decode(record);
    const std::string fault = chain.Pause();
    if (!fault.empty()) Fail("bus: pause after write", write, fault);
    const std::string judged = oracle.Judge(chain.Display());
    if (!judged.empty()) Fail("bus: pause after write", write, judged);
  }

 private:
  LcdRecordWriter writer;
  Chain chain;
  test::ChipOracle oracle;
};

void RunBus(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return;
  BusSession session((data[0] & 1) ? Waveform::kInverted : Waveform::kNormal);
  std::size_t write = 0;
  for (std::size_t i = 1; i + 1 < size; i += 2, ++write) {
    const std::uint8_t flags = data[i];
    const bool registerSelect = (flags & 1) != 0;
    session.Write(registerSelect, registerSelect ? data[i + 1] : Steered(flags, data[i + 1]));
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
