#include <cstdio>
#include <utility>

#include "bench/bench_stats.h"
#include "bench/system_bench.h"
#include "tools/producer/lcd_waveform.h"

namespace lptlcd::bench {

namespace {

// Sent after a burst: Set DDRAM Address 0x80, which flushes whatever is
// pending and ends CGRAM mode, then the character 0xFF, which no stream here
// writes. Its packet, 02 01 ff, is sent after everything before it has been
// executed.
std::vector<PortWriteRecord> SentinelRecords() {
  LcdRecordWriter writer(Waveform::kNormal);
  writer.Instruction(0x80);
  writer.Data(0xFF);
  return writer.TakeRecords();
}

const std::vector<std::uint8_t>& SentinelPacketHead() {
  static const std::vector<std::uint8_t> head = {0x02, 0x01, 0xFF};
  return head;
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

bool SetUpFailed(const std::string& why) {
  Progress("set-up failed: " + why);
  return false;
}

}  // namespace

void Progress(const std::string& line) {
  std::fprintf(stderr, "system_bench: %s\n", line.c_str());
  std::fflush(stderr);
}

void Emit(const std::string& row) {
  std::fputs(row.c_str(), stdout);
  std::fflush(stdout);
}

bool BenchProducer::AppendOneByOne(const std::vector<PortWriteRecord>& records) const {
  for (PortWriteRecord record : records) {
    std::size_t stored = 0;
    if (const MutexLock lock = Lock(5000)) {
      stored = Store(&record, 1);
    } else {
      return false;
    }
    Signal();
    if (stored != 1) return false;
  }
  return true;
}

std::size_t BenchProducer::Pending() const {
  const MutexLock lock = Lock(5000);
  return lock ? Ring().count : kRingMaxPending + 1;
}

Session::Session(Options sessionOptions)
    : options(std::move(sessionOptions)),
      registration("B"),
      server([this](const std::uint8_t* packet) { log.Add(packet); }) {}

Session::~Session() {
  program.Terminate();
  server.Stop();
}

bool Session::Start() {
  if (!registration.ok()) return SetUpFailed("cannot register the test display in this prefix");
  if (!server.Start()) return SetUpFailed("cannot serve the display's pipe");
  if (!producer.Open()) return SetUpFailed("cannot create the ring's named objects");
  if (producer.Pending() != 0) {
    return SetUpFailed(
        "the ring already holds records: is another producer or lptlcd in this prefix?");
  }
  Progress("starting " + options.lptlcd);
  if (!program.Start("\"" + WindowsPath(options.lptlcd) + "\"")) {
    return SetUpFailed("cannot start lptlcd.exe");
  }
  // Its start-up packets: control 1, then clear.
  if (!log.WaitForCount(2, 20000)) {
    return SetUpFailed("lptlcd sent no start-up packets; it said: " + program.Output());
  }
  Progress("lptlcd is up: " + FirstLine(program.Output()));
  return true;
}

bool Session::Wants(const char* phase) const {
  return ("," + options.phases + ",").find("," + std::string(phase) + ",") != std::string::npos;
}

void Session::PhaseFailed(const std::string& measure, const std::string& why) {
  ++failures;
  Progress(measure + ": " + why + "; stopping");
  Emit(TableRow(measure, "not measured: " + why, "-", Verdict::kNotMet));
}

std::size_t Session::Drain(DWORD boundMs, std::size_t* own) {
  const std::vector<PortWriteRecord> sentinel = SentinelRecords();
  const double deadline = NowMs() + boundMs;
  const std::size_t from = log.Count();
  for (;;) {
    bool fits = false;
    if (const MutexLock lock = producer.Lock(5000)) {
      fits = producer.Ring().count + sentinel.size() <= kRingMaxPending;
      if (fits) producer.Store(sentinel.data(), sentinel.size());
    } else {
      return SIZE_MAX;
    }
    if (fits) break;
    if (NowMs() > deadline) return SIZE_MAX;
    ::Sleep(5);
  }
  producer.Signal();
  const std::size_t made = Mirrored(sentinel).packets;
  if (own != nullptr) *own = made;
  const double left = deadline - NowMs();
  return left <= 0 ? SIZE_MAX
                   : log.WaitForPacket(from, SentinelPacketHead(), static_cast<DWORD>(left));
}

}  // namespace lptlcd::bench
