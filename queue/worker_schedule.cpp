#include "queue/worker_schedule.h"

namespace lptlcd {

WorkerWait WorkerSchedule::Next(const WorkerState& state) {
  if (state.flushPending) {
    fineTimer = true;
    lastNeededMs = state.nowMs;
    return {kIdleFlushMs, true};
  }
  std::uint32_t timeout = state.msUntilSearch;
  if (fineTimer) {
    const std::uint32_t quiet = state.nowMs - lastNeededMs;
    if (quiet >= kFineTimerQuietMs - kTickCountStepMs) {
      fineTimer = false;
    } else if (kFineTimerQuietMs - quiet < timeout) {
      // One more wake-up, to give the timer back once the quiet while is over.
      timeout = kFineTimerQuietMs - quiet;
    }
  }
  return {timeout, fineTimer};
}

}  // namespace lptlcd
