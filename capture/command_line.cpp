#include "capture/command_line.h"

#include <cstddef>

namespace lptlcd {
namespace {

constexpr char kModuleOption[] = "--module";
constexpr char kUsageLine[] = "usage: lptlcd [--module WxH]\n";
// Past this many characters an argument echoed in an error is cut short.
constexpr std::size_t kMaxShown = 40;
// Larger than any module's columns or lines, small enough not to overflow.
constexpr unsigned kSizeCeiling = 1000;

std::string SizeName(ModuleSize module) {
  return std::to_string(module.columns) + "x" + std::to_string(module.lines);
}

std::string SizeList() {
  std::string list;
  for (ModuleSize module : kSupportedModules) {
    if (!list.empty()) list += ' ';
    list += SizeName(module);
  }
  return list;
}

// An argument as the error line shows it: a newline or other control
// character in it would break the one line, a very long one would bury it.
std::string Shown(const std::string& arg) {
  std::string shown;
  for (const char c : arg.substr(0, kMaxShown)) {
    const auto byte = static_cast<unsigned char>(c);
    shown += (byte < 0x20 || byte == 0x7F) ? '?' : c;
  }
  if (arg.size() > kMaxShown) shown += "...";
  return shown;
}

std::string Quoted(const std::string& arg) { return "'" + Shown(arg) + "'"; }

CommandLine Fault(const std::string& line) {
  CommandLine result;
  result.action = CommandLineAction::kError;
  result.error = "lptlcd: " + line;
  return result;
}

// Decimal digits up to 'x' or 'X' (or the end); false when there are none.
// Values at or past kSizeCeiling stay there instead of wrapping: 276x2 must
// not become 20x2 in eight bits.
bool TakeNumber(const std::string& text, std::size_t& at, unsigned& value) {
  const std::size_t start = at;
  value = 0;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
    value = value * 10 + static_cast<unsigned>(text[at] - '0');
    if (value > kSizeCeiling) value = kSizeCeiling;
    ++at;
  }
  return at > start;
}

// "WxH" (or "WXH") with nothing before, between or after.
bool ReadSize(const std::string& text, unsigned& columns, unsigned& lines) {
  std::size_t at = 0;
  if (!TakeNumber(text, at, columns)) return false;
  if (at >= text.size() || (text[at] != 'x' && text[at] != 'X')) return false;
  ++at;
  return TakeNumber(text, at, lines) && at == text.size();
}

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h" || arg == "/?"; }

// Windows programs take options after '/' as well as '-'.
bool LooksLikeOption(const std::string& arg) {
  return arg.size() > 1 && (arg[0] == '-' || arg[0] == '/');
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine result;
  bool moduleGiven = false;
  const std::string withValue = std::string(kModuleOption) + "=";
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (IsHelp(arg)) {
      CommandLine help;
      help.action = CommandLineAction::kHelp;
      return help;
    }
    std::string size;
    if (arg == kModuleOption) {
      // A size never starts with '-': what follows is another option.
      if (i + 1 < args.size() && args[i + 1].compare(0, 1, "-") != 0) size = args[++i];
    } else if (arg.compare(0, withValue.size(), withValue) == 0) {
      size = arg.substr(withValue.size());
    } else if (LooksLikeOption(arg)) {
      return Fault("unknown option " + Quoted(arg));
    } else {
      return Fault("unexpected argument " + Quoted(arg));
    }
    if (moduleGiven) return Fault("--module given twice");
    moduleGiven = true;
    if (size.empty()) return Fault("--module needs a size, such as --module 20x4");
    unsigned columns = 0;
    unsigned lines = 0;
    if (!ReadSize(size, columns, lines)) {
      return Fault("bad size " + Quoted(size) + " for --module (columns x lines, such as 20x4)");
    }
    const bool fits = columns <= 0xFF && lines <= 0xFF;
    const ModuleSize module = {static_cast<std::uint8_t>(columns), static_cast<std::uint8_t>(lines)};
    if (!fits || !IsSupportedModule(module)) {
      return Fault("no module " + Shown(size) + " (sizes: " + SizeList() + ")");
    }
    result.module = module;
  }
  return result;
}

std::string UsageText() {
  return std::string(kUsageLine) + "       lptlcd --help   (what it does, and the sizes)\n";
}

std::string HelpText() {
  return "lptlcd shows on the USB graphic display what the HD44780 character LCD\n"
         "module your old LCD software was set up for would show. The software\n"
         "writes to the parallel port through lptlcd's port DLL (or another producer\n"
         "of port writes); lptlcd runs until you close its window or press Ctrl+C.\n"
         "\n" +
         std::string(kUsageLine) +
         "\n"
         "  --module WxH    the module the software is set up for: W columns,\n"
         "                  H lines (--module=WxH works too)\n"
         "  --help, -h, /?  print this help\n"
         "\n"
         "Sizes: " +
         SizeList() +
         "\n"
         "Without --module lptlcd shows a " +
         SizeName(kDefaultModule) + " module.\n";
}

}  // namespace lptlcd
