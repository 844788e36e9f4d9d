#pragma once
// A long, self-checking stream of port writes for load tests: after the init
// sequence, text bytes cycle through the 95 printable ASCII characters
// (' ' to '~'), byte k being ' ' + k mod 95, and every 20 bytes the address
// moves to the start of the other line (line 0 first). Every text run the
// display receives is therefore a slice of one known sequence, so a lost,
// repeated or reordered record shows up as a break in it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/lcd_types.h"
#include "tools/producer/lcd_waveform.h"

namespace lptlcd {

constexpr unsigned kFloodLineLength = 20;

class FloodPattern {
 public:
  explicit FloodPattern(Waveform waveform) : writer(waveform) {}

  // Appends the next `count` records of the endless stream to `out`. The
  // stream is cut at record granularity, so a run may end inside a byte's
  // waveform; the next call carries on from there.
  void Next(std::size_t count, std::vector<PortWriteRecord>& out);

 private:
  friend std::array<std::string, 2> FloodScreen(std::uint64_t recordCount, Waveform waveform);

  // Where a text byte lands on the 20x2 screen, and what it is.
  struct TextByte {
    bool isText = false;  // false for the initialisation and address bytes
    unsigned line = 0;
    unsigned column = 0;
    char character = ' ';
  };
  TextByte WriteNextByte();

  LcdRecordWriter writer;
  bool initWritten = false;
  std::uint64_t textBytes = 0;
  bool movedToLine = false;  // the address of the next text byte's line is written
  std::vector<PortWriteRecord> spare;  // written but not yet handed out
  std::size_t spareAt = 0;
};

// What the 20x2 screen shows once the first `recordCount` records of the
// stream have been executed: every text byte whose enable edge is among
// them, at its place. Cells never written read as spaces.
std::array<std::string, 2> FloodScreen(std::uint64_t recordCount, Waveform waveform);

}  // namespace lptlcd
