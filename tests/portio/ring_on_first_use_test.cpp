// The DLL's ring, opened on first use, with the open and the clock faked:
// a ring that cannot be had is tried again at most once a second, and
// another thread's open is waited for by the clock, a bounded time.

#include "portio/ring_on_first_use.h"

#include <gtest/gtest.h>

#include "threads.h"

namespace lptlcd {
namespace {

DWORD g_now = 0;
int g_opens = 0;
bool g_opensSucceed = false;

DWORD FakeClock() { return g_now; }
bool CountingOpen(RingProducer&) {
  ++g_opens;
  return g_opensSucceed;
}

TEST(RingOnFirstUseTest, AFailedOpenIsTriedAgainAtMostOnceASecond) {
  // From the clock's start, and across its wrap after 49.7 days.
  for (const DWORD start : {DWORD{0}, DWORD{0xFFFFFC00}}) {
    SCOPED_TRACE(start);
    g_now = start;
    g_opens = 0;
    g_opensSucceed = false;
    RingOnFirstUse ring(RingProducerOptions(), &CountingOpen, &FakeClock);
    // A port write every millisecond for 2.5 seconds, and how many opens
    // were tried by then: the first write's, then one a second.
    const struct {
      DWORD at;
      int opens;
    } checkpoints[] = {{0, 1}, {999, 1}, {1000, 2}, {1999, 2}, {2000, 3}, {2500, 3}};
    std::size_t next = 0;
    for (DWORD at = 0; at <= 2500; ++at) {
      g_now = start + at;
      ASSERT_EQ(ring.Get(), nullptr) << at;
      if (at == checkpoints[next].at) {
        EXPECT_EQ(g_opens, checkpoints[next].opens) << "after " << at << " ms";
        ++next;
      }
    }
    // Once it opens, it is never opened again.
    g_now = start + 3000;
    g_opensSucceed = true;
    RingProducer* opened = ring.Get();
    EXPECT_NE(opened, nullptr);
    g_now = start + 3001;
    EXPECT_EQ(ring.Get(), opened);
    EXPECT_EQ(g_opens, 4);
  }
}

// An open that another thread is stuck in until the test lets it go, and a
// clock that moves by a step at every reading, as a coarse timer would.
volatile LONG g_clock = 0;
volatile LONG g_clockStep = 0;
volatile LONG g_clockReadings = 0;
HANDLE g_openEntered = nullptr;
HANDLE g_openMayEnd = nullptr;

DWORD SteppingClock() {
  ::InterlockedIncrement(&g_clockReadings);
  return static_cast<DWORD>(::InterlockedExchangeAdd(&g_clock, g_clockStep));
}
bool StuckOpen(RingProducer&) {
  ::SetEvent(g_openEntered);
  ::WaitForSingleObject(g_openMayEnd, INFINITE);
  return true;
}

// Another thread's open, stuck in StuckOpen until the test lets it go: runs
// `whileStuck` meanwhile, then lets the open end and checks that it opened.
template <typename WhileStuck>
void WithAStuckOpen(RingOnFirstUse& ring, WhileStuck whileStuck) {
  UniqueKernelHandle entered(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  UniqueKernelHandle mayEnd(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(entered && mayEnd);
  g_openEntered = entered.Get();
  g_openMayEnd = mayEnd.Get();
  RingProducer* openerGot = nullptr;
  {
    test::TestThread opener([&] { openerGot = ring.Get(); });
    ASSERT_EQ(::WaitForSingleObject(entered.Get(), 10000), WAIT_OBJECT_0);
    whileStuck(mayEnd.Get());
    ::SetEvent(mayEnd.Get());
  }
  EXPECT_NE(openerGot, nullptr);
  EXPECT_EQ(ring.Get(), openerGot);
  ring.Close();
}

TEST(RingOnFirstUseTest, AStuckOpenIsWaitedForByTheClockOnceAndNoLonger) {
  // Each reading 16 ms on: the default timer tick, which Sleep(1) lasts.
  g_clock = 0;
  g_clockStep = 16;
  RingOnFirstUse ring(RingProducerOptions(), &StuckOpen, &SteppingClock);
  WithAStuckOpen(ring, [&](HANDLE) {
    // Another thread's write gives up once the clock says the bound has
    // passed, with the first reading past it.
    const LONG readingsBefore = g_clockReadings;
    EXPECT_EQ(ring.Get(), nullptr);
    const auto waited = static_cast<std::uint32_t>(g_clockReadings - readingsBefore - 1) * 16;
    EXPECT_GE(waited, kFirstUseWaitMs);
    EXPECT_LT(waited, kFirstUseWaitMs + 16);
    // The open is stuck: the next write does not wait for it again.
    const LONG readingsThen = g_clockReadings;
    EXPECT_EQ(ring.Get(), nullptr);
    EXPECT_EQ(g_clockReadings, readingsThen);
  });
}

TEST(RingOnFirstUseTest, AnOpenThatEndsWithinTheWaitHandsTheRingToTheWaiter) {
  // The clock stands still: the wait ends only when the open does.
  g_clockStep = 0;
  RingOnFirstUse ring(RingProducerOptions(), &StuckOpen, &SteppingClock);
  WithAStuckOpen(ring, [&](HANDLE mayEnd) {
    RingProducer* waiterGot = nullptr;
    test::TestThread waiter([&] { waiterGot = ring.Get(); });
    ::Sleep(20);
    ::SetEvent(mayEnd);
    waiter.Join();
    EXPECT_NE(waiterGot, nullptr);
    EXPECT_EQ(waiterGot, ring.Get());
  });
}

}  // namespace
}  // namespace lptlcd
