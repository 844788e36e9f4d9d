#pragma once
// The one place where a packet leaves the program: a handle and a write call.
// On Windows the handle is a file HANDLE and the write is WriteFile; natively
// it points at a PacketCapture (device/packet_capture.h) so tests can read back
// the exact bytes.

#include <cstddef>
#include <cstdint>

#include "common/unique_handle.h"

namespace lptlcd {

using PipeHandle = void*;

// The platform's invalid handle (INVALID_HANDLE_VALUE on Windows).
inline PipeHandle InvalidPipeHandle() { return reinterpret_cast<PipeHandle>(~std::uintptr_t{0}); }

// Writes the bytes in one synchronous call; true when all of them were taken.
bool WriteToPipe(PipeHandle pipe, const std::uint8_t* bytes, std::size_t size);

void ClosePipe(PipeHandle pipe);

struct PipeTraits {
  using Type = PipeHandle;
  static Type Invalid() { return InvalidPipeHandle(); }
  static void Close(Type pipe) { ClosePipe(pipe); }
};

// An open output pipe, closed when its owner goes.
using UniquePipe = UniqueHandle<PipeTraits>;

}  // namespace lptlcd
