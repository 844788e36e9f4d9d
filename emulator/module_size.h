#pragma once
// The character module the driving software was set up for: its columns and
// lines. lptlcd shows that module's glass on the display's 20 columns by 4
// text rows (a 40-column line folded onto two rows).

#include <cstdint>

namespace lptlcd {

struct ModuleSize {
  std::uint8_t columns;
  std::uint8_t lines;
};

constexpr bool operator==(ModuleSize a, ModuleSize b) {
  return a.columns == b.columns && a.lines == b.lines;
}
constexpr bool operator!=(ModuleSize a, ModuleSize b) { return !(a == b); }

// What lptlcd shows without being told: the module it has always shown.
constexpr ModuleSize kDefaultModule = {20, 2};

// The modules it can show, in the order the help lists them. Every one is a
// single HD44780: a 4-line module is one controller in two-line mode, and
// the 16x1 most are built as (its right half is the second line).
constexpr ModuleSize kSupportedModules[] = {{8, 1},  {8, 2},  {16, 1}, {16, 2}, {16, 4}, {20, 1},
                                            {20, 2}, {20, 4}, {24, 2}, {40, 1}, {40, 2}};

constexpr bool IsSupportedModule(ModuleSize module) {
  for (ModuleSize supported : kSupportedModules) {
    if (supported == module) return true;
  }
  return false;
}

// The module shown for what a caller asks: a supported one as it is; else
// columns outside 8-40 taken as 20, lines other than 1, 2 or 4 as 2, and 4
// lines as 2 where that many are not supported, if that gives a supported
// module; else the default one.
constexpr ModuleSize ShownModule(std::uint8_t columns, std::uint8_t lines) {
  const ModuleSize clamped{columns >= 8 && columns <= 40 ? columns : std::uint8_t{20},
                           lines == 1 || lines == 2 || lines == 4 ? lines : std::uint8_t{2}};
  if (IsSupportedModule(clamped)) return clamped;
  const ModuleSize twoLines{clamped.columns, 2};
  return IsSupportedModule(twoLines) ? twoLines : kDefaultModule;
}

}  // namespace lptlcd
