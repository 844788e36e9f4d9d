#pragma once
// A display whose pipe has died (unplugged, or USB re-enumerated it on
// resume from sleep) does not come back by itself: its handle is dead for
// good, and the device lets go of it at the first failed write. While it has
// no pipe, this looks for the display again, quietly and at most once a
// second, and when one opens hands its pipe to the device, which redraws it.
// The write watch says once that writes fail and once that they go through
// again.

#include <cstdint>
#include <functional>
#include <utility>

#include "device/display_write_watch.h"
#include "device/usb_display_device.h"

namespace lptlcd {

constexpr std::uint32_t kDisplaySearchIntervalMs = 1000;
// MsUntilNextSearch while the display has its pipe: nothing to look for.
constexpr std::uint32_t kNoSearchDue = 0xFFFFFFFFu;

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
    if (device.HasPipe()) {
      searching = false;
      return;
    }
    // The first search comes at once, the next ones a second apart.
    if (searching && static_cast<std::uint32_t>(nowMs - lastSearchMs) < kDisplaySearchIntervalMs) return;
    searching = true;
    lastSearchMs = nowMs;
    UniquePipe pipe = reopen();
    if (!pipe) return;
    device.Reconnect(std::move(pipe));
    watch.Check();
  }

  // How long a caller may leave Check uncalled before it has a search to
  // make: 0 when one is due now, kNoSearchDue while the display has its pipe.
  std::uint32_t MsUntilNextSearch(std::uint32_t nowMs) const {
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
};

}  // namespace lptlcd
