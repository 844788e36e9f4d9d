#include "tools/lcdreplay/replay.h"

#include "capture/port_write_decoder.h"
#include "emulator/character_lcd_emulator.h"
#include "tools/packets/packet_capture.h"
#include "tools/packets/packet_text.h"
#include "tools/producer/record_file.h"

namespace lptlcd {

int ReplayRecords(std::istream& in, const std::string& sourceName, std::FILE* packets,
                  std::FILE* messages) {
  PacketCapture capture;
  UsbDisplayDevice device(capture.OpenWriter());
  CharacterLcdEmulator emulator(&device, 20, 2);
  emulator.SetMessageStream(messages);
  PortWriteDecoder decoder([&emulator](LcdCommand command) { emulator.Execute(command); });

  // Printed as they come, so that a long stream shows its packets at once
  // and the capture never holds more than one step's worth.
  auto printNewPackets = [&] {
    for (const std::string& line : FormatPackets(capture.TakeBytes())) {
      std::fprintf(packets, "%s\n", line.c_str());
    }
  };

  RecordFileTokenizer tokens(in);
  for (;;) {
    const RecordToken token = tokens.Next();
    switch (token.kind) {
      case RecordToken::Kind::kRecord:
        decoder.Decode(token.record);
        break;
      case RecordToken::Kind::kBatchEnd:
        emulator.Flush();
        break;
      case RecordToken::Kind::kEnd:
        emulator.Flush();
        printNewPackets();
        std::fflush(packets);
        return 0;
      case RecordToken::Kind::kError:
        std::fflush(packets);
        std::fprintf(messages, "lcdreplay: %s: %s\n", sourceName.c_str(),
                     tokens.ErrorMessage().c_str());
        std::fflush(messages);
        return 2;
    }
    printNewPackets();
  }
}

}  // namespace lptlcd
