// lptlcd.exe itself, started as a child process against a display registered
// in the prefix, with this test as the producer of port writes.

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "capture/command_line.h"
#include "capture/session_instance.h"
#include "queue/display_worker.h"
#include "common/locks.h"
#include "ring/port_write_ring.h"
#include "ring/ring_records.h"
#include "tools/displayhost/display_host.h"
#include "win32_test_support.h"

namespace lptlcd {
namespace {

using Packet = PacketRecorder::Packet;

const Packet kStart = {0x01, 0x01, 0, 0, 0, 0, 0, 0};
const Packet kClear = {0x01, 0x02, 0, 0, 0, 0, 0, 0};
const Packet kTextA = {0x02, 0x01, 0x41, 0, 0, 0, 0, 0};
const Packet kTextB = {0x02, 0x01, 0x42, 0, 0, 0, 0, 0};

const std::vector<PortWriteRecord> kCharacterA = {0x7841, 0x7A04, 0x7A05, 0x7A04};
const std::vector<PortWriteRecord> kCharacterB = {0x7842, 0x7A04, 0x7A05, 0x7A04};

// The producer's side of the shared objects, opened or created by plain
// Win32 calls, independent of the program's own code.
struct Producer {
  UniqueKernelHandle mutex;
  UniqueKernelHandle event;
  UniqueKernelHandle section;
  UniqueMappedView<PortWriteRing> ring;

  // Opens the objects the running program created.
  bool Open() {
    mutex.Reset(::OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, kRingMutexName));
    event.Reset(::OpenEventA(EVENT_MODIFY_STATE, FALSE, kRingEventName));
    section.Reset(::OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, kRingSectionName));
    return Map();
  }
  // Creates them before the program runs, holding the mutex.
  bool CreateHoldingMutex() {
    mutex.Reset(::CreateMutexA(nullptr, TRUE, kRingMutexName));
    event.Reset(::CreateEventA(nullptr, FALSE, FALSE, kRingEventName));
    section.Reset(::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                       static_cast<DWORD>(kRingSectionBytes), kRingSectionName));
    const bool created = ::GetLastError() != ERROR_ALREADY_EXISTS;
    return Map() && created;
  }
  bool Map() {
    if (!mutex || !event || !section) return false;
    ring = MapView<PortWriteRing>(section.Get(), FILE_MAP_ALL_ACCESS);
    return ring.IsValid();
  }

  // Adds records right after the pending ones; the caller holds the mutex.
  void Add(const std::vector<PortWriteRecord>& records) {
    AppendRecords(*ring, records.data(), records.size());
  }
  MutexLock Lock() { return AcquireMutex(mutex.Get(), kGenerousMs); }
  void ReleaseInitialOwnership() { ::ReleaseMutex(mutex.Get()); }
  bool Send(const std::vector<PortWriteRecord>& records) {
    if (const MutexLock lock = Lock()) {
      Add(records);
    } else {
      return false;
    }
    return ::SetEvent(event.Get()) != FALSE;
  }
};

// Polls `done` every 10 ms for up to kGenerousMs.
template <typename Done>
bool WaitUntilTrue(Done done) {
  for (DWORD waited = 0; waited < kGenerousMs; waited += 10) {
    if (done()) return true;
    ::Sleep(10);
  }
  return done();
}

class ProgramTest : public ::testing::Test {
 protected:
  // A display "B" that opens and a server on its pipe.
  void AttachDisplay() {
    display = std::make_unique<DisplayRegistration>("B");
    ASSERT_TRUE(display->ok());
    server = std::make_unique<DisplayPipeServer>(received.Handler());
    ASSERT_TRUE(server->Start());
  }
  void TearDown() override {
    program.Terminate();
    if (server) server->Stop();
  }

  std::unique_ptr<DisplayRegistration> display;
  PacketRecorder received;
  std::unique_ptr<DisplayPipeServer> server;
  ChildProcess program;
};

TEST_F(ProgramTest, WithoutADisplayReportsAndExitsWithStatusOne) {
  ASSERT_TRUE(program.Start(LptlcdProgramPath()));
  EXPECT_EQ(1, program.WaitForExit(kGenerousMs));
  EXPECT_EQ("Failed to GetUsbDeviceFileName\nUnable to open device\n", program.Output());
}

TEST_F(ProgramTest, ACopyThatEndsWithoutADisplayLeavesTheRecordsForTheNext) {
  Producer producer;
  ASSERT_TRUE(producer.CreateHoldingMutex());
  producer.Add(kCharacterA);
  producer.ReleaseInitialOwnership();
  ASSERT_TRUE(::SetEvent(producer.event.Get()));
  ASSERT_TRUE(program.Start(LptlcdProgramPath()));
  EXPECT_EQ(1, program.WaitForExit(kGenerousMs));
  EXPECT_EQ(4, producer.ring->count);

  AttachDisplay();
  ChildProcess next;
  ASSERT_TRUE(next.Start(LptlcdProgramPath()));
  ASSERT_TRUE(received.WaitForCount(3, kGenerousMs));
  EXPECT_EQ((std::vector<Packet>{kStart, kClear, kTextA}), received.Packets());
  next.Terminate();
}

TEST_F(ProgramTest, WaitsForADisplayThatComesLaterAndShowsWhatCameMeanwhile) {
  ASSERT_TRUE(program.Start(LptlcdProgramPath() + " --wait"));
  ASSERT_TRUE(program.WaitForOutput(kWaitingForDisplayMessage, kGenerousMs)) << program.Output();
  Producer producer;
  ASSERT_TRUE(producer.Open());
  ASSERT_TRUE(producer.Send(kCharacterA));
  // Drained and emulated while there is no display.
  ASSERT_TRUE(WaitUntilTrue([&] { return producer.ring->count == 0; }));
  EXPECT_TRUE(program.IsRunning());

  AttachDisplay();
  ASSERT_TRUE(received.WaitForCount(3, kGenerousMs));
  EXPECT_EQ((std::vector<Packet>{kStart, kClear, kTextA}), received.Packets());
  ASSERT_TRUE(producer.Send(kCharacterB));
  ASSERT_TRUE(received.WaitForCount(4, kGenerousMs));
  EXPECT_EQ(kTextB, received.Packets().back());
  const std::string said = "Failed to GetUsbDeviceFileName\n" + std::string(kWaitingForDisplayMessage) +
                           "Found the display at " + display->InterfacePath() + "\n";
  EXPECT_TRUE(program.WaitForOutput(said, kGenerousMs));
  EXPECT_EQ(said, program.Output());
}

TEST_F(ProgramTest, InterfaceThatOpensWithoutItsPipeEndsTheProgram) {
  DisplayRegistration registration("B");
  ASSERT_TRUE(registration.ok());
  ASSERT_TRUE(program.Start(LptlcdProgramPath()));
  EXPECT_EQ(1, program.WaitForExit(kGenerousMs));
  EXPECT_EQ("Attempting to open " + registration.InterfacePath() + "\nUnable to open device\n",
            program.Output());
}

TEST_F(ProgramTest, ObjectsThatCannotBeHadEndTheProgram) {
  // Another kind of object already has the section's name.
  UniqueKernelHandle squatter(::CreateMutexA(nullptr, FALSE, kRingSectionName));
  ASSERT_TRUE(squatter);
  ASSERT_TRUE(program.Start(LptlcdProgramPath()));
  EXPECT_EQ(1, program.WaitForExit(kGenerousMs));
  EXPECT_EQ("Unable to create objects.\nCould not create or open VUVIrizARData (error 6)\n",
            program.Output());  // ERROR_INVALID_HANDLE: a name of another kind of object
}

TEST_F(ProgramTest, RoadOfOneCharacter) {
  AttachDisplay();
  ASSERT_TRUE(program.Start(LptlcdProgramPath()));
  // The start-up packets show that the objects exist and the worker runs.
  ASSERT_TRUE(received.WaitForCount(2, kGenerousMs));
  EXPECT_EQ((std::vector<Packet>{kStart, kClear}), received.Packets());

  Producer producer;
  ASSERT_TRUE(producer.Open());
  EXPECT_EQ(0, producer.ring->count);
  ASSERT_TRUE(producer.Send(kCharacterA));
  ASSERT_TRUE(received.WaitForCount(3, kGenerousMs));
  EXPECT_EQ((std::vector<Packet>{kStart, kClear, kTextA}), received.Packets());

  // The pass that sent it is over once the mutex is free again.
  {
    const MutexLock lock = producer.Lock();
    ASSERT_TRUE(lock);
    EXPECT_EQ(0, producer.ring->count);
    EXPECT_EQ(4, producer.ring->readIndex);
  }
  EXPECT_TRUE(program.IsRunning());
  // What the program printed reaches this test by a thread of its own: the
  // packets may come first.
  const std::string said = "Attempting to open " + display->InterfacePath() + "\n";
  EXPECT_TRUE(program.WaitForOutput(said, kGenerousMs));
  EXPECT_EQ(said, program.Output());
}

TEST_F(ProgramTest, UsesTheSecondDisplayWhenTheFirstCannotBeOpened) {
  DisplayRegistration first("A", DisplayRegistration::Kind::kUnopenable);
  ASSERT_TRUE(first.ok());
  AttachDisplay();
  ASSERT_TRUE(program.Start(LptlcdProgramPath()));
  ASSERT_TRUE(received.WaitForCount(2, kGenerousMs));
  const std::string said = "Attempting to open " + first.InterfacePath() + "\n" +
                           "FAILED to open " + first.InterfacePath() + "\n" +
                           "Attempting to open " + display->InterfacePath() + "\n";
  EXPECT_TRUE(program.WaitForOutput(said, kGenerousMs));
  EXPECT_EQ(said, program.Output());
  EXPECT_EQ((std::vector<Packet>{kStart, kClear}), received.Packets());
}

TEST_F(ProgramTest, DrainsWhatAProducerQueuedBeforeItStarted) {
  AttachDisplay();
  Producer producer;
  ASSERT_TRUE(producer.CreateHoldingMutex());
  producer.Add(kCharacterA);
  ASSERT_TRUE(::SetEvent(producer.event.Get()));
  ASSERT_TRUE(program.Start(LptlcdProgramPath()));
  // Started up while the producer still holds the mutex.
  ASSERT_TRUE(received.WaitForCount(2, kGenerousMs));
  producer.ReleaseInitialOwnership();
  ASSERT_TRUE(received.WaitForCount(3, kGenerousMs));
  EXPECT_EQ((std::vector<Packet>{kStart, kClear, kTextA}), received.Packets());
}

TEST_F(ProgramTest, ProducerDyingWhileHoldingTheMutexDoesNotStopTheProgram) {
  AttachDisplay();
  ASSERT_TRUE(program.Start(LptlcdProgramPath()));
  ASSERT_TRUE(received.WaitForCount(2, kGenerousMs));

  // A producer thread that adds its records, signals and ends with the mutex.
  bool added = false;
  RunOnThread([&] {
    Producer dying;
    // Taken by hand, as no guard would leave it held.
    if (!dying.Open() || ::WaitForSingleObject(dying.mutex.Get(), kGenerousMs) != WAIT_OBJECT_0) {
      return;
    }
    dying.Add(kCharacterA);
    added = ::SetEvent(dying.event.Get()) != FALSE;
  });
  ASSERT_TRUE(added);
  ASSERT_TRUE(received.WaitForCount(3, kGenerousMs));

  // The program took the abandoned mutex over and released it: the next
  // producer gets through.
  Producer next;
  ASSERT_TRUE(next.Open());
  ASSERT_TRUE(next.Send(kCharacterB));
  ASSERT_TRUE(received.WaitForCount(4, kGenerousMs));
  EXPECT_EQ((std::vector<Packet>{kStart, kClear, kTextA, kTextB}), received.Packets());
  EXPECT_TRUE(program.IsRunning());
}

// The command line, through the real program. A copy told to print its help
// or given a bad command line ends at once; were it to claim the session or
// create the shared objects first (the traps set below for it), it would end
// with status 1 saying so instead, and one that opened the display would be
// seen connecting to it.
constexpr long kKeepsRunning = -1;

struct ArgumentsRow {
  const char* arguments;
  long status;  // or kKeepsRunning: the start-up packets arrive and it runs on
  std::string output;
  std::string errors;
};

TEST(ProgramArguments, EachCommandLineEndsOrRunsAsItShould) {
  const ArgumentsRow rows[] = {
      {"--help", 0, HelpText(), ""},
      {"/?", 0, HelpText(), ""},
      {"-?", 0, HelpText(), ""},
      {"/help", 0, HelpText(), ""},
      {"--module 20x3", 2, "",
       std::string("lptlcd: no module 20x3 (sizes: 8x1 8x2 16x1 16x2 16x4 20x1 20x2 20x4 24x2 "
                   "40x1 40x2)\n") + UsageText()},
      {"--module 20x4", kKeepsRunning, "Attempting to open ", ""},
  };
  for (const ArgumentsRow& row : rows) {
    SCOPED_TRACE(row.arguments);
    const bool ends = row.status != kKeepsRunning;
    DisplayRegistration display("B");
    ASSERT_TRUE(display.ok());
    PacketRecorder received;
    DisplayPipeServer server(received.Handler());
    ASSERT_TRUE(server.Start());
    UniqueKernelHandle otherCopy;
    UniqueKernelHandle squatter;
    if (ends) {
      otherCopy.Reset(::CreateMutexA(nullptr, FALSE, kSessionInstanceName));
      squatter.Reset(::CreateMutexA(nullptr, FALSE, kRingSectionName));
      ASSERT_TRUE(otherCopy && squatter);
    }
    ChildProcess program;
    ASSERT_TRUE(program.Start(LptlcdProgramPath() + " " + row.arguments));
    if (ends) {
      EXPECT_EQ(row.status, program.WaitForExit(kGenerousMs));
      EXPECT_EQ(row.output, program.Output());
      // Had it opened the display, the start-up packets would be on their way.
      EXPECT_FALSE(received.WaitForCount(1, 500));
      EXPECT_EQ(0, server.ConnectionCount());
    } else {
      ASSERT_TRUE(received.WaitForCount(2, kGenerousMs));
      EXPECT_EQ((std::vector<Packet>{kStart, kClear}), received.Packets());
      EXPECT_TRUE(program.WaitForOutput(row.output + display.InterfacePath() + "\n", kGenerousMs));
      Producer producer;
      EXPECT_TRUE(producer.Open());
      EXPECT_TRUE(program.IsRunning());
      program.Terminate();
    }
    EXPECT_EQ(row.errors, program.Errors());
    server.Stop();
  }
}

}  // namespace
}  // namespace lptlcd
