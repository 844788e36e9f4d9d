#pragma once
// Decides how many records a drain pass may take, given the command queue's
// room. While the display worker keeps taking commands, a pass takes no more
// records than the queue has room for (a record yields at most one command),
// so a display that is merely slower than the producer loses nothing: the
// rest waits in the ring. But a display that stops reading altogether (a
// stalled or hung USB pipe, or a worker that has ended) would then stop the
// ring from draining and hold up the producer, that is the old software, for
// as long as it lasts. So once the queue has been full with nothing taken for
// a grace period, passes drain the ring whole again and the queue drops and
// counts what it cannot hold, until the worker takes a command again.

#include <cstddef>
#include <cstdint>

namespace lptlcd {

// Long enough that a busy but working display (a USB write takes well under
// a millisecond, a loaded machine may not run the worker for tens of them)
// is never taken for a stalled one; short next to the ring's slack, which
// holds 65,536 records.
constexpr std::uint32_t kDisplayStallGraceMs = 200;

// The program's lines when a stall starts and ends (the number of commands
// dropped meanwhile goes in the second).
constexpr char kDisplayStalledMessage[] = "Display is not reading: commands are dropped until it does\n";
constexpr char kDisplayResumedFormat[] = "Display is reading again: %lu commands were dropped\n";

class DisplayStallGuard {
 public:
  enum class Change { kNone, kStalled, kResumed };

  // room: commands the queue can still take; taken: how many the worker has
  // taken so far (a running count that may wrap); nowMs: a millisecond clock
  // (may wrap). Returns the most records the next pass may consume.
  std::size_t RecordsAllowed(std::size_t room, std::uint32_t taken, std::uint32_t nowMs);

  // Whether the last call found the display stalled, and whether it changed
  // that (for the program's messages).
  bool Stalled() const { return stalled; }
  Change LastChange() const { return change; }

 private:
  bool primed = false;
  std::uint32_t lastTaken = 0;
  std::uint32_t lastProgressMs = 0;  // the last time the worker was seen taking, or room was seen
  bool stalled = false;
  Change change = Change::kNone;
};

}  // namespace lptlcd
