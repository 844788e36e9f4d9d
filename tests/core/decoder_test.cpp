#include <gtest/gtest.h>

#include <vector>

#include "capture/port_write_decoder.h"

namespace lptlcd {
namespace {

using Commands = std::vector<LcdCommand>;

TEST(Decoder, CommandsOnRisingEdgesOfEnable) {
  const struct {
    const char* name;
    std::vector<PortWriteRecord> records;
    Commands commands;
  } cases[] = {
      {"a character: enable pulsed with register select", {0x7841, 0x7A04, 0x7A05, 0x7A04}, {0x141}},
      {"an instruction: enable pulsed without it", {0x7801, 0x7A00, 0x7A01, 0x7A00}, {0x001}},
      // 0x05 would say "data", but the edge was raised by 0x01 (instruction).
      {"enable held high: one command, register select of the raising write",
       {0x7833, 0x7A01, 0x7A05}, {0x033}},
      {"data written while enable is high goes with the next edge",
       {0x7841, 0x7A05, 0x7842, 0x7A04, 0x7A05}, {0x141, 0x142}},
      // 0x7905 would look like a rising edge if the selector were ignored.
      {"other ports disturb neither the latch nor the strobe",
       {0x7841, 0x7905, 0x7BFF, 0x00FF, 0x7A04, 0x7A05}, {0x141}},
      {"other ports alone emit nothing", {0x7905, 0x7B01, 0x0001, 0x7C05}, {}},
      {"the first control write with enable set carries the initial latch", {0x7A01}, {0x000}},
      {"the same with register select", {0x7A05}, {0x100}},
      // 0xDA and 0xDE are enable low, 0xDF enable high with data, 0xDB without;
      // bit 5 is the one other bit that counts (below).
      {"bits 1, 3, 4, 6 and 7 of the control register do not count",
       {0x7855, 0x7ADA, 0x7ADF, 0x7ADE, 0x7ADB}, {0x155, 0x055}},
      // The waveforms that driving software really uses, all through the same rule.
      {"enable raised and lowered around each byte",
       {0x7838, 0x7A00, 0x7A01, 0x7A00, 0x7848, 0x7A04, 0x7A05, 0x7A04}, {0x038, 0x148}},
      // Control rests at 0x03/0x07 (enable and backlight high); the rising
      // edge that ends each low pulse carries the byte.
      {"enable high at rest, pulsed low",
       {0x7A03, 0x7838, 0x7A02, 0x7A03, 0x7A07, 0x7848, 0x7A06, 0x7A07}, {0x000, 0x038, 0x148}},
      {"data changed while enable is low", {0x7A04, 0x7841, 0x7842, 0x7A05, 0x7A04, 0x7843, 0x7A05},
       {0x142, 0x143}},
      // Bit 5 set: the port's data lines are inputs and the module drives
      // them, so an edge then is a read (a busy-flag poll) and writes nothing.
      {"a status read cycle carries no byte", {0x7841, 0x7A20, 0x7A21, 0x7A20}, {}},
      {"nor does a data read cycle", {0x7841, 0x7A24, 0x7A25, 0x7A24}, {}},
      {"a busy-flag poll before each character leaves the characters alone",
       {0x7A20, 0x7A21, 0x7A20, 0x7841, 0x7A04, 0x7A05, 0x7A04, 0x7A20, 0x7A21, 0x7A20, 0x7842, 0x7A04,
        0x7A05, 0x7A04, 0x7A20, 0x7A21, 0x7A20, 0x7843, 0x7A04, 0x7A05, 0x7A04},
       {0x141, 0x142, 0x143}},
      {"the same through the inverted lines, the read pulsed low like a write",
       {0x7A03, 0x7838, 0x7A02, 0x7A03, 0x7A23, 0x7A22, 0x7A23, 0x7A07, 0x7848, 0x7A06, 0x7A07},
       {0x000, 0x038, 0x148}},
      {"two read pulses on the 4-bit bus, then a byte as two nibbles",
       {0x7A20, 0x7A21, 0x7A20, 0x7A21, 0x7A20, 0x7840, 0x7A04, 0x7A05, 0x7A04, 0x7810, 0x7A04, 0x7A05},
       {0x140, 0x110}},
      // The edge is the read's even when the lines turn back to outputs while
      // enable is still high; the next edge writes.
      {"turning the lines back while enable is high is no new edge",
       {0x7841, 0x7A21, 0x7A05, 0x7A04, 0x7A05}, {0x141}},
      // The data register keeps what is written in input mode and drives it
      // once the lines are outputs again.
      {"data written while the lines are inputs goes with the next write",
       {0x7A20, 0x7841, 0x7A04, 0x7A05}, {0x141}},
  };
  for (const auto& c : cases) {
    std::vector<LcdCommand> out;
    PortWriteDecoder decoder([&out](LcdCommand command) { out.push_back(command); });
    for (PortWriteRecord record : c.records) decoder.Decode(record);
    EXPECT_EQ(out, c.commands) << c.name;
  }
}

}  // namespace
}  // namespace lptlcd
