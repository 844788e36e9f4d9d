// A display whose pipe died: let go of at once, looked for again at most once
// a second, and redrawn to the screen it would show had it never gone away.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/display_recovery.h"
#include "emulator/character_lcd_emulator.h"
#include "tests/support/captured_stream.h"
#include "tools/packets/packet_capture.h"
#include "tools/packets/packet_text.h"

namespace lptlcd {
namespace {

using Lines = std::vector<std::string>;

TEST(DisplayRecoveryTest, TheDisplayIsLookedForOnceASecondAndRedrawnWhenItOpens) {
  PacketCapture first;
  UsbDisplayDevice device(first.OpenWriter());
  test::CapturedStream output;
  DisplayWriteWatch watch(device, output.Get());
  PacketCapture second;
  int searches = 0;
  bool displayBack = false;
  DisplayRecovery recovery(device, watch, [&] {
    ++searches;
    return displayBack ? second.OpenWriter() : UniquePipe();
  });
  CharacterLcdEmulator emulator(&device, 20, 2);
  const auto write = [&](const std::string& text) {
    for (char c : text) emulator.Execute(static_cast<LcdCommand>(0x100 | static_cast<unsigned char>(c)));
    emulator.Flush();
  };

  write("Hi");
  recovery.Check(100);
  EXPECT_EQ(searches, 0);  // writes go through: nothing to look for
  first.Disconnect();      // unplugged
  emulator.Execute(0xC0);  // line 1: this write fails, and the pipe is closed
  EXPECT_FALSE(device.HasPipe());
  write("there");
  const struct {
    std::uint32_t nowMs;
    int searches;
  } checks[] = {{5000, 1}, {5999, 1}, {6000, 2}, {6001, 2}, {7200, 3}};
  for (const auto& check : checks) {
    recovery.Check(check.nowMs);
    EXPECT_EQ(searches, check.searches) << "at " << check.nowMs << " ms";
  }
  EXPECT_EQ(output.Text(), "Unable to write to device\n");

  displayBack = true;
  recovery.Check(8200);
  EXPECT_EQ(searches, 4);
  EXPECT_EQ(FormatPackets(second.TakeBytes()),
            (Lines{"01 01 00 00 00 00 00 00", "01 02 00 00 00 00 00 00", "02 02 48 69 00 00 00 00",
                   "03 00 01 00 00 00 00 00", "02 05 74 68 65 72 65 00"}));
  EXPECT_EQ(output.Text(), "Unable to write to device\nWriting to device again\n");
  // Found: no more searching, and what comes next goes to the display.
  recovery.Check(9500);
  EXPECT_EQ(searches, 4);
  write("!");
  EXPECT_EQ(FormatPackets(second.TakeBytes()), Lines{"02 01 21 00 00 00 00 00"});
}

}  // namespace
}  // namespace lptlcd
