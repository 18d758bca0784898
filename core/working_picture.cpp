#include "working_picture.h"

#include <cassert>
#include <utility>

namespace tessaglyph {

WorkingPicture::WorkingPicture(std::int32_t width, std::int32_t height, std::vector<Pixel32> pixels)
    : pixels_(std::move(pixels)), width_(width), height_(height), loaded_(true) {
  assert(width >= 1 && height >= 1);
  assert(pixels_.size() == static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
}

const Pixel32* WorkingPicture::RowAt(std::int32_t y) const {
  return pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
}

}  // namespace tessaglyph
