// lcdsim.exe itself under Wine: found through SetupAPI as lptlcd finds a
// display, fed through its pipe by two clients in turn, stopped, and checked
// by what it leaves behind (log, screen files, an empty registry).

#include <windows.h>

#include <setupapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/win32_handles.h"
#include "device/notice_window.h"
#include "simulator_process.h"
#include "tools/harness/child_process.h"
#include "tools/lcdsim/display_model.h"
#include "tools/lcdsim/packet_log.h"
#include "tools/lcdsim/screen_output.h"

namespace {

using lptlcd::ReadWholeFile;
using lptlcd::WaitFor;

const GUID kDisplayClass = {0x00873FDF, 0x61A8, 0x11D1, {0xAA, 0x5E, 0x00, 0xC0, 0x4F, 0xB1, 0x72, 0x8B}};
constexpr DWORD kStartBoundMs = 60000;  // a cold Wine prefix is slow to start
constexpr DWORD kBoundMs = 30000;

// The interface paths of the display class, in enumeration order.
std::vector<std::string> DisplayInterfacePaths() {
  std::vector<std::string> paths;
  const lptlcd::UniqueDevInfo owner(
      SetupDiGetClassDevsA(&kDisplayClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
  if (!owner) return paths;
  const HDEVINFO set = owner.Get();
  for (DWORD index = 0;; ++index) {
    SP_DEVICE_INTERFACE_DATA data = {};
    data.cbSize = sizeof data;
    if (!SetupDiEnumDeviceInterfaces(set, nullptr, &kDisplayClass, index, &data)) break;
    DWORD size = 0;
    SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &size, nullptr);
    std::vector<char> buffer(size + sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A));
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (SetupDiGetDeviceInterfaceDetailA(set, &data, detail, static_cast<DWORD>(buffer.size()), nullptr, nullptr)) {
      paths.emplace_back(detail->DevicePath);
    }
  }
  return paths;
}

lptlcd::UniqueFileHandle OpenReadWrite(const std::string& path) {
  return lptlcd::UniqueFileHandle(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
}

bool CanOpen(const std::string& path) { return OpenReadWrite(path).IsValid(); }

// Writes packets to the display's pipe as the device does: one WriteFile each.
// A client that comes straight after another may find every pipe instance
// still busy: it is given the time a restart takes.
bool SendPackets(const std::string& pipePath, const std::vector<lptlcd::sim::Packet>& packets) {
  lptlcd::UniqueFileHandle pipe;
  WaitFor(
      [&] {
        pipe = OpenReadWrite(pipePath);
        return pipe.IsValid() || GetLastError() != ERROR_PIPE_BUSY;
      },
      kBoundMs);
  if (!pipe) return false;
  bool ok = true;
  for (const lptlcd::sim::Packet& packet : packets) {
    DWORD written = 0;
    ok = ok && WriteFile(pipe.Get(), packet.data(), lptlcd::sim::kPacketSize, &written, nullptr) && written == 8;
  }
  return ok;
}

// One run of lcdsim.exe, with its files in a folder of its own.
class Simulator : public lptlcd::test::SimulatorProcess {
 public:
  explicit Simulator(const std::string& name) : SimulatorProcess(LCDSIM_EXE, name) {}
};

std::size_t LineCount(const std::string& text) {
  std::size_t count = 0;
  for (const char c : text) count += c == '\n' ? 1 : 0;
  return count;
}

const std::vector<lptlcd::sim::Packet> kFirstClient = {
    {0x01, 0x01}, {0x01, 0x02}, {0x02, 0x06, 'l', 'c', 'd', 's', 'i', 'm'}, {0x04, 0x02, 0x7F, 0x41, 0x41, 0x41, 0x7F}};
const std::vector<lptlcd::sim::Packet> kSecondClient = {
    {0x03, 0x06, 0x01}, {0x02, 0x03, 'o', 0x02, 'k'}, {0x7E}, {0x03, 0x78, 0x03}, {0x02, 0x01, 'X'}};

TEST(LcdsimProcess, IsFoundLikeADisplayAndDrawsWhatTwoClientsSend) {
  Simulator sim("serve");
  ASSERT_TRUE(sim.Start("--display A:unopenable --display B --log " + sim.File("packets.log") + " --pbm " +
                        sim.File("screen.pbm") + " --text-dump " + sim.File("screen.txt") + " --files-on-idle --stop-event " +
                        sim.StopEventName()));
  ASSERT_TRUE(sim.WaitForOutput("lcdsim: ready: serving PIPE01\n", kStartBoundMs)) << sim.Output();

  const std::vector<std::string> paths = DisplayInterfacePaths();
  ASSERT_EQ(paths, (std::vector<std::string>{
                       "\\\\?\\usb#vid_1111&pid_0002#a#{00873fdf-61a8-11d1-aa5e-00c04fb1728b}",
                       "\\\\?\\usb#vid_1111&pid_0002#b#{00873fdf-61a8-11d1-aa5e-00c04fb1728b}"}));
  EXPECT_FALSE(CanOpen(paths[0]));
  EXPECT_TRUE(CanOpen(paths[1]));
  EXPECT_FALSE(CanOpen(paths[0] + "\\PIPE01"));

  // lptlcd restarted: a second client after the first has gone.
  ASSERT_TRUE(SendPackets(paths[1] + "\\PIPE01", kFirstClient));
  ASSERT_TRUE(SendPackets(paths[1] + "\\PIPE01", kSecondClient));
  const std::size_t total = kFirstClient.size() + kSecondClient.size();
  ASSERT_TRUE(WaitFor([&] { return LineCount(ReadWholeFile(sim.File("packets.log"))) == total; }, kBoundMs))
      << ReadWholeFile(sim.File("packets.log"));

  // While it runs, the screen files follow the screen once the packets pause.
  const std::string expectedText = "lcdsim" + std::string(14, ' ') + "\n o*k" + std::string(16, ' ') + "\n" +
                                   std::string(20, ' ') + "\n" + std::string(20, ' ') + "\n";
  EXPECT_TRUE(WaitFor([&] { return ReadWholeFile(sim.File("screen.txt")) == expectedText; }, kBoundMs))
      << ReadWholeFile(sim.File("screen.txt"));

  ASSERT_TRUE(sim.RequestStop());
  ASSERT_EQ(sim.WaitForExit(kBoundMs), 0) << sim.Output();

  lptlcd::sim::DisplayModel expected;
  std::string expectedLog;
  for (const auto* client : {&kFirstClient, &kSecondClient}) {
    for (const lptlcd::sim::Packet& packet : *client) {
      expected.ApplyPacket(packet.data());
      expectedLog += lptlcd::sim::FormatPacketLine(packet.data()) + "\n";
    }
  }
  EXPECT_EQ(ReadWholeFile(sim.File("packets.log")), expectedLog);
  EXPECT_EQ(ReadWholeFile(sim.File("screen.txt")), expectedText);
  EXPECT_EQ(ReadWholeFile(sim.File("screen.pbm")), lptlcd::sim::FormatPbm(expected));
  const std::string output = sim.Output();
  EXPECT_NE(output.find("lcdsim: display A (unopenable) at " + paths[0]), std::string::npos) << output;
  EXPECT_NE(output.find("lcdsim: unknown packet ignored: 7e 00 00 00 00 00 00 00"), std::string::npos) << output;
  EXPECT_NE(output.find("lcdsim: stopped after 9 packets (1 ignored)"), std::string::npos) << output;

  // Nothing of it is left in the registry.
  EXPECT_TRUE(DisplayInterfacePaths().empty());
}

// A display whose interface opens with nothing below it: lcdsim not
// serving its pipe, or a display of the nopipe kind beside one served.
TEST(LcdsimProcess, WithoutItsPipeAnInterfaceOpensButThePipeDoesNot) {
  const struct {
    const char* arguments;
    const char* ready;
    std::size_t displays;  // the last one's pipe is served when there are two
  } rows[] = {
      {"--no-pipe", "lcdsim: ready: not serving PIPE01\n", 1},
      {"--display A:nopipe --display B", "lcdsim: ready: serving PIPE01\n", 2},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.arguments);
    Simulator sim("nopipe");
    ASSERT_TRUE(sim.Start(std::string(row.arguments) + " --stop-event " + sim.StopEventName()));
    ASSERT_TRUE(sim.WaitForOutput(row.ready, kStartBoundMs)) << sim.Output();
    const std::vector<std::string> paths = DisplayInterfacePaths();
    ASSERT_EQ(paths.size(), row.displays);
    EXPECT_TRUE(CanOpen(paths[0]));
    EXPECT_FALSE(CanOpen(paths[0] + "\\PIPE01"));
    if (row.displays == 2) {
      EXPECT_TRUE(CanOpen(paths[1] + "\\PIPE01"));  // served all the while
    }
    ASSERT_TRUE(sim.RequestStop());
    EXPECT_EQ(sim.WaitForExit(kBoundMs), 0) << sim.Output();
    EXPECT_TRUE(DisplayInterfacePaths().empty());
  }
}

// What lptlcd's own notice window hears, counted; it listens from the first
// test that asks on (one window a process).
std::atomic<long> devicesChanged{0};
std::atomic<long> resumes{0};

void Count(lptlcd::DisplayNotice notice, void*) {
  ++(notice == lptlcd::DisplayNotice::kResumed ? resumes : devicesChanged);
}

bool Listening() {
  static const bool listening = lptlcd::StartNoticeWindow(&Count, nullptr);
  return listening;
}

bool WaitForCount(const std::atomic<long>& counter, long count) {
  return lptlcd::WaitFor([&] { return counter.load() >= count; }, kBoundMs);
}

// Wine says nothing when a display comes or goes: lcdsim says it to every
// top-level window, as Windows would, once plugged and once unplugged.
TEST(LcdsimProcess, TellsEveryWindowWhenItIsPluggedAndUnplugged) {
  ASSERT_TRUE(Listening()) << "no window: does the prefix name the null display driver?";
  const long changedBefore = devicesChanged.load();
  const long resumesBefore = resumes.load();
  Simulator sim("plug");
  ASSERT_TRUE(sim.Start("--stop-event " + sim.StopEventName()));
  ASSERT_TRUE(sim.WaitForOutput("lcdsim: ready: serving PIPE01\n", kStartBoundMs)) << sim.Output();
  ASSERT_TRUE(WaitForCount(devicesChanged, changedBefore + 1));
  EXPECT_EQ(resumes.load(), resumesBefore);
  EXPECT_EQ(DisplayInterfacePaths().size(), 1u);

  ASSERT_TRUE(sim.RequestStop());
  ASSERT_EQ(sim.WaitForExit(kBoundMs), 0) << sim.Output();
  EXPECT_TRUE(WaitForCount(devicesChanged, changedBefore + 2)) << devicesChanged.load();
  EXPECT_TRUE(DisplayInterfacePaths().empty());
}

// A resume from sleep: the display comes back blank and without its custom
// characters, on the same pipe connection, and every window hears of it.
TEST(LcdsimProcess, PlaysAResumeWithTheDisplayResetInPlace) {
  ASSERT_TRUE(Listening()) << "no window: does the prefix name the null display driver?";
  const long resumesBefore = resumes.load();
  Simulator sim("resume");
  ASSERT_TRUE(sim.StartServing()) << sim.Output();
  const std::vector<std::string> paths = DisplayInterfacePaths();
  ASSERT_EQ(paths.size(), 1u);
  const lptlcd::UniqueFileHandle pipe = OpenReadWrite(paths[0] + "\\PIPE01");
  ASSERT_TRUE(pipe.IsValid());
  const auto send = [&](const lptlcd::sim::Packet& packet) {
    DWORD written = 0;
    return WriteFile(pipe.Get(), packet.data(), lptlcd::sim::kPacketSize, &written, nullptr) && written == 8;
  };
  const std::string blankRow(20, ' ');
  const std::string blank = blankRow + "\n" + blankRow + "\n" + blankRow + "\n" + blankRow + "\n";

  ASSERT_TRUE(send({0x04, 0x03, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F}));
  ASSERT_TRUE(send({0x02, 0x03, 'H', 'I', 0x03}));
  ASSERT_TRUE(sim.WaitForText("HI*" + std::string(17, ' ') + "\n" + blankRow + "\n" + blankRow + "\n" + blankRow + "\n"))
      << sim.Text();

  ASSERT_TRUE(sim.PlayResume()) << sim.Output();
  EXPECT_TRUE(WaitForCount(resumes, resumesBefore + 1));
  EXPECT_TRUE(sim.WaitForText(blank)) << sim.Text();

  // The same connection still draws, from the home position, and glyph 3 is
  // a fresh display's blank one until it is defined again.
  ASSERT_TRUE(send({0x02, 0x03, 'O', 'K', 0x03}));
  ASSERT_TRUE(sim.WaitForText("OK*" + std::string(17, ' ') + "\n" + blankRow + "\n" + blankRow + "\n" + blankRow + "\n"))
      << sim.Text();
  // The pixels are written before the text, at the same idle moment.
  const std::vector<std::string> pixels = sim.Pixels();
  ASSERT_EQ(pixels.size(), 32u);
  for (int y = 0; y < 8; ++y) EXPECT_EQ(pixels[static_cast<std::size_t>(y)].substr(12, 6), "000000") << y;

  ASSERT_TRUE(sim.RequestStop());
  ASSERT_EQ(sim.WaitForExit(kBoundMs), 0) << sim.Output();
  EXPECT_EQ(sim.Packets().size(), 3u);
  EXPECT_NE(sim.Output().find("lcdsim: stopped after 3 packets (0 ignored)"), std::string::npos) << sim.Output();
  EXPECT_EQ(resumes.load(), resumesBefore + 1);
}

TEST(LcdsimProcess, StopsByItselfAtTheTimeLimitAndWritesThePicture) {
  Simulator sim("seconds");
  ASSERT_TRUE(sim.Start("--seconds 1 --png " + sim.File("screen.png") + " --show-final --ascii"));
  ASSERT_EQ(sim.WaitForExit(kStartBoundMs), 0) << sim.Output();
  const std::string output = sim.Output();
  EXPECT_NE(output.find("lcdsim: screen after 0 packets\n" + std::string(122, '.')), std::string::npos) << output;
  EXPECT_EQ(ReadWholeFile(sim.File("screen.png")).substr(1, 3), "PNG");
  EXPECT_TRUE(DisplayInterfacePaths().empty());
}

TEST(LcdsimProcess, RefusesABadCommandLine) {
  Simulator sim("usage");
  ASSERT_TRUE(sim.Start("--display B#2"));
  EXPECT_EQ(sim.WaitForExit(kStartBoundMs), 2);
  EXPECT_NE(sim.Errors().find("the id is 1 to 32 letters"), std::string::npos) << sim.Errors();
}

}  // namespace
