#include "decode/decode_ahead_source.h"

#include "picture/page_commit.h"
#include "picture/working_picture.h"

#include <algorithm>
#include <system_error>

namespace tessaglyph {
namespace {

// Batches of about half a megabyte, at most 64 rows (a JPEG decodes 8 or
// 16 rows at once): few hand-overs, and a ring that stays small.
constexpr std::size_t kBatchBytes = std::size_t{512} << 10;
constexpr std::int32_t kMaxRowsPerBatch = 64;
// Four batches let the helper run ahead; a row wider than a batch gets two,
// as many as overlapping needs, so such a picture costs two rows, not four.
constexpr std::int64_t kRingBatches = 4;
constexpr std::int64_t kWideRowRingBatches = 2;

std::int32_t RowsPerBatch(std::int32_t width) {
  const std::size_t rowBytes = static_cast<std::size_t>(std::max(width, 1)) * sizeof(Pixel32);
  return static_cast<std::int32_t>(std::clamp<std::size_t>(kBatchBytes / rowBytes, 1, kMaxRowsPerBatch));
}

std::int64_t BatchCount(std::int32_t height, std::int32_t rowsPerBatch) {
  return (static_cast<std::int64_t>(height) + rowsPerBatch - 1) / rowsPerBatch;
}

std::int64_t RingBatchCount(std::int32_t rowsPerBatch, std::int64_t batches) {
  return std::min(rowsPerBatch == 1 ? kWideRowRingBatches : kRingBatches, batches);
}

}  // namespace

std::uint64_t DecodeAheadSource::RingBytes(std::int32_t width, std::int32_t height) {
  const std::int32_t rows = RowsPerBatch(width);
  return static_cast<std::uint64_t>(RingBatchCount(rows, BatchCount(height, rows))) * static_cast<std::uint64_t>(rows) *
         static_cast<std::uint64_t>(width) * sizeof(Pixel32);
}

std::unique_ptr<PixelSource> DecodeAheadSource::Start(std::unique_ptr<PixelSource> inner, const DecodeOptions& options) {
  return std::unique_ptr<PixelSource>(new DecodeAheadSource(std::move(inner), options.cancel));
}

DecodeAheadSource::DecodeAheadSource(std::unique_ptr<PixelSource> inner, const std::atomic<bool>* cancel)
    : inner_(std::move(inner)),
      width_(inner_->Width()),
      height_(inner_->Height()),
      rowsPerBatch_(RowsPerBatch(width_)),
      batches_(BatchCount(height_, rowsPerBatch_)),
      ringBatches_(RingBatchCount(rowsPerBatch_, batches_)),
      cancel_(cancel),
      warning_(inner_->Warning()) {
  try {
    ring_.reset(new Pixel32[static_cast<std::size_t>(RingBytes(width_, height_) / sizeof(Pixel32))]);
    CommitPages(ring_.get(), static_cast<std::size_t>(RingBytes(width_, height_)));
  } catch (const std::bad_alloc&) {
    failedRow_ = 0;
    innerError_ = "not enough memory to decode ahead";
    return;
  }
  try {
    helper_ = std::thread([this] { DecodeAhead(); });
  } catch (const std::system_error&) {
    // No helper: Row() decodes each batch itself.
  }
}

DecodeAheadSource::~DecodeAheadSource() { StopHelper(); }

void DecodeAheadSource::StopHelper() {
  if (!helper_.joinable()) return;
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  helper_.join();
}

WorkingPicture DecodeAheadSource::TakeWholePicture() {
  StopHelper();
  WorkingPicture picture = inner_->TakeWholePicture();
  warning_ = inner_->Warning();
  error_ = inner_->Error();
  return picture;
}

Pixel32* DecodeAheadSource::Slot(std::int64_t batch) {
  const std::size_t slotPixels = static_cast<std::size_t>(rowsPerBatch_) * static_cast<std::size_t>(width_);
  return ring_.get() + static_cast<std::size_t>(batch % ringBatches_) * slotPixels;
}

// Nothing thrown on the helper may escape it: that would end the process.
bool DecodeAheadSource::DecodeBatch(std::int64_t batch) {
  const auto first = static_cast<std::int32_t>(batch * rowsPerBatch_);
  const std::int32_t count = std::min(rowsPerBatch_, height_ - first);
  std::int32_t got = 0;
  std::string failure;
  if (cancel_ != nullptr && cancel_->load(std::memory_order_relaxed)) {
    failure = "cancelled";
  } else {
    try {
      got = inner_->ReadRows(first, count, Slot(batch), static_cast<std::size_t>(width_));
      if (got < count) failure = inner_->Error();
    } catch (const std::bad_alloc&) {
      got = 0;
      failure = "not enough memory to decode the picture";
    }
  }
  const std::lock_guard lock(mutex_);
  innerWarning_ = inner_->Warning();
  if (got < count) {
    failedRow_ = first + got;
    innerError_ = failure;
  }
  ++decoded_;
  return got == count;
}

void DecodeAheadSource::DecodeAhead() {
  for (std::int64_t batch = 0; batch < batches_; ++batch) {
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return stopping_ || batch - released_ < ringBatches_; });
      if (stopping_) return;
    }
    const bool decoded = DecodeBatch(batch);
    changed_.notify_all();
    if (!decoded) return;
  }
}

void DecodeAheadSource::AwaitBatch(std::int64_t batch) {
  if (!helper_.joinable()) {
    while (decoded_ <= batch && failedRow_ < 0) DecodeBatch(decoded_);
  }
  std::unique_lock lock(mutex_);
  released_ = batch;
  changed_.notify_all();
  changed_.wait(lock, [&] { return decoded_ > batch || failedRow_ >= 0; });
  warning_ = innerWarning_;
  readerRowsEnd_ = failedRow_ >= 0 ? failedRow_ : height_;
  readerError_ = innerError_;
}

const Pixel32* DecodeAheadSource::Row(std::int32_t y) {
  const std::int64_t batch = y / rowsPerBatch_;
  if (y < 0 || y >= height_ || batch < readerBatch_) {
    error_ = "row " + std::to_string(y) + " asked for out of order or out of range";
    return nullptr;
  }
  if (batch != readerBatch_) {
    AwaitBatch(batch);
    readerBatch_ = batch;
  }
  if (y >= readerRowsEnd_) {
    error_ = readerError_;
    return nullptr;
  }
  return Slot(batch) + static_cast<std::size_t>(y - batch * rowsPerBatch_) * static_cast<std::size_t>(width_);
}

}  // namespace tessaglyph
