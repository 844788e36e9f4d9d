// On Windows the capture is an anonymous pipe: the device writes its end with
// WriteFile exactly as it writes the display's pipe, and TakeBytes reads the
// other end without blocking.

#include <windows.h>

#include "common/win32_handles.h"
#include "tools/packets/packet_capture.h"

namespace lptlcd {

namespace {
// Large enough that no burst between two TakeBytes calls can fill it and block
// the writer (the longest single run is 43 packets).
constexpr DWORD kPipeBufferBytes = 1 << 20;
}  // namespace

struct PacketCapture::State {
  bool discard = false;
  UniqueFileHandle readEnd;
  UniqueFileHandle writeEnd;
};

PacketCapture::PacketCapture(bool discard) : state(new State) {
  state->discard = discard;
  // Without a pipe the capture reads back nothing and its writers fail.
  ::CreatePipe(state->readEnd.Put(), state->writeEnd.Put(), nullptr, kPipeBufferBytes);
}

PacketCapture::~PacketCapture() = default;

UniquePipe PacketCapture::OpenWriter() {
  if (state->discard) {
    // A null sink that WriteFile accepts: the NUL device.
    return UniquePipe(::CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
  }
  UniquePipe duplicate;
  if (!::DuplicateHandle(::GetCurrentProcess(), state->writeEnd.Get(), ::GetCurrentProcess(),
                         duplicate.Put(), 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    return UniquePipe();
  }
  return duplicate;
}

void PacketCapture::Disconnect() { state->readEnd.Reset(); }

std::vector<std::uint8_t> PacketCapture::TakeBytes() {
  std::vector<std::uint8_t> bytes;
  if (!state->readEnd) return bytes;
  for (;;) {
    DWORD available = 0;
    if (!::PeekNamedPipe(state->readEnd.Get(), nullptr, 0, nullptr, &available, nullptr) ||
        available == 0) {
      return bytes;
    }
    const std::size_t start = bytes.size();
    bytes.resize(start + available);
    DWORD got = 0;
    if (!::ReadFile(state->readEnd.Get(), bytes.data() + start, available, &got, nullptr)) {
      bytes.resize(start);
      return bytes;
    }
    bytes.resize(start + got);
  }
}

}  // namespace lptlcd
