#pragma once
// The main thread's life after start-up: wait for the producer's signal, take
// what is pending out of the ring under its mutex, and decode it once the
// mutex is released.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <limits>

#include "capture/port_write_decoder.h"
#include "common/console_win32.h"
#include "ring/ring_objects.h"

namespace lptlcd {

struct CapturePass {
  enum class Outcome {
    kDrained,      // held the mutex and drained (records may be 0)
    kNoSignal,     // the event did not come within the time-out (nothing was done)
    kMutexFailed,  // a mutex wait failed: the ring was left alone from then on
  };
  Outcome outcome = Outcome::kDrained;
  std::size_t records = 0;  // consumed in this pass
  bool abandoned = false;   // the mutex was taken over from a producer that died holding it
  std::size_t left = 0;     // still pending in the ring after the pass
};

// How long a pass waits for the ring's mutex before it says that another
// program holds it (a hung producer, or one that may only wait on it): one
// line, and one more when the mutex is free again; the pass waits on.
constexpr DWORD kRingHeldTooLongMs = 5000;
constexpr char kRingHeldMessage[] =
    "Another program holds the shared buffer (" LPTLCD_RING_MUTEX_NAME "): waiting for it\n";
constexpr char kRingFreeAgainMessage[] = "The shared buffer is free again\n";

// After how long a pass says that another program holds the ring, and
// where it says so (tests listen in).
struct RingHeldReport {
  DWORD afterMs = kRingHeldTooLongMs;
  void (*say)(const char* line) = &SayOnStandardOutput;
};

// Records taken out of the ring under one hold of its mutex: the producer
// waits for a copy of at most this many (8 KiB), never for their decoding.
constexpr std::size_t kDrainChunkRecords = 4096;

// Consumes at most maxRecords pending records: takes them out of the ring in
// chunks under its mutex (no time-out) and decodes each chunk after
// releasing it, until the ring is empty or the limit is reached. Records the
// producer adds meanwhile are taken by the same pass. Nothing is printed
// while it holds the mutex: a console frozen by Mark or Pause stops the
// printing thread, which must not keep the producer out meanwhile.
// handOver, when given, is called before the pass waits for a mutex that
// another holds, once it has decoded commands: the producer may hold the
// ring for long, and the worker would not see them until the pass ends.
CapturePass DrainPass(const RingObjects& objects, PortWriteDecoder& decoder,
                      std::size_t maxRecords = std::numeric_limits<std::size_t>::max(),
                      const RingHeldReport& report = RingHeldReport(),
                      void (*handOver)() = nullptr);

// What the capture loop needs to know of the command queue behind the decoder.
struct CommandQueueGauge {
  std::size_t (*room)();     // commands it can still take
  std::uint32_t (*taken)();  // commands the display worker has taken so far
  std::uint32_t (*dropped)();  // commands it has dropped so far
  // Wakes the display worker for what the decoder queued: once a pass.
  void (*handOver)();
};

// Passes forever, each handing what it queued to the worker at its end.
// While the display worker keeps taking commands, a pass takes no more
// records than the queue has room for, so no command is lost to a full
// queue: what does not fit stays in the ring, and the next pass comes a
// millisecond later without waiting for the producer's next signal. When the
// display stops taking them (see DisplayStallGuard), the ring is drained all
// the same, so the producer is never held up by the display, and what the
// queue cannot hold is dropped; a line on standard output tells when that
// starts and, with the number dropped, when it ends.
[[noreturn]] void RunCaptureLoop(const RingObjects& objects, PortWriteDecoder& decoder,
                                 CommandQueueGauge queue);

}  // namespace lptlcd
