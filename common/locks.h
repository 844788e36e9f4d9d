#pragma once
// A Win32 mutex held until its guard goes: the ring's named mutex, which
// another process may abandon, and the command queue's. (Not std::mutex: the
// shipped programs use the win32 thread model, whose runtime has none.)

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

}  // namespace lptlcd
