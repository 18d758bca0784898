#pragma once

#include <cstddef>
#include <vector>

#include "picture/pixel_source.h"
#include "render/colour_markup.h"

namespace tessaglyph {

// Lays rows of pixels whose alpha is straight (not premultiplied) over a
// background colour, each channel rounded to nearest, and keeps each pixel's
// alpha so that what is wholly transparent can still be told. Rows with no
// transparency at all come back untouched, without a copy.
class RowOverBackground {
 public:
  explicit RowOverBackground(Rgb background) : background_(background) {}

  // True when every pixel of row is opaque.
  static bool Opaque(const Pixel32* row, std::size_t width);

  // row laid over the background: row itself when every pixel is opaque,
  // else a copy valid until the next call.
  const Pixel32* Of(const Pixel32* row, std::size_t width);
  // row laid over the background whatever its pixels, for a caller that
  // found transparency itself: a copy valid until the next call.
  const Pixel32* Laid(const Pixel32* row, std::size_t width);

 private:
  Rgb background_;
  std::vector<Pixel32> laid_;
};

}  // namespace tessaglyph
