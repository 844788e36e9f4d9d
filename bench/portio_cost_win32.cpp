// Measures what one port write through the drop-in DLL costs, with a thread
// of this process draining the ring the way lptlcd's capture loop does, and
// how long a write can be held up by a stuck thread (portio_holdups_win32.h).
// Prints the figures; fails only if records went missing or out of order.
//
//   portio_cost [--count N] [--dll NAME]

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/portio_holdups_win32.h"
#include "tools/harness/portio_api.h"
#include "tools/harness/ring_view_win32.h"

namespace {

using lptlcd::DrainingThread;
using lptlcd::PortIoApi;
using lptlcd::PortWriteRecord;
using lptlcd::RingView;

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
  LARGE_INTEGER t;
  ::QueryPerformanceCounter(&t);
  return t;
}

void Report(const char* what, double seconds, long n) {
  std::printf("%-46s %8.2f us per call (%ld calls, %.3f s)\n", what, seconds * 1e6 / static_cast<double>(n),
              n, seconds);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  long count = 100000;
  std::string dll = "inpout32.dll";
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--count") {
      count = std::strtol(argv[i + 1], nullptr, 10);
    } else if (arg == "--dll") {
      dll = argv[i + 1];
    }
  }
  if (count < 1000 || count > 10000000) {
    std::fprintf(stderr, "portio_cost: --count takes 1000 to 10000000\n");
    return 2;
  }
  PortIoApi api;
  if (!api.Load(dll.c_str()) || !api.IsInpOutDriverOpen()) {
    std::fprintf(stderr, "portio_cost: cannot load %s or open its ring\n", dll.c_str());
    return 1;
  }
  RingView view;
  if (!view.IsOpen()) {
    std::fprintf(stderr, "portio_cost: cannot open the ring\n");
    return 1;
  }
  view.Drain();

  std::vector<PortWriteRecord> expected;
  bool ok = true;
  {
    // The bare cost: room in the ring and nobody competing for the lock.
    const long quiet = count < 60000 ? count : 60000;
    LARGE_INTEGER t0 = Now();
    for (long i = 0; i < quiet; ++i) api.Out32(0x378, static_cast<short>(i & 0xFF));
    LARGE_INTEGER t1 = Now();
    Report("Out32, ring not being drained meanwhile", Seconds(t0, t1), quiet);
    const auto quietRecords = view.Drain();
    if (quietRecords.size() != static_cast<std::size_t>(quiet)) ok = false;
  }
  {
    DrainingThread program(view);
    // Out32 while lptlcd drains: every write wakes the drain, which then
    // competes for the lock with the next write.
    LARGE_INTEGER t0 = Now();
    for (long i = 0; i < count; ++i) api.Out32(0x378, static_cast<short>(i & 0xFF));
    LARGE_INTEGER t1 = Now();
    Report("Out32 with a drain woken by every write", Seconds(t0, t1), count);
    for (long i = 0; i < count; ++i) expected.push_back(static_cast<PortWriteRecord>(0x7800 | (i & 0xFF)));

    // A buffer call records many bytes under one lock.
    std::vector<UCHAR> bytes(1000);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<UCHAR>(i);
    const long buffers = count / 1000;
    t0 = Now();
    for (long b = 0; b < buffers; ++b) api.WriteBufferUchar(0x37A, bytes.data(), 1000);
    t1 = Now();
    Report("DlPortWritePortBufferUchar, per byte", Seconds(t0, t1), buffers * 1000);
    for (long b = 0; b < buffers; ++b) {
      for (UCHAR v : bytes) expected.push_back(static_cast<PortWriteRecord>(0x7A00 | v));
    }

    // Reads never touch the ring.
    t0 = Now();
    long sum = 0;
    for (long i = 0; i < count; ++i) sum += api.Inp32(0x37A);
    t1 = Now();
    Report("Inp32", Seconds(t0, t1), count);
    if (sum != count * (bytes.back())) ok = false;

    // Ports other than the parallel port cost next to nothing.
    t0 = Now();
    for (long i = 0; i < count; ++i) api.Out32(0x80, 0);
    t1 = Now();
    Report("Out32 to an unrelated port", Seconds(t0, t1), count);

    // Wait for the last records to be consumed before stopping the drain.
    for (int i = 0; i < 10000 && view.Ring().count != 0; ++i) ::Sleep(1);
    program.Stop();
    if (program.Consumed() != expected) {
      std::fprintf(stderr, "portio_cost: %zu records consumed, %zu written; order or content differs\n",
                   program.Consumed().size(), expected.size());
      ok = false;
    }
  }

  // For reference, the system calls one recorded write is made of.
  {
    const long n = count / 10;
    LARGE_INTEGER t0 = Now();
    for (long i = 0; i < n; ++i) {
      ::WaitForSingleObject(view.Mutex(), INFINITE);
      ::ReleaseMutex(view.Mutex());
    }
    LARGE_INTEGER t1 = Now();
    Report("  reference: mutex wait + release", Seconds(t0, t1), n);
    t0 = Now();
    for (long i = 0; i < n; ++i) ::SetEvent(view.Event());
    t1 = Now();
    Report("  reference: SetEvent", Seconds(t0, t1), n);
    ::ResetEvent(view.Event());
  }

  // Nobody draining and the ring full: after one bounded wait, writes are
  // dropped at the cost of one lock round trip.
  view.Reset(0, 65535);
  api.Out32(0x378, 0);  // the one call that waits
  LARGE_INTEGER t0 = Now();
  const long dropped = count / 10;
  for (long i = 0; i < dropped; ++i) api.Out32(0x378, 0);
  LARGE_INTEGER t1 = Now();
  Report("Out32 into a full ring nobody drains", Seconds(t0, t1), dropped);
  if (view.Ring().count != 65535) ok = false;
  view.Reset(0, 0);

  // Stuck threads: each costs a write one bounded wait, then next to nothing.
  const long stalled = count / 100;
  if (!lptlcd::bench::MeasureSuspendedMutexHolder(api, view, stalled)) ok = false;
  // The DLL under another name is loaded afresh: its first use is to come.
  const char* fresh = dll == "dlportio.dll" ? "io.dll" : "dlportio.dll";
  if (!lptlcd::bench::MeasureStuckFirstUse(fresh, view, stalled)) ok = false;
  return ok ? 0 : 1;
}
