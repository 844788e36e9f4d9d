#pragma once
// Painting whole rows of the display from what its mirror says it shows: the
// repaint of the cells that differ from the glass, and the redraw of a
// display that came back. Both go row by row in spans of neighbouring
// characters, chosen by one planner: a position packet before a span that
// does not start where the display's cursor stands, then the span's codes in
// text packets of up to six.

#include <cstdint>

#include "device/display_packet.h"
#include "device/usb_display_device.h"

namespace lptlcd {

// A character that may go out: where on its row it starts, in pixels, its
// code, and whether it must be painted or merely may be (painting it again
// changes nothing, and can save a position packet).
struct Slot {
  int x;
  std::uint8_t code;
  bool must;
  bool may;
};
// Slots from..end-1, painted in one go.
struct Span {
  int from;
  int end;
};

// The spans that paint every slot that must be, in the given order, in the
// fewest packets when each span is charged a position packet and a text
// packet per six slots; a span holds neighbours only (each slot six pixels
// right of the one before). Returns how many; `spans` holds `count`.
int PlanSpans(const Slot* slots, int count, Span* spans);

// Paints every text cell that does not show what `screen` says it should
// (0x20 a blank cell; a custom character in an older shape does not count as
// shown), leaving alone cells that a later character off the cell grid
// covers in part. The cursor is left where the last span ends. True if
// anything was sent.
bool PaintScreen(UsbDisplayDevice& device, const ScreenCodes& screen);

// Brings a display that shows nothing to the screen the device's mirror
// keeps: the start-up packets (control 1, clear), the custom characters,
// every character that showed, in its character's present shape, and the
// cursor.
void RedrawScreen(UsbDisplayDevice& device);

}  // namespace lptlcd
