#include "render/area_resampler.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "picture/working_picture.h"

namespace tessaglyph {
namespace {

__extension__ using Wide = unsigned __int128;

// The mean of each channel over cell (x, y), straight from the definition:
// every pixel weighted by the area it shares with the cell, in units of
// 1/(columns * lines) of a pixel.
CellAverage DirectAverage(const WorkingPicture& picture, int columns, int lines, int x, int y) {
  const auto overlap = [](std::int64_t a0, std::int64_t a1, std::int64_t b0, std::int64_t b1) {
    return std::max<std::int64_t>(0, std::min(a1, b1) - std::max(a0, b0));
  };
  Wide red = 0, green = 0, blue = 0;
  const std::int64_t width = picture.Width(), height = picture.Height();
  for (std::int64_t j = 0; j < height; ++j) {
    for (std::int64_t i = 0; i < width; ++i) {
      const auto area = static_cast<Wide>(overlap(i * columns, (i + 1) * columns, x * width, (x + 1) * width) *
                                          overlap(j * lines, (j + 1) * lines, y * height, (y + 1) * height));
      const Pixel32 p = picture.PixelAt(static_cast<std::int32_t>(i), static_cast<std::int32_t>(j));
      red += area * RedOf(p), green += area * GreenOf(p), blue += area * BlueOf(p);
    }
  }
  const Wide total = static_cast<Wide>(width * height);
  const auto mean = [total](Wide sum) { return (2 * sum + total) / (2 * total); };
  return {static_cast<std::uint16_t>(mean(red + green + blue)), static_cast<std::uint8_t>(mean(red)),
          static_cast<std::uint8_t>(mean(green)), static_cast<std::uint8_t>(mean(blue))};
}

struct Resize {
  int width, height, columns, lines;
};

TEST(AreaResamplerTest, EveryCellIsTheExactAreaWeightedMean) {
  const std::vector<Resize> sizes = {
      {7, 5, 3, 2},   {8, 8, 2, 2},  {13, 11, 13, 11}, {5, 3, 11, 7}, {1, 1, 4, 3},
      {9, 1, 4, 1},   {1, 9, 1, 2},  {30, 2, 7, 5},    {6, 17, 4, 17}, {64, 48, 20, 9}};
  std::mt19937 random(11);
  for (const Resize& size : sizes) {
    std::vector<Pixel32> pixels(static_cast<std::size_t>(size.width * size.height));
    for (Pixel32& p : pixels) p = MakePixel(static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()));
    WorkingPicture picture(size.width, size.height, pixels);
    AreaResampler cells(picture, size.columns, size.lines);
    for (int y = 0; y < size.lines; ++y) {
      const CellAverage* line = cells.Line(y);
      ASSERT_NE(line, nullptr);
      for (int x = 0; x < size.columns; ++x) {
        const CellAverage expected = DirectAverage(picture, size.columns, size.lines, x, y);
        const CellAverage& got = line[x];
        ASSERT_TRUE(got.sum == expected.sum && got.red == expected.red && got.green == expected.green && got.blue == expected.blue)
            << size.width << "x" << size.height << " to " << size.columns << "x" << size.lines << ", cell " << x << "," << y
            << ": sum " << got.sum << " expected " << expected.sum;
      }
    }
  }
}

}  // namespace
}  // namespace tessaglyph
