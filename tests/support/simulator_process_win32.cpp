#include "simulator_process.h"

#include <atomic>
#include <sstream>

namespace lptlcd::test {

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

namespace {

// A tag of its own for every simulator a test process starts, so that no two
// of them, even of one name, ever share an event.
std::string UniqueTag(const std::string& name) {
  static std::atomic<unsigned> started{0};
  return name + "_" + std::to_string(::GetCurrentProcessId()) + "_" + std::to_string(++started);
}

}  // namespace

SimulatorProcess::SimulatorProcess(const std::string& lcdsimPath, const std::string& name)
    : program("\"" + WindowsPath(lcdsimPath) + "\""),
      folder(MakeTempFolder("lcdsim_" + name)),
      tag(UniqueTag(name)),
      stopEvent("lcdsim_test_stop_" + tag),
      pauseEvent("lcdsim_test_pause_" + tag),
      resumeEvent("lcdsim_test_resume_" + tag) {}

// A test that failed half-way still stops the simulator the clean way, so
// that its registrations do not spoil the tests after it.
SimulatorProcess::~SimulatorProcess() { Stop(); }

bool SimulatorProcess::Start(const std::string& arguments) {
  return process.Start(program + " " + arguments);
}

bool SimulatorProcess::StartServing() {
  return Start("--display B --log \"" + File("packets.log") + "\" --text-dump \"" +
               File("screen.txt") + "\" --pbm \"" + File("screen.pbm") +
               "\" --files-on-idle --stop-event " + stopEvent + " --pause-event " + pauseEvent +
               " --resume-event " + resumeEvent) &&
         process.WaitForOutput("lcdsim: ready: serving PIPE01\n", kGenerousMs);
}

bool SimulatorProcess::PauseReading(bool paused) {
  UniqueKernelHandle event(::OpenEventA(EVENT_MODIFY_STATE, FALSE, pauseEvent.c_str()));
  return event && (paused ? ::SetEvent(event.Get()) : ::ResetEvent(event.Get()));
}

bool SimulatorProcess::PlayResume() {
  const std::string said = "lcdsim: resumed: the display was reset\n";
  const auto resumes = [&] {
    const std::string output = Output();
    std::size_t count = 0;
    for (std::size_t at = output.find(said); at != std::string::npos; at = output.find(said, at + 1)) ++count;
    return count;
  };
  const std::size_t before = resumes();
  UniqueKernelHandle event(::OpenEventA(EVENT_MODIFY_STATE, FALSE, resumeEvent.c_str()));
  return event && ::SetEvent(event.Get()) && WaitFor([&] { return resumes() > before; }, kGenerousMs);
}

bool SimulatorProcess::RequestStop() {
  UniqueKernelHandle event(::OpenEventA(EVENT_MODIFY_STATE, FALSE, stopEvent.c_str()));
  return event && ::SetEvent(event.Get());
}

void SimulatorProcess::Stop() {
  if (!process.IsRunning()) return;
  if (!RequestStop() || process.WaitForExit(kGenerousMs) == -1) process.Terminate();
}

std::vector<std::string> SimulatorProcess::Packets() const {
  return SplitLines(ReadWholeFile(File("packets.log")));
}

std::string SimulatorProcess::Text() const {
  return WithoutCarriageReturns(ReadWholeFile(File("screen.txt")));
}

std::vector<std::string> SimulatorProcess::Pixels() const {
  const std::vector<std::string> lines =
      SplitLines(WithoutCarriageReturns(ReadWholeFile(File("screen.pbm"))));
  if (lines.size() != 34 || lines[0] != "P1" || lines[1] != "122 32") return {};
  return std::vector<std::string>(lines.begin() + 2, lines.end());
}

bool SimulatorProcess::WaitForPacketCount(std::size_t count, DWORD boundMs) const {
  return WaitFor([&] { return Packets().size() >= count; }, boundMs);
}

bool SimulatorProcess::WaitForText(const std::string& expected, DWORD boundMs) const {
  return WaitFor([&] { return Text() == expected; }, boundMs);
}

}  // namespace lptlcd::test
