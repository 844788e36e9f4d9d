#include "capture/capture_loop.h"

#include "capture/ring_drain.h"

namespace lptlcd {

CapturePass RunCapturePass(const RingObjects& objects, PortWriteDecoder& decoder,
                           DWORD eventTimeoutMs) {
  // A failed wait on the event is not worth stopping for: the drain below is
  // guarded by the mutex and finds nothing to do if nothing was added.
  if (::WaitForSingleObject(objects.event.Get(), eventTimeoutMs) == WAIT_TIMEOUT) {
    return {CapturePass::kNoSignal, 0, false};
  }
  const DWORD locked = ::WaitForSingleObject(objects.mutex.Get(), INFINITE);
  // WAIT_ABANDONED: a producer died holding the mutex, which is now ours.
  // What it left in the ring is as good as its header says.
  if (locked != WAIT_OBJECT_0 && locked != WAIT_ABANDONED) {
    // Without the mutex the producer may be writing: never touch the ring.
    return {CapturePass::kMutexFailed, 0, false};
  }
  const std::size_t records = DrainRing(*objects.view.Ring(), decoder);
  ::ReleaseMutex(objects.mutex.Get());
  return {CapturePass::kDrained, records, locked == WAIT_ABANDONED};
}

void RunCaptureLoop(const RingObjects& objects, PortWriteDecoder& decoder) {
  for (;;) {
    if (RunCapturePass(objects, decoder).outcome == CapturePass::kMutexFailed) {
      // Only a broken handle fails this way; do not spin on it.
      ::Sleep(1);
    }
  }
}

}  // namespace lptlcd
