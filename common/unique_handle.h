#pragma once
// One owner per kind of resource: move-only, frees what it holds exactly once.
// Each kind names in its traits the value that means "nothing" (CreateFile
// returns INVALID_HANDLE_VALUE, most other calls NULL, MapViewOfFile a null
// pointer) and the call that frees it; Win32's kinds are in
// common/win32_handles.h, the display's pipe in device/output_pipe.h.
//
//   struct Traits { using Type = ...; static Type Invalid(); static void Close(Type); };
//
// Freeing never changes the thread's last error, whatever the kind: so
// `owner.Reset(::CreateMutexA(...))` can still be followed by a look at
// ERROR_ALREADY_EXISTS, and a failure's error survives the owners that go
// with it. Portable: the display's pipe has an owner natively too.

#include <utility>

namespace lptlcd {

// Keeps the thread's last error (GetLastError; errno natively) from its
// making to its end.
class LastErrorKept {
 public:
  LastErrorKept();
  ~LastErrorKept();
  LastErrorKept(const LastErrorKept&) = delete;
  LastErrorKept& operator=(const LastErrorKept&) = delete;

 private:
  unsigned long error;
};

template <typename Traits>
class UniqueHandle {
 public:
  using Type = typename Traits::Type;

  UniqueHandle() = default;
  explicit UniqueHandle(Type held) : value(held) {}
  ~UniqueHandle() { Reset(); }

  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : value(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }

  Type Get() const { return value; }
  bool IsValid() const { return IsLive(value); }
  explicit operator bool() const { return IsValid(); }

  Type Release() { return std::exchange(value, Traits::Invalid()); }

  // Frees what was held and takes `replacement`.
  void Reset(Type replacement = Traits::Invalid()) {
    const Type old = std::exchange(value, replacement);
    if (!IsLive(old)) return;
    const LastErrorKept kept;
    Traits::Close(old);
  }

  // For calls that hand back what they open through an out-parameter:
  // frees what was held and gives the place to receive the new one.
  Type* Put() {
    Reset();
    return &value;
  }

 private:
  // Null is never a live resource, whatever a kind's "nothing" is.
  static bool IsLive(Type held) { return held != Traits::Invalid() && held != Type{}; }

  Type value = Traits::Invalid();
};

}  // namespace lptlcd
