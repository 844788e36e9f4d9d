// lptlcd: lets the USB graphic display stand in for the HD44780 character LCD
// that older software drives through the parallel port. Its one option names
// the module the software was set up for; it runs until it is terminated.

#include <windows.h>

#include <cstdio>
#include <string_view>

#include "capture/capture_loop.h"
#include "capture/command_line.h"
#include "capture/port_write_decoder.h"
#include "capture/session_instance.h"
#include "capture/startup_entry.h"
#include "common/console_win32.h"
#include "queue/command_queue.h"
#include "queue/display_worker.h"
#include "ring/ring_objects.h"

namespace {

// The object that could not be had, and Windows' reason, as one line.
void ReportRingFailure(const lptlcd::RingObjectsFailure& failure) {
  if (failure.call == nullptr) return;
  const bool map = std::string_view(failure.call) == "MapViewOfFile";
  std::printf("Could not %s %s (error %lu)\n", map ? "map" : "create or open", failure.object,
              static_cast<unsigned long>(failure.error));
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char* argv[]) {
  // Before anything is touched: a mistyped option must leave the running
  // copy, the shared objects and the display alone.
  const lptlcd::CommandLine commandLine =
      argc > 1 ? lptlcd::ParseCommandLine(argc - 1, argv + 1) : lptlcd::CommandLine();
  if (commandLine.action == lptlcd::CommandLineAction::kHelp) {
    std::fputs(lptlcd::HelpText(), stdout);
    std::fflush(stdout);
    lptlcd::KeepWindowOpenToRead();  // a shortcut's window
    return 0;
  }
  if (commandLine.action == lptlcd::CommandLineAction::kError) {
    std::fprintf(stderr, "%s\n%s", commandLine.error, lptlcd::UsageText());
    std::fflush(stderr);
    lptlcd::KeepWindowOpenToRead();
    return 2;
  }
  if (commandLine.action == lptlcd::CommandLineAction::kInstall ||
      commandLine.action == lptlcd::CommandLineAction::kUninstall) {
    const int status = commandLine.action == lptlcd::CommandLineAction::kInstall
                           ? lptlcd::InstallStartupEntry(commandLine)
                           : lptlcd::UninstallStartupEntry();
    lptlcd::KeepWindowOpenToRead();
    return status;
  }

  // Standard output is often a pipe to whoever watches the program, and the
  // program ends by being terminated: every message, the worker thread's
  // too, is flushed as it is printed, and goes out in one piece. Should the
  // buffer be refused, each flush still empties the one the runtime has.
  lptlcd::BufferWholeMessages(stdout);
  lptlcd::TurnOffQuickEdit();

  // Before the ring is touched: a second copy would drain records too.
  auto* instance = new lptlcd::UniqueKernelHandle;
  if (lptlcd::ClaimSessionInstance(*instance) == lptlcd::InstanceClaim::kAnotherCopyRuns) {
    lptlcd::FatalExit(lptlcd::kAlreadyRunningMessage);
  }

  // Everything made here lives until the process ends and is never
  // destroyed: the worker may end the process while the loop still uses it.
  auto* objects = new lptlcd::RingObjects;
  lptlcd::RingObjectsFailure failure;
  if (!lptlcd::CreateRingObjects(*objects, lptlcd::RingObjectNames(), &failure)) {
    lptlcd::SayOnStandardOutput("Unable to create objects.\n");
    ReportRingFailure(failure);
    lptlcd::FatalExit("");
  }
  if (!lptlcd::Init()) lptlcd::FatalExit("Unable to init LCD buffer");
  lptlcd::StartWorker(commandLine.module, commandLine.waitForDisplay);

  auto* decoder =
      new lptlcd::PortWriteDecoder([](lptlcd::LcdCommand command) { lptlcd::Enqueue(command); });
  lptlcd::CommandQueueGauge gauge;
  gauge.room = [] {
    return static_cast<std::size_t>(lptlcd::kCommandQueueMaxPending -
                                    lptlcd::Pending(lptlcd::TheCommandQueue()));
  };
  gauge.taken = [] { return lptlcd::TakenCount(lptlcd::TheCommandQueue()); };
  gauge.dropped = [] { return lptlcd::DroppedCount(lptlcd::TheCommandQueue()); };
  gauge.handOver = [] { lptlcd::HandOver(lptlcd::TheCommandQueue()); };
  lptlcd::RunCaptureLoop(*objects, *decoder, gauge);
}
