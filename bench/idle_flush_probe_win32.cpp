// Measures what the worker's one-millisecond idle wait really lasts: the gaps
// between idle flushes, and the delay from a command's arrival to the flush
// that follows it. Run once before and once after asking for the 1 ms timer
// period, since Windows cannot give the period back to an unasked state.
//
//   idle_flush_probe [seconds per phase, default 2]

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "common/win32_handles.h"
#include "device/usb_display_device.h"
#include "emulator/character_lcd_emulator.h"
#include "queue/command_queue.h"
#include "queue/display_worker.h"
#include "tools/harness/critical_section.h"

namespace {

using lptlcd::CharacterLcdEmulator;
using lptlcd::CommandQueue;
using lptlcd::LcdCommand;

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER counter;
  ::QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// Stamps every flush and remembers when the latest command was executed.
class StampingEmulator : public CharacterLcdEmulator {
 public:
  explicit StampingEmulator(lptlcd::UsbDisplayDevice* display)
      : CharacterLcdEmulator(display, 20, 2) {}
  void Execute(LcdCommand) override { executedAt.store(Now()); }
  void Flush() override {
    const double now = Now();
    const double executed = executedAt.exchange(0.0);
    const auto held = lock.Hold();
    flushes.push_back(now);
    if (executed != 0.0) commandToFlush.push_back(now - executed);
  }
  lptlcd::CriticalSection lock;
  std::vector<double> flushes;
  std::vector<double> commandToFlush;
  std::atomic<double> executedAt{0.0};
};

struct Worker {
  CommandQueue* queue;
  StampingEmulator* emulator;
  std::atomic<bool> stop{false};
};

DWORD WINAPI RunWorker(void* argument) {
  auto* worker = static_cast<Worker*>(argument);
  lptlcd::RunDisplayWorkerLoop(*worker->queue, *worker->emulator, &worker->stop);
  return 0;
}

void PrintFigures(const char* what, std::vector<double> values) {
  if (values.empty()) {
    std::printf("  %-28s no samples\n", what);
    return;
  }
  std::sort(values.begin(), values.end());
  double sum = 0;
  for (double v : values) sum += v;
  const auto at = [&](double q) {
    return values[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1))];
  };
  std::printf("  %-28s n=%zu mean=%.3f ms median=%.3f ms p99=%.3f ms max=%.3f ms\n", what,
              values.size(), sum / static_cast<double>(values.size()), at(0.5), at(0.99),
              values.back());
}

void Phase(const char* title, DWORD milliseconds) {
  auto* queue = new CommandQueue;
  if (!lptlcd::Init(*queue)) {
    std::printf("cannot create the queue's lock and event\n");
    std::exit(1);
  }
  lptlcd::UsbDisplayDevice device{lptlcd::UniquePipe()};  // sends nothing
  StampingEmulator emulator(&device);
  Worker worker{queue, &emulator};
  const lptlcd::UniqueKernelHandle thread(::CreateThread(nullptr, 0, &RunWorker, &worker, 0, nullptr));

  // Idle half: only timeouts. Busy half: one command every 20 ms, each one
  // followed by the flush of the next idle interval.
  ::Sleep(milliseconds / 2);
  const DWORD commands = milliseconds / 2 / 20;
  for (DWORD i = 0; i < commands; ++i) {
    lptlcd::Enqueue(*queue, 0x141);
    ::Sleep(20);
  }
  worker.stop.store(true);
  ::WaitForSingleObject(thread.Get(), INFINITE);

  std::vector<double> gaps;
  for (std::size_t i = 1; i < emulator.flushes.size(); ++i) {
    gaps.push_back(emulator.flushes[i] - emulator.flushes[i - 1]);
  }
  std::printf("%s\n", title);
  PrintFigures("gap between idle flushes", gaps);
  PrintFigures("command to its flush", emulator.commandToFlush);
  delete queue;
}

}  // namespace

int main(int argc, char** argv) {
  const DWORD seconds = argc > 1 ? static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10)) : 2;
  Phase("default timer period:", seconds * 1000);
  const bool granted = lptlcd::RequestMillisecondTimer();
  Phase(granted ? "after timeBeginPeriod(1):" : "timeBeginPeriod(1) refused:", seconds * 1000);
  return 0;
}
