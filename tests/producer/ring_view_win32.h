#pragma once
// The program's side of the ring, for tests: opens the named objects that a
// producer made and looks at or drains the section directly.

#include <windows.h>

#include <vector>

#include "capture/port_write_ring.h"
#include "capture/ring_records.h"
#include "common/locks.h"
#include "common/win32_handles.h"

namespace lptlcd::test {

class RingView {
 public:
  // Opens the existing objects; IsOpen() is false if any is missing.
  RingView() {
    mutex_.Reset(::OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, kRingMutexName));
    event_.Reset(::OpenEventA(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, kRingEventName));
    section_.Reset(::OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, kRingSectionName));
    if (section_) ring_ = MapView<PortWriteRing>(section_.Get(), FILE_MAP_ALL_ACCESS);
  }

  bool IsOpen() const { return mutex_ && event_ && ring_; }
  PortWriteRing& Ring() { return *ring_; }
  HANDLE Mutex() const { return mutex_.Get(); }
  HANDLE Event() const { return event_.Get(); }

  // Sets the ring as if the program had consumed up to readIndex and left
  // `count` records pending.
  void Reset(std::uint16_t readIndex, std::uint16_t count) {
    {
      const MutexLock lock = AcquireMutex(mutex_.Get(), INFINITE);
      ring_->readIndex = readIndex;
      ring_->count = count;
    }
    ::ResetEvent(event_.Get());
  }

  // One pass of the program's capture loop, without waiting for the event.
  std::vector<PortWriteRecord> Drain() {
    std::vector<PortWriteRecord> out(kRingMaxPending);
    const MutexLock lock = AcquireMutex(mutex_.Get(), INFINITE);
    out.resize(TakeRecords(*ring_, out.data(), out.size()));
    return out;
  }

  bool EventIsSet() const { return ::WaitForSingleObject(event_.Get(), 0) == WAIT_OBJECT_0; }

 private:
  UniqueKernelHandle mutex_;
  UniqueKernelHandle event_;
  UniqueKernelHandle section_;
  UniqueMappedView<PortWriteRing> ring_;
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
  explicit DrainingThread(RingView& view, DWORD pauseMs = 0) : view_(view), pauseMs_(pauseMs) {
    thread_.Reset(::CreateThread(nullptr, 0, &DrainingThread::Run, this, 0, nullptr));
  }
  ~DrainingThread() { Stop(); }
  DrainingThread(const DrainingThread&) = delete;
  DrainingThread& operator=(const DrainingThread&) = delete;

  bool Started() const { return static_cast<bool>(thread_); }
  void Stop() {
    if (!thread_) return;
    ::InterlockedExchange(&stop_, 1);
    ::SetEvent(view_.Event());
    ::WaitForSingleObject(thread_.Get(), INFINITE);
    thread_.Reset();
  }
  // Valid after Stop.
  const std::vector<PortWriteRecord>& Consumed() const { return consumed_; }

 private:
  static DWORD WINAPI Run(void* self) {
    auto& t = *static_cast<DrainingThread*>(self);
    while (::InterlockedCompareExchange(&t.stop_, 0, 0) == 0) {
      ::WaitForSingleObject(t.view_.Event(), INFINITE);
      const auto batch = t.view_.Drain();
      t.consumed_.insert(t.consumed_.end(), batch.begin(), batch.end());
      if (t.pauseMs_ != 0) ::Sleep(t.pauseMs_);
    }
    return 0;
  }

  RingView& view_;
  DWORD pauseMs_;
  volatile LONG stop_ = 0;
  std::vector<PortWriteRecord> consumed_;
  UniqueKernelHandle thread_;
};

}  // namespace lptlcd::test
