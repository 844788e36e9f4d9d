// A whole session of typical LCD software, from port writes to packet bytes:
// initialisation, two lines of text, eight custom characters shown, a clock
// field updated in place, Clear Display and Return Home.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture/port_write_decoder.h"
#include "emulator/character_lcd_emulator.h"
#include "captured_device.h"

namespace lptlcd {
namespace {

constexpr PortWriteRecord kPause = 0xFFFF;  // not a record: the stream pauses here

class Session {
 public:
  void Instruction(std::uint8_t c) { Cycle(0x00, c); }
  void Data(std::uint8_t b) { Cycle(0x04, b); }
  void Text(const std::string& text) {
    for (char ch : text) Data(static_cast<std::uint8_t>(ch));
  }
  void Pause() { records.push_back(kPause); }

  std::vector<PortWriteRecord> records;

 private:
  // Data on the data register, then an enable pulse with register select.
  void Cycle(std::uint8_t registerSelect, std::uint8_t byte) {
    records.push_back(MakeRecord(kDataRegisterSelector, byte));
    records.push_back(MakeRecord(kControlRegisterSelector, registerSelect));
    records.push_back(
        MakeRecord(kControlRegisterSelector, static_cast<std::uint8_t>(registerSelect | 1)));
    records.push_back(MakeRecord(kControlRegisterSelector, registerSelect));
  }
};

std::vector<std::string> Replay(const std::vector<PortWriteRecord>& records) {
  test::CapturedDevice captured;
  CharacterLcdEmulator emulator(&captured.Device(), 20, 2);
  PortWriteDecoder decoder([&emulator](LcdCommand command) { emulator.Execute(command); });
  for (PortWriteRecord record : records) {
    if (record == kPause) {
      emulator.Flush();
    } else {
      decoder.Decode(record);
    }
  }
  emulator.Flush();
  return captured.TakePackets();
}

TEST(SessionGolden, RecordsToPacketBytes) {
  Session s;
  for (int c : {0x38, 0x38, 0x38, 0x0C, 0x06, 0x01}) s.Instruction(static_cast<std::uint8_t>(c));
  s.Instruction(0x80);
  s.Text("Hello, world");
  s.Instruction(0xC0);
  s.Text("lptlcd v1");
  s.Pause();
  s.Instruction(0x40);  // a bar graph: character c fills its bottom c+1 rows
  for (int code = 0; code < 8; ++code) {
    for (int row = 0; row < 8; ++row) s.Data(row >= 7 - code ? 0x1F : 0x00);
  }
  s.Instruction(0x02);
  s.Instruction(0x8C);
  for (std::uint8_t code = 0; code < 8; ++code) s.Data(code);
  s.Instruction(0xCA);
  s.Text("12:34");
  s.Pause();
  s.Instruction(0xCE);  // the clock's last digit, rewritten in place twice
  s.Text("5");
  s.Instruction(0xCE);
  s.Text("6");
  s.Pause();
  s.Instruction(0x01);
  s.Instruction(0x02);

  EXPECT_EQ(Replay(s.records), (std::vector<std::string>{
      "01 02 00 00 00 00 00 00",  // Clear Display
      "03 00 00 00 00 00 00 00",  // and where the cursor now stands
      "02 06 48 65 6c 6c 6f 2c",  // "Hello,"
      "02 06 20 77 6f 72 6c 64",  // " world"
      "03 00 01 00 00 00 00 00",  // line 1
      "02 06 6c 70 74 6c 63 64",  // "lptlcd"
      "02 03 20 76 31 00 00 00",  // " v1" on the pause
      "04 00 80 80 80 80 80 00",
      "04 01 c0 c0 c0 c0 c0 00",
      "04 02 e0 e0 e0 e0 e0 00",
      "04 03 f0 f0 f0 f0 f0 00",
      "04 04 f8 f8 f8 f8 f8 00",
      "04 05 fc fc fc fc fc 00",
      "04 06 fe fe fe fe fe 00",
      "04 07 ff ff ff ff ff 00",
      "03 00 00 00 00 00 00 00",  // Return Home
      "03 48 00 00 00 00 00 00",  // column 12, line 0
      "02 06 00 01 02 03 04 05",  // the custom characters
      "02 02 06 07 00 00 00 00",
      "03 3c 01 00 00 00 00 00",  // column 10, line 1
      "02 05 31 32 3a 33 34 00",  // "12:34"
      "03 54 01 00 00 00 00 00",  // back to column 14
      "02 01 35 00 00 00 00 00",
      "03 54 01 00 00 00 00 00",
      "02 01 36 00 00 00 00 00",
      "01 02 00 00 00 00 00 00",  // Clear Display
      "03 00 00 00 00 00 00 00",
      "03 00 00 00 00 00 00 00",  // Return Home
  }));
}

}  // namespace
}  // namespace lptlcd
