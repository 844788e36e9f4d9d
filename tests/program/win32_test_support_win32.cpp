#include "win32_test_support.h"

namespace lptlcd {

std::string LptlcdProgramPath() {
  return "\"" + test::WindowsPath(LPTLCD_EXE) + "\"";
}

}  // namespace lptlcd
