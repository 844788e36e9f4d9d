#include <windows.h>


#include "tools/displayhost/display_host.h"

namespace lptlcd {

PacketRecorder::PacketRecorder() : changed_(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
  ::InitializeCriticalSection(&lock_);
}

PacketRecorder::~PacketRecorder() { ::DeleteCriticalSection(&lock_); }

DisplayPipeServer::PacketHandler PacketRecorder::Handler() {
  return [this](const std::uint8_t* packet) { Add(packet); };
}

void PacketRecorder::Add(const std::uint8_t* packet) {
  ::EnterCriticalSection(&lock_);
  packets_.emplace_back(packet, packet + kDisplayPacketSize);
  ::LeaveCriticalSection(&lock_);
  ::SetEvent(changed_.Get());
}

template <typename Predicate>
bool PacketRecorder::WaitUntil(Predicate done, DWORD timeoutMs) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  for (;;) {
    ::EnterCriticalSection(&lock_);
    const bool met = done(packets_);
    ::LeaveCriticalSection(&lock_);
    if (met) return true;
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) return false;
    // Wakes on every new packet; the bound only matters when none comes.
    ::WaitForSingleObject(changed_.Get(), static_cast<DWORD>(deadline - now));
  }
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
  ::EnterCriticalSection(&lock_);
  std::vector<Packet> copy = packets_;
  ::LeaveCriticalSection(&lock_);
  return copy;
}

std::size_t PacketRecorder::Count() const {
  ::EnterCriticalSection(&lock_);
  const std::size_t count = packets_.size();
  ::LeaveCriticalSection(&lock_);
  return count;
}

void PacketRecorder::Clear() {
  ::EnterCriticalSection(&lock_);
  packets_.clear();
  ::LeaveCriticalSection(&lock_);
}

}  // namespace lptlcd
