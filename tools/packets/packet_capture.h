#pragma once
// A write end for the display device whose bytes can be read back: the tests
// and the fuzz target use it to see the exact packets, lcdreplay and the
// measuring tools to print or count them. On Windows it is an anonymous
// pipe, so the device's real WriteFile path is the one exercised.

#include <cstdint>
#include <memory>
#include <vector>

#include "device/output_pipe.h"

namespace lptlcd {

class PacketCapture {
 public:
  // discard = true makes a null sink: writes succeed and are thrown away.
  explicit PacketCapture(bool discard = false);
  ~PacketCapture();
  PacketCapture(const PacketCapture&) = delete;
  PacketCapture& operator=(const PacketCapture&) = delete;

  // A new handle to the write end, for a device to own.
  UniquePipe OpenWriter();

  // The reading side goes away, as an unplugged display's pipe does: every
  // later write fails.
  void Disconnect();

  // Everything written since the last call, in order.
  std::vector<std::uint8_t> TakeBytes();

  struct State;

 private:
  std::unique_ptr<State> state;
};

}  // namespace lptlcd
