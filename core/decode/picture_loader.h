#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "decode/decode_options.h"
#include "input/byte_source.h"
#include "picture/picture_error.h"
#include "picture/pixel_buffer.h"
#include "picture/pixel_source.h"
#include "picture/working_picture.h"

namespace tessaglyph {

// A whole picture as the loader hands it over: the picture, or why there is
// none; a picture read with a recoverable problem has a warning.
struct LoadedPicture {
  WorkingPicture picture;
  std::string warning;
  std::optional<PictureError> error;

  bool Ok() const { return !error; }
};

// Reads an opened picture into one whole WorkingPicture while lending each
// row, as it is decoded, to a reader (the window's preview reduction), so the
// picture is read once. The one road to a whole picture: a source that holds
// the whole picture already gives it up without a copy.
class PictureLoader : public PixelSource {
 public:
  // source was opened with DecodeOptions::keepsPicture set, so that its
  // reservation covers the whole picture. On failure (no memory for the
  // picture) returns nullptr with error filled.
  static std::unique_ptr<PictureLoader> Open(std::unique_ptr<PixelSource> source, PictureError& error);

  // The whole road: opens bytes with options (keepsPicture set) and loads
  // every row.
  static LoadedPicture Load(std::unique_ptr<ByteSource> bytes, DecodeOptions options);

  std::int32_t Width() const override { return width_; }
  std::int32_t Height() const override { return height_; }
  // Row y of the whole picture, decoded now if it was not yet: rows are
  // decoded in order, and each stays valid as long as the loader.
  const Pixel32* Row(std::int32_t y) override;
  const std::string& Warning() const override { return source_->Warning(); }
  const std::string& Error() const override { return source_->Error(); }

  // Reads whatever rows are left and hands over the whole picture with the
  // decoder's warning; a decoder that fails part-way gives its reason.
  LoadedPicture TakePicture();

 private:
  explicit PictureLoader(std::unique_ptr<PixelSource> source);

  std::unique_ptr<PixelSource> source_;
  const std::int32_t width_;
  const std::int32_t height_;
  std::optional<PixelBuffer> pixels_;  // the rows kept so far, unless the source holds them
  std::int32_t rowsKept_ = 0;
};

}  // namespace tessaglyph
