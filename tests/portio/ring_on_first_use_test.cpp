// The DLL's ring, opened on first use, with the open and the clock faked:
// a ring that cannot be had is tried again at most once a second.

#include "portio/ring_on_first_use.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace lptlcd
