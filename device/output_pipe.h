#pragma once
// The one place where a packet leaves the program: the display's pipe and the
// call that writes it. On Windows the pipe is a handle that CreateFile opened
// and the write is WriteFile. Natively, where there is no display, it is
// whatever takes the bytes in the display's place (a capture of the tests,
// the fuzz target and lcdreplay: tools/packets/packet_capture.h), written
// through the same call, so that they see the device's every write.

#include <cstddef>
#include <cstdint>

#include "common/unique_handle.h"

namespace lptlcd {

#ifdef _WIN32
using PipeHandle = void*;

// The platform's invalid handle (INVALID_HANDLE_VALUE).
inline PipeHandle InvalidPipeHandle() { return reinterpret_cast<PipeHandle>(~std::uintptr_t{0}); }

void ClosePipe(PipeHandle pipe);

struct PipeTraits {
  using Type = PipeHandle;
  static Type Invalid() { return InvalidPipeHandle(); }
  static void Close(Type pipe) { ClosePipe(pipe); }
};
#else
class PacketSink {
 public:
  virtual ~PacketSink() = default;
  // True when all the bytes were taken.
  virtual bool Take(const std::uint8_t* bytes, std::size_t size) = 0;
};
using PipeHandle = PacketSink*;

// The sink belongs to whoever made it; the device only borrows it.
struct PipeTraits {
  using Type = PipeHandle;
  static Type Invalid() { return nullptr; }
  static void Close(Type) {}
};
#endif

// An open output pipe, closed when its owner goes.
using UniquePipe = UniqueHandle<PipeTraits>;

// Writes the bytes in one synchronous call; true when all of them were taken.
bool WriteToPipe(PipeHandle pipe, const std::uint8_t* bytes, std::size_t size);

}  // namespace lptlcd
