#include <cstdio>

#include "tools/lcdsim/platform.h"

namespace lptlcd::sim {

bool MoveFileOver(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

void PrepareConsoleForUtf8() {}

}  // namespace lptlcd::sim
