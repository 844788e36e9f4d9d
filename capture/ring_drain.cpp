#include "capture/ring_drain.h"

namespace lptlcd {

std::size_t DrainRing(PortWriteRing& ring, PortWriteDecoder& decoder, std::size_t maxRecords) {
  std::size_t consumed = 0;
  while (ring.count != 0 && consumed < maxRecords) {
    const PortWriteRecord record = ring.records[ring.readIndex];
    // The index is 16 bits wide, so it wraps from 65,535 to 0 by itself.
    ring.readIndex = static_cast<std::uint16_t>(ring.readIndex + 1);
    ring.count = static_cast<std::uint16_t>(ring.count - 1);
    decoder.Decode(record);
    ++consumed;
  }
  return consumed;
}

}  // namespace lptlcd
