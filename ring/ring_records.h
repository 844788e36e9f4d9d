#pragma once
// Records into and out of the shared ring, under its rules: the producer
// stores each record right after the pending ones, at (readIndex + count)
// modulo 65,536, and raises count, which never passes 65,535; the program
// takes them from readIndex on. The caller holds the ring's mutex.

#include <cstddef>

#include "common/lcd_types.h"
#include "ring/port_write_ring.h"

namespace lptlcd {

// The most records the ring holds: count is 16 bits wide.
constexpr std::size_t kRingMaxPending = 65535;

// Moves at most `maxRecords` pending records into `out`, in order, advancing
// readIndex (modulo 65,536) and lowering count, and returns how many it
// moved; the rest stay pending. writeIndex is the producer's and is left alone.
std::size_t TakeRecords(PortWriteRing& ring, PortWriteRecord* out, std::size_t maxRecords);

// Stores as many of `records` as there is room for after the pending ones,
// raises count by that many and leaves writeIndex just past the last, and
// returns how many it stored. Whatever the header holds, nothing pending is
// overwritten.
std::size_t AppendRecords(PortWriteRing& ring, const PortWriteRecord* records, std::size_t count);

}  // namespace lptlcd
