// The phases of system_bench: what each measures is in system_bench_main_win32.cpp.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "bench/bench_stats.h"
#include "bench/process_cpu_win32.h"
#include "bench/system_bench.h"

namespace lptlcd::bench {

namespace {

std::string WinePrefix() {
  char value[MAX_PATH * 2] = {};
  const DWORD length = ::GetEnvironmentVariableA("WINEPREFIX", value, sizeof value);
  return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

}  // namespace

void Session::PrefixBaseline() {
  const std::string prefix = WinePrefix();
  const std::vector<unsigned long> serverPids =
      prefix.empty() ? std::vector<unsigned long>() : LinuxProcessesOfPrefix("wineserver", prefix);
  if (serverPids.size() != 1) return;
  Progress(Format("idle: %u s of the prefix before lptlcd starts", options.idleSeconds));
  const double wall0 = NowMs();
  const double server0 = LinuxCpuMs(serverPids[0]);
  ::Sleep(options.idleSeconds * 1000);
  const double server1 = LinuxCpuMs(serverPids[0]);
  const double wall = NowMs() - wall0;
  if (server0 < 0 || server1 < 0) return;
  baselineServerMs = server1 - server0;
  baselineServerPercent = baselineServerMs / wall * 100.0;
  Progress(Format("idle: the prefix alone: wineserver %.1f ms in %.0f ms", baselineServerMs, wall));
}

void Session::Idle() {
  const std::string prefix = WinePrefix();
  const std::vector<unsigned long> programPids =
      prefix.empty() ? std::vector<unsigned long>() : LinuxProcessesOfPrefix("lptlcd.exe", prefix);
  const std::vector<unsigned long> serverPids =
      prefix.empty() ? std::vector<unsigned long>() : LinuxProcessesOfPrefix("wineserver", prefix);
  const bool linuxSide = programPids.size() == 1 && serverPids.size() == 1;
  if (!linuxSide) {
    Progress(
        Format("idle: Linux side not measured (WINEPREFIX %s; %zu lptlcd, %zu wineserver "
               "processes of it found)",
               prefix.empty() ? "not set" : "set", programPids.size(), serverPids.size()));
  }

  ::Sleep(1000);  // past start-up
  const std::size_t packetsBefore = log.Count();
  Progress(Format("idle: %u s with nothing to do", options.idleSeconds));
  const double wall0 = NowMs();
  const double windows0 = ProcessCpuMs(program.Handle());
  const double linux0 = linuxSide ? LinuxCpuMs(programPids[0]) : -1.0;
  const double server0 = linuxSide ? LinuxCpuMs(serverPids[0]) : -1.0;
  ::Sleep(options.idleSeconds * 1000);
  const double windows1 = ProcessCpuMs(program.Handle());
  const double linux1 = linuxSide ? LinuxCpuMs(programPids[0]) : -1.0;
  const double server1 = linuxSide ? LinuxCpuMs(serverPids[0]) : -1.0;
  const double wall = NowMs() - wall0;
  const std::size_t packets = log.Count() - packetsBefore;

  const auto percent = [wall](double before, double after) {
    return before < 0 || after < 0 ? -1.0 : (after - before) / wall * 100.0;
  };
  // Wine 8 answers GetProcessTimes for another process with a total that
  // does not grow while the process runs: a figure that stands still while
  // the Linux side counts time is not a measurement.
  const bool windowsLive =
      windows0 >= 0 && windows1 >= 0 && !(windows1 == windows0 && linux1 > linux0 && linux0 >= 0);
  if (!windowsLive) {
    Progress(
        Format("idle: GetProcessTimes stays at %.1f ms for lptlcd.exe while Linux counts "
               "%.0f ms: it is not kept up to date for other processes here",
               windows0, linux1 - linux0));
  }
  const double windowsPercent = windowsLive ? percent(windows0, windows1) : -1.0;
  const double linuxPercent = percent(linux0, linux1);
  const double serverPercent = percent(server0, server1);
  Progress(
      Format("idle: %.0f ms; lptlcd.exe: GetProcessTimes %.1f ms, /proc %.1f ms; "
             "wineserver %.1f ms; %zu packets sent meanwhile",
             wall, windows1 - windows0, linux1 - linux0, server1 - server0, packets));

  const auto row = [&](const char* measure, double figure, double cpuMs, double limit) {
    const std::string target = limit < 0 ? "-" : Format("<= %.1f %% of one core", limit);
    if (figure < 0) {
      Emit(TableRow(measure, "not available", target, Verdict::kNoTarget));
      return;
    }
    Emit(TableRow(
        measure,
        Format("%.2f %% of one core (%.0f ms CPU in %.1f s)", figure, cpuMs, wall / 1000.0), target,
        limit < 0 ? Verdict::kNoTarget : AtMost(figure, limit)));
  };
  row(windowsLive ? "idle: lptlcd.exe CPU, GetProcessTimes (Wine)"
                  : "idle: lptlcd.exe CPU, GetProcessTimes (Wine does not keep it up to date)",
      windowsPercent, windows1 - windows0, 0.2);
  row("idle: lptlcd.exe CPU, Linux /proc of its Wine process", linuxPercent, linux1 - linux0, 0.2);
  row("idle: wineserver CPU meanwhile (for all the prefix's processes)", serverPercent,
      server1 - server0, -1);
  // Under Wine every wait with a time-out is the server's work too: the
  // cost of idling is what both spend (the server's includes the little the
  // prefix's other processes ask of it).
  row("idle: lptlcd.exe and wineserver together (Linux /proc)",
      linuxPercent < 0 || serverPercent < 0 ? -1.0 : linuxPercent + serverPercent,
      (linux1 - linux0) + (server1 - server0), 0.2);
  // The server's own share varies with what the prefix's services do (0.1
  // to 0.8 % here with lptlcd's process at 0): what lptlcd adds is the rest.
  row("idle: wineserver CPU before lptlcd.exe started (the prefix's own)", baselineServerPercent,
      baselineServerMs, -1);
  const double added = linuxPercent < 0 || serverPercent < 0 || baselineServerPercent < 0
                           ? -1.0
                           : std::max(0.0, linuxPercent + serverPercent - baselineServerPercent);
  row("idle: what lptlcd.exe adds, together less the prefix's own", added,
      std::max(0.0, (linux1 - linux0) + (server1 - server0) - baselineServerMs), 0.2);
}

void Session::Latency() {
  const std::size_t updates = options.updates;
  Progress(Format("latency: %zu characters, one at a time, 3 to 5 ms apart", updates));
  std::vector<double> latencies;
  latencies.reserve(updates);
  std::size_t wrong = 0;
  std::size_t missing = 0;
  for (std::size_t i = 0; i < updates; ++i) {
    const auto character = static_cast<std::uint8_t>('A' + i % 26);
    const std::vector<PortWriteRecord> records = {
        MakeRecord(kDataRegisterSelector, character),
        MakeRecord(kControlRegisterSelector, 0x04),
        MakeRecord(kControlRegisterSelector, 0x05),
        MakeRecord(kControlRegisterSelector, 0x04),
    };
    const Mirror::Counts expected = Mirrored(records);
    const std::size_t base = log.Count();
    if (const MutexLock lock = producer.Lock(5000)) {
      producer.Store(records.data(), records.size());
    } else {
      PhaseFailed("latency: event set to packet received, one character (Wine)",
                  "the ring's mutex stayed held");
      return;
    }
    const double signalled = NowMs();
    producer.Signal();
    if (!log.WaitForCount(base + expected.packets, 2000)) {
      ++missing;
      Drain(10000);
      continue;
    }
    if (expected.packets == 0) {
      ++wrong;  // the mirror says the character shows nowhere: nothing to time
      continue;
    }
    // One character, flushed alone: 02 01 <character>, the last packet of
    // the update. Every 40th comes after a cursor move (03), which is sent
    // at once: the address counter has run on to the other line.
    const StampedLog::Packet packet = log.At(base + expected.packets - 1);
    if (packet.bytes[0] != 0x02 || packet.bytes[1] != 0x01 || packet.bytes[2] != character) ++wrong;
    for (std::size_t k = base; k + 1 < base + expected.packets; ++k) {
      if (log.At(k).bytes[0] != 0x03) ++wrong;
    }
    latencies.push_back(packet.at - signalled);
    ::Sleep(3 + static_cast<DWORD>(i % 3));
  }
  const Summary summary = Summarize(latencies);
  Progress(
      Format("latency: %zu measured, %zu missing, %zu wrong packets; min %.3f, median %.3f, "
             "p99 %.3f, max %.3f ms",
             summary.count, missing, wrong, summary.min, summary.median, summary.p99, summary.max));
  const bool complete = missing == 0 && wrong == 0;
  const std::string note = complete ? "" : Format(" (%zu missing, %zu wrong)", missing, wrong);
  Emit(TableRow("latency: event set to packet received, one character (Wine), median",
                Format("%.3f ms over %zu updates%s", summary.median, summary.count, note.c_str()),
                "<= 1.5 ms",
                complete ? AtMost(summary.median, 1.5) : Verdict::kNotMet));
  Emit(TableRow("latency: same, 99th percentile", Format("%.3f ms", summary.p99), "<= 3 ms",
                complete ? AtMost(summary.p99, 3.0) : Verdict::kNotMet));
  Emit(TableRow("latency: same, maximum", Format("%.3f ms", summary.max), "-", Verdict::kNoTarget));
}

void Session::Wire() {
  const struct {
    bool clearFirst;
    const char* label;
  } kinds[] = {
      {false, "20x2 rewrite"},
      {true, "Clear Display + 20x2 rewrite"},
  };
  constexpr unsigned kRewrites = 5;
  unsigned frame = 0;
  for (const auto& kind : kinds) {
    std::vector<double> packetCounts;
    std::vector<double> microsecondsPerWrite;
    std::size_t fewest = 0;
    for (unsigned i = 0; i < kRewrites; ++i) {
      const std::vector<PortWriteRecord> records =
          RewriteStream(kind.clearFirst, ++frame);
      fewest = Mirrored(records).packets;
      const std::size_t base = log.Count();
      const double started = NowMs();
      if (!producer.AppendOneByOne(records)) {
        PhaseFailed(Format("wire: %s (Wine)", kind.label), "the ring stayed full or locked");
        return;
      }
      const double took = NowMs() - started;
      std::size_t own = 0;
      const std::size_t sentinel = Drain(10000, &own);
      if (sentinel == SIZE_MAX) {
        PhaseFailed(Format("wire: %s (Wine)", kind.label),
                    "lptlcd did not send the rewrite in 10 s");
        return;
      }
      const std::size_t packets = sentinel + 1 - own - base;
      packetCounts.push_back(static_cast<double>(packets));
      microsecondsPerWrite.push_back(took * 1000.0 / static_cast<double>(records.size()));
      Progress(
          Format("wire: %s, one port write at a time: %zu writes in %.1f ms, %zu packets "
                 "(%zu if delivered at once)",
                 kind.label, records.size(), took, packets, fewest));
    }
    const Summary packets = Summarize(packetCounts);
    const Summary perWrite = Summarize(microsecondsPerWrite);
    Emit(
        TableRow(Format("wire: %s, one port write at a time as the DLL does (Wine)", kind.label),
                 Format("%.0f packets (median of %zu, max %.0f; %zu at once; %.0f us a port write)",
                        packets.median, packets.count, packets.max, fewest, perWrite.median),
                 "< 40 (one a character)", AtMost(packets.max, 39)));
  }
}

void Session::Blocked(const char* label, const std::vector<PortWriteRecord>& pass) {
  Progress(Format("blocked: %u passes of a full ring, %s", options.repetitions, label));
  const std::string measure =
      Format("blocked: longest wait for the ring's mutex while a full ring drains, %s (Wine)", label);
  std::vector<double> longestWaitMs;
  std::vector<double> drainMs;
  std::vector<double> perCommandUs;
  std::size_t commandsInPass = 0;
  for (unsigned repetition = 0; repetition < options.repetitions; ++repetition) {
    // An empty pass first, so that lptlcd reckons with the command queue as
    // it is now (empty: everything sent before has arrived) and takes the
    // whole ring in one pass.
    producer.Signal();
    ::Sleep(50);
    const std::size_t base = log.Count();
    MutexLock lock = producer.Lock(5000);
    if (!lock) {
      PhaseFailed(measure, "the ring's mutex stayed held");
      return;
    }
    if (producer.Ring().count != 0 || producer.Store(pass.data(), pass.size()) != pass.size()) {
      lock.Release();
      PhaseFailed(measure, "the ring was not empty");
      return;
    }
    producer.Signal();
    const double released = NowMs();
    lock.Release();
    // A producer with a record to add every millisecond or so, until the
    // ring is empty: each time, how long it waits for the mutex. (Asking
    // without a pause would slow lptlcd down: under Wine every attempt is a
    // call to the wineserver.)
    double longest = 0.0;
    std::size_t waits = 0;
    for (;;) {
      const double asked = NowMs();
      MutexLock waited = producer.Lock(120000);
      if (!waited) {
        PhaseFailed(measure, "the mutex stayed held for 120 s");
        return;
      }
      const double got = NowMs();
      const std::size_t left = producer.Ring().count;
      waited.Release();
      longest = std::max(longest, got - asked);
      ++waits;
      if (left == 0) break;
      ::Sleep(1);
      if (got - released > 120000) {
        PhaseFailed(measure, "lptlcd did not drain the ring in 120 s");
        return;
      }
    }
    const double drained = NowMs() - released;
    const Mirror::Counts counts = Mirrored(pass, false);
    commandsInPass = counts.commands;
    longestWaitMs.push_back(longest);
    drainMs.push_back(drained);
    if (counts.commands > 0) perCommandUs.push_back(drained * 1000.0 / static_cast<double>(counts.commands));
    Progress(Format("blocked: pass %u: ring of %zu records (%zu commands) taken in %.1f ms; "
                    "longest of %zu waits for the mutex %.3f ms",
                    repetition + 1, pass.size(), counts.commands, drained, waits, longest));
    // Everything this pass queued must be executed before the next pass, or
    // that one would find the command queue part full.
    if (Drain(300000) == SIZE_MAX) {
      PhaseFailed(measure, "lptlcd did not catch up in 300 s");
      return;
    }
    Progress(Format("blocked: the display caught up %.0f ms after the pass (%zu packets)",
                    NowMs() - released, log.Count() - base));
  }
  const Summary longest = Summarize(longestWaitMs);
  const Summary drained = Summarize(drainMs);
  const Summary perCommand = Summarize(perCommandUs);
  Emit(TableRow(measure,
                Format("median %.3f ms, max %.3f ms (%zu passes of %zu records, %zu commands)",
                       longest.median, longest.max, longest.count, pass.size(), commandsInPass),
                "<= 5 ms", AtMost(longest.max, 5.0)));
  Emit(TableRow(Format("blocked: whole ring decoded and queued, %s (Wine)", label),
                Format("median %.1f ms, max %.1f ms; %.2f us a command", drained.median,
                       drained.max, perCommand.median),
                "<= 100 ms", AtMost(drained.median, 100.0)));
}

}  // namespace lptlcd::bench
