#pragma once
// The FIFO between the capture thread, which decodes the producer's port
// writes once it has taken them out of the ring, and the display worker,
// which does all the slow USB writing. The capture thread must never wait on
// the display. It is the only thread that puts commands in and the worker
// the only one that takes them out, so each side owns one index and
// publishes it to the other with release and acquire: no lock, and no call
// into the kernel per command. The worker is woken once for everything a
// drain pass queued (HandOver), not once a command.

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "common/lcd_types.h"
#include "common/win32_handles.h"

namespace lptlcd {

constexpr std::size_t kCommandQueueCapacity = 65536;
// The indices are 16 bits wide and equal only when the queue is empty, so one
// slot stays free: a command that would fill it is dropped instead.
constexpr std::uint16_t kCommandQueueMaxPending = 65535;

// What the worker did, for the measuring tools and the tests.
struct WorkerCounters {
  std::atomic<std::uint32_t> wakeUps{0};      // returns from its wait, whatever ended it
  std::atomic<std::uint32_t> timerRaises{0};  // times it asked for the 1 ms timer
};

struct CommandQueue {
  // The capture thread's side. The storage lies between the two sides'
  // fields, so that neither side's stores take the other's cache line.
  // Both indices run modulo 65,536 on their own.
  std::atomic<std::uint16_t> writeIndex{0};  // published after the entry is stored
  bool handOverDue = false;                  // commands stored since the last HandOver
  // Commands lost because the queue was full.
  std::atomic<std::uint32_t> dropped{0};
  // Times the worker's event was set for queued commands.
  std::atomic<std::uint32_t> handOvers{0};

  LcdCommand storage[kCommandQueueCapacity] = {};

  // The worker's side.
  std::atomic<std::uint16_t> readIndex{0};  // published after the entry is copied out
  // Commands the worker has taken so far (wraps): tells the capture loop
  // whether the display is still reading.
  std::atomic<std::uint32_t> taken{0};
  WorkerCounters worker;
  UniqueKernelHandle event;  // unnamed auto-reset event: a hand-over, or a stop
};

// Creates the event and empties the storage. False when the event cannot be
// created. Not while a worker runs over the queue.
bool Init(CommandQueue& queue);

// The capture thread's: appends one command without waking the worker;
// drops it when 65,535 are pending (never waits for room: the capture thread
// must keep draining the ring, and the worker may be gone).
void Enqueue(CommandQueue& queue, LcdCommand command);

// The capture thread's, at the end of a drain pass (and before it waits for
// the ring in the middle of one): wakes the worker for the commands enqueued
// since the last hand-over, if there are any. One SetEvent at most.
void HandOver(CommandQueue& queue);

// Wakes the worker whether or not anything is queued (for a stop).
void WakeWorker(CommandQueue& queue);

// The worker's: takes the oldest entry; false when the queue is empty.
bool TakeOne(CommandQueue& queue, LcdCommand& command);

// Exact for the capture thread, whose view can only be short of the room
// the worker has made since.
inline std::uint16_t Pending(const CommandQueue& queue) {
  return static_cast<std::uint16_t>(queue.writeIndex.load(std::memory_order_acquire) -
                                    queue.readIndex.load(std::memory_order_acquire));
}
inline std::uint32_t TakenCount(const CommandQueue& queue) { return queue.taken.load(); }
inline std::uint32_t DroppedCount(const CommandQueue& queue) { return queue.dropped.load(); }

// The process's one queue, shared by the capture loop and the display worker.
CommandQueue& TheCommandQueue();
bool Init();
void Enqueue(LcdCommand command);

}  // namespace lptlcd
