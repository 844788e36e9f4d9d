#pragma once
// lptlcd's command line: which character module the driving software was set
// up for, whether to wait for a display that is not there yet, a request to
// start with Windows (or no longer), or one for help. Portable, so that it is
// tested natively.
// No std::string: lptlcd.exe links none, as libstdc++'s string code brings
// msvcrt imports that have not been checked against Windows XP's.

#include <cstddef>

#include "emulator/module_size.h"

namespace lptlcd {

enum class CommandLineAction { kRun, kHelp, kError, kInstall, kUninstall };

// Room for the longest error line: an argument is quoted with at most 40 of
// its characters.
constexpr std::size_t kCommandLineErrorBytes = 160;

struct CommandLine {
  CommandLineAction action = CommandLineAction::kRun;
  ModuleSize module = kDefaultModule;      // kRun, kInstall: the module to show
  bool moduleGiven = false;                // --module was given
  bool waitForDisplay = false;             // kRun: a display missing at start is waited for
  char error[kCommandLineErrorBytes] = {};  // kError: one line, without its newline
};

// Reads the `count` arguments after the program's name, left to right: the
// first help option or the first fault decides, so `--help --modul` prints
// the help and `--modul --help` is an error. No arguments: kDefaultModule.
// --install takes --module (and --wait, which its entry always has);
// --uninstall takes nothing else.
CommandLine ParseCommandLine(int count, const char* const* args);

// The arguments the logon entry that --install makes starts lptlcd with: the
// module, when one was given, and --wait (at logon the display is often not
// there yet).
constexpr std::size_t kEntryArgumentsBytes = 32;
struct EntryArguments {
  char text[kEntryArgumentsBytes] = {};
};
EntryArguments StartupEntryArguments(const CommandLine& line);

// What follows the error line on standard error; ends in a newline.
const char* UsageText();

// What --help prints: what lptlcd does, the usage, the option and the sizes;
// ends in a newline.
const char* HelpText();

}  // namespace lptlcd
