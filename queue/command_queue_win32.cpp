#include "queue/command_queue.h"

#include <algorithm>
#include <iterator>

namespace lptlcd {

bool Init(CommandQueue& queue) {
  queue.event.Reset(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
  if (!queue.event) return false;
  std::fill(std::begin(queue.storage), std::end(queue.storage), LcdCommand{0});
  queue.readIndex.store(0);
  queue.writeIndex.store(0);
  queue.handOverDue = false;
  return true;
}

void Enqueue(CommandQueue& queue, LcdCommand command) {
  const std::uint16_t write = queue.writeIndex.load(std::memory_order_relaxed);
  // Acquire: the worker has copied out every entry before this index, so
  // their slots may be written again.
  const std::uint16_t read = queue.readIndex.load(std::memory_order_acquire);
  if (static_cast<std::uint16_t>(write - read) == kCommandQueueMaxPending) {
    queue.dropped.fetch_add(1, std::memory_order_relaxed);
    return;
  }
  queue.storage[write] = command;
  // Release: the worker sees the entry once it sees the index.
  queue.writeIndex.store(static_cast<std::uint16_t>(write + 1), std::memory_order_release);
  queue.handOverDue = true;
}

void HandOver(CommandQueue& queue) {
  if (!queue.handOverDue) return;
  queue.handOverDue = false;
  queue.handOvers.fetch_add(1, std::memory_order_relaxed);
  // After the indices were published: a worker that finds the queue empty
  // and then waits is woken by this, and one still taking commands finds the
  // event set and makes one empty pass.
  ::SetEvent(queue.event.Get());
}

void WakeWorker(CommandQueue& queue) { ::SetEvent(queue.event.Get()); }

bool TakeOne(CommandQueue& queue, LcdCommand& command) {
  const std::uint16_t read = queue.readIndex.load(std::memory_order_relaxed);
  if (read == queue.writeIndex.load(std::memory_order_acquire)) return false;
  command = queue.storage[read];
  queue.readIndex.store(static_cast<std::uint16_t>(read + 1), std::memory_order_release);
  queue.taken.fetch_add(1, std::memory_order_relaxed);
  return true;
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
