#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
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

TEST_F(DevicePackets, EachOperationWritesItsPackets) {
  const std::uint8_t glyph[6] = {0x7F, 0x41, 0x41, 0x41, 0x7F, 0x00};
  const std::uint8_t nine[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  const std::uint8_t digits[] = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'};
  const struct {
    const char* name;
    std::function<int(UsbDisplayDevice&)> operation;
    int result;
    Lines packets;
  } cases[] = {
      {"control packets", [](UsbDisplayDevice& d) {
         d.SendControl1();
         d.ClearScreen();
         d.SendControl3();
         d.SendControl4();
         return d.SendControl47(0x5A);
       }, 1, {"01 01 00 00 00 00 00 00", "01 02 00 00 00 00 00 00", "01 03 00 00 00 00 00 00",
              "01 04 00 00 00 00 00 00", "01 47 5a 00 00 00 00 00"}},
      {"a position", [](UsbDisplayDevice& d) { return d.SetPosition(120, 1); }, 1,
       {"03 78 01 00 00 00 00 00"}},
      {"a glyph", [&](UsbDisplayDevice& d) { return d.DefineGlyph(0, glyph); }, 1,
       {"04 00 7f 41 41 41 7f 00"}},
      {"text in one packet", [&](UsbDisplayDevice& d) { return d.WriteText(digits, 3); }, 3,
       {"02 03 30 31 32 00 00 00"}},
      {"text split after six, the value counting what is still to come",
       [&](UsbDisplayDevice& d) { return d.WriteText(digits, 10); }, 10,
       {"02 0a 30 31 32 33 34 35", "02 04 36 37 38 39 00 00"}},
      {"no text, no packet", [](UsbDisplayDevice& d) { return d.WriteText(nullptr, 0); }, 0, {}},
      {"at most six data bytes a packet", [&](UsbDisplayDevice& d) { return d.SendPacket(0x55, 0x66, nine, 9); },
       6, {"55 66 01 02 03 04 05 06"}},
      {"a block", [&](UsbDisplayDevice& d) { return d.WriteBlock(nine, 9); }, 6,
       {"12 09 01 02 03 04 05 06"}},
      {"every packet starts from zeroes", [&](UsbDisplayDevice& d) {
         d.SendPacket(0x12, 6, nine, 6);
         return d.SendPacket(0x12, 1, nine, 1);
       }, 1, {"12 06 01 02 03 04 05 06", "12 01 01 00 00 00 00 00"}},
      {"the no-ops", [](UsbDisplayDevice& d) { return d.NoOpA(1) && d.NoOpB(2) && d.NoOpC(3); }, 1, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.operation(device), c.result);
    EXPECT_EQ(captured.TakePackets(), c.packets);
  }
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
