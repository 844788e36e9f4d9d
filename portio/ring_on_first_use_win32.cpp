#include "portio/ring_on_first_use.h"

#include <new>

namespace lptlcd {

RingProducer* RingOnFirstUse::Get() {
  if (State() == kOpen) return ring;
  // A try failed less than a retry interval ago: no ring, for the price of
  // reading the clock.
  if (::InterlockedCompareExchange(&failedOnce, 0, 0) != 0 &&
      !RingRetryDue(clock(), static_cast<std::uint32_t>(::InterlockedCompareExchange(&failedAt, 0, 0)))) {
    return nullptr;
  }
  if (::InterlockedCompareExchange(&state, kOpening, kClosed) == kClosed) {
    ::InterlockedExchange(&waitGaveUp, 0);
    RingProducer* opened = ::new (static_cast<void*>(storage)) RingProducer(options);
    if (!open(*opened)) {
      opened->~RingProducer();
      ::InterlockedExchange(&failedAt, static_cast<LONG>(clock()));
      ::InterlockedExchange(&failedOnce, 1);
      ::InterlockedExchange(&state, kClosed);
      return nullptr;
    }
    // Lives until the process ends (or FreeLibrary): the program may call in
    // from any thread up to its very last instruction.
    ring = opened;
    ::InterlockedExchange(&state, kOpen);
    return opened;
  }
  // Another thread is opening. Bounded by the clock, not by a count of
  // sleeps: Sleep(1) lasts a whole timer tick, 15.6 ms by default. Once a
  // wait has given up, the open is stuck: the writes that follow while it
  // lasts do not wait for it again.
  if (::InterlockedCompareExchange(&waitGaveUp, 0, 0) == 0) {
    const std::uint32_t since = clock();
    while (State() == kOpening && clock() - since < kFirstUseWaitMs) ::Sleep(1);
    if (State() == kOpening) ::InterlockedExchange(&waitGaveUp, 1);
  }
  return State() == kOpen ? ring : nullptr;
}

void RingOnFirstUse::Close() {
  if (State() == kOpen) {
    ring->~RingProducer();
    ring = nullptr;
  }
  state = kClosed;
}

}  // namespace lptlcd
