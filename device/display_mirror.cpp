#include "device/display_mirror.h"

#include <algorithm>
#include <climits>
#include <cstddef>

#include "device/usb_display_device.h"

namespace lptlcd {

namespace {

// How far the display's cursor runs on past the edge (it keeps counting, so
// that an endless stream of text stays off the screen).
constexpr int kCursorLimit = 4096;

// Cells from..end-1 of a row, painted in one go.
struct Span {
  int from;
  int end;
};

// The spans, left to right, that put right every wrong cell of a row in the
// fewest packets: a span costs a cursor move and a run per six cells, so it
// takes in cells that are already right where that saves a move. Returns how
// many there are.
int CheapestSpans(const bool (&wrong)[kScreenColumns], Span (&spans)[kScreenColumns]) {
  // cost[end]: the fewest packets for the cells left of end; lastFrom[end]:
  // where the last span of that choice starts, -1 when cell end-1 is left alone.
  int cost[kScreenColumns + 1];
  int lastFrom[kScreenColumns + 1];
  cost[0] = 0;
  for (int end = 1; end <= kScreenColumns; ++end) {
    cost[end] = wrong[end - 1] ? INT_MAX : cost[end - 1];
    lastFrom[end] = -1;
    for (int from = end - 1; from >= 0; --from) {
      if (cost[from] == INT_MAX) continue;
      const int span = cost[from] + 1 + (end - from + kPacketDataSize - 1) / kPacketDataSize;
      if (span < cost[end]) {
        cost[end] = span;
        lastFrom[end] = from;
      }
    }
  }
  int count = 0;
  for (int end = kScreenColumns; end > 0;) {
    if (lastFrom[end] < 0) {
      --end;
      continue;
    }
    spans[count++] = Span{lastFrom[end], end};
    end = lastFrom[end];
  }
  std::reverse(spans, spans + count);
  return count;
}

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

bool DisplayMirror::ShowsAnything() const {
  for (const auto& row : paints) {
    for (const Paint& paint : row) {
      if (paint.shown && paint.code != kBlankCode) return true;
    }
  }
  return false;
}

bool DisplayMirror::CellShows(int row, int column, std::uint8_t code) const {
  const int x = column * kCellWidthPixels;
  const Paint& own = paints[row][x];
  // Paints that reach into the cell, other than the one that starts there.
  bool newerOver = false;
  bool inkOver = false;
  for (int other = std::max(0, x - kCellWidthPixels + 1);
       other < std::min(kDisplayWidth, x + kCellWidthPixels); ++other) {
    const Paint& paint = paints[row][other];
    if (other == x || !paint.shown) continue;
    if (!own.shown || paint.order > own.order) newerOver = true;
    if (paint.code != kBlankCode) inkOver = true;
  }
  if (own.shown && !newerOver) {
    return own.code == code && (code >= kGlyphCodes || own.glyph == glyphs[code]);
  }
  // Partly or wholly painted by others: blank only if nothing of theirs has ink.
  return code == kBlankCode && !inkOver && (!own.shown || own.code == kBlankCode);
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

bool DisplayMirror::PaintScreen(UsbDisplayDevice& device, const ScreenCodes& screen) {
  glyphChanged = false;
  bool sent = false;
  for (int row = 0; row < kDisplayTextRows; ++row) {
    bool wrong[kScreenColumns];
    for (int column = 0; column < kScreenColumns; ++column) {
      wrong[column] = !CellShows(row, column, screen.cell[row][column]);
    }
    Span spans[kScreenColumns];
    const int count = CheapestSpans(wrong, spans);
    for (int i = 0; i < count; ++i) {
      const int x = spans[i].from * kCellWidthPixels;
      if (x != cursorX || row != cursorRow) {
        device.SetPosition(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(row));
      }
      // The device's own runs: six characters a packet.
      for (int from = spans[i].from; from < spans[i].end; from += kPacketDataSize) {
        const int length = std::min(kPacketDataSize, spans[i].end - from);
        device.WriteText(&screen.cell[row][from], static_cast<std::uint8_t>(length));
      }
      sent = true;
    }
  }
  return sent;
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
