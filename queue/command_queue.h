#pragma once
// The FIFO between the capture thread, which decodes the producer's port
// writes once it has taken them out of the ring, and the display worker,
// which does all the slow USB writing. The capture thread must never wait on
// the display, so the lock is held only to put in or take out one entry.

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "common/lcd_types.h"
#include "common/win32_handles.h"

namespace lptlcd {

constexpr std::size_t kCommandQueueCapacity = 65536;
// count is 16 bits wide, so one slot stays free: a command that would make
// it wrap to 0 is dropped instead.
constexpr std::uint16_t kCommandQueueMaxPending = 65535;

struct CommandQueue {
  LcdCommand storage[kCommandQueueCapacity] = {};
  // Both indices run modulo 65,536 on their own.
  std::uint16_t readIndex = 0;   // the worker's, under the lock
  std::uint16_t writeIndex = 0;  // the capture thread's, under the lock
  // Written under the lock; the worker tests it for zero without the lock,
  // which is sound because only the worker lowers it.
  std::atomic<std::uint16_t> count{0};
  // Commands the worker has taken so far (wraps): tells the capture loop
  // whether the display is still reading.
  std::atomic<std::uint32_t> taken{0};
  // Commands lost because the queue was full or its lock could not be had.
  std::atomic<std::uint32_t> dropped{0};
  UniqueKernelHandle lock;   // unnamed mutex
  UniqueKernelHandle event;  // unnamed auto-reset event, set once per command
};

// Creates the lock and event and empties the storage. False when either
// cannot be created.
bool Init(CommandQueue& queue);

// Appends one command and wakes the worker; drops it when 65,535 are pending
// or the lock cannot be had.
void Enqueue(CommandQueue& queue, LcdCommand command);

enum class TakeResult { kTaken, kEmpty, kLockFailed };

// Takes the oldest entry, holding the lock only for that.
TakeResult TakeOne(CommandQueue& queue, LcdCommand& command);

inline std::uint16_t Pending(const CommandQueue& queue) { return queue.count.load(); }
inline std::uint32_t TakenCount(const CommandQueue& queue) { return queue.taken.load(); }
inline std::uint32_t DroppedCount(const CommandQueue& queue) { return queue.dropped.load(); }

// The process's one queue, shared by the capture loop and the display worker.
CommandQueue& TheCommandQueue();
bool Init();
void Enqueue(LcdCommand command);

}  // namespace lptlcd
