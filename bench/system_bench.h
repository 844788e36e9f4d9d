#pragma once
// system_bench: the real lptlcd.exe between a producer and a display, both
// played by this program, so that one clock (QueryPerformanceCounter) sees
// both ends. The session sets the two up and runs the phases; each phase
// prints progress on standard error and its table rows (bench/bench_stats.h)
// on standard output.

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "bench/bench_streams.h"
#include "bench/stamped_log_win32.h"
#include "common/locks.h"
#include "ring/ring_objects.h"
#include "ring/ring_records.h"
#include "tools/displayhost/display_host.h"
#include "tools/harness/child_process.h"

namespace lptlcd::bench {

void Progress(const std::string& line);
void Emit(const std::string& row);

struct Options {
  std::string lptlcd = LPTLCD_EXE;
  unsigned idleSeconds = 10;
  unsigned updates = 1000;
  unsigned repetitions = 5;
  std::string phases = "idle,latency,wire,blocked";
};

// The ring as a producer sees it, step by step, so that each step can be
// timed: lock, store after what is pending, unlock, signal.
class BenchProducer {
 public:
  bool Open() { return CreateRingObjects(objects); }
  MutexLock Lock(DWORD boundMs) const { return AcquireMutex(objects.mutex.Get(), boundMs); }
  void Signal() const { ::SetEvent(objects.event.Get()); }
  PortWriteRing& Ring() const { return *objects.view; }
  // With the mutex held: appends what fits; returns how many did.
  std::size_t Store(const PortWriteRecord* records, std::size_t count) const {
    return AppendRecords(Ring(), records, count);
  }
  // As the port-I/O DLL does it: one lock, store and signal per record.
  bool AppendOneByOne(const std::vector<PortWriteRecord>& records) const;
  // Records still pending, read under the mutex; more than the ring holds
  // when it cannot be had.
  std::size_t Pending() const;

 private:
  RingObjects objects;
};

class Session {
 public:
  explicit Session(Options sessionOptions);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Registers the display, serves its pipe, opens the ring and starts
  // lptlcd.exe; false, having said why, when any of it fails.
  bool Start();
  bool Wants(const char* phase) const;

  // The wineserver's CPU time over the idle phase's length before lptlcd
  // starts: what the prefix's own processes ask of it (call before Start).
  void PrefixBaseline();

  // The phases (system_bench_phases_win32.cpp).
  void Idle();
  void Latency();
  void Wire();
  void Blocked(const char* label, const std::vector<PortWriteRecord>& pass);

  // Phases that could not finish their measurement.
  unsigned Failures() const { return failures; }

 private:
  // A phase that stops before its figures are complete still leaves a row,
  // so the table never just lacks a measure.
  void PhaseFailed(const std::string& measure, const std::string& why);

  // Sends records through the mirror too, which follows lptlcd's decoder
  // record for record.
  Mirror::Counts Mirrored(const std::vector<PortWriteRecord>& records, bool flushAfter = true) {
    return mirror.Feed(records, flushAfter);
  }

  // Sends the sentinel once the ring has room for it and waits for its
  // packet, which comes only once the program has executed everything
  // before it. The index of that packet, or SIZE_MAX after boundMs; `own`
  // says how many packets the sentinel itself made (those before its index
  // that are not the burst's).
  std::size_t Drain(DWORD boundMs, std::size_t* own = nullptr);

  Options options;
  StampedLog log;
  DisplayRegistration registration;
  DisplayPipeServer server;
  BenchProducer producer;
  ChildProcess program;
  Mirror mirror;
  unsigned failures = 0;
  // From PrefixBaseline; negative when not measured.
  double baselineServerPercent = -1.0;
  double baselineServerMs = 0.0;
};

}  // namespace lptlcd::bench
