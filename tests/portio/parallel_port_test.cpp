#include "portio/parallel_port.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace lptlcd
