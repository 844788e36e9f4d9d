#pragma once
// The three named objects shared with the producer of port writes: the mutex
// that guards the ring, the event that says records were added, and the
// section that holds the ring. Whoever comes first creates them; the other
// side opens the same objects under the same names. The program, the
// port-I/O DLL and the tools all get them through CreateRingObjects.

#include <windows.h>

#include "common/win32_handles.h"
#include "ring/port_write_ring.h"

namespace lptlcd {

struct RingObjectNames {
  const char* mutex = kRingMutexName;
  const char* event = kRingEventName;
  const char* section = kRingSectionName;
};

struct RingObjects {
  UniqueKernelHandle mutex;
  UniqueKernelHandle event;
  UniqueKernelHandle section;
  UniqueMappedView<PortWriteRing> view;
  bool createdSection = false;  // nobody held the ring before: it starts zero-filled
  // Some object existed with a descriptor that refused this process all
  // access, and was opened with only the rights the ring needs.
  bool limitedAccess = false;
};

// The step that failed: the call, the object's name and Windows' error.
struct RingObjectsFailure {
  const char* call = nullptr;  // "CreateMutexA", ..., "MapViewOfFile"
  const char* object = nullptr;
  DWORD error = 0;
};

// Creates or opens the mutex (asking for initial ownership), the event
// (auto-reset, not signalled) and the section (131,078 bytes, paging-file
// backed), maps the whole section and then releases the mutex if this call
// created it. What it creates lets this user's processes use it at any
// elevation (ring/object_security.h); an object that exists and refuses
// this process all access is opened with the rights the ring needs. False
// when any object or the view cannot be had; `failure`, when given, then
// says which.
bool CreateRingObjects(RingObjects& objects, const RingObjectNames& names = RingObjectNames(),
                       RingObjectsFailure* failure = nullptr);

}  // namespace lptlcd
