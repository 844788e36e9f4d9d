#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "device/display_write_watch.h"
#include "captured_device.h"

namespace lptlcd {
namespace {

using Lines = std::vector<std::string>;
using test::CapturedDevice;

class DevicePackets : public ::testing::Test {
 protected:
  CapturedDevice captured;
  UsbDisplayDevice& device = captured.Device();
};

TEST_F(DevicePackets, ControlPackets) {
  device.SendControl1();
  device.ClearScreen();
  device.SendControl3();
  device.SendControl4();
  EXPECT_TRUE(device.SendControl47(0x5A));
  EXPECT_EQ(captured.TakePackets(), (Lines{"01 01 00 00 00 00 00 00", "01 02 00 00 00 00 00 00",
                                           "01 03 00 00 00 00 00 00", "01 04 00 00 00 00 00 00",
                                           "01 47 5a 00 00 00 00 00"}));
}

TEST_F(DevicePackets, SetPosition) {
  EXPECT_TRUE(device.SetPosition(120, 1));
  EXPECT_EQ(captured.TakePackets(), Lines{"03 78 01 00 00 00 00 00"});
}

TEST_F(DevicePackets, DefineGlyph) {
  const std::uint8_t glyph[6] = {0x7F, 0x41, 0x41, 0x41, 0x7F, 0x00};
  EXPECT_TRUE(device.DefineGlyph(0, glyph));
  EXPECT_EQ(captured.TakePackets(), Lines{"04 00 7f 41 41 41 7f 00"});
}

TEST_F(DevicePackets, WriteTextOfOnePacket) {
  const std::uint8_t text[] = {0x41, 0x42, 0x43};
  EXPECT_EQ(device.WriteText(text, 3), 3);
  EXPECT_EQ(captured.TakePackets(), Lines{"02 03 41 42 43 00 00 00"});
}

TEST_F(DevicePackets, WriteTextSplitsAfterSixWithRemainingCountAsValue) {
  const std::uint8_t text[] = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(device.WriteText(text, 10), 10);
  EXPECT_EQ(captured.TakePackets(),
            (Lines{"02 0a 30 31 32 33 34 35", "02 04 36 37 38 39 00 00"}));
}

TEST_F(DevicePackets, WriteTextOfNothingWritesNothing) {
  EXPECT_EQ(device.WriteText(nullptr, 0), 0);
  EXPECT_TRUE(captured.TakePackets().empty());
}

TEST_F(DevicePackets, SendPacketCarriesAtMostSixDataBytes) {
  const std::uint8_t data[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  EXPECT_EQ(device.SendPacket(0x55, 0x66, data, 9), 6);
  EXPECT_EQ(device.WriteBlock(data, 9), 6);
  EXPECT_EQ(captured.TakePackets(),
            (Lines{"55 66 01 02 03 04 05 06", "12 09 01 02 03 04 05 06"}));
}

TEST_F(DevicePackets, EveryPacketStartsFromZeroes) {
  const std::uint8_t six[6] = {9, 9, 9, 9, 9, 9};
  device.SendPacket(0x12, 6, six, 6);
  device.SendPacket(0x12, 1, six, 1);
  EXPECT_EQ(captured.TakePackets(),
            (Lines{"12 06 09 09 09 09 09 09", "12 01 09 00 00 00 00 00"}));
}

TEST_F(DevicePackets, NoOpsWriteNothingAndSizesDescribeTheDisplay) {
  EXPECT_TRUE(device.NoOpA(1));
  EXPECT_TRUE(device.NoOpB(2));
  EXPECT_TRUE(device.NoOpC(3));
  std::uint16_t width = 0, height = 0;
  std::uint8_t columns = 0, rows = 0;
  EXPECT_TRUE(device.GetPixelSize(width, height));
  EXPECT_TRUE(device.GetTextSize(columns, rows));
  EXPECT_EQ(width, 122);
  EXPECT_EQ(height, 32);
  EXPECT_EQ(columns, 20);
  EXPECT_EQ(rows, 4);
  EXPECT_TRUE(captured.TakePackets().empty());
}

TEST_F(DevicePackets, APipeThatGoesAwayIsNotedWithoutChangingWhatOperationsReturn) {
  const std::uint8_t text[] = {'A', 'B'};
  EXPECT_EQ(device.WriteText(text, 2), 2);
  EXPECT_FALSE(device.LastWriteFailed());
  EXPECT_EQ(device.FailedWrites(), 0u);
  EXPECT_EQ(captured.TakePackets(), Lines{"02 02 41 42 00 00 00 00"});

  captured.Disconnect();
  // The emulator relies on these results to keep its own state: a display
  // that went away must not make it resend or lose track of its cursor.
  EXPECT_EQ(device.WriteText(text, 2), 2);
  EXPECT_TRUE(device.SetPosition(0, 1));
  EXPECT_TRUE(device.LastWriteFailed());
  EXPECT_EQ(device.FailedWrites(), 2u);
  EXPECT_TRUE(captured.TakePackets().empty());
}

std::string ReadAll(std::FILE* file) {
  std::rewind(file);
  std::string text;
  for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) text += static_cast<char>(c);
  return text;
}

TEST(DisplayWriteWatch, SaysOnceThatWritesFailNotOncePerLostPacket) {
  PacketCapture capture;
  UsbDisplayDevice device(capture.OpenWriter());
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  DisplayWriteWatch watch(device, out);
  const std::uint8_t text[] = {'x'};

  device.WriteText(text, 1);
  watch.Check();
  EXPECT_EQ(ReadAll(out), "");
  capture.Disconnect();
  for (int i = 0; i < 3; ++i) {
    device.WriteText(text, 1);
    watch.Check();
  }
  EXPECT_EQ(ReadAll(out), "Unable to write to device\n");
  std::fclose(out);
}

TEST(ClosedDevice, SendsNothingAndReportsFailure) {
  UsbDisplayDevice device{UniquePipe()};
  const std::uint8_t data[6] = {1, 2, 3, 4, 5, 6};
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(device.SendPacket(0x02, 1, data, 1), 0);
  EXPECT_EQ(device.WriteBlock(data, 6), 0);
  EXPECT_EQ(device.WriteText(data, 6), 0);
  EXPECT_FALSE(device.SetPosition(1, 1));
  EXPECT_FALSE(device.SendControl47(1));
  EXPECT_FALSE(device.DefineGlyph(1, data));
}

}  // namespace
}  // namespace lptlcd
