// Records per second through the decoder and the emulator, with the device
// writing to a null sink: the work the program does per port write, minus USB.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "capture/port_write_decoder.h"
#include "device/packet_capture.h"
#include "emulator/character_lcd_emulator.h"

namespace {

using lptlcd::MakeRecord;
using lptlcd::PortWriteRecord;

// Port writes of typical LCD software: data, then an enable pulse with
// register select set for characters.
void Cycle(std::vector<PortWriteRecord>& out, bool data, std::uint8_t byte) {
  const std::uint8_t rs = data ? 0x04 : 0x00;
  out.push_back(MakeRecord(0x78, byte));
  out.push_back(MakeRecord(0x7A, rs));
  out.push_back(MakeRecord(0x7A, static_cast<std::uint8_t>(rs | 0x01)));
  out.push_back(MakeRecord(0x7A, rs));
}

// One frame of a busy status screen: eight custom characters redefined (a bar
// graph), both lines of a 20x2 screen rewritten, and a few cursor moves for a
// clock field.
std::vector<PortWriteRecord> RealisticFrame(int frame) {
  std::vector<PortWriteRecord> records;
  Cycle(records, false, 0x40);
  for (int cell = 0; cell < 8; ++cell) {
    for (int row = 0; row < 8; ++row) {
      Cycle(records, true, static_cast<std::uint8_t>(row >= 7 - cell ? 0x1F : 0x00));
    }
  }
  for (int line = 0; line < 2; ++line) {
    Cycle(records, false, static_cast<std::uint8_t>(line == 0 ? 0x80 : 0xC0));
    for (int column = 0; column < 20; ++column) {
      Cycle(records, true, static_cast<std::uint8_t>('A' + (column + frame + line) % 26));
    }
  }
  for (int move = 0; move < 4; ++move) {
    Cycle(records, false, static_cast<std::uint8_t>(0x80 + 12 + move));
    Cycle(records, true, static_cast<std::uint8_t>('0' + (frame + move) % 10));
  }
  Cycle(records, false, 0x02);
  return records;
}

void BM_DecodeAndEmulate(benchmark::State& state) {
  std::vector<PortWriteRecord> stream;
  for (int frame = 0; frame < 16; ++frame) {
    auto records = RealisticFrame(frame);
    stream.insert(stream.end(), records.begin(), records.end());
  }
  lptlcd::PacketCapture nullSink(/*discard=*/true);
  lptlcd::UsbDisplayDevice device(nullSink.OpenWriter());
  lptlcd::CharacterLcdEmulator emulator(&device, 20, 2);
  lptlcd::PortWriteDecoder decoder([&emulator](lptlcd::LcdCommand command) { emulator.Execute(command); });
  for (auto _ : state) {
    for (PortWriteRecord record : stream) decoder.Decode(record);
    emulator.Flush();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(stream.size()));
  state.counters["records/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(stream.size()),
      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeAndEmulate);

}  // namespace

BENCHMARK_MAIN();
