#pragma once
// What the end-to-end tests share: the virtual display, lptlcd.exe and the
// producers as real processes, and ways to read what reached the display.

#include <windows.h>

#include <string>
#include <vector>

#include "common/lcd_types.h"
#include "simulator_process.h"
#include "tools/harness/child_process.h"

namespace lptlcd::test {

constexpr DWORD kFloodBoundMs = 300000;

std::string Quoted(const std::string& path);

// The virtual display, writing its packet log and its screen (text and
// pixels) to files that follow the screen while it runs.
class Simulator : public SimulatorProcess {
 public:
  explicit Simulator(const std::string& name);
  bool Start() { return StartServing(); }
};

// lptlcd.exe, started once the display is there; terminated at the end, as
// the program only ever ends that way.
class Program {
 public:
  // With the program's own command-line arguments, if any.
  bool Start(const std::string& arguments = "");
  ~Program() { process.Terminate(); }
  std::string Output() const { return process.Output(); }
  bool IsRunning() const { return process.IsRunning(); }
  bool WaitForOutput(const std::string& text, DWORD boundMs) { return process.WaitForOutput(text, boundMs); }

 private:
  ChildProcess process;
};

// Starts the display, then the program, and waits for the program's two
// start-up packets.
void StartDisplayAndProgram(Simulator& sim, Program& program, const std::string& arguments = "");

// lcdfeed with these arguments, waited for within the flood bound.
ChildResult Feed(const std::string& arguments);

// The text dump: four rows of twenty cells.
std::string Screen(const std::string& line0, const std::string& line1 = "",
                   const std::string& line2 = "", const std::string& line3 = "");

// The characters a stream of records writes, in order, as the decoder sees them.
std::string DataBytesOf(const std::vector<PortWriteRecord>& records);

// The characters the first `records` records of lcdfeed's flood write.
std::string FloodText(std::size_t records);

// The characters of every text packet, in the order the display received them.
std::string TextCarriedBy(const std::vector<std::string>& packets);

// What the program says when the display's writes fail, and when they go
// through again.
constexpr char kWriteFailed[] = "Unable to write to device\n";
constexpr char kWritesAgain[] = "Writing to device again\n";

// How many times `part` stands in `text`.
std::size_t Occurrences(const std::string& text, const std::string& part);

// Feeds one part of a session as an lcdfeed script and waits until lptlcd
// has taken it from the ring.
void FeedPart(Simulator& sim, const std::string& name, const std::string& script);

// Waits until the display has had no packet for a while, then gives its
// screen: 32 rows of '0' and '1'.
std::vector<std::string> SettledPixels(Simulator& sim);

// Reads the ring's pending count, or -1 when nobody has created the ring.
int PendingInRing();

}  // namespace lptlcd::test
