#include "device/display_mirror.h"

#include <algorithm>

#include "device/usb_display_device.h"

namespace lptlcd {

namespace {

// How far the display's cursor runs on past the edge (it keeps counting, so
// that an endless stream of text stays off the screen).
constexpr int kCursorLimit = 4096;

}  // namespace

void DisplayMirror::Apply(std::uint8_t command, std::uint8_t value, const std::uint8_t* data,
                          std::uint8_t count) {
  // The data bytes as the packet carries them: up to six, zeroes after.
  std::uint8_t carried[kPacketDataSize] = {};
  const int n = std::min<int>(count, kPacketDataSize);
  for (int i = 0; i < n && data != nullptr; ++i) carried[i] = data[i];
  switch (command) {
    case kCommandControl:
      if (value == kControlClear) {
        for (Row& row : rows) row.count = 0;
        cursorX = 0;
        cursorRow = 0;
      }
      break;
    case kCommandText:
      for (int i = 0; i < std::min<int>(value, kPacketDataSize); ++i) PaintCharacter(carried[i]);
      break;
    case kCommandPosition:
      cursorX = value;
      cursorRow = carried[0];
      break;
    case kCommandGlyph:
      if (value < kGlyphCodes) {
        std::copy(carried, carried + kPacketDataSize, glyphs[value].begin());
        defined[value] = true;
      }
      break;
    default:
      break;
  }
}

void DisplayMirror::PaintCharacter(std::uint8_t code) {
  if (cursorRow >= 0 && cursorRow < kDisplayTextRows && cursorX < kDisplayWidth) {
    Row& row = rows[cursorRow];
    Paint* end = std::remove_if(row.paints, row.paints + row.count,
                                [this](const Paint& paint) { return paint.x == cursorX; });
    row.count = static_cast<int>(end - row.paints);
    Paint& paint = row.paints[row.count++];
    paint.x = cursorX;
    paint.code = code;
    paint.glyph = code < kGlyphCodes ? glyphs[code] : Columns{};
  }
  cursorX = std::min(cursorX + kCellWidthPixels, kCursorLimit);
}

void DisplayMirror::Redraw(UsbDisplayDevice& device) const {
  device.SendControl1();
  device.ClearScreen();
  // The custom characters as they are now; one painted with an earlier form
  // gets that form back for its paint, and the present one after.
  Columns current[kGlyphCodes] = {};
  for (int code = 0; code < kGlyphCodes; ++code) {
    if (!defined[code]) continue;
    device.DefineGlyph(static_cast<std::uint8_t>(code), glyphs[code].data());
    current[code] = glyphs[code];
  }
  int atX = 0;  // the display's cursor, right after the clear
  int atRow = 0;
  const auto moveTo = [&](int x, int row) {
    if (x == atX && row == atRow) return;
    device.SetPosition(static_cast<std::uint8_t>(std::min(x, 255)), static_cast<std::uint8_t>(row));
    atX = x;
    atRow = row;
  };
  for (int r = 0; r < kDisplayTextRows; ++r) {
    const Row& row = rows[r];
    for (int i = 0; i < row.count;) {
      // A run: paints side by side, in the order painted, none needing a
      // custom character back in another form.
      std::uint8_t text[kPacketDataSize];
      int n = 0;
      for (; i < row.count && n < kPacketDataSize; ++i, ++n) {
        const Paint& paint = row.paints[i];
        const bool ownForm = paint.code < kGlyphCodes && current[paint.code] != paint.glyph;
        if (n > 0 && (paint.x != row.paints[i - 1].x + kCellWidthPixels || ownForm)) break;
        if (ownForm) {
          device.DefineGlyph(paint.code, paint.glyph.data());
          current[paint.code] = paint.glyph;
        }
        text[n] = paint.code;
      }
      moveTo(row.paints[i - n].x, r);
      device.WriteText(text, static_cast<std::uint8_t>(n));
      atX += n * kCellWidthPixels;
    }
  }
  for (int code = 0; code < kGlyphCodes; ++code) {
    if (defined[code] && current[code] != glyphs[code]) {
      device.DefineGlyph(static_cast<std::uint8_t>(code), glyphs[code].data());
    }
  }
  moveTo(cursorX, cursorRow);
}

}  // namespace lptlcd
