#include "render/row_over_background.h"

#include "picture/over_background.h"

namespace tessaglyph {

bool RowOverBackground::Opaque(const Pixel32* row, std::size_t width) {
  Pixel32 common = 0xFFFFFFFFu;
  for (std::size_t x = 0; x < width; ++x) common &= row[x];
  return common >> 24 == 0xFF;
}

const Pixel32* RowOverBackground::Of(const Pixel32* row, std::size_t width) {
  return Opaque(row, width) ? row : Laid(row, width);
}

const Pixel32* RowOverBackground::Laid(const Pixel32* row, std::size_t width) {
  laid_.resize(width);
  const Pixel32 background = MakePixel(background_.red, background_.green, background_.blue);
  for (std::size_t x = 0; x < width; ++x) laid_[x] = (row[x] & 0xFF000000u) | (PixelOver(row[x], background) & 0x00FFFFFFu);
  return laid_.data();
}

}  // namespace tessaglyph
