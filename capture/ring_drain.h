#pragma once
// One drain pass over the shared ring: the caller holds the ring's mutex.

#include <cstddef>
#include <limits>

#include "capture/port_write_decoder.h"
#include "capture/port_write_ring.h"

namespace lptlcd {

// Consumes pending records in order, advancing readIndex (modulo 65,536) and
// lowering count one record at a time, and passes each to the decoder; stops
// after `maxRecords` (what the command queue has room for: a record yields at
// most one command), leaving the rest pending in the ring. Returns the number
// of records consumed.
std::size_t DrainRing(PortWriteRing& ring, PortWriteDecoder& decoder,
                      std::size_t maxRecords = std::numeric_limits<std::size_t>::max());

}  // namespace lptlcd
