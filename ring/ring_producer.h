#pragma once
// The producer's side of the shared port-write ring, as the port-I/O DLL
// and the tools use it: opens the ring's objects (creating them when the
// program is not there yet) and appends records under the program's locking
// rules, setting the event after adding. It waits a bounded time for room and
// for the mutex, so that a program nobody drains slows its producer down
// once and never hangs it. No C++ runtime on its path: the DLL runs it inside
// somebody else's process.

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "common/lcd_types.h"
#include "ring/ring_objects.h"

namespace lptlcd {

struct RingProducerOptions {
  // How long Append (and WaitDrained) waits while nothing moves: neither a
  // record could be stored nor the program consumed one. Each record stored
  // starts the clock again, so a long stream into a draining ring never gives
  // up, while a ring nobody drains costs at most this much.
  std::uint32_t giveUpMs = 2000;
  // Pause between attempts while the ring is full.
  std::uint32_t retryMs = 1;
};

class RingProducer {
 public:
  explicit RingProducer(RingProducerOptions producerOptions = {}) : options(producerOptions) {}
  RingProducer(const RingProducer&) = delete;
  RingProducer& operator=(const RingProducer&) = delete;

  // Creates or opens the three objects and maps the ring. On failure returns
  // false and LastFailure() says which step failed, with Windows' error.
  bool Open();
  bool IsOpen() const { return objects.view.IsValid(); }
  // True when Open created the section, i.e. nobody held the ring before.
  bool CreatedSection() const { return objects.createdSection; }
  const RingObjectsFailure& LastFailure() const { return failure; }

  // Delivers records in order and returns how many were stored: all of them,
  // or the first ones when the ring stayed full (or the mutex held) for
  // giveUpMs. After such a give-up later calls do not wait for room again
  // until a record has fitted, and after a wait for the mutex gave up they
  // only try it, without waiting, until they have it again: a producer
  // nobody drains, or whose ring a suspended thread holds, is slowed down
  // once, not on every call. Safe to call from several threads of one process.
  std::size_t Append(const PortWriteRecord* records, std::size_t count);

  // Waits until count is 0; false when the program stopped consuming for
  // giveUpMs or the ring is not open.
  bool WaitDrained();

 private:
  // Milliseconds left of the no-progress budget that started at `since`
  // (GetTickCount; the difference is right across its wrap).
  DWORD Remaining(DWORD since) const;

  RingProducerOptions options;
  RingObjects objects;
  RingObjectsFailure failure;
  // Set by a give-up, cleared as soon as a record fits again.
  volatile LONG stalled = 0;
  // Set when a wait for the mutex timed out, cleared as soon as it is had.
  volatile LONG mutexStuck = 0;
};

}  // namespace lptlcd
