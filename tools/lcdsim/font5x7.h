#pragma once
// The display's built-in character set: 5x7 dots for the printable ASCII codes.

#include <array>
#include <cstdint>

namespace lptlcd::sim {

constexpr int kFontWidth = 5;
constexpr int kFontHeight = 7;

// Five column bytes, leftmost first; bit 0 of each is the top dot row, so a
// font character has the same layout as the first five bytes of a custom glyph.
using FontColumns = std::array<std::uint8_t, kFontWidth>;

// True for the codes the font draws (0x20 to 0x7E).
bool FontHasCharacter(std::uint8_t code);

// The columns of a font character; codes without one give the box that the
// display shows for a character it does not know.
const FontColumns& FontCharacter(std::uint8_t code);

}  // namespace lptlcd::sim
