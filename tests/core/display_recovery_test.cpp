// A display whose pipe died: let go of at once, looked for again at most once
// a second, and redrawn (by the emulator's next flush) to the screen it
// would show had it never gone away.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/display_recovery.h"
#include "device/system_notice.h"
#include "emulator/character_lcd_emulator.h"
#include "tests/support/captured_stream.h"
#include "tools/packets/packet_capture.h"
#include "tools/packets/packet_text.h"

namespace lptlcd {
namespace {

using Lines = std::vector<std::string>;

// A display on its first pipe, and a second one that a search finds once
// displayBack is set, with the program's recovery and emulator over them.
struct RecoveringDisplay {
  PacketCapture first;
  UsbDisplayDevice device{first.OpenWriter()};
  test::CapturedStream output;
  DisplayWriteWatch watch{device, output.Get()};
  PacketCapture second;
  int searches = 0;
  bool displayBack = false;
  DisplayRecovery recovery{device, watch, [this] {
                             ++searches;
                             return displayBack ? second.OpenWriter() : UniquePipe();
                           }};
  CharacterLcdEmulator emulator{&device, 20, 2};

  void Write(const std::string& text) {
    for (char c : text) emulator.Execute(static_cast<LcdCommand>(0x100 | static_cast<unsigned char>(c)));
    emulator.Flush();
  }
};

TEST(DisplayRecoveryTest, TheDisplayIsLookedForOnceASecondAndRedrawnWhenItOpens) {
  RecoveringDisplay d;
  auto& [first, device, output, watch, second, searches, displayBack, recovery, emulator] = d;
  const auto write = [&](const std::string& text) { d.Write(text); };

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

// Which of Windows' messages concern the display: Windows sends many more
// device and power events than these, and only these may cost a search.
TEST(SystemNoticeTest, OnlyDeviceComingsAndGoingsAndResumesConcernTheDisplay) {
  constexpr int kNone = -1;
  constexpr int kChanged = static_cast<int>(DisplayNotice::kDevicesChanged);
  constexpr int kResumed = static_cast<int>(DisplayNotice::kResumed);
  constexpr std::uint32_t kDbtDevTypVolume = 2, kDbtDevTypHandle = 6, kDbtQueryRemove = 0x8001,
                          kPbtApmSuspend = 4, kPbtPowerStatusChange = 0xA, kWmTimer = 0x0113;
  const struct {
    SystemMessage message;
    int notice;
  } rows[] = {
      {{kWmDeviceChange, kDbtDevNodesChanged, 0}, kChanged},
      {{kWmDeviceChange, kDbtDeviceArrival, kDbtDevTypDeviceInterface}, kChanged},
      {{kWmDeviceChange, kDbtDeviceRemoveComplete, kDbtDevTypDeviceInterface}, kChanged},
      {{kWmDeviceChange, kDbtDeviceArrival, kDbtDevTypVolume}, kNone},  // a USB stick's drive letter
      {{kWmDeviceChange, kDbtDeviceRemoveComplete, kDbtDevTypHandle}, kNone},
      {{kWmDeviceChange, kDbtQueryRemove, kDbtDevTypDeviceInterface}, kNone},
      {{kWmPowerBroadcast, kPbtApmResumeAutomatic, 0}, kResumed},
      {{kWmPowerBroadcast, kPbtApmResumeCritical, 0}, kResumed},
      {{kWmPowerBroadcast, kPbtApmResumeSuspend, 0}, kNone},  // follows the automatic one
      {{kWmPowerBroadcast, kPbtApmSuspend, 0}, kNone},
      {{kWmPowerBroadcast, kPbtPowerStatusChange, 0}, kNone},
      {{kWmTimer, kDbtDevNodesChanged, 0}, kNone},
  };
  for (const auto& row : rows) {
    DisplayNotice notice = DisplayNotice::kDevicesChanged;
    const int got = DisplayNoticeFor(row.message, notice) ? static_cast<int>(notice) : kNone;
    EXPECT_EQ(got, row.notice) << std::hex << row.message.message << " " << row.message.event << " "
                               << row.message.deviceType;
  }
}

// The display goes and comes back, or is reset in place, while the software
// writes nothing: Windows' notices alone bring the screen back, with no
// second's wait, and a notice that finds the display well costs one packet
// that changes nothing.
TEST(DisplayRecoveryTest, NoticesBringTheScreenBackWithoutAWriteFromTheSoftware) {
  const Lines kRedrawn = {"01 01 00 00 00 00 00 00", "01 02 00 00 00 00 00 00", "02 02 48 69 00 00 00 00"};
  const struct {
    const char* name;
    bool unplugged;         // the first display's pipe died
    DisplayNotice notice;
    Lines onFirst;          // what the first display gets after "Hi"
    int searches;
    Lines onSecond;         // what the display found gets
    std::string said;
  } rows[] = {
      {"devices changed, the display still there", false, DisplayNotice::kDevicesChanged,
       {"03 0c 00 00 00 00 00 00"}, 0, {}, ""},
      {"unplugged and plugged in again", true, DisplayNotice::kDevicesChanged, {}, 1, kRedrawn,
       "Unable to write to device\nWriting to device again\n"},
      // Same pipe, blank screen: reopened and redrawn, nothing to complain of.
      {"resumed, reset in place", false, DisplayNotice::kResumed, {}, 1, kRedrawn, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    RecoveringDisplay d;
    auto& [first, device, output, watch, second, searches, displayBack, recovery, emulator] = d;
    displayBack = true;
    d.Write("Hi");
    first.TakeBytes();
    if (row.unplugged) first.Disconnect();
    recovery.Check(100);
    EXPECT_EQ(recovery.MsUntilNextSearch(100), kNoSearchDue);  // nothing known yet: no search
    recovery.Notice(row.notice);
    EXPECT_EQ(recovery.MsUntilNextSearch(150), 0u);
    recovery.Check(150);  // well within the second after the last check
    emulator.Flush();     // the worker's next flush redraws a display found again
    EXPECT_EQ(FormatPackets(first.TakeBytes()), row.onFirst);
    EXPECT_EQ(searches, row.searches);
    EXPECT_EQ(FormatPackets(second.TakeBytes()), row.onSecond);
    EXPECT_EQ(output.Text(), row.said);
    EXPECT_TRUE(device.HasPipe());
    EXPECT_FALSE(recovery.NoticePending());
  }
}

}  // namespace
}  // namespace lptlcd
