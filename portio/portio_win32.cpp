// The drop-in port-I/O DLL: the entry points of the port drivers that old LCD
// software loads by name, recording each write to the first parallel port
// into the shared ring instead of touching hardware. This file holds the
// DLL's state and the inpout32 and DriverLINX (dlportio) interfaces; io.dll
// and WinIo are in files of their own.
//
// It runs inside somebody else's process, so it brings no C++ runtime: no
// exceptions, no heap, no static constructors or thread-local data; the
// ring's producer lives in static storage and is built on first use
// (portio/ring_on_first_use.h).

#include <windows.h>

#include "portio/parallel_port.h"
#include "portio/port_access.h"
#include "portio/ring_on_first_use.h"

namespace {

using lptlcd::ParallelPortModel;
using lptlcd::PortWriteRecord;
using lptlcd::RingProducer;

// A full ring that nobody drains stalls the calling program this long once;
// after that writes are dropped at once until there is room again.
constexpr std::uint32_t kGiveUpMs = 50;
// Records of one buffer call go to the ring in pieces of this size.
constexpr std::size_t kBufferPiece = 512;

ParallelPortModel g_port;

constexpr lptlcd::RingProducerOptions RingOptions() {
  lptlcd::RingProducerOptions options;
  options.giveUpMs = kGiveUpMs;
  return options;
}
bool OpenRing(RingProducer& ring) { return ring.Open(); }
DWORD TickNow() { return ::GetTickCount(); }

// Opened on first use, never in DllMain; a failed open is tried again at
// most once a second.
lptlcd::RingOnFirstUse g_ring(RingOptions(), &OpenRing, &TickNow);

RingProducer* Ring() { return g_ring.Get(); }

// One ring append per piece rather than per value: a buffer write to the
// data port is one lock round trip for hundreds of bytes.
template <typename Value>
void WritePortBuffer(std::uint32_t port, const Value* buffer, ULONG count) {
  if (buffer == nullptr) return;
  PortWriteRecord records[kBufferPiece];
  std::size_t n = 0;
  RingProducer* ring = nullptr;
  for (ULONG i = 0; i < count; ++i) {
    if (!g_port.Write(port, static_cast<std::uint8_t>(buffer[i] & 0xFF), records[n])) return;
    if (++n == kBufferPiece || i + 1 == count) {
      if (ring == nullptr) ring = Ring();
      if (ring != nullptr) ring->Append(records, n);
      n = 0;
    }
  }
}

template <typename Value>
void ReadPortBuffer(std::uint32_t port, Value* buffer, ULONG count) {
  if (buffer == nullptr) return;
  const auto value = static_cast<Value>(g_port.Read(port));
  for (ULONG i = 0; i < count; ++i) buffer[i] = value;
}

}  // namespace

namespace lptlcd::portio {

void WritePort(std::uint32_t port, std::uint8_t value) {
  PortWriteRecord record = 0;
  if (!g_port.Write(port, value, record)) return;
  if (RingProducer* ring = Ring()) ring->Append(&record, 1);
}

std::uint8_t ReadPort(std::uint32_t port) { return g_port.Read(port); }

bool RingIsOpen() { return Ring() != nullptr; }

}  // namespace lptlcd::portio

using lptlcd::portio::WritePort;

extern "C" {

// Nothing here may wait or start threads: the loader lock is held.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) ::DisableThreadLibraryCalls(instance);
  // Unloaded by FreeLibrary while the program goes on: hand the view and the
  // handles back, or every load and unload would leak them (unmapping and
  // closing never wait). At process exit the system reclaims them itself.
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) g_ring.Close();
  return TRUE;
}

// inpout32 interface. Ports and values come as 16-bit signed numbers; the
// port is taken as its unsigned bit pattern, the value by its low byte.
void WINAPI Out32(short port, short data) {
  WritePort(static_cast<std::uint16_t>(port), static_cast<std::uint8_t>(data & 0xFF));
}

short WINAPI Inp32(short port) {
  return static_cast<short>(g_port.Read(static_cast<std::uint16_t>(port)));
}

BOOL WINAPI IsInpOutDriverOpen() { return Ring() != nullptr ? TRUE : FALSE; }

BOOL WINAPI IsXP64Bit() {
#if defined(_WIN64)
  return TRUE;
#else
  BOOL wow64 = FALSE;
  return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64 ? TRUE : FALSE;
#endif
}

// DriverLINX port I/O interface. Wider writes record their low byte; wider
// reads return the byte read, zero-extended.
UCHAR WINAPI DlPortReadPortUchar(ULONG port) { return g_port.Read(port); }
USHORT WINAPI DlPortReadPortUshort(ULONG port) { return g_port.Read(port); }
ULONG WINAPI DlPortReadPortUlong(ULONG port) { return g_port.Read(port); }

void WINAPI DlPortWritePortUchar(ULONG port, UCHAR value) { WritePort(port, value); }
void WINAPI DlPortWritePortUshort(ULONG port, USHORT value) {
  WritePort(port, static_cast<std::uint8_t>(value & 0xFF));
}
void WINAPI DlPortWritePortUlong(ULONG port, ULONG value) {
  WritePort(port, static_cast<std::uint8_t>(value & 0xFF));
}

void WINAPI DlPortReadPortBufferUchar(ULONG port, PUCHAR buffer, ULONG count) {
  ReadPortBuffer(port, buffer, count);
}
void WINAPI DlPortReadPortBufferUshort(ULONG port, PUSHORT buffer, ULONG count) {
  ReadPortBuffer(port, buffer, count);
}
void WINAPI DlPortReadPortBufferUlong(ULONG port, PULONG buffer, ULONG count) {
  ReadPortBuffer(port, buffer, count);
}

void WINAPI DlPortWritePortBufferUchar(ULONG port, PUCHAR buffer, ULONG count) {
  WritePortBuffer(port, buffer, count);
}
void WINAPI DlPortWritePortBufferUshort(ULONG port, PUSHORT buffer, ULONG count) {
  WritePortBuffer(port, buffer, count);
}
void WINAPI DlPortWritePortBufferUlong(ULONG port, PULONG buffer, ULONG count) {
  WritePortBuffer(port, buffer, count);
}

}  // extern "C"
