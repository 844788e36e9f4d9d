#include <windows.h>

#include "device/output_pipe.h"

namespace lptlcd {

bool WriteToPipe(PipeHandle pipe, const std::uint8_t* bytes, std::size_t size) {
  DWORD written = 0;
  const BOOL ok = ::WriteFile(static_cast<HANDLE>(pipe), bytes, static_cast<DWORD>(size),
                              &written, nullptr);
  return ok && written == size;
}

}  // namespace lptlcd
