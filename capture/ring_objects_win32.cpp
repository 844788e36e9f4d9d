#include "capture/ring_objects.h"

namespace lptlcd {

void RingView::Reset() {
  if (view_ != nullptr) ::UnmapViewOfFile(view_);
  view_ = nullptr;
}

bool CreateRingObjects(RingObjects& objects, const RingObjectNames& names) {
  // Ownership is granted only to the creator; when the producer made the
  // mutex first this open leaves it unowned and the release below fails
  // harmlessly.
  objects.mutex.Reset(::CreateMutexA(nullptr, TRUE, names.mutex));
  objects.event.Reset(::CreateEventA(nullptr, FALSE, FALSE, names.event));
  objects.section.Reset(::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                             static_cast<DWORD>(kRingSectionBytes), names.section));
  // A section that already exists but is smaller than the ring cannot be
  // mapped whole, which is the check that protects the loop from it.
  if (objects.section) {
    objects.view = RingView(
        ::MapViewOfFile(objects.section.Get(), FILE_MAP_ALL_ACCESS, 0, 0, kRingSectionBytes));
  }
  if (!objects.mutex || !objects.event || !objects.section || !objects.view) return false;
  ::ReleaseMutex(objects.mutex.Get());
  return true;
}

}  // namespace lptlcd
