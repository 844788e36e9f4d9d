#pragma once
// The main thread's life after start-up: wait for the producer's signal, take
// the ring's mutex and drain everything pending through the decoder.

#include <windows.h>

#include <cstddef>

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
};

// One pass: waits up to eventTimeoutMs for the event, then for the mutex
// without a time-out, drains and releases.
CapturePass RunCapturePass(const RingObjects& objects, PortWriteDecoder& decoder,
                           DWORD eventTimeoutMs = INFINITE);

// Passes forever.
[[noreturn]] void RunCaptureLoop(const RingObjects& objects, PortWriteDecoder& decoder);

}  // namespace lptlcd
