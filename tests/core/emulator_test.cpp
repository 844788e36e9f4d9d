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
  explicit Session(std::FILE* messages) { emulator.SetMessageStream(messages); }

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
  CharacterLcdEmulator emulator{&captured.Device(), 20, 2};
  lptlcd::sim::DisplayModel display;
  test::ChipOracle oracle;
};

class Emulator : public ::testing::Test {
 protected:
  ~Emulator() override { std::fclose(messages); }

  // Software's set-up first (8-bit bus, two lines, display on), as every
  // session has it; it sends nothing.
  Lines Run(const std::string& script) {
    Session session(messages);
    const Lines sent = session.Run("i38 i0c " + script);
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

const std::string kCells0To7Twice = "i80 d00 d01 d02 d03 d04 d05 d06 d07 d00 d01 d02 d03 d04 d05 d06 d07";

TEST_F(Emulator, TheDisplayShowsWhatTheChipShows) {
  const struct {
    const char* name;
    std::string script;
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
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Run(c.script);
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
      {"redefined in place: its cell painted again and the cursor put back",
       "g7:1111111111111111 i80 d07 'ab' | g7:0404040404040404 |",
       {"04 07 ff 00 00 00 ff 00", "02 03 07 61 62 00 00 00", "04 07 00 00 ff 00 00 00",
        "03 00 00 00 00 00 00 00", "02 01 07 00 00 00 00 00", "03 12 00 00 00 00 00 00"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Session session(messages);
    // The set-up first: the glass of a display left off shows nothing.
    EXPECT_EQ(session.Run("i38 i0c " + c.script), c.packets);
  }
}

TEST_F(Emulator, ABurstOfRedefinitionsCostsOneRepaint) {
  Session session(messages);
  session.Run("i38 i0c " + kCells0To7Twice + " | " + AnalyserFrame(0));
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

TEST_F(Emulator, UnsupportedInstructionsAreReported) {
  Session session(messages);
  session.Run("i1c i10 i18 i14 i07 i06 i05 i00");
  EXPECT_EQ(Messages(),
            "TODO: screen shift right\n"
            "TODO: cursor shift left\n"
            "TODO: screen shift left\n"
            "TODO: cursor shift right\n"
            "TODO: unsupported entry mode\n"
            "TODO: unsupported entry mode\n"
            "TODO: unsupported command 00\n");
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
  } cases[] = {{7, 3, 20, 2}, {40, 1, 40, 1}, {8, 0, 8, 2}, {41, 2, 20, 2}};
  for (const auto& c : cases) {
    CharacterLcdEmulator emulator(&captured.Device(), c.columns, c.lines);
    EXPECT_EQ(emulator.Columns(), c.wantColumns);
    EXPECT_EQ(emulator.Lines(), c.wantLines);
  }
}

}  // namespace
}  // namespace lptlcd
