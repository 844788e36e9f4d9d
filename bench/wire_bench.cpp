// Packets on the wire for a whole 20x2 screen rewritten by typical LCD
// software, against one packet a character. The stream goes through the
// program's decoder, emulator and packet building into a PacketCapture, as
// if the software had written it in one go (the idle flush comes once, at
// the end).
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
  constexpr int kAnalyserBudget = 8 + 1 + 3 + 1;
  std::fprintf(stderr, "wire: analyser: %zu packets in %u frames, at most %zu a frame\n", total,
               kFrames, most);
  std::fputs(lptlcd::bench::TableRow(
                 "wire: spectrum analyser frame (8 characters redefined, shown in 16 cells)",
                 Format("%zu packets at most a frame (%.1f on average over %u frames)", most,
                        static_cast<double>(total) / kFrames, kFrames),
                 Format("<= %d (8 definitions, 1 position, 3 runs, 1 position back)", kAnalyserBudget),
                 lptlcd::bench::AtMost(static_cast<double>(most), kAnalyserBudget))
                 .c_str(),
             stdout);
  return 0;
}
