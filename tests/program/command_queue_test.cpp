// The command queue on its own and between two real threads, and the worker
// loop over it with an emulator that logs what it is asked to do and passes
// it on to a real device whose packets are read back.

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "device/display_recovery.h"
#include "device/usb_display_device.h"
#include "emulator/character_lcd_emulator.h"
#include "queue/command_queue.h"
#include "queue/display_worker.h"
#include "tools/harness/critical_section.h"
#include "tools/harness/wait_until.h"
#include "tools/packets/packet_capture.h"
#include "win32_test_support.h"

namespace lptlcd {
namespace {

// Each step as a word: the command executed, or kFlush.
constexpr int kFlush = -1;

class LoggingEmulator : public CharacterLcdEmulator {
 public:
  explicit LoggingEmulator(UsbDisplayDevice* display)
      : CharacterLcdEmulator(display, 20, 2),
        changed(::CreateEventA(nullptr, FALSE, FALSE, nullptr)),
        released(::CreateEventA(nullptr, TRUE, TRUE, nullptr)) {}

  void Execute(LcdCommand command) override {
    // A display that does not read: the worker stays here until released.
    if (holding.load()) ::WaitForSingleObject(released.Get(), INFINITE);
    Log(command);
    CharacterLcdEmulator::Execute(command);
  }
  void Flush() override {
    Log(kFlush);
    CharacterLcdEmulator::Flush();
  }

  void Hold() {
    ::ResetEvent(released.Get());
    holding.store(true);
  }
  void Release() {
    holding.store(false);
    ::SetEvent(released.Get());
  }

  std::vector<int> Steps() const {
    const auto held = lock.Hold();
    return steps;
  }

  // Waits until done(commands executed, flushes) holds.
  template <typename Predicate>
  bool WaitUntil(Predicate done) {
    return lptlcd::WaitUntil(changed.Get(), kGenerousMs, [&] {
      const auto held = lock.Hold();
      return done(executed, flushes);
    });
  }

 private:
  void Log(int step) {
    bool announce = true;
    {
      const auto held = lock.Hold();
      steps.push_back(step);
      ++(step == kFlush ? flushes : executed);
      // Under Wine every SetEvent is a round trip to its server: tens of
      // thousands of commands announce themselves now and then, and text
      // always ends with a flush, which does.
      announce = step == kFlush || executed % 1024 == 0;
    }
    if (announce) ::SetEvent(changed.Get());
  }

  CriticalSection lock;
  UniqueKernelHandle changed;
  UniqueKernelHandle released;
  std::atomic<bool> holding{false};
  std::vector<int> steps;
  std::size_t executed = 0;
  std::size_t flushes = 0;
};

std::vector<int> Executed(const std::vector<int>& steps) {
  std::vector<int> commands;
  for (int step : steps) {
    if (step != kFlush) commands.push_back(step);
  }
  return commands;
}

// Text characters only, so the emulator never prints a message.
LcdCommand CommandFor(unsigned i) { return static_cast<LcdCommand>(0x120 + i % 90); }

void StartAt(CommandQueue& queue, std::uint16_t index) {
  queue.readIndex.store(index);
  queue.writeIndex.store(index);
}

// For conditions nobody announces: looked at every few milliseconds.
template <typename Done>
bool PollUntil(Done done) {
  const DWORD start = ::GetTickCount();
  while (!done()) {
    if (::GetTickCount() - start > kGenerousMs) return false;
    ::Sleep(2);
  }
  return true;
}

bool EventIsSet(const CommandQueue& queue) {
  return ::WaitForSingleObject(queue.event.Get(), 0) == WAIT_OBJECT_0;
}

// The worker loop on its own thread, stopped and joined at the end.
class WorkerFixture : public ::testing::Test {
 protected:
  WorkerFixture()
      : queue(new CommandQueue), device(capture.OpenWriter()), emulator(&device) {}

  void SetUp() override { ASSERT_TRUE(Init(*queue)); }
  void TearDown() override { StopWorker(); }

  void StartWorker(DisplayRecovery* recovery = nullptr) {
    worker = std::make_unique<TestThread>([this, recovery] {
      exit = RunDisplayWorkerLoop(*queue, emulator, &stop, recovery);
    });
  }
  void StopWorker() {
    emulator.Release();
    stop.store(true);
    WakeWorker(*queue);  // it may be asleep with no time-out
    worker.reset();
  }
  std::uint32_t WakeUps() const { return queue->worker.wakeUps.load(); }

  std::unique_ptr<CommandQueue> queue;
  PacketCapture capture;
  UsbDisplayDevice device;
  LoggingEmulator emulator;
  std::atomic<bool> stop{false};
  WorkerExit exit = WorkerExit::kWaitFailed;
  std::unique_ptr<TestThread> worker;
};

using Bytes = std::vector<std::uint8_t>;

TEST(CommandQueueTest, InitEmptiesTheStorageAndLeavesTheEventUnset) {
  auto queue = std::make_unique<CommandQueue>();
  queue->storage[0] = 0x1AA;
  queue->storage[65535] = 0x155;
  queue->readIndex.store(7);
  queue->writeIndex.store(9);
  queue->handOverDue = true;
  ASSERT_TRUE(Init(*queue));
  EXPECT_EQ(0, queue->storage[0]);
  EXPECT_EQ(0, queue->storage[65535]);
  EXPECT_EQ(0, queue->readIndex.load());
  EXPECT_EQ(0, queue->writeIndex.load());
  EXPECT_EQ(0, Pending(*queue));
  HandOver(*queue);  // nothing enqueued since Init: nothing to hand over
  EXPECT_FALSE(EventIsSet(*queue));
}

TEST(CommandQueueTest, APassIsHandedOverWithOneSignal) {
  const struct {
    const char* name;
    unsigned commands;  // enqueued before the hand-over
    std::uint32_t handOvers;
  } cases[] = {
      {"nothing queued", 0, 0},
      {"one command", 1, 1},
      {"a pass of 20,000 commands", 20000, 1},
  };
  for (const auto& c : cases) {
    auto queue = std::make_unique<CommandQueue>();
    ASSERT_TRUE(Init(*queue));
    for (unsigned i = 0; i < c.commands; ++i) Enqueue(*queue, CommandFor(i));
    // Auto-reset, and nobody waits on it: a command that set it leaves it set.
    ASSERT_FALSE(EventIsSet(*queue)) << c.name << ": woken by Enqueue";
    HandOver(*queue);
    EXPECT_EQ(c.handOvers, queue->handOvers.load()) << c.name;
    EXPECT_EQ(c.handOvers != 0, EventIsSet(*queue)) << c.name;
    HandOver(*queue);  // a second one with nothing new does nothing
    EXPECT_EQ(c.handOvers, queue->handOvers.load()) << c.name;
    EXPECT_FALSE(EventIsSet(*queue)) << c.name;
  }
}

TEST(CommandQueueTest, TakesCommandsInOrderAcrossTheWrap) {
  const struct {
    const char* name;
    std::uint16_t start;
  } cases[] = {{"from the start", 0}, {"across the end of the storage", 65534}};
  for (const auto& c : cases) {
    auto queue = std::make_unique<CommandQueue>();
    ASSERT_TRUE(Init(*queue));
    StartAt(*queue, c.start);
    for (int command : {0x101, 0x102, 0x103, 0x104}) Enqueue(*queue, static_cast<LcdCommand>(command));
    EXPECT_EQ(4, Pending(*queue)) << c.name;
    EXPECT_EQ(0x101, queue->storage[c.start]) << c.name;
    EXPECT_EQ(0x104, queue->storage[static_cast<std::uint16_t>(c.start + 3)]) << c.name;
    std::vector<LcdCommand> taken;
    LcdCommand command = 0;
    while (TakeOne(*queue, command)) taken.push_back(command);
    EXPECT_EQ((std::vector<LcdCommand>{0x101, 0x102, 0x103, 0x104}), taken) << c.name;
    EXPECT_EQ(static_cast<std::uint16_t>(c.start + 4), queue->readIndex.load()) << c.name;
    EXPECT_EQ(4u, TakenCount(*queue)) << c.name;
    EXPECT_EQ(0u, DroppedCount(*queue)) << c.name;
  }
}

TEST(CommandQueueTest, CommandArrivingWhileFullIsDroppedAndCounted) {
  auto queue = std::make_unique<CommandQueue>();
  ASSERT_TRUE(Init(*queue));
  StartAt(*queue, 100);  // mid-storage, so the one free slot is not at an edge
  for (unsigned i = 0; i < kCommandQueueMaxPending; ++i) Enqueue(*queue, CommandFor(i));
  ASSERT_EQ(kCommandQueueMaxPending, Pending(*queue));
  EXPECT_EQ(0u, DroppedCount(*queue));

  // No worker runs: the call must come back rather than wait for room.
  Enqueue(*queue, 0x1AA);
  Enqueue(*queue, 0x1AB);
  EXPECT_EQ(2u, DroppedCount(*queue));
  EXPECT_EQ(kCommandQueueMaxPending, Pending(*queue));
  EXPECT_EQ(99, queue->writeIndex.load());
  EXPECT_EQ(0, queue->storage[99]);  // the free slot stays free

  LcdCommand command = 0;
  ASSERT_TRUE(TakeOne(*queue, command));
  EXPECT_EQ(CommandFor(0), command);
  // With room again, the next command is kept.
  Enqueue(*queue, 0x1AC);
  EXPECT_EQ(2u, DroppedCount(*queue));
  for (unsigned i = 1; i < kCommandQueueMaxPending; ++i) {
    ASSERT_TRUE(TakeOne(*queue, command));
    ASSERT_EQ(CommandFor(i), command) << "entry " << i;
  }
  ASSERT_TRUE(TakeOne(*queue, command));
  EXPECT_EQ(0x1AC, command);
  EXPECT_FALSE(TakeOne(*queue, command));
}

TEST(CommandQueueTest, ProcessQueueIsInitialisedOnceAndShared) {
  ASSERT_TRUE(Init());
  Enqueue(0x130);
  EXPECT_EQ(1, Pending(TheCommandQueue()));
  LcdCommand command = 0;
  ASSERT_TRUE(TakeOne(TheCommandQueue(), command));
  EXPECT_EQ(0x130, command);
}

// A capture thread of the test's own, in passes each ending with one
// hand-over, against the real worker loop: nothing lost, nothing reordered,
// and at most one wake-up a pass for commands (the worker may also wake for
// its idle flush).
TEST_F(WorkerFixture, PassesFromAnotherThreadArriveWholeAndInOrder) {
  const struct {
    const char* name;
    std::uint16_t start;
    unsigned passes;
    unsigned perPass;
  } cases[] = {
      {"many small passes", 0, 300, 7},
      {"a few large ones across the wrap", 60000, 3, 8000},
  };
  for (const auto& c : cases) {
    StopWorker();
    stop.store(false);
    ASSERT_TRUE(Init(*queue));
    StartAt(*queue, c.start);
    const std::size_t before = Executed(emulator.Steps()).size();
    const std::uint32_t handOversBefore = queue->handOvers.load();
    const std::uint32_t wakeUpsBefore = queue->worker.wakeUps.load();
    StartWorker();
    std::vector<int> expected;
    TestThread producer([&] {
      for (unsigned pass = 0, i = 0; pass < c.passes; ++pass) {
        // As the capture loop does: a pass takes no more than there is room for.
        ASSERT_TRUE(PollUntil([&] { return kCommandQueueMaxPending - Pending(*queue) >= static_cast<int>(c.perPass); }));
        for (unsigned k = 0; k < c.perPass; ++k, ++i) Enqueue(*queue, CommandFor(i));
        HandOver(*queue);
        if (pass % 50 == 49) ::Sleep(2);  // let the worker sleep now and then
      }
    });
    producer.Join();
    for (unsigned i = 0; i < c.passes * c.perPass; ++i) expected.push_back(CommandFor(i));
    ASSERT_TRUE(emulator.WaitUntil(
        [&](std::size_t executed, std::size_t) { return executed >= before + expected.size(); }))
        << c.name;
    const std::vector<int> all = Executed(emulator.Steps());
    EXPECT_EQ(expected, std::vector<int>(all.begin() + static_cast<std::ptrdiff_t>(before), all.end()))
        << c.name;
    EXPECT_EQ(0u, DroppedCount(*queue)) << c.name;
    EXPECT_EQ(0, Pending(*queue)) << c.name;
    EXPECT_EQ(c.passes, queue->handOvers.load() - handOversBefore) << c.name;
    // A hand-over, the idle flush's time-out and the end of the quiet while
    // at most, a pass: never a wake-up a command.
    EXPECT_LE(queue->worker.wakeUps.load() - wakeUpsBefore, 3 * c.passes + 3) << c.name;
  }
}

TEST_F(WorkerFixture, AQueueFilledWhileTheDisplayDoesNotReadDropsTheRestAndKeepsTheOrder) {
  emulator.Hold();
  StartWorker();
  Enqueue(*queue, CommandFor(0));
  HandOver(*queue);
  // The worker has taken the first command and is stuck on it; the queue
  // fills behind it from another thread, and what does not fit is dropped.
  ASSERT_TRUE(PollUntil([&] { return TakenCount(*queue) == 1; }));
  TestThread producer([&] {
    for (unsigned i = 1; i <= kCommandQueueMaxPending + 10; ++i) Enqueue(*queue, CommandFor(i));
    HandOver(*queue);
  });
  producer.Join();
  EXPECT_EQ(10u, DroppedCount(*queue));
  EXPECT_EQ(kCommandQueueMaxPending, Pending(*queue));
  emulator.Release();
  ASSERT_TRUE(emulator.WaitUntil(
      [](std::size_t executed, std::size_t) { return executed >= kCommandQueueMaxPending + 1u; }));
  const std::vector<int> executed = Executed(emulator.Steps());
  ASSERT_EQ(kCommandQueueMaxPending + 1u, executed.size());
  for (unsigned i = 0; i < executed.size(); ++i) ASSERT_EQ(CommandFor(i), executed[i]) << "command " << i;
}

TEST_F(WorkerFixture, BurstIsExecutedInOrderThenFlushedOnceAndTheWorkerSleeps) {
  // Queued before the worker starts, so its first look finds all three.
  Enqueue(*queue, 0x141);
  Enqueue(*queue, 0x142);
  Enqueue(*queue, 0x143);
  HandOver(*queue);
  StartWorker();
  ASSERT_TRUE(emulator.WaitUntil([](std::size_t, std::size_t flushes) { return flushes >= 1; }));
  // Nothing is pending any more: no flush after the first, whatever the time.
  ::Sleep(100);
  EXPECT_EQ((std::vector<int>{0x141, 0x142, 0x143, kFlush}), emulator.Steps());
  EXPECT_EQ(1u, queue->worker.timerRaises.load());  // for the one-millisecond wait
  StopWorker();
  EXPECT_EQ(WorkerExit::kStopped, exit);
  // The emulator held the run until the flush: one packet with all three.
  EXPECT_EQ((Bytes{0x02, 0x03, 0x41, 0x42, 0x43, 0, 0, 0}), capture.TakeBytes());
}

TEST_F(WorkerFixture, IdleWorkerSleepsAndSendsNothing) {
  StartWorker();
  ::Sleep(200);
  // Woken by nothing: no time-out, no flush, no fine timer.
  EXPECT_EQ(0u, WakeUps());
  EXPECT_EQ(0u, queue->worker.timerRaises.load());
  EXPECT_TRUE(emulator.Steps().empty());
  EXPECT_TRUE(capture.TakeBytes().empty());
  StopWorker();
  EXPECT_EQ(WorkerExit::kStopped, exit);
  EXPECT_EQ(1u, WakeUps());  // the stop's
}

TEST_F(WorkerFixture, WhileTheDisplayIsGoneTheWorkerWakesToLookForItOnceASecond) {
  DisplayWriteWatch watch(device, stdout);
  std::atomic<int> searches{0};
  DisplayRecovery recovery(device, watch, [&] {
    ++searches;
    return UniquePipe();
  });
  capture.Disconnect();  // unplugged
  StartWorker(&recovery);
  Enqueue(*queue, 0x141);
  HandOver(*queue);
  ASSERT_TRUE(emulator.WaitUntil([](std::size_t, std::size_t flushes) { return flushes >= 1; }));
  // The flush failed, the first search came at once; the next one a second later.
  ASSERT_TRUE(PollUntil([&] { return searches.load() >= 2; }));
  StopWorker();
  EXPECT_FALSE(device.HasPipe());
  // Not a time-out a millisecond: a handful of wake-ups for two searches.
  EXPECT_LE(WakeUps(), 10u);
}

TEST_F(WorkerFixture, EndsWhenTheEventWaitFails) {
  queue->event.Reset();  // a wait on no handle fails
  EXPECT_EQ(WorkerExit::kWaitFailed, RunDisplayWorkerLoop(*queue, emulator));
  EXPECT_TRUE(emulator.Steps().empty());
}

}  // namespace
}  // namespace lptlcd
