#pragma once
// The owners of Win32 handles, mapped views, LocalAlloc'd memory and SetupAPI
// device information sets.

#include <windows.h>
#include <setupapi.h>

#include "common/unique_file_handle.h"
#include "common/unique_handle.h"

namespace lptlcd {

// Mutexes, events, sections, threads, processes: NULL on failure.
struct KernelHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return nullptr; }
  static void Close(Type handle) { ::CloseHandle(handle); }
};

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;

// What Windows hands back in memory of LocalAlloc's (a string SID, a
// security descriptor): freed with LocalFree.
struct LocalMemoryTraits {
  using Type = void*;
  static Type Invalid() { return nullptr; }
  static void Close(Type memory) { ::LocalFree(memory); }
};

using UniqueLocalMemory = UniqueHandle<LocalMemoryTraits>;

struct DevInfoTraits {
  using Type = HDEVINFO;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type set) { ::SetupDiDestroyDeviceInfoList(set); }
};

using UniqueDevInfo = UniqueHandle<DevInfoTraits>;

// A view of a section, seen as the T it holds: the one owner that is also
// a pointer to what it owns.
template <typename T>
struct MappedViewTraits {
  using Type = T*;
  static Type Invalid() { return nullptr; }
  static void Close(Type view) { ::UnmapViewOfFile(view); }
};

template <typename T>
class UniqueMappedView : public UniqueHandle<MappedViewTraits<T>> {
 public:
  using UniqueHandle<MappedViewTraits<T>>::UniqueHandle;
  T* operator->() const { return this->Get(); }
  T& operator*() const { return *this->Get(); }
};

// Maps the first sizeof(T) bytes of a section with the given access
// (FILE_MAP_READ, FILE_MAP_ALL_ACCESS). A section smaller than T cannot be
// mapped that far: the view is empty then.
template <typename T>
UniqueMappedView<T> MapView(HANDLE section, DWORD access) {
  return UniqueMappedView<T>(static_cast<T*>(::MapViewOfFile(section, access, 0, 0, sizeof(T))));
}

}  // namespace lptlcd
