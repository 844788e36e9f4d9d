// Discovery over the real SetupAPI, CreateFileA and WriteFile: displays are
// registered in the prefix's registry and their pipe is served in-process.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "device/display_discovery.h"
#include "device/usb_display_device.h"
#include "tests/support/captured_stream.h"
#include "tools/displayhost/display_host.h"

namespace lptlcd {
namespace {

constexpr DWORD kGenerousMs = 10000;

using Packet = PacketRecorder::Packet;

class DisplayDiscoveryTest : public ::testing::Test {
 protected:
  void SetUp() override { SetDiscoveryMessageStream(output.Get()); }
  void TearDown() override { SetDiscoveryMessageStream(nullptr); }

  test::CapturedStream output;
};

TEST_F(DisplayDiscoveryTest, GuidIsTheDisplaysInterfaceClass) {
  const GUID expected = {0x00873FDF, 0x61A8, 0x11D1, {0xAA, 0x5E, 0x00, 0xC0, 0x4F, 0xB1, 0x72, 0x8B}};
  EXPECT_EQ(0, std::memcmp(&expected, &DisplayInterfaceGuid, sizeof expected));
  EXPECT_STREQ("PIPE01", kOutputPipeName);
}

TEST_F(DisplayDiscoveryTest, NoDisplayReportsAndLeavesTheDeviceClosed) {
  DevicePathBuffer path = {};
  EXPECT_FALSE(OpenFirstInterface(&DisplayInterfaceGuid, path).IsValid());
  EXPECT_FALSE(GetUsbDeviceFileName(&DisplayInterfaceGuid, path));
  EXPECT_EQ("", output.Text());

  UsbDisplayDevice device;
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ("Failed to GetUsbDeviceFileName\n", output.Text());
  EXPECT_EQ(0, device.SendPacket(0x01, 0x02, nullptr, 0));
}

TEST_F(DisplayDiscoveryTest, OpensTheFirstDisplayAndItsPipe) {
  DisplayRegistration display("B");
  ASSERT_TRUE(display.ok());
  PacketRecorder received;
  DisplayPipeServer server(received.Handler());
  ASSERT_TRUE(server.Start());

  {
    UsbDisplayDevice device;
    ASSERT_TRUE(device.IsOpen());
    EXPECT_EQ("Attempting to open " + display.InterfacePath() + "\n", output.Text());
    EXPECT_EQ(display.InterfacePath() + "\\PIPE01", std::string(devicePath));
    device.ClearScreen();
    const std::uint8_t text[] = {'A', 'B', 'C'};
    EXPECT_EQ(3, device.WriteText(text, 3));
    ASSERT_TRUE(received.WaitForCount(2, kGenerousMs));
  }
  const std::vector<Packet> expected = {{0x01, 0x02, 0, 0, 0, 0, 0, 0},
                                        {0x02, 0x03, 'A', 'B', 'C', 0, 0, 0}};
  EXPECT_EQ(expected, received.Packets());
}

TEST_F(DisplayDiscoveryTest, PathIsLowerCaseInstanceUnderTheClass) {
  DisplayRegistration display("B");
  ASSERT_TRUE(display.ok());
  EXPECT_EQ("\\\\?\\usb#vid_1111&pid_0002#b#{00873fdf-61a8-11d1-aa5e-00c04fb1728b}",
            display.InterfacePath());
  DevicePathBuffer path = {};
  ASSERT_TRUE(GetUsbDeviceFileName(&DisplayInterfaceGuid, path));
  EXPECT_EQ(display.InterfacePath(), std::string(path));
}

TEST_F(DisplayDiscoveryTest, SkipsAFirstDisplayThatCannotBeOpened) {
  DisplayRegistration first("B", DisplayRegistration::Kind::kUnopenable);
  DisplayRegistration second("C");
  ASSERT_TRUE(first.ok());
  ASSERT_TRUE(second.ok());
  PacketRecorder received;
  DisplayPipeServer server(received.Handler());
  ASSERT_TRUE(server.Start());

  UsbDisplayDevice device;
  ASSERT_TRUE(device.IsOpen());
  EXPECT_EQ("Attempting to open " + first.InterfacePath() + "\n" +
                "FAILED to open " + first.InterfacePath() + "\n" +
                "Attempting to open " + second.InterfacePath() + "\n",
            output.Text());
  EXPECT_EQ(second.InterfacePath() + "\\PIPE01", std::string(devicePath));
  EXPECT_TRUE(device.SetPosition(120, 1));
  ASSERT_TRUE(received.WaitForCount(1, kGenerousMs));
  EXPECT_EQ((Packet{0x03, 0x78, 0x01, 0, 0, 0, 0, 0}), received.Packets().at(0));
}

TEST_F(DisplayDiscoveryTest, InterfaceOpensButPipeDoesNot) {
  DisplayRegistration display("B");
  ASSERT_TRUE(display.ok());
  // No pipe server: the interface path opens, the pipe below it does not.
  UsbDisplayDevice device;
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ("Attempting to open " + display.InterfacePath() + "\n", output.Text());
  EXPECT_EQ(display.InterfacePath() + "\\PIPE01", std::string(devicePath));
}

TEST_F(DisplayDiscoveryTest, OnlyUnopenableDisplays) {
  DisplayRegistration display("B", DisplayRegistration::Kind::kUnopenable);
  ASSERT_TRUE(display.ok());
  UsbDisplayDevice device;
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ("Attempting to open " + display.InterfacePath() + "\n" + "FAILED to open " +
                display.InterfacePath() + "\n" + "Failed to GetUsbDeviceFileName\n",
            output.Text());
}

// Instance ids that make the interface path exactly as long as devicePath can
// take (248 characters: 256 less "\PIPE01" and the terminating zero) and one
// character longer. The path is 65 characters plus the id.
std::string IdForPathLength(std::size_t length) { return std::string(length - 65, 'A'); }

TEST_F(DisplayDiscoveryTest, PathThatFillsTheBufferExactlyIsUsed) {
  DisplayRegistration display(IdForPathLength(kMaxInterfacePathLength));
  ASSERT_TRUE(display.ok());
  ASSERT_EQ(248u, display.InterfacePath().size());
  PacketRecorder received;
  DisplayPipeServer server(received.Handler());
  ASSERT_TRUE(server.Start());

  UsbDisplayDevice device;
  ASSERT_TRUE(device.IsOpen());
  EXPECT_EQ(display.InterfacePath() + "\\PIPE01", std::string(devicePath));
  EXPECT_EQ(255u, std::strlen(devicePath));
  device.SendControl1();
  ASSERT_TRUE(received.WaitForCount(1, kGenerousMs));
  EXPECT_EQ((Packet{0x01, 0x01, 0, 0, 0, 0, 0, 0}), received.Packets().at(0));
}

TEST_F(DisplayDiscoveryTest, PathWithNoRoomForThePipeNameCountsAsUnopenable) {
  // Openable in every other way, and enumerated before "B".
  DisplayRegistration tooLong(IdForPathLength(kMaxInterfacePathLength + 1));
  DisplayRegistration usable("B");
  ASSERT_TRUE(tooLong.ok());
  ASSERT_TRUE(usable.ok());
  ASSERT_EQ(249u, tooLong.InterfacePath().size());
  PacketRecorder received;
  DisplayPipeServer server(received.Handler());
  ASSERT_TRUE(server.Start());

  UsbDisplayDevice device;
  ASSERT_TRUE(device.IsOpen());
  EXPECT_EQ("Attempting to open " + tooLong.InterfacePath() + "\n" + "FAILED to open " +
                tooLong.InterfacePath() + "\n" + "Attempting to open " +
                usable.InterfacePath() + "\n",
            output.Text());
  EXPECT_EQ(usable.InterfacePath() + "\\PIPE01", std::string(devicePath));
}

TEST_F(DisplayDiscoveryTest, RegistrationIsRemovedWithItsOwner) {
  {
    DisplayRegistration display("B");
    ASSERT_TRUE(display.ok());
  }
  DevicePathBuffer path = {};
  EXPECT_FALSE(GetUsbDeviceFileName(&DisplayInterfaceGuid, path));
}

TEST_F(DisplayDiscoveryTest, PipeServerTakesOneClientAfterAnother) {
  DisplayRegistration display("B");
  ASSERT_TRUE(display.ok());
  PacketRecorder received;
  DisplayPipeServer server(received.Handler());
  ASSERT_TRUE(server.Start());
  for (std::uint8_t round = 1; round <= 3; ++round) {
    UsbDisplayDevice device;
    ASSERT_TRUE(device.IsOpen());
    device.SetPosition(round, 0);
  }
  ASSERT_TRUE(received.WaitForCount(3, kGenerousMs));
  const std::vector<Packet> expected = {{0x03, 1, 0, 0, 0, 0, 0, 0},
                                        {0x03, 2, 0, 0, 0, 0, 0, 0},
                                        {0x03, 3, 0, 0, 0, 0, 0, 0}};
  EXPECT_EQ(expected, received.Packets());
  EXPECT_EQ(3, server.ConnectionCount());
}

}  // namespace
}  // namespace lptlcd
