#pragma once
// lptlcd's command line: which character module the driving software was set
// up for, or a request for help. Portable, so that it is tested natively.

#include <string>
#include <vector>

#include "emulator/module_size.h"

namespace lptlcd {

enum class CommandLineAction { kRun, kHelp, kError };

struct CommandLine {
  CommandLineAction action = CommandLineAction::kRun;
  ModuleSize module = kDefaultModule;  // kRun: the module to show
  std::string error;                   // kError: one line, without its newline
};

// Reads the arguments after the program's name, left to right: the first
// help option or the first fault decides, so `--help --modul` prints the
// help and `--modul --help` is an error. No arguments: kDefaultModule.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// What follows the error line on standard error; ends in a newline.
std::string UsageText();

// What --help prints: what lptlcd does, the usage, the option and the sizes;
// ends in a newline.
std::string HelpText();

}  // namespace lptlcd
