#pragma once
// Tells the person watching the program when the display's pipe stops taking
// packets (unplugged, its driver gave up, or it stopped answering) and when
// it takes them again, once each time, rather than letting updates vanish
// without a word or printing a line per lost packet.

#include <cstdint>
#include <cstdio>

#include "device/usb_display_device.h"

namespace lptlcd {

constexpr char kDisplayWriteFailedMessage[] = "Unable to write to device\n";
constexpr char kDisplayWritesAgainMessage[] = "Writing to device again\n";
// A write that was given up after kPacketWriteBoundMs.
constexpr char kDisplayNotAnsweringFormat[] =
    "The display stopped answering (a packet not taken within %lu ms): it is taken as unplugged\n";

class DisplayWriteWatch {
 public:
  // waitingForDisplay: the program said it waits for a display that is not
  // there yet, so the writes that fail meanwhile are not news, and neither
  // is the first that goes through (the search names the display it found).
  DisplayWriteWatch(const UsbDisplayDevice& watched, std::FILE* messages, bool waitingForDisplay = false)
      : device(watched), out(messages), reportedFailing(waitingForDisplay), quietOnce(waitingForDisplay) {}

  // Call after each operation on the device: cheap when nothing changed.
  void Check() {
    if (device.LastWriteFailed() == reportedFailing) return;
    reportedFailing = !reportedFailing;
    if (quietOnce) {
      quietOnce = false;
      return;
    }
    if (!reportedFailing) {
      std::fputs(kDisplayWritesAgainMessage, out);
    } else if (device.LastWriteTimedOut()) {
      std::fprintf(out, kDisplayNotAnsweringFormat, static_cast<unsigned long>(kPacketWriteBoundMs));
    } else {
      std::fputs(kDisplayWriteFailedMessage, out);
    }
    std::fflush(out);
  }

 private:
  const UsbDisplayDevice& device;
  std::FILE* out;
  bool reportedFailing;
  bool quietOnce;
};

}  // namespace lptlcd
