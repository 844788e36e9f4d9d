// A display whose pipe died: let go of at once, looked for again at most once
// a second, and redrawn (by the emulator's next flush) to the screen it
// would show had it never gone away.

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
  EXPECT_EQ(recovery.MsUntilNextSearch(100), kNoSearchDue);
  first.Disconnect();      // unplugged
  emulator.Execute(0xC0);  // line 1: this write fails, and the pipe is closed
  EXPECT_FALSE(device.HasPipe());
  EXPECT_EQ(recovery.MsUntilNextSearch(4000), 0u);  // the first search is due at once
  write("there");
  // The display worker sleeps until the next search is due: what it is told
  // must be when Check would search.
  const struct {
    std::uint32_t nowMs;
    int searches;
    std::uint32_t untilNextMs;
  } checks[] = {{5000, 1, 1000}, {5999, 1, 1}, {6000, 2, 1000}, {6001, 2, 999}, {7200, 3, 1000}};
  for (const auto& check : checks) {
    recovery.Check(check.nowMs);
    EXPECT_EQ(searches, check.searches) << "at " << check.nowMs << " ms";
    EXPECT_EQ(recovery.MsUntilNextSearch(check.nowMs), check.untilNextMs) << "at " << check.nowMs << " ms";
  }
  // Overdue (a worker that ran late): due now, not in four billion milliseconds.
  EXPECT_EQ(recovery.MsUntilNextSearch(9000), 0u);
  EXPECT_EQ(output.Text(), "Unable to write to device\n");

  displayBack = true;
  recovery.Check(8200);
  EXPECT_EQ(searches, 4);
  // The display opened shows nothing yet: the emulator redraws it at its
  // next flush, which the worker makes at once (there is something pending).
  EXPECT_TRUE(emulator.HasPending());
  emulator.Flush();
  EXPECT_EQ(FormatPackets(second.TakeBytes()),
            (Lines{"01 01 00 00 00 00 00 00", "01 02 00 00 00 00 00 00", "02 02 48 69 00 00 00 00",
                   "03 00 01 00 00 00 00 00", "02 05 74 68 65 72 65 00"}));
  EXPECT_EQ(output.Text(), "Unable to write to device\nWriting to device again\n");
  // Found: no more searching, and what comes next goes to the display.
  recovery.Check(9500);
  EXPECT_EQ(searches, 4);
  EXPECT_EQ(recovery.MsUntilNextSearch(9500), kNoSearchDue);
  write("!");
  EXPECT_EQ(FormatPackets(second.TakeBytes()), Lines{"02 01 21 00 00 00 00 00"});
}

}  // namespace
}  // namespace lptlcd
