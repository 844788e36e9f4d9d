#include "device/display_mirror.h"

#include <algorithm>
#include <cstddef>

namespace lptlcd {

namespace {
// How far the display's cursor runs on past the edge (it keeps counting, so
// that an endless stream of text stays off the screen).
constexpr int kCursorLimit = 4096;
}  // namespace

void DisplayMirror::Apply(std::uint8_t command, std::uint8_t value, const std::uint8_t* data,
                          std::uint8_t count) {
  ++packets;
  // The data bytes as the packet carries them: up to six, zeroes after.
  Columns carried = {};
  const int n = data == nullptr ? 0 : std::min<int>(count, kPacketDataSize);
  std::copy(data, data + n, carried.begin());
  switch (command) {
    case kCommandControl:
      if (value == kControlClear) {
        for (auto& row : paints) {
          for (Paint& paint : row) paint.shown = false;
        }
        clearedAt = packets;
        cursorX = 0;
        cursorRow = 0;
      }
      break;
    case kCommandText:
      for (std::size_t i = 0; i < std::min<std::size_t>(value, kPacketDataSize); ++i) {
        PaintCharacter(carried[i]);
      }
      break;
    case kCommandPosition:
      cursorX = value;
      cursorRow = carried[0];
      break;
    case kCommandGlyph:
      if (value < kGlyphCodes) {
        if (!defined[value] || glyphs[value] != carried) shapeChangedAt = packets;
        glyphs[value] = carried;
        defined[value] = true;
      }
      break;
    default:
      break;
  }
}

void DisplayMirror::PaintCharacter(std::uint8_t code) {
  if (cursorRow < kDisplayTextRows && cursorX < kDisplayWidth) {
    Paint& paint = paints[cursorRow][cursorX];
    paint.shown = true;
    paint.code = code;
    paint.glyph = code < kGlyphCodes ? glyphs[code] : Columns{};
    paint.order = ++paintCount;
  }
  cursorX = std::min(cursorX + kCellWidthPixels, kCursorLimit);
}

bool DisplayMirror::ShowsAnything() const {
  for (const auto& row : paints) {
    for (const Paint& paint : row) {
      if (paint.shown && paint.code != kBlankCode) return true;
    }
  }
  return false;
}

DisplayMirror::Cell DisplayMirror::CellAgainst(int row, int column, std::uint8_t code) const {
  const int x = column * kCellWidthPixels;
  const Paint& own = paints[row][x];
  for (int other = std::max(0, x - kCellWidthPixels + 1); other < std::min(kDisplayWidth, x + kCellWidthPixels);
       ++other) {
    const Paint& paint = paints[row][other];
    if (other != x && paint.shown && (!own.shown || paint.order > own.order)) return Cell::kOverdrawn;
  }
  const bool shows = own.shown ? own.code == code && (code >= kGlyphCodes || own.glyph == glyphs[code])
                               : code == kBlankCode;
  return shows ? Cell::kShows : Cell::kWrong;
}

int DisplayMirror::PaintsInOrder(int row, PaintAt* places) const {
  int count = 0;
  for (int x = 0; x < kDisplayWidth; ++x) {
    if (paints[row][x].shown) places[count++] = PaintAt{x, paints[row][x].code};
  }
  std::sort(places, places + count, [this, row](const PaintAt& a, const PaintAt& b) {
    return paints[row][a.x].order < paints[row][b.x].order;
  });
  return count;
}

}  // namespace lptlcd
