#pragma once
// The USB graphic display (122x32 pixels, text in cells six pixels wide): every
// order it takes is one 8-byte packet written to its output pipe.

#include <cstdint>

#include "device/display_mirror.h"
#include "device/display_packet.h"
#include "device/output_pipe.h"

namespace lptlcd {

class UsbDisplayDevice {
 public:
#ifdef _WIN32
  // Finds the first display and opens its output pipe (see
  // device/display_discovery.h). IsOpen() tells whether that worked.
  UsbDisplayDevice();
#endif
  // Over a pipe that is already open; the device owns it from now on.
  // An empty owner gives a device that is not open.
  explicit UsbDisplayDevice(UniquePipe outputPipe);
  virtual ~UsbDisplayDevice();

  UsbDisplayDevice(const UsbDisplayDevice&) = delete;
  UsbDisplayDevice& operator=(const UsbDisplayDevice&) = delete;

  // The virtual operations, in the order of the display driver's table.
  virtual std::uint8_t WriteBlock(const std::uint8_t* data, std::uint8_t count);
  virtual std::uint8_t WriteText(const std::uint8_t* text, std::uint8_t count);
  virtual void SendControl1();
  virtual void ClearScreen();
  virtual bool SetPosition(std::uint8_t x, std::uint8_t row);
  virtual bool NoOpA(std::uint8_t value);
  virtual void SendControl3();
  virtual void SendControl4();
  virtual bool NoOpB(std::uint8_t value);
  virtual bool NoOpC(std::uint8_t value);
  virtual bool SendControl47(std::uint8_t value);
  virtual bool GetPixelSize(std::uint16_t& width, std::uint16_t& height);
  virtual bool GetTextSize(std::uint8_t& columns, std::uint8_t& rows);
  virtual bool DefineGlyph(std::uint8_t code, const std::uint8_t* glyph);
  virtual std::uint8_t SendPacket(std::uint8_t command, std::uint8_t value,
                                  const std::uint8_t* data, std::uint8_t count);

  bool IsOpen() const { return isOpen; }

  // What the display shows, as far as the packets sent tell.
  const DisplayMirror& Mirror() const { return mirror; }

  // The display sends no answers, but its pipe can go away (unplugged, or a
  // driver that gave up) or stop answering (a write not taken within
  // kPacketWriteBoundMs): whether the latest packet failed to be written,
  // whether it failed for want of an answer, and how many have failed so
  // far. The pipe is closed at the first failure; from then on every packet
  // counts as failed until Reconnect.
  bool LastWriteFailed() const { return lastWriteFailed; }
  bool LastWriteTimedOut() const { return lastWriteTimedOut; }
  std::uint32_t FailedWrites() const { return failedWrites; }
  bool HasPipe() const { return outputPipe.IsValid(); }

  // Takes packets before any display is there (lptlcd --wait): they keep
  // what it should show, and Reconnect brings the display to it.
  void OpenWithoutPipe() { isOpen = true; }

  // Takes the pipe of a display that opened again, which shows nothing yet:
  // RedrawDue until whoever paints the display (the emulator, at its next
  // Flush) has brought it back to the screen the mirror keeps, and says so
  // with Redrawn.
  void Reconnect(UniquePipe pipe);
  bool RedrawDue() const { return redrawDue; }
  void Redrawn() { redrawDue = false; }

  // Lets go of the pipe of a display that may have lost what it showed (one
  // reset in place on resume from sleep): it is redrawn after the next
  // Reconnect.
  void DropPipe() { outputPipe.Reset(); }

  // Sends a packet that changes nothing on the display (its cursor where it
  // stands), so that a pipe that died unnoticed shows itself as a failed
  // write. Nothing without a pipe.
  void Probe();

 private:
  UniquePipe outputPipe;  // closed with the device, or when a write fails
  DisplayMirror mirror;   // what the display shows, from every packet sent
  std::uint8_t packet[kPacketSize] = {};
  bool isOpen = false;
  bool lastWriteFailed = false;
  bool lastWriteTimedOut = false;
  bool redrawDue = false;
  std::uint32_t failedWrites = 0;
};

}  // namespace lptlcd
