#include "capture/display_stall_guard.h"

#include <limits>

namespace lptlcd {

std::size_t DisplayStallGuard::RecordsAllowed(std::size_t room, std::uint32_t taken,
                                              std::uint32_t nowMs) {
  const bool wasStalled = stalled;
  if (!primed || room != 0 || taken != lastTaken) {
    // The worker is taking commands (or there is room, so nobody is waiting
    // on it): back-pressure is safe.
    primed = true;
    lastTaken = taken;
    lastProgressMs = nowMs;
    stalled = false;
  } else if (!stalled && static_cast<std::uint32_t>(nowMs - lastProgressMs) >= kDisplayStallGraceMs) {
    stalled = true;
  }
  change = stalled == wasStalled ? Change::kNone : stalled ? Change::kStalled : Change::kResumed;
  return stalled ? std::numeric_limits<std::size_t>::max() : room;
}

}  // namespace lptlcd
