// faulty_producer: a producer of port writes that misbehaves on purpose, for
// the end-to-end tests of how lptlcd survives its neighbours.
//
//   faulty_producer hold-lock "SCRIPT LINE" ...
//       adds the script's records to the ring while holding its mutex, then
//       never releases the mutex nor signals: it waits to be killed.
//   faulty_producer garbage SEED
//       fills the whole ring with random records, puts readIndex and
//       writeIndex anywhere, sets count to 65,535, signals and exits.

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "common/locks.h"
#include "ring/ring_objects.h"
#include "ring/ring_records.h"
#include "tools/producer/lcd_script.h"

namespace {

int Fail(const char* what) {
  std::printf("faulty_producer: %s\n", what);
  std::fflush(stdout);
  return 1;
}

int HoldLock(lptlcd::RingObjects& objects, const std::string& script) {
  std::istringstream in(script);
  std::vector<lptlcd::ScriptStep> steps;
  std::string error;
  if (!lptlcd::ParseLcdScript(in, lptlcd::Waveform::kNormal, steps, error)) return Fail(error.c_str());
  lptlcd::MutexLock lock = lptlcd::AcquireMutex(objects.mutex.Get(), INFINITE);
  if (!lock) return Fail("cannot take the ring's mutex");
  std::size_t added = 0;
  for (const lptlcd::ScriptStep& step : steps) {
    const std::size_t stored =
        lptlcd::AppendRecords(*objects.view, step.records.data(), step.records.size());
    added += stored;
    if (stored != step.records.size()) return Fail("the ring is full");
  }
  // The count is raised, and no signal comes: the program learns of these
  // records only from the next producer.
  std::printf("faulty_producer: added %zu records and holds the lock\n", added);
  std::fflush(stdout);
  ::Sleep(INFINITE);
  return 0;
}

int Garbage(lptlcd::RingObjects& objects, unsigned seed) {
  std::mt19937 random(seed);
  lptlcd::MutexLock lock = lptlcd::AcquireMutex(objects.mutex.Get(), INFINITE);
  if (!lock) return Fail("cannot take the ring's mutex");
  lptlcd::PortWriteRing& ring = *objects.view;
  for (lptlcd::PortWriteRecord& record : ring.records) {
    record = static_cast<lptlcd::PortWriteRecord>(random());
  }
  // Half the records at least aim at the module's two registers, so that the
  // garbage reaches the decoder and the emulator and not only the drain.
  for (std::size_t i = 0; i < 65536; i += 2) {
    ring.records[i] = static_cast<lptlcd::PortWriteRecord>((i & 2 ? 0x7A00 : 0x7800) | (random() & 0xFF));
  }
  ring.readIndex = static_cast<std::uint16_t>(random());
  ring.writeIndex = static_cast<std::uint16_t>(random());
  ring.count = 65535;
  std::printf("faulty_producer: left 65535 garbage records from index %u\n",
              static_cast<unsigned>(ring.readIndex));
  std::fflush(stdout);
  lock.Release();
  ::SetEvent(objects.event.Get());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Fail("usage: faulty_producer hold-lock SCRIPT-LINE... | garbage SEED");
  lptlcd::RingObjects objects;
  if (!lptlcd::CreateRingObjects(objects)) return Fail("cannot open the ring");
  const std::string mode = argv[1];
  if (mode == "hold-lock") {
    std::string script;
    for (int i = 2; i < argc; ++i) script += std::string(argv[i]) + "\n";
    return HoldLock(objects, script);
  }
  if (mode == "garbage") return Garbage(objects, static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)));
  return Fail("unknown mode");
}
