#pragma once
// The one place where a packet leaves the program: the display's pipe and the
// call that writes it. On Windows the pipe is a handle that CreateFile opened
// and the write is WriteFile. Natively, where there is no display, it is
// whatever takes the bytes in the display's place (a capture of the tests,
// the fuzz target and lcdreplay: tools/packets/packet_capture.h), written
// through the same call, so that they see the device's every write.

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#include "common/unique_file_handle.h"
#else
#include "common/unique_handle.h"
#endif

namespace lptlcd {

#ifdef _WIN32
// A pipe below the display's interface path: opened like any file.
using UniquePipe = UniqueFileHandle;
#else
class PacketSink {
 public:
  virtual ~PacketSink() = default;
  // True when all the bytes were taken.
  virtual bool Take(const std::uint8_t* bytes, std::size_t size) = 0;
};

// The sink belongs to whoever made it; the device only borrows it.
struct BorrowedSinkTraits {
  using Type = PacketSink*;
  static Type Invalid() { return nullptr; }
  static void Close(Type) {}
};

using UniquePipe = UniqueHandle<BorrowedSinkTraits>;
#endif

using PipeHandle = UniquePipe::Type;

// Writes the bytes in one synchronous call; true when all of them were taken.
bool WriteToPipe(PipeHandle pipe, const std::uint8_t* bytes, std::size_t size);

}  // namespace lptlcd
