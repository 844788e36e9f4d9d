// The emulator judged by what the display ends up showing: each session runs
// through the emulator into the display's model (which, like the display,
// draws a custom character when its cell is written) and, beside it, through
// an independent model of the HD44780; at every pause the display must show
// what the chip's glass shows. Exact packets are checked only where the
// packets themselves are the point.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "captured_device.h"
#include "emulator/character_lcd_emulator.h"
#include "tests/oracle/bus_script.h"
#include "tests/oracle/chip_oracle.h"

namespace lptlcd {
namespace {

using Lines = std::vector<std::string>;

// A session (tests/oracle/bus_script.h) through the emulator into the
// display's model, and beside it through the chip.
class Session {
 public:
  explicit Session(std::FILE* messages, ModuleSize module = kDefaultModule)
      : emulator(&captured.Device(), module.columns, module.lines), oracle(module) {
    emulator.SetMessageStream(messages);
    // The chip as software leaves it after its set-up, which is how lptlcd
    // finds a module it starts beside (and a chip whose display was never
    // turned on shows nothing); the set-up sends nothing.
    Write(false, 0x38);
    Write(false, 0x0C);
  }

  // Runs the script; returns the packets it sent and checks the screen
  // against the chip at every pause and at the end.
  Lines Run(const std::string& script) {
    Lines sent;
    const std::string bad = test::ForEachBusStep(
        script, [this](bool data, std::uint8_t byte) { Write(data, byte); }, [&] { Pause(sent); });
    EXPECT_EQ(bad, "") << "a step that cannot be read, in: " << script;
    Pause(sent);
    return sent;
  }

  const test::ChipOracle& Oracle() const { return oracle; }

 private:
  void Write(bool data, std::uint8_t byte) {
    oracle.Write(data, byte);
    emulator.Execute(static_cast<LcdCommand>((data ? kRegisterSelectData : 0) | byte));
  }

  void Pause(Lines& sent) {
    emulator.Flush();
    const std::vector<std::uint8_t> bytes = captured.TakeBytes();
    for (std::size_t at = 0; at + kPacketSize <= bytes.size(); at += kPacketSize) {
      display.ApplyPacket(&bytes[at]);
    }
    for (const std::string& line : FormatPackets(bytes)) sent.push_back(line);
    EXPECT_EQ(oracle.Judge(display), "");
  }

  test::CapturedDevice captured;
  CharacterLcdEmulator emulator;
  lptlcd::sim::DisplayModel display;
  test::ChipOracle oracle;
};

class Emulator : public ::testing::Test {
 protected:
  ~Emulator() override { std::fclose(messages); }

  // A session that lptlcd carries out all of.
  Lines Run(const std::string& script, ModuleSize module = kDefaultModule) {
    Session session(messages, module);
    const Lines sent = session.Run(script);
    EXPECT_EQ(session.Oracle().NotCarriedOut(), "") << "the session leaves what lptlcd carries out";
    return sent;
  }

  std::string Messages() {
    std::string text;
    std::rewind(messages);
    for (int ch; (ch = std::fgetc(messages)) != EOF;) text += static_cast<char>(ch);
    return text;
  }

  std::FILE* messages = std::tmpfile();
};

// The analyser's frame: cells 0-15 of line 0 show codes 0-7 twice, and the
// eight characters are redefined as bars of heights that change each frame.
std::string AnalyserFrame(int frame) {
  std::string script = "i40";
  for (int code = 0; code < 8; ++code) {
    const int height = (code * 3 + frame * 5) % 9;
    for (int row = 0; row < 8; ++row) script += row >= 8 - height ? " d1f" : " d00";
  }
  return script + " |";
}

std::string Repeat(const std::string& part, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += part;
  return all;
}

const std::string kCells0To7Twice = "i80 d00 d01 d02 d03 d04 d05 d06 d07 d00 d01 d02 d03 d04 d05 d06 d07";

TEST_F(Emulator, TheDisplayShowsWhatTheChipShows) {
  constexpr ModuleSize k16x1{16, 1}, k16x2{16, 2}, k16x4{16, 4}, k20x1{20, 1}, k20x4{20, 4},
      k24x2{24, 2}, k40x1{40, 1}, k40x2{40, 2}, k8x2{8, 2};
  const std::string k20 = "'ABCDEFGHIJKLMNOPQRST'";
  const std::string k40 = "'0123456789abcdefghijABCDEFGHIJKLMNOPQRST'";
  const std::string kFourBits = "i30 i30 i30 i20 4bit i28 i0c";
  const struct {
    const char* name;
    std::string script;
    ModuleSize module = kDefaultModule;
  } cases[] = {
      // Text and the address counter.
      {"text from the top left, sent on the pause", "'HELLO' |"},
      {"runs longer than six", "'ABCDEFGHIJKLM'"},
      {"one character at column 5", "i85 'Z'"},
      {"both lines", "i80 'abcdefghijklmnopqrst' ic0 'ABCDEFGHIJKLMNOPQRST'"},
      {"an address where the cursor already stands", "'ab' i82 'c'"},
      {"the cursor followed across runs and pauses", "'1234567' | i87 'x' i8a 'y' | i8c 'z'"},
      {"the 40th address of each line", "ia7 'z' ie7 'w' i80 'a'"},
      {"columns 21 to 40 out of sight, then back", "i80 '0123456789abcdefghijABCDEFGHIJKLMNOPQR' i83 'x'"},
      {"Function Set and Display On/Off change nothing shown", "'AB' i38 i0c i0c 'C'"},
      {"text written while the display is off", "i08 'hidden' | i0c"},
      {"instruction 00 does nothing", "'A' i00 'B'"},
      // Return Home and Clear Display.
      {"Return Home: text from the top left again", "'ABCDE' i02 'xy'"},
      {"Return Home with its ignored bit set", "ic4 'ABCDE' i03 'xy'"},
      {"Return Home from the last addresses", "ibe i02 'abc'"},
      {"Clear Display, then text with no address", "'stale text' | i01 'new'"},
      {"Clear Display after text at column 5, then column 7", "i85 'abc' i01 i87 'X'"},
      {"Clear Display after text at column 7, then column 7", "i87 'abc' i01 i87 'X'"},
      {"custom characters, Clear Display, text", "g0:1f11111111111f00 i01 'Hi' d00"},
      {"custom characters, Return Home, text", "g1:0001030707030100 i02 'Hi' d01"},
      {"CGRAM address, Clear Display at once, text", "i40 i01 'ok'"},
      // Custom characters.
      {"defined, then shown", "g1:f0010000000000e4 ic0 d01"},
      {"all eight from 64 rows; the CGRAM address wraps to 0",
       "i40 d01 d02 d04 d08 d10 d00 d00 d1f d02 d02 d02 d02 d02 d02 d02 d02 d03 d03 d03 d03 d03 d03 "
       "d03 d03 d04 d04 d04 d04 d04 d04 d04 d04 d05 d05 d05 d05 d05 d05 d05 d05 d06 d06 d06 d06 d06 "
       "d06 d06 d06 d07 d07 d07 d07 d07 d07 d07 d07 d08 d08 d08 d08 d08 d08 d08 d08 d1f i80 d00 d01 "
       "d02 d03 d04 d05 d06 d07"},
      {"a definition split by a pause", "i80 d02 i50 d1f d1f | d10 d10 d10 d10 d10 d10 i81 d02 |"},
      {"Set DDRAM Address ends a definition", "i40 d1f i80 d00 'x'"},
      {"rows from the middle of one character into the next", "i80 d00 d01 i46 d1f d1f d1f d1f |"},
      {"eight rows from the middle of a character", "i80 d02 d03 i54 d1f d1f d1f d1f d0a d0a d0a d0a"},
      {"a definition leaves the text cursor alone", "'ab' g0:0e0e0e0e0e0e0e0e i82 d00"},
      {"codes 8 to 15 show the custom characters too", "g0:1515151515151515 g7:0a0a0a0a0a0a0a0a i80 d08 d0f"},
      // Custom characters redefined while they show.
      {"a cell written before its character is defined",
       "i80 d00 d01 'ok' g0:1f11111111111f00 g1:0e0e0e0e0e0e0e0e i80 | ic0 'x'"},
      {"a heartbeat: character 7 redefined in place, frame after frame",
       "ic0 'beat' d07 g7:000a1f1f0e040000 i80 | g7:0000000a0e040000 i80 | g7:000a1f1f0e040000 |"},
      {"redefined while still in CGRAM, then the pause", "i80 d03 d03 'x' d03 g3:0102040810080402 |"},
      {"redefined, then its cell written over before the pause",
       "i80 d02 'y' d02 g2:1f1f1f1f1f1f1f1f i80 'A' |"},
      {"redefined with the shape it already has", "g5:1111111111111111 i80 d05 | g5:1111111111111111 |"},
      {"cells on both lines, one burst of definitions",
       "i80 d00 d01 ic4 d01 d00 g0:1010101010101010 g1:0101010101010101 i80 |"},
      {"a spectrum analyser: eight characters redefined each frame",
       kCells0To7Twice + " | " + AnalyserFrame(0) + " " + AnalyserFrame(1) + " " + AnalyserFrame(2)},
      // Every module's glass.
      {"20x4: lines 3 and 4 at 0x14 and 0x54",
       "i80 'line one' ic0 'line two' i94 'line three' id4 'line four'", k20x4},
      {"20x4: line 1 runs on into line 3, line 3 into line 2", "i80 " + k40 + " 'xyz'", k20x4},
      {"16x4: lines 3 and 4 at 0x10 and 0x50, columns 17-20 blank",
       "i80 'sixteen columns!' i90 'line three' id0 'line four' ic0 '0123456789abcdefXYZ'", k16x4},
      {"16x2: what lies past column 16 does not show", "i80 " + k20 + " ic0 " + k20 + " |", k16x2},
      {"40x2: each line folded onto two rows", "i80 " + k40 + " ic0 " + k40 + " i94 '*'", k40x2},
      {"16x1: the right half is the second line", "i80 'left hal' ic0 'right ha' i88 'hidden'", k16x1},
      {"16x1 in one-line mode: sixteen cells of one line", "i30 i80 '0123456789abcdefgh'", k16x1},
      {"20x1", "i80 " + k40 + " ic0 " + k40, k20x1},
      {"8x2", "i80 " + k20 + " ic0 " + k20, k8x2},
      {"24x2", "i80 " + k40 + " ic0 " + k40, k24x2},
      {"40x1", "i80 " + k40 + " ic0 " + k40, k40x1},
      // Cursor or Display Shift.
      {"a marquee: the display shifted left, one cell a pause",
       "'Hello, marquee world' | i18 | i18 | i18 i18 i18 |"},
      {"shifted right, past the start", "ic0 'right' i1c | i1c i1c |"},
      {"a whole line's worth of shifts comes round again", "'round' " + Repeat("i18 ", 39) + "| i18 |"},
      {"20x4: lines 1 and 3 move as one", "i80 " + k40 + " ic0 " + k40 + " i18 | i18 i1c i1c |", k20x4},
      {"40x2 shifted", "i80 " + k40 + " ic0 " + k40 + " i18 i18 |", k40x2},
      {"text written while shifted lands where the glass shows it", "i18 i18 i80 'abc' ic5 'x' |"},
      {"a cursor shift skips a cell", "'ab' i14 'c' i14 i14 'd'"},
      {"cursor shifts back over text", "'abcd' i10 i10 'X' | i10 i10 i10 'Y'"},
      {"Return Home undoes the shift", "'abc' i18 i18 | i02 'Z' |"},
      {"Clear Display undoes the shift", "'abc' i1c | i01 'Z' |"},
      // Entry Mode Set.
      {"right-aligned numbers counting down", "i04 i93 '4321' | id3 '98' |"},
      {"counting down past a line's start goes on at the other's end", "i04 ic2 'abcdef'"},
      {"counting down on a 40x2", "i04 ic2 'abcdef' i80 'xy'", k40x2},
      {"a ticker: each character shifts the display left", "i07 i94 'TICKER TAPE' |"},
      {"shifting right with each character, counting down", "i05 i8a 'abc' |"},
      {"counting up again after Clear Display", "i04 i85 'ab' i01 'cd'"},
      {"custom characters defined counting down", "i04 i47 d1f d11 d11 d11 d11 d11 d11 d1f i06 i80 d00"},
      // Display On/Off Control.
      {"Display Off hides everything while the software writes", "'shown' | i08 | 'more' ic0 'text' | i0c |"},
      {"Display On shows the glass as it is then, shifted", "'abc' i08 i18 'def' | i0c |"},
      {"Display Off with nothing shown, then on", "i08 i0c 'x'"},
      // The address counter runs on past a line's 40th address.
      {"past the 40th address of line 1 to line 2", "i80 " + k40 + " 'wrap'"},
      {"past the 40th address of line 2 to line 1", "ic0 " + k40 + " 'home'"},
      {"one-line mode: one line of 80 addresses", "i30 i80 " + k40 + k40 + " 'back'"},
      {"one-line mode shifted", "i30 'one line' i18 i18 | i1c |"},
      {"back to two lines", "i30 'one' | i38 ic0 'two' |"},
      // The 4-bit bus.
      {"4-bit: text and a custom character", kFourBits + " i01 'four bits' g2:0e1f1f1f0e000000 ic0 d02 |"},
      {"4-bit on a 20x4", kFourBits + " i94 'third line' id4 'fourth'", k20x4},
      {"4-bit: back to 8 bits from between two nibbles",
       kFourBits + " 'ab' 8bit d40 i30 i30 i30 i38 'cd'"},
      {"4-bit: back to 8 bits from a byte's start", kFourBits + " 'ab' 8bit i30 i30 i30 i38 'cd'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Run(c.script, c.module);
  }
}

// Kinds of the packets, a letter each: C control, T text, P position, G glyph.
std::string Kinds(const Lines& packets) {
  std::string kinds;
  for (const std::string& packet : packets) {
    const unsigned long command = std::stoul(packet.substr(0, 2), nullptr, 16);
    kinds += command >= 1 && command <= 4 ? "CTPG"[command - 1] : '?';
  }
  return kinds;
}

TEST_F(Emulator, PacketsWhereThePacketsAreThePoint) {
  const struct {
    const char* name;
    std::string script;
    Lines packets;
    ModuleSize module = kDefaultModule;
  } cases[] = {
      {"a run goes at its sixth character, the rest on the pause", "'ABCDEFG'",
       {"02 06 41 42 43 44 45 46", "02 01 47 00 00 00 00 00"}},
      {"right after construction the cursor stands top left", "i80 'A'", {"02 01 41 00 00 00 00 00"}},
      {"no move where the cursor stands; far columns wrap at one byte", "'ab' i82 i94 iab",
       {"02 02 61 62 00 00 00 00", "03 78 00 00 00 00 00 00", "03 02 00 00 00 00 00 00"}},
      {"a glyph's columns: bit 4 leftmost, bit 0 the top row, bits 5-7 ignored",
       "g1:f0010000000000e4", {"04 01 01 00 80 00 02 00"}},
      {"Clear Display: a clear, and the cursor said to stand top left", "'AB' i01",
       {"02 02 41 42 00 00 00 00", "01 02 00 00 00 00 00 00", "03 00 00 00 00 00 00 00"}},
      {"Return Home moves the cursor even when it stands there", "i02", {"03 00 00 00 00 00 00 00"}},
      {"a run never reaches back across the start of a line", "ibe 'xyz'",
       {"03 74 00 00 00 00 00 00", "02 01 7a 00 00 00 00 00"}},
      {"defined before use: no repaint", "g0:1f11111111111f00 i80 d00 'a' |",
       {"04 00 7f 41 41 41 7f 00", "02 02 00 61 00 00 00 00"}},
      {"redefined in place: its cell painted again; the cursor moves back only for text",
       "g7:1111111111111111 i80 d07 'ab' | g7:0404040404040404 | i83 'c'",
       {"04 07 ff 00 00 00 ff 00", "02 03 07 61 62 00 00 00", "04 07 00 00 ff 00 00 00",
        "03 00 00 00 00 00 00 00", "02 01 07 00 00 00 00 00", "03 12 00 00 00 00 00 00",
        "02 01 63 00 00 00 00 00"}},
      // Text at an address the chip lacks (0x7C) goes on where it was put
      // (x 104 on row 1), not where a repaint left the cursor; and the
      // repaint does not paint over it.
      {"a repaint between text at an address the chip lacks and more of it",
       "g0:1f11111111111f00 i80 d00 | g0:0102040810010204 ifc | 'B' | g0:1f1f1f1f1f1f1f1f |",
       {"04 00 7f 41 41 41 7f 00", "02 01 00 00 00 00 00 00", "04 00 10 08 84 42 21 00",
        "03 68 01 00 00 00 00 00", "03 00 00 00 00 00 00 00", "02 01 00 00 00 00 00 00",
        "03 68 01 00 00 00 00 00", "02 01 42 00 00 00 00 00", "04 00 ff ff ff ff ff 00",
        "03 00 00 00 00 00 00 00", "02 01 00 00 00 00 00 00"}},
      {"Display Off with text shown: one clear", "'ab' | i08 'cd' |", {"02 02 61 62 00 00 00 00", "01 02 00 00 00 00 00 00"}},
      {"Display Off with nothing shown: nothing", "i08 'cd' |", {}},
      {"20x4: line 3 is addressed on row 3", "i94 'x'", {"03 00 02 00 00 00 00 00", "02 01 78 00 00 00 00 00"}, {20, 4}},
      {"16x2: text past the 16th column is not sent", "i8f 'abc'", {"03 5a 00 00 00 00 00 00", "02 01 61 00 00 00 00 00"}, {16, 2}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Session session(messages, c.module);
    EXPECT_EQ(session.Run(c.script), c.packets);
  }
}

TEST_F(Emulator, ABurstOfRedefinitionsCostsOneRepaint) {
  Session session(messages);
  session.Run(kCells0To7Twice + " | " + AnalyserFrame(0));
  // Eight definitions, then the sixteen cells in one span: a position and
  // three runs, which leave the cursor where it stood.
  EXPECT_EQ(Kinds(session.Run(AnalyserFrame(1))), "GGGGGGGGPTTT");
  // Defined one character at a time, each with its own address: the same.
  std::string oneByOne;
  for (int code = 0; code < 8; ++code) {
    oneByOne += "g" + std::to_string(code) + ":" + (code % 2 ? "0a" : "15") + "0a0a0a0a0a0a0a ";
  }
  EXPECT_EQ(Kinds(session.Run(oneByOne + "|")), "GGGGGGGGPTTT");
}

TEST_F(Emulator, TheFourBitBusSendsWhatTheEightBitBusSends) {
  const std::string session =
      "i01 'Hello' g1:0e1f1f1f0e000000 ic0 d01 'x' | i18 | i04 i93 '12' | i08 | i0c i07 'ab' |";
  Session eight(messages);
  Session four(messages);
  const Lines sent = eight.Run("i30 i30 i30 i38 i0c " + session);
  EXPECT_EQ(four.Run("i30 i30 i30 i20 4bit i28 i0c " + session), sent);
  EXPECT_GT(sent.size(), 10u);
}

TEST_F(Emulator, WhatItSays) {
  const struct {
    const char* name;
    std::string script;
    ModuleSize module;
    std::string said;
  } cases[] = {
      {"shifts and entry modes are carried out: nothing said", "i1c i10 i18 i14 i07 i06 i05 i04", kDefaultModule, ""},
      {"00 is no instruction", "i00", kDefaultModule, "TODO: unsupported command 00\n"},
      {"00 on the 4-bit bus", "i30 i30 i30 i20 i00 i00", kDefaultModule, "TODO: unsupported command 00\n"},
      {"lines 3 and 4 of a 20x4 addressed: said once", "i94 'a' id4 i94", kDefaultModule, kTwentyByFourHint},
      {"addresses near them are not lines 3 and 4", "i95 id3 i14", kDefaultModule, ""},
      {"nothing to say with the 20x4 module", "i94 id4", ModuleSize{20, 4}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::fclose(messages);
    messages = std::tmpfile();
    Session session(messages, c.module);
    session.Run(c.script);
    EXPECT_EQ(Messages(), c.said);
  }
}

TEST_F(Emulator, HighBitsOfACommandAreIgnored) {
  test::CapturedDevice captured;
  CharacterLcdEmulator emulator(&captured.Device(), 20, 2);
  emulator.Execute(0xFF41);  // register select set, junk above it
  emulator.Execute(0xFE0C);  // instruction 0x0C
  EXPECT_EQ(captured.TakePackets(), Lines{"02 01 41 00 00 00 00 00"});
}

TEST_F(Emulator, GeometryOutOfRangeFallsBackTo20By2) {
  test::CapturedDevice captured;
  const struct {
    std::uint8_t columns, lines, wantColumns, wantLines;
  } cases[] = {{7, 3, 20, 2}, {40, 1, 40, 1}, {8, 0, 8, 2}, {41, 2, 20, 2}, {20, 4, 20, 4}, {40, 4, 40, 2},
               {33, 2, 20, 2}};  // within 8-40 columns, but no module the command line knows
  for (const auto& c : cases) {
    CharacterLcdEmulator emulator(&captured.Device(), c.columns, c.lines);
    EXPECT_EQ(emulator.Columns(), c.wantColumns);
    EXPECT_EQ(emulator.Lines(), c.wantLines);
  }
}

}  // namespace
}  // namespace lptlcd
