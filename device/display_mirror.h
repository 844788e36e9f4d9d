#pragma once
// What the display shows, kept from every packet it is sent (whether or not
// the packet arrived). Two things need it:
// - the display draws a custom character when its cell is painted and not
//   again when the character is redefined, while the HD44780 shows every
//   cell in its character's present shape at once: cells painted in an
//   older shape are found here and painted again;
// - a display that comes back after being unplugged, or after USB
//   re-enumerated it on resume, is brought to the very screen it would show
//   had it never gone away.
//
// It follows the display's own handling of the packets: a text packet paints
// min(value, 6) characters, each a whole 6x8 cell at the cursor, which moves
// six pixels on; a custom character paints the columns its code has at that
// moment; a clear blanks the screen and puts the cursor top left but keeps
// the custom characters. Other packets change nothing that shows.

#include <array>
#include <cstdint>

#include "device/display_packet.h"

namespace lptlcd {

class UsbDisplayDevice;

class DisplayMirror {
 public:
  // One packet as the device sends it: its command, value and data bytes.
  void Apply(std::uint8_t command, std::uint8_t value, const std::uint8_t* data, std::uint8_t count);

  // Whether some cell may show a custom character in a shape other than the
  // one it has now (cheap: true only after a glyph changed).
  bool MayShowOldShapes() const { return glyphChanged; }
  // Whether anything but blank cells shows.
  bool ShowsAnything() const;
  // The display's cursor: pixel column and text row.
  int CursorX() const { return cursorX; }
  int CursorRow() const { return cursorRow; }

  // Paints, through `device` (whose packets come back here), every text cell
  // that does not show what `screen` says it should (a code 0x20 is a blank
  // cell; a custom character in an older shape does not count as shown), in
  // the fewest packets: a row's cells go as spans, left to right, a span
  // taking in cells that are already right where that saves a cursor move.
  // The cursor is left where the last span ends. True if anything was sent.
  bool PaintScreen(UsbDisplayDevice& device, const ScreenCodes& screen);

  // Sends what brings a display just opened to this very screen: the
  // start-up packets (control 1, clear), the custom characters, every
  // character still showing, in its character's present shape, and the
  // cursor.
  void Redraw(UsbDisplayDevice& device) const;

 private:
  using Columns = std::array<std::uint8_t, kPacketDataSize>;
  // A character that shows: its code, the columns a custom character was
  // painted with, and when it was painted (a paint off the cell grid covers
  // part of its neighbours, so their order matters).
  struct Paint {
    bool shown = false;
    std::uint8_t code = 0;
    Columns glyph = {};
    std::uint64_t order = 0;
  };
  // A paint's place: its text row and the pixel column where it starts.
  struct Place {
    int row;
    int x;
  };
  static constexpr int kMostPaints = kDisplayTextRows * kDisplayWidth;

  void PaintCharacter(std::uint8_t code);
  // Whether the text cell shows `code` in its present shape (0x20: blank).
  bool CellShows(int row, int column, std::uint8_t code) const;
  // The places of every paint of a row, in the order they were painted.
  int PaintsInOrder(int row, Place* places) const;
  // Sends the paints at `places` (all of one row) in spans of neighbours, a
  // cursor move before each span that does not start where the cursor
  // stands; `at` is the display's cursor, kept up to date.
  void SendPaints(UsbDisplayDevice& device, Place* places, int count, Place& at) const;

  Paint paints[kDisplayTextRows][kDisplayWidth];
  Columns glyphs[kGlyphCodes] = {};
  bool defined[kGlyphCodes] = {};
  bool glyphChanged = false;
  std::uint64_t paintCount = 0;
  int cursorX = 0;
  int cursorRow = 0;
};

}  // namespace lptlcd
