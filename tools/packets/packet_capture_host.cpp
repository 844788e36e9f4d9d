// Natively the capture is the display's pipe itself: a sink that keeps what
// the device writes.

#include "tools/packets/packet_capture.h"

#include <utility>

namespace lptlcd {

struct PacketCapture::State : PacketSink {
  State(bool discarding) : discard(discarding) {}
  PipeWrite Take(const std::uint8_t* data, std::size_t size) override {
    if (disconnected) return PipeWrite::kFailed;
    if (!discard) bytes.insert(bytes.end(), data, data + size);
    return PipeWrite::kWritten;
  }
  bool discard;
  bool disconnected = false;
  std::vector<std::uint8_t> bytes;
};

PacketCapture::PacketCapture(bool discard) : state(new State(discard)) {}

PacketCapture::~PacketCapture() = default;

void PacketCapture::Disconnect() { state->disconnected = true; }

UniquePipe PacketCapture::OpenWriter() { return UniquePipe(state.get()); }

std::vector<std::uint8_t> PacketCapture::TakeBytes() { return std::exchange(state->bytes, {}); }

}  // namespace lptlcd
