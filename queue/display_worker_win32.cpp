#include "queue/display_worker.h"

#include <process.h>

#include <cstdint>

#include "common/console_win32.h"
#include "common/function_lookup.h"
#include "device/display_discovery.h"
#include "device/notice_window.h"
#include "queue/power_throttling.h"
#include "queue/worker_schedule.h"

namespace lptlcd {

static_assert(kWaitForever == INFINITE, "the schedule's endless wait is Windows' own");
static_assert(kNoSearchDue == kWaitForever, "no search due: nothing to wake up for");

namespace {

// The system's 1 ms timer, held while the schedule asks for it: with the
// default tick of about 15.6 ms, a 1 ms wait lasts up to a whole tick.
class FineTimer {
 public:
  explicit FineTimer(std::atomic<std::uint32_t>& raiseCount) : raises(raiseCount) {}
  ~FineTimer() { Hold(false); }
  FineTimer(const FineTimer&) = delete;
  FineTimer& operator=(const FineTimer&) = delete;

  void Hold(bool wanted) {
    if (wanted == held) return;
    held = wanted;
    if (held) {
      raises.fetch_add(1, std::memory_order_relaxed);
      // Refused, the waits only last longer: not asked again until the next
      // quiet while is over, and not given back.
      granted = ::timeBeginPeriod(1) == TIMERR_NOERROR;
    } else if (granted) {
      ::timeEndPeriod(1);
      granted = false;
    }
  }

 private:
  std::atomic<std::uint32_t>& raises;
  bool held = false;
  bool granted = false;
};

// Everything queued, one command at a time; true if there was any.
bool ExecuteQueued(CommandQueue& queue, CharacterLcdEmulator& emulator, DisplayRecovery* recovery) {
  bool any = false;
  LcdCommand command = 0;
  while (TakeOne(queue, command)) {
    emulator.Execute(command);
    if (recovery != nullptr) recovery->Check(::GetTickCount());
    any = true;
  }
  return any;
}

}  // namespace

WorkerExit RunDisplayWorkerLoop(CommandQueue& queue, CharacterLcdEmulator& emulator,
                                const std::atomic<bool>* stop, DisplayRecovery* recovery) {
  WorkerSchedule schedule;
  FineTimer timer(queue.worker.timerRaises);
  bool timedOut = false;
  for (;;) {
    if (stop != nullptr && stop->load()) return WorkerExit::kStopped;
    // Commands may be there without a hand-over yet: a long drain pass
    // publishes them as it goes and wakes the worker at its end.
    const bool executed = ExecuteQueued(queue, emulator, recovery);
    // Woken by one of Windows' notices: acted on now, not at the next command.
    if (recovery != nullptr && recovery->NoticePending()) recovery->Check(::GetTickCount());
    if (timedOut) {
      // A whole idle interval since the last command, and none came.
      if (!executed && emulator.HasPending()) emulator.Flush();
      if (recovery != nullptr) recovery->Check(::GetTickCount());
    }
    WorkerState state;
    state.nowMs = ::GetTickCount();
    state.flushPending = emulator.HasPending();
    if (recovery != nullptr) state.msUntilSearch = recovery->MsUntilNextSearch(state.nowMs);
    const WorkerWait wait = schedule.Next(state);
    timer.Hold(wait.fineTimer);
    const DWORD woke = ::WaitForSingleObject(queue.event.Get(), wait.timeoutMs);
    queue.worker.wakeUps.fetch_add(1, std::memory_order_relaxed);
    if (woke != WAIT_OBJECT_0 && woke != WAIT_TIMEOUT) return WorkerExit::kWaitFailed;
    timedOut = woke == WAIT_TIMEOUT;
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

// On the notice window's thread: the worker acts on it at its next check,
// which the wake-up brings about at once.
void OnNotice(DisplayNotice notice, void* recovery) {
  static_cast<DisplayRecovery*>(recovery)->Notice(notice);
  WakeWorker(TheCommandQueue());
}

// What the worker thread is started with; lives until the process ends.
struct WorkerStart {
  UsbDisplayDevice* device;
  CharacterLcdEmulator* emulator;
  DisplayRecovery* recovery;
};

}  // namespace

void __cdecl DisplayWorker(void* argument) {
  const WorkerStart& start = *static_cast<const WorkerStart*>(argument);
  start.device->SendControl1();
  start.device->ClearScreen();
  RunDisplayWorkerLoop(TheCommandQueue(), *start.emulator, nullptr, start.recovery);
}

void StartWorker(ModuleSize module, bool waitForDisplay) {
  // Before the ring is drained: a copy that ends for want of a display
  // leaves the software's writes in the ring for the next one. All live
  // until the process ends: nothing ever stops the worker for good except
  // the process itself. Made here, they are the worker's alone once it runs.
  auto* device = new UsbDisplayDevice();
  if (!device->IsOpen()) {
    if (!waitForDisplay) FatalExit("Unable to open device\n");
    device->OpenWithoutPipe();
  }
  auto* emulator = new CharacterLcdEmulator(device, module.columns, module.lines);
  auto* watch = new DisplayWriteWatch(*device, stdout, !device->HasPipe());
  auto* recovery = new DisplayRecovery(*device, *watch, &FindDisplayAgain);
  // Listening before anything is said or drained, so that a display plugged
  // in from then on is heard of. Without a window the display is still
  // looked for once a second while it is missing, and after a failed write.
  StartNoticeWindow(&OnNotice, recovery);
  if (!device->HasPipe()) SayOnStandardOutput(kWaitingForDisplayMessage);
  // Before the worker first asks for the 1 ms timer: Windows 11 may ignore
  // that request for a minimised or covered window otherwise.
  OptOutOfTimerThrottling();
  auto* start = new WorkerStart{device, emulator, recovery};
  if (_beginthread(&DisplayWorker, 0, start) == static_cast<std::uintptr_t>(-1)) delete start;
}

}  // namespace lptlcd
