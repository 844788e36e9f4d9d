// What the program does to its console mode and asks of Windows' power
// management, as tables.

#include <gtest/gtest.h>

#include <vector>

#include "common/console_policy.h"
#include "queue/power_throttling.h"

namespace lptlcd {
namespace {

TEST(StartUpPolicyTest, QuickEditGoesAndNothingElseChanges) {
  const struct {
    std::uint32_t mode;
    std::uint32_t without;
  } cases[] = {
      {0x01F7, 0x01B7},  // Windows 10's default: QuickEdit, insert, extended flags, ...
      {0x0047, 0x0087},  // QuickEdit without extended flags: those are needed for it to take
      {0x0087, 0x0087},  // already off
      {0x0000, 0x0080},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WithoutQuickEdit(c.mode), c.without) << std::hex << c.mode;
  }
}

TEST(StartUpPolicyTest, PowerThrottlingIsRefusedInTwoRequestsEachOnItsOwn) {
  struct Call {
    int infoClass;
    std::uint32_t version, controlMask, stateMask, size;
  };
  std::vector<Call> calls;
  // Windows 10: the timer-resolution opt-out is refused; the other one stands.
  const int granted = OptOutOfPowerThrottling(
      [&](int infoClass, PowerThrottlingState* state, std::uint32_t size) {
        calls.push_back({infoClass, state->version, state->controlMask, state->stateMask, size});
        return state->controlMask != kThrottleIgnoreTimerResolution;
      });
  EXPECT_EQ(granted, 1);
  ASSERT_EQ(calls.size(), 2u);
  for (const Call& call : calls) {
    EXPECT_EQ(call.infoClass, 4);  // ProcessPowerThrottling
    EXPECT_EQ(call.version, 1u);
    EXPECT_EQ(call.stateMask, 0u);  // never throttled
    EXPECT_EQ(call.size, 12u);
  }
  EXPECT_EQ(calls[0].controlMask, 0x1u);  // execution speed: out of EcoQoS
  EXPECT_EQ(calls[1].controlMask, 0x4u);  // ignore timer resolution: not ignored
}

}  // namespace
}  // namespace lptlcd
