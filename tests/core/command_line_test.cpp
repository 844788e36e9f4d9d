#include "capture/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lptlcd {
namespace {

// What a command line gives, as one string: "run 20x4", "run 20x4 wait",
// "install --module 20x4 --wait" (the entry's arguments), "uninstall",
// "help" or the error.
std::string Outcome(const std::vector<std::string>& args) {
  std::vector<const char*> pointers;
  for (const std::string& arg : args) pointers.push_back(arg.c_str());
  const CommandLine line = ParseCommandLine(static_cast<int>(pointers.size()), pointers.data());
  switch (line.action) {
    case CommandLineAction::kRun:
      return "run " + std::to_string(line.module.columns) + "x" + std::to_string(line.module.lines) +
             (line.waitForDisplay ? " wait" : "");
    case CommandLineAction::kInstall:
      return std::string("install ") + StartupEntryArguments(line).text;
    case CommandLineAction::kUninstall:
      return "uninstall";
    case CommandLineAction::kHelp:
      return "help";
    case CommandLineAction::kError:
      return std::string(line.error);
  }
  return "?";
}

const std::string kSizes = "(sizes: 8x1 8x2 16x1 16x2 16x4 20x1 20x2 20x4 24x2 40x1 40x2)";

struct Case {
  std::vector<std::string> args;
  std::string outcome;
};

const Case kCases[] = {
    {{}, "run 20x2"},
    {{"--module", "20x4"}, "run 20x4"},
    {{"--module=16x2"}, "run 16x2"},
    {{"--module", "20X4"}, "run 20x4"},
    {{"--help"}, "help"},
    {{"-h"}, "help"},
    {{"/?"}, "help"},
    {{"-?"}, "help"},
    {{"/help"}, "help"},
    {{"--wait"}, "run 20x2 wait"},
    {{"--wait", "--module", "40x2"}, "run 40x2 wait"},
    {{"--wait", "--wait"}, "lptlcd: --wait given twice"},
    {{"--install"}, "install --wait"},
    {{"--module", "20x4", "--install"}, "install --module 20x4 --wait"},
    {{"--install", "--module=40x2", "--wait"}, "install --module 40x2 --wait"},
    {{"--install", "--help"}, "help"},
    {{"--install", "--module", "20x3"}, "lptlcd: no module 20x3 " + kSizes},
    {{"--install", "--install"}, "lptlcd: --install given twice"},
    {{"--install", "--uninstall"}, "lptlcd: --install and --uninstall cannot go together"},
    {{"--install", "--modul", "20x4"}, "lptlcd: unknown option '--modul'"},
    {{"--uninstall"}, "uninstall"},
    {{"--uninstall", "--module", "20x4"}, "lptlcd: --uninstall takes no other option"},
    {{"--uninstall", "--wait"}, "lptlcd: --uninstall takes no other option"},
    {{"--help", "--modul"}, "help"},
    {{"--modul", "--help"}, "lptlcd: unknown option '--modul'"},
    {{"--module"}, "lptlcd: --module needs a size, such as --module 20x4"},
    {{"--module="}, "lptlcd: --module needs a size, such as --module 20x4"},
    {{"--module", "20x3"}, "lptlcd: no module 20x3 " + kSizes},
    {{"--module", "0x0"}, "lptlcd: no module 0x0 " + kSizes},
    // Eight bits would wrap 276 to 20.
    {{"--module", "276x2"}, "lptlcd: no module 276x2 " + kSizes},
    {{"--module", "20x4x1"}, "lptlcd: bad size '20x4x1' for --module (columns x lines, such as 20x4)"},
    {{"--module", "abc"}, "lptlcd: bad size 'abc' for --module (columns x lines, such as 20x4)"},
    {{"--module", "20x"}, "lptlcd: bad size '20x' for --module (columns x lines, such as 20x4)"},
    {{"--modul", "20x4"}, "lptlcd: unknown option '--modul'"},
    {{"20x4"}, "lptlcd: unexpected argument '20x4'"},
    {{"--module", "20x4", "extra"}, "lptlcd: unexpected argument 'extra'"},
    {{"--module", "20x4", "--module", "16x2"}, "lptlcd: --module given twice"},
    // The error stays one line, and a long argument does not bury it.
    {{"a\nb\r"}, "lptlcd: unexpected argument 'a?b?'"},
    {{"-" + std::string(60, 'z')}, "lptlcd: unknown option '-" + std::string(39, 'z') + "...'"},
    {{"--module", std::string(60, '7') + "x2"}, "lptlcd: no module " + std::string(40, '7') + "... " + kSizes},
};

TEST(CommandLine, EachArgumentListGivesItsOutcome) {
  for (const Case& c : kCases) {
    std::string shown;
    for (const std::string& arg : c.args) shown += " [" + arg + "]";
    EXPECT_EQ(c.outcome, Outcome(c.args)) << "lptlcd" << shown;
  }
}

// The help is built into a buffer of fixed size: its last line shows it whole.
TEST(CommandLine, HelpGivesTheUsageTheSizesAndTheDefault) {
  const std::string help(HelpText());
  EXPECT_NE(std::string::npos, help.find("\nusage: lptlcd [--module WxH] [--wait]\n"));
  EXPECT_NE(std::string::npos, help.find("\nSizes: 8x1 8x2 16x1 16x2 16x4 20x1 20x2 20x4 24x2 40x1 40x2\n"));
  EXPECT_NE(std::string::npos, help.find("\nWithout --module lptlcd shows a 20x2 module.\n"));
  std::size_t lines = 0;
  for (const char c : help) lines += c == '\n';
  EXPECT_LE(lines, 20u);
}

}  // namespace
}  // namespace lptlcd
