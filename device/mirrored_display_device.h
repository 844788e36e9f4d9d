#pragma once
// The display device as the display worker uses it: every packet it is asked
// to send also goes to a mirror of what the display shows, written or not,
// so that a display whose pipe died can be brought back to the very screen
// it would show had it never gone away.

#include <cstdint>
#include <utility>

#include "device/display_mirror.h"
#include "device/usb_display_device.h"

namespace lptlcd {

class MirroredDisplayDevice : public UsbDisplayDevice {
 public:
  using UsbDisplayDevice::UsbDisplayDevice;

  std::uint8_t SendPacket(std::uint8_t command, std::uint8_t value, const std::uint8_t* data,
                          std::uint8_t count) override {
    mirror.Apply(command, value, data, count);
    return UsbDisplayDevice::SendPacket(command, value, data, count);
  }

  // Takes the pipe of a display that opened again (the dead one is closed)
  // and redraws it; the mirror follows the redraw to the same screen.
  void Reconnect(UniquePipe pipe) {
    ReplacePipe(std::move(pipe));
    const DisplayMirror shown = mirror;
    mirror = DisplayMirror();
    shown.Redraw(*this);
  }

 private:
  DisplayMirror mirror;
};

}  // namespace lptlcd
