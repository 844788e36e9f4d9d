#include "win32_test_support.h"

namespace lptlcd::test {

std::string LptlcdProgramPath() {
  return "\"" + WindowsPath(LPTLCD_EXE) + "\"";
}

}  // namespace lptlcd::test
