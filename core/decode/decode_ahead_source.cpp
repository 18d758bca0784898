#include "decode/decode_ahead_source.h"

#include "picture/working_picture.h"

#include <algorithm>
#include <new>
#include <span>

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
      cancel_(cancel),
      warning_(inner_->Warning()) {
  const std::int64_t batches = BatchCount(height_, rowsPerBatch_);
  const std::int64_t slots = RingBatchCount(rowsPerBatch_, batches);
  notes_.reset(new (std::nothrow) BatchNotes[static_cast<std::size_t>(std::max<std::int64_t>(slots, 1))]);
  if (!notes_) {
    readerBatch_ = 0;
    readerError_ = "not enough memory to decode ahead";
    return;
  }
  ahead_.emplace(
      batches, static_cast<std::size_t>(rowsPerBatch_) * static_cast<std::size_t>(width_) * sizeof(Pixel32),
      [this](std::int64_t batch, std::uint8_t* slot, std::size_t& length, std::string& failure) {
        return DecodeBatch(batch, slot, length, failure);
      },
      slots, "not enough memory to decode ahead");
}

DecodeAheadSource::~DecodeAheadSource() = default;

WorkingPicture DecodeAheadSource::TakeWholePicture() {
  if (ahead_) ahead_->Stop();
  WorkingPicture picture = inner_->TakeWholePicture();
  warning_ = inner_->Warning();
  error_ = inner_->Error();
  return picture;
}

// Nothing thrown on the helper may escape it: that would end the process.
bool DecodeAheadSource::DecodeBatch(std::int64_t batch, std::uint8_t* slot, std::size_t& length, std::string& failure) {
  if (helperFailed_) {
    failure = helperFailure_;
    return false;
  }
  const auto first = static_cast<std::int32_t>(batch * rowsPerBatch_);
  const std::int32_t count = std::min(rowsPerBatch_, height_ - first);
  std::int32_t got = 0;
  BatchNotes& notes = notes_[static_cast<std::size_t>(ahead_->SlotOf(batch))];
  notes.error.clear();
  if (cancel_ != nullptr && cancel_->load(std::memory_order_relaxed)) {
    notes.error = "cancelled";
  } else {
    try {
      got = inner_->ReadRows(first, count, reinterpret_cast<Pixel32*>(slot), static_cast<std::size_t>(width_));
      if (got < count) notes.error = inner_->Error();
    } catch (const std::bad_alloc&) {
      got = 0;
      notes.error = "not enough memory to decode the picture";
    }
  }
  notes.rows = got;
  notes.warning = inner_->Warning();
  helperFailed_ = got < count;
  helperFailure_ = notes.error;
  length = static_cast<std::size_t>(got) * static_cast<std::size_t>(width_) * sizeof(Pixel32);
  return true;
}

const Pixel32* DecodeAheadSource::Row(std::int32_t y) {
  const std::int64_t batch = y / rowsPerBatch_;
  if (y < 0 || y >= height_ || batch < readerBatch_) {
    error_ = "row " + std::to_string(y) + " asked for out of order or out of range";
    return nullptr;
  }
  if (batch != readerBatch_ && ahead_) {
    const std::span<const std::uint8_t> rows = ahead_->Get(batch);
    const BatchNotes& notes = notes_[static_cast<std::size_t>(ahead_->SlotOf(batch))];
    readerBatch_ = batch;
    readerRows_ = reinterpret_cast<const Pixel32*>(rows.data());
    const auto first = static_cast<std::int32_t>(batch * rowsPerBatch_);
    readerRowsEnd_ = rows.data() != nullptr ? first + notes.rows : first;
    readerError_ = rows.data() != nullptr ? notes.error : ahead_->Error();
    if (rows.data() != nullptr) warning_ = notes.warning;
  }
  if (y >= readerRowsEnd_) {
    error_ = readerError_;
    return nullptr;
  }
  return readerRows_ + static_cast<std::size_t>(y - batch * rowsPerBatch_) * static_cast<std::size_t>(width_);
}

}  // namespace tessaglyph
