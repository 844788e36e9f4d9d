#pragma once
// Sessions of LCD software written down for the tests: space-separated steps,
// iXX an instruction, dXX a data byte, 'text' data bytes (no spaces),
// gN:XXXXXXXXXXXXXXXX custom character N's eight rows (Set CGRAM Address,
// then the rows), | a pause.

#include <cstdint>
#include <functional>
#include <string>

namespace lptlcd::test {

// Calls `write` for each bus write and `pause` for each pause, in order.
// Returns the first step it cannot read, or an empty string.
std::string ForEachBusStep(const std::string& script,
                           const std::function<void(bool registerSelect, std::uint8_t byte)>& write,
                           const std::function<void()>& pause);

}  // namespace lptlcd::test
