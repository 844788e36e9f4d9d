#pragma once
// The program's side of the ring, for tests: opens the named objects that a
// producer made and looks at or drains the section directly.

#include <windows.h>

#include <vector>

#include "common/locks.h"
#include "common/win32_handles.h"
#include "ring/port_write_ring.h"
#include "ring/ring_records.h"

namespace lptlcd {

class RingView {
 public:
  // Opens the existing objects; IsOpen() is false if any is missing.
  RingView() {
    mutex.Reset(::OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, kRingMutexName));
    event.Reset(::OpenEventA(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, kRingEventName));
    section.Reset(::OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, kRingSectionName));
    if (section) ring = MapView<PortWriteRing>(section.Get(), FILE_MAP_ALL_ACCESS);
  }

  bool IsOpen() const { return mutex && event && ring; }
  PortWriteRing& Ring() { return *ring; }
  HANDLE Mutex() const { return mutex.Get(); }
  HANDLE Event() const { return event.Get(); }

  // Sets the ring as if the program had consumed up to readIndex and left
  // `count` records pending.
  void Reset(std::uint16_t readIndex, std::uint16_t count) {
    {
      const MutexLock lock = AcquireMutex(mutex.Get(), INFINITE);
      ring->readIndex = readIndex;
      ring->count = count;
    }
    ::ResetEvent(event.Get());
  }

  // One pass of the program's capture loop, without waiting for the event.
  std::vector<PortWriteRecord> Drain() {
    std::vector<PortWriteRecord> out(kRingMaxPending);
    const MutexLock lock = AcquireMutex(mutex.Get(), INFINITE);
    out.resize(TakeRecords(*ring, out.data(), out.size()));
    return out;
  }

  bool EventIsSet() const { return ::WaitForSingleObject(event.Get(), 0) == WAIT_OBJECT_0; }

 private:
  UniqueKernelHandle mutex;
  UniqueKernelHandle event;
  UniqueKernelHandle section;
  UniqueMappedView<PortWriteRing> ring;
};

// True when no process holds the ring's section.
inline bool RingAbsent() {
  UniqueKernelHandle section(::OpenFileMappingA(FILE_MAP_READ, FALSE, kRingSectionName));
  return !section;
}

// The capture loop on a thread of its own: waits for the event, drains, and
// keeps everything it consumed, until stopped.
class DrainingThread {
 public:
  explicit DrainingThread(RingView& drained, DWORD pauseAfterPassMs = 0)
      : view(drained), pauseMs(pauseAfterPassMs) {
    thread.Reset(::CreateThread(nullptr, 0, &DrainingThread::Run, this, 0, nullptr));
  }
  ~DrainingThread() { Stop(); }
  DrainingThread(const DrainingThread&) = delete;
  DrainingThread& operator=(const DrainingThread&) = delete;

  bool Started() const { return static_cast<bool>(thread); }
  void Stop() {
    if (!thread) return;
    ::InterlockedExchange(&stop, 1);
    ::SetEvent(view.Event());
    ::WaitForSingleObject(thread.Get(), INFINITE);
    thread.Reset();
  }
  // Valid after Stop.
  const std::vector<PortWriteRecord>& Consumed() const { return consumed; }

 private:
  static DWORD WINAPI Run(void* self) {
    auto& t = *static_cast<DrainingThread*>(self);
    while (::InterlockedCompareExchange(&t.stop, 0, 0) == 0) {
      ::WaitForSingleObject(t.view.Event(), INFINITE);
      const auto batch = t.view.Drain();
      t.consumed.insert(t.consumed.end(), batch.begin(), batch.end());
      if (t.pauseMs != 0) ::Sleep(t.pauseMs);
    }
    return 0;
  }

  RingView& view;
  DWORD pauseMs;
  volatile LONG stop = 0;
  std::vector<PortWriteRecord> consumed;
  UniqueKernelHandle thread;
};

}  // namespace lptlcd
