#include "emulator/painter/glass_painter.h"

#include <algorithm>

#include "emulator/painter/screen_painting.h"

namespace lptlcd {

using namespace hd44780;

GlassPainter::GlassPainter(UsbDisplayDevice* displayDevice, const Hd44780Controller& chip, ModuleSize module)
    : device(displayDevice), controller(chip), layout(module) {
  layout.Update(controller);
  textRuns = controller.Increments() && !controller.ShiftsOnWrite();
}

void GlassPainter::FollowChange(ControllerChange change) {
  textRuns = controller.Increments() && !controller.ShiftsOnWrite();
  switch (change.kind) {
    case ControllerChange::kDdramWritten:
      CharacterWritten(change.address);
      break;
    case ControllerChange::kDdramAddressSet: {
      SendPending();
      const Place& place = layout.PlaceOf(change.address);
      if (place.shown) MoveCursorTo(place);
      break;
    }
    case ControllerChange::kCgramAddressSet:
      SendPending();
      break;
    case ControllerChange::kClearDisplay:
      // What the display does with its own cursor on a clear is its
      // business: it is told where the cursor is.
      SendPending();
      device->ClearScreen();
      FollowModes();
      Home();
      break;
    case ControllerChange::kReturnHome:
      SendPending();
      FollowModes();
      Home();
      break;
    case ControllerChange::kDisplayShifted:
    case ControllerChange::kDisplayControl:
    case ControllerChange::kLineModeChanged:
      SendPending();
      FollowModes();
      break;
    case ControllerChange::kCgramWritten:
    case ControllerChange::kNothingShown:
    case ControllerChange::kNoInstruction:
      break;
  }
}

void GlassPainter::FollowModes() {
  if (layout.Follows(controller)) return;
  const bool wasOn = layout.DisplayOn();
  layout.Update(controller);
  if (wasOn == layout.DisplayOn() || layout.DisplayOn()) {
    repaintDue = true;
  } else if (device->Mirror().ShowsAnything()) {
    // Display Off: one clear, and nothing more until it is on again.
    device->ClearScreen();
    cursorX = 0;
    cursorRow = 0;
  }
}

void GlassPainter::Home() {
  device->SetPosition(0, 0);
  cursorX = 0;
  cursorRow = 0;
  resumeDue = false;
}

void GlassPainter::MoveCursorTo(const Place& place) {
  resumeDue = false;
  const int x = place.column * kCellWidthPixels;
  if (x == cursorX && place.row == cursorRow) return;
  // The display takes one byte: far columns wrap as its own counter does.
  device->SetPosition(static_cast<std::uint8_t>(x), place.row);
  cursorX = x;
  cursorRow = place.row;
}

void GlassPainter::MoveRunTo(const Place& place) {
  SendPending();
  MoveCursorTo(place);
}

void GlassPainter::CharacterWritten(std::uint8_t address) {
  if (controller.ShiftsOnWrite()) {
    // The text shows once the display has moved; the repaint paints it there.
    SendPending();
    FollowModes();
    return;
  }
  const Place& place = layout.PlaceOf(address);
  const std::uint8_t code = controller.Ddram(address);
  if (!controller.DdramAddressExists(address)) {
    // An address the chip lacks: the run follows on at the display's
    // cursor, as it always has here (only the default module places them).
    if (!place.shown || !controller.Increments()) return;
    if (resumeDue) {
      device->SetPosition(static_cast<std::uint8_t>(std::min(resumeX, kFurthestPosition)),
                          static_cast<std::uint8_t>(resumeRow));
      cursorX = resumeCursorX;
      cursorRow = resumeCursorRow;
    }
    runByColumn = true;
    AddToRun(code);
    // Past the end of a 64-address line: what the run holds so far is never sent.
    if ((controller.AddressCounter() & kColumnMask) == 0) runCut = pendingText;
  } else if (runByColumn) {
    AddToRun(code);
  } else if (!controller.Increments() && place.shown) {
    // The display's cursor only moves right: text counting down is painted
    // at the pause.
    repaintDue = true;
  }
}

void GlassPainter::FlushText() {
  device->WriteText(run + runCut, static_cast<std::uint8_t>(pendingText - runCut));
  pendingText = 0;
  runCut = 0;
  runByColumn = false;
}

void GlassPainter::FlushGlyph() {
  // Every character whose rows changed, from the first one written: rows
  // written from the middle of one character run into the next.
  for (unsigned i = 0; i < kCustomChars; ++i) {
    const unsigned code = (firstPendingGlyph + i) % kCustomChars;
    if ((static_cast<unsigned>(pendingGlyphs) >> code) & 1u) {
      device->DefineGlyph(static_cast<std::uint8_t>(code),
                          GlyphColumns(controller.CharacterRows(static_cast<std::uint8_t>(code))).data());
    }
  }
  pendingGlyphs = 0;
  pendingGlyphRows = 0;
}

void GlassPainter::Flush() {
  if (device->RedrawDue()) {
    RedrawScreen(*device);
    device->Redrawn();
  }
  SendPending();
  if (repaintDue || device->Mirror().ShapeChangedSince(repaintedAt)) Repaint();
}

void GlassPainter::Repaint() {
  repaintDue = false;
  const DisplayMirror& shown = device->Mirror();
  const int beforeX = shown.CursorX();
  const int beforeRow = shown.CursorRow();
  const bool sent = PaintScreen(*device, Glass());
  repaintedAt = shown.PacketsApplied();
  if (!sent) return;
  // The next run expects the display's cursor where the repaint left it;
  // text at an address the chip lacks goes on from where it stood before.
  if (!resumeDue) {
    resumeDue = true;
    resumeX = beforeX;
    resumeRow = beforeRow;
    resumeCursorX = cursorX;
    resumeCursorRow = cursorRow;
  }
  cursorX = shown.CursorX();
  cursorRow = shown.CursorRow();
}

ScreenCodes GlassPainter::Glass() const {
  ScreenCodes screen = {};
  for (int row = 0; row < kDisplayTextRows; ++row) {
    for (int column = 0; column < kScreenColumns; ++column) {
      const std::uint8_t address = layout.AddressAt(row, column);
      screen.cell[row][column] = address == kNoAddress ? kSpace : CharacterShown(controller.Ddram(address));
    }
  }
  return screen;
}

std::array<std::uint8_t, kPacketDataSize> GlyphColumns(const std::uint8_t* rows) {
  // CGRAM holds the cell row by row (bit 4 leftmost); the display takes it
  // column by column (bit 0 topmost), with a blank sixth column for spacing.
  std::array<std::uint8_t, kPacketDataSize> glyph = {};
  for (unsigned column = 0; column < kGlyphColumns; ++column) {
    for (unsigned row = 0; row < kGlyphRows; ++row) {
      if (rows[row] & (1u << (kGlyphColumns - 1 - column))) {
        glyph[column] = static_cast<std::uint8_t>(glyph[column] | (1u << row));
      }
    }
  }
  return glyph;
}

}  // namespace lptlcd
