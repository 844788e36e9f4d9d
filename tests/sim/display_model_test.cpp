#include "tools/lcdsim/display_model.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/sim/sim_test_util.h"

namespace lptlcd::sim {
namespace {

std::vector<int> Columns(const DisplayModel& model, int x, int row, int count) {
  std::vector<int> columns;
  for (int i = 0; i < count; ++i) columns.push_back(ColumnByte(model, x + i, row));
  return columns;
}

// Column bytes of "HI!" worked out by hand from the letters' pictures.
const std::vector<int> kH = {0x7F, 0x08, 0x08, 0x08, 0x7F, 0x00};
const std::vector<int> kI = {0x00, 0x41, 0x7F, 0x41, 0x00, 0x00};
const std::vector<int> kBang = {0x00, 0x00, 0x5F, 0x00, 0x00, 0x00};
const std::vector<int> kA = {0x7E, 0x09, 0x09, 0x09, 0x7E, 0x00};
const std::vector<int> kBlank = {0, 0, 0, 0, 0, 0};

TEST(DisplayModel, StartsBlankWithTheCursorHome) {
  DisplayModel model;
  EXPECT_EQ(LitPixelCount(model), 0);
  EXPECT_EQ(model.CursorX(), 0);
  EXPECT_EQ(model.CursorRow(), 0);
  EXPECT_EQ(model.TextRow(0), std::string(20, ' '));
}

TEST(DisplayModel, KnownStringRendersItsPixelColumns) {
  DisplayModel model;
  EXPECT_EQ(Apply(model, {0x02, 0x03, 'H', 'I', '!'}), PacketEffect::kApplied);
  EXPECT_EQ(Columns(model, 0, 0, 6), kH);
  EXPECT_EQ(Columns(model, 6, 0, 6), kI);
  EXPECT_EQ(Columns(model, 12, 0, 6), kBang);
  // Exactly these dots, nothing else on the screen.
  EXPECT_EQ(LitPixelCount(model), 17 + 11 + 6);
  EXPECT_EQ(model.CursorX(), 18);
  EXPECT_EQ(model.TextRow(0), "HI!" + std::string(17, ' '));
}

TEST(DisplayModel, DrawsOnlyAsManyCharactersAsTheValueSays) {
  DisplayModel model;
  Apply(model, {0x02, 0x02, 'H', 'I', '!', '!', '!', '!'});
  EXPECT_EQ(Columns(model, 12, 0, 6), kBlank);
  EXPECT_EQ(model.CursorX(), 12);

  Apply(model, {0x02, 0x00, 'A', 'A'});
  EXPECT_EQ(Columns(model, 12, 0, 6), kBlank);
  EXPECT_EQ(model.CursorX(), 12);
}

TEST(DisplayModel, ValueBeyondSixDrawsTheSixDataBytes) {
  DisplayModel model;
  Apply(model, {0x02, 0x0A, 'A', 'A', 'A', 'A', 'A', 'H'});
  EXPECT_EQ(Columns(model, 30, 0, 6), kH);
  EXPECT_EQ(model.CursorX(), 36);
  Apply(model, {0x02, 0x04, 'I', 'I', 'I', 'I'});
  EXPECT_EQ(model.TextRow(0), "AAAAAHIIII" + std::string(10, ' '));
}

TEST(DisplayModel, SetPositionPlacesTheNextCharacter) {
  DisplayModel model;
  EXPECT_EQ(Apply(model, {0x03, 13, 2}), PacketEffect::kApplied);
  EXPECT_EQ(model.CursorX(), 13);
  EXPECT_EQ(model.CursorRow(), 2);
  WriteText(model, "H");
  EXPECT_EQ(Columns(model, 13, 2, 6), kH);
  EXPECT_EQ(model.Pixel(13, 16), true);   // top of H's left stroke
  EXPECT_EQ(model.Pixel(13, 15), false);  // row above: untouched
  EXPECT_EQ(model.CursorX(), 19);
  EXPECT_EQ(model.CursorRow(), 2);
}

TEST(DisplayModel, ClearBlanksTheScreenAndHomesTheCursor) {
  DisplayModel model;
  Apply(model, {0x03, 30, 3});
  WriteText(model, "HI");
  ASSERT_GT(LitPixelCount(model), 0);
  EXPECT_EQ(Apply(model, {0x01, 0x02}), PacketEffect::kApplied);
  EXPECT_EQ(LitPixelCount(model), 0);
  EXPECT_EQ(model.CursorX(), 0);
  EXPECT_EQ(model.CursorRow(), 0);
  EXPECT_EQ(model.TextRow(3), std::string(20, ' '));
  WriteText(model, "A");
  EXPECT_EQ(Columns(model, 0, 0, 6), kA);
}

TEST(DisplayModel, ACharacterReplacesWhatItsCellShowed) {
  DisplayModel model;
  WriteText(model, "H");
  Apply(model, {0x03, 0, 0});
  WriteText(model, "!");
  EXPECT_EQ(Columns(model, 0, 0, 6), kBang);
}

TEST(DisplayModel, GlyphFillsTheWholeSixByEightCell) {
  DisplayModel model;
  EXPECT_EQ(Apply(model, {0x04, 0x03, 0x81, 0x42, 0x24, 0x18, 0xFF, 0x80}), PacketEffect::kApplied);
  Apply(model, {0x03, 6, 1});
  Apply(model, {0x02, 0x01, 0x03});
  EXPECT_EQ(Columns(model, 6, 1, 6), (std::vector<int>{0x81, 0x42, 0x24, 0x18, 0xFF, 0x80}));
  EXPECT_TRUE(model.Pixel(11, 15));  // sixth column, eighth row: both belong to a glyph
  EXPECT_EQ(model.Glyph(3)[4], 0xFF);
  EXPECT_EQ(model.TextRow(1), " *" + std::string(18, ' '));
  EXPECT_EQ(model.CellCode(1, 1), 3);
}

TEST(DisplayModel, PowerOnForgetsTheScreenTheCursorAndTheGlyphsButNotTheCounts) {
  DisplayModel model;
  Apply(model, {0x04, 0x03, 0x81, 0x42, 0x24, 0x18, 0xFF, 0x80});
  Apply(model, {0x03, 6, 1});
  Apply(model, {0x02, 0x03, 'H', 0x03, 'I'});
  Apply(model, {0x7E});
  model.PowerOn();

  const DisplayModel fresh;
  EXPECT_EQ(LitPixelCount(model), 0);
  EXPECT_EQ(model.CursorX(), fresh.CursorX());
  EXPECT_EQ(model.CursorRow(), fresh.CursorRow());
  for (int code = 0; code < kGlyphCount; ++code) EXPECT_EQ(model.Glyph(code), fresh.Glyph(code)) << code;
  for (int row = 0; row < kTextRows; ++row) {
    EXPECT_EQ(model.TextRow(row), fresh.TextRow(row));
    for (int column = 0; column <= kTextColumns; ++column) {
      EXPECT_EQ(model.CellCode(column, row), fresh.CellCode(column, row)) << column << "," << row;
    }
  }
  EXPECT_EQ(model.PacketCount(), 4u);
  EXPECT_EQ(model.IgnoredCount(), 1u);

  // The glyph is gone: code 3 now draws the blank a new display has for it.
  Apply(model, {0x02, 0x01, 0x03});
  EXPECT_EQ(Columns(model, 0, 0, 6), kBlank);
}

TEST(DisplayModel, GlyphZeroIsDrawnForAZeroTextByte) {
  DisplayModel model;
  Apply(model, {0x04, 0x00, 0x7F, 0x41, 0x41, 0x41, 0x7F, 0x00});
  Apply(model, {0x02, 0x02, 'H', 0x00});
  EXPECT_EQ(Columns(model, 6, 0, 6), (std::vector<int>{0x7F, 0x41, 0x41, 0x41, 0x7F, 0x00}));
}

TEST(DisplayModel, GlyphReplacesACharacter) {
  DisplayModel model;
  WriteText(model, "AAA");
  Apply(model, {0x04, 0x05, 0x3C, 0x3C, 0x3C, 0x3C, 0x00, 0x00});
  Apply(model, {0x03, 6, 0});
  Apply(model, {0x02, 0x01, 0x05});
  EXPECT_EQ(Columns(model, 0, 0, 6), kA);
  EXPECT_EQ(Columns(model, 6, 0, 6), (std::vector<int>{0x3C, 0x3C, 0x3C, 0x3C, 0x00, 0x00}));
  EXPECT_EQ(Columns(model, 12, 0, 6), kA);
  EXPECT_EQ(model.TextRow(0), "A*A" + std::string(17, ' '));
}

TEST(DisplayModel, RedefinedGlyphChangesOnlyWhatIsDrawnAfterwards) {
  DisplayModel model;
  Apply(model, {0x04, 0x07, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01});
  Apply(model, {0x02, 0x01, 0x07});
  Apply(model, {0x04, 0x07, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80});
  Apply(model, {0x02, 0x01, 0x07});
  EXPECT_EQ(Columns(model, 0, 0, 6), (std::vector<int>{1, 1, 1, 1, 1, 1}));
  EXPECT_EQ(Columns(model, 6, 0, 6), (std::vector<int>{0x80, 0x80, 0x80, 0x80, 0x80, 0x80}));
}

TEST(DisplayModel, GlyphCodeBeyondSevenIsRejectedAndChangesNothing) {
  DisplayModel model;
  Apply(model, {0x04, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66});
  EXPECT_EQ(Apply(model, {0x04, 0x08, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), PacketEffect::kRejected);
  EXPECT_EQ(Apply(model, {0x04, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), PacketEffect::kRejected);
  for (int code = 1; code < kGlyphCount; ++code) {
    for (const std::uint8_t byte : model.Glyph(code)) EXPECT_EQ(byte, 0);
  }
  EXPECT_EQ(model.Glyph(0)[5], 0x66);
  EXPECT_EQ(model.IgnoredCount(), 2u);
  EXPECT_EQ(model.PacketCount(), 3u);
  // Characters 8 and up are not glyphs: 8 is drawn as the unknown-character box.
  Apply(model, {0x02, 0x01, 0x08});
  EXPECT_EQ(Columns(model, 0, 0, 6), (std::vector<int>{0x7F, 0x41, 0x41, 0x41, 0x7F, 0x00}));
  EXPECT_EQ(model.TextRow(0)[0], '?');
}

TEST(DisplayModel, ClipsAtTheRightEdgeWithoutWrapping) {
  DisplayModel model;
  Apply(model, {0x03, 120, 0});
  WriteText(model, "HH");
  EXPECT_EQ(ColumnByte(model, 120, 0), 0x7F);
  EXPECT_EQ(ColumnByte(model, 121, 0), 0x08);
  EXPECT_EQ(LitPixelCount(model), 7 + 1);
  EXPECT_EQ(model.CursorX(), 132);
  EXPECT_EQ(model.CellCode(20, 0), 'H');
  EXPECT_EQ(model.TextRow(0), std::string(20, ' '));
}

TEST(DisplayModel, PositionsFarPastTheEdgesDrawNothing) {
  DisplayModel model;
  Apply(model, {0x03, 255, 0});
  WriteText(model, "HHHHHH");
  Apply(model, {0x03, 0, 4});
  WriteText(model, "HHHHHH");
  Apply(model, {0x03, 0, 255});
  WriteText(model, "HHHHHH");
  EXPECT_EQ(LitPixelCount(model), 0);
}

TEST(DisplayModel, ClipsAtTheBottomRow) {
  DisplayModel model;
  Apply(model, {0x03, 0, 3});
  WriteText(model, "H");
  EXPECT_EQ(ColumnByte(model, 0, 3), 0x7F);
  EXPECT_TRUE(model.Pixel(0, 30));
  EXPECT_FALSE(model.Pixel(0, 31));  // a character's eighth row stays blank
  EXPECT_FALSE(model.Pixel(0, 32));
  EXPECT_FALSE(model.Pixel(-1, 0));
}

TEST(DisplayModel, CursorStopsGrowingFarOffTheScreen) {
  DisplayModel model;
  for (int i = 0; i < 2000; ++i) Apply(model, {0x02, 0x06, 'A', 'A', 'A', 'A', 'A', 'A'});
  EXPECT_EQ(model.CursorX(), 4096);
  EXPECT_EQ(model.TextRow(0), std::string(20, 'A'));
}

TEST(DisplayModel, ControlCodesAndBlocksChangeNothingVisible) {
  DisplayModel model;
  Apply(model, {0x03, 12, 1});
  WriteText(model, "HI");
  const int lit = LitPixelCount(model);
  EXPECT_EQ(Apply(model, {0x01, 0x01}), PacketEffect::kNoEffect);
  EXPECT_EQ(Apply(model, {0x01, 0x03}), PacketEffect::kNoEffect);
  EXPECT_EQ(Apply(model, {0x01, 0x04}), PacketEffect::kNoEffect);
  EXPECT_EQ(Apply(model, {0x01, 0x47, 0x01}), PacketEffect::kNoEffect);
  EXPECT_EQ(Apply(model, {0x12, 0x06, 1, 2, 3, 4, 5, 6}), PacketEffect::kNoEffect);
  EXPECT_EQ(LitPixelCount(model), lit);
  EXPECT_EQ(model.CursorX(), 24);
  EXPECT_EQ(model.CursorRow(), 1);
  EXPECT_EQ(model.IgnoredCount(), 0u);
}

TEST(DisplayModel, UnknownCommandsAreIgnoredAndCounted) {
  DisplayModel model;
  WriteText(model, "H");
  EXPECT_EQ(Apply(model, {0x00}), PacketEffect::kUnknown);
  EXPECT_EQ(Apply(model, {0x05, 0x01, 'A'}), PacketEffect::kUnknown);
  EXPECT_EQ(Apply(model, {0xFF, 0xFF, 0xFF}), PacketEffect::kUnknown);
  EXPECT_EQ(Apply(model, {0x01, 0x05}), PacketEffect::kUnknown);
  EXPECT_EQ(Apply(model, {0x01, 0x00}), PacketEffect::kUnknown);
  EXPECT_EQ(Columns(model, 0, 0, 6), kH);
  EXPECT_EQ(model.CursorX(), 6);
  EXPECT_EQ(model.IgnoredCount(), 5u);
}

TEST(DisplayModel, TextRowMarksCellsItCannotName) {
  DisplayModel model;
  WriteText(model, "AB");
  Apply(model, {0x03, 15, 0});  // off the six-pixel grid: covers cells 2 and 3
  WriteText(model, "C");
  Apply(model, {0x03, 30, 0});
  Apply(model, {0x02, 0x02, 0x80, 0x7F});
  EXPECT_EQ(model.TextRow(0), "AB?? ??" + std::string(13, ' '));
  EXPECT_EQ(model.CellCode(2, 0), kCellMixed);
  EXPECT_EQ(model.CellCode(5, 0), 0x80);
  EXPECT_EQ(model.CellCode(21, 0), kCellMixed);
  EXPECT_EQ(model.TextRow(7), std::string(20, '?'));
}

TEST(DisplayModel, SurvivesEveryCommandAndValue) {
  DisplayModel model;
  std::uint32_t seed = 12345;
  for (int command = 0; command < 256; ++command) {
    for (int value = 0; value < 256; ++value) {
      std::uint8_t packet[kPacketSize] = {static_cast<std::uint8_t>(command), static_cast<std::uint8_t>(value)};
      for (int i = 2; i < kPacketSize; ++i) {
        seed = seed * 1103515245u + 12345u;
        packet[i] = static_cast<std::uint8_t>(seed >> 24);
      }
      model.ApplyPacket(packet);
      ASSERT_LE(model.CursorX(), 4096);
    }
  }
  EXPECT_EQ(model.PacketCount(), 65536u);
  EXPECT_FALSE(model.Pixel(kScreenWidth, 0));
  EXPECT_FALSE(model.Pixel(0, kScreenHeight));
}

}  // namespace
}  // namespace lptlcd::sim
