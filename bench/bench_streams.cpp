#include "bench/bench_streams.h"

#include <cstdio>
#include <string>

#include "tools/producer/lcd_waveform.h"

namespace lptlcd::bench {

namespace {

// Port writes of typical LCD software: data, then an enable pulse with
// register select set for characters.
void Cycle(std::vector<PortWriteRecord>& out, bool data, std::uint8_t byte) {
  const std::uint8_t rs = data ? 0x04 : 0x00;
  out.push_back(MakeRecord(kDataRegisterSelector, byte));
  out.push_back(MakeRecord(kControlRegisterSelector, rs));
  out.push_back(MakeRecord(kControlRegisterSelector, static_cast<std::uint8_t>(rs | 0x01)));
  out.push_back(MakeRecord(kControlRegisterSelector, rs));
}

void RealisticFrame(int frame, std::vector<PortWriteRecord>& records) {
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
}

}  // namespace

std::vector<PortWriteRecord> RealisticStream() {
  std::vector<PortWriteRecord> stream;
  for (int frame = 0; frame < 16; ++frame) RealisticFrame(frame, stream);
  return stream;
}

std::vector<PortWriteRecord> AllStrobeStream(std::size_t count) {
  static const PortWriteRecord kEdges[4] = {
      MakeRecord(kControlRegisterSelector, 0x05),  // character 0x80
      MakeRecord(kControlRegisterSelector, 0x04),
      MakeRecord(kControlRegisterSelector, 0x01),  // Set DDRAM Address 0x80
      MakeRecord(kControlRegisterSelector, 0x00),
  };
  std::vector<PortWriteRecord> stream;
  stream.reserve(count);
  if (count == 0) return stream;
  stream.push_back(MakeRecord(kDataRegisterSelector, 0x80));
  for (std::size_t i = 0; stream.size() < count; ++i) stream.push_back(kEdges[i % 4]);
  return stream;
}

std::vector<PortWriteRecord> RewriteStream(bool clearFirst, unsigned frame) {
  LcdRecordWriter writer(Waveform::kNormal);
  if (clearFirst) writer.Clear();
  for (unsigned line = 0; line < 2; ++line) {
    std::string text;
    for (unsigned column = 0; column < 20; ++column) {
      text += static_cast<char>('A' + (column + line + frame) % 26);
    }
    writer.TextAt(line, text);
  }
  return writer.TakeRecords();
}

std::vector<PortWriteRecord> AnalyserStream(unsigned frame) {
  LcdRecordWriter writer(Waveform::kNormal);
  if (frame == 0) {
    writer.Init();
    writer.MoveTo(0, 0);
    for (std::uint8_t cell = 0; cell < 16; ++cell) writer.Data(cell % 8);
  }
  writer.Instruction(hd44780::kSetCgramAddress);
  for (unsigned code = 0; code < 8; ++code) {
    const unsigned height = (code * 3 + frame * 5) % 9;
    for (unsigned row = 0; row < 8; ++row) writer.Data(row >= 8 - height ? 0x1F : 0x00);
  }
  writer.MoveTo(0, 0);
  return writer.TakeRecords();
}

std::vector<PortWriteRecord> Repeated(const std::vector<PortWriteRecord>& stream,
                                      std::size_t count) {
  std::vector<PortWriteRecord> out;
  out.reserve(count);
  for (std::size_t i = 0; !stream.empty() && out.size() < count; ++i) {
    out.push_back(stream[i % stream.size()]);
  }
  return out;
}

std::uint8_t CountingDisplay::SendPacket(std::uint8_t, std::uint8_t, const std::uint8_t*,
                                         std::uint8_t count) {
  ++packets;
  return count <= kPacketDataSize ? count : static_cast<std::uint8_t>(kPacketDataSize);
}

Mirror::Mirror()
    : emulator(&display, 20, 2), decoder([this](LcdCommand command) {
        ++commands;
        emulator.Execute(command);
      }) {
  emulator.SetMessageStream(stderr);
}

Mirror::Counts Mirror::Feed(const std::vector<PortWriteRecord>& records, bool flushAfter) {
  const std::size_t commandsBefore = commands;
  const std::size_t packetsBefore = display.Packets();
  for (PortWriteRecord record : records) decoder.Decode(record);
  if (flushAfter) emulator.Flush();
  return {commands - commandsBefore, display.Packets() - packetsBefore};
}

}  // namespace lptlcd::bench
