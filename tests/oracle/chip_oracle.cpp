#include "tests/oracle/chip_oracle.h"

#include <cstdio>

#include "tools/lcdsim/font5x7.h"

namespace lptlcd::test {

namespace {

constexpr int kCellWidth = lptlcd::sim::kCellWidth;
constexpr int kCellHeight = lptlcd::sim::kCellHeight;
constexpr std::uint8_t kLastColumn = 0x27;  // of a line's 40 addresses

std::string Where(int column, int line) {
  char text[48];
  std::snprintf(text, sizeof text, "line %d column %d: ", line, column);
  return text;
}

}  // namespace

void ChipOracle::NotCarried(const char* what) {
  if (notCarriedOut.empty()) notCarriedOut = what;
}

void ChipOracle::Write(bool registerSelect, std::uint8_t byte) {
  if (registerSelect) {
    if (!chip.AddressesCgram()) {
      const std::uint8_t address = chip.AddressCounter();
      if (ranOffLine) NotCarried("text ran on past the 40th address of a line");
      if (!chip.DdramAddressExists(address)) NotCarried("text written to an address the chip lacks");
      ranOffLine = (address & 0x3F) == kLastColumn;
    }
  } else if (byte >= 0x80 || byte == 0x01 || byte == 0x02 || byte == 0x03) {
    ranOffLine = false;  // Set DDRAM Address, Clear Display, Return Home
  } else if (byte >= 0x40) {
    // Set CGRAM Address: carried out.
  } else if (byte >= 0x20) {
    if (!(byte & 0x10)) NotCarried("a 4-bit bus");
    if (!(byte & 0x08)) NotCarried("one-line mode");
  } else if (byte >= 0x10) {
    NotCarried("cursor or display shift");
  } else if (byte >= 0x04 && byte < 0x08) {
    if (!(byte & 0x02)) NotCarried("addresses counting down");
    if (byte & 0x01) NotCarried("display shift on each write");
  }
  chip.Write(registerSelect, byte);
}

bool ChipOracle::Comparable() const {
  return notCarriedOut.empty() && chip.DisplayOn() && !chip.CursorShown();
}

std::string ChipOracle::Difference(const lptlcd::sim::DisplayModel& display) const {
  for (int line = 0; line < lptlcd::sim::kTextRows; ++line) {
    for (int column = 0; column < Hd44780Chip::kGlassColumns; ++column) {
      const int shown = display.CellCode(column, line);
      if (line >= Hd44780Chip::kGlassLines) {
        if (shown != ' ') return Where(column, line) + "the display shows something below the glass";
        continue;
      }
      const std::uint8_t code = chip.ShownCode(column, line);
      if (!Hd44780Chip::IsCustom(code)) {
        if (shown != code) {
          char text[80];
          std::snprintf(text, sizeof text, "the chip shows code %02x, the display %02x", code, shown);
          return Where(column, line) + text;
        }
        continue;
      }
      const Hd44780Chip::CharacterRows rows = chip.CustomRows(code);
      for (int y = 0; y < kCellHeight; ++y) {
        for (int x = 0; x < kCellWidth; ++x) {
          const bool lit = x < 5 && (rows[static_cast<std::size_t>(y)] >> (4 - x) & 1) != 0;
          if (display.Pixel(column * kCellWidth + x, line * kCellHeight + y) != lit) {
            char text[96];
            std::snprintf(text, sizeof text, "custom character %d: pixel %d,%d differs from CGRAM",
                          code & 7, x, y);
            return Where(column, line) + text;
          }
        }
      }
    }
  }
  return "";
}

std::string ChipOracle::Judge(const sim::DisplayModel& display) const {
  if (!Comparable()) return "";
  const std::string difference = Difference(display);
  if (difference.empty()) return "";
  std::string shown;
  for (int row = 0; row < Hd44780Chip::kGlassLines; ++row) shown += "|" + display.TextRow(row) + "|\n";
  return difference + "\nthe chip shows\n" + GlassText() + "the display\n" + shown;
}

std::string ChipOracle::GlassText() const {
  std::string text;
  for (int line = 0; line < Hd44780Chip::kGlassLines; ++line) {
    text += '|';
    for (int column = 0; column < Hd44780Chip::kGlassColumns; ++column) {
      const std::uint8_t code = chip.ShownCode(column, line);
      text += Hd44780Chip::IsCustom(code) ? '*' : code >= 0x20 && code < 0x7F ? static_cast<char>(code) : '?';
    }
    text += "|\n";
  }
  return text;
}

}  // namespace lptlcd::test

namespace lptlcd::test {

std::vector<std::string> ChipOracle::GlassPixels() const {
  std::vector<std::string> rows(lptlcd::sim::kScreenHeight, std::string(lptlcd::sim::kScreenWidth, '0'));
  for (int line = 0; line < Hd44780Chip::kGlassLines; ++line) {
    for (int column = 0; column < Hd44780Chip::kGlassColumns; ++column) {
      const std::uint8_t code = chip.ShownCode(column, line);
      const Hd44780Chip::CharacterRows custom = chip.CustomRows(code);
      const lptlcd::sim::FontColumns& font = lptlcd::sim::FontCharacter(code);
      for (int y = 0; y < kCellHeight; ++y) {
        for (int x = 0; x < lptlcd::sim::kFontWidth; ++x) {
          const bool lit = Hd44780Chip::IsCustom(code)
                               ? (custom[static_cast<std::size_t>(y)] >> (4 - x) & 1) != 0
                               : (font[static_cast<std::size_t>(x)] >> y & 1) != 0;
          rows[static_cast<std::size_t>(line * kCellHeight + y)]
              [static_cast<std::size_t>(column * kCellWidth + x)] = lit ? '1' : '0';
        }
      }
    }
  }
  return rows;
}

}  // namespace lptlcd::test
