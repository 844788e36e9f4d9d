#include "tools/producer/flood_pattern.h"

#include <gtest/gtest.h>

#include <string>

#include "decoded.h"

namespace lptlcd {
namespace {

using test::Decode;

std::vector<PortWriteRecord> FloodRecords(Waveform waveform, std::size_t count) {
  FloodPattern pattern(waveform);
  std::vector<PortWriteRecord> out;
  pattern.Next(count, out);
  return out;
}

TEST(FloodPattern, InitThenTextCyclingThroughPrintables) {
  // 7 init bytes, then per 20 text bytes one address: 7 + 200 + 10 bytes.
  const auto records = FloodRecords(Waveform::kNormal, 4 * 217);
  const auto commands = Decode(records);
  ASSERT_EQ(commands.size(), 217u);
  EXPECT_EQ(std::vector<LcdCommand>(commands.begin(), commands.begin() + 7),
            (std::vector<LcdCommand>{0x38, 0x38, 0x38, 0x38, 0x0C, 0x06, 0x01}));
  std::size_t k = 0;
  for (std::size_t i = 7; i < commands.size(); ++i) {
    if (k % 20 == 0) {
      EXPECT_EQ(commands[i], (k / 20) % 2 == 0 ? 0x080 : 0x0C0) << "command " << i;
      ++i;
    }
    ASSERT_LT(i, commands.size());
    EXPECT_EQ(commands[i], 0x100 + 0x20 + k % 95) << "text byte " << k;
    ++k;
  }
  EXPECT_EQ(k, 200u);
}

TEST(FloodPattern, ChunksJoinIntoTheSameStream) {
  // Cut at odd sizes, mid-waveform, the pieces must add up to the whole.
  for (Waveform waveform : {Waveform::kNormal, Waveform::kInverted}) {
    const auto whole = FloodRecords(waveform, 5000);
    FloodPattern pattern(waveform);
    std::vector<PortWriteRecord> pieces;
    for (std::size_t n : {1u, 3u, 7u, 1000u, 2989u, 1000u}) pattern.Next(n, pieces);
    EXPECT_EQ(pieces, whole);
  }
}

TEST(FloodPattern, InvertedStreamDecodesLikeTheNormalOne) {
  const auto normal = Decode(FloodRecords(Waveform::kNormal, 4 * 500));
  auto inverted = Decode(FloodRecords(Waveform::kInverted, 4 * 500));
  ASSERT_GE(inverted.size(), normal.size());
  inverted.resize(normal.size());
  EXPECT_EQ(inverted, normal);
}

TEST(FloodScreen, ShowsTheLastRowOfEachLine) {
  // 7 init bytes + 60 text bytes with 3 address sets: 70 bytes, 280 records.
  // Text byte k is ' ' + k; rows: k 0-19 line 0, 20-39 line 1, 40-59 line 0.
  const auto screen = FloodScreen(4 * 70, Waveform::kNormal);
  std::string line0, line1;
  for (int k = 40; k < 60; ++k) line0 += static_cast<char>(0x20 + k);
  for (int k = 20; k < 40; ++k) line1 += static_cast<char>(0x20 + k);
  EXPECT_EQ(screen[0], line0);
  EXPECT_EQ(screen[1], line1);
}

// The screen as the program's decoder sees the records: Set DDRAM Address
// and data bytes are all the stream uses after its initialisation.
std::array<std::string, 2> DecodedScreen(Waveform waveform, std::size_t count) {
  std::array<std::string, 2> screen{std::string(20, ' '), std::string(20, ' ')};
  unsigned address = 0;
  for (LcdCommand command : Decode(FloodRecords(waveform, count))) {
    const auto byte = static_cast<std::uint8_t>(command & 0xFF);
    if (command & kRegisterSelectData) {
      if ((address & 0x3F) < 20) screen[(address >> 6) & 1][address & 0x3F] = static_cast<char>(byte);
      address = (address + 1) & 0x7F;
    } else if (byte & 0x80) {
      address = byte & 0x7Fu;
    }
  }
  return screen;
}

TEST(FloodScreen, CountsAByteOnceItsEnableEdgeIsIn) {
  // Cut anywhere in a byte's waveform, either wiring.
  for (Waveform waveform : {Waveform::kNormal, Waveform::kInverted}) {
    for (std::size_t count : {0u, 5u, 23u, 24u, 25u, 26u, 27u, 113u, 114u, 115u, 4001u, 4002u}) {
      EXPECT_EQ(FloodScreen(count, waveform), DecodedScreen(waveform, count))
          << (waveform == Waveform::kNormal ? "normal, " : "inverted, ") << count << " records";
    }
  }
}

TEST(FloodScreen, LargeFloodWrapsThroughThePrintables) {
  // 200,000 records = 50,000 bytes: 7 init, then groups of 21 (address + 20).
  // 49,993 = 2380 * 21 + 13: 47,600 + 12 text bytes, the last row on line 0
  // (row 2380 is even) holding 12 new bytes over the row before it.
  const auto screen = FloodScreen(200000, Waveform::kNormal);
  auto row = [](std::uint64_t r, unsigned n) {
    std::string s;
    for (unsigned c = 0; c < n; ++c) s += static_cast<char>(0x20 + (r * 20 + c) % 95);
    return s;
  };
  EXPECT_EQ(screen[0], row(2380, 12) + row(2378, 20).substr(12));
  EXPECT_EQ(screen[1], row(2379, 20));
}

}  // namespace
}  // namespace lptlcd
