#include "ring/ring_producer.h"

#include <gtest/gtest.h>

#include <memory>
#include <numeric>

#include "threads.h"
#include "tools/harness/ring_view_win32.h"

namespace lptlcd {
namespace {

using test::MutexIsFree;
using Records = std::vector<PortWriteRecord>;

Records Sequence(std::size_t n, PortWriteRecord first = 0) {
  Records r(n);
  for (std::size_t i = 0; i < n; ++i) r[i] = static_cast<PortWriteRecord>(first + i);
  return r;
}

// Every test starts with the ring unheld, so the producer creates it.
class RingProducerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(RingAbsent()) << "another process of this Wine prefix holds the ring";
  }

  // The producer under test, opened, and the program's side of its ring.
  bool Open(std::uint32_t giveUpMs = RingProducerOptions().giveUpMs) {
    RingProducerOptions options;
    options.giveUpMs = giveUpMs;
    producer = std::make_unique<RingProducer>(options);
    if (!producer->Open()) return false;
    view = std::make_unique<RingView>();
    return view->IsOpen();
  }

  std::unique_ptr<RingProducer> producer;
  std::unique_ptr<RingView> view;
};

TEST_F(RingProducerTest, CreatesTheObjectsWhenNobodyHasThem) {
  ASSERT_TRUE(Open()) << producer->LastFailure().call;
  EXPECT_TRUE(producer->CreatedSection());
  EXPECT_EQ(view->Ring().readIndex, 0);
  EXPECT_EQ(view->Ring().count, 0);
  // A second producer meets the same objects.
  RingProducer second;
  ASSERT_TRUE(second.Open()) << second.LastFailure().call;
  EXPECT_FALSE(second.CreatedSection());
}


TEST_F(RingProducerTest, LeavesTheMutexFreeForTheProgram) {
  ASSERT_TRUE(Open());
  EXPECT_TRUE(MutexIsFree(view->Mutex()));
}

TEST_F(RingProducerTest, StoresAfterThePendingRecordsAndSignals) {
  ASSERT_TRUE(Open());
  view->Reset(100, 3);
  const Records records{0x7841, 0x7A04, 0x7A05, 0x7A04};
  EXPECT_EQ(producer->Append(records.data(), records.size()), 4u);
  PortWriteRing& ring = view->Ring();
  EXPECT_EQ(ring.count, 7);
  EXPECT_EQ(ring.readIndex, 100);
  EXPECT_EQ(ring.writeIndex, 107);
  EXPECT_EQ(Records(ring.records + 103, ring.records + 107), records);
  EXPECT_TRUE(view->EventIsSet());
  EXPECT_FALSE(view->EventIsSet());  // auto-reset: one wake-up per signal
}

TEST_F(RingProducerTest, WrapsAroundTheEndOfTheRing) {
  ASSERT_TRUE(Open());
  view->Reset(65533, 1);
  const Records records{0x7801, 0x7802, 0x7803, 0x7804, 0x7805};
  EXPECT_EQ(producer->Append(records.data(), records.size()), 5u);
  PortWriteRing& ring = view->Ring();
  EXPECT_EQ(ring.count, 6);
  EXPECT_EQ(ring.writeIndex, 3);
  EXPECT_EQ(ring.records[65534], 0x7801);
  EXPECT_EQ(ring.records[65535], 0x7802);
  EXPECT_EQ(ring.records[0], 0x7803);
  EXPECT_EQ(ring.records[1], 0x7804);
  EXPECT_EQ(ring.records[2], 0x7805);
}

TEST_F(RingProducerTest, FullRingGivesUpWithoutOverwriting) {
  ASSERT_TRUE(Open(100));
  PortWriteRing& ring = view->Ring();
  ring.records[6] = 0x1234;  // the one slot a full ring leaves unused
  view->Reset(7, 65530);
  const Records records = Sequence(10, 0x7800);
  EXPECT_EQ(producer->Append(records.data(), records.size()), 5u);
  EXPECT_EQ(ring.count, 65535);
  EXPECT_EQ(Records(ring.records + 1, ring.records + 6), Sequence(5, 0x7800));
  EXPECT_EQ(ring.records[6], 0x1234);
  // Still full: the next call gives up as well and changes nothing.
  EXPECT_EQ(producer->Append(records.data(), records.size()), 0u);
  EXPECT_EQ(ring.count, 65535);
  EXPECT_EQ(ring.records[6], 0x1234);
  // Once the program has drained, records go in again.
  view->Reset(6, 0);
  EXPECT_EQ(producer->Append(records.data() + 5, 5), 5u);
  EXPECT_EQ(ring.count, 5);
  EXPECT_EQ(Records(ring.records + 6, ring.records + 11), Sequence(5, 0x7805));
}

TEST_F(RingProducerTest, WaitsForTheProgramToMakeRoom) {
  // Far more than the ring holds, against a consumer that pauses between
  // passes: every record arrives, once, in order.
  ASSERT_TRUE(Open());
  const Records records = Sequence(250000, 0x0100);
  DrainingThread consumer(*view, 2);
  ASSERT_TRUE(consumer.Started());
  std::size_t sent = 0;
  for (std::size_t chunk : {1u, 70000u, 3u, 179996u}) {
    EXPECT_EQ(producer->Append(records.data() + sent, chunk), chunk);
    sent += chunk;
  }
  ASSERT_EQ(sent, records.size());
  EXPECT_TRUE(producer->WaitDrained());
  consumer.Stop();
  EXPECT_EQ(consumer.Consumed(), records);
}

struct AppendJob {
  RingProducer* producer;
  Records records;
  std::size_t delivered = 0;
};

DWORD WINAPI AppendOneByOne(void* param) {
  auto& job = *static_cast<AppendJob*>(param);
  for (PortWriteRecord r : job.records) job.delivered += job.producer->Append(&r, 1);
  return 0;
}

TEST_F(RingProducerTest, ThreadsOfOneProcessShareAProducer) {
  ASSERT_TRUE(Open());
  DrainingThread consumer(*view);
  AppendJob a{producer.get(), Sequence(20000, 0x0000)};
  AppendJob b{producer.get(), Sequence(20000, 0x8000)};
  UniqueKernelHandle ta(::CreateThread(nullptr, 0, &AppendOneByOne, &a, 0, nullptr));
  UniqueKernelHandle tb(::CreateThread(nullptr, 0, &AppendOneByOne, &b, 0, nullptr));
  ASSERT_TRUE(ta && tb);
  ::WaitForSingleObject(ta.Get(), INFINITE);
  ::WaitForSingleObject(tb.Get(), INFINITE);
  EXPECT_EQ(a.delivered, 20000u);
  EXPECT_EQ(b.delivered, 20000u);
  EXPECT_TRUE(producer->WaitDrained());
  consumer.Stop();
  // Interleaved, but each thread's records in its own order, none lost.
  Records fromA, fromB;
  for (PortWriteRecord r : consumer.Consumed()) (r & 0x8000 ? fromB : fromA).push_back(r);
  EXPECT_EQ(fromA, a.records);
  EXPECT_EQ(fromB, b.records);
}

struct MutexHolder {
  HANDLE mutex;
  UniqueKernelHandle taken{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  UniqueKernelHandle release{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  bool releaseAtEnd = true;
};

DWORD WINAPI HoldMutex(void* param) {
  auto& h = *static_cast<MutexHolder*>(param);
  ::WaitForSingleObject(h.mutex, INFINITE);
  ::SetEvent(h.taken.Get());
  ::WaitForSingleObject(h.release.Get(), INFINITE);
  if (h.releaseAtEnd) ::ReleaseMutex(h.mutex);
  return 0;
}

// A holder that lets the mutex go half a give-up after a call starts: a call
// that waits for the mutex gets it, a call that only tries it does not.
struct HeldThenReleased {
  explicit HeldThenReleased(HANDLE mutex) : holder{mutex} {
    thread.Reset(::CreateThread(nullptr, 0, &HoldMutex, &holder, 0, nullptr));
    if (thread) ::WaitForSingleObject(holder.taken.Get(), INFINITE);
  }
  void ReleaseAfter(DWORD ms) {
    releaser = std::make_unique<test::TestThread>([this, ms] {
      ::Sleep(ms);
      ::SetEvent(holder.release.Get());
    });
  }
  ~HeldThenReleased() {
    ::SetEvent(holder.release.Get());
    if (thread) ::WaitForSingleObject(thread.Get(), INFINITE);
  }
  MutexHolder holder;
  UniqueKernelHandle thread;
  std::unique_ptr<test::TestThread> releaser;
};

TEST_F(RingProducerTest, MutexHeldTooLongMakesAppendGiveUpThenOnlyTryItUntilItIsHad) {
  ASSERT_TRUE(Open(1000));
  const PortWriteRecord r = 0x7841;
  {
    HeldThenReleased held(view->Mutex());
    ASSERT_TRUE(held.thread);
    EXPECT_EQ(producer->Append(&r, 1), 0u);  // waited the give-up
    held.ReleaseAfter(500);
    EXPECT_EQ(producer->Append(&r, 1), 0u) << "waited for the mutex again";
  }
  EXPECT_EQ(view->Ring().count, 0);
  // Free again: had at once, and from then on waited for as before.
  EXPECT_EQ(producer->Append(&r, 1), 1u);
  HeldThenReleased held(view->Mutex());
  ASSERT_TRUE(held.thread);
  held.ReleaseAfter(500);
  EXPECT_EQ(producer->Append(&r, 1), 1u) << "only tried the mutex";
  EXPECT_EQ(view->Ring().count, 2);
}

TEST_F(RingProducerTest, AbandonedMutexIsTakenOver) {
  ASSERT_TRUE(Open());
  MutexHolder holder{view->Mutex()};
  holder.releaseAtEnd = false;  // the owner dies holding it
  ::SetEvent(holder.release.Get());
  UniqueKernelHandle thread(::CreateThread(nullptr, 0, &HoldMutex, &holder, 0, nullptr));
  ASSERT_TRUE(thread);
  ::WaitForSingleObject(thread.Get(), INFINITE);
  const Records records{0x7841, 0x7A05};
  EXPECT_EQ(producer->Append(records.data(), records.size()), 2u);
  EXPECT_EQ(view->Drain(), records);
  // The producer released what it took over: another thread can have it.
  EXPECT_TRUE(MutexIsFree(view->Mutex()));
}

TEST_F(RingProducerTest, WaitDrainedGivesUpWhenNobodyConsumes) {
  ASSERT_TRUE(Open(100));
  const Records records{0x7841};
  EXPECT_EQ(producer->Append(records.data(), records.size()), 1u);
  EXPECT_FALSE(producer->WaitDrained());
  view->Drain();
  EXPECT_TRUE(producer->WaitDrained());
}

TEST_F(RingProducerTest, NothingHappensBeforeOpen) {
  RingProducer unopened;
  const PortWriteRecord r = 0x7841;
  EXPECT_EQ(unopened.Append(&r, 1), 0u);
  EXPECT_FALSE(unopened.WaitDrained());
  EXPECT_TRUE(RingAbsent());
}

}  // namespace
}  // namespace lptlcd
