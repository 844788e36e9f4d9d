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
enum class PipeWrite;

class PacketSink {
 public:
  virtual ~PacketSink() = default;
  virtual PipeWrite Take(const std::uint8_t* bytes, std::size_t size) = 0;
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

enum class PipeWrite {
  kWritten,   // every byte was taken
  kFailed,    // the pipe refused them (gone, or broken)
  kTimedOut,  // not taken within kPacketWriteBoundMs, and given up
};

// A real display takes a packet in about a millisecond. One that has not
// within this bound is not answering (a hung display, or a driver holding
// the request across a power transition): the write is cancelled and the
// display is taken as lost. Shorter than the capture loop's grace for a
// stalled display, so that a hung write alone never makes it drop commands.
constexpr std::uint32_t kPacketWriteBoundMs = 100;

// Writes the bytes in one call and waits for them at most kPacketWriteBoundMs.
PipeWrite WriteToPipe(PipeHandle pipe, const std::uint8_t* bytes, std::size_t size);

}  // namespace lptlcd
