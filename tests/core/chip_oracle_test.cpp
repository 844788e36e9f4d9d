// The tests' model of the HD44780, checked where a fault in it would hide a
// fault of the emulator: which DDRAM address each module's glass shows
// (against the address table of the chip's datasheet), how lptlcd lays the
// glass on the display, the 4-bit bus and its initialisation, and what the
// model declines to judge.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "tests/oracle/bus_script.h"
#include "tests/oracle/chip_oracle.h"

namespace lptlcd::test {
namespace {

constexpr int kNone = -1;  // a cell that shows nothing
const std::string kTwoLines = "i38 i0c ";
const std::string kOneLine = "i30 i0c ";

void Feed(ChipOracle& oracle, const std::string& script) {
  const std::string bad = ForEachBusStep(
      script, [&](bool data, std::uint8_t bus) { oracle.Write(data, bus); }, [] {});
  ASSERT_EQ(bad, "") << script;
}

int AsInt(std::optional<std::uint8_t> address) { return address ? *address : kNone; }

std::string Repeat(const std::string& step, int times) {
  std::string script;
  for (int i = 0; i < times; ++i) script += step + " ";
  return script;
}

TEST(ChipOracle, EachModulesGlassShowsTheAddressesOfTheDatasheet) {
  const struct {
    ModuleSize module;
    std::string script;
    int column;  // from 0
    int line;    // from 1, as the datasheet counts
    int address;
  } cases[] = {
      // Two-line mode, no shift.
      {{20, 2}, kTwoLines, 19, 1, 0x13},
      {{20, 2}, kTwoLines, 0, 2, 0x40},
      {{16, 2}, kTwoLines, 15, 2, 0x4F},
      {{8, 2}, kTwoLines, 7, 2, 0x47},
      {{24, 2}, kTwoLines, 23, 1, 0x17},
      {{40, 2}, kTwoLines, 39, 2, 0x67},
      {{16, 4}, kTwoLines, 0, 3, 0x10},
      {{16, 4}, kTwoLines, 0, 4, 0x50},
      {{16, 4}, kTwoLines, 15, 4, 0x5F},
      {{20, 4}, kTwoLines, 0, 3, 0x14},
      {{20, 4}, kTwoLines, 19, 3, 0x27},
      {{20, 4}, kTwoLines, 0, 4, 0x54},
      {{16, 1}, kTwoLines, 7, 1, 0x07},
      {{16, 1}, kTwoLines, 8, 1, 0x40},
      {{16, 1}, kTwoLines, 15, 1, 0x47},
      {{20, 1}, kTwoLines, 19, 1, 0x13},
      // Cells the module lacks.
      {{20, 2}, kTwoLines, 20, 1, kNone},
      {{20, 2}, kTwoLines, 0, 3, kNone},
      {{16, 1}, kTwoLines, 0, 2, kNone},
      // One-line mode: one line of 80; the second controller line dark.
      {{40, 1}, kOneLine, 39, 1, 0x27},
      {{16, 1}, kOneLine, 8, 1, 0x08},
      {{16, 1}, kOneLine, 15, 1, 0x0F},
      {{20, 2}, kOneLine, 0, 2, kNone},
      {{20, 4}, kOneLine, 0, 3, 0x14},
      {{20, 4}, kOneLine, 0, 4, kNone},
      // Display shifts: rings of 40 (lines 1 and 3 as one), or of 80.
      {{20, 4}, kTwoLines + "i18", 19, 1, 0x14},
      {{20, 4}, kTwoLines + "i18", 19, 3, 0x00},
      {{20, 4}, kTwoLines + "i18", 19, 4, 0x40},
      {{20, 2}, kTwoLines + "i1c", 0, 2, 0x67},
      {{16, 1}, kTwoLines + "i18", 15, 1, 0x48},
      {{20, 2}, kTwoLines + Repeat("i18", 41), 0, 1, 0x01},
      {{20, 1}, kOneLine + Repeat("i18", 41), 0, 1, 0x29},
      {{20, 1}, kOneLine + "i1c", 0, 1, 0x4F},
      {{40, 1}, kOneLine + "i18", 39, 1, 0x28},
      // What undoes a shift, and what shifts on each write.
      {{20, 2}, kTwoLines + "i18 i18 i02", 0, 1, 0x00},
      {{20, 2}, kTwoLines + "i18 i01", 0, 1, 0x00},
      {{20, 2}, kTwoLines + "i14 i10 i14", 0, 1, 0x00},  // cursor moves leave it alone
      {{20, 2}, kTwoLines + "i07 'ab'", 0, 1, 0x02},
      {{20, 2}, kTwoLines + "i05 'a'", 0, 1, 0x27},
      {{20, 2}, kTwoLines + "i07 i40 d01 d02", 0, 1, 0x00},  // CGRAM writes do not shift
      // Display off: nothing at all.
      {{20, 4}, "i38 i08", 0, 3, kNone},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.module.columns) + "x" + std::to_string(c.module.lines) + " after " +
                 c.script + ", line " + std::to_string(c.line) + " column " + std::to_string(c.column));
    ChipOracle oracle(c.module);
    Feed(oracle, c.script);
    EXPECT_EQ(AsInt(oracle.Chip().ShownAddress(c.module, c.column, c.line - 1)), c.address);
  }
}

TEST(ChipOracle, TheAddressCounterCountsAsTheDatasheetSays) {
  const struct {
    std::string script;
    int address;
  } cases[] = {
      {"i38 ia7 'x'", 0x40},      // line 1 runs on into line 2
      {"i38 ie7 'x'", 0x00},      // and line 2 back into line 1
      {"i38 i04 i80 'x'", 0x67},  // counting down, the reverse
      {"i38 i04 ic0 'x'", 0x27},
      {"i38 i10", 0x67},  // the cursor moves the same way
      {"i38 i94 i14", 0x15},
      {"i30 icf 'x'", 0x00},  // one line: 0x4F, then 0x00
      {"i30 i04 i80 'x'", 0x4F},
      {"i38 i04 i85 i01 'x'", 0x01},  // Clear Display counts up again
      {"i38 i85 i03", 0x00},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script);
    ChipOracle oracle;
    Feed(oracle, c.script);
    EXPECT_EQ(oracle.Chip().AddressCounter(), c.address);
  }
}

TEST(ChipOracle, TheGlassIsLaidOnTheDisplayByColumnsAndLines) {
  const struct {
    ModuleSize module;
    int column;  // display cell, from 0
    int row;     // display text row, from 1
    int address;
  } cases[] = {
      {kDefaultModule, 19, 2, 0x53},
      {kDefaultModule, 0, 3, kNone},
      {{16, 2}, 16, 1, kNone},
      {{8, 1}, 7, 1, 0x07},
      {{8, 1}, 8, 1, kNone},
      {{16, 1}, 8, 1, 0x40},
      {{20, 4}, 0, 3, 0x14},
      {{20, 4}, 19, 4, 0x67},
      // Wider than 20: each line folded onto two rows.
      {{40, 2}, 0, 2, 0x14},
      {{40, 2}, 19, 2, 0x27},
      {{40, 2}, 0, 3, 0x40},
      {{40, 2}, 19, 4, 0x67},
      {{24, 2}, 3, 2, 0x17},
      {{24, 2}, 4, 2, kNone},
      {{24, 2}, 3, 4, 0x57},
      {{40, 1}, 0, 2, 0x14},
      {{40, 1}, 0, 3, kNone},
      // The partial 21st column is no cell of the glass.
      {{40, 2}, 20, 1, kNone},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.module.columns) + "x" + std::to_string(c.module.lines) + ", row " +
                 std::to_string(c.row) + " column " + std::to_string(c.column));
    ChipOracle oracle(c.module);
    Feed(oracle, kTwoLines);
    EXPECT_EQ(AsInt(oracle.DisplayedAddress(c.column, c.row - 1)), c.address);
  }
}

TEST(ChipOracle, TheScriptSpellsEachByteAsTwoPulsesOnTheFourBitBus) {
  const struct {
    std::string script;
    std::string pulses;
  } cases[] = {
      {"i20 4bit i28 'A' | 8bit d41", "i20 i20 i80 d40 d10 | d41 "},
      {"4bit g1:0102030405060708", "i40 i80 d00 d10 d00 d20 d00 d30 d00 d40 d00 d50 d00 d60 d00 d70 d00 d80 "},
  };
  for (const auto& c : cases) {
    std::string pulses;
    const std::string bad = ForEachBusStep(
        c.script,
        [&](bool data, std::uint8_t bus) {
          char text[8];
          std::snprintf(text, sizeof text, "%c%02x ", data ? 'd' : 'i', bus);
          pulses += text;
        },
        [&] { pulses += "| "; });
    EXPECT_EQ(bad, "");
    EXPECT_EQ(pulses, c.pulses) << c.script;
  }
  // A step it cannot read is named, and none of it is written.
  int writes = 0;
  EXPECT_EQ(ForEachBusStep("4bits", [&](bool, std::uint8_t) { ++writes; }, [] {}), "4bits");
  EXPECT_EQ(ForEachBusStep("g1:01020304050607zz", [&](bool, std::uint8_t) { ++writes; }, [] {}),
            "g1:01020304050607zz");
  EXPECT_EQ(writes, 0);
}

TEST(ChipOracle, AFourBitSessionLeavesTheChipAsTheEightBitOneDoes) {
  const struct {
    const char* name;
    bool twoLines;
    std::string body;
  } cases[] = {
      {"text across a line's end", true, "i0c ia5 'abcdef' i80 'x'"},
      {"custom characters", true, "i0c g3:0102040810080402 i80 d03 g7:1f1f1f1f1f1f1f1f"},
      {"shifts and both entry modes", true, "i0c i07 'ab' i05 'c' i18 i14 i1c i10 i06 'd'"},
      {"Clear Display and Return Home", true, "i0c 'xyz' i01 'q' i18 i02 'r'"},
      {"one-line mode", false, "i0c ic8 'w' i18 i04 'vu'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string lines = c.twoLines ? "8" : "0";
    ChipOracle eight;
    ChipOracle four;
    Feed(eight, "i3" + lines + " " + c.body);
    Feed(four, "i30 i30 i30 i20 4bit i2" + lines + " " + c.body);
    const Hd44780Chip& want = eight.Chip();
    const Hd44780Chip& got = four.Chip();
    ASSERT_FALSE(got.EightBitBus());
    ASSERT_FALSE(got.AwaitsLowNibble());
    for (int address = 0; address < 0x80; ++address) {
      EXPECT_EQ(got.Ddram(static_cast<std::uint8_t>(address)), want.Ddram(static_cast<std::uint8_t>(address)))
          << "DDRAM " << address;
    }
    for (std::uint8_t code = 0; code < 8; ++code) EXPECT_EQ(got.CustomRows(code), want.CustomRows(code));
    EXPECT_EQ(got.AddressCounter(), want.AddressCounter());
    EXPECT_EQ(got.AddressesCgram(), want.AddressesCgram());
    EXPECT_EQ(got.DisplayShift(), want.DisplayShift());
    EXPECT_EQ(got.TwoLines(), want.TwoLines());
    EXPECT_EQ(got.Increments(), want.Increments());
    EXPECT_EQ(got.ShiftsOnWrite(), want.ShiftsOnWrite());
  }
}

TEST(ChipOracle, TheInitialisationByInstructionGetsBackToEightBitsFromAnyState) {
  const struct {
    const char* name;
    std::string state;
    bool eightBit, awaitsLowNibble;
    char at01;  // what DDRAM address 0x01 then holds: text only from a data byte begun
  } cases[] = {
      {"the 8-bit bus", "i38", true, false, ' '},
      {"the 4-bit bus between bytes", "i20", false, false, ' '},
      {"the 4-bit bus, between bytes of a session", "i20 4bit i28 i81 i0c", false, false, ' '},
      {"the 4-bit bus, high nibble 0x8 in", "i20 i80", false, true, ' '},
      {"the 4-bit bus, high nibble 0x3 in", "i20 i30", false, true, ' '},
      {"the 4-bit bus, high nibble 0x2 in", "i20 i20", false, true, ' '},
      // The byte takes the first nibble's register select.
      {"the 4-bit bus, a data nibble in", "i20 4bit i81 8bit d40", false, true, 'C'},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ChipOracle oracle;
    Feed(oracle, c.state);
    ASSERT_EQ(oracle.Chip().EightBitBus(), c.eightBit);
    ASSERT_EQ(oracle.Chip().AwaitsLowNibble(), c.awaitsLowNibble);
    Feed(oracle, "i30 i30 i30");
    EXPECT_TRUE(oracle.Chip().EightBitBus());
    EXPECT_FALSE(oracle.Chip().AwaitsLowNibble());
    Feed(oracle, "i20 4bit i28 i80 'A'");
    EXPECT_FALSE(oracle.Chip().EightBitBus());
    EXPECT_TRUE(oracle.Chip().TwoLines());
    EXPECT_EQ(oracle.Chip().Ddram(0x00), 'A');
    EXPECT_EQ(oracle.Chip().Ddram(0x01), c.at01);
    EXPECT_EQ(oracle.Chip().AddressCounter(), 0x01);
  }
}

TEST(ChipOracle, WhatTheModelDeclinesToJudge) {
  const struct {
    std::string script;
    bool carriedOut, comparable;
  } cases[] = {
      {kTwoLines + "ia8 'x'", false, false},
      {kTwoLines + "ie8 'x'", false, false},
      {kTwoLines + "ia8", true, true},  // an address alone writes nothing
      {kOneLine + "id0 'x'", false, false},
      {kOneLine + "ic0 'x'", true, true},
      {kTwoLines + "ia7 'ab'", true, true},
      {kTwoLines + "ibf i14 'x'", false, false},  // counted on from a missing address
      {kTwoLines + "ibf i80 'x'", true, true},
      {kOneLine + "ia8 i38 'x'", false, false},  // left on a missing one by the line mode
      {kOneLine + "ic8 i38 'x'", true, true},
      {kTwoLines + "ia8 i40 d01 d02", true, true},
      {kTwoLines + "i0e", true, false},  // the cursor
      {kTwoLines + "i0d", true, false},  // its blink
      {kTwoLines + "i08 'x'", true, true},
      {"i34 i0c", true, false},  // the 5x10 font
      {"i3c i0c", true, true},   // two lines have none
      {"i30 i30 i30 i20 4bit i28 i0c 'x'", true, true},
      {kTwoLines + "i1c i18 i07 i05 'abc' i04 'x'", true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script);
    ChipOracle oracle;
    Feed(oracle, c.script);
    EXPECT_EQ(oracle.NotCarriedOut().empty(), c.carriedOut) << oracle.NotCarriedOut();
    EXPECT_EQ(oracle.Comparable(), c.comparable);
  }
}

// A display's model drawn from packets written as hex, one packet a string.
lptlcd::sim::DisplayModel Drawn(const std::vector<std::string>& packets) {
  lptlcd::sim::DisplayModel display;
  for (const std::string& text : packets) {
    std::uint8_t packet[lptlcd::sim::kPacketSize] = {};
    for (std::size_t i = 0; i * 3 < text.size() && i < sizeof packet; ++i) {
      packet[i] = static_cast<std::uint8_t>(std::stoul(text.substr(i * 3, 2), nullptr, 16));
    }
    display.ApplyPacket(packet);
  }
  return display;
}

// Pixel rows of the 20 whole cells, as '0' and '1'.
constexpr int kWholeCellsWidth = lptlcd::sim::kTextColumns * lptlcd::sim::kCellWidth;

std::vector<std::string> WholeCells(std::vector<std::string> rows) {
  for (std::string& row : rows) row.resize(kWholeCellsWidth);
  return rows;
}

std::vector<std::string> Pixels(const lptlcd::sim::DisplayModel& display) {
  std::vector<std::string> rows(lptlcd::sim::kScreenHeight, std::string(kWholeCellsWidth, '0'));
  for (int y = 0; y < lptlcd::sim::kScreenHeight; ++y) {
    for (int x = 0; x < kWholeCellsWidth; ++x) {
      if (display.Pixel(x, y)) rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = '1';
    }
  }
  return rows;
}

TEST(ChipOracle, TheDisplayIsJudgedCellByCellAgainstTheGlass) {
  const std::string box = "g0:1f11111111111f00 i80 d00";
  const struct {
    ModuleSize module;
    std::string script;
    std::vector<std::string> packets;
    std::string difference;  // how it starts
  } cases[] = {
      {kDefaultModule, "'AB'", {"02 02 41 42"}, ""},
      {{16, 2}, "'AB'", {"02 02 41 42", "03 60 00", "02 01 5a"}, "row 0 column 16: "},
      {{20, 4}, "i94 'C'", {"03 00 02", "02 01 43"}, ""},
      {{20, 4}, "i94 'C'", {"03 00 01", "02 01 43"}, "row 1 column 0: "},
      {{40, 2}, "i94 'C' id4 'D'", {"03 00 01", "02 01 43", "03 00 03", "02 01 44"}, ""},
      {{40, 2}, "i94 'C'", {"03 00 02", "02 01 43"}, "row 1 column 0: "},
      {kDefaultModule, "'AB' i08", {"02 02 41 42"}, "row 0 column 0: "},
      {kDefaultModule, "", {"03 78 00", "02 01 51"}, ""},  // the partial 21st column
      {kDefaultModule, box, {"04 00 7f 41 41 41 7f 00", "02 01 00"}, ""},
      {kDefaultModule, box, {"04 00 7f 41 41 41 7e 00", "02 01 00"}, "row 0 column 0: custom character 0: pixel 4,0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.module.columns) + "x" + std::to_string(c.module.lines) + " after " + c.script);
    ChipOracle oracle(c.module);
    Feed(oracle, kTwoLines + c.script);
    const lptlcd::sim::DisplayModel display = Drawn(c.packets);
    const std::string difference = oracle.Difference(display);
    EXPECT_EQ(difference.substr(0, c.difference.size()), c.difference);
    EXPECT_EQ(difference.empty(), c.difference.empty()) << difference;
    EXPECT_EQ(oracle.Judge(display).empty(), c.difference.empty());
    // The screen the glass makes is the one the display drew.
    if (c.difference.empty()) {
      EXPECT_EQ(WholeCells(oracle.GlassPixels()), Pixels(display));
    }
  }
  // Not judged while the glass shows a cursor the display does not draw.
  ChipOracle cursor;
  Feed(cursor, "i38 i0e 'A'");
  EXPECT_NE(cursor.Difference(Drawn({})), "");
  EXPECT_EQ(cursor.Judge(Drawn({})), "");
}

}  // namespace
}  // namespace lptlcd::test
