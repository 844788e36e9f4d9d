#pragma once
// lcdsim.exe, the virtual display, run by a test: started with a stop event
// of its own so that it can always be stopped the clean way (which removes
// its registrations from the prefix), with its files in a folder of its own.

#include <windows.h>

#include <string>
#include <vector>

#include "tools/harness/child_process.h"

namespace lptlcd::test {

class SimulatorProcess {
 public:
  // `lcdsimPath`: lcdsim.exe's build-tree path; `name` tags its folder and event.
  SimulatorProcess(const std::string& lcdsimPath, const std::string& name);
  ~SimulatorProcess();  // stops it the clean way, or terminates it
  SimulatorProcess(const SimulatorProcess&) = delete;
  SimulatorProcess& operator=(const SimulatorProcess&) = delete;

  // Runs lcdsim with these arguments (add " --stop-event " + StopEventName()
  // to make RequestStop work).
  bool Start(const std::string& arguments);
  // One display "B" serving PIPE01, logging every packet to packets.log and
  // keeping screen.txt and screen.pbm up to date; waits until it is ready.
  bool StartServing();

  bool RequestStop();  // false when its stop event cannot be found
  // Stops or restarts the display's reading of its pipe, as a display that
  // hangs and comes back (StartServing's simulator only). False when its
  // pause event cannot be found.
  bool PauseReading(bool paused);
  // Plays a resume from sleep (StartServing's simulator only): the display is
  // reset to blank in place, with its pipe and client kept, and lcdsim posts
  // WM_POWERBROADCAST. True once lcdsim has said "lcdsim: resumed: the
  // display was reset", so the broadcast is out when it returns.
  bool PlayResume();
  long WaitForExit(DWORD boundMs) { return process.WaitForExit(boundMs); }
  void Stop();

  std::string File(const std::string& name) const { return folder + name; }
  const std::string& StopEventName() const { return stopEvent; }
  std::string Output() const { return process.Output(); }
  std::string Errors() const { return process.Errors(); }
  bool WaitForOutput(const std::string& text, DWORD boundMs) {
    return process.WaitForOutput(text, boundMs);
  }

  // What StartServing's files say: the packet lines, the four text rows, and
  // the 32 pixel rows of '0'/'1' (empty while the file is not there yet).
  std::vector<std::string> Packets() const;
  std::string Text() const;
  std::vector<std::string> Pixels() const;
  bool WaitForPacketCount(std::size_t count, DWORD boundMs = kGenerousMs) const;
  bool WaitForText(const std::string& expected, DWORD boundMs = kGenerousMs) const;

 private:
  std::string program;
  std::string folder;
  std::string tag;  // unique among the process's simulators
  std::string stopEvent;
  std::string pauseEvent;
  std::string resumeEvent;
  ChildProcess process;
};

// The lines of a text, without their line ends.
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace lptlcd::test
