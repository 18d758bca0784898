#pragma once

#include "decode/decode_result.h"

namespace tessaglyph {

// Lends the pixels of a picture decoded whole to whoever reads rows, keeping
// the decoder's warning.
class DecodedPictureSource : public PixelSource {
 public:
  explicit DecodedPictureSource(DecodeResult result) : result_(std::move(result)) {}

  std::int32_t Width() const override { return result_.picture.Width(); }
  std::int32_t Height() const override { return result_.picture.Height(); }
  const Pixel32* Row(std::int32_t y) override { return result_.picture.Row(y); }
  const std::string& Warning() const override { return result_.message; }

  // Hands the picture over to a caller that wants it whole.
  DecodeResult TakeResult() { return std::move(result_); }

  // A source for result: its picture, or its failure.
  static PictureSourceResult From(DecodeResult result);

 private:
  DecodeResult result_;
};

}  // namespace tessaglyph
