#pragma once
// Taking records out of the shared ring: the caller holds the ring's mutex.

#include <cstddef>

#include "capture/port_write_ring.h"
#include "common/lcd_types.h"

namespace lptlcd {

// Moves at most `maxRecords` pending records into `out`, in order, advancing
// readIndex (modulo 65,536) and lowering count one record at a time, and
// returns how many it moved; the rest stay pending. The records are decoded
// after the mutex is released, so the producer waits only for this copy.
std::size_t TakeRecords(PortWriteRing& ring, PortWriteRecord* out, std::size_t maxRecords);

}  // namespace lptlcd
