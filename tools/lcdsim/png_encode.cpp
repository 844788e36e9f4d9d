// The one file that compiles the PNG writer; it is third-party code, built
// with its header as a system header so the project's warnings stay strict.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

#include <cstddef>

#include "tools/lcdsim/screen_output.h"

namespace lptlcd::sim {
namespace {

void AppendBytes(void* context, void* data, int size) {
  auto* bytes = static_cast<std::vector<std::uint8_t>*>(context);
  const auto* begin = static_cast<const std::uint8_t*>(data);
  bytes->insert(bytes->end(), begin, begin + size);
}

}  // namespace

std::vector<std::uint8_t> EncodePng(const DisplayModel& model, int scale) {
  std::vector<std::uint8_t> png;
  if (scale < kPngMinScale || scale > kPngMaxScale) return png;
  const int width = (kScreenWidth + 2 * kPngBorder) * scale;
  const int height = (kScreenHeight + 2 * kPngBorder) * scale;
  std::vector<std::uint8_t> image(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
  for (int py = 0; py < height; ++py) {
    for (int px = 0; px < width; ++px) {
      const int x = px / scale - kPngBorder;
      const int y = py / scale - kPngBorder;
      const bool onScreen = x >= 0 && y >= 0 && x < kScreenWidth && y < kScreenHeight;
      const bool gap = scale >= 3 && (px % scale == scale - 1 || py % scale == scale - 1);
      Rgb colour = kPngBackground;
      if (onScreen && !gap) colour = model.Pixel(x, y) ? kPngLit : kPngDark;
      const std::size_t at = (static_cast<std::size_t>(py) * static_cast<std::size_t>(width) +
                              static_cast<std::size_t>(px)) * 3;
      image[at] = colour.r;
      image[at + 1] = colour.g;
      image[at + 2] = colour.b;
    }
  }
  if (stbi_write_png_to_func(AppendBytes, &png, width, height, 3, image.data(), width * 3) == 0) {
    png.clear();
  }
  return png;
}

}  // namespace lptlcd::sim
