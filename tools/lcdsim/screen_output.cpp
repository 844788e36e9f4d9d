#include "tools/lcdsim/screen_output.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "tools/lcdsim/platform.h"

namespace lptlcd::sim {
namespace {

// UTF-8 of the box-drawing and block characters.
constexpr const char* kUpperHalf = "\xE2\x96\x80";  // U+2580
constexpr const char* kLowerHalf = "\xE2\x96\x84";  // U+2584
constexpr const char* kFullBlock = "\xE2\x96\x88";  // U+2588
constexpr const char* kHorizontal = "\xE2\x94\x80";  // U+2500
constexpr const char* kVertical = "\xE2\x94\x82";    // U+2502
constexpr const char* kTopLeft = "\xE2\x94\x8C";     // U+250C
constexpr const char* kTopRight = "\xE2\x94\x90";    // U+2510
constexpr const char* kBottomLeft = "\xE2\x94\x94";  // U+2514
constexpr const char* kBottomRight = "\xE2\x94\x98"; // U+2518

std::string FrameLine(const char* left, const char* right) {
  std::string line = left;
  for (int x = 0; x < kScreenWidth; ++x) line += kHorizontal;
  return line + right + "\n";
}

bool WriteWhole(std::FILE* file, const void* data, std::size_t size) {
  const bool written = std::fwrite(data, 1, size, file) == size;
  return std::fflush(file) == 0 && written;
}

// A regular file is replaced by renaming a finished copy over it, so that a
// reader polling it never sees half a screen. "-" is standard output, and
// anything that is not a regular file (a device, a pipe, a link to one) is
// written in place: renaming over it would replace the link itself.
bool WriteBytes(const std::string& path, const void* data, std::size_t size) {
  if (path == "-") return WriteWhole(stdout, data, size);
  std::error_code error;
  const auto status = std::filesystem::symlink_status(path, error);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = WriteWhole(file, data, size);
    return std::fclose(file) == 0 && written;
  }
  const std::string temporary = path + ".tmp";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(data, 1, size, file) == size;
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed || !MoveFileOver(temporary, path)) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace

std::string RenderHalfBlocks(const DisplayModel& model) {
  std::string text = FrameLine(kTopLeft, kTopRight);
  for (int y = 0; y < kScreenHeight; y += 2) {
    text += kVertical;
    for (int x = 0; x < kScreenWidth; ++x) {
      const bool upper = model.Pixel(x, y);
      const bool lower = model.Pixel(x, y + 1);
      if (upper && lower) {
        text += kFullBlock;
      } else if (upper) {
        text += kUpperHalf;
      } else if (lower) {
        text += kLowerHalf;
      } else {
        text += ' ';
      }
    }
    text += kVertical;
    text += '\n';
  }
  return text + FrameLine(kBottomLeft, kBottomRight);
}

std::string RenderAscii(const DisplayModel& model) {
  std::string text;
  for (int y = 0; y < kScreenHeight; ++y) {
    for (int x = 0; x < kScreenWidth; ++x) text += model.Pixel(x, y) ? '#' : '.';
    text += '\n';
  }
  return text;
}

std::string FormatPbm(const DisplayModel& model) {
  std::string text = "P1\n" + std::to_string(kScreenWidth) + " " + std::to_string(kScreenHeight) + "\n";
  for (int y = 0; y < kScreenHeight; ++y) {
    for (int x = 0; x < kScreenWidth; ++x) text += model.Pixel(x, y) ? '1' : '0';
    text += '\n';
  }
  return text;
}

std::string FormatTextDump(const DisplayModel& model) {
  std::string text;
  for (int row = 0; row < kTextRows; ++row) text += model.TextRow(row) + "\n";
  return text;
}

bool WriteFileWhole(const std::string& path, const std::string& bytes) {
  return WriteBytes(path, bytes.data(), bytes.size());
}

bool WriteFileWhole(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  return WriteBytes(path, bytes.data(), bytes.size());
}

}  // namespace lptlcd::sim
