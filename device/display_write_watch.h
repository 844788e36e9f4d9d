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
  DisplayWriteWatch(const UsbDisplayDevice& device, std::FILE* out) : device_(device), out_(out) {}

  // Call after each operation on the device: cheap when nothing changed.
  void Check() {
    if (device_.LastWriteFailed() == reportedFailing_) return;
    reportedFailing_ = !reportedFailing_;
    std::fputs(reportedFailing_ ? kDisplayWriteFailedMessage : kDisplayWritesAgainMessage, out_);
    std::fflush(out_);
  }

 private:
  const UsbDisplayDevice& device_;
  std::FILE* out_;
  bool reportedFailing_ = false;
};

}  // namespace lptlcd
