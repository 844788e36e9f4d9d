#pragma once
// How long the display worker waits each time it has run out of commands, and
// whether it holds the system's 1 ms timer meanwhile. A worker with nothing
// to send and its display present waits for the next command and nothing
// else; one with text held back waits one millisecond, the idle interval
// after which that text goes out. Portable, so that these decisions, which
// only real Windows' timer shows, are tested anywhere.

#include <cstdint>

namespace lptlcd {

// What the emulator holds goes to the display this long after the last command.
constexpr std::uint32_t kIdleFlushMs = 1;
// A wait without a time-out (INFINITE).
constexpr std::uint32_t kWaitForever = 0xFFFFFFFFu;

// How long the 1 ms timer is kept after the last wait that needed it. A
// screen update arrives as several bursts a few milliseconds apart (the
// port-I/O DLL delivers one port write at a time, tens of milliseconds for
// a whole rewrite on a loaded machine), and software that animates redraws
// four times a second or more: a quarter of a second keeps the fine timer
// through both without asking for it again each time, and still gives it
// back for three quarters of every second to software that updates a clock
// once a second. Asking costs one call; holding it costs the processor its
// deeper sleep (on Windows 7 and earlier the whole system's).
constexpr std::uint32_t kFineTimerQuietMs = 250;
// GetTickCount moves in steps of the system's tick (up to 15.6 ms): a wait
// for the rest of the quiet while may end with the clock one step short.
// Giving the timer back that much early saves a wake-up for that step alone.
constexpr std::uint32_t kTickCountStepMs = 16;

// What the worker knows as it is about to wait, everything queued executed.
struct WorkerState {
  bool flushPending = false;  // the emulator has something to send at its next flush
  // Until the next search for a display that has gone; kWaitForever while it is present.
  std::uint32_t msUntilSearch = kWaitForever;
  std::uint32_t nowMs = 0;  // a millisecond clock that may wrap
};

struct WorkerWait {
  std::uint32_t timeoutMs = kWaitForever;
  bool fineTimer = false;  // the 1 ms timer is held for this wait

  bool operator==(const WorkerWait& other) const {
    return timeoutMs == other.timeoutMs && fineTimer == other.fineTimer;
  }
};

class WorkerSchedule {
 public:
  // The next wait. A command ends any wait at once; a time-out that ends a
  // one-millisecond wait is the idle interval after the last command.
  WorkerWait Next(const WorkerState& state);

 private:
  bool fineTimer = false;
  std::uint32_t lastNeededMs = 0;  // the last wait that needed the fine timer
};

}  // namespace lptlcd
