// lcdfeed run as a separate process against a ring this test holds open,
// so what it delivered can be read back exactly.

#include <gtest/gtest.h>

#include "decoded.h"
#include "ring/ring_producer.h"
#include "tools/harness/child_process.h"
#include "tools/harness/ring_view_win32.h"
#include "tools/producer/flood_pattern.h"

namespace lptlcd {
namespace {

using test::Decode;
using Records = std::vector<PortWriteRecord>;
using Commands = std::vector<LcdCommand>;

const std::string kFeed = LCDFEED_EXE;

std::string Summary(std::uint64_t delivered, std::uint64_t batches, std::uint64_t undelivered) {
  return "lcdfeed: " + std::to_string(delivered) + " records delivered in " + std::to_string(batches) +
         " batches, " + std::to_string(undelivered) + " undelivered\n";
}

Commands TextCommands(const std::string& text) {
  Commands c;
  for (char ch : text) c.push_back(static_cast<LcdCommand>(0x100 | static_cast<unsigned char>(ch)));
  return c;
}

class LcdfeedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(RingAbsent()) << "another process of this Wine prefix holds the ring";
    // Keeps the objects alive between lcdfeed's runs, as lptlcd would.
    ASSERT_TRUE(keeper.Open()) << keeper.LastFailure().call;
    view = std::make_unique<RingView>();
    ASSERT_TRUE(view->IsOpen());
  }
  RingView& View() { return *view; }

  RingProducer keeper;
  std::unique_ptr<RingView> view;
};

// Record files and standard input: what is delivered, in how many batches,
// and where a bad token stops delivery (at its batch).
TEST_F(LcdfeedTest, RecordsArriveExactlyInBatches) {
  const struct {
    const char* name;
    const char* file;   // written to a file and given as --records FILE
    const char* input;  // else given on standard input, as --records -
    std::uint32_t status;
    std::string out;
    const char* err;  // after "lcdfeed: <file>: "
    Records drained;
  } cases[] = {
      {"a record file", "# A, then a pause\n7841 7A04 7A05 7A04 .\n78 7a00 # comment\n7A1 7A00\n.\n.\n1234",
       nullptr, 0, Summary(9, 3, 0), nullptr,
       {0x7841, 0x7A04, 0x7A05, 0x7A04, 0x0078, 0x7A00, 0x07A1, 0x7A00, 0x1234}},
      {"standard input", nullptr, "7841 7A05\n", 0, Summary(2, 1, 0), nullptr, {0x7841, 0x7A05}},
      {"a bad token", "7841 7A04 .\n7A05 7z05 7A04 .\n7A00\n", nullptr, 2, Summary(2, 1, 0),
       "line 2: bad token \"7z05\" (expected 1 to 4 hex digits or \".\")\n", {0x7841, 0x7A04}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = c.file != nullptr ? WriteTempFile("feed_records.txt", c.file) : "-";
    const ChildResult r = RunChild(kFeed + " --records " + file, c.input != nullptr ? c.input : "");
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, c.status) << r.err;
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err != nullptr ? "lcdfeed: " + file + ": " + c.err : "");
    EXPECT_EQ(View().Drain(), c.drained);
  }
}

TEST_F(LcdfeedTest, TextInBothWaveforms) {
  for (const char* waveform : {"normal", "inverted"}) {
    const ChildResult r = RunChild(kFeed + " --waveform " + waveform + " --text Hello \"big world\"");
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0u) << r.err;
    const Records records = View().Drain();
    Commands expected{0x38, 0x38, 0x38, 0x38, 0x0C, 0x06, 0x01, 0x80};
    for (LcdCommand c : TextCommands("Hello")) expected.push_back(c);
    expected.push_back(0xC0);
    for (LcdCommand c : TextCommands("big world")) expected.push_back(c);
    EXPECT_EQ(Decode(records), expected) << waveform;
    EXPECT_EQ(r.out, Summary(records.size(), 1, 0)) << waveform;
  }
}

TEST_F(LcdfeedTest, ScriptWithCustomCharacterAndCursorMoves) {
  const std::string file = WriteTempFile("feed_script.txt",
                                         "init\nchar 1 04 0e 1f 0e 04 00 00 00\n"
                                         "text 0 Go\nat 1 19\ndata 01\npause 5\nhome\n");
  const ChildResult r = RunChild(kFeed + " --script " + file);
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.exitCode, 0u) << r.err;
  EXPECT_EQ(r.out, Summary(4 * 22, 2, 0));
  EXPECT_EQ(Decode(View().Drain()),
            (Commands{0x38, 0x38, 0x38, 0x38, 0x0C, 0x06, 0x01, 0x48, 0x104, 0x10E, 0x11F, 0x10E, 0x104,
                      0x100, 0x100, 0x100, 0x80, 0x147, 0x16F, 0xD3, 0x101, 0x02}));
}

TEST_F(LcdfeedTest, BadScriptDeliversNothing) {
  const std::string file = WriteTempFile("feed_badscript.txt", "init\ntext 0 Hi\nat 3 0\n");
  const ChildResult r = RunChild(kFeed + " --script " + file);
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.exitCode, 2u);
  EXPECT_EQ(r.err, "lcdfeed: " + file + ": line 3: at needs a line 0-1 and a column 0-39\n");
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(View().Ring().count, 0);
}

TEST_F(LcdfeedTest, FullRingIsGivenUpAndReported) {
  View().Reset(0, 65530);
  const ChildResult r = RunChild(kFeed + " --give-up 200 --text AB");
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.exitCode, 1u);
  // init (7 bytes) + address + 2 characters = 10 bytes, 40 records; 5 fit.
  EXPECT_EQ(r.out, Summary(5, 1, 35));
  EXPECT_EQ(r.err, "lcdfeed: the ring accepted nothing for 200 ms: 35 records could not be delivered\n");
  EXPECT_EQ(View().Ring().count, 65535);
}

TEST_F(LcdfeedTest, FloodArrivesWholeAndInOrder) {
  DrainingThread program(View());
  ASSERT_TRUE(program.Started());
  const ChildResult r = RunChild(kFeed + " --flood 200000 --wait-drained");
  program.Stop();
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.exitCode, 0u) << r.err;
  FloodPattern pattern(Waveform::kNormal);
  Records expected;
  pattern.Next(200000, expected);
  EXPECT_EQ(program.Consumed(), expected);
  const auto screen = FloodScreen(200000, Waveform::kNormal);
  EXPECT_EQ(r.out, "lcdfeed: flood screen line 0: \"" + screen[0] + "\"\n" +
                       "lcdfeed: flood screen line 1: \"" + screen[1] + "\"\n" + Summary(200000, 13, 0));
}

TEST_F(LcdfeedTest, WaitDrainedWithoutTheProgramFails) {
  const ChildResult r = RunChild(kFeed + " --give-up 100 --wait-drained --text x");
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_EQ(r.err, "lcdfeed: the records were not consumed within 100 ms (is lptlcd running?)\n");
}

TEST_F(LcdfeedTest, UsageErrors) {
  struct Case {
    std::string args;
    std::string firstLine;
  } cases[] = {
      {"", "lcdfeed: nothing to feed: give --records, --text, --script or --flood"},
      {"--flood 12x", "lcdfeed: --flood needs a number of records"},
      {"--text a --flood 3", "lcdfeed: give only one of --records, --text, --script, --flood"},
      {"--waveform odd --text a", "lcdfeed: --waveform needs normal or inverted"},
      {"--text a --frobnicate", "lcdfeed: unknown option \"--frobnicate\""},
      {"--text " + std::string(41, 'a'), "lcdfeed: --text lines hold at most 40 characters"},
      {"--records no_such_file.txt", "lcdfeed: cannot open no_such_file.txt"},
  };
  for (const Case& c : cases) {
    const ChildResult r = RunChild(kFeed + " " + c.args);
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 2u) << c.args;
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.firstLine);
    EXPECT_EQ(View().Ring().count, 0) << c.args;
  }
}

}  // namespace
}  // namespace lptlcd
