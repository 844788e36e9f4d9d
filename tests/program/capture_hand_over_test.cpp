// A drain pass hands what it queued to the display worker at its end (the
// capture loop's one hand-over), and before then only when it must wait for
// a ring that a producer holds: commands already decoded are not kept from
// the display for as long as the producer keeps the ring.

#include <gtest/gtest.h>
#include <windows.h>

#include <limits>
#include <string>
#include <vector>

#include "capture/capture_loop.h"
#include "capture/port_write_decoder.h"
#include "common/locks.h"
#include "ring/ring_objects.h"
#include "ring/ring_records.h"
#include "tools/harness/private_ring_names.h"
#include "win32_test_support.h"

namespace lptlcd {
namespace {

// What the pass's hand-overs saw: how many commands had been decoded each time.
std::vector<std::size_t> g_handOversAt;
const std::vector<LcdCommand>* g_decoded = nullptr;
HANDLE g_letGo = nullptr;  // set by a hand-over: the producer may release the ring

void RecordHandOver() {
  g_handOversAt.push_back(g_decoded->size());
  if (g_letGo != nullptr) ::SetEvent(g_letGo);
}

// Characters as the producer writes them: data, then an enable pulse.
std::vector<PortWriteRecord> Characters(std::size_t count) {
  std::vector<PortWriteRecord> records;
  for (std::size_t i = 0; i < count; ++i) {
    records.push_back(MakeRecord(kDataRegisterSelector, static_cast<std::uint8_t>('A' + i % 26)));
    records.push_back(0x7A05);
    records.push_back(0x7A04);
  }
  return records;
}

TEST(CaptureHandOverTest, APassHandsOverBeforeWaitingForAHeldRingOnly) {
  const struct {
    const char* name;
    bool producerTakesTheRing;  // while the pass decodes its first chunk
  } cases[] = {
      {"the ring stays free: no hand-over inside the pass", false},
      {"a producer holds the ring between two chunks: one hand-over before the wait", true},
  };
  for (const auto& c : cases) {
    const PrivateRingNames names(c.producerTakesTheRing ? "HandOverHeld" : "HandOverFree");
    RingObjects objects;
    ASSERT_TRUE(CreateRingObjects(objects, names.Names())) << c.name;
    // Two chunks' worth: 1,368 characters in 4,104 records.
    const std::vector<PortWriteRecord> records = Characters(1368);
    ASSERT_EQ(records.size(), AppendRecords(*objects.view, records.data(), records.size()));

    const UniqueKernelHandle takeIt(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    const UniqueKernelHandle holding(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    const UniqueKernelHandle letGo(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    TestThread producer([&] {
      if (::WaitForSingleObject(takeIt.Get(), kGenerousMs) != WAIT_OBJECT_0) return;
      const MutexLock lock = AcquireMutex(objects.mutex.Get(), INFINITE);
      ::SetEvent(holding.Get());
      ::WaitForSingleObject(letGo.Get(), kGenerousMs);
    });

    std::vector<LcdCommand> decoded;
    PortWriteDecoder decoder([&](LcdCommand command) {
      if (decoded.empty() && c.producerTakesTheRing) {
        ::SetEvent(takeIt.Get());
        ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(holding.Get(), kGenerousMs));
      }
      decoded.push_back(command);
    });
    g_handOversAt.clear();
    g_decoded = &decoded;
    g_letGo = letGo.Get();
    const CapturePass pass = DrainPass(objects, decoder, std::numeric_limits<std::size_t>::max(),
                                       RingHeldReport(), &RecordHandOver);
    ::SetEvent(takeIt.Get());  // a producer that was never asked ends
    ::SetEvent(letGo.Get());
    producer.Join();

    EXPECT_EQ(CapturePass::Outcome::kDrained, pass.outcome) << c.name;
    EXPECT_EQ(records.size(), pass.records) << c.name;
    EXPECT_EQ(1368u, decoded.size()) << c.name;
    // The first chunk's 4,096 records hold 1,365 whole characters.
    EXPECT_EQ(c.producerTakesTheRing ? std::vector<std::size_t>{1365} : std::vector<std::size_t>{},
              g_handOversAt)
        << c.name;
  }
  g_decoded = nullptr;
  g_letGo = nullptr;
}

}  // namespace
}  // namespace lptlcd
