#pragma once
// Command lines of lcdview and lcdsim. Portable, so that their parsing is
// tested natively.

#include <string>
#include <vector>

#include "tools/lcdsim/display_model.h"

namespace lptlcd::sim {

// The screen files both programs can write.
struct OutputOptions {
  std::string png;
  int scale = 4;
  std::string pbm;
  std::string textDump;
  bool ascii = false;  // terminal view in '#'/'.' instead of block characters
};

struct ViewOptions {
  OutputOptions output;
  bool show = false;    // print the screen; implied when no file is asked for
  bool help = false;    // --help: print the usage and do nothing else
  std::string logPath;  // "-" for standard input
};

// What a registered display lets a program open.
enum class DisplayKind {
  kOpenable,    // its interface path, and PIPE01 below it while served
  kUnopenable,  // nothing: listed, but its path fails to open
  kNoPipe,      // its interface path, never PIPE01 below it
};

// The kind's name on the command line: "openable", "unopenable", "nopipe".
const char* DisplayKindName(DisplayKind kind);

struct DisplaySpec {
  std::string id;  // the USB instance id, e.g. "B"
  DisplayKind kind = DisplayKind::kOpenable;
};

struct SimOptions {
  std::vector<DisplaySpec> displays;  // in registration (and discovery) order
  bool help = false;  // --help: print the usage and do nothing else
  bool servePipe = true;
  std::string logPath;
  OutputOptions output;
  bool filesOnIdle = false;  // rewrite the screen files at every idle moment
  bool show = false;         // print the screen at every idle moment
  bool showFinal = false;    // print it once when stopping
  int seconds = 0;           // 0: run until stopped
  std::string stopEvent;     // name of an event that stops the simulator
  std::string pauseEvent;    // name of an event that, while set, stops the reading
  std::string resumeEvent;   // name of an auto-reset event that plays a resume
};

// Both return false with a message in error for a bad command line; args
// excludes the program name.
bool ParseViewOptions(const std::vector<std::string>& args, ViewOptions& options, std::string& error);
bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& options, std::string& error);

const char* ViewUsage();
const char* SimUsage();

// The terminal view the options ask for.
std::string RenderScreen(const DisplayModel& model, const OutputOptions& output);

// Writes every screen file the options name; false with the first failure
// in error.
bool WriteScreenFiles(const DisplayModel& model, const OutputOptions& output, std::string& error);

}  // namespace lptlcd::sim
