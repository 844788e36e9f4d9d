#pragma once
// Runs records through the program's own decoder and collects what it emits.

#include <vector>

#include "capture/port_write_decoder.h"

namespace lptlcd::test {

inline std::vector<LcdCommand> Decode(const std::vector<PortWriteRecord>& records) {
  std::vector<LcdCommand> commands;
  PortWriteDecoder decoder([&](LcdCommand c) { commands.push_back(c); });
  for (PortWriteRecord r : records) decoder.Decode(r);
  return commands;
}

}  // namespace lptlcd::test
