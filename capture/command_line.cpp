#include "capture/command_line.h"

#include <cstring>

namespace lptlcd {
namespace {

constexpr char kModuleOption[] = "--module";
constexpr char kModuleWithValue[] = "--module=";
constexpr char kWaitOption[] = "--wait";
constexpr char kInstallOption[] = "--install";
constexpr char kUninstallOption[] = "--uninstall";
constexpr char kUsageLine[] = "usage: lptlcd [--module WxH] [--wait]\n";
constexpr char kInstallUsageLine[] = "       lptlcd --install [--module WxH] | --uninstall\n";
// Past this many characters an argument quoted in an error is cut short.
constexpr std::size_t kMaxShown = 40;
// Larger than any module's columns or lines, small enough not to overflow.
constexpr unsigned kSizeCeiling = 1000;

// Text of bounded size, built in place (at compile time for the help); what
// does not fit is left off, and it always ends in a NUL.
template <std::size_t N>
struct FixedText {
  char chars[N] = {};
  std::size_t size = 0;

  constexpr void Add(char c) {
    if (size + 1 < N) chars[size++] = c;
  }
  constexpr void Add(const char* text) {
    while (*text != '\0') Add(*text++);
  }
  constexpr void AddNumber(unsigned value) {
    char digits[10] = {};
    std::size_t count = 0;
    do {
      digits[count++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value != 0);
    while (count > 0) Add(digits[--count]);
  }
  constexpr void AddSize(ModuleSize module) {
    AddNumber(module.columns);
    Add('x');
    AddNumber(module.lines);
  }
  constexpr void AddSizeList() {
    const char* separator = "";
    for (ModuleSize module : kSupportedModules) {
      Add(separator);
      AddSize(module);
      separator = " ";
    }
  }
  // An argument as an error line shows it: a newline or other control
  // character in it would break the one line, a very long one would bury it.
  void AddShown(const char* arg) {
    std::size_t at = 0;
    for (; arg[at] != '\0' && at < kMaxShown; ++at) {
      const auto byte = static_cast<unsigned char>(arg[at]);
      Add((byte < 0x20 || byte == 0x7F) ? '?' : arg[at]);
    }
    if (arg[at] != '\0') Add("...");
  }
  void AddQuoted(const char* arg) {
    Add('\'');
    AddShown(arg);
    Add('\'');
  }
};

constexpr FixedText<1536> MakeHelp() {
  FixedText<1536> help;
  help.Add(
      "lptlcd shows on the USB graphic display what the HD44780 character LCD\n"
      "module your old LCD software was set up for would show. The software\n"
      "writes to the parallel port through lptlcd's port DLL (or another producer\n"
      "of port writes); lptlcd runs until you close its window or press Ctrl+C.\n"
      "\n");
  help.Add(kUsageLine);
  help.Add(kInstallUsageLine);
  help.Add(
      "\n"
      "  --module WxH    the module the software is set up for: W columns,\n"
      "                  H lines (--module=WxH works too)\n"
      "  --wait          wait for the display if it is not plugged in yet\n"
      "  --install       start lptlcd (minimised, with --wait) at every logon\n"
      "                  of this user, with the --module given\n"
      "  --uninstall     no longer start lptlcd at logon\n"
      "  --help, -h, -?, /?, /help  print this help\n"
      "\n"
      "Sizes: ");
  help.AddSizeList();
  help.Add("\nWithout --module lptlcd shows a ");
  help.AddSize(kDefaultModule);
  help.Add(" module.\n");
  return help;
}

constexpr FixedText<1536> kHelp = MakeHelp();

constexpr FixedText<192> MakeUsage() {
  FixedText<192> usage;
  usage.Add(kUsageLine);
  usage.Add(kInstallUsageLine);
  usage.Add("       lptlcd --help   (what it does, and the sizes)\n");
  return usage;
}

constexpr FixedText<192> kUsage = MakeUsage();

using ErrorLine = FixedText<kCommandLineErrorBytes>;

ErrorLine StartError() {
  ErrorLine line;
  line.Add("lptlcd: ");
  return line;
}

CommandLine Failed(const ErrorLine& line) {
  CommandLine result;
  result.action = CommandLineAction::kError;
  std::memcpy(result.error, line.chars, sizeof result.error);
  return result;
}

CommandLine Failed(const char* message) {
  ErrorLine line = StartError();
  line.Add(message);
  return Failed(line);
}

// Decimal digits up to 'x' or 'X' (or the end); false when there are none.
// Values at or past kSizeCeiling stay there instead of wrapping: 276x2 must
// not become 20x2 in eight bits.
bool TakeNumber(const char*& at, unsigned& value) {
  const char* start = at;
  value = 0;
  for (; *at >= '0' && *at <= '9'; ++at) {
    value = value * 10 + static_cast<unsigned>(*at - '0');
    if (value > kSizeCeiling) value = kSizeCeiling;
  }
  return at != start;
}

// "WxH" (or "WXH") with nothing before, between or after.
bool ReadSize(const char* text, unsigned& columns, unsigned& lines) {
  if (!TakeNumber(text, columns) || (*text != 'x' && *text != 'X')) return false;
  ++text;
  return TakeNumber(text, lines) && *text == '\0';
}

bool IsHelp(const char* arg) {
  static const char* const kHelpOptions[] = {"--help", "-h", "-?", "/?", "/help"};
  for (const char* help : kHelpOptions) {
    if (std::strcmp(arg, help) == 0) return true;
  }
  return false;
}

// Windows programs take options after '/' as well as '-'.
bool LooksLikeOption(const char* arg) {
  return (arg[0] == '-' || arg[0] == '/') && arg[1] != '\0';
}

}  // namespace

CommandLine ParseCommandLine(int count, const char* const* args) {
  CommandLine result;
  for (int i = 0; i < count; ++i) {
    const char* arg = args[i];
    if (IsHelp(arg)) {
      CommandLine help;
      help.action = CommandLineAction::kHelp;
      return help;
    }
    if (std::strcmp(arg, kWaitOption) == 0) {
      if (result.waitForDisplay) return Failed("--wait given twice");
      result.waitForDisplay = true;
      continue;
    }
    const bool install = std::strcmp(arg, kInstallOption) == 0;
    if (install || std::strcmp(arg, kUninstallOption) == 0) {
      if (result.action != CommandLineAction::kRun) {
        const bool same = (result.action == CommandLineAction::kInstall) == install;
        return Failed(same ? (install ? "--install given twice" : "--uninstall given twice")
                           : "--install and --uninstall cannot go together");
      }
      result.action = install ? CommandLineAction::kInstall : CommandLineAction::kUninstall;
      continue;
    }
    const char* size = "";
    if (std::strcmp(arg, kModuleOption) == 0) {
      // A size never starts with '-': what follows is another option.
      if (i + 1 < count && args[i + 1][0] != '-') size = args[++i];
    } else if (std::strncmp(arg, kModuleWithValue, sizeof kModuleWithValue - 1) == 0) {
      size = arg + sizeof kModuleWithValue - 1;
    } else {
      ErrorLine line = StartError();
      line.Add(LooksLikeOption(arg) ? "unknown option " : "unexpected argument ");
      line.AddQuoted(arg);
      return Failed(line);
    }
    if (result.moduleGiven) return Failed("--module given twice");
    result.moduleGiven = true;
    if (size[0] == '\0') return Failed("--module needs a size, such as --module 20x4");
    unsigned columns = 0;
    unsigned lines = 0;
    if (!ReadSize(size, columns, lines)) {
      ErrorLine line = StartError();
      line.Add("bad size ");
      line.AddQuoted(size);
      line.Add(" for --module (columns x lines, such as 20x4)");
      return Failed(line);
    }
    const ModuleSize module = {static_cast<std::uint8_t>(columns), static_cast<std::uint8_t>(lines)};
    if (columns > 0xFF || lines > 0xFF || !IsSupportedModule(module)) {
      ErrorLine line = StartError();
      line.Add("no module ");
      line.AddShown(size);
      line.Add(" (sizes: ");
      line.AddSizeList();
      line.Add(')');
      return Failed(line);
    }
    result.module = module;
  }
  // The entry that --uninstall removes has its own options: any given here
  // would be ignored, which is not what a person typing them expects.
  if (result.action == CommandLineAction::kUninstall && (result.moduleGiven || result.waitForDisplay)) {
    return Failed("--uninstall takes no other option");
  }
  return result;
}

EntryArguments StartupEntryArguments(const CommandLine& line) {
  FixedText<kEntryArgumentsBytes> text;
  if (line.moduleGiven) {
    text.Add(kModuleOption);
    text.Add(' ');
    text.AddSize(line.module);
    text.Add(' ');
  }
  text.Add(kWaitOption);
  EntryArguments arguments;
  std::memcpy(arguments.text, text.chars, sizeof arguments.text);
  return arguments;
}

const char* UsageText() { return kUsage.chars; }

const char* HelpText() { return kHelp.chars; }

}  // namespace lptlcd
