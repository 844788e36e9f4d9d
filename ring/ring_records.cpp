#include "ring/ring_records.h"

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

std::size_t AppendRecords(PortWriteRing& ring, const PortWriteRecord* records, std::size_t count) {
  const std::size_t pending = ring.count;
  const std::size_t room = kRingMaxPending - pending;
  const std::size_t stored = count < room ? count : room;
  if (stored == 0) return 0;  // a full ring is left exactly as it is
  const std::size_t first = ring.readIndex + pending;
  for (std::size_t i = 0; i < stored; ++i) {
    ring.records[(first + i) % kRingCapacity] = records[i];
  }
  ring.count = static_cast<std::uint16_t>(pending + stored);
  ring.writeIndex = static_cast<std::uint16_t>((first + stored) % kRingCapacity);
  return stored;
}

}  // namespace lptlcd
