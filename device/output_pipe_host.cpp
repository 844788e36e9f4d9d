// Natively the display's pipe is whatever stands in for the display.

#include "device/output_pipe.h"

namespace lptlcd {

PipeWrite WriteToPipe(PipeHandle pipe, const std::uint8_t* bytes, std::size_t size) {
  return pipe->Take(bytes, size);
}

}  // namespace lptlcd
