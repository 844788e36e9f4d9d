#pragma once
// The port-I/O DLL's ring producer: opened on first use (never in DllMain,
// where the loader lock is held) and kept until the process ends or frees
// the DLL. When the ring's objects cannot be had (another user's, a name
// taken by another kind of object, a Low-integrity host), an open is tried
// again at most once every kRingRetryIntervalMs: each try loads a library,
// queries the token, builds a descriptor and makes up to six create or open
// calls, and the host would pay that on every port write. Writes in between
// find no ring and are dropped, as they are when a try fails.

#include <windows.h>

#include <cstdint>

#include "ring/ring_producer.h"

namespace lptlcd {

constexpr std::uint32_t kRingRetryIntervalMs = 1000;
// How long a port write waits for another thread of the program that is
// opening the ring. Opening takes a few system calls; an opener stuck for
// longer (behind the loader lock, say) must not hold the other threads up:
// they drop their writes instead.
constexpr std::uint32_t kFirstUseWaitMs = 50;

// Whether a failed open, made at `failedAt`, may be tried again at `now`
// (GetTickCount milliseconds; the difference is right across their wrap).
constexpr bool RingRetryDue(std::uint32_t now, std::uint32_t failedAt) {
  return now - failedAt >= kRingRetryIntervalMs;
}

class RingOnFirstUse {
 public:
  using OpenFn = bool (*)(RingProducer& ring);
  using ClockFn = DWORD (*)();

  // Constant-initialised in the DLL: no static constructor, no destructor.
  constexpr RingOnFirstUse(RingProducerOptions producerOptions, OpenFn openRing, ClockFn tickClock)
      : options(producerOptions), open(openRing), clock(tickClock) {}
  RingOnFirstUse(const RingOnFirstUse&) = delete;
  RingOnFirstUse& operator=(const RingOnFirstUse&) = delete;

  // The open ring, opening it when that is due; null when there is none.
  // Safe to call from any thread of the host. While another thread opens it,
  // waits up to kFirstUseWaitMs by the clock (a tick more at most), once for
  // each open: after a wait gave up, null at once until that open ends.
  RingProducer* Get();

  // Hands the ring back (FreeLibrary while the program goes on). Only when
  // no other thread can be calling Get.
  void Close();

 private:
  static constexpr LONG kClosed = 0;   // never tried, or the last try failed
  static constexpr LONG kOpening = 1;  // a thread is opening it
  static constexpr LONG kOpen = 2;

  LONG State() { return ::InterlockedCompareExchange(&state, 0, 0); }

  RingProducerOptions options;
  OpenFn open;
  ClockFn clock;
  volatile LONG state = kClosed;
  volatile LONG waitGaveUp = 0;  // a wait for the open in progress gave up
  volatile LONG failedOnce = 0;
  volatile LONG failedAt = 0;  // a GetTickCount value, as LONG for the Interlocked calls
  RingProducer* ring = nullptr;
  alignas(RingProducer) unsigned char storage[sizeof(RingProducer)] = {};
};

}  // namespace lptlcd
