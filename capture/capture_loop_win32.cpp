#include "capture/capture_loop.h"

#include "capture/display_stall_guard.h"
#include "common/locks.h"
#include "ring/ring_records.h"

#include <cstdio>

namespace lptlcd {

namespace {

// The ring's mutex, however long it takes. A wait that lasts is said, and
// then `saidHeld` asks the caller to say when the ring is free again, once
// it has let the ring go. With handOver, a mutex that is not free at once
// is waited for only after the worker has been handed what is queued.
MutexLock AcquireRing(const RingObjects& objects, const RingHeldReport& report,
                      void (*handOver)(), bool& saidHeld) {
  if (handOver != nullptr) {
    MutexLock free = AcquireMutex(objects.mutex.Get(), 0);
    if (!free.TimedOut()) return free;
    handOver();
  }
  MutexLock lock = AcquireMutex(objects.mutex.Get(), report.afterMs);
  if (!lock.TimedOut()) return lock;
  report.say(kRingHeldMessage);
  lock = AcquireMutex(objects.mutex.Get(), INFINITE);
  saidHeld = lock.Owned();
  return lock;
}

}  // namespace

CapturePass DrainPass(const RingObjects& objects, PortWriteDecoder& decoder,
                      std::size_t maxRecords, const RingHeldReport& report,
                      void (*handOver)()) {
  CapturePass pass;
  PortWriteRecord chunk[kDrainChunkRecords];
  for (;;) {
    std::size_t taken = 0;
    bool saidHeld = false;
    {
      // Before the first chunk the previous pass has handed over all it queued.
      const MutexLock lock =
          AcquireRing(objects, report, pass.records == 0 ? nullptr : handOver, saidHeld);
      if (!lock) {
        // Without the mutex the producer may be writing: never touch the ring.
        pass.outcome = CapturePass::Outcome::kMutexFailed;
        return pass;
      }
      // A producer that died holding the mutex left the ring as good as its
      // header says.
      if (lock.Abandoned()) pass.abandoned = true;
      const std::size_t allowed = maxRecords - pass.records;
      PortWriteRing& ring = *objects.view;
      taken = TakeRecords(ring, chunk, allowed < kDrainChunkRecords ? allowed : kDrainChunkRecords);
      pass.left = ring.count;
    }
    if (saidHeld) report.say(kRingFreeAgainMessage);
    // Decoding costs more than the copy, and the decoder's consumer may
    // cost more still: done with the ring released, so the producer is
    // never held up by them.
    for (std::size_t i = 0; i < taken; ++i) decoder.Decode(chunk[i]);
    pass.records += taken;
    if (pass.left == 0 || pass.records >= maxRecords) return pass;
  }
}

namespace {
constexpr DWORD kStallCheckMs = 50;
}  // namespace

void RunCaptureLoop(const RingObjects& objects, PortWriteDecoder& decoder,
                    CommandQueueGauge queue) {
  DisplayStallGuard guard;
  std::uint32_t droppedBeforeStall = 0;
  // The queue's room only grows while a pass runs (only the worker takes
  // from it), so taking no more records than it had at the start is safe.
  const auto allowed = [&] {
    const std::size_t records = guard.RecordsAllowed(queue.room(), queue.taken(), ::GetTickCount());
    if (guard.LastChange() == DisplayStallGuard::Change::kStalled) {
      droppedBeforeStall = queue.dropped();
      SayOnStandardOutput(kDisplayStalledMessage);
    } else if (guard.LastChange() == DisplayStallGuard::Change::kResumed) {
      std::printf(kDisplayResumedFormat, static_cast<unsigned long>(queue.dropped() - droppedBeforeStall));
      std::fflush(stdout);
    }
    return records;
  };
  for (;;) {
    // A failed wait on the event is not worth stopping for: the drain below is
    // guarded by the mutex and finds nothing to do if nothing was added. The
    // queue's room is looked at only once the signal has come, as the worker
    // may have emptied it meanwhile. While the display is stalled the loop
    // also looks in now and then without a signal, so that it says the
    // display is reading again when it is, not at the producer's next write.
    const DWORD woke =
        ::WaitForSingleObject(objects.event.Get(), guard.Stalled() ? kStallCheckMs : INFINITE);
    if (woke == WAIT_TIMEOUT) {
      allowed();
      continue;
    }
    CapturePass pass = DrainPass(objects, decoder, allowed(), RingHeldReport(), queue.handOver);
    queue.handOver();
    while (pass.outcome == CapturePass::Outcome::kMutexFailed || pass.left != 0) {
      // Only a broken handle fails the mutex wait: do not spin on it. Records
      // left behind for want of room are taken once the worker has had a
      // moment, whether or not the producer signals again; a signal that
      // comes meanwhile is consumed here, its records being drained all the same.
      ::WaitForSingleObject(objects.event.Get(), 1);
      pass = DrainPass(objects, decoder, allowed(), RingHeldReport(), queue.handOver);
      queue.handOver();
    }
  }
}

}  // namespace lptlcd
