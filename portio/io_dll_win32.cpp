// The io.dll interface of hobby and LCD software, through the same port
// model as the others. A word or double word at port P is its bytes, low
// first, at P, P+1 (, P+2, P+3). The bit operations read the port, change one
// bit and write the byte back.

#include <windows.h>

#include <cstdint>

#include "portio/port_access.h"

namespace {

using lptlcd::portio::ReadPort;
using lptlcd::portio::WritePort;

std::uint32_t PortNumber(short port) { return static_cast<std::uint16_t>(port); }

void WriteBytes(short port, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    WritePort(PortNumber(port) + static_cast<std::uint32_t>(i),
              static_cast<std::uint8_t>(value >> (8 * i)));
  }
}

std::uint32_t ReadBytes(short port, int bytes) {
  std::uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) {
    value |= static_cast<std::uint32_t>(ReadPort(PortNumber(port) + static_cast<std::uint32_t>(i)))
             << (8 * i);
  }
  return value;
}

// The mask of bit 0 to 7; 0 for any other bit number, which changes nothing.
std::uint8_t BitMask(char bit) {
  return bit >= 0 && bit <= 7 ? static_cast<std::uint8_t>(1u << bit) : 0;
}

// Reads the port's byte, lets `change` make the new one and writes it back
// (only when there is a change to make); returns the byte written.
template <typename Change>
std::uint8_t ReadModifyWrite(short port, Change change) {
  const std::uint8_t old = ReadPort(PortNumber(port));
  const std::uint8_t changed = change(old);
  WritePort(PortNumber(port), changed);
  return changed;
}

}  // namespace

extern "C" {

void WINAPI PortOut(short port, char data) { WriteBytes(port, static_cast<std::uint8_t>(data), 1); }
void WINAPI PortWordOut(short port, short data) {
  WriteBytes(port, static_cast<std::uint16_t>(data), 2);
}
void WINAPI PortDWordOut(short port, int data) {
  WriteBytes(port, static_cast<std::uint32_t>(data), 4);
}

char WINAPI PortIn(short port) { return static_cast<char>(ReadBytes(port, 1)); }
short WINAPI PortWordIn(short port) { return static_cast<short>(ReadBytes(port, 2)); }
int WINAPI PortDWordIn(short port) { return static_cast<int>(ReadBytes(port, 4)); }

void WINAPI SetPortBit(short port, char bit) {
  const std::uint8_t mask = BitMask(bit);
  if (mask != 0) ReadModifyWrite(port, [mask](std::uint8_t v) { return static_cast<std::uint8_t>(v | mask); });
}
void WINAPI ClrPortBit(short port, char bit) {
  const std::uint8_t mask = BitMask(bit);
  if (mask != 0) ReadModifyWrite(port, [mask](std::uint8_t v) { return static_cast<std::uint8_t>(v & ~mask); });
}
void WINAPI NotPortBit(short port, char bit) {
  const std::uint8_t mask = BitMask(bit);
  if (mask != 0) ReadModifyWrite(port, [mask](std::uint8_t v) { return static_cast<std::uint8_t>(v ^ mask); });
}
short WINAPI GetPortBit(short port, char bit) {
  return (ReadPort(PortNumber(port)) & BitMask(bit)) != 0 ? 1 : 0;
}

// The port's byte moved one bit, the low bit of `val` shifted in.
short WINAPI RightPortShift(short port, short val) {
  return ReadModifyWrite(port, [val](std::uint8_t v) {
    return static_cast<std::uint8_t>((v >> 1) | ((val & 1) << 7));
  });
}
short WINAPI LeftPortShift(short port, short val) {
  return ReadModifyWrite(port, [val](std::uint8_t v) {
    return static_cast<std::uint8_t>((v << 1) | (val & 1));
  });
}

// The "driver" is the shared ring: installed once it opens.
short WINAPI IsDriverInstalled() { return lptlcd::portio::RingIsOpen() ? 1 : 0; }

}  // extern "C"
