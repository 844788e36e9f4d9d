#pragma once
// The producer's side of the shared port-write ring: creates the mutex, the
// event and the section, or opens them when the program (or another
// producer) got there first, and appends records under the program's locking
// rules: each record goes to (readIndex + count) mod 65536 while the mutex is
// held, count is raised and never passes 65535, and the event is set after
// adding. Windows only; the header itself stays free of <windows.h>.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "common/lcd_types.h"

namespace lptlcd {

constexpr std::uint16_t kRingMaxCount = 65535;

struct RingProducerOptions {
  // How long Append (and WaitDrained) waits while nothing moves: neither a
  // record could be stored nor the program consumed one. Each record stored
  // starts the clock again, so a long stream into a draining ring never gives
  // up, while a ring nobody drains costs at most this much.
  std::uint32_t giveUpMs = 2000;
  // Pause between attempts while the ring is full.
  std::uint32_t retryMs = 1;
};

class RingProducer {
 public:
  explicit RingProducer(RingProducerOptions options = {});
  ~RingProducer();
  RingProducer(const RingProducer&) = delete;
  RingProducer& operator=(const RingProducer&) = delete;

  // Creates or opens the three objects and maps the ring. On failure returns
  // false and LastError() says which step failed and the Windows error code.
  bool Open();
  bool IsOpen() const;
  // True when Open created the section, i.e. nobody held the ring before.
  bool CreatedSection() const;
  const std::string& LastError() const;

  // Delivers records in order and returns how many were stored: all of them,
  // or the first ones when the ring stayed full (or the mutex held) for
  // giveUpMs. After such a give-up later calls do not wait for room again
  // until a record has fitted, so a producer nobody drains is slowed down
  // once, not on every call. Safe to call from several threads of one process.
  std::size_t Append(const PortWriteRecord* records, std::size_t count);

  // Waits until count is 0; false when the program stopped consuming for
  // giveUpMs or the ring is not open.
  bool WaitDrained();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Sleep for producers written without <windows.h>.
void PauseMilliseconds(std::uint32_t ms);

}  // namespace lptlcd
