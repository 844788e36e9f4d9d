// The WinIo interface (WinIo.dll, WinIo32.dll), through the same port model
// as the others. Port values are 1, 2 or 4 bytes, low first at the port and
// the ports after it. Its physical-memory functions are there so that
// programs naming them still load; each fails without touching memory.
// WinIo's bool is C++'s one-byte bool.

#include <windows.h>

#include <cstdint>

#include "portio/port_access.h"

namespace {

bool ValidSize(BYTE size) { return size == 1 || size == 2 || size == 4; }

}  // namespace

extern "C" {

bool WINAPI InitializeWinIo() { return lptlcd::portio::RingIsOpen(); }

// The ring stays: other callers in the process may still be writing.
void WINAPI ShutdownWinIo() {}

bool WINAPI GetPortVal(WORD port, PDWORD value, BYTE size) {
  if (value == nullptr || !ValidSize(size)) return false;
  DWORD read = 0;
  for (BYTE i = 0; i < size; ++i) {
    read |= static_cast<DWORD>(lptlcd::portio::ReadPort(static_cast<std::uint32_t>(port) + i)) << (8 * i);
  }
  *value = read;
  return true;
}

bool WINAPI SetPortVal(WORD port, DWORD value, BYTE size) {
  if (!ValidSize(size)) return false;
  for (BYTE i = 0; i < size; ++i) {
    lptlcd::portio::WritePort(static_cast<std::uint32_t>(port) + i,
                              static_cast<std::uint8_t>(value >> (8 * i)));
  }
  return true;
}

// WinIo 2's forms, which LCD software of its time was built against.
PBYTE WINAPI MapPhysToLin(PBYTE, DWORD, HANDLE* physicalMemoryHandle) {
  if (physicalMemoryHandle != nullptr) *physicalMemoryHandle = nullptr;
  return nullptr;
}
bool WINAPI UnmapPhysicalMemory(HANDLE, PBYTE) { return false; }
bool WINAPI GetPhysLong(PBYTE, PDWORD) { return false; }
bool WINAPI SetPhysLong(PBYTE, DWORD) { return false; }

}  // extern "C"
