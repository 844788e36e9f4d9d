#include "queue/command_queue.h"

#include <algorithm>
#include <iterator>

#include "common/locks.h"

namespace lptlcd {

// A lock abandoned by a thread that died holding it is owned all the same:
// the queue's fields are only ever changed a whole entry at a time.

bool Init(CommandQueue& queue) {
  queue.lock.Reset(::CreateMutexA(nullptr, TRUE, nullptr));
  queue.event.Reset(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
  if (!queue.lock || !queue.event) return false;
  std::fill(std::begin(queue.storage), std::end(queue.storage), LcdCommand{0});
  queue.readIndex = 0;
  queue.writeIndex = 0;
  queue.count.store(0);
  ::ReleaseMutex(queue.lock.Get());
  return true;
}

void Enqueue(CommandQueue& queue, LcdCommand command) {
  const MutexLock lock = AcquireMutex(queue.lock.Get(), INFINITE);
  if (!lock) {
    queue.dropped.fetch_add(1);
    return;
  }
  if (queue.count.load() == kCommandQueueMaxPending) {
    // Never overwrite what the worker has yet to take, and never wait for it:
    // the capture thread must keep draining the ring, and the worker may be gone.
    queue.dropped.fetch_add(1);
  } else {
    queue.storage[queue.writeIndex] = command;
    ++queue.writeIndex;
    queue.count.fetch_add(1);
    ::SetEvent(queue.event.Get());
  }
}

TakeResult TakeOne(CommandQueue& queue, LcdCommand& command) {
  if (queue.count.load() == 0) return TakeResult::kEmpty;
  const MutexLock lock = AcquireMutex(queue.lock.Get(), INFINITE);
  if (!lock) return TakeResult::kLockFailed;
  command = queue.storage[queue.readIndex];
  ++queue.readIndex;
  queue.count.fetch_sub(1);
  queue.taken.fetch_add(1);
  return TakeResult::kTaken;
}

CommandQueue& TheCommandQueue() {
  // 128 KiB of storage: on the heap, and never destroyed, because the worker
  // may still be using it while the process exits.
  static CommandQueue* const queue = new CommandQueue;
  return *queue;
}

bool Init() { return Init(TheCommandQueue()); }

void Enqueue(LcdCommand command) { Enqueue(TheCommandQueue(), command); }

}  // namespace lptlcd
