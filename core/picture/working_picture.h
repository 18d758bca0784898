#pragma once

#include <cstdint>
#include <vector>

#include "picture/pixel_buffer.h"
#include "picture/pixel_source.h"

namespace tessaglyph {

// The one picture the converter holds: the decoded pixels at their own size,
// row 0 at the top, column 0 at the left. Empty (0 x 0, not loaded) until a
// picture has been decoded into it. Whenever it is loaded, width and height are
// at least 1 and every pixel is defined.
class WorkingPicture : public PixelSource {
 public:
  WorkingPicture() = default;
  // Takes width * height pixels, row by row. Both sizes must be at least 1.
  WorkingPicture(std::int32_t width, std::int32_t height, PixelBuffer pixels);
  WorkingPicture(std::int32_t width, std::int32_t height, const std::vector<Pixel32>& pixels);

  std::int32_t Width() const override { return width_; }
  std::int32_t Height() const override { return height_; }
  bool IsLoaded() const { return loaded_; }

  const Pixel32* Row(std::int32_t y) override { return RowAt(y); }
  const Pixel32* RowAt(std::int32_t y) const;
  Pixel32 PixelAt(std::int32_t x, std::int32_t y) const { return RowAt(y)[x]; }

  // The pixel rows as one block, Width() words per row, for zero-copy views.
  const Pixel32* Data() const { return pixels_.Data(); }

 private:
  PixelBuffer pixels_;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  bool loaded_ = false;
};

}  // namespace tessaglyph
