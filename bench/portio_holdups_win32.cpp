#include "bench/portio_holdups_win32.h"

#include <cstdio>
#include <vector>

#include "bench/bench_stats.h"
#include "bench/stamped_log_win32.h"
#include "common/win32_handles.h"

namespace lptlcd::bench {

namespace {

// Each of `writes` port writes timed on its own: the first is the one that
// may wait, the rest show what the program pays while the stall lasts.
template <typename Write>
void TimeWrites(const char* what, long writes, Write write) {
  std::vector<double> rest;
  double first = 0;
  for (long i = 0; i < writes; ++i) {
    const double start = NowMs();
    write(i);
    const double took = NowMs() - start;
    if (i == 0) {
      first = took;
    } else {
      rest.push_back(took);
    }
  }
  const Summary s = Summarize(rest);
  std::printf("%s:\n  the first write %.1f ms; the next %zu: median %.4f ms, longest %.3f ms\n", what,
              first, s.count, s.median, s.max);
  std::fflush(stdout);
}

// A thread that takes the mutex, says so and keeps it until told to let go.
struct MutexHolder {
  HANDLE mutex = nullptr;
  UniqueKernelHandle taken{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  UniqueKernelHandle letGo{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};

  static DWORD WINAPI Main(void* self) {
    auto& h = *static_cast<MutexHolder*>(self);
    ::WaitForSingleObject(h.mutex, INFINITE);
    ::SetEvent(h.taken.Get());
    ::WaitForSingleObject(h.letGo.Get(), INFINITE);
    ::ReleaseMutex(h.mutex);
    return 0;
  }
};

// ntdll's loader lock, which LoadLibrary takes: what a thread stuck in
// DllMain, or in a DLL's load, holds.
using LockLoaderLockFn = LONG(NTAPI*)(ULONG flags, ULONG* disposition, ULONG_PTR* cookie);
using UnlockLoaderLockFn = LONG(NTAPI*)(ULONG flags, ULONG_PTR cookie);

struct LoaderLockHolder {
  LockLoaderLockFn lock = nullptr;
  UnlockLoaderLockFn unlock = nullptr;
  UniqueKernelHandle take{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  UniqueKernelHandle taken{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  UniqueKernelHandle letGo{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};

  static DWORD WINAPI Main(void* self) {
    auto& h = *static_cast<LoaderLockHolder*>(self);
    ::WaitForSingleObject(h.take.Get(), INFINITE);
    ULONG disposition = 0;
    ULONG_PTR cookie = 0;
    if (h.lock(0, &disposition, &cookie) != 0) return 1;
    ::SetEvent(h.taken.Get());
    // Let go after a while even if told nothing: a benchmark must not hang.
    ::WaitForSingleObject(h.letGo.Get(), 20000);
    h.unlock(0, cookie);
    return 0;
  }
};

// The program's thread whose first port write opens the ring.
struct FirstWriter {
  PortIoApi* api = nullptr;
  UniqueKernelHandle go{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  double tookMs = 0;

  static DWORD WINAPI Main(void* self) {
    auto& w = *static_cast<FirstWriter*>(self);
    ::WaitForSingleObject(w.go.Get(), INFINITE);
    const double start = NowMs();
    w.api->WriteUchar(0x378, 0x41);
    w.tookMs = NowMs() - start;
    return 0;
  }
};

}  // namespace

bool MeasureSuspendedMutexHolder(PortIoApi& api, RingView& view, long writes) {
  view.Drain();
  MutexHolder holder;
  holder.mutex = view.Mutex();
  UniqueKernelHandle thread(::CreateThread(nullptr, 0, &MutexHolder::Main, &holder, 0, nullptr));
  if (!thread) return false;
  ::WaitForSingleObject(holder.taken.Get(), INFINITE);
  // Suspended with the mutex, as by a debugger or a hung process.
  ::SuspendThread(thread.Get());
  TimeWrites("Out32 while a suspended thread holds the ring's mutex", writes,
             [&](long i) { api.Out32(0x378, static_cast<short>(i & 0xFF)); });
  ::ResumeThread(thread.Get());
  ::SetEvent(holder.letGo.Get());
  ::WaitForSingleObject(thread.Get(), INFINITE);
  // Those writes were dropped; the first one after goes in.
  api.Out32(0x378, 0x5A);
  const std::vector<PortWriteRecord> after = view.Drain();
  return after == std::vector<PortWriteRecord>{0x785A};
}

bool MeasureStuckFirstUse(const char* freshName, RingView& view, long writes) {
  PortIoApi fresh;
  if (!fresh.Load(freshName)) return false;
  LoaderLockHolder loader;
  const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
  loader.lock = Lookup<LockLoaderLockFn>(ntdll, "LdrLockLoaderLock");
  loader.unlock = Lookup<UnlockLoaderLockFn>(ntdll, "LdrUnlockLoaderLock");
  if (loader.lock == nullptr || loader.unlock == nullptr) return false;
  FirstWriter opener;
  opener.api = &fresh;
  view.Drain();
  // Both threads start (which takes the loader lock) before it is held.
  UniqueKernelHandle loaderThread(::CreateThread(nullptr, 0, &LoaderLockHolder::Main, &loader, 0, nullptr));
  UniqueKernelHandle openerThread(::CreateThread(nullptr, 0, &FirstWriter::Main, &opener, 0, nullptr));
  if (!loaderThread || !openerThread) return false;
  ::Sleep(100);
  ::SetEvent(loader.take.Get());
  const bool locked = ::WaitForSingleObject(loader.taken.Get(), 10000) == WAIT_OBJECT_0;
  // The opener's first write gets as far as the open's LoadLibrary and
  // waits there for the loader lock; meanwhile this thread writes too.
  ::SetEvent(opener.go.Get());
  if (!locked) {
    std::fprintf(stderr, "portio_cost: the loader lock could not be taken\n");
    ::WaitForSingleObject(openerThread.Get(), INFINITE);
    ::FreeLibrary(fresh.module);
    return false;
  }
  ::Sleep(200);
  TimeWrites("Out32 while another thread's first use is stuck behind the loader lock", writes,
             [&](long i) { fresh.Out32(0x378, static_cast<short>(i & 0xFF)); });
  ::SetEvent(loader.letGo.Get());
  ::WaitForSingleObject(loaderThread.Get(), INFINITE);
  ::WaitForSingleObject(openerThread.Get(), INFINITE);
  std::printf("  the stuck opener's own first write: %.1f ms (until the loader lock was let go)\n",
              opener.tookMs);
  std::fflush(stdout);
  // The opener's write made the ring; this thread's were dropped meanwhile.
  const bool ok = fresh.IsInpOutDriverOpen() && view.Drain() == std::vector<PortWriteRecord>{0x7841};
  ::FreeLibrary(fresh.module);
  return ok;
}

}  // namespace lptlcd::bench
