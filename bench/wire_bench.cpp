// Packets on the wire for a whole 20x2 screen rewritten by typical LCD
// software, against one packet a character. The stream goes through the
// program's decoder, emulator and packet building into a PacketCapture, as
// if the software had written it in one go (the idle flush comes once, at
// the end). Then what the rest of the chip costs on every module: a display
// shift, Display Off and On, a 20x4 and a 40x2 rewrite, and a session on the
// 4-bit bus against the same session on the 8-bit one (bus cycles straight
// into the emulator: the decoder is the same for both).
//
//   wire_bench        progress on standard error, table rows on standard output

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_stats.h"
#include "bench/bench_streams.h"
#include "capture/port_write_decoder.h"
#include "emulator/character_lcd_emulator.h"
#include "tools/packets/packet_capture.h"

namespace {

using lptlcd::bench::Format;

constexpr int kCharacters = 40;
// The fewest the packets allow: ceil(20 / 6) text packets a line, and a
// cursor move to the start of each line.
constexpr int kFewestPackets = 2 * ((20 + 5) / 6) + 2;

class Chain {
 public:
  Chain()
      : device(capture.OpenWriter()),
        emulator(&device, 20, 2),
        decoder([this](lptlcd::LcdCommand command) { emulator.Execute(command); }) {}

  // Packets sent for the records, including the idle flush after them.
  std::size_t Packets(const std::vector<lptlcd::PortWriteRecord>& records) {
    capture.TakeBytes();
    for (lptlcd::PortWriteRecord record : records) decoder.Decode(record);
    emulator.Flush();
    const std::size_t bytes = capture.TakeBytes().size();
    if (bytes % lptlcd::kPacketSize != 0) {
      std::fprintf(stderr, "wire_bench: %zu bytes are not whole packets\n", bytes);
    }
    return bytes / lptlcd::kPacketSize;
  }

 private:
  lptlcd::PacketCapture capture;
  lptlcd::UsbDisplayDevice device;
  lptlcd::CharacterLcdEmulator emulator;
  lptlcd::PortWriteDecoder decoder;
};

void Row(const char* measure, std::size_t packets, int fewest) {
  const double perCharacter = static_cast<double>(packets) / kCharacters;
  std::fputs(lptlcd::bench::TableRow(measure,
                                     Format("%zu packets (%.2f a character; one a character: %d)",
                                            packets, perCharacter, kCharacters),
                                     Format("<= %d (fewest possible)", fewest),
                                     lptlcd::bench::AtMost(static_cast<double>(packets), fewest))
                 .c_str(),
             stdout);
}

// Bus cycles of a session, as LcdCommands.
class Session {
 public:
  Session& Instruction(std::uint8_t byte) { return Byte(false, byte); }
  Session& Text(const std::string& text) {
    for (char ch : text) Byte(true, static_cast<std::uint8_t>(ch));
    return *this;
  }
  // From here on every byte is two cycles, high nibble first, on DB7-DB4.
  Session& FourBits() {
    fourBits = true;
    return *this;
  }
  Session& Screen(lptlcd::ModuleSize module) {
    const std::uint8_t lineStarts[] = {0x80, 0xC0, static_cast<std::uint8_t>(0x80 + module.columns),
                                       static_cast<std::uint8_t>(0xC0 + module.columns)};
    for (int line = 0; line < module.lines; ++line) {
      Instruction(lineStarts[line]);
      std::string text;
      for (int column = 0; column < module.columns; ++column) text += static_cast<char>('A' + (column + line) % 26);
      Text(text);
    }
    return *this;
  }
  const std::vector<lptlcd::LcdCommand>& Cycles() const { return cycles; }

 private:
  Session& Byte(bool data, std::uint8_t byte) {
    const auto select = static_cast<lptlcd::LcdCommand>(data ? lptlcd::kRegisterSelectData : 0);
    if (fourBits) {
      cycles.push_back(static_cast<lptlcd::LcdCommand>(select | (byte & 0xF0)));
      cycles.push_back(static_cast<lptlcd::LcdCommand>(select | (byte << 4 & 0xF0)));
    } else {
      cycles.push_back(static_cast<lptlcd::LcdCommand>(select | byte));
    }
    return *this;
  }
  std::vector<lptlcd::LcdCommand> cycles;
  bool fourBits = false;
};

// A module's emulator over a capture: the packets of each part of a session,
// the idle flush after it included.
class ModuleChain {
 public:
  explicit ModuleChain(lptlcd::ModuleSize module)
      : device(capture.OpenWriter()), emulator(&device, module.columns, module.lines) {}
  std::vector<std::uint8_t> Bytes(const Session& part) {
    for (lptlcd::LcdCommand cycle : part.Cycles()) emulator.Execute(cycle);
    emulator.Flush();
    return capture.TakeBytes();
  }
  std::size_t Packets(const Session& part) { return Bytes(part).size() / lptlcd::kPacketSize; }

 private:
  lptlcd::PacketCapture capture;
  lptlcd::UsbDisplayDevice device;
  lptlcd::CharacterLcdEmulator emulator;
};

void BudgetRow(const std::string& measure, std::size_t packets, int budget, const char* why) {
  std::fputs(lptlcd::bench::TableRow(measure, Format("%zu packets", packets), Format("<= %d (%s)", budget, why),
                                     lptlcd::bench::AtMost(static_cast<double>(packets), budget))
                 .c_str(),
             stdout);
}

constexpr std::uint8_t kShiftLeft = 0x18;
constexpr std::uint8_t kDisplayOff = 0x08;
constexpr std::uint8_t kDisplayOn = 0x0C;

void ModuleRows() {
  constexpr lptlcd::ModuleSize k20x2{20, 2}, k20x4{20, 4}, k40x2{40, 2};
  for (lptlcd::ModuleSize module : {k20x2, k20x4}) {
    ModuleChain chain(module);
    chain.Packets(Session().Screen(module));
    const std::size_t shift = chain.Packets(Session().Instruction(kShiftLeft));
    const int budget = 5 * module.lines;
    BudgetRow(Format("wire: display shift by one cell, %dx%d screen full", module.columns, module.lines), shift,
              budget, "each row: one position, four runs");
  }
  {
    ModuleChain chain(k20x2);
    chain.Packets(Session().Screen(k20x2));
    BudgetRow("wire: Display Off, 20x2 text shown", chain.Packets(Session().Instruction(kDisplayOff)), 1,
              "one clear");
    BudgetRow("wire: Display On, 20x2 text to show", chain.Packets(Session().Instruction(kDisplayOn)), 10,
              "each row: one position, four runs");
    BudgetRow("wire: Display Off, nothing shown", chain.Packets(Session().Instruction(0x01).Instruction(kDisplayOff)), 2,
              "the clear and its cursor; the Display Off nothing");
  }
  for (lptlcd::ModuleSize module : {k20x4, k40x2}) {
    ModuleChain chain(module);
    chain.Packets(Session().Screen(module));
    BudgetRow(Format("wire: %dx%d rewrite (an address and the text of each line)", module.columns, module.lines),
              chain.Packets(Session().Screen(module)), 20, "each display row: one position, four runs");
  }
  // The same session on either bus: its set-up, text, a custom character, a
  // shift, text counting down, Display Off and On.
  const auto body = [](Session& session) {
    session.Instruction(0x0C).Instruction(0x01).Text("Four bits").Instruction(0x48);
    for (char row : {'\x0e', '\x1f', '\x1f', '\x1f', '\x0e', '\0', '\0', '\0'}) session.Text(std::string(1, row));
    session.Instruction(0xC0).Text(std::string(1, '\x01')).Instruction(kShiftLeft).Instruction(0x04).Instruction(0x93)
        .Text("4321").Instruction(kDisplayOff).Instruction(kDisplayOn).Instruction(0x06);
  };
  Session eight;
  eight.Instruction(0x30).Instruction(0x30).Instruction(0x30).Instruction(0x38);
  body(eight);
  Session four;
  four.Instruction(0x30).Instruction(0x30).Instruction(0x30).Instruction(0x20).FourBits().Instruction(0x28);
  body(four);
  ModuleChain eightBus(k20x2);
  ModuleChain fourBus(k20x2);
  const std::vector<std::uint8_t> eightBytes = eightBus.Bytes(eight);
  const bool same = fourBus.Bytes(four) == eightBytes;
  std::fputs(lptlcd::bench::TableRow("wire: a session on the 4-bit bus against the same on the 8-bit bus",
                                     Format("%s (%zu packets on the 8-bit bus)", same ? "the same packets" : "OTHER packets",
                                            eightBytes.size() / lptlcd::kPacketSize),
                                     "exactly the same packets",
                                     lptlcd::bench::AtMost(same ? 0 : 1, 0))
                 .c_str(),
             stdout);
}

}  // namespace

int main() {
  Chain chain;
  // The first rewrite finds the display's cursor at the top left already;
  // from then on every rewrite starts elsewhere, as it does in a running
  // program.
  const std::size_t first = chain.Packets(lptlcd::bench::RewriteStream(false, 0));
  const std::size_t rewrite = chain.Packets(lptlcd::bench::RewriteStream(false, 1));
  const std::size_t cleared = chain.Packets(lptlcd::bench::RewriteStream(true, 2));
  std::fprintf(stderr,
               "wire: 20x2 rewrite: %zu packets the first time, %zu after; with Clear Display "
               "first: %zu\n",
               first, rewrite, cleared);
  Row("wire: 20x2 rewrite (address, 20 chars, address, 20 chars)", rewrite, kFewestPackets);
  Row("wire: Clear Display + 20x2 rewrite", cleared, kFewestPackets + 1);

  // The analyser: after its set-up, every frame costs the eight definitions
  // and one repaint of the sixteen cells (a position, three runs, a
  // position back), however the software orders its writes.
  Chain analyser;
  analyser.Packets(lptlcd::bench::AnalyserStream(0));
  std::size_t most = 0;
  std::size_t total = 0;
  constexpr unsigned kFrames = 50;
  for (unsigned frame = 1; frame <= kFrames; ++frame) {
    const std::size_t packets = analyser.Packets(lptlcd::bench::AnalyserStream(frame));
    most = std::max(most, packets);
    total += packets;
  }
  constexpr int kAnalyserBudget = 8 + 1 + 3;
  std::fprintf(stderr, "wire: analyser: %zu packets in %u frames, at most %zu a frame\n", total,
               kFrames, most);
  std::fputs(lptlcd::bench::TableRow(
                 "wire: spectrum analyser frame (8 characters redefined, shown in 16 cells)",
                 Format("%zu packets at most a frame (%.1f on average over %u frames)", most,
                        static_cast<double>(total) / kFrames, kFrames),
                 Format("<= %d (8 definitions, 1 position, 3 runs)", kAnalyserBudget),
                 lptlcd::bench::AtMost(static_cast<double>(most), kAnalyserBudget))
                 .c_str(),
             stdout);
  ModuleRows();
  return 0;
}
