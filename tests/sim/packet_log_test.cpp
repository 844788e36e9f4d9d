#include "tools/lcdsim/packet_log.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

namespace lptlcd::sim {
namespace {

TEST(PacketLog, FormatsLowerCaseHexWithSingleSpaces) {
  const std::uint8_t packet[kPacketSize] = {0x02, 0x01, 0x41, 0x00, 0x00, 0x00, 0xAB, 0xFF};
  EXPECT_EQ(FormatPacketLine(packet), "02 01 41 00 00 00 ab ff");
}

TEST(PacketLog, ParsesAPacketLine) {
  const ParsedLine parsed = ParsePacketLine("03 78 01 00 00 00 00 00");
  ASSERT_EQ(parsed.kind, ParsedLine::Kind::kPacket);
  EXPECT_EQ(parsed.packet, (Packet{0x03, 0x78, 0x01, 0, 0, 0, 0, 0}));
}

TEST(PacketLog, AcceptsUpperCaseTabsAndALineEndWithCarriageReturn) {
  const ParsedLine parsed = ParsePacketLine("  04\t00 7F 41  41 41 7f 00 \r");
  ASSERT_EQ(parsed.kind, ParsedLine::Kind::kPacket);
  EXPECT_EQ(parsed.packet, (Packet{0x04, 0x00, 0x7F, 0x41, 0x41, 0x41, 0x7F, 0x00}));
}

TEST(PacketLog, SkipsBlankLinesAndComments) {
  EXPECT_EQ(ParsePacketLine("").kind, ParsedLine::Kind::kSkipped);
  EXPECT_EQ(ParsePacketLine("   \t\r").kind, ParsedLine::Kind::kSkipped);
  EXPECT_EQ(ParsePacketLine("# 02 01 41 00 00 00 00 00").kind, ParsedLine::Kind::kSkipped);
  EXPECT_EQ(ParsePacketLine("  #note").kind, ParsedLine::Kind::kSkipped);
}

TEST(PacketLog, NamesWhatIsWrongWithABadLine) {
  EXPECT_EQ(ParsePacketLine("02 01 41 00 00 00 00").error, "expected 8 bytes, found 7");
  EXPECT_EQ(ParsePacketLine("02 01 41 00 00 00 00 00 00").error, "more than 8 bytes");
  EXPECT_EQ(ParsePacketLine("02 01 4g 00 00 00 00 00").error, "'4g' is not a two-digit hex byte");
  EXPECT_EQ(ParsePacketLine("2 01 41 00 00 00 00 00").error, "'2' is not a two-digit hex byte");
  EXPECT_EQ(ParsePacketLine("0201 41 00 00 00 00 00").error, "'0201' is not a two-digit hex byte");
  EXPECT_EQ(ParsePacketLine("02 01 41 00 00 00 00 00 # x").error, "'#' is not a two-digit hex byte");
  EXPECT_EQ(ParsePacketLine("02 01 41 00 00 00 00 \x01\x02").error, "'?" "?' is not a two-digit hex byte");
  EXPECT_EQ(ParsePacketLine("02 01 41 00 00 00 00 0123456789abcdef0123").error,
            "'0123456789abcdef...' is not a two-digit hex byte");
}

TEST(PacketLog, ReadsPacketsWithTheirLineNumbers) {
  std::istringstream in("# session\n01 02 00 00 00 00 00 00\n\n02 01 41 00 00 00 00 00\n");
  const PacketLog log = ReadPacketLog(in);
  EXPECT_EQ(log.badLine, 0);
  ASSERT_EQ(log.packets.size(), 2u);
  EXPECT_EQ(log.packets[1], (Packet{0x02, 0x01, 0x41, 0, 0, 0, 0, 0}));
  EXPECT_EQ(log.lineNumbers, (std::vector<int>{2, 4}));
}

TEST(PacketLog, StopsAtTheFirstBadLine) {
  std::istringstream in("01 02 00 00 00 00 00 00\n\n02 01 zz 00 00 00 00 00\n02 01 41 00 00 00 00 00\n");
  const PacketLog log = ReadPacketLog(in);
  EXPECT_EQ(log.badLine, 3);
  EXPECT_EQ(log.error, "line 3: 'zz' is not a two-digit hex byte");
  EXPECT_EQ(log.packets.size(), 1u);
}

TEST(PacketLog, WriterWritesLinesThatReadBack) {
  const std::string path = ::testing::TempDir() + "lcdsim_packet_log_test.log";
  const std::uint8_t first[kPacketSize] = {0x01, 0x02, 0, 0, 0, 0, 0, 0};
  const std::uint8_t second[kPacketSize] = {0x04, 0x07, 0xFF, 0x80, 0x01, 0x10, 0x00, 0xC3};
  {
    PacketLogWriter writer;
    ASSERT_TRUE(writer.Open(path));
    EXPECT_TRUE(writer.Write(first));
    EXPECT_TRUE(writer.Write(second));
    // Flushed as written: readable whole while the writer is still open.
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, "01 02 00 00 00 00 00 00\n04 07 ff 80 01 10 00 c3\n");
  }
  std::ifstream file(path, std::ios::binary);
  const PacketLog log = ReadPacketLog(file);
  ASSERT_EQ(log.packets.size(), 2u);
  EXPECT_EQ(log.packets[1], (Packet{0x04, 0x07, 0xFF, 0x80, 0x01, 0x10, 0x00, 0xC3}));
  file.close();
  std::remove(path.c_str());
}

TEST(PacketLog, WriterThatCannotOpenReportsIt) {
  PacketLogWriter writer;
  EXPECT_FALSE(writer.Open(::testing::TempDir() + "no-such-folder/x/y.log"));
  const std::uint8_t packet[kPacketSize] = {};
  EXPECT_FALSE(writer.Write(packet));
}

}  // namespace
}  // namespace lptlcd::sim
