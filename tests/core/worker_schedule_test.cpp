// The display worker's waits, step by step: how long each lasts, and when
// the 1 ms timer is asked for and given back. Only real Windows' timer would
// show these; here they are the schedule's answers.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "queue/worker_schedule.h"

namespace lptlcd {
namespace {

constexpr std::uint32_t kForever = kWaitForever;
constexpr std::uint32_t kPresent = kWaitForever;  // msUntilSearch while the display is there

struct Step {
  bool flushPending;
  std::uint32_t msUntilSearch;
  std::uint32_t nowMs;
  WorkerWait expected;
};

struct Case {
  const char* name;
  std::vector<Step> steps;
};

std::string Describe(const WorkerWait& wait) {
  return (wait.timeoutMs == kForever ? std::string("forever") : std::to_string(wait.timeoutMs) + " ms") +
         (wait.fineTimer ? ", fine timer" : ", default timer");
}

TEST(WorkerScheduleTest, WaitsAndTheFineTimer) {
  const std::vector<Case> cases = {
      {"idle from the start, display present: no time-out, no fine timer",
       {{false, kPresent, 5000, {kForever, false}}, {false, kPresent, 9000, {kForever, false}}}},
      {"text held back: the one-millisecond wait, with the fine timer",
       {{true, kPresent, 100, {1, true}}, {true, kPresent, 101, {1, true}}}},
      // The quiet while after the wait at 100 ms ends at 100 + kFineTimerQuietMs.
      {"a wake-up one clock step short of the quiet while's end gives the timer back",
       {{true, kPresent, 100, {1, true}},
        {false, kPresent, 100 + kFineTimerQuietMs - kTickCountStepMs, {kForever, false}}}},
      {"more than a clock step short of it keeps the timer and waits for the rest",
       {{true, kPresent, 100, {1, true}},
        {false, kPresent, 100 + kFineTimerQuietMs - kTickCountStepMs - 1, {kTickCountStepMs + 1, true}}}},
      {"display gone, nothing held back: woken for the next search only",
       {{false, 1000, 7000, {1000, false}}, {false, 0, 8000, {0, false}}}},
      {"display gone with text held back: the one-millisecond rule all the same",
       {{true, 600, 7000, {1, true}}}},
      {"display gone: the search, once the quiet while is over",
       {{true, 600, 7000, {1, true}}, {false, 349, 7000 + kFineTimerQuietMs + 1, {349, false}}}},
      {"display gone, search sooner than the end of the quiet while",
       {{true, 100, 7000, {1, true}}, {false, 99, 7001, {99, true}}}},
  };
  for (const Case& c : cases) {
    WorkerSchedule schedule;
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
      const Step& step = c.steps[i];
      WorkerState state;
      state.flushPending = step.flushPending;
      state.msUntilSearch = step.msUntilSearch;
      state.nowMs = step.nowMs;
      const WorkerWait wait = schedule.Next(state);
      EXPECT_EQ(Describe(step.expected), Describe(wait)) << c.name << ", step " << i;
    }
  }
}

// A worker that sleeps as long as it is told, after a burst (or two, the
// second within the quiet while): the fine timer held from the burst's flush
// until the quiet while after the last one ends (a clock step early at
// most), then given back for good, with only a few wake-ups in between; and
// the same across the clock's wrap.
TEST(WorkerScheduleTest, TheFineTimerLastsTheQuietWhileAfterTheLastBurst) {
  for (const std::uint32_t start : {100u, 0xFFFFFF80u}) {
    for (const std::uint32_t secondBurstAfter : {0u, 120u}) {
      SCOPED_TRACE(std::to_string(start) + ", second burst after " + std::to_string(secondBurstAfter));
      WorkerSchedule schedule;
      std::uint32_t now = start;
      const auto next = [&](bool flushPending) {
        WorkerState state;
        state.flushPending = flushPending;
        state.nowMs = now;
        return schedule.Next(state);
      };
      const auto burst = [&] {
        const WorkerWait wait = next(true);
        EXPECT_EQ(Describe(wait), Describe({kIdleFlushMs, true}));
        now += wait.timeoutMs;  // the idle flush
      };
      burst();
      std::uint32_t lastFlush = now;
      int wakeUps = 0;
      bool secondBurstDue = secondBurstAfter != 0;
      WorkerWait wait = next(false);
      while (wait.fineTimer) {
        ASSERT_NE(wait.timeoutMs, kForever);
        ASSERT_LT(++wakeUps, 5);
        // Each wait ends by the end of the quiet while.
        EXPECT_LE(now + wait.timeoutMs - lastFlush, kFineTimerQuietMs);
        const bool cutShort = secondBurstDue && now + wait.timeoutMs - lastFlush > secondBurstAfter;
        now = cutShort ? lastFlush + secondBurstAfter : now + wait.timeoutMs;
        if (cutShort) {
          secondBurstDue = false;
          burst();
          lastFlush = now;
          wait = next(false);
          continue;
        }
        wait = next(false);
      }
      EXPECT_GE(now - lastFlush, kFineTimerQuietMs - kTickCountStepMs);
      EXPECT_EQ(Describe(wait), Describe({kForever, false}));
    }
  }
}

}  // namespace
}  // namespace lptlcd
