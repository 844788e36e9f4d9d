// lcdsim.exe itself under Wine: found through SetupAPI as lptlcd finds a
// display, fed through its pipe by two clients in turn, stopped, and checked
// by what it leaves behind (log, screen files, an empty registry).

#include <windows.h>

#include <setupapi.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/lcdsim/display_model.h"
#include "tools/lcdsim/packet_log.h"
#include "tools/lcdsim/screen_output.h"

namespace {

const GUID kDisplayClass = {0x00873FDF, 0x61A8, 0x11D1, {0xAA, 0x5E, 0x00, 0xC0, 0x4F, 0xB1, 0x72, 0x8B}};
constexpr DWORD kStartBoundMs = 60000;  // a cold Wine prefix is slow to start
constexpr DWORD kBoundMs = 30000;

// The build tree's path is a Unix one; Wine's drive Z: is the Unix root.
std::string WindowsPath(std::string path) {
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// Polls for something that another process produces; false when the bound
// passes first.
template <typename Done>
bool WaitFor(Done done, DWORD boundMs) {
  const ULONGLONG end = GetTickCount64() + boundMs;
  while (!done()) {
    if (GetTickCount64() >= end) return false;
    Sleep(20);
  }
  return true;
}

// The interface paths of the display class, in enumeration order.
std::vector<std::string> DisplayInterfacePaths() {
  std::vector<std::string> paths;
  HDEVINFO set = SetupDiGetClassDevsA(&kDisplayClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) return paths;
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
  SetupDiDestroyDeviceInfoList(set);
  return paths;
}

HANDLE OpenReadWrite(const std::string& path) {
  return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, 0, nullptr);
}

bool CanOpen(const std::string& path) {
  const HANDLE handle = OpenReadWrite(path);
  if (handle == INVALID_HANDLE_VALUE) return false;
  CloseHandle(handle);
  return true;
}

// Writes packets to the display's pipe as the device does: one WriteFile each.
// A client that comes straight after another may find the server still
// setting up the next pipe instance (busy), as a restarted lptlcd would not:
// it is given the time a restart takes.
bool SendPackets(const std::string& pipePath, const std::vector<lcdsim::Packet>& packets) {
  HANDLE pipe = INVALID_HANDLE_VALUE;
  WaitFor(
      [&] {
        pipe = OpenReadWrite(pipePath);
        return pipe != INVALID_HANDLE_VALUE || GetLastError() != ERROR_PIPE_BUSY;
      },
      kBoundMs);
  if (pipe == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  for (const lcdsim::Packet& packet : packets) {
    DWORD written = 0;
    ok = ok && WriteFile(pipe, packet.data(), lcdsim::kPacketSize, &written, nullptr) && written == 8;
  }
  CloseHandle(pipe);
  return ok;
}

// One run of lcdsim.exe with its standard output in a file.
class Simulator {
 public:
  explicit Simulator(const std::string& name) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    folder_ = std::string(temp) + "lcdsim_test_" + std::to_string(GetCurrentProcessId()) + "_" + name + "\\";
    CreateDirectoryA(folder_.c_str(), nullptr);
    stopEvent_ = "lcdsim_test_stop_" + std::to_string(GetCurrentProcessId()) + "_" + name;
  }
  // A test that failed half-way still stops the simulator the clean way, so
  // that its registrations do not spoil the tests after it.
  ~Simulator() {
    if (process_.hProcess != nullptr) {
      if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT && (!Stop() || WaitForExit(kBoundMs) == STILL_ACTIVE)) {
        TerminateProcess(process_.hProcess, 99);
      }
      CloseHandle(process_.hProcess);
      CloseHandle(process_.hThread);
    }
  }
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  std::string File(const std::string& name) const { return folder_ + name; }
  std::string StopEventName() const { return stopEvent_; }

  bool Start(const std::string& arguments) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    const HANDLE out = CreateFileA(File("stdout.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   &inherit, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE) return false;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = out;
    std::string command = "\"" + WindowsPath(LCDSIM_EXE) + "\" " + arguments;
    const BOOL started =
        CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process_);
    CloseHandle(out);
    return started != FALSE;
  }

  // Its standard output is in text mode: lines end in CR LF.
  std::string Output() const {
    std::string text;
    for (const char c : ReadFile(File("stdout.txt"))) {
      if (c != '\r') text += c;
    }
    return text;
  }

  bool WaitForOutput(const std::string& text, DWORD boundMs) const {
    return WaitFor([&] { return Output().find(text) != std::string::npos; }, boundMs);
  }

  bool Stop() {
    const HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, stopEvent_.c_str());
    if (event == nullptr) return false;
    SetEvent(event);
    CloseHandle(event);
    return true;
  }

  // The exit code, or STILL_ACTIVE when it has not ended within the bound.
  DWORD WaitForExit(DWORD boundMs) const {
    if (WaitForSingleObject(process_.hProcess, boundMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
  }

 private:
  std::string folder_;
  std::string stopEvent_;
  PROCESS_INFORMATION process_ = {};
};

std::size_t LineCount(const std::string& text) {
  std::size_t count = 0;
  for (const char c : text) count += c == '\n' ? 1 : 0;
  return count;
}

const std::vector<lcdsim::Packet> kFirstClient = {
    {0x01, 0x01}, {0x01, 0x02}, {0x02, 0x06, 'l', 'c', 'd', 's', 'i', 'm'}, {0x04, 0x02, 0x7F, 0x41, 0x41, 0x41, 0x7F}};
const std::vector<lcdsim::Packet> kSecondClient = {
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
  ASSERT_TRUE(WaitFor([&] { return LineCount(ReadFile(sim.File("packets.log"))) == total; }, kBoundMs))
      << ReadFile(sim.File("packets.log"));

  // While it runs, the screen files follow the screen once the packets pause.
  const std::string expectedText = "lcdsim" + std::string(14, ' ') + "\n o*k" + std::string(16, ' ') + "\n" +
                                   std::string(20, ' ') + "\n" + std::string(20, ' ') + "\n";
  EXPECT_TRUE(WaitFor([&] { return ReadFile(sim.File("screen.txt")) == expectedText; }, kBoundMs))
      << ReadFile(sim.File("screen.txt"));

  ASSERT_TRUE(sim.Stop());
  ASSERT_EQ(sim.WaitForExit(kBoundMs), 0u) << sim.Output();

  lcdsim::DisplayModel expected;
  std::string expectedLog;
  for (const auto* client : {&kFirstClient, &kSecondClient}) {
    for (const lcdsim::Packet& packet : *client) {
      expected.ApplyPacket(packet.data());
      expectedLog += lcdsim::FormatPacketLine(packet.data()) + "\n";
    }
  }
  EXPECT_EQ(ReadFile(sim.File("packets.log")), expectedLog);
  EXPECT_EQ(ReadFile(sim.File("screen.txt")), expectedText);
  EXPECT_EQ(ReadFile(sim.File("screen.pbm")), lcdsim::FormatPbm(expected));
  const std::string output = sim.Output();
  EXPECT_NE(output.find("lcdsim: display A (unopenable) at " + paths[0]), std::string::npos) << output;
  EXPECT_NE(output.find("lcdsim: unknown packet ignored: 7e 00 00 00 00 00 00 00"), std::string::npos) << output;
  EXPECT_NE(output.find("lcdsim: stopped after 9 packets (1 ignored)"), std::string::npos) << output;

  // Nothing of it is left in the registry.
  EXPECT_TRUE(DisplayInterfacePaths().empty());
}

TEST(LcdsimProcess, WithoutThePipeTheInterfaceOpensButThePipeDoesNot) {
  Simulator sim("nopipe");
  ASSERT_TRUE(sim.Start("--no-pipe --stop-event " + sim.StopEventName()));
  ASSERT_TRUE(sim.WaitForOutput("lcdsim: ready: not serving PIPE01\n", kStartBoundMs)) << sim.Output();
  const std::vector<std::string> paths = DisplayInterfacePaths();
  ASSERT_EQ(paths.size(), 1u);
  EXPECT_TRUE(CanOpen(paths[0]));
  EXPECT_FALSE(CanOpen(paths[0] + "\\PIPE01"));
  ASSERT_TRUE(sim.Stop());
  EXPECT_EQ(sim.WaitForExit(kBoundMs), 0u) << sim.Output();
  EXPECT_TRUE(DisplayInterfacePaths().empty());
}

TEST(LcdsimProcess, StopsByItselfAtTheTimeLimitAndWritesThePicture) {
  Simulator sim("seconds");
  ASSERT_TRUE(sim.Start("--seconds 1 --png " + sim.File("screen.png") + " --show-final --ascii"));
  ASSERT_EQ(sim.WaitForExit(kStartBoundMs), 0u) << sim.Output();
  const std::string output = sim.Output();
  EXPECT_NE(output.find("lcdsim: screen after 0 packets\n" + std::string(122, '.')), std::string::npos) << output;
  EXPECT_EQ(ReadFile(sim.File("screen.png")).substr(1, 3), "PNG");
  EXPECT_TRUE(DisplayInterfacePaths().empty());
}

TEST(LcdsimProcess, RefusesABadCommandLine) {
  Simulator sim("usage");
  ASSERT_TRUE(sim.Start("--display B#2"));
  EXPECT_EQ(sim.WaitForExit(kStartBoundMs), 2u);
  EXPECT_NE(sim.Output().find("the id is 1 to 32 letters"), std::string::npos) << sim.Output();
}

}  // namespace
