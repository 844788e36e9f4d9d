// The command queue on its own, and the worker loop over it with an emulator
// that logs what it is asked to do and passes it on to a real device whose
// packets are read back.

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

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
      : CharacterLcdEmulator(display, 20, 2), changed(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

  void Execute(LcdCommand command) override {
    Log(command);
    CharacterLcdEmulator::Execute(command);
  }
  void Flush() override {
    Log(kFlush);
    CharacterLcdEmulator::Flush();
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
    {
      const auto held = lock.Hold();
      steps.push_back(step);
      ++(step == kFlush ? flushes : executed);
    }
    ::SetEvent(changed.Get());
  }

  CriticalSection lock;
  UniqueKernelHandle changed;
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

// The worker loop on its own thread, stopped and joined at the end.
class WorkerFixture : public ::testing::Test {
 protected:
  WorkerFixture()
      : queue(new CommandQueue), device(capture.OpenWriter()), emulator(&device) {}

  void SetUp() override { ASSERT_TRUE(Init(*queue)); }
  void TearDown() override { StopWorker(); }

  void StartWorker() {
    worker = std::make_unique<TestThread>([this] {
      exit = RunDisplayWorkerLoop(*queue, emulator, &stop);
    });
  }
  void StopWorker() {
    stop.store(true);
    worker.reset();
  }

  std::unique_ptr<CommandQueue> queue;
  PacketCapture capture;
  UsbDisplayDevice device;
  LoggingEmulator emulator;
  std::atomic<bool> stop{false};
  WorkerExit exit = WorkerExit::kWaitFailed;
  std::unique_ptr<TestThread> worker;
};

using Bytes = std::vector<std::uint8_t>;

TEST(CommandQueueTest, InitEmptiesTheStorageAndLeavesTheLockFree) {
  auto queue = std::make_unique<CommandQueue>();
  queue->storage[0] = 0x1AA;
  queue->storage[65535] = 0x155;
  queue->readIndex = 7;
  queue->writeIndex = 9;
  queue->count.store(2);
  ASSERT_TRUE(Init(*queue));
  EXPECT_EQ(0, queue->storage[0]);
  EXPECT_EQ(0, queue->storage[65535]);
  EXPECT_EQ(0, queue->readIndex);
  EXPECT_EQ(0, queue->writeIndex);
  EXPECT_EQ(0, Pending(*queue));
  EXPECT_TRUE(MutexIsFree(queue->lock.Get()));
  EXPECT_EQ(WAIT_TIMEOUT, ::WaitForSingleObject(queue->event.Get(), 0));
}

TEST(CommandQueueTest, TakesCommandsInTheOrderEnqueued) {
  auto queue = std::make_unique<CommandQueue>();
  ASSERT_TRUE(Init(*queue));
  Enqueue(*queue, 0x141);
  EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(queue->event.Get(), 0));
  Enqueue(*queue, 0x001);
  Enqueue(*queue, 0x1FF);
  EXPECT_EQ(3, Pending(*queue));
  LcdCommand command = 0;
  ASSERT_EQ(TakeResult::kTaken, TakeOne(*queue, command));
  EXPECT_EQ(0x141, command);
  ASSERT_EQ(TakeResult::kTaken, TakeOne(*queue, command));
  EXPECT_EQ(0x001, command);
  ASSERT_EQ(TakeResult::kTaken, TakeOne(*queue, command));
  EXPECT_EQ(0x1FF, command);
  EXPECT_EQ(TakeResult::kEmpty, TakeOne(*queue, command));
  EXPECT_EQ(0u, DroppedCount(*queue));
  EXPECT_TRUE(MutexIsFree(queue->lock.Get()));
}

TEST(CommandQueueTest, IndicesWrapWithoutLoss) {
  auto queue = std::make_unique<CommandQueue>();
  ASSERT_TRUE(Init(*queue));
  queue->readIndex = 65534;
  queue->writeIndex = 65534;
  for (int c : {0x101, 0x102, 0x103, 0x104}) Enqueue(*queue, static_cast<LcdCommand>(c));
  EXPECT_EQ(2, queue->writeIndex);
  EXPECT_EQ(0x101, queue->storage[65534]);
  EXPECT_EQ(0x102, queue->storage[65535]);
  EXPECT_EQ(0x103, queue->storage[0]);
  EXPECT_EQ(0x104, queue->storage[1]);
  std::vector<LcdCommand> taken;
  LcdCommand command = 0;
  while (TakeOne(*queue, command) == TakeResult::kTaken) taken.push_back(command);
  EXPECT_EQ((std::vector<LcdCommand>{0x101, 0x102, 0x103, 0x104}), taken);
  EXPECT_EQ(2, queue->readIndex);
}

TEST(CommandQueueTest, CommandArrivingWhileFullIsDroppedAndCounted) {
  auto queue = std::make_unique<CommandQueue>();
  ASSERT_TRUE(Init(*queue));
  // Start mid-storage so the one free slot is not at an edge.
  queue->readIndex = 100;
  queue->writeIndex = 100;
  const auto commandFor = [](unsigned i) { return static_cast<LcdCommand>(i % 0x1FF + 1); };
  // The first 100 through Enqueue, the rest placed directly (a mutex round
  // trip per command is slow under Wine): the state 65,535 calls would leave.
  for (unsigned i = 0; i < 100; ++i) Enqueue(*queue, commandFor(i));
  for (unsigned i = 100; i < kCommandQueueMaxPending; ++i) {
    queue->storage[static_cast<std::uint16_t>(100 + i)] = commandFor(i);
  }
  queue->writeIndex = static_cast<std::uint16_t>(100 + kCommandQueueMaxPending);
  queue->count.store(kCommandQueueMaxPending);
  ASSERT_EQ(kCommandQueueMaxPending, Pending(*queue));
  EXPECT_EQ(0u, DroppedCount(*queue));

  // No worker runs: the call must come back rather than wait for room.
  Enqueue(*queue, 0x1AA);
  Enqueue(*queue, 0x1AB);
  EXPECT_EQ(2u, DroppedCount(*queue));
  EXPECT_EQ(kCommandQueueMaxPending, Pending(*queue));
  EXPECT_EQ(99, queue->writeIndex);
  EXPECT_EQ(0, queue->storage[99]);  // the free slot stays free
  EXPECT_TRUE(MutexIsFree(queue->lock.Get()));

  LcdCommand command = 0;
  ASSERT_EQ(TakeResult::kTaken, TakeOne(*queue, command));
  EXPECT_EQ(commandFor(0), command);
  // With room again, the next command is kept.
  Enqueue(*queue, 0x1AC);
  EXPECT_EQ(2u, DroppedCount(*queue));
  for (unsigned i = 1; i < kCommandQueueMaxPending; ++i) {
    ASSERT_EQ(TakeResult::kTaken, TakeOne(*queue, command));
    ASSERT_EQ(commandFor(i), command) << "entry " << i;
  }
  ASSERT_EQ(TakeResult::kTaken, TakeOne(*queue, command));
  EXPECT_EQ(0x1AC, command);
  EXPECT_EQ(TakeResult::kEmpty, TakeOne(*queue, command));
}

TEST(CommandQueueTest, ProcessQueueIsInitialisedOnceAndShared) {
  ASSERT_TRUE(Init());
  Enqueue(0x130);
  EXPECT_EQ(1, Pending(TheCommandQueue()));
  LcdCommand command = 0;
  ASSERT_EQ(TakeResult::kTaken, TakeOne(TheCommandQueue(), command));
  EXPECT_EQ(0x130, command);
}

TEST_F(WorkerFixture, BurstIsExecutedInOrderThenFlushedWhenIdle) {
  // Queued before the worker starts, so its first wake-up finds all three.
  Enqueue(*queue, 0x141);
  Enqueue(*queue, 0x142);
  Enqueue(*queue, 0x143);
  StartWorker();
  ASSERT_TRUE(emulator.WaitUntil([](std::size_t, std::size_t flushes) { return flushes >= 1; }));
  const std::vector<int> steps = emulator.Steps();
  ASSERT_GE(steps.size(), 4u);
  EXPECT_EQ((std::vector<int>{0x141, 0x142, 0x143, kFlush}),
            std::vector<int>(steps.begin(), steps.begin() + 4));
  StopWorker();
  EXPECT_EQ(WorkerExit::kStopped, exit);
  // The emulator held the run until the flush: one packet with all three.
  EXPECT_EQ((Bytes{0x02, 0x03, 0x41, 0x42, 0x43, 0, 0, 0}), capture.TakeBytes());
}

TEST_F(WorkerFixture, CommandsEnqueuedWhileRunningAreAllExecutedInOrderAcrossTheWrap) {
  queue->readIndex = 65000;
  queue->writeIndex = 65000;
  StartWorker();
  std::vector<int> expected;
  for (int i = 0; i < 3000; ++i) {
    // Text characters only, so the emulator never prints a message.
    const auto command = static_cast<LcdCommand>(0x120 + i % 90);
    expected.push_back(command);
    Enqueue(*queue, command);
  }
  ASSERT_TRUE(emulator.WaitUntil([](std::size_t executed, std::size_t) { return executed >= 3000; }));
  StopWorker();
  EXPECT_EQ(expected, Executed(emulator.Steps()));
  EXPECT_EQ(static_cast<std::uint16_t>((65000 + 3000) % 65536), queue->readIndex);
  EXPECT_EQ(queue->writeIndex, queue->readIndex);
  EXPECT_EQ(0, Pending(*queue));
  EXPECT_EQ(0u, DroppedCount(*queue));
}

TEST_F(WorkerFixture, IdleWorkerFlushesRepeatedlyAndSendsNothing) {
  StartWorker();
  ASSERT_TRUE(emulator.WaitUntil([](std::size_t, std::size_t flushes) { return flushes >= 5; }));
  StopWorker();
  EXPECT_TRUE(Executed(emulator.Steps()).empty());
  EXPECT_TRUE(capture.TakeBytes().empty());
}

TEST_F(WorkerFixture, EndsWhenTheEventWaitFails) {
  queue->event.Reset();  // a wait on no handle fails
  EXPECT_EQ(WorkerExit::kWaitFailed, RunDisplayWorkerLoop(*queue, emulator));
  EXPECT_TRUE(emulator.Steps().empty());
}

TEST_F(WorkerFixture, EndsWhenTheLockWaitFails) {
  Enqueue(*queue, 0x141);
  queue->lock.Reset();
  EXPECT_EQ(WorkerExit::kWaitFailed, RunDisplayWorkerLoop(*queue, emulator));
  // The entry was not taken without the lock.
  EXPECT_TRUE(emulator.Steps().empty());
  EXPECT_EQ(1, Pending(*queue));
}

}  // namespace
}  // namespace lptlcd
