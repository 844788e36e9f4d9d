#include "tests/oracle/chip_oracle.h"

#include <cstdio>

#include "tools/lcdsim/font5x7.h"

namespace lptlcd::test {

namespace {

constexpr int kCellWidth = lptlcd::sim::kCellWidth;
constexpr int kCellHeight = lptlcd::sim::kCellHeight;
constexpr int kRows = lptlcd::sim::kTextRows;
// Whole cells only: the partial 21st column is not the glass's.
constexpr int kColumns = lptlcd::sim::kTextColumns;

std::string Where(int column, int row) {
  char text[48];
  std::snprintf(text, sizeof text, "row %d column %d: ", row, column);
  return text;
}

// Instructions after which the address counter holds a DDRAM address that
// was set, not counted to: Set DDRAM Address, Clear Display, Return Home.
bool SetsDdramAddress(std::uint8_t instruction) {
  return instruction >= 0x80 || (instruction >= 0x01 && instruction <= 0x03);
}

}  // namespace

void ChipOracle::NotCarried(const char* what) {
  if (notCarriedOut.empty()) notCarriedOut = what;
}

void ChipOracle::Write(bool registerSelect, std::uint8_t bus) {
  const std::optional<Hd44780Chip::BusByte> byte = chip.ByteCompletedBy(registerSelect, bus);
  if (byte && byte->registerSelect && !chip.AddressesCgram() &&
      (addressLost || !chip.DdramAddressExists(chip.AddressCounter()))) {
    NotCarried("text written to an address the chip lacks");
  }
  chip.Write(registerSelect, bus);
  if (byte && !byte->registerSelect && SetsDdramAddress(byte->value)) addressLost = false;
  // Set to a missing address, or left on one by a change of line mode.
  if (!chip.AddressesCgram() && !chip.DdramAddressExists(chip.AddressCounter())) addressLost = true;
}

bool ChipOracle::Comparable() const {
  return notCarriedOut.empty() && !chip.CursorShown() && !chip.TallFont();
}

std::optional<std::uint8_t> ChipOracle::DisplayedAddress(int column, int row) const {
  if (column < 0 || column >= kColumns || row < 0 || row >= kRows) return std::nullopt;
  if (module.columns <= kColumns) return chip.ShownAddress(module, column, row);
  // A wide module: each line on two rows, its first 20 columns, then the rest.
  return chip.ShownAddress(module, column + (row % 2) * kColumns, row / 2);
}

std::string ChipOracle::Difference(const lptlcd::sim::DisplayModel& display) const {
  for (int row = 0; row < kRows; ++row) {
    for (int column = 0; column < kColumns; ++column) {
      const int shown = display.CellCode(column, row);
      const std::optional<std::uint8_t> address = DisplayedAddress(column, row);
      if (!address) {
        if (shown != ' ') return Where(column, row) + "the glass shows nothing here, the display does";
        continue;
      }
      const std::uint8_t code = chip.Ddram(*address);
      if (!Hd44780Chip::IsCustom(code)) {
        if (shown != code) {
          char text[96];
          std::snprintf(text, sizeof text, "the chip shows code %02x (address %02x), the display %02x", code,
                        *address, static_cast<unsigned>(shown));
          return Where(column, row) + text;
        }
        continue;
      }
      const Hd44780Chip::CharacterRows rows = chip.CustomRows(code);
      for (int y = 0; y < kCellHeight; ++y) {
        for (int x = 0; x < kCellWidth; ++x) {
          const bool lit = x < 5 && (rows[static_cast<std::size_t>(y)] >> (4 - x) & 1) != 0;
          if (display.Pixel(column * kCellWidth + x, row * kCellHeight + y) != lit) {
            char text[96];
            std::snprintf(text, sizeof text, "custom character %d: pixel %d,%d differs from CGRAM",
                          code & 7, x, y);
            return Where(column, row) + text;
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
  for (int row = 0; row < kRows; ++row) shown += "|" + display.TextRow(row) + "|\n";
  char what[64];
  std::snprintf(what, sizeof what, "\nthe chip, as a %dx%d module, shows\n", module.columns, module.lines);
  return difference + what + GlassText() + "the display\n" + shown;
}

std::string ChipOracle::GlassText() const {
  std::string text;
  for (int row = 0; row < kRows; ++row) {
    text += '|';
    for (int column = 0; column < kColumns; ++column) {
      const std::optional<std::uint8_t> address = DisplayedAddress(column, row);
      const std::uint8_t code = address ? chip.Ddram(*address) : 0x20;
      text += Hd44780Chip::IsCustom(code) ? '*' : code >= 0x20 && code < 0x7F ? static_cast<char>(code) : '?';
    }
    text += "|\n";
  }
  return text;
}

std::vector<std::string> ChipOracle::GlassPixels() const {
  std::vector<std::string> pixels(lptlcd::sim::kScreenHeight, std::string(lptlcd::sim::kScreenWidth, '0'));
  for (int row = 0; row < kRows; ++row) {
    for (int column = 0; column < kColumns; ++column) {
      const std::optional<std::uint8_t> address = DisplayedAddress(column, row);
      if (!address) continue;
      const std::uint8_t code = chip.Ddram(*address);
      const Hd44780Chip::CharacterRows custom = chip.CustomRows(code);
      const lptlcd::sim::FontColumns& font = lptlcd::sim::FontCharacter(code);
      for (int y = 0; y < kCellHeight; ++y) {
        for (int x = 0; x < lptlcd::sim::kFontWidth; ++x) {
          const bool lit = Hd44780Chip::IsCustom(code)
                               ? (custom[static_cast<std::size_t>(y)] >> (4 - x) & 1) != 0
                               : (font[static_cast<std::size_t>(x)] >> y & 1) != 0;
          pixels[static_cast<std::size_t>(row * kCellHeight + y)]
                [static_cast<std::size_t>(column * kCellWidth + x)] = lit ? '1' : '0';
        }
      }
    }
  }
  return pixels;
}

}  // namespace lptlcd::test
