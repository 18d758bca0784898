#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "input/batch_read_ahead.h"
#include "input/byte_source.h"
#include "decode/gif/gif_first_image.h"
#include "decode/decoding_source.h"
#include "picture/pixel_source.h"

namespace tessaglyph {

// A non-interlaced GIF read one line at a time as its rows are asked for, in
// order: memory holds giflib's state and one row, never the whole picture.
// Rows the image does not cover are the background; once its data breaks
// off, the rest of it is too and Warning() says why. Where it may decode
// ahead, a helper thread runs giflib a few batches of lines ahead, keeping
// each line as its palette indices, and the reader looks the colours up: the
// lookup then costs the reader's core, not the decoder's.
class GifRowSource : public DecodingSource {
 public:
  // image must be non-interlaced, freshly opened over bytes. decodeAhead
  // only where DecodesAheadItself(*image). Decoding ahead stops at the next
  // batch once cancel is set.
  GifRowSource(std::unique_ptr<ByteSource> bytes, std::unique_ptr<GifFirstImage> image, bool decodeAhead,
               const std::atomic<bool>* cancel);

  // True for an image whose lines fill the screen's rows and are read as
  // bytes; other images decode ahead through a ring of finished rows.
  static bool DecodesAheadItself(const GifFirstImage& image);
  // The memory of the batches of lines a helper keeps.
  static std::uint64_t AheadBytes(const GifFirstImage& image);

  std::int32_t Width() const override { return image_->ScreenWidth(); }
  std::int32_t Height() const override { return image_->ScreenHeight(); }
  const Pixel32* Row(std::int32_t y) override;
  // Draws straight into destination; first must be the next row.
  std::int32_t ReadRows(std::int32_t first, std::int32_t count, Pixel32* destination, std::size_t stride) override;
  const std::string& Warning() const override { return warning_; }
  const std::string& Error() const override { return error_; }

 private:
  // Draws the image's next line into row; false when there is none or the
  // data broke off.
  bool DrawImageLine(Pixel32* row);
  bool DrawAheadLine(int line, Pixel32* row);
  bool DrawRow(std::int32_t y, Pixel32* row);
  // On the helper: the lines of batch as indices, up to where the data
  // breaks off, which ends the decoding.
  bool DecodeLines(std::int64_t batch, std::uint8_t* slot, std::size_t& length);

  std::unique_ptr<ByteSource> bytes_;  // giflib reads from it
  std::unique_ptr<GifFirstImage> image_;
  const bool coversWholeRows_;  // the image spans the screen's width
  const std::atomic<bool>* cancel_;
  const std::int64_t linesPerBatch_;
  bool helperBroken_ = false;  // the helper's alone
  std::optional<BatchReadAhead> ahead_;  // uses image_ and bytes_
  std::span<const std::uint8_t> batch_;
  std::int64_t batchIndex_ = -1;
  std::vector<Pixel32> row_;
  std::int32_t rowHeld_ = -1;  // which row `row_` holds
  std::int32_t nextRow_ = 0;
  int nextLine_ = 0;  // the image's next stored line
  bool broken_ = false;
  std::string warning_;
  std::string error_;
};

}  // namespace tessaglyph
