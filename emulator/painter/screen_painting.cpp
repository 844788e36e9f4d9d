#include "emulator/painter/screen_painting.h"

#include <algorithm>
#include <climits>

namespace lptlcd {

namespace {

void SendSpans(UsbDisplayDevice& device, int row, const Slot* slots, const Span* spans, int count) {
  for (int i = 0; i < count; ++i) {
    const Slot& first = slots[spans[i].from];
    const DisplayMirror& shown = device.Mirror();
    if (first.x != shown.CursorX() || row != shown.CursorRow()) {
      device.SetPosition(static_cast<std::uint8_t>(first.x), static_cast<std::uint8_t>(row));
    }
    for (int from = spans[i].from; from < spans[i].end; from += kPacketDataSize) {
      std::uint8_t text[kPacketDataSize];
      const int length = std::min(kPacketDataSize, spans[i].end - from);
      for (int k = 0; k < length; ++k) text[k] = slots[from + k].code;
      device.WriteText(text, static_cast<std::uint8_t>(length));
    }
  }
}

}  // namespace

int PlanSpans(const Slot* slots, int count, Span* spans) {
  // cost[end]: the fewest packets for the slots before end; lastFrom[end]:
  // where the last span of that choice starts, -1 when slot end-1 is left alone.
  int cost[kDisplayWidth + 1];
  int lastFrom[kDisplayWidth + 1];
  cost[0] = 0;
  for (int end = 1; end <= count; ++end) {
    cost[end] = slots[end - 1].must ? INT_MAX : cost[end - 1];
    lastFrom[end] = -1;
    for (int from = end - 1; from >= 0; --from) {
      const Slot& slot = slots[from];
      if (!slot.must && !slot.may) break;
      if (from + 1 < end && slots[from + 1].x != slot.x + kCellWidthPixels) break;
      if (cost[from] == INT_MAX) continue;
      const int span = cost[from] + 1 + (end - from + kPacketDataSize - 1) / kPacketDataSize;
      if (span < cost[end]) {
        cost[end] = span;
        lastFrom[end] = from;
      }
    }
  }
  int spanCount = 0;
  for (int end = count; end > 0;) {
    if (lastFrom[end] < 0) {
      --end;
      continue;
    }
    spans[spanCount++] = Span{lastFrom[end], end};
    end = lastFrom[end];
  }
  std::reverse(spans, spans + spanCount);
  return spanCount;
}

bool PaintScreen(UsbDisplayDevice& device, const ScreenCodes& screen) {
  bool sent = false;
  for (int row = 0; row < kDisplayTextRows; ++row) {
    Slot slots[kScreenColumns];
    for (int column = 0; column < kScreenColumns; ++column) {
      const std::uint8_t code = screen.cell[row][column];
      const DisplayMirror::Cell cell = device.Mirror().CellAgainst(row, column, code);
      slots[column] = Slot{column * kCellWidthPixels, code, cell == DisplayMirror::Cell::kWrong,
                           cell == DisplayMirror::Cell::kShows};
    }
    Span spans[kScreenColumns];
    const int count = PlanSpans(slots, kScreenColumns, spans);
    SendSpans(device, row, slots, spans, count);
    sent = sent || count > 0;
  }
  return sent;
}

void RedrawScreen(UsbDisplayDevice& device) {
  // The redraw's own packets rebuild the device's mirror: the same screen again.
  const DisplayMirror shown = device.Mirror();
  device.SendControl1();
  device.ClearScreen();
  for (int code = 0; code < kGlyphCodes; ++code) {
    if (const DisplayMirror::Columns* glyph = shown.Glyph(code)) {
      device.DefineGlyph(static_cast<std::uint8_t>(code), glyph->data());
    }
  }
  for (int row = 0; row < kDisplayTextRows; ++row) {
    DisplayMirror::PaintAt paints[kDisplayWidth];
    const int count = shown.PaintsInOrder(row, paints);
    // Characters that do not overlap can be painted in any order: left to
    // right then, so that neighbours share their packets.
    DisplayMirror::PaintAt byX[kDisplayWidth];
    std::copy(paints, paints + count, byX);
    std::sort(byX, byX + count, [](const DisplayMirror::PaintAt& a, const DisplayMirror::PaintAt& b) { return a.x < b.x; });
    bool apart = true;
    for (int i = 1; i < count; ++i) apart = apart && byX[i].x - byX[i - 1].x >= kCellWidthPixels;
    const DisplayMirror::PaintAt* order = apart ? byX : paints;
    Slot slots[kDisplayWidth];
    for (int i = 0; i < count; ++i) slots[i] = Slot{order[i].x, order[i].code, true, false};
    Span spans[kDisplayWidth];
    SendSpans(device, row, slots, spans, PlanSpans(slots, count, spans));
  }
  if (device.Mirror().CursorX() != shown.CursorX() || device.Mirror().CursorRow() != shown.CursorRow()) {
    device.SetPosition(static_cast<std::uint8_t>(std::min(shown.CursorX(), kFurthestPosition)),
                       static_cast<std::uint8_t>(shown.CursorRow()));
  }
}

}  // namespace lptlcd
