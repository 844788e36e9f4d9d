#include <windows.h>

#include "tools/lcdsim/platform.h"

namespace lptlcd::sim {

// The C runtime's rename refuses an existing target on Windows.
bool MoveFileOver(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

void PrepareConsoleForUtf8() { SetConsoleOutputCP(CP_UTF8); }

}  // namespace lptlcd::sim
