#include "capture/port_write_decoder.h"

namespace lptlcd {

void PortWriteDecoder::Decode(PortWriteRecord record) {
  const auto selector = static_cast<std::uint8_t>(record >> 8);
  const auto value = static_cast<std::uint8_t>(record & 0xFF);
  if (selector == kDataRegisterSelector) {
    dataLatch = value;
  } else if (selector == kControlRegisterSelector) {
    const bool enable = (value & kControlEnable) != 0;
    if (enable && !strobeHigh) {
      strobeHigh = true;
      const LcdCommand registerSelect = (value & kControlRegisterSelect) ? kRegisterSelectData : 0;
      consumer(static_cast<LcdCommand>(registerSelect | dataLatch));
    } else if (!enable) {
      strobeHigh = false;
    }
  }
  // Any other port of the parallel port (status, EPP registers) is not wired
  // to the module.
}

}  // namespace lptlcd
