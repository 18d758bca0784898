#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "decode/decode_result.h"
#include "picture/pixel_buffer.h"
#include "picture/pixel_source.h"

namespace tessaglyph {

// Reads an opened picture into one whole WorkingPicture while lending each
// row, as it is decoded, to a reader (the window's preview reduction), so the
// picture is read once. A picture its decoder held whole already is taken as
// it is, without a copy.
class PictureLoader : public PixelSource {
 public:
  // opened is what OpenPictureSource gave with options. The whole picture's
  // memory is reserved from the options' budget. On failure (opened failed,
  // or no memory for the picture) returns nullptr with status and message
  // filled.
  static std::unique_ptr<PictureLoader> Open(PictureSourceResult opened, const DecodeOptions& options,
                                             DecodeStatus& status, std::string& message);

  std::int32_t Width() const override { return width_; }
  std::int32_t Height() const override { return height_; }
  // Row y of the whole picture, decoded now if it was not yet: rows are
  // decoded in order, and each stays valid as long as the loader.
  const Pixel32* Row(std::int32_t y) override;
  const std::string& Warning() const override;
  const std::string& Error() const override;

  // Reads whatever rows are left and hands over the whole picture, with the
  // decoder's warning; a decoder that fails part-way gives kDamaged and its
  // reason.
  DecodeResult TakePicture();

 private:
  explicit PictureLoader(std::unique_ptr<PixelSource> source);

  std::unique_ptr<PixelSource> source_;
  const std::int32_t width_;
  const std::int32_t height_;
  std::optional<DecodeResult> whole_;  // a picture decoded whole
  std::optional<PixelBuffer> pixels_;  // else the rows kept so far,
  std::optional<MemoryBudget::Lease> lease_;  // in memory the budget granted
  std::int32_t rowsKept_ = 0;
};

}  // namespace tessaglyph
