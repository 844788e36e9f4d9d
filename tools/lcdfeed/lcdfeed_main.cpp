// lcdfeed: writes port-write records into the shared ring the way an LCD
// program's port writes arrive there, for trying lptlcd out and for tests.
//
//   lcdfeed [options] --records FILE | --text LINE1 [LINE2] | --script FILE | --flood N
//
// Exit status: 0 all delivered; 1 ring unavailable, records undelivered or
// not drained in time; 2 usage or input error.

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "ring/ring_producer.h"
#include "ring/ring_records.h"
#include "tools/producer/flood_pattern.h"
#include "tools/producer/lcd_script.h"
#include "tools/producer/lcd_waveform.h"
#include "tools/producer/record_file.h"

namespace lptlcd {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
// Long enough for the display worker's one-millisecond idle flush to happen
// even on a loaded machine.
constexpr std::uint32_t kBatchPauseMs = 20;
constexpr std::size_t kFloodChunk = 16384;

const char kUsage[] =
    "usage: lcdfeed [--waveform normal|inverted] [--give-up MS] [--wait-drained]\n"
    "               (--records FILE | --text LINE1 [LINE2] | --script FILE | --flood N)\n"
    "  --records FILE   record file (hex records, '.' ends a batch; '-' reads stdin)\n"
    "  --text L1 [L2]   initialise the module and show one or two lines\n"
    "  --script FILE    init/text/write/at/char/home/clear/instr/data/pause/wait-drained\n"
    "  --flood N        N records of init, then text cycling ' '..'~', 20 per line\n"
    "  --waveform W     how enable is driven: normal (default) or inverted\n"
    "  --give-up MS     give up after MS ms without progress (default 2000)\n"
    "  --wait-drained   at the end, wait until lptlcd has consumed everything\n";

void Print(std::FILE* stream, const std::string& line) {
  std::fputs(line.c_str(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

int UsageError(const std::string& message) {
  Print(stderr, "lcdfeed: " + message);
  std::fputs(kUsage, stderr);
  std::fflush(stderr);
  return kExitUsage;
}

// Decimal without sign, at most `max`.
bool ParseCount(const std::string& text, std::uint64_t max, std::uint64_t& value) {
  if (text.empty() || text.size() > 19) return false;
  std::uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (v > max) return false;
  value = v;
  return true;
}

struct Options {
  enum class Source { kNone, kRecords, kText, kScript, kFlood };
  Source source = Source::kNone;
  std::string file;
  std::vector<std::string> lines;
  std::uint64_t flood = 0;
  Waveform waveform = Waveform::kNormal;
  std::uint32_t giveUpMs = 2000;
  bool waitDrained = false;
};

class Feeder {
 public:
  Feeder(RingProducer& producer, std::uint32_t giveUpAfterMs)
      : ring(producer), giveUpMs(giveUpAfterMs) {}

  // Delivers one batch, unless an earlier one was given up: then the records
  // are only counted, so nothing arrives out of order after a gap.
  void Deliver(const PortWriteRecord* records, std::size_t count, bool countsAsBatch = true) {
    if (count == 0) return;
    if (gaveUp) {
      undelivered += count;
      return;
    }
    const std::size_t done = ring.Append(records, count);
    delivered += done;
    if (countsAsBatch) ++batches;
    if (done < count) {
      undelivered += count - done;
      gaveUp = true;
    }
  }
  void Deliver(const std::vector<PortWriteRecord>& records) { Deliver(records.data(), records.size()); }

  void Pause(std::uint32_t ms) {
    if (!gaveUp) ::Sleep(ms);
  }

  bool WaitDrained() {
    if (gaveUp) return false;
    if (ring.WaitDrained()) return true;
    notDrained = true;
    return false;
  }

  // The summary on stdout; what went wrong on stderr. Returns the exit status
  // as far as delivery goes.
  int Report() const {
    Print(stdout, "lcdfeed: " + std::to_string(delivered) + " records delivered in " +
                      std::to_string(batches) + " batches, " + std::to_string(undelivered) +
                      " undelivered");
    if (undelivered != 0) {
      Print(stderr, "lcdfeed: the ring accepted nothing for " + std::to_string(giveUpMs) + " ms: " +
                        std::to_string(undelivered) + " records could not be delivered");
      return kExitFailed;
    }
    if (notDrained) {
      Print(stderr, "lcdfeed: the records were not consumed within " + std::to_string(giveUpMs) +
                        " ms (is lptlcd running?)");
      return kExitFailed;
    }
    return kExitOk;
  }

 private:
  RingProducer& ring;
  std::uint32_t giveUpMs;
  std::uint64_t delivered = 0;
  std::uint64_t undelivered = 0;
  std::uint64_t batches = 0;
  bool gaveUp = false;
  bool notDrained = false;
};

int FeedRecords(Feeder& feeder, std::istream& in, const std::string& name) {
  RecordFileTokenizer tokens(in);
  std::vector<PortWriteRecord> batch;
  bool batchStarted = false;  // part of the batch already went out
  for (;;) {
    const RecordToken t = tokens.Next();
    switch (t.kind) {
      case RecordToken::Kind::kRecord:
        batch.push_back(t.record);
        // A batch beyond the ring's size goes out in pieces anyway; do not
        // hold an unbounded file in memory for it.
        if (batch.size() == kRingMaxPending) {
          feeder.Deliver(batch.data(), batch.size(), !batchStarted);
          batchStarted = true;
          batch.clear();
        }
        break;
      case RecordToken::Kind::kBatchEnd:
        feeder.Deliver(batch.data(), batch.size(), !batchStarted);
        batch.clear();
        batchStarted = false;
        feeder.Pause(kBatchPauseMs);
        break;
      case RecordToken::Kind::kEnd:
        feeder.Deliver(batch.data(), batch.size(), !batchStarted);
        return kExitOk;
      case RecordToken::Kind::kError:
        // The batch with the bad token is dropped whole: half a batch could
        // end inside an enable pulse.
        Print(stderr, "lcdfeed: " + name + ": " + tokens.ErrorMessage());
        return kExitUsage;
    }
  }
}

int FeedScript(Feeder& feeder, const std::vector<ScriptStep>& steps) {
  for (const ScriptStep& step : steps) {
    switch (step.kind) {
      case ScriptStep::Kind::kRecords:
        feeder.Deliver(step.records);
        break;
      case ScriptStep::Kind::kPause:
        feeder.Pause(step.pauseMs);
        break;
      case ScriptStep::Kind::kWaitDrained:
        feeder.WaitDrained();
        break;
    }
  }
  return kExitOk;
}

void FeedFlood(Feeder& feeder, std::uint64_t count, Waveform waveform) {
  FloodPattern pattern(waveform);
  std::vector<PortWriteRecord> chunk;
  while (count > 0) {
    const std::size_t n = count < kFloodChunk ? static_cast<std::size_t>(count) : kFloodChunk;
    chunk.clear();
    pattern.Next(n, chunk);
    feeder.Deliver(chunk);
    count -= n;
  }
}

int ParseOptions(int argc, char** argv, Options& options) {
  using Source = Options::Source;
  auto setSource = [&](Source source) {
    if (options.source != Source::kNone) return false;
    options.source = source;
    return true;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--records" || arg == "--script") {
      if (!hasValue) return UsageError(arg + " needs a file");
      if (!setSource(arg == "--records" ? Source::kRecords : Source::kScript)) {
        return UsageError("give only one of --records, --text, --script, --flood");
      }
      options.file = argv[++i];
    } else if (arg == "--text") {
      if (!hasValue) return UsageError("--text needs one or two lines");
      if (!setSource(Source::kText)) {
        return UsageError("give only one of --records, --text, --script, --flood");
      }
      options.lines.push_back(argv[++i]);
      if (i + 1 < argc && std::string(argv[i + 1]).rfind("--", 0) != 0) options.lines.push_back(argv[++i]);
      for (const std::string& line : options.lines) {
        if (line.size() > hd44780::kTwoLineLength) {
          return UsageError("--text lines hold at most 40 characters");
        }
      }
    } else if (arg == "--flood") {
      if (!hasValue || !ParseCount(argv[i + 1], UINT64_MAX / 2, options.flood)) {
        return UsageError("--flood needs a number of records");
      }
      ++i;
      if (!setSource(Source::kFlood)) {
        return UsageError("give only one of --records, --text, --script, --flood");
      }
    } else if (arg == "--waveform") {
      if (!hasValue || !ParseWaveform(argv[i + 1], options.waveform)) {
        return UsageError("--waveform needs normal or inverted");
      }
      ++i;
    } else if (arg == "--give-up") {
      std::uint64_t ms = 0;
      if (!hasValue || !ParseCount(argv[i + 1], 3600000, ms)) {
        return UsageError("--give-up needs milliseconds (0-3600000)");
      }
      options.giveUpMs = static_cast<std::uint32_t>(ms);
      ++i;
    } else if (arg == "--wait-drained") {
      options.waitDrained = true;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      std::fflush(stdout);
      return -1;
    } else {
      return UsageError("unknown option \"" + arg + "\"");
    }
  }
  if (options.source == Source::kNone) {
    return UsageError("nothing to feed: give --records, --text, --script or --flood");
  }
  return kExitOk;
}

int Run(int argc, char** argv) {
  Options options;
  if (const int status = ParseOptions(argc, argv, options); status != kExitOk) {
    return status < 0 ? kExitOk : status;
  }

  // Everything that can be checked before touching the ring is checked
  // first, so a bad script or a missing file delivers nothing.
  std::ifstream file;
  std::vector<ScriptStep> steps;
  if (options.source == Options::Source::kRecords && options.file != "-") {
    file.open(options.file, std::ios::binary);
    if (!file) {
      Print(stderr, "lcdfeed: cannot open " + options.file);
      return kExitUsage;
    }
  }
  if (options.source == Options::Source::kScript) {
    std::ifstream script(options.file, std::ios::binary);
    if (!script) {
      Print(stderr, "lcdfeed: cannot open " + options.file);
      return kExitUsage;
    }
    std::string error;
    if (!ParseLcdScript(script, options.waveform, steps, error)) {
      Print(stderr, "lcdfeed: " + options.file + ": " + error);
      return kExitUsage;
    }
  }

  RingProducerOptions ringOptions;
  ringOptions.giveUpMs = options.giveUpMs;
  RingProducer ring(ringOptions);
  if (!ring.Open()) {
    const RingObjectsFailure& failure = ring.LastFailure();
    Print(stderr, std::string("lcdfeed: cannot open the shared ring: ") + failure.call + "(" +
                      failure.object + ") failed (error " + std::to_string(failure.error) + ")");
    return kExitFailed;
  }
  Feeder feeder(ring, options.giveUpMs);
  int inputStatus = kExitOk;
  switch (options.source) {
    case Options::Source::kRecords:
      inputStatus = options.file == "-" ? FeedRecords(feeder, std::cin, "stdin")
                                        : FeedRecords(feeder, file, options.file);
      break;
    case Options::Source::kText: {
      LcdRecordWriter writer(options.waveform);
      writer.Init();
      for (std::size_t line = 0; line < options.lines.size(); ++line) {
        writer.TextAt(static_cast<unsigned>(line), options.lines[line]);
      }
      feeder.Deliver(writer.Records());
      break;
    }
    case Options::Source::kScript:
      inputStatus = FeedScript(feeder, steps);
      break;
    case Options::Source::kFlood: {
      FeedFlood(feeder, options.flood, options.waveform);
      const auto screen = FloodScreen(options.flood, options.waveform);
      Print(stdout, "lcdfeed: flood screen line 0: \"" + screen[0] + "\"");
      Print(stdout, "lcdfeed: flood screen line 1: \"" + screen[1] + "\"");
      break;
    }
    case Options::Source::kNone:
      break;
  }
  if (options.waitDrained && inputStatus == kExitOk) feeder.WaitDrained();
  const int deliveryStatus = feeder.Report();
  return inputStatus != kExitOk ? inputStatus : deliveryStatus;
}

}  // namespace
}  // namespace lptlcd

int main(int argc, char** argv) { return lptlcd::Run(argc, argv); }
