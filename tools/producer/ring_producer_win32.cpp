#include <windows.h>

#include <atomic>

#include "capture/port_write_ring.h"
#include "common/unique_handle.h"
#include "tools/producer/ring_producer.h"

namespace lptlcd {

namespace {

struct ViewDeleter {
  void operator()(PortWriteRing* view) const {
    if (view != nullptr) ::UnmapViewOfFile(view);
  }
};

std::string Failure(const char* what) {
  return std::string(what) + " failed (error " + std::to_string(::GetLastError()) + ")";
}

}  // namespace

struct RingProducer::Impl {
  RingProducerOptions options;
  UniqueKernelHandle mutex;
  UniqueKernelHandle event;
  UniqueKernelHandle section;
  std::unique_ptr<PortWriteRing, ViewDeleter> ring;
  bool createdSection = false;
  std::string lastError;
  // Set by a give-up, cleared as soon as a record fits again.
  std::atomic<bool> stalled{false};

  // Milliseconds left of the no-progress budget that started at `since`.
  DWORD Remaining(ULONGLONG since) const {
    const ULONGLONG elapsed = ::GetTickCount64() - since;
    return elapsed >= options.giveUpMs ? 0 : static_cast<DWORD>(options.giveUpMs - elapsed);
  }

  // Waits for the mutex up to `ms`; an abandoned mutex is ours all the same
  // (the ring's words are written one at a time, so a dead owner leaves at
  // worst records it had not yet counted).
  bool Lock(DWORD ms) {
    const DWORD result = ::WaitForSingleObject(mutex.Get(), ms);
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
  }
};

RingProducer::RingProducer(RingProducerOptions options) : impl_(std::make_unique<Impl>()) {
  impl_->options = options;
}

RingProducer::~RingProducer() = default;

bool RingProducer::Open() {
  Impl& s = *impl_;
  if (s.ring) return true;
  // The program creates the mutex owned and releases it once the ring is
  // mapped; a producer that comes first must not keep it, or the program
  // would wait for it forever.
  UniqueKernelHandle mutex(::CreateMutexA(nullptr, FALSE, kRingMutexName));
  if (!mutex) {
    s.lastError = Failure("CreateMutexA(VUVIrizARAccess)");
    return false;
  }
  UniqueKernelHandle event(::CreateEventA(nullptr, FALSE, FALSE, kRingEventName));
  if (!event) {
    s.lastError = Failure("CreateEventA(VUVIrizAREvent)");
    return false;
  }
  UniqueKernelHandle section(::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                  static_cast<DWORD>(kRingSectionBytes),
                                                  kRingSectionName));
  if (!section) {
    s.lastError = Failure("CreateFileMappingA(VUVIrizARData)");
    return false;
  }
  const bool created = ::GetLastError() != ERROR_ALREADY_EXISTS;
  // Mapping the full size also refuses a section of the same name that is
  // too small to be the ring.
  auto* view = static_cast<PortWriteRing*>(
      ::MapViewOfFile(section.Get(), FILE_MAP_ALL_ACCESS, 0, 0, kRingSectionBytes));
  if (view == nullptr) {
    s.lastError = Failure("MapViewOfFile(VUVIrizARData)");
    return false;
  }
  s.mutex = std::move(mutex);
  s.event = std::move(event);
  s.section = std::move(section);
  s.ring.reset(view);
  s.createdSection = created;
  s.lastError.clear();
  return true;
}

bool RingProducer::IsOpen() const { return static_cast<bool>(impl_->ring); }
bool RingProducer::CreatedSection() const { return impl_->createdSection; }
const std::string& RingProducer::LastError() const { return impl_->lastError; }

std::size_t RingProducer::Append(const PortWriteRecord* records, std::size_t count) {
  Impl& s = *impl_;
  if (!s.ring || records == nullptr || count == 0) return 0;
  std::size_t delivered = 0;
  ULONGLONG since = ::GetTickCount64();
  bool mayWait = !s.stalled.load();
  while (delivered < count) {
    std::size_t stored = 0;
    // The mutex is waited for even after a give-up: the program holds it for
    // a whole drain pass, which is exactly when room is being made.
    if (s.Lock(s.Remaining(since))) {
      PortWriteRing& ring = *s.ring;
      const std::size_t pending = ring.count;
      const std::size_t room = kRingMaxCount - pending;
      stored = count - delivered < room ? count - delivered : room;
      const std::size_t first = (ring.readIndex + pending) % kRingCapacity;
      for (std::size_t i = 0; i < stored; ++i) {
        ring.records[(first + i) % kRingCapacity] = records[delivered + i];
      }
      if (stored > 0) {
        ring.count = static_cast<std::uint16_t>(pending + stored);
        ring.writeIndex = static_cast<std::uint16_t>((first + stored) % kRingCapacity);
      }
      ::ReleaseMutex(s.mutex.Get());
    }
    // Set even when nothing fitted: a full ring is exactly when the program
    // must be woken.
    ::SetEvent(s.event.Get());
    if (stored > 0) {
      delivered += stored;
      since = ::GetTickCount64();
      mayWait = true;
      s.stalled.store(false);
      continue;
    }
    if (!mayWait || s.Remaining(since) == 0) {
      s.stalled.store(true);
      break;
    }
    ::Sleep(s.options.retryMs);
  }
  return delivered;
}

bool RingProducer::WaitDrained() {
  Impl& s = *impl_;
  if (!s.ring) return false;
  ULONGLONG since = ::GetTickCount64();
  std::size_t last = kRingCapacity;  // more than count can ever be
  for (;;) {
    std::size_t pending = last;
    if (s.Lock(s.Remaining(since))) {
      pending = s.ring->count;
      ::ReleaseMutex(s.mutex.Get());
    }
    if (pending == 0) return true;
    if (pending < last) {
      since = ::GetTickCount64();
      last = pending;
    } else if (s.Remaining(since) == 0) {
      return false;
    }
    ::Sleep(s.options.retryMs);
  }
}

void PauseMilliseconds(std::uint32_t ms) { ::Sleep(ms); }

}  // namespace lptlcd
