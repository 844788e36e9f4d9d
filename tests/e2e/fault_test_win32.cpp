// How lptlcd copes with neighbours that fail, end to end: a display that
// stops reading or goes away, a producer killed while it holds the ring, a
// ring full of garbage, and a flood. In each case the program must go on
// draining the ring (so the producer, the old software, is never held up),
// must not crash, and must lose nothing it can keep.

#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "capture/capture_loop.h"
#include "common/win32_handles.h"
#include "e2e_support.h"
#include "ring/port_write_ring.h"
#include "tools/producer/flood_pattern.h"

namespace lptlcd::test {
namespace {

constexpr char kStalled[] = "Display is not reading: commands are dropped until it does\n";
constexpr char kNotAnswering[] = "The display stopped answering (a packet not taken within 100 ms)";

std::string FaultyProducer(const std::string& arguments) {
  return Quoted(FAULTY_PRODUCER_EXE) + " " + arguments;
}

TEST(Faults, AMillionRecordFloodArrivesCompletelyAndInOrder) {
  // The ring wraps fifteen times and, at four records per command, the
  // program's command queue wraps three times; the display is slower than
  // the producer all along, and nothing may be lost to that.
  constexpr std::size_t kRecords = 1000000;
  const std::string expectedText = FloodText(kRecords);
  ASSERT_GT(expectedText.size(), 100000u);

  Simulator sim("flood");
  Program program;
  StartDisplayAndProgram(sim, program);
  const ChildResult feed = Feed("--flood " + std::to_string(kRecords) + " --wait-drained --give-up 60000");
  ASSERT_TRUE(feed.finished);
  ASSERT_EQ(feed.exitCode, 0u) << feed.out << feed.err;

  ASSERT_TRUE(WaitFor([&] { return TextCarriedBy(sim.Packets()).size() >= expectedText.size(); },
                      kFloodBoundMs))
      << TextCarriedBy(sim.Packets()).size() << " of " << expectedText.size();
  const std::string received = TextCarriedBy(sim.Packets());
  ASSERT_EQ(received.size(), expectedText.size());
  EXPECT_TRUE(received == expectedText) << "the flood's characters arrived out of order";
  const std::array<std::string, 2> screen = FloodScreen(kRecords, Waveform::kNormal);
  EXPECT_TRUE(sim.WaitForText(Screen(screen[0], screen[1]))) << sim.Text();
}


TEST(Faults, ADisplayThatStopsReadingIsGivenUpWithoutHoldingUpTheProducer) {
  Simulator sim("stall");
  Program program;
  StartDisplayAndProgram(sim, program);

  // The display hangs on the first packet of this text, and stays hung.
  ASSERT_TRUE(sim.PauseReading(true));
  ChildResult feed = Feed("--text \"before the stall\" --wait-drained");
  ASSERT_EQ(feed.exitCode, 0u) << feed.out << feed.err;
  ASSERT_TRUE(sim.WaitForOutput("lcdsim: reading paused\n", kGenerousMs)) << sim.Output();

  // A million records: far more commands than the queue and the display's
  // pipe can hold. A write that is not taken is given up within its bound,
  // the display is taken as lost, and the ring is drained to the last
  // record within lcdfeed's bound for a ring that stops moving.
  feed = Feed("--flood 1000000 --wait-drained --give-up 10000");
  ASSERT_TRUE(feed.finished);
  EXPECT_EQ(feed.exitCode, 0u) << feed.out << feed.err;
  EXPECT_EQ(PendingInRing(), 0);
  ASSERT_TRUE(program.WaitForOutput(kNotAnswering, kGenerousMs)) << program.Output();
  EXPECT_TRUE(program.IsRunning());

  // The display answers again: it is found and shows what the software
  // wrote meanwhile and then what comes next.
  ASSERT_TRUE(sim.PauseReading(false));
  ASSERT_TRUE(sim.WaitForOutput("lcdsim: reading again\n", kGenerousMs)) << sim.Output();
  feed = Feed("--text \"after the stall\" \"display reads\" --wait-drained");
  ASSERT_EQ(feed.exitCode, 0u) << feed.out << feed.err;
  ASSERT_TRUE(sim.WaitForText(Screen("after the stall", "display reads"), kFloodBoundMs)) << sim.Text();
  // Nothing had to be dropped: the queue never filled behind a hung write.
  EXPECT_EQ(Occurrences(program.Output(), kStalled), 0u) << program.Output();
}

TEST(Faults, ADisplayThatGoesAwayLeavesTheProgramDraining) {
  Simulator sim("vanish");
  Program program;
  StartDisplayAndProgram(sim, program);
  ChildResult feed = Feed("--text \"display here\" --wait-drained");
  ASSERT_EQ(feed.exitCode, 0u) << feed.out << feed.err;
  ASSERT_TRUE(sim.WaitForText(Screen("display here"))) << sim.Text();

  // Unplugged: the pipe closes and the registration goes.
  sim.Stop();
  feed = Feed("--flood 300000 --wait-drained --give-up 10000");
  EXPECT_EQ(feed.exitCode, 0u) << feed.out << feed.err;
  ASSERT_TRUE(program.WaitForOutput(kWriteFailed, kGenerousMs)) << program.Output();
  feed = Feed("--text \"nobody sees this\" --wait-drained --give-up 10000");
  EXPECT_EQ(feed.exitCode, 0u) << feed.out << feed.err;
  EXPECT_EQ(PendingInRing(), 0);
  EXPECT_TRUE(program.IsRunning());
  // Said once, not once per lost packet.
  EXPECT_EQ(Occurrences(program.Output(), kWriteFailed), 1u) << program.Output();
}

TEST(Faults, AProducerKilledWhileItHoldsTheRingDoesNotStopTheProgram) {
  Simulator sim("killed");
  Program program;
  StartDisplayAndProgram(sim, program);

  ChildProcess faulty;
  ASSERT_TRUE(faulty.Start(FaultyProducer("hold-lock init \"text 0 added, then killed\"")));
  ASSERT_TRUE(faulty.WaitForOutput("holds the lock", kGenerousMs)) << faulty.Output();
  // Woken while the mutex stays held, the program says so after five
  // seconds and waits on; once the holder is killed, it says the buffer is
  // free again.
  {
    UniqueKernelHandle event(::OpenEventA(EVENT_MODIFY_STATE, FALSE, kRingEventName));
    ASSERT_TRUE(event && ::SetEvent(event.Get()));
  }
  ASSERT_TRUE(program.WaitForOutput(kRingHeldMessage, kGenerousMs)) << program.Output();
  EXPECT_EQ(program.Output().find(kRingFreeAgainMessage), std::string::npos);
  faulty.Terminate();
  ASSERT_TRUE(program.WaitForOutput(kRingFreeAgainMessage, kGenerousMs)) << program.Output();

  // The next producer's records wake the program; the mutex it then gets
  // was abandoned, and what the dead producer added is drained with them.
  const std::string script = sim.File("later.script");
  { std::ofstream(script, std::ios::binary) << "text 1 later records\n"; }
  const ChildResult feed = Feed("--script " + Quoted(script) + " --wait-drained --give-up 10000");
  ASSERT_EQ(feed.exitCode, 0u) << feed.out << feed.err;
  EXPECT_TRUE(sim.WaitForText(Screen("added, then killed", "later records"))) << sim.Text();
  EXPECT_TRUE(program.IsRunning());
}

TEST(Faults, ARingFullOfGarbageIsDrainedWithoutACrash) {
  Simulator sim("garbage");
  Program program;
  StartDisplayAndProgram(sim, program);

  for (const char* seed : {"1", "2024", "4000000000"}) {
    SCOPED_TRACE(seed);
    const ChildResult garbage = RunChild(FaultyProducer(std::string("garbage ") + seed));
    ASSERT_EQ(garbage.exitCode, 0u) << garbage.out;
    ASSERT_TRUE(WaitFor([] { return PendingInRing() == 0; }, kGenerousMs)) << PendingInRing();
    ASSERT_TRUE(program.IsRunning()) << program.Output();

    // Whatever state the garbage left the module in, software that
    // initialises it gets its screen.
    const ChildResult feed = Feed(std::string("--text \"garbage ") + seed + "\" \"all is well\" --wait-drained");
    ASSERT_EQ(feed.exitCode, 0u) << feed.out << feed.err;
    ASSERT_TRUE(sim.WaitForText(Screen(std::string("garbage ") + seed, "all is well"))) << sim.Text();
  }
}

}  // namespace
}  // namespace lptlcd::test
