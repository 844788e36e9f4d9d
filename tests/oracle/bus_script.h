#pragma once
// Sessions of LCD software written down for the tests: space-separated steps,
// iXX an instruction, dXX a data byte, 'text' data bytes (no spaces),
// gN:XXXXXXXXXXXXXXXX custom character N's eight rows (Set CGRAM Address,
// then the rows), | a pause; `4bit` spells every byte from there on as two
// enable pulses, the high nibble then the low one, each in bits 7-4 of the
// bus (bits 3-0 low), as software does once the chip is on the 4-bit bus;
// `8bit` goes back to one pulse a byte. The switch is the script's, not the
// chip's: the chip's own bus width is set by the Function Sets written,
// e.g. "i30 i30 i30 i20 4bit i28" (the initialisation, then two lines).

#include <cstdint>
#include <functional>
#include <string>

namespace lptlcd::test {

// Calls `write` for each enable pulse (register select and the byte on
// DB7-DB0) and `pause` for each pause, in order. Returns the first step it
// cannot read, or an empty string.
std::string ForEachBusStep(const std::string& script,
                           const std::function<void(bool registerSelect, std::uint8_t bus)>& write,
                           const std::function<void()>& pause);

}  // namespace lptlcd::test
