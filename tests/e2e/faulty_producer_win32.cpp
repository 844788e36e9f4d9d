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

#include "capture/ring_objects.h"
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
  const DWORD locked = ::WaitForSingleObject(objects.mutex.Get(), INFINITE);
  if (locked != WAIT_OBJECT_0 && locked != WAIT_ABANDONED) return Fail("cannot take the ring's mutex");
  lptlcd::PortWriteRing& ring = *objects.view.Ring();
  std::size_t added = 0;
  for (const lptlcd::ScriptStep& step : steps) {
    for (lptlcd::PortWriteRecord record : step.records) {
      if (ring.count == 65535) return Fail("the ring is full");
      ring.records[static_cast<std::uint16_t>(ring.readIndex + ring.count)] = record;
      ++ring.count;
      ++added;
    }
  }
  std::printf("faulty_producer: added %zu records and holds the lock\n", added);
  std::fflush(stdout);
  ::Sleep(INFINITE);
  return 0;
}

int Garbage(lptlcd::RingObjects& objects, unsigned seed) {
  std::mt19937 random(seed);
  const DWORD locked = ::WaitForSingleObject(objects.mutex.Get(), INFINITE);
  if (locked != WAIT_OBJECT_0 && locked != WAIT_ABANDONED) return Fail("cannot take the ring's mutex");
  lptlcd::PortWriteRing& ring = *objects.view.Ring();
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
  ::ReleaseMutex(objects.mutex.Get());
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
