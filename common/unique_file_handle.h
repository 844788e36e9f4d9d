#pragma once
// The owner of a handle that CreateFile opens (a file, a device, a pipe) or
// that is used as one: INVALID_HANDLE_VALUE when there is none. Free of
// <windows.h>, so that the device's portable headers can name the display's
// pipe with it.

#include <cstdint>

#include "common/unique_handle.h"

namespace lptlcd {

struct FileHandleTraits {
  using Type = void*;  // HANDLE
  static Type Invalid() { return reinterpret_cast<Type>(~std::uintptr_t{0}); }
  static void Close(Type handle);  // CloseHandle
};

using UniqueFileHandle = UniqueHandle<FileHandleTraits>;

}  // namespace lptlcd
