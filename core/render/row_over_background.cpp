#include "render/row_over_background.h"

namespace tessaglyph {
namespace {

constexpr std::uint32_t Over(unsigned channel, unsigned alpha, unsigned background) {
  return (channel * alpha + background * (255 - alpha) + 127) / 255;
}

}  // namespace

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
  for (std::size_t x = 0; x < width; ++x) {
    const Pixel32 p = row[x];
    const unsigned alpha = p >> 24;
    laid_[x] = (p & 0xFF000000u) | (Over(RedOf(p), alpha, background_.red) << 16) |
               (Over(GreenOf(p), alpha, background_.green) << 8) | Over(BlueOf(p), alpha, background_.blue);
  }
  return laid_.data();
}

}  // namespace tessaglyph
