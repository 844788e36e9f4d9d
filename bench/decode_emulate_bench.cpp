// Records per second through the decoder, the emulator and the packet
// building, with the device writing to a null sink: the work the program does
// per port write, minus the queue between its threads and the USB write. One
// thread, so the figure is per core.
//
// Two streams: a realistic one (a busy status screen) and the densest the
// decoder can be given (a command every second record, each sending a
// packet). Global operator new and delete are replaced with counting versions,
// so each run also reports the heap allocations made per record inside its
// timed loop.
//
//   decode_emulate_bench [Google Benchmark options]
//
// Google Benchmark's report goes to standard error; the table rows that
// scripts/bench.sh collects go to standard output.

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "bench/bench_stats.h"
#include "bench/bench_streams.h"
#include "capture/port_write_decoder.h"
#include "emulator/character_lcd_emulator.h"
#include "tools/packets/packet_capture.h"

// ------------------------------------------------------------ counting heap

namespace {
std::atomic<std::uint64_t> g_allocations{0};

void* CountedAllocate(std::size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}

void* CountedAllocateAligned(std::size_t size, std::align_val_t alignment) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  const auto align = static_cast<std::size_t>(alignment);
  const std::size_t rounded = (size + align - 1) / align * align;
#if defined(_MSC_VER)
  void* block = _aligned_malloc(rounded == 0 ? align : rounded, align);
#else
  void* block = std::aligned_alloc(align, rounded == 0 ? align : rounded);
#endif
  if (block != nullptr) return block;
  throw std::bad_alloc();
}

void FreeAligned(void* block) {
#if defined(_MSC_VER)
  _aligned_free(block);
#else
  std::free(block);
#endif
}
}  // namespace

// The array and nothrow forms call these, so every allocation is counted.
void* operator new(std::size_t size) { return CountedAllocate(size); }
void* operator new(std::size_t size, std::align_val_t alignment) {
  return CountedAllocateAligned(size, alignment);
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, std::align_val_t) noexcept { FreeAligned(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { FreeAligned(block); }

namespace {

using lptlcd::PortWriteRecord;
using lptlcd::bench::Format;

// Set when the replacement above is really the one in use (a program that
// counts nothing would report zero allocations whatever happens).
bool g_countingWorks = false;

void CheckCounting() {
  const std::uint64_t before = g_allocations.load();
  auto* probe = new std::vector<int>(16);
  benchmark::DoNotOptimize(probe);
  delete probe;
  g_countingWorks = g_allocations.load() >= before + 2;
}

// ------------------------------------------------------------ benchmarks

void RunStream(benchmark::State& state, const std::vector<PortWriteRecord>& stream) {
  lptlcd::PacketCapture nullSink(/*discard=*/true);
  lptlcd::UsbDisplayDevice device(nullSink.OpenWriter());
  lptlcd::CharacterLcdEmulator emulator(&device, 20, 2);
  std::uint64_t commands = 0;
  lptlcd::PortWriteDecoder decoder([&emulator, &commands](lptlcd::LcdCommand command) {
    ++commands;
    emulator.Execute(command);
  });

  const std::uint64_t allocationsBefore = g_allocations.load();
  for (auto _ : state) {
    for (PortWriteRecord record : stream) decoder.Decode(record);
    emulator.Flush();
  }
  const std::uint64_t allocations = g_allocations.load() - allocationsBefore;

  const double records =
      static_cast<double>(state.iterations()) * static_cast<double>(stream.size());
  state.SetItemsProcessed(static_cast<std::int64_t>(records));
  state.counters["records/s"] = benchmark::Counter(records, benchmark::Counter::kIsRate);
  state.counters["commands/record"] = static_cast<double>(commands) / records;
  state.counters["allocs/record"] = static_cast<double>(allocations) / records;
  state.counters["allocs"] = static_cast<double>(allocations);
  state.counters["records"] = records;
}

void BM_DecodeAndEmulate(benchmark::State& state) {
  RunStream(state, lptlcd::bench::RealisticStream());
}
BENCHMARK(BM_DecodeAndEmulate)->Repetitions(5);

void BM_DecodeAndEmulateAllStrobe(benchmark::State& state) {
  // The same length as the realistic stream's, to keep the loops alike.
  RunStream(state, lptlcd::bench::AllStrobeStream(lptlcd::bench::RealisticStream().size()));
}
BENCHMARK(BM_DecodeAndEmulateAllStrobe)->Repetitions(5);

// ------------------------------------------------------------ the table

// Prints Google Benchmark's usual report and keeps the figures of every
// repetition for the table.
class TableReporter : public benchmark::ConsoleReporter {
 public:
  // Columns, no colours: the report goes to standard error, often a file.
  TableReporter() : ConsoleReporter(OO_Tabular) {}

  struct Figures {
    std::vector<double> recordsPerSecond;
    double commandsPerRecord = 0;
    double allocations = 0;
    double records = 0;
    bool failed = false;
  };

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      Figures& figures = byName[run.run_name.function_name];
      if (run.error_occurred) {
        figures.failed = true;
        continue;
      }
      const auto counter = [&run](const char* name) {
        const auto it = run.counters.find(name);
        return it == run.counters.end() ? 0.0 : it->second.value;
      };
      figures.recordsPerSecond.push_back(counter("records/s"));
      figures.commandsPerRecord = counter("commands/record");
      figures.allocations += counter("allocs");
      figures.records += counter("records");
    }
    ConsoleReporter::ReportRuns(runs);
  }

  std::map<std::string, Figures> byName;
};

void PrintRows(const TableReporter& reporter) {
  constexpr double kTarget = 100e6;
  const struct {
    const char* benchmark;
    const char* label;
  } streams[] = {
      {"BM_DecodeAndEmulate", "realistic stream"},
      {"BM_DecodeAndEmulateAllStrobe", "all-strobe stream"},
  };
  for (const auto& stream : streams) {
    const auto found = reporter.byName.find(stream.benchmark);
    if (found == reporter.byName.end()) continue;  // filtered out
    const TableReporter::Figures& figures = found->second;
    const lptlcd::bench::Summary rate = lptlcd::bench::Summarize(figures.recordsPerSecond);
    const double median = figures.failed ? std::numeric_limits<double>::quiet_NaN() : rate.median;
    std::fputs(lptlcd::bench::TableRow(
                   Format("core: decode+emulate+packets, %s, 1 core (native)", stream.label),
                   Format("%.0f M records/s (median of %zu; %.2f commands/record)", median / 1e6,
                          rate.count, figures.commandsPerRecord),
                   ">= 100 M records/s", lptlcd::bench::AtLeast(median, kTarget))
                   .c_str(),
               stdout);
    const bool measured = g_countingWorks && !figures.failed && rate.count > 0;
    std::fputs(lptlcd::bench::TableRow(
                   Format("core: heap allocations per record, %s (native)", stream.label),
                   measured ? Format("%.3g a record (%.0f allocations in %.3g records)",
                                     figures.allocations / figures.records, figures.allocations,
                                     figures.records)
                            : std::string("not measured (allocation counting inactive)"),
                   "0",
                   measured && figures.allocations == 0 ? lptlcd::bench::Verdict::kMet
                                                        : lptlcd::bench::Verdict::kNotMet)
                   .c_str(),
               stdout);
  }
}

}  // namespace

int main(int argc, char** argv) {
  CheckCounting();
  if (!g_countingWorks)
    std::fprintf(stderr, "decode_emulate_bench: allocation counting inactive\n");
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TableReporter reporter;
  reporter.SetOutputStream(&std::cerr);
  reporter.SetErrorStream(&std::cerr);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::fflush(stderr);
  PrintRows(reporter);
  return 0;
}
