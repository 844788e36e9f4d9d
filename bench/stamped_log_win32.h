#pragma once
// The display's side of system_bench: every packet the display's pipe
// receives, stamped on arrival with the one clock that the producer's side
// reads too.

#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/win32_handles.h"
#include "tools/harness/critical_section.h"

namespace lptlcd::bench {

// Milliseconds on QueryPerformanceCounter.
double NowMs();

class StampedLog {
 public:
  struct Packet {
    double at;
    std::array<std::uint8_t, 8> bytes;
  };

  StampedLog();
  StampedLog(const StampedLog&) = delete;
  StampedLog& operator=(const StampedLog&) = delete;

  // On the pipe server's thread.
  void Add(const std::uint8_t* bytes);

  std::size_t Count() const;
  Packet At(std::size_t index) const;

  // Waits until at least `count` packets have arrived; false after boundMs.
  bool WaitForCount(std::size_t count, DWORD boundMs) const;

  // Waits for a packet that starts with `head`, at index `from` or later;
  // its index, or SIZE_MAX after boundMs.
  std::size_t WaitForPacket(std::size_t from, const std::vector<std::uint8_t>& head,
                            DWORD boundMs) const;

 private:
  CriticalSection lock;
  UniqueKernelHandle changed;  // auto-reset; set on every packet
  std::vector<Packet> packets;
};

}  // namespace lptlcd::bench
