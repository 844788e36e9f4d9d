// What a Windows user meets that Wine can show: a display that is unplugged
// and comes back, and a second copy of lptlcd started beside the first.

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include "capture/session_instance.h"
#include "e2e_support.h"
#include "tools/producer/flood_pattern.h"

namespace lptlcd::test {
namespace {

// Text, custom characters (one redefined after it was painted), a clear and
// more text, in three parts.
const char kBefore[] =
    "init\nchar 0 1f 11 11 11 11 11 1f 00\nchar 1 04 0e 1f 0e 04 00 00 00\n"
    "text 0 Hello\ndata 00\ndata 01\nat 1 0\nwrite before unplug\n";
const char kWhileAway[] =
    "clear\ntext 0 while away\ndata 00\nchar 0 00 00 0a 00 11 0e 00 00\nat 1 3\nwrite gone\n";
const char kAfter[] = "at 1 10\nwrite back\ndata 00\ndata 01\n";

TEST(Recovery, ARepluggedDisplayShowsWhatOneThatStayedShows) {
  std::vector<std::string> expectedPixels;
  std::string expectedText;
  {
    Simulator sim("stayed");
    Program program;
    StartDisplayAndProgram(sim, program);
    for (const char* part : {kBefore, kWhileAway, kAfter}) FeedPart(sim, "part", part);
    expectedPixels = SettledPixels(sim);
    expectedText = sim.Text();
  }
  ASSERT_EQ(expectedPixels.size(), 32u);
  ASSERT_NE(expectedText.find("while away"), std::string::npos) << expectedText;

  Simulator first("unplugged");
  Program program;
  StartDisplayAndProgram(first, program);
  FeedPart(first, "before", kBefore);
  SettledPixels(first);
  first.Stop();  // unplugged: the pipe is gone and so is the display's registration
  FeedPart(first, "away", kWhileAway);
  ASSERT_TRUE(program.WaitForOutput(kWriteFailed, kGenerousMs)) << program.Output();

  Simulator again("plugged_in_again");  // the same display, "B", found anew
  ASSERT_TRUE(again.Start()) << again.Output();
  ASSERT_TRUE(program.WaitForOutput(kWritesAgain, kGenerousMs)) << program.Output();
  FeedPart(again, "after", kAfter);
  EXPECT_EQ(SettledPixels(again), expectedPixels) << again.Text() << "expected:\n" << expectedText;
  EXPECT_EQ(again.Text(), expectedText);
  // Said once each, and the searches said nothing.
  const std::string output = program.Output();
  EXPECT_EQ(Occurrences(output, kWriteFailed), 1u) << output;
  EXPECT_EQ(Occurrences(output, kWritesAgain), 1u) << output;
  EXPECT_EQ(Occurrences(output, "Attempting to open"), 1u) << output;
}

// The screen a display that was there all along shows after kBefore and
// kWhileAway: 32 rows of pixels.
std::vector<std::string> ScreenThatStayed() {
  Simulator sim("idle_stayed");
  Program program;
  StartDisplayAndProgram(sim, program);
  FeedPart(sim, "before", kBefore);
  FeedPart(sim, "away", kWhileAway);
  return SettledPixels(sim);
}

// The display arrives late, goes and comes back, or is reset in place on
// resume, all while the software writes nothing: what Windows says (posted
// by the test display, as Windows would send it) must bring the screen back.
TEST(Recovery, TheScreenComesBackWithNoWriteFromTheSoftware) {
  const std::vector<std::string> expected = ScreenThatStayed();
  ASSERT_EQ(expected.size(), 32u);
  enum class Event { kArrivesLate, kReplugged, kResumed };
  const struct {
    const char* name;
    Event event;
    const char* said;  // in the program's output afterwards
  } rows[] = {
      {"lptlcd --wait, the display plugged in 3 s after the session", Event::kArrivesLate, "Found the display at "},
      {"unplugged for half a second and back", Event::kReplugged, kWritesAgain},
      {"resumed from sleep, the display reset in place", Event::kResumed, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Simulator sim("idle_first");
    Program program;
    if (row.event == Event::kArrivesLate) {
      ASSERT_TRUE(program.Start("--wait"));
      ASSERT_TRUE(program.WaitForOutput("Waiting for the display", kGenerousMs)) << program.Output();
    } else {
      StartDisplayAndProgram(sim, program);
    }
    FeedPart(sim, "before", kBefore);
    FeedPart(sim, "away", kWhileAway);
    Simulator again("idle_again");
    Simulator* shows = &sim;
    switch (row.event) {
      case Event::kArrivesLate:
        ::Sleep(3000);
        ASSERT_TRUE(sim.Start()) << sim.Output();
        break;
      case Event::kReplugged:
        ASSERT_EQ(SettledPixels(sim), expected);
        sim.Stop();
        ::Sleep(500);
        ASSERT_TRUE(again.Start()) << again.Output();
        shows = &again;
        break;
      case Event::kResumed:
        ASSERT_EQ(SettledPixels(sim), expected);
        ASSERT_TRUE(sim.PlayResume()) << sim.Output();
        break;
    }
    ASSERT_TRUE(WaitFor([&] { return shows->Pixels() == expected; }, kGenerousMs)) << shows->Text();
    EXPECT_EQ(SettledPixels(*shows), expected) << shows->Text();
    EXPECT_TRUE(program.WaitForOutput(row.said, kGenerousMs)) << program.Output();
  }
}

TEST(Recovery, ASecondCopyEndsAndTheFirstLosesNothing) {
  constexpr std::size_t kRecords = 200000;
  const std::string expectedText = FloodText(kRecords);

  Simulator sim("two_copies");
  Program program;
  StartDisplayAndProgram(sim, program);
  ChildProcess feed;
  ASSERT_TRUE(feed.Start(Quoted(LCDFEED_EXE) + " --flood " + std::to_string(kRecords) +
                         " --wait-drained --give-up 60000"));
  // The second copy starts while the first drains the flood.
  ASSERT_TRUE(WaitFor([&] { return !sim.Packets().empty() && TextCarriedBy(sim.Packets()).size() > 100; },
                      kGenerousMs));
  const ChildResult second = RunChild(Quoted(LPTLCD_EXE), {}, kGenerousMs);
  ASSERT_TRUE(second.finished);
  EXPECT_EQ(second.exitCode, 1u);
  EXPECT_EQ(second.out, kAlreadyRunningMessage);

  EXPECT_EQ(feed.WaitForExit(kFloodBoundMs), 0) << feed.Output() << feed.Errors();
  ASSERT_TRUE(WaitFor([&] { return TextCarriedBy(sim.Packets()).size() >= expectedText.size(); },
                      kFloodBoundMs));
  EXPECT_TRUE(TextCarriedBy(sim.Packets()) == expectedText) << "the flood arrived changed";
  EXPECT_TRUE(program.IsRunning());
}

}  // namespace
}  // namespace lptlcd::test
