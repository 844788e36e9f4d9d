// lcdview: replays a packet log into the display model and shows the result,
// so that a log from a bug report can be looked at on any machine.

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "tools/lcdsim/display_model.h"
#include "tools/lcdsim/options.h"
#include "tools/lcdsim/packet_log.h"
#include "tools/lcdsim/platform.h"

namespace {

constexpr int kExitIoError = 1;
constexpr int kExitBadInput = 2;

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  lcdsim::ViewOptions options;
  std::string error;
  if (!lcdsim::ParseViewOptions(args, options, error)) {
    std::fprintf(stderr, "lcdview: %s\n%s", error.c_str(), lcdsim::ViewUsage());
    return kExitBadInput;
  }
  if (options.help) {
    std::fputs(lcdsim::ViewUsage(), stdout);
    return 0;
  }

  lcdsim::PacketLog log;
  if (options.logPath == "-") {
    log = lcdsim::ReadPacketLog(std::cin);
  } else {
    std::ifstream file(options.logPath, std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "lcdview: cannot read %s\n", options.logPath.c_str());
      return kExitIoError;
    }
    log = lcdsim::ReadPacketLog(file);
  }
  if (log.badLine != 0) {
    // Nothing is drawn from a log that is known to be damaged: half a
    // picture would pass for the whole one.
    std::fprintf(stderr, "lcdview: %s: %s\n", options.logPath.c_str(), log.error.c_str());
    return kExitBadInput;
  }

  lcdsim::DisplayModel model;
  for (std::size_t i = 0; i < log.packets.size(); ++i) {
    const lcdsim::PacketEffect effect = model.ApplyPacket(log.packets[i].data());
    if (effect == lcdsim::PacketEffect::kUnknown || effect == lcdsim::PacketEffect::kRejected) {
      std::fprintf(stderr, "lcdview: line %d: %s packet ignored: %s\n", log.lineNumbers[i],
                   lcdsim::PacketEffectName(effect), lcdsim::FormatPacketLine(log.packets[i].data()).c_str());
    }
  }

  if (!lcdsim::WriteScreenFiles(model, options.output, error)) {
    std::fprintf(stderr, "lcdview: %s\n", error.c_str());
    return kExitIoError;
  }
  if (options.show) {
    lcdsim::PrepareConsoleForUtf8();
    const std::string screen = lcdsim::RenderScreen(model, options.output);
    std::fwrite(screen.data(), 1, screen.size(), stdout);
    std::fflush(stdout);
  }
  return 0;
}
