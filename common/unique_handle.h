#pragma once
// One owner per resource: move-only, frees what it holds exactly once. Each
// kind names in its traits the value that means "nothing" (CreateFile returns
// INVALID_HANDLE_VALUE, most other calls NULL, MapViewOfFile a null pointer)
// and the call that frees it; Win32's kinds are in common/win32_handles.h.
// Portable: the display's pipe has an owner natively too.
//
//   struct Traits { using Type = ...; static Type Invalid(); static void Close(Type); };

#include <utility>

namespace lptlcd {

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
  // Null is never a live resource, whatever a kind's "nothing" is.
  bool IsValid() const { return value != Traits::Invalid() && value != Type{}; }
  explicit operator bool() const { return IsValid(); }
  // For owners of typed pointers (mapped views).
  Type operator->() const { return value; }
  auto& operator*() const { return *value; }

  Type Release() { return std::exchange(value, Traits::Invalid()); }

  // Frees what was held and takes `replacement`. The Win32 kinds' Close
  // keeps the caller's GetLastError, so `owner.Reset(::CreateMutexA(...))`
  // can still be followed by a look at ERROR_ALREADY_EXISTS.
  void Reset(Type replacement = Traits::Invalid()) {
    const Type old = std::exchange(value, replacement);
    if (old != Traits::Invalid() && old != Type{}) Traits::Close(old);
  }

  // For calls that hand back what they open through an out-parameter:
  // frees what was held and gives the place to receive the new one.
  Type* Put() {
    Reset();
    return &value;
  }

 private:
  Type value = Traits::Invalid();
};

}  // namespace lptlcd
