#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "decode/decode_result.h"
#include "picture/pixel_source.h"

namespace tessaglyph {

// True when the bytes start with a JPEG start-of-image marker (FF D8 FF).
bool LooksLikeJpeg(std::span<const std::uint8_t> data);

// A JPEG picture decoded one scanline at a time with libjpeg-turbo's default
// (accurate) settings, so its pixels equal those of djpeg's default decode;
// when options.averagedSize says the picture will be averaged down, it is
// decoded at the reduced scale M/8 chosen for that size, equal to
// djpeg -scale M/8, and Width() and Height() are the reduced ones. Grey, YCbCr, RGB, CMYK and YCCK pictures all come out as RGB. Holds one row
// of pixels, never the whole picture.
class JpegRowSource : public PixelSource {
 public:
  // Takes the file's bytes. On failure returns nullptr and fills status and
  // message; the pixel cap of options is checked against the header before
  // any pixel memory is allocated.
  static std::unique_ptr<JpegRowSource> Open(std::vector<std::uint8_t> bytes,
                                             const DecodeOptions& options, DecodeStatus& status,
                                             std::string& message);
  ~JpegRowSource() override;

  std::int32_t Width() const override;
  std::int32_t Height() const override;
  // Rows must be asked for in order 0, 1, 2, ...; returns nullptr on a fatal
  // decoding error (message in Error()).
  const Pixel32* Row(std::int32_t y) override;
  // Decodes straight into destination; first must be the next row.
  std::int32_t ReadRows(std::int32_t first, std::int32_t count, Pixel32* destination, std::size_t stride) override;

  // Non-empty when libjpeg warned, for instance about a truncated file whose
  // missing rows it filled in.
  const std::string& Warning() const override;
  const std::string& Error() const override;

 private:
  struct State;
  explicit JpegRowSource(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

// Decodes a whole JPEG file held in memory into a WorkingPicture. A truncated
// file decodes as libjpeg fills it, with a warning in the result's message.
DecodeResult DecodeJpeg(std::span<const std::uint8_t> data, const DecodeOptions& options);

}  // namespace tessaglyph
