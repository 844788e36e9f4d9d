#include "tools/lcdsim/options.h"

#include <gtest/gtest.h>

#include <iterator>
#include <utility>

namespace lptlcd::sim {
namespace {

SimOptions ParseSim(const std::vector<std::string>& args) {
  SimOptions options;
  std::string error;
  EXPECT_TRUE(ParseSimOptions(args, options, error)) << error;
  return options;
}

std::string SimError(const std::vector<std::string>& args) {
  SimOptions options;
  std::string error;
  EXPECT_FALSE(ParseSimOptions(args, options, error));
  return error;
}

std::string ViewError(const std::vector<std::string>& args) {
  ViewOptions options;
  std::string error;
  EXPECT_FALSE(ParseViewOptions(args, options, error));
  return error;
}

TEST(SimOptions, DefaultIsOneOpenableDisplayBServed) {
  const SimOptions options = ParseSim({});
  ASSERT_EQ(options.displays.size(), 1u);
  EXPECT_EQ(options.displays[0].id, "B");
  EXPECT_EQ(options.displays[0].kind, DisplayKind::kOpenable);
  EXPECT_TRUE(options.servePipe);
  EXPECT_EQ(options.seconds, 0);
  EXPECT_FALSE(options.show);
}

TEST(SimOptions, DisplaysKeepTheirOrderAndKinds) {
  const SimOptions options = ParseSim({"--display", "A:unopenable", "--display", "C:openable", "--display", "b",
                                       "--display", "D:nopipe", "--no-pipe"});
  const std::pair<const char*, DisplayKind> expected[] = {{"A", DisplayKind::kUnopenable},
                                                          {"C", DisplayKind::kOpenable},
                                                          {"b", DisplayKind::kOpenable},
                                                          {"D", DisplayKind::kNoPipe}};
  ASSERT_EQ(options.displays.size(), std::size(expected));
  for (std::size_t i = 0; i < options.displays.size(); ++i) {
    EXPECT_EQ(options.displays[i].id, expected[i].first);
    EXPECT_EQ(options.displays[i].kind, expected[i].second) << expected[i].first;
    // lcdsim names each display's kind as the command line does.
    const std::string spec = options.displays[i].id + ":" + DisplayKindName(options.displays[i].kind);
    EXPECT_EQ(ParseSim({"--display", spec}).displays.at(0).kind, expected[i].second) << spec;
  }
  EXPECT_FALSE(options.servePipe);
}

TEST(SimOptions, TakesEveryOutputOption) {
  const SimOptions options =
      ParseSim({"--log", "p.log", "--png", "s.png", "--scale", "16", "--pbm", "s.pbm", "--text-dump", "s.txt",
                "--files-on-idle", "--show", "--show-final", "--ascii", "--seconds", "86400", "--stop-event",
                "lcdsim-stop", "--pause-event", "lcdsim-pause", "--resume-event", "lcdsim-resume"});
  EXPECT_EQ(options.logPath, "p.log");
  EXPECT_EQ(options.output.png, "s.png");
  EXPECT_EQ(options.output.scale, 16);
  EXPECT_EQ(options.output.pbm, "s.pbm");
  EXPECT_EQ(options.output.textDump, "s.txt");
  EXPECT_TRUE(options.output.ascii);
  EXPECT_TRUE(options.filesOnIdle);
  EXPECT_TRUE(options.show);
  EXPECT_TRUE(options.showFinal);
  EXPECT_EQ(options.seconds, 86400);
  EXPECT_EQ(options.stopEvent, "lcdsim-stop");
  EXPECT_EQ(options.pauseEvent, "lcdsim-pause");
  EXPECT_EQ(options.resumeEvent, "lcdsim-resume");
}

TEST(SimOptions, RefusesIdsThatWouldBreakTheDevicePath) {
  EXPECT_EQ(SimError({"--display", "B#1"}), "--display B#1: the id is 1 to 32 letters, digits, '_', '-' or '.'");
  EXPECT_NE(SimError({"--display", "a\\b"}), "");
  EXPECT_NE(SimError({"--display", ":openable"}), "");
  EXPECT_NE(SimError({"--display", std::string(33, 'x')}), "");
  EXPECT_EQ(SimError({"--display", "B:broken"}), "--display B:broken: the kind is openable, unopenable or nopipe");
  EXPECT_NE(SimError({"--display", "B:no-pipe"}), "");
  EXPECT_EQ(SimError({"--display", "B", "--display", "b:unopenable"}), "--display b is given twice");
}

TEST(SimOptions, RefusesBadNumbersAndUnknownOptions) {
  EXPECT_EQ(SimError({"--seconds", "0"}), "--seconds wants a whole number from 1 to 86400, not '0'");
  EXPECT_NE(SimError({"--seconds", "-5"}), "");
  EXPECT_NE(SimError({"--seconds", "5s"}), "");
  EXPECT_NE(SimError({"--seconds", "86401"}), "");
  EXPECT_NE(SimError({"--seconds", "99999999999999"}), "");
  EXPECT_EQ(SimError({"--scale", "0"}), "--scale wants a whole number from 1 to 16, not '0'");
  EXPECT_EQ(SimError({"--log"}), "--log needs a value");
  EXPECT_EQ(SimError({"--resume-event"}), "--resume-event needs a value");
  EXPECT_EQ(SimError({"--png", ""}), "--png needs a value");
  EXPECT_EQ(SimError({"--verbose"}), "unknown option --verbose");
  EXPECT_EQ(SimError({"extra"}), "unknown option extra");
}

TEST(ViewOptions, PrintsTheScreenWhenNoFileIsAskedFor) {
  ViewOptions options;
  std::string error;
  ASSERT_TRUE(ParseViewOptions({"session.log"}, options, error)) << error;
  EXPECT_EQ(options.logPath, "session.log");
  EXPECT_TRUE(options.show);

  ASSERT_TRUE(ParseViewOptions({"--png", "s.png", "-"}, options, error)) << error;
  EXPECT_EQ(options.logPath, "-");
  EXPECT_FALSE(options.show);
  EXPECT_EQ(options.output.scale, 4);

  ASSERT_TRUE(ParseViewOptions({"--text-dump", "t.txt", "--show", "--ascii", "x.log"}, options, error));
  EXPECT_TRUE(options.show);
  EXPECT_TRUE(options.output.ascii);
}

TEST(Options, HelpAsksForTheUsageWhateverElseIsGiven) {
  EXPECT_TRUE(ParseSim({"--help"}).help);
  EXPECT_TRUE(ParseSim({"--log", "x.log", "-h"}).help);
  EXPECT_FALSE(ParseSim({}).help);
  ViewOptions view;
  std::string error;
  EXPECT_TRUE(ParseViewOptions({"--help"}, view, error)) << error;
  EXPECT_TRUE(view.help);
}

TEST(ViewOptions, NeedsExactlyOneLog) {
  EXPECT_EQ(ViewError({}), "no log file given");
  EXPECT_EQ(ViewError({"a.log", "b.log"}), "only one log file can be replayed");
  EXPECT_EQ(ViewError({"--seconds", "3", "a.log"}), "unknown option --seconds");
  EXPECT_EQ(ViewError({"a.log", "--pbm"}), "--pbm needs a value");
}

}  // namespace
}  // namespace lptlcd::sim
