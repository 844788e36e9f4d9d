#pragma once
// The text form of a packet, shared by every tool and log that shows packets:
// eight lower-case two-digit hex bytes with single spaces, "02 01 41 00 00 00 00 00".

#include <cstdint>
#include <string>
#include <vector>

namespace lptlcd {

std::string FormatPacket(const std::uint8_t* packet);

// One line per whole packet; a trailing partial packet shows as "<partial packet>".
std::vector<std::string> FormatPackets(const std::vector<std::uint8_t>& bytes);

}  // namespace lptlcd
