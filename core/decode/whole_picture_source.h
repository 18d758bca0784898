#pragma once

#include <string>
#include <utility>

#include "picture/pixel_source.h"
#include "picture/working_picture.h"

namespace tessaglyph {

// A picture its decoder had to decode whole before the first row (runs that
// jump about, interlaced passes): lends its rows, and gives the picture up
// whole, with the decoder's warning.
class WholePictureSource : public PixelSource {
 public:
  WholePictureSource(WorkingPicture picture, std::string warning)
      : picture_(std::move(picture)), warning_(std::move(warning)) {}

  std::int32_t Width() const override { return width_; }
  std::int32_t Height() const override { return height_; }
  const Pixel32* Row(std::int32_t y) override { return picture_.IsLoaded() ? picture_.Row(y) : nullptr; }
  const std::string& Warning() const override { return warning_; }
  bool HoldsWholePicture() const override { return true; }
  WorkingPicture TakeWholePicture() override { return std::move(picture_); }

 private:
  WorkingPicture picture_;
  const std::int32_t width_ = picture_.Width();
  const std::int32_t height_ = picture_.Height();
  std::string warning_;
};

}  // namespace tessaglyph
