#pragma once
// Turns recorded parallel-port writes back into the HD44780 bus cycles they
// spell out. The module's data lines hang on the data register (0x378), its
// enable line on control bit 0 and its register-select line on control bit 2
// (0x37A). Every rising edge of the enable bit is one cycle: it carries the
// byte last written to the data register and the register select of the very
// control write that raised the edge, unless that write also set bit 5 (the
// port's data lines turned to inputs): such a cycle reads the module and
// carries nothing to it.

#include <cstdint>
#include <functional>
#include <utility>

#include "common/lcd_types.h"

namespace lptlcd {

class PortWriteDecoder {
 public:
  using Consumer = std::function<void(LcdCommand)>;

  explicit PortWriteDecoder(Consumer onCommand) : consumer(std::move(onCommand)) {}

  // Processes one record; emits at most one command, before returning.
  void Decode(PortWriteRecord record);

 private:
  Consumer consumer;
  // Before the first data write the latch reads as 0, like a port at power-up.
  std::uint8_t dataLatch = 0;
  bool strobeHigh = false;
};

}  // namespace lptlcd
