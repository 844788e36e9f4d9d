// lcdsim: the display, simulated. It registers display interfaces that
// lptlcd's real discovery finds, serves their output pipe PIPE01, and carries
// out every packet on the display model, which it shows and writes out. It
// posts the device and power broadcasts that Windows would send for a real
// display when it is plugged, unplugged and reset by a resume.

#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/win32_handles.h"
#include "tools/displayhost/display_host.h"
#include "tools/displayhost/system_notices.h"
#include "tools/harness/critical_section.h"
#include "tools/lcdsim/display_model.h"
#include "tools/lcdsim/options.h"
#include "tools/lcdsim/packet_log.h"
#include "tools/lcdsim/platform.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// The screen is looked at once this long has passed without a packet: the
// program sends its bursts within a few milliseconds, so by then a burst is
// over and the picture is the one a person would see.
constexpr DWORD kIdleMs = 50;

// Console control handlers run on a thread of their own; they only set this
// event and, for the events after which the process is ended, wait for the
// cleanup (registry keys!) to be done.
lptlcd::UniqueKernelHandle g_stopEvent;
lptlcd::UniqueKernelHandle g_stoppedEvent;

BOOL WINAPI OnConsoleControl(DWORD type) {
  SetEvent(g_stopEvent.Get());
  if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT) {
    WaitForSingleObject(g_stoppedEvent.Get(), 5000);
  }
  return TRUE;
}

void Say(const char* format, const std::string& text = std::string()) {
  std::printf(format, text.c_str());
  std::fflush(stdout);
}

// What the pipe thread and the main thread share, under one lock.
class Simulator {
 public:
  Simulator() { packetEvent.Reset(CreateEventA(nullptr, FALSE, FALSE, nullptr)); }
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  bool OpenLog(const std::string& path) { return log.Open(path); }
  void SetPauseEvent(HANDLE pause) { pauseEvent = pause; }
  HANDLE PacketEvent() const { return packetEvent.Get(); }

  // On the pipe server's thread.
  void OnPacket(const std::uint8_t* packet) {
    WhilePaused();
    lptlcd::sim::PacketEffect effect = lptlcd::sim::PacketEffect::kUnknown;
    bool reportLogFailure = false;
    {
      const auto held = lock.Hold();
      const bool logged = !log.IsOpen() || log.Write(packet);
      effect = model.ApplyPacket(packet);
      reportLogFailure = !logged && !logFailureReported;
      if (reportLogFailure) logFailureReported = true;
    }

    if (effect == lptlcd::sim::PacketEffect::kUnknown || effect == lptlcd::sim::PacketEffect::kRejected) {
      std::printf("lcdsim: %s packet ignored: %s\n", lptlcd::sim::PacketEffectName(effect),
                  lptlcd::sim::FormatPacketLine(packet).c_str());
      std::fflush(stdout);
    }
    if (reportLogFailure) Say("lcdsim: writing the packet log failed; the log is incomplete\n");
    SetEvent(packetEvent.Get());
  }

  // A resume from sleep: the display lost power, but not its place on the
  // bus, so the pipe and its client stay as they are.
  void PowerOn() {
    const auto held = lock.Hold();
    model.PowerOn();
  }

  // A copy, so that drawing and file writing happen outside the lock.
  lptlcd::sim::DisplayModel Snapshot() {
    const auto held = lock.Hold();
    return model;
  }

 private:
  // Holding up the pipe server's thread stops the reading of the pipe, so
  // the writer's pipe fills and its writes block, as they do when a real
  // display hangs. The stop event ends the pause, so stopping never waits.
  void WhilePaused() {
    if (pauseEvent == nullptr || WaitForSingleObject(pauseEvent, 0) != WAIT_OBJECT_0) return;
    Say("lcdsim: reading paused\n");
    while (WaitForSingleObject(pauseEvent, 0) == WAIT_OBJECT_0) {
      if (WaitForSingleObject(g_stopEvent.Get(), 5) == WAIT_OBJECT_0) return;
    }
    Say("lcdsim: reading again\n");
  }

  HANDLE pauseEvent = nullptr;
  lptlcd::CriticalSection lock;
  lptlcd::UniqueKernelHandle packetEvent;
  lptlcd::sim::DisplayModel model;
  lptlcd::sim::PacketLogWriter log;
  bool logFailureReported = false;
};

lptlcd::DisplayRegistration::Kind RegistrationKind(lptlcd::sim::DisplayKind kind) {
  switch (kind) {
    case lptlcd::sim::DisplayKind::kOpenable: return lptlcd::DisplayRegistration::Kind::kOpenable;
    case lptlcd::sim::DisplayKind::kUnopenable: return lptlcd::DisplayRegistration::Kind::kUnopenable;
    case lptlcd::sim::DisplayKind::kNoPipe: return lptlcd::DisplayRegistration::Kind::kNoPipe;
  }
  return lptlcd::DisplayRegistration::Kind::kUnopenable;
}

void ShowScreen(const lptlcd::sim::DisplayModel& model, const lptlcd::sim::OutputOptions& output) {
  std::string text = "lcdsim: screen after " + std::to_string(model.PacketCount()) + " packets\n";
  text += lptlcd::sim::RenderScreen(model, output);
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void SayBroadcastFailed(const char* message) {
  std::printf("lcdsim: cannot post %s (error %lu)\n", message, GetLastError());
  std::fflush(stdout);
}

// The device node comes or goes with the registrations and the pipe.
void SayPluggedOrUnplugged() {
  // The first broadcast of a Wine session starts the desktop process, which
  // is handed this process's standard error and lives on: a non-inheritable
  // handle keeps it from holding the pipe of whoever reads lcdsim's errors.
  ::SetHandleInformation(::GetStdHandle(STD_ERROR_HANDLE), HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(::GetStdHandle(STD_OUTPUT_HANDLE), HANDLE_FLAG_INHERIT, 0);
  if (!lptlcd::BroadcastDeviceNodesChanged()) SayBroadcastFailed("WM_DEVICECHANGE");
}

// The display is reset first, so that whatever a program sends on the notice
// lands on the blank screen.
void PlayResume(Simulator& simulator) {
  simulator.PowerOn();
  Say("lcdsim: resumed: the display was reset\n");
  if (!lptlcd::BroadcastResume()) SayBroadcastFailed("WM_POWERBROADCAST");
}

// Everything that runs between "ready" and the stop. resumeEvent may be null.
void RunUntilStopped(Simulator& simulator, const lptlcd::sim::SimOptions& options, HANDLE resumeEvent) {
  const ULONGLONG deadline = options.seconds > 0 ? GetTickCount64() + 1000ull * static_cast<ULONGLONG>(options.seconds)
                                                 : 0;
  bool changed = false;
  bool retryingFiles = false;
  for (;;) {
    DWORD timeout = changed ? kIdleMs : INFINITE;
    if (deadline != 0) {
      const ULONGLONG now = GetTickCount64();
      if (now >= deadline) return;
      const ULONGLONG left = deadline - now;
      if (left < timeout) timeout = static_cast<DWORD>(left);
    }
    const HANDLE events[3] = {g_stopEvent.Get(), simulator.PacketEvent(), resumeEvent};
    const DWORD woken = WaitForMultipleObjects(resumeEvent != nullptr ? 3 : 2, events, FALSE, timeout);
    if (woken == WAIT_OBJECT_0) return;
    if (woken == WAIT_OBJECT_0 + 1) {
      changed = true;
      continue;
    }
    if (woken == WAIT_OBJECT_0 + 2) {
      PlayResume(simulator);
      changed = true;  // the screen files show the blank screen too
      continue;
    }
    if (woken != WAIT_TIMEOUT) return;
    if (!changed) continue;  // the deadline check comes round again
    changed = false;
    if (!options.show && !options.filesOnIdle) continue;
    const lptlcd::sim::DisplayModel model = simulator.Snapshot();
    std::string error;
    if (options.filesOnIdle && !lptlcd::sim::WriteScreenFiles(model, options.output, error)) {
      // Often only a reader that had the file open at that moment (Windows
      // refuses to replace a file in use): try again at the next idle
      // moment, or the files would show a stale screen until the next packet.
      if (!retryingFiles) Say("lcdsim: %s (trying again)\n", error);
      retryingFiles = true;
      changed = true;
    } else {
      retryingFiles = false;
    }
    if (options.show) ShowScreen(model, options.output);
  }
}

int Run(const lptlcd::sim::SimOptions& options) {
  Simulator simulator;
  // The events a test names to pause the reading (manual reset: it holds
  // while set) and to play a resume (auto-reset: once a setting).
  lptlcd::UniqueKernelHandle pauseEvent;
  lptlcd::UniqueKernelHandle resumeEvent;
  const struct {
    const std::string& name;
    BOOL manualReset;
    lptlcd::UniqueKernelHandle& event;
    const char* what;
  } events[] = {{options.pauseEvent, TRUE, pauseEvent, "pause"}, {options.resumeEvent, FALSE, resumeEvent, "resume"}};
  for (const auto& named : events) {
    if (named.name.empty()) continue;
    named.event.Reset(CreateEventA(nullptr, named.manualReset, FALSE, named.name.c_str()));
    if (!named.event) {
      Say(("lcdsim: cannot create the " + std::string(named.what) + " event %s\n").c_str(), named.name);
      return kExitFailure;
    }
  }
  if (pauseEvent) simulator.SetPauseEvent(pauseEvent.Get());
  if (!options.logPath.empty() && !simulator.OpenLog(options.logPath)) {
    Say("lcdsim: cannot write the log %s\n", options.logPath);
    return kExitFailure;
  }

  // Destroyed in reverse order on every way out: the pipe goes first, then
  // the registrations, so nothing is left in the prefix.
  std::vector<std::unique_ptr<lptlcd::DisplayRegistration>> registrations;
  for (const lptlcd::sim::DisplaySpec& display : options.displays) {
    registrations.push_back(std::make_unique<lptlcd::DisplayRegistration>(display.id, RegistrationKind(display.kind)));
    const lptlcd::DisplayRegistration& registration = *registrations.back();
    if (!registration.ok()) {
      Say("lcdsim: cannot register display %s\n", display.id);
      return kExitFailure;
    }
    std::printf("lcdsim: display %s (%s) at %s\n", display.id.c_str(), lptlcd::sim::DisplayKindName(display.kind),
                registration.InterfacePath().c_str());
    std::fflush(stdout);
  }

  lptlcd::DisplayPipeServer server([&simulator](const std::uint8_t* packet) { simulator.OnPacket(packet); });
  if (options.servePipe) {
    if (!server.Start()) {
      Say("lcdsim: cannot serve the pipe \\\\.\\pipe\\PIPE01\n");
      return kExitFailure;
    }
  }
  // Before "ready", so that whoever waits for it knows the notice is out.
  SayPluggedOrUnplugged();
  Say(options.servePipe ? "lcdsim: ready: serving PIPE01\n" : "lcdsim: ready: not serving PIPE01\n");

  RunUntilStopped(simulator, options, resumeEvent.Get());

  // However the run ended, a paused reader must let go for the server to stop.
  SetEvent(g_stopEvent.Get());
  server.Stop();
  const lptlcd::sim::DisplayModel model = simulator.Snapshot();
  std::string error;
  // A reader that has a file open makes the replacing fail for that moment.
  bool written = false;
  for (int attempt = 0; attempt < 5 && !written; ++attempt) {
    if (attempt > 0) Sleep(20);
    written = lptlcd::sim::WriteScreenFiles(model, options.output, error);
  }
  if (!written) Say("lcdsim: %s\n", error);
  if (options.showFinal) ShowScreen(model, options.output);
  registrations.clear();
  SayPluggedOrUnplugged();
  std::printf("lcdsim: stopped after %llu packets (%llu ignored)\n",
              static_cast<unsigned long long>(model.PacketCount()),
              static_cast<unsigned long long>(model.IgnoredCount()));
  std::fflush(stdout);
  return written ? 0 : kExitFailure;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  lptlcd::sim::SimOptions options;
  std::string error;
  if (!lptlcd::sim::ParseSimOptions(args, options, error)) {
    std::fprintf(stderr, "lcdsim: %s\n%s", error.c_str(), lptlcd::sim::SimUsage());
    return kExitUsage;
  }
  if (options.help) {
    std::fputs(lptlcd::sim::SimUsage(), stdout);
    return 0;
  }

  g_stopEvent.Reset(
      CreateEventA(nullptr, TRUE, FALSE, options.stopEvent.empty() ? nullptr : options.stopEvent.c_str()));
  g_stoppedEvent.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!g_stopEvent || !g_stoppedEvent) {
    Say("lcdsim: cannot create the stop event %s\n", options.stopEvent);
    return kExitFailure;
  }
  if (options.show || options.showFinal) lptlcd::sim::PrepareConsoleForUtf8();
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);

  const int status = Run(options);

  SetEvent(g_stoppedEvent.Get());
  return status;
}
