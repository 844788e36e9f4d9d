#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "device/usb_display_device.h"
#include "tests/oracle/packet_check.h"
#include "tools/packets/packet_capture.h"

namespace lptlcd {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Check(const Bytes& bytes) { return CheckPackets(bytes.data(), bytes.size()); }

class PacketCheck : public ::testing::Test {
 protected:
  Bytes Sent() { return capture.TakeBytes(); }

  PacketCapture capture;
  UsbDisplayDevice device{capture.OpenWriter()};
};

TEST_F(PacketCheck, EveryPacketTheDeviceBuildsForTheProgramIsSound) {
  const std::uint8_t six[6] = {0x00, 0x07, 0x41, 0xFF, 0x20, 0x00};  // zeroes are glyph 0
  device.SendControl1();
  device.ClearScreen();
  device.SendControl3();
  device.SendControl4();
  device.SendControl47(0xFF);
  device.WriteText(six, 6);
  device.WriteText(six, 1);
  device.SetPosition(0xFF, 1);
  device.SetPosition(0, 0);
  device.DefineGlyph(7, six);
  device.WriteBlock(six, 0);
  device.WriteBlock(six, 200);  // a block's value is its count; six bytes go
  const Bytes sent = Sent();
  EXPECT_EQ(sent.size(), 12u * 8u);
  EXPECT_EQ(Check(sent), "");
}

TEST_F(PacketCheck, DataCountsFollowTheCommands) {
  const struct {
    std::uint8_t command, value;
    int count;
  } cases[] = {
      {0x01, 0x02, 0}, {0x01, 0x47, 1}, {0x01, 0x05, -1}, {0x02, 0x03, 3},
      {0x02, 0x0A, 6}, {0x03, 0x78, 1}, {0x04, 0x07, 6}, {0x12, 0x00, 0},
      {0x12, 0x09, 6}, {0x00, 0x00, -1}, {0x05, 0x01, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PacketDataCount(c.command, c.value), c.count)
        << std::hex << int{c.command} << " " << int{c.value};
  }
}

TEST_F(PacketCheck, TextLongerThanOneRunIsCaughtInItsFirstPacket) {
  const std::uint8_t seven[7] = {'A', 'B', 'C', 'D', 'E', 'F', 'G'};
  device.WriteText(seven, 7);
  EXPECT_EQ(Check(Sent()),
            "packet 0 (02 07 41 42 43 44 45 46): text run of 7 characters, more than six");
}

TEST_F(PacketCheck, GlyphCodeAboveSevenIsCaught) {
  const std::uint8_t glyph[6] = {1, 2, 3, 4, 5, 0};
  device.ClearScreen();
  device.DefineGlyph(8, glyph);
  EXPECT_EQ(Check(Sent()), "packet 1 (04 08 01 02 03 04 05 00): glyph code 8 is not 0 to 7");
}

TEST_F(PacketCheck, PositionRowBelowTheFourthIsCaught) {
  device.SetPosition(12, 3);
  device.SetPosition(12, 4);
  EXPECT_EQ(Check(Sent()), "packet 1 (03 0c 04 00 00 00 00 00): position row 4 is not 0 to 3");
}

// Packets no device builds, written out by hand: each fault, and which one
// is named when there are several.
TEST(PacketCheckByHand, EachFaultIsNamedWithItsPacket) {
  // One packet, in hex, then its fault: named with the packet as packet 0.
  const char* const single[] = {
      // Bytes past the data must be zero.
      "02 02 41 42 43 00 00 00: byte 4, past the data, is 0x43, not 0",
      "03 00 01 00 00 00 00 09: byte 7, past the data, is 0x09, not 0",
      "01 02 80 00 00 00 00 00: byte 2, past the data, is 0x80, not 0",
      "01 47 80 01 00 00 00 00: byte 3, past the data, is 0x01, not 0",
      "12 01 80 01 00 00 00 00: byte 3, past the data, is 0x01, not 0",
      // Unknown commands and controls, and empty text.
      "05 01 00 00 00 00 00 00: unknown command 0x05",
      "00 00 00 00 00 00 00 00: unknown command 0x00",
      "01 05 00 00 00 00 00 00: unknown control value 0x05",
      "02 00 00 00 00 00 00 00: text packet without characters",
  };
  for (const std::string row : single) {
    const std::string hex = row.substr(0, 3 * kPacketSize - 1);
    Bytes bytes;
    for (std::size_t at = 0; at < hex.size(); at += 3) {
      bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(at, 2), nullptr, 16)));
    }
    EXPECT_EQ(Check(bytes), "packet 0 (" + hex + ")" + row.substr(hex.size()));
  }
  const struct {
    Bytes bytes;
    const char* fault;
  } several[] = {
      {{}, ""},  // nothing is sound
      // A partial packet, after the whole ones; a fault in a whole one first.
      {{0x01, 0x02, 0, 0, 0, 0, 0, 0, 0x02, 0x01, 0x41}, "partial packet at offset 8: 3 of 8 bytes"},
      {{0x01}, "partial packet at offset 0: 1 of 8 bytes"},
      {{0x01, 0x09, 0, 0, 0, 0, 0, 0, 0x02},
       "packet 0 (01 09 00 00 00 00 00 00): unknown control value 0x09"},
      // Only the first fault is named.
      {{0x01, 0x02, 0, 0, 0, 0, 0, 0, 0x03, 0x00, 0x05, 0, 0, 0, 0, 0, 0x04, 0x09, 0, 0, 0, 0, 0, 0},
       "packet 1 (03 00 05 00 00 00 00 00): position row 5 is not 0 to 3"},
  };
  for (const auto& c : several) EXPECT_EQ(Check(c.bytes), c.fault);
  EXPECT_EQ(CheckPackets(nullptr, 0), "");
}

}  // namespace
}  // namespace lptlcd
