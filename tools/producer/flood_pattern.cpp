#include "tools/producer/flood_pattern.h"

#include <algorithm>

#include "capture/port_write_decoder.h"

namespace lptlcd {

namespace {
constexpr unsigned kPrintableFirst = 0x20;
constexpr unsigned kPrintableCount = 95;
}  // namespace

void FloodPattern::WriteNextByte() {
  if (!initWritten) {
    writer.Init();
    initWritten = true;
    return;
  }
  if (textBytes % kFloodLineLength == 0) {
    writer.MoveTo(static_cast<unsigned>((textBytes / kFloodLineLength) % 2), 0);
  }
  writer.Data(static_cast<std::uint8_t>(kPrintableFirst + textBytes % kPrintableCount));
  ++textBytes;
}

void FloodPattern::Next(std::size_t count, std::vector<PortWriteRecord>& out) {
  while (count > 0) {
    if (spareAt == spare.size()) {
      WriteNextByte();
      spare = writer.TakeRecords();
      spareAt = 0;
    }
    const std::size_t n = std::min(count, spare.size() - spareAt);
    const auto first = spare.begin() + static_cast<std::ptrdiff_t>(spareAt);
    out.insert(out.end(), first, first + static_cast<std::ptrdiff_t>(n));
    spareAt += n;
    count -= n;
  }
}

std::array<std::string, 2> FloodScreen(std::uint64_t recordCount, Waveform waveform) {
  // Only Set DDRAM Address and data bytes matter to the screen here; the
  // rest of the instruction set the stream never uses after init.
  std::array<std::string, 2> screen{std::string(kFloodLineLength, ' '),
                                    std::string(kFloodLineLength, ' ')};
  unsigned address = 0;
  PortWriteDecoder decoder([&](LcdCommand command) {
    const auto byte = static_cast<std::uint8_t>(command & 0xFF);
    if (command & kRegisterSelectData) {
      const unsigned line = (address >> 6) & 1;
      const unsigned column = address & 0x3F;
      if (column < kFloodLineLength) screen[line][column] = static_cast<char>(byte);
      address = (address + 1) & 0x7F;
    } else if (byte & hd44780::kSetDdramAddress) {
      address = byte & 0x7Fu;
    }
  });
  FloodPattern pattern(waveform);
  std::vector<PortWriteRecord> chunk;
  while (recordCount > 0) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(recordCount, 65536));
    chunk.clear();
    pattern.Next(n, chunk);
    for (PortWriteRecord r : chunk) decoder.Decode(r);
    recordCount -= n;
  }
  return screen;
}

}  // namespace lptlcd
