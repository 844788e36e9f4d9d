#pragma once
// One drain pass over the shared ring: the caller holds the ring's mutex.

#include <cstddef>

#include "capture/port_write_decoder.h"
#include "capture/port_write_ring.h"

namespace lptlcd {

// Consumes every pending record in order, advancing readIndex (modulo 65,536)
// and lowering count one record at a time, and passes each to the decoder.
// Returns the number of records consumed.
std::size_t DrainRing(PortWriteRing& ring, PortWriteDecoder& decoder);

}  // namespace lptlcd
