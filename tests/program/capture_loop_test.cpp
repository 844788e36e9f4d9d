// The drain pass over a ring in memory, and capture passes over the real
// named objects with producers on other threads.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "capture/capture_loop.h"
#include "capture/port_write_decoder.h"
#include "capture/ring_drain.h"
#include "capture/ring_objects.h"
#include "win32_test_support.h"

namespace lptlcd {
namespace {

struct LoggingDecoder {
  std::vector<LcdCommand> commands;
  PortWriteDecoder decoder{[this](LcdCommand command) { commands.push_back(command); }};
};

std::unique_ptr<PortWriteRing> EmptyRing() {
  auto ring = std::make_unique<PortWriteRing>();
  std::memset(ring.get(), 0, sizeof(PortWriteRing));
  return ring;
}

// Adds records the way the producer does: right after the pending ones.
void Produce(PortWriteRing& ring, const std::vector<PortWriteRecord>& records) {
  for (PortWriteRecord record : records) {
    ring.records[static_cast<std::uint16_t>(ring.readIndex + ring.count)] = record;
    ring.count = static_cast<std::uint16_t>(ring.count + 1);
  }
}

const std::vector<PortWriteRecord> kCharacterA = {0x7841, 0x7A04, 0x7A05, 0x7A04};

// One pass of the capture loop as the producer's signal starts it: waits up
// to eventTimeoutMs for the event, then drains at most maxRecords.
CapturePass RunCapturePass(const RingObjects& objects, PortWriteDecoder& decoder,
                           DWORD eventTimeoutMs,
                           std::size_t maxRecords = std::numeric_limits<std::size_t>::max()) {
  if (::WaitForSingleObject(objects.event.Get(), eventTimeoutMs) == WAIT_TIMEOUT) {
    return {CapturePass::kNoSignal, 0, false, 0};
  }
  return DrainPass(objects, decoder, maxRecords);
}

// What a drain pass does with the ring: take the records out, then decode them.
std::size_t DrainRing(PortWriteRing& ring, PortWriteDecoder& decoder,
                      std::size_t maxRecords = 65536) {
  std::vector<PortWriteRecord> taken(65536);
  const std::size_t count = TakeRecords(ring, taken.data(), maxRecords);
  for (std::size_t i = 0; i < count; ++i) decoder.Decode(taken[i]);
  return count;
}

TEST(DrainRingTest, NothingPendingDecodesNothing) {
  auto ring = EmptyRing();
  ring->readIndex = 17;
  LoggingDecoder log;
  EXPECT_EQ(0u, DrainRing(*ring, log.decoder));
  EXPECT_TRUE(log.commands.empty());
  EXPECT_EQ(17, ring->readIndex);
  EXPECT_EQ(0, ring->count);
}

TEST(DrainRingTest, ConsumesEveryPendingRecordInOrder) {
  auto ring = EmptyRing();
  ring->writeIndex = 0xBEEF;  // the producer's own: never read or written here
  // Data 0x41 must be latched before the edge: out of order it would be 0x100.
  Produce(*ring, {0x7841, 0x7A05, 0x7A04});
  LoggingDecoder log;
  EXPECT_EQ(3u, DrainRing(*ring, log.decoder));
  EXPECT_EQ((std::vector<LcdCommand>{0x141}), log.commands);
  EXPECT_EQ(3, ring->readIndex);
  EXPECT_EQ(0, ring->count);
  EXPECT_EQ(0xBEEF, ring->writeIndex);
}

TEST(DrainRingTest, ReadIndexWrapsFromTheLastRecordToTheFirst) {
  auto ring = EmptyRing();
  ring->readIndex = 65535;
  Produce(*ring, kCharacterA);
  EXPECT_EQ(0x7841, ring->records[65535]);
  EXPECT_EQ(0x7A04, ring->records[0]);
  LoggingDecoder log;
  EXPECT_EQ(4u, DrainRing(*ring, log.decoder));
  EXPECT_EQ((std::vector<LcdCommand>{0x141}), log.commands);
  EXPECT_EQ(3, ring->readIndex);
  EXPECT_EQ(0, ring->count);
}

TEST(DrainRingTest, OtherSelectorsAreConsumedToo) {
  auto ring = EmptyRing();
  ring->readIndex = 40;
  Produce(*ring, {0x7855, 0x7900, 0x7B01, 0x0001, 0x7A05});
  LoggingDecoder log;
  EXPECT_EQ(5u, DrainRing(*ring, log.decoder));
  // The foreign records changed neither the latch nor the strobe.
  EXPECT_EQ((std::vector<LcdCommand>{0x155}), log.commands);
  EXPECT_EQ(45, ring->readIndex);
  EXPECT_EQ(0, ring->count);
}

TEST(DrainRingTest, FullRingIsDrainedInOnePass) {
  auto ring = EmptyRing();
  ring->readIndex = 12345;
  std::vector<PortWriteRecord> records;
  for (int i = 0; i < 65535 / 3; ++i) {
    records.push_back(MakeRecord(kDataRegisterSelector, static_cast<std::uint8_t>(i)));
    records.push_back(0x7A05);
    records.push_back(0x7A04);
  }
  Produce(*ring, records);
  ASSERT_EQ(65535, ring->count);
  LoggingDecoder log;
  EXPECT_EQ(65535u, DrainRing(*ring, log.decoder));
  ASSERT_EQ(65535u / 3, log.commands.size());
  for (std::size_t i = 0; i < log.commands.size(); ++i) {
    ASSERT_EQ(0x100 | (i & 0xFF), log.commands[i]) << "command " << i;
  }
  EXPECT_EQ(static_cast<std::uint16_t>(12345 + 65535), ring->readIndex);
}

TEST(DrainRingTest, StopsWhereTheQueueHasNoMoreRoomAndResumesThere) {
  auto ring = EmptyRing();
  ring->readIndex = 65534;
  Produce(*ring, {0x7841, 0x7A05, 0x7A04, 0x7842, 0x7A05, 0x7A04});
  LoggingDecoder log;
  EXPECT_EQ(2u, DrainRing(*ring, log.decoder, 2));
  EXPECT_EQ((std::vector<LcdCommand>{0x141}), log.commands);
  EXPECT_EQ(0, ring->readIndex);
  EXPECT_EQ(4, ring->count);
  EXPECT_EQ(0u, DrainRing(*ring, log.decoder, 0));
  EXPECT_EQ(4u, DrainRing(*ring, log.decoder));
  EXPECT_EQ((std::vector<LcdCommand>{0x141, 0x142}), log.commands);
  EXPECT_EQ(4, ring->readIndex);
  EXPECT_EQ(0, ring->count);
}

// Named objects of this test's own, so that nothing else in the prefix meets them.
class RingObjectsTest : public ::testing::Test {
 protected:
  RingObjectsTest() {
    const std::string suffix = std::to_string(::GetCurrentProcessId());
    mutexName = "lptlcdTestAccess" + suffix;
    eventName = "lptlcdTestEvent" + suffix;
    sectionName = "lptlcdTestData" + suffix;
    names.mutex = mutexName.c_str();
    names.event = eventName.c_str();
    names.section = sectionName.c_str();
  }

  // The producer's side, on a thread of its own: add records and signal.
  void ProduceOnThread(const std::vector<PortWriteRecord>& records, bool dieHoldingMutex = false) {
    RunOnThread([&] {
      RingObjects producer;
      ASSERT_TRUE(CreateRingObjects(producer, names));
      const DWORD locked = ::WaitForSingleObject(producer.mutex.Get(), INFINITE);
      ASSERT_TRUE(locked == WAIT_OBJECT_0 || locked == WAIT_ABANDONED);
      Produce(*producer.view.Ring(), records);
      ::SetEvent(producer.event.Get());
      if (!dieHoldingMutex) ::ReleaseMutex(producer.mutex.Get());
    });
  }

  std::string mutexName, eventName, sectionName;
  RingObjectNames names;
};

TEST_F(RingObjectsTest, CreatesAZeroedRingAndLeavesTheMutexFree) {
  RingObjects objects;
  ASSERT_TRUE(CreateRingObjects(objects, names));
  const PortWriteRing& ring = *objects.view.Ring();
  EXPECT_EQ(0, ring.readIndex);
  EXPECT_EQ(0, ring.writeIndex);
  EXPECT_EQ(0, ring.count);
  EXPECT_EQ(0, ring.records[0]);
  EXPECT_EQ(0, ring.records[65535]);  // the last word of the 131,078 bytes
  EXPECT_TRUE(MutexIsFree(objects.mutex.Get()));
  EXPECT_EQ(WAIT_TIMEOUT, ::WaitForSingleObject(objects.event.Get(), 0));
}

TEST_F(RingObjectsTest, OpensTheObjectsAProducerAlreadyHolds) {
  // The producer made them first and holds the mutex while the program starts.
  RingObjects producer;
  ASSERT_TRUE(CreateRingObjects(producer, names));
  ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(producer.mutex.Get(), 0));
  Produce(*producer.view.Ring(), kCharacterA);
  ::SetEvent(producer.event.Get());

  RingObjects program;
  bool created = false;
  RunOnThread([&] { created = CreateRingObjects(program, names); });
  ASSERT_TRUE(created);
  EXPECT_FALSE(MutexIsFree(program.mutex.Get()));  // still the producer's
  EXPECT_EQ(4, program.view.Ring()->count);
  ::ReleaseMutex(producer.mutex.Get());

  LoggingDecoder log;
  CapturePass pass{};
  RunOnThread([&] { pass = RunCapturePass(program, log.decoder, kGenerousMs); });
  EXPECT_EQ(CapturePass::kDrained, pass.outcome);
  EXPECT_EQ(4u, pass.records);
  EXPECT_EQ((std::vector<LcdCommand>{0x141}), log.commands);
  // The producer sees the ring consumed through its own view.
  EXPECT_EQ(0, producer.view.Ring()->count);
  EXPECT_EQ(4, producer.view.Ring()->readIndex);
}

TEST_F(RingObjectsTest, NameTakenByAnotherKindOfObjectFails) {
  UniqueKernelHandle squatter(::CreateMutexA(nullptr, FALSE, names.section));
  ASSERT_TRUE(squatter);
  RingObjects objects;
  EXPECT_FALSE(CreateRingObjects(objects, names));
}

TEST_F(RingObjectsTest, SectionSmallerThanTheRingFails) {
  UniqueKernelHandle small(::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                0x1000, names.section));
  ASSERT_TRUE(small);
  RingObjects objects;
  EXPECT_FALSE(CreateRingObjects(objects, names));
}

TEST_F(RingObjectsTest, SignalWithNothingPendingTakesAndReleasesTheMutex) {
  RingObjects objects;
  ASSERT_TRUE(CreateRingObjects(objects, names));
  ::SetEvent(objects.event.Get());
  LoggingDecoder log;
  const CapturePass pass = RunCapturePass(objects, log.decoder, kGenerousMs);
  EXPECT_EQ(CapturePass::kDrained, pass.outcome);
  EXPECT_EQ(0u, pass.records);
  EXPECT_TRUE(log.commands.empty());
  EXPECT_TRUE(MutexIsFree(objects.mutex.Get()));
}

TEST_F(RingObjectsTest, RecordsAddedUnderOneSignalAreConsumedInOnePass) {
  RingObjects objects;
  ASSERT_TRUE(CreateRingObjects(objects, names));
  ProduceOnThread({0x7841, 0x7A05, 0x7A04});
  LoggingDecoder log;
  const CapturePass pass = RunCapturePass(objects, log.decoder, kGenerousMs);
  EXPECT_EQ(CapturePass::kDrained, pass.outcome);
  EXPECT_EQ(3u, pass.records);
  EXPECT_FALSE(pass.abandoned);
  EXPECT_EQ((std::vector<LcdCommand>{0x141}), log.commands);
  EXPECT_EQ(0, objects.view.Ring()->count);
  EXPECT_EQ(3, objects.view.Ring()->readIndex);
  // The event was auto-reset by the pass.
  EXPECT_EQ(CapturePass::kNoSignal, RunCapturePass(objects, log.decoder, 0).outcome);
}

TEST_F(RingObjectsTest, PassLimitedByQueueRoomLeavesTheRestForTheNextPass) {
  RingObjects objects;
  ASSERT_TRUE(CreateRingObjects(objects, names));
  ProduceOnThread({0x7841, 0x7A05, 0x7A04, 0x7842, 0x7A05, 0x7A04});
  LoggingDecoder log;
  const CapturePass pass = RunCapturePass(objects, log.decoder, kGenerousMs, 3);
  EXPECT_EQ(3u, pass.records);
  EXPECT_EQ(3u, pass.left);
  EXPECT_TRUE(MutexIsFree(objects.mutex.Get()));
  // No new signal comes: the rest is taken without one.
  const CapturePass rest = DrainPass(objects, log.decoder);
  EXPECT_EQ(3u, rest.records);
  EXPECT_EQ(0u, rest.left);
  EXPECT_EQ((std::vector<LcdCommand>{0x141, 0x142}), log.commands);
}

TEST_F(RingObjectsTest, RecordsAreDecodedWithTheRingReleased) {
  RingObjects objects;
  ASSERT_TRUE(CreateRingObjects(objects, names));
  ProduceOnThread(kCharacterA);
  // The decoder's command goes to the queue: by then the producer must be
  // free to add more.
  std::vector<bool> ringFreeAtCommand;
  PortWriteDecoder decoder(
      [&](LcdCommand) { ringFreeAtCommand.push_back(MutexIsFree(objects.mutex.Get())); });
  EXPECT_EQ(4u, RunCapturePass(objects, decoder, kGenerousMs).records);
  EXPECT_EQ(std::vector<bool>{true}, ringFreeAtCommand);
}

TEST_F(RingObjectsTest, APassTakesChunkAfterChunkUpToItsLimit) {
  RingObjects objects;
  ASSERT_TRUE(CreateRingObjects(objects, names));
  objects.view.Ring()->readIndex = 60000;  // and across the ring's end
  std::vector<PortWriteRecord> records;
  for (int i = 0; i < 4000; ++i) {
    records.push_back(MakeRecord(kDataRegisterSelector, static_cast<std::uint8_t>(i)));
    records.push_back(0x7A05);
    records.push_back(0x7A04);
  }
  ProduceOnThread(records);  // 12,000 records: three chunks
  LoggingDecoder log;
  const CapturePass pass = RunCapturePass(objects, log.decoder, kGenerousMs, 9000);
  EXPECT_EQ(9000u, pass.records);
  EXPECT_EQ(3000u, pass.left);
  EXPECT_EQ(3000u, log.commands.size());
  EXPECT_TRUE(MutexIsFree(objects.mutex.Get()));
  const CapturePass rest = DrainPass(objects, log.decoder);
  EXPECT_EQ(3000u, rest.records);
  EXPECT_EQ(0u, rest.left);
  ASSERT_EQ(4000u, log.commands.size());
  for (std::size_t i = 0; i < log.commands.size(); ++i) {
    ASSERT_EQ(0x100 | (i & 0xFF), log.commands[i]) << "command " << i;
  }
  EXPECT_EQ(static_cast<std::uint16_t>(60000 + 12000), objects.view.Ring()->readIndex);
}

TEST_F(RingObjectsTest, RecordsOfSeveralSignalsAreTakenByTheFirstPass) {
  RingObjects objects;
  ASSERT_TRUE(CreateRingObjects(objects, names));
  ProduceOnThread({0x7841, 0x7A05});
  ProduceOnThread({0x7A04, 0x7842, 0x7A01, 0x7A00});  // an instruction this time
  LoggingDecoder log;
  const CapturePass pass = RunCapturePass(objects, log.decoder, kGenerousMs);
  EXPECT_EQ(6u, pass.records);
  EXPECT_EQ((std::vector<LcdCommand>{0x141, 0x042}), log.commands);
}

TEST_F(RingObjectsTest, ReadIndexWrapsInTheSharedRing) {
  RingObjects objects;
  ASSERT_TRUE(CreateRingObjects(objects, names));
  objects.view.Ring()->readIndex = 65535;
  ProduceOnThread(kCharacterA);
  LoggingDecoder log;
  EXPECT_EQ(4u, RunCapturePass(objects, log.decoder, kGenerousMs).records);
  EXPECT_EQ((std::vector<LcdCommand>{0x141}), log.commands);
  EXPECT_EQ(3, objects.view.Ring()->readIndex);
}

TEST_F(RingObjectsTest, ProducerThatDiedHoldingTheMutexDoesNotStopTheLoop) {
  RingObjects objects;
  ASSERT_TRUE(CreateRingObjects(objects, names));
  ProduceOnThread(kCharacterA, /*dieHoldingMutex=*/true);
  LoggingDecoder log;
  const CapturePass pass = RunCapturePass(objects, log.decoder, kGenerousMs);
  EXPECT_EQ(CapturePass::kDrained, pass.outcome);
  EXPECT_TRUE(pass.abandoned);
  EXPECT_EQ((std::vector<LcdCommand>{0x141}), log.commands);
  EXPECT_TRUE(MutexIsFree(objects.mutex.Get()));
  // And the next producer gets through as usual.
  ProduceOnThread({0x7842, 0x7A05, 0x7A04});
  const CapturePass next = RunCapturePass(objects, log.decoder, kGenerousMs);
  EXPECT_EQ(3u, next.records);
  EXPECT_FALSE(next.abandoned);
  EXPECT_EQ((std::vector<LcdCommand>{0x141, 0x142}), log.commands);
}

TEST_F(RingObjectsTest, FailedMutexWaitLeavesTheRingAlone) {
  RingObjects objects;
  ASSERT_TRUE(CreateRingObjects(objects, names));
  Produce(*objects.view.Ring(), kCharacterA);
  ::SetEvent(objects.event.Get());
  objects.mutex.Reset();  // a wait on no handle fails
  LoggingDecoder log;
  const CapturePass pass = RunCapturePass(objects, log.decoder, kGenerousMs);
  EXPECT_EQ(CapturePass::kMutexFailed, pass.outcome);
  EXPECT_TRUE(log.commands.empty());
  EXPECT_EQ(4, objects.view.Ring()->count);
  EXPECT_EQ(0, objects.view.Ring()->readIndex);
}

}  // namespace
}  // namespace lptlcd
