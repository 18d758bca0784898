#pragma once

#include <memory>
#include <utility>

#include "picture/picture_error.h"
#include "picture/pixel_source.h"

namespace tessaglyph {

// What opening a picture gives, whatever its format: a source of its rows,
// or why there is none. A picture that opened with a recoverable problem
// says so in its source's Warning().
struct OpenedPicture {
  std::unique_ptr<PixelSource> source;
  PictureError error;  // when source is null

  explicit operator bool() const { return source != nullptr; }

  static OpenedPicture Failure(PictureError error) { return {nullptr, std::move(error)}; }
  static OpenedPicture Of(std::unique_ptr<PixelSource> source) { return {std::move(source), {}}; }
};

}  // namespace tessaglyph
