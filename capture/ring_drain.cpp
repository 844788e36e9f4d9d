#include "capture/ring_drain.h"

namespace lptlcd {

std::size_t TakeRecords(PortWriteRing& ring, PortWriteRecord* out, std::size_t maxRecords) {
  std::size_t taken = 0;
  while (ring.count != 0 && taken < maxRecords) {
    out[taken++] = ring.records[ring.readIndex];
    // The index is 16 bits wide, so it wraps from 65,535 to 0 by itself.
    ring.readIndex = static_cast<std::uint16_t>(ring.readIndex + 1);
    ring.count = static_cast<std::uint16_t>(ring.count - 1);
  }
  return taken;
}

}  // namespace lptlcd
