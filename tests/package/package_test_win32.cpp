// The package's files themselves, unpacked (the x86_64 twin, which Wine can
// run): the virtual display, the unpacked lptlcd.exe, and a legacy-style LCD
// program that loads the unpacked DLL from its own folder, as a user sets
// them up.

#include <gtest/gtest.h>

#include <string>

#include "e2e_support.h"

namespace lptlcd::test {
namespace {

struct Layout {
  const char* folder;
  const char* dll;
  const char* api;
  const char* line1;
};

TEST(Package, TheUnpackedFilesDriveTheDisplay) {
  const Layout layouts[] = {
      {"for-32-bit-programs", "inpout32.dll", "inpout", "32-bit inpout32"},
      {"for-32-bit-programs", "WinIo.dll", "winio", "32-bit WinIo"},
      {"for-64-bit-programs", "inpoutx64.dll", "inpout", "64-bit inpoutx64"},
      // What 64-bit builds of the common LCD programs load.
      {"for-64-bit-programs", "inpout32.dll", "inpout", "64-bit inpout32"},
      {"for-64-bit-programs", "WinIo64.dll", "winio", "64-bit WinIo64"},
  };
  for (const Layout& setup : layouts) {
    SCOPED_TRACE(setup.dll);
    Simulator sim(std::string("package_") + setup.api);
    Program program;
    StartDisplayAndProgram(sim, program);
    const std::string app = std::string(PACKAGE_DIR) + "/" + setup.folder + "/legacy_lcd_app.exe";
    const ChildResult run = RunChild(Quoted(app) + " --dll " + setup.dll + " --api " + setup.api +
                                     " --line0 \"from the package\" --line1 \"" + setup.line1 +
                                     "\" --no-char");
    ASSERT_EQ(run.exitCode, 0u) << run.out << run.err;
    EXPECT_TRUE(sim.WaitForText(Screen("from the package", setup.line1)))
        << sim.Text() << "lptlcd said: " << program.Output();
  }
}

}  // namespace
}  // namespace lptlcd::test
