#include "tools/producer/flood_pattern.h"

#include <algorithm>

namespace lptlcd {

namespace {
constexpr unsigned kPrintableFirst = 0x20;
constexpr unsigned kPrintableCount = 95;
}  // namespace

FloodPattern::TextByte FloodPattern::WriteNextByte() {
  if (!initWritten) {
    writer.Init();
    initWritten = true;
    return TextByte();
  }
  const auto line = static_cast<unsigned>((textBytes / kFloodLineLength) % 2);
  const auto column = static_cast<unsigned>(textBytes % kFloodLineLength);
  if (column == 0 && !movedToLine) {
    writer.MoveTo(line, 0);
    movedToLine = true;
    return TextByte();
  }
  const auto character = static_cast<char>(kPrintableFirst + textBytes % kPrintableCount);
  writer.Data(static_cast<std::uint8_t>(character));
  ++textBytes;
  movedToLine = false;
  return TextByte{true, line, column, character};
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
  std::array<std::string, 2> screen{std::string(kFloodLineLength, ' '),
                                    std::string(kFloodLineLength, ' ')};
  FloodPattern pattern(waveform);
  std::uint64_t before = 0;  // records of the bytes already looked at
  for (;;) {
    const FloodPattern::TextByte next = pattern.WriteNextByte();
    if (before + pattern.writer.LastByteTakesEffectAfter() > recordCount) return screen;
    before += pattern.writer.TakeRecords().size();
    if (next.isText) screen[next.line][next.column] = next.character;
  }
}

}  // namespace lptlcd
