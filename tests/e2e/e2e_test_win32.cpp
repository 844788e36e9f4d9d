// The whole system, end to end, as a user runs it: the virtual display
// (lcdsim), lptlcd.exe and a producer, as separate processes that meet only
// through the display's registration and pipe and the shared ring. What is
// checked is what the display shows: its text and its pixels, and the exact
// packets where the order matters.

#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "e2e_support.h"
#include "tests/oracle/bus_script.h"
#include "tests/oracle/chip_oracle.h"
#include "tools/lcdsim/font5x7.h"
#include "tools/producer/flood_pattern.h"

namespace lptlcd::test {
namespace {

// Checks the cell at (column, row) pixel by pixel against the font.
void ExpectCellShowsCharacter(const std::vector<std::string>& pixels, int column, int row, char ch) {
  const lptlcd::sim::FontColumns& font = lptlcd::sim::FontCharacter(static_cast<std::uint8_t>(ch));
  for (int x = 0; x < 6; ++x) {
    for (int y = 0; y < 8; ++y) {
      const bool lit = x < 5 && y < 7 && (font[static_cast<std::size_t>(x)] >> y & 1);
      ASSERT_EQ(pixels[static_cast<std::size_t>(row * 8 + y)][static_cast<std::size_t>(column * 6 + x)],
                lit ? '1' : '0')
          << "cell " << column << "," << row << " ('" << ch << "') pixel " << x << "," << y;
    }
  }
}

// Checks a custom character's cell against the CGRAM rows that defined it:
// row i, bit 4 - x is the pixel at (x, i).
void ExpectCellShowsRows(const std::vector<std::string>& pixels, int column, int row,
                         const std::array<int, 8>& rows) {
  for (int x = 0; x < 6; ++x) {
    for (int y = 0; y < 8; ++y) {
      const bool lit = x < 5 && (rows[static_cast<std::size_t>(y)] >> (4 - x) & 1);
      ASSERT_EQ(pixels[static_cast<std::size_t>(row * 8 + y)][static_cast<std::size_t>(column * 6 + x)],
                lit ? '1' : '0')
          << "cell " << column << "," << row << " pixel " << x << "," << y;
    }
  }
}

void ExpectLinesShown(const std::vector<std::string>& pixels, const std::string& line0,
                      const std::string& line1) {
  ASSERT_EQ(pixels.size(), 32u);
  for (int row = 0; row < 4; ++row) {
    const std::string text = row == 0 ? line0 : row == 1 ? line1 : "";
    for (int column = 0; column < 20; ++column) {
      const char ch = column < static_cast<int>(text.size()) ? text[static_cast<std::size_t>(column)] : ' ';
      ExpectCellShowsCharacter(pixels, column, row, ch);
    }
  }
}

TEST(EndToEnd, TwoLinesOfTextAreShownOnTheScreen) {
  Simulator sim("text");
  Program program;
  StartDisplayAndProgram(sim, program);

  const ChildResult feed = Feed("--text \"Hello, world\" \"lptlcd e2e 2 lines\"");
  ASSERT_EQ(feed.exitCode, 0u) << feed.out << feed.err;
  ASSERT_TRUE(sim.WaitForText(Screen("Hello, world", "lptlcd e2e 2 lines"))) << sim.Text();
  ASSERT_TRUE(WaitFor([&] { return sim.Pixels().size() == 32; }, kGenerousMs));
  ExpectLinesShown(sim.Pixels(), "Hello, world", "lptlcd e2e 2 lines");
}

TEST(EndToEnd, PacedRecordStreamGivesTheSamePacketsAsLcdreplay) {
  const std::string records = std::string(E2E_DATA_DIR) + "/paced.records";
  const ChildResult replay = RunChild(Quoted(LCDREPLAY_EXE) + " " + Quoted(records));
  ASSERT_EQ(replay.exitCode, 0u) << replay.err;
  const std::vector<std::string> expected = SplitLines(replay.out);
  ASSERT_GE(expected.size(), 6u);

  Simulator sim("paced");
  Program program;
  StartDisplayAndProgram(sim, program);
  const ChildResult feed = Feed("--records " + Quoted(records) + " --wait-drained");
  ASSERT_EQ(feed.exitCode, 0u) << feed.out << feed.err;
  ASSERT_TRUE(sim.WaitForPacketCount(2 + expected.size()));
  // A moment for anything that should not be there to arrive too.
  ::Sleep(200);
  std::vector<std::string> packets = sim.Packets();
  packets.erase(packets.begin(), packets.begin() + 2);
  EXPECT_EQ(packets, expected);
  EXPECT_TRUE(sim.WaitForText(Screen("", "                   z"))) << sim.Text();
}

// Sessions that real LCD software sends, each correct on a real module: the
// display must end each part showing, pixel for pixel, what an HD44780's
// glass shows for the same bytes (the display's font standing in for the
// chip's character ROM), on the module lptlcd was started for. A part is
// written as tests/oracle/bus_script.h says.
struct Part {
  const char* name;
  std::string writes;
};

// The screen as judged: on the 20x2 module the two pixels of a 21st column
// show what lies just past line 1 and 2, as they always have; the glass has
// no such column.
std::vector<std::string> Judged(std::vector<std::string> pixels, ModuleSize module) {
  if (module != kDefaultModule) return pixels;
  for (std::string& row : pixels) {
    if (row.size() > 120) row.replace(120, std::string::npos, row.size() - 120, '.');
  }
  return pixels;
}

void ExpectTheChipsGlass(const char* simName, ModuleSize module, const std::vector<Part>& parts) {
  Simulator sim(simName);
  Program program;
  char size[16];
  std::snprintf(size, sizeof size, "--module %dx%d", module.columns, module.lines);
  StartDisplayAndProgram(sim, program, module == kDefaultModule ? "" : size);
  ChipOracle chip(module);
  int number = 0;
  for (const Part& part : parts) {
    SCOPED_TRACE(part.name);
    std::string script;
    const std::string bad = ForEachBusStep(
        part.writes,
        [&](bool data, std::uint8_t byte) {
          chip.Write(data, byte);
          char line[16];
          std::snprintf(line, sizeof line, "%s %02x\n", data ? "data" : "instr", byte);
          script += line;
        },
        [] { ADD_FAILURE() << "a part is fed whole, without pauses"; });
    ASSERT_EQ(bad, "");
    ASSERT_EQ(chip.NotCarriedOut(), "");
    FeedPart(sim, std::string(simName) + "_part" + std::to_string(++number), script);
    EXPECT_EQ(Judged(SettledPixels(sim), module), Judged(chip.GlassPixels(), module)) << "the display:\n"
                                                      << sim.Text() << "the chip:\n"
                                                      << chip.GlassText();
  }
}

const char kForty[] = "'0123456789abcdefghijABCDEFGHIJKLMNOPQRST'";

TEST(EndToEnd, TheDisplayShowsWhatTheChipShows) {
  const std::string bars[2] = {"d00 d00 d00 d00 d00 d1f d1f d1f", "d00 d00 d1f d1f d1f d1f d1f d1f"};
  ExpectTheChipsGlass(
      "chip", kDefaultModule,
      {{"set-up, custom characters, Clear Display, text with no address",
        "i38 i38 i38 i0c i06 i01 i40 d1f d11 d11 d11 d11 d11 d1f d00 d04 d0e d1f d0e d04 d00 d00 d00 "
        "i01 'Hi' d00 d01"},
       {"text at column 5, Clear Display, a character at column 7", "i85 'abc' i01 i87 'X'"},
       {"Set DDRAM Address 3E, Return Home, text", "ibe i02 'abc'"},
       {"cells written before their character is defined", "ic0 'beat' d07 d06 i78 d00 d0a d1f d1f d0e d04 d00 d00 i80"},
       {"the heartbeat redefined in place", "i78 d00 d00 d0a d0e d04 d00 d00 d00 i80"},
       {"a character redefined twice in one burst, in CGRAM at the pause",
        "i70 d1f d1f d1f d1f d1f d1f d1f d1f i70 d01 d02 d04 d08 d10 d08 d04 d02"},
       {"an analyser: sixteen cells, frame one",
        "i01 i80 d00 d01 d02 d03 d04 d05 d06 d07 d00 d01 d02 d03 d04 d05 d06 d07 i40 " + bars[0] + " " +
            bars[1] + " " + bars[0] + " " + bars[1] + " " + bars[0] + " " + bars[1] + " " + bars[0] +
            " " + bars[1] + " i80"},
       {"an analyser: frame two", "i40 " + bars[1] + " " + bars[1] + " " + bars[0] + " " + bars[0] +
                                      " " + bars[1] + " " + bars[0] + " " + bars[1] + " " + bars[1] + " i80"},
       {"a marquee: the display shifted left", "i01 'Hello, marquee' ic0 'second line' i18 i18 i18"},
       {"and shifted right past the start", "i1c i1c i1c i1c i1c"},
       {"Return Home undoes the shift; a cell skipped with a cursor shift", "i02 'ab' i14 'c'"},
       {"right-aligned numbers, counting down", "i01 i04 i93 '4321' id3 '987' i06"},
       {"a ticker: the display shifts with each character", "i01 i07 i90 'TICKER' i06"},
       {"Display Off: nothing shows while the software writes", "i01 'shown' i08 ic0 'written dark'"},
       {"Display On: the glass as it then is", "i0c"},
       {"text runs on past the 40th address into line 2", std::string("i01 i80 ") + kForty + " 'wrap'"},
       {"one-line mode: the second line shows nothing", "i30 i01 'one line of 80' i18"},
       {"two lines again", "i38 i02 ic0 'two'"},
       {"a 4-bit bus: its initialisation, text and a custom character",
        "i30 i30 i30 i20 4bit i28 i01 'four bits' g2:0e1f1f1f0e000000 ic0 d02 'x'"},
       {"back to 8 bits by the module's own initialisation", "8bit i30 i30 i30 i38 i80 'eight'"}});
}

TEST(EndToEnd, EveryModuleShowsWhatItsGlassShows) {
  ExpectTheChipsGlass("chip20x4", ModuleSize{20, 4},
                      {{"four lines", "i38 i0c i06 i01 i80 'line one' ic0 'line two' i94 'line three' id4 'line four'"},
                       {"lines 1 and 3 shift together", "i18 i18"},
                       {"line 1 runs on into line 3", std::string("i01 i80 ") + kForty}});
  ExpectTheChipsGlass("chip40x2", ModuleSize{40, 2},
                      {{"each line folded onto two rows",
                        std::string("i38 i0c i06 i01 i80 ") + kForty + " ic0 " + kForty + " i18"}});
  ExpectTheChipsGlass("chip16x1", ModuleSize{16, 1},
                      {{"its right half is the second line", "i38 i0c i06 i01 i80 'left hal' ic0 'right ha'"},
                       {"one-line mode: sixteen cells of one line", "i30 i80 '0123456789abcdef'"}});
}

TEST(EndToEnd, WhatAProducerQueuedBeforeTheProgramStartedIsDrained) {
  Simulator sim("early");
  ASSERT_TRUE(sim.Start()) << sim.Output();
  ASSERT_EQ(PendingInRing(), -1) << "a process of an earlier test still holds the ring";

  ChildProcess feed;
  ASSERT_TRUE(feed.Start(Quoted(LCDFEED_EXE) + " --text \"queued early\" \"then drained\" --wait-drained --give-up 60000"));
  ASSERT_TRUE(WaitFor([] { return PendingInRing() > 0; }, kGenerousMs));

  Program program;
  ASSERT_TRUE(program.Start());
  ASSERT_TRUE(sim.WaitForText(Screen("queued early", "then drained"))) << sim.Text();
  EXPECT_EQ(feed.WaitForExit(kGenerousMs), 0) << feed.Output() << feed.Errors();
}

// Old LCD software, unmodified, loading the drop-in DLL by name.
std::string LegacyApp(const std::string& arguments) {
  return Quoted(LEGACY_APP_EXE) + " " + arguments;
}

const std::array<int, 8> kHeart = {0x00, 0x0A, 0x1F, 0x1F, 0x0E, 0x04, 0x00, 0x00};

TEST(EndToEnd, OldSoftwareThroughTheDropInDllDrivesTheDisplay) {
  for (const char* dll : {"inpout32.dll", "inpoutx64.dll", "dlportio.dll"}) {
    SCOPED_TRACE(dll);
    Simulator sim(std::string("legacy_") + std::string(dll).substr(0, std::string(dll).find('.')));
    Program program;
    StartDisplayAndProgram(sim, program);
    const std::string api = std::string(dll) == "dlportio.dll" ? " --api dlport" : "";
    const ChildResult app = RunChild(LegacyApp("--dll " + std::string(dll) + api +
                                               " --line0 \"Old LCD software\" --line1 \"via port DLL\" "
                                               "--char 2 00,0a,1f,1f,0e,04,00,00 --char-at 1 19"));
    ASSERT_EQ(app.exitCode, 0u) << app.out << app.err;
    ASSERT_TRUE(sim.WaitForText(Screen("Old LCD software", "via port DLL       *")))
        << sim.Text() << sim.Packets().size() << " packets; lptlcd said: " << program.Output()
        << "; the software said: " << app.out << app.err << "; ring pending: " << PendingInRing() << "; packets:\n" << [&] {
             std::string all;
             for (const std::string& packet : sim.Packets()) all += packet + "\n";
             return all;
           }() << "lcdsim said: " << sim.Output();
    ASSERT_TRUE(WaitFor([&] { return sim.Pixels().size() == 32; }, kGenerousMs));
    const std::vector<std::string> pixels = sim.Pixels();
    ExpectCellShowsCharacter(pixels, 0, 0, 'O');
    ExpectCellShowsCharacter(pixels, 11, 1, 'L');
    ExpectCellShowsRows(pixels, 19, 1, kHeart);
  }
}

// Software that reads the module's busy flag before every byte, on both bus
// widths: each wait ends at the first status read (it used to read the last
// address written, 0x80 or more, as "busy" for ever), and the read cycles
// write nothing (they used to execute the stale data byte as an instruction).
TEST(EndToEnd, OldSoftwarePollingTheBusyFlagGoesOnAtOnceAndShowsExactly) {
  const std::string line0 = "Busy flag polled";
  const std::string line1 = "before each byte";
  for (const char* bus : {"8", "4"}) {
    SCOPED_TRACE(std::string(bus) + "-bit bus");
    Simulator sim(std::string("busy_poll_") + bus);
    Program program;
    StartDisplayAndProgram(sim, program);
    const ChildResult app = RunChild(LegacyApp(std::string("--bus ") + bus + " --poll-busy --line0 \"" + line0 +
                                               "\" --line1 \"" + line1 +
                                               "\" --char 2 00,0a,1f,1f,0e,04,00,00 --char-at 1 19"));
    ASSERT_EQ(app.exitCode, 0u) << app.out << app.err;
    // The set-up (three Function Sets on the 8-bit bus, one after the 4-bit
    // bus's nibbles; display on, entry mode, clear), the character's address
    // and rows, each line's address and text, the character's cell.
    const std::size_t bytes = (bus[0] == '8' ? 6 : 4) + 9 + 1 + line0.size() + 1 + line1.size() + 2;
    EXPECT_NE(app.out.find(" " + std::to_string(bytes) + " status reads for " + std::to_string(bytes) + " bytes"),
              std::string::npos)
        << app.out;
    ASSERT_TRUE(sim.WaitForText(Screen(line0, line1 + std::string(19 - line1.size(), ' ') + "*")))
        << sim.Text() << "lptlcd said: " << program.Output();
    ASSERT_TRUE(WaitFor([&] { return sim.Pixels().size() == 32; }, kGenerousMs));
    const std::vector<std::string> pixels = sim.Pixels();
    ExpectCellShowsCharacter(pixels, 0, 0, 'B');
    ExpectCellShowsCharacter(pixels, 15, 1, 'e');
    ExpectCellShowsRows(pixels, 19, 1, kHeart);
    EXPECT_EQ(program.Output().find("TODO"), std::string::npos) << program.Output();
  }
}

TEST(EndToEnd, DllUsedBeforeTheProgramStartsLosesNothing) {
  Simulator sim("legacy_early");
  ASSERT_TRUE(sim.Start()) << sim.Output();
  ASSERT_EQ(PendingInRing(), -1) << "a process of an earlier test still holds the ring";

  // The software starts first and keeps running, as it would; the DLL creates
  // the shared objects and its writes wait in the ring.
  ChildProcess app;
  ASSERT_TRUE(app.Start(LegacyApp("--line0 \"written before\" --line1 \"lptlcd ran\" --hold 60000")));
  ASSERT_TRUE(app.WaitForOutput("port writes through inpout32.dll", kGenerousMs)) << app.Output();
  ASSERT_GT(PendingInRing(), 0);

  Program program;
  ASSERT_TRUE(program.Start());
  ASSERT_TRUE(sim.WaitForText(Screen("written before", "lptlcd ran         *"))) << sim.Text();
  app.Terminate();
}

}  // namespace
}  // namespace lptlcd::test
