#include "tools/lcdsim/options.h"

#include <cstddef>

#include "tools/lcdsim/screen_output.h"

namespace lptlcd::sim {
namespace {

// A strict decimal: no sign, no blanks, no trailing text, at most max.
bool ParseNumber(const std::string& text, int max, int& value) {
  if (text.empty() || text.size() > 9) return false;
  int number = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
  }
  if (number > max) return false;
  value = number;
  return true;
}

// The id becomes part of a registry key and of a device path in which '\'
// and '#' separate fields, so only plain characters are let through.
bool IsValidDisplayId(const std::string& id) {
  if (id.empty() || id.size() > 32) return false;
  for (const char c : id) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '_' || c == '-' || c == '.';
    if (!plain) return false;
  }
  return true;
}

bool SameId(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

constexpr DisplayKind kDisplayKinds[] = {DisplayKind::kOpenable, DisplayKind::kUnopenable, DisplayKind::kNoPipe};

bool ParseDisplayKind(const std::string& name, DisplayKind& kind) {
  for (const DisplayKind candidate : kDisplayKinds) {
    if (name == DisplayKindName(candidate)) {
      kind = candidate;
      return true;
    }
  }
  return false;
}

// Takes the value of an option that needs one.
bool TakeValue(const std::vector<std::string>& args, std::size_t& i, std::string& value, std::string& error) {
  if (i + 1 >= args.size() || args[i + 1].empty()) {
    error = args[i] + " needs a value";
    return false;
  }
  value = args[++i];
  return true;
}

// The options both programs share. Returns true when args[i] was one of
// them (ok tells whether it was well formed).
bool ParseOutputOption(const std::vector<std::string>& args, std::size_t& i, OutputOptions& output, bool& ok,
                       std::string& error) {
  const std::string& arg = args[i];
  ok = true;
  if (arg == "--png") {
    ok = TakeValue(args, i, output.png, error);
  } else if (arg == "--pbm") {
    ok = TakeValue(args, i, output.pbm, error);
  } else if (arg == "--text-dump") {
    ok = TakeValue(args, i, output.textDump, error);
  } else if (arg == "--ascii") {
    output.ascii = true;
  } else if (arg == "--scale") {
    std::string value;
    ok = TakeValue(args, i, value, error);
    if (ok && (!ParseNumber(value, kPngMaxScale, output.scale) || output.scale < kPngMinScale)) {
      error = "--scale wants a whole number from 1 to 16, not '" + value + "'";
      ok = false;
    }
  } else {
    return false;
  }
  return true;
}

}  // namespace

const char* DisplayKindName(DisplayKind kind) {
  switch (kind) {
    case DisplayKind::kOpenable: return "openable";
    case DisplayKind::kUnopenable: return "unopenable";
    case DisplayKind::kNoPipe: return "nopipe";
  }
  return "?";
}

bool ParseViewOptions(const std::vector<std::string>& args, ViewOptions& options, std::string& error) {
  options = ViewOptions();
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    bool ok = true;
    if (ParseOutputOption(args, i, options.output, ok, error)) {
      if (!ok) return false;
    } else if (arg == "--show") {
      options.show = true;
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
      return true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option " + arg;
      return false;
    } else if (!options.logPath.empty()) {
      error = "only one log file can be replayed";
      return false;
    } else {
      options.logPath = arg;
    }
  }
  if (options.logPath.empty()) {
    error = "no log file given";
    return false;
  }
  if (options.output.png.empty() && options.output.pbm.empty() && options.output.textDump.empty()) {
    options.show = true;
  }
  return true;
}

bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& options, std::string& error) {
  options = SimOptions();
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    bool ok = true;
    std::string value;
    if (ParseOutputOption(args, i, options.output, ok, error)) {
      if (!ok) return false;
    } else if (arg == "--display") {
      if (!TakeValue(args, i, value, error)) return false;
      DisplaySpec display;
      const std::size_t colon = value.find(':');
      display.id = value.substr(0, colon);
      if (colon != std::string::npos && !ParseDisplayKind(value.substr(colon + 1), display.kind)) {
        error = "--display " + value + ": the kind is openable, unopenable or nopipe";
        return false;
      }
      if (!IsValidDisplayId(display.id)) {
        error = "--display " + value + ": the id is 1 to 32 letters, digits, '_', '-' or '.'";
        return false;
      }
      for (const DisplaySpec& other : options.displays) {
        if (SameId(other.id, display.id)) {
          error = "--display " + display.id + " is given twice";
          return false;
        }
      }
      options.displays.push_back(display);
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
      return true;
    } else if (arg == "--no-pipe") {
      options.servePipe = false;
    } else if (arg == "--log") {
      if (!TakeValue(args, i, options.logPath, error)) return false;
    } else if (arg == "--files-on-idle") {
      options.filesOnIdle = true;
    } else if (arg == "--show") {
      options.show = true;
    } else if (arg == "--show-final") {
      options.showFinal = true;
    } else if (arg == "--seconds") {
      if (!TakeValue(args, i, value, error)) return false;
      if (!ParseNumber(value, 24 * 3600, options.seconds) || options.seconds == 0) {
        error = "--seconds wants a whole number from 1 to 86400, not '" + value + "'";
        return false;
      }
    } else if (arg == "--stop-event") {
      if (!TakeValue(args, i, options.stopEvent, error)) return false;
    } else if (arg == "--pause-event") {
      if (!TakeValue(args, i, options.pauseEvent, error)) return false;
    } else if (arg == "--resume-event") {
      if (!TakeValue(args, i, options.resumeEvent, error)) return false;
    } else {
      error = "unknown option " + arg;
      return false;
    }
  }
  if (options.displays.empty()) options.displays.push_back(DisplaySpec{"B", DisplayKind::kOpenable});
  return true;
}

const char* ViewUsage() {
  return "usage: lcdview [--png FILE] [--scale N] [--pbm FILE] [--text-dump FILE]\n"
         "               [--show] [--ascii] LOG\n"
         "Replays a packet log (one packet a line: 8 hex bytes; blank lines and\n"
         "'#' comments are skipped; LOG '-' reads standard input) into the\n"
         "122x32 display and writes its screen. Without a file option the\n"
         "screen is printed.\n"
         "  --png FILE        the screen as a PNG picture, scaled by --scale (1-16,\n"
         "                    default 4)\n"
         "  --pbm FILE        the pixels as a plain PBM (one line a pixel row)\n"
         "  --text-dump FILE  the four text rows, one a line\n"
         "  --show            print the screen (block characters; --ascii for # and .)\n"
         "Exit status: 0 done, 1 a file could not be read or written, 2 a bad\n"
         "command line or a bad log line.\n";
}

const char* SimUsage() {
  return "usage: lcdsim [--display ID[:openable|:unopenable|:nopipe]]... [--no-pipe]\n"
         "              [--log FILE] [--png FILE] [--scale N] [--pbm FILE]\n"
         "              [--text-dump FILE] [--files-on-idle] [--show] [--show-final]\n"
         "              [--ascii] [--seconds N] [--stop-event NAME]\n"
         "              [--pause-event NAME] [--resume-event NAME]\n"
         "A virtual 122x32 USB display: registers display interfaces that lptlcd\n"
         "finds, serves their output pipe PIPE01 and shows what it is sent.\n"
         "  --display ID[:KIND]  register display USB\\VID_1111&PID_0002\\ID, in the\n"
         "                   order given (default: one openable display B);\n"
         "                   unopenable ones are listed but cannot be opened, nopipe\n"
         "                   ones open but have no PIPE01 below them\n"
         "  --no-pipe        register the displays but do not serve PIPE01\n"
         "  --log FILE       every packet received, one line of 8 hex bytes each\n"
         "  --png/--pbm/--text-dump FILE  the screen, written when stopping (and at\n"
         "                   each idle moment with --files-on-idle)\n"
         "  --show           print the screen at each idle moment; --show-final: at\n"
         "                   the end\n"
         "  --seconds N      stop after N seconds (default: run until Ctrl+C)\n"
         "  --stop-event NAME  also stop when the named event is set\n"
         "  --pause-event NAME  create a manual-reset event of that name; while it is\n"
         "                   set, stop reading the pipe, as a hung display would\n"
         "  --resume-event NAME  create an auto-reset event of that name; each time it\n"
         "                   is set, play a resume from sleep: the screen is reset to\n"
         "                   blank with no custom characters, the pipe stays open,\n"
         "                   and WM_POWERBROADCAST (PBT_APMRESUMEAUTOMATIC) is posted\n"
         "It prints \"lcdsim: ready\" once the displays are registered and served, and\n"
         "posts WM_DEVICECHANGE (DBT_DEVNODES_CHANGED) then and after it stops.\n";
}

std::string RenderScreen(const DisplayModel& model, const OutputOptions& output) {
  return output.ascii ? RenderAscii(model) : RenderHalfBlocks(model);
}

bool WriteScreenFiles(const DisplayModel& model, const OutputOptions& output, std::string& error) {
  if (!output.png.empty()) {
    const std::vector<std::uint8_t> png = EncodePng(model, output.scale);
    if (png.empty() || !WriteFileWhole(output.png, png)) {
      error = "cannot write " + output.png;
      return false;
    }
  }
  if (!output.pbm.empty() && !WriteFileWhole(output.pbm, FormatPbm(model))) {
    error = "cannot write " + output.pbm;
    return false;
  }
  if (!output.textDump.empty() && !WriteFileWhole(output.textDump, FormatTextDump(model))) {
    error = "cannot write " + output.textDump;
    return false;
  }
  return true;
}

}  // namespace lptlcd::sim
