#pragma once
// The display worker: the one thread that owns the display and the emulator.
// It executes queued commands as they come and flushes what the emulator
// still holds one idle millisecond after the last of them, so a finished
// burst reaches the display about a millisecond after its last command.
// With nothing held back and the display present it sleeps until the next
// hand-over (queue/worker_schedule.h).

#include <windows.h>

#include <atomic>

#include "device/display_recovery.h"
#include "emulator/character_lcd_emulator.h"
#include "emulator/module_size.h"
#include "queue/command_queue.h"

namespace lptlcd {

enum class WorkerExit { kWaitFailed, kStopped };

// Executes every queued command, then waits: kIdleFlushMs when the emulator
// has something to send, after which (no command having come) it calls Flush;
// otherwise until the next hand-over, or the next search for a display that
// has gone. The 1 ms timer is held only around the short waits and a quiet
// while after them. Returns when a wait fails or (for tests and measuring)
// when *stop is seen set; whoever sets it calls WakeWorker. A recovery, when
// given, is checked after every command, flush and time-out. The counters in
// queue.worker are kept up to date.
WorkerExit RunDisplayWorkerLoop(CommandQueue& queue, CharacterLcdEmulator& emulator,
                                const std::atomic<bool>* stop = nullptr,
                                DisplayRecovery* recovery = nullptr);

// The thread's procedure: sends the start-up packets to the display it was
// started with and runs the loop over TheCommandQueue().
void __cdecl DisplayWorker(void* start);

constexpr char kWaitingForDisplayMessage[] =
    "Waiting for the display: lptlcd looks for it once a second and shows the screen when it comes\n";

// Opens the display, on the calling thread and before the ring is drained:
// when there is none, ends the process with status 1, or with waitForDisplay
// says it waits and goes on without one. Starts listening for Windows'
// notices about devices and power, then DisplayWorker on its own thread,
// emulating `module`. A failure to start the thread goes unnoticed,
// as start-up has nothing better to do than carry on capturing.
void StartWorker(ModuleSize module, bool waitForDisplay);

}  // namespace lptlcd
