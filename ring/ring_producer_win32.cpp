#include "ring/ring_producer.h"

#include <utility>

#include "common/locks.h"
#include "ring/ring_records.h"

namespace lptlcd {

bool RingProducer::Open() {
  if (IsOpen()) return true;
  RingObjects opened;
  if (!CreateRingObjects(opened, RingObjectNames(), &failure)) return false;
  objects = std::move(opened);
  failure = RingObjectsFailure();
  return true;
}

DWORD RingProducer::Remaining(DWORD since) const {
  const DWORD elapsed = ::GetTickCount() - since;
  return elapsed >= options.giveUpMs ? 0 : options.giveUpMs - elapsed;
}

std::size_t RingProducer::Append(const PortWriteRecord* records, std::size_t count) {
  if (!IsOpen() || records == nullptr || count == 0) return 0;
  std::size_t delivered = 0;
  DWORD since = ::GetTickCount();
  bool mayWait = ::InterlockedCompareExchange(&stalled, 0, 0) == 0;
  while (delivered < count) {
    std::size_t stored = 0;
    // The mutex is waited for even after a full ring's give-up: the program
    // holds it for a whole drain pass, which is exactly when room is being
    // made. Not after a wait for the mutex itself gave up: whoever holds it
    // (a hung or suspended thread) would cost every call the whole wait.
    const bool mutexWaitGaveUp = ::InterlockedCompareExchange(&mutexStuck, 0, 0) != 0;
    MutexLock lock = AcquireMutex(objects.mutex.Get(), mutexWaitGaveUp ? 0 : Remaining(since));
    if (lock) {
      ::InterlockedExchange(&mutexStuck, 0);
      // An owner that died holding the mutex wrote the ring's words one at a
      // time: at worst it left records it had not yet counted.
      stored = AppendRecords(*objects.view, records + delivered, count - delivered);
      lock.Release();
    } else if (lock.TimedOut()) {
      ::InterlockedExchange(&mutexStuck, 1);
    }
    // Set even when nothing fitted: a full ring is exactly when the program
    // must be woken.
    ::SetEvent(objects.event.Get());
    if (stored > 0) {
      delivered += stored;
      since = ::GetTickCount();
      mayWait = true;
      ::InterlockedExchange(&stalled, 0);
      continue;
    }
    if (!mayWait || lock.TimedOut() || Remaining(since) == 0) {
      ::InterlockedExchange(&stalled, 1);
      break;
    }
    ::Sleep(options.retryMs);
  }
  return delivered;
}

bool RingProducer::WaitDrained() {
  if (!IsOpen()) return false;
  DWORD since = ::GetTickCount();
  std::size_t last = kRingCapacity;  // more than count can ever be
  for (;;) {
    std::size_t pending = last;
    if (const MutexLock lock = AcquireMutex(objects.mutex.Get(), Remaining(since))) {
      pending = objects.view->count;
    }
    if (pending == 0) return true;
    if (pending < last) {
      since = ::GetTickCount();
      last = pending;
    } else if (Remaining(since) == 0) {
      return false;
    }
    ::Sleep(options.retryMs);
  }
}

}  // namespace lptlcd
