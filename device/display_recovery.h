#pragma once
// A display whose pipe has died (unplugged, or USB re-enumerated it on
// resume from sleep) does not come back by itself: its handle is dead for
// good, and the device lets go of it at the first failed write. While it has
// no pipe, this looks for the display again, quietly and at most once a
// second, and when one opens hands its pipe to the device, which the
// emulator's next flush redraws. The write watch says once that writes fail
// and once that they go through again.
//
// Windows' notices make that happen while the software writes nothing: when
// devices come or go, a packet that changes nothing tests the pipe (a dead
// one shows itself only on a write) and a display without one is looked for
// at once; on resume from sleep the display may have been reset in place,
// its pipe still good but its screen blank, so it is reopened and redrawn.

#include <atomic>
#include <cstdint>
#include <functional>
#include <utility>

#include "device/display_write_watch.h"
#include "device/usb_display_device.h"

namespace lptlcd {

constexpr std::uint32_t kDisplaySearchIntervalMs = 1000;
// MsUntilNextSearch while the display has its pipe: nothing to look for.
constexpr std::uint32_t kNoSearchDue = 0xFFFFFFFFu;

// What Windows said that may concern the display.
enum class DisplayNotice {
  kDevicesChanged,  // a device came or went (the display, perhaps)
  kResumed,         // the system woke from sleep or hibernation
};

class DisplayRecovery {
 public:
  // `reopen` finds the display and opens its pipe again, saying nothing; an
  // empty owner when there is none yet.
  using Reopen = std::function<UniquePipe()>;

  DisplayRecovery(UsbDisplayDevice& display, DisplayWriteWatch& writeWatch, Reopen reopenPipe)
      : device(display), watch(writeWatch), reopen(std::move(reopenPipe)) {}

  // After each command and each idle flush; nowMs is a millisecond clock
  // that may wrap.
  void Check(std::uint32_t nowMs) {
    watch.Check();
    const bool resumed = resumeDue.exchange(false);
    const bool changed = changeDue.exchange(false);
    if (resumed) {
      device.DropPipe();
    } else if (changed) {
      device.Probe();
      watch.Check();  // a probe that failed is news
    }
    if (device.HasPipe()) {
      searching = false;
      return;
    }
    // The display may just have come: no waiting for the next second.
    if (resumed || changed) searching = false;
    // The first search comes at once, the next ones a second apart.
    if (searching && static_cast<std::uint32_t>(nowMs - lastSearchMs) < kDisplaySearchIntervalMs) return;
    searching = true;
    lastSearchMs = nowMs;
    UniquePipe pipe = reopen();
    if (!pipe) return;
    device.Reconnect(std::move(pipe));
    watch.Check();
  }

  // From any thread (the one that receives Windows' notices): acted on at
  // the next Check, which the caller then brings about.
  void Notice(DisplayNotice notice) {
    (notice == DisplayNotice::kResumed ? resumeDue : changeDue).store(true);
  }
  bool NoticePending() const { return resumeDue.load() || changeDue.load(); }

  // How long a caller may leave Check uncalled before it has a search to
  // make: 0 when one is due now, kNoSearchDue while the display has its pipe.
  std::uint32_t MsUntilNextSearch(std::uint32_t nowMs) const {
    if (NoticePending()) return 0;
    if (device.HasPipe()) return kNoSearchDue;
    if (!searching) return 0;
    const std::uint32_t since = nowMs - lastSearchMs;
    return since >= kDisplaySearchIntervalMs ? 0 : kDisplaySearchIntervalMs - since;
  }

 private:
  UsbDisplayDevice& device;
  DisplayWriteWatch& watch;
  Reopen reopen;
  bool searching = false;
  std::uint32_t lastSearchMs = 0;
  std::atomic<bool> changeDue{false};
  std::atomic<bool> resumeDue{false};
};

}  // namespace lptlcd
