// The drain pass over a ring in memory, and capture passes over the real
// named objects with producers on other threads.

#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "capture/capture_loop.h"
#include "capture/port_write_decoder.h"
#include "common/locks.h"
#include "ring/ring_objects.h"
#include "ring/ring_records.h"
#include "tools/harness/private_ring_names.h"
#include "win32_test_support.h"

namespace lptlcd {
namespace {

struct LoggingDecoder {
  std::vector<LcdCommand> commands;
  PortWriteDecoder decoder{[this](LcdCommand command) { commands.push_back(command); }};
};

// Adds records the way the producer does: right after the pending ones.
void Produce(PortWriteRing& ring, const std::vector<PortWriteRecord>& records) {
  AppendRecords(ring, records.data(), records.size());
}

const std::vector<PortWriteRecord> kCharacterA = {0x7841, 0x7A04, 0x7A05, 0x7A04};

// One pass of the capture loop as the producer's signal starts it: waits up
// to eventTimeoutMs for the event, then drains at most maxRecords.
CapturePass RunCapturePass(const RingObjects& objects, PortWriteDecoder& decoder,
                           DWORD eventTimeoutMs,
                           std::size_t maxRecords = std::numeric_limits<std::size_t>::max()) {
  if (::WaitForSingleObject(objects.event.Get(), eventTimeoutMs) == WAIT_TIMEOUT) {
    CapturePass nothing;
    nothing.outcome = CapturePass::Outcome::kNoSignal;
    return nothing;
  }
  return DrainPass(objects, decoder, maxRecords);
}

// Named objects of this test's own, so that nothing else in the prefix meets them.
class RingObjectsTest : public ::testing::Test {
 protected:
  RingObjectsTest() : privateNames("Test"), names(privateNames.Names()) {}

  // The producer's side, on a thread of its own: add records and signal.
  void ProduceOnThread(const std::vector<PortWriteRecord>& records, bool dieHoldingMutex = false) {
    RunOnThread([&] {
      RingObjects producer;
      ASSERT_TRUE(CreateRingObjects(producer, names));
      MutexLock lock = AcquireMutex(producer.mutex.Get(), INFINITE);
      ASSERT_TRUE(lock);
      Produce(*producer.view, records);
      ::SetEvent(producer.event.Get());
      // A guard always releases: a producer that dies holding the mutex
      // takes it again, by hand, and ends without a word.
      lock.Release();
      if (dieHoldingMutex) {
        ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(producer.mutex.Get(), 0));
      }
    });
  }

  PrivateRingNames privateNames;
  RingObjectNames names;
};

TEST_F(RingObjectsTest, CreatesAZeroedRingAndLeavesTheMutexFree) {
  RingObjects objects;
  ASSERT_TRUE(CreateRingObjects(objects, names));
  const PortWriteRing& ring = *objects.view.Get();
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
  Produce(*producer.view.Get(), kCharacterA);
  ::SetEvent(producer.event.Get());

  RingObjects program;
  bool created = false;
  RunOnThread([&] { created = CreateRingObjects(program, names); });
  ASSERT_TRUE(created);
  EXPECT_FALSE(MutexIsFree(program.mutex.Get()));  // still the producer's
  EXPECT_EQ(4, program.view.Get()->count);
  ::ReleaseMutex(producer.mutex.Get());

  LoggingDecoder log;
  CapturePass pass{};
  RunOnThread([&] { pass = RunCapturePass(program, log.decoder, kGenerousMs); });
  EXPECT_EQ(CapturePass::Outcome::kDrained, pass.outcome);
  EXPECT_EQ(4u, pass.records);
  EXPECT_EQ((std::vector<LcdCommand>{0x141}), log.commands);
  // The producer sees the ring consumed through its own view.
  EXPECT_EQ(0, producer.view.Get()->count);
  EXPECT_EQ(4, producer.view.Get()->readIndex);
}

// This process's user as SDDL names it ("S-1-5-21-...").
std::string UserSid() {
  UniqueKernelHandle token;
  union {
    TOKEN_USER user;
    BYTE bytes[256];
  } info;
  DWORD length = 0;
  char* text = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put()) ||
      !::GetTokenInformation(token.Get(), TokenUser, &info, sizeof info, &length) ||
      !::ConvertSidToStringSidA(info.user.User.Sid, &text)) {
    return "";
  }
  const std::string sid = text;
  ::LocalFree(text);
  return sid;
}

// An object's DACL (and label, where there are labels) as SDDL.
std::string SecurityOf(HANDLE object) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetSecurityInfo(object, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                        nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return "";
  }
  char* text = nullptr;
  std::string sddl;
  if (::ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1,
                                                             DACL_SECURITY_INFORMATION, &text, nullptr)) {
    sddl = text;
    ::LocalFree(text);
  }
  ::LocalFree(descriptor);
  return sddl;
}

TEST_F(RingObjectsTest, ObjectsLetThisUserInAtAnyElevation) {
  RingObjects objects;
  ASSERT_TRUE(CreateRingObjects(objects, names));
  const std::string sid = UserSid();
  ASSERT_FALSE(sid.empty());
  for (HANDLE object : {objects.mutex.Get(), objects.event.Get(), objects.section.Get()}) {
    const std::string sddl = SecurityOf(object);
    EXPECT_NE(sddl.find(";;;" + sid + ")"), std::string::npos) << sddl;
    EXPECT_NE(sddl.find(";;;SY)"), std::string::npos) << sddl;
  }
  EXPECT_FALSE(objects.limitedAccess);
}

TEST_F(RingObjectsTest, ObjectsThatRefuseAllAccessAreOpenedForWhatTheRingNeeds) {
  // Made by someone else with a descriptor that lets this user wait, signal
  // and map, but not have all access, as CreateMutexA and the like ask.
  const std::string sid = UserSid();
  const auto attributes = [&](const char* rights, PSECURITY_DESCRIPTOR& descriptor) {
    const std::string sddl = std::string("D:P(A;;") + rights + ";;;" + sid + ")";
    EXPECT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1,
                                                                      &descriptor, nullptr));
    return SECURITY_ATTRIBUTES{sizeof(SECURITY_ATTRIBUTES), descriptor, FALSE};
  };
  PSECURITY_DESCRIPTOR mutexSd = nullptr, eventSd = nullptr, sectionSd = nullptr;
  SECURITY_ATTRIBUTES mutexSa = attributes("0x00100001", mutexSd);   // SYNCHRONIZE | MODIFY_STATE
  SECURITY_ATTRIBUTES eventSa = attributes("0x00100002", eventSd);   // SYNCHRONIZE | MODIFY_STATE
  SECURITY_ATTRIBUTES sectionSa = attributes("0x00000006", sectionSd);  // FILE_MAP_READ | WRITE
  UniqueKernelHandle mutex(::CreateMutexA(&mutexSa, FALSE, names.mutex));
  UniqueKernelHandle event(::CreateEventA(&eventSa, FALSE, FALSE, names.event));
  UniqueKernelHandle section(::CreateFileMappingA(INVALID_HANDLE_VALUE, &sectionSa, PAGE_READWRITE, 0,
                                                  static_cast<DWORD>(kRingSectionBytes), names.section));
  for (PSECURITY_DESCRIPTOR sd : {mutexSd, eventSd, sectionSd}) ::LocalFree(sd);
  ASSERT_TRUE(mutex && event && section);

  RingObjects objects;
  RingObjectsFailure failure;
  ASSERT_TRUE(CreateRingObjects(objects, names, &failure)) << failure.call << " " << failure.error;
  EXPECT_TRUE(objects.limitedAccess);
  EXPECT_FALSE(objects.createdSection);
  // And the ring works through them.
  ProduceOnThread(kCharacterA);
  LoggingDecoder log;
  EXPECT_EQ(4u, RunCapturePass(objects, log.decoder, kGenerousMs).records);
  EXPECT_EQ((std::vector<LcdCommand>{0x141}), log.commands);
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
  EXPECT_EQ(CapturePass::Outcome::kDrained, pass.outcome);
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
  EXPECT_EQ(CapturePass::Outcome::kDrained, pass.outcome);
  EXPECT_EQ(3u, pass.records);
  EXPECT_FALSE(pass.abandoned);
  EXPECT_EQ((std::vector<LcdCommand>{0x141}), log.commands);
  EXPECT_EQ(0, objects.view.Get()->count);
  EXPECT_EQ(3, objects.view.Get()->readIndex);
  // The event was auto-reset by the pass.
  EXPECT_EQ(CapturePass::Outcome::kNoSignal, RunCapturePass(objects, log.decoder, 0).outcome);
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
  objects.view.Get()->readIndex = 60000;  // and across the ring's end
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
  EXPECT_EQ(static_cast<std::uint16_t>(60000 + 12000), objects.view.Get()->readIndex);
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
  objects.view.Get()->readIndex = 65535;
  ProduceOnThread(kCharacterA);
  LoggingDecoder log;
  EXPECT_EQ(4u, RunCapturePass(objects, log.decoder, kGenerousMs).records);
  EXPECT_EQ((std::vector<LcdCommand>{0x141}), log.commands);
  EXPECT_EQ(3, objects.view.Get()->readIndex);
}

TEST_F(RingObjectsTest, ProducerThatDiedHoldingTheMutexDoesNotStopTheLoop) {
  RingObjects objects;
  ASSERT_TRUE(CreateRingObjects(objects, names));
  ProduceOnThread(kCharacterA, /*dieHoldingMutex=*/true);
  LoggingDecoder log;
  const CapturePass pass = RunCapturePass(objects, log.decoder, kGenerousMs);
  EXPECT_EQ(CapturePass::Outcome::kDrained, pass.outcome);
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

// What a pass said about a held ring, and whether the ring was free to
// others as it said it: a frozen console stops the saying thread.
struct SaidLine {
  std::string line;
  bool ringFree;
};
std::vector<SaidLine> g_said;
HANDLE g_saidRing = nullptr;
void RecordSaid(const char* line) { g_said.push_back({line, MutexIsFree(g_saidRing)}); }

TEST_F(RingObjectsTest, ARingHeldTooLongIsSaidAndItsReleaseSaidWithTheRingLetGo) {
  RingObjects objects;
  ASSERT_TRUE(CreateRingObjects(objects, names));
  UniqueKernelHandle holding(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  TestThread producer([&] {
    RingObjects own;
    ASSERT_TRUE(CreateRingObjects(own, names));
    const MutexLock lock = AcquireMutex(own.mutex.Get(), INFINITE);
    Produce(*own.view, kCharacterA);
    ::SetEvent(own.event.Get());
    ::SetEvent(holding.Get());
    ::Sleep(300);
  });
  ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(holding.Get(), kGenerousMs));
  g_said.clear();
  g_saidRing = objects.mutex.Get();
  RingHeldReport report;
  report.afterMs = 50;
  report.say = &RecordSaid;
  LoggingDecoder log;
  const CapturePass pass = DrainPass(objects, log.decoder, std::numeric_limits<std::size_t>::max(), report);
  producer.Join();
  EXPECT_EQ(4u, pass.records);
  EXPECT_EQ((std::vector<LcdCommand>{0x141}), log.commands);
  ASSERT_EQ(2u, g_said.size());
  EXPECT_EQ(kRingHeldMessage, g_said[0].line);
  EXPECT_EQ(kRingFreeAgainMessage, g_said[1].line);
  EXPECT_TRUE(g_said[1].ringFree) << "said with the ring's mutex held";
}

TEST_F(RingObjectsTest, FailedMutexWaitLeavesTheRingAlone) {
  RingObjects objects;
  ASSERT_TRUE(CreateRingObjects(objects, names));
  Produce(*objects.view.Get(), kCharacterA);
  ::SetEvent(objects.event.Get());
  objects.mutex.Reset();  // a wait on no handle fails
  LoggingDecoder log;
  const CapturePass pass = RunCapturePass(objects, log.decoder, kGenerousMs);
  EXPECT_EQ(CapturePass::Outcome::kMutexFailed, pass.outcome);
  EXPECT_TRUE(log.commands.empty());
  EXPECT_EQ(4, objects.view.Get()->count);
  EXPECT_EQ(0, objects.view.Get()->readIndex);
}

}  // namespace
}  // namespace lptlcd
