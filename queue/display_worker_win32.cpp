#include "queue/display_worker.h"

#include <process.h>

#include <cstdint>

#include "common/console_win32.h"
#include "common/function_lookup.h"
#include "device/display_discovery.h"
#include "queue/power_throttling.h"

namespace lptlcd {

WorkerExit RunDisplayWorkerLoop(CommandQueue& queue, CharacterLcdEmulator& emulator,
                                const std::atomic<bool>* stop, DisplayRecovery* recovery) {
  for (;;) {
    if (stop != nullptr && stop->load()) return WorkerExit::kStopped;
    const DWORD woke = ::WaitForSingleObject(queue.event.Get(), kIdleFlushMilliseconds);
    if (woke == WAIT_TIMEOUT) {
      emulator.Flush();
      if (recovery != nullptr) recovery->Check(::GetTickCount());
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
      if (recovery != nullptr) recovery->Check(::GetTickCount());
    }
  }
}

namespace {

// SetProcessInformation is Windows 8's: looked up, never imported.
void OptOutOfTimerThrottling() {
  using SetProcessInformationFn = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);
  const auto set = LookUpFunction<SetProcessInformationFn>(::GetModuleHandleA("kernel32.dll"),
                                                           "SetProcessInformation");
  if (set == nullptr) return;
  OptOutOfPowerThrottling([set](int infoClass, PowerThrottlingState* state, std::uint32_t size) {
    return set(::GetCurrentProcess(), infoClass, state, size) != FALSE;
  });
}

UniquePipe FindDisplayAgain() {
  return OpenDevicePipeQuietly(kOutputPipeName);
}

}  // namespace

bool RequestMillisecondTimer() {
  OptOutOfTimerThrottling();
  return ::timeBeginPeriod(1) == TIMERR_NOERROR;
}

void __cdecl DisplayWorker(void* module) {
  const ModuleSize size = *static_cast<const ModuleSize*>(module);
  // All live until the process ends: nothing ever stops the worker for good
  // except the process itself.
  auto* device = new UsbDisplayDevice();
  if (!device->IsOpen()) FatalExit("Unable to open device\n");
  device->SendControl1();
  device->ClearScreen();
  auto* emulator = new CharacterLcdEmulator(device, size.columns, size.lines);
  auto* watch = new DisplayWriteWatch(*device, stdout);
  auto* recovery = new DisplayRecovery(*device, *watch, &FindDisplayAgain);
  RunDisplayWorkerLoop(TheCommandQueue(), *emulator, nullptr, recovery);
}

void StartWorker(ModuleSize module) {
  // The period is never given back: the process keeps needing it until it
  // ends, and Windows drops it then.
  RequestMillisecondTimer();
  // The thread's copy lives until the process ends, as the thread does.
  auto* size = new ModuleSize(module);
  if (_beginthread(&DisplayWorker, 0, size) == static_cast<std::uintptr_t>(-1)) delete size;
}

}  // namespace lptlcd
