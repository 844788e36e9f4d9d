#pragma once
// Lock guards: a Win32 mutex held until the guard goes, and a critical
// section with a scoped lock. (Not std::mutex: the shipped programs use the
// win32 thread model, whose runtime has none.)

#include <windows.h>

#include <utility>

namespace lptlcd {

// A mutex this thread holds, released when the lock goes out of scope.
class MutexLock {
 public:
  enum class Outcome { kOwned, kAbandoned, kTimedOut, kFailed };

  MutexLock() = default;
  ~MutexLock() { Release(); }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;
  MutexLock(MutexLock&& other) noexcept
      : mutex(std::exchange(other.mutex, nullptr)), outcome(other.outcome) {}
  MutexLock& operator=(MutexLock&& other) noexcept {
    if (this != &other) {
      Release();
      mutex = std::exchange(other.mutex, nullptr);
      outcome = other.outcome;
    }
    return *this;
  }

  // Held: taken, or taken over from an owner that ended without releasing it.
  bool Owned() const { return mutex != nullptr; }
  explicit operator bool() const { return Owned(); }
  // Taken over from a thread or process that died holding it: what the mutex
  // guards is as that owner left it.
  bool Abandoned() const { return outcome == Outcome::kAbandoned; }
  bool TimedOut() const { return outcome == Outcome::kTimedOut; }

  void Release() {
    if (mutex != nullptr) ::ReleaseMutex(std::exchange(mutex, nullptr));
  }

 private:
  friend MutexLock AcquireMutex(HANDLE mutex, DWORD timeoutMs);
  MutexLock(HANDLE held, Outcome result) : mutex(held), outcome(result) {}

  HANDLE mutex = nullptr;  // set only while held
  Outcome outcome = Outcome::kFailed;
};

// Waits up to timeoutMs (INFINITE: for ever) for the mutex. WAIT_ABANDONED
// counts as owned: the wait did give this thread the mutex.
inline MutexLock AcquireMutex(HANDLE mutex, DWORD timeoutMs) {
  switch (::WaitForSingleObject(mutex, timeoutMs)) {
    case WAIT_OBJECT_0:
      return MutexLock(mutex, MutexLock::Outcome::kOwned);
    case WAIT_ABANDONED:
      return MutexLock(mutex, MutexLock::Outcome::kAbandoned);
    case WAIT_TIMEOUT:
      return MutexLock(nullptr, MutexLock::Outcome::kTimedOut);
    default:
      return MutexLock(nullptr, MutexLock::Outcome::kFailed);
  }
}

// A critical section for the threads of one process.
class CriticalSection {
 public:
  // Held until the scope ends: `const auto held = section.Lock();`.
  class [[nodiscard]] Lock {
   public:
    explicit Lock(CRITICAL_SECTION& locked) : section(locked) { ::EnterCriticalSection(&section); }
    ~Lock() { ::LeaveCriticalSection(&section); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

   private:
    CRITICAL_SECTION& section;
  };

  CriticalSection() { ::InitializeCriticalSection(&section); }
  ~CriticalSection() { ::DeleteCriticalSection(&section); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  // const, so that the owners' const readers can take it too.
  Lock Hold() const { return Lock(section); }

 private:
  mutable CRITICAL_SECTION section;
};

}  // namespace lptlcd
