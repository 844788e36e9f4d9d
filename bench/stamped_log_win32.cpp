#include "bench/stamped_log_win32.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "tools/harness/wait_until.h"

namespace lptlcd::bench {

double NowMs() {
  static const double ticksPerMs = [] {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart) / 1000.0;
  }();
  LARGE_INTEGER counter;
  ::QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / ticksPerMs;
}

StampedLog::StampedLog() : changed(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

void StampedLog::Add(const std::uint8_t* bytes) {
  Packet packet;
  packet.at = NowMs();
  std::memcpy(packet.bytes.data(), bytes, packet.bytes.size());
  {
    const auto held = lock.Hold();
    packets.push_back(packet);
  }
  ::SetEvent(changed.Get());
}

std::size_t StampedLog::Count() const {
  const auto held = lock.Hold();
  return packets.size();
}

StampedLog::Packet StampedLog::At(std::size_t index) const {
  const auto held = lock.Hold();
  return packets[index];
}

bool StampedLog::WaitForCount(std::size_t count, DWORD boundMs) const {
  return WaitUntil(changed.Get(), boundMs, [&] { return Count() >= count; });
}

std::size_t StampedLog::WaitForPacket(std::size_t from, const std::vector<std::uint8_t>& head,
                                      DWORD boundMs) const {
  std::size_t next = from;
  const bool found = WaitUntil(changed.Get(), boundMs, [&] {
    for (const std::size_t count = Count(); next < count; ++next) {
      const Packet packet = At(next);
      if (std::equal(head.begin(), head.end(), packet.bytes.begin())) return true;
    }
    return false;
  });
  return found ? next : SIZE_MAX;
}

}  // namespace lptlcd::bench
