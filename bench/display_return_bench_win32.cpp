// How fast the display comes back, with the real lptlcd.exe between this
// tool (the producer, and the display's host) and a display it plugs,
// unplugs and "resumes": from the display's arrival (lptlcd --wait, then
// replugs) and from a posted resume to the last packet of the repaint; how
// long a write that is never taken lasts before the display is taken as
// lost; and the producer's longest port write while the display is stuck.
// It prints figures; it asserts nothing.

#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_stats.h"
#include "device/output_pipe.h"
#include "ring/ring_producer.h"
#include "tools/displayhost/display_host.h"
#include "tools/displayhost/system_notices.h"
#include "tools/harness/child_process.h"
#include "tools/producer/lcd_waveform.h"

namespace lptlcd {
namespace {

constexpr int kRounds = 5;
constexpr DWORD kQuietMs = 300;  // no packet for this long: the repaint is over

double NowMs() {
  LARGE_INTEGER count, frequency;
  ::QueryPerformanceCounter(&count);
  ::QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The display: registered and served while plugged in; every packet's time.
class Display {
 public:
  void Plug() {
    registration = std::make_unique<DisplayRegistration>("B");
    server = std::make_unique<DisplayPipeServer>([this](const std::uint8_t*) {
      while (stuck) ::Sleep(1);
      lastPacketMs = NowMs();
      ++packets;
    });
    server->Start();
    BroadcastDeviceNodesChanged();
  }
  void Unplug() {
    stuck = false;
    server.reset();
    registration.reset();
    BroadcastDeviceNodesChanged();
  }
  // Milliseconds from `startMs` to the last packet before a quiet while;
  // -1 when none came within ten seconds.
  double LastPacketAfter(double startMs) {
    const long before = packets;
    const double deadline = startMs + 10000;
    while (NowMs() < deadline && (packets == before || NowMs() - lastPacketMs < kQuietMs)) ::Sleep(5);
    return packets == before ? -1 : lastPacketMs - startMs;
  }
  volatile bool stuck = false;

 private:
  std::unique_ptr<DisplayRegistration> registration;
  std::unique_ptr<DisplayPipeServer> server;
  volatile double lastPacketMs = 0;
  volatile long packets = 0;
};

// Text and a custom character, as an LCD program's screen has them.
std::vector<PortWriteRecord> Session(const char* text) {
  LcdRecordWriter writer;
  writer.Init();
  writer.Instruction(0x40);
  for (int row : {0x1F, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1F, 0x00}) writer.Data(static_cast<std::uint8_t>(row));
  writer.Instruction(0x80);
  writer.Data(0);
  writer.Text(text);
  writer.Instruction(0xC0);
  writer.Text("second line of text");
  return writer.Records();
}

// A row of scripts/bench.sh's table on standard output, the samples on
// standard error.
void Row(const char* measure, const std::vector<double>& samples, double targetMs) {
  const bench::Summary stats = bench::Summarize(samples);
  std::fprintf(stderr, "%s: median %.1f ms, max %.1f ms over %zu\n", measure, stats.median, stats.max,
               samples.size());
  std::fputs(bench::TableRow(measure, bench::Format("%.1f ms (max %.1f)", stats.median, stats.max),
                             bench::Format("at most %.0f ms", targetMs), bench::AtMost(stats.max, targetMs))
                 .c_str(),
             stdout);
  std::fflush(stdout);
}

// A pipe nobody reads: writes fill its buffer, then one is not taken.
double StuckWriteMs() {
  const char* name = "\\\\.\\pipe\\lptlcd_bench_stuck";
  const HANDLE server = ::CreateNamedPipeA(name, PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 64, 64, 0, nullptr);
  const HANDLE client = ::CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OVERLAPPED, nullptr);
  double taken = -1;
  const std::uint8_t packet[kPacketSize] = {0x03, 0, 0, 0, 0, 0, 0, 0};
  for (int i = 0; i < 100000 && client != INVALID_HANDLE_VALUE; ++i) {
    const double start = NowMs();
    if (WriteToPipe(client, packet, sizeof packet) == PipeWrite::kTimedOut) {
      taken = NowMs() - start;
      break;
    }
  }
  ::CloseHandle(client);
  ::CloseHandle(server);
  return taken;
}

}  // namespace
}  // namespace lptlcd

int main() {
  using namespace lptlcd;
  std::vector<double> stuck;
  for (int round = 0; round < kRounds; ++round) stuck.push_back(StuckWriteMs());
  Row("A write never taken: until the display is taken as lost", stuck, 1000);

  RingProducer producer;
  if (!producer.Open()) {
    std::fprintf(stderr, "display_return_bench: cannot open the ring\n");
    return 1;
  }
  ChildProcess program;
  if (!program.Start(std::string("\"") + LPTLCD_EXE + "\" --wait") ||
      !program.WaitForOutput("Waiting for the display", 20000)) {
    std::fprintf(stderr, "display_return_bench: lptlcd did not start waiting\n%s", program.Output().c_str());
    return 1;
  }
  const std::vector<PortWriteRecord> session = Session("written with no display");
  producer.Append(session.data(), session.size());
  producer.WaitDrained();

  Display display;
  std::vector<double> arrival, replug, resume;
  for (int round = 0; round < kRounds; ++round) {
    const double plugged = NowMs();
    display.Plug();
    (round == 0 ? arrival : replug).push_back(display.LastPacketAfter(plugged));
    for (int r = 0; r < kRounds && round == 0; ++r) {
      const double posted = NowMs();
      BroadcastResume();
      resume.push_back(display.LastPacketAfter(posted));
    }
    display.Unplug();
    ::Sleep(500);
  }
  Row("Display arrives (--wait): to the repaint's last packet", arrival, 1000);
  Row("Display plugged in again, software idle: to the repaint's last packet", replug, 1000);
  Row("Resume posted: to the repaint's last packet", resume, 1000);

  // The display hangs while the program writes: its longest port write.
  display.Plug();
  display.LastPacketAfter(NowMs());
  display.stuck = true;
  std::vector<double> writes;
  const std::vector<PortWriteRecord> burst = Session("the display is stuck now");
  for (int i = 0; i < 400; ++i) {
    for (const PortWriteRecord& record : burst) {
      const double start = NowMs();
      producer.Append(&record, 1);
      writes.push_back(NowMs() - start);
    }
  }
  Row("LCD program's port write while the display is stuck", writes, 100);
  display.stuck = false;
  display.Unplug();
  program.Terminate();
  std::fprintf(stderr, "lptlcd said:\n%s", program.Output().c_str());
  return 0;
}
