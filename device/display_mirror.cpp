#include "device/display_mirror.h"

#include <algorithm>
#include <cstddef>

#include "device/usb_display_device.h"

namespace lptlcd {

namespace {

// How far the display's cursor runs on past the edge (it keeps counting, so
// that an endless stream of text stays off the screen).
constexpr int kCursorLimit = 4096;
// The furthest place a position packet can name.
constexpr int kFurthestPosition = 255;

}  // namespace

void DisplayMirror::Apply(std::uint8_t command, std::uint8_t value, const std::uint8_t* data,
                          std::uint8_t count) {
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
        glyphChanged = false;
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
        if (!defined[value] || glyphs[value] != carried) glyphChanged = true;
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

bool DisplayMirror::ShowsOldShape(const Paint& paint) const {
  return paint.shown && paint.code < kGlyphCodes && paint.glyph != glyphs[paint.code];
}

int DisplayMirror::PaintsInOrder(int row, Place* places) const {
  int count = 0;
  for (int x = 0; x < kDisplayWidth; ++x) {
    if (paints[row][x].shown) places[count++] = Place{row, x};
  }
  std::sort(places, places + count, [this, row](const Place& a, const Place& b) {
    return paints[row][a.x].order < paints[row][b.x].order;
  });
  return count;
}

void DisplayMirror::SendPaints(UsbDisplayDevice& device, Place* places, int count, Place& at) const {
  // Cells that do not overlap can be painted in any order: left to right
  // then, so that neighbours share a cursor move and their packets.
  Place byX[kDisplayWidth];
  std::copy(places, places + count, byX);
  std::sort(byX, byX + count, [](const Place& a, const Place& b) { return a.x < b.x; });
  bool apart = true;
  for (int i = 1; i < count; ++i) apart = apart && byX[i].x - byX[i - 1].x >= kCellWidthPixels;
  if (apart) std::copy(byX, byX + count, places);

  for (int i = 0; i < count;) {
    const Place start = places[i];
    if (start.x != at.x || start.row != at.row) {
      device.SetPosition(static_cast<std::uint8_t>(start.x), static_cast<std::uint8_t>(start.row));
    }
    std::uint8_t text[kPacketDataSize];
    int n = 0;
    do {
      text[n++] = paints[start.row][places[i].x].code;
      ++i;
    } while (i < count && n < kPacketDataSize && places[i].x == places[i - 1].x + kCellWidthPixels);
    device.WriteText(text, static_cast<std::uint8_t>(n));
    at = Place{start.row, start.x + n * kCellWidthPixels};
  }
}

void DisplayMirror::RepaintOldShapes(UsbDisplayDevice& device) {
  if (!glyphChanged) return;
  glyphChanged = false;
  const Place cursor{cursorRow, cursorX};
  Place at = cursor;
  for (int row = 0; row < kDisplayTextRows; ++row) {
    Place inOrder[kDisplayWidth];
    const int shown = PaintsInOrder(row, inOrder);
    // A cell painted again covers what later paints drew over it, so those
    // are painted again after it, as they were.
    Place repaint[kDisplayWidth];
    int count = 0;
    bool covered[kDisplayWidth + kCellWidthPixels] = {};
    for (int i = 0; i < shown; ++i) {
      const int x = inOrder[i].x;
      const bool over = std::any_of(covered + x, covered + x + kCellWidthPixels, [](bool c) { return c; });
      if (!over && !ShowsOldShape(paints[row][x])) continue;
      repaint[count++] = inOrder[i];
      std::fill(covered + x, covered + x + kCellWidthPixels, true);
    }
    SendPaints(device, repaint, count, at);
  }
  if (at.x != cursor.x || at.row != cursor.row) {
    // Past the last place a packet can name the cursor is off the screen
    // either way.
    device.SetPosition(static_cast<std::uint8_t>(std::min(cursor.x, kFurthestPosition)),
                       static_cast<std::uint8_t>(cursor.row));
  }
}

void DisplayMirror::Redraw(UsbDisplayDevice& device) const {
  device.SendControl1();
  device.ClearScreen();
  for (int code = 0; code < kGlyphCodes; ++code) {
    if (defined[code]) device.DefineGlyph(static_cast<std::uint8_t>(code), glyphs[code].data());
  }
  Place at{0, 0};  // the display's cursor, right after the clear
  for (int row = 0; row < kDisplayTextRows; ++row) {
    Place places[kDisplayWidth];
    const int count = PaintsInOrder(row, places);
    SendPaints(device, places, count, at);
  }
  if (at.x != cursorX || at.row != cursorRow) {
    device.SetPosition(static_cast<std::uint8_t>(std::min(cursorX, kFurthestPosition)),
                       static_cast<std::uint8_t>(cursorRow));
  }
}

}  // namespace lptlcd
