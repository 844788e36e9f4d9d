// When the capture loop holds records back for a display that is slow, and
// when it gives up waiting for one that has stopped reading.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "capture/display_stall_guard.h"

namespace lptlcd {
namespace {

constexpr std::size_t kWhole = std::numeric_limits<std::size_t>::max();
using Change = DisplayStallGuard::Change;
// The times below count from the grace period, whatever its length.
constexpr std::uint32_t kGrace = kDisplayStallGraceMs;

TEST(DisplayStallGuard, AWorkingDisplayGetsNoMoreRecordsThanTheQueueHasRoomFor) {
  DisplayStallGuard guard;
  EXPECT_EQ(guard.RecordsAllowed(65535, 0, 1000), 65535u);
  EXPECT_EQ(guard.RecordsAllowed(12, 7, 1001), 12u);
  // Full, but the worker keeps taking: hold back however long it goes on.
  std::uint32_t taken = 7;
  for (std::uint32_t now = 1002; now < 5000; now += 50) {
    EXPECT_EQ(guard.RecordsAllowed(0, ++taken, now), 0u) << now;
    EXPECT_FALSE(guard.Stalled());
  }
  EXPECT_EQ(guard.LastChange(), Change::kNone);
}

TEST(DisplayStallGuard, AFullQueueWithNothingTakenForTheGracePeriodIsAStall) {
  DisplayStallGuard guard;
  EXPECT_EQ(guard.RecordsAllowed(0, 40, 1000), 0u);
  EXPECT_EQ(guard.RecordsAllowed(0, 40, 1000 + kGrace - 1), 0u);
  EXPECT_FALSE(guard.Stalled());
  EXPECT_EQ(guard.RecordsAllowed(0, 40, 1000 + kGrace), kWhole);
  EXPECT_TRUE(guard.Stalled());
  EXPECT_EQ(guard.LastChange(), Change::kStalled);
  // Stays stalled, and says so only once.
  EXPECT_EQ(guard.RecordsAllowed(0, 40, 9000 + kGrace), kWhole);
  EXPECT_EQ(guard.LastChange(), Change::kNone);
  // The worker takes one command: back to holding records for it.
  EXPECT_EQ(guard.RecordsAllowed(0, 41, 9001 + kGrace), 0u);
  EXPECT_FALSE(guard.Stalled());
  EXPECT_EQ(guard.LastChange(), Change::kResumed);
  // And the grace period starts again from there.
  EXPECT_EQ(guard.RecordsAllowed(0, 41, 9001 + 2 * kGrace - 1), 0u);
  EXPECT_EQ(guard.RecordsAllowed(0, 41, 9001 + 2 * kGrace), kWhole);
}

TEST(DisplayStallGuard, TheGracePeriodCountsFromTheLastProgressNotFromTheFirstFullPass) {
  DisplayStallGuard guard;
  guard.RecordsAllowed(0, 5, 1000);
  guard.RecordsAllowed(0, 6, 1000 + kGrace - 50);  // the worker took one late in the period
  EXPECT_EQ(guard.RecordsAllowed(0, 6, 1000 + 2 * kGrace - 51), 0u);
  EXPECT_EQ(guard.RecordsAllowed(0, 6, 1000 + 2 * kGrace - 50), kWhole);
  // Room seen again counts as progress too.
  DisplayStallGuard other;
  other.RecordsAllowed(0, 5, 1000);
  EXPECT_EQ(other.RecordsAllowed(3, 5, 1000 + kGrace - 10), 3u);
  EXPECT_EQ(other.RecordsAllowed(0, 5, 1000 + kGrace + 100), 0u);
}

TEST(DisplayStallGuard, ClockAndTakenCountWrapWithoutAFalseStall) {
  DisplayStallGuard guard;
  const std::uint32_t nearWrap = std::numeric_limits<std::uint32_t>::max() - 50;
  guard.RecordsAllowed(0, std::numeric_limits<std::uint32_t>::max(), nearWrap);
  EXPECT_EQ(guard.RecordsAllowed(0, 0, nearWrap + 100), 0u);  // taken wrapped to 0: progress
  EXPECT_FALSE(guard.Stalled());
  EXPECT_EQ(guard.RecordsAllowed(0, 0, nearWrap + 100 + kGrace - 1), 0u);  // across the clock's wrap
  EXPECT_EQ(guard.RecordsAllowed(0, 0, nearWrap + 100 + kGrace), kWhole);
}

}  // namespace
}  // namespace lptlcd
