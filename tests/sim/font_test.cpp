#include "tools/lcdsim/font5x7.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace lptlcd::sim {
namespace {

FontColumns Columns(int a, int b, int c, int d, int e) {
  return {static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(c),
          static_cast<std::uint8_t>(d), static_cast<std::uint8_t>(e)};
}

TEST(Font5x7, HasEveryPrintableAsciiCharacterAndNothingElse) {
  for (int code = 0; code < 256; ++code) {
    EXPECT_EQ(FontHasCharacter(static_cast<std::uint8_t>(code)), code >= 0x20 && code <= 0x7E) << code;
  }
}

TEST(Font5x7, LettersHaveTheirShapes) {
  EXPECT_EQ(FontCharacter('A'), Columns(0x7E, 0x09, 0x09, 0x09, 0x7E));
  EXPECT_EQ(FontCharacter('L'), Columns(0x7F, 0x40, 0x40, 0x40, 0x40));
  EXPECT_EQ(FontCharacter('T'), Columns(0x01, 0x01, 0x7F, 0x01, 0x01));
  EXPECT_EQ(FontCharacter('-'), Columns(0x08, 0x08, 0x08, 0x08, 0x08));
  EXPECT_EQ(FontCharacter('_'), Columns(0x40, 0x40, 0x40, 0x40, 0x40));
  EXPECT_EQ(FontCharacter('|'), Columns(0x00, 0x00, 0x7F, 0x00, 0x00));
  EXPECT_EQ(FontCharacter(' '), Columns(0, 0, 0, 0, 0));
}

TEST(Font5x7, UnknownCodesShowABox) {
  const FontColumns box = Columns(0x7F, 0x41, 0x41, 0x41, 0x7F);
  EXPECT_EQ(FontCharacter(0x7F), box);
  EXPECT_EQ(FontCharacter(0x80), box);
  EXPECT_EQ(FontCharacter(0xFF), box);
  EXPECT_EQ(FontCharacter(0x1F), box);
}

TEST(Font5x7, EveryCharacterIsSevenRowsHighAndDistinct) {
  std::map<FontColumns, int> seen;
  for (int code = 0x20; code <= 0x7E; ++code) {
    const FontColumns& columns = FontCharacter(static_cast<std::uint8_t>(code));
    int dots = 0;
    for (const std::uint8_t column : columns) {
      EXPECT_EQ(column & 0x80, 0) << "character " << static_cast<char>(code) << " reaches the eighth row";
      for (int bit = 0; bit < 7; ++bit) dots += (column >> bit) & 1;
    }
    if (code != ' ') {
      EXPECT_GT(dots, 0) << "character " << static_cast<char>(code) << " is empty";
    }
    const auto inserted = seen.emplace(columns, code);
    EXPECT_TRUE(inserted.second) << "character " << static_cast<char>(code) << " looks like "
                                 << static_cast<char>(inserted.first->second);
  }
}

}  // namespace
}  // namespace lptlcd::sim
