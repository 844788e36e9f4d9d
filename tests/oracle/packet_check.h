#pragma once
// What the display can rely on in every packet this program sends it: a known
// command, data that fits the command, zeroes past the data, a text packet
// carrying a whole run of one to six characters, glyph codes 0 to 7 and text
// rows 0 to 3. The fuzz target checks every packet it sees with these, and the
// tests use them on the packets they capture.

#include <cstddef>
#include <cstdint>
#include <string>

namespace lptlcd {

// The number of data bytes that a packet of this command and value carries,
// or -1 for a command or control value that the display does not know.
int PacketDataCount(std::uint8_t command, std::uint8_t value);

// Empty when the 8-byte packet is sound; otherwise what is wrong with it,
// for example "position row 4 is not 0 to 3".
std::string CheckPacket(const std::uint8_t* packet);

// Empty when the bytes are whole packets that are all sound; otherwise the
// first fault, naming the packet by its index from 0 and showing its bytes:
// "packet 3 (03 0c 04 00 00 00 00 00): position row 4 is not 0 to 3", or a
// trailing partial packet: "partial packet at offset 16: 5 of 8 bytes".
std::string CheckPackets(const std::uint8_t* bytes, std::size_t size);

}  // namespace lptlcd
