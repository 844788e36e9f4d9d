#pragma once
// The HD44780's own words: its instructions, known by their highest set bit,
// the flags within them, and its memories. The emulator decodes with these,
// and the producers of port writes spell their instructions with them.

#include <cstdint>

namespace lptlcd::hd44780 {

// The instructions: the bit that tells each apart, and its name.
constexpr std::uint8_t kClearDisplay = 0x01;
constexpr std::uint8_t kReturnHome = 0x02;  // bit 0 is ignored
constexpr std::uint8_t kEntryModeSet = 0x04;
constexpr std::uint8_t kDisplayOnOffControl = 0x08;
constexpr std::uint8_t kCursorOrDisplayShift = 0x10;
constexpr std::uint8_t kFunctionSet = 0x20;
constexpr std::uint8_t kSetCgramAddress = 0x40;  // with the address in bits 0-5
constexpr std::uint8_t kSetDdramAddress = 0x80;  // with the address in bits 0-6

// Entry Mode Set: shift the display with each character; count up.
constexpr std::uint8_t kEntryShiftDisplay = 0x01;
constexpr std::uint8_t kEntryIncrement = 0x02;
// Cursor or Display Shift: the display rather than the cursor; to the right.
constexpr std::uint8_t kShiftDisplay = 0x08;
constexpr std::uint8_t kShiftRight = 0x04;
// Display On/Off Control and Function Set.
constexpr std::uint8_t kDisplayOn = 0x04;
constexpr std::uint8_t kEightBitBus = 0x10;
constexpr std::uint8_t kTwoLines = 0x08;

// What LCD software sends to set the module up.
constexpr std::uint8_t kFunctionSet8Bit2Lines = kFunctionSet | kEightBitBus | kTwoLines;
constexpr std::uint8_t kDisplayOnCursorOff = kDisplayOnOffControl | kDisplayOn;
constexpr std::uint8_t kEntryModeIncrement = kEntryModeSet | kEntryIncrement;

// DDRAM: the image is 128 addresses (seven address bits), two lines of 64,
// line 2 from 0x40. In two-line mode each line has 40 of them (0x00-0x27,
// 0x40-0x67), and counting runs on from the end of one into the other; in
// one-line mode there is one line of 80 (0x00-0x4F).
constexpr unsigned kDdramSize = 128;
constexpr std::uint8_t kDdramAddressMask = 0x7F;
constexpr std::uint8_t kLine1Offset = 0x40;
constexpr std::uint8_t kColumnMask = 0x3F;  // the address within its line
constexpr unsigned kLines = 2;  // in two-line mode
constexpr unsigned kTwoLineLength = 40;
constexpr unsigned kOneLineLength = 80;

// CGRAM: eight custom characters of eight rows, bits 4 (leftmost) to 0 of
// each row its five pixels.
constexpr unsigned kCgramSize = 64;
constexpr std::uint8_t kCgramAddressMask = 0x3F;
constexpr unsigned kCustomChars = 8;
constexpr unsigned kGlyphRows = 8;
constexpr unsigned kGlyphColumns = 5;
// Character codes 0-7 show the custom characters, and so do 8-15.
constexpr unsigned kCharacterCodeAliases = 16;
// The code whose character a code shows: 8-15 are 0-7 again.
constexpr std::uint8_t CharacterShown(std::uint8_t code) {
  return code < kCharacterCodeAliases ? static_cast<std::uint8_t>(code % kCustomChars) : code;
}
constexpr std::uint8_t kSpace = 0x20;  // what Clear Display fills DDRAM with

}  // namespace lptlcd::hd44780
