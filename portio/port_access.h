#pragma once
// What the DLL's three port-I/O interfaces (inpout32/dlportio, io.dll,
// WinIo) share: one model of the first parallel port and one way into the
// ring. Only for the DLL's own files.

#include <cstdint>

namespace lptlcd::portio {

// A write to the first parallel port (0x378-0x37F) becomes a ring record;
// writes elsewhere are ignored.
void WritePort(std::uint32_t port, std::uint8_t value);
// What the port reads back: the last data or control value written (data in
// input mode: the module's answer), an idle status, 0xFF elsewhere.
std::uint8_t ReadPort(std::uint32_t port);
// Opens the ring on first use; true while it is open.
bool RingIsOpen();

}  // namespace lptlcd::portio
