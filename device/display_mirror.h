#pragma once
// What the display shows, kept from every packet it is sent (whether or not
// the packet arrived): a model to ask, never an actor. The device tells it
// each packet; the painter asks it which cells show what, to paint the cells
// that are wrong and to bring a display that came back to the screen it
// showed.
//
// It follows the display's own handling of the packets: a text packet paints
// min(value, 6) characters, each a whole 6x8 cell at the cursor, which moves
// six pixels on; a custom character paints the columns its code has at that
// moment (the display does not draw it again when it is redefined); a clear
// blanks the screen and puts the cursor top left but keeps the custom
// characters. Other packets change nothing that shows.

#include <array>
#include <cstdint>

#include "device/display_packet.h"

namespace lptlcd {

class DisplayMirror {
 public:
  using Columns = std::array<std::uint8_t, kPacketDataSize>;

  // One packet as the device sends it: its command, value and data bytes.
  void Apply(std::uint8_t command, std::uint8_t value, const std::uint8_t* data, std::uint8_t count);

  // A text cell against the code it should show (0x20 a blank cell).
  enum class Cell {
    kShows,      // that code, a custom character in its present shape
    kWrong,      // anything else
    kOverdrawn,  // partly covered by a later character painted off the cell grid
  };
  Cell CellAgainst(int row, int column, std::uint8_t code) const;
  // Whether anything but blank cells shows.
  bool ShowsAnything() const;
  // Whether a custom character changed its shape after the packet numbered
  // `mark` (see PacketsApplied) and after the last clear: some cell may show
  // it in an older one.
  bool ShapeChangedSince(std::uint64_t mark) const { return shapeChangedAt > mark && shapeChangedAt > clearedAt; }
  std::uint64_t PacketsApplied() const { return packets; }

  // The display's cursor: pixel column (running on past the edge) and text row.
  int CursorX() const { return cursorX; }
  int CursorRow() const { return cursorRow; }
  // Custom character `code`'s columns as last sent; null if never sent.
  const Columns* Glyph(int code) const { return defined[code] ? &glyphs[code] : nullptr; }

  // A character that shows: where it starts and its code.
  struct PaintAt {
    int x;
    std::uint8_t code;
  };
  // The characters that show on a text row, in the order they were painted
  // (off the cell grid, later ones cover part of earlier ones). Returns how
  // many, at most kDisplayWidth.
  int PaintsInOrder(int row, PaintAt* paints) const;

 private:
  // A character that shows: its code, the columns a custom character was
  // painted with, and when it was painted.
  struct Paint {
    bool shown = false;
    std::uint8_t code = 0;
    Columns glyph = {};
    std::uint64_t order = 0;
  };

  void PaintCharacter(std::uint8_t code);

  Paint paints[kDisplayTextRows][kDisplayWidth];
  Columns glyphs[kGlyphCodes] = {};
  bool defined[kGlyphCodes] = {};
  std::uint64_t packets = 0;
  std::uint64_t paintCount = 0;
  std::uint64_t shapeChangedAt = 0;
  std::uint64_t clearedAt = 0;
  int cursorX = 0;
  int cursorRow = 0;
};

}  // namespace lptlcd
