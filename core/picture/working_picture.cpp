#include "picture/working_picture.h"

#include <algorithm>
#include <cassert>
#include <utility>

namespace tessaglyph {

WorkingPicture::WorkingPicture(std::int32_t width, std::int32_t height, PixelBuffer pixels)
    : pixels_(std::move(pixels)), width_(width), height_(height), loaded_(true) {
  assert(width >= 1 && height >= 1);
  assert(pixels_.Size() == static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
}

WorkingPicture::WorkingPicture(std::int32_t width, std::int32_t height, const std::vector<Pixel32>& pixels)
    : WorkingPicture(width, height, PixelBuffer::Allocate(pixels.size(), kWhitePixel).value()) {
  std::copy(pixels.begin(), pixels.end(), pixels_.Data());
}

const Pixel32* WorkingPicture::RowAt(std::int32_t y) const {
  return pixels_.Data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
}

}  // namespace tessaglyph
