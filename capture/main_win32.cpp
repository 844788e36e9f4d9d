// lptlcd: lets the USB graphic display stand in for the HD44780 character LCD
// that older software drives through the parallel port. Takes no arguments
// and runs until it is terminated.

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "capture/capture_loop.h"
#include "capture/port_write_decoder.h"
#include "capture/ring_objects.h"
#include "queue/command_queue.h"
#include "queue/display_worker.h"

namespace {

// Standard output is often a pipe to whoever watches the program, and the
// program ends by being terminated: nothing may wait in a buffer.
void Fail(const char* message) {
  std::printf("%s", message);
  std::fflush(stdout);
  std::exit(1);
}

}  // namespace

int main() {
  // The emulator's own messages come from the worker thread; keep them
  // unbuffered too.
  std::setvbuf(stdout, nullptr, _IONBF, 0);

  // Everything made here lives until the process ends and is never
  // destroyed: the worker may end the process while the loop still uses it.
  auto* objects = new lptlcd::RingObjects;
  if (!lptlcd::CreateRingObjects(*objects)) Fail("Unable to create objects.\n");
  if (!lptlcd::Init()) Fail("Unable to init LCD buffer");
  lptlcd::StartWorker();

  auto* decoder =
      new lptlcd::PortWriteDecoder([](lptlcd::LcdCommand command) { lptlcd::Enqueue(command); });
  decoder->ResetStrobe();
  lptlcd::CommandQueueGauge gauge;
  gauge.room = [] {
    return static_cast<std::size_t>(lptlcd::kCommandQueueMaxPending -
                                    lptlcd::Pending(lptlcd::TheCommandQueue()));
  };
  gauge.taken = [] { return lptlcd::TakenCount(lptlcd::TheCommandQueue()); };
  gauge.dropped = [] { return lptlcd::DroppedCount(lptlcd::TheCommandQueue()); };
  lptlcd::RunCaptureLoop(*objects, *decoder, gauge);
}
