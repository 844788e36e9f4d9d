#include "device/usb_display_device.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace lptlcd {

UsbDisplayDevice::UsbDisplayDevice(UniquePipe pipe)
    : outputPipe(std::move(pipe)), isOpen(outputPipe.IsValid()) {}

// The pipe's owner closes it, if it was ever opened.
UsbDisplayDevice::~UsbDisplayDevice() = default;

void UsbDisplayDevice::Reconnect(UniquePipe pipe) {
  outputPipe = std::move(pipe);
  lastWriteFailed = false;
  redrawDue = true;
}

std::uint8_t UsbDisplayDevice::SendPacket(std::uint8_t command, std::uint8_t value,
                                          const std::uint8_t* data, std::uint8_t count) {
  if (!isOpen) return 0;
  std::memset(packet, 0, sizeof packet);
  const std::uint8_t carried = count <= kPacketDataSize ? count : kPacketDataSize;
  packet[0] = command;
  packet[1] = value;
  if (carried != 0) std::memcpy(packet + 2, data, carried);
  mirror.Apply(command, value, data, carried);
  // A failed write is not retried, and does not change what the operation
  // returns: the mirror keeps what the display should show. It is noted.
  const PipeWrite write =
      outputPipe.IsValid() ? WriteToPipe(outputPipe.Get(), packet, sizeof packet) : PipeWrite::kFailed;
  lastWriteFailed = write != PipeWrite::kWritten;
  lastWriteTimedOut = write == PipeWrite::kTimedOut;
  if (lastWriteFailed) {
    ++failedWrites;
    // Windows does not finish removing an unplugged device while a handle
    // to it stays open, so a replugged display would never be found again.
    outputPipe.Reset();
  }
  return carried;
}

void UsbDisplayDevice::Probe() {
  if (!HasPipe()) return;
  SetPosition(static_cast<std::uint8_t>(std::min(mirror.CursorX(), kFurthestPosition)),
              static_cast<std::uint8_t>(mirror.CursorRow()));
}

std::uint8_t UsbDisplayDevice::WriteBlock(const std::uint8_t* data, std::uint8_t count) {
  return SendPacket(kCommandBlock, count, data, count);
}

std::uint8_t UsbDisplayDevice::WriteText(const std::uint8_t* text, std::uint8_t count) {
  // Each packet's value byte is the number of characters still to send,
  // counting the ones it carries itself.
  std::uint8_t remaining = count;
  while (remaining > 0) {
    const std::uint8_t taken =
        SendPacket(kCommandText, remaining, text + (count - remaining), remaining);
    if (taken == 0) return static_cast<std::uint8_t>(count - remaining);
    remaining = static_cast<std::uint8_t>(remaining - taken);
  }
  return count;
}

void UsbDisplayDevice::SendControl1() { SendPacket(kCommandControl, kControlStart, nullptr, 0); }
void UsbDisplayDevice::ClearScreen() { SendPacket(kCommandControl, kControlClear, nullptr, 0); }
void UsbDisplayDevice::SendControl3() { SendPacket(kCommandControl, kControl3, nullptr, 0); }
void UsbDisplayDevice::SendControl4() { SendPacket(kCommandControl, kControl4, nullptr, 0); }

bool UsbDisplayDevice::SetPosition(std::uint8_t x, std::uint8_t row) {
  return SendPacket(kCommandPosition, x, &row, 1) == 1;
}

bool UsbDisplayDevice::SendControl47(std::uint8_t value) {
  return SendPacket(kCommandControl, kControl47, &value, 1) == 1;
}

bool UsbDisplayDevice::DefineGlyph(std::uint8_t code, const std::uint8_t* glyph) {
  return SendPacket(kCommandGlyph, code, glyph, kPacketDataSize) != 0;
}

// The driver's table has three slots that the display does nothing for.
bool UsbDisplayDevice::NoOpA(std::uint8_t) { return true; }
bool UsbDisplayDevice::NoOpB(std::uint8_t) { return true; }
bool UsbDisplayDevice::NoOpC(std::uint8_t) { return true; }

bool UsbDisplayDevice::GetPixelSize(std::uint16_t& width, std::uint16_t& height) {
  width = kDisplayWidth;
  height = kDisplayHeight;
  return true;
}

bool UsbDisplayDevice::GetTextSize(std::uint8_t& columns, std::uint8_t& rows) {
  columns = kDisplayTextColumns;
  rows = kDisplayTextRows;
  return true;
}

}  // namespace lptlcd
