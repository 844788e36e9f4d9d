#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "emulator/character_lcd_emulator.h"
#include "captured_device.h"

namespace lptlcd {
namespace {

using Lines = std::vector<std::string>;

class Emulator : public ::testing::Test {
 protected:
  Emulator() { emulator.SetMessageStream(messages); }
  ~Emulator() override { std::fclose(messages); }

  void Instruction(std::uint8_t c) { emulator.Execute(c); }
  void Data(int b) { emulator.Execute(static_cast<LcdCommand>(0x100 | (b & 0xFF))); }
  void Text(const std::string& text) {
    for (char ch : text) Data(static_cast<std::uint8_t>(ch));
  }
  Lines Packets() { return captured.TakePackets(); }
  std::string Messages() {
    std::string text;
    std::rewind(messages);
    for (int ch; (ch = std::fgetc(messages)) != EOF;) text += static_cast<char>(ch);
    return text;
  }

  test::CapturedDevice captured;
  CharacterLcdEmulator emulator{&captured.Device(), 20, 2};
  std::FILE* messages = std::tmpfile();
};

TEST_F(Emulator, ConstructionSendsNothingAndCursorStartsAtHome) {
  Instruction(0x80);
  emulator.Flush();
  EXPECT_TRUE(Packets().empty());
  Text("A");  // goes to address 0
  emulator.Flush();
  EXPECT_EQ(Packets(), Lines{"02 01 41 00 00 00 00 00"});
}

TEST_F(Emulator, GeometryOutOfRangeFallsBackTo20By2) {
  CharacterLcdEmulator small(&captured.Device(), 7, 3);
  EXPECT_EQ(small.Columns(), 20);
  EXPECT_EQ(small.Lines(), 2);
  CharacterLcdEmulator edge(&captured.Device(), 40, 1);
  EXPECT_EQ(edge.Columns(), 40);
  EXPECT_EQ(edge.Lines(), 1);
  CharacterLcdEmulator low(&captured.Device(), 8, 0);
  EXPECT_EQ(low.Columns(), 8);
  EXPECT_EQ(low.Lines(), 2);
}

// Text batching.
TEST_F(Emulator, FiveCharactersWaitForFlush) {
  Text("HELLO");
  EXPECT_TRUE(Packets().empty());
  emulator.Flush();
  EXPECT_EQ(Packets(), Lines{"02 05 48 45 4c 4c 4f 00"});
  emulator.Flush();
  EXPECT_TRUE(Packets().empty());
}

TEST_F(Emulator, SixthCharacterSendsTheRunAtOnce) {
  Text("ABCDEF");
  EXPECT_EQ(Packets(), Lines{"02 06 41 42 43 44 45 46"});
  Text("G");
  emulator.Flush();
  EXPECT_EQ(Packets(), Lines{"02 01 47 00 00 00 00 00"});
}

TEST_F(Emulator, SingleCharacterAtColumnFive) {
  Instruction(0x85);
  EXPECT_EQ(Packets(), Lines{"03 1e 00 00 00 00 00 00"});
  Text("Z");
  emulator.Flush();
  EXPECT_EQ(Packets(), Lines{"02 01 5a 00 00 00 00 00"});
}

TEST_F(Emulator, MovingToLineOneFlushesTheRestOfLineZeroFirst) {
  Instruction(0x80);
  Text("abcdefghijklmnopqrst");
  EXPECT_EQ(Packets(), (Lines{"02 06 61 62 63 64 65 66", "02 06 67 68 69 6a 6b 6c",
                              "02 06 6d 6e 6f 70 71 72"}));
  Instruction(0xC0);
  EXPECT_EQ(Packets(), (Lines{"02 02 73 74 00 00 00 00", "03 00 01 00 00 00 00 00"}));
}

TEST_F(Emulator, AddressWhereTheCursorStandsSendsNoMoveButFlushes) {
  Text("ab");
  Instruction(0x82);  // the cursor will stand at column 2 after "ab"
  EXPECT_EQ(Packets(), Lines{"02 02 61 62 00 00 00 00"});
}

TEST_F(Emulator, PixelPositionOfFarColumnsWrapsAtOneByte) {
  Instruction(0x94);  // column 20
  Instruction(0xAB);  // column 43: 258 pixels, 2 in one byte
  EXPECT_EQ(Packets(), (Lines{"03 78 00 00 00 00 00 00", "03 02 00 00 00 00 00 00"}));
}

TEST_F(Emulator, RunNeverReachesBackAcrossTheStartOfALine) {
  Instruction(0xBE);
  Text("xyz");  // 0x3E, 0x3F, then the address counts on into line 1 at 0x40
  emulator.Flush();
  Lines packets = Packets();
  ASSERT_EQ(packets.size(), 2u);
  EXPECT_EQ(packets[1], "02 01 7a 00 00 00 00 00");
}

TEST_F(Emulator, AddressWrapsFrom7FTo00) {
  Instruction(0xFF);
  Packets();
  Text("pq");  // 0x7F then 0x00
  emulator.Flush();
  EXPECT_EQ(Packets(), Lines{"02 01 71 00 00 00 00 00"});
}

TEST_F(Emulator, CursorColumnTracksWrittenCharactersAcrossRuns) {
  Text("1234567");  // column 7 after these
  emulator.Flush();
  Packets();
  Instruction(0x87);  // already there: no move
  Instruction(0x88);
  EXPECT_EQ(Packets(), Lines{"03 30 00 00 00 00 00 00"});
}

// Custom characters.
TEST_F(Emulator, EightRowsSendAGlyphInColumns) {
  Instruction(0x40);
  for (int row : {0x1F, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1F, 0x00}) Data(row);
  EXPECT_EQ(Packets(), Lines{"04 00 7f 41 41 41 7f 00"});
}

TEST_F(Emulator, GlyphColumnsTakeBitFourAsLeftmostAndIgnoreHighBits) {
  Instruction(0x48);  // code 1
  for (int row : {0xF0, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE4}) Data(row);
  // Row 0 lights column 0 (bit 4); row 1 column 4 (bit 0); row 7 column 2.
  EXPECT_EQ(Packets(), Lines{"04 01 01 00 80 00 02 00"});
}

TEST_F(Emulator, SixtyFourRowsDefineAllEightThenWrapToCodeZero) {
  Instruction(0x40);
  for (int code = 0; code < 8; ++code) {
    for (int row = 0; row < 8; ++row) Data(row == 0 ? static_cast<std::uint8_t>(0x10 >> (code % 5)) : 0);
  }
  Lines packets = Packets();
  ASSERT_EQ(packets.size(), 8u);
  for (int code = 0; code < 8; ++code) {
    EXPECT_EQ(packets[static_cast<std::size_t>(code)].substr(0, 5),
              std::string("04 0") + static_cast<char>('0' + code));
  }
  EXPECT_EQ(packets[0], "04 00 01 00 00 00 00 00");
  EXPECT_EQ(packets[4], "04 04 00 00 00 00 01 00");
  Data(0x1F);  // address wrapped to 0: a pending row of code 0
  emulator.Flush();
  EXPECT_EQ(Packets(), Lines{"04 00 01 01 01 01 01 00"});
}

TEST_F(Emulator, PartialGlyphIsSentOnPauseAndAgainWhenComplete) {
  Instruction(0x50);  // code 2
  Data(0x1F);
  Data(0x1F);
  emulator.Flush();
  EXPECT_EQ(Packets(), Lines{"04 02 03 03 03 03 03 00"});
  for (int row = 0; row < 6; ++row) Data(0x10);
  EXPECT_TRUE(Packets().empty());  // six rows since the last glyph flush
  emulator.Flush();
  EXPECT_EQ(Packets(), Lines{"04 02 ff 03 03 03 03 00"});
}

TEST_F(Emulator, CgramModeSurvivesClearAndHomeUntilSetDdramAddress) {
  Instruction(0x40);
  Instruction(0x01);
  Instruction(0x02);
  EXPECT_EQ(Packets(), (Lines{"01 02 00 00 00 00 00 00", "03 00 00 00 00 00 00 00"}));
  for (int row = 0; row < 8; ++row) Data(0x1F);
  EXPECT_EQ(Packets(), Lines{"04 00 ff ff ff ff ff 00"});
  Instruction(0x80);
  Text("A");
  emulator.Flush();
  EXPECT_EQ(Packets(), Lines{"02 01 41 00 00 00 00 00"});
}

TEST_F(Emulator, SetDdramAddressFlushesPendingGlyphRows) {
  Instruction(0x40);
  Data(0x1F);
  Instruction(0x80);
  EXPECT_EQ(Packets(), Lines{"04 00 01 01 01 01 01 00"});
}

TEST_F(Emulator, CgramWritesLeaveTheTextCursorAlone) {
  Instruction(0x40);
  for (int row = 0; row < 8; ++row) Data(0x00);
  Packets();
  Instruction(0x80);  // the cursor is still at column 0
  EXPECT_TRUE(Packets().empty());
}

// Instructions.
TEST_F(Emulator, ReturnHomeFlushesAndAlwaysMovesTheCursor) {
  Instruction(0x02);
  Text("AB");
  Instruction(0x03);
  EXPECT_EQ(Packets(), (Lines{"03 00 00 00 00 00 00 00", "02 02 41 42 00 00 00 00",
                              "03 00 00 00 00 00 00 00"}));
  Text("C");  // written at address 2: home does not move the DDRAM address
  emulator.Flush();
  EXPECT_EQ(Packets(), Lines{"02 01 43 00 00 00 00 00"});
}

TEST_F(Emulator, ClearDisplayFlushesClearsAndKeepsAddressAndCursor) {
  Text("AB");
  Instruction(0x01);
  EXPECT_EQ(Packets(), (Lines{"02 02 41 42 00 00 00 00", "01 02 00 00 00 00 00 00"}));
  Instruction(0x82);  // tracked cursor still at column 2: no move
  EXPECT_TRUE(Packets().empty());
}

TEST_F(Emulator, FunctionSetDoesNothingAndDisplayControlOnlyFlushes) {
  Text("AB");
  Instruction(0x38);
  EXPECT_TRUE(Packets().empty());
  Instruction(0x0C);
  EXPECT_EQ(Packets(), Lines{"02 02 41 42 00 00 00 00"});
  Instruction(0x0F);
  EXPECT_TRUE(Packets().empty());
}

TEST_F(Emulator, UnsupportedInstructionsAreReported) {
  Instruction(0x1C);
  Instruction(0x10);
  Instruction(0x18);
  Instruction(0x14);
  Instruction(0x07);
  Instruction(0x06);  // increment without shift: silent
  Instruction(0x05);
  Instruction(0x00);
  EXPECT_EQ(Messages(),
            "TODO: screen shift right\n"
            "TODO: cursor shift left\n"
            "TODO: screen shift left\n"
            "TODO: cursor shift right\n"
            "TODO: unsupported entry mode\n"
            "TODO: unsupported entry mode\n"
            "TODO: unsupported command 00\n");
  EXPECT_TRUE(Packets().empty());
}

TEST_F(Emulator, HighBitsOfACommandAreIgnored) {
  emulator.Execute(0xFF41);  // register select set, junk above it
  emulator.Execute(0xFE0C);  // instruction 0x0C
  EXPECT_EQ(Packets(), Lines{"02 01 41 00 00 00 00 00"});
}

}  // namespace
}  // namespace lptlcd
