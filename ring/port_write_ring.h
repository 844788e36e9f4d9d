#pragma once
// The shared-memory ring that the producer of port writes fills and the
// program drains, with the names of the objects that guard it.

#include <cstddef>
#include <cstdint>

#include "common/lcd_types.h"

namespace lptlcd {

// A macro as well, so that messages can name it in their literal text.
#define LPTLCD_RING_MUTEX_NAME "VUVIrizARAccess"
constexpr char kRingMutexName[] = LPTLCD_RING_MUTEX_NAME;
constexpr char kRingEventName[] = "VUVIrizAREvent";
constexpr char kRingSectionName[] = "VUVIrizARData";

constexpr std::size_t kRingCapacity = 65536;

// The section's layout: 16-bit little-endian words, no padding.
struct PortWriteRing {
  std::uint16_t readIndex;   // next record to consume; advanced only by the program
  std::uint16_t writeIndex;  // the producer's own; the program never touches it
  std::uint16_t count;       // records added and not yet consumed
  PortWriteRecord records[kRingCapacity];
};

constexpr std::size_t kRingSectionBytes = 0x20006;
static_assert(sizeof(PortWriteRing) == kRingSectionBytes, "ring layout must match the producer's");
static_assert(offsetof(PortWriteRing, records) == 6, "records follow the three header words");

}  // namespace lptlcd
