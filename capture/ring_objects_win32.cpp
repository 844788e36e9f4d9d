#include "capture/ring_objects.h"

namespace lptlcd {

namespace {

bool Failed(RingObjectsFailure* failure, const char* call, const char* object) {
  if (failure != nullptr) *failure = RingObjectsFailure{call, object, ::GetLastError()};
  return false;
}

// The event, the section and its view, once the mutex is there.
bool OpenEventAndSection(RingObjects& objects, const RingObjectNames& names,
                         RingObjectsFailure* failure) {
  objects.event.Reset(::CreateEventA(nullptr, FALSE, FALSE, names.event));
  if (!objects.event) return Failed(failure, "CreateEventA", names.event);
  objects.section.Reset(::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                             static_cast<DWORD>(kRingSectionBytes), names.section));
  if (!objects.section) return Failed(failure, "CreateFileMappingA", names.section);
  objects.createdSection = ::GetLastError() != ERROR_ALREADY_EXISTS;
  // A section that already exists but is smaller than the ring cannot be
  // mapped whole, which is the check that protects the loop from it.
  objects.view = MapView<PortWriteRing>(objects.section.Get(), FILE_MAP_ALL_ACCESS);
  if (!objects.view) return Failed(failure, "MapViewOfFile", names.section);
  return true;
}

}  // namespace

bool CreateRingObjects(RingObjects& objects, const RingObjectNames& names,
                       RingObjectsFailure* failure) {
  objects.mutex.Reset(::CreateMutexA(nullptr, TRUE, names.mutex));
  if (!objects.mutex) return Failed(failure, "CreateMutexA", names.mutex);
  // Ownership is granted only to the creator, and only then given back: a
  // thread that already held an existing mutex keeps it.
  const bool ownsMutex = ::GetLastError() != ERROR_ALREADY_EXISTS;
  const bool opened = OpenEventAndSection(objects, names, failure);
  if (ownsMutex) ::ReleaseMutex(objects.mutex.Get());
  return opened;
}

}  // namespace lptlcd
