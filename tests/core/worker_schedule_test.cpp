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
      {"after the flush: the timer is kept for the rest of the quiet while, then given back",
       {{true, kPresent, 100, {1, true}},
        {false, kPresent, 101, {249, true}},
        {false, kPresent, 350, {kForever, false}},
        {false, kPresent, 5000, {kForever, false}}}},
      {"a wake-up one clock step short of the quiet while gives the timer back",
       {{true, kPresent, 100, {1, true}},
        {false, kPresent, 101, {249, true}},
        {false, kPresent, 334, {kForever, false}}}},
      {"one step and more short of it keeps the timer and waits for the rest",
       {{true, kPresent, 100, {1, true}},
        {false, kPresent, 101, {249, true}},
        {false, kPresent, 333, {17, true}}}},
      {"a burst within the quiet while starts it again",
       {{true, kPresent, 100, {1, true}},
        {false, kPresent, 101, {249, true}},
        {true, kPresent, 300, {1, true}},
        {false, kPresent, 302, {248, true}},
        {false, kPresent, 420, {130, true}},
        {false, kPresent, 550, {kForever, false}}}},
      {"display gone, nothing held back: woken for the next search only",
       {{false, 1000, 7000, {1000, false}}, {false, 0, 8000, {0, false}}}},
      {"display gone with text held back: the one-millisecond rule all the same",
       {{true, 600, 7000, {1, true}}}},
      {"display gone: the sooner of the search and the end of the quiet while",
       {{true, 600, 7000, {1, true}},
        {false, 599, 7001, {249, true}},
        {false, 349, 7251, {349, false}}}},
      {"display gone, search sooner than the end of the quiet while",
       {{true, 100, 7000, {1, true}}, {false, 99, 7001, {99, true}}}},
      {"the clock wraps during the quiet while",
       {{true, kPresent, 0xFFFFFFF0u, {1, true}},
        {false, kPresent, 0x00000010u, {218, true}},
        {false, kPresent, 0x000000F0u, {kForever, false}}}},
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

}  // namespace
}  // namespace lptlcd
