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
  lptlcd::sim::ViewOptions options;
  std::string error;
  if (!lptlcd::sim::ParseViewOptions(args, options, error)) {
    std::fprintf(stderr, "lcdview: %s\n%s", error.c_str(), lptlcd::sim::ViewUsage());
    return kExitBadInput;
  }
  if (options.help) {
    std::fputs(lptlcd::sim::ViewUsage(), stdout);
    return 0;
  }

  lptlcd::sim::PacketLog log;
  if (options.logPath == "-") {
    log = lptlcd::sim::ReadPacketLog(std::cin);
  } else {
    std::ifstream file(options.logPath, std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "lcdview: cannot read %s\n", options.logPath.c_str());
      return kExitIoError;
    }
    log = lptlcd::sim::ReadPacketLog(file);
  }
  if (log.badLine != 0) {
    // Nothing is drawn from a log that is known to be damaged: half a
    // picture would pass for the whole one.
    std::fprintf(stderr, "lcdview: %s: %s\n", options.logPath.c_str(), log.error.c_str());
    return kExitBadInput;
  }

  lptlcd::sim::DisplayModel model;
  for (std::size_t i = 0; i < log.packets.size(); ++i) {
    const lptlcd::sim::PacketEffect effect = model.ApplyPacket(log.packets[i].data());
    if (effect == lptlcd::sim::PacketEffect::kUnknown || effect == lptlcd::sim::PacketEffect::kRejected) {
      std::fprintf(stderr, "lcdview: line %d: %s packet ignored: %s\n", log.lineNumbers[i],
                   lptlcd::sim::PacketEffectName(effect), lptlcd::sim::FormatPacketLine(log.packets[i].data()).c_str());
    }
  }

  if (!lptlcd::sim::WriteScreenFiles(model, options.output, error)) {
    std::fprintf(stderr, "lcdview: %s\n", error.c_str());
    return kExitIoError;
  }
  if (options.show) {
    lptlcd::sim::PrepareConsoleForUtf8();
    const std::string screen = lptlcd::sim::RenderScreen(model, options.output);
    std::fwrite(screen.data(), 1, screen.size(), stdout);
    std::fflush(stdout);
  }
  return 0;
}
