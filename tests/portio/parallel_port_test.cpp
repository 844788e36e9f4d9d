#include "portio/parallel_port.h"

#include <gtest/gtest.h>

#include <vector>

namespace lptlcd {
namespace {

TEST(ParallelPortModel, DataAndControlWritesBecomeTheirRecords) {
  ParallelPortModel port;
  PortWriteRecord r = 0;
  ASSERT_TRUE(port.Write(0x378, 0x41, r));
  EXPECT_EQ(r, 0x7841);
  ASSERT_TRUE(port.Write(0x37A, 0x05, r));
  EXPECT_EQ(r, 0x7A05);
}

TEST(ParallelPortModel, OtherRegistersOfThePortKeepTheirOwnSelector) {
  ParallelPortModel port;
  for (std::uint32_t p : {0x379u, 0x37Bu, 0x37Cu, 0x37Du, 0x37Eu, 0x37Fu}) {
    PortWriteRecord r = 0;
    ASSERT_TRUE(port.Write(p, 0x5A, r)) << std::hex << p;
    EXPECT_EQ(r, static_cast<PortWriteRecord>(((p & 0xFF) << 8) | 0x5A));
  }
}

TEST(ParallelPortModel, WritesElsewhereAreNotRecorded) {
  ParallelPortModel port;
  for (std::uint32_t p : {0x377u, 0x380u, 0x278u, 0x27Au, 0x3BCu, 0x78u, 0x7Au, 0x10378u, 0xFFFFu}) {
    PortWriteRecord r = 0x1234;
    EXPECT_FALSE(port.Write(p, 0x41, r)) << std::hex << p;
    EXPECT_EQ(r, 0x1234);
  }
  // Not even the read-back state changes.
  EXPECT_EQ(port.Read(0x378), 0x00);
  EXPECT_EQ(port.Read(0x37A), kPowerUpControl);
}

TEST(ParallelPortModel, ReadsGiveBackTheLastWrite) {
  ParallelPortModel port;
  EXPECT_EQ(port.Read(0x378), 0x00);
  EXPECT_EQ(port.Read(0x37A), 0x0C);
  PortWriteRecord r = 0;
  port.Write(0x378, 0xA5, r);
  port.Write(0x37A, 0x03, r);
  port.Write(0x37A, 0x07, r);
  port.Write(0x37C, 0x99, r);  // not data or control: changes neither
  EXPECT_EQ(port.Read(0x378), 0xA5);
  EXPECT_EQ(port.Read(0x37A), 0x07);
}

TEST(ParallelPortModel, StatusIsIdleAndTheRestReadsFF) {
  ParallelPortModel port;
  PortWriteRecord r = 0;
  port.Write(0x379, 0x00, r);  // the status register is read-only
  EXPECT_EQ(port.Read(0x379), 0xD8);
  for (std::uint32_t p : {0x37Bu, 0x37Fu, 0x278u, 0x10378u, 0u}) EXPECT_EQ(port.Read(p), 0xFF) << std::hex << p;
}

// Software that reads the module turns the data lines to inputs (control bit
// 5), sets register select for a status or a data read and reads the data
// register in the middle of an enable pulse (bit 0 flipped from where it
// rests); on the 4-bit bus twice, DB7-DB4 on data bits 7-4, the high nibble
// first. On a status read the module gives its busy flag on DB7 and the
// address counter on DB6-DB0.
struct Write {
  std::uint32_t port;
  std::uint8_t value;
};

std::uint8_t ReadByte(ParallelPortModel& port, int busWidth) {
  std::uint8_t nibbles[2] = {};
  for (int i = 0; i < (busWidth == 8 ? 1 : 2); ++i) {
    PortWriteRecord r = 0;
    const std::uint8_t rest = port.Read(0x37A);
    port.Write(0x37A, static_cast<std::uint8_t>(rest ^ 0x01), r);
    nibbles[i] = port.Read(0x378);
    port.Write(0x37A, rest, r);
  }
  if (busWidth == 8) return nibbles[0];
  return static_cast<std::uint8_t>((nibbles[0] & 0xF0) | (nibbles[1] >> 4));
}

TEST(ParallelPortModel, DataReadsInInputModeAnswerAsAReadyModule) {
  // What a ready module gives, whatever the last byte written: busy flag
  // clear, address counter 0; a data read, a blank.
  constexpr std::uint8_t kReady = 0x00;
  constexpr std::uint8_t kBlank = 0x20;
  const struct {
    const char* name;
    std::vector<Write> writes;
    int busWidth;
    std::uint8_t read;
  } cases[] = {
      // 0xC0 (Set DDRAM Address, line 2) has bit 7 set: read back, it said "busy".
      {"status read after an address", {{0x378, 0xC0}, {0x37A, 0x20}}, 8, kReady},
      {"status read after a character of 0x80 or more", {{0x378, 0xDF}, {0x37A, 0x20}}, 8, kReady},
      {"status read, 4-bit bus", {{0x378, 0xC0}, {0x37A, 0x20}}, 4, kReady},
      {"data read", {{0x378, 0xC0}, {0x37A, 0x24}}, 8, kBlank},
      {"data read, 4-bit bus: a blank's high nibble twice", {{0x378, 0xC0}, {0x37A, 0x24}}, 4, 0x22},
      // Enable and backlight at rest high, as through the inverted lines.
      {"status read, inverted lines", {{0x378, 0x80}, {0x37A, 0x23}}, 8, kReady},
      {"data read, inverted lines", {{0x378, 0x80}, {0x37A, 0x27}}, 8, kBlank},
      {"status read, all other control bits set", {{0x378, 0xFF}, {0x37A, 0xFB}}, 8, kReady},
      // Output mode: the data register reads back what was written.
      {"output mode reads the last byte written", {{0x378, 0xC0}, {0x37A, 0x00}}, 8, 0xC0},
      {"output mode, 4-bit bus", {{0x378, 0xC0}, {0x37A, 0x04}}, 4, 0xCC},
      {"back to output after a read", {{0x378, 0xC0}, {0x37A, 0x20}, {0x37A, 0x04}}, 8, 0xC0},
      {"written in input mode, read back in output mode",
       {{0x37A, 0x20}, {0x378, 0x41}, {0x37A, 0x00}}, 8, 0x41},
      {"written in input mode, the module's answer meanwhile", {{0x37A, 0x24}, {0x378, 0x41}}, 8, kBlank},
  };
  for (const auto& c : cases) {
    ParallelPortModel port;
    PortWriteRecord r = 0;
    std::uint8_t control = kPowerUpControl;
    for (const Write& w : c.writes) {
      port.Write(w.port, w.value, r);
      if (w.port == 0x37A) control = w.value;
    }
    EXPECT_EQ(ReadByte(port, c.busWidth), c.read) << c.name;
    // Neither the status nor the control register changes its answer.
    EXPECT_EQ(port.Read(0x379), 0xD8) << c.name;
    EXPECT_EQ(port.Read(0x37A), control) << c.name;
  }
}

}  // namespace
}  // namespace lptlcd
