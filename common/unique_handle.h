#pragma once
// One owner per Win32 handle: move-only, closes what it holds exactly once.
// Each kind of handle names its own invalid value in its traits, because
// CreateFile returns INVALID_HANDLE_VALUE and most other calls return NULL.

#include <windows.h>

#include <utility>

namespace lptlcd {

struct NullHandleTraits {
  static HANDLE Invalid() { return nullptr; }
};

struct FileHandleTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
};

template <typename Traits>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  ~UniqueHandle() { Reset(); }

  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }

  HANDLE Get() const { return handle_; }
  bool IsValid() const { return handle_ != Traits::Invalid() && handle_ != nullptr; }
  explicit operator bool() const { return IsValid(); }

  HANDLE Release() { return std::exchange(handle_, Traits::Invalid()); }
  void Reset(HANDLE handle = Traits::Invalid()) {
    HANDLE old = std::exchange(handle_, handle);
    if (old != Traits::Invalid() && old != nullptr) ::CloseHandle(old);
  }

 private:
  HANDLE handle_ = Traits::Invalid();
};

// Mutexes, events, sections, threads: NULL on failure.
using UniqueKernelHandle = UniqueHandle<NullHandleTraits>;
// Files and pipes opened with CreateFile: INVALID_HANDLE_VALUE on failure.
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;

}  // namespace lptlcd
