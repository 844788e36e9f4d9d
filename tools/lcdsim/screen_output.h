#pragma once
// Ways to look at the display model's screen: for people (terminal, PNG) and
// for programs (PBM pixels, text rows).

#include <cstdint>
#include <string>
#include <vector>

#include "tools/lcdsim/display_model.h"

namespace lptlcd::sim {

// The screen framed, two pixel rows a line with the half-block characters
// U+2580/U+2584/U+2588 (UTF-8): 124 columns by 18 lines, each line ending in
// '\n'.
std::string RenderHalfBlocks(const DisplayModel& model);

// For terminals without those characters: one line a pixel row, '#' lit and
// '.' dark, 32 lines of 122 characters.
std::string RenderAscii(const DisplayModel& model);

// Plain PBM (P1): "P1\n122 32\n", then one line a pixel row of 122 digits,
// '1' for a lit pixel.
std::string FormatPbm(const DisplayModel& model);

// The four text rows (DisplayModel::TextRow), one a line.
std::string FormatTextDump(const DisplayModel& model);

// The PNG picture: each display pixel a square of scale x scale image pixels
// (the last row and column of the square left in the background colour, when
// scale >= 3, so the dots stand apart as on the glass), inside a border of
// kPngBorder display pixels.
constexpr int kPngBorder = 2;
constexpr int kPngMinScale = 1;
constexpr int kPngMaxScale = 16;
constexpr int kPngDefaultScale = 4;
struct Rgb {
  std::uint8_t r, g, b;
};
constexpr Rgb kPngLit = {0x1C, 0x28, 0x12};
constexpr Rgb kPngDark = {0x8C, 0xA6, 0x5C};
constexpr Rgb kPngBackground = {0x9E, 0xB8, 0x6C};

// The PNG file's bytes; empty when the scale is out of range or encoding
// fails.
std::vector<std::uint8_t> EncodePng(const DisplayModel& model, int scale);

// Writes the bytes under a temporary name beside path and renames it over
// path, so that a reader never sees half a file. False on any failure.
bool WriteFileWhole(const std::string& path, const std::string& bytes);
bool WriteFileWhole(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace lptlcd::sim
