#pragma once
// What the drop-in port-I/O DLL makes of port accesses: which writes become
// ring records, and what reads return. The LCD hangs on the first parallel
// port (0x378-0x37F); nothing else is emulated.

#include <atomic>
#include <cstdint>

#include "common/lcd_types.h"

namespace lptlcd {

constexpr std::uint32_t kParallelPortBase = kDataPort;
constexpr std::uint32_t kParallelPortLast = 0x37F;
constexpr std::uint32_t kStatusPort = 0x379;

// Status of a port with nothing busy: not busy (bit 7), acknowledge idle
// (bit 6), no paper-out (bit 5), selected (bit 4), no error (bit 3).
constexpr std::uint8_t kIdleStatus = 0xD8;
// Control register after a printer port's reset: nInit high (bit 2), the
// inverted lines inactive. The data register starts at 0.
constexpr std::uint8_t kPowerUpControl = 0x0C;
constexpr std::uint8_t kUnmappedRead = 0xFF;

// While control bit 5 has turned the data lines to inputs, the data register
// reads what the module drives. The module is not there to ask, so it answers
// as a ready one: a status read (register select low) gives the busy flag
// clear and address counter 0, the same on both nibbles of a 4-bit bus, so
// software polling the flag goes on at once; a data read gives a blank.
constexpr std::uint8_t kModuleStatusRead = 0x00;
constexpr std::uint8_t kModuleDataRead = 0x20;

class ParallelPortModel {
 public:
  constexpr ParallelPortModel() = default;

  // A write to the first parallel port becomes a record whose selector is
  // the port's low byte (0x78 data, 0x7A control; the others are recorded
  // too and ignored by the decoder); true then. Writes elsewhere: false.
  bool Write(std::uint32_t port, std::uint8_t value, PortWriteRecord& record);

  // Data and control read back what was last written, since software reads
  // the control register, flips one bit and writes it back; data in input
  // mode reads the module's answer instead.
  std::uint8_t Read(std::uint32_t port) const;

 private:
  // Written by whichever thread of the host program writes the port.
  std::atomic<std::uint8_t> data{0};
  std::atomic<std::uint8_t> control{kPowerUpControl};
};

}  // namespace lptlcd
