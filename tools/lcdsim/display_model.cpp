#include "tools/lcdsim/display_model.h"

#include <algorithm>
#include <cstddef>

#include "tools/lcdsim/font5x7.h"

namespace lptlcd::sim {
namespace {

// The packets' command codes, as the display device sends them.
using lptlcd::kCommandBlock;
using lptlcd::kCommandControl;
using lptlcd::kCommandGlyph;
using lptlcd::kCommandPosition;
using lptlcd::kCommandText;
using lptlcd::kControlClear;

// The cursor only ever moves right while text is written; holding it at a
// bound far off the screen keeps an endless stream of text from overflowing
// it while every character past the edge still lands off the screen.
constexpr int kCursorLimit = 4096;

constexpr std::size_t Index(int value) { return static_cast<std::size_t>(value); }

}  // namespace

const char* PacketEffectName(PacketEffect effect) {
  switch (effect) {
    case PacketEffect::kApplied: return "applied";
    case PacketEffect::kNoEffect: return "no visible effect";
    case PacketEffect::kRejected: return "rejected";
    case PacketEffect::kUnknown: return "unknown";
  }
  return "?";
}

DisplayModel::DisplayModel() : pixels{}, glyphs{}, cells{} { Clear(); }

void DisplayModel::PowerOn() {
  const std::uint64_t packets = packetCount;
  const std::uint64_t ignored = ignoredCount;
  *this = DisplayModel();
  packetCount = packets;
  ignoredCount = ignored;
}

PacketEffect DisplayModel::ApplyPacket(const std::uint8_t packet[kPacketSize]) {
  ++packetCount;
  const std::uint8_t command = packet[0];
  const std::uint8_t value = packet[1];
  const std::uint8_t* data = packet + 2;

  PacketEffect effect = PacketEffect::kUnknown;
  switch (command) {
    case kCommandControl:
      if (value == kControlClear) {
        Clear();
        effect = PacketEffect::kApplied;
      } else if (lptlcd::IsKnownControl(value)) {
        effect = PacketEffect::kNoEffect;
      }
      break;
    case kCommandText: {
      // The value counts the characters still to come, this packet's own
      // included, so only the first min(value, 6) data bytes are text; a zero
      // data byte within them is glyph 0, not padding.
      const int count = std::min<int>(value, kPacketSize - 2);
      for (int i = 0; i < count; ++i) DrawCharacter(data[i]);
      effect = PacketEffect::kApplied;
      break;
    }
    case kCommandPosition:
      cursorX = value;
      cursorRow = data[0];
      effect = PacketEffect::kApplied;
      break;
    case kCommandGlyph:
      if (value < kGlyphCount) {
        std::copy(data, data + kGlyphColumns, glyphs[value].begin());
        effect = PacketEffect::kApplied;
      } else {
        effect = PacketEffect::kRejected;
      }
      break;
    case kCommandBlock:
      effect = PacketEffect::kNoEffect;
      break;
    default:
      break;
  }
  if (effect == PacketEffect::kRejected || effect == PacketEffect::kUnknown) ++ignoredCount;
  return effect;
}

bool DisplayModel::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= kScreenWidth || y >= kScreenHeight) return false;
  return pixels[Index(y)][Index(x)];
}

const std::array<std::uint8_t, kGlyphColumns>& DisplayModel::Glyph(int code) const {
  static const std::array<std::uint8_t, kGlyphColumns> kNone = {};
  if (code < 0 || code >= kGlyphCount) return kNone;
  return glyphs[Index(code)];
}

int DisplayModel::CellCode(int column, int row) const {
  if (column < 0 || row < 0 || column > kTextColumns || row >= kTextRows) return kCellMixed;
  return cells[Index(row)][Index(column)];
}

std::string DisplayModel::TextRow(int row) const {
  std::string text;
  for (int column = 0; column < kTextColumns; ++column) {
    const int code = CellCode(column, row);
    if (code >= 0x20 && code <= 0x7E) {
      text += static_cast<char>(code);
    } else if (code >= 0 && code < kGlyphCount) {
      text += '*';
    } else {
      text += '?';
    }
  }
  return text;
}

void DisplayModel::Clear() {
  for (auto& line : pixels) line.fill(false);
  for (auto& row : cells) row.fill(' ');
  cursorX = 0;
  cursorRow = 0;
}

void DisplayModel::DrawCharacter(std::uint8_t code) {
  if (cursorRow >= 0 && cursorRow < kTextRows && cursorX < kScreenWidth) {
    // Every character paints its whole 6x8 cell, blank dots included, so
    // it replaces whatever the cell showed before.
    std::uint8_t columns[kGlyphColumns] = {};
    if (code < kGlyphCount) {
      std::copy(glyphs[code].begin(), glyphs[code].end(), columns);
    } else {
      const FontColumns& font = FontCharacter(code);
      std::copy(font.begin(), font.end(), columns);
    }
    DrawColumns(cursorX, cursorRow * kCellHeight, columns, kGlyphColumns, kCellHeight);
    RecordCell(cursorX, cursorRow, code);
  }
  cursorX = std::min(cursorX + kCellWidth, kCursorLimit);
}

void DisplayModel::DrawColumns(int x, int y, const std::uint8_t* columns, int count, int rows) {
  for (int column = 0; column < count; ++column) {
    const int px = x + column;
    if (px < 0 || px >= kScreenWidth) continue;
    for (int row = 0; row < rows; ++row) {
      const int py = y + row;
      if (py < 0 || py >= kScreenHeight) continue;
      pixels[Index(py)][Index(px)] = ((columns[column] >> row) & 1u) != 0;
    }
  }
}

void DisplayModel::RecordCell(int x, int row, std::uint8_t code) {
  const int first = x / kCellWidth;
  if (x % kCellWidth == 0) {
    if (first <= kTextColumns) cells[Index(row)][Index(first)] = code;
    return;
  }
  // Off the grid a character straddles two cells and names neither.
  for (int column = first; column <= first + 1 && column <= kTextColumns; ++column) {
    cells[Index(row)][Index(column)] = kCellMixed;
  }
}

}  // namespace lptlcd::sim
