#pragma once
// Keeping Windows' power management off the display worker's timer. Windows
// 11 may ignore timeBeginPeriod for a process whose window is minimised or
// covered, and puts background processes into EcoQoS: the worker's 1 ms idle
// flush then lasts a whole 15.6 ms tick. SetProcessInformation with
// ProcessPowerThrottling opts out (Windows 8 on; looked up at run time).
// Portable, so that what is asked can be tested anywhere.

#include <cstdint>

namespace lptlcd {

// PROCESS_POWER_THROTTLING_STATE, as SetProcessInformation takes it.
struct PowerThrottlingState {
  std::uint32_t version;
  std::uint32_t controlMask;
  std::uint32_t stateMask;
};

constexpr int kProcessPowerThrottling = 4;  // PROCESS_INFORMATION_CLASS
constexpr std::uint32_t kPowerThrottlingCurrentVersion = 1;
constexpr std::uint32_t kThrottleExecutionSpeed = 0x1;
constexpr std::uint32_t kThrottleIgnoreTimerResolution = 0x4;

// Asks, through `set` (SetProcessInformation for this process: a call
// taking the class, the state and its size, true when granted), to stay out
// of EcoQoS and to keep the timer resolution asked for, each as a request of
// its own (Windows 10 refuses the second, which is then ignored). A control
// bit with its state bit clear means "never throttle this". Returns how many
// were granted.
template <typename Set>
int OptOutOfPowerThrottling(Set set) {
  const std::uint32_t controls[] = {kThrottleExecutionSpeed, kThrottleIgnoreTimerResolution};
  int granted = 0;
  for (const std::uint32_t control : controls) {
    PowerThrottlingState state{kPowerThrottlingCurrentVersion, control, 0};
    if (set(kProcessPowerThrottling, &state, static_cast<std::uint32_t>(sizeof state))) ++granted;
  }
  return granted;
}

}  // namespace lptlcd
