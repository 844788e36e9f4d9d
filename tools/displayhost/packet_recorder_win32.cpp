#include <windows.h>

#include "tools/displayhost/display_host.h"
#include "tools/harness/wait_until.h"

namespace lptlcd {

PacketRecorder::PacketRecorder() : changed(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

PacketRecorder::~PacketRecorder() = default;

DisplayPipeServer::PacketHandler PacketRecorder::Handler() {
  return [this](const std::uint8_t* packet) { Add(packet); };
}

void PacketRecorder::Add(const std::uint8_t* packet) {
  {
    const auto held = lock.Hold();
    packets.emplace_back(packet, packet + kPacketSize);
  }
  ::SetEvent(changed.Get());
}

template <typename Predicate>
bool PacketRecorder::WaitUntil(Predicate done, DWORD timeoutMs) {
  // Wakes on every new packet; the bound only matters when none comes.
  return lptlcd::WaitUntil(changed.Get(), timeoutMs, [&] {
    const auto held = lock.Hold();
    return done(packets);
  });
}

bool PacketRecorder::WaitForCount(std::size_t count, DWORD timeoutMs) {
  return WaitUntil([count](const std::vector<Packet>& logged) { return logged.size() >= count; },
                   timeoutMs);
}

bool PacketRecorder::WaitForPacket(const Packet& packet, DWORD timeoutMs) {
  return WaitUntil(
      [&packet](const std::vector<Packet>& logged) {
        for (const Packet& p : logged) {
          if (p == packet) return true;
        }
        return false;
      },
      timeoutMs);
}

std::vector<PacketRecorder::Packet> PacketRecorder::Packets() const {
  const auto held = lock.Hold();
  return packets;
}

std::size_t PacketRecorder::Count() const {
  const auto held = lock.Hold();
  return packets.size();
}

void PacketRecorder::Clear() {
  const auto held = lock.Hold();
  packets.clear();
}

}  // namespace lptlcd
