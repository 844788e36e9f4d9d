// The display worker's loop in this process, with the real emulator over a
// display that takes every packet (the NUL device), and the worker's own
// counters read back:
//
//   idle     wake-ups a second with nothing to do, the display present, and
//            with it gone (when it looks for it once a second)
//   updates  one character at a time: from its command to the flush that
//            sends it, and the wake-ups and fine-timer requests an update,
//            with updates 300 ms apart (past the timer's quiet while) and
//            20 ms apart (within it)
//   pass     a full shared buffer through a drain pass into the queue while
//            the worker takes it: how long the decoding and queueing take,
//            the hand-overs and the worker's wake-ups
//
//   idle_flush_probe [--idle-seconds N] [--updates N] [--repetitions N]
//
// Progress on standard error, table rows (bench/bench_stats.h) on standard
// output. Exit status: 0 measured, 1 a set-up failed, 2 a bad command line.

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_stats.h"
#include "bench/bench_streams.h"
#include "bench/stamped_log_win32.h"
#include "capture/capture_loop.h"
#include "capture/port_write_decoder.h"
#include "common/win32_handles.h"
#include "device/display_recovery.h"
#include "device/usb_display_device.h"
#include "emulator/character_lcd_emulator.h"
#include "queue/command_queue.h"
#include "queue/display_worker.h"
#include "queue/worker_schedule.h"
#include "ring/ring_objects.h"
#include "ring/ring_records.h"
#include "tools/harness/private_ring_names.h"
#include "tools/packets/packet_capture.h"

namespace lptlcd::bench {
namespace {

void Say(const std::string& line) {
  std::fprintf(stderr, "idle_flush_probe: %s\n", line.c_str());
  std::fflush(stderr);
}

void Row(const std::string& row) {
  std::fputs(row.c_str(), stdout);
  std::fflush(stdout);
}

// Notes when the latest command was executed and, at each flush that has
// something to send, how long ago that was. Read once the worker has stopped.
class StampingEmulator : public CharacterLcdEmulator {
 public:
  explicit StampingEmulator(UsbDisplayDevice* display) : CharacterLcdEmulator(display, 20, 2) {}
  void Execute(LcdCommand command) override {
    lastCommandMs = NowMs();
    CharacterLcdEmulator::Execute(command);
  }
  void Flush() override {
    if (HasPending()) commandToFlushMs.push_back(NowMs() - lastCommandMs);
    flushes.fetch_add(1);
    CharacterLcdEmulator::Flush();
  }
  std::vector<double> commandToFlushMs;
  std::atomic<unsigned> flushes{0};

 private:
  double lastCommandMs = 0.0;
};

// The worker loop on a thread of its own, over a display that is there or,
// with gone, one whose pipe has died and that it looks for once a second.
class ProbeWorker {
 public:
  explicit ProbeWorker(bool gone = false)
      : sink(!gone), device(sink.OpenWriter()), emulator(&device), watch(device, stderr),
        recovery(device, watch, [this] {
          searches.fetch_add(1);
          searchedAtMs.push_back(NowMs());
          return UniquePipe();
        }) {
    if (gone) sink.Disconnect();
  }
  ~ProbeWorker() { Stop(); }

  bool Start() {
    if (!Init(queue)) return false;
    thread.Reset(::CreateThread(nullptr, 0, &Main, this, 0, nullptr));
    return static_cast<bool>(thread);
  }
  void Stop() {
    if (!thread) return;
    stop.store(true);
    WakeWorker(queue);
    ::WaitForSingleObject(thread.Get(), INFINITE);
    thread.Reset();
  }
  // One character, handed over as a drain pass hands its commands over; waits
  // for the flush that sends it.
  bool Update(LcdCommand command) {
    const unsigned before = emulator.flushes.load();
    Enqueue(queue, command);
    HandOver(queue);
    for (int i = 0; i < 2000 && emulator.flushes.load() == before; ++i) ::Sleep(1);
    return emulator.flushes.load() != before;
  }

  CommandQueue queue;
  std::atomic<unsigned> searches{0};
  std::vector<double> searchedAtMs;  // the worker's; read once it has stopped
  PacketCapture sink;
  UsbDisplayDevice device;
  StampingEmulator emulator;

 private:
  static DWORD WINAPI Main(void* self) {
    auto* worker = static_cast<ProbeWorker*>(self);
    RunDisplayWorkerLoop(worker->queue, worker->emulator, &worker->stop, &worker->recovery);
    return 0;
  }

  DisplayWriteWatch watch;
  DisplayRecovery recovery;
  std::atomic<bool> stop{false};
  UniqueKernelHandle thread;
};

struct Options {
  unsigned idleSeconds = 10;
  unsigned updates = 200;
  unsigned repetitions = 3;
};

bool Idle(const Options& options, bool gone) {
  const char* display = gone ? "the display gone" : "the display present";
  auto worker = std::make_unique<ProbeWorker>(gone);
  if (!worker->Start()) return false;
  // One update first, and a second for what follows it to be over: the
  // worker has been through a burst, its flush and its quiet while.
  worker->Update(0x141);
  ::Sleep(1000);
  Say(Format("idle: %u s with nothing to do, %s", options.idleSeconds, display));
  const std::uint32_t wakeUps0 = worker->queue.worker.wakeUps.load();
  const unsigned searches0 = worker->searches.load();
  const double start = NowMs();
  ::Sleep(options.idleSeconds * 1000);
  const double seconds = (NowMs() - start) / 1000.0;
  const double wakeUps = (worker->queue.worker.wakeUps.load() - wakeUps0) / seconds;
  const double searches = (worker->searches.load() - searches0) / seconds;
  worker->Stop();
  std::vector<double> apart;
  for (std::size_t i = 1; i < worker->searchedAtMs.size(); ++i) {
    apart.push_back(worker->searchedAtMs[i] - worker->searchedAtMs[i - 1]);
  }
  const Summary interval = Summarize(apart);
  Say(Format("idle, %s: %.2f wake-ups and %.2f searches a second", display, wakeUps, searches));
  if (!gone) {
    Row(TableRow("worker: wake-ups a second while idle, display present (Wine)",
                 Format("%.2f a second (over %.1f s)", wakeUps, seconds), "<= 2 a second",
                 AtMost(wakeUps, 2.0)));
  } else {
    // It still looks for the display once a second, and wakes for nothing else.
    const bool searching = interval.median >= 990.0 && interval.median <= 1100.0;
    Row(TableRow("worker: wake-ups a second while idle, display gone (Wine)",
                 Format("%.2f a second; a search every %.0f ms (median, max %.0f)", wakeUps,
                        interval.median, interval.max),
                 "a search a second, <= 2 wake-ups",
                 searching && wakeUps <= 2.0 ? Verdict::kMet : Verdict::kNotMet));
  }
  return true;
}

bool Updates(DWORD apartMs, unsigned count) {
  auto worker = std::make_unique<ProbeWorker>();
  if (!worker->Start()) return false;
  Say(Format("updates: %u characters, %lu ms apart", count, static_cast<unsigned long>(apartMs)));
  unsigned missing = 0;
  for (unsigned i = 0; i < count; ++i) {
    if (!worker->Update(static_cast<LcdCommand>(0x141 + i % 26))) ++missing;
    ::Sleep(apartMs);
  }
  worker->Stop();
  const double wakeUps = (worker->queue.worker.wakeUps.load() - 1.0) / count;  // less the stop's
  const double raises = static_cast<double>(worker->queue.worker.timerRaises.load()) / count;
  const Summary delay = Summarize(worker->emulator.commandToFlushMs);
  Say(Format("updates %lu ms apart: %.2f wake-ups and %.2f fine-timer requests an update, "
             "command to flush median %.3f ms, p99 %.3f ms, max %.3f ms, %u missing",
             static_cast<unsigned long>(apartMs), wakeUps, raises, delay.median, delay.p99,
             delay.max, missing));
  const std::string note = missing == 0 ? "" : Format(" (%u missing)", missing);
  if (apartMs > kFineTimerQuietMs) {
    Row(TableRow(Format("worker: an update %lu ms after the last (Wine)", static_cast<unsigned long>(apartMs)),
                 Format("%.2f wake-ups, %.2f fine-timer requests an update (%u updates)%s", wakeUps,
                        raises, count, note.c_str()),
                 "<= 3 wake-ups (hand-over, flush, timer given back), 1 request",
                 missing == 0 && wakeUps <= 3.0 && raises <= 1.0 ? Verdict::kMet : Verdict::kNotMet));
    Row(TableRow("worker: last command to the flush that sends it (Wine), median",
                 Format("%.3f ms (p99 %.3f ms, max %.3f ms)", delay.median, delay.p99, delay.max),
                 "1 ms idle interval", Verdict::kNoTarget));
  } else {
    Row(TableRow(Format("worker: updates %lu ms apart, within the timer's quiet while (Wine)",
                        static_cast<unsigned long>(apartMs)),
                 Format("%.2f wake-ups an update, %u fine-timer requests for %u updates%s", wakeUps,
                        worker->queue.worker.timerRaises.load(), count, note.c_str()),
                 "1 request in all",
                 missing == 0 && worker->queue.worker.timerRaises.load() == 1 ? Verdict::kMet
                                                                              : Verdict::kNotMet));
  }
  return true;
}

// The drain pass's hand-over, to the probe's queue.
CommandQueue* g_passQueue = nullptr;
void HandOverToProbe() { HandOver(*g_passQueue); }

bool Pass(const Options& options, const char* label, const std::vector<PortWriteRecord>& records) {
  const PrivateRingNames names("Probe");
  RingObjects ring;
  if (!CreateRingObjects(ring, names.Names())) return false;
  auto worker = std::make_unique<ProbeWorker>();
  if (!worker->Start()) return false;
  g_passQueue = &worker->queue;
  PortWriteDecoder decoder([](LcdCommand command) { Enqueue(*g_passQueue, command); });
  Say(Format("pass: %u passes of a full ring, %s", options.repetitions, label));
  std::vector<double> queuedMs;
  std::vector<double> handOvers;
  std::vector<double> wakeUps;
  for (unsigned repetition = 0; repetition < options.repetitions; ++repetition) {
    if (AppendRecords(*ring.view, records.data(), records.size()) != records.size()) return false;
    CommandQueue& queue = worker->queue;
    const std::uint32_t handOvers0 = queue.handOvers.load();
    const std::uint32_t wakeUps0 = queue.worker.wakeUps.load();
    const std::size_t room = kCommandQueueMaxPending - Pending(queue);
    const double start = NowMs();
    const CapturePass pass = DrainPass(ring, decoder, room, RingHeldReport(), &HandOverToProbe);
    HandOver(queue);  // the capture loop's, at the end of the pass
    const double queued = NowMs() - start;
    // Everything the pass queued, taken by the worker.
    const std::uint16_t last = queue.writeIndex.load();
    while (queue.readIndex.load() != last) ::Sleep(1);
    const double done = NowMs() - start;
    queuedMs.push_back(queued);
    handOvers.push_back(queue.handOvers.load() - handOvers0);
    wakeUps.push_back(queue.worker.wakeUps.load() - wakeUps0);
    Say(Format("pass %u: %zu records decoded and queued in %.1f ms, all taken by the worker after "
               "%.1f ms; %u hand-overs, %u worker wake-ups, %u dropped",
               repetition + 1, pass.records, queued, done, queue.handOvers.load() - handOvers0,
               queue.worker.wakeUps.load() - wakeUps0, DroppedCount(queue)));
    ::Sleep(300);  // past the worker's quiet while, as between real bursts
  }
  worker->Stop();
  const Summary queued = Summarize(queuedMs);
  Row(TableRow(Format("pass: full ring decoded and queued in-process, %s (Wine)", label),
               Format("median %.1f ms, max %.1f ms (%zu passes of %zu records)", queued.median,
                      queued.max, queued.count, records.size()),
               "<= 100 ms", AtMost(queued.max, 100.0)));
  const Summary handed = Summarize(handOvers);
  Row(TableRow(Format("pass: hand-overs to the worker for one pass, %s (Wine)", label),
               Format("%.0f (max %.0f), %.0f worker wake-ups (median)", handed.median,
                      handed.max, Summarize(wakeUps).median),
               "1", AtMost(handed.max, 1.0)));
  return true;
}

bool ParseUnsigned(const char* text, unsigned& value) {
  char* end = nullptr;
  const unsigned long parsed = std::strtoul(text, &end, 10);
  if (end == text || *end != '\0' || parsed == 0 || parsed > 100000) return false;
  value = static_cast<unsigned>(parsed);
  return true;
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    unsigned* value = name == "--idle-seconds" ? &options.idleSeconds
                      : name == "--updates"    ? &options.updates
                      : name == "--repetitions" ? &options.repetitions
                                                : nullptr;
    if (value == nullptr || !ParseUnsigned(argv[i + 1], *value)) return false;
  }
  return argc % 2 == 1;
}

}  // namespace
}  // namespace lptlcd::bench

int main(int argc, char** argv) {
  using namespace lptlcd::bench;
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr, "usage: idle_flush_probe [--idle-seconds N] [--updates N] [--repetitions N]\n");
    return 2;
  }
  const unsigned spaced = options.updates < 10 ? options.updates : 10;
  const bool ok = Idle(options, false) && Idle(options, true) && Updates(300, spaced) &&
                  Updates(20, options.updates) &&
                  Pass(options, "realistic stream", Repeated(RealisticStream(), lptlcd::kRingMaxPending)) &&
                  Pass(options, "all-strobe stream", AllStrobeStream(lptlcd::kRingMaxPending));
  if (!ok) Say("set-up failed");
  return ok ? 0 : 1;
}
