#pragma once
// The owners of Win32 handles and mapped views.

#include <windows.h>

#include "common/unique_handle.h"

namespace lptlcd {

// CloseHandle, keeping the caller's GetLastError.
inline void CloseKeepingLastError(HANDLE handle) {
  const DWORD error = ::GetLastError();
  ::CloseHandle(handle);
  ::SetLastError(error);
}

// Mutexes, events, sections, threads: NULL on failure.
struct KernelHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return nullptr; }
  static void Close(Type handle) { CloseKeepingLastError(handle); }
};

// Files and pipes opened with CreateFile: INVALID_HANDLE_VALUE on failure.
struct FileHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type handle) { CloseKeepingLastError(handle); }
};

// A view of a section, seen as the T it holds.
template <typename T>
struct MappedViewTraits {
  using Type = T*;
  static Type Invalid() { return nullptr; }
  static void Close(Type view) {
    const DWORD error = ::GetLastError();
    ::UnmapViewOfFile(view);
    ::SetLastError(error);
  }
};

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;
template <typename T>
using UniqueMappedView = UniqueHandle<MappedViewTraits<T>>;

// Maps the first sizeof(T) bytes of a section with the given access
// (FILE_MAP_READ, FILE_MAP_ALL_ACCESS). A section smaller than T cannot be
// mapped that far: the view is empty then.
template <typename T>
UniqueMappedView<T> MapView(HANDLE section, DWORD access) {
  return UniqueMappedView<T>(static_cast<T*>(::MapViewOfFile(section, access, 0, 0, sizeof(T))));
}

}  // namespace lptlcd
