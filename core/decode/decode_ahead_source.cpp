#include "decode/decode_ahead_source.h"

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

}  // namespace

DecodeAheadSource::DecodeAheadSource(std::unique_ptr<PixelSource> inner)
    : inner_(std::move(inner)),
      width_(inner_->Width()),
      height_(inner_->Height()),
      rowsPerBatch_(RowsPerBatch(width_)),
      batches_((static_cast<std::int64_t>(height_) + rowsPerBatch_ - 1) / rowsPerBatch_),
      ringBatches_(std::min(rowsPerBatch_ == 1 ? kWideRowRingBatches : kRingBatches, batches_)),
      ring_(static_cast<std::size_t>(ringBatches_) * static_cast<std::size_t>(rowsPerBatch_) *
            static_cast<std::size_t>(width_)),
      warning_(inner_->Warning()) {
  try {
    helper_ = std::thread([this] { DecodeAhead(); });
  } catch (const std::system_error&) {
    // No helper: Row() decodes each batch itself.
  }
}

DecodeAheadSource::~DecodeAheadSource() {
  if (!helper_.joinable()) return;
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  helper_.join();
}

Pixel32* DecodeAheadSource::Slot(std::int64_t batch) {
  const std::size_t slotPixels = static_cast<std::size_t>(rowsPerBatch_) * static_cast<std::size_t>(width_);
  return ring_.data() + static_cast<std::size_t>(batch % ringBatches_) * slotPixels;
}

bool DecodeAheadSource::DecodeBatch(std::int64_t batch) {
  const auto first = static_cast<std::int32_t>(batch * rowsPerBatch_);
  const std::int32_t count = std::min(rowsPerBatch_, height_ - first);
  const std::int32_t got = inner_->ReadRows(first, count, Slot(batch), static_cast<std::size_t>(width_));
  const std::lock_guard lock(mutex_);
  innerWarning_ = inner_->Warning();
  if (got < count) {
    failedRow_ = first + got;
    innerError_ = inner_->Error();
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
