#include "ring/ring_objects.h"

#include "ring/object_security.h"

namespace lptlcd {

namespace {

bool Failed(RingObjectsFailure* failure, const char* call, const char* object) {
  if (failure != nullptr) *failure = RingObjectsFailure{call, object, ::GetLastError()};
  return false;
}

// What a create-or-open got: the handle (null when neither worked), whether
// the object was there before, and whether it was opened with only the
// rights the ring needs.
struct Obtained {
  HANDLE handle = nullptr;
  bool existed = false;
  bool limited = false;
};

// An object that exists with a descriptor refusing this process all access
// (CreateXxx asks for all of it) can still be opened for what the ring
// needs: to wait on and release the mutex, to wait on and set the event,
// and to map the section for reading and writing. On failure the thread's
// last error is the failed call's.
template <typename Create, typename Open>
Obtained CreateOrOpen(Create create, Open open) {
  Obtained got;
  got.handle = create();
  if (got.handle != nullptr) {
    got.existed = ::GetLastError() == ERROR_ALREADY_EXISTS;
    return got;
  }
  if (::GetLastError() != ERROR_ACCESS_DENIED) return got;
  got.handle = open();
  got.existed = got.limited = got.handle != nullptr;
  return got;
}

// The event, the section and its view, once the mutex is there.
bool OpenEventAndSection(RingObjects& objects, const RingObjectNames& names,
                         SECURITY_ATTRIBUTES* security, RingObjectsFailure* failure) {
  const Obtained event = CreateOrOpen(
      [&] { return ::CreateEventA(security, FALSE, FALSE, names.event); },
      [&] { return ::OpenEventA(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, names.event); });
  objects.event.Reset(event.handle);
  if (!objects.event) return Failed(failure, "CreateEventA", names.event);
  const Obtained section = CreateOrOpen(
      [&] {
        return ::CreateFileMappingA(INVALID_HANDLE_VALUE, security, PAGE_READWRITE, 0,
                                    static_cast<DWORD>(kRingSectionBytes), names.section);
      },
      [&] { return ::OpenFileMappingA(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, names.section); });
  objects.section.Reset(section.handle);
  if (!objects.section) return Failed(failure, "CreateFileMappingA", names.section);
  objects.createdSection = !section.existed;
  objects.limitedAccess = objects.limitedAccess || event.limited || section.limited;
  // A section that already exists but is smaller than the ring cannot be
  // mapped whole, which is the check that protects the loop from it. A
  // section opened for reading and writing maps as such, not for all access.
  objects.view = MapView<PortWriteRing>(objects.section.Get(),
                                        section.limited ? FILE_MAP_WRITE : FILE_MAP_ALL_ACCESS);
  if (!objects.view) return Failed(failure, "MapViewOfFile", names.section);
  return true;
}

}  // namespace

bool CreateRingObjects(RingObjects& objects, const RingObjectNames& names,
                       RingObjectsFailure* failure) {
  SameUserSecurity security;
  const Obtained mutex = CreateOrOpen(
      [&] { return ::CreateMutexA(security.Attributes(), TRUE, names.mutex); },
      [&] { return ::OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, names.mutex); });
  objects.mutex.Reset(mutex.handle);
  if (!objects.mutex) return Failed(failure, "CreateMutexA", names.mutex);
  objects.limitedAccess = mutex.limited;
  // Ownership is granted only to the creator, and only then given back: a
  // thread that already held an existing mutex keeps it.
  const bool ownsMutex = !mutex.existed;
  const bool opened = OpenEventAndSection(objects, names, security.Attributes(), failure);
  if (ownsMutex) ::ReleaseMutex(objects.mutex.Get());
  return opened;
}

}  // namespace lptlcd
