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

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_stats.h"
#include "bench/bench_streams.h"
#include "capture/ring_objects.h"
#include "child_process.h"
#include "tools/displayhost/display_host.h"
#include "tools/producer/lcd_waveform.h"

namespace {

using lptlcd::PortWriteRecord;
using lptlcd::bench::Format;
using lptlcd::bench::Summarize;
using lptlcd::bench::Summary;
using lptlcd::bench::TableRow;
using lptlcd::bench::Verdict;

constexpr std::size_t kFullRing = 65535;

double NowMs() {
  static const double ticksPerMs = [] {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart) / 1000.0;
  }();
  LARGE_INTEGER counter;
  ::QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / ticksPerMs;
}

void Progress(const std::string& line) {
  std::fprintf(stderr, "system_bench: %s\n", line.c_str());
  std::fflush(stderr);
}

void Emit(const std::string& row) {
  std::fputs(row.c_str(), stdout);
  std::fflush(stdout);
}

// Sent after a burst: Set DDRAM Address 0x80, which flushes whatever is
// pending and ends CGRAM mode, then the character 0xFF, which no stream here
// writes. Its packet, 02 01 ff, is sent after everything before it has been
// executed.
std::vector<PortWriteRecord> SentinelRecords() {
  lptlcd::LcdRecordWriter writer(lptlcd::Waveform::kNormal);
  writer.Instruction(0x80);
  writer.Data(0xFF);
  return writer.TakeRecords();
}

const std::vector<std::uint8_t>& SentinelPacketHead() {
  static const std::vector<std::uint8_t> head = {0x02, 0x01, 0xFF};
  return head;
}

// ------------------------------------------------------------ the display

// Every packet the display's pipe receives, stamped on arrival.
class StampedLog {
 public:
  struct Packet {
    double at;
    std::array<std::uint8_t, 8> bytes;
  };

  StampedLog() : changed_(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
    ::InitializeCriticalSection(&lock_);
  }
  ~StampedLog() { ::DeleteCriticalSection(&lock_); }
  StampedLog(const StampedLog&) = delete;
  StampedLog& operator=(const StampedLog&) = delete;

  void Add(const std::uint8_t* bytes) {
    Packet packet;
    packet.at = NowMs();
    std::memcpy(packet.bytes.data(), bytes, packet.bytes.size());
    ::EnterCriticalSection(&lock_);
    packets_.push_back(packet);
    ::LeaveCriticalSection(&lock_);
    ::SetEvent(changed_.Get());
  }

  std::size_t Count() const {
    ::EnterCriticalSection(&lock_);
    const std::size_t count = packets_.size();
    ::LeaveCriticalSection(&lock_);
    return count;
  }

  Packet At(std::size_t index) const {
    ::EnterCriticalSection(&lock_);
    const Packet packet = packets_[index];
    ::LeaveCriticalSection(&lock_);
    return packet;
  }

  // Waits until at least `count` packets have arrived; false after boundMs.
  bool WaitForCount(std::size_t count, DWORD boundMs) const {
    const double deadline = NowMs() + boundMs;
    while (Count() < count) {
      const double left = deadline - NowMs();
      if (left <= 0) return false;
      ::WaitForSingleObject(changed_.Get(), static_cast<DWORD>(left) + 1);
    }
    return true;
  }

  // Waits for a packet that starts with `head`, at index `from` or later;
  // its index, or SIZE_MAX after boundMs.
  std::size_t WaitForPacket(std::size_t from, const std::vector<std::uint8_t>& head,
                            DWORD boundMs) const {
    const double deadline = NowMs() + boundMs;
    for (std::size_t next = from;;) {
      for (const std::size_t count = Count(); next < count; ++next) {
        const Packet packet = At(next);
        if (std::equal(head.begin(), head.end(), packet.bytes.begin())) return next;
      }
      const double left = deadline - NowMs();
      if (left <= 0) return SIZE_MAX;
      ::WaitForSingleObject(changed_.Get(), static_cast<DWORD>(left) + 1);
    }
  }

 private:
  mutable CRITICAL_SECTION lock_;
  lptlcd::UniqueKernelHandle changed_;
  std::vector<Packet> packets_;
};

// ------------------------------------------------------------ the producer

// The ring as a producer sees it: lock, store after what is pending, raise
// the count, unlock, signal.
class Producer {
 public:
  bool Open() { return lptlcd::CreateRingObjects(objects_); }
  HANDLE Mutex() const { return objects_.mutex.Get(); }
  lptlcd::PortWriteRing& Ring() const { return *objects_.view.Ring(); }

  bool Lock(DWORD boundMs) const {
    const DWORD result = ::WaitForSingleObject(Mutex(), boundMs);
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
  }
  void Unlock() const { ::ReleaseMutex(Mutex()); }
  void Signal() const { ::SetEvent(objects_.event.Get()); }

  // With the mutex held: appends what fits; returns how many did.
  std::size_t Store(const PortWriteRecord* records, std::size_t count) const {
    lptlcd::PortWriteRing& ring = Ring();
    const std::size_t pending = ring.count;
    const std::size_t stored = count < kFullRing - pending ? count : kFullRing - pending;
    for (std::size_t i = 0; i < stored; ++i) {
      ring.records[(ring.readIndex + pending + i) % lptlcd::kRingCapacity] = records[i];
    }
    ring.count = static_cast<std::uint16_t>(pending + stored);
    ring.writeIndex =
        static_cast<std::uint16_t>((ring.readIndex + pending + stored) % lptlcd::kRingCapacity);
    return stored;
  }

  // As the port-I/O DLL does it: one lock, store and signal per record.
  bool AppendOneByOne(const std::vector<PortWriteRecord>& records) const {
    for (PortWriteRecord record : records) {
      if (!Lock(5000)) return false;
      const std::size_t stored = Store(&record, 1);
      Unlock();
      Signal();
      if (stored != 1) return false;
    }
    return true;
  }

  // Records still pending, read under the mutex; kFullRing + 1 when it
  // cannot be had.
  std::size_t Pending() const {
    if (!Lock(5000)) return kFullRing + 1;
    const std::size_t pending = Ring().count;
    Unlock();
    return pending;
  }

 private:
  lptlcd::RingObjects objects_;
};

// ------------------------------------------------------------ CPU time

double FileTimeMs(const FILETIME& time) {
  ULARGE_INTEGER value;
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  return static_cast<double>(value.QuadPart) / 10000.0;  // 100 ns units
}

// User plus kernel time of a process as Windows reports it; negative when
// it cannot be had.
double ProcessCpuMs(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return -1.0;
  return FileTimeMs(kernel) + FileTimeMs(user);
}

// Wine shows the Linux root as drive Z:.
std::string OnDriveZ(const std::string& linuxPath) {
  std::string windows = "Z:" + linuxPath;
  for (char& c : windows) {
    if (c == '/') c = '\\';
  }
  return windows;
}

std::string ReadLinuxFile(const std::string& path) {
  std::ifstream in(OnDriveZ(path), std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The Linux processes of this Wine prefix, found by their command line and
// the WINEPREFIX in their environment.
std::vector<unsigned long> LinuxProcessesOfPrefix(const std::string& nameInCommandLine,
                                                  const std::string& prefix) {
  std::vector<unsigned long> found;
  WIN32_FIND_DATAA entry;
  HANDLE search = ::FindFirstFileA(OnDriveZ("/proc/*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return found;
  const std::string prefixEntry = "WINEPREFIX=" + prefix;
  do {
    char* end = nullptr;
    const unsigned long pid = std::strtoul(entry.cFileName, &end, 10);
    if (end == entry.cFileName || *end != '\0') continue;
    const std::string base = "/proc/" + std::string(entry.cFileName);
    if (ReadLinuxFile(base + "/cmdline").find(nameInCommandLine) == std::string::npos) continue;
    // Entries are NUL-terminated: match a whole one.
    const std::string environment = '\0' + ReadLinuxFile(base + "/environ");
    if (environment.find('\0' + prefixEntry + '\0') == std::string::npos) continue;
    found.push_back(pid);
  } while (::FindNextFileA(search, &entry));
  ::FindClose(search);
  return found;
}

// utime + stime of a Linux process in milliseconds, all its threads
// together (the kernel counts them in ticks of 1/100 s for /proc);
// negative when it cannot be read.
double LinuxTicksCpuMs(unsigned long pid) {
  const std::string stat = ReadLinuxFile("/proc/" + std::to_string(pid) + "/stat");
  const std::size_t afterName = stat.rfind(')');
  if (afterName == std::string::npos) return -1.0;
  // Fields from the third on: state, ppid, ..., utime is the 14th, stime the 15th.
  std::vector<std::string> fields;
  std::string field;
  for (std::size_t i = afterName + 2; i <= stat.size(); ++i) {
    if (i == stat.size() || stat[i] == ' ') {
      fields.push_back(field);
      field.clear();
    } else {
      field += stat[i];
    }
  }
  if (fields.size() < 13) return -1.0;
  const double ticks =
      std::strtod(fields[11].c_str(), nullptr) + std::strtod(fields[12].c_str(), nullptr);
  return ticks * 10.0;
}

// Time on a CPU of a Linux process in milliseconds, to the nanosecond: the
// sum of its threads' schedstat. Falls back to the ticks of /proc/<pid>/stat
// when the kernel keeps no schedstat.
double LinuxCpuMs(unsigned long pid) {
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task/";
  WIN32_FIND_DATAA entry;
  HANDLE search = ::FindFirstFileA(OnDriveZ(tasks + "*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return LinuxTicksCpuMs(pid);
  double nanoseconds = 0.0;
  bool any = false;
  do {
    if (entry.cFileName[0] < '0' || entry.cFileName[0] > '9') continue;
    const std::string schedstat = ReadLinuxFile(tasks + entry.cFileName + "/schedstat");
    if (schedstat.empty()) continue;
    nanoseconds += std::strtod(schedstat.c_str(), nullptr);
    any = true;
  } while (::FindNextFileA(search, &entry));
  ::FindClose(search);
  return any ? nanoseconds / 1e6 : LinuxTicksCpuMs(pid);
}

// ------------------------------------------------------------ the session

struct Options {
  std::string lptlcd = LPTLCD_EXE;
  unsigned idleSeconds = 10;
  unsigned updates = 1000;
  unsigned repetitions = 5;
  std::string phases = "idle,latency,wire,blocked";
};

class Session {
 public:
  explicit Session(Options options)
      : options_(std::move(options)),
        registration_("B"),
        server_([this](const std::uint8_t* packet) { log_.Add(packet); }) {}

  ~Session() {
    program_.Terminate();
    server_.Stop();
  }

  bool Start() {
    if (!registration_.ok()) return Fail("cannot register the test display in this prefix");
    if (!server_.Start()) return Fail("cannot serve the display's pipe");
    if (!producer_.Open()) return Fail("cannot create the ring's named objects");
    if (producer_.Pending() != 0) {
      return Fail("the ring already holds records: is another producer or lptlcd in this prefix?");
    }
    Progress("starting " + options_.lptlcd);
    if (!program_.Start("\"" + lptlcd::test::WindowsPath(options_.lptlcd) + "\"")) {
      return Fail("cannot start lptlcd.exe");
    }
    // Its start-up packets: control 1, then clear.
    if (!log_.WaitForCount(2, 20000)) {
      return Fail("lptlcd sent no start-up packets; it said: " + program_.Output());
    }
    Progress("lptlcd is up: " + FirstLine(program_.Output()));
    return true;
  }

  bool Wants(const char* phase) const {
    return ("," + options_.phases + ",").find("," + std::string(phase) + ",") != std::string::npos;
  }

  void Idle();
  void Latency();
  void Wire();
  void Blocked(const char* label, const std::vector<PortWriteRecord>& pass);

  // Phases that could not finish their measurement.
  unsigned Failures() const { return failures_; }

 private:
  static std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }
  static bool Fail(const std::string& why) {
    Progress("set-up failed: " + why);
    return false;
  }

  // A phase that stops before its figures are complete still leaves a row,
  // so the table never just lacks a measure.
  void PhaseFailed(const std::string& measure, const std::string& why) {
    ++failures_;
    Progress(measure + ": " + why + "; stopping");
    Emit(TableRow(measure, "not measured: " + why, "-", Verdict::kNotMet));
  }

  // Sends records through the mirror too, which follows lptlcd's decoder
  // record for record.
  lptlcd::bench::Mirror::Counts Mirrored(const std::vector<PortWriteRecord>& records,
                                         bool flushAfter = true) {
    return mirror_.Feed(records, flushAfter);
  }

  // Sends the sentinel once the ring has room for it and waits for its
  // packet, which comes only once the program has executed everything
  // before it. The index of that packet, or SIZE_MAX after boundMs; `own`
  // says how many packets the sentinel itself made (those before its index
  // that are not the burst's).
  std::size_t Drain(DWORD boundMs, std::size_t* own = nullptr) {
    const std::vector<PortWriteRecord> sentinel = SentinelRecords();
    const double deadline = NowMs() + boundMs;
    const std::size_t from = log_.Count();
    for (;;) {
      if (!producer_.Lock(5000)) return SIZE_MAX;
      const bool fits = producer_.Ring().count + sentinel.size() <= kFullRing;
      if (fits) producer_.Store(sentinel.data(), sentinel.size());
      producer_.Unlock();
      if (fits) break;
      if (NowMs() > deadline) return SIZE_MAX;
      ::Sleep(5);
    }
    producer_.Signal();
    const std::size_t made = Mirrored(sentinel).packets;
    if (own != nullptr) *own = made;
    const double left = deadline - NowMs();
    return left <= 0 ? SIZE_MAX
                     : log_.WaitForPacket(from, SentinelPacketHead(), static_cast<DWORD>(left));
  }

  Options options_;
  StampedLog log_;
  lptlcd::DisplayRegistration registration_;
  lptlcd::DisplayPipeServer server_;
  Producer producer_;
  lptlcd::test::ChildProcess program_;
  lptlcd::bench::Mirror mirror_;
  unsigned failures_ = 0;
};

void Session::Idle() {
  const std::string prefix = [] {
    char value[MAX_PATH * 2] = {};
    const DWORD length = ::GetEnvironmentVariableA("WINEPREFIX", value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
  }();
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
  const std::size_t packetsBefore = log_.Count();
  Progress(Format("idle: %u s with nothing to do", options_.idleSeconds));
  const double wall0 = NowMs();
  const double windows0 = ProcessCpuMs(program_.Handle());
  const double linux0 = linuxSide ? LinuxCpuMs(programPids[0]) : -1.0;
  const double server0 = linuxSide ? LinuxCpuMs(serverPids[0]) : -1.0;
  ::Sleep(options_.idleSeconds * 1000);
  const double windows1 = ProcessCpuMs(program_.Handle());
  const double linux1 = linuxSide ? LinuxCpuMs(programPids[0]) : -1.0;
  const double server1 = linuxSide ? LinuxCpuMs(serverPids[0]) : -1.0;
  const double wall = NowMs() - wall0;
  const std::size_t packets = log_.Count() - packetsBefore;

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

  const auto row = [&](const char* measure, double figure, double cpuMs, const char* target,
                       bool judged) {
    if (figure < 0) {
      Emit(TableRow(measure, "not available", target, Verdict::kNoTarget));
      return;
    }
    Emit(TableRow(
        measure,
        Format("%.2f %% of one core (%.0f ms CPU in %.1f s)", figure, cpuMs, wall / 1000.0), target,
        judged ? lptlcd::bench::AtMost(figure, 1.0) : Verdict::kNoTarget));
  };
  row(windowsLive ? "idle: lptlcd.exe CPU, GetProcessTimes (Wine)"
                  : "idle: lptlcd.exe CPU, GetProcessTimes (Wine does not keep it up to date)",
      windowsPercent, windows1 - windows0, "<= 1 % of one core", true);
  row("idle: lptlcd.exe CPU, Linux /proc of its Wine process", linuxPercent, linux1 - linux0,
      "<= 1 % of one core", true);
  row("idle: wineserver CPU meanwhile (serves lptlcd's waits)", serverPercent, server1 - server0,
      "-", false);
  // Under Wine every wait with a time-out is the server's work too: the
  // cost of idling is what both spend (the server's includes the little the
  // prefix's other processes ask of it).
  row("idle: lptlcd.exe and wineserver together (Linux /proc)",
      linuxPercent < 0 || serverPercent < 0 ? -1.0 : linuxPercent + serverPercent,
      (linux1 - linux0) + (server1 - server0), "<= 1 % of one core", true);
}

void Session::Latency() {
  const std::size_t updates = options_.updates;
  Progress(Format("latency: %zu characters, one at a time, 3 to 5 ms apart", updates));
  std::vector<double> latencies;
  latencies.reserve(updates);
  std::size_t wrong = 0;
  std::size_t missing = 0;
  for (std::size_t i = 0; i < updates; ++i) {
    const auto character = static_cast<std::uint8_t>('A' + i % 26);
    const std::vector<PortWriteRecord> records = {
        lptlcd::MakeRecord(lptlcd::kDataRegisterSelector, character),
        lptlcd::MakeRecord(lptlcd::kControlRegisterSelector, 0x04),
        lptlcd::MakeRecord(lptlcd::kControlRegisterSelector, 0x05),
        lptlcd::MakeRecord(lptlcd::kControlRegisterSelector, 0x04),
    };
    const lptlcd::bench::Mirror::Counts expected = Mirrored(records);
    const std::size_t base = log_.Count();
    if (!producer_.Lock(5000)) {
      PhaseFailed("latency: event set to packet received, one character (Wine)",
                  "the ring's mutex stayed held");
      return;
    }
    producer_.Store(records.data(), records.size());
    producer_.Unlock();
    const double signalled = NowMs();
    producer_.Signal();
    if (!log_.WaitForCount(base + expected.packets, 2000)) {
      ++missing;
      Drain(10000);
      continue;
    }
    const StampedLog::Packet packet = log_.At(base);
    // One character, flushed alone: 02 01 <character>.
    if (packet.bytes[0] != 0x02 || packet.bytes[1] != 0x01 || packet.bytes[2] != character) ++wrong;
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
                complete ? lptlcd::bench::AtMost(summary.median, 1.5) : Verdict::kNotMet));
  Emit(TableRow("latency: same, 99th percentile", Format("%.3f ms", summary.p99), "<= 3 ms",
                complete ? lptlcd::bench::AtMost(summary.p99, 3.0) : Verdict::kNotMet));
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
          lptlcd::bench::RewriteStream(kind.clearFirst, ++frame);
      fewest = Mirrored(records).packets;
      const std::size_t base = log_.Count();
      const double started = NowMs();
      if (!producer_.AppendOneByOne(records)) {
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
                 "< 40 (one a character)", lptlcd::bench::AtMost(packets.max, 39)));
  }
}

void Session::Blocked(const char* label, const std::vector<PortWriteRecord>& pass) {
  Progress(Format("blocked: %u passes of a full ring, %s", options_.repetitions, label));
  const std::string measure =
      Format("blocked: longest wait for the ring's mutex while a full ring drains, %s (Wine)", label);
  std::vector<double> longestWaitMs;
  std::vector<double> drainMs;
  std::vector<double> perCommandUs;
  std::size_t commandsInPass = 0;
  for (unsigned repetition = 0; repetition < options_.repetitions; ++repetition) {
    // An empty pass first, so that lptlcd reckons with the command queue as
    // it is now (empty: everything sent before has arrived) and takes the
    // whole ring in one pass.
    producer_.Signal();
    ::Sleep(50);
    const std::size_t base = log_.Count();
    if (!producer_.Lock(5000)) {
      PhaseFailed(measure, "the ring's mutex stayed held");
      return;
    }
    if (producer_.Ring().count != 0 || producer_.Store(pass.data(), pass.size()) != pass.size()) {
      producer_.Unlock();
      PhaseFailed(measure, "the ring was not empty");
      return;
    }
    producer_.Signal();
    const double released = NowMs();
    producer_.Unlock();
    // A producer with a record to add every millisecond or so, until the
    // ring is empty: each time, how long it waits for the mutex. (Asking
    // without a pause would slow lptlcd down: under Wine every attempt is a
    // call to the wineserver.)
    double longest = 0.0;
    std::size_t waits = 0;
    for (;;) {
      const double asked = NowMs();
      if (!producer_.Lock(120000)) {
        PhaseFailed(measure, "the mutex stayed held for 120 s");
        return;
      }
      const double got = NowMs();
      const std::size_t left = producer_.Ring().count;
      producer_.Unlock();
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
    const lptlcd::bench::Mirror::Counts counts = Mirrored(pass, false);
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
                    NowMs() - released, log_.Count() - base));
  }
  const Summary longest = Summarize(longestWaitMs);
  const Summary drained = Summarize(drainMs);
  const Summary perCommand = Summarize(perCommandUs);
  Emit(TableRow(measure,
                Format("median %.3f ms, max %.3f ms (%zu passes of %zu records, %zu commands)",
                       longest.median, longest.max, longest.count, pass.size(), commandsInPass),
                "-", Verdict::kNoTarget));
  Emit(TableRow(Format("blocked: whole ring decoded and queued, %s (Wine)", label),
                Format("median %.1f ms, max %.1f ms; %.2f us a command", drained.median,
                       drained.max, perCommand.median),
                "-", Verdict::kNoTarget));
}

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

bool ParseOptions(int argc, char** argv, Options& options) {
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
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: system_bench [--lptlcd PATH] [--idle-seconds N] [--updates N]\n"
                 "                    [--repetitions N] [--phases idle,latency,wire,blocked]\n");
    return 2;
  }
  // Short sleeps mean what they say on Windows too.
  ::timeBeginPeriod(1);
  Session session(options);
  if (!session.Start()) return 1;
  if (session.Wants("idle")) session.Idle();
  if (session.Wants("latency")) session.Latency();
  if (session.Wants("wire")) session.Wire();
  if (session.Wants("blocked")) {
    session.Blocked("realistic stream",
                    lptlcd::bench::Repeated(lptlcd::bench::RealisticStream(), kFullRing));
    session.Blocked("all-strobe stream", lptlcd::bench::AllStrobeStream(kFullRing));
  }
  Progress(session.Failures() == 0 ? "done" : "done, with phases that could not finish");
  return session.Failures() == 0 ? 0 : 1;
}
