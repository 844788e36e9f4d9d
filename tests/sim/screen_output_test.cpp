#include "tools/lcdsim/screen_output.h"

#include <gtest/gtest.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb/stb_image.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "tests/sim/sim_test_util.h"

namespace lptlcd::sim {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// "H" at the top left, a single glyph dot at the bottom right corner.
DisplayModel SampleScreen() {
  DisplayModel model;
  WriteText(model, "H");
  Apply(model, {0x04, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
  Apply(model, {0x04, 0x02, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00});
  Apply(model, {0x03, 121, 3});
  Apply(model, {0x02, 0x01, 0x02});
  return model;
}

TEST(ScreenOutput, PbmHasOneLinePerPixelRow) {
  const std::vector<std::string> lines = Lines(FormatPbm(SampleScreen()));
  ASSERT_EQ(lines.size(), 2u + 32u);
  EXPECT_EQ(lines[0], "P1");
  EXPECT_EQ(lines[1], "122 32");
  EXPECT_EQ(lines[2], "10001" + std::string(117, '0'));
  EXPECT_EQ(lines[2 + 3], "11111" + std::string(117, '0'));
  EXPECT_EQ(lines[2 + 7], std::string(122, '0'));
  EXPECT_EQ(lines[2 + 31], std::string(121, '0') + "1");
}

TEST(ScreenOutput, AsciiViewMatchesThePixels) {
  const std::vector<std::string> lines = Lines(RenderAscii(SampleScreen()));
  ASSERT_EQ(lines.size(), 32u);
  EXPECT_EQ(lines[0], "#...#" + std::string(117, '.'));
  EXPECT_EQ(lines[31], std::string(121, '.') + "#");
}

TEST(ScreenOutput, HalfBlocksPairPixelRowsInsideAFrame) {
  DisplayModel model;
  WriteText(model, "H");  // rows 0-2: sides; row 3: bar; rows 4-6: sides
  const std::vector<std::string> lines = Lines(RenderHalfBlocks(model));
  ASSERT_EQ(lines.size(), 18u);
  std::string top = "\xE2\x94\x8C";
  for (int i = 0; i < 122; ++i) top += "\xE2\x94\x80";
  EXPECT_EQ(lines[0], top + "\xE2\x94\x90");
  const std::string side = "\xE2\x94\x82";
  const std::string full = "\xE2\x96\x88", upper = "\xE2\x96\x80", lower = "\xE2\x96\x84";
  EXPECT_EQ(lines[1], side + full + "   " + full + std::string(117, ' ') + side);    // rows 0, 1
  EXPECT_EQ(lines[2], side + full + lower + lower + lower + full + std::string(117, ' ') + side);  // rows 2, 3
  EXPECT_EQ(lines[4], side + upper + "   " + upper + std::string(117, ' ') + side);  // rows 6, 7
  EXPECT_EQ(lines[5], side + std::string(122, ' ') + side);
}

TEST(ScreenOutput, TextDumpHasTheFourRows) {
  DisplayModel model;
  WriteText(model, "Hello");
  Apply(model, {0x03, 6, 3});
  WriteText(model, "x");
  const std::string blank(20, ' ');
  EXPECT_EQ(FormatTextDump(model), "Hello" + std::string(15, ' ') + "\n" + blank + "\n" + blank + "\n x" +
                                       std::string(18, ' ') + "\n");
}

TEST(ScreenOutput, PngShowsEveryPixelAsAScaledDot) {
  const DisplayModel model = SampleScreen();
  const std::vector<std::uint8_t> png = EncodePng(model, 4);
  ASSERT_FALSE(png.empty());
  int width = 0, height = 0, channels = 0;
  stbi_uc* image = stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &width, &height, &channels, 3);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(width, (122 + 4) * 4);
  EXPECT_EQ(height, (32 + 4) * 4);
  const auto colour = [&](int px, int py) {
    const stbi_uc* at = image + (py * width + px) * 3;
    return std::vector<int>{at[0], at[1], at[2]};
  };
  const std::vector<int> lit = {kPngLit.r, kPngLit.g, kPngLit.b};
  const std::vector<int> dark = {kPngDark.r, kPngDark.g, kPngDark.b};
  const std::vector<int> background = {kPngBackground.r, kPngBackground.g, kPngBackground.b};
  int mismatches = 0;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 122; ++x) {
      const int px = (x + 2) * 4 + 1, py = (y + 2) * 4 + 1;
      if (colour(px, py) != (model.Pixel(x, y) ? lit : dark)) ++mismatches;
      if (colour(px + 2, py) != background || colour(px, py + 2) != background) ++mismatches;
    }
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(colour(0, 0), background);
  EXPECT_EQ(colour(width - 1, height - 1), background);
  EXPECT_EQ(colour((121 + 2) * 4, (31 + 2) * 4), lit);
  stbi_image_free(image);
}

TEST(ScreenOutput, PngAtScaleOneHasNoGaps) {
  const std::vector<std::uint8_t> png = EncodePng(SampleScreen(), 1);
  int width = 0, height = 0, channels = 0;
  stbi_uc* image = stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &width, &height, &channels, 3);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(width, 126);
  EXPECT_EQ(height, 36);
  const stbi_uc* corner = image + (2 * width + 2) * 3;  // pixel (0, 0): H's top left
  EXPECT_EQ(corner[0], kPngLit.r);
  const stbi_uc* next = image + (2 * width + 3) * 3;  // pixel (1, 0): dark
  EXPECT_EQ(next[0], kPngDark.r);
  stbi_image_free(image);
}

TEST(ScreenOutput, PngRefusesScalesOutOfRange) {
  EXPECT_TRUE(EncodePng(DisplayModel(), 0).empty());
  EXPECT_TRUE(EncodePng(DisplayModel(), 17).empty());
}

TEST(ScreenOutput, WriteFileWholeReplacesAnExistingFile) {
  const std::string path = ::testing::TempDir() + "lcdsim_write_whole_test.txt";
  ASSERT_TRUE(WriteFileWhole(path, std::string("first, longer content\n")));
  ASSERT_TRUE(WriteFileWhole(path, std::string("second\n")));
  EXPECT_EQ(ReadFile(path), "second\n");
  EXPECT_EQ(std::fopen((path + ".tmp").c_str(), "rb"), nullptr);
  std::remove(path.c_str());
  EXPECT_FALSE(WriteFileWhole(::testing::TempDir() + "no-such-folder/x.txt", std::string("x")));
}

}  // namespace
}  // namespace lptlcd::sim
