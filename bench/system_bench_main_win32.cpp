// The real lptlcd.exe between a producer and a display, both played by this
// program, so that one clock (QueryPerformanceCounter) sees both ends:
//
//   idle     CPU time lptlcd.exe uses with nothing to do (GetProcessTimes, and
//            the Linux side's /proc for the Wine process and its wineserver)
//   latency  from setting the ring's event after one character to the
//            display's pipe receiving its packet
//   wire     packets for a 20x2 rewrite delivered one port write at a time,
//            as the port-I/O DLL delivers them
//   blocked  while lptlcd drains a full ring, the longest a producer waits
//            for the ring's mutex, and how long the whole ring takes
//
//   system_bench [--lptlcd PATH] [--idle-seconds N] [--updates N]
//                [--repetitions N] [--phases idle,latency,wire,blocked]
//
// Run it under Wine in a prefix where no other lptlcd runs. Progress goes to
// standard error, the table rows (see bench/bench_stats.h) to standard output.
// Exit status: 0 measured, 1 the set-up failed, 2 a bad command line.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/system_bench.h"

namespace {

bool ParseUnsigned(const char* text, unsigned& value) {
  char* end = nullptr;
  const unsigned long parsed = std::strtoul(text, &end, 10);
  if (end == text || *end != '\0' || parsed == 0 || parsed > 1000000) return false;
  value = static_cast<unsigned>(parsed);
  return true;
}

// A comma-separated list of one or more of the four phases.
bool KnownPhases(const std::string& list) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = list.find(',', start);
    const std::string phase =
        list.substr(start, comma == std::string::npos ? comma : comma - start);
    if (phase != "idle" && phase != "latency" && phase != "wire" && phase != "blocked")
      return false;
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

bool ParseOptions(int argc, char** argv, lptlcd::bench::Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (i + 1 >= argc) return false;
    const char* value = argv[++i];
    if (name == "--lptlcd") {
      options.lptlcd = value;
    } else if (name == "--idle-seconds") {
      if (!ParseUnsigned(value, options.idleSeconds)) return false;
    } else if (name == "--updates") {
      if (!ParseUnsigned(value, options.updates)) return false;
    } else if (name == "--repetitions") {
      if (!ParseUnsigned(value, options.repetitions)) return false;
    } else if (name == "--phases") {
      options.phases = value;
      if (!KnownPhases(options.phases)) return false;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  lptlcd::bench::Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: system_bench [--lptlcd PATH] [--idle-seconds N] [--updates N]\n"
                 "                    [--repetitions N] [--phases idle,latency,wire,blocked]\n");
    return 2;
  }
  // Short sleeps mean what they say on Windows too.
  ::timeBeginPeriod(1);
  lptlcd::bench::Session session(options);
  if (session.Wants("idle")) session.PrefixBaseline();
  if (!session.Start()) return 1;
  if (session.Wants("idle")) session.Idle();
  if (session.Wants("latency")) session.Latency();
  if (session.Wants("wire")) session.Wire();
  if (session.Wants("blocked")) {
    session.Blocked("realistic stream",
                    lptlcd::bench::Repeated(lptlcd::bench::RealisticStream(), lptlcd::kRingMaxPending));
    session.Blocked("all-strobe stream", lptlcd::bench::AllStrobeStream(lptlcd::kRingMaxPending));
  }
  lptlcd::bench::Progress(session.Failures() == 0 ? "done" : "done, with phases that could not finish");
  return session.Failures() == 0 ? 0 : 1;
}
