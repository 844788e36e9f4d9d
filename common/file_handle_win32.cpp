#include <windows.h>

#include "common/unique_file_handle.h"

namespace lptlcd {

void FileHandleTraits::Close(Type handle) { ::CloseHandle(handle); }

}  // namespace lptlcd
