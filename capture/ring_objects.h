#pragma once
// The three named objects shared with the producer of port writes: the mutex
// that guards the ring, the event that says records were added, and the
// section that holds the ring. Whoever comes first creates them; the other
// side opens the same objects under the same names.

#include <windows.h>

#include "capture/port_write_ring.h"
#include "common/unique_handle.h"

namespace lptlcd {

struct RingObjectNames {
  const char* mutex = kRingMutexName;
  const char* event = kRingEventName;
  const char* section = kRingSectionName;
};

// Owns a mapped view of the section.
class RingView {
 public:
  RingView() = default;
  explicit RingView(void* view) : view_(view) {}
  ~RingView() { Reset(); }
  RingView(const RingView&) = delete;
  RingView& operator=(const RingView&) = delete;
  RingView(RingView&& other) noexcept : view_(other.view_) { other.view_ = nullptr; }
  RingView& operator=(RingView&& other) noexcept {
    if (this != &other) {
      Reset();
      view_ = other.view_;
      other.view_ = nullptr;
    }
    return *this;
  }

  PortWriteRing* Ring() const { return static_cast<PortWriteRing*>(view_); }
  explicit operator bool() const { return view_ != nullptr; }
  void Reset();

 private:
  void* view_ = nullptr;
};

struct RingObjects {
  UniqueKernelHandle mutex;
  UniqueKernelHandle event;
  UniqueKernelHandle section;
  RingView view;
};

// Creates or opens the mutex (asking for initial ownership), the event
// (auto-reset, not signalled) and the section (131,078 bytes, paging-file
// backed), maps the whole section and releases the mutex if it was granted.
// False when any object or the view cannot be had.
bool CreateRingObjects(RingObjects& objects, const RingObjectNames& names = RingObjectNames());

}  // namespace lptlcd
