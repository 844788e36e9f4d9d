#include "queue/display_worker.h"

#include <process.h>

#include <cstdio>
#include <cstdlib>

#include "device/usb_display_device.h"

namespace lptlcd {

WorkerExit RunDisplayWorkerLoop(CommandQueue& queue, CharacterLcdEmulator& emulator,
                                DWORD flushIntervalMs, const std::atomic<bool>* stop,
                                DisplayWriteWatch* watch) {
  for (;;) {
    if (stop != nullptr && stop->load()) return WorkerExit::kStopped;
    const DWORD woke = ::WaitForSingleObject(queue.event.Get(), flushIntervalMs);
    if (woke == WAIT_TIMEOUT) {
      emulator.Flush();
      if (watch != nullptr) watch->Check();
      continue;
    }
    if (woke != WAIT_OBJECT_0) return WorkerExit::kWaitFailed;
    // Everything present is drained on this wake-up; the signals of the
    // commands taken here only cause one empty pass later.
    LcdCommand command = 0;
    for (;;) {
      const TakeResult taken = TakeOne(queue, command);
      if (taken == TakeResult::kEmpty) break;
      if (taken == TakeResult::kLockFailed) return WorkerExit::kWaitFailed;
      emulator.Execute(command);
      if (watch != nullptr) watch->Check();
    }
  }
}

bool RequestMillisecondTimer() { return ::timeBeginPeriod(1) == TIMERR_NOERROR; }

void __cdecl DisplayWorker(void*) {
  // Both live until the process ends: nothing ever stops the worker for good
  // except the process itself.
  auto* device = new UsbDisplayDevice();
  if (!device->IsOpen()) {
    std::printf("Unable to open device\n");
    std::fflush(stdout);
    std::exit(1);
  }
  device->SendControl1();
  device->ClearScreen();
  auto* emulator = new CharacterLcdEmulator(device, kEmulatedColumns, kEmulatedLines);
  auto* watch = new DisplayWriteWatch(*device, stdout);
  RunDisplayWorkerLoop(TheCommandQueue(), *emulator, kIdleFlushMilliseconds, nullptr, watch);
}

void StartWorker() {
  // The period is never given back: the process keeps needing it until it
  // ends, and Windows drops it then.
  RequestMillisecondTimer();
  _beginthread(&DisplayWorker, 0, nullptr);
}

}  // namespace lptlcd
