#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "decode/decode_options.h"
#include "input/batch_read_ahead.h"
#include "picture/pixel_source.h"

namespace tessaglyph {

// Decodes the rows of another source on a helper thread, into a small ring
// of row batches a few batches ahead of the reader, so that decoding runs on
// one core while the reader renders and writes on another. Memory stays the
// ring's few batches. Rows must be asked for in order; the pixels are the
// other source's, unchanged.
class DecodeAheadSource : public PixelSource {
 public:
  // Wraps inner and starts the helper at once; when the system refuses a
  // thread, the rows are decoded on the reader's thread as they are asked
  // for. When the ring cannot be allocated, the source fails at its first
  // row with "not enough memory". Decoding stops at the next batch once
  // options.cancel is set.
  static std::unique_ptr<PixelSource> Start(std::unique_ptr<PixelSource> inner, const DecodeOptions& options);

  // The memory of the ring for a picture of width x height, which the
  // conversion's reservation counts.
  static std::uint64_t RingBytes(std::int32_t width, std::int32_t height);
  // Stops the helper, which may still be decoding ahead.
  ~DecodeAheadSource() override;
  DecodeAheadSource(const DecodeAheadSource&) = delete;
  DecodeAheadSource& operator=(const DecodeAheadSource&) = delete;

  std::int32_t Width() const override { return width_; }
  std::int32_t Height() const override { return height_; }
  const Pixel32* Row(std::int32_t y) override;
  const std::string& Warning() const override { return warning_; }
  const std::string& Error() const override { return error_; }
  bool HoldsWholePicture() const override { return inner_->HoldsWholePicture(); }
  // Stops the helper first: the inner source then finishes on this thread.
  WorkingPicture TakeWholePicture() override;
  MemoryBudget::Lease TakePictureLease() override { return inner_->TakePictureLease(); }

 private:
  // What the helper noted of a batch, beside its slot.
  struct BatchNotes {
    std::int32_t rows = 0;  // decoded
    std::string warning;    // the inner source's, once the batch was decoded
    std::string error;      // why the batch's rows stop short
  };

  DecodeAheadSource(std::unique_ptr<PixelSource> inner, const std::atomic<bool>* cancel);
  // On the helper: the rows of batch, up to the first the inner source did
  // not give, which ends the decoding.
  bool DecodeBatch(std::int64_t batch, std::uint8_t* slot, std::size_t& length, std::string& failure);

  std::unique_ptr<PixelSource> inner_;  // used by the helper alone while it runs
  const std::int32_t width_;
  const std::int32_t height_;
  const std::int32_t rowsPerBatch_;
  const std::atomic<bool>* cancel_;
  bool helperFailed_ = false;  // the helper's alone
  std::string helperFailure_;
  std::unique_ptr<BatchNotes[]> notes_;  // one per slot of the ring
  std::optional<BatchReadAhead> ahead_;  // uses inner_ and notes_

  std::int64_t readerBatch_ = -1;   // the batch the reader is in
  const Pixel32* readerRows_ = nullptr;
  std::int32_t readerRowsEnd_ = 0;  // rows from here on did not come,
  std::string readerError_;         // for this reason
  std::string warning_;             // the reader's copies
  std::string error_;
};

}  // namespace tessaglyph
