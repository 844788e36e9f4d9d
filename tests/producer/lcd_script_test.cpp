#include "tools/producer/lcd_script.h"

#include <gtest/gtest.h>

#include <sstream>

#include "decoded.h"

namespace lptlcd {
namespace {

using test::Decode;
using Commands = std::vector<LcdCommand>;
using Kind = ScriptStep::Kind;

bool Parse(const std::string& text, std::vector<ScriptStep>& steps, std::string& error,
           Waveform waveform = Waveform::kNormal) {
  std::istringstream in(text);
  return ParseLcdScript(in, waveform, steps, error);
}

TEST(LcdScript, EveryCommandThroughTheDecoder) {
  std::vector<ScriptStep> steps;
  std::string error;
  ASSERT_TRUE(Parse("# demo\n"
                    "init\n"
                    "text 0 Hi there\n"
                    "text 1  x\n"
                    "at 1 5\n"
                    "write A#B\n"
                    "char 3 1f 11 11 11 11 11 1F 0\n"
                    "home\n"
                    "clear\n"
                    "instr 0c\n"
                    "data 41\n",
                    steps, error))
      << error;
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0].kind, Kind::kRecords);
  Commands expected{0x38, 0x38, 0x38, 0x38, 0x0C, 0x06, 0x01, 0x80};
  for (char c : std::string("Hi there")) expected.push_back(static_cast<LcdCommand>(0x100 | c));
  // One blank separates the line number from the text; the second is text.
  expected.insert(expected.end(), {0xC0, 0x120, 0x178, 0xC5, 0x141, 0x123, 0x142});
  expected.insert(expected.end(), {0x58, 0x11F, 0x111, 0x111, 0x111, 0x111, 0x111, 0x11F, 0x100});
  expected.insert(expected.end(), {0x02, 0x01, 0x0C, 0x141});
  EXPECT_EQ(Decode(steps[0].records), expected);
}

TEST(LcdScript, PausesAndWaitsSplitTheBatches) {
  std::vector<ScriptStep> steps;
  std::string error;
  ASSERT_TRUE(Parse("data 41\npause 200\npause 0\ndata 42\nwait-drained\n", steps, error)) << error;
  ASSERT_EQ(steps.size(), 5u);
  EXPECT_EQ(steps[0].kind, Kind::kRecords);
  EXPECT_EQ(Decode(steps[0].records), (Commands{0x141}));
  EXPECT_EQ(steps[1].kind, Kind::kPause);
  EXPECT_EQ(steps[1].pauseMs, 200u);
  EXPECT_EQ(steps[2].kind, Kind::kPause);
  EXPECT_EQ(steps[2].pauseMs, 0u);
  EXPECT_EQ(steps[3].kind, Kind::kRecords);
  EXPECT_EQ(Decode(steps[3].records), (Commands{0x142}));
  EXPECT_EQ(steps[4].kind, Kind::kWaitDrained);
}

TEST(LcdScript, WaveformCarriesAcrossBatches) {
  // The second batch changes register select; the inverted waveform must
  // still set it up at rest, as it would within one batch.
  std::vector<ScriptStep> steps;
  std::string error;
  ASSERT_TRUE(Parse("instr 80\npause 1\ndata 41\n", steps, error, Waveform::kInverted)) << error;
  ASSERT_EQ(steps.size(), 3u);
  EXPECT_EQ(steps[2].records, (std::vector<PortWriteRecord>{0x7A07, 0x7841, 0x7A06, 0x7A07}));
}

TEST(LcdScript, ErrorsNameTheLine) {
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"init\ntxet 0 a\n", "line 2: unknown command \"txet\""},
      {"text 2 a", "line 1: text needs a line number 0 or 1"},
      {"text", "line 1: text needs a line number 0 or 1"},
      {"at 1 40", "line 1: at needs a line 0-1 and a column 0-39"},
      {"at 1", "line 1: at needs a line 0-1 and a column 0-39"},
      {"char 8 0 0 0 0 0 0 0 0", "line 1: char needs a code 0-7 and eight hex rows"},
      {"char 1 0 0 0 0 0 0 0", "line 1: char needs a code 0-7 and eight hex rows"},
      {"char 1 0 0 0 0 0 0 0 100", "line 1: char needs a code 0-7 and eight hex rows"},
      {"instr", "line 1: instr needs one hex byte"},
      {"data 1g", "line 1: data needs one hex byte"},
      {"pause 60001", "line 1: pause needs milliseconds 0-60000"},
      {"pause -1", "line 1: pause needs milliseconds 0-60000"},
      {"init now", "line 1: init takes no arguments"},
      {"\n\n  \x01x", "line 3: unknown command \"?x\""},
  };
  for (const Case& c : cases) {
    std::vector<ScriptStep> steps;
    std::string error;
    EXPECT_FALSE(Parse(c.text, steps, error)) << c.text;
    EXPECT_EQ(error, c.error);
    EXPECT_TRUE(steps.empty());
  }
}

TEST(LcdScript, EmptyScriptHasNoSteps) {
  std::vector<ScriptStep> steps;
  std::string error;
  EXPECT_TRUE(Parse("\n# only a comment\n", steps, error));
  EXPECT_TRUE(steps.empty());
}

}  // namespace
}  // namespace lptlcd
