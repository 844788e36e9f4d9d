#pragma once
// The main thread's life after start-up: wait for the producer's signal, take
// the ring's mutex and drain everything pending through the decoder.

#include <windows.h>

#include <cstddef>
#include <limits>

#include "capture/port_write_decoder.h"
#include "capture/ring_objects.h"

namespace lptlcd {

struct CapturePass {
  enum Outcome {
    kDrained,       // held the mutex and drained (records may be 0)
    kNoSignal,      // the event did not come within the time-out
    kMutexFailed,   // the mutex wait failed: the ring was left alone
  };
  Outcome outcome;
  std::size_t records;  // consumed in this pass
  bool abandoned;       // the mutex was taken over from a producer that died holding it
  std::size_t left = 0;  // still pending in the ring after the pass
};

// Takes the mutex (no time-out), drains at most maxRecords and releases.
CapturePass DrainPass(const RingObjects& objects, PortWriteDecoder& decoder,
                      std::size_t maxRecords = std::numeric_limits<std::size_t>::max());

// One pass: waits up to eventTimeoutMs for the event, then for the mutex
// without a time-out, drains at most maxRecords and releases.
CapturePass RunCapturePass(const RingObjects& objects, PortWriteDecoder& decoder,
                           DWORD eventTimeoutMs = INFINITE,
                           std::size_t maxRecords = std::numeric_limits<std::size_t>::max());

// How many commands the consumer of the decoder can still take.
using CommandRoom = std::size_t (*)();

// Passes forever. A pass takes no more records than `room` allows, so no
// command is ever lost to a full queue: what does not fit stays in the ring,
// and the next pass comes a millisecond later without waiting for the
// producer's next signal.
[[noreturn]] void RunCaptureLoop(const RingObjects& objects, PortWriteDecoder& decoder,
                                 CommandRoom room);

}  // namespace lptlcd
