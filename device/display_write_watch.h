#pragma once
// Tells the person watching the program when the display's pipe stops taking
// packets (unplugged, or its driver gave up) and when it takes them again,
// once each time, rather than letting updates vanish without a word or
// printing a line per lost packet.

#include <cstdint>
#include <cstdio>

#include "device/usb_display_device.h"

namespace lptlcd {

constexpr char kDisplayWriteFailedMessage[] = "Unable to write to device\n";
constexpr char kDisplayWritesAgainMessage[] = "Writing to device again\n";

class DisplayWriteWatch {
 public:
  DisplayWriteWatch(const UsbDisplayDevice& watched, std::FILE* messages)
      : device(watched), out(messages) {}

  // Call after each operation on the device: cheap when nothing changed.
  void Check() {
    if (device.LastWriteFailed() == reportedFailing) return;
    reportedFailing = !reportedFailing;
    std::fputs(reportedFailing ? kDisplayWriteFailedMessage : kDisplayWritesAgainMessage, out);
    std::fflush(out);
  }

 private:
  const UsbDisplayDevice& device;
  std::FILE* out;
  bool reportedFailing = false;
};

}  // namespace lptlcd
