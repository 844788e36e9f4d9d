// Any stream of port-write records, with pauses anywhere, must neither crash
// the decoder and the emulator nor produce anything but whole 8-byte packets.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "capture/port_write_decoder.h"
#include "device/packet_capture.h"
#include "emulator/character_lcd_emulator.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::FILE* devNull = std::fopen("/dev/null", "w");
  lptlcd::PacketCapture capture;
  lptlcd::UsbDisplayDevice device(capture.OpenWriter());
  lptlcd::CharacterLcdEmulator emulator(&device, 20, 2);
  emulator.SetMessageStream(devNull);
  lptlcd::PortWriteDecoder decoder([&emulator](lptlcd::LcdCommand c) { emulator.Execute(c); });
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    const auto record = static_cast<lptlcd::PortWriteRecord>(data[i] << 8 | data[i + 1]);
    if (record == 0xFFFF) {
      emulator.Flush();
    } else {
      decoder.Decode(record);
    }
  }
  emulator.Flush();
  if (capture.TakeBytes().size() % 8 != 0) std::abort();
  return 0;
}
