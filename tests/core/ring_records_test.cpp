// The ring's record arithmetic, both sides: what a producer's append stores
// where, and what a drain pass takes out and decodes, at the ring's end, full,
// and with whatever a broken producer left in the header.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "capture/port_write_decoder.h"
#include "ring/ring_records.h"

namespace lptlcd {
namespace {

using Records = std::vector<PortWriteRecord>;

constexpr PortWriteRecord kUntouched = 0xEEEE;

struct Header {
  std::uint16_t readIndex;
  std::uint16_t writeIndex;
  std::uint16_t count;
};

std::unique_ptr<PortWriteRing> RingWith(Header header) {
  auto ring = std::make_unique<PortWriteRing>();
  ring->readIndex = header.readIndex;
  ring->writeIndex = header.writeIndex;
  ring->count = header.count;
  for (PortWriteRecord& record : ring->records) record = kUntouched;
  return ring;
}

Records Numbered(std::size_t n) {
  Records records(n);
  for (std::size_t i = 0; i < n; ++i) records[i] = static_cast<PortWriteRecord>(0x7800 + i % 0x100);
  return records;
}

struct AppendCase {
  const char* name;
  Header before;
  std::size_t offered;
  std::size_t stored;
  Header after;
};

TEST(AppendRecordsTest, StoresRightAfterThePendingOnesAndNeverOverwrites) {
  const AppendCase cases[] = {
      {"empty ring", {0, 0, 0}, 4, 4, {0, 4, 4}},
      {"after pending records", {100, 103, 3}, 4, 4, {100, 107, 7}},
      {"across the ring's end", {65533, 65534, 1}, 5, 5, {65533, 3, 6}},
      // The one slot a full ring leaves unused (index 6 here) stays as it was.
      {"more than there is room for", {7, 1, 65530}, 10, 5, {7, 6, 65535}},
      {"full ring", {7, 6, 65535}, 10, 0, {7, 6, 65535}},
      {"garbage header, full", {0xFFFF, 0x1234, 65535}, 3, 0, {0xFFFF, 0x1234, 65535}},
      // writeIndex is the producer's own: a wrong one is set right.
      {"garbage writeIndex", {50000, 7, 40000}, 30000, 25535, {50000, 49999, 65535}},
      {"nothing offered", {9, 9, 0}, 0, 0, {9, 9, 0}},
  };
  for (const AppendCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto ring = RingWith(c.before);
    const Records records = Numbered(c.offered);
    EXPECT_EQ(AppendRecords(*ring, records.data(), records.size()), c.stored);
    EXPECT_EQ(ring->readIndex, c.after.readIndex);
    EXPECT_EQ(ring->writeIndex, c.after.writeIndex);
    EXPECT_EQ(ring->count, c.after.count);
    // The first `stored` records, in order, from (readIndex + count) on; no
    // other slot written.
    std::size_t written = 0;
    for (std::size_t i = 0; i < kRingCapacity; ++i) {
      if (ring->records[i] != kUntouched) ++written;
    }
    EXPECT_EQ(written, c.stored);
    const std::size_t first = c.before.readIndex + c.before.count;
    for (std::size_t i = 0; i < c.stored; ++i) {
      ASSERT_EQ(ring->records[(first + i) % kRingCapacity], records[i]) << "record " << i;
    }
  }
}

const Records kCharacterA = {0x7841, 0x7A04, 0x7A05, 0x7A04};

// A character per three records, its byte counting up: 65,535 of them fill the ring.
Records StrobedBytes(std::size_t characters) {
  Records records;
  for (std::size_t i = 0; i < characters; ++i) {
    records.push_back(MakeRecord(kDataRegisterSelector, static_cast<std::uint8_t>(i)));
    records.push_back(0x7A05);
    records.push_back(0x7A04);
  }
  return records;
}

std::vector<LcdCommand> DataCommandsCountingUp(std::size_t n) {
  std::vector<LcdCommand> commands;
  for (std::size_t i = 0; i < n; ++i) commands.push_back(static_cast<LcdCommand>(0x100 | (i & 0xFF)));
  return commands;
}

struct TakeStep {
  std::size_t maxRecords;
  std::size_t taken;
  std::uint16_t readIndexAfter;
  std::uint16_t countAfter;
};

struct TakeCase {
  const char* name;
  std::uint16_t readIndex;
  Records produced;
  std::vector<TakeStep> steps;
  std::vector<LcdCommand> commands;
};

TEST(TakeRecordsTest, TakesPendingRecordsInOrderForTheDecoder) {
  const TakeCase cases[] = {
      {"nothing pending", 17, {}, {{65536, 0, 17, 0}}, {}},
      // Data 0x41 must be latched before the edge: out of order it would be 0x100.
      {"every pending record, in order", 0, {0x7841, 0x7A05, 0x7A04}, {{65536, 3, 3, 0}}, {0x141}},
      {"readIndex wraps from the last record to the first", 65535, kCharacterA,
       {{65536, 4, 3, 0}}, {0x141}},
      // The foreign records change neither the latch nor the strobe.
      {"other selectors are consumed too", 40, {0x7855, 0x7900, 0x7B01, 0x0001, 0x7A05},
       {{65536, 5, 45, 0}}, {0x155}},
      {"a full ring in one pass", 12345, StrobedBytes(65535 / 3),
       {{65536, 65535, static_cast<std::uint16_t>(12345 + 65535), 0}},
       DataCommandsCountingUp(65535 / 3)},
      // Where the command queue has no more room, and on from there later.
      {"stops at the limit and resumes there", 65534,
       {0x7841, 0x7A05, 0x7A04, 0x7842, 0x7A05, 0x7A04},
       {{2, 2, 0, 4}, {0, 0, 0, 4}, {65536, 4, 4, 0}}, {0x141, 0x142}},
  };
  for (const TakeCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto ring = RingWith({c.readIndex, 0, 0});
    ASSERT_EQ(AppendRecords(*ring, c.produced.data(), c.produced.size()), c.produced.size());
    ring->writeIndex = 0xBEEF;  // the producer's own: never read or written here
    std::vector<LcdCommand> commands;
    PortWriteDecoder decoder([&](LcdCommand command) { commands.push_back(command); });
    Records out(65536);
    for (const TakeStep& step : c.steps) {
      const std::size_t taken = TakeRecords(*ring, out.data(), step.maxRecords);
      EXPECT_EQ(taken, step.taken);
      EXPECT_EQ(ring->readIndex, step.readIndexAfter);
      EXPECT_EQ(ring->count, step.countAfter);
      for (std::size_t i = 0; i < taken; ++i) decoder.Decode(out[i]);
    }
    EXPECT_EQ(commands, c.commands);
    EXPECT_EQ(ring->writeIndex, 0xBEEF);
  }
}

TEST(TakeRecordsTest, AGarbageHeaderIsTakenAsItStands) {
  // A producer that died mid-write may leave any readIndex and a full count:
  // everything it claims is taken, across the ring's end, and no more.
  auto ring = RingWith({40000, 3, 65535});
  Records out(65536, 0);
  EXPECT_EQ(TakeRecords(*ring, out.data(), out.size()), 65535u);
  EXPECT_EQ(ring->readIndex, 39999);
  EXPECT_EQ(ring->count, 0);
  EXPECT_EQ(out[65534], kUntouched);
  EXPECT_EQ(out[65535], 0);
}

}  // namespace
}  // namespace lptlcd
