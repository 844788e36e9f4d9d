// Discovery over the real SetupAPI, CreateFileA and WriteFile: displays are
// registered in the prefix's registry and their pipe is served in-process.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <memory>
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

  // Display "B", openable, with its pipe served.
  void ServeDisplay() {
    served = std::make_unique<DisplayRegistration>("B");
    ASSERT_TRUE(served->ok());
    pipeServer = std::make_unique<DisplayPipeServer>(servedPackets.Handler());
    ASSERT_TRUE(pipeServer->Start());
  }

  test::CapturedStream output;
  std::unique_ptr<DisplayRegistration> served;
  PacketRecorder servedPackets;
  std::unique_ptr<DisplayPipeServer> pipeServer;
};

TEST_F(DisplayDiscoveryTest, NoDisplayReportsAndLeavesTheDeviceClosed) {
  DevicePathBuffer path = {};
  EXPECT_FALSE(GetUsbDeviceFileName(&DisplayInterfaceGuid, path));
  EXPECT_EQ("", output.Text());

  UsbDisplayDevice device;
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ("Failed to GetUsbDeviceFileName\n", output.Text());
  EXPECT_EQ(0, device.SendPacket(0x01, 0x02, nullptr, 0));
}

TEST_F(DisplayDiscoveryTest, OpensTheFirstDisplayAndItsPipe) {
  ServeDisplay();

  {
    UsbDisplayDevice device;
    ASSERT_TRUE(device.IsOpen());
    EXPECT_EQ("Attempting to open " + served->InterfacePath() + "\n", output.Text());
    EXPECT_EQ(served->InterfacePath() + "\\PIPE01", std::string(devicePath));
    device.ClearScreen();
    const std::uint8_t text[] = {'A', 'B', 'C'};
    EXPECT_EQ(3, device.WriteText(text, 3));
    ASSERT_TRUE(servedPackets.WaitForCount(2, kGenerousMs));
  }
  const std::vector<Packet> expected = {{0x01, 0x02, 0, 0, 0, 0, 0, 0},
                                        {0x02, 0x03, 'A', 'B', 'C', 0, 0, 0}};
  EXPECT_EQ(expected, servedPackets.Packets());
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

// Instance ids that make the interface path exactly as long as devicePath can
// take (248 characters: 256 less "\PIPE01" and the terminating zero) and one
// character longer. The path is 65 characters plus the id.
std::string IdForPathLength(std::size_t length) { return std::string(length - 65, 'A'); }

// Displays as the driver registers them, in enumeration order, and what the
// search makes of them: its messages, whether the device opens, and the pipe
// path it opened. A device that opens must carry a packet to the display.
struct Registered {
  std::string id;
  DisplayRegistration::Kind kind;
};
constexpr auto kOpenable = DisplayRegistration::Kind::kOpenable;
constexpr auto kUnopenable = DisplayRegistration::Kind::kUnopenable;

// One line of the search's output: an attempt or a failure for the
// registration with that index, or (index -1) the search's own failure.
struct Said {
  const char* what;  // "Attempting to open ", "FAILED to open ", "Failed to GetUsbDeviceFileName"
  int display;
};

struct DiscoveryCase {
  const char* name;
  std::vector<Registered> displays;
  bool servePipe;
  std::vector<Said> output;
  int opened;  // the registration whose pipe is opened, or -1
  std::size_t firstPathLength;  // checked when not 0
};

TEST_F(DisplayDiscoveryTest, WhatTheSearchMakesOfTheDisplaysRegistered) {
  const std::size_t longest = kMaxInterfacePathLength;  // 248: 256 less "\PIPE01" and the zero
  const DiscoveryCase cases[] = {
      {"the first cannot be opened: the second is used",
       {{"B", kUnopenable}, {"C", kOpenable}}, true,
       {{"Attempting to open ", 0}, {"FAILED to open ", 0}, {"Attempting to open ", 1}}, 1, 0},
      // Another device of the class, enumerated first: its interface opens,
      // but it has no PIPE01, so the search goes on to the display.
      {"the first has no pipe: the second is used",
       {{"B", DisplayRegistration::Kind::kNoPipe}, {"C", kOpenable}}, true,
       {{"Attempting to open ", 0}, {"Attempting to open ", 1}}, 1, 0},
      // No pipe server: the interface path opens, the pipe below it does not.
      {"the interface opens but its pipe does not", {{"B", kOpenable}}, false,
       {{"Attempting to open ", 0}}, -1, 0},
      {"only displays that cannot be opened", {{"B", kUnopenable}}, true,
       {{"Attempting to open ", 0}, {"FAILED to open ", 0}, {"Failed to GetUsbDeviceFileName", -1}},
       -1, 0},
      {"a path that fills the buffer exactly", {{IdForPathLength(longest), kOpenable}}, true,
       {{"Attempting to open ", 0}}, 0, 248},
      // Openable in every other way, and enumerated before "B".
      {"a path with no room for the pipe name counts as unopenable",
       {{IdForPathLength(longest + 1), kOpenable}, {"B", kOpenable}}, true,
       {{"Attempting to open ", 0}, {"FAILED to open ", 0}, {"Attempting to open ", 1}}, 1, 249},
  };
  for (const DiscoveryCase& c : cases) {
    SCOPED_TRACE(c.name);
    test::CapturedStream said;
    SetDiscoveryMessageStream(said.Get());
    std::vector<std::unique_ptr<DisplayRegistration>> displays;
    for (const Registered& display : c.displays) {
      displays.push_back(std::make_unique<DisplayRegistration>(display.id, display.kind));
      ASSERT_TRUE(displays.back()->ok());
    }
    if (c.firstPathLength != 0) {
      ASSERT_EQ(displays[0]->InterfacePath().size(), c.firstPathLength);
    }
    PacketRecorder received;
    DisplayPipeServer server(received.Handler());
    if (c.servePipe) {
      ASSERT_TRUE(server.Start());
    }

    UsbDisplayDevice device;
    std::string expected;
    for (const Said& line : c.output) {
      expected += line.display < 0 ? std::string(line.what)
                                   : line.what + displays[static_cast<std::size_t>(line.display)]->InterfacePath();
      expected += "\n";
    }
    EXPECT_EQ(said.Text(), expected);
    ASSERT_EQ(device.IsOpen(), c.opened >= 0);
    if (c.opened < 0) continue;
    const std::string pipePath = displays[static_cast<std::size_t>(c.opened)]->InterfacePath() + "\\PIPE01";
    EXPECT_EQ(std::string(devicePath), pipePath);
    EXPECT_EQ(std::strlen(devicePath), pipePath.size());
    EXPECT_TRUE(device.SetPosition(120, 1));
    ASSERT_TRUE(received.WaitForCount(1, kGenerousMs));
    EXPECT_EQ((Packet{0x03, 0x78, 0x01, 0, 0, 0, 0, 0}), received.Packets().at(0));
  }
}

// What each kind of registration lets a program open while PIPE01 is served.
TEST_F(DisplayDiscoveryTest, EachKindOfRegistrationOpensWhatItSays) {
  struct KindCase {
    DisplayRegistration::Kind kind;
    bool interfaceOpens;
    bool pipeOpens;
  };
  const KindCase cases[] = {
      {kOpenable, true, true},
      {kUnopenable, false, false},
      {DisplayRegistration::Kind::kNoPipe, true, false},
  };
  PacketRecorder received;
  DisplayPipeServer server(received.Handler());
  ASSERT_TRUE(server.Start());
  const auto opens = [](const std::string& path) {
    return UniqueFileHandle(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr))
        .IsValid();
  };
  for (const KindCase& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.kind));
    DisplayRegistration display("B", c.kind);
    ASSERT_TRUE(display.ok());
    EXPECT_EQ(opens(display.InterfacePath()), c.interfaceOpens);
    EXPECT_EQ(opens(display.InterfacePath() + "\\PIPE01"), c.pipeOpens);
  }
}

// After a loss the search goes back to the display it had, before any other
// device of the class, and says when it ends up at another path.
TEST_F(DisplayDiscoveryTest, TheQuietSearchTriesItsOwnDisplayFirst) {
  ServeDisplay();  // "B"
  ASSERT_TRUE(OpenDevicePipe(kOutputPipeName).IsValid());
  const std::string pathB = served->InterfacePath();
  served.reset();  // B unplugged
  auto c = std::make_unique<DisplayRegistration>("C");
  ASSERT_TRUE(c->ok());
  const std::string pathC = c->InterfacePath();
  const struct {
    const char* name;
    bool bPresent;
    bool cPresent;
    std::string opened;  // the interface whose pipe opens, "" for none
    std::string said;
  } steps[] = {
      {"B gone, C there: C, said", false, true, pathC, "The display is now at another path: " + pathC + "\n"},
      // B enumerates first, but C is the display in use now.
      {"B back, C still there: C again, nothing said", true, true, pathC, ""},
      {"C gone: B, said", true, false, pathB, "The display is now at another path: " + pathB + "\n"},
      {"nothing there: nothing, nothing said", false, false, "", ""},
  };
  std::unique_ptr<DisplayRegistration> b;
  for (const auto& step : steps) {
    SCOPED_TRACE(step.name);
    b = step.bPresent ? (b ? std::move(b) : std::make_unique<DisplayRegistration>("B")) : nullptr;
    c = step.cPresent ? (c ? std::move(c) : std::make_unique<DisplayRegistration>("C")) : nullptr;
    test::CapturedStream said;
    SetDiscoveryMessageStream(said.Get());
    const UniqueFileHandle pipe = OpenDevicePipeQuietly(kOutputPipeName);
    EXPECT_EQ(pipe.IsValid(), !step.opened.empty());
    if (pipe) {
      EXPECT_EQ(std::string(devicePath), step.opened + "\\PIPE01");
    }
    EXPECT_EQ(said.Text(), step.said);
  }
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
  ServeDisplay();
  for (std::uint8_t round = 1; round <= 3; ++round) {
    UsbDisplayDevice device;
    ASSERT_TRUE(device.IsOpen());
    device.SetPosition(round, 0);
  }
  ASSERT_TRUE(servedPackets.WaitForCount(3, kGenerousMs));
  const std::vector<Packet> expected = {{0x03, 1, 0, 0, 0, 0, 0, 0},
                                        {0x03, 2, 0, 0, 0, 0, 0, 0},
                                        {0x03, 3, 0, 0, 0, 0, 0, 0}};
  EXPECT_EQ(expected, servedPackets.Packets());
  EXPECT_EQ(3, pipeServer->ConnectionCount());
}

}  // namespace
}  // namespace lptlcd
