#include "capture/display_stall_guard.h"

#include <limits>

namespace lptlcd {

std::size_t DisplayStallGuard::RecordsAllowed(std::size_t room, std::uint32_t taken,
                                              std::uint32_t nowMs) {
  const bool wasStalled = stalled_;
  if (!primed_ || room != 0 || taken != lastTaken_) {
    // The worker is taking commands (or there is room, so nobody is waiting
    // on it): back-pressure is safe.
    primed_ = true;
    lastTaken_ = taken;
    lastProgressMs_ = nowMs;
    stalled_ = false;
  } else if (!stalled_ && static_cast<std::uint32_t>(nowMs - lastProgressMs_) >= graceMs_) {
    stalled_ = true;
  }
  change_ = stalled_ == wasStalled ? Change::kNone : stalled_ ? Change::kStalled : Change::kResumed;
  return stalled_ ? std::numeric_limits<std::size_t>::max() : room;
}

}  // namespace lptlcd
