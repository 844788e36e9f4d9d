#include <windows.h>

#include "common/wait_until.h"
#include "tools/displayhost/display_host.h"

namespace lptlcd {

PacketRecorder::PacketRecorder() : changed_(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

PacketRecorder::~PacketRecorder() = default;

DisplayPipeServer::PacketHandler PacketRecorder::Handler() {
  return [this](const std::uint8_t* packet) { Add(packet); };
}

void PacketRecorder::Add(const std::uint8_t* packet) {
  {
    const auto held = lock_.Hold();
    packets_.emplace_back(packet, packet + kPacketSize);
  }
  ::SetEvent(changed_.Get());
}

template <typename Predicate>
bool PacketRecorder::WaitUntil(Predicate done, DWORD timeoutMs) {
  // Wakes on every new packet; the bound only matters when none comes.
  return lptlcd::WaitUntil(changed_.Get(), timeoutMs, [&] {
    const auto held = lock_.Hold();
    return done(packets_);
  });
}

bool PacketRecorder::WaitForCount(std::size_t count, DWORD timeoutMs) {
  return WaitUntil([count](const std::vector<Packet>& packets) { return packets.size() >= count; },
                   timeoutMs);
}

bool PacketRecorder::WaitForPacket(const Packet& packet, DWORD timeoutMs) {
  return WaitUntil(
      [&packet](const std::vector<Packet>& packets) {
        for (const Packet& p : packets) {
          if (p == packet) return true;
        }
        return false;
      },
      timeoutMs);
}

std::vector<PacketRecorder::Packet> PacketRecorder::Packets() const {
  const auto held = lock_.Hold();
  return packets_;
}

std::size_t PacketRecorder::Count() const {
  const auto held = lock_.Hold();
  return packets_.size();
}

void PacketRecorder::Clear() {
  const auto held = lock_.Hold();
  packets_.clear();
}

}  // namespace lptlcd
