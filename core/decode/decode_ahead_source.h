#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "decode/decode_options.h"
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
  DecodeAheadSource(std::unique_ptr<PixelSource> inner, const std::atomic<bool>* cancel);
  void StopHelper();
  void DecodeAhead();
  // Decodes batch into its slot; returns false once the inner source fails.
  bool DecodeBatch(std::int64_t batch);
  // Hands the batches before batch back to the helper and waits until batch
  // is decoded or the inner source has failed.
  void AwaitBatch(std::int64_t batch);
  Pixel32* Slot(std::int64_t batch);

  std::unique_ptr<PixelSource> inner_;  // used by the helper alone
  const std::int32_t width_;
  const std::int32_t height_;
  const std::int32_t rowsPerBatch_;
  const std::int64_t batches_;
  const std::int64_t ringBatches_;
  std::unique_ptr<Pixel32[]> ring_;  // left unset: every row is decoded before it is read
  const std::atomic<bool>* cancel_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::int64_t decoded_ = 0;      // batches ready in the ring
  std::int64_t released_ = 0;     // batches the reader is done with
  std::int32_t failedRow_ = -1;   // the first row the inner source did not give
  bool stopping_ = false;
  std::string innerWarning_;      // as the helper last saw them
  std::string innerError_;

  std::int64_t readerBatch_ = -1;  // the batch the reader is in
  std::int32_t readerRowsEnd_ = 0;  // rows from here on did not come,
  std::string readerError_;         // for this reason
  std::string warning_;            // the reader's copies
  std::string error_;
  std::thread helper_;
};

}  // namespace tessaglyph
