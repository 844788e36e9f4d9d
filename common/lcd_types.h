#pragma once
// The two words that travel through the whole program.

#include <cstdint>

namespace lptlcd {

// One recorded parallel-port write: high byte = port selector, low byte = value.
using PortWriteRecord = std::uint16_t;

// One HD44780 bus cycle: bit 8 = register select (1 data, 0 instruction),
// bits 0-7 = the byte, bits 9-15 zero.
using LcdCommand = std::uint16_t;

// The first parallel port's data and control registers, and their
// selectors: the low byte of their addresses.
constexpr std::uint32_t kDataPort = 0x378;
constexpr std::uint32_t kControlPort = 0x37A;
constexpr std::uint8_t kDataRegisterSelector = kDataPort & 0xFF;
constexpr std::uint8_t kControlRegisterSelector = kControlPort & 0xFF;

constexpr LcdCommand kRegisterSelectData = 0x100;

// The control register's bits that reach the module: enable on bit 0,
// register select on bit 2. Bit 5 turns the port's data lines into inputs:
// a cycle run while it is set is the module answering, not a byte written.
constexpr std::uint8_t kControlEnable = 0x01;
constexpr std::uint8_t kControlRegisterSelect = 0x04;
constexpr std::uint8_t kControlInputMode = 0x20;

constexpr PortWriteRecord MakeRecord(std::uint8_t selector, std::uint8_t value) {
  return static_cast<PortWriteRecord>((selector << 8) | value);
}

}  // namespace lptlcd
