// Native stand-in for the display's pipe: the handle points at the capture's
// state, and a write appends to it.

#include <utility>

#include "device/output_pipe.h"
#include "device/packet_capture.h"

namespace lptlcd {

struct PacketCapture::State {
  bool discard;
  bool disconnected;
  std::vector<std::uint8_t> bytes;
};

bool WriteToPipe(PipeHandle pipe, const std::uint8_t* bytes, std::size_t size) {
  auto* state = static_cast<PacketCapture::State*>(pipe);
  if (state->disconnected) return false;
  if (!state->discard) state->bytes.insert(state->bytes.end(), bytes, bytes + size);
  return true;
}

// The capture owns its state; the writer handles are only borrowed views of it.
void ClosePipe(PipeHandle) {}

PacketCapture::PacketCapture(bool discard) : state(new State{discard, false, {}}) {}

void PacketCapture::Disconnect() { state->disconnected = true; }
PacketCapture::~PacketCapture() = default;

UniquePipe PacketCapture::OpenWriter() { return UniquePipe(state.get()); }

std::vector<std::uint8_t> PacketCapture::TakeBytes() { return std::exchange(state->bytes, {}); }

}  // namespace lptlcd
