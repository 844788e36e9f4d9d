#pragma once
// lptlcd's command line: which character module the driving software was set
// up for, or a request for help. Portable, so that it is tested natively.
// No std::string: lptlcd.exe links none, as libstdc++'s string code brings
// msvcrt imports that have not been checked against Windows XP's.

#include <cstddef>

#include "emulator/module_size.h"

namespace lptlcd {

enum class CommandLineAction { kRun, kHelp, kError };

// Room for the longest error line: an argument is quoted with at most 40 of
// its characters.
constexpr std::size_t kCommandLineErrorBytes = 160;

struct CommandLine {
  CommandLineAction action = CommandLineAction::kRun;
  ModuleSize module = kDefaultModule;      // kRun: the module to show
  char error[kCommandLineErrorBytes] = {};  // kError: one line, without its newline
};

// Reads the `count` arguments after the program's name, left to right: the
// first help option or the first fault decides, so `--help --modul` prints
// the help and `--modul --help` is an error. No arguments: kDefaultModule.
CommandLine ParseCommandLine(int count, const char* const* args);

// What follows the error line on standard error; ends in a newline.
const char* UsageText();

// What --help prints: what lptlcd does, the usage, the option and the sizes;
// ends in a newline.
const char* HelpText();

}  // namespace lptlcd
