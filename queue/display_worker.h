#pragma once
// The display worker: the one thread that owns the display and the emulator.
// It executes queued commands as they come and, after every idle interval,
// flushes what the emulator still holds, so a finished burst reaches the
// display about a millisecond after its last command.

#include <windows.h>

#include <atomic>

#include "device/display_recovery.h"
#include "emulator/character_lcd_emulator.h"
#include "emulator/module_size.h"
#include "queue/command_queue.h"

namespace lptlcd {

constexpr DWORD kIdleFlushMilliseconds = 1;

enum class WorkerExit { kWaitFailed, kStopped };

// Waits for commands and executes them one at a time, taking each from the
// queue under its lock and executing it outside; after kIdleFlushMilliseconds
// without one it calls Flush. Returns when a wait fails or (for tests and
// measuring) when *stop is seen set. A recovery, when given, is checked after
// every command and flush.
WorkerExit RunDisplayWorkerLoop(CommandQueue& queue, CharacterLcdEmulator& emulator,
                                const std::atomic<bool>* stop = nullptr,
                                DisplayRecovery* recovery = nullptr);

// Asks Windows for a 1 ms timer tick for the whole process: with the default
// tick of about 15.6 ms a 1 ms wait lasts up to a whole tick. Before that, on
// Windows 11, keeps the process out of the power throttling that may ignore
// the request for a minimised or covered window. True when the tick is granted.
bool RequestMillisecondTimer();

// The thread's procedure: opens the display (or ends the process with status
// 1), sends the start-up packets and runs the loop over TheCommandQueue(),
// emulating the module *module (a ModuleSize that outlives the thread).
void __cdecl DisplayWorker(void* module);

// Starts DisplayWorker on its own thread, emulating `module`. A failure to
// start goes unnoticed, as start-up has nothing better to do than carry on
// capturing.
void StartWorker(ModuleSize module);

}  // namespace lptlcd
