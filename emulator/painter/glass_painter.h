#pragma once
// The painter: turns what the controller's glass shows into the display's
// packets. Text that follows on where the display's cursor stands goes as
// runs of up to six characters, with a cursor move only where the software
// addresses another place; a custom character goes as a glyph once its eight
// rows are in. What runs cannot follow (a display shift, text counting down,
// Display On, a line mode change) and custom characters redefined while they
// show (the display draws one only when its cell is written) are put right
// when the stream pauses, by painting the cells where the display differs
// from the glass: once for a whole burst. A display that came back is
// redrawn then too.
//
// It reads the controller and never changes it; it writes the display only
// through the device, and learns what the display shows from the device's
// mirror.

#include <array>
#include <cstdint>

#include "device/display_packet.h"
#include "device/usb_display_device.h"
#include "emulator/chip/hd44780_controller.h"
#include "emulator/module_size.h"
#include "emulator/painter/display_layout.h"

namespace lptlcd {

class GlassPainter {
 public:
  // The runs' count of columns is eight bits wide: it comes round after 256.
  static constexpr int kCursorRound = 256 * kCellWidthPixels;

  GlassPainter(UsbDisplayDevice* device, const Hd44780Controller& controller, ModuleSize module);

  // What the controller just did, as it shows.
  void Follow(ControllerChange change) {
    if (change.kind == ControllerChange::kCgramWritten) {
      RowWritten(change.address);
    } else if (change.kind != ControllerChange::kDdramWritten || !RunTakes(change.address)) {
      FollowChange(change);
    }
  }

  // The glyph rows, then the characters, not yet sent.
  void SendPending() {
    if (pendingGlyphRows != 0) FlushGlyph();
    if (pendingText != 0) FlushText();
  }
  void FlushText();
  void FlushGlyph();
  // The stream paused: a redraw if the display came back, what is pending,
  // then the cells that are wrong.
  void Flush();
  // Whether Flush has anything to do.
  bool HasPending() const {
    return pendingText != 0 || pendingGlyphRows != 0 || repaintDue || device->RedrawDue() ||
           device->Mirror().ShapeChangedSince(repaintedAt);
  }

 private:
  // Text counting up at an address the chip has, and that shows: the run
  // takes it, the cursor moved first where it stands elsewhere. What most
  // software does most of the time, kept short. False for anything else.
  bool RunTakes(std::uint8_t address) {
    if (!textRuns || runByColumn) return false;
    const Place& place = layout.PlaceOf(address);
    if (!place.shown || !place.chipHas) return false;
    if (place.column * kCellWidthPixels != cursorX || place.row != cursorRow) {
      MoveRunTo(place);
    }
    AddToRun(controller.Ddram(address));
    return true;
  }
  // Sends the run so far, then moves the display's cursor to `place`.
  void MoveRunTo(const Place& place);
  void FollowChange(ControllerChange change);
  void CharacterWritten(std::uint8_t address);
  void RowWritten(std::uint8_t address) {
    const auto code = static_cast<std::uint8_t>(address / hd44780::kGlyphRows);
    if (pendingGlyphs == 0) firstPendingGlyph = code;
    pendingGlyphs = static_cast<std::uint8_t>(pendingGlyphs | 1u << code);
    if (++pendingGlyphRows >= hd44780::kGlyphRows) FlushGlyph();
  }
  void AddToRun(std::uint8_t code) {
    resumeDue = false;
    run[pendingText] = hd44780::CharacterShown(code);
    cursorX += kCellWidthPixels;
    if (cursorX >= kCursorRound) cursorX -= kCursorRound;
    if (++pendingText >= kPacketDataSize) FlushText();
  }
  void MoveCursorTo(const Place& place);
  // Follows a change of line mode, display shift or display on/off.
  void FollowModes();
  // Clear Display and Return Home put the display's cursor top left.
  void Home();
  // Paints the cells where the display differs from the glass.
  void Repaint();
  // What every display cell shows of the glass now.
  ScreenCodes Glass() const;

  UsbDisplayDevice* device;
  const Hd44780Controller& controller;
  DisplayLayout layout;
  // Text counts up without shifting the display: runs can follow it.
  bool textRuns = true;

  // Where the display's cursor stands once every pending character is sent,
  // as the runs count it: in pixels, at six a column, the column kept to
  // eight bits as position packets have always been worked out from it.
  int cursorX = 0;
  int cursorRow = 0;
  std::uint8_t run[kPacketDataSize] = {};  // the run's characters
  std::uint8_t pendingText = 0;
  std::uint8_t runCut = 0;    // characters of the run left unsent (written past a line's end)
  bool runByColumn = false;   // the run holds text at an address the chip lacks
  std::uint8_t pendingGlyphRows = 0;  // rows stored since the last glyph flush
  std::uint8_t pendingGlyphs = 0;     // bit n: character n has rows not yet sent
  std::uint8_t firstPendingGlyph = 0;
  bool repaintDue = false;  // the glass changed in a way runs do not follow
  std::uint64_t repaintedAt = 0;  // the mirror's packet count after the last repaint
  // A repaint moved the display's cursor from where text at an address the
  // chip lacks would go on: it goes on from `resumeX`, `resumeRow` (the
  // display's cursor before the repaint), the runs' count from `resumeCursorX`.
  bool resumeDue = false;
  int resumeX = 0;
  int resumeRow = 0;
  int resumeCursorX = 0;
  int resumeCursorRow = 0;
};

// A custom character's eight CGRAM rows (bits 4 to 0, leftmost first) as the
// display's six pixel columns (bit 0 the top row), the sixth one blank.
std::array<std::uint8_t, kPacketDataSize> GlyphColumns(const std::uint8_t* rows);

}  // namespace lptlcd
