// The streams the measuring tools feed the program must be what their names
// claim, or the figures describe something else.

#include <gtest/gtest.h>

#include <vector>

#include "bench/bench_streams.h"

namespace lptlcd::bench {
namespace {

TEST(BenchStreams, AllStrobeIsACommandEverySecondRecordAndEachSendsAPacket) {
  const std::vector<PortWriteRecord> stream = AllStrobeStream(65535);
  ASSERT_EQ(stream.size(), 65535u);
  Mirror mirror;
  // The last command, a character, goes out with the idle flush.
  const Mirror::Counts counts = mirror.Feed(stream);
  EXPECT_EQ(counts.commands, 32767u);
  EXPECT_EQ(counts.packets, 32767u);
}

TEST(BenchStreams, RealisticStreamIsACommandEveryFourRecords) {
  const std::vector<PortWriteRecord> stream = RealisticStream();
  Mirror mirror;
  const Mirror::Counts counts = mirror.Feed(stream);
  EXPECT_EQ(counts.commands * 4, stream.size());
  // 16 frames, each with eight glyphs and some text: packets, but far fewer
  // than commands.
  EXPECT_GE(counts.packets, 16u * 8u);
  EXPECT_LT(counts.packets * 4, counts.commands);
}

TEST(BenchStreams, RewriteIsTwoAddressesAndFortyCharacters) {
  Mirror mirror;
  EXPECT_EQ(mirror.Feed(RewriteStream(false)).commands, 42u);
  EXPECT_EQ(mirror.Feed(RewriteStream(true)).commands, 43u);
}

TEST(BenchStreams, MirrorKeepsTheDecodersStateAcrossFeeds) {
  // A stream cut inside an enable pulse: the edge came in the first part, so
  // the end of the pulse in the second must not make another command.
  const std::vector<PortWriteRecord> stream = AllStrobeStream(4);  // data, 05, 04, 01
  Mirror mirror;
  EXPECT_EQ(mirror.Feed({stream[0], stream[1]}).commands, 1u);
  EXPECT_EQ(mirror.Feed({stream[1], stream[2], stream[3]}).commands, 1u);
}

TEST(BenchStreams, RepeatedCutsToLength) {
  const std::vector<PortWriteRecord> cycle = {1, 2, 3};
  EXPECT_EQ(Repeated(cycle, 7), (std::vector<PortWriteRecord>{1, 2, 3, 1, 2, 3, 1}));
  EXPECT_TRUE(Repeated({}, 5).empty());
}

}  // namespace
}  // namespace lptlcd::bench
