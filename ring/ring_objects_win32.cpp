#include "ring/ring_objects.h"

#include "ring/object_security.h"

namespace lptlcd {

namespace {

bool Failed(RingObjectsFailure* failure, const char* call, const char* object) {
  if (failure != nullptr) *failure = RingObjectsFailure{call, object, ::GetLastError()};
  return false;
}

// An object that exists with a descriptor refusing this process all access
// (CreateXxx asks for all of it) can still be opened for what the ring
// needs: to wait on and release the mutex, to wait on and set the event,
// and to map the section for reading and writing.
template <typename Create, typename Open>
HANDLE CreateOrOpen(Create create, Open open, bool& limited) {
  const HANDLE created = create();
  if (created != nullptr || ::GetLastError() != ERROR_ACCESS_DENIED) return created;
  const HANDLE opened = open();
  if (opened != nullptr) {
    limited = true;
    // An object that was opened already existed.
    ::SetLastError(ERROR_ALREADY_EXISTS);
  }
  return opened;
}

// The event, the section and its view, once the mutex is there.
bool OpenEventAndSection(RingObjects& objects, const RingObjectNames& names,
                         SECURITY_ATTRIBUTES* security, RingObjectsFailure* failure) {
  objects.event.Reset(CreateOrOpen(
      [&] { return ::CreateEventA(security, FALSE, FALSE, names.event); },
      [&] { return ::OpenEventA(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, names.event); },
      objects.limitedAccess));
  if (!objects.event) return Failed(failure, "CreateEventA", names.event);
  bool sectionLimited = false;
  objects.section.Reset(CreateOrOpen(
      [&] {
        return ::CreateFileMappingA(INVALID_HANDLE_VALUE, security, PAGE_READWRITE, 0,
                                    static_cast<DWORD>(kRingSectionBytes), names.section);
      },
      [&] { return ::OpenFileMappingA(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, names.section); },
      sectionLimited));
  if (!objects.section) return Failed(failure, "CreateFileMappingA", names.section);
  objects.createdSection = ::GetLastError() != ERROR_ALREADY_EXISTS;
  objects.limitedAccess = objects.limitedAccess || sectionLimited;
  // A section that already exists but is smaller than the ring cannot be
  // mapped whole, which is the check that protects the loop from it. A
  // section opened for reading and writing maps as such, not for all access.
  objects.view = MapView<PortWriteRing>(objects.section.Get(),
                                        sectionLimited ? FILE_MAP_WRITE : FILE_MAP_ALL_ACCESS);
  if (!objects.view) return Failed(failure, "MapViewOfFile", names.section);
  return true;
}

}  // namespace

bool CreateRingObjects(RingObjects& objects, const RingObjectNames& names,
                       RingObjectsFailure* failure) {
  SameUserSecurity security;
  objects.limitedAccess = false;
  objects.mutex.Reset(CreateOrOpen(
      [&] { return ::CreateMutexA(security.Attributes(), TRUE, names.mutex); },
      [&] { return ::OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, names.mutex); },
      objects.limitedAccess));
  if (!objects.mutex) return Failed(failure, "CreateMutexA", names.mutex);
  // Ownership is granted only to the creator, and only then given back: a
  // thread that already held an existing mutex keeps it.
  const bool ownsMutex = ::GetLastError() != ERROR_ALREADY_EXISTS;
  const bool opened = OpenEventAndSection(objects, names, security.Attributes(), failure);
  if (ownsMutex) ::ReleaseMutex(objects.mutex.Get());
  return opened;
}

}  // namespace lptlcd
