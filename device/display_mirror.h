#pragma once
// What the display shows, kept from every packet it is sent (whether or not
// the packet arrived), so that a display that comes back after being
// unplugged, or after USB re-enumerated it on resume, can be brought to the
// very screen it would show had it never gone away.
//
// It follows the display's own handling of the packets: a text packet paints
// min(value, 6) characters, each a whole 6x8 cell at the cursor, which moves
// six pixels on; a custom character paints the columns its code has at that
// moment (a later redefinition leaves it painted); a clear blanks the screen
// and puts the cursor top left but keeps the custom characters. What the
// emulator sends is text, custom characters, cursor moves and clears; other
// packets change nothing that shows.

#include <array>
#include <cstdint>

#include "device/display_packet.h"

namespace lptlcd {

class UsbDisplayDevice;

class DisplayMirror {
 public:
  // One packet as the device is asked to send it (SendPacket's arguments).
  void Apply(std::uint8_t command, std::uint8_t value, const std::uint8_t* data, std::uint8_t count);

  // Sends what brings a display just opened to this very screen: the
  // start-up packets (control 1, clear), the custom characters, every
  // character still showing in the order it was painted (in runs of up to
  // six), and the cursor.
  void Redraw(UsbDisplayDevice& device) const;

 private:
  using Columns = std::array<std::uint8_t, kPacketDataSize>;
  // A character that still shows: where it was painted, and (for a custom
  // character) the columns it was painted with.
  struct Paint {
    int x;
    std::uint8_t code;
    Columns glyph;
  };
  // A row holds at most one paint per pixel column: a later one at the same
  // place covers an earlier one whole.
  static constexpr int kMostPaints = kDisplayWidth;
  struct Row {
    Paint paints[kMostPaints];
    int count = 0;
  };

  void PaintCharacter(std::uint8_t code);

  Row rows[kDisplayTextRows];
  Columns glyphs[kGlyphCodes] = {};
  bool defined[kGlyphCodes] = {};
  int cursorX = 0;
  int cursorRow = 0;
};

}  // namespace lptlcd
